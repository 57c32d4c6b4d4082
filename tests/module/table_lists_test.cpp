// The two lists of page "Tabelas Fato" end to end: the person adds, renames
// and deletes tables through the grids and the toolbar against the real
// server (behind a scripted one where a test needs to see arguments or
// answer differently), and each list loads its own details.
#include <gtest/gtest.h>

#include "orb/busy.h"
#include "rtl/exceptions.h"
#include "scripted_screen_test.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;

class TableLists : public ScriptedScreenTest {
 protected:
  // Starts a new row in `grid` through the toolbar and types its code.
  void NewRowWithCode(const std::string& grid, const std::string& code) {
    h.Focus(grid);
    ASSERT_TRUE(h.Click("sbtIncluir"));
    h.PickColumn(grid, "CDTABELADW");
    h.Type(grid, code);
  }
};

TEST_F(TableLists, ANewFactTableTypedInLowerCaseWithBlanksIsStoredNormalised) {
  NewRowWithCode("dbgTabelaFatos", " fato_com pras ");
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsInsert);
  // Leaving the code validates it, and the code is normalised already there.
  h.PickColumn("dbgTabelaFatos", "NMTABELADW");
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_COMPRAS");
  h.Type("dbgTabelaFatos", "Compras");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));

  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_COMPRAS");
  const auto checks = h.Scripted().CallsOf("GetTabelas");
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_EQ(checks[0].args[0].AsString(), "FATO_COMPRAS");
  EXPECT_EQ(checks[0].args[1], rtl::Variant(false));
  const auto sent = h.Scripted().CallsOf("SetTabelas");
  ASSERT_EQ(sent.size(), 1u);
  const db::Packet delta = db::PacketFromVariant(sent[0].args[0]);
  ASSERT_EQ(delta.rows.size(), 1u);
  EXPECT_EQ(delta.rows[0].values[0], std::optional<std::string>("FATO_COMPRAS"));
  EXPECT_EQ(delta.rows[0].values[2], std::optional<std::string>("N"));

  // What the server stored comes back on a reload.
  ASSERT_TRUE(h.Click("sbtVerificar"));
  EXPECT_TRUE(Contains(Column(s.cdsTabelas, "CDTABELADW"), "FATO_COMPRAS"));
  EXPECT_FALSE(Contains(Column(s.cdsTabelas, "CDTABELADW"), " fato_com pras "));
}

TEST_F(TableLists, ACodeOfTheOtherListIsRefusedBeforeTheServerIsAsked) {
  NewRowWithCode("dbgTabelaFatos", "drill_Vendas_dia");
  h.Scripted().ClearCalls();
  h.ui().ExpectError("Código já cadastrado para tabela Drill.");
  EXPECT_THROW(h.PickColumn("dbgTabelaFatos", "NMTABELADW"), rtl::EAbort);
  EXPECT_FALSE(Contains(Calls(), "GetTabelas"));
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.dbgTabelaFatos->SelectedField()->FieldName(), "CDTABELADW");
  // Confirming runs the same rule, and nothing is sent.
  h.ui().ExpectError("Código já cadastrado para tabela Drill.");
  h.Type("dbgTabelaFatos", "");
  s.cdsTabelas->FieldByName("NMTABELADW")->SetAsString("Nome");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_FALSE(Contains(Calls(), "SetTabelas"));
  h.ui().ExpectDialog(vcl::mrYes);
  ASSERT_TRUE(h.Click("sbtCancelar"));

  NewRowWithCode("dbgTabelaDrill", "Fato_Vendas");
  h.Scripted().ClearCalls();
  h.ui().ExpectError("Código já cadastrado para tabela fato.");
  EXPECT_THROW(h.PickColumn("dbgTabelaDrill", "NMTABELADW"), rtl::EAbort);
  EXPECT_FALSE(Contains(Calls(), "GetTabelas"));
  EXPECT_EQ(s.cdsTabelaDrill->State(), TDataSetState::dsInsert);
}

