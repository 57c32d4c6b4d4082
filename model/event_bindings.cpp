#include "model/event_bindings.h"

#include <stdexcept>
#include <string>

#include "net/socket_connection.h"
#include "vcl/control.h"

namespace qmx00600 {

const std::vector<EventBinding>& EventBindings() {
  using E = Event;
  static const std::vector<EventBinding> table = {
      // Lists of tables.
      {"cdsTabelas", E::BeforePost, "cdsTabelasBeforePost"},
      {"cdsTabelas", E::AfterPost, "cdsTabelasAfterPost"},
      {"cdsTabelas", E::AfterCancel, "cdsTabelasAfterCancel"},
      {"cdsTabelas", E::AfterDelete, "cdsTabelasAfterDelete"},
      {"cdsTabelas", E::AfterScroll, "cdsTabelasAfterScroll"},
      {"cdsVdTabela", E::AfterPost, "cdsTabelasAfterPost"},
      {"cdsVdTabela", E::AfterDelete, "cdsTabelasAfterDelete"},
      {"cdsVdTabela", E::AfterScroll, "cdsTabelasAfterScroll"},
      {"cdsTabelaDrill", E::BeforePost, "cdsTabelaDrillBeforePost"},
      {"cdsTabelaDrill", E::AfterPost, "cdsTabelaDrillAfterPost"},
      {"cdsTabelaDrill", E::AfterDelete, "cdsTabelaDrillAfterDelete"},
      {"cdsTabelaDrill", E::AfterScroll, "cdsTabelaDrillAfterScroll"},
      // Facts and dimensions.
      {"cdsFatos", E::BeforePost, "cdsFatosBeforePost"},
      {"cdsFatos", E::AfterPost, "cdsFatosAfterPost"},
      {"cdsFatos", E::AfterCancel, "cdsFatosAfterCancel"},
      {"cdsFatos", E::AfterDelete, "cdsFatosAfterDelete"},
      {"cdsFatos.IDTPFATODW", E::OnGetText, "cdsFatosIDTPFATODWGetText"},
      {"cdsFatos.IDTPFATODW", E::OnSetText, "cdsFatosIDTPFATODWSetText"},
      {"cdsDime", E::BeforePost, "cdsDimeBeforePost"},
      {"cdsDime", E::AfterPost, "cdsDimeAfterPost"},
      {"cdsDime", E::AfterDelete, "cdsDimeAfterDelete"},
      // Drill facts and dimensions; the drill dimensions save the same way
      // after a post as after a delete.
      {"cdsFatosDrill", E::BeforePost, "cdsFatosDrillBeforePost"},
      {"cdsFatosDrill", E::AfterPost, "cdsFatosDrillAfterPost"},
      {"cdsFatosDrill", E::AfterDelete, "cdsFatosDrillAfterDelete"},
      {"cdsFatosDrill.IDTPFATODRILL", E::OnGetText, "cdsFatosDrillIDTPFATODRILLGetText"},
      {"cdsFatosDrill.IDTPFATODRILL", E::OnSetText, "cdsFatosDrillIDTPFATODRILLSetText"},
      {"cdsDimeDrill", E::BeforePost, "cdsDimeDrillBeforePost"},
      {"cdsDimeDrill", E::AfterPost, "cdsDimeDrillAfterDelete"},
      {"cdsDimeDrill", E::AfterDelete, "cdsDimeDrillAfterDelete"},
      // Data sources.
      {"dtsPadrao", E::OnStateChange, "dtsPadraoStateChange"},
      {"dtsTabelaDrill", E::OnStateChange, "dtsTabelaDrillStateChange"},
      {"dtsFatos", E::OnStateChange, "dtsFatosStateChange"},
      {"dtsDime", E::OnStateChange, "dtsDimeStateChange"},
      {"dtsFatosDrill", E::OnStateChange, "dtsFatosDrillStateChange"},
      {"dtsDimeDrill", E::OnStateChange, "dtsDimeDrillStateChange"},
      // Pages and panels.
      {"tshPadrao", E::OnEnter, "tshPadraoEnter"},
      {"tshDados", E::OnEnter, "tshDadosEnter"},
      {"pnlFatos", E::OnEnter, "pnlFatosEnter"},
      {"pnlDImensoes", E::OnEnter, "pnlDImensoesEnter"},
      // Grids of page 1; their keys are the base screen's.
      {"dbgTabelaFatos", E::OnColEnter, "dbgTabelaFatosColEnter"},
      {"dbgTabelaFatos", E::OnColExit, "dbgTabelaFatosColExit"},
      {"dbgTabelaFatos", E::OnEnter, "dbgTabelaFatosEnter"},
      {"dbgTabelaFatos", E::OnKeyDown, "dbgPadraoKeyDown"},
      {"dbgTabelaFatos", E::OnKeyPress, "dbgPadraoKeyPress"},
      {"dbgTabelaDrill", E::OnColEnter, "dbgTabelaDrillColEnter"},
      {"dbgTabelaDrill", E::OnColExit, "dbgTabelaDrillColExit"},
      {"dbgTabelaDrill", E::OnEnter, "dbgTabelaDrillEnter"},
      {"dbgTabelaDrill", E::OnKeyDown, "dbgPadraoKeyDown"},
      {"dbgTabelaDrill", E::OnKeyPress, "dbgPadraoKeyPress"},
      // Grids of page 2.
      {"dbgFatos", E::OnCellClick, "dbgFatosCellClick"},
      {"dbgFatos", E::OnColEnter, "dbgFatosColEnter"},
      {"dbgFatos", E::OnColExit, "dbgFatosColExit"},
      {"dbgFatos", E::OnDrawColumnCell, "dbgFatosDrawColumnCell"},
      {"dbgFatos", E::OnEditButtonClick, "dbgFatosEditButtonClick"},
      {"dbgFatos", E::OnEnter, "dbgFatosEnter"},
      {"dbgFatos", E::OnKeyDown, "dbgFatosKeyDown"},
      {"dbgFatos", E::OnKeyPress, "dbgFatosKeyPress"},
      {"dbgFatos", E::OnTitleClick, "dbgFatosTitleClick"},
      {"dbgFatosDrill", E::OnColExit, "dbgFatosDrillColExit"},
      {"dbgFatosDrill", E::OnEditButtonClick, "dbgFatosDrillEditButtonClick"},
      {"dbgFatosDrill", E::OnEnter, "dbgFatosDrillEnter"},
      {"dbgFatosDrill", E::OnKeyDown, "dbgFatosDrillKeyDown"},
      {"dbgFatosDrill", E::OnKeyPress, "dbgFatosDrillKeyPress"},
      {"dbgDimensoes", E::OnColExit, "dbgDimensoesColExit"},
      {"dbgDimensoes", E::OnDrawColumnCell, "dbgDimensoesDrawColumnCell"},
      {"dbgDimensoes", E::OnEditButtonClick, "dbgDimensoesEditButtonClick"},
      {"dbgDimensoes", E::OnEnter, "dbgDimensoesEnter"},
      {"dbgDimensoes", E::OnKeyPress, "dbgDimensoesKeyPress"},
      {"dbgDimensoes", E::OnKeyDown, "dbgPadraoKeyDown"},
      // The connection: host and port are asked for at every connect.
      {"netEstrutura", E::BeforeConnect, "netEstruturaBeforeConnect"},
  };
  return table;
}

namespace {

rtl::TComponent* Component(rtl::TComponent& form, std::string_view path) {
  const size_t dot = path.find('.');
  rtl::TComponent* c = form.FindComponent(path.substr(0, dot));
  if (c != nullptr && dot != std::string_view::npos) {
    auto* ds = dynamic_cast<db::TClientDataSet*>(c);
    c = ds ? ds->FindField(path.substr(dot + 1)) : nullptr;
  }
  if (c == nullptr) throw std::logic_error("component not on the screen: " + std::string(path));
  return c;
}

template <class T>
T& As(rtl::TComponent* c, std::string_view path) {
  auto* typed = dynamic_cast<T*>(c);
  if (typed == nullptr)
    throw std::logic_error("component of the wrong kind for its event: " + std::string(path));
  return *typed;
}

// The handler registered under `name` in `map`, or nullptr.
template <class Map>
const typename Map::mapped_type* Find(const Map& map, std::string_view name) {
  auto it = map.find(name);
  return it == map.end() ? nullptr : &it->second;
}

// Assigns `slot` from `map`; false when the handler is not registered.
template <class Slot, class Map>
bool Assign(Slot& slot, const Map& map, std::string_view name) {
  const auto* handler = Find(map, name);
  if (handler == nullptr) return false;
  slot = *handler;
  return true;
}

bool Bind(rtl::TComponent& form, const EventBinding& b, const HandlerSet& h) {
  rtl::TComponent* c = Component(form, b.component);
  using E = Event;
  switch (b.event) {
    case E::BeforePost:
      return Assign(As<db::TClientDataSet>(c, b.component).BeforePost, h.dataset, b.handler);
    case E::AfterPost:
      return Assign(As<db::TClientDataSet>(c, b.component).AfterPost, h.dataset, b.handler);
    case E::AfterCancel:
      return Assign(As<db::TClientDataSet>(c, b.component).AfterCancel, h.dataset, b.handler);
    case E::AfterDelete:
      return Assign(As<db::TClientDataSet>(c, b.component).AfterDelete, h.dataset, b.handler);
    case E::AfterScroll:
      return Assign(As<db::TClientDataSet>(c, b.component).AfterScroll, h.dataset, b.handler);
    case E::OnGetText:
      return Assign(As<db::TField>(c, b.component).OnGetText, h.get_text, b.handler);
    case E::OnSetText:
      return Assign(As<db::TField>(c, b.component).OnSetText, h.set_text, b.handler);
    case E::OnStateChange:
      return Assign(As<db::TDataSource>(c, b.component).OnStateChange, h.notify, b.handler);
    case E::OnEnter:
      return Assign(As<vcl::TWinControl>(c, b.component).OnEnter, h.notify, b.handler);
    case E::OnColEnter:
      return Assign(As<vcl::TDBGrid>(c, b.component).OnColEnter, h.notify, b.handler);
    case E::OnColExit:
      return Assign(As<vcl::TDBGrid>(c, b.component).OnColExit, h.notify, b.handler);
    case E::OnCellClick:
      return Assign(As<vcl::TDBGrid>(c, b.component).OnCellClick, h.click, b.handler);
    case E::OnTitleClick:
      return Assign(As<vcl::TDBGrid>(c, b.component).OnTitleClick, h.click, b.handler);
    case E::OnDrawColumnCell:
      return Assign(As<vcl::TDBGrid>(c, b.component).OnDrawColumnCell, h.draw_cell, b.handler);
    case E::OnEditButtonClick:
      return Assign(As<vcl::TDBGrid>(c, b.component).OnEditButtonClick, h.notify, b.handler);
    case E::OnKeyDown:
      return Assign(As<vcl::TDBGrid>(c, b.component).OnKeyDown, h.key_down, b.handler);
    case E::OnKeyPress:
      return Assign(As<vcl::TDBGrid>(c, b.component).OnKeyPress, h.key_press, b.handler);
    case E::BeforeConnect:
      return Assign(As<net::TSocketConnection>(c, b.component).BeforeConnect, h.notify, b.handler);
  }
  return false;
}

}  // namespace

std::vector<EventBinding> BindEvents(rtl::TComponent& form, const HandlerSet& handlers) {
  std::vector<EventBinding> unbound;
  for (const EventBinding& b : EventBindings())
    if (!Bind(form, b, handlers)) unbound.push_back(b);
  return unbound;
}

}  // namespace qmx00600
