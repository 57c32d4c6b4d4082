#include "appserver/tools/text_table.h"

#include <algorithm>

#include "rtl/strings.h"

namespace appserver {

std::string FormatTextTable(const std::vector<std::string>& titles,
                            const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> width(titles.size(), 0);
  auto measure = [&](const std::vector<std::string>& cells) {
    for (size_t c = 0; c < cells.size() && c < width.size(); ++c)
      width[c] = std::max(width[c], rtl::Utf8Length(cells[c]));
  };
  measure(titles);
  for (const auto& r : rows) measure(r);
  std::string out;
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < width.size(); ++c) {
      const std::string cell = c < cells.size() ? cells[c] : std::string();
      text += cell;
      if (c + 1 < width.size()) text += std::string(width[c] - rtl::Utf8Length(cell) + 2, ' ');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  };
  line(titles);
  for (const auto& r : rows) line(r);
  return out;
}

}  // namespace appserver
