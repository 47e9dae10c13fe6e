#include "market/utildata.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "core/emem.h"
#include "market/calendar.h"
#include "platform/fileapi.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "testing/fake_clock.h"
#include "testing/msgbox_recorder.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::string> Env(const char *name) {
  const char *value = getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void RestoreEnv(const char *name, const std::optional<std::string> &value) {
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
}

std::string Replace(std::string text, const std::string &token, const std::string &by) {
  for (size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + by.size()))
    text.replace(at, token.size(), by);
  return text;
}

// A program folder "prog" beside the shared configuration folder "CFG" in a
// fresh temporary folder, with the user's data folder in "xdg". The working
// folder is "prog", as the start-up object leaves it.
class UtilDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    root_ = testing_support::MakeTempFolder("kivo-util");
    ASSERT_FALSE(root_.empty());
    fs::create_directories(root_ / "prog");
    fs::create_directories(root_ / "CFG");
    Put(root_ / "afile", "a file where a folder would have to be");
    Put(root_ / "prog" / "blocked", "the same beside the program");
    Put(root_ / "CFG" / "kvpage0.ppg", "page");
    fs::current_path(root_ / "prog");
    oldDataHome_ = Env("XDG_DATA_HOME");
    UseDataFolder(true);
    MaxDataRecords = kDefaultMaxDataRecords;
  }
  void TearDown() override {
    fs::current_path(old_);
    RestoreEnv("XDG_DATA_HOME", oldDataHome_);
    fs::remove_all(root_);
  }

  // A data folder that can be created, or one under a plain file that can't.
  void UseDataFolder(bool usable) { setenv("XDG_DATA_HOME", (root_ / (usable ? "xdg" : "afile/xdg")).c_str(), 1); }

  std::string Win(const fs::path &p) const { return platform::ToWindowsPath(p.string()); }
  // "{root}" and "{xdg}" in Windows form.
  std::string Expand(const std::string &text) const {
    return Replace(Replace(text, "{root}", Win(root_)), "{xdg}", Win(root_ / "xdg"));
  }

  std::unique_ptr<TUtilData> Start(void (*loadDisplaySettings)(int) = nullptr) {
    program_ = Win(root_ / "prog" / "kivon");
    TUtilDataSetup setup;
    setup.programFile = program_.c_str();
    setup.loadDisplaySettings = loadDisplaySettings;
    return std::make_unique<TUtilData>(setup);
  }

  // The per-user folder at a place the test knows.
  void ConfigureUserFolder() {
    Put(root_ / "CFG" / "UserPath.INI", "[Path]\r\nUserPath=" + Win(root_ / "user") + "\r\n");
  }
  fs::path UserFolder() const { return root_ / "user"; }

  static void Put(const fs::path &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }
  static std::string Get(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static std::string Read(const char *section, const char *key, const fs::path &file) {
    char value[300];
    GetPrivateProfileStringA(section, key, "?", value, sizeof value, platform::ToWindowsPath(file.string()).c_str());
    return value;
  }

  fs::path old_, root_;
  std::optional<std::string> oldDataHome_;
  std::string program_;
  MessageBoxRecorder boxes_;  // a stray box is recorded, never shown
};

