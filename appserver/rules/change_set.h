// Applying a change packet to one entity, row by row, inside the caller's
// write transaction.
//
// Packet fields are matched to the entity's columns by name, so a packet may
// carry a subset of the columns (or extra ones, which are ignored). An insert
// gets "" for the columns it lacks; an update keeps the stored value of the
// columns it lacks. Updates and deletes are optimistic: the stored row found
// by the key of the row's old values must still hold every old value the
// packet carries, and the version the row carries must still be current, or
// the whole call is refused with kChangedMeanwhile. Every row of the packet is
// checked so before any rule runs on any row, so a stale row is never refused
// for a rule about values the person could not see.
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
  // Whether `client_version`, the version an updated or deleted row carried
  // (table_versions.h), is still current for the stored row; empty where the
  // entity keeps no version.
  std::function<bool(const Record& stored, const std::string& client_version)> version_current =
      nullptr;
};

struct AppliedChange {
  db::RowStatus status;
  std::optional<Record> before;  // for updates and deletes
  std::optional<Record> after;   // for inserts and updates
};

std::vector<AppliedChange> ApplyChanges(Storage& storage, const db::Packet& delta,
                                        const EntityRules& rules);

}  // namespace appserver
