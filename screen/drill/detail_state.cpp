// Screen state of the facts and dimensions of a drill table, as for those of
// a fact table: defaults of a new row, the commands, and the lock of page 1
// and of the other panel while a row is edited.
#include "screen/estrutura.h"

namespace qmx00600 {
namespace {

db::TDataSource* SourceOr(rtl::TObject* sender, db::TDataSource* fallback) {
  auto* source = dynamic_cast<db::TDataSource*>(sender);
  return source != nullptr ? source : fallback;
}

}  // namespace

void TfrmEstrutura::dtsFatosDrillStateChange(rtl::TObject* sender) {
  if (!flags_.bodados || !flags_.bofatos) return;
  if (dtsFatosDrill->State() == db::TDataSetState::dsInsert) {
    cdsFatosDrill->FieldByName("CDTABDRILL")
        ->SetAsString(cdsTabelaDrill->FieldByName("CDTABELADW")->AsString());
    cdsFatosDrill->FieldByName("IDTPFATODRILL")->SetAsString("M");
  }
  controlaBotoes(SourceOr(sender, dtsFatosDrill));
  const bool browse = dtsFatosDrill->State() == db::TDataSetState::dsBrowse;
  tshPadrao->SetEnabled(browse);
  pnlDImensoes->SetEnabled(browse);
}

void TfrmEstrutura::dtsDimeDrillStateChange(rtl::TObject* sender) {
  if (!flags_.bodados || flags_.bofatos) return;
  if (dtsDimeDrill->State() == db::TDataSetState::dsInsert)
    cdsDimeDrill->FieldByName("CDTABDRILL")
        ->SetAsString(cdsTabelaDrill->FieldByName("CDTABELADW")->AsString());
  controlaBotoes(SourceOr(sender, dtsDimeDrill));
  const bool browse = dtsDimeDrill->State() == db::TDataSetState::dsBrowse;
  tshPadrao->SetEnabled(browse);
  pnlFatos->SetEnabled(browse);
}

}  // namespace qmx00600
