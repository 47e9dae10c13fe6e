// The formula manager over a library made in code: groups and "其它",
// protected formulas, passwords, the change announcements, export with its
// password questions, and the background save after a change.
#include <filesystem>

#include "core/eautolock.h"
#include "core/emem.h"
#include "formula/indexeditor.h"
#include "formula/indexmanager.h"
#include "formula/inputtext.h"
#include "market/rights.h"
#include "platform/messages.h"
#include "testing/common_dialog_recorder.h"
#include "testing/message_trace.h"
#include "testing/view_harness.h"
#include "tests/formula/index_dialog_support.h"

using namespace formula_test;
using testing_support::ViewHarness;

namespace {

class IndexManager : public LibraryFolderTest {
 protected:
  void SetUp() override {
    LibraryFolderTest::SetUp();
    library_.SetFiles((root_ + "/cfg/sys.dat").c_str(), (root_ + "/cfg/sys.dat").c_str(),
                      (root_ + "/user/u.dat").c_str(), ".\\pit.dat");
    AddGroup(library_, "系统", {MakeFormula("K", "X:C;", kIndexSystem), MakeFormula("VOL", "V:VOL;", kIndexSystem),
                              MakeFormula("TWR", "X:C;", kIndexSystem), MakeFormula("MACD", "X:C-O;", kIndexSystem)});
    AddGroup(library_, "我的", {MakeFormula("A", "X:C;", 0, "", "甲"), MakeFormula("B", "X:C+N;", 0, "Pw", "乙", {{"N", 3}}),
                              MakeFormula("C", "X:O;", 1)});
    AddGroup(library_, "其它", {MakeFormula("O1", "X:H;")});
    main_ = trace_.Create(0);
  }
  void TearDown() override {
    // Every announced name is the receiver's to free.
    for (const auto &m : trace_.Messages())
      if (m.message == WM_INDEX_CHANGED) Free(reinterpret_cast<void *>(m.wParam));
    library_.WaitForBackgroundSaves();
    LibraryFolderTest::TearDown();
  }
  std::unique_ptr<TIndexManagerDlg> Open() {
    auto dialog = std::make_unique<TIndexManagerDlg>(nullptr, 0, &library_);
    dialog->mainWindow = main_;
    dialog->runInput = [this](TInputTextDlg &input) {
      inputs_.push_back(input.Label1->Caption());
      if (answers_.empty()) return int(mrCancel);
      input.Edit1->SetText(answers_.front());
      answers_.erase(answers_.begin());
      return int(mrOk);
    };
    return dialog;
  }
  void Select(TIndexManagerDlg &d, const void *data) {
    d.TabControl1->SetTabIndex(0);
    d.TabControl1Change(nullptr);
    d.TreeView1->SetSelected(d.NodeOf(data));
  }
  std::vector<std::string> Announced() {
    harness_.Pump();
    std::vector<std::string> names;
    for (const auto &m : trace_.Messages())
      if (m.message == WM_INDEX_CHANGED) names.push_back(reinterpret_cast<const char *>(m.wParam));
    return names;
  }
  static std::string Chain(const CKvIndexGroup *g) {
    std::string out;
    for (const CKvIndex *f = g->first; f; f = f->next) out += (out.empty() ? "" : ",") + std::string(f->name);
    return out + " (" + std::to_string(g->count) + ")";
  }

