#include "frm/padrao_grid.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "db/client_dataset.h"
#include "net/socket_connection.h"
#include "orb/dialogs.h"
#include "orb/grids.h"

namespace frm {

namespace {

template <class T>
T* Make(rtl::TComponent* owner, const char* name) {
  T* component = new T(owner);
  component->SetName(name);
  return component;
}

template <class T>
T* Place(rtl::TComponent* owner, vcl::TWinControl* parent, const char* name) {
  T* control = Make<T>(owner, name);
  control->SetParent(parent);
  return control;
}

bool Editing(const db::TClientDataSet* dataset) {
  const db::TDataSetState state = dataset->State();
  return state == db::TDataSetState::dsEdit || state == db::TDataSetState::dsInsert;
}

// The datasets a screen holds: those it owns at any depth, and those its own
// data sources show, each once, in the order met.
void CollectDataSets(const rtl::TComponent* owner, std::vector<db::TClientDataSet*>& out) {
  auto add = [&out](db::TClientDataSet* ds) {
    if (ds && std::find(out.begin(), out.end(), ds) == out.end()) out.push_back(ds);
  };
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    rtl::TComponent* c = owner->Components(i);
    if (auto* ds = dynamic_cast<db::TClientDataSet*>(c)) add(ds);
    if (auto* source = dynamic_cast<db::TDataSource*>(c)) add(source->DataSet());
    CollectDataSets(c, out);
  }
}

template <class T>
void CollectComponents(const rtl::TComponent* owner, std::vector<T*>& out) {
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    rtl::TComponent* c = owner->Components(i);
    if (auto* t = dynamic_cast<T*>(c)) out.push_back(t);
    CollectComponents(c, out);
  }
}

// Whether `grid` shows `field` in a column the person can type into.
bool EditableIn(const vcl::TDBGrid* grid, const db::TField* field) {
  if (grid->ReadOnly() || !(grid->Options() & vcl::dgEditing)) return false;
  for (int i = 0; i < grid->Columns().Count(); ++i) {
    const vcl::TColumn* column = grid->Columns()[i];
    if (column->Field() == field && column->Visible() && !column->ReadOnly()) return true;
  }
  return false;
}

// The first visible field of `ds` the grids showing it let the person type
// into (any visible one when no grid shows it), or nullptr.
db::TField* FirstEditableField(db::TClientDataSet* ds, const std::vector<vcl::TDBGrid*>& grids) {
  std::vector<const vcl::TDBGrid*> showing;
  for (const vcl::TDBGrid* grid : grids)
    if (grid->DataSet() == ds) showing.push_back(grid);
  for (int i = 0; i < ds->FieldCount(); ++i) {
    db::TField* field = ds->Fields(i);
    if (!field->Visible()) continue;
    if (showing.empty()) return field;
    for (const vcl::TDBGrid* grid : showing)
      if (EditableIn(grid, field)) return field;
  }
  return nullptr;
}

// Unhooks every handler it is given.
template <class... Events>
void Unhook(Events&... events) {
  ((events = nullptr), ...);
}

void ClearEvents(rtl::TComponent* c) {
  if (auto* ds = dynamic_cast<db::TClientDataSet*>(c))
    Unhook(ds->BeforeOpen, ds->AfterOpen, ds->BeforeClose, ds->AfterClose, ds->BeforeInsert,
           ds->AfterInsert, ds->BeforeEdit, ds->AfterEdit, ds->BeforePost, ds->AfterPost,
           ds->BeforeCancel, ds->AfterCancel, ds->BeforeDelete, ds->AfterDelete, ds->BeforeScroll,
           ds->AfterScroll, ds->OnNewRecord);
  if (auto* field = dynamic_cast<db::TField*>(c)) Unhook(field->OnGetText, field->OnSetText);
  if (auto* source = dynamic_cast<db::TDataSource*>(c))
    Unhook(source->OnStateChange, source->OnDataChange);
  if (auto* control = dynamic_cast<vcl::TWinControl*>(c)) Unhook(control->OnEnter, control->OnExit);
  if (auto* grid = dynamic_cast<vcl::TDBGrid*>(c))
    Unhook(grid->OnKeyDown, grid->OnKeyPress, grid->OnColEnter, grid->OnColExit,
           grid->OnEditButtonClick, grid->OnCellClick, grid->OnTitleClick, grid->OnDrawColumnCell);
  if (auto* button = dynamic_cast<vcl::TButtonFlat*>(c)) Unhook(button->OnClick);
  if (auto* item = dynamic_cast<vcl::TMenuItem*>(c)) Unhook(item->OnClick);
  if (auto* pages = dynamic_cast<vcl::TPageControl*>(c)) Unhook(pages->OnChanging, pages->OnChange);
  if (auto* navigator = dynamic_cast<vcl::TDBNavigator*>(c))
    Unhook(navigator->BeforeAction, navigator->OnClick);
  if (auto* form = dynamic_cast<vcl::TCustomForm*>(c))
    Unhook(form->OnCreate, form->OnDestroy, form->OnShow, form->OnCloseQuery, form->OnClose);
  if (auto* connection = dynamic_cast<net::TSocketConnection*>(c))
    Unhook(connection->BeforeConnect, connection->AfterConnect, connection->AfterDisconnect);
  for (int i = 0; i < c->ComponentCount(); ++i) ClearEvents(c->Components(i));
}

}  // namespace

