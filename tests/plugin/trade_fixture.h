// A plug-in logged in through TradeInitialize against the simulated broker,
// with the plug-in's own request routines, in a fresh folder laid out as
// the terminal's: "CFG\Consign.ini" with the server list beside the current
// folder "run", and the per-user data folder "user".
#pragma once

#include <cstring>
#include <string>

#include "testing/msgbox_recorder.h"
#include "tests/plugin/session_fixture.h"

namespace plugin_test {

class TradeTest : public SessionTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The [jsd] section of "..\CFG\Consign.ini" (lines "key=value").
  void WriteServers(const std::string &lines);
  // TradeInitialize with the per-user settings "..\user\Consign.ini".
  int LogIn(const char *account = "880001", const char *password = "111111", int server = 0,
            const char *certificate = "");
  // LogIn that must succeed, the login notification taken.
  void LogInOk();
  // A file's bytes (path relative to the current folder "run").
  static std::string Read(const std::string &path);
  static void Write(const std::string &path, const std::string &bytes);
  static bool Exists(const std::string &path);
  // The last notification of a code, waited for.
  Note Last(uint32_t code, bool text = false);
  // The lines the broker received since the last call.
  std::vector<std::string> NewLines();

  template <class T>
  static T Record(const Note &note) {
    T record{};
    memcpy(&record, note.raw.data(), sizeof record);
    return record;
  }

  MessageBoxRecorder boxes_;
  std::string root_, old_;
  size_t seenLines_ = 0;
};

// The head of every request line of the logged-in account.
constexpr const char *kHead = "R|001A2B3C4D5E||";

}  // namespace plugin_test
