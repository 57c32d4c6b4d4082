// The dimension grid shows each dimension number as the dimension's name
// from the in-memory catalogue; painting never asks the server.
#include "orb/grids.h"
#include "orb/text.h"
#include "screen/estrutura.h"
#include "screen/lookup_by_filter.h"

namespace qmx00600 {

void TfrmEstrutura::dbgDimensoesDrawColumnCell(rtl::TObject*, const vcl::TRect& rect, int data_col,
                                               vcl::TColumn* column, vcl::TGridDrawState state) {
  vcl::TCanvas* canvas = dbgDimensoes->Canvas();
  if (canvas == nullptr || data_col != orb::IndiceCol(dbgDimensoes, "NRSEQUEDIME")) return;

  // While the editor is open on a browsed row and the grid is not focused,
  // the number is shown as the editor would take it. Each dataset only in
  // the grid that shows it, so one side's number never appears on the other.
  const bool selected_alone =
      (state & (vcl::gdSelected | vcl::gdFocused | vcl::gdFixed)) == vcl::gdSelected;
  const bool editing_browsed_row = dbgDimensoes->EditorMode() && selected_alone;
  db::TClientDataSet* shown = dbgDimensoes->DataSet();
  auto raw_number = [&](db::TClientDataSet* ds) {
    return editing_browsed_row && shown == ds && ds->State() == db::TDataSetState::dsBrowse;
  };

  std::string text;
  if (raw_number(cdsDime)) {
    text = cdsDime->FieldByName("NRSEQUEDIME")->DisplayText();
  } else if (raw_number(cdsDimeDrill)) {
    text = cdsDimeDrill->FieldByName("NRSEQUEDIME")->DisplayText();
  } else if (db::TField* field = column != nullptr ? column->Field() : nullptr) {
    const std::string number = field->DisplayText();
    if (!number.empty()) {
      const std::string name = NameByFilter(*cdsDimeDime, "NRSEQUEDIME", number, "NMITEMDIME");
      text = orb::EmptyString(name) ? number : name;
    }
  }
  canvas->TextRect(rect, rect.Left + 1, rect.Top + 2, text);
  if (state & vcl::gdFocused) canvas->DrawFocusRect(rect);
}

}  // namespace qmx00600
