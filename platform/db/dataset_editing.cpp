// Editing a row of TClientDataSet: Edit, Insert and Append, Post, Cancel and
// Delete, with their events in the platform's order.
#include "db/client_dataset.h"
#include "db/dataset_impl.h"
#include "db/errors.h"

namespace db {

void TClientDataSet::Impl::CheckBrowse() {
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert) return;
  for (size_t i = 0; i < sources.size(); ++i) sources[i]->NotifyUpdateData();
  if (modified)
    self->Post();
  else
    self->Cancel();
}

void TClientDataSet::Impl::BeginEdit(TDataSetState s, bool append) {
  CheckActive();
  CheckBrowse();
  last_post.reset();
  Fire(self->BeforeInsert);
  Fire(self->BeforeScroll);
  // Insert goes before the current row; with no current row, and for Append,
  // at the end.
  size_t at = rows.size();
  if (!append && cursor >= 0 && cursor < ViewSize()) at = static_cast<size_t>(RowAt(cursor));
  DataRecord rec;
  rec.pending = true;
  rec.status = RowStatus::kInserted;
  rec.current.assign(RowWidth(), std::nullopt);
  rec.id = next_id++;
  uint64_t id = rec.id;
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(rec));
  has_pending = true;
  RowsChanged();
  RestoreCursor(id, 0);
  buffer.assign(RowWidth(), std::nullopt);
  modified = false;
  SetState(s);
  try {
    Fire(self->OnNewRecord);
  } catch (...) {
    // A failing new-record handler undoes the insert.
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(at));
    has_pending = false;
    RowsChanged();
    RestoreCursor(0, cursor);
    buffer.clear();
    SetState(TDataSetState::dsBrowse);
    NotifyDataSetChanged();
    throw;
  }
  // Values set while entering the insert are defaults, not the user's edit.
  modified = false;
  NotifyDataSetChanged();
  Fire(self->AfterInsert);
  Fire(self->AfterScroll);
}

void TClientDataSet::Impl::LeaveEditing() {
  buffer.clear();
  modified = false;
  SetState(TDataSetState::dsBrowse);
  NotifyDataSetChanged();
}

void TClientDataSet::Impl::RowLeft(int pos) {
  RowsChanged();
  RestoreCursor(0, pos);
  LeaveEditing();
}

void TClientDataSet::Edit() {
  impl_->CheckActive();
  if (impl_->state == TDataSetState::dsEdit || impl_->state == TDataSetState::dsInsert) return;
  if (IsEmpty()) {
    Insert();
    return;
  }
  impl_->last_post.reset();
  impl_->Fire(BeforeEdit);
  impl_->buffer = impl_->rows[static_cast<size_t>(impl_->RowAt(impl_->cursor))].current;
  impl_->modified = false;
  impl_->SetState(TDataSetState::dsEdit);
  impl_->NotifyRecordChanged(nullptr);
  impl_->Fire(AfterEdit);
}

void TClientDataSet::Insert() {
  impl_->BeginEdit(TDataSetState::dsInsert, false);
}

void TClientDataSet::Append() {
  impl_->BeginEdit(TDataSetState::dsInsert, true);
}

void TClientDataSet::Post() {
  Impl& d = *impl_;
  d.CheckActive();
  if (d.state != TDataSetState::dsEdit && d.state != TDataSetState::dsInsert)
    throw EDatabaseError("O conjunto de dados " + Name() + " não está em edição ou inserção");
  for (size_t i = 0; i < d.sources.size(); ++i) d.sources[i]->NotifyUpdateData();
  d.Fire(BeforePost);
  // The handlers may have moved nothing, but check the row is still there.
  if (d.state != TDataSetState::dsEdit && d.state != TDataSetState::dsInsert) return;
  DataRecord& rec = d.rows[static_cast<size_t>(d.RowAt(d.cursor))];
  Impl::LastPost last;
  last.id = rec.id;
  last.inserted = d.state == TDataSetState::dsInsert;
  if (!last.inserted) last.before = rec;
  last.posted = d.buffer;
  if (d.state == TDataSetState::dsInsert) {
    rec.pending = false;
    d.has_pending = false;
    rec.current = std::move(d.buffer);
    rec.status = d.log_changes ? RowStatus::kInserted : RowStatus::kUnmodified;
  } else if (d.modified) {
    // A first logged change keeps the values as loaded; without logging, an
    // unmodified row simply takes the new values as its base.
    if (d.log_changes && rec.status == RowStatus::kUnmodified) {
      rec.base = std::move(rec.current);
      rec.status = RowStatus::kModified;
    }
    rec.current = std::move(d.buffer);
  }
  uint64_t id = rec.id;
  d.last_post = std::move(last);
  d.buffer.clear();
  d.modified = false;
  d.ValuesChanged();
  d.RestoreCursor(id, d.cursor);
  d.SetState(TDataSetState::dsBrowse);
  d.NotifyDataSetChanged();
  d.Fire(AfterPost);
}

void TClientDataSet::Cancel() {
  Impl& d = *impl_;
  if (d.state == TDataSetState::dsEdit) {
    d.Fire(BeforeCancel);
    d.LeaveEditing();
    d.Fire(AfterCancel);
  } else if (d.state == TDataSetState::dsInsert) {
    d.Fire(BeforeCancel);
    d.Fire(BeforeScroll);
    int pos = d.cursor;
    d.rows.erase(d.rows.begin() + d.RowAt(pos));
    d.has_pending = false;
    d.RowLeft(pos);
    d.Fire(AfterCancel);
    d.Fire(AfterScroll);
  }
}

void TClientDataSet::Delete() {
  Impl& d = *impl_;
  d.CheckActive();
  if (d.state == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (IsEmpty()) throw EDatabaseError("Não há registro para excluir em " + Name());
  d.last_post.reset();
  d.Fire(BeforeDelete);
  d.Fire(BeforeScroll);
  int pos = d.cursor;
  size_t row = static_cast<size_t>(d.RowAt(pos));
  DataRecord& rec = d.rows[row];
  if (d.log_changes && rec.status != RowStatus::kInserted) {
    if (rec.status == RowStatus::kUnmodified) rec.base = std::move(rec.current);
    rec.current.clear();
    rec.status = RowStatus::kDeleted;
  } else {
    // An unsaved insert deleted again leaves nothing to log.
    d.rows.erase(d.rows.begin() + static_cast<std::ptrdiff_t>(row));
  }
  d.RowLeft(pos);
  d.Fire(AfterDelete);
  d.Fire(AfterScroll);
}

void TClientDataSet::CheckBrowseMode() {
  impl_->CheckActive();
  impl_->CheckBrowse();
}

bool TClientDataSet::Modified() const {
  return impl_->modified;
}

}  // namespace db
