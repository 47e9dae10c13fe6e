#include "shell/hotkeys.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "market/utildata.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "shell/commands.h"
#include "views/reportcolumns.h"

namespace {

struct NamedKey {
  const char *name;
  uint32_t flag;
};

constexpr NamedKey kNamedKeys[] = {
    {"TAB", kHotKeyTab},       {"BACKSPACE", kHotKeyBackspace}, {"INSERT", kHotKeyInsert},
    {"DELETE", kHotKeyDelete}, {"HOME", kHotKeyHome},           {"END", kHotKeyEnd},
    {"PAGEUP", kHotKeyPageUp}, {"PAGEDOWN", kHotKeyPageDown},   {"UP", kHotKeyUp},
    {"LEFT", kHotKeyLeft},     {"DOWN", kHotKeyDown},           {"RIGHT", kHotKeyRight},
    {"SPACE", kHotKeySpace},   {"F1", HotKeyFunctionKey(1)},    {"F2", HotKeyFunctionKey(2)},
    {"F3", HotKeyFunctionKey(3)},   {"F4", HotKeyFunctionKey(4)},   {"F5", HotKeyFunctionKey(5)},
    {"F6", HotKeyFunctionKey(6)},   {"F7", HotKeyFunctionKey(7)},   {"F8", HotKeyFunctionKey(8)},
    {"F9", HotKeyFunctionKey(9)},   {"F10", HotKeyFunctionKey(10)}, {"F11", HotKeyFunctionKey(11)},
    {"F12", HotKeyFunctionKey(12)},
};

// The flag of a named virtual key, 0 for other keys.
uint32_t NamedKeyFlag(UINT key) {
  switch (key) {
    case VK_BACK: return kHotKeyBackspace;
    case VK_TAB: return kHotKeyTab;
    case VK_SPACE: return kHotKeySpace;
    case VK_PRIOR: return kHotKeyPageUp;
    case VK_NEXT: return kHotKeyPageDown;
    case VK_END: return kHotKeyEnd;
    case VK_HOME: return kHotKeyHome;
    case VK_LEFT: return kHotKeyLeft;
    case VK_UP: return kHotKeyUp;
    case VK_RIGHT: return kHotKeyRight;
    case VK_DOWN: return kHotKeyDown;
    case VK_INSERT: return kHotKeyInsert;
    case VK_DELETE: return kHotKeyDelete;
    default: break;
  }
  if (key >= UINT(VK_F1) && key <= UINT(VK_F12)) return HotKeyFunctionKey(int(key - VK_F1) + 1);
  return 0;
}

// The typed character a key stands for, 0 for other keys.
char KeyCharacter(UINT key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return char(key);
  switch (key) {
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    case VK_OEM_MINUS: return '-';
    case VK_OEM_PERIOD: return '.';
    case VK_OEM_2: return '/';
    case VK_OEM_1: return ';';
    case VK_OEM_PLUS: return '=';
    case VK_OEM_COMMA: return ',';
    case VK_OEM_3: return '`';
    case VK_OEM_4: return '[';
    case VK_OEM_5: return '\\';
    case VK_OEM_6: return ']';
    case VK_OEM_7: return '\'';
    default: return 0;
  }
}

struct RowTable {
  uint8_t commands[kCommandCount];
  RowTable() {
    std::memset(commands, 0, sizeof commands);
    for (int code = 1; code <= kCommandCount; ++code) {
      const int row = HotKeyDisplayRow(code);
      if (row >= 0 && row < kCommandCount) commands[row] = uint8_t(code);
    }
  }
};

const RowTable &Rows() {
  static const RowTable table;
  return table;
}

constexpr THotKeyCaption kCaptions[] = {
    {"MenuItem95", false, "全屏显示      %s", CMD_FULL_SCREEN},
    {"N4", false, "全屏显示      %s", CMD_FULL_SCREEN},
    {"MenuItem109", false, "退出系统      %s", CMD_EXIT},
    {"N57", false, "关闭窗口      %s", CMD_CLOSE_PANE},
    {"N65", false, "商品叠加      %s", CMD_OVERLAY},
    {"A1", false, "套利分析      %s", CMD_ARBITRAGE},
    {"CtrlR1", false, "启用          %s", CMD_REVERSE_AXIS},
    {"MenuItem119", false, "日线      %s", CMD_PERIOD_DAY},
    {"MenuItem120", false, "周线      %s", CMD_PERIOD_WEEK},
    {"MenuItem121", false, "月线      %s", CMD_PERIOD_MONTH},
    {"N23", false, "季线      %s", CMD_PERIOD_QUARTER},
    {"N27", false, "任意天    %s", CMD_PERIOD_ANY_DAYS},
    {"N28", false, "1分钟     %s", CMD_PERIOD_1MIN},
    {"N31", false, "3分钟     %s", CMD_PERIOD_3MIN},
    {"MenuItem122", false, "5分钟     %s", CMD_PERIOD_5MIN},
    {"MenuItem123", false, "15分钟    %s", CMD_PERIOD_15MIN},
    {"MenuItem124", false, "30分钟    %s", CMD_PERIOD_30MIN},
    {"MenuItem125", false, "60分钟    %s", CMD_PERIOD_60MIN},
    {"N1201", false, "120分钟   %s", CMD_PERIOD_120MIN},
    {"N241", false, "240分钟   %s", CMD_PERIOD_240MIN},
    {"N29", false, "任意分    %s", CMD_PERIOD_ANY_MINUTES},
    {"N42", false, "前复权      %s", CMD_FORWARD_ADJUST},
    {"N43", false, "后复权      %s", CMD_BACKWARD_ADJUST},
    {"MenuItem128", false, "画线工具      %s", CMD_DRAWING_TOOLS},
    {"N81", false, "指标管理      %s", CMD_INDICATOR_MANAGER},
    {"N26", false, "即时新闻      %s", CMD_NEWS},
    {"F101", false, "背景资料      %s", CMD_F10_INFO},
    {"N161", false, "信息地雷      %s", CMD_INFO_MINE},
    {"N44", false, "上证信息      %s", CMD_SH_NOTICES},
    {"N45", false, "深证信息      %s", CMD_SZ_NOTICES},
    {"N37", false, "kivo交易  %s", CMD_ONLINE_TRADING},
    {"N55", false, "循环报价      %s", CMD_CYCLE_QUOTES},
    {"ToolButton5", true, "新闻 %s", CMD_NEWS},
    {"ToolButton14", true, "背景资料 %s", CMD_F10_INFO},
    {"ToolButton9", true, "数据刷新 %s", CMD_REFRESH_DATA},
    {"N22", false, "数据刷新      %s", CMD_REFRESH_DATA},
    {"ToolButton23", true, "页面循环 %s", CMD_CYCLE_PAGES},
    {"LineBtn", true, "画线工具 %s", CMD_DRAWING_TOOLS},
    {"ToolButton17", true, "交易 %s", CMD_ONLINE_TRADING},
    {"ToolButton19", true, "预警设置 %s", CMD_ALARM_SETTINGS},
    {"S1", false, "预警设置    %s", CMD_ALARM_SETTINGS},
};

}  // namespace

