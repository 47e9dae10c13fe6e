#include "testing/temp_folder.h"
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ProfileTest : public testing_support::TempFolderTest {
 protected:
  static std::string Read(const char *section, const char *key, const char *file, const char *def = "?") {
    char buffer[256];
    GetPrivateProfileStringA(section, key, def, buffer, sizeof buffer, file);
    return buffer;
  }
};

const char kSample[] =
    "; settings\r\n"
    "Top=outside any section\r\n"
    "[Main]\r\n"
    "Name = Value with spaces   \r\n"
    "Quoted=\"  inside  \"\r\n"
    "Single='x'\r\n"
    "Mismatch=\"abc'\r\n"
    "Empty=\r\n"
    "Dup=first\r\n"
    "Dup=second\r\n"
    "NoEquals line\r\n"
    "  Indented = yes\r\n"
    "; Hidden=comment\r\n"
    "\r\n"
    "[main]\r\n"
    "Other=in a second copy\r\n"
    "[组]\r\n"
    "键=值\r\n"
    "[Unclosed\r\n"
    "k=v";

TEST_F(ProfileTest, ReadsValuesWithWin32Rules) {
  Put("Sample.ini", kSample);
  struct Case {
    const char *section, *key, *def;
    DWORD size, result;
    std::string expected;
  } cases[] = {
      {"Main", "Name", "d", 64, 17, "Value with spaces"},
      {"MAIN", "NAME", "d", 64, 17, "Value with spaces"},
      {" Main ", " Name\t", "d", 64, 17, "Value with spaces"},
      {"Main", "Quoted", "d", 64, 10, "  inside  "},
      {"Main", "Single", "d", 64, 1, "x"},
      {"Main", "Mismatch", "d", 64, 5, "\"abc'"},
      {"Main", "Empty", "def", 64, 0, ""},
      {"Main", "Dup", "d", 64, 5, "first"},
      {"Main", "Indented", "d", 64, 3, "yes"},
      {"Main", "NoEquals line", "def", 64, 3, "def"},
      {"Main", "; Hidden", "def", 64, 3, "def"},
      {"Main", "Hidden", "def", 64, 3, "def"},
      {"Main", "Missing", "def  \t", 64, 3, "def"},
      {"Main", "", "def", 64, 3, "def"},
      {"Nowhere", "Name", nullptr, 64, 0, ""},
      {"main", "Other", "def", 64, 3, "def"},  // only the first [Main] counts
      {"组", "键", "d", 64, 2, "值"},
      {"Unclosed", "k", "d", 64, 1, "v"},
      {"Main", "Name", "d", 6, 5, "Value"},
      {"Main", "Missing", "abcdef", 4, 3, "abc"},
      {"Main", "Name", "d", 1, 0, ""},
  };
  for (const Case &c : cases) {
    char buffer[80];
    memset(buffer, 0x7F, sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA(c.section, c.key, c.def, buffer, c.size, "sample.INI"), c.result)
        << c.section << "/" << c.key;
    EXPECT_EQ(std::string(buffer), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(buffer[c.size], 0x7F) << "wrote past the buffer";
  }
  // Missing file: the default, and the same rules for it.
  char buffer[16];
  EXPECT_EQ(GetPrivateProfileStringA("Main", "Name", "fallback ", buffer, sizeof buffer, "none.ini"), 8u);
  EXPECT_STREQ(buffer, "fallback");
  EXPECT_EQ(GetPrivateProfileStringA("Main", "Name", "x", buffer, 0, "sample.ini"), 0u);
}

TEST_F(ProfileTest, ListsEndInTwoNulsAndReportCutsAsSizeMinusTwo) {
  Put("sample.ini", kSample);
  using Bytes = std::string;
  struct Case {
    const char *what;
    const char *section;
    DWORD size, result;
    Bytes expected;  // up to and including the closing NUL
  } cases[] = {
      {"sections", nullptr, 64, 22, Bytes("Main\0main\0组\0Unclosed\0\0", 23)},
      {"sections cut", nullptr, 8, 6, Bytes("Main\0m\0\0", 8)},
      {"keys", "main", 64, 51, Bytes("Name\0Quoted\0Single\0Mismatch\0Empty\0Dup\0Dup\0Indented\0\0", 52)},
      {"keys cut", "Main", 12, 10, Bytes("Name\0Quote\0\0", 12)},
      {"keys of an empty section give the default", "Nowhere", 64, 3, Bytes("def\0", 4)},
  };
  for (const Case &c : cases) {
    char buffer[80];
    memset(buffer, 0x7F, sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA(c.section, nullptr, "def", buffer, c.size, "sample.ini"), c.result) << c.what;
    EXPECT_EQ(Bytes(buffer, c.expected.size()), c.expected) << c.what;
    EXPECT_EQ(buffer[c.size], 0x7F) << c.what;
  }
  char buffer[64];
  EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, sizeof buffer, "sample.ini"), 22u);
  EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, sizeof buffer, "none.ini"), 0u);
  EXPECT_EQ(Bytes(buffer, 2), Bytes("\0\0", 2));
}

