// The structure check against drift made under a registered structure, and
// the semantic-layer export parsed back.
#include <yaml-cpp/yaml.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "appserver/tools/semantic_export.h"
#include "appserver/tools/structure_check.h"
#include "appserver/tools/tool_commands.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

using Found = std::set<std::tuple<std::string, std::string, std::string>>;

class CheckAndExport : public RdmTest {
 protected:
  // Changes the database behind the server's back, as a warehouse's owner
  // would. Structure tables are named quoted, as PostgreSQL keeps them.
  void Sql(const std::string& sql) { db_.Execute(sql); }
  Found Problems() {
    auto s = OpenStorage(db_.target());
    Found out;
    for (const StructureProblem& p : CheckStructure(*s)) {
      EXPECT_FALSE(p.text.empty());
      out.insert({p.kind, p.table, p.item});
    }
    return out;
  }
  int Tool(ToolOptions o, std::string& text) {
    std::ostringstream out, err;
    int rc = RunTool(o, db_.target(), out, err);
    text = out.str();
    return rc;
  }
  YAML::Node Export(ExportFormat format, std::string* notes = nullptr) {
    auto s = OpenStorage(db_.target());
    std::ostringstream told;
    YAML::Node doc = YAML::Load(ExportStructure(*s, format, "", told));
    if (notes) *notes = told.str();
    return doc;
  }
  static YAML::Node Named(const YAML::Node& list, const std::string& name) {
    for (const YAML::Node& n : list)
      if (n["name"].as<std::string>() == name) return n;
    ADD_FAILURE() << "no " << name;
    return YAML::Node();
  }
};

TEST_F(CheckAndExport, TheDemoIsCleanAndTheExitCodesTellCleanProblemsAndFailure) {
  ToolOptions o;
  o.command = ToolCommand::kCheck;
  std::string text;
  EXPECT_EQ(Tool(o, text), kToolOk);
  EXPECT_EQ(text, "Estrutura conferida: nenhum problema encontrado.\n");

  Sql("ALTER TABLE FATO_VENDAS DROP COLUMN QT_VENDIDA");
  EXPECT_EQ(Tool(o, text), kToolProblems);
  EXPECT_EQ(text,
            "Estrutura conferida: 1 problema encontrado.\n"
            "- O fato \"Quantidade vendida\" (FATO_VENDAS.QT_VENDIDA): a coluna QT_VENDIDA não "
            "existe mais na tabela FATO_VENDAS.\n");
  o.format = "json";
  EXPECT_EQ(Tool(o, text), kToolProblems);
  YAML::Node json = YAML::Load(text);
  ASSERT_EQ(json["problemas"].size(), 1u);
  EXPECT_EQ(json["problemas"][0]["tipo"].as<std::string>(), "COLUNA_INEXISTENTE");
  EXPECT_EQ(json["problemas"][0]["item"].as<std::string>(), "QT_VENDIDA");

  // A file that is no database: the check cannot run.
  TempDir dir;
  { std::ofstream(dir.path() + "/lixo.db") << "isto não é um banco de dados"; }
  std::ostringstream out, err;
  EXPECT_EQ(RunTool(o, {dir.path() + "/lixo.db"}, out, err), kToolFailed);
  EXPECT_FALSE(err.str().empty());
}

