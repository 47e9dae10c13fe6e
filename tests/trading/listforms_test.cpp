#include <gtest/gtest.h>

#include <algorithm>

#include "platform/winuser.h"
#include "testing/view_harness.h"
#include "tests/trading/orderdesk_fixture.h"
#include "trading/listcommands.h"
#include "trading/listforms.h"
#include "trading/listrows.h"

namespace trading_test {
namespace {

class ListFormsTest : public OrderDeskTest {
 protected:
  ListFormsTest() : cmd_(trading_, dispatch_) {
    SetQuote(0, 3989, 3991, 3990);
    SetQuote(1, 3509, 3511, 3510);
    trading_.pageState = kPageTrading;
    desk_.orders.Add(Order("1", "CU2405", '0', '0', 3, 3, '0'));
    desk_.orders.Add(Order("2", "M2401", '1', '0', 2, 0, '3'));
    desk_.orders.Add(Order("3", "M2401", '1', '1', 1, 0, 'p'));
    for (const TB_TRADE &t : {Trade("1", "CU2405", '0', '0', 2, 3500, "09:31:00"),
                              Trade("1", "CU2405", '0', '0', 1, 3502, "09:31:05"),
                              Trade("7", "M2401", '1', '0', 3, 4000, "09:40:00")})
      desk_.trades.Add(Trade_Lite(t));
    desk_.positions.Add(Position("CU2405", '2', 3, 3501, 2));
    desk_.positions.Add(Position("M2401", '3', 3, 4000));
    OnOrderRadioClick(dispatch_.book, desk_, trading_.pageState, trading_.orderTag);
    OnTradeRadioClick(dispatch_.book, desk_);
    dispatch_.positionBook.FillPositionList();
  }
  // The colour of a row inside the inset left of its first text.
  COLORREF RowColour(TXPListView *view, int row) {
    return harness_.Pixel(view, 2, view->HeaderHeight() + row * view->RowHeight() + 2);
  }

