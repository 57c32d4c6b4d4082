// TfrmEstrutura: the screen "Estrutura do DW" (QMX00600), the base grid
// screen with the structure's lists on two pages, talking to the remote data
// module rdmEstrutura through its connection netEstrutura.
//
// Creation is the base screen's two-phase creation: the constructor builds
// the datasets, the layout and the connection and binds their events by name
// (model/event_bindings.h); FormCreate then connects and loads the initial
// lists. Every remote call goes through Server() (the calling convention and
// the result check); every after-post and after-delete handler saves through
// SaveMember/RunSaveSequence.
//
// Handlers live in one file per family: screen/lists (the two lists of
// tables), screen/facts_dimensions (facts, dimensions and the dimension
// grid), screen/drill (drill facts and dimensions, drill consistency),
// screen/commands (toolbar, pages and panels, command availability); the
// lifecycle (FormCreate, FormDestroy, the connection) is in module/.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "frm/padrao_grid.h"
#include "model/components.h"
#include "model/event_bindings.h"
#include "server/remote_calls.h"
#include "server/save_members.h"

namespace qmx00600 {

// The screen's private state that several handlers read.
struct ScreenFlags {
  bool bodados = false;       // page "Fatos e Dimensões" is active
  bool bofatos = true;        // on page 2 the facts panel was entered last
  bool bomarcatodos = false;  // value of the next check-all of the fact check column
};

class TfrmEstrutura : public frm::TfrmPadraoGrid, public EstruturaComponents {
 public:
  explicit TfrmEstrutura(rtl::TComponent* owner);
  ~TfrmEstrutura() override;

  // -- Lifecycle and connection (module/screen_lifecycle.cpp).
  void FormCreate(rtl::TObject* sender) override;
  void FormDestroy(rtl::TObject* sender) override;
  void netEstruturaBeforeConnect(rtl::TObject* sender);

  // -- Results and error reports (screen/estrutura.cpp).
  rtl::Variant CheckOleContents(const rtl::Variant& result);
  [[noreturn]] void HandleErrorMessage(const std::string& text);
  RemoteCalls& Server() { return *calls_; }

  // -- Saving (screen/save_wiring.cpp).
  // The save member of `handler`, resolved to this screen's components.
  SaveMember BuildSaveMember(std::string_view handler);
  void Save(std::string_view handler);

  // -- Fact-table list (screen/lists/fact_tables.cpp).
  void cdsTabelasAfterPost(db::TDataSet* dataset);
  void cdsTabelasAfterDelete(db::TDataSet* dataset);
  void cdsTabelasAfterScroll(db::TDataSet* dataset);

  // -- Drill-table list (screen/lists/drill_tables.cpp).
  void cdsTabelaDrillAfterPost(db::TDataSet* dataset);
  void cdsTabelaDrillAfterDelete(db::TDataSet* dataset);
  void cdsTabelaDrillAfterScroll(db::TDataSet* dataset);

  // -- Dimension grid binding (screen/facts_dimensions/dimension_binding.cpp).
  void optaCDSDime();

  // -- Handlers by name, for the event table and the save members'
  // follow-up steps; later handler families register theirs here.
  const HandlerSet& Handlers() const { return handlers_; }
  // Runs the notify-style handler `name` (a state change, an after-scroll)
  // with the sender the event would give; std::out_of_range when unknown.
  void RunHandler(std::string_view name);
  // Table entries this screen has no handler for yet.
  const std::vector<EventBinding>& UnboundEvents() const { return unbound_; }

  const ScreenFlags& Flags() const { return flags_; }

 private:
  void RegisterHandlers();
  void RegisterListHandlers();

  ScreenFlags flags_;
  HandlerSet handlers_;
  std::vector<EventBinding> unbound_;
  std::unique_ptr<RemoteCalls> calls_;
};

}  // namespace qmx00600
