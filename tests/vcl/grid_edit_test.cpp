// The grid's standard editing: typing, key filters, column and row moves, the
// editing keys and the refusals that keep the grid where it is.
#include <gtest/gtest.h>

#include "grid_fixture.h"
#include "rtl/exceptions.h"

namespace vcltest {
namespace {

using db::TDataSetState;
using namespace vcl;
using Log = std::vector<std::string>;

TEST_F(GridTest, TypingStartsAnEditAndTheTextReachesTheFieldOnTheColumnMove) {
  Type("Xy");
  EXPECT_EQ(State(), TDataSetState::dsEdit);
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_EQ(grid->EditorText(), "Xy");  // the first character replaced the cell's text
  EXPECT_EQ(Value("CODE"), "A");        // not yet written

  std::string seen_in_exit;
  grid->OnColExit = [&](rtl::TObject*) { seen_in_exit = Value("CODE"); };
  grid->KeyDown(VK_TAB, 0);
  EXPECT_EQ(seen_in_exit, "Xy");  // written before the column exit runs
  EXPECT_EQ(Selected(), "NAME");
  EXPECT_EQ(grid->EditorText(), "nome A");  // the editor follows into the new cell
}

TEST_F(GridTest, EditorTextIsWrittenThroughTheSetTextHandler) {
  ds->FieldByName("CODE")->OnSetText = [](db::TField* f, const std::string& text) {
    f->SetAsString("<" + text + ">");
  };
  Type("q");
  grid->SelectColumn(1);
  EXPECT_EQ(Value("CODE"), "<q>");
}

TEST_F(GridTest, WithoutEditingTypingDoesNothing) {
  grid->SetOptions(grid->Options() & ~dgEditing);
  Type("z");
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
  EXPECT_FALSE(grid->EditorMode());
}

TEST_F(GridTest, KeyPressHandlerChangesAndSwallowsCharacters) {
  grid->OnKeyPress = [](rtl::TObject*, char& key) {
    if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
    if (key == '!') key = '\0';
  };
  Type("a!b");
  EXPECT_EQ(grid->EditorText(), "AB");

  // Nothing at all reaches the grid when every character is swallowed.
  grid->KeyDown(VK_ESCAPE, 0);
  grid->KeyDown(VK_ESCAPE, 0);
  ASSERT_EQ(State(), TDataSetState::dsBrowse);
  grid->OnKeyPress = [](rtl::TObject*, char& key) { key = '\0'; };
  Type("xyz");
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
  EXPECT_FALSE(grid->EditorMode());
}

TEST_F(GridTest, NonLatinCharactersPassAsQuestionMarkAndKeepTheirText) {
  std::vector<char> seen;
  grid->OnKeyPress = [&](rtl::TObject*, char& key) { seen.push_back(key); };
  grid->SelectColumn(1);
  grid->KeyPress("é€");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(seen[0]), 0xE9);
  EXPECT_EQ(seen[1], '?');
  EXPECT_EQ(grid->EditorText(), "é€");
  EXPECT_THROW(grid->KeyPress(std::string_view("\xC3")), rtl::Exception);
}

TEST_F(GridTest, TypingStopsAtTheFieldSize) {
  Type("123456789");
  EXPECT_EQ(grid->EditorText(), "12345");
}

TEST_F(GridTest, KeyDownHandlerSwallowsKeysBeforeTheGridActs) {
  grid->OnKeyDown = [](rtl::TObject*, uint16_t& key, TShiftState shift) {
    if (key == VK_DOWN && (shift & ssShift)) key = 0;
  };
  grid->KeyDown(VK_DOWN, ssShift);
  EXPECT_EQ(ds->RecNo(), 1);
  grid->KeyDown(VK_DOWN, 0);
  EXPECT_EQ(ds->RecNo(), 2);
}

TEST_F(GridTest, EscapeGivesUpTheTypedTextFirstThenCancelsTheRow) {
  Type("Q");
  grid->SelectColumn(1);  // CODE now holds "Q"
  Type("zz");
  grid->KeyDown(VK_ESCAPE, 0);
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(State(), TDataSetState::dsEdit);
  EXPECT_EQ(Value("NAME"), "nome A");
  EXPECT_EQ(Value("CODE"), "Q");
  grid->KeyDown(VK_ESCAPE, 0);
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Value("CODE"), "A");
}

