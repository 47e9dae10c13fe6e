#include "market/rights.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The tables are process-wide: every test starts and ends with no rights.
class RightsTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearRights(); }
  void TearDown() override { ClearRights(); }

  static int GrantedMarketPairs() {
    int granted = 0;
    for (int market = -1; market <= 48; ++market)
      for (int kind = -1; kind <= 16; ++kind) granted += HasMarketRight(market, kind);
    return granted;
  }
  static int GrantedNewsTypes() {
    int granted = 0;
    for (int n = -1; n <= 130; ++n) granted += HasFeatureRight(n);
    return granted;
  }
};

TEST_F(RightsTest, NothingIsGrantedBeforeALogin) {
  EXPECT_EQ(GrantedMarketPairs(), 0);
  EXPECT_EQ(GrantedNewsTypes(), 0);
  for (uint8_t byte : UserRights) EXPECT_EQ(byte, 0);
}

TEST_F(RightsTest, EachMarketBitGrantsExactlyItsMarketAndKind) {
  struct Case {
    int market, kind, byte;
    uint8_t bit;
  } cases[] = {
      {0, 0, 0, 0x80}, {0, 7, 0, 0x01}, {0, 8, 1, 0x80}, {1, 0, 2, 0x80}, {23, 5, 46, 0x04}, {47, 14, 95, 0x02},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << "market " << c.market << " kind " << c.kind);
    DSINFO grant{};
    grant.marketRights[c.byte] = c.bit;
    TakeOverRights(grant);
    EXPECT_EQ(HasMarketRight(c.market, c.kind), 1);
    EXPECT_EQ(GrantedMarketPairs(), 1);
  }
}

TEST_F(RightsTest, KindFifteenAndAnythingOutOfRangeIsNeverGranted) {
  DSINFO grant{};
  std::memset(grant.marketRights, 0xFF, sizeof grant.marketRights);
  std::memset(grant.newsRights, 0xFF, sizeof grant.newsRights);
  TakeOverRights(grant);
  EXPECT_EQ(GrantedMarketPairs(), 48 * 15);
  for (int market : {0, 47}) EXPECT_EQ(HasMarketRight(market, 15), 0);
  for (auto [market, kind] : {std::pair{-1, 0}, {48, 0}, {255, 0}, {0, -1}, {0, 16}}) {
    EXPECT_EQ(HasMarketRight(market, kind), 0) << market << "/" << kind;
  }
  EXPECT_EQ(GrantedNewsTypes(), 128);
  for (int n : {-1, 0, 129, 256}) EXPECT_EQ(HasFeatureRight(n), 0) << n;
}

TEST_F(RightsTest, EachNewsBitGrantsExactlyItsType) {
  struct Case {
    int type, byte;
    uint8_t bit;
  } cases[] = {{1, 0, 0x80}, {8, 0, 0x01}, {9, 1, 0x80}, {100, 12, 0x10}, {128, 15, 0x01}};
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << "news type " << c.type);
    DSINFO grant{};
    grant.newsRights[c.byte] = c.bit;
    TakeOverRights(grant);
    EXPECT_EQ(HasFeatureRight(c.type), 1);
    EXPECT_EQ(GrantedNewsTypes(), 1);
  }
}

TEST_F(RightsTest, ALoginReplacesTheWholeGrant) {
  DSINFO first{};
  std::memset(first.marketRights, 0xFF, sizeof first.marketRights);
  std::memset(first.newsRights, 0xFF, sizeof first.newsRights);
  first.featureRights[kFeatureOrderByte] = kRightStopOrders | kRightConditionOrders;
  first.featureRights[99] = 0x5A;
  TakeOverRights(first);
  EXPECT_EQ(UserRights[kFeatureOrderByte], kRightStopOrders | kRightConditionOrders);
  EXPECT_EQ(UserRights[99], 0x5A);

  DSINFO second{};
  second.marketRights[0] = 0x40;  // market 0, kind 1
  second.featureRights[kFeatureFormulaByte] = kRightSystemFormulas;
  TakeOverRights(second);
  EXPECT_EQ(GrantedMarketPairs(), 1);
  EXPECT_EQ(HasMarketRight(0, 1), 1);
  EXPECT_EQ(GrantedNewsTypes(), 0);
  EXPECT_EQ(std::memcmp(UserRights, second.featureRights, sizeof UserRights), 0);
}

TEST(AccountDate, PackedBitsGiveTheDateNumber) {
  struct Case {
    uint16_t packed;
    uint32_t number;
  } cases[] = {
      {uint16_t((30 << 9) | (12 << 5) | 31), 20301231},
      {uint16_t((24 << 9) | (2 << 5) | 29), 20240229},
      {uint16_t((0 << 9) | (1 << 5) | 1), 20000101},
      {0xFFFF, 21271531},  // every bit set: nothing overflows into the next field
  };
  for (const Case &c : cases) {
    EXPECT_EQ(AccountDateNumber(c.packed), c.number) << c.packed;
  }
  EXPECT_EQ(PackAccountDate(2030, 12, 31), cases[0].packed);
  EXPECT_EQ(PackAccountDate(2024, 2, 29), cases[1].packed);
}

}  // namespace