// The lists on the screen do not know them (another user registered them),
// the server does.
TEST_F(TableLists, CodesTheServerKnowsAreRefusedWithTheKeyOfTheirKind) {
  struct Case {
    std::string grid;
    std::string kind;
    std::string message;
  };
  const Case cases[] = {
      {"dbgTabelaFatos", "N", "Código já cadastrado."},
      {"dbgTabelaFatos", "S", "Código já cadastrado para tabela Drill."},
      {"dbgTabelaDrill", "N", "Código já cadastrado para tabela fato."},
      {"dbgTabelaDrill", "S", "Código já cadastrado."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grid + " " + c.kind);
    NewRowWithCode(c.grid, "outra tabela");
    h.Scripted().ClearCalls();
    h.ui().ClearLog();
    const std::string kind = c.kind;
    h.Scripted().Once("GetTabelas", [kind](std::vector<rtl::Variant>&) {
      return TablesPacket({{"OUTRATABELA", "Outra", kind}});
    });
    // A non-empty answer reloads the details of the fact list's current row.
    h.Scripted().Once("GetDimeFatos", [](std::vector<rtl::Variant>&) { return rtl::Variant(); });
    h.ui().ExpectError(c.message);
    EXPECT_THROW(h.PickColumn(c.grid, "NMTABELADW"), rtl::EAbort);
    const auto asked = h.Scripted().CallsOf("GetTabelas");
    ASSERT_EQ(asked.size(), 1u);
    const bool drill = c.grid == "dbgTabelaDrill";
    EXPECT_EQ(asked[0].args[1], rtl::Variant(drill));
    // The fact list asks with the normalised code, the drill list with the
    // code as typed; both store it normalised.
    EXPECT_EQ(asked[0].args[0].AsString(), drill ? "outra tabela" : "OUTRATABELA");
    db::TClientDataSet* list = drill ? s.cdsTabelaDrill : s.cdsTabelas;
    EXPECT_EQ(list->FieldByName("CDTABELADW")->AsString(), "OUTRATABELA");
    EXPECT_EQ(list->State(), TDataSetState::dsInsert);
    // Only the drill list shows an animation of its own around the check.
    ASSERT_FALSE(h.ui().BusyLog().empty());
    EXPECT_EQ(h.ui().BusyLog().front().caption,
              drill ? "Recebendo dados do servidor" : "Validando dados no servidor");
    h.ui().ExpectDialog(vcl::mrYes);
    ASSERT_TRUE(h.Click("sbtCancelar"));
  }
}

TEST_F(TableLists, ATableWithFactsMayBeRenamedButKeepsItsCode) {
  h.Focus("dbgTabelaFatos");
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
  ASSERT_GT(s.cdsFatos->RecordCount(), 0);
  ASSERT_TRUE(h.Click("sbtAlterar"));
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsEdit);
  EXPECT_EQ(s.dbgTabelaFatos->SelectedField()->FieldName(), "NMTABELADW");
  EXPECT_TRUE(s.dbgTabelaFatos->Focused());
  // The editor opens on the name with its text; the person replaces it.
  EXPECT_TRUE(s.dbgTabelaFatos->EditorMode());
  s.dbgTabelaFatos->SetEditorText("Vendas totais");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  ASSERT_TRUE(h.Click("sbtVerificar"));
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Vendas totais");

  // The code column cannot be typed into outside a new row.
  h.PickColumn("dbgTabelaFatos", "CDTABELADW");
  EXPECT_FALSE(s.dbgTabelaFatos->Options() & vcl::dgEditing);
  h.PickColumn("dbgTabelaFatos", "NMTABELADW");
  EXPECT_TRUE(s.dbgTabelaFatos->Options() & vcl::dgEditing);

  // A code that changes anyway is refused while the table has facts, then
  // while it has dimensions, before the server is asked.
  s.cdsTabelas->Edit();
  s.cdsTabelas->FieldByName("CDTABELADW")->SetAsString("fato_vendas2");
  h.Scripted().ClearCalls();
  h.ui().ExpectError("Não é permitido alterar códigos de tabelas que possuam fatos.");
  EXPECT_THROW(s.cdsTabelas->Post(), rtl::EAbort);
  s.cdsFatos->SetData(rtl::Variant());
  h.ui().ExpectError("Não é permitido alterar códigos de tabelas que possuam dimensões.");
  EXPECT_THROW(s.cdsTabelas->Post(), rtl::EAbort);
  EXPECT_FALSE(Contains(Calls(), "GetTabelas"));
  EXPECT_FALSE(Contains(Calls(), "SetTabelas"));
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_VENDAS2");
  s.cdsTabelas->Cancel();
  // Letter case and blanks alone are no change of the code.
  ASSERT_TRUE(h.Click("sbtVerificar"));
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
  s.cdsTabelas->Edit();
  s.cdsTabelas->FieldByName("CDTABELADW")->SetAsString("fato_ vendas");
  s.cdsTabelas->FieldByName("NMTABELADW")->SetAsString("Vendas");
  s.cdsTabelas->Post();
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_VENDAS");
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Vendas");

  // A drill table with facts and dimensions is renamed the same way.
  h.Focus("dbgTabelaDrill");
  ASSERT_GT(s.cdsFatosDrill->RecordCount(), 0);
  ASSERT_TRUE(h.Click("sbtAlterar"));
  EXPECT_EQ(s.dbgTabelaDrill->SelectedField()->FieldName(), "NMTABELADW");
  s.dbgTabelaDrill->SetEditorText("Vendas diárias");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelaDrill->FieldByName("NMTABELADW")->AsString(), "Vendas diárias");
}

