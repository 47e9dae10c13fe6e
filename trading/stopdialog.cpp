#include "trading/stopdialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "market/dataio5.h"
#include "platform/msgbox.h"
#include "trading/deskdata.h"
#include "trading/stoporders.h"
#include "trading/tradelog.h"

namespace {

bool StopDlgSameKey(const InvestorPosition_Lite &a, const InvestorPosition_Lite &b) {
  return strncmp(a.InstrumentID, b.InstrumentID, sizeof a.InstrumentID) == 0 && a.PosiDirection == b.PosiDirection &&
         a.HedgeFlag == b.HedgeFlag;
}

double StopDlgNumber(const std::string &text) { return text.empty() ? 0 : strtod(text.c_str(), nullptr); }

}  // namespace

const char *StopDialogNoticeText(int code) {
  switch (code) {
    case 1: return "止损价必须低于该合约的最新价，请重新设置。  ";
    case 2: return "止损价必须高于该合约的最新价，请重新设置。  ";
    case 3: return "止盈价必须高于该合约的最新价，请重新设置。  ";
    case 4: return "止盈价必须低于该合约的最新价，请重新设置。  ";
    case 5: return "最新价为 0 时，浮动止损无效。  ";
    case 6: return "平仓成交导致持仓数量变化，最接近现价的止损止盈已被修改数量或删除。  ";
    case 8: return "开仓成交，已自动添加止损止盈设置。  ";
    default: return nullptr;
  }
}

std::string StopSaveRefusalText(char direction) {
  return std::string("止损止盈设置有误：\n\n") +
         (direction == '2' ? "止损价必须低于该合约的最新价，止盈价必须高于该合约的最新价。  "
                           : "止损价必须高于该合约的最新价，止盈价必须低于该合约的最新价。  ");
}

TStopDialogModel::TStopDialogModel(TTradeDesk &desk) : desk_(desk) {}

TStopDialogModel::~TStopDialogModel() {
  if (copy_ && copy_->References == 1) StopOrderPointer::Destroy(copy_);
}

int TStopDialogModel::ExpiryDefault() const { return desk_.options.StopExpiredDefault == 1 ? 1 : 0; }

double TStopDialogModel::Last() const { return lastPrice ? lastPrice() : InstrumentLastPrice(position_.Stock); }
int32_t TStopDialogModel::TradeDate() const { return tradeDate ? tradeDate() : PluginTradeDate(); }
void TStopDialogModel::Notice(int code) const {
  if (notice) notice(code);
}

void TStopDialogModel::SetPosition(const InvestorPosition_Lite &position, double tick, int32_t defaultCloseVolume) {
  position_ = position;
  tick_ = tick;
  defaultVolume_ = defaultCloseVolume;
  decimals_ = 2;
  if (!position.Stock.IsNone())
    if (const STKINFO *info = GetStockInfo(position.Stock)) decimals_ = std::clamp<int>(info->decimals, 0, 6);
  if (copy_) StopOrderPointer::Destroy(copy_);
  copy_ = position.Stops ? StopOrderPointer::Copy(*position.Stops) : StopOrderPointer::Create();
  split = TStopSplit::Auto;
  Fill(true);
}

std::string TStopDialogModel::Caption() const {
  const char *hedge = position_.HedgeFlag == '2' ? "套利" : position_.HedgeFlag == '3' ? "保值" : "投机";
  char text[128];
  snprintf(text, sizeof text, "为 %.7s （%s,%s）设置止损止盈。", position_.InstrumentID,
           position_.PosiDirection == '2' ? "买入" : "卖出", hedge);
  return text;
}

int32_t TStopDialogModel::PositionTotal() const {
  int64_t total = 0;
  for (int32_t i = 0; i < desk_.positions.GetCount(); ++i) {
    const InvestorPosition_Lite &p = desk_.positions.GetData()[i];
    if (p.Volume > 0 && StopDlgSameKey(p, position_)) total += p.Volume;
  }
  return int32_t(std::min<int64_t>(total, INT32_MAX));
}

