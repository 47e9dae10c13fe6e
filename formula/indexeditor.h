// TIndexEditorDlg "指标编辑器": writes a new formula or changes one. It works
// on a formula of its own and never touches the library: after OK the
// caller copies the definition out (CKvIndex::Assign). The caller holds the
// library's lock while the dialog is open.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "classlib/dialogs.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpedit.h"
#include "core/xpmemo.h"
#include "core/xpradiobutton.h"
#include "core/xpstringgrid.h"
#include "core/xptabcontrol.h"
#include "formula/indexfunc.h"
#include "formula/kvindex.h"

class CKvIndexManager;
class TIndexFunctionDlg;
class TIndexGridEditor;

// The text the editor inserts for a picked row, with one '#' at its end for
// every character the caret then moves back ("MA(,)##").
std::string IndexInsertTemplate(const INDEXFUNC &row);
// ",COLOR" and the six hexadecimal digits BBGGRR of a colour.
std::string IndexColorOptionText(COLORREF color);
// The online help page of the formula language.
extern const char kIndexHelpAddress[];

class TIndexEditorDlg : public TForm {
 public:
  explicit TIndexEditorDlg(TComponent *owner);
  ~TIndexEditorDlg() override;

  // Shows an existing formula: its name can then not be changed.
  void LoadIndex(const CKvIndex &formula);
  void FillParamGrid();
  // The parameters from the grid and a test compile of the text; true when
  // both passed. Messages go to StaticText1.
  bool CheckAndTest();

  void Button1Click(TObject *sender);  // 确定
  void Button3Click(TObject *sender);  // 测试
  void Button4Click(TObject *sender);  // 插入函数
  void Button5Click(TObject *sender);  // 插入颜色
  void Button6Click(TObject *sender);  // 帮助
  void CheckBox1Click(TObject *sender);
  void RadioButtonClick(TObject *sender);
  void TabControl1Change(TObject *sender);
  void PopupMenu1Popup(TObject *sender);
  // Puts text at the caret of the formula box as typing would (replacing a
  // selection, undoable), then moves the caret back `back` characters.
  void InsertAtCaret(const std::string &text, int back);

  TXPEdit *Edit1, *Edit2, *Edit3;
  TXPCheckBox *CheckBox1, *CheckBox2;
  TLabel *StaticText1;
  TXPStringGrid *StringGrid1;
  TXPRadioButton *RadioButton1, *RadioButton2, *RadioButton3;
  TXPTabControl *TabControl1;
  TXPMemo *RichEdit1;  // the formula box: a memo with undo, replace and paste
  TXPMemo *Memo1;      // usage notes
  TXPButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6;
  TColorDialog *ColorDialog1;
  TPopupMenu *PopupMenu1;
  TMenuItem *UndoItem, *CutItem, *CopyItem, *PasteItem, *DeleteItem, *SelectAllItem;

  // The dialog's own formula: the result after OK.
  CKvIndex index;
  // The library new names are checked against.
  CKvIndexManager *library;
  // Runs the function picker modally; tests replace it.
  std::function<int(TIndexFunctionDlg &)> runPicker;

 private:
  std::unique_ptr<TIndexGridEditor> gridEditor_;
  TXPRadioButton *MakeRadio(const char *caption, int top, intptr_t tag);
};
