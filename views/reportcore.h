// The quote report's rows and what happens to them, without a window: the
// rows of the loaded block with their flash stamps and changed-field masks,
// hidden codes, the local sorts and the sort answers of the quote server,
// the server sort request, the paging and group-jump moves of the
// selection, and the edits of user blocks by delete, hide and drop.
//
// Rows are report rows 0..rowCount-1; the grid shows row r in grid row
// r + 1 below its header. GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "market/marketrecords.h"
#include "views/reportcolumns.h"

struct BLOCK;

constexpr int kReportMaxRows = 7168;
constexpr int kReportMaxTabs = 64;
constexpr int kReportMaxColumns = 64;
constexpr int kSortRequestMembers = 320;
constexpr int kFlashTicks = 16;  // 1.6 s of the 100 ms flash timer

// Bits of a row's changed-field mask.
enum : uint32_t {
  kChangedLast = 1,
  kChangedLastVolume = 2,
  kChangedBid = 8,
  kChangedAsk = 16,
  kChangedBidVolume = 32,
  kChangedAskVolume = 64,
  kChangedVolume = 128,
};

// A server sort to ask for: the sort kind and either a member list (taken
// over by the request queue) or the block id.
struct ReportSortRequest {
  int sortKind = 0;
  uint32_t count = 0;       // members listed, or the block id
  STKMS *codes = nullptr;  // new[]-allocated list, or null for a block id
};

class TReportCore {
 public:
  TReportCore();
  ~TReportCore();
  TReportCore(const TReportCore &) = delete;
  TReportCore &operator=(const TReportCore &) = delete;

  // ---- rows of the loaded block ----
  // Copies the block's members into the rows (stamps and masks cleared);
  // for blocks other than user blocks the hidden codes are removed.
  void LoadRows(const BLOCK *block);
  // Removes the rows whose code the block's key of "%sHideCode.ini" [Hide]
  // lists as a whole item.
  void RemoveHiddenCodes(const BLOCK *block);
  // The first row of the instrument, -1 when none.
  int FindRow(int market, int stock) const;
  STKPTR RowStock(int row) const;

  // ---- sorting ----
  // True when the column is sorted here (0, 1, 9, the finance columns);
  // SortLocal then sorts by the sort column and direction.
  static bool IsLocalSortColumn(int column);
  void SortLocal();
  // The sort kind the quote server is asked for a column.
  static int ServerSortKind(int column);
  // The request of a server sort over the block; false when the block has
  // no members or the list can't be had.
  bool BuildSortRequest(const BLOCK *block, ReportSortRequest *request) const;
  // Reads a ranking answer into the rows of the block and sorts them; false
  // when the block has no members or the file can't be opened.
  bool LoadSortAnswer(const BLOCK *block, const char *path);

  // ---- quotes and flashing ----
  // A pushed quote: the first row of the instrument gets the mask and the
  // current tick as its stamp (when the mask is not 0). The row, or -1.
  int OnQuote(int market, int stock, uint32_t mask);
  // One step of the flash timer.
  void Tick() { tickCounter = tickCounter >= 64999 ? 0 : uint16_t(tickCounter + 1); }
  // True while fewer than 16 ticks passed since the row's stamp; otherwise
  // the row's mask is cleared.
  bool IsRowFlashing(int row);
  bool IsCellFlashing(int column, int row);

  // ---- moves of the selection (grid rows; row 1 is the first data row) ----
  // The row a group jump lands on from the selected report row: PageDown
  // the most active row of the next group of codes, PageUp of the previous.
  int GroupJumpRow(int row, bool down) const;
  // Paging: the new top row and selected row for PageUp/PageDown with V
  // visible rows; Up/Down wrap round the data rows.
  void PageMove(bool down, int visible, int *topRow, int *selected) const;
  void LineMove(bool down, int *selected) const;

  // ---- edits of the block ----
  // Deletes a row's instrument from a user block and writes the user blocks.
  bool DeleteFromUserBlock(BLOCK *block, int row);
  // Adds the row's code to the block's hidden codes (once; not when the
  // value would reach 4096 characters) and removes the row. 
  bool HideRow(const BLOCK *block, int row);
  static void UnhideAll(const BLOCK *block);
  enum DropResult { kDropMoved, kDropInserted, kDropRefused, kDropSystemBlock, kDropFull };
  // An instrument dropped on target row d (-1: not on a row of the block).
  DropResult DropStock(BLOCK *block, STKPTR stock, int d);

  // ---- state ----
  REPORTROW *rows;
  double *values;
  int rowCount = 0;
  uint16_t tickCounter = 0;
  uint8_t direction = 1;
  int sortColumn = 0;
  int32_t columnCount = 0;
  int32_t columns[kReportMaxColumns] = {};
};

// The hidden-codes file of the user folder.
std::string HideCodeFile();
