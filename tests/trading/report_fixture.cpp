#include "tests/trading/report_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/gbk.h"
#include "trading/accountreport.h"

namespace report_test {

namespace {

const std::filesystem::path kHere = std::filesystem::path(KIVO_SOURCE_DIR) / "tests/trading";

std::string Text(const char *gbk) {
  std::string out = "\"";
  for (char c : platform::GbkToUtf8(gbk)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Number(double v) {
  char text[64];
  snprintf(text, sizeof text, "%.10g", v);
  return text;
}

// One array as a JSON list of lists of its fields.
template <class R, class F>
void Array(std::ostringstream &out, const char *name, const EArray<R> &array, F fields, bool last = false) {
  out << "\"" << name << "\": [";
  for (int32_t i = 0; i < array.GetCount(); ++i) out << (i ? ", " : "") << "[" << fields(array.GetData()[i]) << "]";
  out << "]" << (last ? "\n" : ",\n");
}

}  // namespace

void InstallReportFiles() {
  const std::filesystem::path files = kHere / "../../trading/reportfiles";
  std::filesystem::create_directories("images");
  std::filesystem::copy_file(files / "style.css", "style.css", std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(files / "images/Sample.bmp", "images/Sample.bmp",
                             std::filesystem::copy_options::overwrite_existing);
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string Golden(const std::string &name) { return ReadFile((kHere / "reportdata" / name).string()); }

void ExpectGolden(const std::string &gbk, const std::string &name) {
  const std::string actual = platform::GbkToUtf8(gbk);
  const std::string golden = Golden(name);
  EXPECT_EQ(actual, golden) << name;
  if (actual != golden) {
    const std::filesystem::path beside = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    WriteFile((beside / (name + ".actual")).string(), actual);
  }
}

std::string DumpJson(const TAccountReport &r) {
  std::ostringstream out;
  out << "{\n\"name\": " << Text(r.holderName) << ",\n\"id\": " << Text(r.accountId) << ",\n";
  auto dated = [](const auto &x) { return Text(x.date) + ", " + Number(x.value); };
  auto value = [](const auto &x) { return Number(x.value); };
  Array(out, "TongJiRiQi", r.dates, [](const TongJiRiQi &x) { return Text(x.date); });
  Array(out, "PriceBegin", r.priceBegin, dated);
  Array(out, "PriceEnd", r.priceEnd, dated);
  Array(out, "ChengJiaoJiLu", r.trades, [](const ChengJiaoJiLu &x) {
    return Text(x.statementDate) + ", " + Text(x.firstColumn) + ", " + Text(x.secondColumn) + ", " + Text(x.contract) +
           ", " + Text(x.direction) + ", " + Text(x.hedgeFlag) + ", " + Text(x.tradeRef) + ", " + Number(x.price) +
           ", " + Number(x.closeProfit) + ", " + Number(x.volume) + ", " + Number(x.amount) + ", " +
           Text(x.openClose) + ", " + Number(x.fee);
  });
  Array(out, "PingCangMingXi", r.closedLots, [](const PingCangMingXi &x) {
    return Text(x.statementDate) + ", " + Text(x.closeRef) + ", " + Text(x.closeDate) + ", " + Text(x.exchange) +
           ", " + Text(x.contract) + ", " + Text(x.openDate) + ", " + Text(x.direction) + ", " + Number(x.volume) +
           ", " + Number(x.openPrice) + ", " + Number(x.closePrice) + ", " + Number(x.profit) + ", " +
           Number(x.prevSettle);
  });
  Array(out, "ChiCangMingXi", r.positionsA, [](const ChiCangMingXi &x) {
    return Text(x.contract) + ", " + Text(x.hedgeFlag) + ", " + Number(x.buyVolume) + ", " + Number(x.buyAverage) +
           ", " + Number(x.sellVolume) + ", " + Number(x.sellAverage) + ", " + Number(x.profit) + ", " +
           Number(x.margin);
  });
  Array(out, "ChiCangMingXiJsd", r.positions, [](const ChiCangMingXiJsd &x) {
    return Text(x.statementDate) + ", " + Text(x.exchange) + ", " + Text(x.contract) + ", " + Text(x.hedgeFlag) +
           ", " + Number(x.buyVolume) + ", " + Number(x.buyAverage) + ", " + Number(x.sellVolume) + ", " +
           Number(x.sellAverage) + ", " + Number(x.settlePrice) + ", " + Number(x.profit) + ", " + Number(x.value6) +
           ", " + Number(x.margin);
  });
  Array(out, "KeYongZiJin", r.available, value);
  Array(out, "ChuRuJin", r.cashMoves, value);
  Array(out, "ShouXuFei", r.fees, value);
  Array(out, "PingCangYingKui", r.closeProfits, value);
  Array(out, "BaoZhengJin", r.margins, value);
  Array(out, "ChiCangYingKui", r.positionProfits, value);
  Array(out, "PingCangTongJi", r.closeStats, [](const PingCangTongJi &x) {
    std::string s = Text(x.contract);
    for (const auto &g : x.groups) s += ", " + Number(g.count) + ", " + Number(g.volume) + ", " + Number(g.profit);
    return s;
  });
  Array(out, "DingShiYingKuiHuiZong", r.periodPnl, value, true);
  out << "}\n";
  return platform::Utf8ToGbk(out.str());
}

}  // namespace report_test
