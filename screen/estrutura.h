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

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "frm/padrao_grid.h"
#include "model/components.h"
#include "model/event_bindings.h"
#include "server/remote_calls.h"
#include "server/save_members.h"

namespace qmx00600 {

class LiveNotices;

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
  // Other desks' work as it happens (screen/live_notices.h); the host calls
  // it from a timer, between the person's actions.
  void PollNotices();

  // -- Saving (screen/save_wiring.cpp).
  // The save member of `handler`, resolved to this screen's components.
  SaveMember BuildSaveMember(std::string_view handler);
  void Save(std::string_view handler);

  // Puts the cursor of the grid showing `dataset` on the field a refusal of
  // its posted row names, when it names one (screen/refused_field.cpp).
  void FocusRefusedField(db::TClientDataSet* dataset, const std::string& refusal);

  // -- A save refused because its row changed or went since it was read
  // (screen/conflict_reload.cpp). Whether the list of `dataset` knows how to
  // recover from it.
  static bool ReloadsAfterConflict(std::string_view dataset);
  // Reads what the person typed into the refused change of `dataset`, drops
  // the change, reloads the list it belongs to from the server, finds the row
  // again by its key and shows one message with what they typed; ends the
  // operation (rtl::EAbort).
  [[noreturn]] void RecoverFromConflict(db::TClientDataSet* dataset);

  // -- Fact-table list (screen/lists/fact_tables.cpp).
  // Entering the grid makes the fact-table list the current list (navigator
  // and name label bound to dtsPadrao) and reloads the current table's details.
  void dbgTabelaFatosEnter(rtl::TObject* sender);
  void dbgTabelaFatosColEnter(rtl::TObject* sender);
  void dbgTabelaFatosColExit(rtl::TObject* sender);
  void cdsTabelasBeforePost(db::TDataSet* dataset);
  void cdsTabelasAfterPost(db::TDataSet* dataset);
  void cdsTabelasAfterDelete(db::TDataSet* dataset);
  void cdsTabelasAfterCancel(db::TDataSet* dataset);
  void cdsTabelasAfterScroll(db::TDataSet* dataset);
  void dtsPadraoStateChange(rtl::TObject* sender) override;

  // -- Validation of the current list's row (screen/lists/table_validation.cpp).
  // Required code and name (with `checkRequired`), the normalised code, the
  // local and server duplicate look-ups; a rejection focuses its field, shows
  // its message and aborts (rtl::EAbort). Nothing happens in browse state.
  void VD_TABELA(bool checkRequired);

  // -- Reload of the current list or detail (screen/lists/verify.cpp).
  void sbtVerificarClick(rtl::TObject* sender) override;

  // -- Drill-table list (screen/lists/drill_tables.cpp).
  void dbgTabelaDrillEnter(rtl::TObject* sender);
  void dbgTabelaDrillColEnter(rtl::TObject* sender);
  void dbgTabelaDrillColExit(rtl::TObject* sender);
  void cdsTabelaDrillBeforePost(db::TDataSet* dataset);
  void cdsTabelaDrillAfterPost(db::TDataSet* dataset);
  void cdsTabelaDrillAfterDelete(db::TDataSet* dataset);
  void cdsTabelaDrillAfterScroll(db::TDataSet* dataset);
  void dtsTabelaDrillStateChange(rtl::TObject* sender);

  // -- Dimension grid binding (screen/facts_dimensions/dimension_binding.cpp).
  void optaCDSDime();

  // -- Screen state of the fact and dimension lists
  // (screen/facts_dimensions/detail_state.cpp). They act only while page 2
  // and their panel are active: defaults of a new row, the commands, and the
  // lock of page 1 and of the other panel while a row is edited.
  void dtsFatosStateChange(rtl::TObject* sender);
  void dtsDimeStateChange(rtl::TObject* sender);

  // -- Drill-table check of a fact (screen/facts_dimensions/drill_down_check.cpp).
  // false: the current fact's drill table is checked with the server (returns
  // false). true: asks whether the current drill dimension may be deleted,
  // naming the fact tables that would lose their drill link, and on consent
  // has the server drop those links; returns the consent.
  bool vd_drillDown(bool deleting);

