// qmx-server import: a semantic-layer file (cube or MetricFlow, as the export
// writes them) made the stored structure. Reads the file, prints how it
// differs from what is stored, and applies the difference through the rules
// every save of the screen goes through, in one write transaction recorded in
// the history; with --dry-run the transaction is rolled back, so the rules
// still say whether the file would be accepted. Anything in the file that
// cannot map, or that a rule refuses, is named with why, and nothing is
// applied.
#pragma once

#include <iosfwd>
#include <memory>

#include "appserver/storage/storage.h"
#include "appserver/tools/tool_commands.h"

namespace appserver {

// options.format ("cube" or "metricflow"), options.file, options.dry_run;
// `storage` is the session to write through. Returns kToolOk, kToolProblems
// (refused: nothing applied) or kToolFailed (could not run).
int ImportStructure(const ToolOptions& options, std::unique_ptr<Storage> storage, std::ostream& out,
                    std::ostream& err);

// A refusal's text in words: a keyed text the screen would decode (refusal.h)
// spelled out, any other as it is.
std::string RefusalInWords(const std::string& text);

}  // namespace appserver
