#include "shell/settings_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "market/utildata.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "views/reportcolumns.h"
#include "shell/hotkeys.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// A per-user folder of its own for each test.
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing_support::MakeTempFolder("kivo-store");
    ASSERT_FALSE(root_.empty());
    std::strcpy(UserDataPath, (platform::ToWindowsPath(root_.string()) + "\\").c_str());
  }
  void TearDown() override {
    UserDataPath[0] = 0;
    fs::remove_all(root_);
  }
  void Put(const char *name, const std::string &text) { std::ofstream(root_ / name, std::ios::binary) << text; }

  fs::path root_;
};

// ---- Colours and fonts -----------------------------------------------------

TEST_F(SettingsStoreTest, ColoursComeFromTheThemesSection) {
  Put("clrfont.ini", "[Color0]\r\nCOLOR01=1\r\n[Color2]\r\nCOLOR01=255\r\nCOLOR21=65280\r\nCOLOR64=0x0000FF\r\n");
  std::fill(std::begin(ThemeColors), std::end(ThemeColors), 0xDEADu);
  LoadThemeColors(2);
  EXPECT_EQ(ThemeColors[0], RGB(255, 0, 0));
  EXPECT_EQ(ThemeColors[20], RGB(0, 255, 0));
  EXPECT_EQ(ThemeColors[63], 255u);
  for (int i = 1; i < 63; ++i)
    if (i != 20) EXPECT_EQ(ThemeColors[i], 0u) << i;  // missing keys read 0
  LoadThemeColors(0);
  EXPECT_EQ(ThemeColors[0], 1u);
}

TEST_F(SettingsStoreTest, FontEntriesScanAsStyleSizeFace) {
  struct Case {
    const char *value;  // null: the key is missing
    uint8_t style;
    int32_t size;
    const char *face;
  } cases[] = {
      {nullptr, 0, 12, "宋体"},
      {"1,14,Arial", kFontBold, 14, "Arial"},
      {"6,9,Courier New", kFontItalic | kFontUnderline, 9, "Courier New"},
      {"0, 16 , 黑体 ", 0, 16, "黑体"},
      {"5,-16", 5, -16, "宋体"},
      // A size out of all reason is held, so enlarging it can't overflow.
      {"0,2147483647", 0, kMaxFontSize, "宋体"},
      {"0,-99999999999", 0, -kMaxFontSize, "宋体"},
      {"3,x,Tahoma", 3, 12, "Tahoma"},
      {"abc", 0, 12, "宋体"},
      {"1,12,", 1, 12, "宋体"},
      {"0,12,Microsoft Sans Serif", 0, 12, "Microsoft Sans"},  // 14 bytes of the face
      {"0,12,微软雅黑新宋体A", 0, 12, "微软雅黑新宋体"},
      {"0,12,A微软雅黑新宋体", 0, 12, "A微软雅黑新宋"},  // no half character
  };
  std::string file = "[Font1]\r\n";
  for (size_t i = 0; i < std::size(cases); ++i)
    if (cases[i].value)
      file += "FONT" + std::string(i + 1 < 10 ? "0" : "") + std::to_string(i + 1) + "=" + cases[i].value + "\r\n";
  Put("clrfont.ini", file);
  std::memset(ThemeFonts, 0x7F, sizeof ThemeFonts);
  LoadThemeFonts(1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].value ? cases[i].value : "missing");
    EXPECT_EQ(ThemeFonts[i].style, cases[i].style);
    EXPECT_EQ(ThemeFonts[i].size, cases[i].size);
    EXPECT_STREQ(ThemeFonts[i].face, cases[i].face);
  }
  for (size_t i = std::size(cases); i < kThemeFontCount; ++i) EXPECT_STREQ(ThemeFonts[i].face, "宋体");
}

// ---- Period cycle ------------------------------------------------------------

std::string Cycle() {
  static const char *letters[] = {"T", "1", "3", "Y", "5", "15", "30", "60", "D", "W", "M", "S", "X", "120", "240"};
  std::string out;
  for (const PeriodCycleEntry &e : PeriodCycle) {
    if (!out.empty()) out += ',';
    out += (e.shown ? "1" : "0");
    out += e.code < 15 ? letters[e.code] : "?";
  }
  return out;
}

