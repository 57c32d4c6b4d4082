// Cost at warehouse scale. A generated structure of 5,000 tables (one in ten
// a drill table), each of 50 facts and 10 dimensions, against a small one of
// 10 tables of the same shape (plus the demo), on SQLite and on PostgreSQL
// (QMX_BENCH_PG, else QMX_TEST_PG: a libpq connection string; skipped when
// neither is set). Each call is timed on both databases alternately in the
// same run and compared by medians:
//   GetInicial; GetDimeFatos of one table; a one-fact SetFatos; a dimension
//   change (getVdUpdDimeDW, then SetDime); getVdDelDrill(D, true) of the drill
//   table 500 fact tables use (9 on the small database).
// GetInicial is also timed at 1,000 against 5,000 tables, to show how it
// grows. One drill table used by 500 and by 2,000 fact tables (codes of 28 to
// 30 characters) is set against the same used by 9: the two questions that
// list its users (getVdDrill as a drill dimension goes, getVdDelDrill(D,
// true)), and the consent with the change (getVdDelDrill(D, false), then
// SetDimeDrill deleting the dimension; put back untimed between rounds). On PostgreSQL,
// GetDimeFatos through qmx-server (socket) is set against the same two SELECTs a client would send
// straight through libpq, in one pipeline inside one read-only transaction.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "appserver/database/database.h"
#include "appserver/rules/rdm_estrutura.h"
#include "appserver/serving/embedded_server.h"
#include "db/packet.h"
#include "support/measure.h"
#include "support/pg_two_tier.h"
#include "tests/support/wide_drill.h"

namespace {

using bench::Clock;
using rtl::Variant;

constexpr int kSmallTables = 10, kMidTables = 1000, kLargeTables = 5000;
constexpr int kFacts = 50, kDimes = 10;
constexpr const char* kTable = "T_00002";  // a fact table of both databases
constexpr const char* kBusyDrill = "T_00010";

std::map<std::string, double> g_results;

std::string Code(int i) {
  char b[16];
  std::snprintf(b, sizeof b, "T_%05d", i);
  return b;
}
std::string Two(int i) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", i);
  return b;
}
std::string Number(int i) {
  char b[8];
  std::snprintf(b, sizeof b, "%05d", i);
  return b;
}
bool IsDrill(int i) {
  return i % 10 == 0;
}
// Fact tables 1 to 555 (500 of them) drill into T_00010; the others into the
// drill table of their own ten.
int DrillOf(int i) {
  return i <= 555 ? 10 : (i + 9) / 10 * 10;
}

// ---- databases ---------------------------------------------------------------

// A database of one backend: where it is, and fixed SQL run on it directly.
class Database {
 public:
  virtual ~Database() = default;
  virtual void Exec(const std::string& sql) = 0;
  // Leaves the database as a long-running one would be after a bulk load.
  virtual void Settle() { Exec("ANALYZE"); }
  const appserver::DatabaseTarget& target() const { return target_; }

 protected:
  appserver::DatabaseTarget target_;
};

