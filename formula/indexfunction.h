// TIndexFunctionDlg "指标函数": the built-in functions and the keywords of
// the formula language by category, with the help text of the selected
// one. The formula editor opens it to insert a function; after OK it reads
// the selected row (all zero when nothing was selected).
#pragma once

#include <string>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xplistbox.h"
#include "core/xpmemo.h"
#include "formula/indexfunc.h"

// The picker's line of a row: its name padded with blanks to 16 characters
// and the first line of its help, cut to at most 63 bytes (never inside a
// double-byte character).
std::string IndexFunctionEntryText(const INDEXFUNC &row);

class TIndexFunctionDlg : public TForm {
 public:
  explicit TIndexFunctionDlg(TComponent *owner);

  // Builds the entry list of the category at that ListBox1 index.
  void ListBox1Click(TObject *sender);
  // Shows the help of the current entry of ListBox2.
  void ListBox2Click(TObject *sender);
  void ShowEntryHelp(int entry);

  TLabel *Label1, *Label2;
  TXPListBox *ListBox1, *ListBox2;
  TXPMemo *Memo1;
  TXPButton *Button1, *Button2;

  int currentCategory = -1;
  int currentEntry = -1;
  INDEXFUNC selected{};

 private:
  void BuildEntries(int category);
};
