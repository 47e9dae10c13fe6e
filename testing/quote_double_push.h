// The push server of the quote service on loopback, for tests and for
// feeding a terminal by hand. It takes the push login (command 103), keeps
// each connection's subscriptions (command 100), records every frame a
// client sends, and pushes 120-byte items in command-8 frames to every
// client that logged in: by hand when a test asks, and on its own at the
// rates of a script, from the instruments of a fixture data set
// (testing/market_fixture.h): quotes that move, short quotes, price heads,
// advice, news headlines and "message waiting" items, a clock item at
// login and at every new minute of UTC, and, when the script asks, the head
// and quote of each instrument a client newly subscribes.
//
// The pushed frames can go out plain, LZW-encoded or zlib-compressed, and
// marked as sent over a slow network. Session messages (command 52), raw
// bytes and dropped connections are there for the failure paths.
//
// Plain POSIX sockets and a thread of its own, like the request-side
// double: it needs neither the socket layer nor the program's clock, and
// its minutes are those of the machine's clock.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "market/marketrecords.h"
#include "market/nclient_frames.h"
#include "market/realclient.h"
#include "testing/loopback_frame_server.h"
#include "testing/market_fixture.h"

class QuotePushDouble {
 public:
  using Item = std::array<uint8_t, kPushItemSize>;
  enum class Compression { kNone, kLzw, kZlib };

  struct Options {
    uint16_t port = 0;  // 0 takes a free one
  };

  // One frame a client sent, as it came.
  struct Frame {
    int connection;  // numbered from 1 in the order they came
    std::vector<uint8_t> raw;
    // A head the double could not take (wrong mark, body above 8192 bytes):
    // raw holds every byte from it on, and the connection was closed.
    bool malformed = false;

    FRAMEHEAD Head() const;
    std::vector<uint8_t> Body() const;
    uint8_t Command() const { return raw.size() > 1 ? raw[1] : 0; }
  };

  struct Login {
    int connection;
    uint32_t session;
    std::string user;
  };

  // Items per second of each kind the double pushes on its own to every
  // logged-in client; 0 pushes none. Quotes and short quotes go through
  // the client's subscription in turn (nothing while it subscribed to
  // nothing); price heads and advice likewise; news and messages need none.
  struct Script {
    double quotesPerSecond = 0;
    double shortQuotesPerSecond = 0;
    double priceHeadsPerSecond = 0;
    double advicePerSecond = 0;
    double newsPerSecond = 0;
    double messagesPerSecond = 0;
    // A clock item right after the login and at every new minute of UTC.
    bool clockEachMinute = false;
    // Instruments new in a subscription get their price head and their
    // quote as it stands at once, as a server sends what a client starts to
    // watch; the script's quotes then move every subscribed instrument.
    bool snapshotOnSubscribe = false;
  };

  QuotePushDouble();
  explicit QuotePushDouble(const Options &options);
  ~QuotePushDouble();
  QuotePushDouble(const QuotePushDouble &) = delete;
  QuotePushDouble &operator=(const QuotePushDouble &) = delete;

  bool Running() const { return running_; }
  const char *Host() const { return "127.0.0.1"; }
  uint16_t Port() const { return port_; }

  // --- What it pushes -------------------------------------------------------

  // The markets the pushes come from: the clients' name tables must be
  // the data set's (stock index = position in the market's instruments).
  // Quotes start from the data set's quote at its clock and then move.
  void SetDataSet(const market_fixture::DataSetDesc &desc);
  void SetScript(const Script &script);
  // How pushed frames go out from now on.
  void SetCompression(Compression compression);
  void SetSlowNetwork(bool slow);
  // A fault: every command-8 frame pushed from now on carries this many
  // bytes (0 to 119) after its items, a part of an item no client can take.
  void SetTrailingBytes(size_t bytes);

  // --- Acting by hand (to every client that logged in) ----------------------

  // One command-8 frame with these items; false when no client is logged in.
  bool Push(const std::vector<Item> &items);
  // A frame of any command and body, compressed and marked as set.
  bool PushFrame(uint8_t command, const std::vector<uint8_t> &body);
  // The session message (command 52) with this session value and text.
  bool PushSessionMessage(uint32_t session, const std::string &text);
  // Bytes as they are.
  bool SendRaw(std::vector<uint8_t> bytes);
  // Closes every connection; reset sends a reset instead of an orderly end.
  void DropConnections(bool reset = false);

