// The options dialog's window: its controls follow the model's rules, the
// automatic stop list and the play button draw what the dialog fixes, the
// file dialog and help go through the platform, and OK stores the edits.
#include "trading/optionform.h"

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "testing/common_dialog_recorder.h"
#include "testing/shell_recorder.h"
#include "testing/view_harness.h"
#include "tests/trading/desk_fixture.h"

namespace {

using testing_support::ViewHarness;

class OptionFormTest : public trading_test::DeskTest {
 protected:
  OptionFormTest() {
    const CContractInfo table[] = {Contract("CU2405"), Contract("CU2406"), Contract("M2401")};
    desk_.SetContracts(table, 3);
    desk_.LoadOptionShortcuts();
  }
  void ShowTab(TOptionForm &form, int tab) {
    form.XPTabControl1->SetTabIndex(tab);
    form.XPTabControl1Change(form.XPTabControl1);
    harness_.Pump();
  }

  ViewHarness harness_;
};

TEST_F(OptionFormTest, PagesShowEveryTabAndThePlayTriangle) {
  TOptionForm form(nullptr, desk_);
  form.Show();
  harness_.Pump();
  // The triangle: left edge at x 6 from y 6 to 16, tip at (15, 11).
  struct Probe {
    int x, y;
    bool black;
  } probes[] = {{6, 6, true}, {6, 16, true}, {6, 11, true}, {15, 11, true}, {10, 11, true},
                {6, 5, false}, {6, 17, false}, {16, 11, false}, {15, 8, false}, {5, 11, false}};
  for (const Probe &p : probes) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    EXPECT_EQ(harness_.Pixel(form.XPButton3, p.x, p.y) == 0x000000, p.black);
  }

  testing_support::PictureSheet sheet(4);
  for (int tab = 0; tab < 7; ++tab) {
    ShowTab(form, tab);
    for (int other = 0; other < 7; ++other) EXPECT_EQ(form.pages[other]->Visible(), other == tab);
    EXPECT_EQ(form.model.tab, tab);
    sheet.Add(TOptionDlg::kTabNames[tab], harness_.Render(form.Handle()));
  }
  harness_.SavePng(sheet.Compose(), "options-dialog");
}

TEST_F(OptionFormTest, AStopLineWithDistancesIsDrawnOnItsColour) {
  TOptionForm form(nullptr, desk_);
  form.Show();
  ShowTab(form, TOptionDlg::kAutoStop);
  TXPListBox *list = form.XPListBox1;
  ASSERT_EQ(list->Count(), 8);  // four lines per product
  list->SetItemIndex(0);
  list->OnClick(list);
  form.lossEdit->SetText("5");
  form.stopModifyButton->Click();
  list->SetItemIndex(2);
  list->OnClick(list);
  harness_.Pump();
  const int h = list->ItemHeight();
  const int x = list->ClientWidth() - 4;
  EXPECT_EQ(harness_.Pixel(list, x, h / 2), TOptionDlg::kStopLineColour);  // CU buy: a loss distance
  EXPECT_EQ(harness_.Pixel(list, x, h + h / 2), 0xFFFFFFu);               // CU sell: none
  EXPECT_EQ(desk_.contracts[1].BuyLoss, 5u);
}

TEST_F(OptionFormTest, BoxesFollowTheModel) {
  TOptionForm form(nullptr, desk_);
  form.Show();
  ShowTab(form, TOptionDlg::kQuick);
  // The plain and re-order time-out boxes exclude each other; an unchecked
  // box's edit is disabled.
  form.reorderBox->SetChecked(true);
  form.reorderBox->OnClick(form.reorderBox);
  EXPECT_FALSE(form.timeOutBox->Checked());
  EXPECT_FALSE(form.timeOutEdit->Enabled());
  EXPECT_TRUE(form.reorderEdit->Enabled());

  // Both stop price kinds away from the opposite price disable the
  // adjustment boxes with their edits.
  ShowTab(form, TOptionDlg::kStop);
  form.offsetSBox->SetChecked(true);
  form.offsetSBox->OnClick(form.offsetSBox);
  EXPECT_TRUE(form.offsetSEdit->Enabled());
  form.lossKindCombo->SetItemIndex(1);
  form.profitKindCombo->SetItemIndex(2);
  form.profitKindCombo->OnChange(form.profitKindCombo);
  for (TControl *control : std::initializer_list<TControl *>{form.offsetSBox, form.offsetSEdit, form.offsetSSellBox})
    EXPECT_FALSE(control->Enabled());
  EXPECT_FALSE(form.offsetSBox->Checked());
  form.lossKindCombo->SetItemIndex(0);
  form.lossKindCombo->OnChange(form.lossKindCombo);
  EXPECT_TRUE(form.offsetSBox->Enabled());
}

