// What both implementations of TestDatabase share: the backend a run selects,
// unique names, and the SQLite file in a temporary folder.
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "test_database.h"

namespace qmxtest {

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

std::string WithApplicationName(const std::string& conninfo, const std::string& name) {
  if (conninfo.starts_with("postgres"))
    return conninfo + (conninfo.find('?') == std::string::npos ? "?" : "&") +
           "application_name=" + name;
  return conninfo + " application_name=" + name;
}

std::string NewTestFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qmx-db-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

void ExecuteOnSqliteFile(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  char* err = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
  std::string why = err ? err : "";
  sqlite3_free(err);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("SQLite: " + why + " (" + sql + ")");
}

void RemoveTestFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace qmxtest
