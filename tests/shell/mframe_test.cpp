#include "shell/mframe.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/logindlg.h"
#include "market/realclient.h"
#include "platform/memory.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "shell/framewindow.h"
#include "shell/quoteconn.h"
#include "tests/shell/frame_folder.h"
#include "testing/drawview_double.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/quote_service.h"
#include "shell/settings_store.h"
#include "testing/shell_recorder.h"
#include "testing/view_harness.h"
#include "trading/tradedesk.h"
#include "platform/qtbridge.h"
#include "views/msgform.h"
#include "views/mvmain.h"
#include "views/viewdisplay.h"

using namespace market_fixture;

namespace {

// The parts as the program has them, with the steps traced and the login
// dialog replaced by its result.
class TracingParts : public TFrameParts {
 public:
  void Step(const char *name) override { steps.push_back(name); }
  int ShowLoginDialog(TMFrame &, bool relogin) override {
    relogins.push_back(relogin);
    // The dialog hands its worker's result over before it returns.
    if (workerResult >= 0) LoginHooks().realtimeClientStarted(workerResult);
    return loginResult;
  }
  std::vector<std::string> steps;
  std::vector<bool> relogins;
  int loginResult = 3;
  int workerResult = -1;  // none: no worker ran
};

std::vector<std::string> Numbered(const char *prefix, int last) {
  std::vector<std::string> out;
  for (int i = 1; i <= last; ++i) out.push_back(std::string(prefix) + "." + std::to_string(i));
  return out;
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareFrameFolder(box_.Root());
  }
  void TearDown() override { FreeMarketTable(); }

  std::string User(const std::string &name) const { return box_.Root() + "/user/" + name; }
  std::string Read(const std::string &path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Setting(const char *key) {
    char text[256] = {};
    GetPrivateProfileStringA("Parameter", key, "", text, sizeof text, (std::string(UserDataPath) + "SETTING.INI").c_str());
    return text;
  }
  // The texts of the boxes the frame showed (the formula library's own
  // reports left out).
  std::vector<std::string> ShellTexts() const {
    std::vector<std::string> texts;
    for (const auto &call : boxes_.Calls())
      if (call.text.find("指标") == std::string::npos) texts.push_back(call.text);
    return texts;
  }
  // Made, shown, closed through the close query (answered No) and freed.
  void RunAndClose(TMFrame *&frame, int answer = IDNO, const char *picture = nullptr) {
    frame = new TMFrame(nullptr, parts_);
    if (!frame->closing) frame->Show();
    harness_.Pump();
    if (picture) harness_.SavePng(harness_.Render(frame->Handle()), picture);
    boxes_.QueueAnswer(answer);
    frame->Close();
    harness_.Pump();
  }

  testing_support::ViewHarness harness_;
  MarketSandbox box_;
  MessageBoxRecorder boxes_;
  ShellRecorder shell_;
  TracingParts parts_;
};

// Offline: every step of the construction and the creation in order, then
// the page, then the shut-down in order, writing the user's settings, the
// last page and the alarms.
// The demo theme draws past days' lines and grid on their own background:
// a background in the lines' colour hides the recalled days entirely.
TEST_F(FrameTest, TheDemoThemeKeepsPastDaysLinesVisibleOnTheirBackground) {
  const std::string theme = Read(User("clrfont.ini"));
  auto colour = [&](int n) {
    const std::string key = (n < 10 ? "COLOR0" : "COLOR") + std::to_string(n) + "=";
    const size_t at = theme.find(key);
    return at == std::string::npos ? std::string("missing") : theme.substr(at + key.size(), theme.find('\r', at) - at - key.size());
  };
  const std::string background = colour(61);
  ASSERT_NE(background, "missing");
  for (int drawn : {1, 12, 14, 33, 44, 45})  // today's background, grid, frame, text, price and average lines
    EXPECT_NE(colour(drawn), background) << "colour " << drawn;
}

// The text views (news list and body, notes, information pages) draw their
// text and tabs on COLOR27: text in the background's colour shows an empty view.
TEST_F(FrameTest, TheDemoThemeKeepsTextViewsReadable) {
  const std::string theme = Read(User("clrfont.ini"));
  auto colour = [&](int n) {
    const std::string key = "COLOR" + std::to_string(n) + "=";
    const size_t at = theme.find(key);
    return at == std::string::npos ? std::string("missing") : theme.substr(at + key.size(), theme.find('\r', at) - at - key.size());
  };
  const struct {
    int drawn, on;
  } kPairs[] = {
      {28, 27},  // headline and note lines
      {46, 27},  // bodies
      {59, 27},  // other tabs, the current branch
      {60, 27},  // the current tab, other branches
      {60, 59},  // current and other tabs told apart
      {58, 57},  // the current news type
      {57, 58},  // the other news types
  };
  for (const auto &pair : kPairs) {
    ASSERT_NE(colour(pair.on), "missing") << pair.on;
    EXPECT_NE(colour(pair.drawn), colour(pair.on)) << "colour " << pair.drawn << " on " << pair.on;
  }
}

TEST_F(FrameTest, AnOfflineStartRunsEveryStepInOrderAndTheCloseWritesTheSettings) {
  TMFrame *frame = nullptr;
  RunAndClose(frame, IDNO, "main_frame_offline");
  std::vector<std::string> expected = Numbered("construct", 8);
  for (const std::string &s : Numbered("create", 29)) expected.push_back(s);
  for (const std::string &s : Numbered("close", 17)) expected.push_back(s);
  EXPECT_EQ(parts_.steps, expected);
  EXPECT_EQ(parts_.relogins, std::vector<bool>{false});
  EXPECT_TRUE(frame->created);
  EXPECT_EQ(frame->page, nullptr) << "freed by the close";
  EXPECT_EQ(MarketTableIO, nullptr);
  EXPECT_EQ(GetConnectionState(), 0);

  // (The fixture has no formula library files, which the library reports.)
  const std::vector<std::string> texts = ShellTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "脱机浏览时不会显示即时数据。  ");
  EXPECT_EQ(texts[1], "对默认页面所作的修改不会被保存，是否另存当前页面？  ");
  ASSERT_EQ(shell_.Starts().size(), 1u);
  EXPECT_EQ(shell_.Starts()[0].application, ".\\KivoMsgr.dll");
  EXPECT_EQ(shell_.Starts()[0].commandLine, std::to_string(uintptr_t(frame->Handle())));

