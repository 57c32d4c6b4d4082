#include "appserver/tools/semantic_model.h"

#include <map>

#include "appserver/rules/codes.h"
#include "rtl/strings.h"

namespace appserver {

namespace {

// Fact kinds: the code stored and the title the exports write.
constexpr std::pair<const char*, const char*> kFactTypes[] = {
    {"M", "Moeda"}, {"P", "Percentual"}, {"Q", "Quantidade"}, {"I", "Número inteiro"}};

}  // namespace

const char* FactTypeTitle(const std::string& code) {
  for (const auto& [c, title] : kFactTypes)
    if (code == c) return title;
  return "";
}

std::string FactTypeOfTitle(const std::string& title) {
  for (const auto& [c, t] : kFactTypes)
    if (title == t) return c;
  return "";
}

// Percentages average; money, quantities and whole numbers add up.
bool AveragedFact(const std::string& type_code) {
  return type_code == "P";
}

RowKey TableRowKey(const std::vector<WarehouseColumn>& columns,
                   const std::vector<std::string>& dimension_columns) {
  RowKey key;
  for (const WarehouseColumn& c : columns)
    if (c.key) key.columns.push_back(c.name);
  if (!key.columns.empty()) return key;
  key.origin = RowKey::Origin::kDimensions;
  for (const std::string& d : dimension_columns)
    for (const WarehouseColumn& c : columns)
      if (rtl::SameText(c.name, d)) key.columns.push_back(c.name);
  if (!key.columns.empty()) return key;
  key.origin = RowKey::Origin::kAllColumns;
  for (const WarehouseColumn& c : columns) key.columns.push_back(c.name);
  return key;
}

const char* RowKeyOriginName(RowKey::Origin origin) {
  switch (origin) {
    case RowKey::Origin::kDeclared:
      return "tabela";
    case RowKey::Origin::kDimensions:
      return "dimensoes";
    case RowKey::Origin::kAllColumns:
      break;
  }
  return "colunas";
}

std::vector<SemanticModel> ReadSemanticModels(Storage& s, const std::string& schema) {
  std::map<std::string, std::string> marts, catalogue, model_of;
  for (const Record& r : s.Select(Entity::kDataMart))
    marts[r[mart::CDAREANEGDW]] = r[mart::NMAREANEGDW];
  for (const Record& r : s.Select(Entity::kDimension))
    catalogue[r[dimension::NRSEQUEDIME]] = r[dimension::NMITEMDIME];
  std::vector<Record> tables = s.Select(Entity::kTable);
  NameScope model_names;
  for (const Record& t : tables)
    model_of[t[tab::CDTABELADW]] = model_names.Take(SemanticName(t[tab::CDTABELADW]));
  // Measure names must be unique across every model of a project.
  NameScope measure_names;

  // table -> dimension number -> (column, declared type)
  std::map<std::string, std::map<std::string, std::pair<std::string, std::string>>>
      column_of_number;
  std::vector<SemanticModel> models;
  for (const Record& t : tables) {
    SemanticModel m;
    m.table = t[tab::CDTABELADW];
    m.name = model_of[m.table];
    m.title = t[tab::NMTABELADW];
    m.drill = t[tab::IDDRILLDOWN] == "S";
    m.sql_table = schema.empty() ? m.table : schema + "." + m.table;
    Match owner[] = {{0, m.table}};
    std::vector<WarehouseColumn> listed;
    if (auto name = s.FindWarehouseTable(m.table)) listed = s.WarehouseColumns(*name);
    std::map<std::string, WarehouseColumn> columns;
    for (const WarehouseColumn& c : listed) columns[NormaliseCode(c.name)] = c;

    for (const Record& f : s.Select(m.drill ? Entity::kDrillFact : Entity::kFact, owner)) {
      SemanticMeasure x;
      if (m.drill) {
        x.column = f[fdrill::CDITEMDRILL];
        x.title = f[fdrill::NMITEMDRILL];
        x.type_code = f[fdrill::IDTPFATODRILL];
        x.description = f[fdrill::DSHINTDRILL];
      } else {
        x.column = f[fato::CDITEMDW];
        x.title = f[fato::NMITEMDW];
        x.type_code = f[fato::IDTPFATODW];
        x.description = f[fato::DSHINTITEM];
        x.mart = f[fato::CDAREANEGDW];
        x.mart_name = marts.count(x.mart) ? marts[x.mart] : "";
        x.active = f[fato::IDFATODW] != "N";
        x.drill_table = f[fato::CDTABDRILL];
        if (!f[fato::CDTABDRILL].empty())
          x.drill = model_of.count(f[fato::CDTABDRILL]) ? model_of[f[fato::CDTABDRILL]]
                                                        : SemanticName(f[fato::CDTABDRILL]);
      }
      x.name = measure_names.Take(SemanticName(m.table + "_" + x.column));
      m.measures.push_back(std::move(x));
    }
    NameScope dimension_names;
    for (const Record& d : s.Select(m.drill ? Entity::kDrillDime : Entity::kDime, owner)) {
      SemanticDimension x;
      x.column = m.drill ? d[ddrill::CDDIMEDRILL] : d[dime::CDITEMDIME];
      x.number = m.drill ? d[ddrill::NRSEQUEDIME] : d[dime::NRSEQUEDIME];
      x.title = catalogue.count(x.number) ? catalogue[x.number] : x.column;
      x.name = dimension_names.Take(SemanticName(x.title));
      auto c = columns.find(x.column);
      if (c != columns.end()) {
        ColumnKind kind = ClassifyColumnType(c->second.declared_type);
        std::string type = NormaliseCode(c->second.declared_type);
        x.time = type.starts_with("DATE") || type.starts_with("TIME");
        x.numeric = kind.numeric;
        x.declared_type = c->second.declared_type;
      }
      column_of_number[m.table][x.number] = {x.column, x.declared_type};
      m.dimensions.push_back(std::move(x));
    }
    // A key of dimensions lists them by number, the order in which a drill
    // link pairs them, so a fact table's key and the drill table's reference
    // to it are the same expression.
    std::vector<std::string> dimension_columns;
    for (const auto& [number, column] : column_of_number[m.table])
      dimension_columns.push_back(column.first);
    m.key = TableRowKey(listed, dimension_columns);
    models.push_back(std::move(m));
  }
  // Drill links: a fact table reaches each drill table its facts drill into
  // through the columns of the dimension numbers they share.
  for (SemanticModel& m : models) {
    if (m.drill) continue;
    std::set<std::string> targets;
    Match owner[] = {{fato::CDTABELADW, m.table}};
    for (const Record& f : s.Select(Entity::kFact, owner))
      if (!f[fato::CDTABDRILL].empty()) targets.insert(f[fato::CDTABDRILL]);
    for (const std::string& d : targets) {
      SemanticLink link{model_of.count(d) ? model_of[d] : SemanticName(d), d, {}, {}};
      for (const auto& [number, ours] : column_of_number[m.table]) {
        auto theirs = column_of_number[d].find(number);
        if (theirs == column_of_number[d].end()) {
          if (link.unjoinable.empty())
            link.unjoinable = "a tabela drill " + d + " não tem a dimensão " + number + " (" +
                              m.table + "." + ours.first + ")";
          continue;
        }
        link.columns.emplace_back(ours.first, theirs->second.first);
        if (link.unjoinable.empty() && !ours.second.empty() && !theirs->second.second.empty() &&
            ClassifyColumnFamily(ours.second) != ClassifyColumnFamily(theirs->second.second))
          link.unjoinable = "a coluna " + m.table + "." + ours.first + " (" + ours.second +
                            ") e a coluna " + d + "." + theirs->second.first + " (" +
                            theirs->second.second + ") têm tipos incompatíveis";
      }
      if (link.columns.empty() && link.unjoinable.empty())
        link.unjoinable = "a tabela " + m.table + " não tem dimensões";
      m.links.push_back(std::move(link));
    }
  }
  return models;
}

std::vector<std::string> UniqueLabels(const std::vector<std::string>& texts,
                                      const std::vector<std::string>& qualifiers) {
  std::map<std::string, int> uses;
  for (const std::string& t : texts) ++uses[t];
  std::vector<std::string> labels;
  for (size_t i = 0; i < texts.size(); ++i)
    labels.push_back(uses[texts[i]] > 1 ? texts[i] + " (" + qualifiers[i] + ")" : texts[i]);
  return labels;
}

std::string SemanticName(std::string_view text) {
  // Portuguese letters lose their accents; anything else becomes a separator.
  static const std::pair<std::string_view, char> kAccents[] = {
      {"á", 'a'}, {"à", 'a'}, {"â", 'a'}, {"ã", 'a'}, {"ä", 'a'}, {"é", 'e'},
      {"ê", 'e'}, {"è", 'e'}, {"í", 'i'}, {"ó", 'o'}, {"ô", 'o'}, {"õ", 'o'},
      {"ö", 'o'}, {"ú", 'u'}, {"ü", 'u'}, {"ç", 'c'}, {"ñ", 'n'}, {"Á", 'a'},
      {"À", 'a'}, {"Â", 'a'}, {"Ã", 'a'}, {"É", 'e'}, {"Ê", 'e'}, {"Í", 'i'},
      {"Ó", 'o'}, {"Ô", 'o'}, {"Õ", 'o'}, {"Ú", 'u'}, {"Ç", 'c'}};
  std::string out;
  bool separator = false;
  auto put = [&](char c) {
    if (separator && !out.empty()) out += '_';
    separator = false;
    out += c;
  };
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      put(c);
      ++i;
      continue;
    }
    if (c >= 'A' && c <= 'Z') {
      put(static_cast<char>(c - 'A' + 'a'));
      ++i;
      continue;
    }
    bool matched = false;
    for (const auto& [accented, plain] : kAccents)
      if (text.substr(i).starts_with(accented)) {
        put(plain);
        i += accented.size();
        matched = true;
        break;
      }
    if (matched) continue;
    separator = true;
    ++i;
  }
  if (out.empty() || !(out[0] >= 'a' && out[0] <= 'z')) out = "t_" + out;
  return out;
}

}  // namespace appserver
