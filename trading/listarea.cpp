#include "trading/listarea.h"

#include <cstdio>
#include <cstring>

#include "core/emem.h"
#include "platform/gdi.h"

namespace {

// parts per million of a length, truncated
int Share(int ppm, int length) { return int(double(ppm) * 0.000001 * double(length)); }

bool ValidPane(int pane) { return pane >= 0 && pane < kListPaneCount; }

TPaneBox Box(TPaneAlign align, int left, int top, int width, int height) {
  TPaneBox box;
  box.shown = true;
  box.align = align;
  box.left = left;
  box.top = top;
  box.width = width < 0 ? 0 : width;
  box.height = height < 0 ? 0 : height;
  return box;
}

bool StartsWith(const char *text, const char *prefix) {
  return text && strncmp(text, prefix, strlen(prefix)) == 0;
}

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 127, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kMagenta = RGB(210, 0, 210);
constexpr COLORREF kBlack = RGB(0, 0, 0);

}  // namespace

TListArea SetPositionLeftOrNot(int width, int height, bool left, int layOut1, int layOut2, int pPercent,
                               int pPercentWidth) {
  TListArea area;
  area.changed = true;
  area.splitterMinSize = 64;
  const int a = layOut1, b = layOut2;
  const bool twoPanes = a != b && ValidPane(a);
  if (!left) {
    int hb = height - Share(pPercent, height) - 3;
    if (hb == 0) hb = 86;
    if (ValidPane(b)) area.panes[b] = Box(kAlignBottom, 0, height - hb, width, hb);
    area.splitter = Box(kAlignBottom, 0, height - hb - 3, width, 3);
    if (twoPanes) area.panes[a] = Box(kAlignClient, 0, 0, width, height - hb - 3);
    return area;
  }
  if (!ValidPane(a)) {
    // nothing to put on the left: the right pane fills the area
    if (ValidPane(b)) area.panes[b] = Box(kAlignClient, 0, 0, width, height);
    return area;
  }
  int wa = width - Share(pPercentWidth, width) - 3;
  if (a == kPanePositions) {
    if (wa <= kPositionsPaneMinWidth) wa = kPositionsPaneMinWidth;
  } else if (wa == 0) {
    wa = 326;
  }
  area.panes[a] = Box(kAlignLeft, 0, 0, wa, height);
  area.splitter = Box(kAlignLeft, wa, 24, 2, height - 24);
  if (a != b && ValidPane(b)) {
    int wb = width - wa - 2;
    if (b == kPanePositions && wb < kPositionsPaneMinWidth) wb = kPositionsPaneMinWidth;
    area.panes[b] = Box(kAlignClient, wa + 2, 0, wb, height);
  }
  return area;
}

TListArea Panel4Resize(int pageState, int width, int height, const TListAreaOptions &o) {
  int alone = -1;
  switch (pageState) {
    case 12:
      return SetPositionLeftOrNot(width, height, o.left, o.layOut1, o.layOut2, o.pPercent, o.pPercentWidth);
    case 13: alone = kPaneOrders; break;
    case 14: alone = kPaneTrades; break;
    case 15: alone = kPanePositions; break;
    case 22: alone = kPaneConditions; break;
    default: return {};
  }
  TListArea area;
  area.changed = true;
  area.panes[alone] = Box(kAlignNone, 0, 0, width, height);
  return area;
}

void Splitter3Moved(bool left, int positionsWidth, int positionsHeight, int width, int height, int &pPercent,
                    int &pPercentWidth) {
  if (left) {
    if (width <= 0) return;
    int value = int(int64_t(positionsWidth) * 1000000 / width);
    if (value < 467000) value = 465000;
    pPercentWidth = value;
  } else {
    if (height <= 0) return;
    pPercent = int(int64_t(positionsHeight) * 1000000 / height);
  }
}

namespace {

// Two buttons sharing the height, or one taking all of it (upper or lower
// by the pane); the list right of the column.
TTabColumn TabColumn(int width, int height, bool both, bool aloneUpper) {
  TTabColumn tabs;
  if (both) {
    tabs.upper = Box(kAlignNone, 0, 0, kTabColumnWidth, height / 2);
    tabs.lower = Box(kAlignNone, 0, height / 2, kTabColumnWidth, height - height / 2);
  } else {
    (aloneUpper ? tabs.upper : tabs.lower) = Box(kAlignNone, 0, 0, kTabColumnWidth, height);
  }
  tabs.list = Box(kAlignNone, kTabColumnWidth, 0, width - kTabColumnWidth, height);
  return tabs;
}

}  // namespace

TTabColumn PositionTabColumn(int width, int height, bool arbitrageShown) {
  return TabColumn(width, height, arbitrageShown, true);
}

TTabColumn OrderTabColumn(int width, int height, bool allShown) { return TabColumn(width, height, allShown, false); }

TTabCaption TabCaptionPlacement(const RECT &button, bool selected) {
  const int width = button.right - button.left, height = button.bottom - button.top;
  TTabCaption caption;
  caption.first = POINT{button.left + (width - 12) / 2, (height - 26) / 2 + 5};
  caption.second = POINT{caption.first.x, caption.first.y + 14};
  caption.colour = selected ? RGB(0x40, 0x40, 0x40) : RGB(0xA0, 0xA0, 0xA0);
  return caption;
}

