// The client connection against a real server on an ephemeral loopback port.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "test_server.h"

namespace net::testing {
namespace {

using rtl::Variant;

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = StartServer(Options(probe_));
    Aim(conn_, server_->Port());
  }
  std::string FailureOf(std::string_view method, std::vector<Arg> args = {}) {
    try {
      conn_.AppServer().Call(method, std::move(args));
    } catch (const ECallError& e) {
      detail_ = e.Detail();
      return e.Message();
    }
    return "(sem falha)";
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(server_->Port()); }

  Probe probe_;
  std::unique_ptr<Server> server_;
  TSocketConnection conn_{nullptr};
  std::string detail_;  // of the last failure
};

TEST_F(ConnectionTest, ByRefArgumentsReceiveTheServerValues) {
  Variant a = "primeiro", b = Variant::Array({Variant(1), Variant::Null()});
  EXPECT_EQ(conn_.AppServer().Call("Swap", {Arg::Ref(a), Arg::Ref(b)}), Variant("ok"));
  EXPECT_EQ(a, Variant::Array({Variant(1), Variant::Null()}));
  EXPECT_EQ(b, Variant("primeiro"));

  // By-value arguments between by-reference ones keep their place.
  Variant dime, fatos = "antes";
  EXPECT_TRUE(
      conn_.AppServer().Call("Fill", {Arg("TAB01"), Arg::Ref(dime), Arg::Ref(fatos)}).IsEmpty());
  EXPECT_EQ(dime, Variant::ByteArray({1, 2, 3}));
  EXPECT_EQ(fatos, Variant("fatos de TAB01"));

  // A by-value argument is never written back.
  Variant kept = "mantido";
  conn_.AppServer().Call("Swap", {Arg(kept), Arg::Ref(b)});
  EXPECT_EQ(kept, Variant("mantido"));
  EXPECT_EQ(b, Variant("mantido"));
}

TEST_F(ConnectionTest, CallsOpenTheConnectionAndKeepItsObject) {
  EXPECT_FALSE(conn_.Connected());
  EXPECT_EQ(conn_.AppServer().Call("Count"), Variant(1));
  EXPECT_TRUE(conn_.Connected());
  EXPECT_EQ(conn_.AppServer().Call("Count"), Variant(2));
  EXPECT_EQ(conn_.AppServer().Call("Echo", {Variant("ação ✓")}), Variant("ação ✓"));
  EXPECT_EQ(probe_.objects, 1);
}

TEST_F(ConnectionTest, LargeValuesTravelWhole) {
  // Sizes around the read buffer (64 KiB) and well beyond it.
  for (size_t n : {size_t{65535}, size_t{65536}, size_t{70000}, size_t{3} << 20}) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    const Variant packet = Variant::ByteArray(bytes);
    EXPECT_EQ(conn_.AppServer().Call("Echo", {packet}), packet) << n;
  }
}

TEST_F(ConnectionTest, CallFailuresCarryTheServerTextAndKeepTheConnection) {
  EXPECT_EQ(FailureOf("Fail", {Arg("Tabela bloqueada")}), "Tabela bloqueada");
  EXPECT_EQ(FailureOf("Boom"), "erro interno do objeto");
  EXPECT_EQ(FailureOf("NaoExiste"), "Método desconhecido: NaoExiste");
  EXPECT_EQ(FailureOf("Echo", {Arg(1), Arg(2)}), "Número de argumentos errado");
  EXPECT_TRUE(conn_.Connected());
  EXPECT_EQ(conn_.AppServer().Call("Count"), Variant(5));  // same object throughout
}

TEST_F(ConnectionTest, ValuesTheProtocolCannotCarryFailBeforeSending) {
  const std::string message = FailureOf("Echo", {Arg(std::string("\xc3("))});
  EXPECT_NE(message.find("não puderam ser enviados ao servidor " + Address()), std::string::npos)
      << message;
  EXPECT_EQ(message.find("Echo"), std::string::npos) << message;
  EXPECT_NE(detail_.find("Echo"), std::string::npos) << detail_;
  EXPECT_EQ(conn_.AppServer().Call("Count"), Variant(1));
}

