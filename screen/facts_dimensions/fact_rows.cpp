// The facts of a fact table (cdsFatos): the full check of a row before it is
// posted, the check of the cell being left, and saving every post and delete
// at once.
#include "orb/busy.h"
#include "orb/text.h"
#include "screen/estrutura.h"
#include "screen/lookup_by_filter.h"
#include "screen/row_values.h"

namespace qmx00600 {
namespace {

// Puts the code in the form it is stored in.
void Normalise(db::TField* code) {
  code->SetAsString(StoredCode(code->AsString()));
}

}  // namespace

void TfrmEstrutura::cdsFatosBeforePost(db::TDataSet*) {
  db::TField* item = cdsFatos->FieldByName("CDITEMDW");
  db::TField* name = cdsFatos->FieldByName("NMITEMDW");
  db::TField* mart = cdsFatos->FieldByName("CDAREANEGDW");
  if (orb::EmptyString(item->AsString())) Reject(item, "CP_DEVE");
  if (orb::EmptyString(name->AsString())) Reject(name, "NM_DEVE");
  if (orb::EmptyString(mart->AsString())) Reject(mart, "AREA_DEVE");
  VD_areanegDW();
  vd_fatos();
  vd_drillDown(false);
}

void TfrmEstrutura::dbgFatosColExit(rtl::TObject*) {
  const db::TField* field = dbgFatos->SelectedField();
  if (field == nullptr) return;
  const std::string& name = field->FieldName();
  if (name == "CDITEMDW" || name == "NMITEMDW") {
    if (!orb::EmptyString(field->AsString())) vd_fatos();
  } else if (name == "CDAREANEGDW") {
    if (!orb::EmptyString(field->AsString())) VD_areanegDW();
  } else if (name == "CDTABDRILL") {
    vd_drillDown(false);
  }
}

void TfrmEstrutura::VD_areanegDW() {
  if (!Editing(cdsFatos->State())) return;
  db::TField* mart = cdsFatos->FieldByName("CDAREANEGDW");
  mart->SetAsString(orb::Ajusta(mart->AsString(), 5));
  cdsAreaNegDW->SetFiltered(true);
  // The code is one quoted literal whatever it holds.
  cdsAreaNegDW->SetFilter(EqualsFilter("CDAREANEGDW", mart->AsString()));
  const bool known = cdsAreaNegDW->RecordCount() > 0;
  // The data marts are left unfiltered also when the code is unknown.
  cdsAreaNegDW->SetFilter("");
  if (!known) Reject(mart, "AREA_NCAD");
}

void TfrmEstrutura::CheckFactOnServer(rtl::Variant& table, const std::string& field,
                                      const std::string& name) {
  orb::BusyScope busy(this, orb::kAviSearch, msgPadrao->Msg("GetValida"));
  cdsVdFatos->SetData(Server().GetDimeFatosCheck(table, field, name, "VD_FATO"));
}

// A fact whose field code is the saved one of the row being edited is that
// row itself: renaming a fact only in letter case is no clash.
bool TfrmEstrutura::OtherFactFound() const {
  if (!cdsVdFatos->Active()) return false;
  const std::string self = cdsFatos->FieldByName("CDITEMDW")->OldValue().AsString();
  for (int i = 1; i <= cdsVdFatos->RecordCount(); ++i) {
    db::TClientDataSet::ActiveRecordScope row(*cdsVdFatos, i);
    if (cdsVdFatos->FieldByName("CDITEMDW")->AsString() != self) return true;
  }
  return false;
}

void TfrmEstrutura::vd_fatos() {
  const db::TDataSetState state = dtsFatos->State();
  if (!Editing(state)) return;
  db::TField* item = cdsFatos->FieldByName("CDITEMDW");
  db::TField* name = cdsFatos->FieldByName("NMITEMDW");
  rtl::Variant table(cdsTabelas->FieldByName("CDTABELADW")->AsString());

  if (state == db::TDataSetState::dsInsert) {
    if (!orb::EmptyString(item->AsString())) Normalise(item);
    CheckFactOnServer(table, item->AsString(), name->AsString());
    if (!cdsVdFatos->Active() || cdsVdFatos->IsEmpty()) return;
    // The first fact of the answer decides, by exact comparison.
    cdsVdFatos->First();
    if (cdsVdFatos->FieldByName("CDITEMDW")->AsString() == item->AsString())
      Reject(item, "CP_JCAD");
    if (cdsVdFatos->FieldByName("NMITEMDW")->AsString() == name->AsString())
      Reject(name, "NM_JCAD");
    return;
  }

  // Edit: only what changed is asked about, the name first.
  if (ValueChanged(item)) Normalise(item);
  if (ValueChanged(name) && !orb::EmptyString(name->AsString())) {
    CheckFactOnServer(table, "", name->AsString());
    if (OtherFactFound()) Reject(name, "NM_JCAD");
  }
  if (ValueChanged(item) && !orb::EmptyString(item->AsString())) {
    CheckFactOnServer(table, item->AsString(), "");
    if (OtherFactFound()) Reject(item, "CP_JCAD");
  }
}

void TfrmEstrutura::cdsFatosAfterPost(db::TDataSet*) {
  Save("cdsFatosAfterPost");
}

void TfrmEstrutura::cdsFatosAfterDelete(db::TDataSet*) {
  Save("cdsFatosAfterDelete");
}

// Cancelling also drops earlier posts that failed to save.
void TfrmEstrutura::cdsFatosAfterCancel(db::TDataSet*) {
  cdsFatos->CancelUpdates();
}

}  // namespace qmx00600
