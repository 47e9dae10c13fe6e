// The stop entries of the positions: merging, sorting, trimming, the
// nearest stop, holder references, and the stop files in both record
// forms with the legacy settings file and the stale-file rule.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/profile.h"
#include "tests/trading/stop_world.h"

namespace trading_test {
namespace {

using StopStoreTest = StopWorld;

TEST_F(StopStoreTest, AddingMergesEqualPricesOfOneKindUpToOneHundred) {
  struct Add {
    int32_t volume;
    double stop, profit;
    int32_t kind;
  };
  struct Case {
    const char *name;
    std::vector<Add> adds;
    std::vector<int32_t> volumes;
  } cases[] = {
      {"60+50 exceeds 100", {{60, 3500, 0, 0}, {50, 3500, 0, 0}}, {60, 50}},
      {"60+40 is 100", {{60, 3500, 0, 0}, {40, 3500, 0, 0}}, {100}},
      {"thousandths agree", {{1, 3500.0004, 0, 0}, {1, 3500.0, 0, 0}}, {2}},
      {"thousandths differ", {{1, 3500.001, 0, 0}, {1, 3500.0, 0, 0}}, {1, 1}},
      {"permanent and day-valid", {{1, 3500, 0, 0}, {1, 3500, 0, 1}}, {1, 1}},
      {"take-profit only", {{2, 0, 3600, 0}, {3, 0, 3600, 0}}, {5}},
      {"nothing set is ignored", {{2, 0, 0, 0}, {0, 3500, 0, 0}}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    desk_.positions.RemoveAll();
    InvestorPosition_Lite &p = AddPosition('2', 200);
    for (const Add &a : c.adds) EXPECT_TRUE(p.AddStop(desk_.positions, a.volume, a.stop, 0, a.profit, 0, a.kind, 20240115));
    EXPECT_EQ(Volumes(p), c.volumes);
    if (c.adds[1].kind == 1) EXPECT_EQ(p.Stops->First->Next->ExpiryDay, 20240115);
    ReleaseAllStops(desk_);
  }
}

TEST_F(StopStoreTest, TrailingNeedsAStopAndTakesTheLastPriceAsReference) {
  struct Case {
    const char *name;
    double stop;
    uint32_t last;  // 1/1000
    double reference;
    double trailing, wantTrailing, wantReference;
  } cases[] = {
      {"no stop clears the distance", 0, 3510000, 0, 10, 0, 0},
      {"no last price clears the distance", 3500, 0, 0, 10, 0, 0},
      {"last price becomes the reference", 3500, 3510000, 0, 10, 10, 3510},
      {"a given reference stays", 3500, 3510000, 3505, 10, 10, 3505},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    desk_.positions.RemoveAll();
    Quote().last = c.last;
    InvestorPosition_Lite &p = AddPosition('2', 5);
    ASSERT_TRUE(p.AddStop(desk_.positions, 1, c.stop, c.trailing, 3600, c.reference, 0, 0));
    EXPECT_EQ(p.Stops->First->Trailing, c.wantTrailing);
    EXPECT_EQ(p.Stops->First->TrailReference, c.wantReference);
    ReleaseAllStops(desk_);
  }
}

TEST_F(StopStoreTest, SortPutsTheEntryNearestToBeingHitFirst) {
  for (char side : {'2', '3'}) {
    SCOPED_TRACE(side);
    desk_.positions.RemoveAll();
    InvestorPosition_Lite &p = AddPosition(side, 100);
    p.AddStop(desk_.positions, 1, 10, 0, 0, 0, 0, 0);
    p.AddStop(desk_.positions, 2, 0, 0, 20, 0, 0, 0);
    p.AddStop(desk_.positions, 3, 12, 0, 0, 0, 0, 0);
    p.AddStop(desk_.positions, 4, 0, 0, 15, 0, 0, 0);
    p.SortStops();
    if (side == '2')
      EXPECT_EQ(Volumes(p), (std::vector<int32_t>{3, 1, 4, 2}));  // 12, 10, tp 15, tp 20
    else
      EXPECT_EQ(Volumes(p), (std::vector<int32_t>{1, 3, 2, 4}));  // 10, 12, tp 20, tp 15
    ReleaseAllStops(desk_);
  }
}

TEST_F(StopStoreTest, TrimmingTakesTheSurplusFromTheHead) {
  struct Case {
    int32_t position;
    std::vector<int32_t> entries, left;
  } cases[] = {
      {5, {4, 3}, {2, 3}},
      {1, {1, 2}, {1}},
      {7, {4, 3}, {4, 3}},
  };
  for (const Case &c : cases) {
    desk_.positions.RemoveAll();
    InvestorPosition_Lite &p = AddPosition('2', c.position);
    double stop = 3500;
    for (int32_t v : c.entries) p.AddStop(desk_.positions, v, stop -= 1, 0, 0, 0, 0, 0);
    EXPECT_EQ(p.TrimStops(desk_.positions), c.left != c.entries);
    EXPECT_EQ(Volumes(p), c.left);
    ReleaseAllStops(desk_);
  }
  // Take-profit-only entries are cut after the stops, against every entry
  // that has a take-profit.
  desk_.positions.RemoveAll();
  InvestorPosition_Lite &p = AddPosition('2', 3);
  p.AddStop(desk_.positions, 2, 3400, 0, 3600, 0, 0, 0);
  p.AddStop(desk_.positions, 3, 0, 0, 3650, 0, 0, 0);
  EXPECT_TRUE(p.TrimStops(desk_.positions));
  EXPECT_EQ(Volumes(p), (std::vector<int32_t>{2, 1}));
}

TEST_F(StopStoreTest, RecordsOfOneKeyShareTheHolderAndReleaseFreesAtZero) {
  InvestorPosition_Lite &today = AddPosition('2', 3, 2);
  AddPosition('2', 2, 1);
  AddPosition('3', 2, 0);
  ASSERT_TRUE(desk_.positions.GetData()[0].AddStop(desk_.positions, 5, 3500, 0, 0, 0, 0, 0));
  InvestorPosition_Lite *all = desk_.positions.GetData();
  EXPECT_EQ(all[0].Stops, all[1].Stops);
  EXPECT_EQ(all[2].Stops, nullptr);
  EXPECT_EQ(today.Stops->References, 2);
  EXPECT_EQ(all[1].StopCount(), 1);

  StopOrderPointer *copy = StopOrderPointer::Copy(*today.Stops);
  EXPECT_EQ(copy->References, 1);
  EXPECT_EQ(copy->Count(), 1);
  EXPECT_TRUE(copy->Release());  // 1 -> 0: freed
  EXPECT_EQ(copy->First, nullptr);
  copy->References = 0;
  copy->AddEntry(STKPTR(1, 0, 0), 1, 3400, 0, 0, 0, 0, 0);
  EXPECT_TRUE(copy->Release());  // already 0: entries freed, true
  EXPECT_EQ(copy->First, nullptr);
  StopOrderPointer::Destroy(copy);
}

TEST_F(StopStoreTest, NearestStopAndTakeProfitSumTheirPrice) {
  for (char side : {'2', '3'}) {
    desk_.positions.RemoveAll();
    InvestorPosition_Lite &p = AddPosition(side, 100);
    p.AddStop(desk_.positions, 1, 3400, 0, 3600, 0, 0, 0);
    p.AddStop(desk_.positions, 2, 3450, 0, 0, 0, 0, 0);
    p.AddStop(desk_.positions, 3, 3450, 0, 3700, 0, 1, 1);
    p.AddStop(desk_.positions, 4, 3400, 0, 3600, 0, 1, 1);
    double stop, profit;
    int32_t stopVolume, profitVolume;
    p.BestStopAndProfit(&stop, &stopVolume, &profit, &profitVolume);
    if (side == '2') {
      EXPECT_EQ(stop, 3450);
      EXPECT_EQ(stopVolume, 5);
      EXPECT_EQ(profit, 3600);
      EXPECT_EQ(profitVolume, 5);
    } else {
      EXPECT_EQ(stop, 3400);
      EXPECT_EQ(stopVolume, 5);
      EXPECT_EQ(profit, 3700);
      EXPECT_EQ(profitVolume, 3);
    }
    ReleaseAllStops(desk_);
  }
  InvestorPosition_Lite &none = AddPosition('2', 1);
  double stop = 1, profit = 1;
  int32_t stopVolume = 1, profitVolume = 1;
  none.BestStopAndProfit(&stop, &stopVolume, &profit, &profitVolume);
  EXPECT_EQ(stop + profit + stopVolume + profitVolume, 0);
}

// ---- files ----

const std::string kMagic2("kvstop2\0", 8), kMagic1("kvstop1\0", 8);

TEST_F(StopStoreTest, StopFilesLoadByMagicAndAreRewrittenAsTheSecondForm) {
  struct Case {
    const char *name;
    std::string file;
    std::vector<int32_t> volumes;
    std::vector<int32_t> expiries;
  } cases[] = {
      {"first form, permanent", kMagic1 + Record(3500, 0, 0, 0, 2, 0, 48) + Record(3490, 0, 0, 0, 1, 0, 48), {2, 1}, {0, 0}},
      {"yesterday's day entry lapses",
       kMagic2 + Record(3500, 0, 0, 0, 2, 20240112) + Record(3490, 0, 0, 0, 1, 20240115), {1}, {20240115}},
      {"unknown magic", std::string("kvstop9\0", 8) + Record(3500, 0, 0, 0, 2), {}, {}},
      {"partial record", kMagic2 + Record(3500, 0, 0, 0, 2) + Record(3400, 0, 0, 0, 1).substr(0, 30), {2}, {0}},
      {"invalid entry dropped", kMagic2 + Record(3500, 0, 0, 0, 0) + Record(0, 0, 0, 0, 3), {}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ReleaseAllStops(desk_);
    desk_.positions.RemoveAll();
    InvestorPosition_Lite &p = AddPosition('2', 10);
    WriteBytes("stoporder/M240121.sto", c.file);
    EXPECT_FALSE(LoadStopOrders(desk_, 20240115));
    EXPECT_EQ(Volumes(p), c.volumes);
    std::vector<int32_t> expiries;
    for (const StopOrder *e = p.Stops ? p.Stops->First : nullptr; e; e = e->Next) expiries.push_back(e->ExpiryDay);
    EXPECT_EQ(expiries, c.expiries);
    const std::string written = ReadBytes("stoporder/M240121.sto");
    ASSERT_EQ(written.size(), 8 + 56 * c.volumes.size());
    EXPECT_EQ(written.substr(0, 8), kMagic2);
    for (size_t i = 0; i < c.volumes.size(); ++i) EXPECT_EQ(written.substr(8 + 56 * i + 12, 4), std::string(4, '\0'));
  }
}

TEST_F(StopStoreTest, StaleFilesGoAndShortNamesStay) {
  AddPosition('2', 3);
  WriteBytes("stoporder/M240131.sto", kMagic2 + Record(3500, 0, 0, 0, 1));   // short: no position
  WriteBytes("stoporder/CU240521.sto", kMagic2 + Record(3500, 0, 0, 0, 1));  // no position
  WriteBytes("stoporder/AB21.sto", kMagic2 + Record(3500, 0, 0, 0, 1));      // name under 11 characters
  WriteBytes("stoporder/m240121.sto", kMagic2 + Record(3500, 0, 0, 0, 1));   // held, other case
  LoadStopOrders(desk_, 20240115);
  namespace fs = std::filesystem;
  EXPECT_FALSE(fs::exists(AccountPath("stoporder/M240131.sto")));
  EXPECT_FALSE(fs::exists(AccountPath("stoporder/CU240521.sto")));
  EXPECT_TRUE(fs::exists(AccountPath("stoporder/AB21.sto")));
  EXPECT_EQ(desk_.positions.GetData()[0].StopCount(), 1);
}

TEST_F(StopStoreTest, TheLegacyFileWinsOnceAndIsDeleted) {
  AddPosition('2', 4);
  AddPosition('3', 2);
  WriteBytes("stoporder/M240121.sto", kMagic2 + Record(3300, 0, 0, 0, 1));
  box_.WriteText("user/880001/stopordr.ini", "[Stop]\nM240121=3400,5,3600,3410,9\nM240131=3500,5,0,0\n");
  LoadStopOrders(desk_, 20240115);
  const InvestorPosition_Lite *p = desk_.positions.GetData();
  EXPECT_EQ(Stops(p[0]), std::vector<double>{3400});
  EXPECT_EQ(Volumes(p[0]), std::vector<int32_t>{4});
  EXPECT_EQ(p[0].Stops->First->Trailing, 5);
  EXPECT_EQ(p[0].Stops->First->TrailReference, 3410);
  EXPECT_EQ(p[1].Stops, nullptr);  // three commas only
  EXPECT_FALSE(std::filesystem::exists(AccountPath("stopordr.ini")));
  EXPECT_EQ(ReadBytes("stoporder/M240121.sto").size(), 8u + 56);
}

TEST_F(StopStoreTest, ACodeThatWouldLeaveTheFolderNeverBecomesAPath) {
  for (const char *code : {"../x", "a\\b", "..", "c:x"}) EXPECT_EQ(StopFilePath(desk_, code, '2', '1'), "") << code;
  EXPECT_NE(StopFilePath(desk_, "M2401", '2', '1'), "");
  InvestorPosition_Lite &p = AddPosition('2', 3, 0, "../x1");
  p.AddStop(desk_.positions, 1, 3500, 0, 0, 0, 0, 0);
  EXPECT_TRUE(SaveStopOrders(desk_, &p, false));  // reported as a failure, nothing written
  EXPECT_FALSE(std::filesystem::exists(AccountPath("x121.sto")));
}

}  // namespace
}  // namespace trading_test
