// The chart base view: what the intraday and K-line views share. It owns the
// information panel on the right (or left) with the quote panel on top, the
// price-volume box, the detail list and the tab chooser; the view's popup
// menu; the corner command box; an XOR cross-hair over the chart area;
// printing of the view in black and white; and the account's order and
// position marks for the shown contract.
//
// A TDrawView is never made alone: the chart views derive from it, paint
// their chart themselves and fill in its six extra operations.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/scrollbar.h"
#include "classlib/stdctrls.h"
#include "classlib/grids.h"
#include "classlib/menus.h"
#include "classlib/printer.h"
#include "charts/pricevolume.h"
#include "core/kivotabset.h"
#include "market/marketrecords.h"
#include "market/records.h"
#include "views/childview.h"
#include "views/dragdrop.h"

// The chart's drop target: it hands a dropped instrument to its view as a
// numbered hand-over file and WM_DROP_STOCKS, as the report's does, but
// answers every drop with E_INVALIDARG and no effect, so that the drag
// source never moves or deletes anything.
class CDrawViewDropTarget : public CReportViewDropTarget {
 public:
  using CReportViewDropTarget::CReportViewDropTarget;
  HRESULT Drop(IDataObject *data, DWORD keyState, POINT point, DWORD *effect) override;
};

// Sizes of the trade-mark records the trading desk fills (a position and a
// cancellable order of the shown contract).
constexpr int kTradeMarkPositionSize = 64;
constexpr int kTradeMarkOrderSize = 68;
constexpr int kTradeMarkCount = 4;

// Set while PageUp or PageDown steps a chart view through instruments: a
// view that switches instrument then posts no WM_MF_REFRESH_SUBSCRIPTION;
// the key-up clears it and posts that message once.
extern bool StockPagingActive;

// Where the quote panel's price cells are (indexes into PriceCells).
constexpr int kPriceCellCount = 18;
constexpr int kPriceCellUnitRow = 17;

// Bits of PaintFlags.
constexpr uint32_t kPaintForPrint = 1;  // paint with the printing look
constexpr uint32_t kPaintRebuild = 2;   // rebuild the off-screen picture at the next paint

// Where a printed view goes on the page: margins, the picture's size and
// whether it is turned by 90 degrees.
struct TPrintLayout {
  int marginX = 0, marginY = 0;
  int width = 0, height = 0;
  bool turned = false;
};
// The layout of a view of viewWidth x viewHeight on a page of pageWidth x
// pageHeight (a twentieth of the page on every side for margins).
TPrintLayout ComputePrintLayout(int pageWidth, int pageHeight, int viewWidth, int viewHeight);
// The black-and-white picture of a 32-bit top-down image (0x00RRGGBB per
// pixel): a pixel whose colour is one of the background colours turns
// white, any other black. Turned, the pixel at (x, y) goes to
// (height - 1 - y, x) of a height x width picture. `out` holds width x
// height pixels.
void MakePrintPicture(const uint32_t *pixels, int width, int height, bool turned, const COLORREF *white,
                      int whiteCount, uint32_t *out);

class TDbfTable;

// "大单提取": the big-order threshold of the detail list.
class TBigAmount : public TForm {
 public:
  explicit TBigAmount(TComponent *owner);
  TEdit *Edit1 = nullptr;
  TUpDown *UpDown1 = nullptr;
  TCheckBox *XPCheckBox1 = nullptr;
  TButton *Button1 = nullptr;
};

// The process's one broker table ("..\cfg\Brokerlist.dbf"), opened when a
// view first shows a broker queue; null until then.
TDbfTable *&BrokerTable();

// The size of "0" in the third shared view font and of "芝" in the second,
// the measures of the detail list.
void MeasureDetailFonts(SIZE *zero, SIZE *wide);

