// The Qt user-interface service: message boxes, the look-up and search
// dialogs, the busy animation and the failures that reach the host.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>

#include "busy_overlay.h"
#include "db/client_dataset.h"
#include "dialog_answerer.h"
#include "long_list_text.h"
#include "lookup_dialog.h"
#include "model_call.h"
#include "orb/busy.h"
#include "orb/dialogs.h"
#include "qt_user_interface.h"
#include "rtl/exceptions.h"
#include "search_dialog.h"
#include "support/wide_drill.h"
#include "vcl/application.h"

namespace {

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(600, 400);
    window_.show();
    vcl::SetUserInterface(&ui_);
    dataset_.AddStringField("CDAREANEGDW", 5, "Código");
    dataset_.AddStringField("NMAREANEGDW", 30, "Nome");
    dataset_.AddStringField("IDOCULTO", 1, "", false);
    dataset_.CreateDataSet();
    for (auto [code, name] :
         {std::pair{"00001", "Vendas"}, {"00002", "Estoque"}, {"00003", "Finanças"}}) {
      dataset_.Append();
      dataset_.FieldByName("CDAREANEGDW")->SetAsString(code);
      dataset_.FieldByName("NMAREANEGDW")->SetAsString(name);
      dataset_.Post();
    }
    dataset_.First();
    source_.SetDataSet(&dataset_);
  }
  void TearDown() override {
    vcl::SetUserInterface(nullptr);
    EXPECT_EQ(answers_.Pending(), 0u);
    EXPECT_TRUE(answers_.Unexpected().empty()) << answers_.Unexpected().front();
  }

  QWidget window_;
  host::QtUserInterface ui_{&window_};
  host_test::DialogAnswerer answers_;
  db::TClientDataSet dataset_{nullptr};
  db::TDataSource source_{nullptr};
};

TEST_F(DialogsTest, WarningQuestionHasTheWarningIconAndNoAsDefault) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title, default_text;
  answers_.Expect([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    icon = box->icon();
    title = box->windowTitle();
    default_text = box->defaultButton()->text();
    box->defaultButton()->click();  // Enter takes the default
  });
  const int answer = vcl::MessageBoxA(vcl::Application().Handle(), "Remover os drills?", "Alerta",
                                      vcl::MB_YESNO | vcl::MB_ICONWARNING | vcl::MB_DEFBUTTON2);
  EXPECT_EQ(answer, vcl::IDNO);
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(title, QStringLiteral("Alerta"));
  EXPECT_EQ(default_text, QStringLiteral("&Não"));

  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("&Sim")));
  EXPECT_EQ(vcl::MessageBoxA(0, "Remover?", "Alerta", vcl::MB_YESNO | vcl::MB_ICONWARNING),
            vcl::IDYES);
}

QString Joined(const std::vector<std::string>& codes, size_t count, const char* separator) {
  QStringList out;
  for (size_t i = 0; i < count; ++i) out << QString::fromStdString(codes[i]);
  return out.join(QLatin1String(separator));
}

