// The main window's work that needs no window of its own: its inbox of
// private messages, the hand-on of every pushed quote, the clock minute,
// the real-time subscription and the command dispatcher's page work. The
// main window owns one TFrameCore pointed at its own members; tests make
// one over a page and recording receivers.
//
// What the core asks of parts built elsewhere (charts, alarms, the stop
// engine, the trading desk, the quote board, the status bar, dialogs and
// the frame's own menu handlers) goes through TFrameReceivers, the frame's
// list of receivers. An empty entry does nothing, so a part that is not
// there yet is simply not called.
#pragma once

#include <cstdint>
#include <functional>

#include "core/earray.h"
#include "market/marketrecords.h"
#include "market/realclient.h"
#include "platform/windef.h"

class TMultiViewMain;
class TMultiViewChild;
struct VIEW_ATTR_13;
class TSubscriptionBuilder;

// One of the three status-bar index slots: the stock index within its
// market (-1 = not found) and the quote's first word, last price and
// cumulative amount (its bits).
struct TIndexSlot {
  int32_t stock = -1;
  uint32_t values[3] = {};
  // Takes the three values from the slot's quote.
  void Take(const REALQUOTE &quote);
};
// The markets of the slots: "000001" and "000300" of market 0, "399001" of
// market 1, in slot order 0, 1, 2.
constexpr int kIndexSlotMarket[3] = {0, 1, 0};
constexpr const char *kIndexSlotCode[3] = {"000001", "399001", "000300"};

// What the view-side receivers are asked to do with one view; views of the
// kinds that know the operation act, others ignore it.
enum class TViewAction : int {
  ExecuteViewCommand,  // chart views: a view command (arg: the code)
  SetPeriod,           // K-line: chart period 0..14 (arg; 3 and 12 ask for the count)
  ReloadData,          // chart views: reload after a reconnection or a new table
  SetZoomLevel,        // K-line: bar width level (arg)
  SetTickZoom,         // intraday: tick-chart zoom (arg)
  ReloadAndRepaint,    // K-line
  ReloadTradeMarks,    // chart views: order and position marks changed
  RepaintDetails,      // chart views: the detail list of the quote panel
  ReloadHeadlines,     // news view
  ShowNewsFile,        // news view: the text of news id arg, when it shows that file
  BackToHeadlines,     // news view
  LoadNotes,           // notes view: channel arg
  ShowSection,         // text view: section arg
  InsertHeadline,      // news view: the line at arg (const TNewsLine *)
  MenuItem,            // chart views: a menu handler of the view (arg: TChartMenuItem)
  AddSelectedToBlock,  // report: the selected row's instrument into block arg
  AddShownToBlock,     // chart views: the shown instrument into block arg
  RefreshHistory,      // chart views: drop the cached history and load it again
};

// The chart views' menu handlers the commands call.
enum class TChartMenuItem : int {
  InfoWindow,          // 信息窗口
  Overlay,             // 商品叠加
  Arbitrage,           // 套利分析
  DrawingTools,        // 画线工具
  ForwardAdjustment,   // 前复权: on, or off again when it is on
  BackwardAdjustment,  // 后复权: likewise
  IndicatorManager,    // 指标管理
  ReverseAxis,         // 坐标反转
};

// What the frame-side receivers are asked to do.
enum class TFrameAction : int {
  ShowTrading,             // the "交易" tool button
  ToggleTradingWindow,     // "kivo交易" (the trading window shown or hidden)
  ReconnectQuestionYes,    // "连接主站" after the network-failure question
  SystemMessage,           // "系统消息"
  ShowUpdateNotice,        // ".\update.txt" in the system-message dialog (arg: 1 welcome, 0 update)
  ShowInstantMessage,      // instant-message pop-up (arg: the mode)
  InfoMineFill,            // info-mine dialog: list (arg: kind; stock: the stock)
  InfoMineRefresh,         // info-mine dialog: refresh when showing (arg: kind)
  InfoMineColors,          // info-mine dialog: the theme's colours
  RefillContractTree,      // the open instrument picker
  RepaintPage,             // Panel3 and the page
  CycleQuotes,             // "循环报价"
  FullScreen,              // "全屏显示"
  CyclePages,              // "页面循环"
  RefreshData,             // "数据刷新"
  Exit,                    // "退出系统"
  AlarmSettings,           // "预警设置"
  PeriodCycleDialog,       // "周期设置"
  ExternalTrading,         // the outside trading program (arg: 1 or 2)
  BuildUserBlockMenu,      // the user-block menu
  OpenBaseInfoAddress,     // the F10 address of the stock (arg: const char *)
};

// A news line for TViewAction::InsertHeadline.
struct TNewsLine {
  const char *text;
  uint32_t newsId;
};

// A record of the outside trading program's subscription list: the
// contract code text from byte 12.
constexpr int kLinkRecordSize = 44;
constexpr int kLinkCodeOffset = 12;
constexpr int kLinkMaxRecords = 64;

