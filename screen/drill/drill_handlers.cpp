// The handlers of the drill facts and drill dimensions, by name, for the
// event table and the save members' follow-up steps.
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::RegisterDrillHandlers() {
  handlers_.dataset["cdsFatosDrillBeforePost"] = Bind(&TfrmEstrutura::cdsFatosDrillBeforePost);
  handlers_.dataset["cdsFatosDrillAfterPost"] = Bind(&TfrmEstrutura::cdsFatosDrillAfterPost);
  handlers_.dataset["cdsFatosDrillAfterDelete"] = Bind(&TfrmEstrutura::cdsFatosDrillAfterDelete);
  handlers_.dataset["cdsDimeDrillBeforePost"] = Bind(&TfrmEstrutura::cdsDimeDrillBeforePost);
  handlers_.dataset["cdsDimeDrillAfterDelete"] = Bind(&TfrmEstrutura::cdsDimeDrillAfterDelete);
  handlers_.notify["dbgFatosDrillColExit"] = Bind(&TfrmEstrutura::dbgFatosDrillColExit);
  handlers_.notify["dbgFatosDrillEditButtonClick"] =
      Bind(&TfrmEstrutura::dbgFatosDrillEditButtonClick);
  handlers_.notify["dbgFatosDrillEnter"] = Bind(&TfrmEstrutura::dbgFatosDrillEnter);
  handlers_.key_press["dbgFatosDrillKeyPress"] = Bind(&TfrmEstrutura::dbgFatosDrillKeyPress);
  handlers_.key_down["dbgFatosDrillKeyDown"] = Bind(&TfrmEstrutura::dbgFatosDrillKeyDown);
}

}  // namespace qmx00600
