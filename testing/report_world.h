// A small market world for the quote views: four markets built by the
// market table from a scratch folder, the block table over them, a colour
// theme whose entries are all different, and quotes that tests set
// directly in the market table.
//
//   market 0 "SH" type 1: kind 0 指数 (no order book), kind 1 A股;
//            000001 综合 (index), 600000 浦发, 600036 招行, 000300 沪深300 (index)
//   market 1 "SZ" type 1: kind 0 指数, kind 1 A股; 399001 成指, 000001 平安, 000002 万科
//   market 2 "DL" type 2 futures: kind 0 期货; M01, M05, C01, C05 (extended codes M2401 ...)
//   market 3 "ZJ" type 2: kinds 0..3 (kind 0 without order book), kind 3 国债;
//            0401A, 0401B, IF01 (kind 0)
//   market 4 "BG" type 2 (only with bigCount > 0): kind 0, bigCount contracts "B%05d"
//
// Every instrument gets a price divisor of 1000 and 2 decimals.
#pragma once

#include <memory>
#include <string>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "testing/market_fixture_min.h"
#include "views/viewdisplay.h"

namespace testing_support {

// The plain quote of ReportWorld::PutQuote written into a record.
void FillPlainQuote(REALQUOTE &q);

class ReportWorld {
 public:
  explicit ReportWorld(int bigCount = 0, const std::string &userBlocks = std::string());
  ~ReportWorld();
  ReportWorld(const ReportWorld &) = delete;
  ReportWorld &operator=(const ReportWorld &) = delete;

  market_fixture::MarketSandbox &Box() { return box_; }
  REALQUOTE &Quote(int market, int stock) { return MarketTable.markets[market]->m_quotes[stock]; }
  FINANCE &Finance(int market, int stock) { return MarketTable.markets[market]->m_finance[stock]; }
  STKINFO &Info(int market, int stock) { return MarketTable.markets[market]->m_stocks[stock]; }
  // A plain quote: reference and previous close 10.00, open 10.10, high
  // 10.50, low 9.80, last 10.20, bid 10.19 x 5 and ask 10.21 x 7 on every
  // level, volume 1000, amount 2000.
  void PutQuote(int market, int stock);
  BLOCK *Block(const char *name) { return FindBlockByName(name); }

  // COLORnn = RGB(nn * 3, 255 - nn * 3, nn); FONTnn = "0,12,宋体".
  COLORREF colors[kViewColorCount];
  VIEWFONTDEF fonts[kViewFontCount];

 private:
  market_fixture::MarketSandbox box_;
  std::unique_ptr<TDataIO> io_;
  std::unique_ptr<TBlockGroup> blocks_;
  TViewDisplay saved_;
};

}  // namespace testing_support
