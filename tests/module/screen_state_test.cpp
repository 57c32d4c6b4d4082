// Screen state: which commands each state offers, the lock of the rest of
// the screen while a row is edited, and the screen flags across page and
// panel changes, on both sides (fact table and drill table chosen).
#include <gtest/gtest.h>

#include "orb/busy.h"
#include "scripted_screen_test.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;

// add, edit, delete, search, verify, cancel, confirm.
using Commands = std::array<bool, 7>;

Commands Buttons(const TfrmEstrutura& s) {
  return {s.sbtIncluir->Enabled(),  s.sbtAlterar->Enabled(),   s.sbtExcluir->Enabled(),
          s.sbtProcurar->Enabled(), s.sbtVerificar->Enabled(), s.sbtCancelar->Enabled(),
          s.sbtConfirmar->Enabled()};
}

Commands MenuItems(const TfrmEstrutura& s) {
  return {s.mnuIncluir->Enabled(),  s.mnuAlterar->Enabled(),   s.mnuExcluir->Enabled(),
          s.mnuProcurar->Enabled(), s.mnuVerificar->Enabled(), s.mnuCancelar->Enabled(),
          s.mnuConfirmar->Enabled()};
}

constexpr Commands kBrowseWithRows{true, true, true, true, true, false, false};
constexpr Commands kBrowseEmpty{true, false, false, false, false, false, false};
constexpr Commands kEditing{false, false, false, false, false, true, true};
constexpr Commands kNone{false, false, false, false, false, false, false};

class ScreenState : public ScriptedScreenTest {
 protected:
  void ExpectCommands(const Commands& expected, bool navigator) {
    EXPECT_EQ(Buttons(s), expected);
    EXPECT_EQ(MenuItems(s), expected);
    EXPECT_EQ(s.dbnPadrao->Enabled(), navigator);
    // Print is never offered.
    EXPECT_FALSE(s.sbtImprimir->Enabled());
    EXPECT_FALSE(s.mnuListagem->Enabled());
  }
  void CancelWithYes() {
    h.ui().ExpectDialog(vcl::mrYes, "Cancela");
    ASSERT_TRUE(h.Click("sbtCancelar"));
  }
};

TEST_F(ScreenState, TheCommandsFollowTheStateOfTheList) {
  ExpectCommands(kBrowseWithRows, true);
  ASSERT_TRUE(h.Click("sbtIncluir"));
  ExpectCommands(kEditing, false);
  // Commands the state does not offer cannot be clicked.
  EXPECT_FALSE(h.Click("sbtIncluir"));
  EXPECT_FALSE(h.Click("sbtExcluir"));
  CancelWithYes();
  ExpectCommands(kBrowseWithRows, true);

  // An empty list offers add only, and the navigator.
  h.Focus("dbgTabelaDrill");
  h.Scripted().Once("GetTabelas", [](std::vector<rtl::Variant>&) { return TablesPacket({}); });
  ASSERT_TRUE(h.Click("sbtVerificar"));
  EXPECT_EQ(s.cdsTabelaDrill->RecordCount(), 0);
  ExpectCommands(kBrowseEmpty, true);
  // The detail page has nothing to show for an empty list.
  EXPECT_FALSE(s.tshDados->Enabled());

  // A list that is not open offers nothing.
  s.cdsTabelaDrill->Close();
  ExpectCommands(kNone, false);
  s.controlaBotoes(nullptr);
  ExpectCommands(kNone, false);
}

