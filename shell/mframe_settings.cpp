// The main window's settings dialogs and boxes: display options, hot keys,
// period cycle, password change, user information, about and the news
// address of a web pane.
#include <cstring>

#include "core/emenubar.h"
#include "market/logindlg.h"
#include "market/nclient.h"
#include "market/nclient_frames.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/module.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "shell/aboutbox.h"
#include "shell/hotkeydlg.h"
#include "shell/mframe.h"
#include "shell/passwordchange.h"
#include "shell/quoteconn.h"
#include "shell/quoteoptiondlg.h"
#include "views/mvchild.h"
#include "views/adjtitle.h"
#include "views/blockdlg.h"
#include "views/mvmain.h"
#include "views/viewattr.h"
#include "views/viewservices.h"

namespace {

// Sets the key-hook pause around a modal run and clears it after.
struct ModalRun {
  ModalRun() { KeyHookPaused = 1; }
  ~ModalRun() { KeyHookPaused = 0; }
};

}  // namespace

void TMFrame::InstallOptionEffects() {
  TOptionEffects &effects = OptionEffects();
  effects.refreshChartQuotePanels = [this] { RefreshChartQuotePanels(); };
  effects.applyReportFonts = [this] { ApplyReportFonts(); };
  effects.settingsChanged = [this](int what) { PostMessageA(Handle(), WM_DISPLAY_SETTINGS_CHANGED, 0, what); };
  effects.mainWindow = [this] { return Handle(); };
  effects.startThemeTool = [](const char *commandLine) {
    STARTUPINFOA startup{};
    PROCESS_INFORMATION process{};
    char line[160];
    std::snprintf(line, sizeof line, "%s", commandLine);
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  };
}

void TMFrame::RefreshChartQuotePanels() {
  if (!page) return;
  for (int i = page->PaneCount() - 1; i >= 0; --i) {
    TMultiViewChild *view = page->PaneAt(i);
    if (view && (view->ViewType() == VIEW_TYPE_INTRADAY || view->ViewType() == VIEW_TYPE_KLINE)) {
      view->ApplyFonts();
      view->Invalidate();
    }
  }
}

void TMFrame::ApplyReportFonts() {
  if (!page) return;
  for (int i = page->PaneCount() - 1; i >= 0; --i) {
    TMultiViewChild *view = page->PaneAt(i);
    if (view && view->ViewType() == VIEW_TYPE_REPORT) {
      view->ApplyFonts();
      view->Invalidate();
    }
  }
}

void TMFrame::O2Click(TObject *) {
  const int layout = SkinLayout, skin = SkinNumber;
  {
    ModalRun modal;
    TQuoteOptionDlg dialog(this);
    dialog.Configure(TOptionCaller::kMainMenu);
    dialog.ShowModal();
  }
  if (SkinLayout != layout || SkinNumber != skin) parts_.LayoutToolBarAndSkin(*this);
}

void TMFrame::MenuItem144Click() {
  {
    ModalRun modal;
    TEdtBlk dialog(this, 1, 4, 4);
    dialog.ShowModal();
  }
  BuildUserBlockMenu();
}

int TMFrame::ChooseBlock(bool userBlocksOnly) {
  ModalRun modal;
  TEdtBlk dialog(this, 0, userBlocksOnly ? 4 : 0, 4);
  if (dialog.ShowModal() != mrOk || !dialog.chosen) return -1;
  return dialog.chosenId;
}

bool TMFrame::EditColumnScheme(int scheme) {
  ModalRun modal;
  TAdjTitle dialog(this);
  dialog.SelectScheme(scheme);
  return dialog.ShowModal() == mrOk;
}

void TMFrame::BindBlockServices() {
  ViewServices().blockSettings = [this] { MenuItem144Click(); };
  ViewServices().chooseBlock = [this](bool userBlocksOnly) { return ChooseBlock(userBlocksOnly); };
  ViewServices().editScheme = [this](int scheme) { return EditColumnScheme(scheme); };
}

void TMFrame::ShowReportOptions(VIEW_ATTR_13 *record) {
  ModalRun modal;
  TQuoteOptionDlg dialog(this);
  dialog.Configure(TOptionCaller::kReport, record ? record->stock : STKPTR());
  if (record) dialog.XPComboBox2->SetItemIndex((record->displayFlags & 0x80) ? 1 : (record->displayFlags & 0x100) ? 2 : 0);
  if (dialog.ShowModal() != mrOk || !record) return;
  const int wheel = dialog.XPComboBox2->ItemIndex();
  record->displayFlags &= ~uint32_t(0x180);
  if (wheel == 1) record->displayFlags |= 0x80;
  if (wheel == 2) record->displayFlags |= 0x100;
}

void TMFrame::N35Click(TObject *) {
  ModalRun modal;
  TSetHotkeyDlg dialog(this);
  if (dialog.ShowModal() == mrOk) parts_.UpdateHotKeyCaptions(*this);
}

void TMFrame::N47Click(TObject *) {
  if (hotKeyHelp && hotKeyHelp->Visible()) {
    delete hotKeyHelp;
    hotKeyHelp = nullptr;
    return;
  }
  if (!hotKeyHelp) {
    hotKeyHelp = new Thotkeydlg(this);
    hotKeyHelp->openEditor = [this] { N35Click(nullptr); };
  }
  hotKeyHelp->Show();
}

void TMFrame::Y1Click(TObject *) {
  ModalRun modal;
  TCycleOrder dialog(this);
  dialog.ShowModal();
}

void TMFrame::N73Click(TObject *) {
  if (GetConnectionState() == 0) {
    MessageBoxA(Handle(), "登录成功后才能修改密码。  ", "提示", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    return;
  }
  ModalRun modal;
  char user[16] = {}, password[12] = {};
  const bool libraryLoaded = GetModuleHandleA(".\\AcctBridge.dll") != nullptr;
  ReadUserAccount(libraryLoaded, user, password);
  TChangeDiag dialog(this, libraryLoaded);
  std::memcpy(dialog.account, user, sizeof user);
  std::memcpy(dialog.account + 32, password, sizeof password);
  if (dialog.ShowModal() != mrOk || !QuoteServerClient) return;
  const std::string current = dialog.Edit2->Text(), fresh = dialog.Edit3->Text();
  TPasswordChangeRequest request;
  request.owner = Handle();
  request.user = user;
  request.loginPassword = password;
  request.current = current.c_str();
  request.fresh = fresh.c_str();
  ChangeAccountPassword(request, QuoteServerClient);
}

void TMFrame::MenuItem170Click(TObject *) {
  ModalRun modal;
  TAboutBox box(this);
  box.connected = GetConnectionState();
  char user[16] = {}, password[12] = {};
  ReadUserAccount(GetModuleHandleA(".\\AcctBridge.dll") != nullptr, user, password);
  std::memcpy(box.userName, user, sizeof box.userName);
  box.expiryDate = ShortExpiryDate(AccountDate);
  box.ShowUserInfo();
  box.ShowModal();
}

void TMFrame::N72Click(TObject *) {
  ModalRun modal;
  Trighrbox box(this);
  box.ShowModal();
}

bool TMFrame::AskWebAddress(char (&address)[128]) {
  ModalRun modal;
  TTSetNewsUrlForm form(this);
  if (form.ShowModal() != mrOk) return false;
  std::memcpy(address, form.address, sizeof address);
  return true;
}
