// Editing in the grids of the structure screen through real Qt events, on
// the offscreen platform, against the real application server in-process:
// the in-cell editor, the clipboard, the locks the screen sets while a row
// is edited, and where include and edit put the person's typing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QTest>

#include "db/client_dataset.h"
#include "grid_view.h"
#include "host_screen_fixture.h"
#include "render_controls.h"
#include "render_pages.h"
#include "renderer.h"
#include "support/other_desk.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/db_navigator.h"
#include "vcl/page_control.h"
#include "vcl/panel.h"

namespace {

class EditingTest : public host_test::HostScreenTest {
 protected:
  void SetUp() override {
    HostScreenTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(window_.OpenScreen("QMX00600"));
    QApplication::processEvents();
    form_ = window_.Views().Forms().front();
    facts_ = Model<vcl::TDBGrid>("dbgTabelaFatos");
    drills_ = Model<vcl::TDBGrid>("dbgTabelaDrill");
    ASSERT_TRUE(facts_ && drills_);
    facts_view_ = GridOf(facts_);
    drills_view_ = GridOf(drills_);
    ASSERT_TRUE(facts_view_ && drills_view_);
  }

  // The name the server holds for a fact table, read through a session of
  // its own.
  std::string StoredName(const std::string& code) {
    return host_test::StoredTableName(server_, code);
  }

