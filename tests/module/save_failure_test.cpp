// A save the server does not take, for every after-post member: the real
// server's refusals, a link that breaks before the server answers, and one
// that breaks after it committed. The row always goes back to the person as
// they typed it, nothing of it stays in the change log, and the next save of
// the list carries only its own change.
//
// The two lists of tables are driven as the person does (toolbar, typing,
// confirm). The after-post handlers of the four detail lists are bound by
// their own families; here their rows are posted without the list's own
// checks and handed to the save member as the after-post handler does.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <utility>

#include "link_relay.h"
#include "linked_screen.h"
#include "orb/busy.h"
#include "orb/server_address.h"
#include "rtl/exceptions.h"
#include "screen_test_util.h"
#include "support/other_desk.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;
using qmx00600::TfrmEstrutura;
using Fields = std::vector<std::pair<std::string, std::string>>;

struct Member {
  std::string handler;
  std::string method;
  std::string dataset;
  std::string grid;  // for the lists of tables, typed into through the toolbar
  std::function<void(ScreenHarness&, TfrmEstrutura&)> open;
  Fields refused;        // the row as posted, which the server refuses
  std::string refusal;   // the message the person reads
  Fields corrected;      // what the person changes to make it right
  std::string key;       // the field that tells the saved row in a reload
  std::string reloader;  // the handler that reloads the list; empty: the toolbar's
};

// Test listings (and so CTest's names) show the member instead of its bytes.
void PrintTo(const Member& m, std::ostream* os) {
  *os << m.handler;
}

// The screen opens with the focus on the page control: entering page 1 from
// there puts it on the fact list's grid first.
void EnterList(ScreenHarness& h, const std::string& grid) {
  h.Focus("dbgTabelaFatos");
  h.Focus(grid);
}

void OpenFactTable(ScreenHarness& h, TfrmEstrutura& s, bool facts_panel) {
  EnterList(h, "dbgTabelaFatos");
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus(facts_panel ? "dbgFatos" : "dbgDimensoes");
}

void OpenDrillTable(ScreenHarness& h, TfrmEstrutura& s, bool facts_panel) {
  EnterList(h, "dbgTabelaDrill");
  ASSERT_TRUE(s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant("DRILL_VENDAS_DIA"), db::loNone));
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus(facts_panel ? "dbgFatosDrill" : "dbgDimensoes");
}

std::vector<Member> Members() {
  return {
      {"cdsTabelasAfterPost",
       "SetTabelas",
       "cdsTabelas",
       "dbgTabelaFatos",
       [](ScreenHarness& h, TfrmEstrutura&) { EnterList(h, "dbgTabelaFatos"); },
       {{"CDTABELADW", "FATOTESTE"}, {"NMTABELADW", "Fato teste"}},
       "Tabela \"FATOTESTE\" inválida.",
       {{"CDTABELADW", "FATO_COMPRAS"}},
       "CDTABELADW",
       ""},
      {"cdsTabelaDrillAfterPost",
       "SetTabelaDrill",
       "cdsTabelaDrill",
       "dbgTabelaDrill",
       [](ScreenHarness& h, TfrmEstrutura&) { EnterList(h, "dbgTabelaDrill"); },
       {{"CDTABELADW", "DRILLTESTE"}, {"NMTABELADW", "Drill teste"}},
       "Tabela \"DRILLTESTE\" inválida.",
       {{"CDTABELADW", "FATO_COMPRAS"}},
       "CDTABELADW",
       ""},
      // A type and a mark other than the defaults a new fact gets.
      {"cdsFatosAfterPost",
       "SetFatos",
       "cdsFatos",
       "",
       [](ScreenHarness& h, TfrmEstrutura& s) { OpenFactTable(h, s, true); },
       {{"CDTABELADW", "FATO_VENDAS"},
        {"CDITEMDW", "VL_DESCONTO"},
        {"IDFATODW", "N"},
        {"CDAREANEGDW", "00001"},
        {"NMITEMDW", "Valor vendido"},
        {"IDTPFATODW", "Q"}},
       "Nome já cadastrado.",
       {{"NMITEMDW", "Desconto"}},
       "CDITEMDW",
       "cdsTabelasAfterScroll"},
      {"cdsDimeAfterPost",
       "SetDime",
       "cdsDime",
       "",
       [](ScreenHarness& h, TfrmEstrutura& s) { OpenFactTable(h, s, false); },
       {{"CDTABELADW", "FATO_VENDAS"}, {"CDITEMDIME", "PC_MARGEM"}, {"NRSEQUEDIME", "00010"}},
       "Tipo de campo não permitido para constituir uma dimensão.",
       {{"CDITEMDIME", "DT_VENDA"}},
       "CDITEMDIME",
       "cdsTabelasAfterScroll"},
      {"cdsFatosDrillAfterPost",
       "SetFatosDrill",
       "cdsFatosDrill",
       "",
       [](ScreenHarness& h, TfrmEstrutura& s) { OpenDrillTable(h, s, true); },
       {{"CDTABDRILL", "DRILL_VENDAS_DIA"},
        {"CDITEMDRILL", "CD_REGIAO"},
        {"NMITEMDRILL", "Região"},
        {"IDTPFATODRILL", "Q"}},
       "Só são aceitos campos do tipo numérico",
       {{"CDITEMDRILL", "VL_DESCONTO"}},
       "CDITEMDRILL",
       "cdsTabelaDrillAfterScroll"},
      {"cdsDimeDrillAfterDelete",
       "SetDimeDrill",
       "cdsDimeDrill",
       "",
       [](ScreenHarness& h, TfrmEstrutura& s) { OpenDrillTable(h, s, false); },
       {{"CDTABDRILL", "DRILL_VENDAS_DIA"},
        {"CDDIMEDRILL", "VL_DESCONTO"},
        {"NRSEQUEDIME", "00004"}},
       "Tipo de campo não permitido para constituir uma dimensão.",
       {{"CDDIMEDRILL", "CD_REGIAO"}},
       "CDDIMEDRILL",
       "cdsTabelaDrillAfterScroll"},
  };
}

