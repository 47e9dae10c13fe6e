#include "shell/mframe.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>

#include "charts/capturedlg.h"
#include "charts/drawview.h"
#include "charts/rendform.h"
#include "charts/techform.h"
#include "core/emenubar.h"
#include "core/ewnd.h"
#include "core/netutil.h"
#include "formula/formula_market.h"
#include "formula/indexmanager.h"
#include "formula/kvindexlib.h"
#include "market/blocks.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/logindlg.h"
#include "market/marketside.h"
#include "market/merger.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "market/realclient.h"
#include "market/reqbuild.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/handles.h"
#include "platform/memory.h"
#include "platform/msgbox.h"
#include "platform/postendpoint.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "shell/alarm.h"
#include "shell/alarmdlg.h"
#include "shell/chartdialogs.h"
#include "shell/hotkeys.h"
#include "shell/keypreview.h"
#include "shell/framewindow.h"
#include "shell/profiletext.h"
#include "shell/quoteconn.h"
#include "shell/settings_store.h"
#include "shell/viewclasses.h"
#include "core/ownerdrawpanel.h"
#include "shell/entry.h"
#include "trading/pluginapi.h"
#include "trading/deskautomation.h"
#include "trading/taskqueue.h"
#include "trading/pendingorders.h"
#include "trading/dispatcher.h"
#include "trading/listcommands.h"
#include "trading/manualorder.h"
#include "trading/orderentry.h"
#include "trading/orderforms.h"
#include "trading/orderpanel.h"
#include "trading/listforms.h"
#include "trading/tradedesk.h"
#include "trading/tradelayout.h"
#include "trading/tradingwindow.h"
#include "trading/pttlink.h"
#include "trading/tradelog.h"
#include "views/blockdlg.h"
#include "views/colschemes.h"
#include "views/msgform.h"
#include "views/mvmain.h"
#include "views/pagelist.h"
#include "views/report.h"
#include "views/smartkb.h"
#include "views/textform.h"
#include "views/viewdisplay.h"
#include "views/wizardsources.h"
#include "views/zqnote.h"

TMFrame *MainFrame = nullptr;
uint8_t KeyHookPaused = 0;

namespace {

constexpr UINT kTopMost = MB_TOPMOST;

std::string UserFile(const char *name) { return std::string(UserDataPath) + name; }

// Every kind of every market starts from empty quotes after a login.
void ClearAllQuotes() {
  for (int m = 0; m < MarketTable.marketCount; ++m)
    if (TMarketData *market = MarketAt(m))
      for (int k = 0; k < market->m_info.kindCount && k < kMaxStockKinds; ++k) ::ClearKindQuotes(market, k);
}

void Box(HWND owner, const char *text, const char *caption, UINT flags) {
  MessageBoxA(owner, text, caption, flags | kTopMost);
}

}  // namespace

// ---- The parts as the program has them ----------------------------------------------

void TFrameParts::LayoutToolBarAndSkin(TMFrame &frame) {
  frame.LayoutToolBars();
  frame.LoadSkin();
}

void TFrameParts::ShowViewTools(TMFrame &frame, bool show, int kind) { frame.chrome->ShowViewTools(show, kind); }

void TFrameParts::UpdateHotKeyCaptions(TMFrame &frame) { frame.UpdateHotKeyCaptions(); }

void TFrameParts::BuildPageMenu(TMFrame &frame, int mark) { frame.RebuildPageMenus(mark); }

void TFrameParts::BuildStartupMenus(TMFrame &frame) {
  frame.BuildTradeMenu();
  frame.BuildBlockMenus();
}

void TFrameParts::BuildSettingsMenus(TMFrame &frame) { frame.BuildSettingsMenus(); }

void TFrameParts::BuildWebMenu(TMFrame &frame) { frame.BuildWebMenu(); }

void TFrameParts::LoadFormulaLibrary() { KvIndexManager().Load(); }

void TFrameParts::LoadPageList() { ::LoadPageList(); }

void TFrameParts::LoadNewsIndex(TMFrame &frame) {
  TMarketSideSetup setup;
  setup.mainWindow = frame.Handle();
  setup.arguments = frame.Arguments();
  setup.tempFolder = frame.tempFolder;
  setup.requestClient = [] { return QuoteServerClient; };
  setup.dropRequestClient = [] { DeleteQuoteServerClient(); };
  setup.viewByTag = [](uint32_t tag) -> HWND {
    TMultiViewMain *page = CurrentPage();
    if (!page) return nullptr;
    for (int i = page->PaneCount() - 1; i >= 0; --i) {
      TMultiViewChild *view = page->PaneAt(i);
      if (view && view->m_requestTag == tag) return view->Handle();
    }
    return nullptr;
  };
  StartMarketSide(setup);
}

int TFrameParts::ShowLoginDialog(TMFrame &frame, bool relogin) {
  TClientRight dialog(&frame, relogin);
  return dialog.ShowModal();
}

void TFrameParts::CreateAlarmEngine() {
  if (AlarmEngine) return;
  AlarmEngine = new TAlarm;
  if (MainFrame) AlarmEngine->frameWindow = MainFrame->Handle();
}

void TFrameParts::DestroyAlarmEngine() {
  FreeAlarmWindows();
  delete AlarmEngine;  // writes "ALARM.SET"
  AlarmEngine = nullptr;
}

void TFrameParts::CreateKeyboardWizard(TMFrame &frame) { frame.CreateKeyboardWizard(); }

void TFrameParts::FreeKeyboardWizard(TMFrame &frame) { frame.FreeKeyboardWizard(); }

void TFrameParts::InstallKeyPreview(TMFrame &frame) { frame.InstallKeyPreview(); }

void TFrameParts::LoadMarketMerger() { CMarketMerger::Instance()->LoadDefault(); }

void TFrameParts::SaveColumnSchemes() { ::SaveColumnSchemes(); }

namespace {

// The main window as the trading desk sees it.
class TFrameDeskHost : public TDeskHost {
 public:
  explicit TFrameDeskHost(TMFrame &frame) : f(frame) {}
  HWND Window() override { return f.Handle(); }
  void SetTitle(const char *title) override { Application()->Title = title; }
  std::string Title() override { return Application()->Title; }
  void HideTradingWindow(const char *account) override { f.ToolButton17Click(account ? account : ""); }
  void ToggleTradingWindow() override { f.N37Click(); }
  bool TradingWindowChecked() override { return f.Panel7->Visible(); }
  void SetModal(bool modal) override { KeyHookPaused = modal ? 1 : 0; }
  int ServerMinute() override { return f.Core().clockMinute; }
  bool QuoteConnected() override { return RealtimeClient != nullptr; }
  uint32_t ProgramVersion() override { return ::ProgramVersion; }
  void PostViewsUpdate() override { PostMessageA(f.Handle(), WM_TRADE_VIEWS_UPDATE, 0, 0); }
  bool HasQuoteClient() override { return QuoteServerClient != nullptr; }

