// rdmEstrutura over the socket against baselines measured in the same run,
// each moving the same bytes as the call (sizes taken from the call's own
// frames): GetTabelas of one code against a raw loopback ping-pong; the load
// form of GetDimeFatos for a table of 100 facts and 20 dimensions, its
// packets decoded by the client, against the same two SELECTs run in-process
// on SQLite (in one read transaction, every step checked) plus a ping-pong;
// on PostgreSQL (QMX_BENCH_PG, else QMX_TEST_PG; skipped when neither is set)
// the same call against a two-tier client sending the two SELECTs in one
// pipeline inside one read-only transaction; throughput with 1, 8 and 32
// clients against a raw echo over as many connections; a one-fact SetFatos
// with the history recorded against the same call without it. Prints the
// ratios at the end. Runs on one processor (see RunOnOneProcessor).
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sched.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "appserver/database/database.h"
#include "appserver/serving/embedded_server.h"
#include "appserver/storage/sqlite/sqlite_storage.h"
#include "appserver/storage/storage.h"
#include "db/packet.h"
#include "net/frame.h"
#include "support/measure.h"
#include "support/pg_two_tier.h"

namespace {

using bench::Clock;
using bench::Median;
constexpr auto kWindow = std::chrono::milliseconds(500);
constexpr const char* kBenchTable = "BANCADA_FATO";

std::map<std::string, double> g_results;
std::unique_ptr<appserver::EmbeddedServer> g_server;
std::unique_ptr<appserver::EmbeddedServer> g_pg_server;  // when PostgreSQL is at hand
std::string g_pg_conninfo, g_pg_schema;

using EchoServer = bench::RawEchoServer;
using PingPong = bench::RawClient;

// ---- the server --------------------------------------------------------------

std::unique_ptr<net::TSocketConnection> Connect() {
  return bench::Connect(std::string(appserver::RdmEstrutura::kObjectName), g_server->Port());
}

rtl::Variant GetTabelasOne(net::TSocketConnection& c) {
  rtl::Variant code = "FATO_VENDAS";
  return c.AppServer().Call("GetTabelas", {net::Arg::Ref(code), false});
}

// The load form's call; the client decodes both packets into rows, as a
// dataset loading them would.
void GetDimeFatos(net::TSocketConnection& c) {
  rtl::Variant code = kBenchTable, dimes, facts;
  c.AppServer().Call("GetDimeFatos",
                     {net::Arg::Ref(code), "", "", "", net::Arg::Ref(dimes), net::Arg::Ref(facts)});
  db::Packet d = db::PacketFromVariant(dimes), f = db::PacketFromVariant(facts);
  if (d.rows.size() != 20 || f.rows.size() != 100) std::abort();
  benchmark::DoNotOptimize(d);
  benchmark::DoNotOptimize(f);
}

// The bytes a call puts on the wire each way, frames whole, as an in-process
// session answers it.
struct WireSizes {
  size_t request = 0;
  size_t answer = 0;
};

WireSizes SizesOf(const std::string& method, std::vector<rtl::Variant> args,
                  const std::vector<bool>& by_ref) {
  std::vector<net::Arg> sent;
  for (size_t i = 0; i < args.size(); ++i)
    sent.push_back(by_ref[i] ? net::Arg::Ref(args[i]) : net::Arg(args[i]));
  std::vector<uint8_t> request, answer;
  net::EncodeCall(request, 1, method, sent);
  auto rdm = g_server->NewSession();
  const rtl::Variant result = rdm->Invoke(method, args);
  net::EncodeAnswer(answer, 1, result, args, by_ref);
  return {request.size(), answer.size()};
}

WireSizes GetTabelasSizes() {
  return SizesOf("GetTabelas", {"FATO_VENDAS", false}, {true, false});
}

WireSizes GetDimeFatosSizes() {
  return SizesOf("GetDimeFatos", {kBenchTable, "", "", "", rtl::Variant(), rtl::Variant()},
                 {true, false, false, false, true, true});
}

// The DDL of a warehouse table of 100 numeric and 20 integer columns.
std::string BenchTableDdl(const std::string& qualified_name) {
  std::string ddl = "CREATE TABLE " + qualified_name + " (";
  for (int i = 1; i <= 20; ++i) ddl += "CD_" + std::to_string(100 + i) + " INTEGER, ";
  for (int i = 1; i <= 100; ++i)
    ddl += "VL_" + std::to_string(1000 + i) + " NUMERIC(15,2)" + (i < 100 ? ", " : ")");
  return ddl;
}

// Registers the bench table with 100 facts and 20 dimensions.
void RegisterBenchTable(appserver::Storage& s) {
  appserver::Transaction tx(s, appserver::TransactionKind::kWrite);
  for (int n = 12; n <= 20; ++n) {
    char number[8];
    std::snprintf(number, sizeof number, "%05d", n);
    s.Insert(appserver::Entity::kDimension, {number, "Dimensão " + std::to_string(n)});
  }
  s.Insert(appserver::Entity::kTable, {kBenchTable, "Bancada", "N"});
  for (int i = 1; i <= 20; ++i) {
    char number[8];
    std::snprintf(number, sizeof number, "%05d", i);
    s.Insert(appserver::Entity::kDime, {kBenchTable, "CD_" + std::to_string(100 + i), number});
  }
  for (int i = 1; i <= 100; ++i)
    s.Insert(appserver::Entity::kFact,
             {kBenchTable, "VL_" + std::to_string(1000 + i), "S", "00001",
              "Fato número " + std::to_string(i), "M",
              "Descrição do fato número " + std::to_string(i) + " da tabela de bancada", ""});
  tx.Commit();
}

void AddBenchTable(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  if (sqlite3_exec(db, BenchTableDdl(kBenchTable).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    std::abort();
  sqlite3_close(db);
  RegisterBenchTable(*appserver::OpenSqliteStorage(path));
}

// A server on a schema of its own in the PostgreSQL database `conninfo`,
// with the bench table.
void StartPostgres(const std::string& conninfo) {
  g_pg_conninfo = conninfo;
  g_pg_schema = "qmx_bancada_" + std::to_string(getpid());
  appserver::DatabaseTarget target{conninfo, g_pg_schema};
  appserver::PrepareDatabase(target, appserver::DemoSeeding::kRequested);
  PGconn* pg = PQconnectdb(conninfo.c_str());
  PGresult* r = PQexec(pg, BenchTableDdl("\"" + g_pg_schema + "\"." + kBenchTable).c_str());
  if (PQresultStatus(r) != PGRES_COMMAND_OK) {
    std::fprintf(stderr, "PostgreSQL: %s\n", PQresultErrorMessage(r));
    std::abort();
  }
  PQclear(r);
  PQfinish(pg);
  RegisterBenchTable(*appserver::OpenStorage(target));
  appserver::EmbeddedServerOptions o;
  o.database_path = conninfo;
  o.schema = g_pg_schema;
  o.demo = appserver::DemoSeeding::kNever;
  g_pg_server = std::make_unique<appserver::EmbeddedServer>(o);
}

void DropPostgres() {
  if (!g_pg_server) return;
  g_pg_server.reset();
  PGconn* pg = PQconnectdb(g_pg_conninfo.c_str());
  PQclear(PQexec(pg, ("SET client_min_messages = warning; DROP SCHEMA IF EXISTS \"" + g_pg_schema +
                      "\" CASCADE")
                         .c_str()));
  PQfinish(pg);
}

// The two SELECTs the load form runs, in-process on their own connection, in
// one read transaction. Any step that is neither a row nor the end (a busy
// database included) ends the benchmark: a baseline that silently did less
// would flatter the call.
class DirectSelects {
 public:
  explicit DirectSelects(const std::string& path) {
    // Opened as the server opens its sessions (one thread per connection).
    sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_prepare_v2(db_,
                       "SELECT CDTABELADW, CDITEMDIME, NRSEQUEDIME FROM QMX_DIME "
                       "WHERE CDTABELADW = ?1 ORDER BY CDTABELADW, CDITEMDIME",
                       -1, &dimes_, nullptr);
    sqlite3_prepare_v2(db_,
                       "SELECT CDTABELADW, CDITEMDW, IDFATODW, CDAREANEGDW, NMITEMDW, IDTPFATODW, "
                       "DSHINTITEM, CDTABDRILL FROM QMX_FATO WHERE CDTABELADW = ?1 "
                       "ORDER BY CDTABELADW, CDITEMDW",
                       -1, &facts_, nullptr);
  }
  ~DirectSelects() {
    sqlite3_finalize(dimes_);
    sqlite3_finalize(facts_);
    sqlite3_close(db_);
  }
  size_t Run() {
    Check(sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr), "BEGIN");
    size_t rows = Read(dimes_) + Read(facts_);
    Check(sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr), "COMMIT");
    return rows;
  }

 private:
  void Check(int rc, const char* what) {
    if (rc == SQLITE_OK) return;
    std::fprintf(stderr, "DirectSelects %s: %s\n", what, sqlite3_errmsg(db_));
    std::abort();
  }
  size_t Read(sqlite3_stmt* st) {
    if (!st) Check(SQLITE_ERROR, "prepare");
    Check(sqlite3_bind_text(st, 1, kBenchTable, -1, SQLITE_STATIC), "bind");
    std::vector<std::vector<std::string>> rows;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const unsigned char* p = sqlite3_column_text(st, c);
        row.emplace_back(p ? reinterpret_cast<const char*>(p) : "");
      }
      rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) Check(rc, "step");
    sqlite3_reset(st);
    benchmark::DoNotOptimize(rows);
    return rows.size();
  }
  sqlite3* db_ = nullptr;
  sqlite3_stmt* dimes_ = nullptr;
  sqlite3_stmt* facts_ = nullptr;
};

