#include "tests/plugin/trade_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "plugin/tradebridge.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace plugin_test {

using namespace tb;

void TradeTest::SetUp() {
  SessionTest::SetUp();
  old_ = fs::current_path().string();
  root_ = testing_support::MakeTempFolder("kivo-trade");
  ASSERT_FALSE(root_.empty());
  fs::create_directories(root_ + "/run");
  fs::create_directories(root_ + "/CFG");
  fs::create_directories(root_ + "/user");
  fs::current_path(root_ + "/run");
  WriteServers("s1=主站\ns1a=127.0.0.1\ns1p=17001\ns1t=1\n");
}

void TradeTest::TearDown() {
  TradeFinalize();
  SessionTest::TearDown();
  fs::current_path(old_);
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void TradeTest::WriteServers(const std::string &lines) { Write("../CFG/Consign.ini", "[jsd]\n" + lines); }

int TradeTest::LogIn(const char *account, const char *password, int server, const char *certificate) {
  std::string a = account, p = password, c = certificate, settings = "..\\user\\Consign.ini";
  return TradeInitialize(window_, WM_TRADE_NOTIFY, server, a.data(), p.data(), c.data(), settings.data());
}

void TradeTest::LogInOk() {
  ASSERT_EQ(LogIn(), 0) << (boxes_.Count() ? boxes_.Calls().back().text : "");
  ASSERT_TRUE(WaitForCode(TN_LOGIN_DONE));
  NewLines();
}

std::string TradeTest::Read(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void TradeTest::Write(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool TradeTest::Exists(const std::string &path) { return fs::exists(path); }

Note TradeTest::Last(uint32_t code, bool text) {
  if (!WaitForCode(code, text)) return Note{code, text, 0, "(none)", {}};
  for (auto it = notes_.rbegin(); it != notes_.rend(); ++it)
    if (it->code == code && it->text == text) return *it;
  return Note{};
}

std::vector<std::string> TradeTest::NewLines() {
  const auto lines = broker_.RecordedLines();
  std::vector<std::string> fresh;
  for (size_t i = seenLines_; i < lines.size(); ++i)
    if (lines[i].find("||0||") == std::string::npos) fresh.push_back(lines[i]);  // continuations left out
  seenLines_ = lines.size();
  return fresh;
}

}  // namespace plugin_test
