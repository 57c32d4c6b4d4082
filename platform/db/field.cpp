#include "db/field.h"

#include "db/client_dataset.h"
#include "db/dataset_impl.h"
#include "db/errors.h"

namespace db {

TField::TField(TClientDataSet* dataset, std::string field_name, int size)
    : rtl::TComponent(dataset), dataset_(dataset), field_name_(std::move(field_name)), size_(size) {
  if (dataset_) dataset_->impl_->fields.push_back(this);
}

int TField::Index() const {
  return dataset_ ? dataset_->impl_->FieldIndexOf(this) : -1;
}

const std::string& TField::DisplayLabel() const {
  return display_label_.empty() ? field_name_ : display_label_;
}

namespace {

const FieldValue* ValueIn(const std::vector<FieldValue>* values, int index) {
  if (!values || index < 0 || static_cast<size_t>(index) >= values->size()) return nullptr;
  return &(*values)[static_cast<size_t>(index)];
}

}  // namespace

bool TField::IsNull() const {
  if (!dataset_) return true;
  const FieldValue* v = ValueIn(dataset_->impl_->ActiveValues(), Index());
  return !v || !v->has_value();
}

std::string TField::AsString() const {
  if (!dataset_) return {};
  const FieldValue* v = ValueIn(dataset_->impl_->ActiveValues(), Index());
  return (v && *v) ? **v : std::string();
}

rtl::Variant TField::Value() const {
  if (IsNull()) return rtl::Variant::Null();
  return rtl::Variant(AsString());
}

void TField::SetAsString(std::string_view value) {
  if (!dataset_) throw EDatabaseError("Campo " + field_name_ + " sem conjunto de dados");
  FieldValue v;
  if (!value.empty()) v = std::string(value);
  dataset_->impl_->WriteValue(this, std::move(v));
}

void TField::SetValue(const rtl::Variant& value) {
  if (value.IsNull() || value.IsEmpty()) {
    SetAsString({});
    return;
  }
  if (value.IsArray()) throw EDatabaseError("Valor inválido para o campo " + DisplayLabel());
  SetAsString(value.AsString());
}

rtl::Variant TField::OldValue() const {
  if (!dataset_) return rtl::Variant::Null();
  const DataRecord* r = dataset_->impl_->ActiveRecord();
  if (!r) return rtl::Variant::Null();
  const FieldValue* v = ValueIn(r->Base(), Index());
  if (!v || !*v) return rtl::Variant::Null();
  return rtl::Variant(**v);
}

rtl::Variant TField::NewValue() const {
  return Value();
}

std::string TField::Text() const {
  if (!OnGetText) return AsString();
  std::string text;
  OnGetText(const_cast<TField*>(this), text, false);
  return text;
}

std::string TField::DisplayText() const {
  if (!OnGetText) return AsString();
  std::string text;
  OnGetText(const_cast<TField*>(this), text, true);
  return text;
}

void TField::SetText(std::string_view text) {
  if (OnSetText)
    OnSetText(this, std::string(text));
  else
    SetAsString(text);
}

void TField::FocusControl() {
  if (dataset_) dataset_->impl_->FocusControl(this);
}

}  // namespace db
