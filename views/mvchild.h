// The pane base: every pane of the page is a borderless child form of class
// TMultiViewChild. A pane without a view is a TMultiViewChild itself (it
// paints a hint and offers its popup menu); every view derives from it, so
// a pane and its view are one window, and replacing the view of a pane
// means making a new form in the same place of the split tree.
//
// TMVCmdBox is the small strip of caption buttons in a pane's top right
// corner (zoom, restore, close, split, step, information panel, period).
#pragma once

#include <cstdint>
#include <vector>

#include "core/earray.h"
#include "core/ewnd.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "views/viewattr.h"

class TMultiViewMain;
class TMultiViewChild;
struct PaneNode;

// ---- Caption-button box ----------------------------------------------------------------

constexpr int kCmdBoxHeight = 14;
constexpr COLORREF kCmdBoxHotColor = 0x3F96FF;

class TMVCmdBox : public EWnd {
 public:
  // Kinds: -1 gap, 0 close, 1 zoom, 2 restore, 3 split across, 4 split
  // down, 5 step back, 6 step forward, 7 information panel, 8 period menu.
  TMVCmdBox(TMultiViewChild *owner, const int *kinds, int count);
  ~TMVCmdBox() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // Places the box (top of the z-order, shown, not activated).
  void MoveTo(int x, int y);
  // Background COLOR01; icons light on a dark background, dark on a light one.
  void UpdateColors();
  // Paints the strip into its bitmap and redraws the window.
  void Refresh();
  // The button under a client x, or -1.
  int ButtonAt(int x) const;
  // Changes every button of one kind into another (zoom <-> restore).
  void ReplaceKind(int from, int to);
  // What a click on button i does: the message and its target and lParam.
  void Press(int button);

  static int CellWidth(int kind) { return kind == 8 ? 31 : 17; }
  static COLORREF IconColorFor(COLORREF background);

  TMultiViewChild *m_owner;
  int32_t m_hot = -1;
  uint8_t m_tracking = 0;
  int32_t m_kinds[8] = {};
  uint32_t m_count = 0;
  int32_t m_width = 0;
  int32_t m_height = kCmdBoxHeight;
  COLORREF m_background = 0;
  COLORREF m_iconColor = 0;
  COLORREF m_hotColor = kCmdBoxHotColor;

 private:
  void PaintStrip();
  HDC m_memDC = nullptr;
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_oldBitmap = nullptr;
};

// ---- The pane --------------------------------------------------------------------

// The extra operations of the intraday and K-line views that the page
// calls; the chart views implement them.
class TChartViewOps {
 public:
  virtual ~TChartViewOps() = default;
  // Intraday: toggles minute trend / tick chart (bit 3 of the record's
  // flags follows).
  virtual void ToggleTickMode() = 0;
  // Intraday: shows the minute trend of a day.
  virtual void ShowTrendOfDate(uint32_t date) = 0;
  // The keyboard of the chart for the step buttons (key with {Shift}).
  virtual void StepKey(WORD key, TShiftState shift) = 0;
  // Fills the chart's part of the view data before the page is saved
  // (windows, formulas, overlays, information panel).
  virtual void StoreChartData(MVCDATA_12 *data) = 0;
};

class TMultiViewChild : public TForm {
 public:
  // A pane with the page as owner and parent window. Without view data or
  // back history the pane makes its own (the page frees them).
  TMultiViewChild(TMultiViewMain *page, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history, PaneNode *node);
  ~TMultiViewChild() override;

