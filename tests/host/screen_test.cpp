// The structure screen in the host, against the real application server
// in-process on a temporary demo database: what a person does from the
// host's menu on.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "appserver/serving/embedded_server.h"
#include "busy_overlay.h"
#include "db/client_dataset.h"
#include "grid_view.h"
#include "host_screen_fixture.h"
#include "orb/net_connection.h"
#include "orb/server_address.h"
#include "qt_canvas.h"
#include "qt_user_interface.h"
#include "render_controls.h"
#include "render_pages.h"
#include "renderer.h"
#include "search_dialog.h"
#include "support/unused_port.h"
#include "vcl/application.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/db_text.h"
#include "vcl/image.h"
#include "vcl/label.h"
#include "vcl/page_control.h"

namespace {

class ScreenTest : public host_test::HostScreenTest {
 protected:
  int VisibleSubWindows() {
    int n = 0;
    for (QMdiSubWindow* w : window_.Area()->subWindowList()) n += w->isVisible();
    return n;
  }
  // The screen opened from the menu, its list of fact tables and the
  // toolbar's buttons that add and confirm; all null when it did not open.
  struct FactTableList {
    vcl::TCustomForm* form;
    vcl::TDBGrid* grid;
    host::GridView* view;
    host::ButtonWidget* add;
    host::ButtonWidget* confirm;
  };
  FactTableList OpenFactTables() {
    vcl::TCustomForm* form = OpenFromMenu();
    if (!form) return {};
    auto* grid = Model<vcl::TDBGrid>(form, "dbgTabelaFatos");
    return {form, grid, View<host::GridView>(grid),
            View<host::ButtonWidget>(Model<vcl::TButtonFlat>(form, "sbtIncluir")),
            View<host::ButtonWidget>(Model<vcl::TButtonFlat>(form, "sbtConfirmar"))};
  }
  // Types a fact table's code into the current row's first cell, then Tab,
  // then its name.
  void TypeCodeAndName(host::GridView* view, const char* code, const char* name) {
    ClickCell(view, view->Grid()->Row(), 0);
    QTest::keyClicks(view, code);
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClicks(view, name);
  }
};

TEST_F(ScreenTest, MenuOpensTheScreenOnceWithBothListsFilled) {
  vcl::TCustomForm* form = OpenFromMenu();
  ASSERT_NE(form, nullptr);
  QMdiSubWindow* sub = window_.Views().SubWindowFor(form);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->windowTitle(), QStringLiteral("Estrutura do DW"));
  EXPECT_TRUE(sub->isVisible());

  for (const char* name : {"dbgTabelaFatos", "dbgTabelaDrill"}) {
    auto* grid = Model<vcl::TDBGrid>(form, name);
    ASSERT_NE(grid, nullptr) << name;
    auto* view = View<host::GridView>(grid);
    ASSERT_NE(view, nullptr) << name;
    EXPECT_TRUE(view->isVisible()) << name;
    ASSERT_GT(grid->RowCount(), 0) << name;
    EXPECT_FALSE(grid->CellText(1, 0).empty()) << name;
    EXPECT_EQ(grid->Columns()[0]->Title().Caption(), "Código");
  }
  auto* code = Model<vcl::TLabel>(form, "lblCodTela");
  ASSERT_NE(code, nullptr);
  EXPECT_EQ(View<host::LabelWidget>(code)->text(), QStringLiteral("QMX00600"));

  // The menu entry again brings the same screen back.
  sub->showMinimized();
  OpenFromMenu();
  EXPECT_EQ(window_.Views().Forms().size(), 1u);
  EXPECT_EQ(VisibleSubWindows(), 1);
  EXPECT_FALSE(sub->isMinimized());
}

