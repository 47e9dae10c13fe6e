#include "views/report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "market/answer.h"
#include "market/blocks.h"
#include "market/reqqueue.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "testing/msgbox_recorder.h"
#include "testing/print_dialog_standin.h"
#include "testing/report_host.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "views/colschemes.h"
#include "views/dragdrop.h"
#include "views/mvmain.h"
#include "views/openrecord.h"

using testing_support::RecordingFrameHost;
using testing_support::ReportPage;
using testing_support::ReportWorld;
using testing_support::ViewHarness;

namespace {

const char kUserBlocks[] =
    "[FileInfo]\r\nVersion=1\r\n"
    "[自选一]\r\nI1=SH 600000\r\nI2=XX 123456\r\nI3=SZ 000001\r\n";

// The big market holds 60 contracts named "B00000".. so that pages scroll.
class ReportTest : public testing::Test {
 protected:
  ReportTest() : world_(60, kUserBlocks) {
    world_.Box().WriteText("cfg/SETTING.INI", "[PARAMETER]\r\nSysBlocks=大表 大连 上海\r\n");
    for (int m = 0; m < 5; ++m)
      for (int s = 0; s < MarketTable.markets[m]->m_loadedCount; ++s) world_.PutQuote(m, s);
    ViewDisplay().selectedRowStyle = kRowStyleBackground | kRowStyleFrame | kRowStyleLimits;
    DSINFO grant{};
    std::memset(grant.marketRights, 0xFF, sizeof grant.marketRights);
    TakeOverRights(grant);
  }
  ~ReportTest() override {
    ClearRights();
    page_.reset();
    FreeColumnSchemes();
  }
  TReport *Open(int width = 640, int height = 400) {
    page_ = std::make_unique<ReportPage>(width, height);
    harness_.Pump();
    TReport *r = page_->Report();
    EXPECT_NE(r, nullptr);
    if (r) r->Grid()->SetFocus();
    harness_.Pump();
    return r;
  }
  std::vector<int> Rows(TReport *r, int n) {
    std::vector<int> out;
    for (int i = 0; i < n && i < r->Core().rowCount; ++i) out.push_back(r->Core().rows[i].stock);
    return out;
  }
  void Key(TReport *r, int key, TShiftState shift = TShiftState()) { harness_.Key(key, shift, r->Grid()->Handle()); }
  COLORREF C(int nn) { return world_.colors[nn - 1]; }

