// The quote panel: labels and values by market type, the item lists in
// defui.ini, the foreign-futures settings, the row layout, the price cells
// and the pictures of the panel.
#include <QImage>

#include <cmath>
#include <cstring>

#include "charts/quotepanel.h"
#include "market/dataagent.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "tests/charts/chart_world.h"

namespace charts_test {
namespace {

using testing_support::TDrawViewDouble;

std::string Value(const TDrawView &view, int item, int *color = nullptr) {
  char text[64];
  int c = -1;
  FormatQuotePanelValue(view, text, sizeof text, &c, item - 1);
  if (color) *color = c;
  return text;
}

class QuotePanel : public ChartWorld {
 protected:
  QuotePanel() {
    page_ = OpenChart(Stock(SH, 1));
    view_ = Chart(*page_);
  }
  ~QuotePanel() override { page_.reset(); }
  void Show(STKPTR stock) {
    view_->Notify(1, stock.Word(), stock.market, 0);
    harness_.Pump();
  }
  int Height(std::initializer_list<int> items) {
    std::memset(view_->DetailItems(), 0, kDetailItemCount);
    int i = 0;
    for (int item : items) view_->DetailItems()[i++] = uint8_t(item);
    view_->DrawQuotePanel();
    return view_->QuotePanelHeight;
  }
  std::unique_ptr<testing_support::ViewPage> page_;
  TDrawViewDouble *view_ = nullptr;
};

TEST_F(QuotePanel, LabelsFollowTheMarketType) {
  REALQUOTE &delivery = PutQuote(ZJ, 0);
  delivery.settlement = 100050;
  PutQuote(ZJ, 1).settlement = 100050;
  struct Case {
    STKPTR stock;
    int item;
    const char *label;
  } cases[] = {
      {Stock(SH, 1), kItemAverage, "均价"},     {Stock(DL, 0), kItemAverage, "结算"},
      {Stock(ZJ, 0), kItemAverage, "交割(估)"}, {Stock(ZJ, 1), kItemAverage, "结算"},  // kind 0: no estimate
      {Stock(GJ, 0), kItemLast, "现价"},        {Stock(GJ, 0), kItemVolume, "成交量"},
      {Stock(GJ, 0), kItemLastVolume, "现量"},  {Stock(GJ, 0), kItemAmount, "订货量"},
      {Stock(GJ, 0), kItemVolumeRatio, "订货差"}, {Stock(GJ, 0), kItemReference, "前均"},
      {Stock(DL, 0), kItemAmount, "持仓"},      {Stock(LM, 0), kItemVolumeRatio, "仓差"},
      {Stock(SH, 1), kItemAmount, "金额"},      {Stock(SH, 1), kItemReference, "昨收"},
      {Stock(ZJ, 1), kItemReference, "昨结"},   {Stock(GJ, 0), kItemBid1 + 2, "买三"},
      {Stock(SH, 1), 41, ""},
  };
  for (const Case &c : cases) {
    view_->m_attr.stock = c.stock;
    EXPECT_STREQ(QuotePanelLabel(*view_, c.item - 1), c.label) << c.stock.Word() << " item " << c.item;
  }
}

TEST_F(QuotePanel, ValuesAndColours) {
  PutQuote(SH, 1).amount = 123456789012.0f;
  PutQuote(SH, 0);  // an index: no order levels
  REALQUOTE &noOrders = PutQuote(SZ, 0);
  (void)noOrders;
  REALQUOTE &dl = PutQuote(DL, 0);
  dl.settlement = 0;
  dl.barSettlement = 10150;
  REALQUOTE &zj = PutQuote(ZJ, 0);
  zj.settlement = 100050;
  Info(ZJ, 0).decimals = 3;
  REALQUOTE &empty = PutQuote(GJ, 0);
  for (QUOTELEVEL &l : empty.bid) l = {0, 0};
  for (QUOTELEVEL &l : empty.ask) l = {0, 0};
  empty.last = 0;
  struct Case {
    STKPTR stock;
    int item;
    const char *text;
    int color;
  } cases[] = {
      {Stock(SH, 1), kItemLast, "10.20", 20},
      {Stock(SH, 1), kItemChange, "0.20", 20},
      {Stock(SH, 1), kItemChangePercent, "2.00%", 20},
      {Stock(SH, 1), kItemReference, "10.00", 19},
      {Stock(SH, 1), kItemLow, "9.80", 18},
      {Stock(SH, 1), kItemVolume, "1000", 32},
      {Stock(SH, 1), kItemAmount, "1234.57亿", 32},
      {Stock(SH, 1), kItemOrderRatio, "-16.67%", 18},
      {Stock(SH, 1), kItemOrderDifference, "-10", 18},
      {Stock(SH, 1), kItemBidVolume1 + 1, "5", 32},
      {Stock(SH, 1), kItemBuyerVolume, "0", 20},  // no trend agent
      {Stock(SH, 1), kItemBidAverage, "---", 19},
      {Stock(SH, 1), kItemPeRatio, "---", 19},  // no finance value
      {Stock(SH, 0), kItemBid1, "---", 19},
      {Stock(SH, 0), kItemOrderRatio, "---", 19},
      {Stock(DL, 0), kItemAverage, "10.15", 20},  // the second settlement field
      {Stock(DL, 0), kItemAmount, "2000", 32},
      {Stock(ZJ, 0), kItemAverage, "100.05", 20},  // the estimate always has two decimals
      {Stock(GJ, 0), kItemOrderRatio, "---", 19},
      {Stock(GJ, 0), kItemOrderDifference, "0", 19},
      {Stock(GJ, 0), kItemLast, "---", 19},
      {Stock(GJ, 0), kItemChange, "---", 19},
  };
  for (const Case &c : cases) {
    view_->m_attr.stock = c.stock;
    int color = -1;
    EXPECT_EQ(Value(*view_, c.item, &color), c.text) << c.stock.Word() << " item " << c.item;
    EXPECT_EQ(color, c.color) << c.stock.Word() << " item " << c.item;
  }
}

TEST_F(QuotePanel, ARecordWithoutDivisorOrUnitNeverDividesByZero) {
  REALQUOTE &q = PutQuote(SH, 1);
  q.volume = 1234;
  Info(SH, 1).priceDivisor = 0;
  Info(SH, 1).volumeUnit = 0;
  Info(SH, 1).decimals = 200;  // held to 8 places
  view_->m_attr.stock = Stock(SH, 1);
  EXPECT_EQ(Value(*view_, kItemLast), "10.20000000");
  EXPECT_EQ(Value(*view_, kItemVolume), "1234");
  EXPECT_EQ(Value(*view_, kItemOrderDifference), "-10");
}

TEST_F(QuotePanel, ConvertedPricesUseTheMultiplierAndTheirDecimals) {
  REALQUOTE &q = PutQuote(LM, 0);
  q.last = 1500;
  box_.WriteText("cfg/forfur.ini", "[PARAM]\r\nCAD= 2.5 |美元/吨|元/吨|1|USD\r\n");
  box_.WriteText("cfg/forex.ini", "[FOREX]\r\nUSD=2.8\r\n");
  Show(Stock(LM, 0));
  EXPECT_DOUBLE_EQ(view_->PriceMultiplier, 7.0);
  EXPECT_STREQ(view_->NativeUnitText, "美元/吨");
  EXPECT_STREQ(view_->ConvertedUnitText, "元/吨");
  EXPECT_EQ(Value(*view_, kItemLast), "1.50");
  view_->ConvertedPrices = true;
  EXPECT_EQ(Value(*view_, kItemLast), "10.5");
  // A rate that is no positive number counts as 1.
  box_.WriteText("cfg/forex.ini", "[FOREX]\r\nUSD=0\r\n");
  view_->LoadInstrumentSettings();
  EXPECT_DOUBLE_EQ(view_->PriceMultiplier, 2.5);
}

TEST(ForeignFutures, EntriesAreTrimmedCutAndHeldToRange) {
  ForeignFuturesEntry e;
  EXPECT_FALSE(ParseForeignFuturesEntry("", &e));
  ASSERT_TRUE(ParseForeignFuturesEntry(" 7.5 | 美元/吨 |元/吨| 2 |USD", &e));
  EXPECT_DOUBLE_EQ(e.multiplier, 7.5);
  EXPECT_STREQ(e.nativeUnit, "美元/吨");
  EXPECT_STREQ(e.convertedUnit, "元/吨");
  EXPECT_EQ(e.decimals, 2);
  EXPECT_STREQ(e.currency, "USD");
  // Twenty double-byte characters are 40 bytes: 15 of them fit 31 bytes.
  ASSERT_TRUE(ParseForeignFuturesEntry("0|一二三四五六七八九十一二三四五六七八九十|x|99", &e));
  EXPECT_EQ(std::strlen(e.nativeUnit), 30u);
  EXPECT_DOUBLE_EQ(e.multiplier, 1.0);
  EXPECT_EQ(e.decimals, 8);
  struct Case {
    const char *text;
    double value;
  } factors[] = {{"2.8", 2.8}, {"0", 1}, {"-3", 1}, {"abc", 1}, {"", 1}, {"1e999", 1}};
  for (const Case &c : factors) EXPECT_DOUBLE_EQ(PositiveFactor(c.text), c.value) << c.text;
  ASSERT_TRUE(ParseForeignFuturesEntry("1|a|b|-4|", &e));
  EXPECT_EQ(e.decimals, 0);
}

TEST_F(QuotePanel, ItemListsRoundTripAndFallBack) {
  uint8_t items[kDetailItemCount];
  LoadDetailItems(5, items);
  EXPECT_EQ(items[0], 31);
  EXPECT_EQ(items[25], 14);
  EXPECT_EQ(items[26], 0);

  uint8_t full[kDetailItemCount];
  for (int i = 0; i < kDetailItemCount; ++i) full[i] = uint8_t(i + 1);
  SaveDetailItems(5, full);
  LoadDetailItems(5, items);
  EXPECT_EQ(0, std::memcmp(items, full, sizeof items));

  // The shared file gives the default for the user's.
  box_.WriteText("cfg/defui.ini", "[UI]\r\nDetailItem32=1,2,3\r\n");
  LoadDetailItems(2, items);
  EXPECT_EQ(items[2], 3);
  EXPECT_EQ(items[3], 0);
  WritePrivateProfileStringA("UI", "DetailItem32", "4,x,6", (std::string(UserDataPath) + "defui.ini").c_str());
  LoadDetailItems(2, items);
  EXPECT_EQ(items[0], 4);
  EXPECT_EQ(items[1], 0);
  // By market: the foreign-futures market is group 5.
  LoadMarketDetailItems(LM, items);
  EXPECT_EQ(0, std::memcmp(items, full, sizeof items));
  EXPECT_EQ(DetailItemGroup(2), 0);
}

TEST_F(QuotePanel, PlainItemsShareRowsAndAHalfRowClosesBeforeASeparator) {
  PutQuote(SH, 1);
  Show(Stock(SH, 1));
  EXPECT_EQ(Height({1}), Height({1, 2}));
  EXPECT_EQ(Height({1, 2, 3}), Height({1, 2, 3, 4}));
  EXPECT_LT(Height({1, 2}), Height({1, 2, 3}));
  // An odd plain item is followed by a level item: its row closes first.
  EXPECT_EQ(Height({1, 17}), Height({1, 2, 17}));
  EXPECT_GT(Height({1, 17}), Height({17}));
}

TEST_F(QuotePanel, FirstLevelOnlyFuturesHideTheDeeperLevels) {
  PutFirstLevelQuote(DL, 0);
  Show(Stock(DL, 0));
  const int shallow = Height({27, 28, 29, 17, 18, 19});
  EXPECT_NE(view_->PriceCells[4].Right, 0);  // 卖一
  EXPECT_EQ(view_->PriceCells[3].Right, 0);  // 卖二 not shown
  PutQuote(DL, 0);
  EXPECT_GT(Height({27, 28, 29, 17, 18, 19}), shallow);
  EXPECT_NE(view_->PriceCells[3].Right, 0);
  EXPECT_NE(view_->PriceCells[6].Right, 0);
}

TEST_F(QuotePanel, PriceCellsHitLeftTopInclusiveRightBottomExclusive) {
  view_->PriceCells[5] = TRect(10, 20, 30, 40);
  struct Case {
    int x, y, cell;
  } cases[] = {{10, 20, 5}, {29, 39, 5}, {30, 30, -1}, {20, 40, -1}, {9, 30, -1}};
  for (const Case &c : cases) EXPECT_EQ(view_->PriceCellAt(c.x, c.y, 16), c.cell) << c.x << "," << c.y;
}

TEST_F(QuotePanel, PriceCellsFillTheOrderPanelAndTheUnitRowTogglesPrices) {
  auto main = std::make_unique<TForm>(nullptr);
  host_.mainWindow = main->Handle();
  PutQuote(LM, 0);
  box_.WriteText("cfg/forfur.ini", "[PARAM]\r\nCAD=2|美元|元|2|USD\r\n");
  view_->Activate();
  Show(Stock(LM, 0));
  if (!view_->Panel1->Visible()) view_->N5Click();
  std::memset(view_->DetailItems(), 0, kDetailItemCount);
  view_->DetailItems()[0] = kItemBid1;
  view_->DrawQuotePanel();
  const TRect bid = view_->PriceCells[5];
  const TRect unit = view_->PriceCells[kPriceCellUnitRow];
  ASSERT_GT(unit.Bottom, unit.Top);

  host_.Clear();
  view_->OrderFromPriceCellAt(bid.Left + view_->MsgPage->Left(), bid.Top + view_->MsgPage->Top());
  EXPECT_EQ(host_.Calls("SetOrderContractAndPrice"),
            std::vector<std::string>{"SetOrderContractAndPrice " + std::to_string(Stock(LM, 0).Word()) + " 10.1900"});
  host_.Clear();
  view_->OrderFromPriceCellAt(unit.Left + 1, unit.Top + 1);  // the unit row gives no price
  EXPECT_TRUE(host_.Calls("SetOrderContractAndPrice").empty());

  view_->MsgPageMouseDown(nullptr, mbLeft, TShiftState(), unit.Left, unit.Bottom);  // edges inclusive
  EXPECT_TRUE(view_->ConvertedPrices);
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, host_.mainWindow, WM_ACTIVE_CHART_REINIT, WM_ACTIVE_CHART_REINIT, PM_REMOVE));
  host_.mainWindow = nullptr;
}

