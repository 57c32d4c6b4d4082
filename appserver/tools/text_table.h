// A plain-text table: titles, then rows, each column as wide as its widest
// cell (counted in characters), two blanks between columns; the last column
// is never padded.
#pragma once

#include <string>
#include <vector>

namespace appserver {

std::string FormatTextTable(const std::vector<std::string>& titles,
                            const std::vector<std::vector<std::string>>& rows);

}  // namespace appserver
