// The XP-look tree view: a tree with a flat one-pixel frame.
#pragma once

#include "core/xpdraw.h"
#include "classlib/treeview.h"

class TXPTreeView : public TXPFlat<TTreeView> {
 public:
  VCL_CLASS_NAME(TXPTreeView)
  explicit TXPTreeView(TComponent *owner) : TXPFlat<TTreeView>(owner) {}
};

namespace xptreeview {
// Puts TXPTreeView on the palette.
void Register();
}  // namespace xptreeview