// Times baseline and call side by side (see bench::TimeSideBySide); records
// both medians.
template <class Base, class Ours>
void Compare(benchmark::State& state, const std::string& name, Base base, Ours ours,
             bool alternate = false) {
  bench::Report(state, g_results, name, "base", "call",
                bench::TimeSideBySide(state, 100, base, ours, alternate));
}

void BM_GetTabelasOneCodeVsPingPong(benchmark::State& state) {
  const WireSizes sizes = GetTabelasSizes();
  EchoServer echo(sizes.request, sizes.answer);
  PingPong raw(echo.Port(), sizes.request, sizes.answer);
  auto conn = Connect();
  Compare(
      state, "small", [&] { raw.RoundTrip(); },
      [&] { benchmark::DoNotOptimize(GetTabelasOne(*conn)); });
}
BENCHMARK(BM_GetTabelasOneCodeVsPingPong)->UseRealTime();

void BM_GetDimeFatos100x20VsSelectsPlusPingPong(benchmark::State& state) {
  const WireSizes sizes = GetDimeFatosSizes();
  EchoServer echo(sizes.request, sizes.answer);
  PingPong raw(echo.Port(), sizes.request, sizes.answer);
  DirectSelects selects(g_server->DatabasePath());
  if (selects.Run() != 120) state.SkipWithError("bench table not set up");
  auto conn = Connect();
  Compare(
      state, "dimefatos",
      [&] {
        selects.Run();
        raw.RoundTrip();
      },
      [&] { GetDimeFatos(*conn); });
}
BENCHMARK(BM_GetDimeFatos100x20VsSelectsPlusPingPong)->UseRealTime();

