#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/trading/orderdesk_fixture.h"
#include "trading/manualorder.h"
#include "trading/orderpanel.h"

namespace trading_test {
namespace {

TEST(OrderPanelRules, PriceWordsBySideAndUseLastClose) {
  TQuotePrices q;
  q.valid = true;
  q.prevClose = 3400, q.bid1 = 3499, q.ask1 = 3501, q.last = 3500, q.limitUp = 3700, q.limitDown = 3300;
  EXPECT_EQ(WordPrice(kWordOpposite, true, q, false), 3501);
  EXPECT_EQ(WordPrice(kWordOpposite, false, q, false), 3499);
  EXPECT_EQ(WordPrice(kWordQueue, true, q, false), 3499);
  EXPECT_EQ(WordPrice(kWordQueue, false, q, false), 3501);
  // One side of the book empty: no previous close for the book words.
  q.ask1 = 0;
  EXPECT_EQ(WordPrice(kWordOpposite, true, q, true), 0);
  q.bid1 = 0, q.last = 0;
  EXPECT_EQ(WordPrice(kWordOpposite, true, q, true), 3400);
  EXPECT_EQ(WordPrice(kWordOpposite, true, q, false), 0);
  EXPECT_EQ(WordPrice(kWordLast, false, q, true), 3400);
  q.valid = false;  // a divisor of 0
  EXPECT_EQ(WordPrice(kWordLimitUp, true, q, true), 0);
  EXPECT_EQ(PriceWordOf("对手价"), kWordOpposite);
  EXPECT_EQ(PriceWordOf("对手价x"), -1);
}

TEST(OrderPanelRules, SpinnerSteps) {
  TQuotePrices q;
  q.valid = true;
  q.bid1 = 3.0, q.ask1 = 3.6;
  struct Case {
    const char *field;
    bool up;
    double tick, expected;
  } cases[] = {
      {"对手价", true, 0.2, 3.6}, {"对手价", false, 0.2, 3.0}, {"3.3", true, 0.2, 3.4},
      {"0.2", false, 0.2, 0.2},   {"0.3", false, 0.2, 0.2},    {"3.3", true, 0, 0},
      {"3.3", true, -1, 0},
  };
  for (const Case &c : cases) EXPECT_NEAR(SpinPrice(c.field, c.up, c.tick, q, false), c.expected, 1e-9) << c.field;
  q.bid1 = q.ask1 = 0;
  EXPECT_EQ(SpinPrice("挂单价", true, 0.2, q, false), 0);
  EXPECT_TRUE(IsTickMultiple(3500.4, 0.2));
  EXPECT_FALSE(IsTickMultiple(3500.3, 0.2));
  EXPECT_FALSE(IsTickMultiple(3500, 0));
  EXPECT_EQ(PriceWithDecimals(1.5, 99), "1.500000");
}

// The panels print every quote without printf; their texts stay those of
// PriceWithDecimals, ties and binary fractions included.
TEST(OrderPanelRules, PricesPrintAsPriceWithDecimals) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double price;
    int decimals;
    const char *expected;
  } cases[] = {
      {3501, 2, "3501.00"},
      {3499.5, 0, "3500"},  // a true half goes to the even neighbour
      {3500.5, 0, "3500"},
      {0.125, 2, "0.12"},
      {0.375, 2, "0.38"},
      {2.675, 2, "2.67"},  // stored just below the half
      {1.115, 2, "1.11"},  // the product rounds up to the half, the value is below
      {1.005, 2, "1.00"},
      {-3.5, 0, "-4"},
      {-0.001, 2, "-0.00"},
      {-0.0, 2, "-0.00"},
      {0, 6, "0.000000"},
      {1e-7, 6, "0.000000"},
      {123456789.123456, 6, "123456789.123456"},
      {1.5, 9, "1.500000"},  // decimals clamped to 0..6
      {1.5, -3, "2"},
      {1e300, 2, nullptr},  // beyond the fast path: printf's text
      {4503599627.370496, 6, nullptr},
      {inf, 2, "inf"},
      {-inf, 1, "-inf"},
      {std::nan(""), 2, nullptr},
  };
  for (const Case &c : cases) {
    const std::string expected = c.expected ? c.expected : PriceWithDecimals(c.price, c.decimals);
    EXPECT_EQ(PriceWithDecimals(c.price, c.decimals), expected) << c.price;
    std::string out = "x";
    EXPECT_TRUE(PrintPriceWithDecimals(out, c.price, c.decimals)) << c.price;
    EXPECT_EQ(out, expected) << c.price;
    EXPECT_FALSE(PrintPriceWithDecimals(out, c.price, c.decimals)) << c.price;
    EXPECT_TRUE(PrintPriceWithDecimals(out, c.price, c.decimals, "^")) << c.price;
    EXPECT_EQ(out, "^" + expected) << c.price;
  }
  // Every half, quarter and eighth, and steps of a thousandth and of a
  // millionth above a round price, at every count of decimals.
  std::string out;
  for (int decimals = 0; decimals <= 6; ++decimals) {
    for (int k = -4000; k <= 4000; ++k) {
      for (double price : {k / 8.0, k * 0.001, 3500 + k * 0.000001, k * 1234.567}) {
        PrintPriceWithDecimals(out, price, decimals);
        ASSERT_EQ(out, PriceWithDecimals(price, decimals)) << price << " " << decimals;
      }
    }
  }
}

