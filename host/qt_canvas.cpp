#include "qt_canvas.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace host {

QColor ToQColor(vcl::TColor color) {
  const vcl::TColor rgb = vcl::ColorToRGB(color);
  return QColor(vcl::GetRValue(rgb), vcl::GetGValue(rgb), vcl::GetBValue(rgb));
}

QFont ToQFont(const vcl::TFont& font) {
  QFont f(QString::fromStdString(font.Name()));
  f.setPointSize(font.Size() > 0 ? font.Size() : 8);
  f.setBold(font.Bold());
  return f;
}

QString ShownText(const vcl::TFont& font, std::string_view text) {
  const QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (font.Charset() != vcl::SYMBOL_CHARSET) return qtext;
  QString shown;
  for (QChar c : qtext) {
    switch (c.unicode()) {
      case '4':
      case 'a':
        shown += QChar(0x2714);  // heavy check mark
        break;
      case 'r':
        shown += QChar(0x2715);  // cross
        break;
      case '3':
        shown += QChar(0x25C0);
        break;
      case '5':
        shown += QChar(0x25B2);
        break;
      case '6':
        shown += QChar(0x25BC);
        break;
      default:
        shown += c;
    }
  }
  return shown;
}

namespace {

QRect ToQRect(const vcl::TRect& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}

}  // namespace

void QtCanvas::FillRect(const vcl::TRect& rect) {
  painter_.fillRect(ToQRect(rect), ToQColor(Brush().Color()));
}

void QtCanvas::DrawText(int x, int y, std::string_view text) {
  const QFont font = ToQFont(Font());
  painter_.setFont(font);
  painter_.setPen(ToQColor(Font().Color()));
  const QFontMetrics metrics(font);
  painter_.drawText(QPoint(x, y + metrics.ascent()), ShownText(Font(), text));
}

void QtCanvas::TextRect(const vcl::TRect& rect, int x, int y, std::string_view text) {
  FillRect(rect);
  painter_.save();
  painter_.setClipRect(ToQRect(rect), Qt::IntersectClip);
  DrawText(x, y, text);
  painter_.restore();
}

void QtCanvas::TextOut(int x, int y, std::string_view text) {
  DrawText(x, y, text);
}

void QtCanvas::DrawFocusRect(const vcl::TRect& rect) {
  painter_.save();
  QPen pen(Qt::black);
  pen.setStyle(Qt::DotLine);
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawRect(QRect(rect.Left, rect.Top, rect.Width() - 1, rect.Height() - 1));
  painter_.restore();
}

void QtCanvas::BrushCopy(const vcl::TRect& dest, const vcl::TBitmap& bitmap,
                         const vcl::TRect& source, vcl::TColor transparent) {
  const int w = std::min(source.Width(), bitmap.Width() - source.Left);
  const int h = std::min(source.Height(), bitmap.Height() - source.Top);
  if (w <= 0 || h <= 0 || source.Left < 0 || source.Top < 0) return;
  const vcl::TColor clear = vcl::ColorToRGB(transparent);
  const QColor brush = ToQColor(Brush().Color());
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const vcl::TColor px = bitmap.Pixel(source.Left + x, source.Top + y) & 0x00FFFFFF;
      image.setPixelColor(x, y, px == clear ? brush : ToQColor(px));
    }
  painter_.drawImage(ToQRect(dest), image);
}

int QtCanvas::TextWidth(std::string_view text) {
  return QFontMetrics(ToQFont(Font())).horizontalAdvance(ShownText(Font(), text));
}

int QtCanvas::TextHeight(std::string_view text) {
  (void)text;
  return QFontMetrics(ToQFont(Font())).height();
}

}  // namespace host
