#include <gtest/gtest.h>

#include <vector>

#include "core/emenubar.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "classlib/menus.h"
#include "platform/winuser.h"
#include "testing/image_capture.h"
#include "testing/skin_fixture.h"

namespace {

using testing_support::WindowPixel;

// The main window records what the bar posts to it.
struct MainWindow : EWnd {
  std::vector<std::pair<UINT, WPARAM>> posted;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SYSCOMMAND || message == WM_START_SERVICE_CLIENT) {
      posted.push_back({message, wParam});
      return 0;
    }
    return EWnd::WindowProc(message, wParam, lParam);
  }
};
struct Panel : EWnd {};

// A bitmap of one colour, or of a colour per column.
HBITMAP Bitmap(int w, int h, COLORREF (*pixel)(int x)) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void *bits = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  int stride = ((w * 24 + 31) / 32) * 4;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char *p = static_cast<unsigned char *>(bits) + y * stride + x * 3;
      COLORREF c = pixel(x);
      p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
    }
  return b;
}

constexpr COLORREF kLeftEnd = RGB(200, 40, 10);
constexpr COLORREF kRightStart = RGB(10, 90, 250);

class MenuBar : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.WriteDefaults(1, 1);
    skin_fixture::SkinLook skin;
    skin.menuBarMargin = 4;
    sandbox.WriteSkin(skin);
    for (const char *caption : {"File", "View", "特色功能", "Help"}) {
      auto *item = new TMenuItem(nullptr);
      item->Caption = caption;
      menu.Items()->Add(item);
      top.push_back(item);
    }
    ASSERT_TRUE(main.Create(0, WS_POPUP | WS_VISIBLE, 50, 40, 800, 600, nullptr));
    ASSERT_TRUE(panel.Create(0, WS_CHILD | WS_VISIBLE, 0, 0, 800, 30, main.m_hWnd));
    bar = std::make_unique<EMenuBar>(&menu, skin_fixture::SkinSandbox::UserFolder());
    bar->m_hLeft = Bitmap(40, 30, [](int x) { return x == 39 ? kLeftEnd : RGB(0, 0, 0); });
    bar->m_hRight = Bitmap(200, 30, [](int x) { return x == 0 ? kRightStart : RGB(0, 0, 0); });
    bar->m_hMinimize = Bitmap(16, 14, [](int) { return RGB(0, 128, 0); });
    bar->m_hMaximize = Bitmap(16, 14, [](int) { return RGB(0, 0, 200); });
    bar->m_hRestore = Bitmap(16, 14, [](int) { return RGB(200, 200, 0); });
    bar->m_hClose = Bitmap(16, 14, [](int) { return RGB(200, 0, 0); });
    ASSERT_TRUE(bar->Create(0, WS_CHILD | WS_VISIBLE, 0, 0, 800, 30, panel.m_hWnd));
    bar->LayoutItems();
  }
  void TearDown() override {
    for (HBITMAP b : {bar->m_hLeft, bar->m_hRight, bar->m_hMinimize, bar->m_hMaximize, bar->m_hRestore,
                      bar->m_hClose})
      DeleteObject(b);
    bar.reset();
  }
  void Resize(int w) {
    SetWindowPos(bar->m_hWnd, nullptr, 0, 0, w, 30, SWP_NOMOVE | SWP_NOZORDER);
    UpdateWindow(bar->m_hWnd);
  }
  LRESULT Send(UINT message, int x, int y, WPARAM keys = 0) {
    return SendMessageA(bar->m_hWnd, message, keys, MAKELPARAM(x, y));
  }
  std::vector<std::pair<UINT, WPARAM>> Posted() {
    platform::ProcessPendingMessages();
    auto p = main.posted;
    main.posted.clear();
    return p;
  }
  void Maximize(bool on) {
    LONG style = GetWindowLongA(main.m_hWnd, GWL_STYLE);
    SetWindowLongA(main.m_hWnd, GWL_STYLE, on ? (style | WS_MAXIMIZE) : (style & ~LONG(WS_MAXIMIZE)));
  }

  skin_fixture::SkinSandbox sandbox;
  TMainMenu menu{nullptr};
  std::vector<TMenuItem *> top;
  MainWindow main;
  Panel panel;
  std::unique_ptr<EMenuBar> bar;
};

