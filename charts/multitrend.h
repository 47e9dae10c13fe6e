// The minute-trend chart of one to ten trading days: the days side by side,
// oldest first and the live day last, with common price, volume and
// open-interest scales, the middle-line (base) price, the price grid step,
// the cursor the keys and the mouse move, and the price/volume split. The
// intraday view fills the days, lays them out before it paints and paints
// each day's arrays. GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "charts/trendday.h"

// The date the instrument's live day shows: the market's date, stepped back
// to a trading day when the market does not trade on it or its kind trades
// for another date (hour and minute cleared); 0 for an unknown market.
PackedDateTime TrendTradingDate(STKPTR stock);

class CMultiTrend {
 public:
  CMultiTrend();
  ~CMultiTrend();
  CMultiTrend(const CMultiTrend &) = delete;
  CMultiTrend &operator=(const CMultiTrend &) = delete;

  // ---- days ----
  void SetToday(const TRENDREC *series, int count, const VIEW_ATTR_13 &attr);
  void SetTodayOverlay(const TRENDREC *series, int count, STKPTR stock, int slot);
  // A new history day in front of all days; false when it can't be made.
  bool AddHistoryDay(const TRENDREC *series, int count, const VIEW_ATTR_13 &attr);
  void ClearOverlays();
  void Clear();
  void DropOldestDay();
  void KeepLastDay();
  int DayCount() const { return int(days_.size()); }
  _TickData *Day(int i) const { return i >= 0 && i < DayCount() ? days_[size_t(i)] : nullptr; }
  const TRENDRECT &DayRect(int i) const { return dayRects_[size_t(i)]; }

  // ---- geometry and scales ----
  void SetChartRect(const TRENDRECT &rect) { chart_ = rect; }
  const TRENDRECT &ChartRect() const { return chart_; }
  void SetPriceRatio(float ratio);
  float GetPriceRatio() const;
  int GetSplitY() const;
  void GetPlotRect(TRENDRECT *rect) const;
  uint32_t GetMinPrice() const { return low_; }
  uint32_t GetMaxPrice() const { return high_; }
  float GetMaxVolume() const { return highVolume_; }
  int GetGridHalfCount() const { return gridHalf_; }
  void Layout(const VIEW_ATTR_13 &attr, int left, int right, int m, int labelWidth, int volumeBottom);
  uint32_t ComputeBasePrice(const VIEW_ATTR_13 &attr);

  // ---- hit tests and the cursor ----
  void HitTest(int x);
  const TRENDPOINT *FindPointAtX(int x, bool *history) const;
  const TRENDPOINT *FindOverlayPointAtX(int x, int slot, bool *history) const;
  float GetSecondLineValueAtX(int x) const;
  const TRENDPOINT *NextPoint(int *x);
  const TRENDPOINT *PrevPoint(int *x);
  int CursorDay() const { return cursorDay_; }
  int CursorPoint() const { return cursorPoint_; }
  void SetCursor(int day, int point, int x) {
    cursorDay_ = day;
    cursorPoint_ = point;
    cursorX_ = x;
  }
  int YToPrice(int y) const;
  int YToVolume(int y) const;

  void SetSplitDrag(bool on) { splitDrag_ = on; }
  bool IsSplitDrag() const { return splitDrag_; }

 private:
  _TickData *LiveDay();
  // The day under x and the index of the point x selects there.
  bool Select(int x, int *day, int *point) const;

  int32_t m_ = 0, left_ = 0, right_ = 0, volumeBottom_ = 0, labelWidth_ = 0;
  TRENDRECT chart_;
  int32_t cursorDay_ = 0, cursorPoint_ = 0, cursorX_ = 0;
  std::vector<_TickData *> days_;
  std::vector<TRENDRECT> dayRects_;
  float ratio_ = 0.7f;
  bool splitDrag_ = false;
  uint32_t low_ = 0, high_ = 0;
  float highVolume_ = 0, highOpenInterest_ = 0, lowOpenInterest_ = 0;
  uint32_t base_ = 0;
  int32_t gridHalf_ = 0;
};
