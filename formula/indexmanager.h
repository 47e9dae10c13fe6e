// TIndexManagerDlg "指标管理": the groups of the formula library and their
// formulas; new and deleted groups, new, changed and deleted formulas
// through the editor, and import and export of ".pio" files. Whoever opens
// it holds the library's lock for the whole modal run (RunIndexManager
// does), so every change happens inside that hold; destroying the form
// after a change saves the library in the background, which waits for the
// lock.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/menus.h"
#include "core/xpbutton.h"
#include "core/xplistbox.h"
#include "core/xpmemo.h"
#include "core/xptabcontrol.h"
#include "core/xptreeview.h"
#include "formula/kvindexlib.h"

class TIndexEditorDlg;
class TInputTextDlg;

// The fallback group.
extern const char kIndexOtherGroup[];

class TIndexManagerDlg : public TForm {
 public:
  // Pick mode 0 is the only one. A null library is the program's.
  explicit TIndexManagerDlg(TComponent *owner, int pickMode = 0, CKvIndexManager *library = nullptr);
  ~TIndexManagerDlg() override;

  void FillLists();
  void FormDestroy();

  void C1Click(TObject *sender);       // 新建分组
  void D1Click(TObject *sender);       // 删除分组
  void I1Click(TObject *sender);       // 导入
  void O1Click(TObject *sender);       // 导出
  void Button3Click(TObject *sender);  // 新建
  void Button4Click(TObject *sender);  // 修改
  void Button5Click(TObject *sender);  // 删除
  void TabControl1Change(TObject *sender);
  // False when the formula may not be deleted (K, VOL).
  bool DeleteFormula(CKvIndex *formula);

  // The formula an action works on: the selected formula node on tab 0,
  // the list's current item when it is selected on tabs 1 and 2.
  CKvIndex *CurrentFormula();
  TTreeNode *NodeOf(const void *data) const;

  TXPTabControl *TabControl1;
  TXPTreeView *TreeView1;
  TXPListBox *ListBox1, *ListBox2;
  TXPMemo *Memo1;
  TXPButton *Button3, *Button4, *Button5, *Button8, *Button9;
  TMainMenu *MainMenu1;
  TMenuItem *C1, *D1, *I1, *O1;

  CKvIndexManager *library;
  uint8_t modified = 0;
  int pickMode;
  // Where WM_INDEX_CHANGED goes; the main form's window unless set.
  HWND mainWindow = nullptr;

  // The nested modal runs; tests replace them to script the dialogs.
  std::function<int(TIndexEditorDlg &)> runEditor;
  std::function<int(TInputTextDlg &)> runInput;

 private:
  CKvIndexGroup *GroupOf(const CKvIndex *formula) const;
  CKvIndexGroup *OtherGroup();
  void ShowNotes();
  void AnnounceChange(const CKvIndex &formula, bool send);
  // Asks for a formula's password until it is typed or the user cancels.
  bool AskPassword(const CKvIndex &formula);
  void ExportTo(const std::string &path, const std::vector<std::pair<CKvIndexGroup *, std::vector<CKvIndex *>>> &plan);
};

// Runs the manager modally under the library's lock (the main window's
// "指标管理" and the K-line view's command).
int RunIndexManager(TComponent *owner);
