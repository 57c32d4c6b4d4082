// What the long random runs of the screen share: a person who answers at
// random, the way to the dimensions of a fact table, and the check that
// every stored drill link still fits its fact table.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dimension_store.h"
#include "rtl/exceptions.h"
#include "screen/estrutura.h"
#include "screen_harness.h"
#include "vcl/db_grid.h"
#include "vcl/user_interface.h"

namespace qmxtest {

// Answers the warning questions Yes or No at random and the plain
// confirmations (delete, cancel) always Yes; in a look-up chooses a random
// row, or one time in `nothing_one_in` nothing. Remembers the errors shown
// and how often each kind of question got each answer.
class RandomPerson : public vcl::IUserInterface {
 public:
  // A question whose text holds `needle` counts as `kind`; one no needle
  // matches counts as "other".
  struct QuestionKind {
    std::string needle;
    std::string kind;
  };

  RandomPerson(std::mt19937& random, std::vector<QuestionKind> kinds, unsigned nothing_one_in)
      : random_(random), kinds_(std::move(kinds)), nothing_one_in_(nothing_one_in) {}

  void ShowError(const std::string& text) override { errors.push_back(text); }
  int ShowMessageDialog(const std::string&, vcl::TMsgDlgType, vcl::TMsgDlgButtons, int) override {
    return vcl::mrYes;
  }
  int MessageBox(const std::string& text, const std::string&, unsigned) override {
    const bool yes = random_() % 2 == 0;
    std::string kind = "other";
    for (const QuestionKind& k : kinds_)
      if (text.find(k.needle) != std::string::npos) {
        kind = k.kind;
        break;
      }
    answers[kind + (yes ? " yes" : " no")]++;
    return yes ? vcl::IDYES : vcl::IDNO;
  }
  bool Lookup(db::TDataSource& source, const std::string&) override {
    db::TClientDataSet* ds = source.DataSet();
    if (ds == nullptr || ds->RecordCount() == 0 || random_() % nothing_one_in_ == 0) return false;
    ds->SetRecNo(1 + static_cast<int>(random_() % static_cast<unsigned>(ds->RecordCount())));
    return true;
  }
  bool Search(db::TClientDataSet&) override { return false; }
  void ShowBusy(int, const std::string&) override {}
  void HideBusy() override {}
  void CursorChanged(int) override {}

  // Runs one action of the person, a refusal (EAbort) ending it; returns how
  // many of the errors it showed begin with one of `refusals`.
  int Attempt(const std::function<void()>& action,
              std::initializer_list<std::string_view> refusals) {
    const size_t errors_before = errors.size();
    try {
      action();
    } catch (const rtl::EAbort&) {
    }
    int refused = 0;
    for (size_t i = errors_before; i < errors.size(); ++i)
      refused += std::any_of(refusals.begin(), refusals.end(),
                             [&](std::string_view r) { return errors[i].starts_with(r); });
    return refused;
  }

  std::vector<std::string> errors;
  std::map<std::string, int> answers;

 private:
  std::mt19937& random_;
  std::vector<QuestionKind> kinds_;
  unsigned nothing_one_in_;
};

// Puts `ui` in place of the user interface for its lifetime.
class ScopedPerson {
 public:
  explicit ScopedPerson(vcl::IUserInterface& ui) : previous_(&vcl::UserInterface()) {
    vcl::SetUserInterface(&ui);
  }
  ~ScopedPerson() { vcl::SetUserInterface(previous_); }
  ScopedPerson(const ScopedPerson&) = delete;
  ScopedPerson& operator=(const ScopedPerson&) = delete;

 private:
  vcl::IUserInterface* previous_;
};

// The seed of a random run: QMX_RANDOM_SEED when set, to try others, else
// `fixed`.
inline unsigned RandomSeed(unsigned fixed) {
  const char* chosen = std::getenv("QMX_RANDOM_SEED");
  return chosen && *chosen ? static_cast<unsigned>(std::strtoul(chosen, nullptr, 10)) : fixed;
}

// How many of the errors shown refused a change as made elsewhere since it
// was read.
inline int CountChangedMeanwhile(const std::vector<std::string>& errors) {
  return static_cast<int>(std::count_if(errors.begin(), errors.end(), [](const std::string& e) {
    return e.starts_with("O registro foi alterado ou excluído por outro usuário");
  }));
}

inline bool Editing(const db::TClientDataSet* ds) {
  return ds->State() == db::TDataSetState::dsEdit || ds->State() == db::TDataSetState::dsInsert;
}

inline void ShowPage(qmx00600::TfrmEstrutura& s, vcl::TTabSheet* page) {
  if (s.pgcPadrao->ActivePage() != page) s.pgcPadrao->SelectTab(page);
}

// The dimension grid of fact table `table`, reached as a person does: its
// row in the list of fact tables, then page 2.
inline void OpenFactDimensions(ScreenHarness& h, qmx00600::TfrmEstrutura& s,
                               const std::string& table) {
  ShowPage(s, s.tshPadrao);
  h.Focus("dbgTabelaFatos");
  s.cdsTabelas->Locate("CDTABELADW", rtl::Variant(table), db::loNone);
  ShowPage(s, s.tshDados);
  h.Focus("dbgDimensoes");
}

// Moves to column `field` of grid `grid` and fills it, as often with its
// ellipsis look-up as by typing `typed()`.
inline void FillAtRandom(ScreenHarness& h, vcl::TDBGrid* grid, const std::string& field,
                         std::mt19937& random, const std::function<std::string()>& typed) {
  h.PickColumn(grid->Name(), field);
  if (random() % 2 == 0)
    grid->ClickEditButton();
  else
    h.Type(grid->Name(), typed());
}

// Expects every drill table a fact of `tables` drills into to carry each
// dimension number of that fact's table; `also(table, drill)` runs the
// caller's own checks on each such link.
inline void ExpectLinksCarryTheirNumbers(
    DimensionStore& store, const std::vector<std::string>& tables,
    const std::function<void(const std::string& table, const std::string& drill)>& also = {}) {
  for (const std::string& table : tables) {
    std::set<std::string> numbers;
    for (const auto& [column, n] : store.Dimensions(table)) numbers.insert(n);
    for (const std::string& drill : store.DrillTargets(table)) {
      if (also) also(table, drill);
      const std::set<std::string> carried = store.DrillNumbers(drill);
      for (const std::string& n : numbers)
        EXPECT_TRUE(carried.count(n)) << table << " drills into " << drill << " without " << n;
    }
  }
}

}  // namespace qmxtest
