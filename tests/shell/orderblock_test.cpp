// The keyboard order block of the real frame: the trading window's key
// and the one-second idle check click into the block's corner, so that
// "查可开" takes the focus, and put the cursor back.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/ownerdrawpanel.h"
#include "core/xpbutton.h"
#include "market/dataio5.h"
#include "platform/winuser.h"
#include "shell/commands.h"
#include "shell/framechrome.h"
#include "shell/mframe.h"
#include "shell/quoteconn.h"
#include "tests/shell/frame_folder.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"
#include "testing/msgbox_recorder.h"
#include "testing/quote_service.h"
#include "testing/shell_recorder.h"
#include "testing/view_harness.h"
#include "trading/orderforms.h"
#include "trading/pluginapi.h"
#include "trading/tradedesk.h"
#include "trading/tradingwindow.h"
#include "views/viewdisplay.h"

using namespace market_fixture;

namespace {

int OrderBlockDllVersion() { return 1; }
void OrderBlockInvestor(char *, char *id, char *) {
  if (id) id[0] = '\0';
}

// The program's own trading window and idle check, offline.
class OrderBlockParts : public TFrameParts {
 public:
  int ShowLoginDialog(TMFrame &, bool) override { return 3; }
  bool TradingBound() override { return true; }
  void SetupTradingPanel(TMFrame &frame) override { DefaultFrameParts().SetupTradingPanel(frame); }
  void TradingIdle(TMFrame &frame) override { DefaultFrameParts().TradingIdle(frame); }
};

class OrderBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareFrameFolder(box_.Root());
    frame_ = new TMFrame(nullptr, parts_);
    frame_->Show();
    harness_.Pump();
    ASSERT_TRUE(frame_->tradingDesk && frame_->tradingWindow && frame_->orderForms);
    savedPlugin_ = TradePlugin;
    TradePlugin.GetTraderDllVersion = OrderBlockDllVersion;
    TradePlugin.GetInvestor = OrderBlockInvestor;
    frame_->tradingDesk->pageState = kPageTrading;
  }
  void TearDown() override {
    TradePlugin = savedPlugin_;
    boxes_.QueueAnswer(IDNO);
    frame_->Close();
    harness_.Pump();
    delete frame_;
    FreeMarketTable();
  }
  // The trading window hidden, the layout and the collapse button set.
  void Prepare(int layout, bool collapsed) {
    if (frame_->Panel7->Visible()) frame_->ToolButton17Click();
    frame_->desk.options.Layout = layout;
    frame_->tradingDesk->collapsed = collapsed;
    frame_->tradingWindow->Layout();
    harness_.Pump();
  }
  HWND Block() { return frame_->orderForms->OwnerDrawPanel1->Handle(); }
  HWND Queryable() { return frame_->orderForms->XPButton39->Handle(); }
  // The focus away from the block, the cursor parked, input just now.
  void Elsewhere() {
    SetActiveWindow(frame_->Handle());
    SetFocus(frame_->Handle());
    SetCursorPos(kParked.x, kParked.y);
    harness_.Pump();
    frame_->tradingDesk->NoteInput(GetTickCount());
  }
  bool CursorParked() {
    POINT at{};
    GetCursorPos(&at);
    return at.x == kParked.x && at.y == kParked.y;
  }

  static constexpr POINT kParked{3, 4};
  testing_support::ViewHarness harness_;
  MarketSandbox box_;
  MessageBoxRecorder boxes_;
  ShellRecorder shell_;
  OrderBlockParts parts_;
  TMFrame *frame_ = nullptr;
  TradePluginApi savedPlugin_{};
};

// The key shows the window; in the keyboard layout with the panels open the
// block's "查可开" has the focus afterwards and the cursor is where it was.
TEST_F(OrderBlockTest, TheTradingKeyFocusesTheBlockOnlyInTheOpenKeyboardLayout) {
  const struct {
    int layout;
    bool collapsed, focused;
  } cases[] = {
      {kLayoutKeyboard, false, true},
      {kLayoutNormal, false, false},
      {kLayoutKeyboard, true, false},
  };
  for (const auto &c : cases) {
    Prepare(c.layout, c.collapsed);
    Elsewhere();
    frame_->ExecuteCommand(CMD_ONLINE_TRADING);
    harness_.Pump();
    ASSERT_TRUE(frame_->Panel7->Visible()) << c.layout << c.collapsed;
    EXPECT_TRUE(frame_->chrome->MenuItem("N37")->Checked) << "the item's tick follows the window";
    EXPECT_EQ(GetFocus() == Queryable(), c.focused) << c.layout << c.collapsed;
    EXPECT_TRUE(CursorParked()) << c.layout << c.collapsed;
  }
  // Hiding the window by the key clicks nothing.
  Elsewhere();
  frame_->ExecuteCommand(CMD_ONLINE_TRADING);
  harness_.Pump();
  EXPECT_FALSE(frame_->Panel7->Visible());
  EXPECT_FALSE(frame_->chrome->MenuItem("N37")->Checked);
  EXPECT_EQ(GetFocus(), frame_->Handle());
}

// FocusInputOrder seconds without input bring the focus back to the block;
// not before, and not while it is inside the block already.
TEST_F(OrderBlockTest, IdleSecondsBringTheFocusBackToTheBlock) {
  Prepare(kLayoutKeyboard, false);
  frame_->ToolButton17Click();
  frame_->desk.options.FocusInputOrder = 3;
  Elsewhere();
  harness_.Advance(2500, 100);
  EXPECT_EQ(GetFocus(), frame_->Handle()) << "not before three seconds";
  harness_.Advance(1000, 100);
  EXPECT_EQ(GetFocus(), Queryable());
  EXPECT_TRUE(CursorParked());

  // The focus on another of the block's buttons stays there.
  HWND cancelAll = frame_->orderForms->XPButton38->Handle();
  SetFocus(cancelAll);
  harness_.Pump();
  frame_->tradingDesk->NoteInput(GetTickCount());
  harness_.Advance(5000, 100);
  EXPECT_EQ(GetFocus(), cancelAll);

  // While another window holds the capture (a drag, a held button) a
  // synthesised press would go to it: no click is made.
  testing_support::MessageTrace trace;
  const HWND holder = trace.Create(WS_CHILD | WS_VISIBLE, frame_->Handle(), RECT{0, 0, 10, 10});
  Elsewhere();
  SetCapture(holder);
  harness_.Advance(5000, 100);
  EXPECT_EQ(trace.Count(WM_LBUTTONDOWN, holder) + trace.Count(WM_LBUTTONUP, holder), 0u);
  EXPECT_NE(GetFocus(), Queryable());
  EXPECT_TRUE(CursorParked());
  ReleaseCapture();
  DestroyWindow(holder);

  // A collapsed panel is left alone.
  frame_->tradingDesk->collapsed = true;
  Elsewhere();
  harness_.Advance(5000, 100);
  EXPECT_EQ(GetFocus(), frame_->Handle());
}

}  // namespace