TEST_F(GridTest, InsertKeyInsertsAndDownOnTheLastRowAppends) {
  grid->KeyDown(VK_DOWN, 0);
  grid->KeyDown(VK_INSERT, 0);
  EXPECT_EQ(State(), TDataSetState::dsInsert);
  EXPECT_EQ(ds->RecNo(), 2);  // before the current row
  grid->KeyDown(VK_ESCAPE, 0);
  EXPECT_EQ(ds->RecordCount(), 3);

  ds->Last();
  grid->KeyDown(VK_DOWN, 0);
  EXPECT_EQ(State(), TDataSetState::dsInsert);
  EXPECT_EQ(ds->RecNo(), 4);
  grid->KeyDown(VK_DOWN, 0);  // an untouched new row gets no second one
  EXPECT_EQ(ds->RecordCount(), 4);
  Type("D");
  grid->KeyDown(VK_DOWN, 0);  // posts the typed row and appends the next
  EXPECT_EQ(ds->RecordCount(), 5);
  EXPECT_EQ(State(), TDataSetState::dsInsert);
  grid->KeyDown(VK_UP, 0);  // Up in the untouched new row gives it up
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 4);
  EXPECT_EQ(ds->RecNo(), 4);
  EXPECT_EQ(Value("CODE"), "D");
}

TEST_F(GridTest, InsertAndAppendNeedEditing) {
  grid->SetOptions(grid->Options() & ~dgEditing);
  grid->KeyDown(VK_INSERT, 0);
  ds->Last();
  grid->KeyDown(VK_DOWN, 0);
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 3);
}

// Each scroll may be a server call in a screen; keys that go nowhere make none.
TEST_F(GridTest, KeysTowardsAnEndAlreadyReachedScrollAtMostOnce) {
  grid->SetOptions(grid->Options() & ~dgEditing);
  int scrolls = 0;
  ds->AfterScroll = [&scrolls](db::TDataSet*) { ++scrolls; };
  ds->SetRecNo(3);
  scrolls = 0;
  for (int i = 0; i < 10; ++i) grid->KeyDown(VK_DOWN, 0);
  grid->KeyDown(VK_NEXT, 0);
  grid->KeyDown(VK_END, ssCtrl);
  EXPECT_EQ(scrolls, 1);  // the first Down only sets Eof
  EXPECT_EQ(Value("CODE"), "C");

  grid->KeyDown(VK_HOME, ssCtrl);
  scrolls = 0;
  for (int i = 0; i < 10; ++i) grid->KeyDown(VK_UP, 0);
  grid->KeyDown(VK_PRIOR, 0);
  grid->KeyDown(VK_HOME, ssCtrl);
  EXPECT_EQ(scrolls, 0);
  EXPECT_EQ(Value("CODE"), "A");
  grid->KeyDown(VK_NEXT, 0);  // away from the end: a move again
  EXPECT_EQ(scrolls, 1);
  EXPECT_EQ(Value("CODE"), "C");
}

TEST_F(GridTest, ARefusingColumnExitKeepsTheColumnAndTheEditorText) {
  grid->OnColExit = [this](rtl::TObject*) {
    log.push_back("colexit");
    if (Value("CODE") == "BAD") throw rtl::Exception("código inválido");
  };
  Type("BAD");
  EXPECT_THROW(grid->KeyDown(VK_TAB, 0), rtl::Exception);
  EXPECT_EQ(Selected(), "CODE");
  EXPECT_EQ(grid->EditorText(), "BAD");
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_THROW(grid->ClickCell(1, 1), rtl::Exception);
  EXPECT_EQ(Selected(), "CODE");

  grid->KeyPress(static_cast<char>(VK_BACK));
  grid->KeyPress('X');
  grid->KeyDown(VK_RIGHT, ssShift);  // arrows stay in the shown editor
  EXPECT_EQ(Selected(), "CODE");
  grid->KeyDown(VK_TAB, 0);
  EXPECT_EQ(Selected(), "NAME");
  EXPECT_EQ(Value("CODE"), "BAX");
  EXPECT_EQ(log, Log({"colexit", "colexit", "colexit", "colenter:NAME"}));
}

