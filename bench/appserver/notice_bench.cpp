// Notices across three qmx-server processes on one PostgreSQL database:
// - latency from a save on one server to its notice on a desk of another
//   server, median and 99th percentile, against the round trip of the save
//   itself and of a bare call (one that does nothing) on the same link;
// - 32 subscribed desks spread over the three servers and a burst of 1,000
//   saves on one of them: notices each desk received against the changes
//   committed, and each server's peak memory against its memory when idle.
// Needs QMX_BENCH_PG, else QMX_TEST_PG (a libpq connection string), and the
// qmx-server program (QMX_SERVER_BINARY, set by the build).
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "appserver/database/database.h"
#include "appserver/rules/rdm_estrutura.h"
#include "db/packet.h"
#include "net/socket_connection.h"
#include "support/measure.h"
#include "support/server_process.h"

namespace {

using bench::Clock;
using bench::Micros;

constexpr int kServers = 3;
constexpr int kDesks = 32;
constexpr int kRounds = 300;
constexpr int kBurst = 1000;

std::unique_ptr<net::TSocketConnection> Desk(uint16_t port, bool notices) {
  auto c = std::make_unique<net::TSocketConnection>(nullptr);
  c->SetServerName(std::string(appserver::RdmEstrutura::kObjectName));
  c->SetPort(port);
  c->SetNotices(notices);
  c->Open();
  // Answered once the server has read the wish for notices.
  c->AppServer().Call("InformarEdicao", {"", "", ""});
  return c;
}

// Renames VL_VENDA of FATO_VENDAS from `from` to `to`.
rtl::Variant RenamePacket(const std::string& from, const std::string& to) {
  db::Packet delta;
  delta.kind = db::PacketKind::kDelta;
  delta.fields = {{"CDTABELADW", 30, false}, {"CDITEMDW", 30, false}, {"NMITEMDW", 30, false}};
  delta.rows.push_back({db::RowStatus::kModified,
                        {"FATO_VENDAS", "VL_VENDA", to},
                        {"FATO_VENDAS", "VL_VENDA", from}});
  return db::PacketToVariant(delta);
}

// Makes one save; the names alternate so that every save changes the row.
class Renamer {
 public:
  explicit Renamer(net::TSocketConnection& c) : c_(c) {}
  void Save() {
    const std::string next = "Valor " + std::to_string(++n_);
    const rtl::Variant r =
        c_.AppServer().Call("SetFatos", {RenamePacket(name_, next), "FATO_VENDAS"});
    if (!r.IsEmpty()) throw std::runtime_error("save refused");
    name_ = next;
  }

 private:
  net::TSocketConnection& c_;
  std::string name_ = "Valor vendido";
  int n_ = 0;
};

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

// A value of /proc/PID/status in KiB ("VmRSS", "VmHWM").
long StatusKiB(pid_t pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + ":", 0) == 0) return std::atol(line.c_str() + key.size() + 1);
  return 0;
}

