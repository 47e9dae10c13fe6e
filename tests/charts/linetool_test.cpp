// The line palette, the text and property dialogs and the spiral-calendar
// aid, driven through the view harness; and the picture sheets of the
// drawing objects.
#include <gtest/gtest.h>

#include "charts/lineproperty.h"
#include "charts/linetool.h"
#include "charts/luoli.h"
#include "charts/textline.h"
#include "classlib/stdctrls.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "testing/common_dialog_recorder.h"
#include "testing/msgbox_recorder.h"
#include "testing/view_harness.h"
#include "tests/charts/line_fixture.h"

using namespace line_fixture;
using testing_support::PictureSheet;
using testing_support::ViewHarness;

namespace {

// The active K-line view as the palette sees it.
struct FakeKLine : TLinePaletteClient {
  void DeleteAllLines() override { calls.push_back("DeleteAllLines"); }
  void SetLuoliShown(bool shown) override { calls.push_back(std::string("SetLuoliShown ") + (shown ? "1" : "0")); }
  void SetLineToolItemChecked(bool checked) override {
    calls.push_back(std::string("SetLineToolItemChecked ") + (checked ? "1" : "0"));
  }
  std::vector<std::string> calls;
};

class Palette : public ::testing::Test {
 protected:
  void SetUp() override {
    chart.SetCaption("chart");
    chart.SetBounds(0, 0, 300, 200);
    edit = new TEdit(&chart);
    edit->SetParent(&chart);
    chart.Show();
    world.host.mainWindow = chart.Handle();
    palette = std::make_unique<TLineToolBox>(nullptr);
    palette->activeKLine = [this] { return active; };
    palette->forEachKLine = [this](const std::function<void(TLinePaletteClient *)> &visit) { visit(&view); };
    world.host.linePalette = palette.get();
    palette->Show();
    edit->SetFocus();
    harness.Pump();
  }
  void Press(int code) {
    TSpeedButton *b = palette->Button(code);
    harness.Click(palette->Handle(), b->Left() + 5, b->Top() + 5);
  }

  ViewHarness harness;
  ChartWorld world;
  TForm chart{nullptr};
  TEdit *edit = nullptr;
  FakeKLine view;
  TLinePaletteClient *active = &view;
  std::unique_ptr<TLineToolBox> palette;
};

TEST_F(Palette, ButtonsPickAToolAndNeverTakeTheFocus) {
  EXPECT_EQ(GetFocus(), edit->Handle());
  Press(5);
  EXPECT_EQ(world.host.lineTool, 5);
  EXPECT_TRUE(palette->Button(5)->Down());
  Press(9);
  EXPECT_EQ(world.host.lineTool, 9);
  EXPECT_FALSE(palette->Button(5)->Down()) << "one group";
  Press(9);
  EXPECT_EQ(world.host.lineTool, -1) << "a pressed button raised again";
  EXPECT_FALSE(palette->Button(9)->Down());
  harness.Click(palette->Handle(), 10, 268);  // the snap box
  EXPECT_EQ(GetFocus(), edit->Handle()) << "the chart keeps the keyboard";

  // The delete tool stays pressed; the spiral aid is a toggle of its own.
  Press(18);
  EXPECT_TRUE(palette->Button(18)->Down());
  Press(28);
  EXPECT_TRUE(palette->Button(28)->Down());
  EXPECT_TRUE(palette->Button(18)->Down());
  Press(28);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"SetLuoliShown 1", "SetLuoliShown 0"}));

  // Releasing the pressed tool's button leaves the code to the caller.
  palette->ReleaseToolButton();
  EXPECT_FALSE(palette->Button(18)->Down());
  EXPECT_EQ(world.host.lineTool, 18);
}

