// QtUserInterface: the platform's one user-interface service, in Qt.
//
// Errors, message dialogs and message boxes are modal QMessageBoxes over the
// main window, in Portuguese; the warning question shows the warning icon
// with No pre-selected when asked so. Look-ups and searches are the host's
// dialogs; the busy animation is the overlay over the main window; the
// hourglass is Qt's wait cursor. The other desks' work is told in the main
// window's status bar and a bar over the screens (other_desks_view.h),
// never in a dialog. Install once the main window exists.
#pragma once

#include <QPointer>
#include <QWidget>

#include "vcl/user_interface.h"

namespace host {

class BusyOverlay;
class OtherDesksView;

class QtUserInterface : public vcl::IUserInterface {
 public:
  explicit QtUserInterface(QWidget* main_window);
  ~QtUserInterface() override;

  void ShowError(const std::string& text) override;
  int ShowMessageDialog(const std::string& text, vcl::TMsgDlgType type, vcl::TMsgDlgButtons buttons,
                        int help_context) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool Lookup(db::TDataSource& source, const std::string& title) override;
  bool Search(db::TClientDataSet& dataset) override;
  void ShowBusy(int kind, const std::string& caption) override;
  void HideBusy() override;
  void CursorChanged(int cursor) override;
  void ShowPassingNote(const std::string& text) override;
  void ShowStandingNote(const std::string& text) override;
  void ShowChangedBar(const std::string& text, std::function<void()> reload) override;

  BusyOverlay* Busy() const { return busy_; }
  // The other desks' work; null when the window is no main window.
  OtherDesksView* OtherDesks() const { return other_desks_; }
  bool WaitCursorShown() const { return wait_cursor_; }

 private:
  QPointer<QWidget> window_;
  BusyOverlay* busy_;
  OtherDesksView* other_desks_ = nullptr;  // a child of the window
  bool wait_cursor_ = false;
};

}  // namespace host
