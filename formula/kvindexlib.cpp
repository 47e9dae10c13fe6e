// The formula library: groups, lookups, and reading and writing the two
// library files.
#include "formula/kvindexlib.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/desenc.h"
#include "core/eautolock.h"
#include "core/efile.h"
#include "formula/indexrecord.h"
#include "formula/lexer.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"

namespace {

const char kMagic[] = "KvIndex";
constexpr uint32_t kMagicSize = 7;
constexpr uint32_t kLibraryVersion = 1;
constexpr uint32_t kParamRecordSize = sizeof(CKvIndexParam);

const char kSystemUnreadable[] = "读取系统指标配置文件时出现错误，请重新安装本软件。  ";
const char kSystemDamaged[] = "系统指标配置文件出错，请重新安装本软件。  ";
const char kUserUnreadable[] = "读取自定义指标配置文件时出现错误。  ";
const char kSomeSkipped[] = "部分技术分析指标未能导入，这些指标可能是由较新版本的软件所生成。  ";
const char kSaveOpenFailed[] = "保存指标时出现错误：打开文件失败。  ";
const char kSaveWriteFailed[] = "保存指标时出现错误：无法写入文件。  ";
const char kNotDefined[] = "指标未定义";

void ShowError(const char *text) { MessageBoxA(nullptr, text, "错误", MB_ICONERROR | MB_TOPMOST); }

bool SameIndexName(const char *a, const char *b) {
  return indexlex::SameName(a, int(std::strlen(a)), b);
}

void PutSpan(std::string &out, const char *text) {
  const size_t n = text ? std::strlen(text) : 0;
  PutIndexU32(out, uint32_t(n));
  if (n) out.append(text, n);
}

}  // namespace

void PutIndexRecord(std::string &out, const CKvIndex &f) {
  out.append(f.name, sizeof f.name);
  out.append(f.password, sizeof f.password);
  PutIndexU32(out, uint32_t(strnlen(f.description, sizeof f.description - 1)));
  out.append(f.description, strnlen(f.description, sizeof f.description - 1));
  PutIndexU32(out, f.paramCount);
  for (uint32_t i = 0; i < f.paramCount && i < 16; ++i)
    out.append(reinterpret_cast<const char *>(&f.params[i]), kParamRecordSize);
  PutSpan(out, f.formulaText);
  PutSpan(out, f.usageNotes);
  PutIndexU32(out, f.flags);
}

