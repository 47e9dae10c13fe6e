// The arithmetic of the K-line view that needs no window: window shares and
// layout, bar geometry by zoom level, period texts and history files, the
// time axis of a spread, ex-rights adjustment, information markers and
// ex-rights texts, legend names and time-axis labels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "market/datafile.h"
#include "market/records.h"
#include "platform/windef.h"

class CKvIndex;

constexpr int kKLineMaxWindows = 6;
constexpr int kKLineMaxZoom = 28;
constexpr int kKLineTitleHeight = 18;
constexpr int kKLineAxisHeight = 16;
constexpr int kKLineLegendHeight = 17;
constexpr int kKLineInfoRecordSize = 256;
constexpr int kKLineInfoKept = 128;
constexpr int kKLineWeightRecordSize = 36;

// Bar width and gap of a zoom level (levels outside 0..28 are held to it).
double KLineBarWidth(int zoom);
double KLineBarGap(int zoom);
inline double KLinePitch(int zoom) { return KLineBarWidth(zoom) + KLineBarGap(zoom); }

// The default shares of n windows (1..6; others give one window of 1.0).
void KLineDefaultShares(int n, double *heights);
// The window rectangles of the chart: an 18-pixel title strip, n windows
// stacked by their shares, a 16-pixel time-axis strip; the last window takes
// what rounding leaves.
void KLineLayoutWindows(const RECT &chart, const double *heights, int n, RECT *rects);

// "日线", "15分", ..., with "%d分" and "%d天" for the custom periods.
std::string KLinePeriodText(int period, uint32_t periodCount);
// Day-based periods (8 to 12): bar times carry no hour and minute.
inline bool KLineDayPeriod(int period) { return period >= 8 && period <= 12; }
// The history cache file a refresh of the period deletes.
CacheKind KLineHistoryFile(int period, uint32_t periodCount);

// The first index whose value is not below key (count when all are).
uint32_t LowerBoundU32(const uint32_t *values, uint32_t count, uint32_t key);
// Merges the times of a series into an ascending time axis, each time once.
void MergeTimes(std::vector<uint32_t> &axis, const KLINEBAR *bars, uint32_t count);

// One ex-rights record of the weight file.
#pragma pack(push, 1)
struct KLineWeight {
  uint32_t date;          // PackedDateTime, hour and minute 0
  uint32_t bonus;         // shares per 10 x 10000
  uint32_t rights;        // shares per 10 x 10000
  uint32_t rightsPrice;   // price units
  uint32_t dividend;      // per 10 shares, price units
  uint32_t capitalised;   // shares per 10 x 10000
  uint32_t totalShares;   // 10000 shares
  uint32_t floatShares;   // 10000 shares
  uint32_t unused;
};
#pragma pack(pop)
static_assert(sizeof(KLineWeight) == kKLineWeightRecordSize);

// Ex-rights adjustment of the prices (open, high, low, close) of bars.
// Forward brings older prices to today's share basis, backward newer ones
// to the basis before the first event. Results are held to 0..2^32 - 1.
void AdjustBarsForward(KLINEBAR *bars, uint32_t count, const KLineWeight *weights, uint32_t weightCount);
void AdjustBarsBackward(KLINEBAR *bars, uint32_t count, const KLineWeight *weights, uint32_t weightCount);

// Information markers: records with a YYYYMMDD date at +3 and a title at +11.
uint32_t InfoRecordDate(const uint8_t *record);
// The last record dated at or before end when it is not before start; -1.
int FindInfoMarker(const uint8_t *records, uint32_t count, uint32_t start, uint32_t end);
bool InfoMarkerText(const uint8_t *records, uint32_t count, uint32_t start, uint32_t end, char *buffer,
                    size_t size);
bool HasWeightInSpan(const KLineWeight *weights, uint32_t count, uint32_t start, uint32_t end);
bool WeightText(const KLineWeight *weights, uint32_t count, uint32_t start, uint32_t end, uint32_t divisor,
                int decimals, char *buffer, size_t size);

// The legend name of an output line: prefix_P_rest shows as the prefix and
// the value of parameter P; other names as they are.
std::string KLineLegendName(const CKvIndex &formula, const char *name);
// A formula gets no legend title when one of its named lines carries a
// parameter in its name.
bool KLineLegendHasParamName(const CKvIndex &formula);

// One time-axis label.
struct KLineTimeLabel {
  int x;
  std::string text;
};
// The labels of the visible positions first + 1 .. end - 1 (times already
// in local time): a label when the month (day periods) or the day changes
// and it stands more than max(70, last width + 10) pixels after the last
// one. centre(i) gives the bar centre, width(text) a text width.
std::vector<KLineTimeLabel> KLineTimeLabels(const uint32_t *times, uint32_t first, uint32_t end, bool dayPeriod,
                                            int plotLeft, int rightLimit, const std::function<int(uint32_t)> &centre,
                                            const std::function<int(const std::string &)> &width);
