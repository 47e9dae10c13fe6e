// The automation windows: the stop dialog with an open editor, the
// condition dialog in both layouts, the check list's drawn rows and the
// condition-order page's tabs, each also as a picture a person looks at.
#include <gtest/gtest.h>

#include <cstring>

#include "market/dataio5.h"
#include "testing/view_harness.h"
#include "tests/trading/stop_world.h"
#include "trading/automationpages.h"
#include "trading/conditiondialogform.h"
#include "trading/conditionorders.h"
#include "trading/pendingorders.h"
#include "trading/stopdialogform.h"

namespace trading_test {
namespace {

using testing_support::PictureSheet;
using testing_support::ViewHarness;

class AutomationFormsTest : public StopWorld {
 protected:
  AutomationFormsTest() : conditions_(desk_, hooks_) { GetStockInfo(STKPTR(1, 0, 0))->decimals = 1; }

  ConditionOrder &AddCondition(int8_t trigger, uint8_t state) {
    return AddConditionOrder('0', trigger, 3500, 2, state);
  }

  ViewHarness harness_;
  TAutomationHooks hooks_;
  TConditionOrders conditions_;
};

TEST_F(AutomationFormsTest, StopDialogOpensEditorsOverCells) {
  InvestorPosition_Lite &p = AddPosition('2', 5, 1);
  ASSERT_TRUE(p.AddStop(desk_.positions, 2, 3400, 0, 3600, 0, 0, 20240115));
  TStopDialogModel model(desk_);
  model.lastPrice = [] { return 3490.0; };
  model.SetPosition(p, 0.2, 0);
  TSetStopOrderDlg form(nullptr, model);
  form.Show();
  harness_.Pump();
  ASSERT_EQ(form.XPListView1->Items()->Count(), 2);
  EXPECT_EQ(form.XPListView1->Items()->Item(0)->SubItems()->Get(1), "3400.0");
  // A press on the second row's stop cell (columns 108 + 60 in).
  const TRect row = form.XPListView1->Items()->Item(1)->DisplayRect(LVIR_BOUNDS);
  form.XPListView1MouseDown(108 + 60 + 10, row.Top + 2);
  harness_.Pump();
  EXPECT_TRUE(form.XPPriceEdit1->Visible());
  EXPECT_TRUE(form.XPUpDown1->Visible());
  EXPECT_EQ(form.XPPriceEdit1->Left(), 168);
  form.StepEditor(true);
  EXPECT_EQ(form.XPPriceEdit1->Text(), "3490.0");  // last - tick + tick
  // The header is painted white, not in the button face.
  EXPECT_EQ(harness_.Pixel(form.XPListView1->HeaderHandle(), 530, 3), 0xFFFFFFu);
  harness_.SavePng(harness_.Render(form.Handle()), "stop-dialog");

  // Leaving the editor stores the stepped price (below last for a long).
  form.StepEditor(false);
  form.XPEdit1Exit();
  EXPECT_FALSE(form.XPPriceEdit1->Visible());
  EXPECT_EQ(model.rows[1][kStopColumnStop], "3489.8");
}

TEST_F(AutomationFormsTest, StopDialogRunsModallyAndClosesUnsaved) {
  InvestorPosition_Lite &p = AddPosition('2', 2, 1);
  TStopDialogModel model(desk_);
  model.SetPosition(p, 0.2, 0);
  std::vector<bool> modal;
  harness_.Soon([] { CloseOpenStopDialog(); });
  EXPECT_FALSE(RunStopDialog(model, [&](bool on) { modal.push_back(on); }));
  EXPECT_EQ(modal, (std::vector<bool>{true, false}));
  EXPECT_EQ(desk_.positions.GetData()[0].Stops, nullptr);
}

TEST_F(AutomationFormsTest, ConditionDialogLayouts) {
  TConditionDialogModel model(desk_);
  model.InitForNew(desk_.FindContract("M2401"), 0, 0, "对手价", 3);
  model.fields.advanced = true;
  TSetConditionOrderDlg form(nullptr, model);
  form.Show();
  harness_.Pump();
  PictureSheet sheet(2);
  EXPECT_EQ(form.ClientHeight(), 423);
  EXPECT_TRUE(form.Panel3->Visible());
  EXPECT_TRUE(form.XPCheckBox8->Visible());  // "对手价" shows the cancel options
  sheet.Add("advanced", harness_.Render(form.Handle()));
  form.XPButton3Click();
  harness_.Pump();
  EXPECT_EQ(form.ClientHeight(), 309);
  EXPECT_FALSE(form.Panel3->Visible());
  EXPECT_TRUE(form.Label2->Visible());
  EXPECT_EQ(form.Label2->Caption(), "M2401，价格 对手价，数量 3");
  EXPECT_EQ(form.XPButton1->Top(), 242);
  sheet.Add("simple", harness_.Render(form.Handle()));
  harness_.SavePng(sheet.Compose(), "condition-dialog");

  // Offset "平仓" hides the stop fields.
  form.XPButton3Click();
  form.XPRadioButton5->SetChecked(true);
  form.XPRadioButton5->OnClick(form.XPRadioButton5);
  EXPECT_FALSE(form.XPPriceEdit3->Visible());
}

TEST_F(AutomationFormsTest, CheckListRowsAreDrawnAndClicksDelete) {
  desk_.orders.Add(MakePendingOrder(desk_, "DCE", "M2401", '0', '0', '1', 3500, 2));
  InvestorPosition_Lite &p = AddPosition('2', 3, 1);
  ASSERT_TRUE(p.AddStop(desk_.positions, 1, 3400, 5, 0, 3490, 0, 20240115));
  ASSERT_TRUE(p.AddStop(desk_.positions, 2, 3300, 0, 3700, 0, 0, 20240115));
  AddCondition(0, 0);
  AddCondition(2, 0);
  TAutomationCheckList list(desk_, conditions_);
  list.Fill();
  TForm form(nullptr);
  form.SetClientSize(640, 300);
  auto *panel = new TCheckListPanel(&form, list);
  panel->SetParent(&form);
  panel->ShowRows();
  form.Show();
  harness_.Pump();
  ASSERT_EQ(panel->XPListView5->Items()->Count(), 7);
  const int rowHeight = panel->XPListView5->RowHeight();
  const int header = panel->XPListView5->HeaderHeight();
  // Even rows white, odd rows grey; the separator (row 1) only filled.
  EXPECT_EQ(harness_.Pixel(panel->XPListView5, 530, header + rowHeight / 2), 0xFFFFFFu);
  EXPECT_EQ(harness_.Pixel(panel->XPListView5, 530, header + rowHeight + rowHeight / 2), RGB(245, 245, 245));
  harness_.SavePng(harness_.Render(&form), "check-list");

  // A click in another column does nothing; in "操作" of a separator
  // neither; in "操作" of the open-trigger row it goes.
  const int action = 66 + 60 + 37 + 284 + 10;
  panel->XPListView5MouseDown(100, header + rowHeight / 2);
  panel->XPListView5MouseDown(action, header + rowHeight + 2);
  EXPECT_EQ(panel->XPListView5->Items()->Count(), 7);
  panel->XPListView5MouseDown(action, header + 2);
  EXPECT_EQ(panel->XPListView5->Items()->Count(), 5);
  EXPECT_EQ(desk_.orders.GetCount(), 0);
  // The menu's "删除" on the selected stop row.
  panel->XPListView5->SetItemIndex(0);
  panel->DeleteSelected();
  EXPECT_EQ(panel->XPListView5->Items()->Count(), 4);
  EXPECT_EQ(Stops(desk_.positions.GetData()[0]), std::vector<double>{3300});
}

TEST_F(AutomationFormsTest, ConditionPageTabs) {
  AddCondition(0, 0);
  AddCondition(3, 1);
  AddCondition(-1, 1);
  std::string dealed("KVDD13");
  for (int i = 0; i < 3; ++i) {
    ConditionOrder c = desk_.conditions.GetData()[0];
    c.Made.wYear = 2024;
    c.Made.wMonth = 1;
    c.Made.wDay = 15;
    c.State = i == 1 ? 2 : 0;
    unsigned char record[kConditionRecordSize];
    PutConditionRecord(c, record);
    dealed.append(reinterpret_cast<char *>(record), sizeof record);
  }
  WriteBytes("Dealed.dat", dealed);
  TConditionPage page(desk_, conditions_);
  TForm form(nullptr);
  form.SetClientSize(1040, 260);
  auto *panel = new TConditionPagePanel(&form, page);
  panel->SetParent(&form);
  form.Show();
  panel->XPTabControl4Change();
  harness_.Pump();
  PictureSheet sheet(1);
  ASSERT_EQ(panel->XPListViewConditionOrder->Items()->Count(), 3);
  EXPECT_EQ(panel->XPListViewConditionOrder->Items()->Item(0)->ImageIndex, 1);  // newest first, paused
  panel->XPListViewConditionOrder->Items()->Item(0)->SetSelected(true);
  panel->XPListViewConditionOrder->Items()->Item(1)->SetSelected(true);
  panel->ReadSelection();
  page.SelectionChanged(1);
  EXPECT_EQ(std::string(page.PauseCaption()), "启用");
  sheet.Add("orders", harness_.Render(panel));

  panel->XPTabControl4->SetTabIndex(1);
  panel->XPTabControl4Change();
  harness_.Pump();
  EXPECT_EQ(panel->XPListViewConditionOrder->Items()->Count(), 3);
  EXPECT_FALSE(panel->XPButton29->Visible());
  EXPECT_EQ(panel->Button5->Caption(), "全部删除");
  EXPECT_EQ(panel->Button5->Left(), 1);
  EXPECT_EQ(panel->XPListViewConditionOrder->Items()->Item(1)->SubItems()->Get(6), "手动");
  sheet.Add("fired", harness_.Render(panel));
  harness_.SavePng(sheet.Compose(), "condition-page");
}

}  // namespace
}  // namespace trading_test
