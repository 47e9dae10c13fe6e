#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/lzw.h"
#include "testing/lzw_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Result {
  int32_t status;
  int32_t length;  // -1 when Decode did not write it
  std::string text;
};

// Decodes into a heap buffer of exactly `capacity` bytes, so that a write
// past it is caught by the address sanitizer.
Result Decode(LCompressLite &decoder, const Bytes &input, int32_t capacity) {
  auto in = std::make_unique<uint8_t[]>(input.size());
  if (!input.empty()) std::memcpy(in.get(), input.data(), input.size());
  auto out = std::make_unique<uint8_t[]>(size_t(capacity));
  int32_t length = -1;
  int32_t status = decoder.Decode(in.get(), int32_t(input.size()), out.get(), capacity, &length);
  std::string text;
  if (status == 0 && length >= 0 && length <= capacity)
    text.assign(reinterpret_cast<const char *>(out.get()), size_t(length));
  return {status, length, text};
}

class Lzw : public testing::Test {
 protected:
  std::unique_ptr<LCompressLite> decoder_ = std::make_unique<LCompressLite>();
};

// A code and the width it is written with.
struct Code {
  uint32_t value;
  int width;
};

Bytes Pack(std::initializer_list<Code> codes) {
  LzwCodeWriter w;
  for (const Code &c : codes) w.Put(c.value, c.width);
  return w.Bytes();
}

// A 9-bit first literal, widenings up to `width`, then the other codes at
// that width.
Bytes Widened(int width, std::initializer_list<uint32_t> codes) {
  LzwCodeWriter w;
  auto code = codes.begin();
  w.Put(*code++, 9);
  for (int k = 9; k < width; ++k) w.Put(257, k);
  for (; code != codes.end(); ++code) w.Put(*code, width);
  return w.Bytes();
}

