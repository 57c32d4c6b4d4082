// GridView itself: geometry, scrolling, the model's changes, the mouse and
// the focus. Keys are in grid_view_keys.cpp, painting in grid_view_paint.cpp,
// the in-place editor in grid_view_editor.cpp.
#include "grid_view.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "grid_accessible.h"
#include "model_call.h"
#include "qt_canvas.h"
#include "vcl/db_grid.h"
#include "vcl/form.h"

namespace host {

namespace {
constexpr int kButtonWidth = 16;
}  // namespace

GridView::GridView(ViewOwner& owner, vcl::TDBGrid* grid, QWidget* parent)
    : WidgetView(owner, grid, parent) {
  // The mouse reaches the model (ClickCell), which decides about the focus.
  setFocusPolicy(Qt::TabFocus);
  setFrameShape(QFrame::StyledPanel);
  viewport()->setMouseTracking(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FitPickLists();
}

void GridView::FitPickLists() {
  vcl::TDBGrid* g = Grid();
  if (!g) return;
  const QFontMetrics metrics(ToQFont(g->Font()));
  for (int i = 0; i < g->Columns().Count(); ++i) {
    vcl::TColumn* column = g->Columns()[i];
    int needed = 0;
    for (const std::string& choice : column->PickList())
      needed = std::max(needed, metrics.horizontalAdvance(QString::fromStdString(choice)));
    if (needed == 0) continue;
    needed += kButtonWidth + 8;
    // Once, when the grid is shown or bound: the person may narrow it later.
    if (column->Width() < needed) column->SetWidth(needed);
  }
}

vcl::TDBGrid* GridView::Grid() const {
  return dynamic_cast<vcl::TDBGrid*>(Control());
}

int GridView::RowHeight() const {
  const vcl::TDBGrid* g = Grid();
  const int font = QFontMetrics(ToQFont(g ? g->Font() : vcl::TFont())).height() + 4;
  return std::max(g ? g->DefaultRowHeight() : 18, font);
}

int GridView::LineWidth() const {
  const vcl::TDBGrid* g = Grid();
  return g && (g->Options() & vcl::dgRowLines) ? 1 : 0;
}

int GridView::TitleHeight() const {
  const vcl::TDBGrid* g = Grid();
  return g && (g->Options() & vcl::dgTitles) ? RowHeight() + 2 : 0;
}

int GridView::IndicatorWidth() const {
  const vcl::TDBGrid* g = Grid();
  return g && (g->Options() & vcl::dgIndicator) ? kIndicatorWidth + 1 : 0;
}

int GridView::VisibleRows() const {
  const int h = viewport()->height() - TitleHeight();
  return std::max(h / (RowHeight() + LineWidth()), 1);
}

int GridView::ContentWidth() const {
  const vcl::TDBGrid* g = Grid();
  if (!g) return 0;
  const int line = (g->Options() & vcl::dgColLines) ? 1 : 0;
  int w = IndicatorWidth();
  for (int i = 0; i < g->Columns().Count(); ++i)
    if (g->Columns()[i]->Visible()) w += g->Columns()[i]->Width() + line;
  return w;
}

QRect GridView::CellRect(int recno, int col) const {
  const vcl::TDBGrid* g = Grid();
  if (!g || col < 0 || col >= g->Columns().Count() || !g->Columns()[col]->Visible()) return {};
  const int line = (g->Options() & vcl::dgColLines) ? 1 : 0;
  int x = IndicatorWidth() - horizontalScrollBar()->value();
  for (int i = 0; i < col; ++i)
    if (g->Columns()[i]->Visible()) x += g->Columns()[i]->Width() + line;
  const int w = g->Columns()[col]->Width();
  if (recno == 0) return QRect(x, 0, w, TitleHeight() - 1);
  const int y = TitleHeight() + (recno - top_) * (RowHeight() + LineWidth());
  return QRect(x, y, w, RowHeight());
}

QRect GridView::ButtonRect() const {
  const vcl::TDBGrid* g = Grid();
  if (!g || !hasFocus() || g->Row() < 1 || g->ReadOnly()) return {};
  const int col = g->SelectedIndex();
  if (col < 0 || col >= g->Columns().Count()) return {};
  const vcl::TColumn* column = g->Columns()[col];
  if (column->ButtonStyle() != vcl::TColumnButtonStyle::cbsEllipsis && !column->HasPickList())
    return {};
  if (!g->CanEditCell() && column->ButtonStyle() != vcl::TColumnButtonStyle::cbsEllipsis) return {};
  const QRect cell = CellRect(g->Row(), col);
  if (cell.isEmpty() || cell.width() < kButtonWidth + 4) return {};
  return QRect(cell.right() + 1 - kButtonWidth, cell.top(), kButtonWidth, cell.height());
}

void GridView::UpdateScrollBars() {
  const vcl::TDBGrid* g = Grid();
  const int rows = g ? g->RowCount() : 0;
  const int visible = VisibleRows();
  top_ = std::clamp(top_, 1, std::max(rows - visible + 1, 1));
  QScrollBar* v = verticalScrollBar();
  v->blockSignals(true);
  v->setRange(0, std::max(rows - visible, 0));
  v->setPageStep(visible);
  v->setValue(top_ - 1);
  v->blockSignals(false);
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(ContentWidth() - viewport()->width(), 0));
  h->setPageStep(viewport()->width());
  h->setSingleStep(20);
}

void GridView::EnsureCurrentVisible() {
  const vcl::TDBGrid* g = Grid();
  if (!g) return;
  const int row = g->Row();
  const int visible = VisibleRows();
  if (row > 0) {
    if (row < top_) top_ = row;
    if (row >= top_ + visible) top_ = row - visible + 1;
  }
  UpdateScrollBars();
  const QRect cell = CellRect(0, g->SelectedIndex());
  if (!cell.isEmpty()) {
    QScrollBar* h = horizontalScrollBar();
    if (cell.left() < IndicatorWidth())
      h->setValue(h->value() + cell.left() - IndicatorWidth());
    else if (cell.right() > viewport()->width())
      h->setValue(h->value() +
                  std::min(cell.right() - viewport()->width() + 1, cell.left() - IndicatorWidth()));
  }
}

void GridView::ModelChanged(vcl::TChange what) {
  ControlView::ModelChanged(what);
  if (!Grid()) return;
  if (what == vcl::TChange::DataSource || what == vcl::TChange::Columns ||
      what == vcl::TChange::DataState || what == vcl::TChange::Selection)
    NotifyGridAccessibility(this, what != vcl::TChange::Selection);
  switch (what) {
    case vcl::TChange::DataSource:
      top_ = 1;
      FitPickLists();
      UpdateScrollBars();
      break;
    case vcl::TChange::Columns:
      UpdateScrollBars();
      break;
    case vcl::TChange::DataState:
    case vcl::TChange::Selection:
      EnsureCurrentVisible();
      break;
    case vcl::TChange::EditorRefused:
      QApplication::beep();
      refusal_shown_ = true;
      QTimer::singleShot(600, this, [this] {
        refusal_shown_ = false;
        viewport()->update();
      });
      break;
    default:
      break;
  }
  viewport()->update();
}

int GridView::ResizeEdgeAt(int x) const {
  const vcl::TDBGrid* g = Grid();
  if (!g || !(g->Options() & vcl::dgColumnResize)) return -1;
  for (int col = 0; col < g->Columns().Count(); ++col) {
    const QRect r = CellRect(0, col);
    if (!r.isEmpty() && std::abs(x - (r.right() + 1)) <= 2) return col;
  }
  return -1;
}

void GridView::mousePressEvent(QMouseEvent* event) {
  vcl::TDBGrid* g = Grid();
  if (!g || event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  if (pos.y() < TitleHeight()) {
    if (int edge = ResizeEdgeAt(pos.x()); edge >= 0) {
      resizing_ = edge;
      resize_start_x_ = pos.x();
      resize_start_width_ = g->Columns()[edge]->Width();
      return;
    }
    for (int col = 0; col < g->Columns().Count(); ++col)
      if (CellRect(0, col).contains(pos)) {
        Act([g, col] { g->ClickTitle(col); });
        return;
      }
    return;
  }
  if (ButtonRect().contains(pos)) {
    const vcl::TColumn* column = g->Columns()[g->SelectedIndex()];
    if (column->ButtonStyle() == vcl::TColumnButtonStyle::cbsEllipsis)
      Act([g] { g->ClickEditButton(); });
    else
      ShowPickList();
    return;
  }
  const int recno = top_ + (pos.y() - TitleHeight()) / (RowHeight() + LineWidth());
  for (int col = 0; col < g->Columns().Count(); ++col) {
    if (!CellRect(recno, col).contains(pos)) continue;
    if (recno > g->RowCount()) break;
    const bool again = recno == g->Row() && col == g->SelectedIndex() && g->Focused();
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    if (again && g->EditorMode()) {
      // In the shown editor: the caret goes where the click was (Shift
      // extends the selection), and a drag selects from there.
      const int at = EditorPositionAt(pos.x());
      select_anchor_ = extend ? g->Editor().Anchor() : at;
      const int anchor = select_anchor_;
      Act([g, anchor, at] { g->SetEditorSelection(anchor, at); });
      return;
    }
    const int x = pos.x();
    Act([this, g, recno, col, again, x] {
      g->ClickCell(recno, col);
      // A click on the current cell opens its editor with the caret there.
      if (again && g->Row() == recno && g->SelectedIndex() == col) {
        g->SetEditorMode(true);
        const int at = EditorPositionAt(x);
        g->SetEditorSelection(at, at);
        select_anchor_ = at;
      }
    });
    return;
  }
  // Below the rows or beside the columns: the grid only takes the focus.
  if (g->CanFocus())
    Act([g] {
      if (!g->Focused()) g->SetFocus();
    });
}

void GridView::mouseMoveEvent(QMouseEvent* event) {
  vcl::TDBGrid* g = Grid();
  if (!g) return;
  const QPoint pos = event->position().toPoint();
  if (select_anchor_ >= 0 && (event->buttons() & Qt::LeftButton) && g->EditorMode()) {
    const int anchor = select_anchor_;
    const int at = EditorPositionAt(pos.x());
    if (at != g->Editor().Caret() || anchor != g->Editor().Anchor())
      RunModelAction([g, anchor, at] { g->SetEditorSelection(anchor, at); });
    return;
  }
  if (resizing_ >= 0 && resizing_ < g->Columns().Count()) {
    const int width = std::max(resize_start_width_ + pos.x() - resize_start_x_, 4);
    const int col = resizing_;
    RunModelAction([g, col, width] { g->ResizeColumn(col, width); });
    return;
  }
  viewport()->setCursor(pos.y() < TitleHeight() && ResizeEdgeAt(pos.x()) >= 0 ? Qt::SplitHCursor
                                                                              : Qt::ArrowCursor);
}

void GridView::mouseReleaseEvent(QMouseEvent*) {
  resizing_ = -1;
  select_anchor_ = -1;
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event) {
  vcl::TDBGrid* g = Grid();
  if (g && g->EditorMode() && event->button() == Qt::LeftButton &&
      EditorTextRect().contains(event->position().toPoint())) {
    // A double click in the editor selects its whole text.
    const int length = g->Editor().Length();
    RunModelAction([g, length] { g->SetEditorSelection(0, length); });
    return;
  }
  mousePressEvent(event);
}

void GridView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason ||
      event->reason() == Qt::ShortcutFocusReason)
    Owner().FocusArrived(Grid());
  NotifyGridAccessibility(this, false);
  viewport()->update();
}

void GridView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void GridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void GridView::scrollContentsBy(int, int dy) {
  if (dy != 0) top_ = verticalScrollBar()->value() + 1;
  viewport()->update();
}

bool GridView::focusNextPrevChild(bool next) {
  const vcl::TDBGrid* g = Grid();
  if (g && (g->Options() & vcl::dgTabs)) return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}

}  // namespace host
