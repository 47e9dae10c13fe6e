#include "platform/module.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::string WindowsForm(std::string path) {
  for (char &c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string ModulePath(HMODULE module) {
  char path[4096];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  return std::string(path, length);
}

TEST(LibraryName, WindowsNamesMapToSharedObjects) {
  const struct {
    const char *name, *file;
  } cases[] = {
      {"Tradebridge.dll", "libTradebridge.so"},
      {"KVLOGGER.DLL", "libKVLOGGER.so"},
      {"kvlogger", "libkvlogger.so"},
      {"a.b.Dll", "liba.b.so"},
      {"..\\cfg\\AcctBridge.dll", "../cfg/libAcctBridge.so"},
      {".\\x.dll", "./libx.so"},
      {"libz.so.1", "libz.so.1"},
      {".dll", ".dll"},
      // The second byte of a GBK character may be a backslash; it is no separator.
      {"\xB1\x5C\\y.dll", "\xB1\x5C/liby.so"},
  };
  for (const auto &c : cases) EXPECT_EQ(platform::LibraryFileName(c.name), c.file) << c.name;
}

// Copies of the system's zlib under names of our own, in a folder of the test.
class Loader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = testing_support::MakeTempFolder("kivo_module");
    ASSERT_FALSE(dir_.empty());
    HMODULE zlib = LoadLibraryA("z.dll");
    ASSERT_NE(zlib, nullptr) << "the system's zlib is needed";
    std::string source = ModulePath(zlib);
    for (char &c : source)
      if (c == '\\') c = '/';
    fs::create_directories(dir_ + "/Sub");
    fs::create_directories(dir_ + "/env");
    fs::copy_file(source, dir_ + "/libKvLoadA.so");
    fs::copy_file(source, dir_ + "/Sub/libKvLoadB.so");
    fs::copy_file(source, dir_ + "/env/libKvLoadEnv.so");
    FreeLibrary(zlib);
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  static std::string dir_;
};
std::string Loader::dir_;

TEST_F(Loader, SystemLibraryAndOnlyItsOwnExports) {
  // The system's own search goes by the exact name.
  HMODULE zlib = LoadLibraryA("z.dll");
  ASSERT_NE(zlib, nullptr);
  auto version = reinterpret_cast<const char *(*)()>(GetProcAddress(zlib, "zlibVersion"));
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version()[0], '1');
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(zlib, "malloc"), nullptr);  // exported by a library it uses
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(zlib, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetModuleHandleA("z.dll"), zlib);
  EXPECT_TRUE(FreeLibrary(zlib));
}

TEST_F(Loader, SearchFolderIsUsedAndNamesMatchWithoutCase) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("KvLoadA.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));

  platform::AddLibrarySearchDir(dir_);
  EXPECT_EQ(GetModuleHandleA("kvloada.dll"), nullptr);  // found, but not loaded yet
  HMODULE first = LoadLibraryA("KVLOADA.DLL");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ModulePath(first), WindowsForm(dir_ + "/libKvLoadA.so"));
  EXPECT_NE(GetProcAddress(first, "zlibVersion"), nullptr);

  // Each load takes a reference; the library stays until the last is freed.
  HMODULE second = LoadLibraryA("kvloada");
  EXPECT_EQ(second, first);
  EXPECT_EQ(GetModuleHandleA("KvLoadA.dll"), first);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleA("KvLoadA.dll"), first);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(GetModuleHandleA("KvLoadA.dll"), nullptr);
}

TEST_F(Loader, PathWithFoldersIsTakenFromTheCurrentFolder) {
  const fs::path saved = fs::current_path();
  fs::current_path(dir_);
  HMODULE module = LoadLibraryA(".\\SUB\\kvloadb.dll");
  HMODULE missing = LoadLibraryA("sub\\KvLoadA.dll");  // exists, but not in that folder
  fs::current_path(saved);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ModulePath(module), WindowsForm(dir_ + "/Sub/libKvLoadB.so"));
  EXPECT_EQ(missing, nullptr);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(Loader, EnvironmentListsFurtherFolders) {
  setenv("KIVO_LIBRARY_PATH", ("/nonexistent::" + dir_ + "/env").c_str(), 1);
  HMODULE module = LoadLibraryA("KvLoadEnv.dll");
  unsetenv("KIVO_LIBRARY_PATH");
  ASSERT_NE(module, nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(LoadLibraryA("KvLoadEnv.dll"), nullptr);
}

TEST(ModuleHandles, UnknownHandlesFailQuietly) {
  auto bogus = reinterpret_cast<HMODULE>(uintptr_t(0x1230));
  char path[16];
  EXPECT_FALSE(FreeLibrary(bogus));
  EXPECT_FALSE(FreeLibrary(nullptr));
  EXPECT_EQ(GetProcAddress(bogus, "x"), nullptr);
  EXPECT_EQ(GetModuleFileNameA(bogus, path, sizeof path), 0u);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(GetModuleHandleA("NoSuchLibrary.dll"), nullptr);
}

TEST(ModuleFileName, ProgramPathInWindowsFormAndTruncation) {
  char exe[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::string full = WindowsForm(exe);
  ASSERT_EQ(ModulePath(nullptr), full);
  EXPECT_EQ(ModulePath(GetModuleHandleA(nullptr)), full);
  EXPECT_EQ(full.find('/'), std::string::npos);

  const DWORD length = DWORD(full.size());
  const struct {
    DWORD size, result;
    std::string text;
    DWORD error;
  } cases[] = {
      {length + 1, length, full, 0},
      {length, length, full.substr(0, length - 1), ERROR_INSUFFICIENT_BUFFER},
      {2, 2, full.substr(0, 1), ERROR_INSUFFICIENT_BUFFER},
      {1, 1, "", ERROR_INSUFFICIENT_BUFFER},
      {0, 0, "", ERROR_INSUFFICIENT_BUFFER},
  };
  for (const auto &c : cases) {
    std::vector<char> buffer(length + 2, '#');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer.data(), c.size), c.result) << c.size;
    EXPECT_EQ(GetLastError(), c.error) << c.size;
    if (c.size > 0) {
      EXPECT_EQ(std::string(buffer.data()), c.text) << c.size;
    }
    EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer at size " << c.size;
  }
}

}  // namespace
