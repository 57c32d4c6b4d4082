// Accounts: who may log in to the server and what they may do, kept in the
// structure database (QMX_CONTA) on either backend.
//
// A user name is 1 to 64 of the characters A-Z a-z 0-9 . _ @ -, compared
// exactly; a password is 8 to 1,024 bytes (what a Hello carries), stored only
// as its hash (password_hash.h). An account is an editor (may change the
// structure) or a leitor (may only read), and may be disabled without losing
// it. Every operation runs in its own transaction on the given session.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "appserver/storage/storage.h"
#include "rtl/exceptions.h"

namespace appserver {

// An operation refused: the text says why, for the person at the terminal.
class AccountError : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

enum class Role { kEditor, kReader };
std::string_view RoleName(Role role);  // "editor", "leitor"
std::optional<Role> ParseRole(std::string_view name);

struct Account {
  std::string user;
  Role role = Role::kReader;
  bool active = true;
};

// The outcome of a login.
enum class LoginOutcome { kAdmitted, kWrongPassword, kDisabled };
struct LoginResult {
  LoginOutcome outcome;
  Account account;  // with kAdmitted and kDisabled
};

inline constexpr size_t kMinPasswordLength = 8;

class Accounts {
 public:
  explicit Accounts(Storage& storage) : storage_(storage) {}

  bool Any();
  std::vector<Account> List();
  void Add(const std::string& user, Role role, std::string_view password);
  void SetActive(const std::string& user, bool active);
  void SetRole(const std::string& user, Role role);
  void SetPassword(const std::string& user, std::string_view password);
  // An unknown user and a wrong password take the same time and read the
  // same; a disabled account is told only to whoever knows its password.
  LoginResult Login(const std::string& user, std::string_view password);

 private:
  // The stored record of `user`, changed by `change`; throws when none.
  template <class Change>
  void Modify(const std::string& user, Change change);

  Storage& storage_;
};

}  // namespace appserver
