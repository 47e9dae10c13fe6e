// What the quote views read of the main window's display settings while they
// paint and lay out: the theme's colour and font tables, the report's
// selected-row options, the tab-strip colours of the skin, the hot keys of
// the commands whose keys the views show in their menus, and the reference
// index of the contribution column.
//
// The main window keeps the settings themselves (and loads them from the
// user's files); it points these fields at what it holds, or copies the
// values in, whenever they change. Until it does, the views see the
// defaults below. GUI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "core/viewfontdef.h"
#include "platform/windef.h"

constexpr int kViewColorCount = 64;
constexpr int kViewFontCount = 16;

struct TViewDisplay {
  // COLORnn is colors[nn - 1]; FONTnn is fonts[nn - 1]. Null: all colours
  // 0 and every font "0,12,宋体".
  const COLORREF *colors = nullptr;
  const VIEWFONTDEF *fonts = nullptr;

  // "%sdefui.ini" [UI] SelectedRowParam: 1 own background of the selected
  // row, 2 yellow frame round it, 4 limit-price highlight.
  uint32_t selectedRowStyle = 1;
  // [UI] BSZoom2: enlargement of the bid and ask numbers in the selected row.
  int32_t bsZoom2 = 0;
  // Process-wide height factor of the selected row; every report sets it
  // again when it builds its fonts.
  float selectedRowFactor = 1.0f;

  // Tab-strip colours of the skin ([Color] of its settings file).
  COLORREF tabSet = 0;
  COLORREF tabSetLight = 0xFFFFFF;
  COLORREF tabSetCaption = 0xFFFFFF;
  COLORREF tabSetCol = 0xFFFFFF;
  COLORREF tabSetHot = 0xFFFFFF;
  COLORREF tabSetHotLight = 0;
  COLORREF tabSetHotCaption = 0;

  // Main menu check marks read by the report: "报价网格(&G)" (reports made
  // while it is checked draw grid lines) and "走势图优先(&M)" (open an
  // instrument in the intraday view rather than the K-line view).
  bool gridLines = false;
  bool trendFirst = false;

  // The reference index of the contribution column: the stock index of
  // "000300" in market 0 (-1 until found) and its previous close.
  int32_t referenceIndexStock = -1;
  uint32_t referenceIndexPrevClose = 0;

  // Key flags and typed characters of a command 1..83; false when the
  // command has no record.
  std::function<bool(int command, uint32_t *flags, char keys[16])> hotKey;
};

TViewDisplay &ViewDisplay();

// COLORnn of the theme, 1..64; 0 outside.
COLORREF ViewColor(int nn);
// FONTnn of the theme, 1..16; the default entry outside or without a table.
const VIEWFONTDEF &ViewFont(int nn);

// A font made from a theme entry: height -(size + extra), weight 700 for
// the bold bit else 400, the effects of the style bits, DEFAULT_CHARSET,
// family value 32. With enlargeSystemFaces, the faces "System" and
// "Fixedsys" become "Arial" 3 pixels taller.
HFONT CreateViewFont(const VIEWFONTDEF &entry, int extra, bool enlargeSystemFaces);

// The font of a theme slot (CreateViewFont, no extra height, faces kept)
// held between uses: made on first use and again only when the slot's
// entry changed since; Release deletes it (the owner's font change and
// close), and so does the destructor.
class TViewFontCache {
 public:
  TViewFontCache() = default;
  TViewFontCache(const TViewFontCache &) = delete;
  TViewFontCache &operator=(const TViewFontCache &) = delete;
  ~TViewFontCache() { Release(); }

  HFONT Get(int slot);
  void Release();
  HFONT Held() const { return font_; }

 private:
  HFONT font_ = nullptr;
  int slot_ = 0;
  VIEWFONTDEF entry_{};
};
