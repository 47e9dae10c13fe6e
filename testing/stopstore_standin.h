// A stop store for tests, in memory: the stop entries of each holder as a list, kept
// only while the program runs. The account's stop files are not read or
// written; the saves are counted so the bookkeeping can be followed.
#pragma once

#include <vector>

#include "trading/deskrecords.h"
#include "trading/stopstore.h"

class TStopStoreStandIn : public TStopStore {
 public:
  ~TStopStoreStandIn() override;

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

  // What was asked of the files.
  int loads = 0;
  bool loadFails = false;
  struct Save {
    const InvestorPosition_Lite *position;
    bool log;
  };
  std::vector<Save> saves;

 private:
  std::vector<StopOrderPointer *> holders_;
};
