// The save sequence: nothing pending, success (reload, merge, re-position),
// failure (a post handed back, a deletion undone), call failures, and the
// member table resolving against the screen.
#include <gtest/gtest.h>

#include "db/packet.h"
#include "linked_screen.h"
#include "orb/busy.h"
#include "server/save_sequence.h"

namespace qmxtest {
namespace {

using qmx00600::TfrmEstrutura;

db::Packet DecodeArg(const rtl::Variant& v) {
  return db::PacketFromVariant(v);
}

rtl::Variant TablesPacket(const std::vector<std::string>& codes) {
  db::Packet p;
  p.fields = {{"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}, {"IDDRILLDOWN", 1, true}};
  for (const std::string& code : codes)
    p.rows.push_back({db::RowStatus::kUnmodified, {code, "Nome " + code, std::string("N")}, {}});
  return db::PacketToVariant(p);
}

void AppendTable(db::TClientDataSet* ds, const std::string& code, const char* drill = "N") {
  ds->Append();
  ds->FieldByName("CDTABELADW")->SetAsString(code);
  ds->FieldByName("NMTABELADW")->SetAsString("Nome " + code);
  ds->FieldByName("IDDRILLDOWN")->SetAsString(drill);
  ds->Post();
}

class SaveSequence : public ::testing::Test {
 protected:
  SaveSequence() : h(Backend::kScripted), s(OpenLinkedScreen(h)) {
    h.ClearCalls();
    h.ui().ClearLog();
  }
  qmx00600::SaveEnvironment Env() { return {&s.Server(), &s, s.msgPadrao->Msg("SetAtualiza")}; }

  ScreenHarness h;
  TfrmEstrutura& s;
};

TEST_F(SaveSequence, NothingPendingSendsNothingButRunsTheStepsMarkedAlways) {
  std::vector<std::string> ran;
  qmx00600::SaveMember m;
  m.dataset = s.cdsTabelas;
  m.method = "SetTabelas";
  m.reloads = true;
  m.follow_ups = {
      {"locate", false, false, [&](qmx00600::SaveContext&) { ran.push_back("locate"); }},
      {"state", true, false,
       [&](qmx00600::SaveContext& ctx) {
         EXPECT_FALSE(ctx.sent);
         EXPECT_TRUE(h.ui().BusyVisible());
         ran.push_back("state");
       }},
      {"scroll", true, true, [&](qmx00600::SaveContext&) {
         EXPECT_FALSE(h.ui().BusyVisible());
         ran.push_back("scroll");
       }}};
  ASSERT_EQ(s.cdsTabelas->ChangeCount(), 0);
  qmx00600::RunSaveSequence(m, Env());
  EXPECT_EQ(ran, (std::vector<std::string>{"state", "scroll"}));
  EXPECT_TRUE(h.CallNames().empty());
  ASSERT_FALSE(h.ui().BusyLog().empty());
  EXPECT_EQ(h.ui().BusyLog().front().caption, "Atualizando dados no servidor");
  EXPECT_EQ(h.ui().BusyLog().front().kind, 1);
  EXPECT_FALSE(h.ui().BusyVisible());
}

TEST_F(SaveSequence, APostedFactTableIsSentReloadedMergedAndCurrentAgain) {
  // The server answers its list in another order than the screen's.
  h.Scripted().Once("SetTabelas",
                    ScriptedServer::Returns(TablesPacket(
                        {"FATO_COMPRAS", "FATO_ESTOQUE", "FATO_FINANCEIRO", "FATO_VENDAS"})));
  AppendTable(s.cdsTabelas, "FATO_COMPRAS");
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_COMPRAS");
  EXPECT_EQ(s.cdsTabelas->RecNo(), 1);
  const std::vector<RecordedCall> sent = h.Scripted().CallsOf("SetTabelas");
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].args.size(), 1u);
  const db::Packet delta = DecodeArg(sent[0].args[0]);
  EXPECT_EQ(delta.kind, db::PacketKind::kDelta);
  ASSERT_EQ(delta.rows.size(), 1u);
  EXPECT_EQ(delta.rows[0].status, db::RowStatus::kInserted);
  EXPECT_EQ(s.cdsTabelas->RecordCount(), 4);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);

