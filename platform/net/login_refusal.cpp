#include "net/login_refusal.h"

namespace net {

namespace {

constexpr std::string_view kNeedsLogin = "este servidor exige usuário e senha; ";
constexpr std::string_view kWrong = "usuário ou senha inválidos";
constexpr std::string_view kDisabledStart = "a conta \"";
constexpr std::string_view kDisabledEnd = "\" está desativada";
constexpr std::string_view kLocked = "acesso bloqueado para este endereço";

}  // namespace

std::string NeedsLoginRefusal(bool client_sends_password) {
  if (!client_sends_password)
    return "este servidor exige usuário e senha, que esta versão do cliente não envia; "
           "atualize o cliente";
  return std::string(kNeedsLogin) + "informe-os para entrar";
}

std::string WrongCredentialRefusal() {
  return std::string(kWrong);
}

std::string DisabledRefusal(std::string_view account) {
  return std::string(kDisabledStart) + std::string(account) + std::string(kDisabledEnd) +
         "; peça a quem administra o servidor que a reative";
}

std::string LockedRefusal(std::string_view wait) {
  return std::string(kLocked) + " após tentativas com credencial errada; tente de novo em " +
         std::string(wait);
}

LoginRefusal ClassifyRefusal(std::string_view text) {
  if (text.starts_with(kNeedsLogin)) return LoginRefusal::kNeedsLogin;
  if (text == kWrong) return LoginRefusal::kWrongCredential;
  if (text.starts_with(kLocked)) return LoginRefusal::kLocked;
  if (text.starts_with(kDisabledStart) && text.find(kDisabledEnd) != std::string_view::npos)
    return LoginRefusal::kDisabled;
  return LoginRefusal::kNone;
}

}  // namespace net
