// The fact-table list (cdsTabelas, shown by dbgTabelaFatos): making it the
// current list, its column rules, saving its rows, and loading the current
// table's facts and dimensions.
#include <utility>

#include "orb/busy.h"
#include "orb/text.h"
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::dbgTabelaFatosEnter(rtl::TObject*) {
  // Detaching first makes both controls re-read the data source.
  dbnPadrao->SetDataSource(nullptr);
  dbnPadrao->SetDataSource(dtsPadrao);
  dbtNome->SetDataSource(nullptr);
  dbtNome->SetDataSource(dtsPadrao);
  dtsPadraoStateChange(dtsPadrao);
  if (!std::exchange(details_fresh_from_load_, false)) cdsTabelasAfterScroll(cdsTabelas);
  dbgTabelaFatosColEnter(dbgTabelaFatos);
}

// The code can be typed only into a new row; the name always.
void TfrmEstrutura::dbgTabelaFatosColEnter(rtl::TObject*) {
  const vcl::TDBGridOptions editing = dbgTabelaFatos->Options() | vcl::dgEditing;
  dbgTabelaFatos->SetOptions(editing);
  const db::TField* field = dbgTabelaFatos->SelectedField();
  if (field != nullptr && field->FieldName() == "CDTABELADW" &&
      cdsTabelas->State() != db::TDataSetState::dsInsert)
    dbgTabelaFatos->SetOptions(editing & ~vcl::dgEditing);
}

void TfrmEstrutura::dbgTabelaFatosColExit(rtl::TObject*) {
  const db::TField* field = dbgTabelaFatos->SelectedField();
  if (field != nullptr && field->FieldName() == "CDTABELADW" &&
      !orb::EmptyString(cdsTabelas->FieldByName("CDTABELADW")->AsString()))
    VD_TABELA(false);
}

void TfrmEstrutura::cdsTabelasBeforePost(db::TDataSet*) {
  VD_TABELA(true);
  cdsTabelas->FieldByName("IDDRILLDOWN")->SetAsString("N");
}

// Also bound to cdsVdTabela: it always saves cdsTabelas.
void TfrmEstrutura::cdsTabelasAfterPost(db::TDataSet*) {
  Save("cdsTabelasAfterPost");
}

void TfrmEstrutura::cdsTabelasAfterDelete(db::TDataSet*) {
  Save("cdsTabelasAfterDelete");
}

// Cancelling also drops anything still pending in the list (a refused post
// is handed back rather than left pending, so normally there is nothing).
void TfrmEstrutura::cdsTabelasAfterCancel(db::TDataSet*) {
  cdsTabelas->CancelUpdates();
}

// Also bound to cdsVdTabela: it always reads the current row of cdsTabelas.
void TfrmEstrutura::cdsTabelasAfterScroll(db::TDataSet*) {
  details_fresh_from_load_ = false;
  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  rtl::Variant dimensions, facts;
  Server().GetDimeFatos(cdsTabelas->FieldByName("CDTABELADW")->AsString(), dimensions, facts);
  cdsDime->SetData(dimensions);
  cdsFatos->SetData(facts);
  optaCDSDime();
}

void TfrmEstrutura::dtsPadraoStateChange(rtl::TObject* sender) {
  // dtsPadrao reports its state while the constructor is still building the
  // screen's own components; until then the base's rule is all there is.
  if (!built_) {
    frm::TfrmPadraoGrid::dtsPadraoStateChange(sender);
    return;
  }
  controlaBotoes(dtsPadrao);
  const bool browse = dtsPadrao->State() == db::TDataSetState::dsBrowse;
  tshDados->SetEnabled(browse && cdsTabelas->RecordCount() > 0);
  panClientFatos->SetEnabled(browse);
  dbgTabelaFatosColEnter(dbgTabelaFatos);
}

}  // namespace qmx00600
