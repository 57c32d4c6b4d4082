// The renderer on the bare base grid screen: widgets made from the model and
// kept in step both ways.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include "db/client_dataset.h"
#include "dialog_answerer.h"
#include "frm/padrao_grid.h"
#include "grid_view.h"
#include "main_window.h"
#include "render_controls.h"
#include "render_form.h"
#include "render_pages.h"
#include "renderer.h"
#include "rtl/exceptions.h"
#include "vcl/application.h"
#include "vcl/page_control.h"
#include "vcl/panel.h"

namespace {

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    window_.activateWindow();
    form_ = vcl::Application().CreateForm<frm::TfrmPadraoGrid>();
    form_->SetCaption("Tela de teste");
    dataset_ = new db::TClientDataSet(form_);
    dataset_->AddStringField("CODIGO", 10, "Código");
    dataset_->AddStringField("NOME", 30, "Nome");
    dataset_->AddStringField("OCULTO", 1, "", false);
    dataset_->CreateDataSet();
    for (auto [code, name] : {std::pair{"A1", "Alfa"}, {"B2", "Beta"}, {"C3", "Gama"}}) {
      dataset_->Append();
      dataset_->FieldByName("CODIGO")->SetAsString(code);
      dataset_->FieldByName("NOME")->SetAsString(name);
      dataset_->Post();
    }
    dataset_->First();
    form_->dtsPadrao->SetDataSet(dataset_);
    form_->dbgPadrao->SetOptions(form_->dbgPadrao->Options() & ~vcl::dgConfirmDelete);
    form_->tshPadrao->SetCaption("Lista");
    second_ = new vcl::TTabSheet(form_);
    second_->SetName("tshSegunda");
    second_->SetCaption("Segunda");
    second_->SetPageControl(form_->pgcPadrao);
    form_->UpdateCommands(form_->dtsPadrao);
    form_->Show();
    QApplication::processEvents();
  }
  void TearDown() override {
    if (dataset_->State() != db::TDataSetState::dsBrowse) dataset_->Cancel();
    form_->Free();
    QApplication::processEvents();
    EXPECT_TRUE(answers_.Unexpected().empty()) << answers_.Unexpected().front();
  }

  template <class T>
  T* View(const vcl::TControl* control) {
    return dynamic_cast<T*>(window_.Views().WidgetFor(control));
  }
  QWidget* Widget(const vcl::TControl* control) { return window_.Views().WidgetFor(control); }
  // A new `T` named `name`, aligned to the top of the grid's panel.
  template <class T>
  T* AddAtTop(const char* name, int height) {
    auto* control = new T(form_);
    control->SetName(name);
    control->SetParent(form_->panDbgPadrao);
    control->SetAlign(vcl::TAlign::alTop);
    control->SetHeight(height);
    return control;
  }

  host::MainWindow window_{""};
  host_test::DialogAnswerer answers_;
  frm::TfrmPadraoGrid* form_ = nullptr;
  db::TClientDataSet* dataset_ = nullptr;
  vcl::TTabSheet* second_ = nullptr;
};

TEST_F(RendererTest, ShownFormBecomesASubWindowAtItsDesignSizeWithItsControls) {
  QMdiSubWindow* sub = window_.Views().SubWindowFor(form_);
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(sub->isVisible());
  EXPECT_EQ(sub->windowTitle(), QStringLiteral("Tela de teste"));
  ASSERT_NE(Widget(form_->panMenu), nullptr);
  EXPECT_EQ(Widget(form_->panMenu)->parentWidget()->size(), QSize(761, 470));
  // Aligned panels: the toolbar on top, the navigator at the bottom, the pages between.
  EXPECT_EQ(Widget(form_->panMenu)->geometry(), QRect(0, 0, 761, 34));
  EXPECT_EQ(Widget(form_->panNavigator)->geometry(), QRect(0, 470 - 27, 761, 27));
  EXPECT_EQ(Widget(form_->pgcPadrao)->geometry(), QRect(0, 34, 761, 470 - 34 - 27));
  auto* pages = View<host::PageControlWidget>(form_->pgcPadrao);
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(pages->count(), 2);
  EXPECT_EQ(pages->tabText(0), QStringLiteral("Lista"));
  // The host's window list names the screen.
  QMenu* windows = nullptr;
  for (QAction* a : window_.menuBar()->actions())
    if (a->text() == QStringLiteral("&Janelas")) windows = a->menu();
  ASSERT_NE(windows, nullptr);
  emit windows->aboutToShow();
  QStringList entries;
  for (QAction* a : windows->actions()) entries << a->text();
  EXPECT_TRUE(entries.contains(QStringLiteral("&1 Tela de teste")))
      << entries.join(", ").toStdString();
  // The form's menu is the sub-window's menu bar.
  auto* view = dynamic_cast<host::FormView*>(sub);
  ASSERT_NE(view, nullptr);
  ASSERT_NE(view->ActionFor(form_->mnuIncluir), nullptr);
}