namespace {

// The flags of a kept record: its last four bytes.
uint32_t KeptFlags(const std::string &record) {
  if (record.size() < 4) return 0;
  const auto *b = reinterpret_cast<const uint8_t *>(record.data() + record.size() - 4);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

bool IsSystem(uint32_t flags) { return (flags & kIndexSystem) != 0; }

// What became of one formula record.
enum class RecordResult { kAdded, kKept, kDamaged };

// Reads the record after its marker byte into the group: a formula that
// compiles is added; one that does not is kept as read; a record whose
// lengths run past the end of the file is refused.
RecordResult ReadRecord(IndexPlainReader &r, CKvIndexGroup &group) {
  const char *start = r.Position();
  auto f = std::make_unique<CKvIndex>();
  if (!r.Bytes(f->name, sizeof f->name) || !r.Bytes(f->password, sizeof f->password))
    return RecordResult::kDamaged;
  f->name[sizeof f->name - 1] = 0;
  f->password[sizeof f->password - 1] = 0;

  const char *description, *text, *notes;
  uint32_t descriptionLength, paramCount, textLength, notesLength, flags;
  if (!r.Span(description, descriptionLength)) return RecordResult::kDamaged;
  const size_t kept = std::min<size_t>(descriptionLength, sizeof f->description - 1);
  std::memcpy(f->description, description, kept);
  f->description[kept] = 0;

  if (!r.U32(paramCount) || paramCount > r.Left() / kParamRecordSize) return RecordResult::kDamaged;
  for (uint32_t i = 0; i < paramCount; ++i) {
    CKvIndexParam param;
    r.Bytes(&param, kParamRecordSize);
    param.name[sizeof param.name - 1] = 0;
    f->AddParam(param);  // a repeated name or a 17th parameter is dropped
  }
  if (!r.Span(text, textLength) || !r.Span(notes, notesLength) || !r.U32(flags))
    return RecordResult::kDamaged;

  const std::string source(text, textLength);
  if (!f->Compile(source.c_str(), true)) {
    group.kept.emplace_back(start, size_t(r.Position() - start));
    return RecordResult::kKept;
  }
  if (notesLength) f->SetUsageNotes(std::string(notes, notesLength).c_str());
  f->flags = flags;
  group.Add(f.release());
  return RecordResult::kAdded;
}

}  // namespace

// ---- CKvIndexGroup ---------------------------------------------------------------------

CKvIndexGroup::CKvIndexGroup() { std::memset(name, 0, sizeof name); }

CKvIndexGroup::CKvIndexGroup(const char *groupName) : CKvIndexGroup() {
  if (groupName) SetIndexName(name, sizeof name, groupName, int(std::strlen(groupName)));
}

CKvIndexGroup::~CKvIndexGroup() { delete first; }

void CKvIndexGroup::Add(CKvIndex *formula) {
  if (!formula) return;
  CKvIndex **link = &first;
  while (*link) link = &(*link)->next;
  *link = formula;
  ++count;
}

void CKvIndexGroup::SetChain(CKvIndex *chain) {
  first = chain;
  count = 0;
  for (const CKvIndex *f = chain; f; f = f->next) ++count;
}

// ---- CKvIndexManager ---------------------------------------------------------------------

CKvIndexManager::CKvIndexManager() {
  InitializeCriticalSection(&lock);
  std::srand(unsigned(platform::UnixTimeNow()));
}

CKvIndexManager::~CKvIndexManager() {
  WaitForBackgroundSaves();
  Clear();
  DeleteCriticalSection(&lock);
}

void CKvIndexManager::Clear() {
  while (groups) {
    CKvIndexGroup *next = groups->next;
    delete groups;
    groups = next;
  }
}

void CKvIndexManager::SetFiles(const char *systemRead, const char *systemWrite, const char *user,
                               const char *staging) {
  systemRead_ = systemRead ? systemRead : "";
  systemWrite_ = systemWrite ? systemWrite : "";
  user_ = user ? user : "";
  staging_ = staging ? staging : "";
}

std::string CKvIndexManager::UserFile() const {
  return user_.empty() ? std::string(UserDataPath) + "kvindexu.dat" : user_;
}

CKvIndexGroup *CKvIndexManager::FindGroup(const char *name) const {
  if (!name) return nullptr;
  for (CKvIndexGroup *g = groups; g; g = g->next)
    if (SameIndexName(name, g->name)) return g;
  return nullptr;
}

void CKvIndexManager::AddGroup(CKvIndexGroup *group) {
  if (!group) return;
  CKvIndexGroup **link = &groups;
  while (*link) link = &(*link)->next;
  *link = group;
}

CKvIndex *CKvIndexManager::FindIndex(const char *name) const {
  if (!name) return nullptr;
  for (const CKvIndexGroup *g = groups; g; g = g->next)
    for (CKvIndex *f = g->first; f; f = f->next)
      if (SameIndexName(name, f->name)) return f;
  return nullptr;
}

int CKvIndexManager::CopyIndex(const char *name, CKvIndex *target) const {
  if (!target) return 0;
  const CKvIndex *found = FindIndex(name);
  if (!found) {
    target->SetError(kNotDefined, 0, 0);
    return 0;
  }
  target->AssignAndCompile(*found);
  return 1;
}

CKvIndex *CKvIndexManager::GetIndexAt(uint32_t n) const {
  for (const CKvIndexGroup *g = groups; g; g = g->next) {
    if (n >= g->count) {
      n -= g->count;
      continue;
    }
    CKvIndex *f = g->first;
    while (f && n--) f = f->next;
    return f;
  }
  return nullptr;
}

// ---- Reading -------------------------------------------------------------------------------

CKvIndexManager::ReadResult CKvIndexManager::ReadFile(const char *path, bool system) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return ReadResult::kNoFile;
  const CDesEnc cipher(kKey);
  if (!cipher.DecryptFile(path, staging_.c_str())) {
    DeleteFileA(staging_.c_str());
    return ReadResult::kNotDeciphered;
  }
  const int32_t file = FileOpen(staging_.c_str(), "rb");
  const int32_t size = FileSize(file);
  if (file <= 0 || size < 0) {
    FileClose(file);
    DeleteFileA(staging_.c_str());
    return ReadResult::kNotOpened;
  }
  std::string plain(size_t(size), '\0');
  const int32_t got = size ? FileRead(file, plain.data(), 1, size) : 0;
  plain.resize(size_t(got > 0 ? got : 0));
  FileClose(file);
  DeleteFileA(staging_.c_str());

