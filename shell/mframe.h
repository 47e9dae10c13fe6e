// The main window TMFrame: it owns the long-lived objects of the terminal
// (the market table, the block table, the page, the quote clients, the
// alarm engine, the trading arrays), logs in through the login dialog when
// it is created, keeps both quote connections alive with its one-second
// timer, and is the one window the quote clients, the views and the worker
// threads report to.
//
// What it asks of the other parts of the program goes through TFrameParts:
// parts that exist are called there for real, parts still to come (menus,
// tool bars, status-bar painting, quote board, keyboard wizard, alarms, the
// trading desk) are calls that do nothing visible. Tests replace it to trace
// the order of the steps and to script the login.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/earray.h"
#include "core/emenubar.h"
#include "core/etooltip.h"
#include "market/marketrecords.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "shell/dispatcher.h"
#include "shell/framechrome.h"
#include "shell/framecore.h"
#include "shell/quoteboard.h"
#include "shell/maintimer.h"
#include "shell/tradingrecords.h"
#include "trading/deskdata.h"
#include "views/viewattr.h"
#include "views/viewhost.h"

class EMenuBar;
class EWnd;
class TKeyPreview;
class TSmartKB;
class TTradeKeyTargets;
class WizardSources;
class TMFrame;
class TMultiViewMain;
class TBlockGroup;
class TDeskHost;
class TTradingDesk;
class TDeskAutomation;
class TTradingWindow;
class TTradeDispatcher;
class TListCommands;
class TOrderPanel;
class TManualOrder;
class TOrderEntry;
class TOrderPanelForms;
namespace platform {
class PostEndpoint;
}

// The calls of the main window into the rest of the program, in the order
// its creation and shut-down make them. Step announces each numbered step of
// the construction ("construct.N"), the creation ("create.N") and the
// shut-down ("close.N") before it runs.
class TFrameParts {
 public:
  virtual ~TFrameParts() = default;
  virtual void Step(const char *name) { (void)name; }

  // ---- construction ----
  // The tool-bar layout and the skin of the display settings.
  virtual void LayoutToolBarAndSkin(TMFrame &frame);
  virtual void UpdateHotKeyCaptions(TMFrame &frame);
  // ---- creation ----
  virtual void SubclassControls(TMFrame &frame) { (void)frame; }
  virtual void LoadFormulaLibrary();
  virtual void LoadPageList();
  virtual void LoadNewsIndex(TMFrame &frame);
  virtual void SetupTradingPanel(TMFrame &frame) { (void)frame; }
  // The keyboard wizard "智能键盘", made once and freed at the close.
  virtual void CreateKeyboardWizard(TMFrame &frame);
  // The login dialog run modally: 1 logged in, 2 cancelled, 3 offline.
  virtual int ShowLoginDialog(TMFrame &frame, bool relogin);
  virtual void BuildStartupMenus(TMFrame &frame);
  virtual void ShowViewTools(TMFrame &frame, bool show, int kind);
  virtual void BuildPageMenu(TMFrame &frame, int mark);
  // The key preview as the application's message handler.
  virtual void InstallKeyPreview(TMFrame &frame);
  // The application's hints shown in the frame's tooltip.
  virtual void InstallHintHandler(TMFrame &frame);
  virtual void BuildSettingsMenus(TMFrame &frame);
  // The board's block, colours, cell size and layout at start-up.
  virtual void SetupQuoteBoard(TMFrame &frame);
  virtual void BuildWebMenu(TMFrame &frame);
  // The screen-capture dialog, run modally.
  virtual void ShowCaptureDialog(TMFrame &frame) { (void)frame; }
  // The alarm engine; destroying it writes "ALARM.SET".
  virtual void CreateAlarmEngine();
  virtual void DestroyAlarmEngine();
  virtual void LoadMarketMerger();
  // ---- running ----
  virtual void TradeTimer(TMFrame &frame) { (void)frame; }
  virtual void TradingIdle(TMFrame &frame) { (void)frame; }
  virtual void RemapTradeContracts(TMFrame &frame) { (void)frame; }
  virtual void PttLinkStart() {}
  // ---- shut-down ----
  virtual void QuitServiceClient() {}
  virtual void PttLinkStop() {}
  virtual void TradingLogout(TMFrame &frame) { (void)frame; }
  virtual void FreeKeyboardWizard(TMFrame &frame);
  virtual void SaveColumnSchemes();

