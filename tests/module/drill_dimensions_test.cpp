// Drill dimensions through the screen against the real server (behind a
// scripted one that records the calls and, where the real one never names
// tables, answers the consistency question's list): the stored forms, the
// checks asked and not asked, the question with Yes and No, and deletes.
#include <gtest/gtest.h>

#include "db/packet.h"
#include "orb/busy.h"
#include "rtl/exceptions.h"
#include "screen_test_util.h"
#include "scripted_screen_test.h"
#include "vcl/control.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;

class DrillDimensions : public ScriptedScreenTest {
 protected:
  // The drill table `code` chosen, then page 2 with its dimension panel.
  void OpenDimensionsOf(const std::string& code) {
    ASSERT_NO_FATAL_FAILURE(OpenDrillPage(code, "dbgDimensoes"));
    ASSERT_EQ(s.dbgDimensoes->DataSource(), s.dtsDimeDrill);
  }
  // The drill dimensions of the current drill table as the server has them.
  std::vector<std::string> Stored(const std::string& field) {
    return ReloadedDrillColumn(s.cdsDimeDrill, field);
  }
  std::vector<std::pair<std::string, std::string>> Checks() {
    return DrillChecks("getVdDimeDrill");
  }
  // The next getVdDimeDrill names `tables`.
  void NextCheckNames(const std::string& tables) {
    h.Scripted().Once("getVdDimeDrill",
                      ScriptedServer::Returns(TextPacket({"TABELAS"}, {{tables}})));
  }
  // The drill tables the facts of fact table `fact` drill into, from the server.
  std::vector<std::string> DrillLinksOf(const std::string& fact) {
    rtl::Variant dimensions, facts;
    s.Server().GetDimeFatos(fact, dimensions, facts);
    db::TClientDataSet rows(nullptr);
    rows.SetData(facts);
    return Column(&rows, "CDTABDRILL");
  }
  db::TField* F(const std::string& name) { return s.cdsDimeDrill->FieldByName(name); }
};

using Check = std::pair<std::string, std::string>;

// In edit state too the values are brought to their stored form, and only a
// value that then differs from the saved one goes to the server.
TEST_F(DrillDimensions, AnEditIsNormalisedAndCheckedOnlyWhenChanged) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("CD_MES"), db::loNone));
  s.cdsDimeDrill->Edit();
  F("CDDIMEDRILL")->SetAsString("cd_ mes");
  F("NRSEQUEDIME")->SetAsString("3");
  s.vd_dimeDrill(F("CDDIMEDRILL"), false);
  s.vd_dimeDrill(F("NRSEQUEDIME"), false);
  EXPECT_EQ(F("CDDIMEDRILL")->AsString(), "CD_MES");
  EXPECT_EQ(F("NRSEQUEDIME")->AsString(), "00003");
  EXPECT_TRUE(Checks().empty());
  F("NRSEQUEDIME")->SetAsString("1");
  h.ui().ExpectError("Dimensão já cadastrada.");
  EXPECT_THROW(s.vd_dimeDrill(F("NRSEQUEDIME"), false), rtl::EAbort);
  EXPECT_EQ(Checks(), (std::vector<Check>{{"NRSEQUEDIME", "00001"}}));
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsEdit);
  s.cdsDimeDrill->Cancel();
  // In browse state nothing is checked.
  h.Scripted().ClearCalls();
  s.vd_dimeDrill(F("NRSEQUEDIME"), true);
  EXPECT_TRUE(Checks().empty());
}

