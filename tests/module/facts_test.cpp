// The facts of a fact table end to end: the person adds, edits, marks and
// deletes facts on page "Fatos e Dimensões" through the fact grid and the
// toolbar, against the real server (behind a scripted one where a test needs
// to see arguments or answer differently).
#include <gtest/gtest.h>

#include "orb/busy.h"
#include "orb/local_cache.h"
#include "rtl/exceptions.h"
#include "screen_test_util.h"
#include "scripted_screen_test.h"
#include "support/other_desk.h"
#include "vcl/application.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;

class Facts : public ScriptedScreenTest {
 protected:
  // Page 2 of FATO_VENDAS, whose two facts drill into DRILL_VENDAS_DIA.
  Facts() {
    EXPECT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
    EXPECT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
    EXPECT_TRUE(s.dbgFatos->Focused());
  }
  void StartFact() {
    ASSERT_TRUE(h.Click("sbtIncluir"));
    ASSERT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);
  }
  // Types `text` into the column of `field` of the current row.
  void TypeInto(const std::string& field, const std::string& text) {
    h.PickColumn("dbgFatos", field);
    h.Type("dbgFatos", text);
  }
  std::string Value(const std::string& field) { return s.cdsFatos->FieldByName(field)->AsString(); }
  bool Locate(const std::string& code) {
    return s.cdsFatos->Locate("CDITEMDW", rtl::Variant(code), db::loNone);
  }
  // The facts as the server has them now, read by the screen's own reload.
  void Reload() { ASSERT_TRUE(h.Click("sbtVerificar")); }
  std::vector<RecordedCall> FactChecks() {
    std::vector<RecordedCall> out;
    for (RecordedCall& c : h.Scripted().CallsOf("GetDimeFatos"))
      if (c.args.size() > 3 && c.args[3].AsString() == "VD_FATO") out.push_back(std::move(c));
    return out;
  }
};

TEST_F(Facts, ANewFactIsCheckedSavedAtOnceAndStored) {
  const int cached = orb::LocalCacheChangeCount("ITEMDW");
  StartFact();
  // While the fact is typed, only it can be worked on.
  EXPECT_FALSE(s.tshPadrao->Enabled());
  EXPECT_FALSE(s.pnlDImensoes->Enabled());
  EXPECT_EQ(Value("CDTABELADW"), "FATO_VENDAS");
  EXPECT_EQ(Value("IDFATODW"), "S");
  EXPECT_EQ(Value("IDTPFATODW"), "M");

  h.PickColumn("dbgFatos", "CDITEMDW");
  h.Scripted().ClearCalls();
  ExpectFieldChosen("VL_DESCONTO");
  s.dbgFatos->ClickEditButton();
  ASSERT_TRUE(OneCallWith(h.Scripted().CallsOf("GetFields"), {"F", "FATO_VENDAS"}));
  EXPECT_EQ(Value("CDITEMDW"), "VL_DESCONTO");
  TypeInto("NMITEMDW", "Desconto concedido");
  TypeInto("CDAREANEGDW", "2");
  h.PickColumn("dbgFatos", "DSHINTITEM");  // leaving the data mart widens it
  EXPECT_EQ(Value("CDAREANEGDW"), "00002");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));

  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_EQ(Value("CDITEMDW"), "VL_DESCONTO");  // current again after the save
  EXPECT_EQ(orb::LocalCacheChangeCount("ITEMDW"), cached + 1);
  EXPECT_TRUE(s.tshPadrao->Enabled());
  EXPECT_TRUE(s.pnlDImensoes->Enabled());
  const auto sent = h.Scripted().CallsOf("SetFatos");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].args[1].AsString(), "FATO_VENDAS");
  EXPECT_EQ(db::PacketFromVariant(sent[0].args[0]).rows.size(), 1u);
  // The post checked the duplicates once, and no drill table was asked about.
  EXPECT_EQ(FactChecks().size(), 1u);
  EXPECT_FALSE(Contains(Calls(), "getVdDrill"));

  Reload();
  ASSERT_TRUE(Locate("VL_DESCONTO"));
  EXPECT_EQ(Value("NMITEMDW"), "Desconto concedido");
  EXPECT_EQ(Value("CDAREANEGDW"), "00002");
  EXPECT_EQ(Value("IDFATODW"), "S");
  EXPECT_EQ(Value("IDTPFATODW"), "M");
  EXPECT_EQ(s.cdsFatos->RecordCount(), 3);
}

