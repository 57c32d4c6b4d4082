#include "support/scripted_ui.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "db/client_dataset.h"
#include "db/data_source.h"
#include "vcl/application.h"

namespace qmxtest {
namespace {

// A Yes/No confirmation asking `text`, as the screens ask them.
int Confirm(vcl::IUserInterface& ui, const std::string& text) {
  return ui.ShowMessageDialog(text, vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo, 0);
}

TEST(ScriptedUserInterface, AnswersFromTheQueueInOrderAndRecordsEachQuestion) {
  ScopedScriptedUI ui;
  ui->ExpectDialog(vcl::mrYes, "exclusão");
  ui->ExpectMessageBox(vcl::IDNO);
  ui->ExpectError("inválido");

  vcl::IUserInterface& service = vcl::UserInterface();
  EXPECT_EQ(&service, &ui.ui());
  EXPECT_EQ(Confirm(service, "Confirma exclusão?"), vcl::mrYes);
  EXPECT_EQ(service.MessageBox("Deseja continuar?", "Alerta",
                               vcl::MB_YESNO | vcl::MB_ICONWARNING | vcl::MB_DEFBUTTON2),
            vcl::IDNO);
  service.ShowError("Código inválido.");

  ASSERT_EQ(ui->Questions().size(), 3u);
  EXPECT_EQ(ui->Questions()[0].buttons, vcl::mbYes | vcl::mbNo);
  EXPECT_EQ(ui->Questions()[1].caption, "Alerta");
  EXPECT_EQ(ui->Questions()[1].flags, vcl::MB_YESNO | vcl::MB_ICONWARNING | vcl::MB_DEFBUTTON2);
  EXPECT_EQ(ui->Errors(), std::vector<std::string>{"Código inválido."});
  EXPECT_EQ(ui->PendingExpectations(), 0u);

  vcl::Screen().SetCursor(vcl::crHourGlass);
  vcl::Screen().SetCursor(vcl::crDefault);
  EXPECT_EQ(ui->Cursors(), (std::vector<int>{vcl::crHourGlass, vcl::crDefault}));
}

TEST(ScriptedUserInterface, AnUnexpectedQuestionFailsAndGetsTheSafeAnswer) {
  ScriptedUserInterface ui;
  int answer = -1;
  EXPECT_NONFATAL_FAILURE(answer = Confirm(ui, "Confirma?"), "Confirma?");
  EXPECT_EQ(answer, vcl::mrNo);
  EXPECT_NONFATAL_FAILURE(answer = ui.ShowMessageDialog("Aviso", vcl::TMsgDlgType::mtWarning,
                                                        vcl::mbOK | vcl::mbCancel, 0),
                          "Aviso");
  EXPECT_EQ(answer, vcl::mrCancel);
  EXPECT_NONFATAL_FAILURE(answer = ui.MessageBox("Continuar?", "Alerta", vcl::MB_YESNO),
                          "Continuar?");
  EXPECT_EQ(answer, vcl::IDNO);
  EXPECT_NONFATAL_FAILURE(ui.ShowError("Falhou"), "unexpected error");
  EXPECT_FALSE(ui.Questions().back().expected);
}

TEST(ScriptedUserInterface, AQuestionOfAnotherKindOrTextDoesNotTakeTheScriptedAnswer) {
  ScriptedUserInterface ui;
  ui.ExpectMessageBox(vcl::IDYES);
  int answer = -1;
  EXPECT_NONFATAL_FAILURE(answer = Confirm(ui, "Confirma?"), "expected a message box");
  EXPECT_EQ(answer, vcl::mrNo);
  // The message box answer is still there for the message box.
  EXPECT_EQ(ui.MessageBox("Continuar?", "Alerta", vcl::MB_YESNO), vcl::IDYES);

  ui.ExpectDialog(vcl::mrYes, "exclusão");
  EXPECT_NONFATAL_FAILURE(answer = Confirm(ui, "Cancela?"), "does not contain");
  EXPECT_EQ(answer, vcl::mrNo);
}

TEST(ScriptedUserInterface, UnscriptedErrorsMayBeAllowed) {
  ScriptedUserInterface ui;
  ui.AllowUnscriptedErrors();
  ui.ExpectDialog(vcl::mrYes);
  ui.ShowError("um");  // does not take the dialog's answer
  EXPECT_EQ(Confirm(ui, "q"), vcl::mrYes);
  EXPECT_EQ(ui.Errors(), std::vector<std::string>{"um"});
}

TEST(ScriptedUserInterface, VerifyReportsUnusedAnswersAndAnAnimationLeftOn) {
  ScriptedUserInterface ui;
  ui.ExpectLookupCancel("Data Mart");
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(ui.Verify()), "look-up never asked: \"Data Mart\"");
  EXPECT_EQ(ui.PendingExpectations(), 0u);

  ui.ShowBusy(1, "Lendo");
  ui.ShowBusy(6, "Validando");
  EXPECT_EQ(ui.BusyCaption(), "Validando");
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(ui.Verify()), "still shown: \"Validando\"");
  ui.HideBusy();
  EXPECT_TRUE(ui.Verify());
  EXPECT_NONFATAL_FAILURE(ui.HideBusy(), "no busy animation shown");
  EXPECT_EQ(ui.BusyShowCount(), 1);
  ASSERT_EQ(ui.BusyLog().size(), 4u);
  EXPECT_TRUE(ui.BusyLog()[1].visible_before);
}

class ScriptedLookupTest : public ::testing::Test {
 protected:
  void SetUp() override { FillCodes(dataset, source, "CODIGO", {"A", "B", "C"}); }
  db::TClientDataSet dataset{nullptr};
  db::TDataSource source{nullptr};
  ScriptedUserInterface ui;
};

TEST_F(ScriptedLookupTest, ALookupChoosesTheScriptedRow) {
  ui.ExpectLookup(3, "Código");
  EXPECT_TRUE(ui.Lookup(source, "Códigos"));
  EXPECT_EQ(dataset.FieldByName("CODIGO")->AsString(), "C");
  ui.ExpectLookupCancel();
  EXPECT_FALSE(ui.Lookup(source, "Códigos"));
  EXPECT_EQ(dataset.RecNo(), 3);
  ui.ExpectLookup(4);
  bool chosen = true;
  EXPECT_NONFATAL_FAILURE(chosen = ui.Lookup(source, "Códigos"), "row 4 of 3");
  EXPECT_FALSE(chosen);
}

TEST_F(ScriptedLookupTest, ASearchFindsTheScriptedRowAndAnUnscriptedOneFindsNothing) {
  dataset.SetName("cdsTeste");
  ui.ExpectSearch(2);
  EXPECT_TRUE(ui.Search(dataset));
  EXPECT_EQ(dataset.FieldByName("CODIGO")->AsString(), "B");
  bool found = true;
  EXPECT_NONFATAL_FAILURE(found = ui.Search(dataset), "unexpected search: \"cdsTeste\"");
  EXPECT_FALSE(found);
  EXPECT_EQ(dataset.RecNo(), 2);
}

}  // namespace
}  // namespace qmxtest
