// The status bar's panels of the main window: painting from the frame's
// index slots, ticker, connection state and clock, and the double clicks
// that open an index's chart or a headline.
#include <cstring>

#include "market/dataio5.h"
#include "market/newsindex.h"
#include "platform/gdi.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "shell/commands.h"
#include "shell/mframe.h"
#include "shell/profiletext.h"
#include "shell/statusbar.h"
#include "views/mvchild.h"
#include "views/mvmain.h"
#include "views/viewattr.h"

void TMFrame::BindStatusPanels() {
  TFrameChrome &c = *chrome;
  auto slice = [&c](TOwnerDrawPanel *panel, std::function<int()> x) {
    return [&c, panel, x](HDC dc) { c.CopyStatusBackground(dc, x(), panel->Width(), panel->Height()); };
  };
  auto background2 = slice(c.Panel2, [] { return 0; });
  c.Panel2->OnDraw = [this, background2](TObject *, HDC dc, RECT *) {
    background2(dc);
    uint32_t divisors[3];
    for (int i = 0; i < 3; ++i) {
      const STKINFO *info =
          indices[i].stock >= 0 ? GetStockInfo(STKPTR(kIndexSlotMarket[i], 0, indices[i].stock)) : nullptr;
      divisors[i] = info ? info->PriceDivisor() : 1000;
    }
    PaintIndexPanel(dc, Panel2->Height(), chrome->skin, indices, divisors);
  };
  auto background1 = slice(c.Panel1, [this] { return Panel2->Width(); });
  c.Panel1->OnDraw = [this, background1](TObject *, HDC dc, RECT *) {
    background1(dc);
    PaintTicker(dc, Panel1->Width(), Panel1->Height(), chrome->skin, core_->tickerHead, core_->tickerOffset);
  };
  auto background5 = slice(c.Panel5, [this] { return StatusPanel->Width() - Panel6->Width() - Panel5->Width(); });
  c.Panel5->OnDraw = [this, background5](TObject *, HDC dc, RECT *) {
    background5(dc);
    PaintConnection(dc, Panel5->Height(), chrome->skin, int(Panel5->Tag), brandWord);
  };
  auto background6 = slice(c.Panel6, [this] { return StatusPanel->Width() - Panel6->Width(); });
  c.Panel6->OnDraw = [this, background6](TObject *, HDC dc, RECT *) {
    background6(dc);
    PaintClock(dc, Panel6->Width(), Panel6->Height(), chrome->skin, core_->clockMinute, chrome->clockFont);
  };
  c.Panel3->OnDraw = [this](TObject *, HDC dc, RECT *) {
    PaintPageName(dc, Panel3->Width(), Panel3->Height(), ThemeColor(54), ThemeColor(52), pageName);
  };
  for (TOwnerDrawPanel *panel : {c.Panel2, c.Panel1})
    panel->OnMouseDown = [this](TObject *, TMouseButton, TShiftState, int x, int) { statusClickX_ = x; };
  c.Panel2->OnDblClick = [this](TObject *) { Panel2DblClick(statusClickX_); };
  c.Panel1->OnDblClick = [this](TObject *) { Panel1DblClick(statusClickX_); };
}

void TMFrame::Panel2DblClick(int x) {
  const int slot = IndexSlotAt(x);
  uint16_t market = uint16_t(kIndexSlotMarket[slot]);
  const STKINFO *info = LookupStock(kIndexSlotCode[slot], &market, 0);
  if (!info || market != kIndexSlotMarket[slot]) return;
  ShowIntradayChart(STKPTR(market, 0, info->index));
}

void TMFrame::Panel1DblClick(int x) {
  char url[256] = {};
  ReadProfileField("News", "URL", "", url, "..\\CFG\\Setting.ini");
  if (GetPrivateProfileIntA("News", "WebNews", 1, "..\\CFG\\Setting.ini") == 1 && url[0]) return;
  const int hit = TickerItemAt(core_->tickerHead, core_->tickerOffset, Panel1->Width(), x);
  const TFrameCore::TickerItem *item = core_->tickerHead;
  for (int i = 0; item && i < hit; ++i) item = item->next;
  // The news view comes forward (or is made) as the "新闻" button does.
  ExecuteCommand(CMD_NEWS);
  if (hit < 0 || !item || !page || !NewsIndex) return;
  NEWSREC record{};
  if (!NewsIndex->FindByTitle(0, item->text, &record)) return;
  if (TMultiViewChild *view = page->FindView(VIEW_TYPE_NEWS, 1))
    PostMessageA(view->Handle(), WM_USER + 1, WPARAM(NewsTypeOf(record)), LPARAM(record.id));
}