TEST_F(ScreenTest, SearchFromTheToolbarMovesTheCurrentListAndTheNameLabelFollows) {
  vcl::TCustomForm* form = OpenFromMenu();
  ASSERT_NE(form, nullptr);
  auto* grid = Model<vcl::TDBGrid>(form, "dbgTabelaFatos");
  auto* view = View<host::GridView>(grid);
  auto* search = View<host::ButtonWidget>(Model<vcl::TButtonFlat>(form, "sbtProcurar"));
  auto* name = View<host::LabelWidget>(Model<vcl::TDBText>(form, "dbtNome"));
  ASSERT_TRUE(grid && view && search && name);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->CellRect(1, 0).center());
  ASSERT_NE(grid->DataSet()->FieldByName("NMTABELADW")->AsString(), "Vendas");

  QStringList columns;
  answers_.Expect([&columns](QWidget* w) {
    auto* dialog = dynamic_cast<host::SearchDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    for (int i = 0; i < dialog->FieldBox()->count(); ++i)
      columns << dialog->FieldBox()->itemText(i);
    dialog->FieldBox()->setCurrentIndex(dialog->FieldBox()->findText(QStringLiteral("Nome")));
    dialog->ValueBox()->setText(QStringLiteral("vend"));
    if (dialog->Find())
      dialog->accept();
    else
      dialog->reject();
  });
  QTest::mouseClick(search, Qt::LeftButton);
  EXPECT_EQ(columns, (QStringList{QStringLiteral("Código"), QStringLiteral("Nome")}));
  EXPECT_EQ(grid->DataSet()->FieldByName("NMTABELADW")->AsString(), "Vendas");
  EXPECT_EQ(name->text(), QStringLiteral("Vendas"));
}

TEST_F(ScreenTest, ClosedScreenGoesAndTheMenuOpensAFreshOne) {
  vcl::TCustomForm* form = OpenFromMenu();
  ASSERT_NE(form, nullptr);
  window_.Views().SubWindowFor(form)->close();
  QTest::qWait(100);  // the closed screen is freed from the event loop
  EXPECT_TRUE(window_.Views().Forms().empty());
  EXPECT_EQ(VisibleSubWindows(), 0);

  vcl::TCustomForm* again = OpenFromMenu();
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->Visible());
  auto* grid = Model<vcl::TDBGrid>(again, "dbgTabelaFatos");
  ASSERT_NE(grid, nullptr);
  EXPECT_GT(grid->RowCount(), 0);
  EXPECT_EQ(VisibleSubWindows(), 1);
}

TEST_F(ScreenTest, UnreachableServerIsReportedAndTheScreenOpensOnceItIsUp) {
  orb::SetServerAddress({"127.0.0.1", 1});  // nothing listens there
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("OK")));
  EXPECT_EQ(OpenFromMenu(), nullptr);
  ASSERT_EQ(answers_.Texts().size(), 1u);
  EXPECT_EQ(answers_.Texts()[0].rfind("A tela Estrutura do DW (QMX00600) não pôde ser aberta.", 0),
            0u)
      << answers_.Texts()[0];
  EXPECT_NE(answers_.Texts()[0].find("127.0.0.1:1"), std::string::npos) << answers_.Texts()[0];
  EXPECT_EQ(VisibleSubWindows(), 0);
  EXPECT_FALSE(window_.UserInterface().WaitCursorShown());

  orb::SetServerAddress({"127.0.0.1", server_.Port()});
  vcl::TCustomForm* form = OpenFromMenu();
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(VisibleSubWindows(), 1);
}

TEST_F(ScreenTest, PagesSwitchToFactsAndDimensionsAndBack) {
  vcl::TCustomForm* form = OpenFromMenu();
  ASSERT_NE(form, nullptr);
  auto* pages = Model<vcl::TPageControl>(form, "pgcPadrao");
  auto* data = Model<vcl::TTabSheet>(form, "tshDados");
  auto* list = Model<vcl::TTabSheet>(form, "tshPadrao");
  ASSERT_TRUE(pages && data && list);
  auto* tabs = View<host::PageControlWidget>(pages);
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 2);
  // The captions, with a mnemonic marked in each.
  EXPECT_EQ(tabs->tabText(0).remove(QLatin1Char('&')), QStringLiteral("Tabelas Fato"));
  EXPECT_EQ(tabs->tabText(1).remove(QLatin1Char('&')), QStringLiteral("Fatos e Dimensões"));

  QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
  EXPECT_EQ(pages->ActivePage(), data);
  EXPECT_EQ(tabs->currentIndex(), 1);
  auto* facts = Model<vcl::TDBGrid>(form, "dbgFatos");
  ASSERT_NE(facts, nullptr);
  EXPECT_TRUE(View<host::GridView>(facts)->isVisible());

  QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(0).center());
  EXPECT_EQ(pages->ActivePage(), list);
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_TRUE(View<host::GridView>(Model<vcl::TDBGrid>(form, "dbgTabelaFatos"))->isVisible());
}

