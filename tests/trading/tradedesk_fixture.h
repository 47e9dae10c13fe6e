// A trading desk driven without windows: recorders stand in for the
// trading window and the main window, a sandbox holds the settings files,
// and a plug-in table of test functions answers as the test sets it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/desk_ui_recorder.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"
#include "testing/msgbox_recorder.h"
#include "trading/deskdata.h"
#include "trading/tradedesk.h"

namespace trading_test {

// What the test plug-in answers and what it was asked.
struct FakeBroker {
  std::vector<std::string> servers{"电信主站", "联通主站"};
  std::string investor = "880001";
  int initResult = 0;
  int noticeResult = 0;
  int settleResult = 0;
  int confirmResult = 0;
  int changeResult = 0;
  std::vector<std::string> calls;
  std::vector<std::string> Calls(const std::string &prefix) const;
};
extern FakeBroker Fake;
// The plug-in table filled with the test functions.
void InstallFakePlugin();

class TradingDeskTest : public testing::Test {
 protected:
  TradingDeskTest();
  ~TradingDeskTest() override;

  // The login page filled as a user would: account 880001, password
  // 111111, the drawn code, the first server.
  void FillLogin();
  // Logs in through the test plug-in and moves to a trading page.
  void LogInToTradingPage();
  std::string UserIni(const std::string &section, const std::string &key);
  std::string AccountIni(const std::string &section, const std::string &key);
  // The WM_TRADE_NOTIFY messages the main window received.
  std::vector<WPARAM> PostedNotifications();

  ScopedFakeClock clock_;
  market_fixture::MarketSandbox box_;
  MessageBoxRecorder boxes_;
  testing_support::MessageTrace trace_;
  TTradeDesk data_;
  DeskUiRecorder ui_;
  DeskHostRecorder host_;
  TTradingDesk desk_;
};

}  // namespace trading_test
