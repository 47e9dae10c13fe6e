// The formula library: groups, lookups, the two library files and their
// load order and messages, the two-pass save and the background save.
#include <atomic>
#include <thread>

#include "core/eautolock.h"
#include "tests/formula/formula_support.h"
#include "tests/formula/library_support.h"

using namespace formula_test;

namespace {

const char kSystemUnreadable[] = "读取系统指标配置文件时出现错误，请重新安装本软件。  ";
const char kSystemDamaged[] = "系统指标配置文件出错，请重新安装本软件。  ";
const char kUserUnreadable[] = "读取自定义指标配置文件时出现错误。  ";
const char kSomeSkipped[] = "部分技术分析指标未能导入，这些指标可能是由较新版本的软件所生成。  ";
const char kSaveOpenFailed[] = "保存指标时出现错误：打开文件失败。  ";

constexpr uint32_t S = kIndexSystem;

std::vector<std::string> Names(const CKvIndexManager &library) {
  std::vector<std::string> names;
  for (uint32_t i = 0; const CKvIndex *f = library.GetIndexAt(i); ++i) names.push_back(f->name);
  return names;
}

using LibraryFiles = LibraryFolderTest;

// A system file with two groups and a user file that adds to one of them
// and brings a group of its own.
class TwoFiles : public LibraryFolderTest {
 protected:
  void SetUp() override {
    LibraryFolderTest::SetUp();
    system = PlainLibrary()
                 .Group("Trend")
                 .Formula("MACD", "DIF:EMA(C,SHORT)-EMA(C,LONG);", S, "desc", "notes",
                          {{"SHORT", 12}, {"LONG", 26}})
                 .Formula("DMA", "X:MA(C,5)-MA(C,10);", S)
                 .Group("Volume")
                 .Formula("VOL", "V:VOL,VOLSTICK;", S)
                 .Done();
    user = PlainLibrary()
               .Group("Trend")
               .Formula("MACD", "MINE:C;", 0)
               .Group("Mine")
               .Formula("MY", "Y:H-L;", 1)
               .Done();
    PutLibrary(SystemFile(), system);
    PutLibrary(UserFile(), user);
  }
  std::string system, user;
};

TEST_F(TwoFiles, UserGroupsJoinTheSystemGroupsOfTheirNameAndSystemFormulasAreFoundFirst) {
  CKvIndexManager library;
  library.Load();
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Names(library), (std::vector<std::string>{"MACD", "DMA", "MACD", "VOL", "MY"}));
  ASSERT_NE(library.FindGroup("trend"), nullptr);
  EXPECT_EQ(library.FindGroup("TREND")->count, 3u);
  EXPECT_EQ(library.FindIndex("macd")->flags, S);
  EXPECT_EQ(library.FindIndex("MACD")->paramCount, 2u);
  EXPECT_STREQ(library.FindIndex("MACD")->description, "desc");
  EXPECT_STREQ(library.FindIndex("MACD")->usageNotes, "notes");
  EXPECT_EQ(library.GetIndexAt(5), nullptr);

  CKvIndex copy;
  EXPECT_EQ(library.CopyIndex("my", &copy), 1);
  EXPECT_EQ(copy.flags, 1u);
  EXPECT_EQ(copy.VariableCount(), 1u);
  EXPECT_EQ(library.CopyIndex("NONE", &copy), 0);
  EXPECT_STREQ(copy.errorText, "指标未定义");
}

