// The structure as records of its five entities, read from the database or
// mapped from a semantic-layer file onto the database's catalogues, and the
// difference between two of them in words.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "appserver/storage/storage.h"
#include "appserver/tools/semantic_model.h"

namespace appserver {

// Records keyed as stored: tables by code; facts and dimensions of either
// side by (table, column).
struct StructureRecords {
  using Items = std::map<std::pair<std::string, std::string>, Record>;
  std::map<std::string, Record> tables;
  std::map<Entity, Items> items;  // kFact, kDime, kDrillFact, kDrillDime
};

// The entities of a table's items, facts first.
inline constexpr Entity kItemEntities[] = {Entity::kFact, Entity::kDime, Entity::kDrillFact,
                                           Entity::kDrillDime};

// What is stored now; the caller holds a transaction.
StructureRecords ReadStructureRecords(Storage& storage);

// The structure a file's models describe, in stored form: dimension numbers
// and data marts matched to the catalogues (a dimension without a number by
// its catalogue name), drill targets to the tables of the file. Whatever does
// not map is added to `refused`, named, with why.
StructureRecords MapModels(const std::vector<SemanticModel>& models, Storage& storage,
                           std::vector<std::string>& refused);

// One difference: what (an entity), which (its key as text) and how.
struct Difference {
  enum class Kind { kAdded, kChanged, kRemoved };
  Kind kind;
  std::string section;  // "Tabelas fato", "Fatos", ..., "Ligações de drill"
  std::string text;     // "FATO_VENDAS.VL_VENDA \"Valor vendido\"", or the changes
};

// Each difference that makes `now` into `wanted`, sections in a fixed order.
std::vector<Difference> Compare(const StructureRecords& now, const StructureRecords& wanted);
std::string DifferencesText(const std::vector<Difference>& differences);

}  // namespace appserver
