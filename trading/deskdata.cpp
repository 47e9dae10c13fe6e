#include "trading/deskdata.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "core/emem.h"
#include "market/dataio5.h"
#include "market/merger.h"
#include "market/utildata.h"
#include "platform/gbk.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/profile.h"

namespace {

// Copies a fixed field of width bytes that may lack its NUL.
void CopyField(char *out, size_t outWidth, const char *field, size_t fieldWidth) {
  const size_t length = std::min(strnlen(field, fieldWidth), outWidth - 1);
  memcpy(out, field, length);
  out[length] = '\0';
}

// The code folded to upper case in eight bytes; false when it is longer
// than any code of the table (7 bytes).
bool CodeKey(const char *code, uint64_t *key) {
  unsigned char bytes[8] = {};
  for (int i = 0; i < 8; ++i) {
    const unsigned char c = static_cast<unsigned char>(code[i]);
    if (!c) {
      memcpy(key, bytes, sizeof bytes);
      return true;
    }
    if (i == 7) return false;
    bytes[i] = (c >= 'a' && c <= 'z') ? c - 32 : c;
  }
  return false;
}

constexpr OptionShortcut kDefaultShortcuts[9] = {
    {0, '1', {0, 0}, 0}, {1, '3', {0, 0}, 1}, {2, '1', {0, 0}, 0}, {3, '3', {0, 0}, 1}, {4, '2', {0, 0}, 2},
    {5, '1', {0, 0}, 0}, {6, '2', {0, 0}, 0}, {7, '3', {0, 0}, 0}, {8, '4', {0, 0}, 0},
};

// One record as the file holds it, field by field.
void PutShortcut(const OptionShortcut &record, unsigned char out[8]) {
  out[0] = record.Slot;
  out[1] = static_cast<unsigned char>(record.Key);
  out[2] = out[3] = 0;
  const uint32_t value = static_cast<uint32_t>(record.Value);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<unsigned char>(value >> (8 * i));
}
OptionShortcut GetShortcut(const unsigned char in[8]) {
  OptionShortcut record{};
  record.Slot = in[0];
  record.Key = static_cast<char>(in[1]);
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t(in[4 + i]) << (8 * i);
  record.Value = static_cast<int32_t>(value);
  return record;
}

}  // namespace

void CopyGbkCut(char *out, size_t width, const char *text) {
  platform::GbkCopyCut(text, SIZE_MAX, out, width);
}

// ---- records from the plug-in's blocks ----

Trade_Lite::Trade_Lite(const TB_TRADE &t) {
  memset(static_cast<void *>(this), 0, sizeof *this);
  CopyField(InstrumentID, sizeof InstrumentID, t.InstrumentID, sizeof t.InstrumentID);
  CopyField(OrderRef, sizeof OrderRef, t.OrderRef, sizeof t.OrderRef);
  Direction = t.Direction;
  CopyField(Text18, sizeof Text18, t.Text43, sizeof t.Text43);
  CopyField(Text19, sizeof Text19, t.Text21, sizeof t.Text21);
  OffsetFlag = t.OffsetFlag;
  HedgeFlag = t.HedgeFlag;
  Price = t.Price;
  Volume = t.Volume;
  CopyField(TradeTime, sizeof TradeTime, t.TradeTime, sizeof t.TradeTime);
}

InvestorPosition_Lite::InvestorPosition_Lite(const TB_POSITION &p, int minute) {
  memset(static_cast<void *>(this), 0, sizeof *this);
  CopyField(InstrumentID, sizeof InstrumentID, p.InstrumentID, sizeof p.InstrumentID);
  PosiDirection = p.PosiDirection;
  HedgeFlag = p.HedgeFlag;
  Volume = p.Volume;
  OpenAverage = OpenAmount = p.OpenAmount;
  HoldingAverage = HoldingAmount = p.HoldingAmount;
  Stops = nullptr;
  Stock = LookupContractStock(InstrumentID, minute + 480);
}