TEST_F(OptionFormTest, OkStoresTheTypedValues) {
  TOptionForm form(nullptr, desk_);
  const int result = harness_.RunModal(&form, [&] {
    ShowTab(form, TOptionDlg::kQuick);
    form.timeOutBox->SetChecked(true);
    form.timeOutBox->OnClick(form.timeOutBox);
    form.timeOutEdit->SetText("9");
    form.XPButton1->Click();
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(desk_.options.TimeOut, 9);
  EXPECT_FALSE(desk_.options.ReInputOrder);
  char value[16];
  GetPrivateProfileStringA("Script", "TimeOut", "", value, sizeof value, AccountPath("Consign.ini").c_str());
  EXPECT_STREQ(value, "9");
}

TEST_F(OptionFormTest, BrowseAndHelpGoThroughThePlatform) {
  CommonDialogRecorder dialogs;
  dialogs.QueueFile({true, ".\\sound\\ding.wav", 1});
  TOptionForm form(nullptr, desk_);
  form.Show();
  form.soundEdit->SetText(".\\old.wav");
  form.browseButton->Click();
  ASSERT_EQ(dialogs.FileRequests().size(), 1u);
  const platform::FileDialogRequest &request = dialogs.FileRequests()[0];
  EXPECT_EQ(request.title, "选择提示声音");
  EXPECT_EQ(request.initialDir, ".\\");
  EXPECT_EQ(request.fileName, ".\\old.wav");
  ASSERT_EQ(request.filters.size(), 1u);
  EXPECT_EQ(request.filters[0].patterns, "*.wav");
  EXPECT_TRUE(request.flags & OFN_FILEMUSTEXIST);
  EXPECT_EQ(form.soundEdit->Text(), ".\\sound\\ding.wav");

  // Help tries the browser with the page's address, then the address, and
  // says so when neither starts.
  ShellRecorder shell;
  shell.QueueOpenResult(2);
  shell.QueueOpenResult(2);
  form.helpButton->Click();
  const std::vector<platform::ShellOpenCall> opens = shell.Opens();
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[0].file, "IEXPLORE.EXE");
  EXPECT_EQ(opens[0].parameters, form.model.HelpAddress());
  EXPECT_EQ(opens[1].file, form.model.HelpAddress());
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "无法启动浏览器。  ");
}

}  // namespace

namespace {

TEST_F(OptionFormTest, TheGeneralPagesFlagsAndLayoutCombosReachTheOptions) {
  desk_.options.ResetUI = true;
  desk_.options.SyncContract = true;
  desk_.options.LayOut1 = 0;
  desk_.options.LayOut2 = 1;
  TOptionForm form(nullptr, desk_);
  form.Show();
  harness_.Pump();
  auto box = [&](const char *caption) -> TXPCheckBox * {
    for (int i = 0; i < form.pages[0]->ControlCount(); ++i)
      if (auto *b = dynamic_cast<TXPCheckBox *>(form.pages[0]->Controls(i)); b && b->Caption() == caption) return b;
    return nullptr;
  };
  // Each flag box shows its option and its click changes only that one.
  const struct {
    const char *caption;
    bool TradingOptions::*flag;
  } flags[] = {
      {"交易窗口自动隐藏", &TradingOptions::FloatUIAutoHide},
      {"启用下单工具栏", &TradingOptions::QuickDeal},
      {"发出委托后显示“当日委托”", &TradingOptions::ResetUI},
      {"同步切换行情窗口中的合约", &TradingOptions::SyncContract},
  };
  for (const auto &f : flags) {
    SCOPED_TRACE(f.caption);
    TXPCheckBox *b = box(f.caption);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Checked(), desk_.options.*f.flag);
    const TradingOptions before = form.model.edited;
    b->SetChecked(!b->Checked());
    b->OnClick(b);
    EXPECT_EQ(form.model.edited.*f.flag, !(before.*f.flag));
  }

  // A layout combo given the other's place is put back, with a box.
  EXPECT_EQ(form.layoutCombos[0]->ItemIndex(), 0);
  EXPECT_EQ(form.layoutCombos[1]->ItemIndex(), 1);
  form.layoutCombos[0]->OnDropDown(form.layoutCombos[0]);
  form.layoutCombos[0]->SetItemIndex(1);
  form.layoutCombos[0]->OnChange(form.layoutCombos[0]);
  EXPECT_EQ(form.layoutCombos[0]->ItemIndex(), 0);
  EXPECT_EQ(boxes_.Count(), 1u);
  form.layoutCombos[0]->SetItemIndex(3);
  form.layoutCombos[0]->OnChange(form.layoutCombos[0]);
  EXPECT_EQ(form.model.edited.LayOut1, 3);
  char stored[8] = {};
  GetPrivateProfileStringA("UI", "LayOut1", "", stored, sizeof stored, desk_.AccountFile("Consign.ini").c_str());
  EXPECT_STREQ(stored, "3");

  // OK stores the flags.
  form.XPButton1Click(form.XPButton1);
  EXPECT_FALSE(desk_.options.ResetUI);
  EXPECT_FALSE(desk_.options.SyncContract);
}

}  // namespace
