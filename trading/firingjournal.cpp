#include "trading/firingjournal.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/efile.h"
#include "core/emem.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "trading/conditionorders.h"
#include "trading/deskdata.h"
#include "trading/stoporders.h"
#include "trading/tradelog.h"

namespace {

const char kJournalMagic[8] = {'K', 'V', 'F', 'J', '0', '1', 0, 0};

#pragma pack(push, 1)
struct IntentRecord {
  int32_t number;
  uint8_t kind;
  uint8_t state;
  char code[8];
  char posDirection;
  char posHedge;
  unsigned char image[kConditionImageSize];
  int32_t volume;
  int32_t tradeDate;
  char instrument[8];
  char direction;
  char offset;
  char hedge;
  uint8_t priceKind;
  int32_t orderVolume;
  double priceValue;
  int32_t ordersBefore;
  char reference[16];
  char text[64];
  uint8_t reserved236[20];
};
#pragma pack(pop)
static_assert(sizeof(IntentRecord) == kIntentRecordSize);
static_assert(offsetof(IntentRecord, image) == 16 && offsetof(IntentRecord, volume) == 120);
static_assert(offsetof(IntentRecord, instrument) == 128 && offsetof(IntentRecord, orderVolume) == 140);
static_assert(offsetof(IntentRecord, priceValue) == 144 && offsetof(IntentRecord, ordersBefore) == 152);
static_assert(offsetof(IntentRecord, reference) == 156 && offsetof(IntentRecord, text) == 172);

void CopyText(char *out, size_t width, const char *text) {
  memset(out, 0, width);
  if (text) memcpy(out, text, strnlen(text, width - 1));
}

InvestorPosition_Lite *HeldPosition(TTradeDesk &desk, const FiringIntent &intent) {
  for (int32_t i = 0; i < desk.positions.GetCount(); ++i) {
    InvestorPosition_Lite &p = desk.positions.GetData()[i];
    if (p.PosiDirection == intent.posDirection && p.HedgeFlag == intent.posHedge && p.Volume > 0 &&
        strncasecmp(p.InstrumentID, intent.code, sizeof p.InstrumentID) == 0)
      return &p;
  }
  return nullptr;
}

bool BrokerOrderMatches(const CKivoOrderField &o, const FiringIntent &intent) {
  return o.OrderStatus[1] != 'p' && o.Direction == intent.direction && o.OffsetFlag == intent.offset &&
         o.HedgeFlag == intent.hedge && o.VolumeTotal == intent.orderVolume &&
         strncasecmp(o.InstrumentID, intent.instrument, sizeof o.InstrumentID) == 0;
}

// The index of the broker's matching order past the first `skip` ones not
// claimed, or -1.
int32_t NthBrokerOrder(const TTradeDesk &desk, const FiringIntent &intent, const std::vector<int32_t> &claimed,
                       int32_t skip) {
  int32_t seen = 0;
  for (int32_t i = 0; i < desk.orders.GetCount(); ++i) {
    if (!BrokerOrderMatches(desk.orders.GetData()[i], intent)) continue;
    bool taken = false;
    for (int32_t c : claimed) taken = taken || c == i;
    if (!taken && ++seen > skip) return i;
  }
  return -1;
}

int32_t CountBrokerOrders(const TTradeDesk &desk, const FiringIntent &intent) {
  int32_t n = 0;
  for (int32_t i = 0; i < desk.orders.GetCount(); ++i) n += BrokerOrderMatches(desk.orders.GetData()[i], intent);
  return n;
}

}  // namespace

void PutIntentRecord(const FiringIntent &intent, unsigned char out[kIntentRecordSize]) {
  IntentRecord r{};
  r.number = intent.number;
  r.kind = intent.kind;
  r.state = intent.state;
  memcpy(r.code, intent.code, sizeof r.code);
  r.posDirection = intent.posDirection;
  r.posHedge = intent.posHedge;
  memcpy(r.image, intent.image, sizeof r.image);
  r.volume = intent.volume;
  r.tradeDate = intent.tradeDate;
  memcpy(r.instrument, intent.instrument, sizeof r.instrument);
  r.direction = intent.direction;
  r.offset = intent.offset;
  r.hedge = intent.hedge;
  r.priceKind = intent.priceKind;
  r.orderVolume = intent.orderVolume;
  r.priceValue = intent.priceValue;
  r.ordersBefore = intent.ordersBefore;
  memcpy(r.reference, intent.reference, sizeof r.reference);
  memcpy(r.text, intent.text, sizeof r.text);
  memcpy(out, &r, sizeof r);
}

