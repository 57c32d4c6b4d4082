// Accounts over the real socket, on the selected backend: who may log in,
// what a leitor may do, and whose name the history records.
#include "appserver/accounts/accounts.h"
#include "appserver/rules/access.h"
#include "appserver/serving/embedded_server.h"
#include "embedded_on.h"
#include "net/socket_connection.h"
#include "rdm_client.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

using net::Arg;

class AccountsOverSocket : public ::testing::Test {
 protected:
  void SetUp() override { QMX_REQUIRE_DATABASE(db_); }
  static EmbeddedServerOptions On(const qmxtest::TestDatabase& db) { return ServerOptionsOn(db); }
  // A client sending `user` and `password` (none when empty).
  std::unique_ptr<net::TSocketConnection> Client(const std::string& user,
                                                 const std::string& password = "") {
    auto c = qmxtest::RdmClient(server_.Port());
    c->SetSecurity({"", "", user, password});
    return c;
  }
  static std::string OpenFailure(net::TSocketConnection& c) {
    try {
      c.Open();
    } catch (const net::ECallError& e) {
      return e.Message();
    }
    return "(aberta)";
  }
  void AddAccounts() {
    auto s = db_.Open();
    Accounts accounts(*s);
    accounts.Add("ana", Role::kEditor, "senha-da-ana");
    accounts.Add("leo", Role::kReader, "senha-do-leo");
    accounts.Add("eva", Role::kEditor, "senha-da-eva");
    accounts.SetActive("eva", false);
  }
  std::vector<HistoryEntry> History() { return db_.Open()->ReadHistory({}); }
  static Variant NewTable(const std::string& code) {
    return DeltaBuilder(kTableFields).Insert({code, "Compras", "N"}).Build();
  }

  qmxtest::TestDatabase db_;
  EmbeddedServer server_{On(db_)};
};

TEST_F(AccountsOverSocket, WithoutAccountsALoopbackServerAdmitsAllAndTheHistoryMarksTheName) {
  auto c = Client("diretor.financeiro");
  EXPECT_EQ(ErrorText(c->AppServer().Call("SetTabelas", {NewTable("FATO_COMPRAS")})), "");
  EXPECT_EQ(c->Account(), "");
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].origin.user_name, "diretor.financeiro (não verificado)");
}

TEST_F(AccountsOverSocket, OnceAnAccountExistsEveryConnectionLogsIn) {
  AddAccounts();
  EXPECT_NE(OpenFailure(*Client("ana")).find("exige usuário e senha"), std::string::npos);
  auto ana = Client("ana", "senha-da-ana");
  ASSERT_EQ(OpenFailure(*ana), "(aberta)");
  EXPECT_EQ(ana->Account(), "ana");
  EXPECT_EQ(ana->Role(), "editor");
  EXPECT_EQ(ErrorText(ana->AppServer().Call("SetTabelas", {NewTable("FATO_COMPRAS")})), "");
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].origin.user_name, "ana");

  // Told only to whoever knows its password.
  EXPECT_NE(OpenFailure(*Client("eva", "senha-da-eva")).find("está desativada"), std::string::npos);
  EXPECT_NE(OpenFailure(*Client("ana", "senha-errada")).find("usuário ou senha inválidos"),
            std::string::npos);
  // The same text for a user that does not exist; then the address waits.
  EXPECT_NE(OpenFailure(*Client("ninguem", "senha-errada")).find("acesso bloqueado"),
            std::string::npos);
}

TEST_F(AccountsOverSocket, ALeitorReadsEverythingAndIsRefusedEveryWriteByNameWithNothingChanged) {
  AddAccounts();
  auto leo = Client("leo", "senha-do-leo");
  const Variant before = leo->AppServer().Call("GetInicial");
  EXPECT_EQ(leo->Role(), "leitor");
  Variant code = "FATO_VENDAS", drill = "DRILL_VENDAS_DIA";
  const std::vector<std::pair<const char*, std::vector<Arg>>> writes = {
      {"SetTabelas", {NewTable("FATO_COMPRAS")}},
      {"SetFatos", {DeltaBuilder(kFactFields).Insert(qmxtest::DemoVenda("x")).Build(), ""}},
      {"SetDime", {DeltaBuilder(kDimeFields).Insert({"FATO_VENDAS", "CD_X", "00009"}).Build(), ""}},
      {"SetTabelaDrill", {NewTable("DRILL_X")}},
      {"setDelManyDrill", {Variant(), Arg::Ref(code)}},
      {"setDelDrillDw", {Variant(), Arg::Ref(drill)}},
      {"SetFatosDrill", {Variant(), ""}},
      {"SetDimeDrill", {Variant()}},
      {"getVdDelDrill", {"DRILL_VENDAS_DIA", false}},
  };
  for (const auto& [method, args] : writes)
    EXPECT_EQ(ErrorText(leo->AppServer().Call(method, args)), kReadOnlyText) << method;
  // Listing the tables that use a drill table is reading.
  EXPECT_EQ(ErrorText(leo->AppServer().Call("getVdDelDrill", {"DRILL_VENDAS_DIA", true})), "");
  EXPECT_EQ(leo->AppServer().Call("GetInicial"), before);
  EXPECT_TRUE(History().empty());
}

}  // namespace
}  // namespace appserver::testing
