// Storage: one database session of the application server.
//
// It knows the structure tables (schema.h) as records and the warehouse
// tables as a catalogue of names and declared column types; it knows none of
// the rules. Every value reaches the database as a bound parameter; table and
// column names in statements come only from the entity descriptors.
//
// Contract for implementations:
// - A session is used by one thread at a time.
// - Begin(kWrite) starts a transaction that excludes every other writer until
//   Commit or Rollback, so that what a caller read inside it still holds when
//   it writes (SQLite: BEGIN IMMEDIATE; a server database: a lock or
//   serialisable isolation). Begin(kRead) starts a transaction that sees one
//   consistent state.
// - Select orders records by their key; text comparisons are exact.
// - Failures of the database itself (locked beyond the busy time-out, disk
//   full, lost connection, a constraint) throw StorageError; the caller rolls
//   back. Its text is for the person at the client: Portuguese, without the
//   database's address or its own messages, which go in Detail() for the
//   server's log.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "appserver/storage/history.h"
#include "appserver/storage/schema.h"
#include "rtl/exceptions.h"
#include "rtl/strings.h"

namespace appserver {

class StorageError : public rtl::Exception {
 public:
  explicit StorageError(std::string text, std::string detail = {})
      : rtl::Exception(std::move(text)), detail_(std::move(detail)) {}
  // The database's own words and where it is; for the server's log only.
  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};

// A failure's text with its detail, for an operator (a log, a tool's output),
// never for a client.
inline std::string TextWithDetail(const std::exception& e) {
  const auto* s = dynamic_cast<const StorageError*>(&e);
  if (!s || s->Detail().empty()) return e.what();
  return s->Message() + " (" + s->Detail() + ")";
}

// What a writer reads when another save held the database for longer than it
// was willing to wait.
inline constexpr const char* kBusyText =
    "O servidor está ocupado gravando outra alteração. Aguarde alguns instantes e tente "
    "de novo.";

// What a call reads when the database cannot be reached (down, restarting,
// refusing connections).
inline constexpr const char* kUnavailableText =
    "O banco de dados não está disponível no momento; tente de novo em instantes.";
// What a call reads when the connection was lost before it asked to commit:
// nothing of it was saved.
inline constexpr const char* kConnectionLostText =
    "A conexão com o banco de dados foi perdida; a operação não foi concluída. Tente de novo em "
    "instantes.";
// What a save reads when the connection was lost while it was committing:
// the database may or may not have saved it, and retrying blindly could apply
// it twice.
inline constexpr const char* kUnknownOutcomeText =
    "A conexão com o banco de dados foi perdida enquanto a alteração era confirmada; não foi "
    "possível saber se ela foi gravada. Recarregue os dados para conferir antes de tentar de "
    "novo.";

// Column `column` (a position of the entity's record) equals `value`.
struct Match {
  int column;
  std::string value;
};

struct WarehouseColumn {
  std::string name;           // as the catalogue spells it
  std::string declared_type;  // as declared, e.g. "NUMERIC(15,2)", "VARCHAR(20)", "DATE"
  bool key = false;           // part of the table's primary key
};

// One of several reads made together (Storage::SelectEach).
struct Read {
  Entity entity;
  std::vector<Match> where;
};

// Takes the rows of a read one at a time (Storage::ScanEach); the values are
// views valid only during the call, one per column of the read's entity.
class RowReceiver {
 public:
  virtual ~RowReceiver() = default;
  virtual void Row(std::span<const std::string_view> values) = 0;
};

// Keeps the rows it receives as records.
class RecordsReceiver final : public RowReceiver {
 public:
  void Row(std::span<const std::string_view> values) override {
    records.emplace_back(values.begin(), values.end());
  }
  std::vector<Record> records;
};

enum class TransactionKind { kRead, kWrite };

class Storage {
 public:
  virtual ~Storage() = default;

  virtual void Begin(TransactionKind kind) = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;  // harmless without an open transaction

