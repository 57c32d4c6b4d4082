// The page control as a QTabWidget and its sheets as the tab pages.
//
// Qt never changes the page by itself: a click on a tab, the arrows on the
// tab bar, Ctrl+Tab, Ctrl+PgDn (and back) or a tab's Alt mnemonic ask the
// model (SelectTab), which may refuse (a disabled sheet, an OnChanging that
// says no, an exit handler that throws); the tabs then show whatever page
// the model has active. A disabled sheet's tab is disabled, a sheet without
// a visible tab has no tab. Each tab gets a mnemonic: the first letter of a
// word of its caption that no menu of the window and no earlier tab uses.
#pragma once

#include <QTabWidget>

#include "render_containers.h"

namespace vcl {
class TPageControl;
class TTabSheet;
}  // namespace vcl

namespace host {

class PageControlWidget : public WidgetView<QTabWidget> {
 public:
  PageControlWidget(ViewOwner& owner, vcl::TPageControl* pages, QWidget* parent);
  QWidget* ChildHost() override { return this; }
  void ChildViewAdded(ControlView* child) override;
  void LayoutChildren() override {}
  void ModelChanged(vcl::TChange what) override;
  QWidget* FocusTarget() override;
  // Mirrors a sheet's caption, enabled state and tab visibility.
  void SheetChanged(vcl::TTabSheet* sheet);
  // The person chose tab `index`.
  void ChooseTab(int index);
  // The person asked for the next (`step` 1) or previous (-1) page that can
  // be shown, wrapping around.
  void TurnPage(int step);
  // Gives every tab its mnemonic again (the window's menus may have changed).
  void AssignMnemonics();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int IndexOf(const vcl::TTabSheet* sheet) const;
  QString PlainTabText(int index) const;
  void FollowActivePage();
  bool following_ = false;
};

class SheetWidget : public ContainerWidget {
 public:
  SheetWidget(ViewOwner& owner, vcl::TTabSheet* sheet, QWidget* parent);
  void ModelChanged(vcl::TChange what) override;
};

}  // namespace host
