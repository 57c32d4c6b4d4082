// Views, hash indexes, filter and Locate of TClientDataSet.
#include <algorithm>

#include "db/client_dataset.h"
#include "db/dataset_impl.h"
#include "db/errors.h"
#include "rtl/strings.h"

namespace db {

namespace {

std::string_view TextOf(const FieldValue& v) {
  return v ? std::string_view(*v) : std::string_view();
}

// Splits "A;B" into trimmed names.
std::vector<std::string> SplitKeyFields(std::string_view names) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    size_t semi = names.find(';', start);
    out.push_back(
        rtl::Trim(names.substr(start, semi == std::string_view::npos ? semi : semi - start)));
    if (semi == std::string_view::npos) break;
    start = semi + 1;
  }
  return out;
}

std::string KeyText(const rtl::Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return {};
  if (v.IsArray()) throw EDatabaseError("Valor de busca inválido");
  return v.AsString();
}

}  // namespace

const std::vector<int>& TClientDataSet::Impl::View() {
  if (!live_valid) {
    live.clear();
    live.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].status != RowStatus::kDeleted) live.push_back(static_cast<int>(i));
    live_valid = true;
  }
  if (!FilterApplies()) return live;
  if (!filtered_valid) RebuildFiltered();
  return filtered;
}

void TClientDataSet::Impl::RebuildFiltered() {
  filtered.clear();
  filtered_valid = true;
  if (!filter_resolved) return;
  const detail::FilterNode& f = *filter;
  if (f.kind == detail::FilterNode::Kind::kCompare && f.op == detail::FilterOp::kEq) {
    const HashIndex& index = Index(f.field_index, false);
    auto it = index.buckets.find(f.value);
    if (it != index.buckets.end()) filtered = it->second;
  } else {
    for (int row : live) {
      const DataRecord& r = rows[static_cast<size_t>(row)];
      if (!r.pending && detail::EvalFilter(f, r.current)) filtered.push_back(row);
    }
  }
  // The row being inserted shows whatever the filter says until it is posted.
  if (!has_pending) return;
  for (int row : live) {
    if (rows[static_cast<size_t>(row)].pending) {
      filtered.insert(std::lower_bound(filtered.begin(), filtered.end(), row), row);
      break;
    }
  }
}

const HashIndex& TClientDataSet::Impl::Index(int field, bool case_insensitive) {
  size_t slot = static_cast<size_t>(field) * 2 + (case_insensitive ? 1 : 0);
  if (indexes.size() <= slot) indexes.resize(fields.size() * 2);
  std::unique_ptr<HashIndex>& index = indexes[slot];
  if (!index) {
    View();  // the live view must be current
    index = std::make_unique<HashIndex>();
    index->buckets.reserve(live.size());
    for (int row : live) {
      const DataRecord& r = rows[static_cast<size_t>(row)];
      if (r.pending) continue;
      std::string_view text = TextOf(r.current[static_cast<size_t>(field)]);
      std::string key = case_insensitive ? rtl::AnsiUpperCase(text) : std::string(text);
      index->buckets[std::move(key)].push_back(row);
    }
  }
  return *index;
}

int TClientDataSet::Impl::PositionOf(int row) {
  const std::vector<int>& view = View();
  auto it = std::lower_bound(view.begin(), view.end(), row);
  return (it != view.end() && *it == row) ? static_cast<int>(it - view.begin()) : -1;
}

void TClientDataSet::Impl::RowsChanged() {
  live_valid = false;
  filtered_valid = false;
  indexes.clear();
}

void TClientDataSet::Impl::ValuesChanged() {
  filtered_valid = false;
  indexes.clear();
}

void TClientDataSet::Impl::TryResolveFilter() {
  filter_resolved = false;
  filtered_valid = false;
  if (!filter) return;
  try {
    detail::ResolveFilterFields(*filter, [this](std::string_view n) { return FindFieldIndex(n); });
    filter_resolved = true;
  } catch (const EDatabaseError&) {
    // Names a field this dataset lacks: lets nothing through.
  }
}

void TClientDataSet::Impl::FilterChanged(bool applied_before) {
  filtered_valid = false;
  if (state == TDataSetState::dsInactive || (!applied_before && !FilterApplies())) return;
  Fire(self->BeforeScroll);
  CursorToFirst();
  NotifyDataSetChanged();
  Fire(self->AfterScroll);
}

// -- Field access.

int TClientDataSet::Impl::FieldIndexOf(const TField* field) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i] == field) return static_cast<int>(i);
  return -1;
}

int TClientDataSet::Impl::FindFieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (rtl::SameText(fields[i]->FieldName(), name)) return static_cast<int>(i);
  return -1;
}

const DataRecord* TClientDataSet::Impl::ActiveRecord() {
  if (state == TDataSetState::dsInactive) return nullptr;
  int pos = scope_pos >= 0 ? scope_pos : cursor;
  if (pos < 0 || pos >= ViewSize()) return nullptr;
  return &rows[static_cast<size_t>(RowAt(pos))];
}