struct TFrameReceivers {
  // ---- the views (charts, news, text and notes views) ----
  std::function<void(TViewAction, TMultiViewChild *, intptr_t arg)> view;
  // Whether an intraday view is in tick mode (else its record's flag bit 3).
  std::function<bool(TMultiViewChild *)> tickMode;
  // A news view's news type (0 = every type).
  std::function<uint32_t(TMultiViewChild *)> newsType;
  // ---- the frame's menus, dialogs and tool buttons ----
  std::function<void(TFrameAction, intptr_t arg, uint32_t stock)> frame;
  // The block dialog run modally on blocks of those kinds with a caption:
  // the chosen block id, or -1.
  std::function<int(int lowestKind, int highestKind, const char *caption)> pickBlock;
  // ---- the trading desk ----
  std::function<bool()> tradingBound;
  std::function<void(WPARAM, LPARAM)> tradeNotify;
  std::function<void(LPARAM control)> tradeFocus;
  // The stop-order engine on a full quote.
  std::function<void(uint32_t stock, const REALQUOTE &, const STKINFO &)> checkStopOrders;
  // The order panel: its layout (0..3), whether its price edit shows a
  // price word (layout 0), and the refresh of its price fields.
  std::function<int()> orderEntryLayout;
  std::function<bool()> orderPriceIsWord;
  std::function<void(uint32_t stock, const REALQUOTE &, const STKINFO &)> updatePriceFields;
  // The outside trading program's link: its subscription records (44 bytes
  // each, at most 64; returns the count) and a quote sent to it.
  std::function<int(uint8_t (*records)[kLinkRecordSize], int max)> linkSubscriptions;
  std::function<void(uint32_t stock, const REALQUOTE &)> linkSendQuote;
  // Frees the contract record a link post carried, once it was shown.
  std::function<void(LPARAM record)> linkFreeContract;
  // Positions and condition orders add their contracts.
  std::function<void(TSubscriptionBuilder &)> positionStocks;
  std::function<void(TSubscriptionBuilder &)> conditionOrderStocks;
  // ---- alarms ----
  // "预警开关" is checked and the alarm engine exists.
  std::function<bool()> alarmsOn;
  std::function<void(uint32_t stock, const REALQUOTE &)> checkAlarm;
  std::function<void(TSubscriptionBuilder &)> armedAlarmStocks;
  // Every fired alarm armed again (midnight).
  std::function<void()> rearmAlarms;
  std::function<void()> showAlarmWindow;
  std::function<void()> saveAlarms;
  std::function<void()> loadAlarms;
  // ---- status bar ----
  std::function<void()> indicesChanged;
  std::function<void()> clockChanged;
  std::function<void(int tag, const char *hint)> connectionPanel;
  // ---- quote board ----
  std::function<bool()> quoteBoardVisible;
  std::function<int()> quoteBoardCells;  // columns x rows
  std::function<void(uint32_t stock)> quoteBoardCell;
  std::function<void()> quoteBoardRelayout;
  std::function<void()> quoteBoardRepaint;
  std::function<void()> quoteBoardThemeChanged;
};

// Where the core sends a subscription: the push client, or a test's.
class TSubscriptionSink {
 public:
  virtual ~TSubscriptionSink() = default;
  // The list last sent, null before the first.
  virtual const EArray<STKMS> *Current() = 0;
  // Takes the list over.
  virtual void Subscribe(EArray<STKMS> *list, uint16_t newEntries) = 0;
};

// The frame's members the core reads and writes.
struct TFrameLinks {
  HWND window = nullptr;                 // the owner of message boxes
  TMultiViewMain *const *page = nullptr;  // null until the page exists
  TIndexSlot *indices = nullptr;          // three slots
  int32_t *quoteBoardBlock = nullptr;     // -1 = none
  const bool *tickFirst = nullptr;        // "闪电图优先"
  STKPTR *orderStock = nullptr;           // the order panel's contract
  int32_t *retryCounter = nullptr;        // the reconnect countdown (-1: none)
};

class TFrameCore {
 public:
  TFrameCore(const TFrameLinks &links, TFrameReceivers &receivers);
  ~TFrameCore();

