// Large change packets applied by rdmEstrutura in-process, small against large
// in the same run: SetTabelas of 1,000 against 10,000 new fact tables, and
// SetFatos of 1,000 against 2,000 new facts of one wide table. The two sizes
// are timed alternately (a change in the shared machine's load falls on both
// alike); what each call inserted is removed outside the timing. Prints the
// ratios at the end.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "appserver/rules/rdm_estrutura.h"
#include "appserver/storage/sqlite/sqlite_storage.h"
#include "db/packet.h"
#include "medians.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kManyTables = 10000;
constexpr int kWideColumns = 2000;  // SQLite's default column limit
constexpr const char* kWideTable = "BANCADA_LARGA";

std::string g_dir, g_path;
std::map<std::string, double> g_results;

using bench::Median;

void Exec(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "bench setup: %s\n", err ? err : "?");
    std::abort();
  }
}

std::string TableName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "BT_%05d", i);
  return name;
}

std::string ColumnName(int i) {
  return "VL_" + std::to_string(10000 + i);
}

// 10,000 warehouse tables for SetTabelas and one of 2,000 numeric columns,
// registered as a fact table, for SetFatos.
void PrepareWarehouse() {
  sqlite3* db = nullptr;
  sqlite3_open(g_path.c_str(), &db);
  Exec(db, "BEGIN");
  for (int i = 0; i < kManyTables; ++i) Exec(db, "CREATE TABLE " + TableName(i) + " (ID INTEGER)");
  std::string ddl = std::string("CREATE TABLE ") + kWideTable + " (";
  for (int i = 0; i < kWideColumns; ++i)
    ddl += ColumnName(i) + " NUMERIC(15,2)" + (i + 1 < kWideColumns ? ", " : ")");
  Exec(db, ddl);
  Exec(db, std::string("INSERT INTO QMX_TABELA VALUES ('") + kWideTable + "', 'Larga', 'N')");
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

void Cleanup(const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open(g_path.c_str(), &db);
  Exec(db, sql);
  sqlite3_close(db);
}

rtl::Variant NewTablesPacket(int count) {
  db::Packet p;
  p.kind = db::PacketKind::kDelta;
  p.fields = {{"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}, {"IDDRILLDOWN", 1, false}};
  for (int i = 0; i < count; ++i)
    p.rows.push_back({db::RowStatus::kInserted,
                      {TableName(i), "Tabela " + std::to_string(i), std::string("N")},
                      {}});
  return db::PacketToVariant(p);
}

rtl::Variant NewFactsPacket(int count) {
  db::Packet p;
  p.kind = db::PacketKind::kDelta;
  p.fields = {{"IDFATODW", 1, true},      {"CDTABELADW", 30, false}, {"CDITEMDW", 30, false},
              {"CDAREANEGDW", 5, false},  {"NMITEMDW", 30, false},   {"IDTPFATODW", 1, true},
              {"DSHINTITEM", 200, false}, {"CDTABDRILL", 30, false}};
  for (int i = 0; i < count; ++i)
    p.rows.push_back({db::RowStatus::kInserted,
                      {std::string("S"), std::string(kWideTable), ColumnName(i),
                       std::string("00001"), "Fato " + std::to_string(i), std::string("M"),
                       "Fato de bancada " + std::to_string(i), db::FieldValue()},
                      {}});
  return db::PacketToVariant(p);
}

// Runs `method` with `packet` (and `extra` arguments) and returns its time in
// seconds; aborts unless the server took the packet.
double TimeCall(const char* method, const rtl::Variant& packet, std::vector<rtl::Variant> extra,
                const char* cleanup) {
  appserver::RdmEstrutura rdm(appserver::OpenSqliteStorage(g_path));
  std::vector<rtl::Variant> args{packet};
  for (auto& e : extra) args.push_back(std::move(e));
  auto t0 = Clock::now();
  rtl::Variant r = rdm.Invoke(method, args);
  double s = std::chrono::duration<double>(Clock::now() - t0).count();
  if (r.IsArray() && !r.IsByteArray() && r.Length() > 0 && r[0].IsString()) {
    std::fprintf(stderr, "%s refused: %s\n", method, r[0].AsString().c_str());
    std::abort();
  }
  Cleanup(cleanup);
  return s;
}

template <class Small, class Large>
void SmallAgainstLarge(benchmark::State& state, const std::string& name, Small small, Large large) {
  std::vector<double> small_s, large_s;
  for (auto _ : state) {
    small_s.push_back(small());
    large_s.push_back(large());
  }
  double a = Median(small_s), b = Median(large_s);
  state.counters["small_median_s"] = a;
  state.counters["large_median_s"] = b;
  state.counters["ratio"] = a > 0 ? b / a : 0;
  g_results[name] = a > 0 ? b / a : 0;
}

constexpr const char* kDropTables =
    "DELETE FROM QMX_TABELA WHERE CDTABELADW LIKE 'BT\\_%' ESCAPE '\\'";
constexpr const char* kDropFacts = "DELETE FROM QMX_FATO WHERE CDTABELADW = 'BANCADA_LARGA'";

void BM_SetTabelas10000Vs1000(benchmark::State& state) {
  const rtl::Variant small = NewTablesPacket(1000), large = NewTablesPacket(kManyTables);
  SmallAgainstLarge(
      state, "tabelas", [&] { return TimeCall("SetTabelas", small, {}, kDropTables); },
      [&] { return TimeCall("SetTabelas", large, {}, kDropTables); });
}
BENCHMARK(BM_SetTabelas10000Vs1000)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SetFatos2000Vs1000(benchmark::State& state) {
  const rtl::Variant small = NewFactsPacket(1000), large = NewFactsPacket(kWideColumns);
  SmallAgainstLarge(
      state, "fatos", [&] { return TimeCall("SetFatos", small, {kWideTable}, kDropFacts); },
      [&] { return TimeCall("SetFatos", large, {kWideTable}, kDropFacts); });
}
BENCHMARK(BM_SetFatos2000Vs1000)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char pattern[] = "/tmp/qmx-save-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  g_dir = pattern;
  g_path = g_dir + "/qmx.db";
  appserver::PrepareSqliteDatabase(g_path, appserver::DemoSeeding::kRequested);
  PrepareWarehouse();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nRatios (same run):\n");
  std::printf("  SetTabelas 10,000 new rows / 1,000 = %.2f (goal <= 12)\n", g_results["tabelas"]);
  std::printf("  SetFatos 2,000 new facts / 1,000   = %.2f (goal <= 3)\n", g_results["fatos"]);
  std::string rm = "rm -rf '" + g_dir + "'";
  return std::system(rm.c_str()) == 0 ? 0 : 1;
}
