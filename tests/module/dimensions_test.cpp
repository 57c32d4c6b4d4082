// Dimensions of a fact table end to end: the person adds, edits and deletes
// them through the dimension grid and the toolbar against the real server
// (behind a scripted one that records the arguments, and answers differently
// where a test says so), answering the drill-link questions both ways.
#include <gtest/gtest.h>

#include <set>

#include "dimension_store.h"
#include "linked_screen.h"
#include "orb/busy.h"
#include "rtl/exceptions.h"
#include "screen_test_util.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;

const char kIncons1[] =
    "A alteração desta dimensão poderá anular a funcionalidade de drill down da tabela fato. A "
    "ligação com a tabela  \"DRILL_VENDAS_DIA\" será afetada.\r\nDeseja continuar?";
const char kIncons2[] =
    "A alteração desta dimensão poderá anular a funcionalidade de drill down da tabela fato. A "
    "ligação com as tabelas  \"DRILL_ESTOQUE_LOTE\" e \"DRILL_VENDAS_DIA\" será "
    "afetada.\r\nDeseja continuar?";
const char kMaisDimeS[] =
    "A tabela \"FATO_VENDAS\" terá dimensões inconsistentes com a tabela drill "
    "\"DRILL_VENDAS_DIA\".\r\nConfirma Inclusão?";
const char kMaisDimeP[] =
    "A tabela \"FATO_VENDAS\" terá dimensões inconsistentes com as tabelas drill "
    "\"DRILL_ESTOQUE_LOTE, DRILL_VENDAS_DIA\".\r\nConfirma Inclusão?";

// A look-up on which the person chooses the row whose `field` is `value`.
ScriptedUserInterface::LookupAction Choose(std::string field, std::string value) {
  return [field, value](db::TDataSource& source) {
    return source.DataSet()->Locate(field, rtl::Variant(value), db::loNone);
  };
}

class Dimensions : public ::testing::Test {
 protected:
  Dimensions() : h(Backend::kScripted), s(OpenLinkedScreen(h)), store(s) {
    h.Focus("dbgTabelaFatos");
    OpenDimensionsOf("FATO_VENDAS");
  }
  ~Dimensions() override { EXPECT_EQ(orb::ShowAviDepth(), 0); }

  // The dimension grid of fact table `table`, its panel active.
  void OpenDimensionsOf(const std::string& table) {
    if (s.pgcPadrao->ActivePage() != s.tshPadrao) {
      ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
    }
    h.Focus("dbgTabelaFatos");
    ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant(table), db::loNone));
    ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
    h.Focus("dbgDimensoes");
    ASSERT_EQ(s.dbgDimensoes->DataSource(), s.dtsDime);
  }
  // A new row with `column` and `number` typed into the grid.
  void TypeNewRow(const std::string& column, const std::string& number) {
    ASSERT_TRUE(h.Click("sbtIncluir"));
    ASSERT_EQ(s.cdsDime->State(), TDataSetState::dsInsert);
    h.PickColumn("dbgDimensoes", "CDITEMDIME");
    h.Type("dbgDimensoes", column);
    h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
    h.Type("dbgDimensoes", number);
  }
  // Starts editing the row of `column` in the number column and types `number`.
  void EditNumber(const std::string& column, const std::string& number) {
    ASSERT_TRUE(s.cdsDime->Locate("CDITEMDIME", rtl::Variant(column), db::loNone));
    ASSERT_TRUE(h.Click("sbtAlterar"));
    h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
    s.dbgDimensoes->SetEditorText(number);
  }
  std::vector<std::string> Calls() { return h.Scripted().CallNames(); }
  size_t IndexOf(const std::string& method) {
    const auto calls = Calls();
    return std::find(calls.begin(), calls.end(), method) - calls.begin();
  }
  size_t LastIndexOf(const std::string& method) {
    const auto calls = Calls();
    const auto it = std::find(calls.rbegin(), calls.rend(), method);
    return it == calls.rend() ? calls.size() : calls.rend() - it - 1;
  }
  void ExpectWarning(int answer, const std::string& text) { h.ui().ExpectMessageBox(answer, text); }
  void CheckLastIsWarning(const std::string& text) {
    ASSERT_FALSE(h.Questions().empty());
    const Question& q = h.Questions().back();
    EXPECT_EQ(q.kind, QuestionKind::kMessageBox);
    EXPECT_EQ(q.text, text);
    EXPECT_EQ(q.caption, "Alerta");
    EXPECT_EQ(q.flags, vcl::MB_YESNO | vcl::MB_ICONWARNING | vcl::MB_DEFBUTTON2);
  }

  ScreenHarness h;
  TfrmEstrutura& s;
  DimensionStore store;
};

