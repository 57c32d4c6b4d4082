// Painting of the grid: geometry of the cells and the default drawing.
#include <algorithm>

#include "db/client_dataset.h"
#include "rtl/exceptions.h"
#include "vcl/db_grid.h"

namespace vcl {

namespace {
constexpr int kIndicatorWidth = 11;
}

int TDBGrid::RowCount() const {
  db::TClientDataSet* ds = DataSet();
  return ds && ds->Active() ? ds->RecordCount() : 0;
}

int TDBGrid::VisibleRowCount() const {
  if (Height() <= 0) return RowCount();
  const int title = (options_ & dgTitles) ? row_height_ : 0;
  const int line = (options_ & dgRowLines) ? 1 : 0;
  return std::max((Height() - title) / (row_height_ + line), 1);
}

void TDBGrid::EnsureRowVisible() {
  const int row = Row();
  if (row <= 0) {
    top_row_ = 1;
    return;
  }
  const int visible = VisibleRowCount();
  if (row < top_row_) top_row_ = row;
  if (visible > 0 && row >= top_row_ + visible) top_row_ = row - visible + 1;
  top_row_ = std::max(top_row_, 1);
}

TRect TDBGrid::CellRect(int recno, int col) const {
  if (col < 0 || col >= columns_.Count()) throw rtl::Exception("Coluna fora dos limites");
  if (!columns_[col]->Visible()) return {};
  const int line = (options_ & dgColLines) ? 1 : 0;
  int x = (options_ & dgIndicator) ? kIndicatorWidth + line : 0;
  for (int i = 0; i < col; ++i)
    if (columns_[i]->Visible()) x += columns_[i]->Width() + line;
  const int title = (options_ & dgTitles) ? row_height_ + ((options_ & dgRowLines) ? 1 : 0) : 0;
  int y = 0;
  if (recno > 0) y = title + (recno - top_row_) * (row_height_ + ((options_ & dgRowLines) ? 1 : 0));
  return {x, y, x + columns_[col]->Width(), y + row_height_};
}

std::string TDBGrid::CellText(int recno, int col) const {
  if (col < 0 || col >= columns_.Count()) throw rtl::Exception("Coluna fora dos limites");
  db::TClientDataSet* ds = DataSet();
  if (recno < 1 || recno > RowCount()) throw rtl::Exception("Linha fora dos limites");
  db::TField* field = columns_[col]->Field();
  if (!field) return {};
  db::TClientDataSet::ActiveRecordScope scope(*ds, recno);
  return field->DisplayText();
}

TGridDrawState TDBGrid::CellState(int recno, int col) const {
  if (recno != Row() || col != selected_) return 0;
  TGridDrawState state = 0;
  if (Focused()) state |= gdSelected | gdFocused;
  if (options_ & dgAlwaysShowSelection) state |= gdSelected;
  return state;
}

void TDBGrid::DefaultDrawCell(TCanvas& canvas, const TRect& rect, TColumn* column,
                              TGridDrawState state) {
  const TColor background = column->Color() == clDefault ? Color() : column->Color();
  if (state & gdSelected) {
    canvas.Brush().SetColor(clHighlight);
    canvas.Font().SetColor(clHighlightText);
  } else {
    canvas.Brush().SetColor(background);
    canvas.Font().SetColor(Font().Color());
  }
  db::TField* field = column->Field();
  canvas.TextRect(rect, rect.Left + 2, rect.Top + 2, field ? field->DisplayText() : std::string());
}

void TDBGrid::DrawCell(TCanvas& canvas, int recno, int col, const TRect& rect) {
  if (col < 0 || col >= columns_.Count()) throw rtl::Exception("Coluna fora dos limites");
  if (recno < 1 || recno > RowCount()) throw rtl::Exception("Linha fora dos limites");
  TColumn* column = columns_[col];
  const TGridDrawState state = CellState(recno, col);
  struct Restore {
    TCanvas*& slot;
    TCanvas* saved;
    ~Restore() { slot = saved; }
  } restore{canvas_, canvas_};
  canvas_ = &canvas;
  canvas.Font().Assign(Font());
  // Fields read the row being drawn, without moving the dataset.
  db::TClientDataSet::ActiveRecordScope scope(*DataSet(), recno);
  if (default_drawing_) DefaultDrawCell(canvas, rect, column, state);
  if (OnDrawColumnCell) OnDrawColumnCell(this, rect, col, column, state);
}

void TDBGrid::DrawTitles(TCanvas& canvas) {
  for (int col = 0; col < columns_.Count(); ++col) {
    TColumn* column = columns_[col];
    if (!column->Visible()) continue;
    const TRect rect = CellRect(0, col);
    canvas.Brush().SetColor(clBtnFace);
    canvas.Font().Assign(column->Title().Font());
    canvas.TextRect(rect, rect.Left + 2, rect.Top + 2, column->Title().Caption());
  }
}

void TDBGrid::Paint(TCanvas& canvas) {
  if (options_ & dgTitles) DrawTitles(canvas);
  const int rows = RowCount();
  const int last = std::min(rows, top_row_ + VisibleRowCount() - 1);
  for (int recno = top_row_; recno <= last; ++recno) {
    if (options_ & dgIndicator) {
      const int title = (options_ & dgTitles) ? row_height_ + ((options_ & dgRowLines) ? 1 : 0) : 0;
      const int y = title + (recno - top_row_) * (row_height_ + ((options_ & dgRowLines) ? 1 : 0));
      canvas.Brush().SetColor(clBtnFace);
      canvas.FillRect({0, y, kIndicatorWidth, y + row_height_});
    }
    for (int col = 0; col < columns_.Count(); ++col)
      if (columns_[col]->Visible()) DrawCell(canvas, recno, col, CellRect(recno, col));
  }
}

}  // namespace vcl
