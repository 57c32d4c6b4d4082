#include "view_factory.h"

#include "grid_view.h"
#include "render_containers.h"
#include "render_controls.h"
#include "render_pages.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/db_navigator.h"
#include "vcl/db_text.h"
#include "vcl/image.h"
#include "vcl/label.h"
#include "vcl/page_control.h"
#include "vcl/panel.h"

namespace host {

namespace {

using Maker = ControlView* (*)(ViewOwner&, vcl::TControl*, QWidget*);

// A `View` when `control` is a `Control`, else nullptr.
template <class Control, class View>
ControlView* MakeIf(ViewOwner& owner, vcl::TControl* control, QWidget* parent) {
  auto* c = dynamic_cast<Control*>(control);
  return c ? new View(owner, c, parent) : nullptr;
}

// Any other windowed control is a container; a panel draws its bevel.
ControlView* MakeContainer(ViewOwner& owner, vcl::TControl* control, QWidget* parent) {
  auto* win = dynamic_cast<vcl::TWinControl*>(control);
  return win ? new ContainerWidget(owner, win, parent,
                                   dynamic_cast<vcl::TPanel*>(control) != nullptr)
             : nullptr;
}

// Tried in order: a kind comes before the kinds it derives from.
constexpr Maker kMakers[] = {
    MakeIf<vcl::TDBGrid, GridView>,
    MakeIf<vcl::TDBNavigator, NavigatorWidget>,
    MakeIf<vcl::TPageControl, PageControlWidget>,
    MakeIf<vcl::TTabSheet, SheetWidget>,
    MakeContainer,
    MakeIf<vcl::TSplitter, SplitterWidget>,
    MakeIf<vcl::TButtonFlat, ButtonWidget>,
    MakeIf<vcl::TDBText, LabelWidget>,
    MakeIf<vcl::TLabel, LabelWidget>,
    MakeIf<vcl::TImage, ImageWidget>,
};

}  // namespace

ControlView* MakeView(ViewOwner& owner, vcl::TControl* control, QWidget* parent) {
  for (Maker make : kMakers)
    if (ControlView* view = make(owner, control, parent)) return view;
  return new PlainWidget(owner, control, parent);
}

}  // namespace host
