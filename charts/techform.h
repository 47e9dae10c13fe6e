// The K-line view: one instrument's bars in one chart period, a main price
// window and up to five indicator windows, each holding a chain of formulas
// that the engine calculates and paints; overlays and spread analysis,
// information and ex-rights markers, drawn lines, a cross-hair with value
// read-outs. The chart is painted into an off-screen bitmap (DrawChart)
// and put on the window with the transient figures on top (UpdateScreen).
// GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "charts/drawview.h"
#include "charts/linefile.h"
#include "charts/linetool.h"
#include "charts/overlapped.h"
#include "charts/techformcore.h"
#include "core/ewnd.h"
#include "views/viewdisplay.h"

class CKvIndex;
class TLine;

class TTechForm : public TDrawView, public TLineFileOwner, public TLinePaletteClient {
 public:
  TTechForm(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history,
            PaneNode *node);
  ~TTechForm() override;

  // ---- pane operations ----
  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void InitView() override;
  void ApplyFonts() override;
  void CollectStocks(EArray<STKMS> *stocks) override;
  void SyncFrameButtons() override;
  void ReloadData() override;
  void InfoPanelToggled() override {}
  void RefreshHistory() override;
  void WndProc(TMessage &message) override;
  void StepKey(WORD key, TShiftState shift) override;
  void StoreChartData(MVCDATA_12 *data) override;

  // ---- the drawn lines' owner ----
  STKPTR LineStock() const override { return m_attr.stock; }
  int8_t LinePeriod() const override { return int8_t(m_attr.period); }
  int LineWindowCount() const override { return int(windowCount); }
  const char *LineWindowFormula(int window) const override;
  TLine **LineSlots() override { return lines; }
  uint32_t &LineCount() override { return lineCount; }
  void MapLoadedLine(TLine *line, int window) override;
  CKvIndex *MainFormula() override { return windows[0]; }

  // ---- what the line palette asks of the active chart ----
  void DeleteAllLines() override;
  void SetLuoliShown(bool shown) override;
  void SetLineToolItemChecked(bool checked) override;

  // ---- form events ----
  void FormResize(TObject *sender = nullptr);
  void FormPaint(TObject *sender = nullptr);
  void FormClose(TObject *sender, TCloseAction &action);
  // ---- keyboard (techkeys.cpp) ----
  void FormKeyDown(TObject *sender, WORD &key, TShiftState shift);
  void FormKeyUp(TObject *sender, WORD &key, TShiftState shift);
  void ExecuteViewCommand(int code) override;
  void PreviousIndicator();
  void NextIndicator();
  // The bar value grid: shown by the view command, hidden by its Esc.
  void ShowBarGrid();
  void HideBarGrid();
  // Plot columns that fit (H), the automatic first column's limit
  // (maxStart) and the column at x.
  uint32_t FittingColumns() const;
  uint32_t AutoStart() const;
  uint32_t ColumnAt(int x) const;
  // The y of the price point of column i (y when it has no bar).
  int PricePointY(uint32_t i, int y) const;