FiringIntent GetIntentRecord(const unsigned char in[kIntentRecordSize]) {
  IntentRecord r;
  memcpy(&r, in, sizeof r);
  FiringIntent intent;
  intent.number = r.number;
  intent.kind = r.kind;
  intent.state = r.state;
  memcpy(intent.code, r.code, sizeof r.code - 1);
  intent.posDirection = r.posDirection;
  intent.posHedge = r.posHedge;
  memcpy(intent.image, r.image, sizeof r.image);
  intent.volume = r.volume;
  intent.tradeDate = r.tradeDate;
  memcpy(intent.instrument, r.instrument, sizeof r.instrument - 1);
  intent.direction = r.direction;
  intent.offset = r.offset;
  intent.hedge = r.hedge;
  intent.priceKind = r.priceKind;
  intent.orderVolume = r.orderVolume;
  intent.priceValue = r.priceValue;
  intent.ordersBefore = r.ordersBefore;
  memcpy(intent.reference, r.reference, sizeof r.reference - 1);
  memcpy(intent.text, r.text, sizeof r.text - 1);
  return intent;
}

int32_t CountMatchingOrders(const TTradeDesk &desk, const char *instrument, char direction, char offset, char hedge,
                            int32_t volume) {
  int32_t n = 0;
  for (int32_t i = 0; i < desk.orders.GetCount(); ++i) {
    const CKivoOrderField &o = desk.orders.GetData()[i];
    n += o.Direction == direction && o.OffsetFlag == offset && o.HedgeFlag == hedge && o.VolumeTotal == volume &&
         strncasecmp(o.InstrumentID, instrument, sizeof o.InstrumentID) == 0;
  }
  return n;
}

TFiringJournal::TFiringJournal(TTradeDesk &desk) : desk_(desk) {
  tellFailure = [this](const char *text) {
    MessageBoxA(desk_.owner, text, "错误", MB_ICONWARNING | MB_TOPMOST);
  };
}

TFiringJournal::~TFiringJournal() { FileClose(appendFile_); }

std::string TFiringJournal::Path() const { return desk_.AccountFile("firing.jnl"); }

bool TFiringJournal::Load() {
  // Answers go only onto the file they belong to.
  FileClose(appendFile_);
  appendFile_ = 0;
  intents_.clear();
  loadedPath_ = Path();
  const int32_t file = FileOpen(loadedPath_.c_str(), "rb");
  if (file <= 0) return true;
  char magic[sizeof kJournalMagic];
  if (FileRead(file, magic, 1, sizeof magic) != int32_t(sizeof magic) || memcmp(magic, kJournalMagic, sizeof magic)) {
    FileClose(file);
    WriteTradeLog(desk_, TLOG_TEXT, "1|firing.jnl: unknown file head, ignored");
    return false;
  }
  unsigned char bytes[kIntentRecordSize];
  int32_t got;
  while ((got = FileRead(file, bytes, 1, sizeof bytes)) == int32_t(sizeof bytes)) {
    const FiringIntent read = GetIntentRecord(bytes);
    // An answer appended after the intent takes its place.
    if (FiringIntent *earlier = Find(read.number)) {
      *earlier = read;
      continue;
    }
    intents_.push_back(read);
    if (read.number >= next_) next_ = read.number + 1;
  }
  if (got > 0) WriteTradeLog(desk_, TLOG_TEXT, "1|firing.jnl: partial record ignored");
  FileClose(file);
  return true;
}

bool TFiringJournal::Save() {
  // A rewrite puts a new file in the old one's place.
  FileClose(appendFile_);
  appendFile_ = 0;
  // The intents go back to the account file they came from, even when the
  // desk has moved to another account since.
  if (loadedPath_.empty()) Load();
  const std::string path = loadedPath_;
  bool written = false;
  if (intents_.empty()) {
    written = DeleteFileA(path.c_str()) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  } else {
    std::string bytes(kJournalMagic, sizeof kJournalMagic);
    for (const FiringIntent &intent : intents_) {
      unsigned char record[kIntentRecordSize];
      PutIntentRecord(intent, record);
      bytes.append(reinterpret_cast<const char *>(record), sizeof record);
    }
    written = ReplaceFileBytes(path, bytes.data(), bytes.size());
  }
  if (!written) {
    WriteTradeLog(desk_, TLOG_TEXT, "1|写文件失败: firing.jnl");
    if (!told_ && tellFailure) tellFailure("写文件失败，自动下单记录无法保存。  ");
    told_ = true;
  }
  return written;
}