  EXPECT_EQ(Setting("TickFirst"), "1") << "a new user starts with the tick chart first";
  EXPECT_EQ(Setting("TrendFirst"), "1");
  EXPECT_EQ(Setting("Directbysell"), "0") << "trading is not bound";
  EXPECT_EQ(Setting("QuoteCol"), "2");
  EXPECT_EQ(Setting("WndPos").substr(0, 2), "2,") << "maximised";
  const std::string lp3 = Read(User("LP3.DAT"));
  ASSERT_EQ(lp3.size(), 260u);
  EXPECT_EQ(std::string(lp3.c_str()), "Default");
  EXPECT_EQ(lp3.find_first_not_of('\0', 8), std::string::npos) << "NUL-padded";
  const std::string alarms = Read(User("ALARM.SET"));
  ASSERT_EQ(alarms.size(), 10u);
  EXPECT_EQ(alarms.substr(0, 6), "KVAS04");
  delete frame;
}

// "Save the page?" answered Yes, then the save cancelled (or failed): the
// window stays open with its page; answered No the next time, it closes.
TEST_F(FrameTest, ASaveThatDidNotHappenAtTheCloseKeepsTheWindowOpen) {
  TMFrame *frame = new TMFrame(nullptr, parts_);
  ASSERT_FALSE(frame->closing);
  frame->Show();
  harness_.Pump();
  ASSERT_NE(frame->page, nullptr);
  int asked = 0;
  frame->page->AskPageName = [&](char (&)[64]) {
    ++asked;
    return false;
  };
  boxes_.QueueAnswer(IDYES);
  frame->Close();
  harness_.Pump();
  EXPECT_EQ(asked, 1);
  EXPECT_NE(frame->page, nullptr) << "the window is still open";
  EXPECT_TRUE(IsWindowVisible(frame->Handle()));
  boxes_.QueueAnswer(IDNO);
  frame->Close();
  harness_.Pump();
  EXPECT_EQ(frame->page, nullptr);
  delete frame;
}

