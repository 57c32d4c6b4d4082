// Opening the screen against the real application server on the demo
// database: the single screen, the initial lists, the details of the first
// tables, the connection's address at every connect, and the screen's layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "db/packet.h"
#include "linked_screen.h"
#include "model/check_images.h"
#include "net/app_server.h"
#include "orb/busy.h"
#include "orb/server_address.h"
#include "vcl/application.h"
#include "vcl/user_interface.h"

namespace qmxtest {
namespace {

using qmx00600::TfrmEstrutura;

int Count(const std::vector<std::string>& names, const std::string& name) {
  return static_cast<int>(std::count(names.begin(), names.end(), name));
}

std::vector<std::string> Column(db::TClientDataSet* ds, const char* field) {
  std::vector<std::string> out;
  ds->First();
  while (!ds->Eof()) {
    out.push_back(ds->FieldByName(field)->AsString());
    ds->Next();
  }
  ds->First();
  return out;
}

TEST(ScreenOpen, IniProcTwiceMakesOneScreenOnTheFactTablePage) {
  ScreenHarness h;
  TfrmEstrutura& screen = OpenLinkedScreen(h);
  EXPECT_TRUE(boestrutura);
  screen.SetWindowState(vcl::TWindowState::wsMinimized);
  h.ui().ClearLog();

  OpenLinkedScreen(h);
  EXPECT_EQ(h.ScreenCount(), 1);
  EXPECT_EQ(frmEstrutura, &screen);
  EXPECT_EQ(screen.WindowState(), vcl::TWindowState::wsNormal);
  EXPECT_TRUE(screen.Visible());
  EXPECT_EQ(Count(h.CallNames(), "GetInicial"), 1);
  // The second call only restores: hourglass, then the default cursor.
  EXPECT_EQ(h.ui().Cursors(), (std::vector<int>{vcl::crHourGlass, vcl::crDefault}));

  EXPECT_EQ(screen.pgcPadrao->ActivePage(), screen.tshPadrao);
  EXPECT_EQ(screen.tshPadrao->Caption(), "Tabelas Fato");
  EXPECT_EQ(screen.Caption(), "Estrutura do DW");
  EXPECT_EQ(screen.lblCodTela->Caption(), "QMX00600");
  EXPECT_TRUE(screen.Flags().bofatos);
  EXPECT_FALSE(screen.Flags().bodados);
  EXPECT_FALSE(screen.Flags().bomarcatodos);
  EXPECT_FALSE(h.ui().BusyVisible());
  EXPECT_EQ(orb::ShowAviDepth(), 0);
}

TEST(ScreenOpen, LoadsTheFourInitialPacketsIntoIndependentCopies) {
  ScreenHarness h;
  TfrmEstrutura& s = OpenLinkedScreen(h);
  EXPECT_EQ(Column(s.cdsTabelas, "CDTABELADW").size(), 3u);
  for (const std::string& drill : Column(s.cdsTabelas, "IDDRILLDOWN")) EXPECT_EQ(drill, "N");
  EXPECT_EQ(Column(s.cdsTabelaDrill, "CDTABELADW").size(), 2u);
  for (const std::string& drill : Column(s.cdsTabelaDrill, "IDDRILLDOWN")) EXPECT_EQ(drill, "S");
  EXPECT_EQ(Column(s.cdsAreaNegDW, "CDAREANEGDW"), Column(s.cdsPesqAreaNegDW, "CDAREANEGDW"));
  EXPECT_EQ(Column(s.cdsDimeDime, "NRSEQUEDIME"), Column(s.cdsPesqDimeDime, "NRSEQUEDIME"));
  EXPECT_EQ(s.cdsAreaNegDW->RecordCount(), 3);
  EXPECT_EQ(s.cdsDimeDime->RecordCount(), 11);

  s.cdsAreaNegDW->SetFilter("CDAREANEGDW = '00002'");
  s.cdsDimeDime->SetFilter("NRSEQUEDIME = '00003'");
  EXPECT_EQ(s.cdsAreaNegDW->RecordCount(), 1);
  EXPECT_EQ(s.cdsPesqAreaNegDW->RecordCount(), 3);
  EXPECT_EQ(s.cdsDimeDime->RecordCount(), 1);
  EXPECT_EQ(s.cdsPesqDimeDime->RecordCount(), 11);
  // Editing one copy leaves the other alone too.
  s.cdsPesqAreaNegDW->Edit();
  s.cdsPesqAreaNegDW->FieldByName("NMAREANEGDW")->SetAsString("Outro nome");
  s.cdsPesqAreaNegDW->Post();
  s.cdsAreaNegDW->SetFilter("");
  EXPECT_EQ(Count(Column(s.cdsAreaNegDW, "NMAREANEGDW"), "Outro nome"), 0);
  EXPECT_EQ(Count(Column(s.cdsPesqAreaNegDW, "NMAREANEGDW"), "Outro nome"), 1);
}

TEST(ScreenOpen, FetchesTheDetailsOfTheFirstFactAndDrillTables) {
  ScreenHarness h;
  TfrmEstrutura& s = OpenLinkedScreen(h);
  const std::vector<std::string> calls = h.CallNames();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], "GetInicial");
  // Once as the list loads; the screen's first focus, entering the
  // fact-table grid right after, does not fetch the same details again.
  EXPECT_EQ(Count(calls, "GetDimeFatos"), 1);
  EXPECT_EQ(Count(calls, "GetDimeFatosDrill"), 1);

