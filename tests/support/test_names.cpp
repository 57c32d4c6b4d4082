// What both implementations of TestDatabase share: the backend a run selects,
// unique names, and the SQLite file in a temporary folder.
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
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

std::vector<std::string> QueryOnSqliteFile(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* st = nullptr;
  std::vector<std::string> rows;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  while (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
    std::string row;
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      const unsigned char* text = sqlite3_column_text(st, c);
      row += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "");
    }
    rows.push_back(std::move(row));
    rc = SQLITE_OK;
  }
  std::string why = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db);
  sqlite3_finalize(st);
  sqlite3_close(db);
  if (!why.empty()) throw std::runtime_error("SQLite: " + why + " (" + sql + ")");
  std::sort(rows.begin(), rows.end());
  return rows;
}

void RemoveTestFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace qmxtest
