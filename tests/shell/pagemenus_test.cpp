#include "shell/pagemenus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "market/utildata.h"
#include "testing/skin_fixture.h"

namespace {

PageTableData &Table(int systemPages, int userPages) {
  static PageTableData table;
  table = PageTableData();
  for (int i = 0; i < systemPages + userPages; ++i) {
    CPageData &e = table.entries[table.count++];
    const bool system = i < systemPages;
    std::snprintf(e.name, sizeof e.name, system ? "系统%d" : "我的%d", i);
    std::snprintf(e.path, sizeof e.path, system ? "..\\cfg\\kvpage%d.ppg" : "..\\user\\page%d.ppg", i);
  }
  return table;
}

TEST(PageMenus, TwentySystemPagesGiveThirteenButtonsAndSevenItems) {
  const PageTableData &table = Table(20, 2);
  const TPagePlan plan = PlanPageMenus(table, 3, "", "");
  ASSERT_EQ(plan.buttons.size(), 13u);
  ASSERT_EQ(plan.items.size(), 9u);
  EXPECT_EQ(plan.items[0].tag, 14);
  EXPECT_EQ(plan.items[0].caption, "系统13");
  EXPECT_EQ(plan.items[8].caption, "我的21");
  EXPECT_TRUE(plan.buttons[2].marked);
  EXPECT_FALSE(plan.otherPressed);
}

TEST(PageMenus, TheOpenPageIsMarkedWhereItIsListed) {
  const PageTableData &table = Table(3, 2);
  struct Case {
    const char *what;
    int value;
    const char *lastPage;
    bool otherPressed;
    const char *otherCaption;
    int markedItem;  // -1 none
  } cases[] = {
      {"a user page", 5, "", true, "我的4", 1},
      {"a system page", 2, "", false, "", -1},
      {"last page of a system page", -1, "..\\cfg\\kvpage1.ppg", false, "", -1},
      {"last page of a user page", -1, "..\\USER\\PAGE3.PPG", true, "我的3", 0},
      {"last page of ten characters", -1, "Default123", true, "我的页面", -1},
      {"last page unknown", -1, "..\\user\\gone.ppg", true, "我的页面", -1},
      {"a new page", -2, "", true, "我的页面", -1},
  };
  for (const Case &c : cases) {
    const TPagePlan plan = PlanPageMenus(table, c.value, c.lastPage, "");
    EXPECT_EQ(plan.otherPressed, c.otherPressed) << c.what;
    if (c.otherPressed) EXPECT_EQ(plan.otherCaption, c.otherCaption) << c.what;
    for (size_t i = 0; i < plan.items.size(); ++i)
      EXPECT_EQ(plan.items[i].marked, int(i) == c.markedItem) << c.what << " item " << i;
  }
}

TEST(PageMenus, PageNamesAreCutOnACharacterBoundary) {
  PageTableData &table = Table(0, 1);
  // 27 ASCII bytes and a two-byte character: 29 bytes, cut before it
  std::snprintf(table.entries[0].name, sizeof table.entries[0].name, "%s页", std::string(27, 'a').c_str());
  const TPagePlan plan = PlanPageMenus(table, 1, "", "");
  EXPECT_EQ(std::string(plan.pageName), std::string(27, 'a'));
  char cut[32];
  CutPageName("页面页面页面页面页面页面页面页面", cut);
  EXPECT_EQ(std::strlen(cut), 28u);
}

TEST(PageMenus, TheCycleWrapsAndStartsFromAnUnsavedPage) {
  const PageTableData &table = Table(3, 1);
  struct Case {
    std::string open;
    bool shift;
    int next;
  } cases[] = {
      {"", false, 0},  {"", true, 3},  {"..\\cfg\\kvpage0.ppg", false, 1}, {"..\\cfg\\kvpage0.ppg", true, 3},
      {"..\\user\\page3.ppg", false, 0}, {"..\\CFG\\KVPAGE2.PPG", true, 1},
  };
  for (const Case &c : cases) EXPECT_EQ(NextPageInCycle(table, c.open, c.shift), c.next) << c.open << c.shift;
  EXPECT_EQ(NextPageInCycle(Table(0, 0), "", false), -1);
}

TEST(LastPage, ShortFilesCountAsEmptyAndALongRecordIsCut) {
  skin_fixture::SkinSandbox box;
  const std::string old = UserDataPath;
  std::snprintf(UserDataPath, sizeof UserDataPath, "%s", skin_fixture::SkinSandbox::UserFolder());
  const std::string file = box.Path("user/LP3.DAT");
  auto write = [&](const std::string &bytes) { std::ofstream(file, std::ios::binary) << bytes; };
  char path[kPagePathSize];
  EXPECT_FALSE(ReadLastPage(path)) << "missing";
  write("..\\cfg\\kvpage1.ppg");
  EXPECT_FALSE(ReadLastPage(path)) << "shorter than 260 bytes";
  EXPECT_EQ(path[0], 0);
  write(std::string(260, 'x'));
  EXPECT_TRUE(ReadLastPage(path));
  EXPECT_EQ(std::strlen(path), 259u);
  std::string record(260, '\0');
  record.replace(0, 7, "Default");
  write(record);
  EXPECT_TRUE(ReadLastPage(path));
  EXPECT_STREQ(path, "Default");
  std::snprintf(UserDataPath, sizeof UserDataPath, "%s", old.c_str());
}

}  // namespace
