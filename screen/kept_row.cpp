#include "screen/kept_row.h"

#include <algorithm>

namespace qmx00600 {
namespace {

std::vector<rtl::Variant> CurrentKey(const db::TClientDataSet& dataset,
                                     const std::string& key_fields) {
  std::vector<rtl::Variant> key;
  for (const std::string& name : KeyFieldNames(key_fields))
    key.emplace_back(dataset.FieldByName(name)->AsString());
  return key;
}

}  // namespace

std::vector<std::string> KeyFieldNames(std::string_view key_fields) {
  std::vector<std::string> names;
  for (size_t start = 0; start <= key_fields.size();) {
    const size_t end = std::min(key_fields.find(';', start), key_fields.size());
    names.emplace_back(key_fields.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

KeptRow::KeptRow(db::TClientDataSet& dataset, std::string key_fields, std::string parent_field)
    : dataset_(dataset), key_fields_(std::move(key_fields)) {
  // A row being inserted has no key yet; its place is its position.
  if (!dataset.Active() || dataset.IsEmpty()) return;
  recno_ = dataset.RecNo();
  if (dataset.State() != db::TDataSetState::dsInsert) key_ = CurrentKey(dataset, key_fields_);
  if (!parent_field.empty()) parent_ = dataset.FieldByName(parent_field)->AsString();
}

void KeptRow::Restore(const std::string& parent) {
  found_ = false;
  if (recno_ == 0 || parent != parent_ || !dataset_.Active() || dataset_.IsEmpty()) return;
  if (!key_.empty()) {
    if (CurrentKey(dataset_, key_fields_) == key_) {
      found_ = true;
      return;
    }
    found_ = dataset_.Locate(key_fields_, key_, db::loNone);
    if (found_) return;
  }
  dataset_.SetRecNo(std::min(recno_, dataset_.RecordCount()));
}

}  // namespace qmx00600