TEST_F(Dimensions, ADimensionChosenWithBothLookupsIsStored) {
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgDimensoes", "CDITEMDIME");
  h.Scripted().ClearCalls();
  h.ui().ExpectLookup(Choose("CDFIELD", "DT_VENDA"), "Campos");
  s.dbgDimensoes->ClickEditButton();
  ASSERT_TRUE(OneCallWith(h.Scripted().CallsOf("GetFields"), {"D", "FATO_VENDAS"}));
  // The columns offered are those still free: no fact, no dimension.
  const auto offered = Column(s.cdsFields, "CDFIELD");
  EXPECT_TRUE(Contains(offered, "CD_REGIAO"));
  EXPECT_FALSE(Contains(offered, "CD_MES"));
  EXPECT_FALSE(Contains(offered, "VL_VENDA"));
  EXPECT_EQ(s.cdsDime->FieldByName("CDITEMDIME")->AsString(), "DT_VENDA");

  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
  h.ui().ExpectLookup(Choose("NRSEQUEDIME", "00010"), "Dimensão");
  s.dbgDimensoes->ClickEditButton();
  EXPECT_EQ(s.cdsDime->FieldByName("NRSEQUEDIME")->AsString(), "00010");
  // The catalogue copy of the dialog filters again afterwards.
  EXPECT_TRUE(s.cdsPesqDimeDime->Filtered());

  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsDime->ChangeCount(), 0);
  for (const Question& q : h.Questions()) EXPECT_NE(q.kind, QuestionKind::kMessageBox);
  // Saved, then the table's details fetched again.
  EXPECT_LT(IndexOf("SetDime"), LastIndexOf("GetDimeFatos"));
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").at("DT_VENDA"), "00010");
  ASSERT_TRUE(h.Click("sbtVerificar"));
  EXPECT_TRUE(s.cdsDime->Locate("CDITEMDIME", rtl::Variant("DT_VENDA"), db::loNone));
  EXPECT_EQ(s.cdsDime->FieldByName("NRSEQUEDIME")->AsString(), "00010");

  // Choosing the number a browsed row already has changes nothing.
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
  h.ui().ExpectLookup(Choose("NRSEQUEDIME", "00010"), "Dimensão");
  s.dbgDimensoes->ClickEditButton();
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsBrowse);
  // Another number puts the row into edit state.
  h.ui().ExpectLookup(Choose("NRSEQUEDIME", "00004"), "Dimensão");
  s.dbgDimensoes->ClickEditButton();
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsEdit);
  EXPECT_EQ(s.cdsDime->FieldByName("NRSEQUEDIME")->AsString(), "00004");
  s.cdsDime->Cancel();
}

TEST_F(Dimensions, NoFreeColumnReportsItAndOpensNoDialog) {
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgDimensoes", "CDITEMDIME");
  h.Scripted().Once("GetFields", ScriptedServer::Returns(TextPacket({"CDFIELD"}, {})));
  h.ui().ExpectError("Não há campos disponíveis para a criação de dimensões.");
  EXPECT_THROW(s.dbgDimensoes->ClickEditButton(), rtl::EAbort);
  for (const Question& q : h.Questions()) EXPECT_NE(q.kind, QuestionKind::kLookup);
  s.cdsDime->Cancel();
}