TEST_F(Facts, AFieldCodeTypedInLowerCaseWithBlanksIsAskedAndStoredNormalised) {
  StartFact();
  h.Scripted().ClearCalls();
  TypeInto("CDITEMDW", " pc_ margem ");
  h.PickColumn("dbgFatos", "NMITEMDW");
  EXPECT_EQ(Value("CDITEMDW"), "PC_MARGEM");
  // Asked at once, although the name is still empty.
  auto checks = FactChecks();
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_EQ(checks[0].args[1].AsString(), "PC_MARGEM");
  EXPECT_EQ(checks[0].args[2].AsString(), "");
  // And the name alone, with the code as it stands.
  h.Type("dbgFatos", "Margem");
  h.PickColumn("dbgFatos", "CDAREANEGDW");
  checks = FactChecks();
  ASSERT_EQ(checks.size(), 2u);
  EXPECT_EQ(checks[1].args[2].AsString(), "Margem");
  h.Type("dbgFatos", "00001");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  Reload();
  EXPECT_TRUE(Locate("PC_MARGEM"));
  EXPECT_FALSE(Contains(Column(s.cdsFatos, "CDITEMDW"), " pc_ margem "));
}

TEST_F(Facts, DuplicatesAreRefusedFieldCodeFirstInInsertAndNameFirstInEdit) {
  // Insert: the first fact of the server's answer decides, field code first,
  // by exact comparison.
  struct Case {
    std::vector<std::string> answer;  // CDITEMDW, NMITEMDW of the one fact found
    std::string message;              // empty: passes
    std::string focused;
  };
  const Case cases[] = {
      {{"VL_DESCONTO", "Desconto"}, "Campo já cadastrado.", "CDITEMDW"},
      {{"OUTRO", "Desconto"}, "Nome já cadastrado.", "NMITEMDW"},
      {{"vl_desconto", "desconto"}, "", ""},
  };
  StartFact();
  TypeInto("CDITEMDW", "vl_desconto");
  TypeInto("NMITEMDW", "Desconto");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer[0]);
    const std::vector<std::string> row = c.answer;
    h.Scripted().Once("GetDimeFatos", [row](std::vector<rtl::Variant>&) {
      return TextPacket({"IDFATODW", "CDTABELADW", "CDITEMDW", "NMITEMDW", "CDAREANEGDW",
                         "IDTPFATODW", "DSHINTITEM"},
                        {{"S", "FATO_VENDAS", row[0], row[1], "00001", "M", ""}});
    });
    h.ui().ClearLog();
    if (c.message.empty()) {
      s.vd_fatos();
      continue;
    }
    h.ui().ExpectError(c.message);
    EXPECT_THROW(s.vd_fatos(), rtl::EAbort);
    EXPECT_EQ(s.dbgFatos->SelectedField()->FieldName(), c.focused);
    EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);
    // The animation of the check was a validation's.
    ASSERT_FALSE(h.ui().BusyLog().empty());
    EXPECT_EQ(h.ui().BusyLog().front().caption, "Validando dados no servidor");
    EXPECT_EQ(h.ui().BusyLog().front().kind, 6);
  }
  // The real server: the code of an existing fact, refused when confirmed.
  s.cdsFatos->FieldByName("CDITEMDW")->SetAsString("qt_vendida");
  s.cdsFatos->FieldByName("CDAREANEGDW")->SetAsString("1");
  h.Scripted().ClearCalls();
  h.ui().ExpectError("Campo já cadastrado.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(Value("CDITEMDW"), "QT_VENDIDA");
  EXPECT_EQ(Value("CDAREANEGDW"), "00001");
  EXPECT_FALSE(Contains(Calls(), "SetFatos"));
  h.ui().ExpectDialog(vcl::mrYes);
  ASSERT_TRUE(h.Click("sbtCancelar"));

  // Edit: a fact given both the name and the code of the other fact is told
  // about the name first.
  ASSERT_TRUE(Locate("VL_VENDA"));
  ASSERT_TRUE(h.Click("sbtAlterar"));
  s.cdsFatos->FieldByName("NMITEMDW")->SetAsString("Quantidade vendida");
  s.cdsFatos->FieldByName("CDITEMDW")->SetAsString("qt_vendida");
  h.ui().ExpectError("Nome já cadastrado.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.dbgFatos->SelectedField()->FieldName(), "NMITEMDW");
  s.cdsFatos->FieldByName("NMITEMDW")->SetAsString("Valor da venda");
  h.ui().ExpectError("Campo já cadastrado.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.dbgFatos->SelectedField()->FieldName(), "CDITEMDW");
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsEdit);

  // Its own name in other letters is no clash with itself.
  s.cdsFatos->FieldByName("CDITEMDW")->SetAsString("vl_ venda");
  s.cdsFatos->FieldByName("NMITEMDW")->SetAsString("VALOR VENDIDO");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  Reload();
  ASSERT_TRUE(Locate("VL_VENDA"));
  EXPECT_EQ(Value("NMITEMDW"), "VALOR VENDIDO");
}

// The link kept as loaded is not asked about: the server checks it again on
// the save. A changed link still is.
TEST_F(Facts, EditingTheDescriptionAloneAsksNeitherDuplicateNorDrillTable) {
  ASSERT_TRUE(Locate("QT_VENDIDA"));
  h.PickColumn("dbgFatos", "DSHINTITEM");
  s.dbgFatos->SetEditorText("Unidades vendidas no mês");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_TRUE(FactChecks().empty());
  EXPECT_TRUE(h.Scripted().CallsOf("getVdDrill").empty());
  Reload();
  ASSERT_TRUE(Locate("QT_VENDIDA"));
  EXPECT_EQ(Value("DSHINTITEM"), "Unidades vendidas no mês");

  ASSERT_TRUE(h.Click("sbtAlterar"));
  TypeInto("CDTABDRILL", "drill_estoque_lote");
  h.ui().ExpectError("DRILL_ESTOQUE_LOTE");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsEdit);
  const auto drill = h.Scripted().CallsOf("getVdDrill");
  ASSERT_FALSE(drill.empty());
  EXPECT_EQ(drill.back().args[0].AsString(), "DRILL_ESTOQUE_LOTE");
  EXPECT_EQ(drill.back().args[1].AsString(), "FATO_VENDAS");
}