  // Trading is bound (the plug-in's table is filled).
  virtual bool TradingBound() { return false; }
};

// The parts as the program has them today.
TFrameParts &DefaultFrameParts();

// What "条件单" hands the condition dialog: the active order panel's
// contract, price and volume, and the side and offset the ordinary panel
// hints at.
struct TConditionRequest;
TConditionRequest ConditionRequestFromPanels(const TTradeDesk &desk, TOrderPanel &panel, const TOrderEntry &entry);

// The one main window, null before it exists and after it is gone.
extern TMFrame *MainFrame;
// While not 0 the main window's key preview turns no key into a command:
// set around every modal dialog of the shell and the views, and while a
// view's text box has the focus.
extern uint8_t KeyHookPaused;

class TMFrame : public TForm, public TMainFrameHost {
 public:
  // arguments: the program's command line after its name.
  explicit TMFrame(TComponent *owner, TFrameParts &parts = DefaultFrameParts(),
                   std::vector<std::string> arguments = {});
  ~TMFrame() override;

  // ---- life cycle ----
  void FormCreate(TObject *sender);
  void FormShow(TObject *sender);
  void FormCloseQuery(TObject *sender, bool &canClose);
  void FormClose(TObject *sender, TCloseAction &action);

  // ---- connections ----
  // 1 logged in or browsing offline, 0 otherwise.
  int RunLoginDialog(bool relogin);
  // On the login dialog's worker, after a login: the market table's build
  // (BuildMarketTableForLogin), its result for the GUI thread.
  int StartRealtimeClient(HWND dialog, const std::atomic<bool> &cancel);
  void ReconnectQuoteServer();
  // "连接主站(&C)": disconnect after asking, or connect through the dialog.
  void C1Click(TObject *sender);
  void Timer1Timer(TObject *sender);
  // "全屏显示": the window over the whole screen, and back.
  void MenuItem95Click(TObject *sender);
  // "数据刷新": the active chart loads its history anew.
  void N22Click(TObject *sender) { core_->RefreshHistory(); }
  // "指标管理": the formula manager, run under the library's lock.
  void N81Click(TObject *sender);
  // "预警开关(&O)": quotes are checked against the alarms while it is on.
  void O1Click(TObject *sender) { alarmSwitch = !alarmSwitch; }
  // "预警设置(&S)" and "预警列表(&L)": with the switch off they first offer
  // to turn it on.
  void S1Click(TObject *sender);
  void L1Click(TObject *sender);
  // An instrument's intraday chart brought forward or made.
  void ShowIntradayChart(STKPTR stock);

  // ---- the key preview and the keyboard wizard ----
  void CreateKeyboardWizard();
  void FreeKeyboardWizard();
  void InstallKeyPreview();
  void RemoveKeyPreview();
  void AppMessageHook(MSG &msg, bool &handled);
  void Timer2Timer(TObject *sender);

  // ---- chrome ----
  // The tool bar and the page bar in the layout of the display settings.
  void LayoutToolBars() { chrome->LayoutToolBars(SkinLayout); }
  void LoadSkin() { chrome->LoadSkin(); }
  // The menu bar takes the size of the panel that hosts it.
  void Panel9Resize(TObject *sender);
  // The current hot keys into the menu captions and tool-button hints, then
  // every view of the page does the same for its own menus.
  void UpdateHotKeyCaptions();
  // The status panels' painting and double clicks.
  void BindStatusPanels();
  // A double click at x of the index panel: that index's intraday chart.
  void Panel2DblClick(int x);
  // A double click at x of the ticker: the news view, on that headline.
  void Panel1DblClick(int x);
  // The first 28 bytes of the open user page's name.
  char pageName[32] = {};