TEST_F(Dimensions, TypedValuesAreSentAndStoredInTheirStoredForms) {
  TypeNewRow("dt_ venda", "10");
  // Leaving the column already normalised it.
  EXPECT_EQ(s.cdsDime->FieldByName("CDITEMDIME")->AsString(), "DT_VENDA");
  EXPECT_EQ(s.cdsDime->FieldByName("CDTABELADW")->AsString(), "FATO_VENDAS");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  const auto check = h.Scripted().CallsOf("GetDimeFatos");
  ASSERT_FALSE(check.empty());
  EXPECT_EQ(check[0].args[1].AsString(), "DT_VENDA");
  EXPECT_EQ(check[0].args[2].AsString(), "00010");
  EXPECT_EQ(check[0].args[3].AsString(), "VD_DIME");
  const auto drill = h.Scripted().CallsOf("getVdDrill");
  ASSERT_EQ(drill.size(), 1u);
  EXPECT_EQ(drill[0].args[0].AsString(), "");
  EXPECT_EQ(drill[0].args[1].AsString(), "FATO_VENDAS");
  EXPECT_EQ(drill[0].args[2].AsString(), "");
  EXPECT_EQ(drill[0].args[3].AsString(), "00010");
  const auto sent = h.Scripted().CallsOf("SetDime");
  ASSERT_EQ(sent.size(), 1u);
  const db::Packet delta = db::PacketFromVariant(sent[0].args[0]);
  ASSERT_EQ(delta.rows.size(), 1u);
  EXPECT_EQ(delta.rows[0].values[1], std::optional<std::string>("DT_VENDA"));
  EXPECT_EQ(delta.rows[0].values[2], std::optional<std::string>("00010"));
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").at("DT_VENDA"), "00010");
}

TEST_F(Dimensions, RowRulesReportInTheirOrderAndKeepTheRow) {
  struct Case {
    std::string column, number, message;
  };
  const Case cases[] = {
      {"", "", "Campo deve ser informado."},
      {"cd_regiao", "", "Dimensão deve ser informada."},
      // The column is compared first, also when the number is taken too.
      {"cd_mes", "3", "Campo já cadastrado."},
      {"cd_regiao", "3", "Dimensão já cadastrada."},
      {"cd_regiao", "99", "Dimensão não cadastrada."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column + "/" + c.number);
    ASSERT_TRUE(h.Click("sbtIncluir"));
    s.cdsDime->FieldByName("CDITEMDIME")->SetAsString(c.column);
    s.cdsDime->FieldByName("NRSEQUEDIME")->SetAsString(c.number);
    h.Scripted().ClearCalls();
    h.ui().ExpectError(c.message);
    EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
    EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsInsert);
    EXPECT_FALSE(Contains(Calls(), "SetDime"));
    // An empty value stops the post before its checks reach the server (the
    // focus moving to the number leaves the column, whose own check may ask).
    if (c.number.empty()) {
      EXPECT_FALSE(Contains(Calls(), "getVdDrill"));
    }
    if (c.column.empty()) {
      EXPECT_TRUE(Calls().empty());
    }
    s.cdsDime->Cancel();
  }
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").size(), 3u);
}

TEST_F(Dimensions, EditingOnlyTheColumnAsksNoDrillLinkQuestion) {
  ASSERT_TRUE(s.cdsDime->Locate("CDITEMDIME", rtl::Variant("CD_MES"), db::loNone));
  ASSERT_TRUE(h.Click("sbtAlterar"));
  s.cdsDime->FieldByName("CDITEMDIME")->SetAsString("dt_ venda");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_FALSE(Contains(Calls(), "getVdUpdDimeDW"));
  EXPECT_FALSE(Contains(Calls(), "setDelManyDrill"));
  // The changed column is checked with the server, and so is its drill impact.
  EXPECT_EQ(h.Scripted().CallsOf("GetDimeFatos")[0].args[1].AsString(), "DT_VENDA");
  ASSERT_EQ(h.Scripted().CallsOf("getVdDrill").size(), 1u);
  EXPECT_EQ(h.Scripted().CallsOf("getVdDrill")[0].args[3].AsString(), "00003");
  for (const Question& q : h.Questions()) EXPECT_NE(q.kind, QuestionKind::kMessageBox);
  const auto stored = store.Dimensions("FATO_VENDAS");
  EXPECT_EQ(stored.at("DT_VENDA"), "00003");
  EXPECT_EQ(stored.count("CD_MES"), 0u);
}

