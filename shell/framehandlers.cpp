// The main window's menu and tool-bar handlers: the menus built at start-up,
// the display switches, addresses and outside programs, and the binding of
// every fixed item and button to its handler.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "shell/commands.h"
#include "shell/framemenus.h"
#include "shell/mframe.h"
#include "shell/settings_store.h"
#include "shell/startmenus.h"
#include "views/mvchild.h"
#include "views/mvmain.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"
#include "views/viewservices.h"

namespace {

constexpr UINT kTopMostBox = 0x00040000L;  // MB_TOPMOST
const char *const kSharedSettings = "..\\CFG\\SETTING.INI";

void ErrorBox(HWND owner, const char *text, const char *caption = "错误") {
  MessageBoxA(owner, text, caption, MB_OK | MB_ICONERROR | kTopMostBox);
}

}  // namespace

void TMFrame::BuildBlockMenus() {
  if (TMenuItem *n2 = chrome->MenuItem("N2"))
    BuildMarketBlockMenus(n2, MarketMenuSources(), BlockTable, [this](TMenuItem *item) { NClick(int(item->Tag)); });
}

void TMFrame::BuildUserBlockMenu() {
  if (TMenuItem *n2 = chrome->MenuItem("N2"))
    ::BuildUserBlockMenu(n2, BlockTable, [this](TMenuItem *item) { NClick(int(item->Tag)); });
}

void TMFrame::NClick(int tag) { OpenReport(tag); }

void TMFrame::BuildTradeMenu() {
  TMenuItem *menu = chrome->MenuItem("MenuItem142");
  if (!menu) return;
  const bool bound = parts_.TradingBound();
  for (const char *name : {"N37", "N61"})
    if (TMenuItem *item = chrome->MenuItem(name)) item->Visible = bound;
  auto keyText = [](int command) {
    const HOTKEYDEF &record = HotKeyTable[command - 1];
    if (record.command != command) return std::string();
    char keys[sizeof record.keys + 1] = {};
    std::memcpy(keys, record.keys, sizeof record.keys);
    char out[64] = {};
    FormatHotKeyText(record.flags, keys, out);
    return std::string(out);
  };
  ::BuildTradeMenu(menu, "..\\CFG\\TRADING.INI", bound, keyText,
                   [this](TMenuItem *item) { MenuItem142Click(int(item->Tag)); });
}

void TMFrame::BuildSettingsMenus() {
  if (TMenuItem *styles = chrome->MenuItem("N33"))
    BuildStyleMenu(styles, (std::string(UserDataPath) + "clrfont.ini").c_str(), CurrentTheme,
                   [this](TMenuItem *item) { ColorClick(int(item->Tag)); });
  BuildTimeZoneMenu();
}

void TMFrame::BuildWebMenu() {
  if (TMenuItem *web = chrome->MenuItem("N25"))
    ::BuildWebMenu(web, kSharedSettings, [this](TMenuItem *item) { WebClick(int(item->Tag)); },
                   [this](TMenuItem *) { N50Click(); });
}

bool TMFrame::OpenAddress(const char *address) {
  if (intptr_t(ShellExecuteA(nullptr, "open", "IEXPLORE.EXE", address, nullptr, SW_SHOWNORMAL)) > 32) return true;
  if (intptr_t(ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL)) > 32) return true;
  ErrorBox(Handle(), "无法启动浏览器。  ");
  return false;
}

void TMFrame::WebClick(int tag) {
  const std::string address = WebAddress(kSharedSettings, tag);
  if (!address.empty()) OpenAddress(address.c_str());
}

void TMFrame::N50Click() {
  char wap[260] = {};
  GetPrivateProfileStringA("Web", "Wap", "", wap, sizeof wap, "..\\cfg\\setting.ini");
  if (wap[0]) OpenAddress(wap);
}

