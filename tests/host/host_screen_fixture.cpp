#include "host_screen_fixture.h"

#include <QAction>
#include <QApplication>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>

#include "db/client_dataset.h"
#include "lookup_dialog.h"
#include "orb/server_address.h"
#include "render_controls.h"
#include "render_pages.h"
#include "vcl/application.h"
#include "vcl/button_flat.h"
#include "vcl/page_control.h"

namespace host_test {

void HostScreenTest::SetUp() {
  orb::SetServerAddress({"127.0.0.1", server_.Port()});
  window_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  window_.activateWindow();
}

void HostScreenTest::TearDown() {
  vcl::Application().DestroyForms();
  QApplication::processEvents();
  orb::ClearServerAddress();
  EXPECT_TRUE(answers_.Unexpected().empty()) << answers_.Unexpected().front();
}

void OpenScreenTest::SetUp() {
  HostScreenTest::SetUp();
  if (HasFatalFailure()) return;
  form_ = OpenFromMenu();
  ASSERT_NE(form_, nullptr);
}

vcl::TCustomForm* HostScreenTest::OpenFromMenu() {
  QAction* action = window_.ScreenAction("QMX00600");
  EXPECT_NE(action, nullptr);
  if (action) action->trigger();
  QApplication::processEvents();
  const auto forms = window_.Views().Forms();
  return forms.empty() ? nullptr : forms.front();
}

void HostScreenTest::ClickAt(host::GridView* view, const QRect& rect) {
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

void HostScreenTest::ClickCell(host::GridView* view, int recno, int col) {
  ClickAt(view, view->CellRect(recno, col));
}

void HostScreenTest::ClickButton(const char* name) {
  QTest::mouseClick(View<host::ButtonWidget>(Model<vcl::TButtonFlat>(name)), Qt::LeftButton);
  QApplication::processEvents();
}

void HostScreenTest::ShowPage(int index) {
  auto* tabs = View<host::PageControlWidget>(Model<vcl::TPageControl>("pgcPadrao"));
  QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
}

void HostScreenTest::ClickFactTable(const std::string& table) {
  auto* tables = Model<vcl::TDBGrid>("dbgTabelaFatos");
  ASSERT_TRUE(tables && GridOf(tables));
  int row = 0;
  for (int r = 1; r <= tables->RowCount() && row == 0; ++r)
    if (tables->CellText(r, 0) == table) row = r;
  ASSERT_GT(row, 0) << table;
  ClickCell(tables, row, 0);
}

appserver::EmbeddedServerOptions HostScreenTest::RecordingCalls() {
  appserver::EmbeddedServerOptions options;
  options.on_call = [this](const net::CallRecord& call) {
    const std::lock_guard lock(calls_mutex_);
    calls_.emplace_back(call.method);
  };
  return options;
}

std::vector<std::string> HostScreenTest::Calls() {
  const std::lock_guard lock(calls_mutex_);
  return calls_;
}

void HostScreenTest::ForgetCalls() {
  const std::lock_guard lock(calls_mutex_);
  calls_.clear();
}

QStringList OfferedCodes(const host::LookupDialog& dialog) {
  QStringList codes;
  for (int r = 0; r < dialog.Table()->rowCount(); ++r) codes << dialog.Table()->item(r, 0)->text();
  return codes;
}

std::string StoredTableName(const appserver::EmbeddedServer& server, const std::string& code) {
  auto session = server.NewSession();
  std::vector<rtl::Variant> args{rtl::Variant(std::string()), rtl::Variant(false)};
  db::TClientDataSet rows(nullptr);
  rows.SetData(session->Invoke("GetTabelas", args));
  for (rows.First(); !rows.Eof(); rows.Next())
    if (rows.FieldByName("CDTABELADW")->AsString() == code)
      return rows.FieldByName("NMTABELADW")->AsString();
  return "<none>";
}

std::vector<rtl::Variant> DimeFatos(const appserver::EmbeddedServer& server,
                                    const std::string& table) {
  auto session = server.NewSession();
  std::vector<rtl::Variant> args{rtl::Variant(table),
                                 rtl::Variant(std::string()),
                                 rtl::Variant(std::string()),
                                 rtl::Variant(std::string()),
                                 rtl::Variant(),
                                 rtl::Variant()};
  session->Invoke("GetDimeFatos", args);
  return args;
}

}  // namespace host_test
