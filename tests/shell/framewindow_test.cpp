#include "shell/framewindow.h"

#include <gtest/gtest.h>

namespace {

bool Same(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A record that shows which fields were left alone.
MINMAXINFO Untouched() {
  MINMAXINFO info{};
  info.ptMaxSize = info.ptMaxPosition = info.ptMinTrackSize = POINT{-7, -7};
  return info;
}

// On the primary screen: maximised 2 pixels past the work area, no smaller
// than 640 x 460 until the first restore and 250 x 275 after it; the first
// time only the restored place is centred.
TEST(FrameMinMax, ThePrimaryScreenCentresOnceAndTheFirstRestoreFreesTheSize) {
  TFrameDesktop desktop;
  desktop.monitorKnown = true;
  desktop.monitorPrimary = true;
  desktop.primaryWorkKnown = true;
  desktop.primaryWork = RECT{0, 30, 1280, 1030};
  TFrameWindowFlags flags;
  MINMAXINFO info = Untouched();
  TMinMaxAnswer answer = FrameMinMaxInfo(desktop, flags, info);
  EXPECT_TRUE(answer.resultSet);
  ASSERT_TRUE(answer.placeRestored);
  EXPECT_TRUE(Same(answer.restored, RECT{320, 300, 960, 760}));
  EXPECT_EQ(info.ptMaxPosition.x, -2);
  EXPECT_EQ(info.ptMaxPosition.y, -2);
  EXPECT_EQ(info.ptMaxSize.x, 1284);
  EXPECT_EQ(info.ptMaxSize.y, 1004);
  EXPECT_EQ(info.ptMinTrackSize.x, 640);
  EXPECT_EQ(info.ptMinTrackSize.y, 460);

  answer = FrameMinMaxInfo(desktop, flags, info);
  EXPECT_FALSE(answer.placeRestored) << "only the first time";
  flags.restoredOnce = true;
  desktop.monitorKnown = false;  // a centre off every screen counts as the primary one
  FrameMinMaxInfo(desktop, flags, info);
  EXPECT_EQ(info.ptMinTrackSize.x, 250);
  EXPECT_EQ(info.ptMinTrackSize.y, 275);
}

// On another screen only the maximised place and size are set, from that
// screen's work area; without a work area of the primary screen nothing.
TEST(FrameMinMax, AnotherScreenOrNoWorkAreaSetsNoTrackingSize) {
  TFrameDesktop desktop;
  desktop.monitorKnown = true;
  desktop.monitorPrimary = false;
  desktop.monitorWork = RECT{1280, 0, 2304, 738};
  desktop.primaryWorkKnown = true;
  desktop.primaryWork = RECT{0, 0, 1280, 1000};
  TFrameWindowFlags flags;
  MINMAXINFO info = Untouched();
  TMinMaxAnswer answer = FrameMinMaxInfo(desktop, flags, info);
  EXPECT_FALSE(answer.resultSet);
  EXPECT_FALSE(answer.placeRestored);
  EXPECT_FALSE(flags.placementCentred) << "kept for the primary screen";
  EXPECT_EQ(info.ptMaxPosition.x, -2);
  EXPECT_EQ(info.ptMaxSize.x, 1028);
  EXPECT_EQ(info.ptMaxSize.y, 742);
  EXPECT_EQ(info.ptMinTrackSize.x, -7);

  desktop.monitorPrimary = true;
  desktop.primaryWorkKnown = false;
  info = Untouched();
  answer = FrameMinMaxInfo(desktop, flags, info);
  EXPECT_TRUE(answer.resultSet);
  EXPECT_FALSE(answer.placeRestored);
  EXPECT_EQ(info.ptMaxSize.x, -7);
  EXPECT_EQ(info.ptMinTrackSize.x, -7);
}

// Three one-pixel rings, outer to inner, and nothing inside them.
TEST(FrameBorder, ThreeRingsOnTheWholeWindow) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 20, 12);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, 20, 12};
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &all, white);
  DeleteObject(white);
  const COLORREF colors[3] = {RGB(10, 20, 30), RGB(200, 0, 0), RGB(0, 0, 200)};
  PaintFrameBorder(dc, 20, 12, colors);
  struct Probe {
    int x, y;
    COLORREF color;
  } probes[] = {
      {0, 0, colors[0]},  {19, 11, colors[0]}, {19, 5, colors[0]},  {1, 1, colors[1]},  {18, 10, colors[1]},
      {2, 2, colors[2]},  {17, 9, colors[2]},  {10, 2, colors[2]},  {3, 3, RGB(255, 255, 255)},
      {16, 8, RGB(255, 255, 255)},
  };
  for (const Probe &p : probes) EXPECT_EQ(GetPixel(dc, p.x, p.y), p.color) << p.x << "," << p.y;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

}  // namespace