  ViewHarness harness_;
  testing_support::MessageTrace trace_;
  HWND main_ = nullptr;
  CKvIndexManager library_;
  std::vector<std::string> answers_, inputs_;
};

TEST_F(IndexManager, TheViewsListGroupsAllFormulasAndTheUsersOwn) {
  auto d = Open();
  EXPECT_EQ(d->TreeView1->Items()->GetFirstNode()->Text(), "系统");
  EXPECT_EQ(d->ListBox1->Count(), 8);
  EXPECT_EQ(d->ListBox2->Count(), 4);
  EXPECT_EQ(d->ListBox2->Items()->Get(0), "A 甲");
  library_.FindIndex("A")->SetUsageNotes("用法");
  d->TabControl1->SetTabIndex(2);
  d->TabControl1Change(d->TabControl1);
  d->ListBox2->SetSelected(0, true);
  d->ListBox2->SetItemIndex(0);
  d->ListBox2->OnClick(nullptr);
  EXPECT_EQ(d->Memo1->Text(), "用法");
}

TEST_F(IndexManager, DeletingAGroupMovesItsFormulasAndKeptRecordsToOther) {
  auto d = Open();
  library_.FindGroup("我的")->kept.push_back("a record that no longer compiles");
  Select(*d, library_.FindGroup("其它"));
  d->D1Click(nullptr);
  EXPECT_EQ(boxes.Calls().back().text, "分组“其它”不可删除。  ");
  boxes.QueueAnswer(IDYES);
  Select(*d, library_.FindIndex("B"));  // any node of the group
  d->D1Click(nullptr);
  EXPECT_EQ(boxes.Calls().back().text, "确定要删除指标组“我的”吗？\r\n\r\n删除后，其中的指标将被移至“其它”组中。");
  EXPECT_EQ(library_.FindGroup("我的"), nullptr);
  EXPECT_EQ(Chain(library_.FindGroup("其它")), "O1,A,B,C (4)");
  EXPECT_EQ(library_.FindGroup("其它")->kept.size(), 1u);
  EXPECT_EQ(d->NodeOf(library_.FindIndex("C"))->Parent(), d->NodeOf(library_.FindGroup("其它")));
  EXPECT_EQ(d->NodeOf(library_.FindIndex("C"))->Text(), "C");
  EXPECT_TRUE(d->modified);
  // Without "其它" it is made for them.
  boxes.QueueAnswer(IDYES);
  Select(*d, library_.FindGroup("其它"));
  CKvIndexGroup *other = library_.FindGroup("其它");
  std::strcpy(other->name, "Old");
  d->D1Click(nullptr);
  EXPECT_EQ(Chain(library_.FindGroup("其它")), "O1,A,B,C (4)");
  EXPECT_EQ(library_.FindGroup("Old"), nullptr);
}

TEST_F(IndexManager, ProtectedFormulasRefuseChangesAndDeletesAsTheirListSays) {
  auto d = Open();
  AddGroup(library_, "更多", {MakeFormula("bar", "X:C;"), MakeFormula("Ox", "X:C;")});
  int editors = 0;
  d->runEditor = [&](TIndexEditorDlg &) { return ++editors, int(mrCancel); };
  for (const char *name : {"K", "TWR", "bar", "Ox"}) {
    d->FillLists();
    Select(*d, library_.FindIndex(name));
    d->Button4Click(nullptr);
    EXPECT_EQ(boxes.Calls().back().text, "指标 " + std::string(name) + " 不可修改。  ");
  }
  EXPECT_EQ(editors, 0);
  for (const char *name : {"K", "VOL"}) {
    Select(*d, library_.FindIndex(name));
    boxes.QueueAnswer(IDYES);
    d->Button5Click(nullptr);
    EXPECT_EQ(boxes.Calls().back().text, "指标 " + std::string(name) + " 不可删除。  ");
    EXPECT_NE(library_.FindIndex(name), nullptr);
  }
  Select(*d, library_.FindIndex("TWR"));
  boxes.QueueAnswer(IDYES);
  d->Button5Click(nullptr);
  EXPECT_EQ(library_.FindIndex("TWR"), nullptr);
  EXPECT_EQ(Chain(library_.FindGroup("系统")), "K,VOL,MACD (3)");
  EXPECT_EQ(Announced(), std::vector<std::string>{"TWR"});
}

TEST_F(IndexManager, TheRightsFormulasNeedTheirRight) {
  AddGroup(library_, "JZ", {MakeFormula("JZBD", "X:C;")});
  auto d = Open();
  int editors = 0;
  d->runEditor = [&](TIndexEditorDlg &) { return ++editors, int(mrCancel); };
  const uint8_t saved = UserRights[kFeatureFormulaByte];
  UserRights[kFeatureFormulaByte] = 0;
  Select(*d, library_.FindIndex("JZBD"));
  d->Button4Click(nullptr);
  EXPECT_EQ(boxes.Calls().back().text, "您没有使用此指标的权限。  ");
  UserRights[kFeatureFormulaByte] = kRightSystemFormulas;
  d->Button4Click(nullptr);
  UserRights[kFeatureFormulaByte] = saved;
  EXPECT_EQ(editors, 1);
}

TEST_F(IndexManager, APasswordIsAskedUntilItIsTypedInAnyCase) {
  auto d = Open();
  answers_ = {"wrong", "pW"};
  int editors = 0;
  d->runEditor = [&](TIndexEditorDlg &editor) {
    ++editors;
    EXPECT_EQ(editor.Edit1->Text(), "B");
    return int(mrCancel);
  };
  Select(*d, library_.FindIndex("B"));
  d->Button4Click(nullptr);
  EXPECT_EQ(inputs_.size(), 2u);
  EXPECT_EQ(editors, 1);
  answers_.clear();  // cancel
  d->Button4Click(nullptr);
  EXPECT_EQ(editors, 1);
  EXPECT_TRUE(boxes.Calls().empty());
}

// Only what changes the calculation is announced: the text, the parameters,
// the kind, and for an overlay its relative-scale bit.
TEST_F(IndexManager, OnlyAChangeThatAltersTheCalculationIsAnnounced) {
  auto d = Open();
  struct Case {
    const char *what;
    std::function<void(TIndexEditorDlg &)> edit;
    bool announced;
  } cases[] = {
      {"description only", [](TIndexEditorDlg &e) { e.Edit2->SetText("新说明"); }, false},
      {"text in another case", [](TIndexEditorDlg &e) { e.RichEdit1->SetText("x:o;"); }, false},
      {"text", [](TIndexEditorDlg &e) { e.RichEdit1->SetText("X:C;"); }, true},
      {"relative scale of an overlay", [](TIndexEditorDlg &e) { e.CheckBox2->SetChecked(true); }, true},
      {"kind", [](TIndexEditorDlg &e) { e.RadioButton3->SetChecked(true); }, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    trace_.Clear();
    Select(*d, library_.FindIndex("C"));
    d->runEditor = [&](TIndexEditorDlg &e) {
      c.edit(e);
      e.Button1Click(nullptr);
      return e.ModalResult();
    };
    d->Button4Click(nullptr);
    EXPECT_EQ(Announced(), c.announced ? std::vector<std::string>{"C"} : std::vector<std::string>{});
    for (const auto &m : trace_.Messages())
      if (m.message == WM_INDEX_CHANGED) Free(reinterpret_cast<void *>(m.wParam));
    trace_.Clear();
  }
  EXPECT_STREQ(library_.FindIndex("C")->description, "新说明");
  // A parameter's default.
  answers_ = {"Pw"};
  Select(*d, library_.FindIndex("B"));
  d->runEditor = [](TIndexEditorDlg &e) {
    e.StringGrid1->SetCells(4, 1, "4");
    e.Button1Click(nullptr);
    return e.ModalResult();
  };
  d->Button4Click(nullptr);
  EXPECT_EQ(Announced(), std::vector<std::string>{"B"});
  EXPECT_EQ(library_.FindIndex("B")->params[0].defaultValue, 4);
  EXPECT_EQ(Chain(library_.FindGroup("我的")), "A,B,C (3)");  // it keeps its place
}

TEST_F(IndexManager, NewGroupsAndFormulasGoWhereTheSelectionSays) {
  auto d = Open();
  answers_ = {"我的", ""};
  d->C1Click(nullptr);
  EXPECT_EQ(boxes.Calls().at(0).text, "同名的指标分组已经存在。  ");
  ASSERT_NE(library_.FindGroup(""), nullptr);  // an empty name makes a group of that name
  EXPECT_EQ(d->TreeView1->Selected(), d->NodeOf(library_.FindGroup("")));
  d->runEditor = [](TIndexEditorDlg &e) {
    e.Edit1->SetText("NEW");
    e.RichEdit1->SetText("X:C;");
    e.Button1Click(nullptr);
    return e.ModalResult();
  };
  Select(*d, library_.FindIndex("A"));
  d->Button3Click(nullptr);
  EXPECT_EQ(Chain(library_.FindGroup("我的")), "A,B,C,NEW (4)");
  EXPECT_EQ(d->ListBox2->Count(), 5);
  d->TabControl1->SetTabIndex(1);
  d->runEditor = [](TIndexEditorDlg &e) {
    e.Edit1->SetText("NEW2");
    e.RichEdit1->SetText("X:C;");
    e.Button1Click(nullptr);
    return e.ModalResult();
  };
  d->Button3Click(nullptr);
  EXPECT_EQ(Chain(library_.FindGroup("其它")), "O1,NEW2 (2)");
  EXPECT_TRUE(d->modified);
}

TEST_F(IndexManager, DeletingFromTheListsAsksOnceAndDropsTheGroupCounts) {
  auto d = Open();
  d->TabControl1->SetTabIndex(1);
  d->TabControl1Change(nullptr);
  d->Button5Click(nullptr);
  EXPECT_EQ(boxes.Calls().back().text, "请先选中要删除的指标。  ");
  for (int i = 0; i < d->ListBox1->Count(); ++i) {
    const std::string text = d->ListBox1->Items()->Get(i);
    if (text.rfind("B ", 0) == 0 || text.rfind("K ", 0) == 0 || text.rfind("C ", 0) == 0) d->ListBox1->SetSelected(i, true);
  }
  boxes.QueueAnswer(IDYES);
  d->Button5Click(nullptr);
  EXPECT_EQ(boxes.Calls().at(1).text, "确实要删除选中的指标吗？  ");
  EXPECT_EQ(Chain(library_.FindGroup("我的")), "A (1)");
  EXPECT_NE(library_.FindIndex("K"), nullptr);  // refused, the walk went on
  EXPECT_EQ(d->ListBox1->Count(), 6);
  EXPECT_EQ(Announced(), (std::vector<std::string>{"B", "C"}));
}

// A change saves the library in the background when the form goes; the
// save waits for the lock the caller holds.
TEST_F(IndexManager, ClosingAfterAChangeSavesTheLibraryOnceTheLockIsFree) {
  {
    EAutoLock hold(&library_.lock);
    auto d = Open();
    Select(*d, library_.FindIndex("A"));
    boxes.QueueAnswer(IDYES);
    d->Button5Click(nullptr);
    d.reset();
    EXPECT_FALSE(std::filesystem::exists(root_ + "/user/u.dat"));
  }
  library_.WaitForBackgroundSaves();
  EXPECT_TRUE(std::filesystem::exists(root_ + "/user/u.dat"));
  CKvIndexManager again;
  again.SetFiles((root_ + "/cfg/sys.dat").c_str(), "", (root_ + "/user/u.dat").c_str(), ".\\pit.dat");
  again.Load();
  EXPECT_EQ(again.FindIndex("A"), nullptr);
  EXPECT_NE(again.FindIndex("B"), nullptr);
}

TEST_F(IndexManager, ExportWritesEachGroupBeforeItsFormulasAndAsksForPasswords) {
  AddGroup(library_, "加密", {MakeFormula("P1", "X:C;", 0, "same"), MakeFormula("P2", "X:C;", 0, "SAME"),
                            MakeFormula("P3", "X:C;", 0, "other")});
  auto d = Open();
  CommonDialogRecorder files;
  const std::string path = root_ + "/out";
  // Tab 1: A and O1, from two groups.
  d->TabControl1->SetTabIndex(1);
  for (int i = 0; i < d->ListBox1->Count(); ++i) {
    const std::string text = d->ListBox1->Items()->Get(i);
    if (text.rfind("A ", 0) == 0 || text.rfind("O1 ", 0) == 0) d->ListBox1->SetSelected(i, true);
  }
  files.QueueFile({true, path, 1});
  d->O1Click(nullptr);
  EXPECT_EQ(boxes.Calls().back().text, "共导出 2 个指标。  ");
  CKvIndexManager back;
  boxes.Clear();
  EXPECT_EQ(ImportIndexFile((path + ".pio").c_str(), back), 2);
  EXPECT_EQ(Chain(back.FindGroup("我的")), "A (1)");
  EXPECT_EQ(Chain(back.FindGroup("其它")), "O1 (1)");

  // A wrong password and Cancel: nothing written, the file is deleted.
  boxes.Clear();
  Select(*d, library_.FindIndex("P3"));
  answers_ = {"nope"};
  files.QueueFile({true, root_ + "/none.pio", 1});
  d->O1Click(nullptr);
  EXPECT_EQ(inputs_, (std::vector<std::string>{"请输入指标 P3 的密码:", "请输入指标 P3 的密码:"}));
  EXPECT_EQ(boxes.Calls().back().text, "没有导出任何指标。  ");
  EXPECT_FALSE(std::filesystem::exists(root_ + "/none.pio"));

  // The shared password: P2's matches it in another case, P3's does not.
  inputs_.clear();
  answers_ = {"same", "other"};
  Select(*d, library_.FindGroup("加密"));
  files.QueueFile({true, root_ + "/none.pio", 1});
  d->O1Click(nullptr);
  EXPECT_EQ(inputs_, (std::vector<std::string>{"请输入指标 P1 的密码:", "请输入指标 P3 的密码:"}));
  EXPECT_EQ(boxes.Calls().back().text, "共导出 3 个指标。  ");
  // An existing file is asked about; No asks for another name.
  boxes.Clear();
  boxes.QueueAnswer(IDNO);
  Select(*d, library_.FindIndex("A"));
  files.QueueFile({true, root_ + "/none", 1});
  d->O1Click(nullptr);
  EXPECT_EQ(boxes.Calls().at(0).text, "文件 " + root_ + "/none.pio 已存在，覆盖吗？  ");
  EXPECT_EQ(files.FileRequests().back().title, "指标导出");
}

TEST_F(IndexManager, ImportRefillsTheViews) {
  auto d = Open();
  IndexExportFile out;
  ASSERT_TRUE(ExportFileCreate(out, library_));
  ASSERT_TRUE(ExportFileWriteGroup(out, "新组"));
  CKvIndex *f = MakeFormula("IMP", "X:C;");
  ASSERT_TRUE(ExportFileWriteFormula(out, *f));
  delete f;
  ASSERT_TRUE(ExportFileFinish(out, (root_ + "/in.pio").c_str()));
  CommonDialogRecorder files;
  files.QueueFile({true, root_ + "/in.pio", 1});
  d->I1Click(nullptr);
  EXPECT_EQ(files.FileRequests().at(0).title, "指标导入");
  EXPECT_EQ(boxes.Calls().back().text, "共导入 1 个指标。  ");
  EXPECT_NE(d->NodeOf(library_.FindIndex("IMP")), nullptr);
  EXPECT_EQ(d->ListBox1->Count(), 9);
  EXPECT_TRUE(d->modified);
}

TEST_F(IndexManager, PictureOfTheManager) {
  auto d = Open();
  d->TreeView1->Items()->GetFirstNode()->Expand(true);
  Select(*d, library_.FindIndex("MACD"));
  d->Show();
  harness_.Pump();
  harness_.SavePng(harness_.Render(d->Handle()), "formula-manager");
  d->Hide();
}

}  // namespace

namespace {

// The manager runs under the program library's lock: another thread (the
// background save's) can't take it until the dialog is gone.
TEST(IndexManagerLock, TheLibrarysLockIsHeldForTheWholeModalRun) {
  ViewHarness harness;
  bool takenDuringRun = true;
  harness.Soon([&] {
    std::thread other([&] {
      takenDuringRun = TryEnterCriticalSection(&KvIndexManager().lock) != 0;
      if (takenDuringRun) LeaveCriticalSection(&KvIndexManager().lock);
    });
    other.join();
    harness.Key(VK_ESCAPE);
  });
  EXPECT_EQ(RunIndexManager(nullptr), mrCancel);
  EXPECT_FALSE(takenDuringRun);
  bool takenAfter = false;
  std::thread([&] {
    takenAfter = TryEnterCriticalSection(&KvIndexManager().lock) != 0;
    if (takenAfter) LeaveCriticalSection(&KvIndexManager().lock);
  }).join();
  EXPECT_TRUE(takenAfter);
}

}  // namespace
