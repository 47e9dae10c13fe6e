// Indicator export files: writing groups and formulas, reading them into a
// library with its questions, and files that are damaged or hostile.
#include <filesystem>

#include "formula/piofile.h"
#include "tests/formula/index_dialog_support.h"

using namespace formula_test;

namespace {

class PioFiles : public LibraryFolderTest {
 protected:
  std::string Pio(const std::string &name) const { return root_ + "/" + name; }
  // Enciphers plain bytes into an export file.
  std::string PutPio(const std::string &name, const std::string &plain, const char *key = kIndexExportKey) {
    Put(root_ + "/plain.tmp", plain);
    EXPECT_TRUE(CDesEnc(key).EncryptFile((root_ + "/plain.tmp").c_str(), Pio(name).c_str()));
    std::filesystem::remove(root_ + "/plain.tmp");
    return Pio(name);
  }
  // Writes the groups of a library, every formula of each, to a file.
  std::string Export(CKvIndexManager &from, const std::string &name) {
    IndexExportFile out;
    EXPECT_TRUE(ExportFileCreate(out, from));
    for (CKvIndexGroup *g = from.groups; g; g = g->next) {
      EXPECT_TRUE(ExportFileWriteGroup(out, g->name));
      for (CKvIndex *f = g->first; f; f = f->next) EXPECT_TRUE(ExportFileWriteFormula(out, *f));
    }
    EXPECT_TRUE(ExportFileFinish(out, Pio(name).c_str()));
    return Pio(name);
  }
  bool StagingLeft() const { return std::filesystem::exists(root_ + "/bin/pit.dat"); }
  std::string LastMessage() const { return Messages().empty() ? "" : Messages().back(); }
};

TEST_F(PioFiles, ExportThenImportCarriesGroupsPasswordsParametersNotesAndFlags) {
  CKvIndexManager from;
  AddGroup(from, "趋势", {MakeFormula("MACD", "DIF:EMA(C,S)-EMA(C,L);", kIndexSystem, "", "平滑异同", {{"S", 12}, {"L", 26}}),
                          MakeFormula("Mine", "X:C;", 1, "Secret")});
  AddGroup(from, "量能", {MakeFormula("VV", "V:VOL;", 2)});
  from.FindIndex("MACD")->SetUsageNotes("用法\r\n两行");
  const std::string file = Export(from, "a.pio");
  EXPECT_FALSE(StagingLeft());
  EXPECT_TRUE(Messages().empty());

  CKvIndexManager to;
  EXPECT_EQ(ImportIndexFile(file.c_str(), to), 3);
  EXPECT_EQ(LastMessage(), "共导入 3 个指标。  ");
  EXPECT_FALSE(StagingLeft());
  ASSERT_NE(to.FindGroup("趋势"), nullptr);
  EXPECT_EQ(to.FindGroup("趋势")->count, 2u);
  EXPECT_EQ(to.FindGroup("量能")->count, 1u);
  const CKvIndex *macd = to.FindIndex("macd");
  ASSERT_NE(macd, nullptr);
  EXPECT_EQ(macd->flags, kIndexSystem);  // a system formula arrives as one
  EXPECT_STREQ(macd->description, "平滑异同");
  EXPECT_STREQ(macd->usageNotes, "用法\r\n两行");
  ASSERT_EQ(macd->paramCount, 2u);
  EXPECT_EQ(std::memcmp(macd->params, from.FindIndex("MACD")->params, 2 * sizeof(CKvIndexParam)), 0);
  EXPECT_STREQ(macd->formulaText, "DIF:EMA(C,S)-EMA(C,L);");
  EXPECT_STREQ(to.FindIndex("MINE")->password, "Secret");
  EXPECT_EQ(to.FindIndex("MINE")->flags, 1u | kIndexHasPassword);
}

TEST_F(PioFiles, ExistingNamesAskYesNoCancelAndCancelKeepsWhatCameBefore) {
  const std::string file = PutPio("b.pio", PlainExport()
                                               .Group("G")
                                               .Formula("A", "X:1;", 0, "new a")
                                               .Formula("B", "X:2;", 0, "new b")
                                               .Formula("NEW", "X:3;")
                                               .Formula("C", "X:4;", 0, "new c")
                                               .Formula("LATER", "X:5;")
                                               .bytes);
  CKvIndexManager to;
  AddGroup(to, "Old", {MakeFormula("A", "X:C;", 0, "", "old a"), MakeFormula("B", "X:C;", 0, "", "old b"),
                       MakeFormula("C", "X:C;", 0, "", "old c")});
  boxes.QueueAnswer(IDYES);
  boxes.QueueAnswer(IDNO);
  boxes.QueueAnswer(IDCANCEL);
  EXPECT_EQ(ImportIndexFile(file.c_str(), to), 2);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"指标 A 已存在，是否覆盖？  ", "指标 B 已存在，是否覆盖？  ",
                                                  "指标 C 已存在，是否覆盖？  ", "共导入 2 个指标。  "}));
  EXPECT_STREQ(to.FindIndex("A")->description, "new a");
  EXPECT_EQ(to.FindGroup("Old")->first, to.FindIndex("A"));  // overwritten where it stands
  EXPECT_STREQ(to.FindIndex("B")->description, "old b");
  EXPECT_STREQ(to.FindIndex("C")->description, "old c");
  EXPECT_NE(to.FindIndex("NEW"), nullptr);
  EXPECT_EQ(to.FindIndex("LATER"), nullptr);
}

