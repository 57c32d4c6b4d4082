// TestDatabase on SQLite alone (qmx_test_sqlite_database): what links it
// never reaches the PostgreSQL client, and a PostgreSQL place is unavailable.
#include "appserver/storage/sqlite/sqlite_storage.h"
#include "test_database.h"

namespace qmxtest {

TestDatabase::TestDatabase(TestBackend backend) : backend_(backend) {
  if (backend_ == TestBackend::kPostgres) {
    available_ = false;
    return;
  }
  folder_ = NewTestFolder();
  target_.location = folder_ + "/qmx.db";
}

TestDatabase::~TestDatabase() {
  RemoveTestFolder(folder_);
}

std::string TestDatabase::SkipReason() const {
  return "este binário testa as regras só sobre SQLite; o mesmo teste sobre PostgreSQL está "
         "no binário de mesmo nome terminado em _pg_tests.";
}

appserver::PrepareResult TestDatabase::Prepare(appserver::DemoSeeding demo) const {
  return appserver::PrepareSqliteDatabase(target_.location, demo);
}

std::unique_ptr<appserver::Storage> TestDatabase::Open() const {
  return appserver::OpenSqliteStorage(target_.location, target_.busy_timeout_ms);
}

void TestDatabase::Execute(const std::string& sql) const {
  ExecuteOnSqliteFile(target_.location, sql);
}

std::vector<std::string> TestDatabase::QueryRows(const std::string& sql) const {
  return QueryOnSqliteFile(target_.location, sql);
}

}  // namespace qmxtest
