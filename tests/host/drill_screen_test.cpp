// The drill side of the structure screen in the host, against the real
// application server in-process: a drill fact and a drill dimension added
// with the mouse and the keyboard, and found on the server afterwards.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QTest>
#include <algorithm>

#include "appserver/embedded_server.h"
#include "busy_overlay.h"
#include "db/client_dataset.h"
#include "dialog_answerer.h"
#include "grid_view.h"
#include "lookup_dialog.h"
#include "main_window.h"
#include "orb/server_address.h"
#include "qt_user_interface.h"
#include "render_controls.h"
#include "render_pages.h"
#include "vcl/application.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/page_control.h"

namespace {

class DrillScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    orb::SetServerAddress({"127.0.0.1", server_.Port()});
    window_.resize(1280, 960);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    window_.activateWindow();
  }
  void TearDown() override {
    vcl::Application().DestroyForms();
    QApplication::processEvents();
    orb::ClearServerAddress();
    EXPECT_TRUE(answers_.Unexpected().empty()) << answers_.Unexpected().front();
  }

  vcl::TCustomForm* OpenFromMenu() {
    QAction* action = window_.ScreenAction("QMX00600");
    EXPECT_NE(action, nullptr);
    if (action) action->trigger();
    QApplication::processEvents();
    // Every grid of the screen in sight, so clicks land where they are aimed.
    for (QMdiSubWindow* w : window_.Area()->subWindowList()) w->showMaximized();
    QApplication::processEvents();
    const auto forms = window_.Views().Forms();
    return forms.empty() ? nullptr : forms.front();
  }
  template <class T>
  T* Model(const char* name) {
    return dynamic_cast<T*>(form_->FindComponent(name));
  }
  template <class T>
  T* View(const vcl::TControl* control) {
    return dynamic_cast<T*>(window_.Views().WidgetFor(control));
  }
  host::GridView* GridOf(const char* name) {
    return View<host::GridView>(Model<vcl::TDBGrid>(name));
  }
  void ClickCell(const char* grid, int recno, int col) {
    QTest::mouseClick(GridOf(grid)->viewport(), Qt::LeftButton, {},
                      GridOf(grid)->CellRect(recno, col).center());
  }
  void ClickButton(const char* name) {
    QTest::mouseClick(View<host::ButtonWidget>(Model<vcl::TButtonFlat>(name)), Qt::LeftButton);
    QApplication::processEvents();
  }
  void ClickEllipsis(const char* grid) {
    QApplication::processEvents();
    const QRect button = GridOf(grid)->ButtonRect();
    ASSERT_FALSE(button.isEmpty()) << grid;
    QTest::mouseClick(GridOf(grid)->viewport(), Qt::LeftButton, {}, button.center());
    QApplication::processEvents();
  }
  // Chooses, in the look-up dialog, the first row the filter `text` leaves.
  static host_test::DialogAnswerer::Step ChooseInLookup(const QString& text) {
    return [text](QWidget* w) {
      auto* dialog = dynamic_cast<host::LookupDialog*>(w);
      if (dialog == nullptr) return qobject_cast<QDialog*>(w)->reject();
      dialog->FilterBox()->setText(text);
      dialog->accept();
    };
  }
  // (column, second field) of the drill table's items stored on the server,
  // read through a session of its own.
  std::vector<std::pair<std::string, std::string>> Stored(const std::string& drill, bool facts) {
    auto session = server_.NewSession();
    std::vector<rtl::Variant> args{rtl::Variant(drill), rtl::Variant(), rtl::Variant()};
    session->Invoke("GetDimeFatosDrill", args);
    db::TClientDataSet rows(nullptr);
    rows.SetData(args[facts ? 1 : 2]);
    const char* column = facts ? "CDITEMDRILL" : "CDDIMEDRILL";
    const char* second = facts ? "NMITEMDRILL" : "NRSEQUEDIME";
    std::vector<std::pair<std::string, std::string>> out;
    for (rows.First(); !rows.Eof(); rows.Next())
      out.emplace_back(rows.FieldByName(column)->AsString(), rows.FieldByName(second)->AsString());
    return out;
  }

  appserver::EmbeddedServer server_;
  host::MainWindow window_{""};
  host_test::DialogAnswerer answers_;
  vcl::TCustomForm* form_ = nullptr;
};

bool Has(const std::vector<std::pair<std::string, std::string>>& rows, const std::string& a,
         const std::string& b) {
  return std::find(rows.begin(), rows.end(), std::make_pair(a, b)) != rows.end();
}

