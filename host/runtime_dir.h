// PrivateRuntimeDir: a runtime folder for Qt when the session has none.
//
// Qt keeps sockets and locks under $XDG_RUNTIME_DIR and warns on start-up
// when it is missing (a login without a session: ssh, containers, Xvfb). The
// object creates a folder only its user can enter (mkdtemp, mode 0700), points
// the variable at it for the life of the process and removes it at the end.
// With the variable already set it does nothing.
#pragma once

#include <string>

namespace host {

class PrivateRuntimeDir {
 public:
  PrivateRuntimeDir();
  ~PrivateRuntimeDir();
  PrivateRuntimeDir(const PrivateRuntimeDir&) = delete;
  PrivateRuntimeDir& operator=(const PrivateRuntimeDir&) = delete;

  // The folder this object created, or empty.
  const std::string& Created() const { return created_; }

 private:
  std::string created_;
};

}  // namespace host