// With the program's trading set-up the frame holds the trading window, its
// lists' commands, the dispatcher and the order panels, which refer to one
// another; freeing the frame takes each down before what it refers to (the
// sanitized build reports any use of one already freed).
TEST_F(FrameTest, FreeingTheFrameAfterTheTradingSetUpRunsClean) {
  struct TradingParts : TracingParts {
    void SetupTradingPanel(TMFrame &frame) override { DefaultFrameParts().SetupTradingPanel(frame); }
  } parts;
  TMFrame *frame = new TMFrame(nullptr, parts);
  ASSERT_TRUE(frame->tradingWindow && frame->listCommands && frame->tradeDispatcher);
  frame->Show();
  harness_.Pump();
  boxes_.QueueAnswer(IDNO);
  frame->Close();
  harness_.Pump();
  EXPECT_EQ(frame->page, nullptr);
  delete frame;
}

// With the key preview installed over the trading set-up, every key and
// mouse message the application takes counts as the trading desk's input
// (seen through the idle lock); other messages do not.
TEST_F(FrameTest, KeyAndMouseMessagesCountAsTheTradingDesksInput) {
  struct TradingParts : TracingParts {
    void SetupTradingPanel(TMFrame &frame) override { DefaultFrameParts().SetupTradingPanel(frame); }
  } parts;
  ScopedFakeClock clock;
  TMFrame *frame = new TMFrame(nullptr, parts);
  ASSERT_TRUE(frame->tradingDesk);
  frame->Show();
  harness_.Pump();
  TTradingDesk &desk = *frame->tradingDesk;
  const int page = desk.pageState;
  desk.Data().options.AutoLockSystem = 1;
  const struct {
    const char *name;
    UINT message;
    WPARAM wParam;
    bool input;
  } cases[] = {
      {"key up", WM_KEYUP, VK_SHIFT, true},
      {"mouse move", WM_MOUSEMOVE, 0, true},
      {"left button up", WM_LBUTTONUP, 0, true},
      {"not input", WM_NULL, 0, false},
  };
  for (const auto &c : cases) {
    desk.pageState = kPageTrading;
    desk.locked = false;
    desk.NoteInput(GetTickCount());
    clock.Advance(40000);
    PostMessageA(frame->Handle(), c.message, c.wParam, 0);
    harness_.Pump();
    clock.Advance(40000);  // a minute since the earlier input, not since this one
    desk.TradingIdle(GetTickCount());
    EXPECT_EQ(desk.locked, !c.input) << c.name;
  }
  desk.pageState = page;
  desk.locked = false;
  boxes_.QueueAnswer(IDNO);
  frame->Close();
  harness_.Pump();
  delete frame;
}

// Freed after a full start or a cancelled login, the frame leaves no
// application message handler that reaches it; one chained on top of the
// frame's (as a news view chains) stays in place and keeps working.
TEST_F(FrameTest, AFreedFrameLeavesNoMessageHandlerThatReachesIt) {
  for (const int login : {int(mrCancel), 3}) {
    SCOPED_TRACE(login);
    struct TradingParts : TracingParts {
      void SetupTradingPanel(TMFrame &frame) override { DefaultFrameParts().SetupTradingPanel(frame); }
    } parts;
    parts.loginResult = login;
    TMFrame *frame = new TMFrame(nullptr, parts);
    ASSERT_TRUE(frame->tradingDesk);
    int seen = 0;
    const TMessageEvent below = Application()->OnMessage();
    if (login != mrCancel)
      Application()->SetOnMessage([&seen, below](MSG &msg, bool &handled) {
        ++seen;
        if (below) below(msg, handled);
      });
    frame->Show();
    harness_.Pump();
    if (!frame->closing) boxes_.QueueAnswer(IDNO);
    frame->Close();
    harness_.Pump();
    delete frame;
    if (login == mrCancel) {
      EXPECT_FALSE(Application()->OnMessage());
      continue;
    }
    ASSERT_TRUE(Application()->OnMessage()) << "the handler on top is still there";
    MSG msg{};
    msg.message = WM_KEYDOWN;
    msg.wParam = 'A';
    bool handled = false;
    seen = 0;
    Application()->OnMessage()(msg, handled);  // the sanitized build reports a use of the freed frame
    EXPECT_EQ(seen, 1);
    EXPECT_FALSE(handled);
    Application()->SetOnMessage(nullptr);
  }
}

