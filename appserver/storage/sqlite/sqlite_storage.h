// The SQLite implementation of Storage, through the C API: WAL journal, a busy
// time-out, prepared statements (cached per session) with bound parameters.
// The warehouse is every table and view of the same database except the structure
// tables (QMX_...) and SQLite's own.
#pragma once

#include <memory>
#include <string>

#include "appserver/storage/database_setup.h"
#include "appserver/storage/storage.h"

namespace appserver {

// Creates the database (and its folder) when missing, creates or upgrades the
// structure tables in place to `target_version` and seeds the demo warehouse
// as asked. Throws StorageError.
PrepareResult PrepareSqliteDatabase(const std::string& path, DemoSeeding demo,
                                    int target_version = kSchemaVersion);

// Schema version recorded in the database (0 when it has none).
int SqliteSchemaVersion(const std::string& path);

// A new session on a prepared database. A write that still finds another in
// progress after `busy_timeout_ms` throws StorageError(kBusyText). Throws
// StorageError.
std::unique_ptr<Storage> OpenSqliteStorage(const std::string& path,
                                           int busy_timeout_ms = kDefaultWriteWaitMs);

}  // namespace appserver
