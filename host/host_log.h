// The host's log: one line per event on the standard error, so a failure's
// technical detail (the method, the system's text) never runs into the next
// line, whatever line breaks the text carried.
#pragma once

#include <string>

namespace host {

void LogLine(const std::string& text);

}  // namespace host
