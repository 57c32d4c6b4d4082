// Three qmx-server processes on one PostgreSQL database, clients spread
// across them: conflicting changes, many clients at once, and a server killed
// in the middle of a save.
#include <libpq-fe.h>

#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "appserver/rules/refusal.h"
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

constexpr int kServers = 3;

class SeveralServers : public ::testing::Test {
 protected:
  void SetUp() override {
    QMX_REQUIRE_DATABASE(db_);
    // Started together on a new schema: they agree on who creates it.
    for (int i = 0; i < kServers; ++i) {
      names_.push_back(qmxtest::UniqueName("qmx_srv" + std::to_string(i) + "_"));
      servers_.push_back(std::make_unique<ServerProcess>(
          std::vector<std::string>{"--db", WithApplicationName(db_.target().location, names_[i]),
                                   "--schema", db_.target().schema, "--listen", "127.0.0.1:0",
                                   "--demo"},
          home_.path()));
    }
    for (auto& s : servers_) {
      ports_.push_back(s->Port());
      ASSERT_NE(ports_.back(), 0) << s->Log();
    }
    EXPECT_EQ(PostgresScalar(db_.target().location,
                             "SELECT count(*) FROM " + db_.target().schema + ".\"QMX_TABELA\""),
              "5");
  }

  std::unique_ptr<net::TSocketConnection> Client(int server) {
    return qmxtest::RdmClient(ports_[server % kServers]);
  }

  static std::vector<Row> Facts(net::IAppServer& app, const std::string& table) {
    Variant code = table, dimes, facts;
    Variant r =
        app.Call("GetDimeFatos", {Arg::Ref(code), "", "", "", Arg::Ref(dimes), Arg::Ref(facts)});
    EXPECT_EQ(ErrorText(r), "");
    return Rows(facts);
  }

  // A fact row in the field order of kFactFields.
  static std::vector<std::string> Fact(const std::string& table, const std::string& column,
                                       const std::string& name) {
    return {"S", table, column, "00001", name, "M", "", ""};
  }
  static std::vector<std::string> Venda(const std::string& name) {
    return qmxtest::DemoVenda(name);
  }

  // A warehouse table of `numbers` numeric columns VL_01..., registered as a
  // fact table.
  void AddFactTable(const std::string& table, int numbers) {
    std::string ddl = "CREATE TABLE " + table + " (cd_chave INTEGER";
    for (int i = 1; i <= numbers; ++i) ddl += ", vl_" + std::to_string(100 + i) + " NUMERIC(15,2)";
    db_.Execute(ddl + ")");
    auto c = Client(0);
    Variant r = c->AppServer().Call(
        "SetTabelas", {DeltaBuilder(kTableFields).Insert({table, table, "N"}).Build()});
    ASSERT_EQ(ErrorText(r), "");
  }

  TestDatabase db_{TestBackend::kPostgres};
  TempDir home_;
  std::vector<std::string> names_;
  std::vector<std::unique_ptr<ServerProcess>> servers_;
  std::vector<uint16_t> ports_;
};

TEST_F(SeveralServers, SameRowThroughTwoServersExactlyOneWinsNothingLost) {
  auto reader = Client(0);
  std::string current = "Valor vendido";
  for (int round = 0; round < 10; ++round) {
    std::atomic<int> ready{0};
    Variant answers[2];
    std::thread people[2];
    for (int p = 0; p < 2; ++p)
      people[p] = std::thread([&, p] {
        auto c = Client(1 + p);  // servers 1 and 2
        c->Open();
        DeltaBuilder change(kFactFields);
        change.Modify(Venda(current), Venda("Nome " + std::to_string(round) + "." + "AB"[p]));
        Variant delta = change.Build();
        ++ready;
        while (ready < 2) std::this_thread::yield();
        answers[p] = c->AppServer().Call("SetFatos", {delta, "FATO_VENDAS"});
      });
    for (auto& t : people) t.join();
    int won = -1, refused = 0;
    for (int p = 0; p < 2; ++p) {
      if (answers[p].IsEmpty())
        won = p;
      else if (ErrorText(answers[p]) == kChangedMeanwhile)
        ++refused;
    }
    ASSERT_NE(won, -1) << "round " << round << ": nobody won";
    ASSERT_EQ(refused, 1) << "round " << round << ": " << ErrorText(answers[1 - won]);
    current = "Nome " + std::to_string(round) + "." + "AB"[won];
    auto facts = Facts(reader->AppServer(), "FATO_VENDAS");
    EXPECT_EQ(facts.size(), 2u);
    EXPECT_EQ(ValueOf(facts, "CDITEMDW", "VL_VENDA", "NMITEMDW"), current);
    EXPECT_EQ(ValueOf(facts, "CDITEMDW", "VL_VENDA", "CDTABDRILL"), "DRILL_VENDAS_DIA");
  }
}

