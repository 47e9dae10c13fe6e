#include "testing/report_world.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "market/utildata.h"

namespace testing_support {

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MakeStockEx;

ReportWorld::ReportWorld(int bigCount, const std::string &userBlocks) {
  UpdateCurrentUtcTime();
  MKINFO sh = MakeMarket("SH", "shd", 1, 8, 8, 0);
  std::snprintf(sh.name, sizeof sh.name, "上海");
  AddKind(sh, "指数", {{570, 690}, {780, 900}}, 540, 960);
  AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
  sh.kinds[0].noOrderBook = 1;
  MKINFO sz = MakeMarket("SZ", "szd", 1, 8, 8, 1);
  std::snprintf(sz.name, sizeof sz.name, "深圳");
  AddKind(sz, "指数", {{570, 690}, {780, 900}}, 540, 960);
  AddKind(sz, "A股", {{570, 690}, {780, 900}}, 540, 960);
  sz.kinds[0].noOrderBook = 1;
  MKINFO dl = MakeMarket("DL", "dlf", 2, 8, 8, 3);
  std::snprintf(dl.name, sizeof dl.name, "大连");
  AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
  MKINFO zj = MakeMarket("ZJ", "zjf", 2, 8, 8, 3);
  std::snprintf(zj.name, sizeof zj.name, "中金");
  for (const char *k : {"股指", "期权", "商品", "国债"}) AddKind(zj, k, {{555, 690}, {780, 915}}, 480, 960);
  zj.kinds[0].noOrderBook = 1;
  std::vector<MKINFO> markets{sh, sz, dl, zj};
  MKINFO bg = MakeMarket("BG", "bgf", 2, uint16_t(bigCount > 0 ? bigCount : 1), 8, 3);
  std::snprintf(bg.name, sizeof bg.name, "大表");
  AddKind(bg, "合约", {{540, 690}, {810, 900}}, 480, 960);
  if (bigCount > 0) markets.push_back(bg);
  box_.WriteMarketInfo(markets);
  box_.WriteTable(sh, "nametbl",
                  std::vector<STKINFO>{MakeStock(0, 0, "000001", "综合"), MakeStock(0, 1, "600000", "浦发"),
                                       MakeStock(0, 1, "600036", "招行"), MakeStock(0, 0, "000300", "沪深300")});
  box_.WriteTable(sz, "nametbl",
                  std::vector<STKINFO>{MakeStock(1, 0, "399001", "成指"), MakeStock(1, 1, "000001", "平安"),
                                       MakeStock(1, 1, "000002", "万科")});
  box_.WriteTable(dl, "nametbl",
                  std::vector<STKINFO>{MakeStock(2, 0, "M01", "豆粕01"), MakeStock(2, 0, "M05", "豆粕05"),
                                       MakeStock(2, 0, "C01", "玉米01"), MakeStock(2, 0, "C05", "玉米05")});
  box_.WriteTable(dl, "nametble",
                  std::vector<STKINFOEX>{MakeStockEx("M2401"), MakeStockEx("M2405"), MakeStockEx("C2401"),
                                         MakeStockEx("C2405")});
  box_.WriteTable(zj, "nametbl",
                  std::vector<STKINFO>{MakeStock(3, 3, "0401A", "国债A"), MakeStock(3, 3, "0401B", "国债B"),
                                       MakeStock(3, 0, "IF01", "沪深01")});
  if (bigCount > 0) {
    std::vector<STKINFO> big;
    for (int i = 0; i < bigCount; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "B%05d", i % 100000);
      big.push_back(MakeStock(4, 0, code, code));
    }
    box_.WriteTable(bg, "nametbl", big);
  }
  if (!userBlocks.empty()) box_.WriteText("user/blocks.ini", userBlocks);
  io_ = std::make_unique<TDataIO>(nullptr);
  blocks_ = std::make_unique<TBlockGroup>();

  for (int i = 0; i < kViewColorCount; ++i) colors[i] = RGB(BYTE((i + 1) * 3), BYTE(255 - (i + 1) * 3), BYTE(i + 1));
  for (VIEWFONTDEF &f : fonts) f = VIEWFONTDEF{0, "宋体", 12};
  saved_ = ViewDisplay();
  ViewDisplay().colors = colors;
  ViewDisplay().fonts = fonts;
}

ReportWorld::~ReportWorld() {
  ViewDisplay() = saved_;
  blocks_.reset();
  FreeBlocks();
  io_.reset();
}

void FillPlainQuote(REALQUOTE &q) {
  std::memset(&q, 0, sizeof q);
  q.prevClose = q.refPrice = 10000;
  q.open = 10100;
  q.high = 10500;
  q.low = 9800;
  q.last = 10200;
  q.volume = 1000;
  q.amount = 2000;
  for (int i = 0; i < 5; ++i) {
    q.bid[i] = {10190, 5};
    q.ask[i] = {10210, 7};
  }
}

void ReportWorld::PutQuote(int market, int stock) { FillPlainQuote(Quote(market, stock)); }

}  // namespace testing_support
