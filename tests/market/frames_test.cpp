#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/lzw.h"
#include "market/nclient_frames.h"
#include "market/utildata.h"
#include "testing/lzw_encoder.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

// An expected body, written field by field at its offsets.
struct Body {
  explicit Body(size_t size) : bytes(size, 0) {}
  Body &u8(size_t at, uint32_t v) {
    bytes.at(at) = uint8_t(v);
    return *this;
  }
  Body &u16(size_t at, uint32_t v) { return u8(at, v).u8(at + 1, v >> 8); }
  Body &u32(size_t at, uint32_t v) { return u16(at, v).u16(at + 2, v >> 16); }
  Body &text(size_t at, const std::string &s) {
    for (size_t i = 0; i < s.size(); ++i) u8(at + i, uint8_t(s[i]));
    return *this;
  }
  Body &raw(size_t at, const void *p, size_t n) {
    const uint8_t *b = static_cast<const uint8_t *>(p);
    for (size_t i = 0; i < n; ++i) u8(at + i, b[i]);
    return *this;
  }
  Bytes bytes;
};

template <size_t N>
void SetText(char (&field)[N], const std::string &s) {
  std::memset(field, 0, N);
  std::memcpy(field, s.data(), std::min(s.size(), N));
}

FRAMEHEAD Head(uint8_t mark, uint16_t count, uint16_t index, uint16_t length) {
  return FRAMEHEAD{mark, 12, count, index, length, 0, 0};
}

Bytes Frame(uint8_t command, const Bytes &body, uint16_t count = 1, uint16_t index = 0, uint8_t compressed = 0) {
  const FRAMEHEAD head{kFrameMark, command, count, index, uint16_t(body.size()), compressed, 0};
  Bytes out(kFrameHeadSize + body.size());
  std::memcpy(out.data(), &head, kFrameHeadSize);
  std::copy(body.begin(), body.end(), out.begin() + kFrameHeadSize);
  return out;
}

constexpr uint32_t kV1 = 0x11223344;
constexpr uint32_t kV2 = 0x55667788;

// ---------------------------------------------------------------------------
// Heads

TEST(FrameHead, IsCheckedBeforeItsBodyIsRead) {
  struct Case {
    FRAMEHEAD head;
    FrameLink link;
    FrameError expected;
  } cases[] = {
      {Head(0x40, 1, 0, 0), FrameLink::kRequest, FrameError::kNone},
      {Head(0x40, 3, 2, 8192), FrameLink::kRequest, FrameError::kNone},
      {Head(0x40, 1, 0, 8193), FrameLink::kRequest, FrameError::kBodyTooLong},
      {Head(0x40, 1, 0, 0xFFFF), FrameLink::kPush, FrameError::kBodyTooLong},
      {Head(0x40, 3, 3, 10), FrameLink::kRequest, FrameError::kBadPartIndex},
      {Head(0x40, 0, 0, 10), FrameLink::kRequest, FrameError::kBadPartIndex},
      {Head(0x23, 1, 0, 10), FrameLink::kRequest, FrameError::kBadMark},
      {Head(0x23, 1, 0, 10), FrameLink::kPush, FrameError::kNone},
      {Head(0x41, 1, 0, 10), FrameLink::kPush, FrameError::kBadMark},
  };
  for (const Case &c : cases)
    EXPECT_EQ(CheckFrameHead(c.head, c.link), c.expected) << "mark " << int(c.head.mark) << " part " << c.head.partIndex
                                                          << "/" << c.head.partCount << " length " << c.head.bodyLength;
}

// ---------------------------------------------------------------------------
// Cutting the stream into frames

// Feeds bytes in the given pieces and collects every frame as head + body.
struct Collected {
  std::vector<Bytes> frames;
  FrameAssembler::Result last = FrameAssembler::kWait;
};

Collected Feed(FrameAssembler &assembler, const Bytes &stream, const std::vector<size_t> &pieces) {
  Collected out;
  size_t at = 0;
  for (size_t i = 0; at < stream.size(); ++i) {
    // The pieces in turn, each no more than the room there is.
    const size_t piece = std::min({pieces[i % pieces.size()], stream.size() - at, size_t(assembler.SpaceSize())});
    std::memcpy(assembler.Space(), stream.data() + at, piece);
    assembler.Received(int(piece));
    at += piece;
    FRAMEHEAD head;
    const uint8_t *body = nullptr;
    while ((out.last = assembler.Next(&head, &body)) == FrameAssembler::kFrame) {
      Bytes frame(reinterpret_cast<const uint8_t *>(&head), reinterpret_cast<const uint8_t *>(&head) + kFrameHeadSize);
      frame.insert(frame.end(), body, body + head.bodyLength);
      out.frames.push_back(std::move(frame));
    }
    if (out.last == FrameAssembler::kError) break;
  }
  return out;
}

