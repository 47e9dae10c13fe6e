#include "shell/entry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>

#include "platform/fileapi.h"
#include "platform/path.h"
#include "testing/msgbox_recorder.h"
#include "testing/shell_recorder.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class EntryTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    programPath_ = platform::ToWindowsPath(root_) + "\\kivon";
  }
  // Services that answer from the test's own fields.
  TEntryServices Services() {
    TEntryServices s = DefaultEntryServices();
    s.moduleFileName = [this](std::string &path) {
      path = programPath_;
      return !programPath_.empty();
    };
    s.freeSpace = [this](const char *folder, uint64_t &bytes) {
      queried_.push_back(folder);
      if (freeBytes_ < 0) return false;
      bytes = uint64_t(freeBytes_);
      return true;
    };
    s.versionInfo = [this](const char *, FileVersionWords &v) {
      ++versionReads_;
      v = version_;
      return versionReadable_;
    };
    s.localTime = [this] { return today_; };
    return s;
  }
  static SYSTEMTIME Day(int y, int m, int d) {
    SYSTEMTIME t{};
    t.wYear = WORD(y);
    t.wMonth = WORD(m);
    t.wDay = WORD(d);
    t.wHour = 15;
    return t;
  }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto &e : fs::directory_iterator(root_)) names.insert(e.path().filename().string());
    return names;
  }

  std::string programPath_;
  int64_t freeBytes_ = int64_t(kLowDiskSpace) * 4;
  std::vector<std::string> queried_;
  FileVersionWords version_{3u << 16 | 1, 49u << 16 | 7};
  bool versionReadable_ = true;
  int versionReads_ = 0;
  SYSTEMTIME today_ = Day(2024, 1, 31);
  MessageBoxRecorder boxes_;
  ShellRecorder shell_;
};

TEST(ProgramVersion, ComposesMajorMinorAndReleaseAndIgnoresTheBuild) {
  struct Case {
    uint16_t major, minor, release, build;
    uint32_t number;
  } cases[] = {
      {3, 1, 49, 0, 30010049}, {3, 1, 49, 7, 30010049}, {0, 0, 0, 0, 0},
      {1, 9999, 9999, 65535, 109999999}, {2, 0, 1, 0, 20000001}, {0, 3, 0, 0, 30000},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ComposeProgramVersion({uint32_t(c.major) << 16 | c.minor, uint32_t(c.release) << 16 | c.build}),
              c.number)
        << c.major << "." << c.minor << "." << c.release << "." << c.build;
}

TEST_F(EntryTest, AnUnreadableVersionLeavesTheNumberAlone) {
  ProgramVersion = 42;
  versionReadable_ = false;
  EXPECT_EQ(ReadProgramVersion(Services()), 0);
  EXPECT_EQ(ProgramVersion, 42u);
  versionReadable_ = true;
  EXPECT_EQ(ReadProgramVersion(Services()), 1);
  EXPECT_EQ(ProgramVersion, 30010049u);
  programPath_.clear();
  ProgramVersion = 42;
  EXPECT_EQ(ReadProgramVersion(Services()), 0);
  EXPECT_EQ(ProgramVersion, 42u);
}

// Logs survive through the thirtieth day after their date. Names whose middle
// is not exactly an eight-digit valid date are never taken for a date, and
// a directory is never deleted.
TEST_F(EntryTest, TheLogPurgeKeepsThirtyDaysAndTouchesNothingElse) {
  for (const char *name : {"KSInterB2C20231231.klg", "KSInterB2C20240101.klg", "KSInterB2C20240102.klg",
                           "ksinterb2c20231201.KLG", "KSInterB2C2023120.klg", "KSInterB2C202312011.klg",
                           "KSInterB2C20230230.klg", "KSInterB2C2023x201.klg", "KSInterB2C00000000.klg",
                           "KSInterB2C-2023120.klg", "other20230101.klg"})
    Put(name, "log");
  fs::create_directory(fs::path(root_) / "KSInterB2C20200101.klg");

  today_ = Day(2024, 1, 31);
  EXPECT_EQ(PurgeBrokerLogs(today_), 2);
  std::set<std::string> left = Files();
  EXPECT_FALSE(left.count("KSInterB2C20231231.klg")) << "31 December + 30 days = 30 January, before the 31st";
  EXPECT_FALSE(left.count("ksinterb2c20231201.KLG"));
  EXPECT_TRUE(left.count("KSInterB2C20240101.klg")) << "1 January + 30 days = 31 January, not before it";
  for (const char *kept : {"KSInterB2C2023120.klg", "KSInterB2C202312011.klg", "KSInterB2C20230230.klg",
                           "KSInterB2C2023x201.klg", "KSInterB2C00000000.klg", "KSInterB2C-2023120.klg",
                           "other20230101.klg", "KSInterB2C20200101.klg"})
    EXPECT_TRUE(left.count(kept)) << kept;

  EXPECT_EQ(PurgeBrokerLogs(Day(2024, 2, 1)), 1);
  EXPECT_FALSE(Files().count("KSInterB2C20240101.klg"));
  EXPECT_TRUE(Files().count("KSInterB2C20240102.klg"));
  EXPECT_TRUE(fs::is_directory(fs::path(root_) / "KSInterB2C20200101.klg"));
}

