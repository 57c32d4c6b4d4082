#include "screen_harness.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "appserver/serving/embedded_server.h"
#include "orb/server_address.h"
#include "support/unused_port.h"
#include "test_database.h"
#include "vcl/application.h"

namespace qmxtest {

namespace {

constexpr const char* kScreenName = "frmEstrutura";

std::string MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qmx-screen-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

// A run that selects PostgreSQL without naming a database skips every test,
// rather than quietly testing SQLite again.
class PostgresOrSkip : public ::testing::Environment {
 public:
  void SetUp() override {
    if (SelectedBackend() == TestBackend::kPostgres && PostgresConninfo().empty())
      GTEST_SKIP() << TestDatabase(TestBackend::kPostgres).SkipReason();
  }
};
[[maybe_unused]] const auto* const kPostgresOrSkip =
    ::testing::AddGlobalTestEnvironment(new PostgresOrSkip);

}  // namespace

ScreenHarness::ScreenHarness(Backend backend) : backend_(backend) {
  temp_dir_ = MakeTempDir();
  database_ = temp_dir_ + "/qmx.db";
  if (SelectedBackend() == TestBackend::kPostgres && !PostgresConninfo().empty())
    postgres_ = std::make_unique<TestDatabase>(TestBackend::kPostgres);
  StartRealServer();
  if (backend_ == Backend::kScripted) {
    scripted_ = std::make_unique<ScriptedServer>(
        [this]() -> std::unique_ptr<net::IRemoteObject> { return real_->NewSession(); });
    PointAt(scripted_->Port());
  }
}

ScreenHarness::~ScreenHarness() {
  CloseScreen();
  orb::ClearServerAddress();
  scripted_.reset();
  real_.reset();
  std::error_code ec;
  std::filesystem::remove_all(temp_dir_, ec);
}

appserver::DatabaseTarget ScreenHarness::Target() const {
  if (postgres_) return postgres_->target();
  appserver::DatabaseTarget target;
  target.location = database_;
  return target;
}

void ScreenHarness::StartRealServer() {
  appserver::EmbeddedServerOptions options;
  options.database_path = Target().location;
  options.schema = Target().schema;
  options.on_call = [this](const net::CallRecord& call) {
    std::lock_guard lock(calls_mutex_);
    real_calls_.emplace_back(call.method);
  };
  real_ = std::make_unique<appserver::EmbeddedServer>(std::move(options));
  if (backend_ == Backend::kRealServer) PointAt(real_->Port());
}

void ScreenHarness::PointAt(uint16_t port) {
  port_ = port;
  orb::SetServerAddress({"127.0.0.1", port});
}

ScriptedServer& ScreenHarness::Scripted() {
  if (!scripted_) throw std::logic_error("the harness runs the real server only");
  return *scripted_;
}

uint16_t ScreenHarness::Port() const {
  return port_;
}

void ScreenHarness::RestartServer() {
  if (backend_ != Backend::kRealServer) throw std::logic_error("restart needs the real server");
  real_.reset();
  StartRealServer();
}

std::unique_ptr<net::IRemoteObject> ScreenHarness::OtherSession() const {
  return real_->NewSession();
}

std::unique_ptr<appserver::Storage> ScreenHarness::OpenStorage() const {
  return appserver::OpenStorage(Target());
}

void ScreenHarness::Execute(const std::string& sql) const {
  if (postgres_)
    postgres_->Execute(sql);
  else
    ExecuteOnSqliteFile(database_, sql);
}

void ScreenHarness::PointAtNothing() {
  PointAt(qmxtest::UnusedLoopbackPort());
}

std::vector<std::string> ScreenHarness::CallNames() const {
  if (scripted_) return scripted_->CallNames();
  std::lock_guard lock(calls_mutex_);
  return real_calls_;
}

void ScreenHarness::ClearCalls() {
  if (scripted_) scripted_->ClearCalls();
  std::lock_guard lock(calls_mutex_);
  real_calls_.clear();
}

vcl::TCustomForm& ScreenHarness::Open(IniProcFn ini_proc) {
  ini_proc();
  vcl::TCustomForm* screen = Screen();
  if (screen == nullptr) throw std::logic_error("IniProc opened no screen");
  return *screen;
}

vcl::TCustomForm* ScreenHarness::Screen() const {
  return dynamic_cast<vcl::TCustomForm*>(vcl::Application().FindComponent(kScreenName));
}

int ScreenHarness::ScreenCount() const {
  int n = 0;
  vcl::TApplication& app = vcl::Application();
  for (int i = 0; i < app.ComponentCount(); ++i)
    if (app.Components(i)->Name() == kScreenName) ++n;
  return n;
}

void ScreenHarness::CloseScreen() {
  while (vcl::TCustomForm* screen = Screen()) screen->Free();
}

rtl::TComponent* ScreenHarness::FindAny(const std::string& name) const {
  vcl::TCustomForm* screen = Screen();
  if (screen == nullptr) throw std::logic_error("no screen is open");
  return screen->FindComponent(name);
}

void ScreenHarness::Focus(const std::string& control) {
  Find<vcl::TWinControl>(control).SetFocus();
}

void ScreenHarness::PickColumn(const std::string& grid, const std::string& field) {
  vcl::TDBGrid& g = Find<vcl::TDBGrid>(grid);
  vcl::TColumn* column = g.Columns().FindByFieldName(field);
  if (column == nullptr) throw std::logic_error(grid + " shows no field " + field);
  g.SetSelectedIndex(column->Index());
}

void ScreenHarness::Type(const std::string& grid, const std::string& text) {
  vcl::TDBGrid& g = Find<vcl::TDBGrid>(grid);
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    g.KeyPress(std::string_view(text).substr(i, len));
    i += len;
  }
}

void ScreenHarness::Press(const std::string& grid, uint16_t key, vcl::TShiftState shift) {
  Find<vcl::TDBGrid>(grid).KeyDown(key, shift);
}

bool ScreenHarness::Click(const std::string& button) {
  return Find<vcl::TButtonFlat>(button).Click();
}

}  // namespace qmxtest