void TFiringJournal::EnsureLoaded() {
  if (loadedPath_ != Path()) Load();
}

FiringIntent *TFiringJournal::Find(int32_t number) {
  for (FiringIntent &intent : intents_)
    if (intent.number == number) return &intent;
  return nullptr;
}

int32_t TFiringJournal::Record(FiringIntent &intent, const OrderScript &task) {
  EnsureLoaded();
  intent.number = next_++;
  intent.state = kIntentOpen;
  memcpy(intent.instrument, task.InstrumentID, sizeof intent.instrument - 1);
  intent.direction = task.Direction;
  intent.offset = task.OffsetFlag;
  intent.hedge = task.HedgeFlag;
  intent.priceKind = task.PriceKind;
  intent.orderVolume = int32_t(task.Volume);
  intent.priceValue = task.PriceValue;
  intent.ordersBefore =
      CountMatchingOrders(desk_, task.InstrumentID, task.Direction, task.OffsetFlag, task.HedgeFlag, int32_t(task.Volume));
  intents_.push_back(intent);
  if (Save()) {
    if (onRecorded) onRecorded(intent.number);
    return intent.number;
  }
  intents_.pop_back();
  return 0;
}

int32_t TFiringJournal::RecordPending(const CKivoOrderField &order) {
  const std::vector<int32_t> numbers = RecordPendingWalk({&order});
  return numbers.empty() ? 0 : numbers[0];
}

std::vector<int32_t> TFiringJournal::RecordPendingWalk(const std::vector<const CKivoOrderField *> &orders) {
  EnsureLoaded();
  std::vector<int32_t> numbers;
  for (const CKivoOrderField *order : orders) {
    FiringIntent intent;
    intent.number = next_++;
    intent.kind = kFiringPending;
    intent.state = kIntentOpen;
    intent.volume = int32_t(strtol(order->OrderRef, nullptr, 10));
    memcpy(intent.instrument, order->InstrumentID, sizeof intent.instrument - 1);
    intent.direction = order->Direction;
    intent.offset = order->OffsetFlag;
    intent.hedge = order->HedgeFlag;
    intent.priceKind = uint8_t(order->PriceType);
    intent.orderVolume = order->VolumeTotal;
    intent.priceValue = order->LimitPrice;
    // The broker's orders as they are before the walk: the walk's own
    // orders are told apart by the claims made in the intents' order.
    intent.ordersBefore = CountBrokerOrders(desk_, intent);
    intents_.push_back(intent);
    numbers.push_back(intent.number);
  }
  if (numbers.empty() || Save()) return numbers;
  intents_.resize(intents_.size() - numbers.size());
  return {};
}

bool TFiringJournal::NotePendingAnswer(int32_t number, uint8_t state, const char *text) {
  FiringIntent *intent = Find(number);
  if (!intent) return false;
  intent->state = state;
  if (state == kIntentSent)
    CopyText(intent->reference, sizeof intent->reference, text && *text ? text : "?");
  else
    CopyText(intent->text, sizeof intent->text, text);
  if (state != kIntentSent) return Save();
  unsigned char record[kIntentRecordSize];
  PutIntentRecord(*intent, record);
  // Only onto the whole journal a rewrite left: never onto a missing or
  // foreign file.
  if (appendFile_ <= 0) {
    const std::string &path = loadedPath_;
    appendFile_ = GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : FileOpen(path.c_str(), "r+b");
    char magic[sizeof kJournalMagic] = {};
    const int32_t size = appendFile_ > 0 ? FileSize(appendFile_) : -1;
    const bool whole = size >= int32_t(sizeof magic) &&
                       (size - int32_t(sizeof magic)) % int32_t(kIntentRecordSize) == 0 &&
                       FileRead(appendFile_, magic, 1, sizeof magic) == int32_t(sizeof magic) &&
                       memcmp(magic, kJournalMagic, sizeof magic) == 0 && FileSeek(appendFile_, 0, 2) == size;
    if (!whole) {
      FileClose(appendFile_);
      appendFile_ = 0;
    }
  }
  const bool written = appendFile_ > 0 && FileWrite(appendFile_, record, 1, sizeof record) == int32_t(sizeof record);
  if (!written) {
    // A part written stays the file's tail: no record goes after it.
    FileClose(appendFile_);
    appendFile_ = 0;
    WriteTradeLog(desk_, TLOG_TEXT, "1|写文件失败: firing.jnl");
  }
  return written;
}

