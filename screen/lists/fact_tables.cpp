// The fact-table list (cdsTabelas, shown by dbgTabelaFatos): saving its rows
// and loading the current table's facts and dimensions.
#include "orb/busy.h"
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::RegisterListHandlers() {
  auto dataset = [this](void (TfrmEstrutura::*h)(db::TDataSet*)) {
    return [this, h](db::TDataSet* ds) { (this->*h)(ds); };
  };
  handlers_.dataset["cdsTabelasAfterPost"] = dataset(&TfrmEstrutura::cdsTabelasAfterPost);
  handlers_.dataset["cdsTabelasAfterDelete"] = dataset(&TfrmEstrutura::cdsTabelasAfterDelete);
  handlers_.dataset["cdsTabelasAfterScroll"] = dataset(&TfrmEstrutura::cdsTabelasAfterScroll);
  handlers_.dataset["cdsTabelaDrillAfterPost"] = dataset(&TfrmEstrutura::cdsTabelaDrillAfterPost);
  handlers_.dataset["cdsTabelaDrillAfterDelete"] =
      dataset(&TfrmEstrutura::cdsTabelaDrillAfterDelete);
  handlers_.dataset["cdsTabelaDrillAfterScroll"] =
      dataset(&TfrmEstrutura::cdsTabelaDrillAfterScroll);
}

// Also bound to cdsVdTabela: it always saves cdsTabelas.
void TfrmEstrutura::cdsTabelasAfterPost(db::TDataSet*) {
  Save("cdsTabelasAfterPost");
}

void TfrmEstrutura::cdsTabelasAfterDelete(db::TDataSet*) {
  Save("cdsTabelasAfterDelete");
}

// Also bound to cdsVdTabela: it always reads the current row of cdsTabelas.
void TfrmEstrutura::cdsTabelasAfterScroll(db::TDataSet*) {
  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  rtl::Variant dimensions, facts;
  Server().GetDimeFatos(cdsTabelas->FieldByName("CDTABELADW")->AsString(), dimensions, facts);
  cdsDime->SetData(dimensions);
  cdsFatos->SetData(facts);
  optaCDSDime();
}

}  // namespace qmx00600
