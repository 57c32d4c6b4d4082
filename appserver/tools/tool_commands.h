// The qmx-server subcommands that work on a database without serving it:
// history, check, export and import. Each opens its own session, reads in one
// transaction and prints to standard output (or a file).
#pragma once

#include <iosfwd>
#include <string>

#include "appserver/database/database.h"

namespace appserver {

enum class ToolCommand { kNone, kHistory, kCheck, kExport, kImport, kAccount };

struct ToolOptions {
  ToolCommand command = ToolCommand::kNone;
  std::string table;            // history --table
  std::string since;            // history --since
  std::string format = "text";  // text|json; export, import: metricflow|cube
  std::string out;              // export --out
  std::string file;             // import: the file to read
  bool dry_run = false;         // import --dry-run
  std::string account_action;   // conta: adicionar, listar, desativar, ativar, papel, senha
  std::string user;             // conta: the account
  std::string role = "leitor";  // conta adicionar --papel, conta papel
};

// Exit codes of a subcommand.
inline constexpr int kToolOk = 0;
inline constexpr int kToolProblems = 1;  // check: problems found; import: refused
inline constexpr int kToolFailed = 2;    // could not run

// Runs the chosen subcommand on `database` (SQLite or PostgreSQL); messages go
// to `err`.
int RunTool(const ToolOptions& options, const DatabaseTarget& database, std::ostream& out,
            std::ostream& err);

}  // namespace appserver
