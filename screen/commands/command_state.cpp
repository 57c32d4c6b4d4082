// Which commands the state of the list being worked on allows.
#include "screen/estrutura.h"

namespace qmx00600 {

// The base screen's rule is the screen's rule: menu items first, the buttons
// from them, then the navigator; print is never touched (the layout leaves
// it disabled).
void TfrmEstrutura::controlaBotoes(db::TDataSource* source) {
  UpdateCommands(source);
}

}  // namespace qmx00600
