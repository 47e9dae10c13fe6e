// A desk over a small market table for the trading tests: a day futures
// market "DL" and its night market "DN" merged in one combo (the night one
// from 21:00), a stock market before them, and the account 880001 in the
// sandbox's user folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/merger.h"
#include "market/utildata.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "trading/deskdata.h"

namespace trading_test {

class DeskTest : public testing::Test {
 protected:
  DeskTest();
  ~DeskTest() override;

  // A contract record of the table for a code and instrument.
  static CContractInfo Contract(const char *code, STKPTR stock = STKPTR());
  // The account folder's file, as another program sees it.
  std::string AccountPath(const std::string &name) const { return box_.Path("user/880001/" + name); }
  // "code|text" of every line of a file of the trade log folder, without
  // the logger's number and time.
  std::vector<std::string> TradeLogRecords(const std::string &name = "20240115.phl") const;

  ScopedFakeClock clock_;
  market_fixture::MarketSandbox box_;
  MessageBoxRecorder boxes_;
  std::unique_ptr<TDataIO> io_;
  TTradeDesk desk_;
};

}  // namespace trading_test
