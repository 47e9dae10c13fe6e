// The plug-in's exported functions, the whole interface the terminal binds
// by name. Their types are those of the public interface header.
#pragma once

#include "plugin/records.h"
#include "plugin/tradeapi.h"

#define TRADEBRIDGE_API extern "C" __attribute__((visibility("default")))

TRADEBRIDGE_API tb::GetTraderDllVersionFn GetTraderDllVersion;
TRADEBRIDGE_API tb::GetNameOfTradeSystemFn GetNameOfTradeSystem;
TRADEBRIDGE_API tb::GetShortNameOfTradeSystemFn GetShortNameOfTradeSystem;
TRADEBRIDGE_API tb::GetServerCountFn GetServerCount;
TRADEBRIDGE_API tb::GetServerNameFn GetServerName;
TRADEBRIDGE_API tb::TradeInitializeFn TradeInitialize;
TRADEBRIDGE_API tb::TradeFinalizeFn TradeFinalize;
TRADEBRIDGE_API tb::TraderDllFreeFn TraderDllFree;
TRADEBRIDGE_API tb::GetTradeDateFn GetTradeDate;
TRADEBRIDGE_API tb::GetInvestorFn GetInvestor;
TRADEBRIDGE_API tb::GetExchangeIDFn GetExchangeID;
TRADEBRIDGE_API tb::ProcessCloseTodayFn ProcessCloseToday;
TRADEBRIDGE_API tb::QuerySettlementInfoFn QuerySettlementInfo;
TRADEBRIDGE_API tb::SettlementInfoConfirmFn SettlementInfoConfirm;
TRADEBRIDGE_API tb::QueryContractFn QueryContract;
TRADEBRIDGE_API tb::QueryMaxOrderVolumeFn QueryMaxOrderVolume;
TRADEBRIDGE_API tb::OrderInsertFn OrderInsert;
TRADEBRIDGE_API tb::OrderActionFn OrderAction;
TRADEBRIDGE_API tb::QueryTradingAccountFn QueryTradingAccount;
TRADEBRIDGE_API tb::QueryMarginRateFn QueryMarginRate;
TRADEBRIDGE_API tb::QueryInvestorPositionFn QueryInvestorPosition;
TRADEBRIDGE_API tb::QuerySinglePositionFn QuerySinglePosition;
TRADEBRIDGE_API tb::QueryMoneyHistoryFn QueryMoneyHistory;
TRADEBRIDGE_API tb::QueryTradeStatisticsFn QueryTradeStatistics;
TRADEBRIDGE_API tb::QueryTradeFn QueryTrade;
TRADEBRIDGE_API tb::QueryOrderFn QueryOrder;
TRADEBRIDGE_API tb::QuerySingleOrderFn QuerySingleOrder;
TRADEBRIDGE_API tb::ChangePasswordFn ChangePassword;
TRADEBRIDGE_API tb::QueryQuoteFn QueryQuote;
TRADEBRIDGE_API tb::QueryInvestorPositionDetailFn QueryInvestorPositionDetail;
TRADEBRIDGE_API tb::QueryBrokerNoticeFn QueryBrokerNotice;
TRADEBRIDGE_API tb::QueryBankFn QueryBank;
TRADEBRIDGE_API tb::QueryFutureToBankLimitFn QueryFutureToBankLimit;
TRADEBRIDGE_API tb::QueryBankBalanceFn QueryBankBalance;
TRADEBRIDGE_API tb::QueryBankTransferDetailFn QueryBankTransferDetail;
TRADEBRIDGE_API tb::TransferBankToFutureFn TransferBankToFuture;
TRADEBRIDGE_API tb::TransferFutureToBankFn TransferFutureToBank;
TRADEBRIDGE_API tb::QueryCFMMCFn QueryCFMMC;

namespace tb {
// The names above, in this order (38).
extern const char *const kExportNames[38];
}  // namespace tb
