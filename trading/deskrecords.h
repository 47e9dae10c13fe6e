// The trading desk's own records: what the terminal keeps of the plug-in's
// trades, positions and contracts, the drop-down groups, the contract short
// names and quick-order keys, the automatic-order task, the condition order
// and the stop entries of a position. The records the plug-in posts come
// from its public interface header; there is no second copy of them here.
//
// Records that go into a file (OptionShortcut, CContractInfo) have a fixed
// little-endian layout checked field by field; the others live in memory
// only and may hold pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/datetime.h"
#include "core/earray.h"
#include "market/marketrecords.h"
#include "plugin/tradeapi.h"

using tb::CKivoOrderField;
using tb::CKivoTransferBankField;
using tb::TB_CONTRACT;
using tb::TB_POSITION;
using tb::TB_TRADE;

struct StopOrderPointer;
struct InvestorPosition_Lite;

// One trade, as the trade list shows it.
struct Trade_Lite {
  char InstrumentID[8];
  char Direction;  // '0' buy, '1' sell
  char OffsetFlag;
  char HedgeFlag;
  char OrderRef[13];
  char Text18[21];  // the block's second text (answer field 18)
  char Text19[21];  // the block's first text (answer field 19)
  char TradeTime[9];
  double Price;
  int32_t Volume;

  Trade_Lite() = default;
  explicit Trade_Lite(const TB_TRADE &trade);
};
static_assert(sizeof(Trade_Lite) == 96);
static_assert(offsetof(Trade_Lite, OrderRef) == 11 && offsetof(Trade_Lite, Text18) == 24);
static_assert(offsetof(Trade_Lite, Text19) == 45 && offsetof(Trade_Lite, TradeTime) == 66);
static_assert(offsetof(Trade_Lite, Price) == 80 && offsetof(Trade_Lite, Volume) == 88);

// One side of a position. The stop holder is shared by the records of one
// contract, direction and hedge flag and never leaves memory.
struct InvestorPosition_Lite {
  char InstrumentID[8];  // at most 7 characters
  char PosiDirection;    // '2' long, '3' short
  char HedgeFlag;
  char Attribute;  // 0 plain, 1 yesterday's, 2 today's
  char Refresh;
  int32_t Volume;
  int32_t Frozen;
  int32_t Further;
  double OpenAverage;     // the block's first amount
  double HoldingAverage;  // the block's second amount
  double OpenAmount;      // copies of the two amounts
  double HoldingAmount;
  StopOrderPointer *Stops;
  STKPTR Stock;  // none when no futures market knows the contract

  InvestorPosition_Lite() = default;
  // Stock is looked up with the server minute of the day.
  InvestorPosition_Lite(const TB_POSITION &position, int serverMinute);

  // The stop entries (trading/stoporders.cpp). all is the position array
  // the record lives in: records of one contract, direction and hedge flag
  // share one holder. tradeDate is the current trade date (yyyymmdd) a
  // day-valid entry lapses after.
  bool AddStop(EArray<InvestorPosition_Lite> &all, int32_t volume, double stop, double trailing, double profit,
               double trailReference, int32_t expiryKind, int32_t tradeDate);
  void SortStops();
  bool TrimStops(const EArray<InvestorPosition_Lite> &all);
  int32_t StopCount() const;
  void BestStopAndProfit(double *stop, int32_t *stopVolume, double *profit, int32_t *profitVolume) const;
};
static_assert(offsetof(InvestorPosition_Lite, Volume) == 12 && offsetof(InvestorPosition_Lite, OpenAverage) == 24);

// One group of the contract drop-down: contracts first..last of the table.
struct ContractNameList {
  char GroupName[8];
  int32_t First;
  int32_t Last;
};
static_assert(sizeof(ContractNameList) == 16);

struct ShortContractName {
  char ShortName[8];  // at most 7 bytes each
  char Contract[8];
};
static_assert(sizeof(ShortContractName) == 16);

#pragma pack(push, 1)
// One quick-order key; also the record of "OptionShortcut.dat".
struct OptionShortcut {
  uint8_t Slot;  // the quick-order operation
  char Key;
  uint8_t Zero2[2];
  int32_t Value;
};
static_assert(sizeof(OptionShortcut) == 8);
static_assert(offsetof(OptionShortcut, Key) == 1 && offsetof(OptionShortcut, Value) == 4);

// One contract of the contract table; also the record of "Contract.dat".
struct CContractInfo {
  char InstrumentID[8];  // byte 7 always 0
  char ExchangeID[8];    // byte 15 always 0
  int32_t VolumeMultiple;
  int32_t DefaultOpenVolume;
  int32_t DefaultCloseVolume;
  uint8_t Unused28[4];
  double PriceTick;
  uint32_t BuyLoss;
  uint32_t SellLoss;
  uint32_t BuyProfit;
  uint32_t SellProfit;
  uint32_t BuyTrailing;
  uint32_t SellTrailing;
  STKPTR Stock;
  uint8_t Unused68[4];
};
static_assert(sizeof(CContractInfo) == 72);
static_assert(offsetof(CContractInfo, VolumeMultiple) == 16 && offsetof(CContractInfo, DefaultOpenVolume) == 20);
static_assert(offsetof(CContractInfo, DefaultCloseVolume) == 24 && offsetof(CContractInfo, PriceTick) == 32);
static_assert(offsetof(CContractInfo, BuyLoss) == 40 && offsetof(CContractInfo, SellLoss) == 44);
static_assert(offsetof(CContractInfo, BuyProfit) == 48 && offsetof(CContractInfo, SellProfit) == 52);
static_assert(offsetof(CContractInfo, BuyTrailing) == 56 && offsetof(CContractInfo, SellTrailing) == 60);
static_assert(offsetof(CContractInfo, Stock) == 64);