TEST_F(UtilDataTest, UserFolderRule) {
  struct Case {
    const char *name;
    const char *configured;  // null: no UserPath.INI at all
    bool dataFolder;
    const char *folder;
    bool writtenBack;
  } cases[] = {
      {"not configured", nullptr, true, "{xdg}\\kivo\\", false},
      {"empty", "", true, "{xdg}\\kivo\\", false},
      {"writable, no backslash", "{root}\\quotes", true, "{root}\\quotes\\", false},
      {"writable, relative", "..\\mine\\", true, "..\\mine\\", false},
      {"missing chain is made", "{root}\\a\\b\\c", true, "{root}\\a\\b\\c\\", false},
      {"unwritable", "{root}\\afile\\Data\\Mine", true, "{xdg}\\kivo\\Mine\\", true},
      {"unwritable, backslashes at the end", "{root}\\afile\\Mine\\\\\\", true, "{xdg}\\kivo\\Mine\\", true},
      {"unwritable, one name only", "blocked", true, "{xdg}\\kivo\\", true},
      // The last byte is the second half of a GBK character, no separator.
      {"unwritable, GBK name", "{root}\\afile\\\xB0\x5C", true, "{xdg}\\kivo\\\xB0\x5C\\", true},
      {"unwritable, no data folder", "{root}\\afile\\Mine", false, "..\\cfg\\user\\Mine\\", true},
      {"not configured, no data folder", nullptr, false, "..\\cfg\\user\\", false},
  };
  const fs::path ini = root_ / "CFG" / "UserPath.INI";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    UseDataFolder(c.dataFolder);
    fs::remove(ini);
    std::string before;
    if (c.configured) {
      before = "[Path]\r\nUserPath=" + Expand(c.configured) + "\r\n";
      Put(ini, before);
    }
    char folder[MAX_PATH];
    SettleUserDataPath(folder);
    EXPECT_EQ(folder, Expand(c.folder));
    EXPECT_TRUE(fs::is_directory(platform::ResolvePath(folder)));
    if (c.writtenBack) {
      EXPECT_EQ(Read("Path", "UserPath", ini), Expand(c.folder));
    } else {
      EXPECT_EQ(fs::exists(ini), c.configured != nullptr);
      if (c.configured) EXPECT_EQ(Get(ini), before);
    }
    // The write test leaves nothing behind.
    EXPECT_FALSE(fs::exists(platform::ResolvePath((std::string(folder) + "___wt___.dat").c_str())));
  }
}

TEST_F(UtilDataTest, OverlongConfiguredFolderFallsBack) {
  Put(root_ / "CFG" / "UserPath.INI", "[Path]\r\nUserPath=" + std::string(300, 'x') + "\r\n");
  char folder[MAX_PATH];
  SettleUserDataPath(folder);
  EXPECT_EQ(folder, Expand("{xdg}\\kivo\\"));
  EXPECT_EQ(Read("Path", "UserPath", root_ / "CFG" / "UserPath.INI"), Expand("{xdg}\\kivo\\"));
}

TEST_F(UtilDataTest, StartUpSettlesTheProcessWideValues) {
  struct Seen {
    int theme = -1;
    int32_t maxRecords = 0;
    std::string folder;
    int calls = 0;
  };
  static Seen seen;
  seen = Seen{};
  ConfigureUserFolder();
  fs::create_directories(UserFolder());
  Put(UserFolder() / "SETTING.INI", "[Parameter]\r\nLastTheme=3\r\n");
  Put(root_ / "CFG" / "SETTING.INI", "[Parameter]\r\nMaxDataRecords=2000\r\nF10Mode=1\r\nOnlineSrvMode=2\r\n");
  Put(root_ / "CFG" / "Trading.ini", "[Option]\r\nGrapPriceMode=1\r\n");
  Put(root_ / "CFG" / "hldy.ini", "[JJR]\r\n1=20240101\r\n");
  ScopedFakeClock clock(SYSTEMTIME{2024, 1, 1, 15, 23, 59, 30, 0});
  fs::current_path(old_);  // the start-up moves to the program's folder itself

  auto startUp = Start([](int theme) {
    seen.theme = theme;
    seen.maxRecords = MaxDataRecords;
    seen.folder = UserDataPath;
    ++seen.calls;
  });

  EXPECT_EQ(fs::current_path(), fs::canonical(root_ / "prog"));
  EXPECT_EQ(std::string(UserDataPath), Win(UserFolder()) + "\\");
  EXPECT_EQ(CurrentUtcTime, MakePackedDateTime(2024, 1, 15, 23, 59));
  EXPECT_EQ(CurrentTheme, 3);
  EXPECT_EQ(MaxDataRecords, 2000);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.theme, 3);
  EXPECT_EQ(seen.maxRecords, 2000);  // read before the display settings
  EXPECT_EQ(seen.folder, Win(UserFolder()) + "\\");
  EXPECT_EQ(TradingCalendar.holidays[0], 20240101);
  EXPECT_EQ(F10Mode, 1);
  EXPECT_EQ(OnlineSrvMode, 2);
  EXPECT_EQ(GrapPriceMode, 1);
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(UtilDataTest, SwitchesDefaultToZero) {
  F10Mode = OnlineSrvMode = GrapPriceMode = 7;
  auto startUp = Start();
  EXPECT_EQ(F10Mode, 0);
  EXPECT_EQ(OnlineSrvMode, 0);
  EXPECT_EQ(GrapPriceMode, 0);
  EXPECT_EQ(CurrentTheme, 0);
}

