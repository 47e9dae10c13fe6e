#include <gtest/gtest.h>

#include <vector>

#include "core/xpbutton.h"
#include "core/xppushradiobutton.h"
#include "classlib/imglist.h"
#include "tests/core/xp_test_support.h"

namespace {

using xp_test::kDialogColour;

struct Probe {
  int x, y;  // negative: from the right or bottom (W + x, H + y)
  COLORREF colour;
};

constexpr int W = 75, H = 23;
constexpr COLORREF kBorder = RGB(0, 60, 116);
// The dialog colour's dark and light frame colours.
constexpr COLORREF kDark = RGB(224, 219, 201), kLight = RGB(250, 249, 245);

// Probes of the shared frame: the outer lines stop one pixel short, the
// corners are set last.
const std::vector<Probe> kFrame = {
    {0, 0, kDialogColour}, {1, 0, kDark},         {W - 3, 0, kDark},  {W - 2, 0, kDialogColour},
    {0, 1, kDark},         {0, H - 3, kDark},     {0, H - 2, kDialogColour},
    {2, H - 1, kLight},    {W - 2, H - 1, kLight}, {W - 1, H - 1, kDialogColour}, {W - 1, 2, kLight},
    {3, 1, kBorder},       {W - 4, 1, kBorder},   {1, 3, kBorder},    {W - 2, H - 4, kBorder},
    {1, 1, kDark},         {W - 2, H - 2, kLight}, {1, 2, RGB(121, 149, 167)}, {W - 2, H - 3, RGB(106, 139, 162)},
};

// Row and column probes of each face from its ramps (x = 10 keeps clear of
// the caption and of the focus rectangle's row 3 and column W-4).
const std::vector<Probe> kNormal = {
    {10, 2, RGB(255, 255, 255)},
    {10, 10, RGB(255 - 15 * 8 / 15, 255 - 15 * 8 / 15, 255 - 21 * 8 / 15)},
    {2, 10, RGB(255 - 15 * 8 / 15, 255 - 15 * 8 / 15, 255 - 21 * 8 / 15)},
    {W - 4, 10, RGB(254 - 21 * 7 / 15, 254 - 23 * 7 / 15, 253 - 29 * 7 / 15)},
    {W - 3, 10, RGB(246 - 19 * 6 / 14, 244 - 18 * 6 / 14, 242 - 26 * 6 / 14)},
    {10, H - 3, RGB(214, 208, 197)}, {10, H - 4, RGB(226, 223, 214)}, {10, H - 5, RGB(236, 235, 230)},
    {2, 2, RGB(85, 125, 162)}, {3, 2, RGB(192, 207, 221)}, {W - 4, H - 3, RGB(177, 183, 182)},
};
const std::vector<Probe> kDefault = {
    {10, 2, RGB(206, 231, 255)}, {10, H - 3, RGB(105, 130, 238)}, {10, H - 5, RGB(236, 235, 230)},
    {10, 3, RGB(188, 212, 246)},
    {2, 10, RGB(188 - 51 * 7 / 16, 212 - 39 * 7 / 16, 246 - 18 * 7 / 16)},
    {W - 3, 10, RGB(188 - 51 * 7 / 16, 212 - 39 * 7 / 16, 246 - 18 * 7 / 16)},
    {10, H - 4, RGB(188 - 51 * 16 / 16, 212 - 39 * 16 / 16, 246 - 18 * 16 / 16)},
    {10, 10, RGB(252 - 12 * 6 / 13, 252 - 12 * 6 / 13, 251 - 17 * 6 / 13)},
    {2, 2, RGB(39, 77, 133)}, {3, 2, RGB(206, 231, 255)}, {W - 3, H - 3, RGB(39, 77, 133)},
};
const std::vector<Probe> kHot = {
    {10, 2, RGB(255, 240, 207)}, {10, H - 3, RGB(229, 151, 0)},
    {2, 10, RGB(253 - 5 * 7 / 16, 216 - 38 * 7 / 16, 137 - 89 * 7 / 16)},
    {10, 10, RGB(252 - 12 * 6 / 13, 252 - 12 * 6 / 13, 251 - 17 * 6 / 13)},
    {2, 2, RGB(141, 158, 161)}, {W - 3, H - 3, RGB(131, 132, 111)}, {2, H - 3, RGB(132, 134, 113)},
};
const std::vector<Probe> kPressed = {
    {10, 2, RGB(209, 204, 193)}, {10, H - 3, RGB(242, 241, 238)},
    {10, 4, RGB(229, 228, 221)},
    {10, 10, RGB(229 - 5 * 6 / 14, 228 - 4 * 6 / 14, 221 - 6 * 6 / 14)},
    {2, 10, RGB(218 - 4 * 6 / 14, 216 - 4 * 6 / 14, 207 - 6 * 6 / 14)},
    {W - 3, 10, RGB(230 - 4 * 6 / 14, 230 - 4 * 6 / 14, 225 - 7 * 6 / 14)},
    {2, 2, RGB(70, 109, 142)}, {3, 2, RGB(157, 168, 172)}, {3, H - 3, RGB(178, 193, 203)},
};
const std::vector<Probe> kDisabled = {
    {10, 10, RGB(245, 244, 234)}, {3, 1, RGB(201, 199, 186)}, {1, 3, RGB(201, 199, 186)},
    {1, 2, RGB(216, 213, 199)},   {2, 2, RGB(216, 214, 202)}, {3, 2, RGB(234, 233, 222)},
    {W - 3, H - 2, RGB(216, 213, 199)},
    // The outer ring keeps the background, at the four corners alike.
    {1, 1, kDialogColour}, {W - 2, 1, kDialogColour}, {1, H - 2, kDialogColour}, {W - 2, H - 2, kDialogColour},
    {0, 0, kDialogColour}, {W - 1, H - 1, kDialogColour},
};

void ExpectProbes(testing_support::ViewHarness &h, HWND w, const std::vector<Probe> &probes, const char *state) {
  for (const Probe &p : probes) EXPECT_EQ(h.Pixel(w, p.x, p.y), p.colour) << state << " at " << p.x << "," << p.y;
}

class XPButton : public ::testing::Test {
 protected:
  void SetUp() override {
    button = form.Add<TXPButton>(20, 20, W, H, "OK");
    button->Handle();
    h.Pump();
  }
  testing_support::ViewHarness h;
  xp_test::Form form{h};
  TXPButton *button = nullptr;
};

TEST_F(XPButton, EveryStateAtTheDialogColour) {
  HWND w = button->Handle();
  EXPECT_EQ(button->DrawState(), xpsNormal);
  ExpectProbes(h, w, kFrame, "normal");
  ExpectProbes(h, w, kNormal, "normal");

  button->SetDefault(true);
  h.Pump();
  EXPECT_EQ(button->DrawState(), xpsDefault);
  ExpectProbes(h, w, kFrame, "default");
  ExpectProbes(h, w, kDefault, "default");
  // The class library's default switching keeps the owner-drawn type.
  EXPECT_EQ(DWORD(GetWindowLongA(w, GWL_STYLE)) & 0x1F, DWORD(BS_OWNERDRAW));

  xp_test::Hover(h, w, 40, 10);
  EXPECT_EQ(button->DrawState(), xpsHot);  // hot wins over default
  ExpectProbes(h, w, kFrame, "hot");
  ExpectProbes(h, w, kHot, "hot");

  h.MouseDown(w, 40, 10);
  EXPECT_EQ(button->DrawState(), xpsPressed);
  ExpectProbes(h, w, kFrame, "pressed");
  ExpectProbes(h, w, kPressed, "pressed");
  h.MouseUp(w, 40, 10);

  button->SetEnabled(false);
  h.Pump();
  EXPECT_EQ(button->DrawState(), xpsDisabled);  // a disabled default button
  ExpectProbes(h, w, kDisabled, "disabled");
}

TEST_F(XPButton, FrameColoursFollowTheBackground) {
  form.form.SetColor(RGB(255, 255, 255));
  button->SetParentColor(true);
  h.Pump();
  HWND w = button->Handle();
  EXPECT_EQ(h.Pixel(w, 1, 1), RGB(243, 241, 240));
  EXPECT_EQ(h.Pixel(w, W - 2, H - 2), RGB(254, 254, 254));
  EXPECT_EQ(h.Pixel(w, 5, 0), RGB(243, 241, 240));
  EXPECT_EQ(h.Pixel(w, W - 1, 5), RGB(254, 254, 254));
}

TEST_F(XPButton, DragOutLooksHotAndDragInPressedAgain) {
  HWND w = button->Handle();
  int clicks = 0;
  button->OnClick = [&](TObject *) { ++clicks; };
  xp_test::Hover(h, w, 10, 10);
  EXPECT_TRUE(button->Hot());
  EXPECT_FALSE(button->Pressed());
  h.MouseDown(w, 10, 10);
  EXPECT_TRUE(button->Pressed());
  xp_test::Hover(h, w, 200, 10, MK_LBUTTON);  // out, still held
  EXPECT_EQ(button->DrawState(), xpsHot);
  EXPECT_EQ(h.Pixel(w, 10, 2), RGB(255, 240, 207));
  xp_test::Hover(h, w, 30, 12, MK_LBUTTON);  // back in
  EXPECT_EQ(button->DrawState(), xpsPressed);
  EXPECT_EQ(h.Pixel(w, 10, 2), RGB(209, 204, 193));
  h.MouseUp(w, 30, 12);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(button->DrawState(), xpsHot);

  xp_test::Leave(h, w);
  EXPECT_FALSE(button->Hot());
  EXPECT_EQ(button->DrawState(), xpsNormal);
}

TEST_F(XPButton, ADoubleClickIsTwoClicksEachPressed) {
  HWND w = button->Handle();
  int clicks = 0, doubles = 0;
  std::vector<TXPButtonState> seen;
  button->OnClick = [&](TObject *) { ++clicks; };
  button->OnDblClick = [&](TObject *) { ++doubles; };
  button->OnDrawCaption = [&](TObject *, HDC, RECT &) { seen.push_back(button->DrawState()); };
  xp_test::PointerAt(w, 10, 10);
  h.DoubleClick(w, 10, 10);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(doubles, 0);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), xpsPressed) >= 2, true);
}

