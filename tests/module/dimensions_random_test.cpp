// Many random operations on the dimensions of the fact tables, each question
// answered Yes or No at random, with drill links re-made now and then, while
// another desk changes the same tables from a view of its own: the stored
// structure must end with every fact drilling into a drill table that carries
// all of its table's dimension numbers, no save of a dimension may have been
// refused for breaking a link (the screen asks first), and no call of either
// desk may have removed an item its desk had not read.
#include <gtest/gtest.h>

#include <random>

#include "dimension_store.h"
#include "linked_screen.h"
#include "orb/busy.h"
#include "random_desk.h"
#include "random_run.h"
#include "rtl/exceptions.h"

namespace qmxtest {
namespace {

TEST(DimensionsRandom, NoFactDrillsIntoATableMissingOneOfItsDimensions) {
  ScreenHarness h(Backend::kScripted);
  TwoDesks desks(h);
  qmx00600::TfrmEstrutura& s = OpenLinkedScreen(h);
  DimensionStore store(s);
  // A seed whose run has the other desk delete fact tables from a list read
  // before the screen changed them: refused, or caught if the server let it.
  const unsigned seed = RandomSeed(13);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  RandomPerson person(
      random, {{"Confirma Inclusão", "insert"}, {"A alteração desta dimensão", "change"}}, 5);
  ScopedPerson installed(person);
  auto pick = [&](const auto& items) { return items[random() % items.size()]; };

  const std::vector<std::string> tables = store.FactTables();
  const std::vector<std::string> drills = {"DRILL_VENDAS_DIA", "DRILL_ESTOQUE_LOTE"};
  RandomDesk& other = desks.Other(random, tables, drills, true);
  const std::vector<std::string> columns = {
      "cd_regiao", "CD_VENDEDOR", "dt venda",      "cd_deposito", "qt_minima", "cd_centro_custo",
      "cd_mes",    "cd_produto",  "dt_lancamento", "xpto",        "CD_CLIENTE"};
  const std::vector<std::string> drill_columns = {"CD_REGIAO", "CD_VENDEDOR", "NR_NOTA",
                                                  "DT_VALIDADE", "CD_LOTE"};
  auto number = [&] { return std::to_string(1 + random() % 12); };  // 12: not in the catalogue
  // Runs one action of the person; a refusal ends it, and what was left
  // open is given up (the list is fetched again after a refused save).
  int refused_links = 0;
  auto act = [&](const std::function<void()>& action) {
    // The other desk works while the screen shows what it read.
    if (random() % 2 == 0) other.Step(s.cdsTabelas->FieldByName("CDTABELADW")->AsString());
    refused_links += person.Attempt(action, {"As dimensões da Tabela Drill"});
    if (Editing(s.cdsDime)) {
      h.Press("dbgDimensoes", vcl::VK_ESCAPE);
      if (Editing(s.cdsDime)) s.cdsDime->Cancel();
    }
    if (s.cdsDime->ChangeCount() > 0) h.Click("sbtVerificar");
  };

  for (int step = 0; step < 400; ++step) {
    ASSERT_TRUE(desks.NoUnreadRemoval()) << "by step " << step - 1;
    SCOPED_TRACE(step);
    const unsigned kind = random() % 11;
    if (kind == 8 || kind == 9) {
      // Another fact drills into a drill table (refused when inconsistent).
      const std::string table = pick(tables);
      const auto facts = store.Facts(table);
      if (facts.empty()) continue;
      try {
        EXPECT_TRUE(store.LinkFact(table, pick(facts).at("CDITEMDW"), pick(drills)));
      } catch (const rtl::EAbort&) {
      }
      continue;
    }
    if (kind == 10) {
      try {
        store.AddDrillDimension(pick(drills), pick(drill_columns),
                                "0000" + std::to_string(1 + random() % 9));
      } catch (const rtl::EAbort&) {
      }
      continue;
    }
    OpenFactDimensions(h, s, pick(tables));
    if (kind < 3) {
      act([&] {
        h.Click("sbtIncluir");
        FillAtRandom(h, s.dbgDimensoes, "CDITEMDIME", random, [&] { return pick(columns); });
        FillAtRandom(h, s.dbgDimensoes, "NRSEQUEDIME", random, number);
        h.Click("sbtConfirmar");
      });
    } else if (s.cdsDime->RecordCount() > 0) {
      s.cdsDime->SetRecNo(1 + static_cast<int>(random() % s.cdsDime->RecordCount()));
      act([&] {
        if (kind == 7) {
          h.Click("sbtExcluir");
          return;
        }
        h.Click("sbtAlterar");
        const bool column = kind == 6;
        h.PickColumn("dbgDimensoes", column ? "CDITEMDIME" : "NRSEQUEDIME");
        s.dbgDimensoes->SetEditorText(column ? pick(columns) : number());
        // Leaving the column runs its check, which may ask too.
        h.PickColumn("dbgDimensoes", column ? "NRSEQUEDIME" : "CDITEMDIME");
        h.Click("sbtConfirmar");
      });
    }
  }
  ASSERT_TRUE(desks.NoUnreadRemoval());
  EXPECT_EQ(orb::ShowAviDepth(), 0);

  // Every question was met and answered both ways.
  for (const char* answer : {"insert yes", "insert no", "change yes", "change no"})
    EXPECT_GT(person.answers[answer], 0) << answer;
  EXPECT_EQ(refused_links, 0);
  desks.ExpectBothAtWork(CountChangedMeanwhile(person.errors));

  ExpectLinksCarryTheirNumbers(store, tables);
}

}  // namespace
}  // namespace qmxtest
