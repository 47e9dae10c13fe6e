#include "plugin/brokerstr.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gbk.h"
#include "platform/iphlpapi.h"

namespace tb {

namespace {

template <bool kGbk>
const char *Split(const char *text, char *out, size_t width) {
  const char *at = text;
  while (*at == ' ') ++at;
  // Find the field's end, stepping over GBK pairs.
  const char *end = at;
  while (*end && *end != '|') {
    if (kGbk && platform::IsGbkLead(static_cast<unsigned char>(end[0])) &&
        platform::IsGbkTrail(static_cast<unsigned char>(end[1])))
      end += 2;
    else
      ++end;
  }
  if (width > 0) {
    size_t length = size_t(end - at);
    if (length > width - 1) length = width - 1;
    while (length > 0 && at[length - 1] == ' ') --length;
    memcpy(out, at, length);
    out[length] = '\0';
  }
  return *end == '|' ? end + 1 : end;
}

// The index of the broker function table, by code.
constexpr BrokerFunction kFunctions[] = {
    {6011, 3091, false, false}, {6012, 3101, false, false}, {6013, 3106, true, false},
    {6014, 3103, true, false},  {6015, 0, false, false},    {6016, 3105, true, false},
    {6017, 0, false, false},    {6018, 3094, true, false},  {6019, 3108, true, false},
    {6020, 3108, false, false}, {6021, 3099, false, false}, {6022, 3100, false, false},
    {6023, 3109, false, true},  {6024, 3109, false, true},  {6027, 0, false, false},
    {6032, 3102, false, false}, {6040, 3095, true, false},  {6041, 3111, false, true},
    {6042, 3110, true, false},  {6043, 3112, true, false},  {6044, 3098, false, false},
    {6053, 3107, true, false},  {6056, 3115, false, false}, {6068, 3098, true, false},
    {6071, 3093, false, false}, {6072, 3092, true, false},
};

}  // namespace

const char *SplitField(const char *text, char *out, size_t width) { return Split<true>(text, out, width); }
const char *SplitFieldPlain(const char *text, char *out, size_t width) {
  return Split<false>(text, out, width);
}

void AnswerReader::Next(char *out, size_t width) {
  m_at = SplitField(m_at, out, width);
  ++m_index;
}

void AnswerReader::NextPlain(char *out, size_t width) {
  m_at = SplitFieldPlain(m_at, out, width);
  ++m_index;
}

void AnswerReader::SkipTo(int index) {
  while (m_index < index) {
    m_at = SplitField(m_at, nullptr, 0);
    ++m_index;
  }
}

int FieldInt(const char *text) {
  const long long value = strtoll(text, nullptr, 10);
  return int(value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value);
}

int AnswerReader::AtInt(int index) {
  char field[kSkipWidth];
  At(index, field);
  return FieldInt(field);
}

double AnswerReader::AtDouble(int index) {
  char field[kSkipWidth];
  At(index, field);
  return atof(field);
}

char AnswerReader::AtChar(int index) {
  char field[kSkipWidth];
  At(index, field);
  return field[0];
}

bool AnswerSucceeded(const char *answer, int *code, char *text, size_t textSize) {
  AnswerReader reader(answer);
  char status[kSkipWidth];
  reader.At(3, status);
  if (status[0] == 'Y') return true;
  const int error = reader.AtInt(4);
  if (code) *code = error;
  if (text && textSize) reader.Next(text, textSize < kErrorTextSize ? textSize : kErrorTextSize);
  return false;
}

char EncodeDirection(char direction) { return direction == '0' ? '0' : '1'; }
char EncodeOffset(char offset) { return offset == '0' || offset == '1' ? offset : '2'; }
char EncodeHedge(char hedge) { return hedge == '3' ? '1' : hedge == '2' ? '2' : '0'; }
char DecodeDirection(char direction) { return direction == '0' ? '0' : '1'; }

char DecodeOffset(char offset, const char *offsetText) {
  if (offset == '0' || offset == '1') return offset;
  if (offset == '2') return '3';
  if (offsetText) {
    // The whole text: a longer text that only begins with one of the
    // words keeps '2'.
    if (strcmp(offsetText, "平今") == 0) return '3';
    if (strcmp(offsetText, "平仓") == 0) return '1';
    if (strcmp(offsetText, "开仓") == 0) return '0';
  }
  return '2';
}

char DecodeHedge(char hedge) { return hedge == '1' ? '3' : hedge == '2' ? '2' : '1'; }

const BrokerFunction *FindBrokerFunction(int code) {
  for (const auto &function : kFunctions)
    if (function.code == code) return &function;
  return nullptr;
}

const BrokerFunction *BrokerFunctions(size_t *count) {
  if (count) *count = sizeof kFunctions / sizeof kFunctions[0];
  return kFunctions;
}

RequestLine::RequestLine(int code, const RequestHead &head) : m_code(code) {
  m_line[0] = m_log[0] = '\0';
  char number[16];
  snprintf(number, sizeof number, "%d", code);
  const BrokerFunction *function = FindBrokerFunction(code);
  // "R|adapter||code||tag|account|password" and the short copy
  // "R|adapter|tag|account".
  Append(m_line, m_lineLength, "R");
  Append(m_line, m_lineLength, head.adapter);
  Append(m_line, m_lineLength, "");
  Append(m_line, m_lineLength, number);
  Append(m_line, m_lineLength, "");
  Append(m_line, m_lineLength, head.clientTag);
  Append(m_line, m_lineLength, head.account);
  if (!function || !function->ownPassword) Append(m_line, m_lineLength, head.password);
  Append(m_log, m_logLength, "R");
  Append(m_log, m_logLength, head.adapter);
  Append(m_log, m_logLength, head.clientTag);
  Append(m_log, m_logLength, head.account);
}

// Appends "|field" (the first field without the separator).
bool RequestLine::Append(char *buffer, size_t &length, const char *field) {
  if (!m_ok) return false;
  if (!field) field = "";
  const size_t size = strlen(field);
  const size_t separator = length > 0 ? 1 : 0;
  // Room for the field, its separator, the closing '|' and the NUL.
  if (length + separator + size + 2 > kRequestLineSize) {
    m_ok = false;
    return false;
  }
  if (separator) buffer[length++] = '|';
  memcpy(buffer + length, field, size);
  length += size;
  buffer[length] = '\0';
  return true;
}

RequestLine &RequestLine::Add(const char *field) {
  Append(m_line, m_lineLength, field);
  Append(m_log, m_logLength, field);
  return *this;
}

RequestLine &RequestLine::Add(int value) {
  char text[16];
  snprintf(text, sizeof text, "%i", value);
  return Add(text);
}

RequestLine &RequestLine::AddChar(char value) {
  const char text[2] = {value, '\0'};
  return Add(text);
}

RequestLine &RequestLine::AddPrice(double price) {
  char text[400];
  if (snprintf(text, sizeof text, "%.3f", price + 0.0000001) >= int(sizeof text)) m_ok = false;
  return Add(text);
}

RequestLine &RequestLine::AddAmount(double amount) {
  char text[400];
  if (snprintf(text, sizeof text, "%.2f", amount) >= int(sizeof text)) m_ok = false;
  return Add(text);
}

RequestLine &RequestLine::AddSentOnly(const char *field) {
  Append(m_line, m_lineLength, field);
  return *this;
}

RequestLine &RequestLine::AddLoggedOnly(const char *field) {
  Append(m_log, m_logLength, field);
  return *this;
}

const char *RequestLine::Line() {
  if (!m_finished && m_ok) {
    m_finished = true;
    // Append left room for the closing separator.
    if (m_code != 6071) {
      m_line[m_lineLength++] = '|';
      m_line[m_lineLength] = '\0';
    }
    m_log[m_logLength++] = '|';
    m_log[m_logLength] = '\0';
  }
  return m_ok ? m_line : "";
}

const char *RequestLine::LogCopy() {
  Line();
  return m_ok ? m_log : "";
}

bool FormatContinuation(const RequestHead &head, char *out, size_t size) {
  const int length = snprintf(out, size, "R|%s||0||%s|%s|%s|", head.adapter ? head.adapter : "",
                              head.clientTag ? head.clientTag : "", head.account ? head.account : "",
                              head.password ? head.password : "");
  if (length < 0 || size_t(length) >= size) {
    if (size) out[0] = '\0';
    return false;
  }
  return true;
}

void ReadAdapterAddress(char out[16]) {
  out[0] = '\0';
  ULONG size = 0;
  if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return;
  auto *adapters = static_cast<IP_ADAPTER_INFO *>(malloc(size));
  if (!adapters) return;
  if (GetAdaptersInfo(adapters, &size) == ERROR_SUCCESS) {
    const BYTE *a = adapters->Address;
    snprintf(out, 16, "%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
  }
  free(adapters);
}

void FindExchangeSeat(const ExchangeEntry *table, int count, const char *exchange, char hedge,
                      char code[8], char seat[16]) {
  code[0] = seat[0] = '\0';
  if (!table || !exchange) return;
  for (int i = 0; i < count; ++i) {
    const ExchangeEntry &entry = table[i];
    if (entry.exchange[0] == '\0' || strncasecmp(entry.exchange, exchange, sizeof entry.exchange) != 0)
      continue;
    int slot = hedge == '3' ? 1 : hedge == '2' ? 2 : 0;
    if (entry.tradingCode[slot][0] == '\0' || entry.seat[slot][0] == '\0') slot = 0;
    snprintf(code, 8, "%.*s", int(sizeof entry.tradingCode[slot] - 1), entry.tradingCode[slot]);
    snprintf(seat, 16, "%.*s", int(sizeof entry.seat[slot] - 1), entry.seat[slot]);
    return;
  }
}

}  // namespace tb
