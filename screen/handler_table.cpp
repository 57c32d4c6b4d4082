// Every handler of the screen by the name the event table and the save
// members call it by, which is always the name of the method itself.
#include "screen/estrutura.h"

namespace qmx00600 {

// Registers the screen's method `name` in the `kind` map under its own name,
// so a handler's name and its method cannot drift apart.
#define QMX_REGISTER(kind, name) handlers_.kind[#name] = Bind(&TfrmEstrutura::name)

void TfrmEstrutura::RegisterHandlers() {
  // The connection and the base grid.
  QMX_REGISTER(notify, netEstruturaBeforeConnect);
  QMX_REGISTER(key_down, dbgPadraoKeyDown);
  QMX_REGISTER(key_press, dbgPadraoKeyPress);

  // The fact-table and drill-table lists (screen/lists).
  QMX_REGISTER(dataset, cdsTabelasBeforePost);
  QMX_REGISTER(dataset, cdsTabelasAfterPost);
  QMX_REGISTER(dataset, cdsTabelasAfterDelete);
  QMX_REGISTER(dataset, cdsTabelasAfterCancel);
  QMX_REGISTER(dataset, cdsTabelasAfterScroll);
  QMX_REGISTER(notify, dbgTabelaFatosEnter);
  QMX_REGISTER(notify, dbgTabelaFatosColEnter);
  QMX_REGISTER(notify, dbgTabelaFatosColExit);
  // dtsPadrao's state change is the base screen's virtual handler; the entry
  // lets the save members and RunHandler reach it by name.
  QMX_REGISTER(notify, dtsPadraoStateChange);
  QMX_REGISTER(dataset, cdsTabelaDrillBeforePost);
  QMX_REGISTER(dataset, cdsTabelaDrillAfterPost);
  QMX_REGISTER(dataset, cdsTabelaDrillAfterDelete);
  QMX_REGISTER(dataset, cdsTabelaDrillAfterScroll);
  QMX_REGISTER(notify, dbgTabelaDrillEnter);
  QMX_REGISTER(notify, dbgTabelaDrillColEnter);
  QMX_REGISTER(notify, dbgTabelaDrillColExit);
  QMX_REGISTER(notify, dtsTabelaDrillStateChange);

  // The state of the facts and dimensions (screen/facts_dimensions).
  QMX_REGISTER(notify, dtsFatosStateChange);
  QMX_REGISTER(notify, dtsDimeStateChange);
  QMX_REGISTER(notify, dtsFatosDrillStateChange);
  QMX_REGISTER(notify, dtsDimeDrillStateChange);

  // The pages and panels (screen/commands).
  QMX_REGISTER(notify, tshPadraoEnter);
  QMX_REGISTER(notify, tshDadosEnter);
  QMX_REGISTER(notify, pnlFatosEnter);
  QMX_REGISTER(notify, pnlDImensoesEnter);

  // How the fact and dimension grids show their values.
  QMX_REGISTER(get_text, cdsFatosIDTPFATODWGetText);
  QMX_REGISTER(set_text, cdsFatosIDTPFATODWSetText);
  QMX_REGISTER(get_text, cdsFatosDrillIDTPFATODRILLGetText);
  QMX_REGISTER(set_text, cdsFatosDrillIDTPFATODRILLSetText);
  QMX_REGISTER(draw_cell, dbgFatosDrawColumnCell);
  QMX_REGISTER(draw_cell, dbgDimensoesDrawColumnCell);

  // The facts of a fact table.
  QMX_REGISTER(dataset, cdsFatosBeforePost);
  QMX_REGISTER(dataset, cdsFatosAfterPost);
  QMX_REGISTER(dataset, cdsFatosAfterDelete);
  QMX_REGISTER(dataset, cdsFatosAfterCancel);
  QMX_REGISTER(notify, dbgFatosColExit);
  QMX_REGISTER(notify, dbgFatosColEnter);
  QMX_REGISTER(notify, dbgFatosEditButtonClick);
  QMX_REGISTER(notify, dbgFatosEnter);
  QMX_REGISTER(click, dbgFatosTitleClick);
  QMX_REGISTER(click, dbgFatosCellClick);
  QMX_REGISTER(key_down, dbgFatosKeyDown);
  QMX_REGISTER(key_press, dbgFatosKeyPress);

  // The dimensions of a fact table.
  QMX_REGISTER(dataset, cdsDimeBeforePost);
  QMX_REGISTER(dataset, cdsDimeAfterPost);
  QMX_REGISTER(dataset, cdsDimeAfterDelete);
  QMX_REGISTER(notify, dbgDimensoesEditButtonClick);
  QMX_REGISTER(notify, dbgDimensoesColExit);
  QMX_REGISTER(notify, dbgDimensoesEnter);
  QMX_REGISTER(key_press, dbgDimensoesKeyPress);

  // The drill facts and drill dimensions (screen/drill).
  QMX_REGISTER(dataset, cdsFatosDrillBeforePost);
  QMX_REGISTER(dataset, cdsFatosDrillAfterPost);
  QMX_REGISTER(dataset, cdsFatosDrillAfterDelete);
  QMX_REGISTER(dataset, cdsDimeDrillBeforePost);
  QMX_REGISTER(dataset, cdsDimeDrillAfterDelete);
  QMX_REGISTER(notify, dbgFatosDrillColExit);
  QMX_REGISTER(notify, dbgFatosDrillEditButtonClick);
  QMX_REGISTER(notify, dbgFatosDrillEnter);
  QMX_REGISTER(key_press, dbgFatosDrillKeyPress);
  QMX_REGISTER(key_down, dbgFatosDrillKeyDown);
}

#undef QMX_REGISTER

}  // namespace qmx00600
