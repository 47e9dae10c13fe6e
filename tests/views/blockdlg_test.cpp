// The block dialogs over the block table: listing, creating, changing and
// deleting user blocks, and the member list of the block editor.
#include "views/blockdlg.h"

#include <gtest/gtest.h>

#include "platform/messages.h"
#include "testing/message_trace.h"
#include "testing/msgbox_recorder.h"
#include "testing/view_harness.h"
#include "tests/views/wizard_fixture.h"

using testing_support::ViewHarness;

namespace {

std::string Names(TListBox *list) {
  std::string out;
  for (int i = 0; i < list->Count(); ++i) out += (i ? "," : "") + list->Items()->Get(i);
  return out;
}

std::string Codes(const std::vector<BLOCKMEMBER> &members) {
  std::string out;
  for (const BLOCKMEMBER &m : members) out += std::to_string(m.market) + ":" + std::to_string(m.stock) + " ";
  return out;
}

class BlockDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    world_.WriteStandard();
    world_.Box().WriteText("cfg/blocks.ini", "[FileInfo]\r\nVersion=1\r\n[^标题]\r\nI1=SH 600036\r\n[蓝筹]\r\nI1=SH 600000\r\n");
    world_.Box().WriteText("user/blocks.ini",
                           "[FileInfo]\r\nVersion=1\r\n[自选一]\r\nI1=SH 600036\r\nI2=SZ 000001\r\n[Mine]\r\nI1=QH RU05\r\n");
    world_.Build();
    hooks_ = BlockHooks();
    BlockHooks().mainWindow = main_.Create(0);
    BlockHooks().rebuildUserBlockMenu = [this] { ++menuRebuilds_; };
    BlockHooks().blockChanged = [this](int id) { changed_.push_back(id); };
  }
  void TearDown() override { BlockHooks() = hooks_; }

  BLOCK *UserBlock(const char *name) { return FindBlockByName(name); }

  wizard_fixture::MarketWorld world_;
  ViewHarness harness_;
  MessageBoxRecorder boxes_{IDYES};
  testing_support::MessageTrace main_;
  BlockDialogHooks hooks_;
  int menuRebuilds_ = 0;
  std::vector<int> changed_;
};

TEST_F(BlockDialogTest, ChoiceModeListsEveryKindButServerBlocksWithoutTheCaret) {
  TEdtBlk choose(nullptr, 0, 0, 4);
  EXPECT_EQ(choose.Caption(), "选择板块");
  EXPECT_FALSE(choose.Button3->Visible());
  EXPECT_EQ(Names(choose.ListBox1), "上海,深圳,上期,大连,指数,A股,指数,A股,期货,期货,标题,蓝筹,自选一,Mine");
  TEdtBlk edit(nullptr, 1, 0, 4);  // edit mode lists the user's blocks only
  EXPECT_EQ(Names(edit.ListBox1), "自选一,Mine");
  EXPECT_TRUE(edit.Button5->Visible());
  edit.ListBox1->SetItemIndex(1);
  edit.Button1Click(nullptr);
  EXPECT_EQ(edit.chosen, 1);
  EXPECT_EQ(edit.chosenId, UserBlock("Mine")->blockId);
}

TEST_F(BlockDialogTest, NewBlockIsAddedToTheTableAndTheFile) {
  TEdtBlk dialog(nullptr, 1, 0, 0);
  dialog.runEditor = [](TModiBk &editor) {
    EXPECT_EQ(editor.Edit1->Text(), "新板块");
    editor.Edit1->SetText("新的");
    editor.ComboBox1->SetItemIndex(1);  // 深圳
    editor.ComboBox1Change(nullptr);
    editor.Button1Click(nullptr);  // all of it
    EXPECT_FALSE(editor.AddMember(editor.Candidate(0)));  // once only
    editor.Button5Click(nullptr);
    return editor.ModalResult();
  };
  dialog.Button3Click(nullptr);
  BLOCK *block = UserBlock("新的");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->kind, kBlockUser);
  EXPECT_EQ(block->memberCount, 5);
  EXPECT_EQ(Names(dialog.ListBox1), "自选一,Mine,新的");
  EXPECT_EQ(dialog.ListBox1->ItemIndex(), 2);
  EXPECT_EQ(menuRebuilds_, 1);
  EXPECT_NE(world_.Box().Read("user/blocks.ini").find("[新的]\r\nI1=SZ 399001\r\nI2=SZ 000001\r\n"), std::string::npos);
}

TEST_F(BlockDialogTest, RenamingToAnotherBlocksNameIsRefusedButKeepingItsOwnIsNot) {
  TEdtBlk dialog(nullptr, 1, 0, 0);
  dialog.ListBox1->SetItemIndex(0);
  int accepted = 0;
  dialog.runEditor = [&](TModiBk &editor) {
    editor.Edit1->SetText("MINE");
    editor.Button5Click(nullptr);
    EXPECT_EQ(editor.accepted, 0);
    editor.Edit1->SetText("自选一");
    editor.Button5Click(nullptr);
    accepted = editor.accepted;
    return editor.ModalResult();
  };
  dialog.Button4Click(nullptr);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "板块“MINE”已存在，请使用其它的板块名称。  ");
  EXPECT_EQ(accepted, 1);
  EXPECT_EQ(changed_, std::vector<int>{UserBlock("自选一")->blockId});
}

