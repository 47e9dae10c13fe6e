// A stand-in trading plug-in for the binding tests, built several times
// with definitions:
//   FAKE_VERSION=n         the interface version it answers (26)
//   FAKE_NO_BROKER_NOTICE  exports no QueryBrokerNotice
//   FAKE_OLDER_NAMES       exports GetTradeServerName, Initialize and
//                          Finalize in place of the newer names
//   FAKE_BANK_ACCOUNT      also exports QueryBankAccount
// Every export does nothing; GetServerCount tells the builds apart.
#ifndef FAKE_VERSION
#define FAKE_VERSION 26
#endif

#define FAKE_API extern "C" __attribute__((visibility("default")))

FAKE_API int GetTraderDllVersion() { return FAKE_VERSION; }
FAKE_API char *GetNameOfTradeSystem(char *out) { return out; }
FAKE_API int GetShortNameOfTradeSystem(char *) { return 1; }
FAKE_API int GetServerCount() { return FAKE_VERSION * 100 + 7; }
#ifdef FAKE_OLDER_NAMES
FAKE_API void GetTradeServerName(int, char *, int) {}
FAKE_API int Initialize(void *, unsigned, int, char *, char *, char *, char *) { return 55; }
FAKE_API void Finalize() {}
#else
FAKE_API void GetServerName(int, char *, int) {}
FAKE_API int TradeInitialize(void *, unsigned, int, char *, char *, char *, char *) { return 0; }
FAKE_API void TradeFinalize() {}
#endif
FAKE_API void TraderDllFree(void *) {}
FAKE_API int GetTradeDate(char *) { return 0; }
FAKE_API void GetInvestor(char *, char *, char *) {}
FAKE_API int QueryMoneyHistory(char *, char *) { return 0; }
FAKE_API int QuerySettlementInfo(char *, unsigned, int) { return 0; }
FAKE_API int SettlementInfoConfirm() { return 0; }
FAKE_API int QueryContract() { return 0; }
FAKE_API int QueryMaxOrderVolume(char *, char *, double, char, char, char) { return 0; }
FAKE_API int OrderInsert(char *, char *, double, int, char, char, char, char *, char *) { return 0; }
FAKE_API int OrderAction(const void *, int) { return 0; }
FAKE_API int QueryTradeStatistics(char *, char *) { return 0; }
FAKE_API int QueryTradingAccount(char *, int) { return 0; }
FAKE_API int QueryInvestorPosition(int) { return 0; }
FAKE_API int QuerySinglePosition(char *, char, char, int) { return 0; }
FAKE_API int QueryTrade(char *, char *, int) { return 0; }
FAKE_API int QueryOrder(int) { return 0; }
FAKE_API int QuerySingleOrder(int) { return 0; }
FAKE_API int ChangePassword(unsigned, char *, char *) { return 0; }
FAKE_API int ProcessCloseToday(char *exchange) { return exchange && exchange[0] == 'S'; }
FAKE_API int QueryInvestorPositionDetail() { return 0; }
#ifndef FAKE_NO_BROKER_NOTICE
FAKE_API int QueryBrokerNotice() { return 0; }
#endif
FAKE_API void GetExchangeID(unsigned, char *) {}
FAKE_API int QueryBank() { return 0; }
#ifdef FAKE_BANK_ACCOUNT
FAKE_API int QueryBankAccount(char *) { return 0; }
#endif
