#include "charts/distribute.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart_world.h"
#include "trade_fixture.h"
#include "charts/tradenature.h"

namespace charts_test {
namespace {

TEST(TradeNatureRule, EveryClassInEachModeOnATenLotUnit) {
  struct Case {
    TradeNatureMode mode;
    float volume, change;
    uint8_t side;
    int type;
    const char *word;
  } cases[] = {
      // The detail list: raw change against the volume in units (50 -> 5 lots).
      {kNatureVolumeInUnits, 50, 0, 0, 2, "多换"},
      {kNatureVolumeInUnits, 50, 0, 1, 2, "空换"},
      {kNatureVolumeInUnits, 50, 0, 2, 8, "空换"},
      {kNatureVolumeInUnits, 50, 5, 0, 2, "双开"},
      {kNatureVolumeInUnits, 50, 5, 1, 8, "双订"},
      {kNatureVolumeInUnits, 50, -5, 0, 2, "双平"},
      {kNatureVolumeInUnits, 50, -5, 0, 8, "双转"},
      {kNatureVolumeInUnits, 50, 50, 0, 2, "多开"},
      {kNatureVolumeInUnits, 50, 50, 1, 2, "空开"},
      {kNatureVolumeInUnits, 50, 3, 0, 8, "多订"},
      {kNatureVolumeInUnits, 50, 3, 1, 8, "空订"},
      {kNatureVolumeInUnits, 50, -3, 0, 2, "空平"},
      {kNatureVolumeInUnits, 50, -3, 1, 2, "多平"},
      {kNatureVolumeInUnits, 50, -3, 0, 8, "空转"},
      {kNatureVolumeInUnits, 50, -3, 1, 8, "多转"},
      // A trade that adds nothing is a turnover even with no volume.
      {kNatureVolumeInUnits, 0, 0, 0, 2, "多换"},
      // The distribution: both over the unit.
      {kNatureBothInUnits, 50, 50, 0, 2, "双开"},
      {kNatureBothInUnits, 50, 5, 1, 2, "空换"},
      {kNatureBothInUnits, 50, -50, 0, 2, "双平"},
      {kNatureBothInUnits, 50, 30, 0, 2, "多开"},
      {kNatureBothInUnits, 50, -30, 1, 2, "多平"},
      // The statistics: both raw.
      {kNatureRaw, 50, 50, 0, 2, "双开"},
      {kNatureRaw, 50, 5, 0, 2, "多开"},
      {kNatureRaw, 50, -50, 1, 8, "双转"},
      {kNatureRaw, 50, -5, 1, 2, "多平"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(std::string(TradeNature(c.volume, c.change, 10, c.side, c.type, c.mode)), c.word)
        << c.mode << " " << c.volume << " " << c.change << " side " << int(c.side) << " type " << c.type;
  }
  // A unit of 0 counts as 1.
  EXPECT_EQ(ClassifyTrade(5, 5, 0, kNatureVolumeInUnits), kNatureBothOpen);
  EXPECT_EQ(ClassifyTrade(5, 5, 0, kNatureBothInUnits), kNatureBothOpen);
}

class Distribution : public ChartWorld {
 protected:
  static VIEW_ATTR_13 Attr(STKPTR stock) { return IntradayAttr(stock); }
};

TEST_F(Distribution, BarsAscendAndUnknownSidesSell) {
  PutQuote(DL, 0).refPrice = 3000;
  Quote(DL, 0).prevOpenInterest = 100;
  const VIEW_ATTR_13 attr = Attr(Stock(DL, 0));
  const std::vector<TICKREC> trades = {MakeTrade(3100, 4, 100, 0), MakeTrade(2900, 3, 100, 1), MakeTrade(3000, 2, 100, 2),
                                       MakeTrade(3100, 5, 100, 1), MakeTrade(2900, 1, 100, 0)};
  CDistributePrice model;
  ASSERT_TRUE(model.SetTicks(trades.data(), int(trades.size()), attr));
  model.Build(attr);
  ASSERT_EQ(model.bars.size(), 3u);
  struct Bar {
    uint32_t price, sell, buy;
    uint8_t relation;
  } expected[] = {{2900, 3, 1, 3}, {3000, 2, 0, 2}, {3100, 5, 4, 1}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(model.bars[i].price, expected[i].price);
    EXPECT_EQ(model.bars[i].sellVolume, expected[i].sell) << i;
    EXPECT_EQ(model.bars[i].buyVolume, expected[i].buy) << i;
    EXPECT_EQ(model.bars[i].relation, expected[i].relation) << i;
  }
  EXPECT_EQ(model.totalVolume, 15);
  EXPECT_EQ(model.maxBarVolume, 9u);

  // Nothing at all: empty bars and zero totals.
  model.SetTicks(nullptr, 0, attr);
  model.Build(attr);
  EXPECT_TRUE(model.bars.empty());
  EXPECT_EQ(model.totalVolume, 0);
  EXPECT_EQ(model.maxBarVolume, 0u);
  for (uint32_t t : model.tally.t) EXPECT_EQ(t, 0u);
}

TEST_F(Distribution, TallyComparesChangeAndVolumeInUnits) {
  Quote(DL, 0).prevOpenInterest = 1000;
  struct Case {
    int32_t unit;
    float volume, openInterest;
    uint8_t side;
    int counter;
    uint32_t value;
    int second;  // the unmatched-part counter, -1 none
    uint32_t secondValue;
  } cases[] = {
      // The first trade's change is taken against the quote's open interest.
      {10, 10, 1010, 0, 2, 10, -1, 0},
      {10, 5, 1003, 0, 0, 5, -1, 0},
      {10, 5, 1003, 1, 1, 5, -1, 0},
      {10, 10, 990, 0, 3, 10, -1, 0},
      {10, 40, 1020, 0, 4, 40, 8, 20},
      {10, 40, 1020, 1, 5, 40, 9, 20},
      {10, 40, 970, 0, 6, 40, 10, 10},
      {10, 20, 970, 1, 7, 20, 11, 0},  // the change exceeds the volume: nothing unmatched
      // A unit of 0 divides by 1.
      {0, 7, 1007, 0, 2, 7, -1, 0},
  };
  for (const Case &c : cases) {
    Info(DL, 0).volumeUnit = c.unit;
    const VIEW_ATTR_13 attr = Attr(Stock(DL, 0));
    const TICKREC trade = MakeTrade(3000, c.volume, c.openInterest, c.side);
    CDistributePrice model;
    ASSERT_TRUE(model.SetTicks(&trade, 1, attr));
    model.Build(attr);
    for (int i = 0; i < 12; ++i) {
      const uint32_t want = i == c.counter ? c.value : i == c.second ? c.secondValue : 0;
      EXPECT_EQ(model.tally.t[i], want) << "counter " << i << " volume " << c.volume << " oi " << c.openInterest;
    }
  }
}

}  // namespace
}  // namespace charts_test
