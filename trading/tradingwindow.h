// The trading window's widgets inside the main window's Panel7: the login
// page, the text page, the check-list page, the navigation (tree docked,
// tabs floating), the command strip, the collapse button, the order panels
// and list area that later parts fill, the query, bank and about pages and
// the event-log page. It shows what the desk holds (TDeskUi), lays itself
// out with ComputeTradingLayout, draws its floating frame and moves and
// sizes itself from that frame, since the platform sizes top-level windows
// only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "classlib/extctrls.h"
#include "core/ownerdrawpanel.h"
#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpcombobox.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "core/xpradiobutton.h"
#include "core/xprichedit.h"
#include "core/xptabcontrol.h"
#include "core/xptreeview.h"
#include "trading/bankpage.h"
#include "trading/querypage.h"
#include "trading/tradedesk.h"
#include "trading/tradelayout.h"

// The contract, volume and price fields of an order panel or of the
// quick-deal bar.
struct TOrderFieldsModel {
  std::string contract, volume, price;
  bool priceEnabled = true;
  int stepper = 1;
  std::string priceKind = "1.限价";
};

class TBankForm;
class TQueryForm;
class TTradeKeyTargets;
class TTradingWindowKeys;
class TTradeDispatcher;
class TOrderPanelForms;
class TListAreaForm;
class TListCommands;
class TDeskAutomation;
class TCheckListPanel;
class TConditionPagePanel;
class TConditionPage;
class TConditionDialogModel;
class TStopDialogModel;
struct TConditionDialogRun;

class TTradingWindow : public TDeskUi {
 public:
  // Builds the widgets into panel (Panel7) and becomes the desk's window.
  TTradingWindow(TOwnerDrawPanel *panel, TTradingDesk &desk);
  ~TTradingWindow() override;
  TTradingWindow(const TTradingWindow &) = delete;
  TTradingWindow &operator=(const TTradingWindow &) = delete;

  // The named control ("XPEdit5", "PanelCmdBtn", ...), or null.
  TControl *Control(const std::string &name) const;
  // A control of a panel built elsewhere, found by Control(name) from now on.
  void RegisterControl(const std::string &name, TControl *control) { names_[name] = control; }
  TOwnerDrawPanel *Panel7() const { return panel_; }
  // The dispatcher's answers for the text page, the bank and query pages
  // and the report dialog reach them through its hooks.
  void ConnectDispatcher(TTradeDispatcher &dispatcher);
  // The lists' form over the list area (made on the first call), its
  // commands bound to this window's panels; the dispatcher must be
  // connected first.
  TListAreaForm *ShowListArea(TListCommands &commands);
  TListAreaForm *listArea = nullptr;
  // The automation on screen: the after-login check list over Panel21, the
  // condition-order page in its place beside the lists, and the stop
  // dialog opened from the position list. Made on the first call; the
  // dispatcher must be connected first.
  void ConnectAutomation(TDeskAutomation &automation, TListCommands &commands);
  TCheckListPanel *checkListPanel = nullptr;
  TConditionPagePanel *conditionPagePanel = nullptr;
  std::unique_ptr<TConditionPage> conditionPage;
  // The two dialogs' modal runs (the forms, with the shell's modal-dialog
  // flag set around them, unless replaced).
  std::function<bool(TConditionDialogModel &)> runConditionDialog;
  std::function<void(TStopDialogModel &)> runStopDialog;
  // The shell's modal-dialog flag.
  std::function<void(bool)> setModal;
  // The instrument a selected check-list row names, shown in the active view.
  std::function<void(STKPTR)> showInstrument;
  // The stop dialog for the position at that index of the array.
  void SetStopOrderForPosition(int32_t position);
  // What a new condition order's dialog needs of the window.
  TConditionDialogRun ConditionDialogRun();
  // The condition-order page on its first tab, filled, shown and its list
  // focused.
  void ShowConditionPage();
  // The bank and query pages' models, made on first use.
  TBankPage &Bank();
  TQueryPage &Query();
  // The broker's notice in the text page: wrapped, centred, its addresses
  // shown and reported as links.
  void ShowNotice(const char *text);
  // The window as the main window's key routing sees it.
  TTradeKeyTargets &Keys();
  // The navigation item of the shown page, -1 for a page without one.
  int NavigationItem() const;
  TTradingSizes sizes;
  // The order panels' forms, once built: the keys drive them.
  TOrderPanelForms *orderForms = nullptr;
  // Layouts run so far.
  int layoutCount = 0;

  // ---- the frame ----
  void Panel7Resize(TObject *sender);
  int Panel7NcHittest(int screenX, int screenY);
  // WM_NCMOUSEMOVE's cursor; false when the code is not handled.
  bool Panel7SetCursor(int hit);
  void Panel7GetMinMaxInfo(MINMAXINFO *info);
  void Panel7Draw(HDC dc, const RECT &rect);
  void PanelCmdBtnDraw(HDC dc, const RECT &rect);
  // WM_TRADE_FOCUS: hides the keypad when the focus left the password edit
  // and the keypad. The handle is only compared.
  void TradeFocus(LPARAM control);