  // ---- pages ----
  // Where a page choice comes from: the keyboard wizard or the page cycle
  // (the wizard's page index), a page-bar button or a menu item.
  enum class TPageSource { None, Bar, Menu };
  // Rebuilds the page menus and the page bar: mark -1 the page of
  // "LP3.DAT", -2 a new page, 0 the default page, n page-table entry n - 1.
  void RebuildPageMenus(int mark);
  void OpenPageClick(TPageSource source, int tag);
  // "新建页面(&N)", "另存页面(&E)".
  void N10Click();
  void N19Click();
  // The page cycle: the next page, the one before with Shift.
  void ToolButton23Click(bool shift);
  // "我的页面": the last user page again, or the page menu (always on the
  // button's drop-down mark).
  void PageOtherClick(bool onMark);
  // "起始页": the last page opened, else the first system page.
  void ToolButton4Click();
  void BindPageBar();
  // ---- menus built at start-up and the handlers of menus and buttons ----
  void BuildBlockMenus();
  void BuildUserBlockMenu();
  // "板块设置(&B)": the user's blocks edited, then the block menus rebuilt.
  void MenuItem144Click();
  // The block list in its choosing mode: the chosen block's id or -1.
  int ChooseBlock(bool userBlocksOnly);
  // The column scheme editor on a scheme; true when confirmed.
  bool EditColumnScheme(int scheme);
  // The report's block and scheme dialogs through the view services.
  void BindBlockServices();
  void BuildTradeMenu();
  void BuildSettingsMenus();
  void BuildWebMenu();
  void BindMenuHandlers();
  // A block-menu item: the block in a quote report.
  void NClick(int blockId);
  // A web item (its Tag) and "随身行情".
  void WebClick(int tag);
  void N50Click();
  // An address through the browser program, else the desktop's browser.
  bool OpenAddress(const char *address);
  // The outside trading program of a "交易" item (Tag = number + 1).
  void MenuItem142Click(int tag);
  // "显示风格": a theme, and the tool button's next theme.
  void ColorClick(int theme);
  void ToolButton15Click();
  // ---- quote board ----
  TQuoteBoardLayout board;
  void LayoutQuoteBoard(bool keepColumns);
  // A pushed quote's card (key: market in the low byte, stock index in the
  // high 16 bits), repainted only when it is among the visible cards.
  void RedrawQuoteBoardStock(uint32_t key);
  // "1列" .. "3列": only when that many columns fit.
  void N110Click(int columns);
  // "报价排(&Q)" and "关闭(&C)".
  void Q1Click(bool show);
  // "选择商品(&B)": the chosen block; the block shown already changes nothing.
  void ChooseQuoteBoardBlock(int blockId);
  // A double click on card index: its chart with the whole block as the
  // list to page through.
  void OpenQuoteBoardCard(int index);
  void BindQuoteBoard();
  // The card size from the theme's fonts; a card painted; the board as the
  // user's settings left it.
  void MeasureQuoteBoardCell();
  void DrawGrid1DrawCell(int column, int row, const TRect &rect);
  void SetupQuoteBoard();
  // The palette kept in its corner, the board's columns fitted, the bars
  // repainted.
  void FormResize();
  // The keyboard wizard's page index (0-based).
  int wizardPageIndex = -1;

  // ---- what the views ask ----
  HWND MainWindow() override { return Handle(); }
  bool AutoSavePage() override { return autoSavePage; }
  bool TickChartFirst() override { return tickFirst; }
  void BuildPageMenu(int mark) override { parts_.BuildPageMenu(*this, mark); }
  void ShowViewTools(bool show, int kind) override { parts_.ShowViewTools(*this, show, kind); }
  COLORREF ThemeColor(int number) override;
  EToolTip *SharedToolTip() override;
  void ActivateMainWindow() override { BringToFront(); }
  // Without a trading login the charts show the linked outside program's
  // positions and orders.
  void GetChartTradeMarks(const char *account, const char *code, const char *secondCode, void *positions,
                          int positionCount, void *orders, int orderCount) override;
  void SetDialogOpen(bool open) override { KeyHookPaused = open ? 1 : 0; }
  // The instrument (and price) of a view into the active order panel.
  bool SetOrderContract(uint32_t stockWord, int flag) override;
  void SetOrderContractAndPrice(uint32_t stockWord, double price) override;
  // "设置新闻地址" for a web pane.
  bool AskWebAddress(char (&address)[128]) override;