  // --- What clients did -----------------------------------------------------

  std::vector<Frame> Frames() const;
  std::vector<Frame> Frames(uint8_t command) const;
  void ClearFrames();
  std::vector<Login> Logins() const;
  // The entries of the last subscription received.
  std::vector<STKMS> Subscription() const;
  int Accepted() const;
  int OpenConnections() const;
  // Items pushed so far (by hand and by the script), and frames.
  size_t ItemsPushed() const;
  size_t FramesPushed() const;

  // --- Items and frames -----------------------------------------------------

  static Item ClockItem(int minute);
  // market < the number of markets; stock below 10000 (the client looks the
  // code up, the stock index is not read).
  static Item QuoteItem(int market, int stock, const std::string &code, const REALQUOTE &quote);
  static Item ShortQuoteItem(int marketCount, int market, const std::string &code, const REALQUOTE &quote);
  static Item PriceHeadItem(int marketCount, int market, const std::string &code, const REALQUOTE &quote);
  static Item AdviceItem(int market, int stock, const ADVICEREC &record);
  static Item NewsItem(int marketCount, uint8_t type, uint32_t id, uint32_t dateTime, const std::string &title);
  static Item MessageItem(int marketCount);
  static std::vector<uint8_t> ItemsBody(const std::vector<Item> &items);
  static std::vector<uint8_t> SessionMessageBody(uint32_t session, const std::string &text);
  // Head and body; the body is compressed as asked (flag set) and the head
  // carries the mark.
  static std::vector<uint8_t> MakeFrame(uint8_t command, const std::vector<uint8_t> &body,
                                        Compression compression = Compression::kNone, uint8_t mark = kFrameMark);
  // A news date-time as the index keeps it: decimal yymmdd in bits 0-19,
  // decimal hhmm in bits 20-31.
  static uint32_t NewsDateTime(PackedDateTime time);

 private:
  struct Connection;
  struct LiveQuote;

  void Serve();
  void AcceptNew();
  void ReadFrom(Connection &c);
  void TakeFrames(Connection &c);
  void WriteTo(Connection &c);
  void CloseConnection(Connection &c, bool reset);
  bool RunAndWait(std::function<bool()> work);
  bool QueueToClients(const std::vector<uint8_t> &frame, size_t items);
  std::vector<uint8_t> FrameFor(uint8_t command, const std::vector<uint8_t> &body);
  // A command-8 frame of the items (at most kMaxFrameBody / 120 of them),
  // with the trailing bytes asked for.
  std::vector<uint8_t> ItemsFrame(const std::vector<Item> &items);
  // The script's turn: what fell due since the last one. Returns the
  // milliseconds until the next turn is worth taking (-1: none).
  int RunScript();
  void PushClock(Connection &c, int minute);
  // The items in as many command-8 frames as they need, queued to one client.
  void QueueItems(Connection &c, const std::vector<Item> &items);
  void PushSnapshots(Connection &c, const std::vector<STKMS> &entries);
  LiveQuote *Quote(int market, int stock);
  void Move(LiveQuote &live);
  bool NextSubscribed(Connection &c, size_t *cursor, int *market, int *stock);

  bool running_ = false;
  int listener_ = -1;
  uint16_t port_ = 0;

  // The thread's own.
  std::vector<Connection *> connections_;
  int nextConnection_ = 1;
  market_fixture::DataSetDesc desc_;
  std::vector<std::vector<STKINFO>> names_;
  std::map<std::pair<int, int>, LiveQuote *> quotes_;
  uint32_t random_ = 12345;
  uint32_t nextNewsId_ = 90001;
  uint32_t nextAdviceKey_ = 1;
  double credit_[6] = {};
  int64_t lastTurnMs_ = 0;
  int lastMinute_ = -1;

  mutable std::mutex lock_;
  Script script_;
  Compression compression_ = Compression::kNone;
  bool slow_ = false;
  size_t trailing_ = 0;
  std::vector<Frame> frames_;
  std::vector<Login> logins_;
  std::vector<STKMS> subscription_;
  int accepted_ = 0;
  int open_ = 0;
  size_t itemsPushed_ = 0;
  size_t framesPushed_ = 0;

  // Last, so that it is the first to go.
  loopback_frame::ServerThread thread_;
};
