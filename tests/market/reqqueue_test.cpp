// The request queue and the request builders, without a connection: with
// no request client every request counts as sent, so the flight shows what
// went out and in which order, and completing the oldest request lets the
// next one through.
#include "market/reqqueue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/efile.h"
#include "market/answer.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "market/reqbuild.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/path.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"
#include "testing/quote_double.h"

using market_fixture::MarketSandbox;

namespace {

constexpr FRAMEHEAD Answer(uint8_t command) { return FRAMEHEAD{kFrameMark, command, 1, 0, 3, 0, 0}; }

REQUESTREC Request(int kind, int market, const char *code, uint32_t tag = 0, int sub = 0) {
  REQUESTREC r;
  std::memset(&r, 0, sizeof r);
  r.kind = uint8_t(kind);
  r.market = uint16_t(market);
  r.sub = sub;
  std::snprintf(r.code, sizeof r.code, "%s", code);
  r.tag = tag;
  return r;
}

REQUESTREC Bars(const char *code, uint32_t tag, int base = 1) { return Request(REQ_MINUTE_BARS, 0, code, tag, base); }

// Everything the queue sends, in order: the oldest request in flight is
// taken and completed with a server text, which completes any request.
std::vector<REQUESTREC> Drain() {
  std::vector<REQUESTREC> sent;
  while (const REQUESTREC *r = OldestRequestInFlight()) {
    sent.push_back(*r);
    CompleteRequest(Answer(FRAME_SERVER_TEXT));
  }
  return sent;
}

std::vector<std::string> Codes(const std::vector<REQUESTREC> &requests) {
  std::vector<std::string> codes;
  for (const REQUESTREC &r : requests) codes.push_back(r.code);
  return codes;
}

// A code list the queue must free exactly once (the sanitizers check).
STKMS *CodeList(int n) {
  STKMS *list = new STKMS[size_t(n)];
  for (int i = 0; i < n; ++i) list[i] = STKMS{0, uint16_t(i)};
  return list;
}

class QueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRequestQueue();
    SetQueueClient(nullptr);
  }
  void TearDown() override { ResetRequestQueue(); }
  ScopedFakeClock clock_;
};

TEST_F(QueueTest, KeepsTwoInFlightAndSendsTheNextWhenTheOldestIsAnswered) {
  EnqueueRequest(Bars("600000", 1));
  EnqueueRequest(Bars("600010", 2));
  EnqueueRequest(Bars("600028", 3));
  EXPECT_EQ(RequestsInFlight(), 2);
  EXPECT_EQ(RequestsQueued(), 1);
  EXPECT_STREQ(OldestRequestInFlight()->code, "600000");

  // An answer of another command leaves the flight alone.
  EXPECT_EQ(CompleteRequest(Answer(FRAME_TICKS)), 0);
  EXPECT_EQ(RequestsInFlight(), 2);
  EXPECT_EQ(CompleteRequest(Answer(FRAME_BARS)), 0);
  EXPECT_EQ(RequestsInFlight(), 2);
  EXPECT_EQ(RequestsQueued(), 0);
  EXPECT_EQ(Codes(Drain()), (std::vector<std::string>{"600010", "600028"}));
}

TEST_F(QueueTest, DuplicatesAreDroppedAndAnAskerReplacesItsUnsentRequest) {
  // Two requests fill the flight so that the rest stays queued.
  EnqueueRequest(Request(REQ_BROKER_QUEUE, 0, "A"));
  EnqueueRequest(Request(REQ_BROKER_QUEUE, 0, "B"));

  EnqueueRequest(Bars("600000", 7));
  EnqueueRequest(Bars("600010", 8));
  EnqueueRequest(Bars("600000", 9));                   // identical to a queued one: dropped
  EnqueueRequest(Bars("600000", 9, 4));                // another base is another request
  EnqueueRequest(Bars("600036", 7));                   // asker 7 asks for something else: takes its place
  EnqueueRequest(Request(REQ_TICKS, 0, "600000", 7));  // another kind of the same asker is no replacement
  EnqueueRequest(Request(REQ_BROKER_QUEUE, 0, "A"));   // kinds without rules are always appended
  EnqueueRequest(Bars("600519", 0));
  EnqueueRequest(Bars("601318", 0));  // tag 0 is no asker and replaces nothing

  const std::vector<REQUESTREC> sent = Drain();
  EXPECT_EQ(Codes(sent),
            (std::vector<std::string>{"A", "B", "600036", "600010", "600000", "600000", "A", "600519", "601318"}));
  EXPECT_EQ(sent[4].sub, 4);
  EXPECT_EQ(sent[5].kind, REQ_TICKS);
}

