// View attributes: the record that describes what a pane shows (its view
// type, instrument and the settings of that kind of view), its older and
// shorter versions met in old page files with their conversions, the
// defaults of each view type, the per-pane view data block that page files
// store, and the hand-over list a quote report gives to the chart that
// replaces it.
//
// Every record here has a fixed little-endian layout: page files embed
// them byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "market/marketrecords.h"

// ---- View types ----------------------------------------------------------------

constexpr int16_t VIEW_TYPE_NONE = 0;
constexpr int16_t VIEW_TYPE_INTRADAY = 0x1001;
constexpr int16_t VIEW_TYPE_KLINE = 0x1002;
constexpr int16_t VIEW_TYPE_RANKING = 0x2000;
constexpr int16_t VIEW_TYPE_REPORT = 0x2001;
constexpr int16_t VIEW_TYPE_NEWS = 0x2003;
constexpr int16_t VIEW_TYPE_TEXT = 0x2004;
constexpr int16_t VIEW_TYPE_NOTES = 0x2005;

// Bit 3 of the view flags: the intraday view shows the tick chart.
constexpr uint32_t kViewFlagTickMode = 0x8;

// True for the known view types above (VIEW_TYPE_NONE included).
bool IsKnownViewType(int type);
// Intraday, K-line and text views: the views that take a hand-over list.
inline bool TakesHandOverList(int type) {
  return type == VIEW_TYPE_INTRADAY || type == VIEW_TYPE_KLINE || type == VIEW_TYPE_TEXT;
}
// A short name of the view type for people ("K线图", "报价画面" ...).
const char *ViewTypeName(int type);

constexpr int kMaxTabs = 64;
constexpr int kMaxColumns = 64;
constexpr int kMaxChartWindows = 6;
constexpr int kFormulaNameSize = 16;
constexpr int kWebAddressSize = 128;

// ---- VIEW_ATTR_13 --------------------------------------------------------------------

// The current record: 504 bytes, no virtual table. The 128-byte area at 92
// holds the report's tab block ids; for the views that take a hand-over
// list, its last 8 bytes (offsets 212 and 216) hold the list's position and
// handle instead (HandOverPosition, HandOverList).
struct VIEW_ATTR_13 {
  int16_t viewType;
  STKPTR stock;
  uint8_t zero6[2];
  uint32_t columnCount;
  uint32_t fixedColumns;
  uint32_t sortColumn;
  uint8_t columns[kMaxColumns];
  int32_t tabCount;
  uint32_t currentBlock;
  uint16_t tabIds[kMaxTabs];  // ids 60..63 share their bytes with offsets 212..219
  uint32_t kept220;
  uint32_t windowCount;
  char formulas[kMaxChartWindows][kFormulaNameSize];
  uint8_t period;
  uint8_t zero325[3];
  uint32_t flags;
  int32_t zoomStep;
  int32_t keptTopRow;
  uint8_t kept340[32];
  uint32_t displayFlags;
  char webAddress[kWebAddressSize];

  // Offset 212: the instrument's position in the hand-over list.
  int32_t HandOverPosition() const;
  void SetHandOverPosition(int32_t position);
  // Offset 216: the hand-over list's handle (0 = none). Meaningful in
  // memory only; a file never gives one.
  uint32_t HandOverList() const;
  void SetHandOverList(uint32_t handle);
};
static_assert(sizeof(VIEW_ATTR_13) == 504);
static_assert(offsetof(VIEW_ATTR_13, stock) == 2);
static_assert(offsetof(VIEW_ATTR_13, columns) == 20);
static_assert(offsetof(VIEW_ATTR_13, tabCount) == 84);
static_assert(offsetof(VIEW_ATTR_13, tabIds) == 92);
static_assert(offsetof(VIEW_ATTR_13, kept220) == 220);
static_assert(offsetof(VIEW_ATTR_13, formulas) == 228);
static_assert(offsetof(VIEW_ATTR_13, period) == 324);
static_assert(offsetof(VIEW_ATTR_13, flags) == 328);
static_assert(offsetof(VIEW_ATTR_13, zoomStep) == 332);
static_assert(offsetof(VIEW_ATTR_13, keptTopRow) == 336);
static_assert(offsetof(VIEW_ATTR_13, displayFlags) == 372);
static_assert(offsetof(VIEW_ATTR_13, webAddress) == 376);
static_assert(std::is_trivially_copyable_v<VIEW_ATTR_13>);

// ---- Older versions ------------------------------------------------------------------