STKPTR LookupContractStock(const char *code, int minute) {
  for (int i = 0; i < GetFuturesMarketCount(); ++i) {
    STKINFO *entry = FindStockByAltCode(code, GetFuturesMarketAt(i));
    if (!entry) continue;
    STKINFO *mapped = CMarketMerger::Instance()->MapStock(entry, minute);
    if (!mapped) continue;
    STKPTR stock;
    stock.market = mapped->market;
    stock.kind = mapped->kind;
    stock.stock = mapped->index;
    return stock;
  }
  return STKPTR();
}

// ---- contracts ----

void ContractProductCodeOf(const char *code, char out[9]) {
  const size_t length = strnlen(code, 8);
  if (length > 6) {
    memcpy(out, code, length);
    out[length] = '\0';
    return;
  }
  size_t n = 0;
  while (n < length && code[n] > '9') ++n;
  memcpy(out, code, n);
  out[n] = '\0';
}

const char *ContractProductCode(const char *code) {
  static char buffer[9];
  ContractProductCodeOf(code, buffer);
  return buffer;
}

void ContractGroupName(const CContractInfo &contract, char out[8]) {
  memset(out, 0, 8);
  const char *code = contract.InstrumentID;
  const size_t length = strnlen(code, sizeof contract.InstrumentID);
  if (length > 6) {
    CopyGbkCut(out, 8, "其它");
    return;
  }
  char name[32] = {};
  size_t n = 0;
  while (n < length && code[n] > '9') name[n] = code[n], ++n;
  if (n == 1) name[n++] = ' ';
  name[n++] = ' ';
  if (const STKINFO *info = contract.Stock.IsNone() ? nullptr : GetStockInfo(contract.Stock)) {
    for (size_t i = 0; i < sizeof info->name && info->name[i]; ++i) {
      const char c = info->name[i];
      if (c == ' ' || (c >= '0' && c <= '9')) break;
      name[n++] = c;
    }
  }
  CopyGbkCut(out, 8, name);
}

// ---- the desk ----

TTradeDesk::TTradeDesk() {
  serverMinute = [] {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return now.wHour * 60 + now.wMinute;
  };
}

TTradeDesk::~TTradeDesk() { FreeContracts(); }

void TTradeDesk::SetAccount(const char *account) { CopyField(account_, sizeof account_, account ? account : "", 16); }

std::string TTradeDesk::AccountFolder() const { return std::string(UserDataPath) + account_ + "\\"; }

std::string TTradeDesk::AccountFile(const char *name) const { return AccountFolder() + name; }

int TTradeDesk::MergerMinute() const { return (serverMinute ? serverMinute() : 0) + 480; }

bool TTradeDesk::SetContracts(const CContractInfo *records, int32_t count) {
  FreeContracts();
  ++contractChanges_;
  if (count <= 0) return true;
  contracts = static_cast<CContractInfo *>(Malloc(int32_t(sizeof(CContractInfo)) * count));
  if (!contracts) return false;
  memcpy(contracts, records, sizeof(CContractInfo) * size_t(count));
  contractCount = count;
  contractIndex_.reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) {
    uint64_t key;
    if (CodeKey(contracts[i].InstrumentID, &key)) contractIndex_.emplace(key, i);  // the first one stays
  }
  return true;
}

void TTradeDesk::FreeContracts() {
  if (contracts) Free(contracts);
  contracts = nullptr;
  contractCount = 0;
  contractIndex_.clear();
  ++contractChanges_;
}

CContractInfo *TTradeDesk::FindContract(const char *code) const {
  uint64_t key;
  if (!code || !CodeKey(code, &key)) return nullptr;
  const auto it = contractIndex_.find(key);
  return it == contractIndex_.end() ? nullptr : &contracts[it->second];
}

// ---- short names ----

void TTradeDesk::LoadShortContractNames() {
  shortNames.RemoveAll();
  const std::string file = AccountFile("Consign.ini");
  for (int n = 1;; ++n) {
    char key[16], value[32];
    snprintf(key, sizeof key, "sc%i", n);
    GetPrivateProfileStringA("ShortCut", key, "", value, sizeof value, file.c_str());
    if (!value[0]) break;
    char *comma = strchr(value, ',');
    if (!comma) continue;
    *comma = '\0';
    if (!value[0] || !comma[1]) continue;
    ShortContractName record{};
    CopyGbkCut(record.ShortName, sizeof record.ShortName, value);
    CopyGbkCut(record.Contract, sizeof record.Contract, comma + 1);
    if (shortNames.Add(record) < 0) {
      MessageBoxA(nullptr, "内存不足，部分快捷键设置未能读入。  ", "错误", MB_ICONWARNING | MB_TOPMOST);
      break;
    }
  }
}

