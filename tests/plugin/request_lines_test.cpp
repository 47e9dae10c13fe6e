// Every function's request line as the broker receives it, byte for byte,
// through the broker library stand-in.
#include <gtest/gtest.h>

#include <functional>

#include "standins/simbroker/futures_contracts.h"
#include "tests/plugin/session_fixture.h"

namespace plugin_test {
namespace {

using namespace tb;

TEST_F(SessionTest, TheBrokerReceivesEveryFunctionsLineByteForByte) {
  ASSERT_TRUE(Login());
  EXPECT_EQ(broker_.RecordedLines().at(0), "R|001A2B3C4D5E||6011||other#C#|880001|111111|127.0.0.1|1|1|");
  const struct {
    int code;
    std::function<void(RequestLine &)> fields;
    const char *line;
  } cases[] = {
      {6012, [](RequestLine &l) { l.Add("20240115").Add(""); }, "||6012||other#C#|880001|111111|20240115||"},
      {6032, [](RequestLine &l) { l.Add("20240112").Add(""); }, "||6032||other#C#|880001|111111|20240112||"},
      {6013, [](RequestLine &l) { l.Add("20240115").Add("20240115"); },
       "||6013||other#C#|880001|111111|20240115|20240115|"},
      {6053, [](RequestLine &l) { l.Add("20240101").Add("20240115").Add("").Add("").Add("1"); },
       "||6053||other#C#|880001|111111|20240101|20240115|||1|"},
      {6014, [](RequestLine &l) { l.Add("20240115").Add("20240115"); },
       "||6014||other#C#|880001|111111|20240115|20240115|"},
      {6015, [](RequestLine &l) { l.Add("a").Add("b"); }, "||6015||other#C#|880001|111111|a|b|"},
      {6016, [](RequestLine &l) { l.Add("20240101").Add("20240115"); },
       "||6016||other#C#|880001|111111|20240101|20240115|"},
      {6017, [](RequestLine &l) { l.Add("SHFE").Add("cu2402"); }, "||6017||other#C#|880001|111111|SHFE|cu2402|"},
      {6018, [](RequestLine &) {}, "||6018||other#C#|880001|111111|"},
      {6019, [](RequestLine &l) { l.Add("20240115").Add("20240115"); },
       "||6019||other#C#|880001|111111|20240115|20240115|"},
      {6020, [](RequestLine &l) { l.Add("1001").Add("901001"); }, "||6020||other#C#|880001|111111|1001|901001|"},
      {6021,
       [](RequestLine &l) {
         l.Add("SHFE").Add("cu2402").AddChar(EncodeDirection('0')).AddChar(EncodeOffset('3'));
         l.AddChar(EncodeHedge('3')).Add(1).AddPrice(69000).Add("0001").Add("88000101");
       },
       "||6021||other#C#|880001|111111|SHFE|cu2402|0|2|1|1|69000.000|0001|88000101|"},
      {6022,
       [](RequestLine &l) {
         l.Add("SHFE").Add("cu2402").AddChar('1').AddChar('1').AddChar('0').Add(2).AddPrice(69010);
         l.Add("1001").Add(2).Add("L1001").Add("1").Add("901001");
       },
       "||6022||other#C#|880001|111111|SHFE|cu2402|1|1|0|2|69010.000|1001|2|L1001|1|901001|"},
      {6023, [](RequestLine &l) { l.AddSentOnly("999999").AddSentOnly("654321"); },
       "||6023||other#C#|880001|999999|654321|"},
      {6024, [](RequestLine &l) { l.AddSentOnly("999999").AddSentOnly("765432"); },
       "||6024||other#C#|880001|999999|765432|"},
      {6027, [](RequestLine &l) { l.Add("SHFE").Add("88000101").Add("cu2402").Add("2").Add("20240115"); },
       "||6027||other#C#|880001|111111|SHFE|88000101|cu2402|2|20240115|"},
      {6040, [](RequestLine &l) { l.Add("SHFE").Add(""); }, "||6040||other#C#|880001|111111|SHFE||"},
      {6041,
       [](RequestLine &l) {
         l.AddSentOnly("222222").AddSentOnly("333333").AddAmount(100).Add("01").Add("1").Add("6222000012345678");
       },
       "||6041||other#C#|880001|222222|333333|100.00|01|1|6222000012345678|"},
      {6042, [](RequestLine &) {}, "||6042||other#C#|880001|111111|"},
      {6043, [](RequestLine &l) { l.Add("5001"); }, "||6043||other#C#|880001|111111|5001|"},
      {6043, [](RequestLine &l) { l.Add("").Add("20231216").Add("20240115"); },
       "||6043||other#C#|880001|111111||20231216|20240115|"},
      {6044, [](RequestLine &l) { l.Add("cu2402").Add("SHFE").AddPrice(69000).AddChar('0').AddChar('0'); },
       "||6044||other#C#|880001|111111|cu2402|SHFE|69000.000|0|0|"},
      {6056, [](RequestLine &) {}, "||6056||other#C#|880001|111111|"},
      {6068,
       [](RequestLine &l) {
         l.Add("cu2402").Add("SHFE").AddPrice(69000).AddChar('1').AddChar('0').Add("88000101").Add("");
       },
       "||6068||other#C#|880001|111111|cu2402|SHFE|69000.000|1|0|88000101||"},
      {6071, [](RequestLine &) {}, "||6071||other#C#|880001|111111"},
      {6072, [](RequestLine &l) { l.Add("0").Add("20240112"); }, "||6072||other#C#|880001|111111|0|20240112|"},
  };
  auto session = CurrentSession();
  for (const auto &c : cases) {
    broker_.ClearRecordedLines();
    RequestLine line(c.code, session->Head());
    c.fields(line);
    char answer[kAnswerSize], error[kErrorTextSize];
    SendRequest(*session, line, 0, answer, error);
    ASSERT_EQ(broker_.RecordedLines().size(), 1u) << c.code;
    EXPECT_EQ(broker_.RecordedLines()[0], std::string("R|001A2B3C4D5E") + c.line) << c.code;
  }
  // The continuation.
  broker_.ClearRecordedLines();
  RequestLine contracts(6018, session->Head());
  char error[kErrorTextSize];
  ASSERT_EQ(SendListRequest(*session, contracts, 0, [](AnswerReader &) {}, error), 0);
  const auto lines = broker_.RecordedLines();
  size_t listed = 0;  // one continuation per contract the broker lists
  for (const sim::FuturesContract &c : sim::kFuturesContracts) listed += c.code != nullptr;
  ASSERT_EQ(lines.size(), 1 + listed);
  EXPECT_EQ(lines[1], "R|001A2B3C4D5E||0||other#C#|880001|111111|");
}

}  // namespace
}  // namespace plugin_test