TEST_F(EntryTest, TheDiskWarningNamesTheDriveOfEachShortFolder) {
  freeBytes_ = int64_t(kLowDiskSpace) - 1;
  EXPECT_TRUE(WarnLowDiskSpace(Services(), "D:\\kivo\\prog"));
  EXPECT_TRUE(WarnLowDiskSpace(Services(), "D:\\kivo\\user\\"));
  freeBytes_ = int64_t(kLowDiskSpace);
  EXPECT_FALSE(WarnLowDiskSpace(Services(), "E:\\kivo"));
  freeBytes_ = -1;
  EXPECT_FALSE(WarnLowDiskSpace(Services(), "F:\\kivo")) << "a failed query shows nothing";
  const auto calls = boxes_.Calls();
  ASSERT_EQ(calls.size(), 2u) << "one box per short folder, the same drive twice";
  for (const auto &call : calls) {
    EXPECT_EQ(call.text, "D:盘剩余空间小于50M，kivo可能无法正常运行。  ");
    EXPECT_EQ(call.caption, "警告");
    EXPECT_EQ(call.type & MB_ICONMASK, MB_ICONEXCLAMATION);
    EXPECT_TRUE(call.type & MB_TOPMOST);
  }
}

TEST_F(EntryTest, TheWriteProbeLeavesNothingAndAFolderThatCantBeWrittenStops) {
  EXPECT_TRUE(CheckWriteAccess());
  EXPECT_TRUE(Files().empty());
  EXPECT_TRUE(boxes_.Calls().empty());
  // A current folder that is gone can take no file.
  const fs::path gone = fs::path(root_) / "gone";
  fs::create_directory(gone);
  ASSERT_EQ(chdir(gone.c_str()), 0);
  fs::remove(gone);
  EXPECT_FALSE(CheckWriteAccess());
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].caption, "错误");
  EXPECT_NE(boxes_.Calls()[0].text.find("您没有写入kivo安装目录的权限"), std::string::npos);
}

TEST_F(EntryTest, AWaitingUpdateHandsOffOnlyWhenTheHandOffProgramIsThere) {
  fs::create_directory(fs::path(root_) / "update");
  Put("update/update.ini", "[Update]\r\nResult=1\r\n");
  EXPECT_FALSE(HandOffToUpdater(programPath_)) << "no instcopy.exe: a normal start";
  EXPECT_TRUE(shell_.Starts().empty());
  Put("instcopy.exe", "");
  Put("update/update.ini", "[Update]\r\nResult=0\r\n");
  EXPECT_FALSE(HandOffToUpdater(programPath_));
  Put("update/update.ini", "[Update]\r\nResult=1\r\n");
  EXPECT_TRUE(HandOffToUpdater(programPath_));
  ASSERT_EQ(shell_.Starts().size(), 1u);
  EXPECT_EQ(shell_.Starts()[0].commandLine, ".\\instcopy.exe -start:kivon");

  // The whole entry ends at the hand-off: no further check, no main window.
  bool ran = false;
  EXPECT_EQ(RunProgramEntry(Services(), [&] { ran = true; }), 0);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(queried_.empty());
  EXPECT_EQ(versionReads_, 0);
  EXPECT_EQ(shell_.Starts().size(), 2u);
}

TEST_F(EntryTest, TheEntryRunsTheChecksInOrderAndStopsAtAnUnreadableVersion) {
  freeBytes_ = 1;
  versionReadable_ = false;
  bool ran = false;
  EXPECT_EQ(RunProgramEntry(Services(), [&] { ran = true; }), 0);
  EXPECT_FALSE(ran);
  ASSERT_EQ(queried_.size(), 2u) << "the program folder, then the user folder";
  const auto calls = boxes_.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2].text, "文件版本信息获取失败，kivo无法运行 ");
  EXPECT_EQ(calls[2].caption, "错误");

  versionReadable_ = true;
  freeBytes_ = int64_t(kLowDiskSpace);
  EXPECT_EQ(RunProgramEntry(Services(), [&] { ran = true; }), 0);
  EXPECT_TRUE(ran);
  EXPECT_EQ(ProgramVersion, 30010049u);

  programPath_.clear();
  ran = false;
  EXPECT_EQ(RunProgramEntry(Services(), [&] { ran = true; }), 0);
  EXPECT_FALSE(ran);
  EXPECT_EQ(boxes_.Calls().back().text, "kivo安装路径太深，无法正常运行。  ");
}

}  // namespace
