// Facts of a fact table in the host, against the real application server
// in-process on a temporary demo database: a person adds a fact and marks
// the facts with the mouse and the keyboard through the real widgets.
#include <gtest/gtest.h>

#include <algorithm>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "db/client_dataset.h"
#include "grid_view.h"
#include "host_screen_fixture.h"
#include "lookup_dialog.h"
#include "orb/local_cache.h"
#include "other_desks_view.h"
#include "qt_user_interface.h"
#include "render_controls.h"
#include "render_pages.h"
#include "support/other_desk.h"
#include "support/rdm_client.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/page_control.h"

namespace {

// One fact as the server stores it: field code -> "name|data mart|type|mark|drill".
std::map<std::string, std::string> StoredFacts(const appserver::EmbeddedServer& server,
                                               const std::string& table) {
  const std::vector<rtl::Variant> args = host_test::DimeFatos(server, table);
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

class FactsScreenTest : public host_test::OpenScreenTest {
 protected:
  void TearDown() override {
    orb::SetLocalCacheHook(nullptr);
    HostScreenTest::TearDown();
  }
  // Clicks the row of FATO_VENDAS on page 1, then the tab of page 2.
  void OpenFactsOfVendas() {
    ASSERT_NO_FATAL_FAILURE(ClickFactTable("FATO_VENDAS"));
    ShowPage(1);
    grid_ = Model<vcl::TDBGrid>("dbgFatos");
    view_ = GridOf(grid_);
    ASSERT_TRUE(grid_ && view_ && view_->isVisible());
  }

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
    offered = host_test::OfferedCodes(*dialog);
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

// The other desks' work, told by the server's notices, over two real
// connections: the screen's and another desk's.
class OtherDesksTest : public FactsScreenTest {
 protected:
  void SetUp() override {
    FactsScreenTest::SetUp();
    if (HasFatalFailure()) return;
    link_ = qmxtest::NoticeDesk(server_.Port());
    other_ =
        std::make_unique<qmxtest::OtherDesk>(std::make_unique<qmxtest::ConnectionSession>(*link_));
    ASSERT_NO_FATAL_FAILURE(OpenFactsOfVendas());
  }
  // The codes of the facts the screen lists now.
  std::vector<std::string> ListedFacts() {
    const db::Packet listed = db::PacketFromVariant(grid_->DataSet()->Data());
    std::vector<std::string> codes;
    for (const db::PacketRow& row : listed.rows)
      codes.push_back(row.values.at(listed.FieldIndex("CDITEMDW")).value_or(""));
    return codes;
  }
  // Waits for what the other desk's connection is told, the host's timer
  // running meanwhile.
  std::vector<net::NoticeFrame> NoticesOfOtherDesk(size_t count) {
    std::vector<net::NoticeFrame> got;
    (void)QTest::qWaitFor(
        [&] {
          for (net::NoticeFrame& n : link_->TakeNotices()) got.push_back(std::move(n));
          return got.size() >= count;
        },
        5000);
    return got;
  }
  host::OtherDesksView& View() { return *window_.UserInterface().OtherDesks(); }

  std::unique_ptr<net::TSocketConnection> link_;
  std::unique_ptr<qmxtest::OtherDesk> other_;
};

TEST_F(OtherDesksTest, AFactAddedOnAnotherDeskAppearsWithoutAClick) {
  const size_t before = ListedFacts().size();
  const std::string column = other_->FreeColumns("F", "FATO_VENDAS").at(0);
  other_->Insert("SetFatos", other_->Items("FATO_VENDAS", false).first,
                 {{"IDFATODW", "S"},
                  {"CDTABELADW", "FATO_VENDAS"},
                  {"CDITEMDW", column},
                  {"CDAREANEGDW", "00001"},
                  {"NMITEMDW", "Fato da outra mesa"},
                  {"IDTPFATODW", "M"}},
                 "FATO_VENDAS");
  ASSERT_TRUE(QTest::qWaitFor([&] { return ListedFacts().size() == before + 1; }, 5000));
  const std::vector<std::string> listed = ListedFacts();
  EXPECT_NE(std::find(listed.begin(), listed.end(), column), listed.end());
  EXPECT_EQ(Model<vcl::TDBGrid>("dbgTabelaFatos")->DataSet()->FieldByName("CDTABELADW")->AsString(),
            "FATO_VENDAS");
  const std::string line = window_.statusBar()->currentMessage().toStdString();
  EXPECT_NE(line.find("incluiu o fato " + column + " de FATO_VENDAS"), std::string::npos) << line;

  // The other desk opens the new fact for editing, then lets it go.
  link_->AppServer().Call("InformarEdicao", {"FATO_VENDAS", "fato", column});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !View().StandingNote().isEmpty(); }, 5000));
  EXPECT_NE(View().StandingNote().toStdString().find(" está editando o fato " + column),
            std::string::npos)
      << View().StandingNote().toStdString();
  link_->AppServer().Call("InformarEdicao", {"", "", ""});
  EXPECT_TRUE(QTest::qWaitFor([&] { return View().StandingNote().isEmpty(); }, 5000));
  EXPECT_TRUE(answers_.Texts().empty());
}

TEST_F(OtherDesksTest, AnEditedFactChangedElsewhereShowsTheBarBeforeConfirming) {
  db::TClientDataSet* facts = grid_->DataSet();
  int row = 0;
  for (int r = 1; r <= grid_->RowCount() && row == 0; ++r)
    if (grid_->CellText(r, 1) == "VL_VENDA") row = r;
  ASSERT_GT(row, 0);
  ClickAt(view_, view_->CellRect(row, 2));
  ClickButton("sbtAlterar");
  QTest::keyClicks(view_, "Meu nome");
  ASSERT_EQ(facts->State(), db::TDataSetState::dsEdit);
  // The other desk is told who is editing what...
  std::vector<net::NoticeFrame> told = NoticesOfOtherDesk(1);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].kind, net::NoticeKind::kEditing);
  EXPECT_EQ(told[0].item, "VL_VENDA");

  // ...changes it anyway, and the screen says so while the person edits.
  other_->ChangeFact("FATO_VENDAS", "VL_VENDA", "NMITEMDW", "Nome da outra mesa");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !View().ChangedBarText().isEmpty(); }, 5000));
  EXPECT_NE(View().ChangedBarText().toStdString().find("alterou o fato VL_VENDA"),
            std::string::npos)
      << View().ChangedBarText().toStdString();
  EXPECT_EQ(facts->State(), db::TDataSetState::dsEdit);

  QTest::mouseClick(View().ReloadButton(), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(facts->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(facts->FieldByName("CDITEMDW")->AsString(), "VL_VENDA");
  EXPECT_EQ(facts->FieldByName("NMITEMDW")->AsString(), "Nome da outra mesa");
  EXPECT_TRUE(View().ChangedBarText().isEmpty());
  told = NoticesOfOtherDesk(1);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].kind, net::NoticeKind::kEditEnded);
  EXPECT_TRUE(answers_.Texts().empty());
}

}  // namespace
