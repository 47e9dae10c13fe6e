#include "trading/conditiondialog.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "market/dataio5.h"
#include "market/rights.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "trading/deskdata.h"
#include "trading/stoporders.h"
#include "trading/tradedesk.h"
#include "trading/tradelog.h"

const char *const kConditionPriceWords[4] = {"对手价", "挂单价", "涨停价", "跌停价"};

namespace {

constexpr double kCondSetThreshold = 0.0001;

double CondNumber(const std::string &text) { return text.empty() ? 0 : strtod(text.c_str(), nullptr); }

int CondWordIndex(const std::string &text) {
  for (int i = 0; i < 4; ++i)
    if (text == kConditionPriceWords[i]) return i;
  return -1;
}

std::string CondCode(const char *text, size_t size) { return std::string(text, strnlen(text, size)); }

int CondValidityDefault(const TTradeDesk &desk) {
  const int shared = GetPrivateProfileIntA("Script", "COExpiredDefault", 0, kSharedConsign);
  return GetPrivateProfileIntA("Script", "COExpiredDefault", shared, desk.AccountFile("Consign.ini").c_str());
}

}  // namespace

bool ConditionTickMultiple(double price, double tick) {
  if (!(tick > 0)) return true;
  return std::fabs(price - std::floor(price / tick + 1e-7) * tick) <= kCondSetThreshold;
}

std::string ConditionFormatWithDecimals(const char *format, int decimals, double value) {
  char inner[512], text[512];
  snprintf(inner, sizeof inner, format, std::clamp(decimals, 0, 6));
  // The inner format holds exactly one conversion made above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  snprintf(text, sizeof text, inner, value);
#pragma GCC diagnostic pop
  return text;
}

TConditionDialogModel::TConditionDialogModel(TTradeDesk &desk) : desk_(desk) {}

int TConditionDialogModel::Decimals() const {
  if (!contract_ || contract_->Stock.IsNone()) return 2;
  const STKINFO *info = GetStockInfo(contract_->Stock);
  return info ? std::clamp<int>(info->decimals, 0, 6) : 2;
}

void TConditionDialogModel::SetContract(const std::string &text) {
  std::string code = text;
  for (int32_t i = 0; i < desk_.shortNames.GetCount(); ++i) {
    const ShortContractName &s = desk_.shortNames.GetData()[i];
    if (strcasecmp(CondCode(s.ShortName, sizeof s.ShortName).c_str(), text.c_str()) == 0) {
      code = CondCode(s.Contract, sizeof s.Contract);
      break;
    }
  }
  fields.contract = code;
  contract_ = code.empty() ? nullptr : desk_.FindContract(code.c_str());
}

bool TConditionDialogModel::CancelOptionsVisible() const {
  return fields.price == kConditionPriceWords[0] || fields.price == kConditionPriceWords[1];
}

void TConditionDialogModel::PriceFieldLeft() {
  if (CondNumber(fields.price) > kCondSetThreshold || CondWordIndex(fields.price) >= 0) return;
  fields.price = desk_.options.DefaultPrice != 0 ? kConditionPriceWords[1] : kConditionPriceWords[0];
}

std::string TConditionDialogModel::Summary() const {
  if (!contract_) return "指定的合约不可交易";
  char text[160];
  snprintf(text, sizeof text, "%s，价格 %s，数量 %i", fields.contract.c_str(), fields.price.c_str(),
           atoi(fields.volume.c_str()));
  return text;
}

std::string &TConditionDialogModel::Text(TConditionField field) {
  switch (field) {
    case TConditionField::TriggerPrice: return fields.triggerPrice;
    case TConditionField::Stop: return fields.stop;
    case TConditionField::Trailing: return fields.trailing;
    case TConditionField::Profit: return fields.profit;
    default: return fields.price;
  }
}

void TConditionDialogModel::Step(TConditionField field, bool up) {
  const double tick = contract_ ? contract_->PriceTick : 0;
  if (!(tick > 0)) return;
  std::string &text = Text(field);
  double value = CondNumber(text);
  if (!(value > 0) && field != TConditionField::Trailing) {
    double bid = 0, ask = 0;
    if (market) {
      market(bid, ask);
    } else if (!contract_->Stock.IsNone()) {
      const TMarketData *m = MarketAt(contract_->Stock.market);
      if (m && contract_->Stock.stock < m->m_loadedCount && m->m_quotes) {
        const REALQUOTE &q = m->m_quotes[contract_->Stock.stock];
        const double divisor = m->m_stocks[contract_->Stock.stock].PriceDivisor();
        bid = q.bid[0].price / divisor;
        ask = q.ask[0].price / divisor;
      }
    }
    value = up ? (ask > 0 ? ask : bid) - tick : (bid > 0 ? bid : ask) + tick;
  }
  const double moved = up ? value + tick : value - tick;
  const double result = std::max(0.0, std::trunc(moved / tick + 1e-6) * tick);
  char out[64];
  snprintf(out, sizeof out, "%.*f", Decimals(), result + 0.00001);
  text = out;
  focus = field;
}

