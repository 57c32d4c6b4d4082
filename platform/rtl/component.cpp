#include "rtl/component.h"

#include <algorithm>

#include "rtl/strings.h"

namespace rtl {

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertOwned(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  // Tell everyone who follows us, then forget them.
  std::vector<TComponent*> followers;
  followers.swap(free_notifies_);
  for (TComponent* f : followers) {
    auto& theirs = f->free_notifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    f->Notification(this, TOperation::opRemove);
  }
  while (!components_.empty()) {
    TComponent* last = components_.back();
    delete last;  // removes itself from components_
  }
  if (TComponent* owner = owner_) {
    owner->RemoveOwned(this);
    owner->Notification(this, TOperation::opRemove);
  }
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->Name(), name)) return c;
  return nullptr;
}

void TComponent::FreeNotification(TComponent* other) {
  if (!other || other == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), other) == free_notifies_.end())
    free_notifies_.push_back(other);
  if (std::find(other->free_notifies_.begin(), other->free_notifies_.end(), this) ==
      other->free_notifies_.end())
    other->free_notifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (!other) return;
  free_notifies_.erase(std::remove(free_notifies_.begin(), free_notifies_.end(), other),
                       free_notifies_.end());
  other->free_notifies_.erase(
      std::remove(other->free_notifies_.begin(), other->free_notifies_.end(), this),
      other->free_notifies_.end());
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::InsertOwned(TComponent* c) {
  c->owner_ = this;
  components_.push_back(c);
}

void TComponent::RemoveOwned(TComponent* c) {
  components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
  c->owner_ = nullptr;
}

}  // namespace rtl