TEST_F(QueueTest, RequestsInFlightOrJustAnsweredAreNotAskedAgain) {
  EnqueueRequest(Request(REQ_TICKS, 0, "600000", 1));
  EnqueueRequest(Request(REQ_TICKS, 0, "600000", 2));  // in flight: dropped
  EXPECT_EQ(RequestsInFlight(), 1);
  EXPECT_EQ(IsTickRequestPending("600000", 0), 1);
  EXPECT_EQ(IsTickRequestPending("600000", 1), 0);
  CompleteRequest(Answer(FRAME_TICKS));

  // Answered less than a second ago.
  clock_.Advance(999);
  EXPECT_EQ(IsTickRequestPending("600000", 0), 1);
  EnqueueRequest(Request(REQ_TICKS, 0, "600000", 3));
  EXPECT_EQ(RequestsInFlight(), 0);
  clock_.Advance(1);
  EXPECT_EQ(IsTickRequestPending("600000", 0), 0);
  EnqueueRequest(Request(REQ_TICKS, 0, "600000", 3));
  EXPECT_EQ(RequestsInFlight(), 1);
  CompleteRequest(Answer(FRAME_TICKS));

  // Weights once answered are not asked again while in the history.
  EnqueueRequest(Request(REQ_WEIGHTS, 0, "600000"));
  CompleteRequest(Answer(FRAME_WEIGHTS));
  clock_.Advance(60000);
  EnqueueRequest(Request(REQ_WEIGHTS, 0, "600000"));
  EXPECT_EQ(RequestsInFlight(), 0);

  // A news list is dropped while one flies, and a newer one replaces a
  // queued one.
  REQUESTREC news = Request(REQ_NEWS, 0, "");
  EnqueueRequest(news);
  news.value1 = 5;
  EnqueueRequest(news);
  EXPECT_EQ(RequestsInFlight(), 1);
  EXPECT_EQ(OldestRequestInFlight()->value1, 0u);
  Drain();
  EnqueueRequest(Request(REQ_BROKER_QUEUE, 0, "A"));
  EnqueueRequest(Request(REQ_BROKER_QUEUE, 0, "B"));
  EnqueueRequest(news);
  news.value1 = 6;
  EnqueueRequest(news);
  const std::vector<REQUESTREC> sent = Drain();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[2].value1, 6u);
}

TEST_F(QueueTest, ARequestUnansweredFor20SecondsGivesUpItsSlotAtTheNextEnqueue) {
  EnqueueRequest(Bars("600000", 1));
  clock_.Advance(5000);
  EnqueueRequest(Bars("600010", 2));
  EnqueueRequest(Bars("600028", 3));
  ASSERT_EQ(RequestsQueued(), 1);

  clock_.Advance(kRequestTimeoutMs - 5000 - 1);
  EnqueueRequest(Request(REQ_SYSTEM_MESSAGE, 0, ""));
  EXPECT_STREQ(OldestRequestInFlight()->code, "600000");
  clock_.Advance(1);
  EnqueueRequest(Request(REQ_SYSTEM_MESSAGE, 0, ""));
  // The first timed out; the second has not yet, and the third flies now.
  EXPECT_EQ(RequestsInFlight(), 2);
  EXPECT_STREQ(OldestRequestInFlight()->code, "600010");
  // A request that timed out keeps nothing from being asked again.
  EnqueueRequest(Bars("600000", 4));
  EXPECT_EQ(Codes(Drain()), (std::vector<std::string>{"600010", "600028", "", "", "600000"}));
}

