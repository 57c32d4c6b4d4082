#include "appserver/storage/entity_sql.h"

namespace appserver {

std::string QuoteIdentifier(std::string_view identifier) {
  std::string out;
  out.reserve(identifier.size() + 2);
  out += '"';
  for (char c : identifier) {
    out += c;
    if (c == '"') out += c;
  }
  out += '"';
  return out;
}

void CheckShape(const EntityDef& def, const Record& record) {
  if (record.size() != def.columns.size())
    throw StorageError(std::string("Registro com número de colunas errado para ") + def.sql_table);
}

std::vector<Match> AllColumns(const Record& record) {
  std::vector<Match> m;
  for (size_t c = 0; c < record.size(); ++c) m.push_back({static_cast<int>(c), record[c]});
  return m;
}

bool DeleteExactRow(Storage& storage, Entity entity, const Record& old_record) {
  CheckShape(Describe(entity), old_record);
  std::vector<Match> where = AllColumns(old_record);
  return storage.Remove(entity, where) > 0;
}

std::string EntitySql::Table(const EntityDef& def) const {
  return prefix_ + QuoteIdentifier(def.sql_table);
}

std::string EntitySql::Where(const EntityDef& def, std::span<const Match> where, int first) const {
  std::string sql;
  for (size_t i = 0; i < where.size(); ++i) {
    sql += i == 0 ? " WHERE " : " AND ";
    sql += QuoteIdentifier(def.columns[where[i].column].name) + " = " +
           Parameter(first + static_cast<int>(i));
  }
  return sql;
}

const std::string& EntitySql::Select(const EntityDef& def, std::span<const Match> where) const {
  SelectKey key{&def, {}};
  key.second.reserve(where.size());
  for (const Match& m : where) key.second.push_back(m.column);
  auto [it, added] = selects_.try_emplace(std::move(key));
  if (added) it->second = SelectText(def, where);
  return it->second;
}

std::string EntitySql::SelectText(const EntityDef& def, std::span<const Match> where) const {
  std::string sql = "SELECT ";
  for (size_t c = 0; c < def.columns.size(); ++c)
    sql += (c ? "," : "") + QuoteIdentifier(def.columns[c].name);
  sql += " FROM " + Table(def) + Where(def, where, 1) + " ORDER BY ";
  for (int k = 0; k < def.key_columns; ++k)
    sql += (k ? "," : "") + QuoteIdentifier(def.columns[k].name);
  return sql;
}

std::string EntitySql::Insert(const EntityDef& def) const {
  std::string cols, params;
  for (size_t c = 0; c < def.columns.size(); ++c) {
    cols += (c ? "," : "") + QuoteIdentifier(def.columns[c].name);
    params += (c ? "," : "") + Parameter(static_cast<int>(c) + 1);
  }
  return "INSERT INTO " + Table(def) + " (" + cols + ") VALUES (" + params + ")";
}

std::string EntitySql::Update(const EntityDef& def) const {
  std::string sql = "UPDATE " + Table(def) + " SET ";
  const int n = static_cast<int>(def.columns.size());
  for (int c = 0; c < n; ++c)
    sql += (c ? "," : "") + QuoteIdentifier(def.columns[c].name) + " = " + Parameter(c + 1);
  for (int c = 0; c < n; ++c)
    sql += (c ? " AND " : " WHERE ") + QuoteIdentifier(def.columns[c].name) + " = " +
           Parameter(n + c + 1);
  return sql;
}

std::string EntitySql::Assign(const EntityDef& def, std::span<const Match> where,
                              int column) const {
  return "UPDATE " + Table(def) + " SET " + QuoteIdentifier(def.columns[column].name) + " = " +
         Parameter(1) + Where(def, where, 2);
}

std::string EntitySql::Remove(const EntityDef& def, std::span<const Match> where) const {
  return "DELETE FROM " + Table(def) + Where(def, where, 1);
}

}  // namespace appserver
