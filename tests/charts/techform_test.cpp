#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "techform_world.h"
#include "charts/techform.h"
#include "charts/techformcore.h"
#include "core/datetime.h"
#include "core/emem.h"
#include "formula/indexmarket.h"
#include "formula/kvindexlib.h"
#include "formula/libsource.h"
#include "market/rights.h"
#include "platform/gdi.h"
#include "testing/image_capture.h"
#include "testing/system_library.h"

namespace {

using kline_test::Bar;
using kline_test::Day;
using kline_test::KLineContrastShare;
using kline_test::TechFormTest;

// ---- Window shares and layout ----------------------------------------------

TEST(KLineLayout, DefaultSharesAndThreeWindowsOn400Pixels) {
  double h[6];
  KLineDefaultShares(1, h);
  EXPECT_DOUBLE_EQ(h[0], 1.0);
  KLineDefaultShares(4, h);
  EXPECT_DOUBLE_EQ(h[0], 0.52);
  for (int i = 1; i < 4; ++i) EXPECT_DOUBLE_EQ(h[i], 0.16);
  KLineDefaultShares(3, h);
  RECT r[6];
  KLineLayoutWindows(RECT{0, 0, 500, 400}, h, 3, r);
  EXPECT_EQ(r[0].top, 18);
  EXPECT_EQ(r[0].bottom, 237);
  EXPECT_EQ(r[1].bottom, 295);
  EXPECT_EQ(r[2].top, 295);
  EXPECT_EQ(r[2].bottom, 384);
}

TEST(KLineLayout, ZoomLevelsOutsideTheTableAreHeld) {
  EXPECT_DOUBLE_EQ(KLinePitch(0), 0.5);
  EXPECT_DOUBLE_EQ(KLinePitch(28), 28);
  EXPECT_DOUBLE_EQ(KLinePitch(99), 28);
  EXPECT_DOUBLE_EQ(KLinePitch(-5), 0.5);
}

TEST(KLinePeriods, HistoryFilesAndTexts) {
  struct Case {
    int period;
    uint32_t n;
    CacheKind file;
  } cases[] = {{3, 7, kCacheMin1Bars}, {3, 10, kCacheMin5Bars}, {3, 120, kCacheMin60Bars},
               {1, 1, kCacheMin1Bars}, {7, 1, kCacheMin60Bars}, {9, 1, kCacheDayBars}};
  for (const Case &c : cases) EXPECT_EQ(KLineHistoryFile(c.period, c.n), c.file) << c.period << " " << c.n;
  EXPECT_EQ(KLinePeriodText(3, 7), "7分");
  EXPECT_EQ(KLinePeriodText(12, 5), "5天");
  EXPECT_EQ(KLinePeriodText(8, 1), "日线");
}

TEST(KLineTimeAxis, MergeKeepsEveryTimeOnceInOrder) {
  std::vector<uint32_t> axis{1, 3, 5, 7};
  const KLINEBAR other[] = {Bar(2, 1), Bar(3, 1), Bar(8, 1)};
  MergeTimes(axis, other, 3);
  EXPECT_EQ(axis, (std::vector<uint32_t>{1, 2, 3, 5, 7, 8}));
  EXPECT_EQ(LowerBoundU32(axis.data(), 6, 4), 3u);
  EXPECT_EQ(LowerBoundU32(axis.data(), 0, 4), 0u);
  EXPECT_EQ(LowerBoundU32(axis.data(), 6, 9), 6u);
}

// ---- Ex-rights -----------------------------------------------------------------

TEST(KLineExRights, AdjustmentsOnTheExamples) {
  KLineWeight split{};
  split.date = Day(2024, 3, 10);
  split.capitalised = 100000;  // 10 for 10
  KLineWeight dividend{};
  dividend.date = Day(2024, 3, 10);
  dividend.dividend = 500;
  struct Case {
    const char *what;
    KLineWeight weight;
    bool forward;
    uint32_t before, onDate, after;  // adjusted closes of 1000 at three bars
  } cases[] = {
      {"10-for-10 forward halves the older bars", split, true, 500, 1000, 1000},
      {"10-for-10 backward doubles the ex-date and later", split, false, 1000, 2000, 2000},
      {"dividend forward", dividend, true, 950, 1000, 1000},
      {"dividend backward", dividend, false, 1000, 1050, 1050},
  };
  for (const Case &c : cases) {
    KLINEBAR bars[] = {Bar(Day(2024, 3, 8), 1000), Bar(Day(2024, 3, 10), 1000), Bar(Day(2024, 3, 11), 1000)};
    if (c.forward) AdjustBarsForward(bars, 3, &c.weight, 1);
    else AdjustBarsBackward(bars, 3, &c.weight, 1);
    EXPECT_EQ(bars[0].close, c.before) << c.what;
    EXPECT_EQ(bars[1].close, c.onDate) << c.what;
    EXPECT_EQ(bars[2].close, c.after) << c.what;
    EXPECT_EQ(bars[0].open, bars[0].close) << c.what;
  }
}

TEST(KLineExRights, ResultsAreHeldInsideTheUnsignedRange) {
  KLineWeight big{};
  big.date = Day(2024, 3, 10);
  big.dividend = 100000;  // above the price
  KLINEBAR early = Bar(Day(2024, 3, 1), 5000);
  AdjustBarsForward(&early, 1, &big, 1);
  EXPECT_EQ(early.close, 0u);
  KLineWeight huge{};
  huge.date = Day(2024, 3, 10);
  huge.capitalised = 4000000000u;
  KLINEBAR late = Bar(Day(2024, 3, 11), 4000000000u);
  AdjustBarsBackward(&late, 1, &huge, 1);
  EXPECT_EQ(late.close, 0xFFFFFFFFu);
}

TEST(KLineExRights, WeightTextsAndSpans) {
  KLineWeight w[4]{};
  for (int i = 0; i < 4; ++i) {
    w[i].date = Day(2024, 1, 10 + i);
    w[i].bonus = 10000;
  }
  w[3].bonus = 0;
  w[3].floatShares = 500;
  w[3].totalShares = 900;
  char text[1024];
  ASSERT_TRUE(WeightText(w, 4, Day(2024, 1, 1), Day(2024, 1, 31), 1000, 2, text, sizeof text));
  EXPECT_STREQ(text,
               "除权日 2024-01-10\r\n每10股送1.000股\r\n\r\n除权日 2024-01-11\r\n每10股送1.000股\r\n\r\n"
               "除权日 2024-01-12\r\n每10股送1.000股");
  ASSERT_TRUE(WeightText(w + 3, 1, Day(2024, 1, 13), Day(2024, 1, 13), 1000, 2, text, sizeof text));
  EXPECT_STREQ(text, "除权日 2024-01-13\r\n上市后流通股本500万股\r\n上市后总股本900万股");
  EXPECT_TRUE(HasWeightInSpan(w, 4, Day(2024, 1, 11), Day(2024, 1, 11)));
  EXPECT_FALSE(HasWeightInSpan(w, 4, Day(2024, 1, 14), Day(2024, 1, 20)));
}

// ---- Information markers ----------------------------------------------------------

std::vector<uint8_t> InfoRecords(int count) {
  std::vector<uint8_t> r(size_t(count) * kKLineInfoRecordSize, 0);
  for (int i = 0; i < count; ++i) {
    const uint32_t date = 20240101 + uint32_t(i);
    std::memcpy(&r[size_t(i) * 256 + 3], &date, 4);
    std::snprintf(reinterpret_cast<char *>(&r[size_t(i) * 256 + 11]), 63, "标题%d", i);
  }
  return r;
}

TEST(KLineInfoMarkers, SixTitlesNewestFirstAndTheHint) {
  const auto r = InfoRecords(7);
  char text[1024];
  ASSERT_TRUE(InfoMarkerText(r.data(), 7, 20240101, 20240107, text, sizeof text));
  EXPECT_STREQ(text,
               "历史信息地雷（双击标记查看）\r\n\r\n标题6\r\n标题5\r\n标题4\r\n标题3\r\n标题2\r\n标题1\r\n"
               "\r\n更多内容请双击标记查看。");
  ASSERT_TRUE(InfoMarkerText(r.data(), 7, 20240102, 20240107, text, sizeof text));
  EXPECT_STREQ(text, "历史信息地雷（双击标记查看）\r\n\r\n标题6\r\n标题5\r\n标题4\r\n标题3\r\n标题2\r\n标题1");
  EXPECT_EQ(FindInfoMarker(r.data(), 7, 20240103, 20240103), 2);
  EXPECT_EQ(FindInfoMarker(r.data(), 7, 20240201, 20240203), -1);
  EXPECT_EQ(FindInfoMarker(r.data(), 7, 20240105, 20240104), -1);
}

// ---- Time labels ------------------------------------------------------------------------

TEST(KLineTimeLabels, SpacingAndFullFormOnANewMonth) {
  // Day bars 10 pixels apart over three months.
  std::vector<uint32_t> t;
  for (unsigned m = 1; m <= 3; ++m)
    for (unsigned d = 1; d <= 28; d += 3) t.push_back(Day(2024, m, d));
  const auto labels = KLineTimeLabels(
      t.data(), 0, uint32_t(t.size()), true, 0, 10000, [](uint32_t i) { return int(i) * 10; },
      [](const std::string &s) { return int(s.size()) * 6; });
  // The first visible bar never gets a label; the next one carries the
  // year, later months only theirs.
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[0].text, "202401");
  EXPECT_EQ(labels[0].x, 2);  // raised to the plot left + 2
  EXPECT_EQ(labels[1].text, "02");
  EXPECT_EQ(labels[2].text, "03");
  EXPECT_GT(labels[2].x - labels[1].x, 70);
}

