#include "shell/alarmdlg.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "shell/quoteconn.h"
#include "testing/beep_recorder.h"
#include "testing/common_dialog_recorder.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/view_harness.h"

using namespace market_fixture;

namespace {

class AlarmDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDataSet(StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0)), box_.Root());
    BuildMarketTableOffline();
    const STKINFO *a = MarketAt(0)->FindStock("600000");
    const STKINFO *b = MarketAt(0)->FindStock("600036");
    pufa_ = STKPTR(0, a->kind, a->index);
    nanshan_ = STKPTR(0, b->kind, b->index);
    AlarmEngine = new TAlarm(false);
    std::ofstream(box_.Root() + "/user/own.wav") << "RIFF";
  }
  void TearDown() override {
    FreeAlarmWindows();
    AlarmEngine->items.RemoveAll();
    delete AlarmEngine;
    FreeMarketTable();
  }
  AlarmData Item(STKPTR stock, float high, uint32_t state = 0) {
    AlarmData item = NewAlarmItem(stock);
    item.priceHigh = high;
    item.state = state;
    return item;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto &call : boxes_.Calls()) texts.push_back(call.text);
    return texts;
  }

  testing_support::ViewHarness harness_;
  MarketSandbox box_;
  MessageBoxRecorder boxes_;
  BeepRecorder sounds_;
  STKPTR pufa_, nanshan_;
};

// "确定" of the condition dialog: a text that is no number is refused with
// the field's name (it used to read as 0, a ceiling the first quote
// crossed); no condition at all is refused; a sound file that is missing is
// asked about, and "No" takes the item without it.
TEST_F(AlarmDialogTest, TheConditionDialogRefusesWhatItCannotTake) {
  struct Case {
    const char *high, *low, *sound;
    int answer;
    TModalResult result;
    const char *message;  // the start of the box's text, or null
  } cases[] = {
      {"abc", "", "", IDOK, mrNone, "“价格上限”"},
      {"10.5", "1e999", "", IDOK, mrNone, "“价格下限”"},
      {"", "", "own.wav", IDOK, mrNone, "必须设定至少一项报警条件。  "},
      {" 10.5 ", "", "gone.wav", IDYES, mrNone, "指定的报警声音“"},
      {"10.5", "", "gone.wav", IDNO, mrOk, "指定的报警声音“"},
      {"10.5", "9", "", IDOK, mrOk, nullptr},
  };
  for (const Case &c : cases) {
    boxes_.Clear();
    boxes_.QueueAnswer(c.answer);
    TModifyAlert dialog(nullptr, NewAlarmItem(pufa_));
    for (auto [box, text] : {std::pair{dialog.CheckBox1, c.high}, std::pair{dialog.CheckBox2, c.low}}) {
      box->SetChecked(text[0] != 0);
      dialog.CheckBoxClick(box);
    }
    dialog.Edit_Up->SetText(c.high);
    dialog.Edit_Low->SetText(c.low);
    dialog.XPEdit1->SetText(c.sound[0] ? box_.Root() + "/user/" + c.sound : "");
    dialog.Button1Click(nullptr);
    EXPECT_EQ(dialog.ModalResult(), c.result) << c.high << " " << c.low;
    if (c.message) {
      ASSERT_EQ(boxes_.Count(), 1u) << c.high;
      EXPECT_EQ(Texts()[0].rfind(c.message, 0), 0u) << Texts()[0];
    } else {
      EXPECT_EQ(boxes_.Count(), 0u);
    }
    if (c.result == mrOk) {
      EXPECT_EQ(dialog.item.priceHigh, 10.5f);
      EXPECT_STREQ(dialog.item.sound, "") << "a missing file is not kept";
    } else {
      EXPECT_FALSE(AlarmIsSet(dialog.item.priceHigh)) << "nothing taken";
    }
  }
  // Unchecking a box empties its edit, so its value is dropped.
  AlarmData item = Item(pufa_, 10.5f);
  TModifyAlert dialog(nullptr, item);
  EXPECT_TRUE(dialog.CheckBox1->Checked());
  EXPECT_EQ(dialog.Edit_Up->Text(), "10.50");
  dialog.CheckBox1->SetChecked(false);
  dialog.CheckBoxClick(dialog.CheckBox1);
  EXPECT_EQ(dialog.Edit_Up->Text(), "");
  EXPECT_FALSE(dialog.Edit_Up->Enabled());
}

