#include "trading/stoporders.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "core/efile.h"
#include "core/emem.h"
#include "market/dataio5.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/kernel.h"
#include "platform/profile.h"
#include "trading/deskdata.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

namespace {

#pragma pack(push, 1)
// The stored record, field by field.
struct StopFileRecord {
  uint32_t reserved0;
  uint32_t setTime;
  int32_t volume;
  uint32_t link;
  double stop;
  double trailing;
  double profit;
  double reference;
  int32_t expiry;
  uint32_t reserved52;
};
#pragma pack(pop)
static_assert(sizeof(StopFileRecord) == kStopRecordSize);
static_assert(offsetof(StopFileRecord, setTime) == 4 && offsetof(StopFileRecord, volume) == 8);
static_assert(offsetof(StopFileRecord, link) == 12 && offsetof(StopFileRecord, stop) == 16);
static_assert(offsetof(StopFileRecord, trailing) == 24 && offsetof(StopFileRecord, profit) == 32);
static_assert(offsetof(StopFileRecord, reference) == 40 && offsetof(StopFileRecord, expiry) == 48);
static_assert(offsetof(StopFileRecord, reserved52) == 52);

const char kMagic1[kStopFileMagicSize] = {'k', 'v', 's', 't', 'o', 'p', '1', 0};
const char kMagic2[kStopFileMagicSize] = {'k', 'v', 's', 't', 'o', 'p', '2', 0};

CTime32 Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return CTime32(now);
}

uint32_t TimeBits(CTime32 time) {
  uint32_t bits;
  memcpy(&bits, static_cast<const void *>(&time), sizeof bits);
  return bits;
}

CTime32 TimeFromBits(uint32_t bits) {
  CTime32 time;
  memcpy(static_cast<void *>(&time), &bits, sizeof bits);
  return time;
}

StopOrder *NewEntry() {
  auto *entry = static_cast<StopOrder *>(Malloc(int32_t(sizeof(StopOrder))));
  if (entry) memset(static_cast<void *>(entry), 0, sizeof *entry);
  return entry;
}

bool SameKey(const InvestorPosition_Lite &a, const char *code, char direction, char hedge) {
  return a.PosiDirection == direction && a.HedgeFlag == hedge &&
         strncasecmp(a.InstrumentID, code, sizeof a.InstrumentID) == 0;
}

std::string CodeOf(const InvestorPosition_Lite &p) {
  return std::string(p.InstrumentID, strnlen(p.InstrumentID, sizeof p.InstrumentID));
}

// Takes up to surplus from the entries that match, from the head on; an
// entry left with nothing is freed. True when anything was taken.
template <typename Match>
bool TakeSurplus(StopOrderPointer &holder, int32_t surplus, Match match) {
  bool taken = false;
  StopOrder **link = &holder.First;
  while (*link && surplus > 0) {
    StopOrder *entry = *link;
    if (!match(*entry)) {
      link = &entry->Next;
      continue;
    }
    const int32_t take = entry->Volume < surplus ? entry->Volume : surplus;
    entry->Volume -= take;
    surplus -= take;
    taken = taken || take > 0;
    if (entry->Volume <= 0) {
      *link = entry->Next;
      Free(entry);
    } else {
      link = &entry->Next;
    }
  }
  return taken;
}

void ReleaseHolder(InvestorPosition_Lite &position) {
  if (position.Stops && position.Stops->Release()) StopOrderPointer::Destroy(position.Stops);
  position.Stops = nullptr;
}