// Every byte counts, at every length.
TEST(OrderPanelRules, TextsCompareEveryByte) {
  for (size_t n = 0; n <= 40; ++n) {
    std::string a(n, 'a');
    for (size_t i = 0; i < n; ++i) a[i] = char('0' + i % 10);
    EXPECT_TRUE(PanelSameBytes(a.data(), std::string(a).data(), n)) << n;
    for (size_t at = 0; at < n; ++at) {
      std::string b = a;
      b[at] = char(b[at] ^ 0x40);
      EXPECT_FALSE(PanelSameBytes(a.data(), b.data(), n)) << n << " " << at;
    }
  }
}

// A text that remembers its last price prints only what changed, and never
// trusts a text someone else rewrote.
TEST(OrderPanelRules, PriceTextsPrintOnlyAChangedPrice) {
  TPriceText text;
  std::string label;
  const struct Step {
    double price;
    int decimals;
    const char *before;  // label's text before the print, null: as left
    bool changed;
    const char *shown;
  } steps[] = {
      {3501, 2, nullptr, true, "3501.00"},   {3501, 2, nullptr, false, "3501.00"},
      {3501, 3, nullptr, true, "3501.000"},  {3502, 3, nullptr, true, "3502.000"},
      {3502, 3, "", true, "3502.000"},       {3502, 3, "3502.001", true, "3502.000"},
      {0.0, 2, nullptr, true, "0.00"},       {-0.0, 2, nullptr, true, "-0.00"},
      {std::nan(""), 2, nullptr, true, nullptr}, {std::nan(""), 2, nullptr, false, nullptr},
      {3501, 2, nullptr, true, "3501.00"},
  };
  for (const Step &s : steps) {
    if (s.before) label = s.before;
    EXPECT_EQ(text.Print(label, s.price, s.decimals), s.changed) << s.price << " " << s.decimals;
    EXPECT_EQ(label, s.shown ? s.shown : PriceWithDecimals(s.price, s.decimals));
  }
}

