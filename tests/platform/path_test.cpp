#include "testing/temp_folder.h"
#include "platform/path.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/fileapi.h"

namespace fs = std::filesystem;

namespace {

// Runs each test in a fresh folder that is the current one.
class PathTest : public testing_support::TempFolderTest {
 protected:
  static void Touch(const std::string &path) { std::ofstream(path) << "x"; }
};

TEST_F(PathTest, ResolvesWindowsFormsWithoutRegardToCase) {
  fs::create_directories("CFG");
  fs::create_directories("Data/sub");
  fs::create_directories("bin");
  Touch("CFG/Setting.ini");
  Touch("Data/sub/File.TXT");
  std::string windowsRoot = platform::ToWindowsPath(root_);

  struct Case {
    std::string cwd, input, expected;
  } cases[] = {
      {"", ".\\cfg\\setting.ini", "/CFG/Setting.ini"},
      {"", "CFG\\\\SETTING.INI", "/CFG/Setting.ini"},
      {"", "cfg/Setting.INI", "/CFG/Setting.ini"},
      {"bin", "..\\CFG\\SETTING.INI", "/CFG/Setting.ini"},
      {"", "data\\SUB\\file.txt", "/Data/sub/File.TXT"},
      {"", "DATA\\sub\\", "/Data/sub"},
      // A missing component keeps the caller's spelling, from there on.
      {"", "data\\New.txt", "/Data/New.txt"},
      {"", "Missing\\CFG\\x.ini", "/Missing/CFG/x.ini"},
      // Dots are applied to the text first, as Windows does.
      {"", "missing\\..\\cfg\\.\\setting.ini", "/CFG/Setting.ini"},
      {"", "C:" + windowsRoot + "\\cfg\\setting.ini", "/CFG/Setting.ini"},
      {"", "c:" + root_ + "/Cfg", "/CFG"},
  };
  for (const Case &c : cases) {
    fs::current_path(fs::path(root_) / c.cwd);
    EXPECT_EQ(platform::ResolvePath(c.input.c_str()), root_ + c.expected) << c.input;
  }
  EXPECT_EQ(platform::ResolvePath(""), "");
  EXPECT_EQ(platform::ResolvePath(nullptr), "");
  EXPECT_EQ(platform::ResolvePath("C:\\"), "/");
}

// 0x81 0x47 and 0x81 0x67 are two different GBK characters (their trail
// bytes happen to be 'G' and 'g'); folding the trail byte would make them one.
TEST_F(PathTest, GbkTrailBytesNeverFold) {
  const std::string upperTrail = "\x81G";
  const std::string lowerTrail = "\x81g";
  Touch(lowerTrail + "a.txt");

  EXPECT_EQ(platform::ResolvePath((lowerTrail + "A.TXT").c_str()), root_ + "/" + lowerTrail + "a.txt");
  EXPECT_EQ(platform::ResolvePath((upperTrail + "a.txt").c_str()), root_ + "/" + upperTrail + "a.txt");
  EXPECT_EQ(GetFileAttributesA((upperTrail + "a.txt").c_str()), INVALID_FILE_ATTRIBUTES);

  // 0x81 0x5C has a backslash for its trail byte: it is a character, not a
  // separator.
  const std::string backslashTrail = "\x81\\";
  fs::create_directories(backslashTrail + "Dir");
  Touch(backslashTrail + "Dir/f.txt");
  EXPECT_EQ(platform::ResolvePath((backslashTrail + "dir\\F.TXT").c_str()),
            root_ + "/" + backslashTrail + "Dir/f.txt");

  struct Case {
    std::string a, b;
    bool equal;
  } cases[] = {
      {"Setting.INI", "setting.ini", true},
      {"\x81G", "\x81g", false},
      {"\x81Gx", "\x81GX", true},
      {"\xD0\xEC", "\xD0\xEC", true},
      {"abc", "abd", false},
      {"a", "ab", false},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(platform::EqualNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    if (c.equal) {
      EXPECT_EQ(platform::HashNoCase(c.a), platform::HashNoCase(c.b)) << c.a;
      EXPECT_EQ(platform::CompareNoCase(c.a, c.b), 0) << c.a;
    }
  }
}

TEST_F(PathTest, MissingFileAndMissingFolderAreTold) {
  fs::create_directories("Cfg");
  Touch("Cfg/a.ini");
  struct Case {
    const char *path;
    DWORD error;
  } cases[] = {
      {"cfg\\none.ini", ERROR_FILE_NOT_FOUND},
      {"none.ini", ERROR_FILE_NOT_FOUND},
      {"nofolder\\a.ini", ERROR_PATH_NOT_FOUND},
      {"CFG\\a.ini\\x", ERROR_PATH_NOT_FOUND},  // a file used as a folder
      {"", ERROR_PATH_NOT_FOUND},
  };
  for (const Case &c : cases) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(c.path), INVALID_FILE_ATTRIBUTES) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
    SetLastError(0);
    EXPECT_EQ(CreateFileA(c.path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
}

TEST_F(PathTest, ReturnedPathsUseBackslashesAndTheBufferContract) {
  fs::create_directories("Sub");
  ASSERT_TRUE(SetCurrentDirectoryA("sub"));
  std::string expected = platform::ToWindowsPath(root_ + "/Sub");
  char buffer[512];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), expected.size());
  EXPECT_EQ(std::string(buffer), expected);
  // Too small by one: the size needed, NUL included.
  EXPECT_EQ(GetCurrentDirectoryA(DWORD(expected.size()), buffer), expected.size() + 1);
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), expected.size() + 1);

  SetLastError(0);
  EXPECT_FALSE(SetCurrentDirectoryA("nothere"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  const char *saved = getenv("TMPDIR");
  std::string savedValue = saved ? saved : "";
  setenv("TMPDIR", "/var/tmp", 1);
  char temp[240];
  EXPECT_EQ(GetTempPathA(sizeof temp, temp), 9u);
  EXPECT_STREQ(temp, "\\var\\tmp\\");
  EXPECT_EQ(GetTempPathA(9, temp), 10u);
  EXPECT_STREQ(temp, "");
  if (saved)
    setenv("TMPDIR", savedValue.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

}  // namespace
