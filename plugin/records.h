// The records and codes that cross between the plug-in and the terminal:
// the notification codes of WM_TRADE_NOTIFY, the return codes of the
// exports, the order and bank records and the result blocks. Every layout is
// packed little-endian and its size and offsets are checked here; the
// terminal keeps the same layouts on its side.
#pragma once

#include <cstddef>
#include <cstdint>

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

// TB_LOGIN: three flag bytes, then from this offset the summary file's path.
constexpr size_t kLoginPathOffset = 32;
// TB_ACTION_ERROR: the 13-byte order reference, then the error text.
constexpr size_t kActionErrorTextOffset = 13;

// Fills a block as TB_ACTION_ERROR: the order's reference, then the text
// (cut to what the block holds), NUL-terminated.
void FillActionError(char *block, const CKivoOrderField &order, const char *text);
// Fills a block as TB_REPORT: the path, its NUL, then two doubles.
void FillReport(char *block, const char *path, double first, double second);

// The bank account of a bank record, read only up to the flag byte: a
// 31-byte account stays whole when the flag is set, and the flag never
// becomes part of it. out holds at least 32 bytes.
void BankAccountText(const CKivoTransferBankField &bank, char out[32]);
// Stores an account text, cut to the 31 bytes before the flag.
void SetBankAccount(CKivoTransferBankField &bank, const char *account);
// The error text of a TB_ACTION_ERROR block.
const char *ActionErrorText(const char *block);

}  // namespace tb