// Another desk added a dimension the drill table lacks, dropping the links
// into it; this screen still shows the link. Changing only the description
// is answered by the save's own check that the row changed, not by a rule
// about the link the person cannot see, and the fact shows its stored link.
TEST_F(Facts, AStaleFactWhoseLinkWasDroppedElsewhereIsRefusedAsChanged) {
  OtherDesk other(h.OtherSession());
  other.DropDrillLinks("FATO_VENDAS", "DRILL_VENDAS_DIA");
  other.AddDimension("FATO_VENDAS", "CD_VENDEDOR", "00005");
  ASSERT_TRUE(Locate("QT_VENDIDA"));
  EXPECT_EQ(Value("CDTABDRILL"), "DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtAlterar"));
  h.PickColumn("dbgFatos", "DSHINTITEM");
  s.dbgFatos->SetEditorText("Unidades vendidas no mês");
  h.ui().ExpectError("alterado ou excluído por outro usuário");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  const std::vector<std::string> errors = h.ui().Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Descrição: Unidades vendidas no mês"), std::string::npos) << errors[0];
  EXPECT_EQ(errors[0].find("DRILL_VENDAS_DIA"), std::string::npos) << errors[0];
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Value("CDITEMDW"), "QT_VENDIDA");
  EXPECT_EQ(Value("CDTABDRILL"), "");
  EXPECT_EQ(Value("DSHINTITEM"), "Unidades vendidas");
}

