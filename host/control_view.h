// ControlView: one widget standing for one control of the headless model,
// ViewOwner, what such a view may ask of the renderer that made it, and
// WidgetView, the base of every view that is itself a Qt widget.
//
// Views sit below the renderer: they know it only through ViewOwner, so
// none of them includes the renderer and the renderer alone decides which
// view stands for which control (view_factory.h).
#pragma once

#include <QString>
#include <functional>

#include "vcl/control.h"
#include "vcl/control_observer.h"

class QWidget;

namespace vcl {
class TCustomForm;
class TMenuItem;
}  // namespace vcl

namespace host {

class ControlView;
class FormView;
class Renderer;

// The renderer as its views see it.
class ViewOwner {
 public:
  // The widget of `control`'s view, or nullptr.
  virtual QWidget* WidgetFor(const vcl::TControl* control) const = 0;
  // Makes the view of `control` (and of everything inside it) in `parent`.
  virtual ControlView* Build(vcl::TControl* control, QWidget* parent) = 0;
  // The person moved Qt's focus to `control`'s widget.
  virtual void FocusArrived(vcl::TWinControl* control) = 0;
  // Puts Qt's focus where the model's focus of `form` is.
  virtual void FollowFocus(vcl::TCustomForm* form) = 0;
  // Runs `change`, during which a focus arriving is not the person's.
  virtual void HoldFocus(const std::function<void()>& change) = 0;
  // Menu items shown by a form's menu bar.
  virtual void RegisterMenuItem(vcl::TMenuItem* item, FormView* form) = 0;
  virtual void ForgetMenuItems(FormView* form) = 0;

 protected:
  ~ViewOwner() = default;

 private:
  // A view enters its owner when made and leaves it when deleted.
  friend class ControlView;
  virtual void Register(ControlView* view) = 0;
  virtual void Forget(ControlView* view) = 0;
};

class ControlView {
 public:
  ControlView(ViewOwner& owner, vcl::TControl* control);
  virtual ~ControlView();
  ControlView(const ControlView&) = delete;
  ControlView& operator=(const ControlView&) = delete;

  // The control, or nullptr once the view was detached.
  vcl::TControl* Control() const { return control_; }
  ViewOwner& Owner() const { return owner_; }
  virtual QWidget* Widget() = 0;
  // Where the widgets of the control's children go (nullptr: it has none).
  virtual QWidget* ChildHost() { return nullptr; }
  // A child's widget was made inside ChildHost().
  virtual void ChildViewAdded(ControlView* /*child*/) {}
  // A child's bounds, alignment or visibility changed, or children came or
  // went: place them again.
  virtual void LayoutChildren() {}
  // Mirrors one property of the control.
  virtual void ModelChanged(vcl::TChange what);
  // The widget that takes Qt's focus for this control, or nullptr when it
  // never holds the focus itself.
  virtual QWidget* FocusTarget() { return nullptr; }
  // Mirrors every property once, after the view was made.
  void SyncAll();
  // Runs the person's `action` in the model (RunModelAction), then puts Qt's
  // focus where the model's focus of this control's form is: a click that
  // moves no model focus (the grid already had it) must still bring the
  // keyboard back from wherever Qt left it, a menu bar say.
  bool Act(const std::function<void()>& action);

 private:
  // The renderer detaches views (control_ becomes nullptr).
  friend class Renderer;
  ViewOwner& owner_;
  vcl::TControl* control_;
};

// A view that is itself a widget of the Qt class `QtWidget`, made inside
// `parent` and named as its control: every view is one of these.
template <class QtWidget>
class WidgetView : public QtWidget, public ControlView {
 public:
  WidgetView(ViewOwner& owner, vcl::TControl* control, QWidget* parent)
      : QtWidget(parent), ControlView(owner, control) {
    this->setObjectName(QString::fromStdString(control->Name()));
  }
  QWidget* Widget() override { return this; }
};

}  // namespace host
