// Many random operations on both ends of the drill links: drill facts and
// drill dimensions added, renumbered and deleted (through the deletion guard
// and around it with Ctrl+Delete), drill tables deleted and registered again,
// dimensions of fact tables added and deleted, facts linked to drill tables;
// every question answered Yes or No at random; meanwhile another desk changes
// the same tables from a view of its own. Afterwards no fact may drill into a
// drill table that is missing, has no drill fact, or lacks one of its fact
// table's dimension numbers, the screen's lists hold no pending change the
// server did not take, and no call of either desk removed an item its desk
// had not read.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>

#include "dimension_store.h"
#include "linked_screen.h"
#include "orb/busy.h"
#include "random_desk.h"
#include "random_run.h"
#include "rtl/exceptions.h"
#include "screen_test_util.h"
#include "vcl/control.h"

namespace qmxtest {
namespace {

TEST(DrillRandom, NoFactDrillsIntoATableThatDoesNotFitIt) {
  ScreenHarness h(Backend::kScripted);
  TwoDesks desks(h);
  qmx00600::TfrmEstrutura& s = OpenLinkedScreen(h);
  h.Focus("dbgTabelaFatos");
  DimensionStore store(s);
  // Before the last fact's consent carried its version, this seed's run had
  // the screen drop a link made at the other desk meanwhile.
  const unsigned seed = RandomSeed(23);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // The warnings answered at random, the plain confirmations with Yes, a
  // random row (or nothing) chosen in look-ups.
  RandomPerson person(random,
                      {{"todos os fatos", "last fact"},
                       {"desta dimensão", "dimension"},
                       {"como Drill", "drill table"}},
                      6);
  ScopedPerson installed(person);
  auto pick = [&](const auto& items) { return items[random() % items.size()]; };

  const std::vector<std::string> tables = store.FactTables();
  const std::vector<std::string> drills = {"DRILL_VENDAS_DIA", "DRILL_ESTOQUE_LOTE"};
  // The fact tables stay: they are where the links come from.
  RandomDesk& other = desks.Other(random, tables, drills, false);
  const std::vector<std::string> names = {"Valor", "Quantidade", "Custo", "valor", "Desconto"};
  const std::vector<std::string> drill_fact_columns = {"vl_venda", "QT_VENDIDA", "vl_desconto",
                                                       "nr_nota",  "qt_estoque", "VL_CUSTO"};
  const std::vector<std::string> drill_dime_columns = {
      "cd_cliente", "CD_PRODUTO", "cd_mes", "dt_venda", "cd_regiao", "cd_deposito", "cd_lote"};
  const std::vector<std::string> fact_dime_columns = {"cd_regiao", "CD_VENDEDOR", "cd_deposito",
                                                      "cd_mes",    "cd_produto",  "CD_CLIENTE"};
  auto number = [&] { return std::to_string(1 + random() % 11); };

  // Page 2 of drill table `drill`, on its facts or its dimensions.
  auto open_drill = [&](const std::string& drill, bool facts) {
    ShowPage(s, s.tshPadrao);
    h.Focus("dbgTabelaDrill");
    if (!s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant(drill), db::loNone)) return false;
    ShowPage(s, s.tshDados);
    h.Focus(facts ? "dbgFatosDrill" : "dbgDimensoes");
    return true;
  };
  auto random_row = [&](db::TClientDataSet* ds) {
    if (ds->RecordCount() == 0) return false;
    ds->SetRecNo(1 + static_cast<int>(random() % static_cast<unsigned>(ds->RecordCount())));
    return true;
  };
  // One action of the person; a refusal ends it, and a row left open is
  // given up as the person would.
  int refused_deletes = 0;
  auto act = [&](const std::function<void()>& action) {
    // The other desk works while the screen shows what it read.
    if (random() % 3 == 0)
      other.Step(
          (random() % 2 ? s.cdsTabelaDrill : s.cdsTabelas)->FieldByName("CDTABELADW")->AsString());
    refused_deletes += person.Attempt(
        action, {"Não há fatos", "Não há dimensões", "As dimensões da Tabela Drill"});
    for (db::TClientDataSet* ds : {s.cdsFatosDrill, s.cdsDimeDrill, s.cdsDime, s.cdsTabelaDrill})
      if (Editing(ds)) ds->Cancel();
  };

