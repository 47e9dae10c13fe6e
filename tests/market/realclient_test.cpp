#include "market/realclient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/newsindex.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/memory.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "testing/closed_port.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/proxy_doubles.h"
#include "testing/pump.h"
#include "testing/quote_double.h"
#include "testing/quote_double_push.h"

using market_fixture::DataSetDesc;
using testing_support::PumpUntil;
using Item = QuotePushDouble::Item;
using Compression = QuotePushDouble::Compression;

// Present in sanitized builds only.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *, size_t),
                                                         void (*free_hook)(const volatile void *))
    __attribute__((weak));

namespace {

constexpr uint32_t kSession = 0x5A17C0DEu;
constexpr int kSH = 0, kWH = 2, kQH = 3;

PackedDateTime UtcNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return MakePackedDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
}

// What the main window got, copied while the message was handled: slots
// and news records live only during their send.
struct MainEvent {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  MFEVENTSLOT slot{};
  NEWSREC news{};
  std::string text;  // of a session-end block, which the receiver frees
};
std::vector<MainEvent> *g_events = nullptr;
size_t g_eventBytes = 0;  // counts without storing, for the allocation check

LRESULT MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MF_EVENT || message == WM_NEWS_ARRIVED || message == WM_QUOTE_EVENT || message == WM_STOCK_DATA) {
    if (!g_events) {
      if (message == WM_MF_EVENT && lParam) g_eventBytes += reinterpret_cast<const MFEVENTSLOT *>(lParam)->flags;
      return 0;
    }
    MainEvent e;
    e.message = message;
    e.wParam = wParam;
    e.lParam = lParam;
    if (message == WM_MF_EVENT && (wParam == kMfQuote || wParam == kMfPriceHead))
      e.slot = *reinterpret_cast<const MFEVENTSLOT *>(lParam);
    if (message == WM_NEWS_ARRIVED) e.news = *reinterpret_cast<const NEWSREC *>(lParam);
    if (message == WM_QUOTE_EVENT && wParam == kQuoteEventSessionEnd && lParam) {
      const char *block = reinterpret_cast<const char *>(lParam);
      e.text = block + kSessionMessageText;
      HeapFree(GetProcessHeap(), 0, reinterpret_cast<void *>(lParam));
    }
    g_events->push_back(e);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeMainWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &MainProc;
    wc.lpszClassName = "KivoPushMain";
    RegisterClassA(&wc);
    registered = true;
  }
  return CreateWindowExA(0, "KivoPushMain", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// A quote with a five-level book around 1000 and some volume.
REALQUOTE BookQuote() {
  REALQUOTE q{};
  q.prevClose = q.refPrice = 990;
  q.high = 1010;
  q.low = 985;
  q.last = 1000;
  q.volume = 5000;
  q.amount = 5e6f;
  q.lastVolume = 5;
  for (int level = 0; level < 5; ++level) {
    q.bid[level] = QUOTELEVEL{uint32_t(999 - level), 10};
    q.ask[level] = QUOTELEVEL{uint32_t(1001 + level), 10};
  }
  q.barSettlement = 7;
  return q;
}

// Each test runs in a market sandbox holding the standard data set (built
// into the market table offline) at 2024-01-15 02:00 UTC on the fake
// clock, with a push double named by ".\SERVER.INI" and a main window that
// records what the push client tells it.
class RealClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    market_fixture::WriteDataSet(desc_, box_.Root());
    UpdateCurrentUtcTime();
    LoadHolidayLists();
    io_ = std::make_unique<TDataIO>(nullptr);
    ASSERT_EQ(MarketTable.loadState, 0);
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
    ResetPushState();
    QuoteClientHooks() = TQuoteClientHooks{};
    PushClientHooks() = TPushClientHooks{};
    PushClientHooks().requestRealtimeMessage = [this](uint32_t value) { requests_.push_back(value); };
    TakeOverRights(QuoteDouble::DefaultGrant());
    LoginSessionValue = kSession;
    g_events = &events_;
    main_ = MakeMainWindow();
    QuoteClientHooks().mainWindow = main_;
    ASSERT_TRUE(push_.Running());
    push_.SetDataSet(desc_);
    WritePrivateProfileStringA("Server", "dsAddr", "127.0.0.1", ".\\SERVER.INI");
    WritePrivateProfileStringA("Server", "Port2", std::to_string(push_.Port()).c_str(), ".\\SERVER.INI");
  }
  void TearDown() override {
    client_.reset();
    platform::ProcessPendingMessages();
    DestroyWindow(main_);
    g_events = nullptr;
    NewsIndex = nullptr;
    QuoteClientHooks() = TQuoteClientHooks{};
    PushClientHooks() = TPushClientHooks{};
    ClearRights();
    LoginSessionValue = 0;
    ws::WSACleanup();
  }

  // A logged-in client, as the main window makes it.
  void Connect() {
    const size_t before = push_.Logins().size();
    client_ = std::make_unique<TRealDataClnt>();
    ASSERT_EQ(client_->ConnectAndLogin("alice"), 1) << client_->Text();
    ASSERT_TRUE(PumpUntil([&] { return push_.Logins().size() == before + 1; }));
  }
  void Subscribe(std::initializer_list<STKMS> entries) {
    auto *list = new EArray<STKMS>;
    for (const STKMS &e : entries) list->Add(e);
    ASSERT_EQ(client_->Subscribe(list, uint16_t(entries.size()), 1), 0);
    ASSERT_TRUE(PumpUntil([&] { return push_.Subscription().size() == entries.size(); }));
  }

  int Stock(int market, const char *code) const { return MarketAt(market)->FindStockIndex(code); }
  REALQUOTE &Quote(int market, const char *code) { return MarketAt(market)->m_quotes[Stock(market, code)]; }
  uint32_t Word(int market, const char *code) const { return STKPTR(market, 0, Stock(market, code)).Word(); }

  std::vector<MainEvent> Events(UINT message, WPARAM wParam) const {
    std::vector<MainEvent> out;
    for (const MainEvent &e : events_)
      if (e.message == message && e.wParam == wParam) out.push_back(e);
    return out;
  }
  bool WaitForEvents(UINT message, WPARAM wParam, size_t count) {
    return PumpUntil([&] { return Events(message, wParam).size() >= count; });
  }
  // Hands a command-8 body to the client as the socket path does.
  int Dispatch(TRealDataClnt &client, const std::vector<Item> &items) {
    const std::vector<uint8_t> body = QuotePushDouble::ItemsBody(items);
    return client.DispatchPush(FRAME_PUSH_QUOTES, body.data(), int(body.size()));
  }

  ScopedFakeClock clock_;
  market_fixture::MarketSandbox box_;
  DataSetDesc desc_ = market_fixture::StandardDataSet(UtcNow());
  std::unique_ptr<TDataIO> io_;
  QuotePushDouble push_;
  std::unique_ptr<TRealDataClnt> client_;
  std::vector<MainEvent> events_;
  std::vector<uint32_t> requests_;
  HWND main_ = nullptr;
};

