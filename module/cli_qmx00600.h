// The screen unit: the one screen of the module and its single-instance rule.
//
// CRIAESTRUTURA creates the screen through the application object the first
// time (boestrutura false), then restores it to its normal window state and
// shows it; later calls only restore and show. The hourglass cursor is shown
// meanwhile and the default one put back on every path. When the creation
// fails, the half-made screen is freed, boestrutura stays false and the
// failure passes on, so the next call tries again. When the screen is
// destroyed while the module stays loaded (closed by the person, freed by the
// host), boestrutura is cleared and frmEstrutura dropped, so the next call
// creates a new screen.
#pragma once

namespace qmx00600 {

// The unit's sections, run from the package's unit table.
void CliQmx00600Initialization();
void CliQmx00600Finalization();

}  // namespace qmx00600
