// Writes sheets of the toolkit's controls in their states under
// <build>/pictures/, for a person to look at.
#include <gtest/gtest.h>

#include <QImage>

#include "core/chartgfx.h"
#include "core/emenubar.h"
#include "core/etooltip.h"
#include "core/ewnd.h"
#include "core/kivotabset.h"
#include "core/kvpagetab.h"
#include "core/skinmenu.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "testing/skin_fixture.h"
#include "testing/view_harness.h"

namespace {

using testing_support::PictureSheet;
using testing_support::ViewHarness;

struct Plain : EWnd {
  std::function<void()> onApp;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP && onApp) onApp();
    return EWnd::WindowProc(message, wParam, lParam);
  }
};

HBITMAP Ramp(int w, int h, COLORREF a, COLORREF b) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  int stride = ((w * 24 + 31) / 32) * 4;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char *p = static_cast<unsigned char *>(bits) + y * stride + x * 3;
      auto mix = [&](int ca, int cb) { return BYTE(ca + (cb - ca) * x / std::max(1, w - 1)); };
      p[0] = mix(GetBValue(a), GetBValue(b));
      p[1] = mix(GetGValue(a), GetGValue(b));
      p[2] = mix(GetRValue(a), GetRValue(b));
    }
  return bitmap;
}