TEST_F(Facts, AnUnknownDataMartOrARefusedDrillTableKeepsTheRowInInsert) {
  StartFact();
  ExpectFieldChosen("VL_DESCONTO");
  h.PickColumn("dbgFatos", "CDITEMDW");
  s.dbgFatos->ClickEditButton();
  TypeInto("NMITEMDW", "Desconto");
  TypeInto("CDAREANEGDW", "9");
  h.ui().ExpectError("Data Mart não cadastrado.");
  EXPECT_THROW(h.PickColumn("dbgFatos", "IDTPFATODW"), rtl::EAbort);
  EXPECT_EQ(Value("CDAREANEGDW"), "00009");
  EXPECT_EQ(s.dbgFatos->SelectedField()->FieldName(), "CDAREANEGDW");
  // The data marts are whole again for the grid's names.
  EXPECT_EQ(s.cdsAreaNegDW->Filter(), "");
  EXPECT_EQ(s.cdsAreaNegDW->RecordCount(), 3);
  s.cdsFatos->FieldByName("CDAREANEGDW")->SetAsString("3");

  // A drill table whose dimensions do not cover the table's: refused by the
  // server when the cell is left and when the row is confirmed.
  TypeInto("CDTABDRILL", "drill_estoque_lote");
  EXPECT_EQ(s.dbgFatos->EditorText(), "DRILL_ESTOQUE_LOTE");
  const std::string refused =
      "As dimensões da Tabela Drill \"DRILL_ESTOQUE_LOTE\" são incompatíveis com as dimensões da "
      "tabela \"FATO_VENDAS\".";
  h.ui().ExpectError(refused);
  EXPECT_THROW(h.PickColumn("dbgFatos", "DSHINTITEM"), rtl::EAbort);
  h.Scripted().ClearCalls();
  h.ui().ExpectError(refused);
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);
  EXPECT_EQ(Value("CDAREANEGDW"), "00003");
  EXPECT_FALSE(Contains(Calls(), "SetFatos"));
  // A drill table that fits is taken.
  s.cdsFatos->FieldByName("CDTABDRILL")->SetAsString("DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  Reload();
  ASSERT_TRUE(Locate("VL_DESCONTO"));
  EXPECT_EQ(Value("CDTABDRILL"), "DRILL_VENDAS_DIA");
}

TEST_F(Facts, ADeleteTheServerRefusesBringsTheFactBack) {
  ASSERT_TRUE(Locate("QT_VENDIDA"));
  h.Scripted().Once("SetFatos", ScriptedServer::Refuses("SEM_FATOFATO_VENDAS"));
  h.ui().ExpectDialog(vcl::mrYes, "Excluir");
  h.ui().ExpectError("Não há fatos cadastrados para a tabela \"FATO_VENDAS\".");
  EXPECT_ANY_THROW(h.Press("dbgFatos", vcl::VK_DELETE, vcl::ssCtrl));
  EXPECT_EQ(s.cdsFatos->RecordCount(), 2);
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_TRUE(Contains(Column(s.cdsFatos, "CDITEMDW"), "QT_VENDIDA"));

  // Taken, it is gone on the server too.
  ASSERT_TRUE(Locate("QT_VENDIDA"));
  h.ui().ExpectDialog(vcl::mrYes, "Confirma exclusão?");
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  Reload();
  EXPECT_EQ(Column(s.cdsFatos, "CDITEMDW"), std::vector<std::string>{"VL_VENDA"});
}

