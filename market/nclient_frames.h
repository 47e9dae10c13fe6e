// The quote service's wire format: the frame every message travels in, the
// requests the terminal sends and the checks every received frame and
// fixed-layout answer passes before anything reads it.
//
// A frame is a 10-byte head followed by its body, in both directions and on
// both connections (request/response and push). All integers are
// little-endian; texts are GBK, NUL-terminated inside fixed fields, unused
// bytes zero. "code" below is an instrument code of at most 7 characters in
// an 8-byte field; "market" a market index 0 to 47.
//
// Receiving: FrameAssembler cuts the byte stream into frames and refuses a
// head with a wrong mark, a body above 8192 bytes or a part index not below
// the part count, without ever reading past the bytes received;
// DecodeFrameBody unpacks a compressed body; ReadServerText, ReadGrant and
// ReadDataServerAddress check an answer's length before reading its fields.
//
// Sending: a request is described by a REQUESTREC; EncodeRequest turns it,
// with the few inputs it takes from settings and local files
// (RequestInputs), into one frame.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "market/marketrecords.h"
#include "market/rights.h"

class LCompressLite;

static_assert(std::endian::native == std::endian::little, "the wire records are laid out little-endian");

#pragma pack(push, 1)

struct FRAMEHEAD {
  uint8_t mark;        // kFrameMark, or kFrameMarkSlowNetwork from the push server
  uint8_t command;     // FrameCommand
  uint16_t partCount;  // 1 for every frame the terminal sends
  uint16_t partIndex;  // 0 to partCount - 1
  uint16_t bodyLength;
  uint8_t compressed;  // 0 plain; else LZW (request connection), LZW or zlib (push)
  uint8_t spare;
};

// Body of the directory login (and of the single login), command 3.
struct DIRLOGINBODY {
  char user[16];
  char password[12];
  uint16_t network;  // the network kind of the server list, 1 by default
  uint8_t zero[30];
  uint32_t eight;  // always 8
};

// Body of the data-server login after a directory login, command 207:
// the account and, echoed, the parts of the directory grant that the data
// server checks.
struct DSLOGINBODY {
  char user[16];
  char password[12];
  uint16_t eight;  // always 8
  uint8_t marketRights[96];
  uint8_t newsRights[16];
  uint32_t session;
  uint16_t value522;
  uint32_t value524;
  uint8_t zero[8];
};

#pragma pack(pop)

static_assert(sizeof(FRAMEHEAD) == 10);
static_assert(sizeof(DIRLOGINBODY) == 64);
static_assert(offsetof(DIRLOGINBODY, network) == 28 && offsetof(DIRLOGINBODY, eight) == 60);
static_assert(sizeof(DSLOGINBODY) == 160);
static_assert(offsetof(DSLOGINBODY, marketRights) == 30 && offsetof(DSLOGINBODY, newsRights) == 126);
static_assert(offsetof(DSLOGINBODY, session) == 142 && offsetof(DSLOGINBODY, value522) == 146);
static_assert(offsetof(DSLOGINBODY, value524) == 148 && offsetof(DSLOGINBODY, zero) == 152);

constexpr int kFrameHeadSize = 10;
constexpr uint8_t kFrameMark = 0x40;
// Marks a push frame sent while the server finds the client's network slow.
constexpr uint8_t kFrameMarkSlowNetwork = 0x23;
// The longest body a received frame may announce.
constexpr int kMaxFrameBody = 8192;
// The longest frame (head and body) the terminal sends.
constexpr int kMaxSentFrame = 8192;
// One head and the longest body: the request client's receive buffer.
constexpr int kReceiveBufferSize = kFrameHeadSize + kMaxFrameBody;
// The request client's send buffer.
constexpr int kSendBufferSize = 2048;
// What a compressed body may decode into.
constexpr int kDecodeBufferSize = 16384;

