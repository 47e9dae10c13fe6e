// The quote service's sector categories in the views: the report's
// sub-block menu on a category tab, a category chosen as a new tab, a
// sub-block taking its category's tab, empty blocks; the block dialogs, the
// instrument picker and the wizard with the categories in the block table.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "market/blocks.h"
#include "market/reqqueue.h"
#include "market/rights.h"
#include "platform/menu.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "testing/report_host.h"
#include "testing/report_world.h"
#include "testing/server_blocks.h"
#include "testing/view_harness.h"
#include "tests/views/wizard_fixture.h"
#include "views/blockdlg.h"
#include "views/colschemes.h"
#include "views/report.h"
#include "views/selstockdlg.h"
#include "views/wizardsearch.h"

using testing_support::RecordingFrameHost;
using testing_support::ReportPage;
using testing_support::ReportWorld;
using testing_support::ViewHarness;

namespace {

int IdOf(const char *name) {
  const BLOCK *b = FindBlockByName(name);
  return b ? b->blockId : -1;
}

std::string MenuText(HMENU menu, int position) {
  char text[64] = {};
  GetMenuStringA(menu, UINT(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

// ---- The report --------------------------------------------------------------------------

class CategoryReportTest : public testing::Test {
 protected:
  CategoryReportTest() {
    world_.Box().WriteText("cfg/SETTING.INI", "[PARAMETER]\r\nSysBlocks=上海 深圳\r\n");
    testing_support::WriteServerBlocks(world_.Box(), testing_support::SmallServerCategories());
    ReloadBlocks();
    for (int m = 0; m < 4; ++m)
      for (int s = 0; s < MarketTable.markets[m]->m_loadedCount; ++s) world_.PutQuote(m, s);
    DSINFO grant{};
    std::memset(grant.marketRights, 0xFF, sizeof grant.marketRights);
    TakeOverRights(grant);
  }
  ~CategoryReportTest() override {
    page_.reset();
    FreeColumnSchemes();
    ClearRights();
  }
  TReport *Open() {
    page_ = std::make_unique<ReportPage>(640, 400);
    harness_.Pump();
    return page_->Report();
  }

  // Runs the action; a popup menu it opens gets the keys and is ended
  // after them. The number of menus that opened.
  int WithMenu(const std::function<void()> &action, std::vector<int> keys) {
    int opened = 0;
    std::function<void(int)> answer = [&, keys](int tries) {
      if (!GetCapture()) {  // the menu is not up yet: behind the press that opens it
        if (tries < 3) harness_.Soon([&answer, tries] { answer(tries + 1); });
        return;
      }
      ++opened;
      for (int k : keys) harness_.PostKey(k);
      harness_.Soon([] { EndMenu(); });
    };
    harness_.Soon([&answer] { answer(0); });
    action();
    harness_.Pump();
    harness_.Pump();
    return opened;
  }
  // A press on a tab, away from its drop-down mark or on it.
  void PressTab(TReport *r, int index, bool onTheMark = false) {
    RECT rect{};
    ASSERT_TRUE(r->TabSet()->GetItemRect(index, &rect));
    harness_.MouseDown(r->TabSet()->Handle(), onTheMark ? rect.right - 8 : rect.left + 4, rect.top + 5);
  }
  void ReleaseTab(TReport *r) { harness_.MouseUp(r->TabSet()->Handle(), 1, 5); }

  ViewHarness harness_;
  ReportWorld world_;
  RecordingFrameHost host_;
  std::unique_ptr<ReportPage> page_;
};

TEST_F(CategoryReportTest, TheSubBlockMenuListsTheCategoryInColumnsOfSixteen) {
  const BLOCK *bank = FindBlockById(IdOf("银行"));
  ASSERT_NE(bank, nullptr);
  ASSERT_EQ(bank->kind, kBlockServer);
  HMENU menu = MakeSubBlockMenu(bank, IdOf("地产"));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 17);
  const char *names[] = {"银行", "地产", "行业03", "行业16", "行业17"};
  const int positions[] = {0, 1, 2, 15, 16};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(MenuText(menu, positions[i]), names[i]);
    EXPECT_EQ(int(GetMenuItemID(menu, positions[i])), IdOf(names[i]));
    const UINT state = GetMenuState(menu, UINT(positions[i]), MF_BYPOSITION);
    EXPECT_EQ((state & MF_CHECKED) != 0, positions[i] == 1);
    EXPECT_EQ((state & MF_MENUBREAK) != 0, positions[i] == 16);  // the 17th starts a column
  }
  DestroyMenu(menu);

  // Another category lists its own blocks, the empty one too.
  menu = MakeSubBlockMenu(FindBlockById(IdOf("华南")), -1);
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  EXPECT_EQ(MenuText(menu, 0), "华东");
  EXPECT_EQ(MenuText(menu, 1), "华南");
  DestroyMenu(menu);
  // A block of no category gives no menu.
  EXPECT_EQ(MakeSubBlockMenu(nullptr, 0), nullptr);
}

TEST_F(CategoryReportTest, APressOnTheSelectedCategoryTabChoosesASubBlock) {
  TReport *r = Open();
  ASSERT_NE(r, nullptr);
  // A sub-block opens as a tab of its own at once, marked as one.
  EXPECT_EQ(WithMenu([&] { ASSERT_TRUE(r->OpenBlockTab(IdOf("银行"), false)); }, {}), 0);
  const int tab = r->TabCount() - 1;
  EXPECT_EQ(r->TabSet()->TabIndex(), tab);
  EXPECT_EQ(r->TabSet()->Tabs.Get(tab), "^银行");
  EXPECT_EQ(r->Core().rowCount, 3);

  // The press on it offers the category: the second item is 地产.
  EXPECT_EQ(WithMenu([&] { PressTab(r, tab); }, {VK_DOWN, VK_DOWN, VK_RETURN}), 1);
  ReleaseTab(r);
  EXPECT_EQ(r->CurrentBlock()->blockId, IdOf("地产"));
  EXPECT_EQ(r->TabId(tab), IdOf("地产"));
  EXPECT_EQ(r->m_attr.tabIds[tab], IdOf("地产"));
  EXPECT_EQ(r->TabSet()->Tabs.Get(tab), "^地产");
  EXPECT_EQ(r->Core().rowCount, 1);

  // Dismissed, the menu changes nothing.
  EXPECT_EQ(WithMenu([&] { PressTab(r, tab); }, {VK_ESCAPE}), 1);
  ReleaseTab(r);
  EXPECT_EQ(r->CurrentBlock()->blockId, IdOf("地产"));
  EXPECT_EQ(r->Core().rowCount, 1);

  // From another tab, a press away from the mark loads the category's tab
  // as it is; a press on the mark offers the menu first.
  EXPECT_EQ(WithMenu([&] { PressTab(r, 0); }, {VK_ESCAPE}), 0);
  ReleaseTab(r);
  ASSERT_EQ(r->LoadedTab(), 0);
  EXPECT_EQ(WithMenu([&] { PressTab(r, tab); }, {VK_ESCAPE}), 0);
  ReleaseTab(r);
  EXPECT_EQ(r->CurrentBlock()->blockId, IdOf("地产"));
  EXPECT_EQ(WithMenu([&] { PressTab(r, 0); }, {VK_ESCAPE}), 0);
  ReleaseTab(r);
  EXPECT_EQ(WithMenu([&] { PressTab(r, tab, true); }, {VK_DOWN, VK_RETURN}), 1);
  ReleaseTab(r);
  EXPECT_EQ(r->CurrentBlock()->blockId, IdOf("银行"));
  EXPECT_EQ(r->TabSet()->TabIndex(), tab);
}

TEST_F(CategoryReportTest, AChosenCategoryOpensItsMenuAndASubBlockTakesItsCategorysTab) {
  TReport *r = Open();
  ASSERT_NE(r, nullptr);
  const int tabs = r->TabCount();
  // "添加板块" lists the category's title entry: its tab asks for a sub-block.
  EXPECT_EQ(WithMenu([&] { ASSERT_TRUE(r->OpenBlockTab(IdOf("^行业板块"), false)); }, {VK_DOWN, VK_RETURN}), 1);
  ASSERT_EQ(r->TabCount(), tabs + 1);
  EXPECT_EQ(r->CurrentBlock()->blockId, IdOf("银行"));
  EXPECT_EQ(r->TabSet()->Tabs.Get(tabs), "^银行");
  EXPECT_EQ(r->LoadedTab(), tabs);

  // Another sub-block of the category goes into the same tab, without a menu.
  EXPECT_EQ(WithMenu([&] { ASSERT_TRUE(r->OpenBlockTab(IdOf("行业17"), false)); }, {VK_ESCAPE}), 0);
  EXPECT_EQ(r->TabCount(), tabs + 1);
  EXPECT_EQ(r->TabId(tabs), IdOf("行业17"));
  EXPECT_EQ(r->TabSet()->Tabs.Get(tabs), "^行业17");
  EXPECT_EQ(r->Core().rowCount, 1);

  // A category dismissed on its first menu leaves the shown block loaded.
  EXPECT_EQ(WithMenu([&] { ASSERT_TRUE(r->OpenBlockTab(IdOf("^地域板块"), false)); }, {VK_ESCAPE}), 1);
  EXPECT_EQ(r->CurrentBlock()->blockId, IdOf("行业17"));
  EXPECT_EQ(r->LoadedTab(), tabs);
}

TEST_F(CategoryReportTest, EmptyBlocksShowNoRowsAndAskTheServerNothing) {
  host_.online = true;
  TReport *r = Open();
  ASSERT_NE(r, nullptr);
  ResetRequestQueue();
  for (const char *name : {"华南", "空概念"}) {
    SCOPED_TRACE(name);
    const BLOCK *b = FindBlockById(IdOf(name));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->memberCount, 0);
    ASSERT_TRUE(r->OpenBlockTab(b->blockId, false));
    EXPECT_EQ(r->CurrentBlock(), b);
    EXPECT_EQ(r->Core().rowCount, 0);
    EXPECT_EQ(r->Grid()->RowCount(), 2);
    SendMessageA(r->Handle(), WM_REPORT_SORT_COLUMN, kColChangePercent, 0);
    EXPECT_EQ(RequestsQueued() + RequestsInFlight(), 0);
  }
  // The category of the empty concept offers just that one block.
  HMENU menu = MakeSubBlockMenu(FindBlockById(IdOf("空概念")), IdOf("空概念"));
  ASSERT_EQ(GetMenuItemCount(menu), 1);
  EXPECT_TRUE(GetMenuState(menu, 0, MF_BYPOSITION) & MF_CHECKED);
  DestroyMenu(menu);
}

// ---- The block dialogs, the picker and the wizard ---------------------------------------

class CategoryDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    world_.WriteStandard();
    world_.Box().WriteText("cfg/blocks.ini", "[FileInfo]\r\nVersion=1\r\n[蓝筹]\r\nI1=SH 600000\r\n");
    world_.Box().WriteText("user/blocks.ini", "[FileInfo]\r\nVersion=1\r\n[自选一]\r\nI1=SZ 000001\r\n");
    testing_support::WriteServerBlocks(world_.Box(), testing_support::SmallServerCategories());
    world_.Build();
  }
  static std::string Lines(TListBox *list) {
    std::string out;
    for (int i = 0; i < list->Count(); ++i) out += (i ? "," : "") + list->Items()->Get(i);
    return out;
  }
  wizard_fixture::MarketWorld world_;
  ViewHarness harness_;
};

