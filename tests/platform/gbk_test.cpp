#include "platform/gbk.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/qtext.h"

namespace {

struct RoundTripCase {
  std::string gbk;  // narrow literals are GBK bytes in this program
  std::u16string text;
};

TEST(Gbk, RoundTripsEveryKindOfText) {
  const RoundTripCase cases[] = {
      {"", u""},
      {"SHFE cu2405", u"SHFE cu2405"},
      {"错误", u"错误"},
      {"\xB4\xED\xCE\xF3", u"错误"},  // the same two characters, by their bytes
      {"提示: 系统时间误差大于5分钟", u"提示: 系统时间误差大于5分钟"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"（全角）", u"（全角）"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(platform::GbkToUtf16(c.gbk), c.text) << c.gbk;
    EXPECT_EQ(platform::Utf16ToGbk(c.text), c.gbk) << c.gbk;
  }
  // Beyond GBK: written in its four-byte form, read back whole.
  const std::u16string beyond = u"€😀";
  EXPECT_EQ(platform::GbkToUtf16(platform::Utf16ToGbk(beyond)), beyond);
}

TEST(Gbk, MalformedBytesBecomeReplacementCharacters) {
  const RoundTripCase cases[] = {
      {"\x81", u"\uFFFD"},                 // a lead byte cut off at the end
      {"A\xB4", u"A\uFFFD"},
      {"\xB4\xED\xB4", u"错\uFFFD"},
      {"\x81\x20" "B", u"\uFFFD B"},       // a bad trail byte keeps its own character
      {"\xFF" "x\x80", u"\uFFFDx\uFFFD"},
      {"\x81\x30", u"\uFFFD"},             // a four-byte form cut short
      {"\x81\x30" "AB", u"\uFFFD0AB"},
  };
  for (const auto &c : cases) EXPECT_EQ(platform::GbkToUtf16(c.gbk), c.text);
}

TEST(Gbk, UnencodableUnitsBecomeQuestionMarks) {
  const struct {
    std::u16string text;
    std::string gbk;
  } cases[] = {
      {{char16_t(0xD800), u'A'}, "?A"},   // a high surrogate without its pair
      {{u'A', char16_t(0xDC00)}, "A?"},   // a low surrogate alone
      {{u'错', char16_t(0xD83D)}, "错?"},  // a pair cut off at the end
  };
  for (const auto &c : cases) EXPECT_EQ(platform::Utf16ToGbk(c.text), c.gbk);
}

TEST(Gbk, Utf8Variants) {
  EXPECT_EQ(platform::GbkToUtf8("错误 ok"), "\xE9\x94\x99\xE8\xAF\xAF ok");
  EXPECT_EQ(platform::Utf8ToGbk("\xE9\x94\x99\xE8\xAF\xAF ok"), "错误 ok");
  EXPECT_EQ(platform::GbkToUtf8("\x81"), "\xEF\xBF\xBD");
  EXPECT_EQ(platform::Utf8ToGbk("x\xC3"), "x?");
}

TEST(Gbk, ThreadsConvertIndependently) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&failures, t] {
      for (int i = 0; i < 300; ++i) {
        // A malformed tail in between must not leave state behind.
        if (platform::GbkToUtf16("\xB4") != u"\uFFFD") ++failures[t];
        if (platform::GbkToUtf16("行情") != u"行情") ++failures[t];
        if (platform::Utf16ToGbk(u"委托") != "委托") ++failures[t];
      }
    });
  for (auto &thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

// The byte rules every caller shares, and the cut on a whole character:
// a lead byte counts with a trail byte only (0xFF leads nothing, 0x7F
// trails nothing), and a cut never keeps half a character.
TEST(Gbk, CutsOnWholeCharacters) {
  struct Case {
    const char *text;
    size_t limit;
    size_t kept;
  } cases[] = {
      {"AB", 5, 2},
      {"\xD2\xB3\xD2\xB3", 3, 2},  // two characters, the second cut: it goes
      {"\xD2\xB3\xD2\xB3", 4, 4},
      {"A\xD2\xB3", 2, 1},
      {"\xD2", 1, 1},          // a lead byte at the end stands alone
      {"\xD2" "A", 1, 0},       // A is a trail byte: the pair does not fit
      {"\xFF\xB3", 1, 1},      // 0xFF leads nothing
      {"\x81\x7F", 1, 1},      // 0x7F trails nothing
      {"\x81\x40", 1, 0},
      {"", 3, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(platform::GbkCutLength(c.text, c.limit), c.kept);
  }
  char field[4];
  platform::GbkCopyCut("AB\xD2\xB3", 64, field, sizeof field);
  EXPECT_EQ(std::string(field, sizeof field), std::string("AB\0\0", 4));
  char same[6] = "\xD2\xB3\xD2\xB3Z";
  platform::GbkCopyCut(same, sizeof same, same, 4);  // in place
  EXPECT_EQ(std::string(same, 4), std::string("\xD2\xB3\0\0", 4));
}

TEST(QtText, FixedFieldsEndAtTheirNul) {
  char field[16] = "白银";
  std::memcpy(field + 6, "garbage", 7);
  EXPECT_EQ(platform::FromGbk(field, int(sizeof field)), QString::fromUtf16(u"白银"));
  EXPECT_EQ(platform::FromGbk("黄金", 2), QString::fromUtf16(u"黄"));
  EXPECT_EQ(platform::FromGbk("黄金", -1), QString::fromUtf16(u"黄金"));
  EXPECT_TRUE(platform::FromGbk(nullptr).isEmpty());
  EXPECT_EQ(platform::ToGbk(QString::fromUtf16(u"豆粕 m2409")), QByteArray("豆粕 m2409"));
}

struct WideCase {
  UINT codePage;
  std::string source;
  int sourceBytes;
  int capacity;
  int expectedResult;
  DWORD expectedError;      // when the result is 0
  std::u16string expected;  // what lands in the buffer when one is given
};

TEST(MultiByteToWideCharTest, SizesAndFailuresFollowWin32) {
  const WideCase cases[] = {
      {CP_ACP, "错误", -1, 0, 3, 0, u""},  // a size query counts the NUL
      {CP_ACP, "错误", 4, 0, 2, 0, u""},
      {936, "错误", 4, 2, 2, 0, u"错误"},
      {CP_ACP, "错误", -1, 3, 3, 0, std::u16string(u"错误\0", 3)},
      {CP_ACP, "错误", -1, 2, 0, ERROR_INSUFFICIENT_BUFFER, u""},
      {CP_UTF8, "\xE9\x94\x99", 3, 1, 1, 0, u"错"},
      {CP_ACP, "x", 0, 4, 0, ERROR_INVALID_PARAMETER, u""},
      {CP_ACP, "x", -2, 4, 0, ERROR_INVALID_PARAMETER, u""},
      {1252, "x", 1, 4, 0, ERROR_INVALID_PARAMETER, u""},
  };
  for (const auto &c : cases) {
    WCHAR buffer[8] = {};
    SetLastError(0);
    const int result = MultiByteToWideChar(c.codePage, 0, c.source.c_str(), c.sourceBytes,
                                           c.capacity ? buffer : nullptr, c.capacity);
    SCOPED_TRACE(::testing::Message() << c.codePage << " " << c.sourceBytes << " " << c.capacity);
    EXPECT_EQ(result, c.expectedResult);
    if (result == 0) {
      EXPECT_EQ(GetLastError(), c.expectedError);
    } else if (c.capacity > 0) {
      EXPECT_EQ(std::u16string(buffer, size_t(result)), c.expected);
    }
  }
}

TEST(WideCharToMultiByteTest, SizesDefaultCharAndUtf8Rules) {
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"错误", -1, nullptr, 0, nullptr, nullptr), 5);
  char buffer[8] = {};
  EXPECT_EQ(WideCharToMultiByte(936, 0, u"错误", 2, buffer, 4, nullptr, nullptr), 4);
  EXPECT_EQ(std::string(buffer, 4), "错误");
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"错误", 2, buffer, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));

  const WCHAR broken[] = {u'A', char16_t(0xDC01), 0};
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, broken, -1, buffer, 8, "*", &used), 3);
  EXPECT_STREQ(buffer, "A*");
  EXPECT_TRUE(used);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"AB", -1, buffer, 8, nullptr, &used), 3);
  EXPECT_FALSE(used);

  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"错", 1, buffer, 8, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(buffer, 3), "\xE9\x94\x99");
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"x", 1, buffer, 8, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

}  // namespace
