// IAppServer: the late-bound dispatch interface of a remote data module.
//
// The screen calls a method by name with its arguments in order; an argument
// passed by reference receives the value the server wrote back when the call
// returns. Business refusals are not failures here: they come back inside the
// result (an error report). A call that cannot be made or answered (unknown
// method, wrong argument count, lost connection, time-out, malformed answer)
// throws ECallError with a clear message.
//
// This header knows nothing of sockets; the socket connection implements it,
// and tests implement it with scripted answers.
#pragma once

#include <concepts>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/variant.h"

namespace net {

// Message() is for the person; Detail() is for a log: what a developer needs
// besides (the method, the system's text), or the message itself when there
// is nothing more to tell.
class ECallError : public rtl::Exception {
 public:
  explicit ECallError(std::string message) : rtl::Exception(std::move(message)) {}
  ECallError(std::string message, std::string detail)
      : rtl::Exception(std::move(message)), detail_(std::move(detail)) {}
  const std::string& Detail() const { return detail_.empty() ? Message() : detail_; }

 private:
  std::string detail_;
};

// One argument of a call: a value, or a reference to the caller's variable.
class Arg {
 public:
  template <class T>
  requires std::constructible_from<rtl::Variant, T> Arg(T&& value)
      : value_(std::forward<T>(value)) {}
  // Passes `variable` by reference: its value is sent, and the server's new
  // value is written back into it when the call returns normally.
  static Arg Ref(rtl::Variant& variable) {
    Arg a(variable);
    a.target_ = &variable;
    return a;
  }

  bool ByRef() const { return target_ != nullptr; }
  const rtl::Variant& Value() const { return value_; }
  rtl::Variant* Target() const { return target_; }

 private:
  rtl::Variant value_;
  rtl::Variant* target_ = nullptr;
};

class IAppServer {
 public:
  virtual ~IAppServer() = default;
  rtl::Variant Call(std::string_view method, std::vector<Arg> args) { return Invoke(method, args); }
  rtl::Variant Call(std::string_view method, std::initializer_list<Arg> args) {
    return Call(method, std::vector<Arg>(args));
  }
  rtl::Variant Call(std::string_view method) { return Call(method, std::vector<Arg>{}); }

 protected:
  // Makes the call; writes the server's values of by-reference arguments
  // through Arg::Target() before returning.
  virtual rtl::Variant Invoke(std::string_view method, std::vector<Arg>& args) = 0;
};

}  // namespace net
