#include "orb/server_address.h"

#include <cstdlib>
#include <optional>

#include "rtl/exceptions.h"
#include "rtl/strings.h"

namespace orb {

namespace {

std::optional<ServerAddress>& ExplicitAddress() {
  static std::optional<ServerAddress> address;
  return address;
}

[[noreturn]] void Malformed(std::string_view text, const std::string& why) {
  // The value is quoted back only when it can be shown.
  const std::string shown = rtl::IsValidUtf8(text) ? std::string(text) : "(não UTF-8)";
  throw rtl::Exception("Endereço do servidor inválido \"" + shown + "\" (" + why +
                       "; esperado HOST:PORTA, por exemplo 127.0.0.1:2160)");
}

void CheckHost(std::string_view original, std::string_view host) {
  if (host.empty()) Malformed(original, "host vazio");
  if (!rtl::IsValidUtf8(host)) Malformed(original, "host não é UTF-8 válido");
  for (char c : host)
    if (static_cast<unsigned char>(c) <= ' ') Malformed(original, "host com espaço");
}

int ParsePort(std::string_view original, std::string_view digits) {
  if (digits.empty()) Malformed(original, "porta vazia");
  if (digits.size() > 5) Malformed(original, "porta fora de 1 a 65535");
  int port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') Malformed(original, "porta não numérica");
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) Malformed(original, "porta fora de 1 a 65535");
  return port;
}

}  // namespace

ServerAddress ParseServerAddress(std::string_view text) {
  ServerAddress address;
  std::string_view rest;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) Malformed(text, "falta \"]\"");
    address.host = std::string(text.substr(1, close - 1));
    rest = text.substr(close + 1);
    if (rest.empty() || rest.front() != ':') Malformed(text, "falta \":PORTA\"");
    rest.remove_prefix(1);
  } else {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) Malformed(text, "falta \":PORTA\"");
    address.host = std::string(text.substr(0, colon));
    if (address.host.find(':') != std::string::npos) Malformed(text, "host IPv6 sem colchetes");
    rest = text.substr(colon + 1);
  }
  CheckHost(text, address.host);
  address.port = ParsePort(text, rest);
  return address;
}

void SetServerAddress(const ServerAddress& address) {
  const std::string shown = address.host + ":" + std::to_string(address.port);
  CheckHost(shown, address.host);
  if (address.port < 1 || address.port > 65535) Malformed(shown, "porta fora de 1 a 65535");
  ExplicitAddress() = address;
}

void ClearServerAddress() {
  ExplicitAddress().reset();
}

ServerAddress CurrentServerAddress() {
  if (ExplicitAddress()) return *ExplicitAddress();
  const char* env = std::getenv(kServerEnvironmentVariable);
  if (env != nullptr && *env != '\0') {
    try {
      return ParseServerAddress(env);
    } catch (const rtl::Exception& e) {
      throw rtl::Exception(std::string(kServerEnvironmentVariable) + ": " + e.Message());
    }
  }
  return {kDefaultServerHost, kDefaultServerPort};
}

std::string WebURL() {
  return CurrentServerAddress().host;
}

int WebPort() {
  return CurrentServerAddress().port;
}

}  // namespace orb
