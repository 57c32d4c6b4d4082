// Many random operations on the dimensions of the fact tables, each question
// answered Yes or No at random, with drill links re-made now and then: the
// stored structure must end with every fact drilling into a drill table that
// carries all of its table's dimension numbers, and no save of a dimension
// may have been refused for breaking a link (the screen asks first).
#include <gtest/gtest.h>

#include <random>

#include "dimension_store.h"
#include "linked_screen.h"
#include "orb/busy.h"
#include "rtl/exceptions.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using db::TDataSetState;

// Answers every question at random and remembers what was asked.
class RandomPerson : public vcl::IUserInterface {
 public:
  explicit RandomPerson(std::mt19937& random) : random_(random) {}

  void ShowError(const std::string& text) override { errors.push_back(text); }
  // The plain confirmations (delete, cancel): always Yes.
  int ShowMessageDialog(const std::string&, vcl::TMsgDlgType, vcl::TMsgDlgButtons, int) override {
    return vcl::mrYes;
  }
  int MessageBox(const std::string& text, const std::string&, unsigned) override {
    const bool yes = random_() % 2 == 0;
    const std::string kind = text.find("Confirma Inclusão") != std::string::npos ? "insert"
                             : text.find("A alteração desta dimensão") != std::string::npos
                                 ? "change"
                                 : "other";
    answers[kind + (yes ? " yes" : " no")]++;
    return yes ? vcl::IDYES : vcl::IDNO;
  }
  bool Lookup(db::TDataSource& source, const std::string&) override {
    db::TClientDataSet* ds = source.DataSet();
    if (ds == nullptr || ds->RecordCount() == 0 || random_() % 5 == 0) return false;
    ds->SetRecNo(1 + static_cast<int>(random_() % static_cast<unsigned>(ds->RecordCount())));
    return true;
  }
  bool Search(db::TClientDataSet&) override { return false; }
  void ShowBusy(int, const std::string&) override {}
  void HideBusy() override {}
  void CursorChanged(int) override {}

  std::vector<std::string> errors;
  std::map<std::string, int> answers;

 private:
  std::mt19937& random_;
};

class ScopedPerson {
 public:
  explicit ScopedPerson(vcl::IUserInterface& ui) : previous_(&vcl::UserInterface()) {
    vcl::SetUserInterface(&ui);
  }
  ~ScopedPerson() { vcl::SetUserInterface(previous_); }

 private:
  vcl::IUserInterface* previous_;
};

TEST(DimensionsRandom, NoFactDrillsIntoATableMissingOneOfItsDimensions) {
  ScreenHarness h(Backend::kRealServer);
  qmx00600::TfrmEstrutura& s = OpenLinkedScreen(h);
  DimensionStore store(s);
  std::mt19937 random(20261208);
  RandomPerson person(random);
  ScopedPerson installed(person);
  auto pick = [&](const auto& items) { return items[random() % items.size()]; };

  const std::vector<std::string> tables = store.FactTables();
  const std::vector<std::string> drills = {"DRILL_VENDAS_DIA", "DRILL_ESTOQUE_LOTE"};
  const std::vector<std::string> columns = {
      "cd_regiao", "CD_VENDEDOR", "dt venda",      "cd_deposito", "qt_minima", "cd_centro_custo",
      "cd_mes",    "cd_produto",  "dt_lancamento", "xpto",        "CD_CLIENTE"};
  const std::vector<std::string> drill_columns = {"CD_REGIAO", "CD_VENDEDOR", "NR_NOTA",
                                                  "DT_VALIDADE", "CD_LOTE"};
  auto number = [&] { return std::to_string(1 + random() % 12); };  // 12: not in the catalogue
  auto editing = [&] {
    return s.cdsDime->State() == TDataSetState::dsEdit ||
           s.cdsDime->State() == TDataSetState::dsInsert;
  };
  auto open_dimensions = [&](const std::string& table) {
    if (s.pgcPadrao->ActivePage() != s.tshPadrao) s.pgcPadrao->SelectTab(s.tshPadrao);
    h.Focus("dbgTabelaFatos");
    s.cdsTabelas->Locate("CDTABELADW", rtl::Variant(table), db::loNone);
    s.pgcPadrao->SelectTab(s.tshDados);
    h.Focus("dbgDimensoes");
  };
  // Runs one action of the person; a refusal ends it, and what was left
  // open is given up (the list is fetched again after a refused save).
  int refused_links = 0;
  auto act = [&](const std::function<void()>& action) {
    const size_t errors_before = person.errors.size();
    try {
      action();
    } catch (const rtl::EAbort&) {
    }
    for (size_t i = errors_before; i < person.errors.size(); ++i)
      if (person.errors[i].starts_with("As dimensões da Tabela Drill")) ++refused_links;
    if (editing()) {
      h.Press("dbgDimensoes", vcl::VK_ESCAPE);
      if (editing()) s.cdsDime->Cancel();
    }
    if (s.cdsDime->ChangeCount() > 0) h.Click("sbtVerificar");
  };

  for (int step = 0; step < 400; ++step) {
    SCOPED_TRACE(step);
    const unsigned kind = random() % 11;
    if (kind == 8 || kind == 9) {
      // Another fact drills into a drill table (refused when inconsistent).
      const std::string table = pick(tables);
      const auto facts = store.Facts(table);
      if (facts.empty()) continue;
      try {
        store.LinkFact(table, pick(facts).at("CDITEMDW"), pick(drills));
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
    open_dimensions(pick(tables));
    if (kind < 3) {
      act([&] {
        h.Click("sbtIncluir");
        h.PickColumn("dbgDimensoes", "CDITEMDIME");
        if (random() % 2 == 0)
          s.dbgDimensoes->ClickEditButton();
        else
          h.Type("dbgDimensoes", pick(columns));
        h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
        if (random() % 2 == 0)
          s.dbgDimensoes->ClickEditButton();
        else
          h.Type("dbgDimensoes", number());
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
  EXPECT_EQ(orb::ShowAviDepth(), 0);

  // Every question was met and answered both ways.
  for (const char* answer : {"insert yes", "insert no", "change yes", "change no"})
    EXPECT_GT(person.answers[answer], 0) << answer;
  EXPECT_EQ(refused_links, 0);

  for (const std::string& table : tables) {
    std::set<std::string> numbers;
    for (const auto& [column, n] : store.Dimensions(table)) numbers.insert(n);
    for (const std::string& drill : store.DrillTargets(table)) {
      const std::set<std::string> carried = store.DrillNumbers(drill);
      for (const std::string& n : numbers)
        EXPECT_TRUE(carried.count(n)) << table << " drills into " << drill << " without " << n;
    }
  }
}

}  // namespace
}  // namespace qmxtest