class SaveFailure : public ::testing::TestWithParam<Member> {
 protected:
  // Calls go through the relay, which can break the link.
  SaveFailure() : h(Backend::kScripted), s(OpenLinkedScreen(h)), relay(h.Port()) {
    orb::SetServerAddress({"127.0.0.1", relay.Port()});
    s.netEstrutura->Close();
  }
  ~SaveFailure() override {
    EXPECT_EQ(orb::ShowAviDepth(), 0);
    EXPECT_FALSE(h.ui().BusyVisible());
    // No message ever sat under the animation.
    for (const Question& q : h.Questions()) EXPECT_FALSE(q.busy_visible) << q.text;
  }

  const Member& m() { return GetParam(); }
  db::TClientDataSet* List() { return &h.Find<db::TClientDataSet>(m().dataset); }

  // Starts a new row holding `values`: typed into the grid of a list of
  // tables, set on the dataset of a detail list.
  void NewRow(const Fields& values) {
    if (!m().grid.empty()) {
      ASSERT_TRUE(h.Click("sbtIncluir"));
      Change(values);
      return;
    }
    List()->Append();
    for (const auto& [field, value] : values) List()->FieldByName(field)->SetAsString(value);
  }
  void Change(const Fields& values) {
    for (const auto& [field, value] : values) {
      if (m().grid.empty()) {
        List()->FieldByName(field)->SetAsString(value);
        continue;
      }
      h.PickColumn(m().grid, field);
      h.Find<vcl::TDBGrid>(m().grid).SetEditorText(value);
    }
    if (!m().grid.empty()) h.PickColumn(m().grid, "NMTABELADW");  // leaves the code: its check
  }
  // Confirms the row: the toolbar for a list of tables; for a detail list
  // the post alone, then its save member as the after-post handler runs it.
  void Confirm() {
    if (!m().grid.empty()) {
      ASSERT_TRUE(h.Click("sbtConfirmar"));
      return;
    }
    db::TClientDataSet* ds = List();
    auto before = std::exchange(ds->BeforePost, nullptr);
    auto after = std::exchange(ds->AfterPost, nullptr);
    ds->Post();
    ds->BeforePost = before;
    ds->AfterPost = after;
    s.Save(m().handler);
  }
  Fields Valid() {
    Fields row = m().refused;
    for (const auto& [field, value] : m().corrected)
      for (auto& [f, v] : row)
        if (f == field) v = value;
    return row;
  }
  void ExpectOpenAgainWith(const Fields& values, int changes_before) {
    EXPECT_EQ(List()->State(), TDataSetState::dsInsert);
    for (const auto& [field, value] : values)
      EXPECT_EQ(List()->FieldByName(field)->AsString(), value) << field;
    EXPECT_EQ(List()->ChangeCount(), changes_before);
    EXPECT_EQ(orb::ShowAviDepth(), 0);
    EXPECT_FALSE(h.ui().BusyVisible());
    // Confirm and cancel are what the person can do now.
    EXPECT_TRUE(s.sbtConfirmar->Enabled());
    EXPECT_TRUE(s.sbtCancelar->Enabled());
  }
  // The refusal's message names `field`: the list's grid has the focus there.
  void ExpectCursorOn(const std::string& field) {
    for (int i = 0; i < s.ComponentCount(); ++i) {
      auto* grid = dynamic_cast<vcl::TDBGrid*>(s.Components(i));
      if (grid == nullptr || grid->DataSet() != List()) continue;
      ASSERT_NE(grid->SelectedField(), nullptr);
      EXPECT_EQ(grid->SelectedField()->FieldName(), field);
      EXPECT_TRUE(grid->Focused());
      return;
    }
    ADD_FAILURE() << "no grid shows " << m().dataset;
  }
  // The change packets sent with the member's method since the last
  // ClearCalls: one, holding only `key`'s row.
  void ExpectSentAlone(const std::string& key) {
    const auto sent = h.Scripted().CallsOf(m().method);
    ASSERT_EQ(sent.size(), 1u);
    const db::Packet delta = db::PacketFromVariant(sent[0].args[0]);
    ASSERT_EQ(delta.rows.size(), 1u);
    const auto& fields = delta.fields;
    for (size_t i = 0; i < fields.size(); ++i) {
      if (fields[i].name == m().key) {
        EXPECT_EQ(delta.rows[0].values[i], std::optional<std::string>(key));
      }
    }
  }
  std::vector<std::string> Reloaded() {
    if (m().reloader.empty()) {
      EXPECT_TRUE(h.Click("sbtVerificar"));
    } else {
      s.RunHandler(m().reloader);
    }
    return Column(List(), m().key);
  }
  std::string KeyOf(const Fields& row) {
    for (const auto& [field, value] : row)
      if (field == m().key) return value;
    return {};
  }

