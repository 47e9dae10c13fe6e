#include "trading/manualorder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/msgbox.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/orderbook.h"
#include "trading/orderpanel.h"
#include "trading/pendingorders.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

namespace {

// The zero texts of the price words by side.
const char *ZeroText(int word, bool buy) {
  switch (word) {
    case kWordOpposite: return buy ? "卖一价为 0 ，请手工设定下单价格。" : "买一价为 0 ，请手工设定下单价格。";
    case kWordQueue: return buy ? "买一价为 0 ，请手工设定下单价格。" : "卖一价为 0 ，请手工设定下单价格。";
    case kWordLast: return "最新价为 0 ，请手工设定下单价格。";
    case kWordLimitUp: return "涨停价为 0 ，请手工设定下单价格。";
    default: return "跌停价为 0 ，请手工设定下单价格。";
  }
}

const char *OffsetLongName(char offset) { return offset == '0' ? "开仓" : offset == '3' ? "平今" : "平仓"; }

bool ClosedExchangeText(const std::string &text) {
  return text.find("未处于开盘状态") != std::string::npos || text.find("不是交易时间") != std::string::npos;
}

}  // namespace

TManualOrder::TManualOrder(TTradeDesk &data, TOrderPanel &panel, TOrderBook &book, HWND owner)
    : data_(data), panel_(panel), book_(book), owner_(owner) {}

void TManualOrder::FocusPriceField() {
  if (!Visible()) return;
  panel_.Active().focusTag = priceFieldHandle;
  if (panelClick) panelClick();
}

int TManualOrder::Refuse(const char *text) {
  MessageBoxA(owner_, text, "下单出错", MB_OK | MB_ICONWARNING | MB_TOPMOST);
  FocusPriceField();
  return 0;
}

