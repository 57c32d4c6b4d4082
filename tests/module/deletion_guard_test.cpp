// The deletion guard: the question each kind of row asks, what Yes and No do
// on the server (real, behind a scripted one to read the arguments), and the
// kinds it does not know.
#include <gtest/gtest.h>

#include "appserver/rules/refusal.h"
#include "orb/busy.h"
#include "rtl/exceptions.h"
#include "screen_test_util.h"
#include "scripted_screen_test.h"
#include "support/other_desk.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using appserver::kChangedMeanwhile;
using qmx00600::TfrmEstrutura;

class DeletionGuard : public ScriptedScreenTest {
 protected:
  void ChooseDrillTable(const std::string& code) {
    h.Focus("dbgTabelaDrill");
    ASSERT_TRUE(s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant(code), db::loNone));
    Forget();
  }
  std::vector<RecordedCall> DropCalls() {
    std::vector<RecordedCall> drops;
    for (const RecordedCall& c : h.Scripted().CallsOf("getVdDelDrill"))
      if (c.args[1] == rtl::Variant(false)) drops.push_back(c);
    return drops;
  }
  void ExpectWarning(const Question& q, const std::string& text) {
    EXPECT_EQ(q.kind, QuestionKind::kMessageBox);
    EXPECT_EQ(q.text, text);
    EXPECT_EQ(q.caption, "Alerta");
    EXPECT_EQ(q.flags, kWarningFlags);
  }
};

TEST_F(DeletionGuard, ADrillTableNobodyUsesAsksOnlyThePlainConfirmation) {
  // FATO_COMPRAS registered as a drill table no fact drills into.
  h.Focus("dbgTabelaDrill");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  s.cdsTabelaDrill->FieldByName("CDTABELADW")->SetAsString("FATO_COMPRAS");
  s.cdsTabelaDrill->FieldByName("NMTABELADW")->SetAsString("Compras");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  ASSERT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  ChooseDrillTable("FATO_COMPRAS");

  h.ui().ExpectDialog(vcl::mrNo, "Confirma exclusão?");
  EXPECT_FALSE(s.pode_deletar("DRILL"));
  EXPECT_EQ(Calls(), std::vector<std::string>{"getVdDelDrill"});
  const auto asked = h.Scripted().CallsOf("getVdDelDrill");
  EXPECT_EQ(asked[0].args[0].AsString(), "FATO_COMPRAS");
  EXPECT_EQ(asked[0].args[1], rtl::Variant(true));
  EXPECT_EQ(h.ui().BusyLog().front().caption, "Recebendo dados do servidor");

  const int rows = s.cdsTabelaDrill->RecordCount();
  h.ui().ExpectDialog(vcl::mrYes, "Confirma exclusão?");
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_EQ(s.cdsTabelaDrill->RecordCount(), rows - 1);
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  EXPECT_TRUE(DropCalls().empty());
  EXPECT_TRUE(Contains(Calls(), "SetTabelaDrill"));
}

TEST_F(DeletionGuard, ADrillTableInUseNamesItsUsersAndYesDropsTheirLinksFirst) {
  ChooseDrillTable("DRILL_VENDAS_DIA");
  h.ui().ExpectMessageBox(vcl::IDNO);
  EXPECT_FALSE(s.pode_deletar("DRILL"));
  ASSERT_EQ(h.Questions().size(), 1u);
  ExpectWarning(h.Questions()[0],
                "A tabela \"FATO_VENDAS\" utiliza esta tabela como Drill.\r\nAo excluir o drill, "
                "esta referência deixará de existir.\r\nDeseja continuar?");
  EXPECT_EQ(Calls(), std::vector<std::string>{"getVdDelDrill"});

  // Yes through the toolbar: the links go, then the table.
  const int rows = s.cdsTabelaDrill->RecordCount();
  h.Scripted().ClearCalls();
  h.ui().ExpectMessageBox(vcl::IDYES);
  ASSERT_TRUE(h.Click("sbtExcluir"));
  const auto drops = DropCalls();
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].args[0].AsString(), "DRILL_VENDAS_DIA");
  ASSERT_EQ(drops[0].args.size(), 3u);  // with the version the answer carried
  EXPECT_FALSE(drops[0].args[2].AsString().empty());
  const std::vector<std::string> calls = Calls();
  const auto sent = std::find(calls.begin(), calls.end(), "SetTabelaDrill");
  ASSERT_NE(sent, calls.end());
  EXPECT_EQ(std::count(calls.begin(), sent, "getVdDelDrill"), 2);
  EXPECT_EQ(s.cdsTabelaDrill->RecordCount(), rows - 1);
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  EXPECT_FALSE(Contains(Column(s.cdsTabelaDrill, "CDTABELADW"), "DRILL_VENDAS_DIA"));
  // The facts of FATO_VENDAS no longer drill into it.
  h.Focus("dbgTabelaFatos");
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
  for (const std::string& d : Column(s.cdsFatos, "CDTABDRILL")) EXPECT_EQ(d, "");
}

