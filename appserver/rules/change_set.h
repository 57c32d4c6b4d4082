// Applying a change packet to one entity, row by row, inside the caller's
// write transaction.
//
// Packet fields are matched to the entity's columns by name, so a packet may
// carry a subset of the columns (or extra ones, which are ignored). An insert
// gets "" for the columns it lacks; an update keeps the stored value of the
// columns it lacks. Updates and deletes are optimistic: the stored row found
// by the key of the row's old values must still hold every old value the
// packet carries, or the whole call is refused with kChangedMeanwhile.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "appserver/storage/storage.h"
#include "db/packet.h"

namespace appserver {

struct EntityRules {
  Entity entity;
  // Brings a record to its stored form (normalised codes, defaults).
  std::function<void(Record&)> normalise;
  // The rules a new or changed record must meet; `before` is the stored record
  // being replaced, null for an insert. Throws Refusal.
  std::function<void(const Record& now, const Record* before)> validate;
  // Runs before `gone` is removed: a refusal or the removal of what depends on it.
  std::function<void(const Record& gone)> before_delete;
  // Told of every row written (before null for an insert, after null for a
  // delete), so caches of what the call read stay true; may be empty.
  std::function<void(const Record* before, const Record* after)> written = nullptr;
};

struct AppliedChange {
  db::RowStatus status;
  std::optional<Record> before;  // for updates and deletes
  std::optional<Record> after;   // for inserts and updates
};

std::vector<AppliedChange> ApplyChanges(Storage& storage, const db::Packet& delta,
                                        const EntityRules& rules);

}  // namespace appserver