  // ---- the settings dialogs and boxes (mframe_settings.cpp) ----
  // "选项(&O)": the display options dialog with all its pages.
  void O2Click(TObject *sender);
  // The quote report's "属性(&O)": the report page of the dialog; the
  // wheel mode goes into the record's display flags.
  void ShowReportOptions(VIEW_ATTR_13 *record);
  // "热键定义(&H)", "快捷键(&K)", "周期设置(&Y)".
  void N35Click(TObject *sender);
  void N47Click(TObject *sender);
  void Y1Click(TObject *sender);
  // "修改密码(&P)".
  void N73Click(TObject *sender);
  // "用户信息(&U)", "关于(&A)".
  void MenuItem170Click(TObject *sender);
  void N72Click(TObject *sender);
  // What the dialogs' instant settings reach: every chart's quote panel,
  // every report's fonts.
  void RefreshChartQuotePanels();
  void ApplyReportFonts();
  // Points the options dialog's effects at this window.
  void InstallOptionEffects();

  // Code to every laid-out view of the page, last to first.
  void NotifyViews(int code, uint32_t stock, intptr_t first, intptr_t second);
  // Sends the instruments to push (at most 256) when both quote clients and
  // the page exist; with difference only what changed.
  void UpdateRealtimeSubscription(bool difference);
  // ---- commands ----
  void ExecuteCommand(int code) { dispatcher_->ExecuteCommand(code); }
  void SetChartPeriod(int period) { dispatcher_->SetChartPeriod(period); }
  TMultiViewChild *OpenReport(int blockId) { return dispatcher_->OpenReport(blockId); }

  void WndProc(TMessage &message) override;
  // WM_ACTIVATE: the form's activate or deactivate event, nothing more.
  void WMActivate(TMessage &message);

  // ---- members ----
  TMainMenu *MainMenu1;
  // The menu bar, tool bar, page bar, status bar and quote board.
  std::unique_ptr<TFrameChrome> chrome;
  TPanel *Panel9;       // top: the menu bar
  TPanel *StatusPanel;  // bottom: the status bar
  TPanel *Panel1;       // news ticker
  TPanel *Panel2;       // indices
  TPanel *Panel3;       // the open user page's name (hidden)
  TPanel *Panel5;       // connection state (Tag: the animation counter)
  TPanel *Panel6;       // clock
  TToolBar *ToolBar1;
  TDrawGrid *DrawGrid1;  // the quote board
  TSplitter *Splitter1;
  TPanel *Panel7;       // trading window
  TTimer *Timer1;       // one second, enabled once logged in
  TTimer *Timer2;       // 30 ms
  EMenuBar *menuBar = nullptr;

  bool tradeLocked = false;
  bool quoteCycling = false;
  bool closing = false;
  // Set when FormCreate ran through to its end.
  bool created = false;
  char16_t brandWord[4] = {u'k', u'i', u'v', u'o'};
  STKPTR orderStock;
  // The trading desk's state: its arrays, contract table, options and the
  // daily trade log.
  TTradeDesk desk;
  // The desk's stops, condition orders, firing journal and stop engine.
  std::unique_ptr<TDeskAutomation> automation;
  TMultiViewMain *page = nullptr;
  TBlockGroup *blocks = nullptr;
  int32_t quoteBoardBlock = -1;
  char tempFolder[240] = {};
  using IndexRecord = TIndexSlot;
  IndexRecord indices[3];
  // Menu states that the close writes back: "闪电图优先", "走势图优先",
  // "自动保存页面", the trading item, the quote board and its columns.
  bool tickFirst = false;
  bool trendFirst = true;
  bool autoSavePage = false;
  bool tradingItem = false;
  bool quoteBoard = false;
  int32_t quoteBoardColumns = 2;
  bool fullScreen = false;
  // "预警开关(&O)": not stored, on at every start.
  bool alarmSwitch = true;
  // The keyboard wizard, made once.
  TSmartKB *wizard = nullptr;
  // The trading window's keys, null while there is no trading window.
  TTradeKeyTargets *tradeKeys = nullptr;
  // The hot-key help window, made on first use.
  class Thotkeydlg *hotKeyHelp = nullptr;
  // The skin's window border colours, outer to inner ([Color]
  // WindowBorderOuter, WindowBorderMiddle, WindowBorderInner of
  // "skin.ini"; the skin loading sets them).
  COLORREF windowBorder[3] = {0, 16777215, 16777215};
  float buySellZoom = 1.0f;
  int32_t selectedRowParam = 1;