// ---- the wire ----

TEST_F(RealClientTest, LoginSubscriptionAndKeepAliveGoOutByteForByte) {
  Connect();
  auto logins = push_.Frames(FRAME_PUSH_LOGIN);
  ASSERT_EQ(logins.size(), 1u);
  std::vector<uint8_t> login = {0x40, 103, 1, 0, 0, 0, 86, 0, 0, 0, 8, 0, 0xDE, 0xC0, 0x17, 0x5A};
  login.resize(96, 0);
  std::memcpy(login.data() + 16, "alice", 5);
  EXPECT_EQ(logins[0].raw, login);
  EXPECT_EQ(push_.Logins()[0].session, kSession);

  // More than 256 entries: the first 256 go out.
  auto *list = new EArray<STKMS>;
  for (int i = 0; i < 300; ++i) list->Add(STKMS{uint8_t(i % 4), uint16_t(i)});
  ASSERT_EQ(client_->Subscribe(list, 2, 7), 0);
  EXPECT_EQ(client_->Subscription(), list);
  ASSERT_TRUE(PumpUntil([&] { return push_.Frames(FRAME_SUBSCRIBE).size() == 1; }));
  const std::vector<uint8_t> frame = push_.Frames(FRAME_SUBSCRIBE)[0].raw;
  ASSERT_EQ(frame.size(), 784u);
  EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 10),
            (std::vector<uint8_t>{0x40, 100, 1, 0, 0, 0, 0x06, 0x03, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 778, frame.end()), (std::vector<uint8_t>{0, 1, 2, 0, 1, 0}));
  EXPECT_EQ(std::memcmp(frame.data() + 10, list->GetData(), 768), 0);

  // A shorter list leaves the rest of the entries zero.
  Subscribe({{0, 3}, {3, 4}});
  const std::vector<uint8_t> second = push_.Frames(FRAME_SUBSCRIBE)[1].raw;
  EXPECT_EQ(std::vector<uint8_t>(second.begin() + 10, second.begin() + 16), (std::vector<uint8_t>{0, 3, 0, 3, 4, 0}));
  EXPECT_TRUE(std::all_of(second.begin() + 16, second.begin() + 778, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(second[778], 2);
  EXPECT_EQ(second[782], 1);

  clock_.Advance(12000);
  ASSERT_EQ(client_->SendKeepAlive(), 1);
  EXPECT_EQ(client_->LastActivity(), GetTickCount());
  ASSERT_TRUE(PumpUntil([&] { return push_.Frames(FRAME_KEEPALIVE).size() == 1; }));
  EXPECT_EQ(push_.Frames(FRAME_KEEPALIVE)[0].raw, std::vector<uint8_t>(kKeepAliveFrame, kKeepAliveFrame + 10));
}

TEST_F(RealClientTest, ClosedClientRefusesSendsAndFreesTheList) {
  TRealDataClnt client;
  EXPECT_EQ(client.SendKeepAlive(), 0);
  EXPECT_EQ(client.Subscribe(new EArray<STKMS>, 0, 0), -1);  // the leak check sees the list freed
  EXPECT_EQ(client.Subscription(), nullptr);
  platform::ProcessPendingMessages();
  EXPECT_TRUE(events_.empty());

  // Nobody listens on the port: no login, nothing posted.
  testing_support::ClosedTcpPort closed;
  WritePrivateProfileStringA("Server", "Port2", std::to_string(closed.Port()).c_str(), ".\\SERVER.INI");
  EXPECT_EQ(client.ConnectAndLogin("alice"), 0);
  EXPECT_EQ(client.m_socket, INVALID_SOCKET);
  platform::ProcessPendingMessages();
  EXPECT_TRUE(events_.empty());
}

// The request client's connect path serves the push client too.
TEST_F(RealClientTest, ConnectsThroughTheProxiesAndTheRelayOfTheRequestClient) {
  struct Case {
    const char *name;
    ProxyKind kind;
    int useProxy;  // [ProxyServer] UseProxy; the relay has GreenWay instead
    bool refuse;
    const char *text;
  };
  const Case cases[] = {
      {"SOCKS5", ProxyKind::kSocks5, 1, false, ""},
      {"SOCKS4", ProxyKind::kSocks4, 2, false, ""},
      {"HTTP CONNECT", ProxyKind::kHttpConnect, 3, false, ""},
      {"relay", ProxyKind::kRelay, 0, false, ""},
      {"SOCKS5 refusing every method", ProxyKind::kSocks5, 1, true, "代理服务器认证失败。"},
  };
  const std::string userIni = std::string(UserDataPath) + "SERVER.INI";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ProxyDouble proxy(c.kind);
    ASSERT_TRUE(proxy.Running());
    proxy.SetTargetPort(push_.Port());
    if (c.refuse) proxy.SetAnswer(0, std::string("\x05\xFF", 2), ProxyDouble::After::kClose);
    const bool relay = c.kind == ProxyKind::kRelay;
    WritePrivateProfileStringA("ProxyServer", "UseProxy", std::to_string(c.useProxy).c_str(), userIni.c_str());
    WritePrivateProfileStringA("ProxyServer", "Address", proxy.Host(), userIni.c_str());
    WritePrivateProfileStringA("ProxyServer", "Port", std::to_string(proxy.Port()).c_str(), userIni.c_str());
    WritePrivateProfileStringA("ProxyServer", "GreenWay", relay ? "1" : "0", userIni.c_str());
    WritePrivateProfileStringA("Server", "GC", relay ? proxy.Host() : "", ".\\SERVER.INI");
    WritePrivateProfileStringA("Server", "GCPort", relay ? std::to_string(proxy.Port()).c_str() : "0",
                               ".\\SERVER.INI");
    const size_t logins = push_.Logins().size();
    TRealDataClnt client;
    if (c.refuse) {
      EXPECT_EQ(client.ConnectAndLogin("alice"), 0);
      EXPECT_STREQ(client.Text(), c.text);
      EXPECT_EQ(client.m_socket, INVALID_SOCKET);
      continue;
    }
    ASSERT_EQ(client.ConnectAndLogin("alice"), 1) << client.Text();
    ASSERT_TRUE(PumpUntil([&] { return push_.Logins().size() == logins + 1; }));
    if (!relay) EXPECT_EQ(proxy.RequestedPort(), push_.Port());
  }
  platform::ProcessPendingMessages();
  EXPECT_EQ(Events(WM_QUOTE_EVENT, 0).size(), 4u);  // the four clients that logged in, as they went
}

