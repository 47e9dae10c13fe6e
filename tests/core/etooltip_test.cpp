#include <gtest/gtest.h>

#include <string>

#include "core/etooltip.h"
#include "platform/gdi.h"
#include "platform/winuser.h"
#include "testing/image_capture.h"

namespace {

struct Parent : EWnd {};

class ToolTip : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(parent.Create(0, WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr)); }
  // The extent of a text in the tip's own font.
  SIZE Extent(EToolTip &tip, const char *text) {
    SIZE size{};
    tip.GetTextExtent(&size, text, nullptr, tip.m_hFont);
    return size;
  }
  Parent parent;
};

TEST_F(ToolTip, EmptyTextHidesTheTip) {
  EToolTip tip(parent.m_hWnd);
  EXPECT_TRUE(tip.Show(POINT{10, 10}, "abc", nullptr));
  EXPECT_TRUE(IsWindowVisible(tip.m_hWnd));
  EXPECT_TRUE(tip.Show(POINT{10, 10}, "", nullptr));
  EXPECT_FALSE(IsWindowVisible(tip.m_hWnd));
  EXPECT_TRUE(tip.Show(POINT{10, 10}, nullptr, nullptr));
}

TEST_F(ToolTip, SizeFollowsTheLines) {
  EToolTip tip(parent.m_hWnd);
  SIZE one = Extent(tip, "a"), two = Extent(tip, "bc");
  struct Case {
    const char *text;
    int lines;
    LONG width;
  };
  for (const Case &c : {Case{"bc", 1, two.cx}, Case{"a\r\nbc", 2, two.cx}, Case{"bc\r\n", 1, two.cx},
                        Case{"bc\r\n\r\na", 3, two.cx}}) {
    ASSERT_TRUE(tip.Show(POINT{5, 6}, c.text, nullptr));
    RECT r;
    GetWindowRect(tip.m_hWnd, &r);
    EXPECT_EQ(r.right - r.left, c.width + 5) << c.text;
    EXPECT_EQ(r.bottom - r.top, c.lines * one.cy + 5) << c.text;
    EXPECT_EQ(tip.m_multiLine, std::string(c.text).find("\r\n") != std::string::npos) << c.text;
  }
}

TEST_F(ToolTip, LongTextIsCut) {
  EToolTip tip(parent.m_hWnd);
  std::string text(2000, 'x');
  SIZE size;
  tip.Measure(&size, text.c_str());
  EXPECT_EQ(std::string(tip.m_text), std::string(1023, 'x'));
  // A double-byte character is not split at the cut.
  std::string gbk = std::string(1022, 'x') + "\xD6\xD0";
  tip.Measure(&size, gbk.c_str());
  EXPECT_EQ(std::string(tip.m_text), std::string(1022, 'x'));
}

TEST_F(ToolTip, PaintsALightYellowBoxWithABlackFrame) {
  EToolTip tip(parent.m_hWnd);
  ASSERT_TRUE(tip.Show(POINT{20, 30}, "x\r\ny", nullptr));
  UpdateWindow(tip.m_hWnd);
  RECT r;
  GetClientRect(tip.m_hWnd, &r);
  using testing_support::WindowPixel;
  EXPECT_EQ(WindowPixel(tip.m_hWnd, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(WindowPixel(tip.m_hWnd, r.right - 1, r.bottom - 1), RGB(0, 0, 0));
  EXPECT_EQ(WindowPixel(tip.m_hWnd, 1, 1), RGB(255, 255, 231));
  EXPECT_EQ(WindowPixel(tip.m_hWnd, r.right - 2, r.bottom - 2), RGB(255, 255, 231));
}

TEST_F(ToolTip, MouseOverHidesAndFocusGoesBack) {
  EToolTip tip(parent.m_hWnd);
  ASSERT_TRUE(tip.Show(POINT{20, 30}, "tip", nullptr));
  SendMessageA(tip.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_FALSE(IsWindowVisible(tip.m_hWnd));

  SetFocus(parent.m_hWnd);
  SendMessageA(tip.m_hWnd, WM_SETFOCUS, WPARAM(parent.m_hWnd), 0);
  EXPECT_EQ(GetFocus(), parent.m_hWnd);
}

TEST_F(ToolTip, ShowMovesTheTipToANewParent) {
  EToolTip tip(parent.m_hWnd);
  Parent other;
  ASSERT_TRUE(other.Create(0, WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr));
  ASSERT_TRUE(tip.Show(POINT{1, 2}, "tip", other.m_hWnd));
  EXPECT_EQ(GetParent(tip.m_hWnd), other.m_hWnd);
  DestroyWindow(tip.m_hWnd);  // before its parent goes
}

}  // namespace
