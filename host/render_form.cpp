#include "render_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QResizeEvent>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "glyph_icons.h"
#include "grid_view.h"
#include "model_call.h"
#include "qt_canvas.h"
#include "render_containers.h"
#include "render_pages.h"
#include "vcl/db_grid.h"
#include "vcl/form.h"
#include "vcl/menu.h"
#include "vcl/page_control.h"

namespace host {

namespace {

// The Qt key of a menu item's shortcut; empty for none or for a key the
// host does not know.
QKeySequence KeyOf(vcl::TShortCut shortcut) {
  const int vk = shortcut & 0xFF;
  int key = 0;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
    key = vk;
  else if (vk >= 0x70 && vk <= 0x7B)
    key = Qt::Key_F1 + (vk - 0x70);
  else if (vk == vcl::VK_INSERT)
    key = Qt::Key_Insert;
  else if (vk == vcl::VK_DELETE)
    key = Qt::Key_Delete;
  if (key == 0) return {};
  if (shortcut & vcl::scShift) key |= Qt::SHIFT;
  if (shortcut & vcl::scCtrl) key |= Qt::CTRL;
  if (shortcut & vcl::scAlt) key |= Qt::ALT;
  return QKeySequence(key);
}

}  // namespace

// The form's client area: lays out the form's controls and reports its size
// to the model.
class FormClient : public QWidget {
 public:
  FormClient(FormView* view, QWidget* parent) : QWidget(parent), view_(view) {
    setFocusPolicy(Qt::NoFocus);
  }
  QSize sizeHint() const override {
    const vcl::TCustomForm* form = view_->Form();
    return form ? QSize(form->Width(), form->Height()) : QSize(761, 470);
  }

 protected:
  void resizeEvent(QResizeEvent*) override {
    vcl::TCustomForm* form = view_->Form();
    if (!form) return;
    if (!view_->Following() && (form->Width() != width() || form->Height() != height()))
      RunModelAction(
          [form, this] { form->SetBounds(form->Left(), form->Top(), width(), height()); });
    view_->LayoutChildren();
  }
  void paintEvent(QPaintEvent*) override {
    if (const vcl::TCustomForm* form = view_->Form())
      QPainter(this).fillRect(rect(), ToQColor(form->Color()));
  }

 private:
  FormView* view_;
};

FormView::FormView(ViewOwner& owner, vcl::TCustomForm* form, QMdiArea* area)
    : WidgetView(owner, form, nullptr) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowIcon(WindowIcon());
  content_ = new QWidget(this);
  auto* layout = new QVBoxLayout(content_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  menu_bar_ = new QMenuBar(content_);
  menu_bar_->setNativeMenuBar(false);
  layout->setMenuBar(menu_bar_);
  client_ = new FormClient(this, content_);
  layout->addWidget(client_, 1);
  setWidget(content_);
  area->addSubWindow(this);
  AddWindowKeys();
  connect(this, &QMdiSubWindow::windowStateChanged, this,
          [this](Qt::WindowStates, Qt::WindowStates now) {
            vcl::TCustomForm* f = Form();
            if (!f || following_ || !isVisible()) return;
            const vcl::TWindowState state =
                (now & Qt::WindowMinimized)   ? vcl::TWindowState::wsMinimized
                : (now & Qt::WindowMaximized) ? vcl::TWindowState::wsMaximized
                                              : vcl::TWindowState::wsNormal;
            if (state != f->WindowState()) RunModelAction([f, state] { f->SetWindowState(state); });
          });
}

FormView::~FormView() {
  // The base window still changes state while it goes; this part is gone then.
  disconnect(this, &QMdiSubWindow::windowStateChanged, this, nullptr);
  // A detached view has already left the renderer, which may be gone by now.
  if (Control()) Owner().ForgetMenuItems(this);
}

void FormView::AddWindowKeys() {
  const auto add = [this](QKeyCombination key, auto run) {
    auto* shortcut = new QShortcut(QKeySequence(key), content_);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, run);
  };
  add(Qt::CTRL | Qt::Key_Tab, [this] { TurnPage(1); });
  add(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, [this] { TurnPage(-1); });
  add(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, [this] { TurnPage(-1); });
  add(Qt::CTRL | Qt::Key_PageDown, [this] { TurnPage(1); });
  add(Qt::CTRL | Qt::Key_PageUp, [this] { TurnPage(-1); });
  add(QKeyCombination(Qt::Key_F6), [this] { NextPanel(1); });
  add(Qt::SHIFT | Qt::Key_F6, [this] { NextPanel(-1); });
}