// K, TWR, BAR and OX are never replaced and never asked about; a formula
// our compiler refuses still arrives whole, its text upper-cased.
TEST_F(PioFiles, ProtectedNamesAreSkippedAndAFormulaThatDoesNotCompileArrivesWhole) {
  const std::string file = PutPio("c.pio", PlainExport()
                                               .Group("G")
                                               .Formula("k", "X:0;", 0, "mine")
                                               .Formula("ODD", "{说明} x:nosuch(c)+甲;", 1, "奇", "notes", {{"N", 5}})
                                               .bytes);
  CKvIndexManager to;
  AddGroup(to, "Sys", {MakeFormula("K", "X:C;", kIndexSystem)});
  EXPECT_EQ(ImportIndexFile(file.c_str(), to), 1);
  EXPECT_EQ(Messages(), std::vector<std::string>{"共导入 1 个指标。  "});
  EXPECT_EQ(to.FindIndex("K")->flags, kIndexSystem);
  const CKvIndex *odd = to.FindIndex("ODD");
  ASSERT_NE(odd, nullptr);
  EXPECT_STREQ(odd->name, "ODD");
  EXPECT_STREQ(odd->description, "奇");
  EXPECT_STREQ(odd->usageNotes, "notes");
  EXPECT_EQ(odd->paramCount, 1u);
  EXPECT_EQ(odd->flags, 1u);
  EXPECT_STREQ(odd->formulaText, "{说明} X:NOSUCH(C)+甲;");
}

