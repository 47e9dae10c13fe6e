// Drawing objects: saving one instrument's lines into a large drawn-line
// file against a plain copy of that file, and one drag step of a golden
// section (two XOR passes of its picture) on a full-size window.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "charts/drawline.h"
#include "charts/linefile.h"
#include "core/datetime.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/gdi.h"
#include "platform/winuser.h"
#include "testing/market_fixture_min.h"

namespace {

constexpr int kRecords = 10000;
constexpr int kOwnLines = 10;

// One market with two instruments; the file holds kRecords records, all but
// kOwnLines of them of the other instrument.
struct LineFileWorld : TLineFileOwner {
  LineFileWorld() {
    using namespace market_fixture;
    MKINFO shfe = MakeMarket("SHFE", "SHF", 2, 4);
    MarketTable.records[0] = shfe;
    MarketTable.markets[0] = new TMarketData(0, shfe);
    MarketTable.marketCount = 1;
    for (const char *code : {"cu1105", "ag1106"}) {
      TMarketData *m = MarketTable.markets[0];
      STKINFO info = MakeStock(0, 0, code, code, 100);
      info.index = uint16_t(m->m_loadedCount);
      m->m_stocks[m->m_loadedCount++] = info;
    }
    std::string bytes("PSL6", 4);
    const uint32_t count = kRecords;
    bytes.append(reinterpret_cast<const char *>(&count), 4);
    for (int i = 0; i < kRecords; ++i) {
      LINEREC r;
      std::memset(&r, 0, sizeof r);
      std::strcpy(r.formula, "K");
      r.period = 5;
      std::memcpy(r.market, "SHFE", 4);
      std::memcpy(r.code, i < kOwnLines ? "cu1105" : "ag1106", 6);
      r.type = 1;
      bytes.append(reinterpret_cast<const char *>(&r), sizeof r);
    }
    original = bytes;
    for (int i = 0; i < kOwnLines; ++i) {
      lines[i] = TLine::CreateByType(1);
      lines[i]->anchors[0].time = MakePackedDateTime(2011, 3, 1 + i, 0, 0);
    }
  }
  ~LineFileWorld() override {
    for (TLine *l : lines) delete l;
    delete MarketTable.markets[0];
    MarketTable.markets[0] = nullptr;
    MarketTable.marketCount = 0;
  }
  void Reset(const std::string &path) const {
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, original.data(), DWORD(original.size()), &written, nullptr);
    CloseHandle(out);
  }

  STKPTR LineStock() const override { return STKPTR(0, 0, 0); }
  int8_t LinePeriod() const override { return 5; }
  int LineWindowCount() const override { return 1; }
  const char *LineWindowFormula(int) const override { return "K"; }
  TLine **LineSlots() override { return lines; }
  uint32_t &LineCount() override { return count; }
  void MapLoadedLine(TLine *, int) override {}
  CKvIndex *MainFormula() override { return nullptr; }

  market_fixture::MarketSandbox box;
  std::string original;
  TLine *lines[kMaxViewLines] = {};
  uint32_t count = kOwnLines;
};

void BM_LineFileSaveOneInstrumentOf10000(benchmark::State &state) {
  LineFileWorld world;
  TLineFileStore store;
  world.Reset(store.LinePath());
  for (auto _ : state) {
    if (!store.SaveLines(world)) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_LineFileSaveOneInstrumentOf10000)->Unit(benchmark::kMicrosecond);

// The same file read whole and written whole beside itself.
void BM_LineFilePlainCopyOf10000(benchmark::State &state) {
  LineFileWorld world;
  TLineFileStore store;
  world.Reset(store.LinePath());
  const std::string copy = store.LinePath() + ".copy";
  for (auto _ : state) {
    HANDLE in = CreateFileA(store.LinePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    char buffer[16384];
    DWORD got = 0;
    while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(in);
    HANDLE out = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(out);
    benchmark::DoNotOptimize(written);
  }
}
BENCHMARK(BM_LineFilePlainCopyOf10000)->Unit(benchmark::kMicrosecond);

// A golden section across a 1920 x 1080 window erased and drawn again.
void BM_GoldenSectionDragStep(benchmark::State &state) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "DrawLineBenchWindow";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, "DrawLineBenchWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 1920, 1080, nullptr, nullptr,
                              nullptr, nullptr);
  HDC dc = GetDC(hwnd);
  std::unique_ptr<TLine> golden(TLine::CreateByType(5));
  static uint32_t times[1] = {MakePackedDateTime(2011, 3, 1, 0, 0)};
  golden->SetMapping(0, STKPTR(), times, 1, nullptr, 0, 0, 200, RECT{60, 40, 1860, 1040}, 10, 30, 7, 3);
  golden->state = kLinePlaced;
  golden->anchors[0].x = 400, golden->anchors[0].y = 300;
  golden->anchors[1].x = 900, golden->anchors[1].y = 700;
  golden->ComputeGoldenLevels(golden->anchors[0], golden->anchors[1]);
  golden->Draw(dc, false);
  for (auto _ : state) {
    golden->Redraw(dc, false);
    golden->Draw(dc, false);
    benchmark::ClobberMemory();
  }
  ReleaseDC(hwnd, dc);
  DestroyWindow(hwnd);
  UnregisterClassA("DrawLineBenchWindow", nullptr);
}
BENCHMARK(BM_GoldenSectionDragStep)->Unit(benchmark::kMicrosecond);

}  // namespace