TEST_F(GridTest, ARefusingBeforePostKeepsTheRowInEditWhenLeavingIt) {
  ds->BeforePost = [](db::TDataSet* d) {
    if (d->FieldByName("CODE")->AsString() == "NO") throw rtl::Exception("recusado");
  };
  Type("NO");
  EXPECT_THROW(grid->KeyDown(VK_DOWN, 0), rtl::Exception);
  EXPECT_EQ(State(), TDataSetState::dsEdit);
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_EQ(Value("CODE"), "NO");
  EXPECT_THROW(grid->ClickCell(3, 0), rtl::Exception);
  EXPECT_EQ(ds->RecNo(), 1);

  EXPECT_EQ(grid->EditorText(), "NO");  // still shown, with what was typed
  grid->KeyPress(static_cast<char>(VK_BACK));
  grid->KeyPress(static_cast<char>(VK_BACK));
  Type("OK");
  grid->KeyDown(VK_DOWN, 0);
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds->RecNo(), 2);
  ds->First();
  EXPECT_EQ(Value("CODE"), "OK");
}

TEST_F(GridTest, CtrlDeleteAsksWhenConfirmDeleteIsSet) {
  ui.answers = {mrNo};
  grid->KeyDown(VK_DELETE, ssCtrl);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(ui.asked[0].kind, "dialog");
  EXPECT_EQ(ui.asked[0].text, "Excluir registro?");
  EXPECT_EQ(ui.asked[0].type, TMsgDlgType::mtConfirmation);
  EXPECT_EQ(ui.asked[0].buttons_or_flags, unsigned{mbYes | mbNo});
  EXPECT_EQ(ds->RecordCount(), 3);

  ui.answers = {mrYes};
  grid->KeyDown(VK_DELETE, ssCtrl);
  EXPECT_EQ(ds->RecordCount(), 2);
  EXPECT_EQ(Value("CODE"), "B");

  grid->KeyDown(VK_DELETE, 0);  // Delete alone does not delete rows
  EXPECT_EQ(ds->RecordCount(), 2);
}

TEST_F(GridTest, CtrlDeleteWithoutConfirmDeleteDoesNotAsk) {
  grid->SetOptions((grid->Options() & ~dgConfirmDelete) & ~dgEditing);
  grid->KeyDown(VK_DELETE, ssCtrl);
  EXPECT_TRUE(ui.asked.empty());
  EXPECT_EQ(ds->RecordCount(), 2);
}

TEST_F(GridTest, ColumnMovesFireExitThenEnterAndSkipHiddenColumns) {
  auto* third = grid->Columns().Add();
  third->SetFieldName("CODE");
  name->SetVisible(false);
  grid->KeyDown(VK_TAB, 0);
  EXPECT_EQ(grid->SelectedIndex(), 2);
  EXPECT_EQ(log, Log({"colexit:CODE", "colenter:CODE"}));
  grid->KeyDown(VK_LEFT, 0);
  EXPECT_EQ(grid->SelectedIndex(), 0);
  EXPECT_THROW(grid->SelectColumn(7), rtl::Exception);
}

TEST_F(GridTest, TabPastTheLastColumnGoesToTheNextRow) {
  grid->SelectColumn(1);
  grid->KeyDown(VK_TAB, 0);
  EXPECT_EQ(grid->SelectedIndex(), 0);
  EXPECT_EQ(ds->RecNo(), 2);
  grid->KeyDown(VK_TAB, ssShift);
  EXPECT_EQ(grid->SelectedIndex(), 1);
  EXPECT_EQ(ds->RecNo(), 1);
}

TEST_F(GridTest, ClickCellMovesRowThenColumnThenReportsTheClick) {
  TColumn* clicked = nullptr;
  grid->OnCellClick = [&](TColumn* c) {
    clicked = c;
    log.push_back("click:" + Selected() + ":" + Value("CODE"));
  };
  grid->ClickCell(3, 1);
  EXPECT_TRUE(grid->Focused());
  EXPECT_EQ(clicked, name);
  EXPECT_EQ(log, Log({"colexit:CODE", "colenter:NAME", "click:NAME:C"}));
  EXPECT_THROW(grid->ClickCell(9, 0), rtl::Exception);
}