// ---- The view -------------------------------------------------------------------------------

TEST_F(TechFormTest, ConstructionFromViewData) {
  UserRights[2] = 0;
  auto page = Open(Data({"JZBD", "JZGZ", "MACD", "RSI"}));
  TTechForm *v = View(*page);
  ASSERT_NE(v, nullptr);
  // Without the right: K in the main window, VOL in a sub-window.
  EXPECT_STREQ(v->windowNames[0], "K");
  EXPECT_STREQ(v->windowNames[1], "VOL");
  EXPECT_EQ(v->activeWindow, 3u);
  EXPECT_DOUBLE_EQ(v->heights[0], 0.52);
  EXPECT_NEAR(v->heights[3], 0.16, 1e-9);
  EXPECT_TRUE(v->N10->Checked);
  // MaOnK puts MA on the K chart once, also when asked again.
  int ma = 0;
  for (CKvIndex *f = v->windows[0]->next; f; f = f->next) ma += std::strcmp(f->name, "MA") == 0;
  EXPECT_EQ(ma, 1);
  v->ApplyIndicator("MA", true);
  ma = 0;
  for (CKvIndex *f = v->windows[0]->next; f; f = f->next) ma += std::strcmp(f->name, "MA") == 0;
  EXPECT_EQ(ma, 1);
  // MA's lines take the indicator colours from slot 3 on (K's candles take
  // none): the chain shares the window's slots.
  const COLORREF *table = IndexColorTable();
  ASSERT_NE(table[3], table[0]);
  int slot = 3;
  for (CKvIndex *f = v->windows[0]; f; f = f->next)
    for (const auto &line : f->variables)
      if ((line->flags & kVariableOutput) && line->style == kStyleLine)
        EXPECT_EQ(line->Color(), table[slot++]) << f->name << " " << line->name;
  EXPECT_GT(slot, 3);
  // The view data round trip.
  MVCDATA_12 back = Data({});
  v->StoreChartData(&back);
  EXPECT_EQ(back.windowCount, 4u);
  EXPECT_STREQ(back.formulas[1], "VOL");
  EXPECT_STREQ(back.overlayFormulas[0], "MA");
  EXPECT_FLOAT_EQ(back.heightRatios[0], 0.52f);
}