TEST_F(RendererTest, ToolbarAndMenuFollowTheCommandsTheModelEnables) {
  auto* add = View<host::ButtonWidget>(form_->sbtIncluir);
  auto* confirm = View<host::ButtonWidget>(form_->sbtConfirmar);
  ASSERT_NE(add, nullptr);
  ASSERT_NE(confirm, nullptr);
  EXPECT_TRUE(add->isEnabled());
  EXPECT_FALSE(confirm->isEnabled());
  EXPECT_FALSE(add->icon().isNull());
  EXPECT_EQ(add->toolTip(), QStringLiteral("Incluir"));

  QTest::mouseClick(add, Qt::LeftButton);
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsInsert);
  EXPECT_FALSE(add->isEnabled());
  EXPECT_TRUE(confirm->isEnabled());
  auto* view = dynamic_cast<host::FormView*>(window_.Views().SubWindowFor(form_));
  EXPECT_TRUE(view->ActionFor(form_->mnuConfirmar)->isEnabled());
  EXPECT_FALSE(view->ActionFor(form_->mnuIncluir)->isEnabled());

  // A button the model hides goes; one it disables cannot be clicked.
  form_->sbtVerificar->SetVisible(false);
  EXPECT_FALSE(Widget(form_->sbtVerificar)->isVisible());
  form_->sbtConfirmar->SetEnabled(false);
  QTest::mouseClick(confirm, Qt::LeftButton);
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsInsert);
}

TEST_F(RendererTest, GridShowsTheDatasetAndEditsThroughTheModelsKeyHandlers) {
  auto* grid = View<host::GridView>(form_->dbgPadrao);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(form_->dbgPadrao->RowCount(), 3);
  // Hidden fields have no column.
  EXPECT_EQ(form_->dbgPadrao->Columns().Count(), 2);

  // The screen's key-press handler upper-cases what is typed, and its
  // key-down handler swallows Insert.
  form_->dbgPadrao->OnKeyPress = [](rtl::TObject*, char& key) {
    if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
  };
  form_->dbgPadrao->OnKeyDown = [](rtl::TObject*, uint16_t& key, vcl::TShiftState) {
    if (key == vcl::VK_INSERT) key = 0;
  };
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(2, 0).center());
  EXPECT_EQ(dataset_->RecNo(), 2);
  EXPECT_TRUE(form_->dbgPadrao->Focused());
  EXPECT_TRUE(grid->hasFocus());
  QTest::keyClicks(grid, "x9");
  EXPECT_EQ(form_->dbgPadrao->EditorText(), "X9");
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsEdit);
  QTest::keyClick(grid, Qt::Key_Escape);  // gives up the typed text
  QTest::keyClick(grid, Qt::Key_Escape);  // cancels the row's edit
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(dataset_->FieldByName("CODIGO")->AsString(), "B2");
  QTest::keyClick(grid, Qt::Key_Insert);
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsBrowse);

  // Typing a new value and moving down posts the row.
  QTest::keyClicks(grid, "zz");
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(dataset_->RecNo(), 3);
  dataset_->SetRecNo(2);
  EXPECT_EQ(dataset_->FieldByName("CODIGO")->AsString(), "ZZ");

  // Down on the last row appends; Escape drops the untouched new row.
  dataset_->Last();
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsInsert);
  QTest::keyClick(grid, Qt::Key_Escape);
  EXPECT_EQ(dataset_->RecordCount(), 3);

  // Ctrl+Delete deletes the current row.
  QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(dataset_->RecordCount(), 2);
}

