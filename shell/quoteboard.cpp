#include "shell/quoteboard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gdi.h"

TBoardPrice SplitBoardPrice(uint32_t price, uint32_t divisor, int decimals) {
  if (divisor == 0) divisor = 1000;
  decimals = std::clamp(decimals, 0, 9);
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, double(price) / divisor);
  const std::string s = text;
  TBoardPrice out;
  if (s.size() < 3) {
    out.tail = s;
    return out;
  }
  const size_t tail = decimals == 1 ? 3 : 2;
  out.head = s.substr(0, s.size() - tail);
  out.tail = s.substr(s.size() - tail);
  return out;
}

void TQuoteBoardLayout::Layout(bool keepColumns, bool hasBlock, int memberCount) {
  if (columnWidth <= 0) columnWidth = 1;
  if (rowHeight <= 0) rowHeight = 1;
  if (keepColumns) {
    gridWidth = columnWidth * columns;
  } else {
    const int fit = std::min(gridWidth / columnWidth, 3);
    columns = std::max(fit, 1);
    if (fit == 0) gridWidth = columnWidth;
  }
  rows = 1;
  if (hasBlock) {
    const int needed = (memberCount + columns - 1) / columns;
    rows = std::min(needed, gridHeight / rowHeight);
  }
  rows = std::max(rows, 1);
}

int TQuoteBoardLayout::VisibleCard(const STKMS *members, int memberCount, int market, int stock) const {
  const int visible = std::min(columns * rows, memberCount);
  for (int i = 0; members && i < visible; ++i)
    if (members[i].market == market && members[i].stock == stock) return i;
  return -1;
}

void TQuoteBoardLayout::FitFrame(int frameWidth) {
  if (columns * columnWidth > frameWidth - 150) columns = std::max((frameWidth - 150) / columnWidth, 1);
}

void MeasureBoardCell(int w1, int h1, int w8, int h8, int w9, int h9, int w11, int h11, int w15, int h15,
                      TQuoteBoardLayout *layout) {
  layout->rowHeight = int((std::max(h9, h11) + h1 + h8 + h15) * 1.4 + 0.5);
  layout->columnWidth = std::max({w1, w9 + w11, w8, 2 * w15, layout->rowHeight});
}

TBoardFonts::~TBoardFonts() {
  for (const Made &m : theme_)
    if (m.font) DeleteObject(m.font);
  if (help_) DeleteObject(help_);
}

HFONT TBoardFonts::Theme(int number) {
  const FONTDEF &f = ThemeFonts[number - 1];
  Made &m = theme_[number - 1];
  if (m.font && std::memcmp(&m.from, &f, sizeof f) == 0) return m.font;
  if (m.font) DeleteObject(m.font);
  char face[sizeof f.face + 1] = {};
  std::memcpy(face, f.face, sizeof f.face);
  m.from = f;
  m.font = CreateFontA(-f.size, 0, 0, 0, (f.style & kFontBold) ? 700 : 400, (f.style & kFontItalic) ? 1 : 0,
                       (f.style & kFontUnderline) ? 1 : 0, (f.style & kFontStrikeOut) ? 1 : 0, GB2312_CHARSET, 0, 0,
                       0, 0, face);
  return m.font;
}

HFONT TBoardFonts::Help() {
  if (!help_) help_ = CreateFontA(-12, 0, 0, 0, 400, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
  return help_;
}
