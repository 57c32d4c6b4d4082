#include "appserver/rules/codes.h"

#include "rtl/strings.h"

namespace appserver {

std::string NormaliseCode(std::string_view text) {
  return rtl::RemoveBlanks(rtl::AnsiUpperCase(text));
}

bool IsWellFormedCode(std::string_view code) {
  if (code.empty() || code.size() > 30) return false;
  for (char c : code) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string WidenNumber(std::string_view text) {
  std::string code = NormaliseCode(text);
  if (code.empty() || code.size() >= 5) return code;
  for (char c : code)
    if (c < '0' || c > '9') return code;
  return std::string(5 - code.size(), '0') + code;
}

ColumnKind ClassifyColumnType(std::string_view declared_type) {
  std::string t = rtl::UpperCase(declared_type);
  auto has = [&](const char* word) { return t.find(word) != std::string::npos; };
  bool integer = has("INT") || has("SERIAL");
  bool decimal = has("DEC") || has("NUMERIC") || has("NUMBER") || has("REAL") || has("FLOA") ||
                 has("DOUB") || has("MONEY");
  bool character = has("CHAR") || has("TEXT") || has("CLOB") || has("STRING");
  bool date = has("DATE") || has("TIME");
  // "POINT" and "INTERVAL" contain INT but are neither.
  if (has("POINT") || has("INTERVAL")) integer = false;
  return {integer || decimal, integer || character || date};
}

ColumnFamily ClassifyColumnFamily(std::string_view declared_type) {
  std::string t = rtl::UpperCase(declared_type);
  auto has = [&](const char* word) { return t.find(word) != std::string::npos; };
  // Dates first: "DATETIME" and "TIMESTAMP" hold no INT or CHAR.
  if (has("DATE") || has("TIME")) return ColumnFamily::kDate;
  if (has("CHAR") || has("TEXT") || has("CLOB") || has("STRING")) return ColumnFamily::kText;
  if (ClassifyColumnType(t).numeric) return ColumnFamily::kNumber;
  return ColumnFamily::kOther;
}

std::vector<std::string> SplitTableList(std::string_view text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    std::string code = NormaliseCode(text.substr(start, comma - start));
    if (!code.empty()) out.push_back(std::move(code));
    start = comma + 1;
  }
  return out;
}

std::string JoinTableList(const std::vector<std::string>& codes) {
  std::string out;
  for (const std::string& c : codes) out += (out.empty() ? "" : ", ") + c;
  return out;
}

}  // namespace appserver
