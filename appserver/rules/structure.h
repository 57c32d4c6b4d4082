// Structure: the rules of the warehouse structure, read through one storage
// session. Every check either passes or throws Refusal with the text the
// client decodes (refusal.h).
//
// A side is the pair of entities a table's items live in: facts and
// dimensions of a fact table, or drill facts and drill dimensions of a drill
// table. Records of both sides share their layout: owner table, column, ...,
// and a dimension's number is its third column.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "appserver/storage/storage.h"

namespace appserver {

struct Side {
  Entity facts;
  Entity dimes;
  int fact_name;  // column of the fact's display name
  bool drill;
};
inline constexpr Side kFactSide{Entity::kFact, Entity::kDime, fato::NMITEMDW, false};
inline constexpr Side kDrillSide{Entity::kDrillFact, Entity::kDrillDime, fdrill::NMITEMDRILL, true};

class Structure {
 public:
  explicit Structure(Storage& storage) : storage_(storage) {}

  std::optional<Record> Table(const std::string& code);
  bool IsDrillTable(const std::string& code);
  bool IsFactTable(const std::string& code);
  std::vector<Record> Tables(bool drill);

  // The warehouse table a code names (compared without regard to case), if any.
  std::optional<std::string> WarehouseTable(const std::string& code);
  // The columns of warehouse table `code`; Refusal INV_TABELA when there is none.
  std::vector<WarehouseColumn> WarehouseColumns(const std::string& code);

  // Column rules, in this order: already an item of this kind (CAMPO_JA, or
  // DIME_DRILL_JA for a drill dimension), no such column (INV_CAMPO), already
  // an item of the other kind (J_DIME, J_FATO), a type that cannot be one
  // (NO_NUMBER, NO_DIME). `self` is the record being replaced (excluded from the
  // duplicate tests), or null for a new one.
  void CheckFactColumn(const Side& side, const std::string& table, const std::string& column,
                       const Record* self);
  void CheckDimeColumn(const Side& side, const std::string& table, const std::string& column,
                       const Record* self);
  void CheckFactName(const Side& side, const std::string& table, const std::string& name,
                     const Record* self);
  void CheckDimeNumber(const Side& side, const std::string& table, const std::string& number,
                       const Record* self);
  // Columns of `table` that may still become facts (kind 'F') or dimensions ('D').
  std::vector<std::string> FreeColumns(const Side& side, const std::string& table, char kind);

  // Drill-down consistency of fact table `fact` drilling into `drill`; throws
  // NOT_TAB_DRILL, SEM_FATO, SEM_DIME or DIME_DRILL_MENOR.
  void CheckLink(const std::string& drill, const std::string& fact);

  std::set<std::string> DimensionNumbers(const Side& side, const std::string& table);
  // Drill tables the facts of `fact` drill into, sorted.
  std::vector<std::string> DrillTargets(const std::string& fact);
  // Fact tables with a fact drilling into `drill`, sorted.
  std::vector<std::string> TablesDrillingInto(const std::string& drill);
  // Clears the drill link of the facts of `fact` (all fact tables when empty)
  // that drill into `drill`; returns how many facts changed.
  int ClearLinks(const std::string& fact, const std::string& drill);

  Storage& storage() { return storage_; }

  // What a call reads again and again (the warehouse catalogue, a table's
  // columns, the fact names of a table) is read once per call and kept here,
  // so a packet of many rows costs no more per row than a packet of one.
  // ForgetCaches starts a call afresh; writes of facts made during the call
  // are told through NoteFact (one fact replaced, either side may be null) and
  // ForgetFacts (every fact of `owner` removed).
  void ForgetCaches();
  void NoteFact(const Side& side, const Record* before, const Record* after);
  void ForgetFacts(const Side& side, const std::string& owner);

 private:
  struct TableColumns {
    std::vector<WarehouseColumn> list;
    std::unordered_map<std::string, size_t> by_name;  // upper-cased name -> first in list
  };
  // Fact names of one table: upper-cased name -> columns of the facts bearing it.
  using NameIndex = std::unordered_multimap<std::string, std::string>;

  std::optional<WarehouseColumn> FindColumn(const std::string& table, const std::string& column);
  const TableColumns& ColumnsOf(const std::string& name);
  NameIndex& FactNames(const Side& side, const std::string& table);

  Storage& storage_;
  // Upper-cased code -> the warehouse table as named, or none.
  std::unordered_map<std::string, std::optional<std::string>> tables_;
  std::map<std::string, TableColumns> columns_;
  std::map<std::pair<bool, std::string>, NameIndex> fact_names_;
};

}  // namespace appserver
