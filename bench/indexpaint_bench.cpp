// The indicator painter against plain drawing: 1,000 candles painted by the
// painter (compare with BM_GdiCandlestickChart1000Bars), and a DRAWTEXT at
// 1,000 visible bars against 1,000 plain TextOut calls of the same text in
// the same font.
#include <benchmark/benchmark.h>

#include "formula/kvindex.h"
#include "platform/gdi.h"
#include "testing/index_window.h"

namespace {

using testing_support::IndexWindowRender;

// 1,000 bars fill the plot: 1.6 pixels a bar over 1,600 pixels.
struct ThousandBars : IndexWindowRender {
  explicit ThousandBars(const char *text) : IndexWindowRender(1650, 1100, 50) {
    barWidth = 1;
    barGap = 0.6;
    Load(text, WalkBars(1000));
    count = 1000;
    if (!formula.GetValueRange(plot, Window(), &minimum, &maximum, 0, 1)) std::abort();
  }
  void PaintFormula() {
    formula.Paint(&dib, plot, Window(), barWidth, barGap, minimum, maximum, 0, 1.0, 1, 1, nullptr, 0, nullptr, 0, 0,
                  0);
  }
};

void BM_IndexPaint1000Candles(benchmark::State &state) {
  ThousandBars w("K:C,KSTICK;");
  for (auto _ : state) {
    w.PaintFormula();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_IndexPaint1000Candles)->Unit(benchmark::kMillisecond);

void BM_IndexDrawText1000Bars(benchmark::State &state) {
  ThousandBars w("DRAWTEXT(1,C,'文字');");
  for (auto _ : state) {
    w.PaintFormula();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_IndexDrawText1000Bars)->Unit(benchmark::kMillisecond);

void BM_PlainTextOut1000Times(benchmark::State &state) {
  ThousandBars w("X:C;");
  HDC dc = w.dib.m_hDC;
  HFONT font = CreateIndexFont(6);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 0));
  const char text[] = "文字";
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) TextOutA(dc, (i * 8) % 1600, 20 + (i * 13) % 1000, text, int(sizeof text - 1));
    benchmark::ClobberMemory();
  }
  SelectObject(dc, old);
  DeleteObject(font);
}
BENCHMARK(BM_PlainTextOut1000Times)->Unit(benchmark::kMillisecond);

}  // namespace
