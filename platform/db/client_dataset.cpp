#include "db/client_dataset.h"

#include <algorithm>

#include "db/dataset_impl.h"
#include "db/errors.h"
#include "rtl/strings.h"

namespace db {

// -- Impl: states, notification, cursor.

void TClientDataSet::Impl::SetState(TDataSetState s) {
  if (state == s) return;
  state = s;
  for (size_t i = 0; i < sources.size(); ++i) sources[i]->NotifyStateChanged();
}

void TClientDataSet::Impl::NotifyDataSetChanged() {
  for (size_t i = 0; i < sources.size(); ++i) sources[i]->NotifyDataSetChanged();
}

void TClientDataSet::Impl::NotifyScrolled() {
  for (size_t i = 0; i < sources.size(); ++i) sources[i]->NotifyScrolled();
}

void TClientDataSet::Impl::NotifyRecordChanged(TField* field) {
  for (size_t i = 0; i < sources.size(); ++i) sources[i]->NotifyRecordChanged(field);
}

void TClientDataSet::Impl::FocusControl(TField* field) {
  for (size_t i = 0; i < sources.size(); ++i)
    if (sources[i]->NotifyFocusControl(field)) return;
}

void TClientDataSet::Impl::CheckActive() const {
  if (state == TDataSetState::dsInactive)
    throw EDatabaseError("Operação não permitida: o conjunto de dados " + self->Name() +
                         " está fechado");
}

void TClientDataSet::Impl::CheckBrowse() {
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert) return;
  for (size_t i = 0; i < sources.size(); ++i) sources[i]->NotifyUpdateData();
  if (modified)
    self->Post();
  else
    self->Cancel();
}

void TClientDataSet::Impl::CursorToFirst() {
  int size = ViewSize();
  cursor = size > 0 ? 0 : -1;
  bof = true;
  eof = size == 0;
}

uint64_t TClientDataSet::Impl::CurrentId() {
  if (cursor < 0 || cursor >= ViewSize()) return 0;
  return rows[static_cast<size_t>(RowAt(cursor))].id;
}

void TClientDataSet::Impl::RestoreCursor(uint64_t id, int fallback) {
  const std::vector<int>& view = View();
  int size = static_cast<int>(view.size());
  if (id != 0) {
    for (int pos = 0; pos < size; ++pos) {
      if (rows[static_cast<size_t>(view[static_cast<size_t>(pos)])].id == id) {
        cursor = pos;
        bof = eof = false;
        return;
      }
    }
  }
  cursor = size == 0 ? -1 : std::clamp(fallback, 0, size - 1);
  bof = eof = size == 0;
}

void TClientDataSet::Impl::ResetRows() {
  rows.clear();
  extra_fields.clear();
  last_post.reset();
  has_pending = false;
  RowsChanged();
  buffer.clear();
  modified = false;
  cursor = -1;
  bof = eof = true;
  scope_pos = -1;
}

void TClientDataSet::Impl::OpenWith(std::vector<DataRecord> new_rows) {
  Fire(self->BeforeOpen);
  rows = std::move(new_rows);
  last_post.reset();
  for (DataRecord& r : rows) r.id = next_id++;
  RowsChanged();
  TryResolveFilter();
  buffer.clear();
  modified = false;
  scope_pos = -1;
  SetState(TDataSetState::dsBrowse);
  CursorToFirst();
  NotifyDataSetChanged();
  Fire(self->AfterOpen);
  if (ViewSize() > 0) Fire(self->AfterScroll);
}

void TClientDataSet::Impl::DoClose() {
  Fire(self->BeforeClose);
  ResetRows();
  SetState(TDataSetState::dsInactive);
  Fire(self->AfterClose);
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

// -- Public API.

TClientDataSet::TClientDataSet(rtl::TComponent* owner)
    : rtl::TComponent(owner), impl_(std::make_unique<Impl>(this)) {}

TClientDataSet::~TClientDataSet() {
  impl_->destroying = true;
  // Detach the data sources while this dataset is still whole, so their links
  // learn it is gone; no dataset events run during destruction.
  while (!impl_->sources.empty()) impl_->sources.back()->SetDataSet(nullptr);
  std::vector<TField*> fields;
  fields.swap(impl_->fields);
  for (auto it = fields.rbegin(); it != fields.rend(); ++it) delete *it;
}

void TClientDataSet::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  rtl::TComponent::Notification(component, operation);
  if (operation != rtl::TOperation::opRemove) return;
  auto& src = impl_->sources;
  src.erase(std::remove(src.begin(), src.end(), component), src.end());
  auto& f = impl_->fields;
  auto it = std::find(f.begin(), f.end(), component);
  if (it != f.end()) {
    // A field destroyed on its own: the rows lose their shape, so the dataset
    // closes first.
    if (!impl_->destroying && impl_->state != TDataSetState::dsInactive) {
      impl_->ResetRows();
      impl_->SetState(TDataSetState::dsInactive);
    }
    f.erase(std::find(f.begin(), f.end(), component));
    impl_->indexes.clear();
    impl_->TryResolveFilter();
  }
}

