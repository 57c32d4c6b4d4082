// Opening the screen on a big warehouse against the demo: the time IniProc
// takes to open it (its first reads of the server included) and the heap the
// open screen holds, on the demo warehouse and on generated ones of 5,000 and
// 50,000 fact tables (one drill table for each ten; the first 200 fact
// tables with 20 facts and 10 dimensions). Each database is served in
// process; the screen is opened and closed several times and the medians
// are compared with the demo's as ratios.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "appserver/serving/embedded_server.h"
#include "appserver/storage/database_setup.h"
#include "module/pkg_qmx00600.h"
#include "orb/server_address.h"
#include "screen/estrutura.h"
#include "support/absent_user.h"
#include "support/measure.h"
#include "vcl/application.h"
#include "vcl/user_interface.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Micros;

constexpr int kOpens = 7;

std::string Padded(int number, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, number);
  return text;
}

void Exec(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "SQLite: %s\n", err ? err : "?");
    std::abort();
  }
}

// Rows of generated values into `table`, in INSERTs of 500 rows.
class Rows {
 public:
  Rows(sqlite3* db, const char* table) : db_(db), table_(table) {}
  ~Rows() { Flush(); }
  void Add(const std::vector<std::string>& values) {
    sql_ += sql_.empty() ? std::string("INSERT INTO ") + table_ + " VALUES (" : ",(";
    for (size_t i = 0; i < values.size(); ++i) sql_ += (i ? ",'" : "'") + values[i] + "'";
    sql_ += ")";
    if (++rows_ == 500) Flush();
  }
  void Flush() {
    if (!sql_.empty()) Exec(db_, sql_);
    sql_.clear();
    rows_ = 0;
  }

 private:
  sqlite3* db_;
  const char* table_;
  std::string sql_;
  int rows_ = 0;
};

// A demo database in a folder of its own, with `fact_tables` generated
// fact tables added in one transaction.
class Warehouse {
 public:
  explicit Warehouse(int fact_tables) {
    dir_ = (std::filesystem::temp_directory_path() / "qmx-tela-XXXXXX").string();
    if (!mkdtemp(dir_.data())) std::abort();
    appserver::DatabaseTarget target;
    target.location = dir_ + "/qmx.db";
    appserver::PrepareDatabase(target, appserver::DemoSeeding::kIfCreated);
    if (fact_tables > 0) Generate(target.location, fact_tables);
    appserver::EmbeddedServerOptions options;
    options.database_path = target.location;
    server_ = std::make_unique<appserver::EmbeddedServer>(std::move(options));
  }
  ~Warehouse() {
    server_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  uint16_t Port() const { return server_->Port(); }

 private:
  static void Generate(const std::string& path, int fact_tables) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db, "BEGIN");
    {
      Rows tables(db, "QMX_TABELA"), facts(db, "QMX_FATO"), dimes(db, "QMX_DIME");
      const int drills = fact_tables / 10;
      for (int i = 1; i <= drills; ++i)
        tables.Add({"DRILL_X_" + Padded(i, 5), "Tabela drill " + std::to_string(i), "S"});
      for (int i = 1; i <= fact_tables; ++i) {
        const std::string code = "FATO_X_" + Padded(i, 5);
        tables.Add({code, "Tabela fato " + std::to_string(i), "N"});
        if (i > 200) continue;
        for (int f = 1; f <= 20; ++f)
          facts.Add({code, "VL_" + Padded(f, 2), "N", "00001", "Valor " + std::to_string(f), "M",
                     "", "DRILL_X_" + Padded(i % drills + 1, 5)});
        for (int d = 1; d <= 10; ++d) dimes.Add({code, "CD_" + Padded(d, 2), Padded(d, 5)});
      }
    }
    Exec(db, "COMMIT");
    sqlite3_close(db);
  }

  std::string dir_;
  std::unique_ptr<appserver::EmbeddedServer> server_;
};

size_t HeapInUse() {
  return mallinfo2().uordblks;
}

struct Opening {
  double median_us = 0;
  double heap_bytes = 0;  // median the open screen holds
  int fact_tables = 0;    // in its list
};

// Opens and closes the screen kOpens times on `warehouse`.
Opening MeasureOpening(const Warehouse& warehouse) {
  orb::SetServerAddress({"127.0.0.1", warehouse.Port()});
  std::vector<double> times, heaps;
  Opening out;
  for (int i = 0; i < kOpens; ++i) {
    malloc_trim(0);
    const size_t before = HeapInUse();
    const auto t0 = Clock::now();
    IniProc();
    times.push_back(Micros(Clock::now() - t0));
    if (frmEstrutura == nullptr) {
      std::fprintf(stderr, "the screen did not open\n");
      std::abort();
    }
    heaps.push_back(static_cast<double>(HeapInUse()) - static_cast<double>(before));
    out.fact_tables = frmEstrutura->cdsTabelas->RecordCount();
    vcl::Application().DestroyForms();
  }
  out.median_us = Median(times);
  out.heap_bytes = Median(heaps);
  return out;
}

}  // namespace

int main() {
  bench::AbsentUser user;
  vcl::SetUserInterface(&user);
  std::vector<std::pair<const char*, Opening>> results;
  for (int tables : {0, 5000, 50000}) {
    const Warehouse warehouse(tables);
    results.emplace_back(tables == 0      ? "demo"
                         : tables == 5000 ? "5,000"
                                          : "50,000",
                         MeasureOpening(warehouse));
  }
  const Opening& demo = results.front().second;
  std::printf("%-8s %12s %14s %14s %12s %12s\n", "tables", "in list", "open (ms)", "heap (KiB)",
              "time ratio", "heap ratio");
  for (const auto& [name, o] : results)
    std::printf("%-8s %12d %14.1f %14.0f %12.2f %12.2f\n", name, o.fact_tables, o.median_us / 1000,
                o.heap_bytes / 1024, o.median_us / demo.median_us, o.heap_bytes / demo.heap_bytes);
  vcl::SetUserInterface(nullptr);
  return 0;
}
