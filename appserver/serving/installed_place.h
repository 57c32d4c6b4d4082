// Where the packaged qmx-server keeps the service's settings and database.
// The packages install the program under /usr (/usr/lib/qmx, linked from
// /usr/bin); run from there, its subcommands work on the service's database
// unless told another. A program in a build folder never looks here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace appserver {

inline constexpr std::string_view kInstalledSettingsFile = "/etc/qmx/qmx-server.conf";
// The service's database when its settings name none: the unit's
// XDG_DATA_HOME=/var/lib gives the server this same path.
inline constexpr std::string_view kInstalledDatabase = "/var/lib/qmx/qmx.db";

// True for an executable path in the packages' place, under /usr/.
bool IsInstalledPlace(std::string_view executable);

// True when this process's own executable (/proc/self/exe, so the /usr/bin
// link counts as its target) is in the packages' place.
bool RunsFromInstalledPlace();

// The service's settings file, when this program runs from its installed
// place and the file exists; else nullopt.
std::optional<std::string> InstalledSettingsFile();

}  // namespace appserver
