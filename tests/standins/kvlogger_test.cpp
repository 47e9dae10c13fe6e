// The logger library as the terminal and the plug-in bind it: records read
// back line by line are whole, numbered without gaps per file and in order
// per thread, also when two modules' handles write the same file at once.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/netutil.h"
#include "testing/temp_folder.h"

namespace {

std::vector<std::string> Lines(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> Split(const std::string &line) {
  std::vector<std::string> fields;
  std::stringstream s(line);
  std::string f;
  while (std::getline(s, f, '|')) fields.push_back(f);
  return fields;
}

class LoggerTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_EQ(BindLoggerLibrary(), 1);
  }
  uint32_t OpenLog(const char *path) {
    uint32_t handle = 0;
    EXPECT_EQ(KvLogger.Open(path, 1, &handle), 0);
    EXPECT_NE(handle, 0u);
    return handle;
  }
};

TEST_F(LoggerTest, RecordsOfSeveralThreadsAndHandlesStayWholeAndInOrder) {
  std::filesystem::create_directories("tradelog");
  // Two handles on one file, as the terminal and the plug-in each hold one.
  const uint32_t terminal = OpenLog(".\\tradelog\\20240115.phl");
  const uint32_t plugin = OpenLog(".\\TRADELOG\\20240115.phl");
  constexpr int kThreads = 4, kRecords = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      const uint32_t handle = t % 2 ? plugin : terminal;
      for (int i = 0; i < kRecords; ++i) {
        const std::string text = "0|t" + std::to_string(t) + "|" + std::to_string(i);
        if (i % 3 == 0) {
          const char *pair[2] = {text.c_str(), "second"};
          ASSERT_EQ(KvLogger.Logs(handle, 3012, pair, 2, 0, 0), 0);
        } else {
          ASSERT_EQ(KvLogger.Log(handle, 3000 + t, text.c_str(), 0, 0), 0);
        }
      }
    });
  for (auto &th : threads) th.join();
  EXPECT_EQ(KvLogger.Close(terminal), 0);
  EXPECT_EQ(KvLogger.Close(plugin), 0);

  const auto lines = Lines("tradelog/20240115.phl");
  ASSERT_EQ(lines.size(), size_t(kThreads * kRecords));
  std::map<int, int> next;  // per thread, the record expected next
  for (size_t n = 0; n < lines.size(); ++n) {
    ASSERT_FALSE(lines[n].empty());
    ASSERT_EQ(lines[n].back(), '\r') << "CR LF ends a record";
    const auto f = Split(lines[n].substr(0, lines[n].size() - 1));
    ASSERT_GE(f.size(), 6u) << lines[n];
    EXPECT_EQ(std::stoul(f[0]), n + 1) << "numbered without gaps";
    EXPECT_EQ(f[1].size(), 12u) << "time of day";
    const int t = std::stoi(f[4].substr(1)), i = std::stoi(f[5]);
    EXPECT_EQ(i, next[t]++) << "thread " << t;
    if (i % 3 == 0) {
      EXPECT_EQ(f[2], "3012");
      ASSERT_EQ(f.size(), 7u);
      EXPECT_EQ(f[6], "second");
    } else {
      EXPECT_EQ(f[2], std::to_string(3000 + t));
      EXPECT_EQ(f.size(), 6u);
    }
  }
}

TEST_F(LoggerTest, ReopeningAppendsAndBadCallsAreRefused) {
  uint32_t handle = OpenLog(".\\day.phl");
  ASSERT_EQ(KvLogger.Log(handle, 0, "0|first", 0, 0), 0);
  ASSERT_EQ(KvLogger.Close(handle), 0);
  EXPECT_NE(KvLogger.Log(handle, 0, "0|after close", 0, 0), 0);
  EXPECT_NE(KvLogger.Close(handle), 0);
  handle = OpenLog(".\\day.phl");
  ASSERT_EQ(KvLogger.Log(handle, 0, "0|second", 0, 0), 0);
  ASSERT_EQ(KvLogger.Logs(handle, 3005, nullptr, 0, 0, 0), 0) << "an empty record";
  KvLogger.Close(handle);
  const auto lines = Lines("day.phl");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("|0|0|first"), std::string::npos);
  EXPECT_NE(lines[1].find("|0|0|second"), std::string::npos);
  EXPECT_EQ(Split(lines[2])[2], "3005\r");

  uint32_t none = 7;
  const int error = KvLogger.Open(".\\no\\such\\folder\\x.phl", 1, &none);
  EXPECT_NE(error, 0);
  EXPECT_EQ(none, 0u);
  EXPECT_STRNE(KvLogger.GetErrorMsg(error), "");
  EXPECT_NE(KvLogger.Open(nullptr, 1, &none), 0);
}

}  // namespace