TEST_F(DrillDimensions, NoToTheQuestionDropsTheNewRowAndReloadsTheDrillTable) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  const int rows = s.cdsDimeDrill->RecordCount();
  ASSERT_TRUE(h.Click("sbtIncluir"));
  F("CDDIMEDRILL")->SetAsString("CD_REGIAO");
  NextCheckNames("FATO_VENDAS");
  h.ui().ExpectMessageBox(vcl::IDNO);
  EXPECT_THROW(s.vd_dimeDrill(F("CDDIMEDRILL"), false), rtl::EAbort);
  ASSERT_EQ(h.Questions().size(), 1u);
  const Question& q = h.Questions()[0];
  EXPECT_EQ(q.text,
            "A tabela \"DRILL_VENDAS_DIA\" terá dimensões inconsistentes com a tabela drill "
            "\"FATO_VENDAS\".\r\nConfirma Inclusão?");
  EXPECT_EQ(q.caption, "Alerta");
  EXPECT_EQ(q.flags, kWarningFlags);
  EXPECT_TRUE(h.ui().Errors().empty());
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsDimeDrill->RecordCount(), rows);
  EXPECT_EQ(h.Scripted().CallsOf("GetDimeFatosDrill").size(), 1u);
  EXPECT_TRUE(h.Scripted().CallsOf("setDelDrillDw").empty());
  EXPECT_TRUE(h.Scripted().CallsOf("SetDimeDrill").empty());
  EXPECT_EQ(DrillLinksOf("FATO_VENDAS"),
            (std::vector<std::string>{"DRILL_VENDAS_DIA", "DRILL_VENDAS_DIA"}));
}

TEST_F(DrillDimensions, YesDropsTheNamedLinksAndReloadsTheFactTableOnlyAfterAnEdit) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  F("CDDIMEDRILL")->SetAsString("CD_REGIAO");
  NextCheckNames("FATO_VENDAS, FATO_ESTOQUE");
  h.ui().ExpectMessageBox(vcl::IDYES, "as tabelas drill \"FATO_VENDAS, FATO_ESTOQUE\"");
  s.vd_dimeDrill(F("CDDIMEDRILL"), false);
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsInsert);
  auto drops = h.Scripted().CallsOf("setDelDrillDw");
  ASSERT_EQ(drops.size(), 1u);
  const db::Packet sent_back = db::PacketFromVariant(drops[0].args[0]);
  ASSERT_EQ(sent_back.rows.size(), 1u);
  EXPECT_EQ(sent_back.rows[0].values[sent_back.FieldIndex("TABELAS")], "FATO_VENDAS, FATO_ESTOQUE");
  EXPECT_EQ(drops[0].args[1].AsString(), "DRILL_VENDAS_DIA");
  EXPECT_TRUE(h.Scripted().CallsOf("GetDimeFatos").empty());
  EXPECT_TRUE(h.Scripted().CallsOf("GetDimeFatosDrill").empty());
  // The server dropped FATO_VENDAS's links into this drill table.
  EXPECT_EQ(DrillLinksOf("FATO_VENDAS"), (std::vector<std::string>{"", ""}));
  s.cdsDimeDrill->Cancel();

  // After an edit the current fact table's details are read again.
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("DT_VENDA"), db::loNone));
  s.cdsDimeDrill->Edit();
  F("NRSEQUEDIME")->SetAsString("4");
  h.Scripted().ClearCalls();
  NextCheckNames("FATO_VENDAS");
  h.ui().ExpectMessageBox(vcl::IDYES, "a tabela drill \"FATO_VENDAS\"");
  s.vd_dimeDrill(F("NRSEQUEDIME"), false);
  EXPECT_EQ(h.Scripted().CallsOf("setDelDrillDw").size(), 1u);
  EXPECT_EQ(h.Scripted().CallsOf("GetDimeFatos").size(), 1u);
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsEdit);
  EXPECT_EQ(F("NRSEQUEDIME")->AsString(), "00004");
  s.cdsDimeDrill->Cancel();
}

TEST_F(DrillDimensions, AnswersThatNameNoTableAskNothing) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  F("CDDIMEDRILL")->SetAsString("CD_REGIAO");
  s.vd_dimeDrill(F("CDDIMEDRILL"), false);  // the real answer: an empty list
  for (rtl::Variant answer : {rtl::Variant(), rtl::Variant("FATO_VENDAS"),
                              TextPacket({"TABELAS"}, {{"  "}}), TextPacket({"TABELAS"}, {})}) {
    h.Scripted().Once("getVdDimeDrill", ScriptedServer::Returns(answer));
    s.vd_dimeDrill(F("CDDIMEDRILL"), false);
  }
  EXPECT_EQ(Checks().size(), 5u);
  EXPECT_TRUE(h.Questions().empty());
  EXPECT_TRUE(h.Scripted().CallsOf("setDelDrillDw").empty());
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsInsert);
  s.cdsDimeDrill->Cancel();
}

