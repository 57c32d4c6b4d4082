// HostSettings: what qmx-host is told on its command line, and the
// preferences it keeps for each user between runs.
//
// --server HOST:PORT sets the application server explicitly; without it the
// host library falls back to the QMX_SERVER variable and then to
// 127.0.0.1:2160 (orb/server_address.h). --package-dir adds a folder searched
// first for run-time packages; --open names screens opened at start.
#pragma once

#include <QString>
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

// The share of its container the panel before splitter `key` ("form/splitter")
// was last given by this user, between 0 and 1, or -1 when none was kept.
// Kept in the user's configuration folder (QStandardPaths::AppConfigLocation).
double SavedSplitShare(const QString& key);
void SaveSplitShare(const QString& key, double share);

// The user name this desktop user last logged in to a server with, or empty;
// kept beside the splitter shares. Passwords are never kept.
QString SavedLoginUser();
void SaveLoginUser(const QString& user_name);

}  // namespace host