  ScreenHarness h;
  TfrmEstrutura& s;
  LinkRelay relay;
};

TEST_P(SaveFailure, ARefusedRowComesBackAsTypedAndTheCorrectedOneTravelsAlone) {
  m().open(h, s);
  const int changes_before = List()->ChangeCount();
  NewRow(m().refused);
  h.ui().ClearLog();
  h.ui().ExpectError(m().refusal);
  EXPECT_THROW(Confirm(), rtl::EAbort);
  EXPECT_EQ(h.ui().Errors().size(), 1u);
  for (const Question& q : h.Questions()) EXPECT_EQ(q.kind, QuestionKind::kError);
  ExpectOpenAgainWith(m().refused, changes_before);
  ExpectCursorOn(m().corrected.front().first);

  Change(m().corrected);
  h.Scripted().ClearCalls();
  Confirm();
  EXPECT_EQ(List()->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(List()->ChangeCount(), 0);
  ExpectSentAlone(KeyOf(Valid()));
  const std::vector<std::string> stored = Reloaded();
  EXPECT_EQ(CountOf(stored, KeyOf(Valid())), 1);
  EXPECT_FALSE(Contains(stored, KeyOf(m().refused)) && KeyOf(m().refused) != KeyOf(Valid()));
}

// The server goes away while the save is on its way: nothing was applied.
TEST_P(SaveFailure, ARowWhoseServerWentAwayComesBackAndIsSavedOnceItIsBack) {
  m().open(h, s);
  const int changes_before = List()->ChangeCount();
  NewRow(Valid());
  h.Scripted().Once(m().method, [this](std::vector<rtl::Variant>&) {
    relay.DropNextAnswer();
    return rtl::Variant();
  });
  try {
    Confirm();
    ADD_FAILURE() << "the save went through";
  } catch (const net::ECallError& e) {
    // Told once, by the host, from this failure.
    EXPECT_NE(e.Message().find("foi perdida"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("127.0.0.1:" + std::to_string(relay.Port())), std::string::npos);
    EXPECT_EQ(e.Message().find(m().method), std::string::npos) << e.Message();
  }
  EXPECT_EQ(relay.Drops(), 1);
  EXPECT_TRUE(h.ui().Errors().empty());
  ExpectOpenAgainWith(Valid(), changes_before);

  h.Scripted().ClearCalls();
  Confirm();
  EXPECT_EQ(List()->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(List()->ChangeCount(), 0);
  ExpectSentAlone(KeyOf(Valid()));
  EXPECT_EQ(CountOf(Reloaded(), KeyOf(Valid())), 1);
}

INSTANTIATE_TEST_SUITE_P(EveryAfterPostMember, SaveFailure, ::testing::ValuesIn(Members()),
                         [](const ::testing::TestParamInfo<Member>& info) {
                           return info.param.handler;
                         });

// The server applied the change, then the link broke before its answer
// arrived: the screen cannot know the change was applied, so the row comes
// back as after any failure. Confirming it again is refused by the server
// with a plain reason, the saved row is what a reload shows, and nothing is
// applied twice.
class LostAnswer : public ::testing::Test {
 protected:
  LostAnswer() : h(Backend::kScripted), s(OpenLinkedScreen(h)), relay(h.Port()) {
    orb::SetServerAddress({"127.0.0.1", relay.Port()});
    s.netEstrutura->Close();
  }
  ~LostAnswer() override {
    EXPECT_EQ(orb::ShowAviDepth(), 0);
    for (const Question& q : h.Questions()) EXPECT_FALSE(q.busy_visible) << q.text;
  }
  void LoseTheAnswerOf(const std::string& method) {
    h.Scripted().OnceAfterFallback(method, [this] { relay.DropNextAnswer(); });
  }
  void TypeInto(const std::string& grid, const std::string& field, const std::string& text) {
    h.PickColumn(grid, field);
    h.Find<vcl::TDBGrid>(grid).SetEditorText(text);
  }
  void CancelAndReload() {
    h.ui().ExpectDialog(vcl::mrYes);
    ASSERT_TRUE(h.Click("sbtCancelar"));
    ASSERT_TRUE(h.Click("sbtVerificar"));
  }

  ScreenHarness h;
  TfrmEstrutura& s;
  LinkRelay relay;
};

TEST_F(LostAnswer, ANewTableIsKnownToTheServerWhenConfirmedAgain) {
  EnterList(h, "dbgTabelaFatos");
  ASSERT_TRUE(h.Click("sbtIncluir"));
  TypeInto("dbgTabelaFatos", "CDTABELADW", "FATO_COMPRAS");
  TypeInto("dbgTabelaFatos", "NMTABELADW", "Compras");
  LoseTheAnswerOf("SetTabelas");
  EXPECT_THROW(h.Click("sbtConfirmar"), net::ECallError);
  EXPECT_EQ(relay.Drops(), 1);
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_COMPRAS");
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);

  h.ui().ExpectError("Código já cadastrado.");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsInsert);
  CancelAndReload();
  EXPECT_EQ(CountOf(Column(s.cdsTabelas, "CDTABELADW"), "FATO_COMPRAS"), 1);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
}

TEST_F(LostAnswer, ARenameNoLongerMatchesWhatTheServerHoldsWhenConfirmedAgain) {
  EnterList(h, "dbgTabelaFatos");
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
  ASSERT_TRUE(h.Click("sbtAlterar"));
  TypeInto("dbgTabelaFatos", "NMTABELADW", "Vendas totais");
  LoseTheAnswerOf("SetTabelas");
  EXPECT_THROW(h.Click("sbtConfirmar"), net::ECallError);
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsEdit);
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Vendas totais");
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->OldValue(), rtl::Variant("Vendas"));
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);

  // The server no longer holds the old name the change was made from: the
  // list is read again, and shows what the server holds.
  h.ui().ExpectError("Nome: Vendas totais");
  EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_VENDAS");
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Vendas totais");
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->OldValue(), rtl::Variant("Vendas totais"));
  EXPECT_EQ(CountOf(Column(s.cdsTabelas, "CDTABELADW"), "FATO_VENDAS"), 1);
}

