// The request builders: everything that wants data from the request/response
// server calls one of these. A builder checks the account's market right,
// asks the request queue whether the same download is already queued,
// running or just finished, looks at the local cache file to decide what is
// still missing (trimming a stale tail where a file was last written on an
// earlier day), fills a REQUESTREC and queues it. The request client itself
// is not touched. A request that is not needed, not allowed or a duplicate
// simply does not happen; the asker learns of arriving data from
// WM_STOCK_DATA.
//
// "market, stock" below is a market index and a stock index of the market
// table; a stock outside the market's loaded entries asks nothing. Cache
// paths are built from the table's own codes, never from a caller's text.
// GUI thread only.
#pragma once

#include <cstdint>

#include "core/datetime.h"
#include "market/marketrecords.h"

// Bars of a chart period (1 one minute, 2 three, 3 N minutes, 4 five,
// 5 fifteen, 6 thirty, 7 sixty, 8 day, 9 week, 10 month, 11 quarter, 12 N
// days, 13 120 minutes, 14 240 minutes; others count as day). A period of N
// minutes asks for the 60-minute base when N is a multiple of 60, the
// 5-minute base for a multiple of 5, else the 1-minute base. With history
// set it asks for the bars before the oldest one held.
void RequestBars(int market, int stock, int period, int n, bool history, uint32_t tag);

// Decides whether and from where to ask for a cached file. kind 6 and 7
// (bar files; first in = the base): first/second out = the date-times to
// ask between (0 = open). Kinds 8, 13 and 27: a file of an earlier trading
// date is deleted. Kind 36 (first out = whole entries held, second in = the
// information class): a file not written in this session and trading date
// is deleted with its text. True = ask.
bool PrepareIncrementalRequest(int kind, uint32_t stockWord, const char *path, uint32_t *first, uint32_t *second,
                               bool history);

void RequestTicks(int market, int stock, uint32_t tag);
void RequestMinuteTrend(int market, int stock, uint32_t tag);
void RequestRecentTrades(int market, int stock, int count, uint32_t tag);
void RequestTrendHistory(int market, int stock, PackedDateTime date, uint32_t tag);
void RequestNotesList(int channel);
// key: the note's 16-byte body file name.
void RequestNoteBody(int channel, const char *key, int value);
// older: the items before the oldest one known of the type, else those
// after the newest.
void RequestNewsList(bool older, uint32_t type);
// firstWord: the news record's first word (type << 1 | read bit).
void RequestNewsBody(uint32_t firstWord, uint32_t id);
bool RequestBaseIndex(int market, int stock, int infoClass, uint32_t tag);
void RequestBaseText(int market, int stock, int infoClass, const char *fileName, uint32_t offset, uint32_t length,
                     uint32_t tag);
void RequestWeights(int market, int stock, uint32_t tag);
void RequestBrokerQueue(int market, int stock);
// A ranking of the sort kind over the listed instruments (codes: count
// entries, taken over, freed with delete[]) or, without a list, over the
// block whose id is count. mode 0 gives the asking view a file, mode 1
// puts fast-change values into the market table.
void RequestSortData(uint32_t value3, int sortKind, uint32_t count, STKMS *codes, uint32_t tag, int mode);
void RequestSystemMessage();
void RequestRealtimeMessage(uint32_t value);
// newPassword: 12 bytes, the last taken as 0.
void RequestPasswordChange(const char *newPassword);
void RequestCodeTable(int market, int firstEntry);
void RequestNameTable(int market);

// Points the cache readers' requests (CacheRequests(), market/datafile.h)
// and the client's queue reset (QuoteClientHooks()) at this queue.
void InstallRequestHooks();
