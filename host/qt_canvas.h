// QtCanvas: the platform's TCanvas drawn with a QPainter, so the grids' draw
// handlers paint real pixels.
//
// Coordinates are the painter's. Fonts map by name, size (points) and
// weight; a font of the symbol character set draws its letters as the glyphs
// they stand for (the check column's "4" becomes a check mark).
#pragma once

#include <QColor>
#include <QFont>
#include <string>
#include <string_view>

#include "vcl/canvas.h"

class QPainter;

namespace host {

QColor ToQColor(vcl::TColor color);
QFont ToQFont(const vcl::TFont& font);
// The text a font shows for `text`: symbol-set letters become their glyphs.
QString ShownText(const vcl::TFont& font, std::string_view text);

class QtCanvas : public vcl::TCanvas {
 public:
  explicit QtCanvas(QPainter& painter) : painter_(painter) {}

  void FillRect(const vcl::TRect& rect) override;
  void TextRect(const vcl::TRect& rect, int x, int y, std::string_view text) override;
  void TextOut(int x, int y, std::string_view text) override;
  void DrawFocusRect(const vcl::TRect& rect) override;
  void BrushCopy(const vcl::TRect& dest, const vcl::TBitmap& bitmap, const vcl::TRect& source,
                 vcl::TColor transparent) override;
  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;

 private:
  void DrawText(int x, int y, std::string_view text);
  QPainter& painter_;
};

}  // namespace host