// Offsets 0..91, the same in every version.
struct VIEW_ATTR_HEAD {
  int16_t viewType;
  STKPTR stock;
  uint8_t zero6[2];
  uint32_t columnCount;
  uint32_t fixedColumns;
  uint32_t sortColumn;
  uint8_t columns[kMaxColumns];
  int32_t tabCount;
  uint32_t currentBlock;
};
static_assert(sizeof(VIEW_ATTR_HEAD) == 92);

struct VIEW_ATTR_5 {
  VIEW_ATTR_HEAD head;
  int32_t tabIds[16];
  int32_t dropped156;
  uint32_t windowCount;
  char formulas[kMaxChartWindows][kFormulaNameSize];
  uint8_t period;
  uint8_t zero261[3];
  uint32_t flags;
};
static_assert(sizeof(VIEW_ATTR_5) == 268);

struct VIEW_ATTR_10 {
  VIEW_ATTR_5 v5;
  int32_t zoomStep;    // becomes offset 332
  int32_t keptTopRow;  // becomes offset 336
};
static_assert(sizeof(VIEW_ATTR_10) == 276);

// The first 340 bytes of the current record.
constexpr size_t kViewAttr11Size = 340;
// The first 376 bytes of the current record.
constexpr size_t kViewAttr12Size = 376;
struct VIEW_ATTR_11 {
  uint8_t bytes[kViewAttr11Size];
};
struct VIEW_ATTR_12 {
  uint8_t bytes[kViewAttr12Size];
};

// Each step starts from a cleared target.
void ConvertViewAttr5To10(const VIEW_ATTR_5 &from, VIEW_ATTR_10 &to);
void ConvertViewAttr10To11(const VIEW_ATTR_10 &from, VIEW_ATTR_11 &to);
// Display flags from "%sdefui.ini" [UI] Property.
void ConvertViewAttr11To12(const VIEW_ATTR_11 &from, VIEW_ATTR_12 &to);
// Web address from "..\CFG\defui.ini" [News] WebURL1.
void ConvertViewAttr12To13(const VIEW_ATTR_12 &from, VIEW_ATTR_13 &to);

// ---- Defaults ----------------------------------------------------------------

// Fills the record with the defaults of the view type: 1 for the known
// view types (but 0), else 0 with the record cleared but for the code,
// instrument, current block id and display flags. A news or notes record
// keeps its web address; every other type has it cleared.
int InitViewAttr(int viewType, VIEW_ATTR_13 *record);

// The record of a new empty pane: the first 340 bytes cleared (view type 0),
// display flags and web address from the settings. The rest is left alone.
void PrepareEmptyRecord(VIEW_ATTR_13 *record);

// Settings the records read.
uint32_t DefaultDisplayFlags();                  // "%sdefui.ini" [UI] Property
void DefaultWebAddress(char (&address)[kWebAddressSize]);  // "..\CFG\defui.ini" [News] WebURL1

// Calls fn(block) for every token of "..\CFG\SETTING.INI" [PARAMETER]
// SysBlocks (two-word names included) that names a block, in order; fn
// returns false to stop the walk.
struct BLOCK;
template <class Fn>
void ForEachSysBlock(Fn fn);
void WalkSysBlocks(bool (*visit)(BLOCK *block, void *context), void *context);
template <class Fn>
void ForEachSysBlock(Fn fn) {
  WalkSysBlocks([](BLOCK *block, void *context) { return (*static_cast<Fn *>(context))(block); }, &fn);
}

// ---- View data ----------------------------------------------------------------------

struct REFLINEREC {
  int32_t decimals;
  uint32_t unused;
  double value;
};
static_assert(sizeof(REFLINEREC) == 16);

// All 64 bits set: the end of a list of reference lines or parameters.
bool IsEndMark(double value);
double EndMark();

constexpr int kMaxOverlays = 8;
constexpr int kMaxRefLines = 16;
constexpr int kMaxParams = 16;