TEST_F(CategoryDialogTest, CategoriesAreChosenByTheirTitlesAndTheirBlocksNeverListed) {
  ASSERT_EQ(FindBlockById(IdOf("银行"))->memberCount, 3);
  TEdtBlk choose(nullptr, 0, 0, 4);
  EXPECT_EQ(Lines(choose.ListBox1),
            "上海,深圳,上期,大连,指数,A股,指数,A股,期货,期货,行业板块,地域板块,概念板块,蓝筹,自选一");
  choose.ListBox1->SetItemIndex(10);
  choose.Button1Click(nullptr);
  EXPECT_EQ(choose.chosenId, IdOf("^行业板块"));
  // Editing lists the user's blocks only.
  TEdtBlk edit(nullptr, 1, 0, 4);
  EXPECT_EQ(Lines(edit.ListBox1), "自选一");
}

TEST_F(CategoryDialogTest, ThePickerAndTheWizardLeaveTheCategoriesOut) {
  TSelStockDlg picker(nullptr, 0, 0);
  std::string tree;
  for (int i = 0; i < picker.XPTreeView1->Items()->Count(); ++i) {
    TTreeNode *node = picker.XPTreeView1->Items()->Item(i);
    tree += (i ? "," : "") + std::string(node->Level(), '-') + node->Text();
  }
  EXPECT_EQ(tree, "上海,-指数,-A股,深圳,-指数,-A股,上期,-期货,大连,-期货,蓝筹,自选一");

  // Instruments of many sector blocks are found once, from their market.
  TWizardSearch search;
  ASSERT_TRUE(search.SearchStocks("000001"));
  ASSERT_EQ(search.StockCount(), 2);
  EXPECT_EQ(search.Stock(0).market, 1);
  EXPECT_EQ(search.Stock(1).market, 0);
}

}  // namespace