// One entry from the legacy settings file for the position; the holder is
// kept only when it yields a valid entry.
bool LoadLegacyStop(InvestorPosition_Lite &position, const std::string &ini) {
  char key[16];
  snprintf(key, sizeof key, "%s%c%c", CodeOf(position).c_str(), StopDirectionChar(position.PosiDirection),
           position.HedgeFlag);
  char value[64] = {};
  GetPrivateProfileStringA("Stop", key, "", value, 63, ini.c_str());
  int commas = 0;
  for (const char *c = value; *c; ++c) commas += *c == ',';
  if (commas < 4) return false;
  double fields[4] = {};
  const char *p = value;
  for (double &field : fields) {
    field = atof(p);
    p = strchr(p, ',') + 1;
  }
  StopOrder entry{};
  entry.StopPrice = fields[0];
  entry.Trailing = PriceIsSet(entry.StopPrice) ? fields[1] : 0;
  entry.ProfitPrice = fields[2];
  entry.TrailReference = fields[3];
  entry.Volume = position.Volume;
  entry.SetTime = Now();
  if (!StopEntryValid(entry)) return false;
  StopOrderPointer *holder = StopOrderPointer::Create();
  StopOrder *copy = NewEntry();
  if (!holder || !copy) {
    Free(copy);
    if (holder) StopOrderPointer::Destroy(holder);
    return true;
  }
  *copy = entry;
  copy->Next = nullptr;
  holder->First = copy;
  position.Stops = holder;
  return false;
}

// The entries of one stop file; true when memory ran out.
bool LoadStopFile(InvestorPosition_Lite &position, const std::string &path, int32_t tradeDate) {
  if (path.empty()) return false;
  const int32_t file = FileOpen(path.c_str(), "rb");
  if (file <= 0) return false;
  char magic[kStopFileMagicSize];
  size_t size = 0;
  if (FileRead(file, magic, 1, sizeof magic) == int32_t(sizeof magic)) {
    if (memcmp(magic, kMagic2, sizeof magic) == 0) size = kStopRecordSize;
    if (memcmp(magic, kMagic1, sizeof magic) == 0) size = kStopRecordSize1;
  }
  bool outOfMemory = false;
  if (size) position.Stops = StopOrderPointer::Create();
  if (size && !position.Stops) outOfMemory = true;
  StopOrder **tail = position.Stops ? &position.Stops->First : nullptr;
  unsigned char bytes[kStopRecordSize];
  while (tail && FileRead(file, bytes, 1, int32_t(size)) == int32_t(size)) {
    const StopOrder record = GetStopRecord(bytes, size);
    if (record.ExpiryDay != 0 && record.ExpiryDay < tradeDate) continue;
    if (!StopEntryValid(record)) continue;
    StopOrder *entry = NewEntry();
    if (!entry) {
      outOfMemory = true;
      continue;
    }
    *entry = record;
    *tail = entry;
    tail = &entry->Next;
  }
  FileClose(file);
  return outOfMemory;
}

bool WriteStopFile(const std::string &path, const StopOrderPointer *holder) {
  if (path.empty()) return false;
  std::string bytes(kMagic2, sizeof kMagic2);
  for (const StopOrder *e = holder ? holder->First : nullptr; e; e = e->Next) {
    if (!StopEntryValid(*e)) continue;
    unsigned char record[kStopRecordSize];
    PutStopRecord(*e, record);
    bytes.append(reinterpret_cast<const char *>(record), sizeof record);
  }
  return ReplaceFileBytes(path, bytes.data(), bytes.size());
}

}  // namespace

bool ReplaceFileBytes(const std::string &path, const void *data, size_t size, bool flush) {
  const std::string temporary = path + ".new";
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool written = size == 0 || (WriteFile(file, data, DWORD(size), &done, nullptr) && done == size);
  if (flush) written = FlushFileBuffers(file) && written;
  CloseHandle(file);
  written = written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!written) DeleteFileA(temporary.c_str());
  return written;
}

int64_t PriceThousandths(double price) { return int64_t(price * 1000 + 0.01); }

bool StopEntryValid(const StopOrder &entry) {
  return entry.Volume > 0 && (PriceIsSet(entry.StopPrice) || PriceIsSet(entry.ProfitPrice));
}

int CompareStopOrders(char direction, const StopOrder *a, const StopOrder *b) {
  const bool longSide = direction == '2';
  const bool aStop = PriceIsSet(a->StopPrice), bStop = PriceIsSet(b->StopPrice);
  if (aStop) {
    if (!bStop) return -1;
    if (a->StopPrice == b->StopPrice) return 0;
    const bool aFirst = longSide ? a->StopPrice > b->StopPrice : a->StopPrice < b->StopPrice;
    return aFirst ? -1 : 1;
  }
  if (bStop) return 1;
  if (a->ProfitPrice == b->ProfitPrice) return 0;
  const bool aFirst = longSide ? a->ProfitPrice < b->ProfitPrice : a->ProfitPrice > b->ProfitPrice;
  return aFirst ? -1 : 1;
}

