#include "render_form.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "glyph_icons.h"
#include "model_call.h"
#include "qt_canvas.h"
#include "render_containers.h"
#include "vcl/form.h"
#include "vcl/menu.h"

namespace host {

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
}

void FormView::AddMenuItems(vcl::TMenuItem* parent, QWidget* menu) {
  for (int i = 0; i < parent->Count(); ++i) {
    vcl::TMenuItem* item = parent->Items(i);
    QAction* action = nullptr;
    if (item->Count() > 0) {
      auto* sub = new QMenu(QString::fromStdString(item->Caption()), menu);
      action = sub->menuAction();
      AddMenuItems(item, sub);
    } else if (item->Caption() == "-") {
      action = new QAction(menu);
      action->setSeparator(true);
    } else {
      action = new QAction(QString::fromStdString(item->Caption()), menu);
      connect(action, &QAction::triggered, this, [this, item] {
        if (actions_.count(item)) RunModelAction([item] { item->Click(); });
      });
    }
    menu->addAction(action);
    actions_[item] = action;
    Owner().RegisterMenuItem(item, this);
    SyncAction(item);
  }
}

void FormView::SyncAction(vcl::TMenuItem* item) {
  QAction* action = ActionFor(item);
  if (!action) return;
  action->setText(QString::fromStdString(item->Caption()));
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