class SqliteDatabase final : public Database {
 public:
  explicit SqliteDatabase(const std::string& name) {
    dir_ = (std::filesystem::temp_directory_path() / ("qmx-escala-" + name + "-XXXXXX")).string();
    if (!mkdtemp(dir_.data())) std::abort();
    target_.location = dir_ + "/qmx.db";
    appserver::PrepareDatabase(target_, appserver::DemoSeeding::kIfCreated);
    sqlite3_open(target_.location.c_str(), &db_);
  }
  ~SqliteDatabase() override {
    sqlite3_close(db_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  // The load went through the write-ahead log; readers would search all of
  // it for every page until a writer starts it afresh, which a server in use
  // does on its first write.
  void Settle() override {
    Exec("ANALYZE");
    Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  }
  void Exec(const std::string& sql) override {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::fprintf(stderr, "SQLite: %s\n", err ? err : "?");
      std::abort();
    }
  }

 private:
  std::string dir_;
  sqlite3* db_ = nullptr;
};

class PostgresDatabase final : public Database {
 public:
  PostgresDatabase(const std::string& conninfo, const std::string& name) {
    target_.location = conninfo;
    target_.schema = "qmx_escala_" + name + "_" + std::to_string(getpid());
    conn_ = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn_) != CONNECTION_OK) {
      std::fprintf(stderr, "PostgreSQL: %s\n", PQerrorMessage(conn_));
      std::abort();
    }
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    Exec("DROP SCHEMA IF EXISTS " + target_.schema + " CASCADE; CREATE SCHEMA " + target_.schema);
    appserver::PrepareDatabase(target_, appserver::DemoSeeding::kIfCreated);
  }
  ~PostgresDatabase() override {
    Exec("DROP SCHEMA IF EXISTS " + target_.schema + " CASCADE");
    PQfinish(conn_);
  }
  void Exec(const std::string& sql) override {
    PGresult* r = PQexec(conn_, ("SET search_path TO " + target_.schema + "; " + sql).c_str());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) {
      std::fprintf(stderr, "PostgreSQL: %s\n", PQresultErrorMessage(r));
      std::abort();
    }
    PQclear(r);
  }

 private:
  PGconn* conn_ = nullptr;
};

// Multi-row INSERTs of generated (never outside) values, in batches.
class RowWriter {
 public:
  RowWriter(Database& db, const char* table) : db_(db), table_(table) {}
  ~RowWriter() { Flush(); }
  void Add(const std::vector<std::string>& values) {
    sql_ += sql_.empty() ? std::string("INSERT INTO \"") + table_ + "\" VALUES " : ",";
    sql_ += "(";
    for (size_t i = 0; i < values.size(); ++i) sql_ += (i ? ",'" : "'") + values[i] + "'";
    sql_ += ")";
    if (++rows_ == 400) Flush();
  }
  void Flush() {
    if (!sql_.empty()) db_.Exec(sql_);
    sql_.clear();
    rows_ = 0;
  }

 private:
  Database& db_;
  const char* table_;
  std::string sql_;
  int rows_ = 0;
};

// Warehouse tables first..last (11 integer and 50 numeric columns each) and
// their structure.
void Generate(Database& db, int first, int last) {
  db.Exec("BEGIN");
  std::string ddl;
  for (int i = first; i <= last; ++i) {
    ddl += "CREATE TABLE t_" + Number(i) + " (";
    for (int c = 1; c <= kDimes + 1; ++c) ddl += "cd_" + Two(c) + " INTEGER, ";
    for (int c = 1; c <= kFacts; ++c)
      ddl += "vl_" + Two(c) + " NUMERIC(15,2)" + (c < kFacts ? ", " : ");");
    if (i % 100 == 0 || i == last) {
      db.Exec(ddl);
      ddl.clear();
    }
  }
  {
    RowWriter tables(db, "QMX_TABELA"), facts(db, "QMX_FATO"), dimes(db, "QMX_DIME"),
        drill_facts(db, "QMX_FATO_DRILL"), drill_dimes(db, "QMX_DIME_DRILL");
    for (int i = first; i <= last; ++i) {
      const std::string code = Code(i);
      tables.Add({code, "Tabela " + std::to_string(i), IsDrill(i) ? "S" : "N"});
      for (int c = 1; c <= kFacts; ++c) {
        if (IsDrill(i))
          drill_facts.Add({code, "VL_" + Two(c), "Fato " + Two(c), "M", ""});
        else
          facts.Add({code, "VL_" + Two(c), "S", "00001", "Fato " + Two(c), "M",
                     "Descrição do fato " + Two(c), c == 1 ? Code(DrillOf(i)) : ""});
      }
      for (int d = 1; d <= kDimes; ++d)
        (IsDrill(i) ? drill_dimes : dimes).Add({code, "CD_" + Two(d), Number(d)});
    }
  }
  db.Exec("COMMIT");
  db.Settle();
}

// ---- the calls -----------------------------------------------------------------

