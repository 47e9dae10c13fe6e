#include "trading/tradingoptions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/profile.h"
#include "trading/deskdata.h"

namespace {

int ReadInt(const char *section, const char *key, int fallback, const char *file) {
  return int(GetPrivateProfileIntA(section, key, fallback, file));
}
bool ReadFlag(const char *section, const char *key, int fallback, const char *file) {
  return ReadInt(section, key, fallback, file) != 0;
}
// A proportion stored as text, converted as a decimal number and clamped.
int ReadProportion(const char *key, int high, const char *file) {
  char text[32];
  GetPrivateProfileStringA("UI", key, "500000", text, sizeof text, file);
  return std::clamp(int(strtol(text, nullptr, 10)), kPPercentMin, high);
}

void WriteInt(const char *section, const char *key, int value, const char *file) {
  char text[16];
  snprintf(text, sizeof text, "%i", value);
  WritePrivateProfileStringA(section, key, text, file);
}
void WriteFlag(const char *section, const char *key, bool value, const char *file) {
  WritePrivateProfileStringA(section, key, value ? "1" : "0", file);
}

}  // namespace

void LoadTradingOptions(TradingOptions &o, const char *file, const char *cfg, int shortNameResult) {
  o.HideTradePanel = ReadInt("UI", "HideTradePanel", ReadInt("UI", "HideTradePanel", 0, cfg), file);
  o.PPercent = ReadProportion("PPercent", kPPercentMax, file);
  o.PPercentWidth = ReadProportion("PPercentWidth", kPPercentWidthMax, file);
  o.Left = ReadFlag("UI", "Left", 0, file);
  o.LayOut1 = ReadInt("UI", "LayOut1", 0, file);
  o.LayOut2 = ReadInt("UI", "LayOut2", 1, file);

  o.FloatUI = ReadFlag("Script", "FloatUI", ReadInt("Script", "FloatUI", 0, cfg), file);
  o.FloatUIAutoHide = ReadFlag("Script", "FloatUIAutoHide", ReadInt("Script", "FloatUIAutoHide", 1, cfg), file);
  o.QuickDeal = ReadFlag("Script", "QuickDeal", ReadInt("Script", "QuickDeal", 1, cfg), file);
  o.Alpha = ReadInt("Script", "Alpha", 0, file);
  o.ExpressOrder = ReadFlag("Config", "ExpressOrder", 0, file);
  o.DirectCancelOrder = ReadFlag("Script", "DirectCancelOrder", 1, file);
  o.ClickOrderToClose = ReadFlag("Script", "ClickOrderToClose", 1, file);
  o.FastClosePosition = ReadFlag("Script", "FastClosePosition", 0, file);
  o.ResetUI = ReadFlag("Script", "ResetUI", 1, file);
  o.ResetToNow = ReadFlag("Script", "ResetToNow", 0, file);
  o.ResetToOpen = ReadFlag("Script", "ResetToOpen", 1, file);
  o.UseLastClose = ReadFlag("Script", "UseLastClose", 0, file);
  o.StopLPrice = ReadInt("Script", "StopLPrice", 0, file);
  o.StopPPrice = ReadInt("Script", "StopPPrice", 0, file);
  o.StopExpiredDefault = ReadInt("Script", "StopExpiredDefault", 1, file);
  o.StopTriggerMethodL = ReadInt("Script", "StopTriggerMethodL", 0, file);
  o.StopTriggerMethodP = ReadInt("Script", "StopTriggerMethodP", 1, file);
  o.ReInputOrder = ReadFlag("Script", "ReInputOrder", 1, file);
  o.ReInputOrderS = ReadFlag("Script", "ReInputOrderS", 1, file);
  o.ActionOnLimit = ReadFlag("Script", "ActionOnLimit", 0, file);
  o.ActionOnLimitS = ReadFlag("Script", "ActionOnLimitS", 0, file);
  o.SyncContract = ReadFlag("Script", "SyncContract", 1, file);
  o.PlayDealSound = ReadFlag("Script", "PlayDealSound", 0, file);
  GetPrivateProfileStringA("Script", "DealSound", ".\\成交.wav", o.DealSound, sizeof o.DealSound, file);
  o.Autopending1 = ReadInt("Script", "Autopending1", 0, file);
  if (shortNameResult > 1) o.Autopending1 = 2;
  o.ManualOffset = ReadInt("Script", "ManualOffset", 0, file);
  o.FocusInputOrder = ReadInt("Script", "FocusInputOrder", 3, file);
  o.TimeOut = ReadInt("Script", "TimeOut", 5, file);
  o.TimeOutS = ReadInt("Script", "TimeOutS", o.TimeOut, file);
  o.PriceOffset = ReadInt("Script", "PriceOffset", 0, file);
  // Read as the file has them, but never in effect.
  ReadInt("Script", "PriceOffsetReInOrder", 0, file);
  ReadInt("Script", "PriceOffsetReInOrderS", 0, file);
  o.PriceOffsetReInOrder = 0;
  o.PriceOffsetReInOrderS = 0;
  o.PriceOffsetS = ReadInt("Script", "PriceOffsetS", o.PriceOffset, file);
  o.PriceOffsetSSell = ReadInt("Script", "PriceOffsetSSell", o.PriceOffset, file);
  o.StopTrigger = ReadInt("Script", "StopTrigger", 2, file);
  o.StopTriggerP = ReadInt("Script", "StopTriggerP", 1, file);
  o.DefaultPrice = ReadInt("Script", "DefaultPrice", 0, file);
  o.RefreshPrice = ReadFlag("Script", "RefreshPrice", 0, file);
  o.AutoLockSystem = ReadInt("Script", "AutoLockSystem", 0, file);
  o.AutoAdjustPrice = ReadInt("Script", "AutoAdjustPrice", 0, file);
  o.AutoCancleOrder = ReadFlag("Script", "AutoCancleOrder", 0, file);
  o.OrderColor = ReadInt("Script", "OrderColor", 0, file);

  o.KeyboardLayout = o.Layout == kLayoutKeyboard;
  o.HedgeFlag = '1';
}