TEST_F(DrillScreenTest, ADrillFactAndADrillDimensionAddedWithMouseAndKeys) {
  form_ = OpenFromMenu();
  ASSERT_NE(form_, nullptr);
  auto* drills = Model<vcl::TDBGrid>("dbgTabelaDrill");
  ASSERT_NE(drills, nullptr);
  db::TClientDataSet* drill_list = drills->DataSet();
  ASSERT_TRUE(drill_list->Locate("CDTABELADW", rtl::Variant("DRILL_VENDAS_DIA"), db::loNone));
  const int drill_row = drill_list->RecNo();
  ClickCell("dbgTabelaDrill", drill_row, 1);
  QApplication::processEvents();
  ASSERT_TRUE(drills->Focused());
  ASSERT_EQ(drill_list->FieldByName("CDTABELADW")->AsString(), "DRILL_VENDAS_DIA");

  auto* tabs = View<host::PageControlWidget>(Model<vcl::TPageControl>("pgcPadrao"));
  QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
  auto* facts_grid = Model<vcl::TDBGrid>("dbgFatosDrill");
  ASSERT_EQ(Model<vcl::TPageControl>("pgcPadrao")->ActivePage(), Model<vcl::TTabSheet>("tshDados"));
  ASSERT_TRUE(facts_grid->Visible());
  ASSERT_TRUE(GridOf("dbgFatosDrill")->isVisible());
  db::TClientDataSet* facts = facts_grid->DataSet();

  // A drill fact: the column picked behind the cell's ellipsis, the name
  // typed, confirm.
  ClickCell("dbgFatosDrill", 1, 0);
  ClickButton("sbtIncluir");
  ASSERT_EQ(facts->State(), db::TDataSetState::dsInsert);
  ClickCell("dbgFatosDrill", facts_grid->Row(), 0);
  answers_.Expect(ChooseInLookup("NR_NOTA"));
  ClickEllipsis("dbgFatosDrill");
  ASSERT_EQ(answers_.Pending(), 0u);
  EXPECT_EQ(facts->FieldByName("CDITEMDRILL")->AsString(), "NR_NOTA");
  QTest::keyClick(GridOf("dbgFatosDrill"), Qt::Key_Tab);
  QTest::keyClicks(GridOf("dbgFatosDrill"), "Numero da nota");
  ClickButton("sbtConfirmar");
  EXPECT_EQ(facts->State(), db::TDataSetState::dsBrowse);
  EXPECT_TRUE(Has(Stored("DRILL_VENDAS_DIA", true), "NR_NOTA", "Numero da nota"));

  // A drill dimension: the column, then a short number, confirm.
  auto* dimes_grid = Model<vcl::TDBGrid>("dbgDimensoes");
  ClickCell("dbgDimensoes", 1, 0);
  db::TClientDataSet* dimes = dimes_grid->DataSet();
  ASSERT_EQ(dimes->Name(), "cdsDimeDrill");
  ClickButton("sbtIncluir");
  ASSERT_EQ(dimes->State(), db::TDataSetState::dsInsert);
  ClickCell("dbgDimensoes", dimes_grid->Row(), 0);
  QTest::keyClicks(GridOf("dbgDimensoes"), "cd_regiao");
  EXPECT_EQ(dimes_grid->EditorText(), "CD_REGIAO");  // typed in upper case
  QTest::keyClick(GridOf("dbgDimensoes"), Qt::Key_Tab);
  // The number from the catalogue's look-up, opened with the keyboard.
  ASSERT_EQ(dimes_grid->SelectedField()->FieldName(), "NRSEQUEDIME");
  answers_.Expect(ChooseInLookup("Região"));
  QTest::keyClick(GridOf("dbgDimensoes"), Qt::Key_Return, Qt::ControlModifier);
  QApplication::processEvents();
  ASSERT_EQ(answers_.Pending(), 0u);
  EXPECT_EQ(dimes->FieldByName("NRSEQUEDIME")->AsString(), "00004");
  ClickButton("sbtConfirmar");
  EXPECT_EQ(dimes->State(), db::TDataSetState::dsBrowse);
  EXPECT_TRUE(Has(Stored("DRILL_VENDAS_DIA", false), "CD_REGIAO", "00004"));
  EXPECT_FALSE(window_.UserInterface().Busy()->isVisible());
}

}  // namespace