TEST(FrameAssembler, TwoFramesAndHalfAHeadInOneReceive) {
  const Bytes a = Frame(12, Bytes(40, 1));
  const Bytes b = Frame(10, {});  // an empty body is a frame too
  const Bytes c = Frame(20, Bytes(25, 3), 2, 1);
  Bytes stream = a;
  stream.insert(stream.end(), b.begin(), b.end());
  stream.insert(stream.end(), c.begin(), c.end());

  FrameAssembler assembler;
  const size_t cut = a.size() + b.size() + 5;
  Collected first = Feed(assembler, Bytes(stream.begin(), stream.begin() + ptrdiff_t(cut)), {cut});
  EXPECT_EQ(first.frames, (std::vector<Bytes>{a, b}));
  EXPECT_EQ(first.last, FrameAssembler::kWait);
  EXPECT_EQ(assembler.Buffered(), 5);

  Collected rest = Feed(assembler, Bytes(stream.begin() + ptrdiff_t(cut), stream.end()), {4});
  EXPECT_EQ(rest.frames, (std::vector<Bytes>{c}));
  EXPECT_EQ(assembler.Buffered(), 0);
}

TEST(FrameAssembler, AnyCutOfTheStreamGivesTheSameFrames) {
  // Frames of every size up to the largest, so that a full-size frame has to
  // fit behind leftovers of the one before.
  std::mt19937 rng(11);
  std::vector<Bytes> frames;
  Bytes stream;
  for (int size : {0, 1, 9, 10, 11, 700, 8191, 8192, 3, 8192, 8192, 64}) {
    Bytes body(size_t(size), 0);
    for (uint8_t &b : body) b = uint8_t(rng());
    frames.push_back(Frame(uint8_t(size % 200 + 1), body));
    stream.insert(stream.end(), frames.back().begin(), frames.back().end());
  }
  const std::vector<std::vector<size_t>> cuts = {{1}, {7}, {10}, {4096}, {size_t(kReceiveBufferSize)}, {3, 9000, 11}};
  for (const auto &pieces : cuts) {
    FrameAssembler assembler;
    Collected got = Feed(assembler, stream, pieces);
    EXPECT_EQ(got.frames, frames) << "pieces of " << pieces[0];
  }
}

TEST(FrameAssembler, BadHeadIsAnErrorUntilCleared) {
  struct Case {
    const char *name;
    FRAMEHEAD head;
    FrameError expected;
  } cases[] = {
      {"body of 8193 bytes", FRAMEHEAD{0x40, 12, 1, 0, 8193, 0, 0}, FrameError::kBodyTooLong},
      {"part index at the count", FRAMEHEAD{0x40, 12, 2, 2, 4, 0, 0}, FrameError::kBadPartIndex},
      {"wrong mark", FRAMEHEAD{0x23, 12, 1, 0, 4, 0, 0}, FrameError::kBadMark},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FrameAssembler assembler;
    // A good frame first, then the bad head with only part of a body.
    Bytes stream = Frame(11, {1, 2, 3});
    const uint8_t *h = reinterpret_cast<const uint8_t *>(&c.head);
    stream.insert(stream.end(), h, h + kFrameHeadSize);
    stream.insert(stream.end(), {9, 9});
    Collected got = Feed(assembler, stream, {stream.size()});
    EXPECT_EQ(got.frames.size(), 1u);
    EXPECT_EQ(got.last, FrameAssembler::kError);
    EXPECT_EQ(assembler.Error(), c.expected);
    FRAMEHEAD head;
    const uint8_t *body;
    EXPECT_EQ(assembler.Next(&head, &body), FrameAssembler::kError);
    assembler.Clear();
    EXPECT_EQ(assembler.Error(), FrameError::kNone);
    EXPECT_EQ(Feed(assembler, Frame(11, {4}), {11}).frames.size(), 1u);
  }
}

TEST(FrameAssembler, MoreBytesThanRoomIsAnError) {
  FrameAssembler assembler;
  assembler.Space();
  assembler.Received(kReceiveBufferSize + 1);
  FRAMEHEAD head;
  const uint8_t *body;
  EXPECT_EQ(assembler.Next(&head, &body), FrameAssembler::kError);
  EXPECT_EQ(assembler.Error(), FrameError::kBufferOverrun);
}

