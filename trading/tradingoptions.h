// The investor's trading options: one record loaded from the account's
// "Consign.ini" at every trade login, with defaults from the shared
// "..\cfg\Consign.ini" where the option says so, and written back when the
// options dialog is confirmed. Also the per-product stores the dialog makes
// at once (default volumes, automatic stop distances) and the quick-order
// keys it confirms, so the dialog itself only binds controls.
#pragma once

#include <cstdint>

#include "platform/windef.h"

class TTradeDesk;

// The order-entry layouts.
enum : int { kLayoutNormal = 0, kLayoutKeyboard = 1, kLayoutQuick = 2, kLayoutArbitrage = 3 };

struct TradingOptions {
  // [UI]
  int HideTradePanel = 0;
  int PPercent = 500000;
  int PPercentWidth = 500000;
  bool Left = false;
  int LayOut1 = 0;
  int LayOut2 = 1;
  // [Script] and [Config]
  bool FloatUI = false;
  bool FloatUIAutoHide = true;
  bool QuickDeal = true;
  int Alpha = 0;
  bool ExpressOrder = false;  // [Config]
  bool DirectCancelOrder = true;
  bool ClickOrderToClose = true;
  bool FastClosePosition = false;
  bool ResetUI = true;
  bool ResetToNow = false;
  bool ResetToOpen = true;
  bool UseLastClose = false;
  int StopLPrice = 0;
  int StopPPrice = 0;
  int StopExpiredDefault = 1;
  int StopTriggerMethodL = 0;
  int StopTriggerMethodP = 1;
  bool ReInputOrder = true;
  bool ReInputOrderS = true;
  bool ActionOnLimit = false;
  bool ActionOnLimitS = false;
  bool SyncContract = true;
  bool PlayDealSound = false;
  char DealSound[260] = ".\\成交.wav";
  int Autopending1 = 0;
  int ManualOffset = 0;
  int FocusInputOrder = 3;
  int TimeOut = 5;
  int TimeOutS = 5;
  int PriceOffset = 0;
  int PriceOffsetReInOrder = 0;  // always 0 in effect
  int PriceOffsetS = 0;
  int PriceOffsetSSell = 0;
  int PriceOffsetReInOrderS = 0;  // always 0 in effect
  int StopTrigger = 2;
  int StopTriggerP = 1;
  int DefaultPrice = 0;
  bool RefreshPrice = false;
  int AutoLockSystem = 0;
  int AutoAdjustPrice = 0;
  bool AutoCancleOrder = false;
  int OrderColor = 0;

  // Not keys: the order-entry layout the login chose, whether it is the
  // keyboard layout, and the hedge flag of new orders.
  int Layout = kLayoutNormal;
  bool KeyboardLayout = false;
  char HedgeFlag = '1';

  bool operator==(const TradingOptions &) const = default;
};

// The panel proportions' ranges, parts per million.
constexpr int kPPercentMin = 293023;
constexpr int kPPercentMax = 706977;
constexpr int kPPercentWidthMax = 465000;

// Loads every key from accountFile, taking the defaults marked shared from
// cfgFile. shortNameResult is what the plug-in's short-name call answers
// with no buffer: above 1, open-trigger orders are off (Autopending1 2).
// The layout is kept; the keyboard flag follows it; the hedge flag becomes
// speculation.
void LoadTradingOptions(TradingOptions &options, const char *accountFile, const char *cfgFile,
                        int shortNameResult);
// Writes the options the dialog confirms, in their order, then OrderColor.
void WriteTradingOptions(const TradingOptions &options, const char *accountFile);
// The layout into the shared file's [Script] SimpleUI.
void WriteSimpleUI(int layout, const char *cfgFile = "..\\cfg\\Consign.ini");
// The colour (BGR) of the quick-order area for OrderColor.
COLORREF OrderAreaColour(int orderColor);

// ---- per-product stores of the options dialog ----

// The default open (or close) volume of every contract of the product,
// clamped to 1..32767 (0..32767 for close) and written to [DefVol]
// ([DefCloseVol]); false when the value was unchanged and nothing stored.
bool StoreDefaultVolume(TTradeDesk &desk, const char *product, bool close, int value);

enum class AutoStopStore { Stored, Unchanged, TrailingWithoutLoss };
// The text shown when a trailing distance comes without a loss.
extern const char *const kTrailingNeedsLossText;
// The automatic stop distances of one side of every contract of the
// product, each clamped to 0..32767, written to [AutoBuyStop]
// ([AutoSellStop]) as "%u,%u,%u".
AutoStopStore StoreAutoStops(TTradeDesk &desk, const char *product, bool sell, int loss, int profit,
                             int trailing);
// "全部复位" of the automatic stops: every distance of every contract 0 and
// "0,0,0" under both sections for each product.
void ResetAutoStops(TTradeDesk &desk);
// "全部复位" of the default volumes: every open volume 1 (close volume 0).
void ResetDefaultVolumes(TTradeDesk &desk, bool close);
// The fifteen quick-order keys the dialog confirms (0: none): slots 5 to 8
// keep their values, 9 to 11 get 1, the others 0.
void StoreQuickOrderKeys(TTradeDesk &desk, const char keys[15]);
