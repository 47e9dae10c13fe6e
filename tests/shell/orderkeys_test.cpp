// The key preview driving the real keyboard-order panel: digits press the
// numbered buttons only inside the button block, "+" leaves the block for
// the contract field, "0" and "8" reach cancel-all and the condition-order
// hook.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "core/ownerdrawpanel.h"
#include "core/xpbutton.h"
#include "core/xpcombobox.h"
#include "core/xpedit.h"
#include "shell/keypreview.h"
#include "testing/desk_ui_recorder.h"
#include "testing/msgbox_recorder.h"
#include "testing/view_harness.h"
#include "trading/deskdata.h"
#include "trading/manualorder.h"
#include "trading/orderbook.h"
#include "trading/orderentry.h"
#include "trading/orderforms.h"
#include "trading/orderpanel.h"
#include "trading/pluginapi.h"
#include "trading/tradedesk.h"
#include "trading/tradingwindow.h"

namespace {

struct KeysSentOrder {
  std::string code;
  int volume;
  char direction, offset;
};
std::vector<KeysSentOrder> g_keysSent;

int KeysInsert(char *contract, char *, double, int volume, char direction, char offset, char, char *ref, char *) {
  g_keysSent.push_back({contract, volume, direction, offset});
  if (ref) strcpy(ref, "1");
  return 0;
}

int KeysCloseToday(char *) { return 1; }

class OrderKeysTest : public testing::Test {
 protected:
  OrderKeysTest() {
    g_keysSent.clear();
    TradePlugin.OrderInsert = KeysInsert;
    TradePlugin.ProcessCloseToday = KeysCloseToday;
    CContractInfo c{};
    strcpy(c.InstrumentID, "CU2405");
    strcpy(c.ExchangeID, "SHFE");
    c.PriceTick = 1;
    c.DefaultOpenVolume = 1;
    data_.SetContracts(&c, 1);
    data_.options.ExpressOrder = true;
    data_.options.Layout = 1;
    form_ = new TForm(nullptr);
    form_->SetClientSize(1000, 700);
    frame_ = new TOwnerDrawPanel(form_);
    frame_->SetParent(form_);
    frame_->SetAlign(alBottom);
    frame_->SetHeight(300);
    window_ = std::make_unique<TTradingWindow>(frame_, desk_);
    entry_ = std::make_unique<TOrderEntry>(desk_, panel_, manual_);
    entry_->hooks.cancelAllOrders = [this] { calls_.push_back("cancel all"); };
    desk_.conditionDialogHook = [this] { calls_.push_back("condition"); };
    forms_ = std::make_unique<TOrderPanelForms>(*window_, *entry_, form_);
    form_->Show();
    desk_.pageState = kPageTrading;
    window_->Layout();
    panel_.fields[1].contract = "CU2405";
    panel_.fields[1].price = "3500";
    forms_->Refresh();
    harness_.Pump();
    TKeyPreviewLinks links;
    links.frame = form_->Handle();
    links.tradingWindow = [this] { return frame_->Handle(); };
    links.trading = [this] { return &window_->Keys(); };
    preview_ = std::make_unique<TKeyPreview>(std::move(links));
  }
  ~OrderKeysTest() override {
    preview_.reset();
    forms_.reset();
    window_.reset();
    delete form_;
    TradePlugin.OrderInsert = nullptr;
    TradePlugin.ProcessCloseToday = nullptr;
  }
  // A key-down at the focused control: whether the hook took it.
  bool Key(WPARAM key) {
    MSG msg{GetFocus(), WM_KEYDOWN, key, 0, 0, POINT{}};
    bool handled = false;
    preview_->Hook(msg, handled);
    harness_.Pump();
    return msg.wParam == 0 || handled;
  }
  void Focus(TWinControl *control) {
    control->SetFocus();
    harness_.Pump();
    ASSERT_EQ(GetFocus(), control->Handle());
  }

  testing_support::ViewHarness harness_;
  MessageBoxRecorder boxes_;
  TTradeDesk data_;
  DeskUiRecorder ui_;
  DeskHostRecorder host_;
  TTradingDesk desk_{data_, host_, ui_};
  TOrderBook book_{data_, host_};
  TOrderPanel panel_{data_};
  TManualOrder manual_{data_, panel_, book_, nullptr};
  TForm *form_;
  TOwnerDrawPanel *frame_;
  std::unique_ptr<TTradingWindow> window_;
  std::unique_ptr<TOrderEntry> entry_;
  std::unique_ptr<TOrderPanelForms> forms_;
  std::unique_ptr<TKeyPreview> preview_;
  std::vector<std::string> calls_;
};

TEST_F(OrderKeysTest, DigitsOrderOnlyFromTheButtonBlock) {
  // Focus on "买平仓": key 2 sends a close-today sell at once.
  Focus(forms_->orderButtons[6]);
  EXPECT_TRUE(Key('2'));
  ASSERT_EQ(g_keysSent.size(), 1u);
  EXPECT_EQ(g_keysSent[0].code, "CU2405");
  EXPECT_EQ(g_keysSent[0].direction, '1');
  EXPECT_EQ(g_keysSent[0].offset, '3');
  EXPECT_EQ(GetFocus(), forms_->orderButtons[6]->Handle());
  // The pad's digits are the same keys.
  EXPECT_TRUE(Key(VK_NUMPAD0 + 1));
  ASSERT_EQ(g_keysSent.size(), 2u);
  EXPECT_EQ(g_keysSent[1].direction, '0');
  EXPECT_EQ(g_keysSent[1].offset, '0');
  EXPECT_TRUE(Key('0'));
  EXPECT_TRUE(Key('8'));
  EXPECT_EQ(calls_, (std::vector<std::string>{"cancel all", "condition"}));
  // "+" in the block goes to the contract field.
  EXPECT_TRUE(Key(VK_ADD));
  EXPECT_TRUE(IsChild(forms_->ComboBox1->Handle(), GetFocus()) || GetFocus() == forms_->ComboBox1->Handle());
  // From any field of the panel "+" (the pad's or the main row's) goes
  // back to "查可开".
  for (TWinControl *field : {static_cast<TWinControl *>(forms_->XPEdit1), static_cast<TWinControl *>(forms_->XPEdit2)})
    for (WPARAM plus : {WPARAM(VK_ADD), WPARAM(VK_OEM_PLUS)}) {
      Focus(field);
      EXPECT_TRUE(Key(plus));
      EXPECT_EQ(GetFocus(), forms_->XPButton39->Handle());
    }
  // In the volume field a digit is typed, nothing is sent.
  Focus(forms_->XPEdit1);
  EXPECT_FALSE(Key('5'));
  EXPECT_EQ(g_keysSent.size(), 2u);
}

}  // namespace
