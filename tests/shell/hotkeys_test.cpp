#include "shell/hotkeys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/profile.h"
#include "platform/winuser.h"
#include "shell/commands.h"
#include "shell/settings_store.h"
#include "testing/market_fixture_min.h"

namespace {

struct Parsed {
  uint32_t flags;
  std::string keys;
  std::string stored;
};

Parsed Parse(const char *text) {
  HOTKEYDEF record{};
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "%s", text);
  ParseHotKeyText(record, buffer);
  char stored[kHotKeyFormatSize];
  FormatHotKeyDefinition(record, stored);
  return {record.flags, record.keys, stored};
}

TEST(HotKeyText, KeyTextsAreStoredInCanonicalForm) {
  const uint32_t F = HotKeyFunctionKey(1);
  struct Case {
    const char *text;
    uint32_t flags;
    const char *keys;
    const char *stored;
  } cases[] = {
      {"ctrl+a", kHotKeyCtrl, "A", "CTRL+A"},
      {"a", 0, "A", "A"},
      {"SHIFT+CTRL+S", kHotKeyCtrl | kHotKeyShift, "S", "CTRL+SHIFT+S"},
      {"shift+alt+ctrl+x", kHotKeyModifiers, "X", "CTRL+ALT+SHIFT+X"},
      {"81+ENTER", kHotKeyEnter, "81", "81+ENTER"},
      {"81", 0, "8", "8"},
      {"CTRL+61+ENTER", kHotKeyCtrl, "6", "CTRL+6"},
      {"F5+ENTER", HotKeyFunctionKey(5), "", "F5"},
      {"F1", F, "", "F1"},
      {"F10", HotKeyFunctionKey(10), "", "F10"},
      {"ALT+F12", kHotKeyAlt | HotKeyFunctionKey(12), "", "ALT+F12"},
      {"home", kHotKeyHome, "", "HOME"},
      {"X+PAGEDOWN", kHotKeyPageDown, "", "PAGEDOWN"},  // the typed text before a named key goes
      {"CTRL+ENTER", 0, "", ""},
      {"CTRL+", 0, "", ""},
      {"+ENTER", 0, "", ""},
      {"ENTER", 0, "E", "E"},
      {"ESC", 0, "E", "E"},
      {" c t r l + b ", kHotKeyCtrl, "B", "CTRL+B"},  // blanks are filtered out
      {"中1+ENTER", kHotKeyEnter, "1", "1+ENTER"},    // so are other bytes
      {"/", 0, "/", "/"},
      {"", 0, "", ""},
      {"1234567890ABCDE+ENTER", kHotKeyEnter, "1234567890ABCDE", "1234567890ABCDE+ENTER"},
      // Past 15 characters the rest is dropped, "+ENTER" with it.
      {"1234567890ABCDEFGH+ENTER", 0, "1", "1"},
  };
  for (const Case &c : cases) {
    const Parsed p = Parse(c.text);
    EXPECT_EQ(p.flags, c.flags) << c.text;
    EXPECT_EQ(p.keys, c.keys) << c.text;
    EXPECT_EQ(p.stored, c.stored) << c.text;
    // The stored form reads back to itself.
    const Parsed again = Parse(p.stored.c_str());
    EXPECT_EQ(again.stored, p.stored) << c.text;
  }
  HOTKEYDEF record{};
  record.flags = kHotKeyCtrl;
  ParseHotKeyText(record, nullptr);
  EXPECT_EQ(record.flags, 0u);
}

class HotKeyFileTest : public ::testing::Test {
 protected:
  void TearDown() override { std::memset(HotKeyTable, 0, sizeof HotKeyTable); }
  std::string File() const { return box_.Path("user/HotKey.ini"); }
  market_fixture::MarketSandbox box_;
};

TEST_F(HotKeyFileTest, WithoutAFileEveryCommandHasItsDefaultRowAndName) {
  LoadHotKeys();
  for (int code = 1; code <= kCommandCount; ++code) {
    const HOTKEYDEF &r = HotKeyTable[code - 1];
    EXPECT_EQ(r.command, code);
    EXPECT_STREQ(r.name, CommandName(code));
    EXPECT_EQ(HotKeyCommandAtRow(r.row), code);
  }
  EXPECT_EQ(HotKeyCommandAtRow(1), CMD_INTRADAY_CHART);
  EXPECT_EQ(HotKeyCommandAtRow(82), CMD_EXIT);
  EXPECT_EQ(HotKeyCommandAtRow(83), 0);
  char stored[kHotKeyFormatSize];
  FormatHotKeyDefinition(HotKeyTable[CMD_CYCLE_PAGES_BACK - 1], stored);
  EXPECT_STREQ(stored, "CTRL+SHIFT+S");
  EXPECT_EQ(HotKeyTable[CMD_PERIOD_3MIN - 1].flags, 0u);
}

