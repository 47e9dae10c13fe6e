// The binding of the trading plug-in: one table of its entry points, filled
// by name when the trading window's login page is built. An empty table
// means trading is off; every trading command tests it before it calls.
// Binding and every call through the table run on the GUI thread.
#pragma once

#include "platform/windef.h"
#include "plugin/tradeapi.h"

struct TradePluginApi {
  tb::GetTraderDllVersionFn *GetTraderDllVersion;
  tb::GetNameOfTradeSystemFn *GetNameOfTradeSystem;
  tb::GetShortNameOfTradeSystemFn *GetShortNameOfTradeSystem;
  tb::GetServerCountFn *GetServerCount;
  tb::GetServerNameFn *GetServerName;
  tb::TradeInitializeFn *TradeInitialize;
  tb::TradeFinalizeFn *TradeFinalize;
  tb::TraderDllFreeFn *TraderDllFree;
  tb::GetTradeDateFn *GetTradeDate;
  tb::GetInvestorFn *GetInvestor;
  tb::QueryMoneyHistoryFn *QueryMoneyHistory;
  tb::QuerySettlementInfoFn *QuerySettlementInfo;
  tb::SettlementInfoConfirmFn *SettlementInfoConfirm;
  tb::QueryContractFn *QueryContract;
  tb::QueryMaxOrderVolumeFn *QueryMaxOrderVolume;
  tb::OrderInsertFn *OrderInsert;
  tb::OrderActionFn *OrderAction;
  tb::QueryTradeStatisticsFn *QueryTradeStatistics;
  tb::QueryTradingAccountFn *QueryTradingAccount;
  tb::QueryInvestorPositionFn *QueryInvestorPosition;
  tb::QuerySinglePositionFn *QuerySinglePosition;
  tb::QueryTradeFn *QueryTrade;
  tb::QueryOrderFn *QueryOrder;
  tb::QuerySingleOrderFn *QuerySingleOrder;
  tb::ChangePasswordFn *ChangePassword;
  tb::ProcessCloseTodayFn *ProcessCloseToday;
  tb::QueryInvestorPositionDetailFn *QueryInvestorPositionDetail;
  tb::QueryBrokerNoticeFn *QueryBrokerNotice;
  // Optional from here on: callers test the slot first.
  tb::GetExchangeIDFn *GetExchangeID;
  tb::QueryBankFn *QueryBank;
  tb::QueryBankAccountFn *QueryBankAccount;
  tb::QueryBankBalanceFn *QueryBankBalance;
  tb::QueryBankTransferDetailFn *QueryBankTransferDetail;
  tb::QueryFutureToBankLimitFn *QueryFutureToBankLimit;
  tb::TransferBankToFutureFn *TransferBankToFuture;
  tb::TransferFutureToBankFn *TransferFutureToBank;
  tb::QueryCFMMCFn *QueryCFMMC;
};
static_assert(sizeof(TradePluginApi) == 37 * sizeof(void *));

// The slots that must all be bound.
constexpr int kRequiredPluginSlots = 28;

// The process-wide table.
extern TradePluginApi TradePlugin;
// The table is filled.
inline bool TradingBound() { return TradePlugin.GetTraderDllVersion != nullptr; }
// The table as an array of its slots, in order.
inline void **PluginSlots(TradePluginApi &api) { return reinterpret_cast<void **>(&api); }

// 1 bound, 0 not: the outside library must be loadable first (silent
// otherwise), then the plug-in (silent when missing); every name is looked
// up again; a missing required entry point or another interface version
// clears the table with an error box owned by owner. The libraries stay
// loaded.
int LoadTradePlugin(HWND owner, const char *pluginName = "Tradebridge.dll",
                    const char *kernelName = "tradekernel.dll");
// The bound ProcessCloseToday answers non-zero for the exchange.
bool IsProcessCloseToday(const char *exchangeId);
