#include "views/viewdisplay.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "platform/gdi.h"

TViewDisplay &ViewDisplay() {
  static TViewDisplay display;
  return display;
}

COLORREF ViewColor(int nn) {
  const COLORREF *colors = ViewDisplay().colors;
  if (!colors || nn < 1 || nn > kViewColorCount) return 0;
  return colors[nn - 1];
}

const VIEWFONTDEF &ViewFont(int nn) {
  static const VIEWFONTDEF kDefault{0, "宋体", 12};
  const VIEWFONTDEF *fonts = ViewDisplay().fonts;
  if (!fonts || nn < 1 || nn > kViewFontCount) return kDefault;
  return fonts[nn - 1];
}

HFONT CreateViewFont(const VIEWFONTDEF &entry, int extra, bool enlargeSystemFaces) {
  char face[16] = {};
  for (int i = 0; i < 15 && entry.face[i]; ++i) face[i] = entry.face[i];
  int height = entry.size + extra;
  if (enlargeSystemFaces && (strcasecmp(face, "System") == 0 || strcasecmp(face, "Fixedsys") == 0)) {
    height += 3;
    std::snprintf(face, sizeof face, "Arial");
  }
  return CreateFontA(-height, 0, 0, 0, (entry.style & 1) ? FW_BOLD : 400, entry.style & 2 ? 1 : 0,
                     entry.style & 4 ? 1 : 0, entry.style & 8 ? 1 : 0, DEFAULT_CHARSET, 0, 0, 0, 32, face);
}

HFONT TViewFontCache::Get(int slot) {
  const VIEWFONTDEF &entry = ViewFont(slot);
  if (font_ && slot == slot_ && std::memcmp(&entry, &entry_, sizeof entry_) == 0) return font_;
  Release();
  font_ = CreateViewFont(entry, 0, false);
  slot_ = slot;
  entry_ = entry;
  return font_;
}

void TViewFontCache::Release() {
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}
