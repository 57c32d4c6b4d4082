// The dimensions of the current drill table (cdsDimeDrill, shown by the
// dimension grid on the drill side): checking a field, the consistency
// question it may raise, and saving each posted or deleted row at once.
#include <memory>

#include "orb/busy.h"
#include "orb/text.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strings.h"
#include "screen/estrutura.h"

namespace qmx00600 {
namespace {

// The stored form of the field's value: a column upper-cased without blanks,
// a dimension number widened to five characters.
std::string StoredForm(const db::TField* field) {
  if (field->FieldName() == "CDDIMEDRILL")
    return orb::Replace(" ", rtl::AnsiUpperCase(field->AsString()), "", orb::rfReplaceAll);
  return orb::Ajusta(field->AsString(), 5);
}

}  // namespace

void TfrmEstrutura::vd_dimeDrill(db::TField* field, bool required) {
  const std::string& name = field->FieldName();
  if (orb::EmptyString(field->AsString())) {
    if (required) Reject(field, name == "CDDIMEDRILL" ? "CP_DEVE" : "DM_DEVE");
    return;
  }
  const db::TDataSetState state = cdsDimeDrill->State();
  if (state != db::TDataSetState::dsInsert && state != db::TDataSetState::dsEdit) return;
  try {
    field->SetAsString(StoredForm(field));
    if (state == db::TDataSetState::dsEdit && rtl::AnsiUpperCase(field->NewValue().AsString()) ==
                                                  rtl::AnsiUpperCase(field->OldValue().AsString()))
      return;

    const std::string drill_table = cdsDimeDrill->FieldByName("CDTABDRILL")->AsString();
    rtl::Variant answer;
    {
      orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetValida"));
      answer = Server().getVdDimeDrill(drill_table, rtl::AnsiUpperCase(name),
                                       rtl::AnsiUpperCase(field->AsString()));
    }
    if (answer.IsEmpty() || answer.IsNull() || answer.IsString()) return;
    // Scratch copy of the answer, released on every path.
    auto affected = std::make_unique<db::TClientDataSet>(this);
    affected->SetData(answer);
    const std::string tables =
        affected->Active() && !affected->IsEmpty() && affected->FindField("TABELAS") != nullptr
            ? affected->FieldByName("TABELAS")->AsString()
            : std::string();
    if (orb::EmptyString(tables)) return;

    const char* key = tables.find(',') != std::string::npos ? "MAIS_DIME_P" : "MAIS_DIME_S";
    if (!AskWarning(rtl::Format(msgPadrao->Msg(key), {drill_table, tables}))) {
      affected.reset();
      cdsDimeDrill->Cancel();
      cdsTabelaDrillAfterScroll(cdsTabelaDrill);
      rtl::Abort();
    }
    {
      orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("SetAtualiza"));
      Server().setDelDrillDw(affected->Data(),
                             cdsTabelaDrill->FieldByName("CDTABELADW")->AsString());
    }
    // The links dropped belong to fact tables: the current one's details are
    // read again.
    if (state == db::TDataSetState::dsEdit) cdsTabelasAfterScroll(cdsTabelas);
  } catch (...) {
    field->FocusControl();
    throw;
  }
}

// Each rule may abandon the post; up to three questions can come, two from
// the field checks of a new row and one from the insertion check.
void TfrmEstrutura::cdsDimeDrillBeforePost(db::TDataSet*) {
  db::TField* number = cdsDimeDrill->FieldByName("NRSEQUEDIME");
  vd_dimeDrill(cdsDimeDrill->FieldByName("CDDIMEDRILL"), true);
  vd_dimeDrill(number, true);
  VD_DimeDime(number);
  vd_incluirFatos();
}

// Runs after posts and deletes alike; the save member tells them apart (a
// refused post goes back to the person, a refused deletion is undone).
void TfrmEstrutura::cdsDimeDrillAfterDelete(db::TDataSet*) {
  Save("cdsDimeDrillAfterDelete");
}

}  // namespace qmx00600
