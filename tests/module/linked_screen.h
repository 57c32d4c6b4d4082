// For tests linked against the package: open the screen through the linked
// IniProc and reach it with its own type.
#pragma once

#include "module/pkg_qmx00600.h"
#include "screen/estrutura.h"
#include "screen_harness.h"

namespace qmxtest {

inline qmx00600::TfrmEstrutura& OpenLinkedScreen(ScreenHarness& harness) {
  vcl::TCustomForm& form = harness.Open(&IniProc);
  auto* screen = dynamic_cast<qmx00600::TfrmEstrutura*>(&form);
  if (screen == nullptr || screen != frmEstrutura)
    throw std::logic_error("IniProc opened something else than frmEstrutura");
  return *screen;
}

}  // namespace qmxtest
