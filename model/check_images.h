// The 16 x 16 bitmaps of a checked and an unchecked box that the fact grid's
// check column draws. The background is olive (kCheckTransparent), the colour
// the drawing treats as transparent.
#pragma once

#include "vcl/graphics.h"

namespace qmx00600 {

inline constexpr vcl::TColor kCheckTransparent = vcl::clOlive;
inline constexpr vcl::TColor kCheckFrame = vcl::clGray;
inline constexpr vcl::TColor kCheckMark = vcl::clBlack;

vcl::TBitmap CheckBoxBitmap(bool checked);

}  // namespace qmx00600
