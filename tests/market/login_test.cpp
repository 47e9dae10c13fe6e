// The login side: the quote-server list and the per-user keys, the speed
// test's lines and choice, the login dialog driven headless (attempts, the
// failure ladder, the market-table worker, its picture), the network
// settings, the password checks, the account check through the stand-in
// library against an account server double (directly and relayed through
// a proxy), and the blocking login's time-out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QImage>

#include "market/acctcheck.h"
#include "market/dataio5.h"
#include "market/logindlg.h"
#include "market/marketside.h"
#include "market/nclient.h"
#include "market/rights.h"
#include "market/serverlist.h"
#include "market/utildata.h"
#include "platform/imagecodec.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/winsock.h"
#include "testing/pump.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/proxy_doubles.h"
#include "testing/quote_double.h"
#include "testing/quote_double_startup.h"
#include "testing/request_server.h"
#include "testing/temp_folder.h"
#include "testing/view_harness.h"

using testing_support::AccountDouble;
using testing_support::RequestServer;
using testing_support::ViewHarness;

namespace {

std::string UserIni() { return UserServerIniPath(); }

std::string Read(const char *section, const char *key, const std::string &file, const char *fallback = "<none>") {
  char value[128] = {};
  GetPrivateProfileStringA(section, key, fallback, value, sizeof value, file.c_str());
  return value;
}

void Write(const char *section, const char *key, const std::string &value, const std::string &file) {
  WritePrivateProfileStringA(section, key, value.c_str(), file.c_str());
}

void AddServer(int i, const std::string &name, const std::string &address, int network = 1,
               const std::string &relay = "") {
  const std::string n = std::to_string(i);
  Write("RIGHT", ("svraddr" + n).c_str(), address, kServerListIni);
  Write("RIGHT", ("company" + n).c_str(), name, kServerListIni);
  Write("RIGHT", ("Network" + n).c_str(), std::to_string(network), kServerListIni);
  if (!relay.empty()) {
    Write("RIGHT", ("GC" + n).c_str(), relay, kServerListIni);
    Write("RIGHT", ("GCPort" + n).c_str(), "443", kServerListIni);
  }
}

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
  }
  void TearDown() override {
    LoginHooks() = TLoginHooks{};
    QuoteClientHooks() = TQuoteClientHooks{};
    ws::WSACleanup();
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto &c : boxes_.Calls()) texts.push_back(c.text);
    return texts;
  }
  ViewHarness harness_;
  market_fixture::MarketSandbox box_;
  MessageBoxRecorder boxes_;
};

TEST_F(LoginTest, TheListEndsAtTheFirstIncompleteEntryAndTheLastIndexMustExist) {
  AddServer(0, "电信主站", "10.0.0.1");
  AddServer(1, "网通主站", "10.0.0.2", 2);
  AddServer(2, "备用", "10.0.0.3");
  Write("RIGHT", "svraddr3", "10.0.0.4", kServerListIni);  // no name: the list ends here
  AddServer(4, "never", "10.0.0.5");
  Write("RIGHT", "lastindex", "5", kServerListIni);
  TClientRightCore core;
  EXPECT_EQ(core.Load(), 0) << "a last index past the list selects the first";
  ASSERT_EQ(core.count, 3);
  EXPECT_STREQ(core.servers[1].name, "网通主站");
  EXPECT_EQ(core.servers[1].network, 2);
  EXPECT_EQ(core.servers[0].port, 13130);
  Write("RIGHT", "lastindex", "2", kServerListIni);
  EXPECT_EQ(core.Load(), 2);
}

TEST_F(LoginTest, SpeedTestLinesAndTheFastestServer) {
  struct Case {
    int servers, average;
    std::string tail;
  } cases[] = {
      {5, -1, "正在测试"}, {5, 49, "ms  很快"},  {5, 50, "ms  一般"},   {5, 99, "ms  一般"},
      {5, 100, "ms  较慢"}, {5, 1999, "ms  较慢"}, {5, 2000, "测试失败"}, {6, 2000, "测试失败"},
  };
  for (const Case &c : cases) {
    const std::string line = SpeedTestLine("abcd", c.servers, c.average);
    EXPECT_EQ(line.substr(line.size() - c.tail.size()), c.tail) << c.average;
    const std::string number = c.average >= 0 && c.average < 2000 ? std::to_string(c.average) : "";
    EXPECT_EQ(line.size(), size_t((c.servers > 5 ? 25 : 27) + c.tail.size() - (number.empty() ? 0 : 0)))
        << "padded to the column: " << line;
  }
  TClientRightCore core;
  core.count = 3;
  ASSERT_TRUE(core.StartSpeedTests(2));
  EXPECT_FALSE(core.StartSpeedTests(0)) << "not while tests run";
  EXPECT_EQ(core.SpeedTestResult(1, 40), -1);
  EXPECT_EQ(core.SpeedTestResult(0, 40), -1);
  EXPECT_EQ(core.SpeedTestResult(2, 2000), 1) << "ties keep the first to arrive";
  ASSERT_TRUE(core.StartSpeedTests(2));
  for (int i = 0; i < 3; ++i) core.SpeedTestResult(i, 2000);
  EXPECT_EQ(core.bestIndex, 2) << "every test failed: the selection stays";
}

