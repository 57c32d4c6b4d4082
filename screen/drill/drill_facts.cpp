// The facts of the current drill table (cdsFatosDrill, shown by
// dbgFatosDrill): checking a field, the column picker, the grid's key
// filters, and saving each posted or deleted row at once.
#include "db/packet.h"
#include "orb/busy.h"
#include "orb/dialogs.h"
#include "orb/text.h"
#include "rtl/strings.h"
#include "screen/estrutura.h"
#include "screen/lookup_by_filter.h"
#include "screen/row_values.h"
#include "vcl/control.h"

namespace qmx00600 {
namespace {

const char* RequiredKey(const std::string& field) {
  if (field == "CDITEMDRILL") return "CP_DEVE";
  if (field == "NMITEMDRILL") return "NM_DEVE";
  return "TIPO_DEVE";
}

bool SelectedFieldIs(const vcl::TDBGrid* grid, std::string_view name) {
  const db::TField* field = grid->SelectedField();
  return field != nullptr && field->FieldName() == name;
}

}  // namespace

void TfrmEstrutura::vd_fatos_drill(db::TField* field, bool required) {
  const std::string& name = field->FieldName();
  if (orb::EmptyString(field->AsString())) {
    if (required) Reject(field, RequiredKey(name));
    return;
  }
  try {
    switch (cdsFatosDrill->State()) {
      case db::TDataSetState::dsInsert:
        if (name == "CDITEMDRILL") field->SetAsString(StoredCode(field->AsString()));
        if (name == "IDTPFATODRILL") return;  // the type never goes to the server
        break;
      case db::TDataSetState::dsEdit:
        // Letter case alone is no change worth asking about.
        if (rtl::AnsiUpperCase(field->NewValue().AsString()) ==
            rtl::AnsiUpperCase(field->OldValue().AsString()))
          return;
        break;
      default:
        return;
    }
    orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetValida"));
    Server().getVdFatosDrill(cdsFatosDrill->FieldByName("CDTABDRILL")->AsString(),
                             rtl::AnsiUpperCase(name), rtl::AnsiUpperCase(field->AsString()));
  } catch (...) {
    field->FocusControl();
    throw;
  }
}

void TfrmEstrutura::cdsFatosDrillBeforePost(db::TDataSet*) {
  vd_fatos_drill(cdsFatosDrill->FieldByName("CDITEMDRILL"), true);
  vd_fatos_drill(cdsFatosDrill->FieldByName("NMITEMDRILL"), true);
}

void TfrmEstrutura::dbgFatosDrillColExit(rtl::TObject*) {
  const db::TField* left = dbgFatosDrill->SelectedField();
  if (left == nullptr) return;
  if (left->FieldName() == "CDITEMDRILL" || left->FieldName() == "NMITEMDRILL")
    vd_fatos_drill(cdsFatosDrill->FieldByName(left->FieldName()), false);
}

// The picked column is checked only when the column is left or the row posted.
void TfrmEstrutura::dbgFatosDrillEditButtonClick(rtl::TObject*) {
  db::TField* column = cdsFatosDrill->FieldByName("CDITEMDRILL");
  if (dbgFatosDrill->SelectedField() != column) return;
  try {
    db::TClientDataSet* list = dbnPadrao->DataSource() == dtsPadrao ? cdsTabelas : cdsTabelaDrill;
    {
      orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
      rtl::Variant table(list->FieldByName("CDTABELADW")->AsString());
      cdsFields->SetData(Server().GetFields("F", table));
    }
    if (!cdsFields->Active() || cdsFields->IsEmpty())
      orb::MensErro(msgPadrao->Msg("N_FATOS"), true);
    OpenOnCurrentValue(*cdsFields, "CDFIELD", column->AsString());
    if (!orb::Pesquisar(*dtsFields, msgPadrao->Msg("FIELDS"), false, true)) return;
    const std::string picked = cdsFields->FieldByName("CDFIELD")->AsString();
    if (picked == column->AsString()) return;
    if (cdsFatosDrill->State() == db::TDataSetState::dsBrowse) cdsFatosDrill->Edit();
    column->SetAsString(picked);
  } catch (...) {
    column->FocusControl();
    throw;
  }
}

// The type is chosen from the column's pick list only: typing and Delete
// cannot change it.
void TfrmEstrutura::dbgFatosDrillKeyPress(rtl::TObject*, char& key) {
  if (SelectedFieldIs(dbgFatosDrill, "CDITEMDRILL"))
    key = rtl::UpCase(key);
  else if (SelectedFieldIs(dbgFatosDrill, "IDTPFATODRILL"))
    key = '\0';
}

void TfrmEstrutura::dbgFatosDrillKeyDown(rtl::TObject*, uint16_t& key, vcl::TShiftState) {
  if (key == vcl::VK_DELETE && SelectedFieldIs(dbgFatosDrill, "IDTPFATODRILL")) key = 0;
}

void TfrmEstrutura::dbgFatosDrillEnter(rtl::TObject*) {
  dtsFatosDrillStateChange(dtsFatosDrill);
}

void TfrmEstrutura::cdsFatosDrillAfterPost(db::TDataSet*) {
  Save("cdsFatosDrillAfterPost");
}

// A deletion the server refuses is undone (see its save member).
void TfrmEstrutura::cdsFatosDrillAfterDelete(db::TDataSet*) {
  Save("cdsFatosDrillAfterDelete");
}

}  // namespace qmx00600
