// The dimension grid's interaction on the side it shows (the fact table's
// dimensions or the drill table's): the look-ups of a column and of a
// dimension number, the checks on leaving a column, the key filter, and the
// screen state when the grid is entered.
#include "orb/busy.h"
#include "orb/dialogs.h"
#include "orb/text.h"
#include "rtl/strings.h"
#include "screen/estrutura.h"
#include "screen/lookup_by_filter.h"

namespace qmx00600 {
namespace {

// Puts `ds` into edit state when it is browsed and gives `field` `value`.
void Take(db::TClientDataSet* ds, db::TField* field, const std::string& value) {
  if (ds->State() == db::TDataSetState::dsBrowse) ds->Edit();
  field->SetAsString(value);
}

// The catalogue copy of the look-up filters again however the dialog ends.
class UnfilteredWhileOpen {
 public:
  explicit UnfilteredWhileOpen(db::TClientDataSet* ds) : ds_(ds) { ds_->SetFiltered(false); }
  ~UnfilteredWhileOpen() { ds_->SetFiltered(true); }
  UnfilteredWhileOpen(const UnfilteredWhileOpen&) = delete;
  UnfilteredWhileOpen& operator=(const UnfilteredWhileOpen&) = delete;

 private:
  db::TClientDataSet* ds_;
};

}  // namespace

void TfrmEstrutura::dbgDimensoesEditButtonClick(rtl::TObject*) {
  db::TField* selected = dbgDimensoes->SelectedField();
  if (selected == nullptr) return;

  auto pick_number = [this](db::TClientDataSet* ds) {
    db::TField* number = ds->FieldByName("NRSEQUEDIME");
    UnfilteredWhileOpen all(cdsPesqDimeDime);
    OpenOnCurrentValue(*cdsPesqDimeDime, "NRSEQUEDIME", number->AsString());
    if (!orb::Pesquisar(*dtsDimeDime, msgPadrao->Msg("DimeDime"), false, true)) return;
    const std::string chosen = cdsPesqDimeDime->FieldByName("NRSEQUEDIME")->AsString();
    if (chosen != number->AsString()) Take(ds, number, chosen);
  };
  // The columns of `table`'s current row still free to become dimensions.
  auto pick_column = [this](db::TClientDataSet* table, db::TClientDataSet* ds,
                            std::string_view field_name) {
    db::TField* column = ds->FieldByName(field_name);
    {
      orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
      rtl::Variant code(table->FieldByName("CDTABELADW")->AsString());
      cdsFields->SetData(Server().GetFields("D", code));
    }
    if (!cdsFields->Active() || cdsFields->IsEmpty()) orb::MensErro(msgPadrao->Msg("N_DIME"), true);
    OpenOnCurrentValue(*cdsFields, "CDFIELD", column->AsString());
    if (!orb::Pesquisar(*dtsFields, msgPadrao->Msg("FIELDS"), false, true)) return;
    const std::string chosen = cdsFields->FieldByName("CDFIELD")->AsString();
    if (chosen != column->AsString()) Take(ds, column, chosen);
  };

  if (selected == cdsDime->FieldByName("NRSEQUEDIME"))
    pick_number(cdsDime);
  else if (selected == cdsDimeDrill->FieldByName("NRSEQUEDIME"))
    pick_number(cdsDimeDrill);
  else if (selected == cdsDime->FieldByName("CDITEMDIME"))
    pick_column(cdsTabelas, cdsDime, "CDITEMDIME");
  else if (selected == cdsDimeDrill->FieldByName("CDDIMEDRILL"))
    pick_column(cdsTabelaDrill, cdsDimeDrill, "CDDIMEDRILL");
}

void TfrmEstrutura::dbgDimensoesColExit(rtl::TObject*) {
  const db::TField* selected = dbgDimensoes->SelectedField();
  if (selected == nullptr) return;
  const std::string& name = selected->FieldName();
  if (name == "CDITEMDIME") {
    if (!orb::EmptyString(cdsDime->FieldByName("CDITEMDIME")->AsString())) VD_Dime();
  } else if (name == "CDDIMEDRILL") {
    vd_dimeDrill(cdsDimeDrill->FieldByName("CDDIMEDRILL"), false);
  } else if (name == "NRSEQUEDIME") {
    if (dbgDimensoes->DataSource() == dtsDime) {
      db::TField* number = cdsDime->FieldByName("NRSEQUEDIME");
      if (!orb::EmptyString(number->AsString())) VD_DimeDime(number);
    } else {
      db::TField* number = cdsDimeDrill->FieldByName("NRSEQUEDIME");
      vd_dimeDrill(number, false);
      if (!orb::EmptyString(number->AsString())) VD_DimeDime(number);
    }
  }
}

void TfrmEstrutura::dbgDimensoesKeyPress(rtl::TObject*, char& key) {
  const db::TField* selected = dbgDimensoes->SelectedField();
  if (selected == nullptr) return;
  const std::string& name = selected->FieldName();
  if (name == "CDDIMEDRILL") {
    key = rtl::UpCase(key);
  } else if (name == "NRSEQUEDIME") {
    const bool passes = key == '\b' || key == '\t' || (key >= '0' && key <= '9');
    if (!passes) key = '\0';
  }
}

void TfrmEstrutura::dbgDimensoesEnter(rtl::TObject*) {
  if (dbgDimensoes->DataSource() == dtsDime)
    dtsDimeStateChange(dtsDime);
  else
    dtsDimeDrillStateChange(dtsDimeDrill);
}

}  // namespace qmx00600
