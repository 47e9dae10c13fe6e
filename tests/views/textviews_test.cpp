// The information text view, the notes view, the information-mine window
// and the message windows: sections by offset and length (and a missing
// one fetched from the quote double), the title bar's tabs and stepping,
// links; notes lists newest first and their channels; the newest 128
// information items; message files with link lines and the pop-up's spots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/efile.h"
#include "market/answer.h"
#include "market/calendar.h"
#include "market/nclient_frames.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "testing/msgbox_recorder.h"
#include "testing/print_dialog_standin.h"
#include "testing/pump.h"
#include "testing/quote_loop.h"
#include "testing/report_host.h"
#include "testing/report_world.h"
#include "testing/shell_recorder.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/infolink.h"
#include "views/sysmsg.h"
#include "views/textform.h"
#include "views/zqnote.h"

using testing_support::QuoteLoop;
using testing_support::RecordingFrameHost;
using testing_support::ReportWorld;
using testing_support::ViewHarness;
using testing_support::ViewPage;

namespace {

std::string Entry(uint32_t date, uint32_t time, const std::string &title, const std::string &file, uint32_t offset,
                  uint32_t length) {
  std::string e(kInfoEntrySize, '\0');
  std::memcpy(&e[3], &date, 4);
  std::memcpy(&e[7], &time, 4);
  std::memcpy(&e[11], title.data(), title.size());
  std::memcpy(&e[75], file.data(), file.size());
  std::memcpy(&e[155], &offset, 4);
  std::memcpy(&e[159], &length, 4);
  return e;
}

VIEW_ATTR_13 Record(int type, STKPTR stock) {
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  InitViewAttr(type, &r);
  r.stock = stock;
  return r;
}

// Readable colours for the pictures on top of the report world's theme.
void ReadableTheme(ReportWorld &world) {
  world.colors[26] = RGB(250, 250, 240);
  world.colors[27] = RGB(20, 20, 20);
  world.colors[45] = RGB(20, 20, 80);
  world.colors[58] = RGB(40, 40, 40);
  world.colors[59] = RGB(200, 0, 0);
}

// ---- Information text view ----------------------------------------------------------------------

class TextViewTest : public testing::Test {
 protected:
  TextViewTest() {
    ReadableTheme(world_);
    // SH 600000 (stock 1): the whole text file and its three sections.
    text_ = std::string("概况第一节。") + "全文之外" + std::string(1, '\0') + "未下载部分";
    world_.Box().Write("data/SH/base/6000001.txt", text_.data(), text_.size());
    const std::string index = Entry(0, 0, "公司概况", "a.txt", 0, 12) + Entry(0, 0, "全文", "b.txt", 0xFFFFFFFF, 0) +
                              Entry(0, 0, "未下载", "c.txt", 20, 10) + Entry(0, 0, "", "", 0, 0) +
                              Entry(0, 0, "第五节标题很长", "e.txt", 0, 4);
    world_.Box().Write("data/SH/base/6000001.idx", index.data(), index.size());
  }
  ViewHarness harness_;
  ReportWorld world_;
  RecordingFrameHost host_;
  std::string text_;
};

TEST_F(TextViewTest, SectionsShowTheirBytesAndTabsAndBoxesTakeClicks) {
  const VIEW_ATTR_13 record = Record(VIEW_TYPE_TEXT, STKPTR(0, 0, 1));
  ViewPage page(VIEW_TYPE_TEXT, &record, 900, 400);
  TTextForm *v = page.View<TTextForm>();
  ASSERT_NE(v, nullptr);
  harness_.Pump();
  EXPECT_EQ(v->CurrentSection(), 0);
  EXPECT_EQ(v->RichEdit1->Text(), "概况第一节。");
  EXPECT_TRUE(v->SectionExists(4));
  EXPECT_FALSE(v->SectionExists(3));
  harness_.SavePng(harness_.Render(page.Window()->Handle()), "text_view");

  const TextTitleLayout l(v->ClientWidth());
  ASSERT_EQ(l.columns, 8);
  auto click = [&](int section) {
    const TRect t = l.Tab(section / l.columns, section % l.columns);
    harness_.Click(v->Handle(), t.Left + 5, t.Top + 5);
    harness_.Pump();
  };
  click(1);  // offset 0xFFFFFFFF: the whole file, up to its NUL
  EXPECT_EQ(v->CurrentSection(), 1);
  EXPECT_EQ(v->RichEdit1->Text().substr(0, 12), "概况第一节。");
  click(2);  // first byte NUL: missing (offline, nothing asked), empty
  EXPECT_EQ(v->CurrentSection(), 2);
  EXPECT_EQ(v->RichEdit1->Text(), "");
  click(3);  // no title: stays
  EXPECT_EQ(v->CurrentSection(), 2);
  // The current tab is drawn in COLOR60, the others framed in COLOR59.
  const TRect tab0 = l.Tab(0, 0);
  EXPECT_EQ(harness_.Pixel(v->Handle(), tab0.Left, tab0.Top + 10), world_.colors[58]);
  EXPECT_EQ(harness_.Pixel(v->Handle(), 5, l.LineY()), world_.colors[45]);
}

TEST(TextTitleLayoutTest, TabColumnsAndHitsFollowTheWidth) {
  struct Case {
    int width, columns;
    bool narrow;
  };
  for (const Case &c : {Case{200, 0, true}, Case{284, 0, true}, Case{285, 1, true}, Case{809, 7, true},
                        Case{810, 8, false}, Case{2000, 8, false}}) {
    const TextTitleLayout l(c.width);
    EXPECT_EQ(l.columns, c.columns) << c.width;
    EXPECT_EQ(l.narrow, c.narrow) << c.width;
    EXPECT_EQ(l.EditTop(), c.narrow ? 88 : 64);
  }
  const TextTitleLayout none(280);
  EXPECT_EQ(none.HitTest(110, 10), -2);
  EXPECT_EQ(none.HitTest(100, 10), -1);
  EXPECT_EQ(none.HitTest(189, 40), -3);
  EXPECT_EQ(none.HitTest(191, 10), -1);
  const TextTitleLayout eight(1000);
  EXPECT_EQ(eight.HitTest(95 + 75 * 7 + 1, 30), 15);
  EXPECT_EQ(eight.HitTest(650, 10), 7);
  EXPECT_EQ(eight.HitTest(720, 10), -2);
}

TEST_F(TextViewTest, PageDownStepsThroughTheHandOverListAndWraps) {
  const STKPTR items[3] = {STKPTR(0, 0, 1), STKPTR(1, 0, 1), STKPTR(0, 0, 2)};
  VIEW_ATTR_13 record = Record(VIEW_TYPE_TEXT, items[2]);
  const uint32_t list = NewViewStockList(items, 3);
  record.SetHandOverList(list);
  record.SetHandOverPosition(2);
  {
    ViewPage page(VIEW_TYPE_TEXT, &record, 600, 300);
    DropUnusedViewStockList(list);
    TTextForm *v = page.View<TTextForm>();
    ASSERT_NE(v, nullptr);
    harness_.Pump();
    SendMessageA(v->Handle(), WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_TRUE(SameStock(v->Stock(), items[0]));
    EXPECT_EQ(v->RichEdit1->Text(), "概况第一节。");
    SendMessageA(v->Handle(), WM_KEYDOWN, VK_PRIOR, 0);
    EXPECT_TRUE(SameStock(v->Stock(), items[2]));
  }
  EXPECT_EQ(FindViewStockList(list), nullptr);  // the view's reference went with it
  // Without a list: the block, then the market, cyclically.
  const VIEW_ATTR_13 alone = Record(VIEW_TYPE_TEXT, STKPTR(0, 0, 3));
  ViewPage page(VIEW_TYPE_TEXT, &alone, 600, 300);
  TTextForm *v = page.View<TTextForm>();
  harness_.Pump();
  SendMessageA(v->Handle(), WM_KEYDOWN, VK_NEXT, 0);
  EXPECT_TRUE(SameStock(v->Stock(), STKPTR(0, 0, 0)));
}

TEST_F(TextViewTest, LinksUpTo511BytesOpenLongerOnesAreRefused) {
  ShellRecorder shell;
  MessageBoxRecorder boxes;
  const VIEW_ATTR_13 record = Record(VIEW_TYPE_TEXT, STKPTR(0, 0, 1));
  ViewPage page(VIEW_TYPE_TEXT, &record, 600, 300);
  TTextForm *v = page.View<TTextForm>();
  harness_.Pump();
  const std::string link = "http://127.0.0.1/" + std::string(494, 'x');  // 511 bytes
  v->RichEdit1->Lines()->SetText(link + "y " + "tail");
  auto press = [&](int length) {
    ENLINK n{};
    n.nmhdr.hwndFrom = v->RichEdit1->Handle();
    n.nmhdr.code = EN_LINK;
    n.msg = WM_LBUTTONDOWN;
    n.chrg = {0, length};
    SendMessageA(v->Handle(), WM_NOTIFY, 0, LPARAM(&n));
  };
  shell.QueueOpenResult(2);  // no "IEXPLORE.EXE" here
  press(511);
  const auto opens = shell.Opens();
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[0].file, "IEXPLORE.EXE");
  EXPECT_EQ(opens[0].parameters, link);
  EXPECT_EQ(opens[1].file, link);
  press(512);
  EXPECT_EQ(shell.Opens().size(), 2u);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Calls()[0].text, kLinkTooLongText);
  // Both ways failing: the browser message.
  shell.QueueOpenResult(2);
  shell.QueueOpenResult(2);
  press(20);
  ASSERT_EQ(boxes.Count(), 2u);
  EXPECT_EQ(boxes.Calls()[1].text, kNoBrowserText);
}