int TManualOrder::PlaceManualOrder(bool buy, char offset, int volumeArgument) {
  const TradingOptions &options = data_.options;
  TOrderFields &f = panel_.Active();
  if (f.contract.empty()) return 0;
  // Unknown, or without a positive tick: nothing can be priced or sent.
  const CContractInfo *c = panel_.TradableContract(f.contract);
  if (!c) return 0;
  const TQuotePrices quote = QuotePricesOf(c->Stock);
  const double tick = c->PriceTick;
  double price;
  double adjust = 0;
  const bool market = f.priceKind == 1;
  if (market) {
    price = -1;
  } else if (const double typed = FieldPrice(f.price.c_str()); typed > 0) {
    if (!IsTickMultiple(typed, tick)) {
      char format[64], text[128];
      snprintf(format, sizeof format, "下单价格应为 %%.%if 的倍数。  ", std::clamp(quote.decimals, 0, 6));
      snprintf(text, sizeof text, format, tick);
      return Refuse(text);
    }
    price = typed;
  } else if (const int word = PriceWordOf(f.price.c_str()); word >= 0) {
    price = WordPrice(word, buy, quote, options.UseLastClose);
    if (!(price > 0.0001)) return Refuse(ZeroText(word, buy));
    if (word <= kWordLast) {
      if (options.ManualOffset != 0)
        price = buy ? price + options.ManualOffset * tick + 0.0000001 : price - options.ManualOffset * tick + 0.0000001;
      adjust = options.AutoAdjustPrice * tick;
    }
  } else {
    return Refuse("请填入正确的下单价格。  ");
  }
  if (options.ExpressOrder) {
    panel_.hint = "警告: 按下买入或卖出将直接下单";
    panel_.hintColour = 0x0000FF;
    panel_.hintShown = true;
  }
  const int lo = std::clamp(f.spinMin, -32768, 32767), hi = std::clamp(f.spinMax, lo, 32767);
  const int typedVolume = std::clamp(atoi(f.volume.c_str()), lo, hi);
  f.volume = std::to_string(typedVolume);
  f.spinPosition = typedVolume;
  const int volume = volumeArgument != 0 ? volumeArgument : typedVolume;
  price = buy ? price + adjust : price - adjust;
  const char direction = buy ? '0' : '1';
  const char hedge = options.HedgeFlag;
  char code[8] = {}, exchange[9] = {};
  memcpy(code, c->InstrumentID, 7);
  memcpy(exchange, c->ExchangeID, 7);
  {
    char text[160];
    snprintf(text, sizeof text, "%s|%c|%c|%c|%.3f|%i|手动", code, direction, offset, hedge, price, volume);
    WriteTradeLog(data_, TLOG_ORDER_REQUEST, text);
  }
  if (offset == '3' && !IsProcessCloseToday(exchange)) {
    char text[96];
    snprintf(text, sizeof text, "0|市场%s无需使用平今，以平仓代替", exchange);
    WriteTradeLog(data_, TLOG_TEXT, text);
    offset = '1';
  }
  if (!options.ExpressOrder) {
    char question[256];
    if (market)
      snprintf(question, sizeof question, "%s %s %s %i手 价格: 市价（任意价），%s，确认吗？  ", code,
               buy ? "买入" : "卖出", OffsetLongName(offset), volume, HedgeFlagName(hedge));
    else
      snprintf(question, sizeof question, "%s %s %s %i手 价格: %.3f，%s，确认吗？  ", code, buy ? "买入" : "卖出",
               OffsetLongName(offset), volume, price, HedgeFlagName(hedge));
    const int answer = MessageBoxA(owner_, question, "确认", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    if (answer != IDYES) {
      WriteTradeLog(data_, TLOG_TEXT, "0|用户放弃下单");
      if (Visible() && panelClick) panelClick();
      return 0;
    }
    if (Visible() && panelClick) panelClick();
  }
  if (!TradePlugin.OrderInsert) return 0;
  char orderRef[16] = {};
  char text[1024] = "手工下单";
  const int result = TradePlugin.OrderInsert(code, exchange, price, volume, direction, offset, hedge, orderRef, text);
  text[sizeof text - 1] = 0;
  if (result == 0) {
    WriteTradeLogValues(data_, TLOG_ORDER_RESULT, "0|", orderRef);
    return 1;
  }
  std::string message = CutServerMessage(text);
  WriteTradeLogValues(data_, TLOG_ORDER_RESULT, "1||", message.c_str());
  if (offset != '0' && IsCloseVolumeText(message)) message += kCloseHelpText;
  bool stored = false;
  if (options.Autopending1 == 2 || !ClosedExchangeText(message)) {
    MessageBoxA(owner_, message.c_str(), "错误", MB_OK | MB_ICONWARNING | MB_TOPMOST);
  } else {
    message += "\r\n\r\n是否将该委托保存，待开盘后自动发出？";
    const bool keep = options.Autopending1 == 1 ||
                      MessageBoxA(owner_, message.c_str(), "下单出错", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) == IDYES;
    if (keep) {
      // A market order is kept as one (price 0, kind '1'), never at -1.
      const double keptPrice = price > 0 ? price : 0;
      const CKivoOrderField pending =
          MakePendingOrder(data_, exchange, code, direction, offset, hedge, keptPrice, volume);
      if (data_.orders.Add(pending) < 0) {
        WriteTradeLog(data_, TLOG_TEXT, "2|内存不足，添加开盘触发单失败");
        MessageBoxA(owner_, "内存不足，保存委托失败。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
      } else {
        char event[160];
        snprintf(event, sizeof event, "0|手动|%s|%s|%.3f|%c|%c|%c|%i", pending.OrderRef, code, keptPrice, direction,
                 offset, hedge, volume);
        WriteTradeLog(data_, TLOG_PENDING_EVENT, event);
        book_.SortOrders();
        SavePendingOrders(data_, owner_);
        ++book_.lists.orderRebuilds;
        stored = true;
      }
    }
  }
  if (Visible() && refocusOrderArea) refocusOrderArea();
  return stored ? 1 : 0;
}