  ViewHarness harness_;
  ReportWorld world_;
  RecordingFrameHost host_;
  MessageBoxRecorder boxes_;
  std::unique_ptr<ReportPage> page_;
};

TEST_F(ReportTest, OpensTheFirstTabAndPaintsIt) {
  TReport *r = Open();
  ASSERT_EQ(r->TabCount(), 3);
  EXPECT_EQ(r->LoadedTab(), 0);
  ASSERT_NE(r->CurrentBlock(), nullptr);
  EXPECT_STREQ(r->CurrentBlock()->name, "大表");
  EXPECT_EQ(r->Core().rowCount, 60);
  EXPECT_EQ(r->Grid()->RowCount(), 61);
  EXPECT_EQ(r->Grid()->Row(), 1);
  EXPECT_GE(host_.Count(WM_MF_REFRESH_SUBSCRIPTION), 1u);

  // Header in COLOR34, the selected row in COLOR64, the next in COLOR63.
  TMsgDrawGrid *g = r->Grid();
  const TRect header = g->CellRect(3, 0), selected = g->CellRect(3, 1), even = g->CellRect(3, 2);
  EXPECT_EQ(harness_.Pixel(g, header.Left + 2, header.Top + 2), C(34));
  EXPECT_EQ(harness_.Pixel(g, selected.Left + 3, selected.Top + 4), C(64));
  EXPECT_EQ(harness_.Pixel(g, even.Left + 2, even.Top + 3), C(63));
  harness_.SavePng(harness_.Render(page_->Window()->Handle()), "report_normal");

  // The subscription lists the visible rows.
  EArray<STKMS> stocks;
  r->CollectStocks(&stocks);
  EXPECT_GT(stocks.GetCount(), 5);
  EXPECT_LE(stocks.GetCount(), g->VisibleRowCount() + 1);
}

TEST_F(ReportTest, PagingKeysWrapAndKeepTheDistanceFromTheTop) {
  TReport *r = Open();
  const int v = r->Grid()->VisibleRowCount();
  ASSERT_GT(v, 3);
  ASSERT_LT(v, 60);
  Key(r, VK_DOWN);
  Key(r, VK_DOWN);
  EXPECT_EQ(r->Grid()->Row(), 3);
  Key(r, VK_NEXT);
  EXPECT_EQ(r->Grid()->TopRow(), 1 + v);
  EXPECT_EQ(r->Grid()->Row(), 3 + v);
  for (int i = 0; i < 10 && r->Grid()->TopRow() != 61 - v; ++i) Key(r, VK_NEXT);
  EXPECT_EQ(r->Grid()->TopRow(), 61 - v);  // the last page
  Key(r, VK_NEXT);
  EXPECT_EQ(r->Grid()->TopRow(), 1);  // wraps to the first
  EXPECT_EQ(r->Grid()->Row(), 3);
  Key(r, VK_PRIOR);
  EXPECT_EQ(r->Grid()->TopRow(), 61 - v);  // PageUp at the top wraps to the end

  Key(r, VK_UP);
  Key(r, VK_HOME);
  // Up on the first row selects the last.
  while (r->Grid()->Row() != 1) Key(r, VK_DOWN);
  Key(r, VK_UP);
  EXPECT_EQ(r->Grid()->Row(), 60);
  EXPECT_EQ(r->Core().RowStock(59).stock, 59);
  EXPECT_FALSE(TReport::ScrollBarTracking());  // the keys were released
  EXPECT_FALSE(host_.Calls("SetOrderContract").empty());
}

TEST_F(ReportTest, TabKeysMoveTheSelectionEnterLoads) {
  TReport *r = Open();
  Key(r, VK_RIGHT);
  EXPECT_EQ(r->TabSet()->TabIndex(), 1);
  EXPECT_EQ(r->LoadedTab(), 0);
  Key(r, VK_HOME);  // any other key puts the selection back
  EXPECT_EQ(r->TabSet()->TabIndex(), 0);
  Key(r, VK_RIGHT);
  Key(r, VK_RIGHT);
  Key(r, VK_RIGHT);  // not past the end
  EXPECT_EQ(r->TabSet()->TabIndex(), 2);
  Key(r, VK_RETURN);
  EXPECT_EQ(r->LoadedTab(), 2);
  EXPECT_STREQ(r->CurrentBlock()->name, "上海");
  EXPECT_EQ(r->Core().rowCount, 4);

  // Enter on the loaded tab opens the row in a chart with the rows handed
  // over; a second Enter before the main window reads the first leaves the
  // first record as it was.
  host_.ClearMessages();
  Key(r, VK_RETURN);
  Key(r, VK_DOWN);
  Key(r, VK_RETURN);
  harness_.Pump();
  ASSERT_EQ(host_.Count(WM_MF_EVENT), 2u);
  std::vector<int> opened;
  for (const auto &m : host_.Messages()) {
    if (m.message != WM_MF_EVENT) continue;
    VIEW_ATTR_13 open{};
    ASSERT_TRUE(TakeOpenRecord(m.lParam, &open));
    EXPECT_EQ(open.viewType, VIEW_TYPE_KLINE);
    opened.push_back(open.stock.stock);
    const ViewStockList *list = FindViewStockList(open.HandOverList());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count, 4u);
    DropUnusedViewStockList(open.HandOverList());  // the main window would take it over
  }
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_NE(opened[0], opened[1]);
}

