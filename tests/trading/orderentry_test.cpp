#include <gtest/gtest.h>

#include <cstring>

#include "market/dataio5.h"
#include "tests/trading/orderdesk_fixture.h"
#include "trading/manualorder.h"
#include "trading/orderentry.h"
#include "trading/orderpanel.h"
#include "trading/pluginapi.h"

namespace trading_test {
namespace {

struct VolumeAsk {
  std::string code;
  double price;
  char hedge;
};
std::vector<VolumeAsk> g_entryVolumeAsks;
int g_entryVolumeResult = 0;

int EntryQueryVolume(char *code, char *, double price, char direction, char offset, char hedge) {
  EXPECT_EQ(direction, '1');
  EXPECT_EQ(offset, '0');
  g_entryVolumeAsks.push_back({code, price, hedge});
  return g_entryVolumeResult;
}

class OrderEntryTest : public OrderDeskTest {
 protected:
  OrderEntryTest() : panel_(desk_), manual_(desk_, panel_, dispatch_.book, host_.window), entry_(trading_, panel_, manual_) {
    g_entryVolumeAsks.clear();
    g_entryVolumeResult = 0;
    TradePlugin.QueryMaxOrderVolume = EntryQueryVolume;
    boxes_.SetDefaultAnswer(IDYES);
    desk_.options.ExpressOrder = true;
    desk_.owner = host_.window;
    GetStockInfo(Stock(1))->decimals = 2;
    trading_.pageState = 12;
    manual_.tradingWindowVisible = [this] { return windowVisible_; };
    entry_.hooks.showContractPositions = [this](STKPTR s) { scrolled_.push_back(s.stock); };
    entry_.hooks.focus = [this](const char *name) { focused_.push_back(name); };
    entry_.hooks.showTradingWindow = [this] { windowVisible_ = true, ++shown_; };
    entry_.hooks.activeViewStock = [this] { return activeView_; };
    SetQuote(1, 3499, 3501, 3500, 3400, 3700, 3300);
  }
  ~OrderEntryTest() override { TradePlugin.QueryMaxOrderVolume = nullptr; }
  void Layout(int layout) { desk_.options.Layout = layout; }
  TOrderFields &F(int layout) { return panel_.fields[layout]; }