TEST_F(XPButton, FocusRaisesEnterAndExitOnceMoreAtPaint) {
  HWND w = button->Handle();
  int enters = 0, exits = 0;
  button->OnEnter = [&](TObject *) { ++enters; };
  button->OnExit = [&](TObject *) { ++exits; };
  button->SetFocus();
  h.Pump();
  EXPECT_EQ(enters, 2);
  // The dotted focus rectangle (3, 3, W-3, H-3) is drawn by XOR over the face.
  EXPECT_NE(h.Pixel(w, 3, 3), RGB(255 - 15 / 15, 255 - 15 / 15, 255 - 21 / 15));
  form.holder->SetFocus();
  h.Pump();
  EXPECT_EQ(exits, 2);
  EXPECT_EQ(h.Pixel(w, 4, 3), RGB(255 - 15 / 15, 255 - 15 / 15, 255 - 21 / 15));
}

TEST_F(XPButton, CaptionHookGetsTheInnerRectangle) {
  RECT got{};
  HDC dc = nullptr;
  button->OnDrawCaption = [&](TObject *sender, HDC d, RECT &r) {
    EXPECT_EQ(sender, button);
    got = r;
    dc = d;
  };
  XPRepaint(button->Handle());
  EXPECT_EQ(got.left, 4);
  EXPECT_EQ(got.top, 4);
  EXPECT_EQ(got.right, W - 4);
  EXPECT_EQ(got.bottom, H - 4);
  EXPECT_NE(dc, nullptr);

  // Eight pixels wide or high leaves no room for a caption.
  int calls = 0;
  button->OnDrawCaption = [&](TObject *, HDC, RECT &) { ++calls; };
  for (auto [w, hh] : {std::pair{8, 23}, std::pair{75, 8}}) {
    button->SetBounds(20, 20, w, hh);
    h.Pump();
    XPRepaint(button->Handle());
  }
  EXPECT_EQ(calls, 0);
  button->SetBounds(20, 20, 9, 9);
  XPRepaint(button->Handle());
  EXPECT_EQ(calls, 1);
}

