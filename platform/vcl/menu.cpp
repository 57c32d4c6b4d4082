#include "vcl/menu.h"

#include <algorithm>

#include "rtl/exceptions.h"

namespace vcl {

TMenuItem::~TMenuItem() {
  NotifyDestroying(this);
  for (TMenuItem* item : items_) item->parent_ = nullptr;
  if (parent_) parent_->Remove(this);
}

void TMenuItem::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(TChange::Caption);
}

void TMenuItem::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed(TChange::Enabled);
}

void TMenuItem::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(TChange::Visible);
}

void TMenuItem::SetShortCut(TShortCut shortcut) {
  if (shortcut == shortcut_) return;
  shortcut_ = shortcut;
  Changed(TChange::Caption);  // shown with the caption
}

void TMenuItem::Add(TMenuItem* item) {
  if (!item || item->parent_ == this) return;
  for (const TMenuItem* p = this; p; p = p->parent_)
    if (p == item) throw rtl::Exception("Um item de menu não pode conter a si mesmo");
  if (item->parent_) item->parent_->Remove(item);
  item->parent_ = this;
  items_.push_back(item);
  Changed(TChange::Items);
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
  Changed(TChange::Items);
}

bool TMenuItem::Click() {
  for (const TMenuItem* p = this; p; p = p->parent_)
    if (!p->enabled_ || !p->visible_) return false;
  if (OnClick) OnClick(this);
  return true;
}

TMainMenu::TMainMenu(rtl::TComponent* owner)
    : rtl::TComponent(owner), items_(new TMenuItem(this)) {}

}  // namespace vcl
