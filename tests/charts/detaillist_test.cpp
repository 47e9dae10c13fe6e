// The chart base's detail list: the big-order filter, its threshold and the
// broker names of the broker queue.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "chart_world.h"
#include "core/dbase.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "testing/dbf_fixture.h"
#include "testing/temp_folder.h"
#include "trade_fixture.h"

namespace charts_test {
namespace {

TEST(BigOrderThreshold, EnteredTextsAreClamped) {
  struct Case {
    const char *text;
    int32_t value;
  } cases[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"50000", 32767}, {"-5", 0}, {"abc", 0}, {"", 0}};
  for (const Case &c : cases) EXPECT_EQ(ClampBigOrderThreshold(c.text), c.value) << c.text;
}

TEST_F(ChartWorld, BigOrderFilterListsTradesOfAtLeastTheThresholdInUnits) {
  Info(DL, 0).volumeUnit = 10;
  auto page = OpenChart(Stock(DL, 0));
  auto *view = Chart(*page);
  ASSERT_NE(view, nullptr);
  const int32_t id = AcquireDataAgent(Stock(DL, 0), kAgentTicks, 0, view->Handle());
  ASSERT_GE(id, 0);
  view->TradeAgent = id;
  const float volumes[] = {5, 10, 19, 20, 25, 200, 0};
  CDataAgent *a = DataAgentAt(id);
  Free(a->series);
  a->series = Malloc(int32_t(sizeof(TICKREC) * 7));
  auto *trades = static_cast<TICKREC *>(a->series);
  std::memset(trades, 0, sizeof(TICKREC) * 7);
  for (int i = 0; i < 7; ++i) trades[i].volume = volumes[i];
  a->itemSize = int32_t(sizeof(TICKREC));
  a->itemCount = 7;
  a->capacity = 7;

  struct Case {
    int32_t threshold;
    int rows;
    std::vector<int32_t> index;
  } cases[] = {{0, 8, {}}, {1, 8, {}}, {2, 4, {3, 4, 5}}, {20, 2, {5}}, {21, 1, {}}};
  for (const Case &c : cases) {
    view->BigOrderThreshold = c.threshold;
    view->LayoutDetailList(true);
    EXPECT_EQ(view->StringGrid1->RowCount(), c.rows) << c.threshold;
    // A grid with one row has no fixed row.
    EXPECT_EQ(view->StringGrid1->FixedRows(), c.rows > 1 ? 1 : 0) << c.threshold;
    for (size_t k = 0; k < c.index.size(); ++k) EXPECT_EQ(view->DetailIndex[k], c.index[k]) << c.threshold;
  }
  // The index grows past its first capacity.
  std::vector<TICKREC> many(5000);
  for (TICKREC &t : many) t.volume = 100;
  EXPECT_EQ(view->BuildDetailIndex(many.data(), 5000, 20), 5000);
  EXPECT_EQ(view->DetailIndex[4999], 4999);
  ReleaseDataAgent(id, view->Handle());
  view->TradeAgent = -1;
}

class BrokerNames : public testing_support::TempFolderTest {};

TEST_F(BrokerNames, OnlyTheBrokersOwnRowGivesAName) {
  DbfDesc desc;
  desc.fields = {{"IDS", 'N', 6}, {"BROKERNAME", 'C', 40}};
  desc.rows = {{"100", "甲证券"}, {"200", "乙证券"}, {"300", "丙证券"}};
  ASSERT_TRUE(WriteDbf(root_ + "/Brokerlist.dbf", desc));
  TDbfTable table("Brokerlist.dbf");
  ASSERT_TRUE(table.Open(false));
  struct Case {
    BROKERENTRY entry;
    const char *name;
  } cases[] = {{{0, 200}, "乙证券"}, {{0, 100}, "甲证券"}, {{0, 300}, "丙证券"},
               {{0, 250}, ""},       {{0, 50}, ""},        {{0, 999}, ""},
               {{0, 0}, ""},         {{1, 200}, ""}};
  for (const Case &c : cases) {
    table.GoToRow(2);  // a current row that must never show through
    char name[64];
    EXPECT_EQ(FindBrokerName(&table, c.entry, name), c.name[0] != '\0') << int(c.entry.value);
    EXPECT_STREQ(name, c.name) << int(c.entry.value);
  }
  // A missing or corrupt file never opens.
  TDbfTable missing("Nothing.dbf");
  EXPECT_FALSE(missing.Open(false));
  std::string bytes = BuildDbf(desc);
  Put(root_ + "/Corrupt.dbf", bytes.substr(0, 20));
  TDbfTable corrupt("Corrupt.dbf");
  EXPECT_FALSE(corrupt.Open(false));
  char name[64];
  EXPECT_FALSE(FindBrokerName(&corrupt, BROKERENTRY{0, 100}, name));
}

}  // namespace
}  // namespace charts_test