// Commands of the request/response and push connections.
enum FrameCommand : uint8_t {
  FRAME_KEEPALIVE = 1,
  FRAME_SERVER_TEXT = 2,
  FRAME_LOGIN = 3,
  FRAME_PUSH_QUOTES = 8,
  FRAME_MINUTE_TREND = 10,
  FRAME_RECENT_TRADES = 11,
  FRAME_BARS = 12,
  FRAME_FINANCE = 14,
  FRAME_NEWS = 15,
  FRAME_NOTES = 16,
  FRAME_WEIGHTS = 18,
  FRAME_TICKS = 20,
  FRAME_BASE_TEXT_FILE = 21,
  FRAME_CHANGE_PASSWORD = 30,
  FRAME_TREND_HISTORY = 31,
  FRAME_ADVICE = 33,
  FRAME_NAME_TABLE = 34,
  FRAME_BASE_INDEX = 40,
  FRAME_BASE_TEXT = 41,
  FRAME_CODE_TABLE = 51,
  FRAME_PUSH_MESSAGE = 52,
  FRAME_CLIENT_VERSION = 53,
  FRAME_SUBSCRIBE = 100,
  FRAME_SORT_DATA = 101,
  FRAME_BROKER_QUEUE = 102,
  FRAME_PUSH_LOGIN = 103,
  FRAME_BLOCK_INDEX = 110,
  FRAME_BLOCK_FILE = 111,
  FRAME_UPDATE_CHECK = 202,
  FRAME_SYSTEM_MESSAGE = 203,
  FRAME_REALTIME_MESSAGE = 204,
  FRAME_CONFIG_FILE = 206,
  FRAME_DS_LOGIN = 207,
};

// Request kinds: what a REQUESTREC asks for.
enum RequestKind : uint8_t {
  REQ_CODE_TABLE = 3,
  REQ_MINUTE_BARS = 6,
  REQ_DAY_BARS = 7,
  REQ_BASE_TEXT_FILE = 8,
  REQ_NEWS = 9,
  REQ_MINUTE_TREND = 10,
  REQ_RECENT_TRADES = 11,
  REQ_WEIGHTS = 13,
  REQ_TICKS = 14,
  REQ_BROKER_QUEUE = 16,
  REQ_LOGIN = 17,
  REQ_UPDATE_CHECK = 21,
  REQ_CLIENT_VERSION = 22,
  REQ_SYSTEM_MESSAGE = 23,
  REQ_REALTIME_MESSAGE = 24,
  REQ_SORT_DATA = 26,
  REQ_NOTES_LIST = 27,
  REQ_NOTE = 28,
  REQ_CHANGE_PASSWORD = 29,
  REQ_CONFIG_FILE = 30,
  REQ_BLOCK_INDEX = 31,
  REQ_BLOCK_FILE = 32,
  REQ_ADVICE = 33,
  REQ_TREND_HISTORY = 34,
  REQ_NAME_TABLE = 35,
  REQ_BASE_INDEX = 36,
  REQ_BASE_TEXT = 37,
  REQ_FINANCE = 38,
};

// One request as the request queue keeps it (in memory only). Which field
// means what depends on the kind:
//   sub     sub-kind, bar base, flag or small value; kind 26 the sort kind
//   market  market index; kind 9 the news type, kinds 27/28 the notes
//           channel, kind 26 the answer mode (0 ranking file for a view,
//           1 change values into the market table)
//   code    instrument code; kind 29 the new password
//   value1  start date-time, count held, news id, offset or date; kind 26
//           the number of listed codes, or the block id without a list;
//           kind 32 the number of block items in text
//   value2  end date-time, direction or length
//   value3  kind 26: given back with the ranking-ready message
//   text    kind 28 the note key, kind 30 the configuration file name,
//           kind 32 the block items (7 bytes each, at most 10), kind 37
//           the base-information file name
//   tag     the asker, so that a newer request of it replaces an older
//           unsent one
//   tick    send time, then completion time (milliseconds)
//   codes   kind 26: the listed instruments (value1 entries), owned by the
//           request: whoever drops or sends it frees them with delete[].
//           Null ranks the whole block of value1.
struct REQUESTREC {
  uint8_t kind;
  int32_t sub;
  uint16_t spare;
  uint16_t market;
  char code[12];
  uint32_t value1;
  uint32_t value2;
  uint32_t value3;
  char text[80];
  uint32_t tag;
  uint32_t tick;
  STKMS *codes;
};