TEST_F(TechFormTest, StoredWindowCountAboveSixIsHeld) {
  MVCDATA_12 d = Data({"K", "VOL"});
  d.windowCount = 40;
  auto page = Open(d);
  EXPECT_EQ(View(*page)->windowCount, 6u);
}

TEST_F(TechFormTest, WindowCountAndSubChartOnASingleWindow) {
  auto page = Open(Data({"K"}));
  TTechForm *v = View(*page);
  Feed(v, 120);
  v->ApplyIndicator("RSI", true);
  EXPECT_EQ(v->windowCount, 2u);
  EXPECT_DOUBLE_EQ(v->heights[0], 0.6);
  EXPECT_DOUBLE_EQ(v->heights[1], 0.4);
  v->SetWindowCount(6);
  v->SetWindowCount(3);
  EXPECT_EQ(v->windows[3], nullptr);
  v->SetWindowCount(6);
  EXPECT_STREQ(v->windowNames[3], "AMOUNT");
  EXPECT_STREQ(v->windowNames[4], "RSI");
  EXPECT_STREQ(v->windowNames[5], "DMA");
  // Applying a sub-chart formula from the main window releases the old
  // sub-windows and keeps one.
  v->activeWindow = 0;
  v->ApplyIndicator("MACD", true);
  EXPECT_EQ(v->windowCount, 2u);
  for (int i = 2; i < 6; ++i) EXPECT_EQ(v->windows[i], nullptr) << i;
  EXPECT_STREQ(v->windows[1]->name, "MACD");
}

