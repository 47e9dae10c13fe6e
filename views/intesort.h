// The integrated ranking view: one pane split into a 3 x 3 grid of ranking
// panels over one block of instruments. Each panel lists the best
// instruments of one ranking (rise and fall today and over five minutes,
// order ratio both ways, amplitude, volume ratio, turnover amount). The
// values come from the quote server as ranking answer files; the view asks
// for them in a fixed chain of six requests and ranks the block itself.
//
// TRankingCore holds the block, the ranking arrays, the panels' rows and the
// selection, and needs no window; TInteSort feeds it and paints the panels.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/earray.h"
#include "core/ewnd.h"
#include "classlib/menus.h"
#include "views/childview.h"

// One row of a ranking panel.
struct ISCI {
  char name[12];
  uint8_t align12[4];  // never copied
  double price;        // report column 6, 0 without a value
  double value;        // the number of the third column
  uint32_t flags;      // colour classes, below
  STKPTR stock;
};
static_assert(sizeof(ISCI) == 40);

// Price classes (last price against the reference price).
constexpr uint32_t kIsciPriceUp = 0x20, kIsciPriceNone = 0x40, kIsciPriceEqual = 0x80;
// Value classes.
constexpr uint32_t kIsciValueUp = 0x02, kIsciValueNone = 0x04, kIsciValueEqual = 0x08;

constexpr int kRankingPanels = 9;
constexpr int kRankingCapacity = 7168;
// Answers rank at least this many rows.
constexpr int kRankingMinRows = 20;

// Titles, third-column formats and answer kinds of the panels, in grid order.
struct RankingPanelDef {
  const char *title;
  const char *format;
  int kind;
};
extern const RankingPanelDef kRankingPanelDefs[kRankingPanels];

// The n best entries to the front in order (direction 1 descending, 0
// ascending), equal values in their earlier order, the others behind them
// in theirs: the first n entries as SortTopByValue leaves them, in one
// partial sort instead of n passes over the block. order is scratch room.
void RankTopByValue(STKPTR *stocks, double *values, int count, int n, int direction, std::vector<int> &order);

class TRankingCore {
 public:
  TRankingCore();
  ~TRankingCore();
  TRankingCore(const TRankingCore &) = delete;
  TRankingCore &operator=(const TRankingCore &) = delete;

  struct Panel {
    EArray<ISCI> rows{20};
    char title[20] = {};
    int32_t selected = -1;
  };

  // The six ranking blocks: market 0 and 1, kinds 1, 2 and 5. True with the
  // market and kind of the block.
  static bool IsRankingBlock(int blockId, int *market = nullptr, int *kind = nullptr);
  // The request after an answer of this kind: its answer kind and sort
  // column; false after kind 5 (the end of the chain) or for an unknown kind.
  static bool NextInChain(int kind, int *nextKind, int *column);

  // Takes the block's stocks (at most 7168); false when the block is
  // missing or has no stock list.
  bool SetBlock(int blockId);
  // Ranks an answer file of kind 1..6 and rebuilds its panels. False (and
  // nothing changed) for another kind, or when the block is gone or has no
  // stock list. A file that cannot be opened ranks every entry at the
  // passes' defaults.
  bool LoadRankingFile(int kind, const char *path);
  // Rows a panel shows (and ranks at least max(rows, 20) of).
  void SetRowsPerPanel(int rows);

  // The keys of the grid (arrows and Enter). Returns the stock to open for
  // Enter on a row that exists, else none; left and entered panels in *left
  // and *entered (-1 when unchanged).
  STKPTR Key(WORD key, int *left = nullptr, int *entered = nullptr);
  // The row under a panel's client y for a row height.
  int RowFromY(int y, int rowHeight) const;
  // A press on a panel: it becomes the current one with that row selected.
  void Press(int panel, int row);
  // The instrument of the current panel's selected row; none without one.
  STKPTR SelectedStock() const;

  int blockId = -1;
  STKPTR *stocks = nullptr;
  double *values = nullptr;
  int32_t count = 0;
  int32_t rowsPerPanel = 0;
  int32_t currentPanel = 0;
  Panel panels[kRankingPanels];

 private:
  // One pass: reads records of the size from the file (null: live quotes)
  // and ranks; then rebuilds the panel.
  void Pass(int kind, int32_t file, int recordSize, double fallback, int direction, int panel);
  void Rebuild(int kind, int panel, int n);
  std::vector<int> order_;
};

class TInteSort;

// The shared font, sizes and back buffer of the nine panels.
struct RankingPanelMetrics {
  HFONT font = nullptr;
  int32_t fontHeight = 0;
  int32_t rowsPerPanel = 0;
  int32_t rowHeight = 0;
  int32_t nameWidth = 0;
  HBITMAP backBuffer = nullptr;
  uint32_t backBufferSize = 0;  // width low 16 bits, height high 16 bits
};

class InteSortChild : public EWnd {
 public:
  InteSortChild(TInteSort *owner, const char *title, int index, RankingPanelMetrics *metrics);
  ~InteSortChild() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Paints the panel into a context of its size.
  void PaintTo(HDC dc);
  int RowFromY(int y) const;

  RankingPanelMetrics *m_metrics;
  TInteSort *m_owner;
  int32_t m_index;

 private:
  void Paint();
  void GrowBackBuffer(HDC dc);
};

class TInteSort : public TChildView {
 public:
  TInteSort(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history,
            PaneNode *node);
  ~TInteSort() override;

  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void InitView() override;
  void ApplyFonts() override;
  void CollectStocks(EArray<STKMS> *stocks) override;
  void WndProc(TMessage &message) override;

  // Sends the first request of the chain when the block is a ranking block
  // the user has the right for; true when sent.
  bool RequestRanking();
  // Switches to one of the six ranking blocks.
  bool SetBlock(int blockId);
  void FormResize();
  // The instrument of the selected row (the main window's instrument
  // commands); none without one.
  STKPTR SelectedStock() const { return core_.SelectedStock(); }

  TRankingCore &Core() { return core_; }
  const RankingPanelMetrics &Metrics() const { return metrics_; }
  InteSortChild *Panel(int i) const { return i >= 0 && i < kRankingPanels ? panels_[i] : nullptr; }
  TPopupMenu *Popup() const { return PopupMenu1; }
  // The request sent last: its answer kind and column (0 before any).
  int LastRequestKind() const { return lastKind_; }
  int RequestsSent() const { return requestsSent_; }
  COLORREF Color(int number) const;

 protected:
  void Paint() override;

 private:
  void Request(int kind, int column);
  void OpenSelected();
  void Measure();
  void RedrawPanel(int i);

  TRankingCore core_;
  InteSortChild *panels_[kRankingPanels] = {};
  RankingPanelMetrics metrics_;
  bool firstLayout_ = false;
  int lastKind_ = 0;
  int requestsSent_ = 0;
  TPopupMenu *PopupMenu1 = nullptr;
  TMenuItem *NISS1 = nullptr;
};

// What the ranking view asks of the main window beyond the pane host.
struct TRankingServices {
  // "走势图优先(&M)" is checked: an opened instrument shows its intraday chart.
  std::function<bool()> trendChartFirst;
};
TRankingServices &RankingServices();

// The ranking view's class in the view factory.
void RegisterRankingView();