// ---- every item kind, end to end ----

TEST_F(RealClientTest, EveryItemKindReachesTheMarketTableAndTheMainWindow) {
  TNewsIndex news;
  news.Load();
  NewsIndex = &news;
  Connect();
  Subscribe({{kSH, uint16_t(Stock(kSH, "600000"))}, {kQH, uint16_t(Stock(kQH, "CU05"))}});
  const int M = MarketTable.marketCount;

  // 02:00 UTC is 10:00 in SH; the quote comes 75 s after the clock item.
  ASSERT_TRUE(push_.Push({QuotePushDouble::ClockItem(120)}));
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfClockMinute, 1));
  clock_.Advance(75000);

  REALQUOTE q = BookQuote();
  q.last = 1001;
  q.volume = 5010;
  REALQUOTE head{};
  head.prevClose = 1200;
  head.open = 1210;
  head.limitUp = 1320;
  head.limitDown = 1080;
  REALQUOTE shortQuote = BookQuote();
  shortQuote.last = 68650;
  shortQuote.volume = 123456;
  shortQuote.indexCounters[0] = 11;
  shortQuote.indexCounters[2] = 33;
  ADVICEREC advice{};
  advice.key = 77;
  std::memcpy(advice.body, "advice text", 11);
  const uint32_t newsId = 123456;
  const REALQUOTE cuBefore = Quote(kQH, "CU05");
  Quote(kSH, "600000") = BookQuote();

  ASSERT_TRUE(push_.Push({
      QuotePushDouble::QuoteItem(kSH, Stock(kSH, "600000"), "600000", q),
      QuotePushDouble::PriceHeadItem(M, kSH, "600010", head),
      QuotePushDouble::ShortQuoteItem(M, kQH, "CU05", shortQuote),
      QuotePushDouble::AdviceItem(kSH, Stock(kSH, "600000"), advice),
      QuotePushDouble::NewsItem(M, 2, newsId, QuotePushDouble::NewsDateTime(MakePackedDateTime(2024, 1, 15, 10, 1)),
                                "铜价走强"),
      QuotePushDouble::MessageItem(M),
      QuotePushDouble::QuoteItem(kSH, 0, "NOSUCH", q),  // not in the table: skipped
  }));
  ASSERT_TRUE(WaitForEvents(WM_STOCK_DATA, WPARAM(33) << 16, 1));
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfQuote, 2));

  // The clock: the shared clock and each market's clock.
  EXPECT_EQ(PackedHour(CurrentUtcTime) * 60 + PackedMinute(CurrentUtcTime), 120u);
  EXPECT_EQ(MarketAt(kSH)->m_currentMinute, 600);
  EXPECT_EQ(MarketAt(kQH)->m_currentMinute, 13 * 60);
  EXPECT_EQ(Events(WM_MF_EVENT, kMfClockMinute)[0].lParam, 120);

  // The quote: its bytes, its change time (10:01:15) and its event.
  const REALQUOTE &sh = Quote(kSH, "600000");
  EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t *>(&sh) + 38, reinterpret_cast<const uint8_t *>(&q) + 38, 24), 0);
  EXPECT_EQ(std::memcmp(sh.bid, q.bid, 80), 0);
  EXPECT_EQ(+sh.barSettlement, 7u);
  EXPECT_EQ(sh.time & 0x1FFFF, (10u << 12) | (1u << 6) | 15u);
  const auto quotes = Events(WM_MF_EVENT, kMfQuote);
  EXPECT_EQ(+quotes[0].slot.stock, Word(kSH, "600000"));
  EXPECT_NE(+quotes[0].slot.flags & kQuoteTrade, 0u);

  // The price head: the head bytes; the reference price taken from the
  // previous close when it came as 0.
  const REALQUOTE &h = Quote(kSH, "600010");
  EXPECT_EQ(+h.prevClose, 1200u);
  EXPECT_EQ(+h.refPrice, 1200u);
  EXPECT_EQ(+h.limitUp, 1320u);
  const auto heads = Events(WM_MF_EVENT, kMfPriceHead);
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(+heads[0].slot.stock, Word(kSH, "600010"));
  EXPECT_EQ(+heads[0].slot.flags, uint32_t(kQuotePriceHead));

  // The short quote: prices and counters only; the book stays.
  const REALQUOTE &cu = Quote(kQH, "CU05");
  EXPECT_EQ(+cu.last, 68650u);
  EXPECT_EQ(+cu.volume, 123456.0f);
  EXPECT_EQ(+cu.indexCounters[0], 11);
  EXPECT_EQ(+cu.indexCounters[2], 33);
  EXPECT_EQ(std::memcmp(cu.bid, cuBefore.bid, 80), 0);
  EXPECT_EQ(+quotes[1].slot.stock, Word(kQH, "CU05"));
  EXPECT_EQ(+quotes[1].slot.flags & ~uint32_t(kQuoteLastChanged | kQuoteLastVolumeChanged | kQuoteVolumeChanged |
                                              kQuoteTrade),
            0u);

  // The advice record is merged into the instrument's advice file.
  EXPECT_EQ(Events(WM_STOCK_DATA, WPARAM(33) << 16)[0].lParam, LPARAM(Word(kSH, "600000")));
  EXPECT_EQ(box_.Read("data/SH/advice/600000.adv"), std::string(reinterpret_cast<const char *>(&advice), 108));

  // The headline goes into the index and to the main window.
  ASSERT_TRUE(WaitForEvents(WM_NEWS_ARRIVED, 0, 1));
  const NEWSREC sent = Events(WM_NEWS_ARRIVED, 0)[0].news;
  EXPECT_EQ(+sent.id, newsId);
  EXPECT_EQ(NewsTypeOf(sent), 2u);
  EXPECT_STREQ(sent.title, "铜价走强");
  EXPECT_EQ(news.GetBoundaryId(false, 2), newsId);

  // The waiting message is asked for at once.
  EXPECT_EQ(requests_, std::vector<uint32_t>{0xFFFFFFFFu});
  EXPECT_EQ(quotes.size(), 2u);
}

