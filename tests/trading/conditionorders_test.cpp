// Condition orders: "DEALLIST.SET" in every version, "Dealed.dat", the
// time window around midnight, the open trigger by exchange and the
// checks of firing by hand.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/trading/stop_world.h"
#include "trading/conditionorders.h"

namespace trading_test {
namespace {

class ConditionTest : public StopWorld {
 protected:
  ConditionTest() : orders_(desk_, hooks_) {
    hooks_.armed = [] { return true; };
    hooks_.rights = [] { return kRightConditionOrders; };
    hooks_.startOrderScripts = [this] { ++starts_; };
  }

  static ConditionOrder Order(const char *code = "M2401", int8_t trigger = -1) {
    ConditionOrder c = BuyToOpenCondition(code, trigger);
    c.Made.wYear = 2024;
    return c;
  }
  static ConditionOrder AtTime(unsigned h, unsigned m, unsigned s) {
    ConditionOrder c = Order("M2401", 3);
    CTime32 t;
    t.hour = h;
    t.minute = m;
    t.second = s;
    memcpy(static_cast<void *>(&c.TriggerPrice), &t, sizeof t);
    return c;
  }
  static std::string Bytes(const ConditionOrder &c, size_t size = kConditionRecordSize) {
    unsigned char b[kConditionRecordSize];
    PutConditionRecord(c, b);
    return std::string(reinterpret_cast<char *>(b), size);
  }
  // Local time (Asia/Shanghai) of the fake clock.
  void LocalAt(WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME utc{};
    utc.wYear = 2024;
    utc.wMonth = 1;
    utc.wDay = day;
    utc.wHour = hour;
    utc.wMinute = minute;
    utc.wSecond = second;
    // 8 hours ahead of UTC.
    if (utc.wHour >= 8) {
      utc.wHour -= 8;
    } else {
      utc.wHour += 16;
      utc.wDay -= 1;
    }
    clock_.SetUtc(utc);
  }