// ---------------------------------------------------------------------------
// Compressed bodies

TEST(FrameBody, CompressedBodiesDecodeWithinTheBuffer) {
  struct Case {
    const char *name;
    Bytes body;
    int expectedLength;  // -1: does not decode
  } cases[] = {
      {"plain text", LzwEncode(std::string(3000, 'q') + "tail"), 3004},
      {"the most that fits with an end code", LzwEncode(std::string(kDecodeBufferSize - 5, 'z')), 16379},
      {"one byte more", LzwEncode(std::string(kDecodeBufferSize - 4, 'z')), -1},
      {"wrong magic", Bytes{'W', 'M', 'C', '1', '6', 0, 0}, -1},
      {"a run that starts with a string code", LzwCodeWriter().Put({300, 256}, 9).Bytes(), -1},
      {"cut short before the magic ends", Bytes{'W', 'M', 'C'}, -1},
  };
  auto decoder = std::make_unique<LCompressLite>();
  std::vector<uint8_t> scratch(kDecodeBufferSize);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    // The body in a block of exactly its size, so that a read past it shows.
    auto body = std::make_unique<uint8_t[]>(c.body.size());
    std::memcpy(body.get(), c.body.data(), c.body.size());
    const FRAMEHEAD head{kFrameMark, 12, 1, 0, uint16_t(c.body.size()), 1, 0};
    const uint8_t *plain = nullptr;
    int length = -7;
    const bool ok = DecodeFrameBody(head, body.get(), *decoder, scratch.data(), &plain, &length);
    EXPECT_EQ(ok, c.expectedLength >= 0);
    if (ok) {
      EXPECT_EQ(plain, scratch.data());
      EXPECT_EQ(length, c.expectedLength);
    } else {
      EXPECT_EQ(length, -7);
    }
  }
}

TEST(FrameBody, PlainBodyIsTakenAsItIs) {
  auto decoder = std::make_unique<LCompressLite>();
  const uint8_t body[3] = {1, 2, 3};
  const FRAMEHEAD head{kFrameMark, 12, 1, 0, 3, 0, 0};
  const uint8_t *plain = nullptr;
  int length = 0;
  EXPECT_TRUE(DecodeFrameBody(head, body, *decoder, nullptr, &plain, &length));
  EXPECT_EQ(plain, body);
  EXPECT_EQ(length, 3);
}

// ---------------------------------------------------------------------------
// Fixed-layout answers: each in a block of exactly its size

std::unique_ptr<uint8_t[]> Exact(const Bytes &bytes) {
  auto block = std::make_unique<uint8_t[]>(bytes.size() + 1);  // never empty
  std::memcpy(block.get(), bytes.data(), bytes.size());
  return block;
}

