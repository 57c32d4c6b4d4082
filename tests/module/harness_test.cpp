// The harness's own actions drive the real grid, dataset and toolbar: typing
// into a cell and moving down sends the change through the save sequence to
// the real server; questions and calls are read back.
#include <gtest/gtest.h>

#include <algorithm>

#include "linked_screen.h"
#include "orb/busy.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

TEST(Harness, TypingIntoTheFactListAndMovingOnSavesTheRow) {
  ScreenHarness h;
  qmx00600::TfrmEstrutura& s = OpenLinkedScreen(h);
  const std::string code = s.cdsTabelas->FieldByName("CDTABELADW")->AsString();
  h.ClearCalls();

  h.Focus("dbgTabelaFatos");
  h.PickColumn("dbgTabelaFatos", "NMTABELADW");
  // The editor opens with the first character typed: the old name goes.
  h.Type("dbgTabelaFatos", "Vendas à vista");
  EXPECT_EQ(s.cdsTabelas->State(), db::TDataSetState::dsEdit);
  h.Press("dbgTabelaFatos", vcl::VK_DOWN);

  EXPECT_EQ(s.cdsTabelas->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant(code), db::loNone));
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Vendas à vista");
  const std::vector<std::string> calls = h.CallNames();
  // The row is validated with the server before it is sent.
  const auto checked = std::find(calls.begin(), calls.end(), "GetTabelas");
  ASSERT_NE(checked, calls.end());
  EXPECT_NE(std::find(checked, calls.end(), "SetTabelas"), calls.end());
  EXPECT_EQ(orb::ShowAviDepth(), 0);

  // Ctrl+Delete asks first; No keeps the row.
  const int rows = s.cdsTabelas->RecordCount();
  h.ui().ExpectDialog(vcl::mrNo, "Excluir");
  h.Press("dbgTabelaFatos", vcl::VK_DELETE, vcl::ssCtrl);
  EXPECT_EQ(s.cdsTabelas->RecordCount(), rows);
  ASSERT_EQ(h.Questions().size(), 1u);
  EXPECT_EQ(h.Questions()[0].kind, QuestionKind::kMessageDialog);

  EXPECT_TRUE(h.Click("sbtVerificar"));
  EXPECT_FALSE(h.Click("sbtImprimir"));
}

}  // namespace
}  // namespace qmxtest