// The big-order threshold an entered text gives: atol's value within
// 0..32767.
int32_t ClampBigOrderThreshold(const char *text);
// The broker name of a queue entry from "Brokerlist.dbf" (fields "IDS",
// "BROKERNAME"), cut to 63 characters; false (empty name) for a level mark,
// broker 0, or a number the table does not hold.
bool FindBrokerName(TDbfTable *table, const BROKERENTRY &entry, char (&name)[64]);

class TDrawView : public TChildView, public TChartViewOps {
 public:
  TDrawView(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history,
            PaneNode *node);
  ~TDrawView() override;

  // ---- the pane operations ----
  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void Print() override;
  void InitView() override;
  void ApplyFonts() override;
  void UpdateMenuCaptions() override;
  void WndProc(TMessage &message) override;

  // ---- what the chart views add ----
  // Pops the view's menu up at a screen point.
  virtual void ShowContextMenu(int x, int y);
  // Subscribes and reloads the view's series (timer, reconnection).
  virtual void ReloadData() {}
  // The XOR cross-hair: takes away the lines at the last position (unless
  // noErase) and draws them through (x, y) when that lies inside
  // CrossHairRect (edges included). The first argument is not used.
  virtual void DrawCrossHair(int unused, int x, int y, bool noErase);
  // After the information panel was shown or hidden.
  virtual void InfoPanelToggled() {}
  // Drops the cached series of the shown instrument and loads it anew.
  virtual void RefreshHistory() {}
  // A view command (28 trade details, 30 price distribution, and the codes
  // of the derived views).
  virtual void ExecuteViewCommand(int code) { (void)code; }

  // ---- what the page asks of a chart ----
  void ToggleTickMode() override { m_attr.flags ^= kViewFlagTickMode; }
  void ShowTrendOfDate(uint32_t date) override { (void)date; }
  void StepKey(WORD key, TShiftState shift) override {
    (void)key;
    (void)shift;
  }
  void StoreChartData(MVCDATA_12 *data) override;

  // ---- cross-hair and cursor ----
  void EraseCrossHair(int unused = 0);
  // Records the rectangle (client pixels) the K-line drags keep their
  // points in; ClipCursorToRect(nullptr) lets go.
  void ClipCursorXY(int left, int top, int right, int bottom);
  void ClipCursorToRect(const TRect *rect);
  // The rectangle in screen pixels, or null while none is set.
  const TRect *CursorClip() const { return m_clipSet ? &m_clip : nullptr; }

  // ---- panels ----
  void FormResize(TObject *sender = nullptr);
  void FormPaint(TObject *sender = nullptr);
  void FormMouseMove(TObject *sender, TShiftState shift, int x, int y);
  void FormClose(TObject *sender, TCloseAction &action);
  void N5Click(TObject *sender = nullptr);
  void PopupMenu1Popup(TObject *sender = nullptr);
  void Panel1Resize(TObject *sender = nullptr);
  void PlaceCommandBox();
  // The detail list: columns and row count from the series (with the
  // big-order filter, the passing trades' numbers in DetailIndex).
  void LayoutDetailList(bool reset);
  void ScrollDetailListToEnd();
  // Shows the newest trade (newest-first lists: the first row).
  void ShowNewestTrade();
  // Indexes the trades of at least minVolume; returns how many passed. A
  // full index that cannot grow ends the walk.
  int BuildDetailIndex(const TICKREC *trades, int count, double minVolume);
  // The trade-detail series when the view holds it, else the recent trades.
  const TICKREC *DetailSeries(int *count) const;
  // Up (VK_UP) or down (VK_DOWN) one row of the detail list's selection.
  void DetailGridKey(WORD key);

  // ---- the detail list's drawing and handlers (detailgrid.cpp) ----
  void StringGrid1DrawCell(int column, int row, const TRect &rect);
  void StringGrid1DblClick(TObject *sender = nullptr);
  void StringGrid1SelectCell(int row);
  void StringGrid1TopLeftChanged(TObject *sender = nullptr);
  void StringGrid1MouseDown(TMouseButton button, int x, int y);
  // The broker queue's tool tip: the name of the broker under the mouse.
  void StringGrid1MouseMove(int x, int y);
  void dadantiquClick(TObject *sender = nullptr);
  void showbrokerClick(TObject *sender = nullptr);