  h.Scripted().Once("SetTabelas",
                    ScriptedServer::Returns(TablesPacket({"FATO_A", "FATO_NOVA", "FATO_Z"})));
  AppendTable(s.cdsTabelas, "fato_nova");
  // Located case-insensitively on the code read before the call.
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_NOVA");
  EXPECT_EQ(s.cdsTabelas->RecNo(), 2);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  // Reloading and locating load the current table's details.
  const std::vector<std::string> calls = h.CallNames();
  EXPECT_EQ(calls.back(), "GetDimeFatos");
  EXPECT_EQ(orb::ShowAviDepth(), 0);
}

// A refused post never stays behind in the change log: the row goes back to
// the person as they typed it, and the next save carries only its own change.
TEST_F(SaveSequence, AFailedPostGoesBackToThePersonAndNeverTravelsAgain) {
  h.Scripted().Once("SetTabelas", ScriptedServer::Refuses("INV_TABELAFATO_X"));
  h.ui().ExpectError("Tabela \"FATO_X\" inválida.");
  EXPECT_THROW(AppendTable(s.cdsTabelas, "FATO_X"), rtl::EAbort);
  EXPECT_EQ(h.ui().Errors().size(), 1u);
  EXPECT_EQ(s.cdsTabelas->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_X");
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Nome FATO_X");
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(orb::ShowAviDepth(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());

  // Corrected and confirmed again: only this row travels.
  h.Scripted().Once("SetTabelas", ScriptedServer::Returns(TablesPacket({"FATO_X", "FATO_Y"})));
  s.cdsTabelas->FieldByName("CDTABELADW")->SetAsString("FATO_Y");
  s.cdsTabelas->Post();
  const std::vector<RecordedCall> sent = h.Scripted().CallsOf("SetTabelas");
  ASSERT_EQ(sent.size(), 2u);
  const db::Packet delta = DecodeArg(sent[1].args[0]);
  ASSERT_EQ(delta.rows.size(), 1u);
  EXPECT_EQ(delta.rows[0].values[0], std::optional<std::string>("FATO_Y"));
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelas->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_Y");
}

TEST_F(SaveSequence, AFailedFactTableDeleteIsUndone) {
  const int rows = s.cdsTabelas->RecordCount();
  const std::string code = s.cdsTabelas->FieldByName("CDTABELADW")->AsString();
  h.Scripted().Once("SetTabelas",
                    ScriptedServer::Refuses("O registro foi removido por outro usuário."));
  h.ui().ExpectError("O registro foi removido por outro usuário.");
  EXPECT_THROW(s.cdsTabelas->Delete(), rtl::EAbort);
  EXPECT_EQ(s.cdsTabelas->RecordCount(), rows);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant(code), db::loNone));
  EXPECT_EQ(orb::ShowAviDepth(), 0);
}

// Left pending, the deletion would be sent, and refused, with every later
// change of the list.
TEST_F(SaveSequence, AFailedDrillTableDeleteIsUndone) {
  const int rows = s.cdsTabelaDrill->RecordCount();
  h.Scripted().Once("SetTabelaDrill", [](std::vector<rtl::Variant>&) -> rtl::Variant {
    throw net::ECallError("conexão perdida");
  });
  EXPECT_THROW(s.cdsTabelaDrill->Delete(), net::ECallError);
  EXPECT_EQ(s.cdsTabelaDrill->RecordCount(), rows);
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  EXPECT_EQ(orb::ShowAviDepth(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());
}

TEST_F(SaveSequence, AReloadAnsweredWithoutAPacketKeepsTheListAndHandsTheRowBack) {
  h.Scripted().Once("SetTabelaDrill", ScriptedServer::Returns(rtl::Variant()));
  h.ui().ExpectError("Verificar");
  EXPECT_THROW(AppendTable(s.cdsTabelaDrill, "DRILL_NOVA", "S"), rtl::EAbort);
  EXPECT_EQ(h.ui().Errors().at(0).find("SetTabelaDrill"), std::string::npos);
  EXPECT_TRUE(s.cdsTabelaDrill->Active());
  EXPECT_EQ(s.cdsTabelaDrill->RecordCount(), 3);
  EXPECT_EQ(s.cdsTabelaDrill->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelaDrill->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsTabelaDrill->FieldByName("CDTABELADW")->AsString(), "DRILL_NOVA");
}

TEST_F(SaveSequence, AnExtraArgumentByReferenceComesBackToTheFollowUps) {
  // A member that does not reload: the change log is merged instead.
  db::TClientDataSet ds(nullptr);
  ds.AddStringField("CDTABELADW", 30);
  ds.AddStringField("CDITEMDW", 30);
  ds.CreateDataSet();
  ds.Append();
  ds.FieldByName("CDTABELADW")->SetAsString("FATO_VENDAS");
  ds.FieldByName("CDITEMDW")->SetAsString("vl_venda");
  ds.Post();
  h.Scripted().Once("SetFatos", [](std::vector<rtl::Variant>& args) {
    args[1] = rtl::Variant("FATO_VENDAS");
    return rtl::Variant();
  });
  std::string located;
  qmx00600::SaveMember m;
  m.dataset = &ds;
  m.method = "SetFatos";
  m.extra_passing = qmx00600::ExtraPassing::kByReference;
  m.extra = [] { return rtl::Variant("fato vendas"); };
  m.read_before = [&] { return std::vector<rtl::Variant>{ds.FieldByName("CDITEMDW")->Value()}; };
  m.follow_ups = {{"locate", false, false, [&](qmx00600::SaveContext& ctx) {
                     EXPECT_TRUE(ctx.sent);
                     EXPECT_TRUE(ds.Locate("CDTABELADW;CDITEMDW", {ctx.extra, ctx.read_before[0]},
                                           db::loCaseInsensitive));
                     located = ctx.extra.AsString();
                   }}};
  qmx00600::RunSaveSequence(m, Env());
  EXPECT_EQ(located, "FATO_VENDAS");
  EXPECT_EQ(ds.ChangeCount(), 0);
  const std::vector<RecordedCall> sent = h.Scripted().CallsOf("SetFatos");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].args[1].AsString(), "fato vendas");
}

