// The quote board's arithmetic: the grid's layout over the board's block,
// the card of a pushed instrument among the visible cells, the split of a
// last price into its plain head and its enlarged tail, and the column
// choices of the board's menu; and the fonts its cards are painted with.
#pragma once

#include <cstdint>
#include <string>

#include "market/marketrecords.h"
#include "platform/windef.h"
#include "shell/settings_store.h"

struct TBoardPrice {
  std::string head, tail;
};
// The last price as the card shows it: "%.<decimals>f" of price / divisor,
// its last 3 characters (1 decimal) or last 2 (else) enlarged; a text of
// fewer than 3 characters is all tail.
TBoardPrice SplitBoardPrice(uint32_t price, uint32_t divisor, int decimals);

struct TQuoteBoardLayout {
  int columns = 2;  // 1..3
  int rows = 1;
  int columnWidth = 80, rowHeight = 60;
  int gridWidth = 0, gridHeight = 0;
  // Keeping the columns sets the grid's width; else the columns follow the
  // width (at most 3, at least 1). Rows: those the members need, no more
  // than fit, at least one.
  void Layout(bool keepColumns, bool hasBlock, int memberCount);
  // The member index of an instrument among the visible cards, or -1.
  int VisibleCard(const STKMS *members, int memberCount, int market, int stock) const;
  // "1列" .. "3列": whether that many columns fit into the frame.
  bool ColumnsFit(int columnCount, int frameWidth) const { return columnCount * columnWidth < frameWidth - 30; }
  // The frame got narrower: fewer columns when they no longer fit.
  void FitFrame(int frameWidth);
};

// The row height and column width of the cards from the extents of their
// texts: name (w1, h1), time (w8, h8), price head (w9, h9) and tail (w11,
// h11), low and high (w15, h15).
void MeasureBoardCell(int w1, int h1, int w8, int h8, int w9, int h9, int w11, int h11, int w15, int h15,
                      TQuoteBoardLayout *layout);

// The board's fonts, kept between paints: a theme font is made on its first
// use and made again only after its entry in ThemeFonts changed; the help
// text's font is made once. All are freed with the board.
class TBoardFonts {
 public:
  TBoardFonts() = default;
  ~TBoardFonts();
  TBoardFonts(const TBoardFonts &) = delete;
  TBoardFonts &operator=(const TBoardFonts &) = delete;
  // FONT<number> of the theme (1..kThemeFontCount) with its face, height and
  // style bits.
  HFONT Theme(int number);
  // The 12-pixel face of the empty board's help text.
  HFONT Help();

 private:
  struct Made {
    FONTDEF from{};
    HFONT font = nullptr;
  };
  Made theme_[kThemeFontCount];
  HFONT help_ = nullptr;
};
