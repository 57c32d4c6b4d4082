// The way out of a save the server refused because its row was changed or
// deleted by another user since the screen read it: the refused change is
// dropped, the list it belongs to is read again from the server and the row
// found again by its key (a row that no longer exists is simply gone), and
// one message tells the person so, with what they had typed, to apply again.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "db/packet.h"
#include "orb/busy.h"
#include "orb/dialogs.h"
#include "rtl/exceptions.h"
#include "rtl/strings.h"
#include "screen/estrutura.h"
#include "screen/kept_row.h"
#include "screen/row_values.h"

namespace qmx00600 {
namespace {

enum class Reload {
  kFactTables,        // every fact table
  kDrillTables,       // every drill table
  kFactTableDetails,  // facts and dimensions of the current fact table
  kDrillTableDetails  // drill facts and dimensions of the current drill table
};

// What a refused save of `dataset` reloads, and how its row is found again in
// the reloaded `list`.
struct ConflictReload {
  std::string_view dataset;
  Reload reload;
  std::string_view list;
  std::string_view key_fields;
};

constexpr ConflictReload kConflictReloads[] = {
    {"cdsTabelas", Reload::kFactTables, "cdsTabelas", "CDTABELADW"},
    {"cdsTabelaDrill", Reload::kDrillTables, "cdsTabelaDrill", "CDTABELADW"},
    {"cdsFatos", Reload::kFactTableDetails, "cdsFatos", "CDTABELADW;CDITEMDW"},
    // The check-all's working copy of the facts.
    {"cdsVdFatos", Reload::kFactTableDetails, "cdsFatos", "CDTABELADW;CDITEMDW"},
    {"cdsDime", Reload::kFactTableDetails, "cdsDime", "CDTABELADW;CDITEMDIME"},
    {"cdsFatosDrill", Reload::kDrillTableDetails, "cdsFatosDrill", "CDTABDRILL;CDITEMDRILL"},
    {"cdsDimeDrill", Reload::kDrillTableDetails, "cdsDimeDrill", "CDTABDRILL;CDDIMEDRILL"},
};

const ConflictReload* ConflictReloadOf(std::string_view dataset) {
  for (const ConflictReload& r : kConflictReloads)
    if (r.dataset == dataset) return &r;
  return nullptr;
}

// The server's refusal, told as what has become of the screen.
constexpr const char* kReloadedText =
    "O registro foi alterado ou excluído por outro usuário desde que foi lido; os dados foram "
    "recarregados com o que está gravado.";

// What the refused change held, read before it is dropped.
struct RefusedChange {
  bool deletion = false;
  bool insertion = false;
  std::vector<std::string> typed;  // "label: value", the person's own values
  std::vector<rtl::Variant> key;   // the row's key as stored (as typed for a new row)
};

bool IsKeyField(std::string_view key_fields, std::string_view name) {
  for (const std::string& key : KeyFieldNames(key_fields))
    if (rtl::SameText(key, name)) return true;
  return false;
}

// The posted row is the current one: its visible fields that changed, as the
// grid shows them.
RefusedChange FromPostedRow(const db::TClientDataSet& ds, std::string_view key_fields) {
  RefusedChange change;
  for (int i = 0; i < ds.FieldCount(); ++i) {
    const db::TField* field = ds.Fields(i);
    if (field->Visible() && ValueChanged(field))
      change.typed.push_back(field->DisplayLabel() + ": " + field->DisplayText());
  }
  change.insertion = true;
  for (const std::string& name : KeyFieldNames(key_fields)) {
    const db::TField* field = ds.FieldByName(name);
    const rtl::Variant old_value = field->OldValue();
    if (!old_value.IsNull()) change.insertion = false;
    change.key.push_back(old_value.IsNull() ? field->Value() : old_value);
  }
  return change;
}

// Any other change (a deletion, the check-all's rows), read from the change
// packet: values as stored, labels from the dataset's fields.
RefusedChange FromChangePacket(const db::TClientDataSet& ds, std::string_view key_fields) {
  RefusedChange change;
  const db::Packet delta = db::PacketFromVariant(ds.Delta());
  auto label_of = [&ds](const std::string& name) -> std::optional<std::string> {
    const db::TField* field = ds.FindField(name);
    if (field == nullptr || !field->Visible()) return std::nullopt;
    return field->DisplayLabel();
  };
  for (const db::PacketRow& row : delta.rows) {
    const bool deleted = row.status == db::RowStatus::kDeleted;
    change.deletion = change.deletion || deleted;
    const std::vector<db::FieldValue>& values = deleted ? row.old_values : row.values;
    for (size_t i = 0; i < delta.fields.size(); ++i) {
      const std::optional<std::string> label = label_of(delta.fields[i].name);
      const bool changed = row.status == db::RowStatus::kModified ? values[i] != row.old_values[i]
                                                                  : values[i].has_value();
      // A deletion is told by the row's identity; a change by what changed.
      if (label && changed && (!deleted || IsKeyField(key_fields, delta.fields[i].name)))
        change.typed.push_back(*label + ": " + values[i].value_or(""));
    }
  }
  if (delta.rows.empty()) return change;
  const db::PacketRow& first = delta.rows.front();
  const auto& stored = first.status == db::RowStatus::kInserted ? first.values : first.old_values;
  change.insertion = first.status == db::RowStatus::kInserted;
  for (const std::string& name : KeyFieldNames(key_fields)) {
    const int index = delta.FieldIndex(name);
    const db::FieldValue value = index < 0 ? db::FieldValue() : stored[static_cast<size_t>(index)];
    change.key.push_back(value ? rtl::Variant(*value) : rtl::Variant::Null());
  }
  return change;
}

std::string Joined(const std::vector<std::string>& lines, const char* separator) {
  std::string out;
  for (const std::string& line : lines) out += (out.empty() ? "" : separator) + line;
  return out;
}

std::string ConflictMessage(const RefusedChange& change, bool found) {
  std::string text = kReloadedText;
  if (change.deletion) {
    if (!found) return text + "\n\nO registro que você excluiu já não existe.";
    return text + "\n\nSua exclusão (" + Joined(change.typed, ", ") +
           ") não foi feita; confira o registro e exclua de novo se ainda quiser.";
  }
  if (change.typed.empty()) return text;
  text += "\n\nO que você digitou";
  if (!found && !change.insertion) text += " (o registro já não existe)";
  return text + ", para aplicar de novo:\n" + Joined(change.typed, "\n");
}

}  // namespace

bool TfrmEstrutura::ReloadsAfterConflict(std::string_view dataset) {
  return ConflictReloadOf(dataset) != nullptr;
}

void TfrmEstrutura::RecoverFromConflict(db::TClientDataSet* dataset) {
  const ConflictReload* how = ConflictReloadOf(dataset->Name());
  if (how == nullptr) rtl::Abort();
  const RefusedChange change = dataset->CanReopenLastPost()
                                   ? FromPostedRow(*dataset, how->key_fields)
                                   : FromChangePacket(*dataset, how->key_fields);
  dataset->CancelUpdates();

  auto* list = dynamic_cast<db::TClientDataSet*>(FindComponent(how->list));
  // Where the person was, for when the refused row is gone.
  KeptRow kept(*list, std::string(how->key_fields));
  bool found = false;
  {
    orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
    switch (how->reload) {
      case Reload::kFactTables:
        cdsTabelas->SetData(Server().GetTabelasAll(false));
        break;
      case Reload::kDrillTables:
        cdsTabelaDrill->SetData(Server().GetTabelasAll(true));
        break;
      case Reload::kFactTableDetails:
        cdsTabelasAfterScroll(cdsTabelas);
        break;
      case Reload::kDrillTableDetails:
        cdsTabelaDrillAfterScroll(cdsTabelaDrill);
        break;
    }
    found = list->Active() && list->Locate(how->key_fields, change.key, db::loCaseInsensitive);
    if (!found) kept.Restore();
  }
  orb::MensErro(ConflictMessage(change, found), true);
  rtl::Abort();
}

}  // namespace qmx00600
