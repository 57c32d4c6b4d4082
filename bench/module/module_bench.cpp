// The screen's after-scroll of a fact table (the GetDimeFatos call through
// the screen's connection and calling convention, plus loading the
// dimensions and the facts into their datasets and rebinding the dimension
// grid) against the bare GetDimeFatos round trip: the same call made raw on
// a TSocketConnection to the same embedded server. Both are timed
// alternately in one run, so load from the shared machine falls on both;
// the ratio of the medians is printed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "appserver/embedded_server.h"
#include "module/pkg_qmx00600.h"
#include "net/socket_connection.h"
#include "orb/server_address.h"
#include "screen/estrutura.h"
#include "vcl/application.h"
#include "vcl/user_interface.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWindow = std::chrono::milliseconds(500);

// The person is away: no dialog is expected while measuring.
class AbsentUser : public vcl::IUserInterface {
 public:
  void ShowError(const std::string& text) override {
    std::fprintf(stderr, "unexpected error: %s\n", text.c_str());
    std::abort();
  }
  int ShowMessageDialog(const std::string&, vcl::TMsgDlgType, vcl::TMsgDlgButtons, int) override {
    return vcl::mrNo;
  }
  int MessageBox(const std::string&, const std::string&, unsigned) override { return vcl::IDNO; }
  bool Lookup(db::TDataSource&, const std::string&) override { return false; }
  bool Search(db::TClientDataSet&) override { return false; }
  void ShowBusy(int, const std::string&) override {}
  void HideBusy() override {}
  void CursorChanged(int) override {}
};

std::unique_ptr<appserver::EmbeddedServer> g_server;
double g_screen_us = 0, g_raw_us = 0;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::unique_ptr<net::TSocketConnection> Connect() {
  auto c = std::make_unique<net::TSocketConnection>(nullptr);
  c->SetServerName(std::string(appserver::RdmEstrutura::kObjectName));
  c->SetPort(g_server->Port());
  c->Open();
  return c;
}

void RawGetDimeFatos(net::TSocketConnection& c, const std::string& table) {
  rtl::Variant code = table, dimes, facts;
  c.AppServer().Call("GetDimeFatos",
                     {net::Arg::Ref(code), "", "", "", net::Arg::Ref(dimes), net::Arg::Ref(facts)});
  if (dimes.Length() == 0 || facts.Length() == 0) std::abort();
  benchmark::DoNotOptimize(facts);
}

void BM_AfterScrollVsRawGetDimeFatos(benchmark::State& state) {
  qmx00600::TfrmEstrutura& s = *frmEstrutura;
  if (!s.cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone)) {
    state.SkipWithError("FATO_VENDAS is not in the list");
    return;
  }
  auto conn = Connect();
  std::vector<double> screen_us, raw_us;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    RawGetDimeFatos(*conn, "FATO_VENDAS");
    const auto t1 = Clock::now();
    s.cdsTabelasAfterScroll(s.cdsTabelas);
    const auto t2 = Clock::now();
    raw_us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    screen_us.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    if (s.cdsFatos->RecordCount() != 2 || s.cdsDime->RecordCount() != 3) {
      state.SkipWithError("the details of FATO_VENDAS did not load");
      return;
    }
  }
  g_raw_us = Median(raw_us);
  g_screen_us = Median(screen_us);
  state.counters["raw_median_us"] = g_raw_us;
  state.counters["after_scroll_median_us"] = g_screen_us;
  state.counters["ratio"] = g_raw_us > 0 ? g_screen_us / g_raw_us : 0;
}
BENCHMARK(BM_AfterScrollVsRawGetDimeFatos)->MinTime(kWindow.count() / 1000.0)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  AbsentUser user;
  vcl::SetUserInterface(&user);
  g_server = std::make_unique<appserver::EmbeddedServer>();
  orb::SetServerAddress({"127.0.0.1", g_server->Port()});
  IniProc();
  if (frmEstrutura == nullptr) {
    std::fprintf(stderr, "the screen did not open\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf(
      "\nRatio (same run): after-scroll of a fact table / bare GetDimeFatos = %.2f"
      " (medians %.1f us / %.1f us)\n",
      g_raw_us > 0 ? g_screen_us / g_raw_us : 0.0, g_screen_us, g_raw_us);
  vcl::Application().DestroyForms();
  g_server.reset();
  vcl::SetUserInterface(nullptr);
  return 0;
}
