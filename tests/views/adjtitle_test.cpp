// The column scheme editor: labels per tab, adding up to the limit,
// removing, moving a selected run, the width and fixed-count fields, and
// what OK and Cancel leave in the shared store and the settings file.
#include "views/adjtitle.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/profile.h"
#include "testing/beep_recorder.h"
#include "testing/view_harness.h"
#include "views/reportcolumns.h"
#include "tests/views/wizard_fixture.h"

using testing_support::ViewHarness;

namespace {

std::string Lines(TListBox *list) {
  std::string out;
  for (int i = 0; i < list->Count(); ++i) out += (i ? "," : "") + list->Items()->Get(i);
  return out;
}

class AdjTitleTest : public testing::Test {
 protected:
  void SetUp() override {
    world_.Box().WriteText("cfg/setting.ini", "[TableDef2]\r\nName=国内证券\r\n");
    world_.Box().WriteText("user/SETTING.INI",
                           "[TableDef1]\r\nName=期货\r\nCount=4\r\nFixedCol=1\r\nId=0,1,6,8\r\nColWidth=4,8,9,10\r\n"
                           "[TableDef8]\r\nCount=2\r\nId=8,6\r\nColWidth=8,8\r\n");
    LoadColumnSchemes(SchemeFallback{});
    ASSERT_NE(ColumnSchemes, nullptr);
  }
  void TearDown() override { FreeColumnSchemes(); }
  wizard_fixture::MarketWorld world_;
  ViewHarness harness_;
};

TEST_F(AdjTitleTest, LabelsFollowTheTab) {
  EXPECT_EQ(TAdjTitle::ColumnLabel(7, 8), "订货量");
  EXPECT_EQ(TAdjTitle::ColumnLabel(6, 8), "持仓/金额");
  EXPECT_EQ(TAdjTitle::ColumnLabel(0, 8), "持仓量");
  EXPECT_EQ(TAdjTitle::ColumnLabel(1, 8), std::string(ReportColumnTable[8]));
  TAdjTitle editor(nullptr);
  EXPECT_EQ(editor.XPTabControl1->Tabs()->Get(0), "期货");
  EXPECT_EQ(editor.XPTabControl1->Tabs()->Get(1), "国内证券");  // the shared file's name
  EXPECT_EQ(editor.XPTabControl1->Tabs()->Get(2), "未命名");
  editor.SelectScheme(7);
  EXPECT_EQ(Lines(editor.ListBox1), "订货量,现价");
  EXPECT_EQ(editor.ListBox2->Count(), 57);
  editor.ListBox1->SetSelected(1, false);
  editor.Button4Click(nullptr);  // 订货量 goes back to the end of the other list
  EXPECT_EQ(editor.ListBox2->Items()->Get(57), "订货量");
  EXPECT_EQ(editor.current->count, 1);
  EXPECT_EQ(editor.current->ids[0], 6);
  EXPECT_EQ(editor.current->ids[1], -1);
}

TEST_F(AdjTitleTest, AddingStopsWithABeepAtSixtyFourColumns) {
  TAdjTitle editor(nullptr);
  BeepRecorder beeps;
  editor.schemes[0].count = 63;  // filled up with column 9 after the four
  for (int i = 4; i < 63; ++i) editor.schemes[0].ids[i] = 9;
  editor.SelectScheme(0);
  editor.ListBox2->SelectAll();
  editor.Button3Click(nullptr);
  ASSERT_EQ(beeps.Count(), 1u);
  EXPECT_FALSE(beeps.Calls()[0].tone);
  EXPECT_EQ(editor.current->count, 64);
  EXPECT_EQ(editor.current->widths[63], 8);
  EXPECT_EQ(editor.ListBox1->ItemIndex(), 63);
}

TEST_F(AdjTitleTest, SelectedRunMovesUpAndStopsAtTheTop) {
  TAdjTitle editor(nullptr);
  editor.ListBox1->ClearSelection();
  editor.ListBox1->SetSelected(2, true);
  editor.ListBox1->SetSelected(3, true);
  for (int i = 0; i < 3; ++i) editor.Button7Click(nullptr);
  EXPECT_EQ(editor.current->ids[0], 6);
  EXPECT_EQ(editor.current->ids[1], 8);
  EXPECT_EQ(editor.current->widths[1], 10);
  EXPECT_TRUE(editor.ListBox1->Selected(0) && editor.ListBox1->Selected(1));
  editor.Button8Click(nullptr);
  EXPECT_EQ(editor.current->ids[1], 6);
  EXPECT_EQ(editor.current->ids[2], 8);
}

TEST_F(AdjTitleTest, FieldsOfTheTab) {
  TAdjTitle editor(nullptr);
  EXPECT_EQ(editor.Edit1->Text(), "4");
  EXPECT_EQ(editor.Edit2->Text(), "1");
  editor.ListBox1->SetItemIndex(2);
  editor.ListBox1Click(nullptr);
  EXPECT_EQ(editor.Edit1->Text(), "9");
  editor.Edit1->SetText("ab");
  editor.Edit1Change(nullptr);
  EXPECT_EQ(editor.current->widths[2], 9);
  editor.Edit1->SetText("12");
  editor.Edit1Change(nullptr);
  EXPECT_EQ(editor.current->widths[2], 12);
  editor.Edit2->SetText("");
  editor.Edit2Change(nullptr);
  EXPECT_EQ(editor.current->fixedCount, 0);
  editor.Edit4->SetText("");
  editor.Edit4Change(nullptr);
  EXPECT_STREQ(editor.current->name, "期货");
  EXPECT_EQ(editor.XPTabControl1->Tabs()->Get(0), "期货");
  editor.Edit4->SetText("商品期货");
  editor.Edit4Change(nullptr);
  EXPECT_EQ(editor.XPTabControl1->Tabs()->Get(0), "商品期货");
}

TEST_F(AdjTitleTest, OkCopiesBackAndWritesTheNamesCancelDoesNot) {
  {
    TAdjTitle editor(nullptr);
    editor.Edit4->SetText("改名");
    editor.Edit4Change(nullptr);
    editor.Button4Click(nullptr);  // the first column goes
    // Cancel: nothing reaches the store or the file.
  }
  EXPECT_EQ(ColumnSchemes->count[0], 4);
  EXPECT_EQ(world_.Box().Read("user/SETTING.INI").find("改名"), std::string::npos);
  ColumnSchemes->sortColumn[0] = 6;
  TAdjTitle editor(nullptr);
  editor.Edit4->SetText("改名");
  editor.Edit4Change(nullptr);
  editor.Button4Click(nullptr);
  editor.Button5Click(nullptr);
  EXPECT_EQ(editor.ModalResult(), mrOk);
  EXPECT_EQ(ColumnSchemes->count[0], 3);
  EXPECT_EQ(ColumnSchemes->ids[0][0], 1);
  EXPECT_EQ(ColumnSchemes->ids[0][3], -1);
  EXPECT_EQ(ColumnSchemes->sortColumn[0], 6);
  char name[16];
  GetPrivateProfileStringA("TableDef1", "Name", "", name, sizeof name,
                           (std::string(UserDataPath) + "SETTING.INI").c_str());
  EXPECT_STREQ(name, "改名");
}

// Drawn with the XP-look family: the flat frame round the edits and lists on
// the tabs, the dark blue edge of the buttons.
TEST_F(AdjTitleTest, Picture) {
  TAdjTitle editor(nullptr);
  editor.SelectScheme(7);
  editor.Show();
  harness_.Pump();
  const QImage image = harness_.Render(editor.Handle());
  harness_.SavePng(image, "wizard_adjtitle");
  // A frame pixel in the form's picture: the frame is the control's border.
  auto frame = [&](TControl *c, int x, int y) {
    for (TControl *p = c; p && p != &editor; p = p->Parent()) x += p->Left(), y += p->Top();
    const QRgb q = image.pixel(x, y);
    return RGB(qRed(q), qGreen(q), qBlue(q));
  };
  for (TControl *c : std::initializer_list<TControl *>{editor.Edit4, editor.ListBox1, editor.ListBox2}) {
    EXPECT_EQ(frame(c, 0, 0), XPFrameColor);
    EXPECT_EQ(frame(c, c->Width() - 1, 5), XPFrameColor);
  }
  for (TXPButton *b : {editor.Button3, editor.Button5}) EXPECT_EQ(harness_.Pixel(b, b->Width() / 2, 1), RGB(0, 60, 116));
  editor.Hide();
}

}  // namespace
