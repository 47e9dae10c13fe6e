// The information panel's tab chooser: tab 0 "笔" shows the quote panel and
// the detail list, tab 1 "价" (intraday views only) the price-volume box.
// The tabs are drawn by the view in the colours of the chart.
#include <algorithm>
#include <cstring>
#include <string>

#include "charts/drawview.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

void TDrawView::TabChooserChange(TObject *) {
  if (TabChooser->TabIndex() == 1) {
    PriceVolume->Show();
    StringGrid1->Hide();
    MsgPage->Hide();
    PriceVolume->SetHeight(std::max(Panel1->Height() - TabChooser->Height(), 0));
    if (TradeAgent < 0 && HandleAllocated()) TradeAgent = AcquireDataAgent(m_attr.stock, kAgentTicks, 0, Handle());
    HoverPrice = -1;
    PriceVolume->Invalidate();
  } else {
    PriceVolume->Hide();
    StringGrid1->Show();
    MsgPage->Show();
    LayoutDetailList(true);
  }
}

bool TDrawView::TabChooserLButtonDown(int tab) {
  Activate();
  if (tab != TabChooser->TabIndex()) TabChooser->SetTabIndex(tab);
  return true;
}

int TDrawView::TabChooserMeasureTab(const std::string &caption) { return int(caption.size()) * 6 + 24; }

void TDrawView::TabChooserDrawBackGround(HDC dc, const RECT &rect) {
  RECT r = rect;
  HBRUSH brush = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(14));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, rect.left, rect.top, nullptr);
  LineTo(dc, rect.right, rect.top);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void TDrawView::TabChooserDrawItem(HDC dc, bool hot, bool selected, const std::string &caption, const RECT &rect) {
  const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  HPEN edge = CreatePen(PS_SOLID, 1, ViewColor(14));
  HGDIOBJ oldPen = SelectObject(dc, edge);
  auto line = [dc](int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
  };
  if (selected) {
    // The top edge in the background colour: the tab opens into the panel.
    HPEN open = CreatePen(PS_SOLID, 1, ViewColor(1));
    SelectObject(dc, open);
    line(l - 1, t, r + 2, t);
    SelectObject(dc, edge);
    DeleteObject(open);
    line(r, t + 2, r, b - 2);
    line(l != 0 ? l + 2 : l + 1, b - 1, r - 1, b - 1);
    const COLORREF c = ViewColor(14);
    SetPixel(dc, r + 1, t + 1, c);
    SetPixel(dc, r - 1, b - 2, c);
    SetPixel(dc, l != 0 ? l + 1 : l, b - 2, c);
    SetPixel(dc, l - 1, t + 1, c);
  } else {
    line(r, t + 2, r, b - 2);
  }
  SelectObject(dc, oldPen);
  DeleteObject(edge);
  const std::string text = caption.substr(0, 31);
  RECT area{l, t + (selected || hot ? 2 : 3), r, b};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ViewColor(30));
  HGDIOBJ oldFont = SelectObject(dc, ViewFont2 ? ViewFont2 : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
  DrawTextA(dc, text.c_str(), int(text.size()), &area, DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, oldFont);
}

// ---- The drop target -----------------------------------------------------------------------

HRESULT CDrawViewDropTarget::Drop(IDataObject *data, DWORD, POINT point, DWORD *effect) {
  if (effect) *effect = DROPEFFECT_NONE;
  if (!data) return E_INVALIDARG;
  FORMATETC format = TextFormat();
  STGMEDIUM medium{};
  if (data->GetData(&format, &medium) != S_OK) return E_INVALIDARG;
  if (medium.hGlobal) {
    // The block holds 64 bytes; a text that does not end inside them is
    // refused by the hand-over file.
    constexpr size_t kBlock = 64;
    char text[kBlock + 1] = {};
    const int32_t held = MSize(medium.hGlobal);
    std::memcpy(text, medium.hGlobal, std::min(kBlock, size_t(std::max(held, 0))));
    uint32_t number = 0;
    if (WriteHandOverFile(text, uint32_t(reinterpret_cast<uintptr_t>(medium.hGlobal)), &number))
      PostMessageA(m_window, WM_DROP_STOCKS, number, MAKELPARAM(WORD(point.x), WORD(point.y)));
  }
  ReleaseStgMedium(&medium);
  return E_INVALIDARG;
}
