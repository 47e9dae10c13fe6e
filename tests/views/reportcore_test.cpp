#include "views/reportcore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "testing/fake_clock.h"
#include "testing/report_world.h"

using testing_support::ReportWorld;

namespace {

const char kUserBlocks[] =
    "[FileInfo]\r\nVersion=1\r\n"
    "[自选一]\r\nI1=SH 600000\r\nI2=XX 123456\r\nI3=SZ 000001\r\nI4=DL M05\r\n"
    "[满的]\r\n";

class ReportCoreTest : public testing::Test {
 protected:
  ReportCoreTest() : world_(0, kUserBlocks) {
    for (int m = 0; m < 4; ++m)
      for (int s = 0; s < MarketTable.markets[m]->m_loadedCount; ++s) world_.PutQuote(m, s);
  }
  std::vector<int> Rows() const {
    std::vector<int> out;
    for (int i = 0; i < core_.rowCount; ++i) out.push_back(core_.rows[i].market * 100 + core_.rows[i].stock);
    return out;
  }
  // A ranking answer: one record per row, {market, stock, A, B[, C]}.
  std::string Answer(const std::vector<std::vector<float>> &records, int size) {
    std::string bytes;
    for (const auto &r : records) {
      uint8_t record[15] = {};
      record[0] = uint8_t(r[0]);
      uint16_t stock = uint16_t(r[1]);
      std::memcpy(record + 1, &stock, 2);
      for (size_t i = 2; i < r.size(); ++i) std::memcpy(record + 3 + 4 * (i - 2), &r[i], 4);
      bytes.append(reinterpret_cast<char *>(record), size_t(size));
    }
    world_.Box().Write("tmp/answer.tmp", bytes.data(), bytes.size());
    return world_.Box().Path("tmp/answer.tmp");
  }