  // The frame's private messages and WM_NCMOUSEMOVE: true when handled.
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result);

  // ---- WM_MF_EVENT ----
  void OnMfEvent(WPARAM wParam, LPARAM lParam);
  // One pushed quote (head: only the head of the quote record changed).
  void OnQuote(const MFEVENTSLOT &event, bool head);
  void OnClockMinute(int minute);
  void ShowStock(const VIEW_ATTR_13 *attributes);
  // Code to every laid-out view of the page, last to first.
  void NotifyViews(int code, uint32_t stock, intptr_t first, intptr_t second);

  // ---- subscription ----
  // Recomputes the list from its eight sources and sends it (only what
  // changed with difference) when a sink is set and the page exists.
  void UpdateRealtimeSubscription(bool difference);
  // The list itself, with the sources' order and the 256 cap.
  void BuildSubscription(TSubscriptionBuilder &builder);
  void SetSubscriptionSink(TSubscriptionSink *sink) { sink_ = sink; }

  // ---- lookups ----
  // The contract of a code in the futures markets, in their order: the
  // code as given, and for a five-character code its form with '1' after
  // the second character; mapped through the market merger. Null when none.
  const STKINFO *FindFuturesContract(const char *code) const;
  // The contract of one of the outside trading program's subscription
  // records (kLinkRecordSize bytes): its code text, NUL-terminated here.
  const STKINFO *FindLinkContract(const uint8_t *record) const;

  TMultiViewMain *Page() const { return links_.page ? *links_.page : nullptr; }
  TMultiViewChild *ActiveView() const;
  TFrameReceivers &Receivers() { return receivers_; }
  const TFrameLinks &Links() const { return links_; }

  // The minutes of the UTC day of the last clock item.
  int32_t clockMinute = 0;

  // The news-ticker list: appended per pushed headline, scrolled by the
  // frame's 30 ms timer and drawn by the status bar from tickerOffset.
  struct TickerItem {
    TickerItem *next;
    int32_t width;
    char text[1];
  };
  TickerItem *tickerHead = nullptr;
  // Pixels the ticker has scrolled: the first item starts at the panel's
  // width minus this.
  int32_t tickerOffset = 0;
  // One pixel on over a panel that wide. Once the first item has left the
  // panel, the next takes its place 30 pixels in from the right edge (the
  // first is freed); a lone item starts again. False with an empty list.
  bool StepTicker(int panelWidth);
  // The ticker keeps the newest titles only: past this many, each new one
  // drops the oldest title that is not on screen.
  static constexpr int kMaxTickerItems = 100;
  // The panel width of the last step (what "on screen" is measured on).
  int32_t tickerPanelWidth = 0;
  void FreeTicker();
  // A headline at the ticker's end (as a news arrival puts it there).
  void AppendTicker(const char *title);

  // "数据刷新": the active view, when it is a chart, loads its history anew.
  void RefreshHistory();

 private:
  // The steps of a pushed quote, in their order.
  struct QuoteArgs;
  using QuoteStep = void (TFrameCore::*)(const QuoteArgs &);
  static const QuoteStep kQuoteSteps[];
  void StepViews(const QuoteArgs &a);
  void StepStopOrders(const QuoteArgs &a);
  void StepOrderPanel(const QuoteArgs &a);
  void StepAlarms(const QuoteArgs &a);
  void StepAgents(const QuoteArgs &a);
  void StepIndices(const QuoteArgs &a);
  void StepQuoteBoard(const QuoteArgs &a);

  // ---- the inbox (frame_messages.cpp) ----
  void OnQuoteEvent(WPARAM wParam, LPARAM lParam);
  void OnDisplaySettingsChanged(LPARAM what);
  void OnNewsArrived(const struct NEWSREC *record);
  void OnLinkedStockChanged(LPARAM sender);
  void OnTradeViewsUpdate(WPARAM what, LPARAM record);
  void OnStockData(WPARAM wParam, LPARAM lParam);
  void OnCodeTableArrived(LPARAM market);
  void ReloadAfterCodeTable(int market);
  void OnSystemMessage();
  void OnBlockDeleted(int blockId);
  void StartServiceClient();
  // Every view of a type (0 = any), last to first.
  template <class F>
  void ForEachView(int type, F &&f);
  void ForViewsShowing(int type, uint32_t stock, const std::function<void(TMultiViewChild *)> &f);

  TFrameLinks links_;
  TFrameReceivers &receivers_;
  TSubscriptionSink *sink_ = nullptr;
};

// The process-wide previous clock minute of the midnight roll (0 at start).
extern int32_t PreviousClockMinute;

// The subscription list under construction: at most 256 entries are kept.
// A small table of what the list holds answers the duplicate test; entries
// the views append themselves are taken into it at the next Add.
class TSubscriptionBuilder {
 public:
  static constexpr int kMaxEntries = 256;
  explicit TSubscriptionBuilder(EArray<STKMS> &list) : list_(list) {}
  bool Full() const { return list_.GetCount() >= kMaxEntries; }
  // Appends the instrument when the list has room, the login rights allow
  // its market and kind, and it is not listed yet.
  bool Add(int market, int stock);
  bool Add(STKPTR stock) { return Add(stock.market, stock.stock); }
  EArray<STKMS> &List() { return list_; }

 private:
  static constexpr int kSlots = 1024;  // a power of two, well above the entries
  // Inserts the key; false when it was there.
  bool Insert(uint32_t key);
  EArray<STKMS> &list_;
  int known_ = 0;  // list entries taken into the table
  uint32_t slots_[kSlots] = {};  // market << 16 | stock, plus 1; 0 = free
};

// How a list is sent against the current subscription: the whole list
// (count = its length) when there is none or no difference is asked; else
// the new entries moved to the front (count = their number), or the list
// with count 0 when only entries were dropped. False: nothing to send.
bool PrepareSubscription(EArray<STKMS> &list, const EArray<STKMS> *current, bool difference, uint16_t *count);

// WM_NCHITTEST of the frame's borderless window: the border code for a
// point in client coordinates, or -1 for the inherited handling.
int FrameHitTest(bool maximised, int x, int y, int width, int height);
