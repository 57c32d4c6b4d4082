// TLabel: a caption drawn on its parent; never takes the focus.
#pragma once

#include "vcl/control.h"

namespace vcl {

class TLabel : public TControl {
 public:
  explicit TLabel(rtl::TComponent* owner) : TControl(owner) {}
};

}  // namespace vcl
