// OtherDesksView: where the main window shows the other desks' work, none of
// it a dialog: a passing line in the status bar, a standing line beside it
// (who is editing what, until they stop), and a bar over the screens saying
// that the row being edited was changed elsewhere, with a button to reload.
//
// It also polls the open screen's package for notices (QmxPollNotices) every
// quarter of a second, never while a dialog or the busy animation is up: the
// screen is then in the middle of an action of the person's.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QLabel;
class QMainWindow;
class QPushButton;
class QTimer;
class QToolBar;

namespace host {

class OtherDesksView : public QObject {
 public:
  explicit OtherDesksView(QMainWindow* window);

  void ShowPassingNote(const std::string& text);
  void ShowStandingNote(const std::string& text);
  void ShowChangedBar(const std::string& text, std::function<void()> reload);

  // Starts polling `poll` (the package's QmxPollNotices); `idle` says whether
  // the host is between the person's actions.
  void StartPolling(void (*poll)(), std::function<bool()> idle);
  // One poll now, as the timer makes it (tests).
  void PollNow();

  QString StandingNote() const;
  QString ChangedBarText() const;
  QPushButton* ReloadButton() const { return reload_button_; }

 private:
  QMainWindow* window_;
  QLabel* standing_;
  QToolBar* bar_;
  QLabel* bar_text_;
  QPushButton* reload_button_;
  std::function<void()> reload_;
  QTimer* timer_ = nullptr;
  void (*poll_)() = nullptr;
  std::function<bool()> idle_;
};

}  // namespace host
