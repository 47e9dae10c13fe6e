// The terminal from its entry to its close against the quote service on
// loopback: the entry's checks, the real login dialog (scripted), the market
// table built by the dialog's worker, the push client logged in, the page
// with its report, whose visible rows all show live quotes on the screen,
// quotes that change in the market table, keep-alives and a reconnect after
// the push connection was cut, a chart pane opened from the report and
// left again, every view the program is built with opened in a pane, and a
// clean close.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "market/dataio5.h"
#include "market/logindlg.h"
#include "market/realclient.h"
#include "market/utildata.h"
#include "platform/path.h"
#include "classlib/stdctrls.h"
#include "shell/entry.h"
#include "shell/mframe.h"
#include "shell/quoteconn.h"
#include "shell/settings_store.h"
#include "testing/image_capture.h"
#include "testing/msgbox_recorder.h"
#include "testing/quote_service.h"
#include "testing/shell_recorder.h"
#include "testing/temp_folder.h"
#include "testing/view_harness.h"
#include "views/mvmain.h"
#include "views/report.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

namespace fs = std::filesystem;

namespace {

// The program's parts, with the login dialog driven as a user would: the
// login button, then waiting while the dialog connects and its worker
// builds the market table.
class ScriptedLogin : public TFrameParts {
 public:
  explicit ScriptedLogin(testing_support::ViewHarness &harness) : harness_(harness) {}
  int ShowLoginDialog(TMFrame &frame, bool relogin) override {
    relogins += relogin ? 1 : 0;
    TClientRight dialog(&frame, relogin);
    return harness_.RunModal(&dialog, [&] {
      dialog.Button1->Click();
      for (int i = 0; i < 3000 && dialog.ModalResult() == mrNone; ++i) {
        harness_.Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }

  int relogins = 0;

 private:
  testing_support::ViewHarness &harness_;
};

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing_support::MakeTempFolder("kivo-terminal");
    ASSERT_FALSE(root_.empty());
    old_ = fs::current_path();
    ASSERT_TRUE(service_.Running());
    ASSERT_TRUE(WriteTerminalFolders(dataSet_, root_, &service_, "alice", "secret"));
    ASSERT_TRUE(WriteFirstPage(root_));
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(root_);
  }

  // Real time passes for the servers' threads while the harness serves the
  // program's messages; true once done says so.
  bool PumpUntil(const std::function<bool()> &done, int ms = 10000) {
    for (int waited = 0; waited < ms; waited += 5) {
      harness_.Pump();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  // What each of the report's visible rows shows, a text per column.
  static std::vector<std::vector<std::string>> Shown(TReport &report) {
    TReportCore &core = report.Core();
    std::vector<std::vector<std::string>> rows;
    const int top = report.Grid()->TopRow() - 1;
    for (int r = top; r < core.rowCount && r < top + report.Grid()->VisibleRowCount(); ++r) {
      std::vector<std::string> cells;
      for (int c = 0; c < core.columnCount; ++c) {
        ReportCellText cell{};
        FormatReportCell(core.RowStock(r), core.columns[c], r + 1, &cell);
        cells.emplace_back(cell.text);
      }
      rows.push_back(std::move(cells));
    }
    return rows;
  }
  std::vector<REALQUOTE> Quotes(int market) const {
    const TMarketData *m = MarketAt(market);
    return m ? std::vector<REALQUOTE>(m->m_quotes, m->m_quotes + m->m_loadedCount) : std::vector<REALQUOTE>{};
  }

  testing_support::ViewHarness harness_;
  market_fixture::DataSetDesc dataSet_ = market_fixture::StandardDataSet(UtcNowPacked());
  QuoteService service_{dataSet_, QuoteService::Options{0, 0, 0, 200, "alice", "secret"}};
  std::string root_;
  fs::path old_;
  MessageBoxRecorder boxes_;
  ShellRecorder shell_;
};

TEST_F(TerminalTest, LogsInThroughTheDialogSeesQuotesMoveReconnectsAndClosesCleanly) {
  TUtilDataSetup setup;
  const std::string program = platform::ToWindowsPath(root_ + "/bin/kivon");
  setup.programFile = program.c_str();
  setup.loadDisplaySettings = LoadDisplaySettings;
  TUtilData util(setup);
  TEntryServices services = DefaultEntryServices();
  services.moduleFileName = [&](std::string &path) {
    path = program;
    return true;
  };
  ScriptedLogin parts(harness_);
  bool ran = false;
  RunProgramEntry(services, [&] {
    ran = true;
    TMFrame *frame = new TMFrame(nullptr, parts);
    ASSERT_FALSE(frame->closing) << (boxes_.Calls().empty() ? "" : boxes_.Calls().back().text);
    EXPECT_EQ(GetConnectionState(), 3) << "both clients after the login";
    EXPECT_EQ(MarketTable.marketCount, int(dataSet_.markets.size()));
    EXPECT_EQ(frame->MainTimer().retryCounter, 12);
    EXPECT_TRUE(frame->Timer1->Enabled());
    ASSERT_TRUE(PumpUntil([&] { return service_.Push().Logins().size() == 1; }));
    EXPECT_EQ(service_.Push().Logins()[0].user, "alice");

    frame->Show();
    harness_.Pump();
    ASSERT_NE(frame->page, nullptr);
    ASSERT_GT(frame->page->PaneCount(), 0);
    EXPECT_EQ(frame->page->PaneAt(0)->ViewType(), 0x2001) << "the page shows its report";
    ASSERT_TRUE(PumpUntil([&] { return !service_.Push().Subscription().empty(); }))
        << "the report's instruments are subscribed";

    // Every visible row of the report is subscribed, and shows its quote
    // as soon as the service sends what the terminal starts to watch.
    auto *report = dynamic_cast<TReport *>(frame->page->PaneAt(0));
    ASSERT_NE(report, nullptr);
    TReportCore &core = report->Core();
    const int top = report->Grid()->TopRow() - 1;
    const int visible = std::min(report->Grid()->VisibleRowCount(), core.rowCount - top);
    ASSERT_GE(visible, 8) << "a page of rows";
    const std::vector<STKMS> subscribed = service_.Push().Subscription();
    for (int r = top; r < top + visible; ++r) {
      const STKPTR s = core.RowStock(r);
      EXPECT_TRUE(std::any_of(subscribed.begin(), subscribed.end(),
                              [&](const STKMS &e) { return e.market == s.market && e.stock == s.stock; }))
          << "row " << r;
    }
    int lastColumn = -1, lastVolumeColumn = -1;
    for (int c = 0; c < core.columnCount; ++c) {
      if (core.columns[c] == kColLast) lastColumn = c;
      if (core.columns[c] == kColLastVolume) lastVolumeColumn = c;
    }
    ASSERT_GE(lastColumn, 0);
    ASSERT_GE(lastVolumeColumn, 0);
    EXPECT_TRUE(PumpUntil([&] {
      for (const std::vector<std::string> &row : Shown(*report))
        if (row[size_t(lastColumn)] == "---") return false;
      return true;
    })) << "a row without its quote";

    // As quotes come, every visible row shows new values, on the screen
    // too: with the flash clock standing still, a row that took a pushed
    // trade shows its last-volume cell in the flash colour.
    const std::vector<std::vector<std::string>> first = Shown(*report);
    harness_.SavePng(testing_support::ShownImage(report->Handle()), "live_report_t0");
    const COLORREF flash = ViewColor(25);
    std::vector<bool> flashed(size_t(visible), false);
    const DWORD started = GetTickCount();
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(PumpUntil([&] {
      const QImage screen = testing_support::ShownImage(report->Grid()->Handle());
      for (int i = 0; i < visible; ++i) {
        const TRect cell = report->Grid()->CellRect(lastVolumeColumn, top + i + 1);
        const QRgb pixel = screen.pixel(cell.Left + 1, cell.Top + 1);
        if (RGB(qRed(pixel), qGreen(pixel), qBlue(pixel)) == flash) flashed[size_t(i)] = true;
      }
      const std::vector<std::vector<std::string>> now = Shown(*report);
      for (int i = 0; i < visible; ++i)
        if (!flashed[size_t(i)] || now[size_t(i)] == first[size_t(i)]) return false;
      // A few seconds between the two pictures, for a person to compare.
      return std::chrono::steady_clock::now() - began > std::chrono::seconds(2);
    }, 20000)) << "rows that stood still or never showed a trade on screen";
    EXPECT_EQ(GetTickCount(), started) << "the flash clock stood still";
    harness_.SavePng(testing_support::ShownImage(report->Handle()), "live_report_t1");

    // Quotes move in the market table.
    const int market = service_.Push().Subscription().front().market;
    const std::vector<REALQUOTE> before = Quotes(market);
    EXPECT_TRUE(PumpUntil([&] {
      const std::vector<REALQUOTE> now = Quotes(market);
      return now.size() == before.size() && std::memcmp(now.data(), before.data(), now.size() * sizeof(REALQUOTE)) != 0;
    })) << "no quote changed";

    // The push keep-alive goes 10 s after the last send.
    service_.Push().ClearFrames();
    RealtimeClient->SendKeepAlive();
    harness_.Advance(11000, 1000);
    EXPECT_TRUE(PumpUntil([&] { return !service_.Push().Frames(1).empty(); })) << "no keep-alive";

    // Cut the push connection: the client goes and the countdown brings a new one.
    service_.Push().DropConnections();
    ASSERT_TRUE(PumpUntil([] { return RealtimeClient == nullptr; }));
    harness_.Advance(1000, 1000);
    EXPECT_TRUE(PumpUntil([&] { return service_.Push().Logins().size() == 2; })) << "no reconnect";
    EXPECT_EQ(GetConnectionState(), 3);
    EXPECT_EQ(frame->MainTimer().retryCounter, 12);

    // Disconnect by hand, then connect again through the dialog: the
    // market table stays the one built at the first login.
    const TMarketData *firstTable = MarketAt(0);
    boxes_.QueueAnswer(IDYES);
    frame->C1Click(nullptr);
    EXPECT_EQ(GetConnectionState(), 0);
    EXPECT_EQ(frame->MainTimer().retryCounter, -1);
    EXPECT_EQ(frame->Panel5->Hint, "未联机");
    harness_.Advance(30000, 1000);
    EXPECT_EQ(GetConnectionState(), 0) << "no automatic reconnect after a disconnect by hand";
    frame->C1Click(nullptr);
    EXPECT_EQ(parts.relogins, 1);
    EXPECT_EQ(GetConnectionState(), 3);
    EXPECT_EQ(MarketAt(0), firstTable) << "a re-login does not rebuild the market table";
    EXPECT_TRUE(PumpUntil([&] { return service_.Push().Logins().size() == 3; }));

    // Enter on a report row opens the intraday pane (a placeholder until the
    // charts are built in); the back button, which sends the active view
    // Esc, brings the report back.
    TMultiViewMain *page = frame->page;
    auto *shown = dynamic_cast<TReport *>(page->m_active);
    ASSERT_NE(shown, nullptr);
    SendMessageA(shown->Grid()->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    harness_.Pump();
    ASSERT_NE(page->m_active, nullptr);
    ASSERT_NE(page->m_active->ViewType(), VIEW_TYPE_REPORT) << "a chart pane is open";
    PostMessageA(page->m_active->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    harness_.Pump();
    ASSERT_NE(page->m_active, nullptr);
    EXPECT_EQ(page->m_active->ViewType(), VIEW_TYPE_REPORT) << "back to the report";

    // Every view the program is built with opens in a pane: none of them
    // is the placeholder.
    const VIEW_ATTR_13 reportRecord = page->m_active->m_attr;
    for (int type : {VIEW_TYPE_NEWS, VIEW_TYPE_TEXT, VIEW_TYPE_RANKING, VIEW_TYPE_NOTES}) {
      VIEW_ATTR_13 record;
      std::memset(static_cast<void *>(&record), 0, sizeof record);
      InitViewAttr(type, &record);
      record.stock = reportRecord.stock;
      TMultiViewChild *made = page->CreateView(page->m_active->m_node, &record, 1, 1);
      harness_.Pump();
      ASSERT_NE(made, nullptr);
      EXPECT_EQ(made->ViewType(), type);
      EXPECT_EQ(dynamic_cast<TPlaceholderView *>(made), nullptr) << "view type " << type;
    }
    page->CreateView(page->m_active->m_node, &reportRecord, 1, 1);
    harness_.Pump();

    boxes_.QueueAnswer(IDYES);  // the page is the system's: the exit is confirmed
    frame->Close();
    harness_.Pump();
    EXPECT_EQ(GetConnectionState(), 0);
    EXPECT_EQ(MarketTableIO, nullptr);
    delete frame;
  });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(fs::exists(root_ + "/user/SETTING.INI"));
  EXPECT_EQ(fs::file_size(root_ + "/user/LP3.DAT"), 260u);
}

}  // namespace
