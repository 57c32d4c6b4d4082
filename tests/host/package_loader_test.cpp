// Finding and loading run-time packages.
#include <gtest/gtest.h>

#include <filesystem>

#include "package_loader.h"
#include "rtl/exceptions.h"

namespace {

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const rtl::Exception& e) {
    return e.Message();
  }
  return "(no failure)";
}

TEST(PackageLoaderTest, MissingPackageNamesItAndTheFoldersSearched) {
  host::PackageLoader loader("/nonexistent/packages");
  const std::string message = MessageOf([&] {
    loader.OpenScreen({"QMX99999", "Nenhuma", "PKG_QMX99999.so"});
  });
  EXPECT_NE(message.find("PKG_QMX99999.so não foi encontrado"), std::string::npos) << message;
  EXPECT_NE(message.find("/nonexistent/packages"), std::string::npos) << message;
  EXPECT_FALSE(loader.IsLoaded("PKG_QMX99999.so"));
}

TEST(PackageLoaderTest, PackageWithoutTheEntryPointIsRefusedByName) {
  // A library of the build that is no screen package.
  host::PackageLoader loader;
  const std::string message = MessageOf([&] { loader.Resolve("libqmx_rtl.so", "IniProc"); });
  EXPECT_EQ(message, "O pacote libqmx_rtl.so não exporta a rotina IniProc.");
}

TEST(PackageLoaderTest, FileThatIsNoLibraryIsRefusedWithTheLoadersReason) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qmx_host_pkg_test";
  std::filesystem::create_directories(dir);
  {
    std::FILE* f = std::fopen((dir / "PKG_BROKEN.so").c_str(), "w");
    std::fputs("not elf", f);
    std::fclose(f);
  }
  host::PackageLoader loader(dir.string());
  const std::string message = MessageOf([&] { loader.Resolve("PKG_BROKEN.so", "IniProc"); });
  EXPECT_EQ(message.rfind("Não foi possível carregar o pacote", 0), 0u) << message;
  std::filesystem::remove_all(dir);
  EXPECT_EQ(loader.SearchFolders().front(), dir.string());
}

TEST(PackageLoaderTest, KnownScreensAreFoundWithoutRegardToCase) {
  const host::ScreenEntry* screen = host::FindScreen("qmx00600");
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->package, "PKG_QMX00600.so");
  EXPECT_EQ(host::FindScreen("QMX00000"), nullptr);
}

}  // namespace
