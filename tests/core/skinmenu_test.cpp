#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/ewnd.h"
#include "core/skinmenu.h"
#include "platform/gdi.h"
#include "platform/menu.h"
#include "platform/winuser.h"
#include "testing/image_capture.h"
#include "testing/view_harness.h"

namespace {

using testing_support::WindowPixel;

// The menu's owner runs the test's steps while the menu is shown: a message
// posted before tracking arrives inside the menu's loop.
struct Owner : EWnd {
  std::function<void()> whileShown;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP && whileShown) whileShown();
    return EWnd::WindowProc(message, wParam, lParam);
  }
};

class SkinMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallMenuSkinHook();
    ASSERT_TRUE(owner.Create(0, WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr));
    menu = CreatePopupMenu();
    sub = CreatePopupMenu();
    AppendMenuA(sub, MF_STRING, 201, "Inner one");
    AppendMenuA(sub, MF_STRING, 202, "Inner two");
    AppendMenuA(menu, MF_STRING, 101, "First");
    AppendMenuA(menu, MF_STRING, 102, "Second");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, 103, "Third");
    AppendMenuA(menu, MF_POPUP, UINT_PTR(sub), "More");
    AppendMenuA(menu, MF_STRING, 104, "Last");
  }
  void TearDown() override {
    DestroyMenu(menu);
    MenuDark = RGB(13, 96, 136);
    MenuLight = RGB(159, 192, 208);
  }
  // Shows the menu at (x, y) and runs the steps while it is open, each one
  // after the messages the one before posted (keys and mouse go through the
  // menu's loop); the menu is closed afterwards.
  void Track(int x, int y, std::vector<std::function<void(CSkinMenu &)>> steps) {
    size_t next = 0;
    owner.whileShown = [&] {
      h.Pump();
      CSkinMenu *shown = CSkinMenu::FromMenu(menu);
      if (shown == nullptr) {
        ADD_FAILURE() << "the menu window was not subclassed";
        EndMenu();
        return;
      }
      steps[next++](*shown);
      if (next < steps.size() && !::testing::Test::HasFatalFailure()) {
        PostMessageA(owner.m_hWnd, WM_APP, 0, 0);
      } else {
        EndMenu();
      }
    };
    PostMessageA(owner.m_hWnd, WM_APP, 0, 0);
    TrackPopupMenu(menu, TPM_RETURNCMD, x, y, 0, owner.m_hWnd, nullptr);
    owner.whileShown = nullptr;
  }
  void Track(int x, int y, std::function<void(CSkinMenu &)> step) {
    Track(x, y, std::vector<std::function<void(CSkinMenu &)>>{step});
  }
  static COLORREF At(CSkinMenu &m, int x, int y) { return WindowPixel(m.m_hWnd, x, y); }
  static RECT ClientItem(CSkinMenu &m, int item) {
    RECT r{};
    m.ItemRect(item, &r);
    return r;
  }

  testing_support::ViewHarness h;
  Owner owner;
  HMENU menu = nullptr, sub = nullptr;
};

TEST_F(SkinMenu, FrameStripAndWhiteItems) {
  for (bool solid : {false, true}) {
    if (solid) MenuLight = MenuDark;
    Track(100, 100, [&](CSkinMenu &m) {
      RECT w, c;
      GetWindowRect(m.m_hWnd, &w);
      GetClientRect(m.m_hWnd, &c);
      int W = w.right - w.left, H = w.bottom - w.top;
      RECT first = ClientItem(m, 0);
      EXPECT_EQ(first.left, 8) << "the items start right of the strip";
      EXPECT_EQ(first.top, 3);
      EXPECT_EQ(At(m, 0, 0), MenuDark);
      EXPECT_EQ(At(m, W - 1, H / 2), MenuDark);
      EXPECT_EQ(At(m, W / 2, H - 1), MenuDark);
      for (POINT p : {POINT{1, 1}, POINT{2, H / 2}, POINT{W - 2, H - 2}})
        EXPECT_EQ(At(m, p.x, p.y), RGB(255, 255, 255)) << p.x << "," << p.y;
      EXPECT_EQ(At(m, 3, 3), MenuDark);
      EXPECT_EQ(At(m, 7, 3), MenuDark);
      COLORREF bottom = At(m, 5, H - 4);
      if (solid) {
        EXPECT_EQ(bottom, MenuDark);
      } else {
        EXPECT_NEAR(GetRValue(bottom), GetRValue(MenuLight), 8);
        EXPECT_NEAR(GetGValue(bottom), GetGValue(MenuLight), 8);
        EXPECT_NEAR(GetBValue(bottom), GetBValue(MenuLight), 8);
      }
    });
  }
}

TEST_F(SkinMenu, MovingTheSelectionRepaintsTwoItems) {
  Track(100, 100, [&](CSkinMenu &m) {
    SendMessageA(m.m_hWnd, MN_SELECTITEM, 0, 0);
    h.Pump();
    for (auto [from, to] : {std::pair{0, 1}, std::pair{1, 5}, std::pair{5, 3}}) {
      SendMessageA(m.m_hWnd, MN_SELECTITEM, WPARAM(to), 0);
      RECT a = ClientItem(m, from), b = ClientItem(m, to), both;
      UnionRect(&both, &a, &b);
      EXPECT_TRUE(EqualRect(&m.m_lastPaint, &both)) << from << " to " << to;
    }
  });
}

TEST_F(SkinMenu, SubmenusSitAtTheParentsClientEdge) {
  auto open = [&](int x) {
    RECT child{}, parent{};
    int width = 0;
    Track(x, 100, {[&](CSkinMenu &m) {
                     SendMessageA(m.m_hWnd, MN_SELECTITEM, 4, 0);
                     PostMessageA(m.m_hWnd, WM_KEYDOWN, VK_RIGHT, 0);
                   },
                   [&](CSkinMenu &m) {
      CSkinMenu *c = CSkinMenu::FromMenu(sub);
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(c->m_parent, &m);
      EXPECT_EQ(CSkinMenu::FindParentOf(sub), &m);
      GetWindowRect(m.m_hWnd, &parent);
      GetWindowRect(c->m_hWnd, &child);
      RECT item = ClientItem(*c, 0);
      width = item.right - item.left;
    }});
    return std::tuple{parent, child, width};
  };
  auto [parent, child, itemWidth] = open(100);
  EXPECT_EQ(child.left, parent.right - 3);  // the edge of the parent's items
  EXPECT_EQ(child.right - child.left, itemWidth + 3 + 5 + 3);
}

TEST_F(SkinMenu, OtherWindowsAreNotTouched) {
  struct Plain : EWnd {};
  Plain plain;
  ASSERT_TRUE(plain.Create(0, WS_POPUP | WS_VISIBLE, 0, 0, 30, 30, nullptr));
  LONG_PTR proc = GetWindowLongPtrA(plain.m_hWnd, GWLP_WNDPROC);
  SendMessageA(plain.m_hWnd, MN_SHOWING, 1, 0);
  SetWindowPos(plain.m_hWnd, nullptr, 5, 5, 40, 40, SWP_SHOWWINDOW | SWP_NOZORDER);
  EXPECT_EQ(CSkinMenu::FromWindow(plain.m_hWnd), nullptr);
  EXPECT_EQ(GetWindowLongPtrA(plain.m_hWnd, GWLP_WNDPROC), proc);
  RECT r;
  GetWindowRect(plain.m_hWnd, &r);
  EXPECT_EQ(r.right - r.left, 40);
}

}  // namespace
