// The Refuses a server answers a Hello whose login fails, written once for
// both ends: the server sends them, and a client tells them apart to ask the
// person again (docs/protocol.md, "Accounts"). A client reads only how each
// begins, so the server may word the rest as it likes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace net {

enum class LoginRefusal {
  kNone,             // not a login refusal (or one a new password cannot cure)
  kNeedsLogin,       // the server wants a user name and password, none was sent
  kWrongCredential,  // unknown user or wrong password, alike
  kDisabled,         // the right password of a disabled account
  kLocked,           // the address waits after wrong credentials
};

// `client_sends_password`: false for a Hello of a version without one, which
// is told to update the client instead.
std::string NeedsLoginRefusal(bool client_sends_password);
std::string WrongCredentialRefusal();
std::string DisabledRefusal(std::string_view account);
// `wait` is the rest of the lock in words ("3 s").
std::string LockedRefusal(std::string_view wait);

// Which of the refusals above `text` is.
LoginRefusal ClassifyRefusal(std::string_view text);

}  // namespace net