void FormView::TurnPage(int step) {
  vcl::TCustomForm* form = Form();
  if (!form) return;
  // The page control around the focus; else the form's first one.
  PageControlWidget* pages = nullptr;
  for (vcl::TControl* c = form->ActiveControl(); c && !pages; c = c->Parent())
    if (dynamic_cast<vcl::TPageControl*>(c))
      pages = dynamic_cast<PageControlWidget*>(Owner().WidgetFor(c));
  if (!pages) pages = client_->findChild<PageControlWidget*>();
  if (pages) pages->TurnPage(step);
}

void FormView::NextPanel(int step) {
  vcl::TCustomForm* form = Form();
  if (!form) return;
  // The grids the model would let the focus reach now, in reading order.
  std::vector<GridView*> grids;
  for (GridView* view : client_->findChildren<GridView*>())
    if (view->Grid() && view->Grid()->CanFocus()) grids.push_back(view);
  if (grids.empty()) return;
  const auto above = [](GridView* a, GridView* b) {
    const QPoint pa = a->mapTo(a->window(), QPoint()), pb = b->mapTo(b->window(), QPoint());
    return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
  };
  std::sort(grids.begin(), grids.end(), above);
  const int n = static_cast<int>(grids.size());
  int current = -1;
  for (int i = 0; i < n; ++i)
    if (grids[i]->Grid()->Focused()) current = i;
  const int next = current < 0 ? (step > 0 ? 0 : n - 1) : (current + step + n) % n;
  vcl::TDBGrid* grid = grids[next]->Grid();
  Act([grid] { grid->SetFocus(); });
}

vcl::TCustomForm* FormView::Form() const {
  return dynamic_cast<vcl::TCustomForm*>(Control());
}

QWidget* FormView::ChildHost() {
  return client_;
}

QWidget* FormView::FocusTarget() {
  return client_;
}

void FormView::LayoutChildren() {
  if (vcl::TCustomForm* form = Form()) PlaceAlignedChildren(Owner(), form, client_->rect());
}

void FormView::BuildContents() {
  vcl::TCustomForm* form = Form();
  for (vcl::TControl* child : form->Children()) Owner().Build(child, client_);
  BuildMenu();
  ResizeToModel();
  LayoutChildren();
}

void FormView::ResizeToModel() {
  vcl::TCustomForm* form = Form();
  if (!form || form->Width() <= 0 || form->Height() <= 0) return;
  const QSize want(form->Width(), form->Height());
  following_ = true;
  // The frame (title bar, borders, menu bar) is known once laid out; the
  // second round corrects the first.
  for (int round = 0; round < 3 && client_->size() != want; ++round) {
    content_->layout()->activate();
    if (client_->size() == want) break;
    resize(size() + want - client_->size());
    content_->layout()->activate();
  }
  following_ = false;
}

void FormView::ApplyWindowState() {
  vcl::TCustomForm* form = Form();
  if (!form || !form->Visible()) return;
  following_ = true;
  switch (form->WindowState()) {
    case vcl::TWindowState::wsNormal:
      if (isMaximized() || isMinimized())
        showNormal();
      else
        show();
      break;
    case vcl::TWindowState::wsMinimized:
      showMinimized();
      break;
    case vcl::TWindowState::wsMaximized:
      showMaximized();
      break;
  }
  following_ = false;
}

void FormView::ModelChanged(vcl::TChange what) {
  vcl::TCustomForm* form = Form();
  if (!form) return;
  switch (what) {
    case vcl::TChange::Caption:
      setWindowTitle(QString::fromStdString(form->Caption()));
      break;
    case vcl::TChange::Visible:
      if (form->Visible()) {
        ApplyWindowState();
        if (form->WindowState() == vcl::TWindowState::wsNormal) ResizeToModel();
        if (mdiArea()) mdiArea()->setActiveSubWindow(this);
        raise();
      } else {
        hide();
      }
      break;
    case vcl::TChange::WindowState:
      ApplyWindowState();
      break;
    case vcl::TChange::Bounds:
      if (!isMaximized() && !isMinimized() &&
          client_->size() != QSize(form->Width(), form->Height()))
        ResizeToModel();
      break;
    case vcl::TChange::Enabled:
      client_->setEnabled(form->Enabled());
      break;
    case vcl::TChange::Font:
    case vcl::TChange::Color:
      client_->update();
      break;
    default:
      break;
  }
}