TEST(ServerText, IsBoundedByTheBodyAndTheField) {
  const std::string longText(300, 'x');
  struct Case {
    const char *name;
    Bytes body;
    bool ok;
    uint8_t textClass;
    std::string text;
  } cases[] = {
      {"too short for the class", {0, 0}, false, 0, ""},
      {"class and no text", {0, 0, 21}, true, 21, ""},
      {"terminated text", Body(12).u8(2, 20).text(3, "abc").text(7, "zzzz").bytes, true, 20, "abc"},
      {"unterminated text ends with the body", Body(7).u8(2, 1).text(3, "wxyz").bytes, true, 1, "wxyz"},
      {"text longer than the field", Body(3 + 300).text(3, longText).bytes, true, 0, longText.substr(0, 255)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    auto body = Exact(c.body);
    char text[256];
    std::memset(text, '#', sizeof text);
    uint8_t textClass = 99;
    EXPECT_EQ(ReadServerText(body.get(), int(c.body.size()), &textClass, text, sizeof text), c.ok);
    EXPECT_EQ(std::string(text), c.text);
    if (c.ok) EXPECT_EQ(textClass, c.textClass);
  }
}

TEST(LoginAnswers, AreReadOnlyWhenLongEnough) {
  Bytes grantBytes(kDsinfoSize);
  for (size_t i = 0; i < grantBytes.size(); ++i) grantBytes[i] = uint8_t(i * 7);
  DSINFO grant{};
  auto shortGrant = Exact(Bytes(grantBytes.begin(), grantBytes.end() - 1));
  EXPECT_FALSE(ReadGrant(shortGrant.get(), kDsinfoSize - 1, &grant));
  auto fullGrant = Exact(grantBytes);
  ASSERT_TRUE(ReadGrant(fullGrant.get(), kDsinfoSize, &grant));
  EXPECT_EQ(std::memcmp(&grant, grantBytes.data(), kDsinfoSize), 0);
  uint32_t session;
  std::memcpy(&session, grantBytes.data() + 518, 4);
  EXPECT_EQ(uint32_t{grant.session}, session);

  uint8_t address[4] = {};
  auto three = Exact({10, 0, 0});
  EXPECT_FALSE(ReadDataServerAddress(three.get(), 3, address));
  auto four = Exact({10, 20, 30, 40});
  ASSERT_TRUE(ReadDataServerAddress(four.get(), 4, address));
  char dotted[16];
  FormatDottedAddress(address, dotted);
  EXPECT_STREQ(dotted, "10.20.30.40");
  const uint8_t widest[4] = {255, 255, 255, 255};
  FormatDottedAddress(widest, dotted);
  EXPECT_STREQ(dotted, "255.255.255.255");
  const uint8_t loopback[4] = {127, 0, 0, 1};
  FormatDottedAddress(loopback, dotted);
  EXPECT_STREQ(dotted, "127.0.0.1");
}

// ---------------------------------------------------------------------------
// Requests

struct RequestCase {
  const char *name;
  std::function<void(REQUESTREC &, RequestInputs &)> setup;
  int command;
  Bytes body;
};

STKMS kListed[2] = {{1, 0x1234}, {2, 0x5678}};

DSINFO SampleGrant() {
  DSINFO grant{};
  for (size_t i = 0; i < sizeof grant; ++i) reinterpret_cast<uint8_t *>(&grant)[i] = uint8_t(i * 13 + 1);
  return grant;
}
const DSINFO kGrant = SampleGrant();

const uint8_t kBlockItems[14] = {1, 0x10, 0, 0, 0, 0, 0, 2, 0x20, 0x30, 0, 0, 0, 0};

std::vector<RequestCase> RequestCases() {
  auto code = [](Body b, size_t at) { return b.text(at, "rb2410"); };
  return {
      {"code table", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_CODE_TABLE, r.sub = 400; }, 51,
       Body(7).u8(0, 5).u16(1, 400).bytes},
      {"minute bars", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_MINUTE_BARS, r.sub = 4; }, 12,
       code(Body(22).u8(0, 4).u8(1, 5).u32(14, kV1).u32(18, kV2), 2).bytes},
      {"day bars take base 8", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_DAY_BARS, r.sub = 1; }, 12,
       code(Body(22).u8(0, 8).u8(1, 5).u32(14, kV1).u32(18, kV2), 2).bytes},
      {"base text file", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_BASE_TEXT_FILE; }, 21,
       code(Body(13).u8(0, 5).u32(1, kV1), 5).bytes},
      {"news list", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_NEWS, r.sub = 0, r.market = 3; }, 15,
       Body(10).u8(1, 3).u32(2, kV2).u32(6, kV1).bytes},
      {"news text", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_NEWS, r.sub = 2, r.market = 3; }, 15,
       Body(6).u8(0, 2).u8(1, 3).u32(2, kV1).bytes},
      {"minute trend", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_MINUTE_TREND, r.sub = 1; }, 10,
       code(Body(14).u8(0, 1).u8(1, 5).u32(10, kV1), 2).bytes},
      {"recent trades", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_RECENT_TRADES; }, 11,
       code(Body(13).u8(0, 5).u32(9, kV1), 1).bytes},
      {"weights", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_WEIGHTS; }, 18,
       code(Body(13).u8(0, 5).u32(1, kV1), 5).bytes},
      {"ticks", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_TICKS, r.sub = 0; }, 20,
       code(Body(14).u8(1, 5).u32(10, kV1), 2).bytes},
      {"broker queue", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_BROKER_QUEUE; }, 102,
       code(Body(9).u8(0, 5), 1).bytes},
      {"directory login",
       [](REQUESTREC &r, RequestInputs &in) {
         r.kind = REQ_LOGIN;
         SetText(in.user, "fx_alice");
         SetText(in.password, "secret");
         in.network = 2;
       },
       3, Body(64).text(0, "fx_alice").text(16, "secret").u16(28, 2).u32(60, 8).bytes},
      {"data-server login",
       [](REQUESTREC &r, RequestInputs &in) {
         r.kind = REQ_LOGIN;
         SetText(in.user, "fx_alice");
         SetText(in.password, "secret");
         in.grant = &kGrant;
       },
       207,
       Body(160)
           .text(0, "fx_alice")
           .text(16, "secret")
           .u16(28, 8)
           .raw(30, kGrant.marketRights, 96)
           .raw(126, kGrant.newsRights, 16)
           .u32(142, kGrant.session)
           .u16(146, kGrant.value522)
           .u32(148, kGrant.value524)
           .bytes},
      {"update check", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_UPDATE_CHECK; }, 202, Bytes(4)},
      {"client version",
       [](REQUESTREC &r, RequestInputs &in) {
         r.kind = REQ_CLIENT_VERSION;
         in.programVersion = 20013045;
       },
       53, Body(72).text(0, "2.1.3045").bytes},
      {"system message", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_SYSTEM_MESSAGE; }, 203, Bytes(4)},
      {"real-time message", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_REALTIME_MESSAGE, r.value1 = ~0u; }, 204,
       Body(4).u32(0, ~0u).bytes},
      {"ranking of listed codes",
       [](REQUESTREC &r, RequestInputs &) {
         r.kind = REQ_SORT_DATA, r.sub = 21, r.value1 = 2;
         r.codes = kListed;
       },
       101, Body(13).u8(0, 24).u32(1, 0).u16(5, 2).text(7, "\x01\x34\x12\x02\x78\x56").bytes},
      {"ranking of a whole block",
       [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_SORT_DATA, r.sub = 45, r.value1 = 77; }, 101,
       Body(7).u8(0, 0).u32(1, 1).u16(5, 77).bytes},
      {"notes list", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_NOTES_LIST, r.market = 4; }, 16,
       Body(10).u8(1, 4).u32(2, kV1).u32(6, kV2).bytes},
      {"note",
       [](REQUESTREC &r, RequestInputs &) {
         r.kind = REQ_NOTE, r.market = 4, r.sub = 9;
         SetText(r.text, "note-key");
       },
       16, Body(20).u8(0, 1).u8(1, 4).text(2, "note-key").u16(18, 9).bytes},
      {"password change",
       [](REQUESTREC &r, RequestInputs &in) {
         r.kind = REQ_CHANGE_PASSWORD;
         SetText(r.code, "newpw");
         SetText(in.user, "alice");
         SetText(in.password, "old");
       },
       30, Body(40).text(0, "alice").text(16, "old").text(28, "newpw").bytes},
      {"configuration file",
       [](REQUESTREC &r, RequestInputs &in) {
         r.kind = REQ_CONFIG_FILE;
         SetText(r.text, "mkinfo.cfg");
         in.configFileSize = 1234;
         in.configFileDate = 20240115;
       },
       206, Body(44).text(0, "mkinfo.cfg").u32(32, 1234).u32(36, 20240115).bytes},
      {"configuration file asked for whole",
       [](REQUESTREC &r, RequestInputs &in) {
         r.kind = REQ_CONFIG_FILE, r.sub = 1;
         SetText(r.text, "mkinfo.cfg");
         in.configFileSize = 1234;
         in.configFileDate = 20240115;
       },
       206, Body(44).text(0, "mkinfo.cfg").u32(40, 1).bytes},
      {"block index",
       [](REQUESTREC &r, RequestInputs &in) {
         r.kind = REQ_BLOCK_INDEX;
         in.blockIndexVersion = 0xCAFE;
       },
       110, Body(4).u32(0, 0xCAFE).bytes},
      {"block files",
       [](REQUESTREC &r, RequestInputs &) {
         r.kind = REQ_BLOCK_FILE, r.value1 = 2;
         std::memcpy(r.text, kBlockItems, sizeof kBlockItems);
       },
       111, Body(14).raw(0, kBlockItems, 14).bytes},
      {"advice", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_ADVICE; }, 33,
       code(Body(17).u8(0, 5).u32(9, kV1).u32(13, kV2), 1).bytes},
      {"trend history", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_TREND_HISTORY; }, 31,
       code(Body(14).u8(0, 1).u8(1, 5).u32(10, kV1), 2).bytes},
      {"name table", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_NAME_TABLE; }, 34, Body(1).u8(0, 5).bytes},
      {"base index takes the low byte of value1", [](REQUESTREC &r, RequestInputs &) { r.kind = REQ_BASE_INDEX; }, 40,
       code(Body(14).u8(0, 5).u8(9, 0x44).u32(10, kV2), 1).bytes},
      {"base text",
       [](REQUESTREC &r, RequestInputs &) {
         r.kind = REQ_BASE_TEXT, r.sub = 3;
         SetText(r.text, "f10.txt");
       },
       41, code(Body(98).u8(0, 5).u8(9, 3).text(10, "f10.txt").u32(90, kV1).u32(94, kV2), 1).bytes},
      {"finance",
       [](REQUESTREC &r, RequestInputs &in) {
         r.kind = REQ_FINANCE, r.market = 1;
         in.marketDateTime = 0xABCDEF01;
       },
       14, Body(98).u8(0, 1).u16(1, 1).u32(3, 0xABCDEF01).bytes},
  };
}

