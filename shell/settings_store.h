// The display settings every view reads while it paints, loaded at start-up
// from the per-user folder: the colours and fonts of the colour theme, the
// order of the chart periods that the period-cycle command walks, and the
// hot-key table with the key of each of the 83 commands.
//
// All of it is GUI-thread data without locks.
#pragma once

#include <cstdint>

#include "platform/windef.h"
#include "views/hotkeydef.h"

// ---- Colours and fonts of the theme ---------------------------------------

constexpr int kThemeColorCount = 64;
constexpr int kThemeFontCount = 16;

// Entry i is COLOR<i+1> of "%sclrfont.ini" [Color<theme>].
extern COLORREF ThemeColors[kThemeColorCount];

constexpr uint8_t kFontBold = 0x1;
constexpr uint8_t kFontItalic = 0x2;
constexpr uint8_t kFontUnderline = 0x4;
constexpr uint8_t kFontStrikeOut = 0x8;

struct FONTDEF {
  uint8_t style;  // kFont bits
  char face[15];  // GBK, NUL-terminated
  int32_t size;   // character height; fonts are made with its negative
};
static_assert(sizeof(FONTDEF) == 20);

constexpr int32_t kMaxFontSize = 100;
// Entry i is FONT<i+1> of "%sclrfont.ini" [Font<theme>].
extern FONTDEF ThemeFonts[kThemeFontCount];

// Reads "COLOR01".."COLOR64" of section "Color<theme>" (integers, default 0).
void LoadThemeColors(int theme);
// Reads "FONT01".."FONT16" of section "Font<theme>" as "style,size,face"
// (default "0,12,宋体"). The face is the rest of the text after the second
// comma, blanks inside kept, cut to 14 bytes without splitting a GBK
// character; a field that is missing or no number keeps the default's
// value; a size beyond +-kMaxFontSize is held to it.
void LoadThemeFonts(int theme);

// ---- Period cycle ---------------------------------------------------------

constexpr int kPeriodCount = 15;

struct PeriodCycleEntry {
  uint8_t code;  // chart period code 0..14
  bool shown;
};

// After loading: each of the 15 period codes exactly once, in cycle order.
extern PeriodCycleEntry PeriodCycle[kPeriodCount];

// Reads "%sSETTING.INI" [Parameter] "CycleOrder": entries of a shown digit
// and the period's letters, joined by commas. Entries that name no period
// are passed over, a period's second entry is dropped, and the periods not
// named follow, hidden, in code order.
void LoadCycleOrder();
// Writes the table back to the same key: each entry as its shown digit and
// letters, joined by commas.
void SaveCycleOrder();
// The letters of a period code in "CycleOrder" ("T", "15", "D"); "" outside.
const char *PeriodLettersOf(int code);

// ---- Hot keys -------------------------------------------------------------

constexpr int kCommandCount = 83;
constexpr int kHotKeyTableSize = 128;

// Key flags of a hot key.
enum : uint32_t {
  kHotKeyCtrl = 0x1,
  kHotKeyShift = 0x2,
  kHotKeyAlt = 0x4,
  kHotKeyEnter = 0x8,  // the typed text is ended by Enter
  kHotKeyTab = 0x10,
  kHotKeyBackspace = 0x20,
  kHotKeyInsert = 0x40,
  kHotKeyDelete = 0x80,
  kHotKeyHome = 0x100,
  kHotKeyEnd = 0x200,
  kHotKeyPageUp = 0x400,
  kHotKeyPageDown = 0x800,
  kHotKeyUp = 0x1000,
  kHotKeyLeft = 0x2000,
  kHotKeyDown = 0x4000,
  kHotKeyRight = 0x8000,
  kHotKeySpace = 0x10000,
  kHotKeyF1 = 0x20000,  // F2..F12 are the following bits, F12 = 0x10000000
  kHotKeyNamedKeys = 0xFFFFFFF0u,
  kHotKeyModifiers = kHotKeyCtrl | kHotKeyShift | kHotKeyAlt,
};
constexpr uint32_t HotKeyFunctionKey(int n) { return kHotKeyF1 << (n - 1); }


// Record i holds command i + 1; records 83 to 127 stay zero.
extern HOTKEYDEF HotKeyTable[kHotKeyTableSize];

// The built-in name and default key text of a command 1..83; null outside.
const char *CommandName(int code);
const char *DefaultHotKeyText(int code);
// The display row of a command 1..83; -1 outside.
int HotKeyDisplayRow(int code);

// Sets flags and keys of the record from a key text ("CTRL+A", "61+ENTER",
// "F5"), which is upper-cased and filtered in place. What can't be read is
// dropped: other characters, a second character without ENTER, anything
// after a named key; a modifier or ENTER alone is no key. Null or empty
// leaves the record without key.
void ParseHotKeyText(HOTKEYDEF &record, char *text);

// Clears the table and fills the 83 records from "%sHotKey.ini" [HotKey]
// "h1".."h83"; a missing entry gives the built-in default, an empty one no
// key.
void LoadHotKeys();

// ---- Start-up -------------------------------------------------------------

// The display settings of a theme, in the order the views expect them:
// colours, fonts, the period cycle and the hot keys. The program entry
// hands this to the start-up object.
void LoadDisplaySettings(int theme);
