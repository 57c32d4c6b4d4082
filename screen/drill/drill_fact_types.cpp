// The type of a drill fact is shown and entered by its catalogue name, as
// the type of a fact is.
#include "screen/estrutura.h"

namespace qmx00600 {

void TfrmEstrutura::cdsFatosDrillIDTPFATODRILLGetText(db::TField* sender, std::string& text,
                                                      bool display_text) {
  cdsFatosIDTPFATODWGetText(sender, text, display_text);
}

void TfrmEstrutura::cdsFatosDrillIDTPFATODRILLSetText(db::TField* sender, const std::string& text) {
  cdsFatosIDTPFATODWSetText(sender, text);
}

}  // namespace qmx00600
