// qmx-server import: an exported structure imported into a fresh structure
// on the same warehouse exports to the same bytes; --dry-run shows the
// difference and changes nothing; a file with an item that cannot map is
// refused whole, naming the item.
#include <yaml-cpp/yaml.h>

#include <fstream>
#include <sstream>

#include "appserver/tools/tool_commands.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

class Import : public RdmTest {
 protected:
  struct Run {
    int rc;
    std::string out, err;
  };
  Run Tool(ToolOptions o) {
    std::ostringstream out, err;
    int rc = RunTool(o, db_.target(), out, err);
    return {rc, out.str(), err.str()};
  }
  // The export's file, as written to `path`.
  std::string Export(const std::string& format, const std::string& path) {
    ToolOptions o;
    o.command = ToolCommand::kExport;
    o.format = format;
    o.out = path;
    EXPECT_EQ(Tool(o).rc, kToolOk);
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  Run ImportFile(const std::string& format, const std::string& path, bool dry_run = false) {
    ToolOptions o;
    o.command = ToolCommand::kImport;
    o.format = format;
    o.file = path;
    o.dry_run = dry_run;
    return Tool(o);
  }
  // The structure gone, the catalogues and the warehouse kept.
  void WipeStructure() {
    db_.Execute(
        "DELETE FROM \"QMX_FATO\"; DELETE FROM \"QMX_DIME\"; DELETE FROM \"QMX_FATO_DRILL\";"
        "DELETE FROM \"QMX_DIME_DRILL\"; DELETE FROM \"QMX_TABELA\";");
  }
  std::vector<HistoryEntry> History() { return OpenStorage(db_.target())->ReadHistory({}); }
  void Ok(std::string_view method, std::vector<Variant> args) {
    ASSERT_EQ(ErrorText(Call(method, std::move(args))), "") << method;
  }
  TempDir dir_;
};

TEST_F(Import, AnExportImportedIntoAFreshStructureExportsToTheSameBytes) {
  // Beyond the demo: a percentage with a description YAML must quote, and a
  // second table labelled like another.
  Ok("SetFatos", {DeltaBuilder(kFactFields)
                      .Insert({"S", "FATO_VENDAS", "PC_MARGEM", "00001", "Margem", "P",
                               "Margem: \"bruta\"\n# sobre a venda", ""})
                      .Build(),
                  "FATO_VENDAS"});
  Ok("SetTabelas", {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Vendas", "N"}).Build()});
  Ok("SetDime",
     {DeltaBuilder(kDimeFields).Insert({"FATO_COMPRAS", "CD_PRODUTO", "00002"}).Build(), ""});
  Ok("SetFatos", {DeltaBuilder(kFactFields)
                      .Insert({"N", "FATO_COMPRAS", "VL_COMPRA", "00003", "Valor", "M", "", ""})
                      .Build(),
                  "FATO_COMPRAS"});
  for (const std::string format : {"metricflow", "cube"}) {
    const std::string first = dir_.path() + "/" + format + "-1.yml";
    const std::string exported = Export(format, first);
    size_t recorded = History().size();
    WipeStructure();
    Run run = ImportFile(format, first);
    ASSERT_EQ(run.rc, kToolOk) << run.err;
    EXPECT_NE(run.out.find("incluir FATO_VENDAS.VL_VENDA → DRILL_VENDAS_DIA"), std::string::npos)
        << run.out;
    EXPECT_EQ(Export(format, dir_.path() + "/" + format + "-2.yml"), exported) << format;

    // One entry per row written, all by the import, with who ran it.
    std::vector<HistoryEntry> entries = History();
    EXPECT_EQ(entries.size() - recorded, 6u + 8u + 9u + 3u + 8u) << format;
    for (size_t i = 0; i < entries.size() - recorded; ++i) {
      EXPECT_EQ(entries[i].origin.method, "import");
      EXPECT_FALSE(entries[i].origin.user_name.empty());
    }
  }
}

TEST_F(Import, ADryRunShowsTheDifferenceAndChangesNothingThenTheImportMakesIt) {
  const std::string file = dir_.path() + "/estrutura.yml";
  const std::string exported = Export("metricflow", file);
  Ok("SetTabelas",
     {DeltaBuilder(kTableFields)
          .Modify({"FATO_VENDAS", "Vendas", "N"}, {"FATO_VENDAS", "Vendas no varejo", "N"})
          .Build()});
  Ok("SetFatos", {DeltaBuilder(kFactFields)
                      .Insert({"S", "FATO_ESTOQUE", "QT_MINIMA", "00003", "Mínimo", "Q", "", ""})
                      .Build(),
                  "FATO_ESTOQUE"});
  Ok("setDelDrillDw", {TablesPacket({"FATO_ESTOQUE"}), "DRILL_ESTOQUE_LOTE"});
  Ok("SetDimeDrill",
     {DeltaBuilder(kDrillDimeFields).Delete({"DRILL_ESTOQUE_LOTE", "CD_LOTE", "00011"}).Build()});
  const std::string changed = Export("metricflow", dir_.path() + "/alterada.yml");
  size_t recorded = History().size();

  Run dry = ImportFile("metricflow", file, true);
  EXPECT_EQ(dry.rc, kToolOk) << dry.err;
  EXPECT_EQ(dry.out,
            "Diferenças entre o arquivo e a estrutura gravada (4):\n"
            "Tabelas fato:\n"
            "  alterar FATO_VENDAS: nome \"Vendas no varejo\" → \"Vendas\"\n"
            "Fatos:\n"
            "  excluir FATO_ESTOQUE.QT_MINIMA \"Mínimo\"\n"
            "Dimensões drill:\n"
            "  incluir DRILL_ESTOQUE_LOTE.CD_LOTE (dimensão 00011)\n"
            "Ligações de drill:\n"
            "  incluir FATO_ESTOQUE.QT_ESTOQUE → DRILL_ESTOQUE_LOTE\n");
  EXPECT_NE(dry.err.find("nada foi gravado"), std::string::npos) << dry.err;
  EXPECT_EQ(Export("metricflow", dir_.path() + "/depois.yml"), changed);
  EXPECT_EQ(History().size(), recorded);

  Run run = ImportFile("metricflow", file);
  ASSERT_EQ(run.rc, kToolOk) << run.err;
  EXPECT_EQ(run.out, dry.out);
  EXPECT_EQ(Export("metricflow", dir_.path() + "/importada.yml"), exported);
  EXPECT_EQ(History().size(), recorded + 4);
}

TEST_F(Import, AFileWithAnItemThatCannotMapIsRefusedWholeNamingTheItem) {
  const std::string file = dir_.path() + "/cubos.yml";
  const std::string exported = Export("cube", file);
  YAML::Node doc = YAML::LoadFile(file);
  for (YAML::Node cube : doc["cubes"]) {
    if (cube["name"].as<std::string>() != "fato_vendas") continue;
    cube["title"] = "Vendas renomeadas";  // would apply, but goes with the rest
    YAML::Node dimension;
    dimension["name"] = "regiao";
    dimension["sql"] = "CD_REGIAO";
    dimension["meta"]["numero_dimensao"] = "00099";
    cube["dimensions"].push_back(dimension);
    YAML::Node measure;
    measure["name"] = "vl_frete";
    measure["sql"] = "VL_FRETE";
    measure["type"] = "sum";
    measure["meta"]["data_mart"] = "00001";
    cube["measures"].push_back(measure);
  }
  const std::string edited = dir_.path() + "/editado.yml";
  std::ofstream(edited) << YAML::Dump(doc);
  size_t recorded = History().size();

  // The catalogue has no dimension 00099: refused before any rule runs.
  Run run = ImportFile("cube", edited);
  EXPECT_EQ(run.rc, kToolProblems);
  EXPECT_NE(run.err.find("Dimensão FATO_VENDAS.CD_REGIAO: a dimensão número \"00099\" não está "
                         "cadastrada no catálogo."),
            std::string::npos)
      << run.err;

  // With a known number, the rules refuse the fact on a column the table lacks.
  for (YAML::Node cube : doc["cubes"])
    if (cube["name"].as<std::string>() == "fato_vendas")
      for (YAML::Node d : cube["dimensions"])
        if (d["name"].as<std::string>() == "regiao") d["meta"]["numero_dimensao"] = "00004";
  std::ofstream(edited) << YAML::Dump(doc);
  run = ImportFile("cube", edited);
  EXPECT_EQ(run.rc, kToolProblems);
  EXPECT_NE(run.err.find("Fato FATO_VENDAS.VL_FRETE: a coluna VL_FRETE não existe na tabela "
                         "FATO_VENDAS."),
            std::string::npos)
      << run.err;

  EXPECT_EQ(Export("cube", dir_.path() + "/depois.yml"), exported);
  EXPECT_EQ(History().size(), recorded);
}

}  // namespace
}  // namespace appserver::testing