TEST_F(SettingsStoreTest, CycleOrderHoldsEveryPeriodOnce) {
  struct Case {
    const char *value;  // null: the key is missing
    const char *cycle;
  } cases[] = {
      {nullptr, "0T,11,13,15,115,130,160,1120,1240,0Y,1D,1W,1M,1S,0X"},
      {"1D,1D,0T", "1D,0T,01,03,0Y,05,015,030,060,0W,0M,0S,0X,0120,0240"},
      {"", "0T,01,03,0Y,05,015,030,060,0D,0W,0M,0S,0X,0120,0240"},
      // "1" needs a comma or the end after it, so 120 and 15 are not read as 1.
      {"1120,115,11", "1120,115,11,0T,03,0Y,05,030,060,0D,0W,0M,0S,0X,0240"},
      // An entry that names nothing is skipped one character at a time.
      {"1Q,1D", "1D,0T,01,03,0Y,05,015,030,060,0W,0M,0S,0X,0120,0240"},
      {"0W,1", "0W,0T,01,03,0Y,05,015,030,060,0D,0M,0S,0X,0120,0240"},
      {"1T,", "1T,01,03,0Y,05,015,030,060,0D,0W,0M,0S,0X,0120,0240"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value ? c.value : "missing");
    if (c.value)
      Put("SETTING.INI", std::string("[Parameter]\r\nCycleOrder=") + c.value + "\r\n");
    else
      fs::remove(root_ / "SETTING.INI");
    LoadCycleOrder();
    EXPECT_EQ(Cycle(), c.cycle);
    // What is saved is what was read, and reads back the same.
    SaveCycleOrder();
    char saved[128] = {};
    GetPrivateProfileStringA("Parameter", "CycleOrder", "?", saved, sizeof saved,
                             (std::string(UserDataPath) + "SETTING.INI").c_str());
    EXPECT_STREQ(saved, c.cycle);
    LoadCycleOrder();
    EXPECT_EQ(Cycle(), c.cycle);
  }
}

TEST(PriceColourTest, BelowAtAndAboveTheReference) {
  struct Case {
    int32_t price, reference;
    int index;
  } cases[] = {{0, 1234, 19}, {1234, 1234, 19}, {1235, 1234, 20}, {1233, 1234, 18}};
  for (const Case &c : cases) EXPECT_EQ(PriceColorIndex(c.price, c.reference), c.index) << c.price;
}

// ---- Hot keys ------------------------------------------------------------------

