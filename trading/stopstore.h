// The operations the position bookkeeping asks of the stop store: the stop
// entries shared by the position records of one contract, direction and
// hedge flag, and the account's stop files. The desk holds one store; the
// bookkeeping never touches a holder's list itself.
#pragma once

#include <cstdint>

struct InvestorPosition_Lite;
struct StopOrderPointer;

class TStopStore {
 public:
  virtual ~TStopStore() = default;

  // Position operations on one record.
  // Ignored (true) when the volume is not above 0 or neither a stop nor a
  // take-profit price is set; false only when memory ran out.
  virtual bool AddStop(InvestorPosition_Lite &position, int32_t volume, double stop, double trailing,
                       double profit, double trailReference, int32_t expiryKind) = 0;
  virtual void SortStops(InvestorPosition_Lite &position) = 0;
  // True when the entries were cut down to the position's volume.
  virtual bool TrimStops(InvestorPosition_Lite &position) = 0;
  virtual int32_t StopCount(const InvestorPosition_Lite &position) const = 0;

  // Holder references.
  virtual StopOrderPointer *AddRef(StopOrderPointer *holder) = 0;
  // True when the last reference went: the entries are freed and the caller
  // frees the holder itself.
  virtual bool Release(StopOrderPointer *holder) = 0;
  virtual void FreeHolder(StopOrderPointer *holder) = 0;

  // The account's stop files. Both return true on a failure (out of memory
  // on load; an open or write failure on save). A null position saves all.
  virtual bool LoadStopOrders(int32_t tradeDate) = 0;
  virtual bool SaveStopOrders(InvestorPosition_Lite *position, bool log) = 0;
};
