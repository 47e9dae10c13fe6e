// The K-line view's test world: the system formula library, the colour and
// font tables of the engine, the view registered, and a pane made from view
// data with daily bars fed in as if its agent had them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "chart_world.h"
#include "charts/techform.h"
#include "core/datetime.h"
#include "formula/indexmarket.h"
#include "formula/kvindexlib.h"
#include "formula/libsource.h"
#include "market/rights.h"
#include "testing/system_library.h"

namespace kline_test {

constexpr uint32_t Day(unsigned y, unsigned m, unsigned d) { return MakePackedDateTime(y, m, d); }

inline KLINEBAR Bar(uint32_t time, uint32_t price) {
  KLINEBAR b{};
  b.time = time;
  b.open = b.high = b.low = b.close = price;
  return b;
}

// A dark scheme a person can read in the pictures: the entries the chart
// paints with, each distinct from the rest of the test table.
inline void ReadableKLineTheme(COLORREF *colors) {
  const struct {
    int number;
    COLORREF colour;
  } kScheme[] = {
      {1, RGB(0, 0, 0)},        {2, RGB(84, 255, 255)},   {3, RGB(255, 50, 50)},  {5, RGB(80, 80, 200)},
      {6, RGB(255, 255, 255)},  {7, RGB(255, 255, 0)},    {8, RGB(255, 0, 255)},  {9, RGB(0, 200, 0)},
      {10, RGB(130, 130, 255)}, {11, RGB(255, 160, 0)},   {12, RGB(110, 0, 0)},   {13, RGB(200, 200, 200)},
      {14, RGB(170, 0, 0)},     {15, RGB(255, 110, 110)}, {16, RGB(220, 220, 220)}, {19, RGB(0, 230, 0)},
      {20, RGB(240, 240, 240)}, {21, RGB(255, 70, 70)},   {30, RGB(230, 230, 230)}, {31, RGB(210, 210, 90)},
      {33, RGB(60, 120, 255)},  {43, RGB(250, 250, 250)},
  };
  for (const auto &c : kScheme) colors[c.number - 1] = c.colour;
}

// The share of a rectangle's pixels that differ clearly from the background
// in brightness: near 0 when what is drawn there can't be seen.
inline double KLineContrastShare(const QImage &image, const RECT &r, COLORREF background) {
  auto luma = [](int red, int green, int blue) { return (299 * red + 587 * green + 114 * blue) / 1000; };
  const int base = luma(GetRValue(background), GetGValue(background), GetBValue(background));
  int seen = 0, all = 0;
  for (int y = std::max(0, int(r.top)); y < std::min(image.height(), int(r.bottom)); ++y)
    for (int x = std::max(0, int(r.left)); x < std::min(image.width(), int(r.right)); ++x) {
      const QRgb p = image.pixel(x, y);
      ++all;
      if (std::abs(luma(qRed(p), qGreen(p), qBlue(p)) - base) >= 60) ++seen;
    }
  return all ? double(seen) / all : 0.0;
}

class TechFormTest : public charts_test::ChartWorld {
 protected:
  TechFormTest() {
    std::string error;
    KvIndexManager().Clear();
    EXPECT_TRUE(ReadIndexLibrarySource(testing_support::ReadWholeFile(testing_support::SystemLibrarySource()),
                                       KvIndexManager(), &error))
        << error;
    ReadableKLineTheme(colors_);
    oldColors_ = SetIndexColorTable(colors_);
    oldFonts_ = SetIndexFontTable(fonts_);
    RegisterKLineView();
    rights_ = UserRights[2];
  }
  ~TechFormTest() override {
    UserRights[2] = rights_;
    RegisterViewClass(VIEW_TYPE_KLINE, nullptr);
    SetIndexColorTable(oldColors_);
    SetIndexFontTable(oldFonts_);
    KvIndexManager().Clear();
  }

  // A K-line pane made from view data, as a saved page gives it.
  std::unique_ptr<testing_support::ViewPage> Open(const MVCDATA_12 &data, int width = 800, int height = 500) {
    auto page = OpenChart(Stock(charts_test::SH, 1), VIEW_TYPE_REPORT, width, height);
    PaneNode *node = page->Page()->PaneAt(0)->m_node;
    *page->Page()->PaneAt(0)->m_viewData = data;
    VIEW_ATTR_13 record{};
    InitViewAttr(VIEW_TYPE_KLINE, &record);
    record.stock = Stock(charts_test::SH, 1);
    record.period = 8;
    page->Page()->CreateView(node, &record, 1, 0);
    harness_.Pump();
    return page;
  }
  static MVCDATA_12 Data(std::vector<const char *> names) {
    MVCDATA_12 d{};
    d.windowCount = uint32_t(names.size());
    for (size_t i = 0; i < names.size(); ++i) std::strcpy(d.formulas[i], names[i]);
    for (STKPTR &s : d.overlays) s.market = 255;
    return d;
  }
  static TTechForm *View(const testing_support::ViewPage &page) { return page.View<TTechForm>(); }
  // Puts daily bars into the view as if its agent had them and repaints.
  static void Feed(TTechForm *v, int count) {
    for (int i = 0; i < count; ++i) {
      KLINEBAR &b = v->bars[i];
      b = KLINEBAR{};
      unsigned m = 1 + unsigned(i / 28), d = 1 + unsigned(i % 28);
      b.time = Day(2023 + (m - 1) / 12, 1 + (m - 1) % 12, d);
      const uint32_t base = 10000 + uint32_t((i * 37) % 700);
      b.open = base;
      b.close = base + ((i % 3) ? 150 : -150u);
      b.high = std::max(b.open, b.close) + 60;
      b.low = std::min(b.open, b.close) - 60;
      b.volume = float(1000 + (i * 13) % 500);
    }
    v->barCount = uint32_t(count);
    v->BuildTimeAxis();
    v->RecalcIndicators(nullptr, false);
    v->DrawChart();
  }

  COLORREF *oldColors_ = nullptr;
  const VIEWFONTDEF *oldFonts_ = nullptr;
  uint8_t rights_ = 0;
};

}  // namespace kline_test