// A detail list has no check of its own before the save here: the server's
// save itself refuses the second attempt.
TEST_F(LostAnswer, ANewFactIsRefusedByTheServersSaveWhenSentAgain) {
  OpenFactTable(h, s, true);
  s.cdsFatos->Append();
  const Fields fact = {
      {"CDTABELADW", "FATO_VENDAS"}, {"CDITEMDW", "VL_DESCONTO"}, {"IDFATODW", "S"},
      {"CDAREANEGDW", "00001"},      {"NMITEMDW", "Desconto"},    {"IDTPFATODW", "M"}};
  for (const auto& [field, value] : fact) s.cdsFatos->FieldByName(field)->SetAsString(value);
  const auto post_and_save = [this] {
    auto before = std::exchange(s.cdsFatos->BeforePost, nullptr);
    auto after = std::exchange(s.cdsFatos->AfterPost, nullptr);
    s.cdsFatos->Post();
    s.cdsFatos->BeforePost = before;
    s.cdsFatos->AfterPost = after;
    s.Save("cdsFatosAfterPost");
  };
  LoseTheAnswerOf("SetFatos");
  EXPECT_THROW(post_and_save(), net::ECallError);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);

  h.ui().ExpectError("Campo já cadastrado.");
  EXPECT_THROW(post_and_save(), rtl::EAbort);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsFatos->FieldByName("NMITEMDW")->AsString(), "Desconto");
  s.cdsFatos->Cancel();
  s.RunHandler("cdsTabelasAfterScroll");
  EXPECT_EQ(CountOf(Column(s.cdsFatos, "CDITEMDW"), "VL_DESCONTO"), 1);
}

