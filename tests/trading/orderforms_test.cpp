// The order-entry panels on screen, offscreen: the panel colours of the
// offset choices, the order buttons' price lines with their grey rule, the
// keyboard block's focus colour, the quick order panel's row colours and
// one-click mode, the quick-deal bar; and the pictures a person looks at.
#include "trading/orderforms.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "core/ownerdrawpanel.h"
#include "core/xpbutton.h"
#include "testing/view_harness.h"
#include "tests/trading/tradedesk_fixture.h"
#include "core/xpcombobox.h"
#include "core/xpedit.h"
#include "platform/winuser.h"
#include "trading/listcommands.h"
#include "trading/manualorder.h"
#include "trading/orderbook.h"
#include "trading/orderentry.h"
#include "trading/orderpanel.h"
#include "trading/pluginapi.h"
#include "trading/tradingwindow.h"

namespace trading_test {
namespace {

using testing_support::PictureSheet;
using testing_support::ViewHarness;

std::vector<std::string> g_formsSent;

int FormsRecordInsert(char *contract, char *, double, int volume, char, char, char, char *ref, char *) {
  g_formsSent.push_back(std::string(contract) + " " + std::to_string(volume));
  if (ref) strcpy(ref, "1");
  return 0;
}

class OrderFormsTest : public TradingDeskTest {
 protected:
  OrderFormsTest() : book_(data_, host_), panel_(data_), manual_(data_, panel_, book_, host_.Window()) {
    form_ = new TForm(nullptr);
    form_->SetClientSize(1000, 700);
    // The main window's menu strip, which the quick-deal bar must leave visible.
    menu_ = new TPanel(form_);
    menu_->SetParent(form_);
    menu_->SetAlign(alTop);
    menu_->SetHeight(26);
    frame_ = new TOwnerDrawPanel(form_);
    frame_->SetParent(form_);
    frame_->SetAlign(alBottom);
    frame_->SetHeight(300);
    window_ = std::make_unique<TTradingWindow>(frame_, desk_);
    entry_ = std::make_unique<TOrderEntry>(desk_, panel_, manual_);
    forms_ = std::make_unique<TOrderPanelForms>(*window_, *entry_, form_);
    form_->Show();
    desk_.SetupTradingPanel(0);
    harness_.Pump();
  }
  ~OrderFormsTest() override {
    forms_.reset();
    window_.reset();
    delete form_;
  }
  void Show(int layout) {
    data_.options.Layout = layout;
    desk_.pageState = kPageTrading;
    window_->Layout();
    forms_->Refresh();
    harness_.Pump();
  }
  QImage Shot(TControl *control) {
    forms_->Refresh();
    harness_.Pump();
    return harness_.Render(control);
  }

