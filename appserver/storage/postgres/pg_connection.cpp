#include "appserver/storage/postgres/pg_connection.h"

#include <cstdlib>
#include <cstring>

namespace appserver {
namespace {

std::string Trimmed(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// The libpq keywords a connection string may carry; parsed without
// connecting, so a plain file name is never taken for one.
bool ParsesAsConninfo(const std::string& text) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
  if (error) PQfreemem(error);
  if (!options) return false;
  PQconninfoFree(options);
  return true;
}

// Text parameters travel NUL-terminated: a value holding NUL would be cut
// short without a word, so it is refused instead.
std::vector<std::string> Terminated(const std::vector<std::string_view>& params) {
  std::vector<std::string> out(params.begin(), params.end());
  for (const std::string& v : out)
    if (v.find('\0') != std::string::npos)
      throw StorageError("Texto com caractere nulo não pode ser gravado no banco de dados.");
  return out;
}

std::vector<const char*> Pointers(const std::vector<std::string>& values) {
  std::vector<const char*> out;
  out.reserve(values.size());
  for (const std::string& v : values) out.push_back(v.c_str());
  return out;
}

}  // namespace

bool IsPostgresConnection(std::string_view database) {
  if (database.starts_with("postgresql://") || database.starts_with("postgres://")) return true;
  size_t eq = database.find('=');
  return eq != std::string_view::npos && eq > 0 && database.find('/') > eq &&
         ParsesAsConninfo(std::string(database));
}

std::string DescribePostgresConnection(const std::string& conninfo) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
  if (error) PQfreemem(error);
  std::string host, port, dbname;
  for (PQconninfoOption* o = options; o && o->keyword; ++o) {
    if (!o->val) continue;
    if (std::strcmp(o->keyword, "host") == 0) host = o->val;
    if (std::strcmp(o->keyword, "port") == 0) port = o->val;
    if (std::strcmp(o->keyword, "dbname") == 0) dbname = o->val;
  }
  if (options) PQconninfoFree(options);
  // What the string leaves out comes from the PG* variables, as libpq does.
  auto env = [](const char* name) {
    const char* v = std::getenv(name);
    return std::string(v ? v : "");
  };
  if (host.empty()) host = env("PGHOST");
  if (port.empty()) port = env("PGPORT");
  if (dbname.empty()) dbname = env("PGDATABASE");
  return (host.empty() ? "localhost" : host) + ":" + (port.empty() ? "5432" : port) + "/" +
         (dbname.empty() ? "(padrão)" : dbname);
}

int PgResult::Affected() const {
  return std::atoi(PQcmdTuples(result_.get()));
}

PgConnection::PgConnection(std::string conninfo, std::string setup)
    : conninfo_(std::move(conninfo)), setup_(std::move(setup)) {
  Open();
}

void PgConnection::Open() {
  prepared_.clear();
  broken_ = false;
  collect_ = false;
  // A connection string without a time-out would wait on an unreachable host
  // as long as TCP does; its own connect_timeout still wins (it comes later).
  const char* keywords[] = {"connect_timeout", "dbname", "fallback_application_name", nullptr};
  const char* values[] = {"10", conninfo_.c_str(), "qmx-server", nullptr};
  conn_.reset(PQconnectdbParams(keywords, values, 1));
  if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK) {
    std::string why = conn_ ? Trimmed(PQerrorMessage(conn_.get())) : "sem memória";
    throw StorageError(kUnavailableText, "Não foi possível conectar ao banco de dados PostgreSQL " +
                                             DescribePostgresConnection(conninfo_) + ": " + why);
  }
  PQsetClientEncoding(conn_.get(), "UTF8");
  // Notices ("already exists, skipping" and the like) are no failures and
  // would otherwise land on standard error.
  PQsetNoticeProcessor(
      conn_.get(), [](void*, const char*) {}, nullptr);
  if (!setup_.empty()) Exec(setup_);
}

void PgConnection::Reconnect() {
  Open();
}

