// The main window's menu and tool-bar handlers that act on the page's
// active view, open a dialog or start an outside program: the 系统, 页面,
// 分析, 新闻, 特色功能, 工具 and 帮助 items, the view buttons of the tool bar
// and the drawing-tool palette.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "charts/drawview.h"
#include "charts/linetool.h"
#include "charts/rendform.h"
#include "charts/techform.h"
#include "core/emem.h"
#include "core/etooltip.h"
#include "formula/inputtext.h"
#include "formula/kvindexlib.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/realclient.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "shell/framemenus.h"
#include "shell/profiletext.h"
#include "shell/quoteconn.h"
#include "shell/settings_store.h"
#include "shell/mframe.h"
#include "views/mvchild.h"
#include "views/mvmain.h"
#include "views/pagelist.h"
#include "views/pagemngr.h"
#include "views/report.h"
#include "views/reportcolumns.h"
#include "views/sysmsg.h"

namespace {

constexpr UINT kActionsTopMost = 0x00040000L;  // MB_TOPMOST
const char *const kActionsSettings = "..\\CFG\\SETTING.INI";

void ActionsErrorBox(HWND owner, const char *text, const char *caption = "错误") {
  MessageBoxA(owner, text, caption, MB_OK | MB_ICONERROR | kActionsTopMost);
}

bool ActionsIsType(TMultiViewChild *view, int type) { return view && view->ViewType() == type; }

// The key text of a command as the hot-key table has it.
std::string ActionsKeyText(int command) {
  const HOTKEYDEF &record = HotKeyTable[command - 1];
  if (record.command != command) return std::string();
  char keys[sizeof record.keys + 1] = {};
  std::memcpy(keys, record.keys, sizeof record.keys);
  char out[64] = {};
  FormatHotKeyText(record.flags, keys, out);
  return out;
}

// Starts a command line without waiting for the program.
bool ActionsStart(const char *commandLine) {
  std::string line(commandLine);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process) != 0;
}

