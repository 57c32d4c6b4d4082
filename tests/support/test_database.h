// TestDatabase: a fresh, empty place for a structure database on the backend
// the run asks for: SQLite (a file in a new temporary folder) unless
// QMX_TEST_BACKEND=postgres, then a new schema of the PostgreSQL database
// QMX_TEST_PG names, dropped with everything in it at the end.
//
// Two libraries implement it: qmx_test_database on both backends, and
// qmx_test_sqlite_database on SQLite alone, for the binaries that test the
// rules and must not link the PostgreSQL client (there a PostgreSQL place is
// never available).
//
// A test that needs PostgreSQL while QMX_TEST_PG is unset skips with
// QMX_REQUIRE_DATABASE; the test command always sets it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "appserver/storage/database_setup.h"
#include "appserver/storage/storage.h"

namespace qmxtest {

enum class TestBackend { kSqlite, kPostgres };

// QMX_TEST_BACKEND: "postgres" selects PostgreSQL; anything else SQLite.
TestBackend SelectedBackend();
// QMX_TEST_PG, or "" when unset.
std::string PostgresConninfo();
// A name no other test (of this or another process) uses at the same time.
std::string UniqueName(const std::string& prefix);
// One query's first value, on a PostgreSQL connection of its own ("" when
// there is no row or the query fails).
std::string PostgresScalar(const std::string& conninfo, const std::string& sql);
// The connection string (keyword or URI form) with an application name added,
// so a test can find that client's sessions in pg_stat_activity.
std::string WithApplicationName(const std::string& conninfo, const std::string& name);

class TestDatabase {
 public:
  explicit TestDatabase(TestBackend backend = SelectedBackend());
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  TestBackend backend() const { return backend_; }
  bool Available() const { return available_; }
  std::string SkipReason() const;
  // Where to prepare and open it (location and schema).
  const appserver::DatabaseTarget& target() const { return target_; }
  // Prepares it and opens a session on it, as the server does.
  appserver::PrepareResult Prepare(appserver::DemoSeeding demo) const;
  std::unique_ptr<appserver::Storage> Open() const;
  // Runs fixed SQL on it (a warehouse table a test needs, say): on SQLite in
  // the file, on PostgreSQL with the test's schema first on the search path.
  void Execute(const std::string& sql) const;
  // Runs a query on it the same way; its rows, each its values joined by
  // "|" (NULL as ""), sorted.
  std::vector<std::string> QueryRows(const std::string& sql) const;

 private:
  TestBackend backend_;
  bool available_ = true;
  std::string folder_;
  appserver::DatabaseTarget target_;
};

#define QMX_REQUIRE_DATABASE(db) \
  if (!(db).Available()) GTEST_SKIP() << (db).SkipReason()

// The SQLite side, shared by both implementations: a new temporary folder,
// fixed SQL run on a file, and the folder removed.
std::string NewTestFolder();
void ExecuteOnSqliteFile(const std::string& path, const std::string& sql);
std::vector<std::string> QueryOnSqliteFile(const std::string& path, const std::string& sql);
void RemoveTestFolder(const std::string& folder);

}  // namespace qmxtest