TEST_F(ReportTest, GroupJumpToTheMostActiveContract) {
  TReport *r = Open();
  ASSERT_TRUE(r->OpenBlockTab(world_.Block("大连")->blockId, false));
  std::strcpy(world_.Info(2, 0).code, "M2401");
  std::strcpy(world_.Info(2, 1).code, "M2405");
  std::strcpy(world_.Info(2, 2).code, "C2401");
  std::strcpy(world_.Info(2, 3).code, "C2405");
  world_.Quote(2, 1).volume = 90000;
  world_.Quote(2, 3).volume = 80000;
  r->m_attr.displayFlags |= 0x100;
  r->Core().sortColumn = 1;
  r->SortRows(false);  // C2401 C2405 M2401 M2405
  r->SelectRow(1);
  Key(r, VK_NEXT);
  EXPECT_EQ(r->Core().RowStock(r->Grid()->Row() - 1).stock, 1);  // M2405
  Key(r, VK_NEXT);
  EXPECT_EQ(r->Core().RowStock(r->Grid()->Row() - 1).stock, 3);  // wraps to C2405
}

TEST_F(ReportTest, HeaderDoubleClickSortsAndReverses) {
  TReport *r = Open();
  ASSERT_TRUE(r->OpenBlockTab(world_.Block("大连")->blockId, false));
  TMsgDrawGrid *g = r->Grid();
  int codeColumn = -1, timeColumn = -1;
  for (int c = 0; c < r->Core().columnCount; ++c) {
    if (r->Core().columns[c] == 1) codeColumn = c;
    if (r->Core().columns[c] == 30) timeColumn = c;
  }
  ASSERT_GE(codeColumn, 0);
  const TRect name = g->CellRect(codeColumn, 0);
  harness_.DoubleClick(g->Handle(), name.Left + 5, name.Top + 5);
  EXPECT_EQ(r->Core().sortColumn, 1);
  EXPECT_EQ(Rows(r, 4), (std::vector<int>{2, 3, 0, 1}));  // C01 C05 M01 M05
  harness_.DoubleClick(g->Handle(), name.Left + 5, name.Top + 5);
  EXPECT_EQ(r->Core().direction, 0);
  EXPECT_EQ(Rows(r, 4), (std::vector<int>{1, 0, 3, 2}));
  if (timeColumn >= 0) {  // columns 30..44 never sort
    const TRect t = g->CellRect(timeColumn, 0);
    if (t.Width() > 0) {
      harness_.DoubleClick(g->Handle(), t.Left + 5, t.Top + 5);
      EXPECT_EQ(r->Core().sortColumn, 1);
    }
  }
}

TEST_F(ReportTest, PushedQuotesFlashTheirRowUntilTheTimerEndsIt) {
  TReport *r = Open();
  world_.Quote(4, 1).limitUp = world_.Quote(4, 1).last;
  r->Notify(0, (2u << 16) | 4u, 0, kChangedLast | kChangedVolume);
  r->Notify(0, (1u << 16) | 4u, 0, kChangedLast);
  harness_.Pump();
  TMsgDrawGrid *g = r->Grid();
  int last = -1;
  for (int c = 0; c < r->Core().columnCount; ++c)
    if (r->Core().columns[c] == 6) last = c;
  ASSERT_GE(last, 0);
  const TRect flash = g->CellRect(last, 3), limit = g->CellRect(last, 2);
  EXPECT_EQ(harness_.Pixel(g, flash.Left + 2, flash.Top + 3), C(25));
  EXPECT_EQ(harness_.Pixel(g, limit.Left + 2, limit.Top + 3), C(21));  // limit highlight wins
  harness_.SavePng(harness_.Render(page_->Window()->Handle()), "report_flash");
  harness_.Advance(1500, 100);
  EXPECT_EQ(harness_.Pixel(g, flash.Left + 2, flash.Top + 3), C(25));
  harness_.Advance(200, 100);
  EXPECT_EQ(harness_.Pixel(g, flash.Left + 2, flash.Top + 3), C(17));
}

