#include "core/xpmemo.h"

namespace xpmemo {
void Register() { RegisterComponent(kXPPalettePage, "TXPMemo"); }
}  // namespace xpmemo