TEST_F(ConnectionTest, WrongObjectNameIsRefusedByTheServer) {
  conn_.SetServerName("QMX00600.rdmOutro");
  try {
    conn_.Open();
    FAIL();
  } catch (const ECallError& e) {
    EXPECT_EQ(e.Message(),
              "O servidor de aplicação em 127.0.0.1:" + std::to_string(server_->Port()) +
                  " recusou a conexão: objeto remoto desconhecido: QMX00600.rdmOutro");
  }
  EXPECT_FALSE(conn_.Connected());
  conn_.SetServerName("");
  try {
    conn_.Open();
    ADD_FAILURE();
  } catch (const ECallError& e) {
    EXPECT_NE(e.Message().find("nome do objeto remoto inválido"), std::string::npos);
  }
  EXPECT_EQ(probe_.objects, 0);
}

TEST_F(ConnectionTest, UnreachableServerIsNamedInTheMessage) {
  const uint16_t port = server_->Port();
  server_->Stop();
  conn_.SetPort(port);
  try {
    conn_.Open();
    FAIL();
  } catch (const ECallError& e) {
    EXPECT_EQ(e.Message(),
              "Não foi possível conectar ao servidor 127.0.0.1:" + std::to_string(port) +
                  " (conexão recusada). Verifique se o servidor está em execução.");
    // The system's own text is for the log.
    EXPECT_NE(e.Detail().find("127.0.0.1:" + std::to_string(port)), std::string::npos);
    EXPECT_GT(e.Detail().size(),
              std::string("conexão a 127.0.0.1:" + std::to_string(port) + ": ").size());
  }
  EXPECT_FALSE(conn_.Connected());
}

TEST_F(ConnectionTest, SilentServerTimesOutTheHandshake) {
  // A listening socket that never accepts: the kernel completes the TCP
  // connection, nobody answers the handshake.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(fd, 4), 0);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  conn_.SetPort(ntohs(a.sin_port));
  conn_.SetConnectTimeoutMs(150);
  try {
    conn_.Open();
    ADD_FAILURE();
  } catch (const ECallError& e) {
    EXPECT_EQ(e.Message(), "Não foi possível conectar ao servidor 127.0.0.1:" +
                               std::to_string(ntohs(a.sin_port)) +
                               " (o servidor não respondeu). Verifique se o endereço é o do "
                               "servidor de aplicação e tente novamente.");
    EXPECT_NE(e.Detail().find("handshake"), std::string::npos) << e.Detail();
  }
  EXPECT_FALSE(conn_.Connected());
  close(fd);
}

TEST_F(ConnectionTest, BeforeConnectRunsOnEveryOpenAndSetsTheAddress) {
  Probe other_probe;
  auto other = StartServer(Options(other_probe, 2));
  int opens = 0, after_connect = 0, after_disconnect = 0;
  uint16_t port = server_->Port();
  conn_.SetPort(1);  // never used: BeforeConnect replaces it
  conn_.BeforeConnect = [&](rtl::TObject* sender) {
    ++opens;
    auto* c = dynamic_cast<TSocketConnection*>(sender);
    c->SetHost("127.0.0.1");
    c->SetPort(port);
  };
  conn_.AfterConnect = [&](rtl::TObject*) { ++after_connect; };
  conn_.AfterDisconnect = [&](rtl::TObject*) { ++after_disconnect; };

  conn_.SetConnected(true);
  conn_.SetConnected(true);  // already open: nothing runs
  EXPECT_EQ(conn_.AppServer().Call("ServerId"), Variant(1));
  conn_.SetConnected(false);
  port = other->Port();
  EXPECT_EQ(conn_.AppServer().Call("ServerId"), Variant(2));  // the call opened it again
  EXPECT_EQ(opens, 2);
  EXPECT_EQ(after_connect, 2);
  EXPECT_EQ(after_disconnect, 1);
}

