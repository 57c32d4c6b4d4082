#include "appserver/database/database.h"

#include "appserver/storage/postgres/pg_connection.h"
#include "appserver/storage/postgres/pg_storage.h"
#include "appserver/storage/sqlite/sqlite_storage.h"

namespace appserver {
namespace {

PostgresTarget Postgres(const DatabaseTarget& t) {
  return {t.location, t.schema, t.busy_timeout_ms};
}

}  // namespace

bool IsPostgres(const DatabaseTarget& target) {
  return IsPostgresConnection(target.location);
}

PrepareResult PrepareDatabase(const DatabaseTarget& target, DemoSeeding demo) {
  if (IsPostgres(target)) return PreparePostgresDatabase(Postgres(target), demo);
  return PrepareSqliteDatabase(target.location, demo);
}

std::unique_ptr<Storage> OpenStorage(const DatabaseTarget& target) {
  if (IsPostgres(target)) return OpenPostgresStorage(Postgres(target));
  return OpenSqliteStorage(target.location, target.busy_timeout_ms);
}

SessionOpener::SessionOpener(DatabaseTarget target, int pool_size) : target_(std::move(target)) {
  if (IsPostgres(target_) && pool_size > 0) pool_ = OpenPostgresPool(Postgres(target_), pool_size);
}

std::unique_ptr<Storage> SessionOpener::Open() const {
  if (pool_) return OpenPostgresStorage(pool_, Postgres(target_));
  return OpenStorage(target_);
}

std::string DescribeDatabase(const DatabaseTarget& target) {
  if (!IsPostgres(target)) return target.location;
  return "PostgreSQL " + DescribePostgresConnection(target.location) + " (esquema " +
         target.schema + ")";
}

}  // namespace appserver
