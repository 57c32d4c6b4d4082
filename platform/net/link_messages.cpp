#include "net/link_messages.h"

#include <cerrno>

namespace net::detail {

namespace {

std::string Duration(int ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms) + " ms";
}

}  // namespace

std::string CannotConnectText(const std::string& address, ConnectFailure failure) {
  const std::string cannot = "Não foi possível conectar ao servidor " + address;
  switch (failure) {
    case ConnectFailure::kRefused:
      return cannot + " (conexão recusada). Verifique se o servidor está em execução.";
    case ConnectFailure::kTimeout:
      return cannot +
             " (tempo de conexão esgotado). Verifique se o servidor está em execução e se o "
             "endereço está correto.";
    case ConnectFailure::kUnknownHost:
      return cannot + " (endereço não encontrado). Verifique o endereço do servidor.";
    case ConnectFailure::kNone:
    case ConnectFailure::kOther:
      break;
  }
  return cannot + ". Verifique se o servidor está em execução e se a rede está disponível.";
}

std::string NoHandshakeText(const std::string& address) {
  return "Não foi possível conectar ao servidor " + address +
         " (o servidor não respondeu). Verifique se o endereço é o do servidor de aplicação e "
         "tente novamente.";
}

std::string NotAnAppServerText(const std::string& address) {
  return "Não foi possível conectar ao servidor " + address +
         " (o endereço não é de um servidor de aplicação). Verifique o endereço do servidor.";
}

std::string LinkLostText(const std::string& address) {
  return "A conexão com o servidor " + address +
         " foi perdida durante a operação; tente novamente.";
}

std::string NoAnswerText(const std::string& address, int timeout_ms) {
  return "O servidor " + address + " não respondeu em " + Duration(timeout_ms) +
         " e a conexão foi encerrada. Verifique se a operação foi concluída e tente novamente.";
}

std::string BadAnswerText(const std::string& address) {
  return "O servidor " + address +
         " enviou uma resposta inválida e a conexão foi encerrada; tente novamente.";
}

std::string LoginRefusedText(LoginRefusal refusal, const std::string& server_text) {
  switch (refusal) {
    case LoginRefusal::kNeedsLogin:
      return "Este servidor exige usuário e senha: informe-os para entrar.";
    case LoginRefusal::kWrongCredential:
      return "Usuário ou senha inválidos. Verifique-os e tente de novo.";
    case LoginRefusal::kDisabled:
    case LoginRefusal::kLocked:
    case LoginRefusal::kNone:
      break;
  }
  // The server's own words name the account or the time to wait.
  std::string text = server_text;
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text + ".";
}

std::string SystemErrorText(int err) {
  switch (err) {
    case ECONNREFUSED:
      return "conexão recusada";
    case ECONNRESET:
      return "conexão encerrada pelo outro lado";
    case ECONNABORTED:
      return "conexão abortada";
    case EPIPE:
      return "conexão fechada pelo outro lado";
    case ETIMEDOUT:
      return "tempo esgotado";
    case EHOSTUNREACH:
      return "máquina inacessível";
    case ENETUNREACH:
      return "rede inacessível";
    case ENETDOWN:
      return "rede fora do ar";
    case EADDRINUSE:
      return "endereço já em uso";
    case EADDRNOTAVAIL:
      return "endereço não disponível nesta máquina";
    case EACCES:
    case EPERM:
      return "permissão negada";
    case EMFILE:
    case ENFILE:
      return "arquivos abertos demais";
    case ENOMEM:
    case ENOBUFS:
      return "memória insuficiente";
    default:
      return "erro do sistema " + std::to_string(err);
  }
}

}  // namespace net::detail