REQUESTREC BaseRequest() {
  REQUESTREC r{};
  r.market = 5;
  SetText(r.code, "rb2410");
  r.value1 = kV1;
  r.value2 = kV2;
  r.value3 = 0x99;
  r.tag = 0x1234;
  return r;
}

TEST(EncodeRequest, EveryKindBuildsItsFrame) {
  for (const RequestCase &c : RequestCases()) {
    SCOPED_TRACE(c.name);
    REQUESTREC r = BaseRequest();
    RequestInputs in;
    c.setup(r, in);
    uint8_t out[kMaxSentFrame];
    std::memset(out, 0xEE, sizeof out);
    const int n = EncodeRequest(r, in, out, sizeof out);
    ASSERT_EQ(n, int(kFrameHeadSize + c.body.size()));
    const Bytes head(out, out + kFrameHeadSize);
    EXPECT_EQ(head, (Bytes{0x40, uint8_t(c.command), 1, 0, 0, 0, uint8_t(c.body.size()), 0, 0, 0}));
    EXPECT_EQ(Bytes(out + kFrameHeadSize, out + n), c.body);
    if (r.kind != REQ_LOGIN) {
      EXPECT_EQ(RequestCommand(r.kind), c.command);
    }
  }
}

TEST(EncodeRequest, TextsAreCutToTheirFields) {
  REQUESTREC r = BaseRequest();
  RequestInputs in;
  uint8_t out[kMaxSentFrame];

  r.kind = REQ_BROKER_QUEUE;
  SetText(r.code, "ABCDEFGHIJKL");  // fills all 12 bytes without a NUL
  ASSERT_EQ(EncodeRequest(r, in, out, sizeof out), 19);
  EXPECT_EQ(Bytes(out + 11, out + 19), (Body(8).text(0, "ABCDEFG").bytes));

  r = BaseRequest();
  r.kind = REQ_CHANGE_PASSWORD;
  SetText(r.code, "123456789012");  // the new password's last byte becomes NUL
  SetText(in.user, "0123456789abcdefXX");
  SetText(in.password, "pppppppppppppp");
  ASSERT_EQ(EncodeRequest(r, in, out, sizeof out), 50);
  EXPECT_EQ(Bytes(out + 10, out + 50),
            Body(40).text(0, "0123456789abcde").text(16, "ppppppppppp").text(28, "12345678901").bytes);

  r = BaseRequest();
  r.kind = REQ_NOTE;
  SetText(r.text, std::string(80, 'k'));
  ASSERT_EQ(EncodeRequest(r, in, out, sizeof out), 30);
  EXPECT_EQ(Bytes(out + 12, out + 28), Body(16).text(0, std::string(15, 'k')).bytes);

  r = BaseRequest();
  r.kind = REQ_CONFIG_FILE;
  SetText(r.text, std::string(80, 'f'));
  ASSERT_EQ(EncodeRequest(r, in, out, sizeof out), 54);
  EXPECT_EQ(Bytes(out + 10, out + 42), Body(32).text(0, std::string(31, 'f')).bytes);
}