TEST_F(Lzw, HandMadeStreams) {
  struct Case {
    const char *name;
    Bytes input;
    int32_t capacity;
    int32_t status;
    const char *text;
  };
  const Case cases[] = {
      {"magic only", Pack({}), 16, 0, ""},
      {"a later code", Pack({{65, 9}, {66, 9}, {259, 9}, {256, 9}}), 16, 0, "ABAB"},
      {"the code being defined", Pack({{65, 9}, {259, 9}, {256, 9}}), 16, 0, "AAA"},
      {"a code beyond the next one", Pack({{65, 9}, {66, 9}, {300, 9}, {256, 9}}), 16, 0, "ABBB"},
      {"widening", Pack({{65, 9}, {257, 9}, {66, 10}, {259, 10}, {256, 10}}), 16, 0, "ABAB"},
      {"reset restarts at 259 with 9 bits",
       Pack({{65, 9}, {66, 9}, {259, 9}, {257, 9}, {258, 10}, {67, 9}, {68, 9}, {259, 9}, {256, 9}}), 16, 0,
       "ABABCDCD"},
      {"no end code", Pack({{65, 9}, {66, 9}, {259, 9}}), 16, 0, "ABAB"},
      // 63 bits of codes and a last byte: 9 bits are left, too few for a
      // 12-bit code.
      {"a short final code ends the data",
       Pack({{65, 9}, {257, 9}, {257, 10}, {257, 11}, {66, 12}, {67, 12}, {0xFF, 8}}), 16, 0, "ABC"},
      {"three literals fit in 8", Pack({{65, 9}, {66, 9}, {67, 9}, {256, 9}}), 8, 0, "ABC"},
      {"four literals need 9", Pack({{65, 9}, {66, 9}, {67, 9}, {68, 9}, {256, 9}}), 8, 201, ""},
      {"a string larger than the rest", Pack({{65, 9}, {259, 9}, {260, 9}, {256, 9}}), 4, 201, ""},
      {"nothing fits in nothing", Pack({{65, 9}, {256, 9}}), 0, 201, ""},
      {"empty into nothing", Pack({{256, 9}}), 0, 0, ""},
      {"no magic", Bytes{'W', 'M', 'C', '1', '4', 0x20, 0x80}, 16, 203, ""},
      {"shorter than the magic", Bytes{'W', 'M', 'C', '1'}, 16, 203, ""},
      {"a run that starts with a string code", Pack({{300, 9}, {256, 9}}), 16, 206, ""},
      {"a run that starts with a widening", Pack({{257, 9}, {65, 10}, {256, 10}}), 16, 206, ""},
      {"a reset after a reset", Pack({{65, 9}, {258, 9}, {258, 9}, {256, 9}}), 16, 206, ""},
      {"16-bit codes",
       Pack({{65, 9}, {257, 9}, {257, 10}, {257, 11}, {257, 12}, {257, 13}, {257, 14}, {257, 15}, {66, 16},
             {259, 16}, {256, 16}}),
       16, 0, "ABAB"},
      {"24-bit codes", Widened(24, {65, 66, 259, 256}), 16, 0, "ABAB"},
      {"widening past 24 bits", Widened(25, {65, 256}), 16, 206, ""},
      // 260 is used before it exists, then defined as itself plus 'A': a
      // chain without end.
      {"a string that loops", Pack({{65, 9}, {260, 9}, {65, 9}, {260, 9}, {256, 9}}), 64, 206, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Result r = Decode(*decoder_, c.input, c.capacity);
    EXPECT_EQ(r.status, c.status);
    if (c.status == 0) {
      EXPECT_EQ(r.length, int32_t(std::strlen(c.text)));
      EXPECT_EQ(r.text, c.text);
    } else {
      EXPECT_EQ(r.length, -1) << "the length is written on success only";
    }
  }
}

TEST_F(Lzw, NullBuffersAreHandled) {
  int32_t length = -1;
  EXPECT_EQ(decoder_->Decode(nullptr, 10, nullptr, 0, &length), 203);
  Bytes empty = Pack({{256, 9}});
  EXPECT_EQ(decoder_->Decode(empty.data(), int32_t(empty.size()), nullptr, 100, &length), 0);
  EXPECT_EQ(length, 0);
  Bytes one = Pack({{65, 9}});
  EXPECT_EQ(decoder_->Decode(one.data(), int32_t(one.size()), nullptr, 100, nullptr), 201);
}

// The dictionary holds 35072 entries: a run may define codes up to 35071.
TEST_F(Lzw, DictionaryEndsAtItsLastEntry) {
  auto stream = [](int literals, bool end) {
    LzwCodeWriter w;
    w.Put(65, 9);
    for (int width = 9; width < 15; ++width) w.Put(257, width);
    for (int i = 0; i < literals; ++i) w.Put(66, 15);
    if (end) w.Put(256, 15);
    return w.Bytes();
  };
  const int fits = 35072 - 259;  // entries 259 to 35071, one per code after the first
  Result full = Decode(*decoder_, stream(fits, true), 40000);
  EXPECT_EQ(full.status, 0);
  EXPECT_EQ(full.length, fits + 1);
  EXPECT_EQ(Decode(*decoder_, stream(fits + 1, true), 40000).status, 206);
}

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char &c : s) c = char(rng());
  return s;
}

// Fixed-size records with slowly changing fields, like the quote bodies.
std::string QuoteLikeRecords(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s;
  uint32_t price = 35000;
  for (uint32_t i = 0; s.size() < n; ++i) {
    price = price + uint32_t(rng() % 7) - 3;
    uint32_t rec[5] = {i, price, price + 2, price - 2, 100 + uint32_t(rng() % 50)};
    s.append(reinterpret_cast<const char *>(rec), sizeof rec);
  }
  s.resize(n);
  return s;
}

std::string Text(size_t n) {
  const std::string words[] = {"market ", "price ", "volume ", "open ", "close ", "rb2410 ", "\xb2\xe2\xca\xd4 "};
  std::mt19937 rng(7);
  std::string s;
  while (s.size() < n) s += words[rng() % 7];
  s.resize(n);
  return s;
}

