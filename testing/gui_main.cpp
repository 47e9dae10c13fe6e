// The main of every test binary: a QApplication on the offscreen platform,
// so windows, widgets and fonts work without a display.
#include <QApplication>

#include "platform/vcl/richview.h"
#include "platform/winctrl.h"
#include "platform/winuser.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  platform::PrepareWebEngine();
  // Only the tests of the browser itself start the web engine.
  platform::AllowWebEngine(false);
  QApplication app(argc, argv);
  platform::InitGuiThread();
  platform::RegisterStandardControls();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