TEST_F(DeletionGuard, ADrillTableUsedByTwoTablesNamesBothInOnePairOfQuotes) {
  ChooseDrillTable("DRILL_VENDAS_DIA");
  h.Scripted().Once("getVdDelDrill", [](std::vector<rtl::Variant>&) {
    return TextPacket({"CDTABELADW"}, {{"T1"}, {"T2"}});
  });
  h.ui().ExpectMessageBox(vcl::IDNO);
  EXPECT_FALSE(s.pode_deletar("DRILL"));
  ASSERT_EQ(h.Questions().size(), 1u);
  ExpectWarning(h.Questions()[0],
                "A tabelas \"T1, T2\" utilizam esta tabela como Drill.\r\nAo excluir o drill, "
                "esta referência deixará de existir.\r\nDeseja continuar?");
  EXPECT_TRUE(DropCalls().empty());
}

// A server that versions what a drill table's users were read from puts the
// version on the rows of its answer; the consent hands it back, so the server
// can refuse to drop uses the person was not shown.
TEST_F(DeletionGuard, TheVersionOfTheAnswerShownTravelsWithTheConsent) {
  ChooseDrillTable("DRILL_VENDAS_DIA");
  h.Scripted().Once("getVdDelDrill", [](std::vector<rtl::Variant>&) {
    return TextPacket({"CDTABELADW", "NRVERSAO"}, {{"FATO_VENDAS", "7"}, {"FATO_ESTOQUE", "7"}});
  });
  h.Scripted().Once("getVdDelDrill", ScriptedServer::Returns(rtl::Variant()));
  h.ui().ExpectMessageBox(vcl::IDYES);
  EXPECT_TRUE(s.pode_deletar("DRILL"));
  auto drops = DropCalls();
  ASSERT_EQ(drops.size(), 1u);
  ASSERT_EQ(drops[0].args.size(), 3u);
  EXPECT_EQ(drops[0].args[2].AsString(), "7");

  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("CD_CLIENTE"), db::loNone));
  h.Scripted().ClearCalls();
  h.Scripted().Once("getVdDrill", [](std::vector<rtl::Variant>&) {
    return TextPacket({"TABELAS", "NRVERSAO"}, {{"FATO_VENDAS", "12"}});
  });
  h.Scripted().Once("getVdDelDrill", ScriptedServer::Returns(rtl::Variant()));
  h.ui().ExpectMessageBox(vcl::IDYES);
  EXPECT_TRUE(s.pode_deletar("DIME_DRILL"));
  drops = DropCalls();
  ASSERT_EQ(drops.size(), 1u);
  ASSERT_EQ(drops[0].args.size(), 3u);
  EXPECT_EQ(drops[0].args[2].AsString(), "12");
}

TEST_F(DeletionGuard, FactsAndDimensionsOfAFactTableAskThePlainConfirmation) {
  for (const char* kind : {"FATOS", "DIME"}) {
    SCOPED_TRACE(kind);
    h.Scripted().ClearCalls();
    h.ui().ExpectDialog(vcl::mrNo, "Confirma exclusão?");
    EXPECT_FALSE(s.pode_deletar(kind));
    h.ui().ExpectDialog(vcl::mrYes, "Confirma exclusão?");
    EXPECT_TRUE(s.pode_deletar(kind));
    EXPECT_TRUE(Calls().empty());
  }
}

