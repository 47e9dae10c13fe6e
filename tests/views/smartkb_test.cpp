// The wizard form: typing finds rows, Enter takes the current one, the
// blank row of no match takes nothing, and the list's colours.
#include "views/smartkb.h"

#include <gtest/gtest.h>

#include "tests/views/wizard_fixture.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

namespace {

class SmartKBTest : public testing::Test {
 protected:
  void SetUp() override {
    world_.WriteStandard();
    world_.Build();
  }
  wizard_fixture::MarketWorld world_;
  ViewHarness harness_;
};

TEST_F(SmartKBTest, EnterTakesTheInstrumentOfTheCurrentRow) {
  TSmartKB wizard(nullptr);
  int result = harness_.RunModal(&wizard, [&] {
    harness_.Type(wizard.Edit1, "ZGPA");
    EXPECT_TRUE(wizard.DrawGrid1->Enabled());
    EXPECT_EQ(wizard.DrawGrid1->RowCount(), 1);
    harness_.Key(VK_RETURN, TShiftState(), wizard.Edit1->Handle());
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(wizard.accepted, 1);
  EXPECT_EQ(wizard.resultKind, kWizardResultView);
  EXPECT_EQ(wizard.resultGroup, kWizardStock);
  EXPECT_EQ(wizard.viewAttr.stock.market, 0);
  EXPECT_EQ(wizard.viewAttr.stock.stock, 2);  // 601318
  EXPECT_EQ(wizard.Edit1->Text(), "");
}

TEST_F(SmartKBTest, DownMovesTheRowAndEnterTakesIt) {
  TSmartKB wizard(nullptr);
  harness_.RunModal(&wizard, [&] {
    harness_.Type(wizard.Edit1, "036");
    harness_.Key(VK_DOWN, TShiftState(), wizard.Edit1->Handle());
    EXPECT_EQ(wizard.DrawGrid1->Row(), 1);
    harness_.Key(VK_RETURN, TShiftState(), wizard.Edit1->Handle());
  });
  EXPECT_EQ(wizard.accepted, 1);
  EXPECT_EQ(wizard.viewAttr.stock.market, 1);  // 000036 of market 1
  EXPECT_EQ(wizard.viewAttr.stock.stock, 2);
}

TEST_F(SmartKBTest, EnterOnTheNoMatchRowChoosesNothing) {
  TSmartKB wizard(nullptr);
  int result = harness_.RunModal(&wizard, [&] {
    harness_.Type(wizard.Edit1, "ZGPA");  // an earlier search found an instrument
    for (int i = 0; i < 4; ++i) harness_.Key(VK_BACK, TShiftState(), wizard.Edit1->Handle());
    harness_.Type(wizard.Edit1, "QQQQ");
    EXPECT_FALSE(wizard.DrawGrid1->Enabled());
    EXPECT_TRUE(wizard.Search().NoMatch());
    harness_.Key(VK_RETURN, TShiftState(), wizard.Edit1->Handle());
  });
  EXPECT_NE(result, mrOk);
  EXPECT_EQ(wizard.accepted, 0);
  EXPECT_EQ(wizard.viewAttr.stock.market, 0);  // untouched
  EXPECT_EQ(wizard.viewAttr.stock.stock, 0);
}

TEST_F(SmartKBTest, EscapeCancels) {
  TSmartKB wizard(nullptr);
  int result = harness_.RunModal(&wizard, [&] {
    harness_.Type(wizard.Edit1, "6");
    harness_.Key(VK_ESCAPE, TShiftState(), wizard.Edit1->Handle());
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(wizard.accepted, 0);
}

TEST_F(SmartKBTest, ListColoursAndPicture) {
  TSmartKB wizard(nullptr);
  wizard.Show();
  harness_.Type(wizard.Edit1, "60");
  harness_.Pump();
  harness_.SavePng(harness_.Render(wizard.Handle()), "wizard_smartkb");
  ASSERT_GE(wizard.DrawGrid1->RowCount(), 2);
  // The selected first row is grey, the others white.
  EXPECT_EQ(harness_.Pixel(wizard.DrawGrid1, 200, 9), COLORREF(RGB(128, 128, 128)));
  EXPECT_EQ(harness_.Pixel(wizard.DrawGrid1, 200, 18 + 9), COLORREF(RGB(255, 255, 255)));
  wizard.Hide();
}

}  // namespace