TEST_F(Dimensions, AChangedNumberWithOneAffectedDrillTableAnsweredNoDropsTheEdit) {
  EditNumber("CD_MES", "4");
  h.Scripted().ClearCalls();
  ExpectWarning(vcl::IDNO, "tabela");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  CheckLastIsWarning(kIncons1);
  EXPECT_EQ(h.Scripted().CallsOf("getVdUpdDimeDW")[0].args[1].AsString(), "00004");
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsDime->ChangeCount(), 0);
  EXPECT_TRUE(Contains(Calls(), "GetDimeFatos"));  // reloaded
  EXPECT_FALSE(Contains(Calls(), "setDelManyDrill"));
  EXPECT_FALSE(Contains(Calls(), "SetDime"));
  ASSERT_TRUE(s.cdsDime->Locate("CDITEMDIME", rtl::Variant("CD_MES"), db::loNone));
  EXPECT_EQ(s.cdsDime->FieldByName("NRSEQUEDIME")->AsString(), "00003");
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").at("CD_MES"), "00003");
  EXPECT_EQ(store.DrillTargets("FATO_VENDAS"), std::set<std::string>{"DRILL_VENDAS_DIA"});
}

TEST_F(Dimensions, AChangedNumberAnsweredYesDropsTheLinksBeforeTheRowIsSaved) {
  EditNumber("CD_MES", "4");
  h.Scripted().ClearCalls();
  ExpectWarning(vcl::IDYES, "tabela");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  CheckLastIsWarning(kIncons1);
  EXPECT_LT(IndexOf("setDelManyDrill"), IndexOf("SetDime"));
  const auto dropped = h.Scripted().CallsOf("setDelManyDrill");
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].args[1].AsString(), "FATO_VENDAS");
  EXPECT_EQ(s.cdsDime->ChangeCount(), 0);
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").at("CD_MES"), "00004");
  EXPECT_TRUE(store.DrillTargets("FATO_VENDAS").empty());
}

TEST_F(Dimensions, TwoAffectedDrillTablesAreJoinedWithAnd) {
  // FATO_VENDAS drills into both drill tables once DRILL_ESTOQUE_LOTE
  // carries the client dimension too.
  store.AddDrillDimension("DRILL_ESTOQUE_LOTE", "DT_VALIDADE", "00001");
  ASSERT_TRUE(store.LinkFact("FATO_VENDAS", "QT_VENDIDA", "DRILL_ESTOQUE_LOTE"));
  OpenDimensionsOf("FATO_VENDAS");

  EditNumber("CD_MES", "4");
  ExpectWarning(vcl::IDNO, "tabelas");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  CheckLastIsWarning(kIncons2);
  EXPECT_EQ(store.DrillTargets("FATO_VENDAS"),
            (std::set<std::string>{"DRILL_ESTOQUE_LOTE", "DRILL_VENDAS_DIA"}));

  // Asked on leaving the column as well: Yes there drops the links at once.
  EditNumber("CD_MES", "4");
  h.PickColumn("dbgDimensoes", "CDITEMDIME");
  ExpectWarning(vcl::IDYES, "tabelas");
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
  EXPECT_TRUE(store.DrillTargets("FATO_VENDAS").empty());
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsEdit);
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").at("CD_MES"), "00004");
}

