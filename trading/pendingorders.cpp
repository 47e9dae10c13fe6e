#include "trading/pendingorders.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/efile.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "trading/deskdata.h"
#include "trading/firingjournal.h"
#include "trading/orderbook.h"
#include "trading/pluginapi.h"
#include "trading/stoporders.h"
#include "trading/tradelog.h"

namespace {

constexpr uint32_t kPendingFirstNumber = 10000001;
// Numbers stay within what the order's reference and the firing journal hold.
constexpr uint32_t kPendingLastNumber = 2147483647;

// A stored value of digits only within the numbers' range, else 0.
uint32_t PendingNumberValue(const char *text) {
  uint64_t value = 0;
  size_t digits = 0;
  for (; text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    value = value * 10 + uint64_t(text[digits] - '0');
    if (value > kPendingLastNumber) return 0;
  }
  return digits > 0 && text[digits] == 0 ? uint32_t(value) : 0;
}

bool PendingNumberHeld(const TTradeDesk &desk, uint32_t number) {
  const CKivoOrderField *o = desk.orders.GetData();
  for (int32_t i = 0; i < desk.orders.GetCount(); ++i)
    if (o[i].OrderStatus[1] == 'p' && PendingNumberValue(o[i].OrderRef) == number) return true;
  return false;
}

}  // namespace

uint32_t NextPendingOrderNumber(TTradeDesk &desk) {
  const std::string file = desk.AccountFile("Consign.ini");
  char value[32] = {};
  GetPrivateProfileStringA("Config", "Pending", "10000001", value, sizeof value, file.c_str());
  uint32_t number = PendingNumberValue(value);
  if (number == 0) {
    // An unreadable value: past every number the kept orders hold.
    uint32_t highest = 0;
    const CKivoOrderField *o = desk.orders.GetData();
    for (int32_t i = 0; i < desk.orders.GetCount(); ++i) {
      const uint32_t held = o[i].OrderStatus[1] == 'p' ? PendingNumberValue(o[i].OrderRef) : 0;
      if (held > highest) highest = held;
    }
    number = highest >= kPendingFirstNumber && highest < kPendingLastNumber ? highest + 1 : kPendingFirstNumber;
  }
  // After the last number the count starts again at the first; a number a
  // kept order holds is never given twice.
  for (uint32_t tries = 0; PendingNumberHeld(desk, number) && tries < kPendingLastNumber; ++tries)
    number = number == kPendingLastNumber ? kPendingFirstNumber : number + 1;
  char next[16];
  snprintf(next, sizeof next, "%u", number == kPendingLastNumber ? kPendingFirstNumber : number + 1);
  WritePrivateProfileStringA("Config", "Pending", next, file.c_str());
  return number;
}

bool HasPendingOrders(const TTradeDesk &desk) {
  const CKivoOrderField *o = desk.orders.GetData();
  for (int32_t i = 0; i < desk.orders.GetCount(); ++i)
    if (o[i].OrderStatus[1] == 'p') return true;
  return false;
}

namespace {

const char kPendingMagic[6] = {'K', 'V', 'P', 'O', '0', '2'};

void WarnBox(TTradeDesk &desk, const char *log, const char *text) {
  WriteTradeLog(desk, TLOG_TEXT, log);
  MessageBoxA(desk.owner, text, "错误", MB_OK | MB_ICONWARNING | MB_TOPMOST);
}

bool HasText(const char *text, const char *part) { return text && strstr(text, part) != nullptr; }

bool ClosedExchangeText(const char *text) {
  return HasText(text, "未处于开盘状态") || HasText(text, "不是交易时间");
}

void CutServerMessage(char *text) {
  if (char *at = strstr(text, "Server message:")) *at = 0;
}

void OrderEvent(TTradeDesk &desk, const char *head, const CKivoOrderField &o) {
  char text[160];
  snprintf(text, sizeof text, "%s%.12s|%.7s|%.3f|%c|%c|%c|%i", head, o.OrderRef, o.InstrumentID, o.LimitPrice,
           o.Direction, o.OffsetFlag, o.HedgeFlag, o.VolumeTotal);
  WriteTradeLog(desk, TLOG_PENDING_EVENT, text);
}

template <typename T>
void Put(unsigned char *&at, const T &value) {
  memcpy(at, &value, sizeof value);
  at += sizeof value;
}
template <size_t N>
void PutText(unsigned char *&at, const char (&text)[N]) {
  memcpy(at, text, N);
  at += N;
}
template <typename T>
void Get(const unsigned char *&at, T &value) {
  memcpy(&value, at, sizeof value);
  at += sizeof value;
}
template <size_t N>
void GetText(const unsigned char *&at, char (&text)[N]) {
  memcpy(text, at, N);
  text[N - 1] = 0;
  at += N;
}

}  // namespace

