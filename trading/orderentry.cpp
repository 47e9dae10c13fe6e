#include "trading/orderentry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "core/emem.h"
#include "market/dataio5.h"
#include "market/merger.h"
#include "platform/clock.h"
#include "platform/gbk.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "trading/deskdata.h"
#include "trading/manualorder.h"
#include "trading/orderpanel.h"
#include "trading/pluginapi.h"
#include "trading/pttlink.h"
#include "trading/tradedesk.h"

namespace {

const char kEntryNotTradable[] = "指定的合约不存在或不可交易。";
const char kEntryExpressText[] = "警告: 按下买入或卖出将直接下单";

// A text cut to at most n bytes, never inside a character.
std::string EntryBounded(const std::string &text, size_t n) { return text.substr(0, platform::GbkCutLength(text, n)); }

// The same into a field, without a new buffer when the field has room.
void EntryAssignBounded(std::string &field, const std::string &text, size_t n) {
  field.assign(text, 0, platform::GbkCutLength(text, n));
}

// The bar's price after the panel's, bounded like every copy into the bar;
// false when the bar showed it already.
bool EntryMirrorPrice(TQuickDealBarModel &bar, const TOrderFields &f) {
  const size_t n = f.price.size() <= kPriceTextMax ? f.price.size() : platform::GbkCutLength(f.price, kPriceTextMax);
  const bool enabled = f.priceKind != 1;
  if (bar.priceEnabled == enabled && bar.price.size() == n && PanelSameBytes(bar.price.data(), f.price.data(), n))
    return false;
  bar.price.assign(f.price, 0, n);
  bar.priceEnabled = enabled;
  return true;
}

// A fixed text into a field; false when it held it already.
bool EntryShow(std::string &out, const char *text) {
  if (out == text) return false;
  out.assign(text);
  return true;
}

bool EntryClear(std::string &out) {
  if (out.empty()) return false;
  out.clear();
  return true;
}

std::string EntryHint(double price, int decimals) {
  std::string hint;
  PrintPriceWithDecimals(hint, price + 0.000001, decimals, "^");
  return hint;
}

bool EntryArbitrageCode(const char *code) {
  return strncmp(code, "IF", 2) == 0 || strncmp(code, "if", 2) == 0 || strncmp(code, "TF", 2) == 0 ||
         strncmp(code, "tf", 2) == 0;
}

// The trading contract of an instrument, or null.
const CContractInfo *EntryContractOf(const TTradeDesk &data, STKPTR stock) {
  if (stock.IsNone()) return nullptr;
  for (int i = 0; i < data.contractCount; ++i)
    if (SameStock(data.contracts[i].Stock, stock)) return &data.contracts[i];
  return nullptr;
}

const char kEntryOffsetOfItem[5] = {'0', '3', '1', '0', '0'};
const COLORREF kEntryOffsetColour[5] = {kEntryWhite, 0xFCECDF, 0xD8E9EC, kEntryWhite, kEntryWhite};

// The keyboard panel's and the bar's buttons: direction and offset.
struct EntryButton {
  bool buy;
  char offset;
};
// By tag 1..6.
const EntryButton kEntryKeyboardButtons[7] = {{true, '0'},  {true, '0'}, {false, '3'}, {false, '1'},
                                              {false, '0'}, {true, '3'}, {true, '1'}};
// By tag 0..5.
const EntryButton kEntryBarButtons[6] = {{true, '0'}, {false, '0'}, {true, '3'},
                                         {false, '3'}, {true, '1'}, {false, '1'}};

}  // namespace

void LinkSecondCode(const char *code, int kind, char out[8]) {
  memset(out, 0, 8);
  if (kind != 2 || strnlen(code, 8) != 6) return;
  out[0] = code[0];
  out[1] = code[1];
  out[2] = code[3];
  out[3] = code[4];
  out[4] = code[5];
}

TOrderEntry::TOrderEntry(TTradingDesk &desk, TOrderPanel &panel, TManualOrder &manual)
    : desk_(desk), data_(desk.Data()), panel_(panel), manual_(manual) {
  for (int layout = 0; layout < 2; ++layout) {
    panel_.fields[layout].spinMin = 1;
    panel_.fields[layout].spinMax = 32767;
  }
}

int TOrderEntry::PanelLayout() const {
  const int layout = data_.options.Layout;
  return layout == 1 || layout == 2 ? layout : 0;
}

TOrderFields &TOrderEntry::Fields(int layout) { return panel_.fields[layout == 1 || layout == 2 ? layout : 0]; }

const CContractInfo *TOrderEntry::PanelContractInfo() const {
  return EntryContractOf(data_, panel_.PanelContract);
}

std::string TOrderEntry::WordText(int kind, const char *other) const {
  return kind >= 0 && kind < 5 ? kPriceWords[kind] : other;
}

void TOrderEntry::Status(const std::string &text, COLORREF colour) {
  panel_.hint = text;
  panel_.hintColour = colour;
  panel_.hintShown = true;
}

void TOrderEntry::ExpressWarning() {
  if (data_.options.ExpressOrder) Status(kEntryExpressText, kEntryRed);
}

int TOrderEntry::DefaultVolume(const CContractInfo *contract, bool limited) const {
  const int volume = contract ? contract->DefaultOpenVolume : 1;
  return limited ? std::clamp(volume, 1, 32767) : volume;
}

void TOrderEntry::SetVolume(TOrderFields &f, int volume) {
  f.volume = std::to_string(volume);
  f.spinPosition = volume;
}

bool TOrderEntry::PageIsRefocusable() const {
  return desk_.pageState >= 12 && desk_.pageState <= 15 && !desk_.collapsed;
}

// ---- set-up ----

void TOrderEntry::ApplyGrapPriceMode(int mode) {
  grapPriceMode = mode;
  if (mode == 0) {
    ordinary.offsetItems = {"1.开仓", "2.平今", "3.平仓"};
    ordinary.offsetRows = 3;
  } else if (mode == 1) {
    ordinary.offsetItems = {"1.开仓", "2.平今", "3.平仓", "4.买开", "5.卖开"};
    ordinary.offsetRows = 5;
  }
}

void TOrderEntry::LoadGrapPriceMode() {
  ApplyGrapPriceMode(int(GetPrivateProfileIntA("Option", "GrapPriceMode", 0, "..\\cfg\\Trading.ini")));
}

