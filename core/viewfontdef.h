// One entry of the display scheme's font table, as the main window keeps it
// and the views and the formula painter read it.
#pragma once

#include <cstdint>

// Style bits (1 bold, 2 italic, 4 underline, 8 strike-out), face (GBK) and
// character height in pixels (fonts are made with the negated height).
struct VIEWFONTDEF {
  uint8_t style;
  char face[15];
  int32_t size;
};
static_assert(sizeof(VIEWFONTDEF) == 20);
