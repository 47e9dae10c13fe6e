// Answers of the request/response connection, end to end: a client logged
// in to the quote double over loopback asks through the request builders,
// the double answers from the offline data set, and each answer must land
// in the cache exactly as the data set has it and be announced to a
// recording window standing in for the main window. Plus the flight rules
// with a delaying double, answers that belong to no request in flight, and
// malformed streams.
#include "market/answer.h"
#include "market/marketside.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "market/reqbuild.h"
#include "market/reqqueue.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "testing/fake_clock.h"
#include "testing/lzw_encoder.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"
#include "testing/pump.h"
#include "testing/quote_double.h"
#include "testing/quote_double_requests.h"

using namespace market_fixture;
using testing_support::MessageTrace;
using testing_support::PumpUntil;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kViewTag = 0x5151;
constexpr int kSH = 0, kQH = 3;
constexpr int kBank = 3;   // SH 600000, with full history
constexpr int kSteel = 4;  // SH 600010
constexpr int kOil = 5;    // SH 600028

uint32_t Word(int market, int stock) { return STKPTR(market, 0, stock).Word(); }

Bytes Body(std::initializer_list<int> bytes) { return Bytes(bytes.begin(), bytes.end()); }
void Put(Bytes &b, const void *p, size_t n) {
  b.insert(b.end(), static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n);
}
void Put32(Bytes &b, uint32_t v) { Put(b, &v, 4); }
void PutCode(Bytes &b, const char *code) {
  char field[8] = {};
  std::strncpy(field, code, 7);
  Put(b, field, 8);
}
FRAMEHEAD Head(uint8_t command, uint16_t count = 1, uint16_t index = 0) {
  return FRAMEHEAD{kFrameMark, command, count, index, 0, 0, 0};
}

// The market table, news index and main window of a terminal over the
// standard data set, on the fake clock the data set was written for:
// Monday 2024-01-15 02:00 UTC, 10:00 in Shanghai.
class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDataSet(desc_, box_.Root());
    std::filesystem::create_directories(box_.Path("tmp"));
    UpdateCurrentUtcTime();
    LoadHolidayLists();
    TakeOverRights(QuoteDouble::DefaultGrant());
    io_ = std::make_unique<TDataIO>(nullptr);
    ASSERT_EQ(MarketTable.loadState, 0);
    news_ = std::make_unique<TNewsIndex>();
    news_->Load();
    NewsIndex = news_.get();
    ResetRequestQueue();
    SetQueueClient(nullptr);

    active_ = this;
    main_ = trace_.Create(0);
    view_ = trace_.Create(0);
    trace_.SetHandler(main_, MainWindowProc);
    TMarketSideSetup side;
    side.mainWindow = main_;
    side.tempFolder = "..\\tmp\\";
    side.viewByTag = [this](uint32_t tag) { return tag == kViewTag ? view_ : nullptr; };
    side.redrawFastChange = [this](uint32_t tag) { redrawn_.push_back(tag); };
    side.reloadNote = [this](const char *key) { reloadedNotes_.push_back(key); };
    side.loadNewsIndex = false;  // the test's own index
    StartMarketSide(side);
  }
  void TearDown() override {
    StopMarketSide();
    NewsIndex = nullptr;
    news_.reset();
    io_.reset();
    ClearRights();
    active_ = nullptr;
  }

  // The stand-in for the main window: it follows the code-table download as
  // the real one does and keeps the trend-day notes that live only during
  // their send.
  static LRESULT MainWindowProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CODE_TABLE_PROGRESS) {
      const int market = int(wParam >> 16);
      if ((wParam & 0xFFFF) == kCodeTableMore)
        RequestCodeTable(market, int(lParam));
      else
        RequestNameTable(market);
    }
    if (message == WM_STOCK_DATA && wParam >> 16 == FRAME_TREND_HISTORY)
      active_->trendDays_.push_back(*reinterpret_cast<const TRENDDAYNOTE *>(lParam));
    return 0;
  }

  size_t Posted(UINT message, WPARAM wParam, LPARAM lParam, HWND to = nullptr) const {
    size_t n = 0;
    for (const auto &m : trace_.Messages())
      if (m.hwnd == (to ? to : main_) && m.message == message && m.wParam == wParam && m.lParam == lParam) ++n;
    return n;
  }
  size_t StockData(int command, int low, LPARAM lParam) const {
    return Posted(WM_STOCK_DATA, StockDataParam(command, low), lParam);
  }
  std::string Read(const std::string &relative) const { return box_.Exists(relative) ? box_.Read(relative) : "<none>"; }
  void Remove(const std::string &relative) const { std::filesystem::remove(box_.Path(relative)); }
  const STKINFO &Stock(int market, int stock) const { return MarketAt(market)->m_stocks[stock]; }

  static DataSetTest *active_;
  ScopedFakeClock clock_;
  MarketSandbox box_;
  DataSetDesc desc_ = StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0));
  std::unique_ptr<TDataIO> io_;
  std::unique_ptr<TNewsIndex> news_;
  MessageTrace trace_;
  HWND main_ = nullptr;
  HWND view_ = nullptr;
  std::vector<TRENDDAYNOTE> trendDays_;
  std::vector<uint32_t> redrawn_;
  std::vector<std::string> reloadedNotes_;
};
DataSetTest *DataSetTest::active_ = nullptr;

// A client logged in to the double, whose data server answers from the
// data set.
class LoopbackTest : public DataSetTest {
 protected:
  virtual QuoteRequestServer::Options ServerOptions() const { return {}; }

  void SetUp() override {
    DataSetTest::SetUp();
    if (HasFatalFailure()) return;
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
    ASSERT_TRUE(quotes_.Running());
    WritePrivateProfileStringA("Server", "Address", "127.0.0.1", ".\\SERVER.INI");
    WritePrivateProfileStringA("Server", "Port", std::to_string(quotes_.DirectoryPort()).c_str(), ".\\SERVER.INI");
    WritePrivateProfileStringA("Server", "Port1", std::to_string(quotes_.DataPort()).c_str(), ".\\SERVER.INI");
    const std::string userIni = std::string(UserDataPath) + "SERVER.INI";
    WritePrivateProfileStringA("Server", "UserName", "alice", userIni.c_str());
    WritePrivateProfileStringA("Server", "Password", "secret", userIni.c_str());
    server_ = std::make_unique<QuoteRequestServer>(desc_, ServerOptions());
    server_->Install(quotes_);
    ASSERT_TRUE(Connect());
  }
  void TearDown() override {
    SetQueueClient(nullptr);
    client_.reset();
    ws::WSACleanup();
    DataSetTest::TearDown();
  }