  s.cdsTabelas->First();
  const std::string fact_table = s.cdsTabelas->FieldByName("CDTABELADW")->AsString();
  ASSERT_GT(s.cdsFatos->RecordCount(), 0);
  ASSERT_GT(s.cdsDime->RecordCount(), 0);
  for (const std::string& owner : Column(s.cdsFatos, "CDTABELADW")) EXPECT_EQ(owner, fact_table);
  for (const std::string& owner : Column(s.cdsDime, "CDTABELADW")) EXPECT_EQ(owner, fact_table);

  const std::string drill_table = s.cdsTabelaDrill->FieldByName("CDTABELADW")->AsString();
  ASSERT_GT(s.cdsFatosDrill->RecordCount(), 0);
  ASSERT_GT(s.cdsDimeDrill->RecordCount(), 0);
  for (const std::string& owner : Column(s.cdsFatosDrill, "CDTABDRILL"))
    EXPECT_EQ(owner, drill_table);
  for (const std::string& owner : Column(s.cdsDimeDrill, "CDTABDRILL"))
    EXPECT_EQ(owner, drill_table);

  // The fact list is the chosen one: the dimension grid shows its side.
  EXPECT_EQ(s.dbgDimensoes->DataSource(), s.dtsDime);
  EXPECT_EQ(s.dbgDimensoes->Columns()[0]->FieldName(), "CDITEMDIME");

  // Moving in the fact list reloads only the fact side.
  h.ClearCalls();
  s.cdsTabelas->Next();
  EXPECT_EQ(h.CallNames(), std::vector<std::string>{"GetDimeFatos"});
  const std::string second = s.cdsTabelas->FieldByName("CDTABELADW")->AsString();
  for (const std::string& owner : Column(s.cdsFatos, "CDTABELADW")) EXPECT_EQ(owner, second);
}

TEST(ScreenOpen, AsksForTheHostAddressAtEveryConnect) {
  ScreenHarness h;
  TfrmEstrutura& s = OpenLinkedScreen(h);
  EXPECT_EQ(s.netEstrutura->Host(), "127.0.0.1");
  EXPECT_EQ(s.netEstrutura->Port(), h.Port());
  EXPECT_EQ(s.netEstrutura->ServerName(), "QMX00600.rdmEstrutura");
  EXPECT_FALSE(s.netEstrutura->ThrowException());

  const uint16_t first_port = h.Port();
  h.RestartServer();
  ASSERT_NE(h.Port(), first_port);
  // The link to the stopped server is lost: that call fails as a call
  // failure, with the animation hidden; the next one connects again and asks
  // the host for the new address.
  bool reconnected = false;
  for (int attempt = 0; attempt < 2 && !reconnected; ++attempt) {
    try {
      s.cdsTabelas->Next();
      reconnected = true;
    } catch (const net::ECallError& e) {
      EXPECT_EQ(orb::ShowAviDepth(), 0);
      RecordProperty("lost_link", e.Message());
    }
  }
  EXPECT_TRUE(reconnected);
  EXPECT_EQ(s.netEstrutura->Port(), h.Port());
  EXPECT_TRUE(s.netEstrutura->Connected());

  // A close and a reopen ask again, too.
  h.RestartServer();
  s.netEstrutura->SetConnected(false);
  s.netEstrutura->SetConnected(true);
  EXPECT_EQ(s.netEstrutura->Port(), h.Port());
}