// A cancelled login ends the creation at the login and closes without the
// question; nothing the user saved is written over.
TEST_F(FrameTest, ACancelledLoginClosesWithoutAQuestionAndOverwritesNothing) {
  const std::string settings =
      "[Parameter]\r\nTickFirst=1\r\nTrendFirst=0\r\nQuoteBoard=1\r\nQuoteCol=4\r\nWndPos=0,100,100,800,600\r\n";
  std::ofstream(User("SETTING.INI"), std::ios::binary) << settings;
  std::string alarms("KVAS04\x01\0\0\0", 10);
  alarms += std::string(296, 'x');
  std::ofstream(User("ALARM.SET"), std::ios::binary) << alarms;

  parts_.loginResult = mrCancel;
  TMFrame *frame = new TMFrame(nullptr, parts_);
  EXPECT_TRUE(frame->closing);
  EXPECT_EQ(parts_.steps.back(), "create.9");
  frame->Show();
  EXPECT_EQ(frame->page, nullptr) << "the first show makes nothing once closing";
  harness_.Pump();  // the posted WM_CLOSE
  EXPECT_TRUE(ShellTexts().empty()) << "no close query question";
  EXPECT_EQ(parts_.steps.back(), "close.17");
  for (const char *skipped : {"close.10", "close.11", "close.12"})
    EXPECT_EQ(std::count(parts_.steps.begin(), parts_.steps.end(), skipped), 0) << skipped;
  EXPECT_EQ(Read(User("SETTING.INI")), settings);
  EXPECT_EQ(Read(User("ALARM.SET")), alarms);
  EXPECT_FALSE(std::filesystem::exists(User("LP3.DAT")));
  delete frame;
}

TEST_F(FrameTest, AFailedOfflineBuildClosesTheProgram) {
  std::filesystem::remove(box_.Root() + "/cfg/mkinfo.cfg");
  TMFrame *frame = new TMFrame(nullptr, parts_);
  EXPECT_TRUE(frame->closing);
  EXPECT_EQ(parts_.steps.back(), "create.9");
  ASSERT_FALSE(boxes_.Calls().empty());
  EXPECT_EQ(boxes_.Calls().back().text, "初始化数据失败。  ");
  EXPECT_EQ(boxes_.Calls().back().caption, "提示");
  harness_.Pump();
  EXPECT_EQ(parts_.steps.back(), "close.17");
  delete frame;
}

// The login worker's result decides, whatever the dialog ended with: a
// failed build closes the program with its message, a cancelled one
// closes it without.
TEST_F(FrameTest, AFailedLoginBuildClosesWithItsMessageAndACancelledOneWithout) {
  const struct {
    int worker;
    std::vector<std::string> texts;
  } cases[] = {{kBuildNoMarketList, {"初始化数据失败。  "}}, {kBuildCancelled, {}}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.worker);
    boxes_.Clear();
    parts_.loginResult = mrCancel;
    parts_.workerResult = c.worker;
    TMFrame *frame = new TMFrame(nullptr, parts_);
    EXPECT_TRUE(frame->closing);
    EXPECT_EQ(ShellTexts(), c.texts);
    harness_.Pump();
    EXPECT_EQ(parts_.steps.back(), "close.17");
    delete frame;
  }
}

// The saved window position is used only when it is a normal window of at
// least 250 x 275 on the screen; the alarms the user had survive the run.
TEST_F(FrameTest, TheSavedWindowPositionIsTakenOnlyWhenItFits) {
  struct Case {
    const char *wndPos;
    bool placed;
  } cases[] = {
      {"0,100,100,800,600", true}, {"2,100,100,800,600", false}, {"1,100,100,800,600", false},
      {"0,100,100,249,600", false}, {"0,100,100,800,274", false}, {"", false},
      {"0,20000,100,800,600", false},  // on a screen that is gone
  };
  for (const Case &c : cases) {
    WritePrivateProfileStringA("Parameter", "WndPos", c.wndPos, (std::string(UserDataPath) + "setting.ini").c_str());
    TMFrame *frame = new TMFrame(nullptr, parts_);
    EXPECT_EQ(frame->WindowState() == wsNormal, c.placed) << c.wndPos;
    if (c.placed) {
      EXPECT_EQ(frame->Left(), 100);
      EXPECT_EQ(frame->Width(), 800);
      EXPECT_EQ(frame->Height(), 600);
    }
    frame->Show();
    harness_.Pump();
    boxes_.QueueAnswer(IDNO);
    frame->Close();
    harness_.Pump();
    delete frame;
  }
}

