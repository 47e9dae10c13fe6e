#include "testing/temp_folder.h"
#include "platform/fileapi.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FileApiTest : public testing_support::TempFolderTest {};

TEST_F(FileApiTest, DispositionsCreateTruncateAndReport) {
  struct Case {
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD error;
    uintmax_t sizeAfter;  // -1: no file afterwards
  } cases[] = {
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, 5},
      {CREATE_NEW, false, true, ERROR_SUCCESS, 0},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 0},
      {CREATE_ALWAYS, false, true, ERROR_SUCCESS, 0},
      {OPEN_EXISTING, true, true, ERROR_SUCCESS, 5},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, uintmax_t(-1)},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 5},
      {OPEN_ALWAYS, false, true, ERROR_SUCCESS, 0},
      {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, 0},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, uintmax_t(-1)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << (c.exists ? " on a file" : " on nothing"));
    fs::remove("f.dat");
    fs::remove("F.DAT");
    if (c.exists) Put("f.dat", "hello");
    SetLastError(12345);
    HANDLE h = CreateFileA("F.DAT", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, c.disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
    EXPECT_EQ(GetLastError(), c.error);
    if (h != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(h));
    }
    // An existing file is used under its own name; a created one gets
    // the caller's spelling.
    std::string name = c.exists ? "f.dat" : "F.DAT";
    std::error_code ec;
    EXPECT_EQ(fs::file_size(name, ec), c.sizeAfter);
    EXPECT_EQ(fs::exists("f.dat") + fs::exists("F.DAT"), c.sizeAfter != uintmax_t(-1) ? 1 : 0);
  }

  // Truncating needs write access; folders open only for backup semantics.
  fs::create_directory("dir");
  EXPECT_EQ(CreateFileA("f.dat", GENERIC_READ, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateFileA("dir", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE dir = CreateFileA("DIR", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_NE(dir, INVALID_HANDLE_VALUE);
  CloseHandle(dir);
}

TEST_F(FileApiTest, ReadWriteSeekAndSize) {
  HANDLE h = CreateFileA("data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done = 99;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &done, nullptr));
  EXPECT_EQ(done, 10u);

  struct Seek {
    LONG distance;
    DWORD method;
    DWORD expected;
    DWORD error;
  } seeks[] = {
      {0, FILE_BEGIN, 0, ERROR_SUCCESS},         {4, FILE_CURRENT, 4, ERROR_SUCCESS},
      {-2, FILE_CURRENT, 2, ERROR_SUCCESS},      {-3, FILE_END, 7, ERROR_SUCCESS},
      {-8, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK},
      {20, FILE_BEGIN, 20, ERROR_SUCCESS},  // past the end is allowed
      {0, 7, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER},
  };
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  for (const Seek &s : seeks) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(SetFilePointer(h, s.distance, nullptr, s.method), s.expected) << s.distance;
    EXPECT_EQ(GetLastError(), s.error) << s.distance;
  }

  char buffer[16] = {};
  SetFilePointer(h, 3, nullptr, FILE_BEGIN);
  ASSERT_TRUE(ReadFile(h, buffer, 4, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "3456");
  ASSERT_TRUE(ReadFile(h, buffer, 16, &done, nullptr));  // short read
  EXPECT_EQ(std::string(buffer, done), "789");
  ASSERT_TRUE(ReadFile(h, buffer, 16, &done, nullptr));  // at the end: success, nothing read
  EXPECT_EQ(done, 0u);
  int overlapped = 0;
  EXPECT_FALSE(ReadFile(h, buffer, 1, &done, &overlapped));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  SetFilePointer(h, 6, nullptr, FILE_BEGIN);
  ASSERT_TRUE(SetEndOfFile(h));
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(h, &high), 6u);
  EXPECT_EQ(high, 0u);

  // Beyond 4 GB the high part carries the rest (the file stays sparse).
  LONG moveHigh = 1;
  EXPECT_EQ(SetFilePointer(h, 16, &moveHigh, FILE_BEGIN), 16u);
  EXPECT_EQ(moveHigh, 1);
  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(GetFileSize(h, &high), 16u);
  EXPECT_EQ(high, 1u);
  LARGE_INTEGER size;
  ASSERT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size.QuadPart, 0x100000010LL);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);  // no room in 32 bits
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // A real position of 0xFFFFFFFF clears the last error so the caller can tell.
  moveHigh = 0;
  SetLastError(ERROR_HANDLE_EOF);
  EXPECT_EQ(SetFilePointer(h, LONG(0xFFFFFFFFu), &moveHigh, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  LARGE_INTEGER to, now;
  to.QuadPart = -16;
  ASSERT_TRUE(SetFilePointerEx(h, to, &now, FILE_END));
  EXPECT_EQ(now.QuadPart, 0x100000000LL);
  ASSERT_TRUE(FlushFileBuffers(h));
  CloseHandle(h);

  h = CreateFileA("data.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(ReadFile(h, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(h);
  EXPECT_FALSE(ReadFile(h, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileApiTest, FileTimesRoundTrip) {
  timespec epoch{0, 0};
  FILETIME ft = platform::FileTimeFromTimespec(epoch);
  EXPECT_EQ((int64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime, kFileTimeUnixEpoch);
  timespec back = platform::TimespecFromFileTime(ft);
  EXPECT_EQ(back.tv_sec, 0);
  EXPECT_EQ(back.tv_nsec, 0);

  HANDLE h = CreateFileA("t.dat", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  timespec when{1700000000, 123456700};  // 100 ns is FILETIME's unit
  FILETIME write = platform::FileTimeFromTimespec(when);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &write));
  FILETIME creation, access, got;
  ASSERT_TRUE(GetFileTime(h, &creation, &access, &got));
  EXPECT_EQ(got.dwLowDateTime, write.dwLowDateTime);
  EXPECT_EQ(got.dwHighDateTime, write.dwHighDateTime);
  CloseHandle(h);
  struct stat st;
  ASSERT_EQ(stat("t.dat", &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, when.tv_sec);
  EXPECT_EQ(st.st_mtim.tv_nsec, when.tv_nsec);
}

std::vector<std::string> FindAll(const char *pattern, DWORD *error) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  SetLastError(0);
  HANDLE h = FindFirstFileA(pattern, &data);
  if (h == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return names;
  }
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileA(h, &data));
  *error = GetLastError();
  EXPECT_TRUE(FindClose(h));
  return names;
}

TEST_F(FileApiTest, FindMatchesWildcardsWithoutRegardToCase) {
  Put("a.txt", "1");
  Put("B.TXT", "22");
  Put("c.dat", "333");
  Put("noext", "");
  Put("\x81G.dat", "");  // one GBK character before the dot
  fs::create_directories("Sub");
  using Names = std::vector<std::string>;
  struct Case {
    const char *pattern;
    Names names;
    DWORD error;
  } cases[] = {
      {"*.txt", {"a.txt", "B.TXT"}, ERROR_NO_MORE_FILES},
      {"*.*", {".", "..", "a.txt", "B.TXT", "c.dat", "noext", "Sub", "\x81G.dat"}, ERROR_NO_MORE_FILES},
      {"?.DAT", {"c.dat", "\x81G.dat"}, ERROR_NO_MORE_FILES},
      {"b*", {"B.TXT"}, ERROR_NO_MORE_FILES},
      {".\\SUB\\*", {".", ".."}, ERROR_NO_MORE_FILES},
      {"*e*t", {"noext"}, ERROR_NO_MORE_FILES},
      {"A.TXT", {"a.txt"}, ERROR_NO_MORE_FILES},
      {"zz*", {}, ERROR_FILE_NOT_FOUND},
      {"nofolder\\*", {}, ERROR_PATH_NOT_FOUND},
  };
  for (const Case &c : cases) {
    DWORD error = 0;
    EXPECT_EQ(FindAll(c.pattern, &error), c.names) << c.pattern;
    EXPECT_EQ(error, c.error) << c.pattern;
  }

  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("c.*", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 3u);
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_STREQ(data.cAlternateFileName, "");
  FindClose(h);
  h = FindFirstFileA("sub", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "Sub");
  EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  FindClose(h);
}

TEST_F(FileApiTest, CopyMoveDeleteAndFolders) {
  Put("src.txt", "source");
  Put("old.txt", "old");

  EXPECT_FALSE(CopyFileA("SRC.TXT", "old.txt", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_TRUE(CopyFileA("SRC.TXT", "OLD.TXT", FALSE));  // replaces old.txt, not a second file
  EXPECT_EQ(Get("old.txt"), "source");
  EXPECT_FALSE(fs::exists("OLD.TXT"));
  EXPECT_FALSE(CopyFileA("src.txt", "Src.txt", FALSE));  // onto itself
  EXPECT_EQ(Get("src.txt"), "source");
  EXPECT_FALSE(CopyFileA("none.txt", "x.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  EXPECT_FALSE(MoveFileA("src.txt", "old.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  Put("src.txt", "moved");
  EXPECT_TRUE(MoveFileExA("src.txt", "OLD.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(Get("old.txt"), "moved");
  EXPECT_FALSE(fs::exists("src.txt"));
  EXPECT_TRUE(MoveFileA("old.txt", "Old.TXT"));  // a change of case only
  EXPECT_TRUE(fs::exists("Old.TXT"));
  EXPECT_FALSE(fs::exists("old.txt"));

  // Read-only files refuse writing and deleting, even to root.
  ASSERT_TRUE(SetFileAttributesA("old.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("old.txt"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(CreateFileA("old.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileA("old.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetFileAttributesA("old.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("old.txt"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(DeleteFileA("OLD.TXT"));
  EXPECT_FALSE(DeleteFileA("old.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  EXPECT_TRUE(CreateDirectoryA("Data", nullptr));
  EXPECT_FALSE(CreateDirectoryA("DATA", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryA("no\\such", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA("data\\"), FILE_ATTRIBUTE_DIRECTORY);
  Put("Data/f", "");
  EXPECT_FALSE(RemoveDirectoryA("data"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(DeleteFileA("data"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(DeleteFileA("data\\F"));
  EXPECT_TRUE(RemoveDirectoryA("DATA"));
  EXPECT_FALSE(fs::exists("Data"));

  WIN32_FILE_ATTRIBUTE_DATA info;
  Put("sized", "12345");
  ASSERT_TRUE(GetFileAttributesExA("SIZED", GetFileExInfoStandard, &info));
  EXPECT_EQ(info.nFileSizeLow, 5u);
}

TEST_F(FileApiTest, DiskSpaceAgreesBetweenTheTwoCalls) {
  ULARGE_INTEGER available, total, totalFree;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &totalFree));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(available.QuadPart, totalFree.QuadPart);
  DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
  ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters));
  uint64_t free = uint64_t(freeClusters) * sectorsPerCluster * bytesPerSector;
  if (freeClusters != 0xFFFFFFFFu) {
    // Other processes write meanwhile; a few MB either way is agreement.
    EXPECT_NEAR(double(free), double(available.QuadPart), 64.0 * 1024 * 1024);
  }
  ASSERT_TRUE(GetDiskFreeSpaceExA(nullptr, &available, nullptr, nullptr));
  EXPECT_FALSE(GetDiskFreeSpaceExA("nofolder\\x", &available, nullptr, nullptr));
}

}  // namespace
