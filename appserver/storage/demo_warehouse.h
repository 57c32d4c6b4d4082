// The demo warehouse: a few sales, stock and finance tables with the structure
// that describes them, some columns deliberately left unregistered so the
// look-ups have something to offer, and tables not registered at all
// (FATO_COMPRAS, FATO_DEVOLUCOES, FATO_PRODUCAO, DRILL_COMPRAS_NOTA) that a
// newcomer can make fact or drill tables.
#pragma once

#include <span>

#include "appserver/storage/storage.h"

namespace appserver {

// CREATE TABLE statements of the demo's warehouse tables for SQLite (fixed
// text, no values); each leaves an existing table alone.
std::span<const char* const> DemoWarehouseSqliteDdl();
// The same tables for PostgreSQL, created unquoted (so named in lower case) in
// the schema first on the search path.
std::span<const char* const> DemoWarehousePostgresDdl();

// Registers the demo's tables, facts, dimensions, data marts and dimension
// catalogue. Runs inside the caller's write transaction.
void SeedDemoStructure(Storage& storage);

}  // namespace appserver
