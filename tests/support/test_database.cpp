#include "test_database.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>

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

TestBackend SelectedBackend() {
  const char* b = std::getenv("QMX_TEST_BACKEND");
  return b && std::string(b) == "postgres" ? TestBackend::kPostgres : TestBackend::kSqlite;
}

std::string PostgresConninfo() {
  const char* c = std::getenv("QMX_TEST_PG");
  return c ? c : "";
}

std::string UniqueName(const std::string& prefix) {
  static std::atomic<unsigned> counter{0};
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return prefix + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" +
         std::to_string(static_cast<unsigned long long>(now) % 1000000);
}

std::string PostgresScalar(const std::string& conninfo, const std::string& sql) {
  PGconn* c = PQconnectdb(conninfo.c_str());
  PGresult* r = PQexec(c, sql.c_str());
  std::string v =
      PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
  PQclear(r);
  PQfinish(c);
  return v;
}

std::string WithApplicationName(const std::string& conninfo, const std::string& name) {
  if (conninfo.starts_with("postgres"))
    return conninfo + (conninfo.find('?') == std::string::npos ? "?" : "&") +
           "application_name=" + name;
  return conninfo + " application_name=" + name;
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
  std::string pattern = (std::filesystem::temp_directory_path() / "qmx-db-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
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
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

std::string TestDatabase::SkipReason() const {
  return "PostgreSQL não configurado: defina QMX_TEST_PG com uma string de conexão libpq "
         "(scripts/test.sh sobe um cluster temporário e a define).";
}

void TestDatabase::Execute(const std::string& sql) const {
  if (backend_ == TestBackend::kPostgres) {
    RunPostgres(target_.location, "SET search_path TO " + target_.schema + "; " + sql);
    return;
  }
  sqlite3* db = nullptr;
  sqlite3_open(target_.location.c_str(), &db);
  char* err = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
  std::string why = err ? err : "";
  sqlite3_free(err);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("SQLite: " + why + " (" + sql + ")");
}

}  // namespace qmxtest
