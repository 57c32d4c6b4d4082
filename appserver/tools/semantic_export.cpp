#include "appserver/tools/semantic_export.h"

#include <yaml-cpp/yaml.h>

#include <map>
#include <set>

#include "appserver/rules/codes.h"

namespace appserver {
namespace {

struct Measure {
  std::string name, column, title, description, type_code;
  std::string mart, mart_name;  // data mart (fact tables only)
  bool active = true;
  std::string drill;  // name of the drill table's model, if the fact drills
};

struct Dimension {
  std::string name, column, title, number;
  bool time = false;
  bool numeric = false;
};

struct Link {
  std::string model, table;
  std::vector<std::pair<std::string, std::string>> columns;  // (ours, theirs) by dimension number
};

struct Model {
  std::string name, table, title;
  bool drill = false;
  std::vector<Measure> measures;
  std::vector<Dimension> dimensions;
  std::vector<Link> links;
};

const char* TypeTitle(const std::string& code) {
  if (code == "M") return "Moeda";
  if (code == "P") return "Percentual";
  if (code == "Q") return "Quantidade";
  if (code == "I") return "Número inteiro";
  return "";
}

// Percentages average; money, quantities and whole numbers add up.
bool Averaged(const std::string& type_code) {
  return type_code == "P";
}

// Names unique within a scope: a clash gets _2, _3, ...
class NameScope {
 public:
  std::string Take(std::string name) {
    std::string unique = name;
    for (int n = 2; !taken_.insert(unique).second; ++n) unique = name + "_" + std::to_string(n);
    return unique;
  }

 private:
  std::set<std::string> taken_;
};

std::vector<Model> ReadModels(Storage& s) {
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

  std::map<std::string, std::map<std::string, std::string>>
      column_of_number;  // table -> number -> column
  std::vector<Model> models;
  for (const Record& t : tables) {
    Model m;
    m.table = t[tab::CDTABELADW];
    m.name = model_of[m.table];
    m.title = t[tab::NMTABELADW];
    m.drill = t[tab::IDDRILLDOWN] == "S";
    Match owner[] = {{0, m.table}};
    std::map<std::string, WarehouseColumn> columns;
    if (auto name = s.FindWarehouseTable(m.table))
      for (WarehouseColumn& c : s.WarehouseColumns(*name)) columns[NormaliseCode(c.name)] = c;

    for (const Record& f : s.Select(m.drill ? Entity::kDrillFact : Entity::kFact, owner)) {
      Measure x;
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
        if (!f[fato::CDTABDRILL].empty())
          x.drill = model_of.count(f[fato::CDTABDRILL]) ? model_of[f[fato::CDTABDRILL]]
                                                        : SemanticName(f[fato::CDTABDRILL]);
      }
      x.name = measure_names.Take(SemanticName(m.table + "_" + x.column));
      m.measures.push_back(std::move(x));
    }
    NameScope dimension_names;
    for (const Record& d : s.Select(m.drill ? Entity::kDrillDime : Entity::kDime, owner)) {
      Dimension x;
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
      }
      column_of_number[m.table][x.number] = x.column;
      m.dimensions.push_back(std::move(x));
    }
    models.push_back(std::move(m));
  }
  // Drill links: a fact table reaches each drill table its facts drill into
  // through the columns of the dimension numbers they share.
  for (Model& m : models) {
    if (m.drill) continue;
    std::set<std::string> targets;
    Match owner[] = {{fato::CDTABELADW, m.table}};
    for (const Record& f : s.Select(Entity::kFact, owner))
      if (!f[fato::CDTABDRILL].empty()) targets.insert(f[fato::CDTABDRILL]);
    for (const std::string& d : targets) {
      Link link{model_of.count(d) ? model_of[d] : SemanticName(d), d, {}};
      for (const auto& [number, column] : column_of_number[m.table]) {
        auto theirs = column_of_number[d].find(number);
        if (theirs != column_of_number[d].end()) link.columns.emplace_back(column, theirs->second);
      }
      m.links.push_back(std::move(link));
    }
  }
  return models;
}

