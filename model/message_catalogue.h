// The screen's message catalogue: every text the screen shows that is not a
// field label, as "key|text" lines in their fixed order. The screen loads
// these lines into its message table (msgPadrao) and asks it by key.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qmx00600 {

const std::vector<std::string>& MessageCatalogueLines();

// Keys chosen at run time for one or several tables: base + "_S" or "_P".
std::string SingularPluralKey(std::string_view base, bool several);
// The rule for a table list sent by the server as one text: several tables
// when it holds a comma.
inline bool NamesSeveralTables(std::string_view tables) {
  return tables.find(',') != std::string_view::npos;
}

}  // namespace qmx00600
