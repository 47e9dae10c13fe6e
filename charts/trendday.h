// One trading day of the intraday minute chart: the day's minute records of
// the shown instrument and of up to seven overlaid instruments, turned into
// what the painter walks: the frame of the day's price and volume panes,
// the price, volume and time grids with their labels and the screen points
// of every line. The multi-day model (charts/multitrend.h) sets the common
// ranges and the pane rectangle and then asks each day to lay itself out.
//
// Prices are unsigned integers in the instrument's raw units; a raw price
// over the instrument's divisor is the real price. Grids hold prices in
// "price units": raw prices over GetPriceUnit, the step of the last shown
// decimal.
//
// Every buffer has a fixed capacity (1441 records, 1450 points, 60 grid
// lines), is allocated once and reused by later layouts. GUI thread only.
#pragma once

#include <cstdint>

#include "market/marketrecords.h"
#include "market/records.h"
#include "views/viewattr.h"

constexpr int kTrendPointCapacity = 1450;
constexpr int kTrendGridCapacity = 60;
constexpr int kTrendTimeLabelCapacity = 50;
constexpr int kTrendOverlaySlots = 7;
constexpr int kTrendAxisLimit = 1441;
// A pane needs this many pixels per two grid intervals.
constexpr int kTrendGridPitch = 60;

// One screen point of a line or a bar.
struct TRENDPOINT {
  int32_t x, y;
  float value;  // price lines: the real price; second line and bars: raw units
  int32_t hour, minute;
  uint32_t rawPrice;
  float volume;
  float amount;  // turnover or open interest
};

struct GRIDLINE {
  int32_t x1, y1, x2, y2;
  float value;         // price grid: price units; volume grid: volume
  float percent;       // price grid: change against the base; volume grid: 100 down to 0
  float openInterest;  // volume grid of markets with open interest
  uint8_t relation;    // 1 above the base, 2 at it, 3 below
  uint8_t shown;       // the label is shown
};

struct TIMELINE {
  int32_t x, top, x2, bottom;
  int32_t timeCode;  // hour x 100 + minute x 100 / 60
  uint8_t emphasis;
};

struct TIMELABEL {
  int32_t x, y;
  char text[7];
  uint8_t shown;
  int32_t minute;
};

struct TIMESLOT {
  uint32_t minute, hour;
};

struct TRENDRECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The step of the last shown decimal in raw units:
// 10^(floor(log10(divisor)) - decimals), 1 when there are at least as many
// decimals as the divisor has (and for a divisor of 0).
uint32_t GetPriceUnit(uint32_t divisor, int decimals);
// The same for the instrument of a view record (through its name-table
// entry's divisor; 1 when the instrument is unknown).
uint32_t GetPriceUnit(const VIEW_ATTR_13 &attr);
// A raw price rounded to whole units: (unit x 5 / 10 + price) / unit, in
// 64 bits so that prices near 2^32 do not wrap.
uint32_t RoundToUnits(uint32_t price, uint32_t unit);

// Copies count records and turns the cumulative volume (and for stock-type
// markets, types 1 and 6, the turnover) into per-minute values; the first
// record keeps its cumulative values. Returns count (0 when count <= 0).
int TrendToPerMinute(int market, const TRENDREC *source, int count, TRENDREC *destination);

// The value a grid gives a y: interpolated between the two lines around
// it, -1 outside the grid.
int GridValueAtY(const GRIDLINE *grid, int n, int y);

// Binary searches of the merged axis (sorted by hour, then minute).
int FindTimeSlot(const TIMESLOT *axis, int count, uint32_t minute, uint32_t hour);
int FindTimeSlotInsertPos(const TIMESLOT *axis, int count, uint32_t minute, uint32_t hour);

class _TickData {
 public:
  _TickData();
  ~_TickData();
  _TickData(const _TickData &) = delete;
  _TickData &operator=(const _TickData &) = delete;

  // ---- loading ----
  bool LoadToday(const TRENDREC *series, int count, const VIEW_ATTR_13 &attr);
  bool LoadOverlay(const TRENDREC *series, int count, STKPTR stock, int slot);
  bool LoadHistoryDay(const TRENDREC *series, int count, const VIEW_ATTR_13 &attr);
  void SetCount(int n) { count_ = n; }
  void SetOverlayCount(int slot, int n) {
    if (slot >= 0 && slot < kTrendOverlaySlots) overlayCount_[slot] = n;
  }

  // ---- layout ----
  void SetMargins(int left, int right, int m, int labelWidth, int volumeBottom);
  void SetPaneRect(const TRENDRECT &rect) { pane_ = rect; }
  void FillMissingOpenInterest();
  uint32_t GetMinPrice(uint32_t reference) const;
  uint32_t GetMaxPrice(uint32_t reference) const;
  float GetMaxVolume() const;
  float GetMinOpenInterest() const;
  float GetMaxOpenInterest() const;
  void Layout(const VIEW_ATTR_13 &attr, float ratio, int gridHalfCount);
  void ClearLayout();

  // ---- coordinates ----
  int PriceToY(double units) const;
  int OpenInterestToY(double value) const;
  int YToPrice(int y) const;
  int YToVolume(int y) const;