// Ctrl+Delete in the grid passes by the guard; the server refuses to leave
// FATO_VENDAS drilling into a table without its dimension 1, and the row
// comes back instead of riding along with every later save.
TEST_F(DrillDimensions, ADeleteTheServerRefusesIsUndone) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("CD_CLIENTE"), db::loNone));
  const std::vector<std::string> before = Column(s.cdsDimeDrill, "CDDIMEDRILL");
  h.ui().ExpectDialog(vcl::mrYes, "Excluir");
  h.ui().ExpectError("As dimensões da Tabela Drill \"DRILL_VENDAS_DIA\" são incompatíveis");
  EXPECT_THROW(h.Press("dbgDimensoes", vcl::VK_DELETE, vcl::ssCtrl), rtl::EAbort);
  EXPECT_EQ(Column(s.cdsDimeDrill, "CDDIMEDRILL"), before);
  EXPECT_EQ(s.cdsDimeDrill->ChangeCount(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());

  // One nobody relies on goes, and only it is sent.
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("DT_VENDA"), db::loNone));
  h.Scripted().ClearCalls();
  h.ui().ExpectDialog(vcl::mrYes, "Excluir");
  h.Press("dbgDimensoes", vcl::VK_DELETE, vcl::ssCtrl);
  const auto sent = h.Scripted().CallsOf("SetDimeDrill");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(db::PacketFromVariant(sent[0].args[0]).rows.size(), 1u);
  EXPECT_EQ(s.cdsDimeDrill->ChangeCount(), 0);
  EXPECT_FALSE(Contains(Stored("CDDIMEDRILL"), "DT_VENDA"));
  EXPECT_TRUE(Contains(Column(s.cdsDimeDrill, "CDDIMEDRILL"), "CD_CLIENTE"));
}

// The one save handler runs after posts too: a post the server refuses is
// handed back open, not undone like a refused deletion.
TEST_F(DrillDimensions, APostTheServerRefusesComesBackOpenWithWhatWasTyped) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  const int rows = s.cdsDimeDrill->RecordCount();
  ASSERT_TRUE(h.Click("sbtIncluir"));
  F("CDDIMEDRILL")->SetAsString("CD_REGIAO");
  F("NRSEQUEDIME")->SetAsString("00004");
  h.Scripted().Once("SetDimeDrill", ScriptedServer::Refuses("Tabela ocupada; tente de novo."));
  h.ui().ExpectError("Tabela ocupada; tente de novo.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsInsert);
  EXPECT_EQ(F("CDDIMEDRILL")->AsString(), "CD_REGIAO");
  EXPECT_EQ(F("NRSEQUEDIME")->AsString(), "00004");
  EXPECT_EQ(s.cdsDimeDrill->ChangeCount(), 0);
  EXPECT_FALSE(s.tshPadrao->Enabled());  // the row is still being edited

  // Confirmed again, it goes alone and is stored.
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  const auto sent = h.Scripted().CallsOf("SetDimeDrill");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(db::PacketFromVariant(sent[0].args[0]).rows.size(), 1u);
  EXPECT_EQ(s.cdsDimeDrill->ChangeCount(), 0);
  EXPECT_TRUE(s.tshPadrao->Enabled());
  EXPECT_EQ(Stored("CDDIMEDRILL").size(), static_cast<size_t>(rows + 1));
  EXPECT_TRUE(Contains(Column(s.cdsDimeDrill, "NRSEQUEDIME"), "00004"));
}

