// The world of the chart tests: markets of every type the quote panel tells
// apart, the block table, a colour theme whose entries all differ, the view
// fonts, a main-window stand-in that records what the charts ask of it, and
// the chart double registered for the chart view types.
//
//   0 "SH" type 1: kind 0 指数 (no order book), kind 1 A股; 000001 综合, 600000 浦发
//   1 "SZ" type 1: kind 0 指数; 399001 成指
//   2 "DL" type 2: kinds 期货, 期权, 商品; M01 (M2401), CU05 (kind 2, CU2405),
//                  ABCDEFG (a full 7-byte code, XYZ1234)
//   3 "ZJ" type 2: kinds 股指, 期权, 商品, 国债; 0401A (kind 3), IF01
//   4 "HK" type 6: 00700
//   5 "LM" type 7: CAD
//   6 "GJ" type 8: AU
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "charts/drawview.h"
#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "testing/drawview_double.h"
#include "testing/frame_host_recorder.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"
#include "views/viewservices.h"

namespace charts_test {

// The frame stand-in with the chart's calls recorded too.
class ChartHost : public FrameHostRecorder {
 public:
  void SetOrderContractAndPrice(uint32_t stockWord, double price) override {
    calls.push_back("SetOrderContractAndPrice " + std::to_string(stockWord) + " " + Price(price));
  }
  void PressPanelOrderButton() override { calls.push_back("PressPanelOrderButton"); }
  void GetChartTradeMarks(const char *account, const char *code, const char *second, void *, int positions, void *,
                          int orders) override {
    calls.push_back("GetChartTradeMarks [" + std::string(account) + "] [" + code + "] [" + second + "] " +
                    std::to_string(positions) + " " + std::to_string(orders));
  }
  static std::string Price(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", v);
    return text;
  }
};

enum Market { SH, SZ, DL, ZJ, HK, LM, GJ };

class ChartWorld : public ::testing::Test {
 protected:
  ChartWorld() {
    using namespace market_fixture;
    UpdateCurrentUtcTime();
    MKINFO sh = MakeMarket("SH", "shd", 1, 8, 8, 0);
    AddKind(sh, "指数", {{570, 690}, {780, 900}}, 540, 960);
    AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
    sh.kinds[0].noOrderBook = 1;
    MKINFO sz = MakeMarket("SZ", "szd", 1, 8, 8, 1);
    AddKind(sz, "指数", {{570, 690}, {780, 900}}, 540, 960);
    sz.kinds[0].noOrderBook = 1;
    MKINFO dl = MakeMarket("DL", "dlf", 2, 8, 8, 3);
    for (const char *k : {"期货", "期权", "商品"}) AddKind(dl, k, {{540, 690}, {810, 900}}, 480, 960);
    MKINFO zj = MakeMarket("ZJ", "zjf", 2, 8, 8, 3);
    for (const char *k : {"股指", "期权", "商品", "国债"}) AddKind(zj, k, {{555, 690}, {780, 915}}, 480, 960);
    MKINFO hk = MakeMarket("HK", "hkd", 6, 8, 8, 5);
    AddKind(hk, "主板", {{570, 720}, {780, 960}}, 540, 980);
    MKINFO lm = MakeMarket("LM", "lmf", 7, 8, 8, 6);
    AddKind(lm, "外盘", {{480, 1380}}, 420, 1439);
    MKINFO gj = MakeMarket("GJ", "gjf", 8, 8, 8, 7);
    AddKind(gj, "现货", {{540, 690}, {810, 900}}, 480, 960);
    box_.WriteMarketInfo({sh, sz, dl, zj, hk, lm, gj});
    box_.WriteTable(sh, "nametbl",
                    std::vector<STKINFO>{MakeStock(0, 0, "000001", "综合"), MakeStock(0, 1, "600000", "浦发")});
    box_.WriteTable(sz, "nametbl", std::vector<STKINFO>{MakeStock(1, 0, "399001", "成指")});
    box_.WriteTable(dl, "nametbl",
                    std::vector<STKINFO>{MakeStock(2, 0, "M01", "豆粕01"), MakeStock(2, 2, "CU05", "沪铜05"),
                                         MakeStock(2, 0, "ABCDEFG", "满码")});
    box_.WriteTable(dl, "nametble",
                    std::vector<STKINFOEX>{MakeStockEx("M2401"), MakeStockEx("CU2405"), MakeStockEx("XYZ1234")});
    box_.WriteTable(zj, "nametbl",
                    std::vector<STKINFO>{MakeStock(3, 3, "0401A", "国债A"), MakeStock(3, 0, "IF01", "沪深01")});
    box_.WriteTable(zj, "nametble", std::vector<STKINFOEX>{MakeStockEx("T2403"), MakeStockEx("IF2401")});
    box_.WriteTable(hk, "nametbl", std::vector<STKINFO>{MakeStock(4, 0, "00700", "腾讯")});
    box_.WriteTable(lm, "nametbl", std::vector<STKINFO>{MakeStock(5, 0, "CAD", "伦铜")});
    box_.WriteTable(gj, "nametbl", std::vector<STKINFO>{MakeStock(6, 0, "AU", "黄金")});
    box_.WriteText("user/blocks.ini", "[FileInfo]\r\nVersion=1\r\n[自选 一]\r\nI1=SH 600000\r\n");
    io_ = std::make_unique<TDataIO>(nullptr);
    blocks_ = std::make_unique<TBlockGroup>();
    for (int i = 0; i < kViewColorCount; ++i)
      colors_[i] = RGB(BYTE((i + 1) * 3), BYTE(255 - (i + 1) * 3), BYTE(i + 1));
    for (VIEWFONTDEF &f : fonts_) f = VIEWFONTDEF{0, "宋体", 12};
    saved_ = ViewDisplay();
    ViewDisplay().colors = colors_;
    ViewDisplay().fonts = fonts_;
    RebuildViewFonts();
    GrapPriceMode = 0;
  }
  ~ChartWorld() override {
    ViewDisplay() = saved_;
    ViewServices() = TViewServices{};
    blocks_.reset();
    FreeBlocks();
    io_.reset();
  }