TEST_F(TextViewTest, PrintingEndsEvenForALineTallerThanAPage) {
  const std::string pdf = world_.Box().Path("text.pdf");
  PrintDialogStandIn dialog(pdf);
  TPrintDialog ask;
  ASSERT_TRUE(ask.Execute());
  std::vector<std::string> lines(300, "一行正文。");
  EXPECT_GE(PrintTextLines(lines), 2);
  ASSERT_TRUE(ask.Execute());
  EXPECT_GE(PrintTextLines({std::string(200000, 'x'), "end"}), 1);
  ASSERT_TRUE(ask.Execute());
  const int printed = PrintListLines(lines);
  EXPECT_GT(printed, 10);
  EXPECT_LT(printed, 300);
  // Saving adds ".txt" only where the last part of the name has no dot.
  EXPECT_EQ(SaveName("..\\out\\note"), "..\\out\\note.txt");
  EXPECT_EQ(SaveName("..\\v1.2\\note"), "..\\v1.2\\note.txt");
  EXPECT_EQ(SaveName("note.log"), "note.log");
}

TEST(TextViewLoopTest, TheIndexAndAMissingSectionComeFromTheDouble) {
  ViewHarness harness;
  QuoteLoop loop;
  ASSERT_TRUE(loop.Connected());
  RecordingFrameHost host;
  host.online = true;
  const STKPTR bank(0, 0, 3);  // SH 600000
  const VIEW_ATTR_13 record = Record(VIEW_TYPE_TEXT, bank);
  ViewPage page(VIEW_TYPE_TEXT, &record, 900, 400);
  TTextForm *v = page.View<TTextForm>();
  ASSERT_NE(v, nullptr);
  loop.onMainMessage = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_STOCK_DATA) return;
    const int command = int(wParam >> 16);
    if (command == FRAME_BASE_INDEX) v->Notify(14, uint32_t(lParam), 0, 0);
    if (command == FRAME_BASE_TEXT) v->Notify(14, uint32_t(lParam), 1, 0);
  };
  harness.Pump();
  ASSERT_TRUE(testing_support::PumpUntil([&] { return QuoteLoop::Idle() && !v->RichEdit1->Text().empty(); }, 8000));
  EXPECT_TRUE(v->SectionExists(2));
  EXPECT_FALSE(v->SectionExists(3));
  const std::string expected = "600000 资料1-1\r\n本节内容为测试数据，逐字节确定。\r\n";
  EXPECT_EQ(v->RichEdit1->Text().substr(0, 14), expected.substr(0, 14));
  EXPECT_EQ(loop.Double().Frames(QuoteDouble::kData, FRAME_BASE_TEXT).size(), 1u);
}

