// The server link against plain loopback TCP measured in the same run: call
// latency against a ping-pong of the same size, and throughput with several
// clients against a raw echo over as many connections. Prints the ratios at
// the end.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/server.h"
#include "net/socket_connection.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kObject = "QMX00600.rdmEstrutura";
constexpr auto kThroughputWindow = std::chrono::milliseconds(700);

std::map<std::string, double> g_results;  // median µs, or calls per second

double Median(std::vector<double>& v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// ---- plain sockets -------------------------------------------------------

void NoDelay(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool ReadExact(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = recv(fd, p, n, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = send(fd, p, n, MSG_NOSIGNAL);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// Echoes fixed-size messages, a thread per connection.
class RawEchoServer {
 public:
  explicit RawEchoServer(size_t message_size) : size_(message_size) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listen_, 64);
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] {
      for (;;) {
        const int fd = accept(listen_, nullptr, nullptr);
        if (fd < 0) return;
        NoDelay(fd);
        std::lock_guard lock(mutex_);
        fds_.push_back(fd);
        workers_.emplace_back([this, fd] {
          std::vector<uint8_t> buf(size_);
          while (ReadExact(fd, buf.data(), size_) && WriteAll(fd, buf.data(), size_)) {
          }
        });
      }
    });
  }
  ~RawEchoServer() {
    shutdown(listen_, SHUT_RDWR);
    close(listen_);
    acceptor_.join();
    for (int fd : fds_) shutdown(fd, SHUT_RDWR);
    for (auto& w : workers_) w.join();
    for (int fd : fds_) close(fd);
  }
  uint16_t Port() const { return port_; }

 private:
  size_t size_;
  int listen_;
  uint16_t port_;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> fds_;
  std::vector<std::thread> workers_;
};

class RawClient {
 public:
  RawClient(uint16_t port, size_t size) : buf_(size, 0x5a) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    NoDelay(fd_);
  }
  ~RawClient() { close(fd_); }
  void RoundTrip() {
    if (!WriteAll(fd_, buf_.data(), buf_.size()) || !ReadExact(fd_, buf_.data(), buf_.size()))
      std::abort();
  }

 private:
  int fd_;
  std::vector<uint8_t> buf_;
};

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
  auto c = std::make_unique<net::TSocketConnection>(nullptr);
  c->SetServerName(kObject);
  c->SetPort(port);
  c->Open();
  return c;
}

rtl::Variant SmallCall(net::TSocketConnection& c) {
  return c.AppServer().Call("GetTabelas", {net::Arg("FATO_VENDAS"), net::Arg(false)});
}

template <class F>
void MeasureLatency(benchmark::State& state, const std::string& name, F round_trip) {
  for (int i = 0; i < 200; ++i) round_trip();  // warm up
  std::vector<double> samples;
  samples.reserve(1 << 16);
  for (auto _ : state) {
    const auto t0 = Clock::now();
    round_trip();
    samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  const double median = Median(samples);
  state.counters["median_us"] = median;
  g_results[name] = median;
}

void BM_RawPingPong(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  RawEchoServer server(size);
  RawClient client(server.Port(), size);
  MeasureLatency(state, "raw" + std::to_string(size), [&] { client.RoundTrip(); });
}
BENCHMARK(BM_RawPingPong)->Arg(64)->Arg(16 * 1024)->UseRealTime();

void BM_SmallCall(benchmark::State& state) {
  auto server = StartServer();
  auto conn = Connect(server->Port());
  MeasureLatency(state, "call_small", [&] { benchmark::DoNotOptimize(SmallCall(*conn)); });
}
BENCHMARK(BM_SmallCall)->UseRealTime();

void BM_Call16K(benchmark::State& state) {
  auto server = StartServer();
  auto conn = Connect(server->Port());
  MeasureLatency(state, "call_16k",
                 [&] { benchmark::DoNotOptimize(conn->AppServer().Call("Get16K")); });
}
BENCHMARK(BM_Call16K)->UseRealTime();

// Runs `clients` threads for the window, each repeating its round trip;
// returns round trips per second over all of them.
template <class MakeClient>
double Throughput(int clients, MakeClient make) {
  std::atomic<bool> go{false}, stop{false};
  std::atomic<long> total{0};
  std::vector<std::thread> threads;
  std::atomic<int> ready{0};
  for (int i = 0; i < clients; ++i) {
    threads.emplace_back([&] {
      auto round_trip = make();
      ++ready;
      while (!go) std::this_thread::yield();
      long n = 0;
      while (!stop) {
        round_trip();
        ++n;
      }
      total += n;
    });
  }
  while (ready < clients) std::this_thread::yield();
  const auto t0 = Clock::now();
  go = true;
  std::this_thread::sleep_for(kThroughputWindow);
  stop = true;
  for (auto& t : threads) t.join();
  return total / std::chrono::duration<double>(Clock::now() - t0).count();
}

void BM_RawEchoThroughput(benchmark::State& state) {
  const int clients = static_cast<int>(state.range(0));
  RawEchoServer server(64);
  double rate = 0;
  for (auto _ : state) {
    rate = Throughput(clients, [&] {
      auto c = std::make_shared<RawClient>(server.Port(), 64);
      return [c] { c->RoundTrip(); };
    });
  }
  state.counters["per_s"] = rate;
  g_results["raw_tput" + std::to_string(clients)] = rate;
}
BENCHMARK(BM_RawEchoThroughput)->Arg(1)->Arg(8)->Arg(32)->Iterations(1)->UseRealTime();

void BM_CallThroughput(benchmark::State& state) {
  const int clients = static_cast<int>(state.range(0));
  auto server = StartServer();
  double rate = 0;
  for (auto _ : state) {
    rate = Throughput(clients, [&] {
      std::shared_ptr<net::TSocketConnection> c = Connect(server->Port());
      return [c] { benchmark::DoNotOptimize(SmallCall(*c)); };
    });
  }
  state.counters["per_s"] = rate;
  g_results["call_tput" + std::to_string(clients)] = rate;
}
BENCHMARK(BM_CallThroughput)->Arg(1)->Arg(8)->Arg(32)->Iterations(1)->UseRealTime();

void PrintRatios() {
  auto r = [](const char* a, const char* b) {
    const double x = g_results[a], y = g_results[b];
    return y > 0 ? x / y : 0.0;
  };
  std::printf("\nRatios (same run):\n");
  std::printf("  small call median / raw 64 B ping-pong median  = %.2f  (goal <= 2.0)\n",
              r("call_small", "raw64"));
  std::printf("  16 KiB call median / raw 16 KiB ping-pong median = %.2f\n",
              r("call_16k", "raw16384"));
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