  // -- Fact grid display (screen/facts_dimensions/fact_grid_display.cpp).
  // The type is shown and edited as its catalogue name; a typed name that is
  // not exactly one of the four leaves the type as it was, silently. The
  // data-mart column is drawn as the data mart's name (empty when none has
  // the code), the check column as a ticked ("S") or empty ("N", empty) box.
  void cdsFatosIDTPFATODWGetText(db::TField* sender, std::string& text, bool display_text);
  void cdsFatosIDTPFATODWSetText(db::TField* sender, const std::string& text);
  void dbgFatosDrawColumnCell(rtl::TObject* sender, const vcl::TRect& rect, int data_col,
                              vcl::TColumn* column, vcl::TGridDrawState state);

  // -- Facts of a fact table (screen/facts_dimensions/fact_rows.cpp). A
  // failing rule focuses its cell, shows its message and aborts (rtl::EAbort);
  // nothing is checked outside edit and insert. VD_areanegDW widens the data
  // mart's code and looks it up in the data marts; vd_fatos normalises the
  // field code and asks the server whether the field code (first in insert)
  // or the name (first in edit) is taken in the table; in edit only what
  // changed is asked, and the fact never clashes with itself.
  void cdsFatosBeforePost(db::TDataSet* dataset);
  void cdsFatosAfterPost(db::TDataSet* dataset);
  void cdsFatosAfterDelete(db::TDataSet* dataset);
  void cdsFatosAfterCancel(db::TDataSet* dataset);
  void dbgFatosColExit(rtl::TObject* sender);
  void VD_areanegDW();
  void vd_fatos();

  // -- Fact grid interaction (screen/facts_dimensions/fact_grid.cpp). A click
  // on the check column's title marks ("S") or unmarks ("N") every fact of
  // the table in one save, alternating from "N"; a click on a box toggles
  // that fact and saves it; the ellipsis buttons open the look-ups of field,
  // data mart and drill table; the type column takes no typing and no
  // Delete, the drill-table column upper-cases what is typed.
  void dbgFatosTitleClick(vcl::TColumn* column);
  void dbgFatosCellClick(vcl::TColumn* column);
  void dbgFatosColEnter(rtl::TObject* sender);
  void dbgFatosEditButtonClick(rtl::TObject* sender);
  void dbgFatosKeyDown(rtl::TObject* sender, uint16_t& key, vcl::TShiftState shift);
  void dbgFatosKeyPress(rtl::TObject* sender, char& key);
  void dbgFatosEnter(rtl::TObject* sender);

  // -- Dimension grid display (screen/facts_dimensions/dimension_grid_display.cpp).
  // The number column is drawn as the dimension's name, as the number itself
  // when the catalogue has no name for it.
  void dbgDimensoesDrawColumnCell(rtl::TObject* sender, const vcl::TRect& rect, int data_col,
                                  vcl::TColumn* column, vcl::TGridDrawState state);

  // -- Dimensions of a fact table (screen/facts_dimensions/dimension_rows.cpp).
  // Before a post: column and number required, VD_Dime, VD_DimeDime on the
  // number, then vd_incluirFatos. Every post and delete is saved at once; a
  // post ends with the table's details fetched again, a refused delete is
  // undone.
  void cdsDimeBeforePost(db::TDataSet* dataset);
  void cdsDimeAfterPost(db::TDataSet* dataset);
  void cdsDimeAfterDelete(db::TDataSet* dataset);
  // The row of cdsDime being inserted or edited: stored forms of column and
  // number, the server's duplicate checks, and, for a changed number that
  // drill links of the table depend on, the question whether to drop them
  // (No drops the edit, reloads and aborts silently). Nothing in browse state.
  void VD_Dime();
  // `number` (NRSEQUEDIME of cdsDime or of cdsDimeDrill) in its stored form
  // while its dataset is edited, and present in the dimension catalogue.
  void VD_DimeDime(db::TField* number);