  for (int step = 0; step < 400; ++step) {
    ASSERT_TRUE(desks.NoUnreadRemoval()) << "by step " << step - 1;
    SCOPED_TRACE(step);
    const unsigned kind = random() % 16;
    const std::string drill = pick(drills);
    if (kind <= 2 && open_drill(drill, true)) {
      act([&] {
        h.Click("sbtIncluir");
        FillAtRandom(h, s.dbgFatosDrill, "CDITEMDRILL", random,
                     [&] { return pick(drill_fact_columns); });
        h.PickColumn("dbgFatosDrill", "NMITEMDRILL");
        h.Type("dbgFatosDrill", pick(names) + " " + std::to_string(random() % 4));
        h.Click("sbtConfirmar");
      });
    } else if (kind <= 4 && open_drill(drill, true) && random_row(s.cdsFatosDrill)) {
      act([&] {
        if (kind == 3) {
          h.Click("sbtExcluir");
        } else {
          h.PickColumn("dbgFatosDrill", "NMITEMDRILL");
          h.Press("dbgFatosDrill", vcl::VK_DELETE, vcl::ssCtrl);
        }
      });
    } else if (kind <= 6 && open_drill(drill, false)) {
      act([&] {
        h.Click("sbtIncluir");
        FillAtRandom(h, s.dbgDimensoes, "CDDIMEDRILL", random,
                     [&] { return pick(drill_dime_columns); });
        FillAtRandom(h, s.dbgDimensoes, "NRSEQUEDIME", random, number);
        h.Click("sbtConfirmar");
      });
    } else if (kind <= 9 && open_drill(drill, false) && random_row(s.cdsDimeDrill)) {
      act([&] {
        if (kind == 7) {
          h.Click("sbtAlterar");
          h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
          s.dbgDimensoes->SetEditorText(number());
          h.PickColumn("dbgDimensoes", "CDDIMEDRILL");
          h.Click("sbtConfirmar");
        } else if (kind == 8) {
          h.Click("sbtExcluir");
        } else {
          h.Press("dbgDimensoes", vcl::VK_DELETE, vcl::ssCtrl);
        }
      });
    } else if (kind <= 11) {
      const std::string table = pick(tables);
      const auto facts = store.Facts(table);
      if (facts.empty()) continue;
      act([&] { (void)store.LinkFact(table, pick(facts).at("CDITEMDW"), drill); });
    } else if (kind == 12 || kind == 13) {
      OpenFactDimensions(h, s, pick(tables));
      act([&] {
        if (kind == 12) {
          h.Click("sbtIncluir");
          h.PickColumn("dbgDimensoes", "CDITEMDIME");
          h.Type("dbgDimensoes", pick(fact_dime_columns));
          h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
          h.Type("dbgDimensoes", number());
          h.Click("sbtConfirmar");
        } else if (random_row(s.cdsDime)) {
          h.Click("sbtExcluir");
        }
      });
    } else if (kind == 14 && random() % 3 == 0) {
      // A drill table goes (its links first, when the person agrees).
      ShowPage(s, s.tshPadrao);
      h.Focus("dbgTabelaDrill");
      if (!s.cdsTabelaDrill->Locate("CDTABELADW", rtl::Variant(drill), db::loNone)) continue;
      act([&] { h.Click("sbtExcluir"); });
    } else if (kind == 15 && !store.DrillTables().count(drill)) {
      // ... and is registered again, empty (by either desk's delete).
      ShowPage(s, s.tshPadrao);
      h.Focus("dbgTabelaDrill");
      act([&] {
        h.Click("sbtIncluir");
        s.cdsTabelaDrill->FieldByName("CDTABELADW")->SetAsString(drill);
        s.cdsTabelaDrill->FieldByName("NMTABELADW")->SetAsString("De novo");
        h.Click("sbtConfirmar");
      });
    }
    // Nothing the server refused stays pending on the screen.
    for (db::TClientDataSet* ds : {s.cdsFatosDrill, s.cdsDimeDrill, s.cdsDime, s.cdsTabelaDrill})
      ASSERT_EQ(ds->ChangeCount(), 0) << ds->Name();
  }
  ASSERT_TRUE(desks.NoUnreadRemoval());
  EXPECT_EQ(orb::ShowAviDepth(), 0);

  // The work was real: rows of both kinds were saved, deletes were refused
  // by the server, and the guard's questions were answered both ways.
  const std::vector<std::string> calls = h.CallNames();
  EXPECT_GT(CountOf(calls, "SetFatosDrill"), 20);
  EXPECT_GT(CountOf(calls, "SetDimeDrill"), 20);
  EXPECT_GT(refused_deletes, 0);
  for (const char* answer : {"last fact yes", "last fact no", "drill table yes", "drill table no"})
    EXPECT_GT(person.answers[answer], 0) << answer;
  EXPECT_GT(person.answers["dimension yes"] + person.answers["dimension no"], 0);
  desks.ExpectBothAtWork(CountChangedMeanwhile(person.errors));

  const std::set<std::string> registered = store.DrillTables();
  int links = 0;
  ExpectLinksCarryTheirNumbers(
      store, tables, [&](const std::string& table, const std::string& drill) {
        ++links;
        EXPECT_TRUE(registered.count(drill)) << table << " drills into the missing " << drill;
        rtl::Variant facts, dimensions;
        s.Server().GetDimeFatosDrill(drill, facts, dimensions);
        EXPECT_FALSE(DimensionStore::Rows(facts).empty()) << drill << " has no drill fact";
      });
  EXPECT_GT(links, 0);  // something still drills, so the checks above checked
}

}  // namespace
}  // namespace qmxtest