 private:
  TMFrame &f;
};

// The parts of the running program: the trading set-up builds the trading
// window over Panel7 and its login page, binding the logger library and
// then the trading plug-in.
class TProgramParts : public TFrameParts {
 public:
  void SetupTradingPanel(TMFrame &frame) override {
    frame.desk.owner = frame.Handle();
    if (!frame.tradingDesk) {
      frame.tradingHost = std::make_unique<TFrameDeskHost>(frame);
      static TDeskUi none;
      frame.tradingDesk = std::make_unique<TTradingDesk>(frame.desk, *frame.tradingHost, none);
      frame.tradingWindow =
          std::make_unique<TTradingWindow>(static_cast<TOwnerDrawPanel *>(frame.Panel7), *frame.tradingDesk);
      frame.tradeDispatcher = std::make_unique<TTradeDispatcher>(*frame.tradingDesk, *frame.tradingHost);
      frame.tradingWindow->ConnectDispatcher(*frame.tradeDispatcher);
      frame.listCommands = std::make_unique<TListCommands>(*frame.tradingDesk, *frame.tradeDispatcher);
      frame.listCommands->checkTimeConditionOrders = [&frame] {
        if (frame.automation) frame.automation->conditions.CheckTimeConditionOrders();
      };
      frame.tradeDispatcher->positionBook.updateRealtimeSubscription = [&frame](int mode) {
        frame.UpdateRealtimeSubscription(mode != 0);
      };
      frame.tradingWindow->ShowListArea(*frame.listCommands);
      if (frame.automation) {
        frame.automation->Bind(frame.tradeDispatcher->hooks);
        frame.automation->hooks.armed = [&frame] { return frame.tradingDesk && frame.tradingDesk->automationArmed; };
        frame.tradeDispatcher->pending.journal = &frame.automation->journal;
        // Automatic orders go out through the dispatcher's task queue, and
        // every send's outcome settles the firing that made it.
        TTaskQueue &queue = frame.tradeDispatcher->taskQueue;
        frame.automation->hooks.startOrderScripts = [&queue] { queue.StartOrderScripts(); };
        frame.automation->hooks.runOrderScripts = [&queue] { queue.RunOrderScripts(); };
        frame.automation->hooks.hasPendingOrders = [&frame] { return HasPendingOrders(frame.desk); };
        queue.onOrderInsert = [&frame](const TTaskInsert &sent) {
          if (frame.automation) frame.automation->OnOrderInsert(*sent.task, sent.result, sent.orderRef, sent.text);
        };
      }
      frame.tradeKeys = &frame.tradingWindow->Keys();
      frame.receivers.tradeNotify = [&frame](WPARAM wParam, LPARAM lParam) {
        if (frame.tradeDispatcher) frame.tradeDispatcher->HandleTradeNotify(wParam, lParam);
        // The lists show the books as they stand after every return.
        if (frame.tradingWindow && frame.tradingWindow->listArea) frame.tradingWindow->listArea->ShowAll();
      };
      frame.receivers.tradeFocus = [&frame](LPARAM control) {
        if (frame.tradingWindow) frame.tradingWindow->TradeFocus(control);
      };
      frame.BindOrderPanels();
      frame.BindAutomationPages();
      frame.SubclassDeskControls();
    }
    frame.tradingDesk->SetupTradingPanel(0);
  }
  bool TradingBound() override { return ::TradingBound(); }
  // The trading part of the main timer: task time-outs, the single-position
  // refresh and the timed condition orders.
  void TradeTimer(TMFrame &frame) override {
    if (frame.listCommands && ::TradingBound())
      frame.listCommands->OnTradeTimer();
    else if (frame.tradeDispatcher)
      frame.tradeDispatcher->taskQueue.TradeTimer();
  }
  void TradingIdle(TMFrame &frame) override {
    if (!frame.tradingDesk) return;
    const DWORD now = GetTickCount();
    frame.tradingDesk->TradingIdle(now);
    frame.FocusIdleOrderBlock(now);  // nothing once the idle lock took the window
  }
  void RemapTradeContracts(TMFrame &frame) override {
    if (frame.tradingDesk) frame.tradingDesk->RemapTradeContracts(false);
  }
  void TradingLogout(TMFrame &frame) override {
    if (!frame.tradingDesk) return;
    if (::TradingBound()) TradePlugin.TradeFinalize();
    frame.tradingDesk->SaveWindowGeometry(frame.desk.Account());
  }
  void PttLinkStart() override {
    if (MainFrame) ::PttLinkStart(MainFrame->Handle());
  }
  void PttLinkStop() override { ::PttLinkStop(); }
  // The screen is frozen as the dialog is made: the main window paints
  // what is pending first.
  void ShowCaptureDialog(TMFrame &frame) override {
    frame.Update();
    RunScreenCapture(&frame);
  }
};

}  // namespace

TFrameParts &DefaultFrameParts() {
  static TProgramParts parts;
  return parts;
}

// ---- The timer's view of the frame ----------------------------------------------------

class TMFrame::TimerHost : public TMainTimerHost {
 public:
  explicit TimerHost(TMFrame &frame) : f(frame) {}
  bool HasRequestClient() override { return QuoteServerClient != nullptr; }
  bool HasPushClient() override { return RealtimeClient != nullptr; }
  DWORD PushLastActivity() override { return RealtimeClient ? RealtimeClient->LastActivity() : 0; }
  bool PushCongested() override { return RealtimeClient && RealtimeClient->SlowNetwork(); }
  void SendPushKeepAlive() override { RealtimeClient->SendKeepAlive(); }
  void SendRequestKeepAlive() override { QuoteServerClient->SendKeepAlive(); }
  void RequestCodeTable(int market) override {
    char path[MAX_PATH];
    if (TMarketData *m = MarketAt(market)) {
      m->TablePath("nametbl", path, sizeof path);
      std::strncat(path, ".tmp", sizeof path - std::strlen(path) - 1);
      DeleteFileA(path);
    }
    ::RequestCodeTable(market, 0);
  }
  void ReconnectAttempt() override { f.ReconnectQuoteServer(); }
  void PostReconnectQuestion() override { PostMessageA(f.Handle(), WM_QUOTE_EVENT, 1, 0); }
  void RepaintConnectionPanel() override {
    static const char *const kTexts[] = {"未联机", "已联机，网络正常", "已联机，行情堵塞"};
    f.Panel5->Tag = f.timer_.connectionCounter;
    f.Panel5->Hint = kTexts[f.timer_.connectionText];
    f.Panel5->Invalidate();
  }
  void RepaintClockPanel() override { f.Panel6->Invalidate(); }
  void PulseViews(int a) override { f.NotifyViews(8, 0, a, 0); }
  void ChartSecond() override {
    if (!f.page) return;
    for (int i = f.page->PaneCount() - 1; i >= 0; --i) {
      TMultiViewChild *view = f.page->PaneAt(i);
      if (view && (view->ViewType() == VIEW_TYPE_INTRADAY || view->ViewType() == VIEW_TYPE_KLINE))
        view->Notify(8, 0, 3, 0);
    }
  }
  void ClearKindQuotes(int market, int kind) override { ::ClearKindQuotes(MarketAt(market), kind); }
  void ClearMajorIndexValues() override {
    for (int i = 0; i < 2; ++i) std::memset(f.indices[i].values, 0, sizeof f.indices[i].values);
    f.Panel2->Invalidate();
  }
  void MarketCleared(int market) override {
    (void)market;
    f.UpdateRealtimeSubscription(true);
    if (f.page)
      for (int i = f.page->PaneCount() - 1; i >= 0; --i) {
        TMultiViewChild *view = f.page->PaneAt(i);
        if (view && view->ViewType() == VIEW_TYPE_REPORT) view->Invalidate();
      }
  }
  void RebuildAgents(int market, int kind) override { ::RebuildAgents(market, kind); }
  void ReloadChartViews(int market, int kind) override {
    if (!f.page) return;
    for (int i = f.page->PaneCount() - 1; i >= 0; --i) {
      auto *chart = dynamic_cast<TDrawView *>(f.page->PaneAt(i));
      if (!chart || chart->m_attr.stock.market != market) continue;
      if (StockKindOf(MarketAt(market), chart->m_attr.stock.stock) == kind) chart->ReloadData();
    }
  }
  void RemapTradeContracts() override { f.parts_.RemapTradeContracts(f); }
  void TradeTimer() override { f.parts_.TradeTimer(f); }
  void TradingIdle() override {
    if (!f.tradeLocked) f.parts_.TradingIdle(f);
  }

