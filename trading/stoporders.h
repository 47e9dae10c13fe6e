// The stop entries of the positions and the account's stop files: one
// "<contract><direction><hedge>.sto" per position key in the account's
// "stoporder" folder ("kvstop2" written, "kvstop1" read), and the legacy
// "stopordr.ini" read once and deleted. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "trading/deskrecords.h"
#include "trading/stopstore.h"

class TTradeDesk;

// A price of an entry counts as set above this.
constexpr double kPriceSetThreshold = 0.0001;
inline bool PriceIsSet(double price) { return price > kPriceSetThreshold; }
// The integer thousandths two prices are compared by when entries merge.
int64_t PriceThousandths(double price);
// Volume above 0 and a stop or a take-profit price.
bool StopEntryValid(const StopOrder &entry);
// The order of a holder's list for the direction: above 0 when a belongs
// after b.
int CompareStopOrders(char direction, const StopOrder *a, const StopOrder *b);

// ---- the stop-file record ----
constexpr size_t kStopFileMagicSize = 8;
constexpr size_t kStopRecordSize = 56;   // "kvstop2"
constexpr size_t kStopRecordSize1 = 48;  // "kvstop1"
// The entry as its 56 bytes; the link bytes are written 0.
void PutStopRecord(const StopOrder &entry, unsigned char out[kStopRecordSize]);
// An entry from the first size bytes of a record (48 or 56); the link is
// cleared, fields past size are 0.
StopOrder GetStopRecord(const unsigned char *in, size_t size);

// Replaces the file by a flushed new one renamed over it; false when that
// failed (the old file stays). Without flush the new file is only renamed
// over the old one: whole against a crash of the program, not of the
// machine.
bool ReplaceFileBytes(const std::string &path, const void *data, size_t size, bool flush = true);

// A number that moves with every change of the stop entries of any holder
// (a holder made, given a record or freed; entries added, merged, copied,
// sorted, trimmed or freed; a trailing stop moved): whoever keeps a summary
// of the entries computes it again when the number is not the one it saw.
// Code that writes an entry's prices directly calls MarkStopEntriesChanged.
// One number for every desk of the process: a change on one desk only
// makes the others compute their summaries once more.
inline uint32_t &StopEntryChangeCount() {
  static uint32_t count = 0;
  return count;
}
inline uint32_t StopEntryChanges() { return StopEntryChangeCount(); }
inline void MarkStopEntriesChanged() { ++StopEntryChangeCount(); }

// The current last price of an instrument (the quote's over the divisor),
// 0 without a quote.
double InstrumentLastPrice(STKPTR stock);

// "<account folder>stoporder\<code><direction><hedge>.sto"; empty when the
// code would leave the folder (a path separator or "..").
std::string StopFilePath(const TTradeDesk &desk, const char *code, char direction, char hedge);
// The character a position's direction is stored under: '2', '3' or '1'.
char StopDirectionChar(char direction);

// Rebuilds every position's entries from the files; true when memory ran
// out on the way. Runs only on a position list known to be complete.
bool LoadStopOrders(TTradeDesk &desk, int32_t tradeDate);
// Rewrites the position's stop file (every position's for null); with log
// the stop snapshot goes to the trade log afterwards. True on a failure.
bool SaveStopOrders(TTradeDesk &desk, InvestorPosition_Lite *position, bool log);
// Every record's holder released (freed at 0) and its pointer cleared.
void ReleaseAllStops(TTradeDesk &desk);

// The store the desk's bookkeeping calls.
class TDeskStopStore : public TStopStore {
 public:
  explicit TDeskStopStore(TTradeDesk &desk);

  // The trade date day-valid entries get; the plug-in's by default.
  std::function<int32_t()> tradeDate;
  // After the stop files of a complete position list were read (also when
  // memory ran short on the way).
  std::function<void(int32_t tradeDate)> loaded;

  bool AddStop(InvestorPosition_Lite &position, int32_t volume, double stop, double trailing, double profit,
               double trailReference, int32_t expiryKind) override;
  void SortStops(InvestorPosition_Lite &position) override;
  bool TrimStops(InvestorPosition_Lite &position) override;
  int32_t StopCount(const InvestorPosition_Lite &position) const override;
  StopOrderPointer *AddRef(StopOrderPointer *holder) override;
  bool Release(StopOrderPointer *holder) override;
  void FreeHolder(StopOrderPointer *holder) override;
  bool LoadStopOrders(int32_t tradeDate) override;
  bool SaveStopOrders(InvestorPosition_Lite *position, bool log) override;

 private:
  TTradeDesk &desk_;
};

// The plug-in's trade date as a number, 0 when unbound.
int32_t PluginTradeDate();
