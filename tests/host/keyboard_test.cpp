// The structure screen worked from the keyboard alone, through real Qt key
// events on the offscreen platform, against the real application server
// in-process: menus that give the keyboard back, keys that leave a grid and
// turn pages, the toolbar's commands by key, where edit and the pick list
// open, the status bar and the calls made on opening.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "db/client_dataset.h"
#include "grid_view.h"
#include "host_screen_fixture.h"
#include "orb/server_address.h"
#include "render_form.h"
#include "render_pages.h"
#include "support/unused_port.h"
#include "vcl/db_grid.h"
#include "vcl/page_control.h"

namespace {

class KeyboardTest : public host_test::OpenScreenTest {
 protected:
  void SetUp() override {
    window_.resize(1280, 960);
    OpenScreenTest::SetUp();
    if (HasFatalFailure()) return;
    for (QMdiSubWindow* w : window_.Area()->subWindowList()) w->showMaximized();
    QApplication::processEvents();
  }
  // Where Qt's keyboard is now.
  static QWidget* Keyboard() { return QApplication::focusWidget(); }
  // Presses a key where the keyboard is (the open menu, when there is one).
  static void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* to =
        QApplication::activePopupWidget() ? QApplication::activePopupWidget() : Keyboard();
    ASSERT_NE(to, nullptr);
    QTest::keyClick(to, key, mods);
    QApplication::processEvents();
  }
  static void Type(const char* text) {
    QTest::keyClicks(Keyboard(), text);
    QApplication::processEvents();
  }
  vcl::TTabSheet* ActivePage() { return Model<vcl::TPageControl>("pgcPadrao")->ActivePage(); }
  QTabBar* Tabs() {
    return View<host::PageControlWidget>(Model<vcl::TPageControl>("pgcPadrao"))->tabBar();
  }
  QMenuBar* FormMenu() { return View<host::FormView>(form_)->MenuBar(); }
  // Moves with F6 until `grid` holds the keyboard (at most one round).
  void PanelTo(const char* grid) {
    for (int i = 0; i < 4 && !Model<vcl::TDBGrid>(grid)->Focused(); ++i) Press(Qt::Key_F6);
    ASSERT_TRUE(Model<vcl::TDBGrid>(grid)->Focused()) << grid;
    ASSERT_EQ(Keyboard(), GridOf(grid)) << grid;
  }
  // The page of the screen by its tab's Alt mnemonic.
  void PageByMnemonic(int index) {
    const QKeySequence mnemonic = QKeySequence::mnemonic(Tabs()->tabText(index));
    ASSERT_FALSE(mnemonic.isEmpty()) << Tabs()->tabText(index).toStdString();
    QTest::keySequence(Keyboard(), mnemonic);
    QApplication::processEvents();
  }
};