  const std::vector<std::string> &Arguments() const { return arguments_; }
  TMainTimer &MainTimer() { return timer_; }
  TWheelAndTicker &Wheel() { return wheel_; }
  // The frame's list of receivers: the parts built elsewhere fill in theirs.
  TFrameReceivers receivers;
  TFrameCore &Core() { return *core_; }

  // The trading window and its desk, made by the trading set-up.
  std::unique_ptr<TDeskHost> tradingHost;
  std::unique_ptr<TTradingDesk> tradingDesk;
  std::unique_ptr<TTradingWindow> tradingWindow;
  std::unique_ptr<TTradeDispatcher> tradeDispatcher;
  // The commands of the order, trade and position lists.
  std::unique_ptr<TListCommands> listCommands;
  // The order-entry panels (frame_orderpanels.cpp): their shared fields,
  // manual orders, the panels' models and their forms.
  std::unique_ptr<TOrderPanel> orderPanel;
  std::unique_ptr<TManualOrder> manualOrder;
  std::unique_ptr<TOrderEntry> orderEntry;
  std::unique_ptr<TOrderPanelForms> orderForms;
  // Builds them once the trading window and the dispatcher exist.
  void BindOrderPanels();
  // The automation pages and dialogs bound to the desk's automation, the
  // list commands and the order panels (frame_automation.cpp).
  void BindAutomationPages();
  // The frame's window procedures on the desk's controls: the list headers,
  // the contract edits' placeholder and the notice page's links.
  void SubclassDeskControls();
  // "条件单" of the order panels: a new condition order from the active
  // panel's fields.
  void XPButton128Click();
  // "交易 F12": shows or hides the trading window. With an account id the
  // window is hidden and its geometry saved to that account's file.
  void ToolButton17Click(const char *account = nullptr);
  // "kivo交易  F12" from its menu item or its key: the window shown or
  // hidden, the item's tick and the button following it.
  void N37Click();
  // The key's way: in the keyboard layout with the order panels open, a
  // window just shown gives its button block the focus.
  void TradingWindowKey();
  // A synthesised click one pixel inside the keyboard block's top-left
  // corner, the cursor put back afterwards: the block takes the focus as
  // from the user's own click. Nothing when the block is not what lies
  // under that point.
  void ClickOrderBlock();
  // The one-second check: with the keyboard block on screen in the active
  // frame and the focus elsewhere, no input for FocusInputOrder seconds
  // brings the focus back to the block.
  void FocusIdleOrderBlock(DWORD now);

  // ---- menu and tool-bar handlers (frameactions.cpp) ----
  // Attaches the items and buttons below to their handlers.
  void BindActionHandlers();
  // 系统: the menu opened; updater, pane zoom, screen capture, print.
  void N1Click();
  void N24Click();
  void N54Click() { ExecuteCommand(CMD_ZOOM_PANE); }
  void N71Click();
  void MenuItem90Click();
  // 页面: the active stock in a tick, minute or K-line view; split and close.
  void TICK1Click() { ShowActiveStockIn(VIEW_TYPE_INTRADAY, 1); }
  void N15Click() { ShowActiveStockIn(VIEW_TYPE_INTRADAY, 2); }
  void N16Click() { ShowActiveStockIn(VIEW_TYPE_KLINE, 0); }
  void PostToActivePane(UINT message);
  // "保存页面(&S)": the default page goes under a new name; "页面管理(&M)".
  void N12Click();
  void N53Click();
  // mode: 0 as it is, 1 tick chart, 2 minute trend (intraday views only).
  void ShowActiveStockIn(int type, int mode);
  // 分析: prepared on opening; each item forwards to the active K-line view.
  void MenuItem117Click();
  void N65Click();
  void G1Click();
  void MenuItem128Click();
  // The drawing-tool palette: the button, a tool item, "螺历".
  void LineBtnClick();
  void LineClick(int tool);
  void Line28Click();
  // The indicator submenu rebuilt from the formula library, and an item's
  // indicator put on the K-line view (switching the pane first).
  void RebuildIndicatorMenu(TMenuItem *menu);
  void RefreshIndex(const std::string &caption);
  // 新闻 and 帮助: the system message and the notice in the shared dialog.
  void ShowMessageDialog(char kind, const char *title);
  // 特色功能.
  void HistoryRecall(int tag);
  void N75Click();
  void N76Click();
  void N77Click();
  void N78Click();
  // 工具.
  void MenuItem143Click();
  // "时区设定(&Z)": one radio item per display time zone; a zone chosen.
  void BuildTimeZoneMenu();
  void ReferZoneClick(int zone);
  void MenuItem145Click();
  void N67Click();
  void N30Click();
  void N55Click();
  // The cycle dialog's answer: "开始循环" with the edit's text, or not.
  void ApplyCycleQuotes(bool start, const std::string &text);
  void MenuItemNetDetectClick();
  void N21Click();
  // 帮助.
  void MenuItem167Click();
  void N66Click();
  void N64Click();
  void F1Click();
  // The tool bar's view buttons.
  void ToolButton1Click();
  void ToolButton3Click();
  void CycleTrendClick();
  void CycleReportClick();
  void ToolButton6Click() { ZoomActiveView(1); }
  void ToolButton7Click() { ZoomActiveView(-1); }
  void ZoomActiveView(int step);
  // The application's hint in the frame's tooltip below the cursor; a hint
  // beginning with '^' leaves the tip as it is, an empty one hides it.
  void ShowHintTip(const std::string &hint);
  void InstallHintHandler();
  bool hintInstalled = false;
  // Dispatches every pending message for ms milliseconds of the clock.
  void PumpMessagesFor(DWORD ms);
  // The address of the help pages' host ("..\CFG\SETTING.INI" [WEB]
  // "HelpHost") with a path, and the support mail address.
  std::string HelpAddress(const char *path) const;

