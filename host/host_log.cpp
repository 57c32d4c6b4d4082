#include "host_log.h"

#include <cstdio>

namespace host {

void LogLine(const std::string& text) {
  std::string line = "qmx-host: ";
  bool gap = false;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      gap = true;
      continue;
    }
    if (gap && line.back() != ' ') line += " — ";
    gap = false;
    line += c;
  }
  line += '\n';
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace host
