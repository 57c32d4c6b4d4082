// The drill-table list (cdsTabelaDrill, shown by dbgTabelaDrill): saving its
// rows and loading the current drill table's facts and dimensions.
#include "orb/busy.h"
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::cdsTabelaDrillAfterPost(db::TDataSet*) {
  Save("cdsTabelaDrillAfterPost");
}

void TfrmEstrutura::cdsTabelaDrillAfterDelete(db::TDataSet*) {
  Save("cdsTabelaDrillAfterDelete");
}

void TfrmEstrutura::cdsTabelaDrillAfterScroll(db::TDataSet*) {
  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  rtl::Variant facts, dimensions;
  Server().GetDimeFatosDrill(cdsTabelaDrill->FieldByName("CDTABELADW")->AsString(), facts,
                             dimensions);
  cdsDimeDrill->SetData(dimensions);
  cdsFatosDrill->SetData(facts);
  optaCDSDime();
}

}  // namespace qmx00600
