// The plug-in's public interface: the contract between the trading plug-in
// and the terminal that binds it by name. It holds the records the plug-in
// posts and the terminal reads, the notification codes of WM_TRADE_NOTIFY,
// the return codes of the exports and the types of the exported functions.
// Both programs include this header and nothing else of the plug-in's, so
// there is one copy of every layout. Every record is packed little-endian
// and its size and offsets are checked here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/windef.h"

namespace tb {

// The interface version GetTraderDllVersion reports.
constexpr int kInterfaceVersion = 26;

// Return codes of the exports besides 0 (accepted or done).
enum : int32_t {
  kChangeTradingCentre = 0x7FFFFFF9,  // login only: the broker sends the client elsewhere
  kNoSession = 0x7FFFFFFA,            // also: broker or gateway library missing or wrong
  kBrokerStartFailed = 0x7FFFFFFB,
  kLoginRefused = 0x7FFFFFFC,         // also: no server reachable
  kBadArguments = 0x7FFFFFFD,         // also: no server address configured
  kOutOfMemory = 0x7FFFFFFE,          // also: the threads could not be started
};

// wParam bit: lParam is a text block (or 0) instead of the normal result.
constexpr uint32_t TN_TEXT_FLAG = 0x40000;

// Notification codes, the low 16 bits of wParam.
enum TradeNotifyCode : uint32_t {
  TN_CONNECTION_STATE = 2,
  TN_LOGIN_PROGRESS = 3,
  TN_SETTLEMENT_INFO = 4,
  TN_SETTLEMENT_CONFIRMED = 5,
  TN_ORDER_ACTION_RESULT = 7,
  TN_CONTRACT = 8,
  TN_LOGIN_DONE = 9,
  TN_QUERY_REPORT = 10,
  TN_POSITIONS = 11,
  TN_TRADES = 12,
  TN_ORDERS = 13,
  TN_PASSWORD_CHANGED = 14,
  TN_MAX_ORDER_VOLUME = 15,
  TN_SINGLE_POSITION = 16,
  TN_ORDER_RETURN = 21,
  TN_BANKS = 23,
  TN_BANK_BALANCE = 24,
  TN_BANK_TRANSFERS = 25,
  TN_BANK_TO_FUTURE_DONE = 26,
  TN_FUTURE_TO_BANK_DONE = 27,
  TN_BROKER_NOTICE = 28,
  TN_SYSTEM_NOTICE = 29,
  TN_EXCHANGE_STATUS = 30,
  TN_QUOTE = 31,
  TN_MARGIN_RATE = 32,
  TN_CFMMC = 35,
  TN_WITHDRAW_LIMIT = 36,
};

// Every block the plug-in posts has this size.
constexpr size_t kResultBlockSize = 576;
// A text block holds at most this many bytes before its NUL.
constexpr size_t kMaxBlockText = kResultBlockSize - 1;

#pragma pack(push, 1)

// One order, as the order list, the order answers and the pushed order
// states give it.
struct CKivoOrderField {
  char ExchangeID[8];
  char InstrumentID[8];
  char CancelText16[8];    // from the order answer, sent back with a cancel
  char CancelText24[16];   // from the order answer, sent back with a cancel
  char StatusMsg[64];
  char OrderRef[13];
  char Direction;          // '0' buy, '1' sell
  char OffsetFlag;         // '0' open, '1' close, '3' close today, '2' other
  char HedgeFlag;          // '1' speculation, '2' arbitrage, '3' hedge
  char CancelText120[21];  // from the order answer, sent back with a cancel
  char OrderStatus[2];     // request state, order state
  char PriceType;          // '1' market (price 0), '2' limit
  double LimitPrice;
  int32_t VolumeTotal;
  int32_t VolumeTraded;
  int32_t VolumeRemain;    // the cancelled volume of a cancelled order
  int32_t Reserved164;
  int32_t Reserved168;
  char InsertTime[9];
  char SecondTime[9];
  char FillText[21];       // text of a pushed fill record only
  char Zero211[5];
};
static_assert(sizeof(CKivoOrderField) == 216);
static_assert(offsetof(CKivoOrderField, CancelText16) == 16);
static_assert(offsetof(CKivoOrderField, CancelText24) == 24);
static_assert(offsetof(CKivoOrderField, StatusMsg) == 40);
static_assert(offsetof(CKivoOrderField, OrderRef) == 104);
static_assert(offsetof(CKivoOrderField, Direction) == 117);
static_assert(offsetof(CKivoOrderField, CancelText120) == 120);
static_assert(offsetof(CKivoOrderField, OrderStatus) == 141);
static_assert(offsetof(CKivoOrderField, LimitPrice) == 144);
static_assert(offsetof(CKivoOrderField, VolumeRemain) == 160);
static_assert(offsetof(CKivoOrderField, Reserved168) == 168);
static_assert(offsetof(CKivoOrderField, InsertTime) == 172);
static_assert(offsetof(CKivoOrderField, SecondTime) == 181);
static_assert(offsetof(CKivoOrderField, FillText) == 190);

// One bank bound to the futures account.
struct CKivoTransferBankField {
  char BankID[4];
  char Zero4[5];         // the terminal reads bytes 0 to 8 as the bank id text
  char BankName[48];
  // The answer's 32-byte account field ends on the flag byte: an account is
  // kept to 31 bytes here, whose NUL is the flag byte while it is 0.
  char BankAccount[31];
  uint8_t Flag;  // set by the terminal
};
static_assert(sizeof(CKivoTransferBankField) == 89);
static_assert(offsetof(CKivoTransferBankField, BankName) == 9);
static_assert(offsetof(CKivoTransferBankField, BankAccount) == 57);
static_assert(offsetof(CKivoTransferBankField, Flag) == 88);

struct TB_TRADE {
  char InstrumentID[8];
  char OrderRef[13];
  char Text21[21];  // answer field 19
  char Direction;
  char Text43[21];  // answer field 18
  char OffsetFlag;
  char HedgeFlag;
  char Zero66[6];
  double Price;
  int32_t Volume;
  char TradeTime[9];
  char Zero93[3];
};
static_assert(sizeof(TB_TRADE) == 96);
static_assert(offsetof(TB_TRADE, Direction) == 42 && offsetof(TB_TRADE, OffsetFlag) == 64);
static_assert(offsetof(TB_TRADE, Price) == 72 && offsetof(TB_TRADE, TradeTime) == 84);

struct TB_POSITION {
  char InstrumentID[8];
  char PosiDirection;  // '2' long, '3' short
  char HedgeFlag;
  char Zero10[2];
  int32_t Volume;
  double OpenAmount;     // answer field 23
  double HoldingAmount;  // answer field 22
  char Zero32[8];
};
static_assert(sizeof(TB_POSITION) == 40);
static_assert(offsetof(TB_POSITION, Volume) == 12 && offsetof(TB_POSITION, OpenAmount) == 16);

struct TB_CONTRACT {
  char InstrumentID[8];
  char ExchangeID[8];
  char InstrumentName[16];  // cut bytewise
  int32_t Attribute;
  char Zero36[4];
  double PriceTick;
  int32_t Valid;  // 1
  char Zero52[4];
};
static_assert(sizeof(TB_CONTRACT) == 56);
static_assert(offsetof(TB_CONTRACT, Attribute) == 32 && offsetof(TB_CONTRACT, PriceTick) == 40);

struct TB_MAXVOL {
  char InstrumentID[8];
  char Direction;
  char OffsetFlag;
  char HedgeFlag;
  char Zero11;
  int32_t MaxVolume;
};
static_assert(sizeof(TB_MAXVOL) == 16);

struct TB_BANK_BALANCE {
  char Zero0[16];
  double Balance;
  char Zero24[8];
};
static_assert(sizeof(TB_BANK_BALANCE) == 32);

struct TB_CFMMC {
  char CompanyID[11];
  char AccountID[13];
  int32_t KeyID;
  char Password[21];
  char Zero49[3];
};
static_assert(sizeof(TB_CFMMC) == 52);
static_assert(offsetof(TB_CFMMC, KeyID) == 24 && offsetof(TB_CFMMC, Password) == 28);

#pragma pack(pop)


// TB_LOGIN (posted with TN_LOGIN_DONE): three flag bytes, then from this
// offset the summary file's path.
constexpr size_t kLoginPathOffset = 32;
// TB_ACTION_ERROR: the 13-byte order reference, then the error text.
constexpr size_t kActionErrorTextOffset = 13;

#pragma pack(push, 1)
struct TB_LOGIN {
  uint8_t Flags[3];
  char Zero3[29];
  char SummaryPath[kResultBlockSize - kLoginPathOffset];
};
static_assert(sizeof(TB_LOGIN) == kResultBlockSize);
static_assert(offsetof(TB_LOGIN, SummaryPath) == kLoginPathOffset);

struct TB_ACTION_ERROR {
  char OrderRef[13];
  char ErrorText[kResultBlockSize - kActionErrorTextOffset];
};
static_assert(sizeof(TB_ACTION_ERROR) == kResultBlockSize);
static_assert(offsetof(TB_ACTION_ERROR, ErrorText) == kActionErrorTextOffset);
#pragma pack(pop)

// The error text of a TB_ACTION_ERROR block.
inline const char *ActionErrorText(const char *block) { return block + kActionErrorTextOffset; }

// TB_REPORT: the report file's path, its NUL, then two doubles. Reads the
// path (at most what leaves room for the doubles) and the two values; false
// when the block holds no NUL-terminated path in that room.
inline bool ReadReport(const char *block, const char **path, double *first, double *second) {
  constexpr size_t kRoomForPath = kResultBlockSize - 2 * sizeof(double);
  const size_t length = strnlen(block, kRoomForPath);
  if (length == kRoomForPath) return false;
  if (path) *path = block;
  if (first) memcpy(first, block + length + 1, sizeof *first);
  if (second) memcpy(second, block + length + 1 + sizeof *first, sizeof *second);
  return true;
}

// The bank account of a bank record, read only up to the flag byte: a
// 31-byte account stays whole when the flag is set, and the flag never
// becomes part of it. out holds at least 32 bytes.
inline void BankAccountText(const CKivoTransferBankField &bank, char out[32]) {
  const size_t length = strnlen(bank.BankAccount, sizeof bank.BankAccount);
  memcpy(out, bank.BankAccount, length);
  out[length] = '\0';
}

// ---- the exported functions ----
// Texts are NUL-terminated GBK; only the low byte of a character argument
// counts. Every export but TradeInitialize and OrderInsert only hands its
// request to the worker; results come as posted WM_TRADE_NOTIFY. The
// plug-in declares its exports with these types and the terminal binds
// pointers to them.
using GetTraderDllVersionFn = int();
using GetNameOfTradeSystemFn = char *(char *out);
using GetShortNameOfTradeSystemFn = int(char *out);
using GetServerCountFn = int();
using GetServerNameFn = void(int index, char *out, int size);
using TradeInitializeFn = int(HWND window, UINT message, int serverIndex, char *account, char *password,
                              char *certificate, char *settingsPath);
using TradeFinalizeFn = void();
using TraderDllFreeFn = void(void *block);
using GetTradeDateFn = int(char *out);
using GetInvestorFn = void(char *name, char *id, char *password);
using GetExchangeIDFn = void(unsigned index, char *out);
using ProcessCloseTodayFn = int(char *exchange);
using QuerySettlementInfoFn = int(char *date, unsigned number, int wait);
using SettlementInfoConfirmFn = int();
using QueryContractFn = int();
using QueryMaxOrderVolumeFn = int(char *contract, char *exchange, double price, char direction, char offset,
                                  char hedge);
using OrderInsertFn = int(char *contract, char *exchange, double price, int volume, char direction, char offset,
                          char hedge, char *orderRef, char *errorText);
using OrderActionFn = int(const CKivoOrderField *order, int remark);
using QueryTradingAccountFn = int(char *date, int wait);
using QueryMarginRateFn = int(char *contract, char *exchange, char hedge);
using QueryInvestorPositionFn = int(int wait);
using QuerySinglePositionFn = int(char *contract, char direction, char hedge, int wait);
using QueryMoneyHistoryFn = int(char *from, char *to);
using QueryTradeStatisticsFn = int(char *a, char *b);
using QueryTradeFn = int(char *from, char *to, int wait);
using QueryOrderFn = int(int wait);
using QuerySingleOrderFn = int(int unused);
using ChangePasswordFn = int(unsigned kind, char *oldPassword, char *newPassword);
using QueryQuoteFn = int(char *a, char *b, int wait);
using QueryInvestorPositionDetailFn = int();
using QueryBrokerNoticeFn = int();
using QueryBankFn = int();
using QueryBankAccountFn = int(char *bank);  // optional: the present plug-in has none
using QueryFutureToBankLimitFn = int(char *a, char *b);
using QueryBankBalanceFn = int(char *bank, char *account, char *text3, char *text4);
using QueryBankTransferDetailFn = int(char *a, char *b);
using TransferBankToFutureFn = int(char *bank, char *account, char *text3, char *text4, double amount);
using TransferFutureToBankFn = int(char *bank, char *account, char *text3, char *text4, double amount);
using QueryCFMMCFn = int();

}  // namespace tb
