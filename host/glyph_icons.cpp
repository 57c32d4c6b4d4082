#include "glyph_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <initializer_list>

namespace host {

namespace {

constexpr int kSize = 20;

QPen Pen(const QColor& color, double width) {
  QPen pen(color, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

void Triangle(QPainter& p, double x, double y, double w, double h, bool right) {
  QPainterPath path;
  if (right) {
    path.moveTo(x, y);
    path.lineTo(x + w, y + h / 2);
    path.lineTo(x, y + h);
  } else {
    path.moveTo(x + w, y);
    path.lineTo(x, y + h / 2);
    path.lineTo(x + w, y + h);
  }
  path.closeSubpath();
  p.fillPath(path, QColor(40, 60, 120));
}

template <class Draw>
QIcon Paint(Draw&& draw) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  p.end();
  return QIcon(pixmap);
}

// Straight lines drawn with one round pen.
QIcon Strokes(const QColor& color, double width, std::initializer_list<QLine> lines) {
  return Paint([&](QPainter& p) {
    p.setPen(Pen(color, width));
    for (const QLine& line : lines) p.drawLine(line);
  });
}

}  // namespace

QIcon GlyphIcon(std::string_view name) {
  const QColor green(30, 140, 60), red(190, 40, 40), blue(40, 80, 160), dark(60, 60, 60);
  if (name == "incluir") return Strokes(green, 3.2, {{10, 3, 10, 17}, {3, 10, 17, 10}});
  if (name == "alterar")
    return Paint([&](QPainter& p) {
      p.setPen(Pen(QColor(200, 150, 30), 4));
      p.drawLine(5, 15, 15, 5);
      p.setPen(Pen(dark, 1.5));
      p.drawLine(3, 17, 6, 16);
      p.drawLine(3, 17, 4, 14);
    });
  if (name == "excluir") return Strokes(red, 3.2, {{4, 4, 16, 16}, {16, 4, 4, 16}});
  if (name == "procurar")
    return Paint([&](QPainter& p) {
      p.setPen(Pen(blue, 2.2));
      p.drawEllipse(QRectF(3, 3, 10, 10));
      p.setPen(Pen(dark, 3));
      p.drawLine(12, 12, 17, 17);
    });
  if (name == "cancelar")
    return Paint([&](QPainter& p) {
      p.setPen(Pen(red, 2.4));
      p.drawEllipse(QRectF(3, 3, 14, 14));
      p.drawLine(6, 14, 14, 6);
    });
  if (name == "confirmar") return Strokes(green, 3.2, {{3, 11, 8, 16}, {8, 16, 17, 4}});
  if (name == "verificar")
    return Paint([&](QPainter& p) {
      p.setPen(Pen(blue, 2.4));
      p.drawArc(QRectF(4, 4, 12, 12), 30 * 16, 280 * 16);
      QPainterPath head;
      head.moveTo(17, 3);
      head.lineTo(17, 9);
      head.lineTo(11, 9);
      head.closeSubpath();
      p.fillPath(head, blue);
    });
  if (name == "imprimir")
    return Paint([&](QPainter& p) {
      p.setPen(Pen(dark, 1.4));
      p.setBrush(QColor(230, 230, 230));
      p.drawRect(QRectF(6, 2.5, 8, 5));
      p.setBrush(QColor(150, 150, 150));
      p.drawRect(QRectF(2.5, 7.5, 15, 7));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(6, 12, 8, 5.5));
    });
  return Paint([&](QPainter& p) {
    p.setPen(Pen(dark, 1.5));
    p.drawRect(QRectF(4, 4, 12, 12));
  });
}

QIcon WindowIcon() {
  return Paint([](QPainter& p) {
    p.setPen(QColor(40, 70, 130));
    p.setBrush(QColor(255, 255, 225));
    p.drawRect(QRectF(2.5, 3.5, 15, 13));
    p.fillRect(QRectF(3, 4, 14.5, 3.5), QColor(70, 110, 180));
    p.drawLine(QPointF(8, 7.5), QPointF(8, 16.5));
    p.drawLine(QPointF(2.5, 11), QPointF(17.5, 11));
  });
}

QIcon NavigatorIcon(std::string_view name) {
  const QColor bar(40, 60, 120);
  if (name == "first")
    return Paint([&](QPainter& p) {
      p.fillRect(QRectF(5, 5, 2, 10), bar);
      Triangle(p, 8, 5, 7, 10, false);
    });
  if (name == "prior") return Paint([&](QPainter& p) { Triangle(p, 6, 5, 7, 10, false); });
  if (name == "next") return Paint([&](QPainter& p) { Triangle(p, 7, 5, 7, 10, true); });
  if (name == "last")
    return Paint([&](QPainter& p) {
      Triangle(p, 5, 5, 7, 10, true);
      p.fillRect(QRectF(13, 5, 2, 10), bar);
    });
  if (name == "insert") return Strokes(bar, 2.4, {{10, 5, 10, 15}, {5, 10, 15, 10}});
  if (name == "delete") return Strokes(bar, 2.4, {{5, 10, 15, 10}});
  if (name == "edit") return Paint([&](QPainter& p) { Triangle(p, 7, 4, 6, 12, true); });
  if (name == "post") return Strokes(bar, 2.4, {{5, 10, 9, 14}, {9, 14, 15, 6}});
  if (name == "cancel") return Strokes(bar, 2.4, {{6, 6, 14, 14}, {14, 6, 6, 14}});
  return GlyphIcon(name);
}

}  // namespace host