TEST(ToolkitSheet, EveryControlInItsStates) {
  ViewHarness h;
  PictureSheet sheet(3);

  // Tool tips.
  {
    Plain parent;
    ASSERT_TRUE(parent.Create(0, WS_POPUP | WS_VISIBLE, 0, 0, 200, 80, nullptr));
    EToolTip tip(parent.m_hWnd);
    tip.Show(POINT{4, 4}, "Tool tip", nullptr);
    h.Pump();
    sheet.Add("tool tip", h.Render(tip.m_hWnd));
    tip.Show(POINT{4, 4}, "Open 3712\r\nHigh 3750\r\nLow 3698", nullptr);
    h.Pump();
    sheet.Add("tool tip, three lines", h.Render(tip.m_hWnd));
  }

  // Menu bar: plain, hot item, maximised, narrow.
  {
    skin_fixture::SkinSandbox sandbox;
    sandbox.WriteDefaults(1, 1);
    sandbox.WriteSkin(skin_fixture::SkinLook{});
    TMainMenu menu(nullptr);
    for (const char *caption : {"系统", "行情", "分析", "特色功能", "帮助"}) {
      auto *item = new TMenuItem(nullptr);
      item->Caption = caption;
      menu.Items()->Add(item);
    }
    Plain main, panel;
    ASSERT_TRUE(main.Create(0, WS_POPUP | WS_VISIBLE, 0, 0, 640, 200, nullptr));
    ASSERT_TRUE(panel.Create(0, WS_CHILD | WS_VISIBLE, 0, 0, 640, 30, main.m_hWnd));
    EMenuBar bar(&menu, skin_fixture::SkinSandbox::UserFolder());
    bar.m_hLeft = Ramp(120, 30, RGB(20, 60, 120), RGB(60, 110, 170));
    bar.m_hRight = Ramp(200, 30, RGB(120, 150, 200), RGB(30, 70, 130));
    bar.m_hMinimize = Ramp(16, 14, RGB(0, 128, 0), RGB(0, 200, 0));
    bar.m_hMaximize = Ramp(16, 14, RGB(0, 0, 160), RGB(0, 0, 240));
    bar.m_hRestore = Ramp(16, 14, RGB(160, 160, 0), RGB(240, 240, 0));
    bar.m_hClose = Ramp(16, 14, RGB(160, 0, 0), RGB(240, 0, 0));
    bar.m_menuText = RGB(255, 255, 255);
    bar.m_highlightText = RGB(255, 255, 0);
    bar.m_hotFill = RGB(200, 220, 250);
    bar.m_hotBorder = RGB(0, 40, 120);
    bar.m_captionText = RGB(255, 255, 255);
    ASSERT_TRUE(bar.Create(0, WS_CHILD | WS_VISIBLE, 0, 0, 640, 30, panel.m_hWnd));
    bar.LayoutItems();
    bar.SetCaption("Kivo");
    h.Pump();
    sheet.Add("menu bar", h.Render(bar.m_hWnd));
    RECT r = bar.m_rects.GetAt(1);
    SendMessageA(bar.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(r.left + 3, 10));
    h.Pump();
    sheet.Add("menu bar, hot item", h.Render(bar.m_hWnd));
    SetWindowLongA(main.m_hWnd, GWL_STYLE, GetWindowLongA(main.m_hWnd, GWL_STYLE) | WS_MAXIMIZE);
    SendMessageA(bar.m_hWnd, WM_MOUSELEAVE, 0, 0);
    InvalidateRect(bar.m_hWnd, nullptr, FALSE);
    h.Pump();
    sheet.Add("menu bar, maximised", h.Render(bar.m_hWnd));
    SetWindowPos(bar.m_hWnd, nullptr, 0, 0, 420, 30, SWP_NOMOVE | SWP_NOZORDER);
    h.Pump();
    sheet.Add("menu bar, narrow", h.Render(bar.m_hWnd));
    for (HBITMAP b : {bar.m_hLeft, bar.m_hRight, bar.m_hMinimize, bar.m_hMaximize, bar.m_hRestore, bar.m_hClose})
      DeleteObject(b);
  }

  // Skinned popup menu with a selection and an open submenu.
  {
    InstallMenuSkinHook();
    Plain owner;
    ASSERT_TRUE(owner.Create(0, WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr));
    HMENU menu = CreatePopupMenu(), sub = CreatePopupMenu();
    AppendMenuA(sub, MF_STRING, 21, "日线");
    AppendMenuA(sub, MF_STRING, 22, "周线");
    AppendMenuA(menu, MF_STRING, 11, "分时图");
    AppendMenuA(menu, MF_STRING | MF_CHECKED, 12, "K线图");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | MF_GRAYED, 13, "不可用");
    AppendMenuA(menu, MF_POPUP, UINT_PTR(sub), "周期");
    int step = 0;
    owner.onApp = [&] {
      CSkinMenu *skin = CSkinMenu::FromMenu(menu);
      if (skin == nullptr) {
        ADD_FAILURE() << "the popup menu is not skinned";
        EndMenu();
        return;
      }
      HWND shown = skin->m_hWnd;
      if (step++ == 0) {
        SendMessageA(shown, MN_SELECTITEM, 1, 0);
        h.Pump();
        sheet.Add("popup menu, selection", h.Render(shown));
        SendMessageA(shown, MN_SELECTITEM, 4, 0);
        PostMessageA(shown, WM_KEYDOWN, VK_RIGHT, 0);
        PostMessageA(owner.m_hWnd, WM_APP, 0, 0);
        return;
      }
      h.Pump();
      sheet.Add("popup menu, open submenu", h.Render(shown));
      if (CSkinMenu *child = CSkinMenu::FromMenu(sub)) sheet.Add("popup submenu", h.Render(child->m_hWnd));
      EndMenu();
    };
    PostMessageA(owner.m_hWnd, WM_APP, 0, 0);
    TrackPopupMenu(menu, TPM_RETURNCMD, 100, 100, 0, owner.m_hWnd, nullptr);
    DestroyMenu(menu);
  }

  // Sloped page tabs and the owner-drawn tab set.
  {
    TForm form(nullptr);
    form.SetBounds(0, 0, 420, 200);
    auto *tabs = new TKVPageTab(&form);
    tabs->SetParent(&form);
    tabs->SetBounds(0, 0, 300, 24);
    for (const char *t : {"上证指数", "深证成指", "沪深300", "商品期货", "外汇"}) tabs->AddTitle(t);
    auto *set = new TKivoTabSet(&form);
    set->SetParent(&form);
    set->SetBounds(0, 40, 200, 20);
    for (const char *t : {"全部", "自选", "期货主力", "股指期货"}) set->Tabs.Add(t);
    set->SetTabIndex(1);
    form.Show();
    h.Pump();
    sheet.Add("page tabs, plain", h.Render(tabs));
    sheet.Add("tab set, plain", h.Render(set));
    tabs->SetActiveTabItem(3);
    h.Pump();
    sheet.Add("page tabs, scrolled to the fourth", h.Render(tabs));
    tabs->SetSlope(0);
    tabs->SetActiveTabItem(1);
    h.Pump();
    sheet.Add("page tabs, slope 0", h.Render(tabs));
    set->OnDrawBackGround = [](TObject *, HDC dc, RECT *r) {
      TRIVERTEX v[2] = {{r->left, r->top, 0x1000, 0x3000, 0x6000, 0}, {r->right, r->bottom, 0x6000, 0x9000, 0xC000, 0}};
      GRADIENT_RECT g{0, 1};
      GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
    };
    set->OnDrawItem = [](TObject *, HDC dc, RECT *r, const std::string &caption, bool selected, bool hot) {
      if (selected || hot) {
        HBRUSH b = CreateSolidBrush(selected ? RGB(255, 255, 255) : RGB(255, 230, 150));
        FillRect(dc, r, b);
        DeleteObject(b);
      }
      SetTextColor(dc, selected || hot ? RGB(0, 0, 0) : RGB(255, 255, 255));
      RECT t = *r;
      DrawTextA(dc, caption.c_str(), int(caption.size()), &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    };
    set->Invalidate();
    h.Pump();
    sheet.Add("tab set, owner-drawn, scroll buttons", h.Render(set));
    h.MouseMove(set->Handle(), 192, 5);
    sheet.Add("tab set, \">\" hot", h.Render(set));
  }

  // Anti-aliased lines into an off-screen bitmap.
  {
    EDibBitmap dib;
    dib.Create(nullptr, 160, 90);
    for (int y = 0; y < 90; ++y)
      for (int x = 0; x < 160; ++x) {
        unsigned char *p = dib.m_pBits + x * 3 + (89 - y) * dib.m_stride;
        bool green = x >= 80;
        p[0] = 255 * !green, p[1] = 255, p[2] = 255 * !green;
      }
    for (int k = 0; k < 8; ++k) {
      DrawLineAADib(&dib, 5, 5 + k * 10, 75, 10 + k * 7, RGB(0, 0, 0));
      DrawLineAADib(&dib, 85, 5 + k * 10, 155, 10 + k * 7, RGB(255, 0, 0));
    }
    DrawLineAADib(&dib, 40, 85, 50, 2, RGB(0, 0, 200));
    QImage image(160, 90, QImage::Format_RGB32);
    for (int y = 0; y < 90; ++y)
      for (int x = 0; x < 160; ++x) {
        const unsigned char *p = dib.m_pBits + x * 3 + (89 - y) * dib.m_stride;
        image.setPixel(x, y, qRgb(p[2], p[1], p[0]));
      }
    sheet.Add("anti-aliased lines", image.scaled(320, 180));
  }

  std::string path = h.SavePng(sheet.Compose(), "toolkit_controls");
  EXPECT_FALSE(path.empty());
}

}  // namespace
