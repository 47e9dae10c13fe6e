#include <gtest/gtest.h>

#include "core/xppagecontrol.h"
#include "core/xptabcontrol.h"
#include "core/xptabpaint.h"
#include "platform/gdi.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "testing/host_pointer.h"
#include "testing/view_harness.h"

namespace {

constexpr COLORREF kPageFrame = RGB(145, 155, 156), kTabOutline = RGB(145, 167, 180);
constexpr COLORREF kHotTop = RGB(230, 139, 44), kHotBand = RGB(255, 199, 60);
constexpr COLORREF kCornerLight = RGB(227, 233, 236), kCornerHot = RGB(249, 185, 56);
constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST(XPTabs, BlendOfTheOuterLines) {
  struct Case {
    COLORREF parent, outer, inner;
  } cases[] = {
      {RGB(236, 233, 216), RGB(222, 221, 207), RGB(205, 207, 196)},
      {RGB(255, 255, 255), RGB(238, 240, 240), RGB(218, 221, 222)},
      {RGB(0, 0, 0), RGB(123, 131, 132), RGB(96, 103, 104)},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(xptabs::Blend(c.parent, kPageFrame, 17, 20), c.outer) << std::hex << c.parent;
    EXPECT_EQ(xptabs::Blend(c.parent, kPageFrame, 2, 3), c.inner) << std::hex << c.parent;
  }
}

class XPTabControl : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 320, 200);
    form.SetColor(kParent);
    tabs = new TXPTabControl(&form);
    tabs->SetParent(&form);
    tabs->SetBounds(10, 10, 240, 120);
    tabs->TabWidth = 50;
    tabs->TabHeight = 20;
    for (const char *t : {"one", "two", "three"}) tabs->Tabs()->Add(t);
    tabs->SetTabIndex(1);
    form.Show();
    h.Pump();
  }
  COLORREF At(int x, int y) { return h.Pixel(tabs->Handle(), x, y); }
  static constexpr COLORREF kParent = RGB(236, 233, 216);
  testing_support::ScopedHostPointer pointer;
  testing_support::ViewHarness h;
  TForm form{nullptr};
  TXPTabControl *tabs = nullptr;
};

TEST_F(XPTabControl, PageFrameAndOuterLines) {
  const int W = 240, H = 120, tb = tabs->TabRect(0).Bottom;
  EXPECT_EQ(tabs->Color(), clWhite);
  EXPECT_EQ(At(200, 1), kParent);  // the strip right of the tabs
  EXPECT_EQ(At(W - 3, 60), kPageFrame);
  EXPECT_EQ(At(0, 60), kPageFrame);
  EXPECT_EQ(At(100, H - 3), kPageFrame);
  EXPECT_EQ(At(200, tb), kPageFrame);
  EXPECT_EQ(At(W - 1, 60), RGB(222, 221, 207));
  EXPECT_EQ(At(100, H - 1), RGB(222, 221, 207));
  EXPECT_EQ(At(W - 2, 60), RGB(205, 207, 196));
  EXPECT_EQ(At(100, H - 2), RGB(205, 207, 196));
  EXPECT_EQ(At(100, 60), kWhite);
}

TEST_F(XPTabControl, UnselectedAndSelectedTabs) {
  TRect r0 = tabs->TabRect(0);
  const int L = r0.Left, T = r0.Top, R = r0.Right, B = r0.Bottom;
  // An unselected tab: outline, corner blends, white inside.
  EXPECT_EQ(At(L, B - 1), kTabOutline);
  EXPECT_EQ(At(L + 10, T + 1), kTabOutline);
  EXPECT_EQ(At(R - 3, B - 1), kWhite);  // the selected tab's left side is at R - 2
  EXPECT_EQ(At(L, T + 1), kParent);
  EXPECT_EQ(At(L + 1, T + 1), xptabs::Blend(kParent, kTabOutline, 2, 3));
  EXPECT_EQ(At(L + 2, T + 1), xptabs::Blend(kParent, kTabOutline, 1, 3));
  EXPECT_EQ(At(L + 2, T + 2), kCornerLight);
  EXPECT_EQ(At(R - 3, T + 3), kCornerLight);
  TRect r2 = tabs->TabRect(2);
  EXPECT_EQ(At(r2.Right - 2, r2.Bottom - 1), kTabOutline);
  EXPECT_EQ(At(r2.Right - 1, r2.Top + 5), kParent);

  // The selected tab, two pixels wider to the left and one higher.
  TRect r1 = tabs->TabRect(1);
  const int l = r1.Left - 2, t = r1.Top - 1, rr = r1.Right, b = r1.Bottom;
  EXPECT_EQ(At(l + 3, t), kHotTop);
  EXPECT_EQ(At(rr - 3, t), kHotTop);
  EXPECT_EQ(At(l + 3, t + 1), kHotBand);
  EXPECT_EQ(At(rr - 2, t + 2), kHotBand);
  EXPECT_EQ(At(l, t), kParent);
  EXPECT_EQ(At(rr, t), kParent);
  EXPECT_EQ(At(l + 1, t), xptabs::Blend(kParent, kHotTop, 2, 3));
  EXPECT_EQ(At(rr, t + 2), xptabs::Blend(kParent, kHotTop, 1, 3));
  EXPECT_EQ(At(l + 2, t + 1), kCornerHot);
  EXPECT_EQ(At(rr - 1, t + 2), kCornerHot);
  EXPECT_EQ(At(l, b - 1), kPageFrame);
  EXPECT_EQ(At(rr, b - 1), kPageFrame);
  // Its white covers the page frame's top line under it.
  EXPECT_EQ(At(l + 10, b), kWhite);
}

