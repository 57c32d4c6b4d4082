#include "busy_overlay.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QTimerEvent>
#include <QVBoxLayout>

#include "orb/busy.h"

namespace host {

BusyOverlay::BusyOverlay(QWidget* over) : QWidget(over) {
  setObjectName(QStringLiteral("busyOverlay"));
  setAttribute(Qt::WA_StyledBackground, true);
  setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 56, 16, 12);
  caption_ = new QLabel(this);
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setWordWrap(true);
  QFont bold = caption_->font();
  bold.setBold(true);
  caption_->setFont(bold);
  layout->addWidget(caption_);
  setFixedSize(300, 96);
  hide();
}

QString BusyOverlay::Caption() const {
  return caption_->text();
}

void BusyOverlay::Place() {
  if (QWidget* p = parentWidget()) move((p->width() - width()) / 2, (p->height() - height()) / 2);
}

void BusyOverlay::ShowBusy(int kind, const QString& caption) {
  kind_ = kind;
  caption_->setText(caption.isEmpty() ? QStringLiteral("Aguarde...") : caption);
  Place();
  show();
  raise();
  if (!timer_) timer_ = startTimer(120);
  // The call that follows blocks the event loop: paint now, without letting
  // the person's input in.
  repaint();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void BusyOverlay::HideBusy() {
  if (timer_) killTimer(timer_);
  timer_ = 0;
  hide();
}

void BusyOverlay::timerEvent(QTimerEvent*) {
  phase_ = (phase_ + 1) % 8;
  update();
}

void BusyOverlay::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), QColor(0xF6, 0xF5, 0xEE));
  p.setPen(QColor(90, 90, 90));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  const int cx = width() / 2, cy = 30;
  if (kind_ == orb::kAviSearch) {
    // A magnifier sweeping over a page.
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.setBrush(Qt::white);
    p.drawRect(cx - 16, cy - 18, 32, 36);
    for (int i = 0; i < 5; ++i) p.drawLine(cx - 11, cy - 11 + i * 6, cx + 11, cy - 11 + i * 6);
    const int dx = (phase_ < 4 ? phase_ : 8 - phase_) * 6 - 12;
    p.setPen(QPen(QColor(40, 80, 160), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPoint(cx + dx, cy - 2), 8, 8);
    p.drawLine(cx + dx + 6, cy + 4, cx + dx + 12, cy + 10);
  } else {
    // Pages flying between two folders.
    p.setBrush(QColor(230, 190, 90));
    p.setPen(QColor(150, 110, 30));
    p.drawRect(cx - 70, cy - 10, 28, 22);
    p.drawRect(cx + 42, cy - 10, 28, 22);
    p.setBrush(Qt::white);
    p.setPen(QColor(100, 100, 100));
    for (int i = 0; i < 3; ++i) {
      const int x = cx - 40 + ((phase_ * 10 + i * 27) % 80);
      p.drawRect(x, cy - 14 + (i % 2) * 4, 10, 13);
    }
  }
}

}  // namespace host