  // ---- what the charts ask of the drawing tools and period buttons ----
  TLineToolBox *LinePalette() override { return linePalette; }
  int LineToolCode() override { return lineToolCode; }
  void SetLineToolCode(int code) override { lineToolCode = code; }
  void RaiseLineButton() override;
  void LineButtonClick() override { LineBtnClick(); }
  void ShowDrawingTools(bool klinePane) override;
  void ReleasePeriodButtons() override;
  void PressPeriodButton(int period) override;
  void CheckScaleItem(int item) override;
  // The palette, made on first use and kept; the pressed tool (-1 none).
  TLineToolBox *linePalette = nullptr;
  int lineToolCode = -1;
  // The one system-message dialog ("系统消息", "免责条款").
  class TSysMsgDlg *messageDialog = nullptr;

 protected:
  // A window without a caption: the menu bar is its title, and it draws
  // its own frame.
  void CreateParams(TCreateParams &params) override;

 private:
  class TimerHost;
  class PushSink;
  void FillReceivers();
  void AfterConnect();
  void RequestNewestNews();
  void ReadRefreshIntervals();
  // The option items' ticks and the bars they show, from the user's
  // "setting.ini".
  void ReadOptionItems();
  void PlaceFromSettings();
  void SaveSettings();
  // The desktop's task bar, hidden in full-screen mode.
  static void ShowTaskBar(bool show);

  TFrameParts &parts_;
  std::vector<std::string> arguments_;
  std::unique_ptr<TimerHost> timerHost_;
  TRandomSource random_;
  TMainTimer timer_;
  TWheelAndTicker wheel_;
  // Set from the login worker's result on the GUI thread.
  bool loginFailed_ = false;
  // Where the outside programs started here post back to the window.
  std::unique_ptr<platform::PostEndpoint> outsidePosts_;
  TWindowState savedState_ = wsNormal;
  int savedBounds_[4] = {};
  std::unique_ptr<PushSink> pushSink_;
  std::unique_ptr<TFrameCore> core_;
  std::unique_ptr<TCommandDispatcher> dispatcher_;
  std::unique_ptr<EToolTip> toolTip_;
  std::unique_ptr<WizardSources> wizardSources_;
  std::unique_ptr<TKeyPreview> keyPreview_;
  // What the installed application message handler calls; empty once the
  // key preview is removed.
  std::shared_ptr<TMFrame *> messageHookOwner_;
  bool AskAlarmSwitch();
  bool PageHasEmptyPane() const;
  // Toggles a display switch: its state, the ticks of its items, its key.
  void ToggleOption(const char *key, bool &state, std::initializer_list<const char *> items);
  // The unsaved-page question; false when the handler has to stop.
  bool CheckUnsavedPage();
  int statusClickX_ = 0;
  bool pageMarkHit_ = false;
  TBoardFonts boardFonts_;
};
