#include "vcl/application.h"

#include <algorithm>
#include <atomic>

#include "vcl/user_interface.h"

namespace vcl {

HWND NewWindowHandle() {
  static std::atomic<HWND> next{0x100};
  return next++;
}

TApplication::TApplication() : rtl::TComponent(nullptr), handle_(NewWindowHandle()) {}

TApplication::~TApplication() {
  DestroyForms();
}

void TApplication::Adopt(TCustomForm* form) {
  if (!main_form_) main_form_ = form;
  form->AfterConstruction();
}

void TApplication::Release(TCustomForm* form) {
  if (!form || std::find(released_.begin(), released_.end(), form) != released_.end()) return;
  released_.push_back(form);
  form->FreeNotification(this);
}

void TApplication::ProcessMessages() {
  while (!released_.empty()) {
    TCustomForm* form = released_.front();
    released_.erase(released_.begin());
    form->RemoveFreeNotification(this);
    form->Free();
  }
}

void TApplication::DestroyForms() {
  ProcessMessages();
  for (;;) {
    TCustomForm* last = nullptr;
    for (int i = ComponentCount() - 1; i >= 0 && !last; --i)
      last = dynamic_cast<TCustomForm*>(Components(i));
    if (!last) break;
    last->Free();
  }
  main_form_ = nullptr;
}

void TApplication::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  if (operation != rtl::TOperation::opRemove) return;
  released_.erase(std::remove(released_.begin(), released_.end(), component), released_.end());
  if (component == main_form_) main_form_ = nullptr;
}

void TScreen::SetCursor(int cursor) {
  cursor_ = cursor;
  if (HasUserInterface()) UserInterface().CursorChanged(cursor);
}

TApplication& Application() {
  // Never destroyed: forms left at exit stay reachable and are not freed
  // during static destruction.
  static auto* application = new TApplication;
  return *application;
}

TScreen& Screen() {
  static auto* screen = new TScreen;
  return *screen;
}

int MessageBoxA(HWND /*owner*/, const char* text, const char* caption, unsigned flags) {
  return UserInterface().MessageBox(text ? text : "", caption ? caption : "", flags);
}

}  // namespace vcl