TEST(ScreenOpen, AClosedScreenIsMadeAnewByTheNextIniProc) {
  ScreenHarness h;
  TfrmEstrutura& first = OpenLinkedScreen(h);
  first.cdsTabelas->Last();
  EXPECT_TRUE(first.Close());
  vcl::Application().ProcessMessages();
  EXPECT_EQ(h.ScreenCount(), 0);
  EXPECT_FALSE(boestrutura);
  EXPECT_EQ(frmEstrutura, nullptr);

  TfrmEstrutura& second = OpenLinkedScreen(h);
  EXPECT_TRUE(boestrutura);
  EXPECT_EQ(h.ScreenCount(), 1);
  EXPECT_EQ(Count(h.CallNames(), "GetInicial"), 2);
  EXPECT_EQ(second.cdsTabelas->RecNo(), 1);
  EXPECT_TRUE(second.netEstrutura->Connected());
}

TEST(ScreenOpen, AFailedCreationLeavesNoScreenAndIsTriedAgain) {
  ScreenHarness h;
  const uint16_t good = h.Port();
  h.PointAtNothing();
  EXPECT_THROW(IniProc(), net::ECallError);
  EXPECT_FALSE(boestrutura);
  EXPECT_EQ(frmEstrutura, nullptr);
  EXPECT_EQ(h.ScreenCount(), 0);
  EXPECT_EQ(vcl::Screen().Cursor(), vcl::crDefault);
  EXPECT_EQ(orb::ShowAviDepth(), 0);

  orb::SetServerAddress({"127.0.0.1", good});
  OpenLinkedScreen(h);
  EXPECT_TRUE(boestrutura);
  EXPECT_EQ(h.ScreenCount(), 1);
}

TEST(ScreenLayout, BaseGridHiddenPrintDisabledGridsAndImagesLaidOut) {
  ScreenHarness h;
  TfrmEstrutura& s = OpenLinkedScreen(h);
  EXPECT_FALSE(s.dbgPadrao->Visible());
  EXPECT_EQ(s.dbgPadrao->DataSource(), nullptr);
  EXPECT_EQ(s.dbgPadrao->Width(), 1);
  EXPECT_EQ(s.dbgPadrao->Height(), 1);
  EXPECT_FALSE(s.sbtImprimir->Enabled());
  EXPECT_FALSE(s.mnuListagem->Enabled());
  EXPECT_FALSE(s.mnuConfigImpressora->Enabled());
  EXPECT_EQ(s.dbtNome->DataField(), "NMTABELADW");
  EXPECT_EQ(s.tshDados->Caption(), "Fatos e Dimensões");
  EXPECT_EQ(s.tshDados->PageControl(), s.pgcPadrao);

  // The fact grid: check column, ellipsis columns, the type pick list.
  vcl::TDBGridColumns& f = s.dbgFatos->Columns();
  ASSERT_EQ(f.Count(), 7);
  EXPECT_EQ(f[0]->FieldName(), "IDFATODW");
  EXPECT_EQ(f[0]->Width(), 15);
  EXPECT_EQ(f[0]->Title().Caption(), "4");
  EXPECT_EQ(f[0]->Title().Font().Charset(), vcl::SYMBOL_CHARSET);
  EXPECT_EQ(f[1]->ButtonStyle(), vcl::TColumnButtonStyle::cbsEllipsis);
  EXPECT_EQ(f[4]->PickList(),
            (std::vector<std::string>{"Moeda", "Percentual", "Quantidade", "Número inteiro"}));
  EXPECT_EQ(f[4]->Title().Caption(), "Tipo");
  EXPECT_EQ(s.dbgTabelaFatos->Columns()[1]->Width(), 300);
  EXPECT_FALSE(s.dbgFatosDrill->Visible());
  for (vcl::TDBGrid* g :
       {s.dbgTabelaFatos, s.dbgTabelaDrill, s.dbgFatos, s.dbgFatosDrill, s.dbgDimensoes}) {
    EXPECT_EQ(g->Color(), vcl::clInfoBk) << g->Name();
    EXPECT_EQ(g->Options() & vcl::dgIndicator, 0u) << g->Name();
    EXPECT_NE(g->Options() & vcl::dgCancelOnExit, 0u) << g->Name();
  }
  // A hidden field has no column and a fixed one is one character.
  EXPECT_FALSE(s.cdsTabelas->FieldByName("IDDRILLDOWN")->Visible());
  EXPECT_TRUE(s.cdsVdTabela->FieldByName("IDDRILLDOWN")->Visible());
  EXPECT_TRUE(s.cdsFatos->FieldByName("IDTPFATODW")->FixedChar());
  EXPECT_EQ(s.cdsFatos->FieldByName("DSHINTITEM")->Size(), 200);

  // The two boxes differ only inside; their corners are the transparent olive.
  const vcl::TBitmap& on = s.imgCheck->Bitmap();
  const vcl::TBitmap& off = s.imgUncheck->Bitmap();
  ASSERT_EQ(on.Width(), 16);
  ASSERT_EQ(off.Height(), 16);
  EXPECT_EQ(on.Pixel(0, 0), qmx00600::kCheckTransparent);
  EXPECT_EQ(off.Pixel(15, 15), qmx00600::kCheckTransparent);
  EXPECT_FALSE(s.imgCheck->Visible());
  EXPECT_NE(on, off);
  EXPECT_EQ(off.Pixel(7, 8), vcl::clWhite);
  EXPECT_NE(on.Pixel(7, 8), vcl::clWhite);

  // The handlers of this stage are bound by the event table.
  EXPECT_TRUE(s.cdsTabelas->AfterPost);
  EXPECT_TRUE(s.cdsVdTabela->AfterScroll);
  EXPECT_TRUE(s.cdsTabelaDrill->AfterDelete);
  EXPECT_TRUE(s.netEstrutura->BeforeConnect);
  for (const qmx00600::EventBinding& b : s.UnboundEvents())
    EXPECT_EQ(s.Handlers().dataset.count(std::string(b.handler)), 0u) << b.handler;
}

