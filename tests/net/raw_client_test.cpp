// The server against clients that misbehave on the wire, while a well-behaved
// client keeps working beside them.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>

#include "test_server.h"

namespace net::testing {
namespace {

using rtl::Variant;

std::vector<uint8_t> Call(uint32_t id, std::string_view method, std::vector<Arg> args = {}) {
  std::vector<uint8_t> out;
  EncodeCall(out, id, method, args);
  return out;
}

// A frame whose length prefix matches the payload given.
std::vector<uint8_t> Framed(std::vector<uint8_t> payload) {
  const auto n = static_cast<uint32_t>(payload.size());
  payload.insert(payload.begin(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                                   static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)});
  return payload;
}

Frame Decoded(const std::vector<uint8_t>& frame) {
  EXPECT_FALSE(frame.empty()) << "the server closed instead of answering";
  return DecodeFrame(frame);
}

class RawClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ServerOptions o = Options(probe_);
    o.frame_timeout_ms = 300;
    o.on_event = [this](std::string_view e) {
      std::lock_guard lock(mutex_);
      events_.emplace_back(e);
    };
    server_ = StartServer(std::move(o));
    Aim(good_, server_->Port());
    ASSERT_EQ(good_.AppServer().Call("Count"), Variant(1));
  }
  // The well-behaved client still has its connection and its object.
  void ExpectGoodClientUndisturbed() {
    EXPECT_EQ(good_.AppServer().Call("Count"), Variant(++good_calls_));
    EXPECT_TRUE(good_.Connected());
  }
  // A raw client past the handshake.
  std::unique_ptr<RawClient> Accepted() {
    auto raw = std::make_unique<RawClient>(server_->Port());
    EXPECT_TRUE(std::holds_alternative<AcceptFrame>(Decoded(raw->Handshake())));
    return raw;
  }
  std::string RefusalOf(const std::vector<uint8_t>& first_bytes) {
    RawClient raw(server_->Port());
    raw.Send(first_bytes);
    const auto frame = raw.ReadFrame();
    EXPECT_TRUE(raw.SeesClose());
    if (frame.empty()) return "(fechada sem resposta)";
    return std::get<RefuseFrame>(DecodeFrame(frame)).text;
  }
  bool EventSeen(std::string_view part) {
    std::lock_guard lock(mutex_);
    for (const auto& e : events_)
      if (e.find(part) != std::string::npos) return true;
    return false;
  }

  // Before the server: its threads tell events until it has stopped.
  std::mutex mutex_;
  std::vector<std::string> events_;
  Probe probe_;
  std::unique_ptr<Server> server_;
  TSocketConnection good_{nullptr};
  int good_calls_ = 1;
};

TEST_F(RawClientTest, BadHandshakesAreRefusedWithAReason) {
  auto bad_magic = Hello();
  bad_magic[5] = 'X';
  EXPECT_EQ(RefusalOf(bad_magic), "o cliente não fala este protocolo");

  auto bad_version = Hello();
  bad_version[9] = 9;
  EXPECT_EQ(RefusalOf(bad_version),
            "versão de protocolo 9 não suportada (o servidor usa as versões 1 a 4)");

  EXPECT_EQ(RefusalOf(Call(1, "Count")), "o primeiro quadro de uma conexão deve ser o handshake");
  EXPECT_EQ(RefusalOf(Hello("Outro.Objeto")), "objeto remoto desconhecido: Outro.Objeto");

  auto truncated_name = Hello();
  truncated_name[11] = 200;  // name length beyond the payload
  EXPECT_NE(RefusalOf(truncated_name).find("Quadro inválido do protocolo"), std::string::npos);

  EXPECT_EQ(probe_.objects, 1);  // only the good client's
  ExpectGoodClientUndisturbed();
}

TEST_F(RawClientTest, NonProtocolTrafficIsClosed) {
  // "GET " read as a length is far above the limit.
  RawClient http(server_->Port());
  http.Send({'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P', '/', '1', '.', '1', '\r', '\n'});
  EXPECT_TRUE(http.SeesClose());
  ExpectGoodClientUndisturbed();
}

