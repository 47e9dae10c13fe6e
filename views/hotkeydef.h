// One record of the main window's hot-key table: a command's key as the
// keyboard wizard, the key preview and the hot-key editor read it. The
// table itself belongs to the main window.
#pragma once

#include <cstdint>

struct HOTKEYDEF {
  uint16_t row;      // display row 0..82: the editor's row and the lookup's rank
  uint16_t command;  // command code 1..83; 0 past the last command
  uint32_t flags;    // key flags; 8 = Enter only
  char keys[16];     // typed characters, upper case; empty for a named key
  char name[16];     // the command's name, GBK
};
static_assert(sizeof(HOTKEYDEF) == 40);
