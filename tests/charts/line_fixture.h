// A small chart for the drawing objects: a market table with two markets
// (SHFE: cu1105 and ag1106, price divisor 100, 2 decimals; DCE: m1109), 40
// daily bars of cu1105 on a time axis, a plot of 400 x 200 pixels at (40, 20)
// for values 10 to 30 with a pitch of 10 pixels, a theme colour table and an
// offscreen 24-bit picture to draw on.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include <QImage>

#include "charts/drawline.h"
#include "core/datetime.h"
#include "market/dataio5.h"
#include "platform/gdi.h"
#include "testing/frame_host_recorder.h"
#include "testing/market_fixture_min.h"
#include "views/viewdisplay.h"

namespace line_fixture {

constexpr COLORREF kDarkBackground = 0x000000;
constexpr COLORREF kLightBackground = 0xFFFFFF;
constexpr RECT kPlot{40, 20, 440, 220};
constexpr double kLow = 10, kHigh = 30, kWidth = 7, kGap = 3;
constexpr int kBars = 40;

// Pixels per value unit: 200 / 20.
constexpr double kScale = 10;
inline int RowOf(double value) { return kPlot.bottom - int((value - kLow) * kScale); }
// The centre of bar k.
inline int CentreOf(int k) { return kPlot.left + int(10.0 * k + 3.5 + 3); }

class ChartWorld {
 public:
  explicit ChartWorld(COLORREF background = kDarkBackground) {
    using namespace market_fixture;
    MKINFO shfe = MakeMarket("SHFE", "SHF", 2, 4);
    MKINFO dce = MakeMarket("DCE", "DCE", 2, 4);
    MarketTable.records[0] = shfe;
    MarketTable.records[1] = dce;
    MarketTable.markets[0] = new TMarketData(0, shfe);
    MarketTable.markets[1] = new TMarketData(1, dce);
    MarketTable.marketCount = 2;
    AddStock(0, "cu1105");
    AddStock(0, "ag1106");
    AddStock(1, "m1109");
    for (int i = 0; i < kBars; ++i) {
      PackedDateTime t = MakePackedDateTime(2011, 3, 1, 0, 0);
      for (int d = 0; d < i; ++d) t = PackedNextDay(t);
      times.push_back(t);
      KLINEBAR bar{};
      bar.time = t;
      bar.open = 1800 + 10 * i;
      bar.close = 1900 + 10 * i;
      bar.high = 2000 + 10 * i;  // 20.00 + i / 10
      bar.low = 1500 + 10 * i;   // 15.00 + i / 10
      bars.push_back(bar);
    }
    std::fill(std::begin(colours), std::end(colours), 0x808080);
    colours[0] = background;           // COLOR01
    colours[1] = 0x00C000;             // COLOR02 falling
    colours[2] = 0x0000FF;             // COLOR03 rising
    colours[34] = 0x00FFFF;            // COLOR35 new objects
    ViewDisplay().colors = colours;
  }
  ~ChartWorld() {
    ViewDisplay().colors = nullptr;
    for (int m = 0; m < MarketTable.marketCount; ++m) {
      delete MarketTable.markets[m];
      MarketTable.markets[m] = nullptr;
    }
    MarketTable.marketCount = 0;
  }
  ChartWorld(const ChartWorld &) = delete;
  ChartWorld &operator=(const ChartWorld &) = delete;

  void SetBackground(COLORREF c) { colours[0] = c; }

  // A new object of the type, mapped onto the plot, placed (state 1) with
  // its anchors at these pixels (their data follow from the mapping).
  std::unique_ptr<TLine> Make(int type, std::vector<POINT> at = {}) {
    std::unique_ptr<TLine> line(TLine::CreateByType(type));
    Map(*line);
    for (size_t i = 0; i < at.size() && i < line->anchorCount; ++i) {
      line->anchors[i].x = at[i].x;
      line->anchors[i].y = at[i].y;
      line->ScreenToData(line->anchors[i], false);
      line->anchors[i].mark = 1;
    }
    if (!at.empty()) line->state = kLinePlaced;
    return line;
  }
  void Map(TLine &line, int firstBar = 0) {
    line.SetMapping(0, STKPTR(0, 0, 0), times.data(), uint32_t(times.size()), bars.data(), uint32_t(bars.size()),
                    firstBar, kBars, kPlot, kLow, kHigh, kWidth, kGap);
  }

  market_fixture::MarketSandbox box;
  FrameHostRecorder host;
  std::vector<uint32_t> times;
  std::vector<KLINEBAR> bars;
  COLORREF colours[64];

 private:
  void AddStock(int market, const char *code) {
    TMarketData *m = MarketTable.markets[market];
    STKINFO info = market_fixture::MakeStock(market, 0, code, code, 100);
    info.decimals = 2;
    info.index = uint16_t(m->m_loadedCount);
    m->m_stocks[m->m_loadedCount++] = info;
  }
};

// An offscreen 24-bit picture filled with the background, with a context
// that draws on it.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF background) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    Fill(background);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas &) = delete;
  Canvas &operator=(const Canvas &) = delete;

  HDC Dc() const { return dc_; }
  void Fill(COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    RECT all{0, 0, width_, height_};
    FillRect(dc_, &all, b);
    DeleteObject(b);
  }
  COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }
  std::vector<uint8_t> Bytes() const {
    const size_t stride = (size_t(width_) * 24 + 31) / 32 * 4;
    const auto *p = static_cast<const uint8_t *>(bits_);
    return std::vector<uint8_t>(p, p + stride * height_);
  }
  // Pixels of the plot that differ from the colour.
  int CountNot(COLORREF c, const RECT &r = kPlot) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += Pixel(x, y) != c;
    return n;
  }
  QImage Image() const {
    QImage image(width_, height_, QImage::Format_RGB32);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const COLORREF c = Pixel(x, y);
        image.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
      }
    return image;
  }

 private:
  int width_, height_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void *bits_ = nullptr;
};

}  // namespace line_fixture
