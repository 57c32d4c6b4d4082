// The server's limits: the memory budget shared by frames in progress, and
// the idle time-out of handshaken connections.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "test_server.h"

namespace net::testing {
namespace {

using rtl::Variant;

// Resident memory of this process, in bytes.
size_t ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  size_t kib = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> kib;
      return kib * 1024;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

// Samples the resident memory until destroyed and keeps the highest value.
class PeakResident {
 public:
  PeakResident()
      : thread_([this] {
          while (!stop_) {
            const size_t now = ResidentBytes();
            if (now > peak_) peak_ = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
        }) {}
  ~PeakResident() { Stop(); }
  size_t Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return peak_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<size_t> peak_{0};
  std::thread thread_;
};

Frame Next(RawClient& raw) {
  const auto frame = raw.ReadFrame();
  if (frame.empty()) throw std::runtime_error("the server closed the connection");
  return DecodeFrame(frame);
}

// What the server may hold beyond its budget under this test: the read
// buffers of 64 connections (64 KiB each), thread stacks, allocator slack.
constexpr size_t kAllowanceBeyondBudget = size_t{12} << 20;

// AddressSanitizer keeps freed memory in quarantine and allocates its own
// way, so resident memory says nothing about the server there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMemoryMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentMemoryMeaningful = false;
#else
constexpr bool kResidentMemoryMeaningful = true;
#endif
#else
constexpr bool kResidentMemoryMeaningful = true;
#endif

TEST(ServerLimits, FramesBeyondTheMemoryBudgetAreRefusedAndEveryConnectionGoesOn) {
  constexpr int kClients = 64;
  constexpr uint32_t kFrameLimit = 4u << 20;
  constexpr size_t kBudget = size_t{16} << 20;  // two frames at the limit (each counts twice)
  Probe probe;
  ServerOptions o = Options(probe);
  o.max_frame_size = kFrameLimit;
  o.max_memory = kBudget;
  o.max_connections = kClients;
  o.frame_timeout_ms = 20000;
  Server server(std::move(o));
  server.Start();

  // One call frame at the per-frame limit, sent by every client.
  std::vector<uint8_t> big;
  std::vector<Arg> args{Arg(Variant::ByteArray(std::vector<uint8_t>(kFrameLimit - 64, 5)))};
  EncodeCall(big, 1, "Count", args, kFrameLimit);
  ASSERT_GT(big.size(), kFrameLimit - 64);
  const std::vector<uint8_t> first_half(big.begin(), big.begin() + big.size() / 2);
  const std::vector<uint8_t> second_half(big.begin() + big.size() / 2, big.end());
  std::vector<uint8_t>().swap(big);
  args.clear();

  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<RawClient>(server.Port()));
    clients.back()->Send(Hello());
    ASSERT_TRUE(std::holds_alternative<AcceptFrame>(Next(*clients.back())));
  }
  const size_t before = ResidentBytes();
  PeakResident peak;
  // Every frame held open half-way, then finished.
  for (auto& c : clients) c->Send(first_half);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (auto& c : clients) c->Send(second_half);
  int answered = 0, refused = 0;
  for (auto& c : clients) {
    Frame f = Next(*c);
    if (auto* a = std::get_if<AnswerFrame>(&f)) {
      EXPECT_EQ(a->call_id, 1u);
      ++answered;
    } else {
      const auto& failure = std::get<FailureFrame>(f);
      EXPECT_EQ(failure.call_id, 1u);  // the caller's call, not the connection, failed
      EXPECT_NE(failure.text.find("limite de 16 MiB"), std::string::npos) << failure.text;
      ++refused;
    }
  }
  const size_t highest = peak.Stop();
  EXPECT_EQ(answered, 2);
  EXPECT_EQ(refused, kClients - 2);
  if (kResidentMemoryMeaningful) {
    EXPECT_LE(highest - std::min(highest, before), kBudget + kAllowanceBeyondBudget)
        << "peak resident growth " << (highest - before) / 1024 << " KiB";
  }

  // Every connection goes on, and the budget is free again.
  for (auto& c : clients) {
    std::vector<uint8_t> small;
    EncodeCall(small, 2, "ServerId", {});
    c->Send(small);
    EXPECT_TRUE(std::holds_alternative<AnswerFrame>(Next(*c)));
  }
  std::vector<uint8_t> again(first_half);
  again.insert(again.end(), second_half.begin(), second_half.end());
  clients[5]->Send(again);
  EXPECT_TRUE(std::holds_alternative<AnswerFrame>(Next(*clients[5])));
  EXPECT_EQ(server.ConnectionCount(), kClients);
}

TEST(ServerLimits, IdleConnectionsAreClosedAndTheClientReconnectsOnItsNextCall) {
  Probe probe;
  ServerOptions o = Options(probe);
  o.idle_timeout_ms = 200;
  Server server(std::move(o));
  server.Start();
  TSocketConnection conn(nullptr);
  Aim(conn, server.Port());
  int disconnects = 0;
  conn.AfterDisconnect = [&](rtl::TObject*) { ++disconnects; };

  // Calls closer together than the time-out keep the connection.
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(conn.AppServer().Call("Count"), Variant(i));
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
  }
  for (int i = 0; i < 200 && server.ConnectionCount() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(server.ConnectionCount(), 0);
  // The next call goes out on a new connection (a new remote object) and
  // succeeds; the owner heard of the lost link.
  EXPECT_EQ(conn.AppServer().Call("Count"), Variant(1));
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(probe.objects, 2);
}

}  // namespace
}  // namespace net::testing
