// Screen state of the facts and dimensions of a drill table, as for those of
// a fact table: defaults of a new row, the commands, and the lock of page 1
// and of the other panel while a row is edited.
#include "screen/estrutura.h"
#include "screen/row_values.h"

namespace qmx00600 {

void TfrmEstrutura::dtsFatosDrillStateChange(rtl::TObject* sender) {
  if (!flags_.bodados || !flags_.bofatos) return;
  if (TakeTableCode(dtsFatosDrill, "CDTABDRILL", cdsTabelaDrill))
    cdsFatosDrill->FieldByName("IDTPFATODRILL")->SetAsString("M");
  DetailStateChanged(sender, dtsFatosDrill, pnlDImensoes);
}

void TfrmEstrutura::dtsDimeDrillStateChange(rtl::TObject* sender) {
  if (!flags_.bodados || flags_.bofatos) return;
  TakeTableCode(dtsDimeDrill, "CDTABDRILL", cdsTabelaDrill);
  DetailStateChanged(sender, dtsDimeDrill, pnlFatos);
}

}  // namespace qmx00600
