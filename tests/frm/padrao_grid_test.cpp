#include "frm/padrao_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/client_dataset.h"
#include "rtl/exceptions.h"
#include "support/scripted_ui.h"
#include "vcl/application.h"

namespace frm {
namespace {

// Fills a dataset of one code column with `codes`, positioned on the first.
void Fill(db::TClientDataSet* ds, std::vector<std::string> codes) {
  ds->AddStringField("CODIGO", 10, "Código");
  ds->AddStringField("NOME", 30, "Nome");
  ds->AddStringField("TIPO", 1, "Tipo");
  ds->CreateDataSet();
  for (const std::string& code : codes) {
    ds->Append();
    ds->FieldByName("CODIGO")->SetAsString(code);
    ds->Post();
  }
  ds->MergeChangeLog();
  ds->First();
}

// A screen as a module derives it: its own components, made in its
// constructor, and some base handlers replaced by name.
class TfrmTeste : public TfrmPadraoGrid {
 public:
  explicit TfrmTeste(rtl::TComponent* owner) : TfrmPadraoGrid(owner) {
    SetName("frmTeste");
    cdsLista = new db::TClientDataSet(this);
    cdsLista->SetName("cdsLista");
    Fill(cdsLista, {"A", "B", "C"});
    cdsOutra = new db::TClientDataSet(this);
    cdsOutra->SetName("cdsOutra");
    Fill(cdsOutra, {"X"});
    dtsPadrao->SetDataSet(cdsLista);
  }

  void FormCreate(rtl::TObject* sender) override {
    TfrmPadraoGrid::FormCreate(sender);
    // Runs once both layers exist, after the base's own creation.
    created_with_own_components = FindComponent("cdsLista") == cdsLista;
    base_created_first = pgcPadrao->ActivePage() == tshPadrao && sbtIncluir->Enabled();
    lblCodTela->SetCaption("TESTE");
  }
  void sbtIncluirClick(rtl::TObject* sender) override { include_senders.push_back(sender); }
  void dtsPadraoStateChange(rtl::TObject* sender) override {
    TfrmPadraoGrid::dtsPadraoStateChange(sender);
    ++state_changes;
  }

  db::TClientDataSet* cdsLista;
  db::TClientDataSet* cdsOutra;
  bool created_with_own_components = false;
  bool base_created_first = false;
  std::vector<rtl::TObject*> include_senders;
  int state_changes = 0;
};

class PadraoGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = vcl::Application().CreateForm<TfrmTeste>();
    form->Show();  // buttons and menu items act only on a shown screen
  }
  void TearDown() override {
    vcl::Application().ProcessMessages();
    if (form_alive) form->Free();
  }
  std::string Current() const { return form->cdsLista->FieldByName("CODIGO")->AsString(); }

  qmxtest::ScopedScriptedUI ui;
  TfrmTeste* form = nullptr;
  bool form_alive = true;
};

TEST_F(PadraoGridTest, TheBaseComponentsExistWithTheirNamesAndPlaces) {
  for (const char* name : {"lblCodTela",   "panMenu",
                           "sbtIncluir",   "sbtAlterar",
                           "sbtExcluir",   "sbtProcurar",
                           "sbtCancelar",  "sbtConfirmar",
                           "sbtVerificar", "sbtImprimir",
                           "pgcPadrao",    "tshPadrao",
                           "panDbgPadrao", "scbFolhaDados",
                           "dbgPadrao",    "panNavigator",
                           "dbtNome",      "dbnPadrao",
                           "mnuMenu",      "mnuOperacao",
                           "mnuListagem",  "mnuConfigImpressora",
                           "dtsPadrao",    "msgPadrao",
                           "msgPadraoGrid"})
    EXPECT_NE(form->FindComponent(name), nullptr) << name;

  EXPECT_EQ(form->FormStyle(), vcl::TFormStyle::fsMDIChild);
  for (vcl::TButtonFlat* b : {form->sbtIncluir, form->sbtImprimir, form->sbtVerificar})
    EXPECT_EQ(b->Parent(), form->panMenu);
  EXPECT_EQ(form->tshPadrao->PageControl(), form->pgcPadrao);
  EXPECT_TRUE(form->tshPadrao->ContainsControl(form->panDbgPadrao));
  EXPECT_TRUE(form->tshPadrao->ContainsControl(form->scbFolhaDados));
  EXPECT_TRUE(form->tshPadrao->ContainsControl(form->dbgPadrao));
  EXPECT_EQ(form->dbtNome->Parent(), form->panNavigator);
  EXPECT_EQ(form->dbnPadrao->Parent(), form->panNavigator);
  EXPECT_EQ(form->dbgPadrao->DataSource(), form->dtsPadrao);
  EXPECT_EQ(form->dbnPadrao->DataSource(), form->dtsPadrao);
  EXPECT_EQ(form->dbtNome->DataSource(), form->dtsPadrao);
  EXPECT_EQ(form->Menu(), form->mnuMenu);

  ASSERT_EQ(form->mnuOperacao->Count(), 7);
  EXPECT_EQ(form->mnuOperacao->Items(0), form->mnuIncluir);
  EXPECT_EQ(form->mnuOperacao->Items(6), form->mnuVerificar);

  EXPECT_EQ(form->msgPadrao->Count(), 0);
  EXPECT_EQ(form->msgPadraoGrid->Msg("Excl"), "Confirma exclusão?");
  EXPECT_EQ(form->msgPadraoGrid->Msg("Canc"), "Cancela as alterações?");
}

