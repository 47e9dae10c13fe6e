// The main window's menu and tool-bar handlers: outside programs and
// addresses as the desktop sees them, the theme button, the view buttons
// on the page's views, the pump of the handlers that switch the pane first.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "market/blocks.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "shell/framemenus.h"
#include "shell/hotkeys.h"
#include "shell/mframe.h"
#include "shell/quoteconn.h"
#include "shell/settings_store.h"
#include "shell/viewclasses.h"
#include "trading/tradedesk.h"
#include "charts/capturedlg.h"
#include "charts/linetool.h"
#include "charts/techform.h"
#include "tests/shell/frame_folder.h"
#include "testing/quote_service.h"
#include "testing/desk_ui_recorder.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/shell_recorder.h"
#include "testing/view_harness.h"
#include "views/mvmain.h"
#include "views/zqnote.h"

using namespace market_fixture;

namespace {

class ActionsParts : public TFrameParts {
 public:
  int ShowLoginDialog(TMFrame &, bool) override { return 3; }
  bool TradingBound() override { return bound; }
  void ShowCaptureDialog(TMFrame &) override { ++captures; }
  void SetupTradingPanel(TMFrame &) override { ++tradingSetups; }
  bool bound = false;
  int captures = 0;
  int tradingSetups = 0;
};

// What the page's views were told.
struct ActionsNote {
  int type;
  int code;
  intptr_t first;
};
std::vector<ActionsNote> &ActionsNotes() {
  static std::vector<ActionsNote> notes;
  return notes;
}

class ActionsView : public TPlaceholderView {
 public:
  using TPlaceholderView::TPlaceholderView;
  int Notify(int code, uint32_t stock, intptr_t first, intptr_t second) override {
    ActionsNotes().push_back({ViewType(), code, first});
    return TPlaceholderView::Notify(code, stock, first, second);
  }
  // A report of 200 rows with its fifth row selected.
  uint32_t MakeHandOverList(int32_t *position) override {
    if (ViewType() != VIEW_TYPE_REPORT) return 0;
    std::vector<STKPTR> rows;
    for (int i = 0; i < 200; ++i) rows.push_back(STKPTR(0, 0, uint16_t(i % 3)));
    *position = 4;
    return NewViewStockList(rows.data(), uint32_t(rows.size()));
  }
};

class FrameActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareFrameFolder(box_.Root());
    frame_ = new TMFrame(nullptr, parts_);
    frame_->Show();
    harness_.Pump();
    for (int type : {VIEW_TYPE_INTRADAY, VIEW_TYPE_KLINE, VIEW_TYPE_REPORT, VIEW_TYPE_TEXT})
      RegisterViewClass(type, [](TMultiViewMain *page, const VIEW_ATTR_13 *r, MVCDATA_12 *d, EArray<VIEW_ATTR_13> *h,
                                 PaneNode *n, int) -> TMultiViewChild * {
        return new ActionsView(r ? r->viewType : VIEW_TYPE_REPORT, page, r, d, h, n);
      });
    ActionsNotes().clear();
  }
  void TearDown() override {
    boxes_.QueueAnswer(IDNO);
    frame_->Close();
    harness_.Pump();
    delete frame_;
    FreeMarketTable();
    ActionsNotes().clear();
  }
  void Ini(const std::string &relative, const std::string &text) { box_.WriteText(relative, text); }
  // The active pane shows a new view of the type.
  TMultiViewChild *ShowView(int type) {
    VIEW_ATTR_13 record{};
    InitViewAttr(type, &record);
    record.stock = STKPTR(0, 0, 1);
    TMultiViewChild *view = frame_->page->CreateView(frame_->page->PaneAt(0)->m_node, &record, 0, 0);
    if (view) view->Activate();
    harness_.Pump();
    return view;
  }
  TMultiViewChild *Active() { return frame_->Core().ActiveView(); }

  testing_support::ViewHarness harness_;
  MarketSandbox box_;
  MessageBoxRecorder boxes_;
  ShellRecorder shell_;
  ActionsParts parts_;
  TMFrame *frame_ = nullptr;
};

