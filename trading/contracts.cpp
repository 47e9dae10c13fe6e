#include "trading/contracts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/fileapi.h"
#include "platform/profile.h"
#include "trading/deskdata.h"

namespace {

void PutU32(uint8_t *out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (8 * i));
}
uint32_t GetU32(const uint8_t *in) {
  return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

// "%u,%u,%u" of a stop section: loss, profit, trailing; no loss, no trailing.
void ReadStops(const char *section, const char *product, const char *file, uint32_t *loss, uint32_t *profit,
               uint32_t *trailing) {
  char text[64] = {};
  GetPrivateProfileStringA(section, product, "0,0,0", text, sizeof text, file);
  unsigned values[3] = {};
  if (sscanf(text, "%u,%u,%u", &values[0], &values[1], &values[2]) < 1) values[0] = 0;
  *loss = values[0];
  *profit = values[1];
  *trailing = values[0] == 0 ? 0 : values[2];
}

}  // namespace

void SerializeContract(const CContractInfo &r, uint8_t out[72]) {
  memset(out, 0, 72);
  memcpy(out, r.InstrumentID, 7);
  memcpy(out + 8, r.ExchangeID, 7);
  PutU32(out + 16, uint32_t(r.VolumeMultiple));
  PutU32(out + 20, uint32_t(r.DefaultOpenVolume));
  PutU32(out + 24, uint32_t(r.DefaultCloseVolume));
  uint64_t tick;
  memcpy(&tick, &r.PriceTick, 8);
  PutU32(out + 32, uint32_t(tick));
  PutU32(out + 36, uint32_t(tick >> 32));
  const uint32_t stops[6] = {r.BuyLoss, r.SellLoss, r.BuyProfit, r.SellProfit, r.BuyTrailing, r.SellTrailing};
  for (int i = 0; i < 6; ++i) PutU32(out + 40 + 4 * i, stops[i]);
  out[64] = r.Stock.market;
  out[65] = r.Stock.kind;
  out[66] = uint8_t(r.Stock.stock);
  out[67] = uint8_t(r.Stock.stock >> 8);
}

void DeserializeContract(const uint8_t in[72], CContractInfo &r) {
  r = CContractInfo{};
  memcpy(r.InstrumentID, in, 7);
  memcpy(r.ExchangeID, in + 8, 7);
  r.VolumeMultiple = int32_t(GetU32(in + 16));
  r.DefaultOpenVolume = int32_t(GetU32(in + 20));
  r.DefaultCloseVolume = int32_t(GetU32(in + 24));
  const uint64_t tick = uint64_t(GetU32(in + 32)) | uint64_t(GetU32(in + 36)) << 32;
  memcpy(&r.PriceTick, &tick, 8);
  uint32_t *stops[6] = {&r.BuyLoss, &r.SellLoss, &r.BuyProfit, &r.SellProfit, &r.BuyTrailing, &r.SellTrailing};
  for (int i = 0; i < 6; ++i) *stops[i] = GetU32(in + 40 + 4 * i);
  r.Stock.market = in[64];
  r.Stock.kind = in[65];
  r.Stock.stock = uint16_t(in[66] | in[67] << 8);
}

bool ContractBefore(const CContractInfo &a, const CContractInfo &b) {
  if (a.Stock.market != b.Stock.market) return a.Stock.market < b.Stock.market;
  if (a.Stock.kind != b.Stock.kind) return a.Stock.kind < b.Stock.kind;
  return a.Stock.stock < b.Stock.stock;
}

TContractList::~TContractList() { Abandon(); }

std::string TContractList::FilePath() const { return desk_.AccountFile("Contract.dat"); }

