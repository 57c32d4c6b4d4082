#include "runtime_dir.h"

#include <stdlib.h>

#include <filesystem>

namespace host {

PrivateRuntimeDir::PrivateRuntimeDir() {
  const char* current = getenv("XDG_RUNTIME_DIR");
  if (current != nullptr && *current != '\0') return;
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "qmx-runtime-XXXXXX").string();
  if (ec || mkdtemp(pattern.data()) == nullptr) return;  // Qt falls back and says so
  created_ = pattern;
  setenv("XDG_RUNTIME_DIR", created_.c_str(), 1);
}

PrivateRuntimeDir::~PrivateRuntimeDir() {
  if (created_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(created_, ec);
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace host
