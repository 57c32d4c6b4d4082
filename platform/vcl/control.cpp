#include "vcl/control.h"

#include <algorithm>

#include "rtl/exceptions.h"
#include "vcl/form.h"

namespace vcl {

TControl::TControl(rtl::TComponent* owner) : rtl::TComponent(owner) {
  font_.OnChange = [this] { Changed(TChange::Font); };
}

TControl::~TControl() {
  NotifyDestroying(this);
  if (parent_) LeaveParent();
}

TWinControl* TControl::LeaveParent() {
  TWinControl* old = parent_;
  if (TCustomForm* form = ParentForm()) form->ForgetControl(this);
  auto& siblings = old->children_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  parent_ = nullptr;
  old->ControlRemoved(this);
  return old;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (auto* self = dynamic_cast<TWinControl*>(this);
      self && parent && self->ContainsControl(parent))
    throw rtl::Exception("Um controle não pode ser colocado dentro de si mesmo");
  if (parent_) {
    TWinControl* old = LeaveParent();
    NotifyChildRemoved(old, this);
    if (align_ != TAlign::alNone) old->Realign();
  }
  if (parent) {
    parent_ = parent;
    parent->children_.push_back(this);
    parent->ControlInserted(this);
    NotifyChildAdded(parent, this);
    if (align_ != TAlign::alNone) parent->Realign();
  }
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed(TChange::Enabled);
  if (!enabled)
    if (TCustomForm* form = ParentForm(); form && form != this) form->Defocus(this);
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(TChange::Visible);
  if (parent_ && align_ != TAlign::alNone) parent_->Realign();
  if (!visible)
    if (TCustomForm* form = ParentForm(); form && form != this) form->Defocus(this);
}

bool TControl::Showing() const {
  if (!visible_ || !parent_) return false;
  return parent_->ShowsChild(this) && parent_->Showing();
}

bool TControl::EnabledChain() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed(TChange::Bounds);
  if (resized)
    if (auto* self = dynamic_cast<TWinControl*>(this)) self->Realign();
  if (parent_ && align_ != TAlign::alNone) parent_->Realign();
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  Changed(TChange::Align);
  if (parent_) parent_->Realign();
}

void TControl::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(TChange::Caption);
}

void TControl::SetHint(std::string hint) {
  if (hint == hint_) return;
  hint_ = std::move(hint);
  Changed(TChange::Hint);
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed(TChange::Color);
}

TCustomForm* TControl::ParentForm() const {
  const TControl* top = this;
  while (top->parent_) top = top->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(top));
}

TWinControl::TWinControl(rtl::TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // The focus must leave before the children lose their way up to the form.
  if (TCustomForm* form = ParentForm(); form && form != this) form->ForgetControl(this);
  for (TControl* child : children_) child->parent_ = nullptr;
  children_.clear();
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

bool TWinControl::CanFocus() const {
  const TCustomForm* form = ParentForm();
  return form && Showing() && EnabledChain();
}

void TWinControl::SetFocus() {
  if (!CanFocus())
    throw rtl::Exception("Não é possível focar uma janela desabilitada ou invisível");
  TCustomForm* form = ParentForm();
  if (form == this) return;
  form->MoveFocus(this);
}

bool TWinControl::Focused() const {
  const TCustomForm* form = ParentForm();
  return form && form != this && form->focus_ == this;
}

void TWinControl::Realign() {
  if (aligning_) return;
  aligning_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{aligning_};
  TRect r{0, 0, Width(), Height()};
  for (TAlign pass :
       {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    for (TControl* c : children_) {
      if (c->Align() != pass || !c->Visible()) continue;
      // Aligned children keep their own height (top, bottom) or width (left,
      // right), even when the container is too small for them.
      const int w = c->Width();
      const int h = c->Height();
      switch (pass) {
        case TAlign::alTop:
          c->SetBounds(r.Left, r.Top, r.Width(), h);
          r.Top += h;
          break;
        case TAlign::alBottom:
          c->SetBounds(r.Left, r.Bottom - h, r.Width(), h);
          r.Bottom -= h;
          break;
        case TAlign::alLeft:
          c->SetBounds(r.Left, r.Top, w, r.Height());
          r.Left += w;
          break;
        case TAlign::alRight:
          c->SetBounds(r.Right - w, r.Top, w, r.Height());
          r.Right -= w;
          break;
        case TAlign::alClient:
          c->SetBounds(r.Left, r.Top, r.Width(), r.Height());
          break;
        case TAlign::alNone:
          break;
      }
    }
  }
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

}  // namespace vcl
