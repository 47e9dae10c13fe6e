#include "shell/dispatcher.h"

#include <cstdio>
#include <cstring>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "shell/profiletext.h"
#include "shell/settings_store.h"
#include "views/mvmain.h"
#include "views/report.h"

namespace {

bool IsChart(const TMultiViewChild *v) {
  return v && (v->ViewType() == VIEW_TYPE_INTRADAY || v->ViewType() == VIEW_TYPE_KLINE);
}
bool IsType(const TMultiViewChild *v, int type) { return v && v->ViewType() == type; }
// A quote report view (null for others, and for a report type whose class
// is not built in).
TReport *AsReport(TMultiViewChild *v) { return IsType(v, VIEW_TYPE_REPORT) ? dynamic_cast<TReport *>(v) : nullptr; }

VIEW_ATTR_13 Fresh(int type) {
  VIEW_ATTR_13 attributes{};
  InitViewAttr(type, &attributes);
  return attributes;
}

// The chart period of the commands 1 to 15.
constexpr int kCommandPeriods[15] = {0, 1, 2, 4, 5, 6, 7, 13, 14, 8, 9, 10, 11, 3, 12};

}  // namespace

void TCommandDispatcher::View(TViewAction action, TMultiViewChild *view, intptr_t arg) {
  if (view && core_.Receivers().view) core_.Receivers().view(action, view, arg);
}

void TCommandDispatcher::Frame(TFrameAction action, intptr_t arg) {
  if (core_.Receivers().frame) core_.Receivers().frame(action, arg, 0);
}

void TCommandDispatcher::BringForward(TMultiViewChild *view) {
  view->Activate();
  TMultiViewMain *page = core_.Page();
  if (page && page->m_zoomed && page->m_zoomed != view)
    view->PostToPage(WM_MVM_ACTIVATE_VIEW);
}

TMultiViewChild *TCommandDispatcher::CreateInActivePane(const VIEW_ATTR_13 &attributes) {
  TMultiViewMain *page = core_.Page();
  TMultiViewChild *active = Active();
  if (!page || !active || !active->m_node) return nullptr;
  return page->CreateView(active->m_node, &attributes, 0, 1);
}

uint32_t TCommandDispatcher::HandOverList(VIEW_ATTR_13 &attributes) {
  TMultiViewChild *active = Active();
  if (!active) return 0;
  if (IsChart(active) || IsType(active, VIEW_TYPE_TEXT)) {
    attributes.SetHandOverList(active->m_attr.HandOverList());
    attributes.SetHandOverPosition(active->m_attr.HandOverPosition());
  } else if (IsType(active, VIEW_TYPE_REPORT)) {
    int32_t position = 0;
    const uint32_t made = active->MakeHandOverList(&position);
    attributes.SetHandOverList(made);
    attributes.SetHandOverPosition(position);
    return made;
  }
  return 0;
}

void TCommandDispatcher::SwitchFound(TMultiViewChild *view, const VIEW_ATTR_13 &attributes) {
  if (TakesHandOverList(attributes.viewType) && attributes.HandOverList())
    AddRefViewStockList(attributes.HandOverList());
  view->Notify(1, attributes.stock.Word(), intptr_t(attributes.currentBlock), reinterpret_cast<intptr_t>(&attributes));
}

bool TCommandDispatcher::TickMode(TMultiViewChild *view) {
  if (core_.Receivers().tickMode) return core_.Receivers().tickMode(view);
  return (view->m_attr.flags & kViewFlagTickMode) != 0;
}

// An intraday view's mode after "闪电图优先": toggled to tick mode when the
// option is on and it shows minutes (only when both), to minutes when the
// option is off and it shows ticks.
void TCommandDispatcher::AlignTickMode(TMultiViewChild *view, bool both) {
  if (!IsType(view, VIEW_TYPE_INTRADAY)) return;
  const bool tickFirst = core_.Links().tickFirst && *core_.Links().tickFirst;
  const bool tick = TickMode(view);
  if ((!tickFirst && tick) || (both && tickFirst && !tick))
    if (TChartViewOps *ops = view->ChartOps()) ops->ToggleTickMode();
}

