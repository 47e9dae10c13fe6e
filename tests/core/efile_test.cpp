#include "testing/temp_folder.h"
#include "core/efile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct ModeCase {
  const char *mode;
  uint8_t flags;
};

TEST(ParseOpenMode, ReadsTheFirstThreeCharacters) {
  const ModeCase cases[] = {
      {"r", 0x11},    {"R", 0x11},    {"rb", 0x01},  {"rB", 0x01},  {"w", 0x12},   {"W", 0x12},
      {"wb", 0x02},   {"a", 0x32},    {"A", 0x32},   {"ab", 0x22},  {"r+", 0x13},  {"r+b", 0x03},
      {"w+", 0x13},   {"w+b", 0x03},  {"a+", 0x33},  {"a+b", 0x23}, {"rt", 0x11},  {"", 0x11},
      {"x", 0x11},    {"+", 0x11},    {"bw", 0x11},
      // '+' counts only as the second character, 'b' as the second or third.
      {"rb+", 0x01},  {"wb+", 0x02},  {"r+xb", 0x13}, {"rxb", 0x01},
  };
  for (const ModeCase &c : cases) {
    SCOPED_TRACE(c.mode);
    uint8_t flags = 0xEE;
    ParseOpenMode(c.mode, &flags);
    EXPECT_EQ(flags, c.flags);
  }
  uint8_t flags = 0;
  ParseOpenMode(nullptr, &flags);
  EXPECT_EQ(flags, 0x11);
}

class EFileTest : public testing_support::TempFolderTest {};

TEST_F(EFileTest, ModesDecideCreationAndWherePositionStarts) {
  const std::string hundred(100, '.');
  struct Case {
    const char *mode;
    bool exists;
    bool opens;
    std::string after;  // the file after writing "0123456789"; empty: no file
  } cases[] = {
      {"r", false, false, ""},
      {"rb", false, false, ""},
      // Writers never truncate: "w" overwrites from the start.
      {"w", true, true, "0123456789" + hundred.substr(10)},
      {"wb", false, true, "0123456789"},
      {"ab", true, true, hundred + "0123456789"},
      {"a", false, true, "0123456789"},
      {"r+b", false, true, "0123456789"},
      {"r+b", true, true, "0123456789" + hundred.substr(10)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << (c.exists ? " on an existing file" : " on a missing file"));
    fs::remove("f.dat");
    if (c.exists) Put("f.dat", hundred);
    int32_t file = FileOpen("f.dat", c.mode);
    EXPECT_EQ(file > 0, c.opens);
    if (file > 0) {
      EXPECT_EQ(FileWrite(file, "0123456789", 1, 10), 10);
    }
    FileClose(file);
    EXPECT_EQ(fs::exists("f.dat"), c.exists || c.opens);
    if (!c.after.empty()) {
      EXPECT_EQ(Get("f.dat"), c.after);
    }
  }
}

TEST_F(EFileTest, OpenLeavesCallersPathAloneAndIgnoresCase) {
  fs::create_directory("Data");
  Put("Data/Quote.DAT", "abc");
  char path[] = "data\\quote.dat";
  int32_t file = FileOpen(path, "rb");
  ASSERT_GT(file, 0);
  EXPECT_STREQ(path, "data\\quote.dat");
  char buffer[4] = {};
  EXPECT_EQ(FileRead(file, buffer, 1, 3), 3);
  EXPECT_STREQ(buffer, "abc");
  FileClose(file);

  // A file created through a mixed-case name keeps the caller's spelling.
  const char *created = "New.Dat";
  file = FileOpen(created, "wb");
  ASSERT_GT(file, 0);
  FileClose(file);
  EXPECT_TRUE(fs::exists("New.Dat"));
}

TEST_F(EFileTest, OpenRefusesMissingArguments) {
  Put("f.dat", "x");
  EXPECT_EQ(FileOpen(nullptr, "rb"), -1);
  EXPECT_EQ(FileOpen("", "rb"), -1);
  EXPECT_EQ(FileOpen("f.dat", nullptr), -1);
  EXPECT_EQ(FileOpen("missing\\f.dat", "wb"), -1);
}

TEST_F(EFileTest, ReadCountsBytesAndStopsAtTheEnd) {
  std::string content;
  for (int i = 0; i < 68; ++i) content.push_back(char('A' + i % 26));
  Put("f.dat", content);
  int32_t file = FileOpen("f.dat", "rb");
  ASSERT_GT(file, 0);
  char buffer[64];
  EXPECT_EQ(FileRead(file, buffer, 16, 3), 48);
  EXPECT_EQ(std::string(buffer, 48), content.substr(0, 48));
  EXPECT_EQ(FileRead(file, buffer, 16, 3), 20);  // 20 bytes remain, not whole items
  EXPECT_EQ(std::string(buffer, 20), content.substr(48));
  EXPECT_EQ(FileRead(file, buffer, 16, 3), 0);

  FileSeek(file, 0, 0);
  EXPECT_EQ(FileRead(file, nullptr, 1, 4), 0);
  EXPECT_EQ(FileRead(file, buffer, -1, 4), 0);
  EXPECT_EQ(FileRead(file, buffer, 4, -1), 0);
  EXPECT_EQ(FileRead(file, buffer, 0x10000, 0x10000), 0) << "size x count beyond 32 bits";
  EXPECT_EQ(FileSeek(file, 0, 1), 0) << "a refused read moves nothing";
  EXPECT_EQ(FileWrite(file, "x", 1, 1), 0) << "opened for reading only";
  FileClose(file);
  EXPECT_EQ(Get("f.dat"), content);
}

