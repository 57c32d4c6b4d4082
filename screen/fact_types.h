// The type of a fact (IDTPFATODW, IDTPFATODRILL): one of the codes M, P, Q,
// I, which are at the same time the catalogue keys of the types' names.
#pragma once

#include <string>
#include <string_view>

#include "orb/messages.h"

namespace qmx00600 {

// The name of the type `code` in `catalogue`; a code that is not a type (an
// empty one included) is shown as it stands.
std::string FactTypeName(const orb::TMessages& catalogue, std::string_view code);

// The code of the first type (in the order M, P, Q, I) whose name is exactly
// `name`, letter case included; the empty text when none is.
std::string FactTypeCode(const orb::TMessages& catalogue, std::string_view name);

}  // namespace qmx00600
