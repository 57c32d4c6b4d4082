#include "vcl/recording_canvas.h"

#include "rtl/strings.h"

namespace vcl {

TCanvasCall TRecordingCanvas::Record(TCanvasCall::Kind kind, const TRect& rect) {
  TCanvasCall call{kind, rect, 0, 0, {}, Brush().Color(), {}, {}, {}, clNone};
  call.font.Assign(Font());
  return call;
}

void TRecordingCanvas::FillRect(const TRect& rect) {
  calls_.push_back(Record(TCanvasCall::FillRect, rect));
}

void TRecordingCanvas::TextRect(const TRect& rect, int x, int y, std::string_view text) {
  TCanvasCall call = Record(TCanvasCall::TextRect, rect);
  call.x = x;
  call.y = y;
  call.text = std::string(text);
  calls_.push_back(std::move(call));
}

void TRecordingCanvas::TextOut(int x, int y, std::string_view text) {
  TCanvasCall call = Record(TCanvasCall::TextOut, {});
  call.x = x;
  call.y = y;
  call.text = std::string(text);
  calls_.push_back(std::move(call));
}

void TRecordingCanvas::DrawFocusRect(const TRect& rect) {
  calls_.push_back(Record(TCanvasCall::DrawFocusRect, rect));
}

void TRecordingCanvas::BrushCopy(const TRect& dest, const TBitmap& bitmap, const TRect& source,
                                 TColor transparent) {
  TCanvasCall call = Record(TCanvasCall::BrushCopy, dest);
  call.source = source;
  call.bitmap = bitmap;
  call.transparent = transparent;
  calls_.push_back(std::move(call));
}

int TRecordingCanvas::TextWidth(std::string_view text) {
  return 7 * static_cast<int>(rtl::IsValidUtf8(text) ? rtl::Utf8Length(text) : text.size());
}

int TRecordingCanvas::TextHeight(std::string_view) {
  return 13;
}

std::vector<TCanvasCall> TRecordingCanvas::CallsIn(TCanvasCall::Kind kind,
                                                   const TRect& area) const {
  const bool all = area.Width() <= 0 && area.Height() <= 0;
  std::vector<TCanvasCall> out;
  for (const TCanvasCall& c : calls_) {
    if (c.kind != kind) continue;
    if (all || (c.rect.Left >= area.Left && c.rect.Top >= area.Top && c.rect.Right <= area.Right &&
                c.rect.Bottom <= area.Bottom))
      out.push_back(c);
  }
  return out;
}

}  // namespace vcl
