#include "views/colschemes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/report_world.h"

namespace {

std::vector<int> Ids(int scheme) {
  return std::vector<int>(ColumnSchemes->ids[scheme], ColumnSchemes->ids[scheme] + ColumnSchemes->count[scheme]);
}

class SchemeTest : public testing::Test {
 protected:
  ~SchemeTest() override { FreeColumnSchemes(); }
  std::string User(const char *section, const char *key) {
    char text[512];
    GetPrivateProfileStringA(section, key, "<none>", text, sizeof text, (std::string(UserDataPath) + "SETTING.INI").c_str());
    return text;
  }
  market_fixture::MarketSandbox box_;
};

TEST_F(SchemeTest, CountFromTheSharedFileTheRestFromTheUserFile) {
  box_.WriteText("cfg/setting.ini", "[TableDef3]\r\nCount=20\r\nId=1,2,3\r\n[TableDef4]\r\nCount=70\r\n");
  box_.WriteText("user/SETTING.INI", "[TableDef1]\r\nCount=3\r\nFixedCol=2\r\nId=9,1,6\r\nColWidth=6,10,8\r\n"
                                     "[TableDef4]\r\nId=0,1,2,3\r\n");
  const uint8_t fallback[] = {0, 1, 9};
  LoadColumnSchemes({3, fallback, 1});
  ASSERT_NE(ColumnSchemes, nullptr);

  EXPECT_EQ(Ids(0), (std::vector<int>{9, 1, 6}));
  EXPECT_EQ(ColumnSchemes->fixedCount[0], 2);
  EXPECT_EQ(ColumnSchemes->widths[0][1], 10);
  EXPECT_EQ(ColumnSchemes->sortColumn[0], 0);

  // TableDef3: Count 20 from the shared file, the 16 default ids and widths
  // (the shared Id is not read), ids 17..20 unset.
  EXPECT_EQ(ColumnSchemes->count[2], 20);
  EXPECT_EQ(ColumnSchemes->fixedCount[2], 0);
  EXPECT_EQ(ColumnSchemes->ids[2][0], 0);
  EXPECT_EQ(ColumnSchemes->ids[2][15], 2);
  EXPECT_EQ(ColumnSchemes->widths[2][15], 8);
  for (int k = 16; k < 20; ++k) EXPECT_EQ(ColumnSchemes->ids[2][k], -1) << k;

  EXPECT_EQ(ColumnSchemes->count[3], 64);  // 70 is cut
  EXPECT_EQ(ColumnSchemes->ids[3][3], 3);

  // Empty in both files: the pane's own columns, every width 8.
  EXPECT_EQ(Ids(4), (std::vector<int>{0, 1, 9}));
  EXPECT_EQ(ColumnSchemes->widths[4][2], 8);
  EXPECT_EQ(ColumnSchemes->fixedCount[4], 1);

  // Loaded once per process: a second load changes nothing.
  ColumnSchemes->count[0] = 2;
  LoadColumnSchemes({});
  EXPECT_EQ(ColumnSchemes->count[0], 2);
}

TEST_F(SchemeTest, SaveWritesExactlyCountEntriesAndMovedColumns) {
  box_.WriteText("user/SETTING.INI", "[TableDef1]\r\nCount=4\r\nId=0,9,1,6\r\nColWidth=4,6,8,10\r\n"
                                     "[TableDef2]\r\nCount=3\r\nId=0,9,1,6,7\r\n");
  LoadColumnSchemes({});
  int32_t reportColumns[4] = {0, 9, 1, 6};
  MoveSchemeColumn(0, 3, 1, reportColumns, 4);  // "最新" dragged to the second place
  EXPECT_EQ(std::vector<int>(reportColumns, reportColumns + 4), (std::vector<int>{0, 6, 9, 1}));
  SaveColumnSchemes();
  EXPECT_EQ(User("TableDef1", "Id"), "0,6,9,1");
  EXPECT_EQ(User("TableDef1", "ColWidth"), "4,10,6,8");
  EXPECT_EQ(User("TableDef1", "ver"), "1");
  EXPECT_EQ(User("TableDef1", "FixedCol"), "0");
  EXPECT_EQ(User("TableDef2", "Id"), "0,9,1");
  EXPECT_EQ(User("TableDef2", "Count"), "3");
  EXPECT_EQ(User("TableDef5", "Id"), "");  // empty scheme: empty text
  EXPECT_EQ(User("TableDef1", "SortCol"), "<none>");
}

TEST_F(SchemeTest, NothingIsWrittenWithoutAStore) {
  SaveColumnSchemes();
  EXPECT_FALSE(box_.Exists("user/SETTING.INI"));
}

TEST(SchemeChoice, ByBlockKindNameAndMarketType) {
  ScopedFakeClock clock;
  testing_support::ReportWorld world;
  MarketTable.markets[1]->m_info.type = 6;
  MarketTable.markets[3]->m_info.type = 8;
  BLOCK plain{};
  auto scheme = [&](int market, uint8_t kind, const char *name) {
    plain.market = int16_t(market);
    plain.kind = kind;
    std::snprintf(plain.name, sizeof plain.name, "%s", name);
    return SchemeIndexForBlock(&plain) + 1;
  };
  EXPECT_EQ(SchemeIndexForBlock(nullptr) + 1, 7);
  EXPECT_EQ(scheme(0, kBlockUser, "自选"), 7);
  EXPECT_EQ(scheme(0, kBlockShared, "系统"), 7);
  EXPECT_EQ(scheme(0, kBlockMarket, "上海"), 2);
  EXPECT_EQ(scheme(0, kBlockServer, "沪深300"), 11);
  EXPECT_EQ(scheme(0, kBlockServer, "沪深3000"), 2);
  EXPECT_EQ(scheme(1, kBlockMarket, "深圳"), 5);
  EXPECT_EQ(scheme(2, kBlockMarket, "大连"), 1);
  EXPECT_EQ(scheme(2, kBlockStockKind, "中金所"), 10);
  EXPECT_EQ(scheme(2, kBlockMarket, "中金所"), 1);
  EXPECT_EQ(scheme(3, kBlockMarket, "中金"), 8);
  for (auto [type, def] : {std::pair{3, 3}, {4, 4}, {7, 6}, {5, 7}}) {
    MarketTable.markets[2]->m_info.type = uint8_t(type);
    EXPECT_EQ(scheme(2, kBlockMarket, "大连"), def) << type;
  }
}

}  // namespace
