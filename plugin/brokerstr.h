// The broker's request lines and answers: '|'-separated GBK text. A request
// line is "R", the client's adapter address, an empty field, the function
// code, an empty field, the client tag, the account and the password, then
// the function's own fields; an answer's fields 0 to 2 are a header, field 3
// the status of a first answer ('Y' on success, else fields 4 and 5 carry the
// broker's error code and text) or the first field of a continuation
// packet's record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tb {

// A whole number from a broker field; one out of the int range is held at
// its end instead of wrapping.
int FieldInt(const char *text);

// An answer from the broker library fills at most this many bytes.
constexpr size_t kAnswerSize = 4096;
// The longest line any function can produce fits: the transfer line alone
// carries four 63-byte texts and an amount besides the head.
constexpr size_t kRequestLineSize = 1024;
// Error texts keep at most 231 bytes.
constexpr size_t kErrorTextSize = 232;
// Header and skipped fields.
constexpr size_t kSkipWidth = 256;

// The request for the next packet of a multi-packet answer.
constexpr int kContinuation = 0;

// Copies one field of text into out: the field ends at '|' or at the end of
// the text; a GBK lead byte (0x81 to 0xFE) and a following trail byte (0x40
// to 0xFE) are one character, so a trail byte 0x7C does not end the field.
// Blanks are removed at both ends; at most width - 1 bytes are kept (a
// character may be cut in half at the width) and the rest of the field is
// skipped. Returns where the next field starts (after the '|', or the text's
// end). width 0 keeps nothing and writes nothing.
const char *SplitField(const char *text, char *out, size_t width);
// The same without the GBK rule: every '|' ends the field.
const char *SplitFieldPlain(const char *text, char *out, size_t width);

// Reads an answer field by field.
class AnswerReader {
 public:
  explicit AnswerReader(const char *text) : m_at(text ? text : "") {}

  // The next field, GBK-aware or plain.
  void Next(char *out, size_t width);
  void NextPlain(char *out, size_t width);
  // Skips fields until the next one read is field index.
  void SkipTo(int index);
  // Field index (not before the next one), GBK-aware.
  void At(int index, char *out, size_t width) {
    SkipTo(index);
    Next(out, width);
  }
  template <size_t N>
  void At(int index, char (&out)[N]) {
    At(index, out, N);
  }
  int AtInt(int index);
  double AtDouble(int index);
  char AtChar(int index);  // the field's first character, '\0' when empty

  int Index() const { return m_index; }
  // What is left of the text from the next field on.
  const char *Rest() const { return m_at; }

 private:
  const char *m_at;
  int m_index = 0;
};

// A first answer's status: 'Y' at the start of field 3. On failure code and
// text hold fields 4 and 5 (text at most 231 bytes).
bool AnswerSucceeded(const char *answer, int *code, char *text, size_t textSize);

// Encodings in request fields.
char EncodeDirection(char direction);  // '0' stays, anything else '1'
char EncodeOffset(char offset);        // '0' and '1' stay, anything else '2'
char EncodeHedge(char hedge);          // '3' -> '1', '2' -> '2', else '0'
// Encodings of answer fields.
char DecodeDirection(char direction);  // '0' stays, anything else '1'
// '0' and '1' stay, '2' becomes '3', anything else '2'; a '2' result is
// refined by the next field's text: exactly "平今" '3', "平仓" '1', "开仓" '0'.
char DecodeOffset(char offset, const char *offsetText);
char DecodeHedge(char hedge);          // '1' -> '3', '2' stays, else '1'

// The broker functions and their trade-log record codes.
struct BrokerFunction {
  int code;
  int logCode;      // 0: not logged
  bool list;        // a multi-packet answer
  bool ownPassword; // the function's own fields replace the session password
};
// Null for a code the broker does not know.
const BrokerFunction *FindBrokerFunction(int code);
const BrokerFunction *BrokerFunctions(size_t *count);

// Log record codes besides those of the functions.
enum : int {
  kLogFreeText = 0,
  kLogConnection = 3072,
  kLogLogin = 3091,
  kLogPushOrder = 3116,
  kLogPushFill = 3117,
  kLogPushState = 3118,
  kLogPushNotice = 3119,
};

// What every request line begins with.
struct RequestHead {
  const char *adapter;   // 12 hexadecimal digits, or empty
  const char *clientTag; // "other#C#" or "other#C#b"
  const char *account;
  const char *password;
};

// A request line and its short copy for the trade log, built together. A
// line that would not fit its buffer is refused: Ok() turns false and the
// line is never sent, cut or overrun.
class RequestLine {
 public:
  // The head; for 6023, 6024 and 6041 the password slot is left for the
  // function's own fields (head.password is not used).
  RequestLine(int code, const RequestHead &head);

  // A field sent and logged alike.
  RequestLine &Add(const char *field);
  RequestLine &Add(int value);
  RequestLine &AddChar(char value);
  RequestLine &AddPrice(double price);   // "%.3f" of price + 0.0000001
  RequestLine &AddAmount(double amount); // "%.2f"
  // A field sent only (a password), or logged only (a raw value the line
  // carries encoded).
  RequestLine &AddSentOnly(const char *field);
  RequestLine &AddLoggedOnly(const char *field);

  bool Ok() const { return m_ok; }
  int Code() const { return m_code; }
  // The finished line; every line but 6071 ends with '|'.
  const char *Line();
  const char *LogCopy();

 private:
  bool Append(char *buffer, size_t &length, const char *field);
  int m_code;
  bool m_ok = true;
  bool m_finished = false;
  size_t m_lineLength = 0;
  size_t m_logLength = 0;
  char m_line[kRequestLineSize];
  char m_log[kRequestLineSize];
};

// "R|%s||0||%s|%s|%s|": adapter, tag, account, password. False when it does
// not fit.
bool FormatContinuation(const RequestHead &head, char *out, size_t size);

// The adapter address of the first adapter the system lists, as 12
// upper-case hexadecimal digits; empty when there is none. out holds 16.
void ReadAdapterAddress(char out[16]);

// The exchange table the contract query fills: one entry per exchange with
// a trading code and a seat per hedge kind (slot 0 speculation, 1 hedge,
// 2 arbitrage).
struct ExchangeEntry {
  char exchange[8];
  char tradingCode[3][8];
  char seat[3][16];
  int status;  // the last opened (1) or closed (2) state pushed for it
};
constexpr int kExchangeCount = 8;

// Trading code and seat of an exchange (case-insensitive) for a hedge flag:
// slot 1 for '3', 2 for '2', else 0; a slot with an empty code or seat falls
// back to slot 0. An unknown exchange gives two empty texts.
void FindExchangeSeat(const ExchangeEntry *table, int count, const char *exchange, char hedge,
                      char code[8], char seat[16]);

}  // namespace tb
