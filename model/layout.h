// The screen's layout over the base grid screen: page "Tabelas Fato" with the
// two lists, page "Fatos e Dimensões" with the fact grids and the dimension
// grid, the settings every grid shares, the hidden base grid, the disabled
// print commands and the bitmap holders of the check column.
#pragma once

#include <string_view>
#include <vector>

#include "frm/padrao_grid.h"
#include "model/components.h"

namespace qmx00600 {

// Options shared by every grid of the screen.
inline constexpr vcl::TDBGridOptions kGridOptions =
    vcl::dgEditing | vcl::dgTitles | vcl::dgColumnResize | vcl::dgColLines | vcl::dgRowLines |
    vcl::dgTabs | vcl::dgAlwaysShowSelection | vcl::dgConfirmDelete | vcl::dgCancelOnExit;

struct ColumnLayout {
  std::string_view field;
  int width;
  bool ellipsis = false;
  bool type_pick_list = false;  // the four fact type names
};

struct GridLayout {
  std::string_view name;
  std::vector<ColumnLayout> columns;
};

// The columns of the five grids, in order.
const std::vector<GridLayout>& GridLayouts();
// The fact type names offered by the type columns, in the catalogue's order
// of the codes M, P, Q, I.
const std::vector<std::string>& FactTypePickList();

// Lays the screen out on `screen`: `c` must already hold the datasets and
// data sources (BuildDataSets).
void BuildLayout(frm::TfrmPadraoGrid& screen, EstruturaComponents& c);

}  // namespace qmx00600
