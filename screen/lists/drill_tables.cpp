// The drill-table list (cdsTabelaDrill, shown by dbgTabelaDrill): making it
// the current list, its column rules, saving its rows, and loading the
// current drill table's facts and dimensions.
#include "orb/busy.h"
#include "orb/text.h"
#include "screen/estrutura.h"
#include "screen/kept_row.h"

namespace qmx00600 {

void TfrmEstrutura::dbgTabelaDrillEnter(rtl::TObject*) {
  dbnPadrao->SetDataSource(nullptr);
  dbnPadrao->SetDataSource(dtsTabelaDrill);
  dbtNome->SetDataSource(nullptr);
  dbtNome->SetDataSource(dtsTabelaDrill);
  dtsTabelaDrillStateChange(dtsTabelaDrill);
  cdsTabelaDrillAfterScroll(cdsTabelaDrill);
  dbgTabelaDrillColEnter(dbgTabelaDrill);
}

void TfrmEstrutura::dbgTabelaDrillColEnter(rtl::TObject*) {
  const vcl::TDBGridOptions editing = dbgTabelaDrill->Options() | vcl::dgEditing;
  dbgTabelaDrill->SetOptions(editing);
  const db::TField* field = dbgTabelaDrill->SelectedField();
  if (field != nullptr && field->FieldName() == "CDTABELADW" &&
      cdsTabelaDrill->State() != db::TDataSetState::dsInsert)
    dbgTabelaDrill->SetOptions(editing & ~vcl::dgEditing);
}

// Validates the code of the current list when its column is left.
void TfrmEstrutura::dbgTabelaDrillColExit(rtl::TObject*) {
  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  const bool facts_current = dbnPadrao->DataSource() == dtsPadrao;
  vcl::TDBGrid* grid = facts_current ? dbgTabelaFatos : dbgTabelaDrill;
  db::TClientDataSet* list = facts_current ? cdsTabelas : cdsTabelaDrill;
  const db::TField* field = grid->SelectedField();
  if (field != nullptr && field->FieldName() == "CDTABELADW" &&
      !orb::EmptyString(list->FieldByName("CDTABELADW")->AsString()))
    VD_TABELA(false);
}

void TfrmEstrutura::cdsTabelaDrillBeforePost(db::TDataSet*) {
  VD_TABELA(true);
  cdsTabelaDrill->FieldByName("IDDRILLDOWN")->SetAsString("S");
}

void TfrmEstrutura::cdsTabelaDrillAfterPost(db::TDataSet*) {
  Save("cdsTabelaDrillAfterPost");
}

// A deletion the server refuses is undone (see its save member), so it
// cannot ride along with the next change of the list.
void TfrmEstrutura::cdsTabelaDrillAfterDelete(db::TDataSet*) {
  Save("cdsTabelaDrillAfterDelete");
}

void TfrmEstrutura::cdsTabelaDrillAfterScroll(db::TDataSet*) {
  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  rtl::Variant facts, dimensions;
  const std::string table = cdsTabelaDrill->FieldByName("CDTABELADW")->AsString();
  // Read again for the same table (a check, a save), the lists keep their rows.
  KeptRow kept_dime(*cdsDimeDrill, "CDTABDRILL;CDDIMEDRILL", "CDTABDRILL");
  KeptRow kept_fact(*cdsFatosDrill, "CDTABDRILL;CDITEMDRILL", "CDTABDRILL");
  Server().GetDimeFatosDrill(table, facts, dimensions);
  cdsDimeDrill->SetData(dimensions);
  cdsFatosDrill->SetData(facts);
  kept_dime.Restore(table);
  kept_fact.Restore(table);
  optaCDSDime();
}

void TfrmEstrutura::dtsTabelaDrillStateChange(rtl::TObject*) {
  controlaBotoes(dtsTabelaDrill);
  const bool browse = dtsTabelaDrill->State() == db::TDataSetState::dsBrowse;
  tshDados->SetEnabled(browse && cdsTabelaDrill->RecordCount() > 0);
  PanTopFatos->SetEnabled(browse);
  dbgTabelaDrillColEnter(dbgTabelaDrill);
}

}  // namespace qmx00600
