// qmx-server conta: adds, lists, disables and enables accounts, sets a role
// and resets a password. A password is read from the terminal without echo
// (typed twice), or as the first line of standard input when that is not a
// terminal; never from the command line, where other users could see it.
#pragma once

#include <iosfwd>

#include "appserver/database/database.h"
#include "appserver/tools/tool_commands.h"

namespace appserver {

// Runs options.account_action on options.user; returns kToolOk or
// kToolFailed, with the reason on `err`.
int RunAccountCommand(const ToolOptions& options, const DatabaseTarget& database, std::istream& in,
                      std::ostream& out, std::ostream& err);

}  // namespace appserver