// The per-pane settings block (4128 bytes) the views read and write and
// page files store.
struct MVCDATA_12 {
  uint32_t tabCount;
  uint32_t currentBlock;
  uint16_t tabIds[kMaxTabs];
  uint32_t columnCount;
  uint32_t scheme12;
  uint32_t scheme16;
  uint8_t columns[kMaxColumns];
  uint32_t paneCount;
  uint32_t windowCount;
  char formulas[kMaxChartWindows][kFormulaNameSize];
  char overlayFormulas[kMaxOverlays][kFormulaNameSize];
  STKPTR overlays[kMaxOverlays];
  uint32_t firstOverlaySetting;
  REFLINEREC refLines[kMaxChartWindows][kMaxRefLines];
  double params[kMaxChartWindows][kMaxParams];
  double overlayParams[kMaxOverlays][kMaxParams];
  uint8_t firstOverlayOwnFormula;
  uint8_t firstOverlayByte;
  uint8_t linked;
  uint8_t infoVisible;
  float heightRatios[5];
  char overlayTexts[kMaxOverlays][32];
  uint8_t reserved4088[32];
  uint32_t displayFlags;
  uint8_t reserved4124[4];
};
static_assert(sizeof(MVCDATA_12) == 4128);
static_assert(offsetof(MVCDATA_12, columns) == 148);
static_assert(offsetof(MVCDATA_12, overlays) == 444);
static_assert(offsetof(MVCDATA_12, refLines) == 480);
static_assert(offsetof(MVCDATA_12, params) == 2016);
static_assert(offsetof(MVCDATA_12, overlayParams) == 2784);
static_assert(offsetof(MVCDATA_12, firstOverlayOwnFormula) == 3808);
static_assert(offsetof(MVCDATA_12, heightRatios) == 3812);
static_assert(offsetof(MVCDATA_12, overlayTexts) == 3832);
static_assert(offsetof(MVCDATA_12, displayFlags) == 4120);
constexpr size_t kMvcData11Size = 4088;  // the first 4088 bytes

// Version 10 (4040 bytes); versions 5, 7 and 8 are its first 3752, 3776
// and 3784 bytes.
struct MVCDATA_10 {
  uint32_t tabCount;
  uint32_t currentBlock;
  int32_t tabIds[16];
  uint32_t columnCount;
  uint32_t scheme12;
  uint32_t scheme16;
  uint8_t columns[kMaxColumns];
  uint32_t paneCount;
  uint32_t windowCount;
  char formulas[kMaxChartWindows][kFormulaNameSize];
  char overlayFormulas[kMaxOverlays][kFormulaNameSize];
  STKPTR overlays[kMaxOverlays];
  uint32_t firstOverlaySetting;
  REFLINEREC refLines[kMaxChartWindows][kMaxRefLines];
  double params[kMaxChartWindows][kMaxParams];
  double overlayParams[kMaxOverlays][kMaxParams];
  uint8_t bytes3744[4];
  uint8_t unused3748[4];
  float heightRatios[5];
  uint8_t unused3772[12];
  char overlayTexts[kMaxOverlays][32];
};
static_assert(sizeof(MVCDATA_10) == 4040);
static_assert(offsetof(MVCDATA_10, refLines) == 416);
static_assert(offsetof(MVCDATA_10, bytes3744) == 3744);
static_assert(offsetof(MVCDATA_10, overlayTexts) == 3784);

// Into a cleared target: the first 4088 bytes of MVCDATA_12 are filled.
void ConvertMvcData10To12(const MVCDATA_10 &from, MVCDATA_12 &to);

// Clears the block and sets the end marks: overlay list, the first
// reference line of each window, the first parameter of each of the 14
// parameter sets; display flags from the settings.
void ClearViewData(MVCDATA_12 *data);
// The view data of a new pane: ClearViewData, then the report and K-line
// defaults, the info-window byte and the main-chart overlays.
void InitViewData(MVCDATA_12 *data);

// "%s %s" of the market's short name and the code; empty when the
// instrument is unknown. The result fits 32 bytes.
void StockToText(STKPTR stock, char (&text)[32]);
// The instrument a "%s %s" text names; false when the text has no blank,
// the market or the code is unknown.
bool StockFromText(const char *text, size_t size, STKPTR *stock);
// Overlay instruments to texts (up to the end mark) and back (up to the
// first text that names no instrument, which gets the end mark).
void OverlaysToTexts(MVCDATA_12 *data);
void OverlaysFromTexts(MVCDATA_12 *data);
bool IsOverlayEnd(STKPTR stock);

// ---- Hand-over list ------------------------------------------------------------------

// The instruments of a quote report, in row order, handed to the chart or
// text view that replaces it. Reference counted; records hold it by a
// 32-bit handle whose generation makes a stale handle find nothing.
struct ViewStockList {
  STKPTR *items;
  uint32_t count;
  uint32_t refCount;
};

// A new list with reference count 0; 0 when there is no memory.
uint32_t NewViewStockList(const STKPTR *items, uint32_t count);
// The list of a handle, or null (0, stale or unknown).
ViewStockList *FindViewStockList(uint32_t handle);
// False for a handle that finds no list.
bool AddRefViewStockList(uint32_t handle);
// Drops one reference; the list goes at 0.
void ReleaseViewStockList(uint32_t handle);
// Frees a list that nobody took (reference count 0).
void DropUnusedViewStockList(uint32_t handle);
// Lists alive now (for tests).
int LiveViewStockLists();
