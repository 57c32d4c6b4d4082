// A server's sessions sharing a few database connections, and a database
// that goes away under a running server: calls are served, what clients read
// is plain Portuguese, and the server uses the database again once it is back.
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "appserver/rules/refusal.h"
#include "appserver/serving/embedded_server.h"
#include "net/socket_connection.h"
#include "rdm_client.h"
#include "rdm_fixture.h"
#include "server_process.h"

namespace appserver::testing {
namespace {

using net::Arg;
using qmxtest::PostgresScalar;
using qmxtest::TestBackend;
using qmxtest::TestDatabase;
using qmxtest::WithApplicationName;

// One desk's mix: the lists, a table's facts, and a rename of the fact all
// desks share (refused when another renamed it first). Returns the failure
// text of the first call that failed, "" when all were answered.
std::string WorkOnce(net::IAppServer& app, const std::string& desk) {
  try {
    Variant r = app.Call("GetInicial", {});
    if (!r.IsArray() || r.Length() != 4) return "GetInicial sem os quatro pacotes";
    Variant code = "FATO_VENDAS", dimes, facts;
    r = app.Call("GetDimeFatos", {Arg::Ref(code), "", "", "", Arg::Ref(dimes), Arg::Ref(facts)});
    if (!ErrorText(r).empty()) return ErrorText(r);
    const std::string now = ValueOf(Rows(facts), "CDITEMDW", "VL_VENDA", "NMITEMDW");
    DeltaBuilder d(kFactFields);
    d.Modify(qmxtest::DemoVenda(now), qmxtest::DemoVenda(desk));
    r = app.Call("SetFatos", {d.Build(), "FATO_VENDAS"});
    if (!r.IsEmpty() && ErrorText(r) != kChangedMeanwhile) return ErrorText(r);
    return "";
  } catch (const std::exception& e) {
    return e.what();
  }
}

std::string ServerSessions(const std::string& conninfo, const std::string& name) {
  return PostgresScalar(
      conninfo, "SELECT count(*) FROM pg_stat_activity WHERE application_name = '" + name + "'");
}

class DatabaseOutage : public ::testing::Test {
 protected:
  void SetUp() override { QMX_REQUIRE_DATABASE(db_); }

  TestDatabase db_{TestBackend::kPostgres};
  TempDir home_;
};

TEST_F(DatabaseOutage, TwelveDesksAreServedByAPoolOfThreeConnections) {
  const std::string name = qmxtest::UniqueName("qmx_pool_");
  EmbeddedServerOptions options;
  options.database_path = WithApplicationName(db_.target().location, name);
  options.schema = db_.target().schema;
  options.demo = DemoSeeding::kRequested;
  options.database_pool = 3;
  EmbeddedServer server(std::move(options));

  // The desks come in one after another (the server admits only a few
  // handshakes at a time from one address), then all work at once.
  constexpr int kDesks = 12;
  std::vector<decltype(qmxtest::RdmClient(0))> clients;
  for (int i = 0; i < kDesks; ++i) {
    clients.push_back(qmxtest::RdmClient(server.Port()));
    ASSERT_NO_THROW(clients.back()->Open()) << "desk " << i;
  }
  std::atomic<int> started{0};
  std::mutex mutex;
  std::vector<std::string> failures;
  std::vector<std::thread> desks;
  for (int i = 0; i < kDesks; ++i)
    desks.emplace_back([&, i] {
      ++started;
      while (started < kDesks) std::this_thread::yield();  // all at once
      for (int round = 0; round < 5; ++round) {
        std::string failed = WorkOnce(clients[i]->AppServer(), "Mesa " + std::to_string(i));
        if (failed.empty()) continue;
        std::lock_guard lock(mutex);
        failures.push_back(failed);
      }
    });
  for (auto& t : desks) t.join();
  for (const std::string& f : failures) ADD_FAILURE() << f;
  // The connections the server keeps open, never more than the pool.
  const int open = std::stoi(ServerSessions(db_.target().location, name));
  EXPECT_GE(open, 1);
  EXPECT_LE(open, 3);
}

TEST_F(DatabaseOutage, TheDatabaseBackAfterACrashIsUsedWithoutRestartingTheServer) {
  if (!std::getenv("QMX_TEST_PG_DIR")) GTEST_SKIP() << "no test cluster of scripts/pg-cluster.sh";
  ServerProcess server({"--db", db_.target().location, "--schema", db_.target().schema, "--listen",
                        "127.0.0.1:0", "--demo", "--db-pool", "3", "--write-wait", "2"},
                       home_.path());
  const uint16_t port = server.Port();
  ASSERT_NE(port, 0) << server.Log();

  constexpr int kDesks = 6;
  std::atomic<bool> resumed{false}, stop{false};
  std::atomic<int> served_after{0};
  std::mutex mutex;
  std::vector<std::string> failures;
  std::vector<std::thread> desks;
  for (int i = 0; i < kDesks; ++i)
    desks.emplace_back([&, i] {
      auto c = qmxtest::RdmClient(port);
      bool served = false;
      while (!stop) {
        std::string failed = WorkOnce(c->AppServer(), "Mesa " + std::to_string(i));
        if (!failed.empty()) {
          std::lock_guard lock(mutex);
          failures.push_back(failed);
        } else if (resumed && !served) {
          served = true;
          ++served_after;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  // The standard error is read meanwhile, so the server never waits on it.
  auto drain = [&](int ms) { server.WaitFor("\x01", ms); };
  drain(500);
  ASSERT_TRUE(qmxtest::CrashTestCluster());
  drain(1500);
  ASSERT_TRUE(qmxtest::ResumeTestCluster());
  resumed = true;
  for (int i = 0; i < 150 && served_after < kDesks; ++i) drain(100);
  stop = true;
  for (auto& t : desks) t.join();
  EXPECT_EQ(served_after, kDesks) << "desks not served again after the database came back";

  // What the desks read: the plain texts, never the database's address or
  // its own words.
  const std::set<std::string> plain = {kUnavailableText, kConnectionLostText, kUnknownOutcomeText,
                                       kBusyText};
  EXPECT_GE(failures.size(), 10u);
  for (const std::string& f : failures) {
    EXPECT_TRUE(plain.count(f)) << f;
    EXPECT_EQ(f.find(std::getenv("QMX_TEST_PG_DIR")), std::string::npos) << f;
  }
  // The log has the detail, with the desk's address, once per burst.
  drain(200);
  const std::string& log = server.Log();
  size_t lines = 0;
  for (size_t at = log.find("BANCO"); at != std::string::npos; at = log.find("BANCO", at + 1))
    ++lines;
  EXPECT_GE(lines, 1u) << log;
  EXPECT_LT(lines * 10, failures.size()) << log;
  EXPECT_NE(log.find("cliente 127.0.0.1"), std::string::npos) << log;
  EXPECT_NE(log.find(std::getenv("QMX_TEST_PG_DIR")), std::string::npos) << log;
}

}  // namespace
}  // namespace appserver::testing
