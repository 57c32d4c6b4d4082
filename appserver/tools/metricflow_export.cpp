// The MetricFlow file: a semantic model per registered table, with the
// entities that join them, and a simple metric per fact.
#include <map>

#include "appserver/rules/codes.h"
#include "appserver/tools/semantic_yaml.h"

namespace appserver {
namespace {

struct ModelEntity {
  std::string name, type, expr;
};

std::vector<std::string> Normalised(const std::vector<std::string>& columns) {
  std::vector<std::string> out;
  for (const std::string& c : columns) out.push_back(NormaliseCode(c));
  return out;
}

// The entities of every model, in model order:
// - its primary entity, named after the model, on the columns that identify
//   its rows (semantic_model.h);
// - for a drill table, a foreign entity per fact table drilling into it, on
//   its columns of the fact table's dimensions: the fact table's primary
//   entity where its rows are keyed by those dimensions, else a unique entity
//   "<fact table>_dimensoes" the fact table gains. A drill row belongs to one
//   fact row, so its metrics group by the fact table's dimensions;
// - a foreign entity "chave_<dimension>" for each dimension number that more
//   than one table has, so that metrics of those tables group by it together.
std::vector<std::vector<ModelEntity>> Entities(const std::vector<SemanticModel>& models) {
  NameScope names;
  for (const SemanticModel& m : models) names.Take(m.name);
  std::map<std::string, int> tables_with;  // dimension number -> tables that have it
  std::map<std::string, std::string> shared;
  for (const SemanticModel& m : models)
    for (const SemanticDimension& d : m.dimensions)
      if (!d.generated) ++tables_with[d.number];
  for (const SemanticModel& m : models)
    for (const SemanticDimension& d : m.dimensions)
      if (!d.generated && tables_with[d.number] > 1 && !shared.count(d.number))
        shared[d.number] = names.Take("chave_" + SemanticName(d.title));

  std::vector<std::vector<ModelEntity>> entities(models.size());
  std::map<std::string, size_t> index;
  for (size_t i = 0; i < models.size(); ++i) {
    index[models[i].table] = i;
    entities[i].push_back(
        {models[i].name, "primary", KeyExpression(Normalised(models[i].key.columns))});
  }
  for (size_t i = 0; i < models.size(); ++i) {
    const SemanticModel& m = models[i];
    std::string reference;  // the entity a drill row refers to
    for (const SemanticLink& l : m.links) {
      auto target = index.find(l.table);
      if (!l.unjoinable.empty() || target == index.end()) continue;
      std::vector<std::string> ours, theirs;
      for (const auto& [o, t] : l.columns) {
        ours.push_back(o);
        theirs.push_back(t);
      }
      if (reference.empty()) {
        if (m.key.origin == RowKey::Origin::kDimensions && Normalised(m.key.columns) == ours) {
          reference = m.name;
        } else {
          reference = names.Take(m.name + "_dimensoes");
          entities[i].push_back({reference, "unique", KeyExpression(ours)});
        }
      }
      entities[target->second].push_back({reference, "foreign", KeyExpression(theirs)});
    }
  }
  for (size_t i = 0; i < models.size(); ++i)
    for (const SemanticDimension& d : models[i].dimensions)
      if (!d.generated && shared.count(d.number))
        entities[i].push_back({shared[d.number], "foreign", d.column});
  return entities;
}

// Every measure needs a time dimension to aggregate by. A table without a
// registered date dimension gets one that is always empty: its metrics add
// up over every row and group by anything but time. Told on `notes`.
void AddTimeDimension(SemanticModel& m, std::ostream& notes) {
  if (m.measures.empty()) return;
  for (const SemanticDimension& d : m.dimensions)
    if (d.time) return;
  NameScope taken;
  for (const SemanticDimension& d : m.dimensions) taken.Take(d.name);
  SemanticDimension none;
  none.name = taken.Take("sem_data");
  none.title = "Sem data";
  none.column = "CAST(NULL AS DATE)";
  none.time = true;
  none.generated = true;
  notes << "A tabela " << m.table << " (" << m.title
        << ") não tem dimensão de data registrada: suas medidas agregam pela dimensão de tempo \""
        << none.name
        << "\", sempre vazia, e não podem ser recortadas por data. Registre uma dimensão de "
           "data na tabela para isso.\n";
  m.dimensions.push_back(std::move(none));
}

void WriteDimensions(YAML::Emitter& out, const SemanticModel& m) {
  std::vector<std::string> titles, columns;
  for (const SemanticDimension& d : m.dimensions) {
    titles.push_back(d.title);
    columns.push_back(d.column);
  }
  std::vector<std::string> labels = UniqueLabels(titles, columns);
  out << YAML::Key << "dimensions" << YAML::Value << YAML::BeginSeq;
  for (size_t i = 0; i < m.dimensions.size(); ++i) {
    const SemanticDimension& d = m.dimensions[i];
    out << YAML::BeginMap;
    Text(out, "name", d.name);
    Text(out, "label", labels[i]);
    Text(out, "type", d.time ? "time" : "categorical");
    Text(out, "expr", d.column);
    if (d.time) {
      out << YAML::Key << "type_params" << YAML::Value << YAML::BeginMap;
      Text(out, "time_granularity", "day");
      out << YAML::EndMap;
    }
    BeginConfigMeta(out);
    if (d.generated)
      out << YAML::Key << "gerada" << YAML::Value << true;
    else
      Text(out, "numero_dimensao", d.number);
    out << YAML::EndMap << YAML::EndMap << YAML::EndMap;
  }
  out << YAML::EndSeq;
}

void WriteModelMeta(YAML::Emitter& out, const SemanticModel& m) {
  BeginConfigMeta(out);
  Text(out, "tabela", m.table);
  Text(out, "nome", m.title);
  Text(out, "tipo", m.drill ? "drill" : "fato");
  Text(out, "chave", RowKeyOriginName(m.key.origin));
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
}

void WriteMetrics(YAML::Emitter& out, const std::vector<SemanticModel>& models) {
  std::vector<const SemanticMeasure*> measures;
  std::vector<std::string> titles, tables;
  for (const SemanticModel& m : models)
    for (const SemanticMeasure& x : m.measures) {
      measures.push_back(&x);
      titles.push_back(x.title);
      tables.push_back(m.table);
    }
  std::vector<std::string> labels = UniqueLabels(titles, tables);
  out << YAML::Key << "metrics" << YAML::Value << YAML::BeginSeq;
  for (size_t i = 0; i < measures.size(); ++i) {
    out << YAML::BeginMap;
    Text(out, "name", measures[i]->name);
    Text(out, "label", labels[i]);
    if (!measures[i]->description.empty()) Text(out, "description", measures[i]->description);
    Text(out, "type", "simple");
    out << YAML::Key << "type_params" << YAML::Value << YAML::BeginMap;
    Text(out, "measure", measures[i]->name);
    out << YAML::EndMap << YAML::EndMap;
  }
  out << YAML::EndSeq;
}

}  // namespace

std::string MetricFlowYaml(const std::vector<SemanticModel>& read, std::ostream& notes) {
  std::vector<SemanticModel> models = read;
  for (SemanticModel& m : models) AddTimeDimension(m, notes);
  std::vector<std::vector<ModelEntity>> entities = Entities(models);
  std::vector<std::string> titles, tables;
  for (const SemanticModel& m : models) {
    titles.push_back(m.title);
    tables.push_back(m.table);
  }
  std::vector<std::string> labels = UniqueLabels(titles, tables);

  YAML::Emitter out;
  out.SetIndent(2);
  out << YAML::BeginMap << YAML::Key << "semantic_models" << YAML::Value << YAML::BeginSeq;
  for (size_t i = 0; i < models.size(); ++i) {
    const SemanticModel& m = models[i];
    out << YAML::BeginMap;
    Text(out, "name", m.name);
    Text(out, "label", labels[i]);
    Text(out, "description",
         std::string(m.drill ? "Tabela drill " : "Tabela fato ") + m.table + ": " + m.title);
    Text(out, "model", "ref('" + m.name + "')");
    for (const SemanticDimension& d : m.dimensions)
      if (d.time) {
        out << YAML::Key << "defaults" << YAML::Value << YAML::BeginMap;
        Text(out, "agg_time_dimension", d.name);
        out << YAML::EndMap;
        break;
      }
    WriteModelMeta(out, m);

    out << YAML::Key << "entities" << YAML::Value << YAML::BeginSeq;
    for (const ModelEntity& e : entities[i]) {
      out << YAML::BeginMap;
      Text(out, "name", e.name);
      Text(out, "type", e.type);
      Text(out, "expr", e.expr);
      out << YAML::EndMap;
    }
    out << YAML::EndSeq;
    WriteDimensions(out, m);

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
  out << YAML::EndSeq;
  WriteMetrics(out, models);
  out << YAML::EndMap;
  return EmittedText(out);
}

}  // namespace appserver
