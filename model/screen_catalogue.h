// The catalogue the screen fills its message table msgPadrao with: the
// module's own texts, with the texts of the language file the module found
// when it was loaded in their place (see language_file.h).
#pragma once

#include <string>
#include <vector>

#include "model/language_file.h"

namespace qmx00600 {

// Installs the translation in force for screens created from now on; an
// empty list goes back to the module's own texts.
void SetCatalogueTranslation(std::vector<LanguageEntry> entries);
const std::vector<LanguageEntry>& CatalogueTranslation();

std::vector<std::string> ScreenCatalogueLines();

}  // namespace qmx00600