TEST_F(DrillDimensions, ARowAddedWithTheLookUpsIsCheckedInOrderAndStored) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgDimensoes", "CDDIMEDRILL");
  h.ui().ExpectLookup(
      [](db::TDataSource& src) {
        return src.DataSet()->Locate("CDFIELD", rtl::Variant("CD_REGIAO"), db::loNone);
      },
      "Campos");
  s.dbgDimensoes->ClickEditButton();
  ASSERT_TRUE(OneCallWith(h.Scripted().CallsOf("GetFields"), {"D", "DRILL_VENDAS_DIA"}));
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");  // leaving the column checks it
  h.ui().ExpectLookup(
      [](db::TDataSource& src) {
        return src.DataSet()->Locate("NRSEQUEDIME", rtl::Variant("00004"), db::loNone);
      },
      "Dimensão");
  s.dbgDimensoes->ClickEditButton();
  EXPECT_EQ(F("NRSEQUEDIME")->AsString(), "00004");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_EQ(s.cdsDimeDrill->ChangeCount(), 0);
  EXPECT_EQ(Checks(), (std::vector<Check>{{"CDDIMEDRILL", "CD_REGIAO"},
                                          {"CDDIMEDRILL", "CD_REGIAO"},
                                          {"NRSEQUEDIME", "00004"}}));
  // The insertion check comes last, before the save.
  const std::vector<std::string> calls = h.Scripted().CallNames();
  const auto check = std::find(calls.begin(), calls.end(), "getVdDrill");
  ASSERT_NE(check, calls.end());
  EXPECT_EQ(std::find(check, calls.end(), "getVdDimeDrill"), calls.end());
  EXPECT_NE(std::find(check, calls.end(), "SetDimeDrill"), calls.end());
  EXPECT_TRUE(Contains(Stored("CDDIMEDRILL"), "CD_REGIAO"));
  EXPECT_TRUE(Contains(Column(s.cdsDimeDrill, "NRSEQUEDIME"), "00004"));
}

TEST_F(DrillDimensions, TypedValuesAreFilteredNormalisedAndRefusedWithTheirMessages) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgDimensoes", "CDDIMEDRILL");
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");  // an empty column says nothing
  h.ui().ExpectError("Campo deve ser informado.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.dbgDimensoes->SelectedField(), F("CDDIMEDRILL"));

  h.Type("dbgDimensoes", "nr _nota");
  EXPECT_EQ(s.dbgDimensoes->EditorText(), "NR _NOTA");
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
  EXPECT_EQ(F("CDDIMEDRILL")->AsString(), "NR_NOTA");
  h.ui().ExpectError("Dimensão deve ser informada.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.dbgDimensoes->SelectedField(), F("NRSEQUEDIME"));

  // Only digits reach the number; one the table has is refused on leaving.
  h.Type("dbgDimensoes", "x1-");
  EXPECT_EQ(s.dbgDimensoes->EditorText(), "1");
  h.ui().ExpectError("Dimensão já cadastrada.");
  EXPECT_THROW(h.PickColumn("dbgDimensoes", "CDDIMEDRILL"), rtl::EAbort);
  EXPECT_EQ(s.dbgDimensoes->SelectedField(), F("NRSEQUEDIME"));
  // One outside the catalogue: the catalogue check after the server's.
  F("NRSEQUEDIME")->SetAsString("12");
  h.ui().ExpectError("Dimensão \"00012\" inválida para a tabela \"DRILL_VENDAS_DIA\".");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsInsert);

  F("NRSEQUEDIME")->SetAsString("5");
  h.Scripted().ClearCalls();
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  const auto sent = h.Scripted().CallsOf("SetDimeDrill");
  ASSERT_EQ(sent.size(), 1u);
  const db::Packet delta = db::PacketFromVariant(sent[0].args[0]);
  EXPECT_EQ(delta.rows[0].values[delta.FieldIndex("CDDIMEDRILL")], "NR_NOTA");
  EXPECT_EQ(delta.rows[0].values[delta.FieldIndex("NRSEQUEDIME")], "00005");

  // An edit that changes nothing but letter case and width asks nothing.
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("NR_NOTA"), db::loNone));
  h.Scripted().ClearCalls();
  s.cdsDimeDrill->Edit();
  F("CDDIMEDRILL")->SetAsString("nr_nota");
  F("NRSEQUEDIME")->SetAsString("005");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  EXPECT_TRUE(Checks().empty());
  EXPECT_TRUE(h.Scripted().CallsOf("getVdDrill").empty());
  EXPECT_EQ(Stored("NRSEQUEDIME").size(), Column(s.cdsDimeDrill, "CDDIMEDRILL").size());
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("NR_NOTA"), db::loNone));
  EXPECT_EQ(F("NRSEQUEDIME")->AsString(), "00005");
}

