// TMenuItem and TMainMenu: a form's menu bar and its items.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rtl/component.h"
#include "vcl/control.h"

namespace vcl {

// A menu item's key: a virtual key with the modifier bits below, as the
// platform's menus store it; 0 for none.
using TShortCut = uint16_t;
inline constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
inline constexpr TShortCut ShortCut(uint16_t key, TShiftState shift) {
  return static_cast<TShortCut>(key | ((shift & ssShift) ? scShift : 0) |
                                ((shift & ssCtrl) ? scCtrl : 0) | ((shift & ssAlt) ? scAlt : 0));
}

// A menu entry with sub-items. Items are owned as components (their owner
// destroys them); an item destroyed leaves its parent item.
class TMenuItem : public rtl::TComponent {
 public:
  explicit TMenuItem(rtl::TComponent* owner) : rtl::TComponent(owner) {}
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // The key that chooses the item without opening the menu; shown beside it.
  TShortCut ShortCut() const { return shortcut_; }
  void SetShortCut(TShortCut shortcut);

  TMenuItem* Parent() const { return parent_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(index); }
  // Appends `item` (taking it from its previous parent item).
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);

  // The person's choice: runs OnClick when this item and every parent item
  // are visible and enabled. Returns whether OnClick ran.
  bool Click();

  TNotifyEvent OnClick;

 private:
  void Changed(TChange what) { NotifyChanged(this, what); }
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  TShortCut shortcut_ = 0;
  TMenuItem* parent_ = nullptr;
  std::vector<TMenuItem*> items_;
};

// The menu bar; its top-level entries are the children of Items().
class TMainMenu : public rtl::TComponent {
 public:
  explicit TMainMenu(rtl::TComponent* owner);
  TMenuItem& Items() { return *items_; }

 private:
  TMenuItem* items_;  // owned by this menu
};

}  // namespace vcl
