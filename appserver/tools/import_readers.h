// Readers of the semantic-layer files the import takes: each turns a parsed
// file into the shape the exports write from (semantic_model.h), keeping what
// the file says as it says it; matching it to the database's catalogues is
// the import's (structure_import.h). A file written by the export reads back
// whole; a hand-written one wherever it says what the structure needs.
#pragma once

#include <yaml-cpp/yaml.h>

#include <string>
#include <vector>

#include "appserver/tools/semantic_model.h"

namespace appserver {

// A file's models, and what in it cannot become part of a structure, each
// named with its place in the file and why.
struct ReadModels {
  std::vector<SemanticModel> models;
  std::vector<std::string> refused;
};

ReadModels ReadCubeFile(const YAML::Node& file);
ReadModels ReadMetricFlowFile(const YAML::Node& file);

// Shared by both readers.
namespace import_yaml {

// The scalar at `key` of a map, or "" when there is none.
std::string TextAt(const YAML::Node& map, const char* key);
// The map at `key`, or an empty node.
YAML::Node MapAt(const YAML::Node& map, const char* key);
// Where a format keeps what both formats say of dimensions and measures.
struct FormatKeys {
  const char* expression;                 // "expr", "sql"
  const char* label;                      // "label", "title"
  const char* aggregation;                // "agg", "type"
  const char* aggregations;               // the two that map, for a refusal: "sum ou average"
  const char* generated;                  // a dimension's meta key marking one the export made
  YAML::Node (*meta)(const YAML::Node&);  // an element's meta map
};

// Reads the dimensions and measures of `node` into `m`; what cannot map goes
// to `refused`, named after `where` (the model) and the element.
void ReadItems(const YAML::Node& node, const FormatKeys& keys, const std::string& where,
               SemanticModel& m, std::vector<std::string>& refused);

}  // namespace import_yaml
}  // namespace appserver