// The same call on PostgreSQL against the same SELECTs from a two-tier client.
void BM_PostgreSQL_GetDimeFatos100x20VsPipelinedTwoTier(benchmark::State& state) {
  if (!g_pg_server) return state.SkipWithError("PostgreSQL: QMX_BENCH_PG / QMX_TEST_PG not set");
  bench::PgTwoTierLoad two_tier(g_pg_conninfo, g_pg_schema);
  if (two_tier.Run(kBenchTable) != 120) return state.SkipWithError("bench table not set up");
  auto conn =
      bench::Connect(std::string(appserver::RdmEstrutura::kObjectName), g_pg_server->Port());
  Compare(
      state, "pg_dimefatos", [&] { two_tier.Run(kBenchTable); }, [&] { GetDimeFatos(*conn); });
}
BENCHMARK(BM_PostgreSQL_GetDimeFatos100x20VsPipelinedTwoTier)->UseRealTime();

// The same load form without the socket: what the server itself spends.
void BM_GetDimeFatos100x20InProcess(benchmark::State& state) {
  auto rdm = g_server->NewSession();
  DirectSelects selects(g_server->DatabasePath());
  std::vector<double> base_us, our_us;
  for (auto _ : state) {
    auto t0 = Clock::now();
    selects.Run();
    auto t1 = Clock::now();
    std::vector<rtl::Variant> args{kBenchTable, "", "", "", rtl::Variant(), rtl::Variant()};
    benchmark::DoNotOptimize(rdm->Invoke("GetDimeFatos", args));
    auto t2 = Clock::now();
    base_us.push_back(bench::Micros(t1 - t0));
    our_us.push_back(bench::Micros(t2 - t1));
  }
  state.counters["selects_median_us"] = Median(base_us);
  state.counters["invoke_median_us"] = Median(our_us);
}
BENCHMARK(BM_GetDimeFatos100x20InProcess)->UseRealTime();