  static STKPTR Stock(int market, int stock) { return STKPTR(market, 0, stock); }
  static STKINFO &Info(int market, int stock) { return MarketTable.markets[market]->m_stocks[stock]; }
  static REALQUOTE &Quote(int market, int stock) { return MarketTable.markets[market]->m_quotes[stock]; }
  // Reference and previous close 10.00, open 10.10, high 10.50, low 9.80,
  // last 10.20, bids 10.19 x 5 and asks 10.21 x 7 on every level, volume
  // 1000, amount 2000.
  static REALQUOTE &PutQuote(int market, int stock) {
    REALQUOTE &q = Quote(market, stock);
    testing_support::FillPlainQuote(q);
    return q;
  }
  // The quote of a futures market that sends only the first level.
  static REALQUOTE &PutFirstLevelQuote(int market, int stock) {
    REALQUOTE &q = PutQuote(market, stock);
    for (int i = 1; i < 5; ++i) q.bid[i] = q.ask[i] = {0, 0};
    return q;
  }

  // A page whose pane holds the chart double, showing the instrument.
  std::unique_ptr<testing_support::ViewPage> OpenChart(STKPTR stock, int type = VIEW_TYPE_INTRADAY, int width = 640,
                                                       int height = 400) {
    VIEW_ATTR_13 record{};
    InitViewAttr(type, &record);
    record.stock = stock;
    auto page = std::make_unique<testing_support::ViewPage>(type, &record, width, height);
    harness_.Pump();
    return page;
  }
  static testing_support::TDrawViewDouble *Chart(const testing_support::ViewPage &page) {
    return page.View<testing_support::TDrawViewDouble>();
  }

  testing_support::ViewHarness harness_;
  market_fixture::MarketSandbox box_;
  std::unique_ptr<TDataIO> io_;
  std::unique_ptr<TBlockGroup> blocks_;
  ChartHost host_;
  MessageBoxRecorder boxes_;
  testing_support::TDrawViewRegistration registration_;
  COLORREF colors_[kViewColorCount];
  VIEWFONTDEF fonts_[kViewFontCount];
  TViewDisplay saved_;
};

}  // namespace charts_test