// Damaged files: the header faults read nothing; a record that is cut
// short or declares lengths beyond the file ends the import after the
// records before it.
TEST_F(PioFiles, DamagedFilesGiveTheirMessageAndKeepTheRecordsBeforeTheDamage) {
  const std::string good = PlainExport().Group("G").Formula("ONE", "X:1;").bytes;
  auto withTail = [&](const std::string &tail) { return good + '\1' + tail; };
  std::string record = PlainLibrary::Record("TWO", "X:2;", 0);
  std::string negative = record.substr(0, 48) + std::string("\xFF\xFF\xFF\xFF", 4) + record.substr(52);
  std::string oversized = record.substr(0, 48) + std::string("\x00\x00\x01\x00", 4) + record.substr(52);
  std::string manyParams = record.substr(0, 52) + std::string("\x00\x00\x00\x40", 4) + record.substr(56);
  struct Case {
    const char *what;
    std::string plain;
    const char *key;
    int result;
    std::string message;
  } cases[] = {
      {"wrong key", good, "ANOTHERKEY123456", -1, "导入时出现错误，可能是文件格式不正确。  "},
      {"wrong magic", "PiOutprX" + good.substr(8), kIndexExportKey, -1, "指标导出文件格式不正确。  "},
      {"version 2", "PiOutprt" + std::string("\2\0\0\0", 4) + good.substr(12), kIndexExportKey, -1,
       "指标导出文件版本太新，无法识别。请下载使用最新版本的行情软件。  "},
      {"no version", "PiOutprt", kIndexExportKey, -1, "指标导出文件版本太新，无法识别。请下载使用最新版本的行情软件。  "},
      {"short record", withTail(record.substr(0, record.size() - 2)), kIndexExportKey, 1, "共导入 1 个指标。  "},
      {"negative description length", withTail(negative), kIndexExportKey, 1, "共导入 1 个指标。  "},
      {"description past the end", withTail(oversized), kIndexExportKey, 1, "共导入 1 个指标。  "},
      {"parameters past the end", withTail(manyParams), kIndexExportKey, 1, "共导入 1 个指标。  "},
      {"formula before any group", PlainExport().Formula("ONE", "X:1;").bytes, kIndexExportKey, 0,
       "共导入 0 个指标。  "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    boxes.Clear();
    CKvIndexManager to;
    const std::string file = PutPio("d.pio", c.plain, c.key);
    EXPECT_EQ(ImportIndexFile(file.c_str(), to), c.result);
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(to.FindIndex("ONE") != nullptr, c.result == 1);
    EXPECT_EQ(to.FindIndex("TWO"), nullptr);
    EXPECT_FALSE(StagingLeft());
  }
}

// A description longer than the field is cut to 511 bytes and the record
// read on past it; parameters beyond 16 are read past.
TEST_F(PioFiles, OverlongDescriptionsAndSurplusParametersAreReadPast) {
  std::vector<std::pair<std::string, double>> params;
  for (int i = 0; i < 18; ++i) params.push_back({"P" + std::to_string(i), i});
  const std::string file = PutPio("e.pio", PlainExport()
                                               .Group("G")
                                               .Formula("LONG", "X:1;", 0, std::string(900, 'd'), "", params)
                                               .Formula("NEXT", "X:2;")
                                               .bytes);
  CKvIndexManager to;
  EXPECT_EQ(ImportIndexFile(file.c_str(), to), 2);
  EXPECT_EQ(std::strlen(to.FindIndex("LONG")->description), 511u);
  EXPECT_EQ(to.FindIndex("LONG")->paramCount, 16u);
  EXPECT_NE(to.FindIndex("NEXT"), nullptr);
}

TEST_F(PioFiles, ExportFailuresAreToldAndLeaveNoStagingFile) {
  CKvIndexManager library;
  AddGroup(library, "G", {MakeFormula("A", "X:C;")});
  {
    CKvIndexManager elsewhere;
    elsewhere.SetFiles("", "", "", (root_ + "/missing/pit.dat").c_str());
    IndexExportFile out;
    EXPECT_FALSE(ExportFileCreate(out, elsewhere));
    EXPECT_FALSE(ExportFileWriteGroup(out, "G"));  // nothing more is written
    EXPECT_EQ(Messages(), std::vector<std::string>{"导出指标时出现错误：打开文件失败。  "});
  }
  boxes.Clear();
  IndexExportFile out;
  ASSERT_TRUE(ExportFileCreate(out, library));
  ASSERT_TRUE(ExportFileWriteGroup(out, "G"));
  ASSERT_TRUE(ExportFileWriteFormula(out, *library.FindIndex("A")));
  EXPECT_FALSE(ExportFileFinish(out, (root_ + "/missing/a.pio").c_str()));
  EXPECT_EQ(Messages(), std::vector<std::string>{"导出指标时出现错误：写入文件失败。  "});
  EXPECT_FALSE(StagingLeft());
  // An export dropped half way leaves no staging file either.
  {
    IndexExportFile dropped;
    ASSERT_TRUE(ExportFileCreate(dropped, library));
    EXPECT_TRUE(StagingLeft());
  }
  EXPECT_FALSE(StagingLeft());
}

}  // namespace
