// The command line of qmx-server: what it accepts and how it turns into a
// running server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "appserver/serving/login.h"
#include "appserver/storage/database_setup.h"
#include "appserver/tools/tool_commands.h"

namespace appserver {

enum class LogLevel { kError, kInfo, kDebug };

struct ServerConfig {
  std::string database;           // a SQLite file path, or a PostgreSQL connection string or URI
  std::string schema = "public";  // PostgreSQL: schema of the structure and the warehouse
  std::string address = "127.0.0.1";
  uint16_t port = 2160;
  bool allow_remote = false;
  DemoSeeding demo = DemoSeeding::kIfCreated;
  LogLevel log_level = LogLevel::kInfo;
  ToolOptions tool;                               // a subcommand instead of serving
  int write_wait_s = kDefaultWriteWaitMs / 1000;  // a save waits this long for another
  int max_connections = 64;
  int database_pool = kDefaultDatabasePool;  // PostgreSQL connections shared by the sessions
  int max_memory_mib = 256;                  // frames in progress, all connections together
  int idle_timeout_min = 30;                 // 0: idle connections stay open
  int handshake_timeout_s = 5;               // from accepting a connection to its Hello
  std::string name;  // this server in the history; "": the address it listens on
  // TLS and the access token; required with allow_remote, and when given they
  // secure a loopback server as well.
  std::string tls_cert;
  std::string tls_key;
  std::string token_file;
};

// "ADDR:PORT" or "[ADDR]:PORT"; nullopt when malformed.
std::optional<std::pair<std::string, uint16_t>> ParseListen(std::string_view text);
// $XDG_DATA_HOME/qmx/qmx.db, else ~/.local/share/qmx/qmx.db; "" without a home.
std::string DefaultDatabasePath();
// A postgresql:// URI or a libpq key=value connection string.
bool IsPostgresUrl(std::string_view database);

// Parses argv into `config`. Returns nullopt to go on, or the exit code to
// end with (help shown, or an error already printed).
std::optional<int> ParseCommandLine(int argc, char** argv, ServerConfig& config);

// Runs the server until SIGINT or SIGTERM; returns the exit code. The signals
// must already be blocked in every thread (main does so first).
int RunServer(const ServerConfig& config);

}  // namespace appserver