TEST(EncodeRequest, RefusesWhatCannotGoOut) {
  static STKMS many[2726];
  struct Case {
    const char *name;
    std::function<void(REQUESTREC &)> setup;
    int capacity;
  } cases[] = {
      {"unknown kind 1", [](REQUESTREC &r) { r.kind = 1; }, kMaxSentFrame},
      {"unknown kind 99", [](REQUESTREC &r) { r.kind = 99; }, kMaxSentFrame},
      {"news of an unknown sub-kind", [](REQUESTREC &r) { r.kind = REQ_NEWS, r.sub = 1; }, kMaxSentFrame},
      {"ranking of an unlisted sort kind", [](REQUESTREC &r) { r.kind = REQ_SORT_DATA, r.sub = 9; }, kMaxSentFrame},
      {"ranking of sort kind 30", [](REQUESTREC &r) { r.kind = REQ_SORT_DATA, r.sub = 30; }, kMaxSentFrame},
      {"ranking whose body is 8185 bytes",
       [](REQUESTREC &r) {
         r.kind = REQ_SORT_DATA, r.sub = 2, r.value1 = 2726;
         r.codes = many;
       },
       kMaxSentFrame},
      {"block request without items", [](REQUESTREC &r) { r.kind = REQ_BLOCK_FILE, r.value1 = 0; }, kMaxSentFrame},
      {"block request of 11 items", [](REQUESTREC &r) { r.kind = REQ_BLOCK_FILE, r.value1 = 11; }, kMaxSentFrame},
      {"frame larger than the room given", [](REQUESTREC &r) { r.kind = REQ_FINANCE; }, 107},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    REQUESTREC r = BaseRequest();
    c.setup(r);
    std::vector<uint8_t> out(size_t(c.capacity) + 1, 0xEE);
    EXPECT_EQ(EncodeRequest(r, RequestInputs{}, out.data(), c.capacity), -1);
    EXPECT_EQ(out[size_t(c.capacity)], 0xEE);
  }
  // The largest ranking that fits: 7 + 3 x 2725 = 8182 bytes of body.
  REQUESTREC r = BaseRequest();
  r.kind = REQ_SORT_DATA, r.sub = 2, r.value1 = 2725;
  r.codes = many;
  std::vector<uint8_t> out(kMaxSentFrame);
  EXPECT_EQ(EncodeRequest(r, RequestInputs{}, out.data(), kMaxSentFrame), kMaxSentFrame);
}

