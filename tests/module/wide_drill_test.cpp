// Drill links that fan out widely, worked through the screen: one drill table
// that 500 fact tables drill into, and one fact table that drills into 500
// drill tables. Every question that lists tables names all of them; Yes drops
// every link it named and makes the change, No changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "rtl/exceptions.h"
#include "screen_test_util.h"
#include "scripted_screen_test.h"
#include "support/wide_drill.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

constexpr int kWide = 500;

std::string Joined(const std::vector<std::string>& codes, const std::string& separator) {
  std::string out;
  for (const std::string& c : codes) out += (out.empty() ? "" : separator) + c;
  return out;
}

// The server lists tables by code, byte by byte.
std::vector<std::string> InServerOrder(std::vector<std::string> codes) {
  std::sort(codes.begin(), codes.end());
  return codes;
}

void Load(ScreenHarness& h, const std::vector<std::string>& statements) {
  h.Execute(InOneTransaction(statements));
}

class WideDrillTest : public ScriptedScreenTest {
 protected:
  explicit WideDrillTest(const std::function<void(ScreenHarness&)>& prepare)
      : ScriptedScreenTest(prepare) {}

  void ExpectWarning(const std::string& text) {
    ASSERT_EQ(h.Questions().size(), 1u);
    const Question& q = h.Questions()[0];
    EXPECT_EQ(q.kind, QuestionKind::kMessageBox);
    EXPECT_EQ(q.text, text);
    EXPECT_EQ(q.caption, "Alerta");
    EXPECT_EQ(q.flags, kWarningFlags);
  }
  // The fact tables drilling into `drill`, asked on a connection of its own.
  std::vector<std::string> UsersOf(const std::string& drill) {
    std::vector<rtl::Variant> args{rtl::Variant(drill), rtl::Variant(true)};
    db::TClientDataSet users(nullptr);
    users.SetData(h.OtherSession()->Invoke("getVdDelDrill", args));
    return Column(&users, "CDTABELADW");
  }
};

// ---- one drill table, 500 fact tables --------------------------------------------

const std::string kDrill = WideCode("DRILL_MOVIMENTO_DIARIO", 0);
const std::vector<std::string> kUsers = InServerOrder(WideCodes("FATO_MOVIMENTO_DIARIOS", kWide));

class WideFanIn : public WideDrillTest {
 protected:
  WideFanIn() : WideDrillTest([](ScreenHarness& h) { Load(h, FanInSql(kDrill, kUsers)); }) {}
};

TEST_F(WideFanIn, LosingADrillDimensionNamesAllFiveHundredTables) {
  OpenDrillPage(kDrill, "dbgDimensoes");
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("CD_PRODUTO"), db::loNone));
  const std::string question = "A exclusão desta dimensão fará com que as tabelas " +
                               Joined(kUsers, ", ") + " percam este drill.\r\nDeseja continuar?";

  h.ui().ExpectMessageBox(vcl::IDNO);
  EXPECT_FALSE(s.pode_deletar("DIME_DRILL"));
  ExpectWarning(question);
  EXPECT_EQ(UsersOf(kDrill), kUsers);
  EXPECT_TRUE(Contains(ReloadedDrillColumn(s.cdsDimeDrill, "CDDIMEDRILL"), "CD_PRODUTO"));

  Forget();
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("CD_PRODUTO"), db::loNone));
  h.ui().ExpectMessageBox(vcl::IDYES);
  ASSERT_TRUE(h.Click("sbtExcluir"));
  ExpectWarning(question);
  EXPECT_TRUE(UsersOf(kDrill).empty());
  EXPECT_FALSE(Contains(ReloadedDrillColumn(s.cdsDimeDrill, "CDDIMEDRILL"), "CD_PRODUTO"));
}

TEST_F(WideFanIn, DeletingTheDrillTableNamesAllFiveHundredUsers) {
  h.Focus("dbgTabelaDrill");
  ASSERT_TRUE(s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant(kDrill), db::loNone));
  Forget();
  const std::string question = "A tabelas \"" + Joined(kUsers, ", ") +
                               "\" utilizam esta tabela como Drill.\r\nAo excluir o drill, esta "
                               "referência deixará de existir.\r\nDeseja continuar?";
  h.ui().ExpectMessageBox(vcl::IDNO);
  EXPECT_FALSE(s.pode_deletar("DRILL"));
  ExpectWarning(question);
  EXPECT_EQ(UsersOf(kDrill), kUsers);

  Forget();
  h.ui().ExpectMessageBox(vcl::IDYES);
  ASSERT_TRUE(h.Click("sbtExcluir"));
  ExpectWarning(question);
  EXPECT_TRUE(UsersOf(kDrill).empty());
  EXPECT_FALSE(Contains(Column(s.cdsTabelaDrill, "CDTABELADW"), kDrill));
}