// "添加" at 100 items says so before any picker opens; "修改" moves the
// item to the end, re-armed on OK and as it was on Cancel.
TEST_F(AlarmDialogTest, TheSettingsDialogAddsAndChangesItems) {
  TAlartfm form(nullptr);
  int picks = 0;
  form.pickInstrument = [&](STKPTR &chosen) {
    ++picks;
    chosen = nanshan_;
    return true;
  };
  bool accept = false;
  form.editCondition = [&](AlarmData &item) {
    item.priceLow = 30.0f;
    return accept;
  };
  for (int i = 0; i < kAlarmMaxItems; ++i) AlarmEngine->AddAlarm(Item(pufa_, float(i)));
  form.AddClick(nullptr);
  EXPECT_EQ(picks, 0);
  EXPECT_EQ(Texts(), std::vector<std::string>{"报警项目个数已达到上限，无法添加。  "});
  AlarmEngine->items.ShrinkBy(kAlarmMaxItems - 3);
  accept = true;
  form.AddClick(nullptr);
  EXPECT_EQ(picks, 1);
  ASSERT_EQ(AlarmEngine->items.GetCount(), 4);
  EXPECT_TRUE(SameStock(AlarmEngine->items.GetAt(3).stock, nanshan_));

  for (bool ok : {false, true}) {
    AlarmEngine->items.GetData()[0].state = ALARM_ABOVE_HIGH;
    const float high = AlarmEngine->items.GetAt(0).priceHigh;
    accept = ok;
    form.RefreshList();
    form.BaseGrid->SetRow(1);
    form.ChangeClick(nullptr);
    const AlarmData last = AlarmEngine->items.GetAt(3);
    EXPECT_EQ(last.priceHigh, high) << "the changed item moved to the end";
    EXPECT_EQ(last.state, ok ? 0u : ALARM_ABOVE_HIGH);
    EXPECT_EQ(AlarmIsSet(last.priceLow), ok);
    EXPECT_EQ(form.BaseGrid->Row(), 4);
    EXPECT_EQ(form.BaseGrid->Cells(7, 4), ok ? " " : "  ");
  }
  boxes_.Clear();
  boxes_.QueueAnswer(IDYES);
  form.BaseGrid->SetRow(4);
  form.DeleteClick(nullptr);
  EXPECT_EQ(Texts(), std::vector<std::string>{"删除 东海银行 ？  "});
  EXPECT_EQ(AlarmEngine->items.GetCount(), 3);
}

// The alarm window lists the fired items, the last added first, with the
// reason of the lowest condition and the firing time in the display zone:
// the local time of the computer (here UTC) moved to the market's clock.
TEST_F(AlarmDialogTest, TheAlarmWindowListsFiredItemsNewestFirst) {
  TIME_ZONE_INFORMATION utc{};
  harness_.Clock().SetZone(utc);
  AlarmEngine->AddAlarm(Item(pufa_, 1));
  AlarmEngine->AddAlarm(Item(nanshan_, 1));
  AlarmEngine->AddAlarm(Item(pufa_, 1));
  AlarmData *items = AlarmEngine->items.GetData();
  items[0].state = ALARM_VOLUME | ALARM_BELOW_LOW;
  items[1].state = ALARM_AMOUNT;
  const SYSTEMTIME fired{2024, 1, 1, 15, 2, 0, 0, 0};
  items[0].firedAt = items[1].firedAt = fired;
  TAlarmWin window(nullptr);
  ASSERT_EQ(window.rowStocks.GetCount(), 2);
  EXPECT_EQ(window.AlarmGrid->Cells(0, 1), "南山银行");
  EXPECT_EQ(window.AlarmGrid->Cells(3, 1), "金额/持仓上限");
  EXPECT_EQ(window.AlarmGrid->Cells(0, 2), "东海银行");
  EXPECT_EQ(window.AlarmGrid->Cells(3, 2), "低于价格下限");
  EXPECT_EQ(window.AlarmGrid->Cells(1, 2), "2024-01-15 10:00");
  AlarmEngine->Rearm();
  window.RefreshList();
  EXPECT_EQ(window.rowStocks.GetCount(), 0);
  EXPECT_EQ(window.AlarmGrid->RowCount(), 2) << "an empty row below the header";
}

// The three windows as pictures; the state column shows green for an armed
// item and red for a fired one.
TEST_F(AlarmDialogTest, PicturesOfTheAlarmWindows) {
  AlarmEngine->AddAlarm(Item(pufa_, 10.5f));
  AlarmEngine->AddAlarm(Item(nanshan_, 35.0f));
  AlarmEngine->items.GetData()[1].state = ALARM_ABOVE_HIGH;
  GetLocalTime(&AlarmEngine->items.GetData()[1].firedAt);
  ShowAlarmSettings();
  harness_.Pump();
  TStringGrid *grid = AlarmSettingsForm->BaseGrid;
  for (int row : {1, 2}) {
    const TRect cell = grid->CellRect(7, row);
    const COLORREF dot = harness_.Pixel(grid->Handle(), cell.Left + 5 + 8, cell.Top + 1 + 8);
    EXPECT_EQ(dot, row == 1 ? RGB(0, 160, 0) : RGB(224, 0, 0)) << row;
  }
  harness_.SavePng(harness_.Render(AlarmSettingsForm->Handle()), "alarm-settings");

  ShowAlarmWindow();
  harness_.Pump();
  EXPECT_EQ(AlarmWindow->rowStocks.GetCount(), 1);
  harness_.SavePng(harness_.Render(AlarmWindow->Handle()), "alarm-window");

  TModifyAlert dialog(nullptr, AlarmEngine->items.GetAt(0));
  dialog.Label5->SetCaption("东海银行(600000)");
  dialog.Show();
  harness_.Pump();
  // The play button's triangle is black at its left edge's middle.
  EXPECT_EQ(harness_.Pixel(dialog.XPButton2->Handle(), 6, 11), RGB(0, 0, 0));
  harness_.SavePng(harness_.Render(dialog.Handle()), "alarm-condition");
}

}  // namespace
