// The database a server starts on: schema creation and upgrade, the demo
// warehouse, the catalogue introspection and the code forms.
#include <sqlite3.h>

#include <filesystem>

#include "appserver/database/database.h"
#include "appserver/rules/codes.h"
#include "appserver/storage/sqlite/sqlite_storage.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

int Count(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
  int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
  sqlite3_finalize(st);
  sqlite3_close(db);
  return n;
}

TEST(Database, FreshDatabaseGetsSchemaAndDemoAndAnswersFourPackets) {
  TempDir dir;
  std::string path = dir.path() + "/sub/folder/qmx.db";  // the folder is created too
  PrepareResult p = PrepareSqliteDatabase(path, DemoSeeding::kIfCreated);
  EXPECT_TRUE(p.created);
  EXPECT_EQ(p.previous_version, 0);
  EXPECT_TRUE(p.demo_seeded);
  EXPECT_EQ(SqliteSchemaVersion(path), kSchemaVersion);

  RdmEstrutura rdm(OpenSqliteStorage(path));
  std::vector<Variant> none;
  Variant r = rdm.Invoke("GetInicial", none);
  ASSERT_TRUE(r.IsArray());
  ASSERT_EQ(r.Length(), 4u);
  EXPECT_EQ(FieldsOfPacket(r[0]), kTableListFields);
  EXPECT_EQ(FieldsOfPacket(r[1]),
            (std::vector<db::PacketField>{{"CDAREANEGDW", 5, false}, {"NMAREANEGDW", 30, false}}));
  EXPECT_EQ(FieldsOfPacket(r[2]),
            (std::vector<db::PacketField>{{"NRSEQUEDIME", 5, false}, {"NMITEMDIME", 30, false}}));
  EXPECT_EQ(FieldsOfPacket(r[3]), kTableListFields);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(Rows(r[i]).empty()) << i;
  for (const Row& t : Rows(r[0])) EXPECT_EQ(t.at("IDDRILLDOWN"), "N");
  for (const Row& t : Rows(r[3])) EXPECT_EQ(t.at("IDDRILLDOWN"), "S");
  EXPECT_GE(Rows(r[2]).size(), 10u);
  for (const Row& d : Rows(r[2])) EXPECT_EQ(d.at("NRSEQUEDIME").size(), 5u);
}

TEST(Database, NewFileAndItsJournalAreTheOwnersAlone) {
  TempDir dir;
  std::string path = dir.path() + "/qmx.db";
  PrepareSqliteDatabase(path, DemoSeeding::kIfCreated);
  auto storage = OpenSqliteStorage(path);  // keeps the -wal file open
  namespace fs = std::filesystem;
  const fs::perms others = fs::perms::group_all | fs::perms::others_all;
  for (const std::string& file : {path, path + "-wal"}) {
    ASSERT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(fs::status(file).permissions() & others, fs::perms::none) << file;
  }
}

TEST(Database, ReopeningNeitherReseedsNorUpgradesAgain) {
  TempDir dir;
  std::string path = dir.path() + "/qmx.db";
  PrepareSqliteDatabase(path, DemoSeeding::kIfCreated);
  int tables = Count(path, "SELECT count(*) FROM QMX_TABELA");
  PrepareResult again = PrepareSqliteDatabase(path, DemoSeeding::kRequested);
  EXPECT_FALSE(again.created);
  EXPECT_EQ(again.previous_version, kSchemaVersion);
  EXPECT_FALSE(again.demo_seeded);  // the structure holds data already
  EXPECT_EQ(Count(path, "SELECT count(*) FROM QMX_TABELA"), tables);
}

TEST(Database, EmptyStructureWithoutDemoAndDemoOnRequestLater) {
  TempDir dir;
  std::string path = dir.path() + "/qmx.db";
  EXPECT_FALSE(PrepareSqliteDatabase(path, DemoSeeding::kNever).demo_seeded);
  EXPECT_EQ(Count(path, "SELECT count(*) FROM QMX_TABELA"), 0);
  EXPECT_TRUE(PrepareSqliteDatabase(path, DemoSeeding::kRequested).demo_seeded);
  EXPECT_GT(Count(path, "SELECT count(*) FROM QMX_TABELA"), 0);
}

