// The intraday view: the minute trend of one to ten trading days of one
// instrument (with its overlays), drawn into an off-screen bitmap from the
// multi-day model and kept current by the instrument's series agents. The
// view also owns the pages of the tick chart, the full-pane trade details
// and the price distribution; those draw their empty frame here and are
// filled in by their own models.
//
// Agent updates are coalesced: WM_AGENT_UPDATE only marks the chart as due
// and the view's 250 ms timer redraws it once. A paint only copies the
// bitmap to the window. GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "charts/distribute.h"
#include "charts/drawview.h"
#include "charts/multitrend.h"
#include "charts/overlapped.h"
#include "charts/tick.h"
#include "classlib/extctrls.h"
#include "classlib/stdctrls.h"
#include "views/viewdisplay.h"

class TRendForm;

// Registers the intraday view class with the view factory.
void RegisterIntradayView();

// The date picker of "选择日期(&D)": true with the chosen date. The chart
// dialogs' TDatePickerDlg unless a test sets its own.
std::function<bool(PackedDateTime *)> &RendDatePicker();

// What the intraday view's property dialog edits ("属性(&O)"): the options
// dialog fills them in through IntradayPropertyDialog and answers true on OK.
struct IntradayPropertyChoices {
  bool showPanel = true;          // "显示信息窗口"
  bool panelLeft = false;         // "将信息窗口置于左侧"
  bool showTradeLines = true;     // "显示持仓线和委托线"
  bool centreOnClose = true;      // "分时图以昨收为中线"
  bool enterCycles = true;        // "按下回车键时在报价、走势、K线间循环"
  bool tickAverage = true;        // "闪电图中显示均线"
  bool volumeBySide = false;      // "成交量线分红绿显示"
  bool raisedOpenInterest = true; // "持仓量线抬高显示"
  bool detailsUpward = false;     // "成交明细由下至上显示"
  uint8_t items[32] = {};         // the quote panel's item codes, 0-terminated unless full
  bool itemsEnabled = true;
};
// The dialog; the options dialog installs it. Without it the command does
// nothing (the stand-in answers cancel).
std::function<bool(TRendForm &view, IntradayPropertyChoices &choices)> &IntradayPropertyDialog();

// Bits of the view's page flags.
constexpr uint32_t kRendPageDetail = 0x2;
constexpr uint32_t kRendPageDistribution = 0x4;
constexpr uint32_t kRendPageTick = 0x8;
constexpr uint32_t kRendPageTickPending = 0x10;

// Layout constants of the chart.
constexpr int kRendCaptionHeight = 18;
constexpr int kRendTimeAxisHeight = 16;
constexpr int kRendMarkHeight = 16;
constexpr int kRendOverlayMenuLimit = 20;
constexpr unsigned kRendRedrawMs = 250;

// The order and position marks of the shown contract as the trading desk
// writes them into the chart base's mark records.
#pragma pack(push, 1)
struct CHARTORDERMARK {
  char direction;  // '0' buy, else sell
  char offset;     // '1' close, '3' close today, else open
  uint8_t reserved2[2];
  int32_t volume;  // a list ends at the first record of 0 or less
  int32_t price;   // thousandths
};
struct CHARTPOSITIONMARK {
  char direction;  // '0' long, else short
  uint8_t reserved1[3];
  int32_t volume;
  int32_t price;  // thousandths
  int32_t multiplier;
};
#pragma pack(pop)
static_assert(sizeof(CHARTORDERMARK) <= kTradeMarkOrderSize);
static_assert(sizeof(CHARTPOSITIONMARK) <= kTradeMarkPositionSize);

class TRendForm : public TDrawView {
 public:
  TRendForm(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history,
            PaneNode *node);
  ~TRendForm() override;

  // ---- view operations ----
  void WndProc(TMessage &message) override;
  int Notify(int code, uint32_t stock, intptr_t a, intptr_t b) override;
  void InitView() override;
  void ApplyFonts() override;
  void CollectStocks(EArray<STKMS> *stocks) override;
  void UpdateMenuCaptions() override;
  void SyncFrameButtons() override;
  void ReloadData() override;
  void RefreshHistory() override;
  void ExecuteViewCommand(int code) override;

  // ---- what the page asks of a chart ----
  void ToggleTickMode() override { N16Click(nullptr); }
  void ShowTrendOfDate(uint32_t date) override;
  void StepKey(WORD key, TShiftState shift) override;
  void StoreChartData(MVCDATA_12 *data) override;
  // The page shows (or is about to show) the tick chart.
  bool TickModeShown() const { return (m_attr.flags & (kRendPageTick | kRendPageTickPending)) != 0; }

