#include "appserver/serving/login.h"

#include <arpa/inet.h>

#include "appserver/accounts/accounts.h"

namespace appserver {

bool IsLoopbackAddress(std::string_view address) {
  if (address == "localhost") return true;
  std::string a(address);
  in_addr v4{};
  if (inet_pton(AF_INET, a.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, a.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
  return false;
}

net::LoginVerdict CheckLogin(const DatabaseTarget& target, bool beyond_loopback,
                             const std::string& user, const std::string& password) {
  using Kind = net::LoginVerdict::Kind;
  auto storage = OpenStorage(target);
  Accounts accounts(*storage);
  if (!beyond_loopback && !accounts.Any()) return {Kind::kOpen, {}, {}};
  if (password.empty()) return {Kind::kNeedsLogin, {}, {}};
  const LoginResult r = accounts.Login(user, password);
  switch (r.outcome) {
    case LoginOutcome::kAdmitted:
      return {Kind::kAdmitted, r.account.user, std::string(RoleName(r.account.role))};
    case LoginOutcome::kDisabled:
      return {Kind::kDisabled, r.account.user, {}};
    case LoginOutcome::kWrongPassword:
      break;
  }
  return {Kind::kWrongCredential, {}, {}};
}

}  // namespace appserver