TEST(RequestTables, SortColumnsAndCompletingAnswers) {
  const std::pair<int, int> columns[] = {{2, 0},   {3, 1},   {8, 6},   {10, 14}, {11, 15}, {12, 13},
                                         {13, 16}, {15, 19}, {19, 23}, {20, 18}, {21, 24}, {23, 26},
                                         {24, 7},  {27, 12}, {28, 10}, {29, 11}, {45, 0},  {0, -1},
                                         {1, -1},  {9, -1},  {30, -1}, {44, -1}, {46, -1}, {-1, -1}};
  for (auto [kind, column] : columns) EXPECT_EQ(SortColumnCode(kind), column) << "sort kind " << kind;

  const std::pair<int, int> answers[] = {{3, 51},  {6, 12},  {7, 12},  {9, 15},  {13, 18}, {16, 102}, {26, 101},
                                         {27, 16}, {28, 16}, {29, 30}, {34, 31}, {35, 34}, {36, 40},  {37, 41},
                                         {17, -1}, {21, -1}, {30, -1}, {38, -1}, {2, -1},  {99, -1}};
  for (auto [kind, command] : answers) EXPECT_EQ(AnswerCommand(kind), command) << "kind " << kind;
}

// ---------------------------------------------------------------------------
// Inputs from settings and local files

// The program folder "prog" beside the shared "cfg" folder; the user folder
// is "user" inside the program folder.
class RequestInputsTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(fs::path(root_) / "prog" / "user");
    fs::create_directories(fs::path(root_) / "cfg" / "Block");
    fs::current_path(fs::path(root_) / "prog");
    std::memcpy(savedUserPath_, UserDataPath, sizeof savedUserPath_);
    std::strcpy(UserDataPath, "user\\");
  }
  void TearDown() override {
    std::memcpy(UserDataPath, savedUserPath_, sizeof savedUserPath_);
    TempFolderTest::TearDown();
  }
  std::string Path(const std::string &relative) const { return (fs::path(root_) / relative).string(); }

  char savedUserPath_[MAX_PATH];
};

