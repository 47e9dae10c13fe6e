#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/emem.h"

namespace {

TEST(Malloc, GivesZeroFilledAlignedBlockBetweenGuards) {
  for (int32_t size : {0, 1, 10, 4096}) {
    SCOPED_TRACE(size);
    char *block = static_cast<char *>(Malloc(size));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    EXPECT_GE(MSize(block), size);
    for (int32_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(std::memcmp(block - 4, "$$$$", 4), 0);
    EXPECT_EQ(std::memcmp(block + size, "$$$$", 4), 0);
    Free(block);
  }
}

TEST(Malloc, RefusesNegativeSizesAndReportsRefusal) {
  EXPECT_EQ(Malloc(-1), nullptr);
  EXPECT_EQ(Malloc(INT32_MIN), nullptr);

  SetMallocRefusal([](int32_t size) { return size == 77; });
  EXPECT_EQ(Malloc(77), nullptr);
  void *other = Malloc(78);
  SetMallocRefusal(nullptr);
  EXPECT_NE(other, nullptr);
  Free(other);
}

TEST(Malloc, NullIsHarmlessToFreeAndSize) {
  Free(nullptr);
  EXPECT_EQ(MSize(nullptr), 0);
}

struct BufCase {
  std::string text;
  int n;
  int copied;
  const char *expect;  // null: the buffer is left alone
};

TEST(AnsiToBuf, CopiesAtMostOneLessThanTheBufferAndTerminates) {
  const BufCase cases[] = {
      {"0123456789", 5, 4, "0123"},
      {"0123456789", 11, 10, "0123456789"},
      {"0123456789", 10, 9, "012345678"},
      {"abc", 1, 0, ""},
      {"", 8, 0, ""},
      {"abc", 0, 0, nullptr},
      {"abc", -3, 0, nullptr},
  };
  for (const BufCase &c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" into " << c.n);
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(AnsiToBuf(c.text, buffer, c.n), c.copied);
    if (c.expect)
      EXPECT_STREQ(buffer, c.expect);
    else
      EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(buffer[c.n > 0 ? c.n : 0], 'x') << "wrote past the buffer";
  }
}

TEST(AnsiToBuf, TakesPointerAndLength) {
  char buffer[8];
  EXPECT_EQ(AnsiToBuf("abcdef", 3, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(AnsiToBuf(nullptr, 5, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(AnsiToBuf("abc", -1, buffer, sizeof buffer), 0);
  EXPECT_EQ(AnsiToBuf("abc", 3, nullptr, 8), 0);
}

TEST(AnsiToStatic, SharesOneBufferOf511Characters) {
  char *first = AnsiToStatic(std::string(600, 'a'));
  EXPECT_EQ(std::strlen(first), 511u);
  char *second = AnsiToStatic(std::string("short"));
  EXPECT_EQ(second, first);
  EXPECT_STREQ(second, "short");
  EXPECT_STREQ(AnsiToStatic("pointer", 4), "poin");
}

struct TrimCase {
  const char *text;
  const char *left;
  const char *right;
  const char *both;
};

TEST(Trim, RemovesControlBytesBlanksAndDelButNotGbk) {
  const TrimCase cases[] = {
      {"", "", "", ""},
      {"\t ab \r\n", "ab \r\n", "\t ab", "ab"},
      {"   ", "", "", ""},
      {"\x7F\x01x y\x1F\x7F", "x y\x1F\x7F", "\x7F\x01x y", "x y"},
      // The GBK character 啊 and bytes at and above 128 are never blanks.
      {" \xB0\xA1 ", "\xB0\xA1 ", " \xB0\xA1", "\xB0\xA1"},
      {"\x80\xA0\xFF", "\x80\xA0\xFF", "\x80\xA0\xFF", "\x80\xA0\xFF"},
  };
  for (const TrimCase &c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    char buffer[32];
    std::strcpy(buffer, c.text);
    TrimLeft(buffer);
    EXPECT_STREQ(buffer, c.left);
    std::strcpy(buffer, c.text);
    TrimRight(buffer);
    EXPECT_STREQ(buffer, c.right);
    std::strcpy(buffer, c.text);
    Trim(buffer);
    EXPECT_STREQ(buffer, c.both);
  }
  Trim(nullptr);
}

TEST(TicksElapsed, CountsAcrossTheWrapOfTheTickCounter) {
  struct {
    DWORD start, now, limit;
    bool elapsed;
  } cases[] = {
      {0xFFFFFF00u, 256, 512, true},
      {0xFFFFFF00u, 256, 513, false},
      {1000, 1000, 0, true},
      {1000, 1499, 500, false},
      {1000, 1500, 500, true},
      {0, 0xFFFFFFFFu, 0xFFFFFFFFu, true},
  };
  for (const auto &c : cases)
    EXPECT_EQ(TicksElapsed(c.start, c.now, c.limit), c.elapsed)
        << c.start << ' ' << c.now << ' ' << c.limit;
}

TEST(CompareUInt, OrdersAsUnsigned) {
  EXPECT_EQ(CompareUInt(0, 0xFFFFFFFFu), -1);
  EXPECT_EQ(CompareUInt(0x80000000u, 1), 1);
  EXPECT_EQ(CompareUInt(7, 7), 0);
}

}  // namespace