  TOrderPanel panel_;
  TManualOrder manual_;
  TOrderEntry entry_;
  bool windowVisible_ = true;
  int shown_ = 0;
  STKPTR activeView_;
  std::vector<int> scrolled_;
  std::vector<std::string> focused_;
};

// ---- the ordinary panel ----

TEST_F(OrderEntryTest, OffsetChoicesColourThePanelAndGateTheButtons) {
  entry_.ApplyGrapPriceMode(1);
  ASSERT_EQ(entry_.ordinary.offsetItems.size(), 5u);
  EXPECT_EQ(entry_.ordinary.offsetRows, 5);
  struct Case {
    int item;
    COLORREF colour;
    bool query, buy, sell;
  } cases[] = {
      {3, 0xFFFFFF, true, true, false}, {0, 0xFFFFFF, true, true, true}, {1, 0xFCECDF, false, true, true},
      {2, 0xD8E9EC, false, true, true}, {4, 0xFFFFFF, true, false, true},
  };
  for (const Case &c : cases) {
    entry_.ComboBox1002Change(c.item);
    EXPECT_EQ(entry_.ordinary.colour, c.colour) << c.item;
    EXPECT_EQ(entry_.ordinary.queryShown, c.query) << c.item;
    EXPECT_EQ(entry_.ordinary.buyEnabled, c.buy) << c.item;
    EXPECT_EQ(entry_.ordinary.sellEnabled, c.sell) << c.item;
  }
  entry_.ApplyGrapPriceMode(7);  // other values keep the items
  EXPECT_EQ(entry_.ordinary.offsetItems.size(), 5u);
  entry_.ApplyGrapPriceMode(0);
  EXPECT_EQ(entry_.ordinary.offsetItems.size(), 3u);
}

TEST_F(OrderEntryTest, PriceLinesFollowTheFieldAndTheOrderType) {
  EXPECT_TRUE(entry_.SetOrderContract(Stock(1)));
  EXPECT_EQ(F(0).contract, "CU2405");
  EXPECT_EQ(F(0).price, "对手价");
  entry_.UpdatePriceFields(Stock(1));
  EXPECT_EQ(entry_.ordinary.buyHint, "^3501.00");
  EXPECT_EQ(entry_.ordinary.sellHint, "^3499.00");
  F(0).price = "3.5";
  entry_.XPEdit1002Change();
  EXPECT_EQ(entry_.ordinary.buyHint, "^3.50");
  EXPECT_EQ(entry_.ordinary.sellHint, "^3.50");
  EXPECT_EQ(entry_.bar.price, "3.5");
  entry_.ComboBox1005Change(1);
  EXPECT_EQ(F(0).price, "市价");
  EXPECT_FALSE(entry_.ordinary.priceEnabled);
  EXPECT_EQ(entry_.ordinary.buyHint, "");
  EXPECT_EQ(entry_.ordinary.sellHint, "");
  EXPECT_FALSE(entry_.bar.priceEnabled);
  // Text that is neither price nor word empties both lines.
  entry_.ComboBox1005Change(0);
  F(0).price = "abc";
  entry_.XPEdit1002Change();
  EXPECT_EQ(entry_.ordinary.buyHint, "");
  entry_.XPEdit1002Exit();
  EXPECT_EQ(F(0).price, "对手价");
}

TEST_F(OrderEntryTest, AnOrderWithResetToOpenReturnsToOpeningWithTheDefaultVolume) {
  desk_.FindContract("CU2405")->DefaultOpenVolume = 3;
  entry_.SetOrderContract(Stock(1));
  F(0).price = "3500";
  entry_.ComboBox1002Change(2);
  F(0).volume = "7";
  entry_.XPButton1032Click(false);
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_EQ(Orders.sent[0].direction, '1');
  EXPECT_EQ(Orders.sent[0].offset, '1');
  EXPECT_EQ(Orders.sent[0].volume, 7);
  EXPECT_EQ(entry_.ordinary.offsetItem, 0);
  EXPECT_EQ(F(0).volume, "3");
  // With "自动" ticked the orders go out through the automatic offsets.
  std::vector<bool> autoOrders;
  entry_.hooks.placeAutoOffsetOrders = [&](bool buy) { autoOrders.push_back(buy); };
  entry_.XPCheckBox2Click(true);
  EXPECT_FALSE(entry_.ordinary.offsetEnabled);
  entry_.XPButton1032Click(true);
  EXPECT_EQ(autoOrders, std::vector<bool>{true});
  EXPECT_EQ(Orders.sent.size(), 1u);
}

TEST_F(OrderEntryTest, ClosableVolumesCountFreeUnitsByOffset) {
  desk_.positions.Add(Position("M2401", '3', 5, 3000));
  desk_.positions.GetData()[0].Frozen = 2;
  desk_.positions.Add(Position("CU2405", '2', 4, 3000, 2));
  desk_.positions.Add(Position("CU2405", '2', 6, 3000, 1));
  struct Case {
    const char *code;
    int item;
    const char *line;
  } cases[] = {
      {"M2401", 2, "可买平: 3  可卖平: 0"},
      {"M2401", 1, "可买平: 3  可卖平: 0"},  // no separate today's part there
      {"CU2405", 1, "可买平今: 0  可卖平今: 4"},
      {"CU2405", 2, "可买平: 0  可卖平: 6"},
  };
  for (const Case &c : cases) {
    F(0).contract = c.code;
    entry_.ComboBox1002Change(c.item);
    EXPECT_EQ(panel_.hint, c.line) << c.code << c.item;
    EXPECT_EQ(panel_.hintColour, 0xFF0000u);
  }
}

TEST_F(OrderEntryTest, OpenableQueryKeepsItsIntervalPerContract) {
  entry_.SetOrderContract(Stock(1));
  EXPECT_EQ(entry_.XPButton1026Click(true), TVolumeQuery::Sent);
  EXPECT_EQ(panel_.hint, "正在查询可开数量...");
  ASSERT_EQ(g_entryVolumeAsks.size(), 1u);
  EXPECT_EQ(g_entryVolumeAsks[0].price, 3501);  // the word's buy price
  EXPECT_EQ(entry_.XPButton1026Click(true), TVolumeQuery::Refused);
  EXPECT_EQ(panel_.hint, "两次查询之间应间隔 10 秒。");
  EXPECT_EQ(panel_.hintColour, 0x0000FFu);
  EXPECT_EQ(entry_.XPButton1026Click(false), TVolumeQuery::Sent);  // from code: never refused
  F(0).contract = "M2401";
  EXPECT_EQ(entry_.XPButton1026Click(true), TVolumeQuery::Sent);
  F(0).contract = "CU2405";
  clock_.Advance(10000);
  EXPECT_EQ(entry_.XPButton1026Click(true), TVolumeQuery::Sent);
  F(0).price = "abc";
  clock_.Advance(10000);
  EXPECT_EQ(entry_.XPButton1026Click(true), TVolumeQuery::BadPrice);
  EXPECT_EQ(panel_.hint, "请填入正确的价格。");
  g_entryVolumeResult = 7;
  F(0).price = "3500";
  clock_.Advance(10000);
  EXPECT_EQ(entry_.XPButton1026Click(true), TVolumeQuery::Failed);
  EXPECT_EQ(panel_.hint, "查询可开数量失败 (7) ");
  entry_.ComboBox1002Change(2);
  EXPECT_EQ(entry_.XPButton1026Click(true), TVolumeQuery::None);
}

TEST_F(OrderEntryTest, ContractFieldOfTheOrdinaryPanel) {
  ShortContractName s{};
  strcpy(s.ShortName, "tong");
  strcpy(s.Contract, "CU2405");
  desk_.shortNames.Add(s);
  F(0).contract = "TONG";
  entry_.ComboBox1001Change();
  EXPECT_EQ(F(0).contract, "CU2405");
  EXPECT_EQ(entry_.bar.contract, "CU2405");
  EXPECT_EQ(focused_.back(), "XPEdit1001");
  entry_.ComboBox1001Exit(true);
  EXPECT_TRUE(SameStock(panel_.PanelContract, Stock(1)));
  EXPECT_EQ(scrolled_, std::vector<int>{1});
  EXPECT_EQ(g_entryVolumeAsks.size(), 1u);  // a real exit queries at once
  // An IF code offers arbitrage; a copper one takes it back.
  entry_.ApplyHedgeChoices("IF2401");
  entry_.HedgeChange(2);
  EXPECT_EQ(desk_.options.HedgeFlag, '2');
  entry_.ApplyHedgeChoices("CU2405");
  EXPECT_EQ(entry_.hedgeItems.size(), 2u);
  EXPECT_EQ(entry_.hedgeIndex, 0);
  EXPECT_EQ(desk_.options.HedgeFlag, '1');
  // A code that is not tradable: a red line, no box; an overlong text is
  // cut to the field's room first.
  F(0).contract = std::string(40, 'X');
  entry_.ComboBox1001Exit(true);
  EXPECT_EQ(F(0).contract.size(), kContractTextMax);
  EXPECT_TRUE(panel_.PanelContract.IsNone());
  EXPECT_EQ(panel_.hint, "指定的合约不存在或不可交易。");
  EXPECT_EQ(boxes_.Count(), 0u);
  F(0).contract = "zz";
  entry_.ComboBox1001Change();
  EXPECT_EQ(F(0).volume, "1");
  EXPECT_EQ(entry_.bar.volume, "1");
  // A volume button fills the field and the bar and closes its panel.
  entry_.VolumeFieldClick(0);
  EXPECT_TRUE(entry_.ordinary.volumeButtonsShown);
  entry_.VolumeButtonClick(0, "200");
  EXPECT_EQ(F(0).volume, "200");
  EXPECT_EQ(entry_.bar.volume, "200");
  EXPECT_FALSE(entry_.ordinary.volumeButtonsShown);
}

// ---- the keyboard-order panel ----

TEST_F(OrderEntryTest, KeyboardButtonsSendTheirDirectionAndOffset) {
  Layout(1);
  entry_.SetOrderContract(Stock(1));
  F(1).price = "3500";
  struct Case {
    int tag;
    char direction, offset;
  } cases[] = {{1, '0', '0'}, {2, '1', '3'}, {3, '1', '1'}, {4, '1', '0'}, {5, '0', '3'}, {6, '0', '1'}};
  for (const Case &c : cases) {
    entry_.XPButton32Click(c.tag);
    ASSERT_FALSE(Orders.sent.empty());
    EXPECT_EQ(Orders.sent.back().direction, c.direction) << c.tag;
    EXPECT_EQ(Orders.sent.back().offset, c.offset) << c.tag;
  }
  std::vector<std::string> conditions;
  entry_.NewConditionOrder();  // no dialog yet: nothing happens
  trading_.conditionDialogHook = [&] { conditions.push_back("new"); };
  entry_.NewConditionOrder();
  EXPECT_EQ(conditions.size(), 1u);
  // ResetToNow puts the panel's word back after an order.
  desk_.options.ResetToNow = true;
  panel_.KeyboardPriceKind = 9;
  entry_.XPButton32Click(1);
  EXPECT_EQ(F(1).price, "最新价");
}

// What the labels show is the price that goes out: a buy at the ask, a sell
// at the bid, for every word.
TEST_F(OrderEntryTest, KeyboardOrdersGoOutAtTheLabelledPrices) {
  Layout(1);
  entry_.SetOrderContract(Stock(1));
  struct Case {
    int word;  // the price-word list's row: 0 "对手价", 1 "挂单价"
    int tag;
    double price;
  } cases[] = {{0, 1, 3501}, {0, 4, 3499}, {1, 1, 3499}, {1, 4, 3501}};
  for (const Case &c : cases) {
    entry_.XPListBox2Click(c.word);
    entry_.UpdatePriceFields(Stock(1));
    entry_.XPButton32Click(c.tag);
    ASSERT_FALSE(Orders.sent.empty()) << c.word << c.tag;
    EXPECT_DOUBLE_EQ(Orders.sent.back().price, c.price) << c.word << c.tag;
    const std::string &label = c.tag == 1 ? entry_.keyboard.buyLabel : entry_.keyboard.sellLabel;
    EXPECT_DOUBLE_EQ(atof(label.c_str()), c.price) << c.word << c.tag;
  }
}

// A quote the frame hands on with its record prints what looking the
// contract up prints, in the layouts that read the book, and a quote of
// another instrument prints nothing.
TEST_F(OrderEntryTest, HandedOnQuotesPrintAsLookedUp) {
  for (int layout : {1, 2}) {
    Layout(layout);
    entry_.SetOrderContract(Stock(1));
    SetQuote(1, 3499, 3501, 3500, 3400, 3700, 3300);
    entry_.UpdatePriceFields(Stock(1));
    const std::string before = F(layout).price + "|" + entry_.keyboard.buyLabel + "|" + entry_.keyboard.sellLabel;
    const TMarketData *market = MarketAt(Stock(1).market);
    ASSERT_NE(market, nullptr);
    SetQuote(1, 3498.5, 3502.25);
    EXPECT_FALSE(entry_.UpdateQuotePrices(Stock(0).Word(), market->m_quotes[0], market->m_stocks[0])) << layout;
    EXPECT_TRUE(entry_.UpdateQuotePrices(Stock(1).Word(), market->m_quotes[1], market->m_stocks[1])) << layout;
    const std::string after = F(layout).price + "|" + entry_.keyboard.buyLabel + "|" + entry_.keyboard.sellLabel;
    EXPECT_NE(after, before) << layout;
    EXPECT_FALSE(entry_.UpdatePriceFields(Stock(1))) << layout;
    EXPECT_EQ(F(layout).price + "|" + entry_.keyboard.buyLabel + "|" + entry_.keyboard.sellLabel, after);
  }
  EXPECT_EQ(entry_.keyboard.buyLabel, "3502.25");
  EXPECT_EQ(entry_.keyboard.sellLabel, "3498.50");
}

TEST_F(OrderEntryTest, KeyboardPricesFollowTheNextQuote) {
  Layout(1);
  entry_.SetOrderContract(Stock(0));
  entry_.UpdatePriceFields(Stock(0));
  F(1).contract = "CU2405";
  entry_.ComboBox1Exit(false);
  EXPECT_EQ(F(1).price, "");
  entry_.UpdatePriceFields(Stock(1));
  EXPECT_EQ(F(1).price, "对手价");
  EXPECT_EQ(entry_.keyboard.buyLabel, "3499.00");  // still without a word: the book
  EXPECT_TRUE(entry_.UpdatePriceFields(Stock(1)));
  EXPECT_EQ(entry_.keyboard.buyLabel, "3501.00");  // "对手价": buy at the ask
  EXPECT_EQ(entry_.keyboard.sellLabel, "3499.00");
  EXPECT_EQ(entry_.quoteTextsChanged, TOrderEntry::kQuotePriceLines);
  // The same quote again prints the same texts: nothing to repaint.
  EXPECT_FALSE(entry_.UpdatePriceFields(Stock(1)));
  EXPECT_EQ(entry_.quoteTextsChanged, 0u);
  // Nor with a typed price longer than the bar holds: the bar keeps its cut.
  const std::string typed = "3502." + std::string(40, '0');
  F(1).price = typed;
  EXPECT_TRUE(entry_.UpdatePriceFields(Stock(1)));
  EXPECT_EQ(entry_.quoteTextsChanged, TOrderEntry::kQuotePriceLines | TOrderEntry::kQuoteBarPrice);
  EXPECT_EQ(entry_.bar.price, typed.substr(0, kPriceTextMax));
  EXPECT_EQ(entry_.keyboard.sellLabel, "3502.00");
  EXPECT_FALSE(entry_.UpdatePriceFields(Stock(1)));
  F(1).price = "对手价";
  entry_.UpdatePriceFields(Stock(1));
  entry_.XPListBox2Click(1);
  EXPECT_EQ(F(1).price, "挂单价");
  EXPECT_EQ(entry_.keyboard.buyLabel, "3499.00");
  entry_.ComboBox5Change(1);
  EXPECT_FALSE(entry_.keyboard.priceEnabled);
  EXPECT_EQ(F(1).price, "挂单价");
  entry_.UpdatePriceFields(Stock(1));
  EXPECT_EQ(F(1).price, "市价");
  entry_.ComboBox5Change(0);
  F(1).price = "";
  entry_.Label20Click(true);
  EXPECT_EQ(F(1).price, "3501.00");
  entry_.XPListBox2Click(7);
  EXPECT_EQ(F(1).price, "跌停价");
  EXPECT_EQ(entry_.keyboard.buyLabel, "3300.00");
}

TEST_F(OrderEntryTest, KeyboardQueryAndUntradableCodeAnswerInBoxes) {
  Layout(1);
  entry_.SetOrderContract(Stock(1));
  EXPECT_EQ(entry_.XPButton39Click(true), TVolumeQuery::Sent);
  EXPECT_EQ(entry_.XPButton39Click(true), TVolumeQuery::Refused);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "为减轻对交易服务器的压力，两次查询之间应间隔 10 秒。  ");
  EXPECT_EQ(focused_.back(), "XPButton39");
  F(1).contract = "XX999";
  entry_.ComboBox1Exit(true);
  ASSERT_EQ(boxes_.Count(), 2u);
  EXPECT_EQ(boxes_.Calls()[1].text, "指定的合约不存在或不可交易。  ");
  EXPECT_EQ(boxes_.Calls()[1].caption, "提示");
  EXPECT_EQ(focused_.back(), "ComboBox1");
  EXPECT_TRUE(panel_.PanelContract.IsNone());
  // From code: no box.
  entry_.ComboBox1Exit(false);
  EXPECT_EQ(boxes_.Count(), 2u);
  // The block's colour: on while a button has the focus, off once it left.
  entry_.OwnerDrawPanel1Enter();
  entry_.TradeFocus(true);
  EXPECT_TRUE(entry_.keyboard.blockFocused);
  entry_.TradeFocus(false);
  EXPECT_FALSE(entry_.keyboard.blockFocused);
}

// ---- the quick order panel ----

TEST_F(OrderEntryTest, QuickOrderGoesStraightToThePlugIn) {
  Layout(2);
  entry_.SetOrderContract(Stock(1));
  F(2).volume = "";
  F(2).price = "3500";
  Orders.answers.push_back({3, "手数不对"});
  entry_.XPButtonF53Click();
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_EQ(Orders.sent[0].volume, 0);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].caption, "下单出错");
  EXPECT_EQ(boxes_.Calls()[0].text, "手数不对");
  EXPECT_EQ(F(2).price, "3500");  // no reset after a refusal
  // Accepted with both resets on: the opposite price and the opening offset.
  desk_.options.ResetToNow = true;
  entry_.XPComboBoxF9Change(1);
  entry_.quick.offset = 2;
  F(2).volume = "2";
  entry_.XPButtonF53Click();
  EXPECT_EQ(Orders.sent[1].direction, '1');
  EXPECT_EQ(Orders.sent[1].offset, '1');
  EXPECT_EQ(F(2).price, "3499.00");
  EXPECT_EQ(entry_.quick.offset, 0);
  // Unknown code: nothing goes out.
  F(2).contract = "nope";
  entry_.XPButtonF53Click();
  EXPECT_EQ(Orders.sent.size(), 2u);
}

