#include "rtl/strings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace rtl {

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpCase(c);
  return out;
}

std::string AnsiUpperCase(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 32);
    } else if (c == 0xC3 && i + 1 < out.size()) {
      // U+00E0..U+00FE (except U+00F7, the division sign) map 0x20 down.
      unsigned char d = static_cast<unsigned char>(out[i + 1]);
      if (d >= 0xA0 && d <= 0xBE && d != 0xB7) out[i + 1] = static_cast<char>(d - 0x20);
      ++i;
    }
  }
  return out;
}

char UpCase(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

static bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string TrimLeft(std::string_view text) {
  size_t b = 0;
  while (b < text.size() && IsBlank(text[b])) ++b;
  return std::string(text.substr(b));
}

std::string TrimRight(std::string_view text) {
  size_t e = text.size();
  while (e > 0 && IsBlank(text[e - 1])) --e;
  return std::string(text.substr(0, e));
}

std::string Trim(std::string_view text) {
  return TrimLeft(TrimRight(text));
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string RemoveBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != ' ') out.push_back(c);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AnsiUpperCase(a) == AnsiUpperCase(b);
}

namespace {

// The code point at p (well-formed UTF-8), its length in `size`; -1 when the
// bytes there are not a well-formed character.
int32_t DecodeAt(const unsigned char* p, const unsigned char* end, int& size) {
  const unsigned char c = *p;
  int extra;
  uint32_t cp;
  if (c < 0x80) {
    size = 1;
    return c;
  }
  if ((c & 0xE0) == 0xC0) {
    extra = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return -1;
  }
  if (end - p <= extra) return -1;
  for (int k = 1; k <= extra; ++k) {
    if ((p[k] & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  size = extra + 1;
  return static_cast<int32_t>(cp);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    // Fast path: eight ASCII bytes at a time.
    if (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        p += 8;
        continue;
      }
    }
    int size = 1;
    if (DecodeAt(p, end, size) < 0) return false;
    p += size;
  }
  return true;
}

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace rtl

namespace rtl {

namespace {

// Characters that act on the screen rather than show: controls, the line and
// paragraph separators, and the bidirectional embeddings, overrides and
// isolates that can make a text read as another.
bool ActsOnScreen(int32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 ||
         (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E ||
         cp == 0x200F || cp == 0x061C;
}

}  // namespace

std::string EscapeControls(std::string_view text, Backslashes backslashes) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  std::string out;
  out.reserve(text.size());
  char buf[12];
  while (p < end) {
    int size = 1;
    const int32_t cp = DecodeAt(p, end, size);
    if (cp < 0) {
      std::snprintf(buf, sizeof buf, "\\x%02X", unsigned{*p});
      out += buf;
    } else if (cp == '\\') {
      out += backslashes == Backslashes::kDoubled ? "\\\\" : "\\";
    } else if (cp == '\n') {
      out += "\\n";
    } else if (cp == '\r') {
      out += "\\r";
    } else if (cp == '\t') {
      out += "\\t";
    } else if (ActsOnScreen(cp)) {
      std::snprintf(buf, sizeof buf, cp < 0x100 ? "\\x%02X" : "\\u%04X", unsigned(cp));
      out += buf;
    } else {
      out.append(reinterpret_cast<const char*>(p), size);
    }
    p += size;
  }
  return out;
}

}  // namespace rtl
