// The report page, its close statistics, the balance chart and the
// statement cache.
#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "classlib/picture.h"
#include "platform/path.h"
#include "testing/image_capture.h"
#include "testing/market_fixture_min.h"
#include "tests/trading/report_fixture.h"
#include "trading/accountreport.h"

using report_test::ExpectGolden;
using report_test::ReadFile;
using report_test::WriteFile;

namespace {

template <size_t N>
void Set(char (&field)[N], const char *text) {
  snprintf(field, N, "%s", text);
}

ChengJiaoJiLu Trade(const char *contract, const char *direction, const char *openClose, int volume, double profit,
                    const char *ref = "") {
  ChengJiaoJiLu t{};
  Set(t.statementDate, "20240108");
  Set(t.contract, contract);
  Set(t.direction, direction);
  Set(t.openClose, openClose);
  Set(t.tradeRef, ref);
  t.volume = volume;
  t.closeProfit = profit;
  return t;
}

PingCangMingXi Lot(const char *closeDate, const char *contract, const char *direction, int volume, double profit,
                   const char *ref = "") {
  PingCangMingXi l{};
  Set(l.closeDate, closeDate);
  Set(l.openDate, "20240105");
  Set(l.exchange, "上期所");
  Set(l.contract, contract);
  Set(l.direction, direction);
  Set(l.closeRef, ref);
  l.volume = volume;
  l.openPrice = 70000;
  l.closePrice = 70500;
  l.prevSettle = 69800;
  l.profit = profit;
  return l;
}

class ReportPageTest : public testing::Test {
 protected:
  ReportPageTest() { report_test::InstallReportFiles(); }

  // Two days of layout B: a long closed with a gain, a short with a loss,
  // two positions at the end; a holder name that needs escaping.
  void FillPeriod() {
    Set(report_.accountId, "880001");
    Set(report_.holderName, "张<&\"三");
    Set(report_.startDate, "20240108");
    Set(report_.endDate, "20240109");
    report_.priceBegin.Add(PriceBegin{"", 1000000});
    report_.priceBegin.Add(PriceBegin{"20240108", 1012345});
    report_.priceBegin.Add(PriceBegin{"20240109", 1011000.5});
    report_.priceEnd.Add(PriceEnd{"20240109", 1011000.5});
    report_.available.Add(KeYongZiJin{900000});
    report_.margins.Add(BaoZhengJin{112345});
    report_.positionProfits.Add(ChiCangYingKui{1500});
    report_.cashMoves.Add(ChuRuJin{5000});
    report_.fees.Add(ShouXuFei{25.5});
    report_.fees.Add(ShouXuFei{10});
    report_.closeProfits.Add(PingCangYingKui{3000});
    report_.closeProfits.Add(PingCangYingKui{-1200});
    report_.trades.Add(Trade("cu2405", "买", "开仓", 2, 0));
    report_.trades.Add(Trade("cu2405", "卖", "平仓", 1, 3000));
    report_.trades.Add(Trade("cu2405", "买", "平仓", 2, -1200));
    report_.closedLots.Add(Lot("20240109", "cu2405", "买", 2, -1200));
    report_.closedLots.Add(Lot("20240108", "cu2405", "卖", 1, 3000));
    ChiCangMingXiJsd p{};
    Set(p.statementDate, "20240109");
    Set(p.exchange, "上期所");
    Set(p.contract, "cu2405");
    Set(p.hedgeFlag, "投");
    p.buyVolume = 2;
    p.buyAverage = 70000;
    p.settlePrice = 70200;
    p.profit = 2000;
    p.margin = 70200;
    report_.positions.Add(p);
    Set(p.contract, "al2405");
    p.buyVolume = 0;
    p.sellVolume = 1;
    p.sellAverage = 19000;
    p.settlePrice = 19050;
    p.profit = -500;
    p.margin = 9500;
    report_.positions.Add(p);
  }

  std::string Page(int layout) {
    report_.SortClosedLots();
    report_.BuildCloseStatistics(layout);
    report_.ComputePeriodPnl();
    EXPECT_TRUE(report_.WritePage(".\\toji.txt", layout));
    return ReadFile("toji.txt");
  }