void TOrderEntry::ApplyQuickOrderKeys() {
  const auto keyOf = [this](int slot) {
    char key = 0;
    data_.FindOptionShortcut(slot, &key, nullptr);
    return key;
  };
  const auto item = [&](int slot, const char *text) {
    const char key = keyOf(slot);
    if (!key) return std::string(text);
    return std::string(1, key) + "." + text;
  };
  quick.directionItems[0] = item(0, "买入");
  quick.directionItems[1] = item(1, "卖出");
  quick.offsetItems[0] = item(2, "开仓");
  quick.offsetItems[1] = item(4, "平今");
  quick.offsetItems[2] = item(3, "平仓");
  const int slots[4] = {5, 6, 7, 8};
  for (int i = 0; i < 4; ++i) {
    const char key = keyOf(slots[i]);
    quick.keys[i] = key ? std::string(1, key) : std::string();
  }
  for (int row = 0; row < 2; ++row) {
    int32_t value = 0;
    char key = 0;
    data_.FindOptionShortcut(5 + row, &key, &value);
    quick.ticks[row] = std::to_string(value);
  }
  quick.orderColor = data_.options.OrderColor;
  quick.colour = data_.options.OrderColor == 0 ? kEntryWhite : data_.options.OrderColor == 1 ? 0xEED6CD : 0xC2C1C3;
}

// ---- shared ----

bool TOrderEntry::QuoteRefreshes(STKPTR stock) const {
  if (panel_.PanelContract.IsNone() || !SameStock(stock, panel_.PanelContract)) return false;
  if (data_.options.Layout == 0) return PriceWordOf(panel_.fields[0].price.c_str()) >= 0;
  return true;
}

bool TOrderEntry::UpdatePriceFields(STKPTR stock) { return RefreshPriceTexts(stock, nullptr); }

bool TOrderEntry::RefreshPriceTexts(STKPTR stock, const TQuoteScale *scale) {
  quoteTextsChanged = 0;
  if (data_.contractCount <= 0 || !data_.contracts) return false;
  const int layout = PanelLayout();
  TOrderFields &f = Fields(layout);
  bool field = false, lines = false;  // the price field, the price lines
  if (panel_.PanelContract.IsNone()) {
    field = EntryClear(f.price);
    if (layout == 0) lines = EntryClear(ordinary.buyHint) | EntryClear(ordinary.sellHint);
    if (layout == 1) lines = EntryClear(keyboard.buyLabel) | EntryClear(keyboard.sellLabel);
  } else if (!stock.IsNone() && SameStock(stock, panel_.PanelContract)) {
    const bool lastClose = data_.options.UseLastClose;
    // The pushed quote's scale when the frame handed it on: no second look-up.
    const TQuoteScale quoteScale = scale ? *scale : QuoteScaleOf(panel_.PanelContract);
    if (layout == 0) {
      const TQuotePrices q = QuotePricesOf(quoteScale);
      if (f.priceKind == 1) {
        field = EntryShow(f.price, "市价");
        lines = EntryClear(ordinary.buyHint) | EntryClear(ordinary.sellHint);
      } else if (const double typed = FieldPrice(f.price.c_str()); typed > 0) {
        lines = buyHintText_.Print(ordinary.buyHint, typed + 0.000001, q.decimals, "^");
        lines |= sellHintText_.Print(ordinary.sellHint, typed + 0.000001, q.decimals, "^");
      } else {
        const int word = std::clamp(panel_.OrdinaryPriceKind, 0, 4);
        field = EntryShow(f.price, kPriceWords[word]);
        lines = buyHintText_.Print(ordinary.buyHint, WordPrice(word, true, q, lastClose) + 0.000001, q.decimals, "^");
        lines |= sellHintText_.Print(ordinary.sellHint, WordPrice(word, false, q, lastClose) + 0.000001, q.decimals,
                                     "^");
      }
    } else if (layout == 1) {
      // Only the prices shown are read: this runs on every quote.
      const TQuoteScale &q = quoteScale;
      // A word is no price: the text is read as a number only otherwise.
      const int word = PriceWordOf(f.price.c_str());
      const double typed = word >= 0 ? 0 : FieldPrice(f.price.c_str());
      if (typed > 0 || word == kWordLast || word == kWordLimitUp || word == kWordLimitDown || !q.quote) {
        const double price =
            typed > 0 || !q.quote ? typed : WordPrice(word, true, QuotePricesOf(q), false);
        lines = buyLabelText_.Print(keyboard.buyLabel, price, q.decimals);
        lines |= sellLabelText_.Print(keyboard.sellLabel, price, q.decimals);
      } else {
        // The book's prices as the quote holds them: most quotes leave one
        // side or both as they were.
        const uint32_t bid = q.quote->bid[0].price, ask = q.quote->ask[0].price;
        const bool opposite = word == kWordOpposite;
        lines = buyLabelText_.PrintRaw(keyboard.buyLabel, opposite ? ask : bid, q);
        lines |= sellLabelText_.PrintRaw(keyboard.sellLabel, opposite ? bid : ask, q);
      }
      const int kind = panel_.KeyboardPriceKind >= 0 && panel_.KeyboardPriceKind < 5 ? panel_.KeyboardPriceKind
                                                                                      : kWordLimitDown;
      if (f.priceKind == 1)
        field = EntryShow(f.price, "市价");
      else if (typed == 0 && word != kind)
        field = EntryShow(f.price, kPriceWords[kind]);
    } else {
      const TQuoteScale &q = quoteScale;
      const double price = q.quote ? q.Price(quick.direction == 0 ? q.quote->ask[0].price : q.quote->bid[0].price) : 0;
      field = quickPriceText_.Print(f.price, price + (price < 0 ? -0.000001 : 0.000001), q.decimals);
    }
  }
  const bool mirrored = data_.options.Layout <= 1 && EntryMirrorPrice(bar, f);
  quoteTextsChanged = (field ? kQuotePriceField : 0u) | (lines ? kQuotePriceLines : 0u);
  if (mirrored) quoteTextsChanged |= kQuoteBarPrice;
  return quoteTextsChanged != 0;
}

