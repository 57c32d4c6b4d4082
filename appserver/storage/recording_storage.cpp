#include "appserver/storage/recording_storage.h"

#include <utility>
#include <vector>

#include "appserver/storage/table_versions.h"

namespace appserver {

void RecordingStorage::Commit() {
  std::vector<std::pair<std::string, long long>> advanced;
  for (const std::string& table : owners_)
    advanced.emplace_back(table, AdvanceTableVersion(*inner_, table));
  owners_.clear();
  std::vector<RowChange> changes;
  changes.swap(changes_);
  const bool tell = observer_ && !changes.empty();
  if (tell) observer_->Staged(*inner_, changes);
  inner_->Commit();
  if (advanced_)
    for (const auto& [table, from] : advanced) advanced_(table, from);
  if (tell) observer_->Committed();
}

void RecordingStorage::RecordChange(Entity entity, ChangeKind kind, const Record* before,
                                    const Record* after) {
  owners_.merge(VersionOwners(entity, before, after));
  if (observer_)
    changes_.push_back({entity, kind, before ? std::optional<Record>(*before) : std::nullopt,
                        after ? std::optional<Record>(*after) : std::nullopt});
  if (!record_history_) return;
  HistoryEntry e;
  e.when = UtcNow();
  e.origin = origin_;
  e.entity = entity;
  e.kind = kind;
  if (before) e.before = *before;
  if (after) e.after = *after;
  inner_->AppendHistory(e);
}

void RecordingStorage::Insert(Entity entity, const Record& record) {
  inner_->Insert(entity, record);
  RecordChange(entity, ChangeKind::kInsert, nullptr, &record);
}

bool RecordingStorage::Update(Entity entity, const Record& old_record, const Record& new_record) {
  if (!inner_->Update(entity, old_record, new_record)) return false;
  // Rewriting a row with the values it holds (a "check all" over rows already
  // checked) changes nothing: no entry, no new table version.
  if (old_record == new_record) return true;
  RecordChange(entity, ChangeKind::kUpdate, &old_record, &new_record);
  return true;
}

bool RecordingStorage::Delete(Entity entity, const Record& old_record) {
  if (!inner_->Delete(entity, old_record)) return false;
  RecordChange(entity, ChangeKind::kDelete, &old_record, nullptr);
  return true;
}

int RecordingStorage::Assign(Entity entity, std::span<const Match> where, const Match& set) {
  // The write transaction excludes other writers, so the rows read here are
  // the rows the assignment changes.
  std::vector<Record> rows = inner_->Select(entity, where);
  int changed = inner_->Assign(entity, where, set);
  for (const Record& before : rows) {
    if (before[set.column] == set.value) continue;  // rewritten with the same value
    Record after = before;
    after[set.column] = set.value;
    RecordChange(entity, ChangeKind::kUpdate, &before, &after);
  }
  return changed;
}

int RecordingStorage::Remove(Entity entity, std::span<const Match> where) {
  std::vector<Record> rows = inner_->Select(entity, where);
  int removed = inner_->Remove(entity, where);
  for (const Record& before : rows) RecordChange(entity, ChangeKind::kDelete, &before, nullptr);
  return removed;
}

}  // namespace appserver