TEST_F(TableLists, DeletingAFactTableAsksFirstAndTheServerForgetsIt) {
  h.Focus("dbgTabelaFatos");
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_FINANCEIRO"), db::loNone));
  const int rows = s.cdsTabelas->RecordCount();
  h.Scripted().ClearCalls();
  h.ui().ExpectDialog(vcl::mrNo);
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_EQ(s.cdsTabelas->RecordCount(), rows);
  EXPECT_TRUE(Calls().empty());

  h.ui().ExpectDialog(vcl::mrYes);
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_EQ(s.cdsTabelas->RecordCount(), rows - 1);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  ASSERT_TRUE(h.Click("sbtVerificar"));
  EXPECT_FALSE(Contains(Column(s.cdsTabelas, "CDTABELADW"), "FATO_FINANCEIRO"));
  // Only the plain confirmation: the fact list has no deletion guard.
  for (const Question& q : h.Questions()) EXPECT_EQ(q.kind, QuestionKind::kMessageDialog);
}

// The grid's own Ctrl+Delete skips the guard; the server still refuses a
// drill table that facts drill into, and the deletion is undone.
TEST_F(TableLists, ADrillTableDeleteTheServerRefusesIsUndone) {
  h.Focus("dbgTabelaDrill");
  ASSERT_TRUE(s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant("DRILL_VENDAS_DIA"), db::loNone));
  const int rows = s.cdsTabelaDrill->RecordCount();
  h.ui().ExpectDialog(vcl::mrYes, "Excluir");
  h.ui().ExpectError();
  EXPECT_ANY_THROW(h.Press("dbgTabelaDrill", vcl::VK_DELETE, vcl::ssCtrl));
  EXPECT_EQ(s.cdsTabelaDrill->RecordCount(), rows);
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  EXPECT_TRUE(Contains(Column(s.cdsTabelaDrill, "CDTABELADW"), "DRILL_VENDAS_DIA"));

  // The next change of the list travels alone and is saved.
  ASSERT_TRUE(
      s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant("DRILL_ESTOQUE_LOTE"), db::loNone));
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtAlterar"));
  s.dbgTabelaDrill->SetEditorText("Lotes");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  const auto sent = h.Scripted().CallsOf("SetTabelaDrill");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(db::PacketFromVariant(sent[0].args[0]).rows.size(), 1u);
}

TEST_F(TableLists, VerificarReloadsWhatThePageShowsOfTheCurrentList) {
  h.Focus("dbgTabelaFatos");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtVerificar"));
  auto asked = h.Scripted().CallsOf("GetTabelas");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[0].AsString(), "");
  EXPECT_EQ(asked[0].args[1], rtl::Variant(false));
  EXPECT_FALSE(Contains(Calls(), "GetDimeFatosDrill"));
  EXPECT_EQ(h.ui().BusyLog().front().caption, "Recebendo dados do servidor");

  h.Focus("dbgTabelaDrill");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtVerificar"));
  asked = h.Scripted().CallsOf("GetTabelas");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[1], rtl::Variant(true));
  EXPECT_FALSE(Contains(Calls(), "GetDimeFatos"));

  // On page 2 only the details of the current table of the current list.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtVerificar"));
  EXPECT_EQ(Calls(), std::vector<std::string>{"GetDimeFatosDrill"});
  EXPECT_EQ(h.Scripted().CallsOf("GetDimeFatosDrill")[0].args[0].AsString(),
            s.cdsTabelaDrill->FieldByName("CDTABELADW")->AsString());

  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  h.Focus("dbgTabelaFatos");
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtVerificar"));
  EXPECT_EQ(Calls(), std::vector<std::string>{"GetDimeFatos"});
}

