// TControl and TWinControl: the visible parts of a screen and their containers.
//
// A control has an owner (rtl::TComponent, who destroys it) and a parent (the
// container it is shown in, which never destroys it: a parent that goes away
// leaves its children without a parent). Only windowed controls (TWinControl)
// take the focus; the focus itself is owned by the form the control sits on
// (TCustomForm, which fires the exit and enter events as it moves).
//
// A control can take the focus when it, and every container up to its form,
// is visible and enabled, a tab sheet among them is its page control's active
// page, and the form is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rtl/component.h"
#include "vcl/control_observer.h"
#include "vcl/graphics.h"

namespace vcl {

class TWinControl;
class TCustomForm;

using TNotifyEvent = std::function<void(rtl::TObject* sender)>;

// Modifier keys held during a key or mouse action, combined with |.
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using TShiftState = unsigned;

// Virtual key codes.
inline constexpr uint16_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_ESCAPE = 0x1B,
                          VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23,
                          VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
                          VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_F2 = 0x71,
                          VK_F5 = 0x74;

// A key-down handler may set `key` to 0 to swallow the key.
using TKeyEvent = std::function<void(rtl::TObject* sender, uint16_t& key, TShiftState shift)>;
// A key-press handler may change `key` or set it to '\0' to swallow it.
using TKeyPressEvent = std::function<void(rtl::TObject* sender, char& key)>;

// Placement of a control inside its parent (see TWinControl::Realign).
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TControl : public rtl::TComponent {
 public:
  explicit TControl(rtl::TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  // Moves the control into `parent` (nullptr: out of any); it becomes the
  // parent's last child. A control that held the focus gives it up first.
  void SetParent(TWinControl* parent);

  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so is every container up to the form (a tab sheet only while
  // it is the active page); a control outside any form is not showing.
  virtual bool Showing() const;
  // Enabled, and so is every container up to the top.
  bool EnabledChain() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  // Caption of the controls that show one (forms, panels, labels, sheets,
  // buttons); others keep it unused.
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string hint);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  // The form the control sits on (itself for a form), or nullptr.
  TCustomForm* ParentForm() const;

 protected:
  void Changed(TChange what) { NotifyChanged(this, what); }

 private:
  friend class TWinControl;
  friend class TCustomForm;
  // Takes the control out of its parent (which it must have) and out of its
  // form's bookkeeping; returns the parent it left.
  TWinControl* LeaveParent();

  TWinControl* parent_ = nullptr;
  bool enabled_ = true;
  bool visible_ = true;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  std::string caption_;
  std::string hint_;
  TFont font_;
  TColor color_ = clBtnFace;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(rtl::TComponent* owner);
  ~TWinControl() override;

  // Children in the order they were placed.
  int ControlCount() const { return static_cast<int>(children_.size()); }
  TControl* Controls(int index) const { return children_.at(index); }
  const std::vector<TControl*>& Children() const { return children_; }
  // True for this control itself and for anything placed inside it, at any depth.
  bool ContainsControl(const TControl* control) const;

  bool CanFocus() const;
  // Moves the form's focus here; throws rtl::Exception when CanFocus is false.
  // An enter or exit handler that throws stops the move (see TCustomForm).
  void SetFocus();
  // This control holds its form's focus.
  bool Focused() const;
  // Whether the form gives this control the focus when it is shown and has
  // none yet (grids and page controls do by default).
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool tab_stop) { tab_stop_ = tab_stop; }

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // Places the aligned children: alTop and alBottom ones stacked against the
  // top and bottom edges (in child order), then alLeft and alRight ones in the
  // space between, then alClient ones filling what is left. Runs by itself when
  // the container's size or an aligned child changes.
  void Realign();

  // Called by the form as the focus arrives and leaves; they fire OnEnter and
  // OnExit. Controls that act on focus changes override them.
  virtual void DoEnter();
  virtual void DoExit();

 protected:
  // Whether a child counts as shown when this container is (page controls
  // show only their active sheet).
  virtual bool ShowsChild(const TControl* /*child*/) const { return true; }
  // A child was placed in or taken out of this container.
  virtual void ControlInserted(TControl* /*child*/) {}
  virtual void ControlRemoved(TControl* /*child*/) {}

 private:
  friend class TControl;
  std::vector<TControl*> children_;
  bool tab_stop_ = false;
  bool aligning_ = false;
};

}  // namespace vcl
