#include "appserver/rules/change_set.h"

#include "appserver/rules/refusal.h"
#include "appserver/storage/table_versions.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

// For each column of the entity, the packet field carrying it, or -1.
std::vector<int> MapColumns(const EntityDef& def, const db::Packet& packet) {
  std::vector<int> map(def.columns.size(), -1);
  for (size_t c = 0; c < def.columns.size(); ++c) map[c] = packet.FieldIndex(def.columns[c].name);
  return map;
}

std::string ValueOf(const std::vector<db::FieldValue>& values, int field) {
  return values[field].value_or(std::string());
}

void CheckSizes(const EntityDef& def, const Record& r) {
  for (size_t c = 0; c < def.columns.size(); ++c)
    if (rtl::Utf8Length(r[c]) > static_cast<size_t>(def.columns[c].size))
      throw Refusal(std::string("O valor do campo ") + def.columns[c].name + " excede " +
                    std::to_string(def.columns[c].size) + " caracteres.");
}

// The stored row an update or delete changes, found by the key of its old
// values; kChangedMeanwhile when it is gone, holds other values than the
// client read, or has a newer version.
Record CurrentRow(Storage& storage, const db::Packet& delta, const db::PacketRow& row,
                  const EntityRules& rules, const std::vector<int>& map) {
  const EntityDef& def = Describe(rules.entity);
  std::vector<Match> key;
  for (int k = 0; k < def.key_columns; ++k) {
    if (map[k] < 0)
      throw Refusal(std::string("O pacote de alterações não traz o campo ") + def.columns[k].name +
                    ", que identifica o registro.");
    key.push_back({k, ValueOf(row.old_values, map[k])});
  }
  auto found = storage.Select(rules.entity, key);
  if (found.empty()) throw Refusal(kChangedMeanwhile);
  Record stored = std::move(found.front());
  for (size_t c = 0; c < stored.size(); ++c)
    if (map[c] >= 0 && ValueOf(row.old_values, map[c]) != stored[c])
      throw Refusal(kChangedMeanwhile);
  if (rules.version_current)
    if (auto version = PacketVersion(delta, row);
        version && !rules.version_current(stored, *version))
      throw Refusal(kChangedMeanwhile);
  return stored;
}

bool ChangesStoredRow(const db::PacketRow& row) {
  return row.status == db::RowStatus::kModified || row.status == db::RowStatus::kDeleted;
}

}  // namespace

std::vector<AppliedChange> ApplyChanges(Storage& storage, const db::Packet& delta,
                                        const EntityRules& rules) {
  const EntityDef& def = Describe(rules.entity);
  std::vector<int> map = MapColumns(def, delta);
  for (const db::PacketRow& row : delta.rows)
    if (ChangesStoredRow(row)) CurrentRow(storage, delta, row, rules, map);

  std::vector<AppliedChange> applied;
  for (const db::PacketRow& row : delta.rows) {
    if (row.status == db::RowStatus::kUnmodified) continue;

    if (row.status == db::RowStatus::kInserted) {
      Record now(def.columns.size());
      for (size_t c = 0; c < now.size(); ++c)
        if (map[c] >= 0) now[c] = ValueOf(row.values, map[c]);
      rules.normalise(now);
      CheckSizes(def, now);
      rules.validate(now, nullptr);
      storage.Insert(rules.entity, now);
      if (rules.written) rules.written(nullptr, &now);
      applied.push_back({row.status, std::nullopt, now});
      continue;
    }

    // Updates and deletes: read again, as rows before it may have changed it.
    const Record stored = CurrentRow(storage, delta, row, rules, map);

    if (row.status == db::RowStatus::kDeleted) {
      rules.before_delete(stored);
      if (!storage.Delete(rules.entity, stored)) throw Refusal(kChangedMeanwhile);
      if (rules.written) rules.written(&stored, nullptr);
      applied.push_back({row.status, stored, std::nullopt});
      continue;
    }

    Record now = stored;
    for (size_t c = 0; c < now.size(); ++c)
      if (map[c] >= 0) now[c] = ValueOf(row.values, map[c]);
    rules.normalise(now);
    CheckSizes(def, now);
    rules.validate(now, &stored);
    if (!storage.Update(rules.entity, stored, now)) throw Refusal(kChangedMeanwhile);
    if (rules.written) rules.written(&stored, &now);
    applied.push_back({row.status, stored, now});
  }
  return applied;
}

}  // namespace appserver
