// vd_drillDown: the drill table of a fact (false), and the question before a
// dimension of a drill table is deleted (true).
#include <memory>

#include "orb/busy.h"
#include "orb/text.h"
#include "rtl/format.h"
#include "screen/estrutura.h"
#include "screen/row_values.h"

namespace qmx00600 {
namespace {

// The field's value in the current row, or "" when the list has no rows.
std::string CurrentValue(const db::TClientDataSet* ds, std::string_view field) {
  if (!ds->Active() || ds->IsEmpty()) return {};
  return ds->FieldByName(field)->AsString();
}

}  // namespace

bool TfrmEstrutura::vd_drillDown(bool deleting) {
  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  if (!deleting) {
    // Only a row being edited is checked (a new row may be the only one, so
    // the fields are read directly, not as "the current row" of a list).
    if (!Editing(cdsFatos)) return false;
    const db::TField* link = cdsFatos->FieldByName("CDTABDRILL");
    // A link kept as loaded was consistent then, and the server checks every
    // saved link again: asking now would judge a row that may have changed
    // meanwhile by values the person cannot see, before the save's own check
    // could say it changed.
    if (cdsFatos->State() == db::TDataSetState::dsEdit && !ValueChanged(link)) return false;
    const std::string drill = link->AsString();
    if (!orb::EmptyString(drill))
      Server().getVdDrill(drill, cdsFatos->FieldByName("CDTABELADW")->AsString(), "", "");
    return false;
  }

  const std::string drill_table = CurrentValue(cdsTabelaDrill, "CDTABELADW");
  const rtl::Variant answer = Server().getVdDrill(drill_table, CurrentValue(cdsDime, "CDTABELADW"),
                                                  CurrentValue(cdsDimeDrill, "NRSEQUEDIME"), "");
  // Scratch copy of the answer, released on every path.
  auto affected = std::make_unique<db::TClientDataSet>(this);
  affected->SetData(answer);
  busy.Release();
  const std::string tables = AffectedTables(*affected);
  if (orb::EmptyString(tables)) return ConfirmDelete();

  const char* key = tables.find(',') != std::string::npos ? "INCONSIST_P" : "INCONSIST_S";
  if (!AskWarning(rtl::Format(msgPadrao->Msg(key), {tables}))) return false;
  orb::BusyScope dropping(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  Server().getVdDelDrill(drill_table, false, AnswerVersion(*affected));
  return true;
}

}  // namespace qmx00600