void WriteTradingOptions(const TradingOptions &o, const char *file) {
  WriteFlag("Script", "FloatUI", o.FloatUI, file);
  WriteFlag("Script", "FloatUIAutoHide", o.FloatUIAutoHide, file);
  WriteFlag("Script", "QuickDeal", o.QuickDeal, file);
  WriteInt("Script", "Alpha", o.Alpha, file);
  WriteFlag("Config", "ExpressOrder", o.ExpressOrder, file);
  WriteFlag("Script", "DirectCancelOrder", o.DirectCancelOrder, file);
  WriteFlag("Script", "ClickOrderToClose", o.ClickOrderToClose, file);
  WriteFlag("Script", "FastClosePosition", o.FastClosePosition, file);
  WriteFlag("Script", "ResetUI", o.ResetUI, file);
  WriteFlag("Script", "ResetToNow", o.ResetToNow, file);
  WriteFlag("Script", "ResetToOpen", o.ResetToOpen, file);
  WriteFlag("Script", "UseLastClose", o.UseLastClose, file);
  WriteInt("Script", "StopLPrice", o.StopLPrice, file);
  WriteInt("Script", "StopPPrice", o.StopPPrice, file);
  WriteFlag("Script", "ReInputOrder", o.ReInputOrder, file);
  WriteFlag("Script", "ReInputOrderS", o.ReInputOrderS, file);
  WriteFlag("Script", "ActionOnLimit", o.ActionOnLimit, file);
  WriteFlag("Script", "ActionOnLimitS", o.ActionOnLimitS, file);
  WriteInt("Script", "StopExpiredDefault", o.StopExpiredDefault, file);
  WriteInt("Script", "StopTriggerMethodL", o.StopTriggerMethodL, file);
  WriteInt("Script", "StopTriggerMethodP", o.StopTriggerMethodP, file);
  WriteFlag("Script", "SyncContract", o.SyncContract, file);
  WriteFlag("Script", "PlayDealSound", o.PlayDealSound, file);
  WritePrivateProfileStringA("Script", "DealSound", o.DealSound, file);
  WriteInt("Script", "Autopending1", o.Autopending1, file);
  WriteInt("Script", "ManualOffset", o.ManualOffset, file);
  WriteInt("Script", "FocusInputOrder", o.FocusInputOrder, file);
  WriteInt("Script", "PriceOffset", o.PriceOffset, file);
  WriteInt("Script", "PriceOffsetReInOrder", 0, file);
  WriteInt("Script", "PriceOffsetS", o.PriceOffsetS, file);
  WriteInt("Script", "PriceOffsetSSell", o.PriceOffsetSSell, file);
  WriteInt("Script", "PriceOffsetReInOrderS", 0, file);
  WriteInt("Script", "TimeOut", o.TimeOut, file);
  WriteInt("Script", "TimeOutS", o.TimeOutS, file);
  WriteInt("Script", "StopTrigger", o.StopTrigger, file);
  WriteInt("Script", "StopTriggerP", o.StopTriggerP, file);
  WriteInt("Script", "DefaultPrice", o.DefaultPrice, file);
  WriteFlag("Script", "RefreshPrice", o.RefreshPrice, file);
  WriteInt("Script", "AutoLockSystem", o.AutoLockSystem, file);
  WriteInt("Script", "AutoAdjustPrice", o.AutoAdjustPrice, file);
  WriteFlag("Script", "AutoCancleOrder", o.AutoCancleOrder, file);
  WriteInt("Script", "OrderColor", o.OrderColor, file);
}

void WriteSimpleUI(int layout, const char *cfgFile) {
  const char *stored = layout == kLayoutKeyboard ? "0"
                       : layout == kLayoutQuick  ? "2"
                       : layout == kLayoutArbitrage ? "3"
                                                     : "1";
  WritePrivateProfileStringA("Script", "SimpleUI", stored, cfgFile);
}

