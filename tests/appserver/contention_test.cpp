// A save that meets another save in progress: it waits for it up to the
// server's configured wait, and past that the person reads a plain text that
// says the server is busy, never the database's own words. The text is the
// storage contract's kBusyText, word for word, on either backend.
#include <chrono>
#include <thread>

#include "appserver/database/database.h"
#include "appserver/serving/embedded_server.h"
#include "net/socket_connection.h"
#include "rdm_client.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

using net::Arg;

std::unique_ptr<net::TSocketConnection> Client(const EmbeddedServer& server) {
  return qmxtest::RdmClient(server.Port());
}

Variant RenameFinanceiro(net::TSocketConnection& c, const std::string& from,
                         const std::string& to) {
  return c.AppServer().Call(
      "SetTabelas", {DeltaBuilder(kTableFields)
                         .Modify({"FATO_FINANCEIRO", from, "N"}, {"FATO_FINANCEIRO", to, "N"})
                         .Build()});
}

std::string Name(net::TSocketConnection& c) {
  Variant code = "FATO_FINANCEIRO";
  return Rows(c.AppServer().Call("GetTabelas", {Arg::Ref(code), false})).at(0).at("NMTABELADW");
}

// Another session holding the database's write lock, as a long save does.
class SaveInProgress {
 public:
  explicit SaveInProgress(const DatabaseTarget& target) : storage_(OpenStorage(target)) {
    storage_->Begin(TransactionKind::kWrite);
  }
  ~SaveInProgress() { storage_->Rollback(); }
  void End() { storage_->Rollback(); }

 private:
  std::unique_ptr<Storage> storage_;
};

// A server on a fresh database of the selected backend, saves waiting
// `write_wait_ms` for one another.
class WriteContention : public ::testing::Test {
 protected:
  void SetUp() override { QMX_REQUIRE_DATABASE(db_); }
  EmbeddedServerOptions Options(int write_wait_ms) const {
    EmbeddedServerOptions o;
    o.database_path = db_.target().location;
    o.schema = db_.target().schema;
    o.write_wait_ms = write_wait_ms;
    return o;
  }
  qmxtest::TestDatabase db_;
};

TEST_F(WriteContention, AWriterWaitsForTheSaveInProgressAndThenSaves) {
  EmbeddedServer server(Options(20000));
  auto c = Client(server);
  c->Open();
  SaveInProgress other(db_.target());
  std::thread ender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    other.End();
  });
  const auto t0 = std::chrono::steady_clock::now();
  Variant r = RenameFinanceiro(*c, "Financeiro", "Finanças");
  const auto waited = std::chrono::steady_clock::now() - t0;
  ender.join();
  EXPECT_EQ(ErrorText(r), "");
  EXPECT_GE(waited, std::chrono::milliseconds(350));  // it did wait for the other save
  EXPECT_EQ(Name(*c), "Finanças");
}

TEST_F(WriteContention, PastTheWaitThePersonReadsThatTheServerIsBusyAndNothingChanges) {
  EmbeddedServer server(Options(150));
  auto writer = Client(server), reader = Client(server);
  {
    SaveInProgress other(db_.target());
    try {
      RenameFinanceiro(*writer, "Financeiro", "Finanças");
      FAIL() << "the save went through a write in progress";
    } catch (const net::ECallError& e) {
      EXPECT_EQ(e.Message(), kBusyText);
    }
    // Readers are not held up by the save in progress.
    EXPECT_EQ(Name(*reader), "Financeiro");
  }
  // The connection stays usable and the same save now goes through.
  EXPECT_TRUE(writer->Connected());
  EXPECT_EQ(ErrorText(RenameFinanceiro(*writer, "Financeiro", "Finanças")), "");
  EXPECT_EQ(Name(*reader), "Finanças");
}

}  // namespace
}  // namespace appserver::testing
