#include "market/nclient_frames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/lzw.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/handles.h"
#include "platform/module.h"
#include "platform/profile.h"

namespace {

void Put8(uint8_t *p, uint32_t v) { p[0] = uint8_t(v); }
void Put16(uint8_t *p, uint32_t v) {
  const uint16_t w = uint16_t(v);
  std::memcpy(p, &w, 2);
}
void Put32(uint8_t *p, uint32_t v) { std::memcpy(p, &v, 4); }

// Copies the text of a source field (ending at its NUL or at sourceSize)
// into a field of fieldSize bytes: at most fieldSize - 1 characters, the
// rest of the field zero.
void PutText(uint8_t *field, size_t fieldSize, const char *source, size_t sourceSize) {
  std::memset(field, 0, fieldSize);
  size_t n = 0;
  while (n + 1 < fieldSize && n < sourceSize && source[n] != '\0') ++n;
  std::memcpy(field, source, n);
}

template <size_t N>
void PutCode(uint8_t *field, const char (&code)[N]) {
  PutText(field, 8, code, N);
}

// The file name of the user folder's settings.
std::string UserServerIni() {
  return std::string(UserDataPath, strnlen(UserDataPath, sizeof UserDataPath)) + "SERVER.INI";
}

// The account the outside account library logs in with.
constexpr char kBridgeUser[] = "mx7.relay-acct9";
constexpr char kBridgePassword[] = "q4n8w2k7z1h";
static_assert(sizeof kBridgeUser <= 16 && sizeof kBridgePassword <= 12);

}  // namespace

void ReadSettingsAccount(char (&user)[16], char (&password)[12]) {
  const std::string ini = UserServerIni();
  std::memset(user, 0, sizeof user);
  std::memset(password, 0, sizeof password);
  GetPrivateProfileStringA("Server", "UserName", "", user, sizeof user, ini.c_str());
  GetPrivateProfileStringA("Server", "Password", "", password, sizeof password, ini.c_str());
}

void ReadLoginAccount(char (&user)[16], char (&password)[12]) {
  std::memset(user, 0, sizeof user);
  std::memset(password, 0, sizeof password);
  if (GetModuleHandleA(".\\AcctBridge.dll") != nullptr) {
    std::memcpy(user, kBridgeUser, sizeof kBridgeUser);
    std::memcpy(password, kBridgePassword, sizeof kBridgePassword);
    return;
  }
  char prefix[5] = {};
  GetPrivateProfileStringA("UserInfo", "fix", "", prefix, sizeof prefix, "..\\cfg\\usersetting.ini");
  char name[16];
  ReadSettingsAccount(name, password);
  // Prefix and name together fill at most 15 characters of the field.
  const size_t p = strnlen(prefix, sizeof prefix - 1);
  std::memcpy(user, prefix, p);
  const size_t n = std::min(strnlen(name, sizeof name - 1), sizeof user - 1 - p);
  std::memcpy(user + p, name, n);
}

void ReadUserAccount(bool libraryLoaded, char (&user)[16], char (&password)[12]) {
  if (!libraryLoaded) {
    ReadLoginAccount(user, password);
    return;
  }
  ReadSettingsAccount(user, password);
  std::memset(password, 0, sizeof password);
}

uint16_t ReadNetworkKind() { return uint16_t(GetPrivateProfileIntA("Server", "Network", 1, ".\\Server.ini")); }

void ReadConfigFileStamp(const char *name, uint32_t *size, uint32_t *date) {
  *size = 0;
  *date = 0;
  const std::string path = std::string("..\\CFG\\") + name;
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME written{};
  SYSTEMTIME utc{};
  const DWORD bytes = GetFileSize(file, nullptr);
  if (GetFileTime(file, nullptr, nullptr, &written) && FileTimeToSystemTime(&written, &utc)) {
    *size = bytes;
    *date = uint32_t(utc.wYear) * 10000 + uint32_t(utc.wMonth) * 100 + uint32_t(utc.wDay);
  }
  CloseHandle(file);
}

