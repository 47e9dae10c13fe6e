// A text grid painted in one flat pass: light grey grid lines, fixed cells
// in FixedColor, left-aligned one-line texts and the current cell (or row)
// in the highlight colour. Scrolling, sizes, cells, editing and keys stay
// the string grid's; the per-cell drawing events are not raised.
#pragma once

#include "core/xpdraw.h"
#include "classlib/grids.h"

class TXPStringGrid : public TXPFlat<TStringGrid> {
 public:
  VCL_CLASS_NAME(TXPStringGrid)
  explicit TXPStringGrid(TComponent *owner) : TXPFlat<TStringGrid>(owner) {}

  void WndProc(TMessage &message) override;
  // Paints the whole client area on a context.
  void OnPaint(HDC dc);
};

namespace xpstringgrid {
// Puts TXPStringGrid on the palette.
void Register();
}  // namespace xpstringgrid
