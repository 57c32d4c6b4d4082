// The decoders of the frames: each reads one payload through a Reader, which
// checks every length against what remains, and refuses trailing bytes.
#include "net/frame.h"
#include "net/frame_buffers.h"

namespace net {

using detail::Fail;
using detail::Hex;
using detail::Num;
using detail::Reader;

namespace {

// A payload of `type` whose body `read_body` reads into a new F; nothing may
// follow the body.
template <typename F, typename Body>
F ReadFrame(std::span<const uint8_t> payload, FrameType type, Body read_body) {
  Reader r(payload);
  r.Type(type);
  F f;
  read_body(r, f);
  r.End();
  return f;
}

}  // namespace

uint32_t DecodeFrameLength(std::span<const uint8_t, kFrameHeaderSize> prefix,
                           uint32_t max_frame_size) {
  const uint32_t n = uint32_t{prefix[0]} | (uint32_t{prefix[1]} << 8) |
                     (uint32_t{prefix[2]} << 16) | (uint32_t{prefix[3]} << 24);
  if (n == 0) Fail("quadro vazio");
  if (n > max_frame_size)
    Fail("tamanho " + Num(n) + " acima do limite de " + Num(max_frame_size) + " bytes");
  return n;
}

FrameType PeekFrameType(std::span<const uint8_t> payload) {
  if (payload.empty()) Fail("quadro vazio");
  const uint8_t t = payload[0];
  switch (static_cast<FrameType>(t)) {
    case FrameType::kHello:
    case FrameType::kAccept:
    case FrameType::kRefuse:
    case FrameType::kCall:
    case FrameType::kAnswer:
    case FrameType::kFailure:
    case FrameType::kNotice:
    case FrameType::kSubscribe:
      return static_cast<FrameType>(t);
  }
  Fail("tipo de quadro desconhecido " + Hex(t));
}

HelloFrame DecodeHello(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kHello);
  HelloFrame f;
  for (auto& b : f.magic) b = r.U8();
  f.version = r.U16();
  // What follows the version is that version's; of an unknown one only the
  // version is read, so the refusal can name it.
  if (f.version < kProtocolVersion1 || f.version > kProtocolVersion) return f;
  f.object_name = r.Name("nome do objeto remoto");
  if (f.version >= kProtocolVersion2) {
    f.token = r.Text();
    f.user_name = r.Text();
    if (f.token.size() > kMaxTokenLength) Fail("chave de acesso longa demais");
    if (f.user_name.size() > kMaxUserNameLength) Fail("nome de usuário longo demais");
  }
  if (f.version >= kProtocolVersion3) {
    f.password = r.Text();
    if (f.password.size() > kMaxPasswordLength) Fail("senha longa demais");
  }
  r.End();
  return f;
}

AcceptFrame DecodeAccept(std::span<const uint8_t> payload) {
  return ReadFrame<AcceptFrame>(payload, FrameType::kAccept, [](Reader& r, AcceptFrame& f) {
    f.version = r.U16();
    if (f.version >= kProtocolVersion3) {
      f.account = r.Text();
      f.role = r.Text();
    }
  });
}

RefuseFrame DecodeRefuse(std::span<const uint8_t> payload) {
  return ReadFrame<RefuseFrame>(payload, FrameType::kRefuse,
                                [](Reader& r, RefuseFrame& f) { f.text = r.Text(); });
}

CallFrame DecodeCall(std::span<const uint8_t> payload) {
  return ReadFrame<CallFrame>(payload, FrameType::kCall, [](Reader& r, CallFrame& f) {
    f.call_id = r.U32();
    f.method = r.Name("nome do método");
    const uint32_t argc = r.Length(2);  // a flag and a tag at least
    f.args.reserve(argc);
    f.by_ref.reserve(argc);
    for (uint32_t i = 0; i < argc; ++i) {
      f.by_ref.push_back(r.Flag("indicador de argumento por referência"));
      f.args.push_back(r.Value(0));
    }
  });
}

AnswerFrame DecodeAnswer(std::span<const uint8_t> payload) {
  return ReadFrame<AnswerFrame>(payload, FrameType::kAnswer, [](Reader& r, AnswerFrame& f) {
    f.call_id = r.U32();
    f.result = r.Value(0);
    const uint32_t n = r.Length(1);
    f.ref_values.reserve(n);
    for (uint32_t i = 0; i < n; ++i) f.ref_values.push_back(r.Value(0));
  });
}

FailureFrame DecodeFailure(std::span<const uint8_t> payload) {
  return ReadFrame<FailureFrame>(payload, FrameType::kFailure, [](Reader& r, FailureFrame& f) {
    f.call_id = r.U32();
    f.text = r.Text();
  });
}

Frame DecodePayload(std::span<const uint8_t> payload) {
  switch (PeekFrameType(payload)) {
    case FrameType::kHello:
      return DecodeHello(payload);
    case FrameType::kAccept:
      return DecodeAccept(payload);
    case FrameType::kRefuse:
      return DecodeRefuse(payload);
    case FrameType::kCall:
      return DecodeCall(payload);
    case FrameType::kAnswer:
      return DecodeAnswer(payload);
    case FrameType::kFailure:
      return DecodeFailure(payload);
    case FrameType::kNotice:
      return DecodeNotice(payload);
    case FrameType::kSubscribe:
      return DecodeSubscribe(payload);
  }
  Fail("tipo de quadro desconhecido");
}

Frame DecodeFrame(std::span<const uint8_t> bytes, uint32_t max_frame_size) {
  if (bytes.size() < kFrameHeaderSize) Fail("quadro truncado no prefixo de tamanho");
  const uint32_t n = DecodeFrameLength(bytes.first<kFrameHeaderSize>(), max_frame_size);
  const auto payload = bytes.subspan(kFrameHeaderSize);
  if (payload.size() < n) Fail("quadro truncado (faltam " + Num(n - payload.size()) + " bytes)");
  if (payload.size() > n) Fail(Num(payload.size() - n) + " bytes a mais depois do quadro");
  return DecodePayload(payload);
}

uint32_t PeekCallId(std::span<const uint8_t> payload) {
  if (payload.size() < 5 || payload[0] != static_cast<uint8_t>(FrameType::kCall)) return 0;
  return uint32_t{payload[1]} | (uint32_t{payload[2]} << 8) | (uint32_t{payload[3]} << 16) |
         (uint32_t{payload[4]} << 24);
}

}  // namespace net
