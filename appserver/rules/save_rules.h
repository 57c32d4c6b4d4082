// The rules each change packet is applied with, one set per entity, and the
// drill-down check of what a saved packet touched.
#pragma once

#include <string>
#include <vector>

#include "appserver/rules/change_set.h"
#include "appserver/rules/structure.h"

namespace appserver {

// Registered tables of one kind: fact tables (drill false) or drill tables.
EntityRules TableRules(Structure& s, bool drill);
// Facts and dimensions of fact table `table` ("" lets each row name its own).
EntityRules FactRules(Structure& s, const std::string& table);
EntityRules DimeRules(Structure& s, const std::string& table);
// Facts and dimensions of drill tables; each row names its drill table.
EntityRules DrillFactRules(Structure& s);
EntityRules DrillDimeRules(Structure& s);

// Every drill link the applied changes could have affected must still be
// consistent (Structure::CheckLink); throws Refusal otherwise.
void CheckTouchedLinks(Structure& s, Entity entity, const std::vector<AppliedChange>& changes);

// Applies a change packet under `rules`, then checks the links it touched.
std::vector<AppliedChange> SaveItems(Structure& s, const db::Packet& delta,
                                     const EntityRules& rules);

}  // namespace appserver
