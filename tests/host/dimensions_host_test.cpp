// Dimensions of a fact table in the host, with the mouse and the keyboard on
// the real widgets, against the real application server in-process: the two
// ellipsis buttons and their look-ups, the number column's key filter, and
// the warning question whose default answer is No.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <map>

#include "db/client_dataset.h"
#include "grid_view.h"
#include "host_screen_fixture.h"
#include "lookup_dialog.h"
#include "qt_user_interface.h"
#include "render_controls.h"
#include "render_pages.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/page_control.h"

namespace {

// Column -> number of the dimensions the server holds for `table`, and
// whether any of its facts still drills into a drill table.
struct Stored {
  std::map<std::string, std::string> dimensions;
  bool drills = false;
};

Stored StoredOf(const appserver::EmbeddedServer& server, const std::string& table) {
  const std::vector<rtl::Variant> args = host_test::DimeFatos(server, table);
  Stored out;
  db::TClientDataSet rows(nullptr);
  rows.SetData(args[4]);
  for (rows.First(); !rows.Eof(); rows.Next())
    out.dimensions[rows.FieldByName("CDITEMDIME")->AsString()] =
        rows.FieldByName("NRSEQUEDIME")->AsString();
  rows.SetData(args[5]);
  for (rows.First(); !rows.Eof(); rows.Next())
    out.drills = out.drills || !rows.FieldByName("CDTABDRILL")->AsString().empty();
  return out;
}

class DimensionsHost : public host_test::OpenScreenTest {
 protected:
  void SetUp() override {
    OpenScreenTest::SetUp();
    if (HasFatalFailure()) return;
    facts_grid_ = Model<vcl::TDBGrid>("dbgTabelaFatos");
    grid_ = Model<vcl::TDBGrid>("dbgDimensoes");
    ASSERT_TRUE(facts_grid_ && grid_);
  }
  void TearDown() override {
    HostScreenTest::TearDown();
    EXPECT_EQ(answers_.Pending(), 0u);
  }

  // Clicks only a button there is and that is enabled.
  void ClickButton(const char* name) {
    auto* button = View<host::ButtonWidget>(Model<vcl::TButtonFlat>(name));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << name;
    HostScreenTest::ClickButton(name);
  }
  // The dimension grid of fact table `table`, chosen with the mouse.
  void OpenDimensionsOf(const std::string& table) {
    ASSERT_NO_FATAL_FAILURE(ClickFactTable(table));
    ShowPage(1);
    ClickCell(grid_, 1, 0);
    ASSERT_EQ(grid_->DataSet(), Model<db::TClientDataSet>("cdsDime"));
    ASSERT_TRUE(grid_->Focused());
  }
  host::GridView* GridView() { return GridOf(grid_); }

  vcl::TDBGrid* facts_grid_ = nullptr;
  vcl::TDBGrid* grid_ = nullptr;
};

TEST_F(DimensionsHost, ADimensionAddedWithTheLookupsIsStored) {
  OpenDimensionsOf("FATO_VENDAS");
  db::TClientDataSet* dimensions = grid_->DataSet();
  const int rows = dimensions->RecordCount();
  ClickButton("sbtIncluir");
  ASSERT_EQ(dimensions->State(), db::TDataSetState::dsInsert);

  // The column: the ellipsis with the mouse, the look-up with the keyboard.
  ClickCell(grid_, grid_->Row(), 0);
  ASSERT_EQ(grid_->SelectedIndex(), 0);
  QStringList offered;
  answers_.Expect([&offered](QWidget* w) {
    auto* dialog = dynamic_cast<host::LookupDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    offered = host_test::OfferedCodes(*dialog);
    QTest::keyClicks(dialog->FilterBox(), "dt_v");
    QTest::keyClick(dialog->FilterBox(), Qt::Key_Return);
  });
  const QRect button = GridView()->ButtonRect();
  ASSERT_FALSE(button.isEmpty());
  QTest::mouseClick(GridView()->viewport(), Qt::LeftButton, {}, button.center());
  EXPECT_TRUE(offered.contains(QStringLiteral("DT_VENDA")));
  EXPECT_FALSE(offered.contains(QStringLiteral("CD_MES")));
  EXPECT_EQ(dimensions->FieldByName("CDITEMDIME")->AsString(), "DT_VENDA");

  // The number: the ellipsis with the keyboard, the look-up with the mouse.
  QTest::keyClick(GridView(), Qt::Key_Tab);
  ASSERT_EQ(grid_->SelectedField()->FieldName(), "NRSEQUEDIME");
  answers_.Expect([](QWidget* w) {
    auto* dialog = dynamic_cast<host::LookupDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    QTest::keyClicks(dialog->FilterBox(), "dia");
    QTableWidget* table = dialog->Table();
    ASSERT_GE(table->currentRow(), 0);
    const QRect row = table->visualRect(table->model()->index(table->currentRow(), 0));
    // A double click is a click and then the second press.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, row.center());
    if (dialog->isVisible()) dialog->reject();
  });
  QTest::keyClick(GridView(), Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(dimensions->FieldByName("NRSEQUEDIME")->AsString(), "00010");

  ClickButton("sbtConfirmar");
  EXPECT_EQ(dimensions->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(dimensions->RecordCount(), rows + 1);
  EXPECT_EQ(StoredOf(server_, "FATO_VENDAS").dimensions.at("DT_VENDA"), "00010");
  EXPECT_FALSE(window_.UserInterface().WaitCursorShown());
}

TEST_F(DimensionsHost, TheWarningQuestionDefaultsToNoAndYesIsClicked) {
  OpenDimensionsOf("FATO_VENDAS");
  db::TClientDataSet* dimensions = grid_->DataSet();
  const int rows = dimensions->RecordCount();
  auto type_new_row = [&] {
    ClickButton("sbtIncluir");
    ClickCell(grid_, grid_->Row(), 0);
    QTest::keyClicks(GridView(), "cd_regiao");
    QTest::keyClick(GridView(), Qt::Key_Tab);
    // Only digits reach the number column.
    QTest::keyClicks(GridView(), "x4-");
  };

  type_new_row();
  EXPECT_EQ(grid_->EditorText(), "4");
  QString default_button, text;
  answers_.Expect([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    text = box->text();
    default_button = box->defaultButton() ? box->defaultButton()->text() : QString();
    QTest::keyClick(box, Qt::Key_Return);  // the default answer
  });
  ClickButton("sbtConfirmar");
  EXPECT_EQ(default_button, QStringLiteral("&Não"));
  EXPECT_TRUE(text.contains(QStringLiteral("Confirma Inclusão?"))) << text.toStdString();
  EXPECT_EQ(dimensions->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(dimensions->RecordCount(), rows);
  Stored stored = StoredOf(server_, "FATO_VENDAS");
  EXPECT_EQ(stored.dimensions.count("CD_REGIAO"), 0u);
  EXPECT_TRUE(stored.drills);

  type_new_row();
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("&Sim")));
  ClickButton("sbtConfirmar");
  EXPECT_EQ(dimensions->RecordCount(), rows + 1);
  stored = StoredOf(server_, "FATO_VENDAS");
  EXPECT_EQ(stored.dimensions.at("CD_REGIAO"), "00004");
  EXPECT_FALSE(stored.drills);
}

}  // namespace