TEST_F(OrderEntryTest, QuickDirectionShowsTheOtherSideWithTheNextQuote) {
  Layout(2);
  entry_.SetOrderContract(Stock(1));
  EXPECT_EQ(F(2).price, "3501.00");
  entry_.XPComboBoxF9Change(1);
  EXPECT_EQ(F(2).price, "3501.00");
  entry_.UpdatePriceFields(Stock(1));
  EXPECT_EQ(F(2).price, "3499.00");
  // The bar shows nothing of this panel.
  EXPECT_EQ(entry_.bar.contract, "");
}

TEST_F(OrderEntryTest, OneClickModeTakesTheActiveViewsContract) {
  Layout(2);
  desk_.LoadOptionShortcuts();
  activeView_ = Stock(1);
  entry_.XPCheckBoxF5Click(true);
  EXPECT_TRUE(entry_.quick.shield);
  EXPECT_FALSE(entry_.quick.shieldEnabled);
  EXPECT_FALSE(entry_.quick.fieldsEnabled);
  EXPECT_EQ(F(2).contract, "CU2405");
  EXPECT_EQ(F(2).price, "3501.00");
  EXPECT_EQ(entry_.quick.keys[0], "1");
  EXPECT_EQ(entry_.quick.keys[3], "4");
  EXPECT_EQ(focused_.back(), "XPComboBoxF1");
  entry_.XPCheckBoxF5Click(false);
  EXPECT_TRUE(entry_.quick.fieldsEnabled);
  activeView_ = STKPTR();
  entry_.XPCheckBoxF5Click(true);
  EXPECT_EQ(F(2).contract, "");
}

