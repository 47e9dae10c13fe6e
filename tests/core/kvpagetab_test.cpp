#include <gtest/gtest.h>

#include <vector>

#include "core/kvpagetab.h"
#include "classlib/forms.h"
#include "testing/view_harness.h"

namespace {

using testing_support::ViewHarness;

class PageTab : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 300, 100);
    tabs = new TKVPageTab(&form);
    tabs->SetParent(&form);
    tabs->OnTitleChange = [this](TObject *, int32_t index) { events.push_back(index); };
    for (const char *t : {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta"}) tabs->AddTitle(t);
    form.Show();
    h.Pump();
  }
  int B() const { return tabs->Layout().button; }

  ViewHarness h;
  TForm form{nullptr};
  TKVPageTab *tabs = nullptr;
  std::vector<int> events;
};

TEST_F(PageTab, ActivationRaisesTheEventOnlyOnAChange) {
  for (int n : {0, -1, 6, 2, 2}) tabs->SetActiveTabItem(n);
  EXPECT_EQ(events, std::vector<int>{2});
  tabs->SetActiveTabItem(5);  // past the visible tabs: scrolled into full view
  EXPECT_EQ(tabs->ActiveTab(), 5);
  const RECT *r = tabs->Layout().TabRect(5);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->right - r->left, tabs->Layout().DrawnWidth(5));
}

TEST_F(PageTab, TitlesStopAt128) {
  tabs->ClearTitle();
  for (int i = 0; i < 130; ++i) tabs->AddTitle(("T" + std::to_string(i)).c_str());
  tabs->AddTitle(nullptr);
  EXPECT_EQ(tabs->Titles().size(), 128u);
}

TEST_F(PageTab, ClicksAndKeys) {
  HWND w = tabs->Handle();
  // The left button and the left arrow do nothing at the first tab.
  h.Click(w, 2, 10);
  tabs->SetFocus();
  h.Key(VK_LEFT);
  EXPECT_EQ(tabs->FirstTab(), 0);
  EXPECT_TRUE(events.empty());
  // Clicking the active tab raises nothing; another tab is activated.
  const RECT *first = tabs->Layout().TabRect(0);
  h.Click(w, first->left + 5, 10);
  EXPECT_TRUE(events.empty());
  const RECT *second = tabs->Layout().TabRect(1);
  h.Click(w, second->left + 5, 10);
  EXPECT_EQ(events, std::vector<int>{1});
  // The right arrow scrolls without changing the active tab; the sliver
  // tab then comes back into full view when clicked.
  h.Key(VK_RIGHT);
  EXPECT_EQ(tabs->FirstTab(), 1);
  EXPECT_EQ(tabs->ActiveTab(), 1);
  h.Click(w, B() + 1, 2);
  EXPECT_EQ(events, (std::vector<int>{1, 0}));
  EXPECT_EQ(tabs->FirstTab(), 0);
}

TEST_F(PageTab, Pixels) {
  tabs->SetActiveTabItem(1);
  HWND w = tabs->Handle();
  int H = tabs->Height(), W = tabs->Width();
  // Buttons: grey outline, silver fill, black arrows.
  EXPECT_EQ(h.Pixel(w, 0, 0), ColorToRGB(clGray));
  EXPECT_EQ(h.Pixel(w, 1, 1), ColorToRGB(clSilver));
  EXPECT_EQ(h.Pixel(w, W - 1, H - 1), ColorToRGB(clGray));
  EXPECT_EQ(h.Pixel(w, B() / 2, H / 2), ColorToRGB(clBlack));
  const RECT *inactive = tabs->Layout().TabRect(0);
  const RECT *active = tabs->Layout().TabRect(1);
  EXPECT_EQ(h.Pixel(w, inactive->left + 4, 2), ColorToRGB(clSilver));
  EXPECT_EQ(h.Pixel(w, active->left + 4, 2), ColorToRGB(clBlack));
}

TEST_F(PageTab, FlatTabsShadeTheActiveOne) {
  tabs->SetSlope(0);
  tabs->SetActiveTabItem(2);
  HWND w = tabs->Handle();
  int H = tabs->Height(), mid = H / 2;
  const RECT *r = tabs->Layout().TabRect(2);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(h.Pixel(w, r->left + 1, mid), ColorToRGB(clSilver));
  EXPECT_EQ(h.Pixel(w, r->left + 1, 1), LightenColor(ColorToRGB(clSilver), (mid - 1) * 80 / H));
  EXPECT_EQ(LightenColor(RGB(192, 192, 192), 36), RGB(214, 214, 214));
}

}  // namespace
