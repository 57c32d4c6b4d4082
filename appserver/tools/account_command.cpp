#include "appserver/tools/account_command.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <ostream>

#include "appserver/accounts/accounts.h"
#include "appserver/tools/text_table.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

// One line typed at the terminal with the echo off.
std::string ReadHidden(const char* prompt, std::istream& in, std::ostream& err) {
  err << prompt << std::flush;
  termios saved{};
  tcgetattr(STDIN_FILENO, &saved);
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  std::string line;
  std::getline(in, line);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  err << "\n";
  return line;
}

std::string ReadPassword(std::istream& in, std::ostream& err) {
  // Only the process's own standard input can be a terminal.
  if (&in == &std::cin && isatty(STDIN_FILENO)) {
    std::string first = ReadHidden("Senha: ", in, err);
    if (ReadHidden("Repita a senha: ", in, err) != first)
      throw AccountError("As senhas digitadas não conferem; nada foi alterado.");
    return first;
  }
  std::string line;
  if (!std::getline(in, line)) throw AccountError("Nenhuma senha na entrada padrão.");
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

Role RoleOf(const std::string& name) {
  if (auto role = ParseRole(name)) return *role;
  throw AccountError("Papel desconhecido \"" + name + "\": use editor ou leitor.");
}

}  // namespace

int RunAccountCommand(const ToolOptions& o, const DatabaseTarget& database, std::istream& in,
                      std::ostream& out, std::ostream& err) {
  try {
    // The same database the server would make on its first start.
    PrepareDatabase(database, DemoSeeding::kIfCreated);
    auto storage = OpenStorage(database);
    Accounts accounts(*storage);
    const std::string& a = o.account_action;
    if (a == "listar") {
      std::vector<std::vector<std::string>> rows;
      for (const Account& acc : accounts.List())
        rows.push_back({rtl::EscapeControls(acc.user), std::string(RoleName(acc.role)),
                        acc.active ? "ativa" : "desativada"});
      out << (rows.empty() ? "Nenhuma conta; o servidor em loopback aceita conexões sem senha.\n"
                           : FormatTextTable({"Usuário", "Papel", "Situação"}, rows));
      return kToolOk;
    }
    if (a == "adicionar") {
      accounts.Add(o.user, RoleOf(o.role), ReadPassword(in, err));
      out << "Conta \"" << o.user << "\" criada (" << o.role << ").\n";
    } else if (a == "senha") {
      accounts.SetPassword(o.user, ReadPassword(in, err));
      out << "Senha de \"" << o.user << "\" trocada.\n";
    } else if (a == "papel") {
      accounts.SetRole(o.user, RoleOf(o.role));
      out << "\"" << o.user << "\" agora é " << o.role << ".\n";
    } else if (a == "desativar" || a == "ativar") {
      accounts.SetActive(o.user, a == "ativar");
      out << "Conta \"" << o.user << "\" " << (a == "ativar" ? "reativada" : "desativada") << ".\n";
    } else {
      err << "Ação de conta desconhecida.\n";
      return kToolFailed;
    }
    return kToolOk;
  } catch (const std::exception& e) {
    err << rtl::EscapeControls(e.what()) << "\n";
  }
  return kToolFailed;
}

}  // namespace appserver
