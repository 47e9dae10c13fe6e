// The request routines the worker runs, one per request kind, and what the
// push receiver does with a pushed record. Each routine signals the token
// exactly once, before its last post and on every failure path.
#pragma once

#include <cstdint>

#include "plugin/session.h"

namespace tb {

// The plug-in's own routine of a request kind (null for none).
RequestRoutine DefaultRequestRoutine(int kind);

// Orders.
void OrderInsertRoutine(Session &session);
void OrderActionRoutine(Session &session);
void OrdersRoutine(Session &session);

// Queries and report files.
void SettlementInfoRoutine(Session &session);
void SettlementConfirmRoutine(Session &session);
void ContractsRoutine(Session &session);
void MaxOrderVolumeRoutine(Session &session);
void TradingAccountRoutine(Session &session);
void PositionsRoutine(Session &session);
void SinglePositionRoutine(Session &session);
void TradesRoutine(Session &session);
void MoneyHistoryRoutine(Session &session);
void TradeStatisticsRoutine(Session &session);
void ChangePasswordRoutine(Session &session);
void CfmmcRoutine(Session &session);
void QuoteRoutine(Session &session);
void MarginRateRoutine(Session &session);

// Bank-futures transfers.
void BanksRoutine(Session &session);
void BankBalanceRoutine(Session &session);
void BankToFutureRoutine(Session &session);
void FutureToBankRoutine(Session &session);
void BankTransfersRoutine(Session &session);
// The transfer table's head, written by the export before the query runs.
void WriteTransferTableHead(const Session &session);

// One pushed record: order states, fills, notices and exchange status.
void HandlePushRecord(Session &session, char *text, int length);

// The order number of an order reference: the value of its digits, so that
// references past 2^32 stay apart. Text that is no number gives 0.
uint64_t OrderNumber(const char *reference);

// Paths of the files the plug-in writes in the current folder, by account.
// out holds 64 bytes.
void AccountFilePath(const Session &session, const char *name, char out[64]);

}  // namespace tb
