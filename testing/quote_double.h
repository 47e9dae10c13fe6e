// The quote service on loopback, for tests and for trying the terminal by
// hand: a directory server and a data server, each on a port of its own on
// 127.0.0.1, played by one object with one thread of its own. Started by
// the constructor, stopped by the destructor.
//
// Every frame a client sends is recorded as it came. Requests go to a table
// of handlers by server and command; the default handlers serve the
// directory login, the data-server login, the single login and the
// password change, and tests add or replace handlers for further commands.
// Between a handler and the wire sits the shaping a test asks for: a
// refusal with a text, a delay, answers cut into parts, compressed bodies,
// bytes written in small pieces, malformed frames and dropped connections.
//
// It works on plain POSIX sockets and its own thread, so it needs neither
// the socket layer's start-up nor the program's clock; delays are real time.
// Handlers run on the double's thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "market/nclient_frames.h"
#include "market/rights.h"
#include "testing/loopback_frame_server.h"

class QuoteDouble {
 public:
  // The servers the double plays.
  enum Role : int { kDirectory = 0, kData = 1, kRoleCount = 2 };

  struct Options {
    // The port of each server; 0 takes a free one.
    uint16_t ports[kRoleCount] = {0, 0};
  };

  // One frame a client sent, as it came.
  struct Frame {
    Role role;
    int connection;            // connections are numbered from 1 in the order they came
    std::vector<uint8_t> raw;  // head and body
    // A head the double could not take (wrong mark, body above 8192 bytes):
    // raw then holds every byte from that head on, and the connection was
    // closed.
    bool malformed = false;

    FRAMEHEAD Head() const;
    std::vector<uint8_t> Body() const;
    uint8_t Command() const { return raw.size() > 1 ? raw[1] : 0; }
  };

  // Something to go wrong with an answer. The malformed frames replace the
  // first frame of the answer.
  enum class Fault {
    kNone,
    kDrop,              // close the connection instead of answering
    kReset,             // reset the connection instead of answering
    kDropAfterAnswer,   // answer, then close
    kDropMidAnswer,     // send the first half of the answer's bytes, then close
    kBodyTooLong,       // the head announces 8193 bytes; the real body follows
    kPartIndexAtCount,  // the part index equals the part count
    kBadMark,           // the head's mark is 'A'
    kUndecodable,       // compressed flag with a corrupt LZW stream as body
    kDecodesTooLong,    // compressed flag with a stream that decodes to 16380 bytes
  };

  // How the answers to one kind of request go out.
  struct Shape {
    int delayMs = 0;        // before the answer's first byte
    int parts = 1;          // a single body is cut into this many parts
    bool compress = false;  // every part's body LZW-encoded, flag set
    size_t chunkBytes = 0;  // written in pieces of this many bytes; 0 at once
    int chunkPauseMs = 0;   // between the pieces
    Fault fault = Fault::kNone;
    bool held = false;      // kept back, with all that follows, until ReleaseHeld
  };

  // What a handler sees of one request, and how it answers. The answers go
  // out in the order given, after the handler returns, shaped as set for
  // the request's server and command.
  class Exchange {
   public:
    Role role() const { return role_; }
    int connection() const { return connection_; }
    const FRAMEHEAD &head() const { return head_; }
    const std::vector<uint8_t> &body() const { return body_; }
    QuoteDouble &server() const { return server_; }

    // One answer; the shape may cut it into parts.
    void Answer(uint8_t command, std::vector<uint8_t> body);
    // An answer already cut into its parts (rising part index).
    void AnswerParts(uint8_t command, std::vector<std::vector<uint8_t>> parts);
    // A server text (command 2): class and NUL-terminated text.
    void Refuse(const std::string &text, uint8_t textClass = 0);
    // Bytes as they are, between the answers.
    void SendRaw(std::vector<uint8_t> bytes);
    // Close the connection after everything given so far.
    void Drop();

   private:
    friend class QuoteDouble;
    struct Out {
      enum Kind { kAnswer, kRaw, kDrop } kind = kAnswer;
      uint8_t command = 0;
      std::vector<std::vector<uint8_t>> parts;
      bool cut = false;  // a single body the shape may cut
    };
    Exchange(QuoteDouble &server, Role role, int connection, const FRAMEHEAD &head, std::vector<uint8_t> body)
        : server_(server), role_(role), connection_(connection), head_(head), body_(std::move(body)) {}
    QuoteDouble &server_;
    Role role_;
    int connection_;
    FRAMEHEAD head_;
    std::vector<uint8_t> body_;
    std::vector<Out> out_;
  };
  using Handler = std::function<void(Exchange &)>;

  QuoteDouble();
  explicit QuoteDouble(const Options &options);
  ~QuoteDouble();
  QuoteDouble(const QuoteDouble &) = delete;
  QuoteDouble &operator=(const QuoteDouble &) = delete;