void TContractList::CloseFile() {
  if (file_ && file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = nullptr;
}

void TContractList::Begin() {
  Abandon();
  desk_.FreeContracts();
  count_ = 0;
  incomplete = false;
  productDefaults_.clear();
  active_ = true;
}

void TContractList::Abandon() {
  CloseFile();
  if (active_ || count_ > 0) DeleteFileA(FilePath().c_str());
  active_ = false;
  count_ = 0;
}

bool TContractList::BuildRecord(const tb::TB_CONTRACT &contract, CContractInfo &r) {
  char code[8] = {};
  memcpy(code, contract.InstrumentID, 7);
  const STKPTR stock = LookupContractStock(code, desk_.MergerMinute());
  if (stock.IsNone()) return false;
  r = CContractInfo{};
  memcpy(r.InstrumentID, code, 7);
  memcpy(r.ExchangeID, contract.ExchangeID, 7);
  r.ExchangeID[7] = 0;
  r.VolumeMultiple = contract.Attribute;
  r.PriceTick = contract.PriceTick;
  r.Stock = stock;
  // The four per-product sections, read once per product and list.
  const char *product = ContractProductCode(r.InstrumentID);
  auto known = productDefaults_.find(product);
  if (known == productDefaults_.end()) {
    const std::string file = desk_.AccountFile("Consign.ini");
    CContractInfo d{};
    d.DefaultOpenVolume = int32_t(GetPrivateProfileIntA("DefVol", product, 1, file.c_str()));
    d.DefaultCloseVolume = int32_t(GetPrivateProfileIntA("DefCloseVol", product, 0, file.c_str()));
    ReadStops("AutoBuyStop", product, file.c_str(), &d.BuyLoss, &d.BuyProfit, &d.BuyTrailing);
    ReadStops("AutoSellStop", product, file.c_str(), &d.SellLoss, &d.SellProfit, &d.SellTrailing);
    known = productDefaults_.emplace(product, d).first;
  }
  const CContractInfo &d = known->second;
  r.DefaultOpenVolume = d.DefaultOpenVolume;
  r.DefaultCloseVolume = d.DefaultCloseVolume;
  r.BuyLoss = d.BuyLoss, r.BuyProfit = d.BuyProfit, r.BuyTrailing = d.BuyTrailing;
  r.SellLoss = d.SellLoss, r.SellProfit = d.SellProfit, r.SellTrailing = d.SellTrailing;
  return true;
}

bool TContractList::Add(const tb::TB_CONTRACT &contract) {
  if (contract.Valid == 0) return true;
  CContractInfo record;
  if (!BuildRecord(contract, record)) return true;
  active_ = true;
  if (!file_) {
    const std::string path = FilePath();
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           count_ == 0 ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      incomplete = true;
      return false;
    }
    file_ = f;
    if (SetFilePointer(file_, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
      CloseFile();
      incomplete = true;
      return false;
    }
  }
  ++count_;  // counted before the write: a short write shows at the end
  uint8_t bytes[72];
  SerializeContract(record, bytes);
  DWORD written = 0;
  if (!WriteFile(file_, bytes, sizeof bytes, &written, nullptr) || written != sizeof bytes) {
    CloseFile();
    return false;
  }
  return true;
}

const char *TContractList::Finish() {
  CloseFile();
  const std::string path = FilePath();
  const int32_t count = count_;
  active_ = false;
  count_ = 0;
  if (count <= 0) {
    DeleteFileA(path.c_str());
    return "没有可以交易的合约。";
  }
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    DeleteFileA(path.c_str());
    return "读取临时文件失败。";
  }
  DWORD high = 0;
  const DWORD size = GetFileSize(f, &high);
  if (high != 0 || uint64_t(size) != uint64_t(count) * 72) {
    CloseHandle(f);
    DeleteFileA(path.c_str());
    return "写入临时文件失败。";
  }
  std::vector<uint8_t> bytes;
  std::vector<CContractInfo> records;
  try {
    bytes.resize(size_t(size));
    records.resize(size_t(count));
  } catch (const std::bad_alloc &) {
    CloseHandle(f);
    DeleteFileA(path.c_str());
    return "内存不足。";
  }
  DWORD read = 0;
  const BOOL ok = ReadFile(f, bytes.data(), size, &read, nullptr);
  CloseHandle(f);
  DeleteFileA(path.c_str());
  if (!ok || read != size) return "读取临时文件失败。";
  for (int32_t i = 0; i < count; ++i) DeserializeContract(bytes.data() + size_t(i) * 72, records[size_t(i)]);
  std::stable_sort(records.begin(), records.end(), ContractBefore);
  if (!desk_.SetContracts(records.data(), count)) return "内存不足。";
  desk_.LoadShortContractNames();
  BuildContractGroups(desk_);
  return nullptr;
}

void BuildContractGroups(TTradeDesk &desk) {
  desk.groups.RemoveAll();
  char previous[8] = {};
  for (int32_t i = 0; i < desk.contractCount; ++i) {
    char name[8] = {};
    ContractGroupName(desk.contracts[i], name);
    if (i > 0 && strcmp(name, previous) == 0) continue;
    if (desk.groups.GetCount() > 0) desk.groups.GetData()[desk.groups.GetCount() - 1].Last = i - 1;
    ContractNameList group = {};
    memcpy(group.GroupName, name, sizeof group.GroupName);
    group.First = i;
    group.Last = i;
    desk.groups.Add(group);
    memcpy(previous, name, sizeof previous);
  }
  if (desk.groups.GetCount() > 0) desk.groups.GetData()[desk.groups.GetCount() - 1].Last = desk.contractCount - 1;
}
