// The encoders of the frames: each writes one whole frame through a Writer,
// which puts the buffer back as it was when the frame is refused.
#include "net/frame.h"
#include "net/frame_buffers.h"

namespace net {

using detail::Fail;
using detail::Num;
using detail::ReplaceBadUtf8;
using detail::Writer;

void EncodeHello(std::vector<uint8_t>& out, std::string_view object_name, uint32_t max_frame_size) {
  HelloFrame hello;
  hello.version = kProtocolVersion1;
  hello.object_name = std::string(object_name);
  EncodeHello(out, hello, max_frame_size);
}

void EncodeHello(std::vector<uint8_t>& out, const HelloFrame& hello, uint32_t max_frame_size) {
  if (hello.version < kProtocolVersion1 || hello.version > kProtocolVersion)
    Fail("versão de protocolo " + Num(hello.version) + " desconhecida");
  Writer w(out, FrameType::kHello, max_frame_size);
  w.Raw(kProtocolMagic.data(), kProtocolMagic.size());
  w.U16(hello.version);
  w.Name(hello.object_name, "nome do objeto remoto");
  if (hello.version >= kProtocolVersion2) {
    if (hello.token.size() > kMaxTokenLength) Fail("chave de acesso longa demais");
    if (hello.user_name.size() > kMaxUserNameLength) Fail("nome de usuário longo demais");
    w.Text(hello.token);
    w.Text(hello.user_name);
  }
  if (hello.version >= kProtocolVersion3) {
    if (hello.password.size() > kMaxPasswordLength) Fail("senha longa demais");
    w.Text(hello.password);
  }
  w.Finish();
}

void EncodeAccept(std::vector<uint8_t>& out, uint16_t version, std::string_view account,
                  std::string_view role) {
  Writer w(out, FrameType::kAccept, kDefaultMaxFrameSize);
  w.U16(version);
  if (version >= kProtocolVersion3) {
    w.Text(account);
    w.Text(role);
  }
  w.Finish();
}

void EncodeRefuse(std::vector<uint8_t>& out, std::string_view text) {
  Writer w(out, FrameType::kRefuse, kDefaultMaxFrameSize);
  w.Text(ReplaceBadUtf8(text));
  w.Finish();
}

void EncodeCall(std::vector<uint8_t>& out, uint32_t call_id, std::string_view method,
                std::span<const Arg> args, uint32_t max_frame_size) {
  Writer w(out, FrameType::kCall, max_frame_size);
  w.U32(call_id);
  w.Name(method, "nome do método");
  w.Count(args.size());
  for (const Arg& arg : args) {
    w.U8(arg.ByRef() ? 1 : 0);
    w.Value(arg.Value(), 0);
  }
  w.Finish();
}

void EncodeAnswer(std::vector<uint8_t>& out, uint32_t call_id, const rtl::Variant& result,
                  std::span<const rtl::Variant> args, const std::vector<bool>& by_ref,
                  uint32_t max_frame_size) {
  Writer w(out, FrameType::kAnswer, max_frame_size);
  w.U32(call_id);
  w.Value(result, 0);
  size_t refs = 0;
  for (size_t i = 0; i < args.size() && i < by_ref.size(); ++i) refs += by_ref[i] ? 1 : 0;
  w.Count(refs);
  for (size_t i = 0; i < args.size() && i < by_ref.size(); ++i)
    if (by_ref[i]) w.Value(args[i], 0);
  w.Finish();
}

void EncodeFailure(std::vector<uint8_t>& out, uint32_t call_id, std::string_view text) {
  Writer w(out, FrameType::kFailure, kDefaultMaxFrameSize);
  w.U32(call_id);
  w.Text(ReplaceBadUtf8(text));
  w.Finish();
}

}  // namespace net
