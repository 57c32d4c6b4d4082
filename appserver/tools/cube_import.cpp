// The cube file read back: cubes with their dimensions and measures; the
// hidden key dimension the export adds and the joins are how a semantic layer
// queries, not structure (a link is read from the measures that drill).
#include "appserver/rules/codes.h"
#include "appserver/tools/import_readers.h"

namespace appserver {

using namespace import_yaml;

namespace {

YAML::Node Meta(const YAML::Node& element) {
  return MapAt(element, "meta");
}

const FormatKeys kKeys{"sql", "title", "type", "sum ou avg", "chave", Meta};

}  // namespace

ReadModels ReadCubeFile(const YAML::Node& file) {
  ReadModels read;
  YAML::Node list = file.IsMap() ? file["cubes"] : YAML::Node();
  if (!list || !list.IsSequence()) {
    read.refused.push_back("O arquivo não tem a lista \"cubes\".");
    return read;
  }
  for (const YAML::Node& node : list) {
    SemanticModel m;
    YAML::Node meta = Meta(node);
    m.name = TextAt(node, "name");
    m.table = TextAt(meta, "tabela");
    if (m.table.empty()) {
      // The table of sql_table, without its schema.
      m.table = TextAt(node, "sql_table");
      m.table =
          m.table.substr(m.table.rfind('.') == std::string::npos ? 0 : m.table.rfind('.') + 1);
    }
    if (m.table.empty()) m.table = m.name;
    m.table = NormaliseCode(m.table);
    m.title = TextAt(node, "title");
    if (m.title.empty()) m.title = m.table;
    m.drill = TextAt(meta, "tipo") == "drill";
    const std::string where = "Cubo \"" + m.name + "\" (tabela " + m.table + ")";

    ReadItems(node, kKeys, where, m, read.refused);
    read.models.push_back(std::move(m));
  }
  return read;
}

}  // namespace appserver
