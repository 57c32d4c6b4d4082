#include "appserver/storage/json_text.h"

#include <cstdint>

namespace appserver {
namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// A reader over one JSON text; every method returns false on malformed input.
class Reader {
 public:
  explicit Reader(std::string_view text) : t_(text) {}

  void SkipBlanks() {
    while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t' || t_[p_] == '\n' || t_[p_] == '\r'))
      ++p_;
  }
  bool Take(char c) {
    SkipBlanks();
    if (p_ < t_.size() && t_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    SkipBlanks();
    return p_ == t_.size();
  }

  bool String(std::string& out) {
    if (!Take('"')) return false;
    out.clear();
    while (p_ < t_.size()) {
      char c = t_[p_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (p_ >= t_.size()) return false;
      char e = t_[p_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00) {
            uint32_t low = 0;
            if (!Take('\\') || !TakeRaw('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
              return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

 private:
  bool TakeRaw(char c) {
    if (p_ < t_.size() && t_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  bool Hex4(uint32_t& cp) {
    if (t_.size() - p_ < 4) return false;
    cp = 0;
    for (int i = 0; i < 4; ++i) {
      char h = t_[p_++];
      cp <<= 4;
      if (h >= '0' && h <= '9')
        cp |= static_cast<uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f')
        cp |= static_cast<uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        cp |= static_cast<uint32_t>(h - 'A' + 10);
      else
        return false;
    }
    return true;
  }

  std::string_view t_;
  size_t p_ = 0;
};

}  // namespace

// The history writes a few per change: no temporaries.
void AppendJsonString(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (u < 0x20) {
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string JsonString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  AppendJsonString(out, text);
  return out;
}

std::optional<JsonFields> ParseJsonObject(std::string_view text) {
  Reader r(text);
  JsonFields out;
  if (!r.Take('{')) return std::nullopt;
  if (!r.Take('}')) {
    do {
      std::string name, value;
      if (!r.String(name) || !r.Take(':') || !r.String(value)) return std::nullopt;
      out.emplace_back(std::move(name), std::move(value));
    } while (r.Take(','));
    if (!r.Take('}')) return std::nullopt;
  }
  if (!r.AtEnd()) return std::nullopt;
  return out;
}

std::optional<std::vector<std::string>> ParseJsonArray(std::string_view text) {
  Reader r(text);
  std::vector<std::string> out;
  if (!r.Take('[')) return std::nullopt;
  if (!r.Take(']')) {
    do {
      std::string value;
      if (!r.String(value)) return std::nullopt;
      out.push_back(std::move(value));
    } while (r.Take(','));
    if (!r.Take(']')) return std::nullopt;
  }
  if (!r.AtEnd()) return std::nullopt;
  return out;
}

std::string JsonArray(const std::vector<std::string>& items) {
  size_t size = 2;
  for (const std::string& item : items) size += item.size() + 3;
  std::string out;
  out.reserve(size);
  out += '[';
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    AppendJsonString(out, items[i]);
  }
  out += ']';
  return out;
}

std::string JsonObject(const JsonFields& fields) {
  std::string out = "{";
  for (size_t i = 0; i < fields.size(); ++i)
    out += (i ? "," : "") + JsonString(fields[i].first) + ":" + JsonString(fields[i].second);
  return out + "}";
}

}  // namespace appserver
