// The base of every view that shows market data in a pane: the quote
// report, the ranking view, the text views and the charts. It adds the
// zoom step of text views and the shared view fonts to the pane base.
#pragma once

#include "views/mvchild.h"

class TChildView : public TMultiViewChild {
 public:
  TChildView(TMultiViewMain *page, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history, PaneNode *node);

  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;

  // Views that zoom their text keep it between 0 and 10.
  int32_t m_zoomStep = 1;
};
