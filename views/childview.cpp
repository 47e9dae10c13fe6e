#include "views/childview.h"

#include "views/reportcolumns.h"

TChildView::TChildView(TMultiViewMain *page, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TMultiViewChild(page, viewData, history, node) {
  RebuildViewFonts();
  PopupMenu = nullptr;
}

int TChildView::Notify(int, uint32_t, intptr_t, intptr_t) { return 0; }