void PutPendingRecord(const CKivoOrderField &o, unsigned char out[kPendingRecordSize]) {
  unsigned char *at = out;
  PutText(at, o.ExchangeID);
  PutText(at, o.InstrumentID);
  PutText(at, o.CancelText16);
  PutText(at, o.CancelText24);
  PutText(at, o.StatusMsg);
  PutText(at, o.OrderRef);
  Put(at, o.Direction);
  Put(at, o.OffsetFlag);
  Put(at, o.HedgeFlag);
  PutText(at, o.CancelText120);
  PutText(at, o.OrderStatus);
  Put(at, o.PriceType);
  Put(at, o.LimitPrice);
  Put(at, o.VolumeTotal);
  Put(at, o.VolumeTraded);
  Put(at, o.VolumeRemain);
  Put(at, o.Reserved164);
  Put(at, o.Reserved168);
  PutText(at, o.InsertTime);
  PutText(at, o.SecondTime);
  PutText(at, o.FillText);
  PutText(at, o.Zero211);
}

CKivoOrderField GetPendingRecord(const unsigned char in[kPendingRecordSize]) {
  CKivoOrderField o{};
  const unsigned char *at = in;
  GetText(at, o.ExchangeID);
  GetText(at, o.InstrumentID);
  GetText(at, o.CancelText16);
  GetText(at, o.CancelText24);
  GetText(at, o.StatusMsg);
  GetText(at, o.OrderRef);
  Get(at, o.Direction);
  Get(at, o.OffsetFlag);
  Get(at, o.HedgeFlag);
  GetText(at, o.CancelText120);
  Get(at, o.OrderStatus[0]);
  at += 1;
  o.OrderStatus[1] = 'p';
  Get(at, o.PriceType);
  Get(at, o.LimitPrice);
  Get(at, o.VolumeTotal);
  Get(at, o.VolumeTraded);
  Get(at, o.VolumeRemain);
  Get(at, o.Reserved164);
  Get(at, o.Reserved168);
  GetText(at, o.InsertTime);
  GetText(at, o.SecondTime);
  GetText(at, o.FillText);
  memset(o.Zero211, 0, sizeof o.Zero211);
  return o;
}

bool SavePendingOrders(TTradeDesk &desk, HWND owner, bool flush) {
  std::string bytes(kPendingMagic, sizeof kPendingMagic);
  const CKivoOrderField *o = desk.orders.GetData();
  for (int32_t i = 0; i < desk.orders.GetCount(); ++i) {
    if (o[i].OrderStatus[1] != 'p') continue;
    unsigned char record[kPendingRecordSize];
    PutPendingRecord(o[i], record);
    bytes.append(reinterpret_cast<const char *>(record), sizeof record);
  }
  const bool whole = ReplaceFileBytes(desk.AccountFile("Pending.dat"), bytes.data(), bytes.size(), flush);
  if (!whole) {
    WriteTradeLog(desk, TLOG_TEXT, "2|写文件失败，开盘触发单无法保存");
    MessageBoxA(owner, "写文件失败，开盘触发单无法保存。  ", "错误", MB_OK | MB_ICONWARNING | MB_TOPMOST);
  }
  LogPendingOrders(desk);
  if (desk.owner) PostMessageA(desk.owner, WM_TRADE_VIEWS_UPDATE, 0, 0);
  return whole;
}

// ---- the book's open-trigger orders ----

TPendingOrders::TPendingOrders(TTradeDesk &desk, TOrderBook &book) : desk_(desk), book_(book) {}

