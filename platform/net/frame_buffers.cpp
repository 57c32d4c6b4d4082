#include "net/frame_buffers.h"

#include <algorithm>

namespace net::detail {

[[noreturn]] void Fail(const std::string& why) {
  throw EProtocolError("Quadro inválido do protocolo: " + why);
}

std::string Num(uint64_t n) {
  return std::to_string(n);
}

std::string Hex(uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[b >> 4] + kDigits[b & 15];
}

std::string ReplaceBadUtf8(std::string_view text) {
  if (rtl::IsValidUtf8(text)) return std::string(text);
  std::string clean;
  clean.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + n <= text.size() && rtl::IsValidUtf8(text.substr(i, n))) {
      clean.append(text.substr(i, n));
      i += n;
    } else {
      clean += '?';
      ++i;
    }
  }
  return clean;
}

void Writer::Value(const rtl::Variant& v, int depth) {
  if (++values_ > kMaxValuesPerFrame)
    Fail("mais de " + Num(kMaxValuesPerFrame) + " valores num só quadro");
  switch (v.Type()) {
    case rtl::varEmpty:
      U8(static_cast<uint8_t>(ValueTag::kEmpty));
      return;
    case rtl::varNull:
      U8(static_cast<uint8_t>(ValueTag::kNull));
      return;
    case rtl::varBoolean:
      U8(static_cast<uint8_t>(ValueTag::kBoolean));
      U8(v.AsBoolean() ? 1 : 0);
      return;
    case rtl::varInteger:
      U8(static_cast<uint8_t>(ValueTag::kInteger));
      I64(v.AsInteger());
      return;
    case rtl::varOleStr:
      U8(static_cast<uint8_t>(ValueTag::kString));
      Text(v.AsString());
      return;
    case rtl::varByte:
      U8(static_cast<uint8_t>(ValueTag::kByte));
      U8(static_cast<uint8_t>(v.AsInteger()));
      return;
    case rtl::varArray | rtl::varByte: {
      const auto& bytes = v.Bytes();
      U8(static_cast<uint8_t>(ValueTag::kByteArray));
      Count(bytes.size());
      Raw(bytes.data(), bytes.size());
      return;
    }
    case rtl::varArray | rtl::varVariant: {
      if (depth >= kMaxNestingDepth)
        Fail("matrizes aninhadas em mais de " + Num(kMaxNestingDepth) + " níveis");
      const auto& items = v.Items();
      U8(static_cast<uint8_t>(ValueTag::kArray));
      Count(items.size());
      for (const auto& item : items) Value(item, depth + 1);
      return;
    }
    default:
      Fail("variante de tipo " + Num(v.Type()) + " não pode ser transmitida");
  }
}

rtl::Variant Reader::Value(int depth) {
  if (++values_ > kMaxValuesPerFrame)
    Fail("mais de " + Num(kMaxValuesPerFrame) + " valores num só quadro");
  const uint8_t tag = U8();
  switch (static_cast<ValueTag>(tag)) {
    case ValueTag::kEmpty:
      return rtl::Variant();
    case ValueTag::kNull:
      return rtl::Variant::Null();
    case ValueTag::kBoolean:
      return rtl::Variant(Flag("booleano"));
    case ValueTag::kInteger:
      return rtl::Variant(I64());
    case ValueTag::kString:
      return rtl::Variant(Text());
    case ValueTag::kByte:
      return rtl::Variant::Byte(U8());
    case ValueTag::kByteArray: {
      const uint32_t n = Length(1);
      const uint8_t* p = Take(n);
      return rtl::Variant::ByteArray(std::vector<uint8_t>(p, p + n));
    }
    case ValueTag::kArray: {
      if (depth >= kMaxNestingDepth)
        Fail("matrizes aninhadas em mais de " + Num(kMaxNestingDepth) + " níveis");
      const uint32_t n = Length(1);
      std::vector<rtl::Variant> items;
      items.reserve(std::min<size_t>(n, kMaxValuesPerFrame - values_ + 1));
      for (uint32_t i = 0; i < n; ++i) items.push_back(Value(depth + 1));
      return rtl::Variant::Array(std::move(items));
    }
  }
  Fail("marca de tipo de valor desconhecida " + Hex(tag));
}

}  // namespace net::detail
