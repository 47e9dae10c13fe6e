// The hot-key table's file and lookups beyond loading it (which the
// display settings do, shell/settings_store.h): writing "%sHotKey.ini",
// the stored form of a key, the command of a key press and the hot-key
// texts in the main window's menu captions and tool-button hints.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/windef.h"
#include "shell/settings_store.h"

// The command shown in a display row (0..82); 0 outside.
int HotKeyCommandAtRow(int row);

// Writes every record with a command to "%sHotKey.ini" [HotKey] "h<code>",
// a command without key as an empty value (so that it stays without key;
// only a missing entry gives the default).
void SaveHotKeys();

// The stored form of a record's key: "CTRL+", "ALT+", "SHIFT+" in this
// order, then the named key, or the typed text with "+ENTER" when Enter
// ends it. Empty for a record without key.
constexpr int kHotKeyFormatSize = 40;
void FormatHotKeyDefinition(const HOTKEYDEF &record, char (&out)[kHotKeyFormatSize]);

// The command whose single-key hot key is this key press with the state of
// Ctrl, Shift, Alt and Num Lock now; 0 when none. ENTER-ended texts are
// never single key presses.
struct THotKeyState {
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  bool numLock = false;
};
int HotKeyCommandForKey(UINT virtualKey, const THotKeyState &state);
int HotKeyCommandForKey(UINT virtualKey);

// The hot-key texts of the main window's menus and tool buttons: for each
// line, the item's name, whether the text is a hint (else a caption), and
// the text with the command's current key in display form.
struct THotKeyCaption {
  const char *item;
  bool hint;
  const char *format;
  int command;
};
int HotKeyCaptionCount();
const THotKeyCaption &HotKeyCaptionAt(int i);
// Calls out(item, hint, text) for every line, in table order.
void ForEachHotKeyCaption(const std::function<void(const char *item, bool hint, const char *text)> &out);