TEST_F(TwoFiles, SaveWritesBackTheSamePlainBytesAndEveryGroupToBothFiles) {
  CKvIndexManager library;
  library.Load();
  ASSERT_TRUE(library.Save());
  // Each file lists every group: the system file "Mine" empty, the user
  // file "Volume".
  std::string mine = "Mine";
  mine.resize(32, '\0');
  EXPECT_EQ(PlainOf(SystemFile()), system + mine + '\0');
  EXPECT_EQ(PlainOf(UserFile()), PlainLibrary()
                                     .Group("Trend")
                                     .Formula("MACD", "MINE:C;", 0)
                                     .Group("Volume")
                                     .Group("Mine")
                                     .Formula("MY", "Y:H-L;", 1)
                                     .Done());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(TwoFiles, ABackgroundSaveWaitsForAChangeMadeUnderTheLock) {
  CKvIndexManager library;
  library.Load();
  {
    EAutoLock hold(&library.lock);
    ASSERT_TRUE(library.SaveInBackground());
    // The save thread can't read the library while it is being changed.
    auto *added = new CKvIndex;
    ASSERT_TRUE(added->Compile("Z:C;", true));
    std::snprintf(added->name, sizeof added->name, "NEW");
    library.FindGroup("Mine")->Add(added);
    std::this_thread::yield();
  }
  library.WaitForBackgroundSaves();
  CKvIndexManager reread;
  reread.Load();
  ASSERT_NE(reread.FindIndex("NEW"), nullptr);
  EXPECT_STREQ(reread.FindIndex("NEW")->formulaText, "Z:C;");
}

TEST_F(TwoFiles, ASaveThatCannotStageLeavesBothFilesWhole) {
  CKvIndexManager library;
  library.Load();
  std::filesystem::create_directory(root_ + "/bin/pit.dat");  // the staging file can't be made
  const std::string systemBefore = Get(SystemFile()), userBefore = Get(UserFile());
  EXPECT_FALSE(library.Save());
  EXPECT_EQ(Messages(), std::vector<std::string>{kSaveOpenFailed});
  EXPECT_EQ(Get(SystemFile()), systemBefore);
  EXPECT_EQ(Get(UserFile()), userBefore);
}

// A file that can't be read is reported, the other one is still read, and a
// later save never puts empty groups in its place.
TEST_F(TwoFiles, AnUnreadableFileIsReportedAndNeverWrittenOver) {
  struct Case {
    const char *what;
    bool systemFile;
    std::string plain;
    const char *key;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {"system under another key", true, system, "ANOTHERKEY012345", {kSystemUnreadable}},
      {"system with another magic", true, PlainLibrary("KvIndeX").Group("Trend").Done(), nullptr, {kSystemDamaged}},
      {"system of version 2", true, PlainLibrary("KvIndex", 2).Group("Trend").Done(), nullptr, {kSystemDamaged}},
      {"user under another key", false, user, "ANOTHERKEY012345", {kUserUnreadable}},
      {"user with another magic", false, PlainLibrary("KVINDEX").Done(), nullptr, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.systemFile ? SystemFile() : UserFile();
    PutLibrary(SystemFile(), system);
    PutLibrary(UserFile(), user);
    PutLibrary(path, c.plain, c.key ? c.key : CKvIndexManager::kKey);
    const std::string before = Get(path);
    boxes.Clear();

    CKvIndexManager library;
    library.Load();
    EXPECT_EQ(Messages(), c.messages);
    EXPECT_EQ(library.FindIndex("MY") != nullptr, c.systemFile);   // the user's formulas
    EXPECT_EQ(library.FindIndex("VOL") != nullptr, !c.systemFile);  // the system's
    EXPECT_EQ(c.systemFile ? library.SystemFileState() : library.UserFileState(), IndexFileState::kUnreadable);

    boxes.Clear();
    EXPECT_TRUE(library.Save());
    EXPECT_EQ(Get(path), before);
    EXPECT_TRUE(Messages().empty());
    if (c.systemFile) EXPECT_NE(PlainOf(UserFile()).find("MINE:C;"), std::string::npos);

    // A formula that now has no file to go to makes the save fail, and the
    // file stays as it was.
    auto *added = new CKvIndex;
    ASSERT_TRUE(added->Compile("Z:C;", true));
    added->flags = c.systemFile ? S : 0;
    library.FindGroup("Trend")->Add(added);
    EXPECT_FALSE(library.Save());
    EXPECT_EQ(Messages(), std::vector<std::string>{kSaveOpenFailed});
    EXPECT_EQ(Get(path), before);
  }
}

TEST_F(LibraryFiles, WithoutASystemFileTheUserFileIsStillReadAndNoSystemFileIsMade) {
  PutLibrary(UserFile(), PlainLibrary().Group("Mine").Formula("MY", "Y:C;", 0).Done());
  CKvIndexManager library;
  library.Load();
  EXPECT_EQ(Messages(), std::vector<std::string>{kSystemUnreadable});
  EXPECT_EQ(Names(library), std::vector<std::string>{"MY"});
  EXPECT_TRUE(library.Save());
  EXPECT_FALSE(std::filesystem::exists(SystemFile()));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/cfg/kvindexs.dat"));
}

TEST_F(LibraryFiles, WithoutAUserFileNothingIsReportedEvenWhenSystemFormulasWereSkipped) {
  PutLibrary(SystemFile(), PlainLibrary().Group("G").Formula("BAD", "X:NOPE;", S).Formula("OK", "X:C;", S).Done());
  CKvIndexManager library;
  library.Load();
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(library.UserFileState(), IndexFileState::kMissing);
  EXPECT_EQ(Names(library), std::vector<std::string>{"OK"});
  EXPECT_EQ(library.SkippedAtLoad(), 1u);
  // The first save makes the user file.
  EXPECT_TRUE(library.Save());
  EXPECT_EQ(PlainOf(UserFile()), PlainLibrary().Group("G").Done());
}

// Formulas that no longer compile are told once, kept aside and written back
// unchanged; the formulas after them are read.
TEST_F(LibraryFiles, FormulasThatDoNotCompileAreKeptAndWrittenBackUnchanged) {
  const std::string system = PlainLibrary()
                                 .Group("G")
                                 .Formula("OLD", "x:newfunc(c);", S, "from a newer version", "n",
                                          {{"N", 3}})
                                 .Formula("EMPTY", "", S)
                                 .Formula("OK", "X:C;", S)
                                 .Done();
  const std::string user = PlainLibrary().Group("G").Formula("MINEBAD", "Y:NOPE(C);", 0).Done();
  PutLibrary(SystemFile(), system);
  PutLibrary(UserFile(), user);
  CKvIndexManager library;
  library.Load();
  EXPECT_EQ(Messages(), std::vector<std::string>{kSomeSkipped});
  EXPECT_EQ(Names(library), std::vector<std::string>{"OK"});
  EXPECT_EQ(library.SkippedAtLoad(), 3u);
  EXPECT_EQ(library.FindIndex("OLD"), nullptr);

  ASSERT_TRUE(library.Save());
  // Kept records follow the formulas of their group.
  EXPECT_EQ(PlainOf(SystemFile()), PlainLibrary()
                                       .Group("G")
                                       .Formula("OK", "X:C;", S)
                                       .Formula("OLD", "x:newfunc(c);", S, "from a newer version", "n",
                                                {{"N", 3}})
                                       .Formula("EMPTY", "", S)
                                       .Done());
  EXPECT_EQ(PlainOf(UserFile()), user);
}

TEST_F(LibraryFiles, ATruncatedSystemFileKeepsWhatCameBeforeAndTheUserFileIsRead) {
  const std::string whole = PlainLibrary()
                                .Group("A")
                                .Formula("ONE", "X:C;", S)
                                .Group("B")
                                .Formula("TWO", "X:O;", S)
                                .Formula("THREE", "X:H;", S)
                                .Done();
  PutLibrary(UserFile(), PlainLibrary().Group("U").Formula("MY", "Y:C;", 0).Done());
  // Cut inside THREE's record, and at every byte of the last group's name.
  const size_t three = whole.find("THREE");
  PutLibrary(SystemFile(), whole.substr(0, three + 20));
  CKvIndexManager library;
  library.Load();
  EXPECT_EQ(Names(library), (std::vector<std::string>{"ONE", "TWO", "MY"}));
  EXPECT_EQ(Messages(), std::vector<std::string>{kSomeSkipped});  // THREE did not fit

  const size_t groupB = whole.find("B\0\0\0", 0, 4);
  for (size_t cut = groupB; cut < groupB + 33; ++cut) {
    SCOPED_TRACE(cut);
    PutLibrary(SystemFile(), whole.substr(0, cut));
    CKvIndexManager cutLibrary;
    cutLibrary.Load();
    EXPECT_EQ(cutLibrary.FindIndex("ONE") != nullptr, true);
    EXPECT_EQ(cutLibrary.FindIndex("MY") != nullptr, true);
    EXPECT_EQ(cutLibrary.FindIndex("TWO"), nullptr);
  }
}

// Every length is bounded by what is left of the file: a record whose
// length runs past the end is refused; a description longer than its field
// is cut and the record after it is read.
TEST_F(LibraryFiles, LengthsAreBoundedByTheFieldAndTheBytesLeft) {
  const std::string head = PlainLibrary().Group("G").Formula("FIRST", "X:C;", S).bytes;
  auto withLength = [&](size_t at, uint32_t value) {
    std::string record = PlainLibrary::Record("BIG", "X:C;", S, "d");
    std::string v;
    PutU32(v, value);
    record.replace(at, 4, v);
    return head + '\1' + record + '\0';
  };
  const size_t description = 48, params = 48 + 4 + 1, text = params + 4;
  for (const auto &[at, value] : std::vector<std::pair<size_t, uint32_t>>{
           {description, 0xFFFFFFFFu}, {description, 100}, {params, 0x7FFFFFFFu}, {params, 2}, {text, 1u << 30}}) {
    SCOPED_TRACE(testing::Message() << at << " " << value);
    PutLibrary(SystemFile(), withLength(at, value));
    boxes.Clear();
    CKvIndexManager library;
    library.Load();
    EXPECT_EQ(Names(library), std::vector<std::string>{"FIRST"});
    EXPECT_EQ(library.SkippedAtLoad(), 1u);
  }

  const std::string longDescription(600, 'D');
  PutLibrary(SystemFile(), PlainLibrary()
                               .Group("G")
                               .Formula("LONG", "X:C;", S, longDescription, "", {{"A", 1}, {"a", 2}})
                               .Formula("NEXT", "X:C;", S)
                               .Done());
  CKvIndexManager library;
  library.Load();
  EXPECT_EQ(Names(library), (std::vector<std::string>{"LONG", "NEXT"}));
  EXPECT_EQ(std::string(library.FindIndex("LONG")->description), longDescription.substr(0, 511));
  EXPECT_EQ(library.FindIndex("LONG")->paramCount, 1u);  // the repeated name is dropped
}

TEST(KvIndexGroup, GetIndexAtFollowsTheCountsAndStopsAtAShortChain) {
  CKvIndexManager library;
  auto *a = new CKvIndexGroup("A");
  auto *b = new CKvIndexGroup("B");
  library.AddGroup(a);
  library.AddGroup(b);
  for (const char *name : {"X1", "X2"}) {
    auto *f = new CKvIndex;
    std::snprintf(f->name, sizeof f->name, "%s", name);
    a->Add(f);
  }
  auto *y = new CKvIndex;
  std::snprintf(y->name, sizeof y->name, "Y");
  b->SetChain(y);
  EXPECT_EQ(b->count, 1u);
  EXPECT_STREQ(library.GetIndexAt(2)->name, "Y");
  a->count = 3;  // a chain shorter than its count
  EXPECT_EQ(library.GetIndexAt(2), nullptr);
  EXPECT_STREQ(library.GetIndexAt(3)->name, "Y");
  EXPECT_EQ(library.GetIndexAt(4), nullptr);
}

TEST(IndexCategory, NamesAsThePickerListsThem) {
  EXPECT_STREQ(IndexCategoryName(0), "全部");
  EXPECT_STREQ(IndexCategoryName(1), "行情");
  EXPECT_STREQ(IndexCategoryName(9), "运算符");
  EXPECT_STREQ(IndexCategoryName(10), "其它");
  EXPECT_EQ(IndexCategoryName(11), nullptr);
}

}  // namespace
