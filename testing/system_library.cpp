#include "testing/system_library.h"

#include "formula/kvindexlib.h"
#include "formula/libsource.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace testing_support {

std::string BuiltSystemLibrary() { return KIVO_SYSTEM_LIBRARY; }
std::string SystemLibrarySource() { return KIVO_SYSTEM_LIBRARY_SOURCE; }

std::string ReadWholeFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool BuildCopiesOfShippedFormulas(CKvIndexManager &out, uint32_t count, std::string *error) {
  CKvIndexManager shipped;
  if (!ReadIndexLibrarySource(ReadWholeFile(SystemLibrarySource()), shipped, error)) return false;
  uint32_t shippedCount = 0;
  while (shipped.GetIndexAt(shippedCount)) ++shippedCount;
  if (!shippedCount) {
    if (error) *error = "no shipped formulas";
    return false;
  }
  CKvIndexGroup *group = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    if (i % 25 == 0) {
      char name[32];
      std::snprintf(name, sizeof name, "G%02u", i / 25);
      group = new CKvIndexGroup(name);
      out.AddGroup(group);
    }
    const CKvIndex *source = shipped.GetIndexAt(i % shippedCount);
    auto *f = new CKvIndex;
    f->AssignAndCompile(*source);
    f->flags = source->flags;
    std::snprintf(f->name, sizeof f->name, "F%03u", i);
    group->Add(f);
  }
  return true;
}

}  // namespace testing_support
