// Runs the host's tests inside one QApplication on the offscreen platform
// (also when started by hand without the variable set).
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "runtime_dir.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const host::PrivateRuntimeDir runtime_dir;  // Qt stays quiet without a session
  QApplication app(argc, argv);
  // What the host keeps per user (splitter shares) goes to a test folder.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