TEST_F(PadraoGridTest, TheDerivedFormCreateRunsOnceEverythingExists) {
  EXPECT_TRUE(form->created_with_own_components);
  EXPECT_TRUE(form->base_created_first);
  EXPECT_EQ(form->lblCodTela->Caption(), "TESTE");
}

TEST_F(PadraoGridTest, AClickReachesTheDerivedHandlerFromTheButtonAndTheMenu) {
  EXPECT_TRUE(form->sbtIncluir->Click());
  EXPECT_TRUE(form->mnuIncluir->Click());
  EXPECT_EQ(form->include_senders,
            (std::vector<rtl::TObject*>{form->sbtIncluir, form->mnuIncluir}));
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsBrowse);  // the base's Insert did not run

  // A handler not replaced keeps the base's behaviour.
  const int before = form->state_changes;
  EXPECT_TRUE(form->sbtAlterar->Click());
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsEdit);
  EXPECT_GT(form->state_changes, before);  // the replaced state-change handler ran
}

TEST_F(PadraoGridTest, CommandsFollowTheStateOfTheDataSource) {
  auto enabled = [this] {
    return std::vector<bool>{form->sbtIncluir->Enabled(),   form->sbtAlterar->Enabled(),
                             form->sbtExcluir->Enabled(),   form->sbtProcurar->Enabled(),
                             form->sbtVerificar->Enabled(), form->sbtCancelar->Enabled(),
                             form->sbtConfirmar->Enabled(), form->dbnPadrao->Enabled()};
  };
  form->sbtImprimir->SetEnabled(false);
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true, true, false, false, true}));
  form->cdsLista->Edit();
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, false, false, true, true, false}));
  EXPECT_TRUE(form->mnuCancelar->Enabled());
  EXPECT_FALSE(form->mnuAlterar->Enabled());
  EXPECT_FALSE(form->sbtImprimir->Enabled());  // print is left as the screen set it

  form->cdsLista->Cancel();
  form->cdsLista->CreateDataSet();  // empty
  form->UpdateCommands(form->dtsPadrao);
  EXPECT_EQ(enabled(), (std::vector<bool>{true, false, false, false, false, false, false, true}));
  form->UpdateCommands(nullptr);
  EXPECT_EQ(enabled(), std::vector<bool>(8, false));
}

TEST_F(PadraoGridTest, TheBaseCommandsAskBeforeDeletingOrCancelling) {
  form->sbtAlterarClick(nullptr);
  form->cdsLista->FieldByName("NOME")->SetAsString("alterado");
  ui->ExpectDialog(vcl::mrNo, "Cancela as alterações?");
  form->sbtCancelarClick(nullptr);
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsEdit);
  EXPECT_EQ(ui->Questions().back().dialog_type, vcl::TMsgDlgType::mtConfirmation);
  EXPECT_EQ(ui->Questions().back().buttons, vcl::mbYes | vcl::mbNo);
  ui->ExpectDialog(vcl::mrYes, "Cancela as alterações?");
  form->sbtCancelarClick(nullptr);
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(form->cdsLista->FieldByName("NOME")->AsString(), "");

  form->cdsLista->SetRecNo(2);
  ui->ExpectDialog(vcl::mrNo, "Confirma exclusão?");
  form->sbtExcluirClick(nullptr);
  EXPECT_EQ(form->cdsLista->RecordCount(), 3);
  ui->ExpectDialog(vcl::mrYes, "Confirma exclusão?");
  form->sbtExcluirClick(nullptr);
  EXPECT_EQ(form->cdsLista->RecordCount(), 2);

  // In a state the command does not act in, nothing is asked.
  form->cdsLista->Edit();
  form->sbtExcluirClick(nullptr);
  form->cdsLista->Cancel();
  form->sbtCancelarClick(nullptr);
}

