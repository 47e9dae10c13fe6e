// String lists and component ownership.
#include <gtest/gtest.h>

#include "classlib/classes.h"

#include <unistd.h>

#include "testing/temp_folder.h"

namespace {

TEST(StringList, SortedListsKeepOrderAndFollowTheirDuplicateRule) {
  struct Case {
    TDuplicates rule;
    std::vector<std::string> expected;
  } cases[] = {{dupIgnore, {"a", "B", "c"}},
               // An accepted duplicate goes before the equal items already there.
               {dupAccept, {"a", "b", "B", "c"}}};
  for (const Case &c : cases) {
    TStringList list;
    list.Duplicates = c.rule;
    list.SetSorted(true);
    for (const char *s : {"c", "B", "a", "b"}) list.Add(s);
    std::vector<std::string> got;
    for (int i = 0; i < list.Count(); ++i) got.push_back(list[i]);
    EXPECT_EQ(got, c.expected) << int(c.rule);
    int index = -1;
    EXPECT_TRUE(list.Find("C", index));  // ASCII letters without regard to case
    EXPECT_EQ(list[index], "c");
  }
  TStringList strict;
  strict.Duplicates = dupError;
  strict.SetSorted(true);
  strict.Add("x");
  EXPECT_THROW(strict.Add("X"), EStringListError);
}

TEST(StringList, TextCommaTextAndValuesRoundTrip) {
  TStringList list;
  list.SetText("one\r\ntwo\nthree\r");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\n");
  list.SetCommaText("a,\"b c\",\"d\"\"e\",,f");
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list[1], "b c");
  EXPECT_EQ(list[2], "d\"e");
  EXPECT_EQ(list[3], "");
  EXPECT_EQ(list.CommaText(), "a,\"b c\",\"d\"\"e\",\"\",f");
  list.Clear();
  list.SetValue("Port", "13130");
  list.SetValue("Host", "10.0.0.1");
  list.SetValue("port", "80");
  EXPECT_EQ(list.Values("PORT"), "80");
  EXPECT_EQ(list.Count(), 2);
  list.SetValue("Host", "");
  EXPECT_EQ(list.IndexOfName("Host"), -1);
}

// The path is a Windows-form one, matched without regard to case; the old
// file is replaced, never truncated in place (a link to it keeps the old
// text, as would a reader that has it open).
class StringListFileTest : public testing_support::TempFolderTest {};

TEST_F(StringListFileTest, SaveResolvesTheWindowsPathAndReplacesTheFile) {
  std::filesystem::create_directory(root_ + "/Cfg");
  Put("Cfg/Notes.txt", "old\r\n");
  ASSERT_EQ(::link((root_ + "/Cfg/Notes.txt").c_str(), (root_ + "/kept").c_str()), 0);
  TStringList list;
  list.Add("one");
  list.Add("two");
  ASSERT_TRUE(list.SaveToFile(".\\CFG\\NOTES.TXT"));
  EXPECT_EQ(Get("Cfg/Notes.txt"), list.Text());
  EXPECT_FALSE(std::filesystem::exists(root_ + "/CFG")) << "no second folder";
  EXPECT_EQ(Get("kept"), "old\r\n");
  TStringList back;
  ASSERT_TRUE(back.LoadFromFile("cfg\\notes.TXT"));
  EXPECT_EQ(back.Text(), list.Text());
  EXPECT_FALSE(list.SaveToFile(""));
}

TEST(StringList, IndexOutOfRangeIsAnErrorNotACrash) {
  TStringList list;
  list.Add("only");
  EXPECT_THROW(list.Get(1), EStringListError);
  EXPECT_THROW(list.Get(-1), EStringListError);
  EXPECT_THROW(list.Delete(5), EStringListError);
  EXPECT_THROW(list.Insert(3, "x"), EStringListError);
}

TEST(StringList, ChangeEventsFireOncePerUpdate) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TObject *) { ++changes; };
  list.Add("a");
  EXPECT_EQ(changes, 1);
  list.BeginUpdate();
  list.Add("b");
  list.Add("c");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
}

TEST(Components, OwnedComponentsGoWithTheirOwnerAndWatchersAreTold) {
  struct Probe : TComponent {
    Probe(TComponent *owner, int &deaths) : TComponent(owner), deaths_(deaths) {}
    ~Probe() override { ++deaths_; }
    void Notification(TComponent *c, TOperation op) override {
      if (op == opRemove) gone = c;
    }
    TComponent *gone = nullptr;
    int &deaths_;
  };
  int deaths = 0;
  Probe watcher(nullptr, deaths);
  {
    TComponent owner(nullptr);
    auto *child = new Probe(&owner, deaths);
    child->Name = "Child";
    new Probe(child, deaths);
    EXPECT_EQ(owner.FindComponent("child"), child);
    child->FreeNotification(&watcher);
  }
  EXPECT_EQ(deaths, 2);
  EXPECT_NE(watcher.gone, nullptr);
}

}  // namespace
