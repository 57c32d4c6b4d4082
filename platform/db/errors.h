// Exception types of the dataset layer.
#pragma once

#include "rtl/exceptions.h"

namespace db {

// A dataset operation that cannot be done (wrong state, unknown field, value
// too long, malformed filter, ...). The message is meant for the user.
class EDatabaseError : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

// A data or change packet that cannot be decoded. Nothing is loaded from it.
class EPacketError : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};

}  // namespace db
