#include "formula/indexmanager.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <cstring>

#include "classlib/dialogs.h"
#include "core/eautolock.h"
#include "core/emem.h"
#include "formula/indexdlgparts.h"
#include "formula/indexdlgtext.h"
#include "formula/indexeditor.h"
#include "formula/inputtext.h"
#include "formula/piofile.h"
#include "market/rights.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"

const char kIndexOtherGroup[] = "其它";

namespace {

const char kPioFilter[] = "指标导出文件(*.pio)|*.pio";

std::string Field(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

std::string EntryText(const CKvIndex &f) {
  return Field(f.name, sizeof f.name) + " " + Field(f.description, sizeof f.description);
}

int Ask(HWND owner, const std::string &text, const char *title, UINT buttons) {
  return MessageBoxA(owner, text.c_str(), title, buttons | MB_TOPMOST);
}

TXPButton *MakeButton(TForm *form, const char *caption, int x) {
  return MakeIndexButton(form, caption, x, 332, 70, 25);
}

TMenuItem *MakeItem(TComponent *owner, TMenuItem *parent, const char *caption) {
  auto *item = new TMenuItem(owner);
  item->Caption = caption;
  parent->Add(item);
  return item;
}

// The formula behind a list line.
CKvIndex *LineFormula(TListBox *list, int line) {
  return line >= 0 && line < list->Count() ? reinterpret_cast<CKvIndex *>(list->Items()->GetObject(line)) : nullptr;
}

void RemoveLine(TListBox *list, const CKvIndex *formula) {
  for (int i = list->Count() - 1; i >= 0; --i)
    if (LineFormula(list, i) == formula) list->Items()->Delete(i);
}

bool HasSystemFormulaRight() { return (UserRights[kFeatureFormulaByte] & kRightSystemFormulas) != 0; }

bool IsRightsFormula(const char *name) {
  for (const char *n : {"JZBD", "JZGZ", "JZSP"})
    if (SameGbkTextNoCase(name, n)) return true;
  return false;
}

}  // namespace

TIndexManagerDlg::TIndexManagerDlg(TComponent *owner, int mode, CKvIndexManager *lib)
    : TForm(owner), library(lib ? lib : &KvIndexManager()), pickMode(mode) {
  SetCaption("指标管理");
  SetBorderStyle(bsDialog);
  SetClientSize(407, 365);
  Position = poScreenCenter;
  runEditor = [](TIndexEditorDlg &editor) { return editor.ShowModal(); };
  runInput = [](TInputTextDlg &input) { return input.ShowModal(); };
  if (TCustomForm *main = Application()->MainForm()) mainWindow = main->Handle();

  TabControl1 = new TXPTabControl(this);
  TabControl1->SetParent(this);
  TabControl1->SetBounds(8, 8, 391, 252);
  for (const char *tab : {"分组", "全部", "自编"}) TabControl1->Tabs()->Add(tab);
  TabControl1->OnChange = [this](TObject *s) { TabControl1Change(s); };
  const TRect page = TabControl1->DisplayRect();
  const TRect inner(page.Left + 2, page.Top + 2, page.Right - 2, page.Bottom - 2);
  TreeView1 = new TXPTreeView(this);
  TreeView1->SetParent(TabControl1);
  TreeView1->SetBounds(inner.Left, inner.Top, inner.Width(), inner.Height());
  TreeView1->ReadOnly = true;
  TreeView1->HideSelection = false;
  TreeView1->OnChange = [this](TObject *, TTreeNode *) { ShowNotes(); };
  TreeView1->OnDblClick = [this](TObject *) {
    if (TreeView1->Selected() && TreeView1->Selected()->Level() > 0) Button4Click(this);
  };
  for (TXPListBox **list : {&ListBox1, &ListBox2}) {
    *list = new TXPListBox(this);
    (*list)->SetParent(TabControl1);
    (*list)->SetBounds(inner.Left, inner.Top, inner.Width(), inner.Height());
    (*list)->MultiSelect = true;
    (*list)->SetSorted(true);
    (*list)->Hide();
    (*list)->OnClick = [this](TObject *) { ShowNotes(); };
    (*list)->OnDblClick = [this](TObject *) { Button4Click(this); };
  }
  Memo1 = new TXPMemo(this);
  Memo1->SetParent(this);
  Memo1->SetBounds(8, 264, 391, 62);
  Memo1->SetReadOnly(true);
  Memo1->ScrollBars = ssVertical;

  Button3 = MakeButton(this, "新建", 8);
  Button4 = MakeButton(this, "修改", 82);
  Button5 = MakeButton(this, "删除", 156);
  MakeIndexOkCancel(this, Button8, Button9, 255, 329, 332, 70, 25, true);
  Button3->OnClick = [this](TObject *s) { Button3Click(s); };
  Button4->OnClick = [this](TObject *s) { Button4Click(s); };
  Button5->OnClick = [this](TObject *s) { Button5Click(s); };

  MainMenu1 = new TMainMenu(this);
  TMenuItem *groups = MakeItem(this, MainMenu1->Items(), "分组管理(&G)");
  C1 = MakeItem(this, groups, "新建分组(&C)");
  D1 = MakeItem(this, groups, "删除分组(&D)");
  TMenuItem *files = MakeItem(this, MainMenu1->Items(), "导入导出(&P)");
  I1 = MakeItem(this, files, "导入(&I)");
  O1 = MakeItem(this, files, "导出(&O)");
  C1->OnClick = [this](TObject *s) { C1Click(s); };
  D1->OnClick = [this](TObject *s) { D1Click(s); };
  I1->OnClick = [this](TObject *s) { I1Click(s); };
  O1->OnClick = [this](TObject *s) { O1Click(s); };
  Menu = MainMenu1;

  FillLists();
  TabControl1->SetTabIndex(0);
  TabControl1Change(nullptr);
}

TIndexManagerDlg::~TIndexManagerDlg() { FormDestroy(); }

void TIndexManagerDlg::FormDestroy() {
  if (!modified) return;
  modified = 0;
  library->SaveInBackground();
}

void TIndexManagerDlg::FillLists() {
  TreeView1->Items()->BeginUpdate();
  TreeView1->Items()->Clear();
  ListBox1->Clear();
  ListBox2->Clear();
  for (CKvIndexGroup *g = library->groups; g; g = g->next) {
    TTreeNode *node = TreeView1->Items()->Add(nullptr, Field(g->name, sizeof g->name));
    node->Data = g;
    for (CKvIndex *f = g->first; f; f = f->next) {
      TTreeNode *child = TreeView1->Items()->AddChild(node, EntryText(*f));
      child->Data = f;
      const int line = ListBox1->Items()->Add(EntryText(*f));
      ListBox1->Items()->PutObject(line, reinterpret_cast<TObject *>(f));
      if (!(f->flags & kIndexSystem)) {
        const int own = ListBox2->Items()->Add(EntryText(*f));
        ListBox2->Items()->PutObject(own, reinterpret_cast<TObject *>(f));
      }
    }
  }
  TreeView1->Items()->EndUpdate();
  for (TXPListBox *list : {ListBox1, ListBox2}) list->SetItemIndex(list->Count() ? 0 : -1);
}

TTreeNode *TIndexManagerDlg::NodeOf(const void *data) const {
  TTreeNodes *nodes = TreeView1->Items();
  for (int i = 0; i < nodes->Count(); ++i)
    if (nodes->Item(i)->Data == data) return nodes->Item(i);
  return nullptr;
}

CKvIndexGroup *TIndexManagerDlg::GroupOf(const CKvIndex *formula) const {
  for (CKvIndexGroup *g = library->groups; g; g = g->next)
    for (const CKvIndex *f = g->first; f; f = f->next)
      if (f == formula) return g;
  return nullptr;
}

CKvIndexGroup *TIndexManagerDlg::OtherGroup() {
  if (CKvIndexGroup *other = library->FindGroup(kIndexOtherGroup)) return other;
  auto *other = new CKvIndexGroup(kIndexOtherGroup);
  library->AddGroup(other);
  TTreeNode *node = TreeView1->Items()->Add(nullptr, kIndexOtherGroup);
  node->Data = other;
  return other;
}

CKvIndex *TIndexManagerDlg::CurrentFormula() {
  switch (TabControl1->TabIndex()) {
    case 0: {
      TTreeNode *node = TreeView1->Selected();
      return node && node->Level() > 0 ? static_cast<CKvIndex *>(node->Data) : nullptr;
    }
    case 1:
    case 2: {
      TXPListBox *list = TabControl1->TabIndex() == 1 ? ListBox1 : ListBox2;
      const int line = list->ItemIndex();
      return line >= 0 && list->Selected(line) ? LineFormula(list, line) : nullptr;
    }
    default: return nullptr;
  }
}

void TIndexManagerDlg::ShowNotes() {
  const CKvIndex *f = CurrentFormula();
  Memo1->SetText(f && f->usageNotes ? WithCrLf(f->usageNotes) : std::string());
}

void TIndexManagerDlg::TabControl1Change(TObject *sender) {
  const int tab = TabControl1->TabIndex();
  TreeView1->SetVisible(tab == 0);
  ListBox1->SetVisible(tab == 1);
  ListBox2->SetVisible(tab == 2);
  if (sender) {
    TWinControl *shown = tab == 0 ? static_cast<TWinControl *>(TreeView1) : tab == 1 ? ListBox1 : ListBox2;
    if (shown->CanFocus()) shown->SetFocus();
  }
  ShowNotes();
}

void TIndexManagerDlg::AnnounceChange(const CKvIndex &formula, bool send) {
  auto *name = static_cast<char *>(Malloc(16));
  if (!name) return;
  std::memcpy(name, formula.name, 16);
  // The main window frees the copy once it has passed it on.
  const bool delivered = mainWindow && IsWindow(mainWindow) &&
                         (send ? (SendMessageA(mainWindow, WM_INDEX_CHANGED, WPARAM(name), 0), true)
                               : PostMessageA(mainWindow, WM_INDEX_CHANGED, WPARAM(name), 0) != 0);
  if (!delivered) Free(name);
}

bool TIndexManagerDlg::AskPassword(const CKvIndex &formula) {
  TInputTextDlg input(this);
  for (;;) {
    input.Setup("输入密码", "请输入指标公式的密码:", nullptr, 1, 31);
    if (runInput(input) != mrOk) return false;
    if (SameGbkTextNoCase(input.Edit1->Text().c_str(), Field(formula.password, sizeof formula.password).c_str()))
      return true;
  }
}

// ---- Groups --------------------------------------------------------------------------------

void TIndexManagerDlg::C1Click(TObject *) {
  TabControl1->SetTabIndex(0);
  TabControl1Change(nullptr);
  TInputTextDlg input(this);
  for (;;) {
    input.Setup("新建指标分组", "请输入指标分组名称:", nullptr, 0, 31);
    if (runInput(input) != mrOk) return;
    const std::string name = GbkPrefix(input.Edit1->Text(), 31);
    if (library->FindGroup(name.c_str())) {
      Ask(Handle(), "同名的指标分组已经存在。  ", "错误", MB_ICONWARNING);
      continue;
    }
    auto *group = new CKvIndexGroup(name.c_str());
    library->AddGroup(group);
    TTreeNode *node = TreeView1->Items()->Add(nullptr, name);
    node->Data = group;
    TreeView1->SetSelected(node);
    if (TreeView1->CanFocus()) TreeView1->SetFocus();
    modified = 1;
    return;
  }
}

void TIndexManagerDlg::D1Click(TObject *) {
  TTreeNode *node = TabControl1->TabIndex() == 0 ? TreeView1->Selected() : nullptr;
  if (!node) {
    Ask(Handle(), "请先选中要删除的指标组。  ", "提示", MB_ICONINFORMATION);
    return;
  }
  while (node->Parent()) node = node->Parent();
  auto *group = static_cast<CKvIndexGroup *>(node->Data);
  if (SameGbkTextNoCase(group->name, kIndexOtherGroup)) {
    Ask(Handle(), "分组“其它”不可删除。  ", "错误", MB_ICONERROR);
    return;
  }
  const std::string question = "确定要删除指标组“" + Field(group->name, sizeof group->name) +
                               "”吗？\r\n\r\n删除后，其中的指标将被移至“其它”组中。";
  if (Ask(Handle(), question, "确认", MB_YESNO | MB_ICONQUESTION) != IDYES) return;

  // Its formulas, and the records kept for formulas that no longer
  // compile, move to "其它": nothing of the group is lost.
  if (group->first || !group->kept.empty()) {
    CKvIndexGroup *other = OtherGroup();
    TTreeNode *otherNode = NodeOf(other);
    CKvIndex **end = &other->first;
    while (*end) end = &(*end)->next;
    *end = group->first;
    for (CKvIndex *f = group->first; f; f = f->next) {
      ++other->count;
      TTreeNode *child = TreeView1->Items()->AddChild(otherNode, Field(f->name, sizeof f->name));
      child->Data = f;
    }
    for (std::string &record : group->kept) other->kept.push_back(std::move(record));
    group->first = nullptr;
    group->count = 0;
    group->kept.clear();
  }
  for (CKvIndexGroup **link = &library->groups; *link; link = &(*link)->next)
    if (*link == group) {
      *link = group->next;
      break;
    }
  group->next = nullptr;
  delete group;
  modified = 1;
  node->Delete();
  if (TreeView1->CanFocus()) TreeView1->SetFocus();
}

// ---- Formulas ------------------------------------------------------------------------------

void TIndexManagerDlg::Button3Click(TObject *) {
  TIndexEditorDlg editor(this);
  editor.library = library;
  if (runEditor(editor) != mrOk) return;
  auto *formula = new CKvIndex;
  formula->Assign(editor.index);
  CKvIndexGroup *group = nullptr;
  if (TabControl1->TabIndex() == 0)
    if (TTreeNode *node = TreeView1->Selected()) {
      while (node->Parent()) node = node->Parent();
      group = static_cast<CKvIndexGroup *>(node->Data);
    }
  if (!group) group = OtherGroup();
  group->Add(formula);
  const std::string name = Field(formula->name, sizeof formula->name);
  TreeView1->Items()->AddChild(NodeOf(group), name)->Data = formula;
  ListBox1->Items()->PutObject(ListBox1->Items()->Add(name), reinterpret_cast<TObject *>(formula));
  if (!(formula->flags & kIndexSystem))
    ListBox2->Items()->PutObject(ListBox2->Items()->Add(name), reinterpret_cast<TObject *>(formula));
  modified = 1;
}

void TIndexManagerDlg::Button4Click(TObject *) {
  CKvIndex *formula = CurrentFormula();
  if (!formula) return;
  const std::string name = Field(formula->name, sizeof formula->name);
  if (IsUnmodifiableIndex(formula->name)) {
    Ask(Handle(), "指标 " + name + " 不可修改。  ", "提示", MB_ICONWARNING);
    return;
  }
  if (IsRightsFormula(formula->name) && !HasSystemFormulaRight()) {
    Ask(Handle(), "您没有使用此指标的权限。  ", "警告", MB_ICONWARNING);
    return;
  }
  if ((formula->flags & kIndexSystem) &&
      Ask(Handle(), "确定要修改系统指标吗？指标修改后不可恢复，并且修改的内容有可能在软件更新时被覆盖。  ", "确认",
          MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  if ((formula->flags & kIndexHasPassword) && !AskPassword(*formula)) return;

  TIndexEditorDlg editor(this);
  editor.library = library;
  editor.LoadIndex(*formula);
  if (runEditor(editor) != mrOk) return;
  const CKvIndex &result = editor.index;
  const uint32_t kind = formula->flags & kIndexKindMask;
  const bool changed =
      !SameGbkTextNoCase(formula->formulaText ? formula->formulaText : "", result.formulaText ? result.formulaText : "") ||
      formula->paramCount != result.paramCount ||
      std::memcmp(formula->params, result.params, sizeof(CKvIndexParam) * std::min(result.paramCount, 16u)) != 0 ||
      kind != (result.flags & kIndexKindMask) ||
      (kind == 1 && (formula->flags & kIndexOwnRange) != (result.flags & kIndexOwnRange));
  formula->Assign(result);
  if (changed) AnnounceChange(*formula, false);
  modified = 1;
}

bool TIndexManagerDlg::DeleteFormula(CKvIndex *formula) {
  if (IsUndeletableIndex(formula->name)) {
    Ask(Handle(), "指标 " + Field(formula->name, sizeof formula->name) + " 不可删除。  ", "提示", MB_ICONWARNING);
    return false;
  }
  if (TTreeNode *node = NodeOf(formula)) node->Delete();
  RemoveLine(ListBox1, formula);
  RemoveLine(ListBox2, formula);
  modified = 1;
  AnnounceChange(*formula, true);
  if (CKvIndexGroup *group = GroupOf(formula)) {
    if (group->first == formula) {
      group->SetChain(formula->next);
    } else {
      CKvIndex *before = group->first;
      while (before->next != formula) before = before->next;
      before->next = formula->next;
      --group->count;
    }
  }
  formula->next = nullptr;
  delete formula;
  ShowNotes();
  return true;
}

void TIndexManagerDlg::Button5Click(TObject *) {
  const int tab = TabControl1->TabIndex();
  if (tab == 0) {
    CKvIndex *formula = CurrentFormula();
    if (!formula) {
      Ask(Handle(), "请先选中要删除的指标。  ", "提示", MB_ICONINFORMATION);
      return;
    }
    if (Ask(Handle(), "确实要删除指标 " + Field(formula->name, sizeof formula->name) + " 吗？  ", "确认",
            MB_YESNO | MB_ICONQUESTION) == IDYES)
      DeleteFormula(formula);
    return;
  }
  TXPListBox *list = tab == 1 ? ListBox1 : ListBox2;
  if (list->SelCount() == 0) {
    Ask(Handle(), "请先选中要删除的指标。  ", "提示", MB_ICONINFORMATION);
    return;
  }
  if (Ask(Handle(), "确实要删除选中的指标吗？  ", "确认", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  for (int line = 0; line < list->Count();) {
    CKvIndex *formula = list->Selected(line) ? LineFormula(list, line) : nullptr;
    if (formula && DeleteFormula(formula)) continue;  // the line is gone; the next one moved up
    ++line;
  }
}

// ---- Import and export ---------------------------------------------------------------------

void TIndexManagerDlg::I1Click(TObject *) {
  TOpenDialog dialog(this);
  dialog.InitialDir = ".\\";
  dialog.Filter = kPioFilter;
  dialog.Title = "指标导入";
  dialog.Options = ofHideReadOnly | ofFileMustExist | ofNoChangeDir;
  if (!dialog.Execute()) return;
  if (ImportIndexFile(dialog.FileName.c_str(), *library) < 0) return;
  modified = 1;
  FillLists();
  ShowNotes();
}

void TIndexManagerDlg::O1Click(TObject *) {
  using Plan = std::vector<std::pair<CKvIndexGroup *, std::vector<CKvIndex *>>>;
  Plan plan;
  const int tab = TabControl1->TabIndex();
  if (tab == 0) {
    TTreeNode *node = TreeView1->Selected();
    if (!node) {
      Ask(Handle(), "请先选中要导出的分组或指标。  ", "提示", MB_ICONINFORMATION);
      return;
    }
    if (node->Level() > 0) {
      auto *formula = static_cast<CKvIndex *>(node->Data);
      plan.push_back({GroupOf(formula), {formula}});
    } else {
      auto *group = static_cast<CKvIndexGroup *>(node->Data);
      plan.push_back({group, {}});
      for (CKvIndex *f = group->first; f; f = f->next) plan.back().second.push_back(f);
    }
  } else {
    TXPListBox *list = tab == 1 ? ListBox1 : ListBox2;
    if (list->SelCount() == 0) {
      Ask(Handle(), "请先选中要导出的指标。  ", "提示", MB_ICONINFORMATION);
      return;
    }
    std::vector<const CKvIndex *> chosen;
    for (int i = 0; i < list->Count(); ++i)
      if (list->Selected(i)) chosen.push_back(LineFormula(list, i));
    for (CKvIndexGroup *g = library->groups; g; g = g->next) {
      std::vector<CKvIndex *> formulas;
      for (CKvIndex *f = g->first; f; f = f->next)
        if (std::find(chosen.begin(), chosen.end(), f) != chosen.end()) formulas.push_back(f);
      if (!formulas.empty()) plan.push_back({g, formulas});
    }
  }

  TSaveDialog dialog(this);
  dialog.InitialDir = ".\\";
  dialog.Filter = kPioFilter;
  dialog.Title = "指标导出";
  dialog.Options = ofHideReadOnly | ofPathMustExist | ofNoChangeDir;
  std::string path;
  for (;;) {
    if (!dialog.Execute()) return;
    path = dialog.FileName;
    if (path.size() < 4 || !SameGbkTextNoCase(path.substr(path.size() - 4).c_str(), ".pio")) path += ".pio";
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    if (Ask(Handle(), "文件 " + path + " 已存在，覆盖吗？  ", "确认", MB_YESNO | MB_ICONQUESTION) == IDYES) break;
  }
  ExportTo(path, plan);
}

void TIndexManagerDlg::ExportTo(const std::string &path,
                                const std::vector<std::pair<CKvIndexGroup *, std::vector<CKvIndex *>>> &plan) {
  IndexExportFile out;
  if (!ExportFileCreate(out, *library)) return;
  int written = 0;
  std::string shared;  // the password accepted for every protected formula
  std::unique_ptr<TInputTextDlg> input;
  for (const auto &[group, formulas] : plan) {
    if (!ExportFileWriteGroup(out, group ? group->name : "")) break;
    for (CKvIndex *f : formulas) {
      const std::string password = Field(f->password, sizeof f->password);
      if ((f->flags & kIndexHasPassword) && !(!shared.empty() && SameGbkTextNoCase(shared.c_str(), password.c_str()))) {
        if (!input) input = std::make_unique<TInputTextDlg>(this);
        const std::string prompt = "请输入指标 " + Field(f->name, sizeof f->name) + " 的密码:";
        bool matched = false;
        for (;;) {
          input->Setup("输入密码", prompt, "所有加密指标均使用此密码", 1, 31);
          if (runInput(*input) != mrOk) break;
          if ((matched = SameGbkTextNoCase(input->Edit1->Text().c_str(), password.c_str()))) break;
        }
        if (!matched) continue;
        if (input->CheckBox1->Checked()) shared = password;
      }
      if (!ExportFileWriteFormula(out, *f)) break;
      ++written;
    }
    if (out.failed) break;
  }
  if (!out.failed) ExportFileFinish(out, path.c_str());
  if (written > 0) {
    Ask(Handle(), "共导出 " + std::to_string(written) + " 个指标。  ", "提示", MB_ICONINFORMATION);
  } else {
    DeleteFileA(path.c_str());
    Ask(Handle(), "没有导出任何指标。  ", "提示", MB_ICONINFORMATION);
  }
}

int RunIndexManager(TComponent *owner) {
  EAutoLock hold(&KvIndexManager().lock);
  TIndexManagerDlg dialog(owner, 0);
  return dialog.ShowModal();
}
