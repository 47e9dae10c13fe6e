#include <gtest/gtest.h>

#include "core/kivoscrollbar.h"
#include "core/msgdrawgrid.h"
#include "core/ownerdrawpanel.h"
#include "core/xpdraw.h"
#include "core/xplistview.h"
#include "core/xppagecontrol.h"
#include "core/xpstringgrid.h"
#include "core/xptabcontrol.h"
#include "core/xpupdown.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "testing/view_harness.h"
#include "tests/core/xp_test_support.h"

namespace {

constexpr COLORREF kFrame = RGB(127, 157, 185);
constexpr COLORREF kWhite = RGB(255, 255, 255);


class XPListView : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 320, 240);
    list = new TXPListView(&form);
    list->SetParent(&form);
    list->SetBounds(0, 0, 302, 202);
    form.Show();
    h.Pump();
    header = list->HeaderHandle();
    xp_test::OldHeaderProc() = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&xp_test::FlatHeaderProc)));
  }
  void TearDown() override { SetWindowLongPtrA(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(xp_test::OldHeaderProc())); }
  void AddColumns() {
    for (int w : {60, 80}) {
      TListColumn *c = list->Columns()->Add();
      c->SetCaption("Col");
      c->SetWidth(w);
    }
    for (int i = 0; i < 40; ++i) list->Items()->Add()->SetCaption("row " + std::to_string(i));
    h.Pump();
  }
  testing_support::ViewHarness h;
  TForm form{nullptr};
  TXPListView *list = nullptr;
  HWND header = nullptr;
};

TEST_F(XPListView, HeaderWithoutItemsIsWhiteWithItsBottomLine) {
  InvalidateRect(header, nullptr, TRUE);
  RECT r;
  GetClientRect(header, &r);
  ASSERT_GT(r.bottom, 2);
  for (int x : {0, 50, int(r.right) - 1}) {
    EXPECT_EQ(h.Pixel(header, x, 0), kWhite) << x;
    EXPECT_EQ(h.Pixel(header, x, r.bottom - 2), kWhite) << x;
    EXPECT_EQ(h.Pixel(header, x, r.bottom - 1), kFrame) << x;
  }
}

TEST_F(XPListView, HeaderSeparatorsAtEachItemsRightEdge) {
  AddColumns();
  InvalidateRect(header, nullptr, TRUE);
  RECT r;
  GetClientRect(header, &r);
  for (int x : {60, 140}) {
    EXPECT_EQ(h.Pixel(header, x, 0), kFrame) << x;
    EXPECT_EQ(h.Pixel(header, x, r.bottom / 2), kFrame) << x;
    EXPECT_EQ(h.Pixel(header, x - 1, r.bottom / 2), kWhite) << x;
    EXPECT_EQ(h.Pixel(header, x + 1, r.bottom / 2), kWhite) << x;
  }
  EXPECT_EQ(h.Pixel(header, 200, r.bottom - 1), kFrame);
}

// A stand-in header that reports the formats a test sets, for alignment.
std::vector<int> g_formats;
LRESULT FakeHeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case HDM_GETITEMCOUNT: return LRESULT(g_formats.size());
    case HDM_GETITEMA: {
      auto *item = reinterpret_cast<HDITEMA *>(lParam);
      item->fmt = g_formats[wParam];
      if (item->pszText) std::strcpy(item->pszText, "II");
      return 1;
    }
    case HDM_GETITEMRECT: *reinterpret_cast<RECT *>(lParam) = RECT{int(wParam) * 100, 0, int(wParam) * 100 + 100, 20};
      return 1;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

