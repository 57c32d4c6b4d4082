#include "module/cli_qmx00600.h"

#include "module/pkg_qmx00600.h"
#include "rtl/component.h"
#include "screen/estrutura.h"
#include "vcl/application.h"
#include "vcl/user_interface.h"

extern "C" {
__attribute__((visibility("default"))) bool boestrutura = false;
__attribute__((visibility("default"))) qmx00600::TfrmEstrutura* frmEstrutura = nullptr;
}

namespace qmx00600 {

namespace {

// Told when the screen goes away, however that happens.
class ScreenWatcher : public rtl::TComponent {
 public:
  ScreenWatcher() : rtl::TComponent(nullptr) {}

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override {
    if (operation == rtl::TOperation::opRemove && component == frmEstrutura) {
      frmEstrutura = nullptr;
      boestrutura = false;
    }
  }
};

ScreenWatcher*& Watcher() {
  static ScreenWatcher* watcher = nullptr;
  return watcher;
}

void FreeFailedScreens() {
  vcl::TApplication& app = vcl::Application();
  for (int i = app.ComponentCount() - 1; i >= 0; --i) {
    if (i >= app.ComponentCount()) continue;
    if (auto* screen = dynamic_cast<TfrmEstrutura*>(app.Components(i));
        screen && screen != frmEstrutura)
      screen->Free();
  }
}

class HourGlass {
 public:
  HourGlass() { vcl::Screen().SetCursor(vcl::crHourGlass); }
  ~HourGlass() {
    try {
      vcl::Screen().SetCursor(vcl::crDefault);
    } catch (...) {
    }
  }
};

}  // namespace

void CliQmx00600Initialization() {
  boestrutura = false;
  frmEstrutura = nullptr;
  if (Watcher() == nullptr) Watcher() = new ScreenWatcher;
}

void CliQmx00600Finalization() {
  // The screen's code leaves with the module: a screen still open goes first.
  if (frmEstrutura != nullptr) frmEstrutura->Free();
  delete Watcher();
  Watcher() = nullptr;
  boestrutura = false;
  frmEstrutura = nullptr;
}

void CriaEstrutura() {
  HourGlass cursor;
  if (!boestrutura) {
    if (Watcher() == nullptr) CliQmx00600Initialization();
    try {
      frmEstrutura = vcl::Application().CreateForm<TfrmEstrutura>();
    } catch (...) {
      FreeFailedScreens();
      throw;
    }
    frmEstrutura->FreeNotification(Watcher());
    boestrutura = true;
  }
  frmEstrutura->SetWindowState(vcl::TWindowState::wsNormal);
  frmEstrutura->Show();
}

}  // namespace qmx00600

extern "C" {

__attribute__((visibility("default"))) void CRIAESTRUTURA() {
  qmx00600::CriaEstrutura();
}

__attribute__((visibility("default"))) void IniProc() {
  qmx00600::CriaEstrutura();
}
}