TEST_F(CheckAndExport, CheckFindsTablesAndColumnsGoneOrRetypedUnderTheStructure) {
  Sql("DROP TABLE FATO_FINANCEIRO;"
      "ALTER TABLE FATO_VENDAS DROP COLUMN QT_VENDIDA;"
      "ALTER TABLE FATO_ESTOQUE RENAME TO VELHO;"
      "CREATE TABLE FATO_ESTOQUE (CD_PRODUTO INTEGER, CD_DEPOSITO BOOLEAN, CD_MES INTEGER,"
      " QT_ESTOQUE INTEGER, VL_CUSTO VARCHAR(20), QT_MINIMA INTEGER);"
      "DROP TABLE VELHO;"
      "DROP TABLE DRILL_VENDAS_DIA;"
      "DELETE FROM \"QMX_DIME_DRILL\" WHERE \"CDTABDRILL\" = 'DRILL_ESTOQUE_LOTE'"
      " AND \"CDDIMEDRILL\" = 'CD_DEPOSITO';");
  EXPECT_EQ(Problems(), (Found{
                            {"TABELA_INEXISTENTE", "FATO_FINANCEIRO", ""},
                            {"TABELA_INEXISTENTE", "DRILL_VENDAS_DIA", ""},
                            {"COLUNA_INEXISTENTE", "FATO_VENDAS", "QT_VENDIDA"},
                            {"DRILL_INEXISTENTE", "FATO_VENDAS", "QT_VENDIDA"},
                            {"DRILL_INEXISTENTE", "FATO_VENDAS", "VL_VENDA"},
                            {"FATO_NAO_NUMERICO", "FATO_ESTOQUE", "VL_CUSTO"},
                            {"DIMENSAO_TIPO_INVALIDO", "FATO_ESTOQUE", "CD_DEPOSITO"},
                            {"DRILL_DIMENSAO_FALTANTE", "FATO_ESTOQUE", "QT_ESTOQUE"},
                        }));
}

TEST_F(CheckAndExport, CheckFindsBrokenLinksAndCodesMissingFromTheirCatalogues) {
  Sql("DELETE FROM \"QMX_FATO_DRILL\" WHERE \"CDTABDRILL\" = 'DRILL_VENDAS_DIA';"
      "DELETE FROM \"QMX_DIME_DRILL\" WHERE \"CDTABDRILL\" = 'DRILL_ESTOQUE_LOTE';"
      "UPDATE \"QMX_FATO\" SET \"CDTABDRILL\" = 'FATO_VENDAS' WHERE \"CDITEMDW\" = 'VL_RECEITA';"
      "DELETE FROM \"QMX_AREANEG\" WHERE \"CDAREANEGDW\" = '00002';"
      "DELETE FROM \"QMX_DIMENSAO\" WHERE \"NRSEQUEDIME\" = '00007';"
      "INSERT INTO \"QMX_FATO_DRILL\" VALUES ('FATO_COMPRAS', 'VL_COMPRA', 'Compra', 'M', '');");
  EXPECT_EQ(Problems(), (Found{
                            {"DRILL_SEM_FATO", "FATO_VENDAS", "QT_VENDIDA"},
                            {"DRILL_SEM_FATO", "FATO_VENDAS", "VL_VENDA"},
                            {"DRILL_SEM_DIMENSAO", "FATO_ESTOQUE", "QT_ESTOQUE"},
                            {"DRILL_NAO_CADASTRADA", "FATO_FINANCEIRO", "VL_RECEITA"},
                            {"DATA_MART_NAO_CADASTRADO", "FATO_FINANCEIRO", "VL_RECEITA"},
                            {"DATA_MART_NAO_CADASTRADO", "FATO_FINANCEIRO", "VL_DESPESA"},
                            {"DIMENSAO_NAO_CADASTRADA", "FATO_FINANCEIRO", "CD_CONTA"},
                            {"TABELA_NAO_CADASTRADA", "FATO_COMPRAS", ""},
                        }));
}

TEST_F(CheckAndExport, CheckFindsADrillLinkJoiningColumnsOfIncompatibleTypes) {
  // Dimension 00004 is an integer column on the fact side and a text column
  // on the drill side; both facts of FATO_VENDAS drill there, one problem.
  Sql("INSERT INTO \"QMX_DIME\" VALUES ('FATO_VENDAS', 'CD_VENDEDOR', '00004');"
      "INSERT INTO \"QMX_DIME_DRILL\" VALUES ('DRILL_VENDAS_DIA', 'CD_REGIAO', '00004');");
  EXPECT_EQ(Problems(), (Found{{"DRILL_TIPOS_INCOMPATIVEIS", "FATO_VENDAS", "CD_VENDEDOR"}}));
  auto s = OpenStorage(db_.target());
  // The types as each backend's catalogue spells them.
  std::string text = rtl::UpperCase(CheckStructure(*s).at(0).text);
  for (const char* part :
       {"FATO_VENDAS.CD_VENDEDOR (INTEGER)", "DRILL_VENDAS_DIA.CD_REGIAO (", "CHAR", "(10))"})
    EXPECT_NE(text.find(part), std::string::npos) << text;
}

