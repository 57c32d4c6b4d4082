#include "orb/busy.h"

#include <vector>

#include "vcl/user_interface.h"

namespace orb {

namespace {

struct Level {
  int kind;
  std::string caption;
};

// One per nesting level, innermost last. GUI thread only.
std::vector<Level>& Levels() {
  static std::vector<Level> levels;
  return levels;
}

// The animation was taken down for a dialog while levels remain.
bool down_for_dialog = false;

}  // namespace

void ActiveShowAvi(rtl::TComponent* /*form*/, int kind, const std::string& caption) {
  // Shown first, counted after: a service that fails to show leaves no level
  // behind for which nobody would call DeactiveShowAvi.
  vcl::UserInterface().ShowBusy(kind, caption);
  Levels().push_back({kind, caption});
  down_for_dialog = false;
}

void ActiveShowAvi(rtl::TComponent* form, int kind) {
  ActiveShowAvi(form, kind, std::string());
}

void DeactiveShowAvi() {
  std::vector<Level>& levels = Levels();
  if (levels.empty()) return;
  levels.pop_back();
  if (down_for_dialog) {
    // Already down: an operation ended by a dialog unwinds without it.
    if (levels.empty()) down_for_dialog = false;
    return;
  }
  if (levels.empty()) {
    vcl::UserInterface().HideBusy();
  } else {
    const Level& outer = levels.back();
    vcl::UserInterface().ShowBusy(outer.kind, outer.caption);
  }
}

void ResetShowAvi() {
  if (Levels().empty()) return;
  Levels().clear();
  const bool shown = !down_for_dialog;
  down_for_dialog = false;
  if (shown) vcl::UserInterface().HideBusy();
}

DialogOverBusy::DialogOverBusy(bool ends_operation) : ends_operation_(ends_operation) {
  if (Levels().empty() || down_for_dialog) return;
  vcl::UserInterface().HideBusy();
  down_for_dialog = true;
  took_down_ = true;
}

DialogOverBusy::~DialogOverBusy() {
  if (!took_down_ || ends_operation_ || !down_for_dialog || Levels().empty()) return;
  down_for_dialog = false;
  try {
    const Level& inner = Levels().back();
    vcl::UserInterface().ShowBusy(inner.kind, inner.caption);
  } catch (...) {
    // Leaving a dialog; a service failing to show cannot be reported here.
  }
}

int ShowAviDepth() {
  return static_cast<int>(Levels().size());
}

BusyScope::BusyScope(rtl::TComponent* form, int kind, const std::string& caption) {
  ActiveShowAvi(form, kind, caption);
}

BusyScope::~BusyScope() {
  if (!active_) return;
  try {
    DeactiveShowAvi();
  } catch (...) {
    // Already unwinding or leaving; a service failing to hide cannot be
    // reported from here.
  }
}

void BusyScope::Release() {
  if (!active_) return;
  active_ = false;
  DeactiveShowAvi();
}

}  // namespace orb