TEST_F(RequestInputsTest, LoginAccountJoinsPrefixAndNameWithinTheField) {
  struct Case {
    const char *prefix;  // null: no usersetting.ini
    const char *name;
    const char *password;
    std::string user;
    std::string expectedPassword;
  } cases[] = {
      {nullptr, "alice", "pw", "alice", "pw"},
      {"fx_", "alice", "pw", "fx_alice", "pw"},
      {"toolong", "alice", "pw",
       "tool"
       "alice",
       "pw"},
      {"abcd", "0123456789abcdef", "0123456789abcdef", "abcd0123456789a", "0123456789a"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.user);
    if (c.prefix)
      Put(Path("cfg/usersetting.ini"), std::string("[UserInfo]\r\nfix=") + c.prefix + "\r\n");
    else
      fs::remove(Path("cfg/usersetting.ini"));
    Put(Path("prog/user/SERVER.INI"),
        std::string("[Server]\r\nUserName=") + c.name + "\r\nPassword=" + c.password + "\r\n");
    REQUESTREC r{};
    r.kind = REQ_LOGIN;
    RequestInputs in;
    GatherRequestInputs(r, &in);
    EXPECT_EQ(std::string(in.user, strnlen(in.user, sizeof in.user)), c.user);
    EXPECT_EQ(in.user[15], '\0');
    EXPECT_EQ(std::string(in.password, strnlen(in.password, sizeof in.password)), c.expectedPassword);
    EXPECT_EQ(in.network, 1);
  }

  Put(Path("prog/Server.ini"), "[Server]\r\nNetwork=3\r\n");
  REQUESTREC r{};
  r.kind = REQ_LOGIN;
  RequestInputs in;
  GatherRequestInputs(r, &in);
  EXPECT_EQ(in.network, 3);

  // The password change sends the settings' account without the prefix.
  r.kind = REQ_CHANGE_PASSWORD;
  GatherRequestInputs(r, &in);
  EXPECT_STREQ(in.user, "0123456789abcde");
}

// The user's own account: with the account library the one typed at the
// login (no prefix, no password), never the built-in account the quote
// service sees; without it the login account.
TEST_F(RequestInputsTest, TheUsersAccountIsTheTypedOneWithTheLibrary) {
  Put(Path("cfg/usersetting.ini"), "[UserInfo]\r\nfix=fx_\r\n");
  Put(Path("prog/user/SERVER.INI"), "[Server]\r\nUserName=demo\r\nPassword=pw\r\n");
  struct Case {
    bool library;
    const char *user, *password;
  } cases[] = {{true, "demo", ""}, {false, "fx_demo", "pw"}};
  for (const Case &c : cases) {
    char user[16], password[12];
    std::memset(user, 'x', sizeof user);
    std::memset(password, 'x', sizeof password);
    ReadUserAccount(c.library, user, password);
    EXPECT_STREQ(user, c.user) << c.library;
    EXPECT_STREQ(password, c.password) << c.library;
  }
}

TEST_F(RequestInputsTest, ConfigFileStampAndBlockIndexVersion) {
  Put(Path("cfg/mkinfo.cfg"), std::string(1234, 'm'));
  // 2024-01-15 23:30 UTC; the date is taken in UTC.
  fs::last_write_time(Path("cfg/mkinfo.cfg"), fs::file_time_type::clock::from_sys(std::chrono::sys_seconds{
                                                  std::chrono::sys_days{std::chrono::year{2024} / 1 / 15} +
                                                  std::chrono::seconds{23 * 3600 + 1800}}));
  REQUESTREC r{};
  r.kind = REQ_CONFIG_FILE;
  SetText(r.text, "mkinfo.cfg");
  RequestInputs in;
  GatherRequestInputs(r, &in);
  EXPECT_EQ(in.configFileSize, 1234u);
  EXPECT_EQ(in.configFileDate, 20240115u);

  r.sub = 1;  // asked for whole: the local copy does not count
  GatherRequestInputs(r, &in);
  EXPECT_EQ(in.configFileSize, 0u);
  EXPECT_EQ(in.configFileDate, 0u);

  r.sub = 0;
  SetText(r.text, "missing.cfg");
  GatherRequestInputs(r, &in);
  EXPECT_EQ(in.configFileSize, 0u);
  EXPECT_EQ(in.configFileDate, 0u);

  r = REQUESTREC{};
  r.kind = REQ_BLOCK_INDEX;
  GatherRequestInputs(r, &in);
  EXPECT_EQ(in.blockIndexVersion, 0u);
  Put(Path("cfg/Block/BlockIndex.idx"), "\x01\x02\x03");
  GatherRequestInputs(r, &in);
  EXPECT_EQ(in.blockIndexVersion, 0u);
  Put(Path("cfg/Block/BlockIndex.idx"), std::string("\x78\x56\x34\x12", 4) + std::string(26, '\0'));
  GatherRequestInputs(r, &in);
  EXPECT_EQ(in.blockIndexVersion, 0x12345678u);
}

}  // namespace
