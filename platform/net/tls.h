// TLS for the frame protocol, on OpenSSL: the contexts of the two ends and the
// comparison of access tokens. Internal to this library.
//
// A server context holds a certificate and its key (PEM files) and offers
// TLS 1.3, or TLS 1.2 with ECDHE and AEAD ciphers only; a client context trusts the certificates of
// one CA file (PEM) and checks that the server's certificate names the host it dialled.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "rtl/exceptions.h"

struct ssl_ctx_st;

namespace net::detail {

// A context could not be made (a missing or unreadable file, a key that does
// not match its certificate); the message says which.
class ETlsError : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

class TlsContext {
 public:
  static std::unique_ptr<TlsContext> ForServer(const std::string& cert_file,
                                               const std::string& key_file);
  static std::unique_ptr<TlsContext> ForClient(const std::string& ca_file);
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  ssl_ctx_st* get() const { return ctx_; }

 private:
  explicit TlsContext(ssl_ctx_st* ctx) : ctx_(ctx) {}
  ssl_ctx_st* ctx_;
};

// The text of OpenSSL's last errors on this thread (and clears them).
std::string TlsErrorText();

// Whether two tokens are equal, in a time that does not depend on where they
// differ (both are hashed first, so not on their lengths either).
bool SameToken(std::string_view a, std::string_view b);

}  // namespace net::detail
