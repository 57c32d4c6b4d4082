// Where a server keeps the structure — a SQLite file or a PostgreSQL
// database — and the two things done with it: preparing it once at start and
// opening one storage session per client connection.
#pragma once

#include <memory>
#include <string>

#include "appserver/storage/database_setup.h"
#include "appserver/storage/storage.h"

namespace appserver {

bool IsPostgres(const DatabaseTarget& target);
PrepareResult PrepareDatabase(const DatabaseTarget& target, DemoSeeding demo);
std::unique_ptr<Storage> OpenStorage(const DatabaseTarget& target);
// The file, or server, database and schema, never a password: for logs.
std::string DescribeDatabase(const DatabaseTarget& target);

}  // namespace appserver