bool TOrderEntry::UpdateQuotePrices(uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
  STKPTR s;
  s.market = uint8_t(stock & 0xFF);
  s.kind = uint8_t(stock >> 8 & 0xFF);
  s.stock = uint16_t(stock >> 16);
  const TQuoteScale scale = QuoteScaleOf(quote, info);
  return RefreshPriceTexts(s, &scale);
}

void TOrderEntry::ApplyHedgeChoices(const char *code) {
  if (code && EntryArbitrageCode(code)) {
    if (hedgeItems.size() < 3) hedgeItems.push_back("套利");
  } else if (hedgeItems.size() > 2) {
    hedgeIndex = 0;
    hedgeItems.resize(2);
    data_.options.HedgeFlag = '1';
  }
}

void TOrderEntry::HedgeChange(int item) {
  if (item < 0 || item >= int(hedgeItems.size())) return;
  hedgeIndex = item;
  data_.options.HedgeFlag = item == 0 ? '1' : item == 1 ? '3' : '2';
}

void TOrderEntry::StepPrice(int delta) {
  const int layout = PanelLayout();
  if (!panel_.SpinActivePrice(delta)) return;
  if (layout != 2 && hooks.focus) hooks.focus(layout == 0 ? "XPEdit1002" : "XPEdit2");
  if (layout == 0) XPEdit1002Change();
  if (layout == 1) XPEdit2Change();
}

void TOrderEntry::MirrorPanelToQuickDeal(bool contract, bool volume, bool price) {
  if (data_.options.Layout > 1) return;
  const TOrderFields &f = Fields(data_.options.Layout);
  if (contract) EntryAssignBounded(bar.contract, f.contract, kContractTextMax);
  if (volume) {
    EntryAssignBounded(bar.volume, f.volume, kVolumeTextMax);
    bar.stepper = std::clamp(atoi(bar.volume.c_str()), 1, 32767);
  }
  if (price) EntryMirrorPrice(bar, f);
}

void TOrderEntry::MirrorQuickDealToPanel(bool contract, bool volume, bool price) {
  if (data_.options.Layout > 1) return;
  TOrderFields &f = Fields(data_.options.Layout);
  if (contract) EntryAssignBounded(f.contract, bar.contract, kContractTextMax);
  if (volume) {
    EntryAssignBounded(f.volume, bar.volume, kVolumeTextMax);
    f.spinPosition = std::clamp(atoi(f.volume.c_str()), f.spinMin, f.spinMax);
  }
  if (price) EntryAssignBounded(f.price, bar.price, kPriceTextMax);
}

void TOrderEntry::OrderLayoutChanged(int from, int to) {
  if (from == to || from < 0 || from > 1 || to < 0 || to > 1) return;
  const TOrderFields &old = Fields(from);
  TOrderFields &now = Fields(to);
  now.contract = old.contract;
  now.volume = old.volume;
  now.spinPosition = old.spinPosition;
  if (to == 1) {
    now.price.clear();
    now.priceKind = 0;
    keyboard.priceEnabled = true;
  } else {
    now.price = old.price;
    now.priceKind = old.priceKind;
    ordinary.priceEnabled = now.priceKind == 0;
  }
  MirrorPanelToQuickDeal(true, true, true);
}

// ---- the hand-over ----

bool TOrderEntry::SetOrderContract(STKPTR stock) {
  if (!stock.IsNone()) {
    const STKINFO *info = GetStockInfo(stock);
    const STKINFO *combo = info ? CMarketMerger::Instance()->FindComboStock(info) : nullptr;
    const TMarketData *market = combo ? MarketAt(combo->market) : nullptr;
    if (market && market->m_stocksEx) {
      const STKINFOEX *ex = GetStockInfoEx(STKPTR(combo->market, 0, combo->index));
      if (ex) {
        char code[8] = {}, second[8];
        memcpy(code, ex->code, sizeof ex->code);
        LinkSecondCode(code, info->kind, second);
        PttLinkSendContract(code, second, 0, 0, 0, 0);
      }
    }
  }
  if (data_.contractCount <= 0 || !data_.contracts) return false;
  if (data_.options.Layout == 3 && hooks.showPositionFilter) hooks.showPositionFilter();
  const CContractInfo *c = EntryContractOf(data_, stock);
  char code[8] = {};
  if (c) memcpy(code, c->InstrumentID, 7);
  ApplyHedgeChoices(c ? code : nullptr);
  if (c && !panel_.PanelContract.IsNone() && SameStock(panel_.PanelContract, stock)) {
    if (hooks.showContractPositions) hooks.showContractPositions(stock);
    return true;
  }
  keyboard.funds.clear(), keyboard.openable.clear();
  quick.funds.clear(), quick.openable.clear();
  const int layout = PanelLayout();
  TOrderFields &f = Fields(layout);
  if (c) {
    if (layout == 0) {
      f.contract = code;
      panel_.PanelContract = c->Stock;
      XPButton1002Click(false);
      if (data_.options.ExpressOrder) Status(kEntryExpressText, kEntryRed);
    } else if (layout == 1) {
      f.contract = code;
      SetVolume(f, DefaultVolume(c, true));
      panel_.PanelContract = c->Stock;
      UpdatePriceFields(c->Stock);
    } else {
      f.contract = code;
      f.volume = std::to_string(c->DefaultOpenVolume);
      quick.direction = quick.offset = 0;
      f.price.clear();
      panel_.PanelContract = c->Stock;
      UpdatePriceFields(c->Stock);
    }
    ShowClosableVolumes();
    if (hooks.showContractPositions) hooks.showContractPositions(c->Stock);
  } else {
    f.contract.clear();
    SetVolume(f, 1);
    if (layout == 2) quick.direction = quick.offset = 0, f.price.clear();
    panel_.PanelContract = STKPTR();
    UpdatePriceFields(STKPTR());
  }
  panel_.KeyboardPriceKind = data_.options.DefaultPrice;
  panel_.fields[1].price = data_.options.DefaultPrice == 1 ? "挂单价" : "对手价";
  MirrorPanelToQuickDeal(true, true, true);
  return c != nullptr;
}

