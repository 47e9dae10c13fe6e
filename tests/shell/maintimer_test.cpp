#include "shell/maintimer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "market/dataio5.h"
#include "testing/market_fixture_min.h"

using namespace market_fixture;

namespace {

// Records what each tick asks, with the tick counter it happened on.
class RecordingHost : public TMainTimerHost {
 public:
  explicit RecordingHost(const TMainTimer *timer) : timer_(timer) {}
  bool HasRequestClient() override { return request; }
  bool HasPushClient() override { return push; }
  DWORD PushLastActivity() override { return lastActivity; }
  bool PushCongested() override { return congested; }
  void SendPushKeepAlive() override {
    log.push_back("push keep-alive@" + Now());
    lastActivity = now;
  }
  void SendRequestKeepAlive() override { log.push_back("request keep-alive@" + Now()); }
  void RequestCodeTable(int market) override { log.push_back("code table " + std::to_string(market) + "@" + Now()); }
  void ReconnectAttempt() override {
    attempts.push_back(timer_->tickCounter);
    if (onAttempt) onAttempt();
  }
  void PostReconnectQuestion() override { questions.push_back(timer_->tickCounter); }
  void PulseViews(int a) override { log.push_back("pulse " + std::to_string(a) + "@" + Now()); }
  void ClearKindQuotes(int market, int kind) override {
    log.push_back("clear " + std::to_string(market) + "/" + std::to_string(kind) + "@" + Now());
  }
  void ClearMajorIndexValues() override { log.push_back("index values@" + Now()); }
  void MarketCleared(int market) override { log.push_back("market cleared " + std::to_string(market) + "@" + Now()); }
  void RebuildAgents(int market, int kind) override {
    log.push_back("agents " + std::to_string(market) + "/" + std::to_string(kind) + "@" + Now());
  }
  void RemapTradeContracts() override { log.push_back("remap@" + Now()); }

  std::string Now() const { return std::to_string(timer_->tickCounter); }
  std::vector<std::string> Take(const std::string &prefix) {
    std::vector<std::string> out;
    for (const std::string &line : log)
      if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
  }

  const TMainTimer *timer_;
  bool request = true, push = true, congested = false;
  DWORD lastActivity = 0, now = 0;
  std::vector<std::string> log;
  std::vector<uint32_t> attempts, questions;
  std::function<void()> onAttempt;
};

// Numbers from a script; records the seeds.
class ScriptedRandom : public TRandomSource {
 public:
  void Seed(uint32_t seed) override { seeds.push_back(seed); }
  int Next() override { return values.empty() ? 0 : values[next++ % values.size()]; }
  std::vector<int> values;
  std::vector<uint32_t> seeds;
  size_t next = 0;
};

class MainTimerTest : public ::testing::Test {
 protected:
  MainTimerTest() : host_(&timer_), timer_(host_, random_) {}
  // One tick, a second after the last.
  void Tick() {
    host_.now += 1000;
    timer_.Tick(host_.now);
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }

  RecordingHost host_;
  ScriptedRandom random_;
  TMainTimer timer_;
};

// The push connection goes at tick 12: one attempt at once, then one on
// every multiple of 5, twelve in all, then the question once, then nothing.
TEST_F(MainTimerTest, ALostConnectionIsRetriedOnTheCountdownsTicksThenTheUserIsAsked) {
  timer_.retryCounter = 12;
  Ticks(12);
  EXPECT_TRUE(host_.attempts.empty());
  host_.push = false;
  Ticks(100);
  EXPECT_EQ(host_.attempts, (std::vector<uint32_t>{13, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65}));
  EXPECT_EQ(host_.questions, (std::vector<uint32_t>{70}));
  EXPECT_EQ(timer_.retryCounter, -1);
}

TEST_F(MainTimerTest, ASuccessfulAttemptStartsTheFullSeriesAgainAfterTheNextLoss) {
  timer_.retryCounter = 12;
  host_.push = false;
  host_.onAttempt = [&] {
    if (host_.attempts.size() == 3) {  // the third works: the frame resets the counter
      host_.push = true;
      timer_.retryCounter = TMainTimer::kRetryFull;
    }
  };
  Ticks(20);
  EXPECT_EQ(host_.attempts, (std::vector<uint32_t>{1, 5, 10}));
  host_.onAttempt = nullptr;
  host_.push = false;
  Ticks(80);
  EXPECT_EQ(host_.attempts.size(), 3u + 12u);
  EXPECT_EQ(host_.attempts[3], 21u);
  EXPECT_EQ(host_.questions.size(), 1u);
}

TEST_F(MainTimerTest, AKickOutOrAnOpenLoginDialogMakesNoAttempt) {
  timer_.retryCounter = -1;  // what the kick-out leaves
  host_.push = host_.request = false;
  Ticks(100);
  EXPECT_TRUE(host_.attempts.empty());
  EXPECT_TRUE(host_.questions.empty());

  timer_.retryCounter = 12;
  timer_.loginOpen = true;
  Ticks(30);
  EXPECT_TRUE(host_.attempts.empty()) << "the countdown waits while the dialog is open";
  EXPECT_EQ(timer_.retryCounter, 12);
  timer_.loginOpen = false;
  Tick();
  EXPECT_EQ(host_.attempts.size(), 1u);
}

// A push keep-alive goes 10 s after the client's last activity; every 57th
// tick the request client's goes, and the push client's unless one just went.
TEST_F(MainTimerTest, KeepAlivesFollowTheLastActivityAndTheFiftySeventhTick) {
  host_.lastActivity = 0;
  Ticks(57 * 2);
  EXPECT_EQ(host_.Take("request"), (std::vector<std::string>{"request keep-alive@57", "request keep-alive@114"}));
  const auto push = host_.Take("push");
  EXPECT_EQ(push.front(), "push keep-alive@10");
  // Ticks 10..50, then 57 (the 57th tick, 7 s after the last), 67 ... 107 and
  // 114 (the second 57th tick).
  EXPECT_EQ(push, (std::vector<std::string>{"push keep-alive@10", "push keep-alive@20", "push keep-alive@30",
                                            "push keep-alive@40", "push keep-alive@50", "push keep-alive@57",
                                            "push keep-alive@67", "push keep-alive@77", "push keep-alive@87",
                                            "push keep-alive@97", "push keep-alive@107",
                                            "push keep-alive@114"}));
  // Never two in one tick, also when both rules hold at once.
  for (size_t i = 1; i < push.size(); ++i) EXPECT_NE(push[i], push[i - 1]);
  host_.log.clear();
  host_.lastActivity = host_.now - 10000 + 1000 * (171 - 114);  // due exactly at tick 171
  Ticks(171 - 114);
  EXPECT_EQ(host_.Take("push keep-alive@171").size(), 1u);
}

// The connection panel: the counter walks 1..4 while normal, -1..-4 while
// congested, and a change of state keeps moving the letter one place on.
TEST_F(MainTimerTest, TheConnectionCounterWalksAndFlipsWithTheCongestion) {
  std::vector<int> counters, texts;
  const bool congested[] = {false, false, false, false, false, true, true, false, true, true, true, true, true};
  for (bool c : congested) {
    host_.congested = c;
    Tick();
    counters.push_back(timer_.connectionCounter);
    texts.push_back(timer_.connectionText);
  }
  EXPECT_EQ(counters, (std::vector<int>{1, 2, 3, 4, 1, -2, -3, 4, -1, -2, -3, -4, -1}));
  EXPECT_EQ(texts[0], kConnectionNormal);
  EXPECT_EQ(texts[5], kConnectionCongested);
  EXPECT_EQ(texts[7], kConnectionNormal);
  timer_.connectionCounter = 0;
  host_.congested = true;
  Tick();
  EXPECT_EQ(timer_.connectionCounter, -1);
}

TEST_F(MainTimerTest, PulsesComeEverySoManyTicksAndPageCyclingOnlyWhileOn) {
  timer_.sortTime = 30;
  timer_.pageTime = 15;
  timer_.refreshTime = 20;
  Ticks(60);
  EXPECT_EQ(host_.Take("pulse"), (std::vector<std::string>{"pulse 2@20", "pulse 1@30", "pulse 2@40", "pulse 1@60",
                                                           "pulse 2@60"}));
  host_.log.clear();
  timer_.quoteCycling = true;
  Ticks(16);
  EXPECT_EQ(host_.Take("pulse 0"), (std::vector<std::string>{"pulse 0@61", "pulse 0@76"}));
}

// A market whose day has started anew: its quotes are cleared on the 63rd
// tick at once; only the code table waits the random delay.
class DayRollTest : public MainTimerTest {
 protected:
  void SetUp() override {
    // Markets 0 (stocks, two kinds) and 1 (futures), both open from 9:30.
    for (int m = 0; m < 2; ++m) {
      MKINFO record = MakeMarket(m == 0 ? "SH" : "QH", m == 0 ? "SHA" : "QHA", m == 0 ? 1 : 2, 10, 8, uint8_t(m));
      AddKind(record, "A", {{570, 690}, {780, 900}}, 560, 910);
      if (m == 0) AddKind(record, "B", {{570, 690}}, 560, 700);
      MarketTable.records[m] = record;
      MarketTable.markets[m] = new TMarketData(m, record);
    }
    MarketTable.marketCount = 2;
    RegisterFuturesMarket(1);
    // Wednesday 2024-01-17 9:40; yesterday's trading date.
    for (int m = 0; m < 2; ++m) {
      TMarketData *market = MarketAt(m);
      market->m_currentTime = MakePackedDateTime(2024, 1, 17, 9, 40);
      market->m_currentMinute = 580;
      for (int k = 0; k < 2; ++k) market->m_tradingDate[k] = MakePackedDateTime(2024, 1, 16, 0, 0);
    }
    random_.values = {99, 5};
    timer_.tickCounter = 62;
  }