void PutStopRecord(const StopOrder &entry, unsigned char out[kStopRecordSize]) {
  StopFileRecord r{};
  r.setTime = TimeBits(entry.SetTime);
  r.volume = entry.Volume;
  r.stop = entry.StopPrice;
  r.trailing = entry.Trailing;
  r.profit = entry.ProfitPrice;
  r.reference = entry.TrailReference;
  r.expiry = entry.ExpiryDay;
  memcpy(out, &r, sizeof r);
}

StopOrder GetStopRecord(const unsigned char *in, size_t size) {
  StopFileRecord r{};
  memcpy(&r, in, size < sizeof r ? size : sizeof r);
  StopOrder entry{};
  entry.SetTime = TimeFromBits(r.setTime);
  entry.Volume = r.volume;
  entry.StopPrice = r.stop;
  entry.Trailing = r.trailing;
  entry.ProfitPrice = r.profit;
  entry.TrailReference = r.reference;
  entry.ExpiryDay = size >= kStopRecordSize ? r.expiry : 0;
  return entry;
}

double InstrumentLastPrice(STKPTR stock) {
  const TMarketData *market = MarketAt(stock.market);
  if (!market || stock.stock >= market->m_loadedCount || !market->m_quotes) return 0;
  return double(market->m_quotes[stock.stock].last) / market->m_stocks[stock.stock].PriceDivisor();
}

char StopDirectionChar(char direction) { return direction == '2' || direction == '3' ? direction : '1'; }

std::string StopFilePath(const TTradeDesk &desk, const char *code, char direction, char hedge) {
  const std::string text(code, strnlen(code, 8));
  if (text.empty() || text.find_first_of("/\\:") != std::string::npos || text.find("..") != std::string::npos)
    return {};
  return desk.AccountFolder() + "stoporder\\" + text + StopDirectionChar(direction) + hedge + ".sto";
}

int32_t PluginTradeDate() {
  if (!TradePlugin.GetTradeDate) return 0;
  char date[16] = {};
  TradePlugin.GetTradeDate(date);
  return int32_t(atoi(date));
}

// ---- the holder ----

StopOrderPointer *StopOrderPointer::Create() {
  MarkStopEntriesChanged();
  auto *holder = static_cast<StopOrderPointer *>(Malloc(int32_t(sizeof(StopOrderPointer))));
  if (holder) {
    holder->First = nullptr;
    holder->References = 1;
  }
  return holder;
}

void StopOrderPointer::Destroy(StopOrderPointer *holder) {
  if (!holder) return;
  holder->FreeEntries();
  Free(holder);
}

StopOrderPointer *StopOrderPointer::Copy(const StopOrderPointer &source) {
  StopOrderPointer *holder = Create();
  if (holder) holder->Assign(&source);
  return holder;
}

void StopOrderPointer::FreeEntries() {
  MarkStopEntriesChanged();
  while (First) {
    StopOrder *next = First->Next;
    Free(First);
    First = next;
  }
}

void StopOrderPointer::Assign(const StopOrderPointer *source) {
  if (source == this) return;
  FreeEntries();
  MarkStopEntriesChanged();
  StopOrder **tail = &First;
  for (const StopOrder *e = source ? source->First : nullptr; e; e = e->Next) {
    if (!StopEntryValid(*e)) continue;
    StopOrder *copy = NewEntry();
    if (!copy) continue;
    *copy = *e;
    copy->Next = nullptr;
    *tail = copy;
    tail = &copy->Next;
  }
}

StopOrderPointer *StopOrderPointer::AddRef() {
  MarkStopEntriesChanged();
  ++References;
  return this;
}

bool StopOrderPointer::Release() {
  MarkStopEntriesChanged();
  if (References != 0) --References;
  if (References != 0) return false;
  FreeEntries();
  return true;
}

