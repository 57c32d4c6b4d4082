#include "db/data_source.h"

#include <algorithm>

#include "db/client_dataset.h"
#include "db/dataset_impl.h"

namespace db {

namespace {

bool IsEditing(TDataSetState s) {
  return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert;
}

}  // namespace

// -- TDataLink.

TDataLink::~TDataLink() {
  if (source_) {
    auto& links = source_->links_;
    links.erase(std::remove(links.begin(), links.end(), this), links.end());
  }
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  bool was_active = Active();
  bool was_editing = source_ && IsEditing(source_->State());
  if (source_) {
    auto& links = source_->links_;
    links.erase(std::remove(links.begin(), links.end(), this), links.end());
  }
  source_ = source;
  if (source_) source_->links_.push_back(this);
  if (Active() != was_active) ActiveChanged();
  if ((source_ && IsEditing(source_->State())) != was_editing) EditingChanged();
}

TClientDataSet* TDataLink::DataSet() const {
  return source_ ? source_->DataSet() : nullptr;
}

bool TDataLink::Active() const {
  TClientDataSet* ds = DataSet();
  return ds && ds->Active();
}

// -- TDataSource.

TDataSource::TDataSource(rtl::TComponent* owner) : rtl::TComponent(owner) {}

TDataSource::~TDataSource() {
  // No handler of a half-destroyed source runs.
  OnStateChange = nullptr;
  OnDataChange = nullptr;
  SetDataSet(nullptr);
  while (!links_.empty()) {
    TDataLink* link = links_.back();
    links_.pop_back();
    link->source_ = nullptr;
  }
}

void TDataSource::SetDataSet(TClientDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset_) {
    auto& sources = dataset_->impl_->sources;
    sources.erase(std::remove(sources.begin(), sources.end(), this), sources.end());
    RemoveFreeNotification(dataset_);
  }
  dataset_ = dataset;
  if (dataset_) {
    dataset_->impl_->sources.push_back(this);
    FreeNotification(dataset_);
  }
  TDataSetState old = last_state_;
  last_state_ = State();
  bool active_changed =
      (old != TDataSetState::dsInactive) != (last_state_ != TDataSetState::dsInactive);
  bool editing_changed = IsEditing(old) != IsEditing(last_state_);
  for (size_t i = 0; i < links_.size(); ++i) {
    // A link follows whichever dataset its source points at now.
    links_[i]->ActiveChanged();
    if (editing_changed) links_[i]->EditingChanged();
  }
  (void)active_changed;
  if (OnStateChange) OnStateChange(this);
}

TDataSetState TDataSource::State() const {
  return dataset_ ? dataset_->State() : TDataSetState::dsInactive;
}

void TDataSource::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  rtl::TComponent::Notification(component, operation);
  if (operation == rtl::TOperation::opRemove && component == dataset_) {
    // The dataset is going without having detached us (it normally does).
    dataset_ = nullptr;
    last_state_ = TDataSetState::dsInactive;
    NotifyActiveChanged();
  }
}

void TDataSource::NotifyStateChanged() {
  TDataSetState old = last_state_;
  last_state_ = State();
  if (old == last_state_) return;
  bool active_changed =
      (old != TDataSetState::dsInactive) != (last_state_ != TDataSetState::dsInactive);
  bool editing_changed = IsEditing(old) != IsEditing(last_state_);
  for (size_t i = 0; i < links_.size(); ++i) {
    if (active_changed) links_[i]->ActiveChanged();
    if (i < links_.size() && editing_changed) links_[i]->EditingChanged();
  }
  if (OnStateChange) OnStateChange(this);
}

void TDataSource::NotifyActiveChanged() {
  for (size_t i = 0; i < links_.size(); ++i) links_[i]->ActiveChanged();
}

void TDataSource::NotifyDataSetChanged() {
  for (size_t i = 0; i < links_.size(); ++i) links_[i]->DataSetChanged();
  if (OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::NotifyScrolled() {
  for (size_t i = 0; i < links_.size(); ++i) links_[i]->DataSetScrolled();
  if (OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::NotifyRecordChanged(TField* field) {
  for (size_t i = 0; i < links_.size(); ++i) links_[i]->RecordChanged(field);
  if (OnDataChange) OnDataChange(this, field);
}

void TDataSource::NotifyUpdateData() {
  for (size_t i = 0; i < links_.size(); ++i) links_[i]->UpdateData();
}

bool TDataSource::NotifyFocusControl(TField* field) {
  for (size_t i = 0; i < links_.size(); ++i) {
    bool handled = false;
    links_[i]->FocusControl(field, handled);
    if (handled) return true;
  }
  return false;
}

}  // namespace db
