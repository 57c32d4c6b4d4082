// Internal to the dataset layer: the filter expression parser and evaluator.
//
// Grammar (keywords and field names without regard to case):
//   expr    := or
//   or      := and { OR and }
//   and     := unary { AND unary }
//   unary   := NOT unary | primary
//   primary := '(' expr ')' | FIELD op 'text' | FIELD IS [NOT] NULL
//   op      := = | <> | < | > | <= | >=
// A quote inside 'text' is written twice. Values compare case-sensitively,
// byte by byte (code point order for UTF-8); a null field compares as the
// empty text, so `F = ''` lets nulls through and `F IS NULL` only nulls.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/packet.h"

namespace db::detail {

enum class FilterOp { kEq, kNe, kLt, kGt, kLe, kGe };

struct FilterNode {
  enum class Kind { kCompare, kIsNull, kIsNotNull, kAnd, kOr, kNot };
  Kind kind = Kind::kCompare;
  std::string field;     // kCompare, kIsNull, kIsNotNull
  int field_index = -1;  // set by ResolveFilterFields
  FilterOp op = FilterOp::kEq;
  std::string value;                        // kCompare
  std::unique_ptr<FilterNode> left, right;  // kAnd, kOr (both); kNot (left)
  int height = 1;                           // levels of the tree below and including this node
};

// A tree taller than this (nesting, or a long chain of AND/OR) is refused,
// so no input can exhaust the stack in the parser, evaluator or destructor.
inline constexpr int kMaxFilterDepth = 128;

// Parses an expression; nullptr for an empty (or all blank) one. Throws
// EDatabaseError with a message for the user on malformed input.
std::unique_ptr<FilterNode> ParseFilter(std::string_view expression);

// Binds every field name to its position through `find` (-1: unknown, which
// throws EDatabaseError).
void ResolveFilterFields(FilterNode& node, const std::function<int(std::string_view)>& find);

// True when the row's values pass. Field indexes must be resolved.
bool EvalFilter(const FilterNode& node, const std::vector<FieldValue>& values);

}  // namespace db::detail
