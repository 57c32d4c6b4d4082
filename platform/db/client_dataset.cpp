#include "db/client_dataset.h"

#include <algorithm>

#include "db/dataset_impl.h"
#include "db/errors.h"
#include "rtl/strings.h"

namespace db {

// -- Impl: states, notification, cursor, opening and closing.

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

// A move towards an end the cursor already stands at (its flag set by an
// earlier move) goes nowhere: a pending edit is still posted, but there is no
// scroll and no scroll event, so handlers that read the server on every
// scroll are not run again for nothing.
bool TClientDataSet::Impl::AtEnd(int direction) {
  CheckActive();
  const int size = ViewSize();
  if (direction > 0) return eof && cursor >= size - 1;
  return bof && cursor <= 0;
}

void TClientDataSet::First() {
  if (impl_->AtEnd(-1)) return CheckBrowseMode();
  impl_->Scroll([this] { impl_->CursorToFirst(); });
}

void TClientDataSet::Last() {
  if (impl_->AtEnd(1)) return CheckBrowseMode();
  impl_->Scroll([this] {
    int size = impl_->ViewSize();
    impl_->cursor = size - 1;
    impl_->eof = true;
    impl_->bof = size == 0;
  });
}

void TClientDataSet::Next() {
  MoveBy(1);
}

void TClientDataSet::Prior() {
  MoveBy(-1);
}

int TClientDataSet::MoveBy(int distance) {
  Impl& d = *impl_;
  if (distance == 0 || d.AtEnd(distance)) {
    CheckBrowseMode();
    return 0;
  }
  int moved = 0;
  d.Scroll([&d, distance, &moved] {
    const int size = d.ViewSize();
    const int target = std::clamp(d.cursor + distance, 0, std::max(size - 1, 0));
    moved = size == 0 ? 0 : target - d.cursor;
    d.cursor = size == 0 ? -1 : target;
    // Reaching an end by falling short of the distance sets its flag.
    d.eof = size == 0 || (distance > 0 && moved < distance);
    d.bof = size == 0 || (distance < 0 && moved > distance);
  });
  return moved;
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
  // The current row asked for again is no move.
  if (recno == RecNo()) return CheckBrowseMode();
  impl_->Scroll([this, recno] {
    // A post in the scroll may have changed the rows.
    impl_->cursor = std::min(recno, impl_->ViewSize()) - 1;
    impl_->bof = impl_->eof = false;
  });
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