TEST_F(Dimensions, ANumberTypedInAnotherFormOfTheSavedOneIsNoChange) {
  EditNumber("CD_MES", "3");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_FALSE(Contains(Calls(), "getVdUpdDimeDW"));
  EXPECT_FALSE(Contains(Calls(), "getVdDrill"));
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").at("CD_MES"), "00003");
}

TEST_F(Dimensions, ANewDimensionTheDrillTableLacksAnsweredNoIsGone) {
  const int rows = s.cdsDime->RecordCount();
  TypeNewRow("cd_regiao", "4");
  h.Scripted().ClearCalls();
  ExpectWarning(vcl::IDNO, "Confirma");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  CheckLastIsWarning(kMaisDimeS);
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsDime->RecordCount(), rows);
  EXPECT_EQ(s.cdsDime->ChangeCount(), 0);
  EXPECT_TRUE(Contains(Calls(), "GetDimeFatos"));
  EXPECT_FALSE(Contains(Calls(), "setDelDrillDw"));
  EXPECT_FALSE(Contains(Calls(), "SetDime"));
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").count("CD_REGIAO"), 0u);
  EXPECT_EQ(store.DrillTargets("FATO_VENDAS"), std::set<std::string>{"DRILL_VENDAS_DIA"});
}

TEST_F(Dimensions, ANewDimensionTheDrillTableLacksAnsweredYesDropsTheLinksAndIsSaved) {
  TypeNewRow("cd_regiao", "4");
  h.Scripted().ClearCalls();
  ExpectWarning(vcl::IDYES, "Confirma");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  CheckLastIsWarning(kMaisDimeS);
  const auto dropped = h.Scripted().CallsOf("setDelDrillDw");
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].args[1].AsString(), "$$FATO_VENDAS");
  EXPECT_EQ(db::PacketFromVariant(dropped[0].args[0]).rows.size(), 1u);
  EXPECT_LT(IndexOf("setDelDrillDw"), IndexOf("SetDime"));
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").at("CD_REGIAO"), "00004");
  EXPECT_TRUE(store.DrillTargets("FATO_VENDAS").empty());
  // The facts of the table are still there, without a drill table.
  EXPECT_EQ(store.Facts("FATO_VENDAS").size(), 2u);
}

TEST_F(Dimensions, SeveralAffectedDrillTablesUseThePluralQuestion) {
  store.AddDrillDimension("DRILL_ESTOQUE_LOTE", "DT_VALIDADE", "00001");
  ASSERT_TRUE(store.LinkFact("FATO_VENDAS", "QT_VENDIDA", "DRILL_ESTOQUE_LOTE"));
  OpenDimensionsOf("FATO_VENDAS");
  TypeNewRow("cd_regiao", "4");
  ExpectWarning(vcl::IDNO, "Confirma");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  CheckLastIsWarning(kMaisDimeP);
}

TEST_F(Dimensions, APostWithNothingPendingStillReloads) {
  ASSERT_TRUE(h.Click("sbtAlterar"));
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_FALSE(Contains(Calls(), "SetDime"));
  EXPECT_EQ(CountOf(Calls(), "GetDimeFatos"), 1);
}

TEST_F(Dimensions, ADeleteTheServerRefusesIsBroughtBack) {
  ASSERT_TRUE(s.cdsDime->Locate("CDITEMDIME", rtl::Variant("CD_MES"), db::loNone));
  const int rows = s.cdsDime->RecordCount();
  h.Scripted().Once("SetDime", ScriptedServer::Refuses("INV_TABELAFATO_VENDAS"));
  h.ui().ExpectDialog(vcl::mrYes, "exclusão");
  h.ui().ExpectError("Tabela \"FATO_VENDAS\" inválida.");
  EXPECT_THROW(h.Click("sbtExcluir"), rtl::EAbort);
  EXPECT_EQ(s.cdsDime->RecordCount(), rows);
  EXPECT_EQ(s.cdsDime->ChangeCount(), 0);
  EXPECT_TRUE(Contains(Column(s.cdsDime, "CDITEMDIME"), "CD_MES"));

  // Accepted the next time, and gone on the server.
  h.ui().ExpectDialog(vcl::mrYes, "exclusão");
  ASSERT_TRUE(s.cdsDime->Locate("CDITEMDIME", rtl::Variant("CD_MES"), db::loNone));
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_EQ(s.cdsDime->RecordCount(), rows - 1);
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").count("CD_MES"), 0u);
}

