// Calls per second of one server on PostgreSQL with its sessions sharing a
// pool of four connections, against the same server with a connection per
// session, at 24 clients: a table's facts and dimensions (GetDimeFatos) and
// one table by its code (GetTabelas), in alternate windows of the same run.
// QMX_BENCH_POOL sets another pool size (the figures still say "pool of 4"). Needs QMX_BENCH_PG,
// else QMX_TEST_PG (a libpq connection string).
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "appserver/serving/embedded_server.h"
#include "support/measure.h"

namespace {

constexpr int kClients = 24;
constexpr auto kWindow = std::chrono::milliseconds(1500);
std::string g_conninfo;
std::string g_schema;
std::map<std::string, double> g_results;

std::unique_ptr<appserver::EmbeddedServer> Server(int pool) {
  appserver::EmbeddedServerOptions o;
  o.database_path = g_conninfo;
  o.schema = g_schema;
  o.database_pool = pool;
  o.max_connections = 2 * kClients;
  return std::make_unique<appserver::EmbeddedServer>(std::move(o));
}

auto Reader(uint16_t port) {
  return [port] {
    std::shared_ptr<net::TSocketConnection> c =
        bench::Connect(std::string(appserver::RdmEstrutura::kObjectName), port);
    return [c] {
      rtl::Variant code = "FATO_VENDAS", dimes, facts;
      c->AppServer().Call("GetDimeFatos", {net::Arg::Ref(code), "", "", "", net::Arg::Ref(dimes),
                                           net::Arg::Ref(facts)});
    };
  };
}

// The lightest read: one registered table by its code.
auto Lister(uint16_t port) {
  return [port] {
    std::shared_ptr<net::TSocketConnection> c =
        bench::Connect(std::string(appserver::RdmEstrutura::kObjectName), port);
    return [c] {
      rtl::Variant code = "FATO_VENDAS", drill = false;
      c->AppServer().Call("GetTabelas", {code, drill});
    };
  };
}

template <class Make>
void ComparePools(benchmark::State& state, const std::string& key, Make make) {
  const char* size = std::getenv("QMX_BENCH_POOL");
  auto pooled = Server(size ? std::atoi(size) : 4);
  auto own = Server(0);
  std::vector<double> pooled_rates, own_rates;
  for (auto _ : state) {
    for (int round = 0; round < 3; ++round) {
      pooled_rates.push_back(bench::Throughput(kClients, kWindow, make(pooled->Port())).per_s);
      own_rates.push_back(bench::Throughput(kClients, kWindow, make(own->Port())).per_s);
    }
  }
  const double p = bench::Median(pooled_rates), o = bench::Median(own_rates);
  state.counters["pool4_per_s"] = p;
  state.counters["own_per_s"] = o;
  state.counters["ratio"] = o > 0 ? p / o : 0;
  g_results["pool4_" + key] = p;
  g_results["own_" + key] = o;
}

void BM_ReadsPoolOfFourVsConnectionPerSession(benchmark::State& state) {
  ComparePools(state, "read", Reader);
}
BENCHMARK(BM_ReadsPoolOfFourVsConnectionPerSession)->Iterations(1)->UseRealTime();

void BM_ListsPoolOfFourVsConnectionPerSession(benchmark::State& state) {
  ComparePools(state, "list", Lister);
}
BENCHMARK(BM_ListsPoolOfFourVsConnectionPerSession)->Iterations(1)->UseRealTime();

void DropSchema() {
  PGconn* c = PQconnectdb(g_conninfo.c_str());
  PQclear(PQexec(c, ("DROP SCHEMA IF EXISTS " + g_schema + " CASCADE").c_str()));
  PQfinish(c);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* pg = std::getenv("QMX_BENCH_PG");
  if (!pg || !*pg) pg = std::getenv("QMX_TEST_PG");
  if (!pg || !*pg) {
    std::printf("PostgreSQL: QMX_BENCH_PG (ou QMX_TEST_PG) não definido; nada a medir.\n");
    return 0;
  }
  g_conninfo = pg;
  g_schema = "qmx_pool_" + std::to_string(getpid());
  appserver::PrepareDatabase({g_conninfo, g_schema}, appserver::DemoSeeding::kRequested);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DropSchema();
  std::printf("\nRatios (same run, %d clients):\n", kClients);
  for (const char* key : {"read", "list"}) {
    const double p = g_results[std::string("pool4_") + key],
                 o = g_results[std::string("own_") + key];
    std::printf("  %s: pool of 4 %.0f calls/s, a connection per session %.0f calls/s, ratio %.2f\n",
                key, p, o, o > 0 ? p / o : 0);
  }
  return 0;
}