void TConditionDialogModel::InitForNew(const CContractInfo *contract, int directionHint, int offsetHint,
                                       const std::string &price, int32_t volume) {
  fields = TConditionDialogFields{};
  contract_ = contract;
  fields.contract = contract ? CondCode(contract->InstrumentID, sizeof contract->InstrumentID) : std::string();
  fields.sell = directionHint > 0;
  fields.offset = offsetHint <= 0 ? kOffsetOpen : offsetHint == 2 ? kOffsetClose : kOffsetCloseToday;
  fields.advanced = GetPrivateProfileIntA("UI", "SetCO", 0, desk_.AccountFile("Consign.ini").c_str()) == 1;
  fields.volume = std::to_string(volume);
  fields.price = price;
  const bool withCancel = fields.advanced && CancelOptionsVisible();
  fields.validity = withCancel ? CondValidityDefault(desk_) : 1;
  fields.cancelIf = withCancel;
  fields.reorder = true;
  fields.seconds = 5;
  editing = -1;
}

void TConditionDialogModel::InitFromOrder(const CContractInfo *contract, int32_t index) {
  if (index < 0 || index >= desk_.conditions.GetCount()) return;
  const ConditionOrder o = desk_.conditions.GetData()[index];
  fields = TConditionDialogFields{};
  contract_ = contract;
  editing = index;
  fields.contract = CondCode(o.InstrumentID, sizeof o.InstrumentID);
  fields.volume = std::to_string(o.Volume);
  fields.offset = o.OffsetFlag == '0' ? kOffsetOpen : o.OffsetFlag == '1' ? kOffsetClose : kOffsetCloseToday;
  fields.sell = o.Direction != '0';
  switch (o.TriggerKind) {
    case -1: fields.condition = kConditionByHand; break;
    case 2: fields.condition = kConditionAtOpen; break;
    case 3: {
      fields.condition = kConditionAtTime;
      const CTime32 at = TriggerTimeOf(o);
      fields.hour = at.hour, fields.minute = at.minute, fields.second = at.second;
      break;
    }
    default: fields.condition = kConditionOnPrice; fields.comparison = o.TriggerKind == 1 ? 1 : 0;
  }
  fields.source = o.PriceSource < 3 ? o.PriceSource : 0;
  fields.ticks = std::clamp<int>(o.Ticks, 1, 6);
  char text[64];
  if (o.TriggerKind == 0 || o.TriggerKind == 1) {
    snprintf(text, sizeof text, "%.*f", Decimals(), o.TriggerPrice);
    fields.triggerPrice = text;
  }
  fields.advanced = PriceIsSet(o.StopPrice) || PriceIsSet(o.ProfitPrice) || o.CancelAfter > 0 || o.Expiry != 0;
  fields.validity = o.Expiry != 0 ? 1 : 0;
  switch (o.PriceKind) {
    case 2:
      snprintf(text, sizeof text, "%.*f", Decimals(), o.FixedPrice);
      fields.price = text;
      break;
    case 1: fields.price = kConditionPriceWords[0]; break;
    case 3: fields.price = kConditionPriceWords[1]; break;
    case 5: fields.price = kConditionPriceWords[2]; break;
    case 6: fields.price = kConditionPriceWords[3]; break;
    default: break;
  }
  if (CancelOptionsVisible()) {
    fields.cancelIf = o.CancelAfter > 0;
    fields.reorder = o.Reorder != 0;
    fields.seconds = o.CancelAfter < 1 ? 5 : o.CancelAfter;
  }
  auto price = [&](double value) {
    if (!PriceIsSet(value)) return std::string();
    snprintf(text, sizeof text, "%.*f", Decimals(), value);
    return std::string(text);
  };
  fields.stop = price(o.StopPrice);
  fields.trailing = PriceIsSet(o.StopPrice) ? price(o.Trailing) : std::string();
  fields.profit = price(o.ProfitPrice);
}

