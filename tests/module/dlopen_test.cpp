// The package as the host sees it: loaded with dlopen, reached only through
// its exported names, its screen found among the application's forms.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "db/client_dataset.h"
#include "module/pkg_qmx00600.h"
#include "net/socket_connection.h"
#include "orb/messages.h"
#include "screen_harness.h"
#include "vcl/page_control.h"

namespace qmxtest {
namespace {

class Package {
 public:
  explicit Package(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) ADD_FAILURE() << "dlopen " << path << ": " << dlerror();
  }
  ~Package() {
    if (handle_) dlclose(handle_);
  }
  explicit operator bool() const { return handle_ != nullptr; }
  template <class T>
  T* Symbol(const char* name) const {
    void* s = dlsym(handle_, name);
    EXPECT_NE(s, nullptr) << "export " << name;
    return reinterpret_cast<T*>(s);
  }

 private:
  void* handle_;
};

using VoidFn = void();
using TableFn = const QmxPackageInfoTable*();

int Rows(vcl::TCustomForm& screen, const char* dataset) {
  auto* ds = dynamic_cast<db::TClientDataSet*>(screen.FindComponent(dataset));
  return ds ? ds->RecordCount() : -1;
}

TEST(Package, LoadedWithDlopenOpensOneScreenThroughItsExports) {
  ScreenHarness h;
  Package pkg(QMX_PACKAGE_PATH);
  ASSERT_TRUE(pkg);
  for (const char* name : {"CRIAESTRUTURA", "Initialize", "Finalize", "Pkg_qmx00600_Initialize",
                           "Pkg_qmx00600_Finalize", "Pkg_qmx00600_GetPackageInfoTable"})
    pkg.Symbol<void>(name);
  auto* ini_proc = pkg.Symbol<VoidFn>("IniProc");
  auto* flag = pkg.Symbol<bool>("boestrutura");
  auto* screen_ref = pkg.Symbol<void*>("frmEstrutura");
  const QmxPackageInfoTable* table = pkg.Symbol<TableFn>("GetPackageInfoTable")();
  ASSERT_TRUE(ini_proc && flag && screen_ref && table);
  ASSERT_GE(table->unit_count, 2u);
  EXPECT_STREQ(table->units[0].name, "Pkg_qmx00600");
  EXPECT_STREQ(table->units[table->unit_count - 1].name, "Cli_qmx00600");
  EXPECT_NE(table->units[table->unit_count - 1].initialization, nullptr);
  EXPECT_FALSE(*flag);
  EXPECT_EQ(*screen_ref, nullptr);

  vcl::TCustomForm& screen = h.Open(ini_proc);
  h.Open(ini_proc);
  EXPECT_EQ(h.ScreenCount(), 1);
  EXPECT_TRUE(*flag);
  EXPECT_EQ(*screen_ref, static_cast<void*>(&screen));
  auto& pages = h.Find<vcl::TPageControl>("pgcPadrao");
  ASSERT_NE(pages.ActivePage(), nullptr);
  EXPECT_EQ(pages.ActivePage()->Caption(), "Tabelas Fato");
  EXPECT_EQ(Rows(screen, "cdsTabelas"), 3);
  EXPECT_EQ(Rows(screen, "cdsTabelaDrill"), 2);
  EXPECT_EQ(Rows(screen, "cdsAreaNegDW"), Rows(screen, "cdsPesqAreaNegDW"));
  EXPECT_EQ(Rows(screen, "cdsDimeDime"), Rows(screen, "cdsPesqDimeDime"));
  EXPECT_GT(Rows(screen, "cdsFatos"), 0);
  EXPECT_GT(Rows(screen, "cdsFatosDrill"), 0);
  EXPECT_EQ(h.Find<net::TSocketConnection>("netEstrutura").Port(), h.Port());

  // Closed by the person: the next IniProc makes a new screen.
  h.CloseScreen();
  EXPECT_FALSE(*flag);
  EXPECT_EQ(*screen_ref, nullptr);
  h.Open(ini_proc);
  EXPECT_TRUE(*flag);
  EXPECT_EQ(h.ScreenCount(), 1);
  h.CloseScreen();
}

TEST(Package, ALanguageFileBesideTheModuleReplacesItsTexts) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qmx-pkg-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path copy = dir / "PKG_QMX00600.so";
  std::filesystem::copy_file(QMX_PACKAGE_PATH, copy,
                             std::filesystem::copy_options::overwrite_existing);
  std::ofstream(dir / "PKG_QMX00600.en.msg") << "# English\nGetAtualiza|Receiving data\n"
                                                "DIMENSOES| Dimensions\n";
  setenv("QMX_LANG", "en_GB", 1);
  {
    ScreenHarness h;
    Package pkg(copy.string());
    ASSERT_TRUE(pkg);
    EXPECT_EQ(std::string(pkg.Symbol<const char*()>("QmxLanguageFileName")()),
              (dir / "PKG_QMX00600.en.msg").string());
    vcl::TCustomForm& screen = h.Open(pkg.Symbol<VoidFn>("IniProc"));
    auto& messages = h.Find<orb::TMessages>("msgPadrao");
    EXPECT_EQ(messages.Msg("GetAtualiza"), "Receiving data");
    EXPECT_EQ(messages.Msg("DIMENSOES"), " Dimensions");
    EXPECT_EQ(messages.Msg("SetAtualiza"), "Atualizando dados no servidor");
    EXPECT_EQ(h.ui().BusyLog().front().caption, "Receiving data");
    (void)screen;
    h.CloseScreen();
  }
  unsetenv("QMX_LANG");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

}  // namespace
}  // namespace qmxtest