  // -- Dimension grid (screen/facts_dimensions/dimension_grid.cpp): the
  // look-ups behind the two ellipsis buttons, the checks on leaving a column
  // and the key filter, on the side the grid shows.
  void dbgDimensoesEditButtonClick(rtl::TObject* sender);
  void dbgDimensoesColExit(rtl::TObject* sender);
  void dbgDimensoesKeyPress(rtl::TObject* sender, char& key);
  void dbgDimensoesEnter(rtl::TObject* sender);

  // -- Drill consistency on insertion (screen/drill/drill_consistency.cpp).
  // The last rule before a dimension row of either side is posted (the drill
  // side when cdsDimeDrill is edited): asks the server which drill links the
  // new or changed row would upset and, when there are any, the person. No
  // drops the row, reloads the side's details and aborts silently; Yes has
  // the server drop those links and lets the post go on.
  void vd_incluirFatos();

  // -- Screen state of the drill facts and dimensions (screen/drill/detail_state.cpp).
  void dtsFatosDrillStateChange(rtl::TObject* sender);
  void dtsDimeDrillStateChange(rtl::TObject* sender);

  // -- Type of a drill fact (screen/drill/drill_fact_types.cpp), shown and
  // entered as the fact type is.
  void cdsFatosDrillIDTPFATODRILLGetText(db::TField* sender, std::string& text, bool display_text);
  void cdsFatosDrillIDTPFATODRILLSetText(db::TField* sender, const std::string& text);

  // -- Drill facts (screen/drill/drill_facts.cpp).
  // Checks one field (CDITEMDRILL, NMITEMDRILL or IDTPFATODRILL) of the
  // current drill fact: empty is an error only when `required`; a new row's
  // column is stored upper-cased without blanks; the server judges every value
  // of a new row (the type aside) and an edited value that changed beyond
  // letter case. A rejection focuses the field, shows its message and aborts.
  void vd_fatos_drill(db::TField* field, bool required);
  void cdsFatosDrillBeforePost(db::TDataSet* dataset);
  void cdsFatosDrillAfterPost(db::TDataSet* dataset);
  void cdsFatosDrillAfterDelete(db::TDataSet* dataset);
  void dbgFatosDrillColExit(rtl::TObject* sender);
  // The column picker: the drill table's columns still free to become facts.
  void dbgFatosDrillEditButtonClick(rtl::TObject* sender);
  void dbgFatosDrillKeyPress(rtl::TObject* sender, char& key);
  void dbgFatosDrillKeyDown(rtl::TObject* sender, uint16_t& key, vcl::TShiftState shift);
  void dbgFatosDrillEnter(rtl::TObject* sender);

  // -- Drill dimensions (screen/drill/drill_dimensions.cpp).
  // Checks one field (CDDIMEDRILL or NRSEQUEDIME) of the current drill
  // dimension, first bringing it to its stored form; the server judges every
  // value of a new row and an edited value that changed beyond letter case.
  // When the server names fact tables the value would make inconsistent, the
  // person is asked: No discards the row, reloads the drill table's details
  // and aborts silently; Yes has the server drop those tables' links.
  void vd_dimeDrill(db::TField* field, bool required);
  // Column and number checked in this order, the number found in the
  // catalogue (VD_DimeDime), then the insertion check (vd_incluirFatos).
  void cdsDimeDrillBeforePost(db::TDataSet* dataset);
  // Saves after a post as well as after a delete (both events run it).
  void cdsDimeDrillAfterDelete(db::TDataSet* dataset);

  // -- Deletion guard (screen/drill/deletion_guard.cpp).
  // Whether the current row of the list of `kind` ("DRILL", "FATOS",
  // "FATOS_DRILL", "DIME", "DIME_DRILL") may be deleted now: asks the person
  // and, where fact tables drill into the drill table concerned, has the
  // server drop those links first. Any other kind: false, nothing asked.
  bool pode_deletar(const std::string& kind);

  // -- Command availability (screen/commands/command_state.cpp).
  // The seven commands and the navigator from the state of `source`.
  void controlaBotoes(db::TDataSource* source);