TEST_F(CheckAndExport, CheckFindsRowsThatTheRegisteredDimensionsDoNotIdentify) {
  // The export keys FATO_VENDAS by its dimensions; a second row for one
  // customer, product and month breaks that key.
  Sql("INSERT INTO FATO_VENDAS (CD_CLIENTE, CD_PRODUTO, CD_MES, VL_VENDA)"
      " VALUES (1, 10, 202601, 1)");
  EXPECT_EQ(Problems(), (Found{{"CHAVE_NAO_UNICA", "FATO_VENDAS", ""}}));
  // A declared primary key is the key instead, and is unique by itself.
  Sql("DROP TABLE FATO_ESTOQUE; CREATE TABLE FATO_ESTOQUE (NR_LINHA INTEGER PRIMARY KEY,"
      " CD_PRODUTO INTEGER, CD_DEPOSITO INTEGER, CD_MES INTEGER, QT_ESTOQUE INTEGER,"
      " VL_CUSTO NUMERIC(15,2));"
      "INSERT INTO FATO_ESTOQUE (NR_LINHA, CD_PRODUTO, CD_DEPOSITO, CD_MES) VALUES"
      " (1, 10, 1, 202601), (2, 10, 1, 202601)");
  EXPECT_EQ(Problems(), (Found{{"CHAVE_NAO_UNICA", "FATO_VENDAS", ""}}));
}

TEST_F(CheckAndExport, MetricFlowExportParsesBackToTheSameFactsDimensionsAndLinks) {
  // A percentage, and a description that needs quoting in YAML.
  ASSERT_EQ(
      ErrorText(Call("SetFatos", {DeltaBuilder(kFactFields)
                                      .Insert({"S", "FATO_VENDAS", "PC_MARGEM", "00001", "Margem",
                                               "P", "Margem: \"bruta\"\n# sobre a venda", ""})
                                      .Build(),
                                  "FATO_VENDAS"})),
      "");
  YAML::Node doc = Export(ExportFormat::kMetricFlow);
  YAML::Node models = doc["semantic_models"];
  ASSERT_TRUE(models.IsSequence());
  EXPECT_EQ(models.size(), 5u);  // three fact tables, two drill tables

  YAML::Node vendas = Named(models, "fato_vendas");
  EXPECT_EQ(vendas["label"].as<std::string>(), "Vendas");
  EXPECT_EQ(vendas["model"].as<std::string>(), "ref('fato_vendas')");
  EXPECT_EQ(vendas["config"]["meta"]["tabela"].as<std::string>(), "FATO_VENDAS");
  std::set<std::string> measures;
  for (const YAML::Node& m : vendas["measures"])
    measures.insert(m["expr"].as<std::string>() + " " + m["agg"].as<std::string>());
  EXPECT_EQ(measures,
            (std::set<std::string>{"PC_MARGEM average", "QT_VENDIDA sum", "VL_VENDA sum"}));
  YAML::Node margem = Named(vendas["measures"], "fato_vendas_pc_margem");
  EXPECT_EQ(margem["description"].as<std::string>(), "Margem: \"bruta\"\n# sobre a venda");
  EXPECT_EQ(margem["config"]["meta"]["tipo_fato"].as<std::string>(), "Percentual");
  EXPECT_EQ(margem["config"]["meta"]["data_mart"].as<std::string>(), "00001");
  EXPECT_EQ(margem["config"]["meta"]["data_mart_nome"].as<std::string>(), "Comercial");
  EXPECT_FALSE(margem["config"]["meta"]["drill"]);
  EXPECT_EQ(Named(vendas["measures"], "fato_vendas_vl_venda")["config"]["meta"]["drill"]
                .as<std::string>(),
            "drill_vendas_dia");
  std::set<std::string> dimensions;
  for (const YAML::Node& d : vendas["dimensions"])
    dimensions.insert(d["name"].as<std::string>() + " " + d["label"].as<std::string>() + " " +
                      d["expr"].as<std::string>() + " " + d["type"].as<std::string>());
  // Without a registered date dimension, the export adds an always-empty one.
  EXPECT_EQ(dimensions, (std::set<std::string>{"cliente Cliente CD_CLIENTE categorical",
                                               "mes Mês CD_MES categorical",
                                               "produto Produto CD_PRODUTO categorical",
                                               "sem_data Sem data CAST(NULL AS DATE) time"}));
  YAML::Node link = vendas["config"]["meta"]["drill"];
  ASSERT_EQ(link.size(), 1u);
  EXPECT_EQ(link[0]["semantic_model"].as<std::string>(), "drill_vendas_dia");
  EXPECT_EQ(link[0]["colunas"].size(), 3u);

  // A date dimension is a time dimension and the table's aggregation time.
  YAML::Node dia = Named(models, "drill_vendas_dia");
  EXPECT_EQ(dia["defaults"]["agg_time_dimension"].as<std::string>(), "dia");
  YAML::Node day = Named(dia["dimensions"], "dia");
  EXPECT_EQ(day["type"].as<std::string>(), "time");
  EXPECT_EQ(day["type_params"]["time_granularity"].as<std::string>(), "day");

  // Measure names are unique across models.
  std::set<std::string> names;
  size_t count = 0;
  for (const YAML::Node& m : models)
    for (const YAML::Node& x : m["measures"]) {
      names.insert(x["name"].as<std::string>());
      ++count;
    }
  EXPECT_EQ(names.size(), count);
}

