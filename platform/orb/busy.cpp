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

}  // namespace

void ActiveShowAvi(rtl::TComponent* /*form*/, int kind, const std::string& caption) {
  // Shown first, counted after: a service that fails to show leaves no level
  // behind for which nobody would call DeactiveShowAvi.
  vcl::UserInterface().ShowBusy(kind, caption);
  Levels().push_back({kind, caption});
}

void ActiveShowAvi(rtl::TComponent* form, int kind) {
  ActiveShowAvi(form, kind, std::string());
}

void DeactiveShowAvi() {
  std::vector<Level>& levels = Levels();
  if (levels.empty()) return;
  levels.pop_back();
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
  vcl::UserInterface().HideBusy();
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