// The items of a block-file request that fit in one REQUESTREC.
constexpr int kMaxBlockItems = 10;
constexpr int kBlockItemSize = 7;

// What a request body takes from outside its record. Fill it with
// GatherRequestInputs; the program version and the market's date-time come
// from the caller.
struct RequestInputs {
  // Kind 17: the login account. Kind 29: the account of the user's
  // settings. NUL-terminated in their fields.
  char user[16] = {};
  char password[12] = {};
  // Kind 17, command 3: the network kind.
  uint16_t network = 1;
  // Kind 17: the directory grant. Given, the login goes to the data server
  // (command 207); null, it is the directory or single login (command 3).
  const DSINFO *grant = nullptr;
  // Kind 22: the program version, major x 10000000 + minor x 10000 + release.
  uint32_t programVersion = 0;
  // Kind 30: size and date (year x 10000 + month x 100 + day, UTC) of the
  // local copy; not sent when the request's sub is non-zero.
  uint32_t configFileSize = 0;
  uint32_t configFileDate = 0;
  // Kind 31: the version word of the local block index.
  uint32_t blockIndexVersion = 0;
  // Kind 38: the market's current date-time (a PackedDateTime word).
  uint32_t marketDateTime = 0;
};

// The login account: the account the outside account library logs in with
// when that library is loaded, else the user-setting prefix (at most 4
// characters) and the user folder's [Server] UserName, together at most 15
// characters, with [Server] Password (at most 11).
void ReadLoginAccount(char (&user)[16], char (&password)[12]);
// The account of the user folder's settings alone, as the password change
// sends it: [Server] UserName (at most 15) and Password (at most 11).
void ReadSettingsAccount(char (&user)[16], char (&password)[12]);
// The user's own account, as the password change and the user information
// show it: with the outside account library loaded, the account typed at the
// login and checked by the library ([Server] UserName; its password is never
// stored), not the built-in account the quote service sees; else the login
// account.
void ReadUserAccount(bool libraryLoaded, char (&user)[16], char (&password)[12]);
// ".\Server.ini" [Server] Network, 1 when missing.
uint16_t ReadNetworkKind();
// Size and last-write date (UTC) of "..\CFG\<name>"; both 0 when it cannot
// be opened.
void ReadConfigFileStamp(const char *name, uint32_t *size, uint32_t *date);
// The first four bytes of "..\CFG\Block\BlockIndex.idx"; 0 when it is
// missing or shorter.
uint32_t ReadBlockIndexVersion();
// Fills the inputs the request's kind takes from settings and files:
// kind 17 the login account and network kind, kind 29 the settings
// account, kind 30 the file stamp (unless sub is non-zero), kind 31 the
// block-index version. Other inputs are left alone.
void GatherRequestInputs(const REQUESTREC &request, RequestInputs *inputs);

// The server column code of a ranking by sort kind; -1 for a sort kind
// that has none.
int SortColumnCode(int sortKind);
// The command a request kind goes out as; -1 for an unknown kind.
int RequestCommand(int kind);
// The answer command that completes a queued request of this kind (a
// server text completes any); -1 for the kinds that are not queued.
int AnswerCommand(int kind);

// Writes the frame of one request into out: head and body, at most
// kMaxSentFrame bytes. Returns the frame's length, or -1 when the request is
// refused: an unknown kind or sub-kind, a ranking of an unlisted sort kind,
// a block-file request without items or with more than 10, or a frame
// longer than kMaxSentFrame or than capacity. Never frees the code list of
// a ranking; its owner does.
int EncodeRequest(const REQUESTREC &request, const RequestInputs &inputs, uint8_t *out, int capacity);