void TStopDialogModel::SetSplit(TStopSplit value) {
  split = value;
  Fill(true);
}

std::string TStopDialogModel::Price(double value) const {
  char text[64];
  snprintf(text, sizeof text, "%.*f", decimals_, value);
  return text;
}

void TStopDialogModel::Fill(bool dropInvalid) {
  rows.clear();
  if (!copy_) return;
  if (dropInvalid) copy_->RemoveInvalid(-1);
  int32_t uncovered = PositionTotal() - copy_->TotalVolume();
  if (defaultVolume_ == 0) defaultVolume_ = uncovered;
  while (uncovered > 0) {
    int32_t size = split == TStopSplit::One ? 1 : split == TStopSplit::Default ? defaultVolume_ : uncovered;
    if (size < 1) size = uncovered;
    size = std::min(size, uncovered);
    if (!copy_->AddEntry(position_.Stock, size, 0, 0, 0, 0, desk_.options.StopExpiredDefault, TradeDate())) break;
    uncovered -= size;
  }
  for (const StopOrder *e = copy_->First; e; e = e->Next) {
    std::array<std::string, kStopColumns> row;
    char text[64];
    snprintf(text, sizeof text, "%u-%02u-%02u %02u:%02u", unsigned(e->SetTime.year) + 2000, unsigned(e->SetTime.month),
             unsigned(e->SetTime.day), unsigned(e->SetTime.hour), unsigned(e->SetTime.minute));
    row[kStopColumnTime] = text;
    row[kStopColumnVolume] = std::to_string(e->Volume);
    if (PriceIsSet(e->StopPrice)) row[kStopColumnStop] = Price(e->StopPrice);
    if (PriceIsSet(e->StopPrice) && PriceIsSet(e->Trailing)) row[kStopColumnTrailing] = Price(e->Trailing);
    if (PriceIsSet(e->ProfitPrice)) row[kStopColumnProfit] = Price(e->ProfitPrice);
    row[kStopColumnExpiry] = e->ExpiryDay != 0 ? "当日" : "永久";
    rows.push_back(std::move(row));
  }
}

StopOrder *TStopDialogModel::Entry(int row) const {
  if (!copy_ || row < 0) return nullptr;
  StopOrder *e = copy_->First;
  for (int i = 0; e && i < row; ++i) e = e->Next;
  return e;
}

int32_t TStopDialogModel::VolumeLimit(int row) const {
  const StopOrder *e = Entry(row);
  if (!e || !copy_) return 0;
  const int32_t own = PriceIsSet(e->StopPrice) || PriceIsSet(e->ProfitPrice) ? e->Volume : 0;
  return std::clamp<int32_t>(own + PositionTotal() - copy_->ActiveVolume(), 0, 32767);
}

void TStopDialogModel::BeginVolumeEdit(int row) {
  if (!Entry(row)) return;
  volumeEditing = true;
  volumeRow = row;
  volumeMaximum = VolumeLimit(row);
  volumeValue = Entry(row)->Volume;
}

