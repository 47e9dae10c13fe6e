#include "views/pagelist.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/path.h"
#include "views/pagefile.h"

namespace {

std::string PageIndexPath() { return std::string(UserDataPath) + "kvpage.idx"; }

}  // namespace

PageTableData &PageTable() {
  static PageTableData table;
  return table;
}

void WriteLastPage(const char *path) {
  std::string record(kPagePathSize, '\0');
  std::memcpy(&record[0], path, strnlen(path, kPagePathSize - 1));
  const std::string file = std::string(UserDataPath) + "LP3.DAT";
  platform::WriteFileReplacing(platform::ResolvePath(file.c_str()), record);
}

bool ReadLastPage(char (&path)[kPagePathSize]) {
  std::memset(path, 0, sizeof path);
  const std::string file = std::string(UserDataPath) + "LP3.DAT";
  FILE *f = std::fopen(platform::ResolvePath(file.c_str()).c_str(), "rb");
  if (!f) return false;
  char record[kPagePathSize];
  const size_t got = std::fread(record, 1, sizeof record, f);
  std::fclose(f);
  if (got != sizeof record) return false;
  record[sizeof record - 1] = 0;
  std::memcpy(path, record, sizeof record);
  return path[0] != 0;
}

bool SavePageIndex() {
  const PageTableData &table = PageTable();
  std::string out;
  AppendPageWord(out, 1);
  for (int i = 0; i < table.count; ++i) {
    std::string record(kPagePathSize, '\0');
    std::memcpy(&record[0], table.entries[i].path, strnlen(table.entries[i].path, kPagePathSize - 1));
    out += record;
  }
  const std::string posix = platform::ResolvePath(PageIndexPath().c_str());
  return !posix.empty() && platform::WriteFileReplacing(posix, out) == 0;
}

namespace {

// Reads a page file's header; Ok with its name when the file can be listed:
// one of the magics and a size of exactly 76 + L, also with no node at all
// (such a page falls back to the default report when it is opened).
PageCheck CheckListedFile(const char *path, char (&name)[kPageNameSize]) {
  FILE *f = std::fopen(platform::ResolvePath(path).c_str(), "rb");
  if (!f) return PageCheck::Missing;
  std::string head(kPageHeaderSize + kNodeRecordSize, '\0');
  const size_t got = std::fread(&head[0], 1, head.size(), f);
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  head.resize(got);
  if (size < 0) return PageCheck::TooShort;
  if (got < 8) return PageCheck::TooShort;
  if (!PageFileVersion(head.data())) return PageCheck::UnknownMagic;
  if (got < size_t(kPageHeaderSize)) return PageCheck::TooShort;
  if (uint64_t(PageWord(head, 72)) + kPageHeaderSize != uint64_t(size)) return PageCheck::BadLength;
  platform::GbkCopyCut(head.data() + 8, kPageNameSize, name, kPageNameSize);
  return PageCheck::Ok;
}

bool Listed(const PageTableData &table, const char *path) {
  for (int i = 0; i < table.count; ++i)
    if (platform::EqualNoCase(table.entries[i].path, path)) return true;
  return false;
}

// Appends the file when it can be listed; sets a damaged one aside.
bool TryList(PageTableData &table, const char *path) {
  char name[kPageNameSize];
  const PageCheck check = CheckListedFile(path, name);
  if (check != PageCheck::Ok) {
    SetPageFileAside(path, check);
    return false;
  }
  CPageData &entry = table.entries[table.count++];
  std::memset(&entry, 0, sizeof entry);
  std::memcpy(entry.name, name, sizeof entry.name);
  std::memcpy(entry.path, path, strnlen(path, sizeof entry.path - 1));
  return true;
}

}  // namespace

void LoadPageList() {
  PageTableData &table = PageTable();
  table.count = 0;
  std::string index;
  if (ReadWholeFile(PageIndexPath().c_str(), &index) && index.size() >= 4 && PageWord(index, 0) == 1) {
    for (size_t at = 4; at + kPagePathSize <= index.size() && table.count < kMaxPages; at += kPagePathSize) {
      char path[kPagePathSize];
      std::memcpy(path, index.data() + at, kPagePathSize);
      path[kPagePathSize - 1] = 0;
      if (!path[0] || Listed(table, path)) continue;
      TryList(table, path);
    }
  }
  bool appended = false;
  char path[kPagePathSize];
  for (int pass = 0; pass < 2; ++pass)
    for (int d = 0; d < kMaxPageFiles && table.count < kMaxPages; ++d) {
      const std::string candidate =
          std::string(pass == 0 ? "..\\cfg\\" : UserDataPath) + "kvpage" + std::to_string(d) + ".ppg";
      if (candidate.size() >= sizeof path) continue;
      std::memcpy(path, candidate.c_str(), candidate.size() + 1);
      if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES || Listed(table, path)) continue;
      appended |= TryList(table, path);
    }
  if (appended) SavePageIndex();
}