  MarketSandbox box_;
};

TEST_F(DayRollTest, QuotesClearAtOnceAndTheCodeTableFollowsTheSeededDelay) {
  host_.now = 777000;
  Tick();  // tick 63
  EXPECT_EQ(random_.seeds, (std::vector<uint32_t>{778000})) << "seeded with the tick count of this tick";
  EXPECT_EQ(host_.Take("clear"), (std::vector<std::string>{"clear 0/0@63", "clear 0/1@63", "clear 1/0@63"}));
  EXPECT_EQ(host_.Take("index values").size(), 1u);
  EXPECT_EQ(host_.Take("market cleared"), (std::vector<std::string>{"market cleared 0@63", "market cleared 1@63"}));
  EXPECT_EQ(host_.Take("agents"), (std::vector<std::string>{"agents 0/0@63", "agents 0/1@63", "agents 1/0@63"}));
  EXPECT_EQ(host_.Take("remap").size(), 1u) << "a futures market rolled";
  EXPECT_EQ(MarketAt(0)->m_tradingDate[0], MakePackedDateTime(2024, 1, 17, 9, 40));
  EXPECT_EQ(timer_.marketZeroCountdown, 100);   // 99 % 300 + 1
  EXPECT_EQ(timer_.marketCountdowns[1], 66);    // 5 % 240 + 61
  EXPECT_TRUE(host_.Take("code table").empty());

  Ticks(126);  // two more 63rd ticks: nothing rolls again
  EXPECT_EQ(host_.Take("clear").size(), 3u);
  Ticks(300);
  EXPECT_EQ(host_.Take("code table"), (std::vector<std::string>{"code table 1@129", "code table 0@163"}));
}

TEST_F(DayRollTest, NothingRollsBeforeTheDayStartOnAHolidayOrOffTheSixtyThirdTick) {
  timer_.tickCounter = 0;
  Ticks(62);
  EXPECT_TRUE(host_.Take("clear").empty());
  for (int m = 0; m < 2; ++m) MarketAt(m)->m_currentMinute = 561;  // day start + 1
  Tick();
  EXPECT_TRUE(host_.Take("clear").empty());
  for (int m = 0; m < 2; ++m) {
    MarketAt(m)->m_currentMinute = 580;
    MarketAt(m)->m_currentTime = MakePackedDateTime(2024, 1, 20, 9, 40);  // a Saturday
  }
  Ticks(63);
  EXPECT_TRUE(host_.Take("clear").empty());
  EXPECT_EQ(timer_.marketZeroCountdown, 0);
  // Without a request client the code tables wait, but the quotes still roll.
  for (int m = 0; m < 2; ++m) MarketAt(m)->m_currentTime = MakePackedDateTime(2024, 1, 22, 9, 40);
  host_.request = false;
  Ticks(63);
  EXPECT_EQ(host_.Take("clear").size(), 3u);
  EXPECT_EQ(timer_.marketZeroCountdown, 0);
  EXPECT_EQ(timer_.marketCountdowns[1], 0);
}

TEST(Wheel, TheSubscriptionFollowsOnce350MsAfterTheLastStep) {
  TWheelAndTicker wheel;
  EXPECT_FALSE(wheel.WheelRested(5000));
  wheel.NoteWheel(0);
  EXPECT_EQ(wheel.wheelStamp, 1u) << "a tick count of 0 still counts as set";
  wheel.NoteWheel(1000);
  EXPECT_FALSE(wheel.WheelRested(1349));
  EXPECT_TRUE(wheel.WheelRested(1350));
  EXPECT_FALSE(wheel.WheelRested(2000)) << "once";
}

}  // namespace
