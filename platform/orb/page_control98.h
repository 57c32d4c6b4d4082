// TCustomPageControl98: the page control of the host's screens.
//
// It adds nothing to vcl::TPageControl: SetActivePage selects one of its own
// sheets (a foreign sheet is refused with rtl::Exception; a disabled sheet or
// one without a visible tab is not chosen and the call returns false), and a
// focus inside the old sheet follows into the new one, firing the exit and
// enter handlers. Screens name this type so that the host can tell its page
// controls apart from others.
#pragma once

#include "vcl/page_control.h"

namespace orb {

class TCustomPageControl98 : public vcl::TPageControl {
 public:
  using vcl::TPageControl::TPageControl;
};

}  // namespace orb