// How many change notices `desk` was told, reading until `expected` or the
// time-out.
int CountNotices(net::TSocketConnection& desk, int expected, std::atomic<bool>& done,
                 int& reloads) {
  int changes = 0;
  auto quiet_since = Clock::now();
  while (changes < expected) {
    bool any = false;
    for (const net::NoticeFrame& n : desk.TakeNotices()) {
      any = true;
      (n.kind == net::NoticeKind::kReloadAll ? reloads : changes) += 1;
    }
    if (any) quiet_since = Clock::now();
    if (done && Clock::now() - quiet_since > std::chrono::seconds(3)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return changes;
}

}  // namespace

int main() {
  const char* pg = std::getenv("QMX_BENCH_PG");
  if (!pg || !*pg) pg = std::getenv("QMX_TEST_PG");
  if (!pg || !*pg) {
    std::printf("PostgreSQL: QMX_BENCH_PG (ou QMX_TEST_PG) não definido; nada a medir.\n");
    return 0;
  }
  const std::string conninfo = pg;
  const std::string schema = "qmx_notice_" + std::to_string(getpid());
  appserver::PrepareDatabase({conninfo, schema}, appserver::DemoSeeding::kRequested);
  char home[] = "/tmp/qmx-notice-bench-XXXXXX";
  if (!mkdtemp(home)) return 1;
  {
    std::vector<std::unique_ptr<appserver::testing::ServerProcess>> servers;
    std::vector<uint16_t> ports;
    for (int i = 0; i < kServers; ++i) {
      servers.push_back(std::make_unique<appserver::testing::ServerProcess>(
          QMX_SERVER_BINARY,
          std::vector<std::string>{"--db", conninfo, "--schema", schema, "--listen", "127.0.0.1:0"},
          home));
      ports.push_back(servers.back()->Port());
      if (ports.back() == 0) {
        std::printf("qmx-server did not start\n");
        return 1;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // listeners connected

    // Latency: a save through server 0, its notice on a desk of server 1.
    auto writer = Desk(ports[0], false);
    auto far = Desk(ports[1], true);
    Renamer renamer(*writer);
    std::vector<double> notice_us, save_us, bare_us, after_us;
    for (int i = 0; i < kRounds + 20; ++i) {
      const auto t0 = Clock::now();
      writer->AppServer().Call("InformarEdicao", {"", "", ""});
      const auto t1 = Clock::now();
      renamer.Save();
      const auto t2 = Clock::now();
      for (;;) {
        if (!far->TakeNotices().empty()) break;
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
      const auto t3 = Clock::now();
      if (i < 20) continue;  // warm-up
      bare_us.push_back(Micros(t1 - t0));
      save_us.push_back(Micros(t2 - t1));
      notice_us.push_back(Micros(t3 - t1));
      after_us.push_back(Micros(t3 - t2));
    }
    far.reset();
    const double bare = bench::Median(bare_us);
    std::printf("Latency over %d saves (µs): save on server 1 -> notice on a desk of server 2:\n",
                kRounds);
    std::printf("  notice   median %8.0f  p99 %8.0f  (%.1fx / %.1fx a bare call's median)\n",
                bench::Median(notice_us), Percentile(notice_us, 0.99),
                bench::Median(notice_us) / bare, Percentile(notice_us, 0.99) / bare);
    std::printf("  the save median %8.0f  p99 %8.0f\n", bench::Median(save_us),
                Percentile(save_us, 0.99));
    std::printf("  bare call median %7.0f  p99 %8.0f\n", bare, Percentile(bare_us, 0.99));
    std::printf("  the notice after the save's answer: median %.0f, p99 %.0f\n",
                bench::Median(after_us), Percentile(after_us, 0.99));

    // The burst: 32 desks over the three servers, 1,000 saves on server 0.
    std::vector<std::unique_ptr<net::TSocketConnection>> desks;
    for (int i = 0; i < kDesks; ++i) desks.push_back(Desk(ports[i % kServers], true));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<long> idle_kib;
    for (auto& s : servers) {
      idle_kib.push_back(StatusKiB(s->Pid(), "VmRSS"));
      // The peak from here on: the high-water mark starts again at what is
      // resident now.
      std::ofstream(("/proc/" + std::to_string(s->Pid()) + "/clear_refs").c_str()) << "5";
    }
    std::atomic<bool> done{false};
    std::vector<int> received(kDesks), reloads(kDesks);
    std::vector<std::thread> readers;
    for (int i = 0; i < kDesks; ++i)
      readers.emplace_back(
          [&, i] { received[i] = CountNotices(*desks[i], kBurst, done, reloads[i]); });
    const auto b0 = Clock::now();
    for (int i = 0; i < kBurst; ++i) renamer.Save();
    const double burst_s = std::chrono::duration<double>(Clock::now() - b0).count();
    done = true;
    for (auto& t : readers) t.join();
    int all = 0, least = kBurst, reloaded = 0;
    for (int i = 0; i < kDesks; ++i) {
      all += received[i] == kBurst ? 1 : 0;
      least = std::min(least, received[i]);
      reloaded += reloads[i];
    }
    std::printf("\nBurst: %d saves in %.2f s on server 1, %d subscribed desks over %d servers:\n",
                kBurst, burst_s, kDesks, kServers);
    std::printf(
        "  desks told every change: %d of %d; fewest notices on a desk %d of %d; "
        "reload notices %d\n",
        all, kDesks, least, kBurst, reloaded);
    for (int i = 0; i < kServers; ++i) {
      const long peak = StatusKiB(servers[i]->Pid(), "VmHWM");
      std::printf("  server %d: idle %ld KiB, peak %ld KiB (%.2fx)\n", i + 1, idle_kib[i], peak,
                  idle_kib[i] > 0 ? static_cast<double>(peak) / idle_kib[i] : 0);
    }
  }
  PGconn* c = PQconnectdb(conninfo.c_str());
  PQclear(PQexec(
      c,
      ("SET client_min_messages = warning; DROP SCHEMA IF EXISTS " + schema + " CASCADE").c_str()));
  PQfinish(c);
  std::filesystem::remove_all(home);
  return 0;
}
