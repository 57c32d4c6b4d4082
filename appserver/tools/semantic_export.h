// Export of the registered structure as a semantic-layer file: one semantic
// model (or cube) per registered table, its facts as measures, its dimensions
// under the catalogue's names, and its drill links as a relation to the drill
// table's model.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "appserver/storage/storage.h"

namespace appserver {

enum class ExportFormat {
  kMetricFlow,  // semantic_models: with measures, dimensions, config.meta
  kCube,        // cubes: with measures, dimensions, joins
};

std::optional<ExportFormat> ParseExportFormat(std::string_view name);

// An identifier the formats accept: lower case, letters, digits and single
// underscores, starting with a letter ("Conta contábil" -> "conta_contabil").
std::string SemanticName(std::string_view text);

// The structure as YAML. Reads through `storage`; the caller holds a read
// transaction.
std::string ExportStructure(Storage& storage, ExportFormat format);

}  // namespace appserver