TEST_F(LoginTest, ProgressStripSlidesThreeQuartersTowardsItsTarget) {
  ProgressStrip s;
  s.Reset(200);
  EXPECT_EQ(s.left, -200);
  s.Step(1, 4);
  EXPECT_EQ(s.left, -200);
  EXPECT_EQ(s.target, 50);
  EXPECT_EQ(s.limit, 37);
  int ticks = 0;
  while (s.Tick()) ++ticks;
  EXPECT_EQ(s.left + s.width, 37);
  EXPECT_EQ(ticks, 37);
  s.Step(2, 4);
  EXPECT_EQ(s.left, -150);
  EXPECT_EQ(s.limit, 50 + 37);
}

// The account keys move once: a later start never empties what the user
// saved, whatever the shared file's version says.
TEST_F(LoginTest, AccountKeysMoveIntoTheUsersFileOnce) {
  Write("Server", "Version", "3", kServerListIni);
  Write("Server", "UserName", "alice", kServerListIni);
  Write("Server", "Password", "pw1234", kServerListIni);
  Write("ProxyServer", "Version", "1", kServerListIni);
  Write("ProxyServer", "Address", "10.1.1.1", kServerListIni);
  Write("ProxyServer", "UseProxy", "2", kServerListIni);
  Write("Server", "Version", "1", UserIni());
  MigrateAccountKeys();
  EXPECT_EQ(Read("Server", "UserName", UserIni()), "alice");
  EXPECT_EQ(Read("Server", "Password", UserIni()), "pw1234");
  EXPECT_EQ(Read("Server", "SavePass", UserIni()), "1");
  EXPECT_EQ(Read("ProxyServer", "Address", UserIni()), "10.1.1.1");
  EXPECT_EQ(Read("ProxyServer", "UseProxy", UserIni()), "2");
  EXPECT_EQ(Read("Server", "UserName", kServerListIni), "") << "emptied in the shared file";
  EXPECT_EQ(Read("ProxyServer", "Address", kServerListIni), "");
  // The user changes the name; the next starts keep it.
  Write("Server", "UserName", "bob", UserIni());
  MigrateAccountKeys();
  TClientRightCore core;
  core.Load();
  EXPECT_STREQ(core.user, "bob");
  EXPECT_STREQ(core.password, "pw1234");
  EXPECT_EQ(Read("ProxyServer", "UseProxy", UserIni()), "2");
  // A newer shared file moves its non-empty values again, never empty ones.
  Write("Server", "Version", "4", kServerListIni);
  Write("Server", "Password", "newpw1", kServerListIni);
  MigrateAccountKeys();
  EXPECT_EQ(Read("Server", "UserName", UserIni()), "bob");
  EXPECT_EQ(Read("Server", "Password", UserIni()), "newpw1");
}

TEST_F(LoginTest, AnEmptyListAsksForAServer) {
  TClientRight dialog(nullptr, false, AccountLibrary{});
  EXPECT_EQ(dialog.ListBox1->Items()->Count(), 0);
  dialog.Button1Click(dialog.Button1);
  EXPECT_EQ(Texts(), std::vector<std::string>{"请先添加并选择服务器。  "});
}

// Each server refuses with 1: the ladder walks on from the start, then
// tries the start again with the cached directory answer, then gives up.
TEST_F(LoginTest, TheFailureLadderWalksTheListThenUsesTheCachedAnswer) {
  for (int i = 0; i < 3; ++i) AddServer(i, "s" + std::to_string(i), "10.0.0." + std::to_string(i + 1));
  Write("RIGHT", "lastindex", "1", kServerListIni);
  struct Attempt {
    std::string address;
    bool cached;
  };
  std::vector<Attempt> attempts;
  int newsChoosers = 0;
  LoginHooks().startNewsChooser = [&] { ++newsChoosers; };
  LoginHooks().connectQuoteServer = [&](HWND, bool, bool, bool cached) {
    attempts.push_back({Read("Server", "Address", kServerListIni), cached});
    return 1;
  };
  TClientRight dialog(nullptr, false, AccountLibrary{});
  dialog.Edit1->SetText("alice");
  dialog.Edit2->SetText("secret");
  const int result = harness_.RunModal(&dialog, [&] {
    dialog.Button1Click(dialog.Button1);
    harness_.Pump();
    harness_.Pump();
    harness_.Pump();
    dialog.SetModalResult(mrCancel);
  });
  EXPECT_EQ(result, mrCancel);
  ASSERT_EQ(attempts.size(), 4u);
  EXPECT_EQ(attempts[0].address, "10.0.0.2");
  EXPECT_EQ(attempts[1].address, "10.0.0.3");
  EXPECT_EQ(attempts[2].address, "10.0.0.1");
  EXPECT_TRUE(attempts[3].cached) << "the start server again, with the cached directory answer";
  EXPECT_FALSE(attempts[0].cached || attempts[1].cached || attempts[2].cached);
  EXPECT_EQ(newsChoosers, 3);
  EXPECT_EQ(Texts(),
            std::vector<std::string>{"无法连接服务器，请检查网络。如需使用交易系统，请点击“脱机浏览”。  "});
  EXPECT_TRUE(dialog.Button1->Enabled());
  // The typed account was written before the first attempt.
  EXPECT_EQ(Read("Server", "UserName", UserIni()), "alice");
  EXPECT_EQ(Read("Server", "Password", UserIni()), "secret");
  EXPECT_EQ(Read("RIGHT", "lastindex", kServerListIni), "0") << "written at every attempt";
}