TEST_F(UtilDataTest, FirstRunCopiesAndSeedsTheSettings) {
  ConfigureUserFolder();
  Put(root_ / "CFG" / "SETTING.INI", "[Parameter]\r\nShared=1\r\n");
  Put(root_ / "CFG" / "clrfont.ini", "[Color0]\r\nCOLOR01=255\r\n");
  Put(root_ / "CFG" / "defui.ini", "[UI]\r\nBSZoom1=6\r\n");
  auto startUp = Start();

  const fs::path settings = UserFolder() / "SETTING.INI";
  EXPECT_EQ(Read("Parameter", "Shared", settings), "1");
  EXPECT_EQ(Get(UserFolder() / "clrfont.ini"), Get(root_ / "CFG" / "clrfont.ini"));
  EXPECT_EQ(Get(UserFolder() / "defui.ini"), Get(root_ / "CFG" / "defui.ini"));

  struct Scheme {
    const char *section, *lines;
  } schemes[] = {
      {"TableDef1",
       "Name=期货栏目|ver=1|Count=19|Id=1,6,24,25,26,28,29,7,10,8,30,27,3,4,5,2,11,9,0|"
       "ColWidth=9,7,5,7,7,5,5,8,6,7,6,7,7,7,7,7,5,8,4|FixedCol=0|"},
      {"TableDef10",
       "Name=中金所|ver=1|Count=19|Id=1,6,24,25,26,28,29,7,10,8,30,27,3,4,5,2,11,9,0|"
       "ColWidth=9,7,5,7,7,5,5,9,6,9,6,7,7,7,7,7,5,8,4|FixedCol=0|"},
      {"TableDef11",
       "Name=沪深300|ver=1|Count=18|Id=0,9,1,58,57,6,11,45,7,3,4,5,10,22,23,47,51,56|"
       "ColWidth=4,7,9,6,6,7,6,7,9,7,7,7,6,8,8,8,8,8|FixedCol=0|"},
  };
  for (const Scheme &scheme : schemes) {
    char lines[1024];
    const DWORD n = GetPrivateProfileSectionA(scheme.section, lines, sizeof lines, Win(settings).c_str());
    std::string joined;
    for (DWORD i = 0; i < n; ++i) joined += lines[i] ? lines[i] : '|';
    EXPECT_EQ(joined, scheme.lines) << scheme.section;
  }
}

TEST_F(UtilDataTest, ExistingUserSettingsAreKept) {
  ConfigureUserFolder();
  fs::create_directories(UserFolder());
  Put(root_ / "CFG" / "SETTING.INI", "[Parameter]\r\nShared=1\r\n");
  Put(root_ / "CFG" / "clrfont.ini", "[Color0]\r\nCOLOR01=255\r\n");
  const std::string seeded = "[TableDef1]\r\nName=Mine\r\n[TableDef10]\r\nver=1\r\n";
  Put(UserFolder() / "SETTING.INI", seeded);
  Put(UserFolder() / "clrfont.ini", "mine");
  Put(UserFolder() / "blocks.ini", "[FileInfo]\r\nVersion=1\r\n[Mine]\r\n");
  auto startUp = Start();
  EXPECT_EQ(Get(UserFolder() / "SETTING.INI"), seeded);
  EXPECT_EQ(Get(UserFolder() / "clrfont.ini"), "mine");
  EXPECT_EQ(Get(UserFolder() / "blocks.ini"), "[FileInfo]\r\nVersion=1\r\n[Mine]\r\n");
  EXPECT_FALSE(fs::exists(UserFolder() / "defui.ini"));  // nothing to copy from
}

TEST_F(UtilDataTest, UnversionedSchemesAreOverwritten) {
  ConfigureUserFolder();
  fs::create_directories(UserFolder());
  Put(UserFolder() / "SETTING.INI", "[TableDef1]\r\nName=Mine\r\nCount=3\r\n[TableDef10]\r\nver=0\r\n");
  auto startUp = Start();
  EXPECT_EQ(Read("TableDef1", "Name", UserFolder() / "SETTING.INI"), "期货栏目");
  EXPECT_EQ(Read("TableDef1", "Count", UserFolder() / "SETTING.INI"), "19");
  EXPECT_EQ(Read("TableDef10", "ver", UserFolder() / "SETTING.INI"), "1");
}

