#include "platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const char kZones[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const char kInternet[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Each test gets its own store file.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing_support::MakeTempFolder("kivo-reg");
    ASSERT_FALSE(root_.empty());
    file_ = root_ + "/store/registry.ini";
    setenv("KIVO_REGISTRY_FILE", file_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("KIVO_REGISTRY_FILE");
    fs::remove_all(root_);
  }
  static std::string Get(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string root_, file_;
};

TEST_F(RegistryTest, SeededTimeZonesReadLikeTheRegistry) {
  HKEY key;
  std::string china = kZones;
  china += "\\china standard time";
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, china.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(key, "TZI", nullptr, &type, nullptr, &size), ERROR_SUCCESS);  // size only
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 44u);
  BYTE tzi[64];
  size = 43;
  EXPECT_EQ(RegQueryValueExA(key, "TZI", nullptr, &type, tzi, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 44u);
  size = sizeof tzi;
  ASSERT_EQ(RegQueryValueExA(key, "tzi", nullptr, &type, tzi, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 44u);
  int32_t bias;
  memcpy(&bias, tzi, 4);
  EXPECT_EQ(bias, -480);
  EXPECT_EQ(std::vector<BYTE>(tzi + 12, tzi + 44), std::vector<BYTE>(32, 0));  // no daylight saving

  struct Text {
    const char *name;
    std::string expected;
  } texts[] = {
      {"Std", "中国标准时间"},
      {"Display", "(UTC+08:00) 北京，重庆，香港特别行政区，乌鲁木齐"},
  };
  for (const Text &t : texts) {
    char buffer[128];
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, t.name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, t.expected.size() + 1);  // GBK bytes and the NUL
    EXPECT_EQ(std::string(buffer), t.expected);
  }
  EXPECT_EQ(RegQueryValueExA(key, "Nothing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExA(key, "Std", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

  HKEY missing = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing, nullptr);
  EXPECT_FALSE(fs::exists(file_));  // reading writes nothing
}

TEST_F(RegistryTest, EnumeratesSubkeysInOrder) {
  HKEY zones;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kZones, 0, KEY_READ, &zones), ERROR_SUCCESS);
  std::vector<std::string> names;
  char name[64];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    LSTATUS status = RegEnumKeyExA(zones, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(size, strlen(name));
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"China Standard Time", "Eastern Standard Time", "GMT Standard Time",
                                             "Pacific Standard Time", "Tokyo Standard Time", "UTC"}));
  DWORD small = 5;
  EXPECT_EQ(RegEnumKeyExA(zones, 0, name, &small, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  RegCloseKey(zones);
}

TEST_F(RegistryTest, ProxySettingsAreWrittenThroughAndReadBack) {
  HKEY key;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kInternet, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  DWORD enable = 1;
  ASSERT_EQ(RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<BYTE *>(&enable), 4), ERROR_SUCCESS);
  const char server[] = "127.0.0.1:8080";
  ASSERT_EQ(RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE *>(server), sizeof server),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(fs::exists(file_));

  // Another spelling of the path, as the reader has it.
  std::string lower = "software\\microsoft\\windows\\currentversion\\internet settings";
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, lower.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type, value = 0, size = sizeof value;
  ASSERT_EQ(RegQueryValueExA(key, "proxyenable", nullptr, &type, reinterpret_cast<BYTE *>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 1u);
  char text[256];
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key, "ProxyServer", nullptr, &type, reinterpret_cast<BYTE *>(text), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, server);
  EXPECT_EQ(size, sizeof server);
  RegCloseKey(key);

  // The file is the store: an edit made to it is read, and the seeded
  // zones went in with the first write.
  std::string stored = Get(file_);
  EXPECT_NE(stored.find("\"ProxyEnable\"=dword:00000001"), std::string::npos);
  EXPECT_NE(stored.find("China Standard Time]"), std::string::npos);
  std::string edited = stored;
  edited.replace(edited.find("dword:00000001"), 14, "dword:00000000");
  std::ofstream(file_ + ".tmp") << edited;
  fs::rename(file_ + ".tmp", file_);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kInternet, 0, KEY_READ, &key), ERROR_SUCCESS);
  size = sizeof value;
  ASSERT_EQ(RegQueryValueExA(key, "ProxyEnable", nullptr, &type, reinterpret_cast<BYTE *>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 0u);
  RegCloseKey(key);

  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kInternet, 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
}

TEST_F(RegistryTest, ValuesSurviveTheTextForm) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kivo\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  struct Case {
    const char *name;
    DWORD type;
    std::string data;
  } cases[] = {
      {"quotes", REG_SZ, std::string("a \"b\" \\c\\ 乗\n") + '\0'},  // 0x81 0x5C in the middle
      {"binary", REG_BINARY, std::string("\0\x01\xFF=\"", 5)},
      {"", REG_SZ, std::string("default", 8)},
      {"multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
  };
  for (const Case &c : cases)
    ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE *>(c.data.data()), DWORD(c.data.size())),
              ERROR_SUCCESS);
  RegCloseKey(key);
  // Re-read from the file by dropping the loaded copy's signature.
  std::string stored = Get(file_);
  std::ofstream(file_ + ".tmp") << stored << "\n";
  fs::rename(file_ + ".tmp", file_);

  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\KIVO\\TEST", 0, KEY_READ, &key), ERROR_SUCCESS);
  for (const Case &c : cases) {
    char buffer[64];
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size), ERROR_SUCCESS)
        << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(std::string(buffer, size), c.data) << c.name;
  }
  RegCloseKey(key);
}

}  // namespace
