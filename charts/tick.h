// The tick chart's model ("闪电图"): every trade of today one after another
// at a fixed step, with the running average, one volume bar per trade and,
// for futures, the open-interest line. The model shows the window of trades
// that fits the pane (normally the newest, with a tenth of the width free on
// the right); the view may scroll the window and move a cursor over single
// trades. The trade array is the series agent's and is only read between
// SetTicks and the agent's next change (the layout fills in missing
// open-interest values in it). GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "charts/trendday.h"
#include "market/records.h"
#include "platform/windef.h"
#include "views/viewattr.h"

// The zoom (pixels per trade) of a TickZoomLevel: 0.25, 0.5, then level - 1.
float TickZoomOfLevel(int level);
// The level stored in the user's "clrfont.INI" [Parameter]; 3 when none.
int ReadTickZoomLevel();
// The reference price of an instrument's chart: its quote's reference
// (previous settlement or close); 0 without a quote.
uint32_t ChartReferencePrice(STKPTR stock);

class _Tick {
 public:
  _Tick();

  bool SetTicks(TICKREC *ticks, int count, const VIEW_ATTR_13 &attr);
  void SetPaneRect(const RECT &rect, int leftMargin, int rightMargin, int m, int vb);
  void Layout(const VIEW_ATTR_13 &attr);

  // ---- conversion ----
  int PriceToY(int64_t units, uint32_t unit) const;
  int OpenInterestToY(double value) const;
  int YToPrice(int y, bool atCursor) const;
  int YToVolume(int y) const;

  // ---- cursor ----
  const TICKREC *HitTest(int x);
  const TICKREC *NextTick(int *x, int *y);
  const TICKREC *PrevTick(int *x, int *y);
  uint32_t GetAveragePriceAtX(int x) const;

  // ---- read access ----
  const TRENDPOINT *GetPoints() const { return points_.empty() ? nullptr : points_.data(); }
  const TRENDPOINT *GetAveragePoints() const { return average_.empty() ? nullptr : average_.data(); }
  const TRENDPOINT *GetVolumeBars() const { return bars_.empty() ? nullptr : bars_.data(); }
  const TRENDPOINT *GetOpenInterestLine() const { return oiLine_.empty() ? nullptr : oiLine_.data(); }
  const GRIDLINE *GetPriceGrid() const { return priceGrid_; }
  int GetPriceGridCount() const { return priceGridCount; }
  const GRIDLINE *GetVolumeGrid() const { return volumeGrid_; }
  int GetVolumeGridCount() const { return volumeGridCount; }
  int GetVisibleCount() const { return visibleCount; }
  const TICKREC *GetTicks() const { return ticks_; }
  int GetTickCount() const { return count_; }
  void GetVolumePaneSpan(int *top, int *bottom) const;
  void GetMargins(int *left, int *right, int *top, int *bottom) const;
  void GetPricePlotRect(RECT *rect) const;
  void GetVolumePlotRect(RECT *rect) const;
  void GetVolumeRect(RECT *rect) const;

  // ---- fields the view reads and sets ----
  float zoom = 2.0f;
  int32_t decimals = 0;
  uint32_t divisor = 1000;
  int32_t windowStart = -1;  // -1 follows the newest trades
  int32_t windowEnd = 0;
  float ratio = 0.7f;
  int32_t splitY = -10;
  int32_t cursorIndex = -1, cursorX = 0, cursorY = 0;
  POINT anchors[3] = {};
  int32_t frame[2][4] = {};
  int32_t referenceLine[4] = {};
  bool follow = true;
  int32_t capacity = 0;
  int32_t leftMargin = 0, rightMargin = 0, m = 0, vb = 0;
  int32_t averageShown = 1;
  uint32_t slots = 0;
  RECT pricePane{}, volumePane{}, pane{};
  int64_t highest = 0, lowest = 0;
  float highVolume = 0, highAmount = 0, lowAmount = 0;
  int32_t priceGridCount = 0, visibleCount = 0, volumeGridCount = 0;
  // The view's drags: the x where a drag of the time strip last moved the
  // window, the price/volume split being dragged, the time strip being
  // dragged.
  int32_t dragStartX = 0;
  bool splitDrag = false;
  bool tickDrag = false;

 private:
  void SplitPanes();
  void ComputeRanges(uint32_t unit);
  void BuildPricePane(const VIEW_ATTR_13 &attr, uint32_t unit);
  void BuildVolumePane(const VIEW_ATTR_13 &attr, int marketType);
  int PointAt(const std::vector<TRENDPOINT> &points, int x) const;
  const TICKREC *StepCursor(int step, int *x, int *y);

  TICKREC *ticks_ = nullptr;
  int32_t count_ = 0;
  std::vector<TRENDPOINT> points_, average_, bars_, oiLine_;
  GRIDLINE priceGrid_[kTrendGridCapacity] = {};
  GRIDLINE volumeGrid_[kTrendGridCapacity] = {};
};
