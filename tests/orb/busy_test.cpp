#include "orb/busy.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

}  // namespace
}  // namespace orb