// GetTabelas of one code without the socket.
void BM_GetTabelasOneCodeInProcess(benchmark::State& state) {
  auto rdm = g_server->NewSession();
  for (auto _ : state) {
    std::vector<rtl::Variant> args{"FATO_VENDAS", false};
    benchmark::DoNotOptimize(rdm->Invoke("GetTabelas", args));
  }
}
BENCHMARK(BM_GetTabelasOneCodeInProcess);

// A one-fact SetFatos that renames one fact of FATO_FINANCEIRO back and
// forth, through `call`; the two facts of that table keep the call's own
// checks small, so the recording's share shows at its largest.
class RenameFact {
 public:
  using Call = std::function<rtl::Variant(std::vector<rtl::Variant>&)>;
  RenameFact(Call call, const std::string& active, const std::string& column,
             const std::string& name)
      : call_(std::move(call)) {
    for (const std::string& n : {name, name + " (b)"})
      rows_.push_back({active, "FATO_FINANCEIRO", column, "00002", n, "M", "", ""});
  }
  // Leaves the fact as found, for the next run of the benchmark.
  ~RenameFact() {
    if (turn_ % 2) Run();
  }
  void Run() {
    const auto& from = rows_[turn_ % 2];
    const auto& to = rows_[(turn_ + 1) % 2];
    ++turn_;
    db::Packet delta;
    delta.kind = db::PacketKind::kDelta;
    delta.fields = {{"IDFATODW", 1, true},      {"CDTABELADW", 30, false}, {"CDITEMDW", 30, false},
                    {"CDAREANEGDW", 5, false},  {"NMITEMDW", 30, false},   {"IDTPFATODW", 1, true},
                    {"DSHINTITEM", 200, false}, {"CDTABDRILL", 30, false}};
    auto values = [](const std::vector<std::string>& v) {
      std::vector<db::FieldValue> out;
      for (const std::string& s : v)
        out.push_back(s.empty() ? db::FieldValue() : db::FieldValue(s));
      return out;
    };
    delta.rows.push_back({db::RowStatus::kModified, values(to), values(from)});
    std::vector<rtl::Variant> args{db::PacketToVariant(delta), "FATO_FINANCEIRO"};
    rtl::Variant answer = call_(args);
    if (!answer.IsEmpty()) {
      std::fprintf(stderr, "SetFatos: %s\n", answer[0].AsString().c_str());
      std::abort();
    }
  }

 private:
  Call call_;
  std::vector<std::vector<std::string>> rows_;
  int turn_ = 0;
};

RenameFact::Call InProcess(bool record_history) {
  auto rdm = std::make_shared<appserver::RdmEstrutura>(
      appserver::OpenSqliteStorage(g_server->DatabasePath()), record_history);
  return [rdm](std::vector<rtl::Variant>& args) { return rdm->Invoke("SetFatos", args); };
}

RenameFact::Call OverSocket(uint16_t port) {
  auto c = std::make_shared<net::TSocketConnection>(nullptr);
  c->SetServerName(std::string(appserver::RdmEstrutura::kObjectName));
  c->SetPort(port);
  c->Open();
  return [c](std::vector<rtl::Variant>& args) {
    return c->AppServer().Call("SetFatos", {args[0], args[1]});
  };
}

// As the demo stores them: the expense is not an active fact.
void BM_SetFatosOneFactWithVsWithoutHistory(benchmark::State& state) {
  RenameFact without(InProcess(false), "N", "VL_DESPESA", "Despesa");
  RenameFact with(InProcess(true), "S", "VL_RECEITA", "Receita");
  Compare(
      state, "history", [&] { without.Run(); }, [&] { with.Run(); });
}
BENCHMARK(BM_SetFatosOneFactWithVsWithoutHistory)->UseRealTime();

