// What the formula engine needs from outside itself: the market table (name
// table entries, code lookups), the live series agents that cross-instrument
// references read, and the display colour table that SYSCOLOR options and the
// indicator line colours point into.
//
// The engine reaches the market side only through one process-wide provider,
// installed at start-up (the real one wraps the market table and the agents;
// tests install a fake). Without a provider nothing resolves: references stay
// unresolved and read 0, an untrusted compile finds no instrument, and
// instruments have the price divisor 1.
#pragma once

#include <cstdint>

#include "core/viewfontdef.h"
#include "market/records.h"
#include "platform/windef.h"

// The market table's 32-byte name-table entry. The engine never looks inside
// it: it hands it back to the provider to learn the facts below.
struct STKINFO;

// One instrument as a reference: market byte, stock-kind byte, stock index
// within the market. Two references name the same instrument when market and
// index agree; the kind is not compared.
struct IndexStockRef {
  uint8_t market = 255;
  uint8_t kind = 255;
  uint16_t index = 0xFFFF;
};

// What the engine reads of a name-table entry.
struct IndexStockFacts {
  uint8_t market = 255;
  uint8_t kind = 255;
  uint16_t index = 0xFFFF;     // the entry's own stock index
  uint32_t priceDivisor = 1;   // bar prices divided by it give prices
  uint8_t priceDecimals = 2;   // decimals prices are printed with
};

class IIndexMarket {
 public:
  virtual ~IIndexMarket() = default;

  // The entry with this code in this market (case-insensitive), or null.
  virtual const STKINFO *FindStockInMarket(const char *code, uint8_t market) = 0;
  // Searches the markets from *market upwards; on success *market is the
  // market where the code was found.
  virtual const STKINFO *FindStockFromMarket(const char *code, uint8_t *market) = 0;
  // Looks in *market and, with searchAll, in every other market; updates
  // *market on success.
  virtual const STKINFO *LookupStock(const char *code, uint16_t *market, bool searchAll) = 0;
  virtual IndexStockFacts Facts(const STKINFO *info) = 0;
  // The entry of an instrument, null when market or index is out of range.
  virtual const STKINFO *GetStockInfo(IndexStockRef stock) = 0;

  // Series agents: subscribe the window to the agent of that instrument,
  // series kind and count (returns the agent id, -1 on failure), release a
  // subscription, and read an agent's bars (count 0 when it has none).
  virtual int32_t AcquireDataAgent(IndexStockRef stock, uint8_t kind, uint32_t count,
                                   HWND window) = 0;
  virtual void ReleaseDataAgent(int32_t agent, HWND window) = 0;
  virtual void GetSeries(int32_t agent, const KLINEBAR **bars, uint32_t *count) = 0;
};

// Installs the provider (null: none) and returns the one before. The caller
// keeps ownership. GUI thread only, like everything in the engine.
IIndexMarket *SetIndexMarket(IIndexMarket *market);
IIndexMarket *IndexMarket();

// Facts of an entry through the provider; the defaults (divisor 1) without one
// or for a null entry.
IndexStockFacts IndexStockFactsOf(const STKINFO *info);

// The display colour table: 64 COLORREF slots at one address for the life of
// the program. Statements keep pointers to its slots, so it must outlive every
// compiled formula. Until the main window installs its table the engine uses
// a table of its own (all slots 0).
constexpr int kIndexColorSlots = 64;
COLORREF *SetIndexColorTable(COLORREF *slots);
COLORREF *IndexColorTable();

// The display font table: 16 entries, FONT01 first. Until the main window
// installs its table every font is "0,12,宋体". The table must outlive the
// painting that reads it; returns the table installed before (null: none).
constexpr int kIndexFontSlots = 16;
const VIEWFONTDEF *SetIndexFontTable(const VIEWFONTDEF *fonts);
// FONTnn, 1..16; the default entry outside or without a table.
const VIEWFONTDEF &IndexFontEntry(int nn);

// The chart settings the painter follows, set by the K-line view from the
// user's settings: KLineMode not 0 draws rising bodies hollow; AntiAlias not
// 0 lets thin indicator lines be drawn anti-aliased where the caller allows.
void SetIndexKLineMode(int32_t mode);
int32_t IndexKLineMode();
void SetIndexAntiAlias(int32_t on);
int32_t IndexAntiAlias();
