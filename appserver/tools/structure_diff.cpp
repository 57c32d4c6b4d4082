#include "appserver/tools/structure_diff.h"

#include <algorithm>
#include <set>

#include "appserver/rules/codes.h"

namespace appserver {
namespace {

const char* const kSections[] = {"Tabelas fato",     "Fatos",       "Dimensões",
                                 "Tabelas drill",    "Fatos drill", "Dimensões drill",
                                 "Ligações de drill"};

const char* SectionOf(Entity e) {
  switch (e) {
    case Entity::kFact:
      return kSections[1];
    case Entity::kDime:
      return kSections[2];
    case Entity::kDrillFact:
      return kSections[4];
    case Entity::kDrillDime:
      return kSections[5];
    default:
      break;
  }
  return "";
}

const char* TableSection(const Record& table) {
  return table[tab::IDDRILLDOWN] == "S" ? kSections[3] : kSections[0];
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// A column as the difference names it, and its value in words.
std::string ColumnTitle(const std::string& column) {
  static const std::map<std::string, std::string> titles = {
      {"NMTABELADW", "nome"},     {"NMITEMDW", "nome"},         {"NMITEMDRILL", "nome"},
      {"IDFATODW", "ativo"},      {"CDAREANEGDW", "Data Mart"}, {"IDTPFATODW", "tipo"},
      {"IDTPFATODRILL", "tipo"},  {"DSHINTITEM", "descrição"},  {"DSHINTDRILL", "descrição"},
      {"NRSEQUEDIME", "dimensão"}};
  auto it = titles.find(column);
  return it == titles.end() ? column : it->second;
}

std::string ValueText(const std::string& column, const std::string& value) {
  if (column == "IDTPFATODW" || column == "IDTPFATODRILL") return FactTypeTitle(value);
  if (column == "IDFATODW") return value == "N" ? "não" : "sim";
  return Quoted(value);
}

// The columns that differ, but the drill link (a difference of its own).
std::string Changes(Entity e, const Record& before, const Record& after) {
  const EntityDef& def = Describe(e);
  std::string out;
  for (size_t c = def.key_columns; c < def.columns.size(); ++c) {
    const std::string column = def.columns[c].name;
    if (before[c] == after[c] || (e == Entity::kFact && c == fato::CDTABDRILL)) continue;
    out += (out.empty() ? "" : "; ") + ColumnTitle(column) + " " + ValueText(column, before[c]) +
           " → " + ValueText(column, after[c]);
  }
  return out;
}

// An item by its key, with its name or number.
std::string ItemText(Entity e, const Record& r) {
  std::string key = r[0] + "." + r[1];
  if (e == Entity::kDime || e == Entity::kDrillDime) return key + " (dimensão " + r[2] + ")";
  return key + " " + Quoted(e == Entity::kFact ? r[fato::NMITEMDW] : r[fdrill::NMITEMDRILL]);
}

std::string ItemCount(const StructureRecords& s, const std::string& table, bool drill) {
  size_t facts = 0, dimes = 0;
  for (const auto& [key, r] : s.items.at(drill ? Entity::kDrillFact : Entity::kFact))
    facts += key.first == table;
  for (const auto& [key, r] : s.items.at(drill ? Entity::kDrillDime : Entity::kDime))
    dimes += key.first == table;
  if (facts + dimes == 0) return "";
  return ", com " + std::to_string(facts) + (facts == 1 ? " fato e " : " fatos e ") +
         std::to_string(dimes) + (dimes == 1 ? " dimensão" : " dimensões");
}

const Record* Lookup(const StructureRecords::Items& items,
                     const std::pair<std::string, std::string>& key) {
  auto it = items.find(key);
  return it == items.end() ? nullptr : &it->second;
}

}  // namespace

StructureRecords ReadStructureRecords(Storage& storage) {
  StructureRecords s;
  for (Record& t : storage.Select(Entity::kTable)) s.tables[t[tab::CDTABELADW]] = std::move(t);
  for (Entity e : kItemEntities) {
    auto& items = s.items[e];
    for (Record& r : storage.Select(e)) items[{r[0], r[1]}] = std::move(r);
  }
  return s;
}

StructureRecords MapModels(const std::vector<SemanticModel>& models, Storage& storage,
                           std::vector<std::string>& refused) {
  std::set<std::string> marts, numbers;
  std::map<std::string, std::set<std::string>> numbers_named;  // name or title -> numbers
  for (const Record& r : storage.Select(Entity::kDataMart)) marts.insert(r[mart::CDAREANEGDW]);
  for (const Record& r : storage.Select(Entity::kDimension)) {
    numbers.insert(r[dimension::NRSEQUEDIME]);
    numbers_named[r[dimension::NMITEMDIME]].insert(r[dimension::NRSEQUEDIME]);
    numbers_named[SemanticName(r[dimension::NMITEMDIME])].insert(r[dimension::NRSEQUEDIME]);
  }
  std::map<std::string, const SemanticModel*> by_name, by_table;
  for (const SemanticModel& m : models) {
    by_name.emplace(m.name, &m);
    by_table.emplace(m.table, &m);
  }

  StructureRecords s;
  for (Entity e : kItemEntities) s.items[e];
  for (const SemanticModel& m : models) {
    const std::string table = (m.drill ? "Tabela drill " : "Tabela fato ") + m.table;
    if (!IsWellFormedCode(m.table)) {
      refused.push_back("Modelo " + Quoted(m.name) + ": " + Quoted(m.table) +
                        " não é um código de tabela.");
      continue;
    }
    if (!s.tables.emplace(m.table, Record{m.table, m.title, m.drill ? "S" : "N"}).second) {
      refused.push_back(table + ": aparece mais de uma vez no arquivo.");
      continue;
    }
    if (!storage.FindWarehouseTable(m.table))
      refused.push_back(table + ": não existe no data warehouse.");
    auto put = [&](Entity e, Record r, const std::string& what) {
      std::string column = r[1];
      if (!s.items[e].emplace(std::make_pair(m.table, column), std::move(r)).second)
        refused.push_back(what + " " + m.table + "." + column + ": aparece mais de uma vez.");
    };
    for (const SemanticMeasure& x : m.measures) {
      const std::string what = (m.drill ? "Fato drill " : "Fato ") + m.table + "." + x.column;
      if (m.drill) {
        put(Entity::kDrillFact, {m.table, x.column, x.title, x.type_code, x.description},
            "Fato drill");
        continue;
      }
      std::string mart_code = WidenNumber(x.mart);
      if (mart_code.empty())
        refused.push_back(what + ": não informa o Data Mart (meta data_mart).");
      else if (!marts.count(mart_code))
        refused.push_back(what + ": o Data Mart " + Quoted(mart_code) + " não está cadastrado.");
      std::string drill;
      if (!x.drill.empty()) {
        const SemanticModel* target = nullptr;
        if (auto it = by_name.find(x.drill); it != by_name.end())
          target = it->second;
        else if (auto jt = by_table.find(NormaliseCode(x.drill)); jt != by_table.end())
          target = jt->second;
        if (!target)
          refused.push_back(what + ": faz drill para " + Quoted(x.drill) +
                            ", que não está no arquivo.");
        else if (!target->drill)
          refused.push_back(what + ": faz drill para " + Quoted(x.drill) +
                            ", que no arquivo não é uma tabela drill.");
        else
          drill = target->table;
      }
      put(Entity::kFact,
          {m.table, x.column, x.active ? "S" : "N", mart_code, x.title, x.type_code, x.description,
           drill},
          "Fato");
    }
    for (const SemanticDimension& d : m.dimensions) {
      const std::string what =
          (m.drill ? "Dimensão drill " : "Dimensão ") + m.table + "." + d.column;
      std::string number = WidenNumber(d.number);
      if (number.empty()) {
        // A hand-written file names the dimension instead.
        for (const std::string& name : {d.title, d.name})
          if (numbers_named.count(name) && numbers_named[name].size() == 1)
            number = *numbers_named[name].begin();
        if (number.empty()) {
          refused.push_back(what + " (" + Quoted(d.title.empty() ? d.name : d.title) +
                            "): não corresponde a nenhuma dimensão do catálogo; informe "
                            "numero_dimensao no meta.");
          continue;
        }
      } else if (!numbers.count(number)) {
        refused.push_back(what + ": a dimensão número " + Quoted(number) +
                          " não está cadastrada no catálogo.");
        continue;
      }
      put(m.drill ? Entity::kDrillDime : Entity::kDime, {m.table, d.column, number},
          m.drill ? "Dimensão drill" : "Dimensão");
    }
  }
  return s;
}

std::vector<Difference> Compare(const StructureRecords& now, const StructureRecords& wanted) {
  using Kind = Difference::Kind;
  std::vector<Difference> out;
  std::set<std::string> gone;  // stored tables whose items all go with them
  for (const auto& [code, t] : now.tables) {
    auto w = wanted.tables.find(code);
    if (w == wanted.tables.end() || w->second[tab::IDDRILLDOWN] != t[tab::IDDRILLDOWN]) {
      gone.insert(code);
      out.push_back({Kind::kRemoved, TableSection(t),
                     code + " " + Quoted(t[tab::NMTABELADW]) +
                         ItemCount(now, code, t[tab::IDDRILLDOWN] == "S")});
    } else if (w->second != t) {
      out.push_back(
          {Kind::kChanged, TableSection(t), code + ": " + Changes(Entity::kTable, t, w->second)});
    }
  }
  for (const auto& [code, t] : wanted.tables)
    if (!now.tables.count(code) || gone.count(code))
      out.push_back({Kind::kAdded, TableSection(t), code + " " + Quoted(t[tab::NMTABELADW])});

  for (Entity e : kItemEntities) {
    const auto& stored = now.items.at(e);
    const auto& target = wanted.items.at(e);
    for (const auto& [key, r] : stored) {
      if (gone.count(key.first)) continue;
      const Record* w = Lookup(target, key);
      if (!w)
        out.push_back({Kind::kRemoved, SectionOf(e), ItemText(e, r)});
      else if (std::string changes = Changes(e, r, *w); !changes.empty())
        out.push_back(
            {Kind::kChanged, SectionOf(e), key.first + "." + key.second + ": " + changes});
    }
    for (const auto& [key, r] : target)
      if (gone.count(key.first) || !Lookup(stored, key))
        out.push_back({Kind::kAdded, SectionOf(e), ItemText(e, r)});
  }

  // Drill links, of the facts kept, added or removed.
  std::set<std::pair<std::string, std::string>> facts;
  for (const auto& [key, r] : now.items.at(Entity::kFact)) facts.insert(key);
  for (const auto& [key, r] : wanted.items.at(Entity::kFact)) facts.insert(key);
  for (const auto& key : facts) {
    const Record* before =
        gone.count(key.first) ? nullptr : Lookup(now.items.at(Entity::kFact), key);
    const Record* after = Lookup(wanted.items.at(Entity::kFact), key);
    std::string from = before ? (*before)[fato::CDTABDRILL] : "";
    std::string to = after ? (*after)[fato::CDTABDRILL] : "";
    if (from == to) continue;
    const std::string fact = key.first + "." + key.second + " → ";
    if (!from.empty()) out.push_back({Kind::kRemoved, kSections[6], fact + from});
    if (!to.empty()) out.push_back({Kind::kAdded, kSections[6], fact + to});
  }
  std::stable_sort(out.begin(), out.end(), [](const Difference& a, const Difference& b) {
    auto rank = [](const std::string& s) {
      return std::find(std::begin(kSections), std::end(kSections), s) - std::begin(kSections);
    };
    return rank(a.section) < rank(b.section);
  });
  return out;
}

std::string DifferencesText(const std::vector<Difference>& differences) {
  if (differences.empty()) return "Nenhuma diferença: a estrutura gravada já é a do arquivo.\n";
  std::string out = "Diferenças entre o arquivo e a estrutura gravada (" +
                    std::to_string(differences.size()) + "):\n";
  std::string section;
  for (const Difference& d : differences) {
    if (d.section != section) out += (section = d.section) + ":\n";
    const char* verb = d.kind == Difference::Kind::kAdded     ? "incluir"
                       : d.kind == Difference::Kind::kChanged ? "alterar"
                                                              : "excluir";
    out += std::string("  ") + verb + " " + d.text + "\n";
  }
  return out;
}

}  // namespace appserver
