#include "shell/framecore.h"

#include <cstring>

#include "market/blocks.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/merger.h"
#include "market/rights.h"
#include "platform/memory.h"
#include "views/mvmain.h"
#include "views/openrecord.h"

int32_t PreviousClockMinute = 0;

struct TFrameCore::QuoteArgs {
  uint32_t word;
  STKPTR stock;
  uint32_t flags;
  bool head;
  const REALQUOTE *quote;  // null when the stock is not in its market's table
  const STKINFO *info;
};

// The order every pushed quote takes through the terminal.
const TFrameCore::QuoteStep TFrameCore::kQuoteSteps[] = {
    &TFrameCore::StepViews,   &TFrameCore::StepStopOrders, &TFrameCore::StepOrderPanel, &TFrameCore::StepAlarms,
    &TFrameCore::StepAgents,  &TFrameCore::StepIndices,    &TFrameCore::StepQuoteBoard,
};

TFrameCore::TFrameCore(const TFrameLinks &links, TFrameReceivers &receivers) : links_(links), receivers_(receivers) {}

TFrameCore::~TFrameCore() { FreeTicker(); }

bool TFrameCore::StepTicker(int panelWidth) {
  tickerPanelWidth = panelWidth;
  if (!tickerHead) return false;
  if (++tickerOffset < tickerHead->width + panelWidth) return true;
  tickerOffset = 0;
  if (TickerItem *next = tickerHead->next) {
    HeapFree(GetProcessHeap(), 0, tickerHead);
    tickerHead = next;
    tickerOffset = panelWidth - 30;
  }
  return true;
}

void TFrameCore::FreeTicker() {
  tickerOffset = 0;
  while (tickerHead) {
    TickerItem *next = tickerHead->next;
    HeapFree(GetProcessHeap(), 0, tickerHead);
    tickerHead = next;
  }
}

TMultiViewChild *TFrameCore::ActiveView() const {
  TMultiViewMain *page = Page();
  return page ? page->m_active : nullptr;
}

// ---- WM_MF_EVENT -----------------------------------------------------------------------

void TFrameCore::OnMfEvent(WPARAM wParam, LPARAM lParam) {
  const unsigned group = unsigned(wParam >> 16 & 0xFFFF), event = unsigned(wParam & 0xFFFF);
  if (group == 0 && event == 0) {
    VIEW_ATTR_13 record;
    if (TakeOpenRecord(lParam, &record)) {
      ShowStock(&record);
      // A hand-over list no view took goes with the record.
      if (TakesHandOverList(record.viewType) && record.HandOverList()) DropUnusedViewStockList(record.HandOverList());
    }
  } else if (group == 0 && event == 2) {
    OnClockMinute(int(lParam));
  } else if (group == 1 && (event == 5 || event == 6)) {
    if (const auto *slot = reinterpret_cast<const MFEVENTSLOT *>(lParam)) OnQuote(*slot, event == 6);
  }
}

void TFrameCore::OnQuote(const MFEVENTSLOT &event, bool head) {
  QuoteArgs a{};
  a.stock = STKPTR(event.stock);
  a.word = a.stock.Word();
  a.flags = event.flags;
  a.head = head;
  if (const TMarketData *market = MarketAt(a.stock.market))
    if (a.stock.stock < market->m_loadedCount) {
      a.quote = &market->m_quotes[a.stock.stock];
      a.info = &market->m_stocks[a.stock.stock];
    }
  for (QuoteStep step : kQuoteSteps) (this->*step)(a);
}

void TFrameCore::StepViews(const QuoteArgs &a) { NotifyViews(0, a.word, 0, intptr_t(a.flags)); }

void TFrameCore::StepStopOrders(const QuoteArgs &a) {
  if (!a.head && a.quote && receivers_.checkStopOrders) receivers_.checkStopOrders(a.word, *a.quote, *a.info);
}

void TFrameCore::StepOrderPanel(const QuoteArgs &a) {
  if (!a.quote || !links_.orderStock || !SameStock(*links_.orderStock, a.stock) || !receivers_.updatePriceFields)
    return;
  const int layout = receivers_.orderEntryLayout ? receivers_.orderEntryLayout() : 0;
  if (layout == 0 && !(receivers_.orderPriceIsWord && receivers_.orderPriceIsWord())) return;
  receivers_.updatePriceFields(a.word, *a.quote, *a.info);
}

void TFrameCore::StepAlarms(const QuoteArgs &a) {
  if (a.quote && receivers_.checkAlarm && receivers_.alarmsOn && receivers_.alarmsOn())
    receivers_.checkAlarm(a.word, *a.quote);
}

void TFrameCore::StepAgents(const QuoteArgs &a) {
  if (a.quote) DispatchQuoteToAgents(a.word, *a.quote, a.flags);
}

void TIndexSlot::Take(const REALQUOTE &quote) {
  values[0] = quote.prevClose;
  values[1] = quote.last;
  std::memcpy(&values[2], &quote.amount, sizeof values[2]);
}