TEST_F(PadraoGridTest, ConfirmPostsAndSearchAndPrintGoThroughTheUserInterface) {
  form->sbtAlterarClick(nullptr);
  form->cdsLista->FieldByName("NOME")->SetAsString("novo");
  form->sbtConfirmarClick(nullptr);
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(form->cdsLista->FieldByName("NOME")->AsString(), "novo");
  form->sbtConfirmarClick(nullptr);  // in browse: nothing

  ui->ExpectSearch(3);
  form->sbtProcurarClick(nullptr);
  EXPECT_EQ(Current(), "C");

  ui->ExpectDialog(vcl::mrOk, "listagem");
  form->sbtImprimir->Click();
  ui->ExpectDialog(vcl::mrOk, "impressora");
  form->mnuConfigImpressora->Click();
}

TEST_F(PadraoGridTest, ABeforePostThatRefusesKeepsTheRowInEditOnConfirm) {
  form->cdsLista->BeforePost = [](db::TDataSet*) { rtl::Abort(); };
  form->sbtAlterarClick(nullptr);
  form->cdsLista->FieldByName("NOME")->SetAsString("recusado");
  EXPECT_THROW(form->sbtConfirmarClick(nullptr), rtl::EAbort);
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsEdit);
  EXPECT_EQ(form->cdsLista->FieldByName("NOME")->AsString(), "recusado");
  form->cdsLista->BeforePost = nullptr;
  form->cdsLista->Cancel();
}

TEST_F(PadraoGridTest, ClosingWithAPendingEditAsksAndNoKeepsTheScreen) {
  form->cdsOutra->Edit();  // any dataset of the screen, not only the main list's
  form->cdsOutra->FieldByName("NOME")->SetAsString("pendente");
  ui->ExpectDialog(vcl::mrNo, "Cancela as alterações?");
  EXPECT_FALSE(form->Close());
  EXPECT_EQ(form->cdsOutra->State(), db::TDataSetState::dsEdit);
  EXPECT_EQ(form->cdsOutra->FieldByName("NOME")->AsString(), "pendente");

  form->cdsLista->Insert();
  ui->ExpectDialog(vcl::mrYes, "Cancela as alterações?");  // asked once for both
  EXPECT_TRUE(form->Close());
  EXPECT_EQ(form->cdsOutra->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(form->cdsOutra->FieldByName("NOME")->AsString(), "");
  EXPECT_EQ(form->cdsLista->RecordCount(), 3);
  EXPECT_EQ(ui->Questions().size(), 2u);

  vcl::Application().ProcessMessages();  // a closed screen is freed
  EXPECT_EQ(vcl::Application().FindComponent("frmTeste"), nullptr);
  form_alive = false;
}

TEST_F(PadraoGridTest, ClosingWithNothingPendingAsksNothing) {
  EXPECT_TRUE(form->Close());
  EXPECT_TRUE(ui->Questions().empty());
  vcl::Application().ProcessMessages();
  form_alive = false;
}

class PadraoGridKeysTest : public PadraoGridTest {
 protected:
  void SetUp() override {
    PadraoGridTest::SetUp();
    grid = form->dbgPadrao;
    for (const char* name : {"CODIGO", "NOME", "TIPO"}) grid->Columns().Add()->SetFieldName(name);
  }
  vcl::TDBGrid* grid = nullptr;
};

TEST_F(PadraoGridKeysTest, EnterMovesToTheNextColumnAndStopsAtTheLast) {
  grid->Columns()[1]->SetVisible(false);
  std::vector<int> exits;
  grid->OnColExit = [&](rtl::TObject*) { exits.push_back(grid->SelectedIndex()); };
  grid->KeyDown(vcl::VK_RETURN, 0);
  EXPECT_EQ(grid->SelectedIndex(), 2);  // the hidden column is skipped
  EXPECT_EQ(exits, std::vector<int>{0});

  uint16_t key = vcl::VK_RETURN;
  form->dbgPadraoKeyDown(grid, key, 0);
  EXPECT_EQ(key, vcl::VK_RETURN);  // last column: left to the grid
  EXPECT_EQ(grid->SelectedIndex(), 2);
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsBrowse);
  EXPECT_EQ(form->cdsLista->RecNo(), 1);

  form->dbgPadraoKeyDown(grid, key, vcl::ssShift);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(grid->SelectedIndex(), 0);
  key = vcl::VK_RETURN;
  form->dbgPadraoKeyDown(grid, key, vcl::ssCtrl);  // Ctrl+Enter is not ours
  EXPECT_EQ(grid->SelectedIndex(), 0);
  EXPECT_EQ(key, vcl::VK_RETURN);
}

