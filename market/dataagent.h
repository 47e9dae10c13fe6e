// Series agents: the one shared, live copy of one series of one instrument
// (its trade ticks, its latest trades, today's minute trend or its bars of
// one period). Views and formulas never read the cache files themselves:
// they acquire an agent, read its series and repaint when the agent sends
// them WM_AGENT_UPDATE.
//
// An agent builds its series from the cache files, asks the request
// builders for what is missing or stale, is rebuilt when an answer for its
// instrument has arrived and appends every pushed quote of its instrument.
// Bar agents stand on the instrument's minute-trend agent (their parent)
// and follow it as its dependents.
//
// All agents live in one EArray, indexed by their position, which stays
// valid for as long as an agent is in use: a freed entry is cleared and
// reused, never removed. The array may move when it grows, so nothing here
// keeps a pointer to an agent across a message it sends; whoever handles
// WM_AGENT_UPDATE may acquire and release agents while it does.
//
// GUI thread only.
#pragma once

#include <cstdint>

#include "core/datetime.h"
#include "core/earray.h"
#include "market/marketrecords.h"
#include "market/records.h"
#include "platform/messages.h"
#include "platform/windef.h"


enum DataAgentKind : uint8_t {
  kAgentTicks = 1,         // trade ticks of the day (TICKREC)
  kAgentRecentTrades = 2,  // latest trades (TICKREC); readers get the newest 50
  kAgentMinuteTrend = 3,   // today's minute trend (TRENDREC)
  kAgentEmpty = 4,         // holds no series
  kAgentUnbuilt5 = 5,      // accepted, never built
  kAgentMinuteBars = 6,    // bars of N minutes
  kAgentDayBars = 7,       // bars of N days
  kAgentWeekBars = 8,
  kAgentMonthBars = 9,
  kAgentQuarterBars = 10,
  kAgentUnbuilt11 = 11,
};

// Receivers: a window, or another agent built on this one.
enum : int { kAgentWindow = 0, kAgentDependent = 1 };

// Bits of the change flags that come with a pushed quote.
constexpr uint32_t kAgentQuoteTrade = 0x100;      // the quote brings a new trade
constexpr uint32_t kAgentQuoteBuyer = 0x200;      // at or above the best ask
constexpr uint32_t kAgentQuoteSeller = 0x400;     // at or below the best bid

constexpr int kAgentMaxWindows = 64;
constexpr int kAgentMaxDependents = 32;
constexpr int kRecentTradesShown = 50;

struct CDataAgent {
  STKPTR stock;
  uint8_t kind;
  // Bar agents: N of the period. Tick and latest-trade agents: items
  // appended live since the last build (an agent is shared only while this
  // equals the count asked for). 0 for the minute trend.
  uint32_t count;
  void *series;            // heap buffer of the items
  KLINEBAR *minuteWork;    // bar agents: today's one-minute bars
  int32_t itemSize;        // 20, 48 or 40; 0 for kind 4
  int32_t itemCount;
  float sideVolume[2];     // buyer- and seller-initiated volume
  float priceVolumeSum;    // markets not of type 1 or 6: the average-price line
  float volumeSum;
  int32_t historyCount;    // bar agents: bars that came from the bar files
  uint8_t historyComplete; // the last history bar covers its whole period
  float historyVolume;     // of the last history bar, continued with today's data
  float historyAmount;
  uint32_t requestTag;     // carried by this agent's requests; unique per agent
  int32_t parent;          // the minute-trend agent a bar agent stands on; -1 none
  HWND windows[kAgentMaxWindows];
  uint32_t windowCount;
  uint32_t dependents[kAgentMaxDependents];
  uint32_t dependentCount;

  // Working state of our own, beside the fields above.
  int32_t capacity;        // items the series buffer holds
  int32_t workCapacity;    // one-minute bars the work buffer holds
  uint32_t generation;     // minute trend and trades: counts full builds
  // Bar agents: what today's part was last built from, so that a live quote
  // refolds only the tail (see barseries.h).
  uint32_t todayParentGeneration;
  int32_t todayTrendCount;  // trend records used
  int32_t todayMinutes;     // one-minute bars in the work buffer
  int32_t todayStart;       // index of today's first bar in the series; -1 none
  PackedDateTime todayDate; // the date today's one-minute bars carry
  uint8_t todayLive;        // the tail may be refolded in place