TEST_F(FrameActionsTest, OutsideProgramsStartWithTheirCommandLinesAndReportAFailure) {
  struct Case {
    const char *name;
    std::function<void(TMFrame *)> handler;
    bool started;  // a program start, else a shell open
    std::string expected;
    const char *failure, *caption;
  };
  const std::string theme = ".\\themetool.exe HWND:" + std::to_string(int(intptr_t(frame_->Handle()))) +
                            " MSG:2128 THEME:" + std::to_string(CurrentTheme);
  const Case cases[] = {
      {"updater", [](TMFrame *f) { f->N24Click(); }, true, ".\\selfupd.exe -runbykivo", "无法启动更新程序，升级失败。  ", "提示"},
      {"theme tool", [](TMFrame *f) { f->N67Click(); }, true, theme, "启动配置程序失败。  ", "错误"},
      {"network check", [](TMFrame *f) { f->MenuItemNetDetectClick(); }, false, ".\\netcheck.exe", "无法启动网络诊断工具。   ", "错误"},
      {"calculator", [](TMFrame *f) { f->N21Click(); }, false, "pnlcalc.exe", "无法启动计算器。   ", "错误"},
      {"user folder", [](TMFrame *f) { f->N30Click(); }, false, UserDataPath, "无法打开用户配置文件所在的目录。  ", "错误"},
      {"mail", [](TMFrame *f) { f->F1Click(); }, false, "mailto:support@kivo.invalid", "无法启动邮件编辑程序。  ", "错误"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const size_t starts = shell_.Starts().size(), opens = shell_.Opens().size(), boxes = boxes_.Calls().size();
    c.handler(frame_);
    if (c.started) {
      ASSERT_EQ(shell_.Starts().size(), starts + 1);
      EXPECT_EQ(shell_.Starts().back().commandLine, c.expected);
    } else {
      ASSERT_EQ(shell_.Opens().size(), opens + 1);
      EXPECT_EQ(shell_.Opens().back().verb, "open");
      EXPECT_EQ(shell_.Opens().back().file, c.expected);
    }
    EXPECT_EQ(boxes_.Calls().size(), boxes);
    if (c.started) shell_.QueueStartFailure(2);
    else shell_.QueueOpenResult(2);
    c.handler(frame_);
    ASSERT_EQ(boxes_.Calls().size(), boxes + 1);
    EXPECT_EQ(boxes_.Calls().back().text, c.failure);
    EXPECT_EQ(boxes_.Calls().back().caption, c.caption);
  }
}

TEST_F(FrameActionsTest, AddressesTryTheBrowserProgramThenTheDesktopsBrowser) {
  WritePrivateProfileStringA("WEB", "HelpServer", "http://127.0.0.1:1", "..\\CFG\\SETTING.INI");
  const size_t boxes = boxes_.Calls().size();
  frame_->MenuItem167Click();
  ASSERT_EQ(shell_.Opens().size(), 1u);
  EXPECT_EQ(shell_.Opens()[0].file, "IEXPLORE.EXE");
  EXPECT_EQ(shell_.Opens()[0].parameters, "http://127.0.0.1:1/helponline3/yfhj/mainindex.htm");
  // No browser program: the address itself; neither: the message.
  shell_.QueueOpenResult(2);
  frame_->N66Click();
  ASSERT_EQ(shell_.Opens().size(), 3u);
  EXPECT_EQ(shell_.Opens()[2].file, "http://127.0.0.1:1/faqlist.asp?col=常见问题&col2=因特网平台");
  EXPECT_EQ(boxes_.Calls().size(), boxes);
  shell_.QueueOpenResult(2);
  shell_.QueueOpenResult(2);
  frame_->MenuItem167Click();
  ASSERT_EQ(boxes_.Calls().size(), boxes + 1);
  EXPECT_EQ(boxes_.Calls().back().text, "无法启动浏览器。  ");
}

TEST_F(FrameActionsTest, TradingProgramsOfCommand83WithAndWithoutThePlugIn) {
  const char *ini = "..\\CFG\\TRADING.INI";
  auto consign = [ini](const char *key, const char *value) { WritePrivateProfileStringA("CONSIGN", key, value, ini); };
  consign("Exe0", "C:\\a\\first.exe");
  consign("Name0", "甲");
  consign("Exe1", "C:\\b\\second.exe");
  consign("Name1", "乙");
  const size_t boxes = boxes_.Calls().size();
  parts_.bound = true;
  frame_->ExecuteCommand(CMD_EXTERNAL_TRADING);
  parts_.bound = false;
  frame_->ExecuteCommand(CMD_EXTERNAL_TRADING);
  ASSERT_EQ(shell_.Opens().size(), 2u);
  EXPECT_EQ(shell_.Opens()[0].file, "C:\\a\\first.exe");
  EXPECT_EQ(shell_.Opens()[0].directory, "C:\\a");
  EXPECT_EQ(shell_.Opens()[1].file, "C:\\b\\second.exe");
  // An empty program does nothing; a failed start names the program.
  consign("Exe0", "");
  frame_->MenuItem142Click(1);
  EXPECT_EQ(shell_.Opens().size(), 2u);
  shell_.QueueOpenResult(2);
  frame_->MenuItem142Click(2);
  ASSERT_EQ(boxes_.Calls().size(), boxes + 1);
  EXPECT_EQ(boxes_.Calls().back().text, "无法运行下单程序 乙 。  ");
}

TEST_F(FrameActionsTest, TheTradingKeyReachesTheTradingWindowsToggle) {
  // F12's command: without a bound plug-in the toggle runs the trading set-up.
  DeskHostRecorder host;
  DeskUiRecorder ui;
  frame_->tradingDesk = std::make_unique<TTradingDesk>(frame_->desk, host, ui);
  const int before = parts_.tradingSetups;
  frame_->ExecuteCommand(CMD_ONLINE_TRADING);
  EXPECT_EQ(parts_.tradingSetups, before + 1);
  frame_->tradingDesk.reset();
}

TEST_F(FrameActionsTest, TheThemeButtonStepsThroughEveryThemeAndBack) {
  std::string ini;
  for (int n = 0; n < 4; ++n) ini += "[Color" + std::to_string(n) + "]\r\nName=T" + std::to_string(n) + "\r\n";
  Ini("user/clrfont.ini", ini);
  if (TMenuItem *styles = frame_->chrome->MenuItem("N33")) ClearMenuFrom(styles, 0);
  frame_->BuildSettingsMenus();
  CurrentTheme = 0;
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    frame_->ToolButton15Click();
    seen.push_back(CurrentTheme);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 0}));
  TMenuItem *styles = frame_->chrome->MenuItem("N33");
  ASSERT_EQ(styles->Count(), 4);
  EXPECT_TRUE(styles->Items(0)->Checked);
  EXPECT_FALSE(styles->Items(3)->Checked);
}

