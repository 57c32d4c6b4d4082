// Grid helpers of the host library.
#pragma once

#include <string_view>

namespace rtl {
class TComponent;
}
namespace vcl {
class TDBGrid;
}

namespace orb {

// Index in grid->Columns() of the first column bound to the field named
// `field_name` (compared without regard to case); -1 when no column is, or
// for a null grid.
int IndiceCol(const vcl::TDBGrid* grid, std::string_view field_name);

// Asks every grid of the form to repaint: the grids it owns, at any depth of
// ownership, and the grids placed on it. A null form does nothing.
void RefreshGrid(rtl::TComponent* form);

}  // namespace orb