// The same over the socket: two more servers on the same database, alike
// but for the recording.
void BM_SetFatosOneFactOverSocketWithVsWithoutHistory(benchmark::State& state) {
  appserver::EmbeddedServerOptions o;
  o.database_path = g_server->DatabasePath();
  o.record_history = false;
  appserver::EmbeddedServer unrecorded(o);
  o.record_history = true;
  appserver::EmbeddedServer recorded(o);
  RenameFact without(OverSocket(unrecorded.Port()), "N", "VL_DESPESA", "Despesa");
  RenameFact with(OverSocket(recorded.Port()), "S", "VL_RECEITA", "Receita");
  Compare(
      state, "history_socket", [&] { without.Run(); }, [&] { with.Run(); }, true);
}
BENCHMARK(BM_SetFatosOneFactOverSocketWithVsWithoutHistory)->UseRealTime();

void BM_ThroughputVsRawEcho(benchmark::State& state) {
  const WireSizes sizes = GetTabelasSizes();
  bench::CompareThroughput(
      state, g_results, kWindow,
      [] {
        std::shared_ptr<net::TSocketConnection> c = Connect();
        return [c] { benchmark::DoNotOptimize(GetTabelasOne(*c)); };
      },
      sizes.request, sizes.answer);
}

BENCHMARK(BM_ThroughputVsRawEcho)->Arg(1)->Arg(8)->Arg(32)->Iterations(1)->UseRealTime();

void PrintRatios() {
  auto r = [](const std::string& a, const std::string& b) {
    double x = g_results[a], y = g_results[b];
    return y > 0 ? x / y : 0.0;
  };
  struct Ratio {
    const char *what, *key, *goal;
  };
  const Ratio ratios[] = {
      {"GetTabelas(one code) median / raw ping-pong of its sizes      ", "small", "<= 1.5"},
      {"GetDimeFatos(100+20) median / (2 SELECTs + ping-pong)         ", "dimefatos", "<= 1.25"},
      {"PostgreSQL GetDimeFatos / pipelined two-tier, one snapshot    ", "pg_dimefatos", "<= 1.3"},
      {"SetFatos(one fact) with history / without, in process         ", "history", "<= 1.15"},
      {"SetFatos(one fact) with history / without, over the socket    ", "history_socket",
       "<= 1.15"},
  };
  std::printf("\nRatios (same run):\n");
  for (const Ratio& q : ratios)
    std::printf("  %s = %.2f (goal %s)\n", q.what,
                r(std::string("call_") + q.key, std::string("base_") + q.key), q.goal);
  for (int n : {1, 8, 32})
    std::printf("  throughput, %2d clients: GetTabelas calls / raw echo round trips = %.2f%s\n", n,
                r("call_tput" + std::to_string(n), "raw_tput" + std::to_string(n)),
                n > 1 ? " (goal >= 0.6)" : "");
}

// A thread stays on the processor it starts on. A client and a server
// thread on two processors pay a cross-processor wake-up (tens of
// microseconds on a virtual machine whose idle processors sleep) at each
// round trip, a pair on one processor does not; left to the scheduler the
// call and its baseline land on different placements, and the ratio would
// compare placements, not code. So every thread of the bench (the servers'
// too, started after this) shares one processor, the placement that charges
// the code most, unless QMX_BENCH_ALL_CPUS is set.
void RunOnOneProcessor() {
  const char* all = std::getenv("QMX_BENCH_ALL_CPUS");
  const int cpu = sched_getcpu();
  if ((all && *all) || cpu < 0) {
    std::printf("Threads on every processor\n");
    return;
  }
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  if (sched_setaffinity(0, sizeof one, &one) == 0)
    std::printf("Threads on processor %d only (QMX_BENCH_ALL_CPUS=1: on every processor)\n", cpu);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RunOnOneProcessor();
  g_server = std::make_unique<appserver::EmbeddedServer>();
  AddBenchTable(g_server->DatabasePath());
  const char* pg = std::getenv("QMX_BENCH_PG");
  if (!pg || !*pg) pg = std::getenv("QMX_TEST_PG");
  if (pg && *pg) StartPostgres(pg);
  const WireSizes small = GetTabelasSizes(), load = GetDimeFatosSizes();
  std::printf("On the wire: GetTabelas %zu B in, %zu B out; GetDimeFatos %zu B in, %zu B out\n",
              small.request, small.answer, load.request, load.answer);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  DropPostgres();
  g_server.reset();
  return 0;
}
