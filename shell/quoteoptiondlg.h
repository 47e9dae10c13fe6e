// The display options dialog TQuoteOptionDlg ("参数设置"): one dialog for its
// four callers. The main menu shows all three pages with the page list; the
// quote report only its page; the K-line and intraday views the chart page
// with their own group. "确定" checks both indicator lists before it writes
// any key; the instant controls (the two bid/ask enlargements and the
// selected-row options) write theirs at once.
#pragma once

#include <cstdint>
#include <functional>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpchecklistbox.h"
#include "core/xpcombobox.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "core/xptabcontrol.h"
#include "core/xpupdown.h"
#include "market/marketrecords.h"

enum class TOptionCaller { kMainMenu, kReport, kKLine, kIntraday };

constexpr int kDetailGroupCount = 7;
constexpr int kDetailListSize = 32;
// The 35 item codes the dialog offers, in its order, and its default list.
extern const uint8_t kOptionItemCatalogue[35];
extern const uint8_t kOptionDefaultItems[];
extern const int kOptionDefaultItemCount;

// What the instant controls and OK reach beyond the dialog; the main
// window fills them (tests put in their own).
struct TOptionEffects {
  // Every intraday and K-line view redraws its quote panel.
  std::function<void()> refreshChartQuotePanels;
  // Every quote report applies its fonts and colours anew.
  std::function<void()> applyReportFonts;
  // WM_DISPLAY_SETTINGS_CHANGED to the main window with this lParam.
  std::function<void(int what)> settingsChanged;
  // The theme tool's command line started; false when it can't be.
  std::function<bool(const char *commandLine)> startThemeTool;
  // The main window's handle given to the theme tool.
  std::function<HWND()> mainWindow;
};
TOptionEffects &OptionEffects();

class TQuoteOptionDlg : public TForm {
 public:
  explicit TQuoteOptionDlg(TComponent *owner);

  // Shows what the caller's form of the dialog has and fills the controls
  // from the settings; stock is the instrument it was opened for.
  void Configure(TOptionCaller caller, STKPTR stock = STKPTR());

  TXPListBox *XPListBox1;
  TPanel *Panel1, *Panel2, *Panel3;
  // 界面
  TXPComboBox *XPComboBox4, *XPComboBox5;
  // 报价窗口
  TXPComboBox *XPComboBox2;
  TXPEdit *XPEditF3;
  TXPUpDown *XPUpDownF2;
  TXPCheckBox *XPCheckBoxF13, *XPCheckBoxF14, *XPCheckBoxHighLightLimit;
  // 走势图和K线图
  TXPCheckBox *XPCheckBox2, *XPCheckBox3, *XPCheckBox7, *XPCheckBox10, *XPCheckBox14;
  TXPEdit *XPEditF4;
  TXPUpDown *XPUpDownF1;
  TGroupBox *GroupBox1, *GroupBox2;
  TLabel *LabelMain, *LabelSub, *LabelCycle, *LabelZoom, *LabelTickZoom;
  TXPEdit *XPEdit1, *XPEdit2;
  TXPComboBox *XPComboBox1, *XPComboBox3;
  TXPCheckBox *XPCheckBox1, *XPCheckBox6, *XPCheckBox4, *XPCheckBox8, *XPCheckBox9;
  TXPCheckBox *XPCheckBox5, *XPCheckBox11, *XPCheckBox12, *XPCheckBox13;
  TXPComboBox *XPComboBox6;
  TXPTabControl *XPTabControl1;
  TXPCheckListBox *XPCheckListBox1;
  TXPButton *XPButtonUp, *XPButtonDown;
  TXPCheckBox *XPCheckBox100;
  TXPButton *XPButton1, *XPButton2, *XPButton5, *XPButton6;

  STKPTR stock;
  // One list per market group, zero-terminated unless full.
  uint8_t items[kDetailGroupCount][kDetailListSize] = {};

  void XPButton1Click(TObject *sender);  // 确定
  void XPButton5Click(TObject *sender);  // 恢复为初始值
  void XPButton6Click(TObject *sender);  // 颜色和字体
  void XPComboBox4Change(TObject *sender);
  void XPListBox1Click(TObject *sender);
  void XPTabControl1Change(TObject *sender);
  void XPTabControl1Changing(TObject *sender, bool &allow);
  void XPEditF4Change(TObject *sender);
  void XPEditF3Change(TObject *sender);
  void SelectedRowClick(TObject *sender);
  void MoveUpClick(TObject *sender);
  void MoveDownClick(TObject *sender);

  // The checked entries of the list in view, in list order (at most 32),
  // the rest 0.
  void CheckedItems(uint8_t (&out)[kDetailListSize]) const;
  // The item code an entry carries.
  int ItemCodeAt(int index) const;

 private:
  void FillFromSettings();
  void FillItemList(const uint8_t *list, bool firstTab, bool restoreNames);
  void ShowPage(int page);
  bool ValidateIndicators(bool mainList, const char *text);
  bool instantAttached_ = false;
};

// The bits of [UI] "Property" the dialog edits.
enum : uint32_t {
  kPropDetailsBottomUp = 0x1,
  kPropInfoLeft = 0x4,
  kPropNotCentredOnClose = 0x8,
  kPropHideAxis = 0x20,
  kPropAxisRight = 0x40,
  kPropWheelPage = 0x80,
  kPropWheelNext = 0x100,
  kPropNoEnterCycle = 0x200,
  kPropNoTickAverage = 0x400,
  kPropRedGreenVolume = 0x1000,
  kPropNotRaisedInterest = 0x2000,
  kPropHideTradeLines = 0x4000,
};