// Every text value goes out double-quoted, so codes such as "00001" or a
// name such as "yes" stay texts for any YAML reader.
void Text(YAML::Emitter& out, const char* key, const std::string& value) {
  out << YAML::Key << key << YAML::Value << YAML::DoubleQuoted << value;
}

// Opens the `config: meta:` maps in which a semantic model keeps keys of its
// own; the caller closes both.
void BeginConfigMeta(YAML::Emitter& out) {
  out << YAML::Key << "config" << YAML::Value << YAML::BeginMap << YAML::Key << "meta"
      << YAML::Value << YAML::BeginMap;
}

// A measure's name, its title under `title_key` and its description, if any.
void MeasureHead(YAML::Emitter& out, const std::string& name, const char* title_key,
                 const Measure& x) {
  Text(out, "name", name);
  Text(out, title_key, x.title);
  if (!x.description.empty()) Text(out, "description", x.description);
}

// What both formats say of a measure beside its expression: its kind, its
// data mart and whether it is active (fact tables), the table it drills into.
void MeasureMeta(YAML::Emitter& out, const Model& m, const Measure& x) {
  Text(out, "tipo_fato", TypeTitle(x.type_code));
  if (!m.drill) {
    Text(out, "data_mart", x.mart);
    Text(out, "data_mart_nome", x.mart_name);
    out << YAML::Key << "ativo" << YAML::Value << x.active;
  }
  if (!x.drill.empty()) Text(out, "drill", x.drill);
}

void WriteMetricFlow(YAML::Emitter& out, const std::vector<Model>& models) {
  out << YAML::BeginMap << YAML::Key << "semantic_models" << YAML::Value << YAML::BeginSeq;
  for (const Model& m : models) {
    out << YAML::BeginMap;
    Text(out, "name", m.name);
    Text(out, "label", m.title);
    Text(out, "description",
         std::string(m.drill ? "Tabela drill " : "Tabela fato ") + m.table + ": " + m.title);
    Text(out, "model", "ref('" + m.name + "')");
    Text(out, "primary_entity", m.name);
    for (const Dimension& d : m.dimensions)
      if (d.time) {
        out << YAML::Key << "defaults" << YAML::Value << YAML::BeginMap;
        Text(out, "agg_time_dimension", d.name);
        out << YAML::EndMap;
        break;
      }
    out << YAML::Key << "config" << YAML::Value << YAML::BeginMap << YAML::Key << "meta"
        << YAML::Value << YAML::BeginMap;
    Text(out, "tabela", m.table);
    Text(out, "tipo", m.drill ? "drill" : "fato");
    if (!m.links.empty()) {
      out << YAML::Key << "drill" << YAML::Value << YAML::BeginSeq;
      for (const Link& l : m.links) {
        out << YAML::BeginMap;
        Text(out, "semantic_model", l.model);
        Text(out, "tabela", l.table);
        out << YAML::Key << "colunas" << YAML::Value << YAML::BeginSeq;
        for (const auto& [ours, theirs] : l.columns) {
          out << YAML::BeginMap;
          Text(out, "coluna", ours);
          Text(out, "coluna_drill", theirs);
          out << YAML::EndMap;
        }
        out << YAML::EndSeq << YAML::EndMap;
      }
      out << YAML::EndSeq;
    }
    out << YAML::EndMap << YAML::EndMap;

    out << YAML::Key << "dimensions" << YAML::Value << YAML::BeginSeq;
    for (const Dimension& d : m.dimensions) {
      out << YAML::BeginMap;
      Text(out, "name", d.name);
      Text(out, "label", d.title);
      Text(out, "type", d.time ? "time" : "categorical");
      Text(out, "expr", d.column);
      if (d.time) {
        out << YAML::Key << "type_params" << YAML::Value << YAML::BeginMap;
        Text(out, "time_granularity", "day");
        out << YAML::EndMap;
      }
      BeginConfigMeta(out);
      Text(out, "numero_dimensao", d.number);
      out << YAML::EndMap << YAML::EndMap << YAML::EndMap;
    }
    out << YAML::EndSeq;

    out << YAML::Key << "measures" << YAML::Value << YAML::BeginSeq;
    for (const Measure& x : m.measures) {
      out << YAML::BeginMap;
      MeasureHead(out, x.name, "label", x);
      Text(out, "agg", Averaged(x.type_code) ? "average" : "sum");
      Text(out, "expr", x.column);
      BeginConfigMeta(out);
      MeasureMeta(out, m, x);
      out << YAML::EndMap << YAML::EndMap << YAML::EndMap;
    }
    out << YAML::EndSeq << YAML::EndMap;
  }
  out << YAML::EndSeq << YAML::EndMap;
}