TEST_F(ReportTest, ServerSortAnswersOfOlderRequestsAreDeletedUnread) {
  host_.online = true;
  TReport *r = Open();
  ASSERT_TRUE(r->OpenBlockTab(world_.Block("大连")->blockId, false));
  std::snprintf(AnswerHooks().tempFolder, sizeof AnswerHooks().tempFolder, "%s", "..\\tmp\\");
  r->Core().sortColumn = 10;
  const int counter = r->RequestCounter();
  auto answer = [&](int number, std::vector<float> changes) {
    std::string bytes;
    for (size_t i = 0; i < changes.size(); ++i) {
      uint8_t rec[11] = {2, uint8_t(i), 0};
      float a = 1000 + changes[i], b = 1000;
      std::memcpy(rec + 3, &a, 4);
      std::memcpy(rec + 7, &b, 4);
      bytes.append(reinterpret_cast<char *>(rec), sizeof rec);
    }
    world_.Box().Write("tmp/" + std::to_string(number) + ".tmp", bytes.data(), bytes.size());
  };
  answer(7, {10, 30, 20, 0});
  SendMessageA(r->Handle(), WM_SORT_DATA_READY, 7, counter - 1);  // stale
  EXPECT_FALSE(world_.Box().Exists("tmp/7.tmp"));
  EXPECT_EQ(Rows(r, 4), (std::vector<int>{0, 1, 2, 3}));
  answer(8, {10, 30, 20, 0});
  SendMessageA(r->Handle(), WM_SORT_DATA_READY, 8, counter);
  EXPECT_FALSE(world_.Box().Exists("tmp/8.tmp"));
  EXPECT_EQ(Rows(r, 4), (std::vector<int>{1, 2, 0, 3}));
  AnswerHooks().tempFolder[0] = 0;
}

TEST_F(ReportTest, DroppingIntoAUserBlockMovesOrAdds) {
  const std::string appData = world_.Box().Path("appdata");
  setenv("XDG_DATA_HOME", appData.c_str(), 1);
  TReport *r = Open();
  BLOCK *mine = world_.Block("自选一");
  ASSERT_TRUE(r->OpenBlockTab(mine->blockId, false));
  ASSERT_EQ(r->Core().rowCount, 2);
  char folder[MAX_PATH];
  ASSERT_TRUE(GetAppDataFolder(folder));
  auto handOver = [&](int number, const char *text) {
    uint32_t written = 0;
    ASSERT_TRUE(WriteHandOverFile(text, uint32_t(number), &written));
    ASSERT_EQ(written, uint32_t(number));
  };
  const TRect first = r->Grid()->CellRect(2, 1);
  POINT p{first.Left + 5, first.Top + 5};
  ClientToScreen(r->Grid()->Handle(), &p);
  handOver(5, "DL,M05");
  EXPECT_EQ(SendMessageA(r->Handle(), WM_DROP_STOCKS, 5, MAKELPARAM(p.x, p.y)), 0);
  EXPECT_EQ(mine->memberCount, 3);
  EXPECT_EQ(mine->members[0].market, 2);  // inserted where it was dropped
  EXPECT_FALSE(world_.Box().Exists("appdata/5.txt"));
  ASSERT_FALSE(host_.notices.empty());
  EXPECT_EQ(host_.notices.back()[0], 10);
  EXPECT_NE(world_.Box().Read("user/blocks.ini").find("XX 123456"), std::string::npos);

  handOver(6, "QQ,M05");
  EXPECT_EQ(SendMessageA(r->Handle(), WM_DROP_STOCKS, 6, MAKELPARAM(p.x, p.y)), -1);
  ASSERT_TRUE(r->OpenBlockTab(world_.Block("大连")->blockId, false));
  handOver(7, "SH,600000");
  EXPECT_EQ(SendMessageA(r->Handle(), WM_DROP_STOCKS, 7, MAKELPARAM(p.x, p.y)), -1);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "不能向系统板块中添加品种。  ");
  unsetenv("XDG_DATA_HOME");
}