bool TFiringJournal::HasPendingIntents() {
  EnsureLoaded();
  for (const FiringIntent &intent : intents_)
    if (intent.kind == kFiringPending) return true;
  return false;
}

std::vector<std::string> TFiringJournal::SettlePendingSends() {
  EnsureLoaded();
  std::vector<std::string> leaving;
  std::vector<int32_t> claimed;
  for (const FiringIntent &intent : intents_) {
    if (intent.kind != kFiringPending) continue;
    bool arrived = intent.state == kIntentSent;
    const bool refused = intent.state == kIntentRefused;
    // A send known to have arrived claims its order too, so that an open
    // intent after it cannot take that order for its own.
    if (intent.state == kIntentSent || intent.state == kIntentOpen) {
      const int32_t index = NthBrokerOrder(desk_, intent, claimed, intent.ordersBefore);
      if (index >= 0) {
        claimed.push_back(index);
        arrived = true;
      }
    }
    char text[160];
    snprintf(text, sizeof text, "1|firing.jnl: %d open-trigger %d %.7s %s", intent.number, intent.volume,
             intent.instrument, arrived ? "sent" : refused ? "refused" : "kept");
    WriteTradeLog(desk_, TLOG_TEXT, text);
    if (arrived || refused) leaving.push_back(std::to_string(intent.volume));
  }
  return leaving;
}

void TFiringJournal::ForgetPendingIntents() {
  const size_t before = intents_.size();
  for (size_t i = intents_.size(); i-- > 0;)
    if (intents_[i].kind == kFiringPending) intents_.erase(intents_.begin() + ptrdiff_t(i));
  if (intents_.size() != before) Save();
}

void TFiringJournal::OrderSent(int32_t number, const char *reference) {
  FiringIntent *intent = Find(number);
  if (!intent) return;
  intent->state = kIntentSent;
  CopyText(intent->reference, sizeof intent->reference, reference && *reference ? reference : "?");
  Save();
}

void TFiringJournal::OrderRefused(int32_t number, const char *text) {
  FiringIntent *intent = Find(number);
  if (!intent) return;
  intent->state = kIntentRefused;
  CopyText(intent->text, sizeof intent->text, text);
  Save();
}

void TFiringJournal::OrderBecameTrigger(int32_t number) {
  FiringIntent *intent = Find(number);
  if (!intent) return;
  intent->state = kIntentOpenTrigger;
  Save();
}

void TFiringJournal::OnOrderInsert(const OrderScript &task, int result, const char *reference, const char *text) {
  const int32_t number = TaskIntent(task);
  if (number <= 0) return;
  if (result == 0)
    OrderSent(number, reference);
  else
    OrderRefused(number, text);
}

void TFiringJournal::Forget(int32_t number) {
  for (size_t i = 0; i < intents_.size(); ++i)
    if (intents_[i].number == number) {
      intents_.erase(intents_.begin() + ptrdiff_t(i));
      Save();
      return;
    }
}

void TFiringJournal::Forget(const std::vector<int32_t> &numbers) {
  const size_t before = intents_.size();
  for (int32_t number : numbers)
    for (size_t i = 0; i < intents_.size(); ++i)
      if (intents_[i].number == number) {
        intents_.erase(intents_.begin() + ptrdiff_t(i));
        break;
      }
  if (intents_.size() != before) Save();
}

