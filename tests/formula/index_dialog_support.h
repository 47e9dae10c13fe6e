// Small libraries for the formula dialogs' tests: formulas made in code,
// plain export files built record by record and enciphered with the export
// key.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "formula/kvindexlib.h"
#include "formula/piofile.h"
#include "tests/formula/library_support.h"

namespace formula_test {

// A formula as the library holds it, its text compiled.
inline CKvIndex *MakeFormula(const std::string &name, const std::string &text, uint32_t flags = 0,
                             const std::string &password = "", const std::string &description = "",
                             const std::vector<std::pair<std::string, double>> &params = {}) {
  auto *f = new CKvIndex;
  std::strncpy(f->name, name.c_str(), sizeof f->name - 1);
  std::strncpy(f->password, password.c_str(), sizeof f->password - 1);
  std::strncpy(f->description, description.c_str(), sizeof f->description - 1);
  for (const auto &p : params) {
    CKvIndexParam record{};
    std::strncpy(record.name, p.first.c_str(), sizeof record.name - 1);
    record.maximum = 100;
    record.defaultValue = record.value = p.second;
    record.reserved = 1;
    f->AddParam(record);
  }
  EXPECT_TRUE(f->Compile(text.c_str(), true)) << text;
  std::strncpy(f->name, name.c_str(), sizeof f->name - 1);
  std::strncpy(f->password, password.c_str(), sizeof f->password - 1);
  std::strncpy(f->description, description.c_str(), sizeof f->description - 1);
  f->flags = flags | (password.empty() ? 0 : kIndexHasPassword);
  return f;
}

// Groups of formulas: {"group", {formula, ...}}.
inline void AddGroup(CKvIndexManager &library, const std::string &name, std::vector<CKvIndex *> formulas) {
  auto *group = new CKvIndexGroup(name.c_str());
  for (CKvIndex *f : formulas) group->Add(f);
  library.AddGroup(group);
}

// The plain form of an export file.
class PlainExport {
 public:
  explicit PlainExport(const std::string &magic = "PiOutprt", uint32_t version = 1) : bytes(magic) {
    PutU32(bytes, version);
  }
  PlainExport &Group(const std::string &name) {
    bytes += '\0';
    std::string field = name;
    field.resize(32, '\0');
    bytes += field;
    return *this;
  }
  PlainExport &Formula(const std::string &name, const std::string &text, uint32_t flags = 0,
                       const std::string &description = "", const std::string &notes = "",
                       const std::vector<std::pair<std::string, double>> &params = {}) {
    bytes += '\1';
    bytes += PlainLibrary::Record(name, text, flags, description, notes, params);
    return *this;
  }
  std::string bytes;
};

}  // namespace formula_test