 private:
  TMFrame &f;
};

// ---- The frame's core and its receivers ------------------------------------------------

class TMFrame::PushSink : public TSubscriptionSink {
 public:
  const EArray<STKMS> *Current() override { return RealtimeClient ? RealtimeClient->Subscription() : nullptr; }
  void Subscribe(EArray<STKMS> *list, uint16_t newEntries) override {
    if (RealtimeClient) RealtimeClient->Subscribe(list, newEntries, 1);
    else delete list;
  }
};

void TMFrame::GetChartTradeMarks(const char *, const char *code, const char *secondCode, void *positions,
                                 int positionCount, void *orders, int orderCount) {
  if (desk.Account()[0]) return;
  PttLinkGetTradeTables(code, secondCode, static_cast<pttlink::LinkPosition *>(positions), positionCount,
                        static_cast<pttlink::LinkOrder *>(orders), orderCount);
}

void TMFrame::FillReceivers() {
  pushSink_ = std::make_unique<PushSink>();
  TFrameLinks links;
  links.window = Handle();
  links.page = &page;
  links.indices = indices;
  links.quoteBoardBlock = &quoteBoardBlock;
  links.tickFirst = &tickFirst;
  links.orderStock = &orderStock;
  links.retryCounter = &timer_.retryCounter;
  core_ = std::make_unique<TFrameCore>(links, receivers);
  core_->SetSubscriptionSink(pushSink_.get());
  dispatcher_ = std::make_unique<TCommandDispatcher>(*core_);
  receivers.tradingBound = [this] { return parts_.TradingBound(); };
  static_assert(sizeof(pttlink::LinkSubscription) == kLinkRecordSize);
  receivers.linkSubscriptions = [](uint8_t (*records)[kLinkRecordSize], int max) {
    return PttLinkGetSubscriptions(reinterpret_cast<pttlink::LinkSubscription *>(records), max);
  };
  receivers.linkSendQuote = [](uint32_t stock, const REALQUOTE &quote) { PttLinkSendQuote(STKPTR(stock), quote); };
  receivers.linkFreeContract = [](LPARAM record) { PttLinkFreeContract(record); };
  if (!automation) automation = std::make_unique<TDeskAutomation>(desk);
  automation->hooks.linkSendQuote = [](STKPTR stock, const REALQUOTE &quote) { PttLinkSendQuote(stock, quote); };
  receivers.checkStopOrders = [this](uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
    automation->engine.CheckStopOrders(stock, quote, info);
  };
  // The contracts of the positions and the condition orders are always
  // subscribed: their stops and triggers need every quote.
  receivers.positionStocks = [this](TSubscriptionBuilder &builder) {
    for (int32_t i = 0; i < desk.positions.GetCount() && !builder.Full(); ++i)
      if (!desk.positions.GetData()[i].Stock.IsNone()) builder.Add(desk.positions.GetData()[i].Stock);
  };
  receivers.conditionOrderStocks = [this](TSubscriptionBuilder &builder) {
    for (int32_t i = 0; i < desk.conditions.GetCount() && !builder.Full(); ++i)
      if (!desk.conditions.GetData()[i].Stock.IsNone()) builder.Add(desk.conditions.GetData()[i].Stock);
  };
  receivers.connectionPanel = [this](int tag, const char *hint) {
    timer_.connectionCounter = 0;
    timer_.connectionText = kConnectionOffline;
    Panel5->Tag = tag;
    Panel5->Hint = hint;
    Panel5->Repaint();
  };
  receivers.indicesChanged = [this] { Panel2->Invalidate(); };
  receivers.clockChanged = [this] { Panel6->Invalidate(); };
  receivers.quoteBoardVisible = [this] { return quoteBoard; };
  receivers.frame = [this](TFrameAction action, intptr_t, uint32_t) {
    if (action == TFrameAction::ReconnectQuestionYes) C1Click(nullptr);
    if (action == TFrameAction::FullScreen) MenuItem95Click(nullptr);
    if (action == TFrameAction::RefreshData) N22Click(nullptr);
    if (action == TFrameAction::ShowTrading) ToolButton17Click();
    if (action == TFrameAction::ToggleTradingWindow) TradingWindowKey();
    if (action == TFrameAction::AlarmSettings) S1Click(nullptr);
    if (action == TFrameAction::PeriodCycleDialog) Y1Click(nullptr);
  };
  receivers.alarmsOn = [this] { return alarmSwitch && AlarmEngine; };
  receivers.checkAlarm = [](uint32_t stock, const REALQUOTE &quote) {
    if (AlarmEngine) AlarmEngine->CheckQuote(STKPTR(stock), quote);
  };
  receivers.armedAlarmStocks = [](TSubscriptionBuilder &builder) {
    if (AlarmEngine) AlarmEngine->AddArmedStocks(builder);
  };
  receivers.rearmAlarms = [] {
    if (AlarmEngine) AlarmEngine->Rearm();
  };
  receivers.showAlarmWindow = [] {
    ShowAlarmWindow();
    if (AlarmSettingsForm && AlarmSettingsForm->Visible()) AlarmSettingsForm->RefreshList();
  };
  receivers.saveAlarms = [] {
    if (AlarmEngine) AlarmEngine->Save();
  };
  receivers.loadAlarms = [] {
    if (AlarmEngine) AlarmEngine->Load();
  };
  receivers.newsType = [](TMultiViewChild *view) {
    const auto *news = dynamic_cast<TMsgForm *>(view);
    return news ? news->NewsType() : 0u;
  };
  receivers.view = [](TViewAction action, TMultiViewChild *view, intptr_t arg) {
    // The text views' answers: a list, a news body or a section arrived.
    if (auto *news = dynamic_cast<TMsgForm *>(view)) {
      if (action == TViewAction::ReloadHeadlines) news->ReloadHeadlines();
      if (action == TViewAction::BackToHeadlines) news->N8Click();
      if (action == TViewAction::InsertHeadline && arg) {
        const auto *line = reinterpret_cast<const TNewsLine *>(arg);
        news->InsertHeadline(line->text, line->newsId);
      }
      if (action == TViewAction::ShowNewsFile && news->TextShown()) {
        char file[16];
        std::snprintf(file, sizeof file, "%08u.txt", unsigned(arg));
        if (strcasecmp(file, news->CurrentItemFile()) == 0) news->ShowNewsFile();
      }
      return;
    }
    if (auto *notes = dynamic_cast<TZQNote *>(view)) {
      if (action == TViewAction::LoadNotes) notes->LoadNoteList(int(arg));
      return;
    }
    if (auto *text = dynamic_cast<TTextForm *>(view)) {
      if (action == TViewAction::ShowSection) text->ShowSection(arg != 0);
      return;
    }
    if (auto *report = dynamic_cast<TReport *>(view)) {
      if (action == TViewAction::AddSelectedToBlock) report->AddSelectedToBlock(int(arg));
      return;
    }
    auto *chart = dynamic_cast<TDrawView *>(view);
    if (!chart) return;
    switch (action) {
      case TViewAction::ReloadData: chart->ReloadData(); break;
      case TViewAction::RefreshHistory: chart->RefreshHistory(); break;
      case TViewAction::ExecuteViewCommand: chart->ExecuteViewCommand(int(arg)); break;
      case TViewAction::ReloadTradeMarks:
        chart->LoadTradeMarks();
        chart->Invalidate();
        break;
      case TViewAction::RepaintDetails:
        chart->StringGrid1->Invalidate();
        chart->DrawQuotePanel();
        break;
      case TViewAction::MenuItem:
        if (arg == intptr_t(TChartMenuItem::InfoWindow)) {
          chart->N5Click();
        } else if (auto *kline = dynamic_cast<TTechForm *>(chart)) {
          switch (TChartMenuItem(arg)) {
            case TChartMenuItem::Overlay: kline->N29Click(); break;
            case TChartMenuItem::Arbitrage: kline->N20Click(); break;
            case TChartMenuItem::DrawingTools: kline->NLineClick(); break;
            case TChartMenuItem::ReverseAxis: kline->N37Click(); break;
            case TChartMenuItem::IndicatorManager: kline->N30Click(); break;
            case TChartMenuItem::ForwardAdjustment:
              kline->N25Click(kline->N27->Checked ? kline->N25 : kline->N27);
              break;
            case TChartMenuItem::BackwardAdjustment:
              kline->N25Click(kline->N28->Checked ? kline->N25 : kline->N28);
              break;
            default: break;
          }
        }
        break;
      case TViewAction::SetPeriod:
        if (auto *kline = dynamic_cast<TTechForm *>(chart)) kline->SetPeriod(int(arg));
        break;
      case TViewAction::SetZoomLevel:
        if (auto *kline = dynamic_cast<TTechForm *>(chart)) kline->SetZoomLevel(uint32_t(arg));
        break;
      case TViewAction::ReloadAndRepaint:
        if (auto *kline = dynamic_cast<TTechForm *>(chart)) kline->ReloadAndRepaint();
        break;
      case TViewAction::AddShownToBlock: chart->AddShownInstrumentToBlock(int(arg)); break;
      case TViewAction::SetTickZoom:
        if (auto *intraday = dynamic_cast<TRendForm *>(chart)) intraday->SetTickZoom(int(arg));
        break;
      default: break;
    }
  };
  receivers.tickMode = [](TMultiViewChild *view) {
    if (auto *intraday = dynamic_cast<TRendForm *>(view)) return intraday->TickModeShown();
    return (view->m_attr.flags & kViewFlagTickMode) != 0;
  };
  receivers.pickBlock = [this](int lowest, int highest, const char *caption) {
    TEdtBlk dialog(this, 0, lowest, highest);
    dialog.SetCaption(caption);
    KeyHookPaused = 1;
    const bool chosen = dialog.ShowModal() == mrOk && dialog.chosen;
    KeyHookPaused = 0;
    return chosen ? int(dialog.chosenId) : -1;
  };
}

