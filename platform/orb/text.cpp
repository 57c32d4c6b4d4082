#include "orb/text.h"

#include <algorithm>

#include "rtl/strings.h"

namespace orb {

bool EmptyString(std::string_view text) {
  return rtl::Trim(text).empty();
}

std::string AllTrim(std::string_view text) {
  return rtl::Trim(text);
}

std::string Ajusta(std::string_view text, int width) {
  std::string code = rtl::Trim(text);
  const bool digits = !code.empty() && std::all_of(code.begin(), code.end(),
                                                   [](char c) { return c >= '0' && c <= '9'; });
  if (digits && width > 0 && code.size() < static_cast<size_t>(width))
    code.insert(0, static_cast<size_t>(width) - code.size(), '0');
  return code;
}

std::string Replace(std::string_view find, std::string_view text, std::string_view replacement,
                    TReplaceFlags flags) {
  if (find.empty()) return std::string(text);
  // AnsiUpperCase keeps every character's byte length (ASCII and the Latin-1
  // letters map onto letters of the same encoded length), so positions found
  // in the upper-cased copy are positions in the text.
  const bool ignore_case = (flags & rfIgnoreCase) != 0;
  const std::string haystack = ignore_case ? rtl::AnsiUpperCase(text) : std::string(text);
  const std::string needle = ignore_case ? rtl::AnsiUpperCase(find) : std::string(find);
  std::string result;
  size_t from = 0;
  while (from <= haystack.size()) {
    const size_t at = haystack.find(needle, from);
    if (at == std::string::npos) break;
    result.append(text.substr(from, at - from));
    result.append(replacement);
    from = at + needle.size();
    if (flags & rfFirstOnly) break;
  }
  result.append(text.substr(std::min(from, text.size())));
  return result;
}

}  // namespace orb
