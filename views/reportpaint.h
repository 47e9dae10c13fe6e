// How the quote report looks: its four fonts, the header texts by block,
// the column widths of a scheme, the cells (backgrounds, texts, flashing,
// limit highlights, the selected row's frame) and the owner-drawn block
// tabs. Everything draws into a device context with a rectangle, so the
// same code paints the window, a bitmap and a printed page.
#pragma once

#include <cstdint>
#include <string>

#include "platform/windef.h"
#include "views/reportcore.h"

struct BLOCK;

// Bits of the selected-row style.
enum : uint32_t {
  kRowStyleBackground = 1,
  kRowStyleFrame = 2,
  kRowStyleLimits = 4,
};

// The four fonts of a report (names FONT12, numbers FONT13, header FONT14,
// enlarged numbers FONT13 + BSZoom2) at a zoom step 1..10.
struct ReportFonts {
  HFONT names = nullptr, numbers = nullptr, header = nullptr, enlarged = nullptr;
  ReportFonts() = default;
  ReportFonts(const ReportFonts &) = delete;
  ReportFonts &operator=(const ReportFonts &) = delete;
  ~ReportFonts() { Delete(); }
  void Make(int zoomStep, int bsZoom2);
  void Delete();
};

// The header text of a column for the report's current block (null: no
// block), and the text the width measurement of a scheme uses.
// The headers a spot-forward market's columns get instead of the plain ones
// ("前均", "现价", "订货量", "现量", "均价", "订货差"); null for the others.
const char *SpotForwardHeaderText(int column);
std::string ReportHeaderText(const BLOCK *block, int column);
std::string SchemeHeaderText(int scheme, int column);

// The widest column a scheme may ask for, in digits or half characters.
constexpr int kMaxSchemeWidth = 255;

// Widths measured with the report's fonts in a device context.
struct ReportMetrics {
  int headerChar = 0, headerHeight = 0;    // "字" in the header font
  int digit = 0, digitHeight = 0;          // "8" in the numbers font
  int nameChar = 0, nameHeight = 0;        // "字" in the names font
  int enlargedDigit = 0, enlargedHeight = 0;  // "8" in the enlarged font
  void Measure(HDC dc, const ReportFonts &fonts);
  int RowHeight() const;
  // The grid width of a column of the scheme: its data or its header width,
  // whichever is larger, and 6 pixels; scheme widths are held to 0..kMaxSchemeWidth.
  int ColumnWidth(int scheme, int column, int schemeWidth) const;
  // The selected row's height factor for BSZoom2.
  float SelectedRowFactor(int bsZoom2) const;
};

// What a cell is painted with.
struct ReportPaintState {
  TReportCore *core = nullptr;
  const BLOCK *block = nullptr;
  const ReportFonts *fonts = nullptr;
  int fixedColumns = 0;
  int selectedRow = 1;  // grid row
  bool gridLines = false;
  bool invert = false;  // InvertDisplay: flashing fills every flashing cell
  uint32_t rowStyle = kRowStyleBackground;
  int bsZoom2 = 0;
};

// Grid row 0 is the header; grid row r >= 1 shows report row r - 1; grid
// column c shows the column id core->columns[c].
void PaintReportCell(HDC dc, const ReportPaintState &state, int gridColumn, int gridRow, const RECT &rect);

// The tab strip: the background gradient, one tab, and a tab's width.
void DrawReportTabsBackground(HDC dc, const RECT &rect);
void DrawReportTabItem(HDC dc, const RECT &rect, const std::string &caption, bool selected, bool hot);
int MeasureReportTab(const std::string &caption);

// A block's tab caption: its name without a trailing "市场", after "^" for
// a sub-block of a server category.
std::string ReportTabCaption(const BLOCK *block, bool subBlockMark);