// A raw book price prints what its division prints, whether the integer
// or the division makes the text, and a raw price met again is not printed
// anew unless someone rewrote the label.
TEST(OrderPanelRules, RawPricesPrintAsTheirQuotient) {
  REALQUOTE quote{};
  const double divisors[] = {1, 10, 100, 1000, 10000, 1000000000, 3, 8, 25, 0};
  const uint32_t raws[] = {0,       1,       5,        9,          10,         995,        1005,      2675,
                           3001000, 3001230, 3001235,  123456789, 4294967295u, 4294967290u, 1000000000};
  for (double divisor : divisors) {
    for (int decimals = -1; decimals <= 7; ++decimals) {
      TQuoteScale q;
      q.quote = &quote;
      q.divisor = divisor;
      q.decimals = decimals;
      TPriceText text;
      std::string label = "x";
      for (uint32_t raw : raws) {
        std::string expected;
        PrintPriceWithDecimals(expected, q.Price(raw), decimals);
        const bool changed = label != expected;
        EXPECT_EQ(text.PrintRaw(label, raw, q), changed) << raw << "/" << divisor << " " << decimals;
        EXPECT_EQ(label, expected) << raw << "/" << divisor << " " << decimals;
        EXPECT_FALSE(text.PrintRaw(label, raw, q)) << raw << "/" << divisor << " " << decimals;
        label = "3.5";
        EXPECT_TRUE(text.PrintRaw(label, raw, q));
        EXPECT_EQ(label, expected);
      }
    }
  }
  // Another divisor, other decimals or a Print in between: printed anew.
  TQuoteScale q;
  q.quote = &quote;
  q.divisor = 1000;
  q.decimals = 2;
  TPriceText text;
  std::string label;
  EXPECT_TRUE(text.PrintRaw(label, 3001000, q));
  EXPECT_EQ(label, "3001.00");
  q.divisor = 100;
  EXPECT_TRUE(text.PrintRaw(label, 3001000, q));
  EXPECT_EQ(label, "30010.00");
  q.decimals = 1;
  EXPECT_TRUE(text.PrintRaw(label, 3001000, q));
  EXPECT_EQ(label, "30010.0");
  EXPECT_TRUE(text.Print(label, 3001, 1));
  EXPECT_EQ(label, "3001.0");
  EXPECT_TRUE(text.PrintRaw(label, 3001000, q));
  EXPECT_EQ(label, "30010.0");
  EXPECT_TRUE(text.Print(label, 30010, 1, "^"));
  EXPECT_EQ(label, "^30010.0");
  // No quote: 0.
  q.quote = nullptr;
  EXPECT_TRUE(text.PrintRaw(label, 3001000, q));
  EXPECT_EQ(label, "0.0");
}

class ManualOrderTest : public OrderDeskTest {
 protected:
  ManualOrderTest() : panel_(desk_), manual_(desk_, panel_, dispatch_.book, host_.window) {
    Fields().contract = "SR405";
    Fields().spinMax = 500;
    panel_.PanelContract = Stock(2);
    boxes_.SetDefaultAnswer(IDYES);
  }
  TOrderFields &Fields() { return panel_.Active(); }
  TOrderPanel panel_;
  TManualOrder manual_;
};

TEST_F(ManualOrderTest, RefusalsBeforeSendingShowTheirTexts) {
  struct Case {
    const char *price;
    bool buy, useLastClose;
    const char *text;
  } cases[] = {
      {"3500.3", true, false, "下单价格应为 0.2 的倍数。  "},
      {"0.0001", true, false, "请填入正确的下单价格。  "},
      {"对手价", true, false, "卖一价为 0 ，请手工设定下单价格。"},
      {"对手价", false, false, "买一价为 0 ，请手工设定下单价格。"},
      {"最新价", true, true, "最新价为 0 ，请手工设定下单价格。"},
  };
  for (const Case &c : cases) {
    boxes_.Clear();
    desk_.options.UseLastClose = c.useLastClose;
    Fields().price = c.price;
    EXPECT_EQ(manual_.PlaceManualOrder(c.buy, '0', 0), 0);
    ASSERT_EQ(boxes_.Count(), 1u) << c.price;
    EXPECT_EQ(boxes_.Calls()[0].text, c.text);
    EXPECT_EQ(boxes_.Calls()[0].caption, "下单出错");
  }
  EXPECT_TRUE(Orders.sent.empty());
}

