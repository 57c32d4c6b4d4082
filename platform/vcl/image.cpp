#include "vcl/image.h"

namespace vcl {

void TImage::SetBitmap(const TBitmap& bitmap) {
  picture_.Bitmap() = bitmap;
  Changed(TChange::Glyph);
}

}  // namespace vcl