bool TFiringJournal::Settle(const FiringIntent &intent, bool sent, int32_t tradeDate) {
  if (intent.kind == kFiringStop) {
    const StopOrder fired = GetStopRecord(intent.image, kStopImageSize);
    InvestorPosition_Lite *position = HeldPosition(desk_, intent);
    if (!position) return true;
    if (sent) {
      // The item file may still hold the entry as it was before it fired.
      StopOrderPointer *holder = position->Stops;
      for (StopOrder **link = holder ? &holder->First : nullptr; link && *link; link = &(*link)->Next) {
        unsigned char image[kStopRecordSize];
        PutStopRecord(**link, image);
        if (memcmp(image, intent.image, kStopImageSize) != 0) continue;
        StopOrder *entry = *link;
        entry->Volume -= intent.volume;
        if (entry->Volume <= 0) {
          *link = entry->Next;
          Free(entry);
        }
        SaveStopOrders(desk_, position, false);
        return true;
      }
      return true;
    }
    if (fired.ExpiryDay != 0 && fired.ExpiryDay < tradeDate) return true;
    // The entry is still there as it was when it fired: nothing was taken.
    for (const StopOrder *e = position->Stops ? position->Stops->First : nullptr; e; e = e->Next) {
      unsigned char image[kStopRecordSize];
      PutStopRecord(*e, image);
      if (memcmp(image, intent.image, kStopImageSize) == 0) return true;
    }
    if (!position->AddStop(desk_.positions, intent.volume, fired.StopPrice, fired.Trailing, fired.ProfitPrice,
                           fired.TrailReference, fired.ExpiryDay != 0, fired.ExpiryDay))
      return false;
    position->SortStops();
    position->TrimStops(desk_.positions);
    SaveStopOrders(desk_, position, false);
    return true;
  }
  ConditionOrder order = GetConditionRecord(intent.image);
  for (int32_t i = 0; i < desk_.conditions.GetCount(); ++i) {
    unsigned char image[kConditionRecordSize];
    PutConditionRecord(desk_.conditions.GetData()[i], image);
    if (memcmp(image, intent.image, kConditionRecordSize) != 0) continue;
    if (sent) desk_.conditions.RemoveAt(i);
    return true;  // else still there: nothing to put back
  }
  if (sent) return true;
  const CContractInfo *contract = desk_.FindContract(order.InstrumentID);
  if (!contract) return true;
  if (intent.tradeDate != 0 && intent.tradeDate < tradeDate) order.State |= 0x01;
  order.Stock = contract->Stock;
  return desk_.conditions.Add(order) >= 0;
}

void TFiringJournal::Reconcile(int32_t tradeDate) {
  EnsureLoaded();
  if (intents_.empty()) return;
  std::vector<int32_t> claimed;  // orders of the array already claimed, by index
  std::vector<FiringIntent> waiting;  // their task is still queued: not decided yet
  bool conditionsChanged = false;
  for (const FiringIntent &intent : intents_) {
    // Open-trigger sends are settled when the order list ends.
    if (intent.kind == kFiringPending) {
      waiting.push_back(intent);
      continue;
    }
    bool queued = false;
    for (int32_t t = 0; t < desk_.tasks.GetCount() && !queued; ++t) queued = TaskIntent(desk_.tasks.GetData()[t]) == intent.number;
    if (queued && intent.state == kIntentOpen) {
      waiting.push_back(intent);
      continue;
    }
    bool sent = intent.state != kIntentOpen;
    if (!sent) {
      // More matching orders than the intent saw: one of them is its order.
      int32_t seen = 0;
      for (int32_t i = 0; i < desk_.orders.GetCount() && !sent; ++i) {
        const CKivoOrderField &o = desk_.orders.GetData()[i];
        if (o.Direction != intent.direction || o.OffsetFlag != intent.offset || o.HedgeFlag != intent.hedge ||
            o.VolumeTotal != intent.orderVolume || strncasecmp(o.InstrumentID, intent.instrument, 8) != 0)
          continue;
        bool taken = false;
        for (int32_t c : claimed) taken = taken || c == i;
        if (taken) continue;
        if (++seen > intent.ordersBefore) {
          claimed.push_back(i);
          sent = true;
        }
      }
    }
    const int32_t before = desk_.conditions.GetCount();
    // An item that memory could not take back stays for the next list.
    const bool settled = Settle(intent, sent, tradeDate);
    if (!settled) waiting.push_back(intent);
    conditionsChanged = conditionsChanged || intent.kind == kFiringCondition || before != desk_.conditions.GetCount();
    char text[160];
    snprintf(text, sizeof text, "1|firing.jnl: %d %s %.7s %s", intent.number,
             intent.kind == kFiringStop ? "stop" : "condition", intent.instrument,
             sent ? "sent" : settled ? "restored" : "kept, memory short");
    WriteTradeLog(desk_, TLOG_TEXT, text);
  }
  intents_ = waiting;
  Save();
  if (conditionsChanged && saveConditionOrders) saveConditionOrders();
}