// ---- Construction --------------------------------------------------------------------

TMFrame::TMFrame(TComponent *owner, TFrameParts &parts, std::vector<std::string> arguments)
    : TForm(owner), parts_(parts), arguments_(std::move(arguments)), timerHost_(new TimerHost(*this)), timer_(*timerHost_, random_) {
  MainFrame = this;
  parts_.Step("construct.1");
  SetCaption("kivo");
  SetBounds(0, 0, 1024, 768);
  MainMenu1 = new TMainMenu(this);
  chrome = std::make_unique<TFrameChrome>(this, MainMenu1);
  Panel9 = chrome->Panel9;
  StatusPanel = chrome->StatusBar;
  Panel1 = chrome->Panel1;
  Panel2 = chrome->Panel2;
  Panel3 = chrome->Panel3;
  Panel5 = chrome->Panel5;
  Panel6 = chrome->Panel6;
  ToolBar1 = chrome->ToolBar1;
  DrawGrid1 = chrome->DrawGrid1;
  Splitter1 = chrome->Splitter1;
  chrome->periodViewActive = [this] {
    TMultiViewChild *view = core_ ? core_->ActiveView() : nullptr;
    const int type = view ? view->ViewType() : 0;
    return type == 0x1001 || type == 0x1002 || type == 0x2001;
  };
  chrome->repaintPage = [this] {
    if (page) page->Invalidate();
  };
  Panel7 = new TOwnerDrawPanel(this);
  Panel7->SetParent(this);
  Panel7->SetAlign(alBottom);
  Panel7->SetHeight(218);
  Panel7->Hide();
  Timer1 = new TTimer(this);
  Timer1->SetInterval(1000);
  Timer1->SetEnabled(false);
  Timer1->OnTimer = [this](TObject *s) { Timer1Timer(s); };
  Timer2 = new TTimer(this);
  Timer2->SetInterval(30);
  Timer2->OnTimer = [this](TObject *s) { Timer2Timer(s); };

  parts_.Step("construct.2");
  menuBar = new EMenuBar(MainMenu1, UserDataPath);
  chrome->menuBar = menuBar;
  desk.tradeLog = 0;
  tradeLocked = false;
  parts_.Step("construct.3");  // the trading arrays are members of the desk
  parts_.Step("construct.4");
  parts_.LayoutToolBarAndSkin(*this);
  parts_.Step("construct.5");  // the service item's caption comes with the menus
  parts_.Step("construct.6");  // the offset box comes with the trading desk
  parts_.Step("construct.7");
  for (IndexRecord &r : indices) r = IndexRecord{};
  orderStock = STKPTR();
  timer_.retryCounter = -1;
  FillReceivers();
  BindStatusPanels();
  BindPageBar();
  BindMenuHandlers();
  BindQuoteBoard();
  parts_.Step("construct.8");
  parts_.UpdateHotKeyCaptions(*this);

  SetMainFrameHost(this);
  ViewDisplay().colors = ThemeColors;
  ViewDisplay().fonts = reinterpret_cast<const VIEWFONTDEF *>(ThemeFonts);
  ViewDisplay().hotKey = [](int command, uint32_t *flags, char keys[16]) {
    if (command < 1 || command > kHotKeyTableSize) return false;
    const HOTKEYDEF &record = HotKeyTable[command - 1];
    if (record.command != command) return false;
    *flags = record.flags;
    std::memcpy(keys, record.keys, sizeof record.keys);
    keys[sizeof record.keys - 1] = 0;
    return true;
  };
  ViewServices().hasRequestClient = [] { return QuoteServerClient != nullptr; };
  ViewServices().pauseKeyHook = [](bool paused) { KeyHookPaused = paused ? 1 : 0; };
  ViewServices().notifyViews = [this](int code, uint32_t stock, intptr_t a, intptr_t b) {
    NotifyViews(code, stock, a, b);
  };
  // The formula engine's providers: the market side, the display scheme.
  static TFormulaMarket formulaMarket;
  SetIndexMarket(&formulaMarket);
  SetIndexColorTable(ThemeColors);
  SetIndexFontTable(reinterpret_cast<const VIEWFONTDEF *>(ThemeFonts));
  ViewServices().addAlarm = [this](STKPTR stock) { return AddAlarmFor(this, stock); };
  ViewServices().showOptions = [this](VIEW_ATTR_13 *record) { ShowReportOptions(record); };
  BindBlockServices();
  InstallOptionEffects();
  InstallChartDialogs();
  RegisterViewClasses();
  ConnectionTradeLog() = [this](int code, const char *text) { WriteTradeLog(desk, code, text); };
  OnCreate = [this](TObject *s) { FormCreate(s); };
  OnShow = [this](TObject *s) { FormShow(s); };
  OnCloseQuery = [this](TObject *s, bool &can) { FormCloseQuery(s, can); };
  OnClose = [this](TObject *s, TCloseAction &a) { FormClose(s, a); };
  DoCreate();
}