bool StopOrderPointer::AddEntry(STKPTR stock, int32_t volume, double stop, double trailing, double profit,
                                double trailReference, int32_t expiryKind, int32_t tradeDate) {
  MarkStopEntriesChanged();
  const int64_t stopK = PriceThousandths(stop), profitK = PriceThousandths(profit);
  int64_t trailingK = PriceThousandths(trailing);
  if (stopK == 0) {
    trailingK = 0;
    trailing = 0;
  }
  if (stopK != 0 || profitK != 0) {
    for (StopOrder *e = First; e; e = e->Next) {
      if (int64_t(e->Volume) + volume > 100) continue;
      if (PriceThousandths(e->StopPrice) != stopK || PriceThousandths(e->Trailing) != trailingK ||
          PriceThousandths(e->ProfitPrice) != profitK)
        continue;
      if ((e->ExpiryDay != 0) != (expiryKind != 0)) continue;
      e->Volume += volume;
      e->SetTime = Now();
      return true;
    }
  }
  StopOrder *entry = NewEntry();
  if (!entry) return false;
  entry->StopPrice = stop;
  entry->Trailing = trailing;
  entry->ProfitPrice = profit;
  entry->TrailReference = trailReference;
  if (PriceIsSet(entry->Trailing) && !PriceIsSet(entry->TrailReference)) {
    const double last = InstrumentLastPrice(stock);
    if (last == 0)
      entry->Trailing = 0;
    else
      entry->TrailReference = last;
  }
  entry->SetTime = Now();
  entry->Volume = volume;
  entry->ExpiryDay = expiryKind == 1 ? tradeDate : 0;
  StopOrder **tail = &First;
  while (*tail) tail = &(*tail)->Next;
  *tail = entry;
  return true;
}

void StopOrderPointer::RemoveInvalid(int32_t keep) {
  MarkStopEntriesChanged();
  StopOrder **link = &First;
  for (int32_t index = 0; *link; ++index) {
    StopOrder *entry = *link;
    if (index != keep && !StopEntryValid(*entry)) {
      *link = entry->Next;
      Free(entry);
    } else {
      link = &entry->Next;
    }
  }
}

void StopOrderPointer::Sort(char direction) {
  MarkStopEntriesChanged();
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (StopOrder **link = &First; *link && (*link)->Next; link = &(*link)->Next) {
      StopOrder *x = *link, *y = x->Next;
      if (CompareStopOrders(direction, x, y) > 0) {
        x->Next = y->Next;
        y->Next = x;
        *link = y;
        swapped = true;
        break;
      }
    }
  }
}

bool StopOrderPointer::TrimToPosition(const EArray<InvestorPosition_Lite> &all, STKPTR stock, char direction,
                                      char hedge) {
  MarkStopEntriesChanged();
  int64_t volume = 0;
  for (int32_t i = 0; i < all.GetCount(); ++i) {
    const InvestorPosition_Lite &p = all.GetData()[i];
    if (SameStock(p.Stock, stock) && p.PosiDirection == direction && p.HedgeFlag == hedge) volume += p.Volume;
  }
  bool changed = false;
  const int32_t stopVolume = StopVolume();
  if (stopVolume > volume)
    changed |= TakeSurplus(*this, int32_t(stopVolume - volume), [](const StopOrder &e) { return PriceIsSet(e.StopPrice); });
  const int32_t profitVolume = TakeProfitVolume();
  if (profitVolume > volume)
    changed |= TakeSurplus(*this, int32_t(profitVolume - volume), [](const StopOrder &e) {
      return !PriceIsSet(e.StopPrice) && PriceIsSet(e.ProfitPrice);
    });
  return changed;
}

int32_t StopOrderPointer::StopVolume() const {
  int32_t sum = 0;
  for (const StopOrder *e = First; e; e = e->Next) sum += PriceIsSet(e->StopPrice) ? e->Volume : 0;
  return sum;
}

int32_t StopOrderPointer::TakeProfitVolume() const {
  int32_t sum = 0;
  for (const StopOrder *e = First; e; e = e->Next) sum += PriceIsSet(e->ProfitPrice) ? e->Volume : 0;
  return sum;
}

int32_t StopOrderPointer::ActiveVolume() const {
  int32_t sum = 0;
  for (const StopOrder *e = First; e; e = e->Next)
    sum += PriceIsSet(e->StopPrice) || PriceIsSet(e->ProfitPrice) ? e->Volume : 0;
  return sum;
}