const std::vector<db::PacketField> kFactFields = {
    {"IDFATODW", 1, true},      {"CDTABELADW", 30, false}, {"CDITEMDW", 30, false},
    {"CDAREANEGDW", 5, false},  {"NMITEMDW", 30, false},   {"IDTPFATODW", 1, true},
    {"DSHINTITEM", 200, false}, {"CDTABDRILL", 30, false}};
const std::vector<db::PacketField> kDimeFields = {
    {"CDTABELADW", 30, false}, {"CDITEMDIME", 30, false}, {"NRSEQUEDIME", 5, false}};

Variant Delta(const std::vector<db::PacketField>& fields, const std::vector<std::string>& before,
              const std::vector<std::string>& after) {
  db::Packet p;
  p.kind = db::PacketKind::kDelta;
  p.fields = fields;
  db::PacketRow row;
  row.status = db::RowStatus::kModified;
  for (const std::string& v : after) row.values.emplace_back(v);
  for (const std::string& v : before) row.old_values.emplace_back(v);
  p.rows.push_back(std::move(row));
  return db::PacketToVariant(p);
}

void MustAnswer(const Variant& v, const char* what) {
  if (v.IsArray() && !v.IsByteArray() && v.Length() == 1 && v[0].IsString()) {
    std::fprintf(stderr, "%s refused: %s\n", what, v[0].AsString().c_str());
    std::abort();
  }
}

// One session on a database and the calls timed on it.
class Session {
 public:
  explicit Session(const Database& db) : rdm_(appserver::OpenStorage(db.target())) {}

  void GetInicial() {
    std::vector<Variant> none;
    benchmark::DoNotOptimize(rdm_.Invoke("GetInicial", none));
  }
  void GetDimeFatos() {
    std::vector<Variant> a{kTable, "", "", "", Variant(), Variant()};
    rdm_.Invoke("GetDimeFatos", a);
    if (a[5].Length() == 0) std::abort();
  }
  // Renames the fact that drills into T_00010 back and forth.
  void SetFatos() {
    auto row = [](const std::string& name) {
      return std::vector<std::string>{
          "S", kTable, "VL_01", "00001", name, "M", "Descrição do fato 01", kBusyDrill};
    };
    std::string next = fact_name_ == "Fato 01" ? "Fato um" : "Fato 01";
    std::vector<Variant> a{Delta(kFactFields, row(fact_name_), row(next)), kTable};
    MustAnswer(rdm_.Invoke("SetFatos", a), "SetFatos");
    fact_name_ = next;
  }
  // Moves dimension 00010 between columns CD_10 and CD_11, asking first which
  // drill tables the change affects, as the screen does.
  void ChangeDimension() {
    std::vector<Variant> q{kTable, "00010"};
    benchmark::DoNotOptimize(rdm_.Invoke("getVdUpdDimeDW", q));
    std::string next = dime_column_ == "CD_10" ? "CD_11" : "CD_10";
    std::vector<Variant> a{
        Delta(kDimeFields, {kTable, dime_column_, "00010"}, {kTable, next, "00010"}), kTable};
    MustAnswer(rdm_.Invoke("SetDime", a), "SetDime");
    dime_column_ = next;
  }
  void DrillUses() {
    std::vector<Variant> a{kBusyDrill, true};
    benchmark::DoNotOptimize(rdm_.Invoke("getVdDelDrill", a));
  }

 private:
  appserver::RdmEstrutura rdm_;
  std::string fact_name_ = "Fato 01";
  std::string dime_column_ = "CD_10";
};

// ---- one drill table, many fact tables ---------------------------------------

constexpr int kWideUsers[] = {9, 500, 2000};
const std::string kWideDrill = qmxtest::WideCode("DRILL_MOVIMENTO_DIARIO", 0);
const std::string kWideStem = "FATO_MOVIMENTO_DIARIOS";