  // False when a port could not be opened.
  bool Running() const { return running_; }
  const char *Host() const { return "127.0.0.1"; }
  uint16_t Port(Role role) const { return ports_[role]; }
  uint16_t DirectoryPort() const { return ports_[kDirectory]; }
  uint16_t DataPort() const { return ports_[kData]; }

  // --- What the servers say -------------------------------------------

  // The grant the directory login (and the single login) answers with.
  void SetGrant(const DSINFO &grant);
  DSINFO Grant() const;
  // A grant with every market, kind and news type, the trading features,
  // 127.0.0.1 as data server and fixed session values.
  static DSINFO DefaultGrant();
  // The address the data-server login answers with (command 207);
  // 127.0.0.1 unless set.
  void SetDataServerAddress(const uint8_t (&address)[4]);
  // The single login answers with the data server's address (command 207)
  // instead of the grant (command 3).
  void SetSingleLoginAnswersWithAddress(bool on);
  // When set, the logins and the password change refuse any other user
  // name or password with "用户名或密码错误。"; the password change then
  // changes the password. Without it every account is taken.
  void SetAccount(const std::string &user, const std::string &password);
  std::string AccountPassword() const;

  // Requests of this server and command are answered with a server text
  // (command 2) instead of by their handler; an empty text and class 0
  // still refuse. Undo with Accept.
  void Refuse(Role role, uint8_t command, const std::string &text, uint8_t textClass = 0);
  void Accept(Role role, uint8_t command);

  // Replaces the handler of a server's command; a null handler leaves such
  // requests unanswered (only recorded).
  void SetHandler(Role role, uint8_t command, Handler handler);
  // The shaping of the answers to a server's command, until set again.
  void SetShape(Role role, uint8_t command, const Shape &shape);
  void ClearShapes();

  // --- Acting on its own ------------------------------------------------

  // Bytes to the newest open connection of a server; false when it has none.
  bool Send(Role role, std::vector<uint8_t> bytes);
  // Closes every connection of a server; reset sends a reset instead of an
  // orderly end.
  void DropConnections(Role role, bool reset = false);
  // Sends what held shapes kept back, in the order it was kept.
  void ReleaseHeld();

  // --- What clients did -------------------------------------------------

  std::vector<Frame> Frames() const;
  std::vector<Frame> Frames(Role role) const;
  std::vector<Frame> Frames(Role role, uint8_t command) const;
  // Waits (real time) until at least count frames in all have come.
  bool WaitForFrames(size_t count, int timeoutMs = 5000) const;
  void ClearFrames();
  // Connections a server has taken so far, and those still open.
  int Accepted(Role role) const;
  int OpenConnections(Role role) const;

  // --- Frames for tests -------------------------------------------------

  static std::vector<uint8_t> MakeFrame(uint8_t command, const std::vector<uint8_t> &body, uint16_t partCount = 1,
                                        uint16_t partIndex = 0, uint8_t compressed = 0, uint8_t mark = kFrameMark);
  static std::vector<uint8_t> ServerTextBody(const std::string &text, uint8_t textClass = 0);

 private:
  struct Connection;
  struct Step;

  void Serve();
  void AcceptOn(Role role);
  void ReadFrom(Connection &c);
  void TakeFrames(Connection &c);
  void Record(Frame frame);
  void Dispatch(Connection &c, const FRAMEHEAD &head, std::vector<uint8_t> body);
  void Queue(Connection &c, const Exchange &exchange, const Shape &shape);
  void WriteTo(Connection &c);
  void CloseConnection(Connection &c, bool reset);
  void InstallDefaultHandlers();

  bool CheckAccount(const char *user, size_t userSize, const char *password, size_t passwordSize) const;
  void ServeDirectoryLogin(Exchange &e);
  void ServeSingleLogin(Exchange &e);
  void ServeDataLogin(Exchange &e);
  void ServePasswordChange(Exchange &e);

  bool running_ = false;
  int listeners_[kRoleCount] = {-1, -1};
  uint16_t ports_[kRoleCount] = {0, 0};

  // The thread's own: the open connections and the next number.
  std::vector<Connection *> connections_;
  int nextConnection_ = 1;

  mutable std::mutex lock_;
  mutable std::condition_variable framesArrived_;
  DSINFO grant_;
  uint8_t dataServerAddress_[4] = {127, 0, 0, 1};
  bool singleLoginAddress_ = false;
  bool accountSet_ = false;
  std::string user_;
  std::string password_;
  Handler handlers_[kRoleCount][256];
  Shape shapes_[kRoleCount][256];
  struct Refusal {
    bool on = false;
    std::string text;
    uint8_t textClass = 0;
  };
  Refusal refusals_[kRoleCount][256];
  std::vector<Frame> frames_;
  int accepted_[kRoleCount] = {0, 0};
  int open_[kRoleCount] = {0, 0};

  // Last, so that it is the first to go.
  loopback_frame::ServerThread thread_;
};