TfrmPadraoGrid::TfrmPadraoGrid(rtl::TComponent* owner) : vcl::TForm(owner) {
  SetName("frmPadraoGrid");
  SetFormStyle(vcl::TFormStyle::fsMDIChild);
  SetBounds(0, 0, 761, 470);

  dtsPadrao = Make<db::TDataSource>(this, "dtsPadrao");
  msgPadrao = Make<orb::TMessages>(this, "msgPadrao");
  msgPadraoGrid = Make<orb::TMessages>(this, "msgPadraoGrid");
  msgPadraoGrid->SetLines({
      "Excl|Confirma exclusão?",
      "Canc|Cancela as alterações?",
      "SemListagem|Não há listagem disponível nesta tela.",
      "SemImpressora|Não há impressora a configurar nesta tela.",
  });

  BuildToolbar();
  BuildNavigator();
  BuildPages();
  BuildMenu();
  BindHandlers();
}

TfrmPadraoGrid::~TfrmPadraoGrid() {
  DetachHandlers();
}

void TfrmPadraoGrid::BuildToolbar() {
  panMenu = Place<vcl::TPanel>(this, this, "panMenu");
  panMenu->SetHeight(34);
  panMenu->SetAlign(vcl::TAlign::alTop);
  struct Command {
    vcl::TButtonFlat** button;
    const char* name;
    const char* hint;
    const char* glyph;
  };
  const Command commands[] = {
      {&sbtIncluir, "sbtIncluir", "Incluir", "incluir"},
      {&sbtAlterar, "sbtAlterar", "Alterar", "alterar"},
      {&sbtExcluir, "sbtExcluir", "Excluir", "excluir"},
      {&sbtProcurar, "sbtProcurar", "Procurar", "procurar"},
      {&sbtCancelar, "sbtCancelar", "Cancelar", "cancelar"},
      {&sbtConfirmar, "sbtConfirmar", "Confirmar", "confirmar"},
      {&sbtVerificar, "sbtVerificar", "Verificar", "verificar"},
      {&sbtImprimir, "sbtImprimir", "Imprimir", "imprimir"},
  };
  int left = 4;
  for (const Command& c : commands) {
    vcl::TButtonFlat* button = Place<vcl::TButtonFlat>(this, panMenu, c.name);
    button->SetBounds(left, 3, 30, 28);
    button->SetHint(c.hint);
    button->SetGlyph(c.glyph);
    *c.button = button;
    left += 32;
  }
  lblCodTela = Place<vcl::TLabel>(this, panMenu, "lblCodTela");
  lblCodTela->SetBounds(670, 10, 80, 16);
}

void TfrmPadraoGrid::BuildNavigator() {
  panNavigator = Place<vcl::TPanel>(this, this, "panNavigator");
  panNavigator->SetHeight(27);
  panNavigator->SetAlign(vcl::TAlign::alBottom);
  dbtNome = Place<vcl::TDBText>(this, panNavigator, "dbtNome");
  dbtNome->SetBounds(6, 6, 450, 17);
  dbtNome->SetDataSource(dtsPadrao);
  dbnPadrao = Place<vcl::TDBNavigator>(this, panNavigator, "dbnPadrao");
  dbnPadrao->SetBounds(520, 1, 236, 25);
  dbnPadrao->SetDataSource(dtsPadrao);
}