// ---- Notes view -----------------------------------------------------------------------------------

NOTEREC Note(int n, int channel) {
  NOTEREC r{};
  r.channel = uint8_t(channel);
  r.value = uint16_t(n);
  std::snprintf(r.title, sizeof r.title, "公告%04d", n);
  std::snprintf(r.key, sizeof r.key, "n%04d.txt", n % 10000);
  r.dateTime = uint32_t(240100 + 1 + n % 28) | uint32_t(900 + n % 60) << 20;
  return r;
}

class NotesTest : public testing::Test {
 protected:
  NotesTest() {
    TimeZoneTable = SessionTimeTable{};
    ReadableTheme(world_);
  }
  void WriteList(int channel, int count, size_t extra = 0) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
      const NOTEREC r = Note(i, channel);
      bytes.append(reinterpret_cast<const char *>(&r), sizeof r);
    }
    bytes.append(extra, 'x');
    world_.Box().Write("data/notes/notes" + std::to_string(channel) + ".ls2", bytes.data(), bytes.size());
  }
  ViewHarness harness_;
  ReportWorld world_;
  RecordingFrameHost host_;
};

TEST_F(NotesTest, TheNewestThreeThousandNotesNewestFirst) {
  WriteList(0, 3001, 50);  // and a part record
  world_.Box().WriteText("data/notes/n3000.txt", "最新公告的正文。");
  ViewPage page(VIEW_TYPE_NOTES, nullptr, 640, 400);
  TZQNote *v = page.View<TZQNote>();
  ASSERT_NE(v, nullptr);
  harness_.Pump();
  ASSERT_EQ(v->NoteList->Count(), 3000);
  EXPECT_NE(v->NoteList->Items()->Get(0).find("公告3000"), std::string::npos);
  EXPECT_NE(v->NoteList->Items()->Get(2999).find("公告0001"), std::string::npos);
  EXPECT_EQ(v->NoteList->Items()->Get(0).substr(0, 14), "   1/05  9:00 ");
  harness_.SavePng(harness_.Render(page.Window()->Handle()), "notes_list");
  v->ShowNote(0);
  EXPECT_TRUE(v->TextShown());
  EXPECT_EQ(v->RichEdit1->Text(), "最新公告的正文。");
  harness_.SavePng(harness_.Render(page.Window()->Handle()), "notes_text");
  // A second click within 300 ms returns to the list.
  v->RichEdit1MouseDown();
  harness_.Advance(300);
  v->RichEdit1MouseDown();
  EXPECT_TRUE(v->TextShown());
  harness_.Advance(100);
  v->RichEdit1MouseDown();
  EXPECT_FALSE(v->TextShown());
}