void TCommandDispatcher::ExecuteCommand(int code) {
  if (code < 1 || code > kCommandCount) return;
  TMultiViewChild *active = Active();
  if (code <= CMD_PERIOD_ANY_DAYS) {
    SetChartPeriod(kCommandPeriods[code - 1]);
    return;
  }
  if (code <= CMD_GAINERS_SZ_BOND) {
    TMultiViewChild *report = OpenReport(MarketGroupBlock(code));
    if (code >= CMD_GAINERS_SH_A && report) PostMessageA(report->Handle(), WM_REPORT_SORT_COLUMN, 11, 0);
    return;
  }
  switch (code) {
    case CMD_TRADE_DETAILS:
    case CMD_TRADE_DETAILS_ALT:
    case CMD_PRICE_VOLUME:
    case CMD_PRICE_VOLUME_ALT:
      if (IsChart(active)) View(TViewAction::ExecuteViewCommand, active, code);
      return;
    case CMD_SH_LEADING_INDEX:
    case CMD_SH_LEADING_INDEX_ALT:
    case CMD_SZ_LEADING_INDEX:
    case CMD_SZ_LEADING_INDEX_ALT:
      LeadingIndex(code);
      return;
    case CMD_SWITCH_CHART:
    case CMD_SWITCH_CHART_ALT:
      SwitchChart();
      return;
    case CMD_USER_STOCKS:
    case CMD_USER_STOCKS_ALT:
      UserStocks();
      return;
    case CMD_ZOOM_PANE:
    case CMD_ZOOM_PANE_ALT:
      if (active && active->m_cmdBox && active->m_cmdBox->m_hWnd)
        PostMessageA(active->m_cmdBox->m_hWnd, WM_LBUTTONDOWN, 0, 0);
      return;
    case CMD_CYCLE_PERIOD:
    case CMD_CYCLE_PERIOD_ALT:
      CyclePeriod(false);
      return;
    case CMD_CYCLE_PERIOD_BACK:
      CyclePeriod(true);
      return;
    case CMD_NEWS:
    case CMD_NEWS_ALT:
      News();
      return;
    case CMD_F10_INFO:
    case CMD_F10_INFO_ALT:
      BaseInformation();
      return;
    case CMD_ONLINE_TRADING: Frame(TFrameAction::ToggleTradingWindow); return;
    case CMD_INFO_MINE:
      if (active) active->Notify(19, STKPTR().Word(), 0, 0);
      return;
    case CMD_SH_NOTICES: Notes(0); return;
    case CMD_SZ_NOTICES: Notes(2); return;
    case CMD_RANKING_SH_A:
    case CMD_RANKING_SH_B:
    case CMD_RANKING_SH_BOND:
    case CMD_RANKING_SZ_A:
    case CMD_RANKING_SZ_B:
    case CMD_RANKING_SZ_BOND:
      Ranking(code);
      return;
    case CMD_CYCLE_QUOTES: Frame(TFrameAction::CycleQuotes); return;
    case CMD_FULL_SCREEN: Frame(TFrameAction::FullScreen); return;
    case CMD_CLOSE_PANE:
      if (active && core_.Page())
        active->PostToPage(WM_MVM_CLOSE_PANE);
      return;
    case CMD_CYCLE_PAGES:
    case CMD_CYCLE_PAGES_BACK:
      Frame(TFrameAction::CyclePages);
      return;
    case CMD_REFRESH_DATA: Frame(TFrameAction::RefreshData); return;
    case CMD_ADD_BLOCK_TAB:
      if (TReport *report = AsReport(active)) report->N1Click();
      return;
    case CMD_CLOSE_BLOCK_TAB:
      if (TReport *report = AsReport(active)) report->N3Click();
      return;
    case CMD_ADD_TO_USER_BLOCK: AddToUserBlock(); return;
    case CMD_INFO_WINDOW:
      if (IsChart(active)) View(TViewAction::MenuItem, active, intptr_t(TChartMenuItem::InfoWindow));
      return;
    case CMD_OVERLAY:
      if (IsChart(active)) View(TViewAction::MenuItem, active, intptr_t(TChartMenuItem::Overlay));
      return;
    case CMD_ARBITRAGE:
    case CMD_DRAWING_TOOLS:
    case CMD_FORWARD_ADJUST:
    case CMD_BACKWARD_ADJUST:
    case CMD_INDICATOR_MANAGER:
    case CMD_REVERSE_AXIS: {
      if (!IsType(active, VIEW_TYPE_KLINE)) return;
      static constexpr TChartMenuItem kItems[] = {TChartMenuItem::Arbitrage,          TChartMenuItem::DrawingTools,
                                                  TChartMenuItem::ForwardAdjustment,  TChartMenuItem::BackwardAdjustment,
                                                  TChartMenuItem::IndicatorManager,   TChartMenuItem::ReverseAxis};
      View(TViewAction::MenuItem, active, intptr_t(kItems[code - CMD_ARBITRAGE]));
      return;
    }
    case CMD_EXIT: Frame(TFrameAction::Exit); return;
    case CMD_INDICATOR_PREV:
    case CMD_INDICATOR_PREV_ALT:
    case CMD_INDICATOR_NEXT:
    case CMD_INDICATOR_NEXT_ALT:
      if (IsType(active, VIEW_TYPE_KLINE)) View(TViewAction::ExecuteViewCommand, active, code);
      return;
    case CMD_ALARM_SETTINGS: Frame(TFrameAction::AlarmSettings); return;
    case CMD_INTRADAY_CHART: IntradayChart(); return;
    case CMD_EXTERNAL_TRADING: {
      const bool bound = core_.Receivers().tradingBound && core_.Receivers().tradingBound();
      Frame(TFrameAction::ExternalTrading, bound ? 1 : 2);
      return;
    }
    default: return;
  }
}

