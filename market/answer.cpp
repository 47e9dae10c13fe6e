#include "market/answer.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/efile.h"
#include "core/lzw.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "market/reqbuild.h"
#include "market/reqqueue.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/path.h"
#include "platform/winuser.h"

const char kPasswordChangedText[] = "用户密码修改成功，下次登录时请使用新密码。  ";

namespace {

// Fixed heads of the answer bodies, before their records.
constexpr int kTrendHead = 14;                                  // command 10
constexpr int kTradesHead = 13;                                 // 11
constexpr int kBarsHead = 14;                                   // 12
constexpr int kNewsHead = 2;                                    // 15
constexpr int kNotesHead = 2;                                   // 16
constexpr int kWeightsHead = 13;                                // 18
constexpr int kTicksHead = 14;                                  // 20
constexpr int kTextFileHead = 13;                               // 21
constexpr int kTrendDayHead = 14;                               // 31
constexpr int kAdviceHead = 9;                                  // 33
constexpr int kNamesHead = 1;                                   // 34
constexpr int kInfoIndexHead = 14;                              // 40
constexpr int kInfoTextHead = 98;                               // 41
constexpr int kCodeTableHead = 7;                               // 51
constexpr int kRankingHead = 1;                                 // 101
constexpr int kBrokerQueueBody = 9 + int(sizeof(BROKERQUEUE));  // 102
constexpr int kMessageHead = 4;                                 // 203, 204

constexpr int kBar = int(sizeof(KLINEBAR));
constexpr int kNewsItem = kNewsItemSize;
constexpr int kNoteItem = 108;
constexpr int kNameItem = 14;
constexpr int kRankingChangeRecord = 11;
// Bars of one answer are merged into their file once, at the last part;
// an answer that brings more than this many is merged in pieces.
constexpr size_t kBarBatchLimit = 65536;
// An information text whose offset says "the whole file" is written from
// the start.
constexpr uint32_t kWholeFile = 0xFFFFFFFFu;

// ---- Helpers -----------------------------------------------------------------

uint16_t U16(const uint8_t *p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
uint32_t U32(const uint8_t *p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void Post(WPARAM wParam, LPARAM lParam) {
  if (HWND main = QuoteClientHooks().mainWindow) PostMessageA(main, WM_STOCK_DATA, wParam, lParam);
}

// The instrument code of an answer's 8-byte field, NUL-terminated.
struct Code {
  char text[9];
  explicit Code(const uint8_t *field) {
    std::memcpy(text, field, 8);
    text[8] = 0;
  }
};

// The instrument an answer is about: the market must be in the table and
// the code one of its entries.
struct Target {
  TMarketData *md = nullptr;
  int market = 0;
  int stock = -1;
  uint32_t Word() const { return STKPTR(market, 0, stock).Word(); }
};

bool FindTarget(int market, const Code &code, Target *out) {
  TMarketData *md = MarketAt(market);
  if (!md) return false;
  const int stock = md->FindStockIndex(code.text);
  if (stock < 0) return false;
  *out = Target{md, market, stock};
  return true;
}

bool SameInstrument(const REQUESTREC &r, int market, const Code &code) {
  char wanted[sizeof r.code + 1];
  std::memcpy(wanted, r.code, sizeof r.code);
  wanted[sizeof r.code] = 0;
  return r.market == market && strcasecmp(wanted, code.text) == 0;
}

int BarBaseOf(const REQUESTREC &r) { return r.kind == REQ_DAY_BARS ? 8 : r.sub; }

// Market folders and extensions come from a configuration file the server
// sends; they are path components only when they can't leave their folder.
bool SafeMarketNames(const TMarketData *md) {
  return IsSafeCacheName(md->m_info.shortName) && IsSafeCacheName(md->m_info.extension);
}

bool AppendToFile(const char *path, const void *bytes, int32_t length) {
  const int32_t file = FileOpen(path, "r+b");
  if (file <= 0) return false;
  const int32_t end = FileSize(file);
  bool ok = end >= 0 && int64_t(end) + length <= INT32_MAX;
  if (ok && length > 0) ok = FileSeek(file, end, 0) == end && FileWrite(file, bytes, 1, length) == length;
  FileClose(file);
  return ok;
}

bool CreateEmpty(const char *path) {
  const int32_t file = FileOpen(path, "wb");
  if (file <= 0) return false;
  const bool ok = FileTruncate(file, 0) == 0;
  FileClose(file);
  return ok;
}

// ---- The answer in progress ----------------------------------------------------

// An answer whose parts build on part 0 (a staged file, a news id, an
// information text's write counter) goes on only with the next part of the
// same answer; a part that does not follow is dropped.
struct Progress {
  bool active = false;
  uint8_t command = 0;
  uint16_t count = 0;
  uint16_t next = 0;
  uint32_t newsId = 0;
  int32_t written = 0;
  uint32_t limit = 0;  // information text: the most bytes the request asked for, 0 = any
  // A write failed: the rest of the answer is read and dropped, and the
  // old file (if any) stays.
  bool failed = false;
  char stage[MAX_PATH] = {};
  char target[MAX_PATH] = {};
};

// The bars of an answer, merged into their file at once when the answer
// ends: one rewrite of the file instead of one per part.
struct BarBatch {
  std::vector<KLINEBAR> bars;
  int market = -1;  // looked up again when merging: none = -1
  int stock = -1;
  int base = 0;
  uint16_t count = 0;
  uint16_t next = 0;
};



// ---- Which request an answer belongs to -----------------------------------------

enum class Fit {
  kOwn,      // the oldest request in flight, and the body agrees with it
  kForeign,  // the oldest request in flight expects this command, but not this answer
  kStray,    // no request in flight expects this command
};

template <class Agrees>
Fit FitOf(int command, Agrees agrees) {
  const REQUESTREC *r = OldestRequestInFlight();
  if (!r || AnswerCommand(r->kind) != command) return Fit::kStray;
  return agrees(*r) ? Fit::kOwn : Fit::kForeign;
}

// Whether an answer that disagrees with the oldest request in flight is the
// late answer of a request given up on.
template <class Agrees>
bool LateAnswer(Agrees agrees) {
  for (int i = 0; const REQUESTREC *r = GivenUpRequest(i); ++i)
    if (agrees(*r)) return true;
  return false;
}

// After a handled last part: retire the request, and ask for the next page
// of the newest news when a page of them completed it.
void Finish(const FRAMEHEAD &head, bool last) {
  if (!last) return;
  if (CompleteRequest(head) == 1) RequestNewsList(false, 0);
}

// ---- The answers -------------------------------------------------------------

struct Part {
  const FRAMEHEAD &head;
  const uint8_t *body;
  int length;
  bool last;
  int percent;
};

void ServerText(const Part &p, char *text, size_t textSize) {
  uint8_t textClass = 0;
  char said[TNormalClnt::kTextSize];
  if (ReadServerText(p.body, p.length, &textClass, said, sizeof said) && textClass >= 20 && text && textSize > 0) {
    std::snprintf(text, textSize, "%s", said);
    if (HWND main = QuoteClientHooks().mainWindow) PostMessageA(main, WM_SERVER_TEXT, 0, 0);
  }
  Finish(p.head, p.last);
}

// Answers about one instrument whose records are written part by part:
// minute trend (10), latest trades (11), ticks (20), weights (18), base text
// file (21), advice (33), information index (40), broker queue (102).
using InstrumentWriter = int (*)(const Part &p, const Target &t);

void InstrumentAnswer(const Part &p, int head, int marketAt, int codeAt, int requestKind, InstrumentWriter write,
                      int messageLow, bool postEveryPart) {
  if (p.length < head) return;
  const int market = p.body[marketAt];
  const Code code(p.body + codeAt);
  const Fit fit = FitOf(p.head.command,
                        [&](const REQUESTREC &r) { return r.kind == requestKind && SameInstrument(r, market, code); });
  if (fit == Fit::kForeign) return;
  Target t;
  if (FindTarget(market, code, &t)) {
    const int written = write(p, t);
    if ((postEveryPart && written > 0) || p.last) Post(StockDataParam(p.head.command, messageLow), LPARAM(t.Word()));
  }
  Finish(p.head, p.last);
}

int WriteTrend(const Part &p, const Target &t) {
  return WriteTrendAnswerPart(t.md, t.stock, p.head.partIndex, p.body + kTrendHead, p.length - kTrendHead, p.last);
}
int WriteTrades(const Part &p, const Target &t) {
  return WriteRecentTradesPart(t.md, t.stock, p.head.partIndex, p.body + kTradesHead, p.length - kTradesHead, p.last);
}
int WriteTicks(const Part &p, const Target &t) {
  return WriteTicksPart(t.md, t.stock, p.head.partIndex, p.body + kTicksHead, p.length - kTicksHead, p.last);
}
int WriteWeights(const Part &p, const Target &t) {
  return WriteWeightPart(t.md, t.stock, p.head.partIndex, p.body + kWeightsHead, p.length - kWeightsHead, p.last);
}
int WriteTextFile(const Part &p, const Target &t) {
  return WriteBaseTextPart(t.md, t.stock, p.head.partIndex, p.body + kTextFileHead, p.length - kTextFileHead, p.last);
}
int WriteAdvice(const Part &p, const Target &t) {
  const int n = (p.length - kAdviceHead) / int(sizeof(ADVICEREC));
  if (n <= 0) return 0;
  return MergeAdviceAnswer(t.md, t.stock, reinterpret_cast<const ADVICEREC *>(p.body + kAdviceHead), n);
}
int WriteInfoIndex(const Part &p, const Target &t) {
  return WriteInfoIndexPart(t.md, t.stock, p.body[9], p.head.partIndex, p.body + kInfoIndexHead,
                            p.length - kInfoIndexHead, p.last);
}
int WriteBrokerQueue(const Part &p, const Target &t) {
  if (!t.md->m_brokerQueues) return 0;
  BROKERQUEUE q;
  std::memcpy(&q, p.body + 9, sizeof q);
  for (uint16_t &c : q.count) c = std::min<uint16_t>(c, BROKERQUEUE::kSideEntries);
  t.md->m_brokerQueues[t.stock] = q;
  return 1;
}


void TrendDay(const Part &p) {
  if (p.length < kTrendDayHead) return;
  const int market = p.body[1];
  const Code code(p.body + 2);
  const PackedDateTime date = U32(p.body + 10) & kPackedDateMask;
  const Fit fit = FitOf(FRAME_TREND_HISTORY, [&](const REQUESTREC &r) {
    return r.kind == REQ_TREND_HISTORY && (r.value1 & kPackedDateMask) == date && SameInstrument(r, market, code);
  });
  if (fit == Fit::kForeign) return;
  Target t;
  if (FindTarget(market, code, &t)) {
    WriteTrendDayPart(t.md, t.stock, date, p.head.partIndex, p.body + kTrendDayHead, p.length - kTrendDayHead, p.last);
    if (p.last)
      if (HWND main = QuoteClientHooks().mainWindow) {
        TRENDDAYNOTE note{t.Word(), date};
        SendMessageA(main, WM_STOCK_DATA, StockDataParam(FRAME_TREND_HISTORY, 0), LPARAM(&note));
      }
  }
  Finish(p.head, p.last);
}


// The notes item of the wire turned into the list record the notes view
// reads.
void NoteRecordFromItem(const uint8_t *item, uint8_t (&record)[kNoteItem]) {
  std::memset(record, 0, sizeof record);
  std::memcpy(record, item, 6);
  record[6] = 1;
  std::memcpy(record + 8, item + 6, 80);
  std::memcpy(record + 88, item + 90, 16);
  // The time HHMM fills the word's top twelve bits: clearing any of them
  // would turn every note after 10:23 into a wrong time.
  const uint32_t when = U32(item + 86);
  std::memcpy(record + 104, &when, 4);
}


void PasswordChanged(const Part &p, char *text, size_t textSize) {
  if (FitOf(FRAME_CHANGE_PASSWORD, [](const REQUESTREC &r) { return r.kind == REQ_CHANGE_PASSWORD; }) != Fit::kOwn)
    return;
  if (p.last) {
    if (text && textSize > 0) std::snprintf(text, textSize, "%s", kPasswordChangedText);
    if (HWND main = QuoteClientHooks().mainWindow) PostMessageA(main, WM_SERVER_TEXT, 0, 0);
  }
  Finish(p.head, p.last);
}

void ExtendedNames(const Part &p) {
  if (p.length < kNamesHead) return;
  const int market = p.body[0];
  const Fit fit = FitOf(FRAME_NAME_TABLE,
                        [&](const REQUESTREC &r) { return r.kind == REQ_NAME_TABLE && r.market == uint16_t(market); });
  if (fit == Fit::kForeign) return;
  TMarketData *md = MarketAt(market);
  if (md && md->m_stocksEx && md->m_stocks) {
    const int n = (p.length - kNamesHead) / kNameItem;
    for (int i = 0; i < n; ++i) {
      const uint8_t *item = p.body + kNamesHead + i * kNameItem;
      char code[8] = {};
      std::memcpy(code, item + 7, 7);
      int stock = md->FindStockIndex(code);
      // The table's lookup ignores case; the code must be the same bytes.
      if (stock >= 0 && std::strncmp(md->m_stocks[stock].code, code, 7) != 0) stock = -1;
      if (stock < 0) {
        for (int s = 0; s < md->m_loadedCount && stock < 0; ++s)
          if (std::strncmp(md->m_stocks[s].code, code, 7) == 0) stock = s;
      }
      if (stock >= 0) std::memcpy(md->m_stocksEx[stock].code, item, 7);
    }
    if (p.last && SafeMarketNames(md)) {
      char path[MAX_PATH];
      md->TablePath("nametble", path, sizeof path);
      platform::WriteFileReplacing(
          platform::ResolvePath(path),
          std::string_view(reinterpret_cast<const char *>(md->m_stocksEx), size_t(md->m_loadedCount) * 7));
    }
  }
  if (p.last && md) Post(StockDataParam(FRAME_CODE_TABLE, 0), LPARAM(market));
  Finish(p.head, p.last);
}


void CodeTable(const Part &p) {
  if (p.length < kCodeTableHead) return;
  const int market = p.body[0];
  const uint32_t first = U16(p.body + 1);
  const uint32_t total = U16(p.body + 5);
  const Fit fit = FitOf(FRAME_CODE_TABLE, [&](const REQUESTREC &r) {
    return r.kind == REQ_CODE_TABLE && r.market == uint16_t(market) && uint32_t(r.sub) == first;
  });
  if (fit != Fit::kOwn) return;
  TMarketData *md = MarketAt(market);
  if (md && md->m_stocks && SafeMarketNames(md)) {
    // The entries are the smaller of what the head announces and what the
    // body holds.
    const uint32_t entries = std::min<uint32_t>(U16(p.body + 3), uint32_t(p.length - kCodeTableHead) / 32);
    char temp[MAX_PATH];
    md->TablePath("codetemp", temp, sizeof temp);
    if (const char *cut = std::strrchr(temp, '\\')) MakeDirChain(std::string(temp, size_t(cut - temp)).c_str());
    const int32_t file = FileOpen(temp, "r+b");
    bool ok = file > 0;
    if (ok) {
      const int32_t size = FileSize(file);
      const int32_t end = size >= 0 ? size / 32 * 32 : -1;
      ok = end >= 0 && end + int64_t(entries) * 32 <= INT32_MAX &&
           (entries == 0 || (FileSeek(file, end, 0) == end &&
                             FileWrite(file, p.body + kCodeTableHead, 32, int32_t(entries)) == int32_t(entries) * 32));
      ok = ok && FileTruncate(file, end + int32_t(entries) * 32) >= 0;
      FileClose(file);
    }
    if (p.last) {
      const uint32_t received = first + entries;
      if (!ok || (entries == 0 && received < total)) {
        // Nothing more is coming, or it can't be kept: the table stays as
        // it was.
        DeleteFileA(temp);
      } else if (received < total && received < uint32_t(md->m_stockCount)) {
        if (HWND main = QuoteClientHooks().mainWindow)
          PostMessageA(main, WM_CODE_TABLE_PROGRESS, WPARAM(uint32_t(market) << 16 | kCodeTableMore), LPARAM(received));
      } else {
        char table[MAX_PATH];
        md->TablePath("nametbl", table, sizeof table);
        if (MoveFileExA(temp, table, MOVEFILE_REPLACE_EXISTING)) {
          md->LoadNameTable();
          if (md->m_stocksEx)
            std::memset(static_cast<void *>(md->m_stocksEx), 0, size_t(md->m_stockCount) * sizeof(STKINFOEX));
          if (HWND main = QuoteClientHooks().mainWindow) {
            if (md->m_info.type == 2)
              PostMessageA(main, WM_CODE_TABLE_PROGRESS, WPARAM(uint32_t(market) << 16 | kCodeTableDone), 0);
            else
              PostMessageA(main, WM_STOCK_DATA, StockDataParam(FRAME_CODE_TABLE, 0), LPARAM(market));
          }
        } else {
          DeleteFileA(temp);
        }
      }
    }
  }
  Finish(p.head, p.last);
}

std::string TempFolder() {
  const char *folder = AnswerHooks().tempFolder;
  if (folder[0]) return std::string(folder, strnlen(folder, sizeof AnswerHooks().tempFolder));
  char path[MAX_PATH] = {};
  const DWORD n = GetTempPathA(sizeof path, path);
  return n > 0 && n < sizeof path ? std::string(path) : std::string();
}

void ApplyFastChanges(const char *path) {
  const int32_t file = FileOpen(path, "rb");
  if (file <= 0) return;
  uint8_t record[kRankingChangeRecord];
  while (FileRead(file, record, 1, kRankingChangeRecord) == kRankingChangeRecord) {
    // Market and stock come from the server: out-of-range records are
    // skipped.
    const TMarketData *md = MarketAt(record[0]);
    const int stock = U16(record + 1);
    if (!md || !md->m_quotes || stock >= md->m_loadedCount) continue;
    float now, before;
    std::memcpy(&now, record + 3, 4);
    std::memcpy(&before, record + 7, 4);
    const bool usable = before >= 1.0f || before <= -1.0f;  // truncates to a non-zero integer
    md->m_quotes[stock].fastChange = usable ? (now - before) * 100.0f / before : 0.0f;
  }
  FileClose(file);
}




}  // namespace

// ---- The reader of one connection ---------------------------------------------------

struct TAnswerReader::State {
  SOCKET socket = INVALID_SOCKET;
  FrameAssembler frames{FrameLink::kRequest};
  LCompressLite decoder;
  alignas(8) uint8_t decoded[kDecodeBufferSize];
  Progress progress;
  BarBatch batch;

  void AbortProgress();
  void FailProgress();
  bool Continues(const FRAMEHEAD &head);
  void StartProgress(const FRAMEHEAD &head);
  bool TakePart(const FRAMEHEAD &head);
  void EndProgress();
  bool StageBegin(const char *target);
  bool StageCommit();
  void FlushBars();

  void Bars(const Part &p);
  void News(const Part &p);
  void Notes(const Part &p);
  void InfoText(const Part &p);
  void Ranking(const Part &p);
  void ServerMessage(const Part &p);
};

void TAnswerReader::State::AbortProgress() {
  if (progress.active && progress.stage[0] && progress.target[0]) DeleteFileA(progress.stage);
  progress = Progress{};
}

void TAnswerReader::State::FailProgress() {
  if (progress.stage[0]) DeleteFileA(progress.stage);
  progress.stage[0] = 0;
  progress.failed = true;
}

bool TAnswerReader::State::Continues(const FRAMEHEAD &head) {
  return progress.active && progress.command == head.command && progress.count == head.partCount &&
         progress.next == head.partIndex;
}

void TAnswerReader::State::StartProgress(const FRAMEHEAD &head) {
  AbortProgress();
  progress.active = true;
  progress.command = head.command;
  progress.count = head.partCount;
  progress.next = 1;
}

// Part 0 starts an answer; a later part must continue the one in progress.
bool TAnswerReader::State::TakePart(const FRAMEHEAD &head) {
  if (head.partIndex == 0) {
    StartProgress(head);
    return true;
  }
  if (!Continues(head)) return false;
  ++progress.next;
  return true;
}

void TAnswerReader::State::EndProgress() { progress = Progress{}; }

// Staged files: the parts go to "<target>.new", which replaces the target
// when the last part has come, so an answer cut short leaves the old file.
bool TAnswerReader::State::StageBegin(const char *target) {
  std::snprintf(progress.target, sizeof progress.target, "%s", target);
  const int n = std::snprintf(progress.stage, sizeof progress.stage, "%s.new", target);
  if (n < 0 || n >= int(sizeof progress.stage)) {
    progress.stage[0] = progress.target[0] = 0;
    return false;
  }
  const char *cut = std::strrchr(target, '\\');
  if (cut) MakeDirChain(std::string(target, size_t(cut - target)).c_str());
  return CreateEmpty(progress.stage);
}

bool TAnswerReader::State::StageCommit() {
  if (!progress.stage[0]) return false;
  const bool ok = MoveFileExA(progress.stage, progress.target, MOVEFILE_REPLACE_EXISTING) != FALSE;
  if (!ok) DeleteFileA(progress.stage);
  progress.stage[0] = 0;
  return ok;
}

void TAnswerReader::State::FlushBars() {
  TMarketData *md = batch.bars.empty() ? nullptr : MarketAt(batch.market);
  if (md) MergeBarAnswer(md, batch.stock, batch.base, batch.bars.data(), int(batch.bars.size()));
  batch.bars.clear();
  batch.market = -1;
}

void TAnswerReader::State::Bars(const Part &p) {
  if (p.length < kBarsHead) return;
  const int base = p.body[0];
  const int market = p.body[1];
  const Code code(p.body + 2);
  auto agrees = [&](const REQUESTREC &r) {
    return (r.kind == REQ_MINUTE_BARS || r.kind == REQ_DAY_BARS) && BarBaseOf(r) == base &&
           SameInstrument(r, market, code);
  };
  if (FitOf(FRAME_BARS, agrees) == Fit::kForeign) {
    // Not a late answer: the server answered the oldest request with bars
    // of something else. Nothing is written, but the request is answered,
    // so it gives its place up now rather than after 20 s.
    if (!LateAnswer(agrees)) Finish(p.head, p.last);
    return;
  }
  Target t;
  if (FindTarget(market, code, &t)) {
    const int n = (p.length - kBarsHead) / kBar;
    const auto *bars = reinterpret_cast<const KLINEBAR *>(p.body + kBarsHead);
    const bool follows = batch.market == t.market && batch.stock == t.stock && batch.base == base &&
                         batch.count == p.head.partCount && batch.next == p.head.partIndex &&
                         (batch.bars.empty() || n == 0 || bars[0].time > batch.bars.back().time);
    if (!follows) FlushBars();
    // A part with a bar of year 0 is refused whole, as a merge of it alone
    // would be.
    bool usable = n > 0;
    for (int i = 0; usable && i < n; ++i) usable = PackedYear(bars[i].time) != 0;
    batch.market = t.market;
    batch.stock = t.stock;
    batch.base = base;
    batch.count = p.head.partCount;
    batch.next = uint16_t(p.head.partIndex + 1);
    if (usable) batch.bars.insert(batch.bars.end(), bars, bars + n);
    if (p.last || batch.bars.size() >= kBarBatchLimit) FlushBars();
    Post(StockDataParam(FRAME_BARS, p.percent << 8 | base), LPARAM(t.Word()));
  }
  Finish(p.head, p.last);
}

void TAnswerReader::State::News(const Part &p) {
  if (p.length < kNewsHead) return;
  const int sub = p.body[0];
  if (sub == 0) {
    if (FitOf(FRAME_NEWS, [](const REQUESTREC &r) { return r.kind == REQ_NEWS && r.sub == 0; }) == Fit::kForeign)
      return;
    const int n = (p.length - kNewsHead) / kNewsItem;
    if (NewsIndex && n > 0) {
      NewsIndex->EnsureCapacity(n);
      for (int i = 0; i < n; ++i) {
        NEWSREC record;
        if (NewsRecordFromItem(p.body + kNewsHead + i * kNewsItem, kNewsItem, &record)) NewsIndex->Insert(record, true);
      }
    }
    if (p.last && !(NewsIndex && NewsIndex->IsListLoading())) Post(StockDataParam(FRAME_NEWS, 0), 0);
    Finish(p.head, p.last);
    return;
  }
  if (sub != 2) return;
  // A news text belongs to the request it answers: the id is the request's.
  const REQUESTREC *r = OldestRequestInFlight();
  if (FitOf(FRAME_NEWS, [](const REQUESTREC &f) { return f.kind == REQ_NEWS && f.sub == 2; }) != Fit::kOwn ||
      !TakePart(p.head))
    return;
  if (p.head.partIndex == 0) progress.newsId = r->value1;
  // Every part's text is written, the first one's too.
  WriteNewsTextPart(progress.newsId, p.head.partIndex == 0, reinterpret_cast<const char *>(p.body + kNewsHead),
                    p.length - kNewsHead);
  if (p.last) {
    Post(StockDataParam(FRAME_NEWS, 2), LPARAM(progress.newsId));
    EndProgress();
  }
  Finish(p.head, p.last);
}

void TAnswerReader::State::Notes(const Part &p) {
  if (p.length < kNotesHead) return;
  const int sub = p.body[0];
  const int channel = p.body[1];
  if (sub != 0 && sub != 1) return;
  const int kind = sub == 0 ? REQ_NOTES_LIST : REQ_NOTE;
  const REQUESTREC *r = OldestRequestInFlight();
  const Fit fit =
      FitOf(FRAME_NOTES, [&](const REQUESTREC &f) { return f.kind == kind && f.market == uint16_t(channel); });
  // A list names its channel and may come on its own; a note's text is
  // filed under the key of the request it answers.
  if (fit == Fit::kForeign || (sub == 1 && fit != Fit::kOwn)) return;
  if (!TakePart(p.head)) return;
  char target[MAX_PATH] = {};
  if (p.head.partIndex == 0) {
    if (sub == 0) {
      std::snprintf(target, sizeof target, "%sdata\\notes\\notes%d.ls2", kCacheRoot, channel);
    } else {
      char key[16] = {};
      std::memcpy(key, r->text, sizeof key - 1);
      // The key is the server's: it names a file only when it can't leave
      // the notes folder.
      if (IsSafeCacheName(key)) std::snprintf(target, sizeof target, "%sdata\\notes\\%s", kCacheRoot, key);
    }
    if (target[0]) StageBegin(target);
  }
  if (progress.stage[0]) {
    if (sub == 0) {
      const int n = (p.length - kNotesHead) / kNoteItem;
      std::vector<uint8_t> records(size_t(std::max(n, 0)) * kNoteItem);
      for (int i = 0; i < n; ++i) {
        uint8_t record[kNoteItem];
        NoteRecordFromItem(p.body + kNotesHead + i * kNoteItem, record);
        std::memcpy(records.data() + size_t(i) * kNoteItem, record, kNoteItem);
      }
      if (!AppendToFile(progress.stage, records.data(), int32_t(records.size()))) FailProgress();
    } else if (!AppendToFile(progress.stage, p.body + kNotesHead, p.length - kNotesHead)) {
      FailProgress();
    }
  }
  if (p.last) {
    std::string written = progress.target;
    const bool committed = StageCommit();
    if (sub == 0) {
      if (committed) StampWithServerClock(written.c_str());
      Post(StockDataParam(FRAME_NOTES, 0), LPARAM(channel));
    } else if (committed && AnswerHooks().reloadNote) {
      char key[16] = {};
      std::memcpy(key, r->text, sizeof key - 1);
      AnswerHooks().reloadNote(key);
    }
    EndProgress();
  }
  Finish(p.head, p.last);
}

void TAnswerReader::State::InfoText(const Part &p) {
  if (p.length < kInfoTextHead) return;
  const int market = p.body[0];
  const Code code(p.body + 1);
  const int infoClass = p.body[9];
  const uint32_t offset = U32(p.body + 90);
  // The offset must be the one the request asked for, which came from the
  // index entry: a server can't make the file grow to any length it likes.
  const REQUESTREC *r = OldestRequestInFlight();
  const Fit fit = FitOf(FRAME_BASE_TEXT, [&](const REQUESTREC &f) {
    return f.kind == REQ_BASE_TEXT && f.sub == infoClass && f.value1 == offset && SameInstrument(f, market, code);
  });
  if (fit != Fit::kOwn || !TakePart(p.head)) return;
  if (p.head.partIndex == 0) progress.limit = r->value2 == kWholeFile ? 0 : r->value2;
  Target t;
  if (FindTarget(market, code, &t)) {
    int32_t length = p.length - kInfoTextHead;
    if (progress.limit > 0) length = int32_t(std::min<int64_t>(length, int64_t(progress.limit) - progress.written));
    if (length >= 0)
      WriteInfoTextPart(t.md, t.stock, infoClass, offset == kWholeFile ? 0 : offset, p.head.partIndex,
                        p.body + kInfoTextHead, length, &progress.written);
    if (p.last) Post(StockDataParam(FRAME_BASE_TEXT, infoClass), LPARAM(t.Word()));
  }
  if (p.last) EndProgress();
  Finish(p.head, p.last);
}

void TAnswerReader::State::Ranking(const Part &p) {
  const REQUESTREC *r = OldestRequestInFlight();
  if (FitOf(FRAME_SORT_DATA, [](const REQUESTREC &f) { return f.kind == REQ_SORT_DATA; }) != Fit::kOwn ||
      !TakePart(p.head))
    return;
  const std::string folder = TempFolder();
  const std::string staged = folder + "sortdata.tmp";
  if (p.head.partIndex == 0 && !CreateEmpty(staged.c_str())) progress.failed = true;
  if (!progress.failed && !AppendToFile(staged.c_str(), p.body + kRankingHead, p.length - kRankingHead))
    progress.failed = true;
  if (p.last) {
    const uint32_t tag = r->tag, value3 = r->value3;
    if (!progress.failed && r->market == 0) {
      // A numbered file nobody has yet: it becomes the view's.
      std::srand(unsigned(platform::UnixTimeNow()));
      int number = -1;
      std::string numbered;
      for (int tries = 0; tries < 4096 && number < 0; ++tries) {
        const int n = std::rand() & 0x7FFF;
        numbered = folder + std::to_string(n) + ".tmp";
        if (GetFileAttributesA(numbered.c_str()) == INVALID_FILE_ATTRIBUTES &&
            MoveFileExA(staged.c_str(), numbered.c_str(), 0))
          number = n;
      }
      HWND view = number >= 0 && AnswerHooks().viewByTag ? AnswerHooks().viewByTag(tag) : nullptr;
      if (view)
        PostMessageA(view, WM_SORT_DATA_READY, WPARAM(number), LPARAM(value3));
      else if (number >= 0)
        DeleteFileA(numbered.c_str());
    } else if (!progress.failed && r->market == 1) {
      ApplyFastChanges(staged.c_str());
      if (AnswerHooks().redrawFastChange) AnswerHooks().redrawFastChange(tag);
    }
    DeleteFileA(staged.c_str());
    EndProgress();
  }
  Finish(p.head, p.last);
}

void TAnswerReader::State::ServerMessage(const Part &p) {
  if (p.length < kMessageHead) return;
  const bool system = p.head.command == FRAME_SYSTEM_MESSAGE;
  const int kind = system ? REQ_SYSTEM_MESSAGE : REQ_REALTIME_MESSAGE;
  if (FitOf(p.head.command, [&](const REQUESTREC &r) { return r.kind == kind; }) == Fit::kForeign || !TakePart(p.head))
    return;
  if (p.head.partIndex == 0) StageBegin(system ? ".\\SYSMSG.TXT" : ".\\RTMSG.TXT");
  if (progress.stage[0] && !AppendToFile(progress.stage, p.body + kMessageHead, p.length - kMessageHead))
    FailProgress();
  if (p.last) {
    StageCommit();
    EndProgress();
    Post(StockDataParam(p.head.command, 0), system ? 0 : LPARAM(U32(p.body)));
  }
  Finish(p.head, p.last);
}

TAnswerHooks &AnswerHooks() {
  static TAnswerHooks hooks;
  return hooks;
}

TAnswerReader::TAnswerReader() : m_state(new State) {}

TAnswerReader::~TAnswerReader() { Reset(); }

int TAnswerReader::Dispatch(const FRAMEHEAD &head, const uint8_t *body, int length, char *text, size_t textSize) {
  if (!body || length <= 0) return 0;
  State &s = *m_state;
  const int count = head.partCount > 0 ? head.partCount : 1;
  const Part p{head, body, length, head.partIndex + 1 >= count, (head.partIndex + 1) * 100 / count};
  // Bars of an answer wait for its last part; anything else in between
  // ends the wait.
  if (head.command != FRAME_BARS) s.FlushBars();
  switch (head.command) {
    case FRAME_KEEPALIVE: break;
    case FRAME_SERVER_TEXT: ServerText(p, text, textSize); break;
    case FRAME_MINUTE_TREND:
      InstrumentAnswer(p, kTrendHead, 1, 2, REQ_MINUTE_TREND, WriteTrend, p.percent, true);
      break;
    case FRAME_RECENT_TRADES:
      InstrumentAnswer(p, kTradesHead, 0, 1, REQ_RECENT_TRADES, WriteTrades, p.percent, true);
      break;
    case FRAME_BARS: s.Bars(p); break;
    case FRAME_NEWS: s.News(p); break;
    case FRAME_NOTES: s.Notes(p); break;
    case FRAME_WEIGHTS: InstrumentAnswer(p, kWeightsHead, 0, 5, REQ_WEIGHTS, WriteWeights, 0, false); break;
    case FRAME_TICKS: InstrumentAnswer(p, kTicksHead, 1, 2, REQ_TICKS, WriteTicks, p.percent, true); break;
    case FRAME_BASE_TEXT_FILE:
      InstrumentAnswer(p, kTextFileHead, 0, 5, REQ_BASE_TEXT_FILE, WriteTextFile, 0, false);
      break;
    case FRAME_CHANGE_PASSWORD: PasswordChanged(p, text, textSize); break;
    case FRAME_TREND_HISTORY: TrendDay(p); break;
    case FRAME_ADVICE: InstrumentAnswer(p, kAdviceHead, 0, 1, REQ_ADVICE, WriteAdvice, 0, false); break;
    case FRAME_NAME_TABLE: ExtendedNames(p); break;
    case FRAME_BASE_INDEX:
      if (length >= kInfoIndexHead)
        InstrumentAnswer(p, kInfoIndexHead, 0, 1, REQ_BASE_INDEX, WriteInfoIndex, body[9], false);
      break;
    case FRAME_BASE_TEXT: s.InfoText(p); break;
    case FRAME_CODE_TABLE: CodeTable(p); break;
    case FRAME_SORT_DATA: s.Ranking(p); break;
    case FRAME_BROKER_QUEUE:
      InstrumentAnswer(p, kBrokerQueueBody, 0, 1, REQ_BROKER_QUEUE, WriteBrokerQueue, 0, false);
      break;
    case FRAME_SYSTEM_MESSAGE:
    case FRAME_REALTIME_MESSAGE: s.ServerMessage(p); break;
    default: return -1;
  }
  return 0;
}

void TAnswerReader::Reset() {
  State &s = *m_state;
  s.frames.Clear();
  s.socket = INVALID_SOCKET;
  s.AbortProgress();
  s.batch = BarBatch{};
}

void TAnswerReader::Read(TNormalClnt &client, int error, char *text, size_t textSize) {
  if (error != 0) {
    client.OnClose(error);
    return;
  }
  State &reader = *m_state;
  // A new socket is a new stream.
  if (reader.socket != client.m_socket) {
    Reset();
    reader.socket = client.m_socket;
  }
  for (;;) {
    if (client.m_socket == INVALID_SOCKET) return;
    uint8_t *space = reader.frames.Space();
    const int room = reader.frames.SpaceSize();
    if (room <= 0) {
      client.OnClose(0);
      return;
    }
    const int got = client.Receive(space, room, 0);
    if (got == 0) {
      client.OnClose(0);
      return;
    }
    if (got < 0) {
      const int why = client.GetLastError();
      if (why == WSAEWOULDBLOCK)
        client.ArmAsyncEvents();
      else
        client.OnClose(why);
      return;
    }
    reader.frames.Received(got);
    for (;;) {
      FRAMEHEAD head;
      const uint8_t *body = nullptr;
      const FrameAssembler::Result result = reader.frames.Next(&head, &body);
      if (result == FrameAssembler::kWait) break;
      const uint8_t *plain = nullptr;
      int plainLength = 0;
      if (result == FrameAssembler::kError ||
          !DecodeFrameBody(head, body, reader.decoder, reader.decoded, &plain, &plainLength) ||
          Dispatch(head, plain, plainLength, text, textSize) < 0) {
        client.OnClose(0);
        return;
      }
      if (client.m_socket == INVALID_SOCKET) return;
    }
  }
}
