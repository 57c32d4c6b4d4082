// What the fact grid shows instead of codes: the type by its catalogue name
// (shown and entered), the data mart by its name, and the check column as a
// ticked or empty box.
#include <algorithm>
#include <functional>

#include "model/check_images.h"
#include "orb/grids.h"
#include "orb/text.h"
#include "screen/estrutura.h"
#include "screen/fact_types.h"
#include "screen/lookup_by_filter.h"

namespace qmx00600 {

void TfrmEstrutura::cdsFatosIDTPFATODWGetText(db::TField* sender, std::string& text, bool) {
  text = FactTypeName(*msgPadrao, sender->AsString());
}

void TfrmEstrutura::cdsFatosIDTPFATODWSetText(db::TField* sender, const std::string& text) {
  const std::string code = FactTypeCode(*msgPadrao, text);
  if (!code.empty()) sender->SetAsString(code);
}

void TfrmEstrutura::dbgFatosDrawColumnCell(rtl::TObject*, const vcl::TRect& rect, int data_col,
                                           vcl::TColumn* column, vcl::TGridDrawState state) {
  vcl::TCanvas* canvas = dbgFatos->Canvas();
  db::TField* field = column != nullptr ? column->Field() : nullptr;
  if (canvas == nullptr || field == nullptr) return;

  if (data_col == orb::IndiceCol(dbgFatos, "CDAREANEGDW")) {
    std::string text = orb::AllTrim(field->DisplayText());
    if (!text.empty()) text = NameByFilter(*cdsAreaNegDW, "CDAREANEGDW", text, "NMAREANEGDW");
    // TextRect fills the cell first, hiding the code the grid drew.
    canvas->TextRect(rect, rect.Left + 1, rect.Top + 2, text);
    if (state & vcl::gdFocused) canvas->DrawFocusRect(rect);
  }

  if (field->FieldName() == "IDFATODW") {
    vcl::TBitmap box;
    const std::string mark = field->AsString();
    if (mark == "S")
      box.Assign(imgCheck->Bitmap());
    else if (mark == "N" || mark.empty())
      box.Assign(imgUncheck->Bitmap());
    canvas->FillRect(rect);
    // Never more than the cell holds, nor more rows than the bitmap has: a
    // canvas that scales to the destination would otherwise stretch the box,
    // and the box would paint over the next column.
    const int width = std::min(rect.Width() - 1, box.Width());
    const int height = std::min(rect.Height(), box.Height());
    if (width > 0 && height > 0)
      canvas->BrushCopy({rect.Left + 1, rect.Top, rect.Left + 1 + width, rect.Top + height}, box,
                        {0, 0, width, height}, kCheckTransparent);
  }
}

}  // namespace qmx00600
