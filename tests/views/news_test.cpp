// The news view over a fixture "news.ntl": headlines with day separators
// and read marks, the type and branch tabs from "NewsType.INI", searches
// and their history, opening items, the text's double click, web mode,
// items shown on request; the news-type file and the type chooser; and
// the real-time pop-up's news mode.
#include "views/msgform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <strings.h>
#include <string>
#include <vector>

#include "market/calendar.h"
#include "market/reqqueue.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "market/nclient_frames.h"
#include "testing/quote_double.h"
#include "testing/quote_loop.h"
#include "testing/report_host.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/newstypes.h"
#include "views/sysmsg.h"

using testing_support::RecordingFrameHost;
using testing_support::ReportWorld;
using testing_support::ViewHarness;
using testing_support::ViewPage;

namespace {

NEWSREC Rec(uint32_t id, uint32_t type, int mmdd, int hhmm, const char *title, bool read = false) {
  NEWSREC r{};
  r.typeAndRead = type << 1 | (read ? 1 : 0);
  r.dateTime = uint32_t(240000 + mmdd) | uint32_t(hhmm) << 20;
  r.id = id;
  std::snprintf(r.title, sizeof r.title, "%s", title);
  return r;
}

std::vector<std::string> Texts(const std::vector<NewsLine> &lines) {
  std::vector<std::string> out;
  for (const NewsLine &l : lines) out.push_back(l.text);
  return out;
}

class NewsTest : public testing::Test {
 protected:
  NewsTest() {
    TimeZoneTable = SessionTimeTable{};
    // Text colours far from the background, for the pictures.
    world_.colors[26] = RGB(0, 0, 40);       // background
    world_.colors[27] = RGB(230, 230, 200);  // list text
    world_.colors[45] = RGB(255, 255, 255);  // body text
    world_.colors[56] = RGB(40, 80, 160);
    world_.colors[57] = RGB(255, 255, 255);
    world_.colors[58] = RGB(255, 220, 0);
    world_.colors[59] = RGB(160, 200, 255);
    WriteNtl({Rec(101, 1, 113, 930, "铜价上涨"), Rec(102, 2, 113, 1015, "股市收盘"),
              Rec(103, 1, 114, 900, "铝价回落", true), Rec(104, 1, 115, 1330, "沪铜新高"),
              Rec(105, 2, 115, 1400, "央行公告")});
    world_.Box().WriteText("cfg/NewsType.INI",
                           "[NEWSTYPE]\r\nFilter=3,0,0,0\r\nID1=期货\r\nID2=财经\r\nID3=外汇\r\n"
                           "ID1_BRANCH1=有色,铜,铝\r\nID1_BRANCH2=沪铜,沪铜\r\n"
                           "[OEMNEWS]\r\nID2=自家财经\r\n");
    world_.Box().WriteText("cfg/Setting.ini", "[News]\r\nWebNews=1\r\nURL=\r\n");
    index_.Load();
    NewsIndex = &index_;
    ResetRequestQueue();
  }
  ~NewsTest() override {
    ResetRequestQueue();
    NewsIndex = nullptr;
    TMsgForm::CurrentType() = 0;
    TMsgForm::CurrentBranch() = nullptr;
  }
  void WriteNtl(const std::vector<NEWSREC> &records) {
    std::string bytes = "kvni01";
    for (const NEWSREC &r : records) bytes.append(reinterpret_cast<const char *>(&r), sizeof r);
    world_.Box().Write("data/info/news.ntl", bytes.data(), bytes.size());
  }
  TMsgForm *Open(ViewPage &page) {
    TMsgForm *v = page.View<TMsgForm>();
    EXPECT_NE(v, nullptr);
    harness_.Pump();
    return v;
  }

