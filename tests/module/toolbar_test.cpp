// The toolbar commands on each of the six lists: which list a click acts on,
// the insert mark, and the states in which a command does nothing.
#include <gtest/gtest.h>

#include "orb/busy.h"
#include "scripted_screen_test.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;

class Toolbar : public ScriptedScreenTest {
 protected:
  // Every list of the screen but `target` stays in browse state.
  void ExpectOnlyEditing(db::TClientDataSet* target) {
    for (db::TClientDataSet* ds :
         {s.cdsTabelas, s.cdsTabelaDrill, s.cdsFatos, s.cdsDime, s.cdsFatosDrill, s.cdsDimeDrill}) {
      const bool editing =
          ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert;
      EXPECT_EQ(editing, ds == target) << ds->Name();
    }
  }
  // Include, cancel (No, then Yes), edit, cancel, search on the current
  // target, which must be `target`.
  void ExerciseCommandsOn(db::TClientDataSet* target) {
    SCOPED_TRACE(target->Name());
    ASSERT_EQ(s.TargetList().dataset, target);
    ASSERT_TRUE(h.Click("sbtIncluir"));
    EXPECT_EQ(target->State(), TDataSetState::dsInsert);
    ExpectOnlyEditing(target);
    h.ui().ExpectDialog(vcl::mrNo, "Cancela");
    ASSERT_TRUE(h.Click("sbtCancelar"));
    EXPECT_EQ(target->State(), TDataSetState::dsInsert);
    h.ui().ExpectDialog(vcl::mrYes, "Cancela");
    ASSERT_TRUE(h.Click("sbtCancelar"));
    EXPECT_EQ(target->State(), TDataSetState::dsBrowse);

    ASSERT_TRUE(h.Click("sbtAlterar"));
    EXPECT_EQ(target->State(), TDataSetState::dsEdit);
    ExpectOnlyEditing(target);
    h.ui().ExpectDialog(vcl::mrYes, "Cancela");
    ASSERT_TRUE(h.Click("sbtCancelar"));

    const int size = static_cast<int>(h.Questions().size());
    h.ui().ExpectSearch(target->RecordCount());
    ASSERT_TRUE(h.Click("sbtProcurar"));
    ASSERT_EQ(static_cast<int>(h.Questions().size()), size + 1);
    EXPECT_EQ(h.Questions().back().kind, QuestionKind::kSearch);
    EXPECT_EQ(h.Questions().back().text, target->Name());
    EXPECT_EQ(target->RecNo(), target->RecordCount());
    ExpectOnlyEditing(nullptr);
  }
};

TEST_F(Toolbar, EachCommandActsOnTheListTheUserIsWorkingIn) {
  ExerciseCommandsOn(s.cdsTabelas);
  h.Focus("dbgTabelaDrill");
  ExerciseCommandsOn(s.cdsTabelaDrill);

  // Page 2 with the drill table chosen: the drill facts, then, once the
  // dimension grid was clicked, the drill dimensions.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  ExerciseCommandsOn(s.cdsFatosDrill);
  h.Focus("dbgDimensoes");
  ExerciseCommandsOn(s.cdsDimeDrill);

  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  h.Focus("dbgTabelaFatos");
  // Back on page 2 the dimensions panel is still the active one.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  ExerciseCommandsOn(s.cdsDime);
  h.Focus("dbgFatos");
  ExerciseCommandsOn(s.cdsFatos);
}