// Sixteen clients, a few hundred mixed calls each, over the three servers.
// Each client owns a fact table whose facts only it changes, so it knows what
// the database must hold; all of them rename one shared fact, where losing a
// race is a refusal and every acknowledged rename must be in the chain of
// names the fact went through.
TEST_F(SeveralServers, SixteenClientsMixedCallsDatabaseEqualsWhatWasAcknowledged) {
  constexpr int kClients = 16, kCalls = 200, kColumns = 8;
  for (int c = 0; c < kClients; ++c) AddFactTable("fato_cliente_" + std::to_string(c), kColumns);

  std::mutex mutex;
  std::vector<std::string> failures;
  std::map<std::string, std::string> renames;  // acknowledged: old name -> new name
  std::vector<std::map<std::string, std::string>> models(kClients);  // column -> name
  std::atomic<int> refused_shared{0};

  auto client = [&](int id) {
    auto fail = [&](const std::string& what) {
      std::lock_guard lock(mutex);
      failures.push_back("cliente " + std::to_string(id) + ": " + what);
    };
    std::mt19937 random(static_cast<unsigned>(id));
    const std::string table = "FATO_CLIENTE_" + std::to_string(id);
    auto& model = models[id];
    auto conn = Client(id);
    net::IAppServer& app = conn->AppServer();
    try {
      for (int call = 0; call < kCalls; ++call) {
        int pick = static_cast<int>(random() % 100);
        std::string column = "VL_" + std::to_string(101 + static_cast<int>(random() % kColumns));
        bool has = model.count(column) > 0;
        if (pick < 15) {
          Variant r = app.Call("GetInicial");
          if (!r.IsArray() || r.Length() != 4) fail("GetInicial sem os quatro pacotes");
        } else if (pick < 30) {
          std::map<std::string, std::string> stored;
          for (const Row& f : Facts(app, table)) stored[f.at("CDITEMDW")] = f.at("NMITEMDW");
          if (stored != model) fail("GetDimeFatos difere do que foi confirmado");
        } else if (pick < 40) {
          Variant free = app.Call("GetFields", {"F", table});
          std::set<std::string> offered;
          for (const std::string& f : Column(free, "CDFIELD")) offered.insert(f);
          for (int i = 0; i < kColumns; ++i) {
            std::string col = "VL_" + std::to_string(101 + i);
            if (offered.count(col) == model.count(col))
              fail("GetFields ofereceu " + col + " errado");
          }
        } else if (pick < 80) {
          // Insert, rename or delete one of its own facts: never refused.
          DeltaBuilder d(kFactFields);
          std::string name = "F" + std::to_string(call);
          if (!has)
            d.Insert(Fact(table, column, name));
          else if (pick < 60)
            d.Modify(Fact(table, column, model[column]), Fact(table, column, name));
          else
            d.Delete(Fact(table, column, model[column]));
          Variant r = app.Call("SetFatos", {d.Build(), table});
          if (!r.IsEmpty()) {
            fail("SetFatos recusado: " + ErrorText(r));
          } else if (has && pick >= 60) {
            model.erase(column);
          } else {
            model[column] = name;
          }
        } else {
          std::string now = ValueOf(Facts(app, "FATO_VENDAS"), "CDITEMDW", "VL_VENDA", "NMITEMDW");
          std::string next = "C" + std::to_string(id) + "." + std::to_string(call);
          DeltaBuilder d(kFactFields);
          d.Modify(Venda(now), Venda(next));
          Variant r = app.Call("SetFatos", {d.Build(), "FATO_VENDAS"});
          if (r.IsEmpty()) {
            std::lock_guard lock(mutex);
            if (!renames.emplace(now, next).second) failures.push_back("dois renomearam " + now);
          } else if (ErrorText(r) == kChangedMeanwhile) {
            ++refused_shared;
          } else {
            fail("renomear o fato comum: " + ErrorText(r));
          }
        }
      }
    } catch (const std::exception& e) {
      fail(std::string("falha de chamada: ") + e.what());
    }
  };
  std::vector<std::thread> threads;
  for (int c = 0; c < kClients; ++c) threads.emplace_back(client, c);
  for (auto& t : threads) t.join();
  for (const std::string& f : failures) ADD_FAILURE() << f;

  auto check = Client(2);
  for (int c = 0; c < kClients; ++c) {
    std::map<std::string, std::string> stored;
    for (const Row& f : Facts(check->AppServer(), "FATO_CLIENTE_" + std::to_string(c)))
      stored[f.at("CDITEMDW")] = f.at("NMITEMDW");
    EXPECT_EQ(stored, models[c]) << "cliente " << c;
  }
  // The shared fact went through every acknowledged rename, one after another.
  std::string name = "Valor vendido";
  size_t steps = 0;
  for (auto it = renames.find(name); it != renames.end(); it = renames.find(name), ++steps)
    name = it->second;
  EXPECT_EQ(steps, renames.size());
  EXPECT_EQ(ValueOf(Facts(check->AppServer(), "FATO_VENDAS"), "CDITEMDW", "VL_VENDA", "NMITEMDW"),
            name);
  EXPECT_GT(renames.size(), 0u);
}

