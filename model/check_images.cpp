#include "model/check_images.h"

namespace qmx00600 {

vcl::TBitmap CheckBoxBitmap(bool checked) {
  vcl::TBitmap bmp(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) bmp.SetPixel(x, y, kCheckTransparent);
  // A 13 x 13 box from (1,1) to (13,13): frame, white inside.
  for (int y = 1; y <= 13; ++y)
    for (int x = 1; x <= 13; ++x) {
      const bool edge = x == 1 || x == 13 || y == 1 || y == 13;
      bmp.SetPixel(x, y, edge ? kCheckFrame : vcl::clWhite);
    }
  if (checked) {
    // A tick three pixels thick: down from (4,7) to (6,9), then up to (10,5).
    for (int i = 0; i < 3; ++i) {
      for (int x = 4, y = 6 + i; x <= 6; ++x, ++y) bmp.SetPixel(x, y, kCheckMark);
      for (int x = 7, y = 8 + i; x <= 10; ++x, --y) bmp.SetPixel(x, y, kCheckMark);
    }
  }
  return bmp;
}

}  // namespace qmx00600