  // ---- the view operations (views override them) ----
  // Codes: 0 quote update, 1 show an instrument (first extra = block id,
  // second = a VIEW_ATTR_13 or null), 8 timer refresh, 10 block changed,
  // 14 and 16..19 data arrivals, 15 zoom.
  virtual int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra);
  virtual void Print();
  // Called once, after the pane's first layout.
  virtual void InitView();
  virtual void ApplyFonts();
  // Views append the instruments they show.
  virtual void CollectStocks(EArray<STKMS> *stocks);
  virtual void OnActivate();
  virtual void OnDeactivate();
  virtual void UpdateMenuCaptions();
  virtual void SendStockToOrderPanel();
  virtual void SyncFrameButtons();

  // ---- what the page asks of a view beyond those ----
  // Brings the view's own record up to date before the page stores it
  // (the report keeps its grid's top row).
  virtual void StoreViewState() {}
  // A quote report hands its current list over: a new hand-over list
  // (reference count 0) and the current row; 0 from other views.
  virtual uint32_t MakeHandOverList(int32_t *position) {
    (void)position;
    return 0;
  }

  // Makes the pane the page's active one and sets up the main window's
  // tools for its kind.
  void Activate();
  // What a page or pane message carries in lParam for this pane: a number
  // the page resolves (TMultiViewMain::PaneById), never the pane's address,
  // so a message read after the pane was replaced or closed finds nothing.
  LPARAM PaneParam() const { return LPARAM(m_paneId); }
  // Posts a page message about this pane to the page.
  void PostToPage(UINT message, WPARAM wParam = 0);
  int ViewType() const { return m_attr.viewType; }
  TChartViewOps *ChartOps();

  void WndProc(TMessage &message) override;

  // ---- members ----
  uint8_t m_tracking = 0;
  uint32_t m_requestTag = 0;
  uint8_t m_active = 0;
  uint8_t m_zoomed = 0;
  PaneNode *m_node = nullptr;
  TMultiViewMain *m_page = nullptr;
  TMVCmdBox *m_cmdBox = nullptr;
  VIEW_ATTR_13 m_attr{};
  uint8_t m_linked = 0;
  EArray<VIEW_ATTR_13> *m_history = nullptr;
  MVCDATA_12 *m_viewData = nullptr;
  uint8_t m_layoutDone = 0;
  const uint32_t m_paneId;

  TPopupMenu *MVCPM1 = nullptr;
  TMenuItem *NMVCZoom = nullptr;
  TMenuItem *NMVCWeb = nullptr;

  // The request tag counter: starts at 1 and grows by 16 per pane.
  static uint32_t &TagCounter();

  // The hint of an empty pane and its rectangle for a client width.
  static const char *EmptyHint();
  static TRect HintRect(int clientWidth);

 protected:
  void Paint() override;
  // An empty pane paints all of itself; views decide for themselves.
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void MVCPM1Popup(TObject *sender);
  // Replaces the box (null kinds: none).
  void SetCmdBox(const int *kinds, int count);
  void PlaceCmdBox();

 private:
  void BuildMenu();
};

// The placeholder of a view that a later part of the program provides: a
// pane that shows the view type's name and keeps its record and view data
// as they came (so a page with it saves what it read). For intraday and
// K-line types it keeps the tick-mode bit and the hand-over list as a chart
// view would.
class TPlaceholderView : public TMultiViewChild, public TChartViewOps {
 public:
  TPlaceholderView(int viewType, TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                   EArray<VIEW_ATTR_13> *history, PaneNode *node);

  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void CollectStocks(EArray<STKMS> *stocks) override;

  void ToggleTickMode() override { m_attr.flags ^= kViewFlagTickMode; }
  void ShowTrendOfDate(uint32_t date) override { m_shownDate = date; }
  void StepKey(WORD key, TShiftState shift) override {
    m_lastKey = key;
    m_lastShift = shift;
  }
  void StoreChartData(MVCDATA_12 *) override {}

  uint32_t m_shownDate = 0;
  WORD m_lastKey = 0;
  TShiftState m_lastShift;

  // Esc (also what the main window's back button sends the active view)
  // takes the pane back in its history, as the view it stands for does.
  void WndProc(TMessage &message) override;

 protected:
  void Paint() override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override { msg.Result = 1; }
};
