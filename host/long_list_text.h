// A message that names a long list of tables, made readable.
//
// The screen fills its questions with whole lists of table codes, which in a
// large warehouse run to hundreds. The box then shows the first codes of the
// list where the list stood, followed by a count of the others ("… e mais 138
// tabelas"), and its details hold the whole list, one code a line, to scroll
// through and copy. Only the showing changes: the text the screen asked with,
// the buttons and the answer stay as they are.
#pragma once

#include <QString>

namespace host {

struct ShortenedText {
  QString text;     // what the box shows
  QString details;  // the whole list, one code a line; empty when nothing was shortened
};

// Codes a list may show before the rest is counted, and the length a list
// must exceed to be shortened at all.
inline constexpr int kListedCodesShown = 12;
inline constexpr int kListedCodesKept = 15;

// `text` with its longest list of codes ("A, B, C", "\"A\", \"B\" e \"C\"",
// one pair of quotes around the whole list or a pair around each code)
// shortened when it names more than kListedCodesKept codes; otherwise `text`
// as it stands.
ShortenedText ShortenLongList(const QString& text);

}  // namespace host