void TStopDialogModel::FinishEdit(int row, int column, const std::string &text) {
  StopOrder *e = Entry(row);
  if (!e) return;
  const double last = Last();
  const bool longSide = position_.PosiDirection == '2';
  auto cell = [&](const std::string &value) { rows[size_t(row)][size_t(column)] = value; };
  switch (column) {
    case kStopColumnVolume: {
      const long typed = strtol(text.c_str(), nullptr, 10);
      e->Volume = int32_t(std::clamp<long>(typed, 0, 32767));
      volumeEditing = false;
      copy_->RemoveInvalid(typed < 1 ? -1 : row);
      Fill(false);
      if (hideEditors) hideEditors();
      return;
    }
    case kStopColumnStop: {
      double p = StopDlgNumber(text);
      if (PriceIsSet(p) && last != 0 && (longSide ? !(p < last) : !(p > last))) {
        Notice(longSide ? 1 : 2);
        p = 0;
      }
      e->StopPrice = PriceIsSet(p) ? p : 0;
      cell(PriceIsSet(p) ? text : std::string());
      return;
    }
    case kStopColumnTrailing: {
      double d = StopDlgNumber(text);
      if (PriceIsSet(d) && last == 0) {
        Notice(5);
        d = 0;
      }
      e->Trailing = PriceIsSet(d) ? d : 0;
      if (PriceIsSet(d)) e->TrailReference = last;
      cell(PriceIsSet(d) ? text : std::string());
      return;
    }
    case kStopColumnProfit: {
      double t = StopDlgNumber(text);
      if (PriceIsSet(t) && last != 0 && (longSide ? !(t > last) : !(t < last))) {
        Notice(longSide ? 3 : 4);
        t = 0;
      }
      e->ProfitPrice = PriceIsSet(t) ? t : 0;
      cell(PriceIsSet(t) ? text : std::string());
      return;
    }
    case kStopColumnExpiry: {
      const bool day = text == "当日";
      e->ExpiryDay = day ? TradeDate() : 0;
      cell(day ? "当日" : "永久");
      return;
    }
    default: return;
  }
}

std::string TStopDialogModel::Step(int column, const std::string &text, bool up) const {
  if (!(tick_ > 0)) return text;
  auto q = [this](double x) { return std::trunc(x / tick_ + 0.000001) * tick_; };
  double p = StopDlgNumber(text);
  if (column == kStopColumnStop || column == kStopColumnProfit) {
    if (p < 0.01) {
      const double last = Last();
      p = last == 0 ? 0 : up ? last - tick_ : last + tick_;
    }
  } else if (column != kStopColumnTrailing) {
    return text;
  }
  const double result = std::max(0.0, q(up ? p + tick_ : p - tick_));
  return Price(result + 0.00001);
}

void TStopDialogModel::DeleteAll() {
  if (!copy_) return;
  copy_->FreeEntries();
  Fill(false);
}

bool TStopDialogModel::Save() {
  if (!copy_) return true;
  copy_->RemoveInvalid(-1);
  const double last = Last();
  const bool longSide = position_.PosiDirection == '2';
  if (last != 0) {
    bool wrong = false;
    for (StopOrder *e = copy_->First; e; e = e->Next) {
      const bool stop = PriceIsSet(e->StopPrice), profit = PriceIsSet(e->ProfitPrice);
      if (longSide)
        wrong |= stop ? e->StopPrice >= last : profit && e->ProfitPrice <= last;
      else
        wrong |= stop ? e->StopPrice <= last : profit && e->ProfitPrice >= last;
      if (PriceIsSet(e->Trailing)) {
        if (stop)
          e->TrailReference = last;
        else
          e->Trailing = 0;
      }
    }
    if (wrong) {
      MessageBoxA(desk_.owner, StopSaveRefusalText(position_.PosiDirection).c_str(), "警告",
                  MB_OK | MB_ICONWARNING | MB_TOPMOST);
      Fill(false);
      return false;
    }
  }
  InvestorPosition_Lite *record = nullptr;
  for (int32_t i = 0; i < desk_.positions.GetCount() && !record; ++i)
    if (StopDlgSameKey(desk_.positions.GetData()[i], position_)) record = &desk_.positions.GetData()[i];
  if (!record) return true;
  if (!record->Stops) record->AddStop(desk_.positions, 1, 1.0, 0, 0, 0, 0, TradeDate());
  if (!record->Stops) return true;
  record->Stops->Assign(copy_);
  StopOrderPointer::Destroy(copy_);
  copy_ = nullptr;
  WriteTradeLog(desk_, TLOG_STOP_EVENT, "1|");
  record->SortStops();
  record->TrimStops(desk_.positions);
  SaveStopOrders(desk_, record, true);
  return true;
}

