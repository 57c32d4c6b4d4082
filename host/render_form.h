// FormView: a form as an MDI sub-window: its caption, its menu bar, its
// client area (the form's controls, aligned as the model says) and its window
// state.
//
// The client area starts at the form's design size; when the person resizes
// the window the form's model size follows, so the model realigns. Closing
// the window asks the model (Close: the screen may refuse); the window goes
// when the form is hidden or destroyed. Maximising or restoring the window
// sets the form's window state, and the other way round.
//
// Keys that belong to the window rather than to one control: Ctrl+Tab and
// Ctrl+PgDn (with Shift, or Ctrl+PgUp, backwards) turn the page of the page
// control holding the focus; F6 and Shift+F6 move to the grid of the next or
// previous panel of the page. Leaving a menu with Esc gives the keyboard
// back to the model's focus instead of leaving it on the menu bar.
#pragma once

#include <QMdiSubWindow>
#include <map>

#include "control_view.h"

class QMenu;
class QMenuBar;
class QAction;

namespace vcl {
class TMenuItem;
}

namespace host {

class FormClient;

class FormView : public WidgetView<QMdiSubWindow> {
 public:
  FormView(ViewOwner& owner, vcl::TCustomForm* form, QMdiArea* area);
  ~FormView() override;

  vcl::TCustomForm* Form() const;
  QWidget* ChildHost() override;
  QWidget* FocusTarget() override;
  void LayoutChildren() override;
  void ModelChanged(vcl::TChange what) override;
  QMenuBar* MenuBar() const { return menu_bar_; }
  // True while the view itself sizes or shows the window.
  bool Following() const { return following_; }
  // The action standing for a menu item, or nullptr.
  QAction* ActionFor(const vcl::TMenuItem* item) const;

  // Builds the views of the form's controls and its menu.
  void BuildContents();
  void MenuItemChanged(vcl::TMenuItem* item, vcl::TChange what);
  void MenuItemDestroyed(vcl::TMenuItem* item);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildMenu();
  void AddMenuItems(vcl::TMenuItem* parent, QWidget* menu);
  void SyncAction(vcl::TMenuItem* item);
  void ApplyWindowState();
  void AddWindowKeys();
  void TurnPage(int step);
  void NextPanel(int step);
  // After a menu closed: Qt's focus leaves the menu bar for the model's.
  void GiveKeyboardBack();
  void ResizeToModel();

  QWidget* content_ = nullptr;
  QMenuBar* menu_bar_ = nullptr;
  FormClient* client_ = nullptr;
  std::map<const vcl::TMenuItem*, QAction*> actions_;
  bool following_ = false;
};

}  // namespace host
