// Export of the registered structure as a semantic-layer file: one semantic
// model (or cube) per registered table, its facts as measures, its dimensions
// under the catalogue's names, and its drill links as a relation to the drill
// table's model.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "appserver/tools/semantic_model.h"

namespace appserver {

enum class ExportFormat {
  kMetricFlow,  // semantic_models: with measures, dimensions, config.meta
  kCube,        // cubes: with measures, dimensions, joins
};

std::optional<ExportFormat> ParseExportFormat(std::string_view name);

// The structure as YAML. Reads through `storage`; the caller holds a read
// transaction. `schema` qualifies the tables ("" when they are in the
// database's default place); notes on choices the export made for a table go
// to `notes`.
std::string ExportStructure(Storage& storage, ExportFormat format, const std::string& schema,
                            std::ostream& notes);

}  // namespace appserver