TEST_F(Lzw, RoundTripsThroughTheEncoder) {
  struct Case {
    const char *name;
    std::string data;
    LzwEncodeOptions options;
    int minWidth;   // the widest code the stream must reach
    int minResets;  // resets the stream must contain
  };
  LzwEncodeOptions noEnd;
  noEnd.endCode = false;
  LzwEncodeOptions smallDictionary;
  smallDictionary.codeLimit = 300;
  LzwEncodeOptions resetPoints;
  resetPoints.resetAt = {5000, 1, 2, 2, 1000, 1001, 999999};
  LzwEncodeOptions everyByte;
  everyByte.codeLimit = 259;
  LzwEncodeOptions early16;
  early16.minWidth = 16;
  LzwEncodeOptions early24;
  early24.minWidth = 24;
  early24.codeLimit = 600;

  const Case cases[] = {
      {"empty", "", {}, 9, 0},
      {"one byte", "x", {}, 9, 0},
      {"text", Text(20000), {}, 12, 0},
      {"quote records", QuoteLikeRecords(16000, 3), {}, 13, 0},
      {"one byte repeated", std::string(100000, 'a'), {}, 9, 0},
      // Random bytes fill the dictionary to 15-bit codes and force resets.
      {"random, full dictionary", RandomBytes(150000, 1), {}, 15, 2},
      {"text without end code", Text(5000), noEnd, 11, 0},
      {"small dictionary", Text(20000), smallDictionary, 9, 50},
      {"reset points", Text(8000), resetPoints, 10, 5},
      {"a run per byte", "abcabcabc", everyByte, 9, 8},
      {"widened early to 16 bits", Text(20000), early16, 16, 0},
      {"widened early to 24 bits, with resets", Text(20000), early24, 24, 5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    LzwEncodeStats stats;
    Bytes stream = LzwEncode(c.data, c.options, &stats);
    EXPECT_GE(stats.maxWidth, c.minWidth);
    EXPECT_GE(stats.resets, c.minResets);
    Result r = Decode(*decoder_, stream, int32_t(c.data.size() + 5));
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.text == c.data) << "decoded " << r.length << " of " << c.data.size() << " bytes";
  }
}

// With the end code the output must leave 5 bytes of the capacity free.
TEST_F(Lzw, CapacityMarginWithEndCode) {
  std::string data = QuoteLikeRecords(16000, 9);
  Bytes stream = LzwEncode(data);
  for (int32_t spare : {64, 5, 4, 0}) {
    SCOPED_TRACE(spare);
    Result r = Decode(*decoder_, stream, int32_t(data.size()) + spare);
    EXPECT_EQ(r.status, spare >= 5 ? 0 : 201);
    if (r.status == 0) EXPECT_TRUE(r.text == data);
  }
}

// Cutting a stream anywhere gives a prefix of its data: the cut code and
// everything after it are simply missing.
TEST_F(Lzw, EveryTruncationDecodesToAPrefix) {
  std::string data = Text(3000);
  LzwEncodeOptions options;
  options.codeLimit = 700;  // resets and a width change inside the stream
  Bytes stream = LzwEncode(data, options);
  for (size_t cut = 5; cut <= stream.size(); ++cut) {
    Bytes part(stream.begin(), stream.begin() + cut);
    Result r = Decode(*decoder_, part, int32_t(data.size() + 5));
    ASSERT_EQ(r.status, 0) << "cut at " << cut;
    ASSERT_EQ(r.text, data.substr(0, r.text.size())) << "cut at " << cut;
    if (cut == stream.size()) EXPECT_TRUE(r.text == data);
  }
}

// The decoding rules in their plainest form: a bit at a time, a cleared
// dictionary per run and every string unwound on the stack. The decoder
// copies strings from its own output instead; it must agree with this on
// every stream, damaged ones included.
class PlainDecoder {
 public:
  Result Decode(const Bytes &in, int32_t capacity);