TEST_F(RendererTest, InsertKeyInsertsAndEllipsisAndPickListButtonsReachTheModel) {
  auto* grid = View<host::GridView>(form_->dbgPadrao);
  vcl::TColumn* code = form_->dbgPadrao->Columns()[0];
  vcl::TColumn* name = form_->dbgPadrao->Columns()[1];
  code->SetButtonStyle(vcl::TColumnButtonStyle::cbsEllipsis);
  name->SetPickList({"Alfa", "Delta"});
  int ellipsis = 0;
  form_->dbgPadrao->OnEditButtonClick = [&](rtl::TObject*) { ++ellipsis; };

  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 0).center());
  ASSERT_FALSE(grid->ButtonRect().isEmpty());
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->ButtonRect().center());
  EXPECT_EQ(ellipsis, 1);
  QTest::keyClick(grid, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(ellipsis, 2);

  // The drop-down offers the pick list; the choice reaches the field.
  QTest::keyClick(grid, Qt::Key_Right);
  ASSERT_EQ(form_->dbgPadrao->SelectedIndex(), 1);
  QStringList offered;
  QTimer::singleShot(20, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions()) offered << a->text();
    menu->actions().last()->trigger();
    menu->close();
  });
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->ButtonRect().center());
  EXPECT_EQ(offered, (QStringList{QStringLiteral("Alfa"), QStringLiteral("Delta")}));
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsEdit);
  EXPECT_EQ(dataset_->FieldByName("NOME")->AsString(), "Delta");
  QTest::keyClick(grid, Qt::Key_Escape);
  EXPECT_EQ(dataset_->FieldByName("NOME")->AsString(), "Alfa");

  QTest::keyClick(grid, Qt::Key_Insert);
  EXPECT_EQ(dataset_->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(dataset_->RecordCount(), 4);
  QTest::keyClick(grid, Qt::Key_Escape);
  EXPECT_EQ(dataset_->RecordCount(), 3);
}

TEST_F(RendererTest, CellsArePaintedByTheDrawColumnCellHandlerOnTheGridsCanvas) {
  auto* grid = View<host::GridView>(form_->dbgPadrao);
  // A box whose white is transparent, as the check column's images are.
  vcl::TBitmap box(6, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) box.SetPixel(x, y, x == 0 ? vcl::clRed : vcl::clWhite);
  std::vector<std::string> drawn;
  form_->dbgPadrao->OnDrawColumnCell = [&](rtl::TObject*, const vcl::TRect& rect, int col,
                                           vcl::TColumn*, vcl::TGridDrawState) {
    vcl::TCanvas* canvas = form_->dbgPadrao->Canvas();
    if (col != 0 || !canvas) return;
    drawn.push_back(dataset_->FieldByName("CODIGO")->AsString());
    canvas->Brush().SetColor(vcl::clLime);
    canvas->FillRect(rect);
    canvas->BrushCopy(vcl::Rect(rect.Left + 2, rect.Top + 2, rect.Left + 8, rect.Top + 8), box,
                      vcl::Rect(0, 0, 6, 6), vcl::clWhite);
  };
  QApplication::processEvents();
  drawn.clear();
  const QImage image = grid->viewport()->grab().toImage();
  EXPECT_EQ(drawn, (std::vector<std::string>{"A1", "B2", "C3"}));
  const QRect cell = grid->CellRect(2, 0);
  EXPECT_EQ(image.pixelColor(cell.left() + 2, cell.top() + 4), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(cell.left() + 5, cell.top() + 4), QColor(0, 255, 0));
  EXPECT_EQ(image.pixelColor(cell.right() - 2, cell.bottom() - 1), QColor(0, 255, 0));
  // Outside painting there is no canvas to draw on.
  EXPECT_EQ(form_->dbgPadrao->Canvas(), nullptr);
}

TEST_F(RendererTest, SplitterDragResizesTheNeighbourAndTheNavigatorMovesTheDataset) {
  auto* top = AddAtTop<vcl::TPanel>("panTopo", 60);
  auto* splitter = AddAtTop<vcl::TSplitter>("splTopo", 6);
  QApplication::processEvents();
  QWidget* bar = Widget(splitter);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->geometry().top(), Widget(top)->geometry().bottom() + 1);
  EXPECT_EQ(bar->cursor().shape(), Qt::SplitVCursor);
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(10, 3));
  QMouseEvent move(QEvent::MouseMove, QPointF(10, 23), bar->mapToGlobal(QPointF(10, 23)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(bar, &move);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(10, 23));
  EXPECT_EQ(top->Height(), 80);
  EXPECT_EQ(Widget(top)->height(), 80);

  auto* navigator = View<host::NavigatorWidget>(form_->dbnPadrao);
  ASSERT_NE(navigator, nullptr);
  EXPECT_FALSE(navigator->Button(vcl::nbPrior)->isEnabled());
  EXPECT_TRUE(navigator->Button(vcl::nbNext)->isEnabled());
  QTest::mouseClick(navigator->Button(vcl::nbLast), Qt::LeftButton);
  EXPECT_EQ(dataset_->RecNo(), 3);
  EXPECT_FALSE(navigator->Button(vcl::nbNext)->isEnabled());
  EXPECT_TRUE(navigator->Button(vcl::nbPrior)->isEnabled());
  EXPECT_EQ(View<host::LabelWidget>(form_->dbtNome)->text(), QString());
  form_->dbtNome->SetDataField("NOME");
  EXPECT_EQ(View<host::LabelWidget>(form_->dbtNome)->text(), QStringLiteral("Gama"));
}

