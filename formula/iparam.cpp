// Parameter values per chart period: "%siparam.dat" in the per-user folder.
//
// Plain binary, little-endian: version (int32, 1), then records of 2064
// bytes: the formula's 16-byte name field, then double[16][16], parameter i
// and slot j at 16 + 128 i + 8 j. Slot j is the chart period code j. Records
// are found by name without regard to case; a file holds at most one record
// per name.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/efile.h"
#include "formula/kvindex.h"
#include "formula/kvindexlib.h"
#include "formula/lexer.h"
#include "market/utildata.h"
#include "platform/fileapi.h"

namespace {

constexpr int32_t kParamFileVersion = 1;
constexpr int32_t kSlots = 16;
constexpr int32_t kRecordSize = 16 + 16 * kSlots * 8;
static_assert(kRecordSize == 2064);

std::string ParamFile() { return std::string(UserDataPath) + "iparam.dat"; }

bool RecordNamed(const char *record, const char *name) {
  char stored[17] = {};
  std::memcpy(stored, record, 16);
  return indexlex::SameName(name, int(std::strlen(name)), stored);
}

double Slot(const char *record, uint32_t param, uint32_t slot) {
  double v;
  std::memcpy(&v, record + 16 + 128 * param + 8 * slot, sizeof v);
  return v;
}

void SetSlot(char *record, uint32_t param, uint32_t slot, double v) {
  std::memcpy(record + 16 + 128 * param + 8 * slot, &v, sizeof v);
}

// The parameters whose values a record carries for this formula.
uint32_t Params(const CKvIndex &f) { return f.paramCount < 16 ? f.paramCount : 16; }

void LoadOne(CKvIndex &f, uint32_t period) {
  if (!f.name[0] || f.paramCount == 0) return;
  const CKvIndex *library = KvIndexManager().FindIndex(f.name);
  if (!library) return;  // nothing to fall back on: the values stay
  const std::string path = ParamFile();
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    for (uint32_t i = 0; i < Params(f) && i < library->paramCount; ++i) f.params[i].value = library->params[i].value;
    return;
  }
  const int32_t file = FileOpen(path.c_str(), "rb");
  if (file <= 0) return;
  int32_t version = 0;
  if (FileRead(file, &version, 1, 4) != 4 || version != kParamFileVersion) {
    FileClose(file);
    DeleteFileA(path.c_str());
    return;
  }
  std::vector<char> record(kRecordSize);
  while (FileRead(file, record.data(), 1, kRecordSize) == kRecordSize) {
    if (!RecordNamed(record.data(), f.name)) continue;
    for (uint32_t i = 0; i < Params(f); ++i) {
      CKvIndexParam &p = f.params[i];
      double v = Slot(record.data(), i, period);
      if (!std::isfinite(v))
        v = p.defaultValue;
      else if (v > p.maximum)
        v = p.maximum;
      else if (v < p.minimum)
        v = p.minimum;
      p.value = v;
    }
    break;
  }
  FileClose(file);
}

}  // namespace

void CKvIndex::LoadParamValues(uint32_t period) {
  if (period >= uint32_t(kSlots)) return;
  std::vector<CKvIndex *> chain;
  for (CKvIndex *f = next; f; f = f->next) chain.push_back(f);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) LoadOne(**it, period);
  LoadOne(*this, period);
}

void CKvIndex::SaveParamValues(uint32_t period) {
  if (!name[0] || paramCount == 0 || period >= uint32_t(kSlots)) return;
  const CKvIndex *library = KvIndexManager().FindIndex(name);
  if (!library) return;  // the other slots would have nothing to hold

  std::vector<char> built(kRecordSize, 0);
  std::memcpy(built.data(), name, sizeof name);
  for (uint32_t i = 0; i < Params(*this); ++i)
    for (uint32_t j = 0; j < uint32_t(kSlots); ++j) {
      const bool ours = period == 0 || j == period || i >= library->paramCount;
      SetSlot(built.data(), i, j, ours ? params[i].value : library->params[i].value);
    }

  const std::string path = ParamFile();
  const int32_t file = FileOpen(path.c_str(), "r+b");  // made when missing
  if (file <= 0) return;
  int32_t version = 0;
  if (FileRead(file, &version, 1, 4) == 4 && version == kParamFileVersion) {
    std::vector<char> record(kRecordSize);
    int32_t at = 4;
    for (;;) {
      const int32_t got = FileRead(file, record.data(), 1, kRecordSize);
      if (got == kRecordSize && !RecordNamed(record.data(), name)) {
        at += kRecordSize;
        continue;
      }
      // Found: written in its place. Not found: appended, over any part of a
      // record at the end.
      const bool found = got == kRecordSize;
      if (found && period != 0) {
        for (uint32_t i = 0; i < Params(*this); ++i) SetSlot(record.data(), i, period, params[i].value);
      }
      FileSeek(file, at, 0);
      FileWrite(file, found && period != 0 ? record.data() : built.data(), 1, kRecordSize);
      break;
    }
    FileClose(file);
    return;
  }
  // A new file or one of another version: started afresh.
  const int32_t start = kParamFileVersion;
  const bool written = FileTruncate(file, 0) == 0 && FileWrite(file, &start, 1, 4) == 4 &&
                       FileWrite(file, built.data(), 1, kRecordSize) == kRecordSize;
  FileClose(file);
  if (!written) DeleteFileA(path.c_str());
}