// Alt+O, Esc, Alt+O, I: Esc used to leave Qt's keyboard on the menu bar,
// so the new row got no typing; and a click on the grid that already had
// the model's focus never brought the keyboard back (the dead grid).
TEST_F(KeyboardTest, TheOperationMenuGivesTheKeyboardBackAfterEsc) {
  ClickCell("dbgTabelaDrill", 1, 1);
  Press(Qt::Key_Tab, Qt::ControlModifier);
  auto* drill_facts = Model<vcl::TDBGrid>("dbgFatosDrill");
  ASSERT_TRUE(drill_facts->Visible());
  ClickCell("dbgFatosDrill", 1, 1);
  ASSERT_EQ(Keyboard(), GridOf("dbgFatosDrill"));

  Press(Qt::Key_O, Qt::AltModifier);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);
  Press(Qt::Key_Escape);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(Keyboard(), GridOf("dbgFatosDrill"));
  Press(Qt::Key_O, Qt::AltModifier);
  Press(Qt::Key_I);
  ASSERT_EQ(drill_facts->DataSet()->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(Keyboard(), GridOf("dbgFatosDrill"));
  Type("nr_nota");
  EXPECT_EQ(drill_facts->EditorText(), "NR_NOTA");
  Press(Qt::Key_Escape);
  Press(Qt::Key_Escape);
  EXPECT_EQ(drill_facts->DataSet()->State(), db::TDataSetState::dsBrowse);

  // Qt's keyboard somewhere else while the model's focus stays in the grid:
  // a click on the grid brings it back.
  FormMenu()->setFocus();
  ClickCell("dbgFatosDrill", 1, 1);
  EXPECT_EQ(Keyboard(), GridOf("dbgFatosDrill"));
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn/PgUp and the tabs' mnemonics turn the
// page from inside a grid; F6 and Shift+F6 move between the panels; the
// toolbar's commands have keys shown in the menu.
TEST_F(KeyboardTest, KeysLeaveTheGridTurnPagesAndReachTheCommands) {
  ASSERT_EQ(ActivePage()->Name(), "tshPadrao");
  ASSERT_EQ(Keyboard(), GridOf("dbgTabelaFatos"));
  Press(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(ActivePage()->Name(), "tshDados");
  EXPECT_EQ(Keyboard(), GridOf("dbgFatos"));
  Press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(ActivePage()->Name(), "tshPadrao");
  Press(Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(ActivePage()->Name(), "tshDados");
  Press(Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(ActivePage()->Name(), "tshPadrao");
  PageByMnemonic(1);
  EXPECT_EQ(ActivePage()->Name(), "tshDados");
  PageByMnemonic(0);
  EXPECT_EQ(ActivePage()->Name(), "tshPadrao");
  // The mnemonics clash with no menu of the window.
  QStringList taken;
  for (QMenuBar* bar : window_.findChildren<QMenuBar*>())
    for (QAction* a : bar->actions()) taken << QKeySequence::mnemonic(a->text()).toString();
  for (int i = 0; i < Tabs()->count(); ++i)
    EXPECT_FALSE(taken.contains(QKeySequence::mnemonic(Tabs()->tabText(i)).toString()));

  // F6 between the two lists of page 1, then the two panels of page 2.
  PanelTo("dbgTabelaDrill");
  Press(Qt::Key_F6, Qt::ShiftModifier);
  EXPECT_TRUE(Model<vcl::TDBGrid>("dbgTabelaFatos")->Focused());
  Press(Qt::Key_Tab, Qt::ControlModifier);
  PanelTo("dbgDimensoes");
  PanelTo("dbgFatos");

  // Ctrl+N adds a fact, shown beside "Incluir" in the menu.
  QAction* include = nullptr;
  for (QAction* a : FormMenu()->findChildren<QAction*>())
    if (a->text() == QStringLiteral("&Incluir")) include = a;
  ASSERT_NE(include, nullptr);
  EXPECT_EQ(include->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
  Press(Qt::Key_N, Qt::ControlModifier);
  auto* facts = Model<vcl::TDBGrid>("dbgFatos");
  EXPECT_EQ(facts->DataSet()->State(), db::TDataSetState::dsInsert);
  // While the row is open, neither the other page nor the other panel.
  Press(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(ActivePage()->Name(), "tshDados");
  Press(Qt::Key_F6);
  EXPECT_TRUE(facts->Focused());
  Press(Qt::Key_Escape);
  EXPECT_EQ(facts->DataSet()->State(), db::TDataSetState::dsBrowse);
}

// Edit opens the first editable field after the code on both fact grids:
// the name, which the facts grid shows before the data mart.
TEST_F(KeyboardTest, EditOpensTheNameOnBothFactGrids) {
  Press(Qt::Key_Tab, Qt::ControlModifier);
  auto* facts = Model<vcl::TDBGrid>("dbgFatos");
  ASSERT_TRUE(facts->Focused());
  Press(Qt::Key_E, Qt::ControlModifier);
  ASSERT_EQ(facts->DataSet()->State(), db::TDataSetState::dsEdit);
  EXPECT_EQ(facts->SelectedField()->FieldName(), "NMITEMDW");
  Press(Qt::Key_Escape);
  Press(Qt::Key_Escape);

  Press(Qt::Key_Tab, Qt::ControlModifier);
  PanelTo("dbgTabelaDrill");
  Press(Qt::Key_Tab, Qt::ControlModifier);
  auto* drill_facts = Model<vcl::TDBGrid>("dbgFatosDrill");
  ASSERT_TRUE(drill_facts->Focused());
  ASSERT_FALSE(drill_facts->DataSet()->IsEmpty());
  Press(Qt::Key_E, Qt::ControlModifier);
  ASSERT_EQ(drill_facts->DataSet()->State(), db::TDataSetState::dsEdit);
  EXPECT_EQ(drill_facts->SelectedField()->FieldName(), "NMITEMDRILL");
  Press(Qt::Key_Escape);
  Press(Qt::Key_Escape);
}

// The type's pick list opens on the type the row has: one Down arrow picks
// the next type.
TEST_F(KeyboardTest, ThePickListOpensOnTheCurrentType) {
  Press(Qt::Key_Tab, Qt::ControlModifier);
  auto* facts = Model<vcl::TDBGrid>("dbgFatos");
  ASSERT_FALSE(facts->DataSet()->IsEmpty());
  while (facts->SelectedField()->FieldName() != "IDTPFATODW") Press(Qt::Key_Right);
  const std::string before = facts->CellText(facts->Row(), facts->SelectedIndex());
  const std::vector<std::string> types = {"Moeda", "Percentual", "Quantidade", "Número inteiro"};
  const auto at = std::find(types.begin(), types.end(), before);
  ASSERT_NE(at, types.end()) << before;
  ASSERT_NE(at + 1, types.end()) << "the demo's first fact has the last type";
  QString offered;
  QTimer::singleShot(50, [&offered] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    offered = menu->activeAction() ? menu->activeAction()->text() : QString();
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  Press(Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(offered.toStdString(), before);
  EXPECT_EQ(facts->EditorText(), *(at + 1));
  Press(Qt::Key_Escape);
  Press(Qt::Key_Escape);
  EXPECT_EQ(facts->DataSet()->State(), db::TDataSetState::dsBrowse);
}

// The status bar keeps naming the server after a menu was used.
TEST_F(KeyboardTest, TheServerTextStaysAfterTheMenus) {
  const QString text = window_.ServerText();
  ASSERT_TRUE(text.startsWith(QStringLiteral("Servidor: 127.0.0.1:")));
  Press(Qt::Key_O, Qt::AltModifier);
  Press(Qt::Key_Down);
  Press(Qt::Key_Escape);
  Press(Qt::Key_Escape);
  auto* label = window_.statusBar()->findChild<QLabel*>(QStringLiteral("serverAddress"));
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(label->text(), text);
}

// Opening the screen fetches the first fact table's details once: the
// first focus entering the list right after its load reloads nothing.
TEST_F(KeyboardTest, OpeningFetchesTheFirstTablesDetailsOnce) {
  QTest::qWait(50);  // the server records a call after answering it
  const std::vector<std::string> calls = Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetDimeFatos"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetDimeFatosDrill"), 1);
  // Entering the list later still reloads, as before.
  ForgetCalls();
  PanelTo("dbgTabelaDrill");
  PanelTo("dbgTabelaFatos");
  QTest::qWait(50);
  const std::vector<std::string> later = Calls();
  EXPECT_EQ(std::count(later.begin(), later.end(), "GetDimeFatos"), 1);
}

// A server that cannot be reached is logged in Portuguese, one line.
TEST(HostLogTest, AnUnreachableServerIsOneLineInPortuguese) {
  orb::SetServerAddress({"127.0.0.1", qmxtest::UnusedLoopbackPort()});
  host::MainWindow window("");
  host_test::DialogAnswerer answers;
  answers.Expect(host_test::DialogAnswerer::Press(QStringLiteral("OK")));
  // The standard error goes to a file while the screen fails to open.
  char path[] = "/tmp/qmx-host-log-XXXXXX";
  const int file = mkstemp(path);
  ASSERT_GE(file, 0);
  std::fflush(stderr);
  const int saved = dup(2);
  dup2(file, 2);
  const bool opened = window.OpenScreen("QMX00600");
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(file);
  orb::ClearServerAddress();
  std::ifstream in(path);
  std::stringstream log;
  log << in.rdbuf();
  std::remove(path);
  EXPECT_FALSE(opened);
  EXPECT_EQ(answers.Pending(), 0u);
  std::string line;
  std::istringstream lines(log.str());
  bool found = false;
  while (std::getline(lines, line))
    if (line.find("qmx-host: conexão a 127.0.0.1:") == 0) {
      found = true;
      EXPECT_NE(line.find(": conexão recusada"), std::string::npos) << line;
      EXPECT_EQ(line.find("refused"), std::string::npos) << line;
    }
  EXPECT_TRUE(found) << log.str();
}

}  // namespace
