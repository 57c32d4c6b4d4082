// Drill facts through the screen, as a person works them, against the real
// server (behind a scripted one that records the calls): adding with the
// picker, the stored forms, the checks asked and not asked, refusals, the key
// filters, and deleting through the guard or around it.
#include <gtest/gtest.h>

#include "db/packet.h"
#include "net/app_server.h"
#include "orb/busy.h"
#include "orb/local_cache.h"
#include "rtl/exceptions.h"
#include "screen_test_util.h"
#include "scripted_screen_test.h"
#include "vcl/control.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;

class DrillFacts : public ScriptedScreenTest {
 protected:
  // The drill table `code` chosen, then page 2 with its facts panel.
  void OpenFactsOf(const std::string& code) { OpenDrillPage(code, "dbgFatosDrill"); }
  // The drill facts of the current drill table as the server has them now.
  std::vector<std::string> Stored(const std::string& field) {
    return ReloadedDrillColumn(s.cdsFatosDrill, field);
  }
  // (field, value) of each validation asked of the server.
  std::vector<std::pair<std::string, std::string>> Checks() {
    return DrillChecks("getVdFatosDrill");
  }
  db::TField* F(const std::string& name) { return s.cdsFatosDrill->FieldByName(name); }
};

using Check = std::pair<std::string, std::string>;

TEST_F(DrillFacts, AFactAddedWithThePickerIsCheckedSavedAndStored) {
  OpenFactsOf("DRILL_VENDAS_DIA");
  orb::ClearLocalCacheChanges();
  ASSERT_TRUE(h.Click("sbtIncluir"));
  ASSERT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsInsert);
  EXPECT_EQ(F("CDTABDRILL")->AsString(), "DRILL_VENDAS_DIA");
  EXPECT_EQ(F("IDTPFATODRILL")->AsString(), "M");

  h.PickColumn("dbgFatosDrill", "CDITEMDRILL");
  ExpectFieldChosen("VL_DESCONTO");
  s.dbgFatosDrill->ClickEditButton();
  ASSERT_TRUE(OneCallWith(h.Scripted().CallsOf("GetFields"), {"F", "DRILL_VENDAS_DIA"}));
  // Only columns still free are offered: the drill table's own facts are not.
  EXPECT_FALSE(Contains(Column(s.cdsFields, "CDFIELD"), "VL_VENDA"));
  EXPECT_EQ(F("CDITEMDRILL")->AsString(), "VL_DESCONTO");
  EXPECT_TRUE(Checks().empty());  // a picked value is checked on leaving the column

  h.PickColumn("dbgFatosDrill", "NMITEMDRILL");
  EXPECT_EQ(Checks(), (std::vector<Check>{{"CDITEMDRILL", "VL_DESCONTO"}}));
  h.Type("dbgFatosDrill", "Desconto no dia");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsFatosDrill->ChangeCount(), 0);
  // A new row is judged whole again before the post.
  EXPECT_EQ(Checks(), (std::vector<Check>{{"CDITEMDRILL", "VL_DESCONTO"},
                                          {"CDITEMDRILL", "VL_DESCONTO"},
                                          {"NMITEMDRILL", "DESCONTO NO DIA"}}));
  EXPECT_EQ(h.Scripted().CallsOf("SetFatosDrill").size(), 1u);
  EXPECT_EQ(orb::LocalCacheChangeCount("ITEMDRILL"), 1);
  EXPECT_TRUE(s.tshPadrao->Enabled() && s.pnlDImensoes->Enabled());

  EXPECT_TRUE(Contains(Stored("CDITEMDRILL"), "VL_DESCONTO"));
  ASSERT_TRUE(s.cdsFatosDrill->Locate("CDITEMDRILL", rtl::Variant("VL_DESCONTO"), db::loNone));
  EXPECT_EQ(F("NMITEMDRILL")->AsString(), "Desconto no dia");
  EXPECT_EQ(F("IDTPFATODRILL")->AsString(), "M");
}

TEST_F(DrillFacts, ATypedColumnIsUpperCasedAndStoredWithoutBlanks) {
  OpenFactsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgFatosDrill", "CDITEMDRILL");
  h.Type("dbgFatosDrill", "nr _nota");
  EXPECT_EQ(s.dbgFatosDrill->EditorText(), "NR _NOTA");
  h.PickColumn("dbgFatosDrill", "NMITEMDRILL");
  EXPECT_EQ(F("CDITEMDRILL")->AsString(), "NR_NOTA");
  h.Type("dbgFatosDrill", "Número da nota");
  // The type column takes nothing typed and no Delete; its pick list works.
  h.PickColumn("dbgFatosDrill", "IDTPFATODRILL");
  h.Type("dbgFatosDrill", "Pq");
  h.Press("dbgFatosDrill", vcl::VK_DELETE);
  h.Press("dbgFatosDrill", vcl::VK_DELETE, vcl::ssCtrl);
  EXPECT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsInsert);
  EXPECT_EQ(F("IDTPFATODRILL")->AsString(), "M");
  F("IDTPFATODRILL")->SetText("Percentual");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  ASSERT_EQ(s.cdsFatosDrill->ChangeCount(), 0);

  const auto sent = h.Scripted().CallsOf("SetFatosDrill");
  ASSERT_EQ(sent.size(), 1u);
  const db::Packet delta = db::PacketFromVariant(sent[0].args[0]);
  ASSERT_EQ(delta.rows.size(), 1u);
  EXPECT_EQ(delta.rows[0].values[delta.FieldIndex("CDITEMDRILL")], "NR_NOTA");
  EXPECT_EQ(delta.rows[0].values[delta.FieldIndex("IDTPFATODRILL")], "P");
  EXPECT_TRUE(Contains(Stored("CDITEMDRILL"), "NR_NOTA"));
}