TEST_F(ScreenTest, FactGridShowsTheCheckColumnAsTheScreensBoxes) {
  vcl::TCustomForm* form = OpenFromMenu();
  ASSERT_NE(form, nullptr);
  auto* pages = Model<vcl::TPageControl>(form, "pgcPadrao");
  auto* tabs = View<host::PageControlWidget>(pages);
  QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
  auto* facts = Model<vcl::TDBGrid>(form, "dbgFatos");
  auto* check = Model<vcl::TImage>(form, "imgCheck");
  ASSERT_TRUE(facts && check);
  ASSERT_GT(facts->RowCount(), 1);
  // A row other than the current one: the focused cell wears the focus frame.
  const int row = facts->Row() == 1 ? 2 : 1;
  ASSERT_EQ(facts->CellText(row, 0), "S");  // the demo's facts are checked
  auto* view = View<host::GridView>(facts);
  QApplication::processEvents();
  const QImage image = view->viewport()->grab().toImage();
  // The screen's draw handler copies the box one pixel into the cell; every
  // pixel of the box that is not its transparent colour is on screen.
  const QRect cell = view->CellRect(row, 0);
  const vcl::TBitmap& box = check->Bitmap();
  ASSERT_FALSE(box.Empty());
  const vcl::TColor transparent = vcl::clOlive;  // the screen's boxes are drawn on olive
  int compared = 0;
  for (int y = 0; y < std::min(box.Height(), cell.height()); ++y)
    for (int x = 0; x < std::min(box.Width(), cell.width() - 1); ++x) {
      if (box.Pixel(x, y) == transparent) continue;
      ++compared;
      ASSERT_EQ(image.pixelColor(cell.left() + 1 + x, cell.top() + y),
                host::ToQColor(box.Pixel(x, y)))
          << x << "," << y;
    }
  EXPECT_GT(compared, 10);
}

TEST_F(ScreenTest, ToolbarButtonsFollowTheModelsEnabledState) {
  vcl::TCustomForm* form = OpenFromMenu();
  ASSERT_NE(form, nullptr);
  for (const char* name : {"sbtIncluir", "sbtAlterar", "sbtExcluir", "sbtProcurar", "sbtCancelar",
                           "sbtConfirmar", "sbtVerificar", "sbtImprimir"}) {
    auto* button = Model<vcl::TButtonFlat>(form, name);
    ASSERT_NE(button, nullptr) << name;
    auto* widget = View<host::ButtonWidget>(button);
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_EQ(widget->isEnabled(), button->Enabled()) << name;
    button->SetEnabled(!button->Enabled());
    EXPECT_EQ(widget->isEnabled(), button->Enabled()) << name;
    button->SetEnabled(!button->Enabled());
  }
  EXPECT_FALSE(View<host::ButtonWidget>(Model<vcl::TButtonFlat>(form, "sbtImprimir"))->isEnabled());
}

// The fact tables stored on the server, read through a session of its own.
std::vector<std::string> StoredFactTables(const appserver::EmbeddedServer& server) {
  auto session = server.NewSession();
  std::vector<rtl::Variant> args{rtl::Variant(std::string()), rtl::Variant(false)};
  const rtl::Variant packet = session->Invoke("GetTabelas", args);
  db::TClientDataSet rows(nullptr);
  rows.SetData(packet);
  std::vector<std::string> codes;
  for (rows.First(); !rows.Eof(); rows.Next())
    codes.push_back(rows.FieldByName("CDTABELADW")->AsString());
  return codes;
}

