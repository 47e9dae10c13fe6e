// The XP-look check list box: a check list with a flat one-pixel frame.
#pragma once

#include "core/xpdraw.h"
#include "classlib/listbox.h"

class TXPCheckListBox : public TXPFlat<TCheckListBox> {
 public:
  VCL_CLASS_NAME(TXPCheckListBox)
  explicit TXPCheckListBox(TComponent *owner) : TXPFlat<TCheckListBox>(owner) {}
};

namespace xpchecklistbox {
// Puts TXPCheckListBox on the palette.
void Register();
}  // namespace xpchecklistbox
