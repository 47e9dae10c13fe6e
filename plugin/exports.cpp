// The exported interface: the session test, the token, the hand-off of the
// arguments to the worker and the small exports that answer at once.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "plugin/login.h"
#include "plugin/requests.h"
#include "plugin/session.h"
#include "plugin/tradebridge.h"
#include "plugin/tradelog.h"

using namespace tb;

namespace tb {

const char *const kExportNames[38] = {
    "GetTraderDllVersion", "GetNameOfTradeSystem", "GetShortNameOfTradeSystem", "GetServerCount",
    "GetServerName", "TradeInitialize", "TradeFinalize", "TraderDllFree", "GetTradeDate", "GetInvestor",
    "GetExchangeID", "ProcessCloseToday", "QuerySettlementInfo", "SettlementInfoConfirm", "QueryContract",
    "QueryMaxOrderVolume", "OrderInsert", "OrderAction", "QueryTradingAccount", "QueryMarginRate",
    "QueryInvestorPosition", "QuerySinglePosition", "QueryMoneyHistory", "QueryTradeStatistics", "QueryTrade",
    "QueryOrder", "QuerySingleOrder", "ChangePassword", "QueryQuote", "QueryInvestorPositionDetail",
    "QueryBrokerNotice", "QueryBank", "QueryFutureToBankLimit", "QueryBankBalance", "QueryBankTransferDetail",
    "TransferBankToFuture", "TransferFutureToBank", "QueryCFMMC",
};

}  // namespace tb

namespace {

// How an export obtains the token.
enum class Wait { Always, Flag, Never };

// Copies at most 63 bytes of a text argument into a slot text.
void Put(char (&slot)[64], const char *text) { snprintf(slot, sizeof slot, "%s", text ? text : ""); }

// The session when one is open and the token is had; null otherwise (a
// refused test has posted the busy text). result is what the export returns.
std::shared_ptr<Session> Begin(Wait wait, int waitArgument, uint32_t busyNotify, const char *busyCode,
                               int &result) {
  std::shared_ptr<Session> session = CurrentSession();
  if (!session) {
    result = kNoSession;
    return nullptr;
  }
  result = 0;
  if (wait == Wait::Always || (wait == Wait::Flag && waitArgument != 0)) {
    WaitForSingleObject(session->readyEvent, INFINITE);
    return session;
  }
  if (WaitForSingleObject(session->readyEvent, 0) == WAIT_OBJECT_0) return session;
  PostBusy(*session, busyNotify, busyCode);
  return nullptr;
}

// Stores the kind and wakes the worker.
int Queue(Session &session, RequestKind kind) {
  session.kind.store(kind);
  SetEvent(session.requestEvent);
  return 0;
}

// The four texts and the amount of the bank exports.
int QueueBank(RequestKind kind, uint32_t busyNotify, const char *busyCode, const char *bank,
              const char *account, const char *text3, const char *text4, double amount) {
  int result;
  auto session = Begin(Wait::Never, 0, busyNotify, busyCode, result);
  if (!session) return result;
  RequestSlot &slot = session->slot;
  Put(slot.text[0], bank);
  Put(slot.text[1], account);
  Put(slot.text[2], text3);
  Put(slot.text[3], text4);
  slot.price = amount;
  return Queue(*session, kind);
}

}  // namespace

int GetTraderDllVersion() { return kInterfaceVersion; }

char *GetNameOfTradeSystem(char *out) {
  if (out) memcpy(out, "金仕达", sizeof "金仕达");
  return out;
}

int GetShortNameOfTradeSystem(char *out) {
  if (out) memcpy(out, "JSD", sizeof "JSD");
  return 1;
}

int GetServerCount() { return ServerCount(); }

void GetServerName(int index, char *out, int size) { ServerName(index, out, size); }

int TradeInitialize(HWND window, UINT message, int serverIndex, char *account, char *password, char *certificate,
                    char *settingsPath) {
  if (!window || !message || !account || !password || !*account || !*password) return kBadArguments;
  return Login(window, message, serverIndex, account, password, certificate, settingsPath);
}

void TradeFinalize() {
  EndSession();
  CloseTradeLog();
}

void TraderDllFree(void *block) { ReturnResultBlock(block); }

int GetTradeDate(char *out) {
  if (!out) return 0;
  auto session = CurrentSession();
  snprintf(out, 16, "%s", session ? session->tradeDate : "");
  return 0;
}

void GetInvestor(char *name, char *id, char *password) {
  auto session = CurrentSession();
  if (name) snprintf(name, 32, "%s", session ? session->holderName : "");
  if (id) snprintf(id, 16, "%s", session ? session->account : "");
  if (password) snprintf(password, 41, "%s", session ? session->password : "");
}

