// ClientSecurity: what a client sends and trusts when it connects to an
// application server: the access token of its Hello, the CA whose
// certificates it trusts for TLS, and the user name it runs for.
//
// A server listening beyond loopback takes only TLS connections that present
// its token; on loopback neither is needed. Every new TSocketConnection starts
// from the process-wide defaults, which a host sets once at start from
// LoadClientSecurity.
//
// A server with accounts also wants a user name and password. A host that can
// ask the person for them installs an ILoginPrompt: a connection the server
// refuses for its login asks it, and tries again with what the person gave
// until the server admits it or the person gives up.
#pragma once

#include <string>

#include "net/login_refusal.h"

namespace net {

struct ClientSecurity {
  std::string token;          // sent in the Hello; empty sends none
  std::string tls_ca_file;    // PEM file of the CA to trust; empty: plain TCP
  std::string user_name;      // sent in the Hello
  std::string password = {};  // sent in the Hello; never kept on disk
};

// The name of the system user this process runs as ("" when unknown).
std::string CurrentUserName();

// The content of a token file without surrounding blanks and line ends.
// Throws rtl::Exception when it cannot be read or holds nothing.
std::string ReadTokenFile(const std::string& path);

// The token from the file QMX_TOKEN_FILE names and the CA from QMX_TLS_CA;
// what the environment leaves unset, from the settings file
// ($XDG_CONFIG_HOME/qmx/qmx.conf, else ~/.config/qmx/qmx.conf: lines
// "token-file=PATH" and "tls-ca=PATH", "#" starts a comment); the user name
// from the system. Throws rtl::Exception when a token file named cannot be
// read.
ClientSecurity LoadClientSecurity();

// Process-wide defaults for new connections; at first none but the user name.
void SetDefaultClientSecurity(ClientSecurity security);
ClientSecurity DefaultClientSecurity();

// Why a connection asks the person to log in.
struct LoginRequest {
  std::string address;                               // the server, "host:port"
  std::string user_name;                             // the name the connection last sent
  LoginRefusal refusal = LoginRefusal::kNeedsLogin;  // the server's last answer
  std::string text;                                  // that answer in plain words, for the person
};

// Asks the person for a user name and password (a host's login dialog).
// Called on the thread that opens the connection.
class ILoginPrompt {
 public:
  virtual ~ILoginPrompt() = default;
  // Fills `user_name` (it comes with the name last sent) and `password`;
  // false when the person gives up.
  virtual bool Ask(const LoginRequest& request, std::string& user_name, std::string& password) = 0;
  // The server admitted what Ask gave last, as `account` with `role`.
  virtual void Admitted(const std::string& account, const std::string& role) = 0;
};

// The process's prompt (not owned); nullptr, the default, asks nobody and a
// login refusal fails the open as any refusal does.
void SetLoginPrompt(ILoginPrompt* prompt);
ILoginPrompt* CurrentLoginPrompt();

}  // namespace net
