// GridView: the data-aware grid on screen, drawn and driven entirely through
// the TDBGrid model.
//
// Rows are the dataset's records, columns the grid's visible columns with
// their titles and widths. Every cell is drawn by the model (its default
// drawing and then the screen's draw-column-cell handler) on a QtCanvas, so
// what the handlers paint (check boxes, names in place of codes) is what the
// person sees. The in-place editor is the model's: keys go to KeyDown and
// KeyPress, whose handlers may change or swallow them, and the editor shows
// the model's text, caret and selection. A click in the shown editor places
// its caret and a drag selects (SetEditorSelection); copy, cut and paste go
// through the clipboard (cut and paste as the Delete key and typed
// characters, so the screen's key handlers see them). A keystroke the
// editor refuses (the field is full) beeps and flashes the editor's frame.
// Clicks go to ClickCell, ClickTitle and ClickEditButton;
// the ellipsis and the pick-list drop-down are drawn in the current cell.
// The view scrolls by itself so the current row and column stay in sight.
//
// The class is defined across files by concern: grid_view.cpp (geometry,
// scrolling, mouse, focus), grid_view_keys.cpp, grid_view_paint.cpp and
// grid_view_editor.cpp.
#pragma once

#include <QAbstractScrollArea>
#include <QRect>

#include "control_view.h"

namespace vcl {
class TDBGrid;
}

namespace host {

class GridView : public WidgetView<QAbstractScrollArea> {
 public:
  GridView(ViewOwner& owner, vcl::TDBGrid* grid, QWidget* parent);
  QWidget* FocusTarget() override { return this; }
  void ModelChanged(vcl::TChange what) override;

  vcl::TDBGrid* Grid() const;
  // Cell geometry in viewport coordinates; `recno` 0 is the title row.
  // Empty for a hidden column.
  QRect CellRect(int recno, int col) const;
  // The drop-down or ellipsis button of the current cell (empty when none).
  QRect ButtonRect() const;
  int TopRow() const { return top_; }
  int VisibleRows() const;
  // Opens the pick list of the current column (a menu of its texts).
  void ShowPickList();
  // The editor's frame shows a refused keystroke (for a short while).
  bool RefusalShown() const { return refusal_shown_; }
  // The character position of the editor's text nearest to `x` (viewport
  // coordinates) in the current cell.
  int EditorPositionAt(int x) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool focusNextPrevChild(bool next) override;

 private:
  static constexpr int kIndicatorWidth = 11;  // the row marker's column, without its line

  int RowHeight() const;
  int TitleHeight() const;
  int LineWidth() const;
  int IndicatorWidth() const;
  int ContentWidth() const;
  void UpdateScrollBars();
  // Widens each column with a pick list that is narrower than its longest
  // choice in the grid's font, with room for the list's button.
  void FitPickLists();
  void EnsureCurrentVisible();
  void PaintTitles(QPainter& painter);
  void PaintEditor(QPainter& painter, const QRect& cell);
  // Where the editor's text starts (x) and how far it is scrolled to keep
  // the caret in sight.
  QRect EditorTextRect() const;
  int EditorScroll() const;
  bool CopySelection();
  void PaintButton(QPainter& painter);
  // The column whose title's right edge is under x (for resizing), or -1.
  int ResizeEdgeAt(int x) const;

  int top_ = 1;
  int resizing_ = -1;
  int select_anchor_ = -1;  // a drag selecting in the editor, from here
  bool refusal_shown_ = false;
  int resize_start_x_ = 0;
  int resize_start_width_ = 0;
};

}  // namespace host