// One condition order: the 104 bytes both condition-order files store,
// then the instrument, which is rebuilt from the contract table on loading.
struct ConditionOrder {
  char InstrumentID[8];
  char Direction;
  char OffsetFlag;
  char HedgeFlag;
  uint8_t PriceSource;  // 0 last, 1 bid 1, 2 ask 1
  uint8_t Ticks;        // consecutive ticks of a price condition
  int8_t TriggerKind;   // 0 >=, 1 <=, 2 at the open, 3 at a time, -1 by hand
  int8_t PriceKind;     // 1 opposite, 2 fixed, 3 queue, 5 limit up, 6 limit down
  uint8_t Reserved15;
  int32_t Volume;
  int32_t TickOffset;
  int32_t CancelAfter;
  int32_t Reserved28;
  // Trigger kinds 0 and 1: the price; kind 3: a CTime32 in the first 4
  // bytes (TriggerTimeOf).
  double TriggerPrice;
  double FixedPrice;
  double StopPrice;
  double ProfitPrice;
  double Trailing;
  int32_t Expiry;  // trading date yyyymmdd, 0 permanent
  int32_t Reserved76;
  uint8_t Reorder;
  uint8_t State;  // 0x01 paused, 0x02 fired by hand
  uint8_t Reserved82[6];
  SYSTEMTIME Made;
  STKPTR Stock;
  uint8_t Reserved108[4];
};
static_assert(sizeof(ConditionOrder) == 112);
static_assert(offsetof(ConditionOrder, TriggerKind) == 13 && offsetof(ConditionOrder, Volume) == 16);
static_assert(offsetof(ConditionOrder, CancelAfter) == 24 && offsetof(ConditionOrder, TriggerPrice) == 32);
static_assert(offsetof(ConditionOrder, FixedPrice) == 40 && offsetof(ConditionOrder, Trailing) == 64);
static_assert(offsetof(ConditionOrder, Expiry) == 72 && offsetof(ConditionOrder, Reorder) == 80);
static_assert(offsetof(ConditionOrder, State) == 81 && offsetof(ConditionOrder, Made) == 88);
static_assert(offsetof(ConditionOrder, Stock) == 104);
#pragma pack(pop)

inline CTime32 TriggerTimeOf(const ConditionOrder &order) {
  CTime32 time;
  memcpy(static_cast<void *>(&time), &order.TriggerPrice, sizeof time);
  return time;
}

// One automatic-order task of the task queue.
struct OrderScript {
  char InstrumentID[8];
  char Description[256];
  char Direction;
  char OffsetFlag;
  char HedgeFlag;
  uint8_t CancelSent;
  char OrderRef[16];
  uint8_t WaitForPrevious;
  uint8_t PriceKind;
  uint8_t TaskKind;  // 0 quick operation, 1 stop task, 2 condition order
  uint8_t Reorder;
  uint32_t Volume;
  uint32_t StartTick;
  int32_t TimeOut;
  double PriceValue;
  double StopPrice;
  double ProfitPrice;
  double Trailing;
  int32_t OrderLink;  // the sent order in the order array, -1 none
  int32_t Reserved340;
};
static_assert(sizeof(OrderScript) == 344);
static_assert(offsetof(OrderScript, TaskKind) == 286 && offsetof(OrderScript, Volume) == 288);

enum : uint8_t { kTaskQuick = 0, kTaskStop = 1, kTaskCondition = 2 };

// One stop entry of a position; a singly linked list held by its holder.
struct StopOrder {
  uint32_t Reserved0;
  CTime32 SetTime;
  int32_t Volume;
  StopOrder *Next;
  double StopPrice;
  double Trailing;
  double ProfitPrice;
  double TrailReference;
  int32_t ExpiryDay;  // yyyymmdd of a day-valid entry, 0 permanent
  uint32_t Reserved;
};

// The stop entries shared by the position records of one contract,
// direction and hedge flag.
struct StopOrderPointer {
  StopOrder *First;
  int32_t References;

  // A holder of its own (count 1) with copies of the source's valid
  // entries; an entry that can't be allocated is left out.
  static StopOrderPointer *Copy(const StopOrderPointer &source);
  // A new empty holder with the count 1; null when memory ran out.
  static StopOrderPointer *Create();
  static void Destroy(StopOrderPointer *holder);

  void Assign(const StopOrderPointer *source);
  StopOrderPointer *AddRef();
  // True when the count was (or went to) 0: the entries are freed and the
  // caller frees the holder.
  bool Release();
  // False only when memory ran out.
  bool AddEntry(STKPTR stock, int32_t volume, double stop, double trailing, double profit, double trailReference,
                int32_t expiryKind, int32_t tradeDate);
  void RemoveInvalid(int32_t keep);
  void Sort(char direction);
  bool TrimToPosition(const EArray<InvestorPosition_Lite> &all, STKPTR stock, char direction, char hedge);
  int32_t StopVolume() const;
  int32_t TakeProfitVolume() const;
  int32_t ActiveVolume() const;
  int32_t TotalVolume() const;
  int32_t Count() const;
  void FreeEntries();
};