  // ---- read access ----
  int GetCount() const { return count_ > 0 ? count_ : 0; }
  // The stored counts: -1 while a past day waits to be loaded.
  int RawCount() const { return count_; }
  int RawOverlayCount(int slot) const { return slot >= 0 && slot < kTrendOverlaySlots ? overlayCount_[slot] : 0; }
  const TRENDREC *GetRecords() const { return records_; }
  TRENDREC *Records() { return records_; }
  int GetOverlayCount(int slot) const;
  const TRENDREC *GetOverlayRecords(int slot) const;
  TRENDREC *OverlayRecords(int slot) { return slot >= 0 && slot < kTrendOverlaySlots ? overlayRecords_[slot] : nullptr; }
  const TRENDPOINT *GetPoints() const { return points_; }
  const TRENDPOINT *GetOverlayPoints(int slot) const;
  int GetOverlayPointCount(int slot) const;
  // Null when the day has no second line (no minute with volume) or no
  // advance-decline bars.
  const TRENDPOINT *GetSecondLine() const { return secondLineShown_ ? secondLine_ : nullptr; }
  const TRENDPOINT *GetAdvanceDeclineBars() const { return adCount_ > 0 ? adBars_ : nullptr; }
  const TRENDPOINT *GetVolumeBars() const { return volumeBars_; }
  const TRENDPOINT *GetOpenInterestLine() const { return oiLine_; }
  int GetPointCount() const { return pointCount_; }
  int GetAdvanceDeclineCount() const { return adCount_; }
  const GRIDLINE *GetPriceGrid() const { return priceGrid_; }
  int GetPriceGridCount() const { return priceGridCount_; }
  const GRIDLINE *GetVolumeGrid() const { return volumeGrid_; }
  int GetVolumeGridCount() const { return volumeGridCount_; }
  const TIMELINE *GetTimeGrid() const { return timeLines_; }
  TIMELINE *TimeGrid() { return timeLines_; }
  int GetTimeGridCount() const { return timeLineCount_; }
  const TIMELABEL *GetTimeLabels() const { return timeLabels_; }
  int GetTimeLabelCount() const { return timeLabelCount_; }
  // Pane corner, price area and volume area; (-16, -16) when the pane is
  // too small for text.
  const POINT *GetTitleAnchors() const { return anchors_; }
  void GetVolumePaneSpan(int *top, int *bottom) const;
  void GetVolumePaneRect(TRENDRECT *rect) const;
  int FindIndexOverlay(const VIEW_ATTR_13 &attr) const;
  const TIMESLOT *GetTimeAxis() const { return axis_; }
  int GetTimeAxisCount() const { return int(axisCount_); }

  // ---- fields the multi-day model and the view set ----
  int32_t decimals = 0;
  uint32_t divisor = 0;
  POINT frame[4] = {};  // top of the price area, price/volume separator
  float ratio = 0.7f;
  uint32_t highPrice = 0, lowPrice = 0;
  float highVolume = 0, highOpenInterest = 0, lowOpenInterest = 0;
  uint32_t basePrice = 0;
  int32_t splitY = 0;
  int32_t position = 1;  // 1 only day, 2 first of several, 4 middle, 3 last
  char dayLabel[10] = {};
  TRENDRECT pricePane, volumePane;
  uint8_t history = 0;
  uint32_t gridStep = 0;
  float dayHighAmount = 0, dayLowAmount = 0;
  PackedDateTime date = 0;
  uint8_t hasOverlays = 0;
  int32_t overlaySlots = 0;
  uint32_t dayReference = 0;
  STKPTR mainStock;
  STKPTR overlayStocks[kTrendOverlaySlots];

 private:
  bool EnsureRecords(TRENDREC **buffer);
  bool EnsurePoints(TRENDPOINT **points, int capacity, const char *message);
  bool BuildMergedTimeAxis(const MKINFO &info, int kind);
  void StampSlots(const MKINFO &info, int kind, int n, TIMESLOT *out) const;
  void BuildPricePane(const VIEW_ATTR_13 &attr, int halfCount);
  void BuildVolumePane(const VIEW_ATTR_13 &attr);
  void BuildPriceGrid(int h, int halfCount, uint32_t unit);
  void BuildTimeGrid(const MKINFO &info, int market, int kind, int n, int w, int priceBottom);
  void BuildSecondLine(const VIEW_ATTR_13 &attr, uint32_t unit);
  int SlotX(int slot, int n, int w) const;
  int ClampX(int x) const;

  TRENDRECT pane_;
  int32_t leftMargin_ = 0, rightMargin_ = 0, m_ = 0, volumeBottom_ = 0, labelWidth_ = 0;

  TRENDREC *records_ = nullptr;
  int32_t count_ = 0;
  TRENDREC *overlayRecords_[kTrendOverlaySlots] = {};
  int32_t overlayCount_[kTrendOverlaySlots] = {};

  TIMESLOT *axis_ = nullptr;
  uint32_t axisCapacity_ = 0;
  uint32_t axisCount_ = 0;
  TIMESLOT *stamps_ = nullptr;  // working stamps of one instrument's slots

  TRENDPOINT *points_ = nullptr;
  TRENDPOINT *overlayPoints_[kTrendOverlaySlots] = {};
  TRENDPOINT *volumeBars_ = nullptr;
  TRENDPOINT *secondLine_ = nullptr;
  TRENDPOINT *adBars_ = nullptr;
  TRENDPOINT *oiLine_ = nullptr;
  int32_t pointCount_ = 0;
  int32_t overlayPointCount_[kTrendOverlaySlots] = {};
  int32_t adCount_ = 0;
  bool secondLineShown_ = false;

  GRIDLINE priceGrid_[kTrendGridCapacity] = {};
  GRIDLINE volumeGrid_[kTrendGridCapacity] = {};
  TIMELINE timeLines_[kTrendGridCapacity] = {};
  int32_t priceGridCount_ = 0, timeLineCount_ = 0, volumeGridCount_ = 0;
  TIMELABEL timeLabels_[kTrendTimeLabelCapacity] = {};
  int32_t timeLabelCount_ = 0;
  POINT anchors_[3] = {};
};
