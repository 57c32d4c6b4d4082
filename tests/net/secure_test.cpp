// A server in secure mode (what listening beyond loopback turns on): TLS and
// an access token in a version-2 Hello, or a refusal in plain words. The
// tests listen on 127.0.0.1 and turn the mode on by option.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <openssl/ssl.h>

#include "net/client_security.h"
#include "net/frame_socket.h"
#include "net/tls.h"
#include "test_server.h"

namespace net::testing {
namespace {

using rtl::Variant;
constexpr const char* kToken = "chave-de-teste-7f3a";

std::unique_ptr<Server> StartServer(Probe& probe, bool secure) {
  ServerOptions o = Options(probe);
  if (secure) o.security = ServerTls(kToken);
  return testing::StartServer(std::move(o));
}

class SecureServer : public ::testing::Test {
 protected:
  Probe probe_;
  std::unique_ptr<Server> server_ = StartServer(probe_, true);
};

TEST_F(SecureServer, TlsWithTheTokenIsServedAndTheObjectKnowsWhoCalls) {
  auto c = Client(server_->Port(), ClientTls(kToken, "maria"));
  const Variant who = c->AppServer().Call("Who");
  EXPECT_TRUE(who[0].AsString().starts_with("127.0.0.1:")) << who[0].AsString();
  EXPECT_EQ(who[1], Variant("maria"));
  EXPECT_EQ(who[2], Variant(true));
  // Large values cross TLS whole, and the link stays up between calls.
  Variant big = c->AppServer().Call("Big", {Arg(3 << 20)});
  EXPECT_EQ(big.Bytes(), std::vector<uint8_t>(3 << 20, 7));
  EXPECT_EQ(c->AppServer().Call("Count"), Variant(3));
  EXPECT_EQ(probe_.objects, 1);
}

TEST_F(SecureServer, AWrongTokenOrAnUntrustedServerIsRefused) {
  auto wrong = Client(server_->Port(), ClientTls("outra-chave", "maria"));
  EXPECT_NE(OpenFailure(*wrong).find("chave de acesso inválida"), std::string::npos);
  auto none = Client(server_->Port(), ClientTls("", "maria"));
  EXPECT_NE(OpenFailure(*none).find("não enviou a chave de acesso"), std::string::npos);
  // Trusting something else than the server's CA: the client will not talk.
  auto distrust = Client(server_->Port(), {kToken, TlsFile("server.pem"), "maria"});
  EXPECT_NE(OpenFailure(*distrust).find("TLS"), std::string::npos);
  EXPECT_EQ(probe_.objects, 0);
}

TEST_F(SecureServer, PlainClientsOfEitherVersionAreToldWhyInPlainWords) {
  auto plain = Client(server_->Port(), {kToken, "", "maria"});
  EXPECT_NE(OpenFailure(*plain).find("apenas conexões seguras (TLS)"), std::string::npos);

  const auto refusal = RawClient(server_->Port()).Handshake();
  ASSERT_FALSE(refusal.empty());
  EXPECT_NE(std::get<RefuseFrame>(DecodeFrame(refusal)).text.find("apenas conexões seguras"),
            std::string::npos);
  EXPECT_EQ(probe_.objects, 0);
}

TEST_F(SecureServer, AVersion1HelloOverTlsIsRefusedForItCarriesNoToken) {
  std::string error;
  detail::ConnectFailure failure = detail::ConnectFailure::kNone;
  const int fd = detail::ConnectTcp("127.0.0.1", server_->Port(), 2000, error, failure);
  ASSERT_GE(fd, 0) << error;
  detail::FrameSocket socket(fd);
  auto ctx = detail::TlsContext::ForClient(TlsFile("ca.pem"));
  const auto deadline = detail::DeadlineIn(2000);
  ASSERT_EQ(socket.StartTls(ctx->get(), false, "127.0.0.1", deadline), detail::IoStatus::kOk)
      << socket.Error();
  std::vector<uint8_t> payload;
  ASSERT_EQ(socket.Write(Hello(), deadline), detail::IoStatus::kOk);
  ASSERT_EQ(socket.ReadFrame(payload, kDefaultMaxFrameSize, deadline, deadline),
            detail::IoStatus::kOk);
  EXPECT_NE(DecodeRefuse(payload).text.find("versão 1"), std::string::npos);
}

TEST(LoopbackServer, TakesBothVersionsWithoutTlsAndPassesTheUserName) {
  Probe probe;
  auto server = StartServer(probe, false);
  const auto accept = RawClient(server->Port()).Handshake();
  ASSERT_FALSE(accept.empty());
  EXPECT_EQ(std::get<AcceptFrame>(DecodeFrame(accept)).version, kProtocolVersion1);

  auto c = Client(server->Port(), {"", "", "joão"});
  const Variant who = c->AppServer().Call("Who");
  EXPECT_TRUE(who[0].AsString().starts_with("127.0.0.1:")) << who[0].AsString();
  EXPECT_EQ(who[1], Variant("joão"));
  EXPECT_EQ(who[2], Variant(false));
  // New connections send the system user unless told otherwise.
  EXPECT_EQ(TSocketConnection(nullptr).Security().user_name, CurrentUserName());
}

TEST(ServerSecurity, StartRefusesMissingCertificatesOrAnEmptyToken) {
  Probe probe;
  ServerOptions o = Options(probe);
  o.security = ServerTls(kToken);
  o.security->cert_file = TlsFile("nao-existe.pem");
  EXPECT_THROW(Server(o).Start(), EServerError);
  o.security = ServerTls("");
  EXPECT_THROW(Server(o).Start(), EServerError);
}

TEST(ServerSecurity, StartRefusesAKeyOthersMayReadAndATokenNoHelloCanCarry) {
  Probe probe;
  ServerOptions o = Options(probe);
  o.security = ServerTls(kToken);
  // The same key, readable by the group alone, then by all.
  const std::string open_key = qmxtest::PrivateServerKey() + ".aberta";
  std::filesystem::copy_file(qmxtest::PrivateServerKey(), open_key,
                             std::filesystem::copy_options::overwrite_existing);
  o.security->key_file = open_key;
  for (auto mode : {std::filesystem::perms::group_read, std::filesystem::perms::others_read}) {
    std::filesystem::permissions(open_key, std::filesystem::perms::owner_read | mode);
    try {
      Server(o).Start();
      ADD_FAILURE() << "a key others may read was taken";
    } catch (const EServerError& e) {
      EXPECT_NE(e.Message().find("chmod 600"), std::string::npos) << e.Message();
    }
  }
  std::filesystem::remove(open_key);
  for (const std::string& token : {std::string("ab"), std::string(kMaxTokenLength + 1, 'x')}) {
    o.security = ServerTls(token);
    try {
      Server(o).Start();
      ADD_FAILURE() << token.size() << " characters were taken";
    } catch (const EServerError& e) {
      EXPECT_NE(e.Message().find("use de 16 a 1024"), std::string::npos) << e.Message();
    }
  }
  o.security = ServerTls(std::string(kMaxTokenLength, 'x'));
  EXPECT_NO_THROW(Server(o).Start());
}

// A client that offers TLS 1.2 with only `ciphers`: what it agreed with the
// server, or "" when the server would not.
std::string AgreedWith(uint16_t port, const char* ciphers) {
  std::string error;
  detail::ConnectFailure failure = detail::ConnectFailure::kNone;
  const int fd = detail::ConnectTcp("127.0.0.1", port, 2000, error, failure);
  if (fd < 0) return "";
  detail::FrameSocket socket(fd);
  auto ctx = detail::TlsContext::ForClient(TlsFile("ca.pem"));
  if (ciphers) {
    SSL_CTX_set_max_proto_version(ctx->get(), TLS1_2_VERSION);
    if (SSL_CTX_set_cipher_list(ctx->get(), ciphers) != 1) return "";
  }
  if (socket.StartTls(ctx->get(), false, "127.0.0.1", detail::DeadlineIn(2000)) !=
      detail::IoStatus::kOk)
    return "";
  return socket.TlsSession();
}

TEST_F(SecureServer, Tls13IsPreferredAndTls12TakesOnlyEphemeralKeysWithAuthenticatedCiphers) {
  EXPECT_TRUE(AgreedWith(server_->Port(), nullptr).starts_with("TLSv1.3 "));
  EXPECT_EQ(AgreedWith(server_->Port(), "ECDHE-ECDSA-AES128-GCM-SHA256"),
            "TLSv1.2 ECDHE-ECDSA-AES128-GCM-SHA256");
  EXPECT_EQ(AgreedWith(server_->Port(), "ECDHE-ECDSA-CHACHA20-POLY1305"),
            "TLSv1.2 ECDHE-ECDSA-CHACHA20-POLY1305");
  for (const char* weak :
       {"ECDHE-ECDSA-AES128-SHA", "ECDHE-ECDSA-AES256-SHA384", "AES128-SHA", "AES256-GCM-SHA384"})
    EXPECT_EQ(AgreedWith(server_->Port(), weak), "") << weak;
}

// Sets environment variables for one scope and puts back what was there.
class ScopedEnv {
 public:
  void Set(const char* name, const std::string& value) {
    const char* old = getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    setenv(name, value.c_str(), 1);
  }
  void Unset(const char* name) {
    const char* old = getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    unsetenv(name);
  }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        setenv(it->first, it->second->c_str(), 1);
      else
        unsetenv(it->first);
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(ClientSecurityTest, TokenAndCaComeFromTheEnvironmentElseTheSettingsFile) {
  const auto dir =
      std::filesystem::temp_directory_path() /
      ("qmx-security-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
       std::to_string(getpid()));
  std::filesystem::create_directories(dir / "qmx");
  std::ofstream(dir / "file-token") << "\n  do-arquivo  \n";
  std::ofstream(dir / "env-token") << "do-ambiente";
  std::ofstream(dir / "qmx" / "qmx.conf") << "# o servidor da matriz\n"
                                          << "token-file = " << (dir / "file-token").string()
                                          << "\ntls-ca=/etc/qmx/ca.pem  # a autoridade\n";
  ScopedEnv env;
  env.Set("XDG_CONFIG_HOME", dir.string());
  env.Unset("QMX_TOKEN_FILE");
  env.Unset("QMX_TLS_CA");
  ClientSecurity s = LoadClientSecurity();
  EXPECT_EQ(s.token, "do-arquivo");
  EXPECT_EQ(s.tls_ca_file, "/etc/qmx/ca.pem");
  EXPECT_EQ(s.user_name, CurrentUserName());

  env.Set("QMX_TOKEN_FILE", (dir / "env-token").string());
  env.Set("QMX_TLS_CA", TlsFile("ca.pem"));
  s = LoadClientSecurity();
  EXPECT_EQ(s.token, "do-ambiente");
  EXPECT_EQ(s.tls_ca_file, TlsFile("ca.pem"));

  env.Set("QMX_TOKEN_FILE", (dir / "nao-existe").string());
  EXPECT_THROW(LoadClientSecurity(), rtl::Exception);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace net::testing