TEST_F(QuotePanel, WritesThePictures) {
  PutQuote(SH, 1).amount = 123456789012.0f;
  PutQuote(SH, 0);
  PutFirstLevelQuote(DL, 0);
  PutQuote(ZJ, 1);
  PutQuote(LM, 0).last = 1500;
  box_.WriteText("cfg/forfur.ini", "[PARAM]\r\nCAD=7|美元/吨|元/吨|1|USD\r\n");
  page_.reset();
  struct Shot {
    const char *name;
    STKPTR stock;
  } shots[] = {{"chart-base-stock", Stock(SH, 1)},
               {"chart-base-futures", Stock(DL, 0)},
               {"chart-base-futures-depth", Stock(ZJ, 1)},
               {"chart-base-index", Stock(SH, 0)},
               {"chart-base-foreign", Stock(LM, 0)}};
  for (const Shot &s : shots) {
    auto page = OpenChart(s.stock);
    TDrawViewDouble *view = Chart(*page);
    if (!view->Panel1->Visible()) view->N5Click();
    view->Notify(1, s.stock.Word(), s.stock.market, 0);
    harness_.Pump();
    // The panel's background is the chart colour; its labels are drawn.
    const QImage image = harness_.Render(view->Handle());
    EXPECT_EQ(image.pixel(view->Panel1->Left() + 2, view->Panel1->Height() - 20) & 0xFFFFFF,
              QColor(GetRValue(ViewColor(1)), GetGValue(ViewColor(1)), GetBValue(ViewColor(1))).rgb() & 0xFFFFFF)
        << s.name;
    harness_.SavePng(image, s.name);
    if (s.stock.market == LM) {
      const TRect unit = view->PriceCells[kPriceCellUnitRow];
      ASSERT_GT(unit.Bottom, unit.Top);
      // The unit row is filled with COLOR64.
      const int x = view->Panel1->Left() + view->MsgPage->Left() + unit.Left + 1;
      const QRgb fill = image.pixel(x, view->MsgPage->Top() + unit.Top + 1);
      EXPECT_EQ(QColor(fill), QColor(GetRValue(ViewColor(64)), GetGValue(ViewColor(64)), GetBValue(ViewColor(64))));
    }
    if (s.stock.market == SH && s.stock.stock == 1) {
      // The hover underline under 昨收's cell.
      const TRect cell = view->PriceCells[10];
      ASSERT_GT(cell.Right, cell.Left);
      view->MsgPageMouseMove(nullptr, TShiftState(), cell.Left + 1, cell.Top + 1);
      harness_.Pump();
      const QImage hover = harness_.Render(view->Handle());
      const QRgb line = hover.pixel(view->Panel1->Left() + view->MsgPage->Left() + cell.Left + 1,
                                    view->MsgPage->Top() + cell.Bottom - 1);
      EXPECT_EQ(QColor(line), QColor(GetRValue(ViewColor(33)), GetGValue(ViewColor(33)), GetBValue(ViewColor(33))));
      harness_.SavePng(hover, "chart-base-hover");
      // The cross-hair over the chart area.
      view->CrossHairMode = true;
      view->ViewPainted = true;
      view->FormMouseMove(nullptr, TShiftState(), 120, 150);
      harness_.SavePng(harness_.Render(view->Handle()), "chart-base-crosshair");
      // The black-and-white picture printing makes.
      const int w = view->Width(), h = view->Height();
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = w;
      info.bmiHeader.biHeight = -h;
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      HDC mem = CreateCompatibleDC(nullptr);
      void *bits = nullptr;
      HBITMAP dib = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      ASSERT_TRUE(dib && bits);
      HGDIOBJ old = SelectObject(mem, dib);
      view->PaintTo(mem, 0, 0);
      QImage shot(static_cast<const uchar *>(bits), w, h, w * 4, QImage::Format_RGB32);
      const COLORREF white[] = {ViewColor(1), ViewColor(17), ViewColor(34), ViewColor(63), ViewColor(64)};
      QImage bw(w, h, QImage::Format_RGB32);
      MakePrintPicture(reinterpret_cast<const uint32_t *>(shot.constBits()), w, h, false, white, 5,
                       reinterpret_cast<uint32_t *>(bw.bits()));
      EXPECT_EQ(bw.pixel(2, 2) & 0xFFFFFF, 0xFFFFFFu);
      harness_.SavePng(bw, "chart-base-print-bw");
      SelectObject(mem, old);
      DeleteObject(dib);
      DeleteDC(mem);
    }
  }
}

}  // namespace
}  // namespace charts_test