TEST_F(XPButton, ImageListLookDrawsTheStatesImage) {
  const COLORREF colours[] = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(90, 90, 90)};
  TImageList *images = xp_test::SolidImages(W, H, {colours[0], colours[1], colours[2], colours[3]});
  button->SetImages(images);
  button->SetImageHover(1);
  button->SetImageDown(2);
  button->SetImageDisable(3);
  HWND w = button->Handle();
  EXPECT_EQ(h.Pixel(w, 1, 1), colours[0]);
  xp_test::Hover(h, w, 5, 5);
  EXPECT_EQ(h.Pixel(w, 1, 1), colours[1]);
  h.MouseDown(w, 5, 5);
  EXPECT_EQ(h.Pixel(w, 1, 1), colours[2]);
  h.MouseUp(w, 5, 5);
  button->SetEnabled(false);
  EXPECT_EQ(h.Pixel(w, 1, 1), colours[3]);
  // A list that goes is dropped; the button draws its own look again.
  delete images;
  EXPECT_EQ(button->Images(), nullptr);
  XPRepaint(w);
  EXPECT_EQ(h.Pixel(w, 10, 10), RGB(245, 244, 234));
}

// ---- push radio buttons ---------------------------------------------------------------------
class XPPushRadio : public ::testing::Test {
 protected:
  void SetUp() override {
    a = form.Add<TXPPushRadioButton>(20, 20, 60, 21, "A");
    b = form.Add<TXPPushRadioButton>(90, 20, 60, 21, "B");
    a->Handle();
    b->Handle();
    h.Pump();
  }
  testing_support::ViewHarness h;
  xp_test::Form form{h};
  TXPPushRadioButton *a = nullptr, *b = nullptr;
};

