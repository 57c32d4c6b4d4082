// The busy animation shown while a blocking call runs.
//
// Calls nest: each ActiveShowAvi is matched by one DeactiveShowAvi, and the
// animation stays up until the outermost one is matched. The user interface
// sees one animation: ShowBusy when it appears and each time a nested call
// changes the kind or caption (the innermost call's is shown; leaving it
// shows the enclosing call's again), HideBusy once when the outermost call
// ends. A DeactiveShowAvi with no animation up does nothing, so an extra one
// on a failure path never drives the count below zero or hides someone
// else's animation.
//
// Callers that may fail between the two calls use BusyScope, which always
// matches its ActiveShowAvi, also when an exception passes.
//
// A message or question is never shown under or beside the animation: the
// library's dialogs open a DialogOverBusy, which takes the animation down
// first. When the dialog closes it comes back for the call still running,
// unless the dialog ended the operation (an error with abort): then it stays
// down while the operation unwinds, until a new call shows it again.
#pragma once

#include <string>

namespace rtl {
class TComponent;
}

namespace orb {

// Kinds of animation: 1 for reading and saving, 6 for the duplicate checks.
inline constexpr int kAviTransfer = 1;
inline constexpr int kAviSearch = 6;

// `form` is the form the animation is shown over (the host decides where it
// appears; nullptr is allowed); `caption` may be empty.
void ActiveShowAvi(rtl::TComponent* form, int kind, const std::string& caption);
void ActiveShowAvi(rtl::TComponent* form, int kind);
void DeactiveShowAvi();
// Nesting depth: 0 while no animation is up.
int ShowAviDepth();
// Takes the animation down whatever the depth. The host calls it when a
// failure reaches its event loop, so a caller that failed between the two
// calls cannot leave the animation on for good.
void ResetShowAvi();

class DialogOverBusy {
 public:
  explicit DialogOverBusy(bool ends_operation = false);
  ~DialogOverBusy();
  DialogOverBusy(const DialogOverBusy&) = delete;
  DialogOverBusy& operator=(const DialogOverBusy&) = delete;

 private:
  bool took_down_ = false;
  bool ends_operation_;
};

class BusyScope {
 public:
  BusyScope(rtl::TComponent* form, int kind, const std::string& caption = {});
  ~BusyScope();
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  // Ends the animation early; the destructor then does nothing.
  void Release();

 private:
  bool active_ = true;
};

}  // namespace orb
