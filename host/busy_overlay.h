// BusyOverlay: the busy animation shown over the main window while a blocking
// call runs: a small framed box with an animated picture for its kind and
// the caption. Show paints it at once (the call that follows blocks the event
// loop); each further Show only changes the picture and caption.
#pragma once

#include <QWidget>

class QLabel;

namespace host {

class BusyOverlay : public QWidget {
 public:
  explicit BusyOverlay(QWidget* over);
  void ShowBusy(int kind, const QString& caption);
  void HideBusy();
  QString Caption() const;
  int Kind() const { return kind_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void Place();
  QLabel* caption_;
  int kind_ = 1;
  int phase_ = 0;
  int timer_ = 0;
};

}  // namespace host