TEST_F(MenuBar, ItemsAreMeasuredFromTheSkinMarginAndCutAtTheRightPart) {
  ASSERT_EQ(bar->m_rects.GetCount(), 4);
  EXPECT_EQ(bar->m_rects.GetAt(0).left, 4);
  for (int i = 0; i < 4; ++i) {
    RECT r = bar->m_rects.GetAt(i);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.bottom, 28);
    if (i > 0) EXPECT_EQ(r.left, bar->m_rects.GetAt(i - 1).right);
  }
  EXPECT_EQ(bar->m_fitCount, 4);
  // Narrowed so that only the first item ends before the right part.
  Resize(bar->m_rects.GetAt(0).right + 200 + 1);
  EXPECT_EQ(bar->m_fitCount, 1);
  // A click on a cut item is a click on the empty bar: it starts a drag.
  RECT second = bar->m_rects.GetAt(1);
  Send(WM_LBUTTONDOWN, second.left + 2, 10);
  EXPECT_EQ(GetCapture(), bar->m_hWnd);
  Send(WM_LBUTTONUP, second.left + 2, 10);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MenuBar, ButtonClicksPostSystemCommands) {
  // Width 800, right part 200, buttons 16 wide: close from 782, maximise from
  // 766, minimise from 750.
  struct Case {
    int x, y;
    bool maximized;
    std::vector<std::pair<UINT, WPARAM>> posted;
  };
  const Case cases[] = {
      {790, 5, false, {{WM_SYSCOMMAND, SC_CLOSE}}},
      {770, 5, false, {{WM_SYSCOMMAND, SC_MAXIMIZE}}},
      {770, 5, true, {{WM_SYSCOMMAND, SC_RESTORE}}},
      {755, 5, false, {{WM_SYSCOMMAND, SC_MINIMIZE}}},
      {790, 16, false, {}},  // below the buttons
      {600 + 100, 20, false, {{WM_START_SERVICE_CLIENT, 0}}},
      {600 + 50, 20, false, {{WM_START_SERVICE_CLIENT, 1}}},
      {600 + 80, 20, false, {}},
  };
  for (const Case &c : cases) {
    Maximize(c.maximized);
    Send(WM_LBUTTONDOWN, c.x, c.y);
    Send(WM_LBUTTONUP, c.x, c.y);
    EXPECT_EQ(Posted(), c.posted) << c.x << "," << c.y;
  }
}

TEST_F(MenuBar, DraggingTheEmptyBarMovesANormalMainWindow) {
  int x = bar->m_rects.GetAt(3).right + 20;
  for (bool maximized : {false, true}) {
    Maximize(maximized);
    RECT before, after;
    GetWindowRect(main.m_hWnd, &before);
    Send(WM_LBUTTONDOWN, x, 10, MK_LBUTTON);
    Send(WM_MOUSEMOVE, x + 30, 15, MK_LBUTTON);
    Send(WM_LBUTTONUP, x + 30, 15);
    GetWindowRect(main.m_hWnd, &after);
    EXPECT_EQ(after.left - before.left, maximized ? 0 : 30);
    EXPECT_EQ(after.top - before.top, maximized ? 0 : 5);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
  }
}

TEST_F(MenuBar, DoubleClicks) {
  RECT item = bar->m_rects.GetAt(1);
  int empty = bar->m_rects.GetAt(3).right + 20;
  struct Case {
    int x;
    bool maximized;
    std::vector<std::pair<UINT, WPARAM>> posted;
  };
  for (const Case &c : {Case{empty, false, {{WM_SYSCOMMAND, SC_MAXIMIZE}}},
                        Case{empty, true, {{WM_SYSCOMMAND, SC_RESTORE}}}, Case{int(item.left + 3), false, {}},
                        Case{2, false, {{WM_SYSCOMMAND, SC_CLOSE}}}}) {
    Maximize(c.maximized);
    Send(WM_LBUTTONDBLCLK, c.x, 10);
    EXPECT_EQ(Posted(), c.posted) << c.x;
  }
}

TEST_F(MenuBar, PopupIdsNumberSubitemsBeforeTheirEntry) {
  TMenuItem *file = top[0];
  auto add = [](TMenuItem *parent, const char *caption, std::vector<std::string> *fired) {
    auto *item = new TMenuItem(nullptr);
    item->Caption = caption;
    item->OnClick = [fired, caption](TObject *) { fired->push_back(caption); };
    parent->Add(item);
    return item;
  };
  std::vector<std::string> fired;
  TMenuItem *nested = add(file, "Nested", &fired);
  add(nested, "A", &fired);
  add(nested, "B", &fired);
  add(file, "Plain", &fired);
  TMenuItem *hidden = add(file, "Hidden", &fired);
  hidden->Visible = false;

  HMENU popup = CreatePopupMenu();
  EXPECT_EQ(BuildPopupMenu(popup, file, 1), 5);
  EXPECT_EQ(fired, std::vector<std::string>{"Nested"});  // a submenu's owner is told before it is built
  ASSERT_EQ(GetMenuItemCount(popup), 2);
  EXPECT_EQ(GetMenuItemID(popup, 1), 4u);
  HMENU sub = GetSubMenu(popup, 0);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(GetMenuItemID(sub, 0), 1u);
  EXPECT_EQ(GetMenuItemID(sub, 1), 2u);
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID;
  ASSERT_TRUE(GetMenuItemInfoA(popup, 0, TRUE, &info));
  EXPECT_EQ(info.wID, 3u);
  DestroyMenu(popup);

  struct Case {
    int id, result;
    const char *fired;
  };
  for (const Case &c : {Case{1, 0, "A"}, Case{2, 0, "B"}, Case{3, 0, "Nested"}, Case{4, 0, "Plain"},
                        Case{5, 5, nullptr}}) {
    fired.clear();
    EXPECT_EQ(FireMenuCommand(file, c.id, 1), c.result) << c.id;
    EXPECT_EQ(fired, c.fired ? std::vector<std::string>{c.fired} : std::vector<std::string>{}) << c.id;
  }
}