// ---- applying quotes ----

TEST_F(RealClientTest, QuoteItemsSetTheChangeFlagsTheViewsRelyOn) {
  struct Case {
    const char *name;
    int market;
    const char *code;
    std::function<void(REALQUOTE &)> before;
    std::function<void(REALQUOTE &)> after;  // applied to a copy of before
    uint32_t flags;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"trade at the ask", kSH, "600000", [](REALQUOTE &) {},
       [](REALQUOTE &q) {
         q.last = 1001;
         q.volume = 5010;
         q.lastVolume = 10;
       },
       kQuoteLastChanged | kQuoteLastVolumeChanged | kQuoteVolumeChanged | kQuoteTrade | kQuoteTradeUp},
      {"trade at the bid", kSH, "600000", [](REALQUOTE &) {},
       [](REALQUOTE &q) {
         q.last = 999;
         q.volume = 5010;
       },
       kQuoteLastChanged | kQuoteVolumeChanged | kQuoteTrade | kQuoteTradeDown},
      {"trade inside the spread", kSH, "600000", [](REALQUOTE &q) { q.ask[0].price = 1002; },
       [](REALQUOTE &q) { q.volume = 5010; }, kQuoteVolumeChanged | kQuoteTrade},
      {"a fraction of a lot", kSH, "600000", [](REALQUOTE &q) { q.volume = 5000.25f; },
       [](REALQUOTE &q) { q.volume = 5000.75f; }, kQuoteTrade},
      {"first trade, judged by the new book", kSH, "600000",
       [](REALQUOTE &q) {
         q = REALQUOTE{};
       },
       [](REALQUOTE &q) {
         q = BookQuote();
         q.last = 1001;
         q.volume = 10;
         q.lastVolume = 10;
       },
       kQuoteLastChanged | kQuoteBidChanged | kQuoteAskChanged | kQuoteTrade | kQuoteTradeUp | kQuoteDepthBidChanged |
           kQuoteDepthAskChanged},
      {"price without volume", kSH, "600000", [](REALQUOTE &) {}, [](REALQUOTE &q) { q.last = 1001; },
       kQuoteLastChanged},
      {"price without volume where none is kept", kWH, "EURUSD", [](REALQUOTE &) {},
       [](REALQUOTE &q) { q.last = 1001; }, kQuoteLastChanged | kQuoteTrade | kQuoteTradeUp},
      {"the book moves", kSH, "600000", [](REALQUOTE &) {},
       [](REALQUOTE &q) {
         q.bid[0] = QUOTELEVEL{998, 20};
         q.ask[0] = QUOTELEVEL{1002, 30.5f};
         q.bid[3].price = 990;
         q.ask[4].volume = 11;
         q.ask[1].volume = 10.5f;  // same whole lots
       },
       kQuoteBidChanged | kQuoteAskChanged | kQuoteBidVolumeChanged | kQuoteAskVolumeChanged | kQuoteDepthBidChanged |
           kQuoteDepthAskVolumeChanged},
      {"an index has no book", kSH, "000001", [](REALQUOTE &) {},
       [](REALQUOTE &q) {
         q.bid[0] = QUOTELEVEL{998, 20};
         q.ask[2].price = 1;
       },
       0},
      {"a volume that is not a number", kSH, "600000", [](REALQUOTE &) {}, [nan](REALQUOTE &q) { q.volume = nan; },
       kQuoteVolumeChanged},
  };
  TRealDataClnt client;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    REALQUOTE before = BookQuote();
    c.before(before);
    REALQUOTE after = before;
    c.after(after);
    Quote(c.market, c.code) = before;
    PRICEHIST &history = MarketAt(c.market)->m_priceHist[Stock(c.market, c.code)];
    history = PRICEHIST{{1, 2, 3, 4, 5}, {11, 12, 13, 14, 15}, {21, 22, 23, 24, 25}};
    events_.clear();
    ASSERT_EQ(Dispatch(client, {QuotePushDouble::QuoteItem(c.market, 0, c.code, after)}), kPushItemSize);
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(+events_[0].slot.stock, Word(c.market, c.code));
    EXPECT_EQ(+events_[0].slot.flags, c.flags) << std::hex << events_[0].slot.flags;
    const REALQUOTE &now = Quote(c.market, c.code);
    EXPECT_EQ(std::memcmp(&now.high, &after.high, 24), 0);
    EXPECT_EQ(std::memcmp(now.bid, after.bid, 80), 0);
    if (c.flags & kQuoteTrade) {
      // The quote before the trade becomes the newest of each list.
      const uint32_t bid = before.bid[0].price ? before.bid[0].price : before.last;
      const uint32_t ask = before.ask[0].price ? before.ask[0].price : before.last;
      EXPECT_EQ(+history.trades[0], +before.last);
      EXPECT_EQ(+history.trades[1], 1u);
      EXPECT_EQ(+history.bids[0], bid);
      EXPECT_EQ(+history.asks[0], ask);
      EXPECT_EQ(+history.asks[4], 24u);
    } else {
      EXPECT_EQ(+history.trades[0], 1u);
    }
  }
}

TEST_F(RealClientTest, FuturesDepthNeedsTheDepthRightOfItsKind) {
  struct Case {
    const char *code;  // CU00 is kind 1, CU05 kind 2
    uint8_t rights;
    bool depthKept;
  };
  const Case cases[] = {
      {"CU00", 0, false},
      {"CU00", kRightDepthKind1, true},
      {"CU00", kRightDepthKind3, false},
      {"CU05", 0, true},
  };
  TRealDataClnt client;
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.code) + " rights " + std::to_string(c.rights));
    UserRights[kFeatureDepthByte] = c.rights;
    Quote(kQH, c.code) = REALQUOTE{};
    const REALQUOTE pushed = BookQuote();
    ASSERT_EQ(Dispatch(client, {QuotePushDouble::QuoteItem(kQH, 0, c.code, pushed)}), kPushItemSize);
    const REALQUOTE &q = Quote(kQH, c.code);
    EXPECT_EQ(+q.bid[0].price, 999u);
    EXPECT_EQ(+q.ask[0].price, 1001u);
    EXPECT_EQ(+q.bid[4].price, c.depthKept ? 995u : 0u);
    EXPECT_EQ(+q.ask[1].volume, c.depthKept ? 10.0f : 0.0f);
  }
}