bool PgConnection::InTransaction() const {
  PGTransactionStatusType s = PQtransactionStatus(conn_.get());
  return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

PgResult PgConnection::Check(PGresult* result) {
  ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return PgResult(result);
  PgResult owner(result);  // freed on the way out
  Fail(result);
}

PgResult PgConnection::Exec(const std::string& sql) {
  Collect();
  if (!ahead_.empty()) {
    std::string ahead = std::move(ahead_);
    ahead_.clear();
    Check(PQexec(conn_.get(), ahead.c_str()));
  }
  return Check(PQexec(conn_.get(), sql.c_str()));
}

void PgConnection::Begin(const std::string& sql, bool read) {
  if (Lost()) Reconnect();
  if (read) {
    SendAhead(sql);
    return;
  }
  try {
    Exec(sql);
  } catch (const StorageError&) {
    if (!Lost()) {
      // BEGIN went through but what came with it did not (a lock not got):
      // the transaction is aborted, and left open it would fail every later
      // call.
      Abandon();
      throw;
    }
    // Lost while idle (the database restarted, the session was ended):
    // nothing has run yet, so a new connection may start the call afresh.
    Reconnect();
    Exec(sql);
  }
}

void PgConnection::Collect() {
  if (!collect_) return;
  collect_ = false;
  // What is sent this way ends a read: however it ended, nothing was changed,
  // and a connection it found lost is noticed by the next statement.
  while (PGresult* r = PQgetResult(conn_.get())) PQclear(r);
}

void PgConnection::EndRead() {
  if (!ahead_.empty()) {
    ahead_.clear();  // the read ran nothing: there is no transaction to end
    return;
  }
  Collect();
  if (!PQsendQuery(conn_.get(), "COMMIT")) Fail(nullptr);
  collect_ = true;
}

void PgConnection::Abandon() {
  ahead_.clear();
  Collect();
  if (Lost() || !InTransaction()) return;
  PGresult* r = PQexec(conn_.get(), "ROLLBACK");
  PQclear(r);  // a connection lost now takes the transaction with it
}

std::vector<PgResult> PgConnection::RunPipelined(const std::vector<PgQuery>& queries) {
  std::vector<std::vector<std::string>> values;
  for (const PgQuery& q : queries) values.push_back(Terminated(q.params));
  std::string ahead = std::move(ahead_);
  ahead_.clear();
  PGconn* c = conn_.get();
  if (PQenterPipelineMode(c) != 1) Fail(nullptr);
  // For each query sent, the position of the result kept (-1: none kept).
  std::vector<int> keep;
  bool sent = true;
  if (!ahead.empty()) {
    sent = PQsendQueryParams(c, ahead.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
    keep.push_back(-1);
  }
  // A name is never reused: a statement prepared in a pipeline that failed
  // later may exist on the server without being remembered here.
  std::unordered_map<std::string, std::string> named;
  for (size_t i = 0; sent && i < queries.size(); ++i) {
    const std::string& sql = queries[i].sql;
    auto known = prepared_.find(sql);
    std::string name;
    if (known != prepared_.end()) {
      name = known->second;
    } else if (auto again = named.find(sql); again != named.end()) {
      name = again->second;
    } else {
      name = "qmx" + std::to_string(++statements_);
      sent = PQsendPrepare(c, name.c_str(), sql.c_str(), 0, nullptr);
      keep.push_back(-1);
      named.emplace(sql, name);
    }
    std::vector<const char*> pointers = Pointers(values[i]);
    sent = sent && PQsendQueryPrepared(c, name.c_str(), static_cast<int>(pointers.size()),
                                       pointers.data(), nullptr, nullptr, 0);
    keep.push_back(static_cast<int>(i));
  }
  sent = sent && PQpipelineSync(c);
  // Each query's results end with a null and the sync's result closes the
  // pipeline. The first failure is kept; the queries after it only report
  // that the pipeline was aborted.
  PGresult* failed = nullptr;
  std::vector<PGresult*> results(queries.size(), nullptr);
  for (size_t q = 0; sent && q < keep.size() && !Lost(); ++q) {
    while (PGresult* r = PQgetResult(c)) {
      ExecStatusType st = PQresultStatus(r);
      if (!failed && st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
        failed = r;
      else if (!failed && keep[q] >= 0 && !results[keep[q]])
        results[keep[q]] = r;
      else
        PQclear(r);
    }
  }
  // Up to the sync's result. A connection that breaks meanwhile may answer
  // nothing but nulls without ever saying it is lost: two in a row end the
  // wait.
  for (int nulls = 0; sent && !Lost() && nulls < 2;) {
    PGresult* r = PQgetResult(c);
    if (!r) {
      ++nulls;
      continue;
    }
    nulls = 0;
    bool sync = PQresultStatus(r) == PGRES_PIPELINE_SYNC;
    PQclear(r);
    if (sync) break;
  }
  // A pipeline that cannot be left has answers missing: the connection is
  // out of step with its server, and a statement sent on it would wait
  // forever.
  if (PQexitPipelineMode(c) != 1) broken_ = true;
  std::vector<PgResult> out;
  for (PGresult* r : results) out.emplace_back(r);  // owned from here on
  bool complete = sent && !failed;
  for (PGresult* r : results) complete = complete && r != nullptr;
  if (!complete) {
    PgResult owner(failed);
    Fail(failed);
  }
  prepared_.merge(named);
  return out;
}

std::vector<PgResult> PgConnection::RunAll(const std::vector<PgQuery>& queries) {
  Collect();
  // The first statements of a read call: a connection lost while idle is
  // replaced and the call starts afresh, as nothing of it has run.
  const std::string ahead = ahead_;
  if (!ahead.empty() && Lost()) Reconnect();
  try {
    return RunPipelined(queries);
  } catch (const StorageError&) {
    if (ahead.empty() || !Lost()) throw;
    Reconnect();
    ahead_ = ahead;
    return RunPipelined(queries);
  }
}

PgResult PgConnection::Run(const std::string& sql, const std::vector<std::string_view>& params) {
  Collect();
  if (!ahead_.empty()) return std::move(RunAll({{sql, params}}).front());
  std::vector<std::string> values = Terminated(params);
  auto it = prepared_.find(sql);
  if (it == prepared_.end()) {
    std::string name = "qmx" + std::to_string(++statements_);
    Check(PQprepare(conn_.get(), name.c_str(), sql.c_str(), 0, nullptr));
    it = prepared_.emplace(sql, std::move(name)).first;
  }
  std::vector<const char*> pointers = Pointers(values);
  return Check(PQexecPrepared(conn_.get(), it->second.c_str(), static_cast<int>(pointers.size()),
                              pointers.data(), nullptr, nullptr, 0));
}

void PgConnection::Fail(const PGresult* result) {
  std::string why = result ? Trimmed(PQresultErrorMessage(result)) : "";
  if (why.empty()) why = Trimmed(PQerrorMessage(conn_.get()));
  const std::string detail = DescribePostgresConnection(conninfo_) + ": " + why;
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  std::string code = state ? state : "";
  // A connection lost, or a server shutting down or not yet accepting
  // commands (57P..: the session is being ended; class 08: the link). What
  // the server says always has a code: a failure without one is libpq's own,
  // which is the link failing before libpq marks the connection lost; the
  // connection is replaced rather than trusted again.
  if (code.empty()) broken_ = true;
  if (Lost() || code.starts_with("57P") || code.starts_with("08"))
    throw StorageError(kConnectionLostText, detail);
  // Waiting for another writer beyond lock_timeout, a serialisation failure
  // or a deadlock: kBusyText, word for word what SQLite gives, so that the
  // person reads the same whatever the backend (the database's own words
  // would tell them nothing they can act on).
  if (code == "55P03" || code == "40001" || code == "40P01") throw StorageError(kBusyText);
  if (code.starts_with("23"))
    throw StorageError("Registro duplicado ou inválido no banco de dados.", detail);
  if (code == "53100")
    throw StorageError("O banco de dados está sem espaço em disco; a operação não foi concluída.",
                       detail);
  throw StorageError("Falha no banco de dados; a operação não foi concluída.", detail);
}

int PgConnection::BackendPid() const {
  return PQbackendPID(conn_.get());
}

void PgConnection::Release() {
  // A read's COMMIT still on its way is collected by the next use; anything
  // else left open is rolled back now, so that the next borrower starts clean.
  if (collect_) return;
  Abandon();
}

}  // namespace appserver
