#include "long_list_text.h"

#include <QStringList>
#include <vector>

namespace host {

namespace {

// Where one code of a list stands in the text, its quotes included.
struct Span {
  qsizetype begin;
  qsizetype end;
};

bool IsCodeChar(QChar c) {
  return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// The end of the code that begins at `i` (an optional quote, code characters,
// an optional quote), or -1 when none begins there.
qsizetype CodeEnd(const QString& t, qsizetype i) {
  qsizetype j = i;
  if (j < t.size() && t[j] == u'"') ++j;
  const qsizetype first = j;
  while (j < t.size() && IsCodeChar(t[j])) ++j;
  if (j == first) return -1;
  if (j < t.size() && t[j] == u'"') ++j;
  return j;
}

// The end of what separates two codes at `i` (a comma and blanks, or the
// word "e" between blanks), or -1 when no separator is there.
qsizetype SeparatorEnd(const QString& t, qsizetype i) {
  auto blanks = [&t](qsizetype j) {
    while (j < t.size() && t[j] == u' ') ++j;
    return j;
  };
  if (i < t.size() && t[i] == u',') return blanks(i + 1);
  const qsizetype word = blanks(i);
  if (word == i || word + 1 >= t.size() || t[word] != u'e' || t[word + 1] != u' ') return -1;
  return blanks(word + 1);
}

// The codes of the longest list in `t`, in one pass: each list is read to its
// end from its first code, and the scan goes on after it.
std::vector<Span> LongestList(const QString& t) {
  std::vector<Span> best;
  qsizetype i = 0;
  while (i < t.size()) {
    const qsizetype end = (i > 0 && IsCodeChar(t[i - 1])) ? -1 : CodeEnd(t, i);
    if (end < 0) {
      ++i;
      continue;
    }
    std::vector<Span> list{{i, end}};
    for (;;) {
      const qsizetype next = SeparatorEnd(t, list.back().end);
      const qsizetype next_end = next < 0 ? -1 : CodeEnd(t, next);
      if (next_end < 0) break;
      list.push_back({next, next_end});
    }
    i = list.back().end;
    if (list.size() > best.size()) best = std::move(list);
  }
  return best;
}

}  // namespace

ShortenedText ShortenLongList(const QString& text) {
  const std::vector<Span> list = LongestList(text);
  if (list.size() <= static_cast<size_t>(kListedCodesKept)) return {text, {}};

  const Span first = list.front();
  const Span last_shown = list[kListedCodesShown - 1];
  const Span last = list.back();
  QString shown = text.mid(first.begin, last_shown.end - first.begin);
  // One pair of quotes around the whole list keeps its closing quote.
  if (text[first.begin] == u'"' && text[last.end - 1] == u'"' && !shown.endsWith(u'"'))
    shown += u'"';
  const qsizetype hidden = static_cast<qsizetype>(list.size()) - kListedCodesShown;
  shown += QStringLiteral(" … e mais %1 tabelas").arg(hidden);

  QStringList codes;
  for (const Span& s : list) codes << text.mid(s.begin, s.end - s.begin).remove(u'"');
  return {text.left(first.begin) + shown + text.mid(last.end), codes.join(u'\n')};
}

}  // namespace host