TEST_F(ScreenState, EditingATableLocksPage2AndTheOtherList) {
  ASSERT_TRUE(h.Click("sbtAlterar"));
  EXPECT_FALSE(s.tshDados->Enabled());
  EXPECT_FALSE(s.panClientFatos->Enabled());
  EXPECT_TRUE(s.PanTopFatos->Enabled());
  EXPECT_FALSE(s.pgcPadrao->SelectTab(s.tshDados));
  EXPECT_FALSE(s.dbgTabelaDrill->CanFocus());
  CancelWithYes();
  EXPECT_TRUE(s.tshDados->Enabled());
  EXPECT_TRUE(s.panClientFatos->Enabled());

  h.Focus("dbgTabelaDrill");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  EXPECT_EQ(s.cdsTabelaDrill->State(), TDataSetState::dsInsert);
  EXPECT_FALSE(s.tshDados->Enabled());
  EXPECT_FALSE(s.PanTopFatos->Enabled());
  EXPECT_TRUE(s.panClientFatos->Enabled());
  ExpectCommands(kEditing, false);
  // The drill list has no after-cancel of its own; cancelling still unlocks.
  CancelWithYes();
  EXPECT_EQ(s.cdsTabelaDrill->State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(s.tshDados->Enabled());
  EXPECT_TRUE(s.PanTopFatos->Enabled());
}

// The screen opens in the fact-table grid, so the person's first click on
// the drill-table grid is the one focus move: that list becomes current.
TEST(ScreenOpening, TheFirstClickOnTheDrillListMakesItCurrent) {
  ScreenHarness h(Backend::kScripted);
  TfrmEstrutura& s = OpenLinkedScreen(h);
  EXPECT_TRUE(s.dbgTabelaFatos->Focused());
  EXPECT_EQ(s.dbnPadrao->DataSource(), s.dtsPadrao);
  s.dbgTabelaDrill->ClickCell(1, 1);
  EXPECT_TRUE(s.dbgTabelaDrill->Focused());
  EXPECT_EQ(s.dbnPadrao->DataSource(), s.dtsTabelaDrill);
  EXPECT_EQ(s.dbtNome->DataSource(), s.dtsTabelaDrill);
  EXPECT_EQ(s.TargetList().dataset, s.cdsTabelaDrill);
}

TEST_F(ScreenState, TheFlagsFollowPagesAndPanels) {
  EXPECT_FALSE(s.Flags().bodados);
  EXPECT_TRUE(s.Flags().bofatos);
  EXPECT_FALSE(s.Flags().bomarcatodos);

  // Fact table chosen, facts panel last active (as created).
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  EXPECT_TRUE(s.Flags().bodados);
  EXPECT_TRUE(s.dbgFatos->Focused());
  EXPECT_TRUE(s.dbgFatos->Visible() && s.dbgFatos->Enabled());
  EXPECT_FALSE(s.dbgFatosDrill->Visible() || s.dbgFatosDrill->Enabled());
  EXPECT_EQ(s.lblFatos->Caption(), " Fatos");
  EXPECT_EQ(s.lblDimensoes->Caption(), " Dimensões");

  h.Focus("dbgDimensoes");
  EXPECT_FALSE(s.Flags().bofatos);
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  EXPECT_FALSE(s.Flags().bodados);
  EXPECT_FALSE(s.Flags().bofatos);  // kept across pages
  EXPECT_TRUE(s.dbgTabelaFatos->Focused());
  ExpectCommands(kBrowseWithRows, true);

  // Drill table chosen: back on page 2 the dimension grid is rebound to the
  // drill side before it takes the focus.
  h.Focus("dbgTabelaDrill");
  s.dbgDimensoes->SetDataSource(s.dtsDime);
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  EXPECT_EQ(s.dbgDimensoes->DataSource(), s.dtsDimeDrill);
  EXPECT_EQ(s.dbgDimensoes->Columns()[0]->FieldName(), "CDDIMEDRILL");
  EXPECT_TRUE(s.dbgDimensoes->Focused());
  EXPECT_TRUE(s.dbgFatosDrill->Visible() && s.dbgFatosDrill->Enabled());
  EXPECT_FALSE(s.dbgFatos->Visible() || s.dbgFatos->Enabled());
  EXPECT_EQ(s.lblFatos->Caption(), " Fatos Drill");
  EXPECT_EQ(s.lblDimensoes->Caption(), " Dimensões Drill");

  h.Focus("dbgFatosDrill");
  EXPECT_TRUE(s.Flags().bofatos);
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  EXPECT_TRUE(s.dbgTabelaDrill->Focused());
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  EXPECT_TRUE(s.dbgFatosDrill->Focused());

  // Back to the fact table: the fact grid and the fact-side dimensions.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  h.Focus("dbgTabelaFatos");
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  EXPECT_TRUE(s.dbgFatos->Focused());
  EXPECT_EQ(s.dbgDimensoes->DataSource(), s.dtsDime);
  EXPECT_EQ(s.dbgDimensoes->Columns()[0]->FieldName(), "CDITEMDIME");
}

TEST_F(ScreenState, EditingADetailRowLocksPage1AndTheOtherPanel) {
  const std::string table = s.cdsTabelas->FieldByName("CDTABELADW")->AsString();
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  ASSERT_TRUE(h.Click("sbtIncluir"));
  ASSERT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsFatos->FieldByName("CDTABELADW")->AsString(), table);
  EXPECT_EQ(s.cdsFatos->FieldByName("IDFATODW")->AsString(), "S");
  EXPECT_EQ(s.cdsFatos->FieldByName("IDTPFATODW")->AsString(), "M");
  ExpectCommands(kEditing, false);
  EXPECT_FALSE(s.tshPadrao->Enabled());
  EXPECT_FALSE(s.pnlDImensoes->Enabled());
  EXPECT_FALSE(s.pgcPadrao->SelectTab(s.tshPadrao));
  EXPECT_FALSE(s.dbgDimensoes->CanFocus());
  CancelWithYes();
  EXPECT_TRUE(s.tshPadrao->Enabled());
  EXPECT_TRUE(s.pnlDImensoes->Enabled());
  ExpectCommands(kBrowseWithRows, true);

  h.Focus("dbgDimensoes");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  ASSERT_EQ(s.cdsDime->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsDime->FieldByName("CDTABELADW")->AsString(), table);
  EXPECT_FALSE(s.tshPadrao->Enabled());
  EXPECT_FALSE(s.pnlFatos->Enabled());
  EXPECT_TRUE(s.pnlDImensoes->Enabled());
  CancelWithYes();
  EXPECT_TRUE(s.pnlFatos->Enabled());

  // The drill side gives its own defaults.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  h.Focus("dbgTabelaDrill");
  const std::string drill = s.cdsTabelaDrill->FieldByName("CDTABELADW")->AsString();
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));  // dimensions panel, as left
  ASSERT_TRUE(h.Click("sbtIncluir"));
  ASSERT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsDimeDrill->FieldByName("CDTABDRILL")->AsString(), drill);
  EXPECT_FALSE(s.pnlFatos->Enabled());
  CancelWithYes();
  h.Focus("dbgFatosDrill");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  ASSERT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsFatosDrill->FieldByName("CDTABDRILL")->AsString(), drill);
  EXPECT_EQ(s.cdsFatosDrill->FieldByName("IDTPFATODRILL")->AsString(), "M");
  EXPECT_FALSE(s.pnlDImensoes->Enabled());
  EXPECT_FALSE(s.tshPadrao->Enabled());
  CancelWithYes();
  EXPECT_TRUE(s.tshPadrao->Enabled());
}

// While page 1 is active the detail lists do not touch the toolbar, even
// when their datasets are reloaded or closed.
TEST_F(ScreenState, DetailReloadsOnPage1LeaveTheToolbarToTheList) {
  h.Focus("dbgTabelaDrill");
  h.Scripted().Once("GetTabelas", [](std::vector<rtl::Variant>&) { return TablesPacket({}); });
  ASSERT_TRUE(h.Click("sbtVerificar"));
  ExpectCommands(kBrowseEmpty, true);
  s.cdsFatos->Close();
  s.cdsDime->Close();
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_ESTOQUE"), db::loNone));
  s.cdsFatosDrill->Close();
  ExpectCommands(kBrowseEmpty, true);
  EXPECT_TRUE(s.tshPadrao->Enabled());
  EXPECT_TRUE(s.pnlFatos->Enabled() && s.pnlDImensoes->Enabled());
}

}  // namespace
}  // namespace qmxtest