  // ---- mouse (techmouse.cpp) ----
  void FormMouseDown(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
  void FormMouseMove(TObject *sender, TShiftState shift, int x, int y);
  void FormMouseUp(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
  int DoubleClickAt(uint32_t point);
  void SetZoomLevel(uint32_t level);
  void NZoneStatClick(TObject *sender = nullptr);
  // The statistics dialog over columns first .. last.
  void OpenZoneStat(uint32_t first, uint32_t last);
  void RecordWindowHeights();
  void ShowOverlayMenu();
  // The zoom level whose pitch fits n bars into the plot width w.
  static int ZoomForBars(double w, double n);
  // Lays the windows out from the height shares and repaints.
  void RelayoutWindows();
  void SwitchCrossHairOff(bool hidePanel);
  void DeleteLineAt(uint32_t index);
  void DeleteKey();

  // ---- overlays and spread analysis (techoverlay.cpp) ----
  void AddOverlay(STKPTR stock, bool relative, bool apply);
  void SetSpreadAnalysis(STKPTR stock, int32_t item, uint8_t mode, bool apply);
  void ComputeSpread();
  void RemoveSpreadAnalysis();
  void RemoveOverlays();
  void RemoveOverlayNode(COverlappedStock *node);
  void N29Click(TObject *sender = nullptr);
  void N20Click(TObject *sender = nullptr);
  void R1Click(TObject *sender);
  // Step K: the first visible date before a change of the time axis and
  // the scroll position from it after.
  uint32_t FirstVisibleTime() const;
  void KeepFirstVisibleTime(uint32_t t);
  // The view data's overlays back into the chain (construction).
  void RestoreOverlays(const MVCDATA_12 &data);
  void StoreOverlays(MVCDATA_12 *data) const;

  // ---- menus, properties and the bar grid (techmenus.cpp) ----
  void ShowContextMenu(int x, int y) override;
  void FormContextPopup(int x, int y);
  void TechPopupMenu1Popup(TObject *sender = nullptr);
  void UpdateMenuCaptions() override;
  void DelLineClick(TObject *sender = nullptr);
  void A1Click(TObject *sender = nullptr);
  void N35Click(TObject *sender = nullptr);
  void N12Click(TObject *sender);
  void NLineClick(TObject *sender = nullptr);
  void V1Click(TObject *sender);
  void N36Click(TObject *sender = nullptr);
  void N37Click(TObject *sender = nullptr);
  void N39Click(TObject *sender = nullptr);
  void NPropertyClick(TObject *sender = nullptr);
  void ReloadAndRepaint();
  void DrawGrid1DrawCell(TObject *sender, int column, int row, TRect rect, TGridDrawState state);
  void DrawGrid1MouseDown(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
  // The menu that popped up last (for the tests and the pictures).
  TPopupMenu *lastPopup = nullptr;

  // ---- geometry ----
  uint32_t FirstVisibleBar() const;
  uint32_t VisibleBarCount() const;
  int PlotWidth() const;
  int ScaleLeft() const;   // sL
  int ScaleRight() const;  // sR
  int BarCentre(uint32_t i) const;
  void RefreshLineMappings();
  void DeleteWindowLines(int window);
  void SaveLines();
  void LoadLines();
  void LoadRefLines();
  void SaveRefLines();

  // ---- series and periods ----
  uint32_t PeriodCount() const { return uint32_t(m_attr.zoomStep > 0 ? m_attr.zoomStep : 1); }
  void SetPeriod(int code);
  void Subscribe(int mode, bool withOverlays);
  bool LoadSeries(bool reloadLines, bool resetScroll, int historyMode);
  bool BuildTimeAxis();
  void RecalcIndicators(const STKPTR *stock, bool incremental);
  void AgentUpdate(WPARAM w, int32_t agent);
  void FrameTimer();
  void ShowPeriodMenu(int x, int y);

  // ---- indicator windows ----
  void ApplyIndicator(const char *name, bool redraw);
  void RefreshIndex(TMenuItem *item);
  void N7Click(TObject *sender);
  void SetWindowCount(int n);
  void N3Click(TObject *sender = nullptr);
  void R3Click(TObject *sender = nullptr);
  void F1Click(TObject *sender = nullptr);
  void N30Click(TObject *sender = nullptr);
  void EraseIdxClick(TObject *sender = nullptr);
  void TechN5Click(TObject *sender = nullptr);
  void OnIndexChanged(const char *name);
  void OnIndexParamChanged(WPARAM sender, LPARAM period);
  // The formula the parameter and edit commands work on, or null with the
  // message of the two given.
  CKvIndex *SelectedFormula(const char *spreadMessage, const char *noneMessage);

  // ---- markers and ex-rights ----
  bool LoadInfoMarkers(bool request);
  bool LoadWeights();
  int ExRightsMode() const;  // 0 none, 1 forward, 2 backward
  void N25Click(TObject *sender);

  // ---- painting and read-outs ----
  void DrawChart();
  void UpdateScreen(bool fromBuffer);
  void DrawCrossLines(HDC dc);
  void DrawCrossLabels(bool erase, HDC dc);
  void DrawRubberBand(HDC dc);
  void SetLoadPercent(uint32_t percent);
  void DrawLoadProgress(HDC dc);
  void DrawQuoteLine(HDC dc);
  void DrawOverlayLink(HDC dc);
  void DrawLegends(HDC dc, bool eraseCross);
  void DrawLuoliAid(HDC dc);
  void DrawDragLine(HDC dc);
  void UpdateBarPanel();
  void ShowHoverTip(int x, int y);
  // Window i is drawn upside down.
  bool WindowInverted(int i) const;
  bool SpreadAnalysis() const { return overlays && !overlays->indicator; }
  // The bar of time-axis position i in bars, -1 none.
  int32_t BarOfPosition(int64_t i) const;

  // ---- components added to the base view's ----
  TPanel *Panel2 = nullptr;
  TLabel *PanelLabels[21] = {};  // Label2 .. Label20 at their numbers
  TPopupMenu *PopupMenu2 = nullptr;
  TMenuItem *N1 = nullptr, *N18 = nullptr, *N19 = nullptr, *NWeight = nullptr, *N25 = nullptr, *N27 = nullptr,
            *N28 = nullptr, *R3 = nullptr, *N30 = nullptr, *EraseIdx = nullptr, *C1 = nullptr, *V1 = nullptr,
            *P1 = nullptr, *L1 = nullptr, *N36 = nullptr, *N37 = nullptr, *N39 = nullptr, *D2 = nullptr,
            *P2 = nullptr, *F1 = nullptr;
  TMenuItem *PeriodItems[15] = {};
  TMenuItem *N29 = nullptr, *D1 = nullptr, *R1 = nullptr, *R2 = nullptr, *N20 = nullptr, *NZoneStat = nullptr,
            *NLine = nullptr, *N15 = nullptr;
  TPopupMenu *DelPopMenu = nullptr;
  TMenuItem *DelLine = nullptr, *A1 = nullptr, *N35 = nullptr;
  TDrawGrid *DrawGrid1 = nullptr;

  // ---- own fields ----
  char ownerCode[32] = {};
  char stockCode[32] = {};
  const STKINFO *stockInfo = nullptr;
  HCURSOR cursors[9] = {};
  int32_t cursorMode = 0;
  uint32_t windowCount = 1;
  char windowNames[kKLineMaxWindows][16] = {};
  uint32_t activeWindow = 0;
  CKvIndex *windows[kKLineMaxWindows] = {};
  int32_t barAgent = -1;
  KLINEBAR *bars = nullptr;
  uint32_t barCount = 0;
  int32_t cursorBar = -1;
  uint8_t *infoIndex = nullptr;
  uint32_t infoIndexCount = 0;
  KLineWeight *weights = nullptr;
  uint32_t weightCount = 0;
  uint32_t weightCapacity = 0;
  COverlappedStock *overlays = nullptr;
  uint32_t *barTimes = nullptr;
  uint32_t timeCount = 0;
  uint32_t timeCapacity = 0;
  uint8_t windowMaximised = 0;
  RECT chartRect{};
  RECT windowRects[kKLineMaxWindows] = {};
  double windowRanges[kKLineMaxWindows][2] = {};
  double heights[kKLineMaxWindows] = {};
  double savedHeights[kKLineMaxWindows] = {};
  int32_t scaleWidth = 61;
  int32_t zoomLevel = 16;
  int32_t firstBar = -1;
  int32_t splitDrag = 0;
  uint8_t axisDrag = 0;
  const uint32_t *zoneStart = nullptr, *zoneEnd = nullptr;
  uint8_t rubberBand = 0, rubberShown = 0;
  int32_t rubberRect[4] = {};
  uint8_t crossHair = 0;
  RECT crossLabels[2] = {};
  uint8_t leaveTracking = 0, hoverTracking = 0;
  uint8_t pendingIncremental = 0, pendingFuture = 0;
  int32_t dragX = -1, dragY = -1;
  int32_t mouseX = -1, mouseY = -1;
  int32_t tipX = -1, tipY = -1;
  TLine *lines[kMaxViewLines] = {};
  uint32_t lineCount = 0;
  uint32_t editLine = 0;
  int32_t placingType = -1;
  uint32_t lineEditState = 0;
  uint8_t luoliShown = 0;
  EDibBitmap dib;
  uint32_t loadPercent = 100;
  double spreadScale[4] = {};
  RECT overlayLinkRect{};
  int32_t titleWidth = 0;
  // PageUp/PageDown stepped to another instrument; the key-up loads it.
  uint8_t pagingPending = 0;
  // The legend bar's font, kept between draws (given back on a font change
  // and at close).
  TViewFontCache legendFont_;

 private:
  void BuildTechComponents();
  void BuildInteractionMenus();
  void BuildWindows(const MVCDATA_12 &data);
  void CalcFormula(CKvIndex *f, bool withChain, bool incremental);
  void CalcOverlay(COverlappedStock *node, bool withChain, bool incremental);
  void Repaint();
  void LayoutRects();
  void FitBitmap();
  void ComposeTo(HDC target, bool drawTransients);
  void PaintWindows(HDC dc, uint32_t first, uint32_t visible);
  void PaintMarkers(HDC dc, uint32_t first, uint32_t end);
  void PaintTimeLabels(HDC dc, uint32_t first, uint32_t end);
  void PaintZone(HDC dc, uint32_t first);
  void LegendOfWindow(HDC dc, int i, int bar, const RECT &box);
  bool PointInPlotSpan(int x, int y) const;
  void AssignOverlayColours();
  void CloseTech();
  bool techClosed_ = false;
  bool resizeInstalled_ = false;
  // The chart-sized scratch the price label is erased through, kept
  // between mouse moves.
  HBITMAP labelScratch_ = nullptr;
  int labelScratchWidth_ = 0, labelScratchHeight_ = 0;
  // The cross-hair labels' font, kept between mouse moves (given back on a
  // font change and at close).
  TViewFontCache crossLabelFont_;
};

// What the interval statistics dialog is given: the view as owner, the
// view's bar count (read again while it is open), the end and start times
// in display time, the bars with one time per bar, the agent kind of the
// chart period and the instrument.
struct KLineZoneStatRequest {
  TTechForm *owner = nullptr;
  const uint32_t *barCount = nullptr;
  uint32_t end = 0, start = 0;
  const KLINEBAR *bars = nullptr;
  const uint32_t *times = nullptr;
  uint8_t kind = 7;
  uint32_t count = 1;
  STKPTR stock{0, 0, 0};
};
// The statistics dialog, run modally (empty until the dialog is there; the
// view then only marks nothing). One is open at a time for the program.
std::function<void(const KLineZoneStatRequest &)> &KLineZoneStatDialog();
bool KLineZoneStatShowing();

// The choices of the chart property dialog as the view applies them.
struct KLinePropertyChoices {
  bool showPanel = true;          // "显示信息窗口"
  bool panelLeft = false;         // "将信息窗口置于左侧"
  bool showTradeLines = true;     // "显示持仓线和委托线"
  bool todayMinutesOnly = false;  // "分钟线只显示当日数据"
  bool noScale = false;           // "不显示坐标"
  bool scaleRight = false;        // "坐标置于右侧"
  bool detailsUpward = false;     // "成交明细由下至上显示"
  bool enterCycles = true;        // "按下回车键时在报价、..."
  uint8_t items[32] = {};         // the quote panel's items in order
  bool itemsEnabled = true;       // the item list may be changed
};
// The display options dialog in its K-line form: fills the choices from
// the initial ones and returns true on OK. Empty until the dialog is there
// (the property command then does nothing).
std::function<bool(TTechForm &view, KLinePropertyChoices &choices)> &KLinePropertyDialog();

// Registers the K-line view for its view type.
void RegisterKLineView();

// The chart settings every K-line view shares ("%sclrfont.INI" [PARAMETER]).
struct KLineSettings {
  int32_t reverseSub = 1;
  int32_t kLineMode = -1;  // -1 until read
  int32_t maOnK = 1;
  int32_t antiAlias = 1;
};
KLineSettings &KLineChartSettings();

// Posts a message without parameters to the main window, when there is one.
void PostToFrame(UINT message);
