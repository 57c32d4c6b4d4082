#include "net/frame.h"

#include <gtest/gtest.h>

#include <limits>

namespace net {
namespace {

using rtl::Variant;

Variant Nested(int levels) {
  Variant v = Variant("fundo");
  for (int i = 0; i < levels; ++i) v = Variant::Array({v});
  return v;
}

Variant EveryKind() {
  return Variant::Array({
      Variant(),
      Variant::Null(),
      Variant(true),
      Variant(false),
      Variant(int64_t{0}),
      Variant(std::numeric_limits<int64_t>::min()),
      Variant(std::numeric_limits<int64_t>::max()),
      Variant(""),
      Variant("Dimensão ção — 日本語 🙂"),
      Variant::Byte(0),
      Variant::Byte(255),
      Variant::ByteArray({}),
      Variant::ByteArray({0, 1, 2, 255}),
      Variant::Array({}),
      Variant::Array({Variant::Array({Variant(1), Variant::ByteArray({9})}), Variant("x")}),
  });
}

std::span<const uint8_t> PayloadOf(const std::vector<uint8_t>& frame) {
  return std::span(frame).subspan(kFrameHeaderSize);
}

std::vector<uint8_t> ValidCall() {
  std::vector<uint8_t> out;
  Variant ref = EveryKind();
  std::vector<Arg> args{Arg("TAB01"), Arg::Ref(ref), Arg(true), Arg(Nested(5))};
  EncodeCall(out, 7, "GetDimeFatos", args);
  return out;
}

// A payload built by hand: frame type, then whatever bytes follow.
std::vector<uint8_t> Payload(FrameType type, std::vector<uint8_t> rest) {
  rest.insert(rest.begin(), static_cast<uint8_t>(type));
  return rest;
}
// An answer payload (call id 1) whose result is given as raw value bytes.
std::vector<uint8_t> AnswerWithResult(std::vector<uint8_t> value) {
  std::vector<uint8_t> p = {1, 0, 0, 0};
  p.insert(p.end(), value.begin(), value.end());
  p.insert(p.end(), {0, 0, 0, 0});
  return Payload(FrameType::kAnswer, p);
}

TEST(FrameTest, CallRoundTripKeepsEveryKindAndByRefFlags) {
  const auto frame = ValidCall();
  CallFrame call = std::get<CallFrame>(DecodeFrame(frame));
  EXPECT_EQ(call.call_id, 7u);
  EXPECT_EQ(call.method, "GetDimeFatos");
  ASSERT_EQ(call.args.size(), 4u);
  EXPECT_EQ(call.by_ref, (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(call.args[0], Variant("TAB01"));
  EXPECT_EQ(call.args[1], EveryKind());
  EXPECT_EQ(call.args[1][9].Type(), rtl::varByte);
  EXPECT_EQ(call.args[2], Variant(true));
  EXPECT_EQ(call.args[3], Nested(5));
}

TEST(FrameTest, AnswerSendsBackOnlyByRefArgumentsInOrder) {
  std::vector<uint8_t> out;
  std::vector<Variant> args{Variant("a"), Variant::ByteArray({1, 2}), Variant("c"),
                            Variant::Null()};
  EncodeAnswer(out, 9, EveryKind(), args, {false, true, false, true});
  AnswerFrame answer = DecodeAnswer(PayloadOf(out));
  EXPECT_EQ(answer.call_id, 9u);
  EXPECT_EQ(answer.result, EveryKind());
  EXPECT_EQ(answer.ref_values, (std::vector<Variant>{Variant::ByteArray({1, 2}), Variant::Null()}));
}

TEST(FrameTest, HandshakeAndFailureFramesRoundTrip) {
  std::vector<uint8_t> out;
  EncodeHello(out, "QMX00600.rdmEstrutura");
  HelloFrame hello = std::get<HelloFrame>(DecodeFrame(out));
  EXPECT_EQ(hello.magic, kProtocolMagic);
  EXPECT_EQ(hello.version, kProtocolVersion1);
  EXPECT_EQ(hello.object_name, "QMX00600.rdmEstrutura");

  // Version 2 adds the access token and the user name.
  HelloFrame v2;
  v2.version = kProtocolVersion;
  v2.object_name = "QMX00600.rdmEstrutura";
  v2.token = "chave secreta";
  v2.user_name = "joão";
  out.clear();
  EncodeHello(out, v2);
  hello = std::get<HelloFrame>(DecodeFrame(out));
  EXPECT_EQ(hello.version, kProtocolVersion);
  EXPECT_EQ(hello.token, "chave secreta");
  EXPECT_EQ(hello.user_name, "joão");
  // A version-2 Hello without its two texts, or with a token too long, is malformed.
  out.clear();
  EncodeHello(out, "QMX00600.rdmEstrutura");
  out[9] = 2;
  EXPECT_THROW(DecodeFrame(out), EProtocolError);
  v2.token.assign(kMaxTokenLength + 1, 'x');
  out.clear();
  EXPECT_THROW(EncodeHello(out, v2), EProtocolError);

  out.clear();
  EncodeAccept(out);
  EXPECT_EQ(std::get<AcceptFrame>(DecodeFrame(out)).version, kProtocolVersion);

  out.clear();
  EncodeRefuse(out, "Objeto remoto desconhecido");
  EXPECT_EQ(std::get<RefuseFrame>(DecodeFrame(out)).text, "Objeto remoto desconhecido");

  out.clear();
  EncodeFailure(out, 3, "Método desconhecido: \xff");  // a bad byte is replaced, not sent
  FailureFrame failure = std::get<FailureFrame>(DecodeFrame(out));
  EXPECT_EQ(failure.call_id, 3u);
  EXPECT_EQ(failure.text, "Método desconhecido: ?");
}

// The exchange shown byte by byte in docs/protocol.md.
TEST(FrameTest, DocumentedExchangeMatchesTheEncoder) {
  std::vector<uint8_t> out;
  EncodeHello(out, "QMX00600.rdmEstrutura");
  EncodeAccept(out, kProtocolVersion1);
  Variant code = "TAB01";
  std::vector<Arg> args{Arg::Ref(code), Arg(false)};
  EncodeCall(out, 1, "GetTabelas", args);
  std::vector<Variant> after{Variant("TAB01"), Variant(false)};
  EncodeAnswer(out, 1, Variant::ByteArray({1, 2, 3}), after, {true, false});
  const std::vector<uint8_t> documented = {
      0x20, 0x00, 0x00, 0x00, 0x01, 0x51, 0x4D, 0x58, 0x50, 0x01, 0x00, 0x15, 0x00, 0x00, 0x00,
      0x51, 0x4D, 0x58, 0x30, 0x30, 0x36, 0x30, 0x30, 0x2E, 0x72, 0x64, 0x6D, 0x45, 0x73, 0x74,
      0x72, 0x75, 0x74, 0x75, 0x72, 0x61,        // Hello
      0x03, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00,  // Accept
      0x25, 0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x47, 0x65,
      0x74, 0x54, 0x61, 0x62, 0x65, 0x6C, 0x61, 0x73, 0x02, 0x00, 0x00, 0x00, 0x01, 0x04, 0x05,
      0x00, 0x00, 0x00, 0x54, 0x41, 0x42, 0x30, 0x31, 0x00, 0x02, 0x00,  // Call
      0x1B, 0x00, 0x00, 0x00, 0x11, 0x01, 0x00, 0x00, 0x00, 0x07, 0x03, 0x00, 0x00, 0x00, 0x01,
      0x02, 0x03, 0x01, 0x00, 0x00, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x54, 0x41, 0x42, 0x30,
      0x31,  // Answer
  };
  EXPECT_EQ(out, documented);
}

TEST(FrameTest, SeveralFramesAppendToOneBuffer) {
  std::vector<uint8_t> out;
  EncodeAccept(out);
  const size_t first = out.size();
  EncodeFailure(out, 1, "x");
  EXPECT_NO_THROW(DecodeFrame(std::span(out).first(first)));
  EXPECT_NO_THROW(DecodeFrame(std::span(out).subspan(first)));
}

TEST(FrameTest, EveryTruncationIsRefused) {
  const auto frame = ValidCall();
  for (size_t n = 0; n < frame.size(); ++n)
    EXPECT_THROW(DecodeFrame(std::span(frame).first(n)), EProtocolError) << n;
  // The same with a length prefix that agrees with the shortened payload.
  const auto payload = PayloadOf(frame);
  for (size_t n = 0; n < payload.size(); ++n)
    EXPECT_THROW(DecodePayload(payload.first(n)), EProtocolError) << n;
}

TEST(FrameTest, TrailingBytesAreRefused) {
  auto frame = ValidCall();
  frame.push_back(0);
  EXPECT_THROW(DecodeFrame(frame), EProtocolError);
  std::vector<uint8_t> payload(frame.begin() + kFrameHeaderSize, frame.end());
  EXPECT_THROW(DecodeCall(payload), EProtocolError);
}

TEST(FrameTest, LengthPrefixOutsideLimitsIsRefused) {
  const uint8_t zero[4] = {0, 0, 0, 0};
  const uint8_t huge[4] = {0xff, 0xff, 0xff, 0xff};
  const uint8_t just_over[4] = {1, 0, 0, 4};  // 64 MiB + 1
  EXPECT_THROW(DecodeFrameLength(zero), EProtocolError);
  EXPECT_THROW(DecodeFrameLength(huge), EProtocolError);
  EXPECT_THROW(DecodeFrameLength(just_over), EProtocolError);
  const uint8_t exactly[4] = {0, 0, 0, 4};
  EXPECT_EQ(DecodeFrameLength(exactly), kDefaultMaxFrameSize);
  const uint8_t small[4] = {100, 0, 0, 0};
  EXPECT_THROW(DecodeFrameLength(small, 99), EProtocolError);
}

TEST(FrameTest, CountsBeyondTheRemainingBytesAreRefusedBeforeAllocating) {
  // Array, byte array and string each claiming 4 billion items.
  for (uint8_t tag : {0x04, 0x06, 0x07})
    EXPECT_THROW(DecodeAnswer(AnswerWithResult({tag, 0xff, 0xff, 0xff, 0xff})), EProtocolError);
  // A call claiming more arguments than its bytes could hold.
  EXPECT_THROW(DecodeCall(Payload(FrameType::kCall, {1, 0, 0, 0, 1, 0, 0, 0, 'M', 9, 0, 0, 0})),
               EProtocolError);
}

TEST(FrameTest, UnknownTagsAndFlagsAreRefused) {
  EXPECT_THROW(DecodeAnswer(AnswerWithResult({0x08})), EProtocolError);
  EXPECT_THROW(DecodeAnswer(AnswerWithResult({0xff})), EProtocolError);
  EXPECT_THROW(DecodeAnswer(AnswerWithResult({0x02, 2})), EProtocolError);  // boolean 2
  EXPECT_NO_THROW(DecodeAnswer(AnswerWithResult({0x02, 1})));
  EXPECT_THROW(DecodePayload(Payload(static_cast<FrameType>(0x7f), {})), EProtocolError);
  // By-reference flag 2.
  EXPECT_THROW(
      DecodeCall(Payload(FrameType::kCall, {1, 0, 0, 0, 1, 0, 0, 0, 'M', 1, 0, 0, 0, 2, 0})),
      EProtocolError);
  EXPECT_THROW(DecodeCall(Payload(FrameType::kAnswer, {})), EProtocolError);  // wrong type
}

TEST(FrameTest, NestingIsBoundedOnBothSides) {
  std::vector<uint8_t> out;
  EXPECT_NO_THROW(EncodeAnswer(out, 1, Nested(kMaxNestingDepth), {}, {}));
  EXPECT_EQ(std::get<AnswerFrame>(DecodeFrame(out)).result, Nested(kMaxNestingDepth));

  out.clear();
  EXPECT_THROW(EncodeAnswer(out, 1, Nested(kMaxNestingDepth + 1), {}, {}), EProtocolError);
  EXPECT_TRUE(out.empty());

  // Hand-built: 10000 arrays of one element, far past the limit.
  std::vector<uint8_t> deep;
  for (int i = 0; i < 10000; ++i) deep.insert(deep.end(), {0x06, 1, 0, 0, 0});
  deep.push_back(0x00);
  EXPECT_THROW(DecodeAnswer(AnswerWithResult(deep)), EProtocolError);
}

TEST(FrameTest, InvalidUtf8IsRefused) {
  for (std::vector<uint8_t> bad : {std::vector<uint8_t>{0xc3},
                                   {0xc0, 0xaf},
                                   {0xed, 0xa0, 0x80},
                                   {0xf5, 0x80, 0x80, 0x80},
                                   {'a', 0xff}}) {
    std::vector<uint8_t> value = {0x04, static_cast<uint8_t>(bad.size()), 0, 0, 0};
    value.insert(value.end(), bad.begin(), bad.end());
    EXPECT_THROW(DecodeAnswer(AnswerWithResult(value)), EProtocolError);
  }
  std::vector<uint8_t> out = {42};
  std::vector<Arg> args{Arg("ok"), Arg(std::string("\xc3("))};
  EXPECT_THROW(EncodeCall(out, 1, "M", args), EProtocolError);
  EXPECT_EQ(out, std::vector<uint8_t>{42});  // nothing left behind
  EXPECT_THROW(EncodeHello(out, "\xff"), EProtocolError);
}

TEST(FrameTest, NamesMustBeNonEmptyAndShort) {
  std::vector<uint8_t> out;
  EXPECT_THROW(EncodeCall(out, 1, "", {}), EProtocolError);
  EXPECT_THROW(EncodeCall(out, 1, std::string(256, 'm'), {}), EProtocolError);
  EXPECT_THROW(DecodeCall(Payload(FrameType::kCall, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
               EProtocolError);
}

TEST(FrameTest, FramesOverTheSizeLimitAreNotEncoded) {
  std::vector<uint8_t> out;
  std::vector<Arg> args{Arg(Variant::ByteArray(std::vector<uint8_t>(2000)))};
  EXPECT_THROW(EncodeCall(out, 1, "SetFatos", args, 1000), EProtocolError);
  EXPECT_TRUE(out.empty());
  EXPECT_NO_THROW(EncodeCall(out, 1, "SetFatos", args, 3000));
  EXPECT_THROW(DecodeFrame(out, 1000), EProtocolError);
}

TEST(FrameTest, ValueCountPerFrameIsBounded) {
  // Two million empty values cost two bytes of input each but a whole
  // variant each once decoded.
  const uint32_t n = 2'000'000;
  std::vector<uint8_t> value = {0x06, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                                static_cast<uint8_t>(n >> 16), 0};
  value.resize(value.size() + n, 0x00);
  EXPECT_THROW(DecodeAnswer(AnswerWithResult(value)), EProtocolError);
}

TEST(FrameTest, PeekCallIdReadsTheIdOfABrokenCall) {
  const auto frame = ValidCall();
  auto payload = std::vector<uint8_t>(frame.begin() + kFrameHeaderSize, frame.begin() + 12);
  EXPECT_EQ(PeekCallId(payload), 7u);
  EXPECT_EQ(PeekCallId(Payload(FrameType::kHello, {1, 2, 3, 4})), 0u);
}

TEST(FrameTest, ErrorsAreInPortuguese) {
  try {
    DecodeAnswer(AnswerWithResult({0x09}));
    FAIL();
  } catch (const EProtocolError& e) {
    EXPECT_EQ(e.Message(),
              "Quadro inválido do protocolo: marca de tipo de valor desconhecida 0x09");
  }
}

}  // namespace
}  // namespace net
