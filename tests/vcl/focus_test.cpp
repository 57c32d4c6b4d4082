// Focus owned by the form: enter/exit order across containers and sheets,
// handlers that throw, controls that cannot take the focus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/exceptions.h"
#include "vcl/db_grid.h"
#include "vcl/form.h"
#include "vcl/page_control.h"
#include "vcl/panel.h"

namespace {

using namespace vcl;

// A form with a page control of two sheets: sheet 1 holds grid1 directly,
// sheet 2 holds two panels with a grid each.
class FocusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(nullptr);
    pages = Make<TPageControl>("pages", form);
    sheet1 = Make<TTabSheet>("sheet1", pages);
    sheet2 = Make<TTabSheet>("sheet2", pages);
    grid1 = Make<TDBGrid>("grid1", sheet1);
    panelA = Make<TPanel>("panelA", sheet2);
    panelB = Make<TPanel>("panelB", sheet2);
    gridA = Make<TDBGrid>("gridA", panelA);
    gridB = Make<TDBGrid>("gridB", panelB);
  }
  void TearDown() override { form->Free(); }

  template <class T>
  T* Make(const char* name, TWinControl* parent) {
    T* c = new T(form);
    c->SetName(name);
    c->SetParent(parent);
    c->OnEnter = [this, name](rtl::TObject*) { log.push_back(std::string("enter:") + name); };
    c->OnExit = [this, name](rtl::TObject*) { log.push_back(std::string("exit:") + name); };
    return c;
  }

  TForm* form;
  TPageControl* pages;
  TTabSheet *sheet1, *sheet2;
  TPanel *panelA, *panelB;
  TDBGrid *grid1, *gridA, *gridB;
  std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(FocusTest, ShowFocusesTheFirstTabStopAndSheetChangesMoveFocusIntoTheSheet) {
  form->Show();
  EXPECT_EQ(form->ActiveControl(), pages);  // page control comes before its grids
  EXPECT_EQ(log, Log({"enter:pages"}));
  log.clear();

  ASSERT_TRUE(pages->SelectTab(sheet2));
  EXPECT_EQ(log, Log({"enter:sheet2"}));
  EXPECT_EQ(form->ActiveControl(), sheet2);
}

TEST_F(FocusTest, MovingBetweenNestedContainersFiresExitsInnermostFirstAndEntersOutermostFirst) {
  form->Show();
  grid1->SetFocus();
  ASSERT_TRUE(pages->SetActivePage(sheet2));
  log.clear();
  form->SetActiveControl(nullptr);
  gridA->SetFocus();
  EXPECT_EQ(log, Log({"exit:sheet2", "exit:pages", "enter:pages", "enter:sheet2", "enter:panelA",
                      "enter:gridA"}));
  log.clear();

  gridB->SetFocus();  // the shared container sheet2 is neither left nor entered
  EXPECT_EQ(log, Log({"exit:gridA", "exit:panelA", "enter:panelB", "enter:gridB"}));
  EXPECT_TRUE(gridB->Focused());
  EXPECT_FALSE(panelB->Focused());
}

TEST_F(FocusTest, ChangingThePageFromInsideTheOldSheetLeavesItFirst) {
  form->Show();
  grid1->SetFocus();
  log.clear();
  ASSERT_TRUE(pages->SetActivePage(sheet2));
  EXPECT_EQ(log, Log({"exit:grid1", "exit:sheet1", "enter:sheet2"}));
  EXPECT_EQ(pages->ActivePage(), sheet2);
}

TEST_F(FocusTest, AnEnterHandlerThatMovesTheFocusEndsTheOuterMove) {
  sheet2->OnEnter = [this](rtl::TObject*) {
    log.push_back("enter:sheet2");
    gridB->SetFocus();
  };
  form->Show();
  log.clear();
  ASSERT_TRUE(pages->SelectTab(sheet2));
  EXPECT_EQ(log, Log({"enter:sheet2", "enter:panelB", "enter:gridB"}));
  EXPECT_EQ(form->ActiveControl(), gridB);
}