// A session on a database where `users` fact tables drill into kWideDrill.
class WideSession {
 public:
  WideSession(Database& db, int users) : db_(db), users_(users) {
    db.Exec(qmxtest::InOneTransaction(
        qmxtest::FanInSql(kWideDrill, qmxtest::WideCodes(kWideStem, users))));
    db.Settle();
    rdm_ = std::make_unique<appserver::RdmEstrutura>(appserver::OpenStorage(db.target()));
  }
  // Which fact tables lose the drill when its dimension 00002 goes.
  void DimensionLoss() {
    std::vector<Variant> a{kWideDrill, "", "00002", ""};
    Listed(rdm_->Invoke("getVdDrill", a), "getVdDrill", 1);
  }
  void Users() {
    std::vector<Variant> a{kWideDrill, true};
    Listed(rdm_->Invoke("getVdDelDrill", a), "getVdDelDrill", users_);
  }
  // Yes to the question: every link goes, then the dimension.
  void ConsentAndChange() {
    std::vector<Variant> consent{kWideDrill, false};
    MustAnswer(rdm_->Invoke("getVdDelDrill", consent), "getVdDelDrill");
    db::Packet p;
    p.kind = db::PacketKind::kDelta;
    p.fields = {{"CDTABDRILL", 30, false}, {"CDDIMEDRILL", 30, false}, {"NRSEQUEDIME", 5, false}};
    p.rows.push_back({db::RowStatus::kDeleted, {}, {kWideDrill, "CD_PRODUTO", "00002"}});
    std::vector<Variant> change{db::PacketToVariant(p)};
    MustAnswer(rdm_->Invoke("SetDimeDrill", change), "SetDimeDrill");
  }
  // What ConsentAndChange took, put back (the dimension first removed, so
  // this also runs before the first change).
  void Restore() {
    const std::string dime = "\"QMX_DIME_DRILL\" WHERE \"CDTABDRILL\" = '" + kWideDrill +
                             "' AND \"CDDIMEDRILL\" = 'CD_PRODUTO'";
    db_.Exec("UPDATE \"QMX_FATO\" SET \"CDTABDRILL\" = '" + kWideDrill +
             "' WHERE \"CDTABELADW\" LIKE '" + kWideStem + "%'; DELETE FROM " + dime +
             "; INSERT INTO \"QMX_DIME_DRILL\" VALUES ('" + kWideDrill +
             "', 'CD_PRODUTO', '00002')");
  }

 private:
  static void Listed(const Variant& v, const char* what, size_t rows) {
    MustAnswer(v, what);
    if (db::PacketFromVariant(v).rows.size() != rows) {
      std::fprintf(stderr, "%s: not the rows expected\n", what);
      std::abort();
    }
  }
  Database& db_;
  int users_;
  std::unique_ptr<appserver::RdmEstrutura> rdm_;
};

// Times `call` on each session in turn per round (after `restore`, untimed,
// when given) and records the median of each as wide<users>_<key>.
void CompareWide(benchmark::State& state, const std::string& key,
                 const std::vector<std::shared_ptr<WideSession>>& sessions,
                 void (WideSession::*call)(), void (WideSession::*restore)()) {
  std::vector<std::vector<double>> us(sessions.size());
  for (int round = 0; round < 3; ++round)
    for (auto& s : sessions) {
      if (restore) ((*s).*restore)();
      ((*s).*call)();
    }
  for (auto _ : state)
    for (size_t i = 0; i < sessions.size(); ++i) {
      if (restore) {
        state.PauseTiming();
        ((*sessions[i]).*restore)();
        state.ResumeTiming();
      }
      const auto t0 = Clock::now();
      ((*sessions[i]).*call)();
      us[i].push_back(bench::Micros(Clock::now() - t0));
    }
  for (size_t i = 0; i < sessions.size(); ++i) {
    const std::string side = "wide" + std::to_string(kWideUsers[i]);
    state.counters[side + "_median_us"] = bench::Median(us[i]);
    g_results[side + "_" + key] = bench::Median(us[i]);
  }
}

// Small and large alternately, so a change in the shared machine's load falls
// on both alike; records both medians.
void Compare(benchmark::State& state, const std::string& key, const std::function<void()>& small,
             const std::function<void()>& large) {
  bench::Report(state, g_results, key, "small", "large",
                bench::TimeSideBySide(state, 20, small, large));
}

struct Backend {
  std::string name;
  std::unique_ptr<Database> small, mid, large;
  std::vector<std::unique_ptr<Database>> wide;  // one per kWideUsers
};
std::vector<Backend> g_backends;

