#include <gtest/gtest.h>

#include <memory>

#include "core/xpcheckbox.h"
#include "core/xpradiobutton.h"
#include "tests/core/xp_test_support.h"

namespace {

using xp_test::kDialogColour;

constexpr COLORREF Hex(uint32_t v) { return RGB(BYTE(v >> 16), BYTE(v >> 8), BYTE(v)); }
constexpr COLORREF kBoxBorder = RGB(28, 81, 128), kGrey = RGB(202, 200, 187), kMark = RGB(33, 161, 33);

// A cell (x, y) of the 13 x 13 image lies at pixel (1 + x, t + y).
struct Cell {
  int x, y;
  COLORREF colour;
};

class XPCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    box = form.Add<TXPCheckBox>(20, 20, 120, 17, "check");
    box->Handle();
    h.Pump();
  }
  void ExpectCells(const std::vector<Cell> &cells, const char *what) {
    const int t = XPBoxTop(box->Height());
    for (const Cell &c : cells)
      EXPECT_EQ(h.Pixel(box->Handle(), 1 + c.x, t + c.y), c.colour) << what << " cell " << c.x << "," << c.y;
  }
  testing_support::ViewHarness h;
  xp_test::Form form{h};
  TXPCheckBox *box = nullptr;
};

TEST_F(XPCheck, RampsOfEachStateAndTheHotRing) {
  EXPECT_EQ(XPBoxTop(17), 2);
  EXPECT_EQ(XPBoxTop(13), 0);
  EXPECT_EQ(XPBoxTop(12), -1);  // an arithmetic shift
  ExpectCells({{0, 0, kBoxBorder}, {12, 7, kBoxBorder}, {1, 1, Hex(0xDCDCD7)}, {5, 6, Hex(0xEFEFEC)},
               {11, 11, Hex(0xFFFFFF)}, {9, 3, Hex(0xF1F1EF)}},
              "normal");
  EXPECT_EQ(h.Pixel(box->Handle(), 1, 1), kDialogColour);  // above the box at t = 2

  HWND w = box->Handle();
  xp_test::Hover(h, w, 5, 5);
  ExpectCells({{0, 0, kBoxBorder}, {1, 1, Hex(0xFFF0CF)}, {2, 6, Hex(0xFDD684)}, {10, 11, Hex(0xF8B433)},
               {3, 3, RGB(231, 231, 227)}, {9, 9, RGB(231, 231, 227)}, {6, 2, Hex(0xFDD684)}},
              "hot");
  h.MouseDown(w, 5, 5);
  ExpectCells({{1, 1, Hex(0xB0B0A7)}, {6, 6, Hex(0xD7D5C8)}, {11, 11, Hex(0xF1EFDF)}}, "pressed");
  xp_test::Hover(h, w, 300, 5, MK_LBUTTON);  // dragged out: hot again
  ExpectCells({{1, 1, Hex(0xFFF0CF)}, {5, 5, RGB(231, 231, 227)}}, "dragged out");
  h.MouseUp(w, 300, 5);
  EXPECT_FALSE(box->Checked());  // released outside: no click
  xp_test::Leave(h, w);
  ExpectCells({{1, 1, Hex(0xDCDCD7)}}, "left");
}

TEST_F(XPCheck, CheckMarkAndTheDisabledLook) {
  HWND w = box->Handle();
  h.Click(w, 5, 5);
  xp_test::Leave(h, w);
  EXPECT_TRUE(box->Checked());
  const int t = 2;
  for (POINT p : {POINT{10, 3}, POINT{4, 5}, POINT{6, 7}, POINT{6, 9}, POINT{8, 7}})
    EXPECT_EQ(h.Pixel(w, p.x, t + p.y), kMark) << p.x << "," << p.y;
  EXPECT_EQ(h.Pixel(w, 6, t + 6), Hex(0xEFEFEC));  // the gap in the mark keeps the ramp (cell 5, 6)

  box->SetEnabled(false);
  h.Pump();
  EXPECT_EQ(box->DrawState(), xpsDisabled);
  for (POINT p : {POINT{1, t}, POINT{13, t}, POINT{1, t + 12}, POINT{13, t + 12}, POINT{7, t}})
    EXPECT_EQ(h.Pixel(w, p.x, p.y), kGrey) << p.x << "," << p.y;
  EXPECT_EQ(h.Pixel(w, 2, t + 1), kDialogColour);  // the inside keeps the background
  EXPECT_EQ(h.Pixel(w, 10, t + 3), kGrey);          // the grey mark
  EXPECT_EQ(h.Pixel(w, 14, t), kDialogColour);
}

TEST_F(XPCheck, NarrowBoxHasNoCaptionAndNoFocusRectangle) {
  int enters = 0;
  box->OnEnter = [&](TObject *) { ++enters; };
  box->SetFocus();
  h.Pump();
  EXPECT_EQ(enters, 2);  // the class library's and the paint's
  HWND w = box->Handle();
  // The focus rectangle's left side runs down column 17 around the caption.
  bool dotted = false;
  for (int y = 0; y < 17; ++y) dotted = dotted || h.Pixel(w, 17, y) != kDialogColour;
  EXPECT_TRUE(dotted);

  form.holder->SetFocus();
  box->SetBounds(20, 20, 17, 17);
  h.Pump();
  enters = 0;
  box->SetFocus();
  h.Pump();
  EXPECT_EQ(enters, 1);  // only the class library's
  for (int y = 0; y < 17; ++y)
    for (int x = 14; x < 17; ++x) EXPECT_EQ(h.Pixel(w, x, y), kDialogColour) << x << "," << y;
}