// Writes a one-part, uncompressed frame with this body. Returns head + body
// length, or -1 when it does not fit in capacity or kMaxSentFrame.
int EncodeFrame(uint8_t command, const void *body, int length, uint8_t *out, int capacity);

// The keep-alive: a bare head of command 1, one part, no body.
inline constexpr uint8_t kKeepAliveFrame[kFrameHeadSize] = {kFrameMark, FRAME_KEEPALIVE, 1, 0, 0, 0, 0, 0, 0, 0};

// Which connection a frame came on: the push server may also mark frames
// with kFrameMarkSlowNetwork.
enum class FrameLink : uint8_t { kRequest, kPush };

// Why a received frame is a protocol error.
enum class FrameError : uint8_t {
  kNone,
  kBadMark,
  kBodyTooLong,    // above kMaxFrameBody
  kBadPartIndex,   // not below the part count (also: a part count of 0)
  kUndecodable,    // a compressed body that does not decode, or decodes too long
  kBufferOverrun,  // more bytes handed in than there was room for
};
// A short English description for the log.
const char *FrameErrorText(FrameError error);

FrameError CheckFrameHead(const FRAMEHEAD &head, FrameLink link);

// Cuts a received byte stream into frames in its own buffer of one head
// and the longest body (kReceiveBufferSize bytes). Receive into Space(),
// tell it how many bytes came with Received(), then take frames with Next()
// until it says kWait. A frame's head and body stay valid until the next
// call of Space(), Received(), Next() or Clear().
//
// A head that fails CheckFrameHead puts the assembler in the error state:
// Next() keeps answering kError and Error() says why, until Clear(). It
// never reads a byte that was not received.
class FrameAssembler {
 public:
  enum Result { kFrame, kWait, kError };

  explicit FrameAssembler(FrameLink link = FrameLink::kRequest) : link_(link) {}

  // The free part of the buffer, after moving the bytes still waiting to its
  // start, and its size (either may be asked first). Never empty unless a
  // complete frame waits to be taken.
  uint8_t *Space();
  int SpaceSize() const { return kReceiveBufferSize - (end_ - begin_); }
  // count bytes arrived in the Space() just asked for (call nothing else in
  // between); more than SpaceSize() is an error.
  void Received(int count);

  Result Next(FRAMEHEAD *head, const uint8_t **body);

  FrameError Error() const { return error_; }
  // Bytes received and not yet taken as frames.
  int Buffered() const { return end_ - begin_; }
  // Empties the buffer and leaves the error state.
  void Clear();

 private:
  FrameLink link_;
  FrameError error_ = FrameError::kNone;
  int begin_ = 0;
  int end_ = 0;
  alignas(8) uint8_t buffer_[kReceiveBufferSize];
};

// The plain body of a request-connection frame: the received body as it
// is, or a compressed one decoded by decoder into scratch (kDecodeBufferSize
// bytes). False when a compressed body does not decode (wrong magic,
// corrupt, or longer than the buffer allows); *plain and *plainLength are
// then left alone.
bool DecodeFrameBody(const FRAMEHEAD &head, const uint8_t *body, LCompressLite &decoder, uint8_t *scratch,
                     const uint8_t **plain, int *plainLength);

// A server text (command 2): [0] 2 unused bytes, [2] text class, [3] text.
// False for a body shorter than 3 bytes. The text ends at its NUL, at the
// body's end or at textSize - 1 bytes, whichever comes first; text is
// always NUL-terminated (textSize at least 1).
bool ReadServerText(const uint8_t *body, int length, uint8_t *textClass, char *text, size_t textSize);
// The directory grant (command 3): false for a body shorter than 528 bytes;
// a longer one gives its first 528.
bool ReadGrant(const uint8_t *body, int length, DSINFO *grant);
// The data server's own address (command 207, network order): false for a
// body shorter than 4 bytes.
bool ReadDataServerAddress(const uint8_t *body, int length, uint8_t (&address)[4]);
// "a.b.c.d" of an address in network order.
void FormatDottedAddress(const uint8_t (&address)[4], char (&text)[16]);
