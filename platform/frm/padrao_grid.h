// TfrmPadraoGrid: the standard grid screen every maintenance screen derives
// from: a toolbar of commands, a page control with a first page holding a
// grid, a navigator with a name label, a menu that repeats the commands, a
// data source for the screen's main list and two message tables.
//
// Creation is two-phase. The constructor builds every component of the base
// (owned by the screen and named as the fields below); a derived screen's
// constructor then builds its own components, owned by the screen too, and
// may re-point or re-arrange the base's. Only after the whole object exists
// does AfterConstruction fire OnCreate, bound to the virtual FormCreate, so a
// derived FormCreate always finds every component of both layers.
// vcl::TApplication::CreateForm makes both phases; code that constructs a
// screen itself calls AfterConstruction() next. A derived FormCreate calls
// TfrmPadraoGrid::FormCreate first; a derived FormDestroy calls it last.
//
// Event binding by name: the clicks of the eight toolbar buttons and of their
// menu items, OnCreate, OnDestroy, OnClose and the state change of dtsPadrao
// are bound to the virtual methods of the same names, so a derived screen
// replaces a handler by overriding it. The base's own versions act on
// dtsPadrao's dataset (see each method). A handler that runs while the
// derived constructor is still running (e.g. dtsPadrao's state change, once
// the derived constructor points it at a dataset) is already the derived one.
//
// The key handlers dbgPadraoKeyDown and dbgPadraoKeyPress are the base's
// own and not virtual; a derived screen binds them to its grids:
//   - Enter (without Ctrl or Alt) moves to the next visible column, like Tab
//     would, and Shift+Enter to the previous one; at the last (first) column
//     Enter is left to the grid, which writes the editor's text into the
//     field and closes the editor. Enter never posts, appends or leaves the
//     row, so it cannot lose or send anything by itself. A column exit that
//     refuses keeps the column, as with any column move.
//   - The Enter character that follows is swallowed, so it never reaches a
//     cell's text.
//
// Closing: CloseQuery asks before anything is lost. When any dataset of the
// screen (owned by it, or reached through a data source it owns) is in edit
// or insert state, the Canc question of msgPadraoGrid is asked once
// (Yes/No); No keeps the screen open, Yes cancels those edits and the screen
// closes. A closed screen is freed (FormClose sets caFree).
//
// Destruction: once the screen starts going away (after OnDestroy, and again
// in the destructor), every event handler of every component it owns is
// cleared, so no handler of the screen can run on a half-destroyed object
// while its components are being destroyed.
#pragma once

#include <cstdint>

#include "db/data_source.h"
#include "orb/messages.h"
#include "orb/page_control98.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/db_navigator.h"
#include "vcl/db_text.h"
#include "vcl/form.h"
#include "vcl/label.h"
#include "vcl/menu.h"
#include "vcl/panel.h"

namespace frm {

class TfrmPadraoGrid : public vcl::TForm {
 public:
  explicit TfrmPadraoGrid(rtl::TComponent* owner);
  ~TfrmPadraoGrid() override;

  // -- Components (owned by the screen, named as the fields).
  vcl::TPanel* panMenu;  // toolbar, top
  vcl::TButtonFlat* sbtIncluir;
  vcl::TButtonFlat* sbtAlterar;
  vcl::TButtonFlat* sbtExcluir;
  vcl::TButtonFlat* sbtProcurar;
  vcl::TButtonFlat* sbtCancelar;
  vcl::TButtonFlat* sbtConfirmar;
  vcl::TButtonFlat* sbtVerificar;
  vcl::TButtonFlat* sbtImprimir;
  vcl::TLabel* lblCodTela;  // the screen code, on the toolbar's right
  orb::TCustomPageControl98* pgcPadrao;
  vcl::TTabSheet* tshPadrao;
  vcl::TPanel* panDbgPadrao;
  vcl::TScrollBox* scbFolhaDados;
  vcl::TDBGrid* dbgPadrao;
  vcl::TPanel* panNavigator;  // bottom
  vcl::TDBText* dbtNome;
  vcl::TDBNavigator* dbnPadrao;
  vcl::TMainMenu* mnuMenu;
  // "Operação": one item per command of the toolbar but print, in toolbar
  // order; each runs the same handler as its button.
  vcl::TMenuItem* mnuOperacao;
  vcl::TMenuItem* mnuIncluir;
  vcl::TMenuItem* mnuAlterar;
  vcl::TMenuItem* mnuExcluir;
  vcl::TMenuItem* mnuProcurar;
  vcl::TMenuItem* mnuCancelar;
  vcl::TMenuItem* mnuConfirmar;
  vcl::TMenuItem* mnuVerificar;
  // The print command's item (sbtImprimirClick), and the printer set-up,
  // which this system does not have (it says so, SemImpressora).
  vcl::TMenuItem* mnuListagem;
  vcl::TMenuItem* mnuConfigImpressora;
  db::TDataSource* dtsPadrao;
  orb::TMessages* msgPadrao;  // empty; the derived screen fills it
  // The base's own texts: the questions Excl and Canc, and SemListagem and
  // SemImpressora.
  orb::TMessages* msgPadraoGrid;

