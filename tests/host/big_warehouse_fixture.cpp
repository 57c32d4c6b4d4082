#include "big_warehouse_fixture.h"

#include <QApplication>
#include <QTest>
#include <cstdio>
#include <map>
#include <mutex>

#include "orb/server_address.h"
#include "test_database.h"

namespace host_test {
namespace {

std::string Padded(int number, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, number);
  return text;
}

std::string DrillTable(int number) {
  return "DRILL_X_" + Padded(number, 3);
}

// Fact tables from here on have facts.
constexpr int kFirstWithFacts = 4971;

// One INSERT of many rows, its values generated here (never typed by anyone).
class Rows {
 public:
  explicit Rows(const char* table) : sql_(std::string("INSERT INTO ") + table + " VALUES ") {}
  void Add(std::initializer_list<std::string> values) {
    sql_ += rows_++ ? ",(" : "(";
    bool first = true;
    for (const std::string& v : values) {
      sql_ += (first ? "'" : ",'") + v + "'";
      first = false;
    }
    sql_ += ")";
  }
  std::string Sql() const { return rows_ ? sql_ + ";\n" : std::string(); }

 private:
  std::string sql_;
  int rows_ = 0;
};

std::string BigWarehouseSql() {
  Rows tables("QMX_TABELA"), facts("QMX_FATO"), dimes("QMX_DIME");
  for (int i = 1; i <= BigWarehouseTest::kFactTables; ++i) {
    const std::string code = "FATO_X_" + Padded(i, 5);
    tables.Add({code, "Tabela fato " + std::to_string(i), "N"});
    if (i < kFirstWithFacts) continue;
    for (int f = 1; f <= 5; ++f)
      facts.Add({code, "VL_0" + std::to_string(f), "N", "00001", "Valor " + std::to_string(f), "M",
                 "", DrillTable((i * 7) % BigWarehouseTest::kDrillTables + 1)});
    dimes.Add({code, "CD_01", "00001"});
    dimes.Add({code, "CD_02", "00002"});
  }
  for (int i = 1; i <= BigWarehouseTest::kDrillTables; ++i)
    tables.Add({DrillTable(i), "Tabela drill " + std::to_string(i), "S"});
  return "BEGIN;\n" + tables.Sql() + facts.Sql() + dimes.Sql() + "COMMIT;\n";
}

}  // namespace

struct BigWarehouseTest::Served {
  qmxtest::TestDatabase database{qmxtest::TestBackend::kSqlite};
  std::mutex mutex;
  std::map<std::string, int> calls;
  std::unique_ptr<appserver::EmbeddedServer> server;
};

std::unique_ptr<BigWarehouseTest::Served> BigWarehouseTest::served_;

void BigWarehouseTest::SetUpTestSuite() {
  served_ = std::make_unique<Served>();
  served_->database.Prepare(appserver::DemoSeeding::kIfCreated);
  served_->database.Execute(BigWarehouseSql());
  appserver::EmbeddedServerOptions options;
  options.database_path = served_->database.target().location;
  options.on_call = [s = served_.get()](const net::CallRecord& call) {
    std::lock_guard lock(s->mutex);
    ++s->calls[std::string(call.method)];
  };
  served_->server = std::make_unique<appserver::EmbeddedServer>(std::move(options));
}

void BigWarehouseTest::TearDownTestSuite() {
  served_.reset();
}

void BigWarehouseTest::OpenScreen() {
  orb::SetServerAddress({"127.0.0.1", served_->server->Port()});
  form_ = OpenFromMenu();
  ASSERT_NE(form_, nullptr);
}

std::string BigWarehouseTest::FactTable(int number) {
  return "FATO_X_" + Padded(number, 5);
}

std::string BigWarehouseTest::DrillOf(int number) {
  return DrillTable((number * 7) % kDrillTables + 1);
}

int BigWarehouseTest::Calls(const std::string& method) {
  // The server counts a call as it answers it; what the client had answered
  // is counted by the time the event loop has run a little.
  QTest::qWait(50);
  std::lock_guard lock(served_->mutex);
  auto it = served_->calls.find(method);
  return it == served_->calls.end() ? 0 : it->second;
}

void BigWarehouseTest::ResetCalls() {
  QTest::qWait(50);
  std::lock_guard lock(served_->mutex);
  served_->calls.clear();
}

}  // namespace host_test