TEST_F(ProfileTest, SectionListsKeysAsWrittenAndOtherLines) {
  Put("sample.ini", kSample);
  const char lines[] =
      "Name=Value with spaces\0Quoted=\"  inside  \"\0Single='x'\0Mismatch=\"abc'\0Empty=\0Dup=first\0"
      "Dup=second\0NoEquals line\0Indented=yes\0";
  const std::string whole(lines, sizeof lines);  // with the list's closing NUL
  char buffer[256];
  memset(buffer, 0x7F, sizeof buffer);
  EXPECT_EQ(GetPrivateProfileSectionA("MAIN", buffer, sizeof buffer, "sample.ini"), whole.size() - 1);
  EXPECT_EQ(std::string(buffer, whole.size()), whole);

  memset(buffer, 0x7F, sizeof buffer);
  EXPECT_EQ(GetPrivateProfileSectionA("Main", buffer, 10, "sample.ini"), 8u);
  EXPECT_EQ(std::string(buffer, 11), std::string("Name=Val\0\0\x7F", 11));

  EXPECT_EQ(GetPrivateProfileSectionA("Nowhere", buffer, sizeof buffer, "sample.ini"), 0u);
  EXPECT_EQ(std::string(buffer, 2), std::string("\0\0", 2));
}

TEST_F(ProfileTest, IntegersParseLikeWin32) {
  Put("n.ini",
      "[n]\na=12abc\nb=-5\nc=0x1F\nd=abc\ne=\nf=  42  \ng=\"7\"\nh=+3\ni=4294967297\nj=0X10\nk=-0x10\n");
  struct Case {
    const char *key;
    UINT expected;
  } cases[] = {
      {"a", 12}, {"b", UINT(-5)}, {"c", 31}, {"d", 0},  {"e", 9},           {"f", 42},
      {"g", 7},  {"h", 3},        {"i", 1},  {"j", 16}, {"k", UINT(-16)}, {"missing", 9},
  };
  for (const Case &c : cases) EXPECT_EQ(GetPrivateProfileIntA("N", c.key, 9, "n.ini"), c.expected) << c.key;
  EXPECT_EQ(GetPrivateProfileIntA("n", "a", -1, "none.ini"), UINT(-1));
}