std::vector<TListMenuItem> OrderListMenu() {
  using C = TListCommand;
  return {{"刷新(&R)", C::RefreshOrders},    {nullptr, C::None},
          {"撤单(&Q)", C::CancelOrder},      {"全部撤单(&A)", C::CancelAllOrders},
          {"改单(&M)", C::ModifyOrder},      {nullptr, C::None},
          {"快捷平仓(&C)", C::QuickClose}, {"快捷反手(&O)", C::QuickReverse},
          {"快捷锁仓(&L)", C::QuickLock}};
}

std::vector<TListMenuItem> PositionListMenu(bool holdingsTab) {
  using C = TListCommand;
  std::vector<TListMenuItem> items{
      {"刷新(&R)", C::RefreshPositions}, {nullptr, C::None}, {"快捷平仓(&C)", C::PositionClose}};
  if (holdingsTab) {
    items.push_back({"快捷反手(&O)", C::PositionReverse});
    items.push_back({"快捷锁仓(&L)", C::PositionLock});
    items.push_back({nullptr, C::None});
    items.push_back({"止损止盈(&S)", C::PositionStops});
  }
  return items;
}

std::vector<TListMenuItem> OrdersPaneMenu(bool cancellableShown) {
  return {{"当日委托(&O)", TListCommand::ShowAllOrders, true, !cancellableShown},
          {"可撤单(&C)", TListCommand::ShowCancellableOrders, true, cancellableShown}};
}

std::optional<COLORREF> ListCellColour(TListKind list, int column, const char *text) {
  if (!text) text = "";
  if (list == TListKind::Positions) {
    switch (column) {
      case 1: return StartsWith(text, "买") ? kRed : kGreen;
      case 2:
        if (StartsWith(text, "昨")) return kMagenta;
        if (StartsWith(text, "今")) return kBlue;
        return kBlack;
      case 7:
      case 8: return text[0] == '-' ? kGreen : kRed;
      default: return std::nullopt;
    }
  }
  switch (column) {
    case 2: return StartsWith(text, "买") ? kRed : kGreen;
    case 3:
      if (StartsWith(text, "开")) return kBlack;
      if (StartsWith(text, "　平")) return kMagenta;
      if (StartsWith(text, "平今")) return kBlue;
      return kRed;
    default: return std::nullopt;
  }
}

COLORREF ListRowBackground(int index, bool selected, bool focused) {
  if (selected) return GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  return index % 2 == 0 ? RGB(255, 255, 255) : RGB(245, 245, 245);
}

COLORREF ListCellTextColour(TListKind list, int column, const char *text, bool selected, bool focused,
                            COLORREF fontColour) {
  if (selected && focused) return GetSysColor(COLOR_HIGHLIGHTTEXT);
  if (const auto rule = ListCellColour(list, column, text)) return *rule;
  return selected ? GetSysColor(COLOR_WINDOWTEXT) : fontColour;
}

const char *ConnectionBannerText(int state) {
  if (state >= 0) return nullptr;
  if (state == -1) return "交易服务器已断开。正在自动重连，请等待...";
  if (state == -2) return "您已被交易服务器断开。";
  return "重新登录时出现错误。";
}

TRefreshRefusal CheckUserRefresh(DWORD &lastQueryTick, int refreshTag, DWORD intervalMs, DWORD now) {
  if (now == 0) now = 1;
  if (lastQueryTick && !TicksElapsed(lastQueryTick, now, intervalMs)) return TRefreshRefusal::Interval;
  lastQueryTick = now;
  return refreshTag == 1 ? TRefreshRefusal::Running : TRefreshRefusal::None;
}

std::string RefreshRefusalText(TRefreshRefusal refusal, DWORD intervalMs) {
  if (refusal == TRefreshRefusal::Running)
    return "前次查询尚未完成，请稍后重试。\r\n\r\n建议：当日委托、当日成交和持仓均为自动刷新，通常您无需手工刷新，"
           "更不必频繁刷新。  ";
  if (refusal != TRefreshRefusal::Interval) return {};
  char text[512];
  snprintf(text, sizeof text,
           "为减轻对交易服务器的压力，两次查询之间应间隔 %u 秒。\r\n\r\n刷新当日委托、当日成交和持仓，查询资金、结算单、"
           "持仓明细、历史成交、交易统计和出入金等均受此时间间隔限制。\r\n当日委托、当日成交和持仓均为自动刷新，"
           "通常您无需手工刷新，更不必频繁刷新。  ",
           unsigned(intervalMs / 1000));
  return text;
}

void PaintConnectionBanner(HDC dc, const RECT &bounds, int state) {
  const char *text = ConnectionBannerText(state);
  if (!text) return;
  HFONT font = CreateFontA(15, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
  HGDIOBJ previous = SelectObject(dc, font);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = SetTextColor(dc, RGB(255, 0, 0));
  RECT rect{bounds.left + 2, bounds.top, bounds.right - 2, bounds.bottom};
  DrawTextA(dc, text, -1, &rect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
  SelectObject(dc, previous);
  DeleteObject(font);
}