TEST_F(OrderEntryTest, TickCountsAreStoredInBothSlotsOfTheirRow) {
  desk_.LoadOptionShortcuts();
  entry_.ApplyQuickOrderKeys();
  EXPECT_EQ(entry_.quick.directionItems[0], "1.买入");
  EXPECT_EQ(entry_.quick.offsetItems[1], "2.平今");
  entry_.XPUpDownF14ChangingEx(0, -1);
  EXPECT_EQ(entry_.quick.ticks[0], "-1");
  const unsigned char expected[] = {
      0, '1', 0, 0, 0, 0, 0, 0, 1, '3', 0, 0, 1, 0, 0, 0, 2, '1', 0, 0, 0,    0,    0,    0,
      3, '3', 0, 0, 1, 0, 0, 0, 4, '2', 0, 0, 2, 0, 0, 0, 5, '1', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
      6, '2', 0, 0, 0, 0, 0, 0, 7, '3', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 8, '4', 0, 0, 0, 0, 0, 0,
  };
  EXPECT_EQ(box_.Read("user/880001/OptionShortcut.dat"),
            std::string(reinterpret_cast<const char *>(expected), sizeof expected));
  entry_.LabelF83DblClick(0);
  EXPECT_EQ(entry_.quick.ticks[0], "0");
  int32_t value = 5;
  char key = 0;
  desk_.FindOptionShortcut(7, &key, &value);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(key, '3');
  // The volume spinner never goes below 1.
  F(2).volume = "1";
  entry_.XPUpDownF14ChangingEx(-1, -1);
  EXPECT_EQ(F(2).volume, "1");
}