TEST_F(Dimensions, ARefusedSaveHandsTheRowBackAndTheNextSaveCarriesOnlyItsOwn) {
  // A real refusal: a decimal column cannot be a dimension.
  TypeNewRow("vl_ desconto", "10");
  h.Scripted().ClearCalls();
  h.ui().ExpectError("Tipo de campo não permitido para constituir uma dimensão.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(h.ui().Errors().size(), 1u);
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsDime->ChangeCount(), 0);
  EXPECT_EQ(s.cdsDime->FieldByName("CDITEMDIME")->AsString(), "VL_DESCONTO");
  EXPECT_EQ(s.cdsDime->FieldByName("NRSEQUEDIME")->AsString(), "00010");
  EXPECT_FALSE(s.tshPadrao->Enabled());  // still being inserted

  // The link fails on the corrected row: handed back again.
  s.cdsDime->FieldByName("CDITEMDIME")->SetAsString("dt_venda");
  h.Scripted().Once("SetDime", [](std::vector<rtl::Variant>&) -> rtl::Variant {
    throw std::runtime_error("ligação perdida");
  });
  h.ui().AllowUnscriptedErrors();
  EXPECT_ANY_THROW(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsDime->FieldByName("CDITEMDIME")->AsString(), "DT_VENDA");
  EXPECT_EQ(store.Dimensions("FATO_VENDAS").count("DT_VENDA"), 0u);

  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsBrowse);
  const auto sent = h.Scripted().CallsOf("SetDime");
  ASSERT_EQ(sent.size(), 1u);
  const db::Packet delta = db::PacketFromVariant(sent[0].args[0]);
  ASSERT_EQ(delta.rows.size(), 1u);
  EXPECT_EQ(delta.rows[0].values[1], std::optional<std::string>("DT_VENDA"));
  const auto stored = store.Dimensions("FATO_VENDAS");
  EXPECT_EQ(stored.at("DT_VENDA"), "00010");
  EXPECT_EQ(stored.count("VL_DESCONTO"), 0u);
}

TEST_F(Dimensions, TheKeyFilterOfEachColumn) {
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgDimensoes", "CDITEMDIME");
  h.Type("dbgDimensoes", "cd_1");
  EXPECT_EQ(s.dbgDimensoes->EditorText(), "cd_1");
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
  h.Type("dbgDimensoes", "1a-2 3");
  EXPECT_EQ(s.dbgDimensoes->EditorText(), "123");
  h.Type("dbgDimensoes", "\b");
  EXPECT_EQ(s.dbgDimensoes->EditorText(), "12");
  h.Press("dbgDimensoes", vcl::VK_ESCAPE);
  h.Press("dbgDimensoes", vcl::VK_ESCAPE);
  ASSERT_EQ(s.cdsDime->State(), TDataSetState::dsBrowse);

  // The drill table's column is typed in upper case.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  h.Focus("dbgTabelaDrill");
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus("dbgDimensoes");
  ASSERT_EQ(s.dbgDimensoes->DataSource(), s.dtsDimeDrill);
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgDimensoes", "CDDIMEDRILL");
  h.Type("dbgDimensoes", "cd_lote ç");
  EXPECT_EQ(s.dbgDimensoes->EditorText(), "CD_LOTE ç");
  h.Press("dbgDimensoes", vcl::VK_ESCAPE);
  h.Press("dbgDimensoes", vcl::VK_ESCAPE);
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsBrowse);
}