TEST_F(ScreenTest, FactTableAddedThroughTheToolbarIsSavedNormalisedAndADuplicateIsRefused) {
  const auto [form, grid, view, add, confirm] = OpenFactTables();
  ASSERT_TRUE(form && grid && view && add && confirm);
  db::TClientDataSet* tables = grid->DataSet();
  const int before = tables->RecordCount();

  ClickCell(view, 1, 0);
  QTest::mouseClick(add, Qt::LeftButton);
  ASSERT_EQ(tables->State(), db::TDataSetState::dsInsert);
  EXPECT_TRUE(confirm->isEnabled());
  EXPECT_FALSE(add->isEnabled());
  // Whatever the screen allows during the insert, the tabs show it.
  auto* data = Model<vcl::TTabSheet>(form, "tshDados");
  auto* tabs = View<host::PageControlWidget>(Model<vcl::TPageControl>(form, "pgcPadrao"));
  ASSERT_TRUE(data && tabs);
  EXPECT_EQ(tabs->isTabEnabled(1), data->Enabled());
  TypeCodeAndName(view, "fato_compras", "Compras");
  QTest::mouseClick(confirm, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(tables->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(tables->RecordCount(), before + 1);
  const std::vector<std::string> stored = StoredFactTables(server_);
  EXPECT_NE(std::find(stored.begin(), stored.end(), "FATO_COMPRAS"), stored.end());
  EXPECT_TRUE(add->isEnabled());
  EXPECT_FALSE(window_.UserInterface().WaitCursorShown());

  // The same code again, typed in another case: refused with the catalogue's
  // message, when the code's column is left (the screen's own check) or at
  // the latest when the row is confirmed (the server's).
  QTest::mouseClick(add, Qt::LeftButton);
  ClickCell(view, grid->Row(), 0);
  QTest::keyClicks(view, "Fato_Vendas");
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("OK")));
  QTest::keyClick(view, Qt::Key_Tab);
  if (answers_.Texts().empty()) {
    QTest::keyClicks(view, "Vendas de novo");
    QTest::mouseClick(confirm, Qt::LeftButton);
    QApplication::processEvents();
  } else {
    EXPECT_EQ(grid->SelectedIndex(), 0);  // the refused exit keeps the column
  }
  ASSERT_EQ(answers_.Texts().size(), 1u);
  EXPECT_NE(answers_.Texts()[0].find("já cadastrado"), std::string::npos) << answers_.Texts()[0];
  // The refused row stays on the screen for the person to correct.
  EXPECT_EQ(tables->State(), db::TDataSetState::dsInsert);
  const std::vector<std::string> after = StoredFactTables(server_);
  EXPECT_EQ(std::count(after.begin(), after.end(), std::string("FATO_VENDAS")), 1);
  EXPECT_FALSE(window_.UserInterface().Busy()->isVisible());
}

// A new table the server refuses: its message, in the catalogue's words, on
// a screen without the busy animation; then the row is open again as typed.
// With the server unreachable the person reads a plain Portuguese message
// naming its address, and the row stays open too.
TEST_F(ScreenTest, ARefusedNewTableComesBackOpenAndLinkFailuresReadPlainly) {
  const auto [form, grid, view, add, confirm] = OpenFactTables();
  ASSERT_TRUE(form && grid && view && add && confirm);
  db::TClientDataSet* tables = grid->DataSet();

  ClickCell(view, 1, 0);
  QTest::mouseClick(add, Qt::LeftButton);
  TypeCodeAndName(view, "fato teste", "Fato teste");
  std::vector<bool> busy_under_dialog;
  const auto press_ok = [&](QWidget* w) {
    busy_under_dialog.push_back(window_.UserInterface().Busy()->isVisible());
    host_test::DialogAnswerer::Press(QStringLiteral("OK"))(w);
  };
  answers_.Expect(press_ok);
  QTest::mouseClick(confirm, Qt::LeftButton);
  QApplication::processEvents();
  ASSERT_EQ(answers_.Texts().size(), 1u);
  EXPECT_EQ(answers_.Texts()[0], "Tabela \"FATOTESTE\" inválida.");
  EXPECT_EQ(tables->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(tables->FieldByName("CDTABELADW")->AsString(), "FATOTESTE");
  EXPECT_EQ(tables->FieldByName("NMTABELADW")->AsString(), "Fato teste");
  EXPECT_EQ(tables->ChangeCount(), 0);
  EXPECT_TRUE(confirm->isEnabled());
  const std::vector<std::string> stored = StoredFactTables(server_);
  EXPECT_EQ(std::find(stored.begin(), stored.end(), "FATOTESTE"), stored.end());

  // Nothing listens at the address any more.
  auto* link = Model<orb::TNetConnection>(form, "netEstrutura");
  ASSERT_NE(link, nullptr);
  link->Close();
  const int port = qmxtest::UnusedLoopbackPort();
  orb::SetServerAddress({"127.0.0.1", port});
  answers_.Expect(press_ok);
  QTest::mouseClick(confirm, Qt::LeftButton);
  QApplication::processEvents();
  ASSERT_EQ(answers_.Texts().size(), 2u);
  EXPECT_EQ(answers_.Texts()[1],
            "Não foi possível conectar ao servidor 127.0.0.1:" + std::to_string(port) +
                " (conexão recusada). Verifique se o servidor está em "
                "execução.");
  EXPECT_EQ(tables->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(tables->FieldByName("CDTABELADW")->AsString(), "FATOTESTE");
  EXPECT_EQ(busy_under_dialog, (std::vector<bool>{false, false}));
  EXPECT_FALSE(window_.UserInterface().Busy()->isVisible());
}

}  // namespace