TEST_F(GridTest, TitleClickAndEditButtonReachTheirHandlers) {
  TColumn* title = nullptr;
  int buttons = 0;
  grid->OnTitleClick = [&](TColumn* c) { title = c; };
  grid->OnEditButtonClick = [&](rtl::TObject*) { ++buttons; };
  grid->ClickTitle(1);
  EXPECT_EQ(title, name);
  grid->ClickEditButton();  // cbsAuto: no button
  code->SetButtonStyle(TColumnButtonStyle::cbsEllipsis);
  grid->ClickEditButton();
  EXPECT_EQ(buttons, 1);
}

TEST_F(GridTest, PickListChoiceSetsTheFieldThroughSetText) {
  ds->FieldByName("CODE")->OnSetText = [](db::TField* f, const std::string& text) {
    f->SetAsString(text.substr(0, 1));
  };
  ds->FieldByName("CODE")->OnGetText = [](db::TField* f, std::string& text, bool) {
    text = f->AsString() == "M" ? "Moeda" : f->AsString() == "P" ? "Percentual" : f->AsString();
  };
  code->SetPickList({"Moeda", "Percentual"});
  EXPECT_TRUE(code->HasPickList());
  grid->ChoosePickItem("Percentual");
  EXPECT_EQ(State(), TDataSetState::dsEdit);
  EXPECT_EQ(Value("CODE"), "P");
  EXPECT_EQ(grid->EditorText(), "Percentual");
  EXPECT_EQ(grid->CellText(1, 0), "Percentual");  // the display text, never the code
  EXPECT_THROW(grid->ChoosePickItem("Outro"), rtl::Exception);
  grid->SelectColumn(1);
  EXPECT_THROW(grid->ChoosePickItem("Moeda"), rtl::Exception);  // NAME has no list
}

TEST_F(GridTest, FocusControlSelectsTheFieldsColumnAndFocusesTheGrid) {
  form->SetActiveControl(nullptr);
  log.clear();
  ds->FieldByName("NAME")->FocusControl();
  EXPECT_TRUE(grid->Focused());
  EXPECT_EQ(Selected(), "NAME");
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_EQ(log, Log({"colexit:CODE", "colenter:NAME"}));
}

TEST_F(GridTest, LeavingTheGridCancelsAnUntouchedInsertedRow) {
  auto* other = new TDBGrid(form);
  other->SetParent(form);
  grid->SetFocus();
  grid->KeyDown(VK_INSERT, 0);
  other->SetFocus();
  EXPECT_EQ(State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 3);

  // A row the person typed into stays, with the typed text written.
  grid->SetFocus();
  grid->KeyDown(VK_INSERT, 0);
  Type("N");
  other->SetFocus();
  EXPECT_EQ(State(), TDataSetState::dsInsert);
  EXPECT_EQ(Value("CODE"), "N");
}

TEST_F(GridTest, ANonCancellingGridKeepsItsInsertedRow) {
  auto* other = new TDBGrid(form);
  other->SetParent(form);
  grid->SetOptions(grid->Options() & ~dgCancelOnExit);
  grid->SetFocus();
  grid->KeyDown(VK_INSERT, 0);
  other->SetFocus();
  EXPECT_EQ(State(), TDataSetState::dsInsert);
}

TEST_F(GridTest, TakingEditingAwayOrRebindingWritesTheTypedTextFirst) {
  Type("K");
  grid->SetOptions(grid->Options() & ~dgEditing);
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(Value("CODE"), "K");

  grid->SetOptions(grid->Options() | dgEditing);
  grid->SelectColumn(1);
  Type("J");
  grid->SetDataSource(nullptr);
  EXPECT_EQ(Value("NAME"), "J");
  EXPECT_EQ(grid->SelectedField(), nullptr);
  EXPECT_EQ(grid->RowCount(), 0);
  grid->KeyPress('x');  // nothing to edit without data
  EXPECT_FALSE(grid->EditorMode());
}

TEST_F(GridTest, PostFromOutsideTakesTheEditorText) {
  Type("T");
  ds->Post();
  EXPECT_EQ(Value("CODE"), "T");
  EXPECT_FALSE(grid->EditorMode());
}

}  // namespace
}  // namespace vcltest
