// PgConnection: one libpq connection of a server (pg_pool.h lends it to one
// call at a time), with its prepared statements (one per SQL text, prepared
// on first use) and libpq failures turned into StorageError: a Portuguese
// text for the client, the database's words and address in its Detail().
//
// A connection found lost is reopened by Reconnect(); whatever was in flight
// on it failed with StorageError and its transaction is gone with it.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "appserver/storage/storage.h"

namespace appserver {

// True for a postgresql:// or postgres:// URI, or a libpq "key=value"
// connection string; anything else names a SQLite file.
bool IsPostgresConnection(std::string_view database);

// "host:port/database" of a connection string, without user or password, for
// messages and logs.
std::string DescribePostgresConnection(const std::string& conninfo);

// A query's result; rows and columns from 0, values as text ("" for null).
class PgResult {
 public:
  explicit PgResult(PGresult* result) : result_(result, &PQclear) {}
  int Rows() const { return PQntuples(result_.get()); }
  int Columns() const { return PQnfields(result_.get()); }
  // Valid while the result lives.
  std::string_view View(int row, int column) const {
    return {PQgetvalue(result_.get(), row, column),
            static_cast<size_t>(PQgetlength(result_.get(), row, column))};
  }
  std::string Text(int row, int column) const {
    return std::string(PQgetvalue(result_.get(), row, column),
                       static_cast<size_t>(PQgetlength(result_.get(), row, column)));
  }
  // Rows an INSERT, UPDATE or DELETE changed.
  int Affected() const;

 private:
  std::unique_ptr<PGresult, void (*)(PGresult*)> result_;
};

// A prepared statement's text and its text parameters.
struct PgQuery {
  std::string sql;
  std::vector<std::string_view> params;
};

class PgConnection {
 public:
  // Connects; `setup` is fixed SQL run on every new connection (session
  // settings). Throws StorageError(kUnavailableText) when it cannot, naming
  // the server in the detail.
  PgConnection(std::string conninfo, std::string setup);
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  bool Lost() const { return broken_ || PQstatus(conn_.get()) != CONNECTION_OK; }
  // A new connection in place of this one; prepared statements are forgotten.
  void Reconnect();
  bool InTransaction() const;

  // Starts a transaction with `sql`; a read's goes with its first statement
  // (SendAhead). A connection found lost connects again first, and one lost
  // while idle is replaced and the write's BEGIN sent again.
  void Begin(const std::string& sql, bool read);
  // Fixed SQL text, possibly several statements, no parameters.
  PgResult Exec(const std::string& sql);
  // `sql` as a prepared statement of this connection with text parameters.
  PgResult Run(const std::string& sql, const std::vector<std::string_view>& params = {});
  // Several statements sent together, answered in one round trip; their
  // results in order. The first failure fails them all.
  std::vector<PgResult> RunAll(const std::vector<PgQuery>& queries);

  // Round trips a read call need not wait for. SendAhead keeps a fixed
  // statement (the BEGIN of a read) to go in one pipeline with the next Run
  // (or before the next Exec). EndRead sends COMMIT and collects its answer
  // before the connection's next use. Abandon rolls back whatever is open.
  void SendAhead(std::string sql) { ahead_ = std::move(sql); }
  void EndRead();
  void Abandon();
  // Readies the connection for its next borrower: rolls back what is open,
  // without waiting for a read's COMMIT.
  void Release();
  // The server process of this connection (for tests that end it).
  int BackendPid() const;

  [[noreturn]] void Fail(const PGresult* result);

 private:
  void Open();
  PgResult Check(PGresult* result);
  // Collects the answer EndRead left behind.
  void Collect();
  // Prepared statements in one pipeline, behind the statement kept by
  // SendAhead if there is one.
  std::vector<PgResult> RunPipelined(const std::vector<PgQuery>& queries);

  std::string conninfo_;
  std::string setup_;
  std::unique_ptr<PGconn, void (*)(PGconn*)> conn_{nullptr, &PQfinish};
  std::unordered_map<std::string, std::string> prepared_;  // SQL text -> statement name
  std::string ahead_;
  bool collect_ = false;
  bool broken_ = false;  // out of step with its server: replaced like a lost one
  int statements_ = 0;   // statement names handed out
};

}  // namespace appserver
