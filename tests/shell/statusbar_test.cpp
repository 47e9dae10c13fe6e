#include "shell/statusbar.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <QImage>

#include "platform/gdi.h"
#include "platform/memory.h"
#include "shell/framechrome.h"
#include "testing/image_capture.h"
#include "testing/view_harness.h"

namespace {

TIndexSlot Slot(uint32_t reference, uint32_t last, float amount) {
  TIndexSlot s;
  s.stock = 1;
  s.values[0] = reference;
  s.values[1] = last;
  std::memcpy(&s.values[2], &amount, sizeof amount);
  return s;
}

TEST(StatusBar, IndexReadingsAndTheirColours) {
  struct Case {
    uint32_t reference, last, divisor;
    float amount;
    const char *price, *change, *amount_;
    int colour;
  } cases[] = {
      {3000000, 3012340, 1000, 1.5e10f, "3012.34", "+12.34", "150.00亿", 1},
      {3000000, 3000000, 1000, 0, "3000.00", "+0.00", "0.00亿", 0},
      {3000000, 2990000, 1000, 0, "2990.00", "-10.00", "0.00亿", 2},
      {0, 2990000, 1000, 0, "2990.00", "+0.00", "0.00亿", 1},  // reference 0: no change, but rising
      {0, 0, 0, 0, "0.00", "+0.00", "0.00亿", 0},              // not found: divisor 1000
      {1000, 1250, 100, 0, "12.50", "+2.50", "0.00亿", 1},
  };
  for (const Case &c : cases) {
    const TIndexTexts t = IndexTexts(Slot(c.reference, c.last, c.amount), c.divisor);
    EXPECT_EQ(t.price, c.price) << c.last;
    EXPECT_EQ(t.change, c.change) << c.last;
    EXPECT_EQ(t.amount, c.amount_) << c.last;
    EXPECT_EQ(t.colour, c.colour) << c.last;
  }
}

TEST(StatusBar, DoubleClickSlotsAndTheClock) {
  const std::vector<std::pair<int, int>> slots = {{0, 0}, {219, 0}, {220, 1}, {447, 1}, {448, 2}, {700, 2}};
  for (const auto &[x, slot] : slots) EXPECT_EQ(IndexSlotAt(x), slot) << x;
  const std::vector<std::pair<int, std::string>> clocks = {{960, "00:00"}, {0, "08:00"}, {959, "23:59"}, {95, "09:35"}};
  for (const auto &[minute, text] : clocks) EXPECT_EQ(ClockText(minute), text) << minute;
}

// Two items of 50 and 40 pixels on a 200-pixel panel scrolled by 100: the
// first starts at x 100, the second at 180.
TEST(StatusBar, TickerHitsShareTheGapBetweenNeighbours) {
  auto make = [](int width) {
    auto *item = static_cast<TFrameCore::TickerItem *>(std::calloc(1, sizeof(TFrameCore::TickerItem) + 4));
    item->width = width;
    return item;
  };
  TFrameCore::TickerItem *first = make(50), *second = make(40);
  first->next = second;
  struct Case {
    int x, hit;
  } cases[] = {{84, -1}, {85, 0}, {100, 0}, {164, 0}, {165, 1}, {180, 1}, {234, 1}, {235, -1}};
  for (const Case &c : cases) EXPECT_EQ(TickerItemAt(first, 100, 200, c.x), c.hit) << c.x;
  EXPECT_EQ(TickerItemAt(nullptr, 0, 200, 10), -1);
  std::free(first);
  std::free(second);
}

// The panels drawn on a status bar with the skin's colours; pixels of the
// separators and the connection bars, never of the texts.
class StatusPanelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.statusText = RGB(220, 220, 220);
    skin.statusTextRed = RGB(255, 40, 40);
    skin.statusTextGreen = RGB(40, 220, 40);
    skin.statusTextYellow = RGB(230, 200, 0);
    skin.statusCol = RGB(90, 90, 160);
  }
  // Paints into a bitmap over a dark background and returns it.
  HBITMAP Paint(int width, int height, const std::function<void(HDC)> &paint) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT r{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(RGB(16, 24, 48));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    paint(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
  }
  testing_support::ViewHarness h;
  TFrameSkin skin;
};

