// TRecordingCanvas: a canvas that paints nothing and records every call with
// its arguments and the brush and font in force, for tests.
//
// Text metrics are fixed: every character (code point) is 7 pixels wide and a
// line 13 pixels high.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vcl/canvas.h"

namespace vcl {

struct TCanvasCall {
  enum Kind { FillRect, TextRect, TextOut, DrawFocusRect, BrushCopy };
  Kind kind;
  TRect rect;          // target rectangle (TextOut: empty)
  int x = 0, y = 0;    // text origin
  std::string text;    // TextRect, TextOut
  TColor brush_color;  // brush in force
  TFont font;          // font in force (OnChange not copied)
  TRect source;        // BrushCopy
  TBitmap bitmap;      // BrushCopy: a copy of the bitmap
  TColor transparent = clNone;
};

class TRecordingCanvas : public TCanvas {
 public:
  void FillRect(const TRect& rect) override;
  void TextRect(const TRect& rect, int x, int y, std::string_view text) override;
  void TextOut(int x, int y, std::string_view text) override;
  void DrawFocusRect(const TRect& rect) override;
  void BrushCopy(const TRect& dest, const TBitmap& bitmap, const TRect& source,
                 TColor transparent) override;
  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;

  const std::vector<TCanvasCall>& Calls() const { return calls_; }
  void Clear() { calls_.clear(); }
  // The calls of one kind whose rectangle lies inside `area` (all when `area`
  // is empty).
  std::vector<TCanvasCall> CallsIn(TCanvasCall::Kind kind, const TRect& area = {}) const;

 private:
  TCanvasCall Record(TCanvasCall::Kind kind, const TRect& rect);
  std::vector<TCanvasCall> calls_;
};

}  // namespace vcl
