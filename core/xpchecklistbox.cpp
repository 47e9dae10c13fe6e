#include "core/xpchecklistbox.h"

namespace xpchecklistbox {
void Register() { RegisterComponent(kXPPalettePage, "TXPCheckListBox"); }
}  // namespace xpchecklistbox
