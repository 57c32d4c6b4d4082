#include "net/tls.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>

namespace net::detail {

namespace {

constexpr const char* kTls12Ciphers = "ECDHE+AESGCM:ECDHE+CHACHA20:!aNULL:!PSK:!SRP";

SSL_CTX* NewContext(const SSL_METHOD* method) {
  SSL_CTX* ctx = SSL_CTX_new(method);
  if (!ctx) throw ETlsError("Não foi possível preparar o TLS: " + TlsErrorText());
  // TLS 1.3 whenever both ends have it (the highest version both offer is
  // chosen); TLS 1.2 only with an ephemeral key exchange and an authenticated
  // cipher, so that a key stolen later does not open recorded traffic.
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  if (SSL_CTX_set_cipher_list(ctx, kTls12Ciphers) != 1) {
    SSL_CTX_free(ctx);
    throw ETlsError("Não foi possível preparar o TLS: " + TlsErrorText());
  }
  SSL_CTX_set_options(ctx, SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_RENEGOTIATION);
  // A peer that vanishes without closing TLS is a closed connection, as on a
  // plain socket.
  SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
  return ctx;
}

}  // namespace

std::string TlsErrorText() {
  std::string text;
  while (const unsigned long e = ERR_get_error()) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    if (!text.empty()) text += "; ";
    text += buf;
  }
  return text.empty() ? "erro de TLS" : text;
}

std::unique_ptr<TlsContext> TlsContext::ForServer(const std::string& cert_file,
                                                  const std::string& key_file) {
  SSL_CTX* ctx = NewContext(TLS_server_method());
  std::unique_ptr<TlsContext> owned(new TlsContext(ctx));
  if (SSL_CTX_use_certificate_chain_file(ctx, cert_file.c_str()) != 1)
    throw ETlsError("Certificado TLS \"" + cert_file + "\" ilegível: " + TlsErrorText());
  if (SSL_CTX_use_PrivateKey_file(ctx, key_file.c_str(), SSL_FILETYPE_PEM) != 1)
    throw ETlsError("Chave TLS \"" + key_file + "\" ilegível: " + TlsErrorText());
  if (SSL_CTX_check_private_key(ctx) != 1)
    throw ETlsError("A chave TLS \"" + key_file + "\" não corresponde ao certificado \"" +
                    cert_file + "\"");
  // No session tickets: nothing arrives at a client between its calls.
  SSL_CTX_set_num_tickets(ctx, 0);
  return owned;
}

std::unique_ptr<TlsContext> TlsContext::ForClient(const std::string& ca_file) {
  SSL_CTX* ctx = NewContext(TLS_client_method());
  std::unique_ptr<TlsContext> owned(new TlsContext(ctx));
  if (SSL_CTX_load_verify_locations(ctx, ca_file.c_str(), nullptr) != 1)
    throw ETlsError("Certificado de autoridade \"" + ca_file + "\" ilegível: " + TlsErrorText());
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  return owned;
}

TlsContext::~TlsContext() {
  SSL_CTX_free(ctx_);
}

bool SameToken(std::string_view a, std::string_view b) {
  unsigned char ha[EVP_MAX_MD_SIZE], hb[EVP_MAX_MD_SIZE];
  unsigned int na = 0, nb = 0;
  EVP_Digest(a.data(), a.size(), ha, &na, EVP_sha256(), nullptr);
  EVP_Digest(b.data(), b.size(), hb, &nb, EVP_sha256(), nullptr);
  return na == nb && CRYPTO_memcmp(ha, hb, na) == 0;
}

}  // namespace net::detail