TEST_F(FrameActionsTest, TheKLineButtonTakesTheReportsRowsAndTheTrendButtonOnlyLeavesTicks) {
  ShowView(VIEW_TYPE_REPORT);
  ASSERT_EQ(Active()->ViewType(), VIEW_TYPE_REPORT);
  const int lists = LiveViewStockLists();
  frame_->ToolButton3Click();
  harness_.Pump();
  TMultiViewChild *kline = Active();
  ASSERT_EQ(kline->ViewType(), VIEW_TYPE_KLINE);
  const ViewStockList *list = FindViewStockList(kline->m_attr.HandOverList());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count, 200u);
  EXPECT_EQ(kline->m_attr.HandOverPosition(), 4);
  EXPECT_EQ(LiveViewStockLists(), lists + 1);
  // Again on the K-line view: nothing.
  frame_->ToolButton3Click();
  EXPECT_EQ(Active(), kline);

  TMultiViewChild *intraday = ShowView(VIEW_TYPE_INTRADAY);
  intraday->m_attr.flags |= kViewFlagTickMode;
  frame_->CycleTrendClick();
  EXPECT_EQ(Active(), intraday);
  EXPECT_EQ(intraday->m_attr.flags & kViewFlagTickMode, 0u);
  frame_->CycleTrendClick();
  EXPECT_EQ(intraday->m_attr.flags & kViewFlagTickMode, 0u);
}