// Another desk changed or deleted the row after this screen read it: the
// save is refused, and the person is out of it in one step. The list shows
// what the server holds, nothing is left open or pending, and one message
// says so with what they typed.
class ChangedMeanwhile : public ::testing::Test {
 protected:
  ChangedMeanwhile() : s(OpenLinkedScreen(h)), other(h.OtherSession()) {}
  ~ChangedMeanwhile() override {
    EXPECT_EQ(orb::ShowAviDepth(), 0);
    for (const Question& q : h.Questions()) EXPECT_FALSE(q.busy_visible) << q.text;
  }
  void TypeInto(const std::string& grid, const std::string& field, const std::string& text) {
    h.PickColumn(grid, field);
    h.Find<vcl::TDBGrid>(grid).SetEditorText(text);
  }
  // Confirms through the toolbar; the refusal is the one message shown.
  std::string ConfirmRefused(const std::string& typed) {
    h.ui().ClearLog();
    h.ui().ExpectError(typed);
    EXPECT_THROW(h.Click("sbtConfirmar"), rtl::EAbort);
    const std::vector<std::string> errors = h.ui().Errors();
    EXPECT_EQ(errors.size(), 1u);
    return errors.empty() ? std::string() : errors.front();
  }
  static void ExpectReloadedText(const std::string& shown) {
    EXPECT_EQ(shown.find("O registro foi alterado ou excluído por outro usuário desde que foi lido;"
                         " os dados foram recarregados com o que está gravado."),
              0u)
        << shown;
  }

  ScreenHarness h;
  TfrmEstrutura& s;
  OtherDesk other;
};

TEST_F(ChangedMeanwhile, ARenameOfATableRenamedElsewhereShowsTheStoredNameAndTheTypedOne) {
  EnterList(h, "dbgTabelaFatos");
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
  other.RenameTable("FATO_VENDAS", "Vendas brutas");
  ASSERT_TRUE(h.Click("sbtAlterar"));
  TypeInto("dbgTabelaFatos", "NMTABELADW", "Vendas totais");

  const std::string shown = ConfirmRefused("Nome: Vendas totais");
  ExpectReloadedText(shown);
  EXPECT_EQ(shown.find("Código"), std::string::npos) << "only what was typed: " << shown;
  EXPECT_EQ(s.cdsTabelas->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_VENDAS");
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Vendas brutas");
  EXPECT_TRUE(s.sbtVerificar->Enabled());
  EXPECT_TRUE(s.sbtAlterar->Enabled());
  // Applied again, it is stored.
  ASSERT_TRUE(h.Click("sbtAlterar"));
  TypeInto("dbgTabelaFatos", "NMTABELADW", "Vendas totais");
  ASSERT_TRUE(h.Click("sbtConfirmar"));
  ASSERT_TRUE(h.Click("sbtVerificar"));
  ASSERT_TRUE(s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone));
  EXPECT_EQ(s.cdsTabelas->FieldByName("NMTABELADW")->AsString(), "Vendas totais");
}

