#include "orb/server_result.h"

namespace orb {

bool CheckResultServ(const rtl::Variant& result, bool /*report*/, int index) {
  if (result.Type() != (rtl::varArray | rtl::varVariant)) return true;
  if (index < 0 || static_cast<size_t>(index) >= result.Length()) return true;
  return !result[static_cast<size_t>(index)].IsString();
}

}  // namespace orb