TEST_F(DrillFacts, AnEditChangingOnlyLetterCaseAsksNothing) {
  OpenFactsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(s.cdsFatosDrill->Locate("CDITEMDRILL", rtl::Variant("VL_VENDA"), db::loNone));
  s.cdsFatosDrill->Edit();
  F("NMITEMDRILL")->SetAsString("VALOR VENDIDO NO DIA");
  F("CDITEMDRILL")->SetAsString("vl_venda");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_TRUE(Checks().empty());
  EXPECT_EQ(h.Scripted().CallsOf("SetFatosDrill").size(), 1u);
  // In edit the column is not normalised here; the server stores its form.
  EXPECT_EQ(F("CDITEMDRILL")->AsString(), "vl_venda");
  EXPECT_TRUE(Contains(Stored("CDITEMDRILL"), "VL_VENDA"));
  ASSERT_TRUE(s.cdsFatosDrill->Locate("CDITEMDRILL", rtl::Variant("VL_VENDA"), db::loNone));
  EXPECT_EQ(F("NMITEMDRILL")->AsString(), "VALOR VENDIDO NO DIA");

  // Any other change is asked about; a post with nothing pending sends nothing.
  h.Scripted().ClearCalls();
  s.cdsFatosDrill->Edit();
  F("NMITEMDRILL")->SetAsString("VALOR VENDIDO NO  DIA");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(Checks(), (std::vector<Check>{{"NMITEMDRILL", "VALOR VENDIDO NO  DIA"}}));
  h.Scripted().ClearCalls();
  s.cdsFatosDrillAfterPost(s.cdsFatosDrill);
  EXPECT_TRUE(h.Scripted().CallsOf("SetFatosDrill").empty());
}

TEST_F(DrillFacts, RequiredFieldsAndServerRefusalsKeepTheRowOpen) {
  OpenFactsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgFatosDrill", "CDITEMDRILL");
  h.PickColumn("dbgFatosDrill", "NMITEMDRILL");  // leaving an empty column says nothing
  EXPECT_TRUE(h.Questions().empty());
  h.ui().ExpectError("Campo deve ser informado.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.dbgFatosDrill->SelectedField(), F("CDITEMDRILL"));
  EXPECT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsInsert);
  EXPECT_TRUE(Checks().empty());

  // A text column cannot hold a fact: the server's message, the column stays.
  h.Type("dbgFatosDrill", "cd_regiao");
  h.ui().ExpectError("Tipo de campo inválido");
  EXPECT_THROW(h.PickColumn("dbgFatosDrill", "NMITEMDRILL"), rtl::EAbort);
  EXPECT_EQ(s.dbgFatosDrill->SelectedField(), F("CDITEMDRILL"));
  EXPECT_FALSE(h.ui().BusyVisible());

  F("CDITEMDRILL")->SetAsString("NR_NOTA");
  h.ui().ExpectError("Nome deve ser informado.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.dbgFatosDrill->SelectedField(), F("NMITEMDRILL"));

  // A name the drill table already has, in another letter case.
  F("NMITEMDRILL")->SetAsString("quantidade vendida no dia");
  h.ui().ExpectError("Nome já cadastrado.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsInsert);
  EXPECT_EQ(F("NMITEMDRILL")->AsString(), "quantidade vendida no dia");
  EXPECT_TRUE(h.Scripted().CallsOf("SetFatosDrill").empty());
  EXPECT_FALSE(s.tshPadrao->Enabled());
}

// A column another person registered in the meantime: the checks passed, the
// save is refused with the catalogue's message, and the row comes back open.
TEST_F(DrillFacts, ASaveTheServerRefusesGivesTheRowBackOpen) {
  OpenFactsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  F("CDITEMDRILL")->SetAsString("vl_venda");
  F("NMITEMDRILL")->SetAsString("Outro valor");
  h.Scripted().On("getVdFatosDrill", ScriptedServer::Returns(rtl::Variant()));
  h.ui().ExpectError("Campo já cadastrado");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(h.Scripted().CallsOf("SetFatosDrill").size(), 1u);
  EXPECT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsInsert);
  EXPECT_EQ(F("CDITEMDRILL")->AsString(), "VL_VENDA");
  EXPECT_EQ(F("NMITEMDRILL")->AsString(), "Outro valor");
  EXPECT_EQ(s.cdsFatosDrill->ChangeCount(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());
  // Corrected, it is stored alone.
  F("CDITEMDRILL")->SetAsString("VL_DESCONTO");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  const auto sent = h.Scripted().CallsOf("SetFatosDrill");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(db::PacketFromVariant(sent[0].args[0]).rows.size(), 1u);
  EXPECT_TRUE(Contains(Stored("CDITEMDRILL"), "VL_DESCONTO"));
}

TEST_F(DrillFacts, ThePickerWithNothingFreeOrTheSameColumnChangesNothing) {
  OpenFactsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(s.cdsFatosDrill->Locate("CDITEMDRILL", rtl::Variant("VL_VENDA"), db::loNone));
  h.PickColumn("dbgFatosDrill", "CDITEMDRILL");
  h.Scripted().Once("GetFields", ScriptedServer::Returns(TextPacket({"CDFIELD"}, {})));
  h.ui().ExpectError("Não há campos disponíveis para a criação de fatos.");
  EXPECT_THROW(s.dbgFatosDrill->ClickEditButton(), rtl::EAbort);
  EXPECT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsBrowse);
  EXPECT_FALSE(h.ui().BusyVisible());

  h.Scripted().Once("GetFields",
                    ScriptedServer::Returns(TextPacket({"CDFIELD"}, {{"NR_NOTA"}, {"VL_VENDA"}})));
  ExpectFieldChosen("VL_VENDA");
  s.dbgFatosDrill->ClickEditButton();
  EXPECT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsBrowse);
  ExpectFieldChosen("NR_NOTA");
  s.dbgFatosDrill->ClickEditButton();
  EXPECT_EQ(s.cdsFatosDrill->State(), TDataSetState::dsEdit);
  EXPECT_EQ(F("CDITEMDRILL")->AsString(), "NR_NOTA");
  s.cdsFatosDrill->Cancel();

  // The ellipsis of another column opens nothing.
  h.PickColumn("dbgFatosDrill", "NMITEMDRILL");
  h.Scripted().ClearCalls();
  s.dbgFatosDrill->ClickEditButton();
  EXPECT_TRUE(h.Scripted().CallsOf("GetFields").empty());
}