  ViewHarness harness_;
  TOrderBook book_;
  TOrderPanel panel_;
  TManualOrder manual_;
  TForm *form_;
  TPanel *menu_;
  TOwnerDrawPanel *frame_;
  std::unique_ptr<TTradingWindow> window_;
  std::unique_ptr<TOrderEntry> entry_;
  std::unique_ptr<TOrderPanelForms> forms_;
};

TEST_F(OrderFormsTest, OrdinaryPanelColoursAndPriceLines) {
  Show(0);
  ASSERT_TRUE(window_->Panel1012->Visible());
  EXPECT_EQ(window_->Control("XPButton1032"), forms_->XPButton1032);
  EXPECT_EQ(window_->Control("ComboBox1002"), forms_->ComboBox1002);
  entry_->ApplyGrapPriceMode(1);
  entry_->ordinary.buyHint = "^3501.00";
  entry_->ordinary.sellHint = "^3499.00";
  PictureSheet sheet(3);
  const COLORREF colours[5] = {0xFFFFFF, 0xFCECDF, 0xD8E9EC, 0xFFFFFF, 0xFFFFFF};
  for (int item = 0; item < 5; ++item) {
    entry_->ComboBox1002Change(item);
    const QImage shot = Shot(window_->Panel1012);
    const int right = window_->Panel1012->Width() - 3, bottom = window_->Panel1012->Height() - 3;
    EXPECT_EQ(harness_.Pixel(window_->Panel1012, right, bottom), colours[item]) << item << " " << right << "," << bottom;
    sheet.Add(entry_->ordinary.offsetItems[size_t(item)], shot);
  }
  // The grey rule under the price line, across the caption area less 2
  // pixels at each end (the caption area is the button less 4 pixels).
  TXPButton *buy = forms_->XPButton1032;
  const int rule = 4 + (buy->Height() - 8) * 5 / 14 + 2;
  EXPECT_EQ(harness_.Pixel(buy, buy->Width() / 2, rule), 0x99A8ACu);
  EXPECT_EQ(harness_.Pixel(buy, 6, rule), 0x99A8ACu);
  EXPECT_NE(harness_.Pixel(buy, 5, rule), 0x99A8ACu);
  EXPECT_NE(harness_.Pixel(buy, buy->Width() / 2, rule + 2), 0x99A8ACu);
  harness_.SavePng(sheet.Compose(), "order-panel-ordinary");
}

TEST_F(OrderFormsTest, KeyboardBlockTakesItsFocusColour) {
  Show(1);
  ASSERT_TRUE(window_->Panel12->Visible());
  EXPECT_EQ(window_->Control("XPButton37"), forms_->orderButtons[6]);
  PictureSheet sheet(2);
  TOwnerDrawPanel *block = forms_->OwnerDrawPanel1;
  sheet.Add("not focused", Shot(window_->Panel12));
  EXPECT_EQ(harness_.Pixel(block, block->Width() - 2, 50), 0xFFFFFFu);
  entry_->OwnerDrawPanel1Enter();
  sheet.Add("focused", Shot(window_->Panel12));
  EXPECT_EQ(harness_.Pixel(block, block->Width() - 2, 50), 0x8BDEFCu);
  entry_->TradeFocus(false);
  forms_->Refresh();
  EXPECT_EQ(harness_.Pixel(block, block->Width() - 2, 50), 0xFFFFFFu);
  entry_->keyboard.buttonsEnabled = false;
  sheet.Add("buttons disabled", Shot(window_->Panel12));
  harness_.SavePng(sheet.Compose(), "order-panel-keyboard");
}

TEST_F(OrderFormsTest, QuickPanelRowsTakeTheOrderColour) {
  Show(2);
  ASSERT_TRUE(window_->PanelF22->Visible());
  PictureSheet sheet(2);
  const COLORREF colours[3] = {0xFFFFFF, 0xEED6CD, 0xC2C1C3};
  for (int orderColor = 0; orderColor < 3; ++orderColor) {
    data_.options.OrderColor = orderColor;
    entry_->ApplyQuickOrderKeys();
    const QImage shot = Shot(window_->PanelF22);
    EXPECT_EQ(harness_.Pixel(forms_->PanelF29, 670, 2), colours[orderColor]) << orderColor;
    EXPECT_EQ(harness_.Pixel(forms_->PanelF24, 2, 2), colours[orderColor]) << orderColor;
    sheet.Add("OrderColor " + std::to_string(orderColor), shot);
  }
  entry_->XPCheckBoxF5Click(true);
  EXPECT_TRUE(Shot(window_->PanelF22).width() > 0);
  EXPECT_TRUE(forms_->PanelF25->Visible());
  EXPECT_FALSE(forms_->XPButtonF53->Visible());
  EXPECT_FALSE(forms_->XPComboBoxF1->Enabled());
  sheet.Add("one-click", Shot(window_->PanelF22));
  harness_.SavePng(sheet.Compose(), "order-panel-quick");
}

TEST_F(OrderFormsTest, QuickDealBarShowsTheButtons) {
  Show(0);
  window_->quickDealShown = true;
  entry_->bar.contract = "CU2405";
  entry_->bar.price = "对手价";
  const QImage shot = Shot(forms_->PanelQuickDeal);
  EXPECT_EQ(shot.width(), forms_->PanelQuickDeal->Width());
  EXPECT_EQ(window_->Control("XPButton47"), forms_->barButtons[5]);
  // A strip of its own below the menu, never over it.
  EXPECT_GE(forms_->PanelQuickDeal->Top(), menu_->Top() + menu_->Height());
  harness_.SavePng(shot, "quick-deal-bar");
  // Docking hides the bar at once and floating brings it back, without
  // waiting for the panel's next refresh.
  forms_->Refresh();
  ASSERT_TRUE(forms_->PanelQuickDeal->Visible());
  window_->ShowQuickDeal(false);
  EXPECT_FALSE(forms_->PanelQuickDeal->Visible());
  window_->ShowQuickDeal(true);
  EXPECT_TRUE(forms_->PanelQuickDeal->Visible());
}

// A quote of the panel's contract rewrites only the texts it moves (those
// of the filled panel and the bar), and as a full refresh shows them.
TEST_F(OrderFormsTest, AQuoteRewritesOnlyItsPriceTexts) {
  const int kBar = 3;
  const unsigned kField = TOrderEntry::kQuotePriceField, kLines = TOrderEntry::kQuotePriceLines;
  struct Text {
    int panel;      // the layout whose panel shows it, or kBar
    unsigned kind;  // its kQuote... bit
    std::function<std::string()> shown;
    std::string *model;
  } texts[] = {
      {0, kField, [this] { return forms_->XPEdit1002->Text(); }, &panel_.fields[0].price},
      {0, kLines, [this] { return forms_->XPButton1032->Hint; }, &entry_->ordinary.buyHint},
      {0, kLines, [this] { return forms_->XPButton1033->Hint; }, &entry_->ordinary.sellHint},
      {1, kField, [this] { return forms_->XPEdit2->Text(); }, &panel_.fields[1].price},
      {1, kLines, [this] { return forms_->Label20->Text(); }, &entry_->keyboard.buyLabel},
      {1, kLines, [this] { return forms_->Label36->Text(); }, &entry_->keyboard.sellLabel},
      {2, kField, [this] { return forms_->XPPriceEditF7->Text(); }, &panel_.fields[2].price},
      {kBar, TOrderEntry::kQuoteBarPrice, [this] { return forms_->XPPriceEdit2->Text(); }, &entry_->bar.price},
  };
  for (int layout = 0; layout < 3; ++layout) {
    for (Text &t : texts) *t.model = "100" + std::to_string(layout);
    entry_->bar.priceEnabled = true;
    Show(layout);
    for (Text &t : texts) *t.model = "200" + std::to_string(layout);
    entry_->bar.priceEnabled = false;
    entry_->keyboard.funds = "880000";  // not a quote's
    const bool barMoves = layout != 2;
    // The texts the quote changed first (the price lines), then all.
    for (unsigned changed : {kLines, ~0u}) {
      forms_->RefreshQuotePrices(changed);
      for (Text &t : texts) {
        const bool moves = (t.panel == layout || (t.panel == kBar && barMoves)) && (t.kind & changed);
        EXPECT_EQ(t.shown(), (moves ? "200" : "100") + std::to_string(layout)) << layout << " " << t.panel;
      }
    }
    EXPECT_EQ(forms_->XPPriceEdit2->Enabled(), !barMoves) << layout;
    EXPECT_EQ(forms_->XPEdit6->Text(), "") << layout;
    forms_->Refresh();
    for (Text &t : texts) EXPECT_EQ(t.shown(), *t.model) << layout << " " << t.panel;
    entry_->keyboard.funds.clear();
  }
}

// A close prepared by the lists lands in the panel on screen: the offset
// and hedge choices, the volume the command chose (not the contract's
// default the exit handler would set), the price field focused, only the
// matching close button enabled (and still so after the next refresh) and
// the mouse cursor on it.
TEST_F(OrderFormsTest, ListCommandsPrepareThePanelOnScreen) {
  CContractInfo c{};
  std::strcpy(c.InstrumentID, "CU2405");
  std::strcpy(c.ExchangeID, "SHFE");
  c.PriceTick = 1;
  c.DefaultOpenVolume = 1;
  data_.SetContracts(&c, 1);
  Show(1);
  TPanelPrepare p;
  p.layout = 1;
  p.contract = "CU2405";
  p.volume = 4;
  p.focusPrice = true;
  p.buttons = {{"XPButton32", false}, {"XPButton33", false}, {"XPButton35", true}};
  p.cursorButton = "XPButton35";
  panel_.fields[1].contract = p.contract;  // the command's own step
  panel_.fields[1].volume = "4";
  forms_->Prepare(p);
  harness_.Pump();
  EXPECT_EQ(forms_->XPEdit1->Text(), "4");
  EXPECT_EQ(GetFocus(), forms_->XPEdit2->Handle());
  forms_->Refresh();
  EXPECT_FALSE(forms_->orderButtons[1]->Enabled());
  EXPECT_FALSE(forms_->orderButtons[4]->Enabled());
  EXPECT_TRUE(forms_->orderButtons[3]->Enabled());
  POINT cursor{}, centre{forms_->orderButtons[1]->Width() / 2, forms_->orderButtons[1]->Height() / 2};
  GetCursorPos(&cursor);
  ClientToScreen(forms_->orderButtons[3]->Handle(), &centre);
  EXPECT_EQ(cursor.x, centre.x);
  EXPECT_EQ(cursor.y, centre.y);

  Show(0);
  TPanelPrepare o;
  o.layout = 0;
  o.contract = "CU2405";
  o.offsetItem = "3.平仓";
  o.hedgeIndex = 1;
  o.buttons = {{"XPButton1032", false}, {"XPButton1033", true}};
  panel_.fields[0].contract = o.contract;
  forms_->Prepare(o);
  EXPECT_EQ(forms_->ComboBox1002->ItemIndex(), 2);
  EXPECT_EQ(forms_->ComboBoxHedge2->ItemIndex(), 1);
  EXPECT_FALSE(forms_->XPButton1032->Enabled());
  EXPECT_TRUE(forms_->XPButton1033->Enabled());
}

// Keys typed faster than the queue is pumped: the contract box and the
// quick-deal bar both end with the whole code, also when the finished code
// moves the focus on to the volume field, and a bar button takes what the
// bar holds at the moment it is pressed.
TEST_F(OrderFormsTest, FastTypedContractReachesTheBarWhole) {
  CContractInfo c{};
  strcpy(c.InstrumentID, "SR405");
  strcpy(c.ExchangeID, "CZCE");
  c.PriceTick = 1;
  c.DefaultOpenVolume = 1;
  data_.SetContracts(&c, 1);
  entry_->hooks.focus = [this](const char *name) {
    auto *control = dynamic_cast<TWinControl *>(window_->Control(name));
    if (control && control->Showing()) control->SetFocus();
  };
  Show(0);
  window_->quickDealShown = true;
  forms_->Refresh();
  harness_.Pump();
  struct Case {
    TWinControl *box;
    const char *typed;
  };
  const Case cases[] = {{forms_->ComboBox1001, "SR405"}, {forms_->ComboBox1001, "SR40"},
                        {forms_->XPComboBox8, "SR405"}, {forms_->XPComboBox8, "SR4"}};
  for (const Case &k : cases) {
    panel_.fields[0].contract.clear();
    entry_->bar.contract.clear();
    forms_->Refresh();
    k.box->SetFocus();
    harness_.Pump();
    const HWND edit = GetFocus();
    ASSERT_TRUE(edit == k.box->Handle() || IsChild(k.box->Handle(), edit));
    for (const char *ch = k.typed; *ch; ++ch) PostMessageA(edit, WM_CHAR, WPARAM(BYTE(*ch)), 1);
    harness_.Pump();
    EXPECT_EQ(forms_->ComboBox1001->Text(), k.typed) << k.typed;
    EXPECT_EQ(forms_->XPComboBox8->Text(), k.typed) << k.typed;
    EXPECT_EQ(panel_.fields[0].contract, k.typed) << k.typed;
    EXPECT_EQ(entry_->bar.contract, k.typed) << k.typed;
  }
  // A bar button sends what the bar shows at the moment it is pressed, also
  // a text the bar's model has not been told of.
  forms_->XPEdit12->SetText("2");
  forms_->XPPriceEdit2->SetText("3500");
  harness_.Pump();
  forms_->XPComboBox8->SetText("SR405");  // quietly: no change notification
  ASSERT_NE(entry_->bar.contract, "SR405");
  g_formsSent.clear();
  TradePlugin.OrderInsert = FormsRecordInsert;
  boxes_.QueueAnswer(IDYES);  // the confirmation
  forms_->barButtons[0]->Click();
  harness_.Pump();
  TradePlugin.OrderInsert = nullptr;
  EXPECT_EQ(forms_->ComboBox1001->Text(), "SR405");
  ASSERT_EQ(g_formsSent.size(), 1u);
  EXPECT_EQ(g_formsSent[0], "SR405 2");
}

}  // namespace
}  // namespace trading_test