TEST_F(Palette, DeleteAllAsksFirstAndNeverStaysPressed) {
  MessageBoxRecorder boxes(IDNO);
  boxes.QueueAnswer(IDNO);
  boxes.QueueAnswer(IDYES);
  Press(19);
  Press(19);
  EXPECT_FALSE(palette->Button(19)->Down());
  EXPECT_EQ(world.host.lineTool, -1);
  ASSERT_EQ(boxes.Count(), 2u);
  const auto call = boxes.Calls()[0];
  EXPECT_EQ(call.text, "删除所有的自画线吗？  ");
  EXPECT_EQ(call.caption, "确认");
  EXPECT_EQ(call.type, UINT(MB_ICONQUESTION | MB_YESNO | MB_TOPMOST));
  EXPECT_EQ(call.owner, nullptr);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"DeleteAllLines"}));
  // Without an active K-line view nothing is asked.
  active = nullptr;
  Press(19);
  EXPECT_EQ(boxes.Count(), 2u);
}

TEST_F(Palette, SnapSurvivesARestartAndCloseOnlyHides) {
  EXPECT_TRUE(palette->SnapOn()) << "a missing key means on";
  harness.Click(palette->Handle(), 10, 268);
  EXPECT_FALSE(palette->SnapOn());
  EXPECT_EQ(GetPrivateProfileIntA("UI", "LineSnap", 7, LineSettingsPath().c_str()), 0u);
  TLineToolBox again(nullptr);
  EXPECT_FALSE(again.SnapOn());

  Press(3);
  palette->Close();
  harness.Pump();
  EXPECT_FALSE(palette->Visible());
  EXPECT_FALSE(palette->Button(3)->Down());
  EXPECT_EQ(world.host.Calls("RaiseLineButton").size(), 1u);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"SetLineToolItemChecked 0"}));
}

TEST_F(Palette, Picture) {
  Press(1);
  const QImage image = harness.Render(palette->Handle());
  EXPECT_EQ(image.width(), 115);
  EXPECT_EQ(image.height(), 280);
  harness.SavePng(image, "line-palette");
}

TEST(TextLineDialog, StartsInTahoma15InBlackOrWhiteByTheBackground) {
  ViewHarness harness;
  ChartWorld world;
  struct Case {
    COLORREF background, colour;
  } cases[] = {{0x000000, 0xFFFFFF}, {0x404040, 0xFFFFFF}, {0xFFFFFF, 0x000000}, {0x00FFFF, 0x000000}};
  for (const Case &c : cases) {
    world.SetBackground(c.background);
    char text[256] = "old", face[32] = "Arial";
    COLORREF colour = 0x123456;
    uint32_t style = 3;
    int32_t height = -30;
    SIZE extent{0, 0};
    TTextLineDlg dialog(nullptr, text, face, &colour, &style, &height, &extent);
    EXPECT_STREQ(face, "Tahoma");
    EXPECT_EQ(height, 15);
    EXPECT_EQ(style, 0u);
    EXPECT_EQ(colour, c.colour);
    EXPECT_EQ(dialog.Edit1->Text(), "");
  }
}

TEST(TextLineDialog, TheFontDialogSetsTheFontAndOkMeasures) {
  ViewHarness harness;
  ChartWorld world(kLightBackground);
  CommonDialogRecorder dialogs;
  platform::FontDialogAnswer answer;
  answer.accepted = true;
  answer.font.face = "Arial";
  answer.font.height = -24;
  answer.font.weight = 700;
  answer.font.italic = true;
  answer.font.color = 0x0000FF;
  dialogs.QueueFont(answer);
  char text[256] = {}, face[32] = {};
  COLORREF colour = 0;
  uint32_t style = 0;
  int32_t height = 0;
  SIZE extent{0, 0};
  TTextLineDlg dialog(nullptr, text, face, &colour, &style, &height, &extent);
  const int result = harness.RunModal(&dialog, [&] {
    harness.Click(dialog.Button3, 5, 5);
    dialog.Edit1->SetText("压力");
    harness.SavePng(harness.Render(dialog.Handle()), "text-line-dialog");
    harness.Click(dialog.Button1, 5, 5);
  });
  EXPECT_EQ(result, mrOk);
  ASSERT_EQ(dialogs.FontRequests().size(), 1u);
  EXPECT_EQ(dialogs.FontRequests()[0].font.face, "Tahoma");
  EXPECT_STREQ(face, "Arial");
  EXPECT_EQ(height, -24);
  EXPECT_EQ(style, 3u);
  EXPECT_EQ(colour, 0x0000FFu);
  EXPECT_STREQ(text, "压力");
  const SIZE upright = MeasureLineText("压力", "Arial", -24, 1, true);
  EXPECT_EQ(extent.cx, upright.cx + 12) << "italic is widened by half the height";
}