TEST_F(SeveralServers, AServerKilledDuringASaveLeavesItWholeOrAbsentAndTheOthersServe) {
  constexpr int kFacts = 60;
  AddFactTable("fato_grande", kFacts);
  DeltaBuilder big(kFactFields);
  for (int i = 1; i <= kFacts; ++i)
    big.Insert(Fact("FATO_GRANDE", "VL_" + std::to_string(100 + i), "Fato " + std::to_string(i)));
  Variant delta = big.Build();

  const int victim = 2;
  std::atomic<bool> answered{false};
  std::thread saver([&] {
    auto c = Client(victim);
    try {
      c->AppServer().Call("SetFatos", {delta, "FATO_GRANDE"});
      answered = true;
    } catch (const std::exception&) {
      // The server died under the call.
    }
  });
  // The save is under way once its server's session holds the writers' lock.
  const std::string holding =
      "SELECT count(*) FROM pg_locks l JOIN pg_stat_activity a "
      "ON a.pid = l.pid WHERE l.locktype = 'advisory' AND l.granted "
      "AND a.application_name = '" +
      names_[victim] + "'";
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (PostgresScalar(db_.target().location, holding) != "1" && !answered &&
         std::chrono::steady_clock::now() < until) {
  }
  servers_[victim]->Terminate(SIGKILL);
  saver.join();

  // The others serve, reads and writes alike.
  auto a = Client(0), b = Client(1);
  EXPECT_EQ(a->AppServer().Call("GetInicial").Length(), 4u);
  DeltaBuilder rename(kFactFields);
  rename.Modify(Venda("Valor vendido"), Venda("Depois da queda"));
  EXPECT_TRUE(b->AppServer().Call("SetFatos", {rename.Build(), "FATO_VENDAS"}).IsEmpty());
  size_t stored = Facts(a->AppServer(), "FATO_GRANDE").size();
  EXPECT_TRUE(stored == 0 || stored == kFacts) << stored << " of " << kFacts << " facts stored";
  if (answered) {
    EXPECT_EQ(stored, static_cast<size_t>(kFacts));
  }
}

}  // namespace
}  // namespace appserver::testing
