// The main of every test binary: a QApplication on the offscreen platform,
// so windows, widgets and fonts work without a display.
#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "classlib/richview.h"
#include "platform/winctrl.h"
#include "platform/winuser.h"
#include "testing/temp_folder.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // What a process leaves for other programs to find (the endpoints for
  // outside messages, named after window handles, which every process
  // numbers alike) goes to a runtime folder of this process's own, so that
  // test binaries running side by side never meet there.
  const std::string runtime = testing_support::MakeTempFolder("kivo-runtime");
  if (!runtime.empty()) setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  platform::PrepareWebEngine();
  // Only the tests of the browser itself start the web engine.
  platform::AllowWebEngine(false);
  int result = 0;
  {
    QApplication app(argc, argv);
    platform::InitGuiThread();
    platform::RegisterStandardControls();
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  if (!runtime.empty()) std::filesystem::remove_all(runtime, ignored);
  return result;
}