void GetExchangeID(unsigned index, char *out) {
  if (!out) return;
  auto session = CurrentSession();
  out[0] = '\0';
  if (session && index < unsigned(kExchangeCount))
    snprintf(out, 8, "%s", session->exchanges.Get().entries[index].exchange);
}

int ProcessCloseToday(char *exchange) {
  auto session = CurrentSession();
  if (!session || !exchange) return 0;
  const ExchangeTable table = session->exchanges.Get();
  if (!table.closeToday[0]) return 0;
  return strcasecmp(exchange, table.closeToday) == 0 ? 1 : 0;
}

int QuerySettlementInfo(char *date, unsigned number, int wait) {
  int result;
  auto session = Begin(Wait::Flag, wait, TN_SETTLEMENT_INFO, "1", result);
  if (!session) return result;
  Put(session->slot.text[0], date);
  session->slot.small[0] = int32_t(number);
  return Queue(*session, TR_SETTLEMENT_INFO);
}

int SettlementInfoConfirm() {
  int result;
  auto session = Begin(Wait::Always, 0, 0, "", result);
  if (!session) return result;
  return Queue(*session, TR_SETTLEMENT_CONFIRM);
}

int QueryContract() {
  int result;
  auto session = Begin(Wait::Always, 0, 0, "", result);
  if (!session) return result;
  return Queue(*session, TR_CONTRACTS);
}

int QueryMaxOrderVolume(char *contract, char *exchange, double price, char direction, char offset, char hedge) {
  int result;
  auto session = Begin(Wait::Never, 0, TN_MAX_ORDER_VOLUME, "2", result);
  if (!session) return result;
  RequestSlot &slot = session->slot;
  Put(slot.text[0], contract);
  Put(slot.text[1], exchange);
  slot.price = price;
  slot.small[0] = direction;
  slot.small[1] = offset;
  slot.small[2] = hedge;
  return Queue(*session, TR_MAX_ORDER_VOLUME);
}

int OrderInsert(char *contract, char *exchange, double price, int volume, char direction, char offset, char hedge,
                char *orderRef, char *errorText) {
  int result;
  auto session = Begin(Wait::Always, 0, 0, "", result);
  if (!session) return result;
  RequestSlot &slot = session->slot;
  Put(slot.text[0], contract);
  Put(slot.text[1], exchange);
  slot.price = price;
  slot.volume = volume;
  slot.small[0] = direction;
  slot.small[1] = offset;
  slot.small[2] = hedge;
  slot.orderRef[0] = '\0';
  slot.errorText[0] = '\0';
  slot.result = 0;
  Queue(*session, TR_ORDER_INSERT);
  // The worker signals the token when the order is done; this wait takes
  // that signal, so the token is given back below.
  WaitForSingleObject(session->readyEvent, INFINITE);
  result = slot.result;
  if (result == 0) {
    if (orderRef) snprintf(orderRef, 13, "%s", slot.orderRef);
  } else if (errorText) {
    snprintf(errorText, kErrorTextSize, "%s", slot.errorText);
  }
  session->SignalReady();
  return result;
}

int OrderAction(const CKivoOrderField *order, int) {
  int result;
  auto session = Begin(Wait::Always, 0, 0, "", result);
  if (!session) return result;
  if (order)
    session->slot.order = *order;
  else
    session->slot.order = CKivoOrderField{};
  return Queue(*session, TR_ORDER_ACTION);
}

int QueryTradingAccount(char *date, int wait) {
  int result;
  auto session = Begin(Wait::Flag, wait, TN_QUERY_REPORT, "3", result);
  if (!session) return result;
  Put(session->slot.text[0], date);
  return Queue(*session, TR_TRADING_ACCOUNT);
}

int QueryMarginRate(char *contract, char *exchange, char hedge) {
  int result;
  auto session = Begin(Wait::Always, 0, 0, "", result);
  if (!session) return result;
  Put(session->slot.text[0], contract);
  Put(session->slot.text[1], exchange);
  session->slot.small[2] = hedge;
  return Queue(*session, TR_MARGIN_RATE);
}

int QueryInvestorPosition(int wait) {
  int result;
  auto session = Begin(Wait::Flag, wait, TN_POSITIONS, "4", result);
  if (!session) return result;
  return Queue(*session, TR_POSITIONS);
}

int QuerySinglePosition(char *contract, char direction, char hedge, int wait) {
  int result;
  auto session = Begin(Wait::Flag, wait, TN_SINGLE_POSITION, "5", result);
  if (!session) return result;
  Put(session->slot.text[0], contract);
  session->slot.small[0] = direction;
  session->slot.small[2] = hedge;
  return Queue(*session, TR_SINGLE_POSITION);
}

