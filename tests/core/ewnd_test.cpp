#include <gtest/gtest.h>

#include "core/ewnd.h"
#include "platform/winuser.h"

namespace {

struct Recorder : EWnd {
  std::vector<UINT> seen;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    seen.push_back(message);
    return EWnd::WindowProc(message, wParam, lParam);
  }
};

TEST(EWnd, MessagesBeforeCreateGoToTheDefaultProcedure) {
  Recorder window;
  ASSERT_TRUE(window.Create(0, WS_POPUP, 0, 0, 10, 10, nullptr));
  ASSERT_FALSE(window.seen.empty());
  EXPECT_EQ(window.seen.front(), UINT(WM_CREATE));  // WM_NCCREATE and the rest went by
  EXPECT_EQ(EWnd::FromHandle(window.m_hWnd), &window);
  char name[8];
  GetClassNameA(window.m_hWnd, name, sizeof name);
  EXPECT_STREQ(name, "EWnd");
}

TEST(EWnd, SizeIsKeptFromWmSize) {
  Recorder window;
  ASSERT_TRUE(window.Create(0, WS_POPUP, 0, 0, 10, 10, nullptr));
  SendMessageA(window.m_hWnd, WM_SIZE, 0, MAKELPARAM(100, 200));
  EXPECT_EQ(window.m_width, 100);
  EXPECT_EQ(window.m_height, 200);
}

TEST(EWnd, DestroyedWindowIsUnboundAndTheObjectReusable) {
  Recorder window;
  ASSERT_TRUE(window.Create(0, WS_POPUP, 0, 0, 10, 10, nullptr));
  HWND first = window.m_hWnd;
  window.Destroy();
  EXPECT_EQ(window.m_hWnd, nullptr);
  EXPECT_EQ(EWnd::FromHandle(first), nullptr);
  EXPECT_EQ(window.seen.back(), UINT(WM_NCDESTROY));
  ASSERT_TRUE(window.Create(0, WS_POPUP, 0, 0, 10, 10, nullptr));
  EXPECT_NE(window.m_hWnd, first);
}

TEST(EWnd, AutoDeleteFreesTheObjectOnceAndDeletingDestroysTheWindow) {
  auto *self = new Recorder;
  self->m_autoDelete = 1;
  ASSERT_TRUE(self->Create(0, WS_POPUP, 0, 0, 10, 10, nullptr));
  HWND hwnd = self->m_hWnd;
  DestroyWindow(hwnd);  // frees the object; the sanitizer catches a double free
  EXPECT_FALSE(IsWindow(hwnd));

  auto *owned = new Recorder;
  owned->m_autoDelete = 1;
  ASSERT_TRUE(owned->Create(0, WS_POPUP, 0, 0, 10, 10, nullptr));
  hwnd = owned->m_hWnd;
  delete owned;  // the destructor destroys the window without deleting again
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST(EWnd, TextExtentGrowsWithTheText) {
  Recorder window;
  ASSERT_TRUE(window.Create(0, WS_POPUP, 0, 0, 10, 10, nullptr));
  SIZE one{}, two{};
  window.GetTextExtent(&one, "8", nullptr, nullptr);
  window.GetTextExtent(&two, "88", nullptr, nullptr);
  EXPECT_GT(one.cx, 0);
  EXPECT_GT(one.cy, 0);
  EXPECT_GT(two.cx, one.cx);
}

TEST(EDibBitmap, SizesStrideAndReuse) {
  struct Case {
    int width, height;
    int32_t wantWidth, wantHeight, wantStride;
  };
  const Case cases[] = {{0, -5, 1, 1, 4}, {10, 3, 10, 3, 32}, {1, 1, 1, 1, 4}, {4, 2, 4, 2, 12}};
  for (const Case &c : cases) {
    EDibBitmap dib;
    dib.Create(nullptr, c.width, c.height);
    ASSERT_TRUE(dib.m_hBitmap);
    EXPECT_EQ(dib.m_width, c.wantWidth);
    EXPECT_EQ(dib.m_height, c.wantHeight);
    EXPECT_EQ(dib.m_stride, c.wantStride);
    EXPECT_EQ(dib.m_imageSize, c.wantStride * c.wantHeight);
  }
  EDibBitmap dib;
  dib.Create(nullptr, 10, 10);
  unsigned char *bits = dib.m_pBits;
  dib.Create(nullptr, 10, 10);
  EXPECT_EQ(dib.m_pBits, bits);
  dib.Create(nullptr, 11, 10);
  EXPECT_EQ(dib.m_stride, 36);
}

}  // namespace