void RegisterBackend(Backend& b) {
  auto small = std::make_shared<Session>(*b.small);
  auto large = std::make_shared<Session>(*b.large);
  auto add = [&](const std::string& call, void (Session::*method)()) {
    const std::string key = b.name + "/" + call;
    benchmark::RegisterBenchmark(("BM_" + key).c_str(), [=](benchmark::State& state) {
      Compare(
          state, key, [&] { ((*small).*method)(); }, [&] { ((*large).*method)(); });
    })->UseRealTime();
  };
  add("GetInicial", &Session::GetInicial);
  add("GetDimeFatos", &Session::GetDimeFatos);
  add("SetFatos", &Session::SetFatos);
  add("DimensionChange", &Session::ChangeDimension);
  add("getVdDelDrill", &Session::DrillUses);
  // How GetInicial grows: 1,000 tables against 5,000, alternately.
  auto mid = std::make_shared<Session>(*b.mid);
  const std::string key = b.name + "/GetInicialGrowth";
  benchmark::RegisterBenchmark(("BM_" + key).c_str(), [=](benchmark::State& state) {
    Compare(
        state, key, [&] { mid->GetInicial(); }, [&] { large->GetInicial(); });
  })->UseRealTime();
}

void RegisterWide(Backend& b) {
  std::vector<std::shared_ptr<WideSession>> sessions;
  for (size_t i = 0; i < b.wide.size(); ++i)
    sessions.push_back(std::make_shared<WideSession>(*b.wide[i], kWideUsers[i]));
  auto add = [&](const std::string& call, void (WideSession::*method)(),
                 void (WideSession::*restore)()) {
    const std::string key = b.name + "/" + call;
    auto* bm = benchmark::RegisterBenchmark(("BM_" + key).c_str(), [=](benchmark::State& state) {
      CompareWide(state, key, sessions, method, restore);
    });
    bm->UseRealTime();
    // A consent on 2,000 links takes long enough that the default time would
    // give a single round; seven give a median.
    if (restore) bm->Iterations(7);
  };
  add("WideDimensionLoss", &WideSession::DimensionLoss, nullptr);
  add("WideUsers", &WideSession::Users, nullptr);
  add("WideConsentAndChange", &WideSession::ConsentAndChange, &WideSession::Restore);
}

// GetDimeFatos of one table through qmx-server against the same two SELECTs
// from a two-tier client (one pipeline, one read-only transaction), on the
// large PostgreSQL database.
void RegisterTwoTier(const Database& large) {
  const appserver::DatabaseTarget target = large.target();
  benchmark::RegisterBenchmark(
      "BM_PostgreSQL/GetDimeFatosViaServerVsLibpq",
      [target](benchmark::State& state) {
        appserver::EmbeddedServerOptions o;
        o.database_path = target.location;
        o.schema = target.schema;
        o.demo = appserver::DemoSeeding::kNever;
        appserver::EmbeddedServer server(o);
        auto conn =
            bench::Connect(std::string(appserver::RdmEstrutura::kObjectName), server.Port());
        bench::PgTwoTierLoad two_tier(target.location, target.schema);
        if (two_tier.Run(kTable) != kDimes + kFacts)
          state.SkipWithError("the two SELECTs found another table");
        Compare(
            state, "PostgreSQL/two_tier", [&] { two_tier.Run(kTable); },
            [&] {
              Variant code = kTable, dimes, facts;
              conn->AppServer().Call("GetDimeFatos", {net::Arg::Ref(code), "", "", "",
                                                      net::Arg::Ref(dimes), net::Arg::Ref(facts)});
              // Decoded by the client, as the two-tier client copies its rows.
              benchmark::DoNotOptimize(db::PacketFromVariant(dimes));
              benchmark::DoNotOptimize(db::PacketFromVariant(facts));
            });
      })
      ->UseRealTime();
}

