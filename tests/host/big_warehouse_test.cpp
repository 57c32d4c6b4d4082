// The screen on a warehouse of thousands of tables: the person keeps their
// place, finds what they type, sees more of the lists in a bigger window, and
// moves that go nowhere cost no call to the server.
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include "big_warehouse_fixture.h"
#include "db/client_dataset.h"
#include "lookup_dialog.h"
#include "qt_canvas.h"
#include "render_pages.h"
#include "search_dialog.h"
#include "vcl/application.h"
#include "vcl/page_control.h"

namespace host_test {
namespace {

class BigWarehouse : public BigWarehouseTest {
 protected:
  void SetUp() override {
    // No share a person dragged to earlier: the screen as built.
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                  "/layout.ini");
    BigWarehouseTest::SetUp();
    if (HasFatalFailure()) return;
    OpenScreen();
    if (HasFatalFailure()) return;
    tables_ = Model<db::TClientDataSet>("cdsTabelas");
    ASSERT_NE(tables_, nullptr);
    ASSERT_EQ(tables_->RecordCount(), kFactTables + 3);  // and the demo's
  }
  std::string CurrentTable() const { return tables_->FieldByName("CDTABELADW")->AsString(); }
  // Ctrl+End in the fact-table list, as the person would.
  void ToTheLastTable() {
    ClickCell("dbgTabelaFatos", 1, 0);
    QTest::keyClick(GridOf("dbgTabelaFatos"), Qt::Key_End, Qt::ControlModifier);
  }
  // The search dialog from the toolbar, `steps` run on it before it closes.
  void Search(const std::function<void(host::SearchDialog&)>& steps) {
    answers_.Expect([steps](QWidget* w) {
      auto* dialog = dynamic_cast<host::SearchDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      steps(*dialog);
    });
    ClickButton("sbtProcurar");
  }

  db::TClientDataSet* tables_ = nullptr;
};

TEST_F(BigWarehouse, VerificarKeepsTheCurrentTableOnBothPages) {
  ToTheLastTable();
  ASSERT_EQ(CurrentTable(), FactTable(kFactTables));
  ClickButton("sbtVerificar");
  EXPECT_EQ(CurrentTable(), FactTable(kFactTables));
  EXPECT_EQ(tables_->RecNo(), tables_->RecordCount());

  // On the facts page the facts list keeps its row too.
  ShowPage(1);
  auto* facts = Model<db::TClientDataSet>("cdsFatos");
  ASSERT_EQ(facts->RecordCount(), 5);
  ClickCell("dbgFatos", 4, 1);
  ASSERT_EQ(facts->FieldByName("CDITEMDW")->AsString(), "VL_04");
  ClickButton("sbtVerificar");
  EXPECT_EQ(facts->FieldByName("CDITEMDW")->AsString(), "VL_04");
  EXPECT_EQ(CurrentTable(), FactTable(kFactTables));
}

TEST_F(BigWarehouse, SearchFindsPartOfACodeAndGoesOnToTheNext) {
  QString wrapped;
  Search([this, &wrapped](host::SearchDialog& dialog) {
    dialog.FieldBox()->setCurrentIndex(dialog.FieldBox()->findText(QStringLiteral("Código")));
    dialog.ValueBox()->setText(QStringLiteral("04975"));
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Return);
    EXPECT_EQ(CurrentTable(), FactTable(4975));
    EXPECT_TRUE(dialog.isVisible());
    // The only match again: round to the start and back on it, as told.
    QTest::keyClick(dialog.ValueBox(), Qt::Key_F3);
    EXPECT_EQ(CurrentTable(), FactTable(4975));
    wrapped = dialog.StatusLine()->text();
    // Part of many codes: found from the current row on, each Enter goes on.
    dialog.ValueBox()->setText(QStringLiteral("x_0497"));
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Return);
    EXPECT_EQ(CurrentTable(), FactTable(4975));
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Return);
    EXPECT_EQ(CurrentTable(), FactTable(4976));
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Return);
    EXPECT_EQ(CurrentTable(), FactTable(4977));
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(wrapped.isEmpty());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(CurrentTable(), FactTable(4977));
  EXPECT_EQ(QApplication::activeWindow(), &window_);

  // Names without regard to case or accents; OK closes also when nothing is found.
  QString nothing;
  Search([&nothing](host::SearchDialog& dialog) {
    dialog.FieldBox()->setCurrentIndex(dialog.FieldBox()->findText(QStringLiteral("Nome")));
    dialog.ValueBox()->setText(QStringLiteral("TABELA FATO 4999"));
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Return);
    dialog.ValueBox()->setText(QStringLiteral("não existe"));
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Return);
    nothing = dialog.StatusLine()->text();
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(nothing, QStringLiteral("Nenhum registro encontrado."));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(CurrentTable(), FactTable(4999));
}

