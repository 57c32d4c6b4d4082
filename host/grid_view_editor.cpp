// GridView's in-place editor: where its text sits, how it is painted with
// its caret and selection, where a click puts the caret, the clipboard and
// the pick list.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPainter>
#include <algorithm>

#include "grid_view.h"
#include "model_call.h"
#include "qt_canvas.h"
#include "vcl/db_grid.h"

namespace host {

namespace {

// The first `chars` characters of `text`, characters counted as the model
// counts them (code points, so a surrogate pair is one).
QString Prefix(const QString& text, int chars) {
  int i = 0;
  for (int n = 0; n < chars && i < text.size(); ++n)
    i += text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
  return text.left(i);
}

const QColor kSelection(0x31, 0x6A, 0xC5);

}  // namespace

QRect GridView::EditorTextRect() const {
  const vcl::TDBGrid* g = Grid();
  if (!g) return {};
  QRect r = CellRect(g->Row(), g->SelectedIndex());
  if (!ButtonRect().isEmpty()) r.setRight(ButtonRect().left() - 1);
  return r;
}

int GridView::EditorScroll() const {
  const vcl::TDBGrid* g = Grid();
  if (!g) return 0;
  const QFontMetrics fm(ToQFont(g->Font()));
  const QString text = QString::fromStdString(g->EditorText());
  const int caret = fm.horizontalAdvance(Prefix(text, g->Editor().Caret()));
  return std::max(0, caret - (EditorTextRect().width() - 6));
}

int GridView::EditorPositionAt(int x) const {
  const vcl::TDBGrid* g = Grid();
  if (!g) return 0;
  const QFontMetrics fm(ToQFont(g->Font()));
  const QString text = QString::fromStdString(g->EditorText());
  const int origin = EditorTextRect().left() + 2 - EditorScroll();
  int best = 0;
  int best_distance = std::abs(x - origin);
  for (int n = 1; n <= g->Editor().Length(); ++n) {
    const int distance = std::abs(x - (origin + fm.horizontalAdvance(Prefix(text, n))));
    if (distance < best_distance) {
      best = n;
      best_distance = distance;
    }
  }
  return best;
}

void GridView::PaintEditor(QPainter& painter, const QRect& cell) {
  vcl::TDBGrid* g = Grid();
  const vcl::TInplaceEdit& editor = g->Editor();
  const QRect r = EditorTextRect();
  painter.fillRect(r, Qt::white);
  painter.save();
  painter.setClipRect(r);
  painter.setFont(ToQFont(g->Font()));
  const QString text = QString::fromStdString(editor.Text());
  const QFontMetrics fm(painter.font());
  const int x = r.left() + 2 - EditorScroll();
  const int y = r.top() + (r.height() - fm.height()) / 2;
  const int baseline = y + fm.ascent();
  painter.setPen(Qt::black);
  painter.drawText(QPoint(x, baseline), text);
  if (editor.HasSelection()) {
    const int from = x + fm.horizontalAdvance(Prefix(text, editor.SelStart()));
    const int to = x + fm.horizontalAdvance(Prefix(text, editor.SelStart() + editor.SelLength()));
    const QRect selected(from, y, to - from, fm.height());
    painter.fillRect(selected, kSelection);
    painter.setClipRect(selected.intersected(r));
    painter.setPen(Qt::white);
    painter.drawText(QPoint(x, baseline), text);
    painter.setClipRect(r);
  }
  if (hasFocus()) {
    const int caret = x + fm.horizontalAdvance(Prefix(text, editor.Caret()));
    painter.setPen(Qt::black);
    painter.drawLine(caret, y, caret, y + fm.height() - 1);
  }
  painter.restore();
  painter.setBrush(Qt::NoBrush);
  if (refusal_shown_) {
    painter.setPen(QPen(QColor(0xD0, 0x20, 0x20), 2));
    painter.drawRect(cell.adjusted(1, 1, -1, -1));
  } else {
    painter.setPen(QColor(0, 0, 0));
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
  }
}

bool GridView::CopySelection() {
  vcl::TDBGrid* g = Grid();
  if (!g) return false;
  if (g->EditorMode()) {
    if (!g->Editor().HasSelection()) return false;
    QApplication::clipboard()->setText(QString::fromStdString(g->Editor().SelText()));
    return true;
  }
  // Without the editor the current cell's text is copied.
  if (g->Row() >= 1 && g->SelectedIndex() >= 0 && g->SelectedIndex() < g->Columns().Count()) {
    std::string text;
    RunModelAction([g, &text] { text = g->CellText(g->Row(), g->SelectedIndex()); });
    QApplication::clipboard()->setText(QString::fromStdString(text));
  }
  return false;
}

void GridView::ShowPickList() {
  vcl::TDBGrid* g = Grid();
  if (!g || g->ReadOnly()) return;  // nothing to choose in a grid that cannot change
  const int col = g->SelectedIndex();
  if (col < 0 || col >= g->Columns().Count() || !g->Columns()[col]->HasPickList()) return;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("pickList"));
  const QRect cell = CellRect(g->Row(), col);
  menu.setMinimumWidth(cell.width());
  // The list opens on the cell's value, so one arrow key moves from it.
  std::string current;
  if (g->EditorMode())
    current = g->EditorText();
  else
    RunModelAction([g, col, &current] { current = g->CellText(g->Row(), col); });
  QAction* on_value = nullptr;
  for (const std::string& item : g->Columns()[col]->PickList()) {
    QAction* action = menu.addAction(QString::fromStdString(item));
    action->setCheckable(true);
    if (item == current && !on_value) {
      action->setChecked(true);
      on_value = action;
    }
  }
  if (on_value) menu.setActiveAction(on_value);
  QAction* chosen = nullptr;
  connect(&menu, &QMenu::triggered, &menu, [&chosen](QAction* action) { chosen = action; });
  if (QAction* returned = menu.exec(viewport()->mapToGlobal(cell.bottomLeft()), on_value))
    chosen = returned;
  if (!chosen || Grid() != g) return;
  const std::string text = chosen->text().toStdString();
  Act([g, &text] { g->ChoosePickItem(text); });
}

}  // namespace host
