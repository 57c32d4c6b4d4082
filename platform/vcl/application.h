// TApplication, TScreen and MessageBoxA: the process-wide objects of the
// user interface.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "rtl/component.h"
#include "vcl/form.h"

namespace vcl {

// The application object: owns the forms made with CreateForm and stands for
// the application window (Handle) that owns message boxes.
class TApplication : public rtl::TComponent {
 public:
  TApplication();
  ~TApplication() override;

  HWND Handle() const { return handle_; }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  // The first form made with CreateForm.
  TCustomForm* MainForm() const { return main_form_; }

  // Makes a form of type T owned by the application: constructs it with the
  // application as owner, then runs AfterConstruction (OnCreate). The first
  // one becomes the main form.
  template <class T, class... Args>
  T* CreateForm(Args&&... args) {
    T* form = new T(this, std::forward<Args>(args)...);
    Adopt(form);
    return form;
  }

  // Frees `form` the next time ProcessMessages runs (outside any handler of
  // the form). Releasing a form twice frees it once.
  void Release(TCustomForm* form);
  // Frees the released forms.
  void ProcessMessages();
  // Frees every form the application owns (OnDestroy first), last made first.
  void DestroyForms();

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  void Adopt(TCustomForm* form);
  HWND handle_;
  std::string title_;
  TCustomForm* main_form_ = nullptr;
  std::vector<TCustomForm*> released_;
};

// The screen: the mouse cursor shown over the application and the form last
// shown.
class TScreen {
 public:
  int Cursor() const { return cursor_; }
  // Tells the installed user-interface service (when there is one).
  void SetCursor(int cursor);
  TCustomForm* ActiveForm() const { return active_form_; }
  void SetActiveForm(TCustomForm* form) { active_form_ = form; }

 private:
  int cursor_ = 0;
  TCustomForm* active_form_ = nullptr;
};

TApplication& Application();
TScreen& Screen();

// A new window handle, unique in the process.
HWND NewWindowHandle();

// The platform message box, answered by the installed user-interface service
// (IUserInterface::MessageBox). `owner` names the owning window; null texts
// count as empty. Returns IDYES, IDNO, IDOK or IDCANCEL.
int MessageBoxA(HWND owner, const char* text, const char* caption, unsigned flags);

}  // namespace vcl
