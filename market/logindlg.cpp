#include "market/logindlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "core/netutil.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"

namespace {

template <class T>
T *Make(TWinControl *parent, int x, int y, int w, int h) {
  T *c = new T(parent);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  return c;
}

TLabel *MakeLabel(TWinControl *parent, const char *caption, int x, int y, int w = 120) {
  TLabel *l = Make<TLabel>(parent, x, y, w, 16);
  l->SetCaption(caption);
  return l;
}

TXPButton *Button(TWinControl *parent, const char *caption, int x, int y, int result = 0) {
  TXPButton *b = Make<TXPButton>(parent, x, y, 75, 25);
  b->SetCaption(caption);
  b->ModalResult = result;
  return b;
}

void Box(HWND owner, const char *text, const char *caption, UINT icon) {
  MessageBoxA(owner, text, caption, MB_OK | icon | MB_TOPMOST);
}

// The face of the server rows and of the pictures' captions: 12 pixels of
// the fixed-pitch Chinese face.
void UseRowFace(TFont *font) {
  font->SetName("宋体");
  font->SetHeight(-12);
}

// The banner without a picture file: a band in the frame's colour with the
// dialog's caption.
void DrawBannerStandIn(TImage *image, const std::string &caption) {
  TCanvas *c = image->Canvas();
  if (!c) return;
  TRect all(0, 0, image->Width(), image->Height());
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(TColor(TClientRight::kBannerColor));
  c->FillRect(all);
  UseRowFace(c->Font());
  c->Font()->SetHeight(-14);
  c->Font()->SetStyle(fsBold);
  c->Font()->SetColor(TColor(RGB(255, 255, 255)));
  c->Brush()->SetStyle(bsClear);
  TRect text = all;
  text.Left += 16;
  c->DrawText(caption, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  image->Invalidate();
}

// The login picture: a face in the links' blue, framed in the frame's
// colour, with the login button's caption.
void DrawLoginPicture(TImage *image, const std::string &caption) {
  TCanvas *c = image->Canvas();
  if (!c) return;
  TRect all(0, 0, image->Width(), image->Height());
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(TColor(TClientRight::kLoginPictureColor));
  c->FillRect(all);
  c->Brush()->SetColor(TColor(TClientRight::kBorderColor));
  c->FrameRect(all);
  UseRowFace(c->Font());
  c->Font()->SetColor(TColor(RGB(255, 255, 255)));
  c->Brush()->SetStyle(bsClear);
  c->DrawText(caption, all, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
  image->Invalidate();
}

// What the worker gets: the dialog's window (never the dialog itself), its
// cancel flag and its own copy of the start routine.
struct WorkerArgs {
  HWND window;
  const std::atomic<bool> *cancel;
  std::function<int(HWND, const std::atomic<bool> &)> start;
};

// Its result goes to the dialog in the message it posts last; the dialog
// waits for it before it is freed, so the window is there to take it.
DWORD MarketTableWorker(LPVOID parameter) {
  std::unique_ptr<WorkerArgs> args(static_cast<WorkerArgs *>(parameter));
  const int result = args->start ? args->start(args->window, *args->cancel) : int(kBuildOk);
  PostMessageA(args->window, WM_LOGIN_WORKER_END, WPARAM(result), 0);
  return 0;
}

}  // namespace

TLoginHooks &LoginHooks() {
  static TLoginHooks hooks;
  return hooks;
}

// ---- the login dialog ----

TClientRight::TClientRight(TComponent *owner, bool relogin, const AccountLibrary &library)
    : TForm(owner), relogin_(relogin) {
  SetCaption("连接至服务器");
  SetBorderStyle(bsNone);
  Position = poScreenCenter;
  SetClientSize(400, 324);
  SetColor(TColor(RGB(255, 255, 255)));
  Font()->SetColor(TColor(kTextColor));

  // The banner sits inside the frame.
  Image2 = Make<TImage>(this, 1, 1, 398, 58);
  MakeLabel(this, "行情服务器:", 12, 70);
  // Wide enough for a speed-test line: 35 half-width cells, or 33 beside
  // a scroll bar once more than five servers are listed.
  ListBox1 = Make<TXPListBox>(this, 12, 88, 222, 130);
  ListBox1->SetColor(TColor(kFieldColor));
  ListBox1->SetStyle(lbOwnerDrawFixed);
  ListBox1->SetItemHeight(kRowHeight);
  UseRowFace(rowCanvas_.Font());
  ListBox1->OnDrawItem2 = [this](TObject *s, HDC dc, int index, const RECT &r, TOwnerDrawState state) {
    ListBox1DrawItem(s, dc, index, r, state);
  };
  MakeLabel(this, "用户名:", 246, 88, 60);
  Edit1 = Make<TXPEdit>(this, 246, 106, 140, 21);
  Edit1->SetMaxLength(15);
  MakeLabel(this, "密码:", 246, 134, 60);
  Edit2 = Make<TXPEdit>(this, 246, 152, 140, 21);
  Edit2->SetMaxLength(11);
  Edit2->SetPasswordChar('*');
  for (TXPEdit *e : {Edit1, Edit2}) e->SetColor(TColor(kFieldColor));
  CheckBox1 = Make<TXPCheckBox>(this, 246, 180, 150, 18);
  CheckBox1->SetCaption("保存用户名及密码");
  CheckBox4 = Make<TXPCheckBox>(this, 246, 200, 150, 18);
  CheckBox4->SetCaption("更新证券市场代码");
  // The check boxes fill their background with their own colour: the dialog's white.
  for (TXPCheckBox *c : {CheckBox1, CheckBox4}) c->SetParentColor(true);
  Image4 = Make<TImage>(this, 246, 226, 140, 26);
  DrawLoginPicture(Image4, "联    机");
  Image4->OnClick = [this](TObject *s) { Image4Click(s); };
  Label6 = MakeLabel(this, "", 12, 262, 376);
  Panel2 = Make<TPanel>(this, 12, 282, 376, 8);
  Panel2->SetColor(TColor(kPanelColor));
  Panel2->SetBevelOuter(bvNone);
  Panel2->ShowCaption = false;
  Panel2->Hide();
  Image1 = Make<TPaintBox>(Panel2, 0, 0, 376, 8);
  Image1->OnPaint = [this](TObject *) {
    TCanvas *c = Image1->Canvas();
    c->Brush()->SetColor(TColor(kPanelColor));
    c->FillRect(Image1->ClientRect());
    c->Brush()->SetColor(TColor(kStripColor));
    c->FillRect(TRect(strip_.left, 0, strip_.left + strip_.width, Image1->Height()));
  };
  LabelTest = MakeLabel(this, "测速", 12, 298, 40);
  LabelOption = MakeLabel(this, "配置", 62, 298, 40);
  LabelOffline = MakeLabel(this, "脱机浏览", 246, 298, 70);
  LabelQuit = MakeLabel(this, "退    出", 326, 298, 60);
  for (TLabel *l : {LabelTest, LabelOption, LabelOffline, LabelQuit}) l->Font()->SetColor(TColor(kLinkColor));
  Button1 = Button(this, "联    机", 0, 400);
  Button1->SetDefault(true);
  Button2 = Button(this, "退    出", 80, 400, mrCancel);
  Button2->Cancel = true;
  Button3 = Button(this, "脱机浏览", 160, 400, 3);
  Button4 = Button(this, "配    置", 240, 400);
  Button5 = Button(this, "测    速", 320, 400);
  for (TXPButton *b : {Button1, Button2, Button3, Button4, Button5}) b->Hide();
  Timer1 = new TTimer(this);
  Timer1->SetInterval(100);
  Timer1->SetEnabled(false);
  Timer1->OnTimer = [this](TObject *) {
    if (strip_.Tick()) Image1->Invalidate();
  };

  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button4->OnClick = [this](TObject *s) { Button4Click(s); };
  Button5->OnClick = [this](TObject *s) { Button5Click(s); };
  LabelTest->OnClick = [this](TObject *) {
    if (Button5->Enabled()) Button5Click(Button5);
  };
  LabelOption->OnClick = [this](TObject *) {
    if (Button4->Enabled()) Button4Click(Button4);
  };
  LabelOffline->OnClick = [this](TObject *) {
    if (Button3->Enabled()) SetModalResult(3);
  };
  LabelQuit->OnClick = [this](TObject *) {
    if (Button2->Enabled()) SetModalResult(mrCancel);
  };
  auto enter = [this](TObject *) {
    SetStatus(verify_ || core_.libraryLoaded ? "" : "请输入行情用户名及密码（不是交易客户号和交易密码）", RGB(0, 0, 255));
  };
  Edit1->OnEnter = enter;
  Edit2->OnEnter = enter;
  Edit1->OnExit = [this](TObject *) { SetStatus(""); };
  Edit2->OnExit = [this](TObject *) { SetStatus(""); };
  Edit1->OnKeyDown = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_RETURN) {
      Edit2->SetFocus();
      key = 0;
    }
  };
  auto loginOnEnter = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_RETURN && Button1->Enabled()) {
      key = 0;
      Button1Click(Button1);
    }
  };
  Edit2->OnKeyDown = loginOnEnter;
  ListBox1->OnKeyDown = loginOnEnter;
  CheckBox1->OnClick = [this](TObject *) { core_.savePassword = CheckBox1->Checked() ? 1 : 0; };
  CheckBox4->OnClick = [this](TObject *) {
    WritePrivateProfileStringA("Parameter", "DownEach", CheckBox4->Checked() ? "1" : "0",
                               (std::string(UserDataPath) + "SETTING.INI").c_str());
  };
  OnClose = [this](TObject *, TCloseAction &) {
    // The dialog never returns with its worker still running: once the
    // table is built the worker is only ending; else it is called off.
    StopWorker(ModalResult() != mrOk);
  };

  // Creation. A logo that is missing or can't be read leaves the banner
  // as drawn here.
  if (!Image2->Picture()->LoadFromFile(kLogoFile)) DrawBannerStandIn(Image2, Caption());
  core_.libraryLoaded = library.module != nullptr;
  if (core_.libraryLoaded) {
    CheckBox1->SetCaption("保存用户名");
    verify_ = library.verify;
  }
  CheckBox4->SetChecked(
      GetPrivateProfileIntA("Parameter", "DownEach", 1, (std::string(UserDataPath) + "SETTING.INI").c_str()) == 1);
  const int selected = core_.Load();
  for (int i = 0; i < core_.count; ++i) ListBox1->Items()->Add(core_.servers[i].name);
  SelectServer(selected);
  if (relogin_) {
    Button3->SetEnabled(false);
    Button2->SetCaption("取      消");
    LabelQuit->SetCaption("取      消");
  }
  DoCreate();
}

