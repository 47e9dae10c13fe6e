// The account report over a year: parsing 250 statements of about 200
// lines each, and taking them from the cache against reading the same
// statements as plain text files, in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

#include "platform/path.h"
#include "testing/market_fixture_min.h"
#include "trading/accountreport.h"

namespace {

// A statement of the system's own layout: the figures, 60 trades, 60
// closed lots and 60 positions.
std::string Statement(int day) {
  char line[256];
  std::string s = "                    交易结算单\n客户号:880001    客户名称:张三\n";
  snprintf(line, sizeof line, "日  期:2023%04d\n", day);
  s += line;
  s += "上日结存: 1000000.00    当日结存: 1012345.00    可用资金: 900000.00\n"
       "出入金: 5000.00    客户权益: 1012345.00    风险度: 10.5%\n"
       "手续费: 25.50    保证金占用: 112345.00    追加保证金: 0.00\n"
       "平仓盈亏: 3000.00    交割保证金: 0.00    追加保证金: 0.00\n"
       "成交记录\n成交日期 交易所 品种 交割期 买卖 成交价 手数 开平 成交额 手续费 投保 平仓盈亏\n";
  for (int i = 0; i < 60; ++i) {
    snprintf(line, sizeof line, "2023%04d 上期所 cu 24%02d %s %d %d 平仓 %d %.2f 投 %d\n", day, i % 12 + 1,
             i % 2 ? "买" : "卖", 70000 + i * 10, i % 5 + 1, 350000 + i * 100, 5.1 + i, i * 100 - 3000);
    s += line;
  }
  s += "共 60 条\n平仓明细\n平仓日期 交易所 品种 交割期 成交序号 买卖 成交价 开仓日期 开仓价 手数 昨结算 平仓盈亏\n";
  for (int i = 0; i < 60; ++i) {
    snprintf(line, sizeof line, "2023%04d 上期所 cu 24%02d %03d %s %d 20230105 %d %d %d %d\n", day, i % 12 + 1, i,
             i % 2 ? "买" : "卖", 70500 + i, 69900 + i, i % 5 + 1, 69800, i * 50 - 1000);
    s += line;
  }
  s += "共 60 条\n持仓汇总\n交易所 品种 交割期 买持 买均价 卖持 卖均价 昨结算 结算价 持仓盈亏 浮动盈亏 保证金 投保\n";
  for (int i = 0; i < 60; ++i) {
    snprintf(line, sizeof line, "上期所 c%d 24%02d %d 70000 %d 70100 69800 70200 %d %d 70200 投\n", i, i % 12 + 1,
             i % 3, i % 2, i * 10 - 200, i * 10 - 200);
    s += line;
  }
  s += "共 60 条\n";
  return s;
}

// A year of statements as text files and as cache files.
struct Year {
  market_fixture::MarketSandbox box;
  std::vector<std::string> texts, caches;
  Year() {
    for (int day = 0; day < 250; ++day) {
      const std::string text = ".\\s" + std::to_string(day) + ".txt", cache = ".\\c" + std::to_string(day);
      box.WriteText("prog/s" + std::to_string(day) + ".txt", Statement(day + 101));
      CompressStatementFile(text.c_str(), cache.c_str());
      texts.push_back(text);
      caches.push_back(cache);
    }
  }
};

void BM_ParseYearOfStatements(benchmark::State &state) {
  Year year;
  TAccountReport report;
  for (auto _ : state) {
    report.ClearArrays();
    for (const std::string &text : year.texts) report.ParseStatementB(text.c_str());
    benchmark::DoNotOptimize(report.trades.GetCount());
  }
  state.counters["trades"] = double(report.trades.GetCount());
}
BENCHMARK(BM_ParseYearOfStatements)->Unit(benchmark::kMillisecond);

// As the walk takes a cached day: expanded for the parsers, no file written.
void BM_ExpandYearFromCache(benchmark::State &state) {
  Year year;
  std::string text;
  for (auto _ : state)
    for (const std::string &cache : year.caches) benchmark::DoNotOptimize(ExpandStatement(cache.c_str(), &text));
}
BENCHMARK(BM_ExpandYearFromCache)->Unit(benchmark::kMillisecond);

// The same statements kept as plain text: each read into memory whole, as
// the expansion leaves it.
void BM_ReadYearOfTextFiles(benchmark::State &state) {
  Year year;
  std::string text;
  char chunk[16384];
  for (auto _ : state)
    for (const std::string &path : year.texts) {
      text.clear();
      FILE *file = fopen(platform::ResolvePath(path.c_str()).c_str(), "rb");
      size_t n = 0;
      while (file && (n = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
      if (file) fclose(file);
      benchmark::DoNotOptimize(text.data());
    }
  state.counters["bytes"] = double(text.size());
}
BENCHMARK(BM_ReadYearOfTextFiles)->Unit(benchmark::kMillisecond);

// The floor under the cache: zlib's inflate alone over the same streams,
// already in memory (no file opened, nothing appended). The streams are the
// format's own (level 1, one per 16384-byte block).
void BM_InflateYearInMemory(benchmark::State &state) {
  Year year;
  std::vector<std::string> packed;
  for (const std::string &path : year.caches) {
    std::string bytes;
    FILE *file = fopen(platform::ResolvePath(path.c_str()).c_str(), "rb");
    char chunk[16384];
    size_t n = 0;
    while (file && (n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    if (file) fclose(file);
    packed.push_back(std::move(bytes));
  }
  std::vector<Bytef> out(16384);
  z_stream stream{};
  inflateInit(&stream);
  for (auto _ : state)
    for (std::string &bytes : packed) {
      size_t at = 0;
      while (at < bytes.size()) {
        stream.next_in = reinterpret_cast<Bytef *>(bytes.data() + at);
        stream.avail_in = uInt(bytes.size() - at);
        stream.next_out = out.data();
        stream.avail_out = uInt(out.size());
        const uLong before = stream.total_in;
        if (inflate(&stream, Z_FINISH) != Z_STREAM_END) break;
        at += stream.total_in - before;
        inflateReset(&stream);
      }
      benchmark::DoNotOptimize(out.data());
    }
  inflateEnd(&stream);
}
BENCHMARK(BM_InflateYearInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