TMFrame::~TMFrame() {
  // Each goes before what it refers to: the order forms sit on the trading
  // window, whose list area calls the list commands; the commands use the
  // order-entry models and the dispatcher, and the dispatcher the desk.
  orderForms.reset();
  tradingWindow.reset();
  listCommands.reset();
  orderEntry.reset();
  manualOrder.reset();
  orderPanel.reset();
  tradeDispatcher.reset();
  tradingDesk.reset();
  tradingHost.reset();
  RemoveKeyPreview();
  if (Application()->OnHint && hintInstalled) Application()->OnHint = nullptr;
  FreeKeyboardWizard();
  ConnectionTradeLog() = nullptr;
  CloseTradeLog(desk);
  delete menuBar;
  menuBar = nullptr;
  ViewServices() = TViewServices{};
  toolTip_.reset();
  SetIndexMarket(nullptr);
  if (MainFrameHost() == this) SetMainFrameHost(nullptr);
  if (MainFrame == this) MainFrame = nullptr;
}

EToolTip *TMFrame::SharedToolTip() {
  if (!toolTip_ && HandleAllocated()) toolTip_ = std::make_unique<EToolTip>(Handle());
  return toolTip_.get();
}

COLORREF TMFrame::ThemeColor(int number) {
  return number >= 1 && number <= kThemeColorCount ? ThemeColors[number - 1] : 0;
}

void TMFrame::ToolButton17Click(const char *account) {
  if (!tradingDesk) return;
  if (!::TradingBound()) {
    parts_.SetupTradingPanel(*this);
    return;
  }
  const bool show = account == nullptr && !Panel7->Visible();
  if (show) {
    Panel7->Show();
    if (tradingWindow->Docked()) tradingWindow->Splitter2->Show();
    tradingWindow->Layout();
    return;
  }
  char id[64] = {};
  if (account) strncopy(id, account, 16);
  else TradePlugin.GetInvestor(nullptr, id, nullptr);
  if (id[0] && Panel7->Visible()) tradingDesk->SaveWindowGeometry(id);
  tradingWindow->Splitter2->Hide();
  Panel7->Hide();
}

// ---- Creation ------------------------------------------------------------------------

void TMFrame::FormCreate(TObject *) {
  parts_.Step("create.1");
  parts_.SubclassControls(*this);
  parts_.Step("create.2");
  char temp[1024] = {};
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length > 0 && length < sizeof tempFolder) CopyGbkBounded(tempFolder, sizeof tempFolder, temp);
  parts_.LoadFormulaLibrary();
  parts_.LoadPageList();
  parts_.LoadNewsIndex(*this);
  parts_.Step("create.3");
  char wndHeight[32] = {};
  GetPrivateProfileStringA("UI", "WndHeight", "", wndHeight, sizeof wndHeight, UserFile("Consign.ini").c_str());
  Panel7->SetHeight(ParseWndHeight(wndHeight, 218));
  parts_.Step("create.4");
  parts_.SetupTradingPanel(*this);
  parts_.Step("create.5");  // the temporary folder was read with the market side's start
  parts_.Step("create.6");
  quoteCycling = false;
  timer_.quoteCycling = false;
  trendFirst = true;
  SetWindowState(wsMaximized);
  parts_.Step("create.7");
  ReadRefreshIntervals();
  parts_.Step("create.8");
  parts_.CreateKeyboardWizard(*this);
  page = nullptr;
  parts_.Step("create.9");
  if (!RunLoginDialog(false)) return;
  parts_.Step("create.10");
  if (!blocks) blocks = new TBlockGroup;
  parts_.Step("create.11");
  parts_.BuildStartupMenus(*this);
  parts_.Step("create.12");
  for (int kind : {0, 2, 3}) parts_.ShowViewTools(*this, false, kind);
  parts_.BuildPageMenu(*this, -1);
  parts_.Step("create.13");
  parts_.InstallKeyPreview(*this);
  parts_.Step("create.14");
  Timer1->SetEnabled(true);
  parts_.Step("create.15");
  parts_.InstallHintHandler(*this);
  parts_.Step("create.16");
  if (RealtimeClient) {
    if (ConnectRealtimeClient()) {
      timer_.retryCounter = TMainTimer::kRetryFull;
      ClearAllQuotes();
    } else {
      Box(Handle(), "连接服务器失败，无法取得即时数据。  ", "网络错误", MB_OK | MB_ICONERROR);
    }
  }
  parts_.Step("create.17");
  parts_.BuildSettingsMenus(*this);
  const std::string setting = UserFile("setting.ini");
  ReadOptionItems();
  tradingItem = parts_.TradingBound() && GetPrivateProfileIntA("PARAMETER", "Directbysell", 1, setting.c_str()) == 0;
  ViewDisplay().trendFirst = trendFirst;
  parts_.Step("create.18");
  PostMessageA(Handle(), WM_OPEN_TRADING, 0, 0);
  parts_.Step("create.19");
  parts_.SetupQuoteBoard(*this);
  parts_.BuildWebMenu(*this);
  char caption[64] = {};
  ReadProfileField("Parameter", "Caption", "", caption, "..\\CFG\\SETTING.INI");
  if (caption[0]) menuBar->SetCaption(caption);
  if (menuBar->Create(0, WS_CHILD | WS_VISIBLE, 0, 0, Panel9->Width(), Panel9->Height(), Panel9->Handle())) {
    menuBar->LayoutItems();
    menuBar->OnSize(Panel9->Width(), Panel9->Height());
    Panel9->OnResize = [this](TObject *sender) { Panel9Resize(sender); };
  }
  parts_.Step("create.20");
  parts_.CreateAlarmEngine();
  parts_.Step("create.21");
  static const struct {
    const char *code;
    uint16_t market;
  } kIndices[3] = {{"000001", 0}, {"399001", 1}, {"000300", 0}};
  for (int i = 0; i < 3; ++i) {
    uint16_t market = kIndices[i].market;
    const STKINFO *info = LookupStock(kIndices[i].code, &market, 0);
    if (!info) continue;
    indices[i].stock = info->index;
    if (const TMarketData *m = MarketAt(market)) {
      const REALQUOTE &q = m->m_quotes[info->index];
      indices[i].values[0] = q.prevClose;
      indices[i].values[1] = q.last;
    }
  }
  if (indices[2].stock >= 0) {
    ViewDisplay().referenceIndexStock = indices[2].stock;
    ViewDisplay().referenceIndexPrevClose = indices[2].values[0];
  }
  parts_.Step("create.22");
  // The theme tool and the customer-service client post back to the window.
  outsidePosts_ = std::make_unique<platform::PostEndpoint>(Handle(), std::initializer_list<UINT>{WM_DISPLAY_SETTINGS_CHANGED, WM_SERVICE_CLIENT_QUIT});
  {
    char commandLine[32];
    std::snprintf(commandLine, sizeof commandLine, "%u", unsigned(uintptr_t(Handle())));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(".\\KivoMsgr.dll", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
      if (process.hProcess) CloseHandle(process.hProcess);
      if (process.hThread) CloseHandle(process.hThread);
    }
  }
  parts_.Step("create.23");
  if (QuoteServerClient) RequestNewestNews();
  parts_.Step("create.24");
  {
    char web[256] = {};
    ReadProfileField("UserInfo", "UserWeb", "", web, "..\\cfg\\usersetting.ini");
    if (web[0] && intptr_t(ShellExecuteA(nullptr, "open", "IEXPLORE.EXE", web, nullptr, SW_SHOWMINNOACTIVE)) <= 32 &&
        intptr_t(ShellExecuteA(nullptr, "open", web, nullptr, nullptr, SW_SHOWMINNOACTIVE)) <= 32)
      Box(Handle(), "无法启动浏览器。  ", "错误", MB_OK | MB_ICONERROR);
  }
  parts_.Step("create.25");
  PlaceFromSettings();
  parts_.Step("create.26");
  const std::string defui = UserFile("defui.ini");
  selectedRowParam = int(GetPrivateProfileIntA("UI", "SelectedRowParam", 1, defui.c_str()));
  const int bsZoom2 = int(GetPrivateProfileIntA("UI", "BSZoom2", 0, defui.c_str()));
  buySellZoom = bsZoom2 > 0 ? 2.0f : 1.0f;
  ViewDisplay().selectedRowStyle = uint32_t(selectedRowParam);
  ViewDisplay().bsZoom2 = bsZoom2;
  ViewDisplay().selectedRowFactor = buySellZoom;
  parts_.Step("create.27");
  parts_.LoadMarketMerger();
  parts_.Step("create.28");  // the test-tool menu comes with the menus
  parts_.Step("create.29");
  PostMessageA(Handle(), WM_START_SERVICE_CLIENT, 0, 0);
  created = true;
}