void TTradeDesk::SaveShortContractNames() {
  const std::string file = AccountFile("Consign.ini");
  WritePrivateProfileStringA("ShortCut", nullptr, nullptr, file.c_str());
  for (int32_t i = 0; i < shortNames.GetCount(); ++i) {
    const ShortContractName &record = shortNames.GetData()[i];
    char key[16], value[40];
    snprintf(key, sizeof key, "sc%i", i + 1);
    snprintf(value, sizeof value, "%.*s,%.*s", 7, record.ShortName, 7, record.Contract);
    WritePrivateProfileStringA("ShortCut", key, value, file.c_str());
  }
}

// ---- quick-order keys ----

void TTradeDesk::LoadOptionShortcuts() {
  shortcuts.RemoveAll();
  const std::string path = AccountFile("OptionShortcut.dat");
  const int32_t file = FileOpen(path.c_str(), "rb");
  if (file <= 0) {
    for (const OptionShortcut &record : kDefaultShortcuts) shortcuts.Add(record);
    SaveOptionShortcuts();
    return;
  }
  unsigned char bytes[8];
  while (FileRead(file, bytes, 1, sizeof bytes) == int32_t(sizeof bytes))
    if (shortcuts.Add(GetShortcut(bytes)) < 0) break;
  FileClose(file);
}

bool TTradeDesk::SaveOptionShortcuts() {
  const std::string path = AccountFile("OptionShortcut.dat");
  const std::string temporary = path + ".new";
  DeleteFileA(temporary.c_str());
  const int32_t file = FileOpen(temporary.c_str(), "wb");
  if (file <= 0) return false;
  bool written = true;
  for (int32_t i = 0; i < shortcuts.GetCount() && written; ++i) {
    unsigned char bytes[8];
    PutShortcut(shortcuts.GetData()[i], bytes);
    written = FileWrite(file, bytes, 1, sizeof bytes) == int32_t(sizeof bytes);
  }
  FileClose(file);
  if (written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileA(temporary.c_str());
  return false;
}

bool TTradeDesk::FindOptionShortcut(int slot, char *key, int32_t *value) const {
  for (int32_t i = 0; i < shortcuts.GetCount(); ++i) {
    const OptionShortcut &record = shortcuts.GetData()[i];
    if (record.Slot != slot) continue;
    if (key) *key = record.Key;
    if (value) *value = record.Value;
    return true;
  }
  if (key) *key = 0;
  if (value) *value = 0;
  return false;
}

bool TTradeDesk::SetOptionShortcut(int slot, char key, int32_t value) {
  if (slot < 0 || slot > 14) return false;
  OptionShortcut *found = nullptr;
  for (int32_t i = 0; i < shortcuts.GetCount() && !found; ++i)
    if (shortcuts.GetData()[i].Slot == slot) found = &shortcuts.GetData()[i];
  if (found) {
    found->Key = key;
    found->Value = value;
  } else {
    OptionShortcut record{};
    record.Slot = uint8_t(slot);
    record.Key = key;
    record.Value = value;
    if (shortcuts.Add(record) < 0) return false;
  }
  return SaveOptionShortcuts();
}

// ---- the options by task kind ----

int TTradeDesk::TaskPriceOffset(const OrderScript &task) const {
  return task.TaskKind == kTaskStop ? options.PriceOffsetS : options.PriceOffset;
}

int TTradeDesk::TaskTimeOut(const OrderScript &task) const {
  return task.TaskKind == kTaskStop ? options.TimeOutS : options.TimeOut;
}

bool TTradeDesk::TaskReorder(const OrderScript &task) const {
  if (task.TaskKind == kTaskStop) return options.ReInputOrderS;
  if (task.TaskKind == kTaskCondition) return task.Reorder != 0;
  return options.ReInputOrder;
}

bool TTradeDesk::TaskActionOnLimit(const OrderScript &task) const {
  return task.TaskKind == kTaskStop ? options.ActionOnLimitS : options.ActionOnLimit;
}