TEST_F(TechFormTest, AFormulaTheLibraryLostKeepsItsChain) {
  auto page = Open(Data({"K", "VOL"}));
  TTechForm *v = View(*page);
  ASSERT_NE(v->windows[0]->next, nullptr);
  CKvIndex *chained = v->windows[0]->next;
  KvIndexManager().Clear();
  v->OnIndexChanged("K");
  EXPECT_EQ(v->windows[0]->next, chained);
}

TEST_F(TechFormTest, EmptyAxisReadsNoBar) {
  auto page = Open(Data({"K", "VOL"}));
  TTechForm *v = View(*page);
  v->barCount = 0;
  v->BuildTimeAxis();
  v->cursorBar = -1;
  v->DrawChart();  // no read of the time axis at -1 (the sanitizers watch)
  EXPECT_EQ(v->cursorBar, -1);
}

TEST_F(TechFormTest, PicturesAndXorFigures) {
  auto page = Open(Data({"K", "VOL", "MACD"}));
  TTechForm *v = View(*page);
  Feed(v, 200);
  v->UpdateScreen(true);
  testing_support::PictureSheet sheet(2);
  auto shoot = [&](const char *name) {
    const QImage image = harness_.Render(v->Handle());
    harness_.SavePng(image, name);
    sheet.Add(name, image);
    return image;
  };
  const QImage plain = shoot("kline-3windows");
  // The candles stand out from the background in the pictures' scheme.
  EXPECT_GT(KLineContrastShare(plain, v->windowRects[0], ViewColor(1)), 0.01);
  // The chart's frame lines are in COLOR14 and the title strip's line under it.
  EXPECT_EQ(harness_.Pixel(v->Handle(), v->chartRect.left + 300, v->chartRect.top + 18), ViewColor(14));
  // Cross-hair and rubber band drawn twice leave the window image as it was.
  v->crossHair = 1;
  v->dragX = v->chartRect.left + 200;
  v->dragY = 120;
  v->rubberBand = 1;
  v->rubberRect[0] = 100, v->rubberRect[1] = 60, v->rubberRect[2] = 300, v->rubberRect[3] = 200;
  HDC dc = GetDC(v->Handle());
  const COLORREF before = GetPixel(dc, v->dragX, 150);
  v->DrawCrossLines(dc);
  v->DrawRubberBand(dc);
  EXPECT_NE(GetPixel(dc, v->dragX, 150), before);
  v->DrawCrossLines(dc);
  v->DrawRubberBand(dc);
  EXPECT_EQ(GetPixel(dc, v->dragX, 150), before);
  ReleaseDC(v->Handle(), dc);
  EXPECT_EQ(harness_.Render(v->Handle()), plain);
  v->rubberBand = 0;
  v->UpdateScreen(true);
  shoot("kline-crosshair");
  v->crossHair = 0;
  v->SetWindowCount(6);
  shoot("kline-6windows");
  v->N37->Checked = true;
  v->N39->Checked = false;
  v->DrawChart();
  v->UpdateScreen(true);
  shoot("kline-inverted");
  v->N37->Checked = false;
  v->N39->Checked = true;
  for (int zoom : {0, 28}) {
    v->zoomLevel = zoom;
    v->DrawChart();
    v->UpdateScreen(true);
    shoot(zoom ? "kline-zoom28" : "kline-zoom0");
  }
  v->zoomLevel = 16;
  v->SetLoadPercent(37);
  v->DrawChart();
  v->UpdateScreen(true);
  const QImage progress = shoot("kline-progress");
  // The progress bar covers 37 % of the title strip in COLOR33.
  const int width = v->chartRect.right - v->chartRect.left;
  EXPECT_EQ(harness_.Pixel(v->Handle(), v->chartRect.left + width * 36 / 100, 1), ViewColor(33));
  EXPECT_NE(harness_.Pixel(v->Handle(), v->chartRect.left + width * 38 / 100, 1), ViewColor(33));
  harness_.SavePng(sheet.Compose(), "kline-sheet");
}