bool TOrderEntry::SetOrderContractAndPrice(STKPTR stock, double price) {
  if (data_.options.Layout == 0) {
    if (grapPriceMode == 0) {
      XPButton1002Click(false);
    } else if (grapPriceMode == 1) {
      const bool plain = ordinary.offsetItem < 3 && ordinary.buyEnabled && ordinary.sellEnabled;
      if (plain || ordinary.offsetItem < 0) XPButton1002Click(true);
    }
  }
  if (!SetOrderContract(stock)) return false;
  const int layout = PanelLayout();
  if (layout != 2) {
    const TQuotePrices q = QuotePricesOf(panel_.PanelContract);
    Fields(layout).price = PriceWithDecimals(price, q.decimals);
    if (layout == 0) XPEdit1002Change();
  }
  MirrorPanelToQuickDeal(true, true, true);
  return true;
}

// ---- contract fields ----

bool TOrderEntry::ReplaceShortName(std::string &text, bool firstOnly, const char *field) {
  text = EntryBounded(text, kContractTextMax);
  bool replaced = false;
  for (int i = 0; i < data_.shortNames.GetCount(); ++i) {
    const ShortContractName &s = data_.shortNames.GetData()[i];
    char name[9] = {}, code[9] = {};
    memcpy(name, s.ShortName, 8);
    memcpy(code, s.Contract, 8);
    if (strcasecmp(text.c_str(), name) != 0) continue;
    text = code;
    replaced = true;
    if (firstOnly) break;
  }
  if (replaced && hooks.caretToEnd) hooks.caretToEnd(field);
  return data_.FindContract(text.c_str()) != nullptr;
}

void TOrderEntry::ContractDropDown(int layout) {
  std::vector<std::string> &items = layout == 1 ? keyboard.contractItems : ordinary.contractItems;
  items.clear();
  for (int i = 0; i < data_.groups.GetCount(); ++i) {
    char name[9] = {};
    memcpy(name, data_.groups.GetData()[i].GroupName, 8);
    items.push_back(name);
  }
  (layout == 1 ? keyboard.contractTag : ordinary.contractTag) = 1;
}

void TOrderEntry::ContractGroupChosen(std::vector<std::string> &items, int &tag, int selected) {
  if (selected < 0 || selected >= data_.groups.GetCount()) {
    tag = 0;
    return;
  }
  const ContractNameList &g = data_.groups.GetData()[selected];
  items.clear();
  for (int i = std::max(g.First, 0); i <= g.Last && i < data_.contractCount; ++i)
    items.push_back(std::string(data_.contracts[i].InstrumentID, strnlen(data_.contracts[i].InstrumentID, 8)));
  tag = 2;
}

void TOrderEntry::ComboBox1001Change(int selected) {
  if (ordinary.contractTag == 1) {
    ContractGroupChosen(ordinary.contractItems, ordinary.contractTag, selected);
    return;
  }
  ordinary.contractTag = 0;
  ordinary.buyEnabled = ordinary.sellEnabled = true;
  TOrderFields &f = Fields(0);
  if (ReplaceShortName(f.contract, false, "ComboBox1001")) {
    MirrorPanelToQuickDeal(true, false, false);
    if (hooks.focus) hooks.focus("XPEdit1001");
    return;
  }
  panel_.PanelContract = STKPTR();
  SetVolume(f, 1);
  MirrorPanelToQuickDeal(true, true, false);
  UpdatePriceFields(STKPTR());
  panel_.hint.clear();
}

void TOrderEntry::ComboBox1001Exit(bool sender, bool toList) {
  if (sender && toList) return;
  ordinary.contractTag = 0;
  TOrderFields &f = Fields(0);
  f.contract = EntryBounded(f.contract, kContractTextMax);
  const CContractInfo *c = data_.FindContract(f.contract.c_str());
  if (!c) {
    panel_.PanelContract = STKPTR();
    UpdatePriceFields(STKPTR());
    const bool shown = !hooks.ordinaryShown || hooks.ordinaryShown();
    if (shown && !f.contract.empty())
      Status(kEntryNotTradable, kEntryRed);
    else
      panel_.hint.clear();
    return;
  }
  ApplyHedgeChoices(f.contract.c_str());
  if (panel_.PanelContract.IsNone() || !SameStock(panel_.PanelContract, c->Stock)) {
    ordinary.buyEnabled = ordinary.sellEnabled = true;
    panel_.PanelContract = c->Stock;
    if (sender) {
      XPButton1002Click(false);
      UpdatePriceFields(c->Stock);
      panel_.hint.clear();
      if (ordinary.offsetItem != 0)
        ShowClosableVolumes();
      else
        XPButton1026Click(true);
    } else {
      f.price.clear();
      SetVolume(f, DefaultVolume(c, true));
      UpdatePriceFields(c->Stock);
      panel_.hint.clear();
      if (ordinary.offsetItem != 0) ShowClosableVolumes();
    }
    if (data_.options.SyncContract && hooks.syncActiveView) hooks.syncActiveView(c->Stock);
  }
  if (hooks.showContractPositions) hooks.showContractPositions(c->Stock);
}

// ---- the ordinary panel ----

void TOrderEntry::ComboBox1002Change(int item) {
  ordinary.buyEnabled = ordinary.sellEnabled = true;
  if (item < 0 || item >= int(ordinary.offsetItems.size())) return;
  ordinary.offsetItem = item;
  ordinary.colour = kEntryOffsetColour[item];
  if (item == 1 || item == 2) {
    ordinary.queryShown = false;
    ShowClosableVolumes();
    return;
  }
  ordinary.queryShown = true;
  ExpressWarning();
  if (item == 3) ordinary.sellEnabled = false;
  if (item == 4) ordinary.buyEnabled = false;
}

