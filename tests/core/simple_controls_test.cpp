#include <gtest/gtest.h>

#include "core/kivoscrollbar.h"
#include "core/msgdrawgrid.h"
#include "core/xpupdown.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "testing/host_pointer.h"
#include "testing/view_harness.h"

namespace {

constexpr COLORREF kFace = RGB(183, 207, 251), kBorder = RGB(127, 157, 185), kArrow = RGB(77, 97, 133);
constexpr COLORREF kHotFill = RGB(221, 239, 253), kHotOutline = RGB(152, 177, 228);
constexpr COLORREF kPressedFill = RGB(138, 165, 244), kPressedOutline = RGB(133, 146, 217);


class XPUpDown : public ::testing::Test {
 protected:
  void Make(int w, int hgt, TUDOrientation orientation = udVertical) {
    form.SetBounds(0, 0, 120, 80);
    updown = new TXPUpDown(&form);
    updown->SetParent(&form);
    updown->SetBounds(20, 10, w, hgt);
    updown->Orientation = orientation;
    updown->OnChangingEx = [this](TObject *, bool &, short value, TUpDownDirection d) {
      changes.push_back({value, d});
    };
    form.Show();
    h.Pump();
  }
  // Puts the pointer over a client point, so that hover tracking sees it
  // inside, and lets the host's own move arrive first.
  void PointerAt(int x, int y) {
    pointer.At(updown->Handle(), x, y);
    h.Pump();
  }
  testing_support::ScopedHostPointer pointer;
  testing_support::ViewHarness h;
  TForm form{nullptr};
  TXPUpDown *updown = nullptr;
  std::vector<std::pair<int, TUpDownDirection>> changes;
};

TEST_F(XPUpDown, NormalLookBorderAndArrows) {
  Make(16, 20);
  HWND w = updown->Handle();
  struct Probe {
    int x, y;
    COLORREF colour;
  } probes[] = {
      {0, 0, kBorder},   {15, 0, kBorder},  {15, 10, kBorder}, {15, 19, kBorder}, {0, 19, kBorder},
      {0, 10, kFace},    {5, 10, kFace},    {14, 18, kFace},
      // cx = 7; up arrow: t = 5, tip (7, 4), rows 5..7; down arrow: b = 14, tip (7, 15).
      {7, 4, kArrow},    {6, 5, kArrow},    {8, 5, kArrow},    {5, 6, kArrow},    {9, 6, kArrow},
      {4, 7, kArrow},    {6, 7, kArrow},    {7, 7, kFace},     {10, 7, kArrow},   {11, 7, kFace},
      {7, 15, kArrow},   {6, 14, kArrow},   {5, 13, kArrow},   {4, 12, kArrow},   {7, 12, kFace},
      {10, 12, kArrow},  {7, 3, kFace},     {7, 16, kFace},
  };
  for (const Probe &p : probes) EXPECT_EQ(h.Pixel(w, p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST_F(XPUpDown, PressingTheUpperHalfShowsPressedRowsAndSteps) {
  Make(16, 20);
  HWND w = updown->Handle();
  updown->SetPosition(5);
  PointerAt(7, 3);
  h.MouseDown(w, 7, 3);
  EXPECT_EQ(updown->State(), TXPUpDown::UpperPressed);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].second, updUp);
  EXPECT_EQ(updown->Position(), 6);
  // Upper rectangle (0, 1, 15, 10): outline on rows 1 and 9 and columns 0
  // and 14, fill within; the arrow is drawn over it.
  EXPECT_EQ(h.Pixel(w, 3, 1), kPressedOutline);
  EXPECT_EQ(h.Pixel(w, 3, 9), kPressedOutline);
  EXPECT_EQ(h.Pixel(w, 0, 5), kPressedOutline);
  EXPECT_EQ(h.Pixel(w, 14, 5), kPressedOutline);
  EXPECT_EQ(h.Pixel(w, 2, 3), kPressedFill);
  EXPECT_EQ(h.Pixel(w, 12, 8), kPressedFill);
  EXPECT_EQ(h.Pixel(w, 15, 5), kBorder);
  EXPECT_EQ(h.Pixel(w, 3, 10), kFace);
  EXPECT_EQ(h.Pixel(w, 7, 4), kArrow);
  // Released outside: the normal look.
  h.MouseUp(w, 40, 3);
  EXPECT_EQ(updown->State(), TXPUpDown::Normal);
  EXPECT_EQ(h.Pixel(w, 2, 3), kFace);
}

TEST_F(XPUpDown, HoverDragAndLeave) {
  Make(16, 21);
  HWND w = updown->Handle();
  PointerAt(7, 1);
  struct Step {
    int y;
    UINT keys;
    uint8_t state;
  } steps[] = {
      {2, 0, TXPUpDown::UpperHot},     {10, 0, TXPUpDown::Normal},  // middle row of 21
      {15, 0, TXPUpDown::LowerHot},    {15, MK_LBUTTON, TXPUpDown::LowerPressed},
      {3, MK_LBUTTON, TXPUpDown::UpperPressed},
  };
  for (const Step &s : steps) {
    h.MouseMove(w, 7, s.y, s.keys);
    EXPECT_EQ(updown->State(), s.state) << s.y;
  }
  h.MouseUp(w, 7, 16);
  EXPECT_EQ(updown->State(), TXPUpDown::LowerHot);
  // Lower hot rectangle: (0, 21 - 11, 15, 20).
  EXPECT_EQ(h.Pixel(w, 3, 10), kHotOutline);
  EXPECT_EQ(h.Pixel(w, 3, 19), kHotOutline);
  EXPECT_EQ(h.Pixel(w, 2, 17), kHotFill);
  EXPECT_EQ(h.Pixel(w, 3, 9), kFace);
  SendMessageA(w, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(updown->State(), TXPUpDown::Normal);
  EXPECT_EQ(h.Pixel(w, 2, 17), kFace);
}

TEST_F(XPUpDown, DoubleClickIsASecondPress) {
  Make(16, 20);
  updown->SetPosition(5);
  // Press, release, double click, release: two steps down.
  h.DoubleClick(updown->Handle(), 7, 16);
  EXPECT_EQ(updown->Position(), 3);
  EXPECT_EQ(changes.size(), 2u);
}

TEST_F(XPUpDown, HorizontalDrawsNothing) {
  Make(30, 14, udHorizontal);
  for (int x = 0; x < 30; x += 3) EXPECT_NE(h.Pixel(updown->Handle(), x, 7), kFace) << x;
}

// ---- TMsgDrawGrid --------------------------------------------------------------------------------
class MsgDrawGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 300, 200);
    grid = new TMsgDrawGrid(&form);
    grid->SetParent(&form);
    grid->SetBounds(0, 0, 280, 180);
    grid->SetColCount(4);
    grid->SetRowCount(5);
    grid->SetDefaultColWidth(50);
    grid->SetDefaultRowHeight(20);
    form.Show();
    h.Pump();
    grid->SetFocus();
    h.Pump();
  }
  testing_support::ViewHarness h;
  TForm form{nullptr};
  TMsgDrawGrid *grid = nullptr;
};

