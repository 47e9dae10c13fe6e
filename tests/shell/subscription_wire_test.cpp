// The subscription as the push server reads it: the push client connected
// to the quote service on loopback, the frame's core sending through it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "market/dataio5.h"
#include "market/realclient.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "shell/framecore.h"
#include "shell/quoteconn.h"
#include "testing/msgbox_recorder.h"
#include "testing/quote_service.h"
#include "testing/terminal_sandbox.h"
#include "testing/view_harness.h"
#include "views/mvmain.h"

namespace {

class PushClientSink : public TSubscriptionSink {
 public:
  const EArray<STKMS> *Current() override { return RealtimeClient ? RealtimeClient->Subscription() : nullptr; }
  void Subscribe(EArray<STKMS> *list, uint16_t count) override { RealtimeClient->Subscribe(list, count, 1); }
};

class SubscriptionWireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.Running());
    sandbox_ = std::make_unique<TerminalSandbox>(dataSet_, service_, "alice", "secret", "kivo-subscription");
    ASSERT_TRUE(sandbox_->Ready());
    ASSERT_TRUE(BuildMarketTableOffline());
    DSINFO all{};
    std::memset(all.marketRights, 0xFF, sizeof all.marketRights);
    TakeOverRights(all);
    main_ = std::make_unique<TForm>(nullptr);
    page_ = new TMultiViewMain(main_.get(), 1, "");
    harness_.Pump();
    links_.page = &page_;
    receivers_.positionStocks = [this](TSubscriptionBuilder &b) {
      for (STKPTR s : positions_) b.Add(s);
    };
    core_ = std::make_unique<TFrameCore>(links_, receivers_);
    core_->SetSubscriptionSink(&sink_);
    ReadPushLogin();
    ASSERT_TRUE(ReconnectClients());
  }
  void TearDown() override {
    core_.reset();
    delete page_;
    main_.reset();
    ClearRights();
    FreeMarketTable();
    sandbox_.reset();
  }
  // The bodies of the subscriptions the server has read, once there are n.
  std::vector<SUBSCRIBEBODY> Bodies(size_t n) {
    std::vector<QuotePushDouble::Frame> frames;
    for (int i = 0; i < 1000; ++i) {
      harness_.Pump();
      frames = service_.Push().Frames(100);
      if (frames.size() >= n) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::vector<SUBSCRIBEBODY> out;
    for (const auto &f : frames) {
      SUBSCRIBEBODY body{};
      const std::vector<uint8_t> bytes = f.Body();
      std::memcpy(&body, bytes.data(), std::min(bytes.size(), sizeof body));
      out.push_back(body);
    }
    return out;
  }
  static std::vector<int> Stocks(const SUBSCRIBEBODY &body) {
    std::vector<int> out;
    for (int i = 0; i < body.count && i < SUBSCRIBEBODY::kMaxEntries; ++i) out.push_back(body.entries[i].stock);
    return out;
  }

  market_fixture::DataSetDesc dataSet_ = market_fixture::StandardDataSet(UtcNowPacked());
  QuoteService service_{dataSet_, QuoteService::Options{0, 0, 0, 0, "alice", "secret"}};
  std::unique_ptr<TerminalSandbox> sandbox_;
  MessageBoxRecorder boxes_;
  testing_support::ViewHarness harness_;
  std::unique_ptr<TForm> main_;
  TMultiViewMain *page_ = nullptr;
  TFrameLinks links_;
  TFrameReceivers receivers_;
  PushClientSink sink_;
  std::unique_ptr<TFrameCore> core_;
  std::vector<STKPTR> positions_;
};

// The whole list first and after a reconnect, new entries first on a
// change, nothing when nothing changed.
TEST_F(SubscriptionWireTest, ThePushServerReadsTheListAndItsNewEntries) {
  const STKPTR a(0, 0, 3), b(0, 0, 4), c(0, 0, 5);
  positions_ = {a, b};
  core_->UpdateRealtimeSubscription(true);
  positions_ = {a, b, c};
  core_->UpdateRealtimeSubscription(true);
  core_->UpdateRealtimeSubscription(true);
  positions_ = {a, c};
  core_->UpdateRealtimeSubscription(true);
  std::vector<SUBSCRIBEBODY> bodies = Bodies(3);
  ASSERT_EQ(bodies.size(), 3u) << "the unchanged list is not sent";
  EXPECT_EQ(Stocks(bodies[0]), (std::vector<int>{3, 4}));
  EXPECT_EQ(bodies[0].value, 2);
  EXPECT_EQ(bodies[0].flag, 1);
  EXPECT_EQ(Stocks(bodies[1]), (std::vector<int>{5, 3, 4}));
  EXPECT_EQ(bodies[1].value, 1);
  EXPECT_EQ(Stocks(bodies[2]), (std::vector<int>{3, 5}));
  EXPECT_EQ(bodies[2].value, 0);

  DeleteRealtimeClient();
  ASSERT_TRUE(ReconnectClients());
  service_.Push().ClearFrames();
  core_->UpdateRealtimeSubscription(true);
  bodies = Bodies(1);
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(Stocks(bodies[0]), (std::vector<int>{3, 5}));
  EXPECT_EQ(bodies[0].value, 2) << "a new connection gets the whole list";
}

}  // namespace