TEST_F(QueueTest, AFullQueueAndUnsendableRankingsDropTheRequestAndFreeItsCodeList) {
  REQUESTREC ranking = Request(REQ_SORT_DATA, 0, "", 1, 2);
  ranking.value1 = 700;  // more codes than the send buffer holds
  ranking.codes = CodeList(700);
  EnqueueRequest(ranking);
  ranking.sub = 9;  // a sort kind without a column
  ranking.value1 = 3;
  ranking.codes = CodeList(3);
  EnqueueRequest(ranking);
  EXPECT_EQ(RequestsInFlight(), 0);

  for (int i = 0; i < kRequestRingSize; ++i) EnqueueRequest(Request(REQ_BROKER_QUEUE, 0, "A"));
  EXPECT_EQ(RequestsInFlight() + RequestsQueued(), kRequestRingSize);
  ranking.sub = 2;
  ranking.codes = CodeList(3);
  EnqueueRequest(ranking);
  EXPECT_EQ(RequestsQueued(), kRequestRingSize - 2);

  // A ranking of the same asker replaces the queued one, whose list goes;
  // the rest go at the reset.
  ResetRequestQueue();
  EnqueueRequest(Request(REQ_BROKER_QUEUE, 0, "A"));
  EnqueueRequest(Request(REQ_BROKER_QUEUE, 0, "B"));
  ranking.codes = CodeList(3);
  EnqueueRequest(ranking);
  ranking.codes = CodeList(4);
  ranking.value1 = 4;
  EnqueueRequest(ranking);
  EXPECT_EQ(RequestsQueued(), 1);
}

TEST_F(QueueTest, ServerTextsEndNewsLoadingAndReportATrendDayWithoutData) {
  testing_support::MessageTrace trace;
  HWND main = trace.Create(0);
  QuoteClientHooks().mainWindow = main;
  TNewsIndex index;
  NewsIndex = &index;
  std::vector<TRENDDAYNOTE> notes;
  static std::vector<TRENDDAYNOTE> *seen;
  seen = &notes;
  trace.SetHandler(main, [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_STOCK_DATA && w >> 16 == FRAME_TREND_HISTORY) seen->push_back(*reinterpret_cast<TRENDDAYNOTE *>(l));
    return 0;
  });

  // A page of newer news of type 0 asks for the next page; the server text
  // that ends the paging ends the loading.
  index.SetListLoading(true);
  REQUESTREC news = Request(REQ_NEWS, 0, "");
  EnqueueRequest(news);
  EXPECT_EQ(CompleteRequest(Answer(FRAME_NEWS)), 1);
  news.value2 = 1;  // older news: no next page
  EnqueueRequest(news);
  EXPECT_EQ(CompleteRequest(Answer(FRAME_NEWS)), 0);
  news.value2 = 0;
  EnqueueRequest(news);
  EXPECT_EQ(CompleteRequest(Answer(FRAME_SERVER_TEXT)), 0);
  EXPECT_FALSE(index.IsListLoading());

  REQUESTREC day = Request(REQ_TREND_HISTORY, 0, "X");
  day.value1 = MakePackedDateTime(2024, 1, 12);
  EnqueueRequest(day);
  CompleteRequest(Answer(FRAME_SERVER_TEXT));
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_STOCK_DATA, main), 2u);  // the loading's end, then the day
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].date, day.value1);
  EXPECT_EQ(notes[0].stock, STKPTR(0, 0, kNoStock).Word());  // no market table: no instrument

  NewsIndex = nullptr;
  QuoteClientHooks().mainWindow = nullptr;
}

