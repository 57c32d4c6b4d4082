// The cube file: a cube per registered table, joined to the drill tables its
// facts drill into. Every cube has a primary key, without which the compiler
// refuses a join and could not aggregate a measure across one without
// counting a row once per row it joins.
#include "appserver/rules/codes.h"
#include "appserver/tools/semantic_yaml.h"

namespace appserver {
namespace {

// The key dimension: hidden, made of the columns that identify a row.
void WriteKey(YAML::Emitter& out, const std::string& name, const RowKey& key) {
  std::vector<std::string> columns;
  for (const std::string& c : key.columns) columns.push_back(NormaliseCode(c));
  std::string sql = KeyExpression(columns, "{CUBE}.");
  out << YAML::BeginMap;
  Text(out, "name", name);
  Text(out, "sql", sql);
  Text(out, "type", "string");
  out << YAML::Key << "primary_key" << YAML::Value << true;
  out << YAML::Key << "public" << YAML::Value << false;
  out << YAML::Key << "meta" << YAML::Value << YAML::BeginMap;
  Text(out, "chave", RowKeyOriginName(key.origin));
  out << YAML::EndMap << YAML::EndMap;
}

}  // namespace

std::string CubeYaml(const std::vector<SemanticModel>& models) {
  YAML::Emitter out;
  out.SetIndent(2);
  out << YAML::BeginMap << YAML::Key << "cubes" << YAML::Value << YAML::BeginSeq;
  for (const SemanticModel& m : models) {
    out << YAML::BeginMap;
    Text(out, "name", m.name);
    Text(out, "sql_table", m.sql_table);
    Text(out, "title", m.title);
    Text(out, "description",
         std::string(m.drill ? "Tabela drill " : "Tabela fato ") + m.table + ": " + m.title);
    out << YAML::Key << "meta" << YAML::Value << YAML::BeginMap;
    Text(out, "tabela", m.table);
    Text(out, "tipo", m.drill ? "drill" : "fato");
    out << YAML::EndMap;
    // The drill table holds the detail of each row of the fact table: many
    // of its rows for one of ours, matched on the shared dimensions. A link
    // the tables cannot be joined on is left out (ExportStructure says so).
    std::vector<const SemanticLink*> joins;
    for (const SemanticLink& l : m.links)
      if (l.unjoinable.empty()) joins.push_back(&l);
    if (!joins.empty()) {
      out << YAML::Key << "joins" << YAML::Value << YAML::BeginSeq;
      for (const SemanticLink* link : joins) {
        const SemanticLink& l = *link;
        std::string on;
        for (const auto& [ours, theirs] : l.columns)
          on += (on.empty() ? "" : " AND ") + std::string("{CUBE}.") + ours + " = {" + l.model +
                "}." + theirs;
        out << YAML::BeginMap;
        Text(out, "name", l.model);
        Text(out, "relationship", "one_to_many");
        Text(out, "sql", on);
        out << YAML::EndMap;
      }
      out << YAML::EndSeq;
    }
    // A cube's members share one namespace, its own: measures are named
    // after their columns, clear of the dimensions' names.
    NameScope members;
    for (const SemanticDimension& d : m.dimensions) members.Take(d.name);
    const std::string key_name = members.Take("chave");
    out << YAML::Key << "measures" << YAML::Value << YAML::BeginSeq;
    for (const SemanticMeasure& x : m.measures) {
      out << YAML::BeginMap;
      MeasureHead(out, members.Take(SemanticName(x.column)), "title", x);
      Text(out, "sql", x.column);
      Text(out, "type", AveragedFact(x.type_code) ? "avg" : "sum");
      out << YAML::Key << "meta" << YAML::Value << YAML::BeginMap;
      MeasureMeta(out, m, x);
      out << YAML::EndMap << YAML::EndMap;
    }
    out << YAML::EndSeq;
    out << YAML::Key << "dimensions" << YAML::Value << YAML::BeginSeq;
    for (const SemanticDimension& d : m.dimensions) {
      out << YAML::BeginMap;
      Text(out, "name", d.name);
      Text(out, "title", d.title);
      Text(out, "sql", d.column);
      Text(out, "type", d.time ? "time" : d.numeric ? "number" : "string");
      out << YAML::Key << "meta" << YAML::Value << YAML::BeginMap;
      Text(out, "numero_dimensao", d.number);
      out << YAML::EndMap << YAML::EndMap;
    }
    WriteKey(out, key_name, m.key);
    out << YAML::EndSeq << YAML::EndMap;
  }
  out << YAML::EndSeq << YAML::EndMap;
  return EmittedText(out);
}

}  // namespace appserver
