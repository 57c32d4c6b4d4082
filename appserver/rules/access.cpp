#include "appserver/rules/access.h"

#include <algorithm>
#include <array>

namespace appserver {

bool Writes(std::string_view method, const std::vector<rtl::Variant>& args) {
  static constexpr std::array<std::string_view, 8> kWriting = {
      "SetTabelas",      "SetFatos",      "SetDime",       "SetTabelaDrill",
      "setDelManyDrill", "setDelDrillDw", "SetFatosDrill", "SetDimeDrill"};
  if (std::find(kWriting.begin(), kWriting.end(), method) != kWriting.end()) return true;
  // Listing the tables that use a drill table reads; consenting drops links.
  if (method == "getVdDelDrill")
    return !(args.size() >= 2 && args[1].Type() == rtl::varBoolean && args[1].AsBoolean());
  return false;
}

}  // namespace appserver
