// The intraday view's property command: the display options dialog edits
// the view's display flags and the item list of its quote panel.
#include <algorithm>
#include <cstring>

#include "charts/quotepanel.h"
#include "charts/rendform.h"
#include "market/dataio5.h"
#include "views/viewhost.h"

std::function<bool(TRendForm &, IntradayPropertyChoices &)> &IntradayPropertyDialog() {
  static std::function<bool(TRendForm &, IntradayPropertyChoices &)> dialog;
  return dialog;
}

void TRendForm::NPropertyClick(TObject *) {
  auto &dialog = IntradayPropertyDialog();
  if (!dialog) return;
  IntradayPropertyChoices c;
  uint32_t &f = m_attr.displayFlags;
  c.showPanel = Panel1->Visible();
  c.panelLeft = Panel1->Align() == alLeft;
  c.showTradeLines = !(f & 0x4000);
  c.centreOnClose = !(f & 0x8);
  c.enterCycles = !(f & 0x200);
  c.tickAverage = !(f & 0x400);
  c.volumeBySide = (f & 0x1000) != 0;
  c.raisedOpenInterest = !(f & 0x2000);
  c.detailsUpward = (f & 0x1) != 0;
  LoadMarketDetailItems(m_attr.stock.market, DetailItems());
  std::memcpy(c.items, DetailItems(), sizeof c.items);
  const TMarketData *m = MarketOf(m_attr.stock);
  if (m && (m->m_info.type == 1 || m->m_info.type == 6) && IsIndexInstrument()) c.itemsEnabled = false;
  MainFrameHost()->SetDialogOpen(true);
  const bool ok = dialog(*this, c);
  MainFrameHost()->SetDialogOpen(false);
  if (!ok) return;

  const bool alignChanged = (Panel1->Align() == alLeft) != c.panelLeft;
  Panel1->SetAlign(c.panelLeft ? alLeft : alRight);
  f = c.panelLeft ? f | 0x4 : f & ~0x4u;
  const bool marksChanged = ((f & 0x4000) != 0) == c.showTradeLines;
  f = c.showTradeLines ? f & ~0x4000u : f | 0x4000;
  if (Panel1->Visible() != c.showPanel) {
    N5Click(nullptr);
  } else if (alignChanged) {
    ChartRect = TRect();
    FormResize();
  }

  const uint32_t before = f;
  f = c.centreOnClose ? f & ~0x8u : f | 0x8;
  f = c.tickAverage ? f & ~0x400u : f | 0x400;
  f = c.volumeBySide ? f | 0x1000 : f & ~0x1000u;
  f = c.raisedOpenInterest ? f & ~0x2000u : f | 0x2000;
  Tick.averageShown = c.tickAverage ? 1 : 0;
  if (f != before) {
    RefreshView(false);
    if ((f ^ before) & 0x8) PriceVolume->Invalidate();
  }

  uint8_t items[32] = {};
  std::memcpy(items, c.items, sizeof items);
  if (std::memcmp(items, DetailItems(), sizeof items) != 0) {
    std::memcpy(DetailItems(), items, sizeof items);
    SaveMarketDetailItems(m_attr.stock.market, DetailItems());
    MsgPagePaint();
    PriceVolume->Invalidate();
  }
  if (((f & 0x1) != 0) != c.detailsUpward) {
    f = c.detailsUpward ? f | 0x1 : f & ~0x1u;
    DetailScrollLock = false;
    LayoutDetailList(true);
    StringGrid1->Invalidate();
    PriceVolume->Invalidate();
  }
  f = c.enterCycles ? f & ~0x200u : f | 0x200;
  if (marksChanged) RefreshView(true);
}