TEST(LinePropertyDialog, OneOrTwoPointBlocks) {
  ViewHarness harness;
  ChartWorld world;
  auto horizontal = world.Make(24, {{200, 100}});
  horizontal->anchors[0].time = MakePackedDateTime(2011, 3, 15, 14, 35);
  horizontal->anchors[0].price = 21.25f;
  TLinePropertyDlg one(GetStockInfo(STKPTR(0, 0, 0)), nullptr, horizontal.get());
  EXPECT_EQ(one.Height(), 158);
  EXPECT_FALSE(one.Edit2->Visible());
  EXPECT_FALSE(IsWindowVisible(one.Edit2->Handle()));
  EXPECT_FALSE(IsWindowVisible(one.DateTimePicker3->Handle()));
  EXPECT_EQ(one.XPButton2->Top(), 92);
  EXPECT_EQ(one.Edit1->Text(), "21.25");
  EXPECT_EQ((std::vector<int>{one.DateTimePicker1->Year(), one.DateTimePicker1->Month(), one.DateTimePicker1->Day(),
                              one.DateTimePicker2->Hour(), one.DateTimePicker2->Minute()}),
            (std::vector<int>{2011, 3, 15, 14, 35}));

  // A new date keeps the hour and minute; an edit without a number gives 0.
  const int result = harness.RunModal(&one, [&] {
    one.DateTimePicker1->SetDate(2011, 4, 1);
    one.Edit1->SetText("abc");
    harness.SavePng(harness.Render(one.Handle()), "line-property-dialog");
    harness.Click(one.XPButton2, 5, 5);
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(one.points[0].time, MakePackedDateTime(2011, 4, 1, 14, 35));
  EXPECT_EQ(one.points[0].price, 0.0f);

  auto segment = world.Make(2, {{100, 100}, {200, 150}});
  CommonDialogRecorder dialogs;
  dialogs.QueueColor(platform::ColorDialogAnswer{true, 0x12345678});
  TLinePropertyDlg two(nullptr, nullptr, segment.get());
  EXPECT_TRUE(two.Edit2->Visible());
  EXPECT_GT(two.Height(), 158);
  EXPECT_EQ(two.Edit1->Text().find('.') + 5, two.Edit1->Text().size()) << "four decimals without an instrument";
  harness.RunModal(&two, [&] {
    harness.Click(two.XPButton1, 5, 5);
    harness.Click(two.XPButton2, 5, 5);
  });
  EXPECT_EQ(two.colour, 0x345678u) << "the top byte cleared";
  EXPECT_EQ(two.points[1].time, segment->anchors[1].time);
}

TEST(SpiralAid, DatesRollOverMonthsAndYears) {
  struct Case {
    double date;
    int row, column;
    const char *shown;
  } cases[] = {
      {20110315, 0, 1, "11-04-13"},   // 29.53 days: the Moon column
      {20111220, 0, 0, "12-01-14"},   // 25.2 days over the year end
      {20000215, 0, 0, "00-03-11"},   // February of year 00 has 29 days
      {20010215, 0, 0, "01-03-12"},   // and of 01 has 28
      {20110101, 8, 2, "12-10-14"},   // sqrt(55) x 87.97 days: a carry of hundreds
      {20991220, 0, 0, "00-01-14"},   // past 2099 the year prints two digits
      {20110315, 9, 1, "11-04-13"},   // a row outside the table counts as the first
  };
  for (const Case &c : cases) {
    const LuoliDate cell = LuoliCellDate(c.date, c.row, c.column);
    char text[32];
    FormatLuoliDate(text, sizeof text, cell.value, cell.carry);
    EXPECT_STREQ(text, c.shown) << c.date << " row " << c.row << " column " << c.column;
  }
  char title[32];
  FormatLuoliDate(title, sizeof title, 20110315);
  EXPECT_STREQ(title, "11-03-15") << "the title is the date itself";
}

TEST(SpiralAid, TableFrameAndPicture) {
  ViewHarness harness;
  ChartWorld world(0x202020);
  world.colours[12] = 0x00C0C0;  // COLOR13 frame
  world.colours[29] = 0xFFFFFF;  // COLOR30 text
  Canvas canvas(260, 160, 0x404040);
  RECT covered{};
  DrawLuoliTable(&covered, canvas.Dc(), 5, 5, 20110315);
  const int s = ViewFont(10).size, cw = 4 * s + 5, lh = s + 1;
  EXPECT_EQ((std::vector<int>{covered.left, covered.top, covered.right, covered.bottom}),
            (std::vector<int>{5, 5, 5 + 4 * cw - 2, 5 + 11 * lh}));
  EXPECT_EQ(canvas.Pixel(5, 50), 0x00C0C0u) << "the frame";
  EXPECT_EQ(canvas.Pixel(covered.right - 2, covered.bottom - 2), 0x202020u) << "the fill";
  EXPECT_EQ(canvas.Pixel(covered.right + 2, 10), 0x404040u) << "nothing outside";
  harness.SavePng(canvas.Image(), "spiral-aid");
}

// ---- pictures of the drawing objects ----

// Every kind placed on the fixture chart, with bars drawn under it.
QImage KindPicture(ChartWorld &world, int type, COLORREF background, bool handles) {
  Canvas canvas(480, 240, background);
  HBRUSH up = CreateSolidBrush(ViewColor(3));
  for (int i = 0; i < kBars; ++i) {
    const int x = CentreOf(i);
    RECT body{x - 3, RowOf(world.bars[i].high / 100.0), x + 4, RowOf(world.bars[i].low / 100.0)};
    FrameRect(canvas.Dc(), &body, up);
  }
  DeleteObject(up);
  std::vector<POINT> at = {{CentreOf(8), 170}, {CentreOf(24), 80}};
  if (type == 15) at = {{CentreOf(10), 100}};
  else if (type >= 16 && type <= 27) at = {{CentreOf(20), 120}};
  auto line = world.Make(type, at);
  if (type == 15) {
    std::strcpy(line->text, "支撑位");
    line->textSize = MeasureLineText(line->text, line->fontFace, line->fontHeight, 0, true);
  }
  line->showHandles = handles;
  line->UpdateAndDraw(canvas.Dc(), handles);
  return canvas.Image();
}

TEST(DrawingPictures, Sheets) {
  ViewHarness harness;
  ChartWorld world;
  const int kinds[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25, 26, 27, 29};
  PictureSheet all(4);
  for (int type : kinds) all.Add("type " + std::to_string(type), KindPicture(world, type, kDarkBackground, false));
  harness.SavePng(all.Compose(), "drawing-tools-sheet");

  PictureSheet selected(3);
  for (int type : {1, 3, 5, 8, 9, 24}) selected.Add("type " + std::to_string(type), KindPicture(world, type, 0, true));
  harness.SavePng(selected.Compose(), "drawing-selected-handles");

  PictureSheet both(2);
  for (int type : {1, 5, 9, 15}) {
    world.SetBackground(kDarkBackground);
    both.Add("dark " + std::to_string(type), KindPicture(world, type, kDarkBackground, false));
    world.SetBackground(kLightBackground);
    both.Add("light " + std::to_string(type), KindPicture(world, type, kLightBackground, false));
  }
  harness.SavePng(both.Compose(), "drawing-dark-light");

  // A handle is a 7 x 7 XOR square around the anchor: its corner differs
  // from the background, its middle does not.
  world.SetBackground(kDarkBackground);
  const QImage handles = KindPicture(world, 24, kDarkBackground, true);
  const QColor corner = handles.pixelColor(CentreOf(20) - 3, 117);
  EXPECT_NE(corner, QColor(0, 0, 0));
  EXPECT_EQ(handles.pixelColor(CentreOf(20) - 2, 118), QColor(0, 0, 0));
}

}  // namespace
