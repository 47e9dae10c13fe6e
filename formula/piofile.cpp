// Writing and reading indicator export files.
#include "formula/piofile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/desenc.h"
#include "core/eautolock.h"
#include "core/efile.h"
#include "core/emem.h"
#include "formula/indexrecord.h"
#include "formula/lexer.h"
#include "platform/msgbox.h"

namespace {

const char kPioMagic[8] = {'P', 'i', 'O', 'u', 't', 'p', 'r', 't'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kPioParamSize = sizeof(CKvIndexParam);
constexpr uint32_t kDescriptionKept = 511;

const char kExportOpenFailed[] = "导出指标时出现错误：打开文件失败。  ";
const char kExportWriteFailed[] = "导出指标时出现错误：无法写入文件。  ";
const char kExportCipherFailed[] = "导出指标时出现错误：写入文件失败。  ";
const char kImportNotDeciphered[] = "导入时出现错误，可能是文件格式不正确。  ";
const char kImportNotOpened[] = "导入时出现错误，无法读取文件。  ";
const char kImportWrongMagic[] = "指标导出文件格式不正确。  ";
const char kImportTooNew[] = "指标导出文件版本太新，无法识别。请下载使用最新版本的行情软件。  ";

void ShowPioError(const char *text) { MessageBoxA(nullptr, text, "错误", MB_ICONERROR | MB_TOPMOST); }

bool NameIsOneOf(const char *name, std::initializer_list<const char *> names) {
  if (!name) return false;
  const int length = int(strnlen(name, 16));
  for (const char *n : names)
    if (indexlex::SameName(name, length, n)) return true;
  return false;
}

// Closes the staging file, deletes it and lets the lock go.
void CloseExport(IndexExportFile &out) {
  if (out.file != INVALID_HANDLE_VALUE) {
    CloseHandle(out.file);
    out.file = INVALID_HANDLE_VALUE;
  }
  if (!out.staging.empty()) {
    DeleteFileA(out.staging.c_str());
    out.staging.clear();
  }
  if (out.lock) {
    LeaveCriticalSection(out.lock);
    out.lock = nullptr;
  }
}

bool Fail(IndexExportFile &out, const char *message) {
  CloseExport(out);
  out.failed = true;
  ShowPioError(message);
  return false;
}

bool Write(IndexExportFile &out, const std::string &bytes) {
  if (out.failed || out.file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  if (!WriteFile(out.file, bytes.data(), DWORD(bytes.size()), &written, nullptr) || written != bytes.size())
    return Fail(out, kExportWriteFailed);
  return true;
}

// Sets a formula's text as it is, without compiling it.
bool SetText(CKvIndex &formula, const std::string &text) {
  auto *buffer = static_cast<char *>(Malloc(int32_t(text.size() + 1)));
  if (!buffer) return false;
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = 0;
  Free(formula.formulaText);
  formula.formulaText = buffer;
  return true;
}

enum class RecordRead { kRead, kShort };

// One formula record after its marker byte, into a new formula. The
// lengths are bounded by their fields and by the bytes left: a description
// past 511 bytes is cut and the rest skipped, parameters past 16 are read
// past, and a length that runs past the end (a negative one does) makes the
// record short.
RecordRead ReadFormula(IndexPlainReader &r, CKvIndex &scratch) {
  if (!r.Bytes(scratch.name, sizeof scratch.name) || !r.Bytes(scratch.password, sizeof scratch.password))
    return RecordRead::kShort;
  scratch.name[sizeof scratch.name - 1] = 0;
  scratch.password[sizeof scratch.password - 1] = 0;

  const char *description, *text, *notes;
  uint32_t descriptionLength, paramCount, textLength, notesLength, flags;
  if (!r.Span(description, descriptionLength)) return RecordRead::kShort;
  const size_t kept = std::min<size_t>(descriptionLength, kDescriptionKept);
  std::memcpy(scratch.description, description, kept);
  scratch.description[kept] = 0;

  if (!r.U32(paramCount) || paramCount > r.Left() / kPioParamSize) return RecordRead::kShort;
  for (uint32_t i = 0; i < paramCount; ++i) {
    CKvIndexParam param;
    r.Bytes(&param, kPioParamSize);
    param.name[sizeof param.name - 1] = 0;
    scratch.AddParam(param);  // a repeated name or a 17th parameter is dropped
  }
  if (!r.Span(text, textLength) || !r.Span(notes, notesLength) || !r.U32(flags)) return RecordRead::kShort;

  // The text is kept whole and upper-cased the way the compiler stores it,
  // whether or not our compiler takes it: a formula is never lost on the
  // way in. It is compiled when a chart uses it.
  std::string source(text, textLength);
  source.resize(strnlen(source.c_str(), source.size()));
  char *body = const_cast<char *>(indexlex::SkipBlanksAndComments(source.data()));
  indexlex::UpperCase(body);
  if (!SetText(scratch, source)) return RecordRead::kShort;
  if (notesLength) scratch.SetUsageNotes(std::string(notes, strnlen(notes, notesLength)).c_str());
  scratch.flags = flags;
  return RecordRead::kRead;
}

}  // namespace

bool IsUnmodifiableIndex(const char *name) { return NameIsOneOf(name, {"K", "TWR", "BAR", "OX"}); }
bool IsUndeletableIndex(const char *name) { return NameIsOneOf(name, {"K", "VOL"}); }

// ---- Writing -------------------------------------------------------------------------------

IndexExportFile::~IndexExportFile() { CloseExport(*this); }

bool ExportFileCreate(IndexExportFile &out, CKvIndexManager &library) {
  CloseExport(out);
  out.failed = false;
  EnterCriticalSection(&library.lock);
  out.lock = &library.lock;
  out.file = CreateFileA(library.StagingFile().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (out.file == INVALID_HANDLE_VALUE) return Fail(out, kExportOpenFailed);
  out.staging = library.StagingFile();
  std::string header(kPioMagic, sizeof kPioMagic);
  PutIndexU32(header, kVersion);
  return Write(out, header);
}

bool ExportFileWriteGroup(IndexExportFile &out, const char *groupName) {
  std::string record(1, '\0');
  char name[32] = {};
  if (groupName) std::memcpy(name, groupName, strnlen(groupName, sizeof name - 1));
  record.append(name, sizeof name);
  return Write(out, record);
}

bool ExportFileWriteFormula(IndexExportFile &out, const CKvIndex &formula) {
  std::string record(1, '\1');
  PutIndexRecord(record, formula);
  return Write(out, record);
}

bool ExportFileFinish(IndexExportFile &out, const char *target) {
  if (out.failed || out.file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(out.file);
  out.file = INVALID_HANDLE_VALUE;
  SetFileAttributesA(out.staging.c_str(), FILE_ATTRIBUTE_NORMAL);
  const bool enciphered = CDesEnc(kIndexExportKey).EncryptFile(out.staging.c_str(), target) != 0;
  if (!enciphered) return Fail(out, kExportCipherFailed);
  CloseExport(out);
  return true;
}

// ---- Reading -------------------------------------------------------------------------------

int ImportIndexFile(const char *path, CKvIndexManager &library) {
  EAutoLock hold(&library.lock);
  const char *staging = library.StagingFile().c_str();
  if (!CDesEnc(kIndexExportKey).DecryptFile(path, staging)) {
    DeleteFileA(staging);
    ShowPioError(kImportNotDeciphered);
    return -1;
  }
  const int32_t file = FileOpen(staging, "rb");
  const int32_t size = file > 0 ? FileSize(file) : -1;
  if (file <= 0 || size < 0) {
    FileClose(file);
    DeleteFileA(staging);
    ShowPioError(kImportNotOpened);
    return -1;
  }
  std::string plain(size_t(size), '\0');
  const int32_t got = size ? FileRead(file, plain.data(), 1, size) : 0;
  plain.resize(size_t(got > 0 ? got : 0));
  FileClose(file);
  DeleteFileA(staging);

  IndexPlainReader r(plain.data(), plain.data() + plain.size());
  char magic[sizeof kPioMagic];
  if (!r.Bytes(magic, sizeof magic) || std::memcmp(magic, kPioMagic, sizeof kPioMagic) != 0) {
    ShowPioError(kImportWrongMagic);
    return -1;
  }
  uint32_t version = 0;
  if (!r.U32(version) || version != kVersion) {
    ShowPioError(kImportTooNew);
    return -1;
  }

  int imported = 0;
  CKvIndexGroup *group = nullptr;
  bool stop = false;
  while (!stop && r.Left() > 0) {
    uint8_t marker = 0;
    r.Bytes(&marker, 1);
    if (marker == 0) {
      char name[32];
      if (!r.Bytes(name, sizeof name)) break;
      name[sizeof name - 1] = 0;
      group = library.FindGroup(name);
      if (!group) {
        group = new CKvIndexGroup(name);
        library.AddGroup(group);
      }
      continue;
    }
    if (!group) break;  // the first record must be a group
    auto incoming = std::make_unique<CKvIndex>();
    if (ReadFormula(r, *incoming) == RecordRead::kShort) break;
    if (IsUnmodifiableIndex(incoming->name)) continue;
    if (CKvIndex *existing = library.FindIndex(incoming->name)) {
      char question[96];
      std::snprintf(question, sizeof question, "指标 %s 已存在，是否覆盖？  ", incoming->name);
      switch (MessageBoxA(nullptr, question, "确认", MB_YESNOCANCEL | MB_ICONQUESTION | MB_TOPMOST)) {
        case IDYES:
          existing->Assign(*incoming);
          ++imported;
          break;
        case IDCANCEL: stop = true; break;
        default: break;
      }
      continue;
    }
    group->Add(incoming.release());
    ++imported;
  }

  char done[64];
  std::snprintf(done, sizeof done, "共导入 %d 个指标。  ", imported);
  MessageBoxA(nullptr, done, "导入完毕", MB_ICONINFORMATION | MB_TOPMOST);
  return imported;
}
