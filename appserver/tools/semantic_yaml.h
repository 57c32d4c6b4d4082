// What the two export formats write alike: quoted texts, the `config: meta:`
// maps, a measure's head and the keys of our own beside its expression.
#pragma once

#include <yaml-cpp/yaml.h>

#include <ostream>
#include <string>
#include <vector>

#include "appserver/tools/semantic_model.h"

namespace appserver {

// Every text value goes out double-quoted, so codes such as "00001" or a
// name such as "yes" stay texts for any YAML reader.
inline void Text(YAML::Emitter& out, const char* key, const std::string& value) {
  out << YAML::Key << key << YAML::Value << YAML::DoubleQuoted << value;
}

// Opens the `config: meta:` maps in which a semantic model keeps keys of its
// own; the caller closes both.
inline void BeginConfigMeta(YAML::Emitter& out) {
  out << YAML::Key << "config" << YAML::Value << YAML::BeginMap << YAML::Key << "meta"
      << YAML::Value << YAML::BeginMap;
}

// A measure's name, its title under `title_key` and its description, if any.
inline void MeasureHead(YAML::Emitter& out, const std::string& name, const char* title_key,
                        const SemanticMeasure& x) {
  Text(out, "name", name);
  Text(out, title_key, x.title);
  if (!x.description.empty()) Text(out, "description", x.description);
}

// What both formats say of a measure beside its expression: its kind, its
// data mart and whether it is active (fact tables), the table it drills into.
inline void MeasureMeta(YAML::Emitter& out, const SemanticModel& m, const SemanticMeasure& x) {
  Text(out, "tipo_fato", FactTypeTitle(x.type_code));
  if (!m.drill) {
    Text(out, "data_mart", x.mart);
    Text(out, "data_mart_nome", x.mart_name);
    out << YAML::Key << "ativo" << YAML::Value << x.active;
  }
  if (!x.drill.empty()) Text(out, "drill", x.drill);
}

// The SQL of the value that identifies a row by `columns`: the column itself,
// or one text of them all, so that a key of several columns joins and counts
// as one value on every dialect. `prefix` goes before each column ("{CUBE}.").
inline std::string KeyExpression(const std::vector<std::string>& columns,
                                 const std::string& prefix = "") {
  if (columns.size() == 1) return prefix + columns[0];
  std::string sql;
  for (const std::string& c : columns)
    sql += (sql.empty() ? "" : " || '|' || ") + std::string("COALESCE(CAST(") + prefix + c +
           " AS TEXT), '')";
  return sql;
}

// The formats' files.
std::string CubeYaml(const std::vector<SemanticModel>& models);
// Notes on choices made for a table (no date dimension) go to `notes`.
std::string MetricFlowYaml(const std::vector<SemanticModel>& models, std::ostream& notes);
// The emitter's text, or StorageError when it could not write.
std::string EmittedText(const YAML::Emitter& out);

}  // namespace appserver
