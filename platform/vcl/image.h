// TImage: shows a picture; screens also use hidden images as bitmap holders.
#pragma once

#include "vcl/control.h"
#include "vcl/graphics.h"

namespace vcl {

class TImage : public TControl {
 public:
  explicit TImage(rtl::TComponent* owner) : TControl(owner) {}
  const TPicture& Picture() const { return picture_; }
  // Replaces the bitmap and tells the observers.
  void SetBitmap(const TBitmap& bitmap);
  const TBitmap& Bitmap() const { return picture_.Bitmap(); }

 private:
  TPicture picture_;
};

}  // namespace vcl