TEST_F(Dimensions, LeavingTheNumberColumnChecksTheCatalogueOnEitherSide) {
  auto check = [&](db::TClientDataSet* ds, const std::string& column, const std::string& refusal,
                   const std::string& free_number) {
    ASSERT_TRUE(h.Click("sbtIncluir"));
    h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
    h.Type("dbgDimensoes", "99");
    h.ui().ExpectError(refusal);
    EXPECT_THROW(h.PickColumn("dbgDimensoes", column), rtl::EAbort);
    EXPECT_EQ(s.dbgDimensoes->SelectedField()->FieldName(), "NRSEQUEDIME");
    s.dbgDimensoes->SetEditorText(free_number);
    h.PickColumn("dbgDimensoes", column);
    EXPECT_EQ(ds->FieldByName("NRSEQUEDIME")->AsString(), "0000" + free_number);
    ds->Cancel();
  };
  check(s.cdsDime, "CDITEMDIME", "Dimensão não cadastrada.", "6");
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  h.Focus("dbgTabelaDrill");
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus("dbgDimensoes");
  // On the drill side the server judges the number first (vd_dimeDrill),
  // then the catalogue is consulted.
  check(s.cdsDimeDrill, "CDDIMEDRILL", "Dimensão \"00099\" inválida para a tabela", "4");
}

TEST_F(Dimensions, TheDrillSideLookupsListTheDrillTable) {
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  h.Focus("dbgTabelaDrill");
  ASSERT_TRUE(
      s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant("DRILL_ESTOQUE_LOTE"), db::loNone));
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus("dbgDimensoes");
  h.PickColumn("dbgDimensoes", "CDDIMEDRILL");
  h.Scripted().ClearCalls();
  h.ui().ExpectLookup(Choose("CDFIELD", "DT_VALIDADE"), "Campos");
  s.dbgDimensoes->ClickEditButton();
  const auto asked = h.Scripted().CallsOf("GetFields");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[1].AsString(), "DRILL_ESTOQUE_LOTE");
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsEdit);
  EXPECT_EQ(s.cdsDimeDrill->FieldByName("CDDIMEDRILL")->AsString(), "DT_VALIDADE");
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
  h.ui().ExpectLookup(Choose("NRSEQUEDIME", "00001"), "Dimensão");
  s.dbgDimensoes->ClickEditButton();
  EXPECT_EQ(s.cdsDimeDrill->FieldByName("NRSEQUEDIME")->AsString(), "00001");
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsBrowse);
  s.cdsDimeDrill->Cancel();
}

// The insertion check called for a drill dimension, as the drill side's
// before-post does; the server is scripted to name an affected table.
class DrillSideInsertion : public Dimensions {
 protected:
  DrillSideInsertion() { OpenDrillDimensions(); }
  void OpenDrillDimensions() {
    // The fact table current in the other list has drill links of its own,
    // which the drill side must leave alone.
    OpenDimensionsOf("FATO_ESTOQUE");
    ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
    h.Focus("dbgTabelaDrill");
    ASSERT_TRUE(
        s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant("DRILL_VENDAS_DIA"), db::loNone));
    ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
    h.Focus("dbgDimensoes");
  }
  void NewDrillRow() {
    s.cdsDimeDrill->Append();
    s.cdsDimeDrill->FieldByName("CDDIMEDRILL")->SetAsString("CD_REGIAO");
    s.cdsDimeDrill->FieldByName("NRSEQUEDIME")->SetAsString("00004");
    h.Scripted().ClearCalls();
    h.Scripted().Once("getVdDrill",
                      ScriptedServer::Returns(TextPacket({"TABELAS"}, {{"FATO_VENDAS"}})));
  }
};