TEST_F(OrderEntryTest, LockingFromTheQuickPanelEmptiesThePassword) {
  Layout(2);
  trading_.login.password = "secret";
  entry_.XPButtonF55Click();
  EXPECT_TRUE(trading_.locked);
  EXPECT_EQ(trading_.pageState, 0);
  EXPECT_EQ(trading_.login.password, "");
  EXPECT_EQ(trading_.login.message, "");
  EXPECT_TRUE(trading_.login.passwordEnabled);
}

// ---- the quick-deal bar ----

TEST_F(OrderEntryTest, BarIsInertOutsideLayoutsZeroAndOne) {
  for (int layout : {2, 3}) {
    Layout(layout);
    entry_.bar.contract = "CU2405";
    entry_.bar.price = "3500";
    entry_.XPButton42Click(0);
    entry_.XPComboBox8Exit();
    EXPECT_TRUE(Orders.sent.empty()) << layout;
    EXPECT_EQ(F(0).contract, "") << layout;
    EXPECT_EQ(F(2).contract, "") << layout;
  }
}

TEST_F(OrderEntryTest, BarOrdersThroughThePanelAndShowsAHiddenWindow) {
  entry_.bar.contract = "CU2405";
  entry_.XPComboBox8Exit();
  EXPECT_TRUE(SameStock(panel_.PanelContract, Stock(1)));
  EXPECT_EQ(entry_.bar.price, "对手价");
  EXPECT_EQ(entry_.ordinary.buyHint, "^3501.00");
  windowVisible_ = false;
  entry_.bar.volume = "4";
  entry_.XPButton42Click(5);
  ASSERT_EQ(Orders.sent.size(), 1u);
  EXPECT_EQ(Orders.sent[0].direction, '1');
  EXPECT_EQ(Orders.sent[0].offset, '1');
  EXPECT_EQ(Orders.sent[0].volume, 4);
  EXPECT_DOUBLE_EQ(Orders.sent[0].price, 3499);
  EXPECT_EQ(shown_, 1);
  // An unknown code empties the panel's contract, volume 1 in both.
  entry_.bar.contract = "QQ";
  entry_.bar.volume = "9";
  entry_.XPComboBox8Change();
  EXPECT_TRUE(panel_.PanelContract.IsNone());
  EXPECT_EQ(entry_.bar.volume, "1");
  EXPECT_EQ(F(0).volume, "1");
  // Texts from the bar are cut to their fields' room.
  entry_.bar.price = std::string(80, '9');
  entry_.XPPriceEdit2Change();
  EXPECT_EQ(F(0).price.size(), kPriceTextMax);
  // Digits on a bar button move the focus only, in the keyboard numbering.
  EXPECT_STREQ(TOrderEntry::QuickDealDigitTarget(1), "XPButton42");
  EXPECT_STREQ(TOrderEntry::QuickDealDigitTarget(2), "XPButton45");
  EXPECT_STREQ(TOrderEntry::QuickDealDigitTarget(6), "XPButton46");
  EXPECT_EQ(TOrderEntry::QuickDealDigitTarget(7), nullptr);
}