TEST_F(Toolbar, CancelAndConfirmInBrowseStateAskAndChangeNothing) {
  h.Scripted().ClearCalls();
  s.sbtCancelarClick(s.sbtCancelar);
  s.sbtConfirmarClick(s.sbtConfirmar);
  EXPECT_TRUE(h.Questions().empty());
  EXPECT_TRUE(h.Scripted().CallNames().empty());
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsBrowse);

  // Include and edit do nothing while a row is edited.
  ASSERT_TRUE(h.Click("sbtIncluir"));
  const int rows = s.cdsTabelas->RecordCount();
  s.sbtIncluirClick(s.sbtIncluir);
  s.sbtAlterarClick(s.sbtAlterar);
  s.sbtExcluirClick(s.sbtExcluir);
  EXPECT_EQ(s.cdsTabelas->RecordCount(), rows);
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsInsert);
  EXPECT_TRUE(h.Questions().empty());
  h.ui().ExpectDialog(vcl::mrYes, "Cancela");
  ASSERT_TRUE(h.Click("sbtCancelar"));

  // A list that is not open has nothing to search.
  s.cdsTabelas->Close();
  s.sbtProcurarClick(s.sbtProcurar);
  EXPECT_EQ(h.Questions().size(), 1u);
}

// A field is marked by an odd tag: include focuses the marked field, edit the
// field after it. The base screen marks the first field a person types into
// (CDITEMDIME here); a test's own marks replace it.
TEST_F(Toolbar, TheInsertMarkChoosesWhereTheFocusGoes) {
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus("dbgDimensoes");
  s.dbgDimensoes->SetSelectedIndex(0);
  EXPECT_EQ(s.cdsDime->FieldByName("CDITEMDIME")->Tag() % 2, 1);
  s.cdsDime->FieldByName("CDITEMDIME")->SetTag(0);
  s.cdsDime->FieldByName("NRSEQUEDIME")->SetTag(3);
  ASSERT_TRUE(h.Click("sbtIncluir"));
  EXPECT_EQ(s.dbgDimensoes->SelectedField()->FieldName(), "NRSEQUEDIME");
  h.ui().ExpectDialog(vcl::mrYes);
  ASSERT_TRUE(h.Click("sbtCancelar"));

  s.cdsDime->FieldByName("NRSEQUEDIME")->SetTag(2);
  s.cdsDime->FieldByName("CDITEMDIME")->SetTag(1);
  s.dbgDimensoes->SetSelectedIndex(0);
  ASSERT_TRUE(h.Click("sbtAlterar"));
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsEdit);
  EXPECT_EQ(s.dbgDimensoes->SelectedField()->FieldName(), "NRSEQUEDIME");
  h.ui().ExpectDialog(vcl::mrYes);
  ASSERT_TRUE(h.Click("sbtCancelar"));

  // Unmarked, the focus stays where it is.
  s.cdsDime->FieldByName("CDITEMDIME")->SetTag(0);
  s.dbgDimensoes->SetSelectedIndex(0);
  ASSERT_TRUE(h.Click("sbtIncluir"));
  EXPECT_EQ(s.dbgDimensoes->SelectedIndex(), 0);
  h.ui().ExpectDialog(vcl::mrYes);
  ASSERT_TRUE(h.Click("sbtCancelar"));
}

