// MainWindow: the host's desktop: an MDI area for the screens, a menu with
// the screens the host offers, a window list, and a status bar naming the
// application server (and, on a server with accounts, the account and role
// the person logged in as).
//
// While it exists it is the process's login prompt: a server that wants a
// user name and password gets them from the login dialog (LoginPrompt).
// Giving up there leaves the host as it was, the screen not opened, without
// an error: opening it again asks again.
//
// Opening a screen loads its package (once) and calls its IniProc; a missing
// package, a missing entry point or a failure of the screen's creation (the
// server cannot be reached, say) is shown as an error and leaves the host as
// it was, so the screen can be opened again later. Closing the main window
// closes every screen first; a screen that refuses (unsaved work the person
// wants to keep) keeps the host open.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "package_loader.h"

class QLabel;
class QMdiArea;
class QMenu;

namespace host {

class LoginPrompt;
class Renderer;
class QtUserInterface;

class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(const std::string& package_dir, QWidget* parent = nullptr);
  ~MainWindow() override;

  QMdiArea* Area() const { return area_; }
  Renderer& Views() const { return *renderer_; }
  QtUserInterface& UserInterface() const { return *ui_; }
  PackageLoader& Loader() { return loader_; }
  // The menu entry that opens the screen with this code, or nullptr.
  QAction* ScreenAction(const std::string& code) const;
  // Opens the screen as its menu entry does; true when IniProc returned
  // normally.
  bool OpenScreen(const std::string& code);
  // Asks every screen to close; true when all did.
  bool CloseScreens();
  // The status bar's text naming the application server.
  QString ServerText() const;
  const LoginPrompt& Login() const { return *login_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void RefreshWindowMenu();
  void ShowServerAddress();
  // Polls the screen's package for the other desks' work (other_desks_view.h).
  void PollOtherDesks(const ScreenEntry& screen);

  QMdiArea* area_;
  std::unique_ptr<Renderer> renderer_;
  std::unique_ptr<QtUserInterface> ui_;
  std::unique_ptr<LoginPrompt> login_;
  PackageLoader loader_;
  QMenu* window_menu_ = nullptr;
  // A widget of the status bar, not a message: the menus' status tips
  // replace messages and would wipe it.
  QLabel* server_label_ = nullptr;
};

}  // namespace host