TEST_F(RawClientTest, MalformedCallWithIntactBoundaryIsAnsweredAndTheConnectionKept) {
  auto raw = Accepted();
  auto bad_tag = Call(5, "Echo", {Arg(1)});
  bad_tag[bad_tag.size() - 9] = 0x42;  // the value tag, before the 8 bytes of the integer
  raw->Send(bad_tag);
  FailureFrame failure = std::get<FailureFrame>(Decoded(raw->ReadFrame()));
  EXPECT_EQ(failure.call_id, 5u);
  EXPECT_EQ(failure.text, "Quadro inválido do protocolo: marca de tipo de valor desconhecida 0x42");

  raw->Send(Framed({0x10, 1, 2}));  // too short to hold its id
  EXPECT_EQ(std::get<FailureFrame>(Decoded(raw->ReadFrame())).call_id, 0u);

  raw->Send(Framed({0x7e, 1, 2, 3}));  // unknown frame type
  EXPECT_TRUE(std::holds_alternative<FailureFrame>(Decoded(raw->ReadFrame())));

  raw->Send(Hello());  // a second handshake
  EXPECT_TRUE(std::holds_alternative<FailureFrame>(Decoded(raw->ReadFrame())));

  raw->Send(Call(6, "Count"));  // the same connection, the same object
  AnswerFrame answer = std::get<AnswerFrame>(Decoded(raw->ReadFrame()));
  EXPECT_EQ(answer.call_id, 6u);
  EXPECT_EQ(answer.result, Variant(1));
  ExpectGoodClientUndisturbed();
}

TEST_F(RawClientTest, BrokenBoundaryClosesThatConnectionOnly) {
  auto oversized = Accepted();
  oversized->Send({0xff, 0xff, 0xff, 0x7f, 0x10});
  const auto said = oversized->ReadFrame();  // the reason, when it arrives before the close
  if (!said.empty()) {
    EXPECT_NE(std::get<FailureFrame>(DecodeFrame(said)).text.find("acima do limite"),
              std::string::npos);
  }
  EXPECT_TRUE(oversized->SeesClose());

  auto zero = Accepted();
  zero->Send({0, 0, 0, 0});
  zero->ReadFrame();
  EXPECT_TRUE(zero->SeesClose());

  // Half a frame, then silence: closed after the frame time-out.
  auto stalled = Accepted();
  auto call = Call(1, "Count");
  call.resize(call.size() - 2);
  stalled->Send(call);
  const auto reason = stalled->ReadFrame();  // a failure with id 0: the client must close
  ASSERT_FALSE(reason.empty());
  EXPECT_EQ(std::get<FailureFrame>(DecodeFrame(reason)).call_id, 0u);
  EXPECT_TRUE(stalled->SeesClose());
  EXPECT_TRUE(EventSeen("quadro incompleto"));

  ExpectGoodClientUndisturbed();
}

TEST_F(RawClientTest, CallIdZeroAndOversizedHandshakesAreTurnedAway) {
  // Id 0 belongs to failures that close the connection; a call under it is
  // answered that way and not run.
  auto zero_id = Accepted();
  zero_id->Send(Call(0, "Count"));
  const auto failure = std::get<FailureFrame>(Decoded(zero_id->ReadFrame()));
  EXPECT_EQ(failure.call_id, 0u);
  EXPECT_NE(failure.text.find("identificador 0"), std::string::npos);
  EXPECT_TRUE(zero_id->SeesClose());
  EXPECT_EQ(probe_.objects, 2);  // the good client's and this one's; nothing ran on it

  // A first frame far longer than any handshake is refused before it is read.
  EXPECT_NE(RefusalOf({0x00, 0x00, 0x00, 0x01, 0x01}).find("acima do limite"), std::string::npos);
  ExpectGoodClientUndisturbed();
}

TEST_F(RawClientTest, ClientVanishingMidCallDisturbsNoOne) {
  {
    auto raw = Accepted();
    raw->Send(Call(1, "Sleep", {Arg(200)}));
    while (probe_.sleeping == 0) std::this_thread::yield();
  }                               // closed while the server works on the call
  ExpectGoodClientUndisturbed();  // served meanwhile, by its own thread
  while (probe_.slept == 0) std::this_thread::yield();
  for (int i = 0; i < 200 && server_->ConnectionCount() > 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(server_->ConnectionCount(), 1);
  ExpectGoodClientUndisturbed();
}

TEST_F(RawClientTest, ClientVanishingMidFrameDisturbsNoOne) {
  {
    auto raw = Accepted();
    auto call = Call(1, "Echo", {Arg(Variant::ByteArray(std::vector<uint8_t>(100000)))});
    call.resize(50000);
    raw->Send(call);
  }
  ExpectGoodClientUndisturbed();
  for (int i = 0; i < 200 && server_->ConnectionCount() > 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(server_->ConnectionCount(), 1);
}

}  // namespace
}  // namespace net::testing
