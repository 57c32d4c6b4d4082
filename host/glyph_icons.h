// Icons of the toolbar buttons and of the navigator, drawn in code so the
// host needs no image files. Unknown names get a neutral square.
#pragma once

#include <QIcon>
#include <string_view>

namespace host {

// Toolbar glyphs: incluir, alterar, excluir, procurar, cancelar, confirmar,
// verificar, imprimir.
QIcon GlyphIcon(std::string_view name);
// The icon of the host and of its screens' windows: a small grid.
QIcon WindowIcon();
// Navigator buttons: first, prior, next, last, insert, delete, edit, post, cancel.
QIcon NavigatorIcon(std::string_view name);

}  // namespace host