void TMFrame::MenuItem142Click(int tag) {
  const int i = tag - 1;
  if (i < 0) return;
  char program[1024] = {}, name[64] = {};
  const std::string exe = "Exe" + std::to_string(i), title = "Name" + std::to_string(i);
  GetPrivateProfileStringA("CONSIGN", exe.c_str(), "", program, sizeof program, "..\\CFG\\TRADING.INI");
  GetPrivateProfileStringA("CONSIGN", title.c_str(), "", name, sizeof name, "..\\CFG\\TRADING.INI");
  if (!program[0]) return;
  // The absolute path: a relative one is taken from the current folder.
  char full[1024] = {};
  size_t length = 0;
  const bool absolute = program[0] == '\\' || (program[0] && program[1] == ':');
  if (absolute) {
    length = std::strlen(program);
    if (length < sizeof full) std::memcpy(full, program, length + 1);
  } else if (const DWORD folderLength = GetCurrentDirectoryA(sizeof full, full);
             folderLength > 0 && folderLength < sizeof full) {
    std::string joined = std::string(full) + (full[folderLength - 1] == '\\' ? "" : "\\") + program;
    length = joined.size();
    if (length < sizeof full) std::memcpy(full, joined.c_str(), length + 1);
  }
  char text[160];
  if (length == 0 || length >= sizeof full) {
    std::snprintf(text, sizeof text, "无法运行下单程序 %s ，安装路径太深。  ", name);
    ErrorBox(Handle(), text);
    return;
  }
  std::string folder(full);
  const size_t slash = folder.find_last_of('\\');
  folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
  if (intptr_t(ShellExecuteA(nullptr, "open", full, nullptr, folder.empty() ? nullptr : folder.c_str(),
                             SW_SHOWNORMAL)) <= 32) {
    std::snprintf(text, sizeof text, "无法运行下单程序 %s 。  ", name);
    ErrorBox(Handle(), text);
  }
}

void TMFrame::ColorClick(int theme) {
  TMenuItem *styles = chrome->MenuItem("N33");
  if (styles)
    for (int i = 0; i < styles->Count(); ++i) styles->Items(i)->Checked = styles->Items(i)->Tag == theme;
  if (theme == CurrentTheme) return;
  CurrentTheme = theme;
  LoadThemeColors(theme);
  LoadThemeFonts(theme);
  RebuildViewFonts();
  if (receivers.frame) receivers.frame(TFrameAction::InfoMineColors, 0, 0);
  for (int i = 0; page && i < page->PaneCount(); ++i)
    if (TMultiViewChild *view = page->PaneAt(i)) view->ApplyFonts();
  Panel3->Invalidate();
  if (page) page->Invalidate();
  UpdateRealtimeSubscription(true);
}

void TMFrame::ToolButton15Click() {
  TMenuItem *styles = chrome->MenuItem("N33");
  if (!styles || styles->Count() < 2) return;
  const int last = int(styles->Items(styles->Count() - 1)->Tag);
  ColorClick(CurrentTheme < last ? CurrentTheme + 1 : 0);
}

void TMFrame::ToggleOption(const char *key, bool &state, std::initializer_list<const char *> items) {
  state = !state;
  for (const char *name : items)
    if (TMenuItem *item = chrome->MenuItem(name)) item->Checked = state;
  WritePrivateProfileStringA("Parameter", key, state ? "1" : "0", (std::string(UserDataPath) + "SETTING.INI").c_str());
}