// The market table built by the dialog's worker from the quote double, as
// at login: the dialog's hooks are the main window's, in small (one request
// client and one table, both freed on the GUI thread after a failed build).
class LoginWorkerTest : public LoginTest {
 protected:
  void SetUp() override {
    LoginTest::SetUp();
    ASSERT_TRUE(quotes_.Running());
    serverRoot_ = testing_support::MakeTempFolder("kivo-login-worker");
    ASSERT_FALSE(serverRoot_.empty());
    market_fixture::WriteDataSet(market_fixture::StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0)),
                                 serverRoot_);
    std::ifstream markets(serverRoot_ + "/cfg/mkinfo.cfg", std::ios::binary);
    std::stringstream bytes;
    bytes << markets.rdbuf();
    box_.Write("cfg/mkinfo.cfg", bytes.str().data(), bytes.str().size());
    marketCount_ = int(bytes.str().size() / sizeof(MKINFO));
    service_ = std::make_unique<QuoteStartupService>(quotes_, serverRoot_);
    service_->Install();

    AddServer(0, "本机", "127.0.0.1");
    Write("RIGHT", "svrport0", std::to_string(quotes_.DirectoryPort()), kServerListIni);
    Write("Server", "Port1", std::to_string(quotes_.DataPort()), kServerListIni);
    TMarketSideSetup side;
    side.requestClient = [this] { return client_.get(); };
    side.dropRequestClient = [this] { client_.reset(); };
    side.loadNewsIndex = false;
    StartMarketSide(side);

    LoginHooks().startNewsChooser = [] {};
    LoginHooks().connectQuoteServer = [this](HWND progress, bool, bool, bool) {
      client_ = std::make_unique<TNormalClnt>();
      return client_->Login(progress, false) == kLoginOk ? 0 : 3;
    };
    LoginHooks().startRealtimeClient = [this](HWND dialog, const std::atomic<bool> &cancel) {
      running_ = true;
      table_ = std::make_unique<TDataIO>(dialog, cancel);
      const int failure = table_->Failure();
      boxesByWorker_ = boxes_.Count();
      running_ = false;
      return failure;
    };
    LoginHooks().interruptRealtimeClient = [this] {
      if (client_) client_->Interrupt();
    };
    LoginHooks().realtimeClientStarted = [this](int result) {
      EXPECT_FALSE(running_) << "told while the worker still runs";
      results_.push_back(result);
      if (result == kBuildOk) return;
      if (result == kBuildCancelled)
        client_.reset();
      else
        TellMarketBuildFailure(result);
      table_.reset();
    };
  }
  void TearDown() override {
    table_.reset();
    StopMarketSide();
    client_.reset();
    ClearRights();
    std::error_code ignored;
    std::filesystem::remove_all(serverRoot_, ignored);
    LoginTest::TearDown();
  }

  // A login as the user makes it: the login button, then waiting while the
  // dialog connects and its worker builds the table; the dialog's result.
  int LogIn() {
    TClientRight dialog(nullptr, false, AccountLibrary{});
    return harness_.RunModal(&dialog, [&] {
      dialog.Button1Click(dialog.Button1);
      // A bound for slow builds (sanitizers), not a wait.
      testing_support::PumpUntil([&] { return dialog.ModalResult() != mrNone; }, 120000);
    });
  }

  // The double's thread runs the service's handlers: the double goes first.
  std::unique_ptr<QuoteStartupService> service_;
  QuoteDouble quotes_;
  std::string serverRoot_;
  int marketCount_ = 0;
  std::unique_ptr<TNormalClnt> client_;
  std::unique_ptr<TDataIO> table_;
  std::atomic<bool> running_{false};
  std::atomic<size_t> boxesByWorker_{0};
  std::vector<int> results_;
};