bool ActionsOpen(const char *file) {
  return intptr_t(ShellExecuteA(nullptr, "open", file, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

// The drawing tools of "画线工具" with their palette codes.
struct TActionsTool {
  const char *caption;
  int code;
};
const TActionsTool kActionsTools[] = {
    {"两点直线", 1},  {"两点线段", 2},   {"平行线", 3},     {"正弦线", 4},     {"黄金分割线", 5}, {"百分比线", 6},
    {"复杂百分比", 29}, {"圆弧", 7},      {"矩形", 8},       {"甘氏线", 9},     {"费波拉契周期", 10}, {"周期线", 11},
    {"速阻线", 12},   {"线形回归带", 13}, {"回归通道", 14},  {"文字", 15},      {"上箭头", 16},    {"下箭头", 17},
    {"右下箭头", 20}, {"左下箭头", 21},   {"右上箭头", 22},  {"左上箭头", 23},  {"水平线", 24},    {"垂直线", 25},
    {"上45度", 26},   {"下45度", 27},     {"螺历", 28},      {"删除画线", 18},  {"全部删除", 19},
};

}  // namespace

// ---- binding --------------------------------------------------------------------------------

void TMFrame::BindActionHandlers() {
  TFrameChrome &c = *chrome;
  auto on = [&c](const char *name, std::function<void()> run) {
    if (TMenuItem *item = c.MenuItem(name)) item->OnClick = [run](TObject *) { run(); };
  };
  auto button = [&c](const char *name, std::function<void()> run) {
    if (TToolButton *b = c.Button(name)) b->OnClick = [run](TObject *) { run(); };
  };
  // 系统
  on("N1", [this] { N1Click(); });
  on("N24", [this] { N24Click(); });
  on("N54", [this] { N54Click(); });
  on("N71", [this] { N71Click(); });
  on("MenuItem90", [this] { MenuItem90Click(); });
  // 页面
  on("TICK1", [this] { TICK1Click(); });
  on("N15", [this] { N15Click(); });
  on("N16", [this] { N16Click(); });
  on("N58", [this] { PostToActivePane(WM_MVM_SPLIT_HORZ); });
  on("N59", [this] { PostToActivePane(WM_MVM_SPLIT_VERT); });
  on("N57", [this] { PostToActivePane(WM_MVM_CLOSE_PANE); });
  on("N12", [this] { N12Click(); });
  on("N53", [this] { N53Click(); });
  // 分析
  auto kline = [this]() -> TTechForm * { return dynamic_cast<TTechForm *>(Core().ActiveView()); };
  on("MenuItem117", [this] { MenuItem117Click(); });
  on("N65", [this] { N65Click(); });
  for (const char *name : {"R1", "R2"})
    if (TMenuItem *item = c.MenuItem(name))
      item->OnClick = [kline, item](TObject *) {
        if (TTechForm *view = kline()) view->R1Click(item);
      };
  on("A1", [kline] {
    if (TTechForm *view = kline()) view->N20Click();
  });
  on("Q2", [kline] {
    if (TTechForm *view = kline()) view->NZoneStatClick();
  });
  for (const char *name : {"V1", "V2", "V3"})
    if (TMenuItem *item = c.MenuItem(name))
      item->OnClick = [kline, item](TObject *) {
        if (TTechForm *view = kline()) view->V1Click(item);
      };
  on("G1", [this] { G1Click(); });
  on("CtrlR1", [kline] {
    if (TTechForm *view = kline()) view->N37Click(view->N37);
  });
  on("S2", [kline] {
    if (TTechForm *view = kline()) view->N39Click(view->N39);
  });
  on("MenuItem127", [kline] {
    if (TTechForm *view = kline()) view->N3Click();
  });
  on("R3", [kline] {
    if (TTechForm *view = kline()) view->R3Click();
  });
  if (TMenuItem *periods = c.MenuItem("MenuItem118"))
    for (int i = 0; i < periods->Count(); ++i) {
      TMenuItem *item = periods->Items(i);
      item->OnClick = [kline, item](TObject *) {
        if (TTechForm *view = kline()) view->SetPeriod(int(item->Tag));
      };
    }
  for (const char *name : {"N40", "N42", "N43"})
    if (TMenuItem *item = c.MenuItem(name))
      item->OnClick = [kline, item](TObject *) {
        if (TTechForm *view = kline()) view->N25Click(item->Tag == 1 ? view->N27 : item->Tag == 2 ? view->N28 : view->N25);
      };
  if (TMenuItem *tools = c.MenuItem("MenuItem128")) {
    ClearMenuFrom(tools, 0);
    for (const TActionsTool &tool : kActionsTools) {
      TMenuItem *item = AddMenuItem(tools, tool.caption, tool.code);
      const int code = tool.code;
      item->OnClick = [this, code](TObject *) { code == 28 ? Line28Click() : LineClick(code); };
    }
    tools->OnClick = [this](TObject *) { MenuItem128Click(); };
  }
  // 新闻
  on("N161", [this] { ExecuteCommand(CMD_INFO_MINE); });
  on("N44", [this] { ExecuteCommand(CMD_SH_NOTICES); });
  on("N45", [this] { ExecuteCommand(CMD_SZ_NOTICES); });
  on("N52", [this] { ShowMessageDialog('a', "系统消息"); });
  // 特色功能
  on("N70", [this] { RebuildIndicatorMenu(chrome->MenuItem("N84")); });
  if (TMenuItem *recall = c.MenuItem("N74"))
    for (int i = 0; i < recall->Count(); ++i) {
      const int tag = int(recall->Items(i)->Tag);
      recall->Items(i)->OnClick = [this, tag](TObject *) { HistoryRecall(tag); };
    }
  on("N75", [this] { N75Click(); });
  on("N76", [this] { N76Click(); });
  on("N77", [this] { N77Click(); });
  on("N78", [this] { N78Click(); });
  // 工具
  on("MenuItem143", [this] { MenuItem143Click(); });
  on("O2", [this] { O2Click(nullptr); });
  on("N67", [this] { N67Click(); });
  on("MenuItem145", [this] { MenuItem145Click(); });
  on("Y1", [this] { Y1Click(nullptr); });
  on("N35", [this] { N35Click(nullptr); });
  on("N55", [this] { N55Click(); });
  on("N73", [this] { N73Click(nullptr); });
  on("N30", [this] { N30Click(); });
  on("MenuItemNetDetect", [this] { MenuItemNetDetectClick(); });
  on("N21", [this] { N21Click(); });
  // 帮助
  on("MenuItem167", [this] { MenuItem167Click(); });
  on("N66", [this] { N66Click(); });
  on("N47", [this] { N47Click(nullptr); });
  on("N63", [this] { ShowMessageDialog('c', "免责公告"); });
  on("MenuItem170", [this] { MenuItem170Click(nullptr); });
  on("N64", [this] { N64Click(); });
  on("F1", [this] { F1Click(); });
  on("N72", [this] { N72Click(nullptr); });
  // The tool bar's view buttons.
  button("ToolButton1", [this] { ToolButton1Click(); });
  button("ToolButton2", [this] { CycleTrendClick(); });
  button("CycleTrend", [this] { CycleTrendClick(); });
  button("ToolButton3", [this] { ToolButton3Click(); });
  button("CycleReport", [this] { CycleReportClick(); });
  button("ToolButton6", [this] { ToolButton6Click(); });
  button("ToolButton7", [this] { ToolButton7Click(); });
  // The handler sets the button's state from the palette's.
  button("LineBtn", [this] { LineBtnClick(); });
  button("ToolButton18", [this] { N64Click(); });
  // The frame actions the core asks for and nothing else answers.
  auto previous = receivers.frame;
  receivers.frame = [this, previous](TFrameAction action, intptr_t arg, uint32_t stock) {
    if (previous) previous(action, arg, stock);
    if (action == TFrameAction::SystemMessage) ShowMessageDialog('a', "系统消息");
    if (action == TFrameAction::ShowUpdateNotice) ShowMessageDialog('u', arg ? "欢迎" : "升级公告");
    if (action == TFrameAction::CycleQuotes) N55Click();
  };
}

// ---- 系统 -----------------------------------------------------------------------------------

void TMFrame::N1Click() {
  if (TMenuItem *c1 = chrome->MenuItem("C1"))
    c1->Caption = QuoteServerClient && RealtimeClient ? "断开连接(&D)" : "连接主站(&C)";
  if (TMenuItem *n54 = chrome->MenuItem("N54")) {
    const bool zoomed = page && page->m_zoomed;
    n54->Caption = std::string(zoomed ? "窗口还原      " : "窗口放大      ") + ActionsKeyText(CMD_ZOOM_PANE);
  }
}

void TMFrame::N24Click() {
  if (!ActionsStart(".\\selfupd.exe -runbykivo"))
    ActionsErrorBox(Handle(), "无法启动更新程序，升级失败。  ", "提示");
}

void TMFrame::N71Click() {
  PumpMessagesFor(500);
  UpdateWindow(Handle());
  KeyHookPaused = 1;
  parts_.ShowCaptureDialog(*this);
  KeyHookPaused = 0;
}

void TMFrame::MenuItem90Click() {
  if (TMultiViewChild *view = Core().ActiveView()) view->Print();
}

// ---- 页面 -----------------------------------------------------------------------------------

void TMFrame::PostToActivePane(UINT message) {
  if (TMultiViewChild *view = Core().ActiveView(); view && page) view->PostToPage(message);
}

void TMFrame::ShowActiveStockIn(int type, int mode) {
  TMultiViewChild *active = Core().ActiveView();
  if (!page || !active) return;
  TMultiViewChild *target = active;
  if (active->ViewType() == type) {
    if (type == VIEW_TYPE_KLINE) return;
  } else {
    VIEW_ATTR_13 attributes{};
    InitViewAttr(type, &attributes);
    attributes.stock = active->m_attr.stock;
    attributes.currentBlock = active->m_attr.currentBlock;
    target = page->FindView(type, 0);
    if (target) {
      target->Notify(1, attributes.stock.Word(), intptr_t(attributes.currentBlock), 0);
      if (page->m_zoomed && page->m_zoomed != target) target->PostToPage(WM_MVM_ACTIVATE_VIEW);
    } else if (active->m_node) {
      target = page->CreateView(active->m_node, &attributes, 1, 1);
    }
  }
  if (!target || type != VIEW_TYPE_INTRADAY || mode == 0) return;
  const bool tick = receivers.tickMode ? receivers.tickMode(target) : (target->m_attr.flags & kViewFlagTickMode) != 0;
  if ((mode == 1) != tick)
    if (TChartViewOps *ops = target->ChartOps()) ops->ToggleTickMode();
}

void TMFrame::N12Click() {
  if (!page) return;
  if (PageHasEmptyPane()) {
    MessageBoxA(Handle(), "请先指定空白窗口的内容。  ", "提示", MB_OK | MB_ICONINFORMATION | kActionsTopMost);
    return;
  }
  const std::string &path = page->m_pagePath;
  const bool fallback = path == "Default" || strcasecmp(path.c_str(), "..\\Cfg\\Default.ppg") == 0;
  page->SavePage(fallback ? 1 : 0);
}

void TMFrame::N53Click() {
  TPageMngr manager(this);
  manager.Button1->ModalResult = 0;
  manager.SetManageMode(page ? page->m_pagePath.c_str() : "");
  KeyHookPaused = 1;
  manager.ShowModal();
  KeyHookPaused = 0;
  if (!manager.m_modified) return;
  SavePageIndex();
  RebuildPageMenus(-1);
}

// ---- 分析 -----------------------------------------------------------------------------------

void TMFrame::MenuItem117Click() {
  TFrameChrome &c = *chrome;
  auto *view = dynamic_cast<TTechForm *>(Core().ActiveView());
  if (TMenuItem *adjust = c.MenuItem("N39")) {
    adjust->Visible = false;
    if (view) {
      const int market = view->m_attr.stock.market;
      const TMarketData *data = market < kMaxMarkets ? MarketAt(market) : nullptr;
      adjust->Visible = data && data->m_info.type == 1;
      const int mode = view->N27->Checked ? 1 : view->N28->Checked ? 2 : 0;
      for (int i = 0; i < adjust->Count(); ++i) adjust->Items(i)->Checked = adjust->Items(i)->Tag == mode;
    }
  }
  COverlappedStock *first = view ? view->overlays : nullptr;
  const bool instrumentOverlay = first && first->indicator;
  if (TMenuItem *scale = c.MenuItem("N38")) scale->Visible = instrumentOverlay;
  if (instrumentOverlay) {
    c.MenuItem("R1")->Checked = first->ownScale != 0;
    c.MenuItem("R2")->Checked = first->ownScale == 0;
  }
  if (TMenuItem *percent = c.MenuItem("V2")) percent->Visible = !(first && !first->indicator);
  RebuildIndicatorMenu(c.MenuItem("N82"));
}

void TMFrame::N65Click() {
  TMultiViewChild *active = Core().ActiveView();
  if (auto *kline = dynamic_cast<TTechForm *>(active)) kline->N29Click();
  else if (auto *intraday = dynamic_cast<TRendForm *>(active)) intraday->N13Click();
}

void TMFrame::G1Click() {
  auto *view = dynamic_cast<TTechForm *>(Core().ActiveView());
  if (!view) return;
  if (TMenuItem *item = chrome->MenuItem("CtrlR1")) item->Checked = view->N37->Checked;
  if (TMenuItem *item = chrome->MenuItem("S2")) item->Checked = KLineChartSettings().reverseSub != 0;
}

void TMFrame::MenuItem128Click() {
  TMenuItem *tools = chrome->MenuItem("MenuItem128");
  if (!tools || !linePalette || !dynamic_cast<TTechForm *>(Core().ActiveView())) return;
  for (int i = 0; i < tools->Count(); ++i) {
    TSpeedButton *b = linePalette->Button(int(tools->Items(i)->Tag));
    tools->Items(i)->Checked = b && b->Down();
  }
}

void TMFrame::LineBtnClick() {
  const bool wasVisible = linePalette && linePalette->Visible();
  if (!linePalette) {
    linePalette = new TLineToolBox(this);
    linePalette->SetParent(this);
    linePalette->SetBounds(ClientWidth() - 204, 52, 83, linePalette->Height());
  }
  TToolButton *button = chrome->Button("LineBtn");
  const bool down = !wasVisible;
  if (button) button->SetDown(down);
  auto *view = dynamic_cast<TTechForm *>(Core().ActiveView());
  if (view && down) {
    linePalette->Show();
    linePalette->BringToFront();
    view->SetLineToolItemChecked(true);
  } else {
    linePalette->Hide();
    linePalette->ReleaseToolButton();
    if (view) view->SetLineToolItemChecked(false);
  }
}

void TMFrame::LineClick(int tool) {
  auto *view = dynamic_cast<TTechForm *>(Core().ActiveView());
  if (!view) return;
  LineBtnClick();
  if (linePalette) linePalette->ReleaseToolButton();
  lineToolCode = -1;
  if (tool == 19) {
    if (MessageBoxA(Handle(), "删除所有的自画线吗？  ", "确认", MB_YESNO | MB_ICONQUESTION | kActionsTopMost) == IDYES)
      view->DeleteAllLines();
    return;
  }
  if (TSpeedButton *b = linePalette ? linePalette->Button(tool) : nullptr) b->SetDown(true);
  lineToolCode = tool;
}

void TMFrame::Line28Click() {
  auto *view = dynamic_cast<TTechForm *>(Core().ActiveView());
  if (!view) return;
  LineBtnClick();
  TMenuItem *item = nullptr;
  if (TMenuItem *tools = chrome->MenuItem("MenuItem128"))
    for (int i = 0; i < tools->Count() && !item; ++i)
      if (tools->Items(i)->Tag == 28) item = tools->Items(i);
  const bool on = item ? !item->Checked : !view->luoliShown;
  if (item) item->Checked = on;
  if (TSpeedButton *b = linePalette ? linePalette->Button(28) : nullptr) b->SetDown(on);
  view->SetLuoliShown(on);
}

void TMFrame::RaiseLineButton() {
  if (TToolButton *b = chrome->Button("LineBtn")) b->SetDown(false);
}

void TMFrame::ShowDrawingTools(bool klinePane) {
  ShowViewTools(klinePane, 0);
  if (!linePalette) return;
  TToolButton *b = chrome->Button("LineBtn");
  if (klinePane && b && b->Down()) linePalette->Show();
  else linePalette->Hide();
}

void TMFrame::ReleasePeriodButtons() {
  for (TToolButton *b : chrome->ToolButtons())
    if (b->Name.rfind("Cycle", 0) == 0) b->SetDown(false);
  if (TMenuItem *periods = chrome->MenuItem("MenuItem118"))
    for (int i = 0; i < periods->Count(); ++i) periods->Items(i)->Checked = false;
}

void TMFrame::PressPeriodButton(int period) {
  if (period < 1 || period > 14) return;
  for (TToolButton *b : chrome->ToolButtons())
    if (b->Name.rfind("Cycle", 0) == 0 && b->Name != "CycleReport" && b->Name != "CycleTrend" &&
        b->Name != "CycleTick" && b->Tag == period)
      b->SetDown(true);
  if (TMenuItem *periods = chrome->MenuItem("MenuItem118"))
    for (int i = 0; i < periods->Count(); ++i) periods->Items(i)->Checked = periods->Items(i)->Tag == period;
}

void TMFrame::CheckScaleItem(int item) {
  const char *const names[] = {"V1", "V2", "V3"};
  for (int i = 0; i < 3; ++i)
    if (TMenuItem *m = chrome->MenuItem(names[i])) m->Checked = i == item;
}

void TMFrame::RebuildIndicatorMenu(TMenuItem *menu) {
  if (!menu) return;
  ClearMenuFrom(menu, 0);
  CKvIndexManager &library = KvIndexManager();
  EnterCriticalSection(&library.lock);
  for (CKvIndexGroup *g = library.groups; g; g = g->next) {
    TMenuItem *group = AddMenuItem(menu, std::string(g->name, strnlen(g->name, sizeof g->name)), 0);
    for (CKvIndex *f = g->first; f; f = f->next) {
      char text[160];
      std::snprintf(text, sizeof text, "%-16s%.111s", f->name, f->description);
      TMenuItem *item = AddMenuItem(group, text, 0);
      item->OnClick = [this, item](TObject *) { RefreshIndex(item->Caption); };
    }
  }
  LeaveCriticalSection(&library.lock);
}

void TMFrame::RefreshIndex(const std::string &caption) {
  if (!dynamic_cast<TTechForm *>(Core().ActiveView())) {
    ToolButton3Click();
    PumpMessagesFor(500);
  }
  auto *view = dynamic_cast<TTechForm *>(Core().ActiveView());
  if (!view) return;
  std::string name = caption.substr(0, 15);
  const size_t first = name.find_first_not_of(' ');
  const size_t last = name.find_last_not_of(' ');
  name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
  view->ApplyIndicator(name.c_str(), true);
}

// ---- 新闻 -----------------------------------------------------------------------------------

void TMFrame::ShowMessageDialog(char kind, const char *title) {
  delete messageDialog;
  messageDialog = new TSysMsgDlg(this, kind);
  messageDialog->SetCaption(title);
  messageDialog->Show();
  messageDialog->BringToFront();
}

// ---- 特色功能 -------------------------------------------------------------------------------

void TMFrame::HistoryRecall(int tag) {
  if (!ActionsIsType(Core().ActiveView(), VIEW_TYPE_INTRADAY)) {
    CycleTrendClick();
    PumpMessagesFor(500);
    // The trend button follows "闪电图优先" and may have opened the tick
    // chart, which recalls no days: the item asked for the minute trend.
    TMultiViewChild *made = Core().ActiveView();
    if (ActionsIsType(made, VIEW_TYPE_INTRADAY) &&
        (receivers.tickMode ? receivers.tickMode(made) : (made->m_attr.flags & kViewFlagTickMode) != 0))
      CycleTrendClick();
  }
  if (auto *intraday = dynamic_cast<TRendForm *>(Core().ActiveView())) intraday->RecallDays(tag);
}

void TMFrame::N75Click() {
  if (!ActionsIsType(Core().ActiveView(), VIEW_TYPE_INTRADAY)) CycleTrendClick();
  if (auto *intraday = dynamic_cast<TRendForm *>(Core().ActiveView())) intraday->ExecuteViewCommand(30);
}

void TMFrame::N76Click() {
  TMultiViewChild *active = Core().ActiveView();
  if (!ActionsIsType(active, VIEW_TYPE_INTRADAY) && !ActionsIsType(active, VIEW_TYPE_KLINE)) ToolButton3Click();
  N65Click();
}

void TMFrame::N77Click() {
  if (!ActionsIsType(Core().ActiveView(), VIEW_TYPE_KLINE)) ToolButton3Click();
  if (auto *view = dynamic_cast<TTechForm *>(Core().ActiveView())) view->N20Click();
}

void TMFrame::N78Click() {
  if (!ActionsIsType(Core().ActiveView(), VIEW_TYPE_KLINE)) ToolButton3Click();
  N81Click(nullptr);
}

// ---- 工具 -----------------------------------------------------------------------------------

void TMFrame::MenuItem143Click() {
  if (TMenuItem *item = chrome->MenuItem("MenuItem145"))
    item->Visible = ActionsIsType(Core().ActiveView(), VIEW_TYPE_REPORT);
}

void TMFrame::MenuItem145Click() {
  if (auto *report = dynamic_cast<TReport *>(Core().ActiveView())) report->N10Click();
}

void TMFrame::N67Click() {
  char line[160];
  std::snprintf(line, sizeof line, ".\\themetool.exe HWND:%d MSG:%d THEME:%d", int(intptr_t(Handle())),
                int(WM_DISPLAY_SETTINGS_CHANGED), CurrentTheme);
  if (!ActionsStart(line)) ActionsErrorBox(Handle(), "启动配置程序失败。  ");
}

void TMFrame::BuildTimeZoneMenu() {
  TMenuItem *menu = chrome->MenuItem("N49");
  if (!menu) return;
  ClearMenuFrom(menu, 0);
  const SYSTIMEFILE &file = TimeZoneTable.file;
  const uint32_t count = std::min<uint32_t>(file.zoneCount, kMaxTimeZones);
  for (uint32_t i = 0; i < count; ++i) {
    const ZONEENTRY &zone = file.zones[i];
    TMenuItem *item = AddMenuItem(menu, std::string(zone.name, strnlen(zone.name, sizeof zone.name)), int(i));
    item->RadioItem = true;
    item->GroupIndex = 2;
    item->Checked = i == file.selectedZone;
    item->OnClick = [this, item](TObject *) { ReferZoneClick(int(item->Tag)); };
  }
}

void TMFrame::ReferZoneClick(int zone) {
  SelectTimeZone(&TimeZoneTable, zone);
  if (TMenuItem *menu = chrome->MenuItem("N49"))
    for (int i = 0; i < menu->Count(); ++i) menu->Items(i)->Checked = menu->Items(i)->Tag == zone;
  for (int i = 0; page && i < page->PaneCount(); ++i) {
    TMultiViewChild *view = page->PaneAt(i);
    if (!view) continue;
    if (view->ViewType() == VIEW_TYPE_INTRADAY || view->ViewType() == VIEW_TYPE_KLINE) view->InitView();
    else if (auto *report = dynamic_cast<TReport *>(view)) report->Grid()->Invalidate();
  }
}

void TMFrame::N30Click() {
  if (!ActionsOpen(UserDataPath)) ActionsErrorBox(Handle(), "无法打开用户配置文件所在的目录。  ");
}

void TMFrame::N55Click() {
  TInputTextDlg dialog(this);
  dialog.Setup("循环报价时间设定", "请输入秒数:", nullptr, 0, 10);
  dialog.Button1->SetCaption("开始循环");
  dialog.Button2->SetCaption("停止循环");
  dialog.Button2->Cancel = false;
  dialog.Button2->ModalResult = mrNo;
  const int centre = dialog.ClientWidth() / 2;
  dialog.Button1->SetLeft(centre - 1 - dialog.Button1->Width());
  dialog.Button2->SetLeft(centre + 1);
  dialog.Edit1->SetText(std::to_string(MainTimer().pageTime));
  KeyHookPaused = 1;
  const int result = dialog.ShowModal();
  KeyHookPaused = 0;
  ApplyCycleQuotes(result == mrOk, dialog.Edit1->Text());
}

void TMFrame::ApplyCycleQuotes(bool start, const std::string &text) {
  bool cycling = false;
  if (start) {
    if (!text.empty()) MainTimer().pageTime = uint32_t(std::strtoul(text.c_str(), nullptr, 10));
    WritePrivateProfileStringA("Parameter", "PageTime", std::to_string(MainTimer().pageTime).c_str(),
                               kActionsSettings);
    cycling = MainTimer().pageTime != 0;
  }
  quoteCycling = cycling;
  MainTimer().quoteCycling = cycling;
  if (TMenuItem *item = chrome->MenuItem("N55")) item->Checked = cycling;
}

void TMFrame::MenuItemNetDetectClick() {
  if (!ActionsOpen(".\\netcheck.exe")) ActionsErrorBox(Handle(), "无法启动网络诊断工具。   ");
}

void TMFrame::N21Click() {
  if (!ActionsOpen("pnlcalc.exe")) ActionsErrorBox(Handle(), "无法启动计算器。   ");
}

// ---- 帮助 -----------------------------------------------------------------------------------

std::string TMFrame::HelpAddress(const char *path) const {
  char host[128] = {};
  GetPrivateProfileStringA("WEB", "HelpServer", "http://help.kivo.invalid", host, sizeof host, kActionsSettings);
  return std::string(host) + path;
}

void TMFrame::MenuItem167Click() { OpenAddress(HelpAddress("/helponline3/yfhj/mainindex.htm").c_str()); }

void TMFrame::N66Click() { OpenAddress(HelpAddress("/faqlist.asp?col=常见问题&col2=因特网平台").c_str()); }

void TMFrame::N64Click() {
  if (GetPrivateProfileIntA("Parameter", "OnlineSrvMode", 0, "..\\cfg\\Setting.ini") == 1) {
    char line[64] = {};
    GetPrivateProfileStringA("Parameter", "OnlineSrvApp", "..\\relaysrv", line, sizeof line, "..\\cfg\\Setting.ini");
    if (!ActionsStart(line)) ActionsErrorBox(Handle(), "启动在线支持程序失败。  ");
    return;
  }
  PostMessageA(Handle(), WM_START_SERVICE_CLIENT, 0, 0);
}

void TMFrame::F1Click() {
  char mail[128] = {};
  GetPrivateProfileStringA("WEB", "SupportMail", "support@kivo.invalid", mail, sizeof mail, kActionsSettings);
  const std::string address = std::string("mailto:") + mail;
  if (!ActionsOpen(address.c_str())) ActionsErrorBox(Handle(), "无法启动邮件编辑程序。  ");
}

// ---- the tool bar's view buttons -------------------------------------------------------------

void TMFrame::ToolButton1Click() {
  TMultiViewChild *view = Core().ActiveView();
  if (!view) return;
  HWND target = GetFocus();
  if (!target || !IsChild(view->Handle(), target)) target = view->Handle();
  PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
}

void TMFrame::ZoomActiveView(int step) {
  TMultiViewChild *view = Core().ActiveView();
  if (!page || !view) return;
  if (view->ViewType() == VIEW_TYPE_INTRADAY) {
    // An extended Up or Down key, as the keyboard would send it.
    PostMessageA(view->Handle(), WM_KEYDOWN, step > 0 ? VK_UP : VK_DOWN, LPARAM(1) | (LPARAM(1) << 24));
    return;
  }
  view->Notify(15, STKPTR(0, 0, 0).Word(), step, 0);
}

void TMFrame::ToolButton3Click() {
  TMultiViewChild *active = Core().ActiveView();
  if (!page || !active || active->ViewType() == VIEW_TYPE_KLINE) return;
  if (active->ViewType() != VIEW_TYPE_INTRADAY && active->ViewType() != VIEW_TYPE_REPORT &&
      active->ViewType() != VIEW_TYPE_TEXT)
    return;
  VIEW_ATTR_13 attributes{};
  InitViewAttr(VIEW_TYPE_KLINE, &attributes);
  attributes.stock = active->m_attr.stock;
  attributes.currentBlock = active->m_attr.currentBlock;
  uint32_t made = 0;
  if (active->ViewType() == VIEW_TYPE_REPORT) {
    int32_t position = 0;
    made = active->MakeHandOverList(&position);
    attributes.SetHandOverList(made);
    attributes.SetHandOverPosition(position);
  } else {
    attributes.SetHandOverList(active->m_attr.HandOverList());
    attributes.SetHandOverPosition(active->m_attr.HandOverPosition());
  }
  if (TMultiViewChild *view = page->FindView(VIEW_TYPE_KLINE, 0)) {
    if (attributes.HandOverList()) AddRefViewStockList(attributes.HandOverList());
    view->Notify(1, attributes.stock.Word(), intptr_t(attributes.currentBlock), reinterpret_cast<intptr_t>(&attributes));
    if (view != active) view->PostToPage(WM_MVM_ACTIVATE_VIEW);
  } else if (active->m_node) {
    page->CreateView(active->m_node, &attributes, 0, 1);
  }
  if (made) DropUnusedViewStockList(made);
}

void TMFrame::CycleTrendClick() {
  TMultiViewChild *active = Core().ActiveView();
  if (!page || !active) return;
  auto tickShown = [this](TMultiViewChild *view) {
    return receivers.tickMode ? receivers.tickMode(view) : (view->m_attr.flags & kViewFlagTickMode) != 0;
  };
  if (active->ViewType() == VIEW_TYPE_INTRADAY) {
    if (tickShown(active))
      if (TChartViewOps *ops = active->ChartOps()) ops->ToggleTickMode();
    return;
  }
  const int type = active->ViewType();
  if (type != VIEW_TYPE_KLINE && type != VIEW_TYPE_REPORT && type != VIEW_TYPE_TEXT) return;
  VIEW_ATTR_13 attributes{};
  InitViewAttr(VIEW_TYPE_INTRADAY, &attributes);
  attributes.stock = active->m_attr.stock;
  attributes.currentBlock = active->m_attr.currentBlock;
  uint32_t made = 0;
  if (type == VIEW_TYPE_REPORT) {
    int32_t position = 0;
    made = active->MakeHandOverList(&position);
    attributes.SetHandOverList(made);
    attributes.SetHandOverPosition(position);
  } else {
    attributes.SetHandOverList(active->m_attr.HandOverList());
    attributes.SetHandOverPosition(active->m_attr.HandOverPosition());
  }
  TMultiViewChild *target = page->FindView(VIEW_TYPE_INTRADAY, 0);
  if (target) {
    if (attributes.HandOverList()) AddRefViewStockList(attributes.HandOverList());
    target->Notify(1, attributes.stock.Word(), intptr_t(attributes.currentBlock), reinterpret_cast<intptr_t>(&attributes));
    if (target != active) target->PostToPage(WM_MVM_ACTIVATE_VIEW);
  } else if (active->m_node) {
    target = page->CreateView(active->m_node, &attributes, 0, 1);
  }
  if (made) DropUnusedViewStockList(made);
  if (target && tickFirst != tickShown(target))
    if (TChartViewOps *ops = target->ChartOps()) ops->ToggleTickMode();
}

void TMFrame::CycleReportClick() {
  if (TMultiViewChild *view = Core().ActiveView(); view && page) view->PostToPage(WM_MVM_SHOW_REPORT);
}

// ---- hints -----------------------------------------------------------------------------------

void TMFrame::ShowHintTip(const std::string &hint) {
  if (!hint.empty() && hint[0] == '^') return;
  EToolTip *tip = SharedToolTip();
  if (!tip) return;
  if (hint.empty()) {
    tip->Hide();
    return;
  }
  POINT p{};
  GetCursorPos(&p);
  p.y += 21;
  char text[64] = {};
  CopyGbkBounded(text, sizeof text, hint.c_str());
  SIZE size{};
  tip->Measure(&size, text);
  RECT frame{};
  GetWindowRect(Handle(), &frame);
  if (p.y + size.cy > frame.bottom) p.y = std::max<LONG>(0, p.y - size.cy - 32);
  if (p.x + size.cx > frame.right) p.x = std::max<LONG>(0, frame.right - size.cx);
  ::ScreenToClient(Handle(), &p);
  tip->Show(p, text, Handle());
}

void TMFrame::InstallHintHandler() {
  hintInstalled = true;
  Application()->OnHint = [this](TObject *) { ShowHintTip(Application()->Hint); };
}

void TFrameParts::InstallHintHandler(TMFrame &frame) { frame.InstallHintHandler(); }

// ---- the message pump of the handlers that switch the pane first -----------------------------

void TMFrame::PumpMessagesFor(DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg{};
  while (!TicksElapsed(start, GetTickCount(), ms)) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The quit belongs to the main loop: leave it there.
        PostQuitMessage(int(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}