 private:
  std::vector<uint32_t> prefix = std::vector<uint32_t>(35072);
  std::vector<uint32_t> suffix = std::vector<uint32_t>(35072);
  std::vector<uint8_t> stack = std::vector<uint8_t>(35024);
  uint32_t used = 259;  // entries the last run set, cleared for the next
};

Result PlainDecoder::Decode(const Bytes &in, int32_t capacity) {
  if (in.size() < 5 || std::memcmp(in.data(), "WMC15", 5) != 0) return {203, -1, ""};
  size_t position = 5;
  int64_t bitsLeft = int64_t(in.size() - 5) * 8;
  uint8_t byte = 0;
  int mask = 128;
  auto read = [&](int width) {
    uint32_t code = 0;
    for (int i = 0; i < width; ++i) {
      if (mask == 128) byte = in[position++];
      code = (code << 1) | ((byte & mask) ? 1 : 0);
      mask = mask == 1 ? 128 : mask / 2;
    }
    bitsLeft -= width;
    return code;
  };
  const size_t cap = size_t(capacity);
  std::string out;
  while (position < in.size() && bitsLeft >= 9) {
    std::fill(prefix.begin() + 259, prefix.begin() + used, 0);
    std::fill(suffix.begin() + 259, suffix.begin() + used, 0);
    uint32_t prev = read(9);
    if (prev == 256) break;
    if (prev > 255) return {206, -1, ""};
    if (out.size() >= cap) return {201, -1, ""};
    out.push_back(char(prev));
    uint32_t first = prev, next = 259;
    int width = 9;
    bool reset = false;
    while (!reset && position < in.size()) {
      if (cap >= 5 && out.size() > cap - 5) return {201, -1, ""};
      if (bitsLeft < width) break;
      uint32_t c = read(width);
      if (c == 256) return {0, int32_t(out.size()), out};
      if (c == 258) {
        reset = true;
        continue;
      }
      if (c == 257) {
        if (width == 24) return {206, -1, ""};
        ++width;
        continue;
      }
      if (c > 35022) return {206, -1, ""};
      size_t sp = 0;
      uint32_t code = c;
      if (c >= next) {
        stack[sp++] = uint8_t(first);
        code = prev;
      }
      while (code >= 256) {
        if (code > 35022 || sp >= 35022) return {206, -1, ""};
        stack[sp++] = uint8_t(suffix[code]);
        code = prefix[code];
        if (code > 32767) return {206, -1, ""};
      }
      if (sp >= 35022) return {206, -1, ""};
      stack[sp++] = uint8_t(code);
      first = stack[sp - 1];
      if (sp > cap - out.size()) return {201, -1, ""};
      while (sp > 0) out.push_back(char(stack[--sp]));
      if (next >= 35072) return {206, -1, ""};
      prefix[next] = prev;
      suffix[next] = first;
      used = ++next;
      prev = c;
    }
    if (!reset) break;
  }
  return {0, int32_t(out.size()), out};
}

