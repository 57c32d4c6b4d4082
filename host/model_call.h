// RunModelAction: the one road from a person's action in Qt into the control
// model.
//
// The action runs at once; a failure that reaches here is the end of the
// action: the silent abort shows nothing, any other failure is shown as an
// error through the user-interface service. Either way the busy animation is
// taken down and the hourglass cursor reset, so a failure can never leave
// them on. Forms released by the action are freed right after it, outside
// every handler.
#pragma once

#include <functional>

namespace host {

// Returns true when the action finished without a failure.
bool RunModelAction(const std::function<void()>& action);

}  // namespace host