TEST_F(HotKeyFileTest, AClearedKeyStaysClearedAndADeletedLineBringsTheDefaultBack) {
  LoadHotKeys();
  ParseHotKeyText(HotKeyTable[CMD_TRADE_DETAILS - 1], nullptr);
  char text[] = "ctrl+shift+q";
  ParseHotKeyText(HotKeyTable[CMD_NEWS - 1], text);
  SaveHotKeys();

  char value[64] = "unread";
  GetPrivateProfileStringA("HotKey", "h28", "missing", value, sizeof value, File().c_str());
  EXPECT_STREQ(value, "");
  GetPrivateProfileStringA("HotKey", "h44", "", value, sizeof value, File().c_str());
  EXPECT_STREQ(value, "CTRL+SHIFT+Q");
  GetPrivateProfileStringA("HotKey", "h75", "", value, sizeof value, File().c_str());
  EXPECT_STREQ(value, "CTRL+SHIFT+S");

  LoadHotKeys();
  EXPECT_EQ(HotKeyTable[CMD_TRADE_DETAILS - 1].flags, 0u);
  EXPECT_EQ(HotKeyTable[CMD_NEWS - 1].flags, kHotKeyCtrl | kHotKeyShift);

  WritePrivateProfileStringA("HotKey", "h28", nullptr, File().c_str());
  LoadHotKeys();
  EXPECT_EQ(HotKeyTable[CMD_TRADE_DETAILS - 1].flags, HotKeyFunctionKey(1));
}

TEST_F(HotKeyFileTest, KeyPressesFindTheirCommand) {
  LoadHotKeys();
  const THotKeyState none, ctrl{true, false, false, false}, ctrlShift{true, true, false, false},
      numLock{false, false, false, true};
  struct Case {
    UINT key;
    THotKeyState state;
    int command;
  } cases[] = {
      {'P', ctrl, CMD_FULL_SCREEN},
      {'P', ctrlShift, 0},
      {'P', none, 0},
      {'S', ctrlShift, CMD_CYCLE_PAGES_BACK},
      {UINT(VK_F1), none, CMD_TRADE_DETAILS},
      {UINT(VK_F1) + 7, {false, true, false, false}, CMD_CYCLE_PERIOD_BACK},
      {UINT(VK_F12), {false, false, true, false}, CMD_DRAWING_TOOLS},
      {UINT(VK_F12), none, CMD_ONLINE_TRADING},
      {UINT(VK_HOME), none, CMD_INDICATOR_PREV_ALT},
      {UINT(VK_NUMPAD0) + 7, none, CMD_INDICATOR_PREV_ALT},  // Num Lock off: pad 7 is HOME
      {UINT(VK_NUMPAD0) + 1, none, CMD_INDICATOR_NEXT_ALT},  // pad 1 is END
      {UINT(VK_NUMPAD0) + 5, none, 0},
      {UINT(VK_NUMPAD0) + 7, numLock, 0},  // the digit 7, which no single key has
      {UINT(VK_DIVIDE), none, CMD_INDICATOR_PREV},
      {UINT(VK_OEM_2), none, CMD_INDICATOR_PREV},
      {UINT(VK_MULTIPLY), none, CMD_INDICATOR_NEXT},
      {UINT(VK_OEM_MINUS), none, CMD_CYCLE_QUOTES},
      {UINT(VK_SUBTRACT), none, CMD_CYCLE_QUOTES},
      {'1', none, 0},  // "1+ENTER" is never a single key press
      {UINT(VK_ESCAPE), none, 0},
  };
  for (const Case &c : cases) EXPECT_EQ(HotKeyCommandForKey(c.key, c.state), c.command) << c.key;

  char seven[] = "7";
  ParseHotKeyText(HotKeyTable[CMD_NEWS - 1], seven);
  EXPECT_EQ(HotKeyCommandForKey(UINT(VK_NUMPAD0) + 7, numLock), CMD_NEWS);
  // Two commands with one key: the lower display row wins, not the lower code.
  char q1[] = "Q", q2[] = "Q";
  ParseHotKeyText(HotKeyTable[CMD_PERIOD_1MIN - 1], q1);
  ParseHotKeyText(HotKeyTable[CMD_INTRADAY_CHART - 1], q2);
  EXPECT_EQ(HotKeyCommandForKey('Q', none), CMD_INTRADAY_CHART);
}

TEST_F(HotKeyFileTest, CaptionsShowTheKeysInDisplayForm) {
  LoadHotKeys();
  ParseHotKeyText(HotKeyTable[CMD_REFRESH_DATA - 1], nullptr);
  std::map<std::string, std::string> texts;
  int hints = 0;
  ForEachHotKeyCaption([&](const char *item, bool hint, const char *text) {
    texts[item] = text;
    hints += hint;
  });
  EXPECT_EQ(int(texts.size()), HotKeyCaptionCount());
  EXPECT_EQ(hints, 7);
  EXPECT_EQ(texts["MenuItem95"], "全屏显示      CTRL+P");
  EXPECT_EQ(texts["MenuItem119"], "日线      6");  // "6+ENTER" shows as its text
  EXPECT_EQ(texts["LineBtn"], "画线工具 ALT+F12");
  EXPECT_EQ(texts["N22"], "数据刷新      ") << "a command without key keeps the blanks";
  EXPECT_EQ(texts["ToolButton9"], "数据刷新 ");
}

}  // namespace