void TOrderEntry::ShowClosableVolumes() {
  if (data_.options.Layout != 0 || ordinary.offsetItem == 0) return;
  const TOrderFields &f = Fields(0);
  const CContractInfo *c = f.contract.empty() ? nullptr : data_.FindContract(f.contract.c_str());
  if (!c) {
    ExpressWarning();
    return;
  }
  char exchange[9] = {};
  memcpy(exchange, c->ExchangeID, 7);
  const bool separate = IsProcessCloseToday(exchange);
  const bool today = ordinary.offsetItem == 1;
  long long buyable = 0, sellable = 0;
  for (int i = 0; i < data_.positions.GetCount(); ++i) {
    const InvestorPosition_Lite &p = data_.positions.GetData()[i];
    if (strncasecmp(p.InstrumentID, c->InstrumentID, 8) != 0 || p.HedgeFlag != data_.options.HedgeFlag) continue;
    const bool counts = today ? (!separate || p.Attribute == 2) : p.Attribute != 2;
    if (!counts) continue;
    const long long free = (long long)p.Volume - p.Frozen;
    if (p.PosiDirection == '3') buyable += free;
    if (p.PosiDirection == '2') sellable += free;
  }
  char text[96];
  snprintf(text, sizeof text, separate && today ? "可买平今: %lli  可卖平今: %lli" : "可买平: %lli  可卖平: %lli",
           buyable, sellable);
  Status(text, kEntryBlue);
}

void TOrderEntry::XPEdit1002Change() {
  MirrorPanelToQuickDeal(false, false, true);
  TOrderFields &f = Fields(0);
  if (panel_.PanelContract.IsNone() || f.priceKind == 1) return;
  const CContractInfo *c = PanelContractInfo();
  const TQuotePrices q = QuotePricesOf(panel_.PanelContract);
  if (const double typed = FieldPrice(f.price.c_str()); typed > 0) {
    if (c) ordinary.buyHint = ordinary.sellHint = EntryHint(typed, q.decimals);
    return;
  }
  const int word = PriceWordOf(f.price.c_str());
  if (word < 0) {
    ordinary.buyHint.clear();
    ordinary.sellHint.clear();
    return;
  }
  ordinary.buyHint = EntryHint(WordPrice(word, true, q, data_.options.UseLastClose), q.decimals);
  ordinary.sellHint = EntryHint(WordPrice(word, false, q, data_.options.UseLastClose), q.decimals);
}

void TOrderEntry::ResetPage() {
  if (!data_.options.ResetUI || desk_.pageState == 12 || desk_.pageState == 13) return;
  desk_.pageState = 12;
  desk_.Ui().Layout();
}

void TOrderEntry::XPButton1032Click(bool buy) {
  if (data_.options.Layout == 3 && hooks.showPositionFilter) hooks.showPositionFilter();
  const int item = std::clamp(ordinary.offsetItem, 0, 4);
  const char offset = kEntryOffsetOfItem[item];
  if (ordinary.autoOffset) {
    if (hooks.placeAutoOffsetOrders) hooks.placeAutoOffsetOrders(buy);
    return;
  }
  if (manual_.PlaceManualOrder(buy, offset, 0) == 0) return;
  ordinary.buyEnabled = ordinary.sellEnabled = true;
  TOrderFields &f = Fields(0);
  if (data_.options.ResetToOpen && ordinary.offsetItem != 0) {
    SetVolume(f, DefaultVolume(PanelContractInfo(), true));
    ComboBox1002Change(0);
  }
  if (data_.options.ResetToNow && f.priceKind == 0) {
    f.price = WordText(panel_.OrdinaryPriceKind, kPriceWords[kWordLimitDown]);
    UpdatePriceFields(STKPTR());
  }
  ResetPage();
}

void TOrderEntry::XPButton1002Click(bool sender) {
  ordinary.buyEnabled = ordinary.sellEnabled = true;
  TOrderFields &f = Fields(0);
  SetVolume(f, DefaultVolume(PanelContractInfo(), true));
  ComboBox1002Change(0);
  f.price = data_.options.DefaultPrice == 1 ? "挂单价" : "对手价";
  panel_.OrdinaryPriceKind = data_.options.DefaultPrice;
  ComboBox1005Change(0);
  if (sender) {
    hedgeIndex = 0;
    data_.options.HedgeFlag = '1';
  }
  ExpressWarning();
}

void TOrderEntry::ComboBox1005Change(int kind) {
  const int layout = PanelLayout() == 1 ? 1 : 0;
  TOrderFields &f = Fields(layout);
  f.priceKind = kind == 1 ? 1 : 0;
  const bool enabled = f.priceKind == 0;
  if (layout == 0) {
    ordinary.priceEnabled = enabled;
    UpdatePriceFields(panel_.PanelContract);
  } else {
    keyboard.priceEnabled = enabled;
    UpdatePriceFields(STKPTR());
  }
}

TVolumeQuery TOrderEntry::QueryVolume(bool sender, const TOrderFields &f, int word, unsigned *seconds, int *result) {
  const std::string code = EntryBounded(f.contract, kContractTextMax);
  if (code.empty()) return TVolumeQuery::None;
  DWORD now = GetTickCount();
  if (now == 0) now = 1;
  const DWORD interval = DWORD(std::max(desk_.queryInterval, 0));
  if (sender && lastVolumeQueryTick != 0 && !TicksElapsed(lastVolumeQueryTick, now, interval) &&
      strcasecmp(code.c_str(), lastVolumeQueryContract) == 0) {
    *seconds = unsigned(interval / 1000);
    return TVolumeQuery::Refused;
  }
  lastVolumeQueryTick = now;
  CopyGbkCut(lastVolumeQueryContract, sizeof lastVolumeQueryContract, code.c_str());
  const CContractInfo *c = data_.FindContract(code.c_str());
  if (!c) return TVolumeQuery::None;
  const TQuotePrices q = QuotePricesOf(c->Stock);
  double price = 0;
  if (f.priceKind != 1) {
    price = FieldPrice(f.price.c_str());
    if (price == 0) {
      if (word < 0) return TVolumeQuery::BadPrice;
      price = WordPrice(word, true, q, data_.options.UseLastClose);
    }
  }
  char contract[8] = {}, exchange[9] = {};
  memcpy(contract, c->InstrumentID, 7);
  memcpy(exchange, c->ExchangeID, 7);
  *result = TradePlugin.QueryMaxOrderVolume
                ? TradePlugin.QueryMaxOrderVolume(contract, exchange, price, '1', '0', data_.options.HedgeFlag)
                : -1;
  return *result == 0 ? TVolumeQuery::Sent : TVolumeQuery::Failed;
}