// ---- Builders -----------------------------------------------------------------

// Shanghai-like market 0 with a stock of each of its two kinds; the clock
// stands at Monday 2024-01-15 10:00 market time (02:00 UTC).
class BuilderTest : public QueueTest {
 protected:
  void SetUp() override {
    QueueTest::SetUp();
    MKINFO sh = market_fixture::MakeMarket("SH", "shd", 1, 8);
    market_fixture::AddKind(sh, "IDX", {{570, 690}, {780, 900}}, 540, 960);
    market_fixture::AddKind(sh, "A", {{570, 690}, {780, 900}}, 540, 960);
    box_.WriteMarketInfo({sh});
    box_.WriteTable(sh, "nametbl",
                    std::vector<STKINFO>{market_fixture::MakeStock(0, 0, "000001", "idx"),
                                         market_fixture::MakeStock(0, 1, "600000", "bank")});
    UpdateCurrentUtcTime();
    LoadHolidayLists();
    TakeOverRights(QuoteDouble::DefaultGrant());
    io_ = std::make_unique<TDataIO>(nullptr);
    ASSERT_EQ(MarketTable.loadState, 0);
    market_ = MarketAt(0);
  }
  void TearDown() override {
    io_.reset();
    ClearRights();
    QueueTest::TearDown();
  }

  std::string Path(CacheKind kind, int stock = 1, uint32_t number = 0) {
    char path[MAX_PATH];
    EXPECT_EQ(CacheFilePath(market_, stock, kind, path, sizeof path, number), 1);
    return path;
  }
  // Writes records and sets the file's last-write time (UTC).
  template <class T>
  void WriteFile(const std::string &path, const std::vector<T> &records, PackedDateTime utc) {
    MakeDirChain(path.substr(0, path.rfind('\\')).c_str());
    ASSERT_EQ(platform::WriteFileReplacing(
                  platform::ResolvePath(path.c_str()),
                  std::string_view(reinterpret_cast<const char *>(records.data()), records.size() * sizeof(T))),
              0u);
    Stamp(path, utc);
  }
  static void Stamp(const std::string &path, PackedDateTime utc) {
    SYSTEMTIME st{};
    st.wYear = WORD(PackedYear(utc));
    st.wMonth = WORD(PackedMonth(utc));
    st.wDay = WORD(PackedDay(utc));
    st.wHour = WORD(PackedHour(utc));
    st.wMinute = WORD(PackedMinute(utc));
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &ft);
    CloseHandle(file);
  }
  static int32_t Size(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? int32_t(data.nFileSizeLow) : -1;
  }
  static std::vector<KLINEBAR> DayBars(PackedDateTime first, int n) {
    std::vector<KLINEBAR> bars(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      std::memset(&bars[size_t(i)], 0, sizeof(KLINEBAR));
      bars[size_t(i)].time = first;
      bars[size_t(i)].close = uint32_t(1000 + i);
      first = PackedNextDay(first);
    }
    return bars;
  }

  MarketSandbox box_;
  std::unique_ptr<TDataIO> io_;
  TMarketData *market_ = nullptr;
  const PackedDateTime now_ = MakePackedDateTime(2024, 1, 15, 2, 0);
  const PackedDateTime yesterday_ = MakePackedDateTime(2024, 1, 14, 2, 0);
};

