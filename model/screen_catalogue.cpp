#include "model/screen_catalogue.h"

#include "model/message_catalogue.h"

namespace qmx00600 {

namespace {

std::vector<LanguageEntry>& Translation() {
  static std::vector<LanguageEntry> entries;
  return entries;
}

}  // namespace

void SetCatalogueTranslation(std::vector<LanguageEntry> entries) {
  Translation() = std::move(entries);
}

const std::vector<LanguageEntry>& CatalogueTranslation() {
  return Translation();
}

std::vector<std::string> ScreenCatalogueLines() {
  return ApplyLanguage(MessageCatalogueLines(), Translation());
}

}  // namespace qmx00600
