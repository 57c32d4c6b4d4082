// "Verificar": reloads what the active page shows of the current list, the
// person staying on the row they were on (see KeptRow).
#include "orb/busy.h"
#include "screen/estrutura.h"
#include "screen/kept_row.h"

namespace qmx00600 {

void TfrmEstrutura::sbtVerificarClick(rtl::TObject*) {
  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  const bool facts_current = dbnPadrao->DataSource() == dtsPadrao;
  vcl::TTabSheet* page = pgcPadrao->ActivePage();
  if (page == tshPadrao) {
    rtl::Variant code{std::string()};
    db::TClientDataSet* list = facts_current ? cdsTabelas : cdsTabelaDrill;
    KeptRow kept(*list, "CDTABELADW");
    list->SetData(Server().GetTabelas(code, !facts_current));
    kept.Restore();
  } else if (page == tshDados) {
    if (facts_current)
      cdsTabelasAfterScroll(cdsTabelas);
    else
      cdsTabelaDrillAfterScroll(cdsTabelaDrill);
  }
}

}  // namespace qmx00600