void TfrmPadraoGrid::BuildPages() {
  pgcPadrao = Place<orb::TCustomPageControl98>(this, this, "pgcPadrao");
  pgcPadrao->SetAlign(vcl::TAlign::alClient);
  tshPadrao = Make<vcl::TTabSheet>(this, "tshPadrao");
  tshPadrao->SetPageControl(pgcPadrao);
  tshPadrao->SetCaption("Padrão");
  tshPadrao->SetAlign(vcl::TAlign::alClient);
  panDbgPadrao = Place<vcl::TPanel>(this, tshPadrao, "panDbgPadrao");
  panDbgPadrao->SetAlign(vcl::TAlign::alClient);
  scbFolhaDados = Place<vcl::TScrollBox>(this, panDbgPadrao, "scbFolhaDados");
  scbFolhaDados->SetAlign(vcl::TAlign::alClient);
  dbgPadrao = Place<vcl::TDBGrid>(this, scbFolhaDados, "dbgPadrao");
  dbgPadrao->SetAlign(vcl::TAlign::alClient);
  dbgPadrao->SetDataSource(dtsPadrao);
}

void TfrmPadraoGrid::BuildMenu() {
  mnuMenu = Make<vcl::TMainMenu>(this, "mnuMenu");
  SetMenu(mnuMenu);
  auto item = [this](vcl::TMenuItem* parent, const char* name, const char* caption) {
    vcl::TMenuItem* it = Make<vcl::TMenuItem>(this, name);
    it->SetCaption(caption);
    parent->Add(it);
    return it;
  };
  vcl::TMenuItem& top = mnuMenu->Items();
  mnuOperacao = item(&top, "mnuOperacao", "&Operação");
  mnuIncluir = item(mnuOperacao, "mnuIncluir", "&Incluir");
  mnuAlterar = item(mnuOperacao, "mnuAlterar", "&Alterar");
  mnuExcluir = item(mnuOperacao, "mnuExcluir", "&Excluir");
  mnuProcurar = item(mnuOperacao, "mnuProcurar", "&Procurar");
  mnuCancelar = item(mnuOperacao, "mnuCancelar", "&Cancelar");
  mnuConfirmar = item(mnuOperacao, "mnuConfirmar", "C&onfirmar");
  mnuVerificar = item(mnuOperacao, "mnuVerificar", "&Verificar");
  // Keys for the toolbar's commands that no grid uses for itself (Insert,
  // Ctrl+Delete, Esc and Enter keep their meaning in the grids).
  const std::pair<vcl::TMenuItem*, vcl::TShortCut> keys[] = {
      {mnuIncluir, vcl::ShortCut('N', vcl::ssCtrl)},
      {mnuAlterar, vcl::ShortCut('E', vcl::ssCtrl)},
      {mnuExcluir, vcl::ShortCut('D', vcl::ssCtrl)},
      {mnuProcurar, vcl::ShortCut('F', vcl::ssCtrl)},
      {mnuCancelar, vcl::ShortCut('Z', vcl::ssCtrl)},
      {mnuConfirmar, vcl::ShortCut('S', vcl::ssCtrl)},
      {mnuVerificar, vcl::ShortCut(vcl::VK_F5, 0)},
  };
  for (const auto& [menu_item, key] : keys) menu_item->SetShortCut(key);
  mnuListagem = item(&top, "mnuListagem", "&Listagem");
  mnuConfigImpressora = item(&top, "mnuConfigImpressora", "Configurar i&mpressora");
}

