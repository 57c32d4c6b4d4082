// qmx-host: the desktop host of the system's screens.
#include <QApplication>
#include <QTimer>

#include "host_settings.h"
#include "main_window.h"
#include "runtime_dir.h"

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("qmx-host"));
  // No display name: the platform would append it to every window title, and
  // the main window's title already names the application.
  QCoreApplication::setApplicationVersion(QStringLiteral("0.1.0"));
  // Help and version are answered before the GUI starts, so they work
  // without a display (the manual page is made from --help at build time).
  if (host::AsksForHelpOrVersion(argc, argv)) {
    const QCoreApplication core(argc, argv);
    return host::ParseHostCommandLine(QCoreApplication::arguments()).exit_code.value_or(0);
  }
  const host::PrivateRuntimeDir runtime_dir;
  QApplication app(argc, argv);

  const host::ParseOutcome parsed = host::ParseHostCommandLine(QApplication::arguments());
  if (parsed.exit_code) return *parsed.exit_code;
  host::ApplyHostSettings(parsed.settings);

  host::MainWindow window(parsed.settings.package_dir);
  window.show();
  const std::vector<std::string> open = parsed.settings.open_screens;
  QTimer::singleShot(0, &window, [&window, open] {
    for (const std::string& code : open) window.OpenScreen(code);
  });
  return app.exec();
}
