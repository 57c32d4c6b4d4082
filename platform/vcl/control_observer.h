// IControlObserver: how a renderer keeps real widgets in step with the model.
//
// Any number of observers may be registered; each is told, synchronously and
// on the GUI thread, of every change of every control, form, menu item and
// grid of the process. An observer translates them into its own widgets and
// turns the person's actions back into calls on the model (SetFocus, Click,
// the grid's KeyDown/KeyPress/ClickCell, TPageControl::SelectTab, ...).
// Every method does nothing by default. Observers must not throw; one that is
// destroyed must unregister first.
#pragma once

namespace rtl {
class TComponent;
}

namespace vcl {

class TControl;
class TWinControl;
class TCustomForm;

// What changed on a component.
enum class TChange {
  Caption,  // caption, text of a label or of a TDBText
  Enabled,
  Visible,  // also a tab sheet's TabVisible
  Bounds,   // left, top, width, height
  Align,
  Font,
  Color,
  Hint,
  Glyph,          // a button's glyph name, an image's bitmap
  ActivePage,     // a page control's active sheet
  WindowState,    // a form's window state or form style
  DataSource,     // a data-aware control was pointed at another data source
  DataState,      // a data-aware control's dataset moved, changed state or content
  Columns,        // a grid's columns or options
  Selection,      // a grid's current cell
  Editor,         // a grid's editor mode, text, caret or selection
  EditorRefused,  // a grid's editor refused a keystroke (its text is full)
  Items,          // a menu's items
};

class IControlObserver {
 public:
  virtual ~IControlObserver() = default;
  // A property of a control or of a menu item changed.
  virtual void Changed(rtl::TComponent* /*component*/, TChange /*what*/) {}
  // `child` was placed in or taken out of `parent` (SetParent).
  virtual void ChildAdded(TWinControl* /*parent*/, TControl* /*child*/) {}
  virtual void ChildRemoved(TWinControl* /*parent*/, TControl* /*child*/) {}
  // The form's focused control changed (either may be nullptr).
  virtual void FocusChanged(TCustomForm* /*form*/, TWinControl* /*old_focus*/,
                            TWinControl* /*new_focus*/) {}
  // The component is being destroyed: its derived parts are already gone, so
  // identify it by address only; it must not be used afterwards.
  virtual void Destroying(rtl::TComponent* /*component*/) {}
};

void AddControlObserver(IControlObserver* observer);
void RemoveControlObserver(IControlObserver* observer);

// Used by the controls to tell the observers.
void NotifyChanged(rtl::TComponent* component, TChange what);
void NotifyChildAdded(TWinControl* parent, TControl* child);
void NotifyChildRemoved(TWinControl* parent, TControl* child);
void NotifyFocusChanged(TCustomForm* form, TWinControl* old_focus, TWinControl* new_focus);
void NotifyDestroying(rtl::TComponent* component);

}  // namespace vcl