bool TConditionDialogModel::Refuse(const char *text, TConditionField field) {
  MessageBoxA(desk_.owner, text, "提示", MB_OK | MB_ICONWARNING);
  focus = field;
  return false;
}

bool TConditionDialogModel::Ok() {
  if (!contract_) return Refuse("指定的合约不可交易。  ", TConditionField::Contract);
  ConditionOrder o;
  memset(static_cast<void *>(&o), 0, sizeof o);
  memcpy(o.InstrumentID, contract_->InstrumentID, sizeof o.InstrumentID);
  o.InstrumentID[7] = 0;
  o.Stock = contract_->Stock;
  o.Direction = fields.sell ? '1' : '0';
  o.OffsetFlag = fields.offset == kOffsetOpen ? '0' : fields.offset == kOffsetClose ? '1' : '3';
  o.HedgeFlag = hedge;
  o.Volume = int32_t(std::clamp<long>(strtol(fields.volume.c_str(), nullptr, 10), 1, 9999));
  fields.volume = std::to_string(o.Volume);

  switch (fields.condition) {
    case kConditionOnPrice:
      o.PriceSource = uint8_t(std::clamp(fields.source, 0, 2));
      o.Ticks = uint8_t(std::clamp(fields.ticks, 1, 6));
      o.TriggerKind = int8_t(fields.comparison == 1 ? 1 : 0);
      o.TriggerPrice = CondNumber(fields.triggerPrice);
      break;
    case kConditionAtTime: {
      SYSTEMTIME now;
      GetLocalTime(&now);
      now.wHour = WORD(std::clamp(fields.hour, 0, 23));
      now.wMinute = WORD(std::clamp(fields.minute, 0, 59));
      now.wSecond = WORD(std::clamp(fields.second, 0, 59));
      const CTime32 at(now);
      o.TriggerKind = 3;
      memcpy(static_cast<void *>(&o.TriggerPrice), &at, sizeof at);
      break;
    }
    case kConditionAtOpen: o.TriggerKind = 2; break;
    default: o.TriggerKind = -1; break;
  }

  static const int8_t kinds[4] = {1, 3, 5, 6};
  const int word = CondWordIndex(fields.price);
  if (word >= 0) {
    o.PriceKind = kinds[word];
  } else {
    o.PriceKind = 2;
    o.FixedPrice = CondNumber(fields.price);
  }
  o.CancelAfter = -1;
  if ((o.PriceKind == 1 || o.PriceKind == 3) && fields.cancelIf) {
    o.CancelAfter = std::clamp(fields.seconds, 1, 32767);
    o.Reorder = fields.reorder ? 1 : 0;
  }
  if (o.OffsetFlag == '0') {
    o.StopPrice = CondNumber(fields.stop);
    o.ProfitPrice = CondNumber(fields.profit);
    o.Trailing = CondNumber(fields.trailing);
  }
  o.Expiry = fields.validity == 1 ? (tradeDate ? tradeDate() : PluginTradeDate()) : 0;
  WritePrivateProfileStringA("Script", "COExpiredDefault", fields.validity == 1 ? "1" : "0",
                             desk_.AccountFile("Consign.ini").c_str());

  const bool buy = o.Direction == '0';
  const bool stop = o.StopPrice > kCondSetThreshold, profit = o.ProfitPrice > kCondSetThreshold;
  if (fields.condition == kConditionOnPrice) {
    if (!(o.TriggerPrice > kCondSetThreshold)) return Refuse("请指定条件价格。  ", TConditionField::TriggerPrice);
    if (stop && (buy ? o.StopPrice >= o.TriggerPrice : o.StopPrice <= o.TriggerPrice))
      return Refuse(buy ? "止损价应小于触发价格。  " : "止损价应大于触发价格。  ", TConditionField::Stop);
    if (profit && (buy ? o.ProfitPrice <= o.TriggerPrice : o.ProfitPrice >= o.TriggerPrice))
      return Refuse(buy ? "止盈价应大于触发价格。  " : "止盈价应小于触发价格。  ", TConditionField::Profit);
  }
  if (o.PriceKind == 2) {
    if (stop && (buy ? o.StopPrice >= o.FixedPrice : o.StopPrice <= o.FixedPrice))
      return Refuse(buy ? "止损价应小于下单价格。  " : "止损价应大于下单价格。  ", TConditionField::Stop);
    if (profit && (buy ? o.ProfitPrice <= o.FixedPrice : o.ProfitPrice >= o.FixedPrice))
      return Refuse(buy ? "止盈价应大于下单价格。  " : "止盈价应小于下单价格。  ", TConditionField::Profit);
  }
  if (stop && profit && (buy ? o.StopPrice >= o.ProfitPrice : o.StopPrice <= o.ProfitPrice))
    return Refuse(buy ? "止损价应小于止盈价。  " : "止损价应大于止盈价。  ", TConditionField::Stop);
  if (o.Trailing > kCondSetThreshold && !stop)
    return Refuse("浮动止损必须与止损同时指定，单独使用时浮动止损无效。  ", TConditionField::Trailing);

  struct Multiple {
    double value;
    const char *format;
    TConditionField field;
  } multiples[] = {
      {o.StopPrice,
       "止损价不是 %%.%if 的倍数。如启用了“止损时以止损价下单”功能，下单可能失败。  \r\n如需修改止损价，请点击“取消”。  ",
       TConditionField::Stop},
      {o.Trailing,
       "浮动止损不是 %%.%if 的倍数。如启用了“止损时以止损价下单”功能，下单可能失败。  \r\n如需修改浮动止损，请点击“取消”。  ",
       TConditionField::Trailing},
      {o.ProfitPrice,
       "止盈价不是 %%.%if 的倍数。如启用了“止盈时以止盈价下单”功能，下单可能失败。  \r\n如需修改止盈价，请点击“取消”。  ",
       TConditionField::Profit},
  };
  for (const Multiple &m : multiples) {
    if (!(m.value > kCondSetThreshold) || ConditionTickMultiple(m.value, contract_->PriceTick)) continue;
    const std::string text = ConditionFormatWithDecimals(m.format, Decimals(), contract_->PriceTick);
    if (MessageBoxA(desk_.owner, text.c_str(), "提示", MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL) {
      focus = m.field;
      return false;
    }
  }

  GetLocalTime(&o.Made);
  if (editing >= 0 && editing < desk_.conditions.GetCount()) {
    desk_.conditions.SetAt(editing, o);
    WriteTradeLog(desk_, TLOG_CONDITION_EVENT, "1|");
  } else {
    if (desk_.conditions.Add(o) < 0) {
      MessageBoxA(desk_.owner, "内存不足，无法添加条件单。", "提示", MB_OK | MB_ICONERROR);
      return false;
    }
    WriteTradeLog(desk_, TLOG_CONDITION_EVENT, "0|");
  }
  WritePrivateProfileStringA("UI", "SetCO", fields.advanced ? "1" : "0", desk_.AccountFile("Consign.ini").c_str());
  return true;
}

bool OpenNewConditionOrder(TTradeDesk &desk, const TConditionRequest &request, const TConditionDialogRun &run) {
  if (!run.rights || !(run.rights() & kRightConditionOrders)) {
    MessageBoxA(desk.owner, "您没有使用条件单的权限。  ", "警告", MB_OK | MB_ICONWARNING);
    return false;
  }
  auto refuse = [&](const std::string &text) {
    MessageBoxA(desk.owner, text.c_str(), "提示", MB_OK | MB_ICONWARNING);
    if (run.refocusOrderPanel) run.refocusOrderPanel();
    return false;
  };
  if (request.contract.empty()) return refuse("请先选择合约。  ");
  const double price = CondNumber(request.price);
  const bool word = CondWordIndex(request.price) >= 0;
  if (!word && !(price > kCondSetThreshold)) return refuse("请填入正确的下单价格。  ");
  const CContractInfo *contract = desk.FindContract(request.contract.c_str());
  if (!contract) return refuse("指定的合约不存在或不可交易。  ");
  TConditionDialogModel model(desk);
  model.hedge = request.hedge;
  if (!word && !ConditionTickMultiple(price, contract->PriceTick)) {
    model.InitForNew(contract, -1, -1, {}, 1);
    return refuse(ConditionFormatWithDecimals("下单价格应为 %%.%if 的倍数。  ", model.Decimals(), contract->PriceTick));
  }
  model.InitForNew(contract, request.directionHint, request.offsetHint, request.price, request.volume);
  if (!run.runModal || !run.runModal(model)) return false;
  if (run.saveConditionOrders) run.saveConditionOrders();
  if (run.resetOrderPanel) run.resetOrderPanel();
  if (run.showConditionPage) run.showConditionPage();
  return true;
}
