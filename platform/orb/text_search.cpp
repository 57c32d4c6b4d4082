#include "orb/text_search.h"

#include "db/client_dataset.h"
#include "rtl/strings.h"

namespace orb {
namespace {

// Plain upper-case letter of U+00C0..U+00FF, or 0 where the character stays
// (the multiplication and division signs, thorn, sharp s).
constexpr char kPlainLatin1[] =
    "AAAAAAACEEEEIIII"
    "DNOOOOO\0OUUUUY\0\0"
    "AAAAAAACEEEEIIII"
    "DNOOOOO\0OUUUUY\0Y";

}  // namespace

std::string SearchKey(std::string_view text) {
  std::string key;
  key.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0xC3 && i + 1 < text.size()) {
      const auto d = static_cast<unsigned char>(text[i + 1]);
      if (d >= 0x80 && d <= 0xBF && kPlainLatin1[d - 0x80] != '\0') {
        key += kPlainLatin1[d - 0x80];
        ++i;
        continue;
      }
    }
    key += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : static_cast<char>(c);
  }
  return key;
}

TextHit FindText(db::TClientDataSet& dataset, std::string_view field, std::string_view text,
                 int from) {
  const std::string wanted = SearchKey(text);
  if (wanted.empty() || !dataset.Active() || dataset.IsEmpty()) return {};
  db::TField* column = dataset.FindField(field);
  if (column == nullptr) return {};
  const int count = dataset.RecordCount();
  const int start = from < 1 || from > count ? 1 : from;
  for (int step = 0; step < count; ++step) {
    const int recno = (start - 1 + step) % count + 1;
    db::TClientDataSet::ActiveRecordScope scope(dataset, recno);
    if (SearchKey(column->DisplayText()).find(wanted) != std::string::npos)
      return {recno, recno < start};
  }
  return {};
}

}  // namespace orb