TEST_F(FocusTest, AThrowingExitHandlerStopsTheMoveWhereItIs) {
  form->Show();
  pages->SetActivePage(sheet2);
  gridA->SetFocus();
  panelA->OnExit = [this](rtl::TObject*) {
    log.push_back("exit:panelA");
    throw rtl::Exception("recusado");
  };
  log.clear();
  EXPECT_THROW(gridB->SetFocus(), rtl::Exception);
  EXPECT_EQ(log, Log({"exit:gridA", "exit:panelA"}));
  // gridA already left; panelA, whose exit refused, holds the focus.
  EXPECT_EQ(form->ActiveControl(), panelA);

  // The focused control itself refusing: nothing moves at all.
  gridA->SetFocus();
  gridA->OnExit = [](rtl::TObject*) { throw rtl::Exception("não"); };
  EXPECT_THROW(gridB->SetFocus(), rtl::Exception);
  EXPECT_EQ(form->ActiveControl(), gridA);
  EXPECT_TRUE(gridA->Focused());
}

TEST_F(FocusTest, AThrowingEnterHandlerLeavesTheFocusOnThatContainer) {
  form->Show();
  pages->SetActivePage(sheet2);
  gridA->SetFocus();
  panelB->OnEnter = [](rtl::TObject*) { throw rtl::Exception("não entra"); };
  EXPECT_THROW(gridB->SetFocus(), rtl::Exception);
  EXPECT_EQ(form->ActiveControl(), panelB);
}

TEST_F(FocusTest, DisabledOrHiddenControlsAndContainersRefuseTheFocus) {
  form->Show();
  pages->SetActivePage(sheet2);
  gridA->SetFocus();
  log.clear();

  panelB->SetEnabled(false);
  EXPECT_FALSE(gridB->CanFocus());
  try {
    gridB->SetFocus();
    FAIL() << "SetFocus on a control in a disabled panel did not throw";
  } catch (const rtl::Exception& e) {
    EXPECT_EQ(e.Message(), "Não é possível focar uma janela desabilitada ou invisível");
  }
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(form->ActiveControl(), gridA);
  panelB->SetEnabled(true);

  gridB->Hide();
  EXPECT_FALSE(gridB->CanFocus());
  gridB->Show();
  EXPECT_TRUE(gridB->CanFocus());

  // Controls on a sheet that is not the active page are not showing.
  EXPECT_FALSE(grid1->CanFocus());
  EXPECT_THROW(grid1->SetFocus(), rtl::Exception);

  // A hidden form gives the focus to nobody.
  form->Hide();
  EXPECT_FALSE(gridB->CanFocus());
}

TEST_F(FocusTest, DisablingTheContainerOfTheFocusMovesTheFocusOut) {
  form->Show();
  pages->SetActivePage(sheet2);
  gridA->SetFocus();
  log.clear();
  panelA->SetEnabled(false);
  EXPECT_EQ(log, Log({"exit:gridA", "exit:panelA"}));
  EXPECT_EQ(form->ActiveControl(), sheet2);
}

TEST_F(FocusTest, DisabledSheetCannotBeChosenAndARefusingExitKeepsThePage) {
  form->Show();
  sheet2->SetEnabled(false);
  EXPECT_FALSE(pages->SetActivePage(sheet2));
  EXPECT_FALSE(pages->SelectTab(sheet2));
  EXPECT_EQ(pages->ActivePage(), sheet1);
  sheet2->SetEnabled(true);

  grid1->SetFocus();
  grid1->OnExit = [](rtl::TObject*) { throw rtl::Exception("fique"); };
  EXPECT_THROW(pages->SelectTab(sheet2), rtl::Exception);
  EXPECT_EQ(pages->ActivePage(), sheet1);
  EXPECT_TRUE(grid1->Focused());
}

TEST_F(FocusTest, ActiveControlSetBeforeShowIsWhereTheFocusGoes) {
  pages->SetActivePage(sheet2);
  form->SetActiveControl(gridB);
  EXPECT_TRUE(log.empty());
  form->Show();
  EXPECT_EQ(log, Log({"enter:pages", "enter:sheet2", "enter:panelB", "enter:gridB"}));
}

TEST_F(FocusTest, DestroyingTheFocusedControlDropsTheFocusWithoutEvents) {
  form->Show();
  pages->SetActivePage(sheet2);
  gridA->SetFocus();
  log.clear();
  delete gridA;
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(form->ActiveControl(), panelA);
  gridB->SetFocus();
  EXPECT_EQ(log, Log({"exit:panelA", "enter:panelB", "enter:gridB"}));
}

}  // namespace
