// The two pages and the two detail panels of page 2, and the screen flags
// bodados and bofatos that tell the rest of the screen where the user is.
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::RunStateChange(db::TDataSource* source) {
  if (source != nullptr && source->OnStateChange) source->OnStateChange(source);
}

// A control that cannot take the focus now (hidden, disabled, on a page not
// shown, form not shown) is left alone instead of failing the page change.
void TfrmEstrutura::FocusIfPossible(vcl::TWinControl* control) {
  if (control != nullptr && control->CanFocus()) control->SetFocus();
}

void TfrmEstrutura::tshPadraoEnter(rtl::TObject*) {
  flags_.bodados = false;
  if (dbtNome->DataSource() == dtsPadrao) {
    FocusIfPossible(dbgTabelaFatos);
    RunStateChange(dtsPadrao);
  } else {
    FocusIfPossible(dbgTabelaDrill);
    RunStateChange(dtsTabelaDrill);
  }
}

void TfrmEstrutura::tshDadosEnter(rtl::TObject*) {
  flags_.bodados = true;
  if (dbnPadrao->DataSource() == dtsPadrao) {
    dbgFatosDrill->Hide();
    dbgFatos->Show();
    lblFatos->SetCaption(msgPadrao->Msg("FATOS"));
    lblDimensoes->SetCaption(msgPadrao->Msg("DIMENSOES"));
  } else {
    dbgFatos->Hide();
    dbgFatosDrill->Show();
    lblFatos->SetCaption(msgPadrao->Msg("FATOS_DRILL"));
    lblDimensoes->SetCaption(msgPadrao->Msg("DIMENSOES_DRILL"));
  }
  // Of the two fact grids only the visible one is enabled: the commands tell
  // the sides apart by it.
  dbgFatos->SetEnabled(dbgFatos->Visible());
  dbgFatosDrill->SetEnabled(dbgFatosDrill->Visible());
  if (flags_.bofatos) {
    if (dbgFatos->Enabled())
      FocusIfPossible(dbgFatos);
    else if (dbgFatosDrill->Enabled())
      FocusIfPossible(dbgFatosDrill);
  } else {
    optaCDSDime();
    FocusIfPossible(dbgDimensoes);
  }
}

void TfrmEstrutura::pnlFatosEnter(rtl::TObject*) {
  flags_.bofatos = true;
}

void TfrmEstrutura::pnlDImensoesEnter(rtl::TObject*) {
  flags_.bofatos = false;
}

}  // namespace qmx00600
