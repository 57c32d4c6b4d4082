// What the fact grid (dbgFatos) adds to plain editing: marking all facts from
// the check column's title, toggling one fact's box, the look-ups behind the
// ellipsis buttons, and the keys and characters the grid treats specially.
#include <optional>

#include "orb/busy.h"
#include "orb/dialogs.h"
#include "rtl/strings.h"
#include "screen/estrutura.h"
#include "screen/lookup_by_filter.h"
#include "vcl/application.h"
#include "vcl/user_interface.h"

namespace qmx00600 {
namespace {

bool Browsing(const db::TClientDataSet* ds) {
  return ds->State() == db::TDataSetState::dsBrowse;
}

bool Empty(const db::TClientDataSet* ds) {
  return !ds->Active() || ds->IsEmpty();
}

bool IsSelected(const vcl::TDBGrid* grid, std::string_view field) {
  const db::TField* f = grid->SelectedField();
  return f != nullptr && f->FieldName() == field;
}

// The hourglass for the scope, the default cursor again on every way out.
class HourGlass {
 public:
  HourGlass() { vcl::Screen().SetCursor(vcl::crHourGlass); }
  ~HourGlass() { vcl::Screen().SetCursor(vcl::crDefault); }
  HourGlass(const HourGlass&) = delete;
  HourGlass& operator=(const HourGlass&) = delete;
};

// Puts `value` into `field` of the current row unless it holds it already,
// starting an edit when the dataset is browsing.
void SetChosen(db::TClientDataSet* ds, std::string_view field, const std::string& value) {
  if (ds->FieldByName(field)->AsString() == value) return;
  if (Browsing(ds)) ds->Edit();
  ds->FieldByName(field)->SetAsString(value);
}

}  // namespace

void TfrmEstrutura::dbgFatosTitleClick(vcl::TColumn* column) {
  HourGlass hourglass;
  if (column == nullptr || column->FieldName() != "IDFATODW" || ReadingOnly()) return;
  // A fact being typed is not part of the facts' data yet: marking all now
  // would replace the list and lose it. Confirm or cancel it first.
  if (cdsFatos->Active() && !Browsing(cdsFatos)) return;
  const std::string mark = flags_.bomarcatodos ? "S" : "N";
  // The working copy has no handlers, so no check of a single fact runs.
  cdsVdFatos->SetData(cdsFatos->Data());
  if (cdsVdFatos->Active()) {
    for (cdsVdFatos->First(); !cdsVdFatos->Eof(); cdsVdFatos->Next()) {
      if (Browsing(cdsVdFatos)) cdsVdFatos->Edit();
      cdsVdFatos->FieldByName("IDFATODW")->SetAsString(mark);
    }
    cdsVdFatos->First();
  }
  // Sent with the current fact table, merged and copied back into cdsFatos.
  Save("dbgFatosTitleClick");
  flags_.bomarcatodos = !flags_.bomarcatodos;
}

void TfrmEstrutura::dbgFatosCellClick(vcl::TColumn*) {
  // The marks are changes, saved at once: not for whoever may only read.
  if (!IsSelected(dbgFatos, "IDFATODW") || ReadingOnly()) return;
  db::TField* mark = cdsFatos->FieldByName("IDFATODW");
  const std::string now = mark->AsString();
  if (now != "S" && now != "N") return;
  const bool inserting = cdsFatos->State() == db::TDataSetState::dsInsert;
  if (!inserting) cdsFatos->Edit();
  mark->SetAsString(now == "N" ? "S" : "N");
  // A saved fact is saved at once; a new one goes with its own post.
  if (!inserting) cdsFatos->Post();
}

// The check column is toggled by clicks, never typed into.
void TfrmEstrutura::dbgFatosColEnter(rtl::TObject*) {
  const vcl::TDBGridOptions options = dbgFatos->Options();
  dbgFatos->SetOptions(IsSelected(dbgFatos, "IDFATODW") ? options & ~vcl::dgEditing
                                                        : options | vcl::dgEditing);
}

void TfrmEstrutura::dbgFatosEditButtonClick(rtl::TObject*) {
  const db::TField* field = dbgFatos->SelectedField();
  if (field == nullptr) return;
  const std::string& name = field->FieldName();
  if (name == "CDAREANEGDW") {
    cdsPesqAreaNegDW->SetFiltered(false);
    std::optional<std::string> chosen;
    try {
      OpenOnCurrentValue(*cdsPesqAreaNegDW, "CDAREANEGDW", cdsFatos->FieldByName(name)->AsString());
      if (orb::Pesquisar(*dtsAreaNegDW, msgPadrao->Msg("AreaNegDW"), false, true))
        chosen = cdsPesqAreaNegDW->FieldByName("CDAREANEGDW")->AsString();
    } catch (...) {
      cdsPesqAreaNegDW->SetFiltered(true);
      throw;
    }
    // Read before: filtering again moves the look-up list to its first row.
    cdsPesqAreaNegDW->SetFiltered(true);
    if (chosen) SetChosen(cdsFatos, "CDAREANEGDW", *chosen);
  } else if (name == "CDITEMDW") {
    orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
    db::TClientDataSet* list = dbnPadrao->DataSource() == dtsPadrao ? cdsTabelas : cdsTabelaDrill;
    rtl::Variant table(list->FieldByName("CDTABELADW")->AsString());
    cdsFields->SetData(Server().GetFields("F", table));
    busy.Release();
    if (Empty(cdsFields)) orb::MensErro(msgPadrao->Msg("N_FATOS"), true);
    OpenOnCurrentValue(*cdsFields, "CDFIELD", cdsFatos->FieldByName(name)->AsString());
    if (orb::Pesquisar(*dtsFields, msgPadrao->Msg("FIELDS"), false, true))
      SetChosen(cdsFatos, "CDITEMDW", cdsFields->FieldByName("CDFIELD")->AsString());
  } else if (name == "CDTABDRILL") {
    orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
    cdsTabDrill->SetData(Server().GetTabelasAll(true));
    busy.Release();
    if (Empty(cdsTabDrill)) orb::MensErro(msgPadrao->Msg("N_DRILL"), true);
    OpenOnCurrentValue(*cdsTabDrill, "CDTABELADW", cdsFatos->FieldByName(name)->AsString());
    if (orb::Pesquisar(*dtsTabDrill, msgPadrao->Msg("DRILL"), false, true))
      SetChosen(cdsFatos, "CDTABDRILL", cdsTabDrill->FieldByName("CDTABELADW")->AsString());
  } else {
    return;
  }
  dbgFatos->Refresh();
}

void TfrmEstrutura::dbgFatosKeyDown(rtl::TObject*, uint16_t& key, vcl::TShiftState shift) {
  if (key == vcl::VK_DELETE && IsSelected(dbgFatos, "IDTPFATODW")) key = 0;
  if (key != vcl::VK_SPACE) return;
  if (shift & vcl::ssCtrl) dbgFatosTitleClick(dbgFatos->Columns()[0]);
  if (shift & vcl::ssShift) dbgFatosCellClick(dbgFatos->Columns()[dbgFatos->SelectedIndex()]);
}

void TfrmEstrutura::dbgFatosKeyPress(rtl::TObject*, char& key) {
  // The type is chosen from its pick list only.
  if (IsSelected(dbgFatos, "IDTPFATODW") && key != '\t') key = '\0';
  if (IsSelected(dbgFatos, "CDTABDRILL")) key = rtl::UpCase(key);
}

// The grid may be entered on the check column, which is then as good as
// entered: no editor opens there.
void TfrmEstrutura::dbgFatosEnter(rtl::TObject*) {
  dtsFatosStateChange(dtsFatos);
  dbgFatosColEnter(dbgFatos);
}

}  // namespace qmx00600