  IndexPlainReader r(plain.data(), plain.data() + plain.size());
  char magic[kMagicSize];
  uint32_t version;
  if (!r.Bytes(magic, kMagicSize) || std::memcmp(magic, kMagic, kMagicSize) != 0 || !r.U32(version) ||
      version != kLibraryVersion)
    return ReadResult::kWrongMagic;

  // Group after group until the file ends; a damaged record ends it early,
  // keeping what was read before.
  while (r.Left() > 0) {
    char name[32];
    if (!r.Bytes(name, sizeof name)) break;
    name[sizeof name - 1] = 0;
    CKvIndexGroup *group = system ? nullptr : FindGroup(name);
    if (!group) {
      group = new CKvIndexGroup(name);
      AddGroup(group);
    }
    bool damaged = false;
    for (;;) {
      char marker;
      if (!r.Bytes(&marker, 1)) {
        damaged = true;
        break;
      }
      if (marker == 0) break;
      const RecordResult result = ReadRecord(r, *group);
      if (result == RecordResult::kAdded) continue;
      ++skipped_;
      if (result == RecordResult::kDamaged) {
        damaged = true;
        break;
      }
    }
    if (damaged) break;
  }
  return ReadResult::kRead;
}

void CKvIndexManager::Load() {
  // The staging file has one name: no save may run meanwhile.
  EAutoLock hold(&lock);
  skipped_ = 0;
  switch (ReadFile(systemRead_.c_str(), true)) {
    case ReadResult::kRead: systemState_ = IndexFileState::kLoaded; break;
    case ReadResult::kNoFile:
      systemState_ = IndexFileState::kMissing;
      ShowError(kSystemUnreadable);
      break;
    case ReadResult::kNotDeciphered:
    case ReadResult::kNotOpened:
      systemState_ = IndexFileState::kUnreadable;
      ShowError(kSystemUnreadable);
      break;
    case ReadResult::kWrongMagic:
      systemState_ = IndexFileState::kUnreadable;
      ShowError(kSystemDamaged);
      break;
  }
  // The user's file is read whatever became of the system file.
  switch (ReadFile(UserFile().c_str(), false)) {
    case ReadResult::kRead: userState_ = IndexFileState::kLoaded; break;
    case ReadResult::kNoFile: userState_ = IndexFileState::kMissing; break;
    case ReadResult::kNotDeciphered:
    case ReadResult::kNotOpened:
      // A file that is there but can't be read is told, never passed over:
      // it holds the user's own formulas and is kept as it is.
      userState_ = IndexFileState::kUnreadable;
      ShowError(kUserUnreadable);
      break;
    case ReadResult::kWrongMagic: userState_ = IndexFileState::kUnreadable; break;
  }
  if (userState_ == IndexFileState::kLoaded && skipped_ > 0)
    MessageBoxA(nullptr, kSomeSkipped, "提示", MB_ICONWARNING | MB_TOPMOST);
}