TEST_F(NotesTest, ChannelsFromTheAttributesAndTheRadioButtons) {
  struct Case {
    int channel;
    bool second;
  };
  WriteList(2, 4);
  WriteList(3, 2);
  for (const Case &c : {Case{0, false}, Case{2, true}, Case{3, false}}) {
    SCOPED_TRACE(c.channel);
    VIEW_ATTR_13 record = Record(VIEW_TYPE_NOTES, STKPTR());
    record.currentBlock = uint32_t(c.channel);
    ViewPage page(VIEW_TYPE_NOTES, &record, 640, 400);
    TZQNote *v = page.View<TZQNote>();
    ASSERT_NE(v, nullptr);
    harness_.Pump();
    EXPECT_EQ(v->RadioButton2->Checked(), c.second);
    EXPECT_EQ(v->RadioButton1->Checked(), !c.second);
    EXPECT_EQ(v->NoteList->Count(), c.channel == 0 ? 0 : c.channel == 2 ? 4 : 2);
  }
  ViewPage page(VIEW_TYPE_NOTES, nullptr, 640, 400);
  TZQNote *v = page.View<TZQNote>();
  harness_.Pump();
  v->RadioClick(2);
  EXPECT_EQ(v->Channel(), 2);
  EXPECT_EQ(v->NoteList->Count(), 4);
  EXPECT_EQ(v->Notify(1, 0, 0, 0), 0);
  EXPECT_EQ(v->Channel(), 0);
  EXPECT_TRUE(v->RadioButton1->Checked());
  // A key that would leave the notes folder is neither read nor asked for.
  std::string bytes;
  NOTEREC bad = Note(1, 3);
  std::snprintf(bad.key, sizeof bad.key, "..\\..\\x");
  bytes.append(reinterpret_cast<const char *>(&bad), sizeof bad);
  world_.Box().Write("data/notes/notes3.ls2", bytes.data(), bytes.size());
  v->LoadNoteList(3);
  v->ShowNote(0);
  EXPECT_EQ(v->RichEdit1->Text(), "");
}