void TMFrame::ReadOptionItems() {
  const std::string file = UserFile("setting.ini");
  const char *f = file.c_str();
  auto option = [f](const char *key, int fallback) { return GetPrivateProfileIntA("Parameter", key, fallback, f) != 0; };
  tickFirst = option("TickFirst", 1);
  trendFirst = option("TrendFirst", 1);
  autoSavePage = option("AutoSavePage", 1);
  quoteBoard = option("QuoteBoard", 0);
  quoteBoardColumns = std::max(1, int(GetPrivateProfileIntA("Parameter", "QuoteCol", 2, f)));
  const bool gridding = option("ReportGridding", 0);
  const bool toolBar = option("ToolBar", 1);
  const bool statusBar = option("StatusBar", 1);
  auto tick = [this](const char *name, bool on) {
    if (TMenuItem *item = chrome->MenuItem(name)) item->Checked = on;
  };
  tick("T1", tickFirst);
  tick("MenuItem94", trendFirst);
  tick("N51", gridding);
  tick("MenuItem100", toolBar);
  tick("N5", toolBar);
  tick("MenuItem103", statusBar);
  tick("N5b", statusBar);
  tick("N17", autoSavePage);
  tick("Q1", quoteBoard);
  ToolBar1->SetVisible(toolBar);
  StatusPanel->SetVisible(statusBar);
  DrawGrid1->SetVisible(quoteBoard);
  Splitter1->SetVisible(quoteBoard);
}

void TMFrame::ReadRefreshIntervals() {
  const char *file = "..\\CFG\\SETTING.INI";
  timer_.sortTime = GetPrivateProfileIntA("Parameter", "SortTime", 30, file);
  timer_.pageTime = GetPrivateProfileIntA("Parameter", "PageTime", 15, file);
  timer_.refreshTime = GetPrivateProfileIntA("Parameter", "RefreshTime", 30, file);
}

void TMFrame::PlaceFromSettings() {
  char text[64] = {};
  ReadProfileField("Parameter", "WndPos", "", text, UserFile("setting.ini").c_str());
  if (!text[0] || text[0] == '1' || text[0] == '2') return;
  int state = 0, left = 0, top = 0, width = 0, height = 0;
  if (std::sscanf(text, "%d,%d,%d,%d,%d", &state, &left, &top, &width, &height) != 5) return;
  const RECT saved{left, top, left + width, top + height};
  if (!MonitorFromRect(&saved, MONITOR_DEFAULTTONULL) || width < 250 || height < 275) return;
  SetWindowState(wsNormal);
  SetBounds(left, top, width, height);
}

// ---- Login and connections ---------------------------------------------------------------

int TMFrame::RunLoginDialog(bool relogin) {
  LoginHooks().connectQuoteServer = [this](HWND progress, bool again, bool updateCodes, bool useCached) {
    return ConnectQuoteServer(Handle(), progress, again, updateCodes, useCached);
  };
  LoginHooks().startRealtimeClient = [this](HWND dialog, const std::atomic<bool> &cancel) {
    return StartRealtimeClient(dialog, cancel);
  };
  LoginHooks().interruptRealtimeClient = InterruptMarketTableBuild;
  // The worker's result, on the GUI thread once the worker has ended.
  LoginHooks().realtimeClientStarted = [this](int result) {
    loginFailed_ = !FinishMarketTableForLogin(result) && result != kBuildCancelled;
  };
  loginFailed_ = false;
  timer_.loginOpen = true;
  KeyHookPaused = 1;
  const int result = parts_.ShowLoginDialog(*this, relogin);
  KeyHookPaused = 0;
  timer_.loginOpen = false;
  ReadPushLogin();
  if (loginFailed_) {
    Box(Handle(), "初始化数据失败。  ", "提示", MB_OK | MB_ICONERROR);
    closing = true;
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
    return 0;
  }
  if (result == mrCancel) {
    if (!relogin) {
      closing = true;
      PostMessageA(Handle(), WM_CLOSE, 0, 0);
    }
    return 0;
  }
  if (result == 3) {
    Box(Handle(), "脱机浏览时不会显示即时数据。  ", "警告", MB_OK | MB_ICONEXCLAMATION);
    if (!BuildMarketTableOffline()) {
      Box(Handle(), "初始化数据失败。  ", "提示", MB_OK | MB_ICONERROR);
      closing = true;
      PostMessageA(Handle(), WM_CLOSE, 0, 0);
      return 0;
    }
  } else if (GetConnectionState() & 1) {
    PrepareRealtimeClient(Handle());
  }
  parts_.PttLinkStart();
  return 1;
}

int TMFrame::StartRealtimeClient(HWND dialog, const std::atomic<bool> &cancel) {
  // The dialog's worker builds the market table only; the push client and
  // the socket's events are made on the GUI thread when the dialog returns.
  return BuildMarketTableForLogin(dialog, cancel);
}

void TMFrame::AfterConnect() {
  timer_.retryCounter = TMainTimer::kRetryFull;
  ClearAllQuotes();
  ::RebuildAgents(255, 255);
  bool sorted = false;
  if (page)
    for (int i = page->PaneCount() - 1; i >= 0; --i) {
      TMultiViewChild *view = page->PaneAt(i);
      if (!view || view->ViewType() != VIEW_TYPE_REPORT) continue;
      auto *report = static_cast<TReport *>(view);
      const int column = report->Core().sortColumn;
      if (column == 0 || column == 1 || column == 9 || column == 30 || column == 31) continue;
      report->SortRows(true);
      sorted = true;
    }
  if (!sorted) UpdateRealtimeSubscription(true);
}

void TMFrame::RequestNewestNews() {
  if (NewsIndex) NewsIndex->SetListLoading(true);
  RequestNewsList(false, 0);
}

void TMFrame::ReconnectQuoteServer() {
  if (!ReconnectClients()) return;
  AfterConnect();
  RequestNewestNews();
}

