// The type of a drill fact, shown by its catalogue name and entered by it.
#include "screen/estrutura.h"
#include "screen/fact_types.h"

namespace qmx00600 {

void TfrmEstrutura::cdsFatosDrillIDTPFATODRILLGetText(db::TField* sender, std::string& text, bool) {
  text = FactTypeName(*msgPadrao, sender->AsString());
}

void TfrmEstrutura::cdsFatosDrillIDTPFATODRILLSetText(db::TField* sender, const std::string& text) {
  const std::string code = FactTypeCode(*msgPadrao, text);
  if (!code.empty()) sender->SetAsString(code);
}

}  // namespace qmx00600