void TPendingOrders::Load(bool ordersComplete) {
  for (int32_t i = desk_.orders.GetCount() - 1; i >= 0; --i)
    if (desk_.orders.GetData()[i].OrderStatus[1] == 'p') desk_.orders.RemoveAt(i);
  book_.InvalidateIndex();
  const std::string path = desk_.AccountFile("Pending.dat");
  const int32_t file = FileOpen(path.c_str(), "rb");
  if (file <= 0) return;
  char magic[sizeof kPendingMagic] = {};
  const bool known = FileRead(file, magic, 1, sizeof magic) == int32_t(sizeof magic) &&
                     memcmp(magic, kPendingMagic, sizeof magic) == 0;
  if (known) {
    unsigned char record[kPendingRecordSize];
    while (FileRead(file, record, 1, sizeof record) == int32_t(sizeof record)) {
      if (desk_.orders.Add(GetPendingRecord(record)) < 0) {
        WarnBox(desk_, "2|内存不足，部分开盘触发单未能读入", "内存不足，部分开盘触发单未能读入。  ");
        break;
      }
    }
  }
  FileClose(file);
  book_.SortOrders();
  if (!known) DeleteFileA(path.c_str());
  // Sends a crash cut short: the broker's list tells whether they arrived.
  if (ordersComplete && journal && journal->HasPendingIntents()) {
    SettleSends(!known);
    return;
  }
  if (!known) SavePendingOrders(desk_, desk_.owner);
}

bool TPendingOrders::SettleSends(bool rewrite) {
  bool changed = rewrite;
  for (const std::string &number : journal->SettlePendingSends()) changed = RemoveNumber(number.c_str()) || changed;
  // The intents go only once the flushed file no longer holds their orders.
  if (changed && !SavePendingOrders(desk_, desk_.owner)) return false;
  journal->ForgetPendingIntents();
  return true;
}

bool TPendingOrders::RemoveNumber(const char *number) {
  for (int32_t i = 0; i < desk_.orders.GetCount(); ++i) {
    const CKivoOrderField &o = desk_.orders.GetData()[i];
    if (o.OrderStatus[1] == 'p' && strncmp(o.OrderRef, number, sizeof o.OrderRef) == 0) {
      desk_.orders.RemoveAt(i);
      book_.InvalidateIndex();
      return true;
    }
  }
  return false;
}

void TPendingOrders::RemoveCancelled() {
  bool removed = false;
  for (int32_t i = desk_.orders.GetCount() - 1; i >= 0; --i) {
    const CKivoOrderField &o = desk_.orders.GetData()[i];
    if (o.OrderStatus[1] != 'p' || o.OrderStatus[0] != '1') continue;
    OrderEvent(desk_, "2||", o);
    desk_.orders.RemoveAt(i);
    removed = true;
  }
  if (!removed) return;
  book_.InvalidateIndex();
  ++book_.lists.orderRebuilds;
  SavePendingOrders(desk_, desk_.owner);
}

