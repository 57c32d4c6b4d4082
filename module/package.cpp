// The package unit Pkg_qmx00600: the unit table, the package routines, and
// what loading and unloading the module does.
#include <string>

#include "model/screen_catalogue.h"
#include "module/cli_qmx00600.h"
#include "module/language_resource.h"
#include "module/pkg_qmx00600.h"
#include "screen/estrutura.h"

namespace qmx00600 {

namespace {

// The platform libraries the package is built on, in load order.
const char* const kRequired[] = {"qmx_rtl", "qmx_db", "qmx_vcl", "qmx_net", "qmx_orb", "qmx_frm"};

// The units of the package in initialisation order: the package unit, the
// model and server units (no sections of their own) and the screen unit last.
const QmxPackageUnit kUnits[] = {
    {"Pkg_qmx00600", kQmxUnitMain, nullptr, nullptr},
    {"Qmx00600_Mensagens", 0, nullptr, nullptr},
    {"Qmx00600_Modelo", 0, nullptr, nullptr},
    {"Qmx00600_Servidor", 0, nullptr, nullptr},
    {"Cli_qmx00600", 0, &CliQmx00600Initialization, &CliQmx00600Finalization},
};

const QmxPackageInfoTable kTable = {
    kQmxPackageInfoVersion,
    sizeof(kRequired) / sizeof(kRequired[0]),
    kRequired,
    sizeof(kUnits) / sizeof(kUnits[0]),
    kUnits,
};

int& InitCount() {
  static int count = 0;
  return count;
}

void InitializePackage() {
  if (InitCount()++ > 0) return;
  for (const QmxPackageUnit& u : kUnits)
    if (u.initialization) u.initialization();
}

void FinalizePackage() {
  if (InitCount() == 0 || --InitCount() > 0) return;
  for (size_t i = sizeof(kUnits) / sizeof(kUnits[0]); i-- > 0;)
    if (kUnits[i].finalization) kUnits[i].finalization();
}

std::string& ModuleFileName() {
  static std::string name;
  return name;
}

std::string& LanguageFileName() {
  static std::string name;
  return name;
}

// Process attach: find the language file that belongs to this module's file,
// then initialise the package (the host loads the module with dlopen, which
// knows nothing of packages).
__attribute__((constructor)) void AttachModule() {
  try {
    ModuleFileName() = OwnModuleFileName();
    LanguageResource language =
        FindLanguageResource(ModuleFileName(), [](const char* n) { return std::getenv(n); });
    LanguageFileName() = language.path;
    SetCatalogueTranslation(std::move(language.file.entries));
    InitializePackage();
  } catch (...) {
    // Loading always succeeds; without a translation the module's own
    // catalogue is used.
  }
}

__attribute__((destructor)) void DetachModule() {
  try {
    while (InitCount() > 0) FinalizePackage();
  } catch (...) {
  }
}

}  // namespace

}  // namespace qmx00600

#define QMX_EXPORT __attribute__((visibility("default")))

extern "C" {

QMX_EXPORT void Initialize() {
  qmx00600::InitializePackage();
}
QMX_EXPORT void Finalize() {
  qmx00600::FinalizePackage();
}
QMX_EXPORT const QmxPackageInfoTable* GetPackageInfoTable() {
  return &qmx00600::kTable;
}
// The unit-qualified names are the same three functions under a second name.
QMX_EXPORT void Pkg_qmx00600_Initialize() __attribute__((alias("Initialize")));
QMX_EXPORT void Pkg_qmx00600_Finalize() __attribute__((alias("Finalize")));
QMX_EXPORT const QmxPackageInfoTable* Pkg_qmx00600_GetPackageInfoTable()
    __attribute__((alias("GetPackageInfoTable")));
QMX_EXPORT const char* QmxModuleFileName() {
  return qmx00600::ModuleFileName().c_str();
}
QMX_EXPORT const char* QmxLanguageFileName() {
  return qmx00600::LanguageFileName().c_str();
}
QMX_EXPORT void QmxPollNotices() {
  if (boestrutura && frmEstrutura) frmEstrutura->PollNotices();
}
}