TEST_F(BuilderTest, ChartPeriodsAskForTheirBase) {
  struct Case {
    int period, n;
    int kind, base;
  } cases[] = {
      {3, 17, REQ_MINUTE_BARS, 1}, {3, 15, REQ_MINUTE_BARS, 4},  {3, 120, REQ_MINUTE_BARS, 7},
      {1, 0, REQ_MINUTE_BARS, 1},  {6, 0, REQ_MINUTE_BARS, 4},   {13, 0, REQ_MINUTE_BARS, 7},
      {14, 0, REQ_MINUTE_BARS, 7}, {12, 10, REQ_DAY_BARS, 8},    {9, 0, REQ_DAY_BARS, 8},
      {0, 0, REQ_MINUTE_BARS, 1},  {200, 0, REQ_MINUTE_BARS, 1},
  };
  for (const Case &c : cases) {
    RequestBars(0, 1, c.period, c.n, false, 1);
    const std::vector<REQUESTREC> sent = Drain();
    ASSERT_EQ(sent.size(), 1u) << "period " << c.period;
    EXPECT_EQ(sent[0].kind, c.kind) << "period " << c.period;
    EXPECT_EQ(sent[0].sub, c.base) << "period " << c.period;
    EXPECT_STREQ(sent[0].code, "600000");
    EXPECT_EQ(sent[0].value1, 0u);  // no file: everything
  }
  // Without the market right nothing is asked.
  ClearRights();
  RequestBars(0, 1, 8, 0, false, 1);
  RequestTicks(0, 1, 1);
  EXPECT_TRUE(Drain().empty());
}

TEST_F(BuilderTest, ADayFileOfAnEarlierDayLosesItsLastFiveBarsAndAsksFromThere) {
  const std::string path = Path(kCacheDayBars);
  WriteFile(path, DayBars(MakePackedDateTime(2023, 12, 1), 40), yesterday_);  // up to 2024-01-09
  RequestBars(0, 1, 8, 0, false, 1);
  std::vector<REQUESTREC> sent = Drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Size(path), 35 * 40);
  EXPECT_EQ(sent[0].value1, MakePackedDateTime(2024, 1, 5));  // the day after the new last bar
  EXPECT_EQ(sent[0].value2, 0u);
  // The file now carries today's time: the same day asks nothing more.
  RequestBars(0, 1, 8, 0, false, 1);
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(Size(path), 35 * 40);

  // With the history flag: everything before the oldest bar.
  RequestBars(0, 1, 8, 0, true, 1);
  sent = Drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].value1, 0u);
  EXPECT_EQ(sent[0].value2, MakePackedDateTime(2023, 11, 30));
}

TEST_F(BuilderTest, AMinuteFileOfAnEarlierDayLosesItsLastDate) {
  const std::string path = Path(kCacheMin1Bars);
  std::vector<KLINEBAR> bars;
  for (int day : {11, 12})
    for (int minute = 0; minute < 3; ++minute) {
      KLINEBAR b{};
      b.time = MakePackedDateTime(2024, 1, unsigned(day), 10, unsigned(minute));
      bars.push_back(b);
    }
  WriteFile(path, bars, yesterday_);
  RequestBars(0, 1, 1, 0, false, 1);
  std::vector<REQUESTREC> sent = Drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Size(path), 3 * 40);
  EXPECT_EQ(sent[0].value1, MakePackedDateTime(2024, 1, 12));

  // History of a minute file: up to the minute before its first bar, which
  // at 10:00 is 09:59.
  RequestBars(0, 1, 1, 0, true, 1);
  sent = Drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].value2, MakePackedDateTime(2024, 1, 11, 9, 59));

  // A single bar of an earlier day empties the file.
  WriteFile(path, std::vector<KLINEBAR>(1, bars[0]), yesterday_);
  RequestBars(0, 1, 1, 0, false, 1);
  ASSERT_EQ(Drain().size(), 1u);
  EXPECT_EQ(Size(path), 0);
}