TEST_F(CheckAndExport, MetricFlowFileMeetsTheSemanticLayerRules) {
  // A second table labelled "Vendas", with a fact named like one of FATO_VENDAS.
  auto ok = [&](std::string_view method, std::vector<Variant> args) {
    ASSERT_EQ(ErrorText(Call(method, std::move(args))), "") << method;
  };
  ok("SetTabelas", {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Vendas", "N"}).Build()});
  ok("SetDime",
     {DeltaBuilder(kDimeFields).Insert({"FATO_COMPRAS", "CD_PRODUTO", "00002"}).Build(), ""});
  ok("SetFatos",
     {DeltaBuilder(kFactFields)
          .Insert({"S", "FATO_COMPRAS", "VL_COMPRA", "00001", "Valor vendido", "M", "", ""})
          .Build(),
      "FATO_COMPRAS"});
  std::string notes;
  YAML::Node doc = Export(ExportFormat::kMetricFlow, &notes);
  // Each table without a registered date dimension is told by name.
  for (const char* table :
       {"FATO_COMPRAS", "FATO_VENDAS", "FATO_ESTOQUE", "FATO_FINANCEIRO", "DRILL_ESTOQUE_LOTE"})
    EXPECT_NE(notes.find(std::string("A tabela ") + table + " ("), std::string::npos) << notes;
  EXPECT_EQ(notes.find("DRILL_VENDAS_DIA"), std::string::npos) << notes;

  std::set<std::string> model_labels, measures;
  std::map<std::string, std::string> kind_of;  // element name -> what it is, in every model
  auto same_kind = [&](const YAML::Node& element, const std::string& kind) {
    auto [it, fresh] = kind_of.emplace(element["name"].as<std::string>(), kind);
    EXPECT_EQ(it->second, kind) << it->first;
  };
  for (const YAML::Node& m : doc["semantic_models"]) {
    const std::string name = m["name"].as<std::string>();
    EXPECT_TRUE(model_labels.insert(m["label"].as<std::string>()).second) << name;
    int primary = 0;
    for (const YAML::Node& e : m["entities"]) {
      primary += e["type"].as<std::string>() == "primary";
      same_kind(e, "entity");
    }
    EXPECT_EQ(primary, 1) << name;
    std::set<std::string> labels, times;
    for (const YAML::Node& d : m["dimensions"]) {
      EXPECT_TRUE(labels.insert(d["label"].as<std::string>()).second) << name;
      same_kind(d, "dimension " + d["type"].as<std::string>());
      if (d["type"].as<std::string>() == "time") times.insert(d["name"].as<std::string>());
    }
    if (m["measures"].size() > 0) {
      EXPECT_TRUE(times.count(m["defaults"]["agg_time_dimension"].as<std::string>())) << name;
    }
    for (const YAML::Node& x : m["measures"]) {
      same_kind(x, "measure");
      measures.insert(x["name"].as<std::string>());
    }
  }
  // A simple metric per measure, each label once.
  std::set<std::string> metric_measures, metric_labels;
  for (const YAML::Node& metric : doc["metrics"]) {
    EXPECT_EQ(metric["type"].as<std::string>(), "simple");
    metric_measures.insert(metric["type_params"]["measure"].as<std::string>());
    EXPECT_TRUE(metric_labels.insert(metric["label"].as<std::string>()).second);
  }
  EXPECT_EQ(doc["metrics"].size(), measures.size());
  EXPECT_EQ(metric_measures, measures);
  // Labels that clash name their table.
  YAML::Node models = doc["semantic_models"];
  EXPECT_EQ(Named(models, "fato_compras")["label"].as<std::string>(), "Vendas (FATO_COMPRAS)");
  EXPECT_EQ(Named(models, "fato_vendas")["label"].as<std::string>(), "Vendas (FATO_VENDAS)");
  EXPECT_EQ(Named(doc["metrics"], "fato_compras_vl_compra")["label"].as<std::string>(),
            "Valor vendido (FATO_COMPRAS)");
  EXPECT_EQ(Named(doc["metrics"], "drill_vendas_dia_vl_venda")["label"].as<std::string>(),
            "Valor vendido no dia");

  // The drill link is a relation: a drill row refers to the fact table's
  // primary entity, on the same expression of the shared dimensions.
  YAML::Node key = Named(Named(models, "fato_vendas")["entities"], "fato_vendas");
  YAML::Node reference = Named(Named(models, "drill_vendas_dia")["entities"], "fato_vendas");
  EXPECT_EQ(key["type"].as<std::string>(), "primary");
  EXPECT_EQ(reference["type"].as<std::string>(), "foreign");
  EXPECT_EQ(reference["expr"].as<std::string>(), key["expr"].as<std::string>());
  // A dimension more than one table has is a foreign entity in each.
  for (const char* model : {"fato_compras", "fato_vendas", "drill_vendas_dia", "fato_estoque"}) {
    YAML::Node produto = Named(Named(models, model)["entities"], "chave_produto");
    EXPECT_EQ(produto["type"].as<std::string>(), "foreign");
    EXPECT_EQ(produto["expr"].as<std::string>(), "CD_PRODUTO");
  }
}

TEST_F(CheckAndExport, NoJoinIsExportedForADrillLinkOfIncompatibleColumns) {
  // Dimension 00004: an integer column on the fact side, text on the drill side.
  Sql("INSERT INTO \"QMX_DIME\" VALUES ('FATO_VENDAS', 'CD_VENDEDOR', '00004');"
      "INSERT INTO \"QMX_DIME_DRILL\" VALUES ('DRILL_VENDAS_DIA', 'CD_REGIAO', '00004');");
  std::string notes;
  YAML::Node models = Export(ExportFormat::kMetricFlow, &notes)["semantic_models"];
  EXPECT_NE(notes.find("O drill de FATO_VENDAS para DRILL_VENDAS_DIA não foi exportado como "
                       "junção: a coluna FATO_VENDAS.CD_VENDEDOR ("),
            std::string::npos)
      << notes;
  for (const YAML::Node& e : Named(models, "drill_vendas_dia")["entities"])
    EXPECT_NE(e["name"].as<std::string>(), "fato_vendas");
  // The link itself stays with the facts, for an import to bring back.
  EXPECT_EQ(Named(Named(models, "fato_vendas")["measures"],
                  "fato_vendas_vl_venda")["config"]["meta"]["drill"]
                .as<std::string>(),
            "drill_vendas_dia");
  YAML::Node cubes = Export(ExportFormat::kCube)["cubes"];
  EXPECT_FALSE(Named(cubes, "fato_vendas")["joins"]);
  EXPECT_EQ(Named(cubes, "fato_estoque")["joins"].size(), 1u);
}

TEST_F(CheckAndExport, CubeExportJoinsEachFactTableToItsDrillTablesOnSharedDimensions) {
  ToolOptions o;
  o.command = ToolCommand::kExport;
  o.format = "cube";
  TempDir dir;
  o.out = dir.path() + "/cubes.yml";
  std::string text;
  ASSERT_EQ(Tool(o, text), kToolOk);
  EXPECT_EQ(text, "");
  YAML::Node cubes = YAML::LoadFile(o.out)["cubes"];
  ASSERT_EQ(cubes.size(), 5u);
  YAML::Node estoque = Named(cubes, "fato_estoque");
  // A PostgreSQL schema other than the default qualifies the table.
  const std::string& schema = db_.target().schema;
  EXPECT_EQ(
      estoque["sql_table"].as<std::string>(),
      (db_.backend() == qmxtest::TestBackend::kPostgres ? schema + "." : "") + "FATO_ESTOQUE");
  // Without a declared key, the registered dimensions identify a row.
  YAML::Node key = Named(estoque["dimensions"], "chave");
  EXPECT_TRUE(key["primary_key"].as<bool>());
  EXPECT_FALSE(key["public"].as<bool>());
  EXPECT_EQ(key["meta"]["chave"].as<std::string>(), "dimensoes");
  ASSERT_EQ(estoque["joins"].size(), 1u);
  EXPECT_EQ(estoque["joins"][0]["name"].as<std::string>(), "drill_estoque_lote");
  EXPECT_EQ(estoque["joins"][0]["relationship"].as<std::string>(), "one_to_many");
  EXPECT_EQ(estoque["joins"][0]["sql"].as<std::string>(),
            "{CUBE}.CD_PRODUTO = {drill_estoque_lote}.CD_PRODUTO AND "
            "{CUBE}.CD_MES = {drill_estoque_lote}.CD_MES AND "
            "{CUBE}.CD_DEPOSITO = {drill_estoque_lote}.CD_DEPOSITO");
  YAML::Node custo = Named(estoque["measures"], "vl_custo");
  EXPECT_EQ(custo["type"].as<std::string>(), "sum");
  EXPECT_EQ(custo["sql"].as<std::string>(), "VL_CUSTO");
  EXPECT_EQ(custo["meta"]["data_mart_nome"].as<std::string>(), "Logística");
  YAML::Node deposito = Named(estoque["dimensions"], "deposito");
  EXPECT_EQ(deposito["title"].as<std::string>(), "Depósito");
  EXPECT_EQ(deposito["type"].as<std::string>(), "number");
  EXPECT_EQ(deposito["meta"]["numero_dimensao"].as<std::string>(), "00006");
  EXPECT_FALSE(Named(cubes, "fato_financeiro")["joins"]);
}

TEST(SemanticName, NamesAreLowerCaseWordsJoinedBySingleUnderscores) {
  EXPECT_EQ(SemanticName("Conta contábil"), "conta_contabil");
  EXPECT_EQ(SemanticName("Mês"), "mes");
  EXPECT_EQ(SemanticName("FATO__VENDAS_"), "fato_vendas");
  EXPECT_EQ(SemanticName("1º TRIMESTRE"), "t_1_trimestre");
  EXPECT_EQ(SemanticName("***"), "t_");
}

}  // namespace
}  // namespace appserver::testing