void TPendingOrders::Execute(const char *exchange) {
  if (!armed || !armed()) return;
  const bool given = exchange && *exchange;
  // Intents a walk left because its file could not be written (or a crash
  // the order list has not settled): settled first and the file written,
  // so that two walks' intents never meet the broker's orders together.
  if (journal && journal->HasPendingIntents() && !SettleSends(true)) return;
  auto inWalk = [&](const CKivoOrderField &o) {
    return o.OrderStatus[1] == 'p' && (!given || strncasecmp(o.ExchangeID, exchange, sizeof o.ExchangeID) == 0);
  };
  // With the journal every send of the walk is announced at once, before
  // the first; the answers are appended to it as they come, and the file
  // is rewritten once after the walk. Without it (or when it could not be
  // written) the file is rewritten after each accepted send instead.
  std::vector<int32_t> intents;
  if (journal) {
    std::vector<const CKivoOrderField *> walk;
    for (int32_t i = 0; i < desk_.orders.GetCount(); ++i)
      if (inWalk(desk_.orders.GetData()[i])) walk.push_back(&desk_.orders.GetData()[i]);
    if (!walk.empty()) intents = journal->RecordPendingWalk(walk);
  }
  const bool announced = !intents.empty();
  size_t attempted = 0;
  bool removed = false, failed = false, fileFailed = false;
  for (int32_t i = 0; i < desk_.orders.GetCount();) {
    CKivoOrderField o = desk_.orders.GetData()[i];
    if (!inWalk(o)) {
      ++i;
      continue;
    }
    // The walk's orders are met in the order they were announced.
    const int32_t intent = announced && attempted < intents.size() ? intents[attempted] : 0;
    ++attempted;
    OrderEvent(desk_, given ? "7|自动|" : "7|登录后|", o);
    char text[1024];
    snprintf(text, sizeof text, "%.7s|%c|%c|%c|%.3f|%i|自动", o.InstrumentID, o.Direction, o.OffsetFlag,
             o.HedgeFlag, o.LimitPrice, o.VolumeTotal);
    WriteTradeLog(desk_, TLOG_ORDER_REQUEST, text);
    char reference[64] = {};
    memset(text, 0, sizeof text);
    const int result = TradePlugin.OrderInsert
                           ? TradePlugin.OrderInsert(o.InstrumentID, o.ExchangeID, o.LimitPrice, o.VolumeTotal,
                                                     o.Direction, o.OffsetFlag, o.HedgeFlag, reference, text)
                           : -1;
    text[sizeof text - 1] = 0;
    reference[sizeof reference - 1] = 0;
    if (result == 0) {
      WriteTradeLogValues(desk_, TLOG_ORDER_RESULT, "0|", reference);
      desk_.orders.RemoveAt(i);
      book_.InvalidateIndex();
      removed = true;
      // Known before the next send, so that a crash of the program from
      // here on cannot send it again: by the journal's answer, or else by
      // the file. A failed rewrite stops the walk.
      if (intent && journal->NotePendingAnswer(intent, kIntentSent, reference)) continue;
      if (!SavePendingOrders(desk_, desk_.owner, false)) {
        fileFailed = true;
        break;
      }
      continue;
    }
    CutServerMessage(text);
    WriteTradeLogValues(desk_, TLOG_ORDER_RESULT, "1||", text);
    const bool closed = ClosedExchangeText(text);
    // A refusal the journal could not keep ends the walk: no later send
    // may be taken for this one's after a crash.
    const uint8_t answer = closed ? kIntentOpenTrigger : kIntentRefused;
    const bool noted = !intent || journal->NotePendingAnswer(intent, answer, text);
    if (closed) {
      WriteTradeLog(desk_, TLOG_TEXT, "0|开盘触发单下单出错，席位仍未开盘");
      ++i;
    } else {
      failed = true;
      desk_.orders.RemoveAt(i);
      book_.InvalidateIndex();
      removed = true;
    }
    if (!noted) break;
  }
  bool saved = !removed;
  if (removed && !fileFailed) {
    ++book_.lists.orderRebuilds;
    saved = SavePendingOrders(desk_, desk_.owner);
  }
  if (announced) {
    // Orders never tried are still in the file: their intents go. The
    // others go once the flushed file holds the walk's end; otherwise the
    // journal keeps their answers, flushed, for the next login to settle.
    const size_t tried = attempted < intents.size() ? attempted : intents.size();
    if (saved) {
      journal->Forget(intents);
    } else {
      journal->Forget(std::vector<int32_t>(intents.begin() + ptrdiff_t(tried), intents.end()));
      journal->Rewrite();
    }
  }
  if (failed)
    MessageBoxA(desk_.owner, "开盘触发执行完毕但有错误发生，请至“事件日志”中查看原因。  ", "错误",
                MB_OK | MB_ICONWARNING | MB_TOPMOST);
}

CKivoOrderField MakePendingOrder(TTradeDesk &desk, const char *exchange, const char *code, char direction,
                                 char offset, char hedge, double price, int32_t volume) {
  CKivoOrderField o{};
  strncpy(o.ExchangeID, exchange, sizeof o.ExchangeID - 1);
  strncpy(o.InstrumentID, code, sizeof o.InstrumentID - 1);
  strncpy(o.StatusMsg, "开盘后自动申报", sizeof o.StatusMsg - 1);
  snprintf(o.OrderRef, sizeof o.OrderRef, "%u", NextPendingOrderNumber(desk));
  o.Direction = direction;
  o.OffsetFlag = offset;
  o.HedgeFlag = hedge;
  o.OrderStatus[0] = '0';
  o.OrderStatus[1] = 'p';
  o.PriceType = price != 0 ? '2' : '1';
  o.LimitPrice = price;
  o.VolumeTotal = volume;
  SYSTEMTIME now;
  GetLocalTime(&now);
  snprintf(o.InsertTime, sizeof o.InsertTime, "%02u:%02u:%02u", unsigned(now.wHour) % 100u,
           unsigned(now.wMinute) % 100u, unsigned(now.wSecond) % 100u);
  return o;
}