TEST(ScreenOpen, SavesANewFactTableAndStaysOnIt) {
  ScreenHarness h;
  TfrmEstrutura& s = OpenLinkedScreen(h);
  h.ClearCalls();
  s.cdsTabelas->Append();
  s.cdsTabelas->FieldByName("CDTABELADW")->SetAsString("FATO_COMPRAS");
  s.cdsTabelas->FieldByName("NMTABELADW")->SetAsString("Compras");
  s.cdsTabelas->FieldByName("IDDRILLDOWN")->SetAsString("N");
  s.cdsTabelas->Post();

  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelas->RecordCount(), 4);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "FATO_COMPRAS");
  // Appending moved to the new row (its details asked for), the post sent
  // it, and reloading and locating loaded the saved table's details.
  const std::vector<std::string> calls = h.CallNames();
  const auto sent = std::find(calls.begin(), calls.end(), "SetTabelas");
  ASSERT_NE(sent, calls.end());
  EXPECT_EQ(std::count(sent, calls.end(), "GetDimeFatos"), 2);
  EXPECT_EQ(orb::ShowAviDepth(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());

  // Refused by the server: the message is shown, the row is open again for
  // the person to correct, and nothing of it stays in the change log.
  h.ui().ExpectError("Tabela \"NAO_EXISTE\" inválida.");
  s.cdsTabelas->Append();
  s.cdsTabelas->FieldByName("CDTABELADW")->SetAsString("NAO_EXISTE");
  s.cdsTabelas->FieldByName("NMTABELADW")->SetAsString("Inexistente");
  s.cdsTabelas->FieldByName("IDDRILLDOWN")->SetAsString("N");
  EXPECT_THROW(s.cdsTabelas->Post(), rtl::EAbort);
  EXPECT_EQ(s.cdsTabelas->ChangeCount(), 0);
  EXPECT_EQ(s.cdsTabelas->State(), db::TDataSetState::dsInsert);
  EXPECT_EQ(s.cdsTabelas->FieldByName("CDTABELADW")->AsString(), "NAO_EXISTE");
  EXPECT_EQ(s.cdsTabelas->RecordCount(), 5);
  EXPECT_EQ(orb::ShowAviDepth(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());
}

}  // namespace
}  // namespace qmxtest

namespace qmxtest {
namespace {

TEST(PackageRoutines, FinalizeNestsAndTheLastOneFreesAnOpenScreen) {
  ScreenHarness h;
  OpenLinkedScreen(h);
  const QmxPackageInfoTable* table = GetPackageInfoTable();
  ASSERT_EQ(table, Pkg_qmx00600_GetPackageInfoTable());
  EXPECT_STREQ(table->units[table->unit_count - 1].name, "Cli_qmx00600");

  // Loading the module initialised the package once; a host's own
  // Initialize nests inside it.
  Initialize();
  Finalize();
  EXPECT_TRUE(boestrutura);
  EXPECT_EQ(h.ScreenCount(), 1);

  // The last Finalize runs the screen unit's finalisation: the screen's code
  // is about to go, so the screen goes first.
  Pkg_qmx00600_Finalize();
  EXPECT_FALSE(boestrutura);
  EXPECT_EQ(frmEstrutura, nullptr);
  EXPECT_EQ(h.ScreenCount(), 0);
  Pkg_qmx00600_Initialize();
  OpenLinkedScreen(h);
  EXPECT_TRUE(boestrutura);
}

}  // namespace
}  // namespace qmxtest