TEST_F(ConnectionTest, AFailingBeforeConnectLeavesTheConnectionClosed) {
  conn_.BeforeConnect = [](rtl::TObject*) { throw rtl::Exception("sem endereço"); };
  EXPECT_THROW(conn_.Open(), rtl::Exception);
  EXPECT_FALSE(conn_.Connected());
}

TEST_F(ConnectionTest, LostServerFailsTheCallThenTheNextCallReconnects) {
  int opens = 0, disconnects = 0;
  conn_.BeforeConnect = [&](rtl::TObject*) { ++opens; };
  conn_.AfterDisconnect = [&](rtl::TObject*) { ++disconnects; };
  EXPECT_EQ(conn_.AppServer().Call("Count"), Variant(1));

  const uint16_t port = server_->Port();
  server_.reset();  // stops it and closes every connection
  const std::string message = FailureOf("Count");
  EXPECT_EQ(message, "A conexão com o servidor 127.0.0.1:" + std::to_string(port) +
                         " foi perdida durante a operação; tente novamente.");
  EXPECT_NE(detail_.find("Count"), std::string::npos) << detail_;
  EXPECT_FALSE(conn_.Connected());
  EXPECT_EQ(disconnects, 1);

  // While it is down, each call fails at connecting.
  EXPECT_NE(FailureOf("Count").find("Não foi possível conectar ao servidor 127.0.0.1:" +
                                    std::to_string(port) + " (conexão recusada)"),
            std::string::npos);

  ServerOptions again = Options(probe_);
  again.port = port;
  server_ = StartServer(std::move(again));
  EXPECT_EQ(conn_.AppServer().Call("Count"), Variant(1));  // a new object on the new server
  EXPECT_EQ(opens, 3);
}

TEST_F(ConnectionTest, CallTimeOutClosesTheConnectionAndTheNextCallReconnects) {
  conn_.SetCallTimeoutMs(100);
  EXPECT_EQ(FailureOf("Sleep", {Arg(600)}),
            "O servidor " + Address() +
                " não respondeu em 100 ms e a conexão foi encerrada. Verifique se a operação foi "
                "concluída e tente novamente.");
  EXPECT_NE(detail_.find("Sleep"), std::string::npos) << detail_;
  EXPECT_FALSE(conn_.Connected());
  // The late answer went to the closed connection; the new one is in step.
  EXPECT_EQ(conn_.AppServer().Call("Echo", {Variant(7)}), Variant(7));
}

TEST_F(ConnectionTest, StopFinishesTheCallInFlight) {
  auto answer =
      std::async(std::launch::async, [&] { return conn_.AppServer().Call("Sleep", {Arg(300)}); });
  while (probe_.sleeping == 0) std::this_thread::yield();
  server_->Stop();
  EXPECT_EQ(answer.get(), Variant("dormiu"));
  EXPECT_EQ(probe_.slept, 1);
  EXPECT_EQ(server_->ConnectionCount(), 0);
}

TEST_F(ConnectionTest, TooLargeFrameClosesOnlyThatConnection) {
  ServerOptions small = Options(probe_);
  small.max_frame_size = 1024;
  auto strict = StartServer(std::move(small));
  TSocketConnection other(nullptr);
  Aim(other, strict->Port());
  EXPECT_EQ(other.AppServer().Call("Echo", {Variant("curto")}), Variant("curto"));
  EXPECT_EQ(conn_.AppServer().Call("Count"), Variant(1));

  try {
    other.AppServer().Call("Echo", {Variant::ByteArray(std::vector<uint8_t>(4000))});
    FAIL();
  } catch (const ECallError& e) {
    // Either the server's reason, if it arrived before the close, or the
    // lost link.
    EXPECT_FALSE(e.Message().empty());
  }
  EXPECT_FALSE(other.Connected());
  EXPECT_EQ(other.AppServer().Call("Echo", {Variant("de novo")}), Variant("de novo"));
  EXPECT_EQ(conn_.AppServer().Call("Count"), Variant(2));
}