// ---- Writing -------------------------------------------------------------------------------

bool CKvIndexManager::SaveLibraryFile(bool systemFormulas, const char *target) {
  std::string plain(kMagic, kMagicSize);
  PutIndexU32(plain, kLibraryVersion);
  for (const CKvIndexGroup *g = groups; g; g = g->next) {
    plain.append(g->name, sizeof g->name);
    for (const CKvIndex *f = g->first; f; f = f->next) {
      if (IsSystem(f->flags) != systemFormulas) continue;
      plain += '\1';
      PutIndexRecord(plain, *f);
    }
    for (const std::string &record : g->kept) {
      if (IsSystem(KeptFlags(record)) != systemFormulas) continue;
      plain += '\1';
      plain += record;
    }
    plain += '\0';
  }

  const char *staging = staging_.c_str();
  HANDLE file = CreateFileA(staging, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ShowError(kSaveOpenFailed);
    return false;
  }
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, plain.data(), DWORD(plain.size()), &written, nullptr);
  CloseHandle(file);
  if (!wrote || written != plain.size()) {
    DeleteFileA(staging);
    ShowError(kSaveWriteFailed);
    return false;
  }
  SetFileAttributesA(staging, FILE_ATTRIBUTE_NORMAL);
  // The cipher writes beside the target and renames over it only when the
  // whole file is written, so a failure leaves the old file whole.
  const CDesEnc cipher(kKey);
  const bool enciphered = cipher.EncryptFile(staging, target);
  DeleteFileA(staging);
  if (!enciphered) {
    ShowError(kSaveOpenFailed);
    return false;
  }
  return true;
}

bool CKvIndexManager::Save() {
  for (const bool system : {true, false}) {
    const IndexFileState state = system ? systemState_ : userState_;
    // A file that could not be read at start-up is never written over: that
    // would put the groups without their formulas in its place. A missing
    // system file is an installation fault, not ours to paper over.
    const bool writable = state == IndexFileState::kLoaded || state == IndexFileState::kNotRead ||
                          (!system && state == IndexFileState::kMissing);
    if (!writable) {
      bool any = false;
      for (const CKvIndexGroup *g = groups; g && !any; g = g->next) {
        for (const CKvIndex *f = g->first; f && !any; f = f->next) any = IsSystem(f->flags) == system;
        for (const std::string &record : g->kept) any = any || IsSystem(KeptFlags(record)) == system;
      }
      if (!any) continue;
      ShowError(kSaveOpenFailed);
      return false;
    }
    const std::string target = system ? systemWrite_ : UserFile();
    if (!SaveLibraryFile(system, target.c_str())) return false;
  }
  return true;
}

unsigned CKvIndexManager::SaveThread(void *argument) {
  auto *manager = static_cast<CKvIndexManager *>(argument);
  {
    EAutoLock hold(&manager->lock);
    manager->Save();
  }
  std::lock_guard<std::mutex> guard(manager->savesLock_);
  --manager->savesRunning_;
  manager->savesDone_.notify_all();
  return 0;
}

bool CKvIndexManager::SaveInBackground() {
  {
    std::lock_guard<std::mutex> guard(savesLock_);
    ++savesRunning_;
  }
  const uintptr_t thread = _beginthreadex(nullptr, 0, &SaveThread, this, 0, nullptr);
  if (!thread) {
    std::lock_guard<std::mutex> guard(savesLock_);
    --savesRunning_;
    savesDone_.notify_all();
    return false;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread));
  return true;
}

void CKvIndexManager::WaitForBackgroundSaves() {
  std::unique_lock<std::mutex> guard(savesLock_);
  savesDone_.wait(guard, [this] { return savesRunning_ == 0; });
}

CKvIndexManager &KvIndexManager() {
  static CKvIndexManager manager;
  return manager;
}