TEST_F(RendererTest, RefusedColumnExitKeepsTheColumnAndTitleClicksReachTheModel) {
  auto* grid = View<host::GridView>(form_->dbgPadrao);
  int title_clicked = -1;
  form_->dbgPadrao->OnTitleClick = [&](vcl::TColumn* column) { title_clicked = column->Index(); };
  form_->dbgPadrao->OnColExit = [](rtl::TObject*) { rtl::Abort(); };
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 0).center());
  QTest::keyClick(grid, Qt::Key_Tab);
  EXPECT_EQ(form_->dbgPadrao->SelectedIndex(), 0);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 1).center());
  EXPECT_EQ(form_->dbgPadrao->SelectedIndex(), 0);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(0, 1).center());
  EXPECT_EQ(title_clicked, 1);
  form_->dbgPadrao->OnColExit = nullptr;
  QTest::keyClick(grid, Qt::Key_Tab);
  EXPECT_EQ(form_->dbgPadrao->SelectedIndex(), 1);
}

TEST_F(RendererTest, DisabledSheetCannotBeChosenAndTheTabsFollowTheModel) {
  auto* pages = View<host::PageControlWidget>(form_->pgcPadrao);
  ASSERT_NE(pages, nullptr);
  ASSERT_EQ(form_->pgcPadrao->ActivePage(), form_->tshPadrao);
  second_->SetEnabled(false);
  EXPECT_FALSE(pages->isTabEnabled(1));
  QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(1).center());
  EXPECT_EQ(form_->pgcPadrao->ActivePage(), form_->tshPadrao);
  EXPECT_EQ(pages->currentIndex(), 0);

  second_->SetEnabled(true);
  int entered = 0;
  second_->OnEnter = [&](rtl::TObject*) { ++entered; };
  QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(1).center());
  EXPECT_EQ(form_->pgcPadrao->ActivePage(), second_);
  EXPECT_EQ(pages->currentIndex(), 1);
  EXPECT_EQ(entered, 1);

  // A page change made by the model shows in the tabs.
  form_->pgcPadrao->SetActivePage(form_->tshPadrao);
  EXPECT_EQ(pages->currentIndex(), 0);
  second_->SetCaption("Outra");
  EXPECT_EQ(pages->tabText(1), QStringLiteral("Outra"));
}

TEST_F(RendererTest, FocusMovesBothWaysAndARefusedExitKeepsItWhereTheModelKeepsIt) {
  // A second grid on the second page's neighbour: the navigator panel gets one.
  auto* other = AddAtTop<vcl::TDBGrid>("dbgOutra", 60);
  other->SetDataSource(form_->dtsPadrao);
  QApplication::processEvents();
  auto* grid = View<host::GridView>(form_->dbgPadrao);
  auto* other_view = View<host::GridView>(other);
  ASSERT_NE(other_view, nullptr);

  form_->dbgPadrao->SetFocus();
  EXPECT_TRUE(grid->hasFocus());
  other->SetFocus();
  EXPECT_TRUE(other_view->hasFocus());

  // Leaving `other` is refused: a click on the first grid changes nothing.
  other->OnExit = [](rtl::TObject*) { rtl::Abort(); };
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 0).center());
  QApplication::processEvents();
  EXPECT_TRUE(other->Focused());
  EXPECT_TRUE(other_view->hasFocus());
  other->OnExit = nullptr;

  // Tab into a widget moves the model's focus too.
  grid->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();
  EXPECT_TRUE(form_->dbgPadrao->Focused());

  // Controls the model removes lose their widgets.
  delete other;
  QApplication::processEvents();
  EXPECT_EQ(window_.Views().WidgetFor(other), nullptr);
}

TEST_F(RendererTest, ClosingTheSubWindowAsksTheModelWhichMayRefuse) {
  QMdiSubWindow* sub = window_.Views().SubWindowFor(form_);
  dataset_->Edit();
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("&Não")));
  sub->close();
  QApplication::processEvents();
  EXPECT_TRUE(form_->Visible());
  EXPECT_TRUE(sub->isVisible());
  EXPECT_EQ(answers_.Texts().back(), "Cancela as alterações?");
  dataset_->Cancel();
  form_->SetWindowState(vcl::TWindowState::wsMaximized);
  EXPECT_TRUE(sub->isMaximized());
  sub->showNormal();
  EXPECT_EQ(form_->WindowState(), vcl::TWindowState::wsNormal);
}

}  // namespace