// A save the server refuses hands the row back as it was typed; a toggle
// refused stays open with its new mark until it is cancelled.
TEST_F(Facts, ARefusedSaveHandsTheFactBackAsTyped) {
  StartFact();
  TypeInto("CDITEMDW", "vl_desconto");
  TypeInto("NMITEMDW", "Desconto");
  TypeInto("CDAREANEGDW", "2");
  h.Scripted().Once("SetFatos", ScriptedServer::Refuses("NO_NUMBER"));
  h.ui().ExpectError("Só são aceitos campos do tipo numérico");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_EQ(Value("CDITEMDW"), "VL_DESCONTO");
  EXPECT_EQ(Value("CDAREANEGDW"), "00002");
  EXPECT_EQ(Value("IDTPFATODW"), "M");
  EXPECT_FALSE(s.tshPadrao->Enabled());
  // Confirmed again, it is taken.
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_TRUE(s.tshPadrao->Enabled());

  ASSERT_TRUE(Locate("QT_VENDIDA"));
  h.PickColumn("dbgFatos", "IDFATODW");
  h.Scripted().Once("SetFatos", ScriptedServer::Refuses("SEM_FATOFATO_VENDAS"));
  h.ui().ExpectError("Não há fatos cadastrados");
  EXPECT_THROW(s.dbgFatos->ClickCell(s.cdsFatos->RecNo(), 0), rtl::EAbort);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsEdit);
  EXPECT_EQ(Value("IDFATODW"), "N");
  h.ui().ExpectDialog(vcl::mrYes);
  ASSERT_TRUE(h.Click("sbtCancelar"));
  EXPECT_EQ(Value("IDFATODW"), "S");
  Reload();
  ASSERT_TRUE(Locate("QT_VENDIDA"));
  EXPECT_EQ(Value("IDFATODW"), "S");
  EXPECT_TRUE(Locate("VL_DESCONTO"));
}

TEST_F(Facts, TheCheckAllAlternatesFromUncheckingIsStoredAndKeepsDrillTables) {
  const int cached = orb::LocalCacheChangeCount("ITEMDW");
  h.Scripted().ClearCalls();
  h.ui().ClearLog();
  s.dbgFatos->ClickTitle(0);
  EXPECT_EQ(Column(s.cdsFatos, "IDFATODW"), (std::vector<std::string>{"N", "N"}));
  EXPECT_EQ(Column(s.cdsFatos, "CDTABDRILL"),
            (std::vector<std::string>{"DRILL_VENDAS_DIA", "DRILL_VENDAS_DIA"}));
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_TRUE(s.Flags().bomarcatodos);
  EXPECT_EQ(orb::LocalCacheChangeCount("ITEMDW"), cached + 1);
  const auto sent = h.Scripted().CallsOf("SetFatos");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].args[1].AsString(), "FATO_VENDAS");
  EXPECT_EQ(db::PacketFromVariant(sent[0].args[0]).rows.size(), 2u);
  // No check of a single fact ran, and the hourglass came and went.
  EXPECT_TRUE(FactChecks().empty());
  EXPECT_EQ(h.ui().Cursors(), (std::vector<int>{vcl::crHourGlass, vcl::crDefault}));
  Reload();
  EXPECT_EQ(Column(s.cdsFatos, "IDFATODW"), (std::vector<std::string>{"N", "N"}));
  EXPECT_EQ(Column(s.cdsFatos, "CDTABDRILL"),
            (std::vector<std::string>{"DRILL_VENDAS_DIA", "DRILL_VENDAS_DIA"}));

  // Another title only flashes the hourglass.
  h.Scripted().ClearCalls();
  s.dbgFatos->ClickTitle(2);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(s.Flags().bomarcatodos);

  // Ctrl+Space from any column is the same click: now everything is checked,
  // across fact tables.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_ESTOQUE"), db::loNone));
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.PickColumn("dbgFatos", "NMITEMDW");
  s.dbgFatos->ClickTitle(0);  // FATO_ESTOQUE: all "S" already, but sent
  EXPECT_FALSE(s.Flags().bomarcatodos);
  s.dbgFatos->ClickTitle(0);
  EXPECT_TRUE(s.Flags().bomarcatodos);
  h.Press("dbgFatos", vcl::VK_SPACE, vcl::ssCtrl);
  EXPECT_FALSE(s.Flags().bomarcatodos);
  Reload();
  EXPECT_EQ(Column(s.cdsFatos, "IDFATODW"), (std::vector<std::string>{"S", "S"}));
  EXPECT_EQ(Column(s.cdsFatos, "CDTABDRILL"), (std::vector<std::string>{"DRILL_ESTOQUE_LOTE", ""}));

  // A check-all the server refuses changes neither the marks nor the flag.
  h.Scripted().Once("SetFatos", ScriptedServer::Refuses("SEM_DIMEFATO_ESTOQUE"));
  h.ui().ExpectError("Não há dimensões cadastradas");
  EXPECT_THROW(s.dbgFatos->ClickTitle(0), rtl::EAbort);
  EXPECT_EQ(Column(s.cdsFatos, "IDFATODW"), (std::vector<std::string>{"S", "S"}));
  EXPECT_FALSE(s.Flags().bomarcatodos);
  EXPECT_EQ(vcl::Screen().Cursor(), vcl::crDefault);
}

