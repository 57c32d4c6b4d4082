#include "appserver/tools/semantic_export.h"

#include "appserver/tools/semantic_yaml.h"

namespace appserver {

std::optional<ExportFormat> ParseExportFormat(std::string_view name) {
  if (name == "metricflow") return ExportFormat::kMetricFlow;
  if (name == "cube") return ExportFormat::kCube;
  return std::nullopt;
}

std::string EmittedText(const YAML::Emitter& out) {
  if (!out.good()) throw StorageError(std::string("Falha ao gerar o YAML: ") + out.GetLastError());
  return std::string(out.c_str()) + "\n";
}

std::string ExportStructure(Storage& storage, ExportFormat format, const std::string& schema,
                            std::ostream& notes) {
  std::vector<SemanticModel> models = ReadSemanticModels(storage, schema);
  for (const SemanticModel& m : models)
    for (const SemanticLink& l : m.links)
      if (!l.unjoinable.empty())
        notes << "O drill de " << m.table << " para " << l.table
              << " não foi exportado como junção: " << l.unjoinable
              << ". A ligação fica registrada nos fatos (meta \"drill\").\n";
  return format == ExportFormat::kMetricFlow ? MetricFlowYaml(models, notes) : CubeYaml(models);
}

}  // namespace appserver