  ScopedFakeClock clock_;
  ReportWorld world_;
  TReportCore core_;
};

TEST_F(ReportCoreTest, HiddenCodesHideWholeItemsOnly) {
  BLOCK *sh = world_.Block("上海");
  ASSERT_NE(sh, nullptr);
  world_.Box().WriteText("user/HideCode.ini", "[Hide]\r\n上海=60003,000300\r\n");
  core_.LoadRows(sh);
  EXPECT_EQ(Rows(), (std::vector<int>{0, 1, 2}));  // 600036 is not hidden by "60003"

  ASSERT_TRUE(core_.HideRow(sh, 1));  // 600000
  EXPECT_EQ(Rows(), (std::vector<int>{0, 2}));
  core_.rows[0] = REPORTROW{0, 1, 1, 1, 0, 0};  // shown again: hiding it twice writes it once
  ASSERT_TRUE(core_.HideRow(sh, 0));
  EXPECT_EQ(world_.Box().Read("user/HideCode.ini"), "[Hide]\r\n上海=60003,000300,600000\r\n");
  core_.LoadRows(sh);
  EXPECT_EQ(Rows(), (std::vector<int>{0, 2}));
  TReportCore::UnhideAll(sh);
  core_.LoadRows(sh);
  EXPECT_EQ(core_.rowCount, 4);

  // User blocks never hide codes.
  BLOCK *mine = world_.Block("自选一");
  EXPECT_FALSE(core_.HideRow(mine, 0));
}

TEST_F(ReportCoreTest, SortRequestByBlockIdOrByTheFirst320Members) {
  ReportSortRequest request;
  BLOCK *sh = world_.Block("上海");
  core_.sortColumn = 22;
  ASSERT_TRUE(core_.BuildSortRequest(sh, &request));
  EXPECT_EQ(request.sortKind, 7);
  EXPECT_EQ(request.codes, nullptr);
  EXPECT_EQ(request.count, uint32_t(sh->blockId));

  BLOCK *big = world_.Block("满的");
  for (int i = 0; i < 400; ++i) big->members[i] = BLOCKMEMBER{2, 0, uint16_t(i % 4), uint16_t(i), 0, 0};
  big->memberCount = 400;
  core_.sortColumn = 58;
  ASSERT_TRUE(core_.BuildSortRequest(big, &request));
  EXPECT_EQ(request.sortKind, 10);
  EXPECT_EQ(request.count, 320u);
  ASSERT_NE(request.codes, nullptr);
  EXPECT_EQ(request.codes[5].stock, 1);
  delete[] request.codes;
  big->memberCount = 0;
  EXPECT_FALSE(core_.BuildSortRequest(big, &request));
}

TEST_F(ReportCoreTest, SortAnswersByColumn) {
  BLOCK *dl = world_.Block("大连");
  // Change: (A - B) / divisor, descending; a short file leaves the last rows at 0.
  core_.sortColumn = 10;
  ASSERT_TRUE(core_.LoadSortAnswer(dl, Answer({{2, 0, 1000, 2000}, {2, 1, 5000, 1000}, {2, 2, 3000, 1000}}, 11).c_str()));
  EXPECT_EQ(Rows(), (std::vector<int>{201, 202, 203, 200}));  // -1 sorts below the missing 0
  EXPECT_DOUBLE_EQ(core_.values[0], 4.0);

  // Direction 0: rows without a value get 1e15 and sort last.
  core_.direction = 0;
  ASSERT_TRUE(core_.LoadSortAnswer(dl, Answer({{2, 0, 1000, 2000}, {2, 1, 5000, 1000}}, 11).c_str()));
  EXPECT_EQ(Rows(), (std::vector<int>{200, 201, 202, 203}));
  core_.direction = 1;

  // Volume ratio: an average of 0.005 or 1e9 keeps 1.0.
  core_.sortColumn = 13;
  ASSERT_TRUE(core_.LoadSortAnswer(dl, Answer({{2, 0, 10, 0.005f}, {2, 1, 10, 1e9f}, {2, 2, 0, 100}, {2, 3, 1e6f, 1}}, 11).c_str()));
  EXPECT_EQ(Rows()[0], 203);
  EXPECT_DOUBLE_EQ(core_.values[1], 1.0);
  EXPECT_DOUBLE_EQ(core_.values[2], 1.0);
  EXPECT_DOUBLE_EQ(core_.values[3], 0.0);

  // Strength carries one leading record that is skipped.
  world_.Quote(2, 0).last = 0;  // the market's first instrument has no trade: I = 0
  core_.sortColumn = 14;
  ASSERT_TRUE(core_.LoadSortAnswer(
      dl, Answer({{9, 9, 99999, 1}, {2, 0, 90, 100}, {2, 1, 110, 100}, {2, 2, 100, 100}, {2, 3, 120, 100}}, 11).c_str()));
  EXPECT_EQ(Rows(), (std::vector<int>{203, 201, 202, 200}));

  // Amplitude reads 15-byte records.
  core_.sortColumn = 12;
  ASSERT_TRUE(core_.LoadSortAnswer(dl, Answer({{2, 0, 12, 10, 100}, {2, 1, 30, 10, 100}, {2, 2, 11, 10, 0}}, 15).c_str()));
  EXPECT_EQ(Rows()[0], 201);

  // Columns sorted here: the rows stay in block order.
  core_.sortColumn = 1;
  ASSERT_TRUE(core_.LoadSortAnswer(dl, Answer({{2, 3, 1, 1}}, 11).c_str()));
  EXPECT_EQ(Rows(), (std::vector<int>{200, 201, 202, 203}));

  EXPECT_FALSE(core_.LoadSortAnswer(dl, world_.Box().Path("tmp/none.tmp").c_str()));
}

TEST_F(ReportCoreTest, RecordsNamingInstrumentsOutsideTheTableAreSkipped) {
  BLOCK *sh = world_.Block("上海");
  // Fast change: a record naming market 40 or stock 9000 must not write into
  // any quote; its row keeps the value computed from the record alone.
  core_.sortColumn = 21;
  ASSERT_TRUE(core_.LoadSortAnswer(
      sh, Answer({{40, 0, 110, 100}, {0, 9000, 120, 100}, {0, 2, 105, 100}, {0, 3, 101, 100}}, 11).c_str()));
  EXPECT_FLOAT_EQ(world_.Quote(0, 2).fastChange, 5.0f);
  EXPECT_FLOAT_EQ(world_.Quote(0, 3).fastChange, 1.0f);
  EXPECT_FLOAT_EQ(world_.Quote(0, 0).fastChange, 0.0f);
  EXPECT_EQ(Rows(), (std::vector<int>{1, 0, 2, 3}));

  // Turnover rate from the finance record the answer names: out of range, no value.
  world_.Finance(0, 1).floatShares = 10;
  core_.sortColumn = 22;
  ASSERT_TRUE(core_.LoadSortAnswer(sh, Answer({{0, 60000, 500}, {0, 1, 50}, {47, 1, 900}}, 8).c_str()));
  EXPECT_EQ(Rows()[0], 1);
  EXPECT_DOUBLE_EQ(core_.values[0], 5.0);
  EXPECT_DOUBLE_EQ(core_.values[1], 0.0);
}

TEST_F(ReportCoreTest, QuotesFlashFor16Ticks) {
  core_.LoadRows(world_.Block("大连"));
  core_.tickCounter = 64990;
  EXPECT_EQ(core_.OnQuote(2, 2, kChangedLast | kChangedBid), 2);
  EXPECT_EQ(core_.OnQuote(0, 1, kChangedLast), -1);  // not shown
  for (int i = 0; i < 15; ++i) core_.Tick();  // 1.5 s, across the wrap at 65000
  EXPECT_EQ(core_.tickCounter, 5);
  EXPECT_TRUE(core_.IsCellFlashing(6, 2));
  EXPECT_TRUE(core_.IsCellFlashing(25, 2));
  EXPECT_FALSE(core_.IsCellFlashing(26, 2));
  EXPECT_FALSE(core_.IsCellFlashing(3, 2));
  core_.Tick();  // 1.6 s
  EXPECT_FALSE(core_.IsRowFlashing(2));
  EXPECT_EQ(core_.rows[2].changedMask, 0u);
  core_.OnQuote(2, 2, 0);  // no change: no new stamp
  EXPECT_FALSE(core_.IsCellFlashing(6, 2));
}

TEST_F(ReportCoreTest, PagingWrapsAndGroupJumpFindsTheMostActiveContract) {
  core_.rowCount = 0;
  for (int i = 0; i < 25; ++i) core_.rows[core_.rowCount++] = REPORTROW{2, 0, uint16_t(i % 4), uint16_t(i), 0, 0};
  int top = 1, selected = 3;
  core_.PageMove(true, 10, &top, &selected);  // G = 26
  EXPECT_EQ(top, 11);
  EXPECT_EQ(selected, 13);
  core_.PageMove(true, 10, &top, &selected);
  EXPECT_EQ(top, 16);  // the last page starts at G - V
  core_.PageMove(true, 10, &top, &selected);
  EXPECT_EQ(top, 1);  // wraps to the first page
  EXPECT_EQ(selected, 3);
  core_.PageMove(false, 10, &top, &selected);
  EXPECT_EQ(top, 16);  // PageUp at the top wraps to the end
  selected = 1;
  core_.LineMove(false, &selected);
  EXPECT_EQ(selected, 25);
  core_.LineMove(true, &selected);
  EXPECT_EQ(selected, 1);

  // DL sorted by code: C01, C05, M01, M05; groups "C0", "M0" by the first
  // four bytes ("C01" and "C05" differ in the third: groups of one).
  std::strcpy(world_.Info(2, 0).code, "M2401");
  std::strcpy(world_.Info(2, 1).code, "M2405");
  std::strcpy(world_.Info(2, 2).code, "C2401");
  std::strcpy(world_.Info(2, 3).code, "C2405");
  core_.rowCount = 4;
  const int order[] = {2, 3, 0, 1};  // C2401 C2405 M2401 M2405
  for (int i = 0; i < 4; ++i) core_.rows[i] = REPORTROW{2, 0, uint16_t(order[i]), uint16_t(i), 0, 0};
  world_.Quote(2, 1).volume = 50000;  // M2405 is the most active M contract
  world_.Quote(2, 3).volume = 90000;  // C2405 the most active C contract
  EXPECT_EQ(core_.GroupJumpRow(0, true), 3);   // from C2401 to M2405
  EXPECT_EQ(core_.GroupJumpRow(3, true), 1);   // past the end: C2405
  EXPECT_EQ(core_.GroupJumpRow(1, false), 3);  // before the start: the M group
  world_.Quote(2, 1).volume = 1000;            // a tie: the row nearest the start
  EXPECT_EQ(core_.GroupJumpRow(1, false), 3);
}

TEST_F(ReportCoreTest, DropsIntoUserBlocksKeepUnresolvedMembers) {
  BLOCK *mine = world_.Block("自选一");
  ASSERT_NE(mine, nullptr);
  ASSERT_EQ(mine->memberCount, 3);  // SH 600000, SZ 000001, DL M05
  core_.LoadRows(mine);
  EXPECT_EQ(core_.DropStock(mine, STKPTR(2, 0, 1), 0), TReportCore::kDropMoved);  // M05 to the top
  EXPECT_EQ(Rows(), (std::vector<int>{201, 1, 101}));
  EXPECT_EQ(core_.DropStock(mine, STKPTR(2, 0, 1), -1), TReportCore::kDropMoved);  // below the last row
  EXPECT_EQ(Rows(), (std::vector<int>{1, 101, 201}));
  EXPECT_EQ(core_.DropStock(mine, STKPTR(3, 0, 2), 1), TReportCore::kDropInserted);
  core_.LoadRows(mine);
  EXPECT_EQ(Rows(), (std::vector<int>{1, 302, 101, 201}));
  EXPECT_EQ(mine->members[3].position, 3);
  const std::string file = world_.Box().Read("user/blocks.ini");
  EXPECT_NE(file.find("XX 123456"), std::string::npos) << file;
  EXPECT_NE(file.find("ZJ IF01"), std::string::npos) << file;

  EXPECT_EQ(core_.DropStock(world_.Block("大连"), STKPTR(0, 0, 1), 0), TReportCore::kDropSystemBlock);
  EXPECT_EQ(core_.DropStock(world_.Block("大连"), STKPTR(2, 0, 1), 0), TReportCore::kDropRefused);
  BLOCK *full = world_.Block("满的");
  full->memberCount = kMaxBlockMembers;
  EXPECT_EQ(core_.DropStock(full, STKPTR(0, 0, 1), 0), TReportCore::kDropFull);
  full->memberCount = 0;

  ASSERT_TRUE(core_.DeleteFromUserBlock(mine, 1));
  core_.LoadRows(mine);
  EXPECT_EQ(Rows(), (std::vector<int>{1, 101, 201}));
  EXPECT_EQ(world_.Box().Read("user/blocks.ini").find("ZJ IF01"), std::string::npos);
}

}  // namespace