  // ---- menu handlers ----
  void AddShownInstrumentToBlock(int blockId);
  void N2Click(TObject *sender = nullptr);
  void A2Click(TObject *sender = nullptr);
  void NSyncClick(TObject *sender = nullptr);
  void BackClick(TObject *sender = nullptr);

  // ---- trade marks ----
  void LoadTradeMarks();

  // ---- the price-volume box (pricevolume.cpp) ----
  void RebuildPriceVolumeStats();
  void PriceVolumePaint(TObject *sender = nullptr);
  void PriceVolumeMouseMove(int y);
  void PriceVolumeMouseDown(TMouseButton button, int x, int y);
  // The hover line (inverted, so moving it needs no repaint) and the
  // figures of its price; on the box itself when dc is null.
  void DrawPriceVolumeHover(HDC dc);
  void SetChartPriceRatio(double ratio);
  // The two lower blocks; y is the running top (the nature shares move it
  // below their block).
  void DrawNatureShares(HDC dc, int &y);
  void DrawSideAverages(HDC dc, int y);
  // The histogram's bottom line and the line of a price.
  int PriceVolumeBottom() const;
  int PriceVolumeY(int price) const;

  // ---- the tab chooser (tabchooser.cpp) ----
  void TabChooserChange(TObject *sender = nullptr);
  bool TabChooserLButtonDown(int tab);
  static int TabChooserMeasureTab(const std::string &caption);
  void TabChooserDrawTab() {}
  void TabChooserDrawBackGround(HDC dc, const RECT &rect);
  void TabChooserDrawItem(HDC dc, bool hot, bool selected, const std::string &caption, const RECT &rect);

