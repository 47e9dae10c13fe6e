#include <gtest/gtest.h>

#include "core/ownerdrawpanel.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "testing/view_harness.h"
#include "tests/core/xp_test_support.h"

namespace {

class OwnerDrawPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 200, 120);
    panel = new TOwnerDrawPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(10, 10, 60, 40);
    panel->SetColor(RGB(10, 120, 200));
    panel->SetCaption("caption");
    form.Show();
    h.Pump();
  }
  testing_support::ViewHarness h;
  TForm form{nullptr};
  TOwnerDrawPanel *panel = nullptr;
};

TEST_F(OwnerDrawPanel, WithoutOnDrawItFillsItsColourOnly) {
  HWND w = panel->Handle();
  for (POINT p : {POINT{0, 0}, POINT{59, 39}, POINT{30, 20}, POINT{1, 38}})
    EXPECT_EQ(h.Pixel(w, p.x, p.y), RGB(10, 120, 200)) << p.x << "," << p.y;
}

TEST_F(OwnerDrawPanel, OnDrawPaintsTheWholePanel) {
  RECT seen{};
  panel->OnDraw = [&](TObject *, HDC dc, RECT *r) {
    seen = *r;
    FillRect(dc, r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  };
  panel->Invalidate();
  h.Pump();
  EXPECT_EQ(seen.right, 60);
  EXPECT_EQ(seen.bottom, 40);
  EXPECT_EQ(h.Pixel(panel->Handle(), 0, 0), RGB(0, 0, 0));
}

TEST_F(OwnerDrawPanel, APictureOfTheWindowHoldsItsPainting) {
  const COLORREF colour = RGB(10, 120, 200);
  EXPECT_EQ(xp_test::PicturePixels(panel, {{0, 0}, {30, 20}}), (std::vector<COLORREF>{colour, colour}));
  panel->OnDraw = [&](TObject *, HDC dc, RECT *r) {
    FillRect(dc, r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  };
  EXPECT_EQ(xp_test::PicturePixels(panel, {{0, 0}, {59, 39}}), (std::vector<COLORREF>{RGB(0, 0, 0), RGB(0, 0, 0)}));
}

TEST_F(OwnerDrawPanel, MessagesGoToTheEvents) {
  int clicks = 0;
  std::vector<std::pair<int, int>> downs;
  panel->OnClick = [&](TObject *) { ++clicks; };
  h.Click(panel->Handle(), 5, 6);
  EXPECT_EQ(clicks, 1);  // no event: the panel's own click
  panel->OnLButtonDown = [&](TObject *, int32_t x, int32_t y) { downs.push_back({x, y}); };
  h.Click(panel->Handle(), 5, 6);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(downs, (std::vector<std::pair<int, int>>{{5, 6}}));

  panel->OnNcHittest = [](TObject *, int32_t x, int32_t y, int32_t *result) { *result = x > 30 ? 2 : HTCLIENT; };
  EXPECT_EQ(SendMessageA(panel->Handle(), WM_NCHITTEST, 0, MAKELPARAM(40, 3)), LRESULT(2));

  int hitTest = -1;
  panel->OnSetCursor = [&](TObject *, int32_t code, bool *handled) {
    hitTest = code;
    *handled = code == HTCLIENT;
  };
  EXPECT_EQ(SendMessageA(panel->Handle(), WM_SETCURSOR, WPARAM(panel->Handle()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
  EXPECT_EQ(hitTest, int(HTCLIENT));

  panel->OnGetMinMaxInfo = [](TObject *, MINMAXINFO *info) { info->ptMinTrackSize = POINT{77, 66}; };
  MINMAXINFO info{};
  SendMessageA(panel->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 77);
}

}  // namespace
