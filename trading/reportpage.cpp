// The report page: close statistics per contract, the period's
// mark-to-market total, the balance chart drawn on the template bitmap, and
// the GBK page with the account overview, trade statistics, positions at
// the end of the period and the closed lots.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "classlib/graphics.h"
#include "classlib/picture.h"
#include "platform/gdi.h"
#include "platform/path.h"
#include "trading/accountreport.h"

namespace {

// Numbers as the page stream writes them: six significant digits in
// general notation; integers whole.
std::string Num(double v) {
  char text[64];
  snprintf(text, sizeof text, "%g", v);
  return text;
}
std::string Num(int32_t v) { return std::to_string(v); }
std::string Fixed2(double v) {
  char text[64];
  snprintf(text, sizeof text, "%.2f", v);
  return text;
}

// Text from a statement made safe for the page.
std::string Escape(const char *text) {
  std::string out;
  for (; *text; ++text) {
    switch (*text) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += *text;
    }
  }
  return out;
}

template <class R>
double Sum(const EArray<R> &array) {
  double sum = 0;
  for (int32_t i = 0; i < array.GetCount(); ++i) sum += array.GetData()[i].value;
  return sum;
}

// Lines of the page.
class Page {
 public:
  void Line(const std::string &text) { out_ += text + "\n"; }
  void Cell(const char *background, const std::string &text, bool bold = false) {
    Line(std::string("<td bgcolor=\"") + background + "\">" + (bold ? "<strong>" + text + "</strong>" : text) +
         "</td>");
  }
  void Blank(const char *background, int count = 1) {
    for (int i = 0; i < count; ++i) Cell(background, "&nbsp;");
  }
  void Header(std::initializer_list<const char *> names) {
    Line("<tr>");
    for (const char *name : names) Line(std::string("<td bgcolor=\"#13658c\" class=\"write\">") + name + "</td>");
    Line("</tr>");
  }
  void Section(const char *title, const char *table) {
    Line(std::string("<div class=\"report_contect_nav\">") + title + "</div>");
    Line("<div class=\"report_contect_zi report_tab2\">");
    Line(table);
  }
  // The last row of a table with its profit and margin totals, then the
  // table's end.
  void TotalRow(int blanks, double profit, double margin) {
    Line("<tr>");
    Cell("#ecf9ff", "合计", true);
    Blank("#ecf9ff", blanks);
    Cell("#ecf9ff", Num(profit));
    Cell("#ecf9ff", Num(margin));
    Blank("#ecf9ff");
    Line("</tr>");
    Line("</table>");
    Line("</div>");
  }
  const std::string &Text() const { return out_; }

 private:
  std::string out_;
};

std::string Coloured(double v) {
  return std::string("<span class=\"") + (v > 0 ? "red" : "green") + "\">" + Num(v) + "</span>";
}

constexpr const char *kPlainTable = "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">";

}  // namespace

// ---- statistics ----

void TAccountReport::SortClosedLots() {
  PingCangMingXi *lots = closedLots.GetData();
  std::stable_sort(lots, lots + closedLots.GetCount(), [](const PingCangMingXi &a, const PingCangMingXi &b) {
    return strcasecmp(a.closeDate, b.closeDate) < 0;
  });
}

