// The PostgreSQL implementation of Storage, through libpq: prepared
// statements with bound text parameters, on connections borrowed from a pool
// (pg_pool.h) for one transaction at a time.
//
// The structure tables ("QMX_TABELA", ...) live in the configured schema
// beside the warehouse; the warehouse is every other table, view or
// partitioned table of that schema, read from pg_catalog. Warehouse names
// match codes without regard to case: fato_vendas and "FATO_VENDAS" both are
// the code FATO_VENDAS.
//
// Writers exclude one another with an advisory transaction lock (one per
// schema), taken right after BEGIN in READ COMMITTED; every statement of the
// transaction then sees every earlier writer's commit and no later one, on
// every server process. A writer waits for the lock up to the busy time-out
// (lock_timeout), then gets kBusyText, as on SQLite. Read calls run in
// REPEATABLE READ READ ONLY: one snapshot for the whole call.
//
// A lost connection fails the statement in flight with StorageError
// (kConnectionLostText; kUnknownOutcomeText when it was the COMMIT); the next
// Begin connects again.
#pragma once

#include <memory>
#include <string>

#include "appserver/storage/database_setup.h"
#include "appserver/storage/storage.h"

namespace appserver {

struct PostgresTarget {
  std::string conninfo;  // libpq connection string or URI; PG* variables fill the rest
  std::string schema = "public";
  int busy_timeout_ms = 5000;
};

// Creates the schema when missing, creates or upgrades the structure tables in
// place to `target_version`, and seeds the demo warehouse as asked
// (kIfCreated: when the structure tables were new). `created` tells whether
// the structure tables were new. Throws StorageError.
PrepareResult PreparePostgresDatabase(const PostgresTarget& target, DemoSeeding demo,
                                      int target_version = kSchemaVersion);

// Schema version recorded in the schema (0 when it has none).
int PostgresSchemaVersion(const PostgresTarget& target);

class PgPool;

// The connections of one server: at most `size`, shared by its sessions.
std::shared_ptr<PgPool> OpenPostgresPool(const PostgresTarget& target, int size);
// A session on a prepared database borrowing from `pool`; connects nothing
// by itself.
std::unique_ptr<Storage> OpenPostgresStorage(std::shared_ptr<PgPool> pool,
                                             const PostgresTarget& target);
// A session with a connection of its own, opened now. Throws StorageError.
std::unique_ptr<Storage> OpenPostgresStorage(const PostgresTarget& target);

}  // namespace appserver
