// Column schemes: the columns a quote report shows for one class of block,
// in display order with their widths, the count of fixed leading columns
// and the sort column the report starts with. Eleven schemes, kept in the
// user's "SETTING.INI" as the sections "TableDef1" .. "TableDef11"; one
// store serves every report of the process. The first report loads it, the
// reports read it when they lay out their columns, a column moved in a
// report and the scheme editor change it, and the main window writes it
// back when it closes. GUI thread only.
#pragma once

#include <cstdint>

struct BLOCK;

constexpr int kSchemeCount = 11;
constexpr int kSchemeColumns = 64;

struct TColumnSchemes {
  int32_t count[kSchemeCount];
  int32_t ids[kSchemeCount][kSchemeColumns];     // entries past count unused; -1 unset
  int32_t widths[kSchemeCount][kSchemeColumns];  // id 1: half Chinese characters; others: digits
  int32_t sortColumn[kSchemeCount];              // 0 after loading; never stored
  int32_t fixedCount[kSchemeCount];
};
static_assert(sizeof(TColumnSchemes) == 5764);

// Null until the first report loaded the store.
extern TColumnSchemes *ColumnSchemes;

// What a report's pane offers when a scheme is empty in both files.
struct SchemeFallback {
  int count = 0;
  const uint8_t *ids = nullptr;  // count column ids
  int fixedCount = 0;
};

// Fills the store once per process from "%sSETTING.INI" and the shared
// "..\cfg\setting.ini" (Count only); nothing when it exists.
void LoadColumnSchemes(const SchemeFallback &fallback);
// Writes every scheme to "%sSETTING.INI"; nothing when the store was never
// loaded.
void SaveColumnSchemes();
// Frees the store (the process's end; tests start again from nothing).
void FreeColumnSchemes();

// The scheme index (0 for "TableDef1") of a report's current block, by the
// block's kind and name and its market's type.
int SchemeIndexForBlock(const BLOCK *block);

// Moves the column at position from to position to (the entries between
// shift by one towards from) in a report's own column list (may be null)
// and in the scheme's ids and widths alike.
void MoveSchemeColumn(int scheme, int from, int to, int32_t *reportColumns, int reportCount);
