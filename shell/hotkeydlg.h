// The keyboard side of the settings: the hot-key editor TSetHotkeyDlg
// ("设置快捷键"), the hot-key help window Thotkeydlg ("快捷键说明") and the
// period-cycle dialog TCycleOrder ("周期循环次序").
//
// Nothing is committed before it is accepted: the editor works on a copy of
// the hot-key table and puts it back with "HotKey.ini" on an accepted OK;
// the period-cycle dialog changes PeriodCycle and "SETTING.INI" together
// only on an accepted OK.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpchecklistbox.h"
#include "core/xpmemo.h"
#include "core/xpstringgrid.h"
#include "core/xptabcontrol.h"
#include "shell/settings_store.h"

class TSetHotkeyDlg : public TForm {
 public:
  explicit TSetHotkeyDlg(TComponent *owner);

  TXPTabControl *XPTabControl1;
  TXPStringGrid *XPStringGrid1;
  TXPMemo *XPMemo1;
  TXPButton *XPButton1, *XPButton2;

  // "确定": every command's cell read back through the key syntax; a cell
  // that does not read back as typed is offered its corrected form. Saved
  // and closed with OK only when every cell passed.
  void XPButton1Click(TObject *sender);
  void XPTabControl1Change(TObject *sender);

  // The table being edited; HotKeyTable takes it on an accepted OK.
  HOTKEYDEF edited[kHotKeyTableSize];
};

class Thotkeydlg : public TForm {
 public:
  explicit Thotkeydlg(TComponent *owner);

  TXPMemo *Memo1;
  TXPButton *Button1, *XPButton1;

  void Button1Click(TObject *sender) { Close(); }
  // "自定义快捷键": the main window's hot-key editor over this window.
  void XPButton1Click(TObject *sender);
  std::function<void()> openEditor;
};

// The fixed lines of the help window and of the editor's help tab.
const std::vector<std::string> &HotKeyHelpLines();
const char *const *HotKeyEditorHelpLines(int &count);

class TCycleOrder : public TForm {
 public:
  explicit TCycleOrder(TComponent *owner);

  TLabel *Label1;
  TXPCheckListBox *XPCheckListBox1;
  TXPButton *XPButton1, *XPButton2, *XPButton3, *XPButton4;

  void XPButton1Click(TObject *sender);  // 上移
  void XPButton2Click(TObject *sender);  // 下移
  void XPButton3Click(TObject *sender);  // 确定

  // The period code an entry carries.
  int CodeAt(int index) const;
};

// The period name of a chart period code 0..14 ("闪电图", "日线"); "" outside.
const char *PeriodName(int code);
