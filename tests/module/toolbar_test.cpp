// The toolbar commands on each of the six lists: which list a click acts on,
// the insert mark, and the states in which a command does nothing.
#include <gtest/gtest.h>

#include "linked_screen.h"
#include "orb/busy.h"
#include "screen_test_util.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;

class Toolbar : public ::testing::Test {
 protected:
  Toolbar() : h(Backend::kScripted), s(OpenLinkedScreen(h)) { h.Focus("dbgTabelaFatos"); }
  ~Toolbar() override { EXPECT_EQ(orb::ShowAviDepth(), 0); }

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

  ScreenHarness h;
  TfrmEstrutura& s;
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
// field after it.
TEST_F(Toolbar, TheInsertMarkChoosesWhereTheFocusGoes) {
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus("dbgDimensoes");
  s.dbgDimensoes->SetSelectedIndex(0);
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
