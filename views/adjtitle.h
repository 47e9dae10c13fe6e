// The column scheme editor "编辑栏目": one tab per column scheme; in a tab
// the user renames the scheme, moves columns between the chosen and the
// available list, orders them, sets each column's width in digits and the
// number of fixed columns. OK copies the schemes back into the shared
// store and writes their names.
#pragma once

#include <cstdint>
#include <functional>

#include "core/xpbutton.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "core/xptabcontrol.h"
#include "core/xpupdown.h"
#include "classlib/forms.h"
#include "classlib/listbox.h"
#include "classlib/scrollbar.h"
#include "classlib/stdctrls.h"
#include "classlib/tabs.h"
#include "views/colschemes.h"

struct ColumnScheme {
  char name[16];  // at most 8 bytes used
  int32_t ids[kSchemeColumns];
  int32_t widths[kSchemeColumns];
  int32_t count;
  int32_t fixedCount;
};

class TAdjTitle : public TForm {
 public:
  // Takes the schemes from the shared store and their names from the
  // settings files; shows the first.
  explicit TAdjTitle(TComponent *owner);

  void SelectScheme(int tab);
  // The column's label in a tab.
  static std::string ColumnLabel(int tab, int id);

  ColumnScheme schemes[kSchemeCount];
  ColumnScheme *current = &schemes[0];
  // Sounded when a column can't be added.
  void Beep();

  TXPTabControl *XPTabControl1;
  TXPEdit *Edit1, *Edit2, *Edit4;
  TXPUpDown *UpDown1, *UpDown2;
  TXPListBox *ListBox1, *ListBox2;
  TXPButton *Button2, *Button3, *Button4, *Button5, *Button7, *Button8;

  void XPTabControl1Change(TObject *sender);
  void Button3Click(TObject *sender);  // 添加 <-
  void Button4Click(TObject *sender);  // 删除 ->
  void Button5Click(TObject *sender);  // 确定
  void Button7Click(TObject *sender);  // 上移
  void Button8Click(TObject *sender);  // 下移
  void ListBox1Click(TObject *sender);
  void Edit1Change(TObject *sender);
  void Edit2Change(TObject *sender);
  void Edit4Change(TObject *sender);

 private:
  int TabIndexOfCurrent() const { return int(current - schemes); }
  void SwapColumns(int a, int b);
};