// The question of the column check can come again from the post's check.
TEST_F(DrillDimensions, TheQuestionOnLeavingTheColumnIsAskedAgainOnPosting) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  // No while leaving the column: the grid's own row is given up under it.
  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgDimensoes", "CDDIMEDRILL");
  h.Type("dbgDimensoes", "CD_REGIAO");
  NextCheckNames("FATO_VENDAS");
  h.ui().ExpectMessageBox(vcl::IDNO, "Confirma Inclusão?");
  EXPECT_THROW(h.PickColumn("dbgDimensoes", "NRSEQUEDIME"), rtl::EAbort);
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.dbgDimensoes->DataSource(), s.dtsDimeDrill);
  EXPECT_TRUE(s.tshPadrao->Enabled());
  EXPECT_TRUE(h.ui().Errors().empty());

  ASSERT_TRUE(h.Click("sbtIncluir"));
  h.PickColumn("dbgDimensoes", "CDDIMEDRILL");
  h.Type("dbgDimensoes", "CD_REGIAO");
  NextCheckNames("FATO_VENDAS");
  h.ui().ExpectMessageBox(vcl::IDYES, "Confirma Inclusão?");
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
  h.Type("dbgDimensoes", "4");
  NextCheckNames("FATO_VENDAS");
  h.ui().ExpectMessageBox(vcl::IDNO, "Confirma Inclusão?");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_TRUE(h.ui().Errors().empty());
  EXPECT_EQ(s.cdsDimeDrill->State(), TDataSetState::dsBrowse);
  EXPECT_FALSE(Contains(Column(s.cdsDimeDrill, "CDDIMEDRILL"), "CD_REGIAO"));
  EXPECT_TRUE(h.Scripted().CallsOf("SetDimeDrill").empty());
  EXPECT_TRUE(s.tshPadrao->Enabled());
}

TEST_F(DrillDimensions, TheGuardsQuestionMeetsTheRealDelete) {
  OpenDimensionsOf("DRILL_VENDAS_DIA");
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("CD_CLIENTE"), db::loNone));
  h.ui().ExpectMessageBox(vcl::IDNO, "FATO_VENDAS");
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_TRUE(Contains(Column(s.cdsDimeDrill, "CDDIMEDRILL"), "CD_CLIENTE"));
  EXPECT_TRUE(h.Scripted().CallsOf("SetDimeDrill").empty());

  h.ui().ExpectMessageBox(vcl::IDYES, "FATO_VENDAS");
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_EQ(s.cdsDimeDrill->ChangeCount(), 0);
  EXPECT_EQ(h.Scripted().CallsOf("SetDimeDrill").size(), 1u);
  EXPECT_FALSE(Contains(Stored("CDDIMEDRILL"), "CD_CLIENTE"));
  EXPECT_EQ(DrillLinksOf("FATO_VENDAS"), (std::vector<std::string>{"", ""}));

  // One nobody relies on: the plain confirmation, then the delete.
  ASSERT_TRUE(s.cdsDimeDrill->Locate("CDDIMEDRILL", rtl::Variant("DT_VENDA"), db::loNone));
  h.ui().ExpectDialog(vcl::mrYes, "Confirma exclusão?");
  ASSERT_TRUE(h.Click("sbtExcluir"));
  EXPECT_FALSE(Contains(Stored("CDDIMEDRILL"), "DT_VENDA"));
}

}  // namespace
}  // namespace qmxtest
