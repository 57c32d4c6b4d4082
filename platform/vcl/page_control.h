// TPageControl and TTabSheet: pages of controls, one shown at a time.
//
// A sheet is a child of its page control (SetPageControl). Only the active
// sheet is showing, so controls on the other sheets cannot take the focus.
// Changing the active page while the focus is on the page control or inside
// the old sheet moves the focus to the page control first (firing the exits
// of the old sheet's controls and of the sheet; an exception from them leaves
// the page unchanged), then into the new sheet, firing its OnEnter.
#pragma once

#include <functional>

#include "vcl/control.h"

namespace vcl {

class TPageControl;

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(rtl::TComponent* owner) : TWinControl(owner) {}

  TPageControl* PageControl() const;
  void SetPageControl(TPageControl* page_control);
  // Whether the sheet has a tab the person can choose.
  bool TabVisible() const { return tab_visible_; }
  void SetTabVisible(bool visible);
  // Position among its page control's sheets, or -1.
  int PageIndex() const;

 private:
  bool tab_visible_ = true;
};

class TPageControl : public TWinControl {
 public:
  explicit TPageControl(rtl::TComponent* owner);

  int PageCount() const;
  TTabSheet* Pages(int index) const;
  TTabSheet* ActivePage() const { return active_; }
  int ActivePageIndex() const;
  // Makes `sheet` (one of this control's sheets) the active page as described
  // above. A disabled sheet, or one without a visible tab, is not chosen: the
  // call returns false and nothing changes. Fires no OnChanging/OnChange.
  virtual bool SetActivePage(TTabSheet* sheet);
  // The person clicked the tab of `sheet`: OnChanging may refuse, then the
  // page changes as SetActivePage, the focus goes into the sheet, OnChange
  // runs. Returns whether the page changed.
  bool SelectTab(TTabSheet* sheet);

  std::function<void(rtl::TObject* sender, bool& allow_change)> OnChanging;
  TNotifyEvent OnChange;

 protected:
  bool ShowsChild(const TControl* child) const override;
  void ControlInserted(TControl* child) override;
  void ControlRemoved(TControl* child) override;

 private:
  bool ChangePage(TTabSheet* sheet, bool focus_new_sheet);
  TTabSheet* active_ = nullptr;
};

}  // namespace vcl