TEST_F(Facts, AClickOnABoxOrShiftSpaceTogglesAndSavesAtOnce) {
  ASSERT_TRUE(Locate("QT_VENDIDA"));
  const int row = s.cdsFatos->RecNo();
  h.Scripted().ClearCalls();
  s.dbgFatos->ClickCell(row, 0);
  EXPECT_EQ(Value("IDFATODW"), "N");
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_EQ(h.Scripted().CallsOf("SetFatos").size(), 1u);
  // The check column opens no editor.
  EXPECT_FALSE(s.dbgFatos->Options() & vcl::dgEditing);
  h.Type("dbgFatos", "x");
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);

  h.Press("dbgFatos", vcl::VK_SPACE, vcl::ssShift);
  EXPECT_EQ(Value("IDFATODW"), "S");
  EXPECT_EQ(h.Scripted().CallsOf("SetFatos").size(), 2u);
  // Elsewhere Shift+Space toggles nothing.
  h.PickColumn("dbgFatos", "DSHINTITEM");
  EXPECT_TRUE(s.dbgFatos->Options() & vcl::dgEditing);
  h.Press("dbgFatos", vcl::VK_SPACE, vcl::ssShift);
  EXPECT_EQ(Value("IDFATODW"), "S");
  h.PickColumn("dbgFatos", "IDFATODW");
  s.dbgFatos->ClickCell(row, 0);
  Reload();
  ASSERT_TRUE(Locate("QT_VENDIDA"));
  EXPECT_EQ(Value("IDFATODW"), "N");
}

TEST_F(Facts, TheTypeColumnTakesOnlyItsPickListAndTheDrillColumnUpperCase) {
  ASSERT_TRUE(Locate("VL_VENDA"));
  h.PickColumn("dbgFatos", "IDTPFATODW");
  h.Type("dbgFatos", "Quantidade");
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);
  h.Press("dbgFatos", vcl::VK_DELETE);
  h.Press("dbgFatos", vcl::VK_DELETE, vcl::ssCtrl);  // no deletion asked for here
  EXPECT_EQ(s.cdsFatos->RecordCount(), 2);
  EXPECT_TRUE(h.Questions().empty());
  s.dbgFatos->ChoosePickItem("Percentual");
  EXPECT_EQ(Value("IDTPFATODW"), "P");
  EXPECT_EQ(s.dbgFatos->CellText(s.cdsFatos->RecNo(), s.dbgFatos->SelectedIndex()), "Percentual");
  // Tab still moves on.
  h.Press("dbgFatos", vcl::VK_TAB);
  EXPECT_EQ(s.dbgFatos->SelectedField()->FieldName(), "DSHINTITEM");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);

  h.PickColumn("dbgFatos", "CDTABDRILL");
  s.cdsFatos->Edit();
  s.dbgFatos->SetEditorText("");
  h.Type("dbgFatos", "drill_vendas_Dia");
  EXPECT_EQ(s.dbgFatos->EditorText(), "DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  Reload();
  ASSERT_TRUE(Locate("VL_VENDA"));
  EXPECT_EQ(Value("IDTPFATODW"), "P");
  EXPECT_EQ(Value("CDTABDRILL"), "DRILL_VENDAS_DIA");
}

