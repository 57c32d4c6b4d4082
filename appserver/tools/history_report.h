// The history as qmx-server history prints it: newest first, as a text
// table with Portuguese column titles or as a JSON array.
#pragma once

#include <string>
#include <vector>

#include "appserver/storage/history.h"

namespace appserver {

std::string HistoryText(const std::vector<HistoryEntry>& entries);
std::string HistoryJson(const std::vector<HistoryEntry>& entries);

}  // namespace appserver
