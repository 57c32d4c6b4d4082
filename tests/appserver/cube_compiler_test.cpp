// The cube export as the semantic layer's own schema compiler reads it
// (installed from the npm registry into the build folder on first use; the
// test skips, saying why, without node or the registry): it compiles, and
// the SQL it generates, run on the warehouse, gives the hand-written
// aggregates on the fact side and across a drill join.
#include <yaml-cpp/yaml.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "appserver/tools/structure_check.h"
#include "appserver/tools/tool_commands.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

// Runs a shell command; its standard output, and its exit status in `status`.
std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    status = -1;
    return out;
  }
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

std::string FileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The compiler's folder, installed once for every test (and every test
// process: a lock keeps two installs from writing it at the same time).
// Empty, with the reason in `why`, when it cannot be had.
std::string CompilerModules(std::string& why) {
  const std::string cache = QMX_CUBE_CACHE;
  const std::string modules = cache + "/node_modules";
  int status = 0;
  RunCommand("command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1", status);
  if (status != 0) {
    why = "node ou npm não encontrado: o compilador de esquemas não pode rodar.";
    return {};
  }
  if (std::filesystem::exists(modules + "/@cubejs-backend/schema-compiler/package.json"))
    return modules;
  std::filesystem::create_directories(cache);
  RunCommand("flock '" + cache +
                 ".lock' npm install --no-audit --no-fund --loglevel=error --prefix '" + cache +
                 "' @cubejs-backend/schema-compiler >'" + cache + ".log' 2>&1",
             status);
  if (status != 0 ||
      !std::filesystem::exists(modules + "/@cubejs-backend/schema-compiler/package.json")) {
    why = "não foi possível instalar @cubejs-backend/schema-compiler do registro npm (veja " +
          cache + ".log).";
    return {};
  }
  return modules;
}

class CubeCompiler : public RdmTest {
 protected:
  void SetUp() override {
    RdmTest::SetUp();
    if (IsSkipped()) return;
    std::string why;
    modules_ = CompilerModules(why);
    if (modules_.empty()) {
      std::printf("[ SKIPPED  ] %s\n", why.c_str());
      GTEST_SKIP() << why;
    }
  }

  // Exports the cube file, compiles it and answers the SQL generated for
  // each query (JSON objects of the compiler's query format).
  std::vector<std::string> CompiledSql(const std::vector<std::string>& queries) {
    ToolOptions o;
    o.command = ToolCommand::kExport;
    o.format = "cube";
    o.out = dir_.path() + "/model.yml";
    std::ostringstream out, err;
    EXPECT_EQ(RunTool(o, db_.target(), out, err), kToolOk) << err.str();
    std::string list = "[";
    for (const std::string& q : queries) list += (list.size() > 1 ? "," : "") + q;
    { std::ofstream(dir_.path() + "/queries.json") << list << "]"; }
    const char* dialect = db_.backend() == qmxtest::TestBackend::kPostgres ? "postgres" : "sqlite";
    int status = 0;
    std::string answer =
        RunCommand("node '" QMX_CUBE_SCRIPT "' '" + modules_ + "' '" + o.out + "' " + dialect +
                       " '" + dir_.path() + "/queries.json' 2>'" + dir_.path() + "/errors.txt'",
                   status);
    std::vector<std::string> sql;
    if (status != 0) {
      ADD_FAILURE() << "o compilador recusou o arquivo:\n"
                    << FileText(dir_.path() + "/errors.txt") << FileText(o.out);
      return sql;
    }
    for (const YAML::Node& q : YAML::Load(answer)) {
      EXPECT_EQ(q["params"].size(), 0u);
      sql.push_back(q["sql"].as<std::string>());
    }
    return sql;
  }

  std::vector<std::string> Rows(const std::string& sql) { return db_.QueryRows(sql); }

  std::string modules_;
  TempDir dir_;
};

// Two or three days of detail under each sale; two sales share a day.
constexpr const char* kSalesByDay =
    "INSERT INTO DRILL_VENDAS_DIA (CD_CLIENTE, CD_PRODUTO, CD_MES, DT_VENDA, VL_VENDA) VALUES"
    " (1, 10, 202601, '2026-01-05', 700), (1, 10, 202601, '2026-01-06', 550),"
    " (2, 11, 202601, '2026-01-06', 480.5),"
    " (1, 12, 202602, '2026-02-14', 1000), (1, 12, 202602, '2026-02-15', 2100)";
constexpr const char* kOnSale =
    " ON f.CD_CLIENTE = d.CD_CLIENTE AND f.CD_PRODUTO = d.CD_PRODUTO AND f.CD_MES = d.CD_MES";