TEST_F(ReportTest, TabsCloseLocateAndZoom) {
  TReport *r = Open();
  r->N3Click();  // closes the current tab, the next one loads
  EXPECT_EQ(r->TabCount(), 2);
  EXPECT_STREQ(r->CurrentBlock()->name, "大连");
  r->LocateStock((3u << 0) | (2u << 16));  // ZJ IF01: in no tab, its market's block is added
  EXPECT_EQ(r->TabCount(), 3);
  EXPECT_EQ(r->CurrentBlock()->blockId, 3);
  EXPECT_EQ(r->Core().RowStock(r->Grid()->Row() - 1).stock, 2);
  r->N3Click();
  r->N3Click();
  r->N3Click();  // the only tab stays
  EXPECT_EQ(r->TabCount(), 1);
  r->m_attr.zoomStep = 10;
  r->Notify(15, 0, 1, 0);
  EXPECT_EQ(r->m_attr.zoomStep, 10);
  r->Notify(15, 0, -1, 0);
  EXPECT_EQ(r->m_attr.zoomStep, 9);
}

}  // namespace

namespace {

// A dark theme as the terminal ships it, for the pictures a person looks at.
void DarkTheme(COLORREF (&c)[64]) {
  for (COLORREF &x : c) x = RGB(192, 192, 192);
  auto set = [&](int nn, COLORREF v) { c[nn - 1] = v; };
  set(1, RGB(0, 0, 0));
  set(17, RGB(0, 0, 0));
  set(18, RGB(192, 192, 192));
  set(19, RGB(0, 230, 0));
  set(20, RGB(230, 230, 230));
  set(21, RGB(255, 60, 60));
  set(22, RGB(200, 200, 200));
  set(23, RGB(255, 255, 0));
  set(25, RGB(0, 0, 200));
  set(26, RGB(80, 0, 0));
  set(34, RGB(40, 40, 40));
  set(36, RGB(120, 255, 120));
  set(37, RGB(255, 255, 255));
  set(38, RGB(255, 160, 160));
  set(39, RGB(255, 255, 255));
  set(42, RGB(255, 255, 255));
  set(47, RGB(255, 255, 0));
  set(48, RGB(255, 255, 0));
  set(49, RGB(0, 230, 230));
  set(50, RGB(255, 128, 255));
  set(63, RGB(16, 16, 24));
  set(64, RGB(0, 0, 128));
}

TEST_F(ReportTest, PicturesOfTheReport) {
  DarkTheme(world_.colors);
  ViewDisplay().tabSet = RGB(30, 30, 30);
  ViewDisplay().tabSetLight = RGB(90, 90, 90);
  ViewDisplay().tabSetHot = RGB(200, 200, 255);
  ViewDisplay().tabSetHotLight = RGB(255, 255, 255);
  TReport *r = Open(700, 330);
  testing_support::PictureSheet sheet(2);
  HWND window = page_->Window()->Handle();
  sheet.Add("normal", harness_.Render(window));

  r->Notify(0, (2u << 16) | 4u, 0, kChangedLast | kChangedVolume | kChangedBid);
  r->Notify(0, (4u << 16) | 4u, 0, kChangedAsk | kChangedLastVolume);
  harness_.Pump();
  sheet.Add("flashing cells", harness_.Render(window));

  world_.Quote(4, 6).limitUp = world_.Quote(4, 6).last;
  world_.Quote(4, 7).limitDown = world_.Quote(4, 7).low;
  r->Grid()->Invalidate();
  harness_.Pump();
  sheet.Add("limit highlight", harness_.Render(window));

  Key(r, VK_DOWN);
  Key(r, VK_DOWN);
  sheet.Add("selected row with its frame", harness_.Render(window));

  r->TabSet()->Tabs.Put(1, "^大连");
  r->TabSet()->Invalidate();
  r->Grid()->SetColWidths(3, 18);
  r->Grid()->Invalidate();
  harness_.Pump();
  sheet.Add("^ tab and *** cells", harness_.Render(window));

  harness_.SavePng(sheet.Compose(), "report_sheet");
}

TEST_F(ReportTest, PrintsTheReportInBlackAndWhite) {
  TReport *r = Open(640, 300);
  const std::string pdf = world_.Box().Path("report.pdf");
  {
    PrintDialogStandIn cancelled("");
    r->Print();
    EXPECT_EQ(cancelled.Shown(), 1);
  }
  EXPECT_FALSE(world_.Box().Exists("report.pdf"));
  {
    PrintDialogStandIn dialog(pdf);  // a wide report on a portrait page: turned
    r->Print();
  }
  ASSERT_TRUE(world_.Box().Exists("report.pdf"));
  EXPECT_GT(world_.Box().Read("report.pdf").size(), 1000u);
  EXPECT_TRUE(boxes_.Calls().empty());
}

}  // namespace

