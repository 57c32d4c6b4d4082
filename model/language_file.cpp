#include "model/language_file.h"

#include <map>

#include "rtl/strings.h"

namespace qmx00600 {

namespace {

std::string_view KeyOf(std::string_view line) {
  return line.substr(0, line.find('|'));
}

// Undoes the file's escapes; false for a backslash before anything else.
bool Unescape(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

bool IsFillableText(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 1 == text.size()) return false;
    const char c = text[++i];
    if (c != 's' && c != 'S' && c != '%') return false;
  }
  return true;
}

int PlaceholderCount(std::string_view text) {
  int n = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (text[i + 1] == 's' || text[i + 1] == 'S') ++n;
    ++i;  // "%%" and "%s" are both two characters
  }
  return n;
}

LanguageFile ParseLanguageFile(std::string_view content, const std::vector<std::string>& lines) {
  std::map<std::string, std::string, std::less<>> catalogue;
  for (const std::string& l : lines) catalogue.emplace(KeyOf(l), l.substr(l.find('|') + 1));

  LanguageFile file;
  std::map<std::string, size_t, std::less<>> index;  // key -> position in entries
  int number = 0;
  size_t pos = 0;
  while (pos <= content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    auto reject = [&](std::string reason) { file.rejected.push_back({number, std::move(reason)}); };
    const size_t bar = line.find('|');
    if (bar == std::string_view::npos || bar == 0) {
      reject("linha sem chave");
      continue;
    }
    const std::string_view key = line.substr(0, bar);
    auto original = catalogue.find(key);
    if (original == catalogue.end()) {
      reject("chave desconhecida: " + std::string(key));
      continue;
    }
    std::string text;
    if (!rtl::IsValidUtf8(line) || !Unescape(line.substr(bar + 1), text)) {
      reject("texto inválido para a chave " + std::string(key));
      continue;
    }
    if (text.empty()) {
      reject("texto vazio para a chave " + std::string(key));
      continue;
    }
    if (!IsFillableText(text) || PlaceholderCount(text) != PlaceholderCount(original->second)) {
      reject("número de parâmetros diferente do original na chave " + std::string(key));
      continue;
    }
    auto [it, inserted] = index.emplace(std::string(key), file.entries.size());
    if (inserted)
      file.entries.push_back({std::string(key), std::move(text)});
    else
      file.entries[it->second].text = std::move(text);
  }
  return file;
}

std::vector<std::string> ApplyLanguage(const std::vector<std::string>& lines,
                                       const std::vector<LanguageEntry>& entries) {
  std::map<std::string_view, std::string_view> replace;
  for (const LanguageEntry& e : entries) replace[e.key] = e.text;
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (const std::string& l : lines) {
    auto it = replace.find(KeyOf(l));
    out.push_back(it == replace.end() ? l : std::string(it->first) + "|" + std::string(it->second));
  }
  return out;
}

}  // namespace qmx00600
