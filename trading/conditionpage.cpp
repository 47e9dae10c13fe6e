#include "trading/conditionpage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "market/dataio5.h"
#include "market/rights.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "trading/conditiondialog.h"
#include "trading/conditionorders.h"
#include "trading/deskdata.h"
#include "trading/stoporders.h"
#include "trading/tradelog.h"

namespace {

constexpr uint8_t kPagePausedBit = 0x01, kPageByHandBit = 0x02;
constexpr int32_t kPageCutAt = 151, kPageKept = 100;

std::string PageCode(const ConditionOrder &o) { return std::string(o.InstrumentID, strnlen(o.InstrumentID, 8)); }

int PageDecimals(const ConditionOrder &o) {
  if (o.Stock.IsNone()) return 2;
  const STKINFO *info = GetStockInfo(o.Stock);
  return info ? std::clamp<int>(info->decimals, 0, 6) : 2;
}

// The columns shared by both tabs (1 to 7; 7 is the expiry on the active tab).
void PageColumns(const ConditionOrder &o, int decimals, std::array<std::string, kConditionPageColumns> &cells) {
  char text[128];
  cells[1] = ConditionPageCondition(o, decimals);
  cells[2] = ConditionPagePrice(o, decimals);
  cells[3] = ConditionPageVolume(o);
  if (PriceIsSet(o.StopPrice) || PriceIsSet(o.ProfitPrice)) {
    snprintf(text, sizeof text, "%.*f / %.*f / %.*f", decimals, o.StopPrice, decimals, o.Trailing, decimals,
             o.ProfitPrice);
    cells[4] = text;
  }
  if (o.CancelAfter >= 1) {
    snprintf(text, sizeof text, "%i秒", int(o.CancelAfter));
    cells[5] = text;
    cells[6] = o.Reorder ? "√" : "×";
  }
  cells[7] = o.Expiry != 0 ? "当日" : "永久";
}

const CContractInfo *PageContractOf(const TTradeDesk &desk, STKPTR stock) {
  for (int32_t i = 0; i < desk.contractCount; ++i)
    if (desk.contracts[i].Stock.market == stock.market && desk.contracts[i].Stock.stock == stock.stock)
      return &desk.contracts[i];
  return nullptr;
}

}  // namespace

std::string ConditionPageCondition(const ConditionOrder &o, int decimals) {
  decimals = std::clamp(decimals, 0, 6);
  const std::string code = PageCode(o);
  char text[160];
  switch (o.TriggerKind) {
    case 2: snprintf(text, sizeof text, "%s 开盘时", code.c_str()); break;
    case 3: {
      const CTime32 at = TriggerTimeOf(o);
      snprintf(text, sizeof text, "%s 时间到达 %02u:%02u:%02u", code.c_str(), unsigned(at.hour), unsigned(at.minute),
               unsigned(at.second));
      break;
    }
    case 0:
    case 1: {
      static const char *const sources[] = {"最新价", "买一价", "卖一价"};
      char ticks[32] = "";
      if (o.Ticks > 1) snprintf(ticks, sizeof ticks, " 连续%i笔 ", int(o.Ticks));
      snprintf(text, sizeof text, "%s %s%s%s %.*f", code.c_str(), sources[o.PriceSource < 3 ? o.PriceSource : 0], ticks,
               o.TriggerKind == 0 ? ">=" : "<=", decimals, o.TriggerPrice);
      break;
    }
    default: snprintf(text, sizeof text, "%s 预埋", code.c_str()); break;
  }
  return text;
}

std::string ConditionPagePrice(const ConditionOrder &o, int decimals) {
  char text[96];
  switch (o.PriceKind) {
    case 2: snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 6), o.FixedPrice); return text;
    case 3: return "挂单价";
    case 5: return "涨停价";
    case 6: return "跌停价";
    default:
      if (o.TickOffset == 0) return "对手价";
      snprintf(text, sizeof text, "%s %s调整%i个价位", "对手价", o.Direction == '0' ? "向上" : "向下",
               int(o.TickOffset));
      return text;
  }
}

std::string ConditionPageVolume(const ConditionOrder &o) {
  char text[64];
  snprintf(text, sizeof text, "%s%s %i手", o.Direction == '0' ? "买" : "卖",
           o.OffsetFlag == '0' ? "开仓" : o.OffsetFlag == '1' ? "平仓" : "平今", int(o.Volume));
  return text;
}

