// TestDatabase on both backends (qmx_test_database).
#include "test_database.h"

#include <libpq-fe.h>

#include <algorithm>
#include <stdexcept>

#include "appserver/database/database.h"

namespace qmxtest {
namespace {

// Runs `sql` on a connection of its own; throws with the server's text.
void RunPostgres(const std::string& conninfo, const std::string& sql) {
  PGconn* conn = PQconnectdb(conninfo.c_str());
  std::string error;
  if (PQstatus(conn) != CONNECTION_OK) {
    error = PQerrorMessage(conn);
  } else {
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(conn, sql.c_str());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
      error = PQresultErrorMessage(r);
    PQclear(r);
  }
  PQfinish(conn);
  if (!error.empty()) throw std::runtime_error("PostgreSQL: " + error + " (" + sql + ")");
}

}  // namespace

std::string PostgresScalar(const std::string& conninfo, const std::string& sql) {
  PGconn* c = PQconnectdb(conninfo.c_str());
  PGresult* r = PQexec(c, sql.c_str());
  std::string v =
      PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
  PQclear(r);
  PQfinish(c);
  return v;
}

TestDatabase::TestDatabase(TestBackend backend) : backend_(backend) {
  if (backend_ == TestBackend::kPostgres) {
    target_.location = PostgresConninfo();
    if (target_.location.empty()) {
      available_ = false;
      return;
    }
    target_.schema = UniqueName("qmx_t");
    RunPostgres(target_.location, "CREATE SCHEMA " + target_.schema);
    return;
  }
  folder_ = NewTestFolder();
  target_.location = folder_ + "/qmx.db";
}

TestDatabase::~TestDatabase() {
  if (backend_ == TestBackend::kPostgres && available_) {
    try {
      RunPostgres(target_.location, "DROP SCHEMA IF EXISTS " + target_.schema + " CASCADE");
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
  }
  RemoveTestFolder(folder_);
}

std::string TestDatabase::SkipReason() const {
  return "PostgreSQL não configurado: defina QMX_TEST_PG com uma string de conexão libpq "
         "(scripts/test.sh sobe um cluster temporário e a define).";
}

appserver::PrepareResult TestDatabase::Prepare(appserver::DemoSeeding demo) const {
  return appserver::PrepareDatabase(target_, demo);
}

std::unique_ptr<appserver::Storage> TestDatabase::Open() const {
  return appserver::OpenStorage(target_);
}

void TestDatabase::Execute(const std::string& sql) const {
  if (backend_ == TestBackend::kPostgres)
    RunPostgres(target_.location, "SET search_path TO " + target_.schema + "; " + sql);
  else
    ExecuteOnSqliteFile(target_.location, sql);
}

std::vector<std::string> TestDatabase::QueryRows(const std::string& sql) const {
  if (backend_ != TestBackend::kPostgres) return QueryOnSqliteFile(target_.location, sql);
  PGconn* conn = PQconnectdb(target_.location.c_str());
  // PQexec answers the last statement's result.
  PGresult* r = PQexec(conn, ("SET search_path TO " + target_.schema + "; " + sql).c_str());
  std::string error = PQresultStatus(r) == PGRES_TUPLES_OK ? "" : PQresultErrorMessage(r);
  std::vector<std::string> rows;
  for (int i = 0; error.empty() && i < PQntuples(r); ++i) {
    std::string row;
    for (int c = 0; c < PQnfields(r); ++c) row += (c ? "|" : "") + std::string(PQgetvalue(r, i, c));
    rows.push_back(std::move(row));
  }
  PQclear(r);
  PQfinish(conn);
  if (!error.empty()) throw std::runtime_error("PostgreSQL: " + error + " (" + sql + ")");
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace qmxtest