TEST(NotesLoopTest, ListsAndBodiesOfChannelsZeroAndTwoComeFromTheDouble) {
  ViewHarness harness;
  QuoteLoop loop;
  ASSERT_TRUE(loop.Connected());
  RecordingFrameHost host;
  host.online = true;
  for (int channel : {0, 2}) {
    SCOPED_TRACE(channel);
    VIEW_ATTR_13 record = Record(VIEW_TYPE_NOTES, STKPTR());
    record.currentBlock = uint32_t(channel);
    ViewPage page(VIEW_TYPE_NOTES, &record, 640, 400);
    TZQNote *v = page.View<TZQNote>();
    ASSERT_NE(v, nullptr);
    loop.onMainMessage = [&](UINT message, WPARAM wParam, LPARAM lParam) {
      if (message == WM_STOCK_DATA && int(wParam >> 16) == FRAME_NOTES && int(lParam) == v->Channel())
        v->LoadNoteList(int(lParam));
    };
    harness.Pump();
    const auto notes = QuoteRequestServer::Notes(channel);
    ASSERT_TRUE(testing_support::PumpUntil([&] { return v->NoteList->Count() == int(notes.size()); }, 8000));
    ASSERT_TRUE(loop.WaitIdle());
    v->ShowNote(0);  // the newest; its body is not here yet
    EXPECT_EQ(v->RichEdit1->Text(), "");
    ASSERT_TRUE(loop.WaitIdle());
    v->N8Click();
    v->ShowNote(0);
    auto plain = [](std::string t) {
      t.erase(std::remove(t.begin(), t.end(), '\r'), t.end());
      while (!t.empty() && t.back() == '\n') t.pop_back();
      return t;
    };
    EXPECT_EQ(plain(v->RichEdit1->Text()), plain(notes.back().text));
    loop.onMainMessage = nullptr;
  }
}

// ---- Information-mine window ------------------------------------------------------------------