int32_t StopOrderPointer::TotalVolume() const {
  int32_t sum = 0;
  for (const StopOrder *e = First; e; e = e->Next) sum += e->Volume;
  return sum;
}

int32_t StopOrderPointer::Count() const {
  int32_t n = 0;
  for (const StopOrder *e = First; e; e = e->Next) ++n;
  return n;
}

// ---- the position's operations ----

bool InvestorPosition_Lite::AddStop(EArray<InvestorPosition_Lite> &all, int32_t volume, double stop, double trailing,
                                    double profit, double trailReference, int32_t expiryKind, int32_t tradeDate) {
  if (volume <= 0 || (!PriceIsSet(stop) && !PriceIsSet(profit))) return true;
  if (!Stops) {
    Stops = StopOrderPointer::Create();
    if (!Stops) return false;
    const std::string code = CodeOf(*this);
    for (int32_t i = 0; i < all.GetCount(); ++i) {
      InvestorPosition_Lite &other = all.GetData()[i];
      if (&other == this || other.Stops || !SameKey(other, code.c_str(), PosiDirection, HedgeFlag)) continue;
      other.Stops = Stops->AddRef();
    }
  }
  return Stops->AddEntry(Stock, volume, stop, trailing, profit, trailReference, expiryKind, tradeDate);
}

void InvestorPosition_Lite::SortStops() {
  if (Stops) Stops->Sort(PosiDirection);
}

bool InvestorPosition_Lite::TrimStops(const EArray<InvestorPosition_Lite> &all) {
  return Stops && Stops->TrimToPosition(all, Stock, PosiDirection, HedgeFlag);
}

int32_t InvestorPosition_Lite::StopCount() const { return Stops ? Stops->Count() : 0; }

void InvestorPosition_Lite::BestStopAndProfit(double *stop, int32_t *stopVolume, double *profit,
                                              int32_t *profitVolume) const {
  *stop = *profit = 0;
  *stopVolume = *profitVolume = 0;
  const bool longSide = PosiDirection == '2';
  for (const StopOrder *e = Stops ? Stops->First : nullptr; e; e = e->Next) {
    if (PriceIsSet(e->StopPrice) &&
        (*stopVolume == 0 || (longSide ? e->StopPrice > *stop : e->StopPrice < *stop))) {
      *stop = e->StopPrice;
      *stopVolume = 0;
    }
    if (PriceIsSet(e->ProfitPrice) &&
        (*profitVolume == 0 || (longSide ? e->ProfitPrice < *profit : e->ProfitPrice > *profit))) {
      *profit = e->ProfitPrice;
      *profitVolume = 0;
    }
    if (PriceIsSet(e->StopPrice) && e->StopPrice == *stop) *stopVolume += e->Volume;
    if (PriceIsSet(e->ProfitPrice) && e->ProfitPrice == *profit) *profitVolume += e->Volume;
  }
}

// ---- the files ----

