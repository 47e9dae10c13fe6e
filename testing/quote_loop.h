// A terminal logged in to the quote double over loopback, for view tests:
// the standard data set written to a scratch folder, the market table, the
// block table and the news index built from it, every right granted, and a
// request client whose answers land in the cache and reach the views the
// way the main window hands them on. Made and torn down by one object.
#pragma once

#include <functional>
#include <memory>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"
#include "testing/quote_double.h"
#include "testing/quote_double_requests.h"

namespace testing_support {

class QuoteLoop {
 public:
  explicit QuoteLoop(QuoteRequestServer::Options options = {});
  ~QuoteLoop();
  QuoteLoop(const QuoteLoop &) = delete;
  QuoteLoop &operator=(const QuoteLoop &) = delete;

  // False when the login to the double failed.
  bool Connected() const { return connected_; }
  // Nothing queued and nothing in flight.
  static bool Idle();
  // Serves messages until the queue is idle (real time, at most timeoutMs).
  bool WaitIdle(int timeoutMs = 5000);

  market_fixture::MarketSandbox &Box() { return box_; }
  const market_fixture::DataSetDesc &DataSet() const { return desc_; }
  QuoteDouble &Double() { return quotes_; }
  TNewsIndex &News() { return *news_; }
  HWND MainWindow() const { return main_; }
  MessageTrace &Trace() { return trace_; }

  // The view that answers carry a tag for (ranking files are posted to it).
  std::function<HWND(uint32_t tag)> viewByTag;
  // What the main window does with an announcement (WM_STOCK_DATA ...).
  std::function<void(UINT message, WPARAM wParam, LPARAM lParam)> onMainMessage;

 private:
  static LRESULT MainProc(HWND, UINT message, WPARAM wParam, LPARAM lParam);

  market_fixture::MarketSandbox box_;
  market_fixture::DataSetDesc desc_;
  std::unique_ptr<TDataIO> io_;
  std::unique_ptr<TBlockGroup> blocks_;
  std::unique_ptr<TNewsIndex> news_;
  MessageTrace trace_;
  HWND main_ = nullptr;
  QuoteDouble quotes_;
  std::unique_ptr<QuoteRequestServer> server_;
  std::unique_ptr<TNormalClnt> client_;
  bool connected_ = false;
};

}  // namespace testing_support