TEST(InfoMineTest, TheNewest128ItemsNewestFirst) {
  ViewHarness harness;
  ReportWorld world;
  ReadableTheme(world);
  std::string index, text = "第零条的全文。";
  for (int i = 0; i < 300; ++i)
    index += Entry(20240101 + uint32_t(i % 28), 93000, "信息" + std::to_string(i), "f.txt", i == 299 ? 0xFFFFFFFF : 0,
                   14);
  index += std::string(100, 'z');  // a part entry
  world.Box().Write("data/SH/base/6000002.idx", index.data(), index.size());
  world.Box().Write("data/SH/base/6000002.txt", text.data(), text.size());
  auto *dlg = new TInfoLinkDlg(2, nullptr, 1, STKPTR(0, 0, 1));
  harness.Pump();
  ASSERT_EQ(dlg->Core().Count(), 128);
  ASSERT_EQ(dlg->ListBox1->Count(), 128);
  EXPECT_EQ(dlg->ListBox1->Items()->Get(0), "2024.01.20 信息299 (0字)");
  EXPECT_EQ(dlg->ListBox1->Items()->Get(127), "2024.01.05 信息172 (7字)");
  EXPECT_EQ(dlg->ListBox1->ItemIndex(), 126);  // item 1 from the oldest
  harness.SavePng(harness.Render(dlg->Handle()), "infomine_list");
  // Entry 299 (offset -1) shows the whole file; Esc in the text goes back, in the list hides.
  dlg->ShowItem(0, true);
  EXPECT_TRUE(dlg->TextShown());
  EXPECT_EQ(dlg->RichEdit1->Text(), text);
  dlg->BackToList();
  EXPECT_FALSE(dlg->TextShown());
  dlg->ShowStock(1, -1, STKPTR(0, 0, 1));  // intraday items: none
  EXPECT_EQ(dlg->ListBox1->Count(), 0);
  EXPECT_EQ(dlg->ListBox1->ItemIndex(), -1);
  dlg->Close();
  EXPECT_FALSE(dlg->Visible());
  delete dlg;
}

// ---- Message windows -----------------------------------------------------------------------------

TEST(MessageWindowsTest, LinkAndNewsLines) {
  struct Case {
    const char *file;
    bool news;
    std::string text, link;
  };
  const std::string longLink(600, 'a');
  const Case cases[] = {
      {"URL:http://127.0.0.1/x\r\n正文", false, "正文", "http://127.0.0.1/x"},
      {"URL:\r\n正文", false, "正文", ""},
      {"URL\r\n正文", false, "URL\r\n正文", ""},
      {"NEWS:1\r\n标题", true, "标题", ""},
      {"NEWS:\r\n标题", true, "标题", ""},
      {"NEWS\r\n标题", true, "NEWS\r\n标题", ""},
      {"NEWS:1\r\n标题", false, "NEWS:1\r\n标题", ""},
      {"只有一行", false, "只有一行", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.file);
    const MessageText m = ParseMessageText(c.file, c.news);
    EXPECT_EQ(m.text, c.text);
    EXPECT_EQ(m.link, c.link);
  }
  EXPECT_EQ(ParseMessageText("URL:" + longLink + "\r\nx", false).link, longLink.substr(0, 511));

  struct Spot {
    int x, y;
    PopupSpot spot;
  };
  for (const Spot &s : {Spot{0, 0, PopupSpot::kTitle}, Spot{366, 21, PopupSpot::kTitle}, Spot{367, 5, PopupSpot::kNone},
                        Spot{369, 0, PopupSpot::kClose}, Spot{390, 19, PopupSpot::kClose}, Spot{380, 20, PopupSpot::kNone},
                        Spot{312, 258, PopupSpot::kLink}, Spot{382, 277, PopupSpot::kLink}, Spot{7, 261, PopupSpot::kBox},
                        Spot{94, 273, PopupSpot::kBox}, Spot{95, 273, PopupSpot::kNone}, Spot{200, 100, PopupSpot::kNone}})
    EXPECT_EQ(PopupSpotAt(s.x, s.y), s.spot) << s.x << "," << s.y;
}