  ViewHarness harness_;
  ReportWorld world_;
  RecordingFrameHost host_;
  TNewsIndex index_;
};

TEST_F(NewsTest, HeadlinesNewestFirstWithDaySeparatorsAndReadMarks) {
  ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
  TMsgForm *v = Open(page);
  ASSERT_FALSE(v->WebMode());  // WebNews=1 without a URL stays in list mode
  EXPECT_EQ(Texts(v->Lines()), (std::vector<std::string>{
                                   "   1/15 14:00 央行公告",
                                   "   1/15 13:30 沪铜新高",
                                   "               --- 1/14 ---",
                                   "★ 1/14  9:00 铝价回落",
                                   "               --- 1/13 ---",
                                   "   1/13 10:15 股市收盘",
                                   "   1/13  9:30 铜价上涨",
                                   kNewsMoreText,
                               }));
  EXPECT_EQ(v->Lines()[2].value, kNewsLineSeparator);
  EXPECT_EQ(v->Lines().back().value, kNewsLineMore);
  EXPECT_EQ(v->NewsList->Count(), 8);
  harness_.SavePng(harness_.Render(page.Window()->Handle()), "news_list");

  // Tabs: all types, then the chosen types' [OEMNEWS] names, then [NEWSTYPE] names.
  ASSERT_EQ(v->TypeTabCount(), 4);
  EXPECT_EQ(std::vector<int>({v->TypeTabId(0), v->TypeTabId(1), v->TypeTabId(2), v->TypeTabId(3)}),
            std::vector<int>({0, 2, 1, 2}));
  EXPECT_EQ(v->SearchPageTab->Titles(), (std::vector<std::string>{"所有类型", "自家财经", "期货", "财经"}));

  // Type 1 with its branches; branch " 有色 " keeps titles with 铜 or 铝.
  v->SearchPageTabChange(2);
  EXPECT_EQ(v->BranchPageTab->Titles(), (std::vector<std::string>{" 全部 ", " 有色 ", " 沪铜 "}));
  EXPECT_EQ(v->Lines().size(), 6u);
  v->BranchPageTabTitleChange(2);
  EXPECT_EQ(Texts(v->Lines()), (std::vector<std::string>{"   1/15 13:30 沪铜新高", kNewsMoreText}));
  // A type without branches shows only " 全部 ".
  v->SearchPageTabChange(3);
  EXPECT_EQ(v->BranchPageTab->Titles(), (std::vector<std::string>{" 全部 "}));
  EXPECT_EQ(v->Lines().size(), 4u);  // two headlines of two days, one separator, more
}

TEST_F(NewsTest, ViewsClosedInAnyOrderLeaveTheMessageHookChainWhole) {
  int seen = 0;
  const TMessageEvent before = Application()->OnMessage();
  Application()->SetOnMessage([&](MSG &, bool &) { ++seen; });
  {
    auto first = std::make_unique<ViewPage>(VIEW_TYPE_NEWS, nullptr, 640, 400);
    auto second = std::make_unique<ViewPage>(VIEW_TYPE_NEWS, nullptr, 640, 400);
    first.reset();  // the one that installed the hook goes first
    MSG msg{};
    bool handled = false;
    Application()->OnMessage()(msg, handled);
    EXPECT_EQ(seen, 1);
    // Esc inside the browser panel of a view goes no further.
    TMsgForm *v = second->View<TMsgForm>();
    msg.hwnd = v->NewsBrowserPanel->Handle();
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_ESCAPE;
    Application()->OnMessage()(msg, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(seen, 1);
  }
  MSG msg{};
  bool handled = false;
  Application()->OnMessage()(msg, handled);
  EXPECT_EQ(seen, 2);
  Application()->SetOnMessage(before);
}

TEST_F(NewsTest, RightsApplyOnlyOnlineAndABusyIndexShowsOneLine) {
  host_.online = true;
  DSINFO grant{};
  TakeOverRights(grant);  // no news type allowed
  ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
  TMsgForm *v = Open(page);
  EXPECT_EQ(Texts(v->Lines()), (std::vector<std::string>{kNewsMoreText}));
  ClearRights();
  host_.online = false;
  index_.SetListLoading(true);
  v->ReloadHeadlines();
  EXPECT_EQ(Texts(v->Lines()), (std::vector<std::string>{kNewsBusyText}));
  v->OpenLine(0);
  EXPECT_FALSE(v->TextShown());
  index_.SetListLoading(false);
}

TEST_F(NewsTest, OpeningAHeadlineMarksItOnce) {
  host_.online = true;
  TakeOverRights(QuoteDouble::DefaultGrant());
  world_.Box().WriteText("data/info/00000104.txt", "沪铜期货创出新高。\r\n详见 http://127.0.0.1/cu\r\n");
  ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
  TMsgForm *v = Open(page);
  ASSERT_EQ(v->Lines()[1].value, 104);
  v->OpenLine(1);
  EXPECT_TRUE(v->TextShown());
  EXPECT_STREQ(v->CurrentItemFile(), "00000104.txt");
  EXPECT_NE(v->RichEdit1->Text().find("沪铜期货创出新高"), std::string::npos);
  EXPECT_EQ(v->Lines()[1].text.rfind("★", 0), 0u);
  harness_.SavePng(harness_.Render(page.Window()->Handle()), "news_text");

  // A second click within 300 ms returns to the list; a slower one does not.
  v->RichEdit1MouseDown();
  harness_.Advance(400);
  v->RichEdit1MouseDown();
  EXPECT_TRUE(v->TextShown());
  harness_.Advance(299);
  v->RichEdit1MouseDown();
  EXPECT_FALSE(v->TextShown());

  // Opened again: still one mark. The read one without its body asks for it.
  v->OpenLine(1);
  v->N8Click();
  EXPECT_EQ(v->Lines()[1].text.rfind("★ 1/15", 0), 0u);
  EXPECT_EQ(v->Lines()[1].text.find("★", 2), std::string::npos);
  // Without its body the text stays empty until the body comes.
  v->OpenLine(3);
  EXPECT_TRUE(v->TextShown());
  EXPECT_EQ(v->RichEdit1->Text(), "");
  // A separator does nothing.
  v->N8Click();
  v->OpenLine(2);
  EXPECT_FALSE(v->TextShown());
  ClearRights();
}

TEST_F(NewsTest, SearchesFilterTitlesAndKeepFiveInTheirHistory) {
  ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
  TMsgForm *v = Open(page);
  auto search = [&](const char *text) {
    v->ComboBox1->SetText(text);
    v->XPButton1Click();
  };
  search("铜");
  EXPECT_EQ(Texts(v->Lines()), (std::vector<std::string>{"   1/15 13:30 沪铜新高", "               --- 1/13 ---",
                                                          "   1/13  9:30 铜价上涨"}));
  for (const char *t : {"a", "b", "c", "d", "e"}) search(t);
  search("c");
  const std::string ini = std::string(UserDataPath) + "SETTING.INI";
  std::vector<std::string> stored;
  for (int i = 1; i <= 5; ++i) {
    char value[64] = {};
    GetPrivateProfileStringA("MRU", ("NewsSearch" + std::to_string(i)).c_str(), "", value, sizeof value, ini.c_str());
    stored.push_back(value);
  }
  EXPECT_EQ(stored, (std::vector<std::string>{"c", "e", "d", "b", "a"}));
  EXPECT_EQ(v->ComboBox1->Items()->Count(), 5);
  // An empty text searches nothing.
  v->ComboBox1->SetText("");
  v->XPButton1Click();
  EXPECT_EQ(v->History(0), "c");
  // A new view reads the history back.
  ViewPage second(VIEW_TYPE_NEWS, nullptr, 640, 400);
  EXPECT_EQ(Open(second)->History(1), "e");
}

TEST_F(NewsTest, ShowItemChoosesTheTypeTabAndOpensTheItem) {
  ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
  TMsgForm *v = Open(page);
  SendMessageA(v->Handle(), WM_NEWS_SHOW_ITEM, 1, 103);
  EXPECT_EQ(TMsgForm::CurrentType(), 1u);
  EXPECT_EQ(v->SearchPageTab->ActiveTab(), 2);
  EXPECT_TRUE(v->TextShown());
  EXPECT_STREQ(v->CurrentItemFile(), "00000103.txt");
  // An id the type does not list opens nothing.
  v->N8Click();
  SendMessageA(v->Handle(), WM_NEWS_SHOW_ITEM, 2, 104);
  EXPECT_EQ(v->SearchPageTab->ActiveTab(), 1);
  EXPECT_FALSE(v->TextShown());
}

// A headline put on top opens its item like a listed one, and the line the
// user had selected stays selected below it.
TEST_F(NewsTest, AHeadlineOnTopOpensItsItemAndKeepsTheSelection) {
  ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
  TMsgForm *v = Open(page);
  v->NewsList->SetItemIndex(1);
  const std::string selected = v->Lines()[1].text;
  v->InsertHeadline("   1/15 15:00 推送新闻", 104);
  ASSERT_EQ(v->Lines().front().text, "   1/15 15:00 推送新闻");
  ASSERT_EQ(v->NewsList->Count(), int(v->Lines().size()));
  EXPECT_EQ(v->NewsList->Items()->Strings(0), "   1/15 15:00 推送新闻");
  EXPECT_EQ(v->NewsList->ItemIndex(), 2);
  EXPECT_EQ(v->Lines()[2].text, selected);
  v->OpenLine(0);
  EXPECT_TRUE(v->TextShown());
  EXPECT_STREQ(v->CurrentItemFile(), "00000104.txt");
}

TEST_F(NewsTest, WebModeFollowsTheSettingsOrTheAttributes) {
  world_.Box().WriteText("cfg/Setting.ini", "[News]\r\nWebNews=1\r\nURL=http://127.0.0.1:1/news\r\nOEM=kv\r\n");
  {
    ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
    TMsgForm *v = Open(page);
    ASSERT_TRUE(v->WebMode());
    EXPECT_EQ(v->WebNewsBrowser->LocationURL(), "http://127.0.0.1:1/news/Index/kvIndex.html");
    EXPECT_TRUE(v->NewsBrowserPanel->Visible());
    EXPECT_FALSE(v->Panel1->Visible());
    harness_.SavePng(harness_.Render(page.Window()->Handle()), "news_web");
  }
  world_.Box().WriteText("cfg/Setting.ini", "[News]\r\nWebNews=0\r\n");
  VIEW_ATTR_13 record;
  std::memset(static_cast<void *>(&record), 0, sizeof record);
  InitViewAttr(VIEW_TYPE_NEWS, &record);
  std::snprintf(record.webAddress, sizeof record.webAddress, "http://127.0.0.1:1/a");
  ViewPage page(VIEW_TYPE_NEWS, &record, 640, 400, 0);
  TMsgForm *v = Open(page);
  ASSERT_TRUE(v->WebMode());
  v->WebNewsBrowser->Navigate("http://127.0.0.1:1/b");
  v->BackClick();
  EXPECT_EQ(v->WebNewsBrowser->LocationURL(), "http://127.0.0.1:1/a");
  v->ForwardClick();
  EXPECT_EQ(v->WebNewsBrowser->LocationURL(), "http://127.0.0.1:1/b");
  // Without an address a list-mode flag of 0 becomes 1.
  std::memset(record.webAddress, 0, sizeof record.webAddress);
  ViewPage list(VIEW_TYPE_NEWS, &record, 640, 400, 0);
  EXPECT_FALSE(Open(list)->WebMode());
}

TEST_F(NewsTest, ThePopUpOpensANewsItemByItsTitle) {
  world_.Box().WriteText("cfg/NEWSTYPE.INI",
                         "[NEWSTYPE]\r\nFilter=3,0,0,0\r\nID1=期货\r\nID2=财经\r\n[OEMNEWS]\r\nPopOem=1\r\n");
  world_.Box().WriteText("prog/rtmsg.txt", "NEWS:1\r\n沪铜新高");
  ViewPage page(VIEW_TYPE_REPORT, nullptr, 640, 400);
  harness_.Pump();
  // Not in the index: the news view is made and nothing is opened.
  OpenNewsFromPopup(page.Page(), "无此标题");
  harness_.Pump();
  TMsgForm *v = page.View<TMsgForm>();
  ASSERT_NE(v, nullptr);
  EXPECT_FALSE(v->TextShown());
  // The pop-up's text in news mode opens its item in that view.
  auto *popup = new TQQMsgDlg(nullptr);
  popup->page = page.Page();
  popup->SetMode(-2);
  EXPECT_EQ(popup->XPRichEdit1->Text(), "沪铜新高");
  popup->XPRichEdit1MouseDown();
  harness_.Pump();
  EXPECT_TRUE(v->TextShown());
  EXPECT_STREQ(v->CurrentItemFile(), "00000104.txt");
  delete popup;
}

// ---- Against the quote double ---------------------------------------------------------------------

TEST(NewsLoopTest, MissingBodiesAndOlderHeadlinesComeFromTheDouble) {
  ViewHarness harness;
  QuoteRequestServer::Options options;
  options.newsPerPage = 3;
  testing_support::QuoteLoop loop(options);
  ASSERT_TRUE(loop.Connected());
  RecordingFrameHost host;
  host.online = true;
  // The item 24003 has a text at the server only; the index lacks the oldest two items.
  std::filesystem::remove(loop.Box().Path("data/info/00024003.txt"));
  ASSERT_TRUE(loop.Box().Exists("data/info/00024005.txt"));
  ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
  TMsgForm *v = page.View<TMsgForm>();
  ASSERT_NE(v, nullptr);
  loop.onMainMessage = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_STOCK_DATA || wParam >> 16 != FRAME_NEWS) return;
    if ((wParam & 0xFFFF) == 2) {
      char name[32];
      std::snprintf(name, sizeof name, "%08u.txt", unsigned(lParam));
      if (v->TextShown() && strcasecmp(name, v->CurrentItemFile()) == 0) v->ShowNewsFile();
    } else {
      v->ReloadHeadlines();
    }
  };
  harness.Pump();
  const size_t listed = v->Lines().size();
  const int line = [&] {
    for (size_t i = 0; i < v->Lines().size(); ++i)
      if (v->Lines()[i].value == 24003) return int(i);
    return -1;
  }();
  ASSERT_GE(line, 0);
  v->OpenLine(line);
  ASSERT_TRUE(loop.WaitIdle());
  harness.Pump();
  EXPECT_TRUE(v->TextShown());
  EXPECT_NE(v->RichEdit1->Text().find("本消息仅供参考"), std::string::npos);
  EXPECT_TRUE(loop.Box().Exists("data/info/00024003.txt"));

