#include "shell/maintimer.h"

#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/utildata.h"

namespace {

constexpr uint32_t kPushKeepAliveMs = 10000;
constexpr uint32_t kRequestKeepAliveTicks = 57;
constexpr uint32_t kRetryEveryTicks = 5;
constexpr uint32_t kRollEveryTicks = 63;
constexpr DWORD kWheelRestMs = 350;

inline PackedDateTime DatePart(PackedDateTime value) { return value & 0xFFFFF800u; }

}  // namespace

bool KindNeedsRoll(int market, int kind) {
  const TMarketData *data = MarketAt(market);
  if (!data || kind < 0 || kind >= kMaxStockKinds || kind >= data->m_info.kindCount) return false;
  if (!IsPastDayStart(data, kind)) return false;
  const PackedDateTime today = data->m_currentTime;
  if (IsNonTradingDay(&today, data->m_info.calendarKey)) return false;
  return DatePart(today) != DatePart(data->m_tradingDate[kind]);
}

void TMainTimer::Tick(DWORD now) {
  ++tickCounter;
  bool pushSent = false;
  if (host_.HasPushClient() && DWORD(now - host_.PushLastActivity()) >= kPushKeepAliveMs) {
    host_.SendPushKeepAlive();
    pushSent = true;
  }
  if (tickCounter % kRequestKeepAliveTicks == 0) {
    if (host_.HasRequestClient()) host_.SendRequestKeepAlive();
    if (!pushSent && host_.HasPushClient()) host_.SendPushKeepAlive();
  }
  if (!loginOpen) CountDownCodeTables();
  if (host_.HasRequestClient() && host_.HasPushClient()) {
    ShowConnection();
  } else {
    clockMinute = int32_t(CurrentUtcTime >> 6 & 0x1F) * 60 + int32_t(CurrentUtcTime & 0x3F);
    host_.RepaintClockPanel();
    if (!loginOpen) CountDownReconnect();
  }
  Pulse();
  if (tickCounter % kRollEveryTicks == 0 && !loginOpen) RollMarkets(now);
  host_.TradeTimer();
  host_.TradingIdle();
}

void TMainTimer::CountDownCodeTables() {
  if (marketZeroCountdown > 0 && --marketZeroCountdown == 0 && host_.HasRequestClient()) host_.RequestCodeTable(0);
  for (int m = 0; m < MarketTable.marketCount && m < 48; ++m) {
    if (!MarketAt(m)) continue;
    if (marketCountdowns[m] > 0 && --marketCountdowns[m] == 0 && host_.HasRequestClient()) host_.RequestCodeTable(m);
  }
}

void TMainTimer::ShowConnection() {
  const bool congested = host_.PushCongested();
  int32_t &c = connectionCounter;
  if (c == 0) {
    connectionText = congested ? kConnectionCongested : kConnectionNormal;
    c = congested ? -1 : 1;
  } else if (c < 0) {
    if (congested) {
      --c;
    } else {
      connectionText = kConnectionNormal;
      c = 1 - c;
    }
  } else {
    if (congested) {
      connectionText = kConnectionCongested;
      c = -c - 1;
    } else {
      ++c;
    }
  }
  if (c == 5) c = 1;
  if (c == -5) c = -1;
  host_.RepaintConnectionPanel();
}

void TMainTimer::CountDownReconnect() {
  if (retryCounter == kRetryFull) {
    retryCounter = kRetryFull - 1;
    host_.ReconnectAttempt();
    return;
  }
  if (tickCounter % kRetryEveryTicks != 0) return;
  if (retryCounter > 0) {
    --retryCounter;
    host_.ReconnectAttempt();
  } else if (retryCounter == 0) {
    retryCounter = -1;
    host_.PostReconnectQuestion();
  }
}

void TMainTimer::Pulse() {
  if (tickCounter - sortStamp >= sortTime) {
    sortStamp = tickCounter;
    host_.PulseViews(1);
  }
  if (quoteCycling && tickCounter - pageStamp >= pageTime) {
    pageStamp = tickCounter;
    host_.PulseViews(0);
  }
  if (tickCounter - refreshStamp >= refreshTime) {
    refreshStamp = tickCounter;
    host_.PulseViews(2);
  }
  host_.ChartSecond();
}

void TMainTimer::RollMarkets(DWORD now) {
  random_.Seed(now);
  if (host_.HasRequestClient() && KindNeedsRoll(0, 0)) marketZeroCountdown = random_.Next() % 300 + 1;
  bool rolled = false;
  auto rollCodes = [&](int m) {
    if (m < 0 || m >= 48 || marketCountdowns[m] != 0 || !host_.HasRequestClient() || !KindNeedsRoll(m, 0)) return;
    marketCountdowns[m] = random_.Next() % 240 + 61;
    rolled = true;
  };
  for (int i = 0; i < GetFuturesMarketCount(); ++i) rollCodes(GetFuturesMarketAt(i));
  for (int i = 0; i < GetExtraCodeAskMarketCount(); ++i) rollCodes(GetExtraCodeAskMarketAt(i));
  if (rolled) host_.RemapTradeContracts();

  for (int m = 0; m < MarketTable.marketCount && m < 48; ++m) {
    TMarketData *market = MarketAt(m);
    if (!market) continue;
    const int kinds = market->m_info.kindCount < kMaxStockKinds ? market->m_info.kindCount : kMaxStockKinds;
    bool cleared = false;
    for (int k = 0; k < kinds; ++k) {
      if (!KindNeedsRoll(m, k)) continue;
      host_.ClearKindQuotes(m, k);
      if (m == 0 && k == 0) host_.ClearMajorIndexValues();
      cleared = true;
    }
    if (!cleared) continue;
    host_.MarketCleared(m);
    for (int k = 0; k < kinds; ++k) {
      if (!KindNeedsRoll(m, k)) continue;
      market->m_tradingDate[k] = market->m_currentTime;
      host_.RebuildAgents(m, k);
      host_.ReloadChartViews(m, k);
    }
  }
}

bool TWheelAndTicker::WheelRested(DWORD now) {
  if (wheelStamp == 0 || DWORD(now - wheelStamp) < kWheelRestMs) return false;
  wheelStamp = 0;
  return true;
}