TEST_F(DrillFacts, TheOnlyFactGoesOnlyAfterItsDrillLinksAreDropped) {
  OpenFactsOf("DRILL_ESTOQUE_LOTE");
  ASSERT_EQ(s.cdsFatosDrill->RecordCount(), 1);
  h.ui().ExpectMessageBox(vcl::IDNO, "inconsistência");
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_EQ(s.cdsFatosDrill->RecordCount(), 1);
  EXPECT_TRUE(h.Scripted().CallsOf("SetFatosDrill").empty());

  h.ui().ExpectMessageBox(vcl::IDYES, "inconsistência");
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_EQ(s.cdsFatosDrill->RecordCount(), 0);
  EXPECT_EQ(s.cdsFatosDrill->ChangeCount(), 0);
  const std::vector<std::string> calls = h.Scripted().CallNames();
  const auto save = std::find(calls.begin(), calls.end(), "SetFatosDrill");
  ASSERT_NE(save, calls.end());
  EXPECT_NE(std::find(calls.begin(), save, "getVdDelDrill"), save);
  EXPECT_TRUE(Stored("CDITEMDRILL").empty());
  // FATO_ESTOQUE no longer drills into it.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshPadrao));
  h.Focus("dbgTabelaFatos");
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_ESTOQUE"), db::loNone));
  for (const std::string& d : Column(s.cdsFatos, "CDTABDRILL")) EXPECT_EQ(d, "");
}

// Ctrl+Delete in the grid passes by the guard; the server refuses to leave
// FATO_ESTOQUE drilling into a table without facts, and the row comes back.
TEST_F(DrillFacts, ADeleteTheServerRefusesIsUndone) {
  OpenFactsOf("DRILL_ESTOQUE_LOTE");
  h.PickColumn("dbgFatosDrill", "NMITEMDRILL");
  h.ui().ExpectDialog(vcl::mrYes, "Excluir");
  h.ui().ExpectError("Não há fatos cadastrados para a tabela \"DRILL_ESTOQUE_LOTE\".");
  EXPECT_THROW(h.Press("dbgFatosDrill", vcl::VK_DELETE, vcl::ssCtrl), rtl::EAbort);
  EXPECT_EQ(Column(s.cdsFatosDrill, "CDITEMDRILL"), std::vector<std::string>{"QT_ESTOQUE"});
  EXPECT_EQ(s.cdsFatosDrill->ChangeCount(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());

  // The next change travels alone and is stored.
  h.Scripted().ClearCalls();
  s.cdsFatosDrill->Edit();
  F("NMITEMDRILL")->SetAsString("Quantidade por lote");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  const auto sent = h.Scripted().CallsOf("SetFatosDrill");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(db::PacketFromVariant(sent[0].args[0]).rows.size(), 1u);
  EXPECT_EQ(Stored("NMITEMDRILL"), std::vector<std::string>{"Quantidade por lote"});
}

}  // namespace
}  // namespace qmxtest
