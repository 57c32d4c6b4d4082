// The structure screen worked from the keyboard alone, through real Qt key
// events on the offscreen platform, against the real application server
// in-process: menus that give the keyboard back, keys that leave a grid and
// turn pages, the toolbar's commands by key, where edit and the pick list
// open, the status bar and the calls made on opening.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
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
#include "lookup_dialog.h"
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

// A new table the server refuses: while its message is up the row is open
// again with what was typed, and after OK the cursor is on the code the
// message names, ready for typing.
TEST_F(KeyboardTest, ARefusedSaveLeavesTheCursorOnTheFieldItsMessageNames) {
  auto* tables = Model<vcl::TDBGrid>("dbgTabelaFatos");
  ASSERT_EQ(Keyboard(), GridOf(tables));
  Press(Qt::Key_N, Qt::ControlModifier);
  Type("fatoteste");
  Press(Qt::Key_Tab);
  Type("Fato teste");
  ASSERT_EQ(tables->SelectedField()->FieldName(), "NMTABELADW");
  std::string message;
  db::TDataSetState state_under_message = db::TDataSetState::dsInactive;
  answers_.Expect([&](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) message = box->text().toStdString();
    state_under_message = tables->DataSet()->State();
    QTest::keyClick(w, Qt::Key_Return);
  });
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(message, "Tabela \"FATOTESTE\" inválida.");
  EXPECT_EQ(state_under_message, db::TDataSetState::dsInsert);
  ASSERT_EQ(tables->DataSet()->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(tables->SelectedField()->FieldName(), "CDTABELADW");
  EXPECT_EQ(Keyboard(), GridOf(tables));
  Type("fato_compras");
  EXPECT_EQ(tables->EditorText(), "fato_compras");  // the refused code was selected
  Press(Qt::Key_Escape);
  Press(Qt::Key_Escape);
  EXPECT_EQ(tables->DataSet()->State(), db::TDataSetState::dsBrowse);
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

// Counts the mouse presses the application sees.
class MouseCounter : public QObject {
 public:
  MouseCounter() { qApp->installEventFilter(this); }
  ~MouseCounter() override { qApp->removeEventFilter(this); }
  int presses = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
      ++presses;
    return false;
  }
};

// Answers a message box by Space on the button with this text.
host_test::DialogAnswerer::Step PressWithSpace(const QString& text) {
  return [text](QWidget* w) {
    for (QAbstractButton* button : w->findChildren<QAbstractButton*>())
      if (button->text() == text) return QTest::keyClick(button, Qt::Key_Space);
    qobject_cast<QDialog*>(w)->reject();
  };
}

// Answers a look-up by typing into its filter and pressing Enter.
host_test::DialogAnswerer::Step TypeInLookup(const char* text) {
  return [text](QWidget* w) {
    auto* dialog = dynamic_cast<host::LookupDialog*>(w);
    if (dialog == nullptr) return qobject_cast<QDialog*>(w)->reject();
    QTest::keyClicks(dialog->FilterBox(), text);
    QTest::keyClick(dialog->FilterBox(), Qt::Key_Return);
  };
}