  vcl::TDBGrid* facts_ = nullptr;
  vcl::TDBGrid* drills_ = nullptr;
  host::GridView* facts_view_ = nullptr;
  host::GridView* drills_view_ = nullptr;
};

TEST_F(EditingTest, AlterarThenTypingReplacesTheSelectedNameAndTheServerHoldsExactlyIt) {
  ClickCell(facts_view_, 1, 0);
  db::TClientDataSet* tables = facts_->DataSet();
  const std::string code = tables->FieldByName("CDTABELADW")->AsString();
  const std::string old_name = tables->FieldByName("NMTABELADW")->AsString();
  ClickButton("sbtAlterar");
  ASSERT_TRUE(facts_->EditorMode());
  EXPECT_EQ(facts_->Editor().SelText(), old_name);
  EXPECT_TRUE(facts_view_->hasFocus());

  QTest::keyClicks(facts_view_, "Compras de mercadorias");
  EXPECT_EQ(facts_->EditorText(), "Compras de mercadorias");
  // Corrections in the middle of the text: Home, a word selected with
  // Shift, typed over; Delete at the caret.
  QTest::keyClick(facts_view_, Qt::Key_Home);
  for (int i = 0; i < 7; ++i) QTest::keyClick(facts_view_, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(facts_->Editor().SelText(), "Compras");
  QTest::keyClicks(facts_view_, "Vendas");
  QTest::keyClick(facts_view_, Qt::Key_End);
  for (int i = 0; i < 11; ++i) QTest::keyClick(facts_view_, Qt::Key_Left);
  QTest::keyClick(facts_view_, Qt::Key_Delete);
  EXPECT_EQ(facts_->EditorText(), "Vendas de ercadorias");
  QTest::keyClicks(facts_view_, "M");
  // The clipboard: all of it copied, then pasted over itself twice.
  QTest::keyClick(facts_view_, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(facts_view_, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Vendas de Mercadorias"));
  QTest::keyClick(facts_view_, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(facts_->EditorText(), "");
  QTest::keyClick(facts_view_, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(facts_->EditorText(), "Vendas de Mercadorias");

  ClickButton("sbtConfirmar");
  EXPECT_EQ(tables->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(StoredName(code), "Vendas de Mercadorias");
}

// Another person renamed the table after this screen read it. Confirming the
// rename is refused once, in one message that holds what was typed; the row
// is not left open: it shows the stored name and the screen can reload.
TEST_F(EditingTest, ARenameRefusedAsChangedElsewhereEndsInOneMessageWithTheTypedName) {
  ClickCell(facts_view_, 1, 0);
  db::TClientDataSet* tables = facts_->DataSet();
  const std::string code = tables->FieldByName("CDTABELADW")->AsString();
  qmxtest::OtherDesk(server_.NewSession()).RenameTable(code, "Renomeada na outra mesa");
  ClickButton("sbtAlterar");
  QTest::keyClicks(facts_view_, "Minhas vendas");
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("OK")));
  ClickButton("sbtConfirmar");

  ASSERT_EQ(answers_.Texts().size(), 1u);
  const std::string& shown = answers_.Texts()[0];
  EXPECT_NE(shown.find("os dados foram recarregados"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Nome: Minhas vendas"), std::string::npos) << shown;
  EXPECT_EQ(tables->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(tables->ChangeCount(), 0);
  EXPECT_FALSE(facts_->EditorMode());
  EXPECT_EQ(tables->FieldByName("CDTABELADW")->AsString(), code);
  EXPECT_EQ(facts_->CellText(tables->RecNo(), 1), "Renomeada na outra mesa");
  EXPECT_TRUE(View<QWidget>(Model<vcl::TButtonFlat>("sbtVerificar"))->isEnabled());
  EXPECT_EQ(StoredName(code), "Renomeada na outra mesa");
}

TEST_F(EditingTest, AKeystrokePastTheFieldIsRefusedVisibly) {
  ClickCell(facts_view_, 1, 0);
  ClickButton("sbtIncluir");
  const std::string full(30, 'X');  // the code holds 30 characters
  QTest::keyClicks(facts_view_, QString::fromStdString(full));
  EXPECT_FALSE(facts_view_->RefusalShown());
  QTest::keyClicks(facts_view_, "Y");
  EXPECT_EQ(facts_->EditorText(), full);
  EXPECT_TRUE(facts_view_->RefusalShown());
  QTest::keyClick(facts_view_, Qt::Key_Escape);  // the typed text goes
  QTest::keyClick(facts_view_, Qt::Key_Escape);  // then the new row
  EXPECT_EQ(facts_->DataSet()->State(), db::TDataSetState::dsBrowse);
}

TEST_F(EditingTest, IncluirPutsTheTypingIntoTheCodeColumn) {
  ClickCell(facts_view_, 1, 1);  // the name was the last column used
  ASSERT_EQ(facts_->SelectedIndex(), 1);
  ClickButton("sbtIncluir");
  ASSERT_EQ(facts_->DataSet()->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(facts_->SelectedIndex(), 0);
  QTest::keyClicks(facts_view_, "fato_compras");
  QTest::keyClick(facts_view_, Qt::Key_Tab);
  EXPECT_EQ(facts_->DataSet()->FieldByName("CDTABELADW")->AsString(), "FATO_COMPRAS");
  EXPECT_EQ(facts_->SelectedIndex(), 1);
  QTest::keyClicks(facts_view_, "Compras");
  ClickButton("sbtConfirmar");
  EXPECT_EQ(StoredName("FATO_COMPRAS"), "Compras");
  EXPECT_TRUE(answers_.Texts().empty());
}

TEST_F(EditingTest, ALockedPanelIsPaintedDisabledAndIgnoresAClick) {
  ClickCell(facts_view_, 1, 0);
  QApplication::processEvents();
  const QRect cell = drills_view_->CellRect(1, 1);
  const QPoint probe(cell.right() - 3, cell.center().y());  // past the text
  const QColor before = drills_view_->viewport()->grab().toImage().pixelColor(probe);

  ClickButton("sbtAlterar");
  auto* other = Model<vcl::TPanel>("panClientFatos");
  ASSERT_NE(other, nullptr);
  ASSERT_FALSE(other->Enabled());
  EXPECT_FALSE(drills_view_->isEnabled());
  QApplication::processEvents();
  const QColor locked = drills_view_->viewport()->grab().toImage().pixelColor(probe);
  EXPECT_NE(locked, before);
  EXPECT_LT(std::abs(locked.red() - locked.blue()) + std::abs(locked.green() - locked.blue()),
            std::abs(before.red() - before.blue()) + std::abs(before.green() - before.blue()))
      << "the locked grid is greyer than the open one";
  // The other page's tab is shown disabled too.
  auto* tabs = View<host::PageControlWidget>(Model<vcl::TPageControl>("pgcPadrao"));
  ASSERT_NE(tabs, nullptr);
  EXPECT_FALSE(tabs->isTabEnabled(1));

  const int drill_row = drills_->Row();
  ClickCell(drills_view_, drills_->RowCount(), 0);
  QApplication::processEvents();
  EXPECT_EQ(drills_->Row(), drill_row);
  EXPECT_TRUE(facts_->Focused());
  EXPECT_EQ(facts_->DataSet()->State(), db::TDataSetState::dsEdit);

  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("&Sim")));
  ClickButton("sbtCancelar");
  EXPECT_TRUE(drills_view_->isEnabled());
  EXPECT_TRUE(tabs->isTabEnabled(1));
}

TEST_F(EditingTest, TheFirstClickOnTheDrillListMakesItCurrent) {
  ClickCell(drills_view_, 1, 1);
  QApplication::processEvents();
  EXPECT_TRUE(drills_->Focused());
  EXPECT_TRUE(drills_view_->hasFocus());
  EXPECT_EQ(Model<vcl::TDBNavigator>("dbnPadrao")->DataSource(), drills_->DataSource());
}

TEST_F(EditingTest, MaximisingAndRestoringTheWindowKeepsTheListTheUserIsIn) {
  ClickCell(facts_view_, 1, 1);
  QApplication::processEvents();
  ASSERT_TRUE(facts_->Focused());
  const db::TDataSource* list = Model<vcl::TDBNavigator>("dbnPadrao")->DataSource();
  ASSERT_EQ(list, facts_->DataSource());
  auto* window = window_.Views().SubWindowFor(form_);
  ASSERT_NE(window, nullptr);
  for (bool maximise : {true, false}) {
    if (maximise)
      window->showMaximized();
    else
      window->showNormal();
    QApplication::processEvents();
    EXPECT_TRUE(facts_->Focused()) << (maximise ? "maximised" : "restored");
    EXPECT_TRUE(facts_view_->hasFocus()) << (maximise ? "maximised" : "restored");
    EXPECT_EQ(Model<vcl::TDBNavigator>("dbnPadrao")->DataSource(), list);
  }
}

TEST_F(EditingTest, AClickInTheEditorPlacesTheCaretAndADragSelects) {
  ClickCell(facts_view_, 1, 1);
  QTest::keyClick(facts_view_, Qt::Key_F2);
  ASSERT_TRUE(facts_->EditorMode());
  const std::string name = facts_->EditorText();
  ASSERT_GE(name.size(), 3u);
  const QRect cell = facts_view_->CellRect(facts_->Row(), 1);
  QTest::mouseClick(facts_view_->viewport(), Qt::LeftButton, {},
                    QPoint(cell.left() + 1, cell.center().y()));
  EXPECT_EQ(facts_->Editor().Caret(), 0);
  EXPECT_FALSE(facts_->Editor().HasSelection());
  QTest::mousePress(facts_view_->viewport(), Qt::LeftButton, {},
                    QPoint(cell.left() + 1, cell.center().y()));
  QMouseEvent move(
      QEvent::MouseMove, QPointF(cell.right() - 2, cell.center().y()),
      facts_view_->viewport()->mapToGlobal(QPointF(cell.right() - 2, cell.center().y())),
      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(facts_view_->viewport(), &move);
  QTest::mouseRelease(facts_view_->viewport(), Qt::LeftButton, {},
                      QPoint(cell.right() - 2, cell.center().y()));
  EXPECT_EQ(facts_->Editor().SelText(), name);
}

}  // namespace
