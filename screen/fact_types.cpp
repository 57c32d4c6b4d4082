#include "screen/fact_types.h"

#include <array>

namespace qmx00600 {
namespace {

constexpr std::array<std::string_view, 4> kTypeCodes = {"M", "P", "Q", "I"};

}  // namespace

std::string FactTypeName(const orb::TMessages& catalogue, std::string_view code) {
  // Only the four codes are looked up: another one-letter key of the
  // catalogue must not turn a damaged code into some unrelated text.
  for (std::string_view type : kTypeCodes)
    if (code == type) return catalogue.Msg(type);
  return std::string(code);
}

std::string FactTypeCode(const orb::TMessages& catalogue, std::string_view name) {
  for (std::string_view type : kTypeCodes)
    if (catalogue.Msg(type) == name) return std::string(type);
  return {};
}

}  // namespace qmx00600