void TMFrame::C1Click(TObject *) {
  if (QuoteServerClient && RealtimeClient) {
    if (MessageBoxA(Handle(), "断开与服务器的连接？  ", "确认", MB_YESNO | MB_ICONQUESTION | kTopMost) != IDYES)
      return;
    timer_.retryCounter = -1;
    DeleteQuoteServerClient();
    DeleteRealtimeClient();
    timer_.connectionCounter = 0;
    timer_.connectionText = kConnectionOffline;
    Panel5->Tag = 0;
    Panel5->Hint = "未联机";
    Panel5->Repaint();
    return;
  }
  DeleteQuoteServerClient();
  DeleteRealtimeClient();
  timer_.retryCounter = -1;
  UpdateCurrentUtcTime();
  RunLoginDialog(true);
  if (QuoteServerClient && RealtimeClient) {
    if (ConnectRealtimeClient()) {
      if (auto &log = ConnectionTradeLog()) log(TLOG_CONNECTION, "1|1|");
      AfterConnect();
    } else {
      Box(Handle(), "连接服务器失败，无法取得即时数据。  ", "网络错误", MB_OK | MB_ICONERROR);
    }
  }
  if (QuoteServerClient) {
    RequestSystemMessage();
    RequestNewestNews();
  }
}

void TMFrame::N81Click(TObject *) { RunIndexManager(this); }

// ---- Alarms ------------------------------------------------------------------------------

bool TMFrame::AskAlarmSwitch() {
  if (alarmSwitch) return true;
  if (MessageBoxA(Handle(), "预警功能已禁用。要启用吗?  ", "确认", MB_YESNO | MB_ICONQUESTION | kTopMost) == IDYES)
    alarmSwitch = true;
  return alarmSwitch;
}

void TMFrame::S1Click(TObject *) {
  AskAlarmSwitch();
  ShowAlarmSettings();
}

void TMFrame::L1Click(TObject *) {
  AskAlarmSwitch();
  ShowAlarmWindow();
}

void TMFrame::ShowIntradayChart(STKPTR stock) {
  VIEW_ATTR_13 attributes{};
  if (!InitViewAttr(VIEW_TYPE_INTRADAY, &attributes)) return;
  attributes.stock = stock;
  attributes.currentBlock = stock.market;
  dispatcher_->ShowChart(attributes);
}

// ---- The key preview and the keyboard wizard ---------------------------------------------

void TMFrame::CreateKeyboardWizard() {
  if (wizard) return;
  wizardSources_ = std::make_unique<TWizardLibrarySources>(&KvIndexManager(), HotKeyTable);
  wizard = new TSmartKB(this, wizardSources_.get());
}

void TMFrame::FreeKeyboardWizard() {
  delete wizard;
  wizard = nullptr;
}

namespace {

// The frame's application message handler. It reaches the frame through the
// owner slot, emptied when the key preview goes, so a copy kept by a handler
// chained on top never calls into a freed frame.
struct TFrameMessageHook {
  std::shared_ptr<TMFrame *> owner;
  TMessageEvent previous;
  void operator()(MSG &msg, bool &handled) const {
    if (TMFrame *frame = *owner) frame->AppMessageHook(msg, handled);
    if (!handled && previous) previous(msg, handled);
  }
};

}  // namespace

void TMFrame::InstallKeyPreview() {
  RemoveKeyPreview();
  TKeyPreviewLinks links;
  links.frame = Handle();
  links.core = core_.get();
  links.tradingWindow = [this] { return Panel7->Handle(); };
  links.openPage = [this](int index) {
    wizardPageIndex = index;
    OpenPageClick(TPageSource::None, 0);
  };
  links.trading = [this] { return tradeKeys; };
  links.wizard = [this] { return wizard; };
  links.execute = [this](int command) { ExecuteCommand(command); };
  links.trendFirst = [this] { return trendFirst; };
  links.fullScreen = [this] { return fullScreen; };
  links.leaveFullScreen = [this] { MenuItem95Click(nullptr); };
  links.showChart = [this](const VIEW_ATTR_13 &attributes) { dispatcher_->ShowChart(attributes); };
  links.wheel = &wheel_;
  links.applyIndicator = [](TMultiViewChild *view, const char *indicator) {
    if (auto *kline = dynamic_cast<TTechForm *>(view)) kline->ApplyIndicator(indicator, true);
  };
  // The page menu's "open page" comes with its own part; until then a page
  // chosen in the wizard changes nothing.
  keyPreview_ = std::make_unique<TKeyPreview>(std::move(links));
  messageHookOwner_ = std::make_shared<TMFrame *>(this);
  Application()->SetOnMessage(TFrameMessageHook{messageHookOwner_, Application()->OnMessage()});
}

void TMFrame::RemoveKeyPreview() {
  if (!messageHookOwner_) return;
  // A handler chained on top of ours (a news view's) keeps calling it: it
  // only passes the messages on from now on.
  *messageHookOwner_ = nullptr;
  const TMessageEvent current = Application()->OnMessage();
  if (const auto *ours = current.target<TFrameMessageHook>(); ours && ours->owner == messageHookOwner_)
    Application()->SetOnMessage(ours->previous);
  messageHookOwner_.reset();
  keyPreview_.reset();
}

void TMFrame::AppMessageHook(MSG &msg, bool &handled) {
  // Every input message counts as activity for the trading desk's idle lock
  // and its return to the order block.
  if (tradingDesk && ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                      (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST)))
    tradingDesk->NoteInput(GetTickCount());
  if (keyPreview_) keyPreview_->Hook(msg, handled);
}

void TMFrame::Panel9Resize(TObject *) {
  if (!menuBar || !menuBar->m_hWnd) return;
  SetWindowPos(menuBar->m_hWnd, nullptr, 0, 0, Panel9->Width(), Panel9->Height(),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER |
                   SWP_NOSENDCHANGING | SWP_SHOWWINDOW);
}

void TMFrame::UpdateHotKeyCaptions() {
  ForEachHotKeyCaption([this](const char *name, bool hint, const char *text) {
    if (hint) {
      if (TToolButton *button = chrome->Button(name)) button->Hint = text;
    } else if (TMenuItem *item = chrome->MenuItem(name)) {
      item->Caption = text;
    }
  });
  for (int i = page ? page->PaneCount() - 1 : -1; i >= 0; --i)
    if (TMultiViewChild *view = page->PaneAt(i)) view->UpdateMenuCaptions();
}