  market_fixture::MarketSandbox box_;
  TAccountReport report_;
};

TEST_F(ReportPageTest, PageOfAPeriodMatchesTheGoldenPage) {
  FillPeriod();
  const std::string page = Page(1);
  ExpectGolden(page, "toji.html");
  // Statement texts are escaped; the chart's address has both its quotes.
  EXPECT_NE(page.find("姓名: 张&lt;&amp;&quot;三</td>"), std::string::npos);
  EXPECT_EQ(page.find("张<"), std::string::npos);
  EXPECT_NE(page.find("<img src=\".\\images\\Report_05.bmp\"/> </td>"), std::string::npos);
}

TEST_F(ReportPageTest, PeriodWithoutClosesShowsZeroTotalsAndNoClosedLots) {
  report_.trades.Add(Trade("cu2405", "买", "开仓", 2, 0));
  const std::string page = Page(1);
  EXPECT_NE(page.find("交易统计"), std::string::npos);
  EXPECT_NE(page.find("<td bgcolor=\"#ecf9ff\"><strong>总计</strong></td>\n"
                      "<td bgcolor=\"#ecf9ff\">&nbsp;</td>\n<td bgcolor=\"#ecf9ff\">&nbsp;</td>\n"
                      "<td bgcolor=\"#ecf9ff\">0</td>\n<td bgcolor=\"#ecf9ff\">0</td>\n"
                      "<td bgcolor=\"#ecf9ff\">0</td>\n<td bgcolor=\"#ecf9ff\">0.00</td>\n"
                      "<td bgcolor=\"#ecf9ff\">0.00</td>\n"),
            std::string::npos);
  EXPECT_EQ(page.find(">平仓记录</div>"), std::string::npos);
  EXPECT_EQ(page.find("#f7f5be"), std::string::npos);  // no contract rows
}

TEST_F(ReportPageTest, CloseStatisticsSplitLongAndShortPerContract) {
  using G = PingCangTongJi;
  struct Case {
    const char *name;
    int layout;
    std::function<void(TAccountReport &)> fill;
  } cases[] = {
      {"closing trades", 1,
       [](TAccountReport &r) {
         r.trades.Add(Trade("cu2405", "卖", "平仓", 1, 3000));
         r.trades.Add(Trade("cu2405", "买", "平今", 2, -1200));
         r.trades.Add(Trade("cu2405", "卖", "平仓", 3, -300));
         r.trades.Add(Trade("cu2405", "买", "开仓", 5, 0));
       }},
      {"closed lots of layout 2", 2,
       [](TAccountReport &r) {
         r.closedLots.Add(Lot("20240108", "cu2405", "卖", 1, 3000));
         r.closedLots.Add(Lot("20240108", "cu2405", "买", 2, -1200));
         r.closedLots.Add(Lot("20240109", "cu2405", "卖", 3, -300));
       }},
      {"close profits filled in from the lots by reference", 1,
       [](TAccountReport &r) {
         r.trades.Add(Trade("cu2405", "卖", "平仓", 1, 0, "T1"));
         r.trades.Add(Trade("cu2405", "买", "平仓", 2, 0, "T2"));
         r.trades.Add(Trade("cu2405", "卖", "平仓", 3, 0, "T3"));
         r.closedLots.Add(Lot("20240108", "cu2405", "卖", 1, 2000, "T1"));
         r.closedLots.Add(Lot("20240108", "cu2405", "卖", 1, 1000, "T1"));
         r.closedLots.Add(Lot("20240108", "cu2405", "买", 2, -1200, "T2"));
         r.closedLots.Add(Lot("20240109", "cu2405", "卖", 3, -300, "T3"));
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TAccountReport report;
    c.fill(report);
    report.BuildCloseStatistics(c.layout);
    ASSERT_EQ(report.closeStats.GetCount(), 1);
    const PingCangTongJi &s = report.closeStats.GetData()[0];
    EXPECT_STREQ(s.contract, "cu2405");
    const int expected[G::kGroups][2] = {{3, 6}, {2, 4}, {1, 1}, {1, 3}, {1, 2}, {0, 0}, {1, 2}};
    const double profit[G::kGroups] = {1500, 2700, 3000, -300, -1200, 0, -1200};
    for (int g = 0; g < G::kGroups; ++g) {
      EXPECT_EQ(s.groups[g].count, expected[g][0]) << g;
      EXPECT_EQ(s.groups[g].volume, expected[g][1]) << g;
      EXPECT_DOUBLE_EQ(s.groups[g].profit, profit[g]) << g;
    }
  }
}

// ---- the chart ----

uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFF; }
constexpr uint32_t kOrange = 0xFF7F28, kGrid = 0xDBD9DA, kBlack = 0x000000;

// Whether a colour is within a pixel of the point.
bool Near(const platform::PixelImage &image, int x, int y, uint32_t colour) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (Rgb(image.At(x + dx, y + dy)) == colour) return true;
  return false;
}

class BalanceChartTest : public ReportPageTest {
 protected:
  platform::PixelImage Draw(std::initializer_list<double> values) {
    report_.priceBegin.RemoveAll();
    int day = 1;
    for (double v : values) {
      PriceBegin p{};
      snprintf(p.date, sizeof p.date, "202401%02d", day++);
      p.value = v;
      report_.priceBegin.Add(p);
    }
    EXPECT_TRUE(report_.DrawBalanceChart());
    TBitmap saved;
    platform::PixelImage image;
    EXPECT_TRUE(saved.LoadFromFile(".\\images\\Report_05.bmp"));
    saved.GetPixels(image);
    return image;
  }
};

TEST_F(BalanceChartTest, AxisIsRoundedToHoldTheSeries) {
  struct Case {
    double smallest, largest, bottom, top;
  } cases[] = {
      {1003000, 1190000, 1000000, 1200000},
      {5000, 5000, 5000, 5001},      // flat
      {-1234, 800, -1300, 800},      // negative bottom: away from zero
      {-1234, -50, -1300, 10000},    // nothing above 0
      {0.5, 0.9, 0.5, 0.9},          // below 1
      {0, 37, 0, 37},
  };
  for (const Case &c : cases) {
    double bottom = 0, top = 0;
    TAccountReport::ChartAxis(c.smallest, c.largest, &bottom, &top);
    EXPECT_DOUBLE_EQ(bottom, c.bottom) << c.smallest;
    EXPECT_DOUBLE_EQ(top, c.top) << c.largest;
  }
  double bottom = 0, top = 0;
  TAccountReport::ChartAxis(1003000, 1190000, &bottom, &top);
  const char *labels[] = {"104.00", "108.00", "112.00", "116.00", "120.00"};
  for (int t = 1; t <= 5; ++t) EXPECT_EQ(TAccountReport::AxisLabel(bottom, top, t), labels[t - 1]);
}

TEST_F(BalanceChartTest, LineAndGridOnTheSavedBitmap) {
  // Bottom at 1.0 million (y 182), top at 1.2 million (y 25).
  platform::PixelImage image = Draw({1000000, 1200000});
  EXPECT_TRUE(Near(image, 212, 103, kOrange));  // half-way along the line
  EXPECT_EQ(Rgb(image.At(365, 100)), kGrid);    // the newest point's grid line
  EXPECT_EQ(Rgb(image.At(60, 100)), kGrid);     // room for the first one's label
  EXPECT_EQ(Rgb(image.At(365, 184)), kBlack);   // its tick
  EXPECT_EQ(Rgb(image.At(200, 100)), 0xFFFFFF);

  // One point stands at the right edge.
  image = Draw({1000000});
  EXPECT_EQ(Rgb(image.At(365, 100)), kGrid);
  EXPECT_NE(Rgb(image.At(60, 100)), kGrid);

  // A flat series lies on the bottom line.
  image = Draw({5000, 5000, 5000});
  EXPECT_TRUE(Near(image, 130, 182, kOrange));
  EXPECT_FALSE(Near(image, 130, 100, kOrange));

  // A negative bottom keeps the lowest point inside the box.
  image = Draw({-1234, 800});
  EXPECT_TRUE(Near(image, 62, 176, kOrange));
}

TEST_F(BalanceChartTest, MonthOfBalancesAsAPicture) {
  std::vector<double> month = {1003000, 1012000, 1008000, 1025000, 1031000, 1022000, 1040000, 1055000,
                               1049000, 1061000, 1077000, 1072000, 1090000, 1101000, 1096000, 1110000,
                               1125000, 1118000, 1132000, 1150000, 1161000, 1190000};
  report_.priceBegin.RemoveAll();
  for (size_t i = 0; i < month.size(); ++i) {
    PriceBegin p{};
    snprintf(p.date, sizeof p.date, "202401%02d", int(i + 2));
    p.value = month[i];
    report_.priceBegin.Add(p);
  }
  ASSERT_TRUE(report_.DrawBalanceChart());
  QImage chart(QString::fromStdString(platform::ResolvePath(".\\images\\Report_05.bmp")));
  ASSERT_FALSE(chart.isNull());
  EXPECT_TRUE(chart.save(QString::fromStdString(testing_support::PicturePath("balance-chart.png"))));
}

TEST_F(BalanceChartTest, MissingTemplateBuildsNoChart) {
  std::filesystem::remove("images/Sample.bmp");
  report_.priceBegin.Add(PriceBegin{"", 1});
  EXPECT_FALSE(report_.DrawBalanceChart());
  EXPECT_FALSE(std::filesystem::exists("images/Report_05.bmp"));
}

// ---- the cache ----

class StatementCacheTest : public testing::Test {
 protected:
  market_fixture::MarketSandbox box_;
};

TEST_F(StatementCacheTest, StatementsComeBackWhole) {
  std::string lines;
  for (int i = 0; lines.size() < 40000; ++i) lines += "20240108 上期所 cu 2405 卖 70500 " + std::to_string(i) + "\r\n";
  std::string random(50000, '\0');
  std::mt19937 gen(7);
  for (char &c : random) {
    c = char(gen());
    if (c == '\r') c = 'r';
  }
  struct Case {
    const char *name;
    std::string text, expanded;
  } cases[] = {
      {"three blocks of text, CR LF made LF", lines, [&] {
         std::string lf = lines;
         for (size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
         return lf;
       }()},
      {"blocks that do not compress", random, random},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile("s.txt", c.text);
    ASSERT_TRUE(CompressStatementFile(".\\s.txt", ".\\cache"));
    EXPECT_LT(ReadFile("cache").size(), c.text.size() + 200);
    ASSERT_TRUE(ExpandStatementFile(".\\cache", ".\\out.txt"));
    EXPECT_EQ(ReadFile("out.txt"), c.expanded);
  }
}

TEST_F(StatementCacheTest, DamagedCacheIsDeleted) {
  std::string text;
  for (int i = 0; text.size() < 40000; ++i) text += "line " + std::to_string(i * 7919) + "\n";
  WriteFile("s.txt", text);
  ASSERT_TRUE(CompressStatementFile(".\\s.txt", ".\\good"));
  const std::string packed = ReadFile("good");
  std::string flipped = packed;
  for (size_t i = packed.size() / 2; i < packed.size() / 2 + 16; ++i) flipped[i] = char(~flipped[i]);
  struct Case {
    const char *name;
    std::string bytes;
  } cases[] = {
      {"cut inside the last stream", packed.substr(0, packed.size() - 5)},
      {"cut inside the first stream", packed.substr(0, 10)},
      {"bytes changed", flipped},
      {"something after the last stream", packed + "xyz"},
      {"empty", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile("cache", c.bytes);
    EXPECT_FALSE(ExpandStatementFile(".\\cache", ".\\out.txt"));
    EXPECT_FALSE(std::filesystem::exists("cache"));
  }
}

TEST_F(StatementCacheTest, MissingOrEmptyStatementLeavesNoCache) {
  EXPECT_FALSE(CompressStatementFile(".\\missing.txt", ".\\cache"));
  EXPECT_FALSE(std::filesystem::exists("cache"));
  WriteFile("empty.txt", "");
  EXPECT_FALSE(CompressStatementFile(".\\empty.txt", ".\\cache"));
  EXPECT_FALSE(std::filesystem::exists("cache"));
}

}  // namespace
