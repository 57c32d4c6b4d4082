#include "orb/messages.h"

#include <gtest/gtest.h>

#include "rtl/exceptions.h"
#include "support/scripted_ui.h"

namespace orb {
namespace {

TEST(TMessages, TheTextIsEverythingAfterTheFirstBarKeptExactly) {
  TMessages messages(nullptr);
  messages.SetLines({"Excl|Confirma exclusão?", "FATOS| Fatos", "PIPE|a|b|c",
                     "QUEBRA|linha 1\r\nlinha 2 ", "VAZIO|"});
  EXPECT_EQ(messages.Msg("Excl"), "Confirma exclusão?");
  EXPECT_EQ(messages.Msg("FATOS"), " Fatos");
  EXPECT_EQ(messages.Msg("PIPE"), "a|b|c");
  EXPECT_EQ(messages.Msg("QUEBRA"), "linha 1\r\nlinha 2 ");
  EXPECT_TRUE(messages.Contains("VAZIO"));
  EXPECT_EQ(messages.Msg("VAZIO"), "");
  EXPECT_EQ(messages.Count(), 5);
}

TEST(TMessages, AMissingKeyGivesTheKeyAndKeysAreCaseSensitive) {
  TMessages messages(nullptr);
  messages.Add("M|Moeda");
  EXPECT_EQ(messages.Msg("M"), "Moeda");
  EXPECT_EQ(messages.Msg("m"), "m");
  EXPECT_FALSE(messages.Contains("m"));
  EXPECT_EQ(messages.Msg("NAO_EXISTE"), "NAO_EXISTE");
}

TEST(TMessages, MalformedOrRepeatedEntriesAreRefusedAndTheTableIsKept) {
  TMessages messages(nullptr);
  messages.SetLines({"A|um", "B|dois"});
  EXPECT_THROW(messages.SetLines({"C|três", "sem separador"}), rtl::Exception);
  EXPECT_THROW(messages.SetLines({"|sem chave"}), rtl::Exception);
  EXPECT_THROW(messages.SetLines({"C|três", "C|de novo"}), rtl::Exception);
  EXPECT_THROW(messages.Add("A|outra"), rtl::Exception);
  EXPECT_THROW(messages.Add("D|\xC3("), rtl::Exception);
  EXPECT_EQ(messages.Msg("A"), "um");
  EXPECT_EQ(messages.Msg("B"), "dois");
  EXPECT_FALSE(messages.Contains("C"));
  EXPECT_EQ(messages.Count(), 2);

  messages.SetLines({"C|três"});  // replaces every entry
  EXPECT_FALSE(messages.Contains("A"));
  EXPECT_EQ(messages.Lines(), std::vector<std::string>{"C|três"});
}

TEST(TMessages, ShowMsgAsksTheEntryTextAndReturnsTheButtonPressed) {
  qmxtest::ScopedScriptedUI ui;
  TMessages messages(nullptr);
  messages.SetLines({"Excl|Confirma exclusão?"});
  ui->ExpectDialog(vcl::mrYes, "Confirma exclusão?");
  EXPECT_EQ(messages.ShowMsg("Excl", vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo, 0),
            vcl::mrYes);
  ui->ExpectDialog(vcl::mrNo, "Outra");
  EXPECT_EQ(messages.ShowMsg("Outra", vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo, 0),
            vcl::mrNo);
  ASSERT_EQ(ui->Questions().size(), 2u);
  EXPECT_EQ(ui->Questions()[0].dialog_type, vcl::TMsgDlgType::mtConfirmation);
  EXPECT_EQ(ui->Questions()[0].buttons, vcl::mbYes | vcl::mbNo);
}

}  // namespace
}  // namespace orb
