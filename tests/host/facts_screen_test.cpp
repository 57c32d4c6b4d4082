// Facts of a fact table in the host, against the real application server
// in-process on a temporary demo database: a person adds a fact and marks
// the facts with the mouse and the keyboard through the real widgets.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "appserver/embedded_server.h"
#include "db/client_dataset.h"
#include "dialog_answerer.h"
#include "grid_view.h"
#include "lookup_dialog.h"
#include "main_window.h"
#include "orb/local_cache.h"
#include "orb/server_address.h"
#include "qt_user_interface.h"
#include "render_controls.h"
#include "render_pages.h"
#include "vcl/application.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/page_control.h"

namespace {

// One fact as the server stores it: field code -> "name|data mart|type|mark|drill".
std::map<std::string, std::string> StoredFacts(const appserver::EmbeddedServer& server,
                                               const std::string& table) {
  auto session = server.NewSession();
  std::vector<rtl::Variant> args{rtl::Variant(table),
                                 rtl::Variant(std::string()),
                                 rtl::Variant(std::string()),
                                 rtl::Variant(std::string()),
                                 rtl::Variant(),
                                 rtl::Variant()};
  session->Invoke("GetDimeFatos", args);
  db::TClientDataSet rows(nullptr);
  rows.SetData(args[5]);
  std::map<std::string, std::string> facts;
  for (rows.First(); !rows.Eof(); rows.Next()) {
    auto f = [&rows](const char* name) { return rows.FieldByName(name)->AsString(); };
    facts[f("CDITEMDW")] = f("NMITEMDW") + "|" + f("CDAREANEGDW") + "|" + f("IDTPFATODW") + "|" +
                           f("IDFATODW") + "|" + f("CDTABDRILL");
  }
  return facts;
}

class FactsScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    orb::SetServerAddress({"127.0.0.1", server_.Port()});
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    window_.activateWindow();
    QAction* action = window_.ScreenAction("QMX00600");
    ASSERT_NE(action, nullptr);
    action->trigger();
    QApplication::processEvents();
    ASSERT_FALSE(window_.Views().Forms().empty());
    form_ = window_.Views().Forms().front();
  }
  void TearDown() override {
    orb::SetLocalCacheHook(nullptr);
    vcl::Application().DestroyForms();
    QApplication::processEvents();
    orb::ClearServerAddress();
    EXPECT_TRUE(answers_.Unexpected().empty()) << answers_.Unexpected().front();
  }
  template <class T>
  T* Model(const char* name) {
    return dynamic_cast<T*>(form_->FindComponent(name));
  }
  template <class T>
  T* View(const vcl::TControl* control) {
    return dynamic_cast<T*>(window_.Views().WidgetFor(control));
  }
  void ClickAt(host::GridView* view, const QRect& rect) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
  }
  // Clicks the row of FATO_VENDAS on page 1, then the tab of page 2.
  void OpenFactsOfVendas() {
    auto* tables = Model<vcl::TDBGrid>("dbgTabelaFatos");
    auto* view = View<host::GridView>(tables);
    ASSERT_TRUE(tables && view);
    int row = 0;
    for (int r = 1; r <= tables->RowCount() && row == 0; ++r)
      if (tables->CellText(r, 0) == "FATO_VENDAS") row = r;
    ASSERT_GT(row, 0);
    ClickAt(view, view->CellRect(row, 0));
    auto* tabs = View<host::PageControlWidget>(Model<vcl::TPageControl>("pgcPadrao"));
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    grid_ = Model<vcl::TDBGrid>("dbgFatos");
    view_ = View<host::GridView>(grid_);
    ASSERT_TRUE(grid_ && view_ && view_->isVisible());
  }

  appserver::EmbeddedServer server_;
  host::MainWindow window_{""};
  host_test::DialogAnswerer answers_;
  vcl::TCustomForm* form_ = nullptr;
  vcl::TDBGrid* grid_ = nullptr;
  host::GridView* view_ = nullptr;
};

