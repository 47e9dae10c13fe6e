// The terminal's program: the Qt application, the start-up object, then the
// program entry, which creates the main window and runs until it closes.
#include <QApplication>

#include <string>
#include <vector>

#include "market/utildata.h"
#include "classlib/forms.h"
#include "classlib/richview.h"
#include "platform/winctrl.h"
#include "platform/winuser.h"
#include "shell/entry.h"
#include "shell/mframe.h"
#include "shell/settings_store.h"

int main(int argc, char **argv) {
  platform::PrepareWebEngine();
  QApplication app(argc, argv);
  platform::InitGuiThread();
  platform::RegisterStandardControls();
  StartUtilData(LoadDisplaySettings);
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return RunProgramEntry(DefaultEntryServices(), [&arguments] {
    TMFrame *frame = new TMFrame(Application(), DefaultFrameParts(), arguments);
    Application()->SetMainForm(frame);
    if (!frame->closing) frame->Show();
    Application()->Run();
    delete frame;
  });
}
