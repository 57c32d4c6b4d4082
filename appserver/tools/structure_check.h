// The structure check: the registered structure against the warehouse as it
// is now, and against its own catalogues. Finds what the server's rules would
// refuse today in what was accepted earlier: tables or columns gone, column
// types changed, drill links no longer consistent, codes missing from their
// catalogue.
#pragma once

#include <string>
#include <vector>

#include "appserver/storage/storage.h"

namespace appserver {

struct StructureProblem {
  std::string kind;   // a stable code, e.g. "COLUNA_INEXISTENTE"
  std::string table;  // the registered table concerned
  std::string item;   // the column (or code) concerned; "" for the table itself
  std::string text;   // what is wrong, in Portuguese
};

// Every problem, tables in code order and each table's items after it. Reads
// through `storage`; the caller holds a read transaction.
std::vector<StructureProblem> CheckStructure(Storage& storage);

std::string StructureProblemsText(const std::vector<StructureProblem>& problems);
std::string StructureProblemsJson(const std::vector<StructureProblem>& problems);

}  // namespace appserver
