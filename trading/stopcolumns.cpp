#include "trading/stopcolumns.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "market/dataio5.h"
#include "trading/positions.h"

std::string StopColumnText(double price, int32_t volume, int decimals) {
  if (volume == 0) return {};
  // The instrument's decimals come from market data: keep them printable.
  decimals = std::clamp(decimals, 0, 6);
  char text[64];
  snprintf(text, sizeof text, "%.*f/%i", decimals, price, int(volume));
  return text;
}

int PositionDecimals(const InvestorPosition_Lite &p) {
  if (p.Stock.IsNone()) return 2;
  const STKINFO *info = GetStockInfo(p.Stock);
  return info ? std::clamp<int>(info->decimals, 0, 6) : 2;
}

namespace {

bool SamePosition(const InvestorPosition_Lite &a, const InvestorPosition_Lite &b) {
  return strncmp(a.InstrumentID, b.InstrumentID, sizeof a.InstrumentID) == 0 && a.PosiDirection == b.PosiDirection &&
         a.HedgeFlag == b.HedgeFlag;
}

}  // namespace

void UpdatePositionStopColumns(TListModel &rows, const EArray<InvestorPosition_Lite> &positions,
                               const InvestorPosition_Lite &p, int rowIndex) {
  double stop = 0, profit = 0;
  int32_t stopVolume = 0, profitVolume = 0;
  p.BestStopAndProfit(&stop, &stopVolume, &profit, &profitVolume);
  const int decimals = PositionDecimals(p);
  const std::string stopText = StopColumnText(stop, stopVolume, decimals);
  const std::string profitText = StopColumnText(profit, profitVolume, decimals);
  const int count = int(rows.rows.size());
  const int first = rowIndex < 0 ? 0 : rowIndex, last = rowIndex < 0 ? count : std::min(rowIndex + 1, count);
  for (int i = first; i < last; ++i) {
    TListRow &row = rows.rows[size_t(i)];
    if (row.data < 0 || row.data >= positions.GetCount()) continue;
    if (!SamePosition(positions.GetData()[row.data], p)) continue;
    if (row.items.size() < size_t(kPosColumns)) row.items.resize(kPosColumns);
    row.items[kPosStop] = stopText;
    row.items[kPosProfit] = profitText;
  }
}