TEST_F(FrameActionsTest, WithTickChartFirstTheTrendButtonFromAKLineEndsInTicks) {
  frame_->tickFirst = true;
  ShowView(VIEW_TYPE_KLINE);
  frame_->CycleTrendClick();
  harness_.Pump();
  ASSERT_EQ(Active()->ViewType(), VIEW_TYPE_INTRADAY);
  EXPECT_NE(Active()->m_attr.flags & kViewFlagTickMode, 0u);
}

TEST_F(FrameActionsTest, ZoomGoesToAReportAsCodeFifteen) {
  ShowView(VIEW_TYPE_REPORT);
  ActionsNotes().clear();
  frame_->ToolButton6Click();
  frame_->ToolButton7Click();
  ASSERT_EQ(ActionsNotes().size(), 2u);
  EXPECT_EQ(ActionsNotes()[0].code, 15);
  EXPECT_EQ(ActionsNotes()[0].first, 1);
  EXPECT_EQ(ActionsNotes()[1].first, -1);
}

TEST_F(FrameActionsTest, HistoryRecallSwitchesToTheTrendAndPumpsHalfASecondOfTheClock) {
  FakeClock clock;
  platform::ClockSource *previous = platform::SetClockSource(&clock);
  ShowView(VIEW_TYPE_REPORT);
  const DWORD before = GetTickCount();
  frame_->HistoryRecall(2);
  const DWORD after = GetTickCount();
  platform::SetClockSource(previous);
  EXPECT_GE(after - before, 500u);
  EXPECT_LT(after - before, 600u);
  EXPECT_EQ(Active()->ViewType(), VIEW_TYPE_INTRADAY);
}

// With "闪电图优先" the trend button opens the tick chart, which recalls no
// days: the recall from another view ends on the minute trend.
TEST_F(FrameActionsTest, HistoryRecallFromAReportWithTickChartFirstEndsOnTheMinuteTrend) {
  FakeClock clock;
  platform::ClockSource *previous = platform::SetClockSource(&clock);
  frame_->tickFirst = true;
  ShowView(VIEW_TYPE_REPORT);
  frame_->HistoryRecall(2);
  platform::SetClockSource(previous);
  ASSERT_EQ(Active()->ViewType(), VIEW_TYPE_INTRADAY);
  EXPECT_EQ(Active()->m_attr.flags & kViewFlagTickMode, 0u);
}

TEST_F(FrameActionsTest, TimeZoneItemsFollowTheZoneTableAndAChoiceReachesTheCharts) {
  TMenuItem *zones = frame_->chrome->MenuItem("N49");
  ASSERT_EQ(uint32_t(zones->Count()), std::min<uint32_t>(TimeZoneTable.file.zoneCount, kMaxTimeZones));
  if (zones->Count() < 2) GTEST_SKIP() << "the data set has one zone";
  TMultiViewChild *chart = ShowView(VIEW_TYPE_INTRADAY);
  (void)chart;
  zones->Items(1)->Click();
  EXPECT_EQ(TimeZoneTable.file.selectedZone, 1u);
  EXPECT_FALSE(zones->Items(0)->Checked);
  EXPECT_TRUE(zones->Items(1)->Checked);
  zones->Items(0)->Click();
  EXPECT_EQ(TimeZoneTable.file.selectedZone, 0u);
}

// A notes list that arrives after the view opened reaches the view: the
// frame's receiver handles the text views' answers, not only the charts'.
TEST_F(FrameActionsTest, AnArrivedNotesListReloadsTheNotesView) {
  RegisterViewClasses();
  auto *notes = dynamic_cast<TZQNote *>(ShowView(VIEW_TYPE_NOTES));
  ASSERT_NE(notes, nullptr);
  const int before = notes->NoteList->Count();
  NOTEREC record{};
  std::strcpy(record.title, "arrived");
  std::strcpy(record.key, "n0000.txt");
  record.dateTime = 1100u << 20 | 240115u;
  box_.Write("data/notes/notes0.ls2", &record, sizeof record);
  ASSERT_TRUE(frame_->receivers.view);
  frame_->receivers.view(TViewAction::LoadNotes, notes, 0);
  EXPECT_EQ(notes->NoteList->Count(), before + 1);
}

