// The statements both storages run on the structure tables, written once.
// A backend gives how its tables are named (SQLite: the bare name; PostgreSQL:
// qualified by the schema) and its parameter marker ('?' for SQLite's ?N, '$'
// for PostgreSQL's $N). Parameters are numbered from 1 in the order each
// method states; the caller binds the values in that order. One per storage
// session: it is used by one thread at a time.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "appserver/storage/schema.h"
#include "appserver/storage/storage.h"

namespace appserver {

// `identifier` between double quotes, inner quotes doubled.
std::string QuoteIdentifier(std::string_view identifier);

// Throws StorageError unless `record` has one value per column of `def`.
void CheckShape(const EntityDef& def, const Record& record);

// One equality per column of `record`: the row that holds exactly it.
std::vector<Match> AllColumns(const Record& record);

// Storage::Delete for a backend whose Remove runs the shared statements:
// removes the row that holds exactly `old_record`; false when none does.
bool DeleteExactRow(Storage& storage, Entity entity, const Record& old_record);

class EntitySql {
 public:
  EntitySql(std::string table_prefix, char marker)
      : prefix_(std::move(table_prefix)), marker_(marker) {}

  // Every column of the rows matching `where`, in key order.
  // Parameters: the values of `where`. Made once per entity and set of
  // columns matched: reads run it on every call.
  const std::string& Select(const EntityDef& def, std::span<const Match> where) const;
  // Parameters: the record's values, in column order.
  std::string Insert(const EntityDef& def) const;
  // Replaces the row holding every old value. Parameters: the new values,
  // then the old ones, each in column order.
  std::string Update(const EntityDef& def) const;
  // Sets one column of the rows matching `where`. Parameters: the new value,
  // then the values of `where`.
  std::string Assign(const EntityDef& def, std::span<const Match> where, int column) const;
  // Parameters: the values of `where`.
  std::string Remove(const EntityDef& def, std::span<const Match> where) const;

 private:
  // The entity's table as statements name it.
  std::string Table(const EntityDef& def) const;
  std::string Parameter(int number) const { return marker_ + std::to_string(number); }
  std::string Where(const EntityDef& def, std::span<const Match> where, int first) const;
  std::string SelectText(const EntityDef& def, std::span<const Match> where) const;

  // An entity and the columns its reads match, in order.
  using SelectKey = std::pair<const EntityDef*, std::vector<int>>;

  std::string prefix_;
  char marker_;
  mutable std::map<SelectKey, std::string> selects_;
};

}  // namespace appserver
