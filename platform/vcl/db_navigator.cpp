#include "vcl/db_navigator.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "db/client_dataset.h"
#include "vcl/user_interface.h"

namespace vcl {

namespace {

// The dataset operation of every button but Delete, which asks first.
using DataSetAction = void (db::TClientDataSet::*)();
constexpr std::pair<TNavButtonSet, DataSetAction> kActions[] = {
    {nbFirst, &db::TClientDataSet::First},   {nbPrior, &db::TClientDataSet::Prior},
    {nbNext, &db::TClientDataSet::Next},     {nbLast, &db::TClientDataSet::Last},
    {nbInsert, &db::TClientDataSet::Insert}, {nbEdit, &db::TClientDataSet::Edit},
    {nbPost, &db::TClientDataSet::Post},     {nbCancel, &db::TClientDataSet::Cancel},
};

}  // namespace

// The buttons are repainted whenever the dataset moves, changes or changes
// state.
TDBNavigator::TDBNavigator(rtl::TComponent* owner)
    : TWinControl(owner),
      link_(std::make_unique<ControlDataLink>(this, TChange::DataState,
                                              ControlDataLink::kEditState)) {}

TDBNavigator::~TDBNavigator() = default;

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
  if (button == nbDelete) {
    if (confirm_delete_ &&
        UserInterface().ShowMessageDialog("Excluir registro?", TMsgDlgType::mtConfirmation,
                                          mbYes | mbNo, 0) != mrYes)
      return false;
    ds->Delete();
  } else {
    const auto* action = std::find_if(std::begin(kActions), std::end(kActions),
                                      [button](const auto& a) { return a.first == button; });
    if (action == std::end(kActions)) return false;
    (ds->*action->second)();
  }
  if (OnClick) OnClick(this, button);
  return true;
}

}  // namespace vcl