uint32_t ReadBlockIndexVersion() {
  HANDLE file = CreateFileA("..\\CFG\\Block\\BlockIndex.idx", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  uint32_t version = 0;
  DWORD got = 0;
  if (!ReadFile(file, &version, 4, &got, nullptr) || got != 4) version = 0;
  CloseHandle(file);
  return version;
}

void GatherRequestInputs(const REQUESTREC &request, RequestInputs *inputs) {
  switch (request.kind) {
    case REQ_LOGIN:
      ReadLoginAccount(inputs->user, inputs->password);
      inputs->network = ReadNetworkKind();
      break;
    case REQ_CHANGE_PASSWORD: ReadSettingsAccount(inputs->user, inputs->password); break;
    case REQ_CONFIG_FILE:
      inputs->configFileSize = 0;
      inputs->configFileDate = 0;
      if (request.sub == 0) {
        char name[32];
        PutText(reinterpret_cast<uint8_t *>(name), sizeof name, request.text, sizeof request.text);
        if (name[0] != '\0') ReadConfigFileStamp(name, &inputs->configFileSize, &inputs->configFileDate);
      }
      break;
    case REQ_BLOCK_INDEX: inputs->blockIndexVersion = ReadBlockIndexVersion(); break;
    default: break;
  }
}

int SortColumnCode(int sortKind) {
  static constexpr int8_t kColumns[30] = {
      -1, -1, 0,  1,  2,  3,  4,  5,  6,  -1,  // sort kinds 0-9
      14, 15, 13, 16, 17, 19, 20, 21, 22, 23,  // 10-19
      18, 24, 25, 26, 7,  8,  9,  12, 10, 11,  // 20-29
  };
  if (sortKind == 45) return 0;
  if (sortKind < 0 || sortKind >= int(sizeof kColumns)) return -1;
  return kColumns[sortKind];
}

int RequestCommand(int kind) {
  switch (kind) {
    case REQ_CODE_TABLE: return FRAME_CODE_TABLE;
    case REQ_MINUTE_BARS:
    case REQ_DAY_BARS: return FRAME_BARS;
    case REQ_BASE_TEXT_FILE: return FRAME_BASE_TEXT_FILE;
    case REQ_NEWS: return FRAME_NEWS;
    case REQ_MINUTE_TREND: return FRAME_MINUTE_TREND;
    case REQ_RECENT_TRADES: return FRAME_RECENT_TRADES;
    case REQ_WEIGHTS: return FRAME_WEIGHTS;
    case REQ_TICKS: return FRAME_TICKS;
    case REQ_BROKER_QUEUE: return FRAME_BROKER_QUEUE;
    case REQ_LOGIN: return FRAME_LOGIN;  // or FRAME_DS_LOGIN with a grant
    case REQ_UPDATE_CHECK: return FRAME_UPDATE_CHECK;
    case REQ_CLIENT_VERSION: return FRAME_CLIENT_VERSION;
    case REQ_SYSTEM_MESSAGE: return FRAME_SYSTEM_MESSAGE;
    case REQ_REALTIME_MESSAGE: return FRAME_REALTIME_MESSAGE;
    case REQ_SORT_DATA: return FRAME_SORT_DATA;
    case REQ_NOTES_LIST:
    case REQ_NOTE: return FRAME_NOTES;
    case REQ_CHANGE_PASSWORD: return FRAME_CHANGE_PASSWORD;
    case REQ_CONFIG_FILE: return FRAME_CONFIG_FILE;
    case REQ_BLOCK_INDEX: return FRAME_BLOCK_INDEX;
    case REQ_BLOCK_FILE: return FRAME_BLOCK_FILE;
    case REQ_ADVICE: return FRAME_ADVICE;
    case REQ_TREND_HISTORY: return FRAME_TREND_HISTORY;
    case REQ_NAME_TABLE: return FRAME_NAME_TABLE;
    case REQ_BASE_INDEX: return FRAME_BASE_INDEX;
    case REQ_BASE_TEXT: return FRAME_BASE_TEXT;
    case REQ_FINANCE: return FRAME_FINANCE;
    default: return -1;
  }
}

int AnswerCommand(int kind) {
  switch (kind) {
    case REQ_LOGIN:
    case REQ_UPDATE_CHECK:
    case REQ_CLIENT_VERSION:
    case REQ_CONFIG_FILE:
    case REQ_BLOCK_INDEX:
    case REQ_BLOCK_FILE:
    case REQ_FINANCE: return -1;  // sent and answered on the spot, never queued
    default: return RequestCommand(kind);
  }
}

int EncodeFrame(uint8_t command, const void *body, int length, uint8_t *out, int capacity) {
  if (length < 0 || length > kMaxSentFrame - kFrameHeadSize || kFrameHeadSize + length > capacity) return -1;
  const FRAMEHEAD head{kFrameMark, command, 1, 0, uint16_t(length), 0, 0};
  std::memcpy(out, &head, kFrameHeadSize);
  if (length > 0) std::memcpy(out + kFrameHeadSize, body, size_t(length));
  return kFrameHeadSize + length;
}

int EncodeRequest(const REQUESTREC &r, const RequestInputs &in, uint8_t *out, int capacity) {
  if (capacity < kFrameHeadSize) return -1;
  const int room = std::min(capacity, kMaxSentFrame) - kFrameHeadSize;
  int command = RequestCommand(r.kind);
  if (command < 0) return -1;
  uint8_t *b = out + kFrameHeadSize;
  // Bodies of a fixed size are cleared first: every byte not set is zero.
  auto fixed = [&](int n) {
    if (n > room) return false;
    std::memset(b, 0, size_t(n));
    return true;
  };
  int n = 0;
  switch (r.kind) {
    case REQ_CODE_TABLE:
      if (!fixed(n = 7)) return -1;
      Put8(b, r.market);
      Put16(b + 1, uint32_t(r.sub));
      break;
    case REQ_MINUTE_BARS:
    case REQ_DAY_BARS:
      if (!fixed(n = 22)) return -1;
      Put8(b, r.kind == REQ_DAY_BARS ? 8 : uint32_t(r.sub));
      Put8(b + 1, r.market);
      PutCode(b + 2, r.code);
      Put32(b + 14, r.value1);
      Put32(b + 18, r.value2);
      break;
    case REQ_BASE_TEXT_FILE:
    case REQ_WEIGHTS:
      if (!fixed(n = 13)) return -1;
      Put8(b, r.market);
      Put32(b + 1, r.value1);
      PutCode(b + 5, r.code);
      break;
    case REQ_NEWS:
      if (r.sub == 0) {
        if (!fixed(n = 10)) return -1;
        Put8(b + 1, r.market);
        Put32(b + 2, r.value2);
        Put32(b + 6, r.value1);
      } else if (r.sub == 2) {
        if (!fixed(n = 6)) return -1;
        Put8(b, 2);
        Put8(b + 1, r.market);
        Put32(b + 2, r.value1);
      } else {
        return -1;
      }
      break;
    case REQ_MINUTE_TREND:
    case REQ_TICKS:
      if (!fixed(n = 14)) return -1;
      Put8(b, uint32_t(r.sub));
      Put8(b + 1, r.market);
      PutCode(b + 2, r.code);
      Put32(b + 10, r.value1);
      break;
    case REQ_RECENT_TRADES:
      if (!fixed(n = 13)) return -1;
      Put8(b, r.market);
      PutCode(b + 1, r.code);
      Put32(b + 9, r.value1);
      break;
    case REQ_BROKER_QUEUE:
      if (!fixed(n = 9)) return -1;
      Put8(b, r.market);
      PutCode(b + 1, r.code);
      break;
    case REQ_LOGIN:
      if (in.grant == nullptr) {
        if (!fixed(n = int(sizeof(DIRLOGINBODY)))) return -1;
        DIRLOGINBODY body{};
        PutText(reinterpret_cast<uint8_t *>(body.user), sizeof body.user, in.user, sizeof in.user);
        PutText(reinterpret_cast<uint8_t *>(body.password), sizeof body.password, in.password, sizeof in.password);
        body.network = in.network;
        body.eight = 8;
        std::memcpy(b, &body, sizeof body);
      } else {
        if (!fixed(n = int(sizeof(DSLOGINBODY)))) return -1;
        DSLOGINBODY body{};
        PutText(reinterpret_cast<uint8_t *>(body.user), sizeof body.user, in.user, sizeof in.user);
        PutText(reinterpret_cast<uint8_t *>(body.password), sizeof body.password, in.password, sizeof in.password);
        body.eight = 8;
        std::memcpy(body.marketRights, in.grant->marketRights, sizeof body.marketRights);
        std::memcpy(body.newsRights, in.grant->newsRights, sizeof body.newsRights);
        body.session = in.grant->session;
        body.value522 = in.grant->value522;
        body.value524 = in.grant->value524;
        std::memcpy(b, &body, sizeof body);
        command = FRAME_DS_LOGIN;
      }
      break;
    case REQ_UPDATE_CHECK:
    case REQ_SYSTEM_MESSAGE:
      if (!fixed(n = 4)) return -1;
      break;
    case REQ_CLIENT_VERSION: {
      if (!fixed(n = 72)) return -1;
      const uint32_t v = in.programVersion;
      char version[40];
      std::snprintf(version, sizeof version, "%u.%u.%u", v / 10000000, v % 10000000 / 10000, v % 10000);
      PutText(b, 72, version, sizeof version);
      break;
    }
    case REQ_REALTIME_MESSAGE:
      if (!fixed(n = 4)) return -1;
      Put32(b, r.value1);
      break;
    case REQ_SORT_DATA: {
      const int column = SortColumnCode(r.sub);
      if (column < 0) return -1;
      const int listed = r.codes != nullptr ? int(r.value1) : 0;
      if (r.codes != nullptr && r.value1 > 0xFFFF) return -1;
      if (!fixed(n = 7 + 3 * listed)) return -1;
      Put8(b, uint32_t(column));
      Put32(b + 1, r.codes == nullptr ? 1 : 0);
      Put16(b + 5, r.value1);
      static_assert(sizeof(STKMS) == 3);
      if (listed > 0) std::memcpy(b + 7, r.codes, size_t(listed) * 3);
      break;
    }
    case REQ_NOTES_LIST:
      if (!fixed(n = 10)) return -1;
      Put8(b + 1, r.market);
      Put32(b + 2, r.value1);
      Put32(b + 6, r.value2);
      break;
    case REQ_NOTE:
      if (!fixed(n = 20)) return -1;
      Put8(b, 1);
      Put8(b + 1, r.market);
      PutText(b + 2, 16, r.text, sizeof r.text);
      Put16(b + 18, uint32_t(r.sub));
      break;
    case REQ_CHANGE_PASSWORD:
      if (!fixed(n = 40)) return -1;
      PutText(b, 16, in.user, sizeof in.user);
      PutText(b + 16, 12, in.password, sizeof in.password);
      PutText(b + 28, 12, r.code, sizeof r.code);
      break;
    case REQ_CONFIG_FILE:
      if (!fixed(n = 44)) return -1;
      PutText(b, 32, r.text, sizeof r.text);
      if (r.sub == 0) {
        Put32(b + 32, in.configFileSize);
        Put32(b + 36, in.configFileDate);
      }
      Put32(b + 40, uint32_t(r.sub));
      break;
    case REQ_BLOCK_INDEX:
      if (!fixed(n = 4)) return -1;
      Put32(b, in.blockIndexVersion);
      break;
    case REQ_BLOCK_FILE:
      if (r.value1 < 1 || r.value1 > uint32_t(kMaxBlockItems)) return -1;
      static_assert(kMaxBlockItems * kBlockItemSize <= int(sizeof r.text));
      if (!fixed(n = kBlockItemSize * int(r.value1))) return -1;
      std::memcpy(b, r.text, size_t(n));
      break;
    case REQ_ADVICE:
      if (!fixed(n = 17)) return -1;
      Put8(b, r.market);
      PutCode(b + 1, r.code);
      Put32(b + 9, r.value1);
      Put32(b + 13, r.value2);
      break;
    case REQ_TREND_HISTORY:
      if (!fixed(n = 14)) return -1;
      Put8(b, 1);
      Put8(b + 1, r.market);
      PutCode(b + 2, r.code);
      Put32(b + 10, r.value1);
      break;
    case REQ_NAME_TABLE:
      if (!fixed(n = 1)) return -1;
      Put8(b, r.market);
      break;
    case REQ_BASE_INDEX:
      if (!fixed(n = 14)) return -1;
      Put8(b, r.market);
      PutCode(b + 1, r.code);
      Put8(b + 9, r.value1 & 0xFF);
      Put32(b + 10, r.value2);
      break;
    case REQ_BASE_TEXT:
      if (!fixed(n = 98)) return -1;
      Put8(b, r.market);
      PutCode(b + 1, r.code);
      Put8(b + 9, uint32_t(r.sub));
      PutText(b + 10, 80, r.text, sizeof r.text);
      Put32(b + 90, r.value1);
      Put32(b + 94, r.value2);
      break;
    case REQ_FINANCE:
      if (!fixed(n = 98)) return -1;
      Put8(b, 1);
      Put16(b + 1, r.market);
      Put32(b + 3, in.marketDateTime);
      break;
    default: return -1;
  }
  const FRAMEHEAD head{kFrameMark, uint8_t(command), 1, 0, uint16_t(n), 0, 0};
  std::memcpy(out, &head, kFrameHeadSize);
  return kFrameHeadSize + n;
}

const char *FrameErrorText(FrameError error) {
  switch (error) {
    case FrameError::kNone: return "no error";
    case FrameError::kBadMark: return "frame mark is wrong";
    case FrameError::kBodyTooLong: return "frame body longer than 8192 bytes";
    case FrameError::kBadPartIndex: return "frame part index not below its part count";
    case FrameError::kUndecodable: return "compressed frame body does not decode";
    case FrameError::kBufferOverrun: return "more bytes received than the buffer holds";
  }
  return "unknown frame error";
}

FrameError CheckFrameHead(const FRAMEHEAD &head, FrameLink link) {
  if (head.mark != kFrameMark && !(link == FrameLink::kPush && head.mark == kFrameMarkSlowNetwork))
    return FrameError::kBadMark;
  if (head.bodyLength > kMaxFrameBody) return FrameError::kBodyTooLong;
  if (head.partIndex >= head.partCount) return FrameError::kBadPartIndex;
  return FrameError::kNone;
}

uint8_t *FrameAssembler::Space() {
  if (begin_ > 0) {
    // Everything before begin_ has been taken: move the rest to the front so
    // that the largest frame always fits.
    std::memmove(buffer_, buffer_ + begin_, size_t(end_ - begin_));
    end_ -= begin_;
    begin_ = 0;
  }
  return buffer_ + end_;
}

void FrameAssembler::Received(int count) {
  if (count < 0) return;
  if (count > kReceiveBufferSize - end_) {
    error_ = FrameError::kBufferOverrun;
    return;
  }
  end_ += count;
}

FrameAssembler::Result FrameAssembler::Next(FRAMEHEAD *head, const uint8_t **body) {
  if (error_ != FrameError::kNone) return kError;
  const int available = end_ - begin_;
  if (available < kFrameHeadSize) return kWait;
  FRAMEHEAD h;
  std::memcpy(&h, buffer_ + begin_, kFrameHeadSize);
  error_ = CheckFrameHead(h, link_);
  if (error_ != FrameError::kNone) return kError;
  if (available - kFrameHeadSize < int(h.bodyLength)) return kWait;
  *head = h;
  *body = buffer_ + begin_ + kFrameHeadSize;
  begin_ += kFrameHeadSize + h.bodyLength;
  if (begin_ == end_) begin_ = end_ = 0;
  return kFrame;
}

void FrameAssembler::Clear() {
  begin_ = end_ = 0;
  error_ = FrameError::kNone;
}

bool DecodeFrameBody(const FRAMEHEAD &head, const uint8_t *body, LCompressLite &decoder, uint8_t *scratch,
                     const uint8_t **plain, int *plainLength) {
  if (head.compressed == 0) {
    *plain = body;
    *plainLength = head.bodyLength;
    return true;
  }
  int32_t length = 0;
  if (decoder.Decode(body, head.bodyLength, scratch, kDecodeBufferSize, &length) != LCompressLite::kOk) return false;
  *plain = scratch;
  *plainLength = length;
  return true;
}

bool ReadServerText(const uint8_t *body, int length, uint8_t *textClass, char *text, size_t textSize) {
  if (textSize > 0) text[0] = '\0';
  if (body == nullptr || length < 3) return false;
  *textClass = body[2];
  if (textSize == 0) return true;
  const size_t field = size_t(length - 3);
  const size_t n = strnlen(reinterpret_cast<const char *>(body + 3), std::min(field, textSize - 1));
  std::memcpy(text, body + 3, n);
  text[n] = '\0';
  return true;
}

bool ReadGrant(const uint8_t *body, int length, DSINFO *grant) {
  if (body == nullptr || length < kDsinfoSize) return false;
  std::memcpy(grant, body, sizeof *grant);
  return true;
}

bool ReadDataServerAddress(const uint8_t *body, int length, uint8_t (&address)[4]) {
  if (body == nullptr || length < 4) return false;
  std::memcpy(address, body, 4);
  return true;
}

void FormatDottedAddress(const uint8_t (&address)[4], char (&text)[16]) {
  // Four numbers of at most three digits and three dots always fit.
  char *p = text;
  for (int i = 0; i < 4; ++i) {
    const unsigned v = address[i];
    if (i > 0) *p++ = '.';
    if (v >= 100) *p++ = char('0' + v / 100);
    if (v >= 10) *p++ = char('0' + v / 10 % 10);
    *p++ = char('0' + v % 10);
  }
  *p = '\0';
}
