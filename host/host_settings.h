// HostSettings: what qmx-host is told on its command line.
//
// --server HOST:PORT sets the application server explicitly; without it the
// host library falls back to the QMX_SERVER variable and then to
// 127.0.0.1:2160 (orb/server_address.h). --package-dir adds a folder searched
// first for run-time packages; --open names screens opened at start.
#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "orb/server_address.h"

namespace host {

struct HostSettings {
  std::optional<orb::ServerAddress> server;  // --server, checked
  std::string package_dir;                   // --package-dir
  std::vector<std::string> open_screens;     // --open, upper-cased
};

// Outcome of reading the command line: settings to run with, or an exit code
// with the text already printed (help, version, or an error in Portuguese).
struct ParseOutcome {
  HostSettings settings;
  std::optional<int> exit_code;
};

// `arguments` as QCoreApplication::arguments() gives them (the program first).
ParseOutcome ParseHostCommandLine(const QStringList& arguments);

// True when the command line asks for the help or the version, which
// ParseHostCommandLine answers without a display.
bool AsksForHelpOrVersion(int argc, const char* const* argv);

// Makes the settings take effect: the server address goes to the host
// library; the access token and CA (net::LoadClientSecurity) become the
// defaults of every connection.
void ApplyHostSettings(const HostSettings& settings);

}  // namespace host