TEST_F(BigWarehouse, AMaximisedWindowShowsMoreFactTables) {
  const int before = GridOf("dbgTabelaFatos")->VisibleRows();
  const int drill_before = GridOf("dbgTabelaDrill")->VisibleRows();
  window_.resize(1280, 1000);
  for (QMdiSubWindow* w : window_.Area()->subWindowList()) w->showMaximized();
  QApplication::processEvents();
  const int after = GridOf("dbgTabelaFatos")->VisibleRows();
  EXPECT_GT(after, before + 5);
  // Both lists grew, in about the same proportion.
  const int drill_after = GridOf("dbgTabelaDrill")->VisibleRows();
  EXPECT_GT(drill_after, drill_before);
  EXPECT_NEAR(double(after) / before, double(drill_after) / drill_before, 1.0);
}

TEST_F(BigWarehouse, TheShareDraggedToIsKeptForTheNextOpening) {
  auto* splitter = Model<vcl::TControl>("splFatos");
  auto* top = Model<vcl::TControl>("PanTopFatos");
  QWidget* bar = window_.Views().WidgetFor(splitter);
  ASSERT_TRUE(splitter && top && bar);
  const int before = top->Height();
  QTest::mousePress(bar, Qt::LeftButton, {}, bar->rect().center());
  QTest::mouseMove(bar, bar->rect().center() + QPoint(0, 100));
  QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->rect().center() + QPoint(0, 100));
  const int dragged = top->Height();
  ASSERT_GT(dragged, before + 50);

  vcl::Application().DestroyForms();
  QApplication::processEvents();
  OpenScreen();
  EXPECT_NEAR(Model<vcl::TControl>("PanTopFatos")->Height(), dragged, 2);
}

TEST_F(BigWarehouse, TheDrillLookUpOpensOnTheFactsDrillTable) {
  ASSERT_TRUE(tables_->Locate("CDTABELADW", rtl::Variant(FactTable(4990)), db::loNone));
  ShowPage(1);
  auto* grid = Model<vcl::TDBGrid>("dbgFatos");
  host::GridView* view = GridOf(grid);
  int drill_col = -1;
  for (int c = 0; c < grid->Columns().Count(); ++c)
    if (grid->Columns()[c]->FieldName() == "CDTABDRILL") drill_col = c;
  ASSERT_GE(drill_col, 0);
  ClickCell(grid, 1, drill_col);
  ASSERT_EQ(grid->SelectedField()->FieldName(), "CDTABDRILL");
  QString chosen;
  bool in_sight = false;
  answers_.Expect([&chosen, &in_sight](QWidget* w) {
    auto* dialog = dynamic_cast<host::LookupDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    QTableWidget* table = dialog->Table();
    ASSERT_GE(table->currentRow(), 0);
    chosen = table->item(table->currentRow(), 0)->text();
    const QRect shown = table->visualItemRect(table->item(table->currentRow(), 0));
    in_sight = table->viewport()->rect().contains(shown.center());
    dialog->reject();
  });
  ClickAt(view, view->ButtonRect());
  EXPECT_EQ(chosen.toStdString(), DrillOf(4990));
  EXPECT_TRUE(in_sight);
}

TEST_F(BigWarehouse, TheTypeColumnIsWideEnoughForItsLongestChoice) {
  ShowPage(1);
  for (const char* name : {"dbgFatos", "dbgFatosDrill"}) {
    auto* grid = Model<vcl::TDBGrid>(name);
    const vcl::TColumn* type = nullptr;
    for (int c = 0; c < grid->Columns().Count(); ++c)
      if (grid->Columns()[c]->HasPickList()) type = grid->Columns()[c];
    ASSERT_NE(type, nullptr) << name;
    // The text and the drop-down button beside it.
    const QFontMetrics metrics(host::ToQFont(grid->Font()));
    EXPECT_GE(type->Width(), metrics.horizontalAdvance(QStringLiteral("Número inteiro")) + 16)
        << name;
  }
}

TEST_F(BigWarehouse, DownsAtTheLastTableCallTheServerAtMostOnce) {
  ToTheLastTable();
  ASSERT_EQ(CurrentTable(), FactTable(kFactTables));
  ClickCell("dbgTabelaFatos", GridOf("dbgTabelaFatos")->Grid()->Row(), 0);
  ResetCalls();
  for (int i = 0; i < 10; ++i) QTest::keyClick(GridOf("dbgTabelaFatos"), Qt::Key_Down);
  QTest::keyClick(GridOf("dbgTabelaFatos"), Qt::Key_PageDown);
  QTest::keyClick(GridOf("dbgTabelaFatos"), Qt::Key_End, Qt::ControlModifier);
  EXPECT_LE(Calls("GetDimeFatos"), 1);
  EXPECT_EQ(CurrentTable(), FactTable(kFactTables));
  EXPECT_EQ(tables_->State(), db::TDataSetState::dsBrowse);

  QTest::keyClick(GridOf("dbgTabelaFatos"), Qt::Key_Home, Qt::ControlModifier);
  ResetCalls();
  for (int i = 0; i < 10; ++i) QTest::keyClick(GridOf("dbgTabelaFatos"), Qt::Key_Up);
  QTest::keyClick(GridOf("dbgTabelaFatos"), Qt::Key_PageUp);
  QTest::keyClick(GridOf("dbgTabelaFatos"), Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(Calls("GetDimeFatos"), 0);
  EXPECT_EQ(tables_->RecNo(), 1);
}

}  // namespace
}  // namespace host_test
