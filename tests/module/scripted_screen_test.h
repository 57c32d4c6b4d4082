// ScriptedScreenTest: a test of the open screen against the real server
// behind a scripted one that records the calls, with the list of fact tables
// focused. Every test ends with no busy animation left showing.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "linked_screen.h"
#include "orb/busy.h"
#include "screen_test_util.h"
#include "vcl/user_interface.h"

namespace qmxtest {

// The flags of a warning question whose default answer is No.
constexpr unsigned kWarningFlags = vcl::MB_YESNO | vcl::MB_ICONWARNING | vcl::MB_DEFBUTTON2;

class ScriptedScreenTest : public ::testing::Test {
 protected:
  ScriptedScreenTest() : ScriptedScreenTest([](ScreenHarness&) {}) {}
  // `prepare` runs on the served database before the screen opens.
  explicit ScriptedScreenTest(const std::function<void(ScreenHarness&)>& prepare)
      : h(Backend::kScripted), s((prepare(h), OpenLinkedScreen(h))) {
    h.Focus("dbgTabelaFatos");
  }
  ~ScriptedScreenTest() override { EXPECT_EQ(orb::ShowAviDepth(), 0); }

  // Forgets the calls made and the questions asked so far.
  void Forget() {
    h.Scripted().ClearCalls();
    h.ui().ClearLog();
  }
  // Drill table `code` chosen in its list, then page 2 with `grid` focused;
  // what happened on the way is forgotten.
  void OpenDrillPage(const std::string& code, const char* grid) {
    h.Focus("dbgTabelaDrill");
    ASSERT_TRUE(s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant(code), db::loNone));
    ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
    h.Focus(grid);
    Forget();
  }
  // The values of `field` in `details` once the current drill table's rows
  // are fetched again from the server.
  std::vector<std::string> ReloadedDrillColumn(db::TClientDataSet* details,
                                               const std::string& field) {
    s.cdsTabelaDrillAfterScroll(s.cdsTabelaDrill);
    return Column(details, field);
  }
  // (field, value) of each check `member` asked of the server about the
  // current drill table.
  std::vector<std::pair<std::string, std::string>> DrillChecks(const std::string& member) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const RecordedCall& c : h.Scripted().CallsOf(member)) {
      EXPECT_EQ(c.args[0].AsString(), s.cdsTabelaDrill->FieldByName("CDTABELADW")->AsString());
      out.emplace_back(c.args[1].AsString(), c.args[2].AsString());
    }
    return out;
  }
  // The field look-up, on which the person chooses the column `code`.
  void ExpectFieldChosen(const std::string& code) {
    h.ui().ExpectLookup(
        [code](db::TDataSource& source) {
          return source.DataSet()->Locate("CDFIELD", rtl::Variant(code), db::loNone);
        },
        "Campos");
  }
  std::vector<std::string> Calls() { return h.Scripted().CallNames(); }

  ScreenHarness h;
  qmx00600::TfrmEstrutura& s;
};

}  // namespace qmxtest