namespace charts_test {
namespace {

// Trades of a futures contract into the view's own trade-detail series.
void FeedDetailTrades(testing_support::TDrawViewDouble *view, int count) {
  if (view->TradeAgent < 0) view->TradeAgent = AcquireDataAgent(view->m_attr.stock, kAgentTicks, 0, view->Handle());
  CDataAgent *a = DataAgentAt(view->TradeAgent);
  ASSERT_NE(a, nullptr);
  Free(a->series);
  a->series = Malloc(int32_t(sizeof(TICKREC)) * count);
  auto *trades = static_cast<TICKREC *>(a->series);
  float openInterest = 1000;
  for (int k = 0; k < count; ++k) {
    openInterest += float(k % 5) - 2;
    trades[k] = MakeTrade(uint32_t(3000000 + 1000 * (k % 7)), float(1 + k % 4), openInterest, uint8_t(k % 3));
  }
  a->itemSize = int32_t(sizeof(TICKREC));
  a->itemCount = count;
  a->capacity = count;
}

TEST_F(ChartWorld, DetailListDrawsTradesTheLockedSelectionAndTheBrokerQueue) {
  PutQuote(DL, 0);
  auto page = OpenChart(Stock(DL, 0), VIEW_TYPE_INTRADAY, 700, 600);
  auto *view = Chart(*page);
  if (!view->N5->Checked) view->N5Click();
  FeedDetailTrades(view, 60);
  view->BigOrderThreshold = 2;
  view->LayoutDetailList(true);
  harness_.Pump();
  ASSERT_EQ(view->StringGrid1->ColCount(), 5);
  harness_.SavePng(harness_.Render(view->StringGrid1), "detail-list-filter");

  // A double click locks the list and frames the selected row.
  view->StringGrid1DblClick();
  ASSERT_TRUE(view->DetailScrollLock);
  const int row = view->StringGrid1->Row();
  ASSERT_GE(row, 1);
  const TRect cell = view->StringGrid1->CellRect(0, row);
  harness_.Pump();
  EXPECT_EQ(harness_.Pixel(view->StringGrid1, cell.Left, cell.Top + cell.Height() / 2), ViewColor(33));
  EXPECT_EQ(harness_.Pixel(view->StringGrid1, cell.Left + 3, cell.Top), ViewColor(33));
  view->StringGrid1DblClick();
  EXPECT_FALSE(view->DetailScrollLock);

  // The broker queue of a market-type-6 instrument.
  auto hk = OpenChart(Stock(HK, 0), VIEW_TYPE_INTRADAY, 700, 600);
  auto *other = Chart(*hk);
  if (!other->N5->Checked) other->N5Click();
  BROKERQUEUE &queue = MarketTable.markets[HK]->m_brokerQueues[0];
  queue = BROKERQUEUE{};
  queue.count[0] = 3;
  queue.count[1] = 500;  // never read past the 40 slots
  queue.side[0][0] = BROKERENTRY{1, 1};
  queue.side[0][1].value = 1234;
  queue.side[0][2].value = 5678;
  for (int i = 0; i < BROKERQUEUE::kSideEntries; ++i) queue.side[1][i].value = uint16_t(2000 + i);
  if (!BrokerTable()) {
    // Without the broker table the queue stays off.
    other->showbrokerClick();
    EXPECT_FALSE(other->BrokerQueueMode);
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, "经纪商序号文件丢失，无法显示经纪队列。  ");
  }
  DbfDesc desc;
  desc.fields = {{"IDS", 'N', 6}, {"BROKERNAME", 'C', 40}};
  desc.rows = {{"1234", "甲证券"}};
  ASSERT_TRUE(WriteDbf(box_.Path("cfg/Brokerlist.dbf"), desc));
  other->showbrokerClick();
  ASSERT_TRUE(other->BrokerQueueMode);
  EXPECT_EQ(other->showbroker->Caption, "显示成交明细(&B)");
  EXPECT_EQ(other->StringGrid1->RowCount(), 41);
  harness_.Pump();
  harness_.SavePng(harness_.Render(other->StringGrid1), "broker-queue");
  other->showbrokerClick();
  EXPECT_FALSE(other->BrokerQueueMode);
}

}  // namespace
}  // namespace charts_test