void TCommandDispatcher::SetChartPeriod(int period) {
  TMultiViewMain *page = core_.Page();
  TMultiViewChild *active = Active();
  if (!page) return;
  if (period == 0) {
    if (IsType(active, VIEW_TYPE_INTRADAY)) {
      if (!TickMode(active))
        if (TChartViewOps *ops = active->ChartOps()) ops->ToggleTickMode();
    } else if (active) {
      active->PostToPage(WM_MVM_SHOW_TICK);
    }
    return;
  }
  if (IsType(active, VIEW_TYPE_KLINE)) {
    View(TViewAction::SetPeriod, active, period);
    return;
  }
  VIEW_ATTR_13 attributes = Fresh(VIEW_TYPE_KLINE);
  if (active) {
    attributes.stock = active->m_attr.stock;
    attributes.currentBlock = active->m_attr.currentBlock;
  }
  if (period != 3 && period != 12) attributes.period = uint8_t(period);
  const uint32_t made = HandOverList(attributes);
  TMultiViewChild *view = page->FindView(VIEW_TYPE_KLINE, 0);
  if (view) {
    SwitchFound(view, attributes);
    BringForward(view);
  } else {
    view = CreateInActivePane(attributes);
  }
  if (made) DropUnusedViewStockList(made);
  if (view && (period == 3 || period == 12)) View(TViewAction::SetPeriod, view, period);
}

