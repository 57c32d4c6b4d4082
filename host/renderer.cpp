#include "renderer.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QWidget>

#include "model_call.h"
#include "render_form.h"
#include "vcl/form.h"
#include "vcl/menu.h"
#include "view_factory.h"

namespace host {

Renderer::Renderer(QMdiArea* area) : area_(area) {
  vcl::AddControlObserver(this);
}

Renderer::~Renderer() {
  vcl::RemoveControlObserver(this);
  // Views still standing lose their way to the renderer before it goes.
  for (auto& [control, view] : views_) view->control_ = nullptr;
  views_.clear();
}

void Renderer::Register(ControlView* view) {
  views_[view->control_] = view;
}

void Renderer::Forget(ControlView* view) {
  auto it = views_.find(view->control_);
  if (it != views_.end() && it->second == view) views_.erase(it);
  view->control_ = nullptr;
}

ControlView* Renderer::ViewFor(const vcl::TControl* control) const {
  auto it = views_.find(control);
  return it == views_.end() ? nullptr : it->second;
}

QWidget* Renderer::WidgetFor(const vcl::TControl* control) const {
  ControlView* view = ViewFor(control);
  return view ? view->Widget() : nullptr;
}

QMdiSubWindow* Renderer::SubWindowFor(const vcl::TCustomForm* form) const {
  return dynamic_cast<QMdiSubWindow*>(WidgetFor(form));
}

vcl::TCustomForm* Renderer::FormFor(const QMdiSubWindow* window) const {
  auto* view = dynamic_cast<const FormView*>(window);
  return view ? view->Form() : nullptr;
}

std::vector<vcl::TCustomForm*> Renderer::Forms() const {
  std::vector<vcl::TCustomForm*> forms;
  for (const auto& [control, view] : views_)
    if (auto* form = dynamic_cast<FormView*>(view); form && form->Form())
      forms.push_back(form->Form());
  return forms;
}

void Renderer::Detach(ControlView* view) {
  QWidget* widget = view->Widget();
  for (auto it = views_.begin(); it != views_.end();) {
    ControlView* v = it->second;
    if (v == view || widget->isAncestorOf(v->Widget())) {
      v->control_ = nullptr;
      it = views_.erase(it);
    } else {
      ++it;
    }
  }
  view->control_ = nullptr;
  if (auto* form = dynamic_cast<FormView*>(view)) ForgetMenuItems(form);
  widget->hide();
  widget->deleteLater();
}

ControlView* Renderer::Build(vcl::TControl* control, QWidget* parent) {
  if (ControlView* old = ViewFor(control)) Detach(old);
  ControlView* view = MakeView(*this, control, parent);
  if (auto* win = dynamic_cast<vcl::TWinControl*>(control); win && view->ChildHost()) {
    for (vcl::TControl* child : win->Children()) {
      ControlView* child_view = Build(child, view->ChildHost());
      view->ChildViewAdded(child_view);
    }
  }
  view->SyncAll();
  view->LayoutChildren();
  return view;
}

void Renderer::BuildForm(vcl::TCustomForm* form) {
  auto* view = new FormView(*this, form, area_);
  view->BuildContents();
  view->SyncAll();
  FollowFocus(form);
}

void Renderer::LayoutParentOf(vcl::TControl* control) {
  if (!control->Parent()) return;
  if (ControlView* parent = ViewFor(control->Parent())) parent->LayoutChildren();
}

void Renderer::Changed(rtl::TComponent* component, vcl::TChange what) {
  if (auto* item = dynamic_cast<vcl::TMenuItem*>(component)) {
    if (auto it = menu_items_.find(item); it != menu_items_.end())
      it->second->MenuItemChanged(item, what);
    return;
  }
  auto* control = dynamic_cast<vcl::TControl*>(component);
  if (!control) return;
  ControlView* view = ViewFor(control);
  if (!view) {
    auto* form = dynamic_cast<vcl::TCustomForm*>(control);
    if (form && what == vcl::TChange::Visible && form->Visible()) BuildForm(form);
    return;
  }
  view->ModelChanged(what);
  if (what == vcl::TChange::Bounds || what == vcl::TChange::Align || what == vcl::TChange::Visible)
    LayoutParentOf(control);
}

void Renderer::ChildAdded(vcl::TWinControl* parent, vcl::TControl* child) {
  ControlView* parent_view = ViewFor(parent);
  if (!parent_view || !parent_view->ChildHost()) return;
  ControlView* child_view = Build(child, parent_view->ChildHost());
  parent_view->ChildViewAdded(child_view);
  parent_view->LayoutChildren();
}

void Renderer::ChildRemoved(vcl::TWinControl* parent, vcl::TControl* child) {
  if (ControlView* view = ViewFor(child)) Detach(view);
  if (ControlView* parent_view = ViewFor(parent)) parent_view->LayoutChildren();
}

void Renderer::FocusChanged(vcl::TCustomForm* form, vcl::TWinControl*, vcl::TWinControl*) {
  if (ViewFor(form)) FollowFocus(form);
}

void Renderer::Destroying(rtl::TComponent* component) {
  if (auto* item = dynamic_cast<vcl::TMenuItem*>(component)) {
    if (auto it = menu_items_.find(item); it != menu_items_.end()) {
      FormView* form = it->second;
      menu_items_.erase(it);
      form->MenuItemDestroyed(item);
    }
    return;
  }
  auto* control = dynamic_cast<vcl::TControl*>(component);
  if (!control) return;
  if (ControlView* view = ViewFor(control)) {
    vcl::TWinControl* parent = control->Parent();
    Detach(view);
    if (parent)
      if (ControlView* parent_view = ViewFor(parent)) parent_view->LayoutChildren();
  }
}

void Renderer::FocusArrived(vcl::TWinControl* control) {
  if (moving_focus_ || !control) return;
  vcl::TCustomForm* form = control->ParentForm();
  if (!form) return;
  if (!control->Focused() && control->CanFocus())
    RunModelAction([control] { control->SetFocus(); });
  // Whatever the handlers did, Qt's focus goes where the model's is, once the
  // current event is over.
  QPointer<QWidget> form_widget = WidgetFor(form);
  QTimer::singleShot(0, &deferred_, [this, form, form_widget] {
    if (form_widget && ViewFor(form)) FollowFocus(form);
  });
}

void Renderer::HoldFocus(const std::function<void()>& change) {
  const bool was = moving_focus_;
  moving_focus_ = true;
  try {
    change();
  } catch (...) {
    moving_focus_ = was;
    throw;
  }
  moving_focus_ = was;
}

void Renderer::FollowFocus(vcl::TCustomForm* form) {
  ControlView* form_view = ViewFor(form);
  if (!form_view || !form->Visible()) return;
  QWidget* target = nullptr;
  for (vcl::TControl* c = form->ActiveControl(); c && !target; c = c->Parent())
    if (ControlView* v = ViewFor(c)) target = v->FocusTarget();
  if (!target) target = form_view->FocusTarget();
  if (!target || target->hasFocus()) return;
  moving_focus_ = true;
  target->setFocus(Qt::OtherFocusReason);
  moving_focus_ = false;
}

void Renderer::RegisterMenuItem(vcl::TMenuItem* item, FormView* form) {
  menu_items_[item] = form;
}

void Renderer::ForgetMenuItems(FormView* form) {
  for (auto it = menu_items_.begin(); it != menu_items_.end();)
    it = it->second == form ? menu_items_.erase(it) : std::next(it);
}

}  // namespace host