  TAutomationHooks hooks_;
  TConditionOrders orders_;
  int starts_ = 0;
};

TEST_F(ConditionTest, EveryFileVersionLoadsWithItsUpgrades) {
  ConditionOrder c = Order();
  c.PriceKind = 0;
  c.StopPrice = 3400;
  c.ProfitPrice = 3600;
  c.Trailing = 5;
  c.Expiry = 20240101;
  c.State = 0x01;
  c.Ticks = 9;
  struct Case {
    const char *magic;
    size_t size;
    int8_t priceKind;
    double stop;
    int32_t expiry;
    uint8_t reorder, state;
    bool rewritten;
  } cases[] = {
      {"KVDL10", 72, 1, 0, 0, 1, 0, true},  // the state byte lies past 72
      {"KVDL11", 72, 0, 0, 0, 1, 0, true},
      {"KVDL13", 88, 0, 3400, 20240115, 0, 1, true},
      {"KVDL14", 104, 0, 3400, 20240115, 0, 0, false},
      {"KVDL20", 104, 0, 3400, 20240115, 0, 1, false},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.magic);
    ConditionOrder stored = c;
    stored.Expiry = 20240115;  // equal to the trade date: kept
    ConditionOrder lapsed = c;
    lapsed.Expiry = 20240114;  // one day lower: dropped (versions with an expiry)
    const std::string file = std::string(k.magic) + Bytes(stored, k.size) + Bytes(Order("X9999"), k.size) +
                             Bytes(lapsed, k.size) + "tail";
    WriteBytes("DEALLIST.SET", file);
    orders_.LoadConditionOrders(20240115);
    const int32_t expected = k.size == 72 ? 2 : 1;  // the lapsed one has no expiry in 72-byte files
    ASSERT_EQ(desk_.conditions.GetCount(), expected);
    const ConditionOrder &got = desk_.conditions.GetData()[0];
    EXPECT_EQ(got.PriceKind, k.priceKind);
    EXPECT_EQ(got.StopPrice, k.stop);
    EXPECT_EQ(got.Expiry, k.expiry);
    EXPECT_EQ(got.Reorder, k.reorder);
    EXPECT_EQ(got.State, k.state);
    EXPECT_EQ(got.Ticks, 6);  // held to what the history holds
    EXPECT_EQ(got.Stock.stock, 0);
    EXPECT_EQ(ReadBytes("DEALLIST.SET").substr(0, 6), k.rewritten ? "KVDL20" : k.magic);
  }
}

TEST_F(ConditionTest, UnknownMagicIsReplacedAndAnIncompleteTableKeepsMissingContracts) {
  WriteBytes("DEALLIST.SET", "KVDL99" + Bytes(Order()));
  orders_.LoadConditionOrders(20240115);
  EXPECT_EQ(desk_.conditions.GetCount(), 0);
  EXPECT_EQ(ReadBytes("DEALLIST.SET"), "KVDL20");

  WriteBytes("DEALLIST.SET", "KVDL20" + Bytes(Order()) + Bytes(Order("RB2405")));
  orders_.contractsComplete = false;
  orders_.LoadConditionOrders(20240115);
  EXPECT_EQ(desk_.conditions.GetCount(), 1);
  orders_.SaveConditionOrders();
  EXPECT_EQ(ReadBytes("DEALLIST.SET").size(), 6u + 2 * 104);
  orders_.contractsComplete = true;
  orders_.LoadConditionOrders(20240115);
  orders_.SaveConditionOrders();
  EXPECT_EQ(ReadBytes("DEALLIST.SET").size(), 6u + 104);
}

TEST_F(ConditionTest, DealedFileIsStartedAnewWhenMissingShortOrForeign) {
  for (const char *before : {"", "KV", "XXXXXX0123", "KVDD13"}) {
    SCOPED_TRACE(before);
    if (*before)
      WriteBytes("Dealed.dat", before);
    else
      std::filesystem::remove(AccountPath("Dealed.dat"));
    desk_.conditions.RemoveAll();
    desk_.tasks.RemoveAll();
    desk_.conditions.Add(Order());
    ASSERT_TRUE(orders_.FireConditionOrder(0, nullptr));
    const std::string file = ReadBytes("Dealed.dat");
    ASSERT_EQ(file.size(), 6u + 104);
    EXPECT_EQ(file.substr(0, 6), "KVDD13");
    EXPECT_EQ(file[6 + 81] & 0x02, 0x02);  // by hand
    EXPECT_EQ(desk_.tasks.GetCount(), 1);
  }
}

TEST_F(ConditionTest, TheTimeWindowIsTheLastMinuteAndStopsAtMidnight) {
  struct Case {
    const char *name;
    WORD day, h, m, s;
    ConditionOrder order;
    bool fires;
  } cases[] = {
      {"after midnight", 16, 0, 0, 30, AtTime(23, 59, 45), false},
      {"after midnight, due", 16, 0, 0, 30, AtTime(0, 0, 10), true},
      {"start excluded", 15, 12, 0, 0, AtTime(11, 59, 0), false},
      {"inside", 15, 12, 0, 0, AtTime(11, 59, 1), true},
      {"now included", 15, 12, 0, 0, AtTime(12, 0, 0), true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    desk_.conditions.RemoveAll();
    desk_.tasks.RemoveAll();
    LocalAt(c.day, c.h, c.m, c.s);
    desk_.conditions.Add(c.order);
    orders_.CheckTimeConditionOrders();
    EXPECT_EQ(desk_.conditions.GetCount(), c.fires ? 0 : 1);
  }
  // Two due in one second both go, in list order.
  desk_.conditions.RemoveAll();
  desk_.tasks.RemoveAll();
  ConditionOrder a = AtTime(11, 59, 30), b = AtTime(11, 59, 30);
  a.Volume = 1;
  b.Volume = 2;
  desk_.conditions.Add(a);
  desk_.conditions.Add(b);
  orders_.CheckTimeConditionOrders();
  ASSERT_EQ(desk_.tasks.GetCount(), 2);
  EXPECT_EQ(desk_.tasks.GetData()[0].Volume, 1u);
  EXPECT_EQ(desk_.tasks.GetData()[1].Volume, 2u);
}

TEST_F(ConditionTest, TheOpenTriggerFiresTheExchangesOrdersOnly) {
  ConditionOrder dce = Order("M2401", 2), shfe = Order("CU2405", 2), paused = Order("M2401", 2);
  paused.State = 0x01;
  desk_.conditions.Add(dce);
  desk_.conditions.Add(shfe);
  desk_.conditions.Add(paused);
  desk_.conditions.Add(dce);
  orders_.TriggerOpenConditionOrders("dce");
  EXPECT_EQ(desk_.tasks.GetCount(), 2);
  EXPECT_EQ(desk_.conditions.GetCount(), 2);
  EXPECT_EQ(starts_, 1);
  EXPECT_STREQ(desk_.tasks.GetData()[0].Description, "条件单: M2401(开盘时)");
}

TEST_F(ConditionTest, FiringByHandChecksStopAndTakeProfitAgainstAPriceThereIs) {
  struct Case {
    const char *name;
    uint32_t last, bid;  // 1/1000
    double stop, profit;
    bool fires;
  } cases[] = {
      {"bid 1 at the stop", 3510000, 3500000, 3500, 0, false},
      {"stop below", 3510000, 3510000, 3500, 0, true},
      {"take-profit reached", 3600000, 0, 0, 3600, false},
      {"before the first trade", 0, 0, 3500, 3600, true},
      {"empty book, last price stands in", 3490000, 0, 3500, 0, false},
  };
  desk_.options.StopTriggerMethodL = 1;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    desk_.conditions.RemoveAll();
    Quote().last = c.last;
    Quote().bid[0].price = c.bid;
    ConditionOrder o = Order();
    o.StopPrice = c.stop;
    o.ProfitPrice = c.profit;
    desk_.conditions.Add(o);
    EXPECT_EQ(orders_.FireConditionOrder(0, nullptr), c.fires);
    EXPECT_EQ(desk_.conditions.GetCount(), c.fires ? 0 : 1);
  }
  // Fired by a trigger, the same order goes without the check.
  desk_.conditions.RemoveAll();
  Quote().last = 3400000;
  ConditionOrder o = Order();
  o.StopPrice = 3500;
  desk_.conditions.Add(o);
  EXPECT_TRUE(orders_.FireConditionOrder(0, desk_.FindContract("M2401")));
}

TEST_F(ConditionTest, AMissingContractDropsTheOrderWithAMessage) {
  desk_.conditions.Add(Order("RB2405"));
  EXPECT_TRUE(orders_.FireConditionOrder(0, nullptr));
  EXPECT_EQ(desk_.conditions.GetCount(), 0);
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  EXPECT_FALSE(boxes_.Calls().empty());
}

TEST_F(ConditionTest, ArmedAutomationNeedsAnActiveOrderOrAStop) {
  EXPECT_FALSE(orders_.HasArmedAutomation());
  desk_.conditions.Add(Order());  // pre-set
  ConditionOrder paused = Order("M2401", 0);
  paused.State = 1;
  desk_.conditions.Add(paused);
  EXPECT_FALSE(orders_.HasArmedAutomation());
  desk_.conditions.Add(Order("M2401", 3));
  EXPECT_TRUE(orders_.HasArmedAutomation());
  desk_.conditions.RemoveAll();
  InvestorPosition_Lite &p = AddPosition('2', 1);
  p.AddStop(desk_.positions, 1, 3500, 0, 0, 0, 0, 0);
  EXPECT_TRUE(orders_.HasArmedAutomation());
}

}  // namespace
}  // namespace trading_test
