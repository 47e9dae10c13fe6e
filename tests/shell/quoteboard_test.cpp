#include "shell/quoteboard.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(QuoteBoard, PricesSplitIntoHeadAndTail) {
  struct Case {
    uint32_t price, divisor;
    int decimals;
    const char *head, *tail;
  } cases[] = {
      {1234500, 1000, 1, "123", "4.5"}, {1250, 1000, 2, "1.", "25"}, {12000, 1000, 0, "", "12"},
      {123000, 1000, 0, "1", "23"},     {5, 0, 3, "0.0", "05"},     {0, 1000, 0, "", "0"},
  };
  for (const Case &c : cases) {
    const TBoardPrice p = SplitBoardPrice(c.price, c.divisor, c.decimals);
    EXPECT_EQ(p.head, c.head) << c.price;
    EXPECT_EQ(p.tail, c.tail) << c.price;
  }
}

std::vector<STKMS> Members(int count) {
  std::vector<STKMS> out;
  for (int i = 0; i < count; ++i) out.push_back(STKMS{uint8_t(2), uint16_t(100 + i)});
  return out;
}

TEST(QuoteBoard, SevenMembersInTwoColumnsAndThreeRowsShowSixCards) {
  TQuoteBoardLayout board;
  board.columnWidth = 100;
  board.rowHeight = 50;
  board.gridHeight = 170;  // three rows fit
  board.columns = 2;
  const std::vector<STKMS> members = Members(7);
  board.Layout(true, true, 7);
  EXPECT_EQ(board.gridWidth, 200);
  EXPECT_EQ(board.rows, 3);
  EXPECT_EQ(board.VisibleCard(members.data(), 7, 2, 105), 5);
  EXPECT_EQ(board.VisibleCard(members.data(), 7, 2, 106), -1) << "the 7th gets no card and no repaint";
  EXPECT_EQ(board.VisibleCard(members.data(), 7, 1, 100), -1) << "another market";
  board.gridHeight = 400;
  board.Layout(true, true, 7);
  EXPECT_EQ(board.rows, 4);
  board.Layout(true, false, 0);
  EXPECT_EQ(board.rows, 1) << "without a block one row";
  board.gridHeight = 10;
  board.Layout(true, true, 7);
  EXPECT_EQ(board.rows, 1) << "at least one row";
}

TEST(QuoteBoard, ColumnsFollowTheWidthAndTheFrame) {
  TQuoteBoardLayout board;
  board.columnWidth = 100;
  board.rowHeight = 50;
  struct Case {
    int gridWidth, columns, widthAfter;
  } cases[] = {{250, 2, 250}, {420, 3, 420}, {99, 1, 100}, {150, 1, 150}};
  for (const Case &c : cases) {
    board.gridWidth = c.gridWidth;
    board.Layout(false, true, 10);
    EXPECT_EQ(board.columns, c.columns) << c.gridWidth;
    EXPECT_EQ(board.gridWidth, c.widthAfter) << c.gridWidth;
  }
  EXPECT_TRUE(board.ColumnsFit(3, 331));
  EXPECT_FALSE(board.ColumnsFit(3, 330)) << "\"3列\" refused when it does not fit";
  board.columns = 3;
  board.FitFrame(400);
  EXPECT_EQ(board.columns, 2);
  board.FitFrame(100);
  EXPECT_EQ(board.columns, 1);
}

TEST(QuoteBoard, ACardIsNeverNarrowerThanItIsHigh) {
  TQuoteBoardLayout board;
  MeasureBoardCell(48, 12, 48, 12, 24, 16, 18, 20, 60, 12, &board);
  EXPECT_EQ(board.rowHeight, int((20 + 12 + 12 + 12) * 1.4 + 0.5));
  EXPECT_EQ(board.columnWidth, std::max(120, board.rowHeight));
  MeasureBoardCell(10, 12, 10, 12, 5, 16, 5, 20, 5, 12, &board);
  EXPECT_EQ(board.columnWidth, board.rowHeight);
}

}  // namespace