TEST_F(Facts, LookUpsSetOnlyADifferentValueAndSayWhenThereIsNothingToChoose) {
  ASSERT_TRUE(Locate("VL_VENDA"));
  // The data mart it already has: no edit starts.
  h.PickColumn("dbgFatos", "CDAREANEGDW");
  h.ui().ExpectLookup(1, "Data Mart");
  s.dbgFatos->ClickEditButton();
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);
  h.PickColumn("dbgFatos", "CDTABDRILL");
  h.ui().ExpectLookup(
      [](db::TDataSource& source) {
        return source.DataSet()->Locate("CDTABELADW", rtl::Variant("DRILL_VENDAS_DIA"), db::loNone);
      },
      "Tabelas Drill");
  s.dbgFatos->ClickEditButton();
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(h.Scripted().CallsOf("GetTabelas").back().args[1], rtl::Variant(true));

  // Another data mart: the edit starts with it, the look-up list stays whole.
  h.PickColumn("dbgFatos", "CDAREANEGDW");
  h.ui().ExpectLookup(3, "Data Mart");
  s.dbgFatos->ClickEditButton();
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsEdit);
  EXPECT_EQ(Value("CDAREANEGDW"), "00003");
  EXPECT_TRUE(s.cdsPesqAreaNegDW->Filtered());
  h.ui().ExpectDialog(vcl::mrYes);
  ASSERT_TRUE(h.Click("sbtCancelar"));

  // Nothing to offer: the message, and no look-up.
  h.ui().ClearLog();
  h.PickColumn("dbgFatos", "CDITEMDW");
  h.Scripted().Once("GetFields", ScriptedServer::Returns(TextPacket({"CDFIELD"}, {})));
  h.ui().ExpectError("Não há campos disponíveis para a criação de fatos.");
  EXPECT_THROW(s.dbgFatos->ClickEditButton(), rtl::EAbort);
  h.PickColumn("dbgFatos", "CDTABDRILL");
  h.Scripted().Once("GetTabelas", ScriptedServer::Returns(TablesPacket({})));
  h.ui().ExpectError("Não há tabela de drill cadastrada.");
  EXPECT_THROW(s.dbgFatos->ClickEditButton(), rtl::EAbort);
  for (const Question& q : h.Questions()) EXPECT_NE(q.kind, QuestionKind::kLookup) << q.text;
}

// The screen state runs again while the fact is typed (entering the grid
// again): what the person chose for the mark and the type stays.
TEST_F(Facts, ANewFactKeepsTheMarkAndTypeChosenWhenTheGridIsEnteredAgain) {
  StartFact();
  const int row = s.cdsFatos->RecNo();
  h.Scripted().ClearCalls();
  s.dbgFatos->ClickCell(row, 0);
  EXPECT_EQ(Value("IDFATODW"), "N");
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);  // saved with the row, not alone
  EXPECT_FALSE(Contains(Calls(), "SetFatos"));
  h.PickColumn("dbgFatos", "IDTPFATODW");
  s.dbgFatos->ChoosePickItem("Número inteiro");
  EXPECT_EQ(Value("IDTPFATODW"), "I");
  s.dbgFatosEnter(s.dbgFatos);
  EXPECT_EQ(Value("IDFATODW"), "N");
  EXPECT_EQ(Value("IDTPFATODW"), "I");
  EXPECT_EQ(Value("CDTABELADW"), "FATO_VENDAS");
  // Marking all now would replace the list and lose the fact being typed:
  // the title does nothing until it is confirmed or cancelled.
  s.dbgFatos->ClickTitle(0);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);
  EXPECT_EQ(Value("IDFATODW"), "N");
  EXPECT_FALSE(s.Flags().bomarcatodos);
  EXPECT_FALSE(Contains(Calls(), "SetFatos"));

  s.cdsFatos->FieldByName("CDITEMDW")->SetAsString("CD_VENDEDOR");
  s.cdsFatos->FieldByName("NMITEMDW")->SetAsString("Vendedores");
  s.cdsFatos->FieldByName("CDAREANEGDW")->SetAsString("1");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  Reload();
  ASSERT_TRUE(Locate("CD_VENDEDOR"));
  EXPECT_EQ(Value("IDFATODW"), "N");
  EXPECT_EQ(Value("IDTPFATODW"), "I");
}

}  // namespace
}  // namespace qmxtest