TEST_F(SaveSequence, AFailingFollowUpOfAnUndoMemberDropsTheChanges) {
  db::TClientDataSet ds(nullptr);
  ds.AddStringField("CDTABELADW", 30);
  ds.CreateDataSet();
  ds.Append();
  ds.FieldByName("CDTABELADW")->SetAsString("A");
  ds.Post();
  ds.MergeChangeLog();
  ds.Delete();
  h.Scripted().Once("SetFatos", ScriptedServer::Returns(rtl::Variant()));
  qmx00600::SaveMember m;
  m.dataset = &ds;
  m.method = "SetFatos";
  m.merge = qmx00600::MergeRule::kInFollowUps;
  m.undo = true;
  m.follow_ups = {{"cache", false, false,
                   [](qmx00600::SaveContext&) { throw rtl::Exception("cache indisponível"); }}};
  EXPECT_THROW(qmx00600::RunSaveSequence(m, Env()), rtl::Exception);
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(orb::ShowAviDepth(), 0);
}

TEST_F(SaveSequence, EveryMemberOfTheTableResolvesOnTheScreen) {
  for (const qmx00600::SaveMemberDef& def : qmx00600::SaveMemberDefs()) {
    qmx00600::SaveMember m = s.BuildSaveMember(def.handler);
    EXPECT_NE(m.dataset, nullptr) << def.handler;
    EXPECT_EQ(m.dataset->Name(), def.dataset);
    EXPECT_EQ(m.follow_ups.size(), def.follow_ups.size());
    EXPECT_EQ(m.extra_passing == qmx00600::ExtraPassing::kNone,
              def.extra == qmx00600::ExtraArgument::kNone)
        << def.handler;
  }
}

}  // namespace
}  // namespace qmxtest
