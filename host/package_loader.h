// PackageLoader: finds and loads the screens' run-time packages and calls
// their entry points.
//
// Each package file is loaded at most once per process and never unloaded
// (its forms may outlive any call). A package is looked for, in order, in the
// folder given with --package-dir, beside the executable, in ../lib from the
// executable, and in the build's library folder. A package that is missing,
// cannot be loaded or lacks the entry point is reported as rtl::Exception
// with a message for the user; nothing is loaded half-way.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace host {

// A screen the host offers: its code, its title and the package holding it.
struct ScreenEntry {
  std::string code;     // "QMX00600"
  std::string title;    // "Estrutura do DW"
  std::string package;  // "PKG_QMX00600.so"
};

// The screens of the host's menu.
const std::vector<ScreenEntry>& KnownScreens();
// The screen with this code (without regard to case), or nullptr.
const ScreenEntry* FindScreen(const std::string& code);

class PackageLoader {
 public:
  explicit PackageLoader(std::string package_dir = {});

  // The folders searched, in order.
  std::vector<std::string> SearchFolders() const;
  // Loads `package` (once) and returns the address of `symbol`; throws
  // rtl::Exception when the package or the symbol is missing.
  void* Resolve(const std::string& package, const std::string& symbol);
  // Resolves IniProc of the screen's package and calls it. Failures of the
  // call itself pass to the caller unchanged.
  void OpenScreen(const ScreenEntry& screen);
  // Whether `package` was loaded.
  bool IsLoaded(const std::string& package) const { return handles_.count(package) > 0; }

 private:
  void* Load(const std::string& package);
  std::string package_dir_;
  std::map<std::string, void*> handles_;
};

}  // namespace host
