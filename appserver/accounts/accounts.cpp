#include "appserver/accounts/accounts.h"

#include "appserver/accounts/password_hash.h"
#include "net/frame.h"

namespace appserver {
namespace {

bool ValidUserName(std::string_view user) {
  if (user.empty() || user.size() > 64) return false;
  for (char c : user)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
          c == '_' || c == '@' || c == '-'))
      return false;
  return true;
}

void RequireValidPassword(std::string_view password) {
  if (password.size() < kMinPasswordLength)
    throw AccountError("A senha precisa ter ao menos " + std::to_string(kMinPasswordLength) +
                       " caracteres.");
  if (password.size() > net::kMaxPasswordLength)
    throw AccountError("A senha pode ter no máximo " + std::to_string(net::kMaxPasswordLength) +
                       " bytes.");
}

Account FromRecord(const Record& r) {
  return {r[conta::USUARIO], ParseRole(r[conta::PAPEL]).value_or(Role::kReader),
          r[conta::ATIVA] == "S"};
}

std::vector<Match> KeyOf(const std::string& user) {
  return {{conta::USUARIO, user}};
}

}  // namespace

std::string_view RoleName(Role role) {
  return role == Role::kEditor ? "editor" : "leitor";
}

std::optional<Role> ParseRole(std::string_view name) {
  if (name == "editor") return Role::kEditor;
  if (name == "leitor") return Role::kReader;
  return std::nullopt;
}

bool Accounts::Any() {
  Transaction tx(storage_, TransactionKind::kRead);
  return !storage_.Select(Entity::kAccount).empty();
}

std::vector<Account> Accounts::List() {
  Transaction tx(storage_, TransactionKind::kRead);
  std::vector<Account> out;
  for (const Record& r : storage_.Select(Entity::kAccount)) out.push_back(FromRecord(r));
  return out;
}

void Accounts::Add(const std::string& user, Role role, std::string_view password) {
  if (!ValidUserName(user))
    throw AccountError("Nome de usuário inválido \"" + user +
                       "\": use de 1 a 64 letras sem acento, dígitos, \".\", \"_\", \"@\" ou "
                       "\"-\".");
  RequireValidPassword(password);
  const std::string hash = HashPassword(password);  // before the write lock is taken
  Transaction tx(storage_, TransactionKind::kWrite);
  if (!storage_.Select(Entity::kAccount, KeyOf(user)).empty())
    throw AccountError("A conta \"" + user + "\" já existe.");
  storage_.Insert(Entity::kAccount, {user, std::string(RoleName(role)), "S", hash});
  tx.Commit();
}

template <class Change>
void Accounts::Modify(const std::string& user, Change change) {
  Transaction tx(storage_, TransactionKind::kWrite);
  auto found = storage_.Select(Entity::kAccount, KeyOf(user));
  if (found.empty()) throw AccountError("Não há conta \"" + user + "\".");
  Record changed = found.front();
  change(changed);
  storage_.Update(Entity::kAccount, found.front(), changed);
  tx.Commit();
}

void Accounts::SetActive(const std::string& user, bool active) {
  Modify(user, [&](Record& r) { r[conta::ATIVA] = active ? "S" : "N"; });
}

void Accounts::SetRole(const std::string& user, Role role) {
  Modify(user, [&](Record& r) { r[conta::PAPEL] = std::string(RoleName(role)); });
}

void Accounts::SetPassword(const std::string& user, std::string_view password) {
  RequireValidPassword(password);
  const std::string hash = HashPassword(password);
  Modify(user, [&](Record& r) { r[conta::SENHA] = hash; });
}

LoginResult Accounts::Login(const std::string& user, std::string_view password) {
  std::vector<Record> found;
  {
    Transaction tx(storage_, TransactionKind::kRead);
    found = storage_.Select(Entity::kAccount, KeyOf(user));
  }
  if (found.empty() || found.front()[conta::SENHA].empty()) {
    SpendVerification(password);
    return {LoginOutcome::kWrongPassword, {}};
  }
  if (!PasswordMatches(found.front()[conta::SENHA], password))
    return {LoginOutcome::kWrongPassword, {}};
  Account account = FromRecord(found.front());
  return {account.active ? LoginOutcome::kAdmitted : LoginOutcome::kDisabled, account};
}

}  // namespace appserver
