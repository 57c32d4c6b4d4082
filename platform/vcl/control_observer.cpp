#include "vcl/control_observer.h"

#include <algorithm>
#include <vector>

namespace vcl {

namespace {

// Never destroyed, so controls that outlive static destruction can still call.
std::vector<IControlObserver*>& Observers() {
  static auto* observers = new std::vector<IControlObserver*>;
  return *observers;
}

// Observers may register or unregister while being told; each call works on
// a copy of the list taken when it started.
template <class F>
void ForEach(F&& f) {
  if (Observers().empty()) return;
  const std::vector<IControlObserver*> copy = Observers();
  for (IControlObserver* o : copy) {
    auto& current = Observers();
    if (std::find(current.begin(), current.end(), o) != current.end()) f(o);
  }
}

}  // namespace

void AddControlObserver(IControlObserver* observer) {
  auto& list = Observers();
  if (observer && std::find(list.begin(), list.end(), observer) == list.end())
    list.push_back(observer);
}

void RemoveControlObserver(IControlObserver* observer) {
  auto& list = Observers();
  list.erase(std::remove(list.begin(), list.end(), observer), list.end());
}

void NotifyChanged(rtl::TComponent* component, TChange what) {
  ForEach([&](IControlObserver* o) { o->Changed(component, what); });
}

void NotifyChildAdded(TWinControl* parent, TControl* child) {
  ForEach([&](IControlObserver* o) { o->ChildAdded(parent, child); });
}

void NotifyChildRemoved(TWinControl* parent, TControl* child) {
  ForEach([&](IControlObserver* o) { o->ChildRemoved(parent, child); });
}

void NotifyFocusChanged(TCustomForm* form, TWinControl* old_focus, TWinControl* new_focus) {
  ForEach([&](IControlObserver* o) { o->FocusChanged(form, old_focus, new_focus); });
}

void NotifyDestroying(rtl::TComponent* component) {
  ForEach([&](IControlObserver* o) { o->Destroying(component); });
}

}  // namespace vcl