TClientRight::~TClientRight() { StopWorker(true); }

void TClientRight::Paint() {
  TForm::Paint();
  TCanvas *c = Canvas();
  c->Brush()->SetColor(TColor(kBorderColor));
  c->FrameRect(ClientRect());
}

void TClientRight::ListBox1DrawItem(TObject *, HDC dc, int index, const RECT &rect, TOwnerDrawState state) {
  if (index < 0 || index >= ListBox1->Count()) return;
  const bool selected = (state & odSelected) != 0;
  rowCanvas_.SetHandle(dc);
  rowCanvas_.Brush()->SetStyle(bsSolid);
  rowCanvas_.Brush()->SetColor(selected ? TColor(kSelectedRowColor) : ListBox1->Color());
  rowCanvas_.FillRect(rect);
  rowCanvas_.Font()->SetColor(TColor(selected ? kSelectedTextColor : kTextColor));
  rowCanvas_.Brush()->SetStyle(bsClear);
  TRect text = rect;
  text.Left += 2;
  rowCanvas_.DrawText(ListBox1->Items()->Strings(index), text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  rowCanvas_.SetHandle(nullptr);
}

void TClientRight::Image4Click(TObject *) {
  if (Button1->Enabled()) Button1Click(Image4);
}

void TClientRight::SetStatus(const std::string &text, COLORREF color) {
  Label6->Font()->SetColor(TColor(color));
  Label6->SetCaption(text);
  Label6->Repaint();
}

void TClientRight::SelectServer(int index) {
  if (!core_.ValidIndex(index)) return;
  ListBox1->SetItemIndex(index);
  CheckBox1->SetChecked(core_.savePassword != 0);
  const bool keep = CheckBox1->Checked();
  Edit1->SetText(keep ? core_.user : "");
  Edit2->SetText(core_.libraryLoaded || !keep ? "" : core_.password);
}

void TClientRight::SetButtons(bool enabled) {
  for (TXPButton *b : {Button1, Button3, Button4}) b->SetEnabled(enabled && !(b == Button3 && relogin_));
}

void TClientRight::ResetProgress() {
  strip_.Reset(Panel2->Width());
  Timer1->SetEnabled(true);
  Panel2->Show();
  Image1->Invalidate();
  SetStatus("");
}

void TClientRight::ProgressStep(int done, int total) {
  strip_.Step(done, total);
  Image1->Invalidate();
}

void TClientRight::StopProgress() {
  strip_.animating = false;
  strip_.target = strip_.limit = 0;
  Timer1->SetEnabled(false);
  Panel2->Hide();
  SetButtons(true);
}

void TClientRight::StartWorker() {
  cancel_ = false;
  auto *args = new WorkerArgs{Handle(), &cancel_, LoginHooks().startRealtimeClient};
  worker_ = CreateThread(nullptr, 0, MarketTableWorker, args, 0, nullptr);
  if (!worker_) {
    delete args;
    WorkerEnded(kBuildNoMemory);
  }
}

void TClientRight::StopWorker(bool cancel) {
  if (!worker_) return;
  if (cancel) {
    cancel_ = true;
    if (auto &interrupt = LoginHooks().interruptRealtimeClient) interrupt();
  }
  JoinWorker();
  MSG end{};
  const bool posted = PeekMessageA(&end, Handle(), WM_LOGIN_WORKER_END, WM_LOGIN_WORKER_END, PM_REMOVE);
  WorkerEnded(posted ? int(end.wParam) : int(kBuildCancelled));
}

void TClientRight::JoinWorker() {
  // What the worker sends to this dialog meanwhile is served by the wait,
  // and an interrupted download returns at once.
  WaitForSingleObject(worker_, INFINITE);
  CloseHandle(worker_);
  worker_ = nullptr;
}

void TClientRight::WorkerEnded(int result) {
  if (cancel_) result = kBuildCancelled;
  if (auto &ended = LoginHooks().realtimeClientStarted) ended(result);
  // A failed build ends the dialog with 2 (a built one has ended it with 1
  // already); a cancel always leaves it at 2.
  if (ModalResult() == mrNone || cancel_) SetModalResult(mrCancel);
}

void TClientRight::Button1Click(TObject *sender) {
  if (worker_) return;  // the table is being built
  const int selection = ListBox1->ItemIndex();
  if (!core_.ValidIndex(selection)) {
    Box(Handle(), "请先添加并选择服务器。  ", "提示", MB_ICONINFORMATION);
    return;
  }
  if (core_.libraryLoaded && !verify_) {
    Box(Handle(), "文件 AcctBridge.dll 不正确。  ", "提示", MB_ICONINFORMATION);
    return;
  }
  SetButtons(false);
  if (sender) core_.startIndex = selection;
  core_.RecordAttempt(selection, Edit1->Text().c_str(), Edit2->Text().c_str());
  if (LoginHooks().startNewsChooser)
    LoginHooks().startNewsChooser();
  else
    StartNewsServerChooser();
  if (verify_ && !CheckAccount(Handle(), core_.servers[selection], core_.user, core_.password, verify_)) {
    SetButtons(true);
    return;
  }
  ResetProgress();
  auto &connect = LoginHooks().connectQuoteServer;
  AfterConnect(connect ? connect(Handle(), relogin_, CheckBox4->Checked(), false) : 3);
}

void TClientRight::AfterConnect(int result) {
  if (result == 0) {
    StartWorker();
  } else if (result == 1) {
    Repaint();
    PostMessageA(Handle(), WM_LOGIN_NEXT_SERVER, 0, 0);
  } else if (result == 2) {
    const QuoteServerEntry &e = core_.servers[ListBox1->ItemIndex()];
    WritePrivateProfileStringA("Server", "Network", e.network == 1 ? "2" : "1", kServerListIni);
    ResetProgress();
    const int again = LoginHooks().connectQuoteServer(Handle(), relogin_, CheckBox4->Checked(), false);
    if (again == 0)
      StartWorker();
    else if (again == 1 || again == 2)
      PostMessageA(Handle(), WM_LOGIN_NEXT_SERVER, 0, 0);
    else
      SetModalResult(mrCancel);
  }
}

void TClientRight::NextServer() {
  const int next = core_.NextIndex(ListBox1->ItemIndex());
  if (next != core_.startIndex) {
    SelectServer(next);
    Button1Click(nullptr);
    return;
  }
  SelectServer(next);
  ResetProgress();
  auto &connect = LoginHooks().connectQuoteServer;
  if (connect && connect(Handle(), relogin_, CheckBox4->Checked(), true) == 0) {
    StartWorker();
    return;
  }
  StopProgress();
  SetStatus("");
  Box(Handle(), "无法连接服务器，请检查网络。如需使用交易系统，请点击“脱机浏览”。  ", "错误", MB_ICONERROR);
}

void TClientRight::Button4Click(TObject *) {
  const int previous = ListBox1->ItemIndex();
  TQuoteNetworkDlg dialog(this);
  if (dialog.ShowModal() != mrOk) return;
  ListBox1->Items()->Clear();
  const int selected = core_.Reload(previous);
  for (int i = 0; i < core_.count; ++i) ListBox1->Items()->Add(core_.servers[i].name);
  if (core_.count > 0) SelectServer(selected);
}

void TClientRight::Button5Click(TObject *) {
  if (!core_.StartSpeedTests(ListBox1->ItemIndex())) return;
  const HWND window = Handle();
  auto ping = LoginHooks().ping;
  for (int i = 0; i < core_.count; ++i) {
    ListBox1->Items()->Put(i, SpeedTestLine(core_.servers[i].name, core_.count, -1));
    // Each thread has its own copy of the address; a result for a dialog
    // that closed meanwhile goes nowhere.
    std::thread([window, i, ping, host = std::string(core_.servers[i].address)] {
      int total = 0;
      for (int n = 0; n < 3; ++n) {
        const int ms = ping ? ping(host.c_str(), uint16_t(i + 100)) : Ping(host.c_str(), uint16_t(i + 100));
        total += ms < 0 ? 2000 : ms;
      }
      PostMessageA(window, WM_SPEED_TEST_RESULT, WPARAM(total / 3), LPARAM(i));
    }).detach();
  }
}

void TClientRight::SpeedResult(int index, int average) {
  if (!core_.ValidIndex(index)) return;
  ListBox1->Items()->Put(index, SpeedTestLine(core_.servers[index].name, core_.count, average));
  const int best = core_.SpeedTestResult(index, average);
  if (best >= 0) ListBox1->SetItemIndex(best);
}

void TClientRight::WndProc(TMessage &m) {
  static const char *const kSteps[] = {"提示: 更新市场设置", "提示: 更新mkinfo.cfg", "提示: 更新systime.dat",
                                       "提示: 更新hldy.ini",  "提示: 更新hldyex.ini", "提示: 更新forfur.ini",
                                       "提示: 更新forex.ini", "提示: 更新hs300w.ini", "提示: 更新BlockIndex.idx"};
  switch (m.Msg) {
    case WM_LOGIN_FAILED:
      SetStatus("提示: 出错");
      StopProgress();
      BringToFront();
      return;
    case WM_LOGIN_MARKET_SYNC: {
      const TMarketData *market = MarketAt(int(m.LParam));
      char text[64];
      std::snprintf(text, sizeof text, "提示: 同步 %s 信息", market ? market->m_info.name : "");
      SetStatus(text);
      ProgressStep(int(m.LParam), int(m.WParam));
      return;
    }
    case WM_LOGIN_DONE:
      // Served while a cancelled worker is waited for, it changes nothing.
      if (!cancel_) SetModalResult(mrOk);
      return;
    case WM_LOGIN_FIND_SERVER:
      ResetProgress();
      SetStatus("提示: 搜索服务器");
      ProgressStep(1, 1);
      return;
    case WM_LOGIN_CONNECT_SERVER:
      ResetProgress();
      strip_.left = 0;
      SetStatus("提示: 连接服务器");
      strip_.target = strip_.limit = 0;
      ProgressStep(1, 1);
      return;
    case WM_LOGIN_CHECK_VERSION:
      strip_.left = 0;
      strip_.target = strip_.limit = 0;
      return;
    case WM_LOGIN_UPDATE_STEP:
      if (m.LParam >= 0 && m.LParam < 9) SetStatus(kSteps[m.LParam]);
      return;
    case WM_SPEED_TEST_RESULT:
      SpeedResult(int(m.LParam), int(m.WParam));
      return;
    case WM_LOGIN_NEXT_SERVER:
      NextServer();
      return;
    case WM_LOGIN_WORKER_END:
      if (!worker_) return;  // already taken by StopWorker
      JoinWorker();  // the worker's last act: it is ending
      WorkerEnded(int(m.WParam));
      return;
    case WM_CLOSE:
      // A close after the table was built leaves the result 1.
      if (ModalResult() != mrNone) return;
      TForm::WndProc(m);
      return;
    default:
      TForm::WndProc(m);
  }
}