TEST_F(ProfileTest, WritesKeepEverythingElseInPlace) {
  Put("w.ini", "; head\r\n[A]\r\nx=1\r\n; note\r\n\r\n[B]\r\ny=2\r\n");
  struct Step {
    const char *section, *key, *value;
    std::string after;
  } steps[] = {
      {"A", "z", "3", "; head\r\n[A]\r\nx=1\r\n; note\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
      {"a", "X", "10", "; head\r\n[A]\r\nx=10\r\n; note\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
      {"C", "k", "v", "; head\r\n[A]\r\nx=10\r\n; note\r\nz=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nk=v\r\n"},
      {"b", "Y", nullptr, "; head\r\n[A]\r\nx=10\r\n; note\r\nz=3\r\n\r\n[B]\r\n[C]\r\nk=v\r\n"},
      {"B", nullptr, nullptr, "; head\r\n[A]\r\nx=10\r\n; note\r\nz=3\r\n\r\n[C]\r\nk=v\r\n"},
      {"A", "gone", nullptr, "; head\r\n[A]\r\nx=10\r\n; note\r\nz=3\r\n\r\n[C]\r\nk=v\r\n"},
      {"Nowhere", nullptr, nullptr, "; head\r\n[A]\r\nx=10\r\n; note\r\nz=3\r\n\r\n[C]\r\nk=v\r\n"},
  };
  for (const Step &s : steps) {
    EXPECT_TRUE(WritePrivateProfileStringA(s.section, s.key, s.value, "W.INI"));
    EXPECT_EQ(Get("w.ini"), s.after) << s.section << "/" << (s.key ? s.key : "(section)");
  }
  EXPECT_EQ(Read("a", "x", "w.ini"), "10");
  EXPECT_EQ(Read("B", "y", "w.ini"), "?");

  // A file with LF line ends and no final line end goes on with LF.
  Put("lf.ini", "[A]\nx=1");
  EXPECT_TRUE(WritePrivateProfileStringA("A", "y", "2", "lf.ini"));
  EXPECT_EQ(Get("lf.ini"), "[A]\nx=1\ny=2\n");

  // A whole section at once.
  EXPECT_TRUE(WritePrivateProfileSectionA("a", "p=1\0q = 2\0", "w.ini"));
  EXPECT_EQ(Get("w.ini"), "; head\r\n[A]\r\np=1\r\nq = 2\r\n\r\n[C]\r\nk=v\r\n");
  EXPECT_EQ(Read("A", "q", "w.ini"), "2");
  EXPECT_TRUE(WritePrivateProfileSectionA("New", "n=1\0", "w.ini"));
  EXPECT_EQ(Read("new", "N", "w.ini"), "1");

  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", "w.ini"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, "w.ini"));  // flush: FALSE, as Win32
}

TEST_F(ProfileTest, CreatesFilesHereAndFailsCleanly) {
  // A bare name is a file in the current folder.
  EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "v", "Plain.ini"));
  EXPECT_EQ(Get(root_ + "/Plain.ini"), "[S]\r\nk=v\r\n");
  EXPECT_EQ(Read("s", "K", ".\\PLAIN.INI"), "v");

  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", "nofolder\\x.ini"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(fs::exists("nofolder"));
  // Deleting from a file that isn't there changes nothing and creates nothing.
  EXPECT_TRUE(WritePrivateProfileStringA("S", "k", nullptr, "none.ini"));
  EXPECT_FALSE(fs::exists("none.ini"));

  // A failed write leaves the old file whole.
  fs::permissions("Plain.ini", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "w", "plain.ini"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get("Plain.ini"), "[S]\r\nk=v\r\n");
  EXPECT_EQ(Read("S", "k", "plain.ini"), "v");
  fs::permissions("Plain.ini", fs::perms::owner_write, fs::perm_options::add);

  // No scratch files are left behind.
  int files = 0;
  for (auto &entry : fs::directory_iterator(root_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(ProfileTest, MalformedAndOverlongInputNeverOverruns) {
  std::string longValue(100000, 'x');
  std::string longName(70000, 'n');
  std::string text("\0\0binary\xFF\r\n", 11);
  text += "[\r\n=nameless\r\n]]]\r\n[";
  text += longName;
  text += "\r\n[S]\r\nlong=";
  text += longValue;
  text += "\r\nk=v\r\n";
  text.append(200000, 'z');
  Put("bad.ini", text);

  EXPECT_EQ(Read("S", "k", "bad.ini"), "v");
  char buffer[32];
  memset(buffer, 0x7F, sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", buffer, 16, "bad.ini"), 15u);
  EXPECT_EQ(std::string(buffer), std::string(15, 'x'));
  EXPECT_EQ(buffer[16], 0x7F);
  EXPECT_EQ(GetPrivateProfileStringA(longName.c_str(), "a", "d", buffer, 16, "bad.ini"), 1u);
  memset(buffer, 0x7F, sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, nullptr, buffer, 16, "bad.ini"), 14u);
  EXPECT_EQ(buffer[16], 0x7F);
  EXPECT_EQ(GetPrivateProfileSectionA("S", buffer, 16, "bad.ini"), 14u);
  EXPECT_EQ(buffer[16], 0x7F);

  // A write keeps the odd lines as they were.
  EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "w", "bad.ini"));
  std::string expected = text;
  expected.replace(expected.find("\r\nk=v\r\n"), 7, "\r\nk=w\r\n");
  EXPECT_EQ(Get("bad.ini"), expected);
}

TEST_F(ProfileTest, TwoThreadsWritingDifferentKeysLoseNothing) {
  constexpr int kCount = 100;
  auto writer = [](const char *prefix) {
    for (int i = 0; i < kCount; ++i) {
      std::string key = prefix + std::to_string(i);
      WritePrivateProfileStringA("Both", key.c_str(), key.c_str(), "shared.ini");
      char buffer[32];
      GetPrivateProfileStringA("Both", key.c_str(), "", buffer, sizeof buffer, "shared.ini");
      EXPECT_EQ(key, buffer);
    }
  };
  std::thread first(writer, "a");
  std::thread second(writer, "b");
  first.join();
  second.join();
  for (const char *prefix : {"a", "b"})
    for (int i = 0; i < kCount; ++i) {
      std::string key = prefix + std::to_string(i);
      EXPECT_EQ(Read("both", key.c_str(), "shared.ini"), key);
    }
}

TEST_F(ProfileTest, CacheSeesOtherWritersAtOnce) {
  EXPECT_TRUE(WritePrivateProfileStringA("s", "a", "1", "c.ini"));
  EXPECT_EQ(Read("s", "a", "c.ini"), "1");

  Put("c.ini", "[s]\r\na=2\r\n");  // same size, same second: only a watch can tell
  EXPECT_EQ(Read("s", "a", "c.ini"), "2");
  EXPECT_EQ(GetPrivateProfileIntA("s", "a", 0, "c.ini"), 2u);

  Put("c.ini.new", "[s]\r\na=3\r\n");
  fs::rename("c.ini.new", "c.ini");
  EXPECT_EQ(Read("s", "a", "c.ini"), "3");

  fs::remove("c.ini");
  EXPECT_EQ(Read("s", "a", "c.ini"), "?");

  // A file that appears under another spelling is found.
  EXPECT_EQ(Read("s", "a", "CASE.INI"), "?");
  Put("case.ini", "[s]\na=4\n");
  EXPECT_EQ(Read("s", "a", "CASE.INI"), "4");

  // The same relative name in another current folder is another file.
  fs::create_directories("one/sub");
  fs::create_directories("two/sub");
  Put("one/sub/x.ini", "[s]\na=one\n");
  Put("two/sub/x.ini", "[s]\na=two\n");
  fs::current_path("one");
  EXPECT_EQ(Read("s", "a", "sub\\x.ini"), "one");
  fs::current_path("../two");
  EXPECT_EQ(Read("s", "a", "sub\\x.ini"), "two");

  // A cached read stays right after our own write and another's.
  EXPECT_TRUE(WritePrivateProfileStringA("s", "b", "mine", "sub\\x.ini"));
  Put("sub/x.ini", Get("sub/x.ini") + "c=theirs\n");
  EXPECT_EQ(Read("s", "b", "sub\\x.ini"), "mine");
  EXPECT_EQ(Read("s", "c", "sub\\x.ini"), "theirs");
}

}  // namespace