void TfrmPadraoGrid::BindHandlers() {
  OnCreate = [this](rtl::TObject* s) { FormCreate(s); };
  OnDestroy = [this](rtl::TObject* s) { FormDestroy(s); };
  OnClose = [this](rtl::TObject* s, vcl::TCloseAction& a) { FormClose(s, a); };
  dtsPadrao->OnStateChange = [this](rtl::TObject* s) { dtsPadraoStateChange(s); };

  using Handler = void (TfrmPadraoGrid::*)(rtl::TObject*);
  struct Binding {
    vcl::TButtonFlat* button;
    vcl::TMenuItem* item;
    Handler handler;
  };
  const Binding bindings[] = {
      {sbtIncluir, mnuIncluir, &TfrmPadraoGrid::sbtIncluirClick},
      {sbtAlterar, mnuAlterar, &TfrmPadraoGrid::sbtAlterarClick},
      {sbtExcluir, mnuExcluir, &TfrmPadraoGrid::sbtExcluirClick},
      {sbtProcurar, mnuProcurar, &TfrmPadraoGrid::sbtProcurarClick},
      {sbtCancelar, mnuCancelar, &TfrmPadraoGrid::sbtCancelarClick},
      {sbtConfirmar, mnuConfirmar, &TfrmPadraoGrid::sbtConfirmarClick},
      {sbtVerificar, mnuVerificar, &TfrmPadraoGrid::sbtVerificarClick},
      {sbtImprimir, mnuListagem, &TfrmPadraoGrid::sbtImprimirClick},
  };
  // Calls through a pointer to a virtual member dispatch to the override.
  for (const Binding& b : bindings) {
    b.button->OnClick = [this, h = b.handler](rtl::TObject* s) { (this->*h)(s); };
    b.item->OnClick = [this, h = b.handler](rtl::TObject* s) { (this->*h)(s); };
  }
  mnuConfigImpressora->OnClick = [this](rtl::TObject*) {
    msgPadraoGrid->ShowMsg("SemImpressora", vcl::TMsgDlgType::mtInformation, vcl::mbOK, 0);
  };

  dbgPadrao->OnKeyDown = [this](rtl::TObject* s, uint16_t& key, vcl::TShiftState shift) {
    dbgPadraoKeyDown(s, key, shift);
  };
  dbgPadrao->OnKeyPress = [this](rtl::TObject* s, char& key) { dbgPadraoKeyPress(s, key); };
}

db::TClientDataSet* TfrmPadraoGrid::PadraoDataSet() const {
  return dtsPadrao->DataSet();
}

void TfrmPadraoGrid::sbtIncluirClick(rtl::TObject*) {
  db::TClientDataSet* ds = PadraoDataSet();
  if (ds && ds->State() == db::TDataSetState::dsBrowse) ds->Insert();
}

void TfrmPadraoGrid::sbtAlterarClick(rtl::TObject*) {
  db::TClientDataSet* ds = PadraoDataSet();
  if (ds && ds->State() == db::TDataSetState::dsBrowse && !ds->IsEmpty()) ds->Edit();
}

void TfrmPadraoGrid::sbtExcluirClick(rtl::TObject*) {
  db::TClientDataSet* ds = PadraoDataSet();
  if (!ds || ds->State() != db::TDataSetState::dsBrowse || ds->IsEmpty()) return;
  if (msgPadraoGrid->ShowMsg("Excl", vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo, 0) ==
      vcl::mrYes)
    ds->Delete();
}

void TfrmPadraoGrid::sbtProcurarClick(rtl::TObject*) {
  db::TClientDataSet* ds = PadraoDataSet();
  if (ds && ds->Active()) orb::Procura(*ds);
}

void TfrmPadraoGrid::sbtCancelarClick(rtl::TObject*) {
  db::TClientDataSet* ds = PadraoDataSet();
  if (!ds || !Editing(ds)) return;
  if (msgPadraoGrid->ShowMsg("Canc", vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo, 0) ==
      vcl::mrYes)
    ds->Cancel();
}

void TfrmPadraoGrid::sbtConfirmarClick(rtl::TObject*) {
  orb::RefreshGrid(this);
  db::TClientDataSet* ds = PadraoDataSet();
  if (ds && Editing(ds)) ds->Post();
}

void TfrmPadraoGrid::sbtVerificarClick(rtl::TObject*) {
  orb::RefreshGrid(this);
}

void TfrmPadraoGrid::sbtImprimirClick(rtl::TObject*) {
  msgPadraoGrid->ShowMsg("SemListagem", vcl::TMsgDlgType::mtInformation, vcl::mbOK, 0);
}

void TfrmPadraoGrid::FormCreate(rtl::TObject*) {
  pgcPadrao->SetActivePage(tshPadrao);
  UpdateCommands(dtsPadrao);
  MarkFirstEditableFields();
  // The screen opens in its first list, so the person's first click on any
  // other control of the page is the only focus move (entering the page
  // from the page control would move the focus once more).
  std::vector<vcl::TDBGrid*> grids;
  CollectComponents(this, grids);
  for (vcl::TDBGrid* grid : grids)
    if (tshPadrao->ContainsControl(grid) && grid->Visible() && grid->EnabledChain()) {
      bool shown = true;
      for (const vcl::TControl* c = grid; c != tshPadrao && shown; c = c->Parent())
        shown = c->Visible();
      if (!shown) continue;
      SetActiveControl(grid);
      break;
    }
}