TMultiViewChild *TCommandDispatcher::OpenReport(int blockId) {
  TMultiViewMain *page = core_.Page();
  if (!page) return nullptr;
  TMultiViewChild *report = Active();
  if (!IsType(report, VIEW_TYPE_REPORT)) {
    report = page->FindView(VIEW_TYPE_REPORT, 1);
    if (report) BringForward(report);
  }
  if (!report) {
    VIEW_ATTR_13 attributes = Fresh(VIEW_TYPE_REPORT);
    if (blockId != -1) {
      bool present = false;
      for (int i = 0; i < attributes.tabCount && i < kMaxTabs; ++i) present = present || attributes.tabIds[i] == blockId;
      if (!present) {
        if (attributes.tabCount < kMaxTabs) attributes.tabIds[attributes.tabCount++] = uint16_t(blockId);
        else attributes.tabIds[kMaxTabs - 1] = uint16_t(blockId);
      }
      attributes.currentBlock = uint32_t(blockId);
    }
    return CreateInActivePane(attributes);
  }
  if (TReport *existing = AsReport(report); existing && blockId != -1) existing->OpenBlockTab(blockId, false);
  return report;
}

int TCommandDispatcher::MarketGroupBlock(int code) const {
  const TMarketData *zero = MarketAt(0);
  const int n = zero ? zero->m_info.kindCount : 0;
  const int offsets[6] = {1, 2, 5, n + 1, n + 2, n + 6};
  int index = code >= CMD_RANKING_SH_A ? code - CMD_RANKING_SH_A : (code - CMD_REPORT_SH_A) % 6;
  return MarketTable.marketCount + offsets[index];
}

void TCommandDispatcher::LeadingIndex(int code) {
  TMultiViewMain *page = core_.Page();
  if (!page) return;
  const bool shanghai = code <= CMD_SH_LEADING_INDEX_ALT;
  uint16_t market = shanghai ? 0 : 1;
  const STKINFO *info = LookupStock(shanghai ? "000001" : "399001", &market, 0);
  if (!info) return;
  VIEW_ATTR_13 attributes = Fresh(VIEW_TYPE_INTRADAY);
  attributes.stock = STKPTR(market, 0, info->index);
  attributes.currentBlock = market;
  ShowChart(attributes);
}

void TCommandDispatcher::ShowChart(const VIEW_ATTR_13 &attributes) {
  TMultiViewMain *page = core_.Page();
  if (!page) return;
  page->ShowStockInLinkedViews(&attributes, page->m_zoomed != nullptr);
  if (TMultiViewChild *view = page->FindView(attributes.viewType, 0)) {
    BringForward(view);
    AlignTickMode(view, true);
  } else if (TMultiViewChild *created = CreateInActivePane(attributes)) {
    AlignTickMode(created, false);
  }
}

void TCommandDispatcher::SwitchChart() {
  TMultiViewMain *page = core_.Page();
  TMultiViewChild *active = Active();
  if (!page || !active) return;
  int target = 0;
  if (IsType(active, VIEW_TYPE_KLINE) || IsType(active, VIEW_TYPE_TEXT) || IsType(active, VIEW_TYPE_REPORT))
    target = VIEW_TYPE_INTRADAY;
  else if (IsType(active, VIEW_TYPE_INTRADAY))
    target = VIEW_TYPE_KLINE;
  if (!target) return;
  VIEW_ATTR_13 attributes{};
  bool fromHistory = false;
  if (EArray<VIEW_ATTR_13> *history = active->m_history)
    for (int i = history->GetCount() - 1; i >= 0 && !fromHistory; --i)
      if (history->GetData()[i].viewType == target) {
        attributes = history->GetData()[i];
        fromHistory = true;
      }
  if (!fromHistory) attributes = Fresh(target);
  attributes.stock = active->m_attr.stock;
  attributes.currentBlock = active->m_attr.currentBlock;
  const uint32_t made = HandOverList(attributes);
  // From a report, the instrument of its selected row comes with the list.
  if (TReport *report = AsReport(active)) {
    const STKPTR row = report->Core().RowStock(attributes.HandOverPosition());
    if (!row.IsNone()) attributes.stock = row;
  }
  if (TMultiViewChild *view = page->FindView(target, 0)) {
    SwitchFound(view, attributes);
    BringForward(view);
    AlignTickMode(view, true);
  } else if (TMultiViewChild *created = CreateInActivePane(attributes)) {
    AlignTickMode(created, false);
  }
  if (made) DropUnusedViewStockList(made);
}

