// What assistive technology reads of a GridView: a table whose rows are the
// grid's records and whose columns are its visible columns (titled as on
// screen), each cell's text the text the grid shows, the current cell its
// focused child. The view reports moves of the current cell, so a screen
// reader reads the cell under the cursor.
#pragma once

class QObject;
class QString;

namespace host {

class GridView;

// Installs the factory that gives every GridView its table interface; once
// per process is enough, more calls do nothing.
void InstallGridAccessibility();

// Tells assistive technology that `view`'s current cell or contents changed.
void NotifyGridAccessibility(GridView* view, bool contents_changed);

}  // namespace host