int QueryMoneyHistory(char *from, char *to) {
  int result;
  auto session = Begin(Wait::Never, 0, TN_QUERY_REPORT, "6", result);
  if (!session) return result;
  Put(session->slot.text[0], from);
  Put(session->slot.text[1], to);
  return Queue(*session, TR_MONEY_HISTORY);
}

int QueryTradeStatistics(char *, char *) {
  auto session = CurrentSession();
  if (!session) return kNoSession;
  session->PostText(TN_QUERY_REPORT, "暂不支持此功能。");
  return 0;
}

int QueryTrade(char *from, char *to, int wait) {
  int result;
  auto session = Begin(Wait::Flag, wait, from ? TN_QUERY_REPORT : TN_TRADES, "8", result);
  if (!session) return result;
  // A list of today's trades without dates; the history report with them.
  Put(session->slot.text[0], from);
  Put(session->slot.text[1], to);
  session->slot.small[0] = from ? 1 : 0;
  return Queue(*session, TR_TRADES);
}

int QueryOrder(int wait) {
  int result;
  auto session = Begin(Wait::Flag, wait, TN_ORDERS, "9", result);
  if (!session) return result;
  return Queue(*session, TR_ORDERS);
}

int QuerySingleOrder(int) { return -1; }

int ChangePassword(unsigned kind, char *oldPassword, char *newPassword) {
  auto session = CurrentSession();
  if (!session) return kNoSession;
  const char *refusal = nullptr;
  if (newPassword && strlen(newPassword) >= 9)
    refusal = "新密码长度不能超过 8 位。";
  else if (kind >= 2)
    refusal = "需修改的密码的类型不正确。";
  else if (kind == 0 && strcmp(oldPassword ? oldPassword : "", session->password) != 0)
    refusal = "输入的“当前密码”不正确。";
  if (refusal) {
    session->PostText(TN_PASSWORD_CHANGED, refusal);
    return 0;
  }
  int result;
  session = Begin(Wait::Always, 0, 0, "", result);
  if (!session) return result;
  session->slot.small[0] = int32_t(kind);
  Put(session->slot.text[0], oldPassword);
  Put(session->slot.text[1], newPassword);
  return Queue(*session, TR_CHANGE_PASSWORD);
}

int QueryQuote(char *a, char *b, int wait) {
  auto session = CurrentSession();
  if (!session) return kNoSession;
  if (wait) {
    WaitForSingleObject(session->readyEvent, INFINITE);
  } else if (WaitForSingleObject(session->readyEvent, 1) != WAIT_OBJECT_0) {
    PostBusy(*session, TN_QUOTE, "10", false);
    return 0;
  }
  Put(session->slot.text[0], a);
  Put(session->slot.text[1], b);
  return Queue(*session, TR_QUOTE);
}

int QueryInvestorPositionDetail() {
  auto session = CurrentSession();
  if (!session) return kNoSession;
  session->PostText(TN_QUERY_REPORT, "暂不支持此功能。");
  return 0;
}

int QueryBrokerNotice() {
  auto session = CurrentSession();
  if (!session) return kNoSession;
  session->PostValue(TN_BROKER_NOTICE | TN_TEXT_FLAG, 0);
  return 0;
}

int QueryBank() {
  int result;
  auto session = Begin(Wait::Always, 0, 0, "", result);
  if (!session) return result;
  return Queue(*session, TR_BANKS);
}

int QueryFutureToBankLimit(char *, char *) {
  // Without a session there is neither a pool nor a window to post to.
  auto session = CurrentSession();
  if (!session) return 0;
  auto *block = static_cast<int32_t *>(session->AllocBlock());
  if (block) *block = 0;
  session->PostBlock(TN_WITHDRAW_LIMIT, block);
  return 0;
}

int QueryBankBalance(char *bank, char *account, char *text3, char *text4) {
  return QueueBank(TR_BANK_BALANCE, TN_BANK_BALANCE, "A", bank, account, text3, text4, 0.0);
}

int QueryBankTransferDetail(char *, char *) {
  int result;
  auto session = Begin(Wait::Never, 0, TN_BANK_TRANSFERS, "B", result);
  if (!session) return result;
  WriteTransferTableHead(*session);
  return Queue(*session, TR_BANK_TRANSFERS);
}

int TransferBankToFuture(char *bank, char *account, char *text3, char *text4, double amount) {
  return QueueBank(TR_BANK_TO_FUTURE, TN_BANK_TO_FUTURE_DONE, "C", bank, account, text3, text4, amount);
}

int TransferFutureToBank(char *bank, char *account, char *text3, char *text4, double amount) {
  return QueueBank(TR_FUTURE_TO_BANK, TN_FUTURE_TO_BANK_DONE, "D", bank, account, text3, text4, amount);
}

int QueryCFMMC() {
  int result;
  auto session = Begin(Wait::Always, 0, 0, "", result);
  if (!session) return result;
  return Queue(*session, TR_CFMMC);
}
