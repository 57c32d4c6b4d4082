// Data and change packets and the change log of TClientDataSet.
#include "db/client_dataset.h"
#include "db/dataset_impl.h"
#include "db/errors.h"
#include "db/packet_rows.h"
#include "rtl/strings.h"

namespace db {

std::vector<uint8_t> TClientDataSet::Impl::EncodeRecords(bool delta_only) const {
  std::vector<PacketField> packet_fields;
  packet_fields.reserve(RowWidth());
  for (const TField* f : fields)
    packet_fields.push_back({f->FieldName(), f->Size(), f->FixedChar()});
  packet_fields.insert(packet_fields.end(), extra_fields.begin(), extra_fields.end());
  std::vector<detail::RowView> views;
  views.reserve(rows.size());
  for (const DataRecord& r : rows) {
    if (r.pending || (delta_only && r.status == RowStatus::kUnmodified)) continue;
    detail::RowView& v = views.emplace_back();
    v.status = r.status;
    if (r.status != RowStatus::kDeleted) v.values = &r.current;
    if (r.status == RowStatus::kModified || r.status == RowStatus::kDeleted) v.old_values = &r.base;
  }
  return detail::EncodeRows(delta_only ? PacketKind::kDelta : PacketKind::kData, packet_fields,
                            views);
}

namespace {

// Datasets hold the empty text as null.
FieldValue Normalized(FieldValue v) {
  if (v && v->empty()) return std::nullopt;
  return v;
}

}  // namespace

std::vector<DataRecord> TClientDataSet::Impl::PrepareRows(Packet& packet,
                                                          std::vector<PacketField>& extras) {
  // Where each dataset field's value sits in the packet's rows.
  std::vector<size_t> source;
  std::vector<int> limit;  // declared size where it is smaller than the packet's
  if (fields.empty() || fields_from_packet) {
    for (size_t i = 0; i < packet.fields.size(); ++i) {
      source.push_back(i);
      limit.push_back(0);
    }
  } else {
    for (const TField* f : fields) {
      int i = packet.FieldIndex(f->FieldName());
      if (i < 0)
        throw EDatabaseError("Campo " + f->FieldName() + " não encontrado nos dados recebidos");
      source.push_back(static_cast<size_t>(i));
      limit.push_back(packet.fields[static_cast<size_t>(i)].size > f->Size() ? f->Size() : 0);
    }
    std::vector<bool> declared(packet.fields.size(), false);
    for (size_t i : source) declared[i] = true;
    for (size_t i = 0; i < packet.fields.size(); ++i) {
      if (declared[i]) continue;
      source.push_back(i);
      limit.push_back(0);
      extras.push_back(packet.fields[i]);
    }
  }
  // Each packet field feeds at most one dataset field, so values can be moved.
  auto map = [&](std::vector<FieldValue>& in) {
    std::vector<FieldValue> out;
    out.reserve(source.size());
    for (size_t k = 0; k < source.size(); ++k) {
      FieldValue v = Normalized(std::move(in[source[k]]));
      if (v && limit[k] > 0 && v->size() > static_cast<size_t>(limit[k]) &&
          rtl::Utf8Length(*v) > static_cast<size_t>(limit[k]))
        throw EDatabaseError("Valor longo demais para o campo " + fields[k]->FieldName() +
                             " nos dados recebidos");
      out.push_back(std::move(v));
    }
    return out;
  };
  std::vector<DataRecord> out;
  out.reserve(packet.rows.size());
  for (PacketRow& row : packet.rows) {
    DataRecord& r = out.emplace_back();
    r.status = row.status;
    switch (row.status) {
      case RowStatus::kUnmodified:
        r.current = map(row.values);
        break;
      case RowStatus::kModified:
        r.current = map(row.values);
        r.base = map(row.old_values);
        break;
      case RowStatus::kInserted:
        r.current = map(row.values);
        break;
      case RowStatus::kDeleted:
        r.base = map(row.old_values);
        break;
    }
  }
  return out;
}

void TClientDataSet::Impl::AdoptPacketFields(const Packet& packet) {
  if (!fields.empty() && !fields_from_packet) return;
  bool same = fields.size() == packet.fields.size();
  for (size_t i = 0; same && i < fields.size(); ++i)
    same = fields[i]->FieldName() == packet.fields[i].name &&
           fields[i]->Size() == packet.fields[i].size &&
           fields[i]->FixedChar() == packet.fields[i].fixed_char;
  if (same && !fields.empty()) return;
  std::vector<TField*> old;
  old.swap(fields);
  for (TField* f : old) delete f;
  for (const PacketField& pf : packet.fields) {
    auto* f = new TField(self, pf.name, pf.size);
    f->SetFixedChar(pf.fixed_char);
  }
  fields_from_packet = true;
  indexes.clear();
}

rtl::Variant TClientDataSet::Data() const {
  if (!Active()) return rtl::Variant::Null();
  return rtl::Variant::ByteArray(impl_->EncodeRecords(false));
}

void TClientDataSet::SetData(const rtl::Variant& data) {
  Impl& d = *impl_;
  if (data.IsEmpty() || data.IsNull()) {
    Close();
    return;
  }
  // Decode and map everything before touching the dataset, so a bad packet
  // leaves it as it was.
  Packet packet = PacketFromVariant(data);
  std::vector<PacketField> extras;
  std::vector<DataRecord> rows = d.PrepareRows(packet, extras);
  if (Active()) d.DoClose();
  d.AdoptPacketFields(packet);
  d.extra_fields = std::move(extras);
  d.OpenWith(std::move(rows));
}

rtl::Variant TClientDataSet::Delta() const {
  if (!Active()) return rtl::Variant::Null();
  return rtl::Variant::ByteArray(impl_->EncodeRecords(true));
}

int TClientDataSet::ChangeCount() const {
  if (!Active()) return 0;
  int n = 0;
  for (const DataRecord& r : impl_->rows)
    if (!r.pending && r.status != RowStatus::kUnmodified) ++n;
  return n;
}

bool TClientDataSet::LogChanges() const {
  return impl_->log_changes;
}
void TClientDataSet::SetLogChanges(bool log) {
  impl_->log_changes = log;
}

void TClientDataSet::MergeChangeLog() {
  if (!Active()) return;
  impl_->SettleRows([](DataRecord& r) {
    if (r.status == RowStatus::kDeleted) return false;
    if (!r.pending) {
      r.status = RowStatus::kUnmodified;
      r.base.clear();
    }
    return true;
  });
}

void TClientDataSet::CancelUpdates() {
  if (!Active()) return;
  Cancel();
  impl_->SettleRows([](DataRecord& r) {
    if (r.status == RowStatus::kInserted) return false;
    if (r.status != RowStatus::kUnmodified) {
      r.current = std::move(r.base);
      r.base.clear();
      r.status = RowStatus::kUnmodified;
    }
    return true;
  });
}

}  // namespace db