  // -- Handlers bound by name.
  // Include: in browse state, Insert.
  virtual void sbtIncluirClick(rtl::TObject* sender);
  // Edit: in browse state on a non-empty dataset, Edit.
  virtual void sbtAlterarClick(rtl::TObject* sender);
  // Delete: in browse state on a non-empty dataset, asks Excl; Yes deletes.
  virtual void sbtExcluirClick(rtl::TObject* sender);
  // Search: on an open dataset, the search dialog (orb::Procura).
  virtual void sbtProcurarClick(rtl::TObject* sender);
  // Cancel: in edit or insert state, asks Canc; Yes cancels.
  virtual void sbtCancelarClick(rtl::TObject* sender);
  // Confirm: repaints the grids, then posts an edit or insert.
  virtual void sbtConfirmarClick(rtl::TObject* sender);
  // Verify: the base has nothing to reload; repaints the grids.
  virtual void sbtVerificarClick(rtl::TObject* sender);
  // Print: the base has no listing; says so (SemListagem).
  virtual void sbtImprimirClick(rtl::TObject* sender);
  // Create: makes tshPadrao the active page, sets the commands from
  // dtsPadrao (UpdateCommands), marks where new rows start
  // (MarkFirstEditableFields) and chooses the grid the screen opens in
  // (the first grid of tshPadrao that is visible and enabled).
  virtual void FormCreate(rtl::TObject* sender);
  // Destroy: nothing of the base's own to release; kept for derived screens
  // to chain to.
  virtual void FormDestroy(rtl::TObject* sender);
  // Close: the screen is freed.
  virtual void FormClose(rtl::TObject* sender, vcl::TCloseAction& action);
  // State change of dtsPadrao: UpdateCommands(dtsPadrao).
  virtual void dtsPadraoStateChange(rtl::TObject* sender);

  void dbgPadraoKeyDown(rtl::TObject* sender, uint16_t& key, vcl::TShiftState shift);
  void dbgPadraoKeyPress(rtl::TObject* sender, char& key);

  // Enables the commands for the state of `source` (nullptr counts as
  // inactive): add in browse; edit, delete, search and verify in browse with
  // rows (but add, edit and delete never after LimitToReading); cancel and
  // confirm in edit or insert; in any other state none. The
  // menu items are set first and each button then takes its item's state;
  // then the navigator, enabled in browse. Print is left as the screen set it.
  void UpdateCommands(db::TDataSource* source);

  // The insert mark: a field whose Tag is odd is where the include command
  // puts the focus, and the field after it where the edit command does. For
  // the dataset of every data source of the screen that has no marked field
  // yet, marks (Tag 1) its first visible field that can be typed into: one
  // that a grid of the screen shows in an editable column, or, for a dataset
  // no grid shows now, the first visible field.
  void MarkFirstEditableFields();

  // For a person who may only read (the server admitted an account that may
  // not change anything): every grid the screen owns becomes read-only (no
  // typing, inserting, deleting or ellipsis look-up), the navigator keeps
  // only its moves, and UpdateCommands leaves include, edit and delete off
  // from now on. Browsing, search and verify work as before. For good: the
  // screen's grids are not given back their editing.
  void LimitToReading();
  bool ReadingOnly() const { return reading_only_; }

  bool CloseQuery() override;
  void BeforeDestruction() override;

 private:
  void BuildToolbar();
  void BuildPages();
  void BuildNavigator();
  void BuildMenu();
  void BindHandlers();
  db::TClientDataSet* PadraoDataSet() const;
  // Clears the event handlers of every component the screen owns.
  void DetachHandlers();

  bool reading_only_ = false;
};

}  // namespace frm
