#include "orb/grids.h"

#include <set>

#include "vcl/db_grid.h"

namespace orb {

namespace {

void CollectOwned(rtl::TComponent* owner, std::set<vcl::TDBGrid*>& grids) {
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    rtl::TComponent* c = owner->Components(i);
    if (auto* grid = dynamic_cast<vcl::TDBGrid*>(c)) grids.insert(grid);
    CollectOwned(c, grids);
  }
}

void CollectPlaced(vcl::TWinControl* parent, std::set<vcl::TDBGrid*>& grids) {
  for (vcl::TControl* child : parent->Children()) {
    if (auto* grid = dynamic_cast<vcl::TDBGrid*>(child)) grids.insert(grid);
    if (auto* container = dynamic_cast<vcl::TWinControl*>(child)) CollectPlaced(container, grids);
  }
}

}  // namespace

int IndiceCol(const vcl::TDBGrid* grid, std::string_view field_name) {
  if (grid == nullptr) return -1;
  const vcl::TColumn* column = grid->Columns().FindByFieldName(field_name);
  return column != nullptr ? column->Index() : -1;
}

void RefreshGrid(rtl::TComponent* form) {
  if (form == nullptr) return;
  std::set<vcl::TDBGrid*> grids;
  CollectOwned(form, grids);
  if (auto* container = dynamic_cast<vcl::TWinControl*>(form)) CollectPlaced(container, grids);
  for (vcl::TDBGrid* grid : grids) grid->Invalidate();
}

}  // namespace orb