TEST_F(DeletionGuard, TheLastFactOfADrillTableWarnsAndYesDropsTheLinks) {
  // One of several facts: the plain confirmation, nothing asked of the server.
  ChooseDrillTable("DRILL_VENDAS_DIA");
  ASSERT_EQ(s.cdsFatosDrill->RecordCount(), 2);
  h.Scripted().ClearCalls();
  h.ui().ExpectDialog(vcl::mrYes, "Confirma exclusão?");
  EXPECT_TRUE(s.pode_deletar("FATOS_DRILL"));
  EXPECT_TRUE(Calls().empty());

  ChooseDrillTable("DRILL_ESTOQUE_LOTE");
  ASSERT_EQ(s.cdsFatosDrill->RecordCount(), 1);
  const std::string text =
      "A exclusão de todos os fatos em Tabela Drill causará inconsistência de dados.\r\nDeseja "
      "continuar?";
  h.ui().ExpectMessageBox(vcl::IDNO);
  EXPECT_FALSE(s.pode_deletar("FATOS_DRILL"));
  ExpectWarning(h.Questions().back(), text);
  EXPECT_TRUE(Calls().empty());

  h.ui().ExpectMessageBox(vcl::IDYES);
  EXPECT_TRUE(s.pode_deletar("FATOS_DRILL"));
  const auto drops = DropCalls();
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].args[0].AsString(), "DRILL_ESTOQUE_LOTE");
  EXPECT_EQ(Calls().size(), 1u);
  EXPECT_EQ(h.ui().BusyShowCount(), 0);
}

// Found by the random runs at two desks: the consent to drop the links into a
// drill table losing its last fact carried no version, so it dropped a link
// made at another desk after the person loaded the table.
TEST_F(DeletionGuard, TheLastFactDropsNoLinkMadeElsewhereSinceTheTableWasLoaded) {
  ChooseDrillTable("DRILL_ESTOQUE_LOTE");
  ASSERT_EQ(s.cdsFatosDrill->RecordCount(), 1);
  OtherDesk other(h.OtherSession());
  other.ChangeFact("FATO_ESTOQUE", "VL_CUSTO", "CDTABDRILL", "DRILL_ESTOQUE_LOTE");

  h.ui().ExpectMessageBox(vcl::IDYES);
  h.ui().ExpectError(kChangedMeanwhile);
  EXPECT_THROW(s.pode_deletar("FATOS_DRILL"), rtl::EAbort);
  const auto drops = DropCalls();
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].args.size(), 3u);  // with the version the list showed
  const db::Packet facts = other.Items("FATO_ESTOQUE", false).first;
  const size_t row = OtherDesk::RowIndex(facts, "CDITEMDW", "VL_CUSTO");
  EXPECT_EQ(facts.rows[row].values[static_cast<size_t>(facts.FieldIndex("CDTABDRILL"))],
            "DRILL_ESTOQUE_LOTE");
}