// Colours that occur in a rectangle of the bar.
bool HasColour(HWND w, RECT r, COLORREF c) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (WindowPixel(w, x, y) == c) return true;
  return false;
}

TEST_F(MenuBar, ItemTextColours) {
  bar->m_menuText = RGB(1, 2, 3);
  bar->m_highlightText = RGB(250, 1, 1);
  bar->m_hotBorder = RGB(1, 1, 250);
  bar->m_hotFill = RGB(240, 240, 240);
  for (int hot : {-1, 2, 0}) {
    if (hot >= 0) {
      RECT r = bar->m_rects.GetAt(hot);
      Send(WM_MOUSEMOVE, r.left + 2, 10);
    }
    Resize(800);
    InvalidateRect(bar->m_hWnd, nullptr, FALSE);
    UpdateWindow(bar->m_hWnd);
    RECT special = bar->m_rects.GetAt(2), first = bar->m_rects.GetAt(0);
    EXPECT_TRUE(HasColour(bar->m_hWnd, special, RGB(250, 1, 1))) << hot;
    EXPECT_FALSE(HasColour(bar->m_hWnd, special, RGB(1, 2, 3))) << hot;
    EXPECT_TRUE(HasColour(bar->m_hWnd, first, hot == 0 ? RGB(1, 1, 250) : RGB(1, 2, 3))) << hot;
  }
  Send(WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(bar->m_hot, -1);
}

TEST_F(MenuBar, BackgroundShadesTheGap) {
  struct Case {
    int width;
  };
  for (int width : {400, 241, 242}) {  // 241: a gap of one pixel
    Resize(width);
    bar->m_backWidth = 0;
    InvalidateRect(bar->m_hWnd, nullptr, FALSE);
    UpdateWindow(bar->m_hWnd);
    int gapEnd = width - 200 - 1;
    EXPECT_EQ(WindowPixel(bar->m_hWnd, 40, 25), kLeftEnd) << width;
    if (gapEnd > 40) EXPECT_EQ(WindowPixel(bar->m_hWnd, gapEnd, 25), kRightStart) << width;
    if (width == 400) {
      COLORREF mid = WindowPixel(bar->m_hWnd, 40 + 79, 25);
      EXPECT_NEAR(GetRValue(mid), (200 + 10) / 2, 2);
      EXPECT_NEAR(GetBValue(mid), (10 + 250) / 2, 2);
    }
  }
}

TEST_F(MenuBar, CaptionIsLeftOutWhenItDoesNotFit) {
  bar->m_captionText = RGB(3, 250, 3);
  bar->SetCaption("Caption");
  UpdateWindow(bar->m_hWnd);
  RECT gap{bar->m_rects.GetAt(3).right, 0, 600, 30};
  EXPECT_TRUE(HasColour(bar->m_hWnd, gap, RGB(3, 250, 3)));
  // Narrowed to a room of 10 pixels, the caption is left out.
  Resize(int(gap.left) + 10 + 200);
  gap.right = gap.left + 10;
  EXPECT_FALSE(HasColour(bar->m_hWnd, gap, RGB(3, 250, 3)));
  bar->SetCaption(std::string(100, 'x').c_str());
  EXPECT_EQ(std::strlen(bar->m_caption), 63u);
}

TEST(MenuBarSkin, SelectionFromTheSettings) {
  struct Case {
    int defaults[2];
    int user[2];  // 0 0: no user file
    int skin[2];  // the skin folder that exists
    int expected[2];
  };
  for (const Case &c : {Case{{1, 1}, {0, 0}, {1, 1}, {1, 1}}, Case{{1, 1}, {2, 3}, {2, 3}, {2, 3}},
                        Case{{2, 1}, {0, 0}, {2, 1}, {2, 1}}, Case{{1, 1}, {2, 3}, {1, 1}, {0, 0}}}) {
    skin_fixture::SkinSandbox sandbox;
    sandbox.WriteDefaults(c.defaults[0], c.defaults[1]);
    if (c.user[0]) sandbox.WriteUserChoice(c.user[0], c.user[1]);
    skin_fixture::SkinLook skin;
    skin.layout = c.skin[0];
    skin.number = c.skin[1];
    sandbox.WriteSkin(skin);
    TMainMenu menu(nullptr);
    EMenuBar bar(&menu, skin_fixture::SkinSandbox::UserFolder());
    EXPECT_EQ(SkinLayout, c.expected[0]);
    EXPECT_EQ(SkinNumber, c.expected[1]);
  }
}

}  // namespace