TEST_F(RealClientTest, ClockItemsMoveTheSharedClockAndRollTheDay) {
  TRealDataClnt client;
  const PackedDateTime start = CurrentUtcTime;
  auto minutes = [&] {
    platform::ProcessPendingMessages();
    std::vector<LPARAM> out;
    for (const MainEvent &e : Events(WM_MF_EVENT, kMfClockMinute)) out.push_back(e.lParam);
    return out;
  };

  ASSERT_EQ(Dispatch(client, {QuotePushDouble::ClockItem(1439)}), kPushItemSize);
  EXPECT_EQ(CurrentUtcTime, MakePackedDateTime(PackedYear(start), PackedMonth(start), PackedDay(start), 23, 59));
  // QH runs 11 hours ahead: already the next day there.
  EXPECT_EQ(MarketAt(kQH)->m_currentMinute, 10 * 60 + 59);
  EXPECT_EQ(PackedDay(MarketAt(kQH)->m_currentTime), PackedDay(start) + 1);

  // The same minute again changes nothing and posts nothing; a minute
  // outside the day is ignored.
  ASSERT_EQ(Dispatch(client, {QuotePushDouble::ClockItem(1439), QuotePushDouble::ClockItem(1440)}),
            2 * kPushItemSize);
  ASSERT_EQ(Dispatch(client, {QuotePushDouble::ClockItem(0)}), kPushItemSize);
  EXPECT_EQ(CurrentUtcTime, PackedNextDay(MakePackedDateTime(PackedYear(start), PackedMonth(start), PackedDay(start))));
  EXPECT_EQ(MarketAt(kSH)->m_currentMinute, 8 * 60);
  EXPECT_EQ(minutes(), (std::vector<LPARAM>{1439, 0}));

  // Past 1:00 the roll is over: a later small minute stays on the day.
  ASSERT_EQ(Dispatch(client, {QuotePushDouble::ClockItem(61), QuotePushDouble::ClockItem(30)}), 2 * kPushItemSize);
  EXPECT_EQ(PackedDay(CurrentUtcTime), PackedDay(start) + 1);
  EXPECT_EQ(PackedMinute(CurrentUtcTime), 30u);
}

TEST_F(RealClientTest, PushedNewsFollowsTheRightsAndTheNewsOptions) {
  struct Case {
    const char *name;
    bool right, oemOnly, popOem, marked, modal, loading;
    bool indexed, sent, popUp;
  };
  const Case cases[] = {
      {"plain", true, false, false, false, false, false, true, true, false},
      {"no right to the type", false, false, false, false, false, false, true, false, false},
      {"only marked types, not marked", true, true, false, false, false, false, true, false, false},
      {"only marked types, marked", true, true, false, true, false, false, true, true, false},
      {"pop-up for a marked type", true, false, true, true, false, false, true, true, true},
      {"no pop-up over a modal box", true, false, true, true, true, false, true, true, false},
      {"no pop-up for an unmarked type", true, false, true, false, false, false, true, true, false},
      {"the list is being loaded", true, false, false, false, false, true, false, false, false},
  };
  const int M = MarketTable.marketCount;
  uint32_t id = 900000;  // newer than the data set's headlines
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ResetPushState();
    TNewsIndex news;
    news.Load();
    NewsIndex = &news;
    news.SetListLoading(c.loading);
    std::memset(NewsRights, 0, sizeof NewsRights);
    if (c.right) NewsRights[0] = 0x40;  // type 2
    box_.WriteText("cfg/NEWSTYPE.INI", std::string("[OEMNEWS]\r\nOemOnly=") + (c.oemOnly ? "1" : "0") +
                                           "\r\nPopOem=" + (c.popOem ? "1" : "0") + "\r\n" +
                                           (c.marked ? "ID2=mark\r\n" : ""));
    PushClientHooks().modalBoxShown = [&] { return c.modal; };
    std::remove((box_.Root() + "/prog/rtmsg.txt").c_str());
    events_.clear();

    TRealDataClnt client;
    ASSERT_EQ(Dispatch(client, {QuotePushDouble::NewsItem(M, 2, ++id, 0, "要闻")}), kPushItemSize);
    platform::ProcessPendingMessages();
    EXPECT_EQ(news.GetBoundaryId(false, 2) == id, c.indexed);
    EXPECT_EQ(Events(WM_NEWS_ARRIVED, 0).size(), c.sent ? 1u : 0u);
    EXPECT_EQ(Events(WM_STOCK_DATA, WPARAM(204) << 16).size(), c.popUp ? 1u : 0u);
    EXPECT_EQ(box_.Exists("prog/rtmsg.txt"), c.popUp);
    if (c.popUp) {
      EXPECT_EQ(box_.Read("prog/rtmsg.txt"), "NEWS:\r\n要闻");
      EXPECT_EQ(Events(WM_STOCK_DATA, WPARAM(204) << 16)[0].lParam, -2);
    }
    NewsIndex = nullptr;
  }
  PushClientHooks().modalBoxShown = nullptr;
}

TEST_F(RealClientTest, LogsTheQuotesOfTheInstrumentNamedInTheSettings) {
  WritePrivateProfileStringA("Log", "Code", "600000", "..\\cfg\\setting.ini");
  TRealDataClnt client;
  REALQUOTE q = BookQuote();
  q.last = 1234;
  q.volume = 5678;
  ASSERT_EQ(Dispatch(client, {QuotePushDouble::QuoteItem(kSH, 0, "600000", q),
                              QuotePushDouble::QuoteItem(kSH, 0, "600010", q)}),
            2 * kPushItemSize);
  // 02:00 UTC is 10:00 in the test's zone; the fake tick count is 1000.
  EXPECT_EQ(box_.Read("prog/600000-20240115.txt"), "<10:00:00:000> 1234 5678 1000\r\n");
}

// ---- frames ----

