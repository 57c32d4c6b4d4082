// GridView's painting: the cells through the model's DrawCell, the row and
// column lines, the indicator, the titles and the current cell's button.
#include <QPainter>
#include <algorithm>

#include "grid_view.h"
#include "qt_canvas.h"
#include "vcl/db_grid.h"

namespace host {

namespace {

vcl::TRect ToTRect(const QRect& r) {
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// A raised edge around `r`: white on the top and left, `shadow` on the
// bottom and right.
void DrawRaisedEdge(QPainter& painter, const QRect& r, const QColor& shadow) {
  painter.setPen(QColor(255, 255, 255));
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(shadow);
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
}

// A disabled grid is painted greyed over, text and background alike.
const QColor kDisabledVeil(0xD4, 0xD0, 0xC8, 170);

}  // namespace

void GridView::PaintTitles(QPainter& painter) {
  vcl::TDBGrid* g = Grid();
  QtCanvas canvas(painter);
  const QColor face(0xD4, 0xD0, 0xC8);
  painter.fillRect(QRect(0, 0, viewport()->width(), TitleHeight()), face);
  for (int col = 0; col < g->Columns().Count(); ++col) {
    const QRect r = CellRect(0, col);
    if (r.isEmpty()) continue;
    vcl::TColumn* column = g->Columns()[col];
    DrawRaisedEdge(painter, r, QColor(128, 128, 128));
    canvas.Font().Assign(column->Title().Font());
    const std::string caption = column->Title().Caption();
    const QString shown = ShownText(canvas.Font(), caption);
    const int text_w = canvas.TextWidth(caption);
    const int x = canvas.Font().Charset() == vcl::SYMBOL_CHARSET
                      ? r.left() + (r.width() - text_w) / 2
                      : r.left() + 3;
    const int y = r.top() + (r.height() - canvas.TextHeight(caption)) / 2;
    painter.save();
    painter.setClipRect(r.adjusted(1, 1, -1, -1));
    // A light title colour (the check column's white mark) gets a shadow so
    // it stands out on the title's face.
    if (ToQColor(canvas.Font().Color()).lightness() > 200) {
      painter.setFont(ToQFont(canvas.Font()));
      painter.setPen(QColor(90, 90, 90));
      painter.drawText(QPoint(x + 1, y + 1 + QFontMetrics(painter.font()).ascent()), shown);
    }
    canvas.TextOut(x, y, caption);
    painter.restore();
  }
}

void GridView::PaintButton(QPainter& painter) {
  const QRect b = ButtonRect();
  if (b.isEmpty()) return;
  const vcl::TColumn* column = Grid()->Columns()[Grid()->SelectedIndex()];
  painter.fillRect(b, QColor(0xEC, 0xE9, 0xD8));
  DrawRaisedEdge(painter, b, QColor(100, 100, 100));
  painter.setPen(Qt::black);
  painter.setBrush(Qt::black);
  const QPoint c = b.center();
  if (column->ButtonStyle() == vcl::TColumnButtonStyle::cbsEllipsis) {
    for (int dx : {-4, 0, 4}) painter.drawRect(c.x() + dx - 1, c.y() + 2, 1, 1);
  } else {
    const QPoint arrow[3] = {QPoint(c.x() - 3, c.y() - 1), QPoint(c.x() + 3, c.y() - 1),
                             QPoint(c.x(), c.y() + 2)};
    painter.drawPolygon(arrow, 3);
  }
}

void GridView::paintEvent(QPaintEvent*) {
  vcl::TDBGrid* g = Grid();
  QPainter painter(viewport());
  if (!g) return;
  painter.fillRect(viewport()->rect(), ToQColor(g->Color()));
  const int rows = g->RowCount();
  const int last = std::min(rows, top_ + VisibleRows());
  const QColor line(0xC0, 0xC0, 0xC0);
  QtCanvas canvas(painter);
  for (int recno = top_; recno <= last; ++recno) {
    for (int col = 0; col < g->Columns().Count(); ++col) {
      const QRect r = CellRect(recno, col);
      if (r.isEmpty() || r.right() < 0 || r.left() > viewport()->width()) continue;
      painter.save();
      painter.setClipRect(r);
      // A drawing handler that fails leaves its cell as drawn so far; a paint
      // never shows dialogs.
      try {
        g->DrawCell(canvas, recno, col, ToTRect(r));
      } catch (...) {
      }
      painter.restore();
      if (g->Options() & vcl::dgColLines) {
        painter.setPen(line);
        painter.drawLine(r.right() + 1, r.top(), r.right() + 1, r.bottom() + LineWidth());
      }
    }
    if (g->Options() & vcl::dgRowLines) {
      const int y = TitleHeight() + (recno - top_ + 1) * (RowHeight() + 1) - 1;
      painter.setPen(line);
      painter.drawLine(0, y, std::min(ContentWidth(), viewport()->width()), y);
    }
    if (IndicatorWidth() > 0) {
      const QRect ind(0, TitleHeight() + (recno - top_) * (RowHeight() + LineWidth()),
                      kIndicatorWidth, RowHeight());
      painter.fillRect(ind, QColor(0xD4, 0xD0, 0xC8));
      if (recno == g->Row()) {
        painter.setBrush(Qt::black);
        const QPoint c = ind.center();
        const QPoint tri[3] = {QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()),
                               QPoint(c.x() - 2, c.y() + 4)};
        painter.drawPolygon(tri, 3);
      }
    }
  }
  const int row = g->Row();
  if (row >= top_ && row <= last) {
    const QRect cell = CellRect(row, g->SelectedIndex());
    if (!cell.isEmpty()) {
      if (g->EditorMode()) {
        PaintEditor(painter, cell);
      } else if (hasFocus() && g->Focused()) {
        QtCanvas focus(painter);
        focus.DrawFocusRect(ToTRect(cell));
      }
      PaintButton(painter);
    }
  }
  if (g->Options() & vcl::dgTitles) PaintTitles(painter);
  if (!isEnabled()) painter.fillRect(viewport()->rect(), kDisabledVeil);
}

}  // namespace host
