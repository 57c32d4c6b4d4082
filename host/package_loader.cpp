#include "package_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "rtl/exceptions.h"
#include "rtl/strings.h"

namespace host {

namespace fs = std::filesystem;

namespace {

std::string ExecutableFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

}  // namespace

const std::vector<ScreenEntry>& KnownScreens() {
  static const std::vector<ScreenEntry> screens = {
      {"QMX00600", "Estrutura do DW", "PKG_QMX00600.so"},
  };
  return screens;
}

const ScreenEntry* FindScreen(const std::string& code) {
  const std::string wanted = rtl::UpperCase(code);
  for (const ScreenEntry& s : KnownScreens())
    if (s.code == wanted) return &s;
  return nullptr;
}

PackageLoader::PackageLoader(std::string package_dir) : package_dir_(std::move(package_dir)) {}

std::vector<std::string> PackageLoader::SearchFolders() const {
  std::vector<std::string> folders;
  auto add = [&folders](const std::string& f) {
    if (f.empty()) return;
    for (const std::string& known : folders)
      if (known == f) return;
    folders.push_back(f);
  };
  add(package_dir_);
  const std::string exe = ExecutableFolder();
  add(exe);
  if (!exe.empty()) add((fs::path(exe).parent_path() / "lib").string());
#ifdef QMX_BUILD_LIB_DIR
  add(QMX_BUILD_LIB_DIR);
#endif
  return folders;
}

void* PackageLoader::Load(const std::string& package) {
  if (auto it = handles_.find(package); it != handles_.end()) return it->second;
  std::string searched;
  for (const std::string& folder : SearchFolders()) {
    const fs::path candidate = fs::path(folder) / package;
    std::error_code ec;
    if (!fs::is_regular_file(candidate, ec)) {
      searched += "\n  " + folder;
      continue;
    }
    dlerror();
    void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = dlerror();
      throw rtl::Exception("Não foi possível carregar o pacote " + candidate.string() + ":\n" +
                           (why ? why : "motivo desconhecido"));
    }
    handles_[package] = handle;
    return handle;
  }
  throw rtl::Exception("O pacote " + package + " não foi encontrado. Pastas procuradas:" +
                       searched + "\nIndique a pasta com --package-dir.");
}

void* PackageLoader::Resolve(const std::string& package, const std::string& symbol) {
  void* handle = Load(package);
  dlerror();
  void* address = dlsym(handle, symbol.c_str());
  if (!address || dlerror())
    throw rtl::Exception("O pacote " + package + " não exporta a rotina " + symbol + ".");
  return address;
}

void PackageLoader::OpenScreen(const ScreenEntry& screen) {
  using EntryPoint = void (*)();
  auto entry = reinterpret_cast<EntryPoint>(Resolve(screen.package, "IniProc"));
  entry();
}

}  // namespace host
