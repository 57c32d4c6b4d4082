// The other controls: data-aware label and navigator re-pointed at run time,
// buttons and menus, forms' lifetime and closing, layout, the observer hook,
// the application objects and the message box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/client_dataset.h"
#include "db/data_source.h"
#include "fake_ui.h"
#include "rtl/exceptions.h"
#include "vcl/application.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/db_navigator.h"
#include "vcl/db_text.h"
#include "vcl/image.h"
#include "vcl/menu.h"
#include "vcl/page_control.h"
#include "vcl/panel.h"

namespace vcltest {
namespace {

using namespace vcl;
using Log = std::vector<std::string>;

db::TClientDataSet* MakeTable(rtl::TComponent* owner, std::vector<std::string> names) {
  auto* ds = new db::TClientDataSet(owner);
  ds->AddStringField("NMTABELADW", 30, "Nome");
  ds->CreateDataSet();
  for (const auto& n : names) {
    ds->Append();
    ds->FieldByName("NMTABELADW")->SetAsString(n);
    ds->Post();
  }
  ds->First();
  return ds;
}

// Records what the observers are told.
struct RecordingObserver : IControlObserver {
  RecordingObserver() { AddControlObserver(this); }
  ~RecordingObserver() override { RemoveControlObserver(this); }
  void Changed(rtl::TComponent* c, TChange what) override { changes.push_back({c, what}); }
  void ChildAdded(TWinControl* p, TControl* c) override { added.push_back({p, c}); }
  void FocusChanged(TCustomForm*, TWinControl* from, TWinControl* to) override {
    focus.push_back({from, to});
  }
  void Destroying(rtl::TComponent* c) override { destroyed.push_back(c); }
  bool Saw(rtl::TComponent* c, TChange what) const {
    for (const auto& [comp, w] : changes)
      if (comp == c && w == what) return true;
    return false;
  }
  std::vector<std::pair<rtl::TComponent*, TChange>> changes;
  std::vector<std::pair<TWinControl*, TControl*>> added;
  std::vector<std::pair<TWinControl*, TWinControl*>> focus;
  std::vector<rtl::TComponent*> destroyed;
};

class ControlsTest : public ::testing::Test {
 protected:
  void TearDown() override { form->Free(); }
  FakeUI ui;
  TForm* form = new TForm(nullptr);
};

TEST_F(ControlsTest, DBTextFollowsItsDataSourceAndCanBeRepointed) {
  auto* facts = MakeTable(form, {"Vendas", "Compras"});
  auto* drills = MakeTable(form, {"Clientes"});
  auto* src1 = new db::TDataSource(form);
  auto* src2 = new db::TDataSource(form);
  src1->SetDataSet(facts);
  src2->SetDataSet(drills);
  auto* label = new TDBText(form);
  label->SetDataField("NMTABELADW");
  EXPECT_EQ(label->Text(), "");
  label->SetDataSource(src1);
  EXPECT_EQ(label->Text(), "Vendas");
  facts->Next();
  EXPECT_EQ(label->Text(), "Compras");
  facts->FieldByName("NMTABELADW")->OnGetText = [](db::TField* f, std::string& t, bool) {
    t = "<" + f->AsString() + ">";
  };
  EXPECT_EQ(label->Text(), "<Compras>");
  label->SetDataSource(src2);
  EXPECT_EQ(label->DataSource(), src2);
  EXPECT_EQ(label->Text(), "Clientes");
  delete src2;  // a data source that goes away leaves the label empty, not dangling
  EXPECT_EQ(label->DataSource(), nullptr);
  EXPECT_EQ(label->Text(), "");
}

TEST_F(ControlsTest, NavigatorButtonsActOnTheCurrentDataSource) {
  auto* facts = MakeTable(form, {"Vendas", "Compras", "Estoque"});
  auto* drills = MakeTable(form, {"Clientes", "Produtos"});
  auto* src1 = new db::TDataSource(form);
  auto* src2 = new db::TDataSource(form);
  src1->SetDataSet(facts);
  src2->SetDataSet(drills);
  auto* nav = new TDBNavigator(form);
  nav->SetParent(form);
  EXPECT_FALSE(nav->BtnClick(nbNext));
  nav->SetDataSource(src1);
  EXPECT_FALSE(nav->ButtonEnabled(nbPrior));
  EXPECT_TRUE(nav->BtnClick(nbLast));
  EXPECT_EQ(facts->RecNo(), 3);
  EXPECT_FALSE(nav->ButtonEnabled(nbNext));
  EXPECT_TRUE(nav->BtnClick(nbPrior));
  EXPECT_EQ(facts->RecNo(), 2);
  EXPECT_FALSE(nav->ButtonEnabled(nbPost));

  nav->SetDataSource(src2);
  EXPECT_TRUE(nav->BtnClick(nbNext));
  EXPECT_EQ(drills->RecNo(), 2);
  EXPECT_EQ(facts->RecNo(), 2);
  EXPECT_TRUE(nav->BtnClick(nbEdit));
  EXPECT_TRUE(nav->ButtonEnabled(nbCancel));
  EXPECT_TRUE(nav->BtnClick(nbCancel));

  ui.answers = {mrNo};
  EXPECT_FALSE(nav->BtnClick(nbDelete));
  EXPECT_EQ(drills->RecordCount(), 2);
  nav->SetConfirmDelete(false);
  EXPECT_TRUE(nav->BtnClick(nbDelete));
  EXPECT_EQ(drills->RecordCount(), 1);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(ui.asked[0].text, "Excluir registro?");

  nav->SetEnabled(false);
  EXPECT_FALSE(nav->BtnClick(nbFirst));
  nav->SetEnabled(true);
  nav->SetDataSource(src1);
  nav->SetVisibleButtons(nbFirst | nbLast);
  EXPECT_FALSE(nav->BtnClick(nbInsert));
  nav->BeforeAction = [](rtl::TObject*, TNavButtonSet) { throw rtl::EAbort(); };
  EXPECT_THROW(nav->BtnClick(nbFirst), rtl::EAbort);
  EXPECT_EQ(facts->RecNo(), 2);
}

TEST_F(ControlsTest, ButtonsAndMenuItemsRunOnlyWhenTheyAndTheirContainersAreEnabled) {
  auto* bar = new TPanel(form);
  bar->SetParent(form);
  auto* button = new TButtonFlat(form);
  button->SetParent(bar);
  int clicks = 0;
  button->OnClick = [&](rtl::TObject*) { ++clicks; };
  EXPECT_FALSE(button->Click());  // nobody clicks on a form that is not shown
  form->Show();
  EXPECT_TRUE(button->Click());
  button->SetEnabled(false);
  EXPECT_FALSE(button->Click());
  button->SetEnabled(true);
  bar->SetEnabled(false);
  EXPECT_FALSE(button->Click());
  bar->SetEnabled(true);
  bar->Hide();
  EXPECT_FALSE(button->Click());
  EXPECT_EQ(clicks, 1);

  auto* menu = new TMainMenu(form);
  auto* operation = new TMenuItem(form);
  auto* add = new TMenuItem(form);
  menu->Items().Add(operation);
  operation->Add(add);
  add->OnClick = [&](rtl::TObject*) { ++clicks; };
  EXPECT_TRUE(add->Click());
  operation->SetEnabled(false);
  EXPECT_FALSE(add->Click());
  EXPECT_EQ(clicks, 2);
  EXPECT_THROW(add->Add(operation), rtl::Exception);
  delete add;
  EXPECT_EQ(operation->Count(), 0);
}

TEST_F(ControlsTest, CloseAsksFirstAndTheActionDecidesWhatHappens) {
  bool allow = false;
  form->OnCloseQuery = [&](rtl::TObject*, bool& can_close) { can_close = allow; };
  form->Show();
  EXPECT_FALSE(form->Close());
  EXPECT_TRUE(form->Visible());
  allow = true;
  EXPECT_TRUE(form->Close());
  EXPECT_FALSE(form->Visible());

  form->SetFormStyle(TFormStyle::fsMDIChild);
  form->Show();
  EXPECT_TRUE(form->Close());
  EXPECT_EQ(form->WindowState(), TWindowState::wsMinimized);
  form->OnClose = [](rtl::TObject*, TCloseAction& action) { action = TCloseAction::caNone; };
  EXPECT_FALSE(form->Close());
}

TEST(ApplicationTest, CreateFormRunsOnCreateAndAFreedFormGoesOutsideItsHandler) {
  Log log;
  struct Screen : TForm {
    Screen(rtl::TComponent* owner, Log* log) : TForm(owner) {
      OnCreate = [log](rtl::TObject*) { log->push_back("create"); };
      OnDestroy = [log](rtl::TObject*) { log->push_back("destroy"); };
      OnClose = [](rtl::TObject*, TCloseAction& a) { a = TCloseAction::caFree; };
    }
  };
  TApplication app;
  auto* first = app.CreateForm<Screen>(&log);
  auto* second = app.CreateForm<Screen>(&log);
  EXPECT_EQ(app.MainForm(), first);
  EXPECT_EQ(log, Log({"create", "create"}));
  EXPECT_NE(first->Handle(), second->Handle());
  EXPECT_NE(app.Handle(), first->Handle());

  // Close with caFree from the form's own handler: freed later, once.
  second->Show();
  EXPECT_TRUE(second->Close());
  EXPECT_EQ(app.ComponentCount(), 2);
  EXPECT_EQ(log.size(), 2u);
  app.ProcessMessages();
  EXPECT_EQ(app.ComponentCount(), 1);
  EXPECT_EQ(log, Log({"create", "create", "destroy"}));
  app.DestroyForms();
  EXPECT_EQ(app.MainForm(), nullptr);
  EXPECT_EQ(log.back(), "destroy");
  EXPECT_EQ(log.size(), 4u);
}

TEST_F(ControlsTest, MessageBoxGoesToTheServiceAndScreenCursorIsTold) {
  ui.answers = {IDYES};
  const unsigned flags = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;
  EXPECT_EQ(MessageBoxA(Application().Handle(), "Continuar?", "Alerta", flags), IDYES);
  EXPECT_EQ(MessageBoxA(form->Handle(), nullptr, nullptr, MB_OK), IDNO);  // queue empty
  ASSERT_EQ(ui.asked.size(), 2u);
  EXPECT_EQ(ui.asked[0].kind, "box");
  EXPECT_EQ(ui.asked[0].text, "Continuar?");
  EXPECT_EQ(ui.asked[0].caption, "Alerta");
  EXPECT_EQ(ui.asked[0].buttons_or_flags, flags);
  EXPECT_EQ(ui.asked[1].text, "");

  Screen().SetCursor(crHourGlass);
  Screen().SetCursor(crDefault);
  EXPECT_EQ(ui.cursors, std::vector<int>({crHourGlass, crDefault}));
  EXPECT_EQ(Screen().Cursor(), crDefault);
}

TEST(MessageBoxTest, WithoutAServiceTheQuestionFailsLoudly) {
  EXPECT_FALSE(HasUserInterface());
  EXPECT_THROW(MessageBoxA(0, "x", "y", MB_OK), rtl::Exception);
}

TEST_F(ControlsTest, AlignedChildrenShareTheirParentsClientArea) {
  auto* outer = new TPanel(form);
  outer->SetParent(form);
  outer->SetBounds(0, 0, 300, 200);
  auto* top = new TPanel(form);
  top->SetHeight(50);
  top->SetAlign(TAlign::alTop);
  top->SetParent(outer);
  auto* split = new TSplitter(form);
  split->SetHeight(6);
  split->SetAlign(TAlign::alTop);
  split->SetParent(outer);
  auto* rest = new TPanel(form);
  rest->SetAlign(TAlign::alClient);
  rest->SetParent(outer);
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 300, 50));
  EXPECT_EQ(split->BoundsRect(), Rect(0, 50, 300, 56));
  EXPECT_EQ(rest->BoundsRect(), Rect(0, 56, 300, 200));
  outer->SetHeight(100);
  EXPECT_EQ(rest->BoundsRect(), Rect(0, 56, 300, 100));
  top->Hide();
  EXPECT_EQ(split->Top(), 0);
}