// The whole screen by keys alone: a fact and a dimension of a fact table, a
// drill fact and a drill dimension of a drill table, each confirmed.
TEST_F(KeyboardTest, TheWholeScreenByKeysAlone) {
  MouseCounter mouse;
  auto* tables = Model<vcl::TDBGrid>("dbgTabelaFatos");
  ASSERT_EQ(Keyboard(), GridOf(tables));
  while (tables->DataSet()->FieldByName("CDTABELADW")->AsString() != "FATO_VENDAS" &&
         !tables->DataSet()->Eof())
    Press(Qt::Key_Down);
  ASSERT_EQ(tables->DataSet()->FieldByName("CDTABELADW")->AsString(), "FATO_VENDAS");

  // A fact: the column from its look-up, the name, the data mart, confirm.
  Press(Qt::Key_Tab, Qt::ControlModifier);
  auto* facts = Model<vcl::TDBGrid>("dbgFatos");
  ASSERT_TRUE(facts->Focused());
  Press(Qt::Key_N, Qt::ControlModifier);
  ASSERT_EQ(facts->DataSet()->State(), db::TDataSetState::dsInsert);
  ASSERT_EQ(facts->SelectedField()->FieldName(), "CDITEMDW");
  answers_.Expect(TypeInLookup("desconto"));
  Press(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(facts->DataSet()->FieldByName("CDITEMDW")->AsString(), "VL_DESCONTO");
  Press(Qt::Key_Tab);
  Type("Desconto concedido");
  Press(Qt::Key_Tab);
  Type("2");
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(facts->DataSet()->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(facts->DataSet()->ChangeCount(), 0);

  // A dimension in the other panel.
  Press(Qt::Key_F6);
  auto* dimes = Model<vcl::TDBGrid>("dbgDimensoes");
  ASSERT_TRUE(dimes->Focused());
  Press(Qt::Key_N, Qt::ControlModifier);
  ASSERT_EQ(dimes->DataSet()->State(), db::TDataSetState::dsInsert);
  answers_.Expect(TypeInLookup("CD_"));
  Press(Qt::Key_Return, Qt::ControlModifier);
  const std::string column = dimes->DataSet()->FieldByName("CDITEMDIME")->AsString();
  EXPECT_FALSE(column.empty());
  Press(Qt::Key_Tab);
  answers_.Expect(TypeInLookup("Regi"));
  Press(Qt::Key_Return, Qt::ControlModifier);
  // The drill table's dimensions would differ: the question, answered Yes.
  answers_.Expect(PressWithSpace(QStringLiteral("&Sim")));
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dimes->DataSet()->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(dimes->DataSet()->ChangeCount(), 0);

  // Back to the lists, into the drill tables, and a drill fact.
  Press(Qt::Key_PageUp, Qt::ControlModifier);
  PanelTo("dbgTabelaDrill");
  auto* drills = Model<vcl::TDBGrid>("dbgTabelaDrill");
  while (drills->DataSet()->FieldByName("CDTABELADW")->AsString() != "DRILL_VENDAS_DIA" &&
         !drills->DataSet()->Eof())
    Press(Qt::Key_Down);
  ASSERT_EQ(drills->DataSet()->FieldByName("CDTABELADW")->AsString(), "DRILL_VENDAS_DIA");
  PageByMnemonic(1);
  auto* drill_facts = Model<vcl::TDBGrid>("dbgFatosDrill");
  PanelTo("dbgFatosDrill");
  Press(Qt::Key_O, Qt::AltModifier);
  Press(Qt::Key_I);
  ASSERT_EQ(drill_facts->DataSet()->State(), db::TDataSetState::dsInsert);
  answers_.Expect(TypeInLookup("NR_NOTA"));
  Press(Qt::Key_Return, Qt::ControlModifier);
  Press(Qt::Key_Tab);
  Type("Numero da nota");
  Press(Qt::Key_O, Qt::AltModifier);
  Press(Qt::Key_O);  // C&onfirmar
  EXPECT_EQ(drill_facts->DataSet()->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(drill_facts->DataSet()->ChangeCount(), 0);

  // A drill dimension.
  PanelTo("dbgDimensoes");
  ASSERT_EQ(dimes->DataSet()->Name(), "cdsDimeDrill");
  Press(Qt::Key_N, Qt::ControlModifier);
  Type("cd_regiao");
  Press(Qt::Key_Tab);
  answers_.Expect(TypeInLookup("Regi"));
  Press(Qt::Key_Return, Qt::ControlModifier);
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dimes->DataSet()->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(dimes->DataSet()->ChangeCount(), 0);
  EXPECT_TRUE(dimes->DataSet()->Locate("CDDIMEDRILL", rtl::Variant("CD_REGIAO"), db::loNone));

  EXPECT_EQ(answers_.Pending(), 0u);
  // The question about drill consistency, and nothing else.
  ASSERT_EQ(answers_.Texts().size(), 1u);
  EXPECT_NE(answers_.Texts()[0].find("Confirma Inclusão?"), std::string::npos);
  EXPECT_EQ(mouse.presses, 0);
  // On the server: the four rows.
  const auto facts_stored = host_test::DimeFatos(server_, "FATO_VENDAS");
  db::TClientDataSet stored_facts(nullptr), stored_dimes(nullptr);
  stored_facts.SetData(facts_stored[5]);
  stored_dimes.SetData(facts_stored[4]);
  EXPECT_TRUE(stored_facts.Locate("CDITEMDW", rtl::Variant("VL_DESCONTO"), db::loNone));
  EXPECT_TRUE(stored_dimes.Locate("CDITEMDIME", rtl::Variant(column), db::loNone)) << column;
}

// Every text an accessibility client reads in `iface` and below it.
QStringList AccessibleTexts(QAccessibleInterface* iface) {
  QStringList texts;
  if (!iface) return texts;
  if (const QString name = iface->text(QAccessible::Name); !name.isEmpty()) texts << name;
  for (int i = 0; i < iface->childCount(); ++i) texts << AccessibleTexts(iface->child(i));
  return texts;
}

// A screen reader reads each grid's cell under the cursor, its column's
// title and the grid's name through the table interface, and the text of a
// question through the dialog's interface.
TEST_F(KeyboardTest, GridsAndDialogsReadThroughAccessibility) {
  const auto check = [this](const char* name) {
    SCOPED_TRACE(name);
    PanelTo(name);
    Press(Qt::Key_Right);
    const vcl::TDBGrid* grid = Model<vcl::TDBGrid>(name);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(GridOf(name));
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Table);
    EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty());
    QAccessibleTableInterface* table = iface->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), grid->RowCount());
    int shown = 0;
    for (int c = 0; c < grid->SelectedIndex(); ++c) shown += grid->Columns()[c]->Visible();
    QAccessibleInterface* cell = table->cellAt(grid->Row() - 1, shown);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->role(), QAccessible::Cell);
    EXPECT_EQ(cell->text(QAccessible::Name).toStdString(),
              grid->CellText(grid->Row(), grid->SelectedIndex()));
    EXPECT_FALSE(cell->text(QAccessible::Name).isEmpty());
    EXPECT_EQ(iface->focusChild(), cell);
    EXPECT_EQ(table->columnDescription(shown).toStdString(),
              grid->Columns()[grid->SelectedIndex()]->Title().Caption());
  };
  check("dbgTabelaFatos");
  check("dbgTabelaDrill");
  PanelTo("dbgTabelaFatos");
  Press(Qt::Key_Tab, Qt::ControlModifier);
  check("dbgFatos");
  check("dbgDimensoes");

  // Every button of the screen, the toolbar's and the navigator's icons
  // included, has a name to read.
  for (QAbstractButton* button : View<host::FormView>(form_)->findChildren<QAbstractButton*>()) {
    if (!button->isVisible()) continue;
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(button);
    EXPECT_FALSE(read->text(QAccessible::Name).isEmpty()) << button->objectName().toStdString();
  }

  // The delete question, read through the message box's interface.
  QStringList read;
  answers_.Expect([&read](QWidget* w) {
    read = AccessibleTexts(QAccessible::queryAccessibleInterface(w));
    if (auto* box = qobject_cast<QMessageBox*>(w)) box->reject();
  });
  Press(Qt::Key_Tab, Qt::ControlModifier);
  PanelTo("dbgTabelaFatos");
  Press(Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(answers_.Pending(), 0u);
  EXPECT_TRUE(read.contains(QStringLiteral("Confirma exclusão?"))) << read.join("|").toStdString();
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
