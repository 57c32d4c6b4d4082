// The qmx-server program itself: start on a fresh data folder, log lines,
// clean shutdown on SIGTERM, and the command lines it refuses.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "net/socket_connection.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

// qmx-server run as a child with its standard error read through a pipe.
class ServerProcess {
 public:
  ServerProcess(std::vector<std::string> args, const std::string& data_home) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      dup2(fds[1], 2);
      close(fds[0]);
      close(fds[1]);
      setenv("XDG_DATA_HOME", data_home.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(QMX_SERVER_BINARY)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(QMX_SERVER_BINARY, argv.data());
      _exit(127);
    }
    close(fds[1]);
    err_ = fds[0];
  }
  ~ServerProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (err_ >= 0) close(err_);
  }

  // Reads standard error until `text` shows up or `ms` pass.
  bool WaitFor(const std::string& text, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (log_.find(text) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{err_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      char buf[512];
      ssize_t n = read(err_, buf, sizeof buf);
      if (n <= 0) return log_.find(text) != std::string::npos;
      log_.append(buf, static_cast<size_t>(n));
    }
    return true;
  }
  uint16_t Port() {
    if (!WaitFor("escutando em 127.0.0.1:")) return 0;
    size_t at = log_.find("escutando em 127.0.0.1:") + 23;
    return static_cast<uint16_t>(std::stoi(log_.substr(at)));
  }
  int Terminate(int signal_number) {
    kill(pid_, signal_number);
    return Wait();
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    exited_ = true;
    WaitFor("\x01", 200);  // drain what is left
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& Log() const { return log_; }

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  bool exited_ = false;
  std::string log_;
};

std::unique_ptr<net::TSocketConnection> Connect(uint16_t port) {
  auto c = std::make_unique<net::TSocketConnection>(nullptr);
  c->SetServerName(std::string(RdmEstrutura::kObjectName));
  c->SetPort(port);
  return c;
}

TEST(ServerBinary, StartsOnAFreshDataFolderCreatesTheDemoAndStopsCleanly) {
  TempDir home;
  ServerProcess server({"--listen", "127.0.0.1:0", "--log-level", "debug"}, home.path());
  uint16_t port = server.Port();
  ASSERT_NE(port, 0) << server.Log();
  EXPECT_TRUE(std::filesystem::exists(home.path() + "/qmx/qmx.db"));
  auto c = Connect(port);
  Variant r = c->AppServer().Call("GetInicial");
  ASSERT_EQ(r.Length(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_FALSE(Rows(r[i]).empty());
  EXPECT_THROW(c->AppServer().Call("GetTabelas"), net::ECallError);
  EXPECT_TRUE(server.WaitFor("FALHA GetTabelas")) << server.Log();
  EXPECT_TRUE(server.WaitFor("CHAMADA GetInicial")) << server.Log();
  EXPECT_EQ(server.Terminate(SIGTERM), 0);
  EXPECT_NE(server.Log().find("Servidor encerrado"), std::string::npos) << server.Log();
}

TEST(ServerBinary, DefaultLevelLogsFailuresOnlyAndReusesTheDatabase) {
  TempDir home;
  {
    ServerProcess first({"--listen", "127.0.0.1:0"}, home.path());
    ASSERT_NE(first.Port(), 0) << first.Log();
    EXPECT_EQ(first.Terminate(SIGINT), 0);
  }
  ServerProcess server({"--listen", "127.0.0.1:0"}, home.path());
  uint16_t port = server.Port();
  ASSERT_NE(port, 0);
  EXPECT_EQ(server.Log().find("criado"), std::string::npos) << server.Log();
  auto c = Connect(port);
  c->AppServer().Call("GetInicial");
  EXPECT_THROW(c->AppServer().Call("Inexistente"), net::ECallError);
  EXPECT_TRUE(server.WaitFor("FALHA Inexistente")) << server.Log();
  EXPECT_EQ(server.Terminate(SIGTERM), 0);
  EXPECT_EQ(server.Log().find("CHAMADA"), std::string::npos) << server.Log();
}

TEST(ServerBinary, RefusesWhatItCannotDoWithAClearMessage) {
  TempDir home;
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--db", "postgresql://localhost/qmx"}, "PostgreSQL"},
      {{"--listen", "10.1.2.3:2160"}, "--allow-remote"},
      {{"--listen", "sem-porta"}, "ADDR:PORTA"},
      {{"--log-level", "verbose"}, "log-level"},
      {{"--max-memory", "0"}, "--max-memory"},
      {{"--allow-remote"}, "--tls-cert, --tls-key e --token-file"},
      {{"--tls-cert", "c.pem", "--tls-key", "k.pem"}, "--token-file"},
      {{"--idle-timeout", "-1"}, "--idle-timeout"},
  };
  for (const Case& c : cases) {
    ServerProcess p(c.args, home.path());
    EXPECT_NE(p.Wait(), 0) << c.says;
    EXPECT_NE(p.Log().find(c.says), std::string::npos) << p.Log();
  }
  EXPECT_FALSE(std::filesystem::exists(home.path() + "/qmx"));
}

// Secure mode on a loopback address: what --allow-remote requires, tried
// without leaving this machine.
TEST(ServerBinary, WithTlsAndATokenOnlySecureClientsWithTheTokenAreServed) {
  TempDir home;
  const std::string tls = QMX_TLS_TEST_DIR;
  const std::string token_file = home.path() + "/token";
  std::ofstream(token_file) << "  segredo-do-servidor\n";
  ServerProcess server(
      {"--listen", "127.0.0.1:0", "--allow-remote", "--tls-cert", tls + "/server.pem", "--tls-key",
       tls + "/server-key.pem", "--token-file", token_file},
      home.path());
  const uint16_t port = server.Port();
  ASSERT_NE(port, 0) << server.Log();
  EXPECT_NE(server.Log().find("TLS"), std::string::npos) << server.Log();

  auto secure = Connect(port);
  secure->SetSecurity({"segredo-do-servidor", tls + "/ca.pem", "ana"});
  EXPECT_EQ(secure->AppServer().Call("GetInicial").Length(), 4u);
  auto plain = Connect(port);
  plain->SetSecurity({"segredo-do-servidor", "", "ana"});
  EXPECT_THROW(plain->Open(), net::ECallError);
  auto wrong = Connect(port);
  wrong->SetSecurity({"segredo", tls + "/ca.pem", "ana"});
  EXPECT_THROW(wrong->Open(), net::ECallError);
  EXPECT_EQ(server.Terminate(SIGTERM), 0);
}

TEST(ServerBinary, HelpNamesEveryLimitAndItsDefault) {
  TempDir home;
  ServerProcess p({"--help"}, home.path());
  EXPECT_EQ(p.Wait(), 0);
  for (const char* option : {"--max-connections", "--max-memory", "--idle-timeout", "--write-wait"})
    EXPECT_NE(p.Log().find(option), std::string::npos) << option << "\n" << p.Log();
  EXPECT_NE(p.Log().find("padrão 256"), std::string::npos) << p.Log();
}

}  // namespace
}  // namespace appserver::testing
