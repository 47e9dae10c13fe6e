// Library files for the formula library's tests: a temporary program folder
// with "..\cfg" and a per-user folder, plain library bytes built record by
// record, and enciphering and deciphering them with the library's key.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/desenc.h"
#include "formula/kvindexlib.h"
#include "market/utildata.h"
#include "testing/msgbox_recorder.h"
#include "testing/temp_folder.h"

namespace formula_test {

inline void PutU32(std::string &out, uint32_t v) {
  const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out.append(b, 4);
}

// The plain form of a library file, built piece by piece.
class PlainLibrary {
 public:
  explicit PlainLibrary(const std::string &magic = "KvIndex", uint32_t version = 1) : bytes(magic) {
    PutU32(bytes, version);
  }
  PlainLibrary &Group(const std::string &name) {
    if (open_) bytes += '\0';
    std::string field = name;
    field.resize(32, '\0');
    bytes += field;
    open_ = true;
    return *this;
  }
  // A formula record with its marker byte; params are "NAME=value".
  PlainLibrary &Formula(const std::string &name, const std::string &text, uint32_t flags,
                        const std::string &description = "", const std::string &notes = "",
                        const std::vector<std::pair<std::string, double>> &params = {}) {
    bytes += '\1';
    bytes += Record(name, text, flags, description, notes, params);
    return *this;
  }
  static std::string Record(const std::string &name, const std::string &text, uint32_t flags,
                            const std::string &description = "", const std::string &notes = "",
                            const std::vector<std::pair<std::string, double>> &params = {}) {
    std::string r = name;
    r.resize(16, '\0');
    r += std::string(32, '\0');
    PutU32(r, uint32_t(description.size()));
    r += description;
    PutU32(r, uint32_t(params.size()));
    for (const auto &p : params) {
      CKvIndexParam record{};
      std::snprintf(record.name, sizeof record.name, "%s", p.first.c_str());
      record.maximum = 1000;
      record.defaultValue = p.second;
      record.reserved = 1;
      record.value = p.second;
      r.append(reinterpret_cast<const char *>(&record), sizeof record);
    }
    PutU32(r, uint32_t(text.size()));
    r += text;
    PutU32(r, uint32_t(notes.size()));
    r += notes;
    PutU32(r, flags);
    return r;
  }
  // Closes the last group.
  std::string Done() const { return open_ ? bytes + '\0' : bytes; }

  std::string bytes;

 private:
  bool open_ = false;
};

// Runs each test in a program folder "bin" with "cfg" beside it and a
// per-user folder "user", the library's files at their usual places.
class LibraryFolderTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    std::filesystem::create_directories(root_ + "/bin");
    std::filesystem::create_directories(root_ + "/cfg");
    std::filesystem::create_directories(root_ + "/user");
    std::filesystem::current_path(root_ + "/bin");
    std::memcpy(savedUserPath_, UserDataPath, sizeof savedUserPath_);
    std::snprintf(UserDataPath, sizeof UserDataPath, "%s/user/", root_.c_str());
  }
  void TearDown() override {
    std::memcpy(UserDataPath, savedUserPath_, sizeof savedUserPath_);
    TempFolderTest::TearDown();
  }

  std::string SystemFile() const { return root_ + "/cfg/KvIndexS.dat"; }
  std::string UserFile() const { return root_ + "/user/kvindexu.dat"; }

  // Enciphers plain bytes into a library file (with another key when given).
  void PutLibrary(const std::string &path, const std::string &plain, const char *key = CKvIndexManager::kKey) {
    const std::string source = root_ + "/plain.tmp";
    Put(source, plain);
    ASSERT_TRUE(CDesEnc(key).EncryptFile(source.c_str(), path.c_str()));
    std::filesystem::remove(source);
  }
  // The plain bytes of a library file; "" when it can't be deciphered.
  std::string PlainOf(const std::string &path) {
    const std::string target = root_ + "/plain.out";
    if (!CDesEnc(CKvIndexManager::kKey).DecryptFile(path.c_str(), target.c_str())) return {};
    std::string plain = Get(target);
    std::filesystem::remove(target);
    return plain;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto &call : boxes.Calls()) texts.push_back(call.text);
    return texts;
  }

  MessageBoxRecorder boxes;

 private:
  char savedUserPath_[MAX_PATH] = {};
};

}  // namespace formula_test
