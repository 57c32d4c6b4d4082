// The handlers of the drill facts and drill dimensions, by name, for the
// event table and the save members' follow-up steps.
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::RegisterDrillHandlers() {
  auto dataset = [this](void (TfrmEstrutura::*h)(db::TDataSet*)) {
    return [this, h](db::TDataSet* ds) { (this->*h)(ds); };
  };
  auto notify = [this](void (TfrmEstrutura::*h)(rtl::TObject*)) {
    return [this, h](rtl::TObject* sender) { (this->*h)(sender); };
  };
  handlers_.dataset["cdsFatosDrillBeforePost"] = dataset(&TfrmEstrutura::cdsFatosDrillBeforePost);
  handlers_.dataset["cdsFatosDrillAfterPost"] = dataset(&TfrmEstrutura::cdsFatosDrillAfterPost);
  handlers_.dataset["cdsFatosDrillAfterDelete"] = dataset(&TfrmEstrutura::cdsFatosDrillAfterDelete);
  handlers_.dataset["cdsDimeDrillBeforePost"] = dataset(&TfrmEstrutura::cdsDimeDrillBeforePost);
  handlers_.dataset["cdsDimeDrillAfterDelete"] = dataset(&TfrmEstrutura::cdsDimeDrillAfterDelete);
  handlers_.notify["dbgFatosDrillColExit"] = notify(&TfrmEstrutura::dbgFatosDrillColExit);
  handlers_.notify["dbgFatosDrillEditButtonClick"] =
      notify(&TfrmEstrutura::dbgFatosDrillEditButtonClick);
  handlers_.notify["dbgFatosDrillEnter"] = notify(&TfrmEstrutura::dbgFatosDrillEnter);
  handlers_.key_press["dbgFatosDrillKeyPress"] = [this](rtl::TObject* s, char& key) {
    dbgFatosDrillKeyPress(s, key);
  };
  handlers_.key_down["dbgFatosDrillKeyDown"] = [this](rtl::TObject* s, uint16_t& key,
                                                      vcl::TShiftState shift) {
    dbgFatosDrillKeyDown(s, key, shift);
  };
}

}  // namespace qmx00600
