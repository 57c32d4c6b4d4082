// vd_incluirFatos: before a dimension row of either side is posted, the
// server names the tables whose drill link the row would upset, and the
// person decides whether the row goes in and those links go.
#include <memory>

#include "orb/busy.h"
#include "orb/text.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "screen/estrutura.h"

namespace qmx00600 {
namespace {

bool Editing(const db::TClientDataSet* ds) {
  const db::TDataSetState state = ds->State();
  return state == db::TDataSetState::dsEdit || state == db::TDataSetState::dsInsert;
}

// Exactly as typed, letter case included.
bool ValueChanged(const db::TField* field) {
  return !(field->OldValue() == field->NewValue());
}

// TABELAS of the answer, or "" when the answer named no table (also when
// it was no packet at all, as for an error text the screen does not know).
std::string AffectedTables(const db::TClientDataSet& answer) {
  if (!answer.Active() || answer.IsEmpty() || answer.FindField("TABELAS") == nullptr) return {};
  return answer.FieldByName("TABELAS")->AsString();
}

}  // namespace

void TfrmEstrutura::vd_incluirFatos() {
  const bool drill_side = Editing(cdsDimeDrill);
  if (!drill_side && !Editing(cdsDime)) return;

  orb::BusyScope busy(this, orb::kAviTransfer);
  // Scratch copy of the answer, released on every path.
  auto answer = std::make_unique<db::TClientDataSet>(this);
  auto text = [](db::TClientDataSet* ds, std::string_view field) {
    return ds->FieldByName(field)->AsString();
  };
  bool asked = false;
  if (drill_side) {
    const std::string drill = text(cdsTabelaDrill, "CDTABELADW");
    const std::string number = text(cdsDimeDrill, "NRSEQUEDIME");
    if (cdsDimeDrill->State() == db::TDataSetState::dsInsert) {
      answer->SetData(Server().getVdDrill(drill, number, "", number));
      asked = true;
    } else if (ValueChanged(cdsDimeDrill->FieldByName("CDDIMEDRILL")) ||
               ValueChanged(cdsDimeDrill->FieldByName("NRSEQUEDIME"))) {
      answer->SetData(Server().getVdDrill(drill, "", number, number));
      asked = true;
    }
  } else if (cdsDime->State() == db::TDataSetState::dsInsert ||
             ValueChanged(cdsDime->FieldByName("CDITEMDIME"))) {
    // A changed number alone was put to the person by VD_Dime already.
    answer->SetData(
        Server().getVdDrill("", text(cdsTabelas, "CDTABELADW"), "", text(cdsDime, "NRSEQUEDIME")));
    asked = true;
  }
  busy.Release();
  if (!asked) return;

  const std::string tables = AffectedTables(*answer);
  if (orb::EmptyString(tables)) return;
  const std::string owner =
      drill_side ? text(cdsTabelaDrill, "CDTABELADW") : text(cdsDime, "CDTABELADW");
  const char* key = tables.find(',') != std::string::npos ? "MAIS_DIME_P" : "MAIS_DIME_S";
  if (!AskWarning(rtl::Format(msgPadrao->Msg(key), {owner, tables}))) {
    answer.reset();
    if (drill_side) {
      cdsDimeDrill->Cancel();
      cdsTabelaDrillAfterScroll(cdsTabelaDrill);
    } else {
      cdsDime->Cancel();
      cdsTabelasAfterScroll(cdsTabelas);
    }
    rtl::Abort();
  }

  orb::BusyScope dropping(this, orb::kAviTransfer);
  if (drill_side) {
    // The drill table's own code, as the drill dimension's check sends it:
    // "$$" with the fact table current in the other list would drop links of
    // a table that has nothing to do with this row.
    Server().setDelDrillDw(answer->Data(), owner);
  } else {
    rtl::Variant fact_key("$$" + owner);
    Server().setDelDrillDw(answer->Data(), fact_key);
  }
}

}  // namespace qmx00600
