// The one dimension grid follows the chosen list: the fact table's
// dimensions (cdsDime) or the drill table's (cdsDimeDrill).
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::optaCDSDime() {
  vcl::TColumn* field_column = dbgDimensoes->Columns()[0];
  dbgDimensoes->SetDataSource(nullptr);
  field_column->SetFieldName("");
  if (dbtNome->DataSource() == dtsPadrao) {
    dbgDimensoes->SetDataSource(dtsDime);
    field_column->SetFieldName("CDITEMDIME");
  } else {
    dbgDimensoes->SetDataSource(dtsDimeDrill);
    field_column->SetFieldName("CDDIMEDRILL");
  }
}

}  // namespace qmx00600
