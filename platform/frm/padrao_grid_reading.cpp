// The standard screen for a person who may only read.
#include "frm/padrao_grid.h"

namespace frm {

void TfrmPadraoGrid::LimitToReading() {
  reading_only_ = true;
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* grid = dynamic_cast<vcl::TDBGrid*>(Components(i))) grid->SetReadOnly(true);
  dbnPadrao->SetVisibleButtons(vcl::nbFirst | vcl::nbPrior | vcl::nbNext | vcl::nbLast);
  UpdateCommands(dtsPadrao);
}

}  // namespace frm
