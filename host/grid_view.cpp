#include "grid_view.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "db/client_dataset.h"
#include "model_call.h"
#include "qt_canvas.h"
#include "vcl/db_grid.h"
#include "vcl/form.h"

namespace host {

namespace {

constexpr int kButtonWidth = 16;
constexpr int kIndicatorWidth = 11;

uint16_t VirtualKey(int key) {
  switch (key) {
    case Qt::Key_Backspace:
      return vcl::VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return vcl::VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return vcl::VK_RETURN;
    case Qt::Key_Escape:
      return vcl::VK_ESCAPE;
    case Qt::Key_Space:
      return vcl::VK_SPACE;
    case Qt::Key_PageUp:
      return vcl::VK_PRIOR;
    case Qt::Key_PageDown:
      return vcl::VK_NEXT;
    case Qt::Key_End:
      return vcl::VK_END;
    case Qt::Key_Home:
      return vcl::VK_HOME;
    case Qt::Key_Left:
      return vcl::VK_LEFT;
    case Qt::Key_Up:
      return vcl::VK_UP;
    case Qt::Key_Right:
      return vcl::VK_RIGHT;
    case Qt::Key_Down:
      return vcl::VK_DOWN;
    case Qt::Key_Insert:
      return vcl::VK_INSERT;
    case Qt::Key_Delete:
      return vcl::VK_DELETE;
    case Qt::Key_F2:
      return vcl::VK_F2;
    default:
      if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<uint16_t>(key);
      return 0;
  }
}

vcl::TShiftState ShiftState(Qt::KeyboardModifiers m) {
  vcl::TShiftState s = 0;
  if (m & Qt::ShiftModifier) s |= vcl::ssShift;
  if (m & Qt::AltModifier) s |= vcl::ssAlt;
  if (m & Qt::ControlModifier) s |= vcl::ssCtrl;
  return s;
}

// The character a key sends to KeyPress, as UTF-8; empty for none.
std::string KeyCharacter(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Backspace:
      return "\b";
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return "\r";
    case Qt::Key_Escape:
      return "\x1b";
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return "\t";
    default:
      break;
  }
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return {};
  const QString text = event->text();
  if (text.isEmpty() || text.at(0).unicode() < 0x20 || text.at(0).unicode() == 0x7F) return {};
  return text.toStdString();
}

vcl::TRect ToTRect(const QRect& r) {
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// The first `chars` characters of `text`, characters counted as the model
// counts them (code points, so a surrogate pair is one).
QString Prefix(const QString& text, int chars) {
  int i = 0;
  for (int n = 0; n < chars && i < text.size(); ++n)
    i += text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
  return text.left(i);
}

// A disabled grid is painted greyed over, text and background alike.
const QColor kDisabledVeil(0xD4, 0xD0, 0xC8, 170);
const QColor kSelection(0x31, 0x6A, 0xC5);

}  // namespace

GridView::GridView(ViewOwner& owner, vcl::TDBGrid* grid, QWidget* parent)
    : QAbstractScrollArea(parent), ControlView(owner, grid) {
  setObjectName(QString::fromStdString(grid->Name()));
  // The mouse reaches the model (ClickCell), which decides about the focus.
  setFocusPolicy(Qt::TabFocus);
  setFrameShape(QFrame::StyledPanel);
  viewport()->setMouseTracking(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
  if (!g || !hasFocus() || g->Row() < 1) return {};
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
  switch (what) {
    case vcl::TChange::DataSource:
      top_ = 1;
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

void GridView::PaintTitles(QPainter& painter) {
  vcl::TDBGrid* g = Grid();
  QtCanvas canvas(painter);
  const QColor face(0xD4, 0xD0, 0xC8);
  painter.fillRect(QRect(0, 0, viewport()->width(), TitleHeight()), face);
  for (int col = 0; col < g->Columns().Count(); ++col) {
    const QRect r = CellRect(0, col);
    if (r.isEmpty()) continue;
    vcl::TColumn* column = g->Columns()[col];
    painter.setPen(QColor(255, 255, 255));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
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

void GridView::PaintButton(QPainter& painter) {
  const QRect b = ButtonRect();
  if (b.isEmpty()) return;
  const vcl::TColumn* column = Grid()->Columns()[Grid()->SelectedIndex()];
  painter.fillRect(b, QColor(0xEC, 0xE9, 0xD8));
  painter.setPen(QColor(255, 255, 255));
  painter.drawLine(b.topLeft(), b.topRight());
  painter.drawLine(b.topLeft(), b.bottomLeft());
  painter.setPen(QColor(100, 100, 100));
  painter.drawLine(b.bottomLeft(), b.bottomRight());
  painter.drawLine(b.topRight(), b.bottomRight());
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

void GridView::keyPressEvent(QKeyEvent* event) {
  vcl::TDBGrid* g = Grid();
  if (!g) return;
  const Qt::KeyboardModifiers mods = event->modifiers();
  // Ctrl+Tab belongs to the page control around the grid.
  if ((mods & Qt::ControlModifier) &&
      (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
    event->ignore();
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    return;
  }
  if (event->matches(QKeySequence::Cut)) {
    if (CopySelection()) RunModelAction([g] { g->KeyDown(vcl::VK_DELETE, 0); });
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    const QString text = QApplication::clipboard()->text();
    RunModelAction([g, &text] {
      for (QChar c : text)
        if (c.unicode() >= 0x20) g->KeyPress(QString(c).toStdString());
    });
    return;
  }
  const int col = g->SelectedIndex();
  const vcl::TColumn* column = col >= 0 && col < g->Columns().Count() ? g->Columns()[col] : nullptr;
  if (column && (mods & Qt::AltModifier) && event->key() == Qt::Key_Down && column->HasPickList()) {
    ShowPickList();
    return;
  }
  if (column && (mods & Qt::ControlModifier) &&
      (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      column->ButtonStyle() == vcl::TColumnButtonStyle::cbsEllipsis) {
    RunModelAction([g] { g->ClickEditButton(); });
    return;
  }
  uint16_t vk = VirtualKey(event->key());
  vcl::TShiftState shift = ShiftState(mods);
  if (event->key() == Qt::Key_Backtab) shift |= vcl::ssShift;
  const std::string character = KeyCharacter(event);
  if (vk == 0 && character.empty()) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  RunModelAction([g, vk, shift, &character] {
    if (vk != 0) g->KeyDown(vk, shift);
    if (!character.empty()) g->KeyPress(character);
  });
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
  if (!g) return;
  const int col = g->SelectedIndex();
  if (col < 0 || col >= g->Columns().Count() || !g->Columns()[col]->HasPickList()) return;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("pickList"));
  const QRect cell = CellRect(g->Row(), col);
  menu.setMinimumWidth(cell.width());
  for (const std::string& item : g->Columns()[col]->PickList())
    menu.addAction(QString::fromStdString(item));
  QAction* chosen = nullptr;
  connect(&menu, &QMenu::triggered, &menu, [&chosen](QAction* action) { chosen = action; });
  if (QAction* returned = menu.exec(viewport()->mapToGlobal(cell.bottomLeft()))) chosen = returned;
  if (!chosen || Grid() != g) return;
  const std::string text = chosen->text().toStdString();
  RunModelAction([g, &text] { g->ChoosePickItem(text); });
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
        RunModelAction([g, col] { g->ClickTitle(col); });
        return;
      }
    return;
  }
  if (ButtonRect().contains(pos)) {
    const vcl::TColumn* column = g->Columns()[g->SelectedIndex()];
    if (column->ButtonStyle() == vcl::TColumnButtonStyle::cbsEllipsis)
      RunModelAction([g] { g->ClickEditButton(); });
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
      RunModelAction([g, anchor, at] { g->SetEditorSelection(anchor, at); });
      return;
    }
    const int x = pos.x();
    RunModelAction([this, g, recno, col, again, x] {
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
  if (g->CanFocus() && !g->Focused()) RunModelAction([g] { g->SetFocus(); });
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
