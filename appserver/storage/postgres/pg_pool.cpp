#include "appserver/storage/postgres/pg_pool.h"

#include <chrono>

namespace appserver {

PgPool::PgPool(std::string conninfo, std::string setup, int size, int wait_ms)
    : conninfo_(std::move(conninfo)),
      setup_(std::move(setup)),
      size_(size > 0 ? size : 1),
      wait_ms_(wait_ms > 0 ? wait_ms : 1) {}

PgPool::Lease PgPool::Borrow() {
  std::unique_lock lock(mutex_);
  if (!available_.wait_for(lock, std::chrono::milliseconds(wait_ms_),
                           [this] { return !idle_.empty() || open_ < size_; }))
    throw StorageError(kBusyText, "as " + std::to_string(size_) +
                                      " conexões com o banco de dados seguiram ocupadas por " +
                                      std::to_string(wait_ms_) + " ms (--db-pool)");
  if (!idle_.empty()) {
    PgConnection* c = idle_.back().release();
    idle_.pop_back();
    return Lease(c, Returner(this));
  }
  ++open_;
  lock.unlock();
  // Connecting takes a round trip or more: other borrowers go on meanwhile.
  try {
    return Lease(new PgConnection(conninfo_, setup_), Returner(this));
  } catch (...) {
    lock.lock();
    --open_;
    available_.notify_one();
    throw;
  }
}

void PgPool::GiveBack(PgConnection* connection) {
  std::unique_ptr<PgConnection> owned(connection);
  try {
    owned->Release();
  } catch (const StorageError&) {
    // Lost on the way back: dropped below, like any lost connection.
  }
  const bool lost = owned->Lost();
  if (lost) owned.reset();  // closed outside the lock
  std::lock_guard lock(mutex_);
  if (lost)
    --open_;
  else
    idle_.push_back(std::move(owned));
  available_.notify_one();
}

int PgPool::OpenCount() const {
  std::lock_guard lock(mutex_);
  return open_;
}

}  // namespace appserver