TEST_F(FrameActionsTest, TheDrawingToolsAndTheAnalysisMenuActOnAKLineView) {
  RegisterViewClasses();
  auto *kline = dynamic_cast<TTechForm *>(ShowView(VIEW_TYPE_KLINE));
  ASSERT_NE(kline, nullptr);
  ASSERT_EQ(Active(), kline);
  TToolButton *button = frame_->chrome->Button("LineBtn");
  // The button: the palette made in the frame's corner and shown, then hidden.
  frame_->LineBtnClick();
  ASSERT_NE(frame_->linePalette, nullptr);
  EXPECT_TRUE(frame_->linePalette->Visible());
  EXPECT_EQ(frame_->linePalette->Width(), 83);
  EXPECT_EQ(frame_->linePalette->Top(), 52);
  EXPECT_TRUE(button->Down());
  EXPECT_TRUE(kline->NLine->Checked);
  frame_->LineBtnClick();
  EXPECT_FALSE(frame_->linePalette->Visible());
  EXPECT_FALSE(button->Down());
  EXPECT_FALSE(kline->NLine->Checked);
  // A tool item presses its palette button; "全部删除" asks first.
  frame_->LineClick(3);
  EXPECT_EQ(frame_->lineToolCode, 3);
  EXPECT_TRUE(frame_->linePalette->Button(3)->Down());
  frame_->MenuItem128Click();
  TMenuItem *tools = frame_->chrome->MenuItem("MenuItem128");
  ASSERT_EQ(tools->Count(), 29);
  for (int i = 0; i < tools->Count(); ++i) EXPECT_EQ(tools->Items(i)->Checked, tools->Items(i)->Tag == 3) << i;
  const size_t boxes = boxes_.Calls().size();
  boxes_.QueueAnswer(IDNO);
  frame_->LineClick(19);
  ASSERT_EQ(boxes_.Calls().size(), boxes + 1);
  EXPECT_EQ(boxes_.Calls().back().text, "删除所有的自画线吗？  ");
  EXPECT_EQ(frame_->lineToolCode, -1);
  // The analysis menu without an overlay: no overlay scale, the percent
  // scale shown; the ex-rights states only for a stock market.
  frame_->MenuItem117Click();
  EXPECT_FALSE(frame_->chrome->MenuItem("N38")->Visible);
  EXPECT_TRUE(frame_->chrome->MenuItem("V2")->Visible);
  const TMarketData *market = MarketAt(kline->m_attr.stock.market);
  EXPECT_EQ(frame_->chrome->MenuItem("N39")->Visible, market && market->m_info.type == 1);
  // The period items reach the chart.
  frame_->chrome->MenuItem("MenuItem120")->Click();
  EXPECT_EQ(kline->m_attr.period, 9);
}

// The menu captions and tool-button hints carry the keys of the table as
// it stands; the help menu and the other items keep their own captions.
TEST_F(FrameActionsTest, HotKeyCaptionsFollowTheTable) {
  LoadHotKeys();
  const HOTKEYDEF saved = HotKeyTable[CMD_NEWS - 1];
  char f8[] = "F8";
  ParseHotKeyText(HotKeyTable[CMD_NEWS - 1], f8);
  frame_->UpdateHotKeyCaptions();
  HotKeyTable[CMD_NEWS - 1] = saved;
  TFrameChrome &c = *frame_->chrome;
  EXPECT_EQ(c.MenuItem("N26")->Caption, "即时新闻      F8");
  EXPECT_EQ(c.Button("ToolButton5")->Hint, "新闻 F8");
  EXPECT_EQ(c.MenuItem("MenuItem95")->Caption, "全屏显示      CTRL+P");
  EXPECT_EQ(c.MenuItem("N4")->Caption, "全屏显示      CTRL+P");
  EXPECT_EQ(c.MenuItem("N23")->Caption, "季线      9");
  EXPECT_EQ(c.MenuItem("N23")->Tag, 11);
  EXPECT_EQ(c.MenuItem("MenuItemHelp")->Caption, "帮助");
}

// The menu bar spans its panel whatever width the window takes.
TEST_F(FrameActionsTest, TheMenuBarFollowsItsPanelsWidth) {
  for (int width : {1300, 900}) {
    frame_->SetWidth(width);
    harness_.Pump();
    RECT r{};
    GetWindowRect(frame_->menuBar->m_hWnd, &r);
    EXPECT_EQ(r.right - r.left, frame_->Panel9->Width()) << width;
  }
}

