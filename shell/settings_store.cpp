#include "shell/settings_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/emem.h"
#include "market/utildata.h"
#include "platform/gbk.h"
#include "platform/profile.h"

COLORREF ThemeColors[kThemeColorCount];
FONTDEF ThemeFonts[kThemeFontCount];
PeriodCycleEntry PeriodCycle[kPeriodCount];
HOTKEYDEF HotKeyTable[kHotKeyTableSize];

namespace {

std::string UserFile(const char *name) { return std::string(UserDataPath) + name; }

// ---- Fonts ----------------------------------------------------------------

constexpr char kDefaultFont[] = "0,12,宋体";
constexpr char kDefaultFace[] = "宋体";
constexpr int32_t kDefaultFontSize = 12;

// A leading decimal number as "%d" reads it (blanks, a sign, digits);
// false when the field holds none.
bool LeadingNumber(std::string_view field, long &value) {
  const std::string text(field);
  char *end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return end != text.c_str();
}

std::string_view Trimmed(std::string_view s) {
  auto blank = [](char c) { return c > 0 && c <= ' '; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Copies a face name into its field, cut to the field without splitting a
// GBK character.
void CopyFace(std::string_view face, char (&field)[15]) {
  const size_t n = platform::GbkCutLength(face, sizeof field - 1);
  std::memset(field, 0, sizeof field);
  std::memcpy(field, face.data(), n);
}

FONTDEF ParseFont(std::string_view text) {
  FONTDEF font{};
  font.size = kDefaultFontSize;
  std::string_view face = kDefaultFace;

  const size_t first = text.find(',');
  long value;
  if (LeadingNumber(text.substr(0, first), value)) font.style = uint8_t(value);
  if (first != std::string_view::npos) {
    const std::string_view rest = text.substr(first + 1);
    const size_t second = rest.find(',');
    // Held to a size a view can still enlarge without overflow.
    if (LeadingNumber(rest.substr(0, second), value))
      font.size = int32_t(std::clamp<long>(value, -kMaxFontSize, kMaxFontSize));
    if (second != std::string_view::npos && !Trimmed(rest.substr(second + 1)).empty())
      face = Trimmed(rest.substr(second + 1));
  }
  CopyFace(face, font.face);
  return font;
}

// ---- Period cycle ---------------------------------------------------------

constexpr char kDefaultCycleOrder[] = "0T,11,13,15,115,130,160,1120,1240,0Y,1D,1W,1M,1S,0X";

// The letters of each period code, in the order they are tried: the longer
// numbers after the shorter ones is safe because a match needs a comma or
// the end right after the letters.
struct PeriodLetters {
  const char *letters;
  uint8_t code;
};
constexpr PeriodLetters kPeriodLetters[kPeriodCount] = {
    {"T", 0}, {"1", 1}, {"3", 2},  {"Y", 3},  {"5", 4},  {"15", 5},   {"30", 6},   {"60", 7},
    {"D", 8}, {"W", 9}, {"M", 10}, {"S", 11}, {"X", 12}, {"120", 13}, {"240", 14},
};

// ---- Hot keys -------------------------------------------------------------

struct Command {
  const char *name;
  const char *key;  // "" when the command has no default key
};

const Command kCommands[kCommandCount] = {
    {"闪电图", "0+ENTER"},
    {"1分钟线", "1+ENTER"},
    {"3分钟线", ""},
    {"5分钟线", "2+ENTER"},
    {"15分钟线", "3+ENTER"},
    {"30分钟线", "4+ENTER"},
    {"60分钟线", "5+ENTER"},
    {"120分钟线", ""},
    {"240分钟线", ""},
    {"日线", "6+ENTER"},
    {"周线", "7+ENTER"},
    {"月线", "8+ENTER"},
    {"季线", "9+ENTER"},
    {"任意分钟", "M+ENTER"},
    {"任意天", "D+ENTER"},
    {"上证Ａ股", "1+ENTER"},
    {"上证Ｂ股", "2+ENTER"},
    {"上证债券", "5+ENTER"},
    {"深证Ａ股", "3+ENTER"},
    {"深证Ｂ股", "4+ENTER"},
    {"深证债券", "6+ENTER"},
    {"上证Ａ股涨幅", "61+ENTER"},
    {"上证Ｂ股涨幅", "62+ENTER"},
    {"上证债券涨幅", "65+ENTER"},
    {"深证Ａ股涨幅", "63+ENTER"},
    {"深证Ｂ股涨幅", "64+ENTER"},
    {"深证债券涨幅", "66+ENTER"},
    {"成交明细", "F1"},
    {"成交明细", "01+ENTER"},
    {"价量分布", "F2"},
    {"价量分布", "02+ENTER"},
    {"上证领先指标", "F3"},
    {"上证领先指标", "03+ENTER"},
    {"深证领先指标", "F4"},
    {"深证领先指标", "04+ENTER"},
    {"图形切换", "F5"},
    {"图形切换", "05+ENTER"},
    {"自选品种", "F6"},
    {"自选品种", "06+ENTER"},
    {"窗口缩放", "F7"},
    {"窗口缩放", "07+ENTER"},
    {"周期循环", "F8"},
    {"周期循环", "08+ENTER"},
    {"新闻资讯", "F9"},
    {"新闻资讯", "09+ENTER"},
    {"基本面资料", "F10"},
    {"基本面资料", "10+ENTER"},
    {"网上交易", "F12"},
    {"信息地雷", "16+ENTER"},
    {"上交所公告", "71+ENTER"},
    {"深交所公告", "72+ENTER"},
    {"沪Ａ综合排名", "81+ENTER"},
    {"沪Ｂ综合排名", "82+ENTER"},
    {"沪债券综合排名", "85+ENTER"},
    {"深Ａ综合排名", "83+ENTER"},
    {"深Ｂ综合排名", "84+ENTER"},
    {"深债券综合排名", "86+ENTER"},
    {"循环报价", "-"},
    {"全屏", "CTRL+P"},
    {"关闭窗口", "CTRL+F4"},
    {"页面循环", "CTRL+S"},
    {"数据刷新", ""},
    {"添加板块", "CTRL+M"},
    {"关闭板块", "CTRL+C"},
    {"加入自选", "CTRL+Z"},
    {"信息窗口", "CTRL+L"},
    {"商品叠加", "CTRL+O"},
    {"套利分析", "CTRL+A"},
    {"画线工具", "ALT+F12"},
    {"前复权", "CTRL+V"},
    {"后复权", "CTRL+B"},
    {"指标管理", "CTRL+F"},
    {"坐标反转", "CTRL+R"},
    {"反向周期循环", "SHIFT+F8"},
    {"反向页面循环", "SHIFT+CTRL+S"},
    {"退出", "ALT+F4"},
    {"指标上翻", "/"},
    {"指标上翻", "HOME"},
    {"指标下翻", "*"},
    {"指标下翻", "END"},
    {"预警设置", ""},
    {"分时图", ""},
    {"第三方交易", "F11"},
};

// The commands in display-row order: the command order with five commands
// moved next to their twins.
constexpr uint8_t kRowCommands[kCommandCount] = {
    1,  82, 2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
    28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 74, 44, 45, 46, 47, 83, 48, 49, 50, 51, 52, 53,
    54, 55, 56, 57, 58, 59, 60, 61, 75, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 77, 78, 79, 80, 81, 76,
};

struct NamedKey {
  const char *name;
  uint32_t flag;
};
// Tried in this order: F12, F11 and F10 before F1, which would match them.
const NamedKey kNamedKeys[] = {
    {"TAB", kHotKeyTab},
    {"BACKSPACE", kHotKeyBackspace},
    {"INSERT", kHotKeyInsert},
    {"DELETE", kHotKeyDelete},
    {"HOME", kHotKeyHome},
    {"END", kHotKeyEnd},
    {"PAGEUP", kHotKeyPageUp},
    {"PAGEDOWN", kHotKeyPageDown},
    {"UP", kHotKeyUp},
    {"LEFT", kHotKeyLeft},
    {"DOWN", kHotKeyDown},
    {"RIGHT", kHotKeyRight},
    {"SPACE", kHotKeySpace},
    {"F12", HotKeyFunctionKey(12)},
    {"F11", HotKeyFunctionKey(11)},
    {"F10", HotKeyFunctionKey(10)},
    {"F1", HotKeyFunctionKey(1)},
    {"F2", HotKeyFunctionKey(2)},
    {"F3", HotKeyFunctionKey(3)},
    {"F4", HotKeyFunctionKey(4)},
    {"F5", HotKeyFunctionKey(5)},
    {"F6", HotKeyFunctionKey(6)},
    {"F7", HotKeyFunctionKey(7)},
    {"F8", HotKeyFunctionKey(8)},
    {"F9", HotKeyFunctionKey(9)},
};

bool KeptInKeyText(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c != 0 && std::strchr("`-=\\[];',./*+", c));
}

// Upper-cases the text and removes every byte that can't be part of a key.
void FilterKeyText(char *text) {
  char *out = text;
  for (char *in = text; *in; ++in) {
    char c = *in;
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (KeptInKeyText(c)) *out++ = c;
  }
  *out = 0;
}

bool StartsWith(const char *text, const char *prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

}  // namespace

void LoadThemeColors(int theme) {
  const std::string file = UserFile("clrfont.ini");
  char section[32], key[32];
  std::snprintf(section, sizeof section, "Color%d", theme);
  for (int i = 1; i <= kThemeColorCount; ++i) {
    std::snprintf(key, sizeof key, "COLOR%02d", i);
    ThemeColors[i - 1] = COLORREF(GetPrivateProfileIntA(section, key, 0, file.c_str()));
  }
}

void LoadThemeFonts(int theme) {
  const std::string file = UserFile("clrfont.ini");
  char section[32], key[16], value[32];
  std::snprintf(section, sizeof section, "Font%d", theme);
  for (int i = 1; i <= kThemeFontCount; ++i) {
    std::snprintf(key, sizeof key, "FONT%02d", i);
    GetPrivateProfileStringA(section, key, kDefaultFont, value, sizeof value, file.c_str());
    ThemeFonts[i - 1] = ParseFont(value);
  }
}

void LoadCycleOrder() {
  const std::string file = UserFile("SETTING.INI");
  char value[64];
  GetPrivateProfileStringA("Parameter", "CycleOrder", kDefaultCycleOrder, value, sizeof value, file.c_str());
  const std::string_view text(value);

  int count = 0;
  size_t at = 0;
  while (at < text.size() && count < kPeriodCount) {
    const bool shown = text[at] != '0';
    ++at;
    for (const PeriodLetters &period : kPeriodLetters) {
      const std::string_view letters(period.letters);
      if (text.substr(at, letters.size()) != letters) continue;
      const size_t after = at + letters.size();
      if (after < text.size() && text[after] != ',') continue;
      at = after < text.size() ? after + 1 : after;
      bool seen = false;
      for (int i = 0; i < count; ++i) seen = seen || PeriodCycle[i].code == period.code;
      if (!seen) PeriodCycle[count++] = PeriodCycleEntry{period.code, shown};
      break;
    }
  }
  for (uint8_t code = 0; code < kPeriodCount && count < kPeriodCount; ++code) {
    bool held = false;
    for (int i = 0; i < count; ++i) held = held || PeriodCycle[i].code == code;
    if (!held) PeriodCycle[count++] = PeriodCycleEntry{code, false};
  }
}

void SaveCycleOrder() {
  std::string text;
  for (const PeriodCycleEntry &entry : PeriodCycle) {
    if (!text.empty()) text += ',';
    text += entry.shown ? '1' : '0';
    text += PeriodLettersOf(entry.code);
  }
  WritePrivateProfileStringA("Parameter", "CycleOrder", text.c_str(), UserFile("SETTING.INI").c_str());
}

const char *PeriodLettersOf(int code) {
  for (const PeriodLetters &period : kPeriodLetters)
    if (period.code == code) return period.letters;
  return "";
}

const char *CommandName(int code) { return code >= 1 && code <= kCommandCount ? kCommands[code - 1].name : nullptr; }

const char *DefaultHotKeyText(int code) {
  return code >= 1 && code <= kCommandCount ? kCommands[code - 1].key : nullptr;
}

int HotKeyDisplayRow(int code) {
  for (int row = 0; row < kCommandCount; ++row)
    if (kRowCommands[row] == code) return row;
  return -1;
}

void ParseHotKeyText(HOTKEYDEF &record, char *text) {
  record.flags = 0;
  std::memset(record.keys, 0, sizeof record.keys);
  if (!text || !*text) return;
  FilterKeyText(text);

  size_t typed = 0;
  const char *at = text;
  while (*at) {
    if (StartsWith(at, "CTRL+ENTER")) {
      record.flags |= kHotKeyCtrl | kHotKeyEnter;
      break;
    }
    if (StartsWith(at, "CTRL+")) {
      record.flags |= kHotKeyCtrl;
      at += 5;
      continue;
    }
    if (StartsWith(at, "SHIFT+ENTER")) {
      record.flags |= kHotKeyShift | kHotKeyEnter;
      break;
    }
    if (StartsWith(at, "SHIFT+")) {
      record.flags |= kHotKeyShift;
      at += 6;
      continue;
    }
    if (StartsWith(at, "ALT+ENTER")) {
      record.flags |= kHotKeyAlt | kHotKeyEnter;
      break;
    }
    if (StartsWith(at, "ALT+")) {
      record.flags |= kHotKeyAlt;
      at += 4;
      continue;
    }
    if (StartsWith(at, "+ENTER")) {
      if (record.flags || typed) record.flags |= kHotKeyEnter;
      break;
    }
    const NamedKey *named = nullptr;
    for (const NamedKey &key : kNamedKeys)
      if (StartsWith(at, key.name)) {
        named = &key;
        break;
      }
    if (named) {
      record.flags |= named->flag;
      break;
    }
    // A typed text ends at its 15 characters: what follows is dropped, so
    // that no key name or "+ENTER" after the cut changes what was read.
    if (typed == sizeof record.keys - 1) break;
    record.keys[typed++] = *at;
    ++at;
  }

  if (record.flags & kHotKeyNamedKeys) {
    std::memset(record.keys, 0, sizeof record.keys);
    record.flags &= ~uint32_t(kHotKeyEnter);
    return;
  }
  if (typed && (record.flags & kHotKeyModifiers) && (record.flags & kHotKeyEnter))
    record.flags &= ~uint32_t(kHotKeyEnter);
  if (typed > 1 && !(record.flags & kHotKeyEnter)) std::memset(record.keys + 1, 0, sizeof record.keys - 1);
  if (!typed) record.flags = 0;
}

void LoadHotKeys() {
  std::memset(HotKeyTable, 0, sizeof HotKeyTable);
  const std::string file = UserFile("HotKey.ini");
  char key[16], text[256];
  for (int code = 1; code <= kCommandCount; ++code) {
    std::snprintf(key, sizeof key, "h%u", unsigned(code));
    GetPrivateProfileStringA("HotKey", key, kCommands[code - 1].key, text, sizeof text, file.c_str());
    HOTKEYDEF &record = HotKeyTable[code - 1];
    record.row = uint16_t(HotKeyDisplayRow(code));
    record.command = uint16_t(code);
    ParseHotKeyText(record, text);
    AnsiToBuf(kCommands[code - 1].name, int(std::strlen(kCommands[code - 1].name)), record.name,
              int(sizeof record.name));
  }
}

void LoadDisplaySettings(int theme) {
  LoadThemeColors(theme);
  LoadThemeFonts(theme);
  LoadCycleOrder();
  LoadHotKeys();
}