void TFrameCore::StepIndices(const QuoteArgs &a) {
  if (!a.quote || !links_.indices) return;
  TIndexSlot *slot = nullptr;
  for (int i = 0; i < 3 && !slot; ++i)
    if (a.stock.market == kIndexSlotMarket[i] && links_.indices[i].stock == int32_t(a.stock.stock))
      slot = &links_.indices[i];
  if (!slot) return;
  slot->Take(*a.quote);
  if (receivers_.indicesChanged) receivers_.indicesChanged();
}

void TFrameCore::StepQuoteBoard(const QuoteArgs &a) {
  if (receivers_.quoteBoardCell && receivers_.quoteBoardVisible && receivers_.quoteBoardVisible())
    receivers_.quoteBoardCell(a.word);
}

void TFrameCore::NotifyViews(int code, uint32_t stock, intptr_t first, intptr_t second) {
  if (code == 10 && receivers_.quoteBoardVisible && receivers_.quoteBoardVisible() && links_.quoteBoardBlock &&
      *links_.quoteBoardBlock == int32_t(first)) {
    if (receivers_.quoteBoardRelayout) receivers_.quoteBoardRelayout();
    UpdateRealtimeSubscription(true);
    if (receivers_.quoteBoardRepaint) receivers_.quoteBoardRepaint();
  }
  TMultiViewMain *page = Page();
  if (!page) return;
  for (int i = page->PaneCount() - 1; i >= 0; --i) {
    TMultiViewChild *view = page->PaneAt(i);
    if (view && view->m_layoutDone && view->ViewType() != 0) view->Notify(code, stock, first, second);
  }
}

void TFrameCore::OnClockMinute(int minute) {
  clockMinute = minute;
  if (receivers_.clockChanged) receivers_.clockChanged();
  const auto hour = [](int m) { return (m / 60 + 8) % 24; };
  if (hour(PreviousClockMinute) == 23 && hour(minute) == 0) {
    if (receivers_.rearmAlarms) receivers_.rearmAlarms();
    UpdateRealtimeSubscription(true);
  }
  PreviousClockMinute = minute;
}

void TFrameCore::ShowStock(const VIEW_ATTR_13 *attributes) {
  TMultiViewMain *page = Page();
  if (!page || !attributes) return;
  if (page->ShowStockInLinkedViews(attributes, page->m_zoomed != nullptr)) return;
  TMultiViewChild *active = page->m_active;
  if (!active || !active->m_node) return;
  TMultiViewChild *view = page->CreateView(active->m_node, attributes, 0, 1);
  if (!view || view->ViewType() != VIEW_TYPE_INTRADAY) return;
  const bool tick = (view->m_attr.flags & kViewFlagTickMode) != 0;
  const bool tickFirst = links_.tickFirst && *links_.tickFirst;
  if (tick != tickFirst)
    if (TChartViewOps *ops = view->ChartOps()) ops->ToggleTickMode();
}

// ---- The subscription ------------------------------------------------------------------

bool TSubscriptionBuilder::Insert(uint32_t key) {
  uint32_t at = (key * 2654435761u) >> 22 & (kSlots - 1);
  while (slots_[at] != 0) {
    if (slots_[at] == key) return false;
    at = (at + 1) & (kSlots - 1);
  }
  slots_[at] = key;
  return true;
}

bool TSubscriptionBuilder::Add(int market, int stock) {
  if (Full()) return false;
  const STKMS *items = list_.GetData();
  for (; known_ < list_.GetCount() && known_ < kSlots / 2; ++known_)
    Insert((uint32_t(items[known_].market) << 16 | items[known_].stock) + 1);
  const STKINFO *info = GetStockInfo(STKPTR(market, 0, stock));
  if (!info || !HasMarketRight(market, info->kind)) return false;
  if (!Insert((uint32_t(market & 0xFF) << 16 | uint32_t(stock & 0xFFFF)) + 1)) return false;
  list_.Add(STKMS{uint8_t(market), uint16_t(stock)});
  ++known_;
  return true;
}

const STKINFO *TFrameCore::FindFuturesContract(const char *code) const {
  if (!code || !*code) return nullptr;
  // A copy: the caller's record is never changed.
  char given[16] = {}, longer[16] = {};
  std::strncpy(given, code, sizeof given - 1);
  const bool shortForm = std::strlen(given) == 5;
  if (shortForm) {
    longer[0] = given[0];
    longer[1] = given[1];
    longer[2] = '1';
    std::memcpy(longer + 3, given + 2, 4);
  }
  STKINFO *hit = nullptr;
  for (int i = 0; i < GetFuturesMarketCount() && !hit; ++i) {
    const int market = GetFuturesMarketAt(i);
    hit = FindStockByAltCode(given, market);
    if (!hit && shortForm) hit = FindStockByAltCode(longer, market);
  }
  if (!hit) return nullptr;
  return CMarketMerger::Instance()->MapStock(hit, (clockMinute + 480) % 1440);
}

