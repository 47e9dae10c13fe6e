#include "trading/optiondlg.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/beep.h"

const char *const TOptionDlg::kTabNames[7] = {"交易界面", "快捷操作", "止损止盈", "自动止损止盈",
                                              "默认开仓手数", "默认平仓手数", "快捷键"};

void TValuePair::Check(bool on) {
  checked = on;
  if (!on) value = neutral;
}

int TValuePair::Stored() const { return checked ? std::clamp(value, low, high) : 0; }

namespace {

TValuePair Pair(int stored, int low, int high, int neutral) {
  TValuePair pair;
  pair.low = low;
  pair.high = high;
  pair.neutral = neutral;
  pair.checked = stored != 0;
  pair.value = stored != 0 ? stored : neutral;
  return pair;
}

// The plain and the re-order time-out boxes of one page.
void FillTimeOuts(int timeOut, bool reorder, TValuePair &plain, TValuePair &again) {
  plain = Pair(0, 1, 32767, 5);
  again = Pair(0, 1, 32767, 5);
  plain.checked = timeOut > 0;
  if (reorder) {
    again.checked = true;
    plain.checked = false;
  }
  (plain.checked ? plain : again).value = plain.checked || again.checked ? timeOut : 5;
}

}  // namespace

TOptionDlg::TOptionDlg(TTradeDesk &desk) : desk_(desk) {
  edited = before_ = desk.options;
  keyboardBox = edited.Layout == kLayoutKeyboard;
  FillPairs();
  for (int i = 0; i < desk.contractCount; ++i) {
    char product[9], previous[9] = {};
    ContractProductCodeOf(desk.contracts[i].InstrumentID, product);
    if (i) ContractProductCodeOf(desk.contracts[i - 1].InstrumentID, previous);
    if (i && strcmp(product, previous) == 0) continue;
    products.push_back(product);
    productFirst_.push_back(i);
  }
  BuildStopLines();
  BuildVolumeLines();
  BuildShortLines();
  for (int slot = 0; slot < 15; ++slot) desk.FindOptionShortcut(slot, &keys[slot], nullptr);
}

void TOptionDlg::FillPairs() {
  const TradingOptions &o = edited;
  priceOffset = Pair(o.PriceOffset, -10000, 32767, 0);
  priceOffsetS = Pair(o.PriceOffsetS, -10000, 32767, 0);
  priceOffsetSSell = Pair(o.PriceOffsetSSell, -10000, 32767, 0);
  autoLock = Pair(o.AutoLockSystem, 1, 32767, 5);
  autoAdjust = Pair(o.AutoAdjustPrice, 1, 20, 1);
  FillTimeOuts(o.TimeOut, o.ReInputOrder, timeOut, reorderTimeOut);
  FillTimeOuts(o.TimeOutS, o.ReInputOrderS, timeOutS, reorderTimeOutS);
  SetStopPriceKinds(o.StopLPrice, o.StopPPrice);
}

void TOptionDlg::Box(const char *text, const char *caption, UINT type) const {
  MessageBoxA(desk_.owner, text, caption, type | MB_TOPMOST);
}

void TOptionDlg::CheckTimeOut(bool stopPage, bool reorder, bool on) {
  TValuePair &mine = stopPage ? (reorder ? reorderTimeOutS : timeOutS) : (reorder ? reorderTimeOut : timeOut);
  TValuePair &other = stopPage ? (reorder ? timeOutS : reorderTimeOutS) : (reorder ? timeOut : reorderTimeOut);
  mine.Check(on);
  if (on) other.Check(false);
}

void TOptionDlg::SetStopPriceKinds(int lossKind, int profitKind) {
  edited.StopLPrice = lossKind;
  edited.StopPPrice = profitKind;
  const bool enabled = lossKind == 0 || profitKind == 0;
  for (TValuePair *pair : {&priceOffsetS, &priceOffsetSSell}) {
    if (!enabled) pair->Check(false);
    pair->enabled = enabled;
  }
}