namespace {

TEST_F(ReportTest, ServerSortsAreAskedForOnlyOnline) {
  ResetRequestQueue();
  TReport *r = Open();
  auto asked = [] { return RequestsQueued() + RequestsInFlight(); };
  r->Core().sortColumn = 11;
  r->SortRows(true);  // offline: the order stays
  EXPECT_EQ(asked(), 0);
  host_.online = true;
  r->SortRows(true);
  ASSERT_EQ(asked(), 1);
  uint32_t tag = 0, value = 0;
  EXPECT_EQ(FindPendingSortRequest(&tag, &value), 0);  // a file for the view
  EXPECT_EQ(tag, r->m_requestTag);
  EXPECT_EQ(value, uint32_t(r->RequestCounter()));
  // The re-sort pulse asks again with a new request counter; 0, 1 and 9 never.
  const int counter = r->RequestCounter();
  r->Notify(8, 0, 1, 0);
  EXPECT_EQ(r->RequestCounter(), counter + 1);
  EXPECT_EQ(asked(), 2);
  r->Core().sortColumn = 9;
  r->Notify(8, 0, 1, 0);
  EXPECT_EQ(asked(), 2);
  ResetRequestQueue();
}

TEST_F(ReportTest, ShowBlockNoticesTheTabLimitAndDeletedBlocks) {
  TReport *r = Open();
  r->Notify(1, 0, world_.Block("中金")->blockId, 9);
  EXPECT_EQ(r->TabCount(), 4);
  EXPECT_STREQ(r->CurrentBlock()->name, "中金");
  EXPECT_EQ(r->Core().sortColumn, 9);
  EXPECT_EQ(Rows(r, 3), (std::vector<int>{2, 0, 1}));  // IF01 (kind 0), then 0401A 0401B

  // Deleting the current block with other tabs closes its tab.
  r->OnBlockDeleted(world_.Block("中金")->blockId);
  EXPECT_EQ(r->TabCount(), 3);
  // Deleting another tab's block drops that tab.
  r->OnBlockDeleted(world_.Block("上海")->blockId);
  EXPECT_EQ(r->TabCount(), 2);
  r->N3Click();
  ASSERT_EQ(r->TabCount(), 1);
  // The only tab's block deleted: the first block of SysBlocks shows.
  r->OnBlockDeleted(r->CurrentBlock()->blockId);
  EXPECT_EQ(r->TabCount(), 1);
  EXPECT_STREQ(r->CurrentBlock()->name, "大表");

  // 64 tabs: showing another block is refused with a message.
  for (int id = 2000; r->TabCount() < 64; ++id) r->OpenBlockTab(id, false);  // tabs of no block
  EXPECT_EQ(r->TabCount(), 64);
  EXPECT_FALSE(r->OpenBlockTab(world_.Block("自选一")->blockId, false));
  r->Notify(1, 0, world_.Block("自选一")->blockId, 0);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].caption, "提示");
}

TEST_F(ReportTest, AddSelectedToBlockAndHideFromThePopup) {
  TReport *r = Open();
  BLOCK *mine = world_.Block("自选一");
  Key(r, VK_DOWN);
  r->AddSelectedToBlock(mine->blockId);
  ASSERT_EQ(mine->memberCount, 3);
  EXPECT_EQ(mine->members[2].stock, 1);
  EXPECT_EQ(host_.notices.back(), (std::vector<intptr_t>{10, intptr_t(STKPTR(4, 0, 1).Word()), mine->blockId, 0}));
  r->Notify(10, 0, mine->blockId, 0);  // another block: only its tab caption would change
  EXPECT_STREQ(r->CurrentBlock()->name, "大表");

  for (int i = 0; i < r->Popup()->Items()->Count(); ++i) {
    TMenuItem *item = r->Popup()->Items()->Items(i);
    if (item->Caption == "隐藏(&H)") item->OnClick(item);
  }
  EXPECT_EQ(r->Core().rowCount, 59);
  EXPECT_NE(world_.Box().Read("user/HideCode.ini").find("B00001"), std::string::npos);
  r->OpenBlockTab(mine->blockId, false);
  r->OpenBlockTab(world_.Block("大表")->blockId, false);
  EXPECT_EQ(r->Core().rowCount, 59);  // still hidden after a reload
}

}  // namespace

