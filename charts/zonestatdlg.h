// The interval statistics of a K-line view ("%s 区间统计"): first and last
// price, low and high, volume, amount or open-interest difference, weighted
// average, change, amplitude and turnover of a range of bars, with two
// spinners that move the range's start and end bar. Every range found is
// posted to the owning view as WM_ZONE_STAT_RANGE with the addresses of the
// dialog's own start and end bar times; the view takes them through
// TZoneStatDlg::ReadRange, which answers only while that dialog is alive, so
// that a message still queued after the dialog closed is dropped.
//
// The period code is the agent kind of the chart period: below 7 intraday,
// 7 the daily period. GUI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/datetime.h"
#include "core/xpupdown.h"
#include "market/marketrecords.h"
#include "market/records.h"

constexpr int kZoneStatDailyPeriod = 7;

class TZoneStatDlg : public TForm {
 public:
  // owner: the K-line view (its window receives the ranges); barCount:
  // the view's bar count, read at every spinner step; endTime, startTime:
  // in the display time zone; bars and times: the view's bars and their
  // per-bar times.
  TZoneStatDlg(TWinControl *owner, const int *barCount, PackedDateTime endTime, PackedDateTime startTime,
               const KLINEBAR *bars, const uint32_t *times, int period, STKPTR stock);
  ~TZoneStatDlg() override;

  // Finds the range's bars and fills the fields.
  void Compute();
  void XPUpDown1ChangingEx(TObject *sender, bool &allow, short value, TUpDownDirection direction);
  void XPUpDown2ChangingEx(TObject *sender, bool &allow, short value, TUpDownDirection direction);

  // The range a WM_ZONE_STAT_RANGE carries, when the dialog that posted it
  // is still open; false (nothing written) otherwise.
  static bool ReadRange(WPARAM wParam, LPARAM lParam, PackedDateTime *start, PackedDateTime *end);

  // The value fields, in the order of their labels.
  enum Field {
    kOpen,      // 期初价
    kLow,       // 最低价
    kHigh,      // 最高价
    kClose,     // 期末价
    kVolume,    // 成交量
    kAmount,    // 成交额 or 仓差
    kAverage,   // 加权均价
    kChange,    // 区间涨幅
    kAmplitude, // 区间振幅
    kTurnover,  // 区间换手
    kFieldCount
  };
  std::string FieldText(Field field) const;
  std::string FieldLabel(Field field) const;

  TEdit *StartEdit = nullptr, *EndEdit = nullptr;
  TLabel *CountLabel = nullptr, *PeriodLabel = nullptr;
  TLabel *Labels[kFieldCount] = {};
  TEdit *Fields[kFieldCount] = {};
  TXPUpDown *XPUpDown1 = nullptr, *XPUpDown2 = nullptr;
  TButton *CloseButton = nullptr;

  int32_t StartIndex = -1, EndIndex = -1;
  // The bar times found (market time); WM_ZONE_STAT_RANGE points here.
  PackedDateTime FoundStart = 0, FoundEnd = 0;
  // The shown start and end times.
  PackedDateTime StartTime = 0, EndTime = 0;

 private:
  void ShowTimes();
  void ClearFields();
  void StepBound(bool start, bool up);

  TWinControl *view_;
  const int *barCount_;
  const KLINEBAR *bars_;
  const uint32_t *times_;
  int period_;
  STKPTR stock_;
};
