#include "appserver/rules/codes.h"
#include "appserver/tools/import_readers.h"
#include "rtl/strings.h"

namespace appserver::import_yaml {
namespace {

// A column named by an expression: the identifier itself, upper-cased, with
// a "{CUBE}." before it dropped; "" when the expression is more than a column.
std::string ColumnOf(const std::string& expression) {
  std::string text = expression;
  if (text.starts_with("{CUBE}.")) text = text.substr(7);
  std::string code = NormaliseCode(text);
  return code.size() == rtl::Trim(text).size() && IsWellFormedCode(code) ? code : "";
}

// A measure's kind: the fact type the meta names, else the one its
// aggregation implies (a sum: Moeda; an average: Percentual); "" when
// neither maps.
std::string FactTypeOf(const std::string& meta_title, const std::string& aggregation) {
  if (!meta_title.empty()) return FactTypeOfTitle(meta_title);
  if (aggregation == "sum") return "M";
  if (aggregation == "average" || aggregation == "avg") return "P";
  return "";
}

// A YAML "no" in any of its spellings ("false", "no", "off"), or "N" as stored.
bool IsNo(const std::string& value) {
  std::string v = rtl::UpperCase(rtl::Trim(value));
  return v == "FALSE" || v == "NO" || v == "OFF" || v == "N";
}

}  // namespace

std::string TextAt(const YAML::Node& map, const char* key) {
  if (!map.IsMap()) return {};
  YAML::Node value = map[key];
  return value && value.IsScalar() ? value.Scalar() : std::string();
}

YAML::Node MapAt(const YAML::Node& map, const char* key) {
  if (!map.IsMap()) return YAML::Node();
  YAML::Node value = map[key];
  return value && value.IsMap() ? value : YAML::Node();
}

void ReadItems(const YAML::Node& node, const FormatKeys& keys, const std::string& where,
               SemanticModel& m, std::vector<std::string>& refused) {
  auto list = [&](const char* key) {
    YAML::Node items = node.IsMap() ? node[key] : YAML::Node();
    return items && items.IsSequence() ? items : YAML::Node(YAML::NodeType::Sequence);
  };
  // The element's column; "" after refusing it when its expression is more.
  auto column = [&](const YAML::Node& item, const std::string& name, const char* kind) {
    std::string expression = TextAt(item, keys.expression);
    std::string code = ColumnOf(expression.empty() ? name : expression);
    if (code.empty())
      refused.push_back(where + ", " + kind + " \"" + name + "\": a expressão \"" + expression +
                        "\" não é uma coluna da tabela.");
    return code;
  };
  for (const YAML::Node& d : list("dimensions")) {
    YAML::Node meta = keys.meta(d);
    if (!TextAt(meta, keys.generated).empty()) continue;
    SemanticDimension x;
    x.name = TextAt(d, "name");
    x.title = TextAt(d, keys.label);
    x.number = TextAt(meta, "numero_dimensao");
    x.column = column(d, x.name, "dimensão");
    if (!x.column.empty()) m.dimensions.push_back(std::move(x));
  }
  for (const YAML::Node& measure : list("measures")) {
    YAML::Node meta = keys.meta(measure);
    SemanticMeasure x;
    x.name = TextAt(measure, "name");
    x.title = TextAt(measure, keys.label);
    if (x.title.empty()) x.title = x.name;
    x.description = TextAt(measure, "description");
    x.mart = TextAt(meta, "data_mart");
    x.active = !IsNo(TextAt(meta, "ativo"));
    x.drill = TextAt(meta, "drill");
    std::string aggregation = TextAt(measure, keys.aggregation);
    x.type_code = FactTypeOf(TextAt(meta, "tipo_fato"), aggregation);
    x.column = column(measure, x.name, "medida");
    if (x.column.empty()) continue;
    if (x.type_code.empty())
      refused.push_back(where + ", medida \"" + x.name + "\": a agregação \"" + aggregation +
                        "\" não corresponde a um tipo de fato (use " + keys.aggregations + ").");
    else
      m.measures.push_back(std::move(x));
  }
}

}  // namespace appserver::import_yaml
