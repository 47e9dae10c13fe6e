#include <gtest/gtest.h>

#include "core/msgdrawgrid.h"
#include "platform/vcl/forms.h"
#include "testing/view_harness.h"

namespace {

class MsgDrawGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 300, 200);
    grid = new TMsgDrawGrid(&form);
    grid->SetParent(&form);
    grid->SetAlign(alClient);
    grid->SetColCount(3);
    grid->SetRowCount(6);
    form.Show();
    h.Pump();
    grid->SetFocus();
    h.Pump();
  }
  testing_support::ViewHarness h;
  TForm form{nullptr};
  TMsgDrawGrid *grid = nullptr;
};

TEST_F(MsgDrawGrid, AKeyHandlerThatKeepsTheFlagKeepsTheKeyFromTheGrid) {
  std::vector<WPARAM> downs, ups;
  grid->OnKeyDown2 = [&](TObject *, WPARAM key, bool *handled) {
    EXPECT_TRUE(*handled);  // set before the call
    downs.push_back(key);
  };
  grid->OnKeyUp2 = [&](TObject *, WPARAM key, bool *) { ups.push_back(key); };
  const int row = grid->Row();
  h.Key(VK_DOWN, TShiftState(), grid->Handle());
  EXPECT_EQ(grid->Row(), row);  // swallowed
  grid->OnKeyDown2 = [&](TObject *, WPARAM key, bool *handled) {
    downs.push_back(key);
    *handled = false;  // the grid goes on
  };
  h.Key(VK_DOWN, TShiftState(), grid->Handle());
  EXPECT_EQ(grid->Row(), row + 1);
  EXPECT_EQ(downs, (std::vector<WPARAM>{VK_DOWN, VK_DOWN}));
  EXPECT_EQ(ups, (std::vector<WPARAM>{VK_DOWN, VK_DOWN}));
}

TEST_F(MsgDrawGrid, MouseHandlersGetClientPoints) {
  std::vector<std::pair<int, int>> presses;
  grid->OnLButtonDown = [&](TObject *, int32_t x, int32_t y, bool *) { presses.push_back({x, y}); };
  grid->OnRButtonUp = [&](TObject *, int32_t x, int32_t y, bool *handled) {
    presses.push_back({-x, -y});
    *handled = false;
  };
  const int row = grid->Row();
  const TRect cell = grid->CellRect(1, 3);
  h.Click(grid->Handle(), cell.Left + 4, cell.Top + 4);
  EXPECT_EQ(grid->Row(), row);  // the press never reached the grid
  h.Click(grid->Handle(), 20, 30, mbRight);
  ASSERT_EQ(presses.size(), 2u);
  EXPECT_EQ(presses[0], std::make_pair(int(cell.Left + 4), int(cell.Top + 4)));
  EXPECT_EQ(presses[1], std::make_pair(-20, -30));
}

}  // namespace