void TOptionDlg::SetExpressOrder(bool on) {
  edited.ExpressOrder = on;
  if (on)
    Box("启用“一键下单”后，按下“买入”或“卖出”按钮时委托将直接发出，不再需要确认。  ", "警告", MB_OK | MB_ICONWARNING);
}

// ---- layout ----

void TOptionDlg::DropDownLayout(int combo) { layoutBeforeDrop_[combo] = combo ? edited.LayOut2 : edited.LayOut1; }

void TOptionDlg::ChangeLayout(int combo, int value) {
  int &mine = combo ? edited.LayOut2 : edited.LayOut1;
  const int other = combo ? edited.LayOut1 : edited.LayOut2;
  mine = value;
  if (value == other) {
    Box("请选择不同的版面!", "提示", MB_OK | MB_ICONINFORMATION);
    mine = layoutBeforeDrop_[combo];
  }
  char text[16];
  snprintf(text, sizeof text, "%i", mine);
  WritePrivateProfileStringA("UI", combo ? "LayOut2" : "LayOut1", text, desk_.AccountFile("Consign.ini").c_str());
}

void TOptionDlg::SetLeft(bool left) {
  edited.Left = left;
  WritePrivateProfileStringA("UI", "Left", left ? "1" : "0", desk_.AccountFile("Consign.ini").c_str());
}

// ---- per-product lists ----

const CContractInfo *TOptionDlg::ProductContract(int product) const {
  if (product < 0 || product >= int(productFirst_.size())) return nullptr;
  return &desk_.contracts[productFirst_[size_t(product)]];
}

std::string TOptionDlg::StopLineText(int product, bool sell) const {
  const CContractInfo &c = *ProductContract(product);
  char text[96];
  snprintf(text, sizeof text, sell ? " %2s      卖: 损%4u     盈%4u     浮%4u" : " %2s    买  : 损%4u     盈%4u     浮%4u",
           products[size_t(product)].c_str(), sell ? c.SellLoss : c.BuyLoss, sell ? c.SellProfit : c.BuyProfit,
           sell ? c.SellTrailing : c.BuyTrailing);
  return text;
}

void TOptionDlg::BuildStopLines() {
  stopLines.clear();
  for (int p = 0; p < int(products.size()); ++p) {
    const CContractInfo &c = *ProductContract(p);
    const bool buySet = c.BuyLoss || c.BuyProfit, sellSet = c.SellLoss || c.SellProfit;
    for (int i = 0; i < 4; ++i) {
      TOptionLine line;
      if (i < 2) line.text = StopLineText(p, i == 1);
      // The side of a line is its parity.
      line.colour = (i % 2 ? sellSet : buySet) ? kStopLineColour : 0xFFFFFF;
      stopLines.push_back(line);
    }
  }
}

void TOptionDlg::BuildVolumeLines() {
  openLines.clear();
  closeLines.clear();
  for (int p = 0; p < int(products.size()); ++p) {
    char text[48];
    snprintf(text, sizeof text, "%2s : %i", products[size_t(p)].c_str(), ProductContract(p)->DefaultOpenVolume);
    openLines.push_back(text);
    snprintf(text, sizeof text, "%2s : %i", products[size_t(p)].c_str(), ProductContract(p)->DefaultCloseVolume);
    closeLines.push_back(text);
  }
}

void TOptionDlg::SelectStopLine(int line) {
  selectedLine = line;
  const CContractInfo *c = ProductContract(line / 4);
  if (!c) return;
  const bool sell = line % 2;
  lossEdit = int(sell ? c->SellLoss : c->BuyLoss);
  profitEdit = int(sell ? c->SellProfit : c->BuyProfit);
  trailingEdit = int(sell ? c->SellTrailing : c->BuyTrailing);
}

