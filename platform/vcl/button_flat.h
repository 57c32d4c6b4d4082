// TButtonFlat: a flat toolbar button with a glyph. It never takes the focus.
#pragma once

#include <string>

#include "vcl/control.h"

namespace vcl {

class TButtonFlat : public TControl {
 public:
  explicit TButtonFlat(rtl::TComponent* owner) : TControl(owner) {}

  // Name of the icon shown (the host maps it to an image).
  const std::string& Glyph() const { return glyph_; }
  void SetGlyph(std::string glyph);

  // The person's click: runs OnClick only when the button is visible and
  // enabled, together with every container up to the top. Returns whether
  // OnClick ran. An exception from the handler passes to the caller.
  bool Click();

  TNotifyEvent OnClick;

 private:
  std::string glyph_;
};

}  // namespace vcl
