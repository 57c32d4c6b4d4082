// rdmEstrutura over the real socket: an EmbeddedServer on an ephemeral
// loopback port with a fresh database of the selected backend, and
// TSocketConnection clients.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "appserver/rules/refusal.h"
#include "appserver/serving/embedded_server.h"
#include "embedded_on.h"
#include "net/client_security.h"
#include "net/frame.h"
#include "net/socket_connection.h"
#include "rdm_client.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

using net::Arg;

class OverSocket : public ::testing::Test {
 protected:
  std::unique_ptr<net::TSocketConnection> Client() { return qmxtest::RdmClient(server_.Port()); }
  static std::vector<std::string> Venda(const std::string& name) {
    return qmxtest::DemoVenda(name);
  }
  std::vector<Row> Facts(net::IAppServer& app, const std::string& table) {
    Variant code = table, dimes, facts;
    app.Call("GetDimeFatos", {Arg::Ref(code), "", "", "", Arg::Ref(dimes), Arg::Ref(facts)});
    return Rows(facts);
  }

  void SetUp() override { QMX_REQUIRE_DATABASE(db_); }
  static EmbeddedServerOptions On(const qmxtest::TestDatabase& db) { return ServerOptionsOn(db); }

  qmxtest::TestDatabase db_;
  EmbeddedServer server_{On(db_)};
};

