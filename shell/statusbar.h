// The status bar's panels: the three index readings, the news ticker, the
// brand word with the connection symbol, the clock and the page name.
// Each paints on a device context over its panel (after the caller copied
// the panel's slice of the background); the hit tests of the double
// clicks are here too.
#pragma once

#include <cstdint>
#include <string>

#include "platform/windef.h"
#include "shell/framecore.h"
#include "shell/frameskin.h"

// One index reading as the panel shows it.
struct TIndexTexts {
  std::string price, change, amount;
  int colour = 0;  // 0 StatusText, 1 StatusTextRed (rising), 2 StatusTextGreen (falling)
};
// divisor: the stock's price divisor (1000 when unknown or 0).
TIndexTexts IndexTexts(const TIndexSlot &slot, uint32_t divisor);
// The slot a double click at x of the index panel opens: 0 "000001",
// 1 "399001", 2 "000300".
int IndexSlotAt(int x);
void PaintIndexPanel(HDC dc, int height, const TFrameSkin &skin, const TIndexSlot (&slots)[3],
                     const uint32_t (&divisors)[3]);

// The ticker item under x of a panel that wide (0 = the first item), or -1.
int TickerItemAt(const TFrameCore::TickerItem *head, int offset, int panelWidth, int x);
void PaintTicker(HDC dc, int width, int height, const TFrameSkin &skin, const TFrameCore::TickerItem *head,
                 int offset);

// tag: 0 offline, 1..4 connected, -1..-4 congested (the letter |tag| lit).
void PaintConnection(HDC dc, int height, const TFrameSkin &skin, int tag, const char16_t (&word)[4]);

// "%02d:%02d" of the UTC minute of the day shown at UTC+8.
std::string ClockText(int minute);
// The clock's font height in a panel that wide: 16, or less when the
// platform's face would not fit "00:00" from x 1.
int ClockFontHeight(HDC dc, int width);
// The clock's font, kept between paints and made again only when the
// panel's width changed; freed with its owner.
class TClockFont {
 public:
  TClockFont() = default;
  ~TClockFont();
  TClockFont(const TClockFont &) = delete;
  TClockFont &operator=(const TClockFont &) = delete;
  HFONT For(HDC dc, int width);

 private:
  HFONT font_ = nullptr;
  int width_ = 0;
};
void PaintClock(HDC dc, int width, int height, const TFrameSkin &skin, int minute, TClockFont &font);

void PaintPageName(HDC dc, int width, int height, COLORREF back, COLORREF text, const char *name);