TEST(MessageWindowsTest, TheUpdateNoticeTurnsIntoTheSystemMessageOnce) {
  ViewHarness harness;
  ReportWorld world;
  ShellRecorder shell;
  world.Box().WriteText("prog/update.txt", "URL:\r\n新版本已经安装。");
  world.Box().WriteText("prog/sysmsg.txt", "URL:http://127.0.0.1/notice\r\n欢迎使用。");
  auto *dlg = new TSysMsgDlg(nullptr, 'u');
  dlg->SetCaption("软件更新提示");
  harness.Pump();
  EXPECT_FALSE(dlg->XPButton2->Visible());  // "URL:" alone: no link
  EXPECT_EQ(dlg->XPRichEdit1->Text(), "新版本已经安装。");
  EXPECT_FALSE(dlg->CloseQuery());
  EXPECT_EQ(dlg->Kind(), 'a');
  EXPECT_EQ(dlg->Caption(), "系统消息");
  EXPECT_TRUE(dlg->XPButton2->Visible());
  harness.SavePng(harness.Render(dlg->Handle()), "sysmsg_dialog");
  dlg->XPButton2Click();
  ASSERT_EQ(shell.Opens().size(), 1u);
  EXPECT_EQ(shell.Opens()[0].parameters, "http://127.0.0.1/notice");
  EXPECT_TRUE(dlg->CloseQuery());
  delete dlg;
  world.Box().WriteText("prog/notice.txt", "URL:http://127.0.0.1/n\r\n免责。");
  auto *notice = new TSysMsgDlg(nullptr, 'c');
  EXPECT_EQ(notice->Button1->Caption(), "确定");
  EXPECT_FALSE(notice->Button1->Cancel);
  EXPECT_STREQ(notice->Link(), "");
  EXPECT_FALSE(notice->XPButton2->Visible());
  delete notice;
}

TEST(MessageWindowsTest, ThePopUpsBoxAnswersOnlyInModeThree) {
  ViewHarness harness;
  ReportWorld world;
  ShellRecorder shell;
  world.Box().WriteText("prog/rtmsg.txt", "即时消息：行情服务运行正常。");
  const std::string ini = std::string(UserDataPath) + "SETTING.INI";
  for (int mode : {0, 3}) {
    SCOPED_TRACE(mode);
    auto *popup = new TQQMsgDlg(nullptr);
    popup->SetMode(mode);
    popup->Show();
    harness.Pump();
    // No link: the link spot is blank; outside mode 3 the box is too.
    EXPECT_EQ(harness.Pixel(popup->Handle(), 330, 266), TQQMsgDlg::kBlank);
    EXPECT_EQ(harness.Pixel(popup->Handle(), 14, 268), mode == 3 ? COLORREF(0xFFFFFF) : TQQMsgDlg::kBlank);
    popup->Image1Click(330, 266);
    EXPECT_TRUE(shell.Opens().empty());
    popup->Image1Click(10, 265);
    EXPECT_EQ(popup->NotAgainToday(), mode == 3);
    harness.Pump();
    if (mode == 3) {
      EXPECT_EQ(harness.Pixel(popup->Handle(), 13, 271), TQQMsgDlg::kCheckColor);
      harness.SavePng(harness.Render(popup->Handle()), "rtmsg_popup");
    }
    popup->Image1Click(380, 10);  // the close spot
    harness.Pump();
    EXPECT_EQ(GetPrivateProfileIntA("PARAMETER", "Networkblocked", 0, ini.c_str()),
              UINT(mode == 3 ? TodayNumber() : 0));
    delete popup;
  }
  // Blocked for today: a new pop-up starts with the box set.
  auto *popup = new TQQMsgDlg(nullptr);
  EXPECT_TRUE(popup->NotAgainToday());
  delete popup;
}

}  // namespace