TEST_F(TableLists, ASavedDrillTableIsCurrentAgainWhateverOrderTheServerAnswers) {
  NewRowWithCode("dbgTabelaDrill", "fato compras");
  h.PickColumn("dbgTabelaDrill", "NMTABELADW");
  h.Type("dbgTabelaDrill", "Compras detalhadas");
  h.Scripted().Once("SetTabelaDrill", [](std::vector<rtl::Variant>&) {
    return TablesPacket({{"ZZ_ULTIMA", "Z", "S"},
                         {"FATOCOMPRAS", "Compras detalhadas", "S"},
                         {"AA_PRIMEIRA", "A", "S"}});
  });
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsTabelaDrill->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelaDrill->RecNo(), 2);
  EXPECT_EQ(s.cdsTabelaDrill->FieldByName("CDTABELADW")->AsString(), "FATOCOMPRAS");
  const auto sent = h.Scripted().CallsOf("SetTabelaDrill");
  ASSERT_EQ(sent.size(), 1u);
  const db::Packet delta = db::PacketFromVariant(sent[0].args[0]);
  ASSERT_EQ(delta.rows.size(), 1u);
  EXPECT_EQ(delta.rows[0].values[0], std::optional<std::string>("FATOCOMPRAS"));
  EXPECT_EQ(delta.rows[0].values[2], std::optional<std::string>("S"));
  // The saved row's details were loaded: the drill side's, not the fact side's.
  EXPECT_EQ(h.Scripted().CallsOf("GetDimeFatosDrill").back().args[0].AsString(), "FATOCOMPRAS");
  EXPECT_FALSE(Contains(Calls(), "SetTabelas"));
}

TEST_F(TableLists, ASavedFactTableIsCurrentAgainWhateverOrderTheServerAnswers) {
  NewRowWithCode("dbgTabelaFatos", "fato_compras");
  h.PickColumn("dbgTabelaFatos", "NMTABELADW");
  h.Type("dbgTabelaFatos", "Compras");
  h.Scripted().Once("SetTabelas", [](std::vector<rtl::Variant>&) {
    return TablesPacket({{"FATO_VENDAS", "Vendas", "N"},
                         {"FATO_ESTOQUE", "Estoque", "N"},
                         {"FATO_COMPRAS", "Compras", "N"},
                         {"FATO_FINANCEIRO", "Financeiro", "N"}});
  });
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelas->RecNo(), 3);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_COMPRAS");
  EXPECT_EQ(h.Scripted().CallsOf("GetDimeFatos").back().args[0].AsString(), "FATO_COMPRAS");
  EXPECT_FALSE(Contains(Calls(), "SetTabelaDrill"));
}

TEST_F(TableLists, MovingInEachListLoadsItsOwnDetailsAndPage2ShowsThem) {
  h.Focus("dbgTabelaFatos");
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_ESTOQUE"), db::loNone));
  EXPECT_EQ(Column(s.cdsFatos, "CDITEMDW"), (std::vector<std::string>{"QT_ESTOQUE", "VL_CUSTO"}));
  EXPECT_EQ(s.cdsDime->RecordCount(), 3);
  for (const std::string& t : Column(s.cdsDime, "CDTABELADW")) EXPECT_EQ(t, "FATO_ESTOQUE");
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  EXPECT_TRUE(s.dbgFatos->Visible());
  EXPECT_FALSE(s.dbgFatosDrill->Visible());
  EXPECT_EQ(s.dbgFatos->DataSet(), s.cdsFatos);
  EXPECT_EQ(s.dbgFatos->RowCount(), 2);
  EXPECT_EQ(s.dbgDimensoes->DataSource(), s.dtsDime);
  EXPECT_EQ(s.dbgDimensoes->RowCount(), 3);
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));

  h.Focus("dbgTabelaDrill");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(
      s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant("DRILL_ESTOQUE_LOTE"), db::loNone));
  EXPECT_EQ(Calls(), std::vector<std::string>{"GetDimeFatosDrill"});
  EXPECT_EQ(Column(s.cdsFatosDrill, "CDITEMDRILL"), std::vector<std::string>{"QT_ESTOQUE"});
  EXPECT_EQ(s.cdsDimeDrill->RecordCount(), 4);
  for (const std::string& t : Column(s.cdsDimeDrill, "CDTABDRILL"))
    EXPECT_EQ(t, "DRILL_ESTOQUE_LOTE");
  // The fact side keeps the fact table's details.
  EXPECT_EQ(s.cdsFatos->RecordCount(), 2);
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  EXPECT_TRUE(s.dbgFatosDrill->Visible());
  EXPECT_FALSE(s.dbgFatos->Visible());
  EXPECT_EQ(s.dbgFatosDrill->RowCount(), 1);
  EXPECT_EQ(s.dbgDimensoes->DataSource(), s.dtsDimeDrill);
  EXPECT_EQ(s.dbgDimensoes->RowCount(), 4);
  EXPECT_EQ(s.dbgDimensoes->Columns()[0]->FieldName(), "CDDIMEDRILL");
}

}  // namespace
}  // namespace qmxtest