TEST_F(CubeCompiler, TheDemoCompilesAndItsSqlGivesTheHandWrittenSums) {
  db_.Execute(kSalesByDay);
  auto sql = CompiledSql({
      R"({"measures":["fato_vendas.vl_venda"],"dimensions":["fato_vendas.cliente"]})",
      R"({"measures":["fato_vendas.vl_venda","drill_vendas_dia.vl_venda"],)"
      R"("dimensions":["fato_vendas.cliente"]})",
      R"({"measures":["fato_vendas.vl_venda"],"dimensions":["drill_vendas_dia.cliente"]})",
  });
  ASSERT_EQ(sql.size(), 3u);
  const std::string by_customer =
      "SELECT CD_CLIENTE, sum(VL_VENDA) AS s FROM FATO_VENDAS GROUP BY CD_CLIENTE";
  EXPECT_EQ(Rows(sql[0]), Rows(by_customer));
  // Across the join each sale counts once, however many days it has.
  auto joined = Rows(sql[1]);
  EXPECT_EQ(joined, Rows("SELECT f.CD_CLIENTE, f.s, d.s FROM (" + by_customer +
                         ") f JOIN (SELECT f.CD_CLIENTE, sum(d.VL_VENDA) AS s FROM FATO_VENDAS f"
                         " JOIN DRILL_VENDAS_DIA d" +
                         kOnSale + " GROUP BY f.CD_CLIENTE) d ON d.CD_CLIENTE = f.CD_CLIENTE"));
  EXPECT_NE(joined, Rows("SELECT f.CD_CLIENTE, sum(f.VL_VENDA), sum(d.VL_VENDA) FROM FATO_VENDAS f"
                         " JOIN DRILL_VENDAS_DIA d" +
                         std::string(kOnSale) + " GROUP BY f.CD_CLIENTE"))
      << "a plain join counts a sale once per day";
  // A fact measure by a dimension of the drill table.
  EXPECT_EQ(Rows(sql[2]), Rows("SELECT d.CD_CLIENTE, sum(f.VL_VENDA) FROM FATO_VENDAS f JOIN"
                               " (SELECT DISTINCT CD_CLIENTE, CD_PRODUTO, CD_MES FROM"
                               " DRILL_VENDAS_DIA) d" +
                               std::string(kOnSale) + " GROUP BY d.CD_CLIENTE"));
}

TEST_F(CubeCompiler, EveryFactTableDrillingCompilesWithDeclaredAndRegisteredKeys) {
  // The third fact table gets a drill table whose rows have a declared key.
  db_.Execute(
      "CREATE TABLE DRILL_FINANCEIRO_DOC (NR_DOC INTEGER PRIMARY KEY, CD_CONTA VARCHAR(20),"
      " CD_MES INTEGER, VL_LANCADO NUMERIC(15,2));"
      "INSERT INTO FATO_FINANCEIRO (CD_CONTA, CD_MES, VL_RECEITA) VALUES"
      " ('3.1', 202601, 900), ('3.2', 202601, 50);"
      "INSERT INTO DRILL_FINANCEIRO_DOC VALUES (1, '3.1', 202601, 400), (2, '3.1', 202601, 500),"
      " (3, '3.2', 202601, 50);"
      "INSERT INTO \"QMX_TABELA\" VALUES ('DRILL_FINANCEIRO_DOC', 'Lançamentos', 'S');"
      "INSERT INTO \"QMX_FATO_DRILL\" VALUES"
      " ('DRILL_FINANCEIRO_DOC', 'VL_LANCADO', 'Valor lançado', 'M', '');"
      "INSERT INTO \"QMX_DIME_DRILL\" VALUES ('DRILL_FINANCEIRO_DOC', 'CD_CONTA', '00007'),"
      " ('DRILL_FINANCEIRO_DOC', 'CD_MES', '00003');"
      "UPDATE \"QMX_FATO\" SET \"CDTABDRILL\" = 'DRILL_FINANCEIRO_DOC'"
      " WHERE \"CDTABELADW\" = 'FATO_FINANCEIRO';");
  db_.Execute(kSalesByDay);
  {
    auto s = db_.Open();
    EXPECT_TRUE(CheckStructure(*s).empty());
  }
  auto sql = CompiledSql({
      R"({"measures":["fato_financeiro.vl_receita","drill_financeiro_doc.vl_lancado"],)"
      R"("dimensions":["fato_financeiro.conta_contabil"]})",
      R"({"measures":["fato_estoque.qt_estoque","drill_estoque_lote.qt_estoque"],)"
      R"("dimensions":["fato_estoque.produto"]})",
  });
  ASSERT_EQ(sql.size(), 2u);
  EXPECT_EQ(Rows(sql[0]),
            Rows("SELECT f.CD_CONTA, f.s, d.s FROM (SELECT CD_CONTA, sum(VL_RECEITA) AS s"
                 " FROM FATO_FINANCEIRO GROUP BY CD_CONTA) f JOIN (SELECT CD_CONTA,"
                 " sum(VL_LANCADO) AS s FROM DRILL_FINANCEIRO_DOC GROUP BY CD_CONTA) d"
                 " ON d.CD_CONTA = f.CD_CONTA"));
  EXPECT_EQ(Rows(sql[1]), std::vector<std::string>{});  // no stock rows in the demo
}

}  // namespace
}  // namespace appserver::testing
