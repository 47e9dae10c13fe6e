// The position list's stop columns.
#include <gtest/gtest.h>

#include "tests/trading/stop_world.h"
#include "trading/positions.h"
#include "trading/stopcolumns.h"

namespace {

using StopColumnsTest = trading_test::StopWorld;

TEST(StopColumnText, PrintsPriceAndVolumeWithTheDecimalsKeptPrintable) {
  const struct {
    double price;
    int32_t volume;
    int decimals;
    const char *text;
  } cases[] = {
      {3450, 5, 2, "3450.00/5"},   {3450.5, 1, 0, "3450/1"},    {3450.5, 1, 1, "3450.5/1"},
      {3450, 0, 2, ""},            {3450, 2, -3, "3450/2"},     {1.25, 2, 99, "1.250000/2"},
      {1e300, 1, 6, nullptr},  // bounded: the text is cut, never written past
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.price);
    const std::string text = StopColumnText(c.price, c.volume, c.decimals);
    if (c.text)
      EXPECT_EQ(text, c.text);
    else
      EXPECT_LT(text.size(), 64u);
  }
}

TListModel RowsOf(std::initializer_list<int32_t> data) {
  TListModel rows;
  for (int32_t d : data) {
    TListRow row;
    row.data = d;
    row.items.resize(kPosColumns);
    rows.rows.push_back(row);
  }
  return rows;
}

TEST_F(StopColumnsTest, OnlyRowsOfTheSamePositionGetItsStopsAndStrayRowsAreIgnored) {
  AddPosition('2', 4, 2, "M2401", STKPTR());
  AddPosition('2', 2, 1, "M2401", STKPTR());   // yesterday's part: same holder
  AddPosition('3', 1, 1, "M2401", STKPTR());   // the other side
  InvestorPosition_Lite &p = desk_.positions.GetData()[0];
  // A take-profit without stop.
  ASSERT_TRUE(p.AddStop(desk_.positions, 2, 0, 0, 3600, 0, 0, 0));
  TListModel rows = RowsOf({0, 1, 2, 7, -1});
  rows.rows[3].items.assign(kPosColumns, "keep");
  rows.rows[4].items.assign(kPosColumns, "keep");
  UpdatePositionStopColumns(rows, desk_.positions, p);
  for (int i : {0, 1}) {
    EXPECT_EQ(rows.rows[size_t(i)].items[kPosStop], "");
    EXPECT_EQ(rows.rows[size_t(i)].items[kPosProfit], "3600.00/2");
  }
  EXPECT_EQ(rows.rows[2].items[kPosProfit], "");
  EXPECT_EQ(rows.rows[3].items[kPosProfit], "keep");
  EXPECT_EQ(rows.rows[4].items[kPosProfit], "keep");

  // Only the given row.
  ASSERT_TRUE(p.AddStop(desk_.positions, 3, 3400, 0, 0, 0, 0, 0));
  UpdatePositionStopColumns(rows, desk_.positions, p, 1);
  EXPECT_EQ(rows.rows[0].items[kPosStop], "");
  EXPECT_EQ(rows.rows[1].items[kPosStop], "3400.00/3");
  UpdatePositionStopColumns(rows, desk_.positions, p, 40);  // past the list: nothing
}

}  // namespace
