// Registration of the standard control classes ("BUTTON", "EDIT").
#include "platform/winctrl.h"

namespace platform {

void RegisterButtonClass();
void RegisterEditClass();

void RegisterStandardControls() {
  RegisterButtonClass();
  RegisterEditClass();
}

}  // namespace platform
