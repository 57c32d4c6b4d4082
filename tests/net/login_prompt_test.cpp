// A connection the server refuses for its login asks the process's login
// prompt, tells it why in plain words, and tries again with its answer.
#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "test_server.h"

namespace net::testing {
namespace {

// Answers each question with the next scripted user name and password, or
// gives up when none is left; keeps what it was asked and told.
class ScriptedPrompt : public ILoginPrompt {
 public:
  explicit ScriptedPrompt(std::deque<std::pair<std::string, std::string>> answers)
      : answers_(std::move(answers)) {
    SetLoginPrompt(this);
  }
  ~ScriptedPrompt() override {
    SetLoginPrompt(nullptr);
    SetDefaultClientSecurity({"", "", CurrentUserName()});
  }
  bool Ask(const LoginRequest& request, std::string& user_name, std::string& password) override {
    asked.push_back(request);
    if (answers_.empty()) return false;
    std::tie(user_name, password) = answers_.front();
    answers_.pop_front();
    return true;
  }
  void Admitted(const std::string& account, const std::string& role) override {
    admitted.push_back(account + " " + role);
  }

  std::vector<LoginRequest> asked;
  std::vector<std::string> admitted;

 private:
  std::deque<std::pair<std::string, std::string>> answers_;
};

// Admits "ana" with "certa" as an editor; "eva" is disabled.
ServerOptions WithAccounts(Probe& probe) {
  ServerOptions o = Options(probe);
  o.login_backoff_first_ms = 60000;  // locked for the rest of the test
  o.authenticate = [](const std::string& user, const std::string& password) {
    using Kind = LoginVerdict::Kind;
    if (password.empty()) return LoginVerdict{Kind::kNeedsLogin, {}, {}};
    if (password != "certa") return LoginVerdict{Kind::kWrongCredential, {}, {}};
    if (user == "eva") return LoginVerdict{Kind::kDisabled, "eva", {}};
    if (user == "ana") return LoginVerdict{Kind::kAdmitted, "ana", "editor"};
    return LoginVerdict{Kind::kWrongCredential, {}, {}};
  };
  return o;
}

TEST(LoginPrompt, EachRefusalIsToldPlainlyAndGivingUpLeavesTheConnectionClosed) {
  Probe probe;
  auto server = StartServer(WithAccounts(probe));
  ScriptedPrompt prompt({{"ana", "errada"}, {"ana", "certa"}});
  auto c = Client(server->Port(), {"", "", "ana"});
  EXPECT_THROW(c->Open(), rtl::EAbort);
  EXPECT_FALSE(c->Connected());

  ASSERT_EQ(prompt.asked.size(), 3u);
  EXPECT_EQ(prompt.asked[0].refusal, LoginRefusal::kNeedsLogin);
  EXPECT_EQ(prompt.asked[0].address, "127.0.0.1:" + std::to_string(server->Port()));
  EXPECT_EQ(prompt.asked[0].text, "Este servidor exige usuário e senha: informe-os para entrar.");
  EXPECT_EQ(prompt.asked[0].user_name, "ana");
  EXPECT_EQ(prompt.asked[1].refusal, LoginRefusal::kWrongCredential);
  EXPECT_EQ(prompt.asked[1].text, "Usuário ou senha inválidos. Verifique-os e tente de novo.");
  // The right password comes too late: the address waits, whatever is sent.
  EXPECT_EQ(prompt.asked[2].refusal, LoginRefusal::kLocked);
  EXPECT_EQ(prompt.asked[2].text.rfind("Acesso bloqueado para este endereço", 0), 0u)
      << prompt.asked[2].text;
  EXPECT_TRUE(prompt.admitted.empty());
  EXPECT_EQ(probe.objects, 0);
}

TEST(LoginPrompt, AnAdmittedLoginOpensLaterConnectionsWithoutAskingAgain) {
  Probe probe;
  auto server = StartServer(WithAccounts(probe));
  ScriptedPrompt prompt({{"eva", "certa"}, {"ana", "certa"}});
  auto c = Client(server->Port(), DefaultClientSecurity());
  c->Open();
  ASSERT_EQ(prompt.asked.size(), 2u);
  EXPECT_EQ(prompt.asked[1].refusal, LoginRefusal::kDisabled);
  EXPECT_EQ(prompt.asked[1].text,
            "A conta \"eva\" está desativada; peça a quem administra o servidor que a reative.");
  EXPECT_EQ(c->Account(), "ana");
  EXPECT_FALSE(c->AdmittedAsReader());
  EXPECT_EQ(prompt.admitted, std::vector<std::string>{"ana editor"});

  // Reopened (as after an idle close), and a second connection of the
  // process: neither asks.
  c->Close();
  c->Open();
  auto other = Client(server->Port(), DefaultClientSecurity());
  other->Open();
  EXPECT_EQ(other->Account(), "ana");
  EXPECT_EQ(prompt.asked.size(), 2u);
}

}  // namespace
}  // namespace net::testing