TVolumeQuery TOrderEntry::XPButton1026Click(bool sender) {
  const int item = ordinary.offsetItem;
  if (item != 0 && item != 3 && item != 4) return TVolumeQuery::None;
  const TOrderFields &f = Fields(0);
  unsigned seconds = 0;
  int result = 0;
  const TVolumeQuery answer = QueryVolume(sender, f, PriceWordOf(f.price.c_str()), &seconds, &result);
  char text[96];
  switch (answer) {
    case TVolumeQuery::Refused:
      snprintf(text, sizeof text, "两次查询之间应间隔 %u 秒。", seconds);
      Status(text, kEntryRed);
      break;
    case TVolumeQuery::BadPrice: Status("请填入正确的价格。", kEntryRed); break;
    case TVolumeQuery::Failed:
      snprintf(text, sizeof text, "查询可开数量失败 (%i) ", result);
      Status(text, kEntryRed);
      break;
    case TVolumeQuery::Sent: Status("正在查询可开数量...", kEntryBlue); break;
    case TVolumeQuery::None: break;
  }
  return answer;
}

void TOrderEntry::XPEdit1002Exit() {
  TOrderFields &f = Fields(0);
  if (FieldPrice(f.price.c_str()) > 0) return;
  f.price = panel_.PanelContract.IsNone() ? std::string() : WordText(panel_.OrdinaryPriceKind, kPriceWords[4]);
  XPEdit1002Change();
}

void TOrderEntry::XPListBox1012Click(int item) {
  panel_.OrdinaryPriceKind = item;
  Fields(0).price = WordText(item, kPriceWords[kWordLimitDown]);
  ordinary.wordListShown = false;
  XPEdit1002Change();
}

void TOrderEntry::XPCheckBox2Click(bool checked) {
  ordinary.autoOffset = checked;
  ordinary.offsetEnabled = !checked;
}

// ---- the keyboard-order panel ----

void TOrderEntry::XPButton32Click(int tag) {
  if (tag < 1 || tag > 6) return;
  const EntryButton b = kEntryKeyboardButtons[tag];
  if (manual_.PlaceManualOrder(b.buy, b.offset, 0) == 0) return;
  keyboard.EnableButtons();
  TOrderFields &f = Fields(1);
  if (data_.options.ResetToNow && f.priceKind == 0) {
    const int kind = panel_.KeyboardPriceKind;
    f.price = kind == 0 || kind == 1 || kind == 3 || kind == 4 ? kPriceWords[kind] : kPriceWords[kWordLast];
    UpdatePriceFields(STKPTR());
  }
  ResetPage();
}

TVolumeQuery TOrderEntry::XPButton39Click(bool sender) {
  keyboard.EnableButtons();
  const TOrderFields &f = Fields(1);
  unsigned seconds = 0;
  int result = 0;
  const TVolumeQuery answer = QueryVolume(sender, f, PriceWordOf(f.price.c_str()), &seconds, &result);
  char text[96];
  const bool visible = manual_.tradingWindowVisible && manual_.tradingWindowVisible();
  switch (answer) {
    case TVolumeQuery::Refused:
      snprintf(text, sizeof text, "为减轻对交易服务器的压力，两次查询之间应间隔 %u 秒。  ", seconds);
      MessageBoxA(data_.owner, text, "提示", MB_OK | MB_ICONWARNING | MB_TOPMOST);
      if (visible && PageIsRefocusable() && hooks.focus)
        hooks.focus("XPButton39");
      else
        desk_.Ui().RefocusOrderArea();
      break;
    case TVolumeQuery::BadPrice:
      MessageBoxA(data_.owner, "请填入正确的价格。  ", "提示", MB_OK | MB_ICONWARNING | MB_TOPMOST);
      if (visible && PageIsRefocusable() && hooks.focus)
        hooks.focus("XPEdit2");
      else
        desk_.Ui().RefocusOrderArea();
      break;
    case TVolumeQuery::Failed:
      snprintf(text, sizeof text, "查询可开数量失败(%i)。  ", result);
      MessageBoxA(data_.owner, text, "提示", MB_OK | MB_ICONWARNING | MB_TOPMOST);
      desk_.Ui().RefocusOrderArea();
      break;
    default: break;
  }
  return answer;
}

void TOrderEntry::ComboBox1Change(int selected) {
  if (keyboard.contractTag == 1) {
    ContractGroupChosen(keyboard.contractItems, keyboard.contractTag, selected);
    return;
  }
  keyboard.contractTag = 0;
  keyboard.EnableButtons();
  TOrderFields &f = Fields(1);
  if (ReplaceShortName(f.contract, true, "ComboBox1")) {
    MirrorPanelToQuickDeal(true, false, false);
    return;
  }
  panel_.PanelContract = STKPTR();
  SetVolume(f, 1);
  MirrorPanelToQuickDeal(true, true, false);
  UpdatePriceFields(STKPTR());
}

void TOrderEntry::ComboBox1Exit(bool sender, bool toList) {
  if (sender && toList) return;
  keyboard.contractTag = 0;
  TOrderFields &f = Fields(1);
  f.contract = EntryBounded(f.contract, kContractTextMax);
  const CContractInfo *c = data_.FindContract(f.contract.c_str());
  if (!c) {
    panel_.PanelContract = STKPTR();
    UpdatePriceFields(STKPTR());
    if (sender && !f.contract.empty()) {
      MessageBoxA(data_.owner, "指定的合约不存在或不可交易。  ", "提示", MB_OK | MB_ICONWARNING | MB_TOPMOST);
      if (PageIsRefocusable() && hooks.focus)
        hooks.focus("ComboBox1");
      else
        desk_.Ui().RefocusOrderArea();
    }
    return;
  }
  ApplyHedgeChoices(f.contract.c_str());
  if (panel_.PanelContract.IsNone() || !SameStock(panel_.PanelContract, c->Stock)) {
    keyboard.EnableButtons();
    panel_.PanelContract = c->Stock;
    keyboard.openable.clear();
    quick.openable.clear();
    f.price.clear();
    SetVolume(f, DefaultVolume(c, true));
    UpdatePriceFields(STKPTR());
    if (sender) XPButton39Click(false);
    if (data_.options.SyncContract && hooks.syncActiveView) hooks.syncActiveView(c->Stock);
  }
  if (hooks.showContractPositions) hooks.showContractPositions(c->Stock);
}

void TOrderEntry::ComboBox5Change(int kind) { ComboBox1005Change(kind); }

