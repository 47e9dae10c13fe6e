// The work of the main window's one-second timer, as an object that needs
// no window: the keep-alives of both quote clients, the code-table
// countdowns, the connection display and the reconnect countdown, the
// pulses to the views, the roll of every market to its next trading day
// and the trading checks. The main window's timer only calls Tick; tests
// call it with their own tick counts and random source.
//
// Its second timer (30 ms) is here too: the subscription follows a quote
// report once the mouse wheel has rested for 350 ms, and the news ticker
// scrolls.
#pragma once

#include <cstdint>

#include "core/datetime.h"
#include "platform/windef.h"

// The random numbers of the day roll: seeded with the tick count of the
// tick that rolls, 0..32767 like the C library's rand.
class TRandomSource {
 public:
  virtual ~TRandomSource() = default;
  virtual void Seed(uint32_t seed) { state_ = seed; }
  virtual int Next() {
    state_ = state_ * 214013u + 2531011u;
    return int(state_ >> 16 & 0x7FFF);
  }

 private:
  uint32_t state_ = 1;
};

// What a tick acts on. The main window implements it over its clients,
// panels and views; tests record the calls.
class TMainTimerHost {
 public:
  virtual ~TMainTimerHost() = default;
  // ---- the quote clients ----
  virtual bool HasRequestClient() = 0;
  virtual bool HasPushClient() = 0;
  // Tick of the push client's last login, send or receive.
  virtual DWORD PushLastActivity() = 0;
  // While the push server marks its frames as sent over a slow network.
  virtual bool PushCongested() = 0;
  virtual void SendPushKeepAlive() = 0;
  virtual void SendRequestKeepAlive() = 0;
  virtual void RequestCodeTable(int market) = 0;
  // One automatic reconnect attempt.
  virtual void ReconnectAttempt() = 0;
  // The attempts are used up: ask the user (WM_QUOTE_EVENT 1 to the frame).
  virtual void PostReconnectQuestion() = 0;
  // ---- the status bar ----
  virtual void RepaintConnectionPanel() {}
  virtual void RepaintClockPanel() {}
  // ---- the views ----
  // Code 8 to every view of the page: a = 0 page cycle, 1 sort, 2 refresh.
  virtual void PulseViews(int a) { (void)a; }
  // Code 8 with 3 to every intraday and K-line view, last to first.
  virtual void ChartSecond() {}
  // ---- the day roll ----
  virtual void ClearKindQuotes(int market, int kind) = 0;
  // Market 0 kind 0 was cleared: the first two index records go to zero.
  virtual void ClearMajorIndexValues() {}
  // Some kind of the market was cleared: subscription and report grids.
  virtual void MarketCleared(int market) { (void)market; }
  virtual void RebuildAgents(int market, int kind) = 0;
  virtual void ReloadChartViews(int market, int kind) {
    (void)market;
    (void)kind;
  }
  virtual void RemapTradeContracts() {}
  // ---- trading ----
  virtual void TradeTimer() {}
  virtual void TradingIdle() {}
};

// Connection texts of the status bar's connection panel.
enum : int { kConnectionOffline = 0, kConnectionNormal = 1, kConnectionCongested = 2 };

class TMainTimer {
 public:
  TMainTimer(TMainTimerHost &host, TRandomSource &random) : host_(host), random_(random) {}

  // One second of the main timer; now is the tick count of this call.
  void Tick(DWORD now);

  // The push client's reconnect countdown: 12 connected, 11..0 reconnecting,
  // -1 no automatic reconnect.
  int32_t retryCounter = -1;
  static constexpr int32_t kRetryFull = 12;
  uint32_t tickCounter = 0;
  int32_t marketZeroCountdown = 0;
  int32_t marketCountdowns[48] = {};
  // Pulse periods in ticks ("..\CFG\SETTING.INI" [Parameter] SortTime,
  // PageTime, RefreshTime) and the tick of each pulse last sent.
  uint32_t sortTime = 30, pageTime = 15, refreshTime = 30;
  uint32_t sortStamp = 0, pageStamp = 0, refreshStamp = 0;
  bool quoteCycling = false;
  // The connection panel: its animation counter (1..4 normal, -1..-4
  // congested, 0 not yet shown) and its text.
  int32_t connectionCounter = 0;
  int32_t connectionText = kConnectionOffline;
  // The UTC minute of the day shown while no full connection exists.
  int32_t clockMinute = 0;
  // Set while a login dialog is open: the reconnect countdown, the
  // code-table countdowns and the day roll wait, so that nothing reads the
  // market table while the dialog's worker rebuilds it and no second
  // connection is made beside the dialog's.
  bool loginOpen = false;

 private:
  void ShowConnection();
  void CountDownReconnect();
  void CountDownCodeTables();
  void Pulse();
  void RollMarkets(DWORD now);

  TMainTimerHost &host_;
  TRandomSource &random_;
};

// Whether the market's kind starts a new trading day: it has passed its
// first open by two minutes, its current date trades for the market's own
// calendar, and the date of its current time is not the kind's trading date.
bool KindNeedsRoll(int market, int kind);

// The second timer's work.
class TWheelAndTicker {
 public:
  // The tick count of the last wheel step on a quote report (0 none; a
  // tick count of 0 is kept as 1).
  void NoteWheel(DWORD now) { wheelStamp = now ? now : 1; }
  // True when the subscription should follow now (the stamp is cleared).
  bool WheelRested(DWORD now);
  DWORD wheelStamp = 0;
};