TEST_F(FrameActionsTest, CyclingQuotesKeepsTheIntervalOfAnEmptyEntryAndStopsOnZero) {
  auto stored = [] {
    return GetPrivateProfileIntA("Parameter", "PageTime", -1, "..\\CFG\\SETTING.INI");
  };
  struct Step {
    bool start;
    const char *text;
    bool cycling;
    uint32_t interval;
  } steps[] = {{true, "20", true, 20}, {true, "", true, 20}, {false, "5", false, 20}, {true, "0", false, 0}};
  for (const Step &step : steps) {
    frame_->ApplyCycleQuotes(step.start, step.text);
    EXPECT_EQ(frame_->MainTimer().quoteCycling, step.cycling) << step.text;
    EXPECT_EQ(frame_->chrome->MenuItem("N55")->Checked, step.cycling) << step.text;
    EXPECT_EQ(frame_->MainTimer().pageTime, step.interval) << step.text;
    if (step.start) EXPECT_EQ(stored(), int(step.interval)) << step.text;
  }
}

TEST_F(FrameActionsTest, DialogsAndCaptureHangOnTheirMenuItems) {
  // The capture waits for the frame to repaint, then runs its dialog.
  frame_->chrome->MenuItem("N71")->Click();
  EXPECT_EQ(parts_.captures, 1);
  // The program's own parts run the capture dialog modally; Esc ends it.
  std::string shown;
  harness_.Soon([&] {
    TCustomForm *form = Application()->ActiveForm();
    if (!form) form = dynamic_cast<TCustomForm *>(TWinControl::FindControl(GetActiveWindow()));
    if (!form) return;
    if (dynamic_cast<TCaptureDlg *>(form)) shown = "capture";
    harness_.Key(VK_ESCAPE, TShiftState(), form->Handle());
    if (form->ModalResult() == 0) form->SetModalResult(mrCancel);
  });
  DefaultFrameParts().ShowCaptureDialog(*frame_);
  EXPECT_EQ(shown, "capture");
  for (const char *name : {"O2", "N35", "N47", "Y1", "N73", "MenuItem170", "N72", "N55", "N52", "N63", "TICK1",
                           "N16", "MenuItem117", "N70", "MenuItem143"})
    EXPECT_TRUE(bool(frame_->chrome->MenuItem(name)->OnClick)) << name;
  // "系统" opened offline: connect, and the zoom item with its key.
  frame_->chrome->MenuItem("N1")->Click();
  EXPECT_EQ(frame_->chrome->MenuItem("C1")->Caption, "连接主站(&C)");
  EXPECT_EQ(frame_->chrome->MenuItem("N54")->Caption.rfind("窗口放大      ", 0), 0u);
}

}  // namespace