TConditionPage::TConditionPage(TTradeDesk &desk, TConditionOrders &conditions)
    : desk_(desk), conditions_(conditions) {}

void TConditionPage::Fill(int which) {
  tab = which == 1 ? 1 : 0;
  rows.clear();
  selected.clear();
  if (tab == 0)
    FillActive();
  else
    FillFired();
}

void TConditionPage::FillActive() {
  pauseTag = 0;
  for (int32_t i = desk_.conditions.GetCount() - 1; i >= 0; --i) {
    const ConditionOrder &o = desk_.conditions.GetData()[i];
    TConditionPageRow row;
    row.index = i;
    row.paused = (o.State & kPagePausedBit) != 0;
    row.cells[0] = row.paused ? "暂停" : "正常";
    PageColumns(o, PageDecimals(o), row.cells);
    rows.push_back(std::move(row));
  }
}

void TConditionPage::FillFired() {
  const std::string path = desk_.AccountFile("Dealed.dat");
  const int32_t file = FileOpen(path.c_str(), "rb");
  if (file <= 0) return;
  const int32_t size = FileSize(file);
  char magic[6] = {};
  if (size < 6 || FileRead(file, magic, 1, 6) != 6 || memcmp(magic, "KVDD13", 6) != 0) {
    FileClose(file);
    return;
  }
  const int32_t count = (size - 6) / int32_t(kConditionRecordSize);
  const int32_t first = count >= kPageCutAt ? count - kPageKept : 0;
  std::string kept("KVDD13");
  FileSeek(file, 6 + first * int32_t(kConditionRecordSize), 0);
  for (int32_t i = first; i < count; ++i) {
    unsigned char record[kConditionRecordSize];
    if (FileRead(file, record, 1, int32_t(sizeof record)) != int32_t(sizeof record)) break;
    kept.append(reinterpret_cast<const char *>(record), sizeof record);
    const ConditionOrder o = GetConditionRecord(record);
    TConditionPageRow row;
    char text[64];
    snprintf(text, sizeof text, "%u-%02u-%02u %02u:%02u:%02u", unsigned(o.Made.wYear), unsigned(o.Made.wMonth),
             unsigned(o.Made.wDay), unsigned(o.Made.wHour), unsigned(o.Made.wMinute), unsigned(o.Made.wSecond));
    row.cells[0] = text;
    PageColumns(o, 2, row.cells);
    row.cells[7] = (o.State & kPageByHandBit) ? "手动" : "自动";
    rows.insert(rows.begin(), std::move(row));
  }
  FileClose(file);
  if (count < kPageCutAt) return;
  // The cut goes through a second file renamed over the first, so that a
  // failure leaves the whole record.
  const std::string cut = desk_.AccountFile("Dealed2.dat");
  HANDLE out = CreateFileA(cut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  bool written = WriteFile(out, kept.data(), DWORD(kept.size()), &done, nullptr) && done == kept.size();
  written = FlushFileBuffers(out) && written;
  CloseHandle(out);
  if (!written || !MoveFileExA(cut.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) DeleteFileA(cut.c_str());
}

std::vector<int32_t> TConditionPage::SelectedIndexes() const {
  std::vector<int32_t> out;
  for (int r : selected)
    if (r >= 0 && size_t(r) < rows.size() && rows[size_t(r)].index >= 0 &&
        rows[size_t(r)].index < desk_.conditions.GetCount())
      out.push_back(rows[size_t(r)].index);
  std::sort(out.begin(), out.end(), std::greater<>());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

void TConditionPage::Modify() {
  if (!rights || !(rights() & kRightConditionOrders)) {
    MessageBoxA(desk_.owner, "您没有使用条件单的权限。  ", "警告", MB_OK | MB_ICONWARNING);
    return;
  }
  const std::vector<int32_t> indexes = SelectedIndexes();
  if (indexes.empty()) {
    if (!rows.empty()) {
      MessageBoxA(desk_.owner, "请先选中要修改的条件单。  ", "提示", MB_OK | MB_ICONINFORMATION);
      if (focusList) focusList();
    }
    return;
  }
  const int keepRow = selected.front();
  const int32_t index = rows[size_t(keepRow)].index;
  const CContractInfo *contract = PageContractOf(desk_, desk_.conditions.GetData()[index].Stock);
  if (!contract) return;
  const uint8_t former = desk_.conditions.GetData()[index].State;
  desk_.conditions.GetData()[index].State |= kPagePausedBit;
  TConditionDialogModel model(desk_);
  model.hedge = desk_.conditions.GetData()[index].HedgeFlag;
  model.InitFromOrder(contract, index);
  const bool ok = runDialog && runDialog(model);
  if (index < desk_.conditions.GetCount()) desk_.conditions.GetData()[index].State = former;
  if (!ok) return;
  conditions_.SaveConditionOrders();
  Fill(0);
  if (size_t(keepRow) < rows.size()) selected = {keepRow};
}

void TConditionPage::Delete() {
  if (tab == 1) {
    DeleteFileA(desk_.AccountFile("Dealed.dat").c_str());
    rows.clear();
    selected.clear();
    return;
  }
  const std::vector<int32_t> indexes = SelectedIndexes();
  if (indexes.empty()) {
    if (!rows.empty())
      MessageBoxA(desk_.owner, "请先选中要删除的条件单，按住 Ctrl 键可进行多选。  ", "提示", MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (MessageBoxA(desk_.owner, "删除选中的条件单？  ", "提示", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  for (int32_t index : indexes) desk_.conditions.RemoveAt(index);
  WriteTradeLog(desk_, TLOG_CONDITION_EVENT, "2|手动");
  conditions_.SaveConditionOrders();
  Fill(0);
}

void TConditionPage::FireSelected() {
  const std::vector<int32_t> indexes = SelectedIndexes();
  if (indexes.empty()) {
    if (!rows.empty())
      MessageBoxA(desk_.owner, "请先选中要立即发出的条件单。按住 Ctrl 键可进行多选。  ", "提示",
                  MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (MessageBoxA(desk_.owner,
                  "立即触发选中的条件单，根据其设定的参数（买卖、开平、投保、数量、价格）下单？  ", "提示",
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  // Highest index first: an order leaving the list moves none still to fire.
  for (int32_t index : indexes) conditions_.FireConditionOrder(index, nullptr);
  Fill(0);
  if (desk_.tasks.GetCount() > 0 && startQueue) startQueue();
}

void TConditionPage::TogglePause() {
  const std::vector<int32_t> indexes = SelectedIndexes();
  if (indexes.empty()) {
    if (!rows.empty())
      MessageBoxA(desk_.owner,
                  pauseTag ? "请先选中要启用的条件单，按住 Ctrl 键可进行多选。  "
                           : "请先选中要暂停的条件单，按住 Ctrl 键可进行多选。  ",
                  "提示", MB_OK | MB_ICONINFORMATION);
    return;
  }
  for (int r : selected) {
    if (r < 0 || size_t(r) >= rows.size()) continue;
    TConditionPageRow &row = rows[size_t(r)];
    if (row.index < 0 || row.index >= desk_.conditions.GetCount()) continue;
    uint8_t &state = desk_.conditions.GetData()[row.index].State;
    state = pauseTag ? uint8_t(state & ~kPagePausedBit) : uint8_t(state | kPagePausedBit);
    row.paused = (state & kPagePausedBit) != 0;
    row.cells[0] = row.paused ? "暂停" : "正常";
  }
  WriteTradeLog(desk_, TLOG_CONDITION_EVENT, pauseTag ? "6|" : "5|");
  conditions_.SaveConditionOrders();
  SelectionChanged(-1);
}

void TConditionPage::SelectionChanged(int row) {
  if (tab == 0) {
    bool allPaused = false;
    for (int r : selected) {
      if (r < 0 || size_t(r) >= rows.size()) continue;
      allPaused = rows[size_t(r)].paused;
      if (!allPaused) break;
    }
    pauseTag = allPaused ? 1 : 0;
  }
  if (row < 0 || size_t(row) >= rows.size() || !setPanelContract) return;
  const int32_t index = rows[size_t(row)].index;
  if (index < 0 || index >= desk_.conditions.GetCount()) return;
  const std::string code = PageCode(desk_.conditions.GetData()[index]);
  if (!panelContract || panelContract() != code) setPanelContract(code);
}
