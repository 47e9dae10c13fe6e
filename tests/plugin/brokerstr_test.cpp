#include "plugin/brokerstr.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>

namespace {

using namespace tb;

TEST(SplitField, CutsTrimsAndStepsOverGbkCharacters) {
  // "\x81\x7C" is one GBK character whose trail byte is the separator's.
  const struct {
    const char *text;
    size_t width;
    const char *field;
    const char *rest;
  } cases[] = {
      {"abc|def", 16, "abc", "def"},
      {" 12 |x", 16, "12", "x"},
      {"|x", 16, "", "x"},
      {"last", 16, "last", ""},
      {"", 16, "", ""},
      {"a\x81\x7C" "b|next", 16, "a\x81\x7C" "b", "next"},
      {"abcdefgh|n", 5, "abcd", "n"},          // width - 1 bytes kept, the rest skipped
      {"  ab   cd  |n", 6, "ab", "n"},         // cut first, then the trailing blanks go
      {"x\xD6\xD0\xCE\xC4|n", 3, "x\xD6", "n"},  // a character cut in half at the width
      {"\x81" "0|n", 16, "\x81" "0", "n"},      // a lead byte without a trail byte is alone
      {"ab\x81", 16, "ab\x81", ""},            // also at the end of the text
      {"ab|", 16, "ab", ""},
  };
  for (const auto &c : cases) {
    char out[32];
    memset(out, '#', sizeof out);
    const char *rest = SplitField(c.text, out, c.width);
    EXPECT_STREQ(out, c.field) << c.text;
    EXPECT_STREQ(rest, c.rest) << c.text;
  }
}

TEST(SplitField, ThePlainSplitterEndsAtEverySeparator) {
  char out[16];
  const char *rest = SplitFieldPlain("a\x81\x7C" "b|n", out, sizeof out);
  EXPECT_STREQ(out, "a\x81");
  EXPECT_STREQ(rest, "b|n");
}

TEST(AnswerReader, ReadsFieldsByIndexWithoutShifting) {
  AnswerReader reader("h0|h1|h2|Y|\xB2\x7C\xCA\xD4| 7 |3.5|c|");
  char field[16];
  reader.At(4, field);
  EXPECT_STREQ(field, "\xB2\x7C\xCA\xD4");
  EXPECT_EQ(reader.AtInt(5), 7);
  EXPECT_DOUBLE_EQ(reader.AtDouble(6), 3.5);
  EXPECT_EQ(reader.AtChar(7), 'c');
  EXPECT_EQ(reader.AtChar(12), '\0');  // past the end: empty
}

TEST(AnswerReader, StatusCodeAndText) {
  EXPECT_TRUE(AnswerSucceeded("A|1|6012|Y|", nullptr, nullptr, 0));
  int code = 0;
  char text[kErrorTextSize];
  EXPECT_FALSE(AnswerSucceeded("A|1|6021|N|30001|可用资金不足|", &code, text, sizeof text));
  EXPECT_EQ(code, 30001);
  EXPECT_STREQ(text, "可用资金不足");
  EXPECT_FALSE(AnswerSucceeded("", &code, text, sizeof text));
  EXPECT_EQ(code, 0);
}

TEST(Encodings, RequestAndAnswerFlags) {
  const struct {
    char in, direction, offset, hedge;
  } sent[] = {{'0', '0', '0', '0'}, {'1', '1', '1', '0'}, {'2', '1', '2', '2'}, {'3', '1', '2', '1'}, {'x', '1', '2', '0'}};
  for (const auto &c : sent) {
    EXPECT_EQ(EncodeDirection(c.in), c.direction) << c.in;
    EXPECT_EQ(EncodeOffset(c.in), c.offset) << c.in;
    EXPECT_EQ(EncodeHedge(c.in), c.hedge) << c.in;
  }
  const struct {
    char in, direction, hedge;
  } read[] = {{'0', '0', '1'}, {'1', '1', '3'}, {'2', '1', '2'}, {'x', '1', '1'}};
  for (const auto &c : read) {
    EXPECT_EQ(DecodeDirection(c.in), c.direction) << c.in;
    EXPECT_EQ(DecodeHedge(c.in), c.hedge) << c.in;
  }
  // Hedge '3' goes out as '1' and comes back as '3'.
  EXPECT_EQ(DecodeHedge(EncodeHedge('3')), '3');
}

TEST(Encodings, OffsetOfAnAnswerWithItsText) {
  const struct {
    char offset;
    const char *text;
    char expected;
  } cases[] = {
      {'0', "平今", '0'}, {'1', "", '1'},       {'2', "", '3'},           {'4', "平今", '3'},
      {'4', "平仓", '1'}, {'4', "开仓", '0'},   {'4', "平今仓", '2'},     {'4', "强平", '2'},
      {'4', "", '2'},     {'4', nullptr, '2'},
  };
  for (const auto &c : cases) EXPECT_EQ(DecodeOffset(c.offset, c.text), c.expected) << c.offset;
}

const RequestHead kHead{"001A2B3C4D5E", "other#C#", "880001", "111111"};

TEST(RequestLine, HeadFieldsAndClosingSeparator) {
  RequestLine orders(6019, kHead);
  orders.Add("20240115").Add("20240115");
  EXPECT_STREQ(orders.Line(), "R|001A2B3C4D5E||6019||other#C#|880001|111111|20240115|20240115|");
  EXPECT_STREQ(orders.LogCopy(), "R|001A2B3C4D5E|other#C#|880001|20240115|20240115|");

  RequestLine confirm(6071, kHead);
  EXPECT_STREQ(confirm.Line(), "R|001A2B3C4D5E||6071||other#C#|880001|111111");

  // Functions whose own fields stand where the password goes.
  RequestLine password(6023, kHead);
  password.AddSentOnly("111111").AddSentOnly("222222");
  EXPECT_STREQ(password.Line(), "R|001A2B3C4D5E||6023||other#C#|880001|111111|222222|");
  EXPECT_STREQ(password.LogCopy(), "R|001A2B3C4D5E|other#C#|880001|");
}

TEST(RequestLine, NumbersAndRawLoggedValues) {
  RequestLine insert(6021, kHead);
  insert.Add("SHFE").Add("cu2402").AddSentOnly("1").AddLoggedOnly("3").Add(2).AddPrice(-0.0).AddPrice(69010.0);
  insert.AddAmount(1234.5);
  EXPECT_STREQ(insert.Line(), "R|001A2B3C4D5E||6021||other#C#|880001|111111|SHFE|cu2402|1|2|0.000|69010.000|1234.50|");
  EXPECT_STREQ(insert.LogCopy(), "R|001A2B3C4D5E|other#C#|880001|SHFE|cu2402|3|2|0.000|69010.000|1234.50|");
}

TEST(RequestLine, TheLongestTransferLineFitsAndAnOverlongLineIsRefused) {
  const std::string text(63, 'x');
  RequestLine transfer(6041, RequestHead{"001A2B3C4D5E", "other#C#b", "123456789012345", ""});
  transfer.AddSentOnly(text.c_str()).AddSentOnly(text.c_str()).AddAmount(DBL_MAX).Add("02");
  transfer.Add(text.c_str()).Add(text.c_str());
  ASSERT_TRUE(transfer.Ok());
  EXPECT_GT(strlen(transfer.Line()), 600u);

  const std::string huge(kRequestLineSize, 'y');
  RequestLine refused(6018, kHead);
  refused.Add(huge.c_str()).Add("after");
  EXPECT_FALSE(refused.Ok());
  EXPECT_STREQ(refused.Line(), "");
  EXPECT_STREQ(refused.LogCopy(), "");
}

TEST(RequestLine, Continuation) {
  char line[kRequestLineSize];
  ASSERT_TRUE(FormatContinuation(kHead, line, sizeof line));
  EXPECT_STREQ(line, "R|001A2B3C4D5E||0||other#C#|880001|111111|");
  char small[20];
  EXPECT_FALSE(FormatContinuation(kHead, small, sizeof small));
  EXPECT_STREQ(small, "");
}

TEST(ExchangeSeat, SlotByHedgeWithFallback) {
  ExchangeEntry table[kExchangeCount] = {};
  strcpy(table[0].exchange, "SHFE");
  strcpy(table[0].tradingCode[0], "880101");
  strcpy(table[0].seat[0], "0001");
  strcpy(table[0].tradingCode[1], "880102");
  strcpy(table[0].seat[1], "0002");
  strcpy(table[0].tradingCode[2], "880103");  // arbitrage slot without a seat
  strcpy(table[1].exchange, "DCE");
  strcpy(table[1].tradingCode[0], "100001");
  strcpy(table[1].seat[0], "0101");
  const struct {
    const char *exchange;
    char hedge;
    const char *code, *seat;
  } cases[] = {
      {"SHFE", '1', "880101", "0001"}, {"shfe", '3', "880102", "0002"}, {"SHFE", '2', "880101", "0001"},
      {"DCE", '3', "100001", "0101"},  {"CZCE", '1', "", ""},
  };
  for (const auto &c : cases) {
    char code[8], seat[16];
    FindExchangeSeat(table, kExchangeCount, c.exchange, c.hedge, code, seat);
    EXPECT_STREQ(code, c.code) << c.exchange << c.hedge;
    EXPECT_STREQ(seat, c.seat) << c.exchange << c.hedge;
  }
}

TEST(BrokerFunctions, EveryCodeHasItsLogRecord) {
  size_t count = 0;
  const BrokerFunction *functions = BrokerFunctions(&count);
  EXPECT_EQ(count, 26u);
  EXPECT_EQ(FindBrokerFunction(6021)->logCode, 3099);
  EXPECT_EQ(FindBrokerFunction(6068)->logCode, 3098);
  EXPECT_EQ(FindBrokerFunction(6017)->logCode, 0);
  EXPECT_TRUE(FindBrokerFunction(6041)->ownPassword);
  EXPECT_EQ(FindBrokerFunction(1234), nullptr);
  for (size_t i = 0; i < count; ++i) EXPECT_EQ(FindBrokerFunction(functions[i].code), &functions[i]);
}

}  // namespace
