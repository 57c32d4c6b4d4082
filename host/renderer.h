// Renderer: keeps real Qt widgets in step with the headless control model.
//
// It observes every control of the process. A form gets its widgets the
// first time it is shown (an MDI sub-window of the area given), and from then
// on every change of it or of anything placed on it is mirrored: controls
// added, removed or destroyed, captions, enabled and visible states, bounds
// and alignment, fonts, colours, active pages, window states, menus, grids
// and focus. The person's actions go the other way, always through the
// model (a click runs the model's Click, a tab click its SelectTab, a focus
// arriving by mouse or Tab its SetFocus), so the model's handlers decide and
// the widgets then follow what the model did.
//
// A view whose control goes away is detached at once (it never touches the
// model again) and deleted from the event loop, so a handler may destroy
// controls while one of their widgets is still running an event.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <vector>

#include "control_view.h"
#include "vcl/control_observer.h"

class QMdiArea;
class QMdiSubWindow;

namespace host {

// Owns every view and keeps them in step with the model.
class Renderer : public vcl::IControlObserver, public ViewOwner {
 public:
  explicit Renderer(QMdiArea* area);
  ~Renderer() override;

  QMdiArea* Area() const { return area_; }
  ControlView* ViewFor(const vcl::TControl* control) const;
  QWidget* WidgetFor(const vcl::TControl* control) const override;
  // The sub-window showing `form`, or nullptr.
  QMdiSubWindow* SubWindowFor(const vcl::TCustomForm* form) const;
  // The form shown in `window`, or nullptr.
  vcl::TCustomForm* FormFor(const QMdiSubWindow* window) const;
  std::vector<vcl::TCustomForm*> Forms() const;

  // Makes the view of `control` (and of everything inside it) in `parent`.
  ControlView* Build(vcl::TControl* control, QWidget* parent) override;
  // The person moved Qt's focus to `control`'s widget: moves the model's
  // focus there; afterwards Qt's focus follows wherever the model put it.
  void FocusArrived(vcl::TWinControl* control) override;
  // Puts Qt's focus where the model's focus of `form` is.
  void FollowFocus(vcl::TCustomForm* form) override;
  // True while the renderer itself is moving Qt's focus.
  bool MovingFocus() const { return moving_focus_; }
  // Runs `change`, during which Qt moves the focus on its own (a window
  // hidden and shown again): no focus arriving meanwhile is the person's, so
  // the model's focus stays where it is.
  void HoldFocus(const std::function<void()>& change) override;

  // Menu items shown by a form's menu bar.
  void RegisterMenuItem(vcl::TMenuItem* item, FormView* form) override;
  void ForgetMenuItems(FormView* form) override;

  // IControlObserver.
  void Changed(rtl::TComponent* component, vcl::TChange what) override;
  void ChildAdded(vcl::TWinControl* parent, vcl::TControl* child) override;
  void ChildRemoved(vcl::TWinControl* parent, vcl::TControl* child) override;
  void FocusChanged(vcl::TCustomForm* form, vcl::TWinControl* old_focus,
                    vcl::TWinControl* new_focus) override;
  void Destroying(rtl::TComponent* component) override;

 private:
  void Register(ControlView* view) override;
  void Forget(ControlView* view) override;
  // Detaches the view and every view inside its widget, then deletes the
  // widget from the event loop.
  void Detach(ControlView* view);
  void BuildForm(vcl::TCustomForm* form);
  void LayoutParentOf(vcl::TControl* control);

  QMdiArea* area_;
  QObject deferred_;  // context of the renderer's deferred work, gone with it
  std::map<const vcl::TControl*, ControlView*> views_;
  std::map<const vcl::TMenuItem*, FormView*> menu_items_;
  bool moving_focus_ = false;
};

}  // namespace host