TEST(HotKeyParseTest, KeyTextsReadAsTheSyntaxSays) {
  struct Case {
    const char *text;
    uint32_t flags;
    const char *keys;
  } cases[] = {
      {"ctrl+a", kHotKeyCtrl, "A"},
      {"a", 0, "A"},
      {"SHIFT+CTRL+S", kHotKeyCtrl | kHotKeyShift, "S"},
      {"81+ENTER", kHotKeyEnter, "81"},
      {"81", 0, "8"},
      {"CTRL+61+ENTER", kHotKeyCtrl, "6"},
      {"F5+ENTER", HotKeyFunctionKey(5), ""},
      {"F1", HotKeyFunctionKey(1), ""},
      {"F10", HotKeyFunctionKey(10), ""},
      {"alt+f12", kHotKeyAlt | HotKeyFunctionKey(12), ""},
      {"HOME", kHotKeyHome, ""},
      {"CTRL+ENTER", 0, ""},
      {"CTRL+", 0, ""},
      {"+ENTER", 0, ""},
      {"ENTER", 0, "E"},
      {"ESC", 0, "E"},
      {"ABCDEFGHIJKLMNO+ENTER", kHotKeyEnter, "ABCDEFGHIJKLMNO"},
      // Past 15 characters the rest is dropped: neither "ALT" nor "+ENTER"
      // behind the cut counts.
      {"ABCDEFGHIJKLMNOPQ+ENTER", 0, "A"},
      {"0123456789ABALTZ+ENTER", 0, "0"},
      {" c t r l + p ", kHotKeyCtrl, "P"},
      {"中+ENTER", 0, ""},
      {"-", 0, "-"},
      {"CTRL++", kHotKeyCtrl, "+"},
      {"", 0, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    HOTKEYDEF record;
    std::memset(&record, 0x55, sizeof record);
    char text[64];
    std::strcpy(text, c.text);
    ParseHotKeyText(record, text);
    EXPECT_EQ(record.flags, c.flags);
    EXPECT_EQ(std::string(record.keys, strnlen(record.keys, sizeof record.keys)), c.keys);
    for (size_t i = std::strlen(c.keys); i < sizeof record.keys; ++i) EXPECT_EQ(record.keys[i], 0) << i;
    // What is stored reads back as the same key.
    char stored[kHotKeyFormatSize];
    FormatHotKeyDefinition(record, stored);
    HOTKEYDEF again{};
    ParseHotKeyText(again, stored);
    EXPECT_EQ(again.flags, record.flags) << stored;
    EXPECT_EQ(std::memcmp(again.keys, record.keys, sizeof record.keys), 0) << stored;
  }
  HOTKEYDEF record{};
  ParseHotKeyText(record, nullptr);
  EXPECT_EQ(record.flags, 0u);
  char edited[] = "shift+F8!";
  ParseHotKeyText(record, edited);
  EXPECT_STREQ(edited, "SHIFT+F8");  // upper-cased and filtered in place
}

TEST(HotKeyParseTest, DisplayRowsPutTwinsTogether) {
  std::set<int> rows;
  for (int code = 1; code <= kCommandCount; ++code) rows.insert(HotKeyDisplayRow(code));
  EXPECT_EQ(rows.size(), size_t(kCommandCount));
  EXPECT_EQ(*rows.begin(), 0);
  EXPECT_EQ(*rows.rbegin(), kCommandCount - 1);
  const int expected[][2] = {{1, 0},   {82, 1},  {2, 2},   {43, 43}, {74, 44}, {44, 45}, {47, 48}, {83, 49},
                             {48, 50}, {61, 63}, {75, 64}, {62, 65}, {73, 76}, {77, 77}, {81, 81}, {76, 82}};
  for (const auto &e : expected) EXPECT_EQ(HotKeyDisplayRow(e[0]), e[1]) << "command " << e[0];
  EXPECT_EQ(HotKeyDisplayRow(0), -1);
  EXPECT_EQ(HotKeyDisplayRow(84), -1);
}

TEST_F(SettingsStoreTest, HotKeysLoadWithDefaultsForMissingEntries) {
  std::memset(HotKeyTable, 0x33, sizeof HotKeyTable);
  Put("HotKey.ini", "[HotKey]\r\nh1=ctrl+q\r\nh28=\r\nh83=F11\r\nh84=F2\r\n");
  LoadHotKeys();

  struct Case {
    int code;
    uint32_t flags;
    const char *keys, *name;
  } cases[] = {
      {1, kHotKeyCtrl, "Q", "闪电图"},                        // from the file
      {28, 0, "", "成交明细"},                                // cleared by the user
      {29, kHotKeyEnter, "01", "成交明细"},                   // default
      {3, 0, "", "3分钟线"},                                  // no default key
      {75, kHotKeyCtrl | kHotKeyShift, "S", "反向页面循环"},  // "SHIFT+CTRL+S"
      {59, kHotKeyCtrl, "P", "全屏"},
      {58, 0, "-", "循环报价"},
      {69, kHotKeyAlt | HotKeyFunctionKey(12), "", "画线工具"},
      {78, kHotKeyHome, "", "指标上翻"},
      {54, kHotKeyEnter, "85", "沪债券综合排名"},
      {83, HotKeyFunctionKey(11), "", "第三方交易"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.code);
    const HOTKEYDEF &record = HotKeyTable[c.code - 1];
    EXPECT_EQ(record.command, c.code);
    EXPECT_EQ(int(record.row), HotKeyDisplayRow(c.code));
    EXPECT_EQ(record.flags, c.flags);
    EXPECT_STREQ(record.keys, c.keys);
    EXPECT_STREQ(record.name, c.name);
  }
  for (int code = 1; code <= kCommandCount; ++code) {
    EXPECT_EQ(HotKeyTable[code - 1].command, code);
    EXPECT_STREQ(HotKeyTable[code - 1].name, CommandName(code));
  }
  const HOTKEYDEF zero{};
  for (int i = kCommandCount; i < kHotKeyTableSize; ++i)
    EXPECT_EQ(std::memcmp(&HotKeyTable[i], &zero, sizeof zero), 0) << i;

  // Deleting the cleared line brings the default back.
  Put("HotKey.ini", "[HotKey]\r\n");
  LoadHotKeys();
  EXPECT_EQ(HotKeyTable[27].flags, HotKeyFunctionKey(1));
  EXPECT_EQ(HotKeyTable[0].flags, kHotKeyEnter);
  EXPECT_STREQ(HotKeyTable[0].keys, "0");
}

// Every built-in default key must survive the parser as a key.
TEST(HotKeyParseTest, BuiltInDefaultsAreKeys) {
  for (int code = 1; code <= kCommandCount; ++code) {
    SCOPED_TRACE(code);
    ASSERT_NE(CommandName(code), nullptr);
    EXPECT_LT(std::strlen(CommandName(code)), 16u);
    char text[32];
    std::strcpy(text, DefaultHotKeyText(code));
    HOTKEYDEF record{};
    ParseHotKeyText(record, text);
    EXPECT_EQ(record.flags == 0 && record.keys[0] == 0, DefaultHotKeyText(code)[0] == 0);
  }
  EXPECT_EQ(CommandName(0), nullptr);
  EXPECT_EQ(DefaultHotKeyText(84), nullptr);
}

TEST_F(SettingsStoreTest, DisplaySettingsLoadAllFourTables) {
  Put("clrfont.ini", "[Color4]\r\nCOLOR01=7\r\n[Font4]\r\nFONT01=1,20,Arial\r\n");
  Put("SETTING.INI", "[Parameter]\r\nCycleOrder=1X\r\n");
  Put("HotKey.ini", "[HotKey]\r\nh2=F3\r\n");
  std::memset(HotKeyTable, 0, sizeof HotKeyTable);
  LoadDisplaySettings(4);
  EXPECT_EQ(ThemeColors[0], 7u);
  EXPECT_STREQ(ThemeFonts[0].face, "Arial");
  EXPECT_EQ(PeriodCycle[0].code, 12);
  EXPECT_TRUE(PeriodCycle[0].shown);
  EXPECT_EQ(HotKeyTable[1].flags, HotKeyFunctionKey(3));
}

}  // namespace