// Full-screen mode covers the screen and gives the old place back; a close
// in it writes state 1, so the next start stays maximised.
TEST_F(FrameTest, FullScreenCoversTheScreenRestoresAndIsSavedAsStateOne) {
  WritePrivateProfileStringA("Parameter", "WndPos", "0,100,100,800,600",
                             (std::string(UserDataPath) + "setting.ini").c_str());
  TMFrame *frame = new TMFrame(nullptr, parts_);
  frame->Show();
  harness_.Pump();
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_GT(width, 0);
  frame->MenuItem95Click(nullptr);
  EXPECT_TRUE(frame->fullScreen);
  EXPECT_EQ(frame->Left(), 0);
  EXPECT_EQ(frame->Width(), width);
  EXPECT_EQ(frame->Height(), height);
  QWidget *widget = platform::WidgetFromHandle(frame->Handle());
  ASSERT_TRUE(widget);
  EXPECT_TRUE(widget->windowState() & Qt::WindowFullScreen) << "the desktop's bars are covered";
  frame->MenuItem95Click(nullptr);
  EXPECT_EQ(frame->Left(), 100);
  EXPECT_EQ(frame->Width(), 800);
  EXPECT_EQ(frame->WindowState(), wsNormal);
  EXPECT_FALSE(widget->windowState() & Qt::WindowFullScreen);
  frame->MenuItem95Click(nullptr);
  boxes_.QueueAnswer(IDNO);
  frame->Close();
  harness_.Pump();
  EXPECT_EQ(Setting("WndPos").substr(0, 2), "1,");
  delete frame;
}

// Maximised, the frame's border lies just outside the work area. Until the
// first restore the window can't be made smaller than 640 x 460, after it
// not smaller than 250 x 275. The first WM_GETMINMAXINFO centres the
// restored place; a saved place taken later is not moved again.
TEST_F(FrameTest, TheFrameMaximisesPastItsWorkAreaAndTheFirstRestoreFreesItsSize) {
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  const std::string setting = std::string(UserDataPath) + "setting.ini";
  struct Case {
    const char *wndPos;
    RECT restored;
  } cases[] = {
      {"", RECT{work.left + (work.right - work.left - 640) / 2, work.top + (work.bottom - work.top - 460) / 2,
                work.left + (work.right - work.left - 640) / 2 + 640, work.top + (work.bottom - work.top - 460) / 2 + 460}},
      {"0,100,100,800,600", RECT{100, 100, 900, 700}},
  };
  for (const Case &c : cases) {
    FrameWindowFlags = TFrameWindowFlags{};
    WritePrivateProfileStringA("Parameter", "WndPos", c.wndPos, setting.c_str());
    TMFrame *frame = new TMFrame(nullptr, parts_);
    frame->Show();
    harness_.Pump();
    const HWND hwnd = frame->Handle();
    RECT r{};
    if (!c.wndPos[0]) {
      EXPECT_TRUE(IsZoomed(hwnd));
      GetWindowRect(hwnd, &r);
      EXPECT_EQ(r.left, work.left - 2);
      EXPECT_EQ(r.top, work.top - 2);
      EXPECT_EQ(r.right, work.right + 2);
      EXPECT_EQ(r.bottom, work.bottom + 2);
    } else {
      frame->SetBounds(100, 100, 300, 200);
      EXPECT_EQ(frame->Width(), 640);
      EXPECT_EQ(frame->Height(), 460);
      frame->SetBounds(100, 100, 800, 600);
      SendMessageA(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
      EXPECT_EQ(frame->WindowState(), wsMaximized);
    }
    EXPECT_FALSE(FrameWindowFlags.restoredOnce);
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(FrameWindowFlags.restoredOnce);
    EXPECT_EQ(frame->WindowState(), wsNormal);
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, c.restored.left) << c.wndPos;
    EXPECT_EQ(r.top, c.restored.top) << c.wndPos;
    EXPECT_EQ(r.right, c.restored.right) << c.wndPos;
    EXPECT_EQ(r.bottom, c.restored.bottom) << c.wndPos;
    frame->SetBounds(100, 100, 100, 100);
    EXPECT_EQ(frame->Width(), 250);
    EXPECT_EQ(frame->Height(), 275);
    boxes_.QueueAnswer(IDNO);
    frame->Close();
    harness_.Pump();
    delete frame;
  }
}

