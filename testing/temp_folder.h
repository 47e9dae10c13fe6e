// A fixture that runs each test in a fresh temporary folder which is the
// current one, and puts the previous current folder back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace testing_support {

// A fresh folder "<prefix>-XXXXXX" in the system's temporary folder (TMPDIR
// when it names one, else /tmp); its absolute path, or "" when it could not
// be made.
std::string MakeTempFolder(const std::string &prefix);

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Plain file access behind the platform calls' back, as another program would.
  static void Put(const std::string &path, const std::string &bytes);
  static std::string Get(const std::string &path);

  std::filesystem::path old_;
  std::string root_;  // the folder's absolute path
};

}  // namespace testing_support