// ---- one fact table, 500 drill tables --------------------------------------------

const std::string kFact = WideCode("FATO_ESTOQUE_POR_LOTES", 1);
const std::vector<std::string> kTargets = InServerOrder(WideCodes("DRILL_ESTOQUE_POR_LOTE", kWide));

class WideFanOut : public WideDrillTest {
 protected:
  WideFanOut() : WideDrillTest([](ScreenHarness& h) { Load(h, FanOutSql(kFact, kTargets)); }) {}
  void SetUp() override {
    ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant(kFact), db::loNone));
    ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
    h.Focus("dbgDimensoes");
    Forget();
  }
  // The drill tables of the fact table's facts, fetched again.
  std::vector<std::string> Targets() {
    s.cdsTabelasAfterScroll(s.cdsTabelas);
    std::vector<std::string> targets;
    for (const std::string& d : Column(s.cdsFatos, "CDTABDRILL"))
      if (!d.empty()) targets.push_back(d);
    std::sort(targets.begin(), targets.end());
    return targets;
  }
  std::vector<std::string> Dimensions() { return Column(s.cdsDime, "NRSEQUEDIME"); }
  // Posts the row: No to the question abandons the post silently.
  void Confirm(int answer) {
    if (answer == vcl::IDNO)
      EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
    else
      EXPECT_TRUE(h.Click("sbtConfirmar"));
    EXPECT_EQ(s.cdsDime->State(), db::TDataSetState::dsBrowse);
    EXPECT_EQ(s.cdsDime->ChangeCount(), 0);
  }
};

TEST_F(WideFanOut, ANewDimensionNamesAllFiveHundredDrillTables) {
  auto add_month = [this](int answer) {
    h.ui().ExpectMessageBox(answer);
    ASSERT_TRUE(h.Click("sbtIncluir"));
    h.PickColumn("dbgDimensoes", "CDITEMDIME");
    h.Type("dbgDimensoes", "CD_MES");
    h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
    h.Type("dbgDimensoes", "3");
    Confirm(answer);
  };
  const std::string question = "A tabela \"" + kFact +
                               "\" terá dimensões inconsistentes com as tabelas drill \"" +
                               Joined(kTargets, ", ") + "\".\r\nConfirma Inclusão?";
  add_month(vcl::IDNO);
  ExpectWarning(question);
  EXPECT_EQ(Targets(), kTargets);
  EXPECT_EQ(Dimensions(), (std::vector<std::string>{"00001", "00002"}));

  Forget();
  add_month(vcl::IDYES);
  ExpectWarning(question);
  EXPECT_TRUE(Targets().empty());
  EXPECT_EQ(Dimensions(), (std::vector<std::string>{"00001", "00003", "00002"}));  // by column
}

TEST_F(WideFanOut, ChangingADimensionNamesAllFiveHundredDrillTables) {
  auto change_product_to_month = [this](int answer) {
    h.ui().ExpectMessageBox(answer);
    ASSERT_TRUE(s.cdsDime->Locate("CDITEMDIME", rtl::Variant("CD_PRODUTO"), db::loNone));
    ASSERT_TRUE(h.Click("sbtAlterar"));
    h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
    s.dbgDimensoes->SetEditorText("00003");
    Confirm(answer);
  };
  std::string listed;
  for (size_t i = 0; i < kTargets.size(); ++i)
    listed += " \"" + kTargets[i] + "\"" +
              (i + 2 == kTargets.size()  ? " e"
               : i + 1 < kTargets.size() ? ","
                                         : "");
  const std::string question =
      "A alteração desta dimensão poderá anular a funcionalidade de drill down da tabela fato. "
      "A ligação com as tabelas " +
      listed + " será afetada.\r\nDeseja continuar?";
  change_product_to_month(vcl::IDNO);
  ExpectWarning(question);
  EXPECT_EQ(Targets(), kTargets);
  EXPECT_EQ(Dimensions(), (std::vector<std::string>{"00001", "00002"}));

  Forget();
  change_product_to_month(vcl::IDYES);
  ExpectWarning(question);
  EXPECT_TRUE(Targets().empty());
  EXPECT_EQ(Dimensions(), (std::vector<std::string>{"00001", "00003"}));
}

}  // namespace
}  // namespace qmxtest
