// What the requests and the push receiver write to the trade log: short
// copies with the raw characters and without the password, the answers,
// and the push receiver's state lines.
#include <gtest/gtest.h>

#include <mutex>

#include "plugin/tradebridge.h"
#include "plugin/tradelog.h"
#include "tests/plugin/session_fixture.h"

namespace plugin_test {
namespace {

using namespace tb;

struct LogRecord {
  int code;
  std::string text;
};

std::mutex g_recordsLock;
std::vector<LogRecord> g_records;

int Open(const char *, int, uint32_t *handle) {
  *handle = 1;
  return 0;
}
int Close(uint32_t) { return 0; }
int Log(uint32_t, int code, const char *text, int, int) {
  std::lock_guard guard(g_recordsLock);
  g_records.push_back({code, text});
  return 0;
}
int Logs(uint32_t, int code, const char *const *texts, int, int, int) {
  std::lock_guard guard(g_recordsLock);
  g_records.push_back({code, std::string(texts[0]) + texts[1]});
  return 0;
}

class TradeLogTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    static const LoggerApi api = {[] { return 1; }, Open, Close, nullptr, Log, Logs};
    SetLoggerApi(&api);
    OpenTradeLog("tradelog");
    std::lock_guard guard(g_recordsLock);
    g_records.clear();
  }
  void TearDown() override {
    SessionTest::TearDown();
    CloseTradeLog();
    SetLoggerApi(nullptr);
  }
  std::vector<std::string> Of(int code) {
    std::lock_guard guard(g_recordsLock);
    std::vector<std::string> texts;
    for (const auto &record : g_records)
      if (record.code == code) texts.push_back(record.text);
    return texts;
  }
};

TEST_F(TradeLogTest, ShortCopiesAnswersAndStateLines) {
  ASSERT_TRUE(Login());
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_CONTRACT).empty() && NotesOf(TN_CONTRACT).back().value == 0; }));
  char contract[] = "cu2402", exchange[] = "SHFE", ref[13], error[232];
  broker_.LoadScript("autofill off\n");
  ASSERT_EQ(OrderInsert(contract, exchange, 68000, 2, '0', '0', '3', ref, error), 0);
  // The insert's answer and the pushed state arrive in either order; the
  // cancel goes out with the answer's copy.
  ASSERT_TRUE(WaitFor([&] { return AnswerReturns().size() == 1 && PushedReturns().size() == 1; }));
  const CKivoOrderField order = AnswerReturns()[0];
  ASSERT_EQ(OrderAction(&order, 0), 0);
  ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_ORDER_RETURN).size() == 4; }));

  const auto inserts = Of(3099);
  ASSERT_EQ(inserts.size(), 2u);
  // The raw hedge flag '3', where the line carries '1'.
  EXPECT_EQ(inserts[0], "R|001A2B3C4D5E|other#C#|880001|SHFE|cu2402|0|0|3|2|68000.000|0002|8800102|");
  EXPECT_EQ(inserts[1].substr(0, 10), "A|0||1001|");
  const auto cancels = Of(3100);
  ASSERT_GE(cancels.size(), 1u);
  EXPECT_EQ(cancels[0], "R|001A2B3C4D5E|other#C#|880001|SHFE|cu2402|0|0|3|2|68000.000|1001|0||1|0|");
  const auto states = Of(3118);
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0], "1001|68000.000|2|0|2|已报入");
  EXPECT_EQ(states[1], "1001|68000.000|2|0|2|已经撤销");
  EXPECT_EQ(Of(3116).size(), 2u);
  // The list's packets and its closing record.
  const auto contracts = Of(3094);
  EXPECT_EQ(contracts.back(), "A|0||");
  std::lock_guard guard(g_recordsLock);
  for (const auto &record : g_records) EXPECT_EQ(record.text.find("111111"), std::string::npos) << record.text;
}

}  // namespace
}  // namespace plugin_test
