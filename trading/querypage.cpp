#include "trading/querypage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "classlib/classes.h"
#include "classlib/printer.h"
#include "core/datetime.h"
#include "market/dataio5.h"
#include "platform/profile.h"
#include "trading/pluginapi.h"

namespace {

constexpr int kMargin = 200;
const char *const kDateHint = "日期格式为YYYYMMDD，如20070801。";
const char *const kDailyHint = "日期格式为YYYYMMDD，如20070801。不填日期则查询当日。";
const char *const kMonthlyHint = "月份格式为YYYYMM，如200708。不填月份则查询当月。";

// A field as the plug-in gets it: at most 15 characters.
std::string Field(const std::string &text) { return text.substr(0, 15); }

std::vector<std::string> SplitLines(const std::string &text) {
  TStringList list;
  list.SetText(text);
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
  return lines;
}

}  // namespace

TQueryPage::TQueryPage(TQueryGate &gate) : gate_(gate) {
  historyLocked = [] {
    const TMarketData *market = MarketAt(3);
    return !market || market->IsTradingNow();
  };
}

void TQueryPage::Hint(COLORREF colour, std::string text) {
  hintColour = colour;
  hint = std::move(text);
}

std::string TQueryPage::TradeDate() {
  char date[32] = {};
  if (TradePlugin.GetTradeDate) TradePlugin.GetTradeDate(date);
  date[15] = 0;
  return date;
}

std::string TQueryPage::DaysBefore(const std::string &date, int days) {
  const unsigned value = unsigned(strtoul(date.c_str(), nullptr, 10));
  PackedDateTime packed = MakePackedDateTime(value / 10000, value / 100 % 100, value % 100, 0, 0);
  for (int i = 0; i < days; ++i) PackedPreviousDayInPlace(&packed);
  char text[16];
  snprintf(text, sizeof text, "%u%02u%02u", PackedYear(packed), PackedMonth(packed), PackedDay(packed));
  return text;
}

void TQueryPage::ChangeTab(int index) {
  tab = index;
  memo.clear();
  cfmmcShown = tab == kStatement && TradePlugin.QueryCFMMC;
  firstShown = secondShown = radiosShown = false;
  if (tab == kPassword) {
    passwordPanel = true;
    return;
  }
  switch (tab) {
    case kFunds:
      firstLabel = "查询日期:";
      firstDate = TradeDate();
      firstShown = true;
      hint = kDateHint;
      break;
    case kStatement:
      secondLabel = "查询日期:";
      secondDate.clear();
      secondShown = radiosShown = true;
      daily = true;
      hint = kDailyHint;
      break;
    case kPositionDetail:
      hint.clear();
      break;
    default: {
      const std::string date = TradeDate();
      secondDate = date;
      firstDate = DaysBefore(date, tab == kHistory ? 6 : 30);
      firstLabel = "起始日期:";
      secondLabel = "结束日期:";
      firstShown = secondShown = true;
      hint = kDateHint;
    }
  }
  passwordPanel = false;
  hintColour = kBlue;
}

void TQueryPage::StatementKindClick(bool dailyStatement) {
  daily = dailyStatement;
  secondDate.clear();
  secondLabel = daily ? "查询日期:" : "查询月份:";
  Hint(kBlue, daily ? kDailyHint : kMonthlyHint);
}

void TQueryPage::Query(uint32_t now) {
  if (!gate_.Pass(now)) return Hint(kRed, gate_.RefusalText());
  memo.clear();
  static const char *const kNames[] = {"资金状况", "结算单", "持仓明细", "历史成交", "交易统计", "出入金"};
  if (tab < kFunds || tab > kMoney) return;
  std::string first = Field(firstDate), second = Field(secondDate);
  if (tab >= kHistory) {
    if (tab != kMoney && historyLocked && historyLocked())
      return Hint(kRed, tab == kHistory ? "交易时段内不允许查询历史成交。" : "交易时段内不允许查询交易统计。");
    const long start = atol(first.c_str()), end = atol(second.c_str());
    if (end < start) return Hint(kRed, "查询失败，起始日期应小于等于结束日期。");
    if (tab == kHistory) {
      const std::string trade = TradeDate();
      const long t = atol(trade.c_str());
      if (t < end) secondDate = second = trade;
      if (t < start) firstDate = first = trade;
    }
  }
  int r = -1;
  auto &p = TradePlugin;
  switch (tab) {
    case kFunds: r = p.QueryTradingAccount ? p.QueryTradingAccount(first.data(), 0) : r; break;
    case kStatement: r = p.QuerySettlementInfo ? p.QuerySettlementInfo(second.data(), daily ? 1 : 2, 0) : r; break;
    case kPositionDetail: r = p.QueryInvestorPositionDetail ? p.QueryInvestorPositionDetail() : r; break;
    case kHistory: r = p.QueryTrade ? p.QueryTrade(first.data(), second.data(), 0) : r; break;
    case kStatistics: r = p.QueryTradeStatistics ? p.QueryTradeStatistics(first.data(), second.data()) : r; break;
    case kMoney: r = p.QueryMoneyHistory ? p.QueryMoneyHistory(first.data(), second.data()) : r; break;
  }
  char text[80];
  if (r == 0) snprintf(text, sizeof text, "正在查询%s...", kNames[tab]);
  else snprintf(text, sizeof text, "查询%s失败 (%i) ", kNames[tab], r);
  Hint(r == 0 ? kBlue : kRed, text);
}

void TQueryPage::QueryCfmmc() {
  if (!TradePlugin.QueryCFMMC) return;
  if (const int r = TradePlugin.QueryCFMMC()) {
    char text[64];
    snprintf(text, sizeof text, "查监控中心结算单失败 (%i)", r);
    Hint(kRed, text);
  }
}

void PrintMemoLines(TPrinter &printer, const std::vector<std::string> &lines) {
  TCanvas *canvas = printer.Canvas();
  const int width = printer.PageWidth() - kMargin, bottom = printer.PageHeight() - kMargin;
  int y = kMargin;
  for (const std::string &line : lines) {
    const SIZE extent = canvas->TextExtent(line);
    const int height = line.empty() ? canvas->TextHeight(" ") : int(extent.cy);
    const int wraps = width > 0 ? int(extent.cx) / width : 0;
    const double step = (wraps + 1.2) * height;
    // A line that does not fit goes to a new page; one that does not fit
    // an empty page either is printed at the top of its own.
    if (y + step > bottom && y != kMargin) {
      printer.NewPage();
      y = kMargin;
    }
    canvas->TextOut(kMargin, y, line);
    y = int(y + step);
  }
}

bool TQueryPage::Print() {
  TPrintDialog dialog;
  if (!dialog.Execute()) return false;
  TPrinter *printer = Printer();
  TFont *font = printer->Canvas()->Font();
  font->SetName("宋体");
  font->SetHeight(-(9 * printer->PixelsPerInch() / 72));
  font->SetColor(0);
  try {
    printer->BeginDoc();
  } catch (const EPrinter &) {
    return false;
  }
  PrintMemoLines(*printer, SplitLines(memo));
  printer->EndDoc();
  return true;
}

void TQueryPage::DisclaimerClick() {
  char caption[32] = {};
  GetPrivateProfileStringA("UserInfo", "TradeAD", "", caption, sizeof caption, "..\\cfg\\usersetting.ini");
  if (!caption[0]) {
    if (showGeneralDisclaimer) showGeneralDisclaimer();
  } else if (showTradingDisclaimer) {
    showTradingDisclaimer(caption);
  }
}