  // ---- structure and data flow ----
  void SubscribeAgents(int mode);
  void RefreshView(bool reload);
  void SetLoadPercent(uint32_t percent);
  void DrawLoadProgress(HDC dc);
  void DrawQuoteBar(int x, HDC dc);
  void Timer1Timer(TObject *sender = nullptr);
  bool OverlaysShown() const { return HasOverlays && Overlays; }
  bool IsIndexInstrument() const;

  // ---- past days and overlays ----
  // Menu items of the recall submenu: Tag 0-9 the last Tag + 1 trading
  // days, 10 a date from the date picker.
  void HistoryRecall(TObject *sender);
  void RecallDays(int tag);
  // One past day of the main instrument or of overlay slot; the record
  // count, -1 when the day is not in the local history (asked from the
  // server when tag is not 0).
  int LoadHistoryDay(_TickData *day, uint32_t tag);
  int LoadOverlayHistoryDay(_TickData *day, STKPTR stock, int slot, uint32_t tag);
  void ReloadHistoryDays();
  void LoadArrivedDay(uint32_t date);
  void LoadHistoryOverlays();
  void AddOverlay(STKPTR stock, bool redraw);
  int OverlayCount() const;
  void N13Click(TObject *sender = nullptr);
  void N15Click(TObject *sender = nullptr);
  // "属性(&O)": the view's display flags and quote-panel items.
  void NPropertyClick(TObject *sender = nullptr);

  // ---- drawing ----
  void FormResize(TObject *sender = nullptr);
  void FormPaint(TObject *sender = nullptr);
  void MeasureTrendAxes();
  void DrawTrendChart();
  void DrawOverlayCaptions(HDC dc, int x, int y);
  void DrawOverlayButton(HDC dc);
  // Where "商品叠加" goes on the caption line: all 0 when the text before
  // it reaches that far or the tick chart is shown.
  void PlaceOverlayButton(HDC dc, int textEnd);
  // The tick chart: its layout from the trade agent and its drawing.
  void LayoutTickChart(bool reload);
  void DrawTickChart();
  // Pixels per trade of a TickZoomLevel, then a full redraw.
  void SetTickZoom(int level);
  void TickPageBack();
  void TickPageForward();
  void TickHalfPageBack();
  void TickHalfPageForward();
  void TickCursorKey(bool right);
  void TickZoomKey(bool up);
  // The trade agent's series (null and 0 without one).
  TICKREC *TradeSeries(int *count) const;
  // The detail page. The first trade the detail
  // page shows for a Tag of -1: the newest trades fill the last group.
  static int DetailPageFirst(int count, int groups, int rows);
  // The distribution page: the model rebuilt and the two grids laid out,
  // and their cells.
  void LayoutDistribution();
  void DrawDistributionCell(int column, int row, HDC dc, const RECT &rect, bool inHundreds);
  void DrawNatureCell(int column, int row, HDC dc, const RECT &rect);
  void OwnerDrawPanel1Draw(HDC dc, const RECT &rect);

