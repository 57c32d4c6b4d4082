// The screen's after-scroll of a fact table (the GetDimeFatos call through
// the screen's connection and calling convention, plus loading the
// dimensions and the facts into their datasets and rebinding the dimension
// grid) against the bare GetDimeFatos round trip: the same call made raw on
// a TSocketConnection to the same embedded server. Both are timed
// alternately in one run, so load from the shared machine falls on both;
// the ratio of the medians is printed at the end.
//
// Likewise the save of one new fact (the post through the checks before it,
// the SetFatos call and the merge after it) against the bare SetFatos round
// trip of the same change packet; each iteration takes its fact away again,
// untimed, so every save is a new fact.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "appserver/serving/embedded_server.h"
#include "module/pkg_qmx00600.h"
#include "orb/server_address.h"
#include "screen/estrutura.h"
#include "support/absent_user.h"
#include "support/measure.h"
#include "vcl/application.h"
#include "vcl/user_interface.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Micros;
constexpr auto kWindow = std::chrono::milliseconds(500);

std::unique_ptr<appserver::EmbeddedServer> g_server;
double g_screen_us = 0, g_raw_us = 0;
double g_post_us = 0, g_raw_set_us = 0;

std::unique_ptr<net::TSocketConnection> Connect() {
  return bench::Connect(std::string(appserver::RdmEstrutura::kObjectName), g_server->Port());
}

// The open screen on FATO_VENDAS in its list of fact tables, or nullptr with
// the benchmark skipped.
qmx00600::TfrmEstrutura* ScreenOnVendas(benchmark::State& state) {
  qmx00600::TfrmEstrutura* s = frmEstrutura;
  if (!s->cdsTabelas->Locate("CDTABELADW", rtl::Variant("FATO_VENDAS"), db::loNone)) {
    state.SkipWithError("FATO_VENDAS is not in the list");
    return nullptr;
  }
  return s;
}

// Keeps the medians of the bare calls and of the screen's work, and reports
// both and their ratio; `screen_counter` names the screen's median.
void ReportMedians(benchmark::State& state, const std::vector<double>& raw_us,
                   const std::vector<double>& screen_us, const char* screen_counter,
                   double& raw_median, double& screen_median) {
  raw_median = Median(raw_us);
  screen_median = Median(screen_us);
  state.counters["raw_median_us"] = raw_median;
  state.counters[screen_counter] = screen_median;
  state.counters["ratio"] = raw_median > 0 ? screen_median / raw_median : 0;
}

void RawGetDimeFatos(net::TSocketConnection& c, const std::string& table) {
  rtl::Variant code = table, dimes, facts;
  c.AppServer().Call("GetDimeFatos",
                     {net::Arg::Ref(code), "", "", "", net::Arg::Ref(dimes), net::Arg::Ref(facts)});
  if (dimes.Length() == 0 || facts.Length() == 0) std::abort();
  benchmark::DoNotOptimize(facts);
}

void BM_AfterScrollVsRawGetDimeFatos(benchmark::State& state) {
  qmx00600::TfrmEstrutura* screen = ScreenOnVendas(state);
  if (screen == nullptr) return;
  qmx00600::TfrmEstrutura& s = *screen;
  auto conn = Connect();
  std::vector<double> screen_us, raw_us;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    RawGetDimeFatos(*conn, "FATO_VENDAS");
    const auto t1 = Clock::now();
    s.cdsTabelasAfterScroll(s.cdsTabelas);
    const auto t2 = Clock::now();
    raw_us.push_back(Micros(t1 - t0));
    screen_us.push_back(Micros(t2 - t1));
    if (s.cdsFatos->RecordCount() != 2 || s.cdsDime->RecordCount() != 3) {
      state.SkipWithError("the details of FATO_VENDAS did not load");
      return;
    }
  }
  ReportMedians(state, raw_us, screen_us, "after_scroll_median_us", g_raw_us, g_screen_us);
}
BENCHMARK(BM_AfterScrollVsRawGetDimeFatos)->MinTime(kWindow.count() / 1000.0)->UseRealTime();

void RawSetFatos(net::TSocketConnection& c, const rtl::Variant& delta) {
  rtl::Variant code = std::string("FATO_VENDAS");
  const rtl::Variant result = c.AppServer().Call("SetFatos", {delta, net::Arg::Ref(code)});
  if (!result.IsEmpty()) std::abort();  // an error report
}

void FillNewFact(db::TClientDataSet& ds) {
  ds.Append();
  ds.FieldByName("CDTABELADW")->SetAsString("FATO_VENDAS");
  ds.FieldByName("IDFATODW")->SetAsString("S");
  ds.FieldByName("IDTPFATODW")->SetAsString("M");
  ds.FieldByName("CDITEMDW")->SetAsString("VL_DESCONTO");
  ds.FieldByName("NMITEMDW")->SetAsString("Desconto concedido");
  ds.FieldByName("CDAREANEGDW")->SetAsString("00002");
}

void BM_FactPostVsRawSetFatos(benchmark::State& state) {
  qmx00600::TfrmEstrutura* screen = ScreenOnVendas(state);
  if (screen == nullptr) return;
  qmx00600::TfrmEstrutura& s = *screen;
  // The packets the screen sends: the new fact, and its removal. The copy
  // has no handlers, so posting into it sends nothing.
  db::TClientDataSet scratch(nullptr);
  scratch.SetData(s.cdsFatos->Data());
  FillNewFact(scratch);
  scratch.Post();
  const rtl::Variant insert = scratch.Delta();
  scratch.MergeChangeLog();
  scratch.Delete();
  const rtl::Variant remove = scratch.Delta();

  auto conn = Connect();
  std::vector<double> screen_us, raw_us;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    RawSetFatos(*conn, insert);
    const auto t1 = Clock::now();
    RawSetFatos(*conn, remove);
    const auto t2 = Clock::now();
    FillNewFact(*s.cdsFatos);
    s.cdsFatos->Post();
    const auto t3 = Clock::now();
    if (s.cdsFatos->ChangeCount() != 0 ||
        s.cdsFatos->FieldByName("CDITEMDW")->AsString() != "VL_DESCONTO") {
      state.SkipWithError("the new fact was not saved");
      return;
    }
    s.cdsFatos->Delete();
    raw_us.push_back(Micros(t1 - t0));
    screen_us.push_back(Micros(t3 - t2));
  }
  ReportMedians(state, raw_us, screen_us, "post_median_us", g_raw_set_us, g_post_us);
}
BENCHMARK(BM_FactPostVsRawSetFatos)->MinTime(kWindow.count() / 1000.0)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::AbsentUser user;
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
  std::printf(
      "Ratio (same run): save of a new fact / bare SetFatos of its packet = %.2f"
      " (medians %.1f us / %.1f us)\n",
      g_raw_set_us > 0 ? g_post_us / g_raw_set_us : 0.0, g_post_us, g_raw_set_us);
  vcl::Application().DestroyForms();
  g_server.reset();
  vcl::SetUserInterface(nullptr);
  return 0;
}