void TMFrame::BindMenuHandlers() {
  TFrameChrome &c = *chrome;
  auto on = [&c](const char *name, std::function<void()> run) {
    if (TMenuItem *item = c.MenuItem(name)) item->OnClick = [run](TObject *) { run(); };
  };
  auto button = [&c](const char *name, std::function<void()> run) {
    if (TToolButton *b = c.Button(name)) b->OnClick = [run](TObject *) { run(); };
  };
  on("C1", [this] { C1Click(nullptr); });
  on("N22", [this] { N22Click(nullptr); });
  on("MenuItem95", [this] { MenuItem95Click(nullptr); });
  on("N4", [this] { MenuItem95Click(nullptr); });
  on("N11", [this] {
    TMenuItem *item = chrome->MenuItem("N11");
    item->Checked = !item->Checked;
    for (int i = 0; page && i < page->PaneCount(); ++i)
      if (TMultiViewChild *view = page->PaneAt(i)) view->m_linked = item->Checked;
  });
  on("T1", [this] { ToggleOption("TickFirst", tickFirst, {"T1"}); });
  on("MenuItem94", [this] {
    ToggleOption("TrendFirst", trendFirst, {"MenuItem94"});
    ViewDisplay().trendFirst = trendFirst;
  });
  auto toolBar = [this] {
    bool shown = ToolBar1->Visible();
    ToggleOption("ToolBar", shown, {"MenuItem100", "N5"});
    ToolBar1->SetVisible(shown);
  };
  on("MenuItem100", toolBar);
  on("N5", toolBar);
  auto statusBar = [this] {
    bool shown = StatusPanel->Visible();
    ToggleOption("StatusBar", shown, {"MenuItem103", "N5b"});
    StatusPanel->SetVisible(shown);
    if (shown) StatusPanel->SetAlign(alBottom);
  };
  on("MenuItem103", statusBar);
  on("N5b", statusBar);
  on("N51", [this] {
    bool gridding = chrome->MenuItem("N51")->Checked;
    ToggleOption("ReportGridding", gridding, {"N51"});
    ViewDisplay().gridLines = gridding;
    if (page) page->Invalidate();
  });
  on("N17", [this] { ToggleOption("AutoSavePage", autoSavePage, {"N17"}); });
  on("MenuItem109", [this] { Close(); });
  on("N10", [this] { N10Click(); });
  on("N19", [this] { N19Click(); });
  on("N14", [this] { ExecuteCommand(CMD_USER_STOCKS); });
  on("N26", [this] { ExecuteCommand(CMD_NEWS); });
  on("F101", [this] { ExecuteCommand(CMD_F10_INFO); });
  on("N81", [this] { N81Click(nullptr); });
  on("N78", [this] { N81Click(nullptr); });
  on("O1", [this] {
    O1Click(nullptr);
    chrome->MenuItem("O1")->Checked = alarmSwitch;
  });
  on("S1", [this] { S1Click(nullptr); });
  on("L1", [this] { L1Click(nullptr); });
  on("MenuItem144", [this] {
    if (ViewServices().blockSettings) ViewServices().blockSettings();
  });
  on("N50", [this] { N50Click(); });
  on("N37", [this] { N37Click(); });
  button("ToolButton5", [this] { ExecuteCommand(CMD_NEWS); });
  button("ToolButton14", [this] { ExecuteCommand(CMD_F10_INFO); });
  button("ToolButton9", [this] { N22Click(nullptr); });
  button("ToolButton15", [this] { ToolButton15Click(); });
  button("ToolButton19", [this] { L1Click(nullptr); });
  button("ToolButton17", [this] {
    ToolButton17Click();
    chrome->Button("ToolButton17")->SetDown(Panel7->Visible());
    if (TMenuItem *item = chrome->MenuItem("N37")) item->Checked = Panel7->Visible();
  });
  for (TToolButton *b : c.ToolButtons())
    if (b->Name == "CycleTick" || (b->Name.rfind("Cycle", 0) == 0 && b->Name.size() > 5 && std::isdigit(b->Name[5])))
      b->OnClick = [this, b](TObject *) { SetChartPeriod(int(b->Tag)); };
  // The frame's actions the core and the commands ask for.
  auto previous = receivers.frame;
  receivers.frame = [this, previous](TFrameAction action, intptr_t arg, uint32_t stock) {
    if (previous) previous(action, arg, stock);
    if (action == TFrameAction::Exit) Close();
    if (action == TFrameAction::CyclePages) ToolButton23Click(GetKeyState(VK_SHIFT) < 0);
    if (action == TFrameAction::ExternalTrading) MenuItem142Click(int(arg));
    if (action == TFrameAction::BuildUserBlockMenu) BuildUserBlockMenu();
    if (action == TFrameAction::RepaintPage) {
      Panel3->Invalidate();
      if (page) page->Invalidate();
    }
  };
  ViewServices().uncheckLinkMenu = [this] {
    if (TMenuItem *item = chrome->MenuItem("N11")) item->Checked = false;
  };
  BindActionHandlers();
}
