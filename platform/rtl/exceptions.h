// Exception types of the runtime.
//
// Failures travel as exceptions. `Exception` carries a message meant for the
// user; `EAbort` is the silent abort: it ends the current operation and the
// host shows nothing for it.
#pragma once

#include <exception>
#include <string>

namespace rtl {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// The silent abort; hosts and dialogs never show it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operação cancelada") {}
};

// A value that cannot be converted or a malformed format string.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A variant used as a kind it does not hold (an array index out of range, ...).
class EVariantError : public Exception {
 public:
  using Exception::Exception;
};

// Throws EAbort.
[[noreturn]] void Abort();

}  // namespace rtl
