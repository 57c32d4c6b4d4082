// TCanvas: the drawing surface handed to painting code and draw handlers.
//
// The brush and font are state of the canvas: the operations read them at the
// moment they are called. The Qt host implements the operations over a
// painter; tests use TRecordingCanvas.
#pragma once

#include <string_view>

#include "vcl/graphics.h"

namespace vcl {

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  TBrush& Brush() { return brush_; }
  TFont& Font() { return font_; }
  const TBrush& Brush() const { return brush_; }
  const TFont& Font() const { return font_; }

  // Fills the rectangle with the brush colour.
  virtual void FillRect(const TRect& rect) = 0;
  // Fills the rectangle with the brush colour, then writes `text` with the
  // font, its top-left corner at (x, y), clipped to the rectangle.
  virtual void TextRect(const TRect& rect, int x, int y, std::string_view text) = 0;
  // Writes `text` with the font at (x, y), without clipping or background.
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  // The dotted focus frame around the rectangle.
  virtual void DrawFocusRect(const TRect& rect) = 0;
  // Copies the `source` part of `bitmap` into `dest`, painting the pixels of
  // the `transparent` colour with the brush colour instead.
  virtual void BrushCopy(const TRect& dest, const TBitmap& bitmap, const TRect& source,
                         TColor transparent) = 0;
  // Width and height in pixels of `text` in the current font.
  virtual int TextWidth(std::string_view text) = 0;
  virtual int TextHeight(std::string_view text) = 0;

 private:
  TBrush brush_;
  TFont font_;
};

}  // namespace vcl
