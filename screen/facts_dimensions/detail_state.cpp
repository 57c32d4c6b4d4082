// Screen state of the facts and dimensions of a fact table: defaults of a
// new row, the commands, and the lock of page 1 and of the other panel while
// a row is edited. They act only while page 2 and their own panel are active.
#include <utility>

#include "screen/estrutura.h"
#include "screen/row_values.h"

namespace qmx00600 {

void TfrmEstrutura::dtsFatosStateChange(rtl::TObject* sender) {
  if (!flags_.bodados || !flags_.bofatos) return;
  if (TakeTableCode(dtsFatos, "CDTABELADW", cdsTabelas)) {
    // The handler runs again during the insert (the grid entered again, a
    // save of the screen state): a mark or type already chosen stays.
    for (const auto& [field, initial] : {std::pair{"IDFATODW", "S"}, std::pair{"IDTPFATODW", "M"}})
      if (cdsFatos->FieldByName(field)->AsString().empty())
        cdsFatos->FieldByName(field)->SetAsString(initial);
  }
  DetailStateChanged(sender, dtsFatos, pnlDImensoes);
}

void TfrmEstrutura::dtsDimeStateChange(rtl::TObject* sender) {
  if (!flags_.bodados || flags_.bofatos) return;
  TakeTableCode(dtsDime, "CDTABELADW", cdsTabelas);
  DetailStateChanged(sender, dtsDime, pnlFatos);
}

void TfrmEstrutura::DetailStateChanged(rtl::TObject* sender, db::TDataSource* own,
                                       vcl::TPanel* other_panel) {
  auto* source = dynamic_cast<db::TDataSource*>(sender);
  controlaBotoes(source != nullptr ? source : own);
  const bool browse = own->State() == db::TDataSetState::dsBrowse;
  tshPadrao->SetEnabled(browse);
  other_panel->SetEnabled(browse);
}

}  // namespace qmx00600
