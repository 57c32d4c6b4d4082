// The MetricFlow file read back: semantic models with their dimensions and
// measures; entities, metrics and the time dimension the export adds to a
// table without one are how a semantic layer queries, not structure.
#include "appserver/rules/codes.h"
#include "appserver/tools/import_readers.h"

namespace appserver {

using namespace import_yaml;

namespace {

// "ref('fato_vendas')" -> "fato_vendas"; "" for anything else.
std::string ReferencedModel(const std::string& model) {
  const std::string head = "ref('", tail = "')";
  if (!model.starts_with(head) || !model.ends_with(tail) || model.size() <= head.size() + 2)
    return {};
  return model.substr(head.size(), model.size() - head.size() - tail.size());
}

YAML::Node ConfigMeta(const YAML::Node& element) {
  return MapAt(MapAt(element, "config"), "meta");
}

const FormatKeys kKeys{"expr", "label", "agg", "sum ou average", "gerada", ConfigMeta};

}  // namespace

ReadModels ReadMetricFlowFile(const YAML::Node& file) {
  ReadModels read;
  YAML::Node list = file.IsMap() ? file["semantic_models"] : YAML::Node();
  if (!list || !list.IsSequence()) {
    read.refused.push_back("O arquivo não tem a lista \"semantic_models\".");
    return read;
  }
  for (const YAML::Node& node : list) {
    SemanticModel m;
    YAML::Node meta = ConfigMeta(node);
    m.name = TextAt(node, "name");
    m.table = TextAt(meta, "tabela");
    if (m.table.empty()) m.table = ReferencedModel(TextAt(node, "model"));
    if (m.table.empty()) m.table = m.name;
    m.table = NormaliseCode(m.table);
    m.title = TextAt(meta, "nome");
    if (m.title.empty()) m.title = TextAt(node, "label");
    if (m.title.empty()) m.title = m.table;
    m.drill = TextAt(meta, "tipo") == "drill";
    const std::string where = "Modelo \"" + m.name + "\" (tabela " + m.table + ")";

    ReadItems(node, kKeys, where, m, read.refused);
    read.models.push_back(std::move(m));
  }
  return read;
}

}  // namespace appserver