TEST_F(OverSocket, FreshServerAnswersTheInitialPacketsAndByReferenceArguments) {
  EXPECT_TRUE(server_.Prepared().created);
  EXPECT_TRUE(server_.Prepared().demo_seeded);
  auto c = Client();
  Variant r = c->AppServer().Call("GetInicial");
  ASSERT_EQ(r.Length(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_FALSE(Rows(r[i]).empty()) << i;

  Variant code = " fato_vendas", dimes, facts;
  Variant result = c->AppServer().Call(
      "GetDimeFatos", {Arg::Ref(code), "", "", "", Arg::Ref(dimes), Arg::Ref(facts)});
  EXPECT_TRUE(result.IsEmpty());
  EXPECT_EQ(code, Variant("FATO_VENDAS"));
  EXPECT_EQ(Rows(dimes).size(), 3u);
  EXPECT_EQ(Rows(facts).size(), 2u);
}

TEST_F(OverSocket, RefusalsAreResultsAndBadCallsAreFailuresThatKeepTheConnection) {
  auto c = Client();
  Variant r = c->AppServer().Call("getVdDrill", {"FATO_ESTOQUE", "FATO_VENDAS", "", ""});
  EXPECT_EQ(ErrorText(r), "NOT_TAB_DRILLFATO_ESTOQUE");
  EXPECT_THROW(c->AppServer().Call("GetTabelas", {""}), net::ECallError);
  EXPECT_THROW(c->AppServer().Call("SetTabelas", {Variant::ByteArray({'Q', 'M', 'X', 'P', 9})}),
               net::ECallError);
  EXPECT_THROW(c->AppServer().Call("Nada"), net::ECallError);
  EXPECT_TRUE(c->Connected());
  EXPECT_EQ(Rows(c->AppServer().Call("GetTabelas", {"", false})).size(), 3u);
}

TEST_F(OverSocket, TwoClientsUpdatingTheSameRowTheSecondIsRefusedNothingLost) {
  auto a = Client(), b = Client();
  DeltaBuilder first(kFactFields), second(kFactFields);
  first.Modify(Venda("Valor vendido"), Venda("Valor bruto"));
  second.Modify(Venda("Valor vendido"), Venda("Valor líquido"));
  EXPECT_TRUE(a->AppServer().Call("SetFatos", {first.Build(), "FATO_VENDAS"}).IsEmpty());
  EXPECT_EQ(ErrorText(b->AppServer().Call("SetFatos", {second.Build(), "FATO_VENDAS"})),
            kChangedMeanwhile);
  EXPECT_EQ(ValueOf(Facts(b->AppServer(), "FATO_VENDAS"), "CDITEMDW", "VL_VENDA", "NMITEMDW"),
            "Valor bruto");
  // Only the change made is in the history, with the connection it came from.
  auto history = OpenStorage(db_.target())->ReadHistory({});
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ((*history[0].after)[fato::NMITEMDW], "Valor bruto");
  const std::string& peer = history[0].origin.peer_address;
  EXPECT_TRUE(peer.starts_with("127.0.0.1:") && peer.size() > 10) << peer;
  // And the server that took the call, by the address it listens on.
  EXPECT_EQ(history[0].origin.server, "127.0.0.1:" + std::to_string(server_.Port()));
  // The client names its user in the handshake, and the history keeps it,
  // marked as a name no password proved (the server has no account).
  EXPECT_EQ(history[0].origin.user_name, net::CurrentUserName() + " (não verificado)");
  EXPECT_FALSE(history[0].origin.user_name.empty());
}

TEST_F(OverSocket, ConcurrentWritersEachGetTheirOwnSessionAndAllSucceed) {
  // Each client renames a fact of its own, many times, reading it back each time.
  const char* tables[] = {"FATO_VENDAS", "FATO_ESTOQUE", "FATO_FINANCEIRO"};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      try {
        auto c = Client();
        std::string table = tables[t % 3];
        for (int i = 0; i < 15; ++i) {
          auto facts = Facts(c->AppServer(), table);
          const Row& f = facts[t / 3];
          std::vector<std::string> old_values, new_values;
          for (const db::PacketField& field : kFactFields) old_values.push_back(f.at(field.name));
          new_values = old_values;
          new_values[4] = "Fato " + std::to_string(t) + "." + std::to_string(i);
          Variant r = c->AppServer().Call(
              "SetFatos",
              {DeltaBuilder(kFactFields).Modify(old_values, new_values).Build(), table});
          if (!r.IsEmpty()) ++failures;
        }
      } catch (...) {
        ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  auto c = Client();
  for (int t = 0; t < 6; ++t)
    EXPECT_EQ(Facts(c->AppServer(), tables[t % 3])[t / 3].at("NMITEMDW"),
              "Fato " + std::to_string(t) + ".14");
}

// A raw client that sends a whole write call and leaves without its answer.
int RawConnect(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST_F(OverSocket, ClientVanishingMidCallLeavesTheChangeWholeAndOthersServed) {
  int fd = RawConnect(server_.Port());
  ASSERT_GE(fd, 0);
  std::vector<uint8_t> bytes;
  net::EncodeHello(bytes, RdmEstrutura::kObjectName);
  std::vector<Arg> args{
      DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Compras", "N"}).Build()};
  net::EncodeCall(bytes, 1, "SetTabelas", args);
  ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  shutdown(fd, SHUT_RDWR);
  close(fd);

  // Half a frame, then gone: nothing of it is run.
  fd = RawConnect(server_.Port());
  ASSERT_GE(fd, 0);
  bytes.clear();
  net::EncodeHello(bytes, RdmEstrutura::kObjectName);
  std::vector<Arg> drop{DeltaBuilder(kTableFields).Delete({"FATO_VENDAS", "Vendas", "N"}).Build()};
  net::EncodeCall(bytes, 1, "SetTabelas", drop);
  send(fd, bytes.data(), bytes.size() - 3, MSG_NOSIGNAL);
  close(fd);

  auto c = Client();
  std::vector<std::string> codes;
  for (int i = 0; i < 200; ++i) {
    codes = Column(c->AppServer().Call("GetTabelas", {"", false}), "CDTABELADW");
    if (codes.size() == 4) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"FATO_COMPRAS", "FATO_ESTOQUE", "FATO_FINANCEIRO",
                                             "FATO_VENDAS"}));
  EXPECT_EQ(Facts(c->AppServer(), "FATO_VENDAS").size(), 2u);
}

TEST_F(OverSocket, OversizedFrameClosesThatConnectionOnly) {
  auto good = Client();
  ASSERT_EQ(good->AppServer().Call("GetInicial").Length(), 4u);
  int fd = RawConnect(server_.Port());
  ASSERT_GE(fd, 0);
  std::vector<uint8_t> bytes;
  net::EncodeHello(bytes, RdmEstrutura::kObjectName);
  for (uint8_t b : {0xF0, 0xFF, 0xFF, 0x7F}) bytes.push_back(b);  // a 2 GiB frame announced
  ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  timeval limit{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  uint8_t buf[256];
  ssize_t n;
  while ((n = recv(fd, buf, sizeof buf, 0)) > 0) {
  }  // the accept frame, perhaps a failure text, then the end
  EXPECT_EQ(n, 0) << "the server kept a connection that announced an oversized frame";
  close(fd);
  EXPECT_EQ(Rows(good->AppServer().Call("GetTabelas", {"", true})).size(), 2u);
}

TEST(EmbeddedServerLifetime, StopFinishesAndTheTemporaryDatabaseIsRemoved) {
  std::string path;
  {
    EmbeddedServer server;
    path = server.DatabasePath();
    EXPECT_TRUE(std::filesystem::exists(path));
    auto session = server.NewSession();
    std::vector<Variant> none;
    EXPECT_EQ(session->Invoke("GetInicial", none).Length(), 4u);
    server.Stop();
    server.Stop();
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace appserver::testing