TEST_F(XPTabControl, TheTabUnderThePointerIsHotAtTheNextPaint) {
  TRect r2 = tabs->TabRect(2);
  const int L = r2.Left, T = r2.Top, R = r2.Right;
  EXPECT_EQ(At(L + 10, T + 1), kTabOutline);
  pointer.At(tabs->Handle(), L + 10, T + 8);
  EXPECT_EQ(At(L + 10, T + 1), kTabOutline);  // no repaint yet
  tabs->Invalidate();
  EXPECT_EQ(At(L + 10, T + 1), kHotTop);
  EXPECT_EQ(At(L + 10, T + 2), kHotBand);
  EXPECT_EQ(At(L + 10, T + 3), kHotBand);
  EXPECT_EQ(At(R - 2, T + 5), kTabOutline);
  EXPECT_EQ(At(L + 1, T + 1), xptabs::Blend(kParent, kHotTop, 2, 3));
  EXPECT_EQ(At(R - 4, T + 2), kCornerHot);
}

TEST_F(XPTabControl, TabClickingFollowsPressesOnTabs) {
  EXPECT_EQ(tabs->TabClicking(), -1);
  TRect r2 = tabs->TabRect(2);
  h.Click(tabs->Handle(), r2.Left + 5, r2.Top + 5);
  EXPECT_EQ(tabs->TabClicking(), 2);
  h.Click(tabs->Handle(), 220, r2.Top + 5);  // right of the last tab
  EXPECT_EQ(tabs->TabClicking(), 2);
  h.Click(tabs->Handle(), r2.Left + 5, 80);  // below the strip
  EXPECT_EQ(tabs->TabClicking(), 2);
  TRect r0 = tabs->TabRect(0);
  h.Click(tabs->Handle(), r0.Left, r0.Top);
  EXPECT_EQ(tabs->TabClicking(), 0);
}

TEST_F(XPTabControl, WithoutTabsOnePlainArea) {
  tabs->Tabs()->Clear();
  tabs->Invalidate();
  for (POINT p : {POINT{0, 0}, POINT{120, 60}, POINT{239, 119}}) EXPECT_EQ(At(p.x, p.y), kParent);
}

// Controls without a window placed on the tabs (a dialog's labels) are
// drawn over the page.
TEST_F(XPTabControl, GraphicChildrenAreDrawnOverThePage) {
  auto *box = new TPaintBox(&form);
  box->SetParent(tabs);
  box->SetBounds(40, 50, 30, 20);
  box->OnPaint = [box](TObject *) {
    box->Canvas()->Brush()->SetColor(TColor(RGB(200, 0, 0)));
    box->Canvas()->FillRect(TRect(0, 0, 30, 20));
  };
  tabs->Invalidate();
  EXPECT_EQ(At(55, 60), RGB(200, 0, 0));
  EXPECT_EQ(At(100, 60), kWhite);
}

TEST(XPPageControl, PaintsTheSameWay) {
  testing_support::ScopedHostPointer pointer;
  testing_support::ViewHarness h;
  TForm form{nullptr};
  form.SetBounds(0, 0, 320, 200);
  form.SetColor(RGB(255, 255, 255));
  auto *pages = new TXPPageControl(&form);
  pages->SetParent(&form);
  pages->SetBounds(0, 0, 200, 100);
  pages->TabHeight = 20;
  for (const char *t : {"a", "b"}) {
    auto *sheet = new TTabSheet(&form);
    sheet->SetPageControl(pages);
    sheet->SetCaption(t);
  }
  pages->SetActivePageIndex(0);
  form.Show();
  h.Pump();
  TRect r = pages->TabRect(0);
  EXPECT_EQ(h.Pixel(pages->Handle(), r.Left + 1, r.Top - 1), kHotTop);
  EXPECT_EQ(h.Pixel(pages->Handle(), 199, 99), RGB(238, 240, 240));
  EXPECT_EQ(h.Pixel(pages->Handle(), 198, 50), RGB(218, 221, 222));
}

}  // namespace
