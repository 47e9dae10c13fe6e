#include "market/newsindex.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "core/efile.h"
#include "core/emem.h"
#include "platform/fileapi.h"
#include "platform/path.h"

TNewsIndex *NewsIndex = nullptr;

namespace {

// The news files lie in the cache folder above the program folder.
constexpr const char kNewsFolder[] = "..\\data\\info";
constexpr const char kIndexFile[] = "..\\data\\info\\news.ntl";
constexpr char kMagic[6] = {'k', 'v', 'n', 'i', '0', '1'};
constexpr int32_t kMagicSize = sizeof kMagic;
constexpr int32_t kRecordSize = sizeof(NEWSREC);

bool TypeMatches(const NEWSREC &record, uint32_t type) { return type == 0 || NewsTypeOf(record) == type; }

uint32_t ReadU32(const uint8_t *bytes) {
  uint32_t value;
  memcpy(&value, bytes, sizeof value);
  return value;
}

NEWSREC *AllocateRecords(int32_t count) {
  if (count <= 0 || count > INT32_MAX / kRecordSize) return nullptr;
  return static_cast<NEWSREC *>(Malloc(count * kRecordSize));
}

}  // namespace

bool NewsRecordFromItem(const void *item, int32_t length, NEWSREC *record) {
  if (!item || !record || length < 10) return false;
  const uint8_t *bytes = static_cast<const uint8_t *>(item);
  NEWSREC made{};
  made.typeAndRead = uint32_t(bytes[1]) << 1;
  made.id = ReadU32(bytes + 2);
  made.dateTime = ReadU32(bytes + 6);
  size_t room = std::min<size_t>(size_t(length - 10), sizeof made.title - 1);
  const char *title = reinterpret_cast<const char *>(bytes + 10);
  memcpy(made.title, title, strnlen(title, room));
  *record = made;
  return true;
}

void NewsTextPath(uint32_t id, char (&path)[kNewsTextPathSize]) {
  snprintf(path, sizeof path, "%s\\%08u.txt", kNewsFolder, id);
}

bool WriteNewsTextPart(uint32_t id, bool firstPart, const char *text, int32_t length) {
  if (length < 0 || (length > 0 && !text)) return false;
  MakeDirChain(kNewsFolder);
  char path[kNewsTextPathSize];
  NewsTextPath(id, path);
  int32_t file = FileOpen(path, firstPart ? "wb" : "ab");
  if (file == kNoFile) return false;
  // Opening for writing never shortens a file, so the first part cuts away
  // whatever an earlier download left.
  bool ok = !firstPart || FileTruncate(file, 0) == 0;
  if (ok && length > 0) ok = FileWrite(file, text, 1, length) == length;
  FileClose(file);
  return ok;
}

TNewsIndex::~TNewsIndex() {
  Save();
  Free(records_);
}

void TNewsIndex::Load() {
  dirty_ = false;
  MakeDirChain(kNewsFolder);
  if (ReadFile()) return;
  count_ = 0;
  if (!records_) {
    records_ = AllocateRecords(kSpare);
    capacity_ = records_ ? kSpare : 0;
  }
}

bool TNewsIndex::ReadFile() {
  int32_t file = FileOpen(kIndexFile, "rb");
  if (file == kNoFile) return false;
  char magic[kMagicSize];
  bool ours = FileRead(file, magic, 1, kMagicSize) == kMagicSize && memcmp(magic, kMagic, kMagicSize) == 0;
  int32_t size = ours ? FileSize(file) : -1;
  if (size < kMagicSize) {
    FileClose(file);
    return false;
  }
  // Every whole record counts; a part record at the end (a save cut short)
  // is left out.
  const int32_t stored = (size - kMagicSize) / kRecordSize;
  bool damaged = (size - kMagicSize) % kRecordSize != 0;
  NEWSREC *all = stored > 0 ? AllocateRecords(stored) : nullptr;
  bool read = stored == 0 || (all && FileSeek(file, kMagicSize, 0) == kMagicSize &&
                              FileRead(file, all, kRecordSize, stored) == stored * kRecordSize);
  FileClose(file);
  if (!read) {
    Free(all);
    return false;
  }
  // Lookups rely on ascending identifiers. Records out of order are put in
  // order; of one identifier stored twice the later record is kept, read
  // when either was.
  int32_t whole = stored;
  if (std::adjacent_find(all, all + whole, [](const NEWSREC &a, const NEWSREC &b) { return a.id >= b.id; }) !=
      all + whole) {
    damaged = true;
    std::stable_sort(all, all + whole, [](const NEWSREC &a, const NEWSREC &b) { return a.id < b.id; });
    int32_t out = 0;
    for (int32_t i = 0; i < whole; ++i) {
      if (out > 0 && all[out - 1].id == all[i].id) {
        const uint32_t wasRead = all[out - 1].typeAndRead & 1;
        all[out - 1] = all[i];
        all[out - 1].typeAndRead |= wasRead;
      } else {
        all[out++] = all[i];
      }
    }
    whole = out;
  }

  const int32_t keep = std::min(whole, kMaxStored);
  if (!records_ || capacity_ < keep) {
    NEWSREC *fresh = AllocateRecords(keep + kSpare);
    if (fresh) {
      Free(records_);
      records_ = fresh;
      capacity_ = keep + kSpare;
    }
  }
  count_ = 0;
  if (!records_ || capacity_ < keep) {
    Free(all);
    return false;
  }
  if (keep > 0) memcpy(records_, all + (whole - keep), size_t(keep) * kRecordSize);
  Free(all);
  // The title searches rely on a NUL inside the title field.
  for (int32_t i = 0; i < keep; ++i) records_[i].title[sizeof records_[i].title - 1] = 0;
  count_ = keep;
  // The next save writes the file whole and in order.
  if (damaged && keep > 0) dirty_ = true;
  return true;
}