void Build(Backend& b) {
  auto t0 = Clock::now();
  Generate(*b.small, 1, kSmallTables);
  Generate(*b.mid, 1, kMidTables);
  Generate(*b.large, 1, kLargeTables);
  std::printf("%s: structures generated in %.1f s\n", b.name.c_str(),
              std::chrono::duration<double>(Clock::now() - t0).count());
}

void PrintRatios() {
  auto r = [](const std::string& a, const std::string& b) {
    double x = g_results[a], y = g_results[b];
    return y > 0 ? x / y : 0.0;
  };
  std::printf("\nRatios (same run; 5,000 tables / 10 tables, medians):\n");
  for (const Backend& b : g_backends) {
    for (const char* call :
         {"GetInicial", "GetDimeFatos", "SetFatos", "DimensionChange", "getVdDelDrill"}) {
      const std::string key = b.name + "/" + call;
      std::printf("  %-10s %-16s = %6.2f  (%.0f us / %.0f us)%s\n", b.name.c_str(), call,
                  r("large_" + key, "small_" + key), g_results["large_" + key],
                  g_results["small_" + key],
                  std::string(call) == "GetInicial"      ? " (grows with the table count)"
                  : std::string(call) == "getVdDelDrill" ? " (500 uses answered / 9)"
                                                         : " (goal <= 1.5)");
    }
    const std::string growth = b.name + "/GetInicialGrowth";
    std::printf(
        "  %-10s GetInicial 5,000 tables / 1,000 tables = %.2f (linear: 5.0; %.0f us / "
        "%.0f us)\n",
        b.name.c_str(), r("large_" + growth, "small_" + growth), g_results["large_" + growth],
        g_results["small_" + growth]);
  }
  std::printf("\nOne drill table used by 500 and 2,000 fact tables / used by 9 (medians):\n");
  for (const Backend& b : g_backends)
    for (const char* call : {"WideDimensionLoss", "WideUsers", "WideConsentAndChange"}) {
      const std::string key = b.name + "/" + call;
      const double base = g_results["wide9_" + key];
      std::printf("  %-10s %-20s 500: %6.2f  2,000: %6.2f  (%.0f / %.0f / %.0f us)\n",
                  b.name.c_str(), call, base > 0 ? g_results["wide500_" + key] / base : 0.0,
                  base > 0 ? g_results["wide2000_" + key] / base : 0.0, base,
                  g_results["wide500_" + key], g_results["wide2000_" + key]);
    }
  if (g_results.count("small_PostgreSQL/two_tier"))
    std::printf(
        "  PostgreSQL GetDimeFatos via qmx-server / the two SELECTs via libpq = %.2f "
        "(goal <= 1.3)\n",
        r("large_PostgreSQL/two_tier", "small_PostgreSQL/two_tier"));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  g_backends.push_back({"SQLite",
                        std::make_unique<SqliteDatabase>("pequeno"),
                        std::make_unique<SqliteDatabase>("medio"),
                        std::make_unique<SqliteDatabase>("grande"),
                        {}});
  for (int users : kWideUsers)
    g_backends.back().wide.push_back(
        std::make_unique<SqliteDatabase>("largo" + std::to_string(users)));
  const char* pg = std::getenv("QMX_BENCH_PG");
  if (!pg || !*pg) pg = std::getenv("QMX_TEST_PG");
  if (pg && *pg) {
    g_backends.push_back({"PostgreSQL",
                          std::make_unique<PostgresDatabase>(pg, "pequeno"),
                          std::make_unique<PostgresDatabase>(pg, "medio"),
                          std::make_unique<PostgresDatabase>(pg, "grande"),
                          {}});
    for (int users : kWideUsers)
      g_backends.back().wide.push_back(
          std::make_unique<PostgresDatabase>(pg, "largo" + std::to_string(users)));
  } else
    std::printf("PostgreSQL: QMX_BENCH_PG (ou QMX_TEST_PG) não definido; só SQLite.\n");
  for (Backend& b : g_backends) {
    Build(b);
    RegisterBackend(b);
    RegisterWide(b);
  }
  if (g_backends.size() > 1) RegisterTwoTier(*g_backends[1].large);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  g_backends.clear();
  return 0;
}