TEST_F(TechFormTest, MarkerAndForwardAdjustedPictures) {
  auto page = Open(Data({"K", "VOL"}));
  TTechForm *v = View(*page);
  Feed(v, 150);
  auto dateNumber = [](uint32_t t) { return PackedYear(t) * 10000 + PackedMonth(t) * 100 + PackedDay(t); };
  // Information on three days and a 10-for-10 bonus on the day of bar 100.
  const uint32_t marked[] = {40, 90, 130};
  Free(v->infoIndex);
  v->infoIndex = static_cast<uint8_t *>(Malloc(kKLineInfoKept * kKLineInfoRecordSize));
  std::memset(v->infoIndex, 0, size_t(kKLineInfoKept) * kKLineInfoRecordSize);
  for (int k = 0; k < 3; ++k) {
    const uint32_t date = dateNumber(v->bars[marked[k]].time);
    std::memcpy(v->infoIndex + k * kKLineInfoRecordSize + 3, &date, 4);
    std::snprintf(reinterpret_cast<char *>(v->infoIndex + k * kKLineInfoRecordSize + 11), 63, "公告%d", k);
  }
  v->infoIndexCount = 3;
  Free(v->weights);
  v->weights = static_cast<KLineWeight *>(Malloc(int32_t(sizeof(KLineWeight))));
  v->weights[0] = KLineWeight{};
  v->weights[0].date = v->bars[100].time & kPackedDateMask;
  v->weights[0].bonus = 100000;
  v->weightCount = v->weightCapacity = 1;
  v->DrawChart();
  v->UpdateScreen(true);
  const QImage markers = harness_.Render(v->Handle());
  harness_.SavePng(markers, "kline-markers");
  const int top = v->windowRects[0].top + 18;
  for (uint32_t i : marked) EXPECT_EQ(harness_.Pixel(v->Handle(), v->BarCentre(i), top + 2), ViewColor(20)) << i;
  EXPECT_EQ(harness_.Pixel(v->Handle(), v->BarCentre(100), v->windowRects[0].bottom - 5), ViewColor(20));
  EXPECT_NE(harness_.Pixel(v->Handle(), v->BarCentre(101), top + 2), ViewColor(20));

  // Forward adjustment as the series load applies it: the bars before the
  // ex-date halve, the rest stay.
  const uint32_t before = v->bars[50].close, after = v->bars[120].close;
  for (TMenuItem *m : {v->N25, v->N27, v->N28}) m->Checked = m == v->N27;
  AdjustBarsForward(v->bars, v->barCount, v->weights, v->weightCount);
  EXPECT_EQ(v->bars[50].close, before / 2);
  EXPECT_EQ(v->bars[120].close, after);
  v->RecalcIndicators(nullptr, false);
  v->DrawChart();
  v->UpdateScreen(true);
  const QImage adjusted = harness_.Render(v->Handle());
  harness_.SavePng(adjusted, "kline-forward-adjusted");
  EXPECT_GT(KLineContrastShare(adjusted, v->windowRects[0], ViewColor(1)), 0.01);
  EXPECT_NE(adjusted, markers);
}

}  // namespace