void TMFrame::MenuItem95Click(TObject *) {
  fullScreen = !fullScreen;
  if (fullScreen) {
    savedState_ = WindowState();
    SetWindowState(wsNormal);
    savedBounds_[0] = Left();
    savedBounds_[1] = Top();
    savedBounds_[2] = Width();
    savedBounds_[3] = Height();
    ShowTaskBar(false);
    // Over the whole screen the window covers the desktop's bars too.
    SetBounds(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    BringToFront();
  } else {
    SetBounds(savedBounds_[0], savedBounds_[1], savedBounds_[2], savedBounds_[3]);
    SetWindowState(savedState_);
    ShowTaskBar(true);
    BringToFront();
    PostMessageA(Handle(), WM_ACTIVATE, 1, 0);
  }
}

// ---- Timers ------------------------------------------------------------------------------

void TMFrame::Timer1Timer(TObject *) { timer_.Tick(GetTickCount()); }

void TMFrame::ShowTaskBar(bool show) {
  if (HWND bar = FindWindowA("Shell_trayWnd", nullptr)) ShowWindow(bar, show ? SW_SHOW : SW_HIDE);
}

void TMFrame::Timer2Timer(TObject *) {
  if (wheel_.WheelRested(GetTickCount())) SendMessageA(Handle(), WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
  if (core_->StepTicker(Panel1->Width())) Panel1->Repaint();
}

// ---- Views and the subscription ----------------------------------------------------------

void TMFrame::NotifyViews(int code, uint32_t stock, intptr_t first, intptr_t second) {
  core_->NotifyViews(code, stock, first, second);
}

void TMFrame::UpdateRealtimeSubscription(bool difference) {
  if (QuoteServerClient && RealtimeClient) core_->UpdateRealtimeSubscription(difference);
}

void TMFrame::CreateParams(TCreateParams &params) {
  TForm::CreateParams(params);
  params.Style &= ~DWORD(WS_CAPTION);
}

void TMFrame::WMActivate(TMessage &message) {
  if (message.WParam != 0) {
    if (OnActivate) OnActivate(this);
  } else if (OnDeactivate) {
    OnDeactivate(this);
  }
  message.Result = 1;
}

void TMFrame::WndProc(TMessage &message) {
  switch (message.Msg) {
    case WM_GETMINMAXINFO: {
      auto *info = reinterpret_cast<MINMAXINFO *>(message.LParam);
      RECT window{};
      if (!info || !GetWindowRect(Handle(), &window)) break;
      const TMinMaxAnswer answer = FrameMinMaxInfo(FrameDesktopAt(window), FrameWindowFlags, *info);
      if (answer.placeRestored) {
        WINDOWPLACEMENT placement{sizeof placement, 0, 0, {}, {}, {}};
        if (GetWindowPlacement(Handle(), &placement)) {
          placement.rcNormalPosition = answer.restored;
          SetWindowPlacement(Handle(), &placement);
        }
      }
      if (answer.resultSet) message.Result = 0;
      return;
    }
    case WM_NCPAINT: {
      RECT window{};
      if (HDC dc = GetWindowDC(Handle())) {
        GetWindowRect(Handle(), &window);
        PaintFrameBorder(dc, window.right - window.left, window.bottom - window.top, windowBorder);
        ReleaseDC(Handle(), dc);
      }
      message.Result = 0;
      return;
    }
    case WM_SYSCOMMAND:
      TForm::WndProc(message);
      if ((message.WParam & 0xFFF0) == SC_RESTORE) FrameWindowFlags.restoredOnce = true;
      return;
    case WM_ACTIVATE:
      WMActivate(message);
      return;
    default: break;
  }
  if (message.Msg == WM_NCHITTEST) {
    // The borderless frame's edges size it like a normal window's.
    POINT at{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
    ::ScreenToClient(Handle(), &at);
    const int code = FrameHitTest(WindowState() == wsMaximized, at.x, at.y, Width(), Height());
    if (code >= 0) {
      message.Result = code;
      return;
    }
  }
  LRESULT result = 0;
  if (core_ && core_->HandleMessage(message.Msg, message.WParam, message.LParam, result)) {
    message.Result = result;
    return;
  }
  TForm::WndProc(message);
}

// ---- First show and the close ------------------------------------------------------------

void TMFrame::FormShow(TObject *) {
  if (closing || page) return;
  page = new TMultiViewMain(this, 0, nullptr);
  PostMessageA(Handle(), WM_MF_CONNECT, 0, 0);
  PostMessageA(Handle(), WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
}

void TMFrame::FormCloseQuery(TObject *, bool &canClose) {
  canClose = true;
  if (closing) return;
  const std::string name = page ? page->m_pagePath : std::string();
  if (!name.empty() && name != "Default" && strcasecmp(name.c_str(), "..\\Cfg\\Default.ppg") != 0) {
    canClose = MessageBoxA(Handle(), "退出kivo终端？  ", "确认",
                           MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION | kTopMost) == IDYES;
    return;
  }
  const int answer = MessageBoxA(Handle(), "对默认页面所作的修改不会被保存，是否另存当前页面？  ", "确认",
                                 MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONQUESTION | kTopMost);
  if (answer == IDCANCEL) {
    canClose = false;
    return;
  }
  if (answer != IDYES || !page) return;
  for (int i = page->PaneCount() - 1; i >= 0; --i) {
    TMultiViewChild *view = page->PaneAt(i);
    if (view && view->ViewType() == 0) {
      Box(Handle(), "请先指定空白窗口的内容。  ", "提示", MB_OK | MB_ICONINFORMATION);
      canClose = false;
      return;
    }
  }
  // A save that was cancelled or failed keeps the window and its page.
  canClose = page->SavePage(1);
}

void TMFrame::SaveSettings() {
  const std::string file = UserFile("SETTING.INI");
  const char *f = file.c_str();
  WritePrivateProfileStringA("Parameter", "TickFirst", tickFirst ? "1" : "0", f);
  WritePrivateProfileStringA("Parameter", "TrendFirst", trendFirst ? "1" : "0", f);
  WritePrivateProfileStringA("Parameter", "Directbysell", tradingItem ? "1" : "0", f);
  char text[64];
  std::snprintf(text, sizeof text, "%d", int(CurrentTheme));
  WritePrivateProfileStringA("Parameter", "LastTheme", text, f);
  WritePrivateProfileStringA("Parameter", "QuoteBoard", quoteBoard ? "1" : "0", f);
  std::snprintf(text, sizeof text, "%d", int(quoteBoardColumns));
  WritePrivateProfileStringA("Parameter", "QuoteCol", text, f);
  const BLOCK *block = quoteBoardBlock >= 0 ? FindBlockById(quoteBoardBlock) : nullptr;
  char blockName[17] = {};
  if (block) CopyGbkBounded(blockName, sizeof blockName, block->name);
  WritePrivateProfileStringA("Parameter", "QuoteBlock", blockName, f);
  const int state = fullScreen ? 1 : (WindowState() != wsNormal ? 2 : 0);
  std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d", state, Left(), Top(), Width(), Height());
  WritePrivateProfileStringA("Parameter", "WndPos", text, f);
}

void TMFrame::FormClose(TObject *, TCloseAction &) {
  parts_.Step("close.1");
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(false);
  parts_.Step("close.2");
  parts_.QuitServiceClient();
  parts_.Step("close.3");
  parts_.PttLinkStop();
  parts_.Step("close.4");
  parts_.Step("close.5");
  parts_.TradingLogout(*this);
  parts_.Step("close.6");
  core_->FreeTicker();
  timer_.retryCounter = -1;
  parts_.Step("close.7");
  DeleteQuoteServerClient();
  parts_.Step("close.8");
  DeleteRealtimeClient();
  parts_.Step("close.9");
  parts_.FreeKeyboardWizard(*this);
  // A creation that ended at the login never read the user's settings:
  // what the window holds then are its initial states, which must not be
  // written over the saved ones.
  if (created) {
    parts_.Step("close.10");
    SaveSettings();
    parts_.Step("close.11");
    parts_.SaveColumnSchemes();
    parts_.Step("close.12");
    parts_.DestroyAlarmEngine();
  }
  parts_.Step("close.13");
  if (page) {
    if (!page->m_pagePath.empty()) {
      char path[260] = {};
      CopyGbkBounded(path, sizeof path, page->m_pagePath.c_str());
      // A new file renamed over the old one: a failed write keeps the last page.
      WriteLastPage(path);
    }
    page->FormClose();
    delete page;
    page = nullptr;
  }
  parts_.Step("close.14");
  ShowTaskBar(true);
  parts_.Step("close.15");
  parts_.Step("close.16");
  FreeMarketTable();
  delete blocks;
  blocks = nullptr;
  CMarketMerger::FreeInstance();
  StopMarketSide();
  outsidePosts_.reset();
  parts_.Step("close.17");
  if (menuBar) menuBar->Destroy();
  if (Application()->MainForm() == this) Application()->Terminate();
}