namespace {

TEST_F(FrameActionsTest, TheQuoteBoardPaintsItsCardsAndTheHelpTextWithoutABlock) {
  // A block with members from the data set.
  int id = -1;
  for (int i = 0; i < BlockTable.blockCount && id < 0; ++i)
    if (BlockTable.blocks[i].inUse && BlockTable.blocks[i].memberCount >= 2) id = BlockTable.blocks[i].blockId;
  ASSERT_GE(id, 0);
  for (int i = 0; i < kThemeColorCount; ++i) ThemeColors[i] = RGB(10, 10, 10);
  ThemeColors[17 - 1] = RGB(0, 0, 0);
  ThemeColors[56 - 1] = RGB(30, 40, 90);
  ThemeColors[62 - 1] = RGB(20, 60, 20);
  ThemeColors[32 - 1] = RGB(200, 0, 0);
  frame_->quoteBoardBlock = id;
  frame_->quoteBoardColumns = 2;
  frame_->MeasureQuoteBoardCell();
  frame_->Q1Click(true);
  harness_.Pump();
  TDrawGrid *grid = frame_->DrawGrid1;
  ASSERT_TRUE(grid->Visible());
  const QImage image = harness_.Render(grid->Handle());
  harness_.SavePng(image, "quote-board");
  const int w = frame_->board.columnWidth;
  // The first card: its name band, its time band below, its frame; the
  // second card shares the first one's right border line.
  EXPECT_EQ(image.pixel(w / 2, 2) & 0xFFFFFF, 0x1E285Au);
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0xC80000u);
  EXPECT_EQ(image.pixel(w - 1, 4) & 0xFFFFFF, 0xC80000u);
  // A pushed quote repaints its own card only; an instrument without a
  // visible card repaints nothing.
  const BLOCK *block = FindBlockById(id);
  RECT update{};
  EXPECT_FALSE(GetUpdateRect(grid->Handle(), &update, FALSE));
  frame_->RedrawQuoteBoardStock(uint32_t(block->members[1].market) | (uint32_t(block->members[1].stock) << 16));
  ASSERT_TRUE(GetUpdateRect(grid->Handle(), &update, FALSE));
  const TRect cell = grid->CellRect(1, 0);
  EXPECT_EQ(update.left, cell.Left);
  EXPECT_EQ(update.top, cell.Top);
  EXPECT_EQ(update.right, std::min(int(cell.Right), grid->ClientWidth()));
  EXPECT_EQ(update.bottom, cell.Bottom);
  harness_.Pump();
  frame_->RedrawQuoteBoardStock(uint32_t(9) | (uint32_t(999) << 16));
  EXPECT_FALSE(GetUpdateRect(grid->Handle(), &update, FALSE));
  // Without a block only the help text's cell draws: the rest is the
  // board's background.
  frame_->quoteBoardBlock = -1;
  grid->SetColor(TColor(0));
  frame_->LayoutQuoteBoard(true);
  grid->Invalidate();
  harness_.Pump();
  const QImage help = harness_.Render(grid->Handle());
  EXPECT_EQ(help.pixel(w + w / 2, 2) & 0xFFFFFF, 0u);
  EXPECT_NE(help.pixel(w / 2, 2) & 0xFFFFFF, 0x1E285Au);
}

}  // namespace

#include "classlib/extctrls.h"
#include "classlib/richview.h"
#include "classlib/stdctrls.h"
#include "shell/framesubclass.h"

namespace {

// Grey pixels the edit draws when asked to erase onto a memory picture.
int ErasedPlaceholderPixels(HWND edit, LRESULT *answer) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 150, 22);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, 150, 22};
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &all, white);
  DeleteObject(white);
  *answer = SendMessageA(edit, WM_ERASEBKGND, WPARAM(dc), 0);
  int count = 0;
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 150; ++x)
      if (GetPixel(dc, x, y) == kContractPlaceholderColour) ++count;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return count;
}

// Counts the erase messages sent to the edit (it sits above the
// placeholder's procedure).
int ContractErases = 0;
WNDPROC ContractBelow = nullptr;
LRESULT ContractCounting(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) ++ContractErases;
  return CallWindowProcA(ContractBelow, hwnd, message, wParam, lParam);
}

TEST(ContractEdit, ThePlaceholderShowsWhileEmptyAndAgainAfterBackspace) {
  testing_support::ViewHarness harness;
  TForm form(nullptr);
  form.SetClientSize(200, 40);
  auto *edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(4, 4, 150, 22);
  form.Show();
  harness.Pump();
  HWND hwnd = edit->Handle();
  InstallContractEditProc(hwnd);
  InstallContractEditProc(hwnd);  // a second time changes nothing
  ContractBelow = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, LONG_PTR(ContractCounting)));
  LRESULT answer = 0;
  SendMessageA(hwnd, WM_SETTEXT, 0, LPARAM("IF2409"));
  EXPECT_EQ(ErasedPlaceholderPixels(hwnd, &answer), 0);
  struct Step {
    const char *text;  // null: Backspace released
    int erases;
  } steps[] = {{"I", 0}, {nullptr, 0}, {"", 1}, {nullptr, 1}};
  for (const Step &step : steps) {
    ContractErases = 0;
    if (step.text) SendMessageA(hwnd, WM_SETTEXT, 0, LPARAM(step.text));
    else SendMessageA(hwnd, WM_KEYUP, VK_BACK, 0);
    EXPECT_EQ(ContractErases, step.erases) << (step.text ? step.text : "Backspace");
  }
  EXPECT_GT(ErasedPlaceholderPixels(hwnd, &answer), 0);
  EXPECT_EQ(answer, 1);
  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, LONG_PTR(ContractBelow));
}