void TOptionDlg::ModifyStops(bool quiet) {
  const int product = selectedLine < 0 ? -1 : selectedLine / 4;
  if (!ProductContract(product)) {
    if (!quiet) Box("请先选择合约。  ", "提示", MB_OK | MB_ICONINFORMATION);
    return;
  }
  const bool sell = selectedLine % 2;
  const AutoStopStore result =
      StoreAutoStops(desk_, products[size_t(product)].c_str(), sell, lossEdit, profitEdit, trailingEdit);
  if (result == AutoStopStore::TrailingWithoutLoss) {
    if (!quiet) Box(kTrailingNeedsLossText, "错误", MB_OK | MB_ICONERROR);
    return;
  }
  if (result == AutoStopStore::Stored) BuildStopLines();
}

void TOptionDlg::ModifyVolume(bool close) {
  const int product = selectedLine;
  if (!ProductContract(product)) {
    Box("请先选择合约。  ", "提示", MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (StoreDefaultVolume(desk_, products[size_t(product)].c_str(), close, volumeEdit)) BuildVolumeLines();
}

void TOptionDlg::ResetAll() {
  static const char *const kQuestions[] = {"删除所有品种的自动止损止盈设置，是否确认？  ",
                                           "将所有品种的默认开仓手数恢复为 1，是否确认？  ",
                                           "将所有品种的默认平仓手数恢复为 0，是否确认？  "};
  if (tab < kAutoStop || tab > kCloseVolume) return;
  if (MessageBoxA(desk_.owner, kQuestions[tab - kAutoStop], "确认", MB_YESNO | MB_ICONWARNING | MB_TOPMOST) != IDYES)
    return;
  if (tab == kAutoStop) {
    ResetAutoStops(desk_);
    BuildStopLines();
  } else {
    ResetDefaultVolumes(desk_, tab == kCloseVolume);
    BuildVolumeLines();
  }
}

// ---- short names ----

void TOptionDlg::BuildShortLines() {
  shortLines.clear();
  for (int i = 0; i < desk_.shortNames.GetCount(); ++i) {
    const ShortContractName &n = desk_.shortNames.GetData()[i];
    char text[40];
    snprintf(text, sizeof text, "%.7s = %.7s", n.ShortName, n.Contract);
    shortLines.push_back(text);
  }
}

const char *TOptionDlg::ShortButtonText() const {
  for (int i = 0; i < desk_.shortNames.GetCount(); ++i)
    if (strncasecmp(desk_.shortNames.GetData()[i].ShortName, shortName.c_str(), 8) == 0 && !shortName.empty())
      return "修改";
  return "添加";
}

void TOptionDlg::AddOrChangeShortName() {
  if (shortName.empty()) return Box("请输入快捷键。  ", "确认", MB_OK | MB_ICONINFORMATION);
  if (shortTarget.empty()) return Box("请输入被代表的字符串。  ", "确认", MB_OK | MB_ICONINFORMATION);
  ShortContractName record{};
  CopyGbkCut(record.ShortName, sizeof record.ShortName, shortName.substr(0, 6).c_str());
  CopyGbkCut(record.Contract, sizeof record.Contract, shortTarget.substr(0, 6).c_str());
  bool found = false;
  for (int i = 0; i < desk_.shortNames.GetCount() && !found; ++i) {
    ShortContractName &n = desk_.shortNames.GetData()[i];
    if (strncasecmp(n.ShortName, record.ShortName, sizeof n.ShortName) == 0) {
      std::memcpy(n.Contract, record.Contract, sizeof n.Contract);
      found = true;
    }
  }
  if (!found) {
    if (desk_.shortNames.Add(record) < 0) return Box("内存不足，无法添加快捷键。  ", "错误", MB_OK | MB_ICONERROR);
    shortName.clear();
    shortTarget.clear();
  }
  BuildShortLines();
  desk_.SaveShortContractNames();
}

void TOptionDlg::DeleteShortName() {
  if (selectedShort < 0 || selectedShort >= desk_.shortNames.GetCount()) return;
  if (MessageBoxA(desk_.owner, "删除选中的快捷键?  ", "确认", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES) return;
  const ShortContractName &n = desk_.shortNames.GetData()[selectedShort];
  if (strncasecmp(n.ShortName, shortName.c_str(), sizeof n.ShortName) == 0) {
    shortName.clear();
    shortTarget.clear();
  }
  desk_.shortNames.RemoveAt(selectedShort, 1);
  desk_.SaveShortContractNames();
  shortLines.erase(shortLines.begin() + selectedShort);
  selectedShort = -1;
}

// ---- quick-order keys ----

bool TOptionDlg::SetKey(int slot, char key) {
  if (slot < 0 || slot > 14) return false;
  if (!isalnum(static_cast<unsigned char>(key))) {
    keys[slot] = 0;
    Box("快捷键只能为字母或数字。  ", "提示", MB_OK | MB_ICONINFORMATION);
    return false;
  }
  key = char(toupper(static_cast<unsigned char>(key)));
  const int first = slot < 5 ? 0 : 5, last = slot < 5 ? 4 : 14;
  for (int other = first; other <= last; ++other) {
    if (other == slot || keys[other] != key) continue;
    static const char *const kGroupTexts[] = {"买入、卖出快捷键冲突。  ", "买入、卖出快捷键冲突。  ",
                                              "指定的快捷键与开仓快捷键有冲突。  ",
                                              "指定的快捷键与平仓快捷键有冲突。  ",
                                              "指定的快捷键与平今快捷键有冲突。  "};
    keys[slot] = 0;
    Box(slot < 5 ? kGroupTexts[other] : "指定的快捷键与其它快捷键冲突，请重新指定。  ", "提示",
        MB_OK | MB_ICONINFORMATION);
    return false;
  }
  keys[slot] = key;
  return true;
}

// ---- deal sound and help ----

void TOptionDlg::PlaySound() {
  if (!PlaySoundA(edited.DealSound, nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT))
    Box("指定的声音文件不存在。  ", "提示", MB_OK | MB_ICONINFORMATION);
}

std::string TOptionDlg::HelpAddress() const {
  static const char *const kAnchors[] = {"#option1", "", "#option2", "", "#defvol", "#shortcut", "#autostop"};
  return std::string(".\\help\\trading.htm") + kAnchors[tab];
}

// ---- OK ----

void TOptionDlg::Ok() {
  if (tab == kAutoStop) ModifyStops(true);
  TradingOptions &o = edited;
  o.PriceOffset = priceOffset.Stored();
  o.PriceOffsetS = priceOffsetS.Stored();
  o.PriceOffsetSSell = priceOffsetSSell.Stored();
  o.AutoLockSystem = autoLock.Stored();
  o.AutoAdjustPrice = autoAdjust.Stored();
  o.TimeOut = timeOut.checked ? timeOut.Stored() : reorderTimeOut.Stored();
  o.TimeOutS = timeOutS.checked ? timeOutS.Stored() : reorderTimeOutS.Stored();
  o.ReInputOrder = reorderTimeOut.checked;
  o.ReInputOrderS = reorderTimeOutS.checked;
  o.PriceOffsetReInOrder = o.PriceOffsetReInOrderS = 0;
  o.ActionOnLimit = o.ActionOnLimitS = false;
  o.StopTrigger = std::clamp(o.StopTrigger, 1, 6);
  o.StopTriggerP = std::clamp(o.StopTriggerP, 1, 6);
  o.DealSound[sizeof o.DealSound - 1] = 0;
  if (keyboardBox) o.Layout = kLayoutKeyboard;
  else if (o.Layout == kLayoutKeyboard) o.Layout = kLayoutNormal;
  o.KeyboardLayout = o.Layout == kLayoutKeyboard;
  WriteSimpleUI(o.Layout);
  WriteTradingOptions(o, desk_.AccountFile("Consign.ini").c_str());
  StoreQuickOrderKeys(desk_, keys);
  desk_.options = o;
}