void TOrderEntry::XPEdit2Change() {
  MirrorPanelToQuickDeal(false, false, true);
  UpdatePriceFields(panel_.PanelContract);
}

void TOrderEntry::XPEdit2Exit() {
  TOrderFields &f = Fields(1);
  if (FieldPrice(f.price.c_str()) > 0) return;
  f.price = panel_.PanelContract.IsNone() ? std::string() : WordText(panel_.KeyboardPriceKind, kPriceWords[0]);
  XPEdit2Change();
}

void TOrderEntry::XPListBox2Click(int item) {
  panel_.KeyboardPriceKind = item;
  Fields(1).price = WordText(item, kPriceWords[kWordLimitDown]);
  keyboard.wordListShown = false;
  XPEdit2Change();
}

void TOrderEntry::Label20Click(bool sell) {
  std::string text = sell ? keyboard.sellLabel : keyboard.buyLabel;
  text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
  if (FieldPrice(text.c_str()) == 0) return;
  Fields(1).price = EntryBounded(text, kPriceTextMax);
  XPEdit2Change();
}

void TOrderEntry::VolumeFieldClick(int layout) {
  (layout == 1 ? keyboard.volumeButtonsShown : ordinary.volumeButtonsShown) = true;
}

void TOrderEntry::VolumeButtonClick(int layout, const char *caption) {
  TOrderFields &f = Fields(layout == 1 ? 1 : 0);
  const int volume = std::clamp(atoi(caption ? caption : ""), f.spinMin, f.spinMax);
  SetVolume(f, volume);
  (layout == 1 ? keyboard.volumeButtonsShown : ordinary.volumeButtonsShown) = false;
  if (PanelLayout() == (layout == 1 ? 1 : 0)) MirrorPanelToQuickDeal(false, true, false);
}

void TOrderEntry::PriceFieldClick(int layout) { (layout == 1 ? keyboard.wordListShown : ordinary.wordListShown) = true; }

void TOrderEntry::PanelMouseMove(int layout) {
  if (layout == 1)
    keyboard.volumeButtonsShown = keyboard.wordListShown = false;
  else
    ordinary.volumeButtonsShown = ordinary.wordListShown = false;
}

void TOrderEntry::NewConditionOrder() {
  if (desk_.conditionDialogHook) desk_.conditionDialogHook();
}

// ---- the quick order panel ----

void TOrderEntry::XPButtonF53Click() {
  TOrderFields &f = Fields(2);
  const CContractInfo *c = f.contract.empty() ? nullptr : data_.FindContract(f.contract.c_str());
  if (!c || !TradePlugin.OrderInsert) return;
  const char offset = quick.offset == 1 ? '3' : quick.offset == 2 ? '1' : '0';
  const char direction = quick.direction == 1 ? '1' : '0';
  const int volume = atoi(f.volume.c_str());
  double price = atof(f.price.c_str());
  if (!std::isfinite(price)) price = 0;
  char code[8] = {}, exchange[9] = {};
  memcpy(code, c->InstrumentID, 7);
  memcpy(exchange, c->ExchangeID, 7);
  char text[1024] = {};
  const int result =
      TradePlugin.OrderInsert(code, exchange, price, volume, direction, offset, data_.options.HedgeFlag, nullptr, text);
  text[sizeof text - 1] = 0;
  if (result != 0) {
    MessageBoxA(data_.owner, text, "下单出错", MB_OK | MB_ICONERROR | MB_TOPMOST);
    return;
  }
  if (data_.options.ResetToNow) {
    const TQuotePrices q = QuotePricesOf(c->Stock);
    const bool buy = quick.direction == 0;
    const bool queue = data_.options.DefaultPrice == 1;
    const double side = buy != queue ? q.ask1 : q.bid1;
    f.price = PriceWithDecimals(side + 0.000001, q.decimals);
  }
  if (data_.options.ResetToOpen) quick.offset = 0;
}

TVolumeQuery TOrderEntry::XPButtonF54Click(bool sender) {
  if (quick.offset != 0) return TVolumeQuery::None;
  TOrderFields f = Fields(2);
  // Without a price in the field the ask of the book is taken.
  if (FieldPrice(f.price.c_str()) == 0) {
    const CContractInfo *c = data_.FindContract(EntryBounded(f.contract, kContractTextMax).c_str());
    const TQuotePrices q = c ? QuotePricesOf(c->Stock) : TQuotePrices{};
    if (q.ask1 > 0.0001) f.price = PriceWithDecimals(q.ask1, 6);
  }
  unsigned seconds = 0;
  int result = 0;
  const TVolumeQuery answer = QueryVolume(sender, f, -1, &seconds, &result);
  char text[96] = {};
  switch (answer) {
    case TVolumeQuery::Refused: snprintf(text, sizeof text, "两次查询之间应间隔 %u 秒。", seconds); break;
    case TVolumeQuery::BadPrice: snprintf(text, sizeof text, "请填入正确的价格。"); break;
    case TVolumeQuery::Failed: snprintf(text, sizeof text, "查询可开数量失败 (%i) ", result); break;
    case TVolumeQuery::Sent: quick.funds.clear(), quick.openable.clear(); break;
    case TVolumeQuery::None: break;
  }
  if (text[0] && sender) {
    MessageBoxA(data_.owner, text, "提示", MB_OK | MB_ICONWARNING | MB_TOPMOST);
    desk_.Ui().RefocusOrderPanel();
  }
  return answer;
}

void TOrderEntry::XPButtonF55Click() {
  desk_.OnTradeLockClick();
  desk_.login.message.clear();
  desk_.Ui().LoginPageChanged();
}

void TOrderEntry::XPCheckBoxF4Click(bool checked) {
  quick.shield = checked;
  if (hooks.focus) hooks.focus("XPComboBoxF1");
}