  // -- Pages and panels (screen/commands/pages_panels.cpp).
  void tshPadraoEnter(rtl::TObject* sender);
  void tshDadosEnter(rtl::TObject* sender);
  void pnlFatosEnter(rtl::TObject* sender);
  void pnlDImensoesEnter(rtl::TObject* sender);

  // -- Toolbar commands (screen/commands/toolbar.cpp), each on the target
  // list of CommandTarget.
  struct CommandTarget {
    db::TDataSource* source = nullptr;  // nullptr: no target
    db::TClientDataSet* dataset = nullptr;
    // The deletion guard's kind; empty for the fact-table list, which asks
    // the plain confirmation.
    std::string delete_kind;
  };
  // The list the user is working in: the current list on page 1; on page 2
  // the facts or the dimensions (by bofatos) of the chosen side.
  CommandTarget TargetList() const;
  void sbtIncluirClick(rtl::TObject* sender) override;
  void sbtAlterarClick(rtl::TObject* sender) override;
  void sbtExcluirClick(rtl::TObject* sender) override;
  void sbtProcurarClick(rtl::TObject* sender) override;
  void sbtCancelarClick(rtl::TObject* sender) override;
  void sbtConfirmarClick(rtl::TObject* sender) override;

  // -- Handlers by name, for the event table and the save members'
  // follow-up steps, all registered in screen/handler_table.cpp.
  const HandlerSet& Handlers() const { return handlers_; }
  // Runs the notify-style handler `name` (a state change, an after-scroll)
  // with the sender the event would give; std::out_of_range when unknown.
  void RunHandler(std::string_view name);
  // Table entries this screen has no handler for yet.
  const std::vector<EventBinding>& UnboundEvents() const { return unbound_; }

  const ScreenFlags& Flags() const { return flags_; }

 private:
  // A handler-table entry that calls `handler` (of this screen or of the
  // base screen) on this screen.
  template <typename Owner, typename... Args>
  std::function<void(Args...)> Bind(void (Owner::*handler)(Args...)) {
    static_assert(std::is_base_of_v<Owner, TfrmEstrutura>);
    return [this, handler](Args... args) { (this->*handler)(std::forward<Args>(args)...); };
  }
  // Fills handlers_ with every handler by name (screen/handler_table.cpp).
  void RegisterHandlers();
  // The common end of the four detail state changes: the commands for the
  // sender (or `own` when the sender is no data source), and page 1 and
  // `other_panel` usable only while `own` is in browse state.
  void DetailStateChanged(rtl::TObject* sender, db::TDataSource* own, vcl::TPanel* other_panel);
  // The server's duplicate check of a fact: its answer loaded into cdsVdFatos.
  void CheckFactOnServer(rtl::Variant& table, const std::string& field, const std::string& name);
  // Whether cdsVdFatos holds a fact other than the one being edited.
  bool OtherFactFound() const;
  // The two branches of VD_TABELA.
  void ValidateFactTable(bool checkRequired);
  void ValidateDrillTable(bool checkRequired);
  // Focuses `field` (when given), shows the message of `key` and aborts.
  [[noreturn]] void Reject(db::TField* field, std::string_view key);
  // Runs the state-change handler of `source`, with `source` as sender.
  static void RunStateChange(db::TDataSource* source);
  // Moves the focus to `control` when it can take it.
  static void FocusIfPossible(vcl::TWinControl* control);
  // The plain confirmation (Excl, Yes/No); true on Yes.
  bool ConfirmDelete();
  // Asks the warning question with `text`; true on Yes.
  bool AskWarning(const std::string& text);

  bool built_ = false;  // every component exists and the events are bound
  // The details on screen were fetched by loading the fact-table list on
  // creation, and no row of it was reached since: the screen's first focus,
  // which enters the list right after, has nothing to reload.
  bool details_fresh_from_load_ = false;
  std::unique_ptr<LiveNotices> live_;  // made at the first poll

  ScreenFlags flags_;
  HandlerSet handlers_;
  std::vector<EventBinding> unbound_;
  std::unique_ptr<RemoteCalls> calls_;
};

}  // namespace qmx00600