void TAccountReport::BuildCloseStatistics(int layout) {
  closeStats.RemoveAll();
  auto add = [this](const char *contract, int32_t volume, double profit, bool isLong) {
    PingCangTongJi *entry = nullptr;
    for (int32_t i = 0; i < closeStats.GetCount() && !entry; ++i)
      if (strcmp(closeStats.GetData()[i].contract, contract) == 0) entry = &closeStats.GetData()[i];
    if (!entry) {
      PingCangTongJi fresh{};
      snprintf(fresh.contract, sizeof fresh.contract, "%s", contract);
      const int32_t at = closeStats.Add(fresh);
      if (at < 0) return;
      entry = &closeStats.GetData()[at];
    }
    const int side = isLong ? PingCangTongJi::kLong : PingCangTongJi::kShort;
    for (int g : {int(PingCangTongJi::kAll), side, side + (profit >= 0 ? 1 : 2)}) {
      entry->groups[g].count += 1;
      entry->groups[g].volume += volume;
      entry->groups[g].profit += profit;
    }
  };
  if (layout == 2) {
    for (int32_t i = 0; i < closedLots.GetCount(); ++i) {
      const PingCangMingXi &lot = closedLots.GetData()[i];
      add(lot.contract, lot.volume, lot.profit, strstr(lot.direction, "卖") != nullptr);
    }
    return;
  }
  // Closing trades without a close profit of their own take it from the
  // closed lots of the same reference.
  for (int32_t i = 0; i < trades.GetCount(); ++i) {
    ChengJiaoJiLu &trade = trades.GetData()[i];
    if (strstr(trade.openClose, "开")) continue;
    if (!trade.tradeRef[0] || trade.closeProfit >= 0.01 || trade.closeProfit <= -0.01) break;
    for (int32_t j = 0; j < closedLots.GetCount(); ++j)
      if (strcmp(closedLots.GetData()[j].closeRef, trade.tradeRef) == 0)
        trade.closeProfit += closedLots.GetData()[j].profit;
  }
  for (int32_t i = 0; i < trades.GetCount(); ++i) {
    const ChengJiaoJiLu &trade = trades.GetData()[i];
    if (strstr(trade.openClose, "开")) continue;
    add(trade.contract, trade.volume, trade.closeProfit, strstr(trade.direction, "卖") != nullptr);
  }
}

void TAccountReport::ComputePeriodPnl() {
  periodPnl.RemoveAll();
  const double begin = priceBegin.IsEmpty() ? 0.0 : priceBegin.GetData()[0].value;
  const double end = priceEnd.IsEmpty() ? 0.0 : priceEnd.GetData()[0].value;
  periodPnl.Add(DingShiYingKuiHuiZong{end + Sum(fees) - begin - Sum(cashMoves) - Sum(closeProfits)});
}

// ---- the chart ----

void TAccountReport::ChartAxis(double smallest, double largest, double *bottom, double *top) {
  double t = std::max(largest, 0.0);
  double b = smallest;
  if (t < 0.01) t = 10000;
  double e = std::trunc(std::log10(t)) - 1;
  t = std::ceil(t / std::pow(10.0, e)) * std::pow(10.0, e);
  if (b > 0) {
    e = std::trunc(std::log10(b)) - 1;
    b = std::trunc(b / std::pow(10.0, e)) * std::pow(10.0, e);
  } else if (b < 0) {
    // Rounded on its magnitude away from zero, so the axis holds it.
    e = std::trunc(std::log10(-b)) - 1;
    b = -std::ceil(-b / std::pow(10.0, e)) * std::pow(10.0, e);
  }
  if (t == b) t = b + 1;
  *bottom = b;
  *top = t;
}

std::string TAccountReport::AxisLabel(double bottom, double top, int t) {
  return Fixed2((bottom + (top - bottom) * 0.2 * t) / 10000);
}

