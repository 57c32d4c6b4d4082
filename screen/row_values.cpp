#include "screen/row_values.h"

#include "db/packet.h"
#include "orb/text.h"
#include "rtl/strings.h"

namespace qmx00600 {

bool Editing(db::TDataSetState state) {
  return state == db::TDataSetState::dsEdit || state == db::TDataSetState::dsInsert;
}

bool Editing(const db::TClientDataSet* ds) {
  return Editing(ds->State());
}

bool ValueChanged(const db::TField* field) {
  return !(field->OldValue() == field->NewValue());
}

std::string StoredCode(std::string_view code) {
  return orb::Replace(" ", rtl::AnsiUpperCase(code), "", orb::rfReplaceAll);
}

std::string StoredNumber(std::string_view number) {
  return orb::Ajusta(number, 5);
}

bool TakeTableCode(db::TDataSource* detail, std::string_view code_field,
                   const db::TClientDataSet* tables) {
  if (detail->State() != db::TDataSetState::dsInsert) return false;
  detail->DataSet()
      ->FieldByName(code_field)
      ->SetAsString(tables->FieldByName("CDTABELADW")->AsString());
  return true;
}

std::string AffectedTables(const db::TClientDataSet& answer) {
  if (!answer.Active() || answer.IsEmpty() || answer.FindField("TABELAS") == nullptr) return {};
  return answer.FieldByName("TABELAS")->AsString();
}

namespace {

// NRVERSAO of the first row of `ds` whose `key_field` is `key` (of the first
// row when `key_field` is empty).
rtl::Variant VersionOfRow(const db::TClientDataSet& ds, std::string_view key_field,
                          std::string_view key) {
  if (!ds.Active()) return {};
  const db::Packet packet = db::PacketFromVariant(ds.Data());
  const int field = packet.FieldIndex("NRVERSAO");
  const int key_index = key_field.empty() ? -1 : packet.FieldIndex(std::string(key_field));
  if (field < 0 || (!key_field.empty() && key_index < 0)) return {};
  for (const db::PacketRow& row : packet.rows) {
    if (row.status == db::RowStatus::kDeleted) continue;
    if (key_index >= 0 && row.values[static_cast<size_t>(key_index)] != std::string(key)) continue;
    const db::FieldValue& value = row.values[static_cast<size_t>(field)];
    return value ? rtl::Variant(*value) : rtl::Variant();
  }
  return {};
}

}  // namespace

rtl::Variant AnswerVersion(const db::TClientDataSet& answer) {
  return VersionOfRow(answer, {}, {});
}

rtl::Variant ListedVersion(const db::TClientDataSet& list, std::string_view code) {
  return VersionOfRow(list, "CDTABELADW", code);
}

}  // namespace qmx00600