// The frame draws its border in the skin's three colours; activation only
// raises the form's events and answers 1.
TEST_F(FrameTest, TheFramePaintsItsBorderAndTakesActivationItself) {
  TMFrame *frame = new TMFrame(nullptr, parts_);
  frame->Show();
  harness_.Pump();
  const HWND hwnd = frame->Handle();
  frame->windowBorder[0] = RGB(10, 20, 30);
  frame->windowBorder[1] = RGB(200, 0, 0);
  frame->windowBorder[2] = RGB(0, 0, 200);
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  harness_.Pump();
  HDC dc = GetWindowDC(hwnd);
  ASSERT_TRUE(dc);
  const int width = frame->Width();
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(10, 20, 30));
  EXPECT_EQ(GetPixel(dc, width - 2, 1), RGB(200, 0, 0));
  EXPECT_EQ(GetPixel(dc, 2, 40), RGB(0, 0, 200));
  ReleaseDC(hwnd, dc);

  std::vector<std::string> events;
  frame->OnActivate = [&](TObject *) { events.push_back("activate"); };
  frame->OnDeactivate = [&](TObject *) { events.push_back("deactivate"); };
  EXPECT_EQ(SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, 0), 1);
  EXPECT_EQ(SendMessageA(hwnd, WM_ACTIVATE, WA_INACTIVE, 0), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate"}));
  frame->OnActivate = nullptr;
  frame->OnDeactivate = nullptr;
  boxes_.QueueAnswer(IDNO);
  frame->Close();
  harness_.Pump();
  delete frame;
}

// A session end (the same user logged in elsewhere): the text at byte 20 of
// the block, never more than 128 bytes of it, the block freed, and no
// automatic reconnect afterwards.
TEST_F(FrameTest, ASessionEndShowsTheBoundedTextFreesTheBlockAndStopsTheReconnect) {
  TMFrame *frame = new TMFrame(nullptr, parts_);
  frame->MainTimer().retryCounter = 12;
  auto *block = static_cast<uint8_t *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kSessionMessageSize));
  std::memset(block + kSessionMessageText, 'a', kSessionMessageSize - kSessionMessageText);  // no NUL at all
  SendMessageA(frame->Handle(), WM_QUOTE_EVENT, kQuoteEventSessionEnd, LPARAM(block));
  EXPECT_EQ(frame->MainTimer().retryCounter, -1);
  EXPECT_EQ(GetConnectionState(), 0);
  const std::vector<std::string> texts = ShellTexts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), std::string(128, 'a'));
  EXPECT_EQ(boxes_.Calls().back().caption, "提示");
  harness_.Advance(60000, 1000);
  EXPECT_EQ(texts.size(), ShellTexts().size()) << "no reconnect, no question";
  frame->Show();
  harness_.Pump();
  boxes_.QueueAnswer(IDNO);
  frame->Close();
  harness_.Pump();
  delete frame;
}

}  // namespace

