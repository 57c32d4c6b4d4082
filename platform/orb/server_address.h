// Where the application server is: host and port, as the host application
// settles them.
//
// Precedence, read afresh at every call: an address the host set explicitly
// (from its command line, SetServerAddress), then the environment variable
// QMX_SERVER ("HOST:PORT", an IPv6 host in brackets: "[::1]:2160"; an empty
// variable counts as unset), then 127.0.0.1 and 2160. A malformed value is
// never replaced by the default: WebURL and WebPort throw rtl::Exception
// naming the value and the form expected.
#pragma once

#include <string>
#include <string_view>

namespace orb {

inline constexpr const char* kDefaultServerHost = "127.0.0.1";
inline constexpr int kDefaultServerPort = 2160;
inline constexpr const char* kServerEnvironmentVariable = "QMX_SERVER";

struct ServerAddress {
  std::string host;
  int port = 0;
};

// Parses "HOST:PORT"; the host is not empty, valid UTF-8 and holds no blank, the port is
// 1 to 65535 in decimal digits. Throws rtl::Exception otherwise.
ServerAddress ParseServerAddress(std::string_view text);

// The host's explicit setting; checked as ParseServerAddress checks.
void SetServerAddress(const ServerAddress& address);
void ClearServerAddress();

// The address in force, by the precedence above.
ServerAddress CurrentServerAddress();
std::string WebURL();
int WebPort();

}  // namespace orb