TEST_F(PadraoGridKeysTest, EnterWritesTheTypedTextAndARefusingColumnExitKeepsTheColumn) {
  grid->KeyPress('Z');
  ASSERT_EQ(form->cdsLista->State(), db::TDataSetState::dsEdit);
  grid->OnColExit = [](rtl::TObject*) { rtl::Abort(); };
  EXPECT_THROW(grid->KeyDown(vcl::VK_RETURN, 0), rtl::EAbort);
  EXPECT_EQ(grid->SelectedIndex(), 0);
  EXPECT_EQ(form->cdsLista->FieldByName("CODIGO")->AsString(), "Z");
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsEdit);  // nothing posted
  grid->OnColExit = nullptr;
  form->cdsLista->Cancel();
}

TEST_F(PadraoGridKeysTest, TheEnterCharacterIsSwallowed) {
  char key = '\r';
  form->dbgPadraoKeyPress(grid, key);
  EXPECT_EQ(key, '\0');
  key = 'a';
  form->dbgPadraoKeyPress(grid, key);
  EXPECT_EQ(key, 'a');
  grid->KeyPress('\r');
  EXPECT_EQ(form->cdsLista->State(), db::TDataSetState::dsBrowse);
}

TEST(PadraoGridLifetime, NoHandlerOfTheScreenRunsOnceItIsGoingAway) {
  qmxtest::ScopedScriptedUI ui;
  auto* form = vcl::Application().CreateForm<TfrmTeste>();
  form->cdsLista->Edit();  // destroyed while editing: no handler may run on it
  form->BeforeDestruction();
  EXPECT_FALSE(form->dtsPadrao->OnStateChange);
  EXPECT_FALSE(form->sbtIncluir->OnClick);
  EXPECT_FALSE(form->mnuIncluir->OnClick);
  EXPECT_FALSE(form->dbgPadrao->OnKeyDown);
  const int changes = form->state_changes;
  form->cdsLista->Cancel();
  EXPECT_EQ(form->state_changes, changes);
  form->Free();
}

// The insert mark the toolbar's include and edit read: the first field a
// person can type into in the screen's grids; a screen's own mark stays.
TEST_F(PadraoGridTest, TheFirstFieldAPersonTypesIntoIsMarkedAndTheScreenOpensInItsGrid) {
  auto tag = [this](const char* field) { return form->cdsLista->FieldByName(field)->Tag(); };
  EXPECT_EQ(tag("CODIGO"), 1);
  EXPECT_EQ(tag("NOME"), 0);
  EXPECT_EQ(form->cdsOutra->FieldByName("CODIGO")->Tag(), 0);  // no data source shows it
  EXPECT_TRUE(form->dbgPadrao->Focused());

  form->MarkFirstEditableFields();  // already marked: nothing changes
  EXPECT_EQ(tag("CODIGO"), 1);
  EXPECT_EQ(tag("NOME"), 0);

  // Columns the person cannot type into are passed over; an even tag is no
  // mark and becomes one.
  form->cdsLista->FieldByName("CODIGO")->SetTag(0);
  form->cdsLista->FieldByName("NOME")->SetTag(2);
  form->dbgPadrao->Columns()[0]->SetReadOnly(true);
  form->MarkFirstEditableFields();
  EXPECT_EQ(tag("CODIGO"), 0);
  EXPECT_EQ(tag("NOME"), 3);

  form->cdsLista->FieldByName("NOME")->SetTag(0);
  form->dbgPadrao->SetReadOnly(true);
  form->MarkFirstEditableFields();  // a read-only grid offers nothing
  EXPECT_EQ(tag("CODIGO") + tag("NOME") + tag("TIPO"), 0);
}

}  // namespace
}  // namespace frm