const STKINFO *TFrameCore::FindLinkContract(const uint8_t *record) const {
  char code[kLinkRecordSize - kLinkCodeOffset + 1] = {};
  std::memcpy(code, record + kLinkCodeOffset, kLinkRecordSize - kLinkCodeOffset);
  return FindFuturesContract(code);
}

void TFrameCore::BuildSubscription(TSubscriptionBuilder &b) {
  if (receivers_.linkSubscriptions) {
    uint8_t records[kLinkMaxRecords][kLinkRecordSize];
    const int n = receivers_.linkSubscriptions(records, kLinkMaxRecords);
    for (int i = 0; i < n && i < kLinkMaxRecords && !b.Full(); ++i) {
      if (const STKINFO *info = FindLinkContract(records[i])) b.Add(info->market, info->index);
    }
  }
  if (receivers_.positionStocks && !b.Full()) receivers_.positionStocks(b);
  if (receivers_.conditionOrderStocks && !b.Full()) receivers_.conditionOrderStocks(b);
  if (receivers_.armedAlarmStocks && !b.Full()) receivers_.armedAlarmStocks(b);
  if (TMultiViewMain *page = Page())
    for (int i = page->PaneCount() - 1; i >= 0 && !b.Full(); --i)
      if (TMultiViewChild *view = page->PaneAt(i)) view->CollectStocks(&b.List());
  EArray<CDataAgent> &agents = DataAgents();
  for (int i = 0; i < agents.GetCount() && !b.Full(); ++i) {
    const CDataAgent &agent = agents.GetData()[i];
    if (agent.InUse()) b.Add(agent.stock);
  }
  if (links_.indices)
    for (int i = 0; i < 3 && !b.Full(); ++i)
      if (links_.indices[i].stock >= 0) b.Add(kIndexSlotMarket[i], links_.indices[i].stock);
  if (links_.quoteBoardBlock && *links_.quoteBoardBlock >= 0 && receivers_.quoteBoardVisible &&
      receivers_.quoteBoardVisible())
    if (const BLOCK *block = FindBlockById(*links_.quoteBoardBlock)) {
      int cells = receivers_.quoteBoardCells ? receivers_.quoteBoardCells() : 0;
      if (cells > block->memberCount) cells = block->memberCount;
      for (int i = 0; i < cells && !b.Full(); ++i) b.Add(block->members[i].market, block->members[i].stock);
    }
  if (b.List().GetCount() > TSubscriptionBuilder::kMaxEntries) b.List().SetSize(TSubscriptionBuilder::kMaxEntries);
}

bool PrepareSubscription(EArray<STKMS> &list, const EArray<STKMS> *current, bool difference, uint16_t *count) {
  const int n = list.GetCount();
  if (!difference || !current) {
    *count = uint16_t(n);
    return true;
  }
  const STKMS *old = current->GetData();
  const int oldCount = current->GetCount();
  STKMS fresh[TSubscriptionBuilder::kMaxEntries], kept[TSubscriptionBuilder::kMaxEntries];
  int freshCount = 0, keptCount = 0;
  STKMS *items = list.GetData();
  for (int i = 0; i < n && i < TSubscriptionBuilder::kMaxEntries; ++i) {
    bool known = false;
    for (int j = 0; j < oldCount && !known; ++j) known = old[j].market == items[i].market && old[j].stock == items[i].stock;
    (known ? kept[keptCount++] : fresh[freshCount++]) = items[i];
  }
  if (freshCount > 0) {
    std::memcpy(items, fresh, sizeof(STKMS) * size_t(freshCount));
    std::memcpy(items + freshCount, kept, sizeof(STKMS) * size_t(keptCount));
    *count = uint16_t(freshCount);
    return true;
  }
  if (keptCount < oldCount) {
    *count = 0;
    return true;
  }
  return false;
}

void TFrameCore::UpdateRealtimeSubscription(bool difference) {
  if (!sink_ || !Page()) return;
  auto *list = new (std::nothrow) EArray<STKMS>(384);
  if (!list) return;
  TSubscriptionBuilder builder(*list);
  BuildSubscription(builder);
  uint16_t count = 0;
  if (!PrepareSubscription(*list, sink_->Current(), difference, &count)) {
    delete list;
    return;
  }
  sink_->Subscribe(list, count);
}

// ---- The frame's border ----------------------------------------------------------------

int FrameHitTest(bool maximised, int x, int y, int width, int height) {
  if (maximised) return -1;
  if (x < 0) return y < 0 ? 13 : y < height - 4 ? 10 : 16;
  if (x < width - 4) return y < 0 ? 12 : y < height - 4 ? -1 : 15;
  return y < 0 ? 14 : y < height - 4 ? 11 : 17;
}