TEST_F(UtilDataTest, NewBlockFileIsExactly37Bytes) {
  ConfigureUserFolder();
  auto startUp = Start();
  const std::string blocks = Get(UserFolder() / "blocks.ini");
  EXPECT_EQ(blocks.size(), 37u);
  EXPECT_EQ(blocks, "[FileInfo]\r\nVersion=1\r\n\r\n[我的板块]\r\n");
}

TEST_F(UtilDataTest, LastPagePointerIsRepaired) {
  const std::string systemPage = std::string("..\\cfg\\kvpage0.ppg") + std::string(260 - 18, '\0');
  auto record = [](const std::string &path) { return path + std::string(260 - path.size(), '\0'); };
  Put(root_ / "CFG" / "mine.ppg", "page");
  struct Case {
    const char *name;
    std::optional<std::string> stored;
    bool systemPageExists;
    bool reset;
  } cases[] = {
      {"missing", std::nullopt, true, true},
      {"names an existing page", record("..\\CFG\\MINE.PPG"), true, false},
      {"names a deleted page", record("..\\CFG\\gone.ppg"), true, true},
      {"shorter than a record", std::string("..\\CFG\\mine.ppg"), true, true},
      {"empty", record(""), true, true},
      {"missing, no system page", std::nullopt, false, true},
      {"names an existing page, no system page", record("..\\CFG\\mine.ppg"), false, false},
  };
  ConfigureUserFolder();
  fs::create_directories(UserFolder());
  const fs::path lastPage = UserFolder() / "LP3.DAT";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(lastPage);
    if (c.stored) Put(lastPage, *c.stored);
    if (c.systemPageExists)
      Put(root_ / "CFG" / "kvpage0.ppg", "page");
    else
      fs::remove(root_ / "CFG" / "kvpage0.ppg");
    boxes_.Clear();

    auto startUp = Start();

    EXPECT_EQ(Get(lastPage), c.reset ? systemPage : *c.stored);
    const bool warned = c.reset && !c.systemPageExists;
    ASSERT_EQ(boxes_.Count(), warned ? 1u : 0u);
    if (warned) {
      EXPECT_EQ(boxes_.Calls()[0].text, "文件 Kvpage0.ppg 不存在，页面无法正常显示。  ");
      EXPECT_EQ(boxes_.Calls()[0].caption, "错误");
      EXPECT_EQ(boxes_.Calls()[0].type, MB_OK | MB_ICONERROR | MB_TOPMOST);
    }
  }
}

TEST_F(UtilDataTest, MaxDataRecordsIsReadFromTheSharedSettings) {
  struct Case {
    const char *value;  // null: no shared settings file
    int32_t expected;
  } cases[] = {
      {nullptr, 15000}, {"2000", 2000}, {"0", 15000}, {"-5", 15000}, {"abc", 15000}, {"99999999", 1000000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value ? c.value : "no file");
    fs::remove(root_ / "CFG" / "SETTING.INI");
    if (c.value) Put(root_ / "CFG" / "SETTING.INI", std::string("[Parameter]\r\nMaxDataRecords=") + c.value + "\r\n");
    auto startUp = Start();
    EXPECT_EQ(MaxDataRecords, c.expected);
  }
}

TEST_F(UtilDataTest, SharedBarBufferIsAllocatedOnceAndRetriedAfterFailure) {
  Start().reset();  // ending a start-up object drops a buffer earlier tests left behind
  auto startUp = Start();
  ASSERT_EQ(MaxDataRecords, 15000);

  SetMallocRefusal([](int32_t) { return true; });
  EXPECT_EQ(GetSharedBarBuffer(), nullptr);
  SetMallocRefusal(nullptr);

  void *buffer = GetSharedBarBuffer();
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(MSize(buffer), 600100);
  EXPECT_EQ(GetSharedBarBuffer(), buffer);
  startUp.reset();  // frees it; the sanitizer's leak check would see otherwise
}

}  // namespace
