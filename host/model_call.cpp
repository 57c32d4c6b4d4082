#include "model_call.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <exception>

#include "host_log.h"
#include "net/app_server.h"
#include "orb/busy.h"
#include "rtl/exceptions.h"
#include "vcl/application.h"
#include "vcl/user_interface.h"

namespace host {

namespace {

int depth = 0;

// A failure that ends the outermost action leaves nothing busy behind; one
// inside a nested action belongs to the call still running around it.
void ResetBusy() {
  if (depth != 1) return;
  orb::ResetShowAvi();
  if (vcl::Screen().Cursor() != vcl::crDefault) vcl::Screen().SetCursor(vcl::crDefault);
}

void FreeReleasedForms();

// Runs FreeReleasedForms after `ms`. The one timer is owned by the
// application object, so a pending run goes away with it instead of leaking
// when the application ends first.
void ScheduleFreeReleasedForms(int ms) {
  static QPointer<QTimer> timer;
  if (!timer) {
    if (!QCoreApplication::instance()) return;  // no event loop to run it
    timer = new QTimer(QCoreApplication::instance());
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, [] { FreeReleasedForms(); });
  }
  timer->start(ms);
}

// Frees the forms released by finished actions; while an action runs (a busy
// animation lets timers through) it waits for the action to end, so no form
// goes away under a running handler.
void FreeReleasedForms() {
  if (depth > 0) {
    ScheduleFreeReleasedForms(50);
    return;
  }
  vcl::Application().ProcessMessages();
}

void Report(const std::string& text) {
  ResetBusy();
  if (vcl::HasUserInterface()) vcl::UserInterface().ShowError(text);
}

}  // namespace

bool RunModelAction(const std::function<void()>& action) {
  bool ok = false;
  ++depth;
  try {
    action();
    ok = true;
  } catch (const rtl::EAbort&) {
    ResetBusy();
  } catch (const net::ECallError& e) {
    // The person reads the plain message; the method and the system's text
    // are for whoever reads the log.
    if (e.Detail() != e.Message()) LogLine(e.Detail());
    Report(e.Message());
  } catch (const rtl::Exception& e) {
    Report(e.Message());
  } catch (const std::exception& e) {
    Report(std::string("Erro inesperado: ") + e.what());
  }
  --depth;
  // Only the outermost action frees released forms, never one nested in a
  // modal dialog opened by a handler.
  if (depth == 0) ScheduleFreeReleasedForms(0);
  return ok;
}

}  // namespace host