TEST_F(EFileTest, SeekSizeAndTruncate) {
  Put("f.dat", std::string(100, 'x'));
  int32_t file = FileOpen("f.dat", "r+b");
  ASSERT_GT(file, 0);
  EXPECT_EQ(FileSize(file), 100);
  struct Case {
    int32_t offset;
    int origin;
    int32_t position;  // -1: refused, position unchanged
  } cases[] = {
      {10, 0, 10}, {5, 1, 15}, {-10, 2, 90}, {20, 2, 120}, {-1, 0, -1},
      {-200, 2, -1}, {0, 3, -1}, {0, -1, -1}, {INT32_MAX, 0, INT32_MAX},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " from " << c.origin);
    int32_t before = FileSeek(file, 0, 1);
    EXPECT_EQ(FileSeek(file, c.offset, c.origin), c.position);
    if (c.position < 0) {
      EXPECT_EQ(FileSeek(file, 0, 1), before);
    }
  }

  // Seeking past the end and writing there lengthens the file.
  EXPECT_EQ(FileSeek(file, 110, 0), 110);
  EXPECT_EQ(FileWrite(file, "end", 1, 3), 3);
  EXPECT_EQ(FileSize(file), 113);

  EXPECT_EQ(FileTruncate(file, 40), 40);
  EXPECT_EQ(FileSize(file), 40);
  EXPECT_EQ(FileSeek(file, 0, 1), 40);
  EXPECT_EQ(FileTruncate(file, -1), -1);
  EXPECT_EQ(FileSize(file), 40);
  FileClose(file);
  EXPECT_EQ(fs::file_size("f.dat"), 40u);

  // A handle that may only read cannot end the file.
  file = FileOpen("f.dat", "rb");
  ASSERT_GT(file, 0);
  EXPECT_EQ(FileTruncate(file, 10), -1);
  FileClose(file);
  EXPECT_EQ(fs::file_size("f.dat"), 40u);
}

TEST_F(EFileTest, HandlesThatAreNotOpenFailQuietly) {
  Put("f.dat", "abc");
  int32_t closed = FileOpen("f.dat", "rb");
  ASSERT_GT(closed, 0);
  FileClose(closed);
  char buffer[4];
  for (int32_t handle : {-1, 0, INT32_MIN, closed}) {
    SCOPED_TRACE(handle);
    FileClose(handle);
    EXPECT_EQ(FileSeek(handle, 0, 0), -1);
    EXPECT_EQ(FileRead(handle, buffer, 1, 3), 0);
    EXPECT_EQ(FileWrite(handle, "abc", 1, 3), 0);
    EXPECT_EQ(FileSize(handle), -1);
    EXPECT_EQ(FileTruncate(handle, 0), -1);
  }
  EXPECT_EQ(Get("f.dat"), "abc");
}

TEST_F(EFileTest, MakeDirChainCreatesEveryMissingFolder) {
  struct Case {
    std::string path;
    std::string folder;  // must be a folder afterwards (POSIX, relative)
  } cases[] = {
      {"a\\b\\c", "a/b/c"},
      {"a\\b\\c", "a/b/c"},  // all there already
      {"a\\B\\d\\", "a/b/d"},  // existing folders are matched without regard to case
      {"x/y\\z", "x/y/z"},
      {".\\p\\..\\q\\r", "q/r"},
      {"C:" + root_ + "\\drive\\sub", "drive/sub"},
      {root_ + "/abs\\sub", "abs/sub"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_TRUE(MakeDirChain(c.path.c_str()));
    EXPECT_TRUE(fs::is_directory(c.folder));
  }
  EXPECT_FALSE(fs::exists("C:")) << "a drive prefix is the root, not a folder";
  EXPECT_FALSE(fs::exists("a/B")) << "no second spelling of an existing folder";
}

TEST_F(EFileTest, MakeDirChainReportsWhetherThePathExistsAtTheEnd) {
  Put("file", "x");
  EXPECT_FALSE(MakeDirChain("file"));
  EXPECT_FALSE(MakeDirChain("file\\sub"));
  EXPECT_FALSE(fs::exists("file/sub"));

  fs::create_directory("locked");
  fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec);
  if (access("locked", W_OK) != 0) {  // root may write anyway
    EXPECT_FALSE(MakeDirChain("locked\\inner\\deeper"));
    EXPECT_FALSE(fs::exists("locked/inner"));
  }
  fs::permissions("locked", fs::perms::owner_all);

  EXPECT_FALSE(MakeDirChain(nullptr));
  EXPECT_FALSE(MakeDirChain(""));

  std::string tooLong = "long\\";
  tooLong.append(1015, 'n');
  ASSERT_EQ(tooLong.size(), 1020u);
  EXPECT_FALSE(MakeDirChain(tooLong.c_str()));
  EXPECT_FALSE(fs::exists("long")) << "a refused path creates nothing";
}

TEST_F(EFileTest, MakeDirChainKeepsGbkCharactersWhole) {
  // The trail byte of this GBK character is 0x5C, the backslash.
  const std::string gbkName = "g\x81\x5Cx";
  std::string path = gbkName + "\\y";
  EXPECT_TRUE(MakeDirChain(path.c_str()));
  EXPECT_TRUE(fs::is_directory(gbkName + "/y"));
  EXPECT_FALSE(fs::exists("g\x81")) << "split inside a character";
}

}  // namespace