  testing_support::ViewHarness harness_;
  TListCommands cmd_;
};

TEST_F(ListFormsTest, ListsDrawTheirRowsAndThePanesFollowThePage) {
  TListAreaForm form(nullptr, trading_, dispatch_, cmd_);
  form.Show();
  form.Panel4Resize();
  form.ShowOrders();
  form.ShowTrades();
  form.ShowPositions();
  harness_.Pump();
  ASSERT_EQ(form.XPListView1->Items()->Count(), 3);
  EXPECT_EQ(form.XPListView1->Items()->Item(0)->SubItems()->Get(11), "-");  // the open-trigger order on top
  ASSERT_EQ(form.XPListView3->Items()->Count(), 2);
  EXPECT_EQ(form.XPListView3->Items()->Item(1)->SubItems()->Get(kPosFloatProfit), "300");

  // Stacked: positions above, orders below, the trades pane hidden.
  EXPECT_TRUE(form.OwnerDrawPanel3->Visible() && form.OwnerDrawPanel2->Visible());
  EXPECT_FALSE(form.Panel14->Visible());
  EXPECT_LT(form.OwnerDrawPanel3->Top(), form.OwnerDrawPanel2->Top());
  EXPECT_EQ(form.Panel16->Left(), kTabColumnWidth);

  form.XPListView3->Items()->Item(1)->SetSelected(true);
  harness_.Pump();
  EXPECT_EQ(RowColour(form.XPListView3, 0), RGB(255, 255, 255));
  EXPECT_EQ(RowColour(form.XPListView3, 1), GetSysColor(COLOR_BTNFACE));  // selected, list not focused
  EXPECT_EQ(RowColour(form.XPListView1, 1), RGB(245, 245, 245));

  testing_support::PictureSheet lists(1);
  lists.Add("持仓 / 委托 (page 12)", harness_.Render(form.Handle()));
  form.XPListView3->SetFocus();
  harness_.Pump();
  EXPECT_EQ(RowColour(form.XPListView3, 1), GetSysColor(COLOR_HIGHLIGHT));
  lists.Add("selected row focused", harness_.Render(form.XPListView3));

  // The trades page in each mode.
  trading_.pageState = kPageTrades;
  form.Panel4Resize();
  harness_.Pump();
  EXPECT_TRUE(form.Panel14->Visible());
  EXPECT_FALSE(form.OwnerDrawPanel3->Visible());
  EXPECT_EQ(form.XPListView2->Top(), 27);
  for (TXPRadioButton *mode : {form.XPRadioButton3, form.XPRadioButton4, form.XPRadioButton5}) {
    mode->SetChecked(true);
    mode->OnClick(mode);
    harness_.Pump();
    lists.Add(mode->Caption(), harness_.Render(form.Handle()));
  }
  EXPECT_EQ(form.XPListView2->Items()->Count(), 2);  // one row per contract, direction, offset, hedge
  dispatch_.book.lists.tradeWarning = "查询当日成交失败 (3) ";
  dispatch_.book.lists.tradeWarningShown = true;
  form.ShowTrades();
  EXPECT_EQ(form.XPListView2->Top(), 46);
  harness_.SavePng(lists.Compose(), "trade-lists");

  // The list area of the trading page, stacked and side by side.
  trading_.pageState = kPageTrading;
  testing_support::PictureSheet area(1);
  form.Panel4Resize();
  harness_.Pump();
  area.Add("stacked", harness_.Render(form.Handle()));
  desk_.options.Left = true;
  form.Panel4Resize();
  harness_.Pump();
  EXPECT_EQ(form.OwnerDrawPanel3->Top(), form.OwnerDrawPanel2->Top());
  EXPECT_LT(form.OwnerDrawPanel3->Left(), form.OwnerDrawPanel2->Left());
  EXPECT_GE(form.OwnerDrawPanel3->Width(), kPositionsPaneMinWidth);
  area.Add("side by side", harness_.Render(form.Handle()));
  harness_.SavePng(area.Compose(), "list-area");

  // The buttons act on the rows the list has selected.
  desk_.options.Left = false;
  form.XPPushRadioButton3->SetChecked(true);
  form.XPPushRadioButton3->OnClick(form.XPPushRadioButton3);
  EXPECT_EQ(form.XPListView1->Items()->Count(), 2);  // the filled order left
  form.XPListView1->Items()->Item(1)->SetSelected(true);
  form.XPButton1->Click();
  EXPECT_EQ(Orders.cancels, std::vector<std::string>{"2"});
}

TEST_F(ListFormsTest, CtrlAndShiftSelectSeveralRowsTheButtonsActOn) {
  TListAreaForm form(nullptr, trading_, dispatch_, cmd_);
  form.Show();
  form.Panel4Resize();
  form.ShowAll();
  harness_.Pump();
  TXPListView *positions = form.XPListView3;
  ASSERT_EQ(positions->Items()->Count(), 2);
  const auto rowY = [](TXPListView *view, int row) { return view->HeaderHeight() + row * view->RowHeight() + 3; };
  harness_.Click(positions->Handle(), 20, rowY(positions, 0));
  harness_.Click(positions->Handle(), 20, rowY(positions, 1), mbLeft, MK_CONTROL);
  EXPECT_EQ(TListAreaForm::SelectedRows(positions), (std::vector<int>{0, 1}));
  // A refill after a return keeps both.
  form.ShowPositions();
  EXPECT_EQ(TListAreaForm::SelectedRows(positions), (std::vector<int>{0, 1}));
  form.XPButton22->Click();  // "快捷平仓": one close task for each selected position
  ASSERT_EQ(desk_.tasks.GetCount(), 2);
  EXPECT_NE(std::string(desk_.tasks.GetData()[0].Description).find("CU2405"), std::string::npos);
  EXPECT_NE(std::string(desk_.tasks.GetData()[1].Description).find("M2401"), std::string::npos);

  // Shift takes the run of orders; "撤单" cancels every cancellable one.
  desk_.orders.Add(Order("4", "CU2405", '0', '0', 1, 0, '3'));
  OnOrderRadioClick(dispatch_.book, desk_, trading_.pageState, trading_.orderTag);
  form.ShowOrders();
  harness_.Pump();
  TXPListView *orders = form.XPListView1;
  ASSERT_EQ(orders->Items()->Count(), 4);
  harness_.Click(orders->Handle(), 20, rowY(orders, 0));
  harness_.Click(orders->Handle(), 20, rowY(orders, 3), mbLeft, MK_SHIFT);
  EXPECT_EQ(orders->SelCount(), 4);
  form.XPButton1->Click();
  std::vector<std::string> cancelled = Orders.cancels;
  std::sort(cancelled.begin(), cancelled.end());
  EXPECT_EQ(cancelled, (std::vector<std::string>{"2", "4"}));
}

}  // namespace
}  // namespace trading_test
