// The toolbar commands, each acting on the list the user is working in (the
// target list). Each command checks the state it needs first and does
// nothing in any other, so a click the screen state should have prevented
// changes nothing.
#include "orb/dialogs.h"
#include "orb/grids.h"
#include "screen/estrutura.h"
#include "screen/row_values.h"

namespace qmx00600 {
namespace {

using db::TDataSetState;

bool Browsing(const db::TClientDataSet* ds) {
  return ds->State() == TDataSetState::dsBrowse;
}

// Fields are marked for the insert and edit focus by an odd tag.
int FirstMarkedField(const db::TClientDataSet* ds) {
  for (int i = 0; i < ds->FieldCount(); ++i)
    if (ds->Fields(i)->Tag() % 2 != 0) return i;
  return -1;
}

// The field of the first column after `field`'s that `grid` lets the person
// type into; nullptr when there is none.
db::TField* NextEditableColumnField(const vcl::TDBGrid* grid, const db::TField* field) {
  const vcl::TDBGridColumns& columns = grid->Columns();
  bool after = false;
  for (int i = 0; i < columns.Count(); ++i) {
    const vcl::TColumn* column = columns[i];
    if (after && column->Visible() && !column->ReadOnly() && column->Field() != nullptr)
      return column->Field();
    after = after || column->Field() == field;
  }
  return nullptr;
}

}  // namespace

TfrmEstrutura::CommandTarget TfrmEstrutura::TargetList() const {
  CommandTarget t;
  vcl::TTabSheet* page = pgcPadrao->ActivePage();
  if (page == tshPadrao) {
    const bool facts = dbnPadrao->DataSource() == dtsPadrao;
    t.source = facts ? dtsPadrao : dtsTabelaDrill;
    t.delete_kind = facts ? "" : "DRILL";
  } else if (page == tshDados && flags_.bofatos) {
    const bool facts = dbgFatos->Enabled();
    t.source = facts ? dtsFatos : dtsFatosDrill;
    t.delete_kind = facts ? "FATOS" : "FATOS_DRILL";
  } else if (page == tshDados) {
    const bool facts = dbgDimensoes->DataSource() == dtsDime;
    t.source = facts ? dtsDime : dtsDimeDrill;
    t.delete_kind = facts ? "DIME" : "DIME_DRILL";
  }
  t.dataset = t.source != nullptr ? t.source->DataSet() : nullptr;
  if (t.dataset == nullptr) t.source = nullptr;
  return t;
}

void TfrmEstrutura::sbtIncluirClick(rtl::TObject*) {
  const CommandTarget t = TargetList();
  if (t.dataset == nullptr || !Browsing(t.dataset)) return;
  if (const int marked = FirstMarkedField(t.dataset); marked >= 0)
    t.dataset->Fields(marked)->FocusControl();
  t.dataset->Insert();
}

void TfrmEstrutura::sbtAlterarClick(rtl::TObject*) {
  const CommandTarget t = TargetList();
  // An empty list has nothing to edit (Edit would insert).
  if (t.dataset == nullptr || !Browsing(t.dataset) || t.dataset->IsEmpty()) return;
  if (const int marked = FirstMarkedField(t.dataset);
      marked >= 0 && marked + 1 < t.dataset->FieldCount()) {
    // The field after the code as the grid shows it: the grids do not list
    // the fields in the datasets' order (the facts show the name before the
    // data mart), and edit always opens the same kind of field.
    db::TField* next = nullptr;
    for (const vcl::TDBGrid* grid :
         {dbgTabelaFatos, dbgTabelaDrill, dbgFatos, dbgFatosDrill, dbgDimensoes})
      if (next == nullptr && grid->DataSource() == t.source)
        next = NextEditableColumnField(grid, t.dataset->Fields(marked));
    (next != nullptr ? next : t.dataset->Fields(marked + 1))->FocusControl();
  }
  t.dataset->Edit();
  // On page 1 the code of a saved table cannot be edited: the name can.
  if (pgcPadrao->ActivePage() == tshPadrao) t.dataset->FieldByName("NMTABELADW")->FocusControl();
}

void TfrmEstrutura::sbtExcluirClick(rtl::TObject*) {
  const CommandTarget t = TargetList();
  if (t.dataset == nullptr || !Browsing(t.dataset) || t.dataset->IsEmpty()) return;
  const bool consent = t.delete_kind.empty() ? ConfirmDelete() : pode_deletar(t.delete_kind);
  if (!consent) return;
  t.dataset->Delete();
  RunStateChange(t.source);
}

void TfrmEstrutura::sbtProcurarClick(rtl::TObject*) {
  const CommandTarget t = TargetList();
  if (t.dataset == nullptr || !t.dataset->Active()) return;
  orb::Procura(*t.dataset);
}

void TfrmEstrutura::sbtCancelarClick(rtl::TObject*) {
  const CommandTarget t = TargetList();
  if (t.dataset == nullptr || !Editing(t.dataset)) return;
  if (msgPadraoGrid->ShowMsg("Canc", vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo, 0) !=
      vcl::mrYes)
    return;
  t.dataset->Cancel();
}

void TfrmEstrutura::sbtConfirmarClick(rtl::TObject*) {
  orb::RefreshGrid(this);
  const CommandTarget t = TargetList();
  if (t.dataset == nullptr || !Editing(t.dataset)) return;
  t.dataset->Post();
}

}  // namespace qmx00600