void TCommandDispatcher::UserStocks() {
  int id = -1;
  for (int i = 0; i < BlockTable.blockCount && id < 0; ++i)
    if (BlockTable.blocks[i].inUse && BlockTable.blocks[i].kind == 4) id = BlockTable.blocks[i].blockId;
  if (id < 0 && BlockTable.blockCount < kMaxBlocks)
    if (BLOCKGROUP *group = FindUserBlockGroup())
      if (BLOCK *block = AllocBlock()) {
        std::memset(block->name, 0, sizeof block->name);
        CopyGbkBounded(block->name, sizeof block->name, "我的板块");
        block->kind = 4;
        block->memberCount = 0;
        block->groupIndex = group->groupIndex;
        block->indexInGroup = group->blockCount;
        if (group->blockCount < kMaxBlocks) group->blockIds[group->blockCount++] = uint16_t(block->blockId);
        SaveUserBlocks();
        Frame(TFrameAction::BuildUserBlockMenu);
        id = block->blockId;
      }
  OpenReport(id);
}

void TCommandDispatcher::CyclePeriod(bool back) {
  TMultiViewChild *active = Active();
  if (!IsChart(active)) return;
  bool any = false;
  for (const PeriodCycleEntry &e : PeriodCycle) any = any || e.shown;
  if (!any) {
    MessageBoxA(core_.Links().window, "请先设定周期循环次序。  ", "提示", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    Frame(TFrameAction::PeriodCycleDialog);
    return;
  }
  int period = -1;
  if (IsType(active, VIEW_TYPE_INTRADAY) && !TickMode(active)) {
    for (const PeriodCycleEntry &e : PeriodCycle)
      if (e.shown) {
        period = e.code;
        break;
      }
  } else {
    const int current = IsType(active, VIEW_TYPE_INTRADAY) ? 0 : active->m_attr.period;
    int position = kPeriodCount;
    for (int i = 0; i < kPeriodCount; ++i)
      if (PeriodCycle[i].code == current) {
        position = i;
        break;
      }
    do position = (position + (back ? 14 : 1)) % kPeriodCount;
    while (!PeriodCycle[position].shown);
    period = PeriodCycle[position].code;
  }
  SetChartPeriod(period);
}

void TCommandDispatcher::News() {
  TMultiViewMain *page = core_.Page();
  TMultiViewChild *active = Active();
  if (!page) return;
  if (!IsType(active, VIEW_TYPE_NEWS)) {
    if (TMultiViewChild *news = page->FindView(VIEW_TYPE_NEWS, 1)) {
      BringForward(news);
    } else {
      VIEW_ATTR_13 attributes = Fresh(VIEW_TYPE_NEWS);
      if (active) attributes.currentBlock = active->m_attr.currentBlock;
      CreateInActivePane(attributes);
    }
  }
  if (TMultiViewChild *news = page->FindView(VIEW_TYPE_NEWS, 1)) View(TViewAction::BackToHeadlines, news, 0);
}

void TCommandDispatcher::BaseInformation() {
  TMultiViewMain *page = core_.Page();
  TMultiViewChild *active = Active();
  if (!page || !(IsChart(active) || IsType(active, VIEW_TYPE_REPORT) || IsType(active, VIEW_TYPE_RANKING))) return;
  const STKPTR stock = active->m_attr.stock;
  const TMarketData *market = MarketAt(stock.market);
  const STKINFO *info = GetStockInfo(stock);
  if (F10Mode == 1 && market && market->m_info.type == 2 && info) {
    // The code's first four characters.
    char key[5] = {};
    std::memcpy(key, info->code, 4);
    char address[129] = {};
    ReadProfileField("F10", key, "", address, "..\\cfg\\F10Link.ini");
    if (!address[0]) return;
    if (intptr_t(ShellExecuteA(nullptr, "open", "IEXPLORE.EXE", address, nullptr, SW_SHOWDEFAULT)) <= 32 &&
        intptr_t(ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWDEFAULT)) <= 32)
      MessageBoxA(core_.Links().window, "无法启动浏览器。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
    return;
  }
  if (IsType(active, VIEW_TYPE_RANKING) && stock.IsNone()) return;  // no row selected
  VIEW_ATTR_13 attributes = Fresh(VIEW_TYPE_TEXT);
  attributes.stock = stock;
  attributes.currentBlock = active->m_attr.currentBlock;
  const uint32_t made = HandOverList(attributes);
  if (TReport *report = AsReport(active)) {
    const STKPTR row = report->Core().RowStock(attributes.HandOverPosition());
    if (!row.IsNone()) attributes.stock = row;
  }
  if (TMultiViewChild *view = page->FindView(VIEW_TYPE_TEXT, 0)) {
    SwitchFound(view, attributes);
    BringForward(view);
  } else {
    CreateInActivePane(attributes);
  }
  if (made) DropUnusedViewStockList(made);
}

void TCommandDispatcher::Notes(int channel) {
  TMultiViewMain *page = core_.Page();
  if (!page) return;
  VIEW_ATTR_13 attributes = Fresh(VIEW_TYPE_NOTES);
  attributes.currentBlock = uint32_t(channel);
  if (TMultiViewChild *view = page->FindView(VIEW_TYPE_NOTES, 1)) {
    view->Activate();
    view->Notify(1, attributes.stock.Word(), channel, 0);
    if (page->m_zoomed && page->m_zoomed != view)
      view->PostToPage(WM_MVM_ACTIVATE_VIEW);
  } else {
    CreateInActivePane(attributes);
  }
}

void TCommandDispatcher::Ranking(int code) {
  TMultiViewMain *page = core_.Page();
  if (!page) return;
  const int block = MarketGroupBlock(code);
  VIEW_ATTR_13 attributes = Fresh(VIEW_TYPE_RANKING);
  attributes.tabCount = 1;
  attributes.tabIds[0] = uint16_t(block);
  attributes.currentBlock = uint32_t(block);
  if (TMultiViewChild *view = page->FindView(VIEW_TYPE_RANKING, 0)) {
    view->Activate();
    view->Notify(1, attributes.stock.Word(), block, 0);
    if (page->m_zoomed && page->m_zoomed != view)
      view->PostToPage(WM_MVM_ACTIVATE_VIEW);
  } else {
    CreateInActivePane(attributes);
  }
}

void TCommandDispatcher::AddToUserBlock() {
  TMultiViewChild *active = Active();
  if (!(IsChart(active) || IsType(active, VIEW_TYPE_REPORT)) || !core_.Receivers().pickBlock) return;
  const int block = core_.Receivers().pickBlock(4, 4, "加入自选板块");
  if (block < 0) return;
  if (TReport *report = AsReport(active)) report->AddSelectedToBlock(block);
  else View(TViewAction::AddShownToBlock, active, block);
}

void TCommandDispatcher::IntradayChart() {
  TMultiViewMain *page = core_.Page();
  TMultiViewChild *active = Active();
  if (!page || !active) return;
  if (IsType(active, VIEW_TYPE_INTRADAY)) {
    if (TickMode(active))
      if (TChartViewOps *ops = active->ChartOps()) ops->ToggleTickMode();
    return;
  }
  if (EArray<VIEW_ATTR_13> *history = active->m_history)
    for (int i = history->GetCount() - 1; i >= 0; --i)
      if (history->GetData()[i].viewType == VIEW_TYPE_INTRADAY) {
        history->GetData()[i].flags &= ~kViewFlagTickMode;
        break;
      }
  active->PostToPage(WM_MVM_SHOW_MINUTE);
}
