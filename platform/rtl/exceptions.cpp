#include "rtl/exceptions.h"

namespace rtl {

void Abort() {
  throw EAbort();
}

}  // namespace rtl