TEST_F(RealClientTest, SlowNetworkMarkAsksForTheNoticeAtMostEvery45Minutes) {
  TRealDataClnt client;
  const std::string setting = std::string(UserDataPath) + "SETTING.INI";
  const auto slow = QuotePushDouble::MakeFrame(FRAME_PUSH_QUOTES, {}, Compression::kNone, kFrameMarkSlowNetwork);
  const auto plain = QuotePushDouble::MakeFrame(FRAME_PUSH_QUOTES, {});

  // Silenced for today by the user.
  WritePrivateProfileStringA("PARAMETER", "Networkblocked", "20240115", setting.c_str());
  ASSERT_TRUE(client.TakeReceived(slow.data(), int(slow.size())));
  EXPECT_EQ(client.SlowNetwork(), 1);
  EXPECT_TRUE(requests_.empty());
  ASSERT_TRUE(client.TakeReceived(plain.data(), int(plain.size())));
  EXPECT_EQ(client.SlowNetwork(), 0);

  // Silenced only for yesterday, but the last check was just now.
  WritePrivateProfileStringA("PARAMETER", "Networkblocked", "20240114", setting.c_str());
  ASSERT_TRUE(client.TakeReceived(slow.data(), int(slow.size())));
  EXPECT_TRUE(requests_.empty());
  clock_.Advance(2700000);
  ASSERT_TRUE(client.TakeReceived(slow.data(), int(slow.size())));
  ASSERT_TRUE(client.TakeReceived(slow.data(), int(slow.size())));
  EXPECT_EQ(requests_, std::vector<uint32_t>{3});
  clock_.Advance(2700000);
  ASSERT_TRUE(client.TakeReceived(slow.data(), int(slow.size())));
  EXPECT_EQ(requests_, (std::vector<uint32_t>{3, 3}));
}

TEST_F(RealClientTest, LzwAndZlibBodiesDecodeAndTheModeFollowsTheLastThatWorked) {
  Connect();
  const int stock = Stock(kSH, "600000");
  struct Step {
    Compression compression;
    int32_t mode;
  };
  const Step steps[] = {{Compression::kLzw, TPushState::kModeLzw},
                        {Compression::kZlib, TPushState::kModeZlib},
                        {Compression::kZlib, TPushState::kModeZlib},
                        {Compression::kLzw, TPushState::kModeLzw},
                        {Compression::kNone, TPushState::kModeLzw}};
  uint32_t price = 2000;
  for (const Step &step : steps) {
    push_.SetCompression(step.compression);
    REALQUOTE q = BookQuote();
    q.last = ++price;
    // Many items, so that compressing pays.
    std::vector<Item> items(40, QuotePushDouble::QuoteItem(kSH, stock, "600000", q));
    const size_t before = Events(WM_MF_EVENT, kMfQuote).size();
    ASSERT_TRUE(push_.Push(items));
    ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfQuote, before + 40));
    EXPECT_EQ(+Quote(kSH, "600000").last, price);
    EXPECT_EQ(PushState.compressionMode, step.mode);
  }
  EXPECT_NE(client_->m_socket, INVALID_SOCKET);
}

TEST_F(RealClientTest, MalformedFramesAreRefusedWithoutReadingPastThem) {
  struct Case {
    const char *name;
    std::vector<uint8_t> bytes;
    bool taken;
  };
  auto frame = [](uint8_t command, std::vector<uint8_t> body, uint8_t compressed = 0, uint16_t count = 1,
                  uint16_t index = 0, uint8_t mark = kFrameMark) {
    std::vector<uint8_t> f = QuoteDouble::MakeFrame(command, body, count, index, compressed, mark);
    return f;
  };
  std::vector<uint8_t> tooLong = frame(FRAME_PUSH_QUOTES, {});
  tooLong[6] = 0x01;
  tooLong[7] = 0x20;  // 8193
  std::vector<uint8_t> zeros(20000, 0);
  std::vector<uint8_t> bomb = QuotePushDouble::MakeFrame(FRAME_PUSH_QUOTES, zeros, Compression::kZlib);
  ASSERT_EQ(bomb[8], 1);
  const Item clock5 = QuotePushDouble::ClockItem(5), clock77 = QuotePushDouble::ClockItem(77);
  const std::vector<uint8_t> item(clock5.begin(), clock5.end());
  std::vector<uint8_t> twoItems = item;
  twoItems.insert(twoItems.end(), item.begin(), item.end());
  std::vector<uint8_t> partItem = twoItems;
  partItem.pop_back();
  const Case cases[] = {
      {"a mark other than 0x40 and 0x23", frame(FRAME_PUSH_QUOTES, {}, 0, 1, 0, 'A'), false},
      {"a body above 8192 bytes", tooLong, false},
      {"a part index equal to the count", frame(FRAME_PUSH_QUOTES, item, 0, 2, 2), false},
      {"no parts", frame(FRAME_PUSH_QUOTES, item, 0, 0, 0), false},
      {"a session message cut short", frame(FRAME_PUSH_MESSAGE, std::vector<uint8_t>(147, 0xDE)), false},
      {"a body that decodes with neither method", frame(FRAME_PUSH_QUOTES, {'W', 'M', 'C', 0x78, 0x9C, 1}, 1),
       false},
      {"an empty compressed body", frame(FRAME_PUSH_QUOTES, {}, 1), false},
      {"a body that decodes too long", bomb, false},
      {"whole items", frame(FRAME_PUSH_QUOTES, twoItems), true},
      // Bytes after the last whole item are left; the items before them count.
      {"an item and a part of one", frame(FRAME_PUSH_QUOTES, partItem), true},
      {"a body of one byte", frame(FRAME_PUSH_QUOTES, {1}), true},
      {"an empty body", frame(FRAME_PUSH_QUOTES, {}), true},
      {"another command", frame(77, {1, 2, 3}), true},
      {"another session's message", frame(FRAME_PUSH_MESSAGE, std::vector<uint8_t>(148, 0x11)), true},
  };
  const PackedDateTime clock = CurrentUtcTime;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TRealDataClnt client;
    CurrentUtcTime = clock;
    // Bytes of the next frame behind it are never taken after a refusal.
    std::vector<uint8_t> bytes = c.bytes;
    const std::vector<uint8_t> next = frame(FRAME_PUSH_QUOTES, std::vector<uint8_t>(clock77.begin(), clock77.end()));
    bytes.insert(bytes.end(), next.begin(), next.end());
    // A copy on the heap of exactly the bytes, so that a read past them shows.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
    std::memcpy(exact.get(), bytes.data(), bytes.size());
    ResetPushState();
    EXPECT_EQ(client.TakeReceived(exact.get(), int(bytes.size())), c.taken);
    EXPECT_EQ(PackedMinute(CurrentUtcTime) == 17 && PackedHour(CurrentUtcTime) == 1, c.taken);
    // The client takes good frames again afterwards.
    CurrentUtcTime = clock;
    EXPECT_TRUE(client.TakeReceived(next.data(), int(next.size())));
    EXPECT_EQ(PackedMinute(CurrentUtcTime), 17u);
  }
  CurrentUtcTime = clock;
}

