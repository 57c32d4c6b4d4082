// The history of structure changes: one entry for every row the server
// inserts, changes or removes in a structure table, written by the same
// session in the same transaction as the change, so a refused or rolled-back
// call leaves none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "appserver/storage/schema.h"

namespace appserver {

// Where a change comes from: the connection, the method it called and the
// server that took the call (its name, or the address it listens on).
struct ChangeOrigin {
  std::string peer_address;
  std::string user_name;
  std::string method;
  std::string server;
};

enum class ChangeKind { kInsert, kUpdate, kDelete };

struct HistoryEntry {
  int64_t id = 0;    // grows in commit order
  std::string when;  // UTC, "2026-12-08T09:15:02.123Z"
  ChangeOrigin origin;
  Entity entity = Entity::kTable;
  ChangeKind kind = ChangeKind::kInsert;
  std::optional<Record> before;  // updates and deletes
  std::optional<Record> after;   // inserts and updates
};

// Which entries to read; empty members do not filter.
struct HistoryFilter {
  std::string table;  // a table code: entries of that table and of its items
  std::string since;  // "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM[:SS]", UTC
};

// The table an entry concerns: the registered table itself or the owner of a
// fact or dimension; "" for the data-mart and dimension catalogues.
std::string HistoryTable(Entity entity, const Record& record);
// The record's key as text, key columns joined by ".".
std::string HistoryKey(Entity entity, const Record& record);
// A record as stored in the history: a JSON array of its values in column
// order (the column names would double the row and the cost of writing it);
// and back, nullopt when the text does not hold exactly the entity's columns.
std::string EncodeRecord(const Record& record);
std::optional<Record> DecodeRecord(Entity entity, std::string_view text);
// A record as a JSON object of its columns, for readers of the history.
std::string RecordObject(Entity entity, const Record& record);

// An entry from the texts of a stored history row, in the order ID, QUANDO,
// ENDERECO, USUARIO, METODO, ENTIDADE, OPERACAO, ANTES, DEPOIS, SERVIDOR; nullopt when
// the row cannot be read back whole.
std::optional<HistoryEntry> HistoryEntryOfRow(const std::vector<std::string>& row);

// The entity whose structure table is `sql_table`, if any.
std::optional<Entity> EntityOfTable(std::string_view sql_table);
// Portuguese names, as the history shows them.
const char* EntityTitle(Entity entity);
const char* ChangeKindTitle(ChangeKind kind);
char ChangeKindCode(ChangeKind kind);  // 'I', 'A', 'E' as stored
std::optional<ChangeKind> ChangeKindOfCode(std::string_view code);

// The current time, UTC, with milliseconds.
std::string UtcNow();
// A --since value in the stored form ("2026-12-08", "2026-12-08T09:30:00"),
// or nullopt when it is no date.
std::optional<std::string> NormaliseSince(std::string_view text);

}  // namespace appserver