// Without marks of the screen's own, include starts in the list's code (or
// column) and edit in the editable column after it as the grid shows it (the
// facts' name comes before their data mart there), with its text selected,
// on every list of the screen.
TEST_F(Toolbar, IncludeStartsInTheCodeAndEditInTheFieldAfterIt) {
  struct Case {
    const char* grid;
    vcl::TTabSheet* page;
    const char* first;
    const char* after;
  };
  const Case cases[] = {
      {"dbgTabelaFatos", s.tshPadrao, "CDTABELADW", "NMTABELADW"},
      {"dbgFatos", s.tshDados, "CDITEMDW", "NMITEMDW"},
      {"dbgDimensoes", s.tshDados, "CDITEMDIME", "NRSEQUEDIME"},
      {"dbgTabelaDrill", s.tshPadrao, "CDTABELADW", "NMTABELADW"},
      {"dbgFatosDrill", s.tshDados, "CDITEMDRILL", "NMITEMDRILL"},
      {"dbgDimensoes", s.tshDados, "CDDIMEDRILL", "NRSEQUEDIME"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.grid) + " " + c.first);
    if (s.pgcPadrao->ActivePage() != c.page) {
      ASSERT_TRUE(s.pgcPadrao->SelectTab(c.page));
    }
    h.Focus(c.grid);
    auto& grid = h.Find<vcl::TDBGrid>(c.grid);
    db::TClientDataSet* list = grid.DataSet();
    ASSERT_GT(list->RecordCount(), 0);

    ASSERT_TRUE(h.Click("sbtIncluir"));
    EXPECT_EQ(list->State(), TDataSetState::dsInsert);
    EXPECT_TRUE(grid.Focused());
    ASSERT_EQ(grid.SelectedField()->FieldName(), c.first);
    h.ui().ExpectDialog(vcl::mrYes, "Cancela");
    ASSERT_TRUE(h.Click("sbtCancelar"));

    ASSERT_TRUE(h.Click("sbtAlterar"));
    EXPECT_EQ(list->State(), TDataSetState::dsEdit);
    ASSERT_EQ(grid.SelectedField()->FieldName(), c.after);
    EXPECT_TRUE(grid.EditorMode());
    EXPECT_EQ(grid.Editor().SelText(), list->FieldByName(c.after)->Text());
    h.ui().ExpectDialog(vcl::mrYes, "Cancela");
    ASSERT_TRUE(h.Click("sbtCancelar"));
  }
}

// Include puts the typing into the code; edit's typing replaces the name.
TEST_F(Toolbar, TypingAfterIncludeAndEditGoesWhereThePersonExpects) {
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.Type("dbgTabelaFatos", "fato_novo");
  EXPECT_EQ(s.dbgTabelaFatos->EditorText(), "fato_novo");
  h.Press("dbgTabelaFatos", vcl::VK_TAB);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_NOVO");
  h.ui().ExpectDialog(vcl::mrYes, "Cancela");
  ASSERT_TRUE(h.Click("sbtCancelar"));

  const std::string code = s.cdsTabelas->FieldByName("CDTABELADW")->AsString();
  ASSERT_TRUE(h.Click("sbtAlterar"));
  h.Type("dbgTabelaFatos", "Novo nome");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), code);
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Novo nome");
}

TEST_F(Toolbar, DeleteAsksTheGuardOfItsListOrThePlainConfirmation) {
  // Answered No everywhere: nothing is deleted, and each list asked its way.
  struct Case {
    const char* grid;
    vcl::TTabSheet* page;
    db::TClientDataSet* list;
    QuestionKind kind;
  };
  ASSERT_TRUE(
      s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant("DRILL_ESTOQUE_LOTE"), db::loNone));
  const Case cases[] = {
      {"dbgTabelaFatos", s.tshPadrao, s.cdsTabelas, QuestionKind::kMessageDialog},
      {"dbgTabelaDrill", s.tshPadrao, s.cdsTabelaDrill, QuestionKind::kMessageBox},
      {"dbgFatosDrill", s.tshDados, s.cdsFatosDrill, QuestionKind::kMessageBox},
      {"dbgDimensoes", s.tshDados, s.cdsDimeDrill, QuestionKind::kMessageBox},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grid);
    ASSERT_TRUE(s.pgcPadrao->SelectTab(c.page) || s.pgcPadrao->ActivePage() == c.page);
    h.Focus(c.grid);
    ASSERT_EQ(s.TargetList().dataset, c.list);
    const int rows = c.list->RecordCount();
    if (c.kind == QuestionKind::kMessageBox)
      h.ui().ExpectMessageBox(vcl::IDNO);
    else
      h.ui().ExpectDialog(vcl::mrNo, "exclusão");
    ASSERT_TRUE(h.Click("sbtExcluir"));
    EXPECT_EQ(h.Questions().back().kind, c.kind);
    EXPECT_EQ(c.list->RecordCount(), rows);
    EXPECT_EQ(c.list->ChangeCount(), 0);
  }
}

}  // namespace
}  // namespace qmxtest