COLORREF OrderAreaColour(int orderColor) {
  return orderColor == 0 ? 0xFFFFFF : orderColor == 1 ? 0xEED6CD : 0xC2C1C3;
}

// ---- per-product stores ----

namespace {

bool SameProduct(const CContractInfo &contract, const char *product) {
  char own[9];
  ContractProductCodeOf(contract.InstrumentID, own);
  return strcmp(own, product) == 0;
}

void WriteStops(const char *section, const char *product, uint32_t loss, uint32_t profit, uint32_t trailing,
                const std::string &file) {
  char text[48];
  snprintf(text, sizeof text, "%u,%u,%u", loss, profit, trailing);
  WritePrivateProfileStringA(section, product, text, file.c_str());
}

}  // namespace

const char *const kTrailingNeedsLossText = "浮动止损必须与止损配合使用，请填写止损数值。  ";

bool StoreDefaultVolume(TTradeDesk &desk, const char *product, bool close, int value) {
  value = std::clamp(value, close ? 0 : 1, 32767);
  CContractInfo *first = nullptr;
  for (int i = 0; i < desk.contractCount && !first; ++i)
    if (SameProduct(desk.contracts[i], product)) first = &desk.contracts[i];
  if (!first || (close ? first->DefaultCloseVolume : first->DefaultOpenVolume) == value) return false;
  WriteInt(close ? "DefCloseVol" : "DefVol", product, value, desk.AccountFile("Consign.ini").c_str());
  for (int i = 0; i < desk.contractCount; ++i) {
    CContractInfo &c = desk.contracts[i];
    if (SameProduct(c, product)) (close ? c.DefaultCloseVolume : c.DefaultOpenVolume) = value;
  }
  return true;
}

AutoStopStore StoreAutoStops(TTradeDesk &desk, const char *product, bool sell, int loss, int profit,
                             int trailing) {
  const uint32_t l = uint32_t(std::clamp(loss, 0, 32767));
  const uint32_t p = uint32_t(std::clamp(profit, 0, 32767));
  const uint32_t t = uint32_t(std::clamp(trailing, 0, 32767));
  if (t != 0 && l == 0) return AutoStopStore::TrailingWithoutLoss;
  CContractInfo *first = nullptr;
  for (int i = 0; i < desk.contractCount && !first; ++i)
    if (SameProduct(desk.contracts[i], product)) first = &desk.contracts[i];
  if (!first) return AutoStopStore::Unchanged;
  const bool same = sell ? (first->SellLoss == l && first->SellProfit == p && first->SellTrailing == t)
                         : (first->BuyLoss == l && first->BuyProfit == p && first->BuyTrailing == t);
  if (same) return AutoStopStore::Unchanged;
  for (int i = 0; i < desk.contractCount; ++i) {
    CContractInfo &c = desk.contracts[i];
    if (!SameProduct(c, product)) continue;
    (sell ? c.SellLoss : c.BuyLoss) = l;
    (sell ? c.SellProfit : c.BuyProfit) = p;
    (sell ? c.SellTrailing : c.BuyTrailing) = t;
  }
  WriteStops(sell ? "AutoSellStop" : "AutoBuyStop", product, l, p, t, desk.AccountFile("Consign.ini"));
  return AutoStopStore::Stored;
}

void ResetAutoStops(TTradeDesk &desk) {
  const std::string file = desk.AccountFile("Consign.ini");
  for (int i = 0; i < desk.contractCount; ++i) {
    CContractInfo &c = desk.contracts[i];
    c.BuyLoss = c.SellLoss = c.BuyProfit = c.SellProfit = c.BuyTrailing = c.SellTrailing = 0;
    char product[9];
    ContractProductCodeOf(c.InstrumentID, product);
    WriteStops("AutoBuyStop", product, 0, 0, 0, file);
    WriteStops("AutoSellStop", product, 0, 0, 0, file);
  }
}

void ResetDefaultVolumes(TTradeDesk &desk, bool close) {
  const std::string file = desk.AccountFile("Consign.ini");
  for (int i = 0; i < desk.contractCount; ++i) {
    CContractInfo &c = desk.contracts[i];
    (close ? c.DefaultCloseVolume : c.DefaultOpenVolume) = close ? 0 : 1;
    char product[9];
    ContractProductCodeOf(c.InstrumentID, product);
    WritePrivateProfileStringA(close ? "DefCloseVol" : "DefVol", product, close ? "0" : "1", file.c_str());
  }
}

void StoreQuickOrderKeys(TTradeDesk &desk, const char keys[15]) {
  for (int slot = 0; slot < 15; ++slot) {
    int32_t value = 0;
    if (slot >= 5 && slot <= 8) {
      char key;
      desk.FindOptionShortcut(slot, &key, &value);
    } else if (slot >= 9 && slot <= 11) {
      value = 1;
    }
    desk.SetOptionShortcut(slot, keys[slot], value);
  }
}