// The clock keeps its 16-pixel type where "00:00" fits from x 1 and steps
// down in the 36-pixel panel when the platform's face is wider.
TEST_F(StatusPanelsTest, ClockTextFitsItsPanel) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  auto width = [dc](int height) {
    HFONT font = CreateFontA(-height, 0, 0, 0, 400, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, "00:00", 5, &size);
    SelectObject(dc, old);
    DeleteObject(font);
    return int(size.cx);
  };
  for (int panel : {36, 30, 80}) {
    const int height = ClockFontHeight(dc, panel);
    EXPECT_LE(1 + width(height), panel) << panel;
    if (1 + width(16) <= panel) EXPECT_EQ(height, 16) << panel;
    if (height < 16) EXPECT_GT(1 + width(height + 1), panel) << panel;
  }
  DeleteDC(dc);
}

TEST_F(StatusPanelsTest, IndexSeparatorsAndConnectionSymbols) {
  TIndexSlot slots[3] = {Slot(3000000, 3012340, 1.5e10f), Slot(10000000, 9990000, 2e10f), Slot(4000000, 4000000, 0)};
  const uint32_t divisors[3] = {1000, 1000, 1000};
  HBITMAP index = Paint(686, 22, [&](HDC dc) { PaintIndexPanel(dc, 22, skin, slots, divisors); });
  for (int x : {220, 448, 676}) EXPECT_EQ(testing_support::DibPixel(index, x, 11), skin.statusCol) << x;
  const char16_t word[4] = {u'k', u'i', u'v', u'o'};
  std::vector<HBITMAP> connections;
  for (int tag : {0, 2, -3}) {
    connections.push_back(Paint(83, 22, [&](HDC dc) { PaintConnection(dc, 22, skin, tag, word); }));
  }
  // The symbol's bars end on the same row; with Tag < 0 they are red, with
  // Tag > 0 in the text colour, and Tag 0 draws a cross instead.
  auto column = [&](HBITMAP b, COLORREF colour) {
    int found = 0;
    for (int x = 40; x < 83; ++x)
      for (int y = 0; y < 22; ++y) found += testing_support::DibPixel(b, x, y) == colour;
    return found;
  };
  EXPECT_GT(column(connections[1], skin.statusText), 20);
  EXPECT_EQ(column(connections[1], skin.statusTextRed), 0);
  EXPECT_GT(column(connections[2], skin.statusTextRed), 20);
  EXPECT_GT(column(connections[0], skin.statusText), 10);
  EXPECT_EQ(column(connections[0], skin.statusTextRed), 0);

  // The sheet: up, down and flat readings with the connected symbol, and
  // the offline state.
  testing_support::PictureSheet sheet(1);
  auto image = [](HBITMAP b) {
    const std::string path = testing_support::PicturePath("status-bar-part.png");
    testing_support::SaveDibPng(b, path);
    return QImage(QString::fromStdString(path));
  };
  sheet.Add("index readings (up, down, flat)", image(index));
  sheet.Add("connected, Tag 2", image(connections[1]));
  sheet.Add("congested, Tag -3", image(connections[2]));
  h.SavePng(sheet.Compose(), "status-bar");
  testing_support::PictureSheet offline(1);
  TIndexSlot none[3];
  HBITMAP empty = Paint(686, 22, [&](HDC dc) { PaintIndexPanel(dc, 22, skin, none, divisors); });
  offline.Add("indices not found", image(empty));
  offline.Add("offline, Tag 0", image(connections[0]));
  TClockFont clockFont;
  HBITMAP clock = Paint(36, 22, [&](HDC dc) { PaintClock(dc, 36, 22, skin, 960, clockFont); });
  offline.Add("clock at minute 960", image(clock));
  h.SavePng(offline.Compose(), "status-bar-offline");
  std::remove(testing_support::PicturePath("status-bar-part.png").c_str());
  for (HBITMAP b : connections) DeleteObject(b);
  for (HBITMAP b : {index, empty, clock}) DeleteObject(b);
}

}  // namespace