  // ---- focus-back and mirroring ----
  void RefocusOrderPanel() override;
  void RefocusOrderArea() override;
  void PutCursor(POINT screen) override;
  void ClearOrderStatusLine() override;
  // The order panel of layout 0 or 1 and the quick-deal bar.
  TOrderFieldsModel orderPanel, quickDeal;
  void MirrorPanelToQuickDeal(bool contract, bool volume, bool price);
  void MirrorQuickDealToPanel(bool contract, bool volume, bool price);
  // The about page's two links.
  void Label38Click();
  void Label41Click();

  // ---- TDeskUi ----
  void ReadLoginPage(TLoginPageModel &page) override;
  void LoginPageChanged() override;
  void VerifyCodeChanged() override;
  void FocusPasswordEdit() override;
  void ClearViewer() override;
  bool LoadViewer(const char *path) override;
  void FocusViewer() override;
  void ViewerPlain() override;
  void ViewerFontSize(int size) override;
  void ShowQuickKeys() override;
  void TextButtons(const char *confirm, const char *exit) override;
  void TaskProgress(const std::string &text) override;
  void Layout() override { Panel7Resize(nullptr); }
  bool Docked() override;
  RECT PanelBounds() override;
  bool PanelVisible() override;
  SIZE MainClientSize() override;
  void Dock(int height) override;
  void Float(const RECT &rect) override;
  void ShowQuickDeal(bool show) override;
  void OrderLayoutChanged(int from, int to) override;
  void RepaintFrame() override;
  void ConnectionBand(int height) override;
  void OrderFilter(bool cancellable, bool allShown) override;
  void RedrawNavigation() override;
  void ReadPasswordPage(TPasswordPageModel &page) override;
  void PasswordPageChanged(const TPasswordPageModel &page) override;
  void FocusCurrentPassword() override;
  bool RunOptionsDialog() override;
  void RunReportDialog() override;
  // The bank and query pages: their forms fill the tab controls' places
  // once a page is first shown; the query page's password tab takes the
  // password controls.
  void BankPageReset() override;
  void QueryTabChange() override;
  void ConditionTabsFirst() override;

  bool quickDealShown = false;
  // The order filter: "可撤" checked, "全部" shown.
  bool cancellableFilter = true, allFilterShown = true;

  // ---- controls ----
  TPanel *Panel11, *Panel25;
  TOwnerDrawPanel *Panel13, *Panel21, *PanelCmdBtn, *Panel1012, *Panel12, *PanelF22, *Panel4, *Panel14, *PanelVerify,
      *ImageSoftKey, *PanelSoftKey;
  TLabel *Label26, *Label7, *Label8, *LabelSK1, *Label10, *Label27, *Label18, *Label38, *Label41;
  TXPListBox *XPListBox1;
  TXPEdit *XPEdit4, *XPEdit5, *XPEditSK1, *XPEdit8, *XPEdit9, *XPEdit10;
  TXPComboBox *XPComboBoxSecurityType, *XPComboBox2;
  TXPCheckBox *XPCheckBox1;
  TXPButton *XPButton5, *XPButton6, *XPButton19, *XPButton18, *XPButton48, *XPButton25;
  TXPButton *keypad[11];  // XPButton7..XPButton17
  TXPButton *XPButtonCmdClose, *XPButtonCmdFloat, *XPButtonCmdMinimize, *XPButtonCmdLock;
  TXPRadioButton *XPRadioButtonUI[4];
  TXPRichEdit *XPRichEdit1;
  TXPTreeView *XPTreeView1;
  TXPTabControl *XPTabControl1, *XPTabControl2, *XPTabControl3, *XPTabControl4;
  TOwnerDrawPanel *logPage;
  TQueryGate queryGate;
  std::unique_ptr<TBankPage> bankPage;
  std::unique_ptr<TQueryPage> queryPage;
  TBankForm *bankForm = nullptr;
  TQueryForm *queryForm = nullptr;
  TSplitter *Splitter2;

 private:
  void Build();
  void BuildLoginPage();
  void BuildNavigation();
  void BuildStrip();
  void Panel11Resize();
  void Panel13Resize();
  void DrawVerifyCode(HDC dc, const RECT &rect);
  void DrawKeypadIcon(HDC dc, const RECT &rect);
  void DrawCollapse(HDC dc, RECT &rect);
  void PanelProc(TMessage &message);
  void SelectNavigation(int item);
  void Name(const std::string &name, TControl *control) { names_[name] = control; }
  // A page whose labels show through (drawn by the class library).
  TPanel *MakePage(TWinControl *parent, const std::string &name);
  TOwnerDrawPanel *MakePanel(TWinControl *parent, const std::string &name, TColor color);
  TXPButton *MakeButton(TWinControl *parent, const std::string &name, const char *caption);
  TLabel *MakeLabel(TWinControl *parent, const std::string &name, const char *caption);
  TXPEdit *MakeEdit(TWinControl *parent, const std::string &name, int maxLength);

  TOwnerDrawPanel *panel_;
  TTradingDesk &desk_;
  TWndMethod panelProc_;
  std::map<std::string, TControl *> names_;
  bool navigating_ = false;  // the navigation's change handlers are detached
  int dragHit_ = 0;          // the frame part being dragged (0: none)
  POINT dragFrom_{0, 0};
  RECT dragStart_{0, 0, 0, 0};
  int viewerFontSize_ = 9;
  std::unique_ptr<TTradingWindowKeys> keys_;
  TTradeDispatcher *dispatcher_ = nullptr;
  TDeskAutomation *automation_ = nullptr;
};
