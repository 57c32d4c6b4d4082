// ClientSecurity: what a client sends and trusts when it connects to an
// application server: the access token of its Hello, the CA whose
// certificates it trusts for TLS, and the user name it runs for.
//
// A server listening beyond loopback takes only TLS connections that present
// its token; on loopback neither is needed. Every new TSocketConnection starts
// from the process-wide defaults, which a host sets once at start from
// LoadClientSecurity.
#pragma once

#include <string>

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

}  // namespace net
