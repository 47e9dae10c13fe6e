// The login dialog "连接至服务器" (TClientRight), the network settings
// "网络设置" (TQuoteNetworkDlg) with its server form (TForm_AddSrv), and the
// password change "更改登录密码" (TChangeDiag).
//
// Their logic lives in plain classes (market/serverlist.h and the cores
// below) that tests drive without windows; the forms feed them and show
// what they hold. What the dialogs need of the main window comes through
// LoginHooks(), which the main window fills in and tests replace.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "core/xpradiobutton.h"
#include "market/acctcheck.h"
#include "market/serverlist.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/image.h"
#include "classlib/stdctrls.h"

class TClientRight;

struct TLoginHooks {
  // The main window's connect routine: 0 connected and configured, else
  // the failure code (1 no directory, 2 no data server, 3 and above failed
  // and already reported).
  std::function<int(HWND progress, bool relogin, bool updateCodes, bool useCached)> connectQuoteServer;
  // Runs on the dialog's worker: builds the market table (unless re-login)
  // with the dialog's window as progress window, and stops early once
  // cancel is set. It shows nothing and leaves the GUI thread's objects
  // alone; what it returns (kBuildOk or a TMarketBuildFailure) comes back
  // to the GUI thread in the worker's posted WM_LOGIN_WORKER_END.
  std::function<int(HWND dialog, const std::atomic<bool> &cancel)> startRealtimeClient;
  // On the GUI thread when the dialog closes while its worker runs, after
  // the cancel was set: makes a download the worker is held in return.
  std::function<void()> interruptRealtimeClient;
  // On the GUI thread once the worker has ended, with its result, or with
  // kBuildCancelled when the dialog was closed under it.
  std::function<void(int result)> realtimeClientStarted;
  // The speed test's echo; empty: Ping.
  std::function<int(const char *host, uint16_t sequence)> ping;
  // Starts the news chooser; empty: StartNewsServerChooser.
  std::function<void()> startNewsChooser;
};
TLoginHooks &LoginHooks();

class TClientRight : public TForm {
 public:
  static constexpr COLORREF kBorderColor = RGB(38, 102, 138);
  static constexpr COLORREF kFieldColor = RGB(255, 252, 209);
  static constexpr COLORREF kLinkColor = RGB(8, 130, 191);
  static constexpr COLORREF kPanelColor = RGB(210, 210, 210);
  static constexpr COLORREF kStripColor = RGB(8, 130, 191);
  static constexpr COLORREF kTextColor = RGB(68, 68, 68);
  // The server list's rows: the selected one filled in the links' blue
  // with white text, the others on the list's own colour.
  static constexpr int kRowHeight = 16;
  static constexpr COLORREF kSelectedRowColor = kLinkColor;
  static constexpr COLORREF kSelectedTextColor = RGB(255, 255, 255);
  // The banner and the login picture as drawn when there is no picture file.
  static constexpr COLORREF kBannerColor = kBorderColor;
  static constexpr COLORREF kLoginPictureColor = kLinkColor;
  static constexpr char kLogoFile[] = ".\\logo.bmp";

  TClientRight(TComponent *owner, bool relogin, const AccountLibrary &library = BindAccountLibrary());
  ~TClientRight() override;

  TClientRightCore &Core() { return core_; }
  const ProgressStrip &Strip() const { return strip_; }
  bool Relogin() const { return relogin_; }

  // The handlers, as the controls and keys reach them.
  void Button1Click(TObject *sender);  // login; null sender: from the failure ladder
  void Button4Click(TObject *sender);  // settings
  void Button5Click(TObject *sender);  // speed test
  void SelectServer(int index);
  void ResetProgress();
  void ProgressStep(int done, int total);
  void StopProgress();
  void SetStatus(const std::string &text, COLORREF color = kTextColor);
  // Draws one server row: the line as the list holds it, in a face whose
  // half-width characters are half as wide as the Chinese ones, so that
  // the speed-test verdicts line up in their column.
  void ListBox1DrawItem(TObject *sender, HDC dc, int index, const RECT &rect, TOwnerDrawState state);
  void Image4Click(TObject *sender);  // the login picture: logs in as Button1 does

  void WndProc(TMessage &message) override;

