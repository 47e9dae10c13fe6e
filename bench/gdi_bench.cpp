// Drawing through device contexts: a full candlestick chart into an
// off-screen bitmap, runs of short Chinese texts, and the blit that puts a
// whole off-screen picture into a window.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/gdi.h"
#include "platform/winuser.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A memory context over a 24-bit bottom-up bitmap, as the charts' off-screen buffers are.
struct Offscreen {
  Offscreen() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~Offscreen() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  HBITMAP bitmap;
  HDC dc;
  HGDIOBJ old;
};

struct Bar {
  int open, high, low, close, volume;
};

std::vector<Bar> MakeBars(int count) {
  std::vector<Bar> bars;
  double price = 3000;
  for (int i = 0; i < count; ++i) {
    double open = price;
    price += 25 * std::sin(i * 0.37) + 12 * std::cos(i * 1.3);
    double close = price;
    double high = std::max(open, close) + 8 + 6 * std::sin(i * 0.11);
    double low = std::min(open, close) - 8 - 6 * std::cos(i * 0.07);
    bars.push_back(Bar{int(open), int(high), int(low), int(close), 500 + int(400 * std::fabs(std::sin(i * 0.05)))});
  }
  return bars;
}

// Price area above, volume area below, one average line; the way the chart
// views draw them.
void DrawChart(HDC dc, const std::vector<Bar> &bars, HPEN up, HPEN down, HPEN average, HBRUSH downFill,
               HBRUSH volumeUp, HBRUSH volumeDown, HBRUSH background, HPEN grid) {
  RECT all{0, 0, kWidth, kHeight};
  FillRect(dc, &all, background);
  const int priceTop = 20, priceBottom = 780, volumeTop = 800, volumeBottom = 1060;
  int lo = bars[0].low, hi = bars[0].high, maxVolume = 1;
  for (const Bar &b : bars) {
    lo = std::min(lo, b.low);
    hi = std::max(hi, b.high);
    maxVolume = std::max(maxVolume, b.volume);
  }
  auto y = [&](int price) { return priceBottom - (price - lo) * (priceBottom - priceTop) / std::max(1, hi - lo); };
  HGDIOBJ oldPen = SelectObject(dc, grid);
  for (int row = 0; row <= 8; ++row) {
    int gy = priceTop + row * (priceBottom - priceTop) / 8;
    MoveToEx(dc, 0, gy, nullptr);
    LineTo(dc, kWidth, gy);
  }
  const int step = kWidth / int(bars.size());
  const int body = std::max(1, step - 1);
  std::vector<POINT> line;
  line.reserve(bars.size());
  for (size_t i = 0; i < bars.size(); ++i) {
    const Bar &b = bars[i];
    int x = int(i) * step;
    int centre = x + body / 2;
    bool rising = b.close >= b.open;
    SelectObject(dc, rising ? up : down);
    MoveToEx(dc, centre, y(b.high), nullptr);
    LineTo(dc, centre, y(b.low) + 1);
    SelectObject(dc, rising ? GetStockObject(NULL_BRUSH) : downFill);
    int top = y(std::max(b.open, b.close)), bottom = y(std::min(b.open, b.close)) + 1;
    Rectangle(dc, x, top, x + body, std::max(bottom, top + 1));
    RECT volume{x, volumeBottom - b.volume * (volumeBottom - volumeTop) / maxVolume, x + body, volumeBottom};
    FillRect(dc, &volume, rising ? volumeUp : volumeDown);
    line.push_back(POINT{centre, y((b.open + b.close) / 2)});
  }
  SelectObject(dc, average);
  Polyline(dc, line.data(), int(line.size()));
  SelectObject(dc, oldPen);
}

void BM_GdiCandlestickChart1000Bars(benchmark::State &state) {
  Offscreen screen;
  std::vector<Bar> bars = MakeBars(1000);
  HPEN up = CreatePen(PS_SOLID, 1, RGB(255, 60, 60));
  HPEN down = CreatePen(PS_SOLID, 1, RGB(0, 230, 230));
  HPEN average = CreatePen(PS_SOLID, 1, RGB(255, 255, 0));
  HPEN grid = CreatePen(PS_DOT, 1, RGB(120, 0, 0));
  HBRUSH downFill = CreateSolidBrush(RGB(0, 230, 230));
  HBRUSH volumeUp = CreateSolidBrush(RGB(255, 60, 60));
  HBRUSH volumeDown = CreateSolidBrush(RGB(0, 230, 230));
  HBRUSH background = CreateSolidBrush(RGB(0, 0, 0));
  for (auto _ : state) {
    DrawChart(screen.dc, bars, up, down, average, downFill, volumeUp, volumeDown, background, grid);
    benchmark::ClobberMemory();
  }
  for (HGDIOBJ o : {HGDIOBJ(up), HGDIOBJ(down), HGDIOBJ(average), HGDIOBJ(grid), HGDIOBJ(downFill),
                    HGDIOBJ(volumeUp), HGDIOBJ(volumeDown), HGDIOBJ(background)})
    DeleteObject(o);
}
BENCHMARK(BM_GdiCandlestickChart1000Bars)->Unit(benchmark::kMillisecond);

void BM_GdiTextOut10000Times8Characters(benchmark::State &state) {
  Offscreen screen;
  HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
  HGDIOBJ old = SelectObject(screen.dc, font);
  SetBkMode(screen.dc, TRANSPARENT);
  SetTextColor(screen.dc, RGB(255, 255, 0));
  const char *texts[] = {"豆粕主力合约价格", "沪铜连续成交持仓", "郑棉期货买价卖价", "橡胶指数最新涨跌"};
  TextOutA(screen.dc, 0, 0, texts[0], 16);  // the glyphs are made once, before timing
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i)
      TextOutA(screen.dc, (i * 97) % (kWidth - 100), (i * 13) % (kHeight - 12), texts[i & 3], 16);
    benchmark::ClobberMemory();
  }
  SelectObject(screen.dc, old);
  DeleteObject(font);
}
BENCHMARK(BM_GdiTextOut10000Times8Characters)->Unit(benchmark::kMillisecond);

// The window's persistent image (32-bit) from an off-screen bitmap.
void BlitToWindow(benchmark::State &state, int bits) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "GdiBenchWindow";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, "GdiBenchWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, nullptr,
                              nullptr, nullptr);
  platform::ProcessPendingMessages();
  HDC window = GetDC(hwnd);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, bits == 24 ? kHeight : -kHeight, 1, WORD(bits), BI_RGB,
                    0, 0, 0, 0, 0};
  void *pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  HDC memory = CreateCompatibleDC(window);
  HGDIOBJ old = SelectObject(memory, bitmap);
  for (auto _ : state) {
    BitBlt(window, 0, 0, kWidth, kHeight, memory, 0, 0, SRCCOPY);
    benchmark::ClobberMemory();
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(hwnd, window);
  DestroyWindow(hwnd);
  UnregisterClassA("GdiBenchWindow", nullptr);
}

void BM_GdiBitBltFullWindowFrom32BitBitmap(benchmark::State &state) { BlitToWindow(state, 32); }
BENCHMARK(BM_GdiBitBltFullWindowFrom32BitBitmap)->Unit(benchmark::kMicrosecond);

void BM_GdiBitBltFullWindowFrom24BitBitmap(benchmark::State &state) { BlitToWindow(state, 24); }
BENCHMARK(BM_GdiBitBltFullWindowFrom24BitBitmap)->Unit(benchmark::kMicrosecond);

}  // namespace