bool TNewsIndex::Save() {
  if (!dirty_ || count_ <= 0 || !records_) return false;
  int32_t keep = std::min(count_, kMaxStored);
  std::string contents(kMagic, kMagicSize);
  contents.append(reinterpret_cast<const char *>(records_ + (count_ - keep)), size_t(keep) * kRecordSize);
  MakeDirChain(kNewsFolder);
  if (platform::WriteFileReplacing(platform::ResolvePath(kIndexFile), contents) != 0) return false;
  dirty_ = false;
  return true;
}

bool TNewsIndex::EnsureCapacity(int32_t n) {
  if (!records_ || n <= 0 || capacity_ - count_ >= n) return false;
  int64_t wanted = int64_t(count_) + n + kSpare;
  NEWSREC *fresh = wanted <= INT32_MAX ? AllocateRecords(int32_t(wanted)) : nullptr;
  if (fresh) {
    if (count_ > 0) memcpy(fresh, records_, size_t(count_) * kRecordSize);
    Free(records_);
    records_ = fresh;
    capacity_ = int32_t(wanted);
    return true;
  }
  // No bigger buffer: make the room by forgetting the oldest items.
  int32_t dropped = std::min(n, count_);
  if (dropped == 0) return false;
  memmove(records_, records_ + dropped, size_t(count_ - dropped) * kRecordSize);
  count_ -= dropped;
  return true;
}

int32_t TNewsIndex::LowerBound(uint32_t id) const {
  return int32_t(std::lower_bound(records_, records_ + count_, id,
                                  [](const NEWSREC &r, uint32_t value) { return r.id < value; }) -
                 records_);
}

bool TNewsIndex::Insert(const NEWSREC &record, bool markDirty) {
  if (!records_) return false;
  EnsureCapacity(1);
  char path[kNewsTextPathSize];
  NewsTextPath(record.id, path);
  DeleteFileA(path);
  int32_t at = LowerBound(record.id);
  if (at >= count_ || records_[at].id != record.id) {
    // Only an allocation failure on an empty, zero-sized buffer leaves no
    // room here; the record is then not kept.
    if (count_ >= capacity_) return false;
    memmove(records_ + at + 1, records_ + at, size_t(count_ - at) * kRecordSize);
    ++count_;
  }
  records_[at] = record;
  records_[at].title[sizeof record.title - 1] = 0;
  if (markDirty) dirty_ = true;
  return true;
}

int64_t TNewsIndex::GetBoundaryId(bool oldest, uint32_t type) const {
  if (oldest) {
    for (int32_t i = 0; i < count_; ++i)
      if (TypeMatches(records_[i], type)) return records_[i].id;
  } else {
    for (int32_t i = count_ - 1; i >= 0; --i)
      if (TypeMatches(records_[i], type)) return records_[i].id;
  }
  return -1;
}

bool TNewsIndex::FindByTitle(uint32_t type, const char *title, NEWSREC *out) const {
  if (!title) return false;
  std::string_view wanted(title);
  for (int32_t i = count_ - 1; i >= 0; --i) {
    const NEWSREC &r = records_[i];
    if (!TypeMatches(r, type) || !platform::EqualNoCase(std::string_view(r.title), wanted)) continue;
    if (out) *out = r;
    return true;
  }
  return false;
}

int32_t TNewsIndex::GetLatest(uint32_t type, NEWSREC *out, int32_t n) const {
  if (!out || n <= 0) return 0;
  int32_t found = 0;
  int32_t from = count_;
  while (from > 0 && found < n)
    if (TypeMatches(records_[--from], type)) ++found;
  int32_t copied = 0;
  for (int32_t i = from; i < count_ && copied < found; ++i)
    if (TypeMatches(records_[i], type)) out[copied++] = records_[i];
  return copied;
}

bool TNewsIndex::MarkRead(uint32_t id, NEWSREC *out) {
  int32_t at = LowerBound(id);
  if (at >= count_ || records_[at].id != id) return false;
  records_[at].typeAndRead |= 1;
  dirty_ = true;
  if (out) *out = records_[at];
  return true;
}
