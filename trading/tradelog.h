// The daily trade log of the account, as the desk writes it: one file per
// trading day in the account's "tradelog" folder, written through the
// logger library that the plug-in writes the same file with. The desk keeps
// the one handle; records written while no log is open are dropped.
//
// Also the snapshot records of the automation's data (options, open-trigger
// orders, stop entries, condition orders, a quote when a stop fires) and the
// names of the text files the logger keeps beside the log, which the
// event-log page shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "market/marketrecords.h"

class TTradeDesk;
struct CContractInfo;

// The desk's record codes (the plug-in's are 3072 and 3091 to 3119).
enum TradeLogCodes : int {
  TLOG_TEXT = 0,
  TLOG_DISK_SPACE = 3001,
  TLOG_VERSION = 3002,
  TLOG_QUOTE = 3003,
  TLOG_OPTIONS = 3004,
  TLOG_PENDING_LIST = 3005,
  TLOG_STOP_LIST = 3006,
  TLOG_CONDITION_LIST = 3007,
  TLOG_PENDING_EVENT = 3008,
  TLOG_STOP_EVENT = 3009,
  TLOG_CONDITION_EVENT = 3010,
  TLOG_ORDER_REQUEST = 3011,
  TLOG_ORDER_RESULT = 3012,
  TLOG_CANCEL_REQUEST = 3013,
  TLOG_CANCEL_RESULT = 3014,
  TLOG_TASK = 3015,
  TLOG_SESSION = 3016,
  TLOG_CONNECTION = 3072,
};

// "<account folder>tradelog\<yyyymmdd>.phl".
std::string TradeLogFile(const TTradeDesk &desk, int yyyymmdd);
// Closes an open log, makes the folders and opens the day's file of the
// desk's account. 1 opened; 0 when the logger is not bound, or with an error
// box (owned by the desk's owner) when the logger refused the file.
int OpenTradeLog(TTradeDesk &desk, int yyyymmdd);
void CloseTradeLog(TTradeDesk &desk);
// Deletes the account's daily files whose date lies more than 30 calendar
// days before yyyymmdd; only "<yyyymmdd>.phl" names of valid dates count.
void PurgeTradeLogs(const TTradeDesk &desk, int yyyymmdd);

// One record; the logger's result, or -1 when no log is open.
int WriteTradeLog(TTradeDesk &desk, int code, const char *text);
// One record of two texts, in order.
int WriteTradeLogValues(TTradeDesk &desk, int code, const char *first, const char *second);

// 3001: the data folder's drive and its free megabytes; nothing when the
// query fails.
void LogDiskSpace(TTradeDesk &desk);
// 3003, built into buffer and written: the contract's code (read within its
// field), last price, best bid and ask with their volumes, and the fifteen
// recent prices interleaved (trade, bid, ask of each step, newest first).
void LogQuoteSnapshot(TTradeDesk &desk, const CContractInfo &contract, const REALQUOTE &quote,
                      const PRICEHIST &recent, char *buffer, size_t size);
// 3004: the 34 option values.
void LogTradeOptions(TTradeDesk &desk);
// 3005, 3006, 3007: one record per open-trigger order, stop entry or
// condition order (newest first), then an empty record.
void LogPendingOrders(TTradeDesk &desk);
void LogStopSettings(TTradeDesk &desk);
void LogConditionOrders(TTradeDesk &desk);

// The event-log page's file for a tab: 0 every record, 1 quick operations,
// 2 stops, 3 condition orders; tradeDate as the plug-in gives it.
std::string EventLogFile(const TTradeDesk &desk, int tab, const char *tradeDate);
