// Language files: translations of the message catalogue kept beside the
// module, read when the module is loaded.
//
// A language file is UTF-8 text, one entry a line, "key|text" as in the
// catalogue. In the text, "\r", "\n" and "\\" stand for a carriage return, a
// line feed and a backslash (the catalogue's texts hold line breaks). Empty
// lines and lines beginning with '#' are skipped. An entry replaces the
// catalogue's text of the same key; it is refused, and the catalogue's text
// kept, when its key is not in the catalogue, when its text is not UTF-8 or
// would be empty, when it holds a '%' that does not begin "%s", "%S" or
// "%%", or when it does not hold the same number of %s/%S placeholders as the
// text it replaces (so every message can still be filled
// with its arguments). A key given twice keeps the later text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qmx00600 {

struct LanguageEntry {
  std::string key;
  std::string text;
};

struct RejectedLine {
  int line = 0;  // 1-based
  std::string reason;
};

struct LanguageFile {
  std::vector<LanguageEntry> entries;
  std::vector<RejectedLine> rejected;
};

// Files above this size are not read at all.
inline constexpr size_t kMaxLanguageFileBytes = 1 << 20;

// Parses `content` against the catalogue `lines` ("key|text").
LanguageFile ParseLanguageFile(std::string_view content, const std::vector<std::string>& lines);

// `lines` with the entries' texts in place of their keys' texts.
std::vector<std::string> ApplyLanguage(const std::vector<std::string>& lines,
                                       const std::vector<LanguageEntry>& entries);

// True when every '%' of the text starts "%s", "%S" or "%%", the only marks
// the runtime's Format fills.
bool IsFillableText(std::string_view text);

// Number of %s / %S placeholders of a text ("%%" is not one).
int PlaceholderCount(std::string_view text);

}  // namespace qmx00600
