// One indicator window painted offscreen from a formula text and bars, the
// way the K-line view paints a window: background, background statements,
// value range, scale, then the formula with its drawing statements and trade
// marks, into a 24-bit bitmap whose pixels tests read.
//
// While it lives the harness installs the display scheme (a dark colour
// table with distinct entries, the font table), a fake market and the
// program folder as the current folder, so "..\cfg\..." names the pictures
// the build draws.
#pragma once

#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

#include "core/ewnd.h"
#include "formula/kvindex.h"
#include "testing/index_fake_market.h"

namespace testing_support {

class IndexScheme {
 public:
  IndexScheme();
  ~IndexScheme();
  IndexScheme(const IndexScheme &) = delete;
  IndexScheme &operator=(const IndexScheme &) = delete;

  // COLORnn is colors[nn - 1].
  COLORREF colors[kIndexColorSlots];
  VIEWFONTDEF fonts[kIndexFontSlots];

 private:
  COLORREF *previousColors_;
  const VIEWFONTDEF *previousFonts_;
  int32_t previousKLineMode_, previousAntiAlias_;
};

class IndexWindowRender {
 public:
  // A window of width x height pixels: the plot on the left, the scale
  // column (scaleWidth pixels) on the right.
  explicit IndexWindowRender(int width = 300, int height = 200, int scaleWidth = 50);
  ~IndexWindowRender();
  IndexWindowRender(const IndexWindowRender &) = delete;
  IndexWindowRender &operator=(const IndexWindowRender &) = delete;

  // Daily bars of a random walk around 3500 (seeded, so always the same).
  static std::vector<KLINEBAR> WalkBars(size_t count, uint32_t seed = 7);

  // Compiles (trusted) and calculates over the bars, which also become the
  // chart's time axis; a failure is a test failure with the message.
  bool Load(const std::string &text, const std::vector<KLINEBAR> &series);
  // Calculates the formula as it is (compiled elsewhere) over the bars.
  void Calculate(const std::vector<KLINEBAR> &series);
  // The visible window over the time axis.
  IndexWindow Window() const;
  // Clears to COLOR01 and paints the whole window; the range is the
  // formula's own (GetValueRange) unless fixedRange is set.
  void Paint();

  COLORREF Pixel(int x, int y) const;
  QImage Image() const;
  // Pixels of the colour inside the rectangle.
  int Count(COLORREF colour, const RECT &area) const;
  int Count(COLORREF colour) const { return Count(colour, plot); }

  IndexScheme scheme;
  FakeMarket market;
  const FakeStock &stock;
  CKvIndex formula;
  std::vector<KLINEBAR> bars;
  std::vector<uint32_t> times;
  EDibBitmap dib;
  RECT plot{};
  RECT scaleRect{};
  double barWidth = 5;
  double barGap = 1;
  uint32_t first = 0;
  uint32_t count = 0;  // 0: as many bars as fit, the newest at the right
  uint8_t inverted = 0;
  bool fixedRange = false;
  double minimum = 0;
  double maximum = 0;
  bool ranged = false;  // GetValueRange found a range
  int32_t percentMode = 0;
  double percentBase = 0;
  const IndexPositionMark *positions = nullptr;
  const IndexOrderMark *orders = nullptr;
  double lastPrice = 0;

 private:
  std::filesystem::path previousFolder_;
};

}  // namespace testing_support
