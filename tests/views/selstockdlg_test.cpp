// The instrument picker: its tree over the block table, the choice and the
// layout of each mode.
#include "views/selstockdlg.h"

#include <gtest/gtest.h>

#include "testing/view_harness.h"
#include "tests/views/wizard_fixture.h"

using testing_support::ViewHarness;

namespace {

std::string Tree(TTreeView *tree) {
  std::string out;
  for (int i = 0; i < tree->Items()->Count(); ++i) {
    TTreeNode *n = tree->Items()->Item(i);
    out += (i ? "," : "") + std::string(n->Level(), '-') + n->Text();
  }
  return out;
}

class SelStockTest : public testing::Test {
 protected:
  void SetUp() override {
    world_.WriteStandard();
    world_.Box().WriteText("cfg/blocks.ini", "[FileInfo]\r\nVersion=1\r\n[^标题]\r\nI1=SH 600036\r\n[蓝筹]\r\nI1=SH 600000\r\n");
    world_.Box().WriteText("user/blocks.ini", "[FileInfo]\r\nVersion=1\r\n[自选一]\r\nI1=SZ 000001\r\n[空]\r\n");
    world_.Build();
  }
  wizard_fixture::MarketWorld world_;
  ViewHarness harness_;
};

TEST_F(SelStockTest, TreeOfMarketsKindsAndBlocksWithThePreselectedMarket) {
  TSelStockDlg dialog(nullptr, 3, 0);
  EXPECT_EQ(Tree(dialog.XPTreeView1), "上海,-指数,-A股,深圳,-指数,-A股,上期,-期货,大连,-期货,蓝筹,自选一,空");
  ASSERT_NE(dialog.XPTreeView1->Selected(), nullptr);
  EXPECT_EQ(dialog.XPTreeView1->Selected()->Text(), "大连");
  EXPECT_EQ(dialog.ListBox1->Count(), 1);
  EXPECT_EQ(dialog.chosen.market, 3);
  EXPECT_EQ(dialog.chosen.stock, 0);
}

TEST_F(SelStockTest, ClickChoosesAndAnEmptyBlockLeavesNoChoice) {
  TSelStockDlg dialog(nullptr, 0, 0);
  dialog.ListBox1->SetItemIndex(2);
  dialog.ListBox1Click(nullptr);
  EXPECT_EQ(dialog.chosen.Word(), STKPTR(0, 0, 2).Word());
  TTreeNode *empty = dialog.XPTreeView1->Items()->Item(dialog.XPTreeView1->Items()->Count() - 1);
  dialog.XPTreeView1->SetSelected(empty);
  EXPECT_EQ(dialog.ListBox1->Count(), 0);
  EXPECT_TRUE(dialog.chosen.IsNone());
}

TEST_F(SelStockTest, LayoutOfEachMode) {
  TSelStockDlg overlay(nullptr, 0, 1);
  EXPECT_TRUE(overlay.Panel3->Visible());
  EXPECT_FALSE(overlay.Panel2->Visible());
  EXPECT_EQ(overlay.Label1->Top(), overlay.Panel3->Top() + overlay.Panel3->Height() + 14);
  EXPECT_EQ(overlay.Button1->Top(), overlay.Label1->Top() - 4);
  EXPECT_EQ(overlay.Button2->Top(), overlay.Button1->Top());
  EXPECT_EQ(overlay.Height(), overlay.Button1->Top() + overlay.Button1->Height() + 40);
  EXPECT_TRUE(overlay.RadioButton2->Checked());

  TSelStockDlg spread(nullptr, 0, 2);
  EXPECT_FALSE(spread.Panel3->Visible());
  EXPECT_EQ(spread.Panel2->Top(), spread.Panel3->Top());
  EXPECT_EQ(spread.Panel1->Top(), spread.Panel2->Top() + spread.Panel2->Height() + 5);
  EXPECT_EQ(spread.Label1->Top(), spread.Panel1->Top() + spread.Panel1->Height() + 16);
  EXPECT_TRUE(spread.RadioButton7->Checked());
  EXPECT_TRUE(spread.RadioButton3->Checked());

  TSelStockDlg plain(nullptr, 0, 0);
  EXPECT_EQ(plain.Label1->Top(), plain.XPTreeView1->Top() + plain.XPTreeView1->Height() + 14);

  for (auto [dialog, name] : {std::pair{&overlay, "wizard_selstock_overlay"}, {&spread, "wizard_selstock_spread"}}) {
    dialog->Show();
    harness_.Pump();
    harness_.SavePng(harness_.Render(dialog->Handle()), name);
    dialog->Hide();
  }
}

}  // namespace