const std::vector<FieldValue>* TClientDataSet::Impl::ActiveValues() {
  bool editing = state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
  if (editing && (scope_pos < 0 || scope_pos == cursor)) return &buffer;
  const DataRecord* r = ActiveRecord();
  return r ? &r->current : nullptr;
}

void TClientDataSet::Impl::WriteValue(TField* field, FieldValue value) {
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert)
    throw EDatabaseError("O conjunto de dados " + self->Name() + " não está em edição ou inserção");
  if (scope_pos >= 0 && scope_pos != cursor)
    throw EDatabaseError("Só o registro corrente pode ser alterado");
  int index = FieldIndexOf(field);
  if (index < 0) throw EDatabaseError("Campo " + field->FieldName() + " não pertence ao conjunto");
  if (value) {
    if (!rtl::IsValidUtf8(*value))
      throw EDatabaseError("Valor inválido para o campo " + field->DisplayLabel() +
                           ": o texto não é UTF-8");
    if (value->size() > static_cast<size_t>(field->Size()) &&
        rtl::Utf8Length(*value) > static_cast<size_t>(field->Size()))
      throw EDatabaseError("Valor longo demais para o campo " + field->DisplayLabel() +
                           " (máximo de " + std::to_string(field->Size()) + " caracteres)");
  }
  buffer[static_cast<size_t>(index)] = std::move(value);
  modified = true;
  NotifyRecordChanged(field);
}

// -- Filter.

const std::string& TClientDataSet::Filter() const {
  return impl_->filter_text;
}

void TClientDataSet::SetFilter(std::string expression) {
  Impl& d = *impl_;
  auto node = detail::ParseFilter(expression);
  if (node && !d.fields.empty())
    detail::ResolveFilterFields(*node, [&d](std::string_view n) { return d.FindFieldIndex(n); });
  bool applied_before = d.FilterApplies();
  if (d.state != TDataSetState::dsInactive && (applied_before || (d.filtered_flag && node)))
    d.CheckBrowse();
  d.filter = std::move(node);
  d.filter_text = std::move(expression);
  d.filter_resolved = d.filter && !d.fields.empty();
  d.FilterChanged(applied_before);
}

bool TClientDataSet::Filtered() const {
  return impl_->filtered_flag;
}

void TClientDataSet::SetFiltered(bool filtered) {
  Impl& d = *impl_;
  if (d.filtered_flag == filtered) return;
  bool applied_before = d.FilterApplies();
  if (d.state != TDataSetState::dsInactive && d.filter) d.CheckBrowse();
  d.filtered_flag = filtered;
  d.FilterChanged(applied_before);
}

// -- Locate.

bool TClientDataSet::Locate(std::string_view key_fields, const rtl::Variant& key_value,
                            TLocateOptions options) {
  if (key_value.IsArray() && !key_value.IsByteArray())
    return Locate(key_fields, key_value.Items(), options);
  return Locate(key_fields, std::vector<rtl::Variant>{key_value}, options);
}

bool TClientDataSet::Locate(std::string_view key_fields,
                            const std::vector<rtl::Variant>& key_values, TLocateOptions options) {
  Impl& d = *impl_;
  d.CheckActive();
  std::vector<int> fields;
  for (const std::string& name : SplitKeyFields(key_fields)) {
    int i = d.FindFieldIndex(name);
    if (i < 0) throw EDatabaseError("Campo " + name + " não encontrado");
    fields.push_back(i);
  }
  if (fields.size() != key_values.size())
    throw EDatabaseError("Número de valores de busca diferente do número de campos");
  bool ci = (options & loCaseInsensitive) != 0;
  bool partial = (options & loPartialKey) != 0;
  std::vector<std::string> keys;
  for (const rtl::Variant& v : key_values)
    keys.push_back(ci ? rtl::AnsiUpperCase(KeyText(v)) : KeyText(v));

  d.CheckBrowse();
  auto matches = [&](const DataRecord& r, size_t from) {
    for (size_t k = from; k < fields.size(); ++k) {
      std::string_view text = TextOf(r.current[static_cast<size_t>(fields[k])]);
      std::string folded;
      if (ci) {
        folded = rtl::AnsiUpperCase(text);
        text = folded;
      }
      if (partial ? !text.starts_with(keys[k]) : text != keys[k]) return false;
    }
    return true;
  };
  int found = -1;
  if (!partial) {
    // Candidates from the first key field's index, in row order; the other
    // key fields are checked on each.
    const HashIndex& index = d.Index(fields[0], ci);
    auto it = index.buckets.find(keys[0]);
    if (it != index.buckets.end()) {
      for (int row : it->second) {
        int pos = d.PositionOf(row);
        if (pos >= 0 && matches(d.rows[static_cast<size_t>(row)], 1)) {
          found = pos;
          break;
        }
      }
    }
  } else {
    const std::vector<int>& view = d.View();
    for (size_t pos = 0; pos < view.size() && found < 0; ++pos)
      if (matches(d.rows[static_cast<size_t>(view[pos])], 0)) found = static_cast<int>(pos);
  }
  if (found < 0) return false;
  d.Scroll([&d, found] {
    d.cursor = found;
    d.bof = d.eof = false;
  });
  return true;
}

}  // namespace db