bool TStopDialogModel::OnPositionChanged(const InvestorPosition_Lite &position, const TStopAddition *added) {
  if (!StopDlgSameKey(position, position_) || !copy_) return false;
  if (copy_->TrimToPosition(desk_.positions, position_.Stock, position_.PosiDirection, position_.HedgeFlag)) {
    if (!copy_->First) {
      if (close) close();
    } else {
      if (hideEditors) hideEditors();
      volumeEditing = false;
      Fill(true);
      Notice(6);
    }
    return true;
  }
  const int32_t total = PositionTotal();
  if (total == 0) {
    if (close) close();
    return true;
  }
  if (copy_->TotalVolume() > total) {
    if (hideEditors) hideEditors();
    volumeEditing = false;
    Fill(true);
    return true;
  }
  if (!added || added->volume < 1) {
    if (volumeEditing) {
      volumeMaximum = VolumeLimit(volumeRow);
      volumeValue = std::min(volumeValue, volumeMaximum);
    }
    return true;
  }
  copy_->AddEntry(position_.Stock, added->volume, added->stop, added->trailing, added->profit, added->reference,
                  added->expiryKind, TradeDate());
  copy_->Sort(position_.PosiDirection);
  copy_->TrimToPosition(desk_.positions, position_.Stock, position_.PosiDirection, position_.HedgeFlag);
  if (hideEditors) hideEditors();
  volumeEditing = false;
  Fill(true);
  Notice(8);
  return true;
}

namespace {
TStopDialogModel *gStopDialogOpen = nullptr;
}  // namespace

TStopDialogModel *OpenStopDialog() { return gStopDialogOpen; }

void SetStopOrderForPosition(TTradeDesk &desk, const InvestorPosition_Lite *position, const TStopDialogRun &run) {
  if (!position || position->Volume <= 0 || (position->PosiDirection != '2' && position->PosiDirection != '3')) return;
  if (position->Stock.market == kNoMarket) {
    MessageBoxA(desk.owner, "该合约不存在或不可交易。  ", "提示", MB_OK | MB_ICONINFORMATION);
    return;
  }
  const InvestorPosition_Lite key = *position;
  TStopDialogModel model(desk);
  gStopDialogOpen = &model;
  double tick = 0;
  int32_t defaultClose = 0;
  for (int32_t i = 0; i < desk.contractCount; ++i) {
    const CContractInfo &c = desk.contracts[i];
    if (c.Stock.market == key.Stock.market && c.Stock.stock == key.Stock.stock) {
      tick = c.PriceTick;
      defaultClose = c.DefaultCloseVolume;
      break;
    }
  }
  model.SetPosition(key, tick, defaultClose);
  char text[64];
  snprintf(text, sizeof text, "3|手动修改|%.7s|%c|%c", key.InstrumentID, key.PosiDirection, key.HedgeFlag);
  WriteTradeLog(desk, TLOG_STOP_EVENT, text);
  if (run.runModal) run.runModal(model);
  gStopDialogOpen = nullptr;
  text[0] = '4';
  WriteTradeLog(desk, TLOG_STOP_EVENT, text);
  if (run.updateStopColumns)
    for (int32_t i = 0; i < desk.positions.GetCount(); ++i)
      if (StopDlgSameKey(desk.positions.GetData()[i], key)) {
        run.updateStopColumns(desk.positions.GetData()[i]);
        break;
      }
  if (run.refocusOrderPanel) run.refocusOrderPanel();
}

void StopDialogPositionChanged(const InvestorPosition_Lite *position, const TStopAddition *added) {
  TStopDialogModel *dialog = OpenStopDialog();
  if (!dialog) return;
  if (!position) {
    const InvestorPosition_Lite own = dialog->Position();
    dialog->OnPositionChanged(own, nullptr);
    return;
  }
  dialog->OnPositionChanged(*position, added);
}
