// RandomDesk: another person at a desk of their own, changing the structure
// at random while the screen under test works. They act from a view they read
// now and then, so it is often out of date: each step reads part of the view
// again or makes one change from it — facts, dimensions, drill facts and drill
// dimensions added and deleted, facts linked to drill tables and unlinked, the
// links into a drill table dropped as shown, tables deleted and registered
// again. After a change that is taken, the part of the view it touched is read
// again, as the screen does after a save.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "appserver/rules/refusal.h"
#include "removal_audit.h"
#include "screen_harness.h"
#include "support/other_desk.h"

namespace qmxtest {

class RandomDesk {
 public:
  // Drill tables may be deleted, fact tables too when `deletes_fact_tables`
  // (a run that needs their facts and links may keep them).
  RandomDesk(OtherDesk& desk, std::mt19937& random, std::vector<std::string> fact_tables,
             std::vector<std::string> drill_tables, bool deletes_fact_tables)
      : desk_(desk),
        random_(random),
        tables_{std::move(fact_tables), std::move(drill_tables)},
        deletes_fact_tables_(deletes_fact_tables) {}

  // One step, one time in two on table `in_view` (the one the screen shows)
  // when it is one of the desk's tables.
  void Step(const std::string& in_view = {}) {
    bool drill = random_() % 2 == 0;
    std::string code = Pick(tables_[drill]);
    if (random_() % 2 == 0)
      for (bool d : {false, true})
        if (std::count(tables_[d].begin(), tables_[d].end(), in_view)) {
          drill = d;
          code = in_view;
        }
    const unsigned kind = random_() % 12;
    if (kind == 0) {
      lists_[drill] = desk_.TableList(drill);
    } else if (kind == 1) {
      items_[code] = desk_.Items(code, drill);
    } else if (kind == 2) {
      // The question before a drill table's delete, asked now and consented
      // to at a later step.
      const std::string into = Pick(tables_[true]);
      if (drill)
        uses_[into] = desk_.TablesDrillingInto(into);
      else if (uses_.count(into) && !uses_[into].rows.empty())
        Try([&] { desk_.DropLinksShown(into, uses_[into]); }, into, true);
    } else if (kind <= 6) {
      ChangeItems(code, drill, kind);
    } else if (kind <= 9) {
      LinkOrUnlink(drill ? code : Pick(tables_[true]));
    } else if (kind == 10 && random_() % 4 == 0 && (drill || deletes_fact_tables_)) {
      DeleteTable(code, drill);
    } else if (kind == 11) {
      RegisterAgain(drill);
    }
  }

  int taken = 0;              // changes the server took
  int changed_meanwhile = 0;  // refused as changed since the desk read them
  int refused = 0;            // refused by another rule

 private:
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[random_() % items.size()];
  }
  const db::Packet& List(bool drill) {
    if (!lists_.count(drill)) lists_[drill] = desk_.TableList(drill);
    return lists_[drill];
  }
  std::pair<db::Packet, db::Packet>& View(const std::string& code, bool drill) {
    if (!items_.count(code)) items_[code] = desk_.Items(code, drill);
    return items_[code];
  }
  std::string Number() { return std::to_string(1 + random_() % 11); }

  // Makes one change; once taken, reads again the items of `code` (or the
  // table list when `code` is empty).
  void Try(const std::function<void()>& change, const std::string& code, bool drill) {
    try {
      change();
      ++taken;
      if (code.empty())
        lists_[drill] = desk_.TableList(drill);
      else
        items_[code] = desk_.Items(code, drill);
    } catch (const std::runtime_error& e) {
      ++(std::string_view(e.what()).find(appserver::kChangedMeanwhile) != std::string_view::npos
             ? changed_meanwhile
             : refused);
    }
  }

  // Adds or deletes a fact or a dimension of `code` (a drill fact or drill
  // dimension of a drill table).
  void ChangeItems(const std::string& code, bool drill, unsigned kind) {
    const bool facts = kind <= 4;
    const bool add = kind % 2 == 1;
    const db::Packet& view = facts ? View(code, drill).first : View(code, drill).second;
    const std::string method =
        facts ? (drill ? "SetFatosDrill" : "SetFatos") : (drill ? "SetDimeDrill" : "SetDime");
    const std::string table = drill ? "" : code;
    if (!add) {
      if (view.rows.empty()) return;
      const size_t row = random_() % view.rows.size();
      Try([&] { desk_.Delete(method, view, row, table); }, code, drill);
      return;
    }
    const std::vector<std::string> free = desk_.FreeColumns(facts ? "F" : "D", code);
    if (free.empty()) return;
    const std::string column = Pick(free);
    const std::string owner = drill ? "CDTABDRILL" : "CDTABELADW";
    OtherDesk::Values values;
    if (facts && drill)
      values = {{owner, code}, {"CDITEMDRILL", column}, {"NMITEMDRILL", "Outro " + column}};
    else if (facts)
      values = {{owner, code},        {"CDITEMDW", column}, {"NMITEMDW", "Outro " + column},
                {"CDAREANEGDW", "1"}, {"IDFATODW", "S"},    {"IDTPFATODW", "M"}};
    else
      values = {
          {owner, code}, {drill ? "CDDIMEDRILL" : "CDITEMDIME", column}, {"NRSEQUEDIME", Number()}};
    Try([&] { desk_.Insert(method, view, values, table); }, code, drill);
  }

