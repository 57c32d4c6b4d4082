// What preparing a structure database takes and tells, the same for every
// backend: where it is, the schema version this build writes, whether to seed
// the demo warehouse; and the upgrade from one schema version to the next,
// written once and run by each backend through its own statements.
#pragma once

#include <span>
#include <string>

#include "appserver/storage/storage.h"

namespace appserver {

// Version of the structure tables this build creates and upgrades to.
inline constexpr int kSchemaVersion = 5;

// How long a writer waits for another write in progress before giving up.
inline constexpr int kDefaultWriteWaitMs = 30000;
// The connections a server shares among its sessions on a PostgreSQL database.
inline constexpr int kDefaultDatabasePool = 8;

// Where a server keeps the structure: a SQLite file, or a PostgreSQL database
// and schema.
struct DatabaseTarget {
  std::string location;           // a SQLite file, or a libpq connection string or URI
  std::string schema = "public";  // PostgreSQL: the schema of the structure and the warehouse
  int busy_timeout_ms = kDefaultWriteWaitMs;  // a save waits this long for another
};

enum class DemoSeeding {
  kNever,      // structure tables only
  kIfCreated,  // the demo warehouse when the database file is new
  kRequested,  // the demo warehouse unless the structure already holds data
};

struct PrepareResult {
  bool created = false;      // the database file did not exist
  int previous_version = 0;  // schema version found (0: none)
  bool demo_seeded = false;
};

// One backend's way into its version table and its schema, used by
// UpgradeSchema inside a write transaction the backend has opened.
class SchemaUpgradeTarget {
 public:
  virtual ~SchemaUpgradeTarget() = default;
  // The version recorded (0 when there is no version table).
  virtual int ReadVersion() = 0;
  virtual void CreateVersionTable() = 0;
  // Replaces the recorded version.
  virtual void WriteVersion(int version) = 0;
  // Runs fixed statements, the creation of tables and indexes of one version.
  virtual void Run(const char* statements) = 0;
};

// Throws StorageError unless 1 <= target_version <= kSchemaVersion.
void CheckTargetVersion(int target_version);

// Applies `migrations[v]` for every version v from the recorded one up to
// `target_version` and records it; the version table is created when there
// is none. Returns the version found; throws StorageError when that is newer
// than this build. `migrations` has kSchemaVersion entries, the first one
// creating the structure tables.
int UpgradeSchema(SchemaUpgradeTarget& target, std::span<const char* const> migrations,
                  int target_version);

// Whether `demo` asks for the demo warehouse on a database that was (not) new.
bool WantsDemo(DemoSeeding demo, bool created);

// True when no structure table holds a row.
bool StructureIsEmpty(Storage& storage);

}  // namespace appserver
