// What the quote views share: the catalogue of the 59 report columns with
// the rule each column's value is computed by from the market table, the
// cell text and colour the report prints for it, the price colour rule,
// text placement in a cell, stepping through a block, adding an instrument
// to a user block, the hot-key text of menu captions, the row sorts of the
// report and the ranking view, and the four shared view fonts.
//
// GUI thread only; everything reads the market table and the block table
// as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "market/marketrecords.h"
#include "platform/windef.h"

struct BLOCK;

constexpr int kReportColumnCount = 59;
constexpr int kReportColumnNameSize = 16;
// Column names, GBK, NUL-padded; the column id is the index.
extern const char ReportColumnTable[kReportColumnCount][kReportColumnNameSize];

// Column ids with a meaning of their own elsewhere.
enum ReportColumnId : int {
  kColRowNumber = 0,
  kColName = 1,
  kColReference = 2,
  kColOpen = 3,
  kColHigh = 4,
  kColLow = 5,
  kColLast = 6,
  kColVolume = 7,
  kColAmount = 8,
  kColCode = 9,
  kColChange = 10,
  kColChangePercent = 11,
  kColStrength = 14,
  kColFastChange = 21,
  kColLastVolume = 24,
  kColBid = 25,
  kColAsk = 26,
  kColSettlement = 27,
  kColBidVolume = 28,
  kColAskVolume = 29,
  kColOpenInterestChange = 30,
  kColTime = 31,
  kColBidAsk = 32,
  kColBidAskVolume = 33,
  kColContribution = 58,
};

// 1 with *value set, 0 without a value (*value then holds 0 where the rule
// says so). Prices come divided by the instrument's price divisor. For
// column 31 only the first 4 bytes of *value are written (the raw packed
// time). A reference to an instrument the market table does not hold, or
// whose stock index lies beyond its market's arrays, has no value.
int GetColumnValue(uint32_t stockWord, int column, double *value);

// The market's quote, name entry and finance record of a reference; null
// when the reference lies outside the market table.
const REALQUOTE *QuoteOf(int market, int stock);
const FINANCE *FinanceOf(int market, int stock);

// Price colour as a colour number: 20 equal (value 0 or equal to the
// reference), 21 up, 19 down; both compared as signed 32-bit integers.
int CompareColorNumber(int32_t value, int32_t reference);
COLORREF GetCompareColor(int32_t value, int32_t reference);
// The same rule as a 0-based index into the colour table (18 down, 19
// equal, 20 up), as the chart painters take it.
inline int PriceColorIndex(int32_t value, int32_t reference) { return CompareColorNumber(value, reference) - 1; }
// The sign colour of the ratio columns: down for any negative value, equal
// below 0.01, up from 0.01.
int SignColorNumber(double value);

// "%.2f万亿", "%.2f亿", "%.2f万" or "%.2f" by the size of the value.
void FormatBigNumber(double value, char *out, size_t size);

// What the report prints in one cell: the text and its colour number
// (COLORnn), and for the pair columns 32 and 33 the second half. rowNumber
// is what column 0 shows.
struct ReportCellText {
  char text[48];
  int color;
  bool pair;
  char second[24];
  int secondColor;
  bool hasValue;
};
void FormatReportCell(STKPTR stock, int column, int rowNumber, ReportCellText *cell);

// Text placement: horizontal mode 0 centred, 2 right-aligned, any other
// left-aligned with 3 pixels; vertical mode 0 centred, 2 at the bottom, any
// other at the top. A rectangle too small for the text and 6 pixels shows
// "***" at its top-left corner instead. Uses the context's font and colours.
void DrawCellText(HDC dc, const RECT &rect, const char *text, int horizontal, int vertical);
// Two texts joined by " / ", the first in its colour, the joint in COLOR47,
// the second in its colour.
void DrawCellTextPair(HDC dc, const RECT &rect, COLORREF first, COLORREF second, const char *firstText,
                      const char *secondText, int horizontal, int vertical);

// The instrument after (before) the current one in the block, cyclically;
// the current one when the block is missing, empty or lacks it.
STKPTR NextStockInBlock(int blockId, STKPTR current);
STKPTR PrevStockInBlock(int blockId, STKPTR current);

// Appends the instrument to the block unless the block already holds it or
// is full; true when a member was added.
bool AppendBlockMember(BLOCK *block, STKPTR stock);
// "加入自选": the user picks a user block in the block list dialog; the
// instrument is added and the user blocks file written when it was new;
// then every view hears of the block (code 10). Through ViewServices().
void AddStockToUserBlock(STKPTR stock);

// The display text of a hot key ("CTRL+F12", "61", "ENTER") from its key
// flags and typed characters (16 bytes, NUL-terminated within); out holds
// at least 40 bytes.
void FormatHotKeyText(uint32_t flags, const char *keys, char *out);

// One row of a report: the first 6 bytes of a block member, then the flash
// stamp and the changed-field mask of the last quote update.
#pragma pack(push, 1)
struct REPORTROW {
  uint8_t market;
  uint8_t kind;
  uint16_t stock;
  uint16_t position;
  uint16_t flashStamp;
  uint32_t changedMask;
};
#pragma pack(pop)
static_assert(sizeof(REPORTROW) == 12);

// Row sorts. Direction 1 sorts position and code ascending and every value
// descending; 0 the reverse. Equal keys keep their order.
void SortRowsByPosition(REPORTROW *rows, int count, int direction);
// By market, kind and code of the name entry. Rows stay as they are when
// one of them has no name entry.
void SortRowsByCode(REPORTROW *rows, int count, int direction);
// By one finance value (columns 46..53 and 57); rows without a finance
// record count 0; any other column leaves the rows as they are.
void SortRowsByFinance(REPORTROW *rows, int count, int direction, int column);
// Rows and their values together by the value; a value that is no number
// sorts last.
void SortRowsByValue(REPORTROW *rows, double *values, int count, int direction);
// n passes that each bring the best remaining entry to the front: the first
// n entries end as the n best in order, equal values in their old order.
void SortTopByValue(STKPTR *stocks, double *values, int count, int n, int direction);

// The line printed above a view's picture: "<year>年 <name>" in black at
// (x, y) of the page.
void PrintYearLine(HDC page, int x, int y, const char *name);

// The four shared view fonts (1..3 from FONT03..FONT05, the enlarged one
// from FONT05 enlarged by "%sdefui.ini" [UI] BSZoom1, or view font 3 when
// that is 0 or less).
extern HFONT ViewFont1, ViewFont2, ViewFont3, ViewFontEnlarged;
void RebuildViewFonts();
