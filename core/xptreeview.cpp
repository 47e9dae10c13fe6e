#include "core/xptreeview.h"

namespace xptreeview {
void Register() { RegisterComponent(kXPPalettePage, "TXPTreeView"); }
}  // namespace xptreeview