  // ---- interaction ----
  void FormKeyDown(TObject *sender, WORD &key, TShiftState shift);
  void FormKeyUp(TObject *sender, WORD &key, TShiftState shift);
  void FormMouseDown(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
  void FormMouseMove(TObject *sender, TShiftState shift, int x, int y);
  void FormMouseUp(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
  void FormDblClick(TObject *sender = nullptr);
  void PopupMenu1Popup(TObject *sender = nullptr);
  void N7Click(TObject *sender);
  void N16Click(TObject *sender);
  void N5Click(TObject *sender = nullptr);
  void TrackTrendCursor(int x, int y, const TRENDPOINT *point, bool history);
  void UpdateWatchPage(int x, const TRENDPOINT *point, bool isMinutePoint, bool isHistory);
  // The tick chart's read-out and cross-hair labels for the trade under x
  // (atCursor: the value is the cursor trade's own price).
  void TrackTickCursor(int x, int y, const TICKREC *tick, bool atCursor);
  void UpdateTickWatchPage(int x, const TICKREC *tick);
  // The plot the cross-hair spans (price pane top to volume pane bottom).
  TRect CrossPlotRect() const;
  void MoveCrossHair(int x, int y, const char *value, const char *time, int right, int bottom);
  void ShowCrossLabels(int x, int y, const char *value, const char *time, int right, int bottom);
  void EraseTrendCrossHair();
  // The split drag's XOR line at y, the one at DragLineY taken away; with
  // the cross-hair only its axis parts unless fullWidth.
  void XorHLines(int y, bool fullWidth = false);
  // The instruments the overlay menu lists (at most 20) and the number of
  // them that are overlays already.
  int OverlayMenuStocks(STKPTR *out) const;
  void ShowOverlayMenu();

  // ---- components ----
  TPanel *WatchPage = nullptr;
  TLabel *WatchLabels[18] = {};  // Label1 .. Label17 at their numbers
  TPanel *Panel2 = nullptr, *Panel5 = nullptr, *OwnerDrawPanel1 = nullptr;
  TPanel *Panel3 = nullptr, *Panel4 = nullptr;
  TDrawGrid *DrawGrid2 = nullptr, *DrawGrid3 = nullptr;
  // Paints the detail page on OwnerDrawPanel1.
  TPaintBox *DetailBox = nullptr;
  TMenuItem *N13 = nullptr, *N14 = nullptr, *N15 = nullptr, *H1 = nullptr;
  TTimer *Timer1 = nullptr;

  // ---- members ----
  char StockCode[32] = {};
  char ShownCode[8] = {};  // the code part of StockCode
  HCURSOR Cursors[4] = {};
  int32_t CursorKind = 0;
  TRect ChartRect;
  TRect PaneRect[2];
  double PaneRatio[2] = {0.7, 0.3};
  int32_t Dragging = 0;
  bool CrossHairOn = false;
  bool MouseTracking = false;
  int32_t MouseX = -1, MouseY = -1;
  COverlappedStock *Overlays = nullptr;
  int32_t OverlayCaptionX = 0, OverlayCaptionY = 0;
  HBITMAP ChartBitmap = nullptr;
  uint32_t LoadPercent = 100;
  bool RedrawPending = false;
  bool HasOverlays = false;
  TRect OverlayButtonRect;
  int32_t QuoteTextEnd = 0;
  CMultiTrend Trend;
  int32_t CrossX = 0, CrossY = 0;
  int32_t DragLineY = 0;
  bool KeyCursor = false;
  uint32_t ViewCombination = 2;
  // The tick chart's model (window start -1 follows the newest trade) and
  // the price distribution of the distribution page.
  _Tick Tick;
  CDistributePrice Distribution;
  // What was drawn: redraws of the chart and copies to the window.
  uint32_t ChartDraws = 0;
  // The axis widths of the last measure.
  int32_t AxisLeft = 0, AxisRight = 0, TimeLabelWidth = 0;
  // The view's next switch of instrument is a step within its list.
  bool StepWithinList = false;
  // The cross-hair's label boxes (80 x 30, made on first use).
  HBITMAP CrossPriceBitmap = nullptr, CrossTimeBitmap = nullptr;
  // Their font, kept between mouse moves (given back on a font change).
  TViewFontCache CrossLabelFont;
  // The distribution and nature grids' cell font, kept between cells.
  TViewFontCache CellFont;
  // The cross-hair's lines are in the chart bitmap now (a redraw clears it).
  bool CrossLinesInBitmap = false;
  // What a cross-hair move copied to the window: rectangles, in order.
  std::vector<TRect> CrossCopies;

 protected:
  void Paint() override;

 private:
  void BuildRendComponents();
  void DestroyOverlays();
  void CopyChartToWindow();
  void CopyChart(HDC dc);
  // A memory context on the chart bitmap with the chart's background filled.
  HDC BeginChartDC(HGDIOBJ *oldBitmap);
  void CrossHairOff();
  void LoadTodayIntoTrend();
  void SwitchInstrument(STKPTR stock, intptr_t block, const VIEW_ATTR_13 *sender);
  void PageInstruments(bool forward);
  void MinuteCursorKey(bool right);
  void DaysKey(bool up);
  void EnterKey();
  void EscapeKey();
  void TradePageKey(WORD key);
  void DrawDay(HDC dc, int d, double factor, int decimals, uint32_t unit);
  void DrawMarks(HDC dc, const _TickData &day, uint32_t unit);
  int ReadPastDay(_TickData *day, STKPTR stock, int slot, uint32_t tag);
  void MarkPastDay(_TickData *day);
  void LoadPastDay(_TickData *day);
  void ReturnToLiveDay(_TickData *day, PackedDateTime date);
  bool IsDetailOrDistribution() const { return (m_attr.flags & (kRendPageDetail | kRendPageDistribution)) != 0; }
};
