// The trade and account report without its window: the period, the walk
// over its trading days with one statement asked of the plug-in at a time,
// the per-day cache of statements, the statement parsers, and the page with
// its balance chart built from what they found.
//
// The desk owns one for the life of the program. The report dialog drives
// it (the click, its two private messages) and the notification dispatcher
// hands it the statements while a dialog is open. Everything runs on the
// GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/datetime.h"
#include "core/earray.h"
#include "platform/windef.h"
#include "trading/reportrecords.h"

class TTongJiDlg;

// The cache of one day's statement: blocks of 16384 bytes of its text
// (line ends made single LFs), each compressed on its own and written back
// to back. Both return false when something failed; the cache file is then
// deleted, so nothing half-written or cut stays behind. A missing or empty
// statement gives no cache file.
bool CompressStatementFile(const char *sourcePath, const char *cachePath);
// Expands every stream into the text; false (and the cache file deleted)
// when a stream is damaged or the file ends inside one.
bool ExpandStatement(const char *cachePath, std::string *text);
// The same into a file.
bool ExpandStatementFile(const char *cachePath, const char *targetPath);

// Text helpers of the parsers.
// Copies without any blank; returns the length.
int RemoveBlanks(char *out, const char *in);
// Copies with every run of blanks made one separator.
void CollapseBlanks(char separator, char *out, const char *in);
// Copies what follows a label of labelLength bytes: at most length bytes
// and never more than outSize - 1, never half a character.
void CopyAfterLabel(char *out, size_t outSize, const char *text, size_t labelLength, size_t length);

class TAccountReport {
 public:
  // Period modes.
  enum { kLastWeek = 2, kLastMonth = 3, kFromTo = 4 };

  TAccountReport();
  ~TAccountReport();
  TAccountReport(const TAccountReport &) = delete;
  TAccountReport &operator=(const TAccountReport &) = delete;

  // ---- the dialog's side ----
  // The dialog being shown, or null; the dispatcher forwards statements
  // only while it is set.
  TTongJiDlg *ActiveTongJiDlg = nullptr;
  // The dialog's window: target of WM_TONGJI_READY and owner of its boxes.
  HWND window = nullptr;
  // Tells the dialog that fetching started (true) or ended (false).
  std::function<void(bool fetching)> onFetching;
  // Shows the finished page (the full path of "toji.html").
  std::function<void(const std::string &path)> onPage;

  // A new dialog: name and id cleared, the last week chosen.
  void ResetDialog();
  int mode = kLastWeek;

  // The click on "生成报告": the pickers' dates as yyyymmdd numbers (only
  // read in mode 4). True when a walk is under way afterwards.
  bool Generate(int fromDate, int toDate);
  // One statement: the block names the file that holds it, or carries the
  // broker's text. The block is writable and holds at least 5 bytes; the
  // caller frees it.
  void OnSettlementInfo(char *block);
  // The dispatcher's statement notification while a dialog is open: a
  // statement or a day without one goes to OnSettlementInfo and the block
  // back to the plug-in; another failure is posted to the dialog as
  // WM_TONGJI_SETTLEMENT. False when no dialog is open (the dispatcher
  // then handles it itself).
  bool DeliverSettlement(WPARAM wParam, LPARAM lParam);
  // WM_TONGJI_SETTLEMENT: the failure text (a plug-in block, or null).
  void OnSettlementFailed(char *block);
  // WM_TONGJI_READY: builds and shows the page. False when it could not
  // be built (the button stays disabled).
  bool OnReady();
  bool Fetching() const { return fetching_; }

  // ---- the period and the walk ----
  char startDate[16] = {};
  char endDate[16] = {};
  int32_t dayCount = 0;
  PackedDateTime dateLimit = 0;
  // The day asked for, empty while no walk is under way.
  char currentDate[16] = {};
  int32_t dayCounter = 0;
  // Fixes the period by the mode from the platform clock; false with the
  // message shown when mode 4 has the start after the end.
  bool FixPeriod(int fromDate, int toDate);
  // The first futures market's current date (0 when there is none).
  static PackedDateTime FuturesDateLimit();
  // The next trading day of the walk into currentDate; false when the
  // walk is over (counter and date cleared).
  bool NextStatementDate();
  // "<data folder><account>\settle\<date>".
  std::string CachePath(const char *date) const;

  // ---- the parsers ----
  // The layout number the plug-in reports (1 when it has no answer).
  static int LayoutNumber();
  void ParseStatementA(const char *path);
  void ParseStatementB(const char *path);
  void ParseStatementC(const char *path);
  void ParseStatementCFloating(const char *path);
  // The arrays emptied: all fifteen, or all but the two of the balances.
  void ClearArrays(bool keepBalances = false);

  char holderName[32] = {};
  char accountId[16] = {};

  EArray<TongJiRiQi> dates{128};
  EArray<PriceBegin> priceBegin{128};
  EArray<PriceEnd> priceEnd{128};
  EArray<ChengJiaoJiLu> trades{128};
  EArray<PingCangMingXi> closedLots{128};
  EArray<ChiCangMingXi> positionsA{128};
  EArray<ChiCangMingXiJsd> positions{128};
  EArray<KeYongZiJin> available{128};
  EArray<ChuRuJin> cashMoves{128};
  EArray<ShouXuFei> fees{128};
  EArray<PingCangYingKui> closeProfits{128};
  EArray<BaoZhengJin> margins{128};
  EArray<ChiCangYingKui> positionProfits{128};
  EArray<PingCangTongJi> closeStats{128};
  EArray<DingShiYingKuiHuiZong> periodPnl{128};

  // ---- the page ----
  void SortClosedLots();
  void BuildCloseStatistics(int layout);
  void ComputePeriodPnl();
  // Draws the balance series on ".\images\Sample.bmp" and saves
  // ".\images\Report_05.bmp"; false when the template can't be loaded.
  bool DrawBalanceChart();
  // The chart's axis: bottom and top of the series after rounding.
  static void ChartAxis(double smallest, double largest, double *bottom, double *top);
  // The t-th axis label (1 at the bottom to 5 at the top), in units of 10000.
  static std::string AxisLabel(double bottom, double top, int t);
  // Writes the page to the file; false when it can't be created.
  bool WritePage(const char *path, int layout);

 private:
  void StartFetching();
  void EndFetching();
  // Asks for the current date; false (with the box shown and the button
  // back) when the plug-in refused.
  bool AskCurrentDate();
  // Expands the cached day for the parsers; false when there is no usable
  // cache (a damaged one is deleted).
  bool TakeFromCache(const char *date);
  // Takes one statement: from the cache when cached is set, else from the
  // file the block names (or the broker's text in it).
  void TakeStatement(char *block, bool cached);
  // The cached day being parsed; the parsers read it instead of their file
  // while it is set.
  std::string cachedText_;
  const std::string *statementText_ = nullptr;
  void Message(const char *text, const char *caption, UINT type, HWND owner);
  // The account the plug-in reports, which names the cache folder.
  void TakeInvestor();
  char investor_[16] = {};

  // Section flags of the statement parsers (cleared at each statement).
  bool inTrades_ = false;
  bool inClosed_ = false;
  bool inPositions_ = false;
  bool fetching_ = false;
};