TEST_F(DialogsTest, AQuestionNamingHundredsOfTablesShowsTheFirstAndHoldsEveryCodeInItsDetails) {
  const auto codes = qmxtest::WideCodes("FATO_MOVIMENTO_DIARIOS", 300);
  const QString all = Joined(codes, codes.size(), ", ");
  const std::string question = "A exclusão desta dimensão fará com que as tabelas " +
                               all.toStdString() + " percam este drill.\r\nDeseja continuar?";
  QString text, details, default_text, toggle_before, toggle_after;
  bool details_shown = false;
  answers_.Expect([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    text = box->text();
    details = box->detailedText();
    default_text = box->defaultButton()->text();
    for (QAbstractButton* b : box->buttons())
      if (box->buttonRole(b) == QMessageBox::ActionRole) {
        toggle_before = b->text();
        b->click();  // opens the list; the box stays up
        toggle_after = b->text();
      }
    auto* area = box->findChild<QTextEdit*>();
    details_shown =
        area && area->isVisible() && area->isReadOnly() && area->toPlainText() == details;
    box->defaultButton()->click();
  });
  EXPECT_EQ(vcl::MessageBoxA(vcl::Application().Handle(), question.c_str(), "Alerta",
                             vcl::MB_YESNO | vcl::MB_ICONWARNING | vcl::MB_DEFBUTTON2),
            vcl::IDNO);
  EXPECT_EQ(text, "A exclusão desta dimensão fará com que as tabelas " +
                      Joined(codes, host::kListedCodesShown, ", ") +
                      " … e mais 288 tabelas percam este drill.\r\nDeseja continuar?");
  EXPECT_EQ(details, Joined(codes, codes.size(), "\n"));
  EXPECT_TRUE(details_shown);
  EXPECT_EQ(toggle_before, QStringLiteral("Mostrar a lista…"));
  EXPECT_EQ(toggle_after, QStringLiteral("Ocultar a lista"));
  EXPECT_EQ(default_text, QStringLiteral("&Não"));

  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("&Sim")));
  EXPECT_EQ(vcl::MessageBoxA(0, question.c_str(), "Alerta", vcl::MB_YESNO | vcl::MB_ICONWARNING),
            vcl::IDYES);
}

TEST(LongListText, KeepsTheQuotesOfEachFormAndLeavesShortListsAlone) {
  const auto codes = qmxtest::WideCodes("T", 20);
  // One pair of quotes around the whole list keeps its closing quote.
  host::ShortenedText s = host::ShortenLongList("A tabelas \"" + Joined(codes, 20, ", ") +
                                                "\" utilizam esta tabela como Drill.");
  EXPECT_EQ(s.text, "A tabelas \"" + Joined(codes, 12, ", ") +
                        "\" … e mais 8 tabelas utilizam esta tabela como Drill.");
  // Each code quoted, the last two joined by "e".
  QString each = QStringLiteral("com as tabelas ");
  for (int i = 0; i < 20; ++i)
    each += QStringLiteral(" \"%1\"").arg(QString::fromStdString(codes[i])) +
            (i == 18  ? QStringLiteral(" e")
             : i < 18 ? QStringLiteral(",")
                      : QString());
  s = host::ShortenLongList(each + QStringLiteral(" será afetada."));
  EXPECT_TRUE(s.text.endsWith(QStringLiteral("\"%1\" … e mais 8 tabelas será afetada.")
                                  .arg(QString::fromStdString(codes[11]))))
      << s.text.toStdString();
  EXPECT_EQ(s.details, Joined(codes, 20, "\n"));
  const QString fifteen = "As tabelas " + Joined(codes, 15, ", ") + ".";
  s = host::ShortenLongList(fifteen);
  EXPECT_EQ(s.text, fifteen);
  EXPECT_TRUE(s.details.isEmpty());
}

TEST_F(DialogsTest, ConfirmationAnswersWithTheModalResultOfTheButton) {
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("&Sim")));
  EXPECT_EQ(ui_.ShowMessageDialog("Confirma exclusão?", vcl::TMsgDlgType::mtConfirmation,
                                  vcl::mbYes | vcl::mbNo, 0),
            vcl::mrYes);
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("&Não")));
  EXPECT_EQ(ui_.ShowMessageDialog("Confirma exclusão?", vcl::TMsgDlgType::mtConfirmation,
                                  vcl::mbYes | vcl::mbNo, 0),
            vcl::mrNo);
  // Closed without a button: the safe answer, No.
  answers_.Expect([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  EXPECT_EQ(ui_.ShowMessageDialog("Cancela?", vcl::TMsgDlgType::mtConfirmation,
                                  vcl::mbYes | vcl::mbNo, 0),
            vcl::mrNo);
  ASSERT_EQ(answers_.Texts().size(), 3u);
  EXPECT_EQ(answers_.Texts()[0], "Confirma exclusão?");
}

TEST_F(DialogsTest, TheWindowIsActiveAgainOnceADialogIsAnswered) {
  window_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("OK")));
  ui_.ShowError("Tabela inválida.");
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), &window_) << "after an error";
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("&Não")));
  ui_.MessageBox("Confirma?", "Alerta", vcl::MB_YESNO | vcl::MB_ICONWARNING);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), &window_) << "after a question";
  answers_.Expect([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  ui_.Lookup(source_, "Data Mart");
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), &window_) << "after a look-up";
}

