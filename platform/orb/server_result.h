// The host library's own check of an application-server result.
#pragma once

#include "rtl/variant.h"

namespace orb {

// True when `result` is not an error report, i.e. it is not a variant array
// whose element `index` is a text. The check only looks: it shows nothing,
// throws nothing and leaves the result alone, so a screen's own decoding of
// the error report, which runs after it, always sees the report and shows it
// once. `report` is kept for the callers' signature; an error report is
// never shown here, since showing it would show it twice. A negative index
// or one beyond the array's end finds no text there.
bool CheckResultServ(const rtl::Variant& result, bool report, int index);

}  // namespace orb