TEST_F(BuilderTest, TicksAskFromWhatTodaysFileHolds) {
  const std::string path = Path(kCacheTicks);
  std::vector<TICKREC> ticks(3);
  for (size_t i = 0; i < ticks.size(); ++i) {
    std::memset(&ticks[i], 0, sizeof(TICKREC));
    ticks[i].price = uint32_t(7000 + i);
    ticks[i].volume = float(100 * (i + 1));
  }
  struct Case {
    const char *what;
    PackedDateTime written;  // UTC; market time is 8 hours later
    uint32_t from;
    bool kept;
  } cases[] = {
      {"today after the day start", MakePackedDateTime(2024, 1, 15, 1, 30), 3, true},
      {"today before the day start", MakePackedDateTime(2024, 1, 15, 0, 30), 0, false},
      {"yesterday", yesterday_, 0, false},
  };
  for (const Case &c : cases) {
    WriteFile(path, ticks, c.written);
    std::memset(&market_->m_quotes[1], 0, sizeof(REALQUOTE));
    RequestTicks(0, 1, 5);
    const std::vector<REQUESTREC> sent = Drain();
    ASSERT_EQ(sent.size(), 1u) << c.what;
    EXPECT_EQ(sent[0].kind, REQ_TICKS);
    EXPECT_EQ(sent[0].value1, c.from) << c.what;
    EXPECT_EQ(Size(path), c.kept ? 60 : -1) << c.what;
    // A kept file brings the quote up to its last trade.
    EXPECT_EQ(market_->m_quotes[1].last, c.kept ? 7002u : 0u) << c.what;
    clock_.Advance(kRecentAnswerMs);
  }
}

TEST_F(BuilderTest, NewsListsAskAfterTheNewestOrBeforeTheOldestKnownItem) {
  TNewsIndex index;
  NewsIndex = &index;
  index.Load();
  RequestNewsList(true, 3);  // nothing known: the newest, from 0
  std::vector<REQUESTREC> sent = Drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].value1, 0u);
  EXPECT_EQ(sent[0].value2, 0u);

  NEWSREC item{};
  item.typeAndRead = 3 << 1;
  item.id = 50;
  index.Insert(item, false);
  item.id = 80;
  index.Insert(item, false);
  RequestNewsList(false, 3);
  sent = Drain();
  RequestNewsList(true, 3);
  const std::vector<REQUESTREC> older = Drain();
  sent.insert(sent.end(), older.begin(), older.end());
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].value1, 81u);
  EXPECT_EQ(sent[1].value1, 49u);
  EXPECT_EQ(sent[1].value2, 1u);
  EXPECT_EQ(sent[1].market, 3);

  item.id = 0;
  index.Insert(item, false);
  RequestNewsList(true, 3);  // the oldest is id 0: nothing before it
  EXPECT_TRUE(Drain().empty());
  NewsIndex = nullptr;
}

TEST_F(BuilderTest, DatedFilesAreKeptForTheirTradingDate) {
  const std::string weights = Path(kCacheWeight);
  WriteFile(weights, std::vector<uint8_t>(8, 1), now_);
  RequestWeights(0, 1, 1);
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(Size(weights), 8);
  // Friday's file, seen on Monday: another trading date.
  WriteFile(weights, std::vector<uint8_t>(8, 1), MakePackedDateTime(2024, 1, 12, 2, 0));
  RequestWeights(0, 1, 1);
  EXPECT_EQ(Drain().size(), 1u);
  EXPECT_EQ(Size(weights), -1);

  // An information index written in this session: class 1 is kept, class
  // 3 asks for the entries after those held.
  TNormalClnt client;  // not logged in: its session started at the epoch
  SetQueueClient(&client);
  for (int infoClass : {1, 3}) {
    WriteFile(Path(kCacheInfoIndex, 1, uint32_t(infoClass)), std::vector<uint8_t>(512, 0), now_);
    EXPECT_EQ(RequestBaseIndex(0, 1, infoClass, 1), infoClass == 3);
  }
  const std::vector<REQUESTREC> sent = Drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].value1, 3u);
  EXPECT_EQ(sent[0].value2, 2u);
  SetQueueClient(nullptr);

  // The code-table download starts with an empty buffer.
  box_.Write("data/SH/codetemp.shd", "x", 1);
  RequestCodeTable(0, 0);
  EXPECT_FALSE(box_.Exists("data/SH/codetemp.shd"));
  ASSERT_EQ(Drain().size(), 1u);
}

}  // namespace