// ---- the hand-over ----

TEST_F(OrderEntryTest, HandingOverThePanelsOwnContractOnlyScrolls) {
  entry_.SetOrderContract(Stock(1));
  F(0).volume = "6";
  F(0).price = "3510";
  entry_.ComboBox1002Change(2);
  scrolled_.clear();
  EXPECT_TRUE(entry_.SetOrderContract(Stock(1)));
  EXPECT_EQ(F(0).volume, "6");
  EXPECT_EQ(F(0).price, "3510");
  EXPECT_EQ(entry_.ordinary.offsetItem, 2);
  EXPECT_EQ(scrolled_, std::vector<int>{1});
  // Not a contract: the panel is emptied.
  EXPECT_FALSE(entry_.SetOrderContract(STKPTR(0, 0, 0)));
  EXPECT_EQ(F(0).contract, "");
  EXPECT_EQ(F(0).volume, "1");
  EXPECT_TRUE(panel_.PanelContract.IsNone());
}

TEST_F(OrderEntryTest, DefaultVolumeIsLimitedInTheKeyboardLayoutOnly) {
  desk_.FindContract("CU2405")->DefaultOpenVolume = 0;
  Layout(1);
  entry_.SetOrderContract(Stock(1));
  EXPECT_EQ(F(1).volume, "1");
  EXPECT_EQ(entry_.bar.volume, "1");
  Layout(2);
  entry_.SetOrderContract(Stock(2));
  entry_.SetOrderContract(Stock(1));
  EXPECT_EQ(F(2).volume, "0");
  // The keyboard panel's hidden field is reset to the default word too.
  EXPECT_EQ(F(1).price, "对手价");
}