// Random and damaged streams: every one gets one of the defined results,
// nothing is read or written out of bounds (the sanitizer watches the
// exact-size buffers), and the decoder, used again and again, agrees with
// the plain rules.
TEST_F(Lzw, SurvivesRandomAndDamagedStreams) {
  std::string data = QuoteLikeRecords(4000, 11);
  LzwEncodeOptions options;
  options.codeLimit = 900;
  const Bytes valid = LzwEncode(data, options);
  LzwEncodeOptions wideOptions = options;
  wideOptions.minWidth = 17;
  const Bytes wide = LzwEncode(data, wideOptions);
  PlainDecoder plainDecoder;

  std::mt19937 rng(20240115);
  for (int i = 0; i < 3000; ++i) {
    Bytes input;
    switch (i % 3) {
      case 0: {  // noise after the magic
        input = Pack({});
        size_t n = rng() % 400;
        for (size_t k = 0; k < n; ++k) input.push_back(uint8_t(rng()));
        break;
      }
      case 1: {  // a valid stream with flipped bits, cut somewhere
        input = (i / 3) % 2 ? wide : valid;
        for (int flips = 1 + rng() % 4; flips > 0; --flips)
          input[5 + rng() % (input.size() - 5)] ^= uint8_t(1u << (rng() % 8));
        input.resize(5 + rng() % (input.size() - 4));
        break;
      }
      default: {  // plausible codes: literals, control codes, codes near the next one and any code of the width
        LzwCodeWriter w;
        int width = 9;
        uint32_t next = 259;
        for (int n = rng() % 300; n > 0; --n) {
          uint32_t pick = rng() % 100;
          uint32_t code = pick < 40   ? rng() % 256
                          : pick < 45 ? 257
                          : pick < 48 ? 258
                          : pick < 49 ? 256
                          : pick < 53 ? rng()
                                      : next - 20 + rng() % 24;
          code &= (1u << width) - 1;
          w.Put(code, width);
          if (code == 257 && width < 25) ++width;
          if (code == 258) width = 9, next = 258;
          if (code != 257) ++next;
        }
        input = w.Bytes();
        break;
      }
    }
    int32_t capacity = int32_t(rng() % 6000);
    Result r = Decode(*decoder_, input, capacity);
    ASSERT_TRUE(r.status == 0 || r.status == 201 || r.status == 206) << "case " << i << ": " << r.status;
    if (r.status == 0) ASSERT_LE(r.length, capacity) << "case " << i;
    Result plain = plainDecoder.Decode(input, capacity);
    ASSERT_EQ(r.status, plain.status) << "case " << i;
    ASSERT_EQ(r.text, plain.text) << "case " << i;
  }
}

// Codes above 35022 and strings built on a code above 32767 are corrupt,
// though the dictionary has room for them; decoding them used to invent
// bytes and report success.
TEST_F(Lzw, CodesAndPrefixesPastTheirLimitsAreCorrupt) {
  // 'A', widened to 16 bits, then enough literals 'B' to define `defined`
  // codes (259 and up).
  auto start = [](LzwCodeWriter &w, uint32_t defined) {
    w.Put(65, 9);
    for (int width = 9; width < 16; ++width) w.Put(257, width);
    for (uint32_t i = 0; i < defined; ++i) w.Put(66, 16);
  };
  struct Case {
    const char *name;
    uint32_t defined;
    std::initializer_list<uint32_t> codes;  // 16 bits wide, then the end code
    int32_t status;
  };
  const Case cases[] = {
      {"an undefined code above 35022", 0, {35023}, 206},
      {"an undefined code up to 35022", 0, {35022}, 0},
      {"a defined code above 35022", 35023 - 259 + 2, {35023}, 206},
      {"a defined code up to 35022", 35022 - 259 + 2, {35022}, 0},
      // 32768 becomes the prefix of the next entry, 32770, which is then
      // used: unwinding meets the prefix 32768.
      {"a string on prefix 32768", 32768 - 258, {32768, 67, 32770}, 206},
      {"a string on prefix 32767", 32767 - 258, {32767, 67, 32769}, 0},
      // The code being defined unwinds the previous code, whose prefix is
      // in range; the entry it makes is not.
      {"the code being defined after 32768", 32768 - 258, {32768, 32770}, 0},
      {"that code used again", 32768 - 258, {32768, 32770, 32770}, 206},
      {"the next code being defined on it", 32768 - 258, {32768, 32770, 32771}, 206},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    LzwCodeWriter w;
    start(w, c.defined);
    for (uint32_t code : c.codes) w.Put(code, 16);
    w.Put(256, 16);
    const Bytes input = w.Bytes();
    EXPECT_EQ(Decode(*decoder_, input, 80000).status, c.status);
    PlainDecoder plain;
    EXPECT_EQ(plain.Decode(input, 80000).status, c.status);
  }
}

}  // namespace