void TOrderEntry::XPCheckBoxF5Click(bool checked) {
  quick.oneClick = checked;
  TOrderFields &f = Fields(2);
  if (!checked) {
    quick.shieldEnabled = true;
    quick.fieldsEnabled = true;
    if (hooks.focus) hooks.focus("XPComboBoxF1");
    return;
  }
  quick.shield = true;
  quick.shieldEnabled = false;
  quick.fieldsEnabled = false;
  ApplyQuickOrderKeys();
  const STKPTR stock = hooks.activeViewStock ? hooks.activeViewStock() : STKPTR();
  const CContractInfo *c = EntryContractOf(data_, stock);
  if (!c) {
    f.contract.clear();
    return;
  }
  quick.direction = quick.offset = 0;
  f.contract = std::string(c->InstrumentID, strnlen(c->InstrumentID, 8));
  const TQuotePrices q = QuotePricesOf(c->Stock);
  f.price = PriceWithDecimals(data_.options.DefaultPrice == 1 ? q.bid1 : q.ask1, q.decimals);
  f.volume = std::to_string(c->DefaultOpenVolume);
  if (hooks.focus) hooks.focus("XPComboBoxF1");
}

void TOrderEntry::XPUpDownF14ChangingEx(int row, int step) {
  if (row < 0) {
    TOrderFields &f = Fields(2);
    const long long v = std::max<long long>((long long)atoi(f.volume.c_str()) + step, 1);
    f.volume = std::to_string(std::min<long long>(v, INT32_MAX));
    return;
  }
  if (row > 1) return;
  const long long v = std::clamp<long long>((long long)atoi(quick.ticks[row].c_str()) + step, INT32_MIN, INT32_MAX);
  quick.ticks[row] = std::to_string(v);
  XPEditF20Change(row);
}

void TOrderEntry::XPEditF20Change(int row) {
  if (row < 0 || row > 1) return;
  const int32_t value = int32_t(atoi(quick.ticks[row].c_str()));
  // Slots 5 and 7 are row 1's, 6 and 8 row 2's; their keys stay.
  for (int slot : {5 + row, 7 + row}) {
    char key = 0;
    data_.FindOptionShortcut(slot, &key, nullptr);
    data_.SetOptionShortcut(slot, key, value);
  }
}

void TOrderEntry::LabelF83DblClick(int row) {
  if (row < 0 || row > 1) return;
  quick.ticks[row].assign(1, '0');
  XPEditF20Change(row);
}

void TOrderEntry::XPComboBoxF1Change() {
  TOrderFields &f = Fields(2);
  if (ReplaceShortName(f.contract, false, "XPComboBoxF1")) return;
  panel_.PanelContract = STKPTR();
  f.volume.assign(1, '1');
}

void TOrderEntry::XPComboBoxF1Exit(bool sender, bool toList) {
  if (sender && toList) return;
  TOrderFields &f = Fields(2);
  f.contract = EntryBounded(f.contract, kContractTextMax);
  const CContractInfo *c = data_.FindContract(f.contract.c_str());
  if (!c) {
    panel_.PanelContract = STKPTR();
    f.price.clear();
    return;
  }
  ApplyHedgeChoices(f.contract.c_str());
  if (panel_.PanelContract.IsNone() || !SameStock(panel_.PanelContract, c->Stock)) {
    panel_.PanelContract = c->Stock;
    if (sender) {
      f.volume = std::to_string(c->DefaultOpenVolume);
      if (quick.offset == 0) XPButtonF54Click(false);
    }
    UpdatePriceFields(STKPTR());
    if (data_.options.SyncContract && hooks.syncActiveView) hooks.syncActiveView(c->Stock);
  }
  if (hooks.showContractPositions) hooks.showContractPositions(c->Stock);
}

// ---- the quick-deal bar ----

void TOrderEntry::XPButton42Click(int tag) {
  if (tag < 0 || tag > 5 || data_.options.Layout > 1) return;
  const EntryButton b = kEntryBarButtons[tag];
  MirrorQuickDealToPanel(true, true, true);
  if (manual_.PlaceManualOrder(b.buy, b.offset, 0) == 0) return;
  if (data_.options.ResetToNow && bar.priceEnabled) {
    const int kind = panel_.OrdinaryPriceKind;
    if (kind >= 0 && kind < 5) bar.price = kPriceWords[kind];
    MirrorQuickDealToPanel(false, false, true);
    UpdatePriceFields(STKPTR());
  }
  ResetPage();
  if (!(manual_.tradingWindowVisible && manual_.tradingWindowVisible()) && hooks.showTradingWindow)
    hooks.showTradingWindow();
}

void TOrderEntry::XPComboBox8Change() {
  const int layout = data_.options.Layout;
  if (layout > 1) return;
  if (ReplaceShortName(bar.contract, false, "XPComboBox8")) {
    MirrorQuickDealToPanel(true, false, false);
    if (layout != 1 && hooks.focus) hooks.focus("XPEdit12");
    return;
  }
  panel_.PanelContract = STKPTR();
  bar.volume.assign(1, '1');
  bar.stepper = 1;
  MirrorQuickDealToPanel(true, true, false);
  UpdatePriceFields(STKPTR());
  if (layout == 0 && data_.options.ExpressOrder) Status(kEntryExpressText, kEntryRed);
}

void TOrderEntry::XPComboBox8Exit() {
  const int layout = data_.options.Layout;
  if (layout > 1) return;
  MirrorQuickDealToPanel(true, false, false);
  if (layout == 0)
    ComboBox1001Exit(false);
  else
    ComboBox1Exit(false);
  MirrorPanelToQuickDeal(true, true, true);
}

void TOrderEntry::XPEdit12Change() { MirrorQuickDealToPanel(false, true, false); }

void TOrderEntry::XPPriceEdit2Change() { MirrorQuickDealToPanel(false, false, true); }

void TOrderEntry::XPPriceEdit2Exit() {
  const int layout = data_.options.Layout;
  if (layout > 1) return;
  MirrorQuickDealToPanel(true, true, true);
  if (layout == 0)
    XPEdit1002Exit();
  else
    XPEdit2Exit();
  MirrorPanelToQuickDeal(false, false, true);
}

void TOrderEntry::XPUpDown2ChangingEx(int delta) {
  if (data_.options.Layout > 1) return;
  MirrorQuickDealToPanel(true, true, true);
  StepPrice(delta);
  MirrorPanelToQuickDeal(false, false, true);
}

const char *TOrderEntry::QuickDealDigitTarget(int digit) {
  static const char *const targets[6] = {"XPButton42", "XPButton45", "XPButton47",
                                         "XPButton43", "XPButton44", "XPButton46"};
  return digit >= 1 && digit <= 6 ? targets[digit - 1] : nullptr;
}