  // A fact of the view of a fact table drills into drill table `into` from
  // now on or (one time in three, when it drills) no longer.
  void LinkOrUnlink(const std::string& into) {
    const std::string table = Pick(tables_[false]);
    const db::Packet& facts = View(table, false).first;
    if (facts.rows.empty()) return;
    const size_t row = random_() % facts.rows.size();
    const int link = facts.FieldIndex("CDTABDRILL");
    const bool linked = facts.rows[row].values.at(static_cast<size_t>(link)).value_or("") != "";
    const std::string drill = linked && random_() % 3 == 0 ? "" : into;
    Try([&] { desk_.Update("SetFatos", facts, row, "CDTABDRILL", drill, table); }, table, false);
  }

  // Registers again, empty, a table the list (read now) no longer shows.
  void RegisterAgain(bool drill) {
    lists_[drill] = desk_.TableList(drill);
    std::vector<std::string> missing;
    for (const std::string& code : tables_[drill])
      if (!OtherDesk::FindRow(lists_[drill], "CDTABELADW", code)) missing.push_back(code);
    if (missing.empty()) return;
    const std::string code = Pick(missing);
    Try(
        [&] {
          desk_.Insert(drill ? "SetTabelaDrill" : "SetTabelas", lists_[drill],
                       {{"CDTABELADW", code},
                        {"NMTABELADW", "Outra vez"},
                        {"IDDRILLDOWN", drill ? "S" : "N"}});
        },
        "", drill);
  }

  // Deletes table `code` as the view's list shows it.
  void DeleteTable(const std::string& code, bool drill) {
    const db::Packet& list = List(drill);
    const auto row = OtherDesk::FindRow(list, "CDTABELADW", code);
    if (!row) return;  // not in the view
    Try([&] { desk_.Delete(drill ? "SetTabelaDrill" : "SetTabelas", list, *row); }, "", drill);
  }

  OtherDesk& desk_;
  std::mt19937& random_;
  std::vector<std::string> tables_[2];  // fact tables, drill tables
  bool deletes_fact_tables_;
  std::map<bool, db::Packet> lists_;
  std::map<std::string, std::pair<db::Packet, db::Packet>> items_;
  std::map<std::string, db::Packet> uses_;  // what the question before a delete showed
};

// A random run at two desks on one server: the screen under test, on a
// harness with the scripted server in front of the real one, and a RandomDesk;
// one RemovalAudit watches both. Made before the screen opens, so that the
// audit sees every read of the screen.
class TwoDesks {
 public:
  explicit TwoDesks(ScreenHarness& h) : h_(h), audit_(h.OpenStorage()) {
    h.Scripted().Watch(audit_.Watcher("screen"));
  }

  // Seats the other person, who works on these tables.
  RandomDesk& Other(std::mt19937& random, std::vector<std::string> fact_tables,
                    std::vector<std::string> drill_tables, bool deletes_fact_tables) {
    other_session_ = std::make_unique<OtherDesk>(audit_.Watched("other desk", h_.OtherSession()));
    other_ = std::make_unique<RandomDesk>(*other_session_, random, std::move(fact_tables),
                                          std::move(drill_tables), deletes_fact_tables);
    return *other_;
  }

  // Nothing was removed by a call whose desk had not read it.
  ::testing::AssertionResult NoUnreadRemoval() const {
    const std::vector<std::string> faults = audit_.Faults();
    if (faults.empty()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    for (const std::string& f : faults) failure << f << "\n";
    return failure;
  }

  // At the end: both desks removed things, changes were refused as made
  // meanwhile, and the history tells every change that was stored.
  void ExpectBothAtWork(int screen_changed_meanwhile) {
    EXPECT_GT(audit_.Removals("screen"), 0);
    EXPECT_GT(audit_.Removals("other desk"), 0);
    EXPECT_GT(other_->taken, 0);
    EXPECT_GT(screen_changed_meanwhile + other_->changed_meanwhile, 0);
    audit_.ExpectStoredAsReplayed();
  }

 private:
  ScreenHarness& h_;
  RemovalAudit audit_;
  std::unique_ptr<OtherDesk> other_session_;
  std::unique_ptr<RandomDesk> other_;
};

}  // namespace qmxtest
