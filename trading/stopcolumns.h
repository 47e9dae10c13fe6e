// The position list's two stop columns: the nearest stop and the nearest
// take-profit of a position with their summed volumes.
#pragma once

#include <string>

#include "core/earray.h"
#include "trading/deskrecords.h"
#include "trading/orderbook.h"

// "price/volume" with decimals places (kept within 0..6), or empty when the
// volume is 0.
std::string StopColumnText(double price, int32_t volume, int decimals);

// The decimals of the position's instrument, 2 when it has none.
int PositionDecimals(const InvestorPosition_Lite &p);

// Writes the stop columns of every row of rows (or only the row at rowIndex
// when it is not negative) whose record is a position of p's instrument,
// direction and hedge flag; rows pointing outside the array are left alone.
void UpdatePositionStopColumns(TListModel &rows, const EArray<InvestorPosition_Lite> &positions,
                               const InvestorPosition_Lite &p, int rowIndex = -1);
