// Feeds arbitrary bytes to the frame decoder: it must either decode them or
// refuse them with EProtocolError, and whatever it decodes must encode back
// to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>
#include <vector>

#include "net/frame.h"

namespace {

// Re-encodes a decoded frame; only frames whose encoding is canonical reach
// here, so the bytes must match what was decoded.
std::vector<uint8_t> Encode(const net::Frame& frame) {
  std::vector<uint8_t> out;
  if (const auto* f = std::get_if<net::HelloFrame>(&frame)) {
    if (f->magic != net::kProtocolMagic) return {};
    if (f->version < net::kProtocolVersion1 || f->version > net::kProtocolVersion) return {};
    net::EncodeHello(out, *f);
  } else if (const auto* f = std::get_if<net::AcceptFrame>(&frame)) {
    net::EncodeAccept(out, f->version, f->account, f->role);
  } else if (const auto* f = std::get_if<net::RefuseFrame>(&frame)) {
    net::EncodeRefuse(out, f->text);
  } else if (const auto* f = std::get_if<net::CallFrame>(&frame)) {
    std::vector<rtl::Variant> values = f->args;
    std::vector<net::Arg> args;
    for (size_t i = 0; i < values.size(); ++i)
      args.push_back(f->by_ref[i] ? net::Arg::Ref(values[i]) : net::Arg(values[i]));
    net::EncodeCall(out, f->call_id, f->method, args);
  } else if (const auto* f = std::get_if<net::AnswerFrame>(&frame)) {
    net::EncodeAnswer(out, f->call_id, f->result, f->ref_values,
                      std::vector<bool>(f->ref_values.size(), true));
  } else if (const auto* f = std::get_if<net::FailureFrame>(&frame)) {
    net::EncodeFailure(out, f->call_id, f->text);
  } else if (const auto* f = std::get_if<net::NoticeFrame>(&frame)) {
    net::EncodeNotice(out, *f);
  } else if (const auto* f = std::get_if<net::SubscribeFrame>(&frame)) {
    net::EncodeSubscribe(out, f->on);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  try {
    const net::Frame frame = net::DecodeFrame(bytes);
    const std::vector<uint8_t> again = Encode(frame);
    if (!again.empty() && !std::equal(again.begin(), again.end(), bytes.begin(), bytes.end()))
      std::abort();
  } catch (const net::EProtocolError&) {
  }
  // The payload path the server takes, with the prefix skipped.
  if (size > net::kFrameHeaderSize) {
    try {
      (void)net::DecodePayload(bytes.subspan(net::kFrameHeaderSize));
    } catch (const net::EProtocolError&) {
    }
    (void)net::PeekCallId(bytes.subspan(net::kFrameHeaderSize));
  }
  return 0;
}
