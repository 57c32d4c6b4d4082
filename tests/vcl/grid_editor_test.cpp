// The grid's in-place editor as a text editor: caret, selection, typing over
// the selection, deleting at the caret, the field's size as its limit, and
// the arrows that leave the cell only at the text's ends. The screen's key
// handlers still see every key before the editor does.
#include <gtest/gtest.h>

#include "grid_fixture.h"
#include "vcl/control_observer.h"

namespace vcltest {
namespace {

using namespace vcl;
using Log = std::vector<std::string>;

// Counts the refusals the grid reports to the renderers.
class RefusalCounter : public IControlObserver {
 public:
  RefusalCounter() { AddControlObserver(this); }
  ~RefusalCounter() override { RemoveControlObserver(this); }
  void Changed(rtl::TComponent*, TChange what) override { count += what == TChange::EditorRefused; }
  int count = 0;
};

class GridEditorTest : public GridTest {
 protected:
  // The editor on NAME ("nome A"), opened with F2.
  void OpenOnName() {
    grid->SelectColumn(1);
    grid->KeyDown(VK_F2, 0);
    ASSERT_TRUE(grid->EditorMode());
  }
  const TInplaceEdit& E() const { return grid->Editor(); }
  std::string Selection() const { return E().SelText(); }
};

TEST_F(GridEditorTest, F2AndEnterSelectTheWholeTextAndTypingReplacesIt) {
  OpenOnName();
  EXPECT_EQ(grid->EditorText(), "nome A");
  EXPECT_EQ(Selection(), "nome A");
  EXPECT_EQ(E().Caret(), 6);
  grid->KeyPress(std::string_view("Zé"));
  EXPECT_EQ(grid->EditorText(), "Zé");
  EXPECT_FALSE(E().HasSelection());
  grid->KeyDown(VK_RETURN, 0);  // writes and closes
  EXPECT_EQ(Value("NAME"), "Zé");

  grid->KeyDown(VK_RETURN, 0);  // opens again, all selected
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_EQ(Selection(), "Zé");
}

TEST_F(GridEditorTest, ArrowsHomeAndEndMoveTheCaretAndShiftSelects) {
  OpenOnName();
  grid->KeyDown(VK_HOME, 0);
  EXPECT_EQ(E().Caret(), 0);
  EXPECT_FALSE(E().HasSelection());
  grid->KeyDown(VK_RIGHT, 0);
  grid->KeyDown(VK_RIGHT, 0);
  EXPECT_EQ(E().Caret(), 2);
  grid->KeyDown(VK_END, ssShift);
  EXPECT_EQ(Selection(), "me A");
  grid->KeyDown(VK_LEFT, ssShift);
  grid->KeyDown(VK_LEFT, ssShift);
  EXPECT_EQ(Selection(), "me");
  Type("X");  // typing replaces the selection, the caret after it
  EXPECT_EQ(grid->EditorText(), "noX A");
  EXPECT_EQ(E().Caret(), 3);
  EXPECT_EQ(Selected(), "NAME");  // nothing of this left the cell
  EXPECT_EQ(State(), db::TDataSetState::dsEdit);

  grid->KeyDown('A', ssCtrl);
  EXPECT_EQ(Selection(), "noX A");
  // Without a shown editor Ctrl+Home still goes to the first row.
  grid->KeyDown(VK_ESCAPE, 0);
  grid->KeyDown(VK_ESCAPE, 0);
  ds->Last();
  grid->KeyDown(VK_HOME, ssCtrl);
  EXPECT_EQ(ds->RecNo(), 1);
}

TEST_F(GridEditorTest, BackspaceAndDeleteWorkAtTheCaretOrOnTheSelection) {
  OpenOnName();
  grid->KeyDown(VK_HOME, 0);
  grid->KeyDown(VK_RIGHT, 0);
  grid->KeyPress(static_cast<char>(VK_BACK));  // the "n"
  EXPECT_EQ(grid->EditorText(), "ome A");
  grid->KeyPress(static_cast<char>(VK_BACK));  // nothing before the caret
  EXPECT_EQ(grid->EditorText(), "ome A");
  grid->KeyDown(VK_DELETE, 0);  // the "o"
  EXPECT_EQ(grid->EditorText(), "me A");
  EXPECT_EQ(E().Caret(), 0);
  grid->KeyDown(VK_END, ssShift);
  grid->KeyDown(VK_DELETE, 0);
  EXPECT_EQ(grid->EditorText(), "");
  EXPECT_EQ(ds->RecordCount(), 3);  // Delete alone never deletes the row
  grid->KeyDown(VK_TAB, ssShift);
  EXPECT_EQ(Value("NAME"), "");
}

TEST_F(GridEditorTest, CharactersCountAsOneEachWhateverTheirBytes) {
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("ação");
  OpenOnName();
  grid->KeyDown(VK_HOME, 0);
  grid->KeyDown(VK_RIGHT, 0);
  grid->KeyDown(VK_RIGHT, 0);
  grid->KeyDown(VK_RIGHT, ssShift);
  EXPECT_EQ(Selection(), "ã");
  grid->KeyDown(VK_DELETE, 0);
  grid->KeyPress(static_cast<char>(VK_BACK));
  EXPECT_EQ(grid->EditorText(), "ao");
}

TEST_F(GridEditorTest, TheCaretThePersonSetSurvivesTheEditStarting) {
  OpenOnName();  // browse state: the first key starts the edit
  ASSERT_EQ(State(), db::TDataSetState::dsBrowse);
  grid->SetEditorSelection(0, 0);  // a click before the text
  Type(">");
  EXPECT_EQ(State(), db::TDataSetState::dsEdit);
  EXPECT_EQ(grid->EditorText(), ">nome A");
  grid->SetEditorSelection(1, 5);  // a drag over "nome"
  EXPECT_EQ(Selection(), "nome");
  grid->SetEditorSelection(-4, 99);
  EXPECT_EQ(Selection(), ">nome A");
}

TEST_F(GridEditorTest, AKeystrokePastTheFieldSizeIsRefusedAndReported) {
  RefusalCounter refusals;
  Type("12345");  // CODE holds 5 characters
  EXPECT_EQ(refusals.count, 0);
  EXPECT_EQ(E().MaxLength(), 5);
  Type("6");
  EXPECT_EQ(grid->EditorText(), "12345");
  EXPECT_EQ(refusals.count, 1);
  // Over a selection the text does not grow: the key is taken.
  grid->KeyDown(VK_LEFT, ssShift);
  Type("x");
  EXPECT_EQ(grid->EditorText(), "1234x");
  EXPECT_EQ(refusals.count, 1);

  // A field with its own set-text handler decides itself: no limit.
  grid->KeyDown(VK_ESCAPE, 0);
  ds->FieldByName("NAME")->OnSetText = [](db::TField* f, const std::string& t) {
    f->SetAsString(t.substr(0, 10));
  };
  grid->SelectColumn(1);
  Type("abcdefghijkl");
  EXPECT_EQ(grid->EditorText(), "abcdefghijkl");
  EXPECT_EQ(refusals.count, 1);
}

TEST_F(GridEditorTest, LeftAndRightLeaveTheCellOnlyFromTheTextsEnds) {
  Type("AB");  // CODE, caret at the end
  grid->KeyDown(VK_LEFT, 0);
  EXPECT_EQ(E().Caret(), 1);
  grid->KeyDown(VK_RIGHT, 0);
  EXPECT_EQ(Selected(), "CODE");
  log.clear();
  grid->KeyDown(VK_RIGHT, 0);  // at the end: the next column, text written first
  EXPECT_EQ(Selected(), "NAME");
  EXPECT_EQ(Value("CODE"), "AB");
  EXPECT_EQ(log, Log({"colexit:CODE", "colenter:NAME"}));
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_EQ(Selection(), "nome A");  // the editor follows, all selected

  grid->KeyDown(VK_LEFT, 0);  // a selection collapses first
  EXPECT_EQ(Selected(), "NAME");
  EXPECT_EQ(E().Caret(), 0);
  grid->KeyDown(VK_LEFT, ssShift);  // Shift never leaves
  EXPECT_EQ(Selected(), "NAME");
  grid->KeyDown(VK_LEFT, 0);  // at the start: the previous column
  EXPECT_EQ(Selected(), "CODE");
  grid->KeyDown(VK_HOME, 0);
  grid->KeyDown(VK_LEFT, 0);  // no column before the first
  EXPECT_EQ(Selected(), "CODE");
}

TEST_F(GridEditorTest, KeyHandlersSeeEveryKeyBeforeTheEditor) {
  std::vector<uint16_t> downs;
  std::string presses;
  grid->OnKeyDown = [&](rtl::TObject*, uint16_t& key, TShiftState shift) {
    downs.push_back(key);
    if (key == VK_HOME || (key == 'A' && (shift & ssCtrl))) key = 0;
  };
  grid->OnKeyPress = [&](rtl::TObject*, char& key) {
    presses += key;
    if (key == static_cast<char>(VK_BACK)) key = '\0';
    if (key == 'q') key = 'Q';
  };
  OpenOnName();
  grid->KeyDown(VK_HOME, 0);   // swallowed: the caret stays at the end
  grid->KeyDown('A', ssCtrl);  // swallowed: the selection stays
  EXPECT_EQ(E().Caret(), 6);
  grid->KeyDown(VK_END, 0);
  grid->KeyPress(static_cast<char>(VK_BACK));  // swallowed
  Type("q");
  EXPECT_EQ(grid->EditorText(), "nome AQ");
  grid->KeyDown(VK_LEFT, ssShift);
  grid->KeyDown(VK_DELETE, 0);
  EXPECT_EQ(grid->EditorText(), "nome A");
  EXPECT_EQ(downs, (std::vector<uint16_t>{VK_F2, VK_HOME, 'A', VK_END, VK_LEFT, VK_DELETE}));
  EXPECT_EQ(presses, "\bq");
}

TEST_F(GridEditorTest, FocusControlOpensTheEditorWithTheTextSelected) {
  ds->Edit();
  ds->FieldByName("NAME")->FocusControl();
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_EQ(Selection(), "nome A");
  Type("Outro");
  EXPECT_EQ(grid->EditorText(), "Outro");
  ds->Post();
  EXPECT_EQ(Value("NAME"), "Outro");
}

}  // namespace
}  // namespace vcltest
