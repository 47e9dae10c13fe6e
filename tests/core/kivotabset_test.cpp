#include <gtest/gtest.h>

#include <vector>

#include "core/kivotabset.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "testing/host_pointer.h"
#include "testing/view_harness.h"

namespace {

using testing_support::ViewHarness;

struct Drawn {
  RECT rect;
  std::string caption;
  bool selected, hot;
};

class TabSet : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 400, 100);
    tabs = new TKivoTabSet(&form);
    tabs->SetParent(&form);
    tabs->SetBounds(0, 0, 150, 20);
    for (const char *t : {"abcd", "efgh", "ijklmnop"}) tabs->Tabs.Add(t);
    tabs->SetTabIndex(1);
    tabs->OnDrawBackGround = [this](TObject *, HDC dc, RECT *r) {
      drawn.clear();
      GetClipBox(dc, &clip);
      FillRect(dc, r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    };
    tabs->OnDrawItem = [this](TObject *, HDC dc, RECT *r, const std::string &caption, bool selected, bool hot) {
      drawn.push_back({*r, caption, selected, hot});
      HBRUSH b = CreateSolidBrush(hot ? RGB(255, 0, 0) : selected ? RGB(0, 0, 255) : RGB(0, 128, 0));
      FillRect(dc, r, b);
      DeleteObject(b);
    };
    form.Show();
    h.Pump();
    // Hover tracking needs the pointer over the tab set, whatever earlier
    // tests did with it.
    pointer.At(tabs->Handle(), 0, 0);
    h.Pump();
  }

  testing_support::ScopedHostPointer pointer;
  ViewHarness h;
  TForm form{nullptr};
  TKivoTabSet *tabs = nullptr;
  std::vector<Drawn> drawn;
  RECT clip{};
};

TEST_F(TabSet, OwnerDrawsTheShownTabsAndTheButtons) {
  ASSERT_EQ(drawn.size(), 4u);  // the third tab would pass 122
  EXPECT_EQ(drawn[0].caption, "abcd");
  EXPECT_EQ(drawn[0].rect.right, 48);
  EXPECT_TRUE(drawn[1].selected);
  EXPECT_EQ(drawn[2].caption, "<");
  EXPECT_EQ(drawn[2].rect.left, 122);
  EXPECT_EQ(drawn[3].caption, ">");
  EXPECT_EQ(drawn[3].rect.left, 136);
  EXPECT_EQ(h.Pixel(tabs->Handle(), 60, 10), RGB(0, 0, 255));
  EXPECT_EQ(h.Pixel(tabs->Handle(), 110, 10), RGB(255, 255, 255));
}

TEST_F(TabSet, HoverRepaintsTheOldAndTheNewItem) {
  HWND w = tabs->Handle();
  h.MouseMove(w, 10, 5);
  EXPECT_EQ(tabs->HotItem(), 0);
  h.MouseMove(w, 125, 5);
  EXPECT_EQ(tabs->HotItem(), -2);
  // The repaint covered the first tab (from one pixel to its left) to "<".
  EXPECT_EQ(clip.left, 0);
  EXPECT_EQ(clip.right, 136);
  EXPECT_EQ(h.Pixel(w, 125, 5), RGB(255, 0, 0));
  SendMessageA(w, WM_MOUSELEAVE, 0, 0);
  h.Pump();
  EXPECT_EQ(tabs->HotItem(), -1);
  EXPECT_EQ(h.Pixel(w, 125, 5), RGB(0, 128, 0));
}

TEST_F(TabSet, PressesGoToTheOwnerAndScroll) {
  std::vector<std::pair<int, int>> pressed;
  tabs->OnLButtonDown = [&](TObject *, int32_t index, int32_t offset) { pressed.push_back({index, offset}); };
  HWND w = tabs->Handle();
  h.Click(w, 50, 5);
  EXPECT_EQ(pressed, (std::vector<std::pair<int, int>>{{1, 46}}));
  EXPECT_EQ(tabs->TabIndex(), 1);  // the owner selects, not the control
  h.Click(w, 140, 5);              // ">"
  EXPECT_EQ(tabs->FirstVisible(), 1);
  RECT r;
  EXPECT_FALSE(tabs->GetItemRect(0, &r));
  h.Click(w, 125, 5);  // "<"
  EXPECT_EQ(tabs->FirstVisible(), 0);
  // Double clicks scroll as well, without the event.
  tabs->OnLButtonDown = nullptr;
  h.DoubleClick(w, 140, 5);
  EXPECT_EQ(tabs->FirstVisible(), 1);
}

TEST_F(TabSet, WiderControlPullsTheFirstTabBackIn) {
  HWND w = tabs->Handle();
  h.Click(w, 140, 5);
  tabs->OnLButtonDown = [](TObject *, int32_t, int32_t) {};
  h.Click(w, 140, 5);
  ASSERT_EQ(tabs->FirstVisible(), 1);
  tabs->SetBounds(0, 0, 300, 20);
  h.Pump();
  EXPECT_EQ(tabs->FirstVisible(), 0);
  EXPECT_EQ(drawn.size(), 3u);
}

TEST_F(TabSet, WithoutTheOwnerItPaintsAndSelectsItself) {
  tabs->OnDrawBackGround = nullptr;
  tabs->Invalidate();
  h.Pump();
  EXPECT_EQ(h.Pixel(tabs->Handle(), 50, 2), RGB(255, 255, 255));  // the selected tab
  EXPECT_EQ(h.Pixel(tabs->Handle(), 110, 2), GetSysColor(COLOR_BTNFACE));
  h.Click(tabs->Handle(), 10, 5);
  EXPECT_EQ(tabs->TabIndex(), 0);
  h.MouseMove(tabs->Handle(), 60, 5);
  EXPECT_EQ(tabs->HotItem(), 1);
}

}  // namespace