TEST_F(XPCheck, ABoxThirteenHighSitsAtTheTop) {
  box->SetBounds(20, 20, 120, 13);
  h.Pump();
  HWND w = box->Handle();
  EXPECT_EQ(h.Pixel(w, 1, 0), kBoxBorder);
  EXPECT_EQ(h.Pixel(w, 13, 12), kBoxBorder);
  EXPECT_EQ(h.Pixel(w, 2, 1), Hex(0xDCDCD7));
}

TEST_F(XPCheck, ImageListLookTakesTheCheckedVariant) {
  const COLORREF normal = RGB(200, 0, 0), checked = RGB(0, 200, 0), checkedHot = RGB(0, 0, 200), checkedOff = RGB(90, 90, 90);
  std::unique_ptr<TImageList> images(xp_test::SolidImages(120, 17, {normal, checked, checkedHot, checkedOff}));
  box->SetImages(images.get());
  box->SetImageChecked(1);
  box->SetImageCheckedHover(2);
  box->SetImageCheckedDisable(3);
  HWND w = box->Handle();
  EXPECT_EQ(h.Pixel(w, 5, 5), normal);
  box->SetChecked(true);
  EXPECT_EQ(h.Pixel(w, 5, 5), checked);
  xp_test::Hover(h, w, 5, 5);
  EXPECT_EQ(h.Pixel(w, 5, 5), checkedHot);
  xp_test::Leave(h, w);
  box->SetEnabled(false);
  EXPECT_EQ(h.Pixel(w, 5, 5), checkedOff);
  box->SetImages(nullptr);
}

// ---- radio buttons ------------------------------------------------------------------------
class XPRadio : public ::testing::Test {
 protected:
  void SetUp() override {
    a = form.Add<TXPRadioButton>(20, 20, 100, 17, "a");
    b = form.Add<TXPRadioButton>(20, 50, 100, 17, "b");
    a->Handle();
    b->Handle();
    h.Pump();
  }
  testing_support::ViewHarness h;
  xp_test::Form form{h};
  TXPRadioButton *a = nullptr, *b = nullptr;
};

TEST_F(XPRadio, DiscTablesOutlineAndDot) {
  HWND w = a->Handle();
  const int t = 2;
  // Table cells, ramp cells, cells left out, and the outline's vertices.
  EXPECT_EQ(h.Pixel(w, 1 + 5, t + 1), Hex(0xA7B7C1));
  EXPECT_EQ(h.Pixel(w, 1 + 11, t + 6), Hex(0xF2F4F5));
  EXPECT_EQ(h.Pixel(w, 1 + 6, t + 6), Hex(0xF1F1EF));  // ramp entry 10
  EXPECT_EQ(h.Pixel(w, 13, t + 6), kBoxBorder);         // (cx + r, cy)
  EXPECT_EQ(h.Pixel(w, 7, t), kBoxBorder);              // (cx, cy - r)
  EXPECT_EQ(h.Pixel(w, 1, t + 6), kBoxBorder);          // (cx - r, cy)
  EXPECT_EQ(h.Pixel(w, 1, t), kDialogColour);           // outside the disc

  xp_test::Hover(h, w, 5, 5);
  EXPECT_EQ(h.Pixel(w, 1 + 6, t + 1), Hex(0xF4D48C));
  EXPECT_EQ(h.Pixel(w, 1 + 6, t + 6), Hex(0xF1EFDF));
  h.MouseDown(w, 5, 5);
  EXPECT_EQ(h.Pixel(w, 1 + 1, t + 6), Hex(0xB6B7AF));
  EXPECT_EQ(h.Pixel(w, 1 + 6, t + 6), Hex(0xD7D5C8));  // the pressed ramp
  h.MouseUp(w, 5, 5);
  xp_test::Leave(h, w);
  ASSERT_TRUE(a->Checked());

  // The dot at (5 + x, (H - 5) / 2 + y).
  EXPECT_EQ(h.Pixel(w, 5 + 2, 6 + 2), Hex(0x38B935));
  EXPECT_EQ(h.Pixel(w, 5 + 1, 6 + 0), Hex(0xA9DCA6));
  EXPECT_EQ(h.Pixel(w, 5, 6), Hex(0xE5E5E2));  // a dash: the disc shows (ramp entry 6)

  a->SetEnabled(false);
  h.Pump();
  EXPECT_EQ(h.Pixel(w, 5 + 2, 6 + 2), Hex(0xC0BFB5));
  EXPECT_EQ(h.Pixel(w, 5 + 2, 6), Hex(0xC2C1B7));
  EXPECT_EQ(h.Pixel(w, 13, t + 6), kGrey);
  EXPECT_EQ(h.Pixel(w, 1 + 6, t + 6 + 3), kDialogColour);  // no disc image when disabled
}

TEST_F(XPRadio, ClickingOneRepaintsBoth) {
  h.Click(a->Handle(), 5, 5);
  xp_test::Leave(h, a->Handle());
  EXPECT_EQ(h.Pixel(a->Handle(), 7, 8), Hex(0x38B935));
  h.Click(b->Handle(), 5, 5);
  xp_test::Leave(h, b->Handle());
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(h.Pixel(b->Handle(), 7, 8), Hex(0x38B935));
  EXPECT_EQ(h.Pixel(a->Handle(), 7, 8), Hex(0xF1F1EF));  // the disc's ramp again (cell 6, 6)
}

}  // namespace