TEST(Database, OlderSchemaIsUpgradedInPlaceKeepingItsRows) {
  TempDir dir;
  std::string path = dir.path() + "/qmx.db";
  PrepareSqliteDatabase(path, DemoSeeding::kNever, 1);
  EXPECT_EQ(SqliteSchemaVersion(path), 1);
  EXPECT_EQ(Count(path, "SELECT count(*) FROM sqlite_schema WHERE name = 'QMX_DIME_NUMERO'"), 0);
  {
    auto s = OpenSqliteStorage(path);
    s->Insert(Entity::kDimension, {"00001", "Cliente"});
  }
  PrepareResult p = PrepareSqliteDatabase(path, DemoSeeding::kNever);
  EXPECT_EQ(p.previous_version, 1);
  EXPECT_EQ(SqliteSchemaVersion(path), kSchemaVersion);
  EXPECT_EQ(Count(path, "SELECT count(*) FROM sqlite_schema WHERE name = 'QMX_DIME_NUMERO'"), 1);
  EXPECT_EQ(Count(path, "SELECT count(*) FROM QMX_DIMENSAO"), 1);
}

TEST(Database, SessionsRunInWalMode) {
  TempDir dir;
  std::string path = dir.path() + "/qmx.db";
  PrepareSqliteDatabase(path, DemoSeeding::kNever);
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal");
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST(Database, CatalogueListsWarehouseTablesOnlyAndReadsOddNamesSafely) {
  TempDir dir;
  std::string path = dir.path() + "/qmx.db";
  PrepareSqliteDatabase(path, DemoSeeding::kIfCreated);
  {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE \"ODD'; DROP TABLE QMX_FATO; --\" (X INTEGER)", 0, 0, 0);
    sqlite3_close(db);
  }
  auto s = OpenSqliteStorage(path);
  auto tables = s->WarehouseTables();
  for (const std::string& t : tables) EXPECT_NE(t.rfind("QMX_", 0), 0u) << t;
  EXPECT_NE(std::find(tables.begin(), tables.end(), "FATO_VENDAS"), tables.end());
  EXPECT_TRUE(s->WarehouseColumns("QMX_FATO").empty());  // structure tables are not offered
  EXPECT_TRUE(s->WarehouseColumns("NO_SUCH_TABLE").empty());
  auto odd = s->WarehouseColumns("ODD'; DROP TABLE QMX_FATO; --");
  ASSERT_EQ(odd.size(), 1u);
  EXPECT_EQ(odd[0].name, "X");
  EXPECT_FALSE(s->Select(Entity::kFact).empty());  // still there
  auto cols = s->WarehouseColumns("FATO_VENDAS");
  ASSERT_FALSE(cols.empty());
  EXPECT_EQ(cols[0].name, "CD_CLIENTE");
  EXPECT_EQ(cols[0].declared_type, "INTEGER");
}

TEST(Codes, NormalisedFormsAndColumnKinds) {
  EXPECT_EQ(NormaliseCode(" fato_ vendas "), "FATO_VENDAS");
  EXPECT_TRUE(IsWellFormedCode("FATO_VENDAS"));
  EXPECT_FALSE(IsWellFormedCode("X'Y"));
  EXPECT_FALSE(IsWellFormedCode(""));
  EXPECT_FALSE(IsWellFormedCode(std::string(31, 'A')));
  EXPECT_EQ(WidenNumber("1"), "00001");
  EXPECT_EQ(WidenNumber(" 12 "), "00012");
  EXPECT_EQ(WidenNumber("00003"), "00003");
  EXPECT_EQ(WidenNumber("ab"), "AB");
  EXPECT_EQ(SplitTableList(" a, B ,,c"), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(JoinTableList({"A", "B"}), "A, B");

  struct Case {
    const char* type;
    bool numeric, dimension;
  } cases[] = {{"INTEGER", true, true},        {"bigint", true, true},
               {"NUMERIC(15,2)", true, false}, {"DECIMAL(15,2)", true, false},
               {"REAL", true, false},          {"DOUBLE PRECISION", true, false},
               {"VARCHAR(20)", false, true},   {"character varying", false, true},
               {"TEXT", false, true},          {"DATE", false, true},
               {"timestamp", false, true},     {"BLOB", false, false},
               {"POINT", false, false},        {"", false, false}};
  for (const Case& c : cases) {
    ColumnKind k = ClassifyColumnType(c.type);
    EXPECT_EQ(k.numeric, c.numeric) << c.type;
    EXPECT_EQ(k.dimension, c.dimension) << c.type;
  }
}

}  // namespace
}  // namespace appserver::testing