int HotKeyCommandAtRow(int row) { return row >= 0 && row < kCommandCount ? Rows().commands[row] : 0; }

void FormatHotKeyDefinition(const HOTKEYDEF &record, char (&out)[kHotKeyFormatSize]) {
  out[0] = '\0';
  if (record.flags & kHotKeyCtrl) std::strcat(out, "CTRL+");
  if (record.flags & kHotKeyAlt) std::strcat(out, "ALT+");
  if (record.flags & kHotKeyShift) std::strcat(out, "SHIFT+");
  if (record.flags & kHotKeyNamedKeys) {
    for (const NamedKey &key : kNamedKeys)
      if (record.flags & key.flag) {
        std::strcat(out, key.name);
        return;
      }
  }
  std::strncat(out, record.keys, strnlen(record.keys, sizeof record.keys - 1));
  if (record.flags & kHotKeyEnter) std::strcat(out, "+ENTER");
}

void SaveHotKeys() {
  const std::string file = std::string(UserDataPath) + "HotKey.ini";
  for (int i = 0; i < kHotKeyTableSize && HotKeyTable[i].command != 0; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "h%u", unsigned(HotKeyTable[i].command));
    char text[kHotKeyFormatSize];
    FormatHotKeyDefinition(HotKeyTable[i], text);
    WritePrivateProfileStringA("HotKey", key, text, file.c_str());
  }
}

int HotKeyCommandForKey(UINT virtualKey, const THotKeyState &state) {
  // The numeric pad without Num Lock: Insert, End, Down, Page Down, Left,
  // (5: nothing), Right, Home, Up, Page Up.
  static constexpr UINT kPadKeys[10] = {VK_INSERT, VK_END, VK_DOWN, VK_NEXT, VK_LEFT, 0, VK_RIGHT, VK_HOME, VK_UP,
                                        VK_PRIOR};
  UINT key = virtualKey;
  if (key >= UINT(VK_NUMPAD0) && key <= UINT(VK_NUMPAD9)) {
    const UINT pad = key - VK_NUMPAD0;
    key = state.numLock ? '0' + pad : kPadKeys[pad];
    if (key == 0) return 0;
  }
  const uint32_t named = NamedKeyFlag(key);
  const char typed = named ? 0 : KeyCharacter(key);
  if (!named && !typed) return 0;
  uint32_t held = 0;
  if (state.ctrl) held |= kHotKeyCtrl;
  if (state.shift) held |= kHotKeyShift;
  if (state.alt) held |= kHotKeyAlt;
  for (int row = 0; row < kCommandCount; ++row) {
    const int command = Rows().commands[row];
    if (command == 0) continue;
    const HOTKEYDEF &record = HotKeyTable[command - 1];
    const size_t length = strnlen(record.keys, sizeof record.keys);
    if (length >= 2 || (length == 1 && (record.flags & kHotKeyEnter))) continue;
    const bool match = named ? (record.flags & named) != 0 : (length == 1 && record.keys[0] == typed);
    if (match && (record.flags & kHotKeyModifiers) == held) return record.command;
  }
  return 0;
}

int HotKeyCommandForKey(UINT virtualKey) {
  THotKeyState state;
  state.ctrl = GetKeyState(VK_CONTROL) < 0;
  state.shift = GetKeyState(VK_SHIFT) < 0;
  state.alt = GetKeyState(VK_MENU) < 0;
  state.numLock = (GetKeyState(VK_NUMLOCK) & 1) != 0;
  return HotKeyCommandForKey(virtualKey, state);
}

int HotKeyCaptionCount() { return int(sizeof kCaptions / sizeof kCaptions[0]); }
const THotKeyCaption &HotKeyCaptionAt(int i) { return kCaptions[i]; }

void ForEachHotKeyCaption(const std::function<void(const char *item, bool hint, const char *text)> &out) {
  for (const THotKeyCaption &line : kCaptions) {
    char key[64] = {};
    const HOTKEYDEF &record = HotKeyTable[line.command - 1];
    if (record.command) FormatHotKeyText(record.flags, record.keys, key);
    char text[128];
    std::snprintf(text, sizeof text, line.format, key);
    out(line.item, line.hint, text);
  }
}