// The notice page's links: only a left press opens; the browser program
// first, the address by itself next, a message when both fail; an address
// of 512 characters or more is refused, and so is a range open to the end
// of the text or reversed (nothing opens).
TEST(TradeNotice, ALeftPressOnALinkOpensTheAddress) {
  testing_support::ViewHarness harness;
  TForm form(nullptr);
  form.SetClientSize(400, 200);
  auto *panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 400, 200);
  auto *edit = new TRichEdit(&form);
  edit->SetParent(panel);
  edit->SetBounds(0, 0, 400, 160);
  form.Show();
  harness.Pump();
  SendMessageA(edit->Handle(), EM_AUTOURLDETECT, TRUE, 0);
  SendMessageA(edit->Handle(), EM_SETEVENTMASK, 0, LPARAM(ENM_LINK));
  edit->SetText("交易通知 http://127.0.0.1/notice.htm 请阅读");
  const std::vector<CHARRANGE> links = edit->Links();
  ASSERT_EQ(links.size(), 1u);
  InstallTradeNoticeProc(panel->Handle());
  struct Case {
    const char *name;
    UINT mouse;
    LONG length;              // 0: the link as found; -1: open to the end; -2: reversed
    std::vector<INT_PTR> opens;  // answers of the shell opens, in order
    LRESULT answer;
    std::vector<std::string> files;
    const char *message;
  } cases[] = {
      {"mouse move", WM_MOUSEMOVE, 0, {}, 0, {}, nullptr},
      {"right press", WM_RBUTTONDOWN, 0, {}, 0, {}, nullptr},
      {"browser program", WM_LBUTTONDOWN, 0, {42}, 1, {"IEXPLORE.EXE"}, nullptr},
      {"address itself", WM_LBUTTONDOWN, 0, {2, 42}, 1, {"IEXPLORE.EXE", "http://127.0.0.1/notice.htm"}, nullptr},
      {"both fail", WM_LBUTTONDOWN, 0, {2, 31}, 1, {"IEXPLORE.EXE", "http://127.0.0.1/notice.htm"},
       "无法启动浏览器。  "},
      {"511 characters", WM_LBUTTONDOWN, 511, {42}, 1, {"IEXPLORE.EXE"}, nullptr},
      {"512 characters", WM_LBUTTONDOWN, 512, {}, 1, {}, "链接地址太长。  "},
      {"open to the end", WM_LBUTTONDOWN, -1, {}, 1, {}, nullptr},
      {"reversed", WM_LBUTTONDOWN, -2, {}, 1, {}, nullptr},
  };
  for (const Case &c : cases) {
    ShellRecorder shell;
    MessageBoxRecorder boxes;
    for (INT_PTR answer : c.opens) shell.QueueOpenResult(answer);
    ENLINK notice{};
    notice.nmhdr.hwndFrom = edit->Handle();
    notice.nmhdr.code = EN_LINK;
    notice.msg = c.mouse;
    notice.chrg = links[0];
    if (c.length > 0) notice.chrg.cpMax = notice.chrg.cpMin + c.length;
    if (c.length == -1) notice.chrg.cpMax = -1;
    if (c.length == -2) notice.chrg.cpMax = notice.chrg.cpMin - 1;
    EXPECT_EQ(SendMessageA(panel->Handle(), WM_NOTIFY, 0, LPARAM(&notice)), c.answer) << c.name;
    const auto opens = shell.Opens();
    ASSERT_EQ(opens.size(), c.files.size()) << c.name;
    for (size_t i = 0; i < opens.size(); ++i) EXPECT_EQ(opens[i].file, c.files[i]) << c.name;
    if (!opens.empty() && !c.length) EXPECT_EQ(opens[0].parameters, "http://127.0.0.1/notice.htm") << c.name;
    const auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), c.message ? 1u : 0u) << c.name;
    if (c.message) {
      EXPECT_EQ(calls[0].text, c.message) << c.name;
      EXPECT_EQ(calls[0].caption, "错误") << c.name;
      EXPECT_TRUE(calls[0].type & MB_TOPMOST) << c.name;
    }
  }
}

}  // namespace
