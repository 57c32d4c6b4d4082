// Internal to the frame codec: the bounded writer and reader of one frame's
// bytes, shared by the encoders (frame_encode.cpp) and the decoders
// (frame.cpp). Nothing outside platform/net includes this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/frame.h"
#include "rtl/strings.h"
#include "rtl/variant.h"

namespace net::detail {

// Decoded values expand in memory (a one-byte empty value becomes a whole
// Variant), so the number of values in one frame is bounded too.
inline constexpr size_t kMaxValuesPerFrame = 1u << 20;
// Method and remote object names.
inline constexpr size_t kMaxNameLength = 255;

// Throws EProtocolError for a frame that breaks the protocol, saying why.
[[noreturn]] void Fail(const std::string& why);
std::string Num(uint64_t n);
std::string Hex(uint8_t b);

// `text` with every byte that is not part of valid UTF-8 replaced by '?'.
std::string ReplaceBadUtf8(std::string_view text);

// Appends one frame to a buffer; on any failure the buffer is put back as it
// was, so a refused frame never leaves half a frame behind.
class Writer {
 public:
  Writer(std::vector<uint8_t>& out, FrameType type, uint32_t max_frame_size)
      : out_(out), start_(out.size()), max_(max_frame_size) {
    out_.resize(start_ + kFrameHeaderSize);
    U8(static_cast<uint8_t>(type));
  }
  ~Writer() {
    if (!done_) out_.resize(start_);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void Finish() {
    const size_t length = out_.size() - start_ - kFrameHeaderSize;
    PutU32At(start_, static_cast<uint32_t>(length));
    done_ = true;
  }

  void U8(uint8_t v) { Room(1)[0] = v; }
  void U16(uint16_t v) {
    uint8_t* p = Room(2);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  void U32(uint32_t v) {
    const size_t at = out_.size();
    Room(4);
    PutU32At(at, v);
  }
  void I64(int64_t value) {
    const auto v = static_cast<uint64_t>(value);
    uint8_t* p = Room(8);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void Raw(const uint8_t* data, size_t n) {
    if (n == 0) return;
    std::memcpy(Room(n), data, n);
  }
  void Text(std::string_view text) {
    if (!rtl::IsValidUtf8(text)) Fail("texto com UTF-8 inválido");
    Count(text.size());
    Raw(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  void Name(std::string_view name, const char* what) {
    if (name.empty() || name.size() > kMaxNameLength)
      Fail(std::string(what) + " vazio ou com mais de " + Num(kMaxNameLength) + " bytes");
    Text(name);
  }
  void Count(size_t n) {
    if (n > max_) Fail("tamanho " + Num(n) + " acima do limite de " + Num(max_) + " bytes");
    U32(static_cast<uint32_t>(n));
  }

  // One value with its type tag; `depth` counts the arrays around it.
  void Value(const rtl::Variant& v, int depth);

 private:
  uint8_t* Room(size_t n) {
    const size_t payload = out_.size() - start_ - kFrameHeaderSize;
    if (n > max_ || payload > max_ - n) Fail("quadro acima do limite de " + Num(max_) + " bytes");
    const size_t at = out_.size();
    out_.resize(at + n);
    return out_.data() + at;
  }
  void PutU32At(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }

  std::vector<uint8_t>& out_;
  const size_t start_;
  const uint32_t max_;
  size_t values_ = 0;
  bool done_ = false;
};

// Reads one payload; every length and count is checked against the bytes
// that remain before anything is allocated for it.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> payload) : data_(payload) {}

  void Type(FrameType expected) {
    if (U8() != static_cast<uint8_t>(expected)) Fail("tipo de quadro inesperado");
  }
  void End() const {
    if (pos_ != data_.size()) Fail(Num(data_.size() - pos_) + " bytes a mais no fim do quadro");
  }

  uint8_t U8() { return *Take(1); }
  uint16_t U16() {
    const uint8_t* p = Take(2);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  uint32_t U32() {
    const uint8_t* p = Take(4);
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  }
  int64_t I64() {
    const uint8_t* p = Take(8);
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t{p[i]} << (8 * i);
    return static_cast<int64_t>(v);
  }
  bool Flag(const char* what) {
    const uint8_t b = U8();
    if (b > 1) Fail(std::string(what) + " com valor " + Num(b) + " (esperado 0 ou 1)");
    return b == 1;
  }
  std::string Text() {
    const uint32_t n = Length(1);
    const char* p = reinterpret_cast<const char*>(Take(n));
    std::string_view text(p, n);
    if (!rtl::IsValidUtf8(text)) Fail("texto com UTF-8 inválido");
    return std::string(text);
  }
  std::string Name(const char* what) {
    std::string name = Text();
    if (name.empty() || name.size() > kMaxNameLength)
      Fail(std::string(what) + " vazio ou com mais de " + Num(kMaxNameLength) + " bytes");
    return name;
  }
  // A count of items of at least `min_item_size` bytes each, checked against
  // what remains.
  uint32_t Length(size_t min_item_size) {
    const uint32_t n = U32();
    if (static_cast<uint64_t>(n) * min_item_size > Remaining())
      Fail("contagem " + Num(n) + " maior que os " + Num(Remaining()) + " bytes restantes");
    return n;
  }

  // One value by its type tag; `depth` counts the arrays around it.
  rtl::Variant Value(int depth);

 private:
  size_t Remaining() const { return data_.size() - pos_; }
  const uint8_t* Take(size_t n) {
    if (n > Remaining()) Fail("quadro truncado (faltam " + Num(n - Remaining()) + " bytes)");
    const uint8_t* p = data_.data() + pos_;
    pos_ += n;
    return p;
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  size_t values_ = 0;
};

}  // namespace net::detail
