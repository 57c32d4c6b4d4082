// GridView's keyboard: Qt's keys translated into the model's KeyDown and
// KeyPress, and the keys the view keeps for itself (clipboard, pick list,
// ellipsis).
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include "grid_view.h"
#include "model_call.h"
#include "vcl/db_grid.h"

namespace host {

namespace {

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

}  // namespace

void GridView::keyPressEvent(QKeyEvent* event) {
  vcl::TDBGrid* g = Grid();
  if (!g) return;
  const Qt::KeyboardModifiers mods = event->modifiers();
  // Ctrl+Tab and Ctrl+PgDn/PgUp turn the page of the window around the grid.
  if ((mods & Qt::ControlModifier) &&
      (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
       event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown)) {
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

}  // namespace host