  // "查看更多新闻" asks for the headlines before the oldest known one.
  v->N8Click();
  const size_t before = loop.News().Count();
  v->OpenLine(int(v->Lines().size()) - 1);
  ASSERT_TRUE(loop.WaitIdle());
  harness.Pump();
  EXPECT_GE(loop.News().Count(), before);
  EXPECT_GE(v->Lines().size(), listed);
  EXPECT_EQ(loop.Double().Frames(QuoteDouble::kData, FRAME_NEWS).size(), 2u);
}

// ---- The news-type file and the chooser -----------------------------------------------------------

TEST(NewsTypesTest, BranchesAndNamesAreCutAndEndWhereTheFileSays) {
  ViewHarness harness;
  ReportWorld world;
  world.Box().WriteText("cfg/NewsType.INI",
                        "[NEWSTYPE]\r\nFilter=-2147483647,0,0,-2147483648\r\n"
                        "ID1=很长很长的类型名字\r\n"
                        "ID1_BRANCH1=有色金属期货板,铜,铝,ABCDEFGHIJKLMNOPQRS\r\n"
                        "ID1_BRANCH2=能源,,原油\r\n"
                        "ID1_BRANCH3=不读,油\r\n"
                        "ID32=第三十二\r\nID128=最后\r\nID128_BRANCH1=甲,乙\r\n");
  struct Case {
    const char *value;
    bool ok;
    const char *name;
    std::vector<std::string> keywords;
  };
  const Case cases[] = {
      {"有色,铜,铝", true, " 有色 ", {"铜", "铝"}},
      {"有色金属期货板,铜", true, " 有色金属 ", {"铜"}},  // 9 bytes: the last character is cut whole
      {"甲,ABCDEFGHIJKLMNOPQRS", true, " 甲 ", {"ABCDEFGHIJKLMNO"}},
      {"能源,,原油", false, " 能源 ", {}},
      {"只有名字", false, " 只有名字 ", {}},
      {"", false, "", {}},
      {"k,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", true, " k ",
       {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value);
    WritePrivateProfileStringA("NEWSTYPE", "ID9_BRANCH1", c.value, kNewsTypeIni);
    NEWSBRANCH b;
    EXPECT_EQ(ReadNewsBranch(&b, 9, 1), c.ok);
    std::vector<std::string> keywords;
    for (const auto &k : b.keywords)
      if (k[0]) keywords.emplace_back(k, strnlen(k, sizeof k));
    if (c.value[0]) EXPECT_STREQ(b.name, c.name);
    EXPECT_EQ(keywords, c.keywords);
  }
  char field[4];
  EXPECT_EQ(NextCsvField(field, sizeof field, "abcdef,x"), 7);
  EXPECT_STREQ(field, "abc");
  EXPECT_EQ(NextCsvField(field, sizeof field, "ab"), 2);

  // Filter bits: types 1, 32 and 128 chosen; 128 has no branch table entry.
  const NewsTypeFilter f = ReadNewsFilter();
  EXPECT_TRUE(f.Has(1));
  EXPECT_TRUE(f.Has(32));
  EXPECT_TRUE(f.Has(128));
  EXPECT_FALSE(f.Has(2));
  LoadNewsTypeTable();
  ASSERT_EQ(NewsTypeTable().size(), 2u);
  const cls_msg_search &t1 = NewsTypeTable()[0];
  EXPECT_STREQ(t1.name, "很长很长的");  // 11 bytes
  EXPECT_STREQ(t1.branches[0].name, " 有色金属 ");
  EXPECT_EQ(t1.branches[1].name[0], 0);  // the empty second field ends the branches
  EXPECT_EQ(FindNewsType(128), nullptr);
  EXPECT_EQ(NewsTypeNames(true).back().id, 128);

  // A missing file: no types at all.
  WritePrivateProfileStringA("NEWSTYPE", nullptr, nullptr, kNewsTypeIni);
  LoadNewsTypeTable();
  EXPECT_TRUE(NewsTypeTable().empty());
}

TEST(NewsTypesTest, TheChooserMovesEveryLineWithinItsLists) {
  ViewHarness harness;
  ReportWorld world;
  // Every id with both names: 256 lines, all chosen.
  std::string ini = "[NEWSTYPE]\r\nFilter=-1,-1,-1,-1\r\n";
  std::string oem = "[OEMNEWS]\r\n";
  for (int id = 1; id <= 128; ++id) {
    ini += "ID" + std::to_string(id) + "=类型" + std::to_string(id) + "\r\n";
    oem += "ID" + std::to_string(id) + "=自家" + std::to_string(id) + "\r\n";
  }
  world.Box().WriteText("cfg/NewsType.INI", ini + oem);
  TNewsTypeChoice choice;
  choice.Load();
  ASSERT_EQ(choice.chosen.size(), 256u);
  EXPECT_TRUE(choice.available.empty());
  EXPECT_EQ(choice.chosenIds[255], 128);
  for (int i = 0; i < 256; ++i) choice.Remove(0);
  EXPECT_EQ(choice.available.size(), 256u);
  EXPECT_EQ(choice.availableIds[255], 128);
  EXPECT_EQ(choice.Remove(0), 0);  // an empty list: nothing
  for (int i = 0; i < 256; ++i) choice.Add(255 - i);
  EXPECT_EQ(choice.chosen.size(), 256u);
  EXPECT_EQ(choice.chosen[0], "类型128");

  // Moving a line takes its id along and selects the line before.
  world.Box().WriteText("cfg/NewsType.INI", "[NEWSTYPE]\r\nFilter=5,0,0,0\r\nID1=甲\r\nID2=乙\r\nID3=丙\r\n");
  TNewsTypeChoice small;
  small.Load();
  ASSERT_EQ(small.chosen, (std::vector<std::string>{"甲", "丙"}));
  EXPECT_EQ(small.Remove(1), 0);
  EXPECT_EQ(small.available, (std::vector<std::string>{"乙", "丙"}));
  EXPECT_EQ(small.Add(0), 0);
  EXPECT_EQ(small.Filter().words[0], 3u);
  EXPECT_TRUE(small.changed);

  // The dialog: cancel and an unchanged OK keep "Filter"; a move and OK write it.
  auto run = [&](const std::function<void(TSelNewsTypes *)> &act, int button) {
    auto *dialog = new TSelNewsTypes(nullptr);
    const int result = harness.RunModal(dialog, [&] {
      act(dialog);
      dialog->SetModalResult(button);
    });
    const bool written = ApplyNewsTypeChoice(result, dialog->Choice());
    delete dialog;
    return written;
  };
  EXPECT_FALSE(run([](TSelNewsTypes *d) { d->ListBox1DblClick(); }, 2));
  EXPECT_FALSE(run([](TSelNewsTypes *) {}, 1));
  EXPECT_EQ(ReadNewsFilter().words[0], 5u);
  EXPECT_TRUE(run(
      [](TSelNewsTypes *d) {
        d->ListBox2->SetItemIndex(0);
        d->ListBox2DblClick();
      },
      1));
  EXPECT_EQ(ReadNewsFilter().words[0], 7u);
}


TEST(NewsTypesTest, TheChooserShowsTheChosenAndTheAvailableTypesWithTheirFirstLinesSelected) {
  ViewHarness harness;
  ReportWorld world;
  // Types 1 and 3 chosen; type 2 has a name of the provider's own as well.
  world.Box().WriteText("cfg/NewsType.INI",
                        "[NEWSTYPE]\r\nFilter=5,0,0,0\r\nID1=股票\r\nID2=期货\r\nID3=外汇\r\nID4=债券\r\n"
                        "[OEMNEWS]\r\nID2=本所期货\r\n");
  TSelNewsTypes dialog(nullptr);
  dialog.Show();
  harness.Pump();
  EXPECT_EQ(dialog.Caption(), "选择新闻类型");
  ASSERT_EQ(dialog.ListBox1->Count(), 2);
  EXPECT_EQ(dialog.ListBox1->Items()->Get(1), "外汇");
  ASSERT_EQ(dialog.ListBox2->Count(), 3);
  EXPECT_EQ(dialog.ListBox2->Items()->Get(0), "本所期货");  // the provider's names come first

  // Line 0 of both lists is selected; the lines below it are not.
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT), window = GetSysColor(COLOR_WINDOW);
  for (TListBox *list : {dialog.ListBox1, dialog.ListBox2}) {
    SCOPED_TRACE(list == dialog.ListBox1 ? "chosen" : "available");
    const TRect first = list->ItemRect(0), second = list->ItemRect(1);
    EXPECT_EQ(harness.Pixel(list, first.Right - 3, (first.Top + first.Bottom) / 2), highlight);
    EXPECT_EQ(harness.Pixel(list, second.Right - 3, (second.Top + second.Bottom) / 2), window);
  }
  // The buttons stand between the lists, on the dialog's face.
  EXPECT_GT(dialog.Button1->Left(), dialog.ListBox1->Left() + dialog.ListBox1->Width() - 1);
  EXPECT_LT(dialog.Button1->Left() + dialog.Button1->Width(), dialog.ListBox2->Left() + 1);
  EXPECT_EQ(harness.Pixel(dialog.Handle(), dialog.Button1->Left() + 2, dialog.Button1->Top() - 6),
            GetSysColor(COLOR_BTNFACE));
  harness.SavePng(harness.Render(dialog.Handle()), "news_type_chooser");
}

}  // namespace
