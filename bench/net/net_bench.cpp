// The server link against plain loopback TCP measured in the same run: call
// latency against a ping-pong of the same size, and throughput with several
// clients against a raw echo over as many connections. Prints the ratios at
// the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/server.h"
#include "support/measure.h"

namespace {

constexpr const char* kObject = "QMX00600.rdmEstrutura";
constexpr auto kThroughputWindow = std::chrono::milliseconds(400);

std::map<std::string, double> g_results;  // median µs, or calls per second

using bench::RawClient;
using bench::RawEchoServer;

// ---- our link ------------------------------------------------------------

// GetTabelas-like: two small strings in, a packet-sized byte array out.
class TrivialObject : public net::IRemoteObject {
 public:
  rtl::Variant Invoke(std::string_view method, std::vector<rtl::Variant>& args) override {
    if (method == "GetTabelas" && args.size() == 2) return small_;
    if (method == "Get16K") return large_;
    throw net::ECallError("Método desconhecido");
  }

 private:
  rtl::Variant small_ = rtl::Variant::ByteArray(std::vector<uint8_t>(200, 1));
  rtl::Variant large_ = rtl::Variant::ByteArray(std::vector<uint8_t>(16 * 1024, 2));
};

std::unique_ptr<net::Server> StartServer() {
  net::ServerOptions o;
  o.object_name = kObject;
  o.factory = [] { return std::make_unique<TrivialObject>(); };
  auto s = std::make_unique<net::Server>(std::move(o));
  s->Start();
  return s;
}

std::unique_ptr<net::TSocketConnection> Connect(uint16_t port) {
  return bench::Connect(kObject, port);
}

rtl::Variant SmallCall(net::TSocketConnection& c) {
  return c.AppServer().Call("GetTabelas", {net::Arg("FATO_VENDAS"), net::Arg(false)});
}

// Times the two round trips side by side; records both medians.
template <class Raw, class Ours>
void CompareLatency(benchmark::State& state, const std::string& name, Raw raw, Ours ours) {
  bench::Report(state, g_results, name, "raw", "call",
                bench::TimeSideBySide(state, 200, raw, ours));
}

// 64-byte ping-pong against GetTabelas-like call (about 200 bytes back).
void BM_SmallCallVsRawPingPong(benchmark::State& state) {
  RawEchoServer echo(64);
  RawClient raw(echo.Port(), 64);
  auto server = StartServer();
  auto conn = Connect(server->Port());
  CompareLatency(
      state, "small", [&] { raw.RoundTrip(); },
      [&] { benchmark::DoNotOptimize(SmallCall(*conn)); });
}
BENCHMARK(BM_SmallCallVsRawPingPong)->UseRealTime();

// 16 KiB ping-pong against a call answering 16 KiB.
void BM_Call16KVsRawPingPong(benchmark::State& state) {
  RawEchoServer echo(16 * 1024);
  RawClient raw(echo.Port(), 16 * 1024);
  auto server = StartServer();
  auto conn = Connect(server->Port());
  CompareLatency(
      state, "16k", [&] { raw.RoundTrip(); },
      [&] { benchmark::DoNotOptimize(conn->AppServer().Call("Get16K")); });
}
BENCHMARK(BM_Call16KVsRawPingPong)->UseRealTime();

// Raw echo and our calls over the same number of connections, in alternate
// windows (three of each); the median window of each is recorded.
void BM_ThroughputVsRawEcho(benchmark::State& state) {
  auto server = StartServer();
  bench::CompareThroughput(state, g_results, kThroughputWindow, [&] {
    std::shared_ptr<net::TSocketConnection> c = Connect(server->Port());
    return [c] { benchmark::DoNotOptimize(SmallCall(*c)); };
  });
}

BENCHMARK(BM_ThroughputVsRawEcho)->Arg(1)->Arg(8)->Arg(32)->Iterations(1)->UseRealTime();

void PrintRatios() {
  auto r = [](const char* a, const char* b) {
    const double x = g_results[a], y = g_results[b];
    return y > 0 ? x / y : 0.0;
  };
  std::printf("\nRatios (same run):\n");
  std::printf("  small call median / raw 64 B ping-pong median  = %.2f  (goal <= 2.0)\n",
              r("call_small", "raw_small"));
  std::printf("  16 KiB call median / raw 16 KiB ping-pong median = %.2f\n",
              r("call_16k", "raw_16k"));
  for (const char* n : {"1", "8", "32"}) {
    const std::string ours = std::string("call_tput") + n, raw = std::string("raw_tput") + n;
    std::printf("  throughput, %2s clients: ours / raw echo = %.2f%s\n", n,
                r(ours.c_str(), raw.c_str()), std::string(n) == "8" ? "  (goal >= 0.35)" : "");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  return 0;
}
