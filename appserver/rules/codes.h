// Normalised codes and column kinds, the forms in which the server compares
// and stores what clients send.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace appserver {

// A table or column code upper-cased with every blank removed.
std::string NormaliseCode(std::string_view text);
// True when a normalised code is 1 to 30 characters of A-Z, 0-9 and "_"
// — the only codes a warehouse name can match; anything else (quotes,
// punctuation, control characters) is refused before it reaches storage.
bool IsWellFormedCode(std::string_view code);

// A dimension number or data-mart code in its five-character stored form:
// blanks removed, upper-cased, digits left-padded with zeros ("1" -> "00001").
// Other text is only upper-cased and stripped of blanks.
std::string WidenNumber(std::string_view text);

// What a declared column type allows, by the usual SQL type names (SQLite's
// affinity words and the PostgreSQL spellings alike).
struct ColumnKind {
  bool numeric;    // integer, decimal, numeric, float, real, double, money
  bool dimension;  // integer, character or date/time
};
ColumnKind ClassifyColumnType(std::string_view declared_type);

// The family of values a declared type holds; two columns can be joined
// when they are of the same family (an integer code never equals a text one
// without a cast, and SQLite compares them as different).
enum class ColumnFamily { kNumber, kText, kDate, kOther };
ColumnFamily ClassifyColumnFamily(std::string_view declared_type);

// Splits a TABELAS text ("A, B,C") into normalised codes, skipping empty ones.
std::vector<std::string> SplitTableList(std::string_view text);
// Joins codes as TABELAS carries them: "A, B, C".
std::string JoinTableList(const std::vector<std::string>& codes);

}  // namespace appserver