void FormView::closeEvent(QCloseEvent* event) {
  event->ignore();
  vcl::TCustomForm* form = Form();
  if (!form) {
    event->accept();
    return;
  }
  RunModelAction([form] { form->Close(); });
}

void FormView::changeEvent(QEvent* event) {
  vcl::TCustomForm* form = Form();
  if (event->type() != QEvent::WindowStateChange || !form) {
    QMdiSubWindow::changeEvent(event);
    return;
  }
  // Qt hides and shows the window while it maximises or restores it, and the
  // hidden grid hands its focus to the next one: the person did not move, so
  // the model keeps its focus and Qt's goes back there.
  Owner().HoldFocus([this, event] { QMdiSubWindow::changeEvent(event); });
  if (isVisible() && mdiArea() && mdiArea()->activeSubWindow() == this) Owner().FollowFocus(form);
}

QAction* FormView::ActionFor(const vcl::TMenuItem* item) const {
  auto it = actions_.find(item);
  return it == actions_.end() ? nullptr : it->second;
}

void FormView::BuildMenu() {
  Owner().ForgetMenuItems(this);
  actions_.clear();
  menu_bar_->clear();
  qDeleteAll(menu_bar_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly));
  vcl::TCustomForm* form = Form();
  vcl::TMainMenu* menu = form ? form->Menu() : nullptr;
  menu_bar_->setVisible(menu != nullptr);
  if (!menu) return;
  Owner().RegisterMenuItem(&menu->Items(), this);
  AddMenuItems(&menu->Items(), menu_bar_);
  // The tabs' mnemonics keep clear of the menu's.
  for (PageControlWidget* pages : client_->findChildren<PageControlWidget*>())
    pages->AssignMnemonics();
}

void FormView::AddMenuItems(vcl::TMenuItem* parent, QWidget* menu) {
  for (int i = 0; i < parent->Count(); ++i) {
    vcl::TMenuItem* item = parent->Items(i);
    QAction* action = nullptr;
    if (item->Count() > 0) {
      auto* sub = new QMenu(QString::fromStdString(item->Caption()), menu);
      action = sub->menuAction();
      if (menu == menu_bar_)
        connect(sub, &QMenu::aboutToHide, this, [this] {
          // Once the menu is gone (Esc keeps Qt's menu bar holding the
          // keyboard), the keyboard goes back where the model's focus is.
          QTimer::singleShot(0, this, [this] { GiveKeyboardBack(); });
        });
      AddMenuItems(item, sub);
    } else if (item->Caption() == "-") {
      action = new QAction(menu);
      action->setSeparator(true);
    } else {
      action = new QAction(QString::fromStdString(item->Caption()), menu);
      connect(action, &QAction::triggered, this, [this, item] {
        if (actions_.count(item)) Act([item] { item->Click(); });
      });
    }
    menu->addAction(action);
    actions_[item] = action;
    Owner().RegisterMenuItem(item, this);
    SyncAction(item);
  }
}

void FormView::GiveKeyboardBack() {
  vcl::TCustomForm* form = Form();
  if (!form || QApplication::activePopupWidget() || !menu_bar_->hasFocus()) return;
  Owner().FollowFocus(form);
}

void FormView::SyncAction(vcl::TMenuItem* item) {
  QAction* action = ActionFor(item);
  if (!action) return;
  action->setText(QString::fromStdString(item->Caption()));
  action->setShortcut(KeyOf(item->ShortCut()));
  action->setEnabled(item->Enabled());
  action->setVisible(item->Visible());
}

void FormView::MenuItemChanged(vcl::TMenuItem* item, vcl::TChange what) {
  if (what == vcl::TChange::Items) {
    BuildMenu();
    return;
  }
  SyncAction(item);
}

void FormView::MenuItemDestroyed(vcl::TMenuItem* item) {
  if (QAction* action = ActionFor(item)) {
    actions_.erase(item);
    action->setVisible(false);
  }
}

}  // namespace host