void WriteCube(YAML::Emitter& out, const std::vector<Model>& models) {
  out << YAML::BeginMap << YAML::Key << "cubes" << YAML::Value << YAML::BeginSeq;
  for (const Model& m : models) {
    out << YAML::BeginMap;
    Text(out, "name", m.name);
    Text(out, "sql_table", m.table);
    Text(out, "title", m.title);
    Text(out, "description",
         std::string(m.drill ? "Tabela drill " : "Tabela fato ") + m.table + ": " + m.title);
    out << YAML::Key << "meta" << YAML::Value << YAML::BeginMap;
    Text(out, "tabela", m.table);
    Text(out, "tipo", m.drill ? "drill" : "fato");
    out << YAML::EndMap;
    if (!m.links.empty()) {
      // The drill table holds the detail of each row of the fact table: many
      // of its rows for one of ours, matched on the shared dimensions.
      out << YAML::Key << "joins" << YAML::Value << YAML::BeginSeq;
      for (const Link& l : m.links) {
        std::string on;
        for (const auto& [ours, theirs] : l.columns)
          on += (on.empty() ? "" : " AND ") + std::string("{CUBE}.") + ours + " = {" + l.model +
                "}." + theirs;
        out << YAML::BeginMap;
        Text(out, "name", l.model);
        Text(out, "relationship", "one_to_many");
        Text(out, "sql", on.empty() ? "1 = 1" : on);
        out << YAML::EndMap;
      }
      out << YAML::EndSeq;
    }
    // A cube's members share one namespace, its own: measures are named
    // after their columns, clear of the dimensions' names.
    NameScope members;
    for (const Dimension& d : m.dimensions) members.Take(d.name);
    out << YAML::Key << "measures" << YAML::Value << YAML::BeginSeq;
    for (const Measure& x : m.measures) {
      out << YAML::BeginMap;
      MeasureHead(out, members.Take(SemanticName(x.column)), "title", x);
      Text(out, "sql", x.column);
      Text(out, "type", Averaged(x.type_code) ? "avg" : "sum");
      out << YAML::Key << "meta" << YAML::Value << YAML::BeginMap;
      MeasureMeta(out, m, x);
      out << YAML::EndMap << YAML::EndMap;
    }
    out << YAML::EndSeq;
    out << YAML::Key << "dimensions" << YAML::Value << YAML::BeginSeq;
    for (const Dimension& d : m.dimensions) {
      out << YAML::BeginMap;
      Text(out, "name", d.name);
      Text(out, "title", d.title);
      Text(out, "sql", d.column);
      Text(out, "type", d.time ? "time" : d.numeric ? "number" : "string");
      out << YAML::Key << "meta" << YAML::Value << YAML::BeginMap;
      Text(out, "numero_dimensao", d.number);
      out << YAML::EndMap << YAML::EndMap;
    }
    out << YAML::EndSeq << YAML::EndMap;
  }
  out << YAML::EndSeq << YAML::EndMap;
}

}  // namespace

std::optional<ExportFormat> ParseExportFormat(std::string_view name) {
  if (name == "metricflow") return ExportFormat::kMetricFlow;
  if (name == "cube") return ExportFormat::kCube;
  return std::nullopt;
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

std::string ExportStructure(Storage& storage, ExportFormat format) {
  std::vector<Model> models = ReadModels(storage);
  YAML::Emitter out;
  out.SetIndent(2);
  if (format == ExportFormat::kMetricFlow)
    WriteMetricFlow(out, models);
  else
    WriteCube(out, models);
  if (!out.good()) throw StorageError(std::string("Falha ao gerar o YAML: ") + out.GetLastError());
  return std::string(out.c_str()) + "\n";
}

}  // namespace appserver