TEST_F(BlockDialogTest, DeletingSendsBlockDeletedAndRewritesTheFile) {
  TEdtBlk dialog(nullptr, 1, 0, 0);
  int id = UserBlock("自选一")->blockId;
  dialog.ListBox1->SetItemIndex(0);
  dialog.Button5Click(nullptr);
  EXPECT_EQ(boxes_.Calls().at(0).text, "确实要删除选中的板块吗？  ");
  EXPECT_EQ(Names(dialog.ListBox1), "Mine");
  EXPECT_EQ(UserBlock("自选一"), nullptr);
  ASSERT_EQ(main_.Count(WM_BLOCK_DELETED), 1u);
  for (const auto &m : main_.Messages())
    if (m.message == WM_BLOCK_DELETED) EXPECT_EQ(m.wParam, WPARAM(id));
  EXPECT_EQ(world_.Box().Read("user/blocks.ini"), "[FileInfo]\r\nVersion=1\r\n[Mine]\r\nI1=QH RU05\r\n");
  // The last one too: the list is empty and the menu is rebuilt (without it).
  dialog.Button5Click(nullptr);
  EXPECT_EQ(dialog.ListBox1->Count(), 0);
  EXPECT_EQ(FindUserBlockGroup()->blockCount, 0);
  EXPECT_EQ(menuRebuilds_, 2);
}

// A member whose instrument the market table no longer has gets no line;
// removing and moving address the member each line shows, and the unknown
// member stays.
TEST_F(BlockDialogTest, LinesAddressTheirOwnMembersPastUnknownOnes) {
  BLOCK *block = UserBlock("自选一");
  block->members[2] = block->members[1];
  block->members[1] = BLOCKMEMBER{0, 1, 0x7FFF, 1, 0, 0};  // unknown
  block->memberCount = 3;
  const std::string a = "0:1 ", unknown = "0:32767 ", b = "1:1 ";

  TModiBk editor(nullptr);
  editor.LoadBlock(block->blockId);
  ASSERT_EQ(editor.ListBox1->Count(), 2);
  EXPECT_EQ(Codes(editor.members), a + unknown + b);
  editor.ListBox1->SetSelected(1, true);  // b
  editor.Button7Click(nullptr);           // up
  EXPECT_EQ(Codes(editor.members), b + unknown + a);
  EXPECT_EQ(Names(editor.ListBox1), "平安银行,招商银行");
  EXPECT_TRUE(editor.ListBox1->Selected(0));
  editor.Button3Click(nullptr);  // remove b
  EXPECT_EQ(Codes(editor.members), unknown + a);
  EXPECT_EQ(Names(editor.ListBox1), "招商银行");
}

TEST_F(BlockDialogTest, SelectedRunMovesAsAWholeAndStops) {
  TModiBk editor(nullptr);
  editor.LoadBlock(-1);
  editor.Button1Click(nullptr);  // 上海: 5 members
  editor.ListBox1->SetSelected(2, true);
  editor.ListBox1->SetSelected(3, true);
  for (int i = 0; i < 3; ++i) editor.Button7Click(nullptr);
  EXPECT_EQ(Names(editor.ListBox1), "中国平安,浦发银行,上证指数,招商银行,三六零");
  editor.Button8Click(nullptr);
  EXPECT_EQ(Names(editor.ListBox1), "上证指数,中国平安,浦发银行,招商银行,三六零");
  EXPECT_EQ(editor.members[1].stock, 2);  // the members moved with their lines
}

TEST_F(BlockDialogTest, CodeFilterFindsByCodeNameAndPinyinAndEnterAddsTheOnlyOne) {
  TModiBk editor(nullptr);
  editor.LoadBlock(-1);
  editor.Edit2->SetText("60");
  editor.Edit2Change(nullptr);
  EXPECT_EQ(Names(editor.ListBox2), "招商银行,中国平安,浦发银行");
  editor.Edit2->SetText("zgpa");
  editor.Edit2Change(nullptr);
  EXPECT_EQ(Names(editor.ListBox2), "中国平安");
  WORD key = VK_RETURN;
  editor.Edit2KeyDown(nullptr, key, TShiftState());
  EXPECT_EQ(Names(editor.ListBox1), "中国平安");
  EXPECT_EQ(editor.Edit2->Text(), "");
  editor.Button4Click(nullptr);
  editor.Button5Click(nullptr);  // nothing listed
  EXPECT_EQ(boxes_.Calls().at(0).text, "请先选择商品。  ");
  EXPECT_EQ(editor.accepted, 0);
}

TEST_F(BlockDialogTest, AFullBlockTakesNoMore) {
  TModiBk editor(nullptr);
  editor.LoadBlock(-1);
  editor.members.assign(kMaxBlockMembers, BLOCKMEMBER{1, 1, 1, 0, 0, 0});
  EXPECT_FALSE(editor.AddMember(editor.Candidate(0)));
  EXPECT_EQ(editor.members.size(), size_t(kMaxBlockMembers));
}

TEST_F(BlockDialogTest, Pictures) {
  TEdtBlk dialog(nullptr, 1, 0, 0);
  dialog.Show();
  harness_.Pump();
  harness_.SavePng(harness_.Render(dialog.Handle()), "wizard_edtblk");
  dialog.Hide();
  TModiBk editor(nullptr);
  editor.LoadBlock(UserBlock("自选一")->blockId);
  editor.Show();
  harness_.Pump();
  harness_.SavePng(harness_.Render(editor.Handle()), "wizard_modibk");
  editor.Hide();
}

}  // namespace
