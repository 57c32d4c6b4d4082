// Where a server keeps the structure — a SQLite file or a PostgreSQL
// database — and the two things done with it: preparing it once at start and
// opening one storage session per client connection.
//
// On PostgreSQL the sessions of one server share a pool of connections, each
// call borrowing one for its transaction; on SQLite each session keeps its own
// connection to the file (opening one costs no server, and the file lock, not
// the connection count, is what writers share).
#pragma once

#include <memory>
#include <string>

#include "appserver/storage/database_setup.h"
#include "appserver/storage/storage.h"

namespace appserver {

bool IsPostgres(const DatabaseTarget& target);
PrepareResult PrepareDatabase(const DatabaseTarget& target, DemoSeeding demo);
// A session with a connection of its own (tools, tests).
std::unique_ptr<Storage> OpenStorage(const DatabaseTarget& target);

class PgPool;

// Opens the sessions of one server: on PostgreSQL they share `pool_size`
// connections (0: each a connection of its own, as OpenStorage); on SQLite
// each opens its own. Opening a pooled session connects nothing.
class SessionOpener {
 public:
  SessionOpener(DatabaseTarget target, int pool_size);
  std::unique_ptr<Storage> Open() const;

 private:
  DatabaseTarget target_;
  std::shared_ptr<PgPool> pool_;  // PostgreSQL with a pool only
};
// The file, or server, database and schema, never a password: for logs.
std::string DescribeDatabase(const DatabaseTarget& target);

}  // namespace appserver