bool TAccountReport::DrawBalanceChart() {
  TBitmap bitmap;
  if (!bitmap.LoadFromFile(".\\images\\Sample.bmp")) return false;
  TCanvas *canvas = bitmap.Canvas();
  const int32_t n = priceBegin.GetCount();
  if (n > 0) {
    canvas->Font()->SetName("宋体");
    canvas->Font()->SetHeight(13);
    canvas->Font()->SetColor(TColor(0));
    canvas->Brush()->SetStyle(bsClear);
    SetBkMode(canvas->Handle(), TRANSPARENT);
    const PriceBegin *series = priceBegin.GetData();
    double smallest = series[0].value, largest = series[0].value;
    for (int32_t i = 1; i < n; ++i) {
      smallest = std::min(smallest, series[i].value);
      largest = std::max(largest, series[i].value);
    }
    double bottom = 0, top = 0;
    ChartAxis(smallest, largest, &bottom, &top);
    for (int t = 1; t <= 5; ++t) {
      TRect box(0, 25 + 31 * (5 - t), 60, 25 + 31 * (5 - t) + 15);
      canvas->DrawText(AxisLabel(bottom, top, t), box,
                       DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    auto xOf = [n](int32_t i) { return n == 1 ? 365 : int(double(i) * 305 / (n - 1) + 60); };
    auto yOf = [&](double v) { return int(182 - (v - bottom) / (top - bottom) * 157); };
    auto line = [canvas](TColor colour, int width, int x0, int y0, int x1, int y1) {
      canvas->Pen()->SetColor(colour);
      canvas->Pen()->SetWidth(width);
      canvas->MoveTo(x0, y0);
      canvas->LineTo(x1, y1);
    };
    constexpr TColor kLine = TColor(0x00287FFF);  // RGB(255, 127, 40)
    constexpr TColor kGrid = TColor(0x00DAD9DB);  // RGB(219, 217, 218)
    const int w = canvas->TextWidth("20120101");
    int right = 365;
    for (int32_t i = n - 1; i >= 0; --i) {
      const int x = xOf(i), y = yOf(series[i].value);
      if (i < n - 1) line(kLine, 2, xOf(i + 1), yOf(series[i + 1].value), x, y);
      if (x > right) continue;
      line(kGrid, 1, x, 181, x, 25);
      line(TColor(0), 2, x, 182, x, 185);
      if (series[i].date[0]) {
        TRect box(x - w / 2, 190, x + w / 2, 213);
        canvas->DrawText(series[i].date, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      }
      right = x - w - 10;
    }
  }
  return bitmap.SaveToFile(".\\images\\Report_05.bmp");
}

// ---- the page ----

bool TAccountReport::WritePage(const char *path, int layout) {
  Page p;
  p.Line("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");
  p.Line("<html xmlns=\"http://www.w3.org/1999/xhtml\">");
  p.Line("<head>");
  p.Line("<meta http-equiv=\"Content-Type\" content=\"text/html\" />");
  p.Line("<title>交易及账户报告</title>");
  p.Line("<link href=\"style.css\"rel=\"stylesheet\" type=\"text/css\" />");
  p.Line("</head>");
  p.Line("<body>");
  p.Line("<div class=\"report_main\">");
  p.Line("<div class=\"report_bt\">交易账户报告</div>");
  p.Line("<div class=\"report_contect\">");
  p.Line("<div class=\"report_contect_title\">");
  p.Line("<table width=\"100%\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\">");
  p.Line("<tr>");
  p.Line("<td width=\"4%\"><br /></td>");
  p.Line("<td width=\"59%%\">账号: " + Escape(accountId) + "<br/></td>");
  p.Line("<td width=\"37%\">&nbsp;</td>");
  p.Line("</tr>");
  p.Line("<tr>");
  p.Line("<td>&nbsp;</td>");
  p.Line("<td>姓名: " + Escape(holderName) + "</td>");
  p.Line("<td>统计区间: " + Escape(startDate) + "-" + Escape(endDate) + "</td>");
  p.Line("</tr>");
  p.Line("</table>");
  p.Line("</div>");

  // The account overview beside the chart.
  p.Line("<div class=\"report_contect_nav\">账户概要</div>");
  p.Line("<div class=\"report_contect_zi report_tab1\">");
  p.Line(kPlainTable);
  p.Line("<tr>");
  p.Line("<td width=\"41%\"><table width=\"95%\" border=\"0\" cellspacing=\"1\" cellpadding=\"0\" "
         "style=\"background:#dcdcdc;\">");
  auto figure = [&p](const char *label, bool empty, bool sum, double value, bool first = false, bool grey = false) {
    p.Line("<tr>");
    p.Line(label);
    const char *open = sum || (empty && !first) ? "<td bgcolor=\"#FFFFFF\">" : "<td width=\"39%\" bgcolor=\"#FFFFFF\">";
    const std::string text = empty ? "0" : Fixed2(value);
    if (grey)
      p.Line(std::string(open) + "<font color=\"#AAAAAA\">" + text + "</font></td>");
    else
      p.Line(std::string(open) + text + "</td>");
    p.Line("</tr>");
  };
  auto first = [](const auto &array) { return array.IsEmpty() ? 0.0 : array.GetData()[0].value; };
  figure("<td width=\"61%\" bgcolor=\"#FFFFFF\">最初账户净值</td>", priceBegin.IsEmpty(), false, first(priceBegin), true);
  figure("<td bgcolor=\"#FFFFFF\">期末账户净值</td>", priceEnd.IsEmpty(), false, first(priceEnd));
  figure("<td bgcolor=\"#FFFFFF\">可用资金</td>", available.IsEmpty(), false, first(available));
  figure("<td bgcolor=\"#FFFFFF\">持仓占用保证金</td>", margins.IsEmpty(), false, first(margins));
  figure("<td bgcolor=\"#FFFFFF\">盯市盈亏汇总</td>", periodPnl.IsEmpty(), false, first(periodPnl));
  figure("<td bgcolor=\"#FFFFFF\">平仓盈亏</td>", closeProfits.IsEmpty(), true, Sum(closeProfits));
  figure("<td bgcolor=\"#FFFFFF\">手续费</td>", fees.IsEmpty(), true, Sum(fees));
  figure("<td bgcolor=\"#FFFFFF\">出入金</td>", cashMoves.IsEmpty(), true, Sum(cashMoves));
  figure("<td bgcolor=\"#FFFFFF\"><font color=\"#AAAAAA\">持仓浮动盈亏</font></td>", positionProfits.IsEmpty(), false,
         first(positionProfits), false, true);
  p.Line("</table>");
  p.Line("</td>");
  p.Line("<td width=\"59%\" align=\"right\" valign=\"middle\"><img src=\".\\images\\Report_05.bmp\"/> </td>");
  p.Line("</tr>");
  p.Line("</table>");
  p.Line("</div>");

  // Trade statistics.
  if (!trades.IsEmpty()) {
    p.Section("交易统计", "<table border=\"1\" cellpadding=\"0\" cellspacing=\"0\" width=\"100%\" id=\"table5\">");
    p.Header({"品种", "多空", "盈亏", "交易次数", "手数", "净利润", "平均每次利润", "平均每手利润"});
    struct RowStyle {
      const char *background;
      bool bold;
      int group;
      const char *side, *result;
    };
    static const RowStyle rows[] = {
        {"#f7f5be", true, PingCangTongJi::kAll, nullptr, nullptr},
        {"#f5f5f5", false, PingCangTongJi::kLong, "<strong><span class=\"red\">多头</span></strong>", nullptr},
        {"#FFFFFF", false, PingCangTongJi::kLongWin, nullptr, "<span class=\"red\">盈利</span>"},
        {"#f5f5f5", false, PingCangTongJi::kLongLoss, nullptr, "<span class=\"green\">亏损</span>"},
        {"#FFFFFF", false, PingCangTongJi::kShort, "<strong><span class=\"green\">空头</span></strong>", nullptr},
        {"#f5f5f5", false, PingCangTongJi::kShortWin, nullptr, "<span class=\"red\">盈利</span>"},
        {"#FFFFFF", false, PingCangTongJi::kShortLoss, nullptr, "<span class=\"green\">亏损</span>"},
    };
    PingCangTongJi::Group total{};
    for (int32_t i = 0; i < closeStats.GetCount(); ++i) {
      const PingCangTongJi &entry = closeStats.GetData()[i];
      for (const RowStyle &row : rows) {
        const PingCangTongJi::Group &g = entry.groups[row.group];
        p.Line("<tr>");
        p.Cell(row.background, row.group == PingCangTongJi::kAll ? Escape(entry.contract) : "&nbsp;", row.bold);
        p.Cell(row.background, row.side ? row.side : "&nbsp;", row.bold);
        p.Cell(row.background, row.result ? row.result : "&nbsp;", row.bold);
        p.Cell(row.background, Num(g.count), row.bold);
        p.Cell(row.background, Num(g.volume), row.bold);
        p.Cell(row.background, Num(g.profit), row.bold);
        p.Cell(row.background, g.count ? Num(g.profit / g.count) : "0.0", row.bold);
        p.Cell(row.background, g.volume ? Num(g.profit / g.volume) : "0.0", row.bold);
        p.Line("</tr>");
      }
      total.count += entry.groups[PingCangTongJi::kAll].count;
      total.volume += entry.groups[PingCangTongJi::kAll].volume;
      total.profit += entry.groups[PingCangTongJi::kAll].profit;
    }
    p.Line("<tr>");
    p.Cell("#ecf9ff", "总计", true);
    p.Blank("#ecf9ff", 2);
    p.Cell("#ecf9ff", Num(total.count));
    p.Cell("#ecf9ff", Num(total.volume));
    p.Cell("#ecf9ff", Num(total.profit));
    p.Cell("#ecf9ff", Fixed2(total.count >= 1 ? total.profit / total.count : 0));
    p.Cell("#ecf9ff", Fixed2(total.volume >= 1 ? total.profit / total.volume : 0));
    p.Line("</tr>");
    p.Line("</table>");
    p.Line("</div>");
  }

  // Positions at the end of the period.
  if (layout == 0 && !positionsA.IsEmpty()) {
    p.Section("期末持仓", kPlainTable);
    p.Header({"合约", "买持", "买均价", "卖持", "卖均价", "持仓盈亏", "占用保证金", "投保"});
    double profit = 0, margin = 0;
    for (int32_t i = 0; i < positionsA.GetCount(); ++i) {
      const ChiCangMingXi &r = positionsA.GetData()[i];
      const char *bg = i % 2 == 0 ? "#f5f5f5" : "#FFFFFF";
      p.Line("<tr>");
      p.Cell(bg, Escape(r.contract));
      p.Cell(bg, r.buyVolume >= 1 ? Num(r.buyVolume) : "&nbsp;");
      p.Cell(bg, r.buyVolume >= 1 ? Num(r.buyAverage) : "&nbsp;");
      p.Cell(bg, r.sellVolume >= 1 ? Num(r.sellVolume) : "&nbsp;");
      p.Cell(bg, r.sellVolume >= 1 ? Num(r.sellAverage) : "&nbsp;");
      p.Cell(bg, Coloured(r.profit));
      p.Cell(bg, Num(r.margin));
      p.Cell(bg, Escape(r.hedgeFlag));
      p.Line("</tr>");
      profit += r.profit;
      margin += r.margin;
    }
    p.TotalRow(4, profit, margin);
  } else if (layout != 0 && !positions.IsEmpty()) {
    p.Section("期末持仓", kPlainTable);
    p.Header({"交易所", "合约", "买持", "卖持", "日期", "买均价", "卖均价", "持仓盈亏", "占用保证金", "投保"});
    double profit = 0, margin = 0;
    for (int32_t i = 0; i < positions.GetCount(); ++i) {
      const ChiCangMingXiJsd &r = positions.GetData()[i];
      const bool buy = r.buyVolume >= 1, sell = r.sellVolume >= 1;
      p.Line("<tr>");
      p.Cell("#f5f5f5", Escape(r.exchange));
      p.Cell("#f5f5f5", Escape(r.contract));
      p.Cell("#f5f5f5", buy ? Num(r.buyVolume) : "&nbsp;");
      p.Cell("#f5f5f5", sell ? Num(r.sellVolume) : "&nbsp;");
      p.Cell("#f5f5f5", Escape(r.statementDate));
      p.Cell("#f5f5f5", buy ? Num(r.buyAverage) : "&nbsp;");
      p.Cell("#f5f5f5", sell ? Num(r.sellAverage) : "&nbsp;");
      p.Blank("#f5f5f5");
      p.Cell("#f5f5f5", Num(r.margin));
      p.Cell("#f5f5f5", Escape(r.hedgeFlag));
      p.Line("</tr>");
      p.Line("<tr>");
      p.Blank("#FFFFFF", 4);
      p.Cell("#FFFFFF", "期末结算价");
      p.Cell("#FFFFFF", buy ? Num(r.settlePrice) : "&nbsp;");
      p.Cell("#FFFFFF", sell ? Num(r.settlePrice) : "&nbsp;");
      p.Cell("#FFFFFF", Coloured(r.profit));
      p.Blank("#FFFFFF", 2);
      p.Line("</tr>");
      profit += r.profit;
      margin += r.margin;
    }
    p.TotalRow(6, profit, margin);
  }

  // The closed lots, by close date.
  if (!closedLots.IsEmpty()) {
    p.Section("平仓记录", kPlainTable);
    p.Header({"交易所", "合约", "手数", "日期", "买入", "昨结", "卖出", "平仓盈亏"});
    double profit = 0;
    for (int32_t i = 0; i < closedLots.GetCount(); ++i) {
      const PingCangMingXi &r = closedLots.GetData()[i];
      const bool buyClose = strstr(r.direction, "买") != nullptr;
      p.Line("<tr>");
      p.Cell("#f5f5f5", Escape(r.exchange));
      p.Cell("#f5f5f5", Escape(r.contract));
      p.Cell("#f5f5f5", Num(r.volume));
      p.Cell("#f5f5f5", r.openDate[0] ? Escape(r.openDate) : "&nbsp;");
      p.Cell("#f5f5f5", buyClose ? "&nbsp;" : Num(r.openPrice));
      p.Blank("#f5f5f5");
      p.Cell("#f5f5f5", buyClose ? Num(r.openPrice) : "&nbsp;");
      p.Blank("#f5f5f5");
      p.Line("</tr>");
      p.Line("<tr>");
      p.Blank("#FFFFFF", 3);
      p.Cell("#FFFFFF", Escape(r.closeDate));
      p.Cell("#FFFFFF", buyClose ? Num(r.closePrice) : "&nbsp;");
      p.Cell("#FFFFFF", strcmp(r.closeDate, r.openDate) == 0 ? "&nbsp;" : Num(r.prevSettle));
      p.Cell("#FFFFFF", buyClose ? "&nbsp;" : Num(r.closePrice));
      p.Cell("#FFFFFF", Coloured(r.profit));
      p.Line("</tr>");
      profit += r.profit;
    }
    p.Line("<tr>");
    p.Cell("#ecf9ff", "合计");
    p.Blank("#ecf9ff", 6);
    p.Cell("#ecf9ff", Num(profit), true);
    p.Line("</tr>");
    p.Line("</table>");
    p.Line("</div>");
  }

  p.Line("<div class=\"report_contect_bot\">");
  p.Line("<p class=\"report_contect_bot_sm\"><strong>报告说明:</strong></p>");
  p.Line("<p>1.本报告仅供参考，所有数据应以结算单为准。 </p>");
  p.Line("<p>2.【平仓记录】及【交易统计】中的平仓盈亏指一个持仓从开仓起至平仓止之间产生的盈亏；【 帐户概要】中的平仓盈亏只计"
         "算持仓在选定范围内的盈亏。如前者与后者之间不相等也可能为正常情况。</p>");
  p.Line("</div>");
  p.Line("</div>");
  p.Line("</div>");
  p.Line("</body>");
  p.Line("</html>");

  FILE *file = fopen(platform::ResolvePath(path).c_str(), "wb");
  if (!file) return false;
  const std::string &text = p.Text();
  bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = fclose(file) == 0 && ok;
  return ok;
}