  // Records of `entity` whose columns equal every match (all when none).
  virtual std::vector<Record> Select(Entity entity, std::span<const Match> where = {}) = 0;
  // The records of each read, in order, as Select answers them; a database
  // server gets them all in one round trip.
  virtual std::vector<std::vector<Record>> SelectEach(std::span<const Read> reads) {
    std::vector<std::vector<Record>> out;
    for (const Read& r : reads) out.push_back(Select(r.entity, r.where));
    return out;
  }
  // As SelectEach, each read's rows handed to its receiver as the database
  // gives them, without copying them into records first.
  virtual void ScanEach(std::span<const Read> reads, std::span<RowReceiver* const> receivers) {
    auto found = SelectEach(reads);
    std::vector<std::string_view> views;
    for (size_t i = 0; i < found.size(); ++i)
      for (const Record& r : found[i]) {
        views.assign(r.begin(), r.end());
        receivers[i]->Row(views);
      }
  }
  // The next SelectEach or ScanEach reads the last of a read transaction:
  // a database server may end the transaction in the same round trip.
  // Nothing else is read before Commit.
  virtual void LastReadFollows() {}
  virtual void Insert(Entity entity, const Record& record) = 0;
  // Replaces the row that holds exactly `old_record` by `new_record`; false
  // when no such row exists (changed or removed meanwhile).
  virtual bool Update(Entity entity, const Record& old_record, const Record& new_record) = 0;
  // Removes the row that holds exactly `old_record`; false when none does.
  virtual bool Delete(Entity entity, const Record& old_record) = 0;
  // Sets one column of every row matching `where`; returns the rows changed.
  virtual int Assign(Entity entity, std::span<const Match> where, const Match& set) = 0;
  // Removes every row matching `where`; returns the rows removed.
  virtual int Remove(Entity entity, std::span<const Match> where) = 0;

  // The warehouse: its tables (never the structure tables) and a table's
  // columns in their declared order (empty for an unknown table).
  virtual std::vector<std::string> WarehouseTables() = 0;
  virtual std::vector<WarehouseColumn> WarehouseColumns(std::string_view table) = 0;
  // The warehouse table named `code` without regard to letter case, as the
  // catalogue spells it; nullopt when there is none. Implementations answer
  // it without listing the whole catalogue.
  virtual std::optional<std::string> FindWarehouseTable(std::string_view code) {
    for (std::string& name : WarehouseTables())
      if (name.size() == code.size() &&
          std::equal(name.begin(), name.end(), code.begin(),
                     [](char a, char b) { return rtl::UpCase(a) == rtl::UpCase(b); }))
        return std::move(name);
    return std::nullopt;
  }

  // How many distinct values of `columns` (as the catalogue spells them) occur
  // on more than one row of warehouse table `table`: 0 when they identify its
  // rows.
  virtual long long DuplicateKeys(std::string_view table,
                                  const std::vector<std::string>& columns) = 0;

  // Sends `payload` to every server that listens for notices on this
  // database (appserver/notices): when the write transaction in progress
  // commits, and never if it rolls back; at once outside a transaction.
  // False where the database carries no notices (SQLite): the caller then
  // tells its own server's desks itself, after the commit.
  virtual bool Announce(std::string_view /*payload*/) { return false; }

  // The history of changes (history.h): an entry is appended inside the
  // caller's write transaction and gets the next id; entries are read newest
  // first.
  virtual void AppendHistory(const HistoryEntry& entry) = 0;
  virtual std::vector<HistoryEntry> ReadHistory(const HistoryFilter& filter) = 0;
};

// A transaction that rolls back unless committed.
class Transaction {
 public:
  Transaction(Storage& storage, TransactionKind kind) : storage_(storage) { storage_.Begin(kind); }
  ~Transaction() {
    if (open_) storage_.Rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit() {
    storage_.Commit();
    open_ = false;
  }

 private:
  Storage& storage_;
  bool open_ = true;
};

}  // namespace appserver
