// The exports of the run-time package PKG_QMX00600: what the host application
// finds in the module by name (dlsym) or links against.
//
//   IniProc              opens the screen (creates it the first time).
//   CRIAESTRUTURA        what IniProc runs: create once, restore, show.
//   boestrutura          true while the screen exists.
//   frmEstrutura         the screen, or null.
//   Initialize/Finalize  run the initialisation / finalisation sections of the
//                        package's units, in the order of its unit table
//                        (finalisation in reverse); calls nest, the sections
//                        run on the first Initialize and the last Finalize.
//   GetPackageInfoTable  the unit table.
//   QmxPollNotices       the other desks' work, as it happens, on the open screen.
// The last three are exported again under the package unit's name
// (Pkg_qmx00600_Initialize, ...). Loading the module initialises the package
// and looks for its language file (module/language_resource.h); unloading it
// finalises the package, which frees a screen still open, since its code is
// about to go.
#pragma once

#include <cstdint>

namespace qmx00600 {
class TfrmEstrutura;
}

extern "C" {

// One unit of the package: its name and its sections (null when it has none).
struct QmxPackageUnit {
  const char* name;
  uint32_t flags;  // kQmxUnitMain for the package unit
  void (*initialization)();
  void (*finalization)();
};

struct QmxPackageInfoTable {
  uint32_t version;  // kQmxPackageInfoVersion
  uint32_t required_count;
  const char* const* required;  // the platform libraries the package uses
  uint32_t unit_count;
  const QmxPackageUnit* units;  // in initialisation order, the screen unit last
};

enum : uint32_t { kQmxPackageInfoVersion = 1, kQmxUnitMain = 1 };

void IniProc();
void CRIAESTRUTURA();
extern bool boestrutura;
extern qmx00600::TfrmEstrutura* frmEstrutura;
void Initialize();
void Finalize();
const QmxPackageInfoTable* GetPackageInfoTable();
void Pkg_qmx00600_Initialize();
void Pkg_qmx00600_Finalize();
const QmxPackageInfoTable* Pkg_qmx00600_GetPackageInfoTable();

// Reads the notices of the other desks' work that reached the open screen and
// acts on them (screen/live_notices.h); nothing when no screen is open. The
// host calls it from a timer, never inside another of the screen's actions.
void QmxPollNotices();

// The module's full file name, and the language file it loaded ("" when none).
const char* QmxModuleFileName();
const char* QmxLanguageFileName();
}
