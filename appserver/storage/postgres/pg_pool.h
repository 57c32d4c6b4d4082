// PgPool: the database connections of one server, shared by its sessions.
//
// A session borrows a connection for one transaction (or one statement made
// outside any) and gives it back; nothing of a session stays on a connection
// between calls, so any connection serves any session. Connections are opened
// as borrowers need them, up to the pool's size, and keep their prepared
// statements for as long as they live. A connection given back lost is
// dropped and its place opened afresh by a later borrower, so a restarted
// database is used again without restarting the server.
//
// A borrower that finds every connection lent waits up to the write wait,
// then fails with kBusyText: the person reads what a save held up by another
// reads, and tries again.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "appserver/storage/postgres/pg_connection.h"

namespace appserver {

class PgPool {
 public:
  // `setup` is run on every new connection; `wait_ms` bounds a borrower's wait.
  PgPool(std::string conninfo, std::string setup, int size, int wait_ms);
  PgPool(const PgPool&) = delete;
  PgPool& operator=(const PgPool&) = delete;

  class Returner {
   public:
    explicit Returner(PgPool* pool = nullptr) : pool_(pool) {}
    void operator()(PgConnection* connection) const { pool_->GiveBack(connection); }

   private:
    PgPool* pool_;
  };
  // A borrowed connection; destroying it gives it back.
  using Lease = std::unique_ptr<PgConnection, Returner>;

  // An idle connection, or a new one while fewer than the size are open.
  // Throws StorageError (kBusyText after the wait, kUnavailableText when a new
  // connection cannot be opened).
  Lease Borrow();

  int Size() const { return size_; }
  // Connections open now, lent or idle.
  int OpenCount() const;

  // Called with the connection's server process right before a write
  // transaction's COMMIT is sent: tests end the process there to cut a
  // commit.
  void SetBeforeCommit(std::function<void(int backend_pid)> hook) {
    before_commit_ = std::move(hook);
  }
  const std::function<void(int)>& BeforeCommit() const { return before_commit_; }

 private:
  void GiveBack(PgConnection* connection);

  const std::string conninfo_;
  const std::string setup_;
  const int size_;
  const int wait_ms_;
  std::function<void(int)> before_commit_;
  mutable std::mutex mutex_;
  std::condition_variable available_;
  std::vector<std::unique_ptr<PgConnection>> idle_;  // the most recently used last
  int open_ = 0;                                     // idle, lent, or being opened
};

}  // namespace appserver
