#include "appserver/serving/installed_place.h"

#include <filesystem>

namespace appserver {

bool IsInstalledPlace(std::string_view executable) {
  return executable.starts_with("/usr/");
}

bool RunsFromInstalledPlace() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return !ec && IsInstalledPlace(self.string());
}

std::optional<std::string> InstalledSettingsFile() {
  if (!RunsFromInstalledPlace()) return std::nullopt;
  std::error_code ec;
  std::string file(kInstalledSettingsFile);
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  return file;
}

}  // namespace appserver
