#include "vcl/db_navigator.h"

#include "db/client_dataset.h"
#include "vcl/user_interface.h"

namespace vcl {

// Repaints the buttons whenever the dataset moves, changes or changes state.
class TDBNavigator::Link : public db::TDataLink {
 public:
  explicit Link(TDBNavigator* owner) : owner_(owner) {}

 protected:
  void ActiveChanged() override { Tell(); }
  void DataSetChanged() override { Tell(); }
  void DataSetScrolled() override { Tell(); }
  void EditingChanged() override { Tell(); }

 private:
  void Tell() { NotifyChanged(owner_, TChange::DataState); }
  TDBNavigator* owner_;
};

TDBNavigator::TDBNavigator(rtl::TComponent* owner)
    : TWinControl(owner), link_(std::make_unique<Link>(this)) {}

TDBNavigator::~TDBNavigator() = default;

db::TDataSource* TDBNavigator::DataSource() const {
  return link_->DataSource();
}

void TDBNavigator::SetDataSource(db::TDataSource* source) {
  if (source == link_->DataSource()) return;
  link_->SetDataSource(source);
  Changed(TChange::DataSource);
  Changed(TChange::DataState);
}

void TDBNavigator::SetVisibleButtons(TNavButtonSet buttons) {
  buttons &= kAllNavButtons;
  if (buttons == visible_buttons_) return;
  visible_buttons_ = buttons;
  Changed(TChange::DataState);
}

bool TDBNavigator::ButtonEnabled(TNavButtonSet button) const {
  if (!(visible_buttons_ & button) || !EnabledChain() || !link_->Active()) return false;
  db::TClientDataSet* ds = link_->DataSet();
  const db::TDataSetState state = ds->State();
  const bool editing = state == db::TDataSetState::dsEdit || state == db::TDataSetState::dsInsert;
  switch (button) {
    case nbFirst:
    case nbPrior:
      return !ds->IsEmpty() && (editing || ds->RecNo() > 1);
    case nbNext:
    case nbLast:
      return !ds->IsEmpty() && (editing || ds->RecNo() < ds->RecordCount());
    case nbInsert:
      return true;
    case nbEdit:
      return !editing && !ds->IsEmpty();
    case nbPost:
    case nbCancel:
      return editing;
    case nbDelete:
      return !ds->IsEmpty();
    default:
      return false;
  }
}

bool TDBNavigator::BtnClick(TNavButtonSet button) {
  if (!ButtonEnabled(button)) return false;
  if (BeforeAction) BeforeAction(this, button);
  db::TClientDataSet* ds = link_->DataSet();
  if (!ds) return false;
  switch (button) {
    case nbFirst:
      ds->First();
      break;
    case nbPrior:
      ds->Prior();
      break;
    case nbNext:
      ds->Next();
      break;
    case nbLast:
      ds->Last();
      break;
    case nbInsert:
      ds->Insert();
      break;
    case nbEdit:
      ds->Edit();
      break;
    case nbPost:
      ds->Post();
      break;
    case nbCancel:
      ds->Cancel();
      break;
    case nbDelete:
      if (confirm_delete_ &&
          UserInterface().ShowMessageDialog("Excluir registro?", TMsgDlgType::mtConfirmation,
                                            mbYes | mbNo, 0) != mrYes)
        return false;
      ds->Delete();
      break;
    default:
      return false;
  }
  if (OnClick) OnClick(this, button);
  return true;
}

}  // namespace vcl
