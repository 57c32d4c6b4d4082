// TDBNavigator: the row of buttons that moves through and edits the dataset of
// its data source (re-pointable at any time).
//
// A button acts only when it is visible and enabled; which ones are enabled
// follows the dataset: First and Prior need a row before the current one, Next
// and Last one after it, Insert and Edit a browsing dataset, Post and Cancel
// one in edit or insert state, Delete a non-empty one. Delete asks "Excluir
// registro?" (Yes/No) through the user-interface service first when
// ConfirmDelete is set.
#pragma once

#include <functional>
#include <memory>

#include "db/data_source.h"
#include "vcl/control.h"
#include "vcl/control_data_link.h"

namespace vcl {

enum TNavigateBtn : unsigned {
  nbFirst = 1 << 0,
  nbPrior = 1 << 1,
  nbNext = 1 << 2,
  nbLast = 1 << 3,
  nbInsert = 1 << 4,
  nbDelete = 1 << 5,
  nbEdit = 1 << 6,
  nbPost = 1 << 7,
  nbCancel = 1 << 8,
};
using TNavButtonSet = unsigned;
inline constexpr TNavButtonSet kAllNavButtons = 0x1FF;

class TDBNavigator : public TWinControl {
 public:
  explicit TDBNavigator(rtl::TComponent* owner);
  ~TDBNavigator() override;

  db::TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(db::TDataSource* source) { link_->Repoint(source); }
  TNavButtonSet VisibleButtons() const { return visible_buttons_; }
  void SetVisibleButtons(TNavButtonSet buttons);
  bool ConfirmDelete() const { return confirm_delete_; }
  void SetConfirmDelete(bool confirm) { confirm_delete_ = confirm; }

  // Whether `button` would act now (the navigator, the button and the dataset
  // state allow it).
  bool ButtonEnabled(TNavButtonSet button) const;
  // The person pressed `button`: BeforeAction (which may throw to refuse), the
  // dataset operation, then OnClick. Returns whether the operation ran.
  bool BtnClick(TNavButtonSet button);

  std::function<void(rtl::TObject* sender, TNavButtonSet button)> BeforeAction;
  std::function<void(rtl::TObject* sender, TNavButtonSet button)> OnClick;

 private:
  std::unique_ptr<ControlDataLink> link_;
  TNavButtonSet visible_buttons_ = kAllNavButtons;
  bool confirm_delete_ = true;
};

}  // namespace vcl
