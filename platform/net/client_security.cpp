#include "net/client_security.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "rtl/exceptions.h"

namespace net {

namespace {

std::mutex defaults_mutex;
ILoginPrompt* login_prompt = nullptr;  // guarded by defaults_mutex

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string SettingsFile() {
  const std::string xdg = Env("XDG_CONFIG_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg + "/qmx/qmx.conf";
  const std::string home = Env("HOME");
  return home.empty() ? "" : home + "/.config/qmx/qmx.conf";
}

ClientSecurity& Defaults() {
  static ClientSecurity defaults{"", "", CurrentUserName()};
  return defaults;
}

}  // namespace

std::string CurrentUserName() {
  passwd entry{};
  passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(getuid(), &entry, buf, sizeof buf, &found) == 0 && found && found->pw_name)
    return found->pw_name;
  return Env("USER");
}

std::string ReadTokenFile(const std::string& path) {
  std::ifstream in(path);
  if (!in)
    throw rtl::Exception("Não foi possível ler o arquivo da chave de acesso \"" + path + "\"");
  std::stringstream content;
  content << in.rdbuf();
  std::string token = Trimmed(content.str());
  if (token.empty())
    throw rtl::Exception("O arquivo da chave de acesso \"" + path + "\" está vazio");
  return token;
}

ClientSecurity LoadClientSecurity() {
  ClientSecurity s;
  s.user_name = CurrentUserName();
  std::string token_file = Env("QMX_TOKEN_FILE");
  s.tls_ca_file = Env("QMX_TLS_CA");
  if (const std::string file = SettingsFile(); !file.empty()) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      line = Trimmed(line.substr(0, line.find('#')));
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = Trimmed(line.substr(0, eq)), value = Trimmed(line.substr(eq + 1));
      if (key == "token-file" && token_file.empty()) token_file = value;
      if (key == "tls-ca" && s.tls_ca_file.empty()) s.tls_ca_file = value;
    }
  }
  if (!token_file.empty()) s.token = ReadTokenFile(token_file);
  return s;
}

void SetDefaultClientSecurity(ClientSecurity security) {
  std::lock_guard lock(defaults_mutex);
  Defaults() = std::move(security);
}

ClientSecurity DefaultClientSecurity() {
  std::lock_guard lock(defaults_mutex);
  return Defaults();
}

void SetLoginPrompt(ILoginPrompt* prompt) {
  std::lock_guard lock(defaults_mutex);
  login_prompt = prompt;
}

ILoginPrompt* CurrentLoginPrompt() {
  std::lock_guard lock(defaults_mutex);
  return login_prompt;
}

}  // namespace net
