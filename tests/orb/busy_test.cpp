#include "orb/busy.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "orb/dialogs.h"
#include "orb/messages.h"
#include "rtl/exceptions.h"
#include "support/scripted_ui.h"

namespace orb {
namespace {

class BusyTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(ShowAviDepth(), 0); }
  qmxtest::ScopedScriptedUI ui;
};

TEST_F(BusyTest, NestedCallsShowTheInnerCaptionAndHideOnceAtTheEnd) {
  ActiveShowAvi(nullptr, kAviTransfer, "Recebendo dados do servidor");
  ActiveShowAvi(nullptr, kAviSearch, "Validando");
  EXPECT_EQ(ShowAviDepth(), 2);
  EXPECT_EQ(ui->BusyCaption(), "Validando");
  DeactiveShowAvi();
  EXPECT_TRUE(ui->BusyVisible());
  EXPECT_EQ(ui->BusyCaption(), "Recebendo dados do servidor");
  EXPECT_EQ(ui->BusyLog().back().kind, kAviTransfer);
  DeactiveShowAvi();
  EXPECT_FALSE(ui->BusyVisible());
  EXPECT_EQ(ui->BusyShowCount(), 1);
  ASSERT_EQ(ui->BusyLog().size(), 4u);
  EXPECT_FALSE(ui->BusyLog()[3].show);
}

TEST_F(BusyTest, AnExtraDeactiveDoesNothing) {
  DeactiveShowAvi();
  EXPECT_EQ(ShowAviDepth(), 0);
  ActiveShowAvi(nullptr, kAviTransfer);
  DeactiveShowAvi();
  DeactiveShowAvi();
  EXPECT_EQ(ShowAviDepth(), 0);
  EXPECT_EQ(ui->BusyLog().size(), 2u);  // one show, one hide
  ActiveShowAvi(nullptr, kAviTransfer, "de novo");
  EXPECT_TRUE(ui->BusyVisible());  // the extra call did not leave a debt behind
  DeactiveShowAvi();
}

TEST_F(BusyTest, ScopesHideTheAnimationWhenAFailurePasses) {
  try {
    BusyScope outer(nullptr, kAviTransfer, "Atualizando dados no servidor");
    {
      BusyScope inner(nullptr, kAviSearch, "Validando");
      throw std::runtime_error("falha do servidor");
    }
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(ui->BusyVisible());
  EXPECT_EQ(ShowAviDepth(), 0);

  BusyScope released(nullptr, kAviTransfer);
  released.Release();
  EXPECT_FALSE(ui->BusyVisible());
}

TEST_F(BusyTest, ResetTakesDownWhatAFailedCallerLeftUp) {
  ActiveShowAvi(nullptr, kAviTransfer, "a");
  ActiveShowAvi(nullptr, kAviTransfer, "b");
  ResetShowAvi();
  EXPECT_FALSE(ui->BusyVisible());
  EXPECT_EQ(ShowAviDepth(), 0);
  ResetShowAvi();  // nothing up: no second HideBusy
  EXPECT_EQ(ui->BusyLog().size(), 3u);
}

// A service that cannot show the animation leaves no level to be matched.
class FailingBusyUI : public qmxtest::ScriptedUserInterface {
 public:
  void ShowBusy(int, const std::string&) override { throw std::runtime_error("sem janela"); }
};

TEST(BusyFailure, AServiceThatFailsToShowLeavesNoLevelBehind) {
  FailingBusyUI failing;
  vcl::SetUserInterface(&failing);
  EXPECT_THROW(ActiveShowAvi(nullptr, kAviTransfer, "x"), std::runtime_error);
  EXPECT_EQ(ShowAviDepth(), 0);
  vcl::SetUserInterface(nullptr);
}

// No message or question is ever shown with the animation on the screen.
TEST_F(BusyTest, AnErrorThatEndsTheOperationTakesTheAnimationDownFirstForGood) {
  ui->ExpectError("Tabela inválida");
  try {
    BusyScope outer(nullptr, kAviTransfer, "Atualizando dados no servidor");
    BusyScope inner(nullptr, kAviTransfer, "Validando dados no servidor");
    MensErro("Tabela inválida", true);
  } catch (const rtl::EAbort&) {
  }
  ASSERT_EQ(ui->Questions().size(), 1u);
  EXPECT_FALSE(ui->Questions()[0].busy_visible);
  // Unwinding the two calls neither shows the outer caption again nor hides
  // a second time.
  ASSERT_EQ(ui->BusyLog().size(), 3u);
  EXPECT_FALSE(ui->BusyLog()[2].show);
  EXPECT_FALSE(ui->BusyVisible());

  // The next call shows it again and ends as usual.
  ActiveShowAvi(nullptr, kAviTransfer, "de novo");
  EXPECT_TRUE(ui->BusyVisible());
  DeactiveShowAvi();
  EXPECT_FALSE(ui->BusyVisible());
}

TEST_F(BusyTest, AQuestionDuringACallBringsTheAnimationBackWhenAnswered) {
  TMessages messages(nullptr);
  messages.SetLines({"Excl|Excluir registro?"});
  ui->ExpectDialog(vcl::mrYes, "Excluir");
  ui->ExpectError("aviso");
  {
    BusyScope busy(nullptr, kAviSearch, "Validando dados no servidor");
    EXPECT_EQ(messages.ShowMsg("Excl", vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo, 0),
              vcl::mrYes);
    EXPECT_TRUE(ui->BusyVisible());
    EXPECT_EQ(ui->BusyCaption(), "Validando dados no servidor");
    MensErro("aviso", false);  // no abort: the call goes on
    EXPECT_TRUE(ui->BusyVisible());
  }
  EXPECT_FALSE(ui->BusyVisible());
  for (const qmxtest::Question& q : ui->Questions()) EXPECT_FALSE(q.busy_visible) << q.text;
  // Without an animation up a dialog touches nothing.
  const size_t events = ui->BusyLog().size();
  ui->ExpectError("sem animação");
  MensErro("sem animação", false);
  EXPECT_EQ(ui->BusyLog().size(), events);
}

}  // namespace
}  // namespace orb
