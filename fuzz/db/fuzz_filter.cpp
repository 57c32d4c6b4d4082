// Feeds arbitrary text to the filter parser and evaluates what parses against
// a row with a null and a text value.
#include <cstdint>
#include <string_view>

#include "db/errors.h"
#include "db/filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    auto node = db::detail::ParseFilter(text);
    if (!node) return 0;
    db::detail::ResolveFilterFields(*node, [](std::string_view name) {
      return name.size() % 3 == 0 ? -1 : static_cast<int>(name.size() % 2);
    });
    std::vector<db::FieldValue> row = {std::nullopt, std::string("VALOR")};
    (void)db::detail::EvalFilter(*node, row);
  } catch (const db::EDatabaseError&) {
  }
  return 0;
}