TEST_F(RealClientTest, RandomFramesNeverCrashTheClient) {
  std::mt19937 random(20240115);
  const int M = MarketTable.marketCount;
  const char *codes[] = {"600000", "000001", "EURUSD", "CU05", "CU00", "", "ZZZZZZZZ"};
  auto randomItem = [&] {
    Item item{};
    for (uint8_t &b : item) b = uint8_t(random());
    switch (random() % 6) {
      case 0: {  // a quote of a real instrument, random numbers
        const uint16_t market = uint16_t(random() % M);
        std::memcpy(item.data(), &market, 2);
        item[3] = 0;
        std::strncpy(reinterpret_cast<char *>(item.data() + 108), codes[random() % 7], 8);
        break;
      }
      case 1:  // news, message, price head, short quote or unknown
        item[0] = uint8_t(M + random() % 7);
        std::strncpy(reinterpret_cast<char *>(item.data() + 36), codes[random() % 7], 8);
        std::strncpy(reinterpret_cast<char *>(item.data() + 56), codes[random() % 7], 8);
        item[2] = uint8_t(random() % (M + 2));
        item[3] = 0;
        break;
      case 2:  // advice of some stock
        item[0] = uint8_t(random() % M);
        item[1] = 0;
        item[2] = 0x10 + uint8_t(random() % 3);
        item[3] = 0x27;
        break;
      case 3:  // clock
        item[0] = item[1] = 0;
        item[108] = 0;
        break;
      default:
        break;
    }
    return item;
  };
  auto randomFrame = [&] {
    const int items = int(random() % 5);
    std::vector<uint8_t> body;
    for (int i = 0; i < items; ++i) {
      const Item item = randomItem();
      body.insert(body.end(), item.begin(), item.end());
    }
    if (random() % 4 == 0) body.resize(random() % 600);
    if (random() % 8 == 0) std::reverse(body.begin(), body.end());
    const uint8_t marks[] = {kFrameMark, kFrameMarkSlowNetwork, uint8_t(random())};
    const uint8_t commands[] = {FRAME_PUSH_QUOTES, FRAME_PUSH_MESSAGE, uint8_t(random())};
    const Compression compressions[] = {Compression::kNone, Compression::kLzw, Compression::kZlib};
    std::vector<uint8_t> f = QuotePushDouble::MakeFrame(commands[random() % 3 == 0 ? random() % 3 : 0], body,
                                                        compressions[random() % 3], marks[random() % 8 == 0 ? 2 : 0]);
    // Flip a few bytes anywhere, the head included.
    for (int flips = int(random() % 3); flips > 0; --flips) f[random() % f.size()] ^= uint8_t(1 + random() % 255);
    if (random() % 10 == 0) f.resize(random() % (f.size() + 1));
    return f;
  };

  // Straight into the reading chain, in random chunks.
  TRealDataClnt client;
  const PackedDateTime clock = CurrentUtcTime;
  int refused = 0;
  for (int round = 0; round < 4000; ++round) {
    std::vector<uint8_t> bytes = randomFrame();
    for (size_t at = 0; at < bytes.size();) {
      const size_t n = std::min<size_t>(bytes.size() - at, 1 + random() % 300);
      std::unique_ptr<uint8_t[]> chunk(new uint8_t[n]);
      std::memcpy(chunk.get(), bytes.data() + at, n);
      if (!client.TakeReceived(chunk.get(), int(n))) {
        ++refused;
        break;
      }
      at += n;
    }
    platform::ProcessPendingMessages();
  }
  EXPECT_GT(refused, 100);
  CurrentUtcTime = clock;

  // And over loopback: the client either goes on or closes, and a new one
  // logs in afterwards.
  for (int round = 0; round < 20; ++round) {
    Connect();
    for (int i = 0; i < 10 && client_->m_socket != INVALID_SOCKET; ++i) {
      push_.SendRaw(randomFrame());
      PumpUntil([] { return false; }, 2);
    }
  }
  Connect();
  EXPECT_NE(client_->m_socket, INVALID_SOCKET);
}

// ---- the end of a connection ----

TEST_F(RealClientTest, SessionMessageOfThisSessionEndsItAndOthersAreIgnored) {
  Connect();
  ASSERT_TRUE(push_.PushSessionMessage(kSession + 1, "别的会话"));
  REALQUOTE q = BookQuote();
  q.last = 4321;
  ASSERT_TRUE(push_.Push({QuotePushDouble::QuoteItem(kSH, 0, "600000", q)}));
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfQuote, 1));
  EXPECT_EQ(+Quote(kSH, "600000").last, 4321u);
  EXPECT_TRUE(Events(WM_QUOTE_EVENT, kQuoteEventSessionEnd).empty());

  ASSERT_TRUE(push_.PushSessionMessage(kSession, "您的账号已在其他地方登录。"));
  ASSERT_TRUE(WaitForEvents(WM_QUOTE_EVENT, 0, 1));
  std::vector<MainEvent> ends;
  for (const MainEvent &e : events_)
    if (e.message == WM_QUOTE_EVENT) ends.push_back(e);
  ASSERT_EQ(ends.size(), 2u);
  EXPECT_EQ(ends[0].wParam, kQuoteEventSessionEnd);
  EXPECT_EQ(ends[0].text, "您的账号已在其他地方登录。");
  EXPECT_EQ(ends[1].wParam, 0u);
  EXPECT_EQ(ends[1].lParam, kQuoteEventPushLink);
  EXPECT_EQ(client_->m_socket, INVALID_SOCKET);
  EXPECT_TRUE(PumpUntil([&] { return push_.OpenConnections() == 0; }));
}

TEST_F(RealClientTest, DroppedConnectionIsReportedAndANewClientPicksUp) {
  Connect();
  Subscribe({{kSH, uint16_t(Stock(kSH, "600000"))}});
  push_.DropConnections();
  ASSERT_TRUE(WaitForEvents(WM_QUOTE_EVENT, 0, 1));
  EXPECT_EQ(Events(WM_QUOTE_EVENT, 0)[0].lParam, kQuoteEventPushLink);
  EXPECT_EQ(client_->m_socket, INVALID_SOCKET);
  // Reported once, whatever else the socket says.
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(Events(WM_QUOTE_EVENT, 0).size(), 1u);

  // The main window deletes the client and makes a new one.
  Connect();
  Subscribe({{kSH, uint16_t(Stock(kSH, "600000"))}});
  EXPECT_EQ(push_.Logins().size(), 2u);
  REALQUOTE q = BookQuote();
  q.last = 777;
  ASSERT_TRUE(push_.Push({QuotePushDouble::QuoteItem(kSH, 0, "600000", q)}));
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfQuote, 1));
  EXPECT_EQ(+Quote(kSH, "600000").last, 777u);

  // A head the client cannot take closes it too.
  push_.SendRaw(QuoteDouble::MakeFrame(FRAME_PUSH_QUOTES, {}, 1, 0, 0, 'A'));
  ASSERT_TRUE(WaitForEvents(WM_QUOTE_EVENT, 0, 2));
  EXPECT_TRUE(PumpUntil([&] { return push_.OpenConnections() == 0; }));
}

