// The price-volume statistics of the information panel's second tab: the
// day's traded volume per price, split into buyer- and seller-initiated
// volume, the shares of the eight futures trade natures and the average
// prices of the two sides, over the trades of a chosen range (a least
// volume and the whole day, the last N minutes or a time window). The
// statistics are counted from the trade-detail series when a paint finds
// new trades or another range or instrument; the view (TDrawView,
// pricevolume.cpp) draws them. TPriceVolumeSettingDialog
// edits the range.
#pragma once

#include <cstdint>
#include <map>

#include "classlib/forms.h"
#include "classlib/scrollbar.h"
#include "classlib/stdctrls.h"
#include "core/datetime.h"
#include "core/datetimepicker.h"
#include "market/records.h"

// Indexes of the nature shares.
enum PriceVolumeShare {
  kShareLongTurnover,    // 多换
  kShareShortTurnover,   // 空换
  kShareBothOpen,        // 双开
  kShareBothClose,       // 双平
  kShareLongOpen,        // 多开
  kShareShortOpen,       // 空开
  kShareLongClose,       // 多平
  kShareShortClose,      // 空平
  kShareLongOpenTurn,    // the turnover part of 多开
  kShareLongCloseTurn,   // of 多平
  kShareShortOpenTurn,   // of 空开
  kShareShortCloseTurn,  // of 空平
  kShareCount
};

// What the statistics count: trades of at least volumeLimit trading units,
// and by timeMode 0 every trade, 1 the last param1 minutes before the last
// trade, 2 the trades from param1 to param2 (HHMM, the end minute
// included) on the first trade's date.
struct TPriceVolumeRange {
  int32_t volumeLimit = 0;
  int32_t timeMode = 0;
  int32_t param1 = 0, param2 = 0;
  bool operator==(const TPriceVolumeRange &) const = default;
};

// The instrument's side of the statistics.
struct TPriceVolumeInstrument {
  int32_t volumeUnit = 1;             // trading unit (0 or less counts as 1)
  double divisor = 1000;              // price divisor
  int marketType = 0;                 // 2: the nature shares are counted
  float previousOpenInterest = 0;     // the open interest before the first trade
  bool operator==(const TPriceVolumeInstrument &) const = default;
};

struct TPriceVolumeFigures {
  int32_t maxSideVolume = 0, maxVolume = 0;
  float shares[kShareCount] = {};
  double buyAverage = 0, sellAverage = 0;  // in price units (over the divisor)
  double buyVolume = 0, sellVolume = 0;
};

// The time window of a range for a series whose first and last trades are at
// first and last: [start, end) with end 0 meaning no end. Mode 0 gives
// [0, 0) (everything).
void PriceVolumeWindow(const TPriceVolumeRange &range, PackedDateTime first, PackedDateTime last,
                       PackedDateTime *start, PackedDateTime *end);

// Empties the maps and counts the trades into them and the figures.
void BuildPriceVolumeStats(const TICKREC *trades, int count, const TPriceVolumeRange &range,
                           const TPriceVolumeInstrument &instrument, std::map<int, int> &buy,
                           std::map<int, int> &sell, std::map<int, int> &all, TPriceVolumeFigures *figures);

// The price of the map nearest to target (the lower of two as near); 0 for
// an empty map.
int NearestPriceVolumePrice(const std::map<int, int> &prices, int target);

// "价量分布图设置": the range of the statistics.
class TPriceVolumeSettingDialog : public TForm {
 public:
  explicit TPriceVolumeSettingDialog(TComponent *owner);

  void FormCreate();
  // Checks the input; a failure warns and keeps the dialog open.
  void OKClick(TObject *sender = nullptr);
  // The range the dialog holds (valid after a successful OK).
  TPriceVolumeRange ChosenRange() const;
  // Shows a range.
  void ShowRange(const TPriceVolumeRange &range);

  TGroupBox *GroupBox1 = nullptr;
  TEdit *VolumeLimit = nullptr, *TimeLimit = nullptr;
  TUpDown *VolumeUpDown = nullptr, *TimeUpDown = nullptr;
  TRadioButton *All = nullptr, *Near = nullptr, *Range = nullptr;
  TDateTimePicker *StartTime = nullptr, *EndTime = nullptr;
  TCheckBox *Default = nullptr;
  TButton *OK = nullptr, *CANCEL = nullptr;
};

// Writes the range as the default of new views ([PVStatistic] of the user's
// "defui.ini").
void SavePriceVolumeDefaults(const TPriceVolumeRange &range);
