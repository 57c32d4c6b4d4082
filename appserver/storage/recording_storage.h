// RecordingStorage: a Storage that records every row it inserts, changes or
// removes, through the same session and so inside the same transaction as the
// change: as a history entry (unless the history is turned off), and in the
// version of each table that owns the row (table_versions.h), advanced once per
// table when the transaction commits. Rows changed or removed by a match
// (Assign, Remove: cleared drill links, cascades) are read first so that each
// is recorded with its old and new values.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "appserver/storage/storage.h"

namespace appserver {

// One row a write transaction changed.
struct RowChange {
  Entity entity;
  ChangeKind kind;
  std::optional<Record> before;  // updates and deletes
  std::optional<Record> after;   // inserts and updates
};

// Told of what each write transaction changed: Staged right before its commit,
// when it may still write through `inner` inside the transaction (a throw
// then rolls it back), and Committed once it is committed. A transaction
// rolled back, or that changed nothing, is told nothing.
class CommitObserver {
 public:
  virtual ~CommitObserver() = default;
  virtual void Staged(Storage& inner, const std::vector<RowChange>& changes) = 0;
  virtual void Committed() = 0;
};

class RecordingStorage final : public Storage {
 public:
  // Told, after a commit, of each table version the commit advanced: the
  // table and the version it had.
  using AdvancedFn = std::function<void(const std::string& table, long long from)>;

  // `origin` is read at each write; the caller keeps it current.
  RecordingStorage(std::unique_ptr<Storage> inner, const ChangeOrigin& origin,
                   bool record_history = true, AdvancedFn advanced = nullptr)
      : inner_(std::move(inner)),
        origin_(origin),
        record_history_(record_history),
        advanced_(std::move(advanced)) {}

  // Null: changes are not told to anybody.
  void SetCommitObserver(CommitObserver* observer) { observer_ = observer; }

  void Begin(TransactionKind kind) override {
    owners_.clear();
    changes_.clear();
    inner_->Begin(kind);
  }
  void Commit() override;
  void Rollback() override {
    owners_.clear();
    changes_.clear();
    inner_->Rollback();
  }

  std::vector<Record> Select(Entity entity, std::span<const Match> where) override {
    return inner_->Select(entity, where);
  }
  std::vector<std::vector<Record>> SelectEach(std::span<const Read> reads) override {
    return inner_->SelectEach(reads);
  }
  void ScanEach(std::span<const Read> reads, std::span<RowReceiver* const> receivers) override {
    inner_->ScanEach(reads, receivers);
  }
  void LastReadFollows() override { inner_->LastReadFollows(); }
  void Insert(Entity entity, const Record& record) override;
  bool Update(Entity entity, const Record& old_record, const Record& new_record) override;
  bool Delete(Entity entity, const Record& old_record) override;
  int Assign(Entity entity, std::span<const Match> where, const Match& set) override;
  int Remove(Entity entity, std::span<const Match> where) override;

  std::vector<std::string> WarehouseTables() override { return inner_->WarehouseTables(); }
  std::vector<WarehouseColumn> WarehouseColumns(std::string_view table) override {
    return inner_->WarehouseColumns(table);
  }
  std::optional<std::string> FindWarehouseTable(std::string_view code) override {
    return inner_->FindWarehouseTable(code);
  }
  long long DuplicateKeys(std::string_view table,
                          const std::vector<std::string>& columns) override {
    return inner_->DuplicateKeys(table, columns);
  }
  bool Announce(std::string_view payload) override { return inner_->Announce(payload); }
  void AppendHistory(const HistoryEntry& entry) override { inner_->AppendHistory(entry); }
  std::vector<HistoryEntry> ReadHistory(const HistoryFilter& filter) override {
    return inner_->ReadHistory(filter);
  }

 private:
  void RecordChange(Entity entity, ChangeKind kind, const Record* before, const Record* after);

  std::unique_ptr<Storage> inner_;
  const ChangeOrigin& origin_;
  bool record_history_;
  AdvancedFn advanced_;
  std::set<std::string> owners_;  // tables whose version this transaction advances
  CommitObserver* observer_ = nullptr;
  std::vector<RowChange> changes_;  // of the transaction in progress, kept for observer_
};

}  // namespace appserver
