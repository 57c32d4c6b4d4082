// The MetricFlow file: a semantic model per registered table.
#include "appserver/tools/semantic_yaml.h"

namespace appserver {

std::string MetricFlowYaml(const std::vector<SemanticModel>& models, std::ostream& notes) {
  (void)notes;
  YAML::Emitter out;
  out.SetIndent(2);
  out << YAML::BeginMap << YAML::Key << "semantic_models" << YAML::Value << YAML::BeginSeq;
  for (const SemanticModel& m : models) {
    out << YAML::BeginMap;
    Text(out, "name", m.name);
    Text(out, "label", m.title);
    Text(out, "description",
         std::string(m.drill ? "Tabela drill " : "Tabela fato ") + m.table + ": " + m.title);
    Text(out, "model", "ref('" + m.name + "')");
    Text(out, "primary_entity", m.name);
    for (const SemanticDimension& d : m.dimensions)
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
      for (const SemanticLink& l : m.links) {
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
    for (const SemanticDimension& d : m.dimensions) {
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
    for (const SemanticMeasure& x : m.measures) {
      out << YAML::BeginMap;
      MeasureHead(out, x.name, "label", x);
      Text(out, "agg", AveragedFact(x.type_code) ? "average" : "sum");
      Text(out, "expr", x.column);
      BeginConfigMeta(out);
      MeasureMeta(out, m, x);
      out << YAML::EndMap << YAML::EndMap << YAML::EndMap;
    }
    out << YAML::EndSeq << YAML::EndMap;
  }
  out << YAML::EndSeq << YAML::EndMap;
  return EmittedText(out);
}

}  // namespace appserver
