#include "appserver/rules/structure.h"

#include "appserver/rules/codes.h"
#include "appserver/rules/refusal.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

bool SameKey(const Record& a, const Record* self) {
  return self && (*self)[0] == a[0] && (*self)[1] == a[1];
}

}  // namespace

std::optional<Record> Structure::Table(const std::string& code) {
  Match m[] = {{tab::CDTABELADW, code}};
  auto rows = storage_.Select(Entity::kTable, m);
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

bool Structure::IsDrillTable(const std::string& code) {
  auto t = Table(code);
  return t && (*t)[tab::IDDRILLDOWN] == "S";
}

bool Structure::IsFactTable(const std::string& code) {
  auto t = Table(code);
  return t && (*t)[tab::IDDRILLDOWN] != "S";
}

std::vector<Record> Structure::Tables(bool drill) {
  Match m[] = {{tab::IDDRILLDOWN, drill ? "S" : "N"}};
  return storage_.Select(Entity::kTable, m);
}

void Structure::ForgetCaches() {
  tables_.clear();
  columns_.clear();
  fact_names_.clear();
}

std::optional<std::string> Structure::WarehouseTable(const std::string& code) {
  if (!IsWellFormedCode(code)) return std::nullopt;
  // Found once per call, misses included.
  const std::string upper = rtl::AnsiUpperCase(code);
  auto it = tables_.find(upper);
  if (it == tables_.end()) it = tables_.emplace(upper, storage_.FindWarehouseTable(code)).first;
  return it->second;
}

const Structure::TableColumns& Structure::ColumnsOf(const std::string& name) {
  auto it = columns_.find(name);
  if (it != columns_.end()) return it->second;
  TableColumns t;
  t.list = storage_.WarehouseColumns(name);
  for (size_t i = 0; i < t.list.size(); ++i)
    t.by_name.emplace(rtl::AnsiUpperCase(t.list[i].name), i);
  return columns_.emplace(name, std::move(t)).first->second;
}

std::vector<WarehouseColumn> Structure::WarehouseColumns(const std::string& code) {
  auto name = WarehouseTable(code);
  if (!name) throw Refuse(key::kInvTabela, code);
  return ColumnsOf(*name).list;
}

std::optional<WarehouseColumn> Structure::FindColumn(const std::string& table,
                                                     const std::string& column) {
  auto name = WarehouseTable(table);
  if (!name) throw Refuse(key::kInvTabela, table);
  const TableColumns& columns = ColumnsOf(*name);
  if (!IsWellFormedCode(column)) return std::nullopt;
  auto it = columns.by_name.find(rtl::AnsiUpperCase(column));
  if (it == columns.by_name.end()) return std::nullopt;
  return columns.list[it->second];
}

Structure::NameIndex& Structure::FactNames(const Side& side, const std::string& table) {
  auto key = std::make_pair(side.drill, table);
  auto it = fact_names_.find(key);
  if (it != fact_names_.end()) return it->second;
  NameIndex names;
  Match owner[] = {{0, table}};
  for (const Record& r : storage_.Select(side.facts, owner))
    names.emplace(rtl::AnsiUpperCase(r[side.fact_name]), r[1]);
  return fact_names_.emplace(key, std::move(names)).first->second;
}

void Structure::NoteFact(const Side& side, const Record* before, const Record* after) {
  if (before) {
    auto it = fact_names_.find({side.drill, (*before)[0]});
    if (it != fact_names_.end()) {
      auto [first, last] = it->second.equal_range(rtl::AnsiUpperCase((*before)[side.fact_name]));
      for (auto e = first; e != last; ++e)
        if (e->second == (*before)[1]) {
          it->second.erase(e);
          break;
        }
    }
  }
  if (after) {
    auto it = fact_names_.find({side.drill, (*after)[0]});
    if (it != fact_names_.end())
      it->second.emplace(rtl::AnsiUpperCase((*after)[side.fact_name]), (*after)[1]);
  }
}

void Structure::ForgetFacts(const Side& side, const std::string& owner) {
  fact_names_.erase({side.drill, owner});
}

void Structure::CheckFactColumn(const Side& side, const std::string& table,
                                const std::string& column, const Record* self) {
  Match owner[] = {{0, table}, {1, column}};
  for (const Record& r : storage_.Select(side.facts, owner))
    if (!SameKey(r, self)) throw Refuse(key::kCampoJa);
  auto found = FindColumn(table, column);
  if (!found) throw Refuse(key::kInvCampo, column, table);
  if (!storage_.Select(side.dimes, owner).empty()) throw Refuse(key::kJDime, column, table);
  if (!ClassifyColumnType(found->declared_type).numeric) throw Refuse(key::kNoNumber);
}

void Structure::CheckDimeColumn(const Side& side, const std::string& table,
                                const std::string& column, const Record* self) {
  Match owner[] = {{0, table}, {1, column}};
  for (const Record& r : storage_.Select(side.dimes, owner))
    if (!SameKey(r, self)) throw Refuse(side.drill ? key::kDimeDrillJa : key::kCampoJa);
  auto found = FindColumn(table, column);
  if (!found) throw Refuse(key::kInvCampo, column, table);
  if (!storage_.Select(side.facts, owner).empty()) throw Refuse(key::kJFato, column, table);
  if (!ClassifyColumnType(found->declared_type).dimension) throw Refuse(key::kNoDime);
}

void Structure::CheckFactName(const Side& side, const std::string& table, const std::string& name,
                              const Record* self) {
  // SameText compares the upper-cased forms, which is how the index is keyed.
  auto [first, last] = FactNames(side, table).equal_range(rtl::AnsiUpperCase(name));
  for (auto e = first; e != last; ++e)
    if (!(self && (*self)[0] == table && (*self)[1] == e->second)) throw Refuse(key::kNomeDrillJa);
}

void Structure::CheckDimeNumber(const Side& side, const std::string& table,
                                const std::string& number, const Record* self) {
  Match in_catalogue[] = {{dimension::NRSEQUEDIME, number}};
  if (storage_.Select(Entity::kDimension, in_catalogue).empty())
    throw Refuse(key::kInvDime, number, table);
  Match same[] = {{0, table}, {dime::NRSEQUEDIME, number}};
  for (const Record& r : storage_.Select(side.dimes, same))
    if (!SameKey(r, self)) throw Refuse(key::kDimeDrillJa);
}

std::vector<std::string> Structure::FreeColumns(const Side& side, const std::string& table,
                                                char kind) {
  Match owner[] = {{0, table}};
  std::set<std::string> taken;
  for (const Record& r : storage_.Select(side.facts, owner)) taken.insert(r[1]);
  for (const Record& r : storage_.Select(side.dimes, owner)) taken.insert(r[1]);
  std::vector<std::string> out;
  for (const WarehouseColumn& c : WarehouseColumns(table)) {
    std::string code = NormaliseCode(c.name);
    if (!IsWellFormedCode(code) || taken.count(code)) continue;
    ColumnKind k = ClassifyColumnType(c.declared_type);
    if (kind == 'F' ? k.numeric : k.dimension) out.push_back(code);
  }
  return out;
}

void Structure::CheckLink(const std::string& drill, const std::string& fact) {
  if (!IsDrillTable(drill)) throw Refuse(key::kNotTabDrill, drill);
  Match owner[] = {{0, drill}};
  if (storage_.Select(Entity::kDrillFact, owner).empty()) throw Refuse(key::kSemFato, drill);
  std::set<std::string> drill_numbers = DimensionNumbers(kDrillSide, drill);
  if (drill_numbers.empty()) throw Refuse(key::kSemDime, drill);
  for (const std::string& n : DimensionNumbers(kFactSide, fact))
    if (!drill_numbers.count(n)) throw Refuse(key::kDimeDrillMenor, drill, fact);
}

std::set<std::string> Structure::DimensionNumbers(const Side& side, const std::string& table) {
  Match owner[] = {{0, table}};
  std::set<std::string> out;
  for (const Record& r : storage_.Select(side.dimes, owner)) out.insert(r[dime::NRSEQUEDIME]);
  return out;
}

std::vector<std::string> Structure::DrillTargets(const std::string& fact) {
  Match owner[] = {{fato::CDTABELADW, fact}};
  std::set<std::string> out;
  for (const Record& r : storage_.Select(Entity::kFact, owner))
    if (!r[fato::CDTABDRILL].empty()) out.insert(r[fato::CDTABDRILL]);
  return {out.begin(), out.end()};
}

std::vector<std::string> Structure::TablesDrillingInto(const std::string& drill) {
  Match target[] = {{fato::CDTABDRILL, drill}};
  std::set<std::string> out;
  for (const Record& r : storage_.Select(Entity::kFact, target)) out.insert(r[fato::CDTABELADW]);
  return {out.begin(), out.end()};
}

int Structure::ClearLinks(const std::string& fact, const std::string& drill) {
  if (drill.empty()) return 0;
  std::vector<Match> where{{fato::CDTABDRILL, drill}};
  if (!fact.empty()) where.push_back({fato::CDTABELADW, fact});
  return storage_.Assign(Entity::kFact, where, {fato::CDTABDRILL, ""});
}

}  // namespace appserver
