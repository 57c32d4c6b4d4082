// "Verificar": reloads what the active page shows of the current list.
#include "orb/busy.h"
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::sbtVerificarClick(rtl::TObject*) {
  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  const bool facts_current = dbnPadrao->DataSource() == dtsPadrao;
  vcl::TTabSheet* page = pgcPadrao->ActivePage();
  if (page == tshPadrao) {
    rtl::Variant code{std::string()};
    if (facts_current)
      cdsTabelas->SetData(Server().GetTabelas(code, false));
    else
      cdsTabelaDrill->SetData(Server().GetTabelas(code, true));
  } else if (page == tshDados) {
    if (facts_current)
      cdsTabelasAfterScroll(cdsTabelas);
    else
      cdsTabelaDrillAfterScroll(cdsTabelaDrill);
  }
}

}  // namespace qmx00600
