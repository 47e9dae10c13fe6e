#include "testing/index_window.h"

#include <cmath>
#include <cstring>
#include <random>

#include "core/datetime.h"
#include "platform/gdi.h"

namespace testing_support {

IndexScheme::IndexScheme() {
  // A dark theme whose entries can be told apart: COLORnn has blue nn * 3.
  for (int k = 0; k < kIndexColorSlots; ++k) colors[k] = RGB(100, 100, 3 * (k + 1));
  colors[0] = RGB(0, 0, 0);           // background
  colors[1] = RGB(0, 255, 255);       // falling
  colors[2] = RGB(255, 60, 60);       // rising
  colors[11] = RGB(128, 0, 0);        // grid dots
  colors[12] = RGB(192, 192, 192);    // scale text
  colors[13] = RGB(128, 128, 128);    // frame
  colors[28] = RGB(200, 0, 0);        // zero row
  colors[42] = RGB(255, 255, 255);    // extreme labels
  colors[43] = RGB(255, 200, 0);      // pending orders
  colors[44] = RGB(0, 200, 255);      // positions
  // Indicator lines (slots 3 to 10; COLOR05 also colours the volume bands).
  for (int k = 3; k <= 10; ++k) colors[k] = RGB(255 - 20 * k, 40 + 20 * k, 128 + k);
  for (VIEWFONTDEF &f : fonts) f = VIEWFONTDEF{0, "宋体", 12};
  previousColors_ = SetIndexColorTable(colors);
  previousFonts_ = SetIndexFontTable(fonts);
  previousKLineMode_ = IndexKLineMode();
  previousAntiAlias_ = IndexAntiAlias();
  SetIndexKLineMode(0);
  SetIndexAntiAlias(0);
}

IndexScheme::~IndexScheme() {
  SetIndexColorTable(previousColors_);
  SetIndexFontTable(previousFonts_);
  SetIndexKLineMode(previousKLineMode_);
  SetIndexAntiAlias(previousAntiAlias_);
}

IndexWindowRender::IndexWindowRender(int width, int height, int scaleWidth)
    : stock(market.Add(3, "CU1009", 100)) {
  previousFolder_ = std::filesystem::current_path();
  // The program folder: "..\cfg" from there is the build's cfg folder.
  const std::filesystem::path program = std::filesystem::path(KIVO_CFG_DIR).parent_path() / "bin";
  std::filesystem::create_directories(program);
  std::filesystem::current_path(program);
  dib.Create(nullptr, width, height);
  dib.m_hDC = CreateCompatibleDC(nullptr);
  SelectObject(dib.m_hDC, dib.m_hBitmap);
  plot = RECT{0, 0, width - scaleWidth, height - 3};
  scaleRect = RECT{width - scaleWidth, 0, width, height - 3};
}

IndexWindowRender::~IndexWindowRender() {
  DeleteDC(dib.m_hDC);
  dib.m_hDC = nullptr;
  std::error_code ignored;
  std::filesystem::current_path(previousFolder_, ignored);
}

std::vector<KLINEBAR> IndexWindowRender::WalkBars(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> step(0, 12);
  std::vector<KLINEBAR> out(n);
  double price = 350000;
  PackedDateTime day = MakePackedDateTime(2010, 3, 1);
  for (auto &b : out) {
    std::memset(&b, 0, sizeof b);
    const double open = price;
    price = std::max(1000.0, price + step(random) * 100);
    b.time = day;
    b.open = uint32_t(open);
    b.close = uint32_t(price);
    b.high = uint32_t(std::max(open, price) + std::fabs(step(random)) * 60);
    b.low = uint32_t(std::min(open, price) - std::fabs(step(random)) * 60);
    b.volume = float(1000 + random() % 5000);
    b.amount = float(20000 + random() % 1000);
    day = PackedNextDay(day);
  }
  return out;
}

bool IndexWindowRender::Load(const std::string &text, const std::vector<KLINEBAR> &series) {
  const bool ok = formula.Compile(text.c_str(), true);
  EXPECT_TRUE(ok) << text << " -> " << formula.errorText << " at " << formula.errorPos;
  if (!ok) return false;
  Calculate(series);
  return true;
}

void IndexWindowRender::Calculate(const std::vector<KLINEBAR> &series) {
  bars = series;
  times.clear();
  for (const KLINEBAR &b : bars) times.push_back(b.time);
  formula.AssignLineColours(3);
  formula.Calculate(nullptr, stock.code.c_str(), 7, 1, FakeMarket::Info(stock), bars.data(), uint32_t(bars.size()),
                    true, false);
}

IndexWindow IndexWindowRender::Window() const {
  IndexWindow w;
  const uint32_t fitting = uint32_t((plot.right - plot.left) / (barWidth + barGap));
  w.count = count ? count : fitting;
  w.first = count || times.size() <= fitting ? first : uint32_t(times.size()) - fitting;
  w.chartTimes = times.data();
  w.chartTimeCount = uint32_t(times.size());
  w.bars = bars.data();
  w.barCount = uint32_t(bars.size());
  return w;
}

void IndexWindowRender::Paint() {
  HDC dc = dib.m_hDC;
  HBRUSH background = CreateSolidBrush(scheme.colors[0]);
  const RECT all{0, 0, dib.m_width, dib.m_height};
  FillRect(dc, &all, background);
  DeleteObject(background);
  const IndexWindow w = Window();
  formula.PaintBackground(dc, stock.code.c_str(), 7, 1, FakeMarket::Info(stock), plot, w, inverted, 1);
  if (!fixedRange) {
    ranged = formula.GetValueRange(plot, w, &minimum, &maximum, inverted, 1);
    if (!ranged) return;
  }
  formula.PaintScale(&dib, plot, scaleRect, minimum, maximum, percentBase, percentMode, 0, inverted, 1.0);
  SetTextColor(dc, scheme.colors[29]);
  formula.Paint(&dib, plot, w, barWidth, barGap, minimum, maximum, inverted, 1.0, 1, 1, positions, 4, orders, 4,
                lastPrice, 0);
}

COLORREF IndexWindowRender::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= dib.m_width || y >= dib.m_height) return CLR_INVALID;
  const unsigned char *p = dib.m_pBits + size_t(dib.m_height - y - 1) * dib.m_stride + 3 * size_t(x);
  return RGB(p[2], p[1], p[0]);
}

QImage IndexWindowRender::Image() const {
  QImage image(dib.m_width, dib.m_height, QImage::Format_RGB32);
  for (int y = 0; y < dib.m_height; ++y)
    for (int x = 0; x < dib.m_width; ++x) {
      const COLORREF c = Pixel(x, y);
      image.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
  return image;
}

int IndexWindowRender::Count(COLORREF colour, const RECT &area) const {
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) n += Pixel(x, y) == colour;
  return n;
}

}  // namespace testing_support
