// The alarm windows: the settings dialog TAlartfm ("预警设置") that lists,
// adds, changes and deletes the alarms and sets the engine's switches; the
// condition dialog TModifyAlert ("修改预警条件") for one item; the alarm
// window TAlarmWin ("预警系统") with the items that fired. The first and the
// last are made once, stay on top and only hide when closed.
#pragma once

#include <functional>
#include <string>

#include "classlib/forms.h"
#include "classlib/grids.h"
#include "classlib/imglist.h"
#include "classlib/menus.h"
#include "classlib/stdctrls.h"
#include "classlib/toolbar.h"
#include "core/earray.h"
#include "core/xpbutton.h"
#include "core/xpedit.h"
#include "shell/alarm.h"

// Thresholds in the dialogs: prices with the instrument's decimals, the
// other three as whole numbers; an unset one is an empty text.
std::string AlarmThresholdText(float value, int decimals);
// The price decimals of an instrument (2 when it has no name-table entry).
int AlarmPriceDecimals(STKPTR stock);

class TModifyAlert : public TForm {
 public:
  // Copies the item; the caller reads `item` back after OK.
  TModifyAlert(TComponent *owner, const AlarmData &item);

  AlarmData item;
  TLabel *Label5;
  TCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5;
  TXPEdit *Edit_Up, *Edit_Low, *Edit_CurVol, *Edit_Vol, *Edit_Amount;
  TXPEdit *XPEdit1;
  TXPButton *XPButton1, *XPButton2;
  TButton *Button1, *Button2;

  // A check box enables its edit, or empties and disables it.
  void CheckBoxClick(TObject *sender);
  // "确定": the thresholds and the sound taken, or a refusal that keeps
  // the dialog open.
  void Button1Click(TObject *sender);
  // "浏览...": a wave file from the open-file dialog.
  void XPButton1Click(TObject *sender);
  // The play button.
  void XPButton2Click(TObject *sender);

 private:
  TCheckBox *boxes_[5];
  TXPEdit *edits_[5];
};

// Runs the condition dialog modally on the item (the key preview paused);
// true with the edited item on OK.
bool RunAlarmCondition(TComponent *owner, AlarmData &item);

class TAlartfm : public TForm {
 public:
  explicit TAlartfm(TComponent *owner);

  TStringGrid *BaseGrid;
  TCheckBox *CBPopWin, *CBSound;
  TToolBar *ToolBar1;
  TToolButton *AddButton, *ChangeButton, *DeleteButton, *ClearButton, *RecordButton;
  TMainMenu *MainMenu1;
  TMenuItem *ToolBarItem;
  TImageList *ImageList1;

  void RefreshList();
  void AddClick(TObject *sender);
  void ChangeClick(TObject *sender);
  void DeleteClick(TObject *sender);
  void ClearClick(TObject *sender);
  void RecordClick(TObject *sender);
  void ToolBarItemClick(TObject *sender);

  // What the commands open; the running program's pickers and dialog by
  // default, tests put in their own.
  std::function<bool(STKPTR &chosen)> pickInstrument;
  std::function<bool(AlarmData &item)> editCondition;

 private:
  void DrawCell(int col, int row, const TRect &rect);
  void PostRefreshSubscription();
};

class TAlarmWin : public TForm {
 public:
  explicit TAlarmWin(TComponent *owner);

  TStringGrid *AlarmGrid;
  TLabel *Label1;
  TXPButton *XPButton1, *XPButton2, *XPButton3, *XPButton4;
  // The instrument of each listed row, in row order.
  EArray<STKPTR> rowStocks{kAlarmMaxItems};

  void RefreshList();
  // "查看走势": the row's intraday chart.
  void XPButton1Click(TObject *sender);
  // "设置": the settings dialog.
  void XPButton2Click(TObject *sender);
  // "中止声音"
  void XPButton4Click(TObject *sender);
};

// The two windows made once, null until first used.
extern TAlartfm *AlarmSettingsForm;
extern TAlarmWin *AlarmWindow;

// "预警设置(&S)": the settings dialog made when needed, refreshed and shown.
void ShowAlarmSettings();
// "预警列表(&L)": the alarm window made when needed, refreshed and shown.
void ShowAlarmWindow();
// Frees both windows (the main window's close).
void FreeAlarmWindows();
// "加入预警": the condition dialog on a new item for the instrument, then
// the item added. The new index, -1 when the list is full (nothing shown)
// or the dialog was cancelled.
int AddAlarmFor(TComponent *owner, STKPTR stock);
// The reason text of an item's lowest fired condition.
const char *AlarmReasonText(uint32_t state);
// The firing time of an item in the display zone, "YYYY-MM-DD hh:mm".
std::string AlarmFiredText(const AlarmData &item);