// Closed while the worker is held in a table download: the download is cut
// off, the dialog returns only once the worker has ended, the worker shows
// nothing, and the GUI thread frees the half-built table and the client.
// The next login builds the table whole.
TEST_F(LoginWorkerTest, ClosingTheDialogMidDownloadWaitsForTheWorkerAndTheNextLoginWorks) {
  QuoteDouble::Shape held;
  held.held = true;
  quotes_.SetShape(QuoteDouble::kData, FRAME_CODE_TABLE, held);
  TClientRight dialog(nullptr, false, AccountLibrary{});
  const int result = harness_.RunModal(&dialog, [&] {
    dialog.Button1Click(dialog.Button1);
    ASSERT_TRUE(testing_support::PumpUntil(
        [&] { return !quotes_.Frames(QuoteDouble::kData, FRAME_CODE_TABLE).empty(); }, 20000));
    PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_FALSE(running_) << "the dialog returned before its worker ended";
  EXPECT_EQ(results_, std::vector<int>{kBuildCancelled});
  EXPECT_EQ(table_, nullptr);
  EXPECT_EQ(client_, nullptr);
  EXPECT_TRUE(Texts().empty()) << "a cancel tells nothing";
  EXPECT_EQ(quotes_.Frames(QuoteDouble::kData, FRAME_CODE_TABLE).size(), 1u) << "no market after the cut one";

  quotes_.ClearShapes();
  EXPECT_EQ(LogIn(), mrOk);
  EXPECT_EQ(results_, (std::vector<int>{kBuildCancelled, kBuildOk}));
  ASSERT_NE(table_, nullptr);
  EXPECT_EQ(MarketTable.loadState, 0);
  EXPECT_EQ(MarketTable.marketCount, marketCount_);
  for (int m = 0; m < marketCount_; ++m) {
    ASSERT_NE(MarketAt(m), nullptr) << m;
    EXPECT_GT(MarketAt(m)->m_loadedCount, 0) << m;
  }
  EXPECT_NE(client_, nullptr);
  EXPECT_TRUE(Texts().empty());
}

// A failed download is told on the GUI thread once the worker has ended:
// the dialog shows the failure, the box comes, the client is dropped there,
// and the dialog ends with 2.
TEST_F(LoginWorkerTest, AFailedDownloadIsToldOnTheGuiThreadAfterTheWorker) {
  QuoteDouble::Shape dropped;
  dropped.fault = QuoteDouble::Fault::kDrop;
  quotes_.SetShape(QuoteDouble::kData, FRAME_FINANCE, dropped);
  EXPECT_EQ(LogIn(), mrCancel);
  EXPECT_EQ(results_, std::vector<int>{kBuildDownloadFailed});
  EXPECT_EQ(boxesByWorker_, 0u);
  EXPECT_EQ(Texts(), std::vector<std::string>{"网络故障，下载市场信息失败。  "});
  EXPECT_EQ(client_, nullptr) << "dropped with the message";
  EXPECT_EQ(table_, nullptr);
}

// A connected session starts the worker, which builds the table with the
// dialog as progress window; the last market ends the dialog with 1.
TEST_F(LoginTest, TheWorkerReportsMarketsAndEndsTheDialog) {
  AddServer(0, "电信主站", "127.0.0.1");
  AddServer(1, "网通主站", "127.0.0.1", 2);
  LoginHooks().startNewsChooser = [] {};
  int networkRetry = 0;
  LoginHooks().connectQuoteServer = [&](HWND, bool, bool, bool) {
    // The first says the data server is out of reach on this network.
    return networkRetry++ == 0 ? 2 : 0;
  };
  std::atomic<int> steps{0};
  LoginHooks().startRealtimeClient = [&](HWND d, const std::atomic<bool> &) {
    for (int m = 0; m < 3; ++m) {
      SendMessageA(d, WM_LOGIN_MARKET_SYNC, 3, m);
      ++steps;
    }
    SendMessageA(d, WM_LOGIN_DONE, 0, 0);
    return int(kBuildOk);
  };
  TClientRight dialog(nullptr, false, AccountLibrary{});
  const int result = harness_.RunModal(&dialog, [&] {
    harness_.Pump();
    EXPECT_EQ(harness_.Pixel(dialog.Handle(), 0, 0), TClientRight::kBorderColor);
    EXPECT_EQ(harness_.Pixel(dialog.Handle(), 399, 150), TClientRight::kBorderColor);
    EXPECT_EQ(harness_.Pixel(dialog.ListBox1, 150, 120), TClientRight::kFieldColor);
    EXPECT_EQ(harness_.Pixel(dialog.CheckBox1, 145, 2), RGB(255, 255, 255)) << "on the dialog's white";
    for (TXPEdit *edit : {dialog.Edit1, dialog.Edit2}) {
      const QImage field = harness_.Render(edit);  // probed beyond the text
      const QRgb c = field.pixel(field.width() - 4, field.height() / 2);
      EXPECT_EQ(RGB(BYTE(qRed(c)), BYTE(qGreen(c)), BYTE(qBlue(c))), TClientRight::kFieldColor) << (edit == dialog.Edit1 ? "Edit1" : "Edit2");
    }
    dialog.Button1Click(dialog.Button1);
    // The worker is a thread of its own: it ends the dialog whenever the
    // machine gives it the time.
    testing_support::PumpUntil([&] {
      harness_.Advance(100);
      return dialog.ModalResult() != mrNone;
    }, 20000);
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(networkRetry, 2);
  EXPECT_EQ(Read("Server", "Network", kServerListIni), "2") << "the network kind switched for the retry";
  EXPECT_EQ(dialog.Strip().target, dialog.Panel2->Width() * 2 / 3);
}

TEST_F(LoginTest, SpeedTestsOrderTheServersWithAnInjectedPing) {
  AddServer(0, "slow", "10.0.0.1");
  AddServer(1, "fast", "10.0.0.2");
  AddServer(2, "dead", "10.0.0.3");
  LoginHooks().ping = [](const char *host, uint16_t sequence) {
    const std::string h = host;
    return h == "10.0.0.1" ? 120 + sequence - 100 : h == "10.0.0.2" ? 30 : -1;
  };
  TClientRight dialog(nullptr, false, AccountLibrary{});
  dialog.Show();
  dialog.Button5Click(dialog.Button5);
  // The speed-test threads run on their own; a loaded machine may take a while.
  ASSERT_TRUE(testing_support::PumpUntil([&] { return dialog.Core().testsRunning == 0; }, 20000));
  EXPECT_EQ(dialog.ListBox1->ItemIndex(), 1);
  EXPECT_EQ(dialog.ListBox1->Items()->Strings(0), SpeedTestLine("slow", 3, 120));
  EXPECT_EQ(dialog.ListBox1->Items()->Strings(1), SpeedTestLine("fast", 3, 30));
  EXPECT_EQ(dialog.ListBox1->Items()->Strings(2), SpeedTestLine("dead", 3, 2000));
}

// The server rows are 16 pixels high; the selected one is filled across
// the list in the links' blue, the others and the room below the rows keep
// the list's colour. Speed-test lines keep the rows as they are.
TEST_F(LoginTest, ServerRowsAreSixteenPixelsHighWithTheSelectionFilled) {
  AddServer(0, "电信主站", "10.0.0.1");
  AddServer(1, "网通主站", "10.0.0.2", 2);
  AddServer(2, "备用主站", "10.0.0.3");
  AddServer(3, "远端主站", "10.0.0.4");
  LoginHooks().ping = [](const char *host, uint16_t) {
    const std::string h = host;
    return h == "10.0.0.1" ? 60 : h == "10.0.0.2" ? 20 : h == "10.0.0.3" ? 300 : -1;
  };
  TClientRight dialog(nullptr, false, AccountLibrary{});
  dialog.Show();
  dialog.Button5Click(dialog.Button5);
  ASSERT_TRUE(testing_support::PumpUntil([&] { return dialog.Core().testsRunning == 0; }, 20000));
  ASSERT_EQ(dialog.ListBox1->ItemIndex(), 1) << "the fastest server";
  harness_.SavePng(harness_.Render(dialog.Handle()), "login_dialog");

  // Probed at the right edge, beyond the longest line.
  const int x = dialog.ListBox1->ClientWidth() - 3;
  auto rowsAt = [&](int selectedRow) {
    const int first = selectedRow * 16;
    const struct {
      int y;
      COLORREF colour;
    } probes[] = {{first - 1, TClientRight::kFieldColor},
                  {first, TClientRight::kSelectedRowColor},
                  {first + 15, TClientRight::kSelectedRowColor},
                  {first + 16, TClientRight::kFieldColor},
                  {4 * 16, TClientRight::kFieldColor}};
    for (const auto &p : probes) {
      EXPECT_EQ(harness_.Pixel(dialog.ListBox1, x, p.y), p.colour) << "selected row " << selectedRow << ", y " << p.y;
    }
  };
  rowsAt(1);
  harness_.Click(dialog.ListBox1, 10, 3 * 16 + 8);
  EXPECT_EQ(dialog.ListBox1->ItemIndex(), 3);
  rowsAt(3);
}

// ".\logo.bmp" replaces the banner when it can be read; without it, or
// when it is damaged, the dialog comes up with its own banner.
TEST_F(LoginTest, TheLogoReplacesTheBannerWhenItCanBeRead) {
  constexpr COLORREF kLogo = RGB(200, 30, 40);
  platform::PixelImage logo;
  logo.width = 40;
  logo.height = 20;
  logo.argb.assign(size_t(logo.width * logo.height), 0xFF000000u | (200u << 16) | (30u << 8) | 40u);
  const std::vector<uint8_t> bmp = platform::EncodeBmp24(logo);
  const struct {
    const char *name;
    size_t bytes;  // of the logo file written; 0: none
    COLORREF banner;
  } cases[] = {{"no logo", 0, TClientRight::kBannerColor},
               {"a logo", bmp.size(), kLogo},
               {"a truncated logo", bmp.size() / 2, TClientRight::kBannerColor}};
  AddServer(0, "电信主站", "10.0.0.1");
  for (const auto &c : cases) {
    std::remove("logo.bmp");
    if (c.bytes) box_.Write("prog/logo.bmp", bmp.data(), c.bytes);
    TClientRight dialog(nullptr, false, AccountLibrary{});
    dialog.Show();
    EXPECT_EQ(harness_.Pixel(dialog.Image2, 3, 3), c.banner) << c.name;
    EXPECT_EQ(harness_.Pixel(dialog.Handle(), 0, 0), TClientRight::kBorderColor) << c.name << ": the frame stays";
    EXPECT_EQ(dialog.ListBox1->ItemIndex(), 0) << c.name;
  }
}

// A click on the login picture is a click on "联    机" while that is
// enabled; during the attempt it does nothing.
TEST_F(LoginTest, TheLoginPictureLogsInWhileTheLoginButtonIsEnabled) {
  AddServer(0, "电信主站", "10.0.0.1");
  LoginHooks().startNewsChooser = [] {};
  int attempts = 0;
  LoginHooks().connectQuoteServer = [&](HWND, bool, bool, bool) {
    ++attempts;
    return 3;  // failed and reported; the dialog waits for the failure message
  };
  TClientRight dialog(nullptr, false, AccountLibrary{});
  dialog.Show();
  harness_.Click(dialog.Image4, 20, 10);
  EXPECT_EQ(attempts, 1);
  EXPECT_FALSE(dialog.Button1->Enabled());
  harness_.Click(dialog.Image4, 20, 10);
  EXPECT_EQ(attempts, 1) << "ignored while the attempt runs";
  SendMessageA(dialog.Handle(), WM_LOGIN_FAILED, 0, 0);
  harness_.Click(dialog.Image4, 20, 10);
  EXPECT_EQ(attempts, 2);
}

// ---- the network settings ----

TEST_F(LoginTest, NetworkSettingsAddSaveAndProxyRoundTrip) {
  AddServer(0, "first", "10.0.0.1", 1, "relay.example");
  Write("RIGHT", "login0", "login.example", kServerListIni);
  Write("RIGHT", "lastindex", "0", kServerListIni);
  Write("ProxyServer", "Address", "10.9.9.9", UserIni());
  {
    TQuoteNetworkDlg dialog(nullptr);
    EXPECT_TRUE(dialog.XPCheckBox1->Visible()) << "a listed relay shows the relay choice";
    dialog.OnServerForm = [](TForm_AddSrv &form) {
      form.Edit_Co->SetText("new");
      form.Edit_IP->SetText("10.0.0.9");
      form.Edit1->SetText("99999");
      form.RadioButton2->SetChecked(true);
      form.Button1Click(form.Button1);
    };
    dialog.N2Click(nullptr);  // no selection: at the top
    ASSERT_EQ(dialog.Core().count, 2);
    const QuoteServerEntry &added = dialog.Core().servers[0];
    EXPECT_STREQ(added.name, "new");
    EXPECT_EQ(added.network, 2);
    EXPECT_EQ(added.port, 0) << "a port beyond 65535 is no port";
    EXPECT_STREQ(added.loginHost, "") << "a new server takes no other server's login server";
    EXPECT_STREQ(added.relayHost, "");
    EXPECT_STREQ(dialog.Core().servers[1].loginHost, "login.example");
    dialog.XPButton2Click(nullptr);  // proxy off: only GreenWay and UseProxy
  }
  EXPECT_EQ(Read("RIGHT", "lastindex", kServerListIni), "<none>");
  EXPECT_EQ(Read("RIGHT", "company0", kServerListIni), "new");
  EXPECT_EQ(Read("RIGHT", "login1", kServerListIni), "login.example");
  EXPECT_EQ(Read("ProxyServer", "UseProxy", UserIni()), "0");
  EXPECT_EQ(Read("ProxyServer", "Address", UserIni()), "10.9.9.9") << "kept for the next time";
  {
    TQuoteNetworkDlg dialog(nullptr);
    dialog.CheckBox3->SetChecked(true);
    dialog.CheckBox3Click(nullptr);
    EXPECT_TRUE(dialog.XPRadioButton2->Checked()) << "HTTP when no kind was chosen";
    dialog.CheckBox2->SetChecked(true);
    dialog.XPRadioButton4->SetChecked(true);
    dialog.XPRadioButton4Click(nullptr);
    EXPECT_FALSE(dialog.CheckBox2->Checked()) << "SOCKS 4 has no authentication";
    EXPECT_FALSE(dialog.CheckBox2->Enabled());
    EXPECT_FALSE(dialog.Edit_Proxy_user->Enabled());
    dialog.Edit_proxy_port->SetText("1081");
    dialog.XPButton2Click(nullptr);
  }
  EXPECT_EQ(Read("ProxyServer", "UseProxy", UserIni()), "2");
  EXPECT_EQ(Read("ProxyServer", "Port", UserIni()), "1081");
  EXPECT_EQ(Read("ProxyServer", "CertUser", UserIni()), "0");
  TQuoteNetworkDlg again(nullptr);
  EXPECT_TRUE(again.CheckBox3->Checked());
  EXPECT_TRUE(again.XPRadioButton4->Checked());
  EXPECT_EQ(again.Edit_proxy_port->Text(), "1081");
}

// The settings and the password change are drawn with the XP-look family:
// the flat frame round edits and lists, the dark blue edge of the buttons.
TEST_F(LoginTest, TheSettingsAndPasswordDialogsDrawInTheXPLook) {
  AddServer(0, "电信主站", "10.0.0.1", 1, "relay.example");
  AddServer(1, "网通主站", "10.0.0.2", 2);
  TQuoteNetworkDlg network(nullptr);
  network.ListBox1->SetItemIndex(0);
  TChangeDiag password(nullptr, false);
  std::memcpy(password.account, "alice", 5);
  network.Show();
  password.Show();
  harness_.Pump();
  struct Shot {
    TForm *form;
    const char *name;
    TWinControl *edit, *list;
    TXPButton *button;
  } shots[] = {{&network, "netdlg", network.Edit_proxy_add, network.ListBox1, network.XPButton2},
               {&password, "passwd_dialog", password.Edit2, nullptr, password.Button1}};
  for (const Shot &s : shots) {
    const QImage image = harness_.Render(s.form->Handle());
    harness_.SavePng(image, s.name);
    auto at = [&](int x, int y) {
      const QRgb p = image.pixel(x, y);
      return RGB(qRed(p), qGreen(p), qBlue(p));
    };
    for (TWinControl *c : {s.edit, s.list}) {
      if (!c) continue;
      EXPECT_EQ(at(c->Left(), c->Top()), XPFrameColor) << s.name;
      EXPECT_EQ(at(c->Left() + c->Width() - 1, c->Top() + 5), XPFrameColor) << s.name;
    }
    EXPECT_EQ(harness_.Pixel(s.button, s.button->Width() / 2, 1), RGB(0, 60, 116)) << s.name;
  }
}

TEST_F(LoginTest, TheServerFormNeedsANameAndAnAddress) {
  TForm_AddSrv form(nullptr);
  form.Button1Click(nullptr);
  form.Edit_Co->SetText("x");
  form.Button1Click(nullptr);
  EXPECT_EQ(form.ModalResult(), mrNone);
  form.Edit_IP->SetText("10.0.0.1");
  form.Button1Click(nullptr);
  EXPECT_EQ(form.ModalResult(), mrOk);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"服务器名称不能为空。  ", "服务器地址不能为空。  "}));
}

// ---- the password change ----

TEST(PasswordChange, ChecksInOrder) {
  struct Case {
    bool library;
    const char *current, *fresh, *confirm;
    int failed;
  } cases[] = {
      {false, "old", "abcdef", "abcdef", 1},  {true, "wrong", "abcdef", "abcdef", 0},
      {false, "secret", "abcde", "abcdef", 2}, {false, "secret", "abcde", "abcde", 3},
      {false, "secret", "abcdef", "abcdef", 0}, {false, "secret", "abcdefghijk", "abcdefghijk", 0},
      {false, "secret", "abcdefghijkl", "abcdefghijkl", 4},
  };
  for (const Case &c : cases)
    EXPECT_EQ(CheckNewPassword(c.library, "secret", c.current, c.fresh, c.confirm), c.failed) << c.fresh;
}

TEST_F(LoginTest, PasswordDialogKeepsItselfOpenOnAFailedCheck) {
  TChangeDiag dialog(nullptr, false);
  std::memcpy(dialog.account, "alice", 5);
  std::memcpy(dialog.account + 32, "secret", 6);
  dialog.FormShow(nullptr);
  EXPECT_EQ(dialog.Edit1->Text(), "alice");
  dialog.Edit2->SetText("secret");
  dialog.Edit3->SetText("abc");
  dialog.Edit4->SetText("abc");
  dialog.Button1Click(nullptr);
  EXPECT_EQ(dialog.ModalResult(), mrNone);
  EXPECT_EQ(dialog.Edit3->Text(), "");
  EXPECT_EQ(Texts(), std::vector<std::string>{"输入的“新密码”太短，请重新输入。  "});
  dialog.Edit3->SetText("abcdef");
  dialog.Edit4->SetText("abcdef");
  dialog.Button1Click(nullptr);
  EXPECT_EQ(dialog.ModalResult(), mrOk);
}

// ---- the account check ----

class AccountCheckTest : public LoginTest {
 protected:
  void SetUp() override {
    LoginTest::SetUp();
    library_ = BindAccountLibrary("AcctBridge.dll");
    ASSERT_NE(library_.verify, nullptr);
    ASSERT_TRUE(account_.Running());
    Write("Server", "LoginServer", "127.0.0.1", kServerListIni);
    Write("Server", "LoginPort", std::to_string(account_.Port()), kServerListIni);
  }
  AccountLibrary library_;
  AccountDouble account_;
  QuoteServerEntry entry_{};
};

TEST_F(AccountCheckTest, DirectAnswersAcceptRefuseOrNotify) {
  struct Case {
    int code;
    bool goOn;
    const char *caption;
  } cases[] = {{0, true, nullptr}, {-3, false, "登录失败"}, {2, true, "提示"}};
  for (const Case &c : cases) {
    boxes_.Clear();
    account_.Answer(c.code, "口令将过期");
    EXPECT_EQ(CheckAccount(nullptr, entry_, "alice", "secret", library_.verify), c.goOn) << c.code;
    if (c.caption) {
      ASSERT_EQ(boxes_.Count(), 1u);
      EXPECT_EQ(boxes_.Calls()[0].caption, c.caption);
      EXPECT_EQ(boxes_.Calls()[0].text, "口令将过期");
    } else {
      EXPECT_EQ(boxes_.Count(), 0u);
    }
  }
  EXPECT_EQ(account_.Requests().back(), "V|alice|secret|8\n");
  // GreenWay without a relay host on the entry does not count.
  Write("ProxyServer", "GreenWay", "1", UserIni());
  account_.Answer(0, "");
  EXPECT_TRUE(CheckAccount(nullptr, entry_, "alice", "secret", library_.verify));
  EXPECT_EQ(account_.Requests().size(), 4u);
}

TEST_F(AccountCheckTest, ThroughAProxyTheLineIsRelayedAndTheAnswerReadHere) {
  ProxyDouble proxy(ProxyKind::kSocks5);
  ASSERT_TRUE(proxy.Running());
  Write("ProxyServer", "UseProxy", "1", UserIni());
  Write("ProxyServer", "Address", "127.0.0.1", UserIni());
  Write("ProxyServer", "Port", std::to_string(proxy.Port()), UserIni());
  struct Case {
    std::string answer;
    bool goOn;
    std::vector<std::string> texts;
  } cases[] = {
      {"x|-1|帐号已停用\n", false, {"帐号已停用"}},
      {"ignored|0|\n", true, {}},
      {"|5|请尽快修改口令\n", true, {"请尽快修改口令"}},
  };
  for (const Case &c : cases) {
    boxes_.Clear();
    RequestServer::Reply reply;
    reply.bytes = c.answer;
    account_.SetReply(reply);
    EXPECT_EQ(CheckAccount(nullptr, entry_, "alice", "secret", library_.verify), c.goOn) << c.answer;
    EXPECT_EQ(Texts(), c.texts);
    EXPECT_EQ(account_.Requests().back(), "V|alice|secret|8\n") << "the library's line, forwarded unchanged";
  }
  EXPECT_EQ(proxy.RequestedPort(), account_.Port());
  // An answer that never ends its line within 512 bytes fails cleanly.
  boxes_.Clear();
  RequestServer::Reply endless;
  endless.bytes = std::string(600, 'x');
  account_.SetReply(endless);
  EXPECT_FALSE(CheckAccount(nullptr, entry_, "alice", "secret", library_.verify));
  EXPECT_EQ(Texts(), std::vector<std::string>{"网络初始化失败(9)，无法登录服务器。  "});
}

std::atomic<bool> libraryCalled{false};

int NeverConnects(char *message, const char *, const char *, const char *, int, int) {
  std::strcpy(message, "");
  libraryCalled = true;
  return 0;
}

TEST_F(AccountCheckTest, ALibraryThatNeverConnectsEndsInATimeOut) {
  Write("ProxyServer", "UseProxy", "3", UserIni());
  std::atomic<bool> finished{false};
  libraryCalled = false;
  // Time passes once the library has returned without connecting.
  std::thread ticker([&] {
    while (!finished) {
      if (libraryCalled) harness_.Clock().Advance(500);
      std::this_thread::yield();
    }
  });
  const bool goOn = CheckAccount(nullptr, entry_, "alice", "secret", NeverConnects);
  finished = true;
  ticker.join();
  EXPECT_FALSE(goOn);
  EXPECT_EQ(Texts(), std::vector<std::string>{"网络初始化失败(5)，无法登录服务器。  "});
  EXPECT_EQ(account_.Connections(), 0);
}

TEST_F(AccountCheckTest, TheListenerSkipsATakenPort) {
  SOCKET taken = ws::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  address.sin_port = htons(kRelayFirstPort);
  // The listener of an account check that just ended lets the port go
  // within a slice of its wait; the port is waited for that long and more.
  bool bound = false;
  for (int tries = 0; tries < 200 && !bound; ++tries) {
    bound = ws::bind(taken, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (!bound) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!bound || ws::listen(taken, 1) != 0) {
    ws::closesocket(taken);
    GTEST_SKIP() << "port 800 can't be taken here";
  }
  auto block = std::make_shared<RelayExchange>();
  std::thread listener(LoginRelayThread, block);
  while (block->port == 0 && block->error == 0) WaitForSingleObject(block->signal, 100);
  // The next free port: usually 801, unless another program (a test
  // running beside this one) holds that too.
  const uint32_t port = block->port.load();
  EXPECT_GT(port, uint32_t(kRelayFirstPort));
  for (uint32_t skipped = kRelayFirstPort + 1; skipped < port; ++skipped) {
    SOCKET probe = ws::socket(AF_INET, SOCK_STREAM, 0);
    address.sin_port = htons(uint16_t(skipped));
    EXPECT_NE(ws::bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address), 0) << skipped << " was free";
    ws::closesocket(probe);
  }
  block->cancel = true;
  listener.join();
  ws::closesocket(taken);
}

// ---- the loopback relay as both its users share it ----

// A stand-in for the library's call: connects to the listener, sends the
// pieces and, unless told to stay, closes. keep holds a connection that
// stays open.
struct LineSender {
  std::vector<std::string> pieces;
  bool connect = true;
  SOCKET *keep = nullptr;
  void operator()(const char *host, int port) const {
    if (!connect) return;
    SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = inet_addr(host);
    to.sin_port = htons(uint16_t(port));
    if (ws::connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
      ws::closesocket(s);
      return;
    }
    for (const std::string &piece : pieces) ws::send(s, piece.data(), int(piece.size()), 0);
    if (keep)
      *keep = s;
    else
      ws::closesocket(s);
  }
};

TEST_F(AccountCheckTest, TheRelayTakesLinesOfUpTo126Characters) {
  struct Case {
    std::vector<std::string> pieces;
    bool connect;
    std::string forwarded;  // empty: refused with the line's message
  } cases[] = {
      {{"M|alice|", "old|new", "|8\n"}, true, "M|alice|old|new|8\n"},
      {{std::string(126, 'a') + "\n"}, true, std::string(126, 'a') + "\n"},
      {{std::string(127, 'a') + "\n"}, true, ""},
      {{std::string(60, 'a'), std::string(67, 'b') + "\n"}, true, ""},
      {{"no line feed"}, true, ""},
      // A library that fails before it connects is not waited for: the fake
      // clock never moves here.
      {{}, false, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.pieces.empty() ? std::string("never connects") : c.pieces[0].substr(0, 20));
    boxes_.Clear();
    account_.Answer(-2, "旧密码错误");
    const int before = int(account_.Requests().size());
    int code = 0;
    char message[kRelayAnswerSize];
    const bool answered = RelayLibraryLine(nullptr, RelayTarget{"127.0.0.1", account_.Port()}, "无法修改密码。  ",
                                           LineSender{c.pieces, c.connect}, code, message);
    if (c.forwarded.empty()) {
      EXPECT_FALSE(answered);
      EXPECT_EQ(Texts(), std::vector<std::string>{"网络初始化失败(5)，无法修改密码。  "});
      EXPECT_EQ(int(account_.Requests().size()), before);
    } else {
      ASSERT_TRUE(answered);
      EXPECT_EQ(account_.Requests().back(), c.forwarded);
      EXPECT_EQ(code, -2);
      EXPECT_STREQ(message, "旧密码错误");
    }
  }
}

TEST_F(AccountCheckTest, ASilentConnectionEndsAtTheWaitsBound) {
  SOCKET kept = INVALID_SOCKET;
  std::atomic<bool> called{false}, finished{false};
  LineSender sender{{"M|half"}, true, &kept};
  std::thread ticker([&] {
    while (!finished) {
      if (called) harness_.Clock().Advance(500);
      std::this_thread::yield();
    }
  });
  const DWORD start = GetTickCount();
  int code = 0;
  char message[kRelayAnswerSize];
  const bool answered = RelayLibraryLine(
      nullptr, RelayTarget{"127.0.0.1", account_.Port()}, "无法修改密码。  ",
      [&](const char *host, int port) {
        sender(host, port);
        called = true;
      },
      code, message);
  const DWORD spent = GetTickCount() - start;
  finished = true;
  ticker.join();
  if (kept != INVALID_SOCKET) ws::closesocket(kept);
  EXPECT_FALSE(answered);
  EXPECT_GE(spent, kRelayWaitMs);
  EXPECT_EQ(Texts(), std::vector<std::string>{"网络初始化失败(5)，无法修改密码。  "});
  EXPECT_EQ(account_.Connections(), 0);
}

// ---- the blocking login's time-out ----

TEST_F(LoginTest, AServerThatNeverAnswersFailsTheLogin) {
  RequestServer silent([](const std::string &in) { return in.size() >= 10; });
  RequestServer::Reply quiet;
  quiet.kind = RequestServer::Reply::kSilent;
  silent.SetReply(quiet);
  Write("Server", "Address", "127.0.0.1", kServerListIni);
  Write("Server", "Port", std::to_string(silent.Port()), kServerListIni);
  QuoteClientHooks().blockingTimeoutMs = 200;
  TNormalClnt *client = nullptr;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(LoginQuoteClient(client, nullptr, false), kLoginNetwork);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(client, nullptr);
  EXPECT_EQ(boxes_.Count(), 1u) << "the failure is reported as a network failure";
}

}  // namespace