TEST_F(ConnectionTest, AnswersTheServerCannotSendBecomeCallFailures) {
  ServerOptions small = Options(probe_);
  small.max_frame_size = 1024;
  auto strict = StartServer(std::move(small));
  conn_.SetPort(strict->Port());
  EXPECT_NE(FailureOf("Big", {Arg(4000)}).find("A resposta de Big não pôde ser enviada"),
            std::string::npos);
  EXPECT_NE(FailureOf("BadText").find("UTF-8 inválido"), std::string::npos);
  EXPECT_TRUE(conn_.Connected());
  EXPECT_EQ(conn_.AppServer().Call("Big", {Arg(10)}).Length(), 10u);
}

TEST_F(ConnectionTest, AnswerAboveTheClientLimitClosesTheConnection) {
  conn_.SetMaxFrameSize(1024);
  const std::string message = FailureOf("Big", {Arg(4000)});
  EXPECT_EQ(message,
            "O servidor " + Address() +
                " enviou uma resposta inválida e a conexão foi encerrada; tente novamente.");
  EXPECT_NE(detail_.find("Big"), std::string::npos) << detail_;
  EXPECT_FALSE(conn_.Connected());
  EXPECT_EQ(conn_.AppServer().Call("Big", {Arg(10)}).Length(), 10u);
}

TEST_F(ConnectionTest, ConnectionsOverTheLimitAreRefused) {
  ServerOptions one = Options(probe_);
  one.max_connections = 1;
  auto limited = StartServer(std::move(one));
  TSocketConnection first(nullptr), second(nullptr);
  for (auto* c : {&first, &second}) Aim(*c, limited->Port());
  first.Open();
  try {
    second.Open();
    FAIL();
  } catch (const ECallError& e) {
    EXPECT_NE(e.Message().find("limite de 1 conexões"), std::string::npos) << e.Message();
  }
  first.Close();
  // The slot is free again once the server has seen the close.
  for (int i = 0; i < 200 && limited->ConnectionCount() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_NO_THROW(second.Open());
}

TEST_F(ConnectionTest, OnCallTellsEveryCall) {
  std::mutex m;
  std::vector<std::string> lines;
  ServerOptions o = Options(probe_);
  o.on_call = [&](const CallRecord& r) {
    std::lock_guard lock(m);
    lines.push_back(std::string(r.method) + (r.ok ? " ok" : " falhou: " + std::string(r.failure)));
  };
  auto logged = StartServer(std::move(o));
  conn_.SetPort(logged->Port());
  conn_.AppServer().Call("Count");
  FailureOf("Fail", {Arg("recusado")});
  logged->Stop();
  EXPECT_EQ(lines, (std::vector<std::string>{"Count ok", "Fail falhou: recusado"}));
}

TEST(ServerTest, ListeningBeyondLoopbackMustBeAskedFor) {
  Probe probe;
  ServerOptions o = Options(probe);
  o.listen_address = "0.0.0.0";
  Server refused(o);
  EXPECT_THROW(refused.Start(), EServerError);
  o.allow_non_loopback = true;
  Server allowed(o);
  EXPECT_NO_THROW(allowed.Start());
  EXPECT_NE(allowed.Port(), 0);
}

TEST(ServerTest, StartNeedsAnObjectAndAFreePort) {
  Server bare(ServerOptions{});
  EXPECT_THROW(bare.Start(), EServerError);
  Probe probe;
  auto first = StartServer(Options(probe));
  ServerOptions same = Options(probe);
  same.port = first->Port();
  Server clash(same);
  EXPECT_THROW(clash.Start(), EServerError);
}

}  // namespace
}  // namespace net::testing
