#include "control_view.h"

#include <QWidget>

#include "model_call.h"
#include "qt_canvas.h"
#include "vcl/control.h"
#include "vcl/form.h"

namespace host {

ControlView::ControlView(ViewOwner& owner, vcl::TControl* control)
    : owner_(owner), control_(control) {
  owner_.Register(this);
}

ControlView::~ControlView() {
  if (control_) owner_.Forget(this);
}

void ControlView::ModelChanged(vcl::TChange what) {
  QWidget* w = Widget();
  const vcl::TControl* c = control_;
  if (!c) return;
  switch (what) {
    case vcl::TChange::Enabled:
      w->setEnabled(c->Enabled());
      break;
    case vcl::TChange::Visible:
      w->setVisible(c->Visible());
      break;
    case vcl::TChange::Hint:
      w->setToolTip(QString::fromStdString(c->Hint()));
      break;
    case vcl::TChange::Font:
      w->setFont(ToQFont(c->Font()));
      w->update();
      break;
    case vcl::TChange::Caption:
    case vcl::TChange::Color:
      w->update();
      break;
    default:
      break;
  }
}

bool ControlView::Act(const std::function<void()>& action) {
  vcl::TCustomForm* form = control_ ? control_->ParentForm() : nullptr;
  if (!form) form = dynamic_cast<vcl::TCustomForm*>(control_);
  const bool ok = RunModelAction(action);
  // A view the action detached has left its owner, and with it the form.
  if (form && control_) owner_.FollowFocus(form);
  return ok;
}

void ControlView::SyncAll() {
  for (vcl::TChange what :
       {vcl::TChange::Font, vcl::TChange::Color, vcl::TChange::Hint, vcl::TChange::Caption,
        vcl::TChange::Align, vcl::TChange::Glyph, vcl::TChange::Enabled, vcl::TChange::Columns,
        vcl::TChange::DataState, vcl::TChange::ActivePage, vcl::TChange::WindowState,
        vcl::TChange::Visible})
    ModelChanged(what);
}

}  // namespace host