namespace {

TEST_F(ReportTest, MenuCaptionsShowTheHotKeys) {
  ViewDisplay().hotKey = [](int command, uint32_t *flags, char keys[16]) {
    if (command == 63) *flags = 1, std::strcpy(keys, "M");
    if (command == 44) *flags = 0x20000 << 7;  // F8
    return command == 63 || command == 44;
  };
  TReport *r = Open();
  std::vector<std::string> captions;
  for (int i = 0; i < r->Popup()->Items()->Count(); ++i) captions.push_back(r->Popup()->Items()->Items(i)->Caption);
  EXPECT_NE(std::find(captions.begin(), captions.end(), "添加板块      CTRL+M"), captions.end());
  EXPECT_NE(std::find(captions.begin(), captions.end(), "新闻资讯      F8"), captions.end());
  EXPECT_NE(std::find(captions.begin(), captions.end(), "加入预警(&A)"), captions.end());  // no key
  ViewDisplay().hotKey = nullptr;
}

TEST_F(ReportTest, APressOnTheSelectedRowHandsItToTheOrderPanelAndThePagePulsePages) {
  TReport *r = Open();
  host_.Clear();
  const TRect cell = r->Grid()->CellRect(2, 1);
  harness_.Click(r->Grid()->Handle(), cell.Left + 4, cell.Top + 4);
  const auto calls = host_.Calls("SetOrderContract");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0], "SetOrderContract " + std::to_string(r->m_attr.stock.Word()) + " 1");

  const int v = r->Grid()->VisibleRowCount();
  r->Notify(8, 0, 0, 0);  // the page pulse pages down
  harness_.Pump();
  EXPECT_EQ(r->Grid()->TopRow(), 1 + v);
  r->SelectRow(60);
  host_.ClearMessages();
  r->Notify(8, 0, 0, 0);  // at the last row: back to the first
  EXPECT_EQ(r->Grid()->Row(), 1);
  harness_.Pump();
  EXPECT_GE(host_.Count(WM_MF_REFRESH_SUBSCRIPTION), 1u);
}

}  // namespace

namespace {

TEST_F(ReportTest, DraggingARowOntoAnotherMovesItInTheUserBlock) {
  const std::string appData = world_.Box().Path("appdata");
  setenv("XDG_DATA_HOME", appData.c_str(), 1);
  CReportViewDropSource *source = new CReportViewDropSource;
  GlobalDropSource() = source;
  TReport *r = Open();
  BLOCK *mine = world_.Block("自选一");
  ASSERT_TRUE(r->OpenBlockTab(mine->blockId, false));
  harness_.Pump();
  HWND grid = r->Grid()->Handle();
  const TRect first = r->Grid()->CellRect(2, 1), second = r->Grid()->CellRect(2, 2);
  harness_.MouseDown(grid, first.Left + 4, first.Top + 4);  // SH 600000, the selected row
  harness_.Soon([&] {
    PostMessageA(grid, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(second.Left + 6, second.Top + 4));
    PostMessageA(grid, WM_LBUTTONUP, 0, MAKELPARAM(second.Left + 6, second.Top + 4));
  });
  harness_.MouseMove(grid, first.Left + 20, first.Top + 4, MK_LBUTTON);
  harness_.Pump();
  ASSERT_EQ(mine->memberCount, 2);
  EXPECT_EQ(mine->members[1].market, 0);  // 600000 moved below SZ 000001
  EXPECT_EQ(mine->members[1].stock, 1);
  EXPECT_EQ(r->Grid()->Row(), 2);
  GlobalDropSource() = nullptr;
  source->Release();
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
