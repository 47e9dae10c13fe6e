#include "plugin/requests.h"

namespace tb {

RequestRoutine DefaultRequestRoutine(int kind) {
  switch (kind) {
    case TR_SETTLEMENT_INFO: return SettlementInfoRoutine;
    case TR_SETTLEMENT_CONFIRM: return SettlementConfirmRoutine;
    case TR_CONTRACTS: return ContractsRoutine;
    case TR_MAX_ORDER_VOLUME: return MaxOrderVolumeRoutine;
    case TR_ORDER_INSERT: return OrderInsertRoutine;
    case TR_ORDER_ACTION: return OrderActionRoutine;
    case TR_TRADING_ACCOUNT: return TradingAccountRoutine;
    case TR_POSITIONS: return PositionsRoutine;
    case TR_TRADES: return TradesRoutine;
    case TR_ORDERS: return OrdersRoutine;
    case TR_CHANGE_PASSWORD: return ChangePasswordRoutine;
    case TR_MONEY_HISTORY: return MoneyHistoryRoutine;
    case TR_TRADE_STATISTICS: return TradeStatisticsRoutine;
    case TR_SINGLE_POSITION: return SinglePositionRoutine;
    case TR_QUOTE: return QuoteRoutine;
    case TR_BANKS: return BanksRoutine;
    case TR_BANK_BALANCE: return BankBalanceRoutine;
    case TR_BANK_TRANSFERS: return BankTransfersRoutine;
    case TR_BANK_TO_FUTURE: return BankToFutureRoutine;
    case TR_FUTURE_TO_BANK: return FutureToBankRoutine;
    case TR_CFMMC: return CfmmcRoutine;
    case TR_MARGIN_RATE: return MarginRateRoutine;
    default: return nullptr;
  }
}

}  // namespace tb
