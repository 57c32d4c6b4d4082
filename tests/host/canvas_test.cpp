// The Qt canvas paints what the draw handlers ask for.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <functional>

#include "qt_canvas.h"

namespace {

QColor At(const QImage& image, int x, int y) {
  return image.pixelColor(x, y);
}

// A white image of `width` x `height` after `draw` painted on it.
QImage Painted(int width, int height, const std::function<void(host::QtCanvas&)>& draw) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  host::QtCanvas canvas(painter);
  draw(canvas);
  painter.end();
  return image;
}

TEST(QtCanvasTest, FillsAndCopiesBitmapsWithTheTransparentColourTakingTheBrush) {
  const QImage image = Painted(40, 20, [](host::QtCanvas& canvas) {
    canvas.Brush().SetColor(vcl::clRed);
    canvas.FillRect(vcl::Rect(0, 0, 10, 10));

    vcl::TBitmap bitmap(2, 1);
    bitmap.SetPixel(0, 0, vcl::clWhite);  // the transparent colour
    bitmap.SetPixel(1, 0, vcl::clBlack);
    canvas.Brush().SetColor(vcl::clBlue);
    canvas.BrushCopy(vcl::Rect(20, 0, 22, 1), bitmap, vcl::Rect(0, 0, 2, 1), vcl::clWhite);
    // A source outside the bitmap paints nothing instead of failing.
    canvas.BrushCopy(vcl::Rect(30, 0, 32, 1), bitmap, vcl::Rect(5, 5, 7, 6), vcl::clWhite);
  });
  EXPECT_EQ(At(image, 5, 5), QColor(255, 0, 0));
  EXPECT_EQ(At(image, 11, 5), QColor(255, 255, 255));
  EXPECT_EQ(At(image, 20, 0), QColor(0, 0, 255));
  EXPECT_EQ(At(image, 21, 0), QColor(0, 0, 0));
  EXPECT_EQ(At(image, 30, 0), QColor(255, 255, 255));
}

TEST(QtCanvasTest, TextRectFillsItsRectangleAndClipsTheText) {
  const QImage image = Painted(200, 30, [](host::QtCanvas& canvas) {
    canvas.Brush().SetColor(vcl::clInfoBk);
    canvas.Font().SetColor(vcl::clBlack);
    canvas.TextRect(vcl::Rect(0, 0, 30, 20), 2, 2, "WWWWWWWWWWWWWWWWWWWW");
  });
  bool dark_inside = false;
  for (int x = 0; x < 30; ++x)
    for (int y = 0; y < 20; ++y) dark_inside |= At(image, x, y).lightness() < 100;
  EXPECT_TRUE(dark_inside);
  for (int x = 31; x < 200; ++x)
    for (int y = 0; y < 30; ++y) ASSERT_EQ(At(image, x, y), QColor(255, 255, 255)) << x << "," << y;
  EXPECT_EQ(At(image, 29, 19), host::ToQColor(vcl::clInfoBk));
}

TEST(QtCanvasTest, SymbolFontShowsGlyphsAndOtherFontsTheirText) {
  vcl::TFont symbol;
  symbol.SetCharset(vcl::SYMBOL_CHARSET);
  EXPECT_EQ(host::ShownText(symbol, "4"), QString(QChar(0x2714)));
  vcl::TFont plain;
  EXPECT_EQ(host::ShownText(plain, "4"), QStringLiteral("4"));
  EXPECT_EQ(host::ShownText(plain, "Dimensões"), QStringLiteral("Dimensões"));
  EXPECT_EQ(host::ToQColor(vcl::clBtnFace), QColor(0xEC, 0xE9, 0xD8));
}

}  // namespace
