#include "screen/lookup_by_filter.h"

namespace qmx00600 {

std::string EqualsFilter(std::string_view field, std::string_view value) {
  std::string out(field);
  out += " = '";
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

void OpenOnCurrentValue(db::TClientDataSet& look_up, std::string_view key_field,
                        const std::string& current) {
  if (current.empty() || !look_up.Active() || look_up.IsEmpty()) return;
  if (look_up.FieldByName(key_field)->AsString() == current) return;
  look_up.Locate(key_field, rtl::Variant(current), db::loCaseInsensitive);
}

std::string NameByFilter(db::TClientDataSet& catalogue, std::string_view key_field,
                         std::string_view key, std::string_view name_field) {
  if (!catalogue.Active()) return {};
  struct Restore {
    db::TClientDataSet& ds;
    bool filtered;
    ~Restore() {
      ds.SetFilter("");
      ds.SetFiltered(filtered);
    }
  } restore{catalogue, catalogue.Filtered()};
  catalogue.SetFiltered(true);
  catalogue.SetFilter(EqualsFilter(key_field, key));
  if (catalogue.IsEmpty()) return {};
  return catalogue.FieldByName(name_field)->AsString();
}

}  // namespace qmx00600