bool LoadStopOrders(TTradeDesk &desk, int32_t tradeDate) {
  const std::string folder = desk.AccountFolder() + "stoporder\\";
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "*.sto").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const size_t length = strlen(found.cFileName);
      if (length < 11) continue;
      const char direction = found.cFileName[length - 6], hedge = found.cFileName[length - 5];
      const std::string code(found.cFileName, length - 6);
      bool held = false;
      for (int32_t i = 0; i < desk.positions.GetCount() && !held; ++i) {
        const InvestorPosition_Lite &p = desk.positions.GetData()[i];
        held = StopDirectionChar(p.PosiDirection) == direction && p.HedgeFlag == hedge &&
               strncasecmp(CodeOf(p).c_str(), code.c_str(), code.size() + 1) == 0;
      }
      if (held) continue;
      char text[128];
      snprintf(text, sizeof text, "1|由于没有持仓，删除%s%s%s止损设置", code.c_str(), direction == '2' ? "买" : "卖",
               hedge == '1' ? "投机" : "保值");
      WriteTradeLog(desk, TLOG_TEXT, text);
      DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }

  bool outOfMemory = false;
  const std::string ini = desk.AccountFile("stopordr.ini");
  const bool legacy = GetFileAttributesA(ini.c_str()) != INVALID_FILE_ATTRIBUTES;
  for (int32_t i = 0; i < desk.positions.GetCount(); ++i) {
    InvestorPosition_Lite &p = desk.positions.GetData()[i];
    ReleaseHolder(p);
    const std::string code = CodeOf(p);
    bool shared = false;
    for (int32_t j = 0; j < i && !shared; ++j) {
      InvestorPosition_Lite &earlier = desk.positions.GetData()[j];
      if (!SameKey(earlier, code.c_str(), p.PosiDirection, p.HedgeFlag)) continue;
      shared = true;
      if (earlier.Stops) p.Stops = earlier.Stops->AddRef();
    }
    if (shared) continue;
    if (legacy)
      outOfMemory |= LoadLegacyStop(p, ini);
    else
      outOfMemory |= LoadStopFile(p, StopFilePath(desk, p.InstrumentID, p.PosiDirection, p.HedgeFlag), tradeDate);
  }
  DeleteFileA(ini.c_str());
  for (int32_t i = 0; i < desk.positions.GetCount(); ++i) {
    InvestorPosition_Lite &p = desk.positions.GetData()[i];
    p.SortStops();
    p.TrimStops(desk.positions);
    SaveStopOrders(desk, &p, false);
  }
  LogStopSettings(desk);
  return outOfMemory;
}

bool SaveStopOrders(TTradeDesk &desk, InvestorPosition_Lite *position, bool log) {
  bool failed = false;
  for (int32_t i = 0; i < desk.positions.GetCount(); ++i) {
    InvestorPosition_Lite &p = desk.positions.GetData()[i];
    if (position && &p != position) continue;
    failed |= !WriteStopFile(StopFilePath(desk, p.InstrumentID, p.PosiDirection, p.HedgeFlag), p.Stops);
  }
  if (position && (position < desk.positions.GetData() ||
                   position >= desk.positions.GetData() + desk.positions.GetCount()))
    failed |= !WriteStopFile(StopFilePath(desk, position->InstrumentID, position->PosiDirection, position->HedgeFlag),
                             position->Stops);
  if (log) LogStopSettings(desk);
  return failed;
}

void ReleaseAllStops(TTradeDesk &desk) {
  for (int32_t i = 0; i < desk.positions.GetCount(); ++i) ReleaseHolder(desk.positions.GetData()[i]);
}

// ---- the desk's store ----

TDeskStopStore::TDeskStopStore(TTradeDesk &desk) : tradeDate(PluginTradeDate), desk_(desk) {}

bool TDeskStopStore::AddStop(InvestorPosition_Lite &position, int32_t volume, double stop, double trailing,
                             double profit, double trailReference, int32_t expiryKind) {
  return position.AddStop(desk_.positions, volume, stop, trailing, profit, trailReference, expiryKind,
                          tradeDate ? tradeDate() : 0);
}

void TDeskStopStore::SortStops(InvestorPosition_Lite &position) { position.SortStops(); }

bool TDeskStopStore::TrimStops(InvestorPosition_Lite &position) { return position.TrimStops(desk_.positions); }

int32_t TDeskStopStore::StopCount(const InvestorPosition_Lite &position) const { return position.StopCount(); }

StopOrderPointer *TDeskStopStore::AddRef(StopOrderPointer *holder) { return holder ? holder->AddRef() : nullptr; }

bool TDeskStopStore::Release(StopOrderPointer *holder) { return holder && holder->Release(); }

void TDeskStopStore::FreeHolder(StopOrderPointer *holder) { StopOrderPointer::Destroy(holder); }

bool TDeskStopStore::LoadStopOrders(int32_t date) {
  const bool failed = ::LoadStopOrders(desk_, date);
  // Also after a load short of memory: the entries that did load are the
  // ones the quotes fire on from now on.
  if (loaded) loaded(date);
  return failed;
}

bool TDeskStopStore::SaveStopOrders(InvestorPosition_Lite *position, bool log) {
  return ::SaveStopOrders(desk_, position, log);
}