TEST_F(DrillSideInsertion, YesDropsTheLinksToThisDrillTableOnly) {
  NewDrillRow();
  ASSERT_EQ(s.cdsDimeDrill->FieldByName("CDTABDRILL")->AsString(), "DRILL_VENDAS_DIA");
  ExpectWarning(vcl::IDYES, "Confirma");
  s.vd_incluirFatos();
  const auto asked = h.Scripted().CallsOf("getVdDrill");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[0].AsString(), "DRILL_VENDAS_DIA");
  EXPECT_EQ(asked[0].args[1].AsString(), "00004");
  EXPECT_EQ(asked[0].args[2].AsString(), "");
  EXPECT_EQ(asked[0].args[3].AsString(), "00004");
  CheckLastIsWarning(
      "A tabela \"DRILL_VENDAS_DIA\" terá dimensões inconsistentes com a tabela drill "
      "\"FATO_VENDAS\".\r\nConfirma Inclusão?");
  const auto dropped = h.Scripted().CallsOf("setDelDrillDw");
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].args[1].AsString(), "DRILL_VENDAS_DIA");
  EXPECT_TRUE(store.DrillTargets("FATO_VENDAS").empty());
  EXPECT_EQ(store.DrillTargets("FATO_ESTOQUE"), std::set<std::string>{"DRILL_ESTOQUE_LOTE"});
  // The row goes on to its post; nothing was reloaded.
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsInsert);
  EXPECT_FALSE(Contains(Calls(), "GetDimeFatosDrill"));
  s.cdsDimeDrill->Cancel();
}

TEST_F(DrillSideInsertion, NoDropsTheRowAndReloadsTheDrillTable) {
  const int rows = s.cdsDimeDrill->RecordCount();
  NewDrillRow();
  ExpectWarning(vcl::IDNO, "Confirma");
  EXPECT_THROW(s.vd_incluirFatos(), rtl::EAbort);
  EXPECT_TRUE(h.ui().Errors().empty());
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsDimeDrill->RecordCount(), rows);
  EXPECT_TRUE(Contains(Calls(), "GetDimeFatosDrill"));
  EXPECT_FALSE(Contains(Calls(), "setDelDrillDw"));
  EXPECT_EQ(store.DrillTargets("FATO_VENDAS"), std::set<std::string>{"DRILL_VENDAS_DIA"});
}

TEST_F(DrillSideInsertion, WhatIsExaminedBySideAndState) {
  // Neither side edited: nothing asked.
  h.Scripted().ClearCalls();
  s.vd_incluirFatos();
  EXPECT_TRUE(Calls().empty());

  // A drill row edited without a change (letter case counts) asks nothing;
  // a changed number asks with the edit form.
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("CD_MES"), db::loNone));
  s.cdsDimeDrill->Edit();
  s.cdsDimeDrill->FieldByName("NRSEQUEDIME")->SetAsString("00003");
  s.vd_incluirFatos();
  EXPECT_TRUE(Calls().empty());
  s.cdsDimeDrill->FieldByName("CDDIMEDRILL")->SetAsString("cd_mes");
  s.vd_incluirFatos();
  ASSERT_EQ(h.Scripted().CallsOf("getVdDrill").size(), 1u);
  s.cdsDimeDrill->FieldByName("CDDIMEDRILL")->SetAsString("CD_MES");
  s.cdsDimeDrill->FieldByName("NRSEQUEDIME")->SetAsString("00004");
  h.Scripted().ClearCalls();
  // With both sides edited only the drill side is examined.
  ASSERT_TRUE(s.cdsDime->Locate("CDITEMDIME", rtl::Variant("CD_MES"), db::loNone));
  s.cdsDime->Edit();
  s.cdsDime->FieldByName("CDITEMDIME")->SetAsString("QT_MINIMA");
  s.vd_incluirFatos();
  const auto asked = h.Scripted().CallsOf("getVdDrill");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[0].AsString(), "DRILL_VENDAS_DIA");
  EXPECT_EQ(asked[0].args[1].AsString(), "");
  EXPECT_EQ(asked[0].args[2].AsString(), "00004");
  EXPECT_EQ(asked[0].args[3].AsString(), "00004");
  s.cdsDimeDrill->Cancel();
  s.cdsDime->Cancel();
}

}  // namespace
}  // namespace qmxtest