TEST_F(OrderEntryTest, HandOverWithAPriceKeepsADirectionalOffset) {
  entry_.ApplyGrapPriceMode(1);
  entry_.SetOrderContract(Stock(1));
  entry_.ComboBox1002Change(3);
  EXPECT_TRUE(entry_.SetOrderContractAndPrice(Stock(1), 3488));
  EXPECT_EQ(entry_.ordinary.offsetItem, 3);
  EXPECT_FALSE(entry_.ordinary.sellEnabled);
  EXPECT_EQ(F(0).price, "3488.00");
  EXPECT_EQ(entry_.ordinary.buyHint, "^3488.00");
  EXPECT_EQ(entry_.bar.price, "3488.00");
  // A plain offset is reset, also for the same contract.
  entry_.ComboBox1002Change(1);
  EXPECT_TRUE(entry_.SetOrderContractAndPrice(Stock(1), 3490));
  EXPECT_EQ(entry_.ordinary.offsetItem, 0);
  // A new contract is handed over with the ordinary panel's reset.
  entry_.ComboBox1002Change(4);
  EXPECT_TRUE(entry_.SetOrderContractAndPrice(Stock(2), 5000));
  EXPECT_EQ(entry_.ordinary.offsetItem, 0);
  EXPECT_EQ(F(0).price, "5000.0");
  EXPECT_FALSE(entry_.SetOrderContractAndPrice(STKPTR(), 1));
}

TEST_F(OrderEntryTest, LinkedProgramsGetAShortSecondCode) {
  struct Case {
    const char *code;
    int kind;
    const char *second;
  } cases[] = {{"CU2405", 2, "CU405"}, {"SR405", 2, ""}, {"CU2405", 1, ""}, {"ABCDEFG", 2, ""}};
  for (const Case &c : cases) {
    char out[8];
    LinkSecondCode(c.code, c.kind, out);
    EXPECT_STREQ(out, c.second) << c.code;
  }
}

TEST_F(OrderEntryTest, QuotesRepaintTheOrdinaryPanelOnlyWhileItHoldsAWord) {
  entry_.SetOrderContract(Stock(1));
  EXPECT_TRUE(entry_.QuoteRefreshes(Stock(1)));
  EXPECT_FALSE(entry_.QuoteRefreshes(Stock(2)));
  F(0).price = "3500";
  EXPECT_FALSE(entry_.QuoteRefreshes(Stock(1)));
  Layout(1);
  EXPECT_TRUE(entry_.QuoteRefreshes(Stock(1)));
}

}  // namespace
}  // namespace trading_test