// A body with a part of an item after its items: the items count, the
// rest is left, and the connection stays.
TEST_F(RealClientTest, APartOfAnItemAfterTheItemsKeepsTheConnection) {
  Connect();
  push_.SetTrailingBytes(57);
  REALQUOTE q = BookQuote();
  for (uint32_t last : {4321u, 4322u}) {
    q.last = last;
    ASSERT_TRUE(push_.Push({QuotePushDouble::QuoteItem(kSH, 0, "600000", q)}));
    ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfQuote, last - 4320));
    EXPECT_EQ(+Quote(kSH, "600000").last, last);
  }
  EXPECT_TRUE(Events(WM_QUOTE_EVENT, 0).empty());
  EXPECT_NE(client_->m_socket, INVALID_SOCKET);
  EXPECT_EQ(push_.OpenConnections(), 1);
}

// ---- the live market of the double ----

TEST_F(RealClientTest, ScriptedMarketMovesTheSubscribedQuotes) {
  QuotePushDouble::Script script;
  script.quotesPerSecond = 400;
  script.shortQuotesPerSecond = 100;
  script.priceHeadsPerSecond = 50;
  script.clockEachMinute = true;
  push_.SetScript(script);
  Connect();
  const char *codes[] = {"600000", "600036", "000001"};
  Subscribe({{kSH, uint16_t(Stock(kSH, codes[0]))},
             {kSH, uint16_t(Stock(kSH, codes[1]))},
             {kSH, uint16_t(Stock(kSH, codes[2]))}});
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfClockMinute, 1));
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfQuote, 60));
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfPriceHead, 3));
  for (const char *code : codes) {
    SCOPED_TRACE(code);
    const REALQUOTE &q = Quote(kSH, code);
    EXPECT_GT(+q.last, 0u);
    EXPECT_LE(+q.low, +q.last);
    EXPECT_GE(+q.high, +q.last);
    EXPECT_GT(+q.volume, 0.0f);
  }
  // Only the subscribed instruments moved.
  std::vector<uint32_t> seen;
  for (const MainEvent &e : Events(WM_MF_EVENT, kMfQuote)) seen.push_back(e.slot.stock);
  for (uint32_t word : seen)
    EXPECT_TRUE(word == Word(kSH, codes[0]) || word == Word(kSH, codes[1]) || word == Word(kSH, codes[2]));
}

TEST_F(RealClientTest, NewlySubscribedInstrumentsGetTheirHeadAndQuoteAtOnce) {
  // No moving market: what arrives is the snapshot of what was subscribed.
  QuotePushDouble::Script script;
  script.snapshotOnSubscribe = true;
  push_.SetScript(script);
  const char *const codes[] = {"600000", "600036", "601318"};
  for (const char *code : codes) std::memset(static_cast<void *>(&Quote(kSH, code)), 0, sizeof(REALQUOTE));
  Connect();
  Subscribe({{kSH, uint16_t(Stock(kSH, "600000"))}, {kSH, uint16_t(Stock(kSH, "600036"))}});
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfQuote, 2));
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfPriceHead, 2));
  for (const char *code : {codes[0], codes[1]}) {
    SCOPED_TRACE(code);
    const REALQUOTE &q = Quote(kSH, code);
    EXPECT_GT(+q.prevClose, 0u) << "the head came";
    EXPECT_GT(+q.last, 0u) << "the quote came";
  }
  EXPECT_EQ(+Quote(kSH, "601318").last, 0u) << "not subscribed";

  // A change of the subscription sends only what is new in it.
  Subscribe({{kSH, uint16_t(Stock(kSH, "601318"))},
             {kSH, uint16_t(Stock(kSH, "600000"))},
             {kSH, uint16_t(Stock(kSH, "600036"))}});
  ASSERT_TRUE(WaitForEvents(WM_MF_EVENT, kMfQuote, 3));
  EXPECT_GT(+Quote(kSH, "601318").last, 0u);
  platform::ProcessPendingMessages();
  EXPECT_EQ(push_.ItemsPushed(), 6u);
}

// ---- cost ----

size_t g_allocations = 0;
thread_local bool g_counting = false;  // this thread's allocations only
void CountMalloc(const volatile void *, size_t) {
  if (g_counting) ++g_allocations;
}
void IgnoreFree(const volatile void *) {}

TEST_F(RealClientTest, ApplyingQuotesAllocatesNothing) {
  if (!__sanitizer_install_malloc_and_free_hooks) GTEST_SKIP() << "counts allocations in sanitized builds only";
  static bool installed = false;
  if (!installed) installed = __sanitizer_install_malloc_and_free_hooks(&CountMalloc, &IgnoreFree) != 0;
  ASSERT_TRUE(installed);

  TRealDataClnt client;
  std::vector<Item> items;
  for (int i = 0; i < 68; ++i) {
    const int market = i % 4;
    const TMarketData *md = MarketAt(market);
    const int stock = i % md->m_loadedCount;
    REALQUOTE q = BookQuote();
    q.last = uint32_t(1000 + i);
    q.volume = float(6000 + i);
    const char *code = md->m_stocks[stock].code;
    items.push_back(QuotePushDouble::QuoteItem(market, stock, std::string(code, strnlen(code, 7)), q));
  }
  const std::vector<uint8_t> body = QuotePushDouble::ItemsBody(items);
  ASSERT_EQ(client.DispatchPush(FRAME_PUSH_QUOTES, body.data(), int(body.size())), int(body.size()));  // warm
  g_events = nullptr;  // the main window only looks at the slots now
  g_allocations = 0;
  g_counting = true;
  for (int round = 0; round < 50; ++round) client.DispatchPush(FRAME_PUSH_QUOTES, body.data(), int(body.size()));
  g_counting = false;
  g_events = &events_;
  EXPECT_EQ(g_allocations, 0u);
  EXPECT_GT(g_eventBytes, 0u);
}

}  // namespace
