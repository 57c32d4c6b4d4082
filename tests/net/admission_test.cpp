// Admission: silent sockets from one address cannot keep another address out,
// a handshake has a short time-out, and wrong credentials back off per
// address with one log line each.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_server.h"

namespace net::testing {
namespace {

using rtl::Variant;
using Clock = std::chrono::steady_clock;
constexpr const char* kToken = "chave-de-teste-7f3a";

// `count` sockets from `source` that connect and never send a byte; each is
// opened again as soon as the server closes it, until destroyed.
class SilentFlood {
 public:
  SilentFlood(uint16_t port, const char* source, int count)
      : port_(port), source_(source), fds_(count, -1) {
    for (int& fd : fds_) fd = Connect();
    thread_ = std::thread([this] { Run(); });
  }
  ~SilentFlood() {
    stop_ = true;
    thread_.join();
    for (int fd : fds_)
      if (fd >= 0) close(fd);
  }
  int Reopened() const { return reopened_; }

 private:
  int Connect() const {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    RawClient::BindSource(fd, source_);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port_);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);  // completes in the background
    return fd;
  }
  void Run() {
    std::vector<pollfd> polled(fds_.size());
    while (!stop_) {
      for (size_t i = 0; i < fds_.size(); ++i) polled[i] = {fds_[i], POLLIN, 0};
      if (poll(polled.data(), polled.size(), 20) <= 0) continue;
      for (size_t i = 0; i < fds_.size(); ++i) {
        if (!polled[i].revents) continue;
        close(fds_[i]);  // closed or refused by the server: straight back
        fds_[i] = Connect();
        ++reopened_;
      }
    }
  }
  const uint16_t port_;
  const char* const source_;
  std::vector<int> fds_;
  std::atomic<bool> stop_{false};
  std::atomic<int> reopened_{0};
  std::thread thread_;
};

// Median of `calls` Echo calls on an open connection, in microseconds.
double MedianCallUs(TSocketConnection& c, int calls) {
  std::vector<double> us;
  for (int i = 0; i < calls; ++i) {
    const auto start = Clock::now();
    c.AppServer().Call("Echo", {Arg(i)});
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::nth_element(us.begin(), us.begin() + us.size() / 2, us.end());
  return us[us.size() / 2];
}

// The events a server tells, kept for a test to look at.
struct EventLog {
  std::mutex mutex;
  std::vector<std::string> lines;
  void Attach(ServerOptions& o) {
    o.on_event = [this](std::string_view e) {
      std::lock_guard lock(mutex);
      lines.emplace_back(e);
    };
  }
  int Count(std::string_view part) {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.find(part) != std::string::npos;
    }));
  }
};

// 64 silent sockets from 127.0.0.2 while a client from 127.0.0.1 logs in 100
// times; prints the logins and the call latency under the flood against idle.
void LoginsDuringAFlood(bool secure) {
  Probe probe;
  ServerOptions o = Options(probe);  // the default limits and time-outs
  if (secure) o.security = ServerTls(kToken);
  auto server = StartServer(std::move(o));
  const ClientSecurity who = secure ? ClientTls(kToken, "ana") : ClientSecurity{"", "", "ana"};
  auto steady = Client(server->Port(), who);
  const double idle_us = MedianCallUs(*steady, 200);

  int logged_in = 0, reopened = 0;
  double flood_us = 0;
  {
    SilentFlood flood(server->Port(), "127.0.0.2", 64);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < 100; ++i) {
      auto c = Client(server->Port(), who);
      c->SetConnectTimeoutMs(2000);
      try {
        if (c->AppServer().Call("Echo", {Arg(i)}) == Variant(i)) ++logged_in;
      } catch (const ECallError&) {
      }
    }
    flood_us = MedianCallUs(*steady, 200);
    reopened = flood.Reopened();
  }
  std::printf(
      "[ medida  ] %s: logins durante a inundação: %d de 100; sockets reabertos: %d; "
      "mediana de uma chamada: %.0f us ociosa, %.0f us na inundação (%.1fx)\n",
      secure ? "TLS com chave" : "loopback", logged_in, reopened, idle_us, flood_us,
      flood_us / idle_us);
  EXPECT_GE(logged_in, 95);
  EXPECT_GT(reopened, 0);  // the flood did run against the limits
}

