// TCustomForm and TForm: a window of the application, and the owner of the
// focus of everything placed on it.
//
// Focus moves (SetFocus, SetActiveControl, a page change, a grid click) go
// through the form: it fires OnExit on every control and container the focus
// leaves, innermost first, up to the container shared with the new control,
// then OnEnter on every one it reaches, outermost first. A handler that throws
// stops the move where it is: the control whose exit handler threw keeps the
// focus (so a throwing exit of the focused control means nothing moved), and
// a control whose enter handler threw holds the focus. The exception passes to
// the caller. A handler that moves the focus itself ends the move it runs in.
//
// Lifetime: construct, then AfterConstruction() (fires OnCreate; CreateForm
// does both); BeforeDestruction() fires OnDestroy while the derived form is
// still whole, and Free() does it and deletes the form. Close() asks
// CloseQuery, then OnClose decides what happens (hide, minimise, free, nothing).
#pragma once

#include <cstdint>
#include <functional>

#include "vcl/control.h"

namespace vcl {

class TMainMenu;

// Window handle: an opaque number identifying a form or the application window.
using HWND = std::uintptr_t;

enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseQueryEvent = std::function<void(rtl::TObject* sender, bool& can_close)>;
using TCloseEvent = std::function<void(rtl::TObject* sender, TCloseAction& action)>;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(rtl::TComponent* owner);
  ~TCustomForm() override;

  HWND Handle() const { return handle_; }

  TFormStyle FormStyle() const { return form_style_; }
  void SetFormStyle(TFormStyle style);
  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState state);
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* menu) { menu_ = menu; }

  // Fires OnCreate once.
  virtual void AfterConstruction();
  // Fires OnDestroy once.
  virtual void BeforeDestruction();
  // BeforeDestruction, then delete.
  void Free();

  // Shows the form (OnShow) and, when nothing holds the focus yet, gives it
  // to ActiveControl or else to the first control in child order that has
  // TabStop and can take the focus.
  void Show();
  // Runs CloseQuery; when it allows, OnClose with the default action (hide;
  // minimise for an MDI child), then acts on the action. caFree hides the form
  // and hands it to its owning TApplication (else Application()) to Release,
  // which frees it outside the running handler.
  // Returns whether the form closed.
  bool Close();
  // OnCloseQuery; derived forms override it to ask before losing work.
  virtual bool CloseQuery();

  // The focused control (before the form is shown: the one that will get the
  // focus), or nullptr.
  TWinControl* ActiveControl() const;
  // Moves the focus to `control` (nullptr: to the form itself); before the
  // form is shown it only records where the focus will go.
  void SetActiveControl(TWinControl* control);

  // A form is showing while it is visible.
  bool Showing() const override { return Visible(); }

  TNotifyEvent OnCreate, OnDestroy, OnShow;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;

 private:
  friend class TWinControl;
  friend class TControl;
  // Moves the focus to `target` (nullptr: the form), firing exits and enters.
  void MoveFocus(TWinControl* target);
  // `control` leaves the form or goes away: a focus inside it drops to its
  // parent without events.
  void ForgetControl(TControl* control);
  // `control` was hidden or disabled: a focus inside it moves to its parent.
  void Defocus(TControl* control);

  HWND handle_;
  TFormStyle form_style_ = TFormStyle::fsNormal;
  TWindowState window_state_ = TWindowState::wsNormal;
  TMainMenu* menu_ = nullptr;
  TWinControl* focus_ = nullptr;    // innermost entered control
  TWinControl* pending_ = nullptr;  // ActiveControl set before Show
  uint64_t focus_moves_ = 0;        // counts moves, so a nested move ends the outer one
  bool created_ = false;
  bool destroyed_ = false;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

}  // namespace vcl
