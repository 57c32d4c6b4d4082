#include "vcl/page_control.h"

#include "rtl/exceptions.h"
#include "vcl/form.h"

namespace vcl {

TPageControl* TTabSheet::PageControl() const {
  return dynamic_cast<TPageControl*>(Parent());
}

void TTabSheet::SetPageControl(TPageControl* page_control) {
  SetParent(page_control);
}

void TTabSheet::SetTabVisible(bool visible) {
  if (visible == tab_visible_) return;
  tab_visible_ = visible;
  Changed(TChange::Visible);
}

int TTabSheet::PageIndex() const {
  TPageControl* pc = PageControl();
  if (!pc) return -1;
  for (int i = 0; i < pc->PageCount(); ++i)
    if (pc->Pages(i) == this) return i;
  return -1;
}

TPageControl::TPageControl(rtl::TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
}

int TPageControl::PageCount() const {
  int n = 0;
  for (TControl* c : Children())
    if (dynamic_cast<TTabSheet*>(c)) ++n;
  return n;
}

TTabSheet* TPageControl::Pages(int index) const {
  int n = 0;
  for (TControl* c : Children())
    if (auto* sheet = dynamic_cast<TTabSheet*>(c); sheet && n++ == index) return sheet;
  throw rtl::Exception("Índice de página fora dos limites");
}

int TPageControl::ActivePageIndex() const {
  return active_ ? active_->PageIndex() : -1;
}

bool TPageControl::ShowsChild(const TControl* child) const {
  return !dynamic_cast<const TTabSheet*>(child) || child == active_;
}

void TPageControl::ControlInserted(TControl* child) {
  if (!active_)
    if (auto* sheet = dynamic_cast<TTabSheet*>(child)) {
      active_ = sheet;
      Changed(TChange::ActivePage);
    }
}

void TPageControl::ControlRemoved(TControl* child) {
  if (child != active_) return;
  active_ = nullptr;
  Changed(TChange::ActivePage);
}

bool TPageControl::SetActivePage(TTabSheet* sheet) {
  return ChangePage(sheet, false);
}

bool TPageControl::SelectTab(TTabSheet* sheet) {
  if (!sheet || sheet->Parent() != this || !sheet->Enabled() || !sheet->TabVisible()) return false;
  if (sheet == active_) return false;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return false;
  if (!ChangePage(sheet, true)) return false;
  if (OnChange) OnChange(this);
  return true;
}

bool TPageControl::ChangePage(TTabSheet* sheet, bool focus_new_sheet) {
  if (!sheet || sheet->Parent() != this)
    throw rtl::Exception("A página não pertence a este controle de páginas");
  if (!sheet->Enabled() || !sheet->TabVisible()) return false;
  if (sheet == active_) return true;
  TCustomForm* form = ParentForm();
  const TWinControl* focus = form ? form->ActiveControl() : nullptr;
  const bool focus_here = form && form->Visible() && focus && ContainsControl(focus);
  // Leave the old sheet first; an exit handler that throws keeps the page.
  if (focus_here && focus != this) {
    if (CanFocus())
      SetFocus();
    else
      form->SetActiveControl(nullptr);
    if (form->ActiveControl() && form->ActiveControl() != this &&
        ContainsControl(form->ActiveControl()))
      return false;
  }
  active_ = sheet;
  Changed(TChange::ActivePage);
  if ((focus_here || focus_new_sheet) && sheet->CanFocus()) sheet->SetFocus();
  return true;
}

}  // namespace vcl