TEST(Admission, SilentSocketsFromOneAddressDoNotKeepAnotherOut) {
  LoginsDuringAFlood(false);
}

TEST(Admission, SilentSocketsDoNotKeepAnotherOutOfASecureServer) {
  LoginsDuringAFlood(true);
}

TEST(Admission, AConnectionSilentPastTheHandshakeTimeOutIsClosed) {
  Probe probe;
  ServerOptions o = Options(probe);
  o.handshake_timeout_ms = 200;
  auto server = StartServer(std::move(o));
  RawClient silent(server->Port());
  EXPECT_TRUE(silent.SeesClose());
  EXPECT_EQ(probe.objects, 0);
}

TEST(Admission, HandshakesOverAnAddressShareAreClosedAtOnceAndSummarised) {
  Probe probe;
  ServerOptions o = Options(probe);
  o.max_handshakes_per_address = 2;
  EventLog log;
  log.Attach(o);
  auto server = StartServer(std::move(o));
  RawClient first(server->Port(), "127.0.0.3"), second(server->Port(), "127.0.0.3");
  RawClient third(server->Port(), "127.0.0.3");
  EXPECT_TRUE(third.SeesClose());
  // Another address is not held to that address's share.
  auto c = Client(server->Port(), {"", "", "ana"});
  EXPECT_EQ(c->AppServer().Call("Echo", {Arg(1)}), Variant(1));
  EXPECT_EQ(log.Count("Conexão aceita de 127.0.0.1:"), 1);
  for (int i = 0; i < 40 && log.Count("127.0.0.3: 1 conexões fechadas") == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(log.Count("127.0.0.3: 1 conexões fechadas sem resposta"), 1);
}

TEST(Admission, WrongTokensLockTheAddressForDoublingTimesWithOneLineEach) {
  Probe probe;
  ServerOptions o = Options(probe);
  o.security = ServerTls(kToken);
  // Locks long enough that a slow TLS handshake on a loaded machine does not
  // outlast them; only lateness past a lock's end could fail a check.
  o.login_backoff_first_ms = 800;
  o.login_backoff_max_ms = 1600;
  EventLog log;
  log.Attach(o);
  auto server = StartServer(std::move(o));
  auto open = [&](const std::string& token) {
    return OpenFailure(*Client(server->Port(), ClientTls(token, "eva\n2026 forjada")));
  };

  EXPECT_NE(open("errada-1").find("chave de acesso inválida"), std::string::npos);
  // Locked: even the right token is turned away, without a word on it.
  EXPECT_NE(open(kToken).find("acesso bloqueado"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(850));
  EXPECT_NE(open("errada-2").find("chave de acesso inválida"), std::string::npos);
  // The second failure doubled the lock: still locked past the first's length.
  std::this_thread::sleep_for(std::chrono::milliseconds(850));
  EXPECT_NE(open(kToken).find("acesso bloqueado"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(open(kToken), "(aberta)");
  // After a success the next failure starts from the first length again.
  EXPECT_NE(open("errada-3").find("chave de acesso inválida"), std::string::npos);
  EXPECT_NE(log.Count("espera 1 s"), 0);

  EXPECT_EQ(log.Count("Acesso recusado de 127.0.0.1:"), 3);  // one per credential checked
  // The name as sent: the log escapes it (server_cli), not the event.
  EXPECT_EQ(log.Count("usuário \"eva\n2026 forjada\" (não verificado): chave de acesso inválida"),
            3);
  // Refusals while locked are not a line each: the first is told at once,
  // the rest in one line per address every few seconds.
  for (int i = 0; i < 20; ++i) EXPECT_NE(open(kToken).find("acesso bloqueado"), std::string::npos);
  EXPECT_EQ(log.Count("acesso bloqueado"), 0);
  EXPECT_EQ(log.Count("127.0.0.1: 1 tentativas de acesso recusadas durante o bloqueio"), 1);
  EXPECT_EQ(log.Count("tentativas de acesso recusadas"), 1);
}

}  // namespace
}  // namespace net::testing