TEST(XPListViewHeader, OnlyAPlainFormatAligns) {
  testing_support::ViewHarness h;
  WNDCLASSA wc{};
  wc.lpfnWndProc = &FakeHeaderProc;
  wc.lpszClassName = "FakeFlatHeader";
  RegisterClassA(&wc);
  HWND fake = CreateWindowExA(0, "FakeFlatHeader", "", WS_POPUP, 0, 0, 400, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(fake, nullptr);
  g_formats = {HDF_LEFT, HDF_CENTER, HDF_RIGHT, HDF_CENTER | HDF_STRING};
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 400, 20);
  HGDIOBJ old = SelectObject(dc, bitmap);
  TXPListView::OnHeaderEraseBkgnd(fake, dc);
  TXPListView::OnHeaderPaint(fake, dc);
  // Where the ink of each caption begins within its item.
  std::vector<int> starts;
  for (int i = 0; i < 4; ++i) {
    int first = -1;
    for (int x = i * 100 + 1; x < i * 100 + 100 && first < 0; ++x)
      for (int y = 0; y < 18; ++y)
        if (GetPixel(dc, x, y) != kWhite) {
          first = x - i * 100;
          break;
        }
    starts.push_back(first);
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  DestroyWindow(fake);
  EXPECT_GE(starts[0], 6);
  EXPECT_LT(starts[0], 12);
  EXPECT_GT(starts[1], 35);
  EXPECT_LT(starts[1], 60);
  EXPECT_GT(starts[2], 70);
  EXPECT_EQ(starts[3], starts[0]);  // a string flag besides "centre": left
}

TEST_F(XPListView, ScrollHandlersMayStopTheScroll) {
  AddColumns();
  bool keep = true;
  std::vector<std::pair<uint32_t, int>> seen;  // code and the top row at the time
  list->OnVScroll = [&](uint32_t code, uint32_t, HWND, bool *handled) {
    EXPECT_FALSE(*handled);
    seen.push_back({code, list->TopIndex()});
    *handled = keep;
  };
  SendMessageA(list->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(list->TopIndex(), 0);
  keep = false;
  SendMessageA(list->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(list->TopIndex(), 1);
  EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, int>>{{SB_LINEDOWN, 0}, {SB_LINEDOWN, 0}}));
  uint32_t hcode = 0, hpos = 0;
  list->OnHScroll = [&](uint32_t code, uint32_t pos, HWND, bool *) {
    hcode = code;
    hpos = pos;
  };
  SendMessageA(list->Handle(), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 7), 0);
  EXPECT_EQ(hcode, uint32_t(SB_THUMBPOSITION));
  EXPECT_EQ(hpos, 7u);
}

TEST_F(XPListView, ExtendedStylesOnceAtTheFirstFramePaintAndTheFlatFrame) {
  // The platform answers as version 5, so flat scroll bars come too.
  const DWORD added = LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_FLATSB;
  EXPECT_EQ(list->ExtendedStyle(), added);
  EXPECT_NE(GetWindowLongA(list->Handle(), GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
  EXPECT_EQ(GetWindowLongA(list->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_EQ(xp_test::FramePixel(list->Handle(), 0, 0), kFrame);
  EXPECT_EQ(xp_test::FramePixel(list->Handle(), 301, 201), kFrame);
  // Styles that code sets afterwards stay as set.
  SendMessageA(list->Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP, 0);
  SendMessageA(list->Handle(), WM_NCPAINT, 1, 0);
  EXPECT_EQ(list->ExtendedStyle(), added & ~DWORD(LVS_EX_HEADERDRAGDROP));

  // A new list has none of them until its border is first painted; what
  // code set before is kept beside them.
  auto *fresh = new TXPListView(&form);
  fresh->SetParent(&form);
  fresh->SetBounds(10, 210, 100, 20);
  SendMessageA(fresh->Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, LVS_EX_GRIDLINES);
  EXPECT_EQ(fresh->ExtendedStyle(), DWORD(LVS_EX_GRIDLINES));
  h.Pump();
  EXPECT_EQ(fresh->ExtendedStyle(), added | LVS_EX_GRIDLINES);
}

TEST(XPControlsPalette, EveryUnitRegistersItsClass) {
  xpupdown::Register();
  msgdrawgrid::Register();
  kivoscrollbar::Register();
  ownerdrawpanel::Register();
  xplistview::Register();
  xppagecontrol::Register();
  xptabcontrol::Register();
  xpstringgrid::Register();
  for (const char *name : {"TXPUpDown", "TMsgDrawGrid", "TKivoScrollBar", "TOwnerDrawPanel", "TXPListView",
                           "TXPPageControl", "TXPTabControl", "TXPStringGrid"})
    EXPECT_TRUE(IsComponentRegistered("KV Controls", name)) << name;
}

TEST_F(XPListView, DoubleClickReportsThePosition) {
  AddColumns();
  std::vector<std::pair<int, int>> clicks;
  list->OnLButtonDblClk = [&](int32_t x, int32_t y) { clicks.push_back({x, y}); };
  h.DoubleClick(list->Handle(), 30, 40);
  EXPECT_EQ(clicks, (std::vector<std::pair<int, int>>{{30, 40}}));
}

}  // namespace