TEST_F(ManualOrderTest, UseLastCloseAndTickOffsetsPriceTheWords) {
  SetQuote(2, 0, 0, 0, 3400);
  desk_.options.UseLastClose = true;
  Fields().price = "对手价";
  EXPECT_EQ(manual_.PlaceManualOrder(true, '0', 0), 1);
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_DOUBLE_EQ(Orders.sent[0].price, 3400);
  SetQuote(2, 3499, 3500);
  desk_.options.ManualOffset = 2;
  desk_.options.AutoAdjustPrice = 1;
  EXPECT_EQ(manual_.PlaceManualOrder(true, '0', 0), 1);
  EXPECT_NEAR(Orders.sent[1].price, 3500 + 0.4 + 0.2, 1e-6);
  EXPECT_EQ(manual_.PlaceManualOrder(false, '0', 0), 1);
  EXPECT_NEAR(Orders.sent[2].price, 3499 - 0.4 - 0.2, 1e-6);
}

TEST_F(ManualOrderTest, MarketOrderIsConfirmedAsAnyPriceAndCloseTodayBecomesClose) {
  Fields().priceKind = 1;
  Fields().volume = "999";
  EXPECT_EQ(manual_.PlaceManualOrder(false, '3', 0), 1);
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_EQ(Orders.sent[0].price, -1);
  EXPECT_EQ(Orders.sent[0].offset, '1');
  EXPECT_EQ(Orders.sent[0].volume, 500);
  EXPECT_EQ(Fields().volume, "500");
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "SR405 卖出 平仓 500手 价格: 市价（任意价），投机，确认吗？  ");
  const auto records = LogRecords();
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[records.size() - 3], "3011|SR405|1|3|1|-1.000|500|手动");
}

TEST_F(ManualOrderTest, ExpressOrderAsksNothingAndWarnsInTheHint) {
  desk_.options.ExpressOrder = true;
  Fields().price = "3500.2";
  EXPECT_EQ(manual_.PlaceManualOrder(true, '0', 2), 1);
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_EQ(panel_.hint, "警告: 按下买入或卖出将直接下单");
  EXPECT_EQ(Orders.sent[0].volume, 2);
}

TEST_F(ManualOrderTest, BrokerRefusalsHelpClosesOrKeepOpenTriggerOrders) {
  Fields().price = "3500";
  desk_.options.ExpressOrder = true;
  Orders.answers.push_back({1, "超过可平仓数量"});
  EXPECT_EQ(manual_.PlaceManualOrder(false, '1', 0), 0);
  EXPECT_EQ(boxes_.Calls().back().text, std::string("超过可平仓数量") + kCloseHelpText);
  Orders.answers.push_back({1, "超过可平仓数量"});
  EXPECT_EQ(manual_.PlaceManualOrder(true, '0', 0), 0);
  EXPECT_EQ(boxes_.Calls().back().text, "超过可平仓数量");
  const size_t boxes = boxes_.Count();
  desk_.options.Autopending1 = 1;
  Orders.answers.push_back({1, "不是交易时间"});
  EXPECT_EQ(manual_.PlaceManualOrder(true, '0', 0), 1);
  EXPECT_EQ(boxes_.Count(), boxes);
  ASSERT_EQ(desk_.orders.GetCount(), 1);
  const CKivoOrderField &kept = desk_.orders.GetData()[0];
  EXPECT_EQ(kept.OrderStatus[1], 'p');
  EXPECT_STREQ(kept.OrderRef, "10000001");
  EXPECT_EQ(kept.LimitPrice, 3500);
  EXPECT_EQ(box_.Read("user/880001/Pending.dat").size(), 6u + sizeof(CKivoOrderField));
}

TEST_F(ManualOrderTest, ContractWithoutATickIsNotTradable) {
  desk_.FindContract("SR405")->PriceTick = 0;
  Fields().price = "3500";
  EXPECT_EQ(manual_.PlaceManualOrder(true, '0', 0), 0);
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_FALSE(panel_.SpinActivePrice(1));
}

}  // namespace
}  // namespace trading_test
