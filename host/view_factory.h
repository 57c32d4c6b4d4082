// MakeView: which view stands for which control.
//
// The one place that knows every kind of view; the renderer asks it for a
// view and then fills in the children itself.
#pragma once

class QWidget;

namespace vcl {
class TControl;
}

namespace host {

class ControlView;
class ViewOwner;

// A new view of `control` alone (not of its children) inside `parent`.
ControlView* MakeView(ViewOwner& owner, vcl::TControl* control, QWidget* parent);

}  // namespace host
