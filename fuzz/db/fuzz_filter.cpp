// Feeds arbitrary text to the filter parser, evaluates what parses against a
// row with a null and a text value, and applies it to a small dataset.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "db/client_dataset.h"
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

  db::TClientDataSet ds(nullptr);
  ds.AddStringField("A", 5);
  ds.AddStringField("B", 5);
  ds.CreateDataSet();
  for (const char* v : {"x", "", "y'z"}) {
    ds.Append();
    ds.FieldByName("A")->SetAsString(v);
    ds.Post();
  }
  ds.SetFiltered(true);
  try {
    ds.SetFilter(std::string(text));
  } catch (const db::EDatabaseError&) {
    if (ds.RecordCount() != 3) std::abort();  // a refused filter leaves the old one
    return 0;
  }
  if (ds.RecordCount() > 3) std::abort();
  for (int r = 1; r <= ds.RecordCount(); ++r) {
    db::TClientDataSet::ActiveRecordScope scope(ds, r);
    (void)ds.FieldByName("A")->AsString();
  }
  return 0;
}
