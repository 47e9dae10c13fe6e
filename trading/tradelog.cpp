#include "trading/tradelog.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/datetime.h"
#include "core/efile.h"
#include "core/netutil.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "trading/deskdata.h"

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// The day number of a yyyymmdd date; false when it names no date.
bool DayOf(int yyyymmdd, int64_t *day) {
  const int y = yyyymmdd / 10000, m = yyyymmdd / 100 % 100, d = yyyymmdd % 100;
  static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || m < 1 || m > 12 || d < 1) return false;
  if (d > kLengths[m - 1] + (m == 2 && IsLeap(y))) return false;
  *day = platform::DaysFromCivil(y, m, d);
  return true;
}

// The date of a daily file's name, only for "<8 digits>.phl".
bool DateOfLogName(const char *name, int *yyyymmdd) {
  for (int i = 0; i < 8; ++i)
    if (!isdigit(static_cast<unsigned char>(name[i]))) return false;
  if (strcasecmp(name + 8, ".phl") != 0) return false;
  *yyyymmdd = atoi(std::string(name, 8).c_str());
  return true;
}

// An empty record closes every snapshot list.
void CloseList(TTradeDesk &desk, int code) { WriteTradeLog(desk, code, ""); }

}  // namespace

std::string TradeLogFile(const TTradeDesk &desk, int yyyymmdd) {
  char name[32];
  snprintf(name, sizeof name, "tradelog\\%i.phl", yyyymmdd);
  return desk.AccountFile(name);
}

int OpenTradeLog(TTradeDesk &desk, int yyyymmdd) {
  CloseTradeLog(desk);
  const std::string folder = desk.AccountFolder() + "tradelog\\";
  MakeDirChain(desk.AccountFolder().c_str());
  MakeDirChain(folder.c_str());
  if (!KvLogger.Open) return 0;
  const std::string path = TradeLogFile(desk, yyyymmdd);
  uint32_t handle = 0;
  const int error = KvLogger.Open(path.c_str(), 1, &handle);
  if (error != 0 || handle == 0) {
    const char *reason = KvLogger.GetErrorMsg ? KvLogger.GetErrorMsg(error) : nullptr;
    char text[1024];
    snprintf(text, sizeof text, "无法创建日志，%s。\n\n%s", reason ? reason : "", path.c_str());
    MessageBoxA(desk.owner, text, "错误", MB_ICONERROR | MB_TOPMOST);
    return 0;
  }
  desk.tradeLog = handle;
  return 1;
}

void CloseTradeLog(TTradeDesk &desk) {
  if (desk.tradeLog && KvLogger.Close) KvLogger.Close(desk.tradeLog);
  desk.tradeLog = 0;
}

