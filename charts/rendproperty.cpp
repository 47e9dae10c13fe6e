// The intraday view's property command: the display options dialog in its
// intraday form, applied to this view's display flags and quote panel.
#include <cstring>

#include "charts/quotepanel.h"
#include "charts/rendform.h"
#include "market/dataio5.h"
#include "views/viewhost.h"

std::function<bool(TRendForm &, RendPropertyChoices &)> &RendPropertyDialog() {
  static std::function<bool(TRendForm &, RendPropertyChoices &)> dialog;
  return dialog;
}

void TRendForm::NPropertyClick(TObject *) {
  auto &dialog = RendPropertyDialog();
  if (!dialog) return;
  RendPropertyChoices c;
  const uint32_t flags = m_attr.displayFlags;
  c.showPanel = Panel1->Visible();
  c.panelLeft = Panel1->Align() == alLeft;
  c.detailsUpward = flags & 0x1;
  c.centredOnClose = !(flags & 0x8);
  c.enterCycles = !(flags & 0x200);
  c.tickAverage = !(flags & 0x400);
  c.redGreenVolume = flags & 0x1000;
  c.raisedInterest = !(flags & 0x2000);
  c.showTradeLines = !(flags & 0x4000);
  LoadMarketDetailItems(m_attr.stock.market, DetailItems());
  std::memcpy(c.items, DetailItems(), sizeof c.items);
  const TMarketData *m = MarketOf(m_attr.stock);
  const STKINFO *info = GetStockInfo(m_attr.stock);
  if (m && (m->m_info.type == 1 || m->m_info.type == 6) && info && info->kind < kMaxStockKinds &&
      reinterpret_cast<const uint8_t *>(&m->m_info.kinds[info->kind])[7] != 0)
    c.itemsEnabled = false;
  MainFrameHost()->SetDialogOpen(true);
  const bool ok = dialog(*this, c);
  MainFrameHost()->SetDialogOpen(false);
  if (!ok) return;

  uint32_t &f = m_attr.displayFlags;
  const bool alignChanged = (Panel1->Align() == alLeft) != c.panelLeft;
  Panel1->SetAlign(c.panelLeft ? alLeft : alRight);
  f = c.panelLeft ? f | 0x4 : f & ~0x4u;
  const bool marksChanged = ((f & 0x4000) != 0) != !c.showTradeLines;
  f = c.showTradeLines ? f & ~0x4000u : f | 0x4000;
  if (Panel1->Visible() != c.showPanel) {
    N5Click(nullptr);
  } else if (alignChanged) {
    ChartRect = TRect();
    FormResize();
  }

  const uint32_t before = f;
  auto follow = [&f](uint32_t bit, bool set) { f = set ? f | bit : f & ~bit; };
  follow(0x8, !c.centredOnClose);
  follow(0x400, !c.tickAverage);
  follow(0x1000, c.redGreenVolume);
  follow(0x2000, !c.raisedInterest);
  Tick.averageShown = (f & 0x400) ? 0 : 1;
  if ((before ^ f) & (0x8 | 0x400 | 0x1000 | 0x2000)) {
    RefreshView(false);
    if ((before ^ f) & 0x8) PriceVolume->Invalidate();
  }

  if (std::memcmp(c.items, DetailItems(), sizeof c.items) != 0) {
    std::memcpy(DetailItems(), c.items, sizeof c.items);
    SaveMarketDetailItems(m_attr.stock.market, DetailItems());
    DrawQuotePanel();
    PriceVolume->Invalidate();
  }
  if (((f & 0x1) != 0) != c.detailsUpward) {
    f ^= 0x1;
    DetailScrollLock = false;
    LayoutDetailList(true);
    StringGrid1->Invalidate();
    PriceVolume->Invalidate();
  }
  f = c.enterCycles ? f & ~0x200u : f | 0x200;
  if (marksChanged) RefreshView(true);
}
