#include "shell/startmenus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "classlib/menus.h"
#include "shell/framemenus.h"
#include "shell/hotkeys.h"
#include "testing/image_capture.h"
#include "testing/skin_fixture.h"

namespace {

using skin_fixture::SkinSandbox;

void Ini(const std::string &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

std::unique_ptr<TBlockTable> Blocks() {
  auto table = std::make_unique<TBlockTable>();
  std::memset(static_cast<void *>(table.get()), 0, sizeof *table);
  auto block = [&](const char *name, int kind) {
    BLOCK &b = table->blocks[table->blockCount];
    std::snprintf(b.name, sizeof b.name, "%s", name);
    b.blockId = int16_t(table->blockCount);
    b.kind = uint8_t(kind);
    b.inUse = 1;
    return table->blockCount++;
  };
  BLOCKGROUP &g0 = table->groups[table->groupCount++];
  std::snprintf(g0.name, sizeof g0.name, "行业");
  g0.type = 2;
  for (int i = 0; i < 40; ++i) g0.blockIds[g0.blockCount++] = uint16_t(block(("行业" + std::to_string(i)).c_str(), 2));
  g0.blockIds[g0.blockCount++] = uint16_t(block("别的", 3));  // not of kind 2
  BLOCKGROUP &g1 = table->groups[table->groupCount++];
  std::snprintf(g1.name, sizeof g1.name, "空组");
  g1.type = 2;
  g1.blockIds[g1.blockCount++] = 40;
  BLOCKGROUP &g2 = table->groups[table->groupCount++];
  std::snprintf(g2.name, sizeof g2.name, "指数");
  g2.type = 1;
  g2.blockIds[g2.blockCount++] = uint16_t(block("指数一", 3));
  return table;
}

const std::vector<TMarketMenuSource> kMarkets = {{"上海期货市场", {"铜", "铝"}}, {"大连商品", {"豆一"}}, {"郑州", {}}};

TEST(StartMenus, MarketsBlocksAndUserBlocks) {
  TMenuItem root(nullptr);
  auto table = Blocks();
  BuildMarketBlockMenus(&root, kMarkets, *table, nullptr);
  ASSERT_GE(root.Count(), 3);
  EXPECT_EQ(root.Items(0)->Caption, "上海期货");
  EXPECT_EQ(root.Items(0)->Items(0)->Caption, "所有品种");
  EXPECT_EQ(root.Items(0)->Items(0)->Tag, 0);
  EXPECT_EQ(root.Items(0)->Items(2)->Tag, 3) << "market count + kind number";
  EXPECT_EQ(root.Items(1)->Items(2)->Tag, 5);
  EXPECT_EQ(root.Items(2)->Caption, "郑州");
  EXPECT_TRUE(root.Items(3)->IsLine()) << "after market 2";
  TMenuItem *industry = nullptr;
  for (int i = 0; i < root.Count(); ++i)
    if (root.Items(i)->Caption == "行业") industry = root.Items(i);
  ASSERT_NE(industry, nullptr);
  ASSERT_EQ(industry->Count(), 40);
  std::vector<int> breaks;
  for (int i = 0; i < industry->Count(); ++i)
    if (industry->Items(i)->BarBreak) breaks.push_back(i);
  EXPECT_EQ(breaks, (std::vector<int>{16, 32})) << "columns of 16, 16 and 8";
  for (int i = 0; i < root.Count(); ++i) EXPECT_NE(root.Items(i)->Caption, "空组") << "an empty group goes";
  EXPECT_EQ(root.Items(root.Count() - 1)->Caption, "指数") << "no user blocks: no 自选板块";

  // user blocks: listed from the first group's member count on; built twice, one submenu
  BLOCK &mine = table->blocks[table->blockCount];
  std::snprintf(mine.name, sizeof mine.name, "我的板块");
  mine.blockId = int16_t(table->blockCount++);
  mine.kind = 4;
  mine.inUse = 1;
  BuildUserBlockMenu(&root, *table, nullptr);
  BuildUserBlockMenu(&root, *table, nullptr);
  int userMenus = 0;
  for (int i = 0; i < root.Count(); ++i) userMenus += root.Items(i)->Caption == "自选板块";
  EXPECT_EQ(userMenus, 1);
  EXPECT_EQ(root.Items(root.Count() - 1)->Items(0)->Caption, "我的板块");
  mine.inUse = 0;
  BuildUserBlockMenu(&root, *table, nullptr);
  EXPECT_EQ(root.Items(root.Count() - 1)->Caption, "指数");
}

TEST(StartMenus, TheWebMenuEndsAtTheFirstMissingItemAndSkipsValuesWithoutAColon) {
  SkinSandbox box;
  const char *ini = "..\\CFG\\SETTING.INI";
  Ini(box.Path("CFG/SETTING.INI"),
      "[WEB]\r\nMenuName=资讯站\r\nWeb1=首页:http://127.0.0.1/a\r\nWeb2=没有冒号\r\nWeb3=行情:http://127.0.0.1:8080/b\r\n"
      "Web5=后面:http://127.0.0.1/c\r\n");
  TMenuItem menu(nullptr);
  std::vector<int> clicked;
  BuildWebMenu(&menu, ini, [&](TMenuItem *item) { clicked.push_back(int(item->Tag)); }, nullptr);
  EXPECT_EQ(menu.Caption, "资讯站");
  EXPECT_EQ(DumpMenuTree(&menu), "首页\n行情  #2\n-\n随身行情\n");
  menu.Items(1)->Click();
  EXPECT_EQ(clicked, std::vector<int>{2});
  EXPECT_EQ(WebAddress(ini, 2), "http://127.0.0.1:8080/b");
  EXPECT_EQ(WebAddress(ini, 1), "") << "no colon";
  Ini(box.Path("CFG/SETTING.INI"), "");
  BuildWebMenu(&menu, ini, nullptr, nullptr);
  EXPECT_EQ(DumpMenuTree(&menu), "-\n随身行情\n");
  EXPECT_EQ(menu.Caption, "网站");
}

TEST(StartMenus, TradingProgramsCarryTheirHotKeys) {
  SkinSandbox box;
  Ini(box.Path("CFG/TRADING.INI"), "[CONSIGN]\r\nName0=甲\r\nName1=乙下单程序十四字节\r\nName3=丁\r\n");
  auto keys = [](int command) { return command == 83 ? std::string("Ctrl+T") : std::string("F11"); };
  struct Case {
    bool bound;
    const char *dump;
  } cases[] = {
      {true, "kivo\n-\n甲          Ctrl+T  #1\n乙下单程序十四字节  #2\n丁  #4\n"},
      {false, "kivo\n-\n甲          F11  #1\n乙下单程序十四字节 Ctrl+T  #2\n丁  #4\n"},
  };
  for (const Case &c : cases) {
    TMenuItem menu(nullptr);
    AddMenuItem(&menu, "kivo");
    AddMenuItem(&menu, "-");
    BuildTradeMenu(&menu, "..\\CFG\\TRADING.INI", c.bound, keys, nullptr);
    BuildTradeMenu(&menu, "..\\CFG\\TRADING.INI", c.bound, keys, nullptr);
    EXPECT_EQ(DumpMenuTree(&menu), c.dump) << c.bound;
  }
}

TEST(StartMenus, StylesAndTheDumpOfTheFixedMenus) {
  SkinSandbox box;
  Ini(box.Path("user/clrfont.ini"), "[Color0]\r\nName=经典\r\n[Color1]\r\nName=明亮\r\n[Color3]\r\nName=跳过\r\n");
  TMenuItem styles(nullptr);
  BuildStyleMenu(&styles, "..\\user\\clrfont.ini", 1, nullptr);
  EXPECT_EQ(DumpMenuTree(&styles), "经典 [radio]\n明亮  #1 [checked] [radio]\n");

  // The whole tree as start-up leaves it with these files, for a person
  // to read beside the pictures.
  TComponent owner(nullptr);
  TMainMenu main(&owner);
  TPopupMenu tools(&owner), board(&owner);
  BuildFixedMenus(&owner, &main, &tools, &board);
  auto table = Blocks();
  BuildMarketBlockMenus(FindMenuItem(main.Items(), "N2"), kMarkets, *table, nullptr);
  BuildStyleMenu(FindMenuItem(main.Items(), "N33"), "..\\user\\clrfont.ini", 0, nullptr);
  const std::string dump = DumpMenuTree(main.Items()) + "-- PopupMenu1\n" + DumpMenuTree(tools.Items()) +
                           "-- PopupMenu3\n" + DumpMenuTree(board.Items());
  std::ofstream(testing_support::PicturePath("menu-tree.txt"), std::ios::binary) << dump;
  for (const char *caption : {"系统\n", "帮助\n", "  退出系统      Alt+F4\n", "  上海期货\n", "    经典 [checked] [radio]\n",
                              "  3列(&3)  #3 [radio]\n"})
    EXPECT_NE(dump.find(caption), std::string::npos) << caption;
}

// Every menu line of the hot-key captions names one item of the fixed menus,
// and the item it names is the one its text describes: rewriting the
// captions renames no other item (the help menu, a separator, another
// period).
TEST(StartMenus, HotKeyCaptionsNameTheItemsTheyDescribe) {
  TComponent owner(nullptr);
  TMainMenu main(&owner);
  TPopupMenu tools(&owner), board(&owner);
  BuildFixedMenus(&owner, &main, &tools, &board);
  std::function<int(TMenuItem *, const std::string &)> count = [&](TMenuItem *root, const std::string &name) {
    int n = 0;
    for (int i = 0; i < root->Count(); ++i) n += (root->Items(i)->Name == name) + count(root->Items(i), name);
    return n;
  };
  for (int i = 0; i < HotKeyCaptionCount(); ++i) {
    const THotKeyCaption &row = HotKeyCaptionAt(i);
    if (row.hint) continue;
    EXPECT_EQ(count(main.Items(), row.item) + count(tools.Items(), row.item) + count(board.Items(), row.item), 1)
        << row.item;
    TMenuItem *item = FindMenuItem(main.Items(), row.item);
    if (!item) item = FindMenuItem(tools.Items(), row.item);
    ASSERT_NE(item, nullptr) << row.item;
    const std::string format = row.format;
    const std::string words = format.substr(0, format.find(' '));
    EXPECT_EQ(item->Caption.substr(0, words.size()), words) << row.item;
  }
}

}  // namespace
