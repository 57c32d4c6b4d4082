#include "render_pages.h"

#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSet>
#include <QShortcutEvent>
#include <QTabBar>

#include "model_call.h"
#include "qt_canvas.h"
#include "vcl/page_control.h"

namespace host {

PageControlWidget::PageControlWidget(ViewOwner& owner, vcl::TPageControl* pages, QWidget* parent)
    : WidgetView(owner, pages, parent) {
  setDocumentMode(false);
  tabBar()->setFocusPolicy(Qt::TabFocus);
  tabBar()->installEventFilter(this);
  installEventFilter(this);
  // A tab chosen another way (assistive technology presses it) goes to the
  // model too, which may refuse and so bring the old page back.
  connect(this, &QTabWidget::currentChanged, this, [this](int index) {
    if (!following_ && Control()) ChooseTab(index);
  });
}

QWidget* PageControlWidget::FocusTarget() {
  return tabBar();
}

int PageControlWidget::IndexOf(const vcl::TTabSheet* sheet) const {
  for (int i = 0; i < count(); ++i)
    if (auto* view = dynamic_cast<SheetWidget*>(widget(i)); view && view->Control() == sheet)
      return i;
  return -1;
}

void PageControlWidget::ChildViewAdded(ControlView* child) {
  auto* sheet = dynamic_cast<vcl::TTabSheet*>(child->Control());
  if (!sheet) {
    // Only sheets belong in a page control; anything else stays unshown.
    child->Widget()->hide();
    return;
  }
  following_ = true;
  const int at = std::min(std::max(sheet->PageIndex(), 0), count());
  insertTab(at, child->Widget(), QString::fromStdString(sheet->Caption()));
  following_ = false;
  SheetChanged(sheet);
  FollowActivePage();
}

QString PageControlWidget::PlainTabText(int index) const {
  auto* view = dynamic_cast<SheetWidget*>(widget(index));
  auto* sheet = view ? dynamic_cast<vcl::TTabSheet*>(view->Control()) : nullptr;
  return sheet ? ShownText(sheet->Font(), sheet->Caption()) : QString();
}

void PageControlWidget::SheetChanged(vcl::TTabSheet* sheet) {
  const int i = IndexOf(sheet);
  if (i < 0) return;
  const bool was = following_;
  following_ = true;  // hiding the current tab moves Qt's page, not the model's
  setTabEnabled(i, sheet->Enabled());
  setTabVisible(i, sheet->TabVisible());
  following_ = was;
  AssignMnemonics();
  FollowActivePage();
}

void PageControlWidget::AssignMnemonics() {
  QSet<QChar> taken;
  for (const QMenuBar* bar : window()->findChildren<QMenuBar*>())
    for (const QAction* action : bar->actions()) {
      const QString text = action->text();
      const qsizetype amp = text.indexOf(QLatin1Char('&'));
      if (amp >= 0 && amp + 1 < text.size()) taken.insert(text.at(amp + 1).toUpper());
    }
  for (int i = 0; i < count(); ++i) {
    QString text = PlainTabText(i);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    // Initials of words of three letters or more first, then any initial.
    qsizetype at = -1;
    for (int min_word = 3; min_word >= 1 && at < 0; min_word -= 2)
      for (qsizetype k = 0; k < text.size() && at < 0; ++k) {
        const bool word_start = k == 0 || text.at(k - 1).isSpace();
        qsizetype end = k;
        while (end < text.size() && !text.at(end).isSpace()) ++end;
        if (word_start && end - k >= min_word && text.at(k).isLetter() &&
            !taken.contains(text.at(k).toUpper()))
          at = k;
      }
    if (at >= 0) {
      taken.insert(text.at(at).toUpper());
      text.insert(at, QLatin1Char('&'));
    }
    if (tabText(i) != text) setTabText(i, text);
  }
}

void PageControlWidget::TurnPage(int step) {
  const int n = count();
  for (int k = 1; k < n; ++k) {
    const int i = (currentIndex() + (step < 0 ? n - k : k)) % n;
    if (isTabEnabled(i) && isTabVisible(i)) {
      ChooseTab(i);
      return;
    }
  }
}

void PageControlWidget::FollowActivePage() {
  auto* pages = dynamic_cast<vcl::TPageControl*>(Control());
  if (!pages) return;
  const int i = IndexOf(pages->ActivePage());
  if (i < 0 || i == currentIndex()) return;
  following_ = true;
  setCurrentIndex(i);
  following_ = false;
}

void PageControlWidget::ModelChanged(vcl::TChange what) {
  ControlView::ModelChanged(what);
  if (what == vcl::TChange::ActivePage) FollowActivePage();
}

void PageControlWidget::ChooseTab(int index) {
  auto* pages = dynamic_cast<vcl::TPageControl*>(Control());
  auto* sheet = dynamic_cast<SheetWidget*>(widget(index));
  if (!pages || !sheet) return;
  auto* model_sheet = dynamic_cast<vcl::TTabSheet*>(sheet->Control());
  if (!model_sheet) return;
  RunModelAction([pages, model_sheet] { pages->SelectTab(model_sheet); });
  FollowActivePage();
  if (vcl::TCustomForm* form = pages->ParentForm()) Owner().FollowFocus(form);
}

bool PageControlWidget::eventFilter(QObject* watched, QEvent* event) {
  if (!Control()) return QTabWidget::eventFilter(watched, event);
  if (watched == tabBar()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
          const int index = tabBar()->tabAt(mouse->position().toPoint());
          if (index >= 0 && index != currentIndex() && isTabEnabled(index))
            ChooseTab(index);
          else if (index >= 0)
            Owner().FocusArrived(dynamic_cast<vcl::TWinControl*>(Control()));
        }
        return true;
      }
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
        return true;
      case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) {
          const int step = key->key() == Qt::Key_Left ? -1 : 1;
          for (int i = currentIndex() + step; i >= 0 && i < count(); i += step)
            if (isTabEnabled(i) && isTabVisible(i)) {
              ChooseTab(i);
              break;
            }
          return true;
        }
        break;
      }
      case QEvent::Shortcut: {
        // A tab's mnemonic: the model changes the page, as for a click.
        auto* shortcut = static_cast<QShortcutEvent*>(event);
        for (int i = 0; i < count(); ++i)
          if (QKeySequence::mnemonic(tabText(i)) == shortcut->key()) {
            if (isTabEnabled(i) && isTabVisible(i) && i != currentIndex()) ChooseTab(i);
            return true;
          }
        break;
      }
      case QEvent::FocusIn: {
        auto* focus = static_cast<QFocusEvent*>(event);
        if (focus->reason() == Qt::TabFocusReason || focus->reason() == Qt::BacktabFocusReason)
          Owner().FocusArrived(dynamic_cast<vcl::TWinControl*>(Control()));
        break;
      }
      default:
        break;
    }
  }
  if (watched == this && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl_tab = (key->modifiers() & Qt::ControlModifier) &&
                          (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
                           key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown);
    if (ctrl_tab) {
      const bool back = key->key() == Qt::Key_Backtab || key->key() == Qt::Key_PageUp ||
                        (key->modifiers() & Qt::ShiftModifier);
      TurnPage(back ? -1 : 1);
      return true;
    }
  }
  return QTabWidget::eventFilter(watched, event);
}

SheetWidget::SheetWidget(ViewOwner& owner, vcl::TTabSheet* sheet, QWidget* parent)
    : ContainerWidget(owner, sheet, parent, false) {}

void SheetWidget::ModelChanged(vcl::TChange what) {
  auto* sheet = dynamic_cast<vcl::TTabSheet*>(Control());
  if (!sheet) return;
  switch (what) {
    case vcl::TChange::Caption:
    case vcl::TChange::Enabled:
    case vcl::TChange::Visible:
      // The tab widget shows and hides its pages; the sheet's state is its tab's.
      if (auto* pages = dynamic_cast<PageControlWidget*>(Owner().WidgetFor(sheet->PageControl())))
        pages->SheetChanged(sheet);
      if (what == vcl::TChange::Enabled) setEnabled(sheet->Enabled());
      break;
    default:
      ContainerWidget::ModelChanged(what);
  }
}

}  // namespace host