  // ---- the quote panel (quotepanel.cpp) ----
  void LoadInstrumentSettings();
  void DrawQuotePanel();
  void MsgPagePaint(TObject *sender = nullptr);
  void MsgPageMouseDown(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
  void MsgPageMouseMove(TObject *sender, TShiftState shift, int x, int y);
  void MsgPageDblClick(TObject *sender = nullptr);
  // Hands the price of the cell under the cursor to the order panel.
  void OrderFromPriceCell();
  // The same for a point of Panel1's client area.
  void OrderFromPriceCellAt(int x, int y);
  // The first of cells 0..last holding the point (left and top inclusive,
  // right and bottom exclusive), or -1.
  int PriceCellAt(int x, int y, int last) const;
  // The 32 item codes of the quote panel (in the view's record).
  uint8_t *DetailItems() { return m_attr.kept340; }
  const uint8_t *DetailItems() const { return m_attr.kept340; }

  // ---- components ----
  TPanel *Panel1 = nullptr;
  TPaintBox *MsgPage = nullptr;
  TPaintBox *PriceVolume = nullptr;
  TStringGrid *StringGrid1 = nullptr;
  TKivoTabSet *TabChooser = nullptr;
  TPopupMenu *PopupMenu1 = nullptr;
  TPrintDialog *PrintDialog1 = nullptr;
  TMenuItem *Back = nullptr, *Changeform = nullptr, *Repfm = nullptr, *Tickfm = nullptr, *Minfm = nullptr,
            *Keckfm = nullptr, *Newsfm = nullptr, *Detailfm = nullptr, *Barfm = nullptr, *N2 = nullptr,
            *AddBk = nullptr, *A2 = nullptr, *Nanaly = nullptr, *N3 = nullptr, *N6 = nullptr, *N7 = nullptr,
            *N8 = nullptr, *N9 = nullptr, *N10 = nullptr, *N5 = nullptr, *dadantiqu = nullptr,
            *showbroker = nullptr, *NSync = nullptr, *prt = nullptr, *NProperty = nullptr;

  // ---- own fields ----
  TRect CrossHairRect;
  int32_t *DetailIndex = nullptr;
  int32_t DetailIndexCapacity = 0;
  bool BrokerQueueMode = false;
  double PriceMultiplier = 1.0;
  int32_t ConvertedDecimals = 0;
  char NativeUnitText[32] = {};
  char ConvertedUnitText[32] = {};
  uint8_t TradeMarkPositions[kTradeMarkCount][kTradeMarkPositionSize] = {};
  uint8_t TradeMarkOrders[kTradeMarkCount][kTradeMarkOrderSize] = {};
  TMVCmdBox *CmdBox = nullptr;
  CDrawViewDropTarget *DropTarget = nullptr;
  int32_t TradeAgent = -1, RecentAgent = -1, TrendAgent = -1;
  std::map<int, int> BuyVolumeByPrice, SellVolumeByPrice, VolumeByPrice;
  // Price-volume statistics and their settings.
  int32_t MaxSideVolume = 0, MaxVolume = 0;
  bool ComparisonMode = true;
  double HoverFraction = -1.0;
  int32_t HoverPrice = -1;
  float NatureShares[12] = {};
  double BuyAverage = 0, SellAverage = 0, BuyVolume = 0, SellVolume = 0;
  int32_t StatsVolumeLimit = 0, StatsTimeMode = 0, StatsTimeParam1 = 0, StatsTimeParam2 = 0;
  // What the statistics were last counted from: a paint counts them again
  // only when a trade came, the series was rebuilt or the range or the
  // instrument changed.
  struct PriceVolumeSource {
    int32_t agent = -1;
    uint32_t agentTag = 0, generation = 0;
    const void *series = nullptr;
    int32_t count = 0;
    uint32_t stock = 0;
    TPriceVolumeRange range;
    TPriceVolumeInstrument instrument;
    bool operator==(const PriceVolumeSource &) const = default;
  };
  PriceVolumeSource PriceVolumeCounted;
  bool PriceVolumeValid = false;
  uint32_t PriceVolumeBuilds = 0;  // times the statistics were counted
  double ChartPriceRatio = 0;
  int32_t PriceAxisTop = 0, PriceAxisBottom = 0;
  uint32_t PaintFlags = 0;
  TRect PriceCells[kPriceCellCount];
  HCURSOR HandCursor = nullptr;
  // The instrument list the view was opened from (a hand-over list handle
  // holding one reference of the view) and the position in it.
  uint32_t StockList = 0;
  uint32_t StockListPosition = 0;
  bool KeepStockList = false;
  bool DetailScrollLock = false;
  int32_t BigOrderThreshold = 0;
  bool ConvertedPrices = false;
  int32_t CrossHairX = 0, CrossHairY = 0;
  int32_t LastMouseX = 5, LastMouseY = 5;
  int32_t QuotePanelHeight = 0;
  bool CrossHairMode = false;
  bool CrossHairShown = false;
  bool ViewPainted = false;
  bool UseOuterCrossHairRect = false;
  TRect *OuterCrossHairRect = nullptr;
  // The order buttons the chart draws (0 buy, 1 sell) and whether its order
  // panel shows.
  TRect OrderButtonRects[2];
  bool OrderPanelVisible = false;
  // The screen centre of the buy or sell order button while this is an
  // intraday or K-line chart of the instrument showing its order panel.
  bool OrderButtonCentre(STKPTR instrument, bool buy, POINT &screen);

 protected:
  void Paint() override;

 private:
  void BuildComponents();
  void BuildMenu();
  void ReadBigOrderThreshold();
  void ResetStatistics();
  void CrossHairLines(HDC dc, int x, int y);
  bool PrintTo();
  bool m_closed = false;
  bool m_clipSet = false;
  TRect m_clip;
  // The quote panel's off-screen picture.
  HDC m_panelDC = nullptr;
  HBITMAP m_panelBitmap = nullptr;
  HGDIOBJ m_panelOld = nullptr;
  int m_panelWidth = 0, m_panelHeight = 0;
};