void PurgeTradeLogs(const TTradeDesk &desk, int yyyymmdd) {
  int64_t today;
  if (!DayOf(yyyymmdd, &today)) return;
  const std::string folder = desk.AccountFolder() + "tradelog\\";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*.phl").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    int date;
    int64_t day;
    if (!DateOfLogName(found.cFileName, &date) || !DayOf(date, &day)) continue;
    if (day + 30 < today) DeleteFileA((folder + found.cFileName).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

int WriteTradeLog(TTradeDesk &desk, int code, const char *text) {
  if (!desk.tradeLog || !KvLogger.Log) return -1;
  return KvLogger.Log(desk.tradeLog, code, text ? text : "", 0, 0);
}

int WriteTradeLogValues(TTradeDesk &desk, int code, const char *first, const char *second) {
  if (!desk.tradeLog || !KvLogger.Logs) return -1;
  const char *texts[2] = {first ? first : "", second ? second : ""};
  return KvLogger.Logs(desk.tradeLog, code, texts, 2, 0, 0);
}

void LogDiskSpace(TTradeDesk &desk) {
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExA(UserDataPath, &available, &total, &free)) return;
  char text[64];
  snprintf(text, sizeof text, "1|%c:|%iM", UserDataPath[0], int(available.QuadPart / 1048576));
  WriteTradeLog(desk, TLOG_DISK_SPACE, text);
}

void LogQuoteSnapshot(TTradeDesk &desk, const CContractInfo &contract, const REALQUOTE &quote,
                      const PRICEHIST &recent, char *buffer, size_t size) {
  if (!buffer || size == 0) return;
  const int codeLength = int(strnlen(contract.InstrumentID, sizeof contract.InstrumentID));
  int at = snprintf(buffer, size, "%.*s|%.3f|%.3f|%.0f|%.3f|%.0f", codeLength, contract.InstrumentID,
                    quote.last / 1000.0, quote.bid[0].price / 1000.0, double(quote.bid[0].volume),
                    quote.ask[0].price / 1000.0, double(quote.ask[0].volume));
  const uint32_t *rows[3] = {recent.trades, recent.bids, recent.asks};
  for (int step = 0; step < 5; ++step)
    for (int row = 0; row < 3; ++row) {
      if (at < 0 || size_t(at) >= size) break;
      at += snprintf(buffer + at, size - size_t(at), "|%.3f", rows[row][step] / 1000.0);
    }
  WriteTradeLog(desk, TLOG_QUOTE, buffer);
}

void LogTradeOptions(TTradeDesk &desk) {
  const TradingOptions &o = desk.options;
  char text[512];
  snprintf(text, sizeof text,
           "%i|%i|%i|%i|%i|%i|%i|%i|%i|%c|"
           "%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|%i|",
           o.ExpressOrder, o.DirectCancelOrder, o.ResetToNow, o.ResetToOpen, 0, o.Autopending1, 0,
           o.DefaultPrice, o.AutoAdjustPrice, o.HedgeFlag,                                              // 1-10
           0, o.PriceOffset, o.TimeOut, o.ReInputOrder, 0, o.StopTriggerMethodL, o.StopTrigger,           // 11-17
           o.StopLPrice, 0, o.TimeOutS, o.ReInputOrderS, 0, o.StopTriggerMethodP, o.StopTriggerP,         // 18-24
           o.StopPPrice, 0, o.TimeOutS, o.ReInputOrderS, 0, o.StopExpiredDefault, 0, 0, 0, 0);            // 25-34
  WriteTradeLog(desk, TLOG_OPTIONS, text);
}

void LogPendingOrders(TTradeDesk &desk) {
  char text[128];
  for (int32_t i = 0; i < desk.orders.GetCount(); ++i) {
    const CKivoOrderField &order = desk.orders.GetData()[i];
    if (order.OrderStatus[1] != 'p') continue;
    snprintf(text, sizeof text, "%.*s|%.3f|%c|%c|%i", int(strnlen(order.InstrumentID, sizeof order.InstrumentID)),
             order.InstrumentID, order.LimitPrice, order.Direction & 0x7F, order.OffsetFlag, order.VolumeTotal);
    WriteTradeLog(desk, TLOG_PENDING_LIST, text);
  }
  CloseList(desk, TLOG_PENDING_LIST);
}

void LogStopSettings(TTradeDesk &desk) {
  char text[192];
  for (int32_t i = 0; i < desk.positions.GetCount(); ++i) {
    const InvestorPosition_Lite &position = desk.positions.GetData()[i];
    const StopOrderPointer *holder = position.Stops;
    if (!holder || !holder->First) continue;
    // A holder shared by yesterday's and today's records is written once.
    if (holder->References == 2 && position.Attribute != 2) continue;
    const int codeLength = int(strnlen(position.InstrumentID, sizeof position.InstrumentID));
    for (const StopOrder *entry = holder->First; entry; entry = entry->Next) {
      snprintf(text, sizeof text, "%.*s|%c|%c|%i|%.3f|%.3f|%.3f|%.3f|%i", codeLength, position.InstrumentID,
               position.PosiDirection, position.HedgeFlag, entry->Volume, entry->StopPrice, entry->Trailing,
               entry->ProfitPrice, entry->TrailReference, entry->ExpiryDay);
      WriteTradeLog(desk, TLOG_STOP_LIST, text);
    }
  }
  CloseList(desk, TLOG_STOP_LIST);
}

void LogConditionOrders(TTradeDesk &desk) {
  char text[512];
  for (int32_t i = desk.conditions.GetCount() - 1; i >= 0; --i) {
    const ConditionOrder &c = desk.conditions.GetData()[i];
    const bool priceTrigger = c.TriggerKind == 0 || c.TriggerKind == 1;
    uint32_t triggerTime = 0;
    if (c.TriggerKind == 3) {
      const CTime32 time = TriggerTimeOf(c);
      triggerTime = time.hour * 10000u + time.minute * 100u + time.second;
    }
    const bool cancels = c.PriceKind == 1 || c.PriceKind == 3;
    snprintf(text, sizeof text,
             "%.*s|%i|%i|%i|%.3f|%i|%i|%i|%.3f|%c|%c|%i|%i|%i|%.3f|%.3f|%.3f|%i|%i|%i|%u|%u|%u|%u|%u|%u|%i|%u|%u|%u|"
             "%u|%u|%u|",
             int(strnlen(c.InstrumentID, sizeof c.InstrumentID)), c.InstrumentID, c.TriggerKind,
             priceTrigger ? c.PriceSource : 0, priceTrigger ? c.Ticks : 0, priceTrigger ? c.TriggerPrice : 0.0,
             int(triggerTime), c.PriceKind, c.PriceKind == 1 ? c.TickOffset : 0,
             c.PriceKind == 2 ? c.FixedPrice : 0.0, c.Direction, c.OffsetFlag, c.Volume, c.Expiry, c.State,
             c.StopPrice, c.ProfitPrice, c.Trailing, cancels ? c.CancelAfter : 0, cancels ? c.Reorder : 0, 0,
             c.Made.wYear, c.Made.wMonth, c.Made.wDay, c.Made.wHour, c.Made.wMinute, c.Made.wSecond, 0, 0u, 0u,
             0u, 0u, 0u, 0u);
    WriteTradeLog(desk, TLOG_CONDITION_LIST, text);
  }
  CloseList(desk, TLOG_CONDITION_LIST);
}

std::string EventLogFile(const TTradeDesk &desk, int tab, const char *tradeDate) {
  char name[96];
  if (tab <= 0)
    snprintf(name, sizeof name, "tradelog\\%straderec.txt", tradeDate ? tradeDate : "");
  else
    snprintf(name, sizeof name, "tradelog\\%stradere%c.txt", tradeDate ? tradeDate : "", '0' + (tab > 3 ? 2 : tab - 1));
  return desk.AccountFile(name);
}