TField* TClientDataSet::AddStringField(std::string name, int size, std::string label, bool visible,
                                       bool fixed_char) {
  if (Active())
    throw EDatabaseError("Não é possível criar o campo " + name +
                         " com o conjunto de dados aberto");
  if (name.empty() || !rtl::IsValidUtf8(name)) throw EDatabaseError("Nome de campo inválido");
  if (size < 1 || size > kMaxFieldSize)
    throw EDatabaseError("Tamanho inválido para o campo " + name);
  if (impl_->fields_from_packet) {
    // Declaring fields replaces the ones a packet brought.
    std::vector<TField*> old;
    old.swap(impl_->fields);
    impl_->fields_from_packet = false;
    for (TField* f : old) delete f;
  }
  if (FindField(name)) throw EDatabaseError("Campo " + name + " já existe");
  auto* field = new TField(this, std::move(name), size);
  field->SetDisplayLabel(std::move(label));
  field->SetVisible(visible);
  field->SetFixedChar(fixed_char);
  impl_->TryResolveFilter();
  return field;
}

int TClientDataSet::FieldCount() const {
  return static_cast<int>(impl_->fields.size());
}

TField* TClientDataSet::Fields(int index) const {
  if (index < 0 || index >= FieldCount())
    throw EDatabaseError("Índice de campo fora dos limites: " + std::to_string(index));
  return impl_->fields[static_cast<size_t>(index)];
}

TField* TClientDataSet::FindField(std::string_view name) const {
  int i = impl_->FindFieldIndex(name);
  return i < 0 ? nullptr : impl_->fields[static_cast<size_t>(i)];
}

TField* TClientDataSet::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (!f) throw EDatabaseError("Campo " + std::string(name) + " não encontrado");
  return f;
}

void TClientDataSet::Open() {
  if (Active()) return;
  if (impl_->fields.empty())
    throw EDatabaseError("O conjunto de dados " + Name() + " não tem campos nem dados");
  impl_->OpenWith({});
}

void TClientDataSet::CreateDataSet() {
  if (impl_->fields.empty())
    throw EDatabaseError("O conjunto de dados " + Name() + " não tem campos");
  if (Active()) impl_->DoClose();
  impl_->OpenWith({});
}

void TClientDataSet::Close() {
  if (Active()) impl_->DoClose();
}

bool TClientDataSet::Active() const {
  return impl_->state != TDataSetState::dsInactive;
}

void TClientDataSet::SetActive(bool active) {
  if (active)
    Open();
  else
    Close();
}

TDataSetState TClientDataSet::State() const {
  return impl_->state;
}

void TClientDataSet::First() {
  impl_->Scroll([this] { impl_->CursorToFirst(); });
}

void TClientDataSet::Last() {
  impl_->Scroll([this] {
    int size = impl_->ViewSize();
    impl_->cursor = size - 1;
    impl_->eof = true;
    impl_->bof = size == 0;
  });
}

void TClientDataSet::Next() {
  impl_->Scroll([this] {
    int size = impl_->ViewSize();
    if (impl_->cursor + 1 >= size) {
      impl_->eof = true;
      impl_->bof = size == 0;
    } else {
      ++impl_->cursor;
      impl_->bof = impl_->eof = false;
    }
  });
}

void TClientDataSet::Prior() {
  impl_->Scroll([this] {
    int size = impl_->ViewSize();
    if (impl_->cursor <= 0) {
      impl_->bof = true;
      impl_->eof = size == 0;
    } else {
      --impl_->cursor;
      impl_->bof = impl_->eof = false;
    }
  });
}

bool TClientDataSet::Eof() const {
  return !Active() || impl_->eof;
}
bool TClientDataSet::Bof() const {
  return !Active() || impl_->bof;
}

int TClientDataSet::RecordCount() const {
  return Active() ? impl_->ViewSize() : 0;
}

bool TClientDataSet::IsEmpty() const {
  return RecordCount() == 0;
}

int TClientDataSet::RecNo() const {
  if (!Active() || impl_->cursor < 0) return 0;
  return impl_->cursor + 1;
}

void TClientDataSet::SetRecNo(int recno) {
  impl_->CheckActive();
  if (recno < 1 || recno > RecordCount())
    throw EDatabaseError("Registro " + std::to_string(recno) + " não existe");
  impl_->Scroll([this, recno] {
    // A post in the scroll may have changed the rows.
    impl_->cursor = std::min(recno, impl_->ViewSize()) - 1;
    impl_->bof = impl_->eof = false;
  });
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
    d.buffer.clear();
    d.modified = false;
    d.SetState(TDataSetState::dsBrowse);
    d.NotifyDataSetChanged();
    d.Fire(AfterCancel);
  } else if (d.state == TDataSetState::dsInsert) {
    d.Fire(BeforeCancel);
    d.Fire(BeforeScroll);
    int pos = d.cursor;
    d.rows.erase(d.rows.begin() + d.RowAt(pos));
    d.has_pending = false;
    d.RowsChanged();
    d.RestoreCursor(0, pos);
    d.buffer.clear();
    d.modified = false;
    d.SetState(TDataSetState::dsBrowse);
    d.NotifyDataSetChanged();
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
  d.RowsChanged();
  d.RestoreCursor(0, pos);
  d.buffer.clear();
  d.modified = false;
  d.SetState(TDataSetState::dsBrowse);
  d.NotifyDataSetChanged();
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

const std::vector<TDataSource*>& TClientDataSet::DataSources() const {
  return impl_->sources;
}

TClientDataSet::ActiveRecordScope::ActiveRecordScope(TClientDataSet& dataset, int recno)
    : dataset_(dataset), saved_(dataset.impl_->scope_pos) {
  if (recno < 1 || recno > dataset.RecordCount())
    throw EDatabaseError("Registro " + std::to_string(recno) + " não existe");
  dataset.impl_->scope_pos = recno - 1;
}

TClientDataSet::ActiveRecordScope::~ActiveRecordScope() {
  dataset_.impl_->scope_pos = saved_;
}

}  // namespace db