  TXPListBox *ListBox1;
  TXPEdit *Edit1, *Edit2;
  TXPCheckBox *CheckBox1, *CheckBox4;
  TLabel *Label6;
  TPanel *Panel2;
  TPaintBox *Image1;  // the progress strip
  TImage *Image2;  // the banner
  TImage *Image4;  // the login picture
  TLabel *LabelTest, *LabelOption, *LabelOffline, *LabelQuit;
  TXPButton *Button1, *Button2, *Button3, *Button4, *Button5;
  TTimer *Timer1;

 private:
  void Paint() override;
  void SetButtons(bool enabled);
  void StartWorker();
  // Waits for a running worker (after cancelling it and interrupting its
  // download, with cancel) and takes its result from its posted message.
  void StopWorker(bool cancel);
  void JoinWorker();
  void WorkerEnded(int result);
  void NextServer();
  void SpeedResult(int index, int average);
  void AfterConnect(int result);

  TClientRightCore core_;
  ProgressStrip strip_;
  TCanvas rowCanvas_;
  bool relogin_;
  AcbVerifyAccountFn verify_ = nullptr;
  HANDLE worker_ = nullptr;
  // Set on the GUI thread, read by the worker; lives as long as the dialog,
  // which outlives its worker.
  std::atomic<bool> cancel_{false};
};

// ---- the network settings ----

// The server list and proxy choices of the dialog, without windows.
class TQuoteNetworkCore {
 public:
  QuoteServerEntry servers[kMaxQuoteServers] = {};
  int count = 0;
  bool hasRelay = false;  // some entry has a relay host: "使用绿色通道" is shown
  // Inserts at the position (0 when outside the list), with empty login
  // and relay fields. False when 32 servers are listed.
  bool Add(int position, const char *name, const char *address, const char *portText, bool telecom);
  void Change(int index, const char *name, const char *address, const char *portText, bool telecom);
  // The index to select afterwards, -1 when the list is empty.
  int Remove(int index);
  void Load();
};

// A port text as the entry keeps it: the decimal number, 0 when it is none,
// and 0 for one above 65535 rather than a wrapped-round port.
uint16_t PortFromText(const char *text);

class TForm_AddSrv : public TForm {
 public:
  explicit TForm_AddSrv(TComponent *owner);
  void Button1Click(TObject *sender);
  TXPEdit *Edit_Co, *Edit_IP, *Edit1;
  TXPRadioButton *RadioButton1, *RadioButton2;
  TLabel *LabelKind, *LabelPort;
  TXPButton *Button1, *Button2;
};

class TQuoteNetworkDlg : public TForm {
 public:
  explicit TQuoteNetworkDlg(TComponent *owner);
  TQuoteNetworkCore &Core() { return core_; }

  void CheckBox3Click(TObject *sender);
  void XPRadioButton4Click(TObject *sender);
  void CheckBox2Click(TObject *sender);
  void N2Click(TObject *sender);           // add
  void XPButton1Click(TObject *sender);    // change
  void N3Click(TObject *sender);           // delete
  void XPButton2Click(TObject *sender);    // save
  // The server form before it is shown (tests fill it in).
  std::function<void(TForm_AddSrv &)> OnServerForm;

  TXPListBox *ListBox1;
  TXPButton *Button5, *XPButton1, *Button7, *XPButton2, *XPButton3;
  TXPCheckBox *CheckBox3, *XPCheckBox1, *CheckBox2;
  TXPRadioButton *XPRadioButton2, *XPRadioButton3, *XPRadioButton4;
  TXPEdit *Edit_proxy_add, *Edit_proxy_port, *Edit_Proxy_user, *Edit_Proxy_Pass;

 private:
  bool RunServerForm(TForm_AddSrv &form);
  TQuoteNetworkCore core_;
};

// ---- the password change ----

// The checks of "确定" in order; 0 when they pass, else the number of the
// failed check (1 current password, 2 confirmation, 3 too short, 4 too long).
int CheckNewPassword(bool libraryLoaded, const char *stored, const char *current, const char *fresh,
                     const char *confirm);

class TChangeDiag : public TForm {
 public:
  TChangeDiag(TComponent *owner, bool libraryLoaded);
  char account[64] = {};  // user name [32], current password [32]
  void FormShow(TObject *sender);
  void Button1Click(TObject *sender);
  TXPEdit *Edit1, *Edit2, *Edit3, *Edit4;
  TXPButton *Button1, *Button2;

 private:
  bool libraryLoaded_;
};