TEST_F(ControlsTest, ObserversHearOfChangesChildrenFocusAndDestruction) {
  RecordingObserver seen;
  auto* pages = new TPageControl(form);
  pages->SetParent(form);
  auto* sheet1 = new TTabSheet(form);
  sheet1->SetPageControl(pages);
  auto* sheet2 = new TTabSheet(form);
  sheet2->SetPageControl(pages);
  auto* grid = new TDBGrid(form);
  grid->SetParent(sheet2);
  EXPECT_EQ(seen.added.size(), 4u);
  EXPECT_EQ(seen.added[3],
            std::make_pair(static_cast<TWinControl*>(sheet2), static_cast<TControl*>(grid)));

  sheet2->SetCaption("Fatos e Dimensões");
  grid->Font().SetBold(true);
  pages->SetActivePage(sheet2);
  EXPECT_TRUE(seen.Saw(sheet2, TChange::Caption));
  EXPECT_TRUE(seen.Saw(grid, TChange::Font));
  EXPECT_TRUE(seen.Saw(pages, TChange::ActivePage));

  form->Show();
  grid->SetFocus();
  ASSERT_FALSE(seen.focus.empty());
  EXPECT_EQ(seen.focus.back().second, grid);

  // The grid reports data changes as repaint requests.
  auto* ds = MakeTable(form, {"a", "b"});
  auto* src = new db::TDataSource(form);
  src->SetDataSet(ds);
  grid->SetDataSource(src);
  seen.changes.clear();
  ds->Next();
  EXPECT_TRUE(seen.Saw(grid, TChange::DataState));
  EXPECT_TRUE(seen.Saw(grid, TChange::Selection));
  seen.changes.clear();
  grid->KeyPress('x');
  EXPECT_TRUE(seen.Saw(grid, TChange::Editor));

  auto* image = new TImage(form);
  image->SetBitmap(TBitmap(16, 16));
  EXPECT_TRUE(seen.Saw(image, TChange::Glyph));
  EXPECT_EQ(image->Bitmap().Width(), 16);
  delete image;
  EXPECT_EQ(seen.destroyed.back(), image);
}

TEST(BitmapTest, PixelsOutsideTheBitmapAreRefused) {
  TBitmap b(2, 2);
  b.SetPixel(1, 1, clOlive);
  EXPECT_EQ(b.Pixel(1, 1), RGB(128, 128, 0));
  EXPECT_EQ(b.Pixel(0, 0), clWhite);
  EXPECT_THROW(b.Pixel(2, 0), rtl::Exception);
  EXPECT_THROW(b.SetPixel(-1, 0, clBlack), rtl::Exception);
  b.SetSize(-5, 100000);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 4096);
  EXPECT_EQ(ColorToRGB(clInfoBk), RGB(0xFF, 0xFF, 0xE1));
}

}  // namespace
}  // namespace vcltest