TEST_F(DeletionGuard, ADimensionOfADrillTableNamesTheTablesThatLoseTheirDrill) {
  ChooseDrillTable("DRILL_VENDAS_DIA");
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("CD_CLIENTE"), db::loNone));
  h.ui().ExpectMessageBox(vcl::IDNO);
  EXPECT_FALSE(s.pode_deletar("DIME_DRILL"));
  ExpectWarning(h.Questions().back(),
                "A exclusão desta dimensão fará com que a tabela \"FATO_VENDAS\" perca este "
                "drill.\r\nDeseja continuar?");
  const auto asked = h.Scripted().CallsOf("getVdDrill");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[0].AsString(), "DRILL_VENDAS_DIA");
  EXPECT_EQ(asked[0].args[1].AsString(), s.cdsDime->FieldByName("CDTABELADW")->AsString());
  EXPECT_EQ(asked[0].args[2].AsString(), "00001");
  EXPECT_EQ(asked[0].args[3].AsString(), "");
  EXPECT_TRUE(DropCalls().empty());

  h.ui().ExpectMessageBox(vcl::IDYES);
  EXPECT_TRUE(s.pode_deletar("DIME_DRILL"));
  ASSERT_EQ(DropCalls().size(), 1u);
  EXPECT_EQ(DropCalls()[0].args[0].AsString(), "DRILL_VENDAS_DIA");
  ASSERT_EQ(DropCalls()[0].args.size(), 3u);
  EXPECT_FALSE(DropCalls()[0].args[2].AsString().empty());

  // A dimension no fact table depends on: the plain confirmation.
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("DT_VENDA"), db::loNone));
  h.Scripted().ClearCalls();
  h.ui().ExpectDialog(vcl::mrNo, "Confirma exclusão?");
  EXPECT_FALSE(s.pode_deletar("DIME_DRILL"));
  EXPECT_EQ(Calls(), std::vector<std::string>{"getVdDrill"});

  // Several tables: the plural text, without quotes of its own.
  h.Scripted().Once("getVdDrill", [](std::vector<rtl::Variant>&) {
    return TextPacket({"TABELAS"}, {{"T1,T2"}});
  });
  h.ui().ExpectMessageBox(vcl::IDNO);
  EXPECT_FALSE(s.pode_deletar("DIME_DRILL"));
  ExpectWarning(h.Questions().back(),
                "A exclusão desta dimensão fará com que as tabelas T1,T2 percam este "
                "drill.\r\nDeseja continuar?");
}

// The other mode of the same check: the drill table of a fact being edited.
TEST_F(DeletionGuard, TheDrillTableOfAFactBeingEditedIsCheckedWithTheServer) {
  h.Scripted().ClearCalls();
  EXPECT_FALSE(s.vd_drillDown(false));  // browse: nothing to check
  EXPECT_TRUE(Calls().empty());
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_ESTOQUE"), db::loNone));
  s.cdsFatos->Edit();
  s.cdsFatos->FieldByName("CDTABDRILL")->SetAsString("DRILL_VENDAS_DIA");
  h.Scripted().ClearCalls();
  // FATO_ESTOQUE has dimension 00006, which DRILL_VENDAS_DIA lacks.
  h.ui().ExpectError("DRILL_VENDAS_DIA");
  EXPECT_THROW(s.vd_drillDown(false), rtl::EAbort);
  const auto asked = h.Scripted().CallsOf("getVdDrill");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[1].AsString(), "FATO_ESTOQUE");
  s.cdsFatos->FieldByName("CDTABDRILL")->SetAsString("DRILL_ESTOQUE_LOTE");
  EXPECT_FALSE(s.vd_drillDown(false));
  s.cdsFatos->Cancel();
}

TEST_F(DeletionGuard, AnyOtherKindIsRefusedWithoutAQuestion) {
  h.Scripted().ClearCalls();
  for (const char* kind : {"", "drill", "FATO", "TABELAS", "DIME_DRILL "})
    EXPECT_FALSE(s.pode_deletar(kind)) << kind;
  EXPECT_TRUE(h.Questions().empty());
  EXPECT_TRUE(Calls().empty());
}

TEST_F(DeletionGuard, AServerErrorInTheGuardDeletesNothing) {
  ChooseDrillTable("DRILL_VENDAS_DIA");
  const int rows = s.cdsTabelaDrill->RecordCount();
  h.Scripted().Once("getVdDelDrill", ScriptedServer::Refuses("Falha ao ler as referências."));
  h.ui().ExpectError("Falha ao ler as referências.");
  EXPECT_THROW(h.Click("sbtExcluir"), rtl::EAbort);
  EXPECT_EQ(s.cdsTabelaDrill->RecordCount(), rows);
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  EXPECT_FALSE(Contains(Calls(), "SetTabelaDrill"));
  EXPECT_FALSE(h.ui().BusyVisible());
}

}  // namespace
}  // namespace qmxtest