void TfrmPadraoGrid::MarkFirstEditableFields() {
  std::vector<vcl::TDBGrid*> grids;
  CollectComponents(this, grids);
  std::vector<db::TDataSource*> sources;
  CollectComponents(this, sources);
  for (db::TDataSource* source : sources) {
    db::TClientDataSet* ds = source->DataSet();
    if (ds == nullptr) continue;
    bool marked = false;
    for (int i = 0; i < ds->FieldCount() && !marked; ++i) marked = ds->Fields(i)->Tag() % 2 != 0;
    if (marked) continue;
    if (db::TField* field = FirstEditableField(ds, grids)) field->SetTag(field->Tag() + 1);
  }
}

void TfrmPadraoGrid::FormDestroy(rtl::TObject*) {}

void TfrmPadraoGrid::FormClose(rtl::TObject*, vcl::TCloseAction& action) {
  action = vcl::TCloseAction::caFree;
}

void TfrmPadraoGrid::dtsPadraoStateChange(rtl::TObject*) {
  UpdateCommands(dtsPadrao);
}

void TfrmPadraoGrid::dbgPadraoKeyDown(rtl::TObject* sender, uint16_t& key, vcl::TShiftState shift) {
  if (key != vcl::VK_RETURN || (shift & (vcl::ssCtrl | vcl::ssAlt)) != 0) return;
  auto* grid = dynamic_cast<vcl::TDBGrid*>(sender);
  if (grid == nullptr) return;
  const int step = (shift & vcl::ssShift) ? -1 : 1;
  const int count = grid->Columns().Count();
  for (int i = grid->SelectedIndex() + step; i >= 0 && i < count; i += step) {
    if (!grid->Columns()[i]->Visible()) continue;
    key = 0;
    grid->SetSelectedIndex(i);
    return;
  }
}

void TfrmPadraoGrid::dbgPadraoKeyPress(rtl::TObject*, char& key) {
  if (key == '\r') key = '\0';
}

void TfrmPadraoGrid::UpdateCommands(db::TDataSource* source) {
  const db::TDataSetState state = source ? source->State() : db::TDataSetState::dsInactive;
  const bool browse = state == db::TDataSetState::dsBrowse;
  const bool editing = state == db::TDataSetState::dsEdit || state == db::TDataSetState::dsInsert;
  const bool rows = browse && source->DataSet() && source->DataSet()->RecordCount() != 0;
  mnuIncluir->SetEnabled(browse && !reading_only_);
  mnuAlterar->SetEnabled(rows && !reading_only_);
  mnuExcluir->SetEnabled(rows && !reading_only_);
  mnuProcurar->SetEnabled(rows);
  mnuVerificar->SetEnabled(rows);
  mnuCancelar->SetEnabled(editing);
  mnuConfirmar->SetEnabled(editing);
  const std::pair<vcl::TButtonFlat*, vcl::TMenuItem*> pairs[] = {
      {sbtIncluir, mnuIncluir},     {sbtAlterar, mnuAlterar},     {sbtExcluir, mnuExcluir},
      {sbtProcurar, mnuProcurar},   {sbtVerificar, mnuVerificar}, {sbtCancelar, mnuCancelar},
      {sbtConfirmar, mnuConfirmar},
  };
  for (const auto& [button, item] : pairs) button->SetEnabled(item->Enabled());
  dbnPadrao->SetEnabled(browse);
}

bool TfrmPadraoGrid::CloseQuery() {
  if (!vcl::TForm::CloseQuery()) return false;
  std::vector<db::TClientDataSet*> datasets;
  CollectDataSets(this, datasets);
  std::vector<db::TClientDataSet*> pending;
  for (db::TClientDataSet* ds : datasets)
    if (Editing(ds)) pending.push_back(ds);
  if (pending.empty()) return true;
  if (msgPadraoGrid->ShowMsg("Canc", vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo, 0) !=
      vcl::mrYes)
    return false;
  // Cancelling one may end another's edit through its handlers; ask again.
  for (db::TClientDataSet* ds : pending)
    if (Editing(ds)) ds->Cancel();
  return true;
}

void TfrmPadraoGrid::BeforeDestruction() {
  vcl::TForm::BeforeDestruction();
  DetachHandlers();
}

void TfrmPadraoGrid::DetachHandlers() {
  ClearEvents(this);
}

}  // namespace frm
