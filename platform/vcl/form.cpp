#include "vcl/form.h"

#include "rtl/exceptions.h"
#include "vcl/application.h"

namespace vcl {

namespace {

// The container a focus climbs to when it leaves `control`: its parent, or
// nullptr when that is the form itself.
TWinControl* FocusParent(const TControl* control, const TCustomForm* form) {
  TWinControl* parent = control->Parent();
  return parent == form ? nullptr : parent;
}

TWinControl* FirstTabStop(const TWinControl* container) {
  for (TControl* child : container->Children()) {
    auto* win = dynamic_cast<TWinControl*>(child);
    if (!win || !win->Showing()) continue;
    if (win->TabStop() && win->CanFocus()) return win;
    if (TWinControl* inner = FirstTabStop(win)) return inner;
  }
  return nullptr;
}

}  // namespace

TCustomForm::TCustomForm(rtl::TComponent* owner) : TWinControl(owner), handle_(NewWindowHandle()) {
  visible_ = false;  // created hidden, shown with Show
}

TCustomForm::~TCustomForm() {
  focus_ = nullptr;
  pending_ = nullptr;
  if (Screen().ActiveForm() == this) Screen().SetActiveForm(nullptr);
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  if (style == form_style_) return;
  form_style_ = style;
  Changed(TChange::WindowState);
}

void TCustomForm::SetWindowState(TWindowState state) {
  if (state == window_state_) return;
  window_state_ = state;
  Changed(TChange::WindowState);
}

void TCustomForm::AfterConstruction() {
  if (created_) return;
  created_ = true;
  if (OnCreate) OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
  if (destroyed_) return;
  destroyed_ = true;
  if (OnDestroy) OnDestroy(this);
}

void TCustomForm::Free() {
  BeforeDestruction();
  delete this;
}

void TCustomForm::Show() {
  SetVisible(true);
  Screen().SetActiveForm(this);
  if (OnShow) OnShow(this);
  if (focus_) return;
  TWinControl* target = pending_ && pending_->CanFocus() ? pending_ : FirstTabStop(this);
  pending_ = nullptr;
  if (target) MoveFocus(target);
}

bool TCustomForm::CloseQuery() {
  bool can_close = true;
  if (OnCloseQuery) OnCloseQuery(this, can_close);
  return can_close;
}

bool TCustomForm::Close() {
  if (!CloseQuery()) return false;
  TCloseAction action =
      form_style_ == TFormStyle::fsMDIChild ? TCloseAction::caMinimize : TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  switch (action) {
    case TCloseAction::caNone:
      return false;
    case TCloseAction::caHide:
      Hide();
      break;
    case TCloseAction::caMinimize:
      SetWindowState(TWindowState::wsMinimized);
      break;
    case TCloseAction::caFree:
      Hide();
      if (auto* app = dynamic_cast<TApplication*>(Owner()))
        app->Release(this);
      else
        Application().Release(this);
      break;
  }
  return true;
}

TWinControl* TCustomForm::ActiveControl() const {
  return focus_ ? focus_ : pending_;
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == this) control = nullptr;
  if (control && control->ParentForm() != this)
    throw rtl::Exception("O controle não pertence a este formulário");
  if (!Visible()) {
    pending_ = control;
    return;
  }
  if (control)
    control->SetFocus();
  else
    MoveFocus(nullptr);
}

void TCustomForm::MoveFocus(TWinControl* target) {
  if (target == this) target = nullptr;
  const uint64_t move = ++focus_moves_;
  TWinControl* const before = focus_;
  struct Tell {
    TCustomForm* form;
    TWinControl* before;
    ~Tell() {
      if (form->focus_ != before) NotifyFocusChanged(form, before, form->focus_);
    }
  } tell{this, before};

  // Leave, innermost first, up to the container shared with the target. The
  // focus climbs only once a control's exit handler returned.
  while (focus_ && !(target && focus_->ContainsControl(target))) {
    TWinControl* leaving = focus_;
    leaving->DoExit();
    if (focus_moves_ != move) return;  // the handler moved the focus itself
    focus_ = FocusParent(leaving, this);
  }
  // Enter, outermost first. Each control holds the focus while its enter
  // handler runs.
  while (target && focus_ != target) {
    const TWinControl* from = focus_ ? focus_ : this;
    TWinControl* next = target;
    while (next->Parent() && next->Parent() != from) next = next->Parent();
    if (next->Parent() != from) return;  // target was taken off the form meanwhile
    focus_ = next;
    next->DoEnter();
    if (focus_moves_ != move) return;
  }
}

void TCustomForm::ForgetControl(TControl* control) {
  if (pending_)
    for (const TControl* c = pending_; c; c = c->Parent())
      if (c == control) {
        pending_ = nullptr;
        break;
      }
  for (const TControl* c = focus_; c; c = c->Parent()) {
    if (c != control) continue;
    TWinControl* const before = focus_;
    focus_ = FocusParent(control, this);
    ++focus_moves_;
    NotifyFocusChanged(this, before, focus_);
    return;
  }
}

void TCustomForm::Defocus(TControl* control) {
  bool inside = false;
  for (const TControl* c = focus_; c && !inside; c = c->Parent()) inside = c == control;
  if (!inside) return;
  TWinControl* target = FocusParent(control, this);
  while (target && !target->CanFocus()) target = FocusParent(target, this);
  MoveFocus(target);
}

}  // namespace vcl