TEST_F(DialogsTest, LookupShowsTheLabelsFiltersAndPositionsTheDatasetOnTheChosenRow) {
  QStringList titles;
  answers_.Expect([&](QWidget* w) {
    auto* dialog = dynamic_cast<host::LookupDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    for (int c = 0; c < dialog->Table()->columnCount(); ++c)
      titles << dialog->Table()->horizontalHeaderItem(c)->text();
    dialog->FilterBox()->setText(QStringLiteral("FINAN"));
    EXPECT_TRUE(dialog->Table()->isRowHidden(0));
    EXPECT_FALSE(dialog->Table()->isRowHidden(2));
    EXPECT_EQ(dialog->ChosenRecord(), 3);
    dialog->accept();
  });
  EXPECT_TRUE(orb::Pesquisar(source_, "Data Marts", false, true));
  EXPECT_EQ(titles, (QStringList{QStringLiteral("Código"), QStringLiteral("Nome")}));
  EXPECT_EQ(dataset_.RecNo(), 3);
  EXPECT_EQ(dataset_.FieldByName("NMAREANEGDW")->AsString(), "Finanças");
  EXPECT_FALSE(dataset_.Filtered());

  answers_.Expect([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  EXPECT_FALSE(orb::Pesquisar(source_, "Data Marts", false, true));
  EXPECT_EQ(dataset_.RecNo(), 3);
}

TEST_F(DialogsTest, SearchFindsByTheBeginningOfAValueWithoutRegardToCase) {
  answers_.Expect([](QWidget* w) {
    auto* dialog = dynamic_cast<host::SearchDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    dialog->FieldBox()->setCurrentIndex(1);
    dialog->ValueBox()->setText(QStringLiteral("est"));
    ASSERT_TRUE(dialog->Find());
    dialog->accept();
  });
  EXPECT_TRUE(orb::Procura(dataset_));
  EXPECT_EQ(dataset_.FieldByName("NMAREANEGDW")->AsString(), "Estoque");
}

TEST_F(DialogsTest, BusyAnimationIsUpDuringTheCallAndGoneWhenAFailureReachesTheHost) {
  bool shown_during_call = false;
  QString caption;
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("OK")));
  const bool ok = host::RunModelAction([&] {
    orb::ActiveShowAvi(nullptr, orb::kAviTransfer, "Recebendo dados do servidor");
    shown_during_call = ui_.Busy()->isVisible();
    caption = ui_.Busy()->Caption();
    vcl::Screen().SetCursor(vcl::crHourGlass);
    throw rtl::Exception("Servidor fora do ar");
  });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(shown_during_call);
  EXPECT_EQ(caption, QStringLiteral("Recebendo dados do servidor"));
  EXPECT_FALSE(ui_.Busy()->isVisible());
  EXPECT_EQ(orb::ShowAviDepth(), 0);
  EXPECT_FALSE(ui_.WaitCursorShown());
  ASSERT_EQ(answers_.Texts().size(), 1u);
  EXPECT_EQ(answers_.Texts()[0], "Servidor fora do ar");

  // The silent abort shows nothing, and still takes the animation down.
  EXPECT_FALSE(host::RunModelAction([] {
    orb::ActiveShowAvi(nullptr, orb::kAviSearch, "Validando");
    rtl::Abort();
  }));
  EXPECT_FALSE(ui_.Busy()->isVisible());
  EXPECT_EQ(answers_.Texts().size(), 1u);
}

}  // namespace