TEST_F(XPPushRadio, TheCheckedButtonLooksPressedWithoutAFocusRectangle) {
  const COLORREF pressedTop = RGB(209, 204, 193), normalTop = RGB(255, 255, 255);
  EXPECT_EQ(h.Pixel(a->Handle(), 10, 2), normalTop);
  h.Click(a->Handle(), 10, 10);
  EXPECT_TRUE(a->Checked());
  EXPECT_EQ(a->DrawState(), xpsPressed);
  // Pressed whatever the mouse does, and never a focus rectangle on row 3.
  xp_test::Hover(h, a->Handle(), 10, 10);
  xp_test::Leave(h, a->Handle());
  EXPECT_EQ(a->DrawState(), xpsPressed);
  EXPECT_EQ(h.Pixel(a->Handle(), 10, 2), pressedTop);
  EXPECT_EQ(h.Pixel(a->Handle(), 4, 3), RGB(220, 216, 207));
  EXPECT_EQ(h.Pixel(a->Handle(), 5, 3), RGB(220, 216, 207));

  // Checking the other repaints both.
  h.Click(b->Handle(), 10, 10);
  xp_test::Leave(h, b->Handle());
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(h.Pixel(a->Handle(), 10, 2), normalTop);
  EXPECT_EQ(h.Pixel(b->Handle(), 10, 2), pressedTop);
}

}  // namespace
