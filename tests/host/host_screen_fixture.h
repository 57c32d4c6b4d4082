// HostScreenTest: the host's main window on the offscreen platform, linked
// to the real application server in-process on a temporary demo database,
// with the ways the screen's host tests reach its widgets and click them.
//
// SetUp shows the window (a test may size it first); TearDown closes every
// form and fails the test on a dialog no step answered. A test opens the
// screen itself, or derives from OpenScreenTest, and keeps the form it works
// on in form_.
#pragma once

#include <gtest/gtest.h>

#include <QRect>
#include <QStringList>
#include <mutex>
#include <string>
#include <vector>

#include "appserver/serving/embedded_server.h"
#include "dialog_answerer.h"
#include "grid_view.h"
#include "main_window.h"
#include "renderer.h"
#include "rtl/variant.h"
#include "vcl/db_grid.h"
#include "vcl/form.h"

namespace host {
class LookupDialog;
}

namespace host_test {

class HostScreenTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens the screen through the host's menu entry: its form, or nullptr.
  vcl::TCustomForm* OpenFromMenu();

  template <class T>
  T* Model(const char* name) {
    return Model<T>(form_, name);
  }
  template <class T>
  static T* Model(vcl::TCustomForm* form, const char* name) {
    return dynamic_cast<T*>(form->FindComponent(name));
  }
  template <class T>
  T* View(const vcl::TControl* control) {
    return dynamic_cast<T*>(window_.Views().WidgetFor(control));
  }
  host::GridView* GridOf(const vcl::TDBGrid* grid) { return View<host::GridView>(grid); }
  host::GridView* GridOf(const char* grid) { return GridOf(Model<vcl::TDBGrid>(grid)); }

  // A left click in the middle of `rect` of the grid's viewport.
  void ClickAt(host::GridView* view, const QRect& rect);
  void ClickCell(host::GridView* view, int recno, int col);
  void ClickCell(const vcl::TDBGrid* grid, int recno, int col) {
    ClickCell(GridOf(grid), recno, col);
  }
  void ClickCell(const char* grid, int recno, int col) { ClickCell(GridOf(grid), recno, col); }
  // Clicks the toolbar button `name` of form_, then lets the screen react.
  void ClickButton(const char* name);
  // Clicks the tab of page `index` of the screen's page control.
  void ShowPage(int index);
  // Clicks the row of fact table `table` in the list of fact tables.
  void ClickFactTable(const std::string& table);

 private:
  appserver::EmbeddedServerOptions RecordingCalls();

 protected:
  // The methods the server answered so far, in order.
  std::vector<std::string> Calls();
  void ForgetCalls();

  std::mutex calls_mutex_;
  std::vector<std::string> calls_;  // filled on the server's threads
  appserver::EmbeddedServer server_{RecordingCalls()};
  host::MainWindow window_{""};
  DialogAnswerer answers_;
  vcl::TCustomForm* form_ = nullptr;
};

// HostScreenTest with the screen opened from the menu before each test, its
// form in form_.
class OpenScreenTest : public HostScreenTest {
 protected:
  void SetUp() override;
};

// The codes (first column) the look-up dialog offers, top to bottom.
QStringList OfferedCodes(const host::LookupDialog& dialog);

// The name the server holds for fact table `code`, or "<none>".
std::string StoredTableName(const appserver::EmbeddedServer& server, const std::string& code);

// The six arguments of GetDimeFatos for `table` after the server answered,
// read through a session of its own: [4] holds the dimensions, [5] the facts.
std::vector<rtl::Variant> DimeFatos(const appserver::EmbeddedServer& server,
                                    const std::string& table);

}  // namespace host_test