TEST_F(MsgDrawGrid, KeyHandlerKeepsOrPassesTheKey) {
  std::vector<WPARAM> keys;
  bool keep = true;
  grid->OnKeyDown2 = [&](TObject *, WPARAM key, bool *handled) {
    EXPECT_TRUE(*handled);
    keys.push_back(key);
    if (!keep) *handled = false;
  };
  int row = grid->Row();
  h.Key(VK_DOWN, TShiftState(), grid->Handle());
  EXPECT_EQ(grid->Row(), row);
  keep = false;
  h.Key(VK_DOWN, TShiftState(), grid->Handle());
  EXPECT_EQ(grid->Row(), row + 1);
  EXPECT_EQ(keys, (std::vector<WPARAM>{VK_DOWN, VK_DOWN}));
  grid->OnKeyDown2 = nullptr;
  h.Key(VK_DOWN, TShiftState(), grid->Handle());
  EXPECT_EQ(grid->Row(), row + 2);
}

TEST_F(MsgDrawGrid, MouseHandlersSeeThePositionAndMaySwallowTheClick) {
  std::vector<std::tuple<char, int, int>> seen;
  bool keep = true;
  auto record = [&](char which) {
    return [&, which](TObject *, int32_t x, int32_t y, bool *handled) {
      seen.push_back({which, x, y});
      if (!keep) *handled = false;
    };
  };
  grid->OnLButtonDown = record('d');
  grid->OnLButtonUp = record('u');
  grid->OnRButtonDown = record('D');
  grid->OnRButtonUp = record('U');
  // Column 2, row 3.
  h.Click(grid->Handle(), 120, 70);
  h.Click(grid->Handle(), 121, 71, mbRight);
  EXPECT_EQ(grid->Col(), 1);
  EXPECT_EQ(grid->Row(), 1);
  keep = false;
  h.Click(grid->Handle(), 120, 70);
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_EQ(grid->Row(), 3);
  using S = std::tuple<char, int, int>;
  EXPECT_EQ(seen, (std::vector<S>{S{'d', 120, 70}, S{'u', 120, 70}, S{'D', 121, 71}, S{'U', 121, 71},
                                  S{'d', 120, 70}, S{'u', 120, 70}}));
}

// ---- TKivoScrollBar -----------------------------------------------------------------------------
TEST(KivoScrollBar, OnDrawPaintsItElseTheBarPaintsItself) {
  testing_support::ViewHarness h;
  TForm form{nullptr};
  form.SetBounds(0, 0, 200, 100);
  auto *bar = new TKivoScrollBar(&form);
  bar->SetParent(&form);
  bar->SetBounds(10, 10, 120, 17);
  form.Show();
  h.Pump();
  COLORREF own = h.Pixel(bar->Handle(), 60, 8);
  EXPECT_NE(own, RGB(1, 2, 3));
  RECT seen{};
  bar->OnDraw = [&](TObject *, HDC dc, RECT *r) {
    seen = *r;
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    FillRect(dc, r, b);
    DeleteObject(b);
  };
  bar->Invalidate();
  EXPECT_EQ(h.Pixel(bar->Handle(), 60, 8), RGB(1, 2, 3));
  EXPECT_EQ(h.Pixel(bar->Handle(), 119, 16), RGB(1, 2, 3));
  EXPECT_EQ(seen.right, 120);
  EXPECT_EQ(seen.bottom, 17);
  EXPECT_EQ(SendMessageA(bar->Handle(), WM_ERASEBKGND, 0, 0), 1);
  bar->OnDraw = nullptr;
  bar->Invalidate();
  EXPECT_EQ(h.Pixel(bar->Handle(), 60, 8), own);
}

}  // namespace