TEST_F(ChangedMeanwhile, AFactEditedElsewhereShowsTheStoredFactAndTheTypedValues) {
  OpenFactTable(h, s, true);
  ASSERT_TRUE(s.cdsFatos->Locate("CDITEMDW", rtl::Variant("VL_VENDA"), db::loNone));
  other.ChangeFact("FATO_VENDAS", "VL_VENDA", "NMITEMDW", "Receita bruta");
  ASSERT_TRUE(h.Click("sbtAlterar"));
  TypeInto("dbgFatos", "NMITEMDW", "Vendas em reais");
  TypeInto("dbgFatos", "DSHINTITEM", "Com impostos");

  const std::string shown = ConfirmRefused("Nome: Vendas em reais\nDescrição: Com impostos");
  ExpectReloadedText(shown);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_EQ(s.cdsFatos->FieldByName("CDITEMDW")->AsString(), "VL_VENDA");
  EXPECT_EQ(s.cdsFatos->FieldByName("NMITEMDW")->AsString(), "Receita bruta");
  EXPECT_EQ(s.cdsFatos->FieldByName("DSHINTITEM")->AsString(),
            "Valor total das vendas, sem descontos");
  EXPECT_TRUE(s.sbtVerificar->Enabled());
  // The rest of the screen is where it was.
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_VENDAS");
  EXPECT_EQ(s.pgcPadrao->ActivePage(), s.tshDados);
}

TEST_F(ChangedMeanwhile, AFactDeletedElsewhereIsGoneAfterTheRefusedDelete) {
  OpenFactTable(h, s, true);
  ASSERT_TRUE(s.cdsFatos->Locate("CDITEMDW", rtl::Variant("QT_VENDIDA"), db::loNone));
  other.DeleteFact("FATO_VENDAS", "QT_VENDIDA");
  h.ui().ExpectDialog(vcl::mrYes);
  h.ui().ExpectError("O registro que você excluiu já não existe.");
  EXPECT_THROW(h.Click("sbtExcluir"), rtl::EAbort);
  EXPECT_EQ(s.cdsFatos->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsFatos->ChangeCount(), 0);
  EXPECT_EQ(Column(s.cdsFatos, "CDITEMDW"), std::vector<std::string>{"VL_VENDA"});
  EXPECT_TRUE(s.sbtVerificar->Enabled());
}

// Against the real server itself: it stops, the save fails on the broken
// link; while nothing listens at its address, connecting is refused; once it
// is back the same row is saved.
TEST(ServerGoneAway, TheRowWaitsForTheServerToComeBack) {
  ScreenHarness h;
  TfrmEstrutura& s = OpenLinkedScreen(h);
  OpenFactTable(h, s, false);
  s.cdsDime->Append();
  s.cdsDime->FieldByName("CDTABELADW")->SetAsString("FATO_VENDAS");
  s.cdsDime->FieldByName("CDITEMDIME")->SetAsString("DT_VENDA");
  s.cdsDime->FieldByName("NRSEQUEDIME")->SetAsString("00010");
  const auto post_and_save = [&s] {
    auto before = std::exchange(s.cdsDime->BeforePost, nullptr);
    auto after = std::exchange(s.cdsDime->AfterPost, nullptr);
    s.cdsDime->Post();
    s.cdsDime->BeforePost = before;
    s.cdsDime->AfterPost = after;
    s.Save("cdsDimeAfterPost");
  };
  const uint16_t old_port = h.Port();
  h.RestartServer();  // the connection still points at the stopped one
  try {
    post_and_save();
    ADD_FAILURE() << "saved on a stopped server";
  } catch (const net::ECallError& e) {
    EXPECT_EQ(e.Message(), "A conexão com o servidor 127.0.0.1:" + std::to_string(old_port) +
                               " foi perdida durante a operação; tente novamente.");
  }
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsDime->ChangeCount(), 0);

  const uint16_t new_port = h.Port();
  h.PointAtNothing();
  try {
    post_and_save();
    ADD_FAILURE() << "saved with nothing listening";
  } catch (const net::ECallError& e) {
    EXPECT_EQ(e.Message(),
              "Não foi possível conectar ao servidor 127.0.0.1:" + std::to_string(h.Port()) +
                  " (conexão recusada). Verifique se o servidor está em execução.");
  }
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsDime->FieldByName("CDITEMDIME")->AsString(), "DT_VENDA");
  EXPECT_EQ(orb::ShowAviDepth(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());

  orb::SetServerAddress({"127.0.0.1", new_port});
  post_and_save();
  EXPECT_EQ(s.cdsDime->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(s.cdsDime->ChangeCount(), 0);
  EXPECT_TRUE(Contains(Column(s.cdsDime, "CDITEMDIME"), "DT_VENDA"));
}

}  // namespace
}  // namespace qmxtest