  bool Connect() {
    SetQueueClient(nullptr);
    client_ = std::make_unique<TNormalClnt>();
    if (client_->Login(nullptr, false) != kLoginOk || !client_->ArmAsyncEvents()) return false;
    SetQueueClient(client_.get());
    return true;
  }
  bool Closed() const { return client_->m_socket == INVALID_SOCKET; }
  bool Idle() const { return RequestsInFlight() == 0 && RequestsQueued() == 0; }

  QuoteDouble quotes_;
  std::unique_ptr<QuoteRequestServer> server_;
  std::unique_ptr<TNormalClnt> client_;
};

// ---- Every request kind ---------------------------------------------------------

struct Shaping {
  const char *name;
  int maxPartBody;
  bool compress;
};

class RequestKindsTest : public LoopbackTest, public ::testing::WithParamInterface<Shaping> {
 protected:
  QuoteRequestServer::Options ServerOptions() const override {
    QuoteRequestServer::Options o;
    o.maxPartBody = GetParam().maxPartBody;
    o.newsPerPage = 3;
    o.codeEntriesPerAnswer = 4;
    return o;
  }
};

TEST_P(RequestKindsTest, EachAnswerLandsInTheCacheAndIsAnnounced) {
  for (int command = 0; command < 256; ++command) {
    QuoteDouble::Shape shape;
    shape.compress = GetParam().compress;
    quotes_.SetShape(QuoteDouble::kData, uint8_t(command), shape);
  }
  // What the data set wrote is what the answers must write again.
  std::map<std::string, std::string> wanted;
  for (const char *file : {"data/SH/day/600000.da1", "data/SH/min1/600000.m11", "data/SH/min/600000.mi1",
                           "data/SH/MIN60/600000.hr1", "data/SH/tick/600000.tik", "data/SH/tick/600000.tr3",
                           "data/SH/trend/000001.ot3", "data/QH/nametbl.qhf", "data/QH/nametble.qhf"})
    wanted[file] = Read(file);
  const InstrumentSeries bank = BuildSeries(desc_, kSH, kBank);
  const InstrumentSeries index = BuildSeries(desc_, kSH, 0);
  const std::string bankCode = "600000";
  const auto infoIndex = QuoteRequestServer::InfoIndex(bankCode, 1);
  const QuoteRequestServer::Note note = QuoteRequestServer::Notes(1)[0];
  uint32_t section1Offset = 0, section1Length = 0;
  std::memcpy(&section1Offset, infoIndex[1].data() + 155, 4);
  std::memcpy(&section1Length, infoIndex[1].data() + 159, 4);
  auto flat = [](const auto &records) {
    return std::string(reinterpret_cast<const char *>(records.data()), records.size() * sizeof(records[0]));
  };
  auto sortFile = [&](uint32_t value3) -> std::string {
    for (const auto &m : trace_.Messages())
      if (m.hwnd == view_ && m.message == WM_SORT_DATA_READY && uint32_t(m.lParam) == value3)
        return Read("tmp/" + std::to_string(m.wParam) + ".tmp");
    return "<none>";
  };

  struct Case {
    const char *name;
    std::function<void()> ask;
    std::function<bool()> done;
    std::function<void()> check;
  };
  const std::vector<Case> cases = {
      {"day bars",
       [&] {
         Remove("data/SH/day/600000.da1");
         RequestBars(kSH, kBank, 8, 0, false, 1);
       },
       [&] { return StockData(FRAME_BARS, 100 << 8 | 8, Word(kSH, kBank)) == 1; },
       [&] { EXPECT_EQ(Read("data/SH/day/600000.da1"), wanted["data/SH/day/600000.da1"]); }},
      {"minute bars of three bases",
       [&] {
         for (const char *f : {"data/SH/min1/600000.m11", "data/SH/min/600000.mi1", "data/SH/MIN60/600000.hr1"})
           Remove(f);
         RequestBars(kSH, kBank, 1, 0, false, 2);
         RequestBars(kSH, kBank, 4, 0, false, 3);
         RequestBars(kSH, kBank, 7, 0, false, 4);
       },
       [&] { return StockData(FRAME_BARS, 100 << 8 | 7, Word(kSH, kBank)) == 1; },
       [&] {
         for (const char *f : {"data/SH/min1/600000.m11", "data/SH/min/600000.mi1", "data/SH/MIN60/600000.hr1"})
           EXPECT_EQ(Read(f), wanted[f]) << f;
         EXPECT_EQ(StockData(FRAME_BARS, 100 << 8 | 1, Word(kSH, kBank)), 1u);
       }},
      {"today's trend",
       [&] {
         Remove("data/SH/tick/600000.tr3");
         RequestMinuteTrend(kSH, kBank, 5);
       },
       [&] { return StockData(FRAME_MINUTE_TREND, 100, Word(kSH, kBank)) == 1; },
       [&] { EXPECT_EQ(Read("data/SH/tick/600000.tr3"), wanted["data/SH/tick/600000.tr3"]); }},
      {"ticks",
       [&] {
         Remove("data/SH/tick/600000.tik");
         RequestTicks(kSH, kBank, 6);
       },
       [&] { return StockData(FRAME_TICKS, 100, Word(kSH, kBank)) == 1; },
       [&] { EXPECT_EQ(Read("data/SH/tick/600000.tik"), wanted["data/SH/tick/600000.tik"]); }},
      {"latest trades", [&] { RequestRecentTrades(kSH, kBank, 50, 7); },
       [&] { return StockData(FRAME_RECENT_TRADES, 100, Word(kSH, kBank)) == 1; },
       [&] {
         const std::vector<TICKREC> ticks = TodayTicks(bank);
         EXPECT_EQ(
             Read("data/SH/tick/600000.nnt"),
             flat(std::vector<TICKREC>(ticks.end() - std::min<ptrdiff_t>(50, ptrdiff_t(ticks.size())), ticks.end())));
       }},
      {"trend days of an index",
       [&] {
         Remove("data/SH/trend/000001.ot3");
         uint32_t tag = 100;
         for (const DayMinutes &day : index.pastDays) RequestTrendHistory(kSH, 0, day.date, tag++);
       },
       [&] { return trendDays_.size() == index.pastDays.size(); },
       [&] {
         EXPECT_EQ(Read("data/SH/trend/000001.ot3"), wanted["data/SH/trend/000001.ot3"]);
         EXPECT_EQ(trendDays_[0].stock, Word(kSH, 0));
         EXPECT_EQ(trendDays_[0].date, index.pastDays[0].date);
       }},
      {"weights", [&] { RequestWeights(kSH, kBank, 9); },
       [&] { return StockData(FRAME_WEIGHTS, 0, Word(kSH, kBank)) == 1; },
       [&] { EXPECT_EQ(Read("data/SH/weight/600000.wgt"), flat(QuoteRequestServer::Weights(bankCode, desc_.utcNow))); }},
      {"base text file and advice",
       [&] {
         REQUESTREC r{};
         r.kind = REQ_BASE_TEXT_FILE;
         std::strcpy(r.code, "600000");
         EnqueueRequest(r);
         r.kind = REQ_ADVICE;
         EnqueueRequest(r);
       },
       [&] { return StockData(FRAME_ADVICE, 0, Word(kSH, kBank)) == 1; },
       [&] {
         EXPECT_EQ(StockData(FRAME_BASE_TEXT_FILE, 0, Word(kSH, kBank)), 1u);
         EXPECT_EQ(Read("data/SH/base/600000.Txt"), QuoteRequestServer::BaseTextFile(bankCode));
         EXPECT_EQ(Read("data/SH/advice/600000.adv"), flat(QuoteRequestServer::Advice(bankCode)));
       }},
      {"information index", [&] { EXPECT_TRUE(RequestBaseIndex(kSH, kBank, 1, 10)); },
       [&] { return StockData(FRAME_BASE_INDEX, 1, Word(kSH, kBank)) == 1; },
       [&] {
         std::string entries;
         for (const auto &e : infoIndex) entries += std::string(e.begin(), e.end());
         EXPECT_EQ(Read("data/SH/base/6000001.idx"), entries);
       }},
      {"information text",
       [&] {
         RequestBaseText(kSH, kBank, 1, reinterpret_cast<const char *>(infoIndex[1].data() + 75), section1Offset,
                         section1Length, 10);
       },
       [&] { return StockData(FRAME_BASE_TEXT, 1, Word(kSH, kBank)) == 1; },
       [&] {
         const std::string text = QuoteRequestServer::InfoText(bankCode, 1);
         EXPECT_EQ(Read("data/SH/base/6000001.txt"),
                   std::string(section1Offset, '\0') + text.substr(section1Offset, section1Length));
       }},
      {"broker queue",
       [&] {
         std::memset(&MarketAt(kSH)->m_brokerQueues[kBank], 0, sizeof(BROKERQUEUE));
         RequestBrokerQueue(kSH, kBank);
       },
       [&] { return StockData(FRAME_BROKER_QUEUE, 0, Word(kSH, kBank)) == 1; },
       [&] {
         const BROKERQUEUE q = QuoteRequestServer::BrokerQueue(bankCode);
         EXPECT_EQ(std::memcmp(&MarketAt(kSH)->m_brokerQueues[kBank], &q, sizeof q), 0);
       }},
      {"code table in pieces, then the extended names",
       [&] {
         std::memset(static_cast<void *>(MarketAt(kQH)->m_stocksEx), 0, 7 * size_t(MarketAt(kQH)->m_stockCount));
         Remove("data/QH/nametbl.qhf");
         Remove("data/QH/nametble.qhf");
         RequestCodeTable(kQH, 0);
       },
       [&] { return StockData(FRAME_CODE_TABLE, 0, kQH) == 1; },
       [&] {
         EXPECT_EQ(Posted(WM_CODE_TABLE_PROGRESS, WPARAM(kQH << 16 | kCodeTableMore), 4), 1u);
         EXPECT_EQ(Posted(WM_CODE_TABLE_PROGRESS, WPARAM(kQH << 16 | kCodeTableMore), 8), 1u);
         EXPECT_EQ(Posted(WM_CODE_TABLE_PROGRESS, WPARAM(kQH << 16 | kCodeTableDone), 0), 1u);
         EXPECT_EQ(Read("data/QH/nametbl.qhf"), wanted["data/QH/nametbl.qhf"]);
         EXPECT_EQ(Read("data/QH/nametble.qhf"), wanted["data/QH/nametble.qhf"]);
         EXPECT_FALSE(box_.Exists("data/QH/codetemp.qhf"));
         const auto &instruments = desc_.markets[kQH].instruments;
         EXPECT_EQ(MarketAt(kQH)->m_loadedCount, int(instruments.size()));
         int cu05 = 0;
         while (size_t(cu05) < instruments.size() && instruments[size_t(cu05)].code != "CU05") ++cu05;
         ASSERT_LT(size_t(cu05), instruments.size());
         EXPECT_EQ(std::string(MarketAt(kQH)->m_stocksEx[cu05].code, 6), "CU2405");
         EXPECT_EQ(MarketAt(kQH)->FindStockIndex("CU05"), cu05);
       }},
      {"news list, page by page until the server says no more",
       [&] {
         NewsIndex = nullptr;
         news_.reset();
         Remove("data/info/news.ntl");
         news_ = std::make_unique<TNewsIndex>();
         news_->Load();
         NewsIndex = news_.get();
         news_->SetListLoading(true);
         RequestNewsList(false, 0);
       },
       [&] { return !news_->IsListLoading(); },
       [&] {
         EXPECT_EQ(news_->Count(), int32_t(desc_.news.size()));
         EXPECT_EQ(news_->GetBoundaryId(false, 0), 24008);
         EXPECT_EQ(StockData(FRAME_NEWS, 0, 0), 1u);  // once, when the loading ends
         EXPECT_EQ(quotes_.Frames(QuoteDouble::kData, FRAME_NEWS).size(), 4u);
       }},
      {"news text",
       [&] {
         Remove("data/info/00024001.txt");
         RequestNewsBody(1 << 1, 24001);
       },
       [&] { return StockData(FRAME_NEWS, 2, 24001) == 1; },
       [&] { EXPECT_EQ(Read("data/info/00024001.txt"), desc_.news[0].text); }},
      {"notes list and a note",
       [&] {
         RequestNotesList(1);
         RequestNoteBody(1, note.key.c_str(), note.value);
       },
       [&] { return reloadedNotes_.size() == 1; },
       [&] {
         EXPECT_EQ(StockData(FRAME_NOTES, 0, 1), 1u);
         const std::string list = Read("data/notes/notes1.ls2");
         ASSERT_EQ(list.size(), 3u * 108);
         EXPECT_EQ(list[1], 1);  // channel
         EXPECT_EQ(uint8_t(list[2]), note.value);
         EXPECT_EQ(list[6], 1);
         EXPECT_EQ(std::string(list.c_str() + 8), note.title);
         EXPECT_EQ(std::string(list.c_str() + 88), note.key);
         // Date and time whole, an afternoon HHMM above 1023 included.
         const auto notes = QuoteRequestServer::Notes(1);
         for (size_t i = 0; i < notes.size(); ++i) {
           uint32_t when = 0;
           std::memcpy(&when, list.data() + i * 108 + 104, 4);
           EXPECT_EQ(when, notes[i].dateTime) << i;
         }
         EXPECT_EQ(Read("data/notes/" + note.key), note.text);
         EXPECT_EQ(reloadedNotes_[0], note.key);
       }},
      {"rankings of listed instruments and of a block",
       [&] {
         STKMS *listed = new STKMS[2]{{kSH, kBank}, {1, 2}};
         RequestSortData(77, 10, 2, listed, kViewTag, 0);
         // Block M + 1: market 0's kind 1; sort kind 14 leads with one more record.
         RequestSortData(88, 14, uint32_t(desc_.markets.size()) + 1, nullptr, kViewTag, 0);
       },
       [&] { return sortFile(88) != "<none>"; },
       [&] {
         const std::string listed = sortFile(77);
         ASSERT_EQ(listed.size(), 22u);  // 11-byte records
         EXPECT_EQ(listed[0], kSH);
         EXPECT_EQ(listed[1], kBank);
         float last;
         std::memcpy(&last, listed.data() + 3, 4);
         EXPECT_FLOAT_EQ(last, float(bank.quote.last));  // prices as the quote holds them
         int members = 0;
         for (const InstrumentDesc &in : desc_.markets[kSH].instruments) members += in.kind == 1;
         EXPECT_EQ(sortFile(88).size(), size_t(members + 1) * 11);
         EXPECT_FALSE(box_.Exists("tmp/sortdata.tmp"));
       }},
      {"fast changes into the market table",
       [&] {
         MarketAt(kSH)->m_quotes[kBank].fastChange = 0;
         RequestSortData(0, 21, 1, new STKMS[1]{{kSH, kBank}}, 42, 1);
       },
       [&] { return redrawn_.size() == 1; },
       [&] {
         EXPECT_EQ(redrawn_[0], 42u);
         const float now = float(bank.quote.last), before = float(bank.quote.refPrice);
         EXPECT_FLOAT_EQ(MarketAt(kSH)->m_quotes[kBank].fastChange, (now - before) * 100 / before);
       }},
      {"system and real-time messages",
       [&] {
         RequestSystemMessage();
         RequestRealtimeMessage(3);
       },
       [&] { return StockData(FRAME_REALTIME_MESSAGE, 0, 3) == 1; },
       [&] {
         EXPECT_EQ(StockData(FRAME_SYSTEM_MESSAGE, 0, 0), 1u);
         EXPECT_EQ(Read("prog/SYSMSG.TXT"), QuoteRequestServer::SystemMessage());
         EXPECT_EQ(Read("prog/RTMSG.TXT"), QuoteRequestServer::RealtimeMessage());
       }},
      {"password change", [&] { RequestPasswordChange("n3wpass"); }, [&] { return Posted(WM_SERVER_TEXT, 0, 0) == 1; },
       [&] { EXPECT_STREQ(client_->Text(), kPasswordChangedText); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    c.ask();
    ASSERT_TRUE(PumpUntil(c.done, 10000));
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    c.check();
    EXPECT_FALSE(Closed());
  }
}

INSTANTIATE_TEST_SUITE_P(Shapings, RequestKindsTest,
                         ::testing::Values(Shaping{"whole", kMaxFrameBody, false}, Shaping{"tiny_lzw_parts", 32, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- The flight ------------------------------------------------------------------

TEST_F(LoopbackTest, TwoRequestsFlyAtATimeAndDuplicatesStayHome) {
  QuoteDouble::Shape held;
  held.held = true;
  quotes_.SetShape(QuoteDouble::kData, FRAME_BARS, held);
  for (int stock : {kBank, kSteel, kOil}) Remove("data/SH/day/" + std::string(Stock(kSH, stock).code) + ".da1");
  RequestBars(kSH, kBank, 8, 0, false, 1);
  RequestBars(kSH, kSteel, 8, 0, false, 2);
  RequestBars(kSH, kOil, 8, 0, false, 3);
  RequestBars(kSH, kBank, 8, 0, false, 4);  // the same download from another view

  ASSERT_TRUE(PumpUntil([&] { return quotes_.Frames(QuoteDouble::kData, FRAME_BARS).size() == 2; }));
  PumpUntil([] { return false; }, 150);
  EXPECT_EQ(quotes_.Frames(QuoteDouble::kData, FRAME_BARS).size(), 2u);
  quotes_.SetShape(QuoteDouble::kData, FRAME_BARS, {});
  quotes_.ReleaseHeld();
  ASSERT_TRUE(PumpUntil([&] { return StockData(FRAME_BARS, 100 << 8 | 8, Word(kSH, kOil)) == 1; }));
  EXPECT_TRUE(Idle());

  const auto frames = quotes_.Frames(QuoteDouble::kData, FRAME_BARS);
  ASSERT_EQ(frames.size(), 3u);
  Bytes body = Body({8, kSH});
  PutCode(body, "600000");
  body.resize(22, 0);
  EXPECT_EQ(frames[0].raw, QuoteDouble::MakeFrame(FRAME_BARS, body));
  for (int stock : {kBank, kSteel, kOil})
    EXPECT_TRUE(box_.Exists("data/SH/day/" + std::string(Stock(kSH, stock).code) + ".da1"));
}

// The mend this test guards: the late answer of a request that timed out
// used to complete (and be written as) the request in flight after it.
TEST_F(LoopbackTest, ALateAnswerNeverCompletesTheRequestThatReplacedItsTimedOutOne) {
  QuoteDouble::Shape slow;
  slow.delayMs = 400;
  quotes_.SetShape(QuoteDouble::kData, FRAME_BARS, slow);
  Remove("data/SH/day/600000.da1");
  RequestBars(kSH, kBank, 8, 0, false, 1);
  ASSERT_TRUE(PumpUntil([&] { return quotes_.Frames(QuoteDouble::kData, FRAME_BARS).size() == 1; }));

  clock_.Advance(kRequestTimeoutMs);
  RequestBars(kSH, kSteel, 8, 0, false, 2);
  EXPECT_EQ(RequestsInFlight(), 1);
  EXPECT_STREQ(OldestRequestInFlight()->code, "600010");

  // The first answer comes first and is dropped; the second completes.
  ASSERT_TRUE(PumpUntil([&] { return StockData(FRAME_BARS, 100 << 8 | 8, Word(kSH, kSteel)) == 1; }));
  EXPECT_TRUE(Idle());
  EXPECT_EQ(StockData(FRAME_BARS, 100 << 8 | 8, Word(kSH, kBank)), 0u);
  EXPECT_FALSE(box_.Exists("data/SH/day/600000.da1"));
  EXPECT_TRUE(box_.Exists("data/SH/day/600010.da1"));
  EXPECT_FALSE(Closed());
}

class MixedUpBarsTest : public LoopbackTest {
 protected:
  QuoteRequestServer::Options ServerOptions() const override {
    QuoteRequestServer::Options options;
    options.barsNameTheNextInstrument = true;
    return options;
  }
};

// A server that answers bars of another instrument than asked: each answer
// retires its request at once (nothing is written for either instrument),
// so the third request goes out without waiting 20 s for a slot.
TEST_F(MixedUpBarsTest, BarsOfAnotherInstrumentRetireTheirRequest) {
  for (int stock : {kBank, kSteel, kOil, kOil + 1})
    Remove("data/SH/day/" + std::string(Stock(kSH, stock).code) + ".da1");
  RequestBars(kSH, kBank, 8, 0, false, 1);
  RequestBars(kSH, kSteel, 8, 0, false, 2);
  RequestBars(kSH, kOil, 8, 0, false, 3);
  ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
  EXPECT_EQ(quotes_.Frames(QuoteDouble::kData, FRAME_BARS).size(), 3u);
  for (int stock : {kBank, kSteel, kOil, kOil + 1})
    EXPECT_FALSE(box_.Exists("data/SH/day/" + std::string(Stock(kSH, stock).code) + ".da1"));
  EXPECT_EQ(trace_.Count(WM_STOCK_DATA), 0u);
  EXPECT_FALSE(Closed());
}

TEST_F(LoopbackTest, FramesAreCutFromTheStreamWhereverTheBytesBreak) {
  for (uint8_t command : {FRAME_SYSTEM_MESSAGE, FRAME_REALTIME_MESSAGE})
    quotes_.SetHandler(QuoteDouble::kData, command, nullptr);
  Bytes first = Body({0, 0, 0, 0, 'a'}), second = Body({9, 0, 0, 0, 'b'}), third = Body({7, 0, 0, 0, 'c'});
  Bytes stream = QuoteDouble::MakeFrame(FRAME_SYSTEM_MESSAGE, first);
  const Bytes two = QuoteDouble::MakeFrame(FRAME_REALTIME_MESSAGE, second);
  const Bytes three = QuoteDouble::MakeFrame(FRAME_REALTIME_MESSAGE, third);
  stream.insert(stream.end(), two.begin(), two.end());
  stream.insert(stream.end(), three.begin(), three.begin() + 5);  // half a head
  ASSERT_TRUE(quotes_.Send(QuoteDouble::kData, stream));
  ASSERT_TRUE(PumpUntil([&] { return StockData(FRAME_REALTIME_MESSAGE, 0, 9) == 1; }));
  EXPECT_EQ(StockData(FRAME_SYSTEM_MESSAGE, 0, 0), 1u);
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(StockData(FRAME_REALTIME_MESSAGE, 0, 7), 0u);
  ASSERT_TRUE(quotes_.Send(QuoteDouble::kData, Bytes(three.begin() + 5, three.end())));
  ASSERT_TRUE(PumpUntil([&] { return StockData(FRAME_REALTIME_MESSAGE, 0, 7) == 1; }));
  EXPECT_EQ(Read("prog/RTMSG.TXT"), "c");
  EXPECT_EQ(Read("prog/SYSMSG.TXT"), "a");
  EXPECT_FALSE(Closed());

  // A frame the client can't take closes the connection and tells the
  // main window.
  ASSERT_TRUE(quotes_.Send(QuoteDouble::kData, QuoteDouble::MakeFrame(FRAME_FINANCE, Bytes(20, 0))));
  ASSERT_TRUE(PumpUntil([&] { return Closed(); }));
  EXPECT_TRUE(PumpUntil([&] { return Posted(WM_QUOTE_EVENT, 0, 0) == 1; }));
}

// ---- Answers that belong to no request in flight -----------------------------------

class ForeignAnswerTest : public DataSetTest {
 protected:
  // Asks (no client: the request counts as sent) and hands the answer to
  // the dispatch as one frame.
  void Ask(const REQUESTREC &r) { EnqueueRequest(r); }
  void Answer(uint8_t command, const Bytes &body, uint16_t count = 1, uint16_t index = 0) {
    FRAMEHEAD head = Head(command, count, index);
    head.bodyLength = uint16_t(body.size());
    char text[TNormalClnt::kTextSize] = {};
    EXPECT_EQ(reader_.Dispatch(head, body.data(), int(body.size()), text, sizeof text), 0);
  }
  static REQUESTREC Request(int kind, int market, const char *code, int sub = 0, uint32_t value1 = 0,
                            uint32_t value2 = 0) {
    REQUESTREC r{};
    r.kind = uint8_t(kind);
    r.market = uint16_t(market);
    r.sub = sub;
    std::snprintf(r.code, sizeof r.code, "%s", code);
    r.value1 = value1;
    r.value2 = value2;
    return r;
  }
  static Bytes InstrumentHead(std::initializer_list<int> before, const char *code, size_t size) {
    Bytes b(before.begin(), before.end());
    PutCode(b, code);
    b.resize(size, 0);
    return b;
  }

  TAnswerReader reader_;
};

// Each connection keeps its own answer in progress: another reader's
// answer does not cut it short.
TEST_F(ForeignAnswerTest, ReadersKeepTheirAnswersInProgressApart) {
  TAnswerReader other;
  char text[TNormalClnt::kTextSize] = {};
  auto part = [&](TAnswerReader &reader, uint8_t command, uint16_t count, uint16_t index, const Bytes &body) {
    FRAMEHEAD head = Head(command, count, index);
    head.bodyLength = uint16_t(body.size());
    return reader.Dispatch(head, body.data(), int(body.size()), text, sizeof text);
  };
  ASSERT_EQ(part(reader_, FRAME_SYSTEM_MESSAGE, 2, 0, Body({0, 0, 0, 0, 'a', 'b'})), 0);
  ASSERT_EQ(part(other, FRAME_REALTIME_MESSAGE, 2, 0, Body({5, 0, 0, 0, 'x'})), 0);
  ASSERT_EQ(part(reader_, FRAME_SYSTEM_MESSAGE, 2, 1, Body({0, 0, 0, 0, 'c'})), 0);
  EXPECT_EQ(Read("prog/SYSMSG.TXT"), "abc");
  EXPECT_EQ(Read("prog/RTMSG.TXT"), "<none>") << "still in progress";

  ASSERT_EQ(part(other, FRAME_REALTIME_MESSAGE, 2, 1, Body({5, 0, 0, 0, 'z'})), 0);
  EXPECT_EQ(Read("prog/RTMSG.TXT"), "xz");

  // A reader that goes leaves nothing half-made behind.
  {
    TAnswerReader gone;
    ASSERT_EQ(part(gone, FRAME_REALTIME_MESSAGE, 2, 0, Body({5, 0, 0, 0, 'y'})), 0);
    EXPECT_TRUE(box_.Exists("prog/RTMSG.TXT.new"));
  }
  EXPECT_FALSE(box_.Exists("prog/RTMSG.TXT.new"));
  EXPECT_EQ(Read("prog/RTMSG.TXT"), "xz");
}

TEST_F(ForeignAnswerTest, AnAnswerThatDisagreesWithTheOldestRequestIsDroppedWhole) {
  KLINEBAR bar{};
  bar.time = MakePackedDateTime(2024, 1, 12);
  bar.close = 7000;
  Bytes bars = InstrumentHead({8, kSH}, "600010", 14);
  Put(bars, &bar, sizeof bar);
  Bytes minuteBars = InstrumentHead({1, kSH}, "600000", 14);
  Put(minuteBars, &bar, sizeof bar);
  Bytes trendDay = InstrumentHead({1, kSH}, "600000", 10);
  Put32(trendDay, MakePackedDateTime(2024, 1, 11));
  trendDay.resize(14 + 12, 1);
  Bytes infoText = InstrumentHead({kSH}, "600000", 98);
  infoText[9] = 1;
  const uint32_t farOffset = 1u << 30;
  std::memcpy(infoText.data() + 90, &farOffset, 4);
  infoText.push_back('x');
  Bytes codePiece = Body({kSH, 5, 0, 1, 0, 40, 0});
  codePiece.resize(7 + 32, 'A');
  Bytes brokerQueue = InstrumentHead({kSH}, "600000", 9);
  brokerQueue.resize(9 + sizeof(BROKERQUEUE) - 1, 7);  // one byte short of its layout

  struct Case {
    const char *name;
    REQUESTREC request;
    uint8_t command;
    Bytes body;
    std::string untouched;  // a file that must not appear
    // Bars are no late answer while no request was given up on: they
    // answer the request, though they are dropped.
    bool retires = false;
  } cases[] = {
      {"bars of another instrument", Request(REQ_DAY_BARS, kSH, "600000", 8), FRAME_BARS, bars,
       "data/SH/day/600010.da1", true},
      {"bars of another base", Request(REQ_DAY_BARS, kSH, "600000", 8), FRAME_BARS, minuteBars, "", true},
      {"a trend day of another date", Request(REQ_TREND_HISTORY, kSH, "600000", 0, MakePackedDateTime(2024, 1, 12)),
       FRAME_TREND_HISTORY, trendDay,
       "data/SH/trend/600000" + std::to_string(MakePackedDateTime(2024, 1, 11)) + ".ot3"},
      {"a news text while a news list flies", Request(REQ_NEWS, 0, "", 0), FRAME_NEWS, Body({2, 1, 'x', 'y'}), ""},
      {"a note of another channel", Request(REQ_NOTE, 2, "", 5), FRAME_NOTES, Body({1, 3, 'x'}), "data/notes/key1"},
      {"an information text at another offset", Request(REQ_BASE_TEXT, kSH, "600000", 1, 256, 64), FRAME_BASE_TEXT,
       infoText, "data/SH/base/6000001.txt"},
      {"a code-table piece from another entry", Request(REQ_CODE_TABLE, kSH, "", 0), FRAME_CODE_TABLE, codePiece,
       "data/SH/codetemp.shd"},
      {"a broker queue one byte short", Request(REQ_BROKER_QUEUE, kSH, "600000"), FRAME_BROKER_QUEUE, brokerQueue, ""},
  };
  const std::string minuteFile = Read("data/SH/min1/600000.m11");
  std::memset(&MarketAt(kSH)->m_brokerQueues[kBank], 0, sizeof(BROKERQUEUE));
  for (Case &c : cases) {
    SCOPED_TRACE(c.name);
    if (c.request.kind == REQ_NOTE) std::strcpy(c.request.text, "key1");
    ResetRequestQueue();
    Ask(c.request);
    // A news text behind the list must not receive the list's answer either.
    if (c.command == FRAME_NEWS) Ask(Request(REQ_NEWS, 0, "", 2, 24002));
    platform::ProcessPendingMessages();
    const size_t posted = trace_.Messages().size();
    Answer(c.command, c.body);
    if (c.retires) {
      EXPECT_EQ(OldestRequestInFlight(), nullptr);
    } else {
      ASSERT_NE(OldestRequestInFlight(), nullptr);
      EXPECT_EQ(OldestRequestInFlight()->kind, c.request.kind);
    }
    platform::ProcessPendingMessages();
    EXPECT_EQ(trace_.Messages().size(), posted);
    if (!c.untouched.empty()) EXPECT_FALSE(box_.Exists(c.untouched)) << c.untouched;
  }
  EXPECT_EQ(Read("data/SH/min1/600000.m11"), minuteFile);
  EXPECT_EQ(Read("data/info/00024002.txt"), "<none>");
  const BROKERQUEUE empty{};
  EXPECT_EQ(std::memcmp(&MarketAt(kSH)->m_brokerQueues[kBank], &empty, sizeof empty), 0);
}

TEST_F(ForeignAnswerTest, NewsTextsKeepTheirFirstPartAndNoteKeysStayInTheirFolder) {
  Remove("data/info/00024001.txt");
  Ask(Request(REQ_NEWS, 1, "", 2, 24001));
  Answer(FRAME_NEWS, Body({2, 1, 'A', 'B'}), 2, 0);
  Answer(FRAME_NEWS, Body({2, 1, 'C', 'D'}), 2, 1);
  EXPECT_EQ(Read("data/info/00024001.txt"), "ABCD");
  EXPECT_EQ(OldestRequestInFlight(), nullptr);

  // A part that does not follow the one before is not the same answer.
  Ask(Request(REQ_NEWS, 1, "", 2, 24001));
  Answer(FRAME_NEWS, Body({2, 1, 'E'}), 3, 0);
  Answer(FRAME_NEWS, Body({2, 1, 'G'}), 3, 2);
  EXPECT_EQ(Read("data/info/00024001.txt"), "E");
  ASSERT_NE(OldestRequestInFlight(), nullptr);
  ResetRequestQueue();

  for (const char *key : {"..\\escape", "a/b", "c\\d", "x:y", ""}) {
    SCOPED_TRACE(key);
    REQUESTREC r = Request(REQ_NOTE, 0, "", 1);
    std::strcpy(r.text, key);
    Ask(r);
    Answer(FRAME_NOTES, Body({1, 0, 'x'}));
    EXPECT_EQ(OldestRequestInFlight(), nullptr);  // answered, but nothing written
  }
  EXPECT_FALSE(std::filesystem::exists(box_.Path("data/escape")));
  EXPECT_FALSE(std::filesystem::exists(box_.Path("data/notes")) && !std::filesystem::is_empty(box_.Path("data/notes")));
  EXPECT_TRUE(reloadedNotes_.empty());
}

TEST_F(ForeignAnswerTest, OutOfRangeInstrumentsAndShortBodiesWriteNothing) {
  // Fast changes for instruments the table does not have.
  STKMS *listed = new STKMS[1]{{kSH, kBank}};
  RequestSortData(0, 21, 1, listed, 1, 1);
  Bytes records = Body({0});
  const float now = 11, before = 10;
  for (STKMS s : {STKMS{47, 0}, STKMS{kSH, 9999}, STKMS{kSH, kBank}}) {
    records.push_back(s.market);
    Put(records, &s.stock, 2);
    Put(records, &now, 4);
    Put(records, &before, 4);
  }
  MarketAt(kSH)->m_quotes[kBank].fastChange = 0;
  Answer(FRAME_SORT_DATA, records);
  EXPECT_FLOAT_EQ(MarketAt(kSH)->m_quotes[kBank].fastChange, 10.0f);

  // Every command with bodies from empty to one byte short of its layout.
  const struct {
    uint8_t command;
    size_t head;
  } layouts[] = {{FRAME_MINUTE_TREND, 14},  {FRAME_RECENT_TRADES, 13},  {FRAME_BARS, 14},
                 {FRAME_NEWS, 2},           {FRAME_NOTES, 2},           {FRAME_WEIGHTS, 13},
                 {FRAME_TICKS, 14},         {FRAME_BASE_TEXT_FILE, 13}, {FRAME_TREND_HISTORY, 14},
                 {FRAME_ADVICE, 9},         {FRAME_NAME_TABLE, 1},      {FRAME_BASE_INDEX, 14},
                 {FRAME_BASE_TEXT, 98},     {FRAME_CODE_TABLE, 7},      {FRAME_BROKER_QUEUE, 9 + sizeof(BROKERQUEUE)},
                 {FRAME_SYSTEM_MESSAGE, 4}, {FRAME_REALTIME_MESSAGE, 4}};
  for (const auto &l : layouts)
    for (size_t n = 0; n < l.head; ++n) Answer(l.command, Bytes(n, 0xEE));
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace_.Count(WM_STOCK_DATA, main_), 0u);
}

// ---- Malformed streams ---------------------------------------------------------------

// Random requests from the builders, so that answers of every kind find a
// request to belong to (or not).
void AskSomething(std::mt19937 &rng) {
  const int market = int(rng() % 5), stock = int(rng() % 40);
  switch (rng() % 12) {
    case 0: RequestBars(market, stock, int(rng() % 15), 0, rng() % 2, rng() % 4); break;
    case 1: RequestTicks(market, stock, 1); break;
    case 2: RequestMinuteTrend(market, stock, 1); break;
    case 3: RequestRecentTrades(market, stock, 50, 1); break;
    case 4: RequestTrendHistory(market, stock, MakePackedDateTime(2024, 1, 11 + rng() % 3), 1); break;
    case 5: RequestNewsBody(2, 24001 + rng() % 8); break;
    case 6: RequestNoteBody(int(rng() % 3), "n0100.txt", 1); break;
    case 7: RequestBaseText(market, stock, 1, "x", uint32_t(rng() % 300), 64, 1); break;
    case 8: RequestCodeTable(market, 0); break;
    case 9: RequestSortData(1, int(rng() % 30), uint32_t(rng() % 12), nullptr, kViewTag, int(rng() % 2)); break;
    case 10: RequestNotesList(int(rng() % 3)); break;
    default: RequestBrokerQueue(market, stock); break;
  }
}

// A frame that may be anything: a real answer, the same broken in one of
// several ways, or noise.
Bytes MalformedFrame(std::mt19937 &rng, const QuoteRequestServer &server) {
  static const std::vector<uint8_t> kCommands = [] {
    std::vector<uint8_t> commands = QuoteRequestServer::Commands();
    commands.push_back(FRAME_SERVER_TEXT);
    commands.push_back(FRAME_KEEPALIVE);
    return commands;
  }();
  const uint8_t command = kCommands[rng() % kCommands.size()];
  // A plausible request for the command, answered by the data set.
  Bytes request(98, 0);
  request[0] = uint8_t(rng() % 3);
  request[1] = uint8_t(rng() % 4);
  const char *codes[] = {"600000", "000001", "CU05", "EURUSD", "ZZZZ"};
  const char *code = codes[rng() % 5];
  std::memcpy(request.data() + (rng() % 2 ? 1 : 2), code, std::strlen(code));
  const QuoteRequestServer::Reply reply = server.Serve(command, request);
  Bytes body = reply.parts.empty() ? Bytes() : reply.parts[rng() % reply.parts.size()];
  uint16_t count = uint16_t(reply.parts.size()), index = uint16_t(rng() % std::max<size_t>(reply.parts.size(), 1));
  uint8_t compressed = 0;
  switch (rng() % 8) {
    case 0: break;  // as it is
    case 1:
      for (int flips = 1 + int(rng() % 8); flips > 0 && !body.empty(); --flips)
        body[rng() % body.size()] ^= uint8_t(1 << (rng() % 8));
      break;
    case 2: body.resize(rng() % (body.size() + 1)); break;
    case 3:
      body.resize(rng() % 300);
      for (uint8_t &b : body) b = uint8_t(rng());
      break;
    case 4:
      count = uint16_t(rng() % 4);
      index = uint16_t(rng() % 4);
      break;
    case 5:
      body = LzwEncode(body.data(), body.size());
      compressed = 1;
      break;
    case 6:
      body = LzwEncode(body.data(), body.size());
      if (body.size() > 5) body[5 + rng() % (body.size() - 5)] ^= 0x55;
      compressed = 1;
      break;
    default:
      body.assign(rng() % 64, uint8_t(rng()));
      compressed = uint8_t(rng() % 2);
      break;
  }
  if (body.size() > size_t(kMaxFrameBody)) body.resize(kMaxFrameBody);
  Bytes frame =
      QuoteDouble::MakeFrame(reply.command == FRAME_SERVER_TEXT && rng() % 2 ? uint8_t(FRAME_SERVER_TEXT) : command,
                             body, count, index, compressed);
  if (rng() % 10 == 0) frame.resize(rng() % frame.size());  // cut anywhere, the head too
  return frame;
}

TEST_F(ForeignAnswerTest, RandomBrokenAnswersNeverCrashTheDispatch) {
  std::mt19937 rng(115);
  QuoteRequestServer server(desc_);
  TAnswerReader reader;
  char text[TNormalClnt::kTextSize] = {};
  for (int round = 0; round < 4000; ++round) {
    if (RequestsInFlight() < 2) AskSomething(rng);
    const Bytes frame = MalformedFrame(rng, server);
    if (frame.size() < size_t(kFrameHeadSize)) continue;
    FRAMEHEAD head;
    std::memcpy(&head, frame.data(), sizeof head);
    if (head.compressed || CheckFrameHead(head, FrameLink::kRequest) != FrameError::kNone) continue;
    const int length = int(frame.size()) - kFrameHeadSize;
    reader.Dispatch(head, frame.data() + kFrameHeadSize, length, text, sizeof text);
    if (round % 200 == 0) platform::ProcessPendingMessages();
  }
  ASSERT_EQ(text[sizeof text - 1], 0);
}

TEST_F(LoopbackTest, MalformedAndTruncatedStreamsNeverCrashTheClient) {
  std::mt19937 rng(20240115);
  // Nothing is answered by the double itself: the stream is all ours.
  for (int command = 0; command < 256; ++command)
    if (command != FRAME_LOGIN && command != FRAME_DS_LOGIN)
      quotes_.SetHandler(QuoteDouble::kData, uint8_t(command), nullptr);
  // Whatever state a stream leaves the reader in, a run of 'A' longer than
  // any frame ends in a head with a bad mark, which closes the connection.
  const Bytes poison(kReceiveBufferSize + 16, 'A');
  int closedByStream = 0;
  for (int round = 0; round < 120; ++round) {
    SCOPED_TRACE(round);
    for (int n = int(rng() % 3); n > 0; --n) AskSomething(rng);
    Bytes stream;
    for (int n = 1 + int(rng() % 6); n > 0; --n) {
      const Bytes frame = MalformedFrame(rng, *server_);
      stream.insert(stream.end(), frame.begin(), frame.end());
    }
    stream.insert(stream.end(), poison.begin(), poison.end());
    ASSERT_TRUE(quotes_.Send(QuoteDouble::kData, stream));
    ASSERT_TRUE(PumpUntil([&] { return Closed(); }, 10000));
    ++closedByStream;
    ASSERT_TRUE(Connect());
  }
  EXPECT_EQ(closedByStream, 120);
}

}  // namespace
