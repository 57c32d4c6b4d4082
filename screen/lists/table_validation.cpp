// VD_TABELA: validation of the row being edited in the current list of
// tables, with one branch per list. The branches differ on purpose: see each.
#include "orb/busy.h"
#include "orb/dialogs.h"
#include "orb/text.h"
#include "rtl/exceptions.h"
#include "screen/estrutura.h"
#include "screen/row_values.h"

namespace qmx00600 {
namespace {

// Of the server's answer about a code (GetTabelas, in `answer`), the message
// key that refuses the code: `fact_key` when a fact table (IDDRILLDOWN "N")
// has it, `drill_key` when a drill table ("S") does; empty when it is free.
std::string_view TakenCodeKey(db::TClientDataSet& answer, std::string_view fact_key,
                              std::string_view drill_key) {
  if (!answer.Active() || answer.IsEmpty()) return {};
  const std::string kind = answer.FieldByName("IDDRILLDOWN")->AsString();
  if (kind == "N") return fact_key;
  if (kind == "S") return drill_key;
  return {};
}

}  // namespace

void TfrmEstrutura::Reject(db::TField* field, std::string_view key) {
  if (field != nullptr) field->FocusControl();
  orb::MensErro(msgPadrao->Msg(key), true);
  rtl::Abort();  // MensErro with abort never returns; this keeps [[noreturn]] honest
}

void TfrmEstrutura::VD_TABELA(bool checkRequired) {
  if (dbnPadrao->DataSource() == dtsPadrao)
    ValidateFactTable(checkRequired);
  else
    ValidateDrillTable(checkRequired);
}

void TfrmEstrutura::ValidateFactTable(bool checkRequired) {
  if (!Editing(dtsPadrao->State())) return;
  db::TField* code = cdsTabelas->FieldByName("CDTABELADW");
  db::TField* name = cdsTabelas->FieldByName("NMTABELADW");
  if (checkRequired) {
    if (orb::EmptyString(code->AsString())) Reject(code, "CD_DEVE");
    if (orb::EmptyString(name->AsString())) Reject(name, "NM_DEVE");
  }
  if (ValueChanged(code)) code->SetAsString(StoredCode(code->AsString()));

  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetValida"));
  rtl::Variant value(code->AsString());
  if (cdsTabelaDrill->Active() &&
      cdsTabelaDrill->Locate("CDTABELADW", value, db::loCaseInsensitive))
    Reject(nullptr, "CD_JCAD_DRILL");

  // A table that has facts or dimensions keeps its code: they are stored
  // under it. Its name may change, and so may the letter case or blanks of
  // its code, which normalise back to the same code. The details loaded are
  // those of the code as last saved, so that is the code they are looked up by.
  if (cdsTabelas->State() == db::TDataSetState::dsEdit && ValueChanged(code)) {
    const rtl::Variant saved_code = code->OldValue();
    if (cdsFatos->Active() && cdsFatos->Locate("CDTABELADW", saved_code, db::loCaseInsensitive))
      Reject(nullptr, "UPD_TAB_C_FATO");
    if (cdsDime->Active() && cdsDime->Locate("CDTABELADW", saved_code, db::loCaseInsensitive))
      Reject(nullptr, "UPD_TAB_C_DIME");
  }

  cdsVdTabela->SetData(Server().GetTabelas(value, false));
  busy.Release();
  const std::string_view taken = TakenCodeKey(*cdsVdTabela, "CD_JCAD", "CD_JCAD_DRILL");
  const bool counts = cdsTabelas->State() == db::TDataSetState::dsInsert || ValueChanged(code);
  if (!taken.empty() && counts) Reject(code, taken);
}

// Unlike the fact branch, the look-ups use the code as it was read before
// the normalisation; the server normalises what it is asked itself.
void TfrmEstrutura::ValidateDrillTable(bool checkRequired) {
  db::TField* code = cdsTabelaDrill->FieldByName("CDTABELADW");
  db::TField* name = cdsTabelaDrill->FieldByName("NMTABELADW");
  const std::string typed = code->AsString();
  if (!Editing(cdsTabelaDrill->State())) return;
  if (checkRequired) {
    if (orb::EmptyString(typed)) Reject(code, "CD_DEVE");
    if (orb::EmptyString(name->AsString())) Reject(name, "NM_DEVE");
  }
  if (ValueChanged(code)) code->SetAsString(StoredCode(typed));

  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetValida"));
  if (cdsTabelas->Active() &&
      cdsTabelas->Locate("CDTABELADW", rtl::Variant(typed), db::loCaseInsensitive))
    Reject(nullptr, "CD_JCAD_FATO");
  rtl::Variant value(typed);
  cdsVdTabela->SetData(Server().GetTabelas(value, true));
  busy.Release();
  const std::string_view taken = TakenCodeKey(*cdsVdTabela, "CD_JCAD_FATO", "CD_JCAD");
  const bool counts = cdsTabelaDrill->State() == db::TDataSetState::dsInsert || ValueChanged(code);
  if (!taken.empty() && counts) Reject(code, taken);
}

}  // namespace qmx00600
