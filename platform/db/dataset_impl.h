// Internal to the dataset layer: the state behind TClientDataSet.
//
// Rows live in `rows` in dataset order, deleted ones kept in place as
// tombstones while the change log holds them, so CancelUpdates restores them
// where they stood. The cursor is a position in a view: `live` (the rows not
// deleted) or, while a filter applies, `filtered` (the rows it lets through).
// Both views list row indexes in ascending order and are rebuilt lazily after
// a change. Equality look-ups (filters `F = 'x'`, single-field Locate) are
// answered from hash indexes built on first use and dropped by any change.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/client_dataset.h"
#include "db/filter.h"

namespace db {

struct DataRecord {
  // Current values; empty for a deleted row.
  std::vector<FieldValue> current;
  // Values as loaded or merged, kept only where they differ from `current`:
  // for modified and deleted rows. An unmodified row's base is `current`; an
  // inserted row has none.
  std::vector<FieldValue> base;
  const std::vector<FieldValue>* Base() const {
    if (status == RowStatus::kUnmodified) return &current;
    if (status == RowStatus::kInserted) return nullptr;
    return &base;
  }
  RowStatus status = RowStatus::kUnmodified;
  bool pending = false;  // the row of an insert not yet posted
  uint64_t id = 0;       // identity that survives row moves, to keep the cursor on it
};

// Row indexes of one field's values; null is filed under the empty text.
struct HashIndex {
  std::unordered_map<std::string, std::vector<int>> buckets;
};

struct TClientDataSet::Impl {
  explicit Impl(TClientDataSet* owner) : self(owner) {}

  TClientDataSet* self;
  std::vector<TField*> fields;
  bool fields_from_packet = false;  // fields were created by a packet, not declared
  // Fields of the last packet loaded that the dataset does not declare. Their
  // values ride along after the declared ones in every row (a new row holds
  // null there), so Data and Delta hand on everything the packet held.
  std::vector<PacketField> extra_fields;
  size_t RowWidth() const { return fields.size() + extra_fields.size(); }
  std::vector<TDataSource*> sources;

  TDataSetState state = TDataSetState::dsInactive;
  bool log_changes = true;
  std::vector<DataRecord> rows;

  // Views and cursor.
  std::vector<int> live;
  bool live_valid = false;
  std::vector<int> filtered;
  bool filtered_valid = false;
  int cursor = -1;  // position in the view, -1 when empty
  bool bof = true, eof = true;
  int scope_pos = -1;  // ActiveRecordScope's position, -1 when none

  // Edit buffer for the current row while in edit or insert state.
  std::vector<FieldValue> buffer;
  bool modified = false;
  bool has_pending = false;  // `rows` holds the row of an insert

  // The last post, kept until the dataset changes again so that
  // ReopenLastPost can hand it back.
  struct LastPost {
    uint64_t id = 0;
    bool inserted = false;
    DataRecord before;  // the row before an edit's post
    std::vector<FieldValue> posted;
  };
  std::optional<LastPost> last_post;

  // Filter.
  std::string filter_text;
  std::unique_ptr<detail::FilterNode> filter;
  bool filtered_flag = false;
  bool filter_resolved = false;  // field names bound; an unbound filter lets nothing through
  uint64_t next_id = 1;
  bool destroying = false;

  // Indexes: slot 2*field for exact values, 2*field+1 for upper-cased ones.
  std::vector<std::unique_ptr<HashIndex>> indexes;

  // -- Views.
  bool FilterApplies() const { return filtered_flag && filter != nullptr; }
  const std::vector<int>& View();
  int ViewSize() { return static_cast<int>(View().size()); }
  int RowAt(int pos) { return View()[static_cast<size_t>(pos)]; }
  // Position of a row in the view, or -1.
  int PositionOf(int row);
  // Drops views and indexes after rows were added or removed; ValuesChanged
  // after values changed in place.
  void RowsChanged();
  void ValuesChanged();
  void RebuildFiltered();
  const HashIndex& Index(int field, bool case_insensitive);

  // -- Field access.
  int FieldIndexOf(const TField* field) const;
  int FindFieldIndex(std::string_view name) const;
  // The values fields read now: the edit buffer, the scope's row or the
  // current row; nullptr when there is none.
  const std::vector<FieldValue>* ActiveValues();
  const DataRecord* ActiveRecord();
  void WriteValue(TField* field, FieldValue value);

  // -- States and notification.
  void SetState(TDataSetState s);
  void Fire(const TDataSetNotifyEvent& e) {
    if (e) e(self);
  }
  void NotifyDataSetChanged();
  void NotifyScrolled();
  void NotifyRecordChanged(TField* field);
  void FocusControl(TField* field);  // until a link takes the focus
  void CheckActive() const;
  void CheckBrowse();  // posts a modified edit or drops an unmodified one
  void BeginEdit(TDataSetState s, bool append);
  // Drops the edit buffer and returns to browse, telling the data sources.
  void LeaveEditing();
  // The row at view position `pos` was taken out of the view (deleted, or a
  // cancelled insert): the cursor stays at that position, back in browse.
  void RowLeft(int pos);
  // Moves with the scroll events; `move` sets the cursor and the flags.
  template <class F>
  void Scroll(F&& move) {
    CheckActive();
    CheckBrowse();
    Fire(self->BeforeScroll);
    move();
    NotifyScrolled();
    Fire(self->AfterScroll);
  }
  void CursorToFirst();
  // True when the cursor already stands at the end a move in `direction`
  // (> 0 towards the last row, < 0 towards the first) goes to, its flag set.
  bool AtEnd(int direction);
  // Puts the cursor on the row with this id, or at `fallback` (clamped) when
  // it is gone; after any change of the rows.
  void RestoreCursor(uint64_t id, int fallback);
  uint64_t CurrentId();
  void ResetRows();  // no rows, no change log, fresh views
  void TryResolveFilter();

  // -- Packets.
  std::vector<uint8_t> EncodeRecords(bool delta_only) const;
  // The rows of a packet mapped onto this dataset's fields (or the packet's
  // own when none are declared), taking the packet's values, the values of
  // undeclared packet fields after them; `extras` receives those fields.
  // Throws without changing the dataset.
  std::vector<DataRecord> PrepareRows(Packet& packet, std::vector<PacketField>& extras);
  void AdoptPacketFields(const Packet& packet);
  // Settles the change log: `settle` rewrites each row and returns false for
  // one to drop; the cursor stays on its row where that survives.
  template <class F>
  void SettleRows(F&& settle) {
    last_post.reset();
    const uint64_t id = CurrentId();
    const int pos = cursor;
    std::vector<DataRecord> kept;
    kept.reserve(rows.size());
    for (DataRecord& r : rows)
      if (settle(r)) kept.push_back(std::move(r));
    rows = std::move(kept);
    RowsChanged();
    RestoreCursor(id, pos);
    NotifyDataSetChanged();
  }
  void OpenWith(std::vector<DataRecord> new_rows);
  void DoClose();
  // Re-applies the filter after its text or flag changed: a move to the first
  // row with the scroll events.
  void FilterChanged(bool applied_before);
};

}  // namespace db
