// The plug-in's exported functions, the whole interface the terminal binds
// by name. Texts are NUL-terminated GBK; only the low byte of a character
// argument counts. Every export but TradeInitialize and OrderInsert only
// hands its request to the worker; results come as posted WM_TRADE_NOTIFY.
#pragma once

#include "platform/windef.h"
#include "plugin/records.h"

#define TRADEBRIDGE_API extern "C" __attribute__((visibility("default")))

TRADEBRIDGE_API int GetTraderDllVersion();
TRADEBRIDGE_API char *GetNameOfTradeSystem(char *out);
TRADEBRIDGE_API int GetShortNameOfTradeSystem(char *out);
TRADEBRIDGE_API int GetServerCount();
TRADEBRIDGE_API void GetServerName(int index, char *out, int size);
TRADEBRIDGE_API int TradeInitialize(HWND window, UINT message, int serverIndex, char *account, char *password,
                                    char *certificate, char *settingsPath);
TRADEBRIDGE_API void TradeFinalize();
TRADEBRIDGE_API void TraderDllFree(void *block);
TRADEBRIDGE_API int GetTradeDate(char *out);
TRADEBRIDGE_API void GetInvestor(char *name, char *id, char *password);
TRADEBRIDGE_API void GetExchangeID(unsigned index, char *out);
TRADEBRIDGE_API int ProcessCloseToday(char *exchange);
TRADEBRIDGE_API int QuerySettlementInfo(char *date, unsigned number, int wait);
TRADEBRIDGE_API int SettlementInfoConfirm();
TRADEBRIDGE_API int QueryContract();
TRADEBRIDGE_API int QueryMaxOrderVolume(char *contract, char *exchange, double price, char direction, char offset,
                                        char hedge);
TRADEBRIDGE_API int OrderInsert(char *contract, char *exchange, double price, int volume, char direction,
                                char offset, char hedge, char *orderRef, char *errorText);
TRADEBRIDGE_API int OrderAction(const tb::CKivoOrderField *order, int remark);
TRADEBRIDGE_API int QueryTradingAccount(char *date, int wait);
TRADEBRIDGE_API int QueryMarginRate(char *contract, char *exchange, char hedge);
TRADEBRIDGE_API int QueryInvestorPosition(int wait);
TRADEBRIDGE_API int QuerySinglePosition(char *contract, char direction, char hedge, int wait);
TRADEBRIDGE_API int QueryMoneyHistory(char *from, char *to);
TRADEBRIDGE_API int QueryTradeStatistics(char *a, char *b);
TRADEBRIDGE_API int QueryTrade(char *from, char *to, int wait);
TRADEBRIDGE_API int QueryOrder(int wait);
TRADEBRIDGE_API int QuerySingleOrder(int unused);
TRADEBRIDGE_API int ChangePassword(unsigned kind, char *oldPassword, char *newPassword);
TRADEBRIDGE_API int QueryQuote(char *a, char *b, int wait);
TRADEBRIDGE_API int QueryInvestorPositionDetail();
TRADEBRIDGE_API int QueryBrokerNotice();
TRADEBRIDGE_API int QueryBank();
TRADEBRIDGE_API int QueryFutureToBankLimit(char *a, char *b);
TRADEBRIDGE_API int QueryBankBalance(char *bank, char *account, char *text3, char *text4);
TRADEBRIDGE_API int QueryBankTransferDetail(char *a, char *b);
TRADEBRIDGE_API int TransferBankToFuture(char *bank, char *account, char *text3, char *text4, double amount);
TRADEBRIDGE_API int TransferFutureToBank(char *bank, char *account, char *text3, char *text4, double amount);
TRADEBRIDGE_API int QueryCFMMC();

namespace tb {
// The names above, in this order (38).
extern const char *const kExportNames[38];
}  // namespace tb
