// The quote panel of the chart views: the item codes it can show, their
// labels and values for an instrument, the per-market-group item lists in
// "defui.ini", the settings of foreign futures ("..\cfg\forfur.ini" and
// "..\cfg\forex.ini") and the one underline under the price cell the mouse
// is over. TDrawView paints the panel (quotepanel.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/windef.h"

class TDrawView;

// Item codes 1..47; the value code a formatter takes is the item code - 1.
enum QuotePanelItem : int {
  kItemLast = 1,
  kItemAverage = 2,  // settlement for futures
  kItemChange = 3,
  kItemReference = 4,
  kItemChangePercent = 5,
  kItemOpen = 6,
  kItemVolume = 7,
  kItemHigh = 8,
  kItemLastVolume = 9,
  kItemLow = 10,
  kItemAmount = 11,  // open interest for futures
  kItemVolumeRatio = 12,
  kItemBuyerVolume = 13,
  kItemSellerVolume = 14,
  kItemOrderRatio = 15,
  kItemOrderDifference = 16,
  kItemBid1 = 17,  // 17..21 bid prices, 22..26 their volumes
  kItemBidVolume1 = 22,
  kItemAsk1 = 27,  // 27..31 ask prices, 32..36 their volumes
  kItemAskVolume1 = 32,
  kItemLimitUp = 37,
  kItemLimitDown = 38,
  kItemBidAverage = 39,
  kItemAskAverage = 40,
  kItemPrevClose = 43,
  kItemPeRatio = 44,
  kItemPbRatio = 45,
  kItemTurnover = 46,
  kItemDayAverage = 47,
};

constexpr int kDetailItemCount = 32;
// The list a group has until the user sets one.
extern const char kDefaultDetailItems[];

// The plain name of an item code 1..47 ("最新", "卖一"); "" for the others.
const char *QuotePanelItemName(int item);
// Row kinds: 1 ask levels, 2 bid levels, 3 plain, 4 average rows, 0 others.
int QuotePanelRowKind(int item);
// The item-list group of a market type: 1 -> 1, 3 -> 2, 4 -> 3, 6 -> 4,
// 7 -> 5, 8 -> 6, any other -> 0.
int DetailItemGroup(int marketType);

// [UI] "DetailItem3<group>": the per-user value, else the shared one, else
// the default; up to 32 codes, the rest of the list 0.
void LoadDetailItems(int group, uint8_t *items);
void LoadMarketDetailItems(int market, uint8_t *items);
// Writes the codes up to the first 0 (at most 32) to the per-user file.
void SaveDetailItems(int group, const uint8_t *items);
void SaveMarketDetailItems(int market, const uint8_t *items);

// One entry of "..\cfg\forfur.ini" [PARAM]: five '|'-separated fields,
// each trimmed and cut to 31 bytes (never half a character).
struct ForeignFuturesEntry {
  double multiplier = 1.0;  // a field that is not a positive number counts as 1
  char nativeUnit[32] = {};
  char convertedUnit[32] = {};
  int decimals = 0;  // held to 0..8
  char currency[32] = {};
};
// False for an empty text.
bool ParseForeignFuturesEntry(const char *text, ForeignFuturesEntry *entry);
// A rate or multiplier text: its value when it reads as a positive finite
// number, else 1.
double PositiveFactor(const char *text);

// The label of a value code for the view's instrument (never null).
const char *QuotePanelLabel(const TDrawView &view, int valueCode);
// The text of a value code and its colour index (0-based into the colour
// table); "---" with index 19 when there is no value.
void FormatQuotePanelValue(const TDrawView &view, char *text, size_t size, int *colorIndex, int valueCode);

// The underline under the hovered price cell; one for the whole program.
struct THoverUnderline {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool drawn = false;
  const TDrawView *view = nullptr;  // whose panel it is drawn on
};
THoverUnderline &HoverUnderline();
