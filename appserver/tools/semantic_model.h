// The registered structure read as semantic models, the shape both export
// formats (and the import) share: one model per registered table, its facts
// as measures, its dimensions under the catalogue's names, its drill links,
// and the columns that identify its rows.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "appserver/storage/storage.h"

namespace appserver {

struct SemanticMeasure {
  std::string name, column, title, description, type_code;
  std::string mart, mart_name;  // data mart (fact tables only)
  bool active = true;
  std::string drill;        // name of the drill table's model, if the fact drills
  std::string drill_table;  // its code
};

struct SemanticDimension {
  std::string name, column, title, number;
  std::string declared_type;  // the warehouse column's, "" when it is gone
  bool time = false;
  bool numeric = false;
  bool generated = false;  // written by an export for a table without a date dimension
};

// A fact table's drill link to a drill table, joined on the columns of the
// dimension numbers both have.
struct SemanticLink {
  std::string model, table;
  std::vector<std::pair<std::string, std::string>> columns;  // (ours, theirs) by dimension number
  // Why the exports write no join for it ("" when they do): the drill table
  // lacks a dimension of the fact table, or two joined columns hold values of
  // different families (an integer against a text never matches).
  std::string unjoinable;
};

// The columns that identify a table's rows: its primary key where the
// catalogue declares one; else its registered dimensions (a fact table holds
// one row per combination of them, which `check` verifies); else, without
// dimensions, every column.
struct RowKey {
  enum class Origin { kDeclared, kDimensions, kAllColumns };
  Origin origin = Origin::kDeclared;
  std::vector<std::string> columns;  // as the catalogue spells them
};

RowKey TableRowKey(const std::vector<WarehouseColumn>& columns,
                   const std::vector<std::string>& dimension_columns);
// "tabela", "dimensoes" or "colunas", as the exports name a key's origin.
const char* RowKeyOriginName(RowKey::Origin origin);

struct SemanticModel {
  std::string name, table, title;
  std::string sql_table;  // the table, qualified by its schema when not the default
  bool drill = false;
  std::vector<SemanticMeasure> measures;
  std::vector<SemanticDimension> dimensions;
  std::vector<SemanticLink> links;
  RowKey key;
};

// Names unique within a scope: a clash gets _2, _3, ...
class NameScope {
 public:
  std::string Take(std::string name) {
    std::string unique = name;
    for (int n = 2; !taken_.insert(unique).second; ++n) unique = name + "_" + std::to_string(n);
    return unique;
  }

 private:
  std::set<std::string> taken_;
};

// An identifier the formats accept: lower case, letters, digits and single
// underscores, starting with a letter ("Conta contábil" -> "conta_contabil").
std::string SemanticName(std::string_view text);

// The fact kind's title ("Moeda", "Percentual", ...), and whether facts of
// that kind are averaged rather than added (percentages).
const char* FactTypeTitle(const std::string& code);
std::string FactTypeOfTitle(const std::string& title);
bool AveragedFact(const std::string& type_code);

// Reads every registered table; `schema` qualifies sql_table ("" for none).
// The caller holds a read transaction.
std::vector<SemanticModel> ReadSemanticModels(Storage& storage, const std::string& schema);

// Labels unique among `texts`: each text that occurs more than once gets its
// qualifier in parentheses ("Vendas (FATO_VENDAS)"), so that none depends on
// the order of the others.
std::vector<std::string> UniqueLabels(const std::vector<std::string>& texts,
                                      const std::vector<std::string>& qualifiers);

}  // namespace appserver