// A chart in a pane answers the frame's view actions, and the views read
// the frame's hot keys for their menu captions.
TEST_F(FrameTest, AChartViewAnswersTheFrameAndShowsTheHotKeys) {
  TMFrame *frame = new TMFrame(nullptr, parts_);
  // The frame registers the real charts; the test's chart takes their place.
  testing_support::TDrawViewRegistration charts;
  frame->Show();
  harness_.Pump();
  ASSERT_TRUE(frame->page && frame->page->PaneCount() > 0);
  VIEW_ATTR_13 record{};
  InitViewAttr(VIEW_TYPE_INTRADAY, &record);
  record.stock = STKPTR(0, 0, 1);
  frame->page->CreateView(frame->page->PaneAt(0)->m_node, &record, 1, 0);
  harness_.Pump();
  testing_support::TDrawViewDouble *chart = nullptr;
  for (int i = 0; i < frame->page->PaneCount() && !chart; ++i)
    chart = dynamic_cast<testing_support::TDrawViewDouble *>(frame->page->PaneAt(i));
  ASSERT_TRUE(chart);

  ASSERT_TRUE(frame->receivers.view);
  frame->receivers.view(TViewAction::ReloadData, chart, 0);
  frame->receivers.view(TViewAction::RefreshHistory, chart, 0);
  frame->receivers.view(TViewAction::ExecuteViewCommand, chart, 28);
  const bool shown = chart->Panel1->Visible();
  frame->receivers.view(TViewAction::MenuItem, chart, intptr_t(TChartMenuItem::InfoWindow));
  EXPECT_EQ(chart->reloads, 1);
  EXPECT_EQ(chart->historyRefreshes, 1);
  EXPECT_EQ(chart->commands, std::vector<int>{28});
  EXPECT_NE(chart->Panel1->Visible(), shown);

  chart->UpdateMenuCaptions();
  EXPECT_EQ(chart->N5->Caption, "信息窗口      CTRL+L");

  boxes_.QueueAnswer(IDNO);
  frame->Close();
  harness_.Pump();
  delete frame;
}

// A pushed headline goes on top of the list of every news view listing all
// types or its own, with its id as the line's item; a view of another type
// keeps its list.
TEST_F(FrameTest, APushedHeadlineTopsTheListsOfTheNewsViewsOfItsType) {
  box_.WriteText("cfg/NewsType.INI", "[NEWSTYPE]\r\nFilter=3,0,0,0\r\nID1=期货\r\nID2=财经\r\n");
  WritePrivateProfileStringA("News", "URL", "", (box_.Root() + "/cfg/Setting.ini").c_str());
  TMFrame *frame = new TMFrame(nullptr, parts_);
  frame->Show();
  harness_.Pump();
  ASSERT_TRUE(frame->page);
  while (frame->page->PaneCount() < 3) {
    const int before = frame->page->PaneCount();
    frame->page->PaneAt(before - 1)->PostToPage(before % 2 ? WM_MVM_SPLIT_VERT : WM_MVM_SPLIT_HORZ);
    harness_.Pump();
    ASSERT_GT(frame->page->PaneCount(), before);
  }
  std::vector<PaneNode *> nodes;
  for (int i = 0; i < 3; ++i) nodes.push_back(frame->page->PaneAt(i)->m_node);
  std::vector<TMsgForm *> views;
  for (int tab : {0, 2, 1}) {  // all types, 财经 (2), 期货 (1)
    VIEW_ATTR_13 record{};
    InitViewAttr(VIEW_TYPE_NEWS, &record);
    auto *news = dynamic_cast<TMsgForm *>(frame->page->CreateView(nodes[views.size()], &record, 0, 0));
    ASSERT_TRUE(news && !news->WebMode());
    harness_.Pump();
    news->SearchPageTabChange(tab);
    views.push_back(news);
  }
  ASSERT_EQ(views[1]->NewsType(), 2u);
  ASSERT_EQ(views[2]->NewsType(), 1u);
  std::vector<size_t> before;
  for (TMsgForm *v : views) before.push_back(v->Lines().size());

  NEWSREC record{};
  record.typeAndRead = 2 << 1;
  record.dateTime = 240115 | 930u << 20;
  record.id = 4711;
  std::memset(record.title, 'N', sizeof record.title);  // no NUL within the title
  SendMessageA(frame->Handle(), WM_NEWS_ARRIVED, 0, LPARAM(&record));
  const std::string title(sizeof record.title, 'N');
  for (int i : {0, 1}) {
    ASSERT_EQ(views[i]->Lines().size(), before[i] + 1) << i;
    const NewsLine &top = views[i]->Lines().front();
    EXPECT_EQ(top.value, 4711) << i;
    ASSERT_GT(top.text.size(), title.size());
    EXPECT_EQ(top.text.substr(top.text.size() - title.size() - 1), " " + title) << "cut at the title's 80 bytes";
    EXPECT_EQ(views[i]->NewsList->Items()->Strings(0), top.text) << "the list shows what the lines hold";
  }
  EXPECT_EQ(views[2]->Lines().size(), before[2]) << "a view of another type";
  TMsgForm::CurrentType() = 0;
  boxes_.QueueAnswer(IDNO);
  frame->Close();
  harness_.Pump();
  delete frame;
}
