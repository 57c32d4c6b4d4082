// ScreenHarness: what every test of the structure screen starts from.
//
// It prepares a demo database in a temporary folder (or, when the run selects
// PostgreSQL, in a schema of its own: test_database.h) and serves it with the
// real application server in-process (appserver::EmbeddedServer), or, with
// Backend::kScripted, with a ScriptedServer whose unscripted calls fall
// through to a real session on that database; it installs the scripted user
// interface, points the host address (WebURL/WebPort) at the server, and
// opens the screen through an IniProc, the linked package's or one found with
// dlsym. Helpers then act as the person would (focus, column, typing, keys,
// toolbar) and read back the server calls and the questions asked.
//
// The screen is freed when the harness ends, so every test starts without one.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "scripted_server.h"
#include "support/scripted_ui.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/form.h"

namespace appserver {
class EmbeddedServer;
class Storage;
struct DatabaseTarget;
}  // namespace appserver

namespace qmxtest {

class TestDatabase;

enum class Backend { kRealServer, kScripted };

class ScreenHarness {
 public:
  using IniProcFn = void (*)();

  explicit ScreenHarness(Backend backend = Backend::kRealServer);
  ~ScreenHarness();
  ScreenHarness(const ScreenHarness&) = delete;
  ScreenHarness& operator=(const ScreenHarness&) = delete;

  // -- Servers.
  ScriptedServer& Scripted();  // Backend::kScripted only
  uint16_t Port() const;       // the port the host address points at
  // Stops the server and starts a new one on the same database, on a new
  // port, and points the host address at it.
  void RestartServer();
  // Points the host address at a port nothing listens on.
  void PointAtNothing();
  // Runs fixed SQL on the served database (warehouse tables and structure a
  // test generates); best before the screen opens, as it reads nothing again.
  void Execute(const std::string& sql) const;
  // A session of its own on the real server: another person's connection.
  std::unique_ptr<net::IRemoteObject> OtherSession() const;
  // A storage session of its own on the server's database: what is stored
  // and its history, read past the server.
  std::unique_ptr<appserver::Storage> OpenStorage() const;
  // Methods called so far, in order (for either backend).
  std::vector<std::string> CallNames() const;
  void ClearCalls();

  // -- The screen.
  // Calls `ini_proc` (the host's way in) and returns the screen it opened.
  vcl::TCustomForm& Open(IniProcFn ini_proc);
  // The open screen, or nullptr.
  vcl::TCustomForm* Screen() const;
  // The screens of this module the application holds.
  int ScreenCount() const;
  // Frees the screen (as closing it does) if one is open.
  void CloseScreen();

  // -- The person's actions on the open screen, components found by name.
  template <class T>
  T& Find(const std::string& name) const {
    T* c = dynamic_cast<T*>(FindAny(name));
    if (c == nullptr) throw std::logic_error("no component " + name + " of that kind");
    return *c;
  }
  void Focus(const std::string& control);
  // Selects the column of `grid` bound to `field`.
  void PickColumn(const std::string& grid, const std::string& field);
  // Types `text` into the selected cell of `grid`, character by character, as
  // the keyboard does: each character replaces the editor's selection. An
  // editor opened by typing holds the typed text alone; one opened by
  // Alterar, Enter, F2 or a field's FocusControl, or one that followed a
  // column move, has its whole text selected, so Type replaces the cell's
  // text. To append, Press VK_END first.
  void Type(const std::string& grid, const std::string& text);
  void Press(const std::string& grid, uint16_t key, vcl::TShiftState shift = 0);
  // Clicks a toolbar button; returns whether its handler ran.
  bool Click(const std::string& button);

  // -- What the person saw.
  ScriptedUserInterface& ui() { return ui_.ui(); }
  const std::vector<Question>& Questions() { return ui().Questions(); }

 private:
  rtl::TComponent* FindAny(const std::string& name) const;
  appserver::DatabaseTarget Target() const;  // the database the server keeps
  void StartRealServer();
  void PointAt(uint16_t port);

  Backend backend_;
  std::string temp_dir_;
  std::string database_;
  std::unique_ptr<TestDatabase> postgres_;  // when the run selects PostgreSQL
  std::unique_ptr<appserver::EmbeddedServer> real_;
  std::unique_ptr<ScriptedServer> scripted_;
  mutable std::mutex calls_mutex_;
  std::vector<std::string> real_calls_;
  uint16_t port_ = 0;
  ScopedScriptedUI ui_;
};

}  // namespace qmxtest