  bool InUse() const { return windowCount > 0 || dependentCount > 0; }

  // The series buffer and item count; for latest trades with more than 50
  // items, the newest 50.
  void GetSeries(const void **items, int32_t *count) const;
  const KLINEBAR *Bars() const {
    return itemSize == int32_t(sizeof(KLINEBAR)) ? static_cast<const KLINEBAR *>(series) : nullptr;
  }

  // Each of these may send messages: the agent may have moved when they
  // return, so call them on the array's element and reread it afterwards.
  // Rebuilds from the cache files (asking the server for what is missing)
  // and notifies with 100. A bar agent rebuilds its parent first.
  void Rebuild();
  // Asks the server for older bars while fewer than MaxDataRecords are held.
  void RequestHistory();
  // Appends a pushed quote and notifies.
  void OnQuote(const REALQUOTE &quote, uint32_t flags);
  // An answer for this agent arrived: at 100 the series is rebuilt from
  // the cache files without new requests; windows and dependents then hear
  // wParam.
  void OnDataArrived(uint32_t base, WPARAM wParam);
  // A bar agent's parent changed: at 0 or 100 the bars are rebuilt from
  // what is loaded; then the windows hear wParam.
  void NotifyDependent(WPARAM wParam);
};

// The one array of agents; it starts with room for 64.
EArray<CDataAgent> &DataAgents();
// The agent at an index, null when the index is outside the array.
CDataAgent *DataAgentAt(int32_t index);

// Subscribes a receiver (a window, or with kAgentDependent an agent index)
// to the agent of that instrument, kind and count, sharing one that exists
// and has room, else building a new one. The agent's index, or -1 when the
// array can't grow or the instrument is empty.
int32_t AcquireDataAgent(STKPTR stock, int kind, uint32_t count, uintptr_t receiver, int mode);
inline int32_t AcquireDataAgent(STKPTR stock, int kind, uint32_t count, HWND window) {
  return AcquireDataAgent(stock, kind, count, reinterpret_cast<uintptr_t>(window), kAgentWindow);
}
// Removes the receiver; an agent left with no window and no dependent is
// freed (its parent released). Unknown indices and receivers are ignored.
void ReleaseDataAgent(int32_t index, uintptr_t receiver, int mode);
inline void ReleaseDataAgent(int32_t index, HWND window) {
  ReleaseDataAgent(index, reinterpret_cast<uintptr_t>(window), kAgentWindow);
}
// A window's subscription made again. An agent it holds for the same
// instrument and kind (bars: the same N as well) is kept as it is, with the
// trades and minutes it has taken live; the count of a trade agent grows
// with what is appended, so a fresh request would not share it. Otherwise
// the new agent is taken before the old one is given back. -1 when not
// wanted.
int32_t RenewDataAgent(int32_t held, STKPTR stock, int kind, uint32_t count, bool wanted, HWND window);

// A pushed quote for every agent in use of that market and stock.
void DispatchQuoteToAgents(uint32_t stockWord, const REALQUOTE &quote, uint32_t flags);
// An answer for the instrument arrived. Data kind 6 (value = the bar base
// 60, 5 or 1) reaches the minute-bar agents built on that base; 7 every
// agent above kind 6; 1, 2 and 4 the agents of that kind; any other kind
// the agents of that kind whose count equals value.
void NotifyAgentsDataArrived(uint32_t stockWord, int dataKind, uint32_t value, WPARAM wParam);
// Rebuilds every agent in use of the market and stock kind (255 matches
// any). The kind is the instrument's kind in the name table as it is now.
void RebuildAgents(int market, int stockKind);

// Frees every agent and empties the array (the program's end; tests).
void FreeAllDataAgents();