TEST_F(FactsScreenTest, AFactAddedWithMouseAndKeyboardIsStoredOnTheServer) {
  OpenFactsOfVendas();
  db::TClientDataSet* facts = grid_->DataSet();
  auto* add = View<host::ButtonWidget>(Model<vcl::TButtonFlat>("sbtIncluir"));
  auto* confirm = View<host::ButtonWidget>(Model<vcl::TButtonFlat>("sbtConfirmar"));
  ASSERT_TRUE(add && confirm);
  ClickAt(view_, view_->CellRect(1, 2));
  QTest::mouseClick(add, Qt::LeftButton);
  ASSERT_EQ(facts->State(), db::TDataSetState::dsInsert);

  // The field: its ellipsis button opens the look-up of the free columns.
  ClickAt(view_, view_->CellRect(grid_->Row(), 1));
  ASSERT_EQ(grid_->SelectedField()->FieldName(), "CDITEMDW");
  QStringList offered;
  answers_.Expect([&offered](QWidget* w) {
    auto* dialog = dynamic_cast<host::LookupDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    for (int r = 0; r < dialog->Table()->rowCount(); ++r)
      offered << dialog->Table()->item(r, 0)->text();
    dialog->FilterBox()->setText(QStringLiteral("desconto"));
    dialog->accept();
  });
  ClickAt(view_, view_->ButtonRect());
  EXPECT_TRUE(offered.contains(QStringLiteral("VL_DESCONTO"))) << offered.join(",").toStdString();
  EXPECT_FALSE(offered.contains(QStringLiteral("VL_VENDA")));
  EXPECT_EQ(facts->FieldByName("CDITEMDW")->AsString(), "VL_DESCONTO");

  QTest::keyClick(view_, Qt::Key_Tab);
  QTest::keyClicks(view_, "Desconto concedido");
  QTest::keyClick(view_, Qt::Key_Tab);
  QTest::keyClicks(view_, "2");
  QTest::keyClick(view_, Qt::Key_Tab);
  ASSERT_EQ(grid_->SelectedField()->FieldName(), "IDTPFATODW");
  EXPECT_EQ(facts->FieldByName("CDAREANEGDW")->AsString(), "00002");
  // Typing is refused in the type column: its pick list chooses.
  QTest::keyClicks(view_, "xyz");
  EXPECT_EQ(facts->FieldByName("IDTPFATODW")->AsString(), "M");
  QStringList items;
  QTimer::singleShot(50, [&items] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions()) {
      items << a->text();
      if (a->text() == QStringLiteral("Quantidade")) menu->setActiveAction(a);
    }
    QTest::keyClick(menu, Qt::Key_Return);
  });
  // A desktop gives the window back its focus once the look-up closed; the
  // offscreen platform leaves that to the test.
  window_.activateWindow();
  QApplication::processEvents();
  ASSERT_TRUE(view_->hasFocus());
  ASSERT_FALSE(view_->ButtonRect().isEmpty());
  ClickAt(view_, view_->ButtonRect());
  EXPECT_EQ(items, (QStringList{QStringLiteral("Moeda"), QStringLiteral("Percentual"),
                                QStringLiteral("Quantidade"), QStringLiteral("Número inteiro")}));
  EXPECT_EQ(facts->FieldByName("IDTPFATODW")->AsString(), "Q");
  QTest::mouseClick(confirm, Qt::LeftButton);
  QApplication::processEvents();

  EXPECT_EQ(facts->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(facts->ChangeCount(), 0);
  const auto stored = StoredFacts(server_, "FATO_VENDAS");
  ASSERT_TRUE(stored.count("VL_DESCONTO"));
  EXPECT_EQ(stored.at("VL_DESCONTO"), "Desconto concedido|00002|Q|S|");
  EXPECT_TRUE(answers_.Texts().empty());
}

TEST_F(FactsScreenTest, TheCheckColumnsTitleAndBoxesMarkFactsUnderTheHourglass) {
  OpenFactsOfVendas();
  db::TClientDataSet* facts = grid_->DataSet();
  ASSERT_EQ(facts->RecordCount(), 2);
  // The hourglass is up while the marks are saved.
  bool hourglass = false;
  orb::SetLocalCacheHook([this, &hourglass](const std::string&) {
    hourglass = window_.UserInterface().WaitCursorShown();
  });
  ClickAt(view_, view_->CellRect(0, 0));
  EXPECT_TRUE(hourglass);
  EXPECT_FALSE(window_.UserInterface().WaitCursorShown());
  auto stored = StoredFacts(server_, "FATO_VENDAS");
  EXPECT_EQ(stored.at("VL_VENDA"), "Valor vendido|00001|M|N|DRILL_VENDAS_DIA");
  EXPECT_EQ(stored.at("QT_VENDIDA"), "Quantidade vendida|00001|Q|N|DRILL_VENDAS_DIA");

  // A click on one box ticks that fact alone, saved at once.
  const int row = grid_->CellText(1, 1) == "QT_VENDIDA" ? 1 : 2;
  ClickAt(view_, view_->CellRect(row, 0));
  EXPECT_EQ(facts->State(), db::TDataSetState::dsBrowse);
  stored = StoredFacts(server_, "FATO_VENDAS");
  EXPECT_EQ(stored.at("QT_VENDIDA"), "Quantidade vendida|00001|Q|S|DRILL_VENDAS_DIA");
  EXPECT_EQ(stored.at("VL_VENDA"), "Valor vendido|00001|M|N|DRILL_VENDAS_DIA");
  // Clicking it again opens no editor: it toggles back.
  ClickAt(view_, view_->CellRect(row, 0));
  EXPECT_FALSE(grid_->EditorMode());
  EXPECT_EQ(StoredFacts(server_, "FATO_VENDAS").at("QT_VENDIDA"),
            "Quantidade vendida|00001|Q|N|DRILL_VENDAS_DIA");
  EXPECT_TRUE(answers_.Texts().empty());
}

}  // namespace
