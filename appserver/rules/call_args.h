// CallArgs: the arguments of one remote call, read by position with their
// kind checked. Anything a client could get wrong — the count, a kind, text
// that is not UTF-8 or longer than any code, a malformed packet — throws
// net::ECallError naming the method and the position.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "db/packet.h"
#include "rtl/variant.h"

namespace appserver {

class CallArgs {
 public:
  // Longest text argument accepted (a code, a name or a value to check).
  static constexpr size_t kMaxTextBytes = 4000;

  CallArgs(std::string_view method, std::vector<rtl::Variant>& args, size_t expected);
  // A method whose last arguments may be left out: from `least` to `most`.
  CallArgs(std::string_view method, std::vector<rtl::Variant>& args, size_t least, size_t most);

  size_t Count() const { return args_.size(); }

  // A text: a string, or empty/null for "".
  std::string Text(size_t i) const;
  bool Flag(size_t i) const;
  // A data or change packet (a byte array).
  db::Packet Packet(size_t i) const;
  // Writes the value sent back for a by-reference argument.
  void Set(size_t i, rtl::Variant value) { args_[i] = std::move(value); }

 private:
  [[noreturn]] void Fail(size_t i, const std::string& what) const;
  std::string method_;
  std::vector<rtl::Variant>& args_;
};

// The arguments of SetFatos and SetDime: a change packet and the table it
// concerns, whose normalised code is written back to the caller.
struct TableDelta {
  db::Packet delta;
  std::string table;
};
TableDelta ReadTableDelta(std::string_view method, std::vector<rtl::Variant>& raw);

// The arguments of the drill-table field checks: a drill table, one of
// `fields` (any other is a call failure) and the value proposed for it.
struct DrillFieldValue {
  std::string drill, field, value;
};
DrillFieldValue ReadDrillFieldValue(std::string_view method, std::vector<rtl::Variant>& raw,
                                    std::initializer_list<std::string_view> fields);

}  // namespace appserver
